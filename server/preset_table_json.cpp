#include "server/preset_table_json.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

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

std::string presetTableJson(int maxSheets, bool printing) {
  const auto text = [](std::string_view t) {
    return QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size()));
  };
  QJsonArray presetRows;
  for (const Preset& p : presets()) {
    presetRows.append(QJsonObject{{"button", text(p.button)},
                                  {"gridRow", p.gridRow},
                                  {"half", p.half},
                                  {"slot", p.slot},
                                  {"rowTitle", text(p.rowTitle)},
                                  {"caption", text(p.caption)},
                                  {"kind", p.kind},
                                  {"countItem", p.countItem},
                                  {"engine", text(engineName(p.engine))},
                                  {"tiles", p.tiles},
                                  {"guard", text(guardName(p.guard))},
                                  {"toolTip", text(p.toolTip)},
                                  {"captionColour", text(captionColour(p))}});
  }
  QJsonArray settingRows;
  for (const ReadableSetting& s : readableSettings()) {
    settingRows.append(QJsonObject{{"name", text(s.name)},
                                   {"controls", text(s.controlNames())},
                                   {"caption", text(s.caption)},
                                   {"values", text(s.values)},
                                   {"meaning", text(s.meaning)}});
  }
  const QJsonObject table{
      {"version", text(kVersionLine)},
      {"window",
       QJsonObject{{"background", text(kBackground)}, {"text", text(kText)}, {"rowTitle", text(kTitle)}}},
      {"limits", QJsonObject{{"maxSheets", maxSheets}, {"printing", printing}}},
      {"presets", presetRows},
      {"settings", settingRows}};
  return QJsonDocument(table).toJson(QJsonDocument::Compact).toStdString() + "\n";
}

}  // namespace kirune::serve
