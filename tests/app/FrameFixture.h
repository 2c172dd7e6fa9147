// A created main frame with scripted prompts, shown offscreen, for the frame's tests.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "app/RecentFileList.h"
#include "core/comms/CommsWorker.h"
#include "core/system/System.h"
#include "core/model/Device.h"
#include "platform/AtomicFile.h"
#include "platform/SettingsStore.h"
#include "tests/app/FakePrompts.h"
#include "tools/devsim/SimBus.h"
#include "ui/DevicePropertiesPane.h"

// Runs the event loop until done() or the time-out; true when done() became true.
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs = 5000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > timeoutMs) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

// Answers the next modal dialog of type T from inside its own event loop.
template <class T>
void AnswerNextModal(std::function<void(T&)> answer) {
  auto* poll = new QTimer;
  poll->setInterval(0);
  QObject::connect(poll, &QTimer::timeout, [poll, answer] {
    auto* dialog = dynamic_cast<T*>(QApplication::activeModalWidget());
    if (!dialog) return;
    poll->stop();
    poll->deleteLater();
    answer(*dialog);
  });
  poll->start();
}

inline void ProcessEvents() {
  QApplication::sendPostedEvents();
  QApplication::processEvents();
}

// A log line as the log writer posts it with FrameMsg::kLogLine.
inline void PostLogLine(IMessageSink& frame, const std::string& text) {
  frame.Post(CPostedMessage{FrameMsg::kLogLine, 0, 0, 0, text});
}
// A message about the device (null: no device), as the devices post them.
inline void PostAbout(IMessageSink& frame, std::uint32_t message, const CDevice* device, LPARAM lParam = 0) {
  frame.Post(CPostedMessage{message, 0, lParam, device ? device->GetHandle() : 0, {}});
}

// Opens a row of the properties grid and types text into it as a person does, leaving the
// edit open; Enter ends it.
inline void BeginTypingIntoRow(CDevicePropertiesCtrl& grid, const char* row, const std::string& text) {
  ASSERT_TRUE(grid.BeginEdit(grid.FindRow(row))) << row;
  auto* edit = grid.GetEditor()->findChild<QLineEdit*>();
  ASSERT_NE(edit, nullptr);
  edit->setText(QString::fromStdString(text));
  emit edit->textEdited(edit->text());
}
inline void PressEnterInRow(CDevicePropertiesCtrl& grid) {
  if (auto* edit = grid.GetEditor() ? grid.GetEditor()->findChild<QLineEdit*>() : nullptr) emit edit->returnPressed();
}
inline void TypeIntoRow(CDevicePropertiesCtrl& grid, const char* row, const std::string& text) {
  BeginTypingIntoRow(grid, row, text);
  PressEnterInRow(grid);
}

// Leaves the file at path as a save in place that its process did not live to finish leaves
// it: its first bytes overwritten, its earlier bytes kept (platform/AtomicFile.h). The file
// gets a second name first, so that the save is written in place; the save's process ends
// without the commit, as a killed one does.
inline void CutASaveInPlaceShort(const std::string& path) {
  ASSERT_EQ(::link(path.c_str(), (path + ".link").c_str()), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    CAtomicFileWriter file(path);
    const std::vector<std::uint8_t> garbage(64, 0xFF);
    ::_exit(file.Open(nullptr) && file.Write(garbage.data(), garbage.size(), nullptr) ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  ASSERT_EQ(FindKeptCopies(path).size(), 1u);
}

// Which file a name leads to and when it was last written, to the nanosecond: equal marks, no
// write between them.
inline std::pair<std::uint64_t, std::int64_t> WriteMark(const std::string& path) {
  struct stat s {};
  if (::stat(path.c_str(), &s) != 0) return {0, 0};
  return {std::uint64_t(s.st_ino), std::int64_t(s.st_mtim.tv_sec) * 1000000000 + s.st_mtim.tv_nsec};
}

// The current folder, changed for the scope and changed back after.
class CWorkingFolder {
 public:
  explicit CWorkingFolder(const std::string& folder) : m_before(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
  }
  ~CWorkingFolder() { std::filesystem::current_path(m_before); }
  CWorkingFolder(const CWorkingFolder&) = delete;
  CWorkingFolder& operator=(const CWorkingFolder&) = delete;

 private:
  std::filesystem::path m_before;
};

// The frame with its timers callable at once.
class CFrameUnderTest : public CMainFrame {
 public:
  using CMainFrame::CMainFrame;
  void Tick(std::uint32_t timerId) { OnTimer(timerId); }
};

class FrameTest : public ::testing::Test {
 protected:
  // A quit request that a frame closed by an earlier test left is cleared after every test
  // (TestMain), so modal loops run when all cases share one process.
  void SetUp() override { ASSERT_TRUE(temp.isValid()); }

  // Creates, lays out and shows the frame.
  CFrameUnderTest& MakeFrame() {
    frame = std::make_unique<CFrameUnderTest>(recent);
    frame->SetUserPrompts(&prompts);
    EXPECT_TRUE(frame->OnCreate());
    // The security passes' pauses give a person time to read each line of their dialog; here
    // nobody reads it, and every going online would wait a second for each list it shows.
    CSecurityTimings timings = frame->GetSystem().GetComms().Security().GetTimings();
    timings.messagePauseMs = 1;
    timings.updatePauseMs = 1;
    frame->GetSystem().GetComms().Security().SetTimingsForTests(timings);
    frame->RestoreDocking();
    frame->show();
    ProcessEvents();
    return *frame;
  }

  // A path in the test's own folder.
  std::string PathOf(const std::string& name) const { return (temp.path() + "/" + name.c_str()).toStdString(); }

  QTemporaryDir temp;
  CRecentFileList recent;
  CFakePrompts prompts;
  std::unique_ptr<CFrameUnderTest> frame;
};

// Frame tests against the simulated bus served on a pseudo-terminal that is linked as a COM port.
class SimBusFrameTest : public FrameTest {
 protected:
  // Links the port, lets addUnits put the units on the bus, starts it and points the settings at
  // the port (57600 baud).
  void StartBus(std::uint32_t comPort, const std::function<void(CSimBus&)>& addUnits) {
    auto wire = std::make_unique<CPtyWire>();
    ASSERT_TRUE(wire->IsValid());
    ASSERT_TRUE(LinkComPort(comPort, wire->SlavePath()));
    m_comPort = comPort;
    bus = std::make_unique<CSimBus>(std::move(wire));
    addUnits(*bus);
    bus->Start();
    CSettingsStore::WriteInt("Settings", "ComPort", comPort);
    CSettingsStore::WriteInt("Settings", "BaudRate", 57600);
  }
  void TearDown() override {
    frame.reset();  // stops the worker and closes the port
    if (bus) bus->Stop();
    if (m_comPort) UnlinkComPort(m_comPort);
  }

  std::unique_ptr<CSimBus> bus;

 private:
  std::uint32_t m_comPort = 0;
};
