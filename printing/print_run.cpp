#include "printing/print_run.h"

#include <QPrinter>
#include <QTimeZone>
#include <algorithm>
#include <filesystem>
#include <optional>
#include <ostream>
#include <utility>

#include "kirune/version.h"
#include "printing/document_sinks.h"
#include "printing/output_file.h"
#include "printing/print_messages.h"
#include "printing/print_output.h"
#include "printing/qt_page_canvas.h"
#include "problems/parse_integer.h"
#include "render/errors.h"
#include "render/pdf_writer.h"
#include "render/program_file.h"
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

// All documents as the pages of one PDF, written by Kirune's own writer as they are drawn.
class PdfRun : public PrintRun {
 public:
  PdfRun(PdfOutput& out, const PdfPage& page, std::optional<QDateTime> date)
      : writer_(out, page), first_(writer_), date_(std::move(date)) {}

  PageCanvas& canvas() override { return first_; }
  void finish() override {
    made_ += writer_.pageCount();
    if (made_ == 0) return;
    // A file of one sheet is titled as that sheet's print job; one of several by what the run prints.
    const QString runTitle = QString::fromStdString(first_.info().title);
    const QString title =
        made_ == 1 ? documentTitle(first_.info())
                   : (runTitle.isEmpty() ? QString::fromUtf8(kApplicationName.data(),
                                                             static_cast<qsizetype>(kApplicationName.size()))
                                         : runTitle);
    writer_.setInfo(
        {title.toStdString(), pdfProducer(), pdfDate(date_.value_or(QDateTime::currentDateTime()))});
    writer_.finishFile();
  }
  bool madeNothing() const override { return made_ + writer_.pageCount() == 0; }

 private:
  // Keeps what the run's first document is, which titles the file.
  class FirstDocument final : public ForwardingCanvas {
   public:
    using ForwardingCanvas::ForwardingCanvas;
    void beginDoc(const DocumentInfo& info) override {
      if (!begun_) info_ = info;
      begun_ = true;
      ForwardingCanvas::beginDoc(info);
    }
    const DocumentInfo& info() const { return info_; }

   private:
    bool begun_ = false;
    DocumentInfo info_;
  };

  PdfWriter writer_;
  FirstDocument first_;
  std::optional<QDateTime> date_;
  int made_ = 0;
};

struct DeviceOutput {
  explicit DeviceOutput(QIODevice& device) : out(device) {}
  PdfDeviceOutput out;
};

// The output comes first among the bases, so it is made before the writer that refers to it.
class PdfDeviceRun final : private DeviceOutput, public PdfRun {
 public:
  PdfDeviceRun(QIODevice& device, const PdfPage& page, std::optional<QDateTime> date)
      : DeviceOutput(device), PdfRun(out, page, std::move(date)) {}
};

// Into an OutputFile, which takes the file's place only when the run finished with a document.
class PdfFileRun final : public PrintRun {
 public:
  PdfFileRun(const std::string& path, const PdfPage& page, std::optional<QDateTime> date)
      : file_(path, "PDF "),  // opened before the run starts, so a run that cannot write starts nothing
        out_(file_),
        run_(out_, page, std::move(date)) {}

  PageCanvas& canvas() override { return run_.canvas(); }
  void finish() override {
    if (run_.madeNothing()) {
      file_.discard();
      return;
    }
    try {
      run_.finish();
    } catch (const PrinterError&) {
      if (file_.failed()) file_.fail();  // says which file and why
      throw;
    }
    if (file_.failed()) file_.fail();
    file_.commit();
  }
  bool madeNothing() const override { return run_.madeNothing(); }

 private:
  // Its writes fail only through the file, which says why.
  class FileOutput final : public PdfOutput {
   public:
    explicit FileOutput(OutputFile& file) : file_(file) {}
    void write(std::string_view bytes) override {
      if (!file_.write(bytes.data(), bytes.size())) file_.fail();
    }
    void writeProgramData(std::string_view bytes) override {
      const std::optional<ProgramFileRange> at = programFileRange(bytes.data(), bytes.size());
      const bool ok = at ? file_.writeFrom(at->fd, at->offset, bytes.data(), bytes.size())
                         : file_.write(bytes.data(), bytes.size());
      if (!ok) file_.fail();
    }

   private:
    OutputFile& file_;
  };

  OutputFile file_;
  FileOutput out_;
  PdfRun run_;
};

class PrinterRun final : public PrintRun {
 public:
  explicit PrinterRun(QPrinter& printer) : PrinterRun(printer, nullptr) {}

  // A printer of its own set up for `queue` (empty: the default destination), which the output hands
  // the documents to. It is bound to no queue, so that Qt asks the spooler nothing: Qt's questions have
  // no time limit, Kirune's do.
  PrinterRun(const QString& queue, QueueStatus* checked) : PrinterRun(queue, checkQueueOnce(queue)) {
    if (checked != nullptr) *checked = checked_;
  }

  PageCanvas& canvas() override { return output_; }
  void finish() override { output_.finish(); }
  void plan(int documents, bool answers) override { output_.plan(documents, answers); }
  QString savedNotice() const override { return output_.savedNotice(); }
  QString savedFolder() const override {
    return output_.route() == PrintOutput::Route::Spooler ? QString() : output_.folder();
  }
  bool madeNothing() const override { return output_.documentCount() == 0; }
  void setWhileWaiting(const std::function<bool()>& call) override { output_.setWhileWaiting(call); }
  std::optional<QList<int>> printedDocuments() const override { return output_.printed(); }
  QList<int> unknownDocuments() const override { return output_.unknown(); }
  bool savesFiles() const override { return output_.route() != PrintOutput::Route::Spooler; }
  int copies() const override {
    return output_.route() == PrintOutput::Route::Spooler ? std::max(1, output_.copyCount()) : 1;
  }
  QString queue() const override { return output_.queue(); }

 private:
  struct Checked {
    QueueStatus status;
    std::optional<QueueDefaults> defaults;
  };
  // One question for both the queue's state and its paper.
  static Checked checkQueueOnce(const QString& queue) {
    QueueDefaults defaults;
    Checked checked{checkQueue(queue.toStdString(), nullptr, &defaults), std::nullopt};
    switch (checked.status.state) {
      case QueueState::Ready:
      case QueueState::NotAccepting:
      case QueueState::Stopped:
        checked.defaults = defaults;
        break;
      default:
        break;
    }
    return checked;
  }
  PrinterRun(const QString& queue, Checked checked) : PrinterRun(ownPrinter(checked.defaults)) {
    checked_ = std::move(checked.status);
    output_.setQueue(queue);
    output_.setCheckedQueue(checked_);
  }
  explicit PrinterRun(std::unique_ptr<QPrinter>&& own) : PrinterRun(*own, std::move(own)) {}
  PrinterRun(QPrinter& printer, std::unique_ptr<QPrinter>&& own) : own_(std::move(own)), output_(printer) {}

  static std::unique_ptr<QPrinter> ownPrinter(const std::optional<QueueDefaults>& defaults) {
    std::unique_ptr<QPrinter> printer = unboundPrinter();
    preparePrinter(*printer, defaults);
    return printer;
  }

  std::unique_ptr<QPrinter> own_;  // before the output, which refers to it
  PrintOutput output_;
  QueueStatus checked_;
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

// Streamed into a temporary file beside the target, which takes its place when the run finishes, so a
// failed run leaves no half trace.
class TraceFileRun final : public PrintRun {
 public:
  TraceFileRun(const std::string& path, QSize page)
      : file_(path, "トレース"), buffer_(file_), out_(&buffer_), canvas_(out_, page.width(), page.height()) {}

  PageCanvas& canvas() override { return canvas_; }
  void finish() override {
    out_.flush();
    if (!out_ || file_.failed()) file_.fail();
    file_.commit();
  }

 private:
  OutputFile file_;
  OutputFileBuffer buffer_;
  std::ostream out_;
  TraceCanvas canvas_;
};

}  // namespace

std::unique_ptr<PrintRun> printerRun(QPrinter& printer) { return std::make_unique<PrinterRun>(printer); }

std::unique_ptr<PrintRun> queueRun(const QString& queue, QueueStatus* checked) {
  return std::make_unique<PrinterRun>(queue, checked);
}

std::unique_ptr<PrintRun> pdfRun(QIODevice& out, QSize page, std::optional<QDateTime> fixedCreationDate) {
  // The page in whole points may be a little larger; the sheet is drawn on exactly `page`.
  return std::make_unique<PdfDeviceRun>(out, pdfPage(page), std::move(fixedCreationDate));
}

std::unique_ptr<PrintRun> pdfRun(QIODevice& out, const QPageLayout& layout,
                                 std::optional<QDateTime> fixedCreationDate) {
  return std::make_unique<PdfDeviceRun>(out, pdfPage(layout), std::move(fixedCreationDate));
}

std::unique_ptr<PrintRun> pdfRun(QIODevice& out) { return pdfRun(out, a4PagePixels()); }

std::unique_ptr<PrintRun> pdfFileRun(const std::string& path, QSize page,
                                     std::optional<QDateTime> fixedCreationDate) {
  return std::make_unique<PdfFileRun>(path, pdfPage(page), std::move(fixedCreationDate));
}

std::unique_ptr<PrintRun> pdfFileRun(const std::string& path, const QPageLayout& layout,
                                     std::optional<QDateTime> fixedCreationDate) {
  return std::make_unique<PdfFileRun>(path, pdfPage(layout), std::move(fixedCreationDate));
}

std::unique_ptr<PrintRun> pdfFileRun(const QString& path, QSize page,
                                     std::optional<QDateTime> fixedCreationDate) {
  return pdfFileRun(pathBytes(path), page, std::move(fixedCreationDate));
}

std::unique_ptr<PrintRun> pdfFileRun(const QString& path, const QPageLayout& layout,
                                     std::optional<QDateTime> fixedCreationDate) {
  return pdfFileRun(pathBytes(path), layout, std::move(fixedCreationDate));
}

QDateTime reproducibleCreationDate() {
  const auto epoch = parseInteger<qint64>(qEnvironmentVariable("SOURCE_DATE_EPOCH").toStdString());
  return QDateTime::fromSecsSinceEpoch(epoch.value_or(0), QTimeZone::utc());
}

std::unique_ptr<PrintRun> pngRun(const std::string& directory, QSize page) {
  return std::make_unique<SinkRun<RasterSink>>(page, page, RasterSink::pngFilesIn(directory));
}

std::unique_ptr<PrintRun> pngRun(const QString& directory, QSize page) {
  return pngRun(pathBytes(directory), page);
}

expected<void, std::string> checkPngFolder(const std::string& directory) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::file_status status = fs::status(fs::path(directory), error);
  if (!fs::exists(status)) return {};
  if (!fs::is_directory(status)) return {};  // the run says so at its first page
  fs::directory_iterator entries(fs::path(directory), error);
  if (error) {
    return unexpected("PNG の出力先のフォルダを読めません: " + shownPath(directory) + "（" +
                      reasonFor(error.value()) + "）");
  }
  for (const fs::directory_entry& entry : entries) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with("page-") && name.ends_with(".png")) {
      return unexpected("PNG の出力先に前のページがあります: " + shownPath(directory) + "（" + name +
                        " など。空のフォルダか新しいフォルダを指定してください）");
    }
  }
  return {};
}

std::unique_ptr<PrintRun> traceRun(std::ostream& out, QSize page, const std::string& outName) {
  return std::make_unique<TraceRun>(out, page, outName);
}

std::unique_ptr<PrintRun> traceFileRun(const std::string& path, QSize page) {
  return std::make_unique<TraceFileRun>(path, page);
}

std::unique_ptr<PrintRun> traceFileRun(const QString& path, QSize page) {
  return traceFileRun(pathBytes(path), page);
}

}  // namespace kirune
