#include "printing/print_run.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimeZone>
#include <functional>
#include <sstream>
#include <string>

#include "printing/document_sinks.h"
#include "printing/output_file.h"
#include "problems/random.h"
#include "render/errors.h"
#include "render/image_set.h"
#include "render/presets.h"
#include "render/session.h"
#include "render/trace_canvas.h"
#include "tests/support/program.h"

namespace kirune {
namespace {

constexpr QSize kPage(600, 850);

class PrintRunTest : public ::testing::Test {
 protected:
  QString path(const QString& name) const { return dir.filePath(name); }

  QTemporaryDir dir;
};

struct Case {
  const char* preset;
  int sheets;
  bool answers;
  bool printSwitch;
};

// Runs the preset on `run` as kirune-print does: plan, run, finish.
void runOn(const Case& c, PrintRun& run) {
  Random rng(11);
  Session session(ImageSet::builtIn(), rng);
  session.settings.SpinEdit1 = c.sheets;
  session.settings.CheckBox15 = c.answers;
  session.settings.CheckBox3 = c.printSwitch;
  const Preset& preset = *findPreset(c.preset);
  run.plan(static_cast<int>(plannedDocuments(preset, session.settings)), c.answers);
  runPreset(preset, session, run.canvas());
  run.finish();
}

std::int64_t planned(const Case& c) {
  Settings s;
  s.SpinEdit1 = c.sheets;
  s.CheckBox15 = c.answers;
  s.CheckBox3 = c.printSwitch;
  return plannedDocuments(*findPreset(c.preset), s);
}

// Pages of a PDF as poppler reads them; -1 when it cannot.
int pdfPages(const QString& file) {
  const test::Ran info = test::run(QStringLiteral("pdfinfo"), {file}, 0);
  if (!info.ok) return -1;
  const auto match =
      QRegularExpression(QStringLiteral("^Pages:\\s+(\\d+)"), QRegularExpression::MultilineOption)
          .match(QString::fromStdString(info.out));
  return match.hasMatch() ? match.captured(1).toInt() : -1;
}

TEST_F(PrintRunTest, PdfAndPngRunsMakeThePlannedDocumentsAndAnEmptyRunKeepsTheFormerFile) {
  const Case cases[] = {
      {"BitBtn75", 2, false, true},  {"BitBtn136", 1, true, true}, {"BitBtn119", 2, true, true},
      {"BitBtn133", 3, false, true}, {"BitBtn75", 2, true, false}, {"BitBtn119", 0, true, true},
  };
  for (const Case& c : cases) {
    const std::string name = std::string(c.preset) + " x" + std::to_string(c.sheets) +
                             (c.answers ? " answers" : "") + (c.printSwitch ? "" : " switched off");
    const std::int64_t want = planned(c);

    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    const auto pdf = pdfRun(buffer, kPage);
    runOn(c, *pdf);
    EXPECT_EQ(pdf->madeNothing(), want == 0) << name;

    const QString file = path(QStringLiteral("sheet.pdf"));
    {
      QFile former(file);
      ASSERT_TRUE(former.open(QIODevice::WriteOnly));
      former.write("former");
    }
    const auto pdfFile = pdfFileRun(file, kPage);
    runOn(c, *pdfFile);
    EXPECT_EQ(pdfFile->madeNothing(), want == 0) << name;
    if (want == 0) {
      QFile kept(file);
      ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
      EXPECT_EQ(kept.readAll().toStdString(), "former") << name;
    } else {
      EXPECT_EQ(pdfPages(file), want) << name;
      QFile device(path(QStringLiteral("device.pdf")));
      ASSERT_TRUE(device.open(QIODevice::WriteOnly));
      device.write(buffer.data());
      device.close();
      EXPECT_EQ(pdfPages(device.fileName()), want) << name;
    }

    const QString pngs = path(QStringLiteral("pages-") + QString::fromStdString(std::to_string(&c - cases)));
    const auto png = pngRun(pngs, kPage);
    runOn(c, *png);
    EXPECT_EQ(png->madeNothing(), want == 0) << name;
    EXPECT_EQ(QDir(pngs).entryList(QDir::Files).size(), want) << name;
  }
}

TEST_F(PrintRunTest, APdfIntoMemoryWritesNothingToDisk) {
  // kirune-serve answers with PDFs made this way and promises to write nothing to disk.
  const QByteArray formerTmp = qgetenv("TMPDIR");
  qputenv("TMPDIR", dir.path().toUtf8());
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  const auto pdf = pdfRun(buffer, kPage);
  runOn({"BitBtn1", 2, true, true}, *pdf);
  qputenv("TMPDIR", formerTmp);
  EXPECT_TRUE(QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
  EXPECT_TRUE(buffer.data().startsWith("%PDF-"));
  EXPECT_GT(buffer.size(), 1000);
}

TEST_F(PrintRunTest, TraceRunsWriteExactlyTheTraceCanvasOutput) {
  const Case c{"BitBtn119", 1, true, true};
  std::ostringstream direct;
  {
    Random rng(11);
    Session session(ImageSet::builtIn(), rng);
    session.settings.CheckBox15 = true;
    TraceCanvas canvas(direct, kPage.width(), kPage.height());
    runPreset(*findPreset(c.preset), session, canvas);
  }
  ASSERT_FALSE(direct.str().empty());

  std::ostringstream streamed;
  const auto toStream = traceRun(streamed, kPage, "標準出力");
  runOn(c, *toStream);
  EXPECT_EQ(streamed.str(), direct.str());
  EXPECT_FALSE(toStream->madeNothing());

  const auto toFile = traceFileRun(path(QStringLiteral("t")), kPage);
  runOn(c, *toFile);
  QFile file(path(QStringLiteral("t")));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll().toStdString(), direct.str());
}

// A file run has the kernel copy each picture's samples from the program's file; a run into memory
// copies them from memory. Both must come to the same bytes.
TEST_F(PrintRunTest, APdfFileHoldsTheBytesTheSameRunMakesInMemory) {
  const Case c{"BitBtn108", 3, true, true};  // with clip-art
  const QDateTime date(QDate(2024, 4, 1), QTime(9, 30), QTimeZone(9 * 3600));
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  runOn(c, *pdfRun(buffer, kPage, date));
  ASSERT_GT(buffer.size(), 10000);
  const QString file = path(QStringLiteral("sheet.pdf"));
  runOn(c, *pdfFileRun(file, kPage, date));
  QFile written(file);
  ASSERT_TRUE(written.open(QIODevice::ReadOnly));
  EXPECT_TRUE(written.readAll() == buffer.data());
}

// Bytes copied from another file come out in their place among the written ones, and whatever the
// kernel cannot copy comes from memory: a source it cannot read from (a pipe), or one shorter than
// the bytes (cut short while the run went on).
TEST_F(PrintRunTest, BytesCopiedFromAFileLandInOrder) {
  const std::string bytes = "0123456789abcdefghij";
  const std::string sourcePath = path(QStringLiteral("source")).toStdString();
  {
    QFile source(QString::fromStdString(sourcePath));
    ASSERT_TRUE(source.open(QIODevice::WriteOnly));
    source.write("xxxx");
    source.write(bytes.data(), 12);  // the rest of `bytes` is missing from the file
  }
  const int file = ::open(sourcePath.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(file, 0);
  int pipe[2];
  ASSERT_EQ(::pipe(pipe), 0);
  struct Source {
    const char* name;
    int fd;
    std::size_t size;
  };
  for (const Source& from : {Source{"a file", file, 12}, Source{"a file cut short", file, bytes.size()},
                             Source{"a pipe", pipe[0], bytes.size()}}) {
    const QString target = path(QStringLiteral("out"));
    OutputFile out(target.toStdString(), "PDF ");
    ASSERT_TRUE(out.write("<", 1));
    ASSERT_TRUE(out.writeFrom(from.fd, 4, bytes.data(), from.size)) << from.name;
    ASSERT_TRUE(out.write(">", 1));
    out.commit();
    QFile result(target);
    ASSERT_TRUE(result.open(QIODevice::ReadOnly));
    const QByteArray want = '<' + QByteArray(bytes.data(), static_cast<qsizetype>(from.size)) + '>';
    EXPECT_EQ(result.readAll(), want) << from.name;
  }
  ::close(file);
  ::close(pipe[0]);
  ::close(pipe[1]);
}

TEST_F(PrintRunTest, TraceThatCannotBeWrittenThrowsNamingWhere) {
  const Case c{"BitBtn75", 1, false, true};
  std::ostringstream broken;
  broken.setstate(std::ios::badbit);
  const auto toStream = traceRun(broken, kPage, "標準出力");
  try {
    runOn(c, *toStream);
    ADD_FAILURE() << "no error";
  } catch (const PrinterError& e) {
    EXPECT_STREQ(e.what(), "トレースを標準出力に書けません");
  }

  try {
    // The file is opened before the run, so a run that cannot write draws nothing.
    const auto toFile = traceFileRun(path(QStringLiteral("missing/t")), kPage);
    runOn(c, *toFile);
    ADD_FAILURE() << "no error";
  } catch (const PrinterError& e) {
    EXPECT_TRUE(
        std::string(e.what()).starts_with("トレースを書き込めません: " + path("missing/t").toStdString()))
        << e.what();
  }
}

TEST_F(PrintRunTest, PapersByName) {
  EXPECT_EQ(paperSize("Letter").sizePoints(), QSize(612, 792));
  EXPECT_EQ(paperSize("B4").id(), QPageSize::JisB4);
  EXPECT_EQ(paperSize("no such paper").id(), QPageSize::A4);
}

}  // namespace
}  // namespace kirune
