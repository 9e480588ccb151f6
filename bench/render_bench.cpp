// The engines alone: one sheet of each into a TraceCanvas writing to a stream that drops everything,
// so the figure is the engine's own work (layout, dealing, glyph choice) plus the formatting of the trace.
#include <benchmark/benchmark.h>

#include <ostream>
#include <streambuf>

#include "bench/engine_setups.h"
#include "problems/random.h"
#include "render/image_set.h"
#include "render/trace_canvas.h"

namespace kirune::bench {
namespace {

class NullBuffer : public std::streambuf {
 protected:
  int_type overflow(int_type c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

void BM_EngineSheetToTrace(benchmark::State& state) {
  const EngineSetup& e = kEngines[static_cast<std::size_t>(state.range(0))];
  const bool answers = state.range(1) != 0;
  const ImageSet& images = ImageSet::builtIn();
  Random rng(1);
  Session session(images, rng);
  prepare(session, e, 1, answers);
  NullBuffer nothing;
  std::ostream out(&nothing);
  for (auto _ : state) {
    TraceCanvas canvas(out, kPageWidth, kPageHeight);
    e.engine(session, canvas);
  }
  state.SetLabel(std::string(e.label) + (answers ? ", sheet + answers" : ", sheet"));
}
BENCHMARK(BM_EngineSheetToTrace)->ArgsProduct({{0, 1, 2}, {0, 1}})->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kirune::bench
