#pragma once

#include <QIODevice>
#include <QString>
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
  /// Before the first document: how many documents the click will hand over, and whether problem and
  /// answer documents alternate; outputs that name sheets in their messages or files use it.
  virtual void plan(int /*documents*/, bool /*answers*/) {}
  /// After the run: what to tell the user when the sheets went to files instead of paper (and the
  /// folder they are in); empty otherwise.
  virtual QString savedNotice() const { return {}; }
  virtual QString savedFolder() const { return {}; }
};

/// Makes the output of the next preset click.
using PrintRunFactory = std::function<std::unique_ptr<PrintRun>()>;

/// Each document a print job of its own on `printer`, at the printer's printable area, confirmed by the
/// spooler; without any printer, or with the printer set to print to a file, numbered PDF files.
std::unique_ptr<PrintRun> printerRun(QPrinter& printer);

/// All documents as the pages of one A4 PDF written to `out` when the run finishes.
std::unique_ptr<PrintRun> pdfRun(QIODevice& out);

}  // namespace kirune
