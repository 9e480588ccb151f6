// The main of the spooler tests that drive the window: widgets, and the window's font substitutions.
#include <gtest/gtest.h>

#include <QApplication>

#include "printing/fonts.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  kirune::installFontSubstitutions();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
