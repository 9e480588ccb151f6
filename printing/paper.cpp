#include "printing/paper.h"

#include <QRect>
#include <QRectF>
#include <cmath>

namespace kirune {
namespace {

// The PDF page in whole points that covers `pixels` at 600 dpi; a tolerance of a twentieth of a point
// keeps A4 (595 x 842 pt, which Qt rounds to 4958 x 7017 px) at A4.
QPageSize pdfPageSize(QSize pixels) {
  const auto points = [](int px) { return static_cast<int>(std::ceil(px * 72.0 / kDotsPerInch - 0.05)); };
  return QPageSize(QSize(points(pixels.width()), points(pixels.height())), QString(), QPageSize::ExactMatch);
}

}  // namespace

QSize a4PagePixels() { return QPageSize(QPageSize::A4).sizePixels(kDotsPerInch); }

QPageSize paperSize(std::string_view name) {
  struct Paper {
    std::string_view name;
    QPageSize::PageSizeId id;
  };
  static constexpr Paper kPapers[] = {{"A4", QPageSize::A4},      {"A3", QPageSize::A3},
                                      {"A5", QPageSize::A5},      {"B4", QPageSize::JisB4},
                                      {"B5", QPageSize::JisB5},   {"Letter", QPageSize::Letter},
                                      {"Legal", QPageSize::Legal}};
  for (const Paper& p : kPapers) {
    if (p.name == name) return QPageSize(p.id);
  }
  return QPageSize(QPageSize::A4);
}

QPageLayout paperLayout(const QPageSize& paper) {
  return QPageLayout(paper, QPageLayout::Portrait, QMarginsF(5, 5, 5, 5), QPageLayout::Millimeter);
}

QPageLayout fullPageLayout(QSize pixels) {
  return QPageLayout(pdfPageSize(pixels), QPageLayout::Portrait, QMarginsF());
}

QSize drawingArea(const QPageLayout& layout) { return layout.paintRectPixels(kDotsPerInch).size(); }

PdfPage pdfPage(const QPageLayout& layout) {
  const QRectF paper = layout.fullRect(QPageLayout::Point);
  // In millimetres: Qt rounds a layout's rectangles in points to whole points.
  const QRectF area = layout.paintRect(QPageLayout::Millimeter);
  const double mm = 72 / 25.4;
  const QSize pixels = drawingArea(layout);
  return {paper.width(), paper.height(), area.left() * mm, area.top() * mm, pixels.width(), pixels.height()};
}

PdfPage pdfPage(QSize pixels) {
  const QSizeF points = pdfPageSize(pixels).size(QPageSize::Point);
  return {points.width(), points.height(), 0, 0, pixels.width(), pixels.height()};
}

}  // namespace kirune
