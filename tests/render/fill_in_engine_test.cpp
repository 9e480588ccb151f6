#include "render/fill_in_engine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "trace_fixture.h"

namespace kirune {
namespace {

using testing::countKind;
using testing::document;
using testing::draws;
using testing::Op;
using testing::TraceRun;

constexpr int kH = TraceRun::kHeight;

TEST(FillInMetrics, TheStandardRowsOfItsEightCounts) {
  EXPECT_EQ(fillInPageMetrics(0, kH), (PageMetrics{524, 234, 160, 10, 2}));
  EXPECT_EQ(fillInPageMetrics(7, kH), (PageMetrics{851, 262, 180, 5, 2}));
  EXPECT_EQ(fillInPageMetrics(1, kH), (PageMetrics{378, 212, 150, 14, 3}));
  EXPECT_EQ(fillInPageMetrics(3, kH), (PageMetrics{283, 184, 130, 20, 5}));
  for (int item : {8, 9, 10, 11, 12}) EXPECT_EQ(fillInPageMetrics(item, kH), PageMetrics{}) << item;
}

TEST(FillInCells, OriginsMoveLeftBy17PerColumn) {
  const PageMetrics twenty = fillInPageMetrics(0, kH);
  EXPECT_EQ(fillInCellOrigin(twenty, 4760, 0, 0), (CellOrigin{446, 1282}));
  EXPECT_EQ(fillInCellOrigin(twenty, 4760, 0, 19), (CellOrigin{2666, 5998}));
  const PageMetrics forty = fillInPageMetrics(1, kH);
  // 2 * 150 + 1486 * 2 + 150 - 3 * 17; no correction of the top outside 20 problems.
  EXPECT_EQ(fillInCellOrigin(forty, 4760, 1, 28), (CellOrigin{3371, 2 * 378 + 2 * 212}));
}

struct CellCase {
  ProblemRecord record;
  std::vector<std::string> question;
  std::vector<std::string> answer;
};

// On the 20-problem metrics (glyphs 160 x 234) at the first cell (446, 1282).
const CellCase kCells[] = {
    // A box on the left shifts everything after it by 34.
    {{kBox, 4, 12, kTimes},
     {"TForm2.Image51 446 1272 640 1526", "TForm2.Image34 640 1282 800 1516",
      "TForm2.Image14 800 1282 960 1516", "TForm2.Image31 960 1282 1120 1516",
      "TForm2.Image11 1120 1282 1280 1516", "TForm2.Image12 1280 1282 1440 1516"},
     {"TForm2.Image51 446 1272 640 1526", "TForm2.Image13 463 1282 623 1516",
      "TForm2.Image34 640 1282 800 1516", "TForm2.Image14 800 1282 960 1516",
      "TForm2.Image31 960 1282 1120 1516", "TForm2.Image11 1120 1282 1280 1516",
      "TForm2.Image12 1280 1282 1440 1516"}},
    // A box on the right shifts only "=" and the product.
    {{3, kBox, 12, kTimes},
     {"TForm2.Image13 446 1282 606 1516", "TForm2.Image34 606 1282 766 1516",
      "TForm2.Image51 766 1272 960 1526", "TForm2.Image31 960 1282 1120 1516",
      "TForm2.Image11 1120 1282 1280 1516", "TForm2.Image12 1280 1282 1440 1516"},
     {"TForm2.Image13 446 1282 606 1516", "TForm2.Image34 606 1282 766 1516",
      "TForm2.Image51 766 1272 960 1526", "TForm2.Image14 783 1282 943 1516",
      "TForm2.Image31 960 1282 1120 1516", "TForm2.Image11 1120 1282 1280 1516",
      "TForm2.Image12 1280 1282 1440 1516"}},
    // A one-digit product takes one slot.
    {{kBox, 3, 6, kTimes},
     {"TForm2.Image51 446 1272 640 1526", "TForm2.Image34 640 1282 800 1516",
      "TForm2.Image13 800 1282 960 1516", "TForm2.Image31 960 1282 1120 1516",
      "TForm2.Image16 1120 1282 1280 1516"},
     {"TForm2.Image51 446 1272 640 1526", "TForm2.Image12 463 1282 623 1516",
      "TForm2.Image34 640 1282 800 1516", "TForm2.Image13 800 1282 960 1516",
      "TForm2.Image31 960 1282 1120 1516", "TForm2.Image16 1120 1282 1280 1516"}},
};

TEST(FillInCells, QuestionAndAnswerGeometry) {
  const PageMetrics m = fillInPageMetrics(0, kH);
  for (const CellCase& c : kCells) {
    TraceRun question;
    drawFillInQuestionCell(question.session, question.canvas, m, c.record, 446, 1282);
    EXPECT_EQ(draws(question.ops()), c.question) << c.record.first << " x " << c.record.second;
    TraceRun answer;
    drawFillInAnswerCell(answer.session, answer.canvas, m, c.record, 446, 1282);
    EXPECT_EQ(draws(answer.ops()), c.answer) << c.record.first << " x " << c.record.second;
    EXPECT_EQ(countKind(answer.ops(), "text"), 0);
  }
}

TEST(FillInCells, TextUnderTheDigitOperandTheSignsButNotTheBoxOrProduct) {
  const PageMetrics m = fillInPageMetrics(0, kH);
  TraceRun run;
  run.session.settings.Edit1 = "Kyokasho";
  drawFillInQuestionCell(run.session, run.canvas, m, ProblemRecord{3, kBox, 12, kTimes}, 446, 1282);
  std::vector<std::string> fontAndText;
  for (const Op& op : run.ops()) {
    if (op.kind == "font_name") fontAndText.push_back("name " + op.name);
    if (op.kind == "font_height") fontAndText.push_back("h" + std::to_string(op.numbers[0]));
    if (op.kind == "text") {
      fontAndText.push_back(op.text + " " + std::to_string(op.numbers[0]) + " " +
                            std::to_string(op.numbers[1]));
    }
  }
  EXPECT_EQ(fontAndText, (std::vector<std::string>{"name Kyokasho", "h264", "3 446 1282", "h156",
                                                   "× 606 1321", "h264", "h156", "＝ 960 1328"}));
}

TEST(FillInFrame, HeaderBeforePictureOnQuestionsPictureFirstOnAnswers) {
  TraceRun run;
  Settings& s = run.session.settings;
  s.shurui = 17;
  s.CheckBox4 = true;
  s.CheckBox15 = true;
  s.CheckBox16 = true;
  s.SpinEdit1 = 2;
  print00aClick(run.session, run.canvas);
  const std::vector<Op> ops = run.ops();
  ASSERT_EQ(countKind(ops, "begin_doc"), 4);
  for (int sheet = 0; sheet < 2; ++sheet) {
    const std::vector<Op> question = document(ops, 2 * sheet);
    const std::vector<Op> answer = document(ops, 2 * sheet + 1);
    ASSERT_GE(question.size(), 5u);
    EXPECT_EQ(question[0].kind, "font_height");
    EXPECT_EQ(question[0].numbers, std::vector<int>{264});
    EXPECT_EQ(drawKey(question[1]), "TForm2.Image41 1190 758 1892 992");
    EXPECT_EQ(drawKey(question[4]), "TForm2.Image48 320 394 1022 1096");
    EXPECT_EQ(drawKey(answer[0]), "TForm2.Image48 320 394 1022 1096");
    EXPECT_EQ(drawKey(answer[1]), "TForm2.Image41 1190 758 1892 992");
    EXPECT_EQ(draws(question, "TForm1.Image7"),
              std::vector<std::string>{"TForm1.Image7 3880 6658 4040 6814"});
    EXPECT_TRUE(draws(answer, "TForm1.Image7").empty());

    // Each of the 20 problems has one box, and "=" stands in the same place on both pages.
    EXPECT_EQ(draws(question, "TForm2.Image51").size(), 20u);
    EXPECT_EQ(draws(answer, "TForm2.Image51"), draws(question, "TForm2.Image51"));
    EXPECT_EQ(draws(answer, "TForm2.Image31"), draws(question, "TForm2.Image31"));
    EXPECT_EQ(countKind(answer, "text"), 0);
  }
  EXPECT_FALSE(s.Label6);
  EXPECT_FALSE(s.Label7);
}

TEST(FillInFrame, GateOffAndNoSheets) {
  TraceRun off;
  off.session.settings.CheckBox3 = false;
  print00aClick(off.session, off.canvas);
  EXPECT_EQ(off.out.str(), "");

  TraceRun none;
  none.session.settings.shurui = 17;
  none.session.settings.SpinEdit1 = 0;
  print00aClick(none.session, none.canvas);
  EXPECT_EQ(none.out.str(), "page 4760 6814\n");
}

}  // namespace
}  // namespace kirune
