#include "app/recorded_run.h"

namespace kirune {

void RecordedRun::beginDoc(const DocumentInfo& info) {
  record(Kind::BeginDoc, {}, nullptr, documents());
  infos_.push_back(info);
}

void RecordedRun::stretchDraw(const Rect& rect, const Picture& picture) {
  record(Kind::Picture, rect, &picture);
}

void RecordedRun::setFontName(const std::string& name) { record(Kind::FontName, {}, nullptr, 0, 0, name); }

void RecordedRun::textOut(int x, int y, const std::string& text) {
  record(Kind::Text, {}, nullptr, x, y, text);
}

void RecordedRun::replay(PageCanvas& canvas) const {
  for (const Op& op : ops_) {
    switch (op.kind) {
      case Kind::BeginDoc:
        canvas.beginDoc(infos_[static_cast<std::size_t>(op.a)]);
        break;
      case Kind::EndDoc:
        canvas.endDoc();
        break;
      case Kind::Picture:
        canvas.stretchDraw(op.rect, *op.picture);
        break;
      case Kind::PenWidth:
        canvas.setPenWidth(op.a);
        break;
      case Kind::MoveTo:
        canvas.moveTo(op.a, op.b);
        break;
      case Kind::LineTo:
        canvas.lineTo(op.a, op.b);
        break;
      case Kind::FontName:
        canvas.setFontName(op.text);
        break;
      case Kind::FontHeight:
        canvas.setFontHeight(op.a);
        break;
      case Kind::Text:
        canvas.textOut(op.a, op.b, op.text);
        break;
    }
  }
}

}  // namespace kirune
