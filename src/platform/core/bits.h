// The bits of a double, and leading zeros, for every toolchain we build with
// (the browser's C++ library lacks std::bit_cast and std::countl_zero).
#pragma once

#include <cstdint>
#include <cstring>

inline uint64_t BitsOf(double d) {
  uint64_t bits;
  std::memcpy(&bits, &d, sizeof bits);
  return bits;
}

inline double DoubleOf(uint64_t bits) {
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

// The number of zero bits above the highest one; 64 for zero.
inline int LeadingZeros(uint64_t v) { return v ? __builtin_clzll(v) : 64; }
