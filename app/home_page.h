#pragma once

#include <QString>
#include <string_view>

namespace kirune {

/// The owner's name shown in the home-page frame (label and banner).
inline constexpr std::string_view kHomePageOwner = "Kirune 作者";

/// The user guide, relative to the folder above the program's: the installed copy
/// (/usr/bin/kirune -> /usr/share/kirune/guide) and the build tree's (build/dev/app/kirune ->
/// build/dev/share/kirune/guide) alike.
inline constexpr std::string_view kUserGuideRelativePath = "share/kirune/guide/index.html";

/// The page the home-page command opens: the user guide installed with the program, or the build
/// tree's copy when the program runs from there; empty when neither is found.
QString userGuidePath();

}  // namespace kirune
