// The JPEG reader over libjpeg.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "render/errors.h"
#include "render/jpeg_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const kirune::Picture p = kirune::decodeJpeg("fuzz.jpg", std::span<const std::uint8_t>(data, size));
    // A decoded picture is whole: its samples are exactly width x height x channels.
    if (p.width <= 0 || p.height <= 0 || (p.channels != 1 && p.channels != 3) ||
        p.pixels.size() != static_cast<std::size_t>(p.width) * static_cast<std::size_t>(p.height) *
                               static_cast<std::size_t>(p.channels)) {
      std::abort();
    }
  } catch (const kirune::DecodeError&) {
  }
  return 0;
}
