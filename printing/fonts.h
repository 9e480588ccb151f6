#pragma once

namespace kirune {

/// Maps the typefaces the sheets and the window name onto fonts installed here: the text under the
/// glyphs ("HGP教科書体") onto the Klee One hand, so that text copied out of a PDF reads naturally,
/// and the window's gothic faces onto IPA P Gothic. Call once after the Qt application exists; both
/// the window and kirune-print do.
void installFontSubstitutions();

}  // namespace kirune
