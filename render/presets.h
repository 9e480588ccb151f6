#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "render/page_canvas.h"
#include "render/session.h"

namespace kirune {

enum class Engine { Standard, FillIn, Decomposition };

/// What must be ticked for a preset to start at all.
enum class Guard {
  None,
  TimesRows,         ///< at least one of CheckBox5..CheckBox14 (multiplication presets)
  DecomposeNumbers,  ///< at least one of CheckBox17..CheckBox25 (decomposition presets)
};

/// One preset button: its constants and its place in the grid.
struct Preset {
  std::string_view button;    ///< "BitBtn13"
  int gridRow;                ///< 1..10
  int half;                   ///< 0 left half of the grid row, 1 right half (rows 5 and 10: always 0)
  int slot;                   ///< 0-based position within its half, tile presets first
  std::string_view rowTitle;  ///< "くりあがり"
  std::string_view caption;   ///< "２０", "100", "s18" ...
  int kind;                   ///< item of shurui
  int countItem;              ///< item of mondaisuu
  Engine engine;
  bool tiles;  ///< sets withTiles for the run
  Guard guard;
  int problemsPerSheet;      ///< written to SpinEdit3 after the count item; 0 = not written
  std::string_view toolTip;  ///< empty: none
};

/// The name of the engine's function: "print00Click", "print00aClick" or "print00bClick".
std::string_view engineName(Engine engine);

/// How a preset's caption is coloured: the "s18" buttons stand out from the other tile buttons, which
/// stand out from the plain ones.
enum class CaptionStyle { Plain, Tiles, ShortTiles };
CaptionStyle captionStyle(const Preset& preset);

/// All 159 presets, grid row by grid row, each half left to right.
std::span<const Preset> presets();

/// The preset of a button name, or nullptr.
const Preset* findPreset(std::string_view button);

/// What a run of `preset` prints, as its button reads: row title and caption, "くりあがり ２０".
std::string runTitle(const Preset& preset);

/// Why a click on a preset would print nothing, checked in the order the preset checks.
enum class IdleCause {
  None,               ///< it prints
  NoTimesRow,         ///< a multiplication preset with no row of 段の設定 ticked
  NoDecomposeNumber,  ///< a decomposition preset with no number of 分解する数の設定 ticked
  PrintSwitchOff,     ///< CheckBox3 (カット) off
  NoSheets,           ///< SpinEdit1 (作成枚数) 0 or less
};

/// Why a click on `preset` with `settings` would hand over no document; IdleCause::None when it prints.
IdleCause idleCause(const Preset& preset, const Settings& settings);

/// How many documents a click on `preset` hands over with `settings`: none for any idleCause;
/// otherwise one per sheet, two with answers. Wide enough for any `SpinEdit1`, so callers clamp or
/// refuse rather than overflow.
std::int64_t plannedDocuments(const Preset& preset, const Settings& settings);

/// Runs a preset as its button does: guard, withTiles, the session's title, Label7 shown, window disabled,
/// kind, count, SpinEdit3, the engine on `canvas`; then window enabled, Label7 hidden and withTiles 0 on
/// every way out, an exception included (the exception then propagates). `setWindowEnabled` may be empty.
/// Returns false when the guard stopped the preset; nothing has changed then.
bool runPreset(const Preset& preset, Session& session, PageCanvas& canvas,
               const std::function<void(bool enabled)>& setWindowEnabled = {});

}  // namespace kirune
