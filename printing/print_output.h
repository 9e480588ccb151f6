#pragma once

#include <QDateTime>
#include <QFile>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "printing/cups_queue.h"
#include "printing/document_sinks.h"
#include "render/pdf_writer.h"

class QPrinter;

namespace kirune {

/// A document of a print run could not be delivered. The message is complete in itself: why, and
/// which sheets did and did not go out.
class UndeliveredError : public PrinterError {
 public:
  using PrinterError::PrinterError;
};

/// The user stopped the run: at the start of a problem sheet (so no document is ever left half
/// drawn), or while the output was waiting for the spooler. What was handed over before stays; a
/// document in hand was withdrawn.
class PrintCancelled : public Error {
 public:
  PrintCancelled() : Error("print cancelled") {}
};

namespace detail {
/// The PDF of the document being drawn, in memory.
struct PdfInMemory {
  explicit PdfInMemory(const PdfPage& page) : writer(bytes, page) {}
  PdfString bytes;
  PdfWriter writer;
};
}  // namespace detail

/// Where the documents of one print run go, and the proof that each got there. It is the run's canvas:
/// every document is drawn into a PDF of its own in memory (PdfWriter) and then, decided at the run's
/// first document:
///  - handed to the printer's CUPS queue as a job of its own, confirmed by the spooler and followed to
///    its end: a sheet counts as printed only when the spooler completed its job;
///  - or, when the printer prints to a file (the print dialog's choice), written as numbered files
///    next to the chosen name: sheet.pdf -> sheet-001.pdf, sheet-002.pdf ... continuing after the
///    numbers already there;
///  - or, when there is no printer at all (no spooler, no queue, no default destination), written as
///    the pages of one PDF in print order, named by what was printed, the sheets, the date and the
///    time ("くりあがり２０_30枚_2026-12-10_1830.pdf"), in the user's documents folder under Kirune.
/// Nothing is ever overwritten. A document that cannot be delivered, or a job that ends other than
/// completed, throws UndeliveredError naming the sheets that were printed, those that were not and
/// those the spooler left unknown; the run stops there. Every spooler call has a time limit
/// (SpoolerLimits): a stalled spooler is reported as such, never taken for a missing printer.
class PrintOutput final : private detail::PdfInMemory, public ForwardingCanvas {
 public:
  enum class Route { Undecided, Spooler, Files, Folder };

  /// `printer` must outlive this object; its settings at the first document hold for the whole run.
  /// Documents are drawn at 600 dpi whatever resolution the printer reports, since the sheets' fixed
  /// pen widths and gaps are counted in 600 dpi pixels.
  explicit PrintOutput(const QPrinter& printer);
  ~PrintOutput() override;
  PrintOutput(const PrintOutput&) = delete;
  PrintOutput& operator=(const PrintOutput&) = delete;

  /// What the run will hand over, for the messages and the file names: `totalDocuments` (0 if not
  /// known) and whether each problem document is followed by its answer document.
  void plan(int totalDocuments, bool answers);

  /// The state of the queue as asked a moment ago (when the printer's paper was set from it): when
  /// Ready, the run goes to it without asking the spooler again before its first job.
  void setCheckedQueue(const QueueStatus& status) { checked_ = status; }

  /// Prints on the CUPS queue `name` (empty: the default destination) instead of the queue the
  /// printer object is bound to; Qt keeps its former printer when given a name it does not know.
  void setQueue(const QString& name) { queueOverride_ = name; }

  /// Called again and again on the calling thread while the spooler is at work (its calls then run on a
  /// thread of their own): the user interface gets its turn there; true stops the run.
  void setWhileWaiting(std::function<bool()> call) { whileWaiting_ = std::move(call); }

  /// Printable area of the printer's page in device pixels, as every document of the run has it.
  QSize pageSize() const;

  /// Decides where the run goes (at the first document) and opens a fresh PDF on the printer's paper,
  /// titled from `info` (in the PDF and as the job's name in the printer's queue).
  void beginDoc(const DocumentInfo& info) override;
  /// Finishes the document's PDF and hands it over.
  void endDoc() override;
  /// After the last document: follows the spooler's jobs to their end; throws UndeliveredError.
  void finish();
  /// Documents begun so far.
  int documentCount() const { return documentCount_; }

  Route route() const { return route_; }
  /// The queue the documents went to (Spooler route).
  QString queue() const { return queue_; }
  /// The folder the files went to (Files and Folder routes).
  QString folder() const { return folder_; }
  /// The files written so far, in print order.
  QStringList files() const { return files_; }
  /// Documents handed over so far.
  int delivered() const { return delivered_; }
  /// The spooler's job of each document handed to it, in print order (Spooler route).
  QList<int> jobIds() const { return jobIds_; }
  /// Documents known to be printed: the jobs the spooler completed (Spooler route), the files written.
  QList<int> printed() const;
  /// Documents the spooler took but did not say the end of in time (Spooler route).
  QList<int> unknown() const;
  /// Copies of each document the printer makes (Spooler route).
  int copyCount() const;
  /// Why the run went to the folder rather than to a printer (empty for the other routes).
  QString fallbackReason() const { return fallbackReason_; }

  /// What to tell the user after a run that went to files instead of paper; empty otherwise.
  QString savedNotice() const;

  /// Folder where Kirune keeps the sheets of runs without a printer: <documents>/Kirune.
  static QString fallbackRoot();
  /// The name of the one file of a run without a printer: `title` without its spaces, the sheets as
  /// 作成枚数 counts them, the date and the time: "くりあがり２０_30枚_2026-12-10_1830.pdf".
  static QString runFileName(const QString& title, int sheets, const QDateTime& when);
  /// The first file a print-to-file printer writing to `outputFile` will make for a run of
  /// `totalDocuments`, numbered after the files already there: "print-001.pdf".
  static QString firstFileName(const QString& outputFile, int totalDocuments);

 private:
  struct Job {
    int document = 0;
    int id = 0;
    JobEnd end = JobEnd::Going;
  };

  void decideRoute();
  /// Settles the jobs still going (following them when the spooler answers) and throws the message.
  [[noreturn]] void fail(const QString& reason, bool spoolerAnswers = true);
  [[noreturn]] void cancelled();
  /// The kind of document `number`: as begun, or for the next one, what follows the last begun.
  DocumentKind kindOf(int number) const;
  void followAfterCancel();
  /// Runs `work` (a spooler call) on a thread of its own while the caller's thread gets turns through
  /// whileWaiting_; without it, right here.
  template <typename Work>
  auto callSpooler(Work work) -> decltype(work());
  /// Follows the jobs still going until each has ended or `idleMs` passed without any of them ending;
  /// `looks` caps the rounds (0: no cap), `askMs` the wait for each answer (0: the usual limit).
  void follow(int idleMs, int looks, bool honourCancel, int askMs = 0);
  /// Throws for the first job of the run that ended other than completed.
  void checkJobEnds();
  void submit(int document);
  void writeFile(const QString& path, std::string_view pdf);
  /// Moves what the writer has made so far into the run's one file (Folder route).
  void appendToRunFile();

  const QPrinter& printer_;
  bool answers_ = false;
  QString title_;                    // what the run prints, from its first document
  std::vector<DocumentKind> kinds_;  // of each document begun, in print order
  DocumentInfo current_;             // the document in hand
  std::optional<QueueStatus> checked_;
  int total_ = 0;
  Route route_ = Route::Undecided;
  QString queue_;
  std::optional<QString> queueOverride_;
  QString folder_;
  QString fileStem_;  // Files route: the chosen name without its suffix
  int firstNumber_ = 1;
  QString fallbackReason_;
  QStringList files_;
  QList<int> jobIds_;
  std::vector<Job> jobs_;
  int delivered_ = 0;
  CancelFlag cancel_{false};
  bool followedAfterCancel_ = false;
  std::function<bool()> whileWaiting_;
  int documentCount_ = 0;
  bool inDocument_ = false;
  // Folder route: the run's one file, reserved when the route is decided; every page goes into it as it
  // ends, and the file is finished after the last.
  std::unique_ptr<QFile> runFile_;
  bool runFileDone_ = false;
};

}  // namespace kirune
