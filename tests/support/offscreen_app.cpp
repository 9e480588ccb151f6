#include "tests/support/offscreen_app.h"

#include <QApplication>

#include "printing/fonts.h"

namespace kirune::test {

std::unique_ptr<QGuiApplication> makeOffscreenApp(int& argc, char** argv, AppKind kind) {
  if (!qEnvironmentVariable("QT_QPA_PLATFORM").startsWith(QLatin1String("offscreen"))) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  std::unique_ptr<QGuiApplication> app = kind == AppKind::Widgets
                                             ? std::make_unique<QApplication>(argc, argv)
                                             : std::make_unique<QGuiApplication>(argc, argv);
  installFontSubstitutions();
  return app;
}

}  // namespace kirune::test
