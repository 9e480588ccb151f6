#include "render/page_layout.h"

#include "render/picture_names.h"

namespace kirune {

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

PageMetrics metricsForItem(std::span<const MetricsRow> rows, int mondaisuu, int pageHeight) {
  for (const MetricsRow& row : rows) {
    if (row.item == mondaisuu) return metricsFromRow(row, pageHeight);
  }
  return PageMetrics{};
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
  canvas.stretchDraw(Rect{nameX, y0, nameX + 3 * gh, y0 + gh}, session.images.get(pictures::kNameLabel));
  const int openX = W / 4 + 3 * gh;
  canvas.stretchDraw(Rect{openX, y0, openX + gw / 3, y0 + gh}, session.images.get(pictures::kOpenParen));
  const int closeX = (W / 10) * 9;
  canvas.stretchDraw(Rect{closeX, y0, closeX + gw / 3, y0 + gh}, session.images.get(pictures::kCloseParen));
}

void drawTimeField(Session& session, PageCanvas& canvas, const PageMetrics& metrics) {
  const int gh = metrics.glyphHeight;
  const int gw = metrics.glyphWidth;
  const int W = session.pageWidth;
  const int H = session.pageHeight;
  const int top = H - (2 * gh) / 3;
  const int minutesX = W - 5 * gw - gw / 2;
  canvas.stretchDraw(Rect{minutesX, top, minutesX + gw, H}, session.images.get(pictures::kMinutes));
  canvas.stretchDraw(Rect{W - 2 * gw, top, W, H}, session.images.get(pictures::kSeconds));
}

}  // namespace kirune
