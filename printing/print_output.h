#pragma once

#include <QByteArray>
#include <QList>
#include <QPainter>
#include <QSize>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

#include "printing/document_sinks.h"
#include "printing/qt_page_canvas.h"

class QPrinter;

namespace kirune {

/// A document of a print run could not be delivered. The message is complete in itself: why, and
/// which sheets did and did not go out.
class UndeliveredError : public PrinterError {
 public:
  using PrinterError::PrinterError;
};

/// Where the documents of one print run go, and the proof that each got there. Every document is
/// rendered into a PDF in memory and then, decided at the run's first document:
///  - handed to the printer's CUPS queue as a job of its own, confirmed by the spooler;
///  - or, when the printer prints to a file (the print dialog's choice), written as numbered files
///    next to the chosen name: sheet.pdf -> sheet-001.pdf, sheet-002.pdf ... continuing after the
///    numbers already there;
///  - or, when there is no printer at all (no spooler, no queue, no default destination), written as
///    numbered files into a new folder under the user's documents folder.
/// Nothing is ever overwritten. A document that cannot be delivered throws PrinterError, naming the
/// sheets that went out and those that did not; the run stops there.
class PrintOutput final : public DocumentSink {
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
  /// known) and whether problem and answer documents alternate.
  void plan(int totalDocuments, bool answers);

  /// What the run prints ("くりあがり ２０"): each document's title is it with the sheet and the kind,
  /// "くりあがり ２０ 1/3 もんだい", in the PDF and as the job's name in the printer's queue.
  void setTitle(const QString& title) { title_ = title; }
  /// The title of document `number` (1-based).
  QString documentTitle(int number) const;

  /// Prints on the CUPS queue `name` (empty: the default destination) instead of the queue the
  /// printer object is bound to; Qt keeps its former printer when given a name it does not know.
  void setQueue(const QString& name) { queueOverride_ = name; }

  /// Printable area of the printer's page in device pixels, as every document of the run has it.
  QSize pageSize() const;

  /// Opens a fresh PDF with the printer's page layout at 600 dpi and begins `painter` on it.
  void beginDocument(QPainter& painter, int number) override;
  /// Ends `painter` and hands the finished document over.
  void endDocument(QPainter& painter, int number) override;
  void finish(QPainter& painter) override;
  void abandon(QPainter& painter) noexcept override;

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
  /// Why the run went to the folder rather than to a printer (empty for the other routes).
  QString fallbackReason() const { return fallbackReason_; }

  /// What to tell the user after a run that went to files instead of paper; empty otherwise.
  QString savedNotice() const;

  /// Folder where Kirune keeps the sheets of runs without a printer: <documents>/Kirune.
  static QString fallbackRoot();

 private:
  void decideRoute();
  [[noreturn]] void fail(const QString& reason) const;
  QString kindOf(int document) const;
  void writeFile(const QString& path, const QByteArray& pdf);

  const QPrinter& printer_;
  bool answers_ = false;
  QString title_;
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
  int delivered_ = 0;
  QByteArray pdf_;
  std::unique_ptr<PdfPrinterFile> writer_;
};

/// The message for a document that could not be delivered: why, which sheet (1-based, counted in
/// documents), and which sheets did and did not go out (to the printer, or `toFiles`).
QString undeliveredMessage(const QString& reason, int document, int totalDocuments, bool answers,
                           bool toFiles = false);

}  // namespace kirune
