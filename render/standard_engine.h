#pragma once

#include "problems/problem_pool.h"
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

/// Page metrics of the standard engine. Items without a row (8, 9, 12) give sizes 0 and a 1 x 1 grid;
/// 100 problems of the kinds 12, 13 and 14 take the smaller division row.
PageMetrics standardPageMetrics(int mondaisuu, int shurui, int pageHeight);

/// Cell origin of problem k (0-based, column by column) of the standard engine.
CellOrigin standardCellOrigin(const PageMetrics& metrics, int pageWidth, int mondaisuu, int k);

// Frame steps shared by the three engines.

/// Clip-art: stretch-draws `cut` into the square (2 * glyphWidth, top) of side 3 * glyphHeight; draws
/// nothing while `cut` has never held a picture.
void drawClipArt(Session& session, PageCanvas& canvas, const PageMetrics& metrics, int top);
/// Name header on the line whose top is `y0`: なまえ, "(" behind it and ")" at nine tenths of the width.
void drawNameHeader(Session& session, PageCanvas& canvas, const PageMetrics& metrics, int y0);
/// Time field at the bottom right: 分 and びょう.
void drawTimeField(Session& session, PageCanvas& canvas, const PageMetrics& metrics);

// Problem cells of the standard engine.

/// Tiles over an addition or subtraction while `withTiles` is 1; nothing otherwise.
void drawTiles(Session& session, PageCanvas& canvas, const PageMetrics& metrics, const ProblemRecord& record,
               int cellX, int cellY);
/// Problem cell: tiles when due, then the problem row a op b = with text under every glyph.
void drawProblemCell(Session& session, PageCanvas& canvas, const PageMetrics& metrics,
                     const ProblemRecord& record, int cellX, int cellY);
/// Answer cell: a op b = and the result; for a division the quotient and, if any, the remainder mark
/// and the remainder.
void drawAnswerCell(Session& session, PageCanvas& canvas, const PageMetrics& metrics,
                    const ProblemRecord& record, int cellX, int cellY);

/// `print00Click`: the standard worksheet engine. Prints `SpinEdit1` sheets, each followed by its answer
/// sheet when `CheckBox15` is on; nothing at all while `CheckBox3` is off.
void print00Click(Session& session, PageCanvas& canvas);

}  // namespace kirune
