#include "render/trace_canvas.h"

namespace kirune {

TraceCanvas::TraceCanvas(std::ostream& out, int width, int height)
    : out_(out), width_(width), height_(height) {}

std::ostream& TraceCanvas::line() const {
  if (!pageWritten_) {
    pageWritten_ = true;
    out_ << "page " << width_ << ' ' << height_ << '\n';
  }
  return out_;
}

int TraceCanvas::pageHeight() const {
  line();
  return height_;
}

int TraceCanvas::pageWidth() const {
  line();
  return width_;
}

void TraceCanvas::beginDoc(const DocumentInfo& /*info*/) { line() << "begin_doc\n"; }

void TraceCanvas::endDoc() { line() << "end_doc\n"; }

void TraceCanvas::stretchDraw(const Rect& rect, const Picture& picture) {
  line() << "draw " << picture.name << ' ' << rect.left << ' ' << rect.top << ' ' << rect.right << ' '
         << rect.bottom << '\n';
}

void TraceCanvas::setPenWidth(int width) { line() << "pen " << width << '\n'; }

void TraceCanvas::moveTo(int x, int y) { line() << "move " << x << ' ' << y << '\n'; }

void TraceCanvas::lineTo(int x, int y) { line() << "line " << x << ' ' << y << '\n'; }

void TraceCanvas::setFontName(const std::string& name) { line() << "font_name " << name << '\n'; }

void TraceCanvas::setFontHeight(int height) { line() << "font_height " << height << '\n'; }

void TraceCanvas::textOut(int x, int y, const std::string& text) {
  line() << "text " << x << ' ' << y << ' ' << text << '\n';
}

}  // namespace kirune
