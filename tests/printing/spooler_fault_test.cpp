// kirune-print --printer and the window's print controller against a private spooler that misbehaves
// mid-run: stopped (SIGSTOP), killed, or with a queue whose device fails after taking the job. In each,
// the sheets reported printed are jobs the spooler completed, the run ends within a bounded time, no
// sheet goes to PDF files instead, and the controller's cancel works while the spooler is stalled.
// KIRUNE_SPOOLER_TIMEOUT_MS keeps the stalls short.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <csignal>
#include <functional>
#include <memory>
#include <optional>

#include "app/main_window.h"
#include "app/print_controller.h"
#include "printing/document_sinks.h"
#include "printing/print_run.h"
#include "problems/random.h"
#include "render/image_set.h"
#include "render/presets.h"
#include "render/session.h"
#include "tests/printing/spooler_helpers.h"

namespace kirune {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using namespace kirune::spool;

constexpr const char* kAskMs = "400";  // the ask limit of the runs; a document gets 12 times it

// The IPP state of each of `ids` (9 completed), on the spooler CUPS_SERVER names.
QList<int> jobStates(const QList<int>& ids) {
  cups_job_t* jobs = nullptr;
  const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, nullptr, 0, CUPS_WHICHJOBS_ALL);
  QList<int> states;
  for (int id : ids) {
    int state = 0;
    for (int i = 0; i < count; ++i) {
      if (jobs[i].id == id) state = jobs[i].state;
    }
    states << state;
  }
  cupsFreeJobs(count, jobs);
  return states;
}

// The documents a message names as printed: "1〜3枚目、5枚目はプリンタに送りました".
QList<int> reportedPrinted(const QString& message) {
  QList<int> documents;
  const QRegularExpressionMatch sent =
      QRegularExpression(QStringLiteral("([0-9〜枚目、]+)はプリンタに送りました")).match(message);
  if (!sent.hasMatch()) return documents;
  for (const QString& part : sent.captured(1).split(QStringLiteral("、"))) {
    const QStringList ends = QString(part).remove(QStringLiteral("枚目")).split(QStringLiteral("〜"));
    for (int n = ends.first().toInt(); n <= ends.last().toInt(); ++n) documents << n;
  }
  return documents;
}

// A spooler of the test's own that can be stopped, continued and killed.
class FaultySpooler : public ExtraSpooler {
 public:
  using ExtraSpooler::ExtraSpooler;
  void signal(int number) {
    QFile file(dir() + "/cupsd.pid");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const pid_t group = file.readAll().trimmed().toInt();
    ASSERT_GT(group, 1);
    ASSERT_EQ(::kill(-group, number), 0);
  }
  // Lets a stopped spooler go on; nothing for one that is gone.
  void resume() {
    QFile file(dir() + "/cupsd.pid");
    if (file.open(QIODevice::ReadOnly)) ::kill(-file.readAll().trimmed().toInt(), SIGCONT);
  }
};

// A message for the user says everything in Japanese: apart from the queue's name, the program's and
// CUPS, no Latin letter, so none of the spooler's own (English) words and no success status.
void expectPlainJapanese(QString message, const QString& queue) {
  message.remove(queue).remove(QStringLiteral("kirune-print")).remove(QStringLiteral("CUPS"));
  EXPECT_FALSE(message.contains(QRegularExpression(QStringLiteral("[A-Za-z]")))) << message.toStdString();
}

// The states of the jobs of `queue`, once none of them is still on its way.
QList<int> settledStates(const char* queue) {
  QList<int> states;
  for (int i = 0; i < 600; ++i) {
    states = jobStates(jobsAfter(0, queue));
    if (std::all_of(states.begin(), states.end(), [](int s) { return s >= IPP_JSTATE_STOPPED; })) break;
    QThread::msleep(50);
  }
  return states;
}

class SpoolerFaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(spoolerDir().isEmpty()) << "run through ctest: the fixture starts the spooler";
    ASSERT_TRUE(home.isValid());
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toUtf8());
    qputenv("KIRUNE_SPOOLER_TIMEOUT_MS", kAskMs);
    spooler.start();
    useSpooler(spooler.socket());
  }
  void TearDown() override { spooler.resume(); }

  // Starts kirune-print printing `sheets` sheets on the default queue, given a minute to end.
  static std::unique_ptr<test::Program> startPrint(int sheets) {
    test::RunOptions options;
    options.timeout = std::chrono::seconds(60);
    return std::make_unique<test::Program>(
        test::argv(QStringLiteral(KIRUNE_PRINT),
                   {"BitBtn1", "--set", QStringLiteral("SpinEdit1=%1").arg(sheets), "--printer", "default"}),
        options);
  }

  // Waits until the spooler holds `count` jobs (or more).
  bool waitForJobs(int count) {
    for (int i = 0; i < 600; ++i) {
      if (jobsAfter(0).size() >= count) return true;
      QThread::msleep(20);
    }
    return false;
  }

  // The jobs of the spooler and their states, once it has run again and finished them.
  static std::pair<QList<int>, QList<int>> settledJobs() {
    QList<int> jobs;
    for (int i = 0; i < 600; ++i) {
      jobs = jobsAfter(0);
      const QList<int> states = jobStates(jobs);
      if (std::all_of(states.begin(), states.end(), [](int s) { return s >= IPP_JSTATE_STOPPED; })) break;
      QThread::msleep(50);
    }
    return {jobs, jobStates(jobs)};
  }

  // After the spooler runs again and has finished: the documents reported printed are completed
  // jobs, and the jobs it completed are those reported printed or unknown.
  void expectReportMatchesSpooler(const QString& message, int unknownAllowed) {
    const QList<int> printed = reportedPrinted(message);
    const auto [jobs, states] = settledJobs();
    int completed = 0;
    for (int i = 0; i < jobs.size(); ++i) {
      if (states[i] == IPP_JSTATE_COMPLETED) ++completed;
      // Jobs are made in print order, one per document.
      if (printed.contains(i + 1)) {
        EXPECT_EQ(states[i], IPP_JSTATE_COMPLETED) << "document " << i + 1;
      }
    }
    EXPECT_GE(completed, printed.size());
    EXPECT_LE(completed, printed.size() + unknownAllowed) << message.toStdString();
  }

  // What a run of BitBtn1 with `sheets` sheets on `queue` (empty: the default printer) said, through
  // the window's print controller or through kirune-print (which is to exit 1), and what the one or the
  // other reported.
  struct Outcome {
    QString message;
    std::optional<PrintReport> report;  // the controller's
  };
  static Outcome printThrough(bool window, const QString& queue, int sheets) {
    Outcome outcome;
    if (window) {
      Random rng(3);
      Session session(ImageSet::builtIn(), rng);
      session.settings.SpinEdit1 = sheets;
      PrintController controller(session, [&queue] { return queueRun(queue); });
      struct : PrintProgress {
        void documentBegun(int, int) override {}
        void documentEnded(int, int, int) override {}
        bool cancelRequested() override { return false; }
      } progress;
      outcome.report = controller.run(*findPreset("BitBtn1"), progress);
      outcome.message = outcome.report->message;
    } else {
      test::RunOptions options;
      options.timeout = std::chrono::seconds(60);
      const test::Ran print =
          test::run(QStringLiteral(KIRUNE_PRINT),
                    {"BitBtn1", "--seed", "1", "--set", QStringLiteral("SpinEdit1=%1").arg(sheets),
                     "--printer", queue.isEmpty() ? QStringLiteral("default") : queue},
                    1, options);
      outcome.message = QString::fromStdString(print.err);
    }
    return outcome;
  }

  QTemporaryDir home;
  FaultySpooler spooler{"faulty"};
};

TEST_F(SpoolerFaultTest, CliReportsAStalledSpoolerInBoundedTimeAndNeverFallsBackToFiles) {
  const auto print = startPrint(40);
  ASSERT_TRUE(waitForJobs(2));
  spooler.signal(SIGSTOP);
  QElapsedTimer clock;
  clock.start();
  // The hand-over limit (12 x 400 ms) and a short look at the jobs, well under the minute of libcups.
  const test::Ran ran = print->finish(1);
  ASSERT_FALSE(ran.timedOut);
  EXPECT_LT(clock.elapsed(), 15000);
  const QString err = QString::fromStdString(ran.err);
  EXPECT_THAT(err.toStdString(), HasSubstr("答えなくなりました"));
  EXPECT_THAT(err.toStdString(), Not(HasSubstr("保存しました")));
  EXPECT_THAT(err.toStdString(), Not(HasSubstr("Success")));
  EXPECT_FALSE(QDir(home.path() + "/Documents").exists());
  spooler.signal(SIGCONT);
  const QRegularExpressionMatch unknown =
      QRegularExpression(QStringLiteral("([0-9〜枚目、]+)は、印刷されたかどうかわかりません")).match(err);
  expectReportMatchesSpooler(err, unknown.hasMatch() ? 40 : 0);
}

TEST_F(SpoolerFaultTest, CliReportsAKilledSpoolerAndNeverFallsBackToFiles) {
  const auto print = startPrint(40);
  ASSERT_TRUE(waitForJobs(2));
  spooler.signal(SIGKILL);
  const test::Ran ran = print->finish(1);
  ASSERT_FALSE(ran.timedOut);
  const QString err = QString::fromStdString(ran.err);
  EXPECT_THAT(err.toStdString(), HasSubstr("印刷されていません"));
  EXPECT_FALSE(QDir(home.path() + "/Documents").exists());
}

TEST_F(SpoolerFaultTest, CliReportsAQueueDeletedMidRunAndNeverFallsBackToFiles) {
  const auto print = startPrint(40);
  ASSERT_TRUE(waitForJobs(2));
  admin({"lpadmin", "-x", "kirune-pdf"});
  const test::Ran ran = print->finish(1);
  ASSERT_FALSE(ran.timedOut);
  const QString err = QString::fromStdString(ran.err);
  EXPECT_THAT(err.toStdString(), HasSubstr("プリンタ「kirune-pdf」が見つかりません。"));
  // Deleting the queue cancels the jobs it still held and forgets the others: those count as not
  // printed or unknown, and the sheets after them up to the last as not printed.
  EXPECT_THAT(err.toStdString(), ::testing::MatchesRegex(".*40枚目(まで)?は印刷されていません。.*"));
  EXPECT_FALSE(QDir(home.path() + "/Documents").exists());
}

// The queue takes the job, and then its device or its filter fails. The job ends aborted, stopped with
// errors (a failed filter: job-completed-with-errors), or waits in a queue the failure stopped (a file
// device that cannot be written stops it whatever the queue's error policy). For kirune-print and for
// the window's print controller alike, the job does not count as printed, the message names the sheet
// and what happened in plain Japanese, the run ends in bounded time, nothing goes to PDF files, and no
// job is left that could still come out after the message said it had not.
TEST_F(SpoolerFaultTest, AJobThatFailsAfterTheSpoolerTookItIsNotCountedAsPrinted) {
  const QString model = QStringLiteral("lsb/usr/cups-pdf/CUPS-PDF_opt.ppd");
  struct Case {
    const char* name;
    QStringList queue;  ///< lpadmin's arguments for the queue's device and driver
    const char* policy;
    const char* message;
    int jobState;  ///< the first job's, once the run is over
  };
  const Case cases[] = {
      {"stopped",
       {"-v", "file:/nonexistent-kirune-dir/out.pdf", "-m", model},
       "stop-printer",
       "が止まったので、1枚目から先の印刷を取り消しました。",
       IPP_JSTATE_CANCELED},
      {"aborted",
       {"-v", "kirune-fail:/1", "-m", model},
       "abort-job",
       "が1枚目の印刷を途中でやめました（プリンタかその設定のエラー）。",
       IPP_JSTATE_ABORTED},
      {"filter",
       {"-v", "file:/dev/null", "-P", spooler.dir() + "/failing-filter.ppd"},
       "abort-job",
       "で1枚目の印刷がエラーで終わりました。",
       IPP_JSTATE_CANCELED},
  };
  for (const Case& c : cases) {
    for (const bool window : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (window ? " (print controller)" : " (kirune-print)"));
      const QString queue = QStringLiteral("kirune-%1-%2").arg(c.name, window ? "window" : "cli");
      admin(QStringList{"lpadmin", "-p", queue, "-E"} + c.queue);
      admin({"lpadmin", "-p", queue, "-o", QStringLiteral("printer-error-policy=%1").arg(c.policy)});

      QElapsedTimer clock;
      clock.start();
      const Outcome outcome = printThrough(window, queue, 3);
      const QString& message = outcome.message;
      if (outcome.report) {
        EXPECT_EQ(outcome.report->status, PrintReport::Status::Failed);
        EXPECT_EQ(outcome.report->fault, PrintReport::Fault::Undelivered);
        EXPECT_EQ(outcome.report->documentsPrinted, 0);
      }
      // Its jobs are followed to their end, which takes seconds here, not the minutes of a hang.
      EXPECT_LT(clock.elapsed(), 30000);
      EXPECT_THAT(message.toStdString(),
                  HasSubstr(QStringLiteral("プリンタ「%1」").arg(queue).toStdString() + c.message));
      EXPECT_THAT(message.toStdString(), HasSubstr("1枚目（問題用紙）から3枚目までは印刷されていません。"));
      EXPECT_THAT(message.toStdString(), Not(HasSubstr("プリンタに送りました")));
      expectPlainJapanese(message, queue);

      const QByteArray name = queue.toUtf8();
      const QList<int> states = settledStates(name.constData());
      ASSERT_FALSE(states.isEmpty());
      EXPECT_EQ(states.first(), c.jobState);
      for (int state : states) EXPECT_NE(state, IPP_JSTATE_COMPLETED);
      for (int state : states) EXPECT_NE(state, IPP_JSTATE_STOPPED) << "a stopped job could be restarted";
      EXPECT_FALSE(QDir(home.path() + "/Documents").exists());
    }
  }
}

// The spooler's folder for the documents it holds (its spool) fills up part way through a run: the run
// stops at the sheet the spooler could not take and says so, the sheets before it are printed and
// counted exactly, that sheet's job does not stay in the queue without its document, and no sheet goes
// to PDF files instead. The spool is a small tmpfs of a spooler of the test's own.
TEST_F(SpoolerFaultTest, AFullSpoolDiskStopsTheRunAtTheSheetItCouldNotTake) {
  constexpr int kSheets = 10;
  for (const bool window : {false, true}) {
    SCOPED_TRACE(window ? "print controller" : "kirune-print");
    ExtraSpooler full("full");
    QString why;
    // A sheet's PDF is about 100 kB: a few fit.
    if (!full.startOnTmpfs("400k", &why))
      GTEST_SKIP() << "no tmpfs can be mounted for the spool: " << why.toStdString();
    useSpooler(full.socket());

    const Outcome outcome = printThrough(window, QString(), kSheets);
    const QString& message = outcome.message;
    if (outcome.report) {
      EXPECT_EQ(outcome.report->status, PrintReport::Status::Failed);
      EXPECT_EQ(outcome.report->fault, PrintReport::Fault::Undelivered);
      EXPECT_TRUE(outcome.report->savedNotice.isEmpty());
    }
    const QRegularExpressionMatch refused =
        QRegularExpression(
            QStringLiteral("プリンタ「kirune-pdf」に(\\d+)枚目の印刷をことわられました"
                           "（印刷のしくみ（CUPS）の保存場所がいっぱいか、書類が大きすぎます）。"))
            .match(message);
    ASSERT_TRUE(refused.hasMatch()) << message.toStdString();
    const int sheet = refused.captured(1).toInt();
    EXPECT_GT(sheet, 1) << "the first sheets fit";
    EXPECT_LT(sheet, kSheets) << "the spool filled up";
    QList<int> before;
    for (int n = 1; n < sheet; ++n) before << n;
    EXPECT_EQ(reportedPrinted(message), before) << message.toStdString();
    if (outcome.report) {
      EXPECT_EQ(outcome.report->documentsPrinted, sheet - 1);
    }
    EXPECT_THAT(message.toStdString(),
                HasSubstr(QStringLiteral("%1枚目（問題用紙）から%2枚目までは印刷されていません。")
                              .arg(sheet)
                              .arg(kSheets)
                              .toStdString()));
    expectPlainJapanese(message, QStringLiteral("kirune-pdf"));
    // The spooler completed exactly the sheets before; the refused sheet's job, if it was made, is gone.
    const QList<int> states = settledStates("kirune-pdf");
    EXPECT_EQ(std::count(states.begin(), states.end(), int(IPP_JSTATE_COMPLETED)), sheet - 1);
    EXPECT_EQ(std::count(states.begin(), states.end(), int(IPP_JSTATE_CANCELED)),
              states.size() - (sheet - 1));
    EXPECT_FALSE(QDir(home.path() + "/Documents").exists());
  }
}

// kirune-print started while the spooler is already stalled: --printer says so within a few of its
// time limits (Qt's own spooler calls, which have none, are never made), and --pdf needs no spooler.
TEST_F(SpoolerFaultTest, KirunePrintStartedWhileTheSpoolerIsStalledEndsInBoundedTime) {
  spooler.signal(SIGSTOP);
  struct Case {
    QStringList output;
    int exitCode;
    const char* message;
  };
  const Case cases[] = {
      {{"--printer", "default"}, 1, "印刷のしくみ（CUPS）が1秒待っても答えません。"},
      {{"--printer", "kirune-pdf"}, 1, "印刷のしくみ（CUPS）が1秒待っても答えません。"},
      {{"--pdf", home.path() + "/sheets.pdf"}, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.output.join(' ').toStdString());
    QElapsedTimer clock;
    clock.start();
    test::RunOptions options;
    options.timeout = std::chrono::seconds(60);
    const test::Ran print =
        test::run(QStringLiteral(KIRUNE_PRINT), QStringList{"BitBtn1", "--set", "SpinEdit1=2"} + c.output,
                  c.exitCode, options);
    ASSERT_FALSE(print.timedOut);
    // A guard against hanging on the spooler, not a speed check: the run asks it a few times, each
    // within the ask limit.
    EXPECT_LT(clock.elapsed(), 15 * QByteArray(kAskMs).toInt());
    EXPECT_THAT(print.err, HasSubstr(c.message));
  }
  EXPECT_GT(QFileInfo(home.path() + "/sheets.pdf").size(), 0);
  EXPECT_FALSE(QDir(home.path() + "/Documents").exists());
}

// Cancels once the spooler has been stalled for a moment, and records how long the run took
// from there.
class StallCanceller final : public PrintProgress {
 public:
  explicit StallCanceller(FaultySpooler& spooler) : spooler_(spooler) {}
  void documentBegun(int, int) override {}
  void documentEnded(int number, int, int) override {
    if (number == 2) {
      spooler_.signal(SIGSTOP);
      stalled.start();
    }
  }
  bool cancelRequested() override { return stalled.isValid() && stalled.elapsed() > 150; }
  bool waitingForPrinter(int, int, int) override {
    ++waits;
    return cancelRequested();
  }

  QElapsedTimer stalled;
  int waits = 0;

 private:
  FaultySpooler& spooler_;
};

TEST_F(SpoolerFaultTest, ControllerCancelWorksWhileTheSpoolerIsStalled) {
  Random rng(3);
  Session session(ImageSet::builtIn(), rng);
  session.settings.SpinEdit1 = 20;
  PrintController controller(session, [] { return queueRun(QString()); });
  StallCanceller progress(spooler);
  const PrintReport report = controller.run(*findPreset("BitBtn1"), progress);
  ASSERT_TRUE(progress.stalled.isValid());
  // Cancelled soon into the stall, before the spooler's ask limit would end it; the run returns a few seconds
  // later at most.
  EXPECT_LT(progress.stalled.elapsed(), 150 + 3000);
  EXPECT_GT(progress.waits, 0);
  EXPECT_EQ(report.status, PrintReport::Status::Cancelled) << report.message.toStdString();
  EXPECT_TRUE(report.savedFolder.isEmpty());
  EXPECT_LE(report.documentsPrinted, 2);
  spooler.signal(SIGCONT);
  // Printed are only jobs the spooler completed; unknown ones may have completed or not.
  const QList<int> states = settledJobs().second;
  const auto completed = std::count(states.begin(), states.end(), int(IPP_JSTATE_COMPLETED));
  EXPECT_GE(completed, report.documentsPrinted);
  EXPECT_LE(completed, report.documentsPrinted + report.documentsUnknown);
}

TEST_F(SpoolerFaultTest, ControllerReportsAStalledSpoolerWithoutACancel) {
  Random rng(3);
  Session session(ImageSet::builtIn(), rng);
  session.settings.SpinEdit1 = 20;
  PrintController controller(session, [] { return queueRun(QString()); });
  struct StopAtSecond final : PrintProgress {
    FaultySpooler* spooler;
    QElapsedTimer stalled;
    void documentBegun(int, int) override {}
    void documentEnded(int number, int, int) override {
      if (number == 2) {
        spooler->signal(SIGSTOP);
        stalled.start();
      }
    }
    bool cancelRequested() override { return false; }
  } progress;
  progress.spooler = &spooler;
  const PrintReport report = controller.run(*findPreset("BitBtn1"), progress);
  EXPECT_LT(progress.stalled.elapsed(), 15000);
  EXPECT_EQ(report.status, PrintReport::Status::Failed);
  EXPECT_EQ(report.fault, PrintReport::Fault::Undelivered);
  EXPECT_THAT(report.message.toStdString(), HasSubstr("答えなくなりました"));
  EXPECT_TRUE(report.savedNotice.isEmpty());
  spooler.signal(SIGCONT);
  expectReportMatchesSpooler(report.message, report.documentsUnknown);
}

// The spooler killed or the queue deleted after the second sheet, under the window's print controller:
// the run fails with the sheet and what happened, and nothing goes to PDF files instead.
TEST_F(SpoolerFaultTest, ControllerReportsAKilledSpoolerOrADeletedQueueAndNeverFallsBackToFiles) {
  struct Case {
    const char* name;
    std::function<void(FaultySpooler&)> fault;
    const char* said;
  };
  const Case cases[] = {
      {"killed", [](FaultySpooler& s) { s.signal(SIGKILL); }, "印刷されていません"},
      {"queue deleted",
       [](FaultySpooler&) {
         admin({"lpadmin", "-x", "kirune-pdf"});
       },
       "プリンタ「kirune-pdf」が見つかりません。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    spooler.start();
    useSpooler(spooler.socket());
    Random rng(3);
    Session session(ImageSet::builtIn(), rng);
    session.settings.SpinEdit1 = 20;
    PrintController controller(session, [] { return queueRun(QString()); });
    struct FaultAtSecond final : PrintProgress {
      std::function<void()> fault;
      void documentBegun(int, int) override {}
      void documentEnded(int number, int, int) override {
        if (number == 2) fault();
      }
      bool cancelRequested() override { return false; }
    } progress;
    progress.fault = [&] { c.fault(spooler); };
    QElapsedTimer clock;
    clock.start();
    const PrintReport report = controller.run(*findPreset("BitBtn1"), progress);
    EXPECT_LT(clock.elapsed(), 30000);
    EXPECT_EQ(report.status, PrintReport::Status::Failed) << report.message.toStdString();
    EXPECT_THAT(report.message.toStdString(), HasSubstr(c.said));
    EXPECT_LE(report.documentsPrinted, 2);
    expectPlainJapanese(report.message, QStringLiteral("kirune-pdf"));
    EXPECT_TRUE(report.savedNotice.isEmpty());
    EXPECT_TRUE(report.savedFolder.isEmpty());
    EXPECT_FALSE(QDir(home.path() + "/Documents").exists());
  }
}

// Watches the window through a click: a timer beside it counts its ticks (they stop while the window's
// thread is held), runs `onTick`, answers the message box the click brings up and records its text,
// and closes a print dialog, recording the printer it came up with.
class WindowWatch {
 public:
  explicit WindowWatch(std::function<void()> onTick = {}) : onTick_(std::move(onTick)) {
    timer_.setInterval(20);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      ++ticks;
      if (onTick_) onTick_();
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        report = box->text();
        box->buttons().first()->click();
      }
      if (auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget())) {
        printDialogPrinter = dialog->printer()->printerName();
        printDialog = true;
        dialog->reject();
      }
    });
  }

  /// Clicks `button` and returns once the click's handler has returned: how long that took.
  qint64 click(QAbstractButton* button) {
    ticks = 0;
    report.clear();
    printDialog = false;
    QElapsedTimer clock;
    clock.start();
    timer_.start();
    QTest::mouseClick(button, Qt::LeftButton);
    timer_.stop();
    return clock.elapsed();
  }

  int ticks = 0;
  QString report;
  bool printDialog = false;
  QString printDialogPrinter;

 private:
  QTimer timer_;
  std::function<void()> onTick_;
};

// A guard against hanging on the spooler, not a speed check: what a click asks the stalled spooler
// is asked within the ask limit.
constexpr qint64 kStalledClickMs = 10 * 400;

// The window itself. While the spooler is stalled its event loop keeps running, the progress dialog
// appears, and its 中止 ends the run within a few seconds. A click made while the spooler is already
// stalled is reported as such in bounded time, and so is a click on プリンタ設定, whose dialog (Qt's,
// which asks the spooler without any limit) does not open then.
TEST_F(SpoolerFaultTest, TheWindowStaysUsableAndItsCancelWorksWhileTheSpoolerIsStalled) {
  const std::unique_ptr<QPrinter> printer = applicationPrinter();
  TForm1 window(ImageSet::builtIn(), *printer, [&printer] { return printerRun(*printer); });
  window.setProgressDelay(0);
  window.showCentred();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  qobject_cast<QSpinBox*>(window.control("SpinEdit1"))->setValue(20);

  QElapsedTimer stalled;
  QElapsedTimer cancelled;
  int stalledTicks = 0;
  WindowWatch watch([&] {
    if (stalled.isValid()) ++stalledTicks;
    if (!stalled.isValid() && jobsAfter(0).size() >= 2) {
      spooler.signal(SIGSTOP);
      stalled.start();
    }
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* dialog = qobject_cast<QProgressDialog*>(widget);
      if (dialog && dialog->isVisible() && stalled.isValid() && stalled.elapsed() > 150 &&
          !cancelled.isValid()) {
        cancelled.start();
        // As the teacher does: a click on its 中止 button.
        QPushButton* button = dialog->findChild<QPushButton*>();
        ASSERT_NE(button, nullptr);
        button->click();
      }
    }
  });
  watch.click(window.presetButton("BitBtn1"));
  ASSERT_TRUE(stalled.isValid());
  ASSERT_TRUE(cancelled.isValid()) << "the progress dialog never came up during the stall";
  EXPECT_LT(cancelled.elapsed(), 4000);
  // The event loop ran during the stall: the timer kept ticking until the cancel and after it.
  EXPECT_GT(stalledTicks, 5);
  EXPECT_THAT(watch.report.toStdString(), HasSubstr("印刷を中止しました。"));
  EXPECT_TRUE(window.isEnabled());
  EXPECT_FALSE(window.printing());

  // The spooler is still stalled: the next click says so.
  EXPECT_LT(watch.click(window.presetButton("BitBtn1")), kStalledClickMs);
  EXPECT_GT(watch.ticks, 5);
  EXPECT_THAT(watch.report.toStdString(), HasSubstr("印刷のしくみ（CUPS）が1秒待っても答えません。"));
  EXPECT_THAT(watch.report.toStdString(), HasSubstr("1枚目（問題用紙）から20枚目までは印刷されていません。"));
  EXPECT_LT(watch.click(qobject_cast<QPushButton*>(window.control("BitBtn25"))), kStalledClickMs);
  EXPECT_THAT(watch.report.toStdString(),
              HasSubstr("印刷のしくみ（CUPS）が答えないので、プリンタ設定を開けません。"));
  EXPECT_FALSE(watch.printDialog);
  EXPECT_FALSE(QDir(home.path() + "/Documents").exists());
  EXPECT_TRUE(window.isEnabled());
}

// The program started while the spooler is stalled: its printer is made without asking the spooler
// anything through Qt, in bounded time, and bound to no queue. A click is reported as a stalled spooler,
// never turned into PDF files; once the spooler answers again, a click prints on the default queue and
// プリンタ設定 opens on it.
TEST_F(SpoolerFaultTest, AWindowStartedWhileTheSpoolerIsStalledPrintsOnceItAnswers) {
  spooler.signal(SIGSTOP);
  QElapsedTimer clock;
  clock.start();
  const std::unique_ptr<QPrinter> printer = applicationPrinter();
  EXPECT_LT(clock.elapsed(), kStalledClickMs);
  EXPECT_TRUE(printer->printerName().isEmpty());
  TForm1 window(ImageSet::builtIn(), *printer, [&printer] { return printerRun(*printer); });
  window.setProgressDelay(600000);
  window.showCentred();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  qobject_cast<QSpinBox*>(window.control("SpinEdit1"))->setValue(2);

  WindowWatch watch;
  EXPECT_LT(watch.click(window.presetButton("BitBtn1")), kStalledClickMs);
  EXPECT_GT(watch.ticks, 5);
  EXPECT_THAT(watch.report.toStdString(), HasSubstr("印刷のしくみ（CUPS）が1秒待っても答えません。"));
  EXPECT_FALSE(QDir(home.path() + "/Documents").exists());

  spooler.signal(SIGCONT);
  watch.click(window.presetButton("BitBtn1"));
  EXPECT_THAT(watch.report.toStdString(), HasSubstr("2枚をプリンタ「"));
  const QList<int> jobs = jobsAfter(0);
  EXPECT_EQ(jobStates(jobs), QList<int>(2, IPP_JSTATE_COMPLETED));
  watch.click(qobject_cast<QPushButton*>(window.control("BitBtn25")));
  EXPECT_TRUE(watch.printDialog);
  EXPECT_EQ(watch.printDialogPrinter, QStringLiteral("kirune-pdf"));
  EXPECT_FALSE(QDir(home.path() + "/Documents").exists());
}

}  // namespace
}  // namespace kirune
