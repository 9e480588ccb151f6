#pragma once

#include "problems/problem_pool.h"
#include "render/page_canvas.h"
#include "render/page_layout.h"
#include "render/session.h"

namespace kirune {

/// Fixed box geometry of the fill-in cells, in device pixels: the box is this much wider than a glyph
/// slot and reaches kFillInBoxMargin above and below it; the answer digit sits kFillInDigitShift right.
inline constexpr int kFillInBoxExtra = 34;
inline constexpr int kFillInBoxMargin = 10;
inline constexpr int kFillInDigitShift = 17;

/// Page metrics of the fill-in engine (items 7, 4, 0, 5, 1, 6, 2, 3); any other item gives sizes 0 and
/// a 1 x 1 grid.
PageMetrics fillInPageMetrics(int mondaisuu, int pageHeight);

/// Cell origin of problem k (0-based, column by column).
CellOrigin fillInCellOrigin(const PageMetrics& metrics, int pageWidth, int mondaisuu, int k);

/// Question cell: factor or box, ×, factor or box, =, product; text under the digits and signs.
void drawFillInQuestionCell(Session& session, PageCanvas& canvas, const PageMetrics& metrics,
                            const ProblemRecord& record, int cellX, int cellY);
/// Answer cell: as the question, with the missing factor written inside its box; no text.
void drawFillInAnswerCell(Session& session, PageCanvas& canvas, const PageMetrics& metrics,
                          const ProblemRecord& record, int cellX, int cellY);

/// `print00aClick`: the fill-in times-table engine.
void print00aClick(Session& session, PageCanvas& canvas);

}  // namespace kirune
