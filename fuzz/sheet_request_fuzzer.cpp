// kirune-serve's query reader: the input is a query string after percent-decoding, name=value pairs
// joined by '&' (a pair without '=' has an empty value).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "server/sheet_request.h"

namespace {
constexpr int kMaxSheets = 100;  // kirune-serve's default
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view query(reinterpret_cast<const char*>(data), size);
  std::vector<std::pair<std::string, std::string>> params;
  std::size_t start = 0;
  while (start <= query.size()) {
    const std::size_t amp = std::min(query.find('&', start), query.size());
    const std::string_view pair = query.substr(start, amp - start);
    const std::size_t eq = pair.find('=');
    if (eq == std::string_view::npos) {
      params.emplace_back(pair, "");
    } else {
      params.emplace_back(pair.substr(0, eq), pair.substr(eq + 1));
    }
    start = amp + 1;
  }

  const auto read = kirune::serve::readSheetRequest(params, kMaxSheets);
  if (!read) {
    if (read.error().status != 400 || read.error().message.empty()) std::abort();
    return 0;
  }
  // An accepted request is one the server starts drawing: bounded, and never empty.
  const kirune::serve::SheetRequest& request = *read;
  if (request.preset == nullptr || request.documents <= 0 || request.settings.SpinEdit1 > kMaxSheets ||
      request.documents != kirune::plannedDocuments(*request.preset, request.settings)) {
    std::abort();
  }
  return 0;
}
