#pragma once

#include <string_view>

namespace kirune {

/// The program's name and version line: the window's caption, the version label inside the window and
/// what `--version` prints. Kept here only, so every place shows the same text.
inline constexpr std::string_view kApplicationName = "Kirune";
inline constexpr std::string_view kVersionLine = "Kirune　Ver6.02  2021.10.27";

}  // namespace kirune
