#include "render/standard_engine.h"

#include <algorithm>
#include <array>
#include <initializer_list>

#include "render/picture_names.h"
#include "render/sheet_frame.h"

namespace kirune {

namespace {

// Replaces the row of item 3 for the kinds 12, 13 and 14.
constexpr MetricsRow kStandardDivisionRow = {3, 24, 0, 40, 15, 20, 5};

struct Gap {
  int after;  // square number the gap follows
  int extra;  // pixels added to the step
};

constexpr std::array<Gap, 1> kRowGaps = {{{5, 16}}};
constexpr std::array<Gap, 3> kLongRowGaps = {{{5, 16}, {10, 24}, {15, 16}}};

void drawSquare(PageCanvas& canvas, int x, int t, int u) {
  canvas.moveTo(x, t);
  canvas.lineTo(x, t + u);
  canvas.lineTo(x + u, t + u);
  canvas.lineTo(x + u, t);
  canvas.lineTo(x, t);
}

template <std::size_t N>
void drawSquareRow(PageCanvas& canvas, int x0, int t, int u, int m, const std::array<Gap, N>& gaps) {
  int x = x0;
  for (int square = 1; square <= m; ++square) {
    drawSquare(canvas, x, t, u);
    x += u;
    for (const Gap& gap : gaps) {
      if (gap.after == square) x += gap.extra;
    }
  }
}

void drawScale(PageCanvas& canvas, int x0, int y, int u) {
  canvas.setPenWidth(3);
  canvas.moveTo(x0, y);
  canvas.lineTo(x0, y - u / 6);
  int x = x0;
  for (int step = 1; step <= 10; ++step) {
    canvas.moveTo(x, y);
    x += u;
    if (step == 5 || step == 6) x += 8;  // the scale bridges the 16-pixel gap after the fifth square
    canvas.lineTo(x, y);
    canvas.lineTo(x, y - u / 6);
  }
}

}  // namespace

PageMetrics standardPageMetrics(int mondaisuu, int shurui, int pageHeight) {
  if (mondaisuu == 3 && shurui >= 12 && shurui <= 14) return metricsFromRow(kStandardDivisionRow, pageHeight);
  return metricsForItem(kStandardMetricsRows, mondaisuu, pageHeight);
}

int answerRowHalfBoxes(const ProblemRecord& record) {
  if (record.sign == kDivided) {
    return record.second != 0 && record.first % record.second != 0 ? 15 : 12;
  }
  return record.result / 10 > 0 ? 14 : 12;
}

PageMetrics standardAnswerMetrics(const PageMetrics& metrics, int pageWidth,
                                  std::span<const ProblemRecord> answers) {
  int need = 0;
  for (const ProblemRecord& record : answers) need = std::max(need, answerRowHalfBoxes(record));
  if (need == 0 || metrics.columnCount <= 0) return metrics;
  const int colW = (pageWidth - 2 * metrics.glyphWidth) / metrics.columnCount;
  PageMetrics narrowed = metrics;
  narrowed.glyphWidth = std::min(metrics.glyphWidth, ((colW - metrics.glyphWidth / 2) * 2) / need);
  return narrowed;
}

CellOrigin standardCellOrigin(const PageMetrics& metrics, int pageWidth, int mondaisuu, int k) {
  const PageMetrics& m = metrics;
  CellOrigin o;
  o.x = ((pageWidth - 2 * m.glyphWidth) / m.columnCount) * (k / m.rowsPerColumn) + 2 * m.glyphWidth;
  o.y = 2 * m.rowPitch + 2 * m.glyphHeight + (k % m.rowsPerColumn) * m.rowPitch;
  if (mondaisuu == 0) o.y -= m.glyphHeight;
  return o;
}

void drawTiles(Session& session, PageCanvas& canvas, const PageMetrics& metrics, const ProblemRecord& record,
               int cellX, int cellY) {
  if (session.settings.withTiles != 1) return;
  if (record.sign != kPlus && record.sign != kMinus) return;
  const int u = metrics.rowPitch / 8;
  const int x0 = cellX;
  const int a = record.first;
  canvas.setPenWidth(6);
  if (record.sign == kPlus) {
    drawSquareRow(canvas, x0, cellY - metrics.rowPitch / 3 - u, u, a, kRowGaps);
    drawSquareRow(canvas, x0, cellY - metrics.rowPitch / 9 - u, u, record.second, kRowGaps);
    drawScale(canvas, x0, cellY - u + u / 2, u);
    return;
  }
  if (session.settings.trg == 1) {
    drawSquareRow(canvas, x0, cellY - metrics.rowPitch / 6 - u, u, a, kLongRowGaps);
  } else {
    drawSquareRow(canvas, x0, cellY - metrics.rowPitch / 6 - u, u, a > 10 ? a - 10 : a, kRowGaps);
    if (a > 10) drawSquareRow(canvas, x0, cellY - metrics.rowPitch / 3 - u, u, 10, kRowGaps);
  }
  drawScale(canvas, x0, cellY - u + u / 10, u);
}

void drawProblemCell(Session& session, PageCanvas& canvas, const PageMetrics& metrics,
                     const ProblemRecord& record, int cellX, int cellY) {
  drawTiles(session, canvas, metrics, record, cellX, cellY);
  const GlyphBox box = metrics.box();
  int x = drawTwoPlace(session, canvas, box, record.first, cellX, cellY, true);
  x = drawSingle(session, canvas, box, record.sign, x, cellY, true);
  x = drawSingle(session, canvas, box, record.second, x, cellY, true);
  drawSingle(session, canvas, box, kEquals, x, cellY, true);
}

void drawAnswerCell(Session& session, PageCanvas& canvas, const PageMetrics& metrics,
                    const ProblemRecord& record, int cellX, int cellY) {
  const GlyphBox box = metrics.box();
  const int a = record.first;
  const int b = record.second;
  int x = drawTwoPlace(session, canvas, box, a, cellX, cellY);
  x = drawSingle(session, canvas, box, record.sign, x, cellY);
  x = drawSingle(session, canvas, box, b, x, cellY);
  x = drawSingle(session, canvas, box, kEquals, x, cellY);
  if (record.sign != kDivided) {
    drawCompact(session, canvas, box, record.result, x, cellY);
    return;
  }
  if (b == 0) return;  // no division record divides by 0; never divide by it either
  x = drawSingle(session, canvas, box, a / b, x, cellY);
  if (a % b != 0) {
    canvas.stretchDraw(Rect{x, cellY, x + box.width / 2, cellY + box.height},
                       session.images.get(pictures::kRemainder));
    drawSingle(session, canvas, box, a % b, x + box.width / 2, cellY);
  }
}

namespace {

SheetLayout standardLayout(const Settings& settings, int pageHeight) {
  return gridSheetLayout(standardPageMetrics(settings.mondaisuu(), settings.shurui, pageHeight), false);
}

constexpr SheetEngine kStandardSheets = {
    .layout = standardLayout,
    .problemOrigin = standardCellOrigin,
    .drawProblem = drawProblemCell,
    .answerOrigin = standardCellOrigin,
    .drawAnswer = drawAnswerCell,
    .answerCellMetrics = standardAnswerMetrics,
};

}  // namespace

void print00Click(Session& session, PageCanvas& canvas) { printSheets(kStandardSheets, session, canvas); }

}  // namespace kirune
