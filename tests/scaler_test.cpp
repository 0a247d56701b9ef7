// Putting the display pixels on a 32-bit output: the colour conversion, the
// whole-number enlargement and the sharp enlargement to any other size.
#include "platform/core/scaler.h"
#include "platform/core/types.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// The rule, in whole numbers: output pixel i of n along a row (or column) of
// `source` pixels enlarged `multiple` times has its centre at
// u = ((2i + 1) * source * multiple - n) / 2n in enlarged pixels. It lies
// between enlarged pixels floor(u) and floor(u) + 1: when both belong to one
// source pixel it is that pixel; otherwise it blends the two source pixels by
// the fraction of u in 256ths, rounded to the nearest (ties to even); a weight
// that rounds to 0 or 256 is the one source pixel.
struct Rule {
  int a, b, weight;
  bool full;  // the weight rounded to 256
};

std::vector<Rule> RuleOf(int source, int n, int multiple) {
  std::vector<Rule> taps;
  for (int i = 0; i < n; ++i) {
    const int64_t num = int64_t(2 * i + 1) * source * multiple - n, den = 2 * int64_t(n);
    const int64_t j = num >= 0 ? num / den : -((-num + den - 1) / den), frac = num - j * den;
    auto sourceOf = [&](int64_t e) { return int(std::clamp<int64_t>(e >= 0 ? e / multiple : -1, 0, source - 1)); };
    Rule r{sourceOf(j), sourceOf(j + 1), 0, false};
    if (r.a != r.b) {
      const int64_t scaled = frac * 256, w = scaled / den, rest = scaled % den;
      r.weight = int(w + (2 * rest > den || (2 * rest == den && (w & 1))));
    }
    if (r.weight == 256) r.a = r.b, r.full = true;
    if (r.weight == 0 || r.weight == 256) r.weight = 0, r.b = r.a;
    taps.push_back(r);
  }
  return taps;
}

// Per channel: p * (256 - w) + q * w, in 256ths, cut.
uint32_t MixRule(uint32_t p, uint32_t q, int w) {
  uint32_t out = 0xFF000000u;
  for (int shift : {0, 8, 16})
    out |= ((((p >> shift) & 0xFF) * uint32_t(256 - w) + ((q >> shift) & 0xFF) * uint32_t(w)) >> 8) << shift;
  return out;
}

TEST(Scaler, EveryColumnAndRowOfCommonSizesFollowsTheRule) {
  const std::vector<uint16_t> picture = RandomPicture(3);
  auto widened = [&](int x, int y) {
    const TColor c = FromPixel(picture[size_t(y) * kW + size_t(x)]);
    return 0xFF000000u | uint32_t(GetRValue(c)) << 16 | uint32_t(GetGValue(c)) << 8 | uint32_t(GetBValue(c));
  };
  struct Size {
    int w, h;
  };
  for (const Size size : {Size{1366, 768}, Size{1280, 720}, Size{1920, 1080}, Size{1440, 900}, Size{1600, 900},
                          Size{1280, 1024}, Size{1024, 768}, Size{2560, 1440}, Size{3840, 2160}, Size{1440, 1080},
                          Size{1366, 1000}, Size{2000, 1500}, Size{1280, 960}, Size{639, 479}, Size{320, 240},
                          Size{100, 75}, Size{17, 13}, Size{2, 2}, Size{1, 1}}) {
    SCOPED_TRACE(std::to_string(size.w) + "x" + std::to_string(size.h));
    PictureScaler scaler;
    scaler.Configure(size.w, size.h, PixelOrder::Xrgb);
    const int multiple = std::max(1, std::min(size.w / kW, size.h / kH));
    ASSERT_EQ(scaler.Multiple(), multiple);
    std::vector<uint32_t> out(size_t(size.w) * size_t(size.h));
    scaler.Scale(picture.data(), out.data(), size.w * 4);
    const std::vector<Rule> columns = RuleOf(kW, size.w, multiple), rows = RuleOf(kH, size.h, multiple);
    auto expected = [&](int x, int y) {
      const Rule& c = columns[size_t(x)];
      const Rule& r = rows[size_t(y)];
      auto line = [&](int sy) { return MixRule(widened(c.a, sy), widened(c.b, sy), c.weight); };
      return MixRule(line(r.a), line(r.b), r.weight);
    };
    // Each column along the first, a middle and the last row, and the first
    // blended one; each row likewise along columns.
    auto chosen = [](const std::vector<Rule>& taps) {
      std::vector<int> at = {0, int(taps.size()) / 2, int(taps.size()) - 1};
      for (size_t i = 0; i < taps.size(); ++i)
        if (taps[i].weight) {
          at.push_back(int(i));
          break;
        }
      return at;
    };
    int wrong = 0;
    for (int y : chosen(rows))
      for (int x = 0; x < size.w; ++x) wrong += out[size_t(y) * size_t(size.w) + size_t(x)] != expected(x, y);
    for (int x : chosen(columns))
      for (int y = 0; y < size.h; ++y) wrong += out[size_t(y) * size_t(size.w) + size_t(x)] != expected(x, y);
    EXPECT_EQ(wrong, 0);
    if (size.w == 1366 && size.h == 768) {
      // The two columns whose blend rounds to the whole of the second pixel.
      std::vector<int> full;
      for (size_t x = 0; x < columns.size(); ++x)
        if (columns[x].full) full.push_back(int(x));
      EXPECT_EQ(full, (std::vector<int>{71, 754}));
    }
  }
}

}  // namespace
