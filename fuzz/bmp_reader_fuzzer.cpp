// The BMP and icon readers: every input is tried as each stored BMP format and as an icon.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "render/bmp_reader.h"
#include "render/errors.h"

namespace {

// A decoded picture is whole: its samples are exactly width x height x channels.
void check(const kirune::Picture& p) {
  if (p.width <= 0 || p.height <= 0 || (p.channels != 1 && p.channels != 3) ||
      p.pixels.size() != static_cast<std::size_t>(p.width) * static_cast<std::size_t>(p.height) *
                             static_cast<std::size_t>(p.channels)) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  for (const auto format :
       {kirune::StoredFormat::Bmp8Palette, kirune::StoredFormat::Bmp8Grey, kirune::StoredFormat::Bmp24}) {
    try {
      check(kirune::decodeBmp("fuzz.bmp", format, bytes));
    } catch (const kirune::DecodeError&) {
    }
  }
  try {
    check(kirune::decodeIcon("fuzz.ico", bytes));
  } catch (const kirune::DecodeError&) {
  }
  return 0;
}
