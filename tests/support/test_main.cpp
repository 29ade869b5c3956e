// Test main: a QApplication on the offscreen platform (so fonts, images and
// widgets work without a display), a private settings folder, and a program
// exit that throws instead of ending the test run, and the program's clock
// set to the suite's fixed instant.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <cstdlib>

#include "platform/halt.h"
#include "tests/support/test_support.h"

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  testing_support::TempDir config;
  ::setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QString::fromStdString(config.Path()));
  QApplication app(argc, argv);
  platform::InstallThrowingHaltForTest();
  // Every test reads one fixed instant unless it sets its own.
  testing_support::PinSuiteClock();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
