#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace kirune {

/// Calls `visit` with each character of UTF-8 `text`, in order, without allocating. The texts are the
/// program's own, so well-formed; a sequence cut short at the end yields what it holds rather than
/// reading past it.
template <typename Visit>
void forEachCodepoint(std::string_view text, Visit visit) {
  for (std::size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    const std::size_t n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    char32_t c = n == 1 ? b : b & (0x7Fu >> n);
    for (std::size_t k = 1; k < n && i + k < text.size(); ++k) {
      c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3Fu);
    }
    visit(c);
    i += n;
  }
}

/// The characters of UTF-8 `text`.
inline std::vector<char32_t> utf8Codepoints(std::string_view text) {
  std::vector<char32_t> out;
  forEachCodepoint(text, [&out](char32_t c) { out.push_back(c); });
  return out;
}

}  // namespace kirune
