#include "platform/controls.h"

#include <algorithm>

#include "platform/cp1252.h"
#include "platform/keys.h"

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

void TEdit::TypeText(const std::string& utf8) {
  for (char32_t u : plat::DecodeUtf8(utf8)) {
    unsigned char c;
    if (u < 32 || u == 127 || !plat::UnicodeToCp1252(u, c)) continue;
    if (MaxLength > 0 && int(Text.size()) >= MaxLength) continue;
    SelStart = std::clamp(SelStart, 0, int(Text.size()));
    Text.insert(size_t(SelStart), 1, char(c));
    ++SelStart;
  }
}
