#include "problems/setting_names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kirune {
namespace {

std::string controlsOf(const ReadResult& r) {
  std::string out;
  for (const ControlValue& c : r.controls)
    out += std::string(c.control) + "=" + std::to_string(c.value) + " ";
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
    const ReadResult r = readReadableSetting(c.name, c.value);
    EXPECT_EQ(r.error, "") << c.name << "=" << c.value;
    EXPECT_EQ(controlsOf(r), c.controls) << c.name << "=" << c.value;
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
      {"tile_rows", "0", "tile_rows の値が正しくありません: 0（2 か 1）"},
      {"rows", "10", "rows の値が正しくありません: 10（0..9 をカンマ区切り、または none）"},
      {"rows", "2,,3", "rows の値が正しくありません: 2,,3（0..9 をカンマ区切り、または none）"},
      {"rows", "2,", "rows の値が正しくありません: 2,（0..9 をカンマ区切り、または none）"},
      {"rows", "", "rows の値が正しくありません: （0..9 をカンマ区切り、または none）"},
      {"numbers", "1", "numbers の値が正しくありません: 1（2..10 をカンマ区切り、または none）"},
  };
  for (const Case& c : cases) {
    const ReadResult r = readReadableSetting(c.name, c.value);
    EXPECT_EQ(r.error, c.error);
    EXPECT_TRUE(r.controls.empty()) << c.name << "=" << c.value;
  }
}

TEST(ReadableSettings, EveryNameAppliesToTheSettings) {
  for (const ReadableSetting& s : readableSettings()) {
    const std::string value = s.name == "tile_rows" ? "1" : s.name == "clipart_fixed" ? "5" : "1";
    const ReadResult r = readReadableSetting(s.name, s.name == "rows" || s.name == "numbers" ? "5" : value);
    ASSERT_EQ(r.error, "") << s.name;
    Settings settings;
    for (const ControlValue& c : r.controls) EXPECT_TRUE(applyControl(settings, c)) << c.control;
    EXPECT_FALSE(s.meaning.empty());
  }
  Settings settings;
  for (const auto& [name, value] : std::vector<std::pair<std::string, std::string>>{
           {"sheets", "4"}, {"clipart_fixed", "7"}, {"rows", "3"}, {"zero_add", "0"}, {"tile_rows", "1"}}) {
    for (const ControlValue& c : readReadableSetting(name, value).controls) applyControl(settings, c);
  }
  EXPECT_EQ(settings.SpinEdit1, 4);
  EXPECT_TRUE(settings.CheckBox4);
  EXPECT_EQ(settings.SpinEdit4, 7);
  EXPECT_TRUE(settings.CheckBox8);
  EXPECT_FALSE(settings.CheckBox5);
  EXPECT_EQ(settings.z1, 1);
  EXPECT_EQ(settings.trg, 1);
  EXPECT_FALSE(applyControl(settings, {"shurui", 3}));
}

}  // namespace
}  // namespace kirune
