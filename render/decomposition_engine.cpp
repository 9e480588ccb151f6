#include "render/decomposition_engine.h"

#include <array>

#include "render/glyphs.h"
#include "render/picture_names.h"
#include "render/sheet_frame.h"

namespace kirune {

namespace {

constexpr std::array<MetricsRow, 5> kDecompositionRows = {{
    {7, 6, 210, 24, 14, 5, 2},  // 10
    {8, 6, 210, 25, 14, 5, 3},  // 15
    {0, 6, 210, 27, 15, 5, 4},  // 20
    {9, 4, 120, 24, 14, 3, 3},  // 9
    {4, 5, 120, 24, 14, 4, 3},  // 12
}};

// A digit of the diagram: its text at the glyph's top-left, then the glyph over it.
void drawDiagramDigit(Session& session, PageCanvas& canvas, int digit, const Rect& rect) {
  const std::string_view text = underlayText(digit);
  if (!text.empty() && isDigitCode(digit)) {
    canvas.setFontName(session.settings.Edit1);
    canvas.textOut(rect.left, rect.top, std::string(text));
  }
  drawGlyph(session, canvas, digit, rect);
}

}  // namespace

PageMetrics decompositionPageMetrics(int mondaisuu, int pageHeight) {
  return metricsForItem(kDecompositionRows, mondaisuu, pageHeight);
}

CellOrigin decompositionCellOrigin(const PageMetrics& metrics, int pageWidth, int mondaisuu, int k) {
  const int gw = metrics.glyphWidth;
  const int gh = metrics.glyphHeight;
  CellOrigin o;
  o.x = 2 * gw + ((pageWidth - 2 * gw) / metrics.columnCount) * (k / metrics.rowsPerColumn) + gw;
  o.y = 2 * gh + metrics.rowPitch + gh / 5 + (k % metrics.rowsPerColumn) * metrics.rowPitch;
  if (mondaisuu == 0) {
    o.x -= gw / 2;
    o.y -= gh;
  }
  return o;
}

CellOrigin decompositionAnswerOrigin(const PageMetrics& metrics, int pageWidth, int mondaisuu, int k) {
  const int gw = metrics.glyphWidth;
  const int gh = metrics.glyphHeight;
  CellOrigin o;
  o.x = 2 * gw + ((pageWidth - 2 * gw) / metrics.columnCount) * (k / metrics.rowsPerColumn);
  o.y = 2 * gh + metrics.rowPitch + (k % metrics.rowsPerColumn) * metrics.rowPitch;
  if (mondaisuu == 0) o.y -= gh;
  return o;
}

ProblemRecord completeDecomposition(const ProblemRecord& record) {
  ProblemRecord c = record;
  if (record.second == kCircle) c.second = record.first - record.result;
  if (record.result == kCircle) c.result = record.first - record.second;
  c.sign = kEquals;
  return c;
}

void drawCherryDiagram(Session& session, PageCanvas& canvas, const PageMetrics& metrics,
                       const ProblemRecord& record, int x, int y) {
  const int gw = metrics.glyphWidth;
  const int gh = metrics.glyphHeight;
  const Picture& circle = session.images.get(pictures::kEmptyCircle);
  const int apexX = x + 2 * gw + gw / 3;
  const int apexY = y - gw + gw / 16;

  canvas.stretchDraw(Rect{x - gh / 3, y - gh / 4, x + 2 * gw, y + 2 * gw}, circle);
  canvas.moveTo(x + gw - gh / 6, y - gh / 4 + 2);
  canvas.lineTo(apexX, apexY);
  if (record.second != kCircle) {
    const int left = x + gw / 4;
    const int top = y + gh / 14;
    drawDiagramDigit(session, canvas, record.second, Rect{left, top, left + gw, top + gh});
  }

  const int x2 = x + 3 * gw;
  canvas.stretchDraw(Rect{x2 - gh / 3, y - gh / 4, x2 + 2 * gw, y + 2 * gw}, circle);
  canvas.moveTo(x2 + gw - gh / 6, y - gh / 4 + 2);
  canvas.lineTo(x2 - gw + gw / 3, y - gw + gw / 16);
  if (record.result != kCircle) {
    const int left = x2 + gw / 4;
    const int top = y + gh / 14;
    drawDiagramDigit(session, canvas, record.result, Rect{left, top, left + gw, top + gh});
  }

  const int n = record.first;
  const int yN = y - 2 * gh + gh / 6;
  const int xN = x2 - gw - gw / 6;
  if (n < 10) {
    drawDiagramDigit(session, canvas, n, Rect{xN, yN, xN + gw, yN + gh});
  } else {
    // Two digits, centred over the apex: half a glyph to the left.
    const int tensX = xN - gw / 2;
    drawDiagramDigit(session, canvas, n / 10, Rect{tensX, yN, tensX + gw, yN + gh});
    drawDiagramDigit(session, canvas, n % 10, Rect{tensX + gw, yN, tensX + 2 * gw, yN + gh});
  }
}

void drawDecompositionAnswer(Session& session, PageCanvas& canvas, const PageMetrics& metrics,
                             const ProblemRecord& completed, int x, int y) {
  const GlyphBox box = metrics.box();
  const auto slot = [&](int s) { return x + s * box.width; };
  if (completed.first / 10 > 0) drawGlyph(session, canvas, box, completed.first / 10, slot(0), y);
  drawGlyph(session, canvas, box, completed.first % 10, slot(1), y);
  drawGlyph(session, canvas, box, completed.sign, slot(2), y);
  drawGlyph(session, canvas, box, completed.second, slot(3), y);
  drawGlyph(session, canvas, box, kPlus, slot(4), y);
  drawGlyph(session, canvas, box, completed.result, slot(5), y);
}

namespace {

SheetLayout decompositionLayout(const Settings& settings, int pageHeight) {
  SheetLayout layout;
  layout.metrics = decompositionPageMetrics(settings.mondaisuu(), pageHeight);
  const int gw = layout.metrics.glyphWidth;
  const int gh = layout.metrics.glyphHeight;
  layout.problems = {gw, gw + gh, true};
  layout.answers = {gh, gh, false};
  layout.problemFontHeight = digitFontHeight(gh);
  layout.problemPenWidth = 8;  // the stalks of the diagrams
  return layout;
}

// The answer sheet shows the worked-out part, so the sheet keeps the completed record.
constexpr SheetEngine kDecompositionSheets = {
    .layout = decompositionLayout,
    .problemOrigin = decompositionCellOrigin,
    .drawProblem = drawCherryDiagram,
    .answerOrigin = decompositionAnswerOrigin,
    .drawAnswer = drawDecompositionAnswer,
    .keepForAnswers = completeDecomposition,
};

}  // namespace

void print00bClick(Session& session, PageCanvas& canvas) {
  printSheets(kDecompositionSheets, session, canvas);
}

}  // namespace kirune
