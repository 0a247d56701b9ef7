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
