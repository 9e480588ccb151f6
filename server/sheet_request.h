#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "problems/controls.h"
#include "problems/expected.h"
#include "render/presets.h"

namespace kirune::serve {

/// A checked request for sheets: the preset, the settings it runs with and what it will make.
struct SheetRequest {
  const Preset* preset = nullptr;
  Settings settings;  ///< the window's defaults with the request's settings applied
  std::optional<std::uint64_t> seed;
  int documents = 0;  ///< what the run hands over: sheets, twice that with answers
};

/// A request that is refused before any work: the HTTP status and a short message in Japanese.
struct Refusal {
  int status;
  std::string message;
};

/// Reads the parameters of GET /sheets.pdf or POST /print: `preset`, `seed` and the readable settings.
/// Refuses unknown or repeated names, malformed or out-of-range values, more sheets than `maxSheets`
/// and a request that would make no document at all.
expected<SheetRequest, Refusal> readSheetRequest(
    const std::vector<std::pair<std::string, std::string>>& params, int maxSheets);

}  // namespace kirune::serve
