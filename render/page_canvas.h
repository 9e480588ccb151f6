#pragma once

#include <string>

#include "render/errors.h"
#include "render/picture.h"

namespace kirune {

/// A rectangle covering left <= x < right, top <= y < bottom, in device pixels.
struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

/// Which of a sheet's two documents one is.
enum class DocumentKind { Problems, Answers };

/// What a document is, as the sheet loop that starts it knows for certain. Outputs take titles, counts
/// and the wording of their messages from it, never from the document's place in the run.
struct DocumentInfo {
  DocumentKind kind = DocumentKind::Problems;
  int sheet = 1;      ///< the problem sheet it belongs to, 1-based
  int sheets = 0;     ///< problem sheets the run makes (作成枚数); 0: not known
  std::string title;  ///< what the run prints, "くりあがり ２０"; empty: not known
  friend bool operator==(const DocumentInfo&, const DocumentInfo&) = default;
};

/// The printer operations the engines use, and nothing more. Coordinates are device pixels of the
/// printable area, origin at its top-left corner, y downwards.
class PageCanvas {
 public:
  virtual ~PageCanvas() = default;

  /// Printable height and width in device pixels; may be read outside a document.
  virtual int pageHeight() const = 0;
  virtual int pageWidth() const = 0;

  /// Starts a new document (one print job), `info` saying what it is, and opens its only page.
  virtual void beginDoc(const DocumentInfo& info) = 0;
  /// Finishes the page and hands the document over.
  virtual void endDoc() = 0;

  /// Draws the whole picture scaled to fill `rect` exactly, covering what lies beneath.
  virtual void stretchDraw(const Rect& rect, const Picture& picture) = 0;

  /// Pen and font settings stay in force, across documents too, until set again.
  virtual void setPenWidth(int width) = 0;
  virtual void moveTo(int x, int y) = 0;
  virtual void lineTo(int x, int y) = 0;
  virtual void setFontName(const std::string& name) = 0;
  /// Full character-cell height in device pixels.
  virtual void setFontHeight(int height) = 0;
  /// Writes UTF-8 `text` with the top-left of its first cell at (x, y), black on white.
  virtual void textOut(int x, int y, const std::string& text) = 0;
};

/// A canvas that passes every operation on to `inner`; a wrapper overrides only what it watches
/// (typically the document boundaries) and calls the base for the rest.
class ForwardingCanvas : public PageCanvas {
 public:
  explicit ForwardingCanvas(PageCanvas& inner) : inner_(inner) {}

  int pageHeight() const override { return inner_.pageHeight(); }
  int pageWidth() const override { return inner_.pageWidth(); }
  void beginDoc(const DocumentInfo& info) override { inner_.beginDoc(info); }
  void endDoc() override { inner_.endDoc(); }
  void stretchDraw(const Rect& rect, const Picture& picture) override { inner_.stretchDraw(rect, picture); }
  void setPenWidth(int width) override { inner_.setPenWidth(width); }
  void moveTo(int x, int y) override { inner_.moveTo(x, y); }
  void lineTo(int x, int y) override { inner_.lineTo(x, y); }
  void setFontName(const std::string& name) override { inner_.setFontName(name); }
  void setFontHeight(int height) override { inner_.setFontHeight(height); }
  void textOut(int x, int y, const std::string& text) override { inner_.textOut(x, y, text); }

 protected:
  PageCanvas& inner() { return inner_; }

 private:
  PageCanvas& inner_;
};

}  // namespace kirune
