#include <unistd.h>
#include <QApplication>
#include <QMessageBox>
#include <QPrinter>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <memory>
#include <string>

#include "app/main_window.h"
#include "app/qt_translation.h"
#include "app/startup_probe.h"
#include "app/window_fonts.h"
#include "kirune/version.h"
#include "printing/document_sinks.h"
#include "printing/fonts.h"
#include "printing/print_run.h"
#include "render/image_set.h"

namespace {

constexpr const char* kNoDisplay =
    "kirune: 画面（ディスプレイ）が使えないため、ウィンドウを開けません。\n"
    "  DISPLAY を設定するか、Xvfb の中で起動してください（画面なしで動かすには "
    "QT_QPA_PLATFORM=offscreen）。\n"
    "kirune: no usable display, so the window cannot open.\n"
    "  Set DISPLAY, or start it under Xvfb (QT_QPA_PLATFORM=offscreen runs it without a screen).\n";

[[noreturn]] void noDisplay() {
  std::cerr << kNoDisplay << std::flush;
  std::_Exit(1);
}

// The platform Qt will load: -platform NAME, QT_QPA_PLATFORM, or empty for its default.
std::string platformName(int argc, char** argv) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) return argv[i + 1];
  }
  const char* env = std::getenv("QT_QPA_PLATFORM");
  return env ? env : "";
}

bool isSet(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

// Without any display named, Qt would abort after a long warning; say so plainly instead.
void checkDisplay(int argc, char** argv) {
  const std::string platform = platformName(argc, argv);
  const bool x11 = platform.empty() || platform.starts_with("xcb");
  const bool wayland = platform.starts_with("wayland");
  if ((platform.empty() && !isSet("DISPLAY") && !isSet("WAYLAND_DISPLAY")) ||
      (x11 && !platform.empty() && !isSet("DISPLAY")) || (wayland && !isSet("WAYLAND_DISPLAY"))) {
    noDisplay();
  }
}

// A display named but not reachable: Qt ends in a fatal message (and abort) from its platform plugin.
QtMessageHandler gQtHandler = nullptr;
void startupHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type == QtFatalMsg && message.contains(QLatin1String("platform plugin"))) noDisplay();
  if (type != QtFatalMsg && (message.contains(QLatin1String("could not connect to display")) ||
                             message.contains(QLatin1String("Could not load the Qt platform plugin")))) {
    return;  // followed by the fatal message above
  }
  if (gQtHandler) gQtHandler(type, context, message);
}

}  // namespace

int main(int argc, char* argv[]) {
  checkDisplay(argc, argv);
  gQtHandler = qInstallMessageHandler(startupHandler);
  QApplication app(argc, argv);
  qInstallMessageHandler(gQtHandler);
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

  const std::unique_ptr<QPrinter> printer = kirune::applicationPrinter();

  kirune::TForm1 window(*images, *printer, [&printer] { return kirune::printerRun(*printer); });
  QApplication::setWindowIcon(window.windowIcon());
  kirune::watchStartup(window);
  window.showCentred();
  kirune::tellMissingFonts(window);
  return QApplication::exec();
}
