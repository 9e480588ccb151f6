#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "render/picture.h"

namespace kirune {

/// Decodes a Windows bitmap (BI_RGB, 8-bit palette or 24-bit, bottom-up or top-down) into a picture of
/// the given catalogue format: `Bmp8Grey` gives 1 channel and needs a grey palette, `Bmp8Palette` and
/// `Bmp24` give 3 channels. Throws DecodeError naming `name` on a truncated, foreign or other-format
/// file.
Picture decodeBmp(std::string_view name, StoredFormat format, std::span<const std::uint8_t> bytes);

/// Decodes the 32 x 32 image of a Windows icon (the largest one when there is no 32 x 32 image): 1, 4
/// or 8 bpp with palette, 24 or 32 bpp, each with its AND mask. Masked-out pixels become white, since
/// pictures are opaque. 3 channels. Throws DecodeError naming `name` on any fault.
Picture decodeIcon(std::string_view name, std::span<const std::uint8_t> bytes);

}  // namespace kirune
