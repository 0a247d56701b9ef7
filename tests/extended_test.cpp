// The extended-precision addition of the game's clocks, done in integers, against
// the processor's own 80-bit arithmetic where the compiler's `long double` is it.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "extended.h"
#include "platform/core/bits.h"

namespace {

constexpr bool kNative80 = std::numeric_limits<long double>::digits == 64;

long double Native(ExtConst c) {
  const long double v = std::ldexp(static_cast<long double>(c.significand), c.exponent);
  return c.negative ? -v : v;
}

// What the processor gives for the same addition.
double NativeAdd(double value, ExtConst increment) { return double(static_cast<long double>(value) + Native(increment)); }

struct Increment {
  ExtConst ext;
  long double literal;
};
// Every increment the game's clocks use, with the compiler's reading of the same literal.
const Increment kGameIncrements[] = {{0.02_ext, 0.02L}, {0.1_ext, 0.1L}, {0.2_ext, 0.2L},
                                     {0.3_ext, 0.3L},   {0.5_ext, 0.5L}, {2.0_ext, 2.0L}};

// Results compared bit for bit (the sign of zero included), as hex floats on failure.
#define EXPECT_SAME_DOUBLE(a, b, ...)                                                                       \
  EXPECT_EQ(BitsOf(a), BitsOf(b)) << std::hexfloat << (a) << " " << (b) \
                                                                     << " " << __VA_ARGS__

}  // namespace

// These hold on every platform: they are the sums of the game's clocks that a
// plain double addition gets wrong.
TEST(Extended, ClockSumsThatAPlainDoubleAdditionGetsWrong) {
  struct Case {
    double value;
    ExtConst increment;
    double plainIncrement;
    double sum;
  };
  const Case cases[] = {
      // Three steps of a clock: the third is the sum of 0.2 and one step.
      {0x1.999999999999ap-3, 0.1_ext, 0.1, 0x1.3333333333333p-2},
      {0x1.999999999999ap-2, 0.2_ext, 0.2, 0x1.3333333333333p-1},
      {0x1.3333333333333p-1, 0.3_ext, 0.3, 0x1.ccccccccccccdp-1},
      // The sum rounded twice, first to 64 bits and then to 53, where rounding
      // once would give the neighbour.
      {0x1.c869f55457334p-19, 0.1_ext, 0.1, 0x1.999d2a6d84424p-4},
      {-0x1.9037faae2c666p-17, 0.2_ext, 0.2, 0x1.999358b9aee0ep-3},
      {0x1.13de69600e4cbp-14, 0.3_ext, 0.3, 0x1.33447119c9342p-2},
  };
  for (const Case& c : cases) {
    ASSERT_NE(c.value + c.plainIncrement, c.sum) << "the case must tell the two apart";
    EXPECT_SAME_DOUBLE(AddExt(c.value, c.increment), c.sum, "");
  }
}

TEST(Extended, SignsZerosAndExactCancellation) {
  EXPECT_SAME_DOUBLE(AddExt(-0.0, 0.5_ext), 0.5, "");
  EXPECT_SAME_DOUBLE(AddExt(-1.0, 0.5_ext), -0.5, "");
  EXPECT_SAME_DOUBLE(AddExt(-0.5, 0.5_ext), 0.0, "exact cancellation is +0");
  EXPECT_SAME_DOUBLE(AddExt(0.5, -0.5_ext), 0.0, "");
  EXPECT_SAME_DOUBLE(AddExt(-0.0, 0_ext), 0.0, "-0 + +0");
  EXPECT_SAME_DOUBLE(AddExt(-0.0, -0_ext), -0.0, "-0 + -0");
  EXPECT_SAME_DOUBLE(AddExt(-7.25, 0_ext), -7.25, "");
  EXPECT_SAME_DOUBLE(AddExt(-1.0, 0.3_ext), -0.7, "an explosion's first step");
  EXPECT_SAME_DOUBLE(AddExt(-100.0, 0.5_ext), -99.5, "");
  EXPECT_SAME_DOUBLE(AddExt(DBL_MAX, ExtConst(false, 1, 997)), std::numeric_limits<double>::infinity(), "");
  EXPECT_SAME_DOUBLE(AddExt(-DBL_MAX, ExtConst(true, 1, 997)), -std::numeric_limits<double>::infinity(), "");
  EXPECT_SAME_DOUBLE(AddExt(std::numeric_limits<double>::infinity(), -2.0_ext),
                     std::numeric_limits<double>::infinity(), "");
  EXPECT_TRUE(std::isnan(AddExt(std::nan(""), 0.1_ext)));
  EXPECT_SAME_DOUBLE(AddExt(DBL_TRUE_MIN, ExtConst(true, 1, -1074)), 0.0, "");
  EXPECT_SAME_DOUBLE(AddExt(0.0, ExtConst(false, 1, -1075)), 0.0, "half the smallest subnormal, to even");
  EXPECT_SAME_DOUBLE(AddExt(0.0, ExtConst(false, 3, -1076)), DBL_TRUE_MIN, "");
}

TEST(Extended, LiteralsAreTheCompilersExtendedValues) {
  if (!kNative80) GTEST_SKIP() << "long double is not the 80-bit format here";
  for (const Increment& inc : kGameIncrements) EXPECT_EQ(Native(inc.ext), inc.literal) << double(inc.literal);
  const std::pair<ExtConst, long double> more[] = {
      {1e-2_ext, 1e-2L},
      {3.14159265358979323846264338327950288_ext, 3.14159265358979323846264338327950288L},
      {123456789012345678901234567890.0_ext, 123456789012345678901234567890.0L},
      {0.000123_ext, 0.000123L},
      {7e20_ext, 7e20L},
      {1.5e-30_ext, 1.5e-30L},
      {18446744073709551615_ext, 18446744073709551615.0L},
      {36893488147419103231_ext, 36893488147419103231.0L},  // 2^65 - 1: rounds up to 2^65
      {0.1e1_ext, 1.0L},
  };
  for (const auto& [ext, literal] : more) EXPECT_EQ(Native(ext), literal) << double(literal);
  EXPECT_EQ(-0.3_ext, ExtConst(true, (0.3_ext).significand, (0.3_ext).exponent));
}

TEST(Extended, MillionsOfSumsMatchThe80BitProcessor) {
  if (!kNative80) GTEST_SKIP() << "long double is not the 80-bit format here";
  std::mt19937_64 rng(20240611);
  auto check = [](double value, ExtConst inc) {
    const double ours = AddExt(value, inc), native = NativeAdd(value, inc);
    if (BitsOf(ours) != BitsOf(native)) {
      ADD_FAILURE() << std::hexfloat << value << " + " << Native(inc) << ": " << ours << " != " << native;
      return false;
    }
    return true;
  };
  std::vector<ExtConst> incs;
  for (const Increment& inc : kGameIncrements) incs.push_back(inc.ext), incs.push_back(-inc.ext);

  // Any double at all, from every bit pattern.
  for (int i = 0; i < 250000; ++i) {
    const double v = DoubleOf(rng());
    if (!std::isfinite(v)) continue;
    for (ExtConst inc : incs)
      if (!check(v, inc)) return;
  }
  // The game's range, and small values whose low bits meet the increment's
  // last bits (where the double rounding shows).
  for (int i = 0; i < 100000; ++i) {
    const double game = double(int64_t(rng() % 4000000001u) - 2000000000) / 1048576.0;
    const double small = std::ldexp(double(rng() >> 11), -53 - int(rng() % 40)) * (rng() & 1 ? 1 : -1);
    for (ExtConst inc : incs)
      if (!check(game, inc) || !check(small, inc)) return;
  }
  // Sums next to the middle between two doubles, and next to a double.
  for (int i = 0; i < 40000; ++i) {
    const ExtConst inc = incs[rng() % incs.size()];
    const double target = std::ldexp(double((rng() >> 11) | 1), -52 + int(rng() % 30) - 10);
    const long double middle = static_cast<long double>(target) + std::ldexp(static_cast<long double>(target), -53);
    for (long double aim : {middle, static_cast<long double>(target)}) {
      double v = double(aim - Native(inc));
      for (int k = 0; k < 3; ++k) v = std::nextafter(v, -INFINITY);
      for (int k = 0; k < 7; ++k, v = std::nextafter(v, INFINITY))
        if (!check(v, inc)) return;
    }
  }
  // Increments of any sign and size, with doubles near the ends of the range.
  for (int i = 0; i < 300000; ++i) {
    const ExtConst inc(rng() & 1, rng() | 1, int(rng() % 2400) - 1200 - 63);
    double v = DoubleOf((rng() & 0x800FFFFFFFFFFFFFull) | uint64_t(rng() % 2047) << 52);
    if (i % 4 == 1) v = std::ldexp(double(rng() >> 11), -1074 + int(rng() % 80));  // subnormal and just above
    if (i % 4 == 2) v = (rng() & 1 ? -1 : 1) * std::nextafter(DBL_MAX, 0.0) / double(1 + rng() % 4);
    if (!check(v, inc)) return;
  }
  // Chains like the clocks: thousands of steps from the game's starting points.
  for (ExtConst inc : incs)
    for (double start : {0.0, -1.0, -100.0, 86.0, 0.5, 1e6}) {
      double ours = start, native = start;
      for (int step = 0; step < 20000; ++step) {
        ours = AddExt(ours, inc);
        native = NativeAdd(native, inc);
        ASSERT_EQ(BitsOf(ours), BitsOf(native)) << start << " step " << step;
      }
    }
}
