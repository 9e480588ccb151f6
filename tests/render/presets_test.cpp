#include "render/presets.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "problems/random.h"
#include "render/image_set.h"
#include "render/trace_canvas.h"

namespace kirune {
namespace {

// The preset grid written out the way a teacher reads it: one line per half row, its tile buttons and
// its count buttons, left to right. Captions and count items are derived below, not copied.
struct HalfRow {
  int gridRow;
  int half;
  std::string title;
  int kind;
  std::vector<int> tileButtons;   // captions ５, １０, s18
  std::vector<int> countButtons;  // captions by grid row, see countCaptions()
};

const std::vector<HalfRow>& grid() {
  static const std::vector<HalfRow> rows = {
      {1, 0, "くりあがりなし", 0, {136, 135, 151}, {75, 76, 1, 77, 2, 78, 3, 79}},
      {1, 1, "くりさがりなし", 4, {147, 146, 155}, {80, 81, 4, 82, 5, 83, 6, 84}},
      {2, 0, "くりあがりなし(含10)", 1, {138, 137, 152}, {63, 46, 7, 47, 8, 48, 9, 52}},
      {2, 1, "くりさがりなし(含10)", 5, {148, 145, 156}, {64, 49, 10, 50, 11, 51, 12, 45}},
      {3, 0, "くりあがり", 2, {140, 139, 153}, {57, 53, 13, 54, 14, 55, 15, 56}},
      {3, 1, "くりさがり", 6, {149, 144, 157}, {59, 58, 16, 60, 17, 61, 18, 62}},
      {4, 0, "たしざん混合", 3, {142, 141, 154}, {65, 66, 19, 67, 20, 68, 21, 69}},
      {4, 1, "ひきざん混合", 7, {150, 143, 158}, {70, 71, 22, 72, 23, 73, 24, 74}},
      {5, 0, "たし算ひき算混合", 19, {}, {159, 160, 161, 162, 163, 164, 165, 166}},
      {6, 0, "かけ算九九(含0)", 8, {}, {118, 26, 85, 27, 86}},
      {6, 1, "かけ算九九(除0)", 9, {}, {117, 29, 87, 30, 88}},
      {7, 0, "わり算あまりなし", 10, {}, {90, 89, 31, 91, 32, 92, 33, 93}},
      {7, 1, "わり算あまりあり", 12, {}, {94, 95, 34, 96, 35, 97, 36, 98}},
      {8, 0, "わり算あまりなし（除0・1）", 11, {}, {99, 100, 37, 101, 38, 102, 39, 103}},
      {8, 1, "わり算混合", 13, {}, {104, 105, 40, 106, 41, 107, 42, 108}},
      {9, 0, "わり算難しいのだけ選んで", 14, {}, {109, 110, 111, 112, 28, 113, 43, 114}},
      {9, 1, "九九穴埋め  A×□=B･□×A=B　（除0）", 17, {}, {119, 120, 121, 122, 123, 124, 125, 126}},
      {10, 0, "１０までの分解（さくらんぼ）", 18, {}, {133, 127, 134, 131, 132}},
  };
  return rows;
}

// Full-width digits of a count; grid rows 1 to 5 write 100 in ASCII.
std::string caption(int count, int gridRow) {
  if (count == 100 && gridRow <= 5) return "100";
  static const char* const wide[] = {"０", "１", "２", "３", "４", "５", "６", "７", "８", "９"};
  std::string s;
  for (char c : std::to_string(count)) s += wide[c - '0'];
  return s;
}

std::vector<int> countsOfRow(int gridRow) {
  if (gridRow == 6) return {20, 40, 60, 80, 100};
  if (gridRow == 10) return {9, 10, 12, 15, 20};
  return {10, 12, 20, 30, 40, 60, 80, 100};
}

int itemOfCount(int count) {
  for (std::size_t i = 0; i < kMondaisuuItemCounts.size(); ++i) {
    if (kMondaisuuItemCounts[i] == count) return static_cast<int>(i);
  }
  return -1;
}

struct Expected {
  Preset p;
  std::string title, caption, tip;
  std::string button;
};

std::vector<Expected> expectedPresets() {
  std::vector<Expected> out;
  for (const HalfRow& r : grid()) {
    const Engine engine =
        r.kind == 17 ? Engine::FillIn : (r.kind == 18 ? Engine::Decomposition : Engine::Standard);
    const Guard guard =
        r.gridRow == 6 ? Guard::TimesRows : (r.kind == 18 ? Guard::DecomposeNumbers : Guard::None);
    int slot = 0;
    const int tileCounts[] = {5, 10, 18};
    for (std::size_t i = 0; i < r.tileButtons.size(); ++i) {
      Expected e;
      e.button = "BitBtn" + std::to_string(r.tileButtons[i]);
      const int count = tileCounts[i];
      e.caption = count == 18 ? "s18" : caption(count, r.gridRow);
      e.tip = count == 18               ? "下に余白のある18題"
              : r.tileButtons[i] == 137 ? "問題の上にタイル図がいんさつされます。"
                                        : "問題の上にタイル図が印刷されます。";
      e.p = {{}, r.gridRow, r.half, slot++, {}, {}, r.kind, itemOfCount(count), engine, true, guard, 0, {}};
      e.title = r.title;
      out.push_back(e);
    }
    const std::vector<int> counts = countsOfRow(r.gridRow);
    EXPECT_EQ(counts.size(), r.countButtons.size()) << "grid row " << r.gridRow;
    for (std::size_t i = 0; i < counts.size(); ++i) {
      Expected e;
      e.button = "BitBtn" + std::to_string(r.countButtons[i]);
      e.caption = caption(counts[i], r.gridRow);
      int perSheet = 0;
      if (r.kind == 18 && (counts[i] == 9 || counts[i] == 12 || counts[i] == 15)) perSheet = counts[i];
      e.p = {{},     r.gridRow, r.half, slot++,   {}, {}, r.kind, itemOfCount(counts[i]),
             engine, false,     guard,  perSheet, {}};
      e.title = r.title;
      out.push_back(e);
    }
  }
  return out;
}

TEST(PresetTable, EveryRowMatchesTheGrid) {
  const std::vector<Expected> expected = expectedPresets();
  const auto table = presets();
  ASSERT_EQ(expected.size(), 159u);
  ASSERT_EQ(table.size(), expected.size());
  for (std::size_t i = 0; i < table.size(); ++i) {
    const Preset& got = table[i];
    const Expected& want = expected[i];
    SCOPED_TRACE(want.button);
    EXPECT_EQ(got.button, want.button);
    EXPECT_EQ(got.gridRow, want.p.gridRow);
    EXPECT_EQ(got.half, want.p.half);
    EXPECT_EQ(got.slot, want.p.slot);
    EXPECT_EQ(got.rowTitle, want.title);
    EXPECT_EQ(got.caption, want.caption);
    EXPECT_EQ(got.kind, want.p.kind);
    EXPECT_EQ(got.countItem, want.p.countItem);
    EXPECT_EQ(got.engine, want.p.engine);
    EXPECT_EQ(got.tiles, want.p.tiles);
    EXPECT_EQ(got.guard, want.p.guard);
    EXPECT_EQ(got.problemsPerSheet, want.p.problemsPerSheet);
    EXPECT_EQ(got.toolTip, want.tip);
    EXPECT_EQ(findPreset(want.button), &got);
  }
}

TEST(PresetTable, ButtonsAreUniqueAndUnusedChoicesNeverSelected) {
  std::set<std::string_view> buttons;
  std::map<int, int> perRow;
  for (const Preset& p : presets()) {
    EXPECT_TRUE(buttons.insert(p.button).second) << p.button;
    EXPECT_NE(p.kind, 15);
    EXPECT_NE(p.kind, 16);
    EXPECT_NE(p.countItem, 12);
    ++perRow[p.gridRow];
  }
  // 1..166 minus the non-preset buttons BitBtn25, 44, 115, 116, 128, 129, 130.
  EXPECT_EQ(buttons.size(), 159u);
  const std::map<int, int> wantPerRow = {{1, 22}, {2, 22}, {3, 22}, {4, 22}, {5, 8},
                                         {6, 10}, {7, 16}, {8, 16}, {9, 16}, {10, 5}};
  EXPECT_EQ(perRow, wantPerRow);
  EXPECT_EQ(findPreset("BitBtn25"), nullptr);
  EXPECT_EQ(findPreset("BitBtn999"), nullptr);
  EXPECT_EQ(findPreset(""), nullptr);
}

// ---- The runner --------------------------------------------------------------------------------------

class PresetRunner : public ::testing::Test {
 protected:
  Random rng{42};
  Session session{ImageSet::builtIn(), rng};
  std::ostringstream trace;
  TraceCanvas canvas{trace, 4760, 6814};
  std::vector<bool> windowCalls;
  std::function<void(bool)> window = [this](bool enabled) { windowCalls.push_back(enabled); };

  bool click(std::string_view button) {
    const Preset* p = findPreset(button);
    EXPECT_NE(p, nullptr) << button;
    return p && runPreset(*p, session, canvas, window);
  }
  int documents() const {
    std::istringstream in(trace.str());
    int n = 0;
    for (std::string line; std::getline(in, line);) n += line == "begin_doc";
    return n;
  }
};

TEST_F(PresetRunner, SetsKindCountAndProblemsPerSheet) {
  struct Case {
    std::string_view button;
    int kind, item, perSheet;
  };
  const Case cases[] = {
      {"BitBtn14", 2, 1, 40},   {"BitBtn136", 0, 10, 5},  {"BitBtn86", 8, 3, 100},  {"BitBtn133", 18, 9, 9},
      {"BitBtn134", 18, 4, 12}, {"BitBtn121", 17, 0, 20}, {"BitBtn151", 0, 11, 18}, {"BitBtn93", 10, 3, 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.button);
    windowCalls.clear();
    EXPECT_TRUE(click(c.button));
    EXPECT_EQ(session.settings.shurui, c.kind);
    EXPECT_EQ(session.settings.mondaisuu(), c.item);
    EXPECT_EQ(session.settings.SpinEdit3(), c.perSheet);
    EXPECT_EQ(windowCalls, (std::vector<bool>{false, true}));
    EXPECT_FALSE(session.settings.Label7);
    EXPECT_EQ(session.settings.withTiles, 0);
  }
}

TEST_F(PresetRunner, DecompositionFifteenThenTwentyLeavesTwenty) {
  click("BitBtn131");
  EXPECT_EQ(session.settings.mondaisuu(), 8);
  EXPECT_EQ(session.settings.SpinEdit3(), 15);
  click("BitBtn132");
  EXPECT_EQ(session.settings.mondaisuu(), 0);
  EXPECT_EQ(session.settings.SpinEdit3(), 20);
}

TEST_F(PresetRunner, GuardStopsPresetWithoutChangingAnything) {
  for (bool decompose : {false, true}) {
    SCOPED_TRACE(decompose ? "decomposition" : "times table");
    Settings& s = session.settings;
    // A state unlike the one the preset would leave.
    s.shurui = 5;
    s.setMondaisuu(1);
    s.Label7 = false;
    s.Label6 = true;
    if (decompose) {
      for (auto box : Settings::decomposeBoxes) s.*box = false;
    } else {
      for (auto box : Settings::timesRowBoxes) s.*box = false;
    }
    windowCalls.clear();
    for (std::string_view button : decompose ? std::vector<std::string_view>{"BitBtn131", "BitBtn133"}
                                             : std::vector<std::string_view>{"BitBtn118", "BitBtn88"}) {
      EXPECT_FALSE(click(button)) << button;
    }
    EXPECT_EQ(s.shurui, 5);
    EXPECT_EQ(s.mondaisuu(), 1);
    EXPECT_EQ(s.SpinEdit3(), 40);
    EXPECT_FALSE(s.Label7);
    EXPECT_TRUE(s.Label6);
    EXPECT_TRUE(windowCalls.empty());
    EXPECT_EQ(trace.str(), "");
    // One ticked box is enough.
    s.*(decompose ? Settings::decomposeBoxes[8] : Settings::timesRowBoxes[9]) = true;
    EXPECT_TRUE(click(decompose ? "BitBtn133" : "BitBtn118"));
    EXPECT_EQ(documents(), 1);
    trace.str("");
    for (auto box : Settings::decomposeBoxes) s.*box = true;
    for (auto box : Settings::timesRowBoxes) s.*box = true;
  }
}

// Records what the engine saw while it drew, and can fail the way a printer does.
class WatchingCanvas : public TraceCanvas {
 public:
  WatchingCanvas(std::ostream& out, const Settings& watched, bool failing)
      : TraceCanvas(out, 4760, 6814), settings(watched), fail(failing) {}
  void beginDoc(const DocumentInfo& info) override {
    tilesSeen.push_back(settings.withTiles);
    infos.push_back(info);
    if (fail) throw PrinterError("printer gone");
    TraceCanvas::beginDoc(info);
  }
  const Settings& settings;
  bool fail;
  std::vector<int> tilesSeen;
  std::vector<DocumentInfo> infos;
};

TEST_F(PresetRunner, TilesOnlyDuringTheRunAndStateRestoredAfterAFailure) {
  for (bool fail : {false, true}) {
    SCOPED_TRACE(fail ? "failing printer" : "working printer");
    WatchingCanvas watching(trace, session.settings, fail);
    windowCalls.clear();
    session.settings.Label7 = false;
    const Preset& tile = *findPreset("BitBtn147");
    if (fail) {
      EXPECT_THROW(runPreset(tile, session, watching, window), PrinterError);
    } else {
      EXPECT_TRUE(runPreset(tile, session, watching, window));
    }
    EXPECT_EQ(watching.tilesSeen, std::vector<int>{1});
    EXPECT_EQ(session.settings.withTiles, 0);
    EXPECT_FALSE(session.settings.Label7);
    EXPECT_EQ(windowCalls, (std::vector<bool>{false, true}));
    // The next preset without tiles draws none.
    WatchingCanvas after(trace, session.settings, false);
    EXPECT_TRUE(runPreset(*findPreset("BitBtn4"), session, after, window));
    EXPECT_EQ(after.tilesSeen, std::vector<int>{0});
  }
}

// Each document says what it is: its sheet, problems or answers, and what the run prints.
TEST_F(PresetRunner, ThreeSheetsWithAnswersAreSixDocumentsThatKnowWhatTheyAreOnEveryEngine) {
  session.settings.SpinEdit1 = 3;
  session.settings.CheckBox15 = true;
  for (std::string_view button : {"BitBtn1", "BitBtn121", "BitBtn132"}) {
    SCOPED_TRACE(button);
    WatchingCanvas watching(trace, session.settings, false);
    EXPECT_TRUE(runPreset(*findPreset(button), session, watching, window));
    const std::string title = runTitle(*findPreset(button));
    std::vector<DocumentInfo> expected;
    for (int sheet = 1; sheet <= 3; ++sheet) {
      expected.push_back({DocumentKind::Problems, sheet, 3, title});
      expected.push_back({DocumentKind::Answers, sheet, 3, title});
    }
    EXPECT_EQ(watching.infos, expected);
  }
  EXPECT_EQ(runTitle(*findPreset("BitBtn13")), "くりあがり ２０");
}

TEST_F(PresetRunner, PlannedDocumentsAreTheDocumentsTheRunMakes) {
  struct Case {
    std::string_view button;
    int sheets;
    bool print, answers, timesRows, decomposeNumbers;
  };
  const Case cases[] = {
      {"BitBtn1", 3, true, true, true, true},    {"BitBtn1", 2, true, false, true, true},
      {"BitBtn1", 0, true, true, true, true},    {"BitBtn1", -4, true, true, true, true},
      {"BitBtn1", 2, false, true, true, true},   {"BitBtn121", 2, true, true, false, false},
      {"BitBtn132", 2, true, true, true, false}, {"BitBtn132", 1, true, true, false, true},
      {"BitBtn14", 2, true, false, false, true}, {"BitBtn14", 2, true, false, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.button) + " sheets " + std::to_string(c.sheets));
    Settings& s = session.settings;
    s.SpinEdit1 = c.sheets;
    s.CheckBox3 = c.print;
    s.CheckBox15 = c.answers;
    for (auto field : Settings::timesRowBoxes) s.*field = false;
    for (auto field : Settings::decomposeBoxes) s.*field = false;
    s.CheckBox9 = c.timesRows;
    s.CheckBox20 = c.decomposeNumbers;
    const Preset& preset = *findPreset(c.button);
    const std::int64_t planned = plannedDocuments(preset, s);
    trace.str("");
    runPreset(preset, session, canvas, window);
    EXPECT_EQ(planned, documents());
  }
}

TEST(PlannedDocuments, LargestSheetCountWithAnswersDoesNotOverflow) {
  Settings s;
  s.SpinEdit1 = std::numeric_limits<int>::max();
  s.CheckBox15 = true;
  EXPECT_EQ(plannedDocuments(*findPreset("BitBtn1"), s), 2 * std::int64_t{std::numeric_limits<int>::max()});
}

TEST_F(PresetRunner, PrintSwitchOffStillRestoresTheWindow) {
  session.settings.CheckBox3 = false;
  EXPECT_TRUE(click("BitBtn136"));
  EXPECT_EQ(documents(), 0);
  EXPECT_EQ(session.settings.shurui, 0);
  EXPECT_EQ(session.settings.mondaisuu(), 10);
  EXPECT_EQ(windowCalls, (std::vector<bool>{false, true}));
  EXPECT_EQ(session.settings.withTiles, 0);
}

}  // namespace
}  // namespace kirune
