#include "render/pdf_writer.h"

#include <zlib.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <span>

#include "render/errors.h"
#include "render/image_set.h"
#include "render/pdf_font.h"
#include "render/pdf_samples.h"
#include "render/picture_names.h"
#include "render/utf8.h"

namespace kirune {

namespace {

constexpr int kBandHeight = 256;
// Small writes gather in a buffer that stays below malloc's mmap threshold, so it is made once and
// reused; a run this long or longer (a picture, the font) goes out directly, without being copied.
constexpr std::size_t kFlushBytes = 1 << 16;
constexpr std::size_t kDirectBytes = 1 << 13;
// Objects every file has at these numbers: the page tree and the resources, which pages refer to
// before they are written.
constexpr int kCatalog = 1;
constexpr int kPages = 2;
constexpr int kResources = 3;

void put(std::string& s, long long v) {
  char b[24];
  const auto r = std::to_chars(b, b + sizeof b, v);
  s.append(b, static_cast<std::size_t>(r.ptr - b));
}

void put(std::string& s, int v) { put(s, static_cast<long long>(v)); }

// A number with at most `decimals` places, no trailing zeros.
void put(std::string& s, double v, int decimals = 3) {
  char b[48];
  const auto r = std::to_chars(b, b + sizeof b, v, std::chars_format::fixed, decimals);
  char* end = r.ptr;
  if (std::find(b, end, '.') != end) {
    while (end[-1] == '0') --end;
    if (end[-1] == '.') --end;
  }
  if (end - b == 2 && b[0] == '-' && b[1] == '0') {
    s += '0';
    return;
  }
  s.append(b, static_cast<std::size_t>(end - b));
}

// Operators of a content stream are built in a small buffer and appended whole: thousands of them make
// a page, and one append each costs less than one per number and word.
class Ops {
 public:
  Ops& operator<<(std::string_view text) {
    std::memcpy(at_, text.data(), text.size());
    at_ += text.size();
    return *this;
  }
  Ops& operator<<(char c) {
    *at_++ = c;
    return *this;
  }
  Ops& operator<<(int v) {
    at_ = std::to_chars(at_, end(), v).ptr;
    return *this;
  }
  /// `v` with at most two decimals, no trailing zeros.
  Ops& hundredths(double v) {
    long long n = std::llround(v * 100);
    if (n < 0) {
      *at_++ = '-';
      n = -n;
    }
    at_ = std::to_chars(at_, end(), n / 100).ptr;
    if (const int f = static_cast<int>(n % 100); f != 0) {
      *at_++ = '.';
      *at_++ = static_cast<char>('0' + f / 10);
      if (f % 10 != 0) *at_++ = static_cast<char>('0' + f % 10);
    }
    return *this;
  }
  void appendTo(std::string& s) const { s.append(buffer_, static_cast<std::size_t>(at_ - buffer_)); }

 private:
  char* end() { return buffer_ + sizeof buffer_; }
  char buffer_[160];
  char* at_ = buffer_;
};

// A text string of the PDF: UTF-16BE with its byte order mark, in hex.
std::string textString(std::string_view utf8) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out = "<FEFF";
  const auto unit = [&out](unsigned u) {
    for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(u >> shift) & 0xF];
  };
  forEachCodepoint(utf8, [&unit](char32_t c) {
    if (c >= 0x10000) {
      c -= 0x10000;
      unit(0xD800 + (c >> 10));
      unit(0xDC00 + (c & 0x3FF));
    } else {
      unit(c);
    }
  });
  return out + '>';
}

std::string deflated(std::string_view data, int level) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  std::string out(size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.data()),
                static_cast<uLong>(data.size()), level) != Z_OK) {
    throw PrinterError("PDF のページを縮められません（メモリが足りません）");
  }
  out.resize(size);
  return out;
}

}  // namespace

bool paperPicturesAreGrey() {
  static const bool grey = [] {
    const std::span<const PdfSamples> all = builtInPdfSamples();
    return std::all_of(all.begin(), all.end(), [](const PdfSamples& p) {
      const bool onPaper = p.name != pictures::kWindowIcon && p.name != pictures::kPrinterSetupIcon &&
                           p.name != pictures::kBanner;
      return !onPaper || p.grey;
    });
  }();
  return grey;
}

const PdfFontGlyph* pdfGlyphOf(char32_t codepoint) {
  const std::span<const PdfFontGlyph> glyphs = builtInPdfFont().glyphs;
  const auto at = std::lower_bound(glyphs.begin(), glyphs.end(), codepoint,
                                   [](const PdfFontGlyph& g, char32_t c) { return g.codepoint < c; });
  return at != glyphs.end() && at->codepoint == codepoint ? &*at : nullptr;
}

// Content streams are the same few operators over and over, their numbers the only news. zlib's level 6
// with a short hash chain but long lazy matches packs them smaller than level 6 itself (by 1.6% over a
// 200-page run) for 12% fewer instructions; the greedy levels 1 to 3 cost half as much but make the
// file 5 to 10% larger.
struct PdfWriter::Deflater {
  static constexpr int kGoodLength = 32;
  static constexpr int kMaxLazy = 32;
  static constexpr int kNiceLength = 258;
  static constexpr int kMaxChain = 8;

  Deflater() {
    if (deflateInit(&z, 6) != Z_OK) throw PrinterError("PDF のページを縮められません（メモリが足りません）");
  }
  ~Deflater() { deflateEnd(&z); }
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;

  std::string_view pack(std::string_view data) {
    // A reset keeps the stream's tables, so a page costs no allocation; it also restores the level's
    // own tuning, hence the tuning each time.
    deflateReset(&z);
    deflateTune(&z, kGoodLength, kMaxLazy, kNiceLength, kMaxChain);
    out.resize(deflateBound(&z, static_cast<uLong>(data.size())));
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    if (deflate(&z, Z_FINISH) != Z_STREAM_END) throw PrinterError("PDF のページを縮められません");
    return {out.data(), static_cast<std::size_t>(z.total_out)};
  }

  z_stream z{};
  std::string out;
};

PdfWriter::~PdfWriter() = default;

PdfWriter::PdfWriter(PdfOutput& out, const PdfPage& page)
    : out_(out),
      page_(page),
      painted_(static_cast<std::size_t>(std::max(page.areaHeight, 0) / kBandHeight + 1)),
      builtIn_(builtInPdfSamples().size() == ImageSet::builtIn().size() ? &ImageSet::builtIn() : nullptr) {}

void PdfWriter::send(std::string_view bytes) {
  written_ += bytes.size();
  if (bytes.size() >= kDirectBytes) {
    flush();
    checkAndWrite(bytes);
    return;
  }
  buffer_.append(bytes);
  if (buffer_.size() >= kFlushBytes) flush();
}

void PdfWriter::sendWhole(std::string_view bytes, std::uint32_t crc, std::uint32_t adler) {
  flush();
  const auto size = static_cast<z_off_t>(bytes.size());
  crc_ = static_cast<std::uint32_t>(crc32_combine(crc_, crc, size));
  adler_ = static_cast<std::uint32_t>(adler32_combine(adler_, adler, size));
  written_ += bytes.size();
  out_.writeProgramData(bytes);
}

void PdfWriter::flush() {
  if (buffer_.empty()) return;
  checkAndWrite(buffer_);
  buffer_.clear();
}

void PdfWriter::checkAndWrite(std::string_view bytes) {
  const auto* data = reinterpret_cast<const Bytef*>(bytes.data());
  const auto size = static_cast<uInt>(bytes.size());
  crc_ = static_cast<std::uint32_t>(crc32(crc_, data, size));
  adler_ = static_cast<std::uint32_t>(adler32(adler_, data, size));
  out_.write(bytes);
}

int PdfWriter::beginObject() {
  offsets_.push_back(written_);
  const int number = static_cast<int>(offsets_.size());
  std::string head;
  put(head, number);
  head += " 0 obj\n";
  send(head);
  return number;
}

void PdfWriter::beginDoc(const DocumentInfo& /*info*/) {
  if (inPage_) endDoc();
  if (!fileOpen_) {
    fileOpen_ = true;
    buffer_.reserve(kFlushBytes + kDirectBytes);
    // The second line's high bytes mark the file as binary for programs that guess.
    send("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
    offsets_.assign(kResources, 0);  // written last, when all they list is known
    images_.assign(builtInPdfSamples().size(), 0);
  }
  inPage_ = true;
  contentPen_ = -1;
  for (std::vector<Box>& band : painted_) band.clear();
  content_.clear();
  // Device pixels at 600 dpi, y downwards, from the drawing area's top-left corner; square line ends
  // as the raster path draws them; black (DeviceGray 0) and mitred joins are what a page starts with.
  content_ += "0.12 0 0 -0.12 ";
  put(content_, page_.left);
  content_ += ' ';
  put(content_, page_.height - page_.top);
  content_ += " cm 2 J\n";
}

void PdfWriter::endDoc() {
  if (!inPage_) return;
  inPage_ = false;
  if (!deflater_) deflater_ = std::make_unique<Deflater>();
  const std::string_view packed = deflater_->pack(content_);
  content_.clear();
  const int contents = beginObject();
  std::string s = "<< /Length ";
  put(s, static_cast<long long>(packed.size()));
  s += " /Filter /FlateDecode >>\nstream\n";
  send(s);
  send(packed);
  send("\nendstream\nendobj\n");
  const int page = beginObject();
  s = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 ";
  put(s, page_.width);
  s += ' ';
  put(s, page_.height);
  s += "] /Resources 3 0 R /Contents ";
  put(s, contents);
  s += " 0 R >>\nendobj\n";
  send(s);
  pages_.push_back(page);
}

int PdfWriter::imageOf(const Picture& picture) {
  // The place of `picture` in the built-in set when its samples were made at build time, or -1.
  const std::ptrdiff_t index = builtIn_ ? builtIn_->indexOf(picture) : -1;
  int* slot = index >= 0 ? &images_[static_cast<std::size_t>(index)] : &otherImages_[&picture];
  if (*slot != 0) return *slot;

  int width = picture.width;
  int height = picture.height;
  bool grey = true;
  std::string made;
  std::span<const std::uint8_t> samples;
  const PdfSamples* known = nullptr;
  if (index >= 0) {
    const PdfSamples& p = builtInPdfSamples()[static_cast<std::size_t>(index)];
    width = p.width;
    height = p.height;
    grey = p.grey;
    samples = p.deflated;
    known = &p;
  } else {
    // A picture not of the built-in set (tests give such): compressed here, once per file.
    const std::size_t pixels =
        static_cast<std::size_t>(std::max(width, 0)) * static_cast<std::size_t>(std::max(height, 0));
    if (pixels == 0 || (picture.channels != 1 && picture.channels != 3) ||
        picture.pixels.size() < pixels * static_cast<std::size_t>(picture.channels)) {
      return 0;
    }
    std::string raw;
    raw.reserve(pixels);
    for (std::size_t i = 0; i < pixels && grey; ++i) {
      if (picture.channels == 1) {
        raw += static_cast<char>(picture.pixels[i]);
      } else {
        const std::uint8_t* p = &picture.pixels[i * 3];
        grey = p[0] == p[1] && p[0] == p[2];
        raw += static_cast<char>(p[0]);
      }
    }
    if (!grey) raw.assign(reinterpret_cast<const char*>(picture.pixels.data()), pixels * 3);
    made = deflated(raw, 6);
    samples = {reinterpret_cast<const std::uint8_t*>(made.data()), made.size()};
  }
  const int object = beginObject();
  std::string s = "<< /Type /XObject /Subtype /Image /Width ";
  put(s, width);
  s += " /Height ";
  put(s, height);
  s += grey ? " /BitsPerComponent 8 /ColorSpace /DeviceGray" : " /BitsPerComponent 8 /ColorSpace /DeviceRGB";
  s += " /Filter /FlateDecode /Length ";
  put(s, static_cast<long long>(samples.size()));
  s += " >>\nstream\n";
  send(s);
  const std::string_view bytes(reinterpret_cast<const char*>(samples.data()), samples.size());
  if (known != nullptr) {
    sendWhole(bytes, known->crc32, known->adler32);
  } else {
    send(bytes);
  }
  send("\nendstream\nendobj\n");
  imagesUsed_.push_back(object);
  *slot = object;
  return object;
}

void PdfWriter::paintedBox(const Box& box) {
  const int last = static_cast<int>(painted_.size()) - 1;
  const int first = std::clamp(std::max(box.top, 0) / kBandHeight, 0, last);
  const int end = std::clamp(std::max(box.bottom - 1, 0) / kBandHeight, 0, last);
  for (int b = first; b <= end; ++b) painted_[static_cast<std::size_t>(b)].push_back(box);
}

bool PdfWriter::overlapsPainted(const Box& box) const {
  const int last = static_cast<int>(painted_.size()) - 1;
  const int first = std::clamp(std::max(box.top, 0) / kBandHeight, 0, last);
  const int end = std::clamp(std::max(box.bottom - 1, 0) / kBandHeight, 0, last);
  for (int b = first; b <= end; ++b) {
    for (const Box& o : painted_[static_cast<std::size_t>(b)]) {
      if (box.left < o.right && o.left < box.right && box.top < o.bottom && o.top < box.bottom) return true;
    }
  }
  return false;
}

void PdfWriter::stretchDraw(const Rect& rect, const Picture& picture) {
  if (!inPage_ || rect.right <= rect.left || rect.bottom <= rect.top) return;
  const int object = imageOf(picture);
  if (object == 0) return;
  // The image's first row goes to the rectangle's top: the y axis already points down.
  Ops ops;
  ops << "q " << rect.right - rect.left << " 0 0 " << rect.top - rect.bottom << ' ' << rect.left << ' '
      << rect.bottom << " cm /I" << object << " Do Q\n";
  ops.appendTo(content_);
  paintedBox({rect.left, rect.top, rect.right, rect.bottom});
}

void PdfWriter::moveTo(int x, int y) {
  x_ = x;
  y_ = y;
}

void PdfWriter::lineTo(int x, int y) {
  if (inPage_) {
    const int width = std::max(penWidth_, 1);
    Ops ops;
    if (width != contentPen_) {
      ops << width << " w ";
      contentPen_ = width;
    }
    ops << x_ << ' ' << y_ << " m " << x << ' ' << y << " l S\n";
    ops.appendTo(content_);
    const int reach = width / 2 + 2;
    paintedBox(
        {std::min(x_, x) - reach, std::min(y_, y) - reach, std::max(x_, x) + reach, std::max(y_, y) + reach});
  }
  x_ = x;
  y_ = y;
}

void PdfWriter::textOut(int x, int y, const std::string& text) {
  if (!inPage_ || text.empty()) return;
  const PdfFont& font = builtInPdfFont();
  const int cellUnits = font.ascent + font.descent;
  // The height given is the whole character cell; the em is smaller, in whole pixels as on the screen.
  const double em = std::max(1.0, std::round(static_cast<double>(fontHeight_) * font.unitsPerEm / cellUnits));
  const double scale = em / font.unitsPerEm;
  // The engines write the same few strings (digits, signs) thousands of times a run.
  const auto [found, added] = textRuns_.try_emplace(text);
  auto& run = found->second;
  if (added) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    forEachCodepoint(text, [&](char32_t c) {
      const PdfFontGlyph* g = pdfGlyphOf(c);
      // A character the subset lacks shows as the font's empty box, as a missing glyph does on screen.
      const unsigned id = g ? g->glyph : 0;
      run.advance += g ? g->advance : font.unitsPerEm / 2;
      for (int shift = 12; shift >= 0; shift -= 4) run.glyphs += kHex[(id >> shift) & 0xF];
    });
  }
  const double width = static_cast<double>(run.advance) * scale;
  const double height = cellUnits * scale;
  const Box cell{x, y, x + static_cast<int>(std::ceil(width)), y + static_cast<int>(std::ceil(height))};
  Ops ops;
  // Opaque text, as on a printer canvas: its cell covers what is beneath it. Where nothing is drawn
  // yet, white on the white page would change nothing.
  if (overlapsPainted(cell)) {
    ops << "1 g " << x << ' ' << y << ' ';
    ops.hundredths(width) << ' ';
    ops.hundredths(height) << " re f 0 g\n";
  }
  ops << "BT /F1 " << static_cast<int>(em) << " Tf 1 0 0 -1 " << x << ' ';
  ops.hundredths(y + font.ascent * scale) << " Tm <";
  ops.appendTo(content_);
  content_ += run.glyphs;
  content_ += "> Tj ET\n";
  fontUsed_ = true;
  paintedBox(cell);
}

void PdfWriter::finishFile() {
  if (inPage_) endDoc();
  if (!fileOpen_) return;
  const PdfFont& font = builtInPdfFont();
  const auto scaled = [&font](int units) {
    return static_cast<int>(std::lround(units * 1000.0 / font.unitsPerEm));
  };
  std::string s;
  int type0 = 0;
  if (fontUsed_) {
    const int program = beginObject();
    s = "<< /Length ";
    put(s, static_cast<long long>(font.program.size()));
    s += " /Length1 ";
    put(s, static_cast<long long>(font.programLength));
    s += " /Filter /FlateDecode >>\nstream\n";
    send(s);
    send({reinterpret_cast<const char*>(font.program.data()), font.program.size()});
    send("\nendstream\nendobj\n");

    const int descriptor = beginObject();
    s = "<< /Type /FontDescriptor /FontName /";
    s += font.baseFont;
    s += " /Flags 4 /FontBBox [";
    for (int v : font.bbox) {
      put(s, scaled(v));
      s += ' ';
    }
    s += "] /ItalicAngle 0 /Ascent ";
    put(s, scaled(font.ascent));
    s += " /Descent ";
    put(s, -scaled(font.descent));
    s += " /CapHeight ";
    put(s, scaled(font.capHeight));
    s += " /StemV 80 /FontFile2 ";
    put(s, program);
    s += " 0 R >>\nendobj\n";
    send(s);

    const int cidFont = beginObject();
    s = "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /";
    s += font.baseFont;
    s += " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> /FontDescriptor ";
    put(s, descriptor);
    s += " 0 R /CIDToGIDMap /Identity /DW 1000 /W ";
    s += font.widths;
    s += " >>\nendobj\n";
    send(s);

    const int toUnicode = beginObject();
    s = "<< /Length ";
    put(s, static_cast<long long>(font.toUnicode.size()));
    s += " >>\nstream\n";
    s += font.toUnicode;
    s += "\nendstream\nendobj\n";
    send(s);

    type0 = beginObject();
    s = "<< /Type /Font /Subtype /Type0 /BaseFont /";
    s += font.baseFont;
    s += " /Encoding /Identity-H /DescendantFonts [";
    put(s, cidFont);
    s += " 0 R] /ToUnicode ";
    put(s, toUnicode);
    s += " 0 R >>\nendobj\n";
    send(s);
  }

  offsets_[kResources - 1] = written_;
  s = "3 0 obj\n<<";
  if (!imagesUsed_.empty()) {
    s += " /XObject <<";
    for (int object : imagesUsed_) {
      s += " /I";
      put(s, object);
      s += ' ';
      put(s, object);
      s += " 0 R";
    }
    s += " >>";
  }
  if (type0 != 0) {
    s += " /Font << /F1 ";
    put(s, type0);
    s += " 0 R >>";
  }
  s += " >>\nendobj\n";
  send(s);

  offsets_[kPages - 1] = written_;
  s = "2 0 obj\n<< /Type /Pages /Count ";
  put(s, static_cast<int>(pages_.size()));
  s += " /Kids [";
  for (std::size_t i = 0; i < pages_.size(); ++i) {
    s += i % 10 == 0 ? "\n" : " ";
    put(s, pages_[i]);
    s += " 0 R";
  }
  s += "\n] >>\nendobj\n";
  send(s);

  offsets_[kCatalog - 1] = written_;
  send("1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n");

  const int info = beginObject();
  s = "<< /Title " + textString(info_.title) + " /Producer " + textString(info_.producer);
  if (!info_.creationDate.empty()) s += " /CreationDate (" + info_.creationDate + ')';
  s += " >>\nendobj\n";
  send(s);

  // Flushed, so the checksums cover every byte before the cross-reference table.
  flush();
  const std::uint64_t xref = written_;
  s = "xref\n0 ";
  put(s, static_cast<int>(offsets_.size()) + 1);
  s += "\n0000000000 65535 f \n";
  char entry[32];
  for (std::uint64_t offset : offsets_) {
    std::snprintf(entry, sizeof entry, "%010llu 00000 n \n", static_cast<unsigned long long>(offset));
    s += entry;
  }
  // The file's identity, made from its bytes: identical files have it identical.
  char id[40];
  std::snprintf(id, sizeof id, "%08X%08X%016llX", crc_, adler_, static_cast<unsigned long long>(written_));
  s += "trailer\n<< /Size ";
  put(s, static_cast<int>(offsets_.size()) + 1);
  s += " /Root 1 0 R /Info ";
  put(s, info);
  s += " 0 R /ID [<";
  s += id;
  s += "> <";
  s += id;
  s += ">] >>\nstartxref\n";
  put(s, static_cast<long long>(xref));
  s += "\n%%EOF\n";
  out_.write(s);

  fileOpen_ = false;
  written_ = 0;
  crc_ = 0;
  adler_ = 1;
  offsets_.clear();
  pages_.clear();
  images_.clear();
  otherImages_.clear();
  imagesUsed_.clear();
  fontUsed_ = false;
}

}  // namespace kirune
