// The two hidden controls of the game window: the one-line name field and the
// list of settings lines.
#pragma once

#include <functional>
#include <string>
#include <vector>

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
};

class TMemo {
 public:
  std::vector<std::string> Lines;
  int Left = 0;
  bool Visible = true;
  bool Enabled = true;
  bool ReadOnly = false;
};
