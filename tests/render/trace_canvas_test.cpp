#include "render/trace_canvas.h"

#include <gtest/gtest.h>

#include <sstream>

namespace kirune {
namespace {

TEST(TraceCanvas, WritesOneLinePerOperationAfterThePageLine) {
  std::ostringstream out;
  TraceCanvas canvas(out, 4760, 6814);
  EXPECT_EQ(canvas.pageHeight(), 6814);
  EXPECT_EQ(canvas.pageWidth(), 4760);
  Picture picture;
  picture.name = "TForm2.Image13";
  canvas.beginDoc({});
  canvas.stretchDraw(Rect{320, 394, 1022, 1096}, picture);
  canvas.setPenWidth(6);
  canvas.moveTo(1, 2);
  canvas.lineTo(-3, 4);
  canvas.setFontName("HGP教科書体");
  canvas.setFontHeight(264);
  canvas.textOut(10, 20, "＝ with spaces");
  canvas.endDoc();
  EXPECT_EQ(out.str(),
            "page 4760 6814\n"
            "begin_doc\n"
            "draw TForm2.Image13 320 394 1022 1096\n"
            "pen 6\n"
            "move 1 2\n"
            "line -3 4\n"
            "font_name HGP教科書体\n"
            "font_height 264\n"
            "text 10 20 ＝ with spaces\n"
            "end_doc\n");
}

TEST(TraceCanvas, PageLineComesOnceAndFirstWhateverTheFirstOperation) {
  std::ostringstream untouched;
  TraceCanvas idle(untouched, 100, 200);
  EXPECT_EQ(untouched.str(), "");

  std::ostringstream out;
  TraceCanvas canvas(out, 100, 200);
  canvas.beginDoc({});
  canvas.pageHeight();
  canvas.pageWidth();
  canvas.endDoc();
  EXPECT_EQ(out.str(), "page 100 200\nbegin_doc\nend_doc\n");
}

}  // namespace
}  // namespace kirune
