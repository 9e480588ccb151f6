#include "printing/document_sinks.h"

#include <sys/mman.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QTemporaryFile>
#include <QTimeZone>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "printing/cups_queue.h"
#include "printing/output_file.h"
#include "printing/pdf_pictures.h"
#include "printing/picture_image.h"

namespace kirune {
namespace {

std::string documentText(int number) { return "文書 " + std::to_string(number) + ": "; }

// The PDF page in whole points that covers `pixels` at 600 dpi; a tolerance of a twentieth of a point
// keeps A4 (595 x 842 pt, which Qt rounds to 4958 x 7017 px) at A4.
QPageSize pdfPageSize(QSize pixels) {
  const auto points = [](int px) { return static_cast<int>(std::ceil(px * 72.0 / kDotsPerInch - 0.05)); };
  return QPageSize(QSize(points(pixels.width()), points(pixels.height())), QString(), QPageSize::ExactMatch);
}

const QByteArray& creationDateKey() {
  static const QByteArray key = "/CreationDate (D:";
  return key;
}
// 600 dpi in the unit of a PNG's resolution tag.
constexpr int kDotsPerMeter = kDotsPerInch * 10000 / 254;  // 23622

// Free space below which a failed temporary PDF is put down to a full disk.
constexpr unsigned long long kLowDiskBytes = 4 * 1024 * 1024;

constexpr qsizetype kCreationDateDigits = 14;  // yyyyMMddhhmmss
// Qt writes the document information right after the header; a head this long without the date has none.
constexpr qsizetype kHeadLimit = 64 * 1024;

// Passes the PDF on to `out` as Qt writes it. With a fixed creation date, the head of the file is held
// back until the date Qt wrote can be replaced in it.
class PdfStream final : public QIODevice {
 public:
  PdfStream(QIODevice& out, std::optional<QDateTime> date) : out_(out), date_(std::move(date)) {
    holding_ = date_.has_value();
    open(QIODevice::WriteOnly);
  }

  /// Writes out the head if it is still held back; false when any write to `out` failed.
  bool finish() {
    releaseHead();
    return !failed_;
  }
  QString error() const { return out_.errorString(); }

 protected:
  qint64 readData(char*, qint64) override { return -1; }
  qint64 writeData(const char* data, qint64 size) override {
    if (!holding_) {
      pass(data, size);
      return size;
    }
    head_.append(data, size);
    const qsizetype at = head_.indexOf(creationDateKey());
    if (at >= 0 && head_.size() > at + creationDateKey().size() + kCreationDateDigits) {
      setPdfCreationDate(head_, *date_);
      releaseHead();
    } else if (head_.size() > kHeadLimit) {
      releaseHead();
    }
    return size;
  }

 private:
  void pass(const char* data, qint64 size) {
    if (!failed_ && out_.write(data, size) != size) failed_ = true;
  }
  void releaseHead() {
    holding_ = false;
    pass(head_.constData(), head_.size());
    head_ = QByteArray();
  }

  QIODevice& out_;
  std::optional<QDateTime> date_;
  bool holding_ = false;
  bool failed_ = false;
  QByteArray head_;
};

}  // namespace

QSize a4PagePixels() { return QPageSize(QPageSize::A4).sizePixels(kDotsPerInch); }

QPageSize paperSize(std::string_view name) {
  struct Paper {
    std::string_view name;
    QPageSize::PageSizeId id;
  };
  static constexpr Paper kPapers[] = {{"A4", QPageSize::A4},      {"A3", QPageSize::A3},
                                      {"A5", QPageSize::A5},      {"B4", QPageSize::JisB4},
                                      {"B5", QPageSize::JisB5},   {"Letter", QPageSize::Letter},
                                      {"Legal", QPageSize::Legal}};
  for (const Paper& p : kPapers) {
    if (p.name == name) return QPageSize(p.id);
  }
  return QPageSize(QPageSize::A4);
}

QPageLayout paperLayout(const QPageSize& paper) {
  return QPageLayout(paper, QPageLayout::Portrait, QMarginsF(10, 10, 10, 10), QPageLayout::Point);
}

QPageLayout fullPageLayout(QSize pixels) {
  return QPageLayout(pdfPageSize(pixels), QPageLayout::Portrait, QMarginsF());
}

QSize drawingArea(const QPageLayout& layout) { return layout.paintRectPixels(kDotsPerInch).size(); }

// ---- PDF ------------------------------------------------------------------------------------------

PdfPrinterFile::PdfPrinterFile(const QPageLayout& layout, Backing backing)
    : backing_(backing), printer_(unboundPrinter()) {
  printer_->setOutputFormat(QPrinter::PdfFormat);
  printer_->setResolution(kDotsPerInch);
  printer_->setFullPage(false);
  printer_->setPageLayout(layout);
  // Qt stores pictures as grey samples only in grey mode, which is set for the whole file.
  printer_->setColorMode(paperPicturesAreGrey() ? QPrinter::GrayScale : QPrinter::Color);
  printer_->setCreator(QStringLiteral("Kirune"));
}

PdfPrinterFile::~PdfPrinterFile() { close(); }

void PdfPrinterFile::close() {
  keepOnSignal(signalSlot_);
  signalSlot_ = -1;
  file_.reset();
  if (memoryFd_ >= 0) ::close(memoryFd_);
  memoryFd_ = -1;
  memoryPath_.clear();
}

bool PdfPrinterFile::open(const QString& title) {
  close();
  if (backing_ == Backing::Memory) {
    // Qt's PDF printer writes only to a file name; an anonymous memory file has one under /proc.
    memoryFd_ = memfd_create("kirune-pdf", MFD_CLOEXEC);
    if (memoryFd_ < 0) return false;
    memoryPath_ = QStringLiteral("/proc/self/fd/%1").arg(memoryFd_);
    printer_->setOutputFileName(memoryPath_);
  } else {
    file_ = std::make_unique<QTemporaryFile>(QDir::temp().filePath(QStringLiteral("kirune-XXXXXX.pdf")));
    if (!file_->open()) return false;  // reserves the name; the printer writes the file by its name
    signalSlot_ = removeOnSignal(pathBytes(file_->fileName()));
    printer_->setOutputFileName(file_->fileName());
  }
  printer_->setDocName(title);
  return true;
}

std::string PdfPrinterFile::where() const {
  if (backing_ == Backing::Memory) return "（メモリが足りません）";
  // Qt's printer says nothing of why it failed; a full disk is by far the likeliest cause.
  const std::string folder = pathBytes(QDir::tempPath());
  struct statvfs disk {};
  const bool full = ::statvfs(folder.c_str(), &disk) == 0 &&
                    static_cast<unsigned long long>(disk.f_bavail) * disk.f_frsize < kLowDiskBytes;
  return "（一時ファイルのフォルダ " + shownPath(folder) + (full ? "：ディスクがいっぱいです）" : "）");
}

QString PdfPrinterFile::path() const {
  if (memoryFd_ >= 0) return memoryPath_;
  return file_ ? file_->fileName() : QString();
}

PdfSink::PdfSink(QIODevice& out, const QPageLayout& layout, std::optional<QDateTime> fixedCreationDate)
    : stream_(std::make_unique<PdfStream>(out, std::move(fixedCreationDate))),
      pdf_(std::make_unique<PdfPrinterFile>(layout, qobject_cast<QBuffer*>(&out)
                                                        ? PdfPrinterFile::Backing::Memory
                                                        : PdfPrinterFile::Backing::TemporaryFile)) {}

PdfSink::~PdfSink() = default;

void PdfSink::beginDocument(QPainter& painter, int number) {
  // The painter stays on the printer for the whole file; every later document is a new page.
  const bool ok =
      painter.isActive() ? pdf_->printer().newPage() : pdf_->open() && painter.begin(&pdf_->printer());
  if (!ok) throw PrinterError(documentText(number) + "PDF のページを始められません" + pdf_->where());
}

void PdfSink::endDocument(QPainter&, int) {}

void PdfSink::finish(QPainter& painter) {
  if (!painter.isActive()) return;  // no document: no file
  if (!painter.end()) throw PrinterError("PDF を仕上げられません" + pdf_->where());
  QFile made(pdf_->path());
  if (!made.open(QIODevice::ReadOnly)) throw PrinterError("PDF を仕上げられません" + pdf_->where());
  auto& stream = static_cast<PdfStream&>(*stream_);
  PdfPictureUpdate pictures;
  while (!made.atEnd()) {
    const QByteArray chunk = made.read(1 << 16);
    if (chunk.isEmpty()) break;
    pictures.scan(chunk);
    stream.write(chunk);
  }
  stream.write(pictures.finish());
  if (!stream.finish()) throw PrinterError("PDF を書き込めません: " + stream.error().toStdString());
}

QImage PdfSink::imageOf(const Picture& picture) const { return pdfImageOf(picture); }

void PdfSink::abandon(QPainter& painter) noexcept {
  if (painter.isActive()) painter.end();
}

bool setPdfCreationDate(QByteArray& pdf, const QDateTime& date) {
  const QByteArray& key = creationDateKey();
  const qsizetype at = pdf.indexOf(key);
  if (at < 0) return false;
  const qsizetype digits = at + key.size();
  const QByteArray stamp = date.toUTC().toString(QStringLiteral("yyyyMMddhhmmss")).toLatin1();
  if (digits + stamp.size() >= pdf.size()) return false;
  for (qsizetype i = 0; i < stamp.size(); ++i) {
    if (pdf[digits + i] < '0' || pdf[digits + i] > '9') return false;
  }
  pdf.replace(digits, stamp.size(), stamp);
  return true;
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

void RasterSink::beginDocument(QPainter& painter, int number) {
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
