#pragma once

#include <QFont>

class QWidget;

namespace kirune {

/// The typeface the window asks for by name; `installFontSubstitutions` (printing/fonts.h) maps it onto
/// an installed Japanese gothic.
inline constexpr const char* kWindowFontFamily = "ＭＳ Ｐゴシック";
/// The typeface of the tile frame.
inline constexpr const char* kFrameFontFamily = "MS Reference Sans Serif";

/// The window's font, bold or not.
QFont windowFont(bool bold = false);

/// Sizes `font` so that its full character cell (ascent + descent) is `cellHeight` pixels.
void setCellHeight(QFont& font, int cellHeight);

/// When fonts the sheets or the window need are not installed, says which in a message box over
/// `window` once its event loop runs, so the user first sees what the window looks like without them.
/// The window goes on either way; nothing is shown when all are there.
void tellMissingFonts(QWidget& window);

}  // namespace kirune
