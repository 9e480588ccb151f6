#pragma once

#include <charconv>
#include <concepts>
#include <string_view>
#include <system_error>

#include "problems/expected.h"

namespace kirune {

/// Why a text is not a whole number of the wanted type.
enum class IntegerError {
  Malformed,   ///< empty, a '+', a sign on an unsigned type, a space, a point or anything after the digits
  OutOfRange,  ///< digits only, but too large for the type
};

/// All of `text` as a decimal whole number: digits, with one leading '-' only for a signed type. Every
/// reader of numbers in settings, arguments and requests goes through here, so that each takes the same
/// spellings.
template <std::integral T>
expected<T, IntegerError> parseInteger(std::string_view text) {
  // from_chars takes no '+' and, for an unsigned type, no '-'; it stops at the first stray character.
  if (text.empty() || text.front() == '+') return unexpected(IntegerError::Malformed);
  T value{};
  const char* const end = text.data() + text.size();
  const auto [stop, ec] = std::from_chars(text.data(), end, value);
  if (stop != end) return unexpected(IntegerError::Malformed);
  if (ec == std::errc::result_out_of_range) return unexpected(IntegerError::OutOfRange);
  if (ec != std::errc()) return unexpected(IntegerError::Malformed);
  return value;
}

}  // namespace kirune
