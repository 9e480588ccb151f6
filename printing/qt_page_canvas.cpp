#include "printing/qt_page_canvas.h"

#include <QFontMetricsF>
#include <QPen>
#include <QRawFont>
#include <QString>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

#include "printing/picture_image.h"

namespace kirune {

namespace {
constexpr int kBandHeight = 256;
}  // namespace

QImage DocumentSink::imageOf(const Picture& picture) const { return toQImage(picture); }

QtPageCanvas::QtPageCanvas(DocumentSink& sink, int pageWidth, int pageHeight)
    : sink_(sink),
      pageWidth_(pageWidth),
      pageHeight_(pageHeight),
      bands_(static_cast<std::size_t>(std::max(pageHeight, 0) / kBandHeight + 1)),
      painted_(bands_.size()) {}

std::pair<std::size_t, std::size_t> QtPageCanvas::bandsOf(const Box& box) const {
  // Anything above or below the page shares the first or the last band.
  const auto band = [this](int y) {
    return static_cast<std::size_t>(std::clamp(y / kBandHeight, 0, static_cast<int>(bands_.size()) - 1));
  };
  return {band(std::max(box.top, 0)), band(std::max(box.bottom - 1, 0))};
}

bool QtPageCanvas::overlapsAny(const Bands& bands, const Box& box) const {
  const auto overlaps = [&box](const Box& o) {
    return box.left < o.right && o.left < box.right && box.top < o.bottom && o.top < box.bottom;
  };
  const auto [first, last] = bandsOf(box);
  for (std::size_t b = first; b <= last; ++b) {
    if (std::any_of(bands[b].begin(), bands[b].end(), overlaps)) return true;
  }
  return false;
}

void QtPageCanvas::add(Bands& bands, const Box& box) const {
  const auto [first, last] = bandsOf(box);
  for (std::size_t b = first; b <= last; ++b) bands[b].push_back(box);
}

QtPageCanvas::~QtPageCanvas() {
  if (!finished_ && (inDocument_ || painter_.isActive())) sink_.abandon(painter_);
}

void QtPageCanvas::beginDoc(const DocumentInfo& info) {
  const int number = documentCount_ + 1;
  sink_.beginDocument(painter_, number, info);
  documentCount_ = number;
  inDocument_ = true;
  for (std::vector<Box>& band : painted_) band.clear();
  // Lossless: a PDF keeps the pictures' own samples rather than re-encoding them as JPEG.
  painter_.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform |
                          QPainter::TextAntialiasing | QPainter::LosslessImageRendering);
  painter_.setBackgroundMode(Qt::OpaqueMode);
  painter_.setBackground(Qt::white);
}

void QtPageCanvas::endDoc() {
  if (!inDocument_) return;
  flush();
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
  return images_.emplace(&picture, sink_.imageOf(picture)).first->second;
}

void QtPageCanvas::stretchDraw(const Rect& rect, const Picture& picture) {
  if (!inDocument_ || rect.right <= rect.left || rect.bottom <= rect.top) return;
  const QImage& image = imageOf(picture);
  if (image.isNull()) return;
  pending_.push_back({QRect(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top), &image});
  const Box box{rect.left, rect.top, rect.right, rect.bottom};
  add(bands_, box);
  add(painted_, box);
}

void QtPageCanvas::setPenWidth(int width) { penWidth_ = width; }

void QtPageCanvas::moveTo(int x, int y) { position_ = QPoint(x, y); }

void QtPageCanvas::lineTo(int x, int y) {
  const QPoint to(x, y);
  if (inDocument_) {
    flush();
    // Square caps close the corners where the separate strokes of a tile square meet.
    const int width = std::max(penWidth_, 1);
    painter_.setPen(QPen(Qt::black, width, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter_.drawLine(position_, to);
    // The caps reach half the width beyond the ends; one pixel more for the smoothed edge.
    const int reach = width / 2 + 2;
    add(painted_, {std::min(position_.x(), x) - reach, std::min(position_.y(), y) - reach,
                   std::max(position_.x(), x) + reach, std::max(position_.y(), y) + reach});
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

const QtPageCanvas::ShapedText& QtPageCanvas::shaped(const std::string& text) {
  auto key = std::make_tuple(fontName_, fontHeight_, text);
  auto found = shapedTexts_.find(key);
  if (found != shapedTexts_.end()) return found->second;
  const QFont font = currentFont();
  const QFontMetricsF metrics(font, painter_.device());
  QTextLayout layout(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), font,
                     painter_.device());
  layout.beginLayout();
  const QTextLine line = layout.createLine();
  layout.endLayout();
  ShapedText shapedText{layout.glyphRuns(), QSizeF(line.horizontalAdvance(), metrics.height())};
  return shapedTexts_.emplace(std::move(key), std::move(shapedText)).first->second;
}

void QtPageCanvas::textOut(int x, int y, const std::string& text) {
  if (!inDocument_ || text.empty()) return;
  const ShapedText& t = shaped(text);
  const QRectF cell(QPointF(x, y), t.cell);
  const QRect pixels = cell.toAlignedRect();
  const Box box{pixels.left(), pixels.top(), pixels.left() + pixels.width(), pixels.top() + pixels.height()};
  // Painted in the batch, this cell would go under a picture it should cover or over a cell.
  if (overlapsAny(bands_, box)) flush();
  if (overlapsAny(painted_, box)) cells_.push_back(cell);
  texts_.push_back({QPointF(x, y), &t});
  add(bands_, box);
  add(painted_, box);
}

void QtPageCanvas::flush() {
  if (!cells_.empty()) {
    painter_.setPen(Qt::NoPen);
    painter_.setBrush(Qt::white);
    painter_.drawRects(cells_.data(), static_cast<int>(cells_.size()));
    painter_.setBrush(Qt::NoBrush);
    cells_.clear();
  }
  if (!texts_.empty()) {
    // One glyph run per font and size, each glyph placed where its text puts it.
    struct Run {
      QRawFont font;
      QList<quint32> glyphs;
      QList<QPointF> positions;
    };
    std::vector<Run> runs;
    for (const PendingText& pending : texts_) {
      for (const QGlyphRun& run : pending.text->runs) {
        const QRawFont font = run.rawFont();
        auto same = std::find_if(runs.begin(), runs.end(), [&font](const Run& r) { return r.font == font; });
        if (same == runs.end()) same = runs.insert(runs.end(), Run{font, {}, {}});
        same->glyphs.append(run.glyphIndexes());
        for (const QPointF& p : run.positions()) same->positions.append(p + pending.at);
      }
    }
    painter_.setPen(Qt::black);
    for (const Run& r : runs) {
      QGlyphRun glyphRun;
      glyphRun.setRawFont(r.font);
      glyphRun.setGlyphIndexes(r.glyphs);
      glyphRun.setPositions(r.positions);
      painter_.drawGlyphRun(QPointF(0, 0), glyphRun);
    }
    texts_.clear();
  }
  for (const PendingImage& p : pending_) painter_.drawImage(p.rect, *p.image);
  pending_.clear();
  for (std::vector<Box>& band : bands_) band.clear();
}

}  // namespace kirune
