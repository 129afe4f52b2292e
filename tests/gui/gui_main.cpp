// Runs the window tests inside one QApplication on the offscreen platform, so that sizes
// are in device-independent pixels at 96 dpi whatever display the machine has.
#include <gtest/gtest.h>

#include <QApplication>

#include "ui/qt/qt_application.h"

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  dalvorn::SetUpApplication(app);
  return RUN_ALL_TESTS();
}
