#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

#include "problems/problem_pool.h"

namespace kirune {
namespace {

using Key = std::tuple<int, int, int, int>;
Key key(const ProblemRecord& r) { return {r.first, r.second, r.result, r.sign}; }

std::vector<ProblemRecord> records(const ProblemPool& pool) {
  return {pool.problemPool.begin() + 1, pool.problemPool.begin() + 1 + pool.poolCount};
}

/// Deals a sheet of n problems as the engines do; returns what the slots received.
std::vector<ProblemRecord> dealSheet(Settings& settings, ProblemPool& pool, Random& rng, int n) {
  startSheet(settings, pool, rng);
  std::vector<ProblemRecord> slots;
  for (int k = 1; k <= n; ++k) {
    const ProblemRecord* dealt = dealNext(pool, rng, k);
    if (dealt == nullptr) break;
    EXPECT_EQ(dealt, &pool.sheetProblems[static_cast<std::size_t>(k)]);
    slots.push_back(*dealt);
  }
  EXPECT_EQ(pool.dealtCount, static_cast<int>(slots.size()));
  return slots;
}

Settings onlyNumberTwo() {
  Settings s;
  for (auto box : Settings::decomposeBoxes) s.*box = false;
  s.CheckBox17 = true;
  s.shurui = 18;
  return s;
}

TEST(Pool, TwoRecordsFlipAtEveryShuffle) {
  // With two records the partner is always record 1, so every shuffle exchanges them, whatever the seed.
  const ProblemRecord a{2, 1, kCircle, kTimes}, b{2, kCircle, 1, kTimes};
  const std::vector<ProblemRecord> expected = {b, a, a, b, b, a, a, b, b, a, a, b, b, a, a};
  std::vector<Random> generators;
  generators.emplace_back();  // clock-seeded
  for (std::uint64_t seed : {0ULL, 1ULL, 12345ULL}) generators.emplace_back(seed);
  for (Random& rng : generators) {
    Settings settings = onlyNumberTwo();
    ProblemPool pool;
    EXPECT_EQ(dealSheet(settings, pool, rng, 15), expected);
  }
}

TEST(Pool, ALongSheetDealsThePoolWholeBeforeRepeating) {
  for (std::uint64_t seed : {3ULL, 4ULL, 5ULL}) {
    SCOPED_TRACE(seed);
    Settings settings;
    settings.shurui = 2;  // "9+9", 36 records
    ProblemPool pool;
    Random rng(seed);
    const std::vector<ProblemRecord> slots = dealSheet(settings, pool, rng, 100);
    ASSERT_EQ(slots.size(), 100u);
    std::set<Key> all;
    for (const ProblemRecord& r : records(pool)) all.insert(key(r));
    ASSERT_EQ(all.size(), 36u);

    auto keys = [&](std::size_t from, std::size_t to) {
      std::multiset<Key> out;
      for (std::size_t i = from; i < to; ++i) out.insert(key(slots[i]));
      return out;
    };
    const std::multiset<Key> once(all.begin(), all.end());
    EXPECT_EQ(keys(0, 36), once);
    EXPECT_EQ(keys(36, 72), once);
    const std::multiset<Key> rest = keys(72, 100);
    EXPECT_EQ(std::set<Key>(rest.begin(), rest.end()).size(), 28u) << "no repeat within the third round";
    std::map<Key, int> times;
    for (const ProblemRecord& r : slots) ++times[key(r)];
    for (const auto& [k, n] : times) EXPECT_TRUE(n == 2 || n == 3);
    // The second round is a new order, not the first one again.
    EXPECT_FALSE(std::equal(slots.begin(), slots.begin() + 36, slots.begin() + 36));
  }
}

TEST(Pool, ShuffleFollowsThePartnerRuleExactly) {
  Settings settings;
  settings.shurui = 12;  // 120 records
  ProblemPool pool;
  Random rng(99);
  print01Click(settings, pool, rng);
  std::vector<ProblemRecord> expected = records(pool);

  Random replay = rng;
  swapClick(pool, rng);
  replay.reseed();
  const int n = static_cast<int>(expected.size());
  for (int i = 1; i <= n; ++i) {
    const int j = 1 + replay.random(n - 1);
    std::swap(expected[static_cast<std::size_t>(i - 1)], expected[static_cast<std::size_t>(j - 1)]);
  }
  EXPECT_EQ(records(pool), expected);
}

TEST(Pool, LastRecordIsNeverItsOwnPartner) {
  // Record n moves only on its own turn, to a place before n: it never stays last. Every other record
  // can end last.
  const int n = 5;
  std::set<int> endedLast;
  for (std::uint64_t seed = 0; seed < 300; ++seed) {
    ProblemPool pool;
    for (int i = 1; i <= n; ++i) pool.append({i, 0, i, 11});
    Random rng(seed);
    swapClick(pool, rng);
    endedLast.insert(pool.problemPool[n].first);
    std::multiset<int> kept;
    for (const ProblemRecord& r : records(pool)) kept.insert(r.first);
    EXPECT_EQ(kept, (std::multiset<int>{1, 2, 3, 4, 5}));
  }
  EXPECT_EQ(endedLast, (std::set<int>{1, 2, 3, 4}));
}

TEST(Pool, TinyPoolsOnlyReseed) {
  for (int count : {0, 1}) {
    SCOPED_TRACE(count);
    ProblemPool pool;
    pool.problemPool[1] = {4, 2, 2, 14};
    pool.problemPool[2] = {9, 9, 18, 11};
    pool.poolCount = count;
    const ProblemPool before = pool;
    Random rng(21), reseeded(21), untouched(21);
    swapClick(pool, rng);
    reseeded.reseed();
    EXPECT_EQ(pool.problemPool, before.problemPool);
    std::vector<int> drawn, expectedDraws, unshuffledDraws;
    for (int i = 0; i < 8; ++i) {
      drawn.push_back(rng.random(1000));
      expectedDraws.push_back(reseeded.random(1000));
      unshuffledDraws.push_back(untouched.random(1000));
    }
    EXPECT_EQ(drawn, expectedDraws);
    EXPECT_NE(drawn, unshuffledDraws);
  }
}

TEST(Pool, OneRecordFillsEverySlot) {
  ProblemPool pool;
  pool.append({3, 4, 7, 11});
  Random rng(2);
  for (int k = 1; k <= 5; ++k) {
    const ProblemRecord* dealt = dealNext(pool, rng, k);
    ASSERT_NE(dealt, nullptr);
    EXPECT_EQ(*dealt, (ProblemRecord{3, 4, 7, 11}));
    EXPECT_EQ(pool.poolCursor, 1);
  }
  EXPECT_EQ(pool.dealtCount, 5);
}

TEST(Pool, EmptyPoolDealsNothing) {
  // Records of an earlier sheet are still in the array; none of them may reach the new sheet.
  Settings settings;
  settings.shurui = 3;
  ProblemPool pool;
  Random rng(8);
  ASSERT_EQ(dealSheet(settings, pool, rng, 20).size(), 20u);
  const auto sheetBefore = pool.sheetProblems;

  for (auto box : Settings::timesRowBoxes) settings.*box = false;
  settings.shurui = 8;
  EXPECT_TRUE(dealSheet(settings, pool, rng, 20).empty());
  EXPECT_EQ(pool.poolCount, 0);
  EXPECT_EQ(settings.SpinEdit2, 0);
  EXPECT_EQ(pool.dealtCount, 0);
  EXPECT_EQ(pool.poolCursor, 0);
  EXPECT_EQ(pool.sheetProblems, sheetBefore);

  Settings decomposition = onlyNumberTwo();
  decomposition.CheckBox17 = false;
  EXPECT_TRUE(dealSheet(decomposition, pool, rng, 15).empty());
}

TEST(Pool, SameSeedSameSheets) {
  // Pools, shuffles and fill-in boxes, over several sheets in a row, as one print job would deal them.
  auto job = [](std::uint64_t seed) {
    Random rng(seed);
    ProblemPool pool;
    std::vector<ProblemRecord> dealt;
    for (int kind : {17, 17, 19, 13, 18}) {
      Settings settings;
      settings.shurui = kind;
      for (const ProblemRecord& r : dealSheet(settings, pool, rng, 100)) dealt.push_back(r);
    }
    return dealt;
  };
  const std::vector<ProblemRecord> first = job(11);
  EXPECT_EQ(first.size(), 500u);
  EXPECT_EQ(job(11), first);
  EXPECT_NE(job(12), first);
}

TEST(Pool, EachSheetStartsFromAFreshPool) {
  Settings settings;
  settings.shurui = 3;  // 100 records, 20 dealt: the sheet shows 20 different additions
  ProblemPool pool;
  Random rng(6);
  const std::vector<ProblemRecord> sheet1 = dealSheet(settings, pool, rng, 20);
  std::set<Key> distinct;
  for (const ProblemRecord& r : sheet1) distinct.insert(key(r));
  EXPECT_EQ(distinct.size(), 20u);
  EXPECT_EQ(pool.poolCount, 100);
  const std::vector<ProblemRecord> sheet2 = dealSheet(settings, pool, rng, 20);
  EXPECT_EQ(pool.poolCursor, 20);
  EXPECT_NE(sheet1, sheet2);
}

}  // namespace
}  // namespace kirune
