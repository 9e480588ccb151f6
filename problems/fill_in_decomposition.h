#pragma once

#include "problems/problem_pool.h"
#include "problems/random.h"
#include "problems/settings.h"

namespace kirune {

/// Kind 17 "ku": the 81 facts a × b (a, b = 1..9), each with one factor replaced by the box: `first`
/// when random(2) draws 0, `second` when it draws 1. Draws from `rng` without reseeding it.
void mondai16Click(const Settings& settings, ProblemPool& pool, Random& rng);

/// Kind 18 "sakuranbo": for each ticked N (2..10, `CheckBox17` + N - 2) and k = 1..N-1, the records
/// (N, k, circle) and (N, circle, k).
void sakuranboClick(const Settings& settings, ProblemPool& pool);

}  // namespace kirune
