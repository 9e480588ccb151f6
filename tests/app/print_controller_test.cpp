// The print controller without any widget: real presets on the window's own PDF output (into a
// QBuffer) and on the printer output printing to files, with printer faults injected on one document.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTimeZone>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

#include "app/print_controller.h"
#include "app/recorded_run.h"
#include "printing/document_sinks.h"
#include "printing/print_output.h"
#include "printing/print_run.h"
#include "render/image_set.h"

namespace kirune {
namespace {

using Status = PrintReport::Status;
using Fault = PrintReport::Fault;

int pdfPages(const QByteArray& pdf) {
  return static_cast<int>(pdf.count("/Type /Page /"));  // page objects, not the page tree
}

// A failure the output raises, as a printer or the spooler would.
struct Injection {
  Fault fault = Fault::None;
  int atDocument = 0;  ///< the beginDoc of this document throws; 0: the output's finish throws
};

[[noreturn]] void throwFault(Fault fault) {
  switch (fault) {
    case Fault::Undelivered:
      throw UndeliveredError("プリンタが印刷を受け付けていません。2枚目から先は印刷されていません。");
    case Fault::Printer:
      throw PrinterError("プリンタの用紙がありません");
    default:
      throw std::runtime_error("out of memory");
  }
}

class InjectingCanvas final : public ForwardingCanvas {
 public:
  InjectingCanvas(PageCanvas& inner, Injection injection) : ForwardingCanvas(inner), injection_(injection) {}
  void beginDoc(const DocumentInfo& info) override {
    if (++begun_ == injection_.atDocument && injection_.fault != Fault::None) throwFault(injection_.fault);
    ForwardingCanvas::beginDoc(info);
  }

 private:
  Injection injection_;
  int begun_ = 0;
};

// The window's PDF output into `out`, with the injected failure and a count of completed outputs.
class InjectingPdfRun final : public PrintRun {
 public:
  InjectingPdfRun(QIODevice& out, Injection injection, int& finished)
      : pdf_(pdfRun(out)), canvas_(pdf_->canvas(), injection), injection_(injection), finished_(finished) {}
  PageCanvas& canvas() override { return canvas_; }
  void finish() override {
    if (injection_.fault != Fault::None && injection_.atDocument == 0) throwFault(injection_.fault);
    pdf_->finish();
    ++finished_;
  }

 private:
  std::unique_ptr<PrintRun> pdf_;
  InjectingCanvas canvas_;
  Injection injection_;
  int& finished_;
};

// Follows a run as the window's progress dialog does, and can stop it after a number of documents.
class Follower final : public PrintProgress {
 public:
  int cancelAfter = -1;  ///< documents to let through before asking to stop; -1: never
  std::function<void()> betweenDocuments;
  std::vector<std::pair<int, int>> begun;   ///< (number, expected)
  std::vector<int> ended;                   ///< document numbers
  std::vector<std::pair<int, int>> sheets;  ///< (sheets done, sheets) after each document

  void documentBegun(int number, int expected) override { begun.emplace_back(number, expected); }
  void documentEnded(int number, int sheetsDone, int sheetCount) override {
    ended.push_back(number);
    sheets.emplace_back(sheetsDone, sheetCount);
    if (betweenDocuments) betweenDocuments();
  }
  bool cancelRequested() override {
    return cancelAfter >= 0 && static_cast<int>(ended.size()) >= cancelAfter;
  }
};

class PrintControllerTest : public ::testing::Test {
 protected:
  PrintControllerTest() {
    pdf.open(QIODevice::WriteOnly);
    session.settings.SpinEdit1 = 3;
    session.settings.CheckBox15 = true;  // answers: six documents
  }

  PrintReport click(const char* button) { return controller.run(*findPreset(button), follower); }

  Random rng{20240601};
  Session session{ImageSet::builtIn(), rng};
  QBuffer pdf;
  Injection injection;
  int outputsMade = 0;
  int outputsFinished = 0;
  Follower follower;
  PrintController controller{session, [this] {
                               ++outputsMade;
                               return std::make_unique<InjectingPdfRun>(pdf, injection, outputsFinished);
                             }};
};

TEST_F(PrintControllerTest, DeliversEveryPlannedDocumentIntoOneCompletedOutput) {
  const PrintReport report = click("BitBtn1");
  EXPECT_EQ(report.status, Status::Delivered);
  EXPECT_EQ(report.fault, Fault::None);
  EXPECT_EQ(report.documentsExpected, 6);
  EXPECT_EQ(report.documentsEnded, 6);
  EXPECT_EQ(outputsFinished, 1);
  EXPECT_EQ(pdfPages(pdf.data()), 6);
  EXPECT_TRUE(report.savedNotice.isEmpty());
  EXPECT_EQ(report.sheetsExpected, 3);
  EXPECT_EQ(report.sheetsEnded, 3);
  const std::vector<std::pair<int, int>> seen = {{1, 6}, {2, 6}, {3, 6}, {4, 6}, {5, 6}, {6, 6}};
  EXPECT_EQ(follower.begun, seen);
  EXPECT_EQ(follower.ended, (std::vector<int>{1, 2, 3, 4, 5, 6}));
  // The progress counts sheets as 作成枚数 does: a sheet is done with its answer sheet.
  const std::vector<std::pair<int, int>> sheets = {{0, 3}, {1, 3}, {1, 3}, {2, 3}, {2, 3}, {3, 3}};
  EXPECT_EQ(follower.sheets, sheets);
  EXPECT_FALSE(controller.running());
  EXPECT_EQ(session.settings.withTiles, 0);
}

TEST_F(PrintControllerTest, NothingPrintedLeavesTheOutputUntouched) {
  using Idle = PrintReport::Idle;
  struct Case {
    const char* what;
    const char* button;
    std::function<void(Settings&)> set;
    Idle idle;
  };
  const auto noRows = [](Settings& s) {
    for (auto field : Settings::timesRowBoxes) s.*field = false;
  };
  const Case cases[] = {
      {"CheckBox3 off", "BitBtn1", [](Settings& s) { s.CheckBox3 = false; }, Idle::PrintSwitchOff},
      {"no sheets", "BitBtn1", [](Settings& s) { s.SpinEdit1 = 0; }, Idle::NoSheets},
      {"fewer than no sheets", "BitBtn132", [](Settings& s) { s.SpinEdit1 = -3; }, Idle::NoSheets},
      {"guard: no times-table row", "BitBtn118", noRows, Idle::NoTimesRow},
      // The guard is the preset's first step: it names the cause even with カット off too.
      {"guard before CheckBox3", "BitBtn117",
       [&](Settings& s) {
         noRows(s);
         s.CheckBox3 = false;
       },
       Idle::NoTimesRow},
      {"guard: no number to decompose", "BitBtn132",
       [](Settings& s) {
         for (auto field : Settings::decomposeBoxes) s.*field = false;
       },
       Idle::NoDecomposeNumber},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    session.settings = Settings{};
    session.settings.SpinEdit1 = 2;
    c.set(session.settings);
    const PrintReport report = click(c.button);
    EXPECT_EQ(report.status, Status::NothingPrinted);
    EXPECT_EQ(report.idle, c.idle);
    EXPECT_EQ(report.documentsExpected, 0);
    EXPECT_EQ(report.documentsEnded, 0);
    EXPECT_TRUE(follower.begun.empty());
  }
  EXPECT_EQ(outputsFinished, 0);
  EXPECT_TRUE(pdf.data().isEmpty());
}

// Cancel takes effect at the next problem sheet: a problem sheet that went out is followed by its answer
// sheet, whenever the stop was asked for.
TEST_F(PrintControllerTest, CancelStopsAtTheNextSheetAndCompletesWhatWasHandedOver) {
  struct Case {
    bool answers;
    int cancelAfter;  ///< documents ended when the stop is asked for
    int ended;        ///< documents handed over in the end
  };
  const Case cases[] = {{true, 0, 0},  {true, 1, 2},  {true, 2, 2}, {true, 5, 6},
                        {false, 0, 0}, {false, 1, 1}, {false, 2, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "answers " << c.answers << ", stop after " << c.cancelAfter);
    pdf.close();
    pdf.setData(QByteArray());
    pdf.open(QIODevice::WriteOnly);
    follower = Follower{};
    follower.cancelAfter = c.cancelAfter;
    outputsFinished = 0;
    session.settings.CheckBox15 = c.answers;
    const PrintReport report = click("BitBtn1");
    EXPECT_EQ(report.status, c.ended < report.documentsExpected ? Status::Cancelled : Status::Delivered);
    EXPECT_EQ(report.fault, Fault::None);
    EXPECT_EQ(report.documentsExpected, c.answers ? 6 : 3);
    EXPECT_EQ(report.sheetsExpected, 3);
    EXPECT_EQ(report.documentsEnded, c.ended);
    EXPECT_EQ(report.sheetsEnded, c.answers ? c.ended / 2 : c.ended);
    EXPECT_EQ(follower.begun.size(), static_cast<std::size_t>(c.ended));  // nothing half sent
    EXPECT_EQ(outputsFinished, c.ended > 0 ? 1 : 0);
    EXPECT_EQ(pdfPages(pdf.data()), c.ended);
    EXPECT_FALSE(controller.running());
    EXPECT_EQ(session.settings.withTiles, 0);
  }
}

TEST_F(PrintControllerTest, AFailureReportsItsFaultMessageAndSheet) {
  struct Case {
    Fault fault;
    int atDocument;
    int failedSheet;
    int ended;
    const char* message;
  };
  const Case cases[] = {
      {Fault::Printer, 1, 1, 0, "プリンタの用紙がありません"},
      {Fault::Printer, 4, 4, 3, "プリンタの用紙がありません"},
      {Fault::Undelivered, 2, 2, 1, "プリンタが印刷を受け付けていません。2枚目から先は印刷されていません。"},
      {Fault::Unexpected, 3, 3, 2, "out of memory"},
      {Fault::Printer, 0, 6, 6, "プリンタの用紙がありません"},  // every document drawn, the output fails
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << static_cast<int>(c.fault) << " at " << c.atDocument);
    injection = {c.fault, c.atDocument};
    const PrintReport report = click("BitBtn1");
    EXPECT_EQ(report.status, Status::Failed);
    EXPECT_EQ(report.fault, c.fault);
    EXPECT_EQ(report.message.toStdString(), c.message);
    EXPECT_EQ(report.failedSheet, c.failedSheet);
    EXPECT_EQ(report.documentsExpected, 6);
    EXPECT_EQ(report.documentsEnded, c.ended);
    EXPECT_FALSE(controller.running());
    EXPECT_EQ(session.settings.withTiles, 0);
  }
  EXPECT_EQ(outputsFinished, 0);

  // The controller is free again: the next run goes through.
  injection = {};
  EXPECT_EQ(click("BitBtn1").status, Status::Delivered);
}

TEST_F(PrintControllerTest, AClickDuringARunIsRefusedAndChangesNothing) {
  std::vector<PrintReport> nested;
  bool runningInside = false;
  follower.betweenDocuments = [&] {
    runningInside = controller.running();
    Follower other;
    nested.push_back(controller.run(*findPreset("BitBtn8"), other));
  };
  const PrintReport report = click("BitBtn1");
  ASSERT_EQ(nested.size(), 6u);
  for (const PrintReport& r : nested) {
    EXPECT_EQ(r.status, Status::Refused);
    EXPECT_EQ(r.documentsEnded, 0);
  }
  EXPECT_TRUE(runningInside);
  EXPECT_EQ(report.status, Status::Delivered);
  EXPECT_EQ(report.documentsEnded, 6);
  EXPECT_EQ(outputsMade, 1);
  EXPECT_EQ(session.settings.shurui, 0);  // BitBtn8 would have set kind 1
  EXPECT_EQ(pdfPages(pdf.data()), 6);
  EXPECT_FALSE(controller.running());
}

// The printer output when the printer prints to a file: the sheets become numbered files, and the
// report carries the output's notice and folder for the window to show.
TEST(PrintControllerSavedTest, TheOutputsSavedNoticeAndFolderArePassedOn) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(dir.filePath("sheet.pdf"));
  Random rng(5);
  Session session(ImageSet::builtIn(), rng);
  session.settings.SpinEdit1 = 2;
  PrintController controller(session, [&printer] { return printerRun(printer); });
  Follower follower;
  const PrintReport report = controller.run(*findPreset("BitBtn1"), follower);
  EXPECT_EQ(report.status, Status::Delivered);
  EXPECT_EQ(report.documentsEnded, 2);
  EXPECT_EQ(report.savedFolder, QDir(dir.path()).absolutePath());
  EXPECT_EQ(report.savedNotice, QStringLiteral("2枚をPDFファイルに保存しました。\n保存先: %1")
                                    .arg(QDir::toNativeSeparators(dir.path())));
  EXPECT_EQ(QDir(dir.path()).entryList({"sheet-*.pdf"}, QDir::Files),
            (QStringList{"sheet-001.pdf", "sheet-002.pdf"}));
}

// With a preview, the run is drawn first and printed exactly as shown: for a fixed seed the bytes are
// those of a direct run, problems and clip-art alike; declined, nothing is printed.
TEST(PrintControllerPreviewTest, ThePreviewPathPrintsTheSameBytesAsTheDirectPath) {
  struct Outcome {
    QByteArray pdf;
    PrintReport report;
    int previewed = -1;  ///< documents the preview was shown; -1: not shown
  };
  const auto print = [](const char* button, std::optional<bool> confirm, std::uint64_t seed = 4242) {
    Outcome outcome;
    QBuffer out(&outcome.pdf);
    out.open(QIODevice::WriteOnly);
    Random rng(seed);
    Session session(ImageSet::builtIn(), rng);
    session.settings.SpinEdit1 = 3;
    session.settings.CheckBox15 = true;
    session.settings.CheckBox16 = true;
    PrintController controller(session, [&out] {
      return pdfRun(out, a4PagePixels(), QDateTime::fromSecsSinceEpoch(0, QTimeZone::utc()));
    });
    Follower follower;
    PrintController::PreviewConfirm preview;
    if (confirm) {
      preview = [&outcome, answer = *confirm](const RecordedRun& run) {
        outcome.previewed = run.documents();
        return answer;
      };
    }
    outcome.report = controller.run(*findPreset(button), follower, {}, preview);
    return outcome;
  };
  for (const char* button : {"BitBtn13", "BitBtn136", "BitBtn126", "BitBtn132"}) {
    SCOPED_TRACE(button);
    const Outcome direct = print(button, std::nullopt);
    const Outcome previewed = print(button, true);
    EXPECT_EQ(direct.report.status, Status::Delivered);
    EXPECT_EQ(previewed.report.status, Status::Delivered);
    EXPECT_EQ(previewed.previewed, 6);
    EXPECT_EQ(previewed.report.documentsEnded, 6);
    EXPECT_EQ(pdfPages(previewed.pdf), 6);
    EXPECT_TRUE(previewed.pdf == direct.pdf);

    const Outcome declined = print(button, false);
    EXPECT_EQ(declined.report.status, Status::Declined);
    EXPECT_EQ(declined.previewed, 6);
    EXPECT_EQ(declined.report.documentsEnded, 0);
    EXPECT_TRUE(declined.pdf.isEmpty());
  }
  // Another seed prints other sheets: equal bytes above mean the same problems and pictures.
  EXPECT_TRUE(print("BitBtn13", std::nullopt, 4243).pdf != print("BitBtn13", std::nullopt).pdf);
}

// 300 sheets with answers on the printer output without any printer (the sheets become files in a
// folder of their own), cancelled midway: every もんだい file is followed by its こたえ, and the names
// sort in print order also past 999.
TEST(PrintControllerFilesTest, ACancelledRunWithoutAPrinterKeepsWholePairsInItsOneFile) {
  QTemporaryDir home;
  ASSERT_TRUE(home.isValid());
  qputenv("HOME", home.path().toUtf8());
  qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toUtf8());
  qputenv("CUPS_SERVER", (home.path() + "/no-spooler.sock").toUtf8());
  QPrinter printer(QPrinter::HighResolution);
  preparePrinter(printer);
  struct Case {
    int sheets;
    int cancelAfter;
  };
  for (const Case& c : {Case{300, 151}, Case{600, 7}}) {
    SCOPED_TRACE(c.sheets);
    Random rng(77);
    Session session(ImageSet::builtIn(), rng);
    session.settings.SpinEdit1 = c.sheets;
    session.settings.CheckBox15 = true;
    PrintController controller(session, [&printer] { return printerRun(printer); });
    Follower follower;
    follower.cancelAfter = c.cancelAfter;
    const PrintReport report = controller.run(*findPreset("BitBtn75"), follower);
    EXPECT_EQ(report.status, Status::Cancelled);
    EXPECT_EQ(report.sheetsExpected, c.sheets);
    const int ended = c.cancelAfter + 1;
    EXPECT_EQ(report.documentsEnded, ended);
    EXPECT_EQ(report.sheetsEnded, ended / 2);
    // One file, named by the run as planned, holding the pages that were made, pairs whole.
    const QStringList files =
        QDir(report.savedFolder).entryList({QStringLiteral("*_%1枚_*.pdf").arg(c.sheets)}, QDir::Files);
    ASSERT_EQ(files.size(), 1);
    QFile file(QDir(report.savedFolder).filePath(files.first()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(pdfPages(file.readAll()), ended);
    EXPECT_TRUE(report.savedNotice.contains(
        QStringLiteral("%1枚（答えを含め%2ページ）を保存しました").arg(ended / 2).arg(ended)))
        << report.savedNotice.toStdString();
    EXPECT_TRUE(report.savedNotice.contains(QDir::toNativeSeparators(file.fileName())));
  }
}

}  // namespace
}  // namespace kirune
