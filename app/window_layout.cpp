#include "app/window_layout.h"

#include <algorithm>
#include <array>

namespace kirune {

namespace {

// Upper preset block (grid rows 1 to 4): column k = 11 * half + slot sits at (a * C) / 10 + b and is
// C + w wide. The division is taken on the product, never on C alone.
struct UpperColumn {
  int a;
  int b;
  int w;
};
constexpr std::array<UpperColumn, 22> kUpperColumns = {{
    {0, 20, -25},    // 0  left tile "５"
    {8, 10, -15},    // 1  left tile "１０"
    {16, 10, -10},   // 2  left tile "s18"
    {24, 15, -15},   // 3  left counts "１０" .. "８０"
    {32, 15, -15},   // 4
    {40, 15, -15},   // 5
    {48, 15, -15},   // 6
    {56, 15, -15},   // 7
    {64, 15, -15},   // 8
    {72, 15, -15},   // 9
    {80, 15, -10},   // 10 left "100": 8 * C + 15
    {88, 40, -20},   // 11 right tile "５"
    {96, 35, -15},   // 12 right tile "１０"
    {104, 35, -10},  // 13 right tile "s18"
    {112, 40, -15},  // 14 right counts "１０" .. "８０"
    {120, 40, -15},  // 15
    {128, 40, -15},  // 16
    {136, 40, -15},  // 17
    {144, 40, -15},  // 18
    {152, 40, -15},  // 19
    {160, 40, -15},  // 20
    {168, 40, -10},  // 21 right "100"
}};

constexpr std::array<std::string_view, 4> kUpperLeftTitles = {"Label10", "Label5", "Label11", "Label14"};
constexpr std::array<std::string_view, 4> kUpperRightTitles = {"Label13", "Label9", "Label12", "Label15"};

// Lower preset block: one half of a grid row. The first button stands at firstC * C + firstAdd, the
// others at j * C + step for j = jFirst .. jFirst + count - 2; widths are C + the given offsets.
struct LowerHalf {
  int firstC;
  int firstAdd;
  int step;
  int jFirst;
  int count;
  int wFirst;
  int wMiddle;
  int wLast;
  int titleC;  ///< row title at titleC * C + titleAdd
  int titleAdd;
};

struct LowerRow {
  int gridRow;
  int buttonsTopR;  ///< buttons at buttonsTopR * R + 10
  int titleTopR;    ///< title at titleTopR * R + titleAdd
  int titleAdd;
  int halves;
  std::array<LowerHalf, 2> half;
};

constexpr std::array<LowerRow, 6> kLowerRows = {{
    {5, 9, 8, 25, 1, {{{0, 20, 15, 1, 8, -10, -5, 5, 0, 20}, {}}}},
    {6, 11, 10, 25, 2, {{{0, 20, 15, 1, 5, -10, -5, 5, 0, 20}, {5, 40, 35, 6, 5, -10, -5, 5, 5, 35}}}},
    {7, 13, 12, 25, 2, {{{0, 20, 15, 1, 8, -10, -5, 10, 0, 20}, {8, 40, 35, 9, 8, -10, -5, 10, 8, 35}}}},
    {8, 15, 14, 25, 2, {{{0, 20, 15, 1, 8, -10, -5, 10, 0, 20}, {8, 40, 35, 9, 8, -10, -5, 10, 8, 35}}}},
    {9, 17, 16, 27, 2, {{{0, 20, 15, 1, 8, -10, -5, 10, 0, 20}, {8, 40, 35, 9, 8, -10, -5, 10, 8, 35}}}},
    {10, 19, 18, 25, 1, {{{0, 20, 20, 1, 5, -5, -5, -5, 0, 20}, {}}}},
}};

// A check-box column: mult * C + sign * (C / divisor); divisor 0 adds nothing.
struct BoxColumn {
  int mult;
  int sign;
  int divisor;
};
constexpr std::array<BoxColumn, 7> kBoxColumns = {{
    {0, 1, 2},   // + C/2
    {1, 1, 4},   // + C/4
    {2, 0, 0},   //
    {3, -1, 4},  // - C/4
    {3, 1, 2},   // + C/2
    {4, 1, 4},   // + C/4
    {5, 0, 0},   //
}};

int boxColumnLeft(int C, int baseC, int add, std::size_t column) {
  const BoxColumn& col = kBoxColumns[column];
  const int fraction = col.divisor == 0 ? 0 : col.sign * (C / col.divisor);
  return (baseC + col.mult) * C + fraction + add;
}

// One group of check boxes with captions: the first line holds `firstLine` boxes, the second line the
// rest in the first three columns.
struct BoxGroup {
  std::string_view title;
  std::array<std::string_view, 10> boxes;
  std::array<std::string_view, 10> captions;
  int count;
  int firstLine;
  int baseC;         ///< column 0 at (baseC + 0) * C + C/2 + add
  int add;           ///< pixel offset of the boxes
  int titleAdd;      ///< title at baseC * C + C/2 + titleAdd
  int rowR;          ///< first line near rowR * R
  int captionFirst;  ///< caption left = box left + C/3 + captionFirst on the first line
  int captionSecond;
  std::string_view allOn;
  std::string_view allOff;
  int allOnC;
  int allOffC;  ///< "全uncheck" at allOffC * C - C/8 + allAdd
  int allAdd;
};

constexpr std::array<BoxGroup, 2> kBoxGroups = {{
    {"Label24",
     {"CheckBox5", "CheckBox6", "CheckBox7", "CheckBox8", "CheckBox9", "CheckBox10", "CheckBox11",
      "CheckBox12", "CheckBox13", "CheckBox14"},
     {"Label44", "Label45", "Label46", "Label47", "Label48", "Label49", "Label50", "Label51", "Label52",
      "Label53"},
     10,
     7,
     10,
     31,
     35,
     11,
     4,
     6,
     "BitBtn115",
     "BitBtn116",
     13,
     15,
     30},
    {"Label28",
     {"CheckBox17", "CheckBox18", "CheckBox19", "CheckBox20", "CheckBox21", "CheckBox22", "CheckBox23",
      "CheckBox24", "CheckBox25"},
     {"Label35", "Label36", "Label37", "Label38", "Label39", "Label40", "Label41", "Label42", "Label43"},
     9,
     6,
     5,
     16,
     20,
     19,
     6,
     6,
     "BitBtn129",
     "BitBtn130",
     8,
     10,
     22},
}};

// The zero choices z1..z4: frame, title and the two item texts.
struct ZeroChoice {
  std::string_view group;
  std::string_view title;
  std::string_view itemOn;
  std::string_view itemOff;
  int leftC;
  int leftAdd;
  bool lower;  ///< second line (kinds 1 and 5) instead of the first
};
constexpr std::array<ZeroChoice, 4> kZeroChoices = {{
    {"z1", "Label55", "Label60", "Label61", 7, 0, false},
    {"z2", "Label57", "Label62", "Label63", 7, 0, true},
    {"z3", "Label58", "Label64", "Label65", 16, 20, false},
    {"z4", "Label59", "Label66", "Label67", 16, 20, true},
}};

}  // namespace

const Placement* WindowLayout::find(std::string_view name) const {
  auto it =
      std::find_if(controls.begin(), controls.end(), [&](const Placement& p) { return p.name == name; });
  return it == controls.end() ? nullptr : &*it;
}

const PresetPlacement* WindowLayout::findPreset(int gridRow, int half, int slot) const {
  auto it = std::find_if(presetButtons.begin(), presetButtons.end(), [&](const PresetPlacement& p) {
    return p.gridRow == gridRow && p.half == half && p.slot == slot;
  });
  return it == presetButtons.end() ? nullptr : &*it;
}

WindowLayout computeWindowLayout(int screenHeight, int percent) {
  WindowLayout layout;
  const int A = screenHeight * percent / 100;
  const int B = A * 45 / 30;
  const int R = (A - 10) / 18;
  const int C = (B - 10) / 20;
  layout.A = A;
  layout.B = B;
  layout.R = R;
  layout.C = C;
  layout.clientHeight = A + 3 * R;
  layout.clientWidth = B + 3 * C;

  auto& out = layout.controls;
  auto place = [&out](std::string_view name, int left, int top, std::optional<int> width = {},
                      std::optional<int> height = {}, std::optional<int> font = {}) {
    out.push_back(Placement{name, left, top, width, height, font, false});
  };
  const std::nullopt_t keep = std::nullopt;

  // Settings column and window furniture.
  const int x0 = 19 * C + C / 2;
  out.push_back(Placement{"Label68", x0, 18, keep, keep, R / 3, true});
  place("BitBtn167", x0, R + 10, C - 15, R);
  place("BitBtn168", 20 * C + R / 6 + C / 2 - 15, R + 10, C - 15, R);
  place("BitBtn169", 21 * C + 2 * (R / 6) + C / 2 - 30, R + 10, 2 * C - 30, R);
  place("Label1", x0, 3 * R + 10, keep, keep, R / 2);
  place("SpinEdit1", 21 * C + C / 2, 3 * R + 10, keep, keep, R / 2);
  place("CheckBox1", x0, 4 * R + 10);
  place("Label34", x0 + C / 3 + 5, 4 * R - R / 8 + 10, keep, keep, R / 2);
  place("CheckBox2", 21 * C, 4 * R + 10);
  place("Label33", 21 * C + C / 3 + 5, 4 * R - R / 8 + 10, keep, keep, R / 2);
  place("CheckBox3", x0, 5 * R - R / 4 + 10);
  place("Label32", x0 + C / 3 + 5, 5 * R - R / 4 - R / 8 + 10, keep, keep, R / 2);
  place("CheckBox4", x0, 5 * R + R / 2 + 10);
  place("Label31", x0 + C / 3 + 5, 5 * R + R / 2 - R / 8 + 10, keep, keep, R / 2);
  place("CheckBox15", x0, 6 * R + R / 4 + 10);
  place("Label30", x0 + C / 3 + 5, 6 * R + R / 4 - R / 8 + 10, keep, keep, R / 2);
  place("CheckBox16", x0, 7 * R + 11);
  place("Label29", x0 + C / 3 + 5, 7 * R - R / 8 + 11, keep, keep, R / 2);
  // The preview switch, one check-box pitch below the time field, where the column has room above
  // "プリンタ設定".
  place("PreviewBox", x0, 7 * R + (3 * R) / 4 + 11);
  place("PreviewLabel", x0 + C / 3 + 5, 7 * R + (3 * R) / 4 - R / 8 + 11, keep, keep, R / 2);
  place("BitBtn25", x0, 8 * R + R / 2 + 10, 3 * C, (9 * R) / 10);
  place("BitBtn44", x0, 9 * R + R / 2 + 10, 3 * C, (9 * R) / 10);
  place("Label16", x0, 11 * R + R / 8 + 10, keep, keep, R / 2);
  place("SpinEdit4", 21 * C + C / 2, 11 * R + 10, keep, keep, R / 2);
  place("Calendar1", x0, 12 * R + 10, 3 * C, 6 * R - 10);
  place("Image4", 20 * C, 12 * R + 10);
  place("GroupBox2", x0, 18 * R + 10, 3 * C, R);
  place("BitBtn128", x0 + 2, 18 * R + 12, 3 * C, R, R / 2);
  place("Label4", 4 * C + B / 2, 2 * R + A, keep, keep, R / 3);

  // Upper preset block: grid rows 1 to 4.
  const int presetFont = R / 2 + 5;
  for (int n = 1; n <= 4; ++n) {
    for (int half = 0; half < 2; ++half) {
      for (int slot = 0; slot < 11; ++slot) {
        const UpperColumn& col = kUpperColumns[static_cast<std::size_t>(11 * half + slot)];
        layout.presetButtons.push_back(
            {n, half, slot, (col.a * C) / 10 + col.b, (2 * n - 1) * R + 10, C + col.w, R, presetFont});
      }
    }
    const int titleTop = (2 * n - 2) * R + 25;
    const auto i = static_cast<std::size_t>(n - 1);
    layout.rowTitles.push_back({n, 0, kUpperLeftTitles[i], (24 * C) / 10 + 15, titleTop, presetFont});
    layout.rowTitles.push_back({n, 1, kUpperRightTitles[i], (112 * C) / 10 + 40, titleTop, presetFont});
  }

  // Frames, zero choices and their texts in the upper block.
  place("GroupBox3", 35, 18, 2 * C - 15, 8 * R);
  place("Label7", 40, 20, keep, keep, R / 2);
  place("trg", (88 * C) / 10 + 55, 18, 2 * C - 15, 8 * R + R / 3);
  place("Label6", (88 * C) / 10 + 60, 20, keep, keep, R / 2);
  place("Label8", (88 * C) / 10 + 90, 2 * R + 20, keep, keep, R / 2);
  place("Label54", (88 * C) / 10 + 90, 6 * R + 20, keep, keep, R / 2);
  for (const ZeroChoice& z : kZeroChoices) {
    const int left = z.leftC * C + z.leftAdd;
    const int shift = z.lower ? 2 * R + 3 : 0;
    place(z.group, left, 12 + shift, 2 * C, (2 * C) / 3);
    place(z.title, left, 5 + shift, keep, keep, R / 2);
    place(z.itemOn, left + 30, 28 + shift, keep, keep, R / 3);
    place(z.itemOff, left + 80, 28 + shift, keep, keep, R / 3);
  }

  // Lower preset block: grid rows 5 to 10.
  for (const LowerRow& row : kLowerRows) {
    for (int h = 0; h < row.halves; ++h) {
      const LowerHalf& half = row.half[static_cast<std::size_t>(h)];
      for (int slot = 0; slot < half.count; ++slot) {
        const int left =
            slot == 0 ? half.firstC * C + half.firstAdd : (half.jFirst + slot - 1) * C + half.step;
        const int width = C + (slot == 0 ? half.wFirst : slot == half.count - 1 ? half.wLast : half.wMiddle);
        layout.presetButtons.push_back(
            {row.gridRow, h, slot, left, row.buttonsTopR * R + 10, width, R, presetFont});
      }
      layout.rowTitles.push_back({row.gridRow,
                                  h,
                                  {},
                                  half.titleC * C + half.titleAdd,
                                  row.titleTopR * R + row.titleAdd,
                                  presetFont});
    }
  }

  // The two check-box groups.
  for (const BoxGroup& g : kBoxGroups) {
    const int firstTop = g.rowR * R;
    const int secondTop = g.rowR * R + R / 2 + R / 6;
    place(g.title, g.baseC * C + C / 2 + g.titleAdd, (g.rowR - 1) * R + 25, keep, keep, R / 3 + 5);
    for (int i = 0; i < g.count; ++i) {
      const bool first = i < g.firstLine;
      const auto column = static_cast<std::size_t>(first ? i : i - g.firstLine);
      const int left = boxColumnLeft(C, g.baseC, g.add, column);
      const int top = first ? firstTop : secondTop;
      const auto index = static_cast<std::size_t>(i);
      place(g.boxes[index], left, top + 6);
      place(g.captions[index], left + C / 3 + (first ? g.captionFirst : g.captionSecond), top + 3, keep, keep,
            R / 2 + 5);
    }
    place(g.allOn, g.allOnC * C + g.allAdd, secondTop + 3, 2 * C - C / 4, R / 2 + 5, R / 2);
    place(g.allOff, g.allOffC * C - C / 8 + g.allAdd, secondTop + 3, 2 * C - C / 4, R / 2 + 5, R / 2);
  }

  // The count choice is placed, then hidden: it stays internal state.
  place("mondaisuu", 17 * C + C / 6, 11 * R, 2 * C, 8 * R, R / 2);
  layout.hiddenAfterLayout = {"mondaisuu"};

  // Titles, item texts and zero choices lie above the frames and buttons they overlap.
  layout.raiseOrder = {"Label7", "Label6", "Label8",  "Label54", "z1",      "z2",
                       "z3",     "z4",     "Label55", "Label57", "Label58", "Label59"};
  return layout;
}

int BitBtn167Percent(int percent) { return std::min(percent + 5, kMaxScalePercent); }

int BitBtn168Percent(int percent) { return std::max(percent - 5, kMinScalePercent); }

int BitBtn169Percent(int /*percent*/) { return kDefaultScalePercent; }

}  // namespace kirune
