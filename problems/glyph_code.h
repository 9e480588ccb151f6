#pragma once

#include <cstdint>

namespace kirune {

/// What a problem record stores and what the glyph selector draws: the codes 0..9 are the digits
/// themselves, the named codes are the signs and the two markers of the fill-in sheets.
enum GlyphCode : std::int32_t {
  kEquals = 10,   ///< "="
  kPlus = 11,     ///< "+"
  kMinus = 12,    ///< "-"
  kTimes = 13,    ///< "×"
  kDivided = 14,  ///< "÷"
  kCircle = 15,   ///< the empty circle of a decomposition: the part the pupil fills in
  kBox = 16,      ///< the empty box of a fill-in fact: the factor the pupil fills in
};

/// Number of glyph codes, 0..16.
inline constexpr int kGlyphCodeCount = 17;

/// Whether `code` is a digit, 0..9.
constexpr bool isDigitCode(int code) { return code >= 0 && code <= 9; }

}  // namespace kirune
