#include "server/sheet_request.h"

#include <algorithm>
#include <set>

#include "problems/parse_integer.h"

namespace kirune::serve {

expected<SheetRequest, Refusal> readSheetRequest(
    const std::vector<std::pair<std::string, std::string>>& params, int maxSheets) {
  // Every refusal here is the client's mistake.
  const auto refuse = [](std::string message) { return unexpected(Refusal{400, std::move(message)}); };
  SheetRequest r;
  std::set<std::string> seen;
  for (const auto& [name, value] : params) {
    if (!seen.insert(name).second) return refuse("同じ設定が二度あります: " + name);
    if (name == "preset") {
      r.preset = findPreset(value);
      if (!r.preset) return refuse("不明なプリセット: " + value);
    } else if (name == "seed") {
      const auto seed = parseInteger<std::uint64_t>(value);
      if (!seed) return refuse("seed の値が正しくありません: " + value + "（0 以上の整数）");
      r.seed = *seed;
    } else {
      auto read = readReadableSetting(name, value);
      if (!read) return refuse(std::move(read).error());
      for (const ControlValue& c : *read) c.applyTo(r.settings);
    }
  }
  if (!r.preset) return refuse("preset がありません（例 preset=BitBtn13）");
  if (r.settings.SpinEdit1 > maxSheets) {
    return refuse("枚数が多すぎます: " + std::to_string(r.settings.SpinEdit1) + "（1.." +
                  std::to_string(maxSheets) + " 枚）");
  }
  const std::int64_t documents = plannedDocuments(*r.preset, r.settings);
  if (documents == 0) {
    return refuse(
        "シートが一つもできません（sheets が 0 以下、print が "
        "0、または段・分解する数が一つも選ばれていません）");
  }
  r.documents = static_cast<int>(documents);
  return r;
}

}  // namespace kirune::serve
