#include "problems/problem_pool.h"

#include <array>
#include <utility>

#include "problems/addition_subtraction.h"
#include "problems/fill_in_decomposition.h"
#include "problems/multiplication_division.h"

namespace kirune {

namespace {

using Generator = void (*)(const Settings&, ProblemPool&, Random&);

/// Only the fill-in kind draws from the random generator; the other generators are adapted to one shape.
template <void (*generator)(const Settings&, ProblemPool&)>
void withoutRandom(const Settings& settings, ProblemPool& pool, Random&) {
  generator(settings, pool);
}

/// The generator of each item of the kind choice `shurui`.
constexpr std::array<Generator, 20> kGenerators = {
    withoutRandom<mondai01Click>,   // 0 "2+2"
    withoutRandom<mondai02Click>,   // 1 "2+2(10)"
    withoutRandom<mondai03Click>,   // 2 "9+9"
    withoutRandom<mondai04Click>,   // 3 "*+*"
    withoutRandom<mondai05Click>,   // 4 "9-2"
    withoutRandom<mondai06Click>,   // 5 "9-2(10)"
    withoutRandom<mondai07Click>,   // 6 "12-9"
    withoutRandom<mondai08Click>,   // 7 "*-*"
    withoutRandom<mondai09Click>,   // 8 "2*2"
    withoutRandom<mondai10Click>,   // 9 "2*2(n01)"
    withoutRandom<mondai11Click>,   // 10 "4/2"
    withoutRandom<mondai12Click>,   // 11 "4/2(n01)"
    withoutRandom<mondai13Click>,   // 12 "5/2"
    withoutRandom<mondai14Click>,   // 13 "*/*"
    withoutRandom<mondai15Click>,   // 14 "nan"
    withoutRandom<mondai00Click>,   // 15 "2+2n0(10)"
    withoutRandom<mondai000Click>,  // 16 "9-2n0(10)"
    mondai16Click,                  // 17 "ku"
    withoutRandom<sakuranboClick>,  // 18 "sakuranbo"
    withoutRandom<kongouClick>,     // 19 "+　-（混合）"
};

}  // namespace

void print01Click(Settings& settings, ProblemPool& pool, Random& rng) {
  if (settings.shurui >= 0 && settings.shurui < static_cast<int>(kGenerators.size())) {
    kGenerators[static_cast<std::size_t>(settings.shurui)](settings, pool, rng);
  } else {
    // The kind choice has no other items; should it ever hold one, the pool is empty rather than stale.
    pool.poolCount = 0;
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
