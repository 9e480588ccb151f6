#include "render/standard_engine.h"

#include <array>
#include <initializer_list>

#include "render/sheet_frame.h"

namespace kirune {

namespace {

// Page metrics by item of mondaisuu; the division row replaces item 3 for the kinds 12, 13 and 14.
constexpr std::array<MetricsRow, 10> kStandardRows = {{
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

PageMetrics metricsFromRow(const MetricsRow& row, int pageHeight) {
  PageMetrics m;
  m.rowPitch = pageHeight / row.pitchDivisor;
  if (row.pitchLessDivisor != 0)
    m.rowPitch = pageHeight / row.pitchDivisor - pageHeight / row.pitchLessDivisor;
  m.glyphHeight = pageHeight / row.heightDivisor;
  m.glyphWidth = (m.glyphHeight / row.widthDivisor) * 10;
  m.rowsPerColumn = row.rowsPerColumn;
  m.columnCount = row.columnCount;
  return m;
}

PageMetrics standardPageMetrics(int mondaisuu, int shurui, int pageHeight) {
  if (mondaisuu == 3 && shurui >= 12 && shurui <= 14) return metricsFromRow(kStandardDivisionRow, pageHeight);
  for (const MetricsRow& row : kStandardRows) {
    if (row.item == mondaisuu) return metricsFromRow(row, pageHeight);
  }
  return PageMetrics{};
}

CellOrigin standardCellOrigin(const PageMetrics& metrics, int pageWidth, int mondaisuu, int k) {
  const PageMetrics& m = metrics;
  CellOrigin o;
  o.x = ((pageWidth - 2 * m.glyphWidth) / m.columnCount) * (k / m.rowsPerColumn) + 2 * m.glyphWidth;
  o.y = 2 * m.rowPitch + 2 * m.glyphHeight + (k % m.rowsPerColumn) * m.rowPitch;
  if (mondaisuu == 0) o.y -= m.glyphHeight;
  return o;
}

void drawClipArt(Session& session, PageCanvas& canvas, const PageMetrics& metrics, int top) {
  if (session.cut == nullptr) return;
  const int left = 2 * metrics.glyphWidth;
  const int side = 3 * metrics.glyphHeight;
  canvas.stretchDraw(Rect{left, top, left + side, top + side}, *session.cut);
}

void drawNameHeader(Session& session, PageCanvas& canvas, const PageMetrics& metrics, int y0) {
  const int gh = metrics.glyphHeight;
  const int gw = metrics.glyphWidth;
  const int W = session.pageWidth;
  const int nameX = W / 4;
  canvas.stretchDraw(Rect{nameX, y0, nameX + 3 * gh, y0 + gh}, session.images.get("TForm2.Image41"));
  const int openX = W / 4 + 3 * gh;
  canvas.stretchDraw(Rect{openX, y0, openX + gw / 3, y0 + gh}, session.images.get("TForm2.Image42"));
  const int closeX = (W / 10) * 9;
  canvas.stretchDraw(Rect{closeX, y0, closeX + gw / 3, y0 + gh}, session.images.get("TForm2.Image43"));
}

void drawTimeField(Session& session, PageCanvas& canvas, const PageMetrics& metrics) {
  const int gh = metrics.glyphHeight;
  const int gw = metrics.glyphWidth;
  const int W = session.pageWidth;
  const int H = session.pageHeight;
  const int top = H - (2 * gh) / 3;
  const int minutesX = W - 5 * gw - gw / 2;
  canvas.stretchDraw(Rect{minutesX, top, minutesX + gw, H}, session.images.get("TForm1.Image7"));
  canvas.stretchDraw(Rect{W - 2 * gw, top, W, H}, session.images.get("TForm1.Image8"));
}

void drawTiles(Session& session, PageCanvas& canvas, const PageMetrics& metrics, const ProblemRecord& record,
               int cellX, int cellY) {
  if (session.settings.withTiles != 1) return;
  if (record.sign != 11 && record.sign != 12) return;
  const int u = metrics.rowPitch / 8;
  const int x0 = cellX;
  const int a = record.first;
  canvas.setPenWidth(6);
  if (record.sign == 11) {
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
  drawSingle(session, canvas, box, 10, x, cellY, true);
}

void drawAnswerCell(Session& session, PageCanvas& canvas, const PageMetrics& metrics,
                    const ProblemRecord& record, int cellX, int cellY) {
  const GlyphBox box = metrics.box();
  const int a = record.first;
  const int b = record.second;
  int x = drawTwoPlace(session, canvas, box, a, cellX, cellY);
  x = drawSingle(session, canvas, box, record.sign, x, cellY);
  x = drawSingle(session, canvas, box, b, x, cellY);
  x = drawSingle(session, canvas, box, 10, x, cellY);
  if (record.sign != 14) {
    drawCompact(session, canvas, box, record.result, x, cellY);
    return;
  }
  if (b == 0) return;  // no division record divides by 0; never divide by it either
  x = drawSingle(session, canvas, box, a / b, x, cellY);
  if (a % b != 0) {
    canvas.stretchDraw(Rect{x, cellY, x + box.width / 2, cellY + box.height},
                       session.images.get("TForm1.Image6"));
    drawSingle(session, canvas, box, a % b, x + box.width / 2, cellY);
  }
}

namespace {

class StandardSheets final : public SheetEngine {
 public:
  SheetLayout layout(const Settings& settings, int pageHeight) const override {
    const int item = settings.mondaisuu();
    return gridSheetLayout(standardPageMetrics(item, settings.shurui, pageHeight), item, false);
  }
  void drawProblem(Session& session, PageCanvas& canvas, const SheetLayout& layout, int k,
                   ProblemRecord dealt) const override {
    const CellOrigin o = standardCellOrigin(layout.metrics, session.pageWidth, layout.mondaisuu, k);
    drawProblemCell(session, canvas, layout.metrics, dealt, o.x, o.y);
  }
  void drawAnswer(Session& session, PageCanvas& canvas, const SheetLayout& layout, int k,
                  const ProblemRecord& kept) const override {
    const CellOrigin o = standardCellOrigin(layout.metrics, session.pageWidth, layout.mondaisuu, k);
    drawAnswerCell(session, canvas, layout.metrics, kept, o.x, o.y);
  }
};

}  // namespace

void print00Click(Session& session, PageCanvas& canvas) { printSheets(StandardSheets{}, session, canvas); }

}  // namespace kirune
