#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "problems/settings.h"

namespace kirune {

/// A setting under a readable name, as kirune-print's options and kirune-serve's parameters take it:
/// one name stands for one or more controls of the window.
struct ReadableSetting {
  std::string_view name;      ///< "sheets", "rows", ...
  std::string_view controls;  ///< the controls it sets: "SpinEdit1", "CheckBox5..CheckBox14"
  std::string_view caption;   ///< the window's caption of those controls: "作成枚数"
  std::string_view values;    ///< what it takes, in words: "integer", "0|1", "list of 0..9"
  std::string_view meaning;   ///< what it does, in one line
};

/// One control and the value a readable setting gives it (a check box takes 0 or 1, a radio group its
/// item, a spin box its integer).
struct ControlValue {
  std::string_view control;
  int value;
};

/// What a readable setting turns into: the controls to set, in order, or a short message in Japanese
/// saying what is wrong (then `controls` is empty).
struct ReadResult {
  std::vector<ControlValue> controls;
  std::string error;
};

/// Every readable setting, in the order of the window's settings column.
std::span<const ReadableSetting> readableSettings();

/// The readable setting `name`, or nullptr.
const ReadableSetting* findReadableSetting(std::string_view name);

/// Reads `value` for the readable setting `name`. Whole numbers only, no sign but '-' where negative
/// values are allowed; lists are comma separated, "none" for an empty one.
ReadResult readReadableSetting(std::string_view name, std::string_view value);

/// Sets one control of `settings`; returns false for a control name that is not a visible setting.
bool applyControl(Settings& settings, ControlValue control);

}  // namespace kirune
