#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "problems/expected.h"

namespace kirune::serve {

using Params = std::vector<std::pair<std::string, std::string>>;

/// Whether `text` is well-formed UTF-8 (no overlong forms, no surrogates, nothing past U+10FFFF).
bool validUtf8(std::string_view text);

/// The name-value pairs of a query string or a form body (`application/x-www-form-urlencoded`): split at
/// each `&`, each pair at its first `=` only, then `+` and `%XX` decoded. Empty pairs are skipped. A
/// malformed escape or a name or value that is not UTF-8 gives a short Japanese message instead, one
/// that never repeats what was sent.
expected<Params, std::string> parseForm(std::string_view text);

/// `value` as an RFC 8187 ext-value (`UTF-8''...`) for a header parameter such as `filename*`.
std::string extValue(std::string_view value);

/// `text` made safe for one field of a log line: control bytes, quotes, backslashes, and bytes that
/// are not part of valid UTF-8 as %XX; cut to about `limit` bytes with "..." after. Quote the field
/// where it may hold spaces.
std::string logSafe(std::string_view text, std::size_t limit);

}  // namespace kirune::serve
