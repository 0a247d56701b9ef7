// The menu artwork: the backgrounds with their framed areas, the logo, the
// title words, the panels with their entries, the pause box, "Game over",
// the highscore bar and the farewell picture.
#include <cmath>

#include "../catalogue.h"
#include "art.h"
#include "text.h"

namespace gen {
namespace {

const Col kYellow = Hex(0xFFDC28), kOrange = Hex(0xFF8A1A), kBlue = Hex(0x2E64E8), kInk = Hex(0x1C1630);

// ------------------------------------------------------------------ words
// One size for all panel entries: the tallest entry with its outline fits
// into the 14 rows of an entry.
float EntrySize() {
  static const float size = FitSize(U"Neues Spiel", Face::SansBold, 176, 14, 1);
  return size;
}

float TitleSize() {
  static const float size = [] {
    float s = 100;
    for (const char32_t* w : {U"Hauptmenu", U"Resultate", U"Highscore", U"Optionen", U"Spielart", U"Ihr Name"})
      s = std::min(s, FitSize(w, Face::SansBold, 165, 24, 2.5f, 0.4f));
    return s;
  }();
  return size;
}

TextLook EntryLook(bool orangeHead = true) {
  TextLook look = WordLook(orangeHead ? kOrange : kBlue, kBlue, 1);
  return look;
}

// An entry with the top of its ink one row below `row` (room for the outline).
Box Entry(Layer& l, const std::u32string& word, float col, float row, float size = 0, bool orangeHead = true) {
  const TextMask m = RenderText(word, Face::SansBold, size > 0 ? size : EntrySize(), l.ss);
  return DrawText(l, m, col + 1, row + 1, EntryLook(orangeHead));
}

// An entry on two lines between rows top and bottom: the second line's
// capitals start two rows under the first line's baseline, so descenders of
// the first fall between the ascenders of the second. The largest size that
// fits is used.
void TwoLines(Layer& l, const std::u32string& first, const std::u32string& second, float col, float top, float bottom, float maxW) {
  for (float size = 16; size > 6; size -= 0.25f) {
    const TextMask a = RenderText(first, Face::SansBold, size, l.ss), b = RenderText(second, Face::SansBold, size, l.ss);
    const TextMask cap = RenderText(U"H", Face::SansBold, size, l.ss);
    const float capH = cap.baseline - cap.ink.y0;
    const float y1 = top + 1, base1 = y1 + (a.baseline - a.ink.y0);
    const float base2 = base1 + 2 + capH;
    const float y2 = base2 - (b.baseline - b.ink.y0);
    const bool fits = y2 + (b.ink.y1 - b.ink.y0) + 1 <= bottom + 1 && a.ink.x1 - a.ink.x0 + 2 <= maxW && b.ink.x1 - b.ink.x0 + 2 <= maxW;
    if (!fits) continue;
    DrawText(l, a, col + 1, y1, EntryLook(true));
    DrawText(l, b, col + 1, y2, EntryLook(false));
    return;
  }
}


// A little gold star, for the difficulty entries.
void Star(Layer& l, float cx, float cy, float r, bool filled) {
  std::vector<float> p;
  for (int i = 0; i < 10; ++i) {
    const float a = float(i) * 3.14159265f / 5 - 3.14159265f / 2;
    const float rr = i % 2 ? r * 0.45f : r;
    p.push_back(cx + std::cos(a) * rr), p.push_back(cy + std::sin(a) * rr);
  }
  const Shape s = Poly(p);
  Fill(l, Grow(s, 1), kInk);
  if (filled)
    Fill(l, s, Linear(0, cy - r, Hex(0xFFF4A0), 0, cy + r, Hex(0xF0A010)));
  else
    Fill(l, s, Hex(0x9CA4B8));
}

// ------------------------------------------------------------------ framed areas of the backgrounds
void FramedArea(Layer& l, float x0, float y0, float x1, float y1) {
  // Bounds are inclusive pixels: the outline lies on them.
  const Shape outer = RoundRect(x0, y0, x1 + 1, y1 + 1, 4);
  const Shape inner = RoundRect(x0 + 2, y0 + 2, x1 - 1, y1 - 1, 2.5f);
  // Frosted glass: the scenery behind is blurred first.
  Layer behind(l.lw, l.lh, l.ss);
  l.Each(outer.box.Grow(10), [&](int x, int y, float, float) { behind.At(x, y) = l.At(x, y); });
  Blur(behind, 3);
  l.Each(outer.box, [&](int x, int y, float fx, float fy) {
    if (inner.d(fx, fy) < 0) l.At(x, y) = behind.At(x, y);
  });
  Glow(l, outer, Hex(0x100818), 6, 0.35f);
  Fill(l, inner, [=](float, float y) { return Mix(Hex(0xECEFF6), Hex(0xCCD0DC), Clamp01((y - y0) / (y1 - y0))); }, 0.68f);
  Fill(l, Subtract(outer, inner), Hex(0xD8281E));
  Fill(l, Subtract(RoundRect(x0 + 2, y0 + 2, x1 - 1, y1 - 1, 2.5f), RoundRect(x0 + 3, y0 + 3, x1 - 2, y1 - 2, 2)), Hex(0xFFFFFF), 0.5f);
}

}  // namespace

// ------------------------------------------------------------------ logo
void DrawLogo(Layer& l, float x, float y, float scale) {
  const TextMask kelo = RenderText(U"Kelo", Face::SansBold, 84 * scale, l.ss, 1.5f * scale);
  const float w = kelo.ink.x1 - kelo.ink.x0;
  // Extruded depth, then the face of the letters.
  TextLook depth;
  depth.fill = [](int, float) { return Hex(0x8A2A14); };
  depth.outline = Hex(0x2A0E10);
  depth.outlineWidth = 3.2f * scale;
  for (int i = 7; i >= 1; --i) DrawText(l, kelo, x + float(i) * 0.9f * scale, y + float(i) * 0.9f * scale, depth);
  TextLook face;
  face.fill = [](int, float v) { return Ramp({Hex(0xFFFBD0), Hex(0xFFE040), Hex(0xFFA020), Hex(0xE8601A)}, v); };
  face.outline = Hex(0x3A1410);
  face.outlineWidth = 3.2f * scale;
  DrawText(l, kelo, x, y, face);
  // A glossy streak over the upper half.
  const float h = kelo.ink.y1 - kelo.ink.y0;
  Layer gloss(l.lw, l.lh, l.ss);
  TextLook shine;
  shine.fill = [](int, float v) { return Alpha(Hex(0xFFFFFF), 0.55f * (1 - Smooth(0.18f, 0.42f, v))); };
  DrawText(gloss, kelo, x, y, shine);
  Stack(l, gloss, 0, 0);
  // "Das Spiel" beneath, slanted forward by a row offset per letter.
  const TextMask sub = RenderText(U"Das Spiel", Face::SansBold, 30 * scale, l.ss, 1 * scale);
  TextLook subLook;
  subLook.fill = [](int, float v) { return Mix(Hex(0xFFFFFF), Hex(0x9CC8FF), v); };
  subLook.outline = Hex(0x14204A);
  subLook.outlineWidth = 2.4f * scale;
  subLook.shadow = Hex(0x14204A, 0.8f);
  subLook.shadowDx = 2 * scale, subLook.shadowDy = 2 * scale;
  const float sw = sub.ink.x1 - sub.ink.x0;
  DrawText(l, sub, x + w - sw + 6 * scale, y + h + 8 * scale, subLook);
  // The mascot in the crosshair, beside the name.
  const float cx = x + w + 44 * scale, cy = y + h * 0.42f;
  DrawChicken(l, cx, cy, 46 * scale, false, true);
  const Col red = Hex(0xE8281E);
  const float r = 30 * scale;
  Fill(l, Subtract(Circle(cx, cy, r + 2 * scale), Circle(cx, cy, r - 1.2f * scale)), Hex(0x3A0E10));
  Fill(l, Subtract(Circle(cx, cy, r + 1 * scale), Circle(cx, cy, r - 0.2f * scale)), red);
  for (int i = 0; i < 4; ++i) {
    const float dx = float((i == 0) - (i == 1)), dy = float((i == 2) - (i == 3));
    const Shape tick = Capsule(cx + dx * (r - 9 * scale), cy + dy * (r - 9 * scale), cx + dx * (r + 9 * scale), cy + dy * (r + 9 * scale),
                               1.8f * scale, 1.8f * scale);
    Fill(l, Grow(tick, 1 * scale), Hex(0x3A0E10));
    Fill(l, tick, red);
  }
}

// ------------------------------------------------------------------ backgrounds
Image PaintMenuBackground() {
  Layer l = PaintWorld(Mood::Dusk, 2, true);
  DrawLogo(l, 22, 18, 1.f);
  FramedArea(l, 52, 159, 328, 191);
  FramedArea(l, 357, 159, 567, 389);
  // A small emblem at the left of the title strip.
  DrawChicken(l, 102, 175, 22, true, false);
  Fill(l, Subtract(Circle(102, 175, 13), Circle(102, 175, 11.6f)), Hex(0xD8281E));
  return Flatten(l, Hex(0));
}

Image PaintHighmain() {
  Layer l = PaintWorld(Mood::Night, 2, true);
  DrawLogo(l, 22, 18, 1.f);
  FramedArea(l, 52, 159, 328, 191);
  FramedArea(l, 60, 416, 579, 447);
  // A groove between "back" and the three lists of the bar.
  Fill(l, RoundRect(215.5f, 421, 216.7f, 443, 0.4f), Hex(0x5A5E70), 0.7f);
  Fill(l, RoundRect(216.7f, 421, 217.9f, 443, 0.4f), Hex(0xFFFFFF), 0.7f);
  DrawChicken(l, 102, 175, 22, true, false);
  Fill(l, Subtract(Circle(102, 175, 13), Circle(102, 175, 11.6f)), Hex(0xD8281E));
  // The calm board behind the list: paper on a wooden frame, wide enough for
  // the longest hit text of the right column.
  const Shape board = RoundRect(58, 205, 604, 345, 6);
  Glow(l, board, Hex(0x000000), 10, 0.6f);
  Fill(l, board, [](float x, float y) { return Mul(Mix(Hex(0x9A6A3C), Hex(0x6A4426), (y - 205) / 140), 0.85f + 0.3f * Fbm(x / 30, y / 3, 3, 5)); });
  Fill(l, RoundRect(64, 211, 598, 339, 3), [](float x, float y) {
    Col c = Mix(Hex(0xFFFBEE), Hex(0xF0E6CC), Clamp01((y - 211) / 128));
    return Mul(c, 0.98f + 0.04f * Fbm(x / 4, y / 4, 2, 6));
  });
  // Faint ruled lines under the list rows.
  for (int i = 0; i < 6; ++i) {
    const float y = 253 + 15 * float(i);
    Fill(l, RoundRect(68, y, 594, y + 1, 0.3f), Hex(0xB8C8E8), 0.7f);
  }
  for (float x : {66.f, 596.f})
    for (float y : {213.f, 337.f}) Fill(l, Circle(x, y, 2), Ball(Hex(0xC8C8D0), x - 0.5f, y - 0.5f, 2.2f, 2.2f));
  return Flatten(l, Hex(0));
}

Image PaintEnde() {
  Layer l = PaintWorld(Mood::Dawn, 2, true);
  DrawLogo(l, 150, 70, 1.3f);
  const TextMask m = RenderText(U"Danke fürs Spielen!", Face::SansBold, 34, l.ss, 0.5f);
  TextLook look;
  look.fill = [](int, float v) { return Mix(Hex(0xFFFFFF), Hex(0xFFE0A0), v); };
  look.outline = Hex(0x3A1A30);
  look.outlineWidth = 2.5f;
  look.shadow = Hex(0x3A1A30, 0.7f);
  look.shadowDx = 3, look.shadowDy = 3;
  DrawText(l, m, 320 - (m.ink.x1 - m.ink.x0) / 2, 300, look);
  DrawChicken(l, 120, 220, 40, false, true);
  DrawChicken(l, 540, 150, 34, false, false);
  DrawChicken(l, 470, 380, 44, true, true);
  return Flatten(l, Hex(0));
}

// ------------------------------------------------------------------ titles and panels
Image PaintTitle(const std::u32string& word) {
  Layer l(171, 24, 4);
  const TextMask m = RenderText(word, Face::SansBold, TitleSize(), l.ss, 0.4f);
  TextLook look = WordLook(kYellow, kBlue, 1.5f);
  look.shadow = Hex(0x1C1630, 0.9f);
  look.shadowDx = 1.5f, look.shadowDy = 1.5f;
  DrawText(l, m, 2.5f, (24 - 1.5f - (m.ink.y1 - m.ink.y0)) / 2, look);
  return Keyed(l);
}

Image PaintPanel(int index) {
  const auto& item = assets::kMenu1[index];
  Layer l(item.width, item.height, 4);
  switch (index) {
    case 1:
      Entry(l, U"Neues Spiel", 0, 0);
      Entry(l, U"Optionen", 0, 26);
      Entry(l, U"HighScore", 0, 56);
      Entry(l, U"Beenden", 0, 192);
      break;
    case 3:
      Entry(l, U"Leicht", 0, 0);
      Entry(l, U"Mittel", 0, 27);
      Entry(l, U"Schwer", 0, 53);
      Entry(l, U"Zurück", 0, 192);
      for (int row = 0; row < 3; ++row) {
        const float y = float(row == 0 ? 0 : row == 1 ? 27 : 53) + 7;
        for (int k = 0; k < 3; ++k) Star(l, 130 + 15 * float(k), y, 5.6f, k <= row);
      }
      break;
    case 5: {
      // A chicken fluttering in the empty middle, over its shadow.
      Fill(l, Ellipse(98, 146, 34, 5), Hex(0x8A8C9A));
      DrawChicken(l, 92, 100, 76, false, true);
      Entry(l, U"Starten", 1, 163);
      Entry(l, U"Zurück", 0, 192);
      break;
    }
    case 8:
      Entry(l, U"Punktzahl:", 0, 3);
      Entry(l, U"Hühner:", 0, 56);
      Entry(l, U"Platz:", 0, 109);
      Entry(l, U"Hauptmenü", 0, 192, FitSize(U"Hauptmenü", Face::SansBold, 160, 13, 1));
      break;
    case 14:
    case 16: {
      TwoLines(l, U"Transparente", U"Explosionen", 1, 0, 22, 146);
      // The angle mark leading to the setting below the entry.
      const Shape mark = Union(RoundRect(6, 24, 8.4f, 33, 0.6f), RoundRect(6, 30.6f, 15, 33, 0.6f));
      Fill(l, Grow(mark, 1), kInk);
      Fill(l, mark, kOrange);
      Entry(l, index == 14 ? U"Aus" : U"Ein", 18, 25);
      TwoLines(l, U"HighScore-Liste", U"zurücksetzen", 1, 81, 103, 171);
      Entry(l, U"Zurück", 0, 192);
      break;
    }
    default: break;
  }
  if (index == 5) {
    Image img = Keyed(l);
    img.FillRect(0, 0, img.w, 14, Rgb(33, 26, 26));
    return img;
  }
  return Keyed(l);
}

Image PaintHighscoreBar() {
  Layer l(511, 24, 4);
  Entry(l, U"Zurück", 3, 6);
  Entry(l, U"Leicht", 198, 6);
  Entry(l, U"Mittel", 300, 6);
  Entry(l, U"Schwer", 401, 6);
  return Keyed(l);
}

Image PaintPause() {
  Layer l(254, 140, 4);
  const Shape box = RoundRect(1, 1, 253, 139, 12);
  Fill(l, box, Hex(0x2A1A10));
  Fill(l, Grow(box, -1.5f), Linear(0, 0, Hex(0xFFD050), 0, 140, Hex(0xD07818)));
  Fill(l, Grow(box, -4.5f), Hex(0x2A1A10));
  Fill(l, Grow(box, -5.5f), [](float x, float y) {
    Col c = Mix(Hex(0x2C3C8C), Hex(0x141C48), Clamp01(y / 140));
    return Lighten(c, 0.08f * std::sin(x / 30 + y / 40));
  });
  // The word "Pause" big, the two lines below.
  const float big = FitSize(U"Pause", Face::SansBold, 200, 52, 3);
  const TextMask p = RenderText(U"Pause", Face::SansBold, big, l.ss, 1);
  TextLook look = WordLook(kYellow, Hex(0x6AA8FF), 2.2f);
  look.shadow = Hex(0x0A0C24, 0.9f);
  look.shadowDx = 2.5f, look.shadowDy = 2.5f;
  DrawText(l, p, 127 - (p.ink.x1 - p.ink.x0) / 2, 16, look);
  const float small = FitSize(U"Zum Fortfahren ESC drücken", Face::SansBold, 226, 15, 1);
  for (int i = 0; i < 2; ++i) {
    // White lines with the key to press in yellow.
    const std::u32string text = i == 0 ? U"Zum Fortfahren ESC drücken" : U"Zum Beenden F4 drücken";
    const size_t keyAt = i == 0 ? 15 : 12, keyLen = i == 0 ? 3 : 2;
    TextLook keyed;
    keyed.outline = Hex(0x0A0C24);
    keyed.outlineWidth = 1;
    keyed.fill = [keyAt, keyLen](int letter, float v) {
      const bool key = size_t(letter) >= keyAt && size_t(letter) < keyAt + keyLen;
      return key ? Mix(Hex(0xFFF080), Hex(0xFFB020), v) : Mix(Hex(0xFFFFFF), Hex(0xC8D8F0), v);
    };
    const TextMask m = RenderText(text, Face::SansBold, small, l.ss);
    DrawText(l, m, 127 - (m.ink.x1 - m.ink.x0) / 2, 84 + 22 * float(i), keyed);
  }
  return Keyed(l);
}

Image PaintGameOver() {
  Layer l(228, 50, 4);
  const float size = FitSize(U"Game over", Face::SansCondensedBold, 220, 50, 4, 1);
  const TextMask m = RenderText(U"Game over", Face::SansCondensedBold, size, l.ss, 1);
  const float x = 114 - (m.ink.x1 - m.ink.x0) / 2, y = 25 - (m.ink.y1 - m.ink.y0) / 2 - 1;
  Layer glow(228, 50, 4);
  TextLook halo;
  halo.fill = [](int, float) { return Hex(0xFF4A10); };
  halo.outline = Hex(0xFF4A10);
  halo.outlineWidth = 2;
  DrawText(glow, m, x, y, halo);
  Blur(glow, 3);
  Stack(l, glow, 0, 0, 1.f);
  TextLook look;
  look.fill = [](int, float v) { return Ramp({Hex(0xFFFBD0), Hex(0xFFD030), Hex(0xFF7A1A), Hex(0xC8201A)}, v); };
  look.outline = Hex(0x4A0A0A);
  look.outlineWidth = 1.8f;
  DrawText(l, m, x, y, look);
  return Flatten(l, Hex(0));
}

}  // namespace gen
