#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace kirune {

/// Where one control goes, in pixels of the window's client area. An empty width, height or font
/// height means the control keeps what it had when it was created.
struct Placement {
  std::string_view name;  ///< control name: "BitBtn167", "Label24", "CheckBox5" ...
  int left = 0;
  int top = 0;
  std::optional<int> width;
  std::optional<int> height;
  std::optional<int> fontHeight;  ///< full character-cell height in pixels
  bool fontInPoints = false;      ///< `fontHeight` is a point size instead (only "Form.Size")
};

/// A preset button's place, addressed by its grid position (row 1..10, half 0/1, slot within the half,
/// tile presets first) so the layout needs nothing from the preset table.
struct PresetPlacement {
  int gridRow = 0;
  int half = 0;
  int slot = 0;
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  int fontHeight = 0;
};

/// A row title of the preset grid: one per grid row and half.
struct RowTitlePlacement {
  int gridRow = 0;
  int half = 0;
  std::string_view name;  ///< the label's control name where it has one ("Label10"), else empty
  int left = 0;
  int top = 0;
  int fontHeight = 0;
};

/// The result of `computeWindowLayout`: every position of the window for one screen height and percentage.
struct WindowLayout {
  int A = 0;  ///< base height
  int B = 0;  ///< base width
  int R = 0;  ///< row unit
  int C = 0;  ///< column unit
  int clientHeight = 0;
  int clientWidth = 0;

  std::vector<Placement> controls;  ///< every named control, in placing order
  std::vector<PresetPlacement> presetButtons;
  std::vector<RowTitlePlacement> rowTitles;
  std::vector<std::string_view> hiddenAfterLayout;  ///< placed, then hidden ("mondaisuu")
  std::vector<std::string_view> raiseOrder;         ///< brought to the front in this order

  /// The placement of a named control, or nullptr.
  const Placement* find(std::string_view name) const;
  /// The placement of the preset at a grid position, or nullptr.
  const PresetPlacement* findPreset(int gridRow, int half, int slot) const;
};

/// The window's layout (what `TForm1::Button1Click` applies) as arithmetic: screen height `screenHeight` (S)
/// and window percentage `percent` (P) in, every control's rectangle and font out. Integer arithmetic
/// throughout; `/` truncates like div.
WindowLayout computeWindowLayout(int screenHeight, int percent);

/// The size buttons' rules for `windowScalePercent`.
inline constexpr int kDefaultScalePercent = 74;
inline constexpr int kMinScalePercent = 65;
inline constexpr int kMaxScalePercent = 83;
int BitBtn167Percent(int percent);  ///< "大": five more, at most 83
int BitBtn168Percent(int percent);  ///< "小": five less, at least 65
int BitBtn169Percent(int percent);  ///< "初期値": 74

}  // namespace kirune
