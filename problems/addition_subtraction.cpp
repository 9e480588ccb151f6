#include "problems/addition_subtraction.h"

namespace kirune {

namespace {

void add(ProblemPool& pool, int a, int b) { pool.append({a, b, a + b, kPlus}); }
void subtract(ProblemPool& pool, int a, int b) { pool.append({a, b, a - b, kMinus}); }

// The loops below are appended to an existing pool, so kinds that share them (5, 16; 3, 7, 19) share the
// very same order.

void allSingleDigitAdditions(ProblemPool& pool) {
  for (int a = 0; a <= 9; ++a)
    for (int b = 0; b <= 9; ++b) add(pool, a, b);
}

void allSingleDigitSubtrahendsAndDifferences(ProblemPool& pool) {
  for (int s = 0; s <= 9; ++s)
    for (int d = 0; d <= 9; ++d) subtract(pool, s + d, s);
}

void additionsUpTo10WithoutZero(ProblemPool& pool) {
  for (int a = 1; a <= 9; ++a)
    for (int b = 1; b <= 10 - a; ++b) add(pool, a, b);
}

void subtractionsWithin10WithZero(ProblemPool& pool) {
  for (int a = 0; a <= 9; ++a)
    for (int b = 0; b <= a; ++b) subtract(pool, a, b);
  for (int b = 0; b <= 9; ++b) subtract(pool, 10, b);
}

}  // namespace

void mondai01Click(const Settings& settings, ProblemPool& pool) {
  pool.poolCount = 0;
  if (settings.z1 == 0) {
    for (int a = 0; a <= 9; ++a)
      for (int b = 0; b <= 9 - a; ++b) add(pool, a, b);
  } else {
    for (int a = 1; a <= 8; ++a)
      for (int b = 1; b <= 9 - a; ++b) add(pool, a, b);
  }
}

void mondai02Click(const Settings& settings, ProblemPool& pool) {
  pool.poolCount = 0;
  if (settings.z2 == 0) {
    for (int a = 0; a <= 9; ++a)
      for (int b = 0; b <= (a == 0 ? 9 : 10 - a); ++b) add(pool, a, b);
  } else {
    additionsUpTo10WithoutZero(pool);
  }
}

void mondai03Click(const Settings&, ProblemPool& pool) {
  pool.poolCount = 0;
  for (int a = 2; a <= 9; ++a)
    for (int b = 11 - a; b <= 9; ++b) add(pool, a, b);
}

void mondai04Click(const Settings&, ProblemPool& pool) {
  pool.poolCount = 0;
  allSingleDigitAdditions(pool);
}

void mondai05Click(const Settings& settings, ProblemPool& pool) {
  pool.poolCount = 0;
  if (settings.z3 == 0) {
    for (int a = 0; a <= 9; ++a)
      for (int b = 0; b <= a; ++b) subtract(pool, a, b);
  } else {
    for (int a = 2; a <= 9; ++a)
      for (int b = 1; b <= a - 1; ++b) subtract(pool, a, b);
  }
}

void mondai06Click(const Settings& settings, ProblemPool& pool) {
  pool.poolCount = 0;
  if (settings.z4 == 0) {
    subtractionsWithin10WithZero(pool);
  } else {
    for (int a = 2; a <= 9; ++a)
      for (int b = 1; b <= a - 1; ++b) subtract(pool, a, b);
    for (int b = 1; b <= 9; ++b) subtract(pool, 10, b);
  }
}

void mondai07Click(const Settings&, ProblemPool& pool) {
  pool.poolCount = 0;
  // The outer loop runs over the subtrahend s, the inner over the difference d.
  for (int s = 2; s <= 9; ++s)
    for (int d = 11 - s; d <= 9; ++d) subtract(pool, s + d, s);
}

void mondai08Click(const Settings&, ProblemPool& pool) {
  pool.poolCount = 0;
  allSingleDigitSubtrahendsAndDifferences(pool);
}

void mondai00Click(const Settings&, ProblemPool& pool) {
  pool.poolCount = 0;
  additionsUpTo10WithoutZero(pool);
}

void mondai000Click(const Settings&, ProblemPool& pool) {
  pool.poolCount = 0;
  subtractionsWithin10WithZero(pool);
}

void kongouClick(const Settings&, ProblemPool& pool) {
  pool.poolCount = 0;
  allSingleDigitAdditions(pool);
  allSingleDigitSubtrahendsAndDifferences(pool);
}

}  // namespace kirune
