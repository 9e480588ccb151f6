#include <gtest/gtest.h>

#include <vector>

#include "problems/settings.h"

namespace kirune {
namespace {

constexpr int kUnchanged = -1;

// 7 is a count that SpinEdit3Change leaves alone, so it marks "not written" in the cases below.
constexpr int kMarker = 7;

TEST(Settings, MondaisuuClickSetsTheCountOfItsItem) {
  // Items 8, 9 and 12 leave the count: their presets set it themselves, and 24 is chosen by none.
  const std::vector<int> counts = {20, 40,         80,         100, 12, 30,        60,
                                   10, kUnchanged, kUnchanged, 5,   18, kUnchanged};
  for (int item = 0; item < 13; ++item) {
    SCOPED_TRACE(item);
    Settings s;
    s.setMondaisuu(item == 1 ? 2 : 1);
    s.setSpinEdit3(kMarker);
    ASSERT_EQ(s.SpinEdit3(), kMarker);
    s.setMondaisuu(item);
    EXPECT_EQ(s.mondaisuu(), item);
    const int expected = counts[static_cast<std::size_t>(item)];
    EXPECT_EQ(s.SpinEdit3(), expected == kUnchanged ? kMarker : expected);
  }
}

TEST(Settings, SelectingTheSelectedItemRunsNothing) {
  Settings s;
  ASSERT_EQ(s.mondaisuu(), 0);
  ASSERT_EQ(s.SpinEdit3(), 20);
  s.setSpinEdit3(kMarker);
  s.setMondaisuu(0);
  EXPECT_EQ(s.SpinEdit3(), kMarker);
  EXPECT_EQ(s.mondaisuu(), 0);
}

TEST(Settings, HandTypedCountsMapOntoTheCountChoice) {
  struct Range {
    int from, to;  // hand-typed counts
    int count;     // kUnchanged: the typed count stays
    int item;      // kUnchanged: mondaisuu stays
  };
  const std::vector<Range> map = {
      {-3, 10, kUnchanged, kUnchanged},
      {11, 11, 10, 7},
      {12, 12, 12, 4},
      {13, 14, 15, 8},
      {15, 18, kUnchanged, kUnchanged},
      {19, 19, 12, 4},
      {20, 20, 20, 0},
      {21, 23, 24, 12},
      {24, 24, kUnchanged, kUnchanged},
      {25, 28, 30, 5},
      {29, 29, 20, 0},
      {30, 30, kUnchanged, kUnchanged},
      {31, 38, 40, 1},
      {39, 39, 30, 5},
      {40, 40, kUnchanged, kUnchanged},
      {41, 58, 60, 6},
      {59, 59, 40, 1},
      {60, 60, kUnchanged, kUnchanged},
      {61, 78, 80, 2},
      {79, 79, 60, 6},
      {80, 80, kUnchanged, kUnchanged},
      {81, 98, 100, 3},
      {99, 99, 80, 2},
      {100, 100, 100, 3},
      {101, 1000, 100, 3},
  };
  constexpr int kStartItem = 9;  // "9": selecting it leaves the count
  for (const Range& r : map) {
    for (int typed = r.from; typed <= r.to; ++typed) {
      if (typed == kMarker) continue;
      SCOPED_TRACE(typed);
      Settings s;
      s.setMondaisuu(kStartItem);
      s.setSpinEdit3(kMarker);
      ASSERT_EQ(s.mondaisuu(), kStartItem);
      s.setSpinEdit3(typed);
      EXPECT_EQ(s.SpinEdit3(), r.count == kUnchanged ? typed : r.count);
      EXPECT_EQ(s.mondaisuu(), r.item == kUnchanged ? kStartItem : r.item);
    }
  }
}

TEST(Settings, CountsTheProgramSetsStayAsTheyAre) {
  // Each item with its own count, and the presets' pairs (item 8, 15) and (item 9, 9): setting the count
  // while the item is selected changes neither.
  struct Pair {
    int item, count;
  };
  const std::vector<Pair> pairs = {{0, 20}, {1, 40}, {2, 80}, {3, 100}, {4, 12},  {5, 30}, {6, 60},
                                   {7, 10}, {8, 15}, {9, 9},  {10, 5},  {11, 18}, {12, 24}};
  for (const Pair& p : pairs) {
    SCOPED_TRACE(p.item);
    Settings s;
    s.setMondaisuu(p.item);
    s.setSpinEdit3(kMarker);
    s.setSpinEdit3(p.count);
    EXPECT_EQ(s.SpinEdit3(), p.count);
    EXPECT_EQ(s.mondaisuu(), p.item);
  }
  // As a preset does it: the item first, then the count.
  Settings s;
  s.setMondaisuu(8);
  s.setSpinEdit3(15);
  EXPECT_EQ(s.SpinEdit3(), 15);
  EXPECT_EQ(s.mondaisuu(), 8);
}

TEST(Settings, NoItemBeyondTheChoice) {
  Settings s;
  s.setMondaisuu(13);
  s.setMondaisuu(-1);
  EXPECT_EQ(s.mondaisuu(), 0);
  EXPECT_EQ(s.SpinEdit3(), 20);
}

TEST(Settings, AnyRowAndAnyNumber) {
  Settings s;
  EXPECT_TRUE(s.anyTimesRow());
  EXPECT_TRUE(s.anyDecomposeNumber());
  for (auto box : Settings::timesRowBoxes) s.*box = false;
  for (auto box : Settings::decomposeBoxes) s.*box = false;
  EXPECT_FALSE(s.anyTimesRow());
  EXPECT_FALSE(s.anyDecomposeNumber());
  s.CheckBox14 = true;  // row 9 only
  s.CheckBox17 = true;  // the number 2 only
  EXPECT_TRUE(s.anyTimesRow());
  EXPECT_TRUE(s.timesRow(9));
  EXPECT_TRUE(s.anyDecomposeNumber());
  EXPECT_TRUE(s.decomposeNumber(2));
  EXPECT_FALSE(s.decomposeNumber(10));
}

}  // namespace
}  // namespace kirune
