#pragma once

#include <QDateTime>
#include <QIODevice>
#include <QImage>
#include <QSize>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "printing/cups_queue.h"
#include "printing/paper.h"
#include "printing/qt_page_canvas.h"
#include "render/pdf_writer.h"

class QPrinter;

namespace kirune {

/// `date` as a PDF records it, with its offset from UTC: "D:20240401093000+09'00'".
std::string pdfDate(const QDateTime& date);

/// The producer every PDF names: Kirune with its version.
std::string pdfProducer();

/// A PdfOutput onto `device`; a failed write throws PrinterError with the device's reason.
class PdfDeviceOutput final : public PdfOutput {
 public:
  explicit PdfDeviceOutput(QIODevice& device) : device_(device) {}
  void write(std::string_view bytes) override;

 private:
  QIODevice& device_;
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

  void beginDocument(QPainter& painter, int number, const DocumentInfo& info) override;
  void endDocument(QPainter& painter, int number) override;
  void finish(QPainter& painter) override;
  void abandon(QPainter& painter) noexcept override;

 private:
  QSize page_;
  PageWriter write_;
  QImage image_;
};

/// A printer bound to no queue, which only holds a run's paper and copies (Kirune writes every PDF
/// itself), made without Qt asking the spooler anything: Qt asks CUPS about its printers whenever a
/// QPrinter is made, with no time limit of its own, and a stalled spooler holds that for minutes.
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

}  // namespace kirune
