#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace kirune {

/// The bytes of the file `file` of assets/ as compiled into the program; empty when no such file was
/// compiled in. Nothing is read from disk at run time.
std::span<const std::uint8_t> assetBytes(std::string_view file);

/// The names of every file compiled in, sorted.
std::vector<std::string_view> assetFiles();

}  // namespace kirune
