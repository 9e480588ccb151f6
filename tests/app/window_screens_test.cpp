// The window on three real screen sizes (a laptop, full HD, QHD: the offscreen platform's screens come
// from screens.json) at every size the size buttons can reach: what a teacher reads must fit.
#include <QApplication>
#include <QCalendarWidget>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QTableView>
#include <QToolButton>
#include <QtTest>
#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <queue>
#include <vector>

#include "app/main_window.h"
#include "app/window_layout.h"
#include "printing/print_run.h"
#include "render/presets.h"
#include "tests/support/offscreen_app.h"

namespace kirune {

namespace {
int cursorX(QLineEdit* edit) { return edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x(); }
}  // namespace

class WindowScreensTest : public QObject {
  Q_OBJECT

 private:
  QPrinter printer;
  std::unique_ptr<TForm1> window;

  template <typename W = QWidget>
  W* get(const char* name) {
    auto* w = qobject_cast<W*>(window->control(name));
    if (!w) qFatal("no control %s", name);
    return w;
  }

  // Every percentage the size buttons reach from the start, with the clicks that reach it.
  static std::map<int, std::vector<const char*>> reachablePercents() {
    std::map<int, std::vector<const char*>> paths{{kDefaultScalePercent, {}}};
    std::queue<int> next;
    next.push(kDefaultScalePercent);
    while (!next.empty()) {
      const int p = next.front();
      next.pop();
      const std::pair<const char*, int> steps[] = {{"BitBtn167", BitBtn167Percent(p)},
                                                   {"BitBtn168", BitBtn168Percent(p)}};
      for (auto [button, q] : steps) {
        if (paths.contains(q)) continue;
        paths[q] = paths[p];
        paths[q].push_back(button);
        next.push(q);
      }
    }
    return paths;
  }

  // Runs `check` on every screen at every reachable percentage.
  void onEveryScreenAndSize(const std::function<void(const QString& where)>& check) {
    const auto paths = reachablePercents();
    QVERIFY(paths.size() >= 10);
    for (QScreen* screen : QGuiApplication::screens()) {
      window->setScreen(screen);
      window->move(screen->geometry().topLeft());
      for (const auto& [percent, clicks] : paths) {
        QTest::mouseClick(get("BitBtn169"), Qt::LeftButton);
        for (const char* button : clicks) QTest::mouseClick(get(button), Qt::LeftButton);
        QCOMPARE(window->windowScalePercent(), percent);
        QCOMPARE(window->height(), computeWindowLayout(screen->geometry().height(), percent).clientHeight);
        check(QStringLiteral("%1x%2 at %3%")
                  .arg(screen->geometry().width())
                  .arg(screen->geometry().height())
                  .arg(percent));
      }
    }
  }

 private slots:
  void initTestCase() {
    QList<int> heights;
    for (const QScreen* screen : QGuiApplication::screens()) heights << screen->geometry().height();
    std::sort(heights.begin(), heights.end());
    QCOMPARE(heights, (QList<int>{768, 1080, 1440}));
  }

  void init() {
    window =
        std::make_unique<TForm1>(ImageSet::builtIn(), printer, [] { return std::unique_ptr<PrintRun>(); });
    window->showCentred();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
  }

  void cleanup() { window.reset(); }

  // "作成枚数" at 3000 and "カット番号" at 32 show every digit: the text fits the edit field that the
  // spin box draws beside its arrows, and the box stays inside the window, clear of the next row.
  void spinBoxesShowFourDigits() {
    struct Spin {
      const char* name;
      int value;
      const char* below;  ///< the control of the next row
    };
    const Spin spins[] = {{"SpinEdit1", 3000, "CheckBox1"}, {"SpinEdit4", 32, "Calendar1"}};
    onEveryScreenAndSize([&](const QString& where) {
      for (const Spin& s : spins) {
        auto* spin = get<QSpinBox>(s.name);
        spin->setValue(s.value);
        auto* edit = spin->findChild<QLineEdit*>();
        QVERIFY(edit);
        const QString text = edit->text();
        QCOMPARE(text, QString::number(s.value));
        const QString what = where + " " + s.name;
        // The line edit keeps two pixels each side of its text.
        const QFontMetrics metrics(edit->font());
        QVERIFY2(edit->contentsRect().width() - 4 >= metrics.horizontalAdvance(QStringLiteral("0000")),
                 qPrintable(what));
        QVERIFY2(edit->height() >= metrics.height(), qPrintable(what));
        // Rendered: with the cursor at the end, the text was not scrolled to make room.
        edit->end(false);
        QVERIFY2(cursorX(edit) < edit->width(), qPrintable(what));
        edit->home(false);
        QVERIFY2(cursorX(edit) <= 4, qPrintable(what));
        QVERIFY2(!spin->grab().isNull(), qPrintable(what));
        // The spin box's font is the layout's, and its place did not move.
        const Placement* at = window->layout().find(s.name);
        QCOMPARE(spin->pos(), QPoint(at->left, at->top));
        QVERIFY2(spin->geometry().right() < window->width(), qPrintable(what));
        QVERIFY2(spin->geometry().bottom() < get(s.below)->y(), qPrintable(what));
      }
    });
  }

  // "印刷前に確認" sits between the time-field switch and "プリンタ設定", touching neither.
  void previewSwitchHasItsRoom() {
    onEveryScreenAndSize([&](const QString& where) {
      const QRect box = get("PreviewBox")->geometry();
      const QRect label = get("PreviewLabel")->geometry();
      const QRect button = get("BitBtn25")->geometry();
      for (const char* above : {"CheckBox16", "Label29"}) {
        QVERIFY2(!get(above)->geometry().intersects(box), qPrintable(where + " " + above));
        QVERIFY2(!get(above)->geometry().intersects(label), qPrintable(where + " " + above));
      }
      QVERIFY2(box.bottom() < button.top() && label.bottom() < button.top(), qPrintable(where));
      QVERIFY2(label.right() < window->width(), qPrintable(where));
    });
  }

  // The texts of the zero choices never run into the next item's dot or text.
  void radioTextsKeepClearOfTheNextItem() {
    onEveryScreenAndSize([&](const QString& where) {
      for (const char* frame : {"z1", "z2", "z3", "z4"}) {
        const QString name = QString::fromLatin1(frame);
        auto* second = get(frame)->findChild<QRadioButton*>(name + "1");
        const QRect dot(second->mapTo(window.get(), QPoint(0, 0)), second->size());
        const QRect texts[2] = {itemText(frame, 0)->geometry(), itemText(frame, 1)->geometry()};
        QVERIFY2(!texts[0].intersects(dot), qPrintable(where + " " + name));
        QVERIFY2(!texts[0].intersects(texts[1]), qPrintable(where + " " + name));
        QVERIFY2(texts[0].height() >= 8, qPrintable(where + " " + name));
        // Each dot lies left of its own text, on its line.
        QVERIFY2(dot.right() < texts[1].left(), qPrintable(where + " " + name));
        QVERIFY2(dot.center().y() >= texts[1].top() && dot.center().y() <= texts[1].bottom(),
                 qPrintable(where + " " + name));
      }
    });
  }

  // Every day of the month shows in the calendar's grid: the font shrinks from 16 pixels only where
  // "31" would not fit its cell, and stays as large as the box allows.
  void calendarShowsEveryDay() {
    onEveryScreenAndSize([&](const QString& where) {
      auto* calendar = get<QCalendarWidget>("Calendar1");
      auto* grid = calendar->findChild<QTableView*>();
      QVERIFY(grid);
      const QFontMetrics metrics(grid->font());
      const int cellWidth = grid->viewport()->width() / 7;
      const int cellHeight = grid->viewport()->height() / 7;  // the day names and six weeks
      const QString what =
          where +
          QStringLiteral(": cell %1x%2, font %3 px").arg(cellWidth).arg(cellHeight).arg(metrics.height());
      QVERIFY2(metrics.horizontalAdvance(QStringLiteral("31")) + 2 <= cellWidth, qPrintable(what));
      QVERIFY2(metrics.height() <= cellHeight + 1, qPrintable(what));
      QVERIFY2(metrics.height() >= 6, qPrintable(what));
      // All seven days of the week are in view, none scrolled off to the right.
      QVERIFY2(grid->columnViewportPosition(0) >= 0, qPrintable(what));
      QVERIFY2(grid->columnViewportPosition(6) + grid->columnWidth(6) <= grid->viewport()->width(),
               qPrintable(what));
      const bool large = calendar->width() >= 260 && calendar->height() >= 200;
      if (large) QVERIFY2(metrics.height() >= 14, qPrintable(what));
      // The header's month and year (children named as Qt's style sheet reference names them) show
      // whole, side by side, between the two arrows.
      auto* previous = calendar->findChild<QToolButton*>(QStringLiteral("qt_calendar_prevmonth"));
      auto* month = calendar->findChild<QToolButton*>(QStringLiteral("qt_calendar_monthbutton"));
      auto* year = calendar->findChild<QToolButton*>(QStringLiteral("qt_calendar_yearbutton"));
      auto* next = calendar->findChild<QToolButton*>(QStringLiteral("qt_calendar_nextmonth"));
      QVERIFY(previous && month && year && next);
      for (QToolButton* button : {month, year}) {
        const int needed = QFontMetrics(button->font()).horizontalAdvance(button->text()) + 2;
        const QString text =
            where +
            QStringLiteral(": %1 needs %2, has %3").arg(button->text()).arg(needed).arg(button->width());
        QVERIFY2(button->width() >= needed, qPrintable(text));
      }
      QVERIFY2(previous->geometry().right() < month->geometry().left(), qPrintable(where));
      QVERIFY2(month->geometry().right() < year->geometry().left(), qPrintable(where));
      QVERIFY2(year->geometry().right() < next->geometry().left(), qPrintable(where));
    });
  }

  // Preset captions show whole ("100" never "10("), clear of the button's edges; no row title is
  // covered by a button.
  void textsAreNeitherClippedNorCovered() {
    onEveryScreenAndSize([&](const QString& where) {
      std::vector<QPushButton*> buttons;
      for (const Preset& p : presets()) {
        QPushButton* button = window->presetButton(p.button);
        buttons.push_back(button);
        const int text = QFontMetrics(button->font()).horizontalAdvance(button->text());
        QVERIFY2(text + 4 <= button->width(),
                 qPrintable(where + " " + button->text() +
                            QStringLiteral(": %1 in %2").arg(text).arg(button->width())));
        QVERIFY2(QFontMetrics(button->font()).height() <= button->height(), qPrintable(where));
      }
      for (const Preset& p : presets()) {
        const QLabel* title = window->rowTitle(p.gridRow, p.half);
        for (const QPushButton* button : buttons) {
          QVERIFY2(!title->geometry().intersects(button->geometry()),
                   qPrintable(where + " " + title->text() + " / " + button->text()));
        }
      }
    });
  }

 private:
  QLabel* itemText(const char* frame, int item) {
    static const std::map<QString, std::pair<const char*, const char*>> labels = {
        {"z1", {"Label60", "Label61"}},
        {"z2", {"Label62", "Label63"}},
        {"z3", {"Label64", "Label65"}},
        {"z4", {"Label66", "Label67"}}};
    const auto& pair = labels.at(QString::fromLatin1(frame));
    return get<QLabel>(item == 0 ? pair.first : pair.second);
  }
};

}  // namespace kirune

KIRUNE_OFFSCREEN_QTEST_MAIN(kirune::WindowScreensTest)
#include "window_screens_test.moc"
