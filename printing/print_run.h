#pragma once

#include <QDateTime>
#include <QIODevice>
#include <QList>
#include <QPageLayout>
#include <QSize>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "printing/cups_queue.h"
#include "problems/expected.h"
#include "render/page_canvas.h"
#include "render/presets.h"

class QPrinter;

namespace kirune {

/// The output of one preset run: the canvas the engine draws on, and what completes the output once
/// the last document is done. Every front end makes its outputs with the factories below.
class PrintRun {
 public:
  virtual ~PrintRun() = default;
  virtual PageCanvas& canvas() = 0;
  /// After the last document: writes out what the output still holds; throws PrinterError.
  virtual void finish() = 0;
  /// Before the first document: how many documents the run will hand over, and whether each problem
  /// document is followed by its answer document; outputs that name sheets in their messages use it.
  /// (What each document is and the run's title come with the document: DocumentInfo.)
  virtual void plan(int /*documents*/, bool /*answers*/) {}
  /// After the run: what to tell the user when the sheets went to files instead of paper (and the
  /// folder they are in); empty otherwise.
  virtual QString savedNotice() const { return {}; }
  virtual QString savedFolder() const { return {}; }
  /// After finish(): true when no document was made, so the output holds nothing (a PDF file is then
  /// not written at all). A trace is never empty in this sense: a run without documents is recorded too.
  virtual bool madeNothing() const { return false; }
  /// Called again and again while the output waits for a printer's spooler (which then works on a
  /// thread of its own), so a user interface stays usable; true stops the run.
  virtual void setWhileWaiting(const std::function<bool()>& /*call*/) {}
  /// After the run, or its failure: the documents (1-based) known to be printed; empty when every
  /// document handed over counts (files).
  virtual std::optional<QList<int>> printedDocuments() const { return std::nullopt; }
  /// The documents the spooler took but did not say the end of in time.
  virtual QList<int> unknownDocuments() const { return {}; }
  /// Once the first document has begun: whether the documents become files rather than paper, the
  /// copies the printer makes of each, and the printer's queue (empty for files).
  virtual bool savesFiles() const { return true; }
  virtual int copies() const { return 1; }
  virtual QString queue() const { return {}; }
};

/// Makes the output of the next preset run.
using PrintRunFactory = std::function<std::unique_ptr<PrintRun>()>;

/// Each document a print job of its own on `printer`, at the printer's printable area, confirmed by the
/// spooler; without any printer, or with the printer set to print to a file, numbered PDF files.
std::unique_ptr<PrintRun> printerRun(QPrinter& printer);

/// As printerRun, on a printer of its own set up for the sheets (600 dpi, the queue's paper, else A4
/// portrait) and bound to the CUPS queue `queue`, or to the default destination when `queue` is empty.
/// The spooler is asked about the queue once, here; its answer goes to `checked` when given, and a
/// queue found ready is not asked about again before the first job.
std::unique_ptr<PrintRun> queueRun(const QString& queue, QueueStatus* checked = nullptr);

/// All documents as the pages of one PDF of `page` pixels, written to `out` as they are made;
/// `fixedCreationDate` replaces the clock in the PDF, for byte-identical output of identical runs.
std::unique_ptr<PrintRun> pdfRun(QIODevice& out, QSize page, std::optional<QDateTime> fixedCreationDate = {});
/// As above on the paper of `layout`, drawn in its printable area.
std::unique_ptr<PrintRun> pdfRun(QIODevice& out, const QPageLayout& layout,
                                 std::optional<QDateTime> fixedCreationDate = {});
/// As above on an A4 page.
std::unique_ptr<PrintRun> pdfRun(QIODevice& out);

/// As pdfRun, into the file `path`, which is replaced only when the run finishes with at least one
/// document; a run that fails or makes nothing leaves any former file as it was (see OutputFile: a
/// device such as /dev/null is written to, any other target that is not a file refused). Throws
/// PrinterError when the file cannot be opened.
std::unique_ptr<PrintRun> pdfFileRun(const QString& path, QSize page,
                                     std::optional<QDateTime> fixedCreationDate = {});
/// As above on the paper of `layout`, drawn in its printable area.
std::unique_ptr<PrintRun> pdfFileRun(const QString& path, const QPageLayout& layout,
                                     std::optional<QDateTime> fixedCreationDate = {});
/// As above, the file named by its bytes exactly as the system has them (a command line's argument).
std::unique_ptr<PrintRun> pdfFileRun(const std::string& path, QSize page,
                                     std::optional<QDateTime> fixedCreationDate = {});
std::unique_ptr<PrintRun> pdfFileRun(const std::string& path, const QPageLayout& layout,
                                     std::optional<QDateTime> fixedCreationDate = {});

/// The creation date of a reproducible PDF: SOURCE_DATE_EPOCH when set, as reproducible builds do,
/// otherwise the epoch itself.
QDateTime reproducibleCreationDate();

/// Each document as a white PNG of `page` pixels in `directory` (made when the first page comes),
/// named page-000001.png and on, each written under a temporary name and then renamed. Check the folder
/// with checkPngFolder first: pages of an earlier run would be mixed with these.
std::unique_ptr<PrintRun> pngRun(const QString& directory, QSize page);
std::unique_ptr<PrintRun> pngRun(const std::string& directory, QSize page);

/// Whether `directory` can take the pages of a run: it is new or holds no pages; refused, in plain
/// Japanese, when it cannot be read or already holds page files.
expected<void, std::string> checkPngFolder(const std::string& directory);

/// The trace of the run (see TraceCanvas) on `out`; finish() throws PrinterError when `out` failed,
/// naming it as `outName` ("標準出力").
std::unique_ptr<PrintRun> traceRun(std::ostream& out, QSize page, const std::string& outName);

/// The trace of the run into the file `path`, streamed as it is made into a temporary file that takes
/// the file's place when the run finishes.
std::unique_ptr<PrintRun> traceFileRun(const QString& path, QSize page);
std::unique_ptr<PrintRun> traceFileRun(const std::string& path, QSize page);

}  // namespace kirune
