// The two hidden controls of the game window: the one-line name field and the
// list of settings lines.
#pragma once

#include <cstddef>
#include <iterator>
#include <string>
#include <string_view>

// A single-line edit control; its text is Windows-1252.
class TEdit {
 public:
  std::string Text;
  int MaxLength = 0;  // 0: no limit
  int Left = 0;
  int SelStart = 0;   // caret position

  void SetText(const std::string& text);
  // Editing keys: Backspace, Delete, Left, Right, Home, End.
  void EditKey(int key);
  // Typed characters (UTF-8); characters without a Windows-1252 code and
  // control characters are refused, as is anything beyond MaxLength.
  void TypeText(const std::string& utf8);
  // Whether typing `u` into a text of `length` characters adds it.
  bool Takes(size_t length, char32_t u) const;
};

// The lines of a memo, kept as one block of text with every line followed by
// CR LF (the form in which they are saved): a file of millions of empty lines
// costs two bytes a line, not a string each. A line holds no CR or LF.
class TStrings {
 public:
  // The lines of a text: a line ends at CR LF, a lone CR or a lone LF; a last
  // line without an end counts only if it is not empty.
  void SetText(std::string_view text);
  // Every line followed by CR LF.
  const std::string& Text() const { return text_; }
  size_t Count() const { return count_; }
  bool Empty() const { return count_ == 0; }
  void Clear();
  void Add(std::string_view line);
  // Line `index` (counted from 0; found by walking from the first line).
  std::string_view operator[](size_t index) const;
  void Put(size_t index, std::string_view line);

  class Iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = std::string_view;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = std::string_view;
    Iterator() = default;
    Iterator(const std::string* text, size_t at) : text_(text), at_(at) {}
    std::string_view operator*() const;
    Iterator& operator++();
    Iterator operator++(int) {
      Iterator old = *this;
      ++*this;
      return old;
    }
    bool operator==(const Iterator& o) const { return at_ == o.at_; }

   private:
    const std::string* text_ = nullptr;
    size_t at_ = 0;
  };
  Iterator begin() const { return Iterator(&text_, 0); }
  Iterator end() const { return Iterator(&text_, text_.size()); }

 private:
  std::string text_;
  size_t count_ = 0;
};

class TMemo {
 public:
  TStrings Lines;
  int Left = 0;
  bool Visible = true;
  bool Enabled = true;
  bool ReadOnly = false;
};
