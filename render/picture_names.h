#pragma once

#include <array>
#include <string_view>

#include "problems/glyph_code.h"

/// The catalogue names of the pictures the program draws or shows, qualified by the form that owns
/// them. Code names a picture through these constants, so that a picture's uses can be found by name.
namespace kirune::pictures {

/// Prefix of the pictures of the image form; clip-art names are this prefix and a number.
inline constexpr std::string_view kImageForm = "TForm2.Image";

// Parts of a sheet.
inline constexpr std::string_view kNameLabel = "TForm2.Image41";    ///< なまえ
inline constexpr std::string_view kOpenParen = "TForm2.Image42";    ///< "(" after the name label
inline constexpr std::string_view kCloseParen = "TForm2.Image43";   ///< ")" near the right edge
inline constexpr std::string_view kMinutes = "TForm1.Image7";       ///< 分 of the time field
inline constexpr std::string_view kSeconds = "TForm1.Image8";       ///< びょう of the time field
inline constexpr std::string_view kRemainder = "TForm1.Image6";     ///< mark before a remainder
inline constexpr std::string_view kEmptyCircle = "TForm2.Image52";  ///< circle of a decomposition
inline constexpr std::string_view kEmptyBox = "TForm2.Image51";     ///< box of a fill-in fact

/// The glyph picture of every glyph code, indexed by code: the digits 0..9, = + - × ÷, circle, box.
inline constexpr std::array<std::string_view, kGlyphCodeCount> kGlyphs = {
    "TForm2.Image20", "TForm2.Image11", "TForm2.Image12", "TForm2.Image13", "TForm2.Image14",
    "TForm2.Image15", "TForm2.Image16", "TForm2.Image17", "TForm2.Image18", "TForm2.Image19",
    "TForm2.Image31", "TForm2.Image32", "TForm2.Image33", "TForm2.Image34", "TForm2.Image35",
    kEmptyCircle,     kEmptyBox};

// Pictures of the main window.
inline constexpr std::string_view kWindowZero = "TForm1.Image";  ///< the window's "0"; first glyph staged
inline constexpr std::string_view kClipArtPreview = "TForm1.Image5";  ///< copy of the clip-art
inline constexpr std::string_view kWindowIcon = "TForm1.Image4";
inline constexpr std::string_view kPrinterSetupIcon = "TForm1.BitBtn25";
inline constexpr std::string_view kBanner = "TForm1.BitBtn128";

}  // namespace kirune::pictures
