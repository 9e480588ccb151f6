#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "problems/addition_subtraction.h"
#include "problems/fill_in_decomposition.h"
#include "problems/multiplication_division.h"
#include "problems/problem_pool.h"

namespace kirune {
namespace {

std::vector<ProblemRecord> poolRecords(const ProblemPool& pool) {
  return {pool.problemPool.begin() + 1, pool.problemPool.begin() + 1 + pool.poolCount};
}

std::vector<ProblemRecord> generate(Settings settings, int kind) {
  settings.shurui = kind;
  ProblemPool pool;
  Random rng(1);
  print01Click(settings, pool, rng);
  EXPECT_EQ(settings.SpinEdit2, pool.poolCount) << "SpinEdit2 shows the pool size";
  return poolRecords(pool);
}

auto rowsOnly(std::vector<int> rows) {
  return [rows](Settings& s) {
    for (int d = 0; d <= 9; ++d) s.*Settings::timesRowBoxes[static_cast<std::size_t>(d)] = false;
    for (int d : rows) s.*Settings::timesRowBoxes[static_cast<std::size_t>(d)] = true;
  };
}

auto numbersOnly(std::vector<int> numbers) {
  return [numbers](Settings& s) {
    for (int n = 2; n <= 10; ++n) s.*Settings::decomposeBoxes[static_cast<std::size_t>(n - 2)] = false;
    for (int n : numbers) s.*Settings::decomposeBoxes[static_cast<std::size_t>(n - 2)] = true;
  };
}

bool digit(int x) { return x >= 0 && x <= 9; }

/// A kind with one option setting: its size, first and last record (the order the shuffle starts
/// from), and the rule as a condition on (first, second), from which the whole set is checked.
struct KindCase {
  std::string name;
  int kind;
  std::function<void(Settings&)> options;
  int count;
  ProblemRecord first, last;
  int sign;  // of every record; 0 when the kind mixes signs or marks blanks (checked elsewhere)
  std::function<bool(int, int)> admits;
};

const std::vector<KindCase>& kindCases() {
  auto none = [](Settings&) {};
  auto z = [](int Settings::*option, int item) { return [=](Settings& s) { s.*option = item; }; };
  auto quotient = [](int a, int d) { return a / d; };
  static const std::vector<KindCase> cases = {
      {"2+2 zero",
       0,
       z(&Settings::z1, 0),
       55,
       {0, 0, 0, kPlus},
       {9, 0, 9, kPlus},
       kPlus,
       [](int a, int b) { return digit(a) && digit(b) && a + b <= 9; }},
      {"2+2 no zero",
       0,
       z(&Settings::z1, 1),
       36,
       {1, 1, 2, kPlus},
       {8, 1, 9, kPlus},
       kPlus,
       [](int a, int b) { return a >= 1 && b >= 1 && a + b <= 9; }},
      {"2+2(10) zero",
       1,
       z(&Settings::z2, 0),
       64,
       {0, 0, 0, kPlus},
       {9, 1, 10, kPlus},
       kPlus,
       [](int a, int b) { return digit(a) && digit(b) && a + b <= 10; }},
      {"2+2(10) no zero",
       1,
       z(&Settings::z2, 1),
       45,
       {1, 1, 2, kPlus},
       {9, 1, 10, kPlus},
       kPlus,
       [](int a, int b) { return a >= 1 && b >= 1 && a + b <= 10; }},
      {"9+9",
       2,
       none,
       36,
       {2, 9, 11, kPlus},
       {9, 9, 18, kPlus},
       kPlus,
       [](int a, int b) { return digit(a) && digit(b) && a + b >= 11; }},
      {"*+*",
       3,
       none,
       100,
       {0, 0, 0, kPlus},
       {9, 9, 18, kPlus},
       kPlus,
       [](int a, int b) { return digit(a) && digit(b); }},
      {"9-2 zero",
       4,
       z(&Settings::z3, 0),
       55,
       {0, 0, 0, kMinus},
       {9, 9, 0, kMinus},
       kMinus,
       [](int a, int b) { return a <= 9 && b <= a; }},
      {"9-2 no zero",
       4,
       z(&Settings::z3, 1),
       36,
       {2, 1, 1, kMinus},
       {9, 8, 1, kMinus},
       kMinus,
       [](int a, int b) { return a <= 9 && b >= 1 && a - b >= 1; }},
      {"9-2(10) zero",
       5,
       z(&Settings::z4, 0),
       65,
       {0, 0, 0, kMinus},
       {10, 9, 1, kMinus},
       kMinus,
       [](int a, int b) { return a <= 10 && digit(b) && b <= a; }},
      {"9-2(10) no zero",
       5,
       z(&Settings::z4, 1),
       45,
       {2, 1, 1, kMinus},
       {10, 9, 1, kMinus},
       kMinus,
       [](int a, int b) { return a <= 10 && b >= 1 && a - b >= 1; }},
      {"12-9",
       6,
       none,
       36,
       {11, 2, 9, kMinus},
       {18, 9, 9, kMinus},
       kMinus,
       [](int a, int b) { return a >= 11 && digit(b) && digit(a - b); }},
      {"*-*",
       7,
       none,
       100,
       {0, 0, 0, kMinus},
       {18, 9, 9, kMinus},
       kMinus,
       [](int a, int b) { return digit(b) && digit(a - b); }},
      {"2*2 all rows",
       8,
       none,
       100,
       {0, 0, 0, kTimes},
       {9, 9, 81, kTimes},
       kTimes,
       [](int d, int m) { return digit(d) && digit(m); }},
      {"2*2 row 7",
       8,
       rowsOnly({7}),
       10,
       {7, 0, 0, kTimes},
       {7, 9, 63, kTimes},
       kTimes,
       [](int d, int m) { return d == 7 && digit(m); }},
      {"2*2 rows 0 and 9",
       8,
       rowsOnly({0, 9}),
       20,
       {0, 0, 0, kTimes},
       {9, 9, 81, kTimes},
       kTimes,
       [](int d, int m) { return (d == 0 || d == 9) && digit(m); }},
      {"2*2 no row", 8, rowsOnly({}), 0, {}, {}, kTimes, [](int, int) { return false; }},
      {"2*2(n01) all rows",
       9,
       none,
       90,
       {0, 1, 0, kTimes},
       {9, 9, 81, kTimes},
       kTimes,
       [](int d, int m) { return digit(d) && m >= 1 && m <= 9; }},
      {"2*2(n01) rows 0 and 1",
       9,
       rowsOnly({0, 1}),
       18,
       {0, 1, 0, kTimes},
       {1, 9, 9, kTimes},
       kTimes,
       [](int d, int m) { return d <= 1 && m >= 1 && m <= 9; }},
      {"2*2(n01) no row", 9, rowsOnly({}), 0, {}, {}, kTimes, [](int, int) { return false; }},
      {"4/2",
       10,
       none,
       45,
       {1, 1, 1, kDivided},
       {81, 9, 9, kDivided},
       kDivided,
       [=](int a, int d) { return a % d == 0 && d <= quotient(a, d) && quotient(a, d) <= 9; }},
      {"4/2(n01)",
       11,
       none,
       36,
       {4, 2, 2, kDivided},
       {81, 9, 9, kDivided},
       kDivided,
       [=](int a, int d) { return a % d == 0 && d >= 2 && d <= quotient(a, d) && quotient(a, d) <= 9; }},
      {"5/2",
       12,
       none,
       120,
       {5, 2, 2, kDivided},
       {89, 9, 9, kDivided},
       kDivided,
       [=](int a, int d) { return a % d != 0 && d >= 2 && d <= quotient(a, d) && quotient(a, d) <= 9; }},
      {"*/*",
       13,
       none,
       165,
       {1, 1, 1, kDivided},
       {89, 9, 9, kDivided},
       kDivided,
       [=](int a, int d) { return d <= quotient(a, d) && quotient(a, d) <= 9; }},
      // The hard divisions: one-digit quotient, a remainder, and a borrow in the written subtraction.
      {"nan",
       14,
       none,
       100,
       {10, 3, 0, kDivided},
       {80, 9, 0, kDivided},
       kDivided,
       [=](int a, int d) {
         const int q = quotient(a, d);
         return q <= 9 && a % d >= 1 && a % 10 < (d * q) % 10;
       }},
      {"2+2n0(10)",
       15,
       none,
       45,
       {1, 1, 2, kPlus},
       {9, 1, 10, kPlus},
       kPlus,
       [](int a, int b) { return a >= 1 && b >= 1 && a + b <= 10; }},
      {"2+2n0(10) ignores z2",
       15,
       z(&Settings::z2, 0),
       45,
       {1, 1, 2, kPlus},
       {9, 1, 10, kPlus},
       kPlus,
       [](int a, int b) { return a >= 1 && b >= 1 && a + b <= 10; }},
      {"9-2n0(10)",
       16,
       none,
       65,
       {0, 0, 0, kMinus},
       {10, 9, 1, kMinus},
       kMinus,
       [](int a, int b) { return a <= 10 && digit(b) && b <= a; }},
      {"9-2n0(10) ignores z4",
       16,
       z(&Settings::z4, 1),
       65,
       {0, 0, 0, kMinus},
       {10, 9, 1, kMinus},
       kMinus,
       [](int a, int b) { return a <= 10 && digit(b) && b <= a; }},
      {"sakuranbo all", 18, none, 90, {2, 1, kCircle, kTimes}, {10, kCircle, 9, kTimes}, 0, nullptr},
      {"sakuranbo 2", 18, numbersOnly({2}), 2, {2, 1, kCircle, kTimes}, {2, kCircle, 1, kTimes}, 0, nullptr},
      {"sakuranbo 3 and 7",
       18,
       numbersOnly({3, 7}),
       16,
       {3, 1, kCircle, kTimes},
       {7, kCircle, 6, kTimes},
       0,
       nullptr},
      {"sakuranbo none", 18, numbersOnly({}), 0, {}, {}, 0, nullptr},
      {"+-mixed", 19, none, 200, {0, 0, 0, kPlus}, {18, 9, 9, kMinus}, 0, nullptr},
  };
  return cases;
}

int apply(int sign, int a, int b) {
  switch (sign) {
    case kPlus:
      return a + b;
    case kMinus:
      return a - b;
    case kTimes:
      return a * b;
    default:
      return a / b;
  }
}

TEST(Generators, EveryKindAndOption) {
  for (const KindCase& c : kindCases()) {
    SCOPED_TRACE(c.name);
    Settings settings;
    c.options(settings);
    const std::vector<ProblemRecord> records = generate(settings, c.kind);
    ASSERT_EQ(static_cast<int>(records.size()), c.count);
    if (c.count > 0) {
      EXPECT_EQ(records.front(), c.first);
      EXPECT_EQ(records.back(), c.last);
    }
    if (!c.admits) continue;

    // Every problem the rule admits, each exactly once, with the result worked out and the kind's sign.
    std::set<std::tuple<int, int, int, int>> expected;
    const int smallestSecond = c.sign == kDivided ? 1 : 0;
    for (int a = 0; a <= 99; ++a)
      for (int b = smallestSecond; b <= 9; ++b)
        if (c.admits(a, b)) {
          const int result = c.kind == 14 ? 0 : apply(c.sign, a, b);  // "nan" leaves the quotient unset
          expected.emplace(a, b, result, c.sign);
        }
    std::set<std::tuple<int, int, int, int>> actual;
    for (const ProblemRecord& r : records) {
      EXPECT_TRUE(actual.emplace(r.first, r.second, r.result, r.sign).second)
          << "repeated " << r.first << "," << r.second;
    }
    EXPECT_EQ(actual, expected);
  }
}

TEST(Generators, NanHoldsThe99ListedDivisionsAnd21By8) {
  const std::vector<ProblemRecord> records = generate(Settings{}, 14);
  const std::vector<std::pair<int, std::vector<int>>> listed = {
      {3, {10, 11, 20}},
      {4, {10, 11, 30, 31}},
      {6, {10, 11, 20, 21, 22, 23, 40, 41, 50, 51, 52, 53}},
      {7, {10, 11, 12, 13, 20, 30, 31, 32, 33, 34, 40, 41, 50, 51, 52, 53, 54, 55, 60, 61, 62}},
      {8, {10, 11, 12, 13, 14, 15, 20, 22, 23, 30, 31, 50, 51, 52, 53, 54, 55, 60, 61, 62, 63, 70, 71}},
      {9, {10, 11, 12, 13, 14, 15, 16, 17, 20, 21, 22, 23, 24, 25, 26, 30, 31, 32,
           33, 34, 35, 40, 41, 42, 43, 44, 50, 51, 52, 53, 60, 61, 62, 70, 71, 80}},
  };
  std::set<std::pair<int, int>> expected = {{21, 8}};
  for (const auto& [divisor, dividends] : listed)
    for (int a : dividends) expected.emplace(a, divisor);
  ASSERT_EQ(expected.size(), 100u);

  std::set<std::pair<int, int>> actual;
  for (const ProblemRecord& r : records) actual.emplace(r.first, r.second);
  EXPECT_EQ(actual, expected);
  EXPECT_EQ(actual.count({4, 7}), 0u);
}

TEST(Generators, MixedDivisionInterleavesKinds10And12) {
  const std::vector<ProblemRecord> mixed = generate(Settings{}, 13);
  std::vector<ProblemRecord> exact, withRemainder;
  for (const ProblemRecord& r : mixed) (r.first % r.second == 0 ? exact : withRemainder).push_back(r);
  EXPECT_EQ(exact, generate(Settings{}, 10));
  EXPECT_EQ(withRemainder, generate(Settings{}, 12));
  // Interleaved, not appended: 5 ÷ 2 (q = 2, d = 2, r = 1) comes before 3 ÷ 1 (q = 3).
  const std::vector<ProblemRecord> start(mixed.begin(), mixed.begin() + 6);
  const std::vector<ProblemRecord> expectedStart = {{1, 1, 1, kDivided}, {2, 1, 2, kDivided},
                                                    {4, 2, 2, kDivided}, {5, 2, 2, kDivided},
                                                    {3, 1, 3, kDivided}, {6, 2, 3, kDivided}};
  EXPECT_EQ(start, expectedStart);
}

TEST(Generators, AddSubtractMixIsAdditionsThenSubtractions) {
  const std::vector<ProblemRecord> mixed = generate(Settings{}, 19);
  const std::vector<ProblemRecord> additions = generate(Settings{}, 3);
  const std::vector<ProblemRecord> subtractions = generate(Settings{}, 7);
  ASSERT_EQ(mixed.size(), 200u);
  EXPECT_EQ(std::vector<ProblemRecord>(mixed.begin(), mixed.begin() + 100), additions);
  EXPECT_EQ(std::vector<ProblemRecord>(mixed.begin() + 100, mixed.end()), subtractions);
}

TEST(Generators, DecompositionGivesEachSplitTwiceInterleaved) {
  Settings settings;
  numbersOnly({10})(settings);
  const std::vector<ProblemRecord> tens = generate(settings, 18);
  ASSERT_EQ(tens.size(), 18u);
  for (int k = 1; k <= 9; ++k) {
    EXPECT_EQ(tens[static_cast<std::size_t>(2 * k - 2)], (ProblemRecord{10, k, kCircle, kTimes}));
    EXPECT_EQ(tens[static_cast<std::size_t>(2 * k - 1)], (ProblemRecord{10, kCircle, k, kTimes}));
  }

  // With all numbers: N = 2..10 in order, 2 (N - 1) records each.
  const std::vector<ProblemRecord> all = generate(Settings{}, 18);
  std::size_t i = 0;
  for (int n = 2; n <= 10; ++n)
    for (int k = 1; k <= n - 1; ++k) {
      EXPECT_EQ(all[i++], (ProblemRecord{n, k, kCircle, kTimes}));
      EXPECT_EQ(all[i++], (ProblemRecord{n, kCircle, k, kTimes}));
    }
  EXPECT_EQ(i, all.size());
}

/// The fact a × b behind a fill-in record, or nothing when the record is not one box and one factor.
std::optional<std::pair<int, int>> fillInFact(const ProblemRecord& r) {
  if (r.sign != kTimes) return std::nullopt;
  if (r.first == kBox && digit(r.second) && r.second >= 1 && r.result % r.second == 0)
    return std::pair{r.result / r.second, r.second};
  if (r.second == kBox && digit(r.first) && r.first >= 1 && r.result % r.first == 0)
    return std::pair{r.first, r.result / r.first};
  return std::nullopt;
}

std::vector<bool> leftBoxes(const ProblemPool& pool) {
  std::vector<bool> marks;
  for (int i = 1; i <= pool.poolCount; ++i)
    marks.push_back(pool.problemPool[static_cast<std::size_t>(i)].first == kBox);
  return marks;
}

TEST(Generators, FillInMarksOneFactorOfEachFactAnew) {
  Settings settings;
  Random rng(7);
  ProblemPool pool;
  mondai16Click(settings, pool, rng);
  ASSERT_EQ(pool.poolCount, 81);
  int left = 0;
  for (int i = 1; i <= 81; ++i) {
    const ProblemRecord& r = pool.problemPool[static_cast<std::size_t>(i)];
    SCOPED_TRACE(i);
    EXPECT_NE(r.first == kBox, r.second == kBox) << "exactly one box";
    const auto fact = fillInFact(r);
    ASSERT_TRUE(fact.has_value());
    EXPECT_EQ(*fact, (std::pair{(i - 1) / 9 + 1, (i - 1) % 9 + 1})) << "a = 1..9 outer, b = 1..9 inner";
    left += r.first == kBox;
  }
  EXPECT_GT(left, 20);
  EXPECT_LT(left, 61);

  // The marks continue the generator's stream, one draw random(2) per fact and no reseed.
  Random replay(7);
  const std::vector<bool> marks = leftBoxes(pool);
  for (int i = 0; i < 81; ++i) EXPECT_EQ(marks[static_cast<std::size_t>(i)], replay.random(2) == 0);

  // A second generation (the next sheet) marks anew; the facts stay.
  const ProblemPool first = pool;
  mondai16Click(settings, pool, rng);
  EXPECT_NE(leftBoxes(pool), marks);
  for (int i = 1; i <= 81; ++i)
    EXPECT_EQ(fillInFact(pool.problemPool[static_cast<std::size_t>(i)]),
              fillInFact(first.problemPool[static_cast<std::size_t>(i)]));
}

TEST(Generators, ReplaceTheWholePool) {
  // A smaller kind after a larger one: nothing of the old records counts, and "nan" clears the
  // quotient an earlier division kind left behind.
  Settings settings;
  ProblemPool pool;
  mondai14Click(settings, pool);
  ASSERT_EQ(pool.poolCount, 165);
  mondai15Click(settings, pool);
  EXPECT_EQ(pool.poolCount, 100);
  for (int i = 1; i <= 100; ++i) EXPECT_EQ(pool.problemPool[static_cast<std::size_t>(i)].result, 0);
  mondai03Click(settings, pool);
  EXPECT_EQ(pool.poolCount, 36);
}

}  // namespace
}  // namespace kirune
