#include "problems/problem_pool.h"

#include <utility>

#include "problems/addition_subtraction.h"
#include "problems/fill_in_decomposition.h"
#include "problems/multiplication_division.h"

namespace kirune {

void print01Click(Settings& settings, ProblemPool& pool, Random& rng) {
  switch (settings.shurui) {
    case 0:
      mondai01Click(settings, pool);
      break;
    case 1:
      mondai02Click(settings, pool);
      break;
    case 2:
      mondai03Click(settings, pool);
      break;
    case 3:
      mondai04Click(settings, pool);
      break;
    case 4:
      mondai05Click(settings, pool);
      break;
    case 5:
      mondai06Click(settings, pool);
      break;
    case 6:
      mondai07Click(settings, pool);
      break;
    case 7:
      mondai08Click(settings, pool);
      break;
    case 8:
      mondai09Click(settings, pool);
      break;
    case 9:
      mondai10Click(settings, pool);
      break;
    case 10:
      mondai11Click(settings, pool);
      break;
    case 11:
      mondai12Click(settings, pool);
      break;
    case 12:
      mondai13Click(settings, pool);
      break;
    case 13:
      mondai14Click(settings, pool);
      break;
    case 14:
      mondai15Click(settings, pool);
      break;
    case 15:
      mondai00Click(settings, pool);
      break;
    case 16:
      mondai000Click(settings, pool);
      break;
    case 17:
      mondai16Click(settings, pool, rng);
      break;
    case 18:
      sakuranboClick(settings, pool);
      break;
    case 19:
      kongouClick(settings, pool);
      break;
    // The kind choice has no other items; should it ever hold one, the pool is empty rather than stale.
    default:
      pool.poolCount = 0;
      break;
  }
  settings.SpinEdit2 = pool.poolCount;
}

void swapClick(ProblemPool& pool, Random& rng) {
  rng.reseed();  // also for a pool too small to shuffle
  const int n = pool.poolCount;
  if (n <= 1) return;
  // The partner comes from 1 .. n - 1, never n: record n moves only on its own turn.
  for (int i = 1; i <= n; ++i) {
    const int j = 1 + rng.random(n - 1);
    std::swap(pool.problemPool[static_cast<std::size_t>(i)], pool.problemPool[static_cast<std::size_t>(j)]);
  }
}

void startSheet(Settings& settings, ProblemPool& pool, Random& rng) {
  print01Click(settings, pool, rng);
  swapClick(pool, rng);
  pool.poolCursor = 0;
  pool.dealtCount = 0;
}

const ProblemRecord* dealNext(ProblemPool& pool, Random& rng, int slot) {
  // An empty pool deals nothing: record 1 would hold whatever an earlier generation left there.
  if (pool.poolCount <= 0) return nullptr;
  if (slot < 1 || slot > kPoolCapacity) return nullptr;
  ++pool.poolCursor;
  if (pool.poolCursor > pool.poolCount) {
    // Past the end: reshuffle and deal the pool again from the top.
    pool.poolCursor = 1;
    swapClick(pool, rng);
  }
  ProblemRecord& target = pool.sheetProblems[static_cast<std::size_t>(slot)];
  target = pool.problemPool[static_cast<std::size_t>(pool.poolCursor)];
  pool.dealtCount = slot;
  return &target;
}

}  // namespace kirune
