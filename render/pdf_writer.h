#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "render/page_canvas.h"

namespace kirune {

class ImageSet;

/// True when every picture of the built-in set that can go on paper is grey (the window's icon and
/// button pictures never do). Known from the samples made when the program was built: nothing is decoded.
bool paperPicturesAreGrey();

/// Where a PdfWriter's bytes go, in order. write() throws PrinterError when it cannot keep them.
class PdfOutput {
 public:
  virtual ~PdfOutput() = default;
  virtual void write(std::string_view bytes) = 0;
  /// Writes `bytes` that are the program's read-only data (pictures compressed when it was built). An
  /// output into a file may have the kernel copy them from the program's file (programFileRange()).
  virtual void writeProgramData(std::string_view bytes) { write(bytes); }
};

/// PdfOutput into a string.
class PdfString final : public PdfOutput {
 public:
  void write(std::string_view bytes) override { text.append(bytes); }
  std::string text;
};

/// The page of a PdfWriter: the paper in points, and where on it the drawing area (the canvas) lies.
struct PdfPage {
  double width = 0;  ///< paper, points
  double height = 0;
  double left = 0;  ///< the drawing area's top-left corner, points from the paper's top-left
  double top = 0;
  int areaWidth = 0;  ///< the drawing area, 600 dpi pixels
  int areaHeight = 0;
};

/// The document information of a file.
struct PdfInfo {
  std::string title;         ///< UTF-8
  std::string producer;      ///< UTF-8
  std::string creationDate;  ///< as a PDF date, "D:20240401093000+09'00'"
};

/// A page canvas that writes PDF itself, in one pass: each document a page, in DeviceGray only, the
/// pictures as image XObjects written once per file from the samples compressed when the program was
/// built, the text in the embedded subset of Klee One, content streams deflated. Pages go to the
/// output as they end, so a run of any length holds one page in memory.
///
/// A file ends with finishFile() (objects shared by its pages, the cross-reference table, a trailer
/// with an /ID made from the file's bytes); the next document then starts a new file on the same
/// output. The text's font name is not looked at: the one font a PDF carries is the hand.
class PdfWriter final : public PageCanvas {
 public:
  PdfWriter(PdfOutput& out, const PdfPage& page);
  ~PdfWriter() override;

  int pageHeight() const override { return page_.areaHeight; }
  int pageWidth() const override { return page_.areaWidth; }
  void beginDoc(const DocumentInfo& info) override;
  void endDoc() override;
  void stretchDraw(const Rect& rect, const Picture& picture) override;
  void setPenWidth(int width) override { penWidth_ = width; }
  void moveTo(int x, int y) override;
  void lineTo(int x, int y) override;
  void setFontName(const std::string&) override {}
  void setFontHeight(int height) override { fontHeight_ = height; }
  void textOut(int x, int y, const std::string& text) override;

  /// The information written with the file; may change until finishFile().
  void setInfo(PdfInfo info) { info_ = std::move(info); }
  /// Ends the open page if any, then writes the rest of the file. Nothing when no page was begun.
  void finishFile();
  /// Pages in the file being written.
  int pageCount() const { return static_cast<int>(pages_.size()); }

 private:
  struct Box {
    int left, top, right, bottom;
  };
  struct Deflater;
  /// A string in the font: its glyphs in hex, its width in font units.
  struct TextRun {
    std::string glyphs;
    long advance = 0;
  };
  using Bands = std::vector<std::vector<Box>>;

  void send(std::string_view bytes);
  /// Sends `bytes`, read-only data of the program whose zlib crc32 and adler32 are known, without
  /// reading them.
  void sendWhole(std::string_view bytes, std::uint32_t crc, std::uint32_t adler);
  void flush();
  /// Adds `bytes` to the file's checksums and hands them to the output.
  void checkAndWrite(std::string_view bytes);
  int beginObject();
  /// The image object of `picture` in this file, written when first asked for.
  int imageOf(const Picture& picture);
  void paintedBox(const Box& box);
  bool overlapsPainted(const Box& box) const;
  void setStroke(bool stroke);

  PdfOutput& out_;
  PdfPage page_;
  Bands painted_;
  // The built-in pictures, looked up once: every placement asks whether its picture is one of them.
  const ImageSet* builtIn_;
  PdfInfo info_;

  // The file being written.
  bool fileOpen_ = false;
  std::uint64_t written_ = 0;
  std::uint32_t crc_ = 0;
  std::uint32_t adler_ = 1;
  std::vector<std::uint64_t> offsets_;  // of object n at n - 1
  std::vector<int> pages_;
  std::vector<int> images_;  // image objects by place in the built-in set; 0 where not written
  std::unordered_map<const Picture*, int> otherImages_;
  std::vector<int> imagesUsed_;  // objects, in the order first drawn
  bool fontUsed_ = false;
  std::string buffer_;  // bytes not yet handed to the output

  // The page being drawn.
  bool inPage_ = false;
  std::string content_;
  int contentPen_ = -1;  // the line width the content stream has set

  std::unordered_map<std::string, TextRun> textRuns_;  // by the UTF-8 text, kept across files
  std::unique_ptr<Deflater> deflater_;                 // one for all pages; made at the first

  // Canvas state, kept across documents.
  int penWidth_ = 1;
  int x_ = 0;
  int y_ = 0;
  int fontHeight_ = 0;
};

}  // namespace kirune
