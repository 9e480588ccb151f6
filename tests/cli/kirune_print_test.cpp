// kirune-print run as a user runs it: the built binary, real PDF, PNG and trace files, read back with
// poppler's tools.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <vector>

#include "tests/support/program.h"

namespace {

namespace test = kirune::test;

struct Result {
  int exitCode = -1;
  bool ok = false;  // ended as the caller expected; a failure is recorded otherwise
  QByteArray out;
  QString err;
};

Result run(const QString& program, const QStringList& args, const test::Expect& expect,
           const QString& workDir = QString(), test::Where where = {}) {
  test::RunOptions options;
  options.env = {"QT_QPA_PLATFORM=offscreen", "SOURCE_DATE_EPOCH"};
  options.workDir = workDir.toStdString();
  const test::Ran r = test::run(program, args, expect, options, where);
  return {r.exitCode, r.ok, QByteArray::fromStdString(r.out), QString::fromStdString(r.err)};
}

Result kirunePrint(const QStringList& args, const test::Expect& expect, const QString& workDir = QString(),
                   test::Where where = {}) {
  return run(KIRUNE_PRINT, args, expect, workDir, where);
}

QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A piece of text on a page, at the top-left of its cell in points.
struct Text {
  double x;
  double y;
  QString text;
  double right = 0;  // PDF words only: where the word ends
};
using Pages = std::vector<std::vector<Text>>;

// The text lines of a trace, one list per document, converted from 600 dpi pixels to points on a
// paper whose drawing area starts `margin` points from its top-left corner.
Pages traceTexts(const QByteArray& trace, double margin) {
  Pages docs;
  for (const QByteArray& line : trace.split('\n')) {
    if (line == "begin_doc") docs.emplace_back();
    if (!line.startsWith("text ")) continue;
    const QList<QByteArray> parts = line.split(' ');
    const QString text = QString::fromUtf8(line.mid(parts[0].size() + parts[1].size() + parts[2].size() + 3));
    docs.back().push_back(
        {parts[1].toInt() * 72.0 / 600 + margin, parts[2].toInt() * 72.0 / 600 + margin, text});
  }
  return docs;
}

// The words of a PDF, one list per page, as pdftotext -bbox finds them.
Pages pdfWords(const QString& pdf) {
  const QString xml = QString::fromUtf8(run("pdftotext", {"-bbox", pdf, "-"}, 0).out);
  static const QRegularExpression word(
      R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)"[^>]*>([^<]*)</word>)re");
  Pages pages;
  for (const QString& line : xml.split('\n')) {
    if (line.contains("<page ")) pages.emplace_back();
    const auto m = word.match(line);
    if (m.hasMatch())
      pages.back().push_back(
          {m.captured(1).toDouble(), m.captured(2).toDouble(), m.captured(4), m.captured(3).toDouble()});
  }
  return pages;
}

class KiruneTest : public ::testing::Test {
 protected:
  QTemporaryDir dir;
  QString path(const QString& name) const { return dir.filePath(name); }
  QStringList entries() const { return QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries); }
};

TEST_F(KiruneTest, HiddenTextOfProblemPagesIsExactlyTheDealtProblemsAndAnswerPagesHaveNone) {
  // One preset per engine, and one with tiles.
  for (const QString preset : {"BitBtn1", "BitBtn121", "BitBtn132", "BitBtn136"}) {
    SCOPED_TRACE(preset.toStdString());
    const QStringList common = {preset, "--seed", "11", "--set", "CheckBox15=1", "--set", "SpinEdit1=2"};
    ASSERT_TRUE(kirunePrint(common + QStringList{"--trace", path("t")}, 0).ok);
    const Result pdf = kirunePrint(common + QStringList{"--pdf", path("s.pdf")}, 0);
    ASSERT_TRUE(pdf.ok);

    const Pages want = traceTexts(readAll(path("t")), 5 / 25.4 * 72);  // A4 inside its margins of 5 mm
    const Pages got = pdfWords(path("s.pdf"));
    ASSERT_EQ(want.size(), 4u);
    ASSERT_EQ(got.size(), 4u);
    for (std::size_t page = 0; page < 4; ++page) {
      SCOPED_TRACE(page + 1);
      if (page % 2 == 1) {
        EXPECT_TRUE(want[page].empty());
        EXPECT_TRUE(got[page].empty());
        continue;
      }
      EXPECT_GE(want[page].size(), 20u);
      // pdftotext joins text written side by side into one word ("1" and "0" of a 10): each word must
      // be exactly the trace's texts that start inside it on its line, and every text must be in a word.
      std::vector<bool> used(want[page].size(), false);
      for (const Text& w : got[page]) {
        std::vector<std::size_t> inside;
        for (std::size_t i = 0; i < want[page].size(); ++i) {
          const Text& t = want[page][i];
          if (std::abs(t.y - w.y) < 0.5 && t.x > w.x - 0.5 && t.x < w.right - 0.5) inside.push_back(i);
        }
        std::sort(inside.begin(), inside.end(),
                  [&](std::size_t a, std::size_t b) { return want[page][a].x < want[page][b].x; });
        QString written;
        for (std::size_t i : inside) {
          written += want[page][i].text;
          EXPECT_FALSE(used[i]);
          used[i] = true;
        }
        EXPECT_EQ(written, w.text) << "word at " << w.x << "," << w.y;
      }
      for (std::size_t i = 0; i < used.size(); ++i) {
        EXPECT_TRUE(used[i]) << want[page][i].text.toStdString() << " at " << want[page][i].x << ","
                             << want[page][i].y << " is not in the PDF";
      }
    }
  }
}

TEST_F(KiruneTest, EachPictureIsStoredOnceAndASheetStaysSmall) {
  ASSERT_TRUE(kirunePrint({"BitBtn3", "--seed", "3", "--trace", path("t")}, 0).ok);
  ASSERT_TRUE(kirunePrint({"BitBtn3", "--seed", "3", "--pdf", path("s.pdf")}, 0).ok);
  QSet<QByteArray> drawn;
  for (const QByteArray& line : readAll(path("t")).split('\n')) {
    if (line.startsWith("draw ")) drawn.insert(line.split(' ')[1]);
  }
  QSet<QString> objects;
  int uses = 0;
  const QStringList rows = QString::fromUtf8(run("pdfimages", {"-list", path("s.pdf")}, 0).out).split('\n');
  for (const QString& row : rows.mid(2)) {
    const QStringList cols = row.split(' ', Qt::SkipEmptyParts);
    if (cols.size() < 11) continue;
    objects.insert(cols[10]);
    ++uses;
    // Lossless grey samples, as the pictures are: no JPEG, no colour.
    EXPECT_EQ(cols[5], "gray") << row.toStdString();
    EXPECT_EQ(cols[8], "image") << row.toStdString();
  }
  EXPECT_GT(uses, 300);  // 80 problems of five glyphs
  EXPECT_EQ(objects.size(), drawn.size());
  EXPECT_LT(QFileInfo(path("s.pdf")).size(), 150 * 1024);
}

// A paper is printed whole by a printer with hardware margins of up to 5 mm: rasterised, nothing darker
// than a 2 % grey lies within 13 pt of any edge, on every paper, though the time field and the answer
// column run to the drawing area's.
TEST_F(KiruneTest, PapersAreDrawnInsideTheirMargins) {
  const QStringList everything = {"BitBtn13",     "--seed", "4",           "--set",
                                  "CheckBox1=1",  "--set",  "CheckBox2=1", "--set",
                                  "CheckBox15=1", "--set",  "CheckBox16=1"};
  struct Case {
    QString paper;  // empty: the default
    QString pageSize;
    QByteArray tracePage;
  };
  const Case cases[] = {
      {"", "595 x 842 pts (A4)", "page 4724 6783"},   {"A3", "842 x 1191 pts (A3)", "page 6783 9691"},
      {"A5", "420 x 595 pts (A5)", "page 3266 4724"}, {"B4", "729 x 1032 pts", "page 5841 8366"},
      {"B5", "516 x 729 pts", "page 4066 5841"},      {"Letter", "612 x 792 pts (letter)", "page 4866 6366"},
      {"legal", "612 x 1008 pts", "page 4866 8166"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.paper.toStdString());
    const QStringList paper = c.paper.isEmpty() ? QStringList() : QStringList{"--paper", c.paper};
    ASSERT_TRUE(kirunePrint(everything + paper + QStringList{"--pdf", path("p.pdf")}, 0).ok);
    EXPECT_TRUE(
        QString::fromUtf8(run("pdfinfo", {path("p.pdf")}, 0).out).contains("Page size:       " + c.pageSize));
    EXPECT_TRUE(
        kirunePrint(everything + paper + QStringList{"--trace", "-"}, 0).out.startsWith(c.tracePage + "\n"));

    ASSERT_TRUE(run("pdftoppm", {"-r", "300", "-gray", path("p.pdf"), path("r")}, 0).ok);
    const QStringList rasters = QDir(dir.path()).entryList({"r-*.pgm"}, QDir::Files, QDir::Name);
    ASSERT_EQ(rasters.size(), 2);
    for (const QString& name : rasters) {
      const QImage page = QImage(path(name)).convertToFormat(QImage::Format_Grayscale8);
      ASSERT_FALSE(page.isNull());
      const double band = 13 / 72.0 * 300;  // 13 pt in pixels at 300 dpi
      // A pixel is within the band when its centre is.
      const auto near = [&](int p, int side) { return p + 0.5 < band || side - p - 0.5 < band; };
      int inkInBand = 0;
      int ink = 0;
      int lowest = 0;
      for (int y = 0; y < page.height(); ++y) {
        const uchar* row = page.constScanLine(y);
        for (int x = 0; x < page.width(); ++x) {
          if (row[x] >= 250) continue;  // a 2 % grey at most: no printer puts a dot for it
          ++ink;
          lowest = y;
          if (near(x, page.width()) || near(y, page.height())) ++inkInBand;
        }
      }
      EXPECT_GT(ink, 10000) << name.toStdString();
      EXPECT_EQ(inkInBand, 0) << name.toStdString();
      // The time field is there, near the foot.
      if (name.endsWith("1.pgm")) {
        EXPECT_GT(lowest, page.height() - 3 * band) << name.toStdString();
      }
      QFile::remove(path(name));
    }
  }
}

// The mean difference of two grey pictures over the area they share, in grey levels.
double meanDifference(const QImage& a, const QImage& b) {
  const int w = std::min(a.width(), b.width());
  const int h = std::min(a.height(), b.height());
  double sum = 0;
  for (int y = 0; y < h; ++y) {
    const uchar* ra = a.constScanLine(y);
    const uchar* rb = b.constScanLine(y);
    for (int x = 0; x < w; ++x) sum += std::abs(ra[x] - rb[x]);
  }
  return w > 0 && h > 0 ? sum / (static_cast<double>(w) * h) : 255;
}

QImage grey(const QString& file) { return QImage(file).convertToFormat(QImage::Format_Grayscale8); }

// Every preset, problem and answer sheet with the time field: the first page as poppler draws the PDF
// matches the raster path's PNG page, and no page of it has cyan, magenta or yellow ink.
TEST_F(KiruneTest, EveryPresetsPdfMatchesItsPngPageAndUsesBlackInkOnly) {
  const QStringList presets = QString::fromUtf8(kirunePrint({"--list-presets"}, 0).out)
                                  .split('\n', Qt::SkipEmptyParts)
                                  .filter(QRegularExpression("^BitBtn"));
  ASSERT_EQ(presets.size(), 159);
  static const QRegularExpression inkLine(R"(^\s*([\d.]+)\s+([\d.]+)\s+([\d.]+)\s+([\d.]+) CMYK OK$)");
  for (const QString& row : presets) {
    const QString preset = row.section('\t', 0, 0);
    SCOPED_TRACE(preset.toStdString());
    // Half of A4 each way keeps the run short; pages at 600 dpi, compared at 150. Poppler's smoothing
    // of thin strokes at 150 dpi differs from the PNG's scaled down by up to two thirds of the page's
    // mean ink on the densest sheets (the same for Qt's own PDFs); a sheet moved by 8 pixels, or
    // without its pictures, differs by more than all of it.
    const QStringList run1 = {preset, "--seed", "8", "--answers", "1", "--time", "1", "--page", "2480x3508"};
    const Result pdf = kirunePrint(run1 + QStringList{"--pdf", path("s.pdf")}, 0);
    ASSERT_TRUE(pdf.ok);
    // The problem sheet alone as PNG: the same first page, half the time.
    QDir(path("png")).removeRecursively();
    ASSERT_TRUE(
        kirunePrint({preset, "--seed", "8", "--time", "1", "--page", "2480x3508", "--png", path("png")}, 0)
            .ok);
    ASSERT_TRUE(
        run("pdftoppm", {"-r", "150", "-gray", "-f", "1", "-l", "1", path("s.pdf"), path("r")}, 0).ok);
    const QImage fromPdf = grey(path("r-1.pgm"));
    const QImage fromPng =
        grey(path("png/page-000001.png")).scaled(620, 877, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    ASSERT_FALSE(fromPdf.isNull());
    QImage white(fromPng.size(), QImage::Format_Grayscale8);
    white.fill(255);
    const double ink = meanDifference(fromPng, white);
    EXPECT_GT(ink, 1.0);
    EXPECT_LT(meanDifference(fromPdf, fromPng), 0.8 * ink);

    const Result coverage = run("gs", {"-q", "-o", "-", "-sDEVICE=inkcov", path("s.pdf")}, 0);
    int pages = 0;
    for (const QString& line : QString::fromUtf8(coverage.out).split('\n', Qt::SkipEmptyParts)) {
      const auto m = inkLine.match(line);
      ASSERT_TRUE(m.hasMatch()) << line.toStdString();
      ++pages;
      EXPECT_EQ(m.captured(1).toDouble() + m.captured(2).toDouble() + m.captured(3).toDouble(), 0.0)
          << line.toStdString();
      EXPECT_GT(m.captured(4).toDouble(), 0.0) << line.toStdString();
    }
    EXPECT_EQ(pages, 2);
  }
}

// Poppler, MuPDF and Ghostscript draw the same page; qpdf finds nothing wrong; 100 stray bytes in front
// of the file (a mail gateway, a bad upload) leave MuPDF drawing the whole sheet.
TEST_F(KiruneTest, EveryReaderDrawsTheSamePageAndStrayBytesInFrontDoNoHarm) {
  for (const QString preset : {"BitBtn13", "BitBtn121", "BitBtn133"}) {
    SCOPED_TRACE(preset.toStdString());
    ASSERT_TRUE(kirunePrint({preset, "--seed", "2", "--time", "1", "--pdf", path("s.pdf")}, 0).ok);
    const Result check = run("qpdf", {"--check", path("s.pdf")}, 0);
    EXPECT_TRUE(check.out.contains("No syntax or stream encoding errors")) << check.out.toStdString();

    ASSERT_TRUE(run("pdftoppm", {"-r", "100", "-gray", path("s.pdf"), path("poppler")}, 0).ok);
    ASSERT_TRUE(
        run("mutool", {"draw", "-q", "-r", "100", "-c", "gray", "-o", path("mupdf.pgm"), path("s.pdf")}, 0)
            .ok);
    ASSERT_TRUE(run("gs",
                    {"-q", "-o", path("gs.pgm"), "-sDEVICE=pgmraw", "-r100", "-dTextAlphaBits=4",
                     "-dGraphicsAlphaBits=4", path("s.pdf")},
                    0)
                    .ok);
    const QImage poppler = grey(path("poppler-1.pgm"));
    const QImage mupdf = grey(path("mupdf.pgm"));
    const QImage ghostscript = grey(path("gs.pgm"));
    ASSERT_EQ(poppler.size(), QSize(827, 1170));
    // Each reader rounds the page's size in pixels its own way.
    for (const QImage& other : {mupdf, ghostscript}) {
      EXPECT_LE(std::abs(other.width() - poppler.width()), 1);
      EXPECT_LE(std::abs(other.height() - poppler.height()), 1);
    }
    EXPECT_LT(meanDifference(poppler, mupdf), 2.0);
    EXPECT_LT(meanDifference(poppler, ghostscript), 3.0);
    EXPECT_LT(meanDifference(poppler, QImage(poppler.size(), QImage::Format_Grayscale8)),
              254.0);  // not blank

    QFile damaged(path("damaged.pdf"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write(QByteArray(100, 'x') + readAll(path("s.pdf")));
    damaged.close();
    ASSERT_TRUE(run("mutool",
                    {"draw", "-q", "-r", "100", "-c", "gray", "-o", path("damaged.pgm"), path("damaged.pdf")},
                    0)
                    .ok);
    EXPECT_LT(meanDifference(grey(path("damaged.pgm")), mupdf), 0.5);
  }
}

// A file of one sheet is titled as its print job; one of several sheets by the preset. Either has
// an /ID and names its producer.
TEST_F(KiruneTest, PdfsAreTitledAndIdentified) {
  struct Case {
    QStringList settings;
    QString title;
  };
  const Case cases[] = {{{"--sheets", "1"}, "くりあがり ２０ 1/1 もんだい"},
                        {{"--sheets", "3"}, "くりあがり ２０"},
                        {{"--sheets", "1", "--answers", "1"}, "くりあがり ２０"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title.toStdString());
    ASSERT_TRUE(
        kirunePrint(QStringList{"BitBtn13", "--seed", "1"} + c.settings + QStringList{"--pdf", path("t.pdf")},
                    0)
            .ok);
    const QString info = QString::fromUtf8(run("pdfinfo", {path("t.pdf")}, 0).out);
    EXPECT_TRUE(info.contains("Title:           " + c.title + "\n")) << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression("Producer:\\s+Kirune \\d+\\.\\d+\\.\\d+\\n")))
        << info.toStdString();
    EXPECT_TRUE(QString::fromLatin1(readAll(path("t.pdf")))
                    .contains(QRegularExpression("/ID \\[<[0-9A-F]{32}> <[0-9A-F]{32}>\\]")));
  }
}

TEST_F(KiruneTest, SameSeedGivesIdenticalBytesAndAnotherSeedAnotherSheet) {
  const QStringList sheet = {"BitBtn13", "--set", "CheckBox15=1", "--set", "CheckBox16=1"};
  for (const QString name : {"a", "b"}) {
    ASSERT_TRUE(kirunePrint(sheet + QStringList{"--seed", "99", "--pdf", path(name + ".pdf")}, 0).ok);
    ASSERT_TRUE(kirunePrint(sheet + QStringList{"--seed", "99", "--trace", path(name + ".trace")}, 0).ok);
  }
  ASSERT_TRUE(kirunePrint(sheet + QStringList{"--seed", "100", "--trace", path("c.trace")}, 0).ok);
  EXPECT_FALSE(readAll(path("a.pdf")).isEmpty());
  EXPECT_EQ(readAll(path("a.pdf")), readAll(path("b.pdf")));
  // Not a coincidence of two runs within one second: the clock is not in the file.
  EXPECT_TRUE(readAll(path("a.pdf")).contains("/CreationDate (D:19700101000000"));
  EXPECT_EQ(readAll(path("a.trace")), readAll(path("b.trace")));
  EXPECT_NE(readAll(path("a.trace")), readAll(path("c.trace")));
  // Standard output carries the same trace as the file.
  EXPECT_EQ(kirunePrint(sheet + QStringList{"--seed", "99", "--trace", "-"}, 0).out,
            readAll(path("a.trace")));
}

TEST_F(KiruneTest, PngPagesOnePerDocumentInPrintOrder) {
  const Result r = kirunePrint({"BitBtn2", "--seed", "5", "--page", "600x850", "--set", "SpinEdit1=2",
                                "--set", "CheckBox15=1", "--png", path("out")},
                               0);
  ASSERT_TRUE(r.ok);
  const QStringList files = QDir(path("out")).entryList(QDir::Files, QDir::Name);
  ASSERT_EQ(files, (QStringList{"page-000001.png", "page-000002.png", "page-000003.png", "page-000004.png"}));
  for (const QString& f : files) {
    const QImage page(QDir(path("out")).filePath(f));
    EXPECT_EQ(page.size(), QSize(600, 850)) << f.toStdString();
    // 8-bit grey like the pictures, tagged with the 600 dpi it is drawn at.
    EXPECT_EQ(page.format(), QImage::Format_Grayscale8) << f.toStdString();
    EXPECT_EQ(page.dotsPerMeterX(), 23622);
    EXPECT_EQ(page.dotsPerMeterY(), 23622);
    int dark = 0;
    for (int y = 0; y < page.height(); y += 2)
      for (int x = 0; x < page.width(); x += 2) dark += qGray(page.pixel(x, y)) < 128;
    EXPECT_GT(dark, 500) << f.toStdString();
  }
}

TEST_F(KiruneTest, BadArgumentsExitTwoWithOneMessageAndWriteNothing) {
  struct Case {
    QStringList args;
    QString named;  // what the message must name
  };
  const Case cases[] = {
      {{"BitBtn999", "--pdf", "x.pdf"}, "BitBtn999"},
      {{"BitBtn25", "--pdf", "x.pdf"}, "BitBtn25"},
      {{"BitBtn1", "--set", "Foo=1", "--pdf", "x.pdf"}, "Foo"},
      {{"BitBtn1", "--set", "CheckBox26=1", "--pdf", "x.pdf"}, "CheckBox26"},
      {{"BitBtn1", "--set", "SpinEdit4=33", "--pdf", "x.pdf"}, "SpinEdit4"},
      {{"BitBtn1", "--set", "SpinEdit4=0", "--pdf", "x.pdf"}, "SpinEdit4"},
      {{"BitBtn1", "--set", "CheckBox3=2", "--pdf", "x.pdf"}, "CheckBox3"},
      {{"BitBtn1", "--set", "z2=-1", "--pdf", "x.pdf"}, "z2"},
      {{"BitBtn1", "--set", "trg=2", "--pdf", "x.pdf"}, "trg"},
      {{"BitBtn1", "--set", "SpinEdit1=3x", "--pdf", "x.pdf"}, "SpinEdit1"},
      {{"BitBtn1", "--set", "SpinEdit1=99999999999", "--pdf", "x.pdf"}, "SpinEdit1"},
      {{"BitBtn1", "--set", "SpinEdit1", "--pdf", "x.pdf"}, "--set"},
      {{"BitBtn1", "--seed", "abc", "--pdf", "x.pdf"}, "--seed"},
      {{"BitBtn1", "--seed", "-4", "--pdf", "x.pdf"}, "--seed"},
      {{"BitBtn1", "--page", "600", "--pdf", "x.pdf"}, "--page"},
      {{"BitBtn1", "--page", "0x600", "--pdf", "x.pdf"}, "--page"},
      {{"BitBtn1", "--paper", "A6", "--pdf", "x.pdf"}, "A6"},
      {{"BitBtn1", "--paper", "A4", "--page", "600x800", "--pdf", "x.pdf"}, "--paper"},
      {{"BitBtn1", "--paper", "A4", "--printer", "default"}, "--paper"},
      {{"BitBtn1", "--pdf", "x.pdf", "--png", "dir"}, "--png"},
      {{"BitBtn1", "--pdf", "x.pdf", "--pdf", "y.pdf"}, "--pdf"},
      {{"BitBtn1", "--pdf", "-"}, "--pdf"},
      {{"BitBtn1"}, "--pdf"},
      {{"--pdf", "x.pdf"}, "BitBtn13"},
      {{"BitBtn1", "BitBtn2", "--pdf", "x.pdf"}, "BitBtn2"},
      {{"BitBtn1", "--colour", "--pdf", "x.pdf"}, "--colour"},
      {{"BitBtn1", "--pdf"}, "--pdf"},
      {{"--list-presets", "BitBtn1"}, "--list-presets"},
      {{"BitBtn1", "--answers", "2", "--pdf", "x.pdf"}, "answers"},
      {{"BitBtn1", "--rows", "2,x", "--pdf", "x.pdf"}, "rows"},
      {{"BitBtn1", "--clipart_fixed", "33", "--pdf", "x.pdf"}, "clipart_fixed"},
      {{"BitBtn1", "--pdf", "x.pdf", "--sheets"}, "--sheets"},
      {{"BitBtn1", "--list-presets"}, "--list-presets"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString());
    const Result r = kirunePrint(c.args, 2, dir.path());
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_TRUE(r.err.startsWith("kirune-print: ")) << r.err.toStdString();
    EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(c.named)) << r.err.toStdString();
    EXPECT_TRUE(entries().isEmpty()) << entries().join(' ').toStdString();
  }
}

TEST_F(KiruneTest, AFailedWriteExitsOneNamingTheDocumentAndLeavesNoPdf) {
  QFile blocker(path("taken"));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  const Result png = kirunePrint({"BitBtn1", "--page", "300x400", "--png", path("taken")}, 1);
  EXPECT_TRUE(png.err.contains("文書 1")) << png.err.toStdString();

  const Result pdf = kirunePrint({"BitBtn1", "--pdf", path("missing/s.pdf")}, 1);
  EXPECT_TRUE(pdf.err.contains("missing/s.pdf")) << pdf.err.toStdString();
  EXPECT_EQ(entries(), QStringList{"taken"});
}

TEST_F(KiruneTest, ARunWithoutDocumentsSaysSoAndWritesNoPdf) {
  for (const QString set : {"CheckBox3=0", "SpinEdit1=0"}) {
    const Result r = kirunePrint({"BitBtn1", "--set", set, "--pdf", path("s.pdf")}, 0);
    EXPECT_FALSE(r.err.isEmpty());
    EXPECT_FALSE(QFile::exists(path("s.pdf")));
  }
}

TEST_F(KiruneTest, ReadableNamesRunAsTheSetsOfTheirControls) {
  struct Case {
    QStringList readable, sets;
  };
  const Case cases[] = {
      {{"BitBtn13", "--sheets", "2", "--answers", "1", "--name", "0", "--time", "1"},
       {"BitBtn13", "--set", "SpinEdit1=2", "--set", "CheckBox15=1", "--set", "CheckBox1=0", "--set",
        "CheckBox16=1"}},
      {{"BitBtn118", "--rows", "2,3,7", "--clipart_fixed", "5", "--clipart", "1"},
       {"BitBtn118", "--set", "CheckBox5=0", "--set", "CheckBox6=0", "--set", "CheckBox9=0", "--set",
        "CheckBox10=0", "--set", "CheckBox11=0", "--set", "CheckBox13=0", "--set", "CheckBox14=0", "--set",
        "CheckBox4=1", "--set", "SpinEdit4=5"}},
      {{"BitBtn143", "--tile_rows", "1", "--zero_sub", "0"},
       {"BitBtn143", "--set", "trg=1", "--set", "z3=1"}},
      {{"BitBtn131", "--numbers", "4,10"},
       {"BitBtn131", "--set", "CheckBox17=0", "--set", "CheckBox18=0", "--set", "CheckBox20=0", "--set",
        "CheckBox21=0", "--set", "CheckBox22=0", "--set", "CheckBox23=0", "--set", "CheckBox24=0"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.readable.join(' ').toStdString());
    const Result readable = kirunePrint(c.readable + QStringList{"--seed", "3", "--trace", "-"}, 0);
    const Result sets = kirunePrint(c.sets + QStringList{"--seed", "3", "--trace", "-"}, 0);
    ASSERT_TRUE(readable.ok);
    ASSERT_TRUE(sets.ok);
    EXPECT_GT(readable.out.count("begin_doc"), 0);
    EXPECT_EQ(readable.out, sets.out);
  }
  // The later of two options touching the same control wins, whichever spelling each uses.
  const Result last = kirunePrint({"BitBtn1", "--set", "SpinEdit1=3", "--sheets", "1", "--trace", "-"}, 0);
  EXPECT_EQ(last.out.count("begin_doc"), 1);
}

TEST_F(KiruneTest, ListAndHelp) {
  const Result list = kirunePrint({"--list-presets"}, 0);
  ASSERT_TRUE(list.ok);
  const QStringList lines = QString::fromUtf8(list.out).split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 160);
  EXPECT_EQ(lines[0], "button\trow title\tcaption\tkind\tcount item\tengine\ttiles");
  EXPECT_TRUE(lines.contains("BitBtn13\tくりあがり\t２０\t2\t0\tprint00Click\t0"));
  EXPECT_TRUE(lines.contains("BitBtn151\tくりあがりなし\ts18\t0\t11\tprint00Click\t1"));
  EXPECT_TRUE(lines.contains("BitBtn133\t１０までの分解（さくらんぼ）\t９\t18\t9\tprint00bClick\t0"));

  const Result help = kirunePrint({"--help"}, 0);
  EXPECT_TRUE(help.out.startsWith(
      "kirune-print PRESET [--set CONTROL=VALUE]... [--seed N] [--page WIDTHxHEIGHT] OUTPUT\n"));
  EXPECT_TRUE(help.out.contains("kirune-print --list-presets"));
  for (const char* name :
       {"--sheets", "--answers", "--name", "--time", "--clipart", "--clipart_fixed", "--print", "--zero_add",
        "--zero_add10", "--zero_sub", "--zero_sub10", "--rows", "--numbers", "--tile_rows"}) {
    EXPECT_TRUE(help.out.contains(QByteArray("\n  ") + name + ' ')) << name;
  }

  // The version line is the one the window shows in its caption.
  const Result version = kirunePrint({"--version"}, 0);
  EXPECT_EQ(version.out, QByteArray("kirune-print (Kirune　Ver6.02  2021.10.27)\n"));
}

}  // namespace
