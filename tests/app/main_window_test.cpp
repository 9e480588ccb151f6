#include <QAction>
#include <QBuffer>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QTimer>
#include <QUrl>
#include <QtTest>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <tuple>

#include "app/home_page.h"
#include "app/main_window.h"
#include "app/print_preview.h"
#include "app/qt_translation.h"
#include "kirune/version.h"
#include "printing/print_run.h"
#include "problems/controls.h"
#include "tests/support/offscreen_app.h"
#include "tests/support/url_catcher.h"

namespace kirune {
namespace {

QString closingMessage;  // the closing message of the last cancelled run

QString utf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// What the window's prints did, as seen through the canvas the window drew on.
struct PrintLog {
  int begun = 0;
  int ended = 0;
  int finishedRuns = 0;
  int failAtDocument = 0;           ///< beginDoc of this document throws PrinterError; 0: never
  std::vector<bool> windowEnabled;  ///< the window's state at each beginDoc
  std::vector<int> withTiles;       ///< withTiles at each beginDoc
  /// Whether the titles Label6 and Label7 are shown at each beginDoc.
  std::vector<std::pair<bool, bool>> tileTitles;
  QString savedFolder;  ///< when set, the runs say they saved their sheets there
  QByteArray lastPdf;
};

// Counts documents on their way to a real PDF canvas, and can fail like a printer.
class CountingCanvas final : public ForwardingCanvas {
 public:
  CountingCanvas(PageCanvas& inner, PrintLog& log, TForm1*& window)
      : ForwardingCanvas(inner), log_(log), window_(window) {}
  void beginDoc(const DocumentInfo& info) override {
    ++log_.begun;
    log_.windowEnabled.push_back(window_->isEnabled());
    log_.withTiles.push_back(window_->settings().withTiles);
    log_.tileTitles.emplace_back(!window_->control("Label6")->isHidden(),
                                 !window_->control("Label7")->isHidden());
    if (log_.begun == log_.failAtDocument) throw PrinterError("プリンタの用紙がありません");
    ForwardingCanvas::beginDoc(info);
  }
  void endDoc() override {
    ForwardingCanvas::endDoc();
    ++log_.ended;
  }

 private:
  PrintLog& log_;
  TForm1*& window_;
};

class CountingPdfRun final : public PrintRun {
 public:
  CountingPdfRun(PrintLog& log, TForm1*& window)
      : log_(log),
        pdf_((buffer_.open(QIODevice::WriteOnly), pdfRun(buffer_))),
        counting_(pdf_->canvas(), log, window) {}
  PageCanvas& canvas() override { return counting_; }
  void finish() override {
    pdf_->finish();
    ++log_.finishedRuns;
    log_.lastPdf = buffer_.data();
  }
  QString savedNotice() const override {
    return log_.savedFolder.isEmpty() ? QString() : QStringLiteral("保存先: ") + log_.savedFolder;
  }
  QString savedFolder() const override { return log_.savedFolder; }

 private:
  PrintLog& log_;
  QBuffer buffer_;
  std::unique_ptr<PrintRun> pdf_;
  CountingCanvas counting_;
};

// Runs `action` on the next modal dialog of type D once the current click has opened it.
template <typename D>
void onNextModal(std::function<void(D*)> action) {
  // Owned by the application, not by its own slot: a timer that held itself would never be freed.
  auto* timer = new QTimer(QCoreApplication::instance());
  timer->setInterval(0);
  QObject::connect(timer, &QTimer::timeout, [timer, action] {
    // The progress dialog is not modal: it is found among the visible windows.
    D* dialog = qobject_cast<D*>(QApplication::activeModalWidget());
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* d = qobject_cast<D*>(w); !dialog && d && d->isVisible()) dialog = d;
    }
    if (dialog) {
      timer->stop();
      timer->deleteLater();
      action(dialog);
    }
  });
  timer->start();
}

int pdfPages(const QByteArray& pdf) {
  return static_cast<int>(pdf.count("/Type /Page /"));  // page objects, not the page tree
}

}  // namespace

// Stands in for the desktop's browser: records every address the window asks it to open.
class MainWindowTest : public QObject {
  Q_OBJECT

 private:
  PrintLog log;
  QPrinter printer;
  std::unique_ptr<TForm1> window;
  TForm1* windowPtr = nullptr;

  template <typename W = QWidget>
  W* get(const char* name) {
    auto* w = qobject_cast<W*>(window->control(name));
    if (!w) qFatal("no control %s", name);
    return w;
  }
  void click(const char* name) { QTest::mouseClick(get(name), Qt::LeftButton); }
  bool checked(const char* name) { return get<QCheckBox>(name)->isChecked(); }

 private slots:
  void initTestCase() { QVERIFY(installQtJapanese(*qApp)); }

  void init() {
    log = PrintLog{};
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QDir::temp().filePath("kirune-window-test.pdf"));
    window = std::make_unique<TForm1>(ImageSet::builtIn(), printer,
                                      [this] { return std::make_unique<CountingPdfRun>(log, windowPtr); });
    windowPtr = window.get();
    window->showCentred();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
  }

  void cleanup() {
    window.reset();
    windowPtr = nullptr;
  }

  void startsWithTheDefaults() {
    QCOMPARE(window->windowTitle(), QString::fromUtf8(kVersionLine.data()));
    QCOMPARE(get<QLabel>("Label4")->text(), QString::fromUtf8(kVersionLine.data()));
    QVERIFY(!window->windowIcon().isNull());
    QCOMPARE(window->windowScalePercent(), 74);
    QCOMPARE(get<QSpinBox>("SpinEdit1")->value(), 1);
    QCOMPARE(get<QSpinBox>("SpinEdit4")->value(), 30);
    QCOMPARE(get<QSpinBox>("SpinEdit4")->minimum(), 1);
    QCOMPARE(get<QSpinBox>("SpinEdit4")->maximum(), 32);
    for (const char* on : {"CheckBox1", "CheckBox2", "CheckBox3"}) QVERIFY2(checked(on), on);
    for (const char* off : {"CheckBox4", "CheckBox15", "CheckBox16"}) QVERIFY2(!checked(off), off);
    for (int i = 5; i <= 25; ++i) {
      if (i == 15 || i == 16) continue;
      const QByteArray name = "CheckBox" + QByteArray::number(i);
      QVERIFY2(checked(name.constData()), name.constData());
    }
    const std::pair<const char*, int> radios[] = {{"z1", 0}, {"z2", 1}, {"z3", 0}, {"z4", 1}, {"trg", 0}};
    for (auto [name, item] : radios) {
      const QByteArray itemName = QByteArray(name) + QByteArray::number(item);
      QVERIFY2(get(name)->findChild<QRadioButton*>(itemName)->isChecked(), itemName.constData());
    }
    const Settings& s = window->settings();
    QCOMPARE(s.shurui, 0);
    QCOMPARE(s.mondaisuu(), 0);
    QCOMPARE(s.SpinEdit3(), 20);
    QCOMPARE(s.withTiles, 0);
    QVERIFY(get("mondaisuu")->isHidden());
    QVERIFY(get("Label6")->isVisible());
    QVERIFY(get("Label7")->isVisible());
    QVERIFY(get("Calendar1")->isVisible());
    // The window is the layout's client area for the screen it is on.
    const WindowLayout expected = computeWindowLayout(window->screen()->geometry().height(), 74);
    QCOMPARE(window->size(), QSize(expected.clientWidth, expected.clientHeight));
  }

  // Every caption is drawn in the Japanese gothic the window asks for, with a glyph for every character.
  void everyCaptionHasItsGlyphs() {
    QCOMPARE(QFontInfo(get("Label1")->font()).family(), QStringLiteral("IPAPGothic"));
    int captions = 0;
    for (QWidget* w : window->findChildren<QWidget*>()) {
      QString text;
      if (auto* label = qobject_cast<QLabel*>(w)) text = label->text();
      if (auto* button = qobject_cast<QPushButton*>(w)) text = button->text().remove('&');
      if (text.isEmpty() || w->isHidden()) continue;
      ++captions;
      const QFontMetrics metrics(w->font());
      for (char32_t c : text.toUcs4())
        QVERIFY2(metrics.inFontUcs4(c), qPrintable(w->objectName() + ": " + text));
    }
    QVERIFY(captions > 159 + 60);
  }

  // The window binds its widgets from the table of controls: each widget of the table's name takes the
  // table's range and writes the table's field, no other.
  void everyControlOfTheTableWritesItsOwnField() {
    for (const Control& c : controls()) {
      const std::string name(c.name);
      const int before = c.get(window->settings());
      int wanted = 1 - before;
      switch (c.kind) {
        case ControlKind::SpinBox: {
          auto* spin = get<QSpinBox>(name.c_str());
          QCOMPARE(spin->minimum(), c.min);
          QCOMPARE(spin->maximum(), c.max);
          wanted = before == c.max ? c.min : c.max;
          spin->setValue(wanted);
          break;
        }
        case ControlKind::CheckBox:
          click(name.c_str());
          break;
        case ControlKind::RadioGroup: {
          const QString item = QString::fromStdString(name) + QString::number(wanted);
          QTest::mouseClick(get(name.c_str())->findChild<QRadioButton*>(item), Qt::LeftButton);
          break;
        }
      }
      QVERIFY2(c.get(window->settings()) == wanted, name.c_str());
    }
  }

  void widgetsWriteTheSettings() {
    click("CheckBox15");
    QVERIFY(window->settings().CheckBox15);
    click("Label30");  // its caption works the box too
    QVERIFY(!window->settings().CheckBox15);
    get<QSpinBox>("SpinEdit1")->setValue(-4);
    QCOMPARE(window->settings().SpinEdit1, -4);
    QTest::mouseClick(get("z2")->findChild<QRadioButton*>("z20"), Qt::LeftButton);
    QCOMPARE(window->settings().z2, 0);
    // A radio item's text selects it, as the dot does.
    const std::pair<const char*, std::function<int()>> texts[] = {
        {"Label63", [this] { return window->settings().z2; }},
        {"Label54", [this] { return window->settings().trg; }},
        {"Label61", [this] { return window->settings().z1; }}};
    for (const auto& [label, value] : texts) {
      // The text is what a click there reaches: nothing lies over it.
      const QRect text = get(label)->geometry();
      for (const QPoint at : {text.center(), text.topLeft() + QPoint(1, 1)})
        QCOMPARE(window->childAt(at), get(label));
      QTest::mouseClick(get(label), Qt::LeftButton);
      QVERIFY2(value() == 1, label);
    }
    QTest::mouseClick(get("Label62"), Qt::LeftButton);
    QCOMPARE(window->settings().z2, 0);
    QVERIFY(get("z2")->findChild<QRadioButton*>("z20")->isChecked());
  }

  void everyPresetButtonFollowsItsTableRow() {
    const WindowLayout& layout = window->layout();
    std::set<QString> names;
    for (const Preset& p : presets()) {
      const QString name = utf8(p.button);
      QPushButton* button = window->presetButton(p.button);
      QVERIFY2(button, qPrintable(name));
      QVERIFY(names.insert(name).second);
      QCOMPARE(button->text(), utf8(p.caption));
      QCOMPARE(button->toolTip(), utf8(p.toolTip));
      QVERIFY(button->font().bold());
      const QColor expected = p.caption == "s18" ? QColor(255, 0, 0)
                              : p.tiles          ? QColor(0, 0, 255)
                                                 : QColor(0, 128, 0);
      QCOMPARE(button->palette().color(QPalette::ButtonText), expected);
      const PresetPlacement* at = layout.findPreset(p.gridRow, p.half, p.slot);
      QVERIFY(at);
      QCOMPARE(button->geometry(), QRect(at->left, at->top, at->width, at->height));
      QVERIFY(button->isVisible());
      QCOMPARE(window->rowTitle(p.gridRow, p.half)->text(), utf8(p.rowTitle));
    }
    QCOMPARE(names.size(), std::size_t{159});
  }

  void presetPrintsEverySheetAndItsAnswers() {
    get<QSpinBox>("SpinEdit1")->setValue(3);
    click("CheckBox15");
    QTest::mouseClick(window->presetButton("BitBtn1"), Qt::LeftButton);  // "２０" くりあがりなし
    QCOMPARE(log.ended, 6);
    QCOMPARE(log.finishedRuns, 1);
    QCOMPARE(pdfPages(log.lastPdf), 6);
    for (bool enabled : log.windowEnabled) QVERIFY(!enabled);
    QVERIFY(window->isEnabled());
    QCOMPARE(window->settings().shurui, 0);
    QCOMPARE(window->settings().mondaisuu(), 0);
    QCOMPARE(window->settings().SpinEdit3(), 20);

    QTest::mouseClick(window->presetButton("BitBtn8"), Qt::LeftButton);  // "４０" くりあがりなし(含10)
    QCOMPARE(log.ended, 12);
    QCOMPARE(window->settings().shurui, 1);
    QCOMPARE(window->settings().mondaisuu(), 1);
    QCOMPARE(window->settings().SpinEdit3(), 40);
  }

  // Nothing is printed, and the window says why in a teacher's words.
  void aClickThatPrintsNothingSaysWhy() {
    struct Case {
      const char* what;
      std::function<void()> arrange;
      const char* button;
      QString says;
    };
    const Case cases[] = {
        {"カット off", [this] { click("CheckBox3"); }, "BitBtn1",
         QStringLiteral("「カット」にチェックがないので印刷しません。")},
        {"0 sheets", [this] { get<QSpinBox>("SpinEdit1")->setValue(0); }, "BitBtn1",
         QStringLiteral("作成枚数が0です。")},
        {"-2 sheets", [this] { get<QSpinBox>("SpinEdit1")->setValue(-2); }, "BitBtn127",
         QStringLiteral("作成枚数が-2です。")},
        {"no times-table row", [this] { click("BitBtn116"); }, "BitBtn118",
         QStringLiteral("段を一つ以上選んでください。")},
        {"no number to decompose", [this] { click("BitBtn130"); }, "BitBtn132",
         QStringLiteral("分解する数を一つ以上選んでください。")},
    };
    for (const Case& c : cases) {
      cleanup();
      init();
      c.arrange();
      QString shown;
      onNextModal<QMessageBox>([&shown](QMessageBox* box) {
        shown = box->text();
        box->accept();
      });
      QTest::mouseClick(window->presetButton(c.button), Qt::LeftButton);
      QVERIFY2(shown.startsWith(c.says), qPrintable(QString(c.what) + ": " + shown));
      QCOMPARE(log.begun, 0);
      QCOMPARE(log.finishedRuns, 0);
      QVERIFY(window->isEnabled());
    }
  }

  void emptySelectionsChangeNothing() {
    QTest::mouseClick(window->presetButton("BitBtn79"), Qt::LeftButton);  // leave count item 3 behind
    const int kind = window->settings().shurui;
    const int item = window->settings().mondaisuu();
    const int printed = log.ended;
    const bool label7 = get("Label7")->isVisible();

    click("BitBtn116");  // 全uncheck of the times-table rows
    for (int i = 5; i <= 14; ++i) QVERIFY(!checked(("CheckBox" + QByteArray::number(i)).constData()));
    onNextModal<QMessageBox>([](QMessageBox* box) { box->accept(); });
    QTest::mouseClick(window->presetButton("BitBtn118"), Qt::LeftButton);  // かけ算九九 "２０"
    click("BitBtn130");  // 全uncheck of the numbers to decompose
    onNextModal<QMessageBox>([](QMessageBox* box) { box->accept(); });
    QTest::mouseClick(window->presetButton("BitBtn132"), Qt::LeftButton);  // 分解 "２０"
    QCOMPARE(log.ended, printed);
    QCOMPARE(window->settings().shurui, kind);
    QCOMPARE(window->settings().mondaisuu(), item);
    QCOMPARE(get("Label7")->isVisible(), label7);
    QVERIFY(window->isEnabled());

    click("BitBtn115");
    click("BitBtn129");
    for (int i = 5; i <= 25; ++i) {
      if (i != 15 && i != 16) QVERIFY(checked(("CheckBox" + QByteArray::number(i)).constData()));
    }
    QTest::mouseClick(window->presetButton("BitBtn118"), Qt::LeftButton);
    QCOMPARE(window->settings().shurui, 8);
    QCOMPARE(log.ended, printed + 1);
  }

  // More than 100 documents: one question first; No prints nothing, Yes prints them all.
  void aLargeRunIsConfirmedFirst() {
    get<QSpinBox>("SpinEdit1")->setValue(51);
    click("CheckBox15");
    QStringList asked;
    auto answer = [&asked](QMessageBox::StandardButton button) {
      onNextModal<QMessageBox>([&asked, button](QMessageBox* box) {
        asked << box->text();
        QCOMPARE(box->defaultButton(), box->button(QMessageBox::No));
        box->button(button)->click();
      });
    };
    answer(QMessageBox::No);
    QTest::mouseClick(window->presetButton("BitBtn1"), Qt::LeftButton);
    // The test's printer prints to a file: the question says where the files will go.
    QCOMPARE(asked, QStringList{QStringLiteral("51枚（答え別紙を含め102ページ）をフォルダ %1 の "
                                               "kirune-window-test-001.pdf から保存します。よろしいですか？")
                                    .arg(QDir::toNativeSeparators(QDir::tempPath()))});
    QCOMPARE(log.begun, 0);
    QCOMPARE(window->settings().shurui, 0);
    QVERIFY(window->isEnabled());

    answer(QMessageBox::Yes);
    QTest::mouseClick(window->presetButton("BitBtn1"), Qt::LeftButton);
    QCOMPARE(asked.size(), 2);
    QCOMPARE(log.ended, 102);

    // 100 documents exactly go without a question.
    get<QSpinBox>("SpinEdit1")->setValue(50);
    QTest::mouseClick(window->presetButton("BitBtn1"), Qt::LeftButton);
    QCOMPARE(asked.size(), 2);
    QCOMPARE(log.ended, 202);

    // Copies count: 40 pages made 3 times are asked about, and files say they make one of each.
    get<QSpinBox>("SpinEdit1")->setValue(20);
    printer.setCopyCount(3);
    answer(QMessageBox::No);
    QTest::mouseClick(window->presetButton("BitBtn1"), Qt::LeftButton);
    printer.setCopyCount(1);
    QCOMPARE(asked.size(), 3);
    QVERIFY2(asked.last().contains(QStringLiteral("20枚（答え別紙を含め40ページ）")),
             qPrintable(asked.last()));
    QVERIFY2(asked.last().contains(QStringLiteral("部数（3部）はファイルには使われません。")),
             qPrintable(asked.last()));

    // Without any printer the question says the run becomes one PDF in Documents/Kirune.
    qputenv("CUPS_SERVER", QDir::temp().filePath("kirune-no-such-spooler.sock").toLocal8Bit());
    printer.setOutputFileName({});
    get<QSpinBox>("SpinEdit1")->setValue(51);
    answer(QMessageBox::No);
    QTest::mouseClick(window->presetButton("BitBtn1"), Qt::LeftButton);
    qunsetenv("CUPS_SERVER");
    QCOMPARE(asked.size(), 4);
    QVERIFY2(asked.last().startsWith(QStringLiteral(
                 "プリンタが使えないので、51枚（答え別紙を含め102ページ）を1つのPDFファイルにして")),
             qPrintable(asked.last()));
    QCOMPARE(log.ended, 202);
  }

  // Both "タイルつき" titles stand before, during and after runs, a tile preset's included.
  void tileTitlesStay() {
    QTest::mouseClick(window->presetButton("BitBtn1"), Qt::LeftButton);
    QTest::mouseClick(window->presetButton("BitBtn136"), Qt::LeftButton);
    const std::vector<std::pair<bool, bool>> shown = {{true, true}, {true, true}};
    QCOMPARE(log.tileTitles, shown);
    QVERIFY(get("Label6")->isVisible());
    QVERIFY(get("Label7")->isVisible());
  }

  // Enter dismisses the saved-files message; the folder opens only on its own button, and a folder
  // that cannot be opened is said.
  void savedFilesMessageAndTheFolderButton() {
    log.savedFolder = QDir::tempPath();
    QString text;
    QString defaultText;
    onNextModal<QMessageBox>([&](QMessageBox* box) {
      text = box->text();
      defaultText = box->defaultButton()->text();
      QTest::keyClick(box, Qt::Key_Return);
    });
    {
      test::UrlCatcher catcher;
      QTest::mouseClick(window->presetButton("BitBtn1"), Qt::LeftButton);
      QVERIFY2(text.contains(QDir::tempPath()), qPrintable(text));
      QVERIFY(defaultText != QStringLiteral("フォルダを開く"));
      QCOMPARE(catcher.urls.size(), 0);

      onNextModal<QMessageBox>([](QMessageBox* box) {
        for (QAbstractButton* b : box->buttons())
          if (b->text() == QStringLiteral("フォルダを開く")) b->click();
      });
      QTest::mouseClick(window->presetButton("BitBtn1"), Qt::LeftButton);
      QCOMPARE(catcher.urls, QList<QUrl>{QUrl::fromLocalFile(QDir::tempPath())});
    }

    // Nothing to open a folder with (the offscreen platform has no desktop): the window says so.
    log.savedFolder = QDir::temp().filePath("kirune-no-such-folder");
    QString failure;
    onNextModal<QMessageBox>([&failure](QMessageBox* box) {
      onNextModal<QMessageBox>([&failure](QMessageBox* warning) {
        failure = warning->text();
        warning->accept();
      });
      for (QAbstractButton* b : box->buttons())
        if (b->text() == QStringLiteral("フォルダを開く")) b->click();
    });
    QTest::mouseClick(window->presetButton("BitBtn1"), Qt::LeftButton);
    QVERIFY2(failure.startsWith(QStringLiteral("フォルダを開けませんでした。")), qPrintable(failure));
  }

  // "印刷前に確認": the click shows its sheets in Qt's print preview first; its print button prints
  // those sheets on the window's own output, closing it prints nothing. Off, a click prints at once.
  void previewShowsTheSheetsBeforePrinting() {
    QVERIFY(!get<QCheckBox>("PreviewBox")->isChecked());
    get<QSpinBox>("SpinEdit1")->setValue(2);
    click("CheckBox15");
    click("PreviewLabel");  // its caption ticks it
    QVERIFY(get<QCheckBox>("PreviewBox")->isChecked());

    int pages = 0;
    QString title;
    onNextModal<QPrintPreviewDialog>([&](QPrintPreviewDialog* dialog) {
      QTRY_VERIFY(dialog->findChild<QPrintPreviewWidget*>()->pageCount() > 0);
      pages = dialog->findChild<QPrintPreviewWidget*>()->pageCount();
      title = dialog->windowTitle();
      QCOMPARE(log.begun, 0);  // nothing printed while it is shown
      dialog->reject();
    });
    QTest::mouseClick(window->presetButton("BitBtn13"), Qt::LeftButton);
    QCOMPARE(pages, 4);
    QVERIFY2(title.contains(QStringLiteral("印刷前に確認")), qPrintable(title));
    QCOMPARE(log.begun, 0);
    QCOMPARE(log.finishedRuns, 0);
    QVERIFY(window->isEnabled());

    onNextModal<QPrintPreviewDialog>([](QPrintPreviewDialog* dialog) {
      const QString print = QString::fromUtf8(kPreviewPrintText);
      for (QAction* action : dialog->findChildren<QAction*>()) {
        if (action->text() == print) action->trigger();
      }
    });
    QTest::mouseClick(window->presetButton("BitBtn13"), Qt::LeftButton);
    QCOMPARE(log.ended, 4);
    QCOMPARE(log.finishedRuns, 1);
    QCOMPARE(pdfPages(log.lastPdf), 4);
    for (bool enabled : log.windowEnabled) QVERIFY(!enabled);
    QVERIFY(window->isEnabled());

    click("PreviewBox");
    QTest::mouseClick(window->presetButton("BitBtn13"), Qt::LeftButton);  // no preview: prints at once
    QCOMPARE(log.ended, 8);
  }

  // The preview shows each 600-dpi page averaged down to its zoom: a thin stroke keeps its ink and
  // stays unbroken at every zoom a screen shows (Qt's own scaling drops whole rows of it).
  void previewPagesKeepThinStrokes() {
    QImage page(4960, 7016, QImage::Format_Grayscale8);
    page.fill(Qt::white);
    for (int y = 3000; y < 3004; ++y) std::memset(page.scanLine(y) + 500, 0, 3000);  // 4 samples thick
    const auto ink = [](const QImage& image, int top, int bottom) {
      double sum = 0;
      for (int y = top; y < bottom; ++y) {
        const uchar* row = image.constScanLine(y);
        for (int x = 0; x < image.width(); ++x) sum += 255 - row[x];
      }
      return sum;
    };
    const double pageInk = ink(page, 0, page.height()) / (4960.0 * 7016.0);
    for (const QSize shown : {QSize(420, 594), QSize(496, 701), QSize(640, 905), QSize(1240, 1754)}) {
      const QImage small = shrinkPage(page, shown);
      QCOMPARE(small.size(), shown);
      const double smallInk = ink(small, 0, small.height()) / (double(shown.width()) * shown.height());
      QVERIFY2(qAbs(smallInk - pageInk) < pageInk * 0.05, qPrintable(QString::number(smallInk / pageInk)));
      // Every column the stroke crosses is darker there than the paper around it.
      const int row = qRound(3002.0 * shown.height() / 7016.0);
      for (int x = qCeil(500.0 * shown.width() / 4960) + 1; x < (3500 * shown.width()) / 4960 - 1; ++x) {
        int darkest = 255;
        for (int y = row - 1; y <= row + 1; ++y) darkest = std::min(darkest, int(small.constScanLine(y)[x]));
        QVERIFY2(darkest < 240,
                 qPrintable(QStringLiteral("%1 wide, column %2: %3").arg(shown.width()).arg(x).arg(darkest)));
      }
    }
  }

  void decompositionFifteenThenTwenty() {
    QTest::mouseClick(window->presetButton("BitBtn131"), Qt::LeftButton);  // "１５"
    QCOMPARE(window->settings().mondaisuu(), 8);
    QCOMPARE(window->settings().SpinEdit3(), 15);
    QTest::mouseClick(window->presetButton("BitBtn132"), Qt::LeftButton);  // "２０"
    QCOMPARE(window->settings().shurui, 18);
    QCOMPARE(window->settings().mondaisuu(), 0);
    QCOMPARE(window->settings().SpinEdit3(), 20);
  }

  void tilePresetPrintsWithTilesOnlyDuringItsRun() {
    QTest::mouseClick(window->presetButton("BitBtn136"), Qt::LeftButton);  // tile "５"
    QTest::mouseClick(window->presetButton("BitBtn75"), Qt::LeftButton);   // "１０" without tiles
    QCOMPARE(log.withTiles, (std::vector<int>{1, 0}));
    QCOMPARE(window->settings().withTiles, 0);
    QCOMPARE(window->settings().SpinEdit3(), 10);
    QVERIFY(window->isEnabled());
  }

  void printerFailureIsReportedAndTheWindowRecovers() {
    get<QSpinBox>("SpinEdit1")->setValue(2);
    log.failAtDocument = 2;
    QString report;
    onNextModal<QMessageBox>([&report](QMessageBox* box) {
      report = box->text();
      box->accept();
    });
    QTest::mouseClick(window->presetButton("BitBtn151"), Qt::LeftButton);  // tile "s18"
    QVERIFY2(report.contains(QStringLiteral("印刷できませんでした")), qPrintable(report));
    QVERIFY2(report.contains(QStringLiteral("プリンタの用紙がありません")), qPrintable(report));
    QVERIFY2(report.contains(QStringLiteral("2 枚のうち 2 枚目")), qPrintable(report));
    QCOMPARE(log.finishedRuns, 0);
    QVERIFY(window->isEnabled());
    QCOMPARE(window->settings().withTiles, 0);
    QVERIFY(get("Label7")->isVisible());

    log.failAtDocument = 0;
    QTest::mouseClick(window->presetButton("BitBtn151"), Qt::LeftButton);
    QCOMPARE(log.finishedRuns, 1);
    QCOMPARE(pdfPages(log.lastPdf), 2);
  }

  // With answers on, the stop waits for the answer sheet of the problem sheet in hand; the progress and
  // the closing message count sheets as 作成枚数 does.
  void cancelStopsAfterTheSheetInHand() {
    window->setProgressDelay(0);
    get<QSpinBox>("SpinEdit1")->setValue(5);
    click("CheckBox15");
    QString shown;
    onNextModal<QProgressDialog>([&shown](QProgressDialog* dialog) {
      shown = dialog->labelText();
      QTest::mouseClick(dialog->findChild<QPushButton*>(), Qt::LeftButton);
      onNextModal<QMessageBox>([](QMessageBox* box) {
        closingMessage = box->text();
        box->accept();
      });
    });
    closingMessage.clear();
    QTest::mouseClick(window->presetButton("BitBtn1"), Qt::LeftButton);
    QVERIFY2(shown.contains(QStringLiteral("/ 5 枚")), qPrintable(shown));
    QVERIFY(log.ended >= 2);
    QVERIFY(log.ended < 10);
    QCOMPARE(log.ended % 2, 0);
    QCOMPARE(log.begun, log.ended);  // nothing half sent
    QVERIFY2(closingMessage.contains(QStringLiteral("中止")), qPrintable(closingMessage));
    QVERIFY2(closingMessage.contains(QStringLiteral("作成枚数5枚のうち%1枚（答えの用紙とあわせて%2枚）")
                                         .arg(log.ended / 2)
                                         .arg(log.ended)),
             qPrintable(closingMessage));
    QCOMPARE(log.finishedRuns, 1);
    QCOMPARE(pdfPages(log.lastPdf), log.ended);
    QVERIFY(window->isEnabled());
    QVERIFY(!window->printing());
  }

  // Closing the window during a run asks first; いいえ lets the run go on, はい stops it before the next
  // problem sheet (a sheet's answers kept with it) and then closes the window, with no report.
  void closingDuringARunAsksAndStops() {
    window->setProgressDelay(0);
    get<QSpinBox>("SpinEdit1")->setValue(5);
    click("CheckBox15");
    for (const bool stop : {false, true}) {
      log.begun = log.ended = 0;
      QString asked;
      int closeAt = 0;
      onNextModal<QProgressDialog>([&](QProgressDialog*) {
        closeAt = log.ended;
        onNextModal<QMessageBox>([&](QMessageBox* box) {
          asked = box->text();
          box->button(stop ? QMessageBox::Yes : QMessageBox::No)->click();
        });
        window->close();
      });
      QTest::mouseClick(window->presetButton("BitBtn1"), Qt::LeftButton);
      QCOMPARE(asked, QStringLiteral("印刷を中止して終了しますか？"));
      QCOMPARE(log.begun, log.ended);  // nothing half sent
      if (stop) {
        QVERIFY(log.ended < 10);
        QCOMPARE(log.ended % 2, 0);
        QVERIFY(log.ended >= closeAt);
        QVERIFY(!window->isVisible());
      } else {
        QCOMPARE(log.ended, 10);
        QVERIFY(window->isVisible());
      }
    }
  }

  // Tab goes through the preset area row by row and left to right, then down the settings column, and
  // reaches every preset; the control with the focus has an orange ring at least 2 pixels wide round it.
  void tabFollowsTheVisualOrderAndTheFocusIsRinged() {
    QApplication::setActiveWindow(window.get());
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    const int settingsLeft = window->layout().find("BitBtn167")->left;
    const int band = std::max(1, window->layout().R / 2);
    auto control = [this](QWidget* w) {
      while (w->parentWidget() && w->parentWidget() != window.get() &&
             !qobject_cast<QGroupBox*>(w->parentWidget()))
        w = w->parentWidget();
      return w;
    };
    auto key = [&](QWidget* w) {
      const QPoint at = w->mapTo(window.get(), QPoint(0, 0));
      return std::tuple(at.x() >= settingsLeft, at.y() / band, at.x());
    };
    // The zero choice of the first row stands highest in the preset area: the chain starts there.
    QWidget* first = window->findChild<QRadioButton*>(QStringLiteral("z10"));
    QVERIFY(first);
    first->setFocus(Qt::TabFocusReason);
    QCOMPARE(QApplication::focusWidget(), first);
    std::set<QWidget*> presetsSeen;
    for (int step = 0; step < 600; ++step) {
      const QWidget* ring = window->findChild<QWidget*>(QStringLiteral("FocusRing"));
      QWidget* now = control(QApplication::focusWidget());
      const QRect around = ring->geometry();
      const QRect inside(now->mapTo(window.get(), QPoint(0, 0)), now->size());
      QVERIFY2(ring->isVisible() && around.contains(inside) && around.left() <= inside.left() - 2 &&
                   around.right() >= inside.right() + 2,
               qPrintable(now->objectName()));
      if (auto* b = qobject_cast<QPushButton*>(now); b && window->presetButton(b->objectName().toStdString()))
        presetsSeen.insert(b);
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QWidget* next = control(QApplication::focusWidget());
      if (next == first) break;
      if (next != now)
        QVERIFY2(key(now) <= key(next), qPrintable(now->objectName() + " -> " + next->objectName()));
    }
    QCOMPARE(control(QApplication::focusWidget()), first);
    QCOMPARE(presetsSeen.size(), std::size_t{159});

    // A size button pressed from the keyboard moves with the window's new size, and its ring with it.
    auto* smaller = get<QPushButton>("BitBtn168");
    smaller->setFocus(Qt::TabFocusReason);
    const QPoint before = smaller->mapTo(window.get(), QPoint(0, 0));
    QTest::keyClick(smaller, Qt::Key_Space);
    const QRect now(smaller->mapTo(window.get(), QPoint(0, 0)), smaller->size());
    QVERIFY(now.topLeft() != before);
    QVERIFY(window->findChild<QWidget*>(QStringLiteral("FocusRing"))->geometry().contains(now));
  }

  void sizeButtonsStepAndClamp() {
    const int screenHeight = window->screen()->geometry().height();
    auto expectPercent = [&](int percent) {
      QCOMPARE(window->windowScalePercent(), percent);
      const WindowLayout l = computeWindowLayout(screenHeight, percent);
      QCOMPARE(window->size(), QSize(l.clientWidth, l.clientHeight));
      const QRect area = window->screen()->availableGeometry();
      QVERIFY(qAbs(window->frameGeometry().center().x() - area.center().x()) <= 1);
    };
    for (int expected : {79, 83, 83}) {
      click("BitBtn167");
      expectPercent(expected);
    }
    click("BitBtn169");
    expectPercent(74);
    for (int expected : {69, 65, 65}) {
      click("BitBtn168");
      expectPercent(expected);
    }
    click("BitBtn169");
    expectPercent(74);
  }

  void homePageOpensOneAddressPerClick() {
    // The page is the user guide of the build tree, a real page with its picture of a sheet.
    const QString guide = userGuidePath();
    QVERIFY(guide.endsWith(QStringLiteral("share/kirune/guide/index.html")));
    QFile page(guide);
    QVERIFY(page.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(page.readAll());
    for (const char* says : {"作成枚数", "印刷前に確認", "中止", "フォルダを開く", "<img src=\"sheet.png\""})
      QVERIFY2(html.contains(QString::fromUtf8(says)), says);
    QVERIFY(QImage(QFileInfo(guide).dir().filePath("sheet.png")).width() > 100);

    {
      test::UrlCatcher catcher;
      click("BitBtn128");
      auto* frame = get<QGroupBox>("GroupBox2");
      QTest::mouseClick(frame, Qt::LeftButton, {}, QPoint(1, frame->height() / 2));
      click("Label26");
      QCOMPARE(catcher.urls.size(), 3);
      for (const QUrl& url : catcher.urls) QCOMPARE(url, QUrl::fromLocalFile(guide));
    }

    // Nothing to open it with (the offscreen platform has no desktop): the window says so.
    QString failure;
    onNextModal<QMessageBox>([&failure](QMessageBox* box) {
      failure = box->text();
      box->accept();
    });
    click("BitBtn128");
    QVERIFY2(failure.startsWith(QStringLiteral("使い方のページを開けませんでした。")), qPrintable(failure));
    QVERIFY(get<QLabel>("Label26")->text().contains(QString::fromUtf8(kHomePageOwner.data())));
  }

  // The printer set-up speaks Japanese, and its confirm button sets the printer up rather than
  // promising to print; confirming prints nothing. It works on a copy of the window's printer: what it
  // chose reaches the printer on 設定 only, and キャンセル leaves the printer as it was.
  void printerSetupChangesThePrinterOnlyWhenConfirmed() {
    // Texts of Qt's dialog that Debian's Japanese catalogue lacks, shown in Kirune's own words.
    const QSet<QString> kLeftInEnglish = {"Pages", "Double Sided Printing", "Long side binding",
                                          "Short side binding", "Advanced"};
    QSet<QString> english;
    for (const bool confirm : {false, true}) {
      printer.setCopyCount(1);
      QPrinter* seen = nullptr;
      QString ok;
      QString cancel;
      onNextModal<QPrintDialog>([&](QPrintDialog* dialog) {
        seen = dialog->printer();
        auto* copies = dialog->findChild<QSpinBox*>(QStringLiteral("copies"));
        QVERIFY(copies);
        copies->setValue(3);
        for (auto* widget : dialog->findChildren<QWidget*>()) {
          QStringList texts;
          if (auto* b = qobject_cast<QAbstractButton*>(widget)) texts << b->text();
          if (auto* g = qobject_cast<QGroupBox*>(widget)) texts << g->title();
          if (auto* l = qobject_cast<QLabel*>(widget)) texts << l->text();
          english += QSet<QString>(texts.begin(), texts.end()) & kLeftInEnglish;
        }
        auto* buttons = dialog->findChild<QDialogButtonBox*>();
        ok = buttons->button(QDialogButtonBox::Ok)->text();
        cancel = buttons->button(QDialogButtonBox::Cancel)->text();
        confirm ? dialog->accept() : dialog->reject();
      });
      click("BitBtn25");
      QVERIFY(seen && seen != &printer);
      QCOMPARE(ok, QStringLiteral("設定"));
      QCOMPARE(cancel, QStringLiteral("キャンセル"));
      QCOMPARE(printer.copyCount(), confirm ? 3 : 1);
    }
    printer.setCopyCount(1);
    QCOMPARE(log.begun, 0);
    QVERIFY2(english.isEmpty(), qPrintable(QStringList(english.begin(), english.end()).join(", ")));
    QCOMPARE(QCoreApplication::translate("QPrintSettingsOutput", "Long side binding"),
             QStringLiteral("長辺とじ"));
    QCOMPARE(QCoreApplication::translate("QPrintPropertiesWidget", "Advanced"), QStringLiteral("詳細"));
  }
};

}  // namespace kirune

KIRUNE_OFFSCREEN_QTEST_MAIN(kirune::MainWindowTest)
#include "main_window_test.moc"
