#pragma once

#include <string>
#include <vector>

#include "render/page_canvas.h"

namespace kirune {

/// A whole run kept as the canvas operations the engine made, to be shown first and printed later
/// exactly as drawn: replaying it hands another canvas the same calls in the same order, so the
/// printed sheets are the previewed ones, problems and clip-art alike. Pictures are kept by reference;
/// they are the catalogue's, which lives as long as the program.
class RecordedRun final : public PageCanvas {
 public:
  RecordedRun(int pageWidth, int pageHeight) : pageWidth_(pageWidth), pageHeight_(pageHeight) {}

  int pageHeight() const override { return pageHeight_; }
  int pageWidth() const override { return pageWidth_; }
  void beginDoc(const DocumentInfo& info) override;
  void endDoc() override { record(Kind::EndDoc); }
  void stretchDraw(const Rect& rect, const Picture& picture) override;
  void setPenWidth(int width) override { record(Kind::PenWidth, {}, nullptr, width); }
  void moveTo(int x, int y) override { record(Kind::MoveTo, {}, nullptr, x, y); }
  void lineTo(int x, int y) override { record(Kind::LineTo, {}, nullptr, x, y); }
  void setFontName(const std::string& name) override;
  void setFontHeight(int height) override { record(Kind::FontHeight, {}, nullptr, height); }
  void textOut(int x, int y, const std::string& text) override;

  /// Documents recorded.
  int documents() const { return static_cast<int>(infos_.size()); }
  /// Hands `canvas` every recorded operation in order.
  void replay(PageCanvas& canvas) const;

 private:
  enum class Kind { BeginDoc, EndDoc, Picture, PenWidth, MoveTo, LineTo, FontName, FontHeight, Text };
  struct Op {
    Kind kind;
    Rect rect;
    const Picture* picture = nullptr;
    int a = 0;
    int b = 0;
    std::string text;
  };
  void record(Kind kind, const Rect& rect = {}, const Picture* picture = nullptr, int a = 0, int b = 0,
              const std::string& text = {}) {
    ops_.push_back(Op{kind, rect, picture, a, b, text});
  }

  int pageWidth_;
  int pageHeight_;
  std::vector<DocumentInfo> infos_;  // of each document; a BeginDoc names its own by index
  std::vector<Op> ops_;
};

}  // namespace kirune
