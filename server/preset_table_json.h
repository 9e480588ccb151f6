#pragma once

#include <string>

namespace kirune::serve {

/// The preset table as the window shows it, for GET /api/presets: the window's colours, every preset
/// button (grid place, row title, caption and its colour, kind, count item, engine, tiles, the setting that
/// must name something for it to print, tool tip), the readable settings and the server's limits.
std::string presetTableJson(int maxSheets, bool printing);

}  // namespace kirune::serve
