#pragma once

#include <QIODevice>
#include <functional>
#include <memory>

#include "render/page_canvas.h"

class QPrinter;

namespace kirune {

/// The output of one preset click: the canvas the engine draws on, and what completes the output once
/// the last document is done.
class PrintRun {
 public:
  virtual ~PrintRun() = default;
  virtual PageCanvas& canvas() = 0;
  /// After the last document: writes out what the output still holds; throws PrinterError.
  virtual void finish() = 0;
};

/// Makes the output of the next preset click.
using PrintRunFactory = std::function<std::unique_ptr<PrintRun>()>;

/// Each document a print job of its own on `printer`, at the printer's printable area.
std::unique_ptr<PrintRun> printerRun(QPrinter& printer);

/// All documents as the pages of one A4 PDF written to `out` when the run finishes.
std::unique_ptr<PrintRun> pdfRun(QIODevice& out);

}  // namespace kirune
