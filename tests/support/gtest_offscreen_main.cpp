// The main of the GoogleTest binaries that need a Qt application: KIRUNE_TEST_WIDGETS picks one with
// widgets.
#include <gtest/gtest.h>

#include "tests/support/offscreen_app.h"

int main(int argc, char** argv) {
#ifdef KIRUNE_TEST_WIDGETS
  const auto kind = kirune::test::AppKind::Widgets;
#else
  const auto kind = kirune::test::AppKind::Gui;
#endif
  const auto app = kirune::test::makeOffscreenApp(argc, argv, kind);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
