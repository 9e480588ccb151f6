#pragma once

#include "problems/problem_pool.h"
#include "problems/settings.h"

namespace kirune {

/// The addition and subtraction kinds. Each replaces the pool with every problem of its kind, in the
/// kind's fixed loop order; `sign` is 11 (plus) or 12 (minus).

/// Kind 0 "2+2": sums up to 9; `z1` item 1 leaves out zero (55 / 36 records).
void mondai01Click(const Settings& settings, ProblemPool& pool);
/// Kind 1 "2+2(10)": sums up to 10 of single digits; `z2` item 1 leaves out zero (64 / 45 records).
void mondai02Click(const Settings& settings, ProblemPool& pool);
/// Kind 2 "9+9": additions with carrying, sums 11..18 (36 records).
void mondai03Click(const Settings& settings, ProblemPool& pool);
/// Kind 3 "*+*": all single-digit additions (100 records).
void mondai04Click(const Settings& settings, ProblemPool& pool);
/// Kind 4 "9-2": subtraction within 9; `z3` item 1 leaves out zero (55 / 36 records).
void mondai05Click(const Settings& settings, ProblemPool& pool);
/// Kind 5 "9-2(10)": subtraction within 10; `z4` item 1 leaves out zero (65 / 45 records).
void mondai06Click(const Settings& settings, ProblemPool& pool);
/// Kind 6 "12-9": subtractions with borrowing, minuends 11..18 (36 records).
void mondai07Click(const Settings& settings, ProblemPool& pool);
/// Kind 7 "*-*": every subtraction with single-digit subtrahend and difference (100 records).
void mondai08Click(const Settings& settings, ProblemPool& pool);
/// Kind 15 "2+2n0(10)": kind 1 without zero, whatever `z2` says (45 records).
void mondai00Click(const Settings& settings, ProblemPool& pool);
/// Kind 16 "9-2n0(10)": kind 5 with zero, whatever `z4` says (65 records).
void mondai000Click(const Settings& settings, ProblemPool& pool);
/// Kind 19 "+　-（混合）": kind 3's records, then kind 7's (200 records).
void kongouClick(const Settings& settings, ProblemPool& pool);

}  // namespace kirune
