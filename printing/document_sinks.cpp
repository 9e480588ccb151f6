#include "printing/document_sinks.h"

#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "kirune/version.h"
#include "printing/cups_queue.h"
#include "printing/output_file.h"
#include "printing/picture_image.h"

namespace kirune {
namespace {

std::string documentText(int number) { return "文書 " + std::to_string(number) + ": "; }

// 600 dpi in the unit of a PNG's resolution tag.
constexpr int kDotsPerMeter = kDotsPerInch * 10000 / 254;  // 23622

}  // namespace

// ---- PDF ------------------------------------------------------------------------------------------

std::string pdfDate(const QDateTime& date) {
  const int offset = date.offsetFromUtc();
  QString text = date.toString(QStringLiteral("'D:'yyyyMMddhhmmss"));
  if (offset == 0) {
    text += 'Z';
  } else {
    const int minutes = std::abs(offset) / 60;
    text += QStringLiteral("%1%2'%3'")
                .arg(offset < 0 ? '-' : '+')
                .arg(minutes / 60, 2, 10, QLatin1Char('0'))
                .arg(minutes % 60, 2, 10, QLatin1Char('0'));
  }
  return text.toStdString();
}

std::string pdfProducer() { return std::string(kApplicationName) + " " + std::string(kVersion); }

void PdfDeviceOutput::write(std::string_view bytes) {
  if (device_.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size()))
    throw PrinterError("PDF を書き込めません: " + device_.errorString().toStdString());
}

// ---- Raster ---------------------------------------------------------------------------------------

RasterSink::RasterSink(QSize page, PageWriter write) : page_(page), write_(std::move(write)) {}

RasterSink::PageWriter RasterSink::pngFilesIn(const std::string& directory) {
  return [directory](const QImage& page, int number) {
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(directory), error);
    if (error) {
      throw PrinterError(documentText(number) + "フォルダを作れません: " + shownPath(directory) + "（" +
                         reasonFor(error.value()) + "）");
    }
    char name[32];
    std::snprintf(name, sizeof name, "page-%06d.png", number);
    try {
      OutputFile file((directory.ends_with('/') ? directory : directory + '/') + name, "PNG ");
      OutputFileDevice device(file);
      QImageWriter writer(&device, "png");
      if (!writer.write(page)) {
        if (file.failed()) file.fail();
        throw PrinterError("PNG を書き込めません: " + shownPath(file.path()));
      }
      file.commit();
    } catch (const PrinterError& e) {
      throw PrinterError(documentText(number) + e.what());
    }
  };
}

void RasterSink::beginDocument(QPainter& painter, int number, const DocumentInfo& /*info*/) {
  // Grey pages hold a quarter of the bytes of colour ones; the PNG then is 8-bit grey too.
  image_ = QImage(page_, paperPicturesAreGrey() ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
  if (image_.isNull()) throw PrinterError(documentText(number) + "ページの画像を用意できません");
  image_.setDotsPerMeterX(kDotsPerMeter);
  image_.setDotsPerMeterY(kDotsPerMeter);
  image_.fill(Qt::white);
  if (!painter.begin(&image_)) throw PrinterError(documentText(number) + "ページに描けません");
}

void RasterSink::endDocument(QPainter& painter, int number) {
  painter.end();
  const QImage page = std::move(image_);
  image_ = QImage();
  write_(page, number);
}

void RasterSink::finish(QPainter&) {}

void RasterSink::abandon(QPainter& painter) noexcept {
  if (painter.isActive()) painter.end();
  image_ = QImage();
}

// ---- Printer --------------------------------------------------------------------------------------

std::unique_ptr<QPrinter> unboundPrinter() {
  const NoSpoolerOnThisThread noSpooler;
  return std::make_unique<QPrinter>(QPrinter::HighResolution);
}

void preparePrinter(QPrinter& printer, const std::optional<QueueDefaults>& defaults) {
  printer.setResolution(kDotsPerInch);
  printer.setFullPage(false);
  const QPageSize paper = defaults && defaults->paperWidth > 0 && defaults->paperLength > 0
                              ? QPageSize(QSizeF(defaults->paperWidth, defaults->paperLength) / 100.0,
                                          QPageSize::Millimeter, QString(), QPageSize::FuzzyMatch)
                              : QPageSize();
  printer.setPageSize(paper.isValid() ? paper : QPageSize(QPageSize::A4));
  const bool landscape = defaults && defaults->landscape.value_or(false);
  printer.setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
}

void preparePrinter(QPrinter& printer) {
  preparePrinter(printer, printer.outputFileName().isEmpty()
                              ? queueDefaults(printer.printerName().toStdString())
                              : std::nullopt);
}

std::unique_ptr<QPrinter> applicationPrinter() {
  // Qt asks the spooler about its printers as the printer is made: only a spooler that answers now
  // is asked.
  const QueueStatus spooler = checkQueue({});
  if (spooler.state == QueueState::Stalled || spooler.state == QueueState::Lost) {
    std::unique_ptr<QPrinter> printer = unboundPrinter();
    preparePrinter(*printer, std::nullopt);
    return printer;
  }
  auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
  preparePrinter(*printer);
  return printer;
}

QSize printableArea(const QPrinter& printer) {
  return printer.pageLayout().paintRectPixels(printer.resolution()).size();
}

}  // namespace kirune
