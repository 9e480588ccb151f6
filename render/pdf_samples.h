#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace kirune {

/// One picture of the built-in set as a PDF stores it, compressed when the program was built.
struct PdfSamples {
  std::string_view name;  ///< the picture's catalogue name
  int width;
  int height;
  bool grey;                               ///< one grey sample a pixel (every pixel is grey); three otherwise
  std::span<const std::uint8_t> deflated;  ///< the samples, rows top-down, as one zlib stream
  std::uint32_t crc32;                     ///< zlib's crc32 of `deflated`
  std::uint32_t adler32;                   ///< zlib's adler32 of `deflated`
};

/// Every picture of the built-in set, in its order (ImageSet::builtIn()).
std::span<const PdfSamples> builtInPdfSamples();

}  // namespace kirune
