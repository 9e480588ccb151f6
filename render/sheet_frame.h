#pragma once

#include <optional>
#include <span>

#include "problems/problem_pool.h"
#include "render/page_canvas.h"
#include "render/page_layout.h"
#include "render/session.h"

namespace kirune {

/// Where the clip-art and the name header of one kind of document go, and which comes first.
struct SheetHeading {
  int clipArtTop = 0;      ///< top of the clip-art square
  int headerTop = 0;       ///< top of the name header line
  bool nameFirst = false;  ///< the header is drawn before the clip-art
};

/// The values an engine fixes for a whole run.
struct SheetLayout {
  PageMetrics metrics;
  SheetHeading problems;  ///< heading of a problem document
  SheetHeading answers;   ///< heading of an answer document
  /// Set at the start of each problem document, before its heading (font first); empty: left alone.
  std::optional<int> problemFontHeight;
  std::optional<int> problemPenWidth;
};

/// The layout of the grid sheets (standard and fill-in): clip-art at glyphWidth + glyphHeight, the
/// header at rowPitch + glyphHeight on both documents; the answer document always draws clip-art first.
SheetLayout gridSheetLayout(const PageMetrics& metrics, bool nameFirstOnProblems);

/// Origin of cell k (0-based) for the count item `mondaisuu` on a page `pageWidth` wide.
using CellOriginFn = CellOrigin (*)(const PageMetrics& metrics, int pageWidth, int mondaisuu, int k);
/// Draws one problem or answer cell with its origin at (x, y).
using CellFn = void (*)(Session& session, PageCanvas& canvas, const PageMetrics& metrics,
                        const ProblemRecord& record, int x, int y);

/// One engine as the sheet frame sees it: its values and its cells, and nothing of the sheet's order,
/// which the frame alone owns, so the engines cannot drift apart in how a sheet is put together.
struct SheetEngine {
  /// The run's metrics and headings for `settings` on a page `pageHeight` high.
  SheetLayout (*layout)(const Settings& settings, int pageHeight);
  CellOriginFn problemOrigin;
  CellFn drawProblem;
  CellOriginFn answerOrigin;
  CellFn drawAnswer;
  /// The record the answer sheet keeps for a dealt one, written back into `sheetProblems`; nullptr:
  /// the record as dealt.
  ProblemRecord (*keepForAnswers)(const ProblemRecord& dealt) = nullptr;
  /// The metrics the answer cells of one answer page are drawn with, given every record of that page
  /// (cell origins still come from the run's metrics); nullptr: the run's metrics.
  PageMetrics (*answerCellMetrics)(const PageMetrics& metrics, int pageWidth,
                                   std::span<const ProblemRecord> answers) = nullptr;
};

/// The sheet loop of every engine: nothing while `CheckBox3` is off; otherwise a clip-art draw, the
/// page size from `canvas`, then `SpinEdit1` problem documents (heading, dealt problems, time field),
/// each followed by its answer document when `CheckBox15` is on.
void printSheets(const SheetEngine& engine, Session& session, PageCanvas& canvas);

}  // namespace kirune
