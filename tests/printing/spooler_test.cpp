// Print output against the real CUPS spooler that the test fixture starts (cups_spooler.sh): every
// document a job of its own and confirmed, every refusal reported with the sheets that did and did not
// go out, and the PDF files of a run without a printer.
#include <cups/cups.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <cstdlib>
#include <optional>

#include "printing/cups_queue.h"
#include "printing/document_sinks.h"
#include "printing/print_output.h"
#include "render/page_canvas.h"
#include "render/picture.h"
#include "tests/printing/spooler_helpers.h"

namespace kirune {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using namespace kirune::spool;

// Draws what every sheet has: a picture, a line and its number as text.
void drawSheet(PageCanvas& canvas, int number) {
  static const Picture picture{"TForm2.Test", StoredFormat::Bmp8Grey, 2, 2, 1, {0, 255, 255, 0}};
  canvas.stretchDraw({100, 100, 1110, 1520}, picture);
  canvas.setPenWidth(6);
  canvas.moveTo(100, 1700);
  canvas.lineTo(1100, 1700);
  canvas.setFontHeight(200);
  canvas.textOut(100, 2000, std::to_string(9000 + number));
}

// What document `number` of a run of `documents` is, problem and answer documents in pairs with
// `answers`.
DocumentInfo documentInfo(int number, int documents, bool answers, const std::string& title = {}) {
  const bool answer = answers && number % 2 == 0;
  const int sheet = answers ? (number + 1) / 2 : number;
  return {answer ? DocumentKind::Answers : DocumentKind::Problems, sheet, answers ? documents / 2 : documents,
          title};
}

// Prints `documents` documents through `output`, as planned; returns the error of the document that
// failed.
std::optional<std::string> printDocuments(PrintOutput& output, int documents, bool answers,
                                          const std::function<void(int)>& between = {},
                                          const std::string& title = {}) {
  output.plan(documents, answers);
  try {
    for (int document = 1; document <= documents; ++document) {
      if (between) between(document);
      output.beginDoc(documentInfo(document, documents, answers, title));
      drawSheet(output, document);
      output.endDoc();
    }
    output.finish();
  } catch (const PrinterError& error) {
    return std::string(error.what());
  }
  return std::nullopt;
}

class SpoolerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(useFixtureSpooler(home));
    printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    preparePrinter(*printer);
  }
  void TearDown() override {
    for (const QString& queue : extraQueues) run("lpadmin", {"-x", queue}, 0);
  }

  // A second cups-pdf queue of the fixture's spooler, removed after the test.
  QString addQueue(const QString& name) {
    run("lpadmin",
        {"-p", name, "-v", "cups-pdf:/kirune-" + QFileInfo(spoolerDir()).fileName(), "-m",
         "lsb/usr/cups-pdf/CUPS-PDF_opt.ppd", "-E"},
        0);
    extraQueues << name;
    return name;
  }
  // Removes a queue of addQueue now; lpadmin says 1 when the test has deleted it already.
  void removeQueue(const QString& name, int expect) {
    run("lpadmin", {"-x", name}, expect);
    extraQueues.removeAll(name);
  }

  QTemporaryDir home;
  std::unique_ptr<QPrinter> printer;
  QStringList extraQueues;
};

// A printer whose own paper is Letter in landscape is not forced to A4 portrait.
TEST_F(SpoolerTest, PrinterStartsWithItsOwnPaperAndOrientation) {
  const QString queue = addQueue("kirune-letter");
  admin({"lpadmin", "-p", queue, "-o", "PageSize=Letter", "-o", "orientation-requested-default=4"});
  QPrinter letter(QPrinter::HighResolution);
  letter.setPrinterName(queue);
  preparePrinter(letter);
  EXPECT_EQ(letter.pageLayout().pageSize().id(), QPageSize::Letter);
  EXPECT_EQ(letter.pageLayout().orientation(), QPageLayout::Landscape);
  EXPECT_EQ(letter.resolution(), 600);
  const QSize page = PrintOutput(letter).pageSize();
  EXPECT_GT(page.width(), page.height());
  EXPECT_LE(page.width(), 6600);
}

TEST_F(SpoolerTest, PrinterDefaultsToTheSystemDefaultOnA4At600Dpi) {
  EXPECT_EQ(printer->printerName(), QStringLiteral("kirune-pdf"));
  EXPECT_EQ(printer->resolution(), 600);
  EXPECT_EQ(printer->pageLayout().pageSize().id(), QPageSize::A4);
  EXPECT_EQ(printer->pageLayout().orientation(), QPageLayout::Portrait);

  PrintOutput output(*printer);
  // A4 is 4961 x 7016 pixels at 600 dpi; the printable area lies inside it.
  const QSize page = output.pageSize();
  EXPECT_GT(page.width(), 4000);
  EXPECT_LE(page.width(), 4961);
  EXPECT_GT(page.height(), 6000);
  EXPECT_LE(page.height(), 7016);
  EXPECT_EQ(page, printableArea(*printer));
  EXPECT_EQ(output.pageWidth(), page.width());
  EXPECT_EQ(output.pageHeight(), page.height());
}

TEST_F(SpoolerTest, EveryDocumentIsAConfirmedJobOfItsOwnInOrder) {
  PrintOutput output(*printer);
  ASSERT_EQ(printDocuments(output, 4, true), std::nullopt);
  EXPECT_EQ(output.route(), PrintOutput::Route::Spooler);
  EXPECT_EQ(output.queue(), QStringLiteral("kirune-pdf"));
  EXPECT_EQ(output.delivered(), 4);
  EXPECT_TRUE(output.savedNotice().isEmpty());
  const QList<int> jobs = output.jobIds();
  ASSERT_EQ(jobs.size(), 4);
  for (int i = 1; i < jobs.size(); ++i) EXPECT_GT(jobs[i], jobs[i - 1]);

  const QStringList files = spooledFiles(jobs);
  ASSERT_EQ(files.size(), 4);
  for (const QString& file : files) {
    EXPECT_EQ(pdfPages(file), 1) << file.toStdString();
    EXPECT_GE(pdfImages(file), 1) << file.toStdString();
  }
}

// A queue that turns documents away, from the first document or from the third on: the run stops at
// that document, the message names it and what went out before, and nothing more reaches the queue.
TEST_F(SpoolerTest, RefusingQueueStopsTheRunAtThatDocument) {
  struct Case {
    const char* name;
    QStringList refuse;  // command that makes the queue refuse; %1 is the queue
    const char* reason;
  };
  const Case cases[] = {
      {"rejecting", {"cupsreject", "%1"}, "が印刷を受け付けていません"},
      {"stopped", {"cupsdisable", "%1"}, "が止まっています"},
      {"removed", {"lpadmin", "-x", "%1"}, "が見つかりません"},
  };
  for (const Case& c : cases) {
    for (int failAt : {1, 3}) {
      SCOPED_TRACE(std::string(c.name) + " at document " + std::to_string(failAt));
      const QString queue = addQueue(QStringLiteral("kirune-%1").arg(c.name));
      printer->setPrinterName(queue);
      PrintOutput output(*printer);
      const auto error = printDocuments(output, 6, true, [&](int document) {
        if (document != failAt) return;
        spooledFiles(output.jobIds());  // a stopped queue would hold back the jobs not yet done
        QStringList command = c.refuse;
        command.replaceInStrings("%1", queue);
        admin(command);
      });
      ASSERT_TRUE(error.has_value());
      EXPECT_THAT(*error, HasSubstr(QStringLiteral("「%1」%2").arg(queue, c.reason).toStdString()));
      EXPECT_EQ(output.delivered(), failAt - 1);
      EXPECT_EQ(output.jobIds().size(), failAt - 1);
      if (failAt == 3 && std::string(c.name) == "removed") {
        // A deleted queue takes its jobs' records with it: what they became is unknown, and said so,
        // unless the run saw them completed before.
        EXPECT_THAT(*error, HasSubstr("3枚目（問題用紙）から6枚目までは印刷されていません。"));
        EXPECT_THAT(*error, Not(HasSubstr("1〜2枚目はプリンタに送りました。")));
      } else if (failAt == 1) {
        EXPECT_THAT(*error, HasSubstr("1枚目（問題用紙）から6枚目までは印刷されていません。"));
        EXPECT_THAT(*error, Not(HasSubstr("送りました")));
      } else {
        EXPECT_THAT(
            *error,
            HasSubstr(
                "3枚目（問題用紙）から6枚目までは印刷されていません。1〜2枚目はプリンタに送りました。"));
        EXPECT_EQ(spooledFiles(output.jobIds()).size(), 2);
      }
      removeQueue(queue, std::string(c.name) == "removed" ? 1 : 0);
    }
  }
}

// A spooler that goes away after the run has started: the document at hand is reported, not lost.
TEST_F(SpoolerTest, SpoolerStoppingMidRunStopsTheRun) {
  ExtraSpooler second("second");
  second.start();
  useSpooler(second.socket());
  printer->setPrinterName(QString());  // the default of the second spooler
  PrintOutput output(*printer);
  const auto error = printDocuments(output, 3, false, [&](int document) {
    if (document == 2) second.stop();
  });
  ASSERT_TRUE(error.has_value());
  // The first sheet counts as printed only if the run saw its job completed before the spooler went.
  EXPECT_THAT(*error,
              ::testing::StartsWith("印刷のしくみ（CUPS）とつながりません。2枚目（問題用紙）から3枚目までは"
                                    "印刷されていません。1枚目は"));
  EXPECT_THAT(*error,
              ::testing::AnyOf(::testing::EndsWith("1枚目はプリンタに送りました。"),
                               ::testing::EndsWith("1枚目は、印刷されたかどうかわかりません。プリンタで確かめ"
                                                   "てください。")));
  EXPECT_EQ(output.delivered(), 1);
  EXPECT_EQ(output.route(), PrintOutput::Route::Spooler);
}

// No spooler at all, or one without any queue: the run becomes one PDF file under the documents
// folder, its pages in print order; a second run never touches the first.
TEST_F(SpoolerTest, WithoutAPrinterTheRunBecomesOneFile) {
  struct Case {
    const char* name;
    std::function<void()> arrange;
  };
  ExtraSpooler empty("empty");
  const Case cases[] = {
      {"no spooler", [] { useSpooler(QDir::tempPath() + "/kirune-no-such-spooler.sock"); }},
      {"no queue",
       [&] {
         empty.start();
         useSpooler(empty.socket());
         admin({"lpadmin", "-x", "kirune-pdf"});
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.arrange();
    // The printer object was made while the fixture's queue was the default: it still names it.
    ASSERT_EQ(printer->printerName(), QStringLiteral("kirune-pdf"));
    const QString root =
        QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)).filePath("Kirune");
    EXPECT_EQ(PrintOutput::fallbackRoot(), root);
    ASSERT_TRUE(root.startsWith(home.path()));

    // One file per run, its pages in print order; a second run in the same minute never takes the
    // first one's name.
    QStringList files;
    for (int runs = 0; runs < 2; ++runs) {
      PrintOutput output(*printer);
      ASSERT_EQ(printDocuments(output, 4, true, {}, "くりあがり ２０"), std::nullopt);
      EXPECT_EQ(output.route(), PrintOutput::Route::Folder);
      EXPECT_EQ(output.folder(), root);
      ASSERT_EQ(output.files().size(), 1);
      const QString file = output.files().first();
      EXPECT_EQ(QFileInfo(file).absolutePath(), root);
      EXPECT_TRUE(QFileInfo(file).fileName().startsWith(QStringLiteral("くりあがり２０_2枚_")));
      EXPECT_THAT(output.savedNotice().toStdString(),
                  HasSubstr(QDir::toNativeSeparators(file).toStdString()));
      EXPECT_THAT(output.savedNotice().toStdString(), HasSubstr("2枚（答えを含め4ページ）を保存しました"));
      EXPECT_EQ(pdfPages(file), 4);
      // The pages in print order, the file titled as the run.
      const std::string text = run("pdftotext", {file, "-"}, 0).toStdString();
      for (int n = 1; n < 4; ++n) {
        EXPECT_LT(text.find(std::to_string(9000 + n)), text.find(std::to_string(9001 + n))) << n;
      }
      EXPECT_THAT(run("pdfinfo", {file}, 0).toStdString(), HasSubstr("くりあがり ２０"));
      files << file;
    }
    EXPECT_NE(files[0], files[1]);
    EXPECT_EQ(QDir(root).entryList(QDir::Files).size(), 2);
    QDir(root).removeRecursively();
  }
}

// Without a printer the run's one file is reserved as its first document begins; a run that breaks off
// before any page is handed over leaves neither that file nor a folder behind.
TEST_F(SpoolerTest, RunThatHandsOverNothingLeavesNoFile) {
  useSpooler(QDir::tempPath() + "/kirune-no-such-spooler.sock");
  const QString root = PrintOutput::fallbackRoot();
  QDir(root).removeRecursively();
  {
    PrintOutput output(*printer);
    output.plan(2, false);
    output.beginDoc(documentInfo(1, 2, false, "くりあがり ２０"));
    drawSheet(output, 1);
    ASSERT_EQ(output.route(), PrintOutput::Route::Folder);
    ASSERT_EQ(QDir(root).entryList(QDir::Files).size(), 1);  // reserved, so no other run takes its name
  }
  EXPECT_EQ(QDir(root).entryList(QDir::Files), QStringList());
  // A run that never begins a document does not even make the folder.
  QDir(root).removeRecursively();
  {
    PrintOutput output(*printer);
    output.plan(2, false);
  }
  EXPECT_FALSE(QFileInfo::exists(root));
}

// The print dialog's "print to file": numbered files beside the chosen name, continuing after the
// numbers already there, so no run overwrites another's sheets.
TEST_F(SpoolerTest, PrintToFileWritesNumberedFilesAndOverwritesNothing) {
  QTemporaryDir folder;
  printer->setOutputFileName(folder.filePath("sheet.pdf"));
  {
    PrintOutput output(*printer);
    ASSERT_EQ(printDocuments(output, 2, false), std::nullopt);
    EXPECT_EQ(output.route(), PrintOutput::Route::Files);
    EXPECT_EQ(output.files(),
              QStringList({folder.filePath("sheet-001.pdf"), folder.filePath("sheet-002.pdf")}));
  }
  const QByteArray first = [&] {
    QFile file(folder.filePath("sheet-001.pdf"));
    file.open(QIODevice::ReadOnly);
    return file.readAll();
  }();
  {
    PrintOutput output(*printer);
    ASSERT_EQ(printDocuments(output, 2, true), std::nullopt);
    EXPECT_EQ(output.files(),
              QStringList({folder.filePath("sheet-003.pdf"), folder.filePath("sheet-004.pdf")}));
  }
  QFile again(folder.filePath("sheet-001.pdf"));
  ASSERT_TRUE(again.open(QIODevice::ReadOnly));
  EXPECT_EQ(again.readAll(), first);
  EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files).size(), 4);

  // A folder that cannot be written reports the first sheet as not printed.
  printer->setOutputFileName(folder.filePath("missing/sheet.pdf"));
  PrintOutput output(*printer);
  const auto error = printDocuments(output, 1, false);
  ASSERT_TRUE(error.has_value());
  EXPECT_THAT(*error, HasSubstr("を作れません。1枚目（問題用紙）から後は印刷されていません。"));
}

}  // namespace
}  // namespace kirune
