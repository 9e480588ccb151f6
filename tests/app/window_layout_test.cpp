#include "app/window_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <tuple>

namespace kirune {
namespace {

struct Units {
  int screen;
  int percent;
  int A, B, R, C;
  int clientHeight, clientWidth;
};

class LayoutUnits : public testing::TestWithParam<Units> {};

TEST_P(LayoutUnits, BaseUnitsAndClientArea) {
  const Units& u = GetParam();
  const WindowLayout l = computeWindowLayout(u.screen, u.percent);
  EXPECT_EQ(l.A, u.A);
  EXPECT_EQ(l.B, u.B);
  EXPECT_EQ(l.R, u.R);
  EXPECT_EQ(l.C, u.C);
  EXPECT_EQ(l.clientHeight, u.clientHeight);
  EXPECT_EQ(l.clientWidth, u.clientWidth);
}

INSTANTIATE_TEST_SUITE_P(Screens, LayoutUnits,
                         testing::Values(Units{1080, 74, 799, 1198, 43, 59, 928, 1375},
                                         Units{1080, 83, 896, 1344, 49, 66, 1043, 1542},
                                         Units{1080, 65, 702, 1053, 38, 52, 816, 1209},
                                         Units{768, 74, 568, 852, 31, 42, 661, 978}));

// Hand-worked positions at 1080 pixels and 74 percent (R 43, C 59), one or more per kind of rule. The
// column pitch is computed on the product: (8 * 5 * 59) / 10 = 236, where 8 * 5 * (59 / 10) would be 200.
TEST(Layout, PresetButtonsAt1080And74) {
  const WindowLayout l = computeWindowLayout(1080, 74);
  struct Case {
    int row, half, slot, left, top, width;
  };
  const Case cases[] = {
      {1, 0, 5, 251, 53, 44},    // "２０" of くりあがりなし
      {1, 0, 0, 20, 53, 34},     // left tile "５"
      {1, 0, 10, 487, 53, 49},   // left "100": 8 * C + 15
      {1, 1, 0, 559, 53, 39},    // right tile "５": (88 * 59) / 10 + 40
      {1, 1, 10, 1031, 53, 49},  // right "100": (168 * 59) / 10 + 40
      {4, 1, 3, 700, 311, 44},   // right "１０" of row 4: (112 * 59) / 10 + 40
      {5, 0, 7, 428, 397, 64},   // last of row 5: C + 5 wide
      {6, 1, 0, 335, 483, 49},   // first of the right half of row 6
      {6, 1, 4, 566, 483, 64},   // last of the right half of row 6
      {9, 1, 7, 920, 741, 69},   // last of row 9: C + 10 wide
      {10, 0, 4, 256, 827, 54},  // decomposition "２０"
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "row " << c.row << " half " << c.half << " slot " << c.slot);
    const PresetPlacement* p = l.findPreset(c.row, c.half, c.slot);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(std::tie(p->left, p->top, p->width, p->height, p->fontHeight),
              std::make_tuple(c.left, c.top, c.width, 43, 26));
  }
}

TEST(Layout, ControlsAt1080And74) {
  const WindowLayout l = computeWindowLayout(1080, 74);
  struct Case {
    std::string name;
    int left, top, width, height, font;  // -1: kept
  };
  const Case cases[] = {
      {"BitBtn168", 1201, 53, 44, 43, -1},    {"BitBtn169", 1252, 53, 88, 43, -1},
      {"Label32", 1174, 210, -1, -1, 21},     {"BitBtn25", 1150, 375, 177, 38, -1},
      {"Calendar1", 1150, 526, 177, 248, -1}, {"Label4", 835, 885, -1, -1, 14},
      {"trg", 574, 18, 103, 358, -1},         {"z4", 964, 101, 118, 39, -1},
      {"Label67", 1044, 117, -1, -1, 14},     {"CheckBox8", 784, 479, -1, -1, -1},
      {"CheckBox13", 694, 507, -1, -1, -1},   {"Label52", 719, 504, -1, -1, 26},
      {"BitBtn116", 908, 504, 104, 26, 21},   {"CheckBox22", 561, 823, -1, -1, -1},
      {"BitBtn130", 605, 848, 104, 26, 21},   {"Label28", 344, 799, -1, -1, 19},
      {"mondaisuu", 1012, 473, 118, 344, 21},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Placement* p = l.find(c.name);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->left, c.left);
    EXPECT_EQ(p->top, c.top);
    EXPECT_EQ(p->width.value_or(-1), c.width);
    EXPECT_EQ(p->height.value_or(-1), c.height);
    EXPECT_EQ(p->fontHeight.value_or(-1), c.font);
  }
  // "Form.Size" is sized in points, everything else in pixels.
  EXPECT_TRUE(l.find("Label68")->fontInPoints);
  EXPECT_EQ(l.find("Label68")->fontHeight, 14);
}

TEST(Layout, RowTitlesAt1080And74) {
  const WindowLayout l = computeWindowLayout(1080, 74);
  std::set<std::pair<int, int>> seen;
  for (const RowTitlePlacement& t : l.rowTitles) {
    EXPECT_TRUE(seen.insert({t.gridRow, t.half}).second);
    EXPECT_EQ(t.fontHeight, 26);
  }
  // Rows 1 to 4 and 6 to 9 have two halves, rows 5 and 10 one.
  EXPECT_EQ(seen.size(), 18u);

  struct Case {
    int row, half;
    std::string_view name;
    int left, top;
  };
  const Case cases[] = {
      {1, 1, "Label13", 700, 25}, {4, 0, "Label14", 156, 283}, {9, 0, "", 20, 715}, {7, 1, "", 507, 541}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "row " << c.row << " half " << c.half);
    auto it = std::find_if(l.rowTitles.begin(), l.rowTitles.end(), [&](const RowTitlePlacement& t) {
      return t.gridRow == c.row && t.half == c.half;
    });
    ASSERT_NE(it, l.rowTitles.end());
    EXPECT_EQ(std::tie(it->name, it->left, it->top), std::tie(c.name, c.left, c.top));
  }
}

// The grid has 159 places; no two buttons overlap and all lie inside the window, left of the settings
// column. This holds while C <= 75 (screens up to 1200 pixels high): beyond, the widths of the upper block
// (C - 15) exceed its pitch (8 C / 10), and neighbours overlap by a few pixels.
TEST(Layout, PresetGridFitsWithoutOverlap) {
  for (int screen : {600, 768, 900, 1080, 1200}) {
    for (int percent : {65, 74, 83}) {
      SCOPED_TRACE(testing::Message() << screen << " at " << percent);
      const WindowLayout l = computeWindowLayout(screen, percent);
      ASSERT_EQ(l.presetButtons.size(), 159u);
      const int settingsColumn = 19 * l.C + l.C / 2;
      for (std::size_t i = 0; i < l.presetButtons.size(); ++i) {
        const PresetPlacement& a = l.presetButtons[i];
        EXPECT_GT(a.width, 0);
        EXPECT_GE(a.left, 0);
        EXPECT_LE(a.left + a.width, settingsColumn);
        EXPECT_LE(a.top + a.height, l.clientHeight);
        for (std::size_t j = i + 1; j < l.presetButtons.size(); ++j) {
          const PresetPlacement& b = l.presetButtons[j];
          const bool apart = a.left + a.width <= b.left || b.left + b.width <= a.left ||
                             a.top + a.height <= b.top || b.top + b.height <= a.top;
          EXPECT_TRUE(apart) << "row " << a.gridRow << "/" << a.half << "/" << a.slot << " and row "
                             << b.gridRow << "/" << b.half << "/" << b.slot;
        }
      }
    }
  }
}

TEST(Layout, CountChoiceIsPlacedThenHiddenAndTitlesComeToTheFront) {
  const WindowLayout l = computeWindowLayout(1080, 74);
  ASSERT_NE(l.find("mondaisuu"), nullptr);
  EXPECT_EQ(l.hiddenAfterLayout, std::vector<std::string_view>{"mondaisuu"});
  const std::vector<std::string_view> raise = {"Label7",  "Label6",  "Label8",  "Label54",
                                               "z1",      "z2",      "z3",      "z4",
                                               "Label55", "Label57", "Label58", "Label59"};
  EXPECT_EQ(l.raiseOrder, raise);
  for (std::string_view name : raise) EXPECT_NE(l.find(name), nullptr) << name;
}

TEST(Layout, SizeButtonsClamp) {
  EXPECT_EQ(BitBtn167Percent(74), 79);
  EXPECT_EQ(BitBtn167Percent(79), 83);
  EXPECT_EQ(BitBtn167Percent(83), 83);
  EXPECT_EQ(BitBtn168Percent(74), 69);
  EXPECT_EQ(BitBtn168Percent(69), 65);
  EXPECT_EQ(BitBtn168Percent(65), 65);
  EXPECT_EQ(BitBtn167Percent(65), 70);
  EXPECT_EQ(BitBtn169Percent(65), 74);
}

}  // namespace
}  // namespace kirune
