#include "printing/print_run.h"

#include <QPrinter>
#include <QSaveFile>
#include <QTimeZone>
#include <sstream>
#include <utility>

#include "printing/document_sinks.h"
#include "printing/print_output.h"
#include "printing/qt_page_canvas.h"
#include "render/errors.h"
#include "render/trace_canvas.h"

namespace kirune {

namespace {

template <typename Sink>
class SinkRun final : public PrintRun {
 public:
  template <typename... Args>
  explicit SinkRun(QSize page, Args&&... args)
      : sink_(std::forward<Args>(args)...), canvas_(sink_, page.width(), page.height()) {}

  PageCanvas& canvas() override { return canvas_; }
  void finish() override { canvas_.finish(); }
  bool madeNothing() const override { return canvas_.documentCount() == 0; }

 private:
  Sink sink_;
  QtPageCanvas canvas_;
};

[[noreturn]] void cannotWrite(const std::string& what, const QString& path, const QSaveFile& file) {
  throw PrinterError(what + "を書き込めません: " + path.toStdString() + "（" +
                     file.errorString().toStdString() + "）");
}

// The file is opened before the sink is made on it, so a run that cannot write starts nothing.
std::unique_ptr<QSaveFile> openedPdfFile(const QString& path) {
  auto file = std::make_unique<QSaveFile>(path);
  if (!file->open(QIODevice::WriteOnly)) cannotWrite("PDF ", path, *file);
  return file;
}

class PdfFileRun final : public PrintRun {
 public:
  PdfFileRun(const QString& path, const QPageLayout& layout, QSize area, std::optional<QDateTime> date)
      : path_(path),
        file_(openedPdfFile(path)),
        sink_(*file_, layout, std::move(date)),
        canvas_(sink_, area.width(), area.height()) {}

  PageCanvas& canvas() override { return canvas_; }
  void finish() override {
    if (madeNothing()) {
      file_->cancelWriting();
      return;
    }
    canvas_.finish();
    if (!file_->commit()) cannotWrite("PDF ", path_, *file_);
  }
  bool madeNothing() const override { return canvas_.documentCount() == 0; }

 private:
  QString path_;
  std::unique_ptr<QSaveFile> file_;
  PdfSink sink_;
  QtPageCanvas canvas_;
};

class PrinterRun final : public PrintRun {
 public:
  explicit PrinterRun(QPrinter& printer) : PrinterRun(printer, nullptr) {}

  // A printer of its own for `queue`, empty for the default destination. Qt keeps the printer it has
  // when given a queue it does not know, so the queue is also handed to the output, which asks CUPS.
  explicit PrinterRun(const QString& queue) : PrinterRun(ownPrinter(queue)) { output_.setQueue(queue); }

  PageCanvas& canvas() override { return canvas_; }
  void finish() override { canvas_.finish(); }
  void plan(int documents, bool answers) override { output_.plan(documents, answers); }
  void setTitle(const QString& title) override { output_.setTitle(title); }
  QString savedNotice() const override { return output_.savedNotice(); }
  QString savedFolder() const override {
    return output_.route() == PrintOutput::Route::Spooler ? QString() : output_.folder();
  }
  bool madeNothing() const override { return canvas_.documentCount() == 0; }
  void setWhileWaiting(const std::function<bool()>& call) override { output_.setWhileWaiting(call); }
  std::optional<QList<int>> printedDocuments() const override { return output_.printed(); }
  QList<int> unknownDocuments() const override { return output_.unknown(); }

 private:
  explicit PrinterRun(std::unique_ptr<QPrinter>&& own) : PrinterRun(*own, std::move(own)) {}
  PrinterRun(QPrinter& printer, std::unique_ptr<QPrinter>&& own)
      : own_(std::move(own)),
        output_(printer),
        canvas_(output_, output_.pageSize().width(), output_.pageSize().height()) {}

  static std::unique_ptr<QPrinter> ownPrinter(const QString& queue) {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    if (!queue.isEmpty()) printer->setPrinterName(queue);
    preparePrinter(*printer);
    return printer;
  }

  std::unique_ptr<QPrinter> own_;  // before the output, which refers to it
  PrintOutput output_;
  QtPageCanvas canvas_;
};

class TraceRun final : public PrintRun {
 public:
  TraceRun(std::ostream& out, QSize page, std::string outName)
      : out_(out), outName_(std::move(outName)), canvas_(out, page.width(), page.height()) {}

  PageCanvas& canvas() override { return canvas_; }
  void finish() override {
    out_.flush();
    if (!out_) throw PrinterError("トレースを" + outName_ + "に書けません");
  }

 private:
  std::ostream& out_;
  std::string outName_;
  TraceCanvas canvas_;
};

// Held in memory and written at the end, so a failed run leaves no half trace in the file.
class TraceFileRun final : public PrintRun {
 public:
  TraceFileRun(const QString& path, QSize page)
      : path_(path), canvas_(buffer_, page.width(), page.height()) {}

  PageCanvas& canvas() override { return canvas_; }
  void finish() override {
    QSaveFile file(path_);
    const std::string text = buffer_.str();
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size()) ||
        !file.commit()) {
      cannotWrite("トレース", path_, file);
    }
  }

 private:
  QString path_;
  std::ostringstream buffer_;
  TraceCanvas canvas_;
};

}  // namespace

QString runTitle(const Preset& preset) {
  return QString::fromUtf8(preset.rowTitle.data(), static_cast<qsizetype>(preset.rowTitle.size())) + ' ' +
         QString::fromUtf8(preset.caption.data(), static_cast<qsizetype>(preset.caption.size()));
}

std::unique_ptr<PrintRun> printerRun(QPrinter& printer) { return std::make_unique<PrinterRun>(printer); }

std::unique_ptr<PrintRun> queueRun(const QString& queue) { return std::make_unique<PrinterRun>(queue); }

std::unique_ptr<PrintRun> pdfRun(QIODevice& out, QSize page, std::optional<QDateTime> fixedCreationDate) {
  // The page in whole points may be a little larger; the sheet is drawn on exactly `page`.
  return std::make_unique<SinkRun<PdfSink>>(page, out, fullPageLayout(page), std::move(fixedCreationDate));
}

std::unique_ptr<PrintRun> pdfRun(QIODevice& out, const QPageLayout& layout,
                                 std::optional<QDateTime> fixedCreationDate) {
  return std::make_unique<SinkRun<PdfSink>>(drawingArea(layout), out, layout, std::move(fixedCreationDate));
}

std::unique_ptr<PrintRun> pdfRun(QIODevice& out) { return pdfRun(out, a4PagePixels()); }

std::unique_ptr<PrintRun> pdfFileRun(const QString& path, QSize page,
                                     std::optional<QDateTime> fixedCreationDate) {
  return std::make_unique<PdfFileRun>(path, fullPageLayout(page), page, std::move(fixedCreationDate));
}

std::unique_ptr<PrintRun> pdfFileRun(const QString& path, const QPageLayout& layout,
                                     std::optional<QDateTime> fixedCreationDate) {
  return std::make_unique<PdfFileRun>(path, layout, drawingArea(layout), std::move(fixedCreationDate));
}

QDateTime reproducibleCreationDate() {
  bool ok = false;
  const qint64 epoch = qEnvironmentVariable("SOURCE_DATE_EPOCH").toLongLong(&ok);
  return QDateTime::fromSecsSinceEpoch(ok ? epoch : 0, QTimeZone::utc());
}

std::unique_ptr<PrintRun> pngRun(const QString& directory, QSize page) {
  return std::make_unique<SinkRun<RasterSink>>(page, page, RasterSink::pngFilesIn(directory));
}

std::unique_ptr<PrintRun> traceRun(std::ostream& out, QSize page, const std::string& outName) {
  return std::make_unique<TraceRun>(out, page, outName);
}

std::unique_ptr<PrintRun> traceFileRun(const QString& path, QSize page) {
  return std::make_unique<TraceFileRun>(path, page);
}

}  // namespace kirune
