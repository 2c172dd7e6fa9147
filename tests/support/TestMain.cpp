// Shared main of the test executables: an offscreen Qt application, and settings and
// application data kept in a temporary folder so no test touches the user's profile. Every test
// starts with a folder of its own, so that it sees an empty profile and log whether it runs
// alone or after others in the same process.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdlib>
#include <string>

#include "platform/AppPaths.h"
#include "platform/SettingsStore.h"

namespace {

class CFreshProfile : public ::testing::EmptyTestEventListener {
 public:
  explicit CFreshProfile(std::string root) : m_root(std::move(root)) {}
  void OnTestStart(const ::testing::TestInfo&) override {
    // A test that closed a main window asked the application to quit, and that request would
    // end every later modal loop at once; one pass of the application's own loop clears it.
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
    const std::string folder = m_root + "/test" + std::to_string(++m_count);
    CSettingsStore::UseFolderForTests(folder + "/settings");
    SetUserDataRootForTests(folder + "/userdata");
  }

 private:
  std::string m_root;
  int m_count = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  QTemporaryDir temp;
  if (!temp.isValid()) return 2;
  CSettingsStore::UseFolderForTests(temp.path().toStdString() + "/settings");
  SetUserDataRootForTests(temp.path().toStdString() + "/userdata");
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new CFreshProfile(temp.path().toStdString()));
  return RUN_ALL_TESTS();
}
