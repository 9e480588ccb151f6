// Build tool: writes a C++ source holding the samples of every picture of the built-in set as a PDF
// stores them (grey where every pixel is grey, zlib-compressed), so that no run compresses them.
//   kirune_make_pdf_samples OUTPUT.cpp
#include <QByteArray>
#include <cstdio>
#include <exception>
#include <fstream>
#include <iostream>
#include <sstream>

#include "printing/picture_image.h"
#include "render/image_set.h"

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
      const bool grey = kirune::isGrey(p);
      QByteArray samples;
      if (grey && p.channels == 3) {
        samples.resize(static_cast<qsizetype>(p.pixels.size() / 3));
        char* out = samples.data();
        for (std::size_t k = 0; k + 2 < p.pixels.size(); k += 3) *out++ = static_cast<char>(p.pixels[k]);
      } else {
        samples = QByteArray(reinterpret_cast<const char*>(p.pixels.data()),
                             static_cast<qsizetype>(p.pixels.size()));
      }
      // qCompress puts the length in front of the zlib stream; a PDF wants the stream alone. Made once,
      // so the smallest.
      const QByteArray deflated = qCompress(samples, 9).sliced(4);
      arrays << "const std::uint8_t samples" << i << "[] = {";
      for (qsizetype k = 0; k < deflated.size(); ++k) {
        arrays << (k % 24 == 0 ? "\n" : "") << static_cast<unsigned>(static_cast<unsigned char>(deflated[k]))
               << ',';
      }
      arrays << "\n};\n";
      table << "    {\"" << p.name << "\", " << p.width << ", " << p.height << ", "
            << (grey ? "true" : "false") << ", samples" << i << "},\n";
    }
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out << "// Generated at build time by kirune_make_pdf_samples; do not edit.\n"
           "#include \"printing/pdf_samples.h\"\n\n"
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
