#include "printing/qt_page_canvas.h"

#include <QFontMetricsF>
#include <QPen>
#include <QString>
#include <algorithm>
#include <cmath>

namespace kirune {

QtPageCanvas::QtPageCanvas(DocumentSink& sink, int pageWidth, int pageHeight)
    : sink_(sink), pageWidth_(pageWidth), pageHeight_(pageHeight) {}

QtPageCanvas::~QtPageCanvas() {
  if (!finished_ && (inDocument_ || painter_.isActive())) sink_.abandon(painter_);
}

void QtPageCanvas::beginDoc() {
  const int number = documentCount_ + 1;
  sink_.beginDocument(painter_, number);
  documentCount_ = number;
  inDocument_ = true;
  painter_.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform |
                          QPainter::TextAntialiasing);
  painter_.setBackgroundMode(Qt::OpaqueMode);
  painter_.setBackground(Qt::white);
}

void QtPageCanvas::endDoc() {
  if (!inDocument_) return;
  inDocument_ = false;
  sink_.endDocument(painter_, documentCount_);
}

void QtPageCanvas::finish() {
  if (finished_) return;
  finished_ = true;
  sink_.finish(painter_);
}

const QImage& QtPageCanvas::imageOf(const Picture& picture) {
  auto found = images_.find(&picture);
  if (found != images_.end()) return found->second;
  QImage image;
  const bool grey = picture.channels == 1;
  const qsizetype rowBytes = static_cast<qsizetype>(picture.width) * picture.channels;
  if (picture.width > 0 && picture.height > 0 &&
      picture.pixels.size() >=
          static_cast<std::size_t>(rowBytes) * static_cast<std::size_t>(picture.height)) {
    // Wraps the decoded rows, then copies so the QImage owns its pixels.
    image = QImage(picture.pixels.data(), picture.width, picture.height, rowBytes,
                   grey ? QImage::Format_Grayscale8 : QImage::Format_RGB888)
                .copy();
  }
  return images_.emplace(&picture, std::move(image)).first->second;
}

void QtPageCanvas::stretchDraw(const Rect& rect, const Picture& picture) {
  if (!inDocument_ || rect.right <= rect.left || rect.bottom <= rect.top) return;
  const QImage& image = imageOf(picture);
  if (image.isNull()) return;
  painter_.drawImage(QRect(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top), image);
}

void QtPageCanvas::setPenWidth(int width) { penWidth_ = width; }

void QtPageCanvas::moveTo(int x, int y) { position_ = QPoint(x, y); }

void QtPageCanvas::lineTo(int x, int y) {
  const QPoint to(x, y);
  if (inDocument_) {
    // Square caps close the corners where the separate strokes of a tile square meet.
    painter_.setPen(QPen(Qt::black, std::max(penWidth_, 1), Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter_.drawLine(position_, to);
  }
  position_ = to;
}

void QtPageCanvas::setFontName(const std::string& name) { fontName_ = name; }

void QtPageCanvas::setFontHeight(int height) { fontHeight_ = height; }

QFont QtPageCanvas::currentFont() {
  QFont font(QString::fromStdString(fontName_));
  font.setHintingPreference(QFont::PreferNoHinting);
  auto ratio = cellPerEm_.find(fontName_);
  if (ratio == cellPerEm_.end()) {
    QFont probe = font;
    probe.setPixelSize(1000);
    const QFontMetricsF metrics(probe);
    const qreal cell = (metrics.ascent() + metrics.descent()) / 1000.0;
    ratio = cellPerEm_.emplace(fontName_, cell > 0 ? cell : 1.0).first;
  }
  // The height given is the whole character cell; Qt's pixel size is the em, which is smaller.
  font.setPixelSize(std::max(1, static_cast<int>(std::lround(fontHeight_ / ratio->second))));
  return font;
}

void QtPageCanvas::textOut(int x, int y, const std::string& text) {
  if (!inDocument_ || text.empty()) return;
  const QFont font = currentFont();
  painter_.setFont(font);
  painter_.setPen(Qt::black);
  const QFontMetricsF metrics(font, painter_.device());
  painter_.drawText(QPointF(x, y + metrics.ascent()),
                    QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

}  // namespace kirune
