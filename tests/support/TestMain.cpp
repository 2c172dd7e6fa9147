// Shared main of the test executables: an offscreen Qt application, and settings, application
// data and the serial lines' lock files kept in a temporary folder of each test, so that no test
// touches the user's profile or the machine's lock folder and no test sees what an earlier one
// in the same process left behind.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "platform/AppPaths.h"
#include "platform/AtomicFile.h"
#include "platform/SerialPortLockFile.h"
#include "platform/SerialPortUsers.h"
#include "platform/SettingsStore.h"

namespace {

// Gives every test fresh settings and application-data folders, removed after it.
class CFreshFolders : public ::testing::EmptyTestEventListener {
 public:
  void OnTestStart(const ::testing::TestInfo&) override {
    m_folder = std::make_unique<QTemporaryDir>();
    if (!m_folder->isValid()) std::abort();
    CSettingsStore::UseFolderForTests(m_folder->path().toStdString() + "/settings");
    SetUserDataRootForTests(m_folder->path().toStdString() + "/userdata");
    const std::string locks = m_folder->path().toStdString() + "/lock";
    std::filesystem::create_directories(locks);
    SetSerialLockFoldersForTests({locks});
    SetConsoleListForTests({});
  }
  void OnTestEnd(const ::testing::TestInfo&) override {
    // A test that closed a main frame asked the application to exit, which would end every
    // event loop of the tests after it at once. The application's own loop clears the request
    // when it starts and when it ends: run it for one turn.
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
    m_folder.reset();
  }

 private:
  std::unique_ptr<QTemporaryDir> m_folder;
};

}  // namespace

int main(int argc, char** argv) {
  LetWritesPastTheFileSizeLimitFail();  // as the application does at start-up
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  setenv("ORVAK_TEST_DATA", ORVAK_TEST_DATA_DIR, 0);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new CFreshFolders);
  return RUN_ALL_TESTS();
}
