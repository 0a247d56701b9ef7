#include "platform/core/scaler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace plat {
namespace {

inline uint32_t Widen(uint16_t p, PixelOrder order) {
  const uint32_t r = ((p >> 8) & 0xF8) | (p >> 13);
  const uint32_t g = ((p >> 3) & 0xFC) | ((p >> 9) & 0x03);
  const uint32_t b = ((p << 3) & 0xF8) | ((p >> 2) & 0x07);
  return order == PixelOrder::Xrgb ? 0xFF000000u | r << 16 | g << 8 | b : 0xFF000000u | b << 16 | g << 8 | r;
}

// a + (b - a) * weight / 256 in every byte.
inline uint32_t Mix(uint32_t a, uint32_t b, uint32_t weight) {
  const uint32_t keep = 256 - weight;
  const uint32_t rb = (((a & 0xFF00FFu) * keep + (b & 0xFF00FFu) * weight) >> 8) & 0xFF00FFu;
  const uint32_t ag = (((a >> 8) & 0xFF00FFu) * keep + ((b >> 8) & 0xFF00FFu) * weight) & 0xFF00FF00u;
  return rb | ag;
}

// Blends two rows of n pixels by weight / 256 of the second.
void MixSpan(const uint32_t* a, const uint32_t* b, uint32_t* out, int n, uint32_t weight) {
  int i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i wb = _mm_set1_epi16(int16_t(weight)), wa = _mm_set1_epi16(int16_t(256 - weight));
  for (; i + 4 <= n; i += 4) {
    const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
    const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
    // Every byte widened to 16 bits: a * (256 - w) + b * w stays below 65536.
    const __m128i lo = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(va, zero), wa),
                                                    _mm_mullo_epi16(_mm_unpacklo_epi8(vb, zero), wb)),
                                      8);
    const __m128i hi = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(va, zero), wa),
                                                    _mm_mullo_epi16(_mm_unpackhi_epi8(vb, zero), wb)),
                                      8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(lo, hi));
  }
#endif
  for (; i < n; ++i) out[i] = Mix(a[i], b[i], weight);
}

#if !defined(__SSE2__)
// Without vector instructions a table of every display colour is quicker
// than widening each pixel's channels.
const uint32_t* WideColours(PixelOrder order) {
  static std::vector<uint32_t> tables[2];
  std::vector<uint32_t>& t = tables[order == PixelOrder::Xrgb ? 0 : 1];
  if (t.empty()) {
    t.resize(65536);
    for (uint32_t p = 0; p < 65536; ++p) t[p] = Widen(uint16_t(p), order);
  }
  return t.data();
}
#endif

int FloorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// The taps of `out` output pixels over `source` pixels enlarged `multiple` times:
// each output pixel's centre, in the enlarged picture, falls between two of its
// pixels, which belong to one source pixel (no blending) or to two.
std::vector<PictureScaler::Tap> Taps(int source, int out, int multiple) {
  std::vector<PictureScaler::Tap> taps(size_t(std::max(0, out)));
  const double step = double(source) * multiple / out;
  for (int x = 0; x < out; ++x) {
    const double u = (x + 0.5) * step - 0.5;
    const int j = int(std::floor(u));
    PictureScaler::Tap& t = taps[size_t(x)];
    t.a = std::clamp(FloorDiv(j, multiple), 0, source - 1);
    t.b = std::clamp(FloorDiv(j + 1, multiple), 0, source - 1);
    t.weight = t.a == t.b ? 0 : uint32_t(std::lrint((u - j) * 256));
    if (t.weight == 256) t.a = t.b;
    if (t.weight == 0 || t.weight == 256) t.weight = 0, t.b = t.a;
  }
  return taps;
}

}  // namespace

void ConvertSpan565(const uint16_t* src, uint32_t* dst, int n, PixelOrder order) {
  int i = 0;
#if defined(__SSE2__)
  const __m128i m3 = _mm_set1_epi16(0x03), m7 = _mm_set1_epi16(0x07);
  const __m128i mF8 = _mm_set1_epi16(0xF8), mFC = _mm_set1_epi16(0xFC);
  const __m128i opaque = _mm_set1_epi16(int16_t(0xFF00));
  for (; i + 8 <= n; i += 8) {
    const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    __m128i r = _mm_or_si128(_mm_and_si128(_mm_srli_epi16(p, 8), mF8), _mm_srli_epi16(p, 13));
    const __m128i g = _mm_or_si128(_mm_and_si128(_mm_srli_epi16(p, 3), mFC), _mm_and_si128(_mm_srli_epi16(p, 9), m3));
    __m128i b = _mm_or_si128(_mm_and_si128(_mm_slli_epi16(p, 3), mF8), _mm_and_si128(_mm_srli_epi16(p, 2), m7));
    if (order == PixelOrder::Xbgr) std::swap(r, b);
    // Little-endian 32-bit pixels: the low half is green and blue, the high half opaque and red.
    const __m128i low = _mm_or_si128(_mm_slli_epi16(g, 8), b);
    const __m128i high = _mm_or_si128(r, opaque);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_unpacklo_epi16(low, high));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i + 4), _mm_unpackhi_epi16(low, high));
  }
#else
  const uint32_t* wide = WideColours(order);
  for (; i + 4 <= n; i += 4) {
    dst[i] = wide[src[i]];
    dst[i + 1] = wide[src[i + 1]];
    dst[i + 2] = wide[src[i + 2]];
    dst[i + 3] = wide[src[i + 3]];
  }
#endif
  for (; i < n; ++i) dst[i] = Widen(src[i], order);
}

void PictureScaler::Configure(int width, int height, PixelOrder order) {
  if (width == width_ && height == height_ && order == order_ && (!columns_.empty() || Empty())) return;
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  if (Empty()) {
    columns_.clear();
    rows_.clear();
    return;
  }
  order_ = order;
  multiple_ = std::max(1, std::min(width_ / kSourceWidth, height_ / kSourceHeight));
  exact_ = width_ == kSourceWidth * multiple_ && height_ == kSourceHeight * multiple_;
  columns_ = Taps(kSourceWidth, width_, multiple_);
  columnWeights_.clear();
  for (const Tap& t : columns_) columnWeights_.insert(columnWeights_.end(), 4, uint16_t(t.weight));
  rows_ = Taps(kSourceHeight, height_, multiple_);
  converted_.assign(kSourceWidth, 0);
  for (auto& line : lines_) line.assign(size_t(width_), 0);
  lineRow_[0] = lineRow_[1] = -1;
}

void PictureScaler::MakeLine(int row, uint32_t* line) {
  const uint16_t* src = pixels_ + size_t(row) * kSourceWidth;
  ConvertSpan565(src, converted_.data(), kSourceWidth, order_);
  const uint32_t* c = converted_.data();
  if (exact_ && multiple_ == 2) {
    for (int x = 0; x < kSourceWidth; ++x) line[2 * x] = line[2 * x + 1] = c[x];
  } else if (exact_) {
    for (int x = 0; x < kSourceWidth; ++x) std::fill_n(line + size_t(x) * size_t(multiple_), multiple_, c[x]);
  } else {
    int x = 0;
#if defined(__SSE2__)
    // Four output pixels at a time, each from its two source pixels and weight.
    const __m128i zero = _mm_setzero_si128(), full = _mm_set1_epi16(256);
    for (; x + 4 <= width_; x += 4) {
      const Tap* t = columns_.data() + x;
      const __m128i va = _mm_setr_epi32(int(c[t[0].a]), int(c[t[1].a]), int(c[t[2].a]), int(c[t[3].a]));
      const __m128i vb = _mm_setr_epi32(int(c[t[0].b]), int(c[t[1].b]), int(c[t[2].b]), int(c[t[3].b]));
      const __m128i wlo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(columnWeights_.data() + 4 * x));
      const __m128i whi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(columnWeights_.data() + 4 * x + 8));
      const __m128i lo =
          _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(va, zero), _mm_sub_epi16(full, wlo)),
                                       _mm_mullo_epi16(_mm_unpacklo_epi8(vb, zero), wlo)),
                         8);
      const __m128i hi =
          _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(va, zero), _mm_sub_epi16(full, whi)),
                                       _mm_mullo_epi16(_mm_unpackhi_epi8(vb, zero), whi)),
                         8);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(line + x), _mm_packus_epi16(lo, hi));
    }
#endif
    for (; x < width_; ++x) {
      const Tap& t = columns_[size_t(x)];
      line[x] = Mix(c[t.a], c[t.b], t.weight);
    }
  }
}

// The enlarged source row `row`, made at most once a picture; `keep` is a row
// whose line must stay.
const uint32_t* PictureScaler::Line(int row, int keep) {
  for (int i = 0; i < 2; ++i)
    if (lineRow_[i] == row) return lines_[i].data();
  const int slot = lineRow_[0] == keep ? 1 : 0;
  MakeLine(row, lines_[slot].data());
  lineRow_[slot] = row;
  return lines_[slot].data();
}

void PictureScaler::Scale(const uint16_t* pixels, void* out, int pitch) {
  if (Empty()) return;
  auto* dst = static_cast<unsigned char*>(out);
  if (exact_ && multiple_ == 1) {
    for (int y = 0; y < height_; ++y, dst += pitch)
      ConvertSpan565(pixels + size_t(y) * kSourceWidth, reinterpret_cast<uint32_t*>(dst), kSourceWidth, order_);
    return;
  }
  pixels_ = pixels;
  lineRow_[0] = lineRow_[1] = -1;
  for (int y = 0; y < height_; ++y, dst += pitch) {
    const Tap& t = rows_[size_t(y)];
    auto* row = reinterpret_cast<uint32_t*>(dst);
    const uint32_t* a = Line(t.a, -1);
    if (!t.weight) {
      std::memcpy(row, a, size_t(width_) * sizeof(uint32_t));
      continue;
    }
    MixSpan(a, Line(t.b, t.a), row, width_, t.weight);
  }
  pixels_ = nullptr;
}

}  // namespace plat
