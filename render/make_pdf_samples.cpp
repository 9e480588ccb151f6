// Build tool: writes a C++ source holding the samples of every picture of the built-in set as a PDF
// stores them (grey where every pixel is grey, zlib-compressed), so that no run compresses them.
//   kirune_make_pdf_samples OUTPUT.cpp
#include <zlib.h>

#include <cstdint>
#include <exception>
#include <fstream>
#include <iostream>
#include <sstream>
#include <vector>

#include "render/image_set.h"

namespace {

bool isGrey(const kirune::Picture& p) {
  if (p.channels == 1) return true;
  for (std::size_t i = 0; i + 2 < p.pixels.size(); i += 3) {
    if (p.pixels[i] != p.pixels[i + 1] || p.pixels[i] != p.pixels[i + 2]) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: kirune_make_pdf_samples OUTPUT.cpp\n";
    return 2;
  }
  try {
    std::ostringstream arrays;
    std::ostringstream table;
    const std::vector<kirune::Picture>& pictures = kirune::ImageSet::builtIn().pictures();
    for (std::size_t i = 0; i < pictures.size(); ++i) {
      const kirune::Picture& p = pictures[i];
      const bool grey = isGrey(p);
      std::vector<std::uint8_t> samples;
      if (grey && p.channels == 3) {
        samples.reserve(p.pixels.size() / 3);
        for (std::size_t k = 0; k + 2 < p.pixels.size(); k += 3) samples.push_back(p.pixels[k]);
      } else {
        samples = p.pixels;
      }
      // Made once, so the smallest.
      uLongf size = compressBound(static_cast<uLong>(samples.size()));
      std::vector<std::uint8_t> deflated(size);
      if (compress2(deflated.data(), &size, samples.data(), static_cast<uLong>(samples.size()), 9) != Z_OK) {
        std::cerr << "kirune_make_pdf_samples: cannot compress " << p.name << '\n';
        return 1;
      }
      deflated.resize(size);
      // Their checksums too: a file's identity covers these bytes without reading them again.
      const uLong crc = crc32(crc32(0L, Z_NULL, 0), deflated.data(), static_cast<uInt>(deflated.size()));
      const uLong adler =
          adler32(adler32(0L, Z_NULL, 0), deflated.data(), static_cast<uInt>(deflated.size()));
      arrays << "const std::uint8_t samples" << i << "[] = {";
      for (std::size_t k = 0; k < deflated.size(); ++k)
        arrays << (k % 24 == 0 ? "\n" : "") << static_cast<unsigned>(deflated[k]) << ',';
      arrays << "\n};\n";
      table << "    {\"" << p.name << "\", " << p.width << ", " << p.height << ", "
            << (grey ? "true" : "false") << ", samples" << i << ", " << crc << "u, " << adler << "u},\n";
    }
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out << "// Generated at build time by kirune_make_pdf_samples; do not edit.\n"
           "#include \"render/pdf_samples.h\"\n\n"
           "namespace kirune {\nnamespace {\n\n"
        << arrays.str() << "\nconst PdfSamples all[] = {\n"
        << table.str() << "};\n\n}  // namespace\n\n"
        << "std::span<const PdfSamples> builtInPdfSamples() { return all; }\n\n}  // namespace kirune\n";
    out.close();
    if (!out) {
      std::cerr << "kirune_make_pdf_samples: cannot write " << argv[1] << '\n';
      return 1;
    }
  } catch (const std::exception& e) {
    std::cerr << "kirune_make_pdf_samples: " << e.what() << '\n';
    return 1;
  }
  return 0;
}
