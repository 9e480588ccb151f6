#pragma once

#include <string_view>

namespace kirune {

/// The one web page the home-page command opens.
inline constexpr std::string_view kHomePageUrl = "https://example.org/kirune/";
/// The owner's name shown in the home-page frame (label and banner).
inline constexpr std::string_view kHomePageOwner = "Kirune 作者";

}  // namespace kirune
