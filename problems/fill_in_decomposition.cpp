#include "problems/fill_in_decomposition.h"

namespace kirune {

void mondai16Click(const Settings&, ProblemPool& pool, Random& rng) {
  pool.poolCount = 0;
  for (int a = 1; a <= 9; ++a) {
    for (int b = 1; b <= 9; ++b) {
      ProblemRecord record{a, b, a * b, kTimes};
      if (rng.random(2) == 0) {
        record.first = kBox;
      } else {
        record.second = kBox;
      }
      pool.append(record);
    }
  }
}

void sakuranboClick(const Settings& settings, ProblemPool& pool) {
  pool.poolCount = 0;
  for (int n = 2; n <= 10; ++n) {
    if (!settings.decomposeNumber(n)) continue;
    for (int k = 1; k <= n - 1; ++k) {
      // Sign 13 is stored but never drawn by the decomposition sheet.
      pool.append({n, k, kCircle, kTimes});
      pool.append({n, kCircle, k, kTimes});
    }
  }
}

}  // namespace kirune
