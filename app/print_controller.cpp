#include "app/print_controller.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "app/recorded_run.h"
#include "printing/print_output.h"

namespace kirune {

namespace {

// Passes every operation through to the output's canvas, counting documents for the report and
// giving `progress` its say at each document boundary.
class WatchedCanvas final : public ForwardingCanvas {
 public:
  WatchedCanvas(PageCanvas& inner, PrintProgress& progress, int expected, bool answers,
                const PrintRun& output)
      : ForwardingCanvas(inner),
        progress_(progress),
        expected_(expected),
        answers_(answers),
        output_(output) {}

  int begun() const { return static_cast<int>(kinds_.size()); }
  int ended() const { return ended_; }
  /// Problem sheets handed over complete, with their answer sheets when there are answers.
  int sheetsEnded() const { return sheetsEnded_; }
  int sheetsExpected() const { return answers_ ? expected_ / 2 : expected_; }
  /// The kind of each document begun, in print order.
  const std::vector<DocumentKind>& kinds() const { return kinds_; }

  void beginDoc(const DocumentInfo& info) override {
    // A problem sheet that went out is always followed by its answer sheet: a stop waits for the pair.
    if (info.kind == DocumentKind::Problems && progress_.cancelRequested()) throw PrintCancelled();
    // Counted before the output starts it, so a failure to start names this sheet.
    kinds_.push_back(info.kind);
    progress_.documentBegun(begun(), expected_);
    ForwardingCanvas::beginDoc(info);
    // The output chooses printer or files as its first document begins.
    if (begun() == 1) progress_.outputDecided(output_.savesFiles(), output_.copies());
  }
  void endDoc() override {
    ForwardingCanvas::endDoc();
    ++ended_;
    // A sheet is complete with its last document: the answers, when the run has them.
    if (!answers_ || kinds_[static_cast<std::size_t>(ended_ - 1)] == DocumentKind::Answers) ++sheetsEnded_;
    progress_.documentEnded(ended_, sheetsEnded_, sheetsExpected());
  }

 private:
  PrintProgress& progress_;
  int expected_;
  bool answers_;
  const PrintRun& output_;
  std::vector<DocumentKind> kinds_;
  int ended_ = 0;
  int sheetsEnded_ = 0;
};

}  // namespace

PrintController::PrintController(Session& session, PrintRunFactory makeRun)
    : session_(session), makeRun_(std::move(makeRun)) {}

PrintReport PrintController::run(const Preset& preset, PrintProgress& progress,
                                 const std::function<void(bool enabled)>& setWindowEnabled,
                                 const PreviewConfirm& confirm) {
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
  report.idle = idleCause(preset, s);
  report.documentsExpected = static_cast<int>(std::min<std::int64_t>(plannedDocuments(preset, s), INT_MAX));
  const bool answers = s.CheckBox15;
  // Problem and answer sheets come in pairs; a count too large to pair up is cut to whole pairs.
  if (answers) report.documentsExpected -= report.documentsExpected % 2;
  report.sheetsExpected = answers ? report.documentsExpected / 2 : report.documentsExpected;

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
    output->plan(report.documentsExpected, answers);
    canvas.emplace(output->canvas(), progress, report.documentsExpected, answers, *output);
    output->setWhileWaiting([&progress, &canvas] {
      return progress.waitingForPrinter(canvas->begun(), canvas->sheetsEnded(), canvas->sheetsExpected());
    });
    bool cancelled = false;
    bool declined = false;
    try {
      if (confirm) {
        // The run is drawn once into memory, shown, and the very same drawing printed.
        RecordedRun recorded(output->canvas().pageWidth(), output->canvas().pageHeight());
        runPreset(preset, session_, recorded, setWindowEnabled);
        declined = recorded.documents() > 0 && !confirm(recorded);
        if (recorded.documents() > 0 && !declined) {
          if (setWindowEnabled) setWindowEnabled(false);
          struct Enable {
            const std::function<void(bool)>& set;
            ~Enable() {
              if (set) set(true);
            }
          } enable{setWindowEnabled};
          recorded.replay(*canvas);
        }
      } else {
        runPreset(preset, session_, *canvas, setWindowEnabled);
      }
    } catch (const PrintCancelled&) {
      cancelled = true;
    }
    // An output that was handed nothing has nothing to complete: no empty file, no empty job.
    if (canvas->ended() > 0) output->finish();
    report.status = cancelled             ? PrintReport::Status::Cancelled
                    : declined            ? PrintReport::Status::Declined
                    : canvas->ended() > 0 ? PrintReport::Status::Delivered
                                          : PrintReport::Status::NothingPrinted;
    report.savedNotice = output->savedNotice();
    report.savedFolder = output->savedFolder();
    report.queue = output->queue();
    report.copies = output->copies();
  } catch (const PrintCancelled&) {
    // Stopped while the output followed the jobs after the last document.
    report.status = PrintReport::Status::Cancelled;
  } catch (const UndeliveredError& e) {
    fail(PrintReport::Fault::Undelivered, e.what());
  } catch (const PrinterError& e) {
    fail(PrintReport::Fault::Printer, e.what());
  } catch (const std::exception& e) {
    fail(PrintReport::Fault::Unexpected, e.what());
  }
  if (canvas) {
    report.documentsEnded = canvas->ended();
    report.sheetsEnded = canvas->sheetsEnded();
    if (report.status == PrintReport::Status::Failed) report.failedSheet = canvas->begun();
    QList<int> printed;
    if (const std::optional<QList<int>> known = output->printedDocuments()) {
      printed = *known;
    } else {
      for (int n = 1; n <= report.documentsEnded; ++n) printed << n;
    }
    report.documentsPrinted = static_cast<int>(printed.size());
    report.documentsUnknown = static_cast<int>(output->unknownDocuments().size());
    // A sheet is printed when its problem document is, and its answer document with it.
    const std::vector<DocumentKind>& kinds = canvas->kinds();
    const auto kindOf = [&kinds](int n) {
      return n >= 1 && n <= static_cast<int>(kinds.size())
                 ? std::optional(kinds[static_cast<std::size_t>(n - 1)])
                 : std::nullopt;
    };
    for (int n : printed) {
      if (kindOf(n) != DocumentKind::Problems) continue;
      if (!answers || (kindOf(n + 1) == DocumentKind::Answers && printed.contains(n + 1)))
        ++report.sheetsPrinted;
    }
  }
  return report;
}

}  // namespace kirune
