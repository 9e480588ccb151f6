// kirune-print --printer against the real spooler of the test fixture: one confirmed job per document,
// a refusal reported with exit 1, and PDF files in a new folder when there is no printer at all.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "tests/printing/spooler_helpers.h"

namespace kirune {
namespace {

using ::testing::HasSubstr;
using namespace kirune::spool;

struct Result {
  bool ok = false;
  std::string out;
  std::string err;
};

Result kirunePrint(const QStringList& arguments, const test::Expect& expect, const QString& home,
                   test::Where where = {}) {
  test::RunOptions options;
  options.env = {"HOME=" + home.toStdString(), "XDG_CONFIG_HOME=" + home.toStdString() + "/.config"};
  const test::Ran ran = test::run(QStringLiteral(KIRUNE_PRINT), arguments, expect, options, where);
  return {ran.ok, ran.out, ran.err};
}

// Three sheets with answers: six documents.
const QStringList kThreeSheetsWithAnswers = {"BitBtn1", "--set", "SpinEdit1=3", "--set", "CheckBox15=1"};

class CliPrinterTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NO_FATAL_FAILURE(useFixtureSpooler(home)); }
  QTemporaryDir home;
};

TEST_F(CliPrinterTest, EveryDocumentIsAJobOfOnePageInPrintOrder) {
  for (const QString& printer : {QStringLiteral("default"), QStringLiteral("kirune-pdf")}) {
    SCOPED_TRACE(printer.toStdString());
    const int mark = lastJob();
    const qint64 logMark = accessLogSize();
    const Result result =
        kirunePrint(kThreeSheetsWithAnswers + QStringList{"--printer", printer}, 0, home.path());
    EXPECT_EQ(result.err, "");
    // The queue is asked about once (its state and paper together) before the first job is made.
    EXPECT_EQ(queueQuestionsBeforeFirstJob(logMark), 1);
    const QList<int> jobs = jobsAfter(mark);
    ASSERT_EQ(jobs.size(), 6);
    // A teacher finds each sheet in the printer's queue by what it is.
    EXPECT_EQ(jobTitles(jobs),
              QStringList({"くりあがりなし ２０ 1/3 もんだい", "くりあがりなし ２０ 1/3 こたえ",
                           "くりあがりなし ２０ 2/3 もんだい", "くりあがりなし ２０ 2/3 こたえ",
                           "くりあがりなし ２０ 3/3 もんだい", "くりあがりなし ２０ 3/3 こたえ"}));
    const QStringList files = spooledFiles(jobs);
    ASSERT_EQ(files.size(), 6);
    for (int i = 0; i < files.size(); ++i) {
      SCOPED_TRACE(files[i].toStdString());
      EXPECT_EQ(pdfPages(files[i]), 1);
      EXPECT_GE(pdfImages(files[i]), 10);
      // Problem pages carry the text under the glyphs, answer pages none: they alternate.
      const bool hasText = run("pdffonts", {files[i]}, 0).trimmed().split('\n').size() > 2;
      EXPECT_EQ(hasText, i % 2 == 0);
    }
  }
  EXPECT_FALSE(QDir(home.path() + "/Documents").exists());
}

TEST_F(CliPrinterTest, RefusedDocumentsExitOneAndSaySo) {
  admin({"lpadmin", "-p", "kirune-closed", "-v", "cups-pdf:/kirune-" + QFileInfo(spoolerDir()).fileName(),
         "-m", "lsb/usr/cups-pdf/CUPS-PDF_opt.ppd", "-E"});
  admin({"cupsreject", "kirune-closed"});
  struct Case {
    QString printer;
    std::string message;
  };
  const Case cases[] = {
      {"kirune-closed",
       "プリンタ「kirune-"
       "closed」が印刷を受け付けていません。1枚目（問題用紙）から6枚目までは印刷されていません。"},
      {"kirune-nowhere", "プリンタ「kirune-nowhere」が見つかりません。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.printer.toStdString());
    const int mark = lastJob(nullptr);
    const Result result =
        kirunePrint(kThreeSheetsWithAnswers + QStringList{"--printer", c.printer}, 1, home.path());
    EXPECT_THAT(result.err, HasSubstr(c.message));
    EXPECT_EQ(jobsAfter(mark, nullptr).size(), 0);
    EXPECT_FALSE(QDir(home.path() + "/Documents").exists());
  }
  admin({"lpadmin", "-x", "kirune-closed"});
}

TEST_F(CliPrinterTest, WithoutASpoolerTheSheetsBecomeFilesAndTheFolderIsNamed) {
  useSpooler(QDir::tempPath() + "/kirune-no-such-spooler.sock");
  const Result result =
      kirunePrint(kThreeSheetsWithAnswers + QStringList{"--printer", "default"}, 0, home.path());
  // One file for the run, its pages in print order, named by the preset, the sheets, date and time.
  const QDir root(home.path() + "/Documents/Kirune");
  const QStringList files = root.entryList(QDir::Files);
  ASSERT_EQ(files.size(), 1);
  EXPECT_THAT(files.first().toStdString(),
              testing::MatchesRegex("くりあがりなし２０_3枚_[0-9]{4}-[0-9]{2}-[0-9]{2}_[0-9]{4}\\.pdf"));
  const QString file = root.filePath(files.first());
  EXPECT_THAT(result.err, HasSubstr("3枚（答えを含め6ページ）を保存しました"));
  EXPECT_THAT(result.err, HasSubstr(file.toStdString()));
  EXPECT_EQ(pdfPages(file), 6);
  // The pictures as they are: lossless grey samples, never JPEG.
  EXPECT_EQ(pdfImageKinds(file), QSet<QString>{"gray image"});
}

TEST(CliPrinterOptions, PrinterTakesANameAndNoPage) {
  QTemporaryDir home;
  kirunePrint({"BitBtn1", "--printer"}, 2, home.path());
  const Result withPage =
      kirunePrint({"BitBtn1", "--printer", "default", "--page", "100x100"}, 2, home.path());
  EXPECT_THAT(withPage.err, HasSubstr("--page"));
  kirunePrint({"BitBtn1", "--printer", "default", "--pdf", "x.pdf"}, 2, home.path());
}

}  // namespace
}  // namespace kirune
