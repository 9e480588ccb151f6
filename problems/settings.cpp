#include "problems/settings.h"

#include <algorithm>
#include <limits>

namespace kirune {

namespace {

/// What `mondaisuuClick` writes into `SpinEdit3` for each item; 0 leaves it as it is (items 8, 9 and 12:
/// the presets that choose 15 or 9 set the count themselves).
constexpr std::array<int, 13> kMondaisuuClickCounts = {20, 40, 80, 100, 12, 30, 60, 10, 0, 0, 5, 18, 0};

/// One step of `SpinEdit3Change`: the count to write (or keep) and the `mondaisuu` item to select
/// (-1: leave `mondaisuu` alone).
struct CountMapping {
  int count;
  int item;
};

/// Typed counts from `first` to `last` become `count` with item `item` selected.
struct CountRange {
  int first;
  int last;
  int count;
  int item;
};

/// Ranges of `SpinEdit3Change`, in increasing order; counts outside every range (0..10, 15..18, 24, 30,
/// 40, 60, 80, and negative values, which deal nothing) stay as they are.
constexpr std::array<CountRange, 17> kCountRanges = {{
    {11, 11, 10, 7},
    {12, 12, 12, 4},
    {13, 14, 15, 8},
    {19, 19, 12, 4},
    {20, 20, 20, 0},
    {21, 23, 24, 12},
    {25, 28, 30, 5},
    {29, 29, 20, 0},
    {31, 38, 40, 1},
    {39, 39, 30, 5},
    {41, 58, 60, 6},
    {59, 59, 40, 1},
    {61, 78, 80, 2},
    {79, 79, 60, 6},
    {81, 98, 100, 3},
    {99, 99, 80, 2},
    {100, std::numeric_limits<int>::max(), 100, 3},
}};

// The first range that holds a value wins, so an overlap would hide a row silently.
constexpr bool rangesAscendApart() {
  for (std::size_t i = 0; i < kCountRanges.size(); ++i) {
    if (kCountRanges[i].first > kCountRanges[i].last) return false;
    if (i > 0 && kCountRanges[i].first <= kCountRanges[i - 1].last) return false;
  }
  return true;
}
static_assert(rangesAscendApart(), "count ranges must ascend without overlapping");

constexpr CountMapping mapCount(int value) {
  for (const CountRange& range : kCountRanges) {
    if (value >= range.first && value <= range.last) return {range.count, range.item};
  }
  return {value, -1};
}

// SpinEdit3Change and mondaisuuClick call each other through the setters. The recursion ends after one
// round because every count either handler writes is a fixed point of the other: proven here once for
// all values, so no runtime guard is needed.
constexpr bool mappingSettles() {
  for (int v = -5; v <= 1000; ++v) {
    const CountMapping m = mapCount(v);
    const CountMapping again = mapCount(m.count);
    if (again.count != m.count) return false;
    if (again.item != -1 && again.item != m.item) return false;
    if (m.item >= 0) {
      const int clickCount = kMondaisuuClickCounts[static_cast<std::size_t>(m.item)];
      if (clickCount != 0 && clickCount != m.count) return false;
    }
  }
  for (std::size_t item = 0; item < kMondaisuuClickCounts.size(); ++item) {
    const int count = kMondaisuuClickCounts[item];
    if (count == 0) continue;
    const CountMapping m = mapCount(count);
    if (m.count != count) return false;
    if (m.item != -1 && m.item != static_cast<int>(item)) return false;
  }
  return true;
}
static_assert(mappingSettles(), "SpinEdit3Change and mondaisuuClick must agree on every count they write");

}  // namespace

void Settings::setMondaisuu(int item) {
  if (item < 0 || item >= static_cast<int>(kMondaisuuClickCounts.size())) return;  // not an item
  if (item == mondaisuu_) return;
  mondaisuu_ = item;
  mondaisuuClick();
}

void Settings::setSpinEdit3(int value) {
  if (value == spinEdit3_) return;
  spinEdit3_ = value;
  SpinEdit3Change();
}

void Settings::mondaisuuClick() {
  const int count = kMondaisuuClickCounts[static_cast<std::size_t>(mondaisuu_)];
  if (count != 0) setSpinEdit3(count);
}

void Settings::SpinEdit3Change() {
  const CountMapping m = mapCount(spinEdit3_);
  setSpinEdit3(m.count);
  if (m.item >= 0) setMondaisuu(m.item);
}

bool Settings::anyTimesRow() const {
  return std::any_of(timesRowBoxes.begin(), timesRowBoxes.end(), [this](auto box) { return this->*box; });
}

bool Settings::anyDecomposeNumber() const {
  return std::any_of(decomposeBoxes.begin(), decomposeBoxes.end(), [this](auto box) { return this->*box; });
}

}  // namespace kirune
