// Row kernels of the drawing operations on display pixels (RGB565): plain and
// keyed copies and alpha blends, eight pixels at a time where the processor
// allows. `alpha32` is the source's share in 32 parts (0..32).
#pragma once

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/core/surface.h"

namespace plat {

#if defined(__SSE2__)
namespace simd {

inline __m128i Blend8(__m128i s, __m128i d, __m128i a, __m128i na) {
  const __m128i m31 = _mm_set1_epi16(31), m63 = _mm_set1_epi16(63);
  const __m128i r = _mm_srli_epi16(
      _mm_add_epi16(_mm_mullo_epi16(_mm_srli_epi16(s, 11), a), _mm_mullo_epi16(_mm_srli_epi16(d, 11), na)), 5);
  const __m128i g = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_and_si128(_mm_srli_epi16(s, 5), m63), a),
                                                 _mm_mullo_epi16(_mm_and_si128(_mm_srli_epi16(d, 5), m63), na)),
                                   5);
  const __m128i b = _mm_srli_epi16(
      _mm_add_epi16(_mm_mullo_epi16(_mm_and_si128(s, m31), a), _mm_mullo_epi16(_mm_and_si128(d, m31), na)), 5);
  return _mm_or_si128(_mm_or_si128(_mm_slli_epi16(r, 11), _mm_slli_epi16(g, 5)), b);
}

// Where `keep` is set the destination stays.
inline __m128i Select(__m128i keep, __m128i d, __m128i value) {
  return _mm_or_si128(_mm_and_si128(keep, d), _mm_andnot_si128(keep, value));
}

inline __m128i Load(const uint16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void Store(uint16_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

}  // namespace simd
#endif

inline void CopyKeyedSpan(uint16_t* d, const uint16_t* s, int n, uint16_t key) {
  int i = 0;
#if defined(__SSE2__)
  const __m128i k = _mm_set1_epi16(int16_t(key));
  for (; i + 8 <= n; i += 8) {
    const __m128i sv = simd::Load(s + i);
    simd::Store(d + i, simd::Select(_mm_cmpeq_epi16(sv, k), simd::Load(d + i), sv));
  }
#endif
  for (; i < n; ++i)
    if (s[i] != key) d[i] = s[i];
}

inline void BlendSpan(uint16_t* d, const uint16_t* s, int n, uint32_t alpha32) {
  int i = 0;
#if defined(__SSE2__)
  const __m128i a = _mm_set1_epi16(int16_t(alpha32)), na = _mm_set1_epi16(int16_t(32 - alpha32));
  for (; i + 8 <= n; i += 8) simd::Store(d + i, simd::Blend8(simd::Load(s + i), simd::Load(d + i), a, na));
#endif
  for (; i < n; ++i) d[i] = BlendPixel(s[i], d[i], alpha32);
}

inline void BlendKeyedSpan(uint16_t* d, const uint16_t* s, int n, uint32_t alpha32, uint16_t key) {
  int i = 0;
#if defined(__SSE2__)
  const __m128i a = _mm_set1_epi16(int16_t(alpha32)), na = _mm_set1_epi16(int16_t(32 - alpha32));
  const __m128i k = _mm_set1_epi16(int16_t(key));
  for (; i + 8 <= n; i += 8) {
    const __m128i sv = simd::Load(s + i), dv = simd::Load(d + i);
    simd::Store(d + i, simd::Select(_mm_cmpeq_epi16(sv, k), dv, simd::Blend8(sv, dv, a, na)));
  }
#endif
  for (; i < n; ++i)
    if (s[i] != key) d[i] = BlendPixel(s[i], d[i], alpha32);
}

inline void BlendColourSpan(uint16_t* d, int n, uint16_t colour, uint32_t alpha32) {
  int i = 0;
#if defined(__SSE2__)
  const __m128i a = _mm_set1_epi16(int16_t(alpha32)), na = _mm_set1_epi16(int16_t(32 - alpha32));
  const __m128i c = _mm_set1_epi16(int16_t(colour));
  for (; i + 8 <= n; i += 8) simd::Store(d + i, simd::Blend8(c, simd::Load(d + i), a, na));
#endif
  for (; i < n; ++i) d[i] = BlendPixel(colour, d[i], alpha32);
}

}  // namespace plat
