#pragma once

#include <QString>

namespace kirune {

/// Maps the typefaces the sheets and the window name onto fonts installed here: the text under the
/// glyphs ("HGP教科書体") onto the Klee One hand, so that text copied out of a PDF reads naturally,
/// and the window's gothic faces onto IPA P Gothic. Call once after the Qt application exists; both
/// the window and kirune-print do.
void installFontSubstitutions();

/// What to tell the user when a font the substitutions need is not installed: the hand of the sheets,
/// and with `window` also the window's gothic, each found by any of its family names. Empty when all
/// are there. The run goes on either way, with Qt's nearest font. PDFs carry their own font and need
/// none of these.
QString missingFontsNotice(bool window);

}  // namespace kirune
