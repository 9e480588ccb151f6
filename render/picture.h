#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kirune {

/// How a picture is stored in assets/.
enum class StoredFormat { Bmp8Palette, Bmp8Grey, Bmp24, Jpeg, Icon };

/// One decoded picture of the catalogue. Immutable after start-up; working slots point at these.
struct Picture {
  std::string name;  ///< qualified catalogue name: "TForm2.Image41", "TForm1.Image6" ...
  StoredFormat format = StoredFormat::Bmp24;
  int width = 0;
  int height = 0;
  int channels = 1;                  ///< 1 (grey) or 3 (RGB)
  std::vector<std::uint8_t> pixels;  ///< rows top-down, width * channels bytes each, no padding
};

}  // namespace kirune
