#include "render/fill_in_engine.h"

#include <array>

#include "render/glyphs.h"
#include "render/sheet_frame.h"
#include "render/standard_engine.h"

namespace kirune {

namespace {

// The standard rows without the 5 and 18 problems, which have no fill-in preset.
constexpr std::array<MetricsRow, 8> kFillInRows = [] {
  std::array<MetricsRow, 8> rows{};
  std::size_t n = 0;
  for (const MetricsRow& row : kStandardMetricsRows) {
    if (row.item != 10 && row.item != 11) rows.at(n++) = row;
  }
  return rows;
}();

Rect boxRect(const PageMetrics& m, int x, int cellY) {
  return Rect{x, cellY - kFillInBoxMargin, x + m.glyphWidth + kFillInBoxExtra,
              cellY + m.glyphHeight + kFillInBoxMargin};
}

// Question operand: a digit with its text in the slot, or the box; returns the x after it.
int questionOperand(Session& session, PageCanvas& canvas, const PageMetrics& m, int value, int x, int cellY) {
  if (value == kBox) {
    drawGlyph(session, canvas, kBox, boxRect(m, x, cellY));
    return x + kFillInBoxExtra + m.glyphWidth;
  }
  if (isDigitCode(value)) canvas.textOut(x, cellY, std::string(underlayText(value)));
  drawGlyph(session, canvas, m.box(), value, x, cellY);
  return x + m.glyphWidth;
}

// Answer operand: a digit in the slot, or the box with the missing factor inside; returns the x of the
// operand's last slot (the caller steps on by glyphWidth).
int answerOperand(Session& session, PageCanvas& canvas, const PageMetrics& m, int value, int otherFactor,
                  int product, int x, int cellY) {
  if (value != kBox) {
    drawGlyph(session, canvas, m.box(), value, x, cellY);
    return x;
  }
  drawGlyph(session, canvas, kBox, boxRect(m, x, cellY));
  if (otherFactor != 0) {
    drawGlyph(session, canvas, m.box(), product / otherFactor, x + kFillInDigitShift, cellY);
  }
  return x + kFillInBoxExtra;
}

// The product after the equals sign at x, left-aligned.
void drawProduct(Session& session, PageCanvas& canvas, const PageMetrics& m, int product, int x, int cellY) {
  if (product / 10 > 0) {
    x += m.glyphWidth;
    drawGlyph(session, canvas, m.box(), product / 10, x, cellY);
  }
  x += m.glyphWidth;
  drawGlyph(session, canvas, m.box(), product % 10, x, cellY);
}

}  // namespace

PageMetrics fillInPageMetrics(int mondaisuu, int pageHeight) {
  return metricsForItem(kFillInRows, mondaisuu, pageHeight);
}

CellOrigin fillInCellOrigin(const PageMetrics& metrics, int pageWidth, int mondaisuu, int k) {
  const PageMetrics& m = metrics;
  CellOrigin o;
  o.x = 2 * m.glyphWidth + ((pageWidth - 2 * m.glyphWidth) / m.columnCount) * (k / m.rowsPerColumn) +
        m.glyphWidth - 17 * m.columnCount;
  o.y = 2 * m.rowPitch + 2 * m.glyphHeight + (k % m.rowsPerColumn) * m.rowPitch;
  if (mondaisuu == 0) o.y -= m.glyphHeight;
  return o;
}

void drawFillInQuestionCell(Session& session, PageCanvas& canvas, const PageMetrics& metrics,
                            const ProblemRecord& record, int cellX, int cellY) {
  const PageMetrics& m = metrics;
  const int digitHeight = digitFontHeight(m.glyphHeight);
  const int signHeight = signFontHeight(m.glyphHeight);
  canvas.setFontName(session.settings.Edit1);
  canvas.setFontHeight(digitHeight);

  int x = cellX;
  x = questionOperand(session, canvas, m, record.first, x, cellY);

  canvas.setFontHeight(signHeight);
  const std::string_view sign = underlayText(record.sign);
  if (!sign.empty()) canvas.textOut(x, cellY + m.glyphHeight / 6, std::string(sign));
  canvas.setFontHeight(digitHeight);
  drawGlyph(session, canvas, m.box(), record.sign, x, cellY);
  x += m.glyphWidth;

  x = questionOperand(session, canvas, m, record.second, x, cellY);

  canvas.setFontHeight(signHeight);
  canvas.textOut(x, cellY + m.glyphHeight / 5, std::string(underlayText(kEquals)));
  drawGlyph(session, canvas, m.box(), kEquals, x, cellY);

  drawProduct(session, canvas, m, record.result, x, cellY);
}

void drawFillInAnswerCell(Session& session, PageCanvas& canvas, const PageMetrics& metrics,
                          const ProblemRecord& record, int cellX, int cellY) {
  const PageMetrics& m = metrics;
  int x = cellX;
  x = answerOperand(session, canvas, m, record.first, record.second, record.result, x, cellY);
  x += m.glyphWidth;
  drawGlyph(session, canvas, m.box(), record.sign, x, cellY);
  x += m.glyphWidth;
  x = answerOperand(session, canvas, m, record.second, record.first, record.result, x, cellY);
  x += m.glyphWidth;
  drawGlyph(session, canvas, m.box(), kEquals, x, cellY);
  drawProduct(session, canvas, m, record.result, x, cellY);
}

namespace {

SheetLayout fillInLayout(const Settings& settings, int pageHeight) {
  SheetLayout layout = gridSheetLayout(fillInPageMetrics(settings.mondaisuu(), pageHeight), true);
  layout.problemFontHeight = digitFontHeight(layout.metrics.glyphHeight);
  return layout;
}

constexpr SheetEngine kFillInSheets = {
    .layout = fillInLayout,
    .problemOrigin = fillInCellOrigin,
    .drawProblem = drawFillInQuestionCell,
    .answerOrigin = fillInCellOrigin,
    .drawAnswer = drawFillInAnswerCell,
};

}  // namespace

void print00aClick(Session& session, PageCanvas& canvas) { printSheets(kFillInSheets, session, canvas); }

}  // namespace kirune
