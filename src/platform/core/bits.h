// Bit-level helpers that every toolchain we build with has (some of the C++20
// <bit> header is missing from the browser's library).
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
