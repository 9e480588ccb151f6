#pragma once

#include <QPageLayout>
#include <QPageSize>
#include <QSize>
#include <string_view>

#include "render/pdf_writer.h"

namespace kirune {

/// Resolution of every page the program draws, in dots per inch.
inline constexpr int kDotsPerInch = 600;

/// A4 portrait at 600 dpi in device pixels, the page of an output without a printer.
QSize a4PagePixels();

/// The paper named `name` ("A4", "A3", "A5", "B4", "B5", "Letter", "Legal"; B sizes are JIS, as
/// Japanese copiers and schools use them); A4 for any other name.
QPageSize paperSize(std::string_view name);

/// `paper` in portrait with the margins a file without a printer has: 5 mm on each side, within what
/// common printers can print, so any of them prints the whole sheet.
QPageLayout paperLayout(const QPageSize& paper);

/// A page of exactly `pixels` at 600 dpi (whole points), drawn to its edges.
QPageLayout fullPageLayout(QSize pixels);

/// The area the sheet is drawn in on `layout` at 600 dpi.
QSize drawingArea(const QPageLayout& layout);

/// The PDF page of `layout` at 600 dpi: its paper, with the sheet drawn in its printable area.
PdfPage pdfPage(const QPageLayout& layout);
/// A PDF page of exactly `pixels` at 600 dpi (whole points), drawn to its edges.
PdfPage pdfPage(QSize pixels);

}  // namespace kirune
