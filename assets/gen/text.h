// Lettering for the artwork: glyph coverage from the DejaVu faces through
// FreeType, and styled words (per-letter fill, outline, hard shadow).
#pragma once

#include <functional>
#include <string>

#include "kit.h"

namespace gen {

enum class Face { Sans, SansCondensed, SansBold, SansCondensedBold };

// Coverage of a line of text at the fineness of a layer. The ink box is in
// logical pixels relative to the mask's origin; `letter` holds, per fine
// pixel, the index of the character that inked it most (-1 for none).
struct TextMask {
  int w = 0, h = 0, ss = 1;
  std::vector<float> cover;
  std::vector<int> letter;
  Box ink{0, 0, 0, 0};
  float baseline = 0;  // logical, relative to the mask's origin like `ink`
  float Cover(int x, int y) const { return (x < 0 || y < 0 || x >= w || y >= h) ? 0.f : cover[size_t(y) * size_t(w) + size_t(x)]; }
};

// `size` is the pixel size of the em in logical pixels; `spacing` is added
// between letters.
TextMask RenderText(const std::u32string& text, Face face, float size, int ss, float spacing = 0);

struct TextLook {
  // Fill colour by letter index and by the height in the ink box (0 top, 1 bottom).
  std::function<Col(int letter, float v)> fill;
  Col outline{0, 0, 0, 0};  // transparent: no outline
  float outlineWidth = 0;
  Col shadow{0, 0, 0, 0};   // a hard copy of the outlined word, offset
  float shadowDx = 0, shadowDy = 0;
};

// Paints the word with the top-left of its ink (without outline) at (x, y);
// returns the painted ink box including outline and shadow.
Box DrawText(Layer& l, const TextMask& m, float x, float y, const TextLook& look);
// The largest size (in steps of 0.25) at which the text's ink plus twice the
// margin fits into maxW x maxH, measured at the fineness it will be painted in.
float FitSize(const std::u32string& text, Face face, float maxW, float maxH, float margin, float spacing = 0, int ss = 4);

// The common word styles of the menus: first letter `head`, the rest `body`.
TextLook WordLook(Col head, Col body, float outlineWidth);

}  // namespace gen
