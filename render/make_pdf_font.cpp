// Build tool: subsets the sheets' hand (Klee One) to every character the sheets can draw and writes a
// C++ source holding the subset, its metrics, widths and ToUnicode map, so that no run parses or
// subsets a font and a PDF needs no font installed.
//   kirune_make_pdf_font FONT.ttf OUTPUT.cpp
#include <hb-ot.h>
#include <hb-subset.h>
#include <hb.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "render/glyphs.h"
#include "render/utf8.h"

namespace {

int readInt16(const char* p) {
  return static_cast<std::int16_t>((static_cast<unsigned char>(p[0]) << 8) |
                                   static_cast<unsigned char>(p[1]));
}

std::string hex4(unsigned v) {
  char b[8];
  std::snprintf(b, sizeof b, "%04X", v);
  return b;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: kirune_make_pdf_font FONT.ttf OUTPUT.cpp\n";
    return 2;
  }
  hb_blob_t* blob = hb_blob_create_from_file_or_fail(argv[1]);
  if (!blob) {
    std::cerr << "kirune_make_pdf_font: cannot read " << argv[1] << '\n';
    return 1;
  }
  hb_face_t* face = hb_face_create(blob, 0);

  // Every text the sheets draw: the underlay of each glyph code.
  std::set<char32_t> wanted;
  for (int code = 0; code < 64; ++code) {
    for (char32_t c : kirune::utf8Codepoints(kirune::underlayText(code))) wanted.insert(c);
  }
  hb_subset_input_t* input = hb_subset_input_create_or_fail();
  hb_set_t* unicodes = hb_subset_input_unicode_set(input);
  for (char32_t c : wanted) hb_set_add(unicodes, c);
  // A PDF reader needs the outlines, metrics and names: no hinting (sheets print at 600 dpi and more)
  // and no layout tables (the texts are placed glyph by glyph).
  hb_subset_input_set_flags(input, HB_SUBSET_FLAGS_NO_HINTING);
  hb_set_t* dropped = hb_subset_input_set(input, HB_SUBSET_SETS_DROP_TABLE_TAG);
  for (hb_tag_t table : {HB_TAG('G', 'S', 'U', 'B'), HB_TAG('G', 'P', 'O', 'S'), HB_TAG('G', 'D', 'E', 'F'),
                         HB_TAG('B', 'A', 'S', 'E'), HB_TAG('m', 'o', 'r', 'x'), HB_TAG('k', 'e', 'r', 'n'),
                         HB_TAG('D', 'S', 'I', 'G'), HB_TAG('v', 'h', 'e', 'a'), HB_TAG('v', 'm', 't', 'x'),
                         HB_TAG('V', 'O', 'R', 'G')})
    hb_set_add(dropped, table);
  hb_face_t* subset = hb_subset_or_fail(face, input);
  if (!subset) {
    std::cerr << "kirune_make_pdf_font: cannot subset " << argv[1] << '\n';
    return 1;
  }
  hb_blob_t* subsetBlob = hb_face_reference_blob(subset);
  unsigned length = 0;
  const char* bytes = hb_blob_get_data(subsetBlob, &length);

  hb_font_t* font = hb_font_create(subset);
  const int upem = static_cast<int>(hb_face_get_upem(subset));
  hb_position_t ascent = 0, descent = 0, capHeight = 0;
  hb_ot_metrics_get_position_with_fallback(font, HB_OT_METRICS_TAG_HORIZONTAL_ASCENDER, &ascent);
  hb_ot_metrics_get_position_with_fallback(font, HB_OT_METRICS_TAG_HORIZONTAL_DESCENDER, &descent);
  hb_ot_metrics_get_position_with_fallback(font, HB_OT_METRICS_TAG_CAP_HEIGHT, &capHeight);
  hb_blob_t* head = hb_face_reference_table(subset, HB_TAG('h', 'e', 'a', 'd'));
  unsigned headLength = 0;
  const char* headBytes = hb_blob_get_data(head, &headLength);
  if (headLength < 44) {
    std::cerr << "kirune_make_pdf_font: no head table\n";
    return 1;
  }
  const int bbox[4] = {readInt16(headBytes + 36), readInt16(headBytes + 38), readInt16(headBytes + 40),
                       readInt16(headBytes + 42)};

  struct Glyph {
    char32_t c;
    unsigned glyph;
    int advance;
  };
  std::vector<Glyph> glyphs;
  for (char32_t c : wanted) {
    hb_codepoint_t g = 0;
    if (!hb_font_get_nominal_glyph(font, c, &g)) {
      std::cerr << "kirune_make_pdf_font: the font has no glyph for U+" << hex4(c) << '\n';
      return 1;
    }
    glyphs.push_back({c, g, hb_font_get_glyph_h_advance(font, g)});
  }

  // Name the subset after its bytes, so the same font makes the same tag.
  uLong crc = crc32(0L, Z_NULL, 0);
  crc = crc32(crc, reinterpret_cast<const Bytef*>(bytes), length);
  std::string tag;
  for (int i = 0; i < 6; ++i) {
    tag += static_cast<char>('A' + crc % 26);
    crc /= 26;
  }
  char name[128] = {};
  unsigned nameLength = sizeof name;
  hb_ot_name_get_utf8(subset, HB_OT_NAME_ID_POSTSCRIPT_NAME, HB_LANGUAGE_INVALID, &nameLength, name);
  const std::string baseFont = tag + "+" + (name[0] ? name : "KleeOne-Regular");

  std::ostringstream widths;
  widths << '[';
  std::vector<Glyph> byGlyph = glyphs;
  std::sort(byGlyph.begin(), byGlyph.end(), [](const Glyph& a, const Glyph& b) { return a.glyph < b.glyph; });
  for (const Glyph& g : byGlyph) widths << g.glyph << " [" << (g.advance * 1000 + upem / 2) / upem << "] ";
  widths << ']';

  std::ostringstream cmap;
  cmap << "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
          "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
          "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
          "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n"
       << byGlyph.size() << " beginbfchar\n";
  for (const Glyph& g : byGlyph)
    cmap << '<' << hex4(g.glyph) << "> <" << hex4(static_cast<unsigned>(g.c)) << ">\n";
  cmap << "endbfchar\nendcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";

  uLongf size = compressBound(length);
  std::vector<unsigned char> deflated(size);
  if (compress2(deflated.data(), &size, reinterpret_cast<const Bytef*>(bytes), length, 9) != Z_OK) {
    std::cerr << "kirune_make_pdf_font: cannot compress\n";
    return 1;
  }
  deflated.resize(size);

  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out << "// Generated at build time by kirune_make_pdf_font from " << argv[1] << "; do not edit.\n"
      << "#include \"render/pdf_font.h\"\n\nnamespace kirune {\nnamespace {\n\nconst std::uint8_t program[] "
         "= {";
  for (std::size_t k = 0; k < deflated.size(); ++k)
    out << (k % 24 == 0 ? "\n" : "") << static_cast<unsigned>(deflated[k]) << ',';
  out << "\n};\n\nconst PdfFontGlyph glyphs[] = {\n";
  for (const Glyph& g : glyphs)
    out << "    {U'\\x" << std::hex << static_cast<unsigned>(g.c) << std::dec << "', " << g.glyph << ", "
        << g.advance << "},\n";
  out << "};\n\n}  // namespace\n\nconst PdfFont& builtInPdfFont() {\n  static const PdfFont font{\n"
      << "      \"" << baseFont << "\", " << upem << ", " << ascent << ", " << -descent << ", " << capHeight
      << ", {" << bbox[0] << ", " << bbox[1] << ", " << bbox[2] << ", " << bbox[3] << "},\n"
      << "      glyphs, R\"(" << widths.str() << ")\",\n      R\"(" << cmap.str() << ")\",\n      program, "
      << length << "};\n  return font;\n}\n\n}  // namespace kirune\n";
  out.close();
  if (!out) {
    std::cerr << "kirune_make_pdf_font: cannot write " << argv[2] << '\n';
    return 1;
  }
  hb_blob_destroy(head);
  hb_font_destroy(font);
  hb_blob_destroy(subsetBlob);
  hb_face_destroy(subset);
  hb_subset_input_destroy(input);
  hb_face_destroy(face);
  hb_blob_destroy(blob);
  return 0;
}
