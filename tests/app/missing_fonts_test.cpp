// The window on a system where fontconfig finds no font at all: it says which fonts are missing in one
// message box, after the window has shown what it looks like without them, and goes on: its clicks
// print, and the notice does not come again.
#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QFontDatabase>
#include <QMessageBox>
#include <QPrinter>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "app/main_window.h"
#include "app/window_fonts.h"
#include "printing/document_sinks.h"
#include "printing/print_run.h"
#include "render/image_set.h"
#include "tests/support/offscreen_app.h"

namespace kirune {
namespace {

// A run into a PDF in memory, kept in `out` when it finishes.
class MemoryPdfRun final : public PrintRun {
 public:
  explicit MemoryPdfRun(QByteArray& out)
      : out_(out), run_((buffer_.open(QIODevice::WriteOnly), pdfRun(buffer_))) {}
  PageCanvas& canvas() override { return run_->canvas(); }
  void finish() override {
    run_->finish();
    out_ = buffer_.data();
  }

 private:
  QByteArray& out_;
  QBuffer buffer_;
  std::unique_ptr<PrintRun> run_;
};

}  // namespace

class MissingFontsTest : public QObject {
  Q_OBJECT

 private slots:
  void theWindowSaysSoOnceAndGoesOn() {
    QVERIFY2(!QFontDatabase::hasFamily(QStringLiteral("Klee One")),
             "the test's font configuration finds fonts");
    const std::unique_ptr<QPrinter> printer = unboundPrinter();
    QByteArray pdf;
    TForm1 window(ImageSet::builtIn(), *printer, [&pdf] { return std::make_unique<MemoryPdfRun>(pdf); });

    QStringList notices;
    bool windowShownFirst = false;
    QTimer answer;
    answer.setInterval(10);
    QObject::connect(&answer, &QTimer::timeout, [&] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        if (box->text().contains(QStringLiteral("フォントが見つかりません"))) {
          notices << box->text();
          windowShownFirst = window.isVisible();
        }
        box->buttons().first()->click();
      }
    });
    answer.start();

    // Asked before the window shows, told only once the event loop runs, over the window as it looks.
    tellMissingFonts(window);
    window.showCentred();
    QTRY_COMPARE(notices.size(), 1);
    QVERIFY(windowShownFirst);
    QVERIFY2(notices.first().contains(QStringLiteral("Klee One")), qPrintable(notices.first()));
    QVERIFY2(notices.first().contains(QStringLiteral("IPAPGothic")), qPrintable(notices.first()));

    // The window goes on: a click prints its sheet, drawn with whatever font Qt finds.
    qobject_cast<QSpinBox*>(window.control("SpinEdit1"))->setValue(1);
    QTest::mouseClick(window.presetButton("BitBtn13"), Qt::LeftButton);
    QVERIFY(pdf.startsWith("%PDF"));
    QVERIFY(window.isEnabled());
    QTest::qWait(100);
    QCOMPARE(notices.size(), 1);
  }
};

}  // namespace kirune

int main(int argc, char** argv) {
  // A font configuration that finds no font at all, in place before Qt reads any.
  QTemporaryDir fonts;
  QFile conf(fonts.filePath(QStringLiteral("fonts.conf")));
  if (!fonts.isValid() || !conf.open(QIODevice::WriteOnly)) return 1;
  conf.write(("<?xml version=\"1.0\"?><fontconfig><dir>" + fonts.path() + "/none</dir><cachedir>" +
              fonts.path() + "/cache</cachedir></fontconfig>")
                 .toUtf8());
  conf.close();
  qputenv("FONTCONFIG_FILE", conf.fileName().toUtf8());
  const auto app = kirune::test::makeOffscreenApp(argc, argv, kirune::test::AppKind::Widgets);
  kirune::MissingFontsTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "missing_fonts_test.moc"
