#include "render/glyphs.h"

#include <gtest/gtest.h>

#include "trace_fixture.h"

namespace kirune {
namespace {

using testing::draws;
using testing::Op;
using testing::TraceRun;

TEST(GlyphSelector, PicksThePictureOfTheCodeModulo19) {
  struct Case {
    int code;
    const char* picture;
  };
  const Case cases[] = {
      {0, "TForm2.Image20"},       {1, "TForm2.Image11"},        {9, "TForm2.Image19"},
      {kEquals, "TForm2.Image31"}, {kPlus, "TForm2.Image32"},    {kMinus, "TForm2.Image33"},
      {kTimes, "TForm2.Image34"},  {kDivided, "TForm2.Image35"}, {kCircle, "TForm2.Image52"},
      {kBox, "TForm2.Image51"},    {19, "TForm2.Image20"},       {25, "TForm2.Image16"},
      {35, "TForm2.Image51"},      {-19, "TForm2.Image20"},
  };
  for (const Case& c : cases) {
    TraceRun run;
    run.session.Image = &run.session.images.get("TForm2.Image40");
    run.session.glyphCode = c.code;
    print02Click(run.session);
    EXPECT_EQ(run.session.Image->name, c.picture) << "code " << c.code;
  }
}

TEST(GlyphSelector, CodesWithoutPictureKeepThePreviousOne) {
  for (int code : {17, 18, 36, 37, -1, -5, -20}) {
    TraceRun run;
    run.session.glyphCode = 7;
    print02Click(run.session);
    run.session.glyphCode = code;
    print02Click(run.session);
    EXPECT_EQ(run.session.Image->name, "TForm2.Image17") << "code " << code;
  }
}

TEST(GlyphSelector, StagingSlotStartsWithTheWindowsOwnZero) {
  TraceRun run;
  drawGlyph(run.session, run.canvas, 17, Rect{1, 2, 3, 4});
  drawGlyph(run.session, run.canvas, 4, Rect{5, 6, 7, 8});
  drawGlyph(run.session, run.canvas, -3, Rect{9, 10, 11, 12});
  EXPECT_EQ(draws(run.ops()), (std::vector<std::string>{"TForm1.Image 1 2 3 4", "TForm2.Image14 5 6 7 8",
                                                        "TForm2.Image14 9 10 11 12"}));
}

TEST(NumberLayouts, TwoPlaceAlwaysTakesTwoBoxesAndCompactOnlyWhatItNeeds) {
  const GlyphBox box{160, 234};
  struct Case {
    int value;
    bool twoPlace;
    int next;
    std::vector<std::string> draws;
  };
  const Case cases[] = {
      {7, true, 420, {"TForm2.Image17 260 50 420 284"}},
      {0, true, 420, {"TForm2.Image20 260 50 420 284"}},
      {47, true, 420, {"TForm2.Image14 100 50 260 284", "TForm2.Image17 260 50 420 284"}},
      {7, false, 260, {"TForm2.Image17 100 50 260 284"}},
      {10, false, 420, {"TForm2.Image11 100 50 260 284", "TForm2.Image20 260 50 420 284"}},
  };
  for (const Case& c : cases) {
    TraceRun run;
    const int next = c.twoPlace ? drawTwoPlace(run.session, run.canvas, box, c.value, 100, 50)
                                : drawCompact(run.session, run.canvas, box, c.value, 100, 50);
    EXPECT_EQ(next, c.next) << c.value;
    EXPECT_EQ(draws(run.ops()), c.draws) << c.value;
  }
}

TEST(TextUnderlay, DigitsAndSignsGetTheirTextBeforeThePicture) {
  const GlyphBox box{160, 234};  // digit height 264, sign height 156, shifts 39 and 46
  struct Case {
    int code;
    int y;
    int height;
    const char* text;
  };
  const Case cases[] = {{3, 50, 264, "3"},      {kPlus, 89, 156, "＋"},   {kMinus, 89, 156, "－"},
                        {kTimes, 89, 156, "×"}, {kDivided, 89, 156, "÷"}, {kEquals, 96, 156, "＝"}};
  for (const Case& c : cases) {
    TraceRun run;
    run.session.settings.Edit1 = "TestFont";
    drawGlyphWithUnderlay(run.session, run.canvas, box, c.code, 100, 50);
    const std::vector<Op> ops = run.ops();
    ASSERT_EQ(ops.size(), 5u) << c.code;  // page, font_name, font_height, text, draw
    EXPECT_EQ(ops[1].name, "TestFont");
    EXPECT_EQ(ops[2].numbers, std::vector<int>{c.height}) << c.code;
    EXPECT_EQ(ops[3].numbers, (std::vector<int>{100, c.y})) << c.code;
    EXPECT_EQ(ops[3].text, c.text);
    EXPECT_EQ(ops[4].kind, "draw");
  }
}

TEST(TextUnderlay, BoxesAndCirclesGetNoText) {
  for (int code : {kCircle, kBox}) {
    TraceRun run;
    drawGlyphWithUnderlay(run.session, run.canvas, GlyphBox{160, 234}, code, 0, 0);
    EXPECT_EQ(testing::countKind(run.ops(), "text"), 0) << code;
  }
}

}  // namespace
}  // namespace kirune
