// A plain 24-bit picture for the asset generator, with a few painting helpers.
#pragma once

#include <cstdint>
#include <vector>

namespace gen {

// Colours are 0xRRGGBB.
inline constexpr uint32_t Rgb(int r, int g, int b) {
  return (uint32_t(r & 255) << 16) | (uint32_t(g & 255) << 8) | uint32_t(b & 255);
}

struct Image {
  int w = 0;
  int h = 0;
  std::vector<uint32_t> px;

  Image() = default;
  Image(int width, int height, uint32_t fill = 0) : w(width), h(height), px(size_t(width) * height, fill) {}

  bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < w && y < h; }
  uint32_t Get(int x, int y) const { return px[size_t(y) * w + x]; }
  void Set(int x, int y, uint32_t c) {
    if (Inside(x, y)) px[size_t(y) * w + x] = c;
  }
  void FillRect(int x0, int y0, int x1, int y1, uint32_t c) {  // right/bottom exclusive
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) Set(x, y, c);
  }
  void Frame(int x0, int y0, int x1, int y1, uint32_t c) {
    for (int x = x0; x < x1; ++x) Set(x, y0, c), Set(x, y1 - 1, c);
    for (int y = y0; y < y1; ++y) Set(x0, y, c), Set(x1 - 1, y, c);
  }
};

}  // namespace gen
