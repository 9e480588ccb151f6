#pragma once

#include <QString>
#include <functional>

#include "printing/print_run.h"
#include "render/errors.h"
#include "render/presets.h"
#include "render/session.h"

namespace kirune {

/// Thrown inside a run at the start of the next document once the user has asked to stop, so no
/// document is ever left half sent; the controller catches it and reports the run as cancelled.
class PrintCancelled : public Error {
 public:
  PrintCancelled() : Error("print cancelled") {}
};

/// Who follows a run: told of every document, and asked before each one whether to stop.
class PrintProgress {
 public:
  virtual ~PrintProgress() = default;
  /// Document `number` (1-based) of the `expected` ones is about to be drawn.
  virtual void documentBegun(int number, int expected) = 0;
  /// Document `number` of `expected` has been handed to the output. Between two documents is the only
  /// point where the user interface may get a turn; never mid-page.
  virtual void documentEnded(int number, int expected) = 0;
  /// Asked before every document: true stops the run there.
  virtual bool cancelRequested() = 0;
};

/// What one preset click did.
struct PrintReport {
  enum class Status {
    Delivered,       ///< every document was handed over and the output completed
    Cancelled,       ///< stopped by the user between two documents; those handed over are complete
    NothingPrinted,  ///< the preset handed over no document (its guard, CheckBox3 off, no sheets)
    Failed,          ///< an error stopped the run; see `fault`, `message`, `failedSheet`
    Refused,         ///< a run was already going; nothing was done
  };
  enum class Fault {
    None,
    Undelivered,  ///< the output could not deliver; `message` already names the sheets that went out
    Printer,      ///< a printer fault, worded for the user
    Unexpected,   ///< anything else; `message` is a detail for the curious
  };

  Status status = Status::NothingPrinted;
  int documentsExpected = 0;  ///< what the click planned to hand over
  int documentsEnded = 0;     ///< handed to the output complete
  Fault fault = Fault::None;
  QString message;
  int failedSheet = 0;  ///< the document in hand when the run failed (1-based); 0: before the first
  /// Set when the sheets became files instead of paper: what to tell the user, and the folder.
  QString savedNotice;
  QString savedFolder;
};

/// One preset click from start to end, without any widget: the planned documents, a fresh output,
/// the preset's run on it, cancel between documents, completing the output only when a document was
/// handed over, and every error turned into a report.
class PrintController {
 public:
  /// `session` and the outputs `makeRun` makes are used for every run.
  PrintController(Session& session, PrintRunFactory makeRun);

  /// True while a run is going (the user interface gets turns between documents).
  bool running() const { return running_; }

  /// Runs `preset` on a fresh output. `setWindowEnabled` is the window's part of the preset's run
  /// (may be empty). A call while a run is going is refused.
  PrintReport run(const Preset& preset, PrintProgress& progress,
                  const std::function<void(bool enabled)>& setWindowEnabled = {});

 private:
  Session& session_;
  PrintRunFactory makeRun_;
  bool running_ = false;
};

}  // namespace kirune
