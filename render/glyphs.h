#pragma once

#include <string>
#include <string_view>

#include "problems/glyph_code.h"
#include "render/page_canvas.h"
#include "render/session.h"

namespace kirune {

/// Size of one glyph box in device pixels.
struct GlyphBox {
  int width = 0;
  int height = 0;
};

/// The picture `print02Click` selects for a glyph code: code mod 19 (truncating), 0 "TForm2.Image20",
/// 1..9 "TForm2.Image11".."TForm2.Image19", 10..14 "TForm2.Image31".."TForm2.Image35" (= + - × ÷),
/// 15 "TForm2.Image52" (circle), 16 "TForm2.Image51" (box). Empty for 17, 18 and negative codes.
std::string_view glyphPictureName(int glyphCode);

/// `print02Click`: copies the picture of `session.glyphCode` into the staging slot `Image`; a code
/// without a picture leaves `Image` as it was.
void print02Click(Session& session);

/// The picture in the staging slot `Image`; before the first selection the window's own "0",
/// "TForm1.Image".
const Picture& stagedPicture(Session& session);

/// `drawGlyph`: selects `code` and stretch-draws the staging slot into `rect`.
void drawGlyph(Session& session, PageCanvas& canvas, int code, const Rect& rect);
/// `drawGlyph` into the glyph box with top-left (x, y).
void drawGlyph(Session& session, PageCanvas& canvas, GlyphBox box, int code, int x, int y);

/// Font height of the text under a digit: (glyphHeight div 7) * 8.
int digitFontHeight(int glyphHeight);
/// Font height of the text under a sign: (glyphHeight div 3) * 2.
int signFontHeight(int glyphHeight);

/// The character written under a glyph: "0".."9" for digits, the full-width "＋" "－" "＝" and the
/// signs "×" "÷"; empty for codes that get no text (boxes, circles, codes outside 0..14).
std::string_view underlayText(int code);

/// Text underlay: writes `text` at (x, y) in the font named by `Edit1` with the given height, so that
/// the picture drawn next over it covers it on paper while text extraction still finds it.
void writeUnderlay(Session& session, PageCanvas& canvas, int x, int y, int fontHeight, std::string_view text);

/// One glyph of a problem row with its underlay: a digit's text at the box top in the digit height,
/// an operator's text glyphHeight div 6 lower, "＝" glyphHeight div 5 lower, both in the sign height.
/// Codes without text are drawn without underlay.
void drawGlyphWithUnderlay(Session& session, PageCanvas& canvas, GlyphBox box, int code, int x, int y);

/// Number layouts; v is the value, p the x of the first box, y the top of the row. Each returns the x
/// of the next free box. With `underlay`, every glyph drawn gets its text first.
///
/// Single glyph: v itself is the code.
int drawSingle(Session& session, PageCanvas& canvas, GlyphBox box, int v, int p, int y,
               bool underlay = false);
/// Two places, right-aligned: the tens box stays blank below 10; always two boxes.
int drawTwoPlace(Session& session, PageCanvas& canvas, GlyphBox box, int v, int p, int y,
                 bool underlay = false);
/// Compact, left-aligned: one box below 10, two from 10.
int drawCompact(Session& session, PageCanvas& canvas, GlyphBox box, int v, int p, int y,
                bool underlay = false);

}  // namespace kirune
