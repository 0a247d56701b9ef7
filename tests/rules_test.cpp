// The numeric rules every clock and position of the game goes by.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tool1.h"

TEST(Rules, RoundGoesToTheEvenNeighbourAndTruncCutsTowardsZero) {
  EXPECT_EQ(Round(0.5), 0);
  EXPECT_EQ(Round(1.5), 2);
  EXPECT_EQ(Round(2.5), 2);
  EXPECT_EQ(Round(3.5), 4);
  EXPECT_EQ(Round(-0.5), 0);
  EXPECT_EQ(Round(2.5000001), 3);
  EXPECT_EQ(Round(15 / 2.0), 8);
  EXPECT_EQ(Round(1 / 2.0), 0);
  EXPECT_EQ(Trunc(3.99), 3);
  EXPECT_EQ(Trunc(-3.99), -3);
}

namespace {
// Ticks until Round (or Trunc) of a clock advanced by `step` first reaches `target` or more.
int TicksUntil(ExtConst step, int target, bool truncate) {
  double clock = 0;
  for (int tick = 1; tick < 100000; ++tick) {
    clock = AddExt(clock, step);
    if ((truncate ? Trunc(clock) : Round(clock)) >= target) return tick;
  }
  return -1;
}
}  // namespace

TEST(Rules, ExtendedPrecisionStepsGiveTheGamesFrameCounts) {
  // Countdown: 0.02 a tick, ends when Trunc reaches 4; lamps change at 1, 2, 3.
  EXPECT_EQ(TicksUntil(0.02_ext, 1, true), 50);
  EXPECT_EQ(TicksUntil(0.02_ext, 2, true), 100);
  EXPECT_EQ(TicksUntil(0.02_ext, 4, true), 200);
  // Explosions: started at 0, advanced at once, gone when Round reaches 9: 27 frames drawn.
  EXPECT_EQ(TicksUntil(0.3_ext, 9, false) - 2, 27);
  // End sequence: state change at Round(t) = 82, "Game over" from 101, Results at 700.
  EXPECT_EQ(TicksUntil(0.1_ext, 82, false), 816);
  EXPECT_EQ(TicksUntil(0.1_ext, 36, false) - 1, 354);  // the last warning tick
  EXPECT_EQ(TicksUntil(2.0_ext, 101, false), 51);
  EXPECT_EQ(TicksUntil(2.0_ext, 700, false), 350);
  double nirwana = 0;
  for (int tick = 0; tick < 350; ++tick) nirwana = AddExt(nirwana, 2.0_ext);
  EXPECT_EQ(nirwana, 700.0);  // the end is tested for exact equality
  // Wings: 0.1 a tick, reset after passing 1: six frames of one picture, five of the other.
  double phase = 0;
  int first = 0, second = 0;
  for (int tick = 0; tick < 110; ++tick) {
    phase = AddExt(phase, 0.1_ext);
    if (phase > 1) phase = 0;
    (Round(phase) == 0 ? first : second)++;
  }
  EXPECT_EQ(first, 60);
  EXPECT_EQ(second, 50);
}

TEST(Rules, PanOfAScreenPositionTruncates) {
  EXPECT_EQ(PanOf(0), -10000);
  EXPECT_EQ(PanOf(320), 0);
  EXPECT_EQ(PanOf(640), 10000);
  EXPECT_EQ(PanOf(600), 8750);
  EXPECT_EQ(PanOf(639), 9968);
  EXPECT_EQ(PanOf(-100), -13125);
  EXPECT_EQ(PanOf(180 + 20 * 3), -2500);
}

TEST(Rules, RandomMultipliesTheSeedAndTakesTheHighWordOfItsProductWithN) {
  // The seed becomes seed * 0x08088405 + 1 (mod 2^32); Random(n) is the high
  // 32 bits of seed * n.
  RandSeed = 1234;
  std::vector<int> drawn;
  for (int n : {3, 3, 3, 2, 154, 180, 130, 110, 5, 8, 8, 7, 4, 1000000}) drawn.push_back(Random(n));
  EXPECT_EQ(drawn, (std::vector<int>{2, 2, 0, 0, 47, 20, 92, 93, 1, 2, 6, 4, 2, 926187}));
  EXPECT_EQ(RandSeed, 3977945500u);
  // The seeds whose next value is the top and the bottom of the range.
  RandSeed = 0x4d60ae66;
  EXPECT_EQ(Random(154), 153);
  RandSeed = 0x26b05733;
  EXPECT_EQ(Random(154), 0);
  EXPECT_EQ(RandSeed, 0u);
  for (int n : {1, 2, 3, 7, 20, 154, 180}) {
    int low = n, high = -1;
    for (int i = 0; i < 2000; ++i) {
      const int r = Random(n);
      low = std::min(low, r), high = std::max(high, r);
    }
    EXPECT_EQ(low, 0) << n;
    EXPECT_EQ(high, n - 1) << n;
  }
}
