#pragma once

#include <QString>
#include <functional>

#include "printing/print_run.h"
#include "render/errors.h"
#include "render/presets.h"
#include "render/session.h"

namespace kirune {

class RecordedRun;

/// Who follows a run: told of every document, and asked before each sheet whether to stop (a stop is
/// thrown inside the run as PrintCancelled at the start of the next problem sheet).
class PrintProgress {
 public:
  virtual ~PrintProgress() = default;
  /// Document `number` (1-based) of the `expected` ones is about to be drawn.
  virtual void documentBegun(int number, int expected) = 0;
  /// Document `number` has been handed to the output; `sheetsDone` of the run's `sheets` problem
  /// sheets (as 作成枚数 counts them) are now complete, their answer sheets included. Between two
  /// documents is the only point where the user interface may get a turn; never mid-page.
  virtual void documentEnded(int number, int sheetsDone, int sheets) = 0;
  /// Asked before every problem sheet (never between a problem sheet and its answer sheet): true
  /// stops the run there.
  virtual bool cancelRequested() = 0;
  /// Called again and again while the printer's spooler works on document `number` (or follows the
  /// jobs after the last one); `sheetsDone` of `sheets` are handed over. The user interface may get a
  /// turn here, the engine being between two documents; true stops the run, the document in hand
  /// withdrawn.
  virtual bool waitingForPrinter(int /*number*/, int /*sheetsDone*/, int /*sheets*/) {
    return cancelRequested();
  }
  /// Once the first document has begun: whether the run saves files rather than printing, and the
  /// copies the printer makes of each sheet.
  virtual void outputDecided(bool /*savesFiles*/, int /*copies*/) {}
};

/// What one preset click did.
struct PrintReport {
  enum class Status {
    Delivered,       ///< every document was handed over and the output completed
    Cancelled,       ///< stopped by the user between two documents; those handed over are complete
    NothingPrinted,  ///< the preset handed over no document (its guard, CheckBox3 off, no sheets)
    Failed,          ///< an error stopped the run; see `fault`, `message`, `failedSheet`
    Refused,         ///< a run was already going; nothing was done
    Declined,        ///< shown first, and the user chose not to print it
  };
  enum class Fault {
    None,
    Undelivered,  ///< the output could not deliver; `message` already names the sheets that went out
    Printer,      ///< a printer fault, worded for the user
    Unexpected,   ///< anything else; `message` is a detail for the curious
  };

  /// Why a click printed nothing (NothingPrinted).
  using Idle = IdleCause;

  Status status = Status::NothingPrinted;
  Idle idle = Idle::None;
  int documentsExpected = 0;  ///< what the click planned to hand over
  int documentsEnded = 0;     ///< handed to the output complete
  int sheetsExpected = 0;     ///< problem sheets planned, as 作成枚数 counts them
  int sheetsEnded = 0;        ///< problem sheets handed over with their answer sheets
  /// Documents known to be printed (for a printer: the jobs its spooler completed), and the problem
  /// sheets among them with their answer sheets; a run to files counts every document handed over.
  int documentsPrinted = 0;
  int sheetsPrinted = 0;
  /// Documents the spooler took but did not say the end of in time: perhaps printed, perhaps not.
  int documentsUnknown = 0;
  Fault fault = Fault::None;
  QString message;
  int failedSheet = 0;  ///< the document in hand when the run failed (1-based); 0: before the first
  /// Set when the sheets became files instead of paper: what to tell the user, and the folder.
  QString savedNotice;
  QString savedFolder;
  /// The printer's queue the sheets went to (empty for files), and the copies it made of each.
  QString queue;
  int copies = 1;
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

  /// Shows a drawn run before it is printed; true prints it, false prints nothing.
  using PreviewConfirm = std::function<bool(const RecordedRun& run)>;

  /// Runs `preset` on a fresh output. `setWindowEnabled` is the window's part of the preset's run
  /// (may be empty). With `confirm`, the run is drawn into memory first and printed, exactly as drawn,
  /// only when `confirm` agrees. A call while a run is going is refused.
  PrintReport run(const Preset& preset, PrintProgress& progress,
                  const std::function<void(bool enabled)>& setWindowEnabled = {},
                  const PreviewConfirm& confirm = {});

 private:
  Session& session_;
  PrintRunFactory makeRun_;
  bool running_ = false;
};

}  // namespace kirune
