#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>
#include <vector>

#include "render/picture.h"

namespace kirune {

/// Qt's PDF writer compresses every picture anew in every file, which was most of the work of a sheet.
/// So a PDF is drawn with a one-sample stand-in image for each picture of the built-in set, and the finished
/// file gets the picture's own samples, compressed when the program was built, in an update appended to it
/// (the PDF's own way of replacing objects: readers take the newest). The stand-in is drawn exactly where the
/// picture goes; a PDF image fills its rectangle whatever its number of samples.

/// True when every picture of the built-in set that can go on paper is grey (the window's icon and
/// button pictures never do). Known from the samples made when the program was built: nothing is decoded.
bool paperPicturesAreGrey();

/// The image to give Qt's PDF writer for `picture`: a stand-in for a picture of the built-in set,
/// the picture itself (as toQImage) for any other.
QImage pdfImageOf(const Picture& picture);

/// Reads a PDF that Qt wrote with stand-ins, chunk by chunk in order, and makes the update that puts
/// the pictures in their place. Each chunk goes on unchanged; the update is appended after the last.
class PdfPictureUpdate {
 public:
  void scan(QByteArrayView chunk);
  /// The bytes to append: the pictures' objects, their cross-reference section and a trailer that
  /// points back at Qt's. Empty when the PDF holds no stand-in. Throws PrinterError when the PDF does
  /// not end as Qt's PDFs do, so the pictures could not be put in.
  QByteArray finish() const;

 private:
  struct Found {
    int object;         // PDF object number of the stand-in
    std::size_t index;  // the picture's place in the built-in set
  };
  void take(const QByteArray& window, qsizetype from);

  std::vector<Found> found_;
  QByteArray window_;       // the end of the bytes scanned so far, for matches across chunks
  qint64 scanned_ = 0;      // bytes scanned so far
  qint64 windowStart_ = 0;  // offset of window_ in the PDF
  qint64 nextMatch_ = 0;    // matches before this offset are taken already
};

}  // namespace kirune
