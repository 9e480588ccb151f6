// One sheet of each engine through Qt: into a one-page PDF file and into a PNG page, both in memory,
// A4 at 600 dpi like kirune-print.
#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPrinter>

#include "bench/engine_setups.h"
#include "printing/cups_queue.h"
#include "printing/document_sinks.h"
#include "printing/fonts.h"
#include "printing/print_output.h"
#include "printing/print_run.h"
#include "printing/qt_page_canvas.h"
#include "problems/random.h"
#include "render/image_set.h"
#include "render/presets.h"

namespace kirune::bench {
namespace {

void BM_SheetToPdf(benchmark::State& state) {
  const EngineSetup& e = kEngines[static_cast<std::size_t>(state.range(0))];
  const QSize page = a4PagePixels();
  Random rng(1);
  Session session(ImageSet::builtIn(), rng);
  prepare(session, e, 1, false);
  qint64 bytes = 0;
  for (auto _ : state) {
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    const std::unique_ptr<PrintRun> run = pdfRun(out, page);
    e.engine(session, run->canvas());
    run->finish();
    bytes = out.size();
  }
  state.SetLabel(std::string(e.label) + ", one-page PDF of " + std::to_string(bytes / 1024) + " KB");
}
BENCHMARK(BM_SheetToPdf)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

// One sheet with its answer sheet, as kirune-serve makes a download: the preset run and the whole PDF
// in memory.
void BM_SheetWithAnswersToPdf(benchmark::State& state) {
  const Preset& preset = *findPreset("BitBtn108");
  qint64 bytes = 0;
  std::uint64_t seed = 1;
  for (auto _ : state) {
    Random rng(seed++);
    Session session(ImageSet::builtIn(), rng);
    session.settings.CheckBox15 = true;
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    const std::unique_ptr<PrintRun> run = pdfRun(out, paperLayout(paperSize("A4")));
    run->plan(2, true);
    runPreset(preset, session, run->canvas());
    run->finish();
    bytes = out.size();
  }
  state.SetLabel("BitBtn108, one sheet with answers: two-page PDF of " + std::to_string(bytes / 1024) +
                 " KB");
}
BENCHMARK(BM_SheetWithAnswersToPdf)->Unit(benchmark::kMillisecond);

// The page drawn into its raster image only, and then also encoded as PNG: the difference is the
// encoder's.
void BM_SheetToPng(benchmark::State& state) {
  const EngineSetup& e = kEngines[static_cast<std::size_t>(state.range(0))];
  const bool encode = state.range(1) != 0;
  const QSize page = a4PagePixels();
  Random rng(1);
  Session session(ImageSet::builtIn(), rng);
  prepare(session, e, 1, false);
  qint64 bytes = 0;
  for (auto _ : state) {
    RasterSink sink(page, [&bytes, encode](const QImage& image, int) {
      if (!encode) return;
      QBuffer png;
      png.open(QIODevice::WriteOnly);
      image.save(&png, "PNG");
      bytes = png.size();
    });
    QtPageCanvas canvas(sink, page.width(), page.height());
    e.engine(session, canvas);
    canvas.finish();
  }
  state.SetLabel(std::string(e.label) + (encode ? ", PNG page of " + std::to_string(bytes / 1024) + " KB"
                                                : ", raster page, not encoded"));
}
BENCHMARK(BM_SheetToPng)->ArgsProduct({{0, 1, 2}, {0, 1}})->Unit(benchmark::kMillisecond);

// One document as the window prints it: from the engine's start to the spooler's confirmation that it
// holds the job (the PDF rendered in memory, submitted to CUPS, the job looked up). Needs a spooler
// with a default queue (bench/run starts one); without one the benchmark reports an error rather
// than writing files.
void BM_DocumentToSpooler(benchmark::State& state) {
  const QueueStatus queue = checkQueue("");
  if (queue.state != QueueState::Ready) {
    state.SkipWithError("no spooler with a ready default queue");
    return;
  }
  const EngineSetup& e = kEngines[0];
  QPrinter printer(QPrinter::HighResolution);
  preparePrinter(printer);
  Random rng(1);
  Session session(ImageSet::builtIn(), rng);
  prepare(session, e, 1, false);
  for (auto _ : state) {
    PrintOutput output(printer);
    output.plan(1, false);
    e.engine(session, output);
    // The document is handed over when the engine ends it; following the job until the printer has
    // printed it is the spooler's time, not ours.
    state.PauseTiming();
    const bool handedOver = output.route() == PrintOutput::Route::Spooler && output.delivered() == 1;
    output.finish();
    state.ResumeTiming();
    if (!handedOver) {
      state.SkipWithError("the document did not go to the spooler");
      break;
    }
  }
  state.SetLabel(std::string(e.label) + ", one document to the spooler (" + queue.queue + ")");
}
BENCHMARK(BM_DocumentToSpooler)->Iterations(10)->Unit(benchmark::kMillisecond);

// The spooler's share of the above: the same document, already rendered, handed over and confirmed.
void BM_PdfToSpooler(benchmark::State& state) {
  const QueueStatus queue = checkQueue("");
  if (queue.state != QueueState::Ready) {
    state.SkipWithError("no spooler with a ready default queue");
    return;
  }
  const EngineSetup& e = kEngines[0];
  const QSize page = a4PagePixels();
  Random rng(1);
  Session session(ImageSet::builtIn(), rng);
  prepare(session, e, 1, false);
  QBuffer out;
  out.open(QIODevice::WriteOnly);
  {
    const std::unique_ptr<PrintRun> run = pdfRun(out, page);
    e.engine(session, run->canvas());
    run->finish();
  }
  const std::string pdf = out.data().toStdString();
  for (auto _ : state) {
    if (submitPdf(queue.queue, pdf).state != QueueState::Ready) {
      state.SkipWithError("the spooler did not take the document");
      break;
    }
  }
  state.SetLabel(std::string(e.label) + ", the rendered document handed to the spooler (" + queue.queue +
                 ")");
}
BENCHMARK(BM_PdfToSpooler)->Iterations(10)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kirune::bench

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  kirune::installFontSubstitutions();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
