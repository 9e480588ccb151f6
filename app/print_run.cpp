#include "app/print_run.h"

#include <QPrinter>

#include "printing/document_sinks.h"
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

}  // namespace

std::unique_ptr<PrintRun> printerRun(QPrinter& printer) {
  return std::make_unique<SinkRun<PrinterSink>>(printableArea(printer), printer);
}

std::unique_ptr<PrintRun> pdfRun(QIODevice& out) {
  const QSize page = a4PagePixels();
  return std::make_unique<SinkRun<PdfSink>>(page, out, page);
}

}  // namespace kirune
