#include "server/sheet_request.h"

#include <algorithm>
#include <charconv>
#include <set>

namespace kirune::serve {

std::variant<SheetRequest, Refusal> readSheetRequest(
    const std::vector<std::pair<std::string, std::string>>& params, int maxSheets) {
  constexpr int kBadRequest = 400;
  SheetRequest r;
  std::set<std::string> seen;
  for (const auto& [name, value] : params) {
    if (!seen.insert(name).second) return Refusal{kBadRequest, "同じ設定が二度あります: " + name};
    if (name == "preset") {
      r.preset = findPreset(value);
      if (!r.preset) return Refusal{kBadRequest, "不明なプリセット: " + value};
    } else if (name == "seed") {
      std::uint64_t seed = 0;
      const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), seed);
      if (value.empty() || ec != std::errc() || end != value.data() + value.size()) {
        return Refusal{kBadRequest, "seed の値が正しくありません: " + value + "（0 以上の整数）"};
      }
      r.seed = seed;
    } else {
      const ReadResult read = readReadableSetting(name, value);
      if (!read.error.empty()) return Refusal{kBadRequest, read.error};
      for (const ControlValue& c : read.controls) applyControl(r.settings, c);
    }
  }
  if (!r.preset) return Refusal{kBadRequest, "preset がありません（例 preset=BitBtn13）"};
  if (r.settings.SpinEdit1 > maxSheets) {
    return Refusal{kBadRequest, "枚数が多すぎます: " + std::to_string(r.settings.SpinEdit1) + "（1.." +
                                    std::to_string(maxSheets) + " 枚）"};
  }
  const std::int64_t documents = plannedDocuments(*r.preset, r.settings);
  if (documents == 0) {
    return Refusal{kBadRequest,
                   "シートが一つもできません（sheets が 0 以下、print が "
                   "0、または段・分解する数が一つも選ばれていません）"};
  }
  r.documents = static_cast<int>(documents);
  return r;
}

}  // namespace kirune::serve
