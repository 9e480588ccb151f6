#include "problems/controls.h"

#include <climits>
#include <optional>

#include "problems/parse_integer.h"

namespace kirune {
namespace {

using Kind = ControlKind;

constexpr Control spin(std::string_view name, int Settings::*field, int min, int max,
                       std::string_view readable) {
  return {name, Kind::SpinBox, field, nullptr, min, max, readable, {}, {}};
}
constexpr Control check(std::string_view name, bool Settings::*field, std::string_view readable,
                        int says = 0) {
  return {name, Kind::CheckBox, nullptr, field, 0, 1, readable, {says, 0}, {}};
}
constexpr Control radio(std::string_view name, int Settings::*field, std::string_view readable,
                        std::array<int, 2> says, std::array<std::string_view, 2> itemText) {
  return {name, Kind::RadioGroup, field, nullptr, 0, 1, readable, says, itemText};
}

// The window's settings column, top to bottom; each readable setting's controls stay together.
constexpr std::array<Control, 32> kControls = {{
    spin("SpinEdit1", &Settings::SpinEdit1, INT_MIN, INT_MAX, "sheets"),
    check("CheckBox1", &Settings::CheckBox1, "name"),
    check("CheckBox2", &Settings::CheckBox2, "clipart"),
    check("CheckBox3", &Settings::CheckBox3, "print"),
    check("CheckBox4", &Settings::CheckBox4, "clipart_fixed"),
    spin("SpinEdit4", &Settings::SpinEdit4, 1, 32, "clipart_fixed"),
    check("CheckBox15", &Settings::CheckBox15, "answers"),
    check("CheckBox16", &Settings::CheckBox16, "time"),
    check("CheckBox5", &Settings::CheckBox5, "rows", 0),
    check("CheckBox6", &Settings::CheckBox6, "rows", 1),
    check("CheckBox7", &Settings::CheckBox7, "rows", 2),
    check("CheckBox8", &Settings::CheckBox8, "rows", 3),
    check("CheckBox9", &Settings::CheckBox9, "rows", 4),
    check("CheckBox10", &Settings::CheckBox10, "rows", 5),
    check("CheckBox11", &Settings::CheckBox11, "rows", 6),
    check("CheckBox12", &Settings::CheckBox12, "rows", 7),
    check("CheckBox13", &Settings::CheckBox13, "rows", 8),
    check("CheckBox14", &Settings::CheckBox14, "rows", 9),
    check("CheckBox17", &Settings::CheckBox17, "numbers", 2),
    check("CheckBox18", &Settings::CheckBox18, "numbers", 3),
    check("CheckBox19", &Settings::CheckBox19, "numbers", 4),
    check("CheckBox20", &Settings::CheckBox20, "numbers", 5),
    check("CheckBox21", &Settings::CheckBox21, "numbers", 6),
    check("CheckBox22", &Settings::CheckBox22, "numbers", 7),
    check("CheckBox23", &Settings::CheckBox23, "numbers", 8),
    check("CheckBox24", &Settings::CheckBox24, "numbers", 9),
    check("CheckBox25", &Settings::CheckBox25, "numbers", 10),
    // The zero switches read "1: zero allowed"; their groups put あり at item 0.
    radio("z1", &Settings::z1, "zero_add", {1, 0}, {"あり", "なし"}),
    radio("z2", &Settings::z2, "zero_add10", {1, 0}, {"あり", "なし"}),
    radio("z3", &Settings::z3, "zero_sub", {1, 0}, {"あり", "なし"}),
    radio("z4", &Settings::z4, "zero_sub10", {1, 0}, {"あり", "なし"}),
    radio("trg", &Settings::trg, "tile_rows", {2, 1}, {"２段", "長"}),
}};

using Form = ReadableSetting::Form;

constexpr std::array<ReadableSetting, 14> kReadable = {{
    {"sheets", Form::Number, "作成枚数", "integer", "sheets per click; 0 or less prints nothing", "整数"},
    {"name", Form::Switch, "なまえ", "0|1", "the name header at the top of each sheet", "0 か 1"},
    {"clipart", Form::Switch, "PRINT", "0|1", "a clip-art picture on each sheet", "0 か 1"},
    {"print", Form::Switch, "カット", "0|1", "print switch: 0 makes a preset print nothing", "0 か 1"},
    {"clipart_fixed", Form::SwitchedNumber, "カット一定 カット番号", "0|1..32",
     "0: a clip-art picture chosen at random; N: always picture number N", "0 か 1..32"},
    {"answers", Form::Switch, "答え別紙出力", "0|1", "an answer sheet after each problem sheet", "0 か 1"},
    {"time", Form::Switch, "タイム書き込み欄", "0|1", "a time field at the foot of each sheet", "0 か 1"},
    {"zero_add", Form::Item, "ゼロ くりあがりなし", "1|0",
     "1: zero may be an operand (あり); 0: operands from 1 (なし)", "0 か 1"},
    {"zero_add10", Form::Item, "ゼロ くりあがりなし(含10)", "1|0", "the same for くりあがりなし(含10)",
     "0 か 1"},
    {"zero_sub", Form::Item, "ゼロ くりさがりなし", "1|0", "the same for くりさがりなし", "0 か 1"},
    {"zero_sub10", Form::Item, "ゼロ くりさがりなし(含10)", "1|0", "the same for くりさがりなし(含10)",
     "0 か 1"},
    {"tile_rows", Form::Item, "タイルつき ２段/長", "2|1",
     "tiles of a subtraction's first operand: 2 a row of ten above the units (２段), 1 one long row (長)",
     "2 か 1"},
    {"rows", Form::List, "段の設定", "0..9,...|none",
     "the times-table rows the multiplication presets use, e.g. 2,3,7; the others are off",
     "0..9 をカンマ区切り、または none"},
    {"numbers", Form::List, "分解する数の設定", "2..10,...|none",
     "the numbers the decomposition presets split, e.g. 5,10; the others are off",
     "2..10 をカンマ区切り、または none"},
}};

// The controls of one readable setting, in table order.
std::span<const Control> controlsOf(std::string_view readable) {
  std::size_t first = 0;
  while (first < kControls.size() && kControls[first].readable != readable) ++first;
  std::size_t end = first;
  while (end < kControls.size() && kControls[end].readable == readable) ++end;
  return std::span<const Control>(kControls).subspan(first, end - first);
}

// A comma list of the numbers the boxes stand for, or "none": those boxes on, all others off.
std::optional<std::vector<ControlValue>> readList(std::span<const Control> boxes, std::string_view value) {
  std::vector<ControlValue> set;
  for (const Control& box : boxes) set.push_back({&box, 0});
  if (value == "none") return set;
  while (true) {
    const auto comma = value.find(',');
    const auto n = parseInteger<int>(value.substr(0, comma));
    if (!n) return std::nullopt;
    std::size_t i = 0;
    while (i < boxes.size() && boxes[i].says[0] != *n) ++i;
    if (i == boxes.size()) return std::nullopt;
    set[i].value = 1;
    if (comma == std::string_view::npos) return set;
    value = value.substr(comma + 1);
  }
}

std::optional<std::vector<ControlValue>> read(const ReadableSetting& setting, std::string_view value) {
  const std::span<const Control> cs = controlsOf(setting.name);
  if (setting.form == Form::List) return readList(cs, value);
  const auto n = parseInteger<int>(value);
  if (!n) return std::nullopt;
  const Control& c = cs.front();
  switch (setting.form) {
    case Form::Number:
      if (*n < c.min || *n > c.max) return std::nullopt;
      return std::vector<ControlValue>{{&c, *n}};
    case Form::Switch:
      if (*n != 0 && *n != 1) return std::nullopt;
      return std::vector<ControlValue>{{&c, *n}};
    case Form::Item:
      if (*n != c.says[0] && *n != c.says[1]) return std::nullopt;
      return std::vector<ControlValue>{{&c, *n == c.says[0] ? 0 : 1}};
    case Form::SwitchedNumber: {
      const Control& number = cs[1];
      if (*n == 0) return std::vector<ControlValue>{{&c, 0}};
      if (*n < number.min || *n > number.max) return std::nullopt;
      return std::vector<ControlValue>{{&c, 1}, {&number, *n}};
    }
    case Form::List:
      break;
  }
  return std::nullopt;
}

}  // namespace

std::string ReadableSetting::controlNames() const {
  const std::span<const Control> cs = controlsOf(name);
  std::string names;
  if (form == Form::List) {
    names += cs.front().name;
    names += "..";
    names += cs.back().name;
    return names;
  }
  for (const Control& c : cs) {
    if (!names.empty()) names += ' ';
    names += c.name;
  }
  return names;
}

std::span<const Control> controls() { return kControls; }

const Control* findControl(std::string_view name) {
  for (const Control& c : kControls) {
    if (c.name == name) return &c;
  }
  return nullptr;
}

std::span<const ReadableSetting> readableSettings() { return kReadable; }

const ReadableSetting* findReadableSetting(std::string_view name) {
  for (const ReadableSetting& s : kReadable) {
    if (s.name == name) return &s;
  }
  return nullptr;
}

expected<std::vector<ControlValue>, std::string> readReadableSetting(std::string_view name,
                                                                     std::string_view value) {
  const ReadableSetting* setting = findReadableSetting(name);
  if (!setting) return unexpected("不明な設定: " + std::string(name));
  if (auto set = read(*setting, value)) return std::move(*set);
  return unexpected(std::string(name) + " の値が正しくありません: " + std::string(value) + "（" +
                    std::string(setting->wanted) + "）");
}

}  // namespace kirune
