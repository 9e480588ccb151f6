#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kirune {

/// How a picture is stored in assets/.
enum class StoredFormat { Bmp8Palette, Bmp8Grey, Bmp24, Jpeg, Icon };

/// One picture of the catalogue. A picture of the built-in set holds its name, format and size from the
/// start, and its channels and pixels once withPixels() (render/image_set.h) has decoded it.
struct Picture {
  std::string name;  ///< qualified catalogue name: "TForm2.Image41", "TForm1.Image6" ...
  StoredFormat format = StoredFormat::Bmp24;
  int width = 0;
  int height = 0;
  int channels = 1;                  ///< 1 (grey) or 3 (RGB)
  std::vector<std::uint8_t> pixels;  ///< rows top-down, width * channels bytes each, no padding
};

}  // namespace kirune
