#pragma once

#include <optional>

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
  int mondaisuu = 0;      ///< the count item the run started with
  SheetHeading problems;  ///< heading of a problem document
  SheetHeading answers;   ///< heading of an answer document
  /// Set at the start of each problem document, before its heading (font first); empty: left alone.
  std::optional<int> problemFontHeight;
  std::optional<int> problemPenWidth;
};

/// The layout of the grid sheets (standard and fill-in): clip-art at glyphWidth + glyphHeight, the
/// header at rowPitch + glyphHeight on both documents; the answer document always draws clip-art first.
SheetLayout gridSheetLayout(const PageMetrics& metrics, int mondaisuu, bool nameFirstOnProblems);

/// One engine as the sheet frame sees it: its values and its cells. The frame owns the order of
/// everything else, so the engines cannot drift apart in how a sheet is put together.
class SheetEngine {
 public:
  virtual ~SheetEngine() = default;

  /// The run's metrics and headings for `settings` on a page `pageHeight` high.
  virtual SheetLayout layout(const Settings& settings, int pageHeight) const = 0;
  /// Problem k (0-based) of the sheet, just dealt into `sheetProblems[k + 1]`; `dealt` is a copy, so
  /// the engine may rewrite the slot for its answer sheet.
  virtual void drawProblem(Session& session, PageCanvas& canvas, const SheetLayout& layout, int k,
                           ProblemRecord dealt) const = 0;
  /// Answer k (0-based) from the record kept in `sheetProblems[k + 1]`.
  virtual void drawAnswer(Session& session, PageCanvas& canvas, const SheetLayout& layout, int k,
                          const ProblemRecord& kept) const = 0;
};

/// The sheet loop of every engine: nothing while `CheckBox3` is off; otherwise a clip-art draw, the
/// page size from `canvas`, then `SpinEdit1` problem documents (heading, dealt problems, time field),
/// each followed by its answer document when `CheckBox15` is on.
void printSheets(const SheetEngine& engine, Session& session, PageCanvas& canvas);

}  // namespace kirune
