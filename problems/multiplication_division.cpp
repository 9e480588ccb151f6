#include "problems/multiplication_division.h"

#include <array>

namespace kirune {

namespace {

void timesTable(const Settings& settings, ProblemPool& pool, int firstMultiplier) {
  pool.poolCount = 0;
  for (int d = 0; d <= 9; ++d) {
    if (!settings.timesRow(d)) continue;
    for (int m = firstMultiplier; m <= 9; ++m) pool.append({d, m, d * m, kTimes});
  }
}

/// The hard divisions, as (dividend, divisor): one-digit quotient, a remainder, and a ones digit of the
/// dividend smaller than that of divisor × quotient, so the written subtraction borrows. No division by
/// 1, 2 or 5 borrows.
struct Division {
  int dividend;
  int divisor;
};

constexpr std::array<Division, 100> kHardDivisions = {{
    // ÷ 3
    {10, 3},
    {11, 3},
    {20, 3},
    // ÷ 4
    {10, 4},
    {11, 4},
    {30, 4},
    {31, 4},
    // ÷ 6
    {10, 6},
    {11, 6},
    {20, 6},
    {21, 6},
    {22, 6},
    {23, 6},
    {40, 6},
    {41, 6},
    {50, 6},
    {51, 6},
    {52, 6},
    {53, 6},
    // ÷ 7
    {10, 7},
    {11, 7},
    {12, 7},
    {13, 7},
    {20, 7},
    {30, 7},
    {31, 7},
    {32, 7},
    {33, 7},
    {34, 7},
    {40, 7},
    {41, 7},
    {50, 7},
    {51, 7},
    {52, 7},
    {53, 7},
    {54, 7},
    {55, 7},
    {60, 7},
    {61, 7},
    {62, 7},
    // ÷ 8
    {10, 8},
    {11, 8},
    {12, 8},
    {13, 8},
    {14, 8},
    {15, 8},
    {20, 8},
    {21, 8},
    {22, 8},
    {23, 8},
    {30, 8},
    {31, 8},
    {50, 8},
    {51, 8},
    {52, 8},
    {53, 8},
    {54, 8},
    {55, 8},
    {60, 8},
    {61, 8},
    {62, 8},
    {63, 8},
    {70, 8},
    {71, 8},
    // ÷ 9
    {10, 9},
    {11, 9},
    {12, 9},
    {13, 9},
    {14, 9},
    {15, 9},
    {16, 9},
    {17, 9},
    {20, 9},
    {21, 9},
    {22, 9},
    {23, 9},
    {24, 9},
    {25, 9},
    {26, 9},
    {30, 9},
    {31, 9},
    {32, 9},
    {33, 9},
    {34, 9},
    {35, 9},
    {40, 9},
    {41, 9},
    {42, 9},
    {43, 9},
    {44, 9},
    {50, 9},
    {51, 9},
    {52, 9},
    {53, 9},
    {60, 9},
    {61, 9},
    {62, 9},
    {70, 9},
    {71, 9},
    {80, 9},
}};

}  // namespace

void mondai09Click(const Settings& settings, ProblemPool& pool) { timesTable(settings, pool, 0); }

void mondai10Click(const Settings& settings, ProblemPool& pool) { timesTable(settings, pool, 1); }

// In the division kinds the quotient q is the outer loop and the divisor d never exceeds it, so each pair
// of factors appears once, with the smaller one as the divisor.

void mondai11Click(const Settings&, ProblemPool& pool) {
  pool.poolCount = 0;
  for (int q = 1; q <= 9; ++q)
    for (int d = 1; d <= q; ++d) pool.append({q * d, d, q, kDivided});
}

void mondai12Click(const Settings&, ProblemPool& pool) {
  pool.poolCount = 0;
  for (int q = 2; q <= 9; ++q)
    for (int d = 2; d <= q; ++d) pool.append({q * d, d, q, kDivided});
}

void mondai13Click(const Settings&, ProblemPool& pool) {
  pool.poolCount = 0;
  for (int q = 2; q <= 9; ++q)
    for (int d = 2; d <= q; ++d)
      for (int r = 1; r <= d - 1; ++r) pool.append({q * d + r, d, q, kDivided});
}

void mondai14Click(const Settings&, ProblemPool& pool) {
  pool.poolCount = 0;
  for (int q = 1; q <= 9; ++q)
    for (int d = 1; d <= q; ++d)
      for (int r = 0; r <= d - 1; ++r) pool.append({q * d + r, d, q, kDivided});
}

void mondai15Click(const Settings&, ProblemPool& pool) {
  pool.poolCount = 0;
  // The engine works out quotient and remainder itself; `result` is written as 0 so that no value of an
  // earlier generation is left in the record.
  for (const Division& division : kHardDivisions)
    pool.append({division.dividend, division.divisor, 0, kDivided});
}

}  // namespace kirune
