#include "render/decomposition_engine.h"

#include <array>

#include "render/clip_art.h"
#include "render/glyphs.h"

namespace kirune {

namespace {

constexpr int kCircleCode = 15;

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
  if (!text.empty() && digit <= 9) {
    canvas.setFontName(session.settings.Edit1);
    canvas.textOut(rect.left, rect.top, std::string(text));
  }
  drawGlyph(session, canvas, digit, rect);
}

}  // namespace

PageMetrics decompositionPageMetrics(int mondaisuu, int pageHeight) {
  for (const MetricsRow& row : kDecompositionRows) {
    if (row.item == mondaisuu) return metricsFromRow(row, pageHeight);
  }
  return PageMetrics{};
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
  if (record.second == kCircleCode) c.second = record.first - record.result;
  if (record.result == kCircleCode) c.result = record.first - record.second;
  c.sign = 10;
  return c;
}

void drawCherryDiagram(Session& session, PageCanvas& canvas, const PageMetrics& metrics,
                       const ProblemRecord& record, int x, int y) {
  const int gw = metrics.glyphWidth;
  const int gh = metrics.glyphHeight;
  const Picture& circle = session.images.get("TForm2.Image52");
  const int apexX = x + 2 * gw + gw / 3;
  const int apexY = y - gw + gw / 16;

  canvas.stretchDraw(Rect{x - gh / 3, y - gh / 4, x + 2 * gw, y + 2 * gw}, circle);
  canvas.moveTo(x + gw - gh / 6, y - gh / 4 + 2);
  canvas.lineTo(apexX, apexY);
  if (record.second != kCircleCode) {
    const int left = x + gw / 4;
    const int top = y + gh / 14;
    drawDiagramDigit(session, canvas, record.second, Rect{left, top, left + gw, top + gh});
  }

  const int x2 = x + 3 * gw;
  canvas.stretchDraw(Rect{x2 - gh / 3, y - gh / 4, x2 + 2 * gw, y + 2 * gw}, circle);
  canvas.moveTo(x2 + gw - gh / 6, y - gh / 4 + 2);
  canvas.lineTo(x2 - gw + gw / 3, y - gw + gw / 16);
  if (record.result != kCircleCode) {
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
  drawGlyph(session, canvas, box, 11, slot(4), y);
  drawGlyph(session, canvas, box, completed.result, slot(5), y);
}

void print00bClick(Session& session, PageCanvas& canvas) {
  Settings& settings = session.settings;
  if (!settings.CheckBox3) return;

  print03Click(session);
  settings.Label6 = true;
  settings.Label7 = false;
  session.pageHeight = canvas.pageHeight();
  session.pageWidth = canvas.pageWidth();

  const int item = settings.mondaisuu();
  const PageMetrics metrics = decompositionPageMetrics(item, session.pageHeight);
  const int gw = metrics.glyphWidth;
  const int gh = metrics.glyphHeight;

  const int sheets = settings.SpinEdit1;
  for (int sheet = 0; sheet < sheets; ++sheet) {
    canvas.beginDoc();
    canvas.setFontHeight(digitFontHeight(gh));
    canvas.setPenWidth(8);
    if (settings.CheckBox1) drawNameHeader(session, canvas, metrics, gw + gh);
    if (settings.CheckBox2) {
      print03Click(session);
      drawClipArt(session, canvas, metrics, gw);
    }

    startSheet(settings, session.pool, session.rng);
    const int n = settings.SpinEdit3();
    for (int k = 0; k < n; ++k) {
      const ProblemRecord* dealt = dealNext(session.pool, session.rng, k + 1);
      if (dealt == nullptr) break;  // an empty pool deals nothing
      const ProblemRecord record = *dealt;
      session.pool.sheetProblems[static_cast<std::size_t>(k + 1)] = completeDecomposition(record);
      const CellOrigin o = decompositionCellOrigin(metrics, session.pageWidth, item, k);
      drawCherryDiagram(session, canvas, metrics, record, o.x, o.y);
    }

    if (settings.CheckBox16) drawTimeField(session, canvas, metrics);
    canvas.endDoc();

    if (settings.CheckBox15) {
      canvas.beginDoc();
      if (settings.CheckBox2) drawClipArt(session, canvas, metrics, gh);
      if (settings.CheckBox1) drawNameHeader(session, canvas, metrics, gh);
      const int answers = settings.SpinEdit3();
      for (int k = 0; k < answers && k < session.pool.dealtCount; ++k) {
        const CellOrigin o = decompositionAnswerOrigin(metrics, session.pageWidth, item, k);
        drawDecompositionAnswer(session, canvas, metrics,
                                session.pool.sheetProblems[static_cast<std::size_t>(k + 1)], o.x, o.y);
      }
      canvas.endDoc();
    }
  }

  settings.Label7 = false;
  settings.Label6 = false;
}

}  // namespace kirune
