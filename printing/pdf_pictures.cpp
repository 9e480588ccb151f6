#include "printing/pdf_pictures.h"

#include <algorithm>
#include <cstdio>
#include <span>

#include "printing/pdf_samples.h"
#include "printing/picture_image.h"
#include "render/errors.h"
#include "render/image_set.h"
#include "render/picture_names.h"

namespace kirune {
namespace {

// How Qt's PDF writer begins an image object of one sample, up to its samples: only stand-ins are. The
// object number comes before it; the one sample, the picture's place in the set, is in its stream.
constexpr QByteArrayView kStandInHead = " 0 obj\n<<\n/Type /XObject\n/Subtype /Image\n/Width 1\n/Height 1\n";
constexpr QByteArrayView kStreamStart = "stream\n";
constexpr QByteArrayView kStreamEnd = "\nendstream";
// Bytes kept from one chunk to the next: a stand-in's head cut by a chunk's end, and Qt's trailer.
constexpr qsizetype kKeep = 4096;

// The place of `picture` in the built-in set, or -1 when it is not one of them.
qsizetype indexInSet(const Picture& picture) {
  const ImageSet& set = ImageSet::builtIn();
  if (builtInPdfSamples().size() != set.size()) return -1;
  return set.indexOf(picture);
}

// Appends the PDF image object of picture `index`, without its number, to `out`: the samples as
// compressed when the program was built.
void appendPictureObject(QByteArray& out, std::size_t index) {
  const PdfSamples& p = builtInPdfSamples()[index];
  char head[256];
  std::snprintf(head, sizeof head,
                "<<\n/Type /XObject\n/Subtype /Image\n/Width %d\n/Height %d\n/BitsPerComponent 8\n"
                "/ColorSpace %s\n/Filter /FlateDecode\n/Length %zu\n>>\nstream\n",
                p.width, p.height, p.grey ? "/DeviceGray" : "/DeviceRGB", p.deflated.size());
  out += head;
  out.append(reinterpret_cast<const char*>(p.deflated.data()), static_cast<qsizetype>(p.deflated.size()));
  out += "\nendstream\nendobj\n";
}

// The whole number at `at` in `bytes` (digits only), or -1.
long long numberAt(const QByteArray& bytes, qsizetype at, qsizetype end) {
  if (at >= end) return -1;
  long long n = 0;
  for (qsizetype i = at; i < end; ++i) {
    if (bytes[i] < '0' || bytes[i] > '9' || n > 1'000'000'000'000LL) return -1;
    n = n * 10 + (bytes[i] - '0');
  }
  return n;
}

[[noreturn]] void cannotFinish() { throw PrinterError("PDF を仕上げられません（絵を入れられません）"); }

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

QImage pdfImageOf(const Picture& picture) {
  const qsizetype index = indexInSet(picture);
  if (index < 0 || index > 255) return toQImage(picture);
  // One sample, so that Qt's matrix maps it onto exactly the rectangle asked for; its value says which
  // picture it stands for.
  QImage standIn(1, 1, QImage::Format_Grayscale8);
  *standIn.scanLine(0) = static_cast<uchar>(index);
  return standIn;
}

void PdfPictureUpdate::scan(QByteArrayView chunk) {
  window_.append(chunk.data(), chunk.size());
  scanned_ += chunk.size();
  qsizetype from = static_cast<qsizetype>(std::max<qint64>(0, nextMatch_ - windowStart_));
  for (qsizetype at; (at = window_.indexOf(kStandInHead, from)) >= 0;) {
    from = at + 1;
    const qsizetype samples = window_.indexOf(kStreamStart, at + kStandInHead.size());
    const qsizetype end = samples < 0 ? -1 : window_.indexOf(kStreamEnd, samples);
    if (end < 0) break;  // cut by the chunk's end: the next chunk completes it
    qsizetype start = at;
    while (start > 0 && window_[start - 1] >= '0' && window_[start - 1] <= '9') --start;
    const bool lineStart = start > 0 ? window_[start - 1] == '\n' : windowStart_ == 0;
    const long long object = numberAt(window_, start, at);
    // qUncompress wants the length of what it unpacks in front of the zlib stream.
    const qsizetype data = samples + kStreamStart.size();
    const QByteArray sample = qUncompress(QByteArray("\0\0\0\1", 4) + window_.mid(data, end - data));
    if (!lineStart || object <= 0 || sample.size() != 1 ||
        static_cast<std::size_t>(static_cast<uchar>(sample[0])) >= builtInPdfSamples().size()) {
      continue;
    }
    found_.push_back({static_cast<int>(object), static_cast<uchar>(sample[0])});
    nextMatch_ = windowStart_ + end;
    from = end;
  }
  if (window_.size() > kKeep) {
    const qsizetype drop = window_.size() - kKeep;
    window_.remove(0, drop);
    windowStart_ += drop;
  }
}

QByteArray PdfPictureUpdate::finish() const {
  if (found_.empty()) return {};
  // Qt's trailer: "trailer\n<<\n/Size 53 \n/Info 1 0 R\n/Root 2 0 R\n>>\nstartxref\n88094 \n%%EOF\n".
  const qsizetype trailer = window_.lastIndexOf("trailer\n<<");
  const qsizetype startxref = window_.lastIndexOf("startxref\n");
  if (trailer < 0 || startxref < trailer) cannotFinish();
  const qsizetype close = window_.lastIndexOf(">>", startxref);
  if (close < trailer) cannotFinish();
  const QByteArray dictionary = window_.mid(trailer + 10, close - trailer - 10);
  qsizetype digits = startxref + 10;
  qsizetype digitsEnd = digits;
  while (digitsEnd < window_.size() && window_[digitsEnd] >= '0' && window_[digitsEnd] <= '9') ++digitsEnd;
  const long long previous = numberAt(window_, digits, digitsEnd);
  if (previous < 0 || dictionary.contains("/Prev")) cannotFinish();

  QByteArray update;
  if (!window_.endsWith('\n')) update += '\n';
  std::vector<std::pair<int, qint64>> offsets;
  for (const Found& f : found_) {
    offsets.emplace_back(f.object, scanned_ + update.size());
    update += QByteArray::number(f.object) + " 0 obj\n";
    appendPictureObject(update, f.index);
  }
  std::sort(offsets.begin(), offsets.end());
  const qint64 xref = scanned_ + update.size();
  update += "xref\n";
  char entry[40];
  for (const auto& [object, offset] : offsets) {
    // Each entry is exactly 20 bytes, as cross-reference tables require.
    std::snprintf(entry, sizeof entry, "%d 1\n%010lld 00000 n \n", object, static_cast<long long>(offset));
    update += entry;
  }
  update += "trailer\n<<" + dictionary + "/Prev " + QByteArray::number(previous) + "\n>>\nstartxref\n" +
            QByteArray::number(xref) + "\n%%EOF\n";
  return update;
}

}  // namespace kirune
