// The clocks of the game advance in the 80-bit extended format: a double plus
// a constant, added with a 64-bit significand (rounded to nearest, ties to
// even) and then stored as a double (rounded again). The frame counts of the
// countdown, the wings, the explosions and the end sequence depend on this
// double rounding, so it is done here exactly with integers and is the same
// on every machine, whatever its `long double` is.
#pragma once

#include <cstdint>

// A constant in the extended format: (-1)^negative * significand * 2^exponent
// with the significand's top bit set, or zero (significand 0).
struct ExtConst {
  bool negative = false;
  uint64_t significand = 0;
  int exponent = 0;

  constexpr ExtConst() = default;
  // Any 64-bit significand; it is shifted until its top bit is set.
  constexpr ExtConst(bool neg, uint64_t sig, int exp) : negative(neg), significand(sig), exponent(exp) {
    if (significand == 0) {
      exponent = 0;
      return;
    }
    while (!(significand >> 63)) significand <<= 1, --exponent;
  }
  constexpr ExtConst operator-() const { return ExtConst(!negative, significand, exponent); }
  constexpr bool operator==(const ExtConst&) const = default;
};

namespace ext_detail {

using u128 = unsigned __int128;

consteval u128 Pow10(int n) {
  u128 p = 1;
  for (int i = 0; i < n; ++i) {
    if (p > ~u128(0) / 10) throw "decimal constant out of range";
    p *= 10;
  }
  return p;
}

// The decimal text of a literal (digits, one optional point, an optional
// exponent e[+-]digits) rounded to the nearest extended value, ties to even.
consteval ExtConst FromDecimal(const char* text) {
  u128 digits = 0;
  int scale = 0;  // the value is digits * 10^scale
  bool point = false, any = false;
  const char* p = text;
  for (; *p && *p != 'e' && *p != 'E'; ++p) {
    if (*p == '\'') continue;
    if (*p == '.') {
      if (point) throw "two decimal points";
      point = true;
      continue;
    }
    if (*p < '0' || *p > '9') throw "not a decimal constant";
    if (digits > (~u128(0) - 9) / 10) throw "too many digits";
    digits = digits * 10 + u128(*p - '0');
    any = true;
    if (point) --scale;
  }
  if (!any) throw "no digits";
  if (*p) {
    ++p;
    const bool minus = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    int e = 0;
    if (!*p) throw "no exponent digits";
    for (; *p; ++p) {
      if (*p < '0' || *p > '9' || e > 1000) throw "bad exponent";
      e = e * 10 + (*p - '0');
    }
    scale += minus ? -e : e;
  }
  if (digits == 0) return ExtConst();
  // The value as the fraction n / d.
  u128 n = digits, d = 1;
  if (scale >= 0) {
    const u128 m = Pow10(scale);
    if (n > ~u128(0) / m) throw "decimal constant out of range";
    n *= m;
  } else {
    d = Pow10(-scale);
  }
  u128 q = n / d, r = n % d;
  int exponent = 0;
  int bits = 0;
  for (u128 t = q; t; t >>= 1) ++bits;
  bool sticky = r != 0;
  u128 half = 0, rest = 0;  // the part of q below its 64 kept bits, and its half
  if (bits > 64) {
    // Too many integer bits: keep the top 64, the rest decides the rounding.
    const int drop = bits - 64;
    half = u128(1) << (drop - 1);
    rest = q & ((u128(1) << drop) - 1);
    q >>= drop;
    exponent = drop;
  } else {
    // Fraction bits, one at a time, until 64 significant bits.
    while (bits < 64) {
      r <<= 1;
      q <<= 1;
      if (r >= d) q |= 1, r -= d;
      --exponent;
      if (q) ++bits;
    }
    // The remainder r / d is below one unit: compare it with a half.
    half = d;
    rest = r * 2;
    sticky = false;
  }
  const bool up = rest > half || (rest == half && (sticky || (q & 1)));
  if (up) ++q;
  if (q >> 64) q >>= 1, ++exponent;
  return ExtConst(false, uint64_t(q), exponent);
}

template <char... C>
struct Literal {
  static constexpr char text[] = {C..., '\0'};
  static constexpr ExtConst value = FromDecimal(text);
};

}  // namespace ext_detail

// 0.02_ext is the extended value nearest to 0.02, as an 80-bit `0.02L` is.
// Digits, a point, an exponent (2.5e-3_ext) and digit separators are read;
// the digits times their power of ten must stay below 2^128 (about 3.4e38),
// with at most 38 places after the point, or the program does not compile.
// (The value is a constant of its own for each literal: an immediate call in
// the middle of an expression comes out wrong with some compilers.)
template <char... C>
constexpr ExtConst operator""_ext() {
  return ext_detail::Literal<C...>::value;
}

// value + increment, added in the extended format and stored as a double.
// Exact for every finite double (subnormals and both zeros included) and every
// ExtConst whose exponent lies within +-16000; results beyond the double range
// are infinite, below it subnormal or zero, as the processor's would be.
// Infinities and NaN come back as they went in.
double AddExt(double value, ExtConst increment);
