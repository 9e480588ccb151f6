#include "app/startup_probe.h"

#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QWidget>
#include <ctime>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace kirune {
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

// Once the window has painted for the first time: the time since the process started, then quit.
class FirstFrameReporter : public QObject {
 public:
  explicit FirstFrameReporter(QObject* parent) : QObject(parent) {}

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

void watchStartup(QWidget& window) {
  if (qEnvironmentVariable("KIRUNE_STARTUP_PROBE") != QLatin1String("1")) return;
  // Lives as long as the window: a child of it.
  window.installEventFilter(new FirstFrameReporter(&window));
}

}  // namespace kirune
