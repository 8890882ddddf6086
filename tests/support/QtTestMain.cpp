// Entry point of the test programs that need a QApplication (widgets,
// message boxes, queued calls to the window's thread).
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  // No window of a test run appears on a desktop, and none needs a display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
