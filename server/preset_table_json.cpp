#include "server/preset_table_json.h"

#include <cstdio>

#include "kirune/version.h"
#include "problems/controls.h"
#include "render/presets.h"

namespace kirune::serve {
namespace {

// The window's colours: blue background, white text, yellow row titles, green preset captions, blue
// for the tile presets and red for the "s18" presets.
constexpr std::string_view kBackground = "#225588";
constexpr std::string_view kText = "#ffffff";
constexpr std::string_view kTitle = "#ffff00";
constexpr std::string_view kCaption = "#008000";
constexpr std::string_view kTileCaption = "#0000ff";
constexpr std::string_view kShortTileCaption = "#ff0000";

std::string_view guardName(Guard g) {
  switch (g) {
    case Guard::None:
      return "none";
    case Guard::TimesRows:
      return "rows";
    case Guard::DecomposeNumbers:
      return "numbers";
  }
  return {};
}

std::string_view captionColour(const Preset& p) {
  switch (captionStyle(p)) {
    case CaptionStyle::ShortTiles:
      return kShortTileCaption;
    case CaptionStyle::Tiles:
      return kTileCaption;
    case CaptionStyle::Plain:
      break;
  }
  return kCaption;
}

}  // namespace

std::string jsonString(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + '"';
}

std::string presetTableJson(int maxSheets, bool printing) {
  std::string j = "{\"version\":" + jsonString(kVersionLine) +
                  ",\n\"window\":{\"background\":" + jsonString(kBackground) +
                  ",\"text\":" + jsonString(kText) + ",\"rowTitle\":" + jsonString(kTitle) +
                  "},\n\"limits\":{\"maxSheets\":" + std::to_string(maxSheets) +
                  ",\"printing\":" + (printing ? "true" : "false") + "},\n\"presets\":[";
  bool first = true;
  for (const Preset& p : presets()) {
    j += first ? "\n" : ",\n";
    first = false;
    j += "{\"button\":" + jsonString(p.button) + ",\"gridRow\":" + std::to_string(p.gridRow) +
         ",\"half\":" + std::to_string(p.half) + ",\"slot\":" + std::to_string(p.slot) +
         ",\"rowTitle\":" + jsonString(p.rowTitle) + ",\"caption\":" + jsonString(p.caption) +
         ",\"kind\":" + std::to_string(p.kind) + ",\"countItem\":" + std::to_string(p.countItem) +
         ",\"engine\":" + jsonString(engineName(p.engine)) + ",\"tiles\":" + (p.tiles ? "true" : "false") +
         ",\"guard\":" + jsonString(guardName(p.guard)) + ",\"toolTip\":" + jsonString(p.toolTip) +
         ",\"captionColour\":" + jsonString(captionColour(p)) + "}";
  }
  j += "],\n\"settings\":[";
  first = true;
  for (const ReadableSetting& s : readableSettings()) {
    j += first ? "\n" : ",\n";
    first = false;
    j += "{\"name\":" + jsonString(s.name) + ",\"controls\":" + jsonString(s.controlNames()) +
         ",\"caption\":" + jsonString(s.caption) + ",\"values\":" + jsonString(s.values) +
         ",\"meaning\":" + jsonString(s.meaning) + "}";
  }
  return j + "]}\n";
}

}  // namespace kirune::serve
