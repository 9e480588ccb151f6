#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "problems/expected.h"
#include "problems/settings.h"

namespace kirune {

enum class ControlKind {
  SpinBox,     ///< a whole number in min..max
  CheckBox,    ///< 0 or 1
  RadioGroup,  ///< the item, 0 or 1
};

/// One visible setting of the window: the window binds its widget to it, kirune-print's `--set` takes
/// it by `name`, and the readable setting `readable` sets it by a plainer name.
struct Control {
  std::string_view name;  ///< the window's control: "SpinEdit1", "CheckBox15", "z1"
  ControlKind kind;
  int Settings::*number;  ///< the field of a spin box or radio group; nullptr for a check box
  bool Settings::*box;    ///< the field of a check box; nullptr otherwise
  int min;
  int max;
  std::string_view readable;  ///< the readable setting it belongs to: "sheets", "rows", ...
  /// What the readable setting's value says for it: the number a list's check box stands for
  /// (`CheckBox7`: row 2), or for a radio group the value that selects item 0 and item 1.
  std::array<int, 2> says;
  std::array<std::string_view, 2> itemText;  ///< a radio group's item captions

  int get(const Settings& settings) const { return number ? settings.*number : settings.*box ? 1 : 0; }
  /// Sets the control; `value` is within min..max.
  void set(Settings& settings, int value) const {
    if (number) {
      settings.*number = value;
    } else {
      settings.*box = value != 0;
    }
  }
};

/// Every visible setting, in the order of the window's settings column.
std::span<const Control> controls();

/// The control `name` ("SpinEdit1", "CheckBox15", ...), or nullptr.
const Control* findControl(std::string_view name);

/// One control and its new value: a check box's 0 or 1, a radio group's item, a spin box's number.
struct ControlValue {
  const Control* control;
  int value;

  void applyTo(Settings& settings) const { control->set(settings, value); }
};

/// A setting under a readable name, as kirune-print's options and kirune-serve's parameters take it:
/// one name stands for one or more controls of the table above.
struct ReadableSetting {
  enum class Form {
    Number,          ///< a whole number for one spin box
    Switch,          ///< 0 or 1 for one check box
    Item,            ///< one of a radio group's two `says` values
    SwitchedNumber,  ///< 0: the check box off; a number in the spin box's range: the box on and the number
    List,            ///< the numbers whose check boxes are on, the others off
  };
  std::string_view name;  ///< "sheets", "rows", ...
  Form form;
  std::string_view caption;  ///< the window's caption of its controls: "作成枚数"
  std::string_view values;   ///< what it takes, in words: "integer", "0|1", "list of 0..9"
  std::string_view meaning;  ///< what it does, in one line
  std::string_view wanted;   ///< what it takes, as a refusal says it: "0 か 1"

  /// Its controls as help texts name them: "SpinEdit1", "CheckBox4 SpinEdit4", "CheckBox5..CheckBox14".
  std::string controlNames() const;
};

/// Every readable setting, in the order of the window's settings column.
std::span<const ReadableSetting> readableSettings();

/// The readable setting `name`, or nullptr.
const ReadableSetting* findReadableSetting(std::string_view name);

/// Reads `value` for the readable setting `name`: the controls it sets, in order, or a short message in
/// Japanese saying what is wrong. Whole numbers only, no sign but '-' where negative values are allowed;
/// lists are comma separated, "none" for an empty one.
expected<std::vector<ControlValue>, std::string> readReadableSetting(std::string_view name,
                                                                     std::string_view value);

}  // namespace kirune
