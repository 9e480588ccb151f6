#pragma once

#include <QBuffer>
#include <QDateTime>
#include <QIODevice>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QSize>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "printing/cups_queue.h"
#include "printing/qt_page_canvas.h"

class QPrinter;
class QTemporaryFile;

namespace kirune {

/// Resolution of every page the program draws, in dots per inch.
inline constexpr int kDotsPerInch = 600;

/// A4 portrait at 600 dpi in device pixels, the page of an output without a printer.
QSize a4PagePixels();

/// The paper named `name` ("A4", "A3", "A5", "B4", "B5", "Letter", "Legal"; B sizes are JIS, as
/// Japanese copiers and schools use them); A4 for any other name.
QPageSize paperSize(std::string_view name);

/// `paper` in portrait with the margins a file without a printer has: those of Qt's PDF printer,
/// which the window's PDF files get, 10 pt on each side.
QPageLayout paperLayout(const QPageSize& paper);

/// A page of exactly `pixels` at 600 dpi (whole points), drawn to its edges.
QPageLayout fullPageLayout(QSize pixels);

/// The area the sheet is drawn in on `layout` at 600 dpi.
QSize drawingArea(const QPageLayout& layout);

/// Qt's PDF printer on temporary files, set up for the sheets: 600 dpi, `layout`, grey while every
/// picture that can go on paper is grey (colour otherwise). Unlike QPdfWriter it can store pictures as
/// grey samples; QtPageCanvas draws them losslessly, so none is re-encoded as JPEG. Making a QPrinter
/// asks the spooler about its printers, so one is kept for every file of a run.
class PdfPrinterFile {
 public:
  /// Where the PDF is made while it is drawn: in memory (an anonymous memory file), or in a temporary
  /// file on disk for a PDF that may grow without bound.
  enum class Backing { Memory, TemporaryFile };

  explicit PdfPrinterFile(const QPageLayout& layout, Backing backing = Backing::Memory);
  ~PdfPrinterFile();
  PdfPrinterFile(const PdfPrinterFile&) = delete;
  PdfPrinterFile& operator=(const PdfPrinterFile&) = delete;

  /// Points the printer at a fresh file for the next PDF, titled `title`; false when none could be
  /// made.
  bool open(const QString& title = {});
  QPrinter& printer() { return *printer_; }
  /// The PDF written, once the painter on printer() has ended.
  QString path() const;
  /// Where the PDF is made, for a message when making it failed: "（一時ファイルのフォルダ /tmp）".
  std::string where() const;

 private:
  void close();

  Backing backing_;
  std::unique_ptr<QTemporaryFile> file_;
  int memoryFd_ = -1;
  int signalSlot_ = -1;  // the temporary file, removed on SIGINT or SIGTERM
  QString memoryPath_;
  std::unique_ptr<QPrinter> printer_;
};

/// Every document as one page of one PDF, in order. The PDF is made in a temporary file, so a run of
/// any length holds no more than the page being drawn in memory, and goes to `out` when the run
/// finishes, with its creation date replaced. A PDF bound for a QBuffer is made in memory instead:
/// it is held whole in memory anyway, and a server answering with PDFs then writes nothing to disk. A failed
/// write can leave part of a file in `out`: give it a QSaveFile (as kirune-print does) and discard that on
/// failure.
class PdfSink final : public DocumentSink {
 public:
  /// `fixedCreationDate`: the date recorded in the PDF instead of the clock, for byte-identical
  /// output of identical runs.
  /// The pages are `layout`'s paper; the sheet is drawn in its printable area.
  PdfSink(QIODevice& out, const QPageLayout& layout, std::optional<QDateTime> fixedCreationDate = {});
  /// Pages of exactly `page` pixels, drawn to their edges.
  PdfSink(QIODevice& out, QSize page, std::optional<QDateTime> fixedCreationDate = {})
      : PdfSink(out, fullPageLayout(page), std::move(fixedCreationDate)) {}
  ~PdfSink() override;

  void beginDocument(QPainter& painter, int number) override;
  void endDocument(QPainter& painter, int number) override;
  void finish(QPainter& painter) override;
  void abandon(QPainter& painter) noexcept override;
  QImage imageOf(const Picture& picture) const override;

 private:
  std::unique_ptr<QIODevice> stream_;  // passes the PDF on to `out`
  std::unique_ptr<PdfPrinterFile> pdf_;
};

/// Every document as one white raster page at 600 dpi (8-bit grey while every picture that can go on
/// paper is grey), handed to `write` when the document ends.
class RasterSink final : public DocumentSink {
 public:
  /// Receives each finished page; throws PrinterError when it cannot keep it.
  using PageWriter = std::function<void(const QImage& page, int number)>;

  RasterSink(QSize page, PageWriter write);

  /// A writer of PNG files into `directory` (made when the first page comes; named by its bytes), named
  /// page-000001.png and on, so names sort in print order. Each appears only complete (OutputFile).
  static PageWriter pngFilesIn(const std::string& directory);

  void beginDocument(QPainter& painter, int number) override;
  void endDocument(QPainter& painter, int number) override;
  void finish(QPainter& painter) override;
  void abandon(QPainter& painter) noexcept override;

 private:
  QSize page_;
  PageWriter write_;
  QImage image_;
};

/// A printer bound to no queue (it makes PDF), made without Qt asking the spooler anything: Qt asks
/// CUPS about its printers whenever a QPrinter is made, with no time limit of its own, and a stalled
/// spooler holds that for minutes.
std::unique_ptr<QPrinter> unboundPrinter();

/// Sets `printer` up for the sheets: 600 dpi, and the paper and orientation of `defaults` (A4 portrait
/// where they say none).
void preparePrinter(QPrinter& printer, const std::optional<QueueDefaults>& defaults);
/// As above with the defaults of the printer's own queue (the default destination for a printer bound
/// to none), asked within the spooler's time limit; a printer printing to a file gets A4 portrait.
void preparePrinter(QPrinter& printer);

/// The application's printer, set up for the sheets: bound to the default queue when the spooler
/// answers within its time limit; otherwise bound to none, so that Qt asks a stalled spooler nothing
/// (its runs then go to the default destination, asked under Kirune's own limits).
std::unique_ptr<QPrinter> applicationPrinter();

/// The printable area of `printer` in device pixels.
QSize printableArea(const QPrinter& printer);

/// Replaces the creation date that Qt writes into a PDF by `date`, keeping every byte offset.
/// Returns false when the PDF holds no date in the expected form.
bool setPdfCreationDate(QByteArray& pdf, const QDateTime& date);

}  // namespace kirune
