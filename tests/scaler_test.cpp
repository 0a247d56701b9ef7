// Putting the display pixels on a 32-bit output: the colour conversion, the
// whole-number enlargement and the sharp enlargement to any other size.
#include "platform/core/scaler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

using plat::PictureScaler;
using plat::PixelOrder;

constexpr int kW = 640, kH = 480;

uint32_t One(uint16_t p, PixelOrder order) {
  uint32_t out = 0;
  plat::ConvertSpan565(&p, &out, 1, order);
  return out;
}

int Channel(uint32_t p, int shift) { return int(p >> shift) & 0xFF; }

std::vector<uint16_t> RandomPicture(unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<uint16_t> p(size_t(kW) * kH);
  for (uint16_t& v : p) v = uint16_t(rng());
  return p;
}

TEST(Scaler, EveryColourWidensOpaqueAndWithinOneOfItsExactValueEightAtATimeAlike) {
  for (uint32_t p = 0; p < 65536; ++p) {
    const uint32_t rgb = One(uint16_t(p), PixelOrder::Xrgb), bgr = One(uint16_t(p), PixelOrder::Xbgr);
    ASSERT_EQ(rgb >> 24, 0xFFu);
    const int r = int(p >> 11), g = int(p >> 5) & 63, b = int(p) & 31;
    EXPECT_LE(std::abs(Channel(rgb, 16) * 31 - r * 255), 31) << p;
    EXPECT_LE(std::abs(Channel(rgb, 8) * 63 - g * 255), 63) << p;
    EXPECT_LE(std::abs(Channel(rgb, 0) * 31 - b * 255), 31) << p;
    ASSERT_EQ(bgr, (rgb & 0xFF00FF00u) | (rgb >> 16 & 0xFF) | (rgb & 0xFF) << 16) << p;
  }
  EXPECT_EQ(One(0, PixelOrder::Xrgb), 0xFF000000u);
  EXPECT_EQ(One(0xFFFF, PixelOrder::Xrgb), 0xFFFFFFFFu);

  // Spans of every length at every alignment give what single pixels give.
  std::mt19937 rng(7);
  std::vector<uint16_t> src(64);
  std::vector<uint32_t> dst(64);
  for (int round = 0; round < 400; ++round) {
    for (uint16_t& v : src) v = uint16_t(rng());
    const int from = int(rng() % 8), n = int(rng() % 41);
    const PixelOrder order = round % 2 ? PixelOrder::Xrgb : PixelOrder::Xbgr;
    std::fill(dst.begin(), dst.end(), 0x12345678u);
    plat::ConvertSpan565(src.data() + from, dst.data() + from, n, order);
    for (int i = 0; i < 64; ++i)
      ASSERT_EQ(dst[size_t(i)], i >= from && i < from + n ? One(src[size_t(i)], order) : 0x12345678u) << n;
  }
}

TEST(Scaler, AWholeMultipleRepeatsEveryPixelAndWritesOnlyItsRectangle) {
  const std::vector<uint16_t> picture = RandomPicture(1);
  for (int k : {1, 2, 3}) {
    PictureScaler scaler;
    scaler.Configure(kW * k, kH * k, PixelOrder::Xrgb);
    EXPECT_EQ(scaler.Multiple(), k);
    const int pitch = (kW * k + 5) * 4;  // rows with room after them
    std::vector<uint32_t> out(size_t(pitch / 4) * size_t(kH * k), 0xDEADBEEFu);
    scaler.Scale(picture.data(), out.data(), pitch);
    for (int y = 0; y < kH * k; ++y)
      for (int x = 0; x < kW * k + 5; ++x) {
        const uint32_t want = x < kW * k ? One(picture[size_t(y / k * kW + x / k)], PixelOrder::Xrgb) : 0xDEADBEEFu;
        ASSERT_EQ(out[size_t(y * pitch / 4 + x)], want) << k << " " << x << "," << y;
      }
  }
}

// Between whole multiples the picture is enlarged to the largest one that fits
// and smoothed to the size: an output pixel is blended only where it straddles
// a seam between two pixels enlarged that many times, from those two only and
// more from the nearer one; everywhere else it is its source pixel exactly.
TEST(Scaler, OtherSizesBlendOnlyAtTheSeams) {
  // Columns alternate black and white, rows red and blue: along a row of the
  // output every pixel is grey, along a column red, blue or between them.
  std::vector<uint16_t> columns(size_t(kW) * kH), rows(size_t(kW) * kH);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      columns[size_t(y * kW + x)] = x % 2 ? 0xFFFF : 0x0000;
      rows[size_t(y * kW + x)] = y % 2 ? 0x001F : 0xF800;
    }
  // The share of the odd source pixel's colour in an output pixel (0..255).
  auto oddShare = [](uint32_t p, bool alongRow) { return alongRow ? Channel(p, 8) : Channel(p, 0); };

  struct Size {
    int w, h, multiple;
  };
  for (const Size size : {Size{1024, 768, 1}, Size{1440, 1080, 2}, Size{1366, 1000, 2}, Size{2000, 1500, 3}}) {
    PictureScaler scaler;
    scaler.Configure(size.w, size.h, PixelOrder::Xrgb);
    ASSERT_EQ(scaler.Multiple(), size.multiple);
    std::vector<uint32_t> out(size_t(size.w) * size_t(size.h));
    for (const bool alongRow : {true, false}) {
      scaler.Scale(alongRow ? columns.data() : rows.data(), out.data(), size.w * 4);
      const int n = alongRow ? size.w : size.h, source = alongRow ? kW : kH;
      int pure = 0;
      for (int i = 0; i < n; ++i) {
        const uint32_t p = alongRow ? out[size_t(size.h / 3) * size_t(size.w) + size_t(i)]
                                    : out[size_t(i) * size_t(size.w) + size_t(size.w / 3)];
        ASSERT_EQ(p >> 24, 0xFFu);
        if (alongRow)
          ASSERT_TRUE(Channel(p, 16) == Channel(p, 8) && Channel(p, 8) == Channel(p, 0)) << i;
        else
          ASSERT_EQ(Channel(p, 8), 0) << i;
        // The pixel's centre in source pixels, and its distance to the nearest seam.
        const double c = (i + 0.5) * source / n;
        const double seam = std::round(c), d = std::abs(c - seam);
        const int share = oddShare(p, alongRow);
        if (d > 0.5 / size.multiple + 1e-9 || seam == 0 || seam == source) {
          ASSERT_EQ(share, int(c) % 2 ? 255 : 0) << size.w << "x" << size.h << " at " << i;
          ++pure;
        } else if (d > 1e-9) {
          const int nearer = c < seam ? int(seam) - 1 : int(seam);
          ASSERT_LE(std::abs(share - (nearer % 2 ? 255 : 0)), 128) << size.w << "x" << size.h << " at " << i;
        }
      }
      // Sharp: only about one pixel enlarged `multiple` times is blended at each seam.
      EXPECT_GE(pure, n - int(source * std::ceil(double(n) / (source * size.multiple)))) << n;
    }
  }
}

}  // namespace
