// The window printing on the application's printer object through the real spooler of the test
// fixture, on the offscreen platform: a click gives one confirmed job per document; a refusing queue
// is reported and the window is usable afterwards; without a spooler the sheets become files and the
// window says where, with a button that opens the folder.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QMessageBox>
#include <QPrinter>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QtTest>
#include <functional>
#include <memory>

#include "app/main_window.h"
#include "printing/document_sinks.h"
#include "printing/print_run.h"
#include "render/image_set.h"
#include "tests/printing/spooler_helpers.h"
#include "tests/support/url_catcher.h"

namespace kirune {
namespace {

using namespace kirune::spool;

// The next message box the click opens: its text, answered with the button whose text is `press`
// (any button when there is none such).
struct BoxWatch {
  QString text;
  bool seen = false;
};
std::shared_ptr<BoxWatch> watchNextBox(const QString& press = {}) {
  auto watch = std::make_shared<BoxWatch>();
  auto* timer = new QTimer;
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, watch, press] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    timer->stop();
    timer->deleteLater();
    watch->text = box->text();
    watch->seen = true;
    QAbstractButton* button = box->buttons().first();
    for (QAbstractButton* b : box->buttons()) {
      if (b->text() == press) button = b;
    }
    button->click();
  });
  timer->start();
  return watch;
}

class WindowPrinterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(useFixtureSpooler(home));
    // The application's printer object, made as the program makes it: the default printer.
    printer = applicationPrinter();
    window = std::make_unique<TForm1>(ImageSet::builtIn(), *printer, [this] { return printerRun(*printer); });
    window->setProgressDelay(600000);
    window->showCentred();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    qobject_cast<QSpinBox*>(window->control("SpinEdit1"))->setValue(3);
    qobject_cast<QCheckBox*>(window->control("CheckBox15"))->setChecked(true);
  }

  void clickPreset() { QTest::mouseClick(window->presetButton("BitBtn1"), Qt::LeftButton); }

  QTemporaryDir home;
  std::unique_ptr<QPrinter> printer;
  std::unique_ptr<TForm1> window;
  test::UrlCatcher urls;  // the addresses the window asks the desktop to open
};

TEST_F(WindowPrinterTest, AClickGivesOneConfirmedJobPerDocument) {
  ASSERT_EQ(printer->printerName(), QStringLiteral("kirune-pdf"));
  const int mark = lastJob();
  // A run of several sheets ends with a word of where they went; Enter (the only button) dismisses it.
  auto box = watchNextBox();
  clickPreset();
  ASSERT_TRUE(box->seen);
  EXPECT_THAT(box->text.toStdString(), ::testing::MatchesRegex("3枚をプリンタ「.+」で印刷しました。"));
  const QList<int> jobs = jobsAfter(mark);
  ASSERT_EQ(jobs.size(), 6);
  EXPECT_EQ(jobTitles(jobs).first(), "くりあがりなし ２０ 1/3 もんだい");
  EXPECT_EQ(jobTitles(jobs).last(), "くりあがりなし ２０ 3/3 こたえ");
  const QStringList files = spooledFiles(jobs);
  ASSERT_EQ(files.size(), 6);
  for (const QString& file : files) {
    EXPECT_EQ(pdfPages(file), 1) << file.toStdString();
    EXPECT_GE(pdfImages(file), 10) << file.toStdString();
  }
  EXPECT_TRUE(window->isEnabled());
  EXPECT_FALSE(QDir(home.path() + "/Documents").exists());
}

TEST_F(WindowPrinterTest, ARefusingQueueIsReportedAndTheWindowStaysUsable) {
  admin({"cupsreject", "kirune-pdf"});
  const int mark = lastJob();
  auto box = watchNextBox();
  clickPreset();
  admin({"cupsaccept", "kirune-pdf"});
  ASSERT_TRUE(box->seen);
  EXPECT_THAT(box->text.toStdString(), ::testing::HasSubstr("印刷できませんでした。"));
  EXPECT_THAT(box->text.toStdString(),
              ::testing::HasSubstr(
                  "プリンタ「kirune-pdf」が印刷を受け付けていません。1枚目（問題用紙）から6枚目までは"
                  "印刷されていません。"));
  EXPECT_EQ(jobsAfter(mark).size(), 0);
  EXPECT_TRUE(window->isEnabled());
  EXPECT_FALSE(window->printing());

  // The queue accepts again: the next click prints.
  box = watchNextBox();
  clickPreset();
  EXPECT_TRUE(box->seen);
  EXPECT_EQ(jobsAfter(mark).size(), 6);
}

TEST_F(WindowPrinterTest, WithoutASpoolerTheWindowSaysWhereTheFilesAreAndOpensTheFolder) {
  useSpooler(QDir::tempPath() + "/kirune-no-such-spooler.sock");
  auto box = watchNextBox(QStringLiteral("フォルダを開く"));
  clickPreset();
  ASSERT_TRUE(box->seen);
  const QDir root(home.path() + "/Documents/Kirune");
  const QStringList files = root.entryList(QDir::Files);
  ASSERT_EQ(files.size(), 1);
  EXPECT_THAT(box->text.toStdString(), ::testing::HasSubstr("3枚（答えを含め6ページ）を保存しました"));
  EXPECT_THAT(box->text.toStdString(), ::testing::HasSubstr(root.filePath(files.first()).toStdString()));
  EXPECT_EQ(pdfPages(root.filePath(files.first())), 6);
  ASSERT_EQ(urls.urls.size(), 1);
  EXPECT_EQ(urls.urls.first(), QUrl::fromLocalFile(root.path()));
  EXPECT_TRUE(window->isEnabled());
}

}  // namespace
}  // namespace kirune
