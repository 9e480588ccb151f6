#include "app/print_controller.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <utility>

#include "printing/print_output.h"

namespace kirune {

namespace {

// Passes every operation through to the output's canvas, counting documents for the report and
// giving `progress` its say at each document boundary.
class WatchedCanvas final : public ForwardingCanvas {
 public:
  WatchedCanvas(PageCanvas& inner, PrintProgress& progress, int expected)
      : ForwardingCanvas(inner), progress_(progress), expected_(expected) {}

  int begun() const { return begun_; }
  int ended() const { return ended_; }

  void beginDoc() override {
    if (progress_.cancelRequested()) throw PrintCancelled();
    // Counted before the output starts it, so a failure to start names this sheet.
    ++begun_;
    progress_.documentBegun(begun_, expected_);
    ForwardingCanvas::beginDoc();
  }
  void endDoc() override {
    ForwardingCanvas::endDoc();
    ++ended_;
    progress_.documentEnded(ended_, expected_);
  }

 private:
  PrintProgress& progress_;
  int expected_;
  int begun_ = 0;
  int ended_ = 0;
};

}  // namespace

PrintController::PrintController(Session& session, PrintRunFactory makeRun)
    : session_(session), makeRun_(std::move(makeRun)) {}

PrintReport PrintController::run(const Preset& preset, PrintProgress& progress,
                                 const std::function<void(bool enabled)>& setWindowEnabled) {
  PrintReport report;
  // The user interface gets turns between documents; a second click must not start a run inside the first.
  if (running_) {
    report.status = PrintReport::Status::Refused;
    return report;
  }
  running_ = true;
  struct Done {
    bool& running;
    ~Done() { running = false; }
  } done{running_};

  const Settings& s = session_.settings;
  report.documentsExpected = static_cast<int>(std::min<std::int64_t>(plannedDocuments(preset, s), INT_MAX));

  auto fail = [&report](PrintReport::Fault fault, const char* what) {
    report.status = PrintReport::Status::Failed;
    report.fault = fault;
    report.message = QString::fromStdString(what);
  };
  // Declared in this order so that the watching canvas goes before the output it draws on.
  std::unique_ptr<PrintRun> output;
  std::optional<WatchedCanvas> canvas;
  try {
    output = makeRun_();
    output->plan(report.documentsExpected, s.CheckBox15);
    output->setTitle(runTitle(preset));
    canvas.emplace(output->canvas(), progress, report.documentsExpected);
    bool cancelled = false;
    try {
      runPreset(preset, session_, *canvas, setWindowEnabled);
    } catch (const PrintCancelled&) {
      cancelled = true;
    }
    // An output that was handed nothing has nothing to complete: no empty file, no empty job.
    if (canvas->ended() > 0) output->finish();
    report.status = cancelled             ? PrintReport::Status::Cancelled
                    : canvas->ended() > 0 ? PrintReport::Status::Delivered
                                          : PrintReport::Status::NothingPrinted;
    report.savedNotice = output->savedNotice();
    report.savedFolder = output->savedFolder();
  } catch (const UndeliveredError& e) {
    fail(PrintReport::Fault::Undelivered, e.what());
  } catch (const PrinterError& e) {
    fail(PrintReport::Fault::Printer, e.what());
  } catch (const std::exception& e) {
    fail(PrintReport::Fault::Unexpected, e.what());
  }
  if (canvas) {
    report.documentsEnded = canvas->ended();
    if (report.status == PrintReport::Status::Failed) report.failedSheet = canvas->begun();
  }
  return report;
}

}  // namespace kirune
