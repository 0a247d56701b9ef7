#include "platform/core/controls.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "platform/core/cp1252.h"
#include "platform/core/keys.h"

void TEdit::SetText(const std::string& text) {
  Text = text;
  SelStart = 0;
}

void TEdit::EditKey(int key) {
  SelStart = std::clamp(SelStart, 0, int(Text.size()));
  switch (key) {
    case VK_BACK:
      if (SelStart > 0) Text.erase(size_t(--SelStart), 1);
      break;
    case VK_DELETE:
      if (SelStart < int(Text.size())) Text.erase(size_t(SelStart), 1);
      break;
    case VK_LEFT: SelStart = std::max(0, SelStart - 1); break;
    case VK_RIGHT: SelStart = std::min(int(Text.size()), SelStart + 1); break;
    case VK_HOME: SelStart = 0; break;
    case VK_END: SelStart = int(Text.size()); break;
    default: break;
  }
}

bool TEdit::Takes(size_t length, char32_t u) const {
  unsigned char c;
  return u >= 32 && u != 127 && plat::UnicodeToCp1252(u, c) && (MaxLength <= 0 || length < size_t(MaxLength));
}

void TEdit::TypeText(const std::string& utf8) {
  for (char32_t u : plat::DecodeUtf8(utf8)) {
    unsigned char c;
    if (!Takes(Text.size(), u)) continue;
    plat::UnicodeToCp1252(u, c);
    SelStart = std::clamp(SelStart, 0, int(Text.size()));
    Text.insert(size_t(SelStart), 1, char(c));
    ++SelStart;
  }
}

void TStrings::SetText(std::string_view text) {
  // Measured first, so that the block is taken once at its final size.
  size_t size = 0, count = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      size += 2;
      ++count;
    } else {
      ++size;
    }
  }
  const bool open = !text.empty() && text.back() != '\r' && text.back() != '\n';
  if (open) size += 2, ++count;
  std::string block;
  block.reserve(size);
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      block += "\r\n";
    } else {
      block += c;
    }
  }
  if (open) block += "\r\n";
  text_ = std::move(block);
  count_ = count;
}

void TStrings::Clear() {
  text_ = std::string();
  count_ = 0;
}

void TStrings::Add(std::string_view line) {
  text_.append(line);
  text_ += "\r\n";
  ++count_;
}

std::string_view TStrings::Iterator::operator*() const {
  const size_t end = text_->find('\r', at_);
  return std::string_view(*text_).substr(at_, end - at_);
}

TStrings::Iterator& TStrings::Iterator::operator++() {
  at_ = text_->find('\r', at_) + 2;
  return *this;
}

std::string_view TStrings::operator[](size_t index) const {
  if (index >= count_) throw std::out_of_range("line " + std::to_string(index) + " of " + std::to_string(count_));
  Iterator it = begin();
  std::advance(it, index);
  return *it;
}

void TStrings::Put(size_t index, std::string_view line) {
  const std::string_view old = (*this)[index];
  const size_t at = size_t(old.data() - text_.data());
  text_.replace(at, old.size(), line);
}
