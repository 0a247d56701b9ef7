#include "extended.h"

#include "platform/core/bits.h"

#include <cmath>
#include <initializer_list>

namespace {

using u128 = unsigned __int128;

// A finite number as (-1)^negative * significand * 2^exponent.
struct Parts {
  bool negative;
  uint64_t significand;
  int exponent;
};

Parts OfDouble(double d) {
  const uint64_t bits = BitsOf(d);
  const int field = int(bits >> 52 & 0x7FF);
  const uint64_t fraction = bits & ((uint64_t(1) << 52) - 1);
  if (field == 0) return {bool(bits >> 63), fraction, -1074};  // zero or subnormal
  return {bool(bits >> 63), fraction | uint64_t(1) << 52, field - 1075};
}

// Rounds significand * 2^exponent (top bit of the significand set) to a double,
// to nearest with ties to even; subnormal, zero or infinite where the double
// range ends.
double ToDouble(bool negative, uint64_t significand, int exponent) {
  const uint64_t sign = uint64_t(negative) << 63;
  const int top = exponent + 63;  // the value lies in [2^top, 2^(top+1))
  if (top > 1023) return DoubleOf(sign | uint64_t(0x7FF) << 52);
  // Bits of the significand below the double's last place: 11 for a normal
  // double, more where the result is subnormal.
  const int drop = top >= -1022 ? 11 : 11 + (-1022 - top);
  uint64_t kept;
  bool up;
  if (drop >= 66) {
    kept = 0, up = false;  // below half of the smallest subnormal
  } else {
    const u128 wide = u128(significand) << 2;  // two spare bits below, so drop may reach 65
    const int shift = drop + 2;
    kept = uint64_t(wide >> shift);
    const u128 rest = wide & ((u128(1) << shift) - 1), half = u128(1) << (shift - 1);
    up = rest > half || (rest == half && (kept & 1));
  }
  kept += up;
  if (top < -1022) return DoubleOf(sign | kept);  // a carry into 2^52 makes the smallest normal
  // kept holds the leading bit at 2^52 (or 2^53 after a carry): adding it to
  // the exponent field one too small gives the right field either way.
  const uint64_t bits = (uint64_t(top + 1022) << 52) + kept;
  if (bits >= uint64_t(0x7FF) << 52) return DoubleOf(sign | uint64_t(0x7FF) << 52);
  return DoubleOf(sign | bits);
}

}  // namespace

double AddExt(double value, ExtConst increment) {
  if (!std::isfinite(value)) return value;
  Parts a = OfDouble(value);
  Parts b{increment.negative, increment.significand, increment.exponent};
  if (b.significand == 0) {
    // x + 0 is x, except -0 + +0, which is +0.
    return a.significand == 0 && a.negative && !b.negative ? 0.0 : value;
  }
  if (a.significand == 0) return ToDouble(b.negative, b.significand, b.exponent);
  for (Parts* p : {&a, &b}) {  // top bits set
    const int shift = LeadingZeros(p->significand);
    p->significand <<= shift;
    p->exponent -= shift;
  }
  // a takes the larger magnitude.
  if (a.exponent < b.exponent || (a.exponent == b.exponent && a.significand < b.significand)) {
    const Parts larger = b;
    b = a, a = larger;
  }

  // Both significands with 63 bits below them and one free bit above; what b
  // loses on the shift is kept as a set lowest bit, far below the rounding.
  // (With a double on one side that bit never changes a result, but it keeps
  // the addition exact for any two extended values.)
  const u128 wa = u128(a.significand) << 63;
  const int64_t distance = int64_t(a.exponent) - b.exponent;
  u128 wb;
  if (distance >= 127) {
    wb = 1;
  } else {
    const u128 full = u128(b.significand) << 63;
    wb = full >> distance;
    if ((wb << distance) != full) wb |= 1;
  }
  u128 sum;
  if (a.negative == b.negative) {
    sum = wa + wb;
  } else {
    sum = wa - wb;
    if (sum == 0) return 0.0;  // exact cancellation gives +0
  }
  // Normalise to the top bit of 128, then round to 64 bits.
  const uint64_t top = uint64_t(sum >> 64);
  const int lead = top ? LeadingZeros(top) : 64 + LeadingZeros(uint64_t(sum));
  sum <<= lead;
  uint64_t hi = uint64_t(sum >> 64);
  const uint64_t lo = uint64_t(sum);
  int exponent = a.exponent - 63 - lead + 64;
  const uint64_t half = uint64_t(1) << 63;
  if (lo > half || (lo == half && (hi & 1))) {
    if (++hi == 0) hi = half, ++exponent;
  }
  return ToDouble(a.negative, hi, exponent);
}
