// The row kernels behind keyed copies and blends work eight pixels at a time;
// here every drawing operation that uses them is compared with the plain rule
// for one pixel, for spans of 0 to 40 pixels at random source and target
// alignments, with clipping on every side, and scaled to any size.
#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <vector>

#include "platform/core/surface.h"

namespace {

// The source's share in 32 parts, per channel, rounded down.
uint16_t Blend(uint16_t s, uint16_t d, uint32_t a32) {
  auto mix = [&](int shift, uint32_t mask) {
    return ((((s >> shift) & mask) * a32 + ((d >> shift) & mask) * (32 - a32)) >> 5) << shift;
  };
  return uint16_t(mix(11, 31) | mix(5, 63) | mix(0, 31));
}

class Cases {
 public:
  explicit Cases(uint32_t seed) : rng_(seed) {}
  int Between(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  bool OneIn(int n) { return Between(1, n) == 1; }
  // Pixels of every kind, with plenty of the key among them.
  void Paint(TSurface& s, uint16_t key) {
    for (int y = 0; y < s.Height(); ++y)
      for (int x = 0; x < s.Width(); ++x) s.SetPixel(x, y, OneIn(3) ? key : uint16_t(Between(0, 0xFFFF)));
  }

 private:
  std::mt19937 rng_;
};

enum class Rule { Copy, Keyed, BlendAll, BlendKeyed };

// What drawing sr of `source` into dr must leave on `before`: each pixel of
// dr inside the target shows the source pixel under its centre, where that
// lies inside the source picture; an empty rectangle draws nothing.
std::vector<uint16_t> Expected(const TSurface& target, std::vector<uint16_t> out, TRect dr, TRect sr,
                               const TSurface& source, Rule rule, uint32_t a32) {
  if (sr.IsEmpty()) return out;
  const uint16_t key = source.KeyPixel();
  for (int dy = std::max(0, dr.Top); dy < std::min(dr.Bottom, target.Height()); ++dy)
    for (int dx = std::max(0, dr.Left); dx < std::min(dr.Right, target.Width()); ++dx) {
      const int sx = sr.Left + (2 * (dx - dr.Left) + 1) * sr.Width() / (2 * dr.Width());
      const int sy = sr.Top + (2 * (dy - dr.Top) + 1) * sr.Height() / (2 * dr.Height());
      if (sx < 0 || sy < 0 || sx >= source.Width() || sy >= source.Height()) continue;
      const uint16_t s = source.Pixel(sx, sy);
      uint16_t& d = out[size_t(dy * target.Width() + dx)];
      if ((rule == Rule::Keyed || rule == Rule::BlendKeyed) && s == key) continue;
      d = (rule == Rule::Copy || rule == Rule::Keyed) ? s : Blend(s, d, a32);
    }
  return out;
}

// Empty when equal, else where and how the first pixel differs.
std::string Difference(const TSurface& got, const std::vector<uint16_t>& wanted) {
  for (int i = 0; i < got.Width() * got.Height(); ++i)
    if (got.Bits()[i] != wanted[size_t(i)]) {
      std::ostringstream s;
      s << "pixel (" << i % got.Width() << ", " << i / got.Width() << ") is " << got.Bits()[i] << ", wanted "
        << wanted[size_t(i)];
      return s.str();
    }
  return "";
}

}  // namespace

TEST(DrawingRows, CopiesAndBlendsMatchThePlainRuleForEverySpanAndAlignment) {
  Cases r(20240611);
  for (int round = 0; round < 6000; ++round) {
    const int span = round % 41;
    // A source wider than the span, so that the span starts at any alignment in it.
    TSurface source(span + r.Between(0, 9), r.Between(1, 4));
    source.TransparentColor = r.OneIn(2) ? clBlack : RGBColor(r.Between(0, 255), r.Between(0, 255), 0);
    r.Paint(source, source.KeyPixel());
    TSurface target(r.Between(1, 56), r.Between(1, 9));
    r.Paint(target, 0);
    const std::vector<uint16_t> before(target.Bits(), target.Bits() + target.Width() * target.Height());

    // The span taken from the source, sometimes reaching beyond its edges.
    TRect sr = Rect(0, 0, span, source.Height());
    const int shift = source.Width() - span;
    if (shift > 0) sr.Left += r.Between(0, shift), sr.Right = sr.Left + span;
    if (r.OneIn(6)) sr.Left -= r.Between(1, 5), sr.Right = sr.Left + span;
    const int x = r.Between(-12, target.Width() + 2), y = r.Between(-3, target.Height());
    const bool transparent = !r.OneIn(3);
    const int alpha = r.Between(1, 254);
    const uint32_t a32 = plat::Alpha32(alpha);

    std::ostringstream what;
    what << "round " << round << ": span " << span << " from x " << sr.Left << " of a " << source.Width() << " x "
         << source.Height() << " source onto (" << x << ", " << y << ") of " << target.Width() << " x "
         << target.Height() << ", ";
    TRect dr = Rect(x, y, x + span, y + sr.Height());
    Rule rule = transparent ? Rule::Keyed : Rule::Copy;
    switch (round % 6) {
      case 0:
        what << "Draw";
        target.Draw(x, y, source, transparent);
        sr = Rect(0, 0, source.Width(), source.Height());
        dr = Rect(x, y, x + source.Width(), y + source.Height());
        break;
      case 1:
        what << "DrawRect";
        target.DrawRect(x, y, sr, source, transparent);
        break;
      case 2:
        what << "StretchDraw to twice the height";
        dr.Bottom = dr.Top + 2 * sr.Height();
        target.StretchDraw(dr, sr, source, transparent);
        break;
      case 3:
        what << "DrawAlpha " << alpha;
        if (r.OneIn(2)) dr.Bottom = dr.Top + 2 * sr.Height();
        rule = transparent ? Rule::BlendKeyed : Rule::BlendAll;
        target.DrawAlpha(dr, sr, source, transparent, alpha);
        break;
      case 5: {
        // Any rectangle of the source, scaled to any size, copied or blended.
        sr = Rect(r.Between(-4, source.Width()), r.Between(-2, source.Height()), 0, 0);
        sr.Right = sr.Left + r.Between(0, 20), sr.Bottom = sr.Top + r.Between(0, 6);
        dr = Rect(x, y, x + r.Between(0, 45), y + r.Between(0, 12));
        const bool blend = r.OneIn(2);
        what << (blend ? "DrawAlpha " + std::to_string(alpha) : std::string("StretchDraw")) << " from (" << sr.Left
             << ", " << sr.Top << ", " << sr.Right << ", " << sr.Bottom << ") to " << dr.Width() << " x " << dr.Height();
        if (blend) {
          rule = transparent ? Rule::BlendKeyed : Rule::BlendAll;
          target.DrawAlpha(dr, sr, source, transparent, alpha);
        } else {
          target.StretchDraw(dr, sr, source, transparent);
        }
        break;
      }
      case 4: {
        what << "FillRectAlpha " << alpha;
        const TColor c = RGBColor(r.Between(0, 255), r.Between(0, 255), r.Between(0, 255));
        target.FillRectAlpha(dr, c, alpha);
        // A fill is a blend of one colour: the same rule over a source of that colour.
        TSurface plain(span, sr.Height());
        plain.Fill(c);
        const std::string diff =
            Difference(target, Expected(target, before, dr, Rect(0, 0, span, sr.Height()), plain, Rule::BlendAll, a32));
        ASSERT_TRUE(diff.empty()) << what.str() << ": " << diff;
        continue;
      }
    }
    const std::string diff = Difference(target, Expected(target, before, dr, sr, source, rule, a32));
    ASSERT_TRUE(diff.empty()) << what.str() << (transparent ? ", keyed" : ", opaque") << ": " << diff;
  }
}
