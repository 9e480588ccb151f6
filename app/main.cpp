#include <unistd.h>
#include <QApplication>
#include <QEvent>
#include <QMessageBox>
#include <QPrinter>
#include <ctime>
#include <exception>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "app/main_window.h"
#include "app/qt_translation.h"
#include "kirune/version.h"
#include "printing/document_sinks.h"
#include "printing/fonts.h"
#include "printing/print_run.h"
#include "render/image_set.h"

namespace {

// Milliseconds since the kernel started this process (to the clock tick: 10 ms), or -1.
double msSinceProcessStart() {
  std::ifstream stat("/proc/self/stat");
  std::string line;
  if (!std::getline(stat, line)) return -1;
  // Field 22, start time in clock ticks after boot; the command name in field 2 may hold spaces.
  std::istringstream fields(line.substr(line.rfind(')') + 2));
  std::string field;
  for (int i = 3; i < 22 && fields >> field; ++i) {
  }
  unsigned long long startTicks = 0;
  if (!(fields >> startTicks)) return -1;
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  const double ticksPerSecond = static_cast<double>(sysconf(_SC_CLK_TCK));
  return (static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9 -
          static_cast<double>(startTicks) / ticksPerSecond) *
         1000.0;
}

// For the start-up benchmark (hidden flag --quit-after-first-frame): once the window has painted for
// the first time, prints the time since the process started and quits.
class FirstFrameReporter : public QObject {
 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !seen_) {
      seen_ = true;
      // Queued, so the frame this paint event belongs to is finished first.
      QMetaObject::invokeMethod(
          this,
          [] {
            std::cout << "first frame " << msSinceProcessStart() << " ms" << std::endl;
            QApplication::quit();
          },
          Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  bool seen_ = false;
};

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  // The application name only: a display name would make Qt append it to the window's caption.
  QApplication::setApplicationName(QString::fromUtf8(kirune::kApplicationName.data()));
  kirune::installFontSubstitutions();
  kirune::installQtJapanese(app);

  const kirune::ImageSet* images = nullptr;
  try {
    images = &kirune::ImageSet::builtIn();
  } catch (const std::exception& e) {
    QMessageBox box(QMessageBox::Critical, QString::fromUtf8(kirune::kApplicationName.data()),
                    QStringLiteral("プログラムの絵を読み込めませんでした。\nもう一度入れ直してください。"));
    box.setDetailedText(QString::fromUtf8(e.what()));
    box.exec();
    return 1;
  }

  QPrinter printer(QPrinter::HighResolution);
  kirune::preparePrinter(printer);

  kirune::TForm1 window(*images, printer, [&printer] { return kirune::printerRun(printer); });
  QApplication::setWindowIcon(window.windowIcon());
  FirstFrameReporter firstFrame;
  if (QApplication::arguments().contains(QStringLiteral("--quit-after-first-frame"))) {
    window.installEventFilter(&firstFrame);
  }
  window.showCentred();
  return QApplication::exec();
}
