#pragma once

#include "problems/problem_pool.h"
#include "problems/settings.h"

namespace kirune {

/// The times-table and division kinds. Each replaces the pool with every problem of its kind, in the
/// kind's fixed loop order. Multiplication records are (row, multiplier, product, 13); division records
/// are (dividend, divisor, quotient, 14), the remainder being left to the engine.

/// Kind 8 "2*2": for each ticked row d (`CheckBox5` + d), d × 0 .. d × 9.
void mondai09Click(const Settings& settings, ProblemPool& pool);
/// Kind 9 "2*2(n01)": for each ticked row d, d × 1 .. d × 9.
void mondai10Click(const Settings& settings, ProblemPool& pool);
/// Kind 10 "4/2": divisions without remainder, divisor <= quotient (45 records).
void mondai11Click(const Settings& settings, ProblemPool& pool);
/// Kind 11 "4/2(n01)": as kind 10 without divisor or quotient 1 (36 records).
void mondai12Click(const Settings& settings, ProblemPool& pool);
/// Kind 12 "5/2": divisions with remainder, 2 <= divisor <= quotient (120 records).
void mondai13Click(const Settings& settings, ProblemPool& pool);
/// Kind 13 "*/*": kinds 10 and 12 interleaved (165 records).
void mondai14Click(const Settings& settings, ProblemPool& pool);
/// Kind 14 "nan": the 100 divisions with remainder whose written subtraction borrows; `result` stays 0.
void mondai15Click(const Settings& settings, ProblemPool& pool);

}  // namespace kirune
