#include "problems/setting_names.h"

#include <array>
#include <charconv>
#include <climits>

namespace kirune {
namespace {

constexpr std::array<ReadableSetting, 14> kReadable = {{
    {"sheets", "SpinEdit1", "作成枚数", "integer", "sheets per click; 0 or less prints nothing"},
    {"name", "CheckBox1", "なまえ", "0|1", "the name header at the top of each sheet"},
    {"clipart", "CheckBox2", "PRINT", "0|1", "a clip-art picture on each sheet"},
    {"print", "CheckBox3", "カット", "0|1", "print switch: 0 makes a preset print nothing"},
    {"clipart_fixed", "CheckBox4 SpinEdit4", "カット一定 カット番号", "0|1..32",
     "0: a clip-art picture chosen at random; N: always picture number N"},
    {"answers", "CheckBox15", "答え別紙出力", "0|1", "an answer sheet after each problem sheet"},
    {"time", "CheckBox16", "タイム書き込み欄", "0|1", "a time field at the foot of each sheet"},
    {"zero_add", "z1", "ゼロ くりあがりなし", "1|0",
     "1: zero may be an operand (あり); 0: operands from 1 (なし)"},
    {"zero_add10", "z2", "ゼロ くりあがりなし(含10)", "1|0", "the same for くりあがりなし(含10)"},
    {"zero_sub", "z3", "ゼロ くりさがりなし", "1|0", "the same for くりさがりなし"},
    {"zero_sub10", "z4", "ゼロ くりさがりなし(含10)", "1|0", "the same for くりさがりなし(含10)"},
    {"tile_rows", "trg", "タイルつき ２段/長", "2|1",
     "tiles of a subtraction's first operand: 2 a row of ten above the units (２段), 1 one long row (長)"},
    {"rows", "CheckBox5..CheckBox14", "段の設定", "0..9,...|none",
     "the times-table rows the multiplication presets use, e.g. 2,3,7; the others are off"},
    {"numbers", "CheckBox17..CheckBox25", "分解する数の設定", "2..10,...|none",
     "the numbers the decomposition presets split, e.g. 5,10; the others are off"},
}};

constexpr std::array<std::string_view, 25> kCheckBoxNames = {
    "CheckBox1",  "CheckBox2",  "CheckBox3",  "CheckBox4",  "CheckBox5",  "CheckBox6",  "CheckBox7",
    "CheckBox8",  "CheckBox9",  "CheckBox10", "CheckBox11", "CheckBox12", "CheckBox13", "CheckBox14",
    "CheckBox15", "CheckBox16", "CheckBox17", "CheckBox18", "CheckBox19", "CheckBox20", "CheckBox21",
    "CheckBox22", "CheckBox23", "CheckBox24", "CheckBox25"};

struct IntControl {
  std::string_view name;
  int Settings::*field;
};
constexpr std::array<IntControl, 7> kIntControls = {{{"SpinEdit1", &Settings::SpinEdit1},
                                                     {"SpinEdit4", &Settings::SpinEdit4},
                                                     {"z1", &Settings::z1},
                                                     {"z2", &Settings::z2},
                                                     {"z3", &Settings::z3},
                                                     {"z4", &Settings::z4},
                                                     {"trg", &Settings::trg}}};

constexpr std::string_view checkBox(int n) { return kCheckBoxNames[static_cast<std::size_t>(n - 1)]; }

bool parseInt(std::string_view text, int& value) {
  if (text.empty() || text.front() == '+') return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size();
}

ReadResult failure(std::string_view name, std::string_view value, std::string_view wanted) {
  return {{},
          std::string(name) + " の値が正しくありません: " + std::string(value) + "（" + std::string(wanted) +
              "）"};
}

// A comma list of first..last, or "none": the boxes of those numbers on, all others off.
ReadResult readList(std::string_view name, std::string_view value, int first, int last, int firstBox) {
  const std::string wanted =
      std::to_string(first) + ".." + std::to_string(last) + " をカンマ区切り、または none";
  std::array<bool, 11> on{};
  if (value != "none") {
    std::string_view rest = value;
    while (true) {
      const auto comma = rest.find(',');
      int n = 0;
      if (!parseInt(rest.substr(0, comma), n) || n < first || n > last) return failure(name, value, wanted);
      on[static_cast<std::size_t>(n - first)] = true;
      if (comma == std::string_view::npos) break;
      rest = rest.substr(comma + 1);
    }
  }
  ReadResult r;
  for (int n = first; n <= last; ++n) {
    r.controls.push_back({checkBox(firstBox + n - first), on[static_cast<std::size_t>(n - first)] ? 1 : 0});
  }
  return r;
}

}  // namespace

std::span<const ReadableSetting> readableSettings() { return kReadable; }

const ReadableSetting* findReadableSetting(std::string_view name) {
  for (const ReadableSetting& s : kReadable) {
    if (s.name == name) return &s;
  }
  return nullptr;
}

ReadResult readReadableSetting(std::string_view name, std::string_view value) {
  const ReadableSetting* setting = findReadableSetting(name);
  if (!setting) return {{}, "不明な設定: " + std::string(name)};
  if (name == "rows") return readList(name, value, 0, 9, 5);
  if (name == "numbers") return readList(name, value, 2, 10, 17);

  int n = 0;
  if (name == "sheets") {
    if (!parseInt(value, n)) return failure(name, value, "整数");
    return {{{"SpinEdit1", n}}, {}};
  }
  if (name == "clipart_fixed") {
    if (!parseInt(value, n) || n < 0 || n > 32) return failure(name, value, "0 か 1..32");
    if (n == 0) return {{{"CheckBox4", 0}}, {}};
    return {{{"CheckBox4", 1}, {"SpinEdit4", n}}, {}};
  }
  if (name == "tile_rows") {
    if (!parseInt(value, n) || (n != 1 && n != 2)) return failure(name, value, "2 か 1");
    return {{{"trg", n == 2 ? 0 : 1}}, {}};
  }
  if (!parseInt(value, n) || (n != 0 && n != 1)) return failure(name, value, "0 か 1");
  // The zero switches read "1: zero allowed"; their radio groups put あり at item 0.
  if (name.starts_with("zero_")) return {{{setting->controls, 1 - n}}, {}};
  return {{{setting->controls, n}}, {}};
}

bool applyControl(Settings& settings, ControlValue control) {
  for (const IntControl& c : kIntControls) {
    if (c.name == control.control) {
      settings.*(c.field) = control.value;
      return true;
    }
  }
  for (std::size_t i = 0; i < kCheckBoxNames.size(); ++i) {
    if (kCheckBoxNames[i] == control.control) {
      settings.*Settings::checkBoxes[i] = control.value != 0;
      return true;
    }
  }
  return false;
}

}  // namespace kirune
