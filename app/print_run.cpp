#include "app/print_run.h"

#include <QPrinter>

#include "printing/document_sinks.h"
#include "printing/print_output.h"
#include "printing/qt_page_canvas.h"

namespace kirune {

namespace {

template <typename Sink>
class SinkRun final : public PrintRun {
 public:
  template <typename... Args>
  SinkRun(QSize page, Args&&... args)
      : sink_(std::forward<Args>(args)...), canvas_(sink_, page.width(), page.height()) {}

  PageCanvas& canvas() override { return canvas_; }
  void finish() override { canvas_.finish(); }

 private:
  Sink sink_;
  QtPageCanvas canvas_;
};

class PrinterRun final : public PrintRun {
 public:
  explicit PrinterRun(QPrinter& printer)
      : output_(printer), canvas_(output_, output_.pageSize().width(), output_.pageSize().height()) {}

  PageCanvas& canvas() override { return canvas_; }
  void finish() override { canvas_.finish(); }
  void plan(int documents, bool answers) override { output_.plan(documents, answers); }
  QString savedNotice() const override { return output_.savedNotice(); }
  QString savedFolder() const override {
    return output_.route() == PrintOutput::Route::Spooler ? QString() : output_.folder();
  }

 private:
  PrintOutput output_;
  QtPageCanvas canvas_;
};

}  // namespace

std::unique_ptr<PrintRun> printerRun(QPrinter& printer) { return std::make_unique<PrinterRun>(printer); }

std::unique_ptr<PrintRun> pdfRun(QIODevice& out) {
  const QSize page = a4PagePixels();
  return std::make_unique<SinkRun<PdfSink>>(page, out, page);
}

}  // namespace kirune
