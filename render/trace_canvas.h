#pragma once

#include <ostream>
#include <string>

#include "render/page_canvas.h"

namespace kirune {

/// A page canvas that draws nothing and writes every operation as one line of text, in call order:
///
///     page WIDTH HEIGHT
///     begin_doc
///     end_doc
///     draw PICTURE LEFT TOP RIGHT BOTTOM
///     pen WIDTH
///     move X Y
///     line X Y
///     font_name NAME
///     font_height HEIGHT
///     text X Y TEXT
///
/// Tokens are separated by one space; NAME and TEXT are the rest of the line (UTF-8). PICTURE is the
/// qualified name of the picture drawn ("TForm2.Image13", "TForm1.Image6"), for a working slot the
/// name of the picture copied into it.
///
/// What a document is (DocumentInfo) is not written: the trace is the drawing.
///
/// The `page` line is written exactly once, as the first line, at the first operation of any kind on
/// this canvas: normally the engine's reading of the page size at the start of its run, so a run that
/// stops before it reads the page (print switch off) leaves the trace empty, and a run that reads the
/// page but prints no sheet leaves only the `page` line. It gives the size passed to the constructor,
/// which is what every later page read returns.
class TraceCanvas : public PageCanvas {
 public:
  TraceCanvas(std::ostream& out, int width, int height);

  int pageHeight() const override;
  int pageWidth() const override;
  void beginDoc(const DocumentInfo& info) override;
  void endDoc() override;
  void stretchDraw(const Rect& rect, const Picture& picture) override;
  void setPenWidth(int width) override;
  void moveTo(int x, int y) override;
  void lineTo(int x, int y) override;
  void setFontName(const std::string& name) override;
  void setFontHeight(int height) override;
  void textOut(int x, int y, const std::string& text) override;

 private:
  /// The stream with the `page` line written first.
  std::ostream& line() const;

  std::ostream& out_;
  int width_;
  int height_;
  mutable bool pageWritten_ = false;
};

}  // namespace kirune
