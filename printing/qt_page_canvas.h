#pragma once

#include <QImage>
#include <QPainter>
#include <QPoint>
#include <map>
#include <string>
#include <unordered_map>

#include "render/page_canvas.h"

namespace kirune {

/// Where the documents of a QtPageCanvas go: a PDF file, raster pages or a printer. The canvas owns
/// one painter and lends it to the sink, which begins it on its device for each document.
/// Failures are thrown as PrinterError, naming the document.
class DocumentSink {
 public:
  virtual ~DocumentSink() = default;
  /// Opens document `number` (1-based) and leaves `painter` active on its only page.
  virtual void beginDocument(QPainter& painter, int number) = 0;
  /// Hands document `number` over; the painter may stay active for the next document.
  virtual void endDocument(QPainter& painter, int number) = 0;
  /// After the last document: writes out whatever the sink still holds.
  virtual void finish(QPainter& painter) = 0;
  /// The run failed part-way: drop the open document without handing it over; must not throw.
  virtual void abandon(QPainter& painter) noexcept = 0;
};

/// The page operations of the engines on a QPainter. Coordinates are device pixels of the printable
/// area; pen and font settings persist across documents as on a printer canvas.
class QtPageCanvas final : public PageCanvas {
 public:
  QtPageCanvas(DocumentSink& sink, int pageWidth, int pageHeight);
  ~QtPageCanvas() override;
  QtPageCanvas(const QtPageCanvas&) = delete;
  QtPageCanvas& operator=(const QtPageCanvas&) = delete;

  int pageHeight() const override { return pageHeight_; }
  int pageWidth() const override { return pageWidth_; }
  void beginDoc() override;
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
  const QImage& imageOf(const Picture& picture);
  QFont currentFont();

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
};

}  // namespace kirune
