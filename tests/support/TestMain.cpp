// Shared main of the test executables: an offscreen Qt application, and settings and
// application data kept in a temporary folder so no test touches the user's profile.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>
#include <cstdlib>

#include "platform/AppPaths.h"
#include "platform/SettingsStore.h"

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  QTemporaryDir temp;
  if (!temp.isValid()) return 2;
  CSettingsStore::UseFolderForTests(temp.path().toStdString() + "/settings");
  SetUserDataRootForTests(temp.path().toStdString() + "/userdata");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
