// PDFs drawn with stand-ins for the pictures and finished with the pictures' own samples: the result
// must print exactly as a PDF drawn with the pictures themselves, whatever chunks the file is read in.
#include "printing/pdf_pictures.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>

#include "printing/document_sinks.h"
#include "printing/fonts.h"
#include "printing/pdf_samples.h"
#include "printing/picture_image.h"
#include "render/errors.h"
#include "render/image_set.h"
#include "render/picture_names.h"

namespace kirune {
namespace {

class PdfPicturesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "pdf_pictures_test";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
    installFontSubstitutions();
  }

  const ImageSet& set = ImageSet::builtIn();
  QTemporaryDir dir;
};

// A PDF sink that gives Qt the pictures themselves, as it did before stand-ins: the reference.
class PicturesThemselves final : public DocumentSink {
 public:
  PicturesThemselves(QIODevice& out, QSize page) : inner_(out, page) {}
  void beginDocument(QPainter& p, int n) override { inner_.beginDocument(p, n); }
  void endDocument(QPainter& p, int n) override { inner_.endDocument(p, n); }
  void finish(QPainter& p) override { inner_.finish(p); }
  void abandon(QPainter& p) noexcept override { inner_.abandon(p); }
  QImage imageOf(const Picture& picture) const override { return toQImage(picture); }

 private:
  PdfSink inner_;
};

// Two pages: glyphs, a clip-art picture, the name header, a picture drawn twice, text beneath a glyph.
void drawSheets(DocumentSink& sink, const ImageSet& set) {
  QtPageCanvas canvas(sink, 2400, 1800);
  canvas.setFontName("HGP教科書体");
  canvas.setFontHeight(236);
  for (int doc = 0; doc < 2; ++doc) {
    canvas.beginDoc();
    canvas.stretchDraw({100, 100, 808, 808}, set.get(doc == 0 ? "TForm2.Image1" : "TForm2.Image50"));
    canvas.stretchDraw({900, 100, 1608, 336}, set.get(pictures::kNameLabel));
    canvas.textOut(900, 900, "7");
    canvas.stretchDraw({900, 900, 1060, 1136}, set.get("TForm2.Image17"));
    canvas.stretchDraw({1060, 900, 1220, 1136}, set.get("TForm2.Image32"));
    canvas.stretchDraw({1220, 900, 1380, 1136}, set.get("TForm2.Image17"));
    canvas.moveTo(100, 1500);
    canvas.lineTo(2000, 1500);
    canvas.endDoc();
  }
  canvas.finish();
}

QByteArray run(const QString& program, const QStringList& args) {
  QProcess p;
  p.start(program, args);
  p.waitForFinished(60000);
  return p.readAllStandardOutput();
}

// Each image use of pdfimages -list: page, size and colour, then the resolution it is drawn at.
struct Placement {
  std::string image;
  int xPpi, yPpi;
};
std::vector<Placement> placements(const QString& path) {
  std::vector<Placement> rows;
  for (const QByteArray& row : run("pdfimages", {"-list", path}).split('\n').mid(2)) {
    const QList<QByteArray> c = row.simplified().split(' ');
    if (c.size() >= 14)
      rows.push_back(
          {(c[0] + ' ' + c[3] + 'x' + c[4] + ' ' + c[5]).toStdString(), c[12].toInt(), c[13].toInt()});
  }
  return rows;
}

TEST_F(PdfPicturesTest, EachPictureKeepsItsPlaceAndItsSamplesExactly) {
  const QString withStandIns = dir.filePath("stand-ins.pdf");
  const QString reference = dir.filePath("pictures.pdf");
  {
    QFile file(withStandIns);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    PdfSink sink(file, QSize(2400, 1800));
    drawSheets(sink, set);
  }
  {
    QFile file(reference);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    PicturesThemselves sink(file, QSize(2400, 1800));
    drawSheets(sink, set);
  }
  // The same pictures at the same sizes, places and resolutions as Qt's own, and none one sample big.
  // (Qt's matrices for the pictures themselves are a millionth of a pixel off, which can round the
  // resolution the other way.)
  const std::vector<Placement> placed = placements(withStandIns);
  const std::vector<Placement> wanted = placements(reference);
  ASSERT_EQ(placed.size(), 10U);
  ASSERT_EQ(wanted.size(), placed.size());
  for (std::size_t i = 0; i < placed.size(); ++i) {
    EXPECT_EQ(placed[i].image, wanted[i].image);
    EXPECT_NEAR(placed[i].xPpi, wanted[i].xPpi, 1) << placed[i].image;
    EXPECT_NEAR(placed[i].yPpi, wanted[i].yPpi, 1) << placed[i].image;
  }

  // Each stored once per file, its samples exactly the picture's.
  run("pdfimages", {"-png", withStandIns, dir.filePath("image")});
  const QStringList names = {"TForm2.Image1", pictures::kNameLabel.data(), "TForm2.Image17", "TForm2.Image32",
                             "TForm2.Image50"};
  const QStringList stored = QDir(dir.path()).entryList({"image-*.png"}, QDir::Files, QDir::Name);
  EXPECT_EQ(stored.size(), 10);  // one per use
  for (const QString& name : names) {
    const QImage want = toQImage(set.get(name.toStdString())).convertToFormat(QImage::Format_Grayscale8);
    const bool found = std::any_of(stored.begin(), stored.end(), [&](const QString& file) {
      return QImage(dir.filePath(file)).convertToFormat(QImage::Format_Grayscale8) == want;
    });
    EXPECT_TRUE(found) << name.toStdString();
  }
  EXPECT_EQ(run("pdftotext", {"-f", "1", "-l", "1", withStandIns, "-"}).trimmed(), "7");
}

TEST_F(PdfPicturesTest, TheSamplesMadeAtBuildTimeAreEveryPictureExactly) {
  const std::span<const PdfSamples> made = builtInPdfSamples();
  ASSERT_EQ(made.size(), set.pictures().size());
  for (std::size_t i = 0; i < made.size(); ++i) {
    const Picture& picture = set.pictures()[i];
    SCOPED_TRACE(picture.name);
    EXPECT_EQ(made[i].name, picture.name);
    EXPECT_EQ(made[i].grey, isGrey(picture));
    // qUncompress wants the length in front of the zlib stream.
    const QByteArray samples = qUncompress(QByteArray("\0\0\0\0", 4) +
                                           QByteArray(reinterpret_cast<const char*>(made[i].deflated.data()),
                                                      static_cast<qsizetype>(made[i].deflated.size())));
    const QImage::Format format = made[i].grey ? QImage::Format_Grayscale8 : QImage::Format_RGB888;
    const int perPixel = made[i].grey ? 1 : 3;
    ASSERT_EQ(samples.size(), qsizetype{made[i].width} * made[i].height * perPixel);
    const QImage stored(reinterpret_cast<const uchar*>(samples.constData()), made[i].width, made[i].height,
                        made[i].width * perPixel, format);
    EXPECT_EQ(stored, toQImage(picture).convertToFormat(format));
  }
}

// Qt's own file, before the update: stand-ins of a few pictures on one page.
QByteArray qtFileWithStandIns(const QString& path, const ImageSet& set) {
  PdfPrinterFile pdf(fullPageLayout(QSize(1200, 1200)));
  EXPECT_TRUE(pdf.open());
  QPainter painter(&pdf.printer());
  painter.drawImage(QRect(0, 0, 400, 400), pdfImageOf(set.get("TForm2.Image1")));
  painter.drawImage(QRect(400, 0, 160, 236), pdfImageOf(set.get("TForm2.Image11")));
  painter.drawImage(QRect(600, 0, 160, 236), pdfImageOf(set.get(pictures::kNameLabel)));
  painter.end();
  QFile made(pdf.path());
  EXPECT_TRUE(made.open(QIODevice::ReadOnly));
  const QByteArray bytes = made.readAll();
  QFile copy(path);
  EXPECT_TRUE(copy.open(QIODevice::WriteOnly) && copy.write(bytes) == bytes.size());
  return bytes;
}

TEST_F(PdfPicturesTest, TheUpdateIsTheSameWhereverTheChunksEnd) {
  const QByteArray qt = qtFileWithStandIns(dir.filePath("qt.pdf"), set);
  PdfPictureUpdate whole;
  whole.scan(qt);
  const QByteArray update = whole.finish();
  ASSERT_FALSE(update.isEmpty());
  for (qsizetype chunk : {1, 3, 61, 4095, 65536}) {
    PdfPictureUpdate inChunks;
    for (qsizetype at = 0; at < qt.size(); at += chunk)
      inChunks.scan(QByteArrayView(qt).sliced(at, std::min(chunk, qt.size() - at)));
    EXPECT_EQ(inChunks.finish(), update) << "chunks of " << chunk;
  }
  QFile finished(dir.filePath("finished.pdf"));
  ASSERT_TRUE(finished.open(QIODevice::WriteOnly));
  finished.write(qt + update);
  finished.close();
  const QByteArray list = run("pdfimages", {"-list", finished.fileName()});
  for (const char* size : {"480   480", "202   284", "600   200"})
    EXPECT_TRUE(list.contains(size)) << list.toStdString();
}

TEST_F(PdfPicturesTest, OtherPicturesAndFilesAreLeftAsTheyAre) {
  // A picture not of the built-in set is drawn itself.
  Picture own;
  own.name = "test.own";
  own.width = 3;
  own.height = 2;
  own.pixels.assign(6, 128);
  EXPECT_EQ(pdfImageOf(own).size(), QSize(3, 2));
  EXPECT_EQ(pdfImageOf(set.get("TForm2.Image1")).width(), 1);

  // A file without stand-ins needs no update; one that does not end as Qt's cannot get one.
  PdfPictureUpdate none;
  none.scan("%PDF-1.4\n1 0 obj\n<<>>\nendobj\ntrailer\n<<\n/Size 2\n>>\nstartxref\n9\n%%EOF\n");
  EXPECT_TRUE(none.finish().isEmpty());
  const QByteArray qt = qtFileWithStandIns(dir.filePath("qt.pdf"), set);
  PdfPictureUpdate cut;
  cut.scan(QByteArrayView(qt).first(qt.lastIndexOf("trailer")));
  EXPECT_THROW(cut.finish(), PrinterError);
}

}  // namespace
}  // namespace kirune
