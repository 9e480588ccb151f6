#include "render/decomposition_engine.h"

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

TEST(DecompositionMetrics, RowsWithNarrowerGlyphsFor20) {
  EXPECT_EQ(decompositionPageMetrics(7, kH), (PageMetrics{1103, 283, 200, 5, 2}));
  EXPECT_EQ(decompositionPageMetrics(8, kH), (PageMetrics{1103, 272, 190, 5, 3}));
  EXPECT_EQ(decompositionPageMetrics(0, kH), (PageMetrics{1103, 252, 160, 5, 4}));
  EXPECT_EQ(decompositionPageMetrics(9, kH), (PageMetrics{1647, 283, 200, 3, 3}));
  EXPECT_EQ(decompositionPageMetrics(4, kH), (PageMetrics{1306, 283, 200, 4, 3}));
  EXPECT_EQ(decompositionPageMetrics(1, kH), PageMetrics{});
}

TEST(DecompositionCells, TwentyProblemsSitHalfAGlyphLeftAndOneGlyphHigher) {
  const PageMetrics ten = decompositionPageMetrics(7, kH);
  EXPECT_EQ(decompositionCellOrigin(ten, 4760, 7, 0), (CellOrigin{600, 1725}));
  EXPECT_EQ(decompositionAnswerOrigin(ten, 4760, 7, 0), (CellOrigin{400, 1669}));
  const PageMetrics twenty = decompositionPageMetrics(0, kH);
  EXPECT_EQ(decompositionCellOrigin(twenty, 4760, 0, 0), (CellOrigin{400, 1405}));
  EXPECT_EQ(decompositionCellOrigin(twenty, 4760, 0, 6), (CellOrigin{1510, 2508}));
  EXPECT_EQ(decompositionAnswerOrigin(twenty, 4760, 0, 0), (CellOrigin{320, 1355}));
  EXPECT_EQ(decompositionAnswerOrigin(twenty, 4760, 0, 6), (CellOrigin{1430, 2458}));
}

TEST(DecompositionCells, CompletedRecordFillsTheEmptyPartAndTakesTheEqualsSign) {
  EXPECT_EQ(completeDecomposition({7, 3, kCircle, kTimes}), (ProblemRecord{7, 3, 4, kEquals}));
  EXPECT_EQ(completeDecomposition({10, kCircle, 9, kTimes}), (ProblemRecord{10, 1, 9, kEquals}));
  EXPECT_EQ(completeDecomposition({2, kCircle, 1, kTimes}), (ProblemRecord{2, 1, 1, kEquals}));
}

// The 10-problem metrics (gw 200, gh 283) at the first diagram (600, 1725): apex (1066, 1537).
TEST(DecompositionCells, CherryDiagrams) {
  const PageMetrics m = decompositionPageMetrics(7, kH);
  struct Case {
    ProblemRecord record;
    std::vector<std::string> draws;
    std::vector<std::string> texts;
  };
  const Case cases[] = {
      {{7, 3, kCircle, kTimes},
       {"TForm2.Image52 506 1655 1000 2125", "TForm2.Image13 650 1745 850 2028",
        "TForm2.Image52 1106 1655 1600 2125", "TForm2.Image17 967 1206 1167 1489"},
       {"3 650 1745", "7 967 1206"}},
      {{10, kCircle, 9, kTimes},
       {"TForm2.Image52 506 1655 1000 2125", "TForm2.Image52 1106 1655 1600 2125",
        "TForm2.Image19 1250 1745 1450 2028", "TForm2.Image11 867 1206 1067 1489",
        "TForm2.Image20 1067 1206 1267 1489"},
       {"9 1250 1745", "1 867 1206", "0 1067 1206"}},
  };
  for (const Case& c : cases) {
    TraceRun run;
    drawCherryDiagram(run.session, run.canvas, m, c.record, 600, 1725);
    const std::vector<Op> ops = run.ops();
    EXPECT_EQ(draws(ops), c.draws) << "N " << c.record.first;
    std::vector<std::string> texts;
    std::vector<std::vector<int>> stalks;
    for (const Op& op : ops) {
      if (op.kind == "text") {
        texts.push_back(op.text + " " + std::to_string(op.numbers[0]) + " " + std::to_string(op.numbers[1]));
      }
      if (op.kind == "move" || op.kind == "line") stalks.push_back(op.numbers);
    }
    EXPECT_EQ(texts, c.texts);
    EXPECT_EQ(stalks, (std::vector<std::vector<int>>{{753, 1657}, {1066, 1537}, {1353, 1657}, {1066, 1537}}));
    EXPECT_EQ(countKind(ops, "font_height"), 0);  // the sheet sets it once
  }
}

TEST(DecompositionCells, AnswerLines) {
  const PageMetrics m = decompositionPageMetrics(7, kH);
  struct Case {
    ProblemRecord completed;
    std::vector<std::string> draws;
  };
  const Case cases[] = {
      {{7, 3, 4, kEquals},
       {"TForm2.Image17 600 1669 800 1952", "TForm2.Image31 800 1669 1000 1952",
        "TForm2.Image13 1000 1669 1200 1952", "TForm2.Image32 1200 1669 1400 1952",
        "TForm2.Image14 1400 1669 1600 1952"}},
      {{10, 1, 9, kEquals},
       {"TForm2.Image11 400 1669 600 1952", "TForm2.Image20 600 1669 800 1952",
        "TForm2.Image31 800 1669 1000 1952", "TForm2.Image11 1000 1669 1200 1952",
        "TForm2.Image32 1200 1669 1400 1952", "TForm2.Image19 1400 1669 1600 1952"}},
  };
  for (const Case& c : cases) {
    TraceRun run;
    drawDecompositionAnswer(run.session, run.canvas, m, c.completed, 400, 1669);
    EXPECT_EQ(draws(run.ops()), c.draws) << "N " << c.completed.first;
    EXPECT_EQ(countKind(run.ops(), "text"), 0);
  }
}

TEST(DecompositionFrame, QuestionAndAnswerSheetsPlaceHeaderAndPictureDifferently) {
  TraceRun run;
  Settings& s = run.session.settings;
  s.shurui = 18;
  s.setMondaisuu(7);
  ASSERT_EQ(s.SpinEdit3(), 10);
  s.CheckBox4 = true;
  s.CheckBox15 = true;
  print00bClick(run.session, run.canvas);
  const std::vector<Op> ops = run.ops();
  ASSERT_EQ(countKind(ops, "begin_doc"), 2);
  const std::vector<Op> question = document(ops, 0);
  const std::vector<Op> answer = document(ops, 1);
  ASSERT_GE(question.size(), 6u);
  EXPECT_EQ(question[0].kind, "font_height");
  EXPECT_EQ(question[0].numbers, std::vector<int>{320});
  EXPECT_EQ(question[1].kind, "pen");
  EXPECT_EQ(question[1].numbers, std::vector<int>{8});
  EXPECT_EQ(drawKey(question[2]), "TForm2.Image41 1190 483 2039 766");
  EXPECT_EQ(drawKey(question[5]), "TForm2.Image48 400 200 1249 1049");
  EXPECT_EQ(drawKey(answer[0]), "TForm2.Image48 400 283 1249 1132");
  EXPECT_EQ(drawKey(answer[1]), "TForm2.Image41 1190 283 2039 566");

  EXPECT_EQ(draws(question, "TForm2.Image52").size(), 20u);
  EXPECT_EQ(countKind(question, "line"), 20);
  EXPECT_EQ(draws(answer, "TForm2.Image31").size(), 10u);
  EXPECT_EQ(draws(answer, "TForm2.Image32").size(), 10u);
  EXPECT_EQ(countKind(answer, "text"), 0);
  EXPECT_EQ(run.session.pool.dealtCount, 10);
  for (int i = 1; i <= 10; ++i) {
    const ProblemRecord& r = run.session.pool.sheetProblems[static_cast<std::size_t>(i)];
    EXPECT_EQ(r.sign, 10);
    EXPECT_EQ(r.second + r.result, r.first) << "slot " << i;
    EXPECT_GE(r.second, 1);
    EXPECT_GE(r.result, 1);
  }
}

TEST(DecompositionFrame, NoNumberTickedPrintsTheFrameOnly) {
  TraceRun run;
  Settings& s = run.session.settings;
  s.shurui = 18;
  for (auto box : Settings::decomposeBoxes) s.*box = false;
  s.CheckBox15 = true;
  s.CheckBox2 = false;
  run.session.pool.sheetProblems[1] = ProblemRecord{7, 3, 4, kEquals};
  run.session.pool.dealtCount = 20;
  print00bClick(run.session, run.canvas);
  const std::vector<Op> ops = run.ops();
  EXPECT_EQ(countKind(ops, "begin_doc"), 2);
  EXPECT_EQ(draws(ops), (std::vector<std::string>{
                            "TForm2.Image41 1190 412 1946 664", "TForm2.Image42 1946 412 1999 664",
                            "TForm2.Image43 4284 412 4337 664", "TForm2.Image41 1190 252 1946 504",
                            "TForm2.Image42 1946 252 1999 504", "TForm2.Image43 4284 252 4337 504"}));
}

}  // namespace
}  // namespace kirune
