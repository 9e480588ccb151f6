#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace kirune {

/// One character of the built-in PDF font: its glyph in the subset and its advance in font units.
struct PdfFontGlyph {
  char32_t codepoint;
  std::uint16_t glyph;
  std::uint16_t advance;
};

/// The hand of the text under the glyphs (Klee One), subset when the program is built to every
/// character the sheets can draw, ready to embed as a Type0/CIDFontType2 font (CID = glyph).
struct PdfFont {
  std::string_view baseFont;  ///< with its six-letter subset tag: "ABCDEF+KleeOne-Regular"
  int unitsPerEm;
  int ascent;   ///< above the baseline, font units
  int descent;  ///< below the baseline, font units, positive
  int capHeight;
  int bbox[4];                            ///< xMin yMin xMax yMax, font units
  std::span<const PdfFontGlyph> glyphs;   ///< sorted by codepoint
  std::string_view widths;                ///< the CIDFont's /W array, in thousandths of the em
  std::string_view toUnicode;             ///< the ToUnicode CMap
  std::span<const std::uint8_t> program;  ///< the TrueType subset, zlib-compressed
  std::size_t programLength;              ///< the TrueType subset's own length
};

/// The font made when the program was built.
const PdfFont& builtInPdfFont();

/// The glyph of `codepoint` in the built-in font, or nullptr when the subset lacks it.
const PdfFontGlyph* pdfGlyphOf(char32_t codepoint);

}  // namespace kirune
