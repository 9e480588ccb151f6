#pragma once

#include <array>
#include <span>

#include "problems/problem_pool.h"
#include "render/glyphs.h"
#include "render/page_canvas.h"
#include "render/page_layout.h"
#include "render/session.h"

namespace kirune {

/// Page metrics of the standard sheet by item of `mondaisuu`; the fill-in sheet uses the same rows
/// without items 10 and 11.
inline constexpr std::array<MetricsRow, 10> kStandardMetricsRows = {{
    {7, 8, 0, 26, 14, 5, 2},    // 10
    {10, 8, 0, 26, 14, 5, 1},   // 5
    {4, 9, 0, 27, 14, 6, 2},    // 12
    {11, 12, 0, 38, 14, 6, 3},  // 18
    {0, 13, 0, 29, 14, 10, 2},  // 20
    {5, 13, 0, 30, 14, 10, 3},  // 30
    {1, 18, 0, 32, 14, 14, 3},  // 40
    {6, 19, 0, 33, 14, 15, 4},  // 60
    {2, 24, 0, 35, 14, 20, 4},  // 80
    {3, 24, 0, 37, 14, 20, 5},  // 100
}};

/// Page metrics of the standard engine. Items without a row (8, 9, 12) give sizes 0 and a 1 x 1 grid;
/// 100 problems of the kinds 12, 13 and 14 take the smaller division row.
PageMetrics standardPageMetrics(int mondaisuu, int shurui, int pageHeight);

/// Cell origin of problem k (0-based, column by column) of the standard engine.
CellOrigin standardCellOrigin(const PageMetrics& metrics, int pageWidth, int mondaisuu, int k);

/// Answer row width in half boxes: 12 for a one-digit result or a division without remainder, 14 for a
/// two-digit result, 15 for a division with remainder.
int answerRowHalfBoxes(const ProblemRecord& record);

/// The metrics of an answer page: the box width narrows to min(glyphWidth, ((colW - glyphWidth div 2) * 2)
/// div need), colW = (pageWidth - 2 * glyphWidth) div columnCount and need the widest row of `answers` in
/// half boxes, so that no answer row runs into the next column or off the page.
PageMetrics standardAnswerMetrics(const PageMetrics& metrics, int pageWidth,
                                  std::span<const ProblemRecord> answers);

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
