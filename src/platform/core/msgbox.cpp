#include "platform/core/msgbox.h"

#include <algorithm>
#include <cctype>

#include "platform/core/font.h"

namespace plat {
namespace {

constexpr int kCaptionHeight = 18;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 23;
constexpr int kIconSize = 32;
constexpr int kMaxTextWidth = 420;

const TColor kFace = RGBColor(212, 208, 200);
const TColor kShadow = RGBColor(128, 128, 128);
const TColor kDark = RGBColor(64, 64, 64);
const TColor kLight = RGBColor(255, 255, 255);

int WidthOf(const Face& face, std::string_view s) {
  int w = 0;
  for (unsigned char c : s) w += face.GlyphOf(c).advance;
  return w;
}

// Splits at CR LF, then wraps at blanks to the given width.
std::vector<std::string> Wrap(const Face& face, const std::string& text, int width) {
  std::vector<std::string> paragraphs{""};
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    if (text[i] == '\r' || text[i] == '\n')
      paragraphs.emplace_back();
    else
      paragraphs.back() += text[i];
  }
  std::vector<std::string> lines;
  for (const std::string& p : paragraphs) {
    std::string line;
    size_t pos = 0;
    while (pos <= p.size()) {
      size_t next = p.find(' ', pos);
      if (next == std::string::npos) next = p.size();
      std::string word = p.substr(pos, next - pos);
      std::string candidate = line.empty() ? word : line + " " + word;
      if (!line.empty() && WidthOf(face, candidate) > width) {
        lines.push_back(line);
        line = word;
      } else {
        line = candidate;
      }
      pos = next + 1;
    }
    lines.push_back(line);
  }
  return lines;
}

std::string Label(const std::string& button) {
  std::string s;
  for (char c : button)
    if (c != '&') s += c;
  return s;
}

int AccessKey(const std::string& button) {
  size_t amp = button.find('&');
  if (amp == std::string::npos || amp + 1 >= button.size()) return 0;
  return std::toupper(static_cast<unsigned char>(button[amp + 1]));
}

void Bevel(TSurface& s, TRect r, TColor topLeft, TColor bottomRight) {
  s.FillRect(Rect(r.Left, r.Top, r.Right, r.Top + 1), topLeft);
  s.FillRect(Rect(r.Left, r.Top, r.Left + 1, r.Bottom), topLeft);
  s.FillRect(Rect(r.Left, r.Bottom - 1, r.Right, r.Bottom), bottomRight);
  s.FillRect(Rect(r.Right - 1, r.Top, r.Right, r.Bottom), bottomRight);
}

void Disc(TSurface& s, int cx, int cy, int radius, TColor fill, TColor rim) {
  for (int y = -radius; y <= radius; ++y)
    for (int x = -radius; x <= radius; ++x) {
      int d = x * x + y * y;
      if (d <= radius * radius) s.SetPixel(cx + x, cy + y, ToPixel(d >= (radius - 1) * (radius - 1) ? rim : fill));
    }
}

void DrawIcon(TSurface& s, BoxIcon icon, int x, int y) {
  const int c = kIconSize / 2;
  TCanvas& canvas = s.Canvas();
  const TFont saved = canvas.Font;
  const TBrushStyle savedStyle = canvas.Brush.Style;
  canvas.Brush.Style = bsClear;
  switch (icon) {
    case BoxIcon::Error:
      Disc(s, x + c, y + c, 15, RGBColor(220, 30, 30), RGBColor(120, 0, 0));
      for (int i = -6; i <= 6; ++i)
        for (int t = -1; t <= 1; ++t) {
          s.SetPixel(x + c + i + t, y + c + i, ToPixel(clWhite));
          s.SetPixel(x + c + i + t, y + c - i, ToPixel(clWhite));
        }
      break;
    case BoxIcon::Question:
    case BoxIcon::Information: {
      Disc(s, x + c, y + c, 15, RGBColor(40, 90, 210), RGBColor(10, 30, 110));
      const char* mark = icon == BoxIcon::Question ? "?" : "i";
      canvas.Font.Color = clWhite;
      canvas.Font.Size = 14;
      int w = canvas.TextWidth(mark);
      canvas.TextOut(x + c - w / 2, y + c - canvas.TextHeight() / 2, mark);
      canvas.TextOut(x + c - w / 2 + 1, y + c - canvas.TextHeight() / 2, mark);
      break;
    }
    case BoxIcon::None:
      break;
  }
  canvas.Font = saved;
  canvas.Brush.Style = savedStyle;
}

}  // namespace

ModalBox::ModalBox(const MessageBoxContent& s) : content(s) {
  const Face& face = FaceOfSize(8);
  lines = Wrap(face, content.text, kMaxTextWidth);
  int textWidth = 0;
  for (const std::string& l : lines) textWidth = std::max(textWidth, WidthOf(face, l));
  const int iconWidth = content.icon == BoxIcon::None ? 0 : kIconSize + 14;
  const int textHeight = int(lines.size()) * face.LineHeight();
  const int buttons = std::max<int>(1, int(content.buttons.size()));
  const int buttonsWidth = buttons * kButtonWidth + (buttons - 1) * 8;
  const int captionWidth = WidthOf(face, content.caption) + 30;
  const int inner = std::max({iconWidth + textWidth, buttonsWidth, captionWidth, 160});
  const int bodyHeight = std::max(textHeight, content.icon == BoxIcon::None ? 0 : kIconSize);
  const int width = inner + 2 * 14 + 6;
  const int height = 3 + kCaptionHeight + 14 + bodyHeight + 16 + kButtonHeight + 12 + 3;
  const int left = (640 - width) / 2, top = (480 - height) / 2;
  frame = Rect(left, top, left + width, top + height);
  const int by = frame.Bottom - 3 - 12 - kButtonHeight;
  int bx = left + (width - buttonsWidth) / 2;
  for (size_t i = 0; i < content.buttons.size(); ++i) {
    buttonRects.push_back(Rect(bx, by, bx + kButtonWidth, by + kButtonHeight));
    bx += kButtonWidth + 8;
  }
}

void ModalBox::Handle(const Event& e) {
  const int count = int(content.buttons.size());
  auto close = [&](int index) {
    result = index;
    done = true;
  };
  if (e.kind == EventKind::MouseDown && e.button == 0) {
    for (int i = 0; i < count; ++i) {
      const TRect& r = buttonRects[size_t(i)];
      if (e.x >= r.Left && e.x < r.Right && e.y >= r.Top && e.y < r.Bottom) close(i);
    }
  } else if (e.kind == EventKind::KeyDown) {
    switch (e.key) {
      case 13:
      case 32: close(focus); break;
      case 27: close(content.cancelButton); break;
      case 9:
      case 39: focus = (focus + 1) % std::max(1, count); break;
      case 37: focus = (focus + count - 1) % std::max(1, count); break;
      default:
        for (int i = 0; i < count; ++i)
          if (e.key != 0 && AccessKey(content.buttons[size_t(i)]) == e.key) close(i);
    }
  }
}

void ModalBox::DrawOnto(TSurface& s) {
  const Face& face = FaceOfSize(8);
  TCanvas& canvas = s.Canvas();
  const TFont savedFont = canvas.Font;
  const TBrush savedBrush = canvas.Brush;
  canvas.Brush.Style = bsClear;

  // A soft shadow, the raised frame and the caption bar.
  s.FillRectAlpha(Rect(frame.Left + 4, frame.Top + 4, frame.Right + 4, frame.Bottom + 4), clBlack, 90);
  s.FillRect(frame, kFace);
  Bevel(s, frame, kFace, kDark);
  Bevel(s, Rect(frame.Left + 1, frame.Top + 1, frame.Right - 1, frame.Bottom - 1), kLight, kShadow);
  const TRect cap = Rect(frame.Left + 3, frame.Top + 3, frame.Right - 3, frame.Top + 3 + kCaptionHeight);
  for (int x = cap.Left; x < cap.Right; ++x) {
    const int t = (x - cap.Left) * 255 / std::max(1, cap.Width() - 1);
    const TColor c = RGBColor(10 + (166 - 10) * t / 255, 36 + (202 - 36) * t / 255, 106 + (240 - 106) * t / 255);
    s.FillRect(Rect(x, cap.Top, x + 1, cap.Bottom), c);
  }
  canvas.Font.Color = clWhite;
  canvas.Font.Size = 8;
  const int capY = cap.Top + (kCaptionHeight - face.LineHeight()) / 2;
  canvas.TextOut(cap.Left + 4, capY, content.caption);
  canvas.TextOut(cap.Left + 5, capY, content.caption);

  // Icon and text.
  const int bodyTop = cap.Bottom + 14;
  int textLeft = frame.Left + 3 + 14;
  if (content.icon != BoxIcon::None) {
    DrawIcon(s, content.icon, textLeft, bodyTop);
    textLeft += kIconSize + 14;
  }
  canvas.Font.Color = clBlack;
  const int textHeight = int(lines.size()) * face.LineHeight();
  int ty = bodyTop + (content.icon != BoxIcon::None && textHeight < kIconSize ? (kIconSize - textHeight) / 2 : 0);
  for (const std::string& line : lines) {
    canvas.TextOut(textLeft, ty, line);
    ty += face.LineHeight();
  }

  // Buttons with their access keys underlined; the focused one outlined.
  for (size_t i = 0; i < content.buttons.size(); ++i) {
    const TRect& r = buttonRects[i];
    if (int(i) == focus) {
      s.FillRect(r, clBlack);
      s.FillRect(Rect(r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1), kFace);
      Bevel(s, Rect(r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1), kLight, kShadow);
    } else {
      s.FillRect(r, kFace);
      Bevel(s, r, kLight, kDark);
      Bevel(s, Rect(r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1), kFace, kShadow);
    }
    const std::string label = Label(content.buttons[i]);
    const int lx = r.Left + (r.Width() - WidthOf(face, label)) / 2;
    const int ly = r.Top + (r.Height() - face.LineHeight()) / 2;
    canvas.TextOut(lx, ly, label);
    const size_t amp = content.buttons[i].find('&');
    if (amp != std::string::npos && amp + 1 < content.buttons[i].size()) {
      const int ux = lx + WidthOf(face, content.buttons[i].substr(0, amp));
      const int uw = face.GlyphOf(static_cast<unsigned char>(content.buttons[i][amp + 1])).advance;
      s.FillRect(Rect(ux, ly + face.LineHeight() - 2, ux + uw - 1, ly + face.LineHeight() - 1), clBlack);
    }
    if (int(i) == focus) {
      for (int x = r.Left + 4; x < r.Right - 4; x += 2) {
        s.SetPixel(x, r.Top + 4, ToPixel(clBlack));
        s.SetPixel(x, r.Bottom - 5, ToPixel(clBlack));
      }
      for (int y = r.Top + 4; y < r.Bottom - 4; y += 2) {
        s.SetPixel(r.Left + 4, y, ToPixel(clBlack));
        s.SetPixel(r.Right - 5, y, ToPixel(clBlack));
      }
    }
  }
  canvas.Font = savedFont;
  canvas.Brush = savedBrush;
}

}  // namespace plat
