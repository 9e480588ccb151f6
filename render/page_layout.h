#pragma once

#include <span>

#include "render/glyphs.h"
#include "render/page_canvas.h"
#include "render/session.h"

namespace kirune {

/// The page metrics of one engine run, fixed for all its sheets.
struct PageMetrics {
  int rowPitch = 0;       ///< vertical distance between rows of cells
  int glyphHeight = 0;    ///< glyph box height
  int glyphWidth = 0;     ///< glyph box width
  int rowsPerColumn = 1;  ///< cells per column
  int columnCount = 1;    ///< columns of cells

  GlyphBox box() const { return {glyphWidth, glyphHeight}; }
  friend bool operator==(const PageMetrics&, const PageMetrics&) = default;
};

/// Top-left corner of a problem cell.
struct CellOrigin {
  int x = 0;
  int y = 0;
  friend bool operator==(const CellOrigin&, const CellOrigin&) = default;
};

/// One row of a metrics table: rowPitch = H div pitchDivisor - H div pitchLessDivisor (no subtraction
/// when 0), glyphHeight = H div heightDivisor, glyphWidth = (glyphHeight div widthDivisor) * 10.
struct MetricsRow {
  int item;  ///< item of `mondaisuu`
  int pitchDivisor;
  int pitchLessDivisor;
  int heightDivisor;
  int widthDivisor;
  int rowsPerColumn;
  int columnCount;
};

/// The metrics of a table row for page height `pageHeight`.
PageMetrics metricsFromRow(const MetricsRow& row, int pageHeight);

/// The metrics of the row of `mondaisuu` in `rows`; sizes 0 and a 1 x 1 grid when no row has it.
PageMetrics metricsForItem(std::span<const MetricsRow> rows, int mondaisuu, int pageHeight);

/// Clip-art: stretch-draws `cut` into the square (2 * glyphWidth, top) of side 3 * glyphHeight; draws
/// nothing while `cut` has never held a picture.
void drawClipArt(Session& session, PageCanvas& canvas, const PageMetrics& metrics, int top);
/// Name header on the line whose top is `y0`: なまえ, "(" behind it and ")" at nine tenths of the width.
void drawNameHeader(Session& session, PageCanvas& canvas, const PageMetrics& metrics, int y0);
/// Time field at the bottom right: 分 and びょう.
void drawTimeField(Session& session, PageCanvas& canvas, const PageMetrics& metrics);

}  // namespace kirune
