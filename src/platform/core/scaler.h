// Puts the 640 x 480 display pixels (RGB565) on a 32-bit output of any size in
// one pass: converted eight pixels at a time, enlarged by the nearest pixel at
// a whole-number scale, and sharp at any other (as if enlarged by the nearest
// pixel to the largest whole multiple that fits, then smoothed to the size, so
// only the seams between enlarged pixels are blended).
#pragma once

#include <cstdint>
#include <vector>

namespace plat {

// The byte layouts of 32-bit output pixels: 0xFFRRGGBB or 0xFFBBGGRR.
enum class PixelOrder { Xrgb, Xbgr };

// Converts n display pixels (5-6-5 bits, each channel widened by repeating its
// top bits) to 32-bit pixels with an opaque top byte.
void ConvertSpan565(const uint16_t* src, uint32_t* dst, int n, PixelOrder order);

class PictureScaler {
 public:
  static constexpr int kSourceWidth = 640;
  static constexpr int kSourceHeight = 480;

  // The picture's size on the output and the output's pixel order. A size
  // with no room for a pixel makes Scale write nothing.
  void Configure(int width, int height, PixelOrder order);
  bool Empty() const { return width_ <= 0 || height_ <= 0; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // The whole multiple the picture is enlarged by (1 at most sizes below 2x).
  int Multiple() const { return multiple_; }

  // Writes Width() x Height() pixels to `out`, whose rows are `pitch` bytes apart.
  void Scale(const uint16_t* pixels, void* out, int pitch);

  // One output pixel of a column or row: source pixel a, blended with source
  // pixel b by weight / 256 (weight 0: a alone).
  struct Tap {
    int a = 0, b = 0;
    uint32_t weight = 0;
  };

 private:
  const uint32_t* Line(int row, int keep);
  void MakeLine(int row, uint32_t* line);

  int width_ = 0, height_ = 0, multiple_ = 1;
  bool exact_ = false;  // the size is exactly the multiple: no blending at all
  PixelOrder order_ = PixelOrder::Xrgb;
  std::vector<Tap> columns_, rows_;
  std::vector<uint16_t> columnWeights_;  // each column's weight for each of its four bytes
  const uint16_t* pixels_ = nullptr;
  std::vector<uint32_t> converted_;
  std::vector<uint32_t> lines_[2];
  int lineRow_[2] = {-1, -1};
};

}  // namespace plat
