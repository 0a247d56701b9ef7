// The numeric rules every clock and position of the game goes by.
#include <gtest/gtest.h>

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
int TicksUntil(long double step, int target, bool truncate) {
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
  EXPECT_EQ(TicksUntil(0.02L, 1, true), 50);
  EXPECT_EQ(TicksUntil(0.02L, 2, true), 100);
  EXPECT_EQ(TicksUntil(0.02L, 4, true), 200);
  // Explosions: started at 0, advanced at once, gone when Round reaches 9: 27 frames drawn.
  EXPECT_EQ(TicksUntil(0.3L, 9, false) - 2, 27);
  // End sequence: state change at Round(t) = 82, "Game over" from 101, Results at 700.
  EXPECT_EQ(TicksUntil(0.1L, 82, false), 816);
  EXPECT_EQ(TicksUntil(0.1L, 36, false) - 1, 354);  // the last warning tick
  EXPECT_EQ(TicksUntil(2.0L, 101, false), 51);
  EXPECT_EQ(TicksUntil(2.0L, 700, false), 350);
  double nirwana = 0;
  for (int tick = 0; tick < 350; ++tick) nirwana = AddExt(nirwana, 2.0L);
  EXPECT_EQ(nirwana, 700.0);  // the end is tested for exact equality
  // Wings: 0.1 a tick, reset after passing 1: six frames of one picture, five of the other.
  double phase = 0;
  int first = 0, second = 0;
  for (int tick = 0; tick < 110; ++tick) {
    phase = AddExt(phase, 0.1L);
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

TEST(Rules, RandomStaysInRangeAndRepeatsFromTheSameSeed) {
  RandSeed = 1234;
  int seen[3] = {0, 0, 0};
  for (int i = 0; i < 3000; ++i) {
    const int r = Random(3);
    ASSERT_GE(r, 0);
    ASSERT_LT(r, 3);
    seen[r]++;
  }
  for (int n : seen) EXPECT_GT(n, 800);
  RandSeed = 99;
  const int a = Random(1000), b = Random(1000);
  RandSeed = 99;
  EXPECT_EQ(Random(1000), a);
  EXPECT_EQ(Random(1000), b);
}
