#include "render/glyphs.h"

#include <array>

#include "render/picture_names.h"

namespace kirune {

namespace {

// Indexed by code: the digits, then = + - × ÷; the markers get no text.
constexpr std::array<std::string_view, kDivided + 1> kUnderlayTexts = {
    "0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "＝", "＋", "－", "×", "÷"};

}  // namespace

std::string_view glyphPictureName(int glyphCode) {
  const int r = glyphCode % 19;  // truncating: negative codes give a negative r, which selects nothing
  if (r < 0 || r >= static_cast<int>(pictures::kGlyphs.size())) return {};
  return pictures::kGlyphs[static_cast<std::size_t>(r)];
}

void print02Click(Session& session) {
  const std::string_view name = glyphPictureName(session.glyphCode);
  if (!name.empty()) session.Image = &session.images.get(name);
}

const Picture& stagedPicture(Session& session) {
  if (session.Image == nullptr) session.Image = &session.images.get(pictures::kWindowZero);
  return *session.Image;
}

void drawGlyph(Session& session, PageCanvas& canvas, int code, const Rect& rect) {
  session.glyphCode = code;
  print02Click(session);
  canvas.stretchDraw(rect, stagedPicture(session));
}

void drawGlyph(Session& session, PageCanvas& canvas, GlyphBox box, int code, int x, int y) {
  drawGlyph(session, canvas, code, Rect{x, y, x + box.width, y + box.height});
}

int digitFontHeight(int glyphHeight) { return (glyphHeight / 7) * 8; }

int signFontHeight(int glyphHeight) { return (glyphHeight / 3) * 2; }

std::string_view underlayText(int code) {
  if (code < 0 || code >= static_cast<int>(kUnderlayTexts.size())) return {};
  return kUnderlayTexts[static_cast<std::size_t>(code)];
}

void writeUnderlay(Session& session, PageCanvas& canvas, int x, int y, int fontHeight,
                   std::string_view text) {
  canvas.setFontName(session.settings.Edit1);
  canvas.setFontHeight(fontHeight);
  canvas.textOut(x, y, std::string(text));
}

void drawGlyphWithUnderlay(Session& session, PageCanvas& canvas, GlyphBox box, int code, int x, int y) {
  const std::string_view text = underlayText(code);
  if (!text.empty()) {
    if (isDigitCode(code)) {
      writeUnderlay(session, canvas, x, y, digitFontHeight(box.height), text);
    } else if (code == kEquals) {
      writeUnderlay(session, canvas, x, y + box.height / 5, signFontHeight(box.height), text);
    } else {
      writeUnderlay(session, canvas, x, y + box.height / 6, signFontHeight(box.height), text);
    }
  }
  drawGlyph(session, canvas, box, code, x, y);
}

namespace {

void drawOne(Session& session, PageCanvas& canvas, GlyphBox box, int code, int x, int y, bool underlay) {
  if (underlay) {
    drawGlyphWithUnderlay(session, canvas, box, code, x, y);
  } else {
    drawGlyph(session, canvas, box, code, x, y);
  }
}

}  // namespace

int drawSingle(Session& session, PageCanvas& canvas, GlyphBox box, int v, int p, int y, bool underlay) {
  drawOne(session, canvas, box, v, p, y, underlay);
  return p + box.width;
}

int drawTwoPlace(Session& session, PageCanvas& canvas, GlyphBox box, int v, int p, int y, bool underlay) {
  if (v / 10 > 0) drawOne(session, canvas, box, v / 10, p, y, underlay);
  drawOne(session, canvas, box, v % 10, p + box.width, y, underlay);
  return p + 2 * box.width;
}

int drawCompact(Session& session, PageCanvas& canvas, GlyphBox box, int v, int p, int y, bool underlay) {
  if (v / 10 > 0) {
    drawOne(session, canvas, box, v / 10, p, y, underlay);
    drawOne(session, canvas, box, v % 10, p + box.width, y, underlay);
    return p + 2 * box.width;
  }
  drawOne(session, canvas, box, v % 10, p, y, underlay);
  return p + box.width;
}

}  // namespace kirune
