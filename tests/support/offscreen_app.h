#pragma once
// The Qt application of a test binary: on the offscreen platform, with the font substitutions the
// programs install, so that tests see the fonts the window and kirune-print see.
#include <QGuiApplication>
#include <memory>

namespace kirune::test {

enum class AppKind { Gui, Widgets };

/// Makes the application. A platform string that already names offscreen (with a screen configuration,
/// say) is kept; any other is replaced, since tests never open a real display.
std::unique_ptr<QGuiApplication> makeOffscreenApp(int& argc, char** argv, AppKind kind);

}  // namespace kirune::test

/// A QtTest main on the offscreen application with widgets.
#define KIRUNE_OFFSCREEN_QTEST_MAIN(TestClass)                                                       \
  int main(int argc, char** argv) {                                                                  \
    const auto app = ::kirune::test::makeOffscreenApp(argc, argv, ::kirune::test::AppKind::Widgets); \
    TestClass test;                                                                                  \
    return QTest::qExec(&test, argc, argv);                                                          \
  }
