#pragma once

#include "problems/problem_pool.h"
#include "render/page_canvas.h"
#include "render/page_layout.h"
#include "render/session.h"

namespace kirune {

/// Page metrics of the decomposition engine (items 7, 8, 0, 9, 4); glyphs are narrower (div 15) for 20
/// problems. Any other item gives sizes 0 and a 1 x 1 grid.
PageMetrics decompositionPageMetrics(int mondaisuu, int pageHeight);

/// Origin x, y of the diagram of problem k (0-based, column by column); for 20 problems half a glyph
/// further left and one glyph height higher.
CellOrigin decompositionCellOrigin(const PageMetrics& metrics, int pageWidth, int mondaisuu, int k);
/// Origin of the answer line of problem k; for 20 problems one glyph height higher.
CellOrigin decompositionAnswerOrigin(const PageMetrics& metrics, int pageWidth, int mondaisuu, int k);

/// The record as the answer sheet keeps it: the part marked 15 worked out from N, operator 10 ("=").
ProblemRecord completeDecomposition(const ProblemRecord& record);

/// The cherry diagram of a pool record at (x, y): two circles with stalks to the apex, the given part,
/// and N on top; text under each digit. The pen width is the caller's (8 on a question sheet).
void drawCherryDiagram(Session& session, PageCanvas& canvas, const PageMetrics& metrics,
                       const ProblemRecord& record, int x, int y);
/// The answer line N = a + b of a completed record at (x, y).
void drawDecompositionAnswer(Session& session, PageCanvas& canvas, const PageMetrics& metrics,
                             const ProblemRecord& completed, int x, int y);

/// `print00bClick`: the decomposition engine.
void print00bClick(Session& session, PageCanvas& canvas);

}  // namespace kirune
