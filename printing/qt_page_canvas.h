#pragma once

#include <QGlyphRun>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QPoint>
#include <QRect>
#include <QSizeF>
#include <map>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "render/page_canvas.h"

namespace kirune {

/// Where the documents of a QtPageCanvas go: a PDF file, raster pages or a printer. The canvas owns
/// one painter and lends it to the sink, which begins it on its device for each document.
/// Failures are thrown as PrinterError, naming the document.
class DocumentSink {
 public:
  virtual ~DocumentSink() = default;
  /// Opens document `number` (1-based), which `info` describes, and leaves `painter` active on its
  /// only page.
  virtual void beginDocument(QPainter& painter, int number, const DocumentInfo& info) = 0;
  /// Hands document `number` over; the painter may stay active for the next document.
  virtual void endDocument(QPainter& painter, int number) = 0;
  /// After the last document: writes out whatever the sink still holds.
  virtual void finish(QPainter& painter) = 0;
  /// The run failed part-way: drop the open document without handing it over; must not throw.
  virtual void abandon(QPainter& painter) noexcept = 0;
  /// The image drawn for `picture` on this sink's pages; the picture itself unless the sink says
  /// otherwise. Asked once per picture and canvas.
  virtual QImage imageOf(const Picture& picture) const;
};

/// The page operations of the engines on a QPainter. Coordinates are device pixels of the printable
/// area; pen and font settings persist across documents as on a printer canvas.
///
/// Text cells and pictures are collected and painted in batches: first the white cells of all texts,
/// then the texts one run per font, then the pictures in call order. A batch only ever holds
/// operations whose order this cannot change (no text cell overlaps another cell or an earlier
/// picture of the batch); anything else paints the batch first. On a PDF page this writes one fill
/// and one text object per batch instead of a graphics state per text, which is most of a page's
/// size and time. A text cell on a part of the page where nothing has been drawn yet is not filled:
/// white on the white page would change nothing.
class QtPageCanvas final : public PageCanvas {
 public:
  QtPageCanvas(DocumentSink& sink, int pageWidth, int pageHeight);
  ~QtPageCanvas() override;
  QtPageCanvas(const QtPageCanvas&) = delete;
  QtPageCanvas& operator=(const QtPageCanvas&) = delete;

  int pageHeight() const override { return pageHeight_; }
  int pageWidth() const override { return pageWidth_; }
  void beginDoc(const DocumentInfo& info) override;
  void endDoc() override;
  void stretchDraw(const Rect& rect, const Picture& picture) override;
  void setPenWidth(int width) override;
  void moveTo(int x, int y) override;
  void lineTo(int x, int y) override;
  void setFontName(const std::string& name) override;
  void setFontHeight(int height) override;
  void textOut(int x, int y, const std::string& text) override;

  /// Ends the run: the sink writes out what it still holds (the PDF file). Call once, after the last
  /// document; throws PrinterError. Without it, the destructor abandons the output.
  void finish();

  /// Documents begun so far.
  int documentCount() const { return documentCount_; }

 private:
  /// A text shaped once for a font and size: its glyph runs from the cell's top-left corner, and the
  /// cell (advance width by ascent plus descent).
  struct ShapedText {
    QList<QGlyphRun> runs;
    QSizeF cell;
  };
  struct PendingText {
    QPointF at;
    const ShapedText* text;
  };
  struct PendingImage {
    QRect rect;
    const QImage* image;
  };
  /// Pixels from left/top up to, not including, right/bottom.
  struct Box {
    int left, top, right, bottom;
  };

  const QImage& imageOf(const Picture& picture);
  QFont currentFont();
  const ShapedText& shaped(const std::string& text);
  /// Paints the batch: cells, texts, pictures.
  void flush();
  /// Boxes sorted into horizontal bands of the page, so a box is tested only against its neighbours.
  using Bands = std::vector<std::vector<Box>>;
  /// The bands that `box` touches.
  std::pair<std::size_t, std::size_t> bandsOf(const Box& box) const;
  bool overlapsAny(const Bands& bands, const Box& box) const;
  void add(Bands& bands, const Box& box) const;

  DocumentSink& sink_;
  int pageWidth_;
  int pageHeight_;
  QPainter painter_;
  bool inDocument_ = false;
  bool finished_ = false;
  int documentCount_ = 0;
  int penWidth_ = 1;
  QPoint position_;
  std::string fontName_;
  int fontHeight_ = 0;
  // One QImage per catalogue picture, drawn every time, so a PDF embeds each picture once.
  std::unordered_map<const Picture*, QImage> images_;
  // Cell height over em size of each typeface, measured once.
  std::map<std::string, qreal> cellPerEm_;
  std::map<std::tuple<std::string, int, std::string>, ShapedText> shapedTexts_;
  // The batch not painted yet, and the pixels its cells and pictures touch.
  std::vector<QRectF> cells_;
  std::vector<PendingText> texts_;
  std::vector<PendingImage> pending_;
  Bands bands_;
  // The pixels anything on this page has touched so far: a text cell elsewhere needs no white fill.
  Bands painted_;
};

}  // namespace kirune
