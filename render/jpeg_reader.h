#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "render/picture.h"

namespace kirune {

/// Decodes a JPEG with libjpeg: greyscale to 1 channel, colour to 3 channels. Corrupt or cut data is an
/// error, not a warning. Throws DecodeError naming `name`; libjpeg never ends the process.
Picture decodeJpeg(std::string_view name, std::span<const std::uint8_t> bytes);

}  // namespace kirune
