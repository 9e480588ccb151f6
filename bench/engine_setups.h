#pragma once

// The sheets the benchmarks draw: one of each engine at its largest problem count, settings as the
// preset buttons leave them.

#include <array>
#include <functional>

#include "render/decomposition_engine.h"
#include "render/fill_in_engine.h"
#include "render/page_canvas.h"
#include "render/session.h"
#include "render/standard_engine.h"

namespace kirune::bench {

struct EngineSetup {
  const char* label;
  int kind;       ///< item of shurui
  int countItem;  ///< item of mondaisuu
  void (*engine)(Session&, PageCanvas&);
};

inline constexpr std::array<EngineSetup, 3> kEngines = {{
    {"print00Click */* x100", 13, 3, print00Click},
    {"print00aClick ku x100", 17, 3, print00aClick},
    {"print00bClick sakuranbo x20", 18, 0, print00bClick},
}};

/// Sets `session` up for `sheets` sheets of engine setup `e`, answers on or off.
inline void prepare(Session& session, const EngineSetup& e, int sheets, bool answers) {
  session.settings.shurui = e.kind;
  session.settings.setMondaisuu(e.countItem);
  session.settings.SpinEdit1 = sheets;
  session.settings.CheckBox15 = answers;
}

/// A4 at 600 dpi, the page of every output without a printer.
inline constexpr int kPageWidth = 4960;
inline constexpr int kPageHeight = 7016;

}  // namespace kirune::bench
