// Problem generation per kind: building the pool, shuffling it and dealing one sheet of 100 from it.
#include <benchmark/benchmark.h>

#include <array>
#include <string>

#include "problems/problem_pool.h"
#include "problems/random.h"
#include "problems/settings.h"

namespace kirune {
namespace {

// The items of `shurui`, for the labels.
constexpr std::array<const char*, 20> kKindNames = {
    "2+2", "2+2(10)",  "9+9", "*+*", "9-2", "9-2(10)",   "12-9",      "*-*", "2*2",       "2*2(n01)",
    "4/2", "4/2(n01)", "5/2", "*/*", "nan", "2+2n0(10)", "9-2n0(10)", "ku",  "sakuranbo", "+-mixed"};

Settings settingsOfKind(int kind) {
  Settings settings;
  settings.shurui = kind;
  return settings;
}

void label(benchmark::State& state, int kind, const ProblemPool& pool) {
  state.SetLabel(std::string(kKindNames[static_cast<std::size_t>(kind)]) + " pool " +
                 std::to_string(pool.poolCount));
}

void BM_Generate(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  Settings settings = settingsOfKind(kind);
  Random rng(1);
  ProblemPool pool;
  for (auto _ : state) {
    print01Click(settings, pool, rng);
    benchmark::DoNotOptimize(pool.poolCount);
    benchmark::ClobberMemory();
  }
  label(state, kind, pool);
}
BENCHMARK(BM_Generate)->DenseRange(0, 19);

void BM_Shuffle(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  Settings settings = settingsOfKind(kind);
  Random rng(1);
  ProblemPool pool;
  print01Click(settings, pool, rng);
  for (auto _ : state) {
    swapClick(pool, rng);
    benchmark::ClobberMemory();
  }
  label(state, kind, pool);
}
BENCHMARK(BM_Shuffle)->DenseRange(0, 19);

// One sheet's problems as the engines get them: fresh pool, shuffle, 100 records dealt (a pool smaller
// than 100 is reshuffled and dealt again).
void BM_StartSheetAndDeal100(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  Settings settings = settingsOfKind(kind);
  Random rng(1);
  ProblemPool pool;
  for (auto _ : state) {
    startSheet(settings, pool, rng);
    for (int slot = 1; slot <= 100; ++slot) benchmark::DoNotOptimize(dealNext(pool, rng, slot));
    benchmark::ClobberMemory();
  }
  label(state, kind, pool);
}
BENCHMARK(BM_StartSheetAndDeal100)->DenseRange(0, 19);

}  // namespace
}  // namespace kirune
