#include "render/standard_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "render/presets.h"
#include "trace_fixture.h"

namespace kirune {
namespace {

using testing::countKind;
using testing::document;
using testing::draws;
using testing::Op;
using testing::TraceRun;

constexpr int kH = TraceRun::kHeight;

TEST(StandardMetrics, RowsByCountWithTheDivisionRowAndTheEmptyRow) {
  struct Case {
    int item;
    int shurui;
    PageMetrics expected;
  };
  const Case cases[] = {
      {7, 0, {851, 262, 180, 5, 2}},   {10, 0, {851, 262, 180, 5, 1}},  {4, 8, {757, 252, 180, 6, 2}},
      {11, 0, {567, 179, 120, 6, 3}},  {0, 0, {524, 234, 160, 10, 2}},  {5, 0, {524, 227, 160, 10, 3}},
      {1, 0, {378, 212, 150, 14, 3}},  {6, 0, {358, 206, 140, 15, 4}},  {2, 0, {283, 194, 130, 20, 4}},
      {3, 0, {283, 184, 130, 20, 5}},  {3, 11, {283, 184, 130, 20, 5}}, {3, 12, {283, 170, 110, 20, 5}},
      {3, 13, {283, 170, 110, 20, 5}}, {3, 14, {283, 170, 110, 20, 5}}, {3, 15, {283, 184, 130, 20, 5}},
      {0, 12, {524, 234, 160, 10, 2}}, {8, 0, {0, 0, 0, 1, 1}},         {9, 0, {0, 0, 0, 1, 1}},
      {12, 0, {0, 0, 0, 1, 1}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(standardPageMetrics(c.item, c.shurui, kH), c.expected)
        << "item " << c.item << " kind " << c.shurui;
  }
}

TEST(StandardCells, OriginsGoDownEachColumnAnd20ProblemsSitOneGlyphHigher) {
  const PageMetrics twenty = standardPageMetrics(0, 0, kH);
  EXPECT_EQ(standardCellOrigin(twenty, 4760, 0, 0), (CellOrigin{320, 1282}));
  EXPECT_EQ(standardCellOrigin(twenty, 4760, 0, 9), (CellOrigin{320, 5998}));
  EXPECT_EQ(standardCellOrigin(twenty, 4760, 0, 10), (CellOrigin{2540, 1282}));
  EXPECT_EQ(standardCellOrigin(twenty, 4760, 0, 19), (CellOrigin{2540, 5998}));
  // Thirty problems share the row pitch of twenty but not the correction.
  const PageMetrics thirty = standardPageMetrics(5, 0, kH);
  EXPECT_EQ(standardCellOrigin(thirty, 4760, 5, 0), (CellOrigin{320, 2 * 524 + 2 * 227}));
  // Five problems: one column as wide as the page less two glyphs.
  const PageMetrics five = standardPageMetrics(10, 0, kH);
  EXPECT_EQ(standardCellOrigin(five, 4760, 10, 4), (CellOrigin{360, 2226 + 4 * 851}));
  EXPECT_EQ(standardCellOrigin(five, 4760, 10, 5), (CellOrigin{360 + 4400, 2226}));
}

TEST(StandardFrame, WorkedExampleOf20ProblemsOnA4760By6814Page) {
  TraceRun run;
  Settings& s = run.session.settings;
  s.CheckBox16 = true;
  s.CheckBox4 = true;  // fixed clip-art 30
  print00Click(run.session, run.canvas);
  const std::vector<Op> ops = run.ops();

  ASSERT_FALSE(ops.empty());
  EXPECT_EQ(ops.front().kind, "page");
  EXPECT_EQ(ops.front().numbers, (std::vector<int>{4760, 6814}));
  EXPECT_EQ(countKind(ops, "begin_doc"), 1);
  EXPECT_EQ(countKind(ops, "end_doc"), 1);
  EXPECT_EQ(draws(ops, "TForm2.Image48"), std::vector<std::string>{"TForm2.Image48 320 394 1022 1096"});
  EXPECT_EQ(draws(ops, "TForm2.Image41"), std::vector<std::string>{"TForm2.Image41 1190 758 1892 992"});
  EXPECT_EQ(draws(ops, "TForm2.Image42"), std::vector<std::string>{"TForm2.Image42 1892 758 1945 992"});
  EXPECT_EQ(draws(ops, "TForm2.Image43"), std::vector<std::string>{"TForm2.Image43 4284 758 4337 992"});
  EXPECT_EQ(draws(ops, "TForm1.Image7"), std::vector<std::string>{"TForm1.Image7 3880 6658 4040 6814"});
  EXPECT_EQ(draws(ops, "TForm1.Image8"), std::vector<std::string>{"TForm1.Image8 4440 6658 4760 6814"});

  // Every cell ends with "=" in box 5: 4 glyph widths right of the cell origin.
  const std::vector<std::string> equals = draws(ops, "TForm2.Image31");
  ASSERT_EQ(equals.size(), 20u);
  EXPECT_EQ(equals[0], "TForm2.Image31 960 1282 1120 1516");
  EXPECT_EQ(equals[9], "TForm2.Image31 960 5998 1120 6232");
  EXPECT_EQ(equals[10], "TForm2.Image31 3180 1282 3340 1516");
  EXPECT_EQ(equals[19], "TForm2.Image31 3180 5998 3340 6232");

  // Clip-art before the header, the header before the first cell, the time field last.
  EXPECT_EQ(ops[2].name, "TForm2.Image48");
  EXPECT_EQ(ops[3].name, "TForm2.Image41");
  EXPECT_EQ(ops[ops.size() - 3].name, "TForm1.Image7");
  EXPECT_EQ(ops[ops.size() - 2].name, "TForm1.Image8");
  EXPECT_FALSE(s.Label6);
  EXPECT_FALSE(s.Label7);
}

TEST(StandardFrame, GateOffPrintsNothingAndLeavesTheLabels) {
  TraceRun run;
  run.session.settings.CheckBox3 = false;
  print00Click(run.session, run.canvas);
  EXPECT_EQ(run.out.str(), "");
  EXPECT_TRUE(run.session.settings.Label6);
  EXPECT_TRUE(run.session.settings.Label7);
  EXPECT_EQ(run.session.cut, nullptr);
}

TEST(StandardFrame, NoSheetsReadsThePageButOpensNoDocument) {
  for (int sheets : {0, -3}) {
    TraceRun run;
    run.session.settings.SpinEdit1 = sheets;
    print00Click(run.session, run.canvas);
    EXPECT_EQ(run.out.str(), "page 4760 6814\n");
    EXPECT_FALSE(run.session.settings.Label6);
    EXPECT_FALSE(run.session.settings.Label7);
    EXPECT_NE(run.session.cut, nullptr);  // the run's own clip-art choice is made all the same
  }
}

// Sees the labels as the window would show them while each document is opened.
class LabelWatchingCanvas : public TraceCanvas {
 public:
  LabelWatchingCanvas(std::ostream& out, const Settings& settings)
      : TraceCanvas(out, TraceRun::kWidth, TraceRun::kHeight), settings_(settings) {}
  void beginDoc(const DocumentInfo& info) override {
    TraceCanvas::beginDoc(info);
    seen.push_back({settings_.Label6, settings_.Label7});
  }
  std::vector<std::pair<bool, bool>> seen;

 private:
  const Settings& settings_;
};

TEST(StandardFrame, Label6ShowsAndLabel7HidesWhileTheRunPrints) {
  TraceRun run;
  run.session.settings.SpinEdit1 = 2;
  LabelWatchingCanvas canvas(run.out, run.session.settings);
  print00Click(run.session, canvas);
  EXPECT_EQ(canvas.seen, (std::vector<std::pair<bool, bool>>{{true, false}, {true, false}}));
  EXPECT_FALSE(run.session.settings.Label6);
  EXPECT_FALSE(run.session.settings.Label7);
}

TEST(StandardFrame, ClipArtNumberOutsideTheTableDrawsNoPicture) {
  TraceRun run;
  run.session.settings.CheckBox4 = true;
  run.session.settings.SpinEdit4 = 0;
  print00Click(run.session, run.canvas);
  const std::vector<std::string> all = draws(run.ops());
  ASSERT_FALSE(all.empty());
  EXPECT_EQ(all[0], "TForm2.Image41 1190 758 1892 992");
}

TEST(StandardFrame, AnswerPagesFollowEachSheetWithItsPictureAndProblems) {
  TraceRun run;
  Settings& s = run.session.settings;
  s.SpinEdit1 = 3;
  s.CheckBox15 = true;
  s.CheckBox16 = true;
  s.shurui = 12;  // divisions with remainder: answers carry remainder marks
  print00Click(run.session, run.canvas);
  const std::vector<Op> ops = run.ops();
  ASSERT_EQ(countKind(ops, "begin_doc"), 6);

  for (int sheet = 0; sheet < 3; ++sheet) {
    const std::vector<Op> problems = document(ops, 2 * sheet);
    const std::vector<Op> answers = document(ops, 2 * sheet + 1);
    ASSERT_FALSE(problems.empty());
    ASSERT_FALSE(answers.empty());
    // The clip-art of the problem page comes again, unchosen, on its answer page.
    EXPECT_EQ(drawKey(problems[0]), drawKey(answers[0])) << "sheet " << sheet;
    EXPECT_EQ(draws(problems, "TForm1.Image7").size(), 1u);
    EXPECT_TRUE(draws(answers, "TForm1.Image7").empty());
    // Every glyph of a problem page lies over its text: all draws but clip-art, header and time field.
    EXPECT_EQ(countKind(problems, "text"), static_cast<int>(draws(problems).size()) - 6);
    EXPECT_EQ(countKind(answers, "text"), 0);

    // The answer page repeats every glyph of the problem page, in the same place and order.
    std::vector<std::string> problemDraws = draws(problems);
    problemDraws.resize(problemDraws.size() - 2);  // without the time field
    const std::vector<std::string> answerDraws = draws(answers);
    std::size_t next = 0;
    for (const std::string& d : answerDraws) {
      if (next < problemDraws.size() && d == problemDraws[next]) ++next;
    }
    EXPECT_EQ(next, problemDraws.size()) << "sheet " << sheet;
    EXPECT_GT(answerDraws.size(), problemDraws.size() + 20);
  }
}

TEST(StandardFrame, SwitchesRemoveClipArtHeaderAndTimeField) {
  struct Case {
    bool clipArt, header, time;
  };
  for (const Case c : {Case{false, true, false}, Case{true, false, true}, Case{false, false, false}}) {
    TraceRun run;
    Settings& s = run.session.settings;
    s.CheckBox2 = c.clipArt;
    s.CheckBox1 = c.header;
    s.CheckBox16 = c.time;
    s.CheckBox15 = true;
    s.CheckBox4 = true;
    print00Click(run.session, run.canvas);
    const std::vector<Op> ops = run.ops();
    EXPECT_EQ(draws(ops, "TForm2.Image48").size(), c.clipArt ? 2u : 0u);
    EXPECT_EQ(draws(ops, "TForm2.Image41").size(), c.header ? 2u : 0u);
    EXPECT_EQ(draws(ops, "TForm2.Image43").size(), c.header ? 2u : 0u);
    EXPECT_EQ(draws(ops, "TForm1.Image8").size(), c.time ? 1u : 0u);
  }
}

TEST(StandardFrame, HundredDivisionsUseTheSmallerGlyphs) {
  struct Case {
    int shurui;
    const char* firstEquals;
  };
  // Box 5 of cell 0: x = 2 * gw + 4 * gw; y = 2 * 283 + 2 * gh.
  const Case cases[] = {{12, "TForm2.Image31 660 906 770 1076"},
                        {14, "TForm2.Image31 660 906 770 1076"},
                        {10, "TForm2.Image31 780 934 910 1118"}};
  for (const Case& c : cases) {
    TraceRun run;
    run.session.settings.shurui = c.shurui;
    run.session.settings.setMondaisuu(3);
    ASSERT_EQ(run.session.settings.SpinEdit3(), 100);
    print00Click(run.session, run.canvas);
    const std::vector<std::string> equals = draws(run.ops(), "TForm2.Image31");
    ASSERT_EQ(equals.size(), 100u);
    EXPECT_EQ(equals[0], c.firstEquals) << "kind " << c.shurui;
  }
}

TEST(StandardFrame, EmptyPoolDealsNothingAndShowsNoStaleRecord) {
  TraceRun run;
  Settings& s = run.session.settings;
  s.shurui = 8;  // times tables with no row ticked
  for (auto box : Settings::timesRowBoxes) s.*box = false;
  s.CheckBox15 = true;
  const ProblemRecord stale{7, 5, 12, kPlus};
  run.session.pool.problemPool[1] = stale;
  run.session.pool.sheetProblems[1] = stale;
  run.session.pool.dealtCount = 20;
  print00Click(run.session, run.canvas);
  const std::vector<Op> ops = run.ops();
  EXPECT_EQ(countKind(ops, "begin_doc"), 2);
  // Only the frame: clip-art and the three header pictures on each page.
  EXPECT_EQ(draws(document(ops, 0)).size(), 4u);
  EXPECT_EQ(draws(document(ops, 1)).size(), 4u);
  EXPECT_EQ(countKind(ops, "text"), 0);
  EXPECT_EQ(run.session.pool.dealtCount, 0);
}

// 100-problem answer pages: a row of 7 or 7.5 boxes is wider than its column on most papers, so the
// boxes narrow to what the widest row of the page needs; nothing reaches the next column or the edge.
TEST(StandardFrame, HundredAnswerRowsFitTheirColumnOnEveryPaper) {
  struct Page {
    const char* name;
    int width;
    int height;
  };
  const Page pages[] = {
      {"A4", 4958, 7017}, {"Letter", 5100, 6600}, {"Legal", 5100, 8400}, {"tall", 3000, 9000}};
  int narrowed = 0;
  for (const Preset& preset : presets()) {
    if (preset.engine != Engine::Standard || preset.countItem != 3) continue;
    for (const Page& page : pages) {
      SCOPED_TRACE(std::string(preset.button) + " on " + page.name);
      Random rng{7};
      Session session{ImageSet::builtIn(), rng};
      Settings& s = session.settings;
      for (auto box : Settings::timesRowBoxes) s.*box = true;
      s.CheckBox1 = false;  // only cells on the answer page
      s.CheckBox2 = false;
      s.CheckBox15 = true;
      std::ostringstream out;
      TraceCanvas canvas{out, page.width, page.height};
      ASSERT_TRUE(runPreset(preset, session, canvas));
      const std::vector<Op> answers = document(testing::parseTrace(out.str()), 1);

      const PageMetrics m = standardPageMetrics(3, preset.kind, page.height);
      const int gw = m.glyphWidth;
      int need = 0;
      for (int k = 1; k <= 100; ++k) {
        const ProblemRecord& r = session.pool.sheetProblems[static_cast<std::size_t>(k)];
        const bool remainder = r.sign == kDivided && r.first % r.second != 0;
        need = std::max(need, remainder ? 15 : (r.sign != kDivided && r.result >= 10 ? 14 : 12));
      }
      const int colW = (page.width - 2 * gw) / m.columnCount;
      const int aw = std::min(gw, ((colW - gw / 2) * 2) / need);
      if (aw < gw) ++narrowed;

      std::size_t at = 0;
      for (int k = 0; k < 100; ++k) {
        const CellOrigin o = standardCellOrigin(m, page.width, 3, k);
        const int limit = std::min(o.x + colW, page.width);  // the next column's first box, the edge
        for (; at < answers.size() && answers[at].kind == "draw" && answers[at].numbers[1] == o.y; ++at) {
          const Op& d = answers[at];
          const int left = d.numbers[0] - o.x;
          const int width = d.numbers[2] - d.numbers[0];
          EXPECT_EQ(d.numbers[3], o.y + m.glyphHeight);
          if (d.name == "TForm1.Image6") {
            EXPECT_EQ(left, 6 * aw);
            EXPECT_EQ(width, aw / 2);
          } else {
            EXPECT_EQ(width, aw) << testing::drawKey(d);
            EXPECT_TRUE(left % aw == 0 || left == 6 * aw + aw / 2) << testing::drawKey(d);
          }
          EXPECT_LE(d.numbers[2], limit) << "cell " << k << ": " << testing::drawKey(d);
        }
      }
      EXPECT_EQ(at, answers.size()) << "a draw outside every answer row";
    }
  }
  EXPECT_GT(narrowed, 0);
}

// Cells drawn directly, on the 20-problem metrics at the first cell (320, 1282).
struct CellCase {
  ProblemRecord record;
  std::vector<std::string> answerDraws;
};

TEST(StandardCells, AnswerRows) {
  const PageMetrics m = standardPageMetrics(0, 0, kH);
  const CellCase cases[] = {
      {{7, 5, 12, kPlus},
       {"TForm2.Image17 480 1282 640 1516", "TForm2.Image32 640 1282 800 1516",
        "TForm2.Image15 800 1282 960 1516", "TForm2.Image31 960 1282 1120 1516",
        "TForm2.Image11 1120 1282 1280 1516", "TForm2.Image12 1280 1282 1440 1516"}},
      {{9, 3, 6, kMinus},
       {"TForm2.Image19 480 1282 640 1516", "TForm2.Image33 640 1282 800 1516",
        "TForm2.Image13 800 1282 960 1516", "TForm2.Image31 960 1282 1120 1516",
        "TForm2.Image16 1120 1282 1280 1516"}},
      // The result field of a division is not used: the quotient comes from the operands.
      {{17, 5, 0, kDivided},
       {"TForm2.Image11 320 1282 480 1516", "TForm2.Image17 480 1282 640 1516",
        "TForm2.Image35 640 1282 800 1516", "TForm2.Image15 800 1282 960 1516",
        "TForm2.Image31 960 1282 1120 1516", "TForm2.Image13 1120 1282 1280 1516",
        "TForm1.Image6 1280 1282 1360 1516", "TForm2.Image12 1360 1282 1520 1516"}},
      {{18, 6, 0, kDivided},
       {"TForm2.Image11 320 1282 480 1516", "TForm2.Image18 480 1282 640 1516",
        "TForm2.Image35 640 1282 800 1516", "TForm2.Image16 800 1282 960 1516",
        "TForm2.Image31 960 1282 1120 1516", "TForm2.Image13 1120 1282 1280 1516"}},
      {{6, 7, 42, kTimes},
       {"TForm2.Image16 480 1282 640 1516", "TForm2.Image34 640 1282 800 1516",
        "TForm2.Image17 800 1282 960 1516", "TForm2.Image31 960 1282 1120 1516",
        "TForm2.Image14 1120 1282 1280 1516", "TForm2.Image12 1280 1282 1440 1516"}},
  };
  for (const CellCase& c : cases) {
    TraceRun run;
    drawAnswerCell(run.session, run.canvas, m, c.record, 320, 1282);
    const std::vector<Op> ops = run.ops();
    EXPECT_EQ(draws(ops), c.answerDraws)
        << c.record.first << " op " << c.record.sign << " " << c.record.second;
    EXPECT_EQ(countKind(ops, "text"), 0);
  }
}

TEST(StandardCells, ProblemRowWritesTextUnderEveryGlyphAndLeavesTheAnswerBlank) {
  const PageMetrics m = standardPageMetrics(0, 0, kH);
  TraceRun run;
  run.session.settings.withTiles = 1;  // no tiles for a multiplication even so
  drawProblemCell(run.session, run.canvas, m, ProblemRecord{12, 4, 48, kTimes}, 320, 1282);
  std::vector<std::string> lines;
  for (const Op& op : run.ops()) {
    if (op.kind == "text")
      lines.push_back(op.text + " " + std::to_string(op.numbers[0]) + " " + std::to_string(op.numbers[1]));
    // Not "h" + std::to_string(...): GCC 12 at -O3 takes it for an overlapping copy (-Wrestrict).
    if (op.kind == "font_height") lines.push_back(std::string("h").append(std::to_string(op.numbers[0])));
    if (op.kind == "draw") lines.push_back(drawKey(op));
    if (op.kind == "move" || op.kind == "line" || op.kind == "pen") lines.push_back(op.kind);
  }
  EXPECT_EQ(lines, (std::vector<std::string>{"h264", "1 320 1282", "TForm2.Image11 320 1282 480 1516",  //
                                             "h264", "2 480 1282", "TForm2.Image12 480 1282 640 1516",  //
                                             "h156", "× 640 1321", "TForm2.Image34 640 1282 800 1516",  //
                                             "h264", "4 800 1282", "TForm2.Image14 800 1282 960 1516",  //
                                             "h156", "＝ 960 1328", "TForm2.Image31 960 1282 1120 1516"}));
}

// Tiles, on the 10-problem metrics at the first cell (360, 2226): u = 106.
struct TileTrace {
  std::vector<std::pair<int, int>> squares;  // top-left corners, in drawing order
  int scaleY = 0;
  std::vector<int> ticks;
  int tickHeight = 0;
};

TileTrace traceTiles(const ProblemRecord& record, int trg) {
  TraceRun run;
  run.session.settings.withTiles = 1;
  run.session.settings.trg = trg;
  const PageMetrics m = standardPageMetrics(7, 0, kH);
  EXPECT_EQ(standardCellOrigin(m, 4760, 7, 0), (CellOrigin{360, 2226}));
  drawTiles(run.session, run.canvas, m, record, 360, 2226);
  const std::vector<Op> ops = run.ops();
  TileTrace t;
  std::size_t i = 1;
  EXPECT_EQ(ops.at(i).kind, "pen");
  EXPECT_EQ(ops.at(i).numbers, std::vector<int>{6});
  for (++i; i < ops.size() && ops[i].kind != "pen"; i += 5) {
    const int x = ops[i].numbers[0];
    const int y = ops[i].numbers[1];
    EXPECT_EQ(ops[i].kind, "move");
    // Four lines around the square, back to its corner.
    EXPECT_EQ(ops[i + 1].numbers, (std::vector<int>{x, y + 106}));
    EXPECT_EQ(ops[i + 2].numbers, (std::vector<int>{x + 106, y + 106}));
    EXPECT_EQ(ops[i + 3].numbers, (std::vector<int>{x + 106, y}));
    EXPECT_EQ(ops[i + 4].numbers, (std::vector<int>{x, y}));
    t.squares.emplace_back(x, y);
  }
  EXPECT_EQ(ops.at(i).numbers, std::vector<int>{3});
  t.scaleY = ops.at(i + 1).numbers[1];
  for (++i; i < ops.size(); ++i) {
    if (ops[i].kind == "line" && ops[i].numbers[1] != t.scaleY) {
      t.ticks.push_back(ops[i].numbers[0]);
      t.tickHeight = t.scaleY - ops[i].numbers[1];
    }
  }
  return t;
}

std::vector<std::pair<int, int>> row(int top, std::vector<int> xs) {
  std::vector<std::pair<int, int>> out;
  for (int x : xs) out.emplace_back(x, top);
  return out;
}

std::vector<std::pair<int, int>> join(std::vector<std::pair<int, int>> a,
                                      const std::vector<std::pair<int, int>>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const std::vector<int> kTicks = {360, 466, 572, 678, 784, 898, 1012, 1118, 1224, 1330, 1436};

TEST(StandardTiles, WorkedExamplesOfAdditionAndSubtraction) {
  struct Case {
    ProblemRecord record;
    int trg;
    std::vector<std::pair<int, int>> squares;
    int scaleY;
  };
  const Case cases[] = {
      {{8, 7, 15, kPlus},
       0,
       join(row(1837, {360, 466, 572, 678, 784, 906, 1012, 1118}),
            row(2026, {360, 466, 572, 678, 784, 906, 1012})),
       2173},
      {{0, 4, 4, kPlus}, 0, row(2026, {360, 466, 572, 678}), 2173},
      {{13, 6, 7, kMinus},
       0,
       join(row(1979, {360, 466, 572}), row(1837, {360, 466, 572, 678, 784, 906, 1012, 1118, 1224, 1330})),
       2130},
      {{9, 3, 6, kMinus}, 0, row(1979, {360, 466, 572, 678, 784, 906, 1012, 1118, 1224}), 2130},
      {{10, 3, 7, kMinus}, 0, row(1979, {360, 466, 572, 678, 784, 906, 1012, 1118, 1224, 1330}), 2130},
      {{13, 6, 7, kMinus},
       1,
       row(1979, {360, 466, 572, 678, 784, 906, 1012, 1118, 1224, 1330, 1460, 1566, 1672}),
       2130},
      {{17, 8, 9, kMinus},
       1,
       row(1979,
           {360, 466, 572, 678, 784, 906, 1012, 1118, 1224, 1330, 1460, 1566, 1672, 1778, 1884, 2006, 2112}),
       2130},
  };
  for (const Case& c : cases) {
    const TileTrace t = traceTiles(c.record, c.trg);
    EXPECT_EQ(t.squares, c.squares) << c.record.first << " op " << c.record.sign << " trg " << c.trg;
    EXPECT_EQ(t.scaleY, c.scaleY);
    EXPECT_EQ(t.ticks, kTicks);
    EXPECT_EQ(t.tickHeight, 17);
  }
}

TEST(StandardTiles, OnlyAdditionAndSubtractionWhileATilePresetRuns) {
  const PageMetrics m = standardPageMetrics(7, 0, kH);
  struct Case {
    int withTiles;
    ProblemRecord record;
    bool tiles;
  };
  const Case cases[] = {{1, {3, 4, 12, kTimes}, false},
                        {1, {8, 4, 2, kDivided}, false},
                        {0, {8, 7, 15, kPlus}, false},
                        {1, {8, 7, 15, kPlus}, true}};
  for (const Case& c : cases) {
    TraceRun run;
    run.session.settings.withTiles = c.withTiles;
    drawProblemCell(run.session, run.canvas, m, c.record, 360, 2226);
    const std::vector<Op> ops = run.ops();
    EXPECT_EQ(countKind(ops, "line") > 0, c.tiles)
        << "sign " << c.record.sign << " withTiles " << c.withTiles;
    EXPECT_EQ(countKind(ops, "pen") > 0, c.tiles);
  }
}

}  // namespace
}  // namespace kirune
