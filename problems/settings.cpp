#include "problems/settings.h"

#include <algorithm>

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

constexpr CountMapping mapCount(int value) {
  auto to = [](int count, int item) { return CountMapping{count, item}; };
  if (value == 11) return to(10, 7);
  if (value == 12) return to(12, 4);
  if (value == 13 || value == 14) return to(15, 8);
  if (value == 19) return to(12, 4);
  if (value == 20) return to(20, 0);
  if (value >= 21 && value <= 23) return to(24, 12);
  if (value >= 25 && value <= 28) return to(30, 5);
  if (value == 29) return to(20, 0);
  if (value >= 31 && value <= 38) return to(40, 1);
  if (value == 39) return to(30, 5);
  if (value >= 41 && value <= 58) return to(60, 6);
  if (value == 59) return to(40, 1);
  if (value >= 61 && value <= 78) return to(80, 2);
  if (value == 79) return to(60, 6);
  if (value >= 81 && value <= 98) return to(100, 3);
  if (value == 99) return to(80, 2);
  if (value >= 100) return to(100, 3);
  // 0..10, 15..18, 24, 30, 40, 60, 80, and negative values (which deal nothing) stay as they are.
  return to(value, -1);
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
