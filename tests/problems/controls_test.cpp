#include "problems/controls.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "problems/parse_integer.h"

namespace kirune {
namespace {

std::string controlsOf(const std::vector<ControlValue>& set) {
  std::string out;
  for (const ControlValue& c : set) out += std::string(c.control->name) + "=" + std::to_string(c.value) + " ";
  return out;
}

TEST(ReadableSettings, TranslateToTheWindowsControls) {
  struct Case {
    std::string name, value, controls;
  };
  const std::vector<Case> cases = {
      {"sheets", "3", "SpinEdit1=3 "},
      {"sheets", "-2", "SpinEdit1=-2 "},
      {"answers", "1", "CheckBox15=1 "},
      {"name", "0", "CheckBox1=0 "},
      {"time", "1", "CheckBox16=1 "},
      {"clipart", "0", "CheckBox2=0 "},
      {"print", "0", "CheckBox3=0 "},
      {"clipart_fixed", "0", "CheckBox4=0 "},
      {"clipart_fixed", "32", "CheckBox4=1 SpinEdit4=32 "},
      {"zero_add", "1", "z1=0 "},
      {"zero_add10", "0", "z2=1 "},
      {"zero_sub", "0", "z3=1 "},
      {"zero_sub10", "1", "z4=0 "},
      {"tile_rows", "2", "trg=0 "},
      {"tile_rows", "1", "trg=1 "},
      {"rows", "2,3,7",
       "CheckBox5=0 CheckBox6=0 CheckBox7=1 CheckBox8=1 CheckBox9=0 CheckBox10=0 CheckBox11=0 CheckBox12=1 "
       "CheckBox13=0 CheckBox14=0 "},
      {"rows", "none",
       "CheckBox5=0 CheckBox6=0 CheckBox7=0 CheckBox8=0 CheckBox9=0 CheckBox10=0 CheckBox11=0 CheckBox12=0 "
       "CheckBox13=0 CheckBox14=0 "},
      {"numbers", "10,2",
       "CheckBox17=1 CheckBox18=0 CheckBox19=0 CheckBox20=0 CheckBox21=0 CheckBox22=0 CheckBox23=0 "
       "CheckBox24=0 CheckBox25=1 "},
  };
  for (const Case& c : cases) {
    const auto r = readReadableSetting(c.name, c.value);
    ASSERT_TRUE(r) << c.name << "=" << c.value << ": " << r.error();
    EXPECT_EQ(controlsOf(*r), c.controls) << c.name << "=" << c.value;
  }
}

TEST(ReadableSettings, RefuseWhatTheControlsCannotTake) {
  struct Case {
    std::string name, value, error;
  };
  const std::vector<Case> cases = {
      {"colour", "1", "不明な設定: colour"},
      {"sheets", "", "sheets の値が正しくありません: （整数）"},
      {"sheets", "+3", "sheets の値が正しくありません: +3（整数）"},
      {"sheets", "99999999999", "sheets の値が正しくありません: 99999999999（整数）"},
      {"answers", "2", "answers の値が正しくありません: 2（0 か 1）"},
      {"answers", "yes", "answers の値が正しくありません: yes（0 か 1）"},
      {"clipart_fixed", "33", "clipart_fixed の値が正しくありません: 33（0 か 1..32）"},
      {"clipart_fixed", "-1", "clipart_fixed の値が正しくありません: -1（0 か 1..32）"},
      {"zero_add", "2", "zero_add の値が正しくありません: 2（0 か 1）"},
      {"tile_rows", "0", "tile_rows の値が正しくありません: 0（2 か 1）"},
      {"rows", "10", "rows の値が正しくありません: 10（0..9 をカンマ区切り、または none）"},
      {"rows", "2,,3", "rows の値が正しくありません: 2,,3（0..9 をカンマ区切り、または none）"},
      {"rows", "2,", "rows の値が正しくありません: 2,（0..9 をカンマ区切り、または none）"},
      {"rows", "", "rows の値が正しくありません: （0..9 をカンマ区切り、または none）"},
      {"numbers", "1", "numbers の値が正しくありません: 1（2..10 をカンマ区切り、または none）"},
  };
  for (const Case& c : cases) {
    const auto r = readReadableSetting(c.name, c.value);
    ASSERT_FALSE(r) << c.name << "=" << c.value;
    EXPECT_EQ(r.error(), c.error);
  }
}

// Every front end reads this one table: each control must reach its own field, hold the ends of its
// range, and belong to a readable setting that can set it.
TEST(Controls, EachReachesItsOwnFieldOverItsWholeRange) {
  std::set<std::string_view> names;
  std::set<std::string_view> readableOwners;
  for (const Control& c : controls()) {
    EXPECT_TRUE(names.insert(c.name).second) << c.name << " twice";
    EXPECT_EQ(findControl(c.name), &c);
    EXPECT_EQ(c.kind == ControlKind::CheckBox, c.box != nullptr) << c.name;
    EXPECT_EQ(c.kind != ControlKind::CheckBox, c.number != nullptr) << c.name;
    ASSERT_NE(findReadableSetting(c.readable), nullptr) << c.name;
    readableOwners.insert(c.readable);
    for (const int value : {c.min, c.max}) {
      Settings settings;
      const Settings before = settings;
      c.set(settings, value);
      EXPECT_EQ(c.get(settings), value) << c.name;
      // No other control moved.
      for (const Control& other : controls()) {
        if (&other != &c) {
          EXPECT_EQ(other.get(settings), other.get(before)) << c.name << " moved " << other.name;
        }
      }
    }
  }
  EXPECT_EQ(findControl("shurui"), nullptr);
  EXPECT_EQ(readableOwners.size(), readableSettings().size());

  struct Range {
    std::string_view name;
    ControlKind kind;
    int min, max;
  };
  for (const Range& r : std::vector<Range>{{"SpinEdit1", ControlKind::SpinBox, INT_MIN, INT_MAX},
                                           {"SpinEdit4", ControlKind::SpinBox, 1, 32},
                                           {"CheckBox25", ControlKind::CheckBox, 0, 1},
                                           {"trg", ControlKind::RadioGroup, 0, 1}}) {
    const Control* c = findControl(r.name);
    ASSERT_NE(c, nullptr) << r.name;
    EXPECT_EQ(c->kind, r.kind) << r.name;
    EXPECT_EQ(c->min, r.min) << r.name;
    EXPECT_EQ(c->max, r.max) << r.name;
  }
}

TEST(ReadableSettings, NameTheirControlsAndApplyInOrder) {
  std::string names;
  for (const ReadableSetting& s : readableSettings()) names += s.controlNames() + ";";
  EXPECT_EQ(
      names,
      "SpinEdit1;CheckBox1;CheckBox2;CheckBox3;CheckBox4 SpinEdit4;CheckBox15;CheckBox16;z1;z2;z3;z4;trg;"
      "CheckBox5..CheckBox14;CheckBox17..CheckBox25;");

  Settings settings;
  for (const auto& [name, value] : std::vector<std::pair<std::string, std::string>>{
           {"sheets", "4"}, {"clipart_fixed", "7"}, {"rows", "3"}, {"zero_add", "0"}, {"tile_rows", "1"}}) {
    const auto set = readReadableSetting(name, value);
    for (const ControlValue& c : set.value()) c.applyTo(settings);
  }
  EXPECT_EQ(settings.SpinEdit1, 4);
  EXPECT_TRUE(settings.CheckBox4);
  EXPECT_EQ(settings.SpinEdit4, 7);
  EXPECT_TRUE(settings.CheckBox8);
  EXPECT_FALSE(settings.CheckBox5);
  EXPECT_EQ(settings.z1, 1);
  EXPECT_EQ(settings.trg, 1);
}

TEST(ParseInteger, TakesDigitsAndAMinusWhereTheTypeHasOne) {
  EXPECT_EQ(parseInteger<int>("0").value(), 0);
  EXPECT_EQ(parseInteger<int>("-2147483648").value(), INT_MIN);
  EXPECT_EQ(parseInteger<int>("2147483647").value(), INT_MAX);
  EXPECT_EQ(parseInteger<std::uint64_t>("18446744073709551615").value(), UINT64_MAX);
  EXPECT_EQ(parseInteger<int>("007").value(), 7);

  struct Case {
    std::string_view text;
    IntegerError error;
  };
  for (const Case& c : std::vector<Case>{{"", IntegerError::Malformed},
                                         {"+3", IntegerError::Malformed},
                                         {" 3", IntegerError::Malformed},
                                         {"3 ", IntegerError::Malformed},
                                         {"3x", IntegerError::Malformed},
                                         {"3.0", IntegerError::Malformed},
                                         {"-", IntegerError::Malformed},
                                         {"0x10", IntegerError::Malformed},
                                         {"2147483648", IntegerError::OutOfRange},
                                         {"-2147483649", IntegerError::OutOfRange},
                                         // Junk after too many digits is junk first.
                                         {"99999999999x", IntegerError::Malformed}}) {
    const auto r = parseInteger<int>(c.text);
    ASSERT_FALSE(r) << c.text;
    EXPECT_EQ(r.error(), c.error) << c.text;
  }
  EXPECT_EQ(parseInteger<unsigned>("-1").error(), IntegerError::Malformed);
  EXPECT_EQ(parseInteger<unsigned>("-0").error(), IntegerError::Malformed);
  EXPECT_EQ(parseInteger<std::uint64_t>("18446744073709551616").error(), IntegerError::OutOfRange);
}

}  // namespace
}  // namespace kirune
