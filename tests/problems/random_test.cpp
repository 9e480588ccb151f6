#include <gtest/gtest.h>

#include <vector>

#include "problems/random.h"

namespace kirune {
namespace {

std::vector<int> draws(Random& rng, int n, int count) {
  std::vector<int> out;
  for (int i = 0; i < count; ++i) out.push_back(rng.random(n));
  return out;
}

TEST(Random, StaysInRangeAndCoversIt) {
  Random clock;
  Random fixed(5);
  EXPECT_FALSE(clock.fixed());
  EXPECT_TRUE(fixed.fixed());
  for (Random* rng : {&clock, &fixed}) {
    for (int n : {1, 2, 3, 7, 32, 199}) {
      SCOPED_TRACE(n);
      std::vector<int> seen(static_cast<std::size_t>(n), 0);
      for (int value : draws(*rng, n, 100 * n)) {
        ASSERT_GE(value, 0);
        ASSERT_LT(value, n);
        ++seen[static_cast<std::size_t>(value)];
      }
      for (int times : seen) EXPECT_GT(times, 0);
    }
    EXPECT_EQ(rng->random(0), 0);
    EXPECT_EQ(rng->random(-4), 0);
  }
}

TEST(Random, IsEvenOverSmallRanges) {
  // The shuffle draws from 1 .. n - 1 for pools of 2 to 200; a skew there would favour some problems.
  Random rng(77);
  const int n = 3, count = 300000;
  std::vector<int> seen(n, 0);
  for (int value : draws(rng, n, count)) ++seen[static_cast<std::size_t>(value)];
  for (int times : seen) EXPECT_NEAR(times, count / n, count / n / 50);
}

TEST(Random, FixedSeedReplaysReseedsIncluded) {
  Random a(42), b(42), other(43);
  std::vector<int> first = draws(a, 100, 20);
  EXPECT_EQ(draws(b, 100, 20), first);
  EXPECT_NE(draws(other, 100, 20), first);

  a.reseed();
  b.reseed();
  const std::vector<int> afterReseed = draws(a, 100, 20);
  EXPECT_EQ(draws(b, 100, 20), afterReseed);
  EXPECT_NE(afterReseed, first);

  // Stream k of one seed is not stream k - 1 of the next seed.
  Random c(42), d(43);
  c.reseed();
  EXPECT_NE(draws(c, 1000, 20), draws(d, 1000, 20));
}

TEST(Random, SameNumbersOnEveryPlatform) {
  // kirune-print --seed promises the same sheets everywhere. The values were worked out apart from this
  // code, from the standard's 64-bit Mersenne Twister, splitmix64 and the rejection rule; they change
  // only if the engine, the seed derivation or the bounded draw changes.
  Random rng(2021);
  EXPECT_EQ(draws(rng, 100, 8), (std::vector<int>{14, 11, 44, 96, 45, 99, 98, 67}));
}

TEST(Random, ClockReseedsDiffer) {
  Random rng;
  const std::vector<int> before = draws(rng, 1 << 30, 4);
  rng.reseed();
  const std::vector<int> after = draws(rng, 1 << 30, 4);
  rng.reseed();
  EXPECT_NE(after, before);
  EXPECT_NE(draws(rng, 1 << 30, 4), after);
}

}  // namespace
}  // namespace kirune
