// The system's ports on real terminal lines: the Comms page's list looks at every port without
// setting any up, and Go Online on a port that does not open says why.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>

#include "core/comms/CommsWorker.h"
#include "core/system/System.h"
#include "platform/AppPaths.h"
#include "platform/SerialPortLockFile.h"
#include "platform/SerialPortTty.h"
#include "platform/SerialPortUsers.h"
#include "platform/SettingsStore.h"
#include "tests/support/LineUsers.h"
#include "tests/support/RecordingFrame.h"

namespace {

// The lock folder the tests' serial ports look in (one of each test).
std::string LockFolder() {
  const std::string folder = GetAppDataFolder() + "lock";
  std::filesystem::create_directories(folder);
  SetSerialLockFoldersForTests({folder});
  return folder;
}

bool SameSettings(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag && a.c_lflag == b.c_lflag &&
         ::cfgetospeed(&a) == ::cfgetospeed(&b) && ::cfgetispeed(&a) == ::cfgetispeed(&b);
}

}  // namespace

// COM5 is free, COM6 a terminal program's line, COM7 held by another port of this program, COM8
// the machine's console, COM9 locked by its lock file, and the other numbers name nothing: only
// COM5 is offered, and no line is set up or written to.
TEST(PortHoldTest, ListComPorts_OffersTheFreeLinesAndChangesNone) {
  CTestPty free;
  CTestPty used;
  CTestPty ours;
  CTestPty console;
  CTestPty locked;
  ASSERT_TRUE(free.IsValid() && used.IsValid() && ours.IsValid() && console.IsValid() && locked.IsValid());
  COtherProgramOnLine other(used);
  ASSERT_TRUE(other.IsReady());
  LinkEveryComPortToNothing();
  ASSERT_TRUE(LinkComPortForTest(5, free.SlavePath()));
  ASSERT_TRUE(LinkComPortForTest(6, used.SlavePath()));
  ASSERT_TRUE(LinkComPortForTest(7, ours.SlavePath()));
  ASSERT_TRUE(LinkComPortForTest(8, console.SlavePath()));
  ASSERT_TRUE(LinkComPortForTest(9, locked.SlavePath()));
  ASSERT_TRUE(WriteConsoleList(GetAppDataFolder() + "consoles", console.SlavePath()));
  SetConsoleListForTests(GetAppDataFolder() + "consoles");
  ASSERT_TRUE(WriteLineLockFile(LineLockFile(LockFolder(), locked.SlavePath()), LockFileText(::getppid())));
  CTtySerialPort held;
  ASSERT_TRUE(held.Open(ours.SlavePath(), 9600));
  const std::vector<const CTestPty*> unset{&free, &ours, &console, &locked};
  std::vector<termios> before;
  for (const CTestPty* pty : unset) before.push_back(pty->Settings());

  CSystem s;
  std::vector<std::uint32_t> ports;
  s.Settings().ListComPorts(ports);
  EXPECT_EQ(ports, std::vector<std::uint32_t>{5});
  EXPECT_FALSE(s.IsPortOpen());
  EXPECT_TRUE(IsTerminalAt9600(used.Settings()));
  for (std::size_t i = 0; i < unset.size(); ++i) EXPECT_TRUE(SameSettings(unset[i]->Settings(), before[i])) << i;
  for (const CTestPty* pty : {&free, &used, &ours, &console, &locked}) EXPECT_TRUE(pty->Received().empty());
}

// Who holds which line is read from the processes' open files once for the whole list, not
// once for each port that names a line: that read costs as much as the machine has files open.
TEST(PortHoldTest, ListComPorts_ReadsWhoHoldsTheLinesOnce) {
  CTestPty free;
  LinkEveryComPortToNothing();
  ASSERT_TRUE(free.IsValid());
  ASSERT_TRUE(LinkComPortForTest(2, free.SlavePath()));
  const CLinesOfOtherPrograms used({9, 17, 25});
  ASSERT_TRUE(used.IsReady());

  CSystem s;
  std::vector<std::uint32_t> ports;
  const int before = SerialLineUserReadsForTests();
  s.Settings().ListComPorts(ports);
  EXPECT_EQ(SerialLineUserReadsForTests() - before, 1);
  EXPECT_EQ(ports, std::vector<std::uint32_t>{2});
  EXPECT_TRUE(used.Untouched());
  // The next list reads them again: a program that took a line since is seen.
  COtherProgramOnLine late(free);
  ASSERT_TRUE(late.IsReady());
  ports.clear();
  s.Settings().ListComPorts(ports);
  EXPECT_EQ(SerialLineUserReadsForTests() - before, 2);
  EXPECT_TRUE(ports.empty());
  EXPECT_TRUE(IsTerminalAt9600(free.Settings()));
}

struct GoOnlineRefusalCase {
  const char* name;
  // The device COM3 names, and what Go Online says of it. The held line is kept by the test.
  std::function<std::string(CTestPty& pty, std::unique_ptr<CTtySerialPort>& held,
                            std::unique_ptr<COtherProgramOnLine>& other, std::string& reason)>
      make;
};

class GoOnlineRefusal : public ::testing::TestWithParam<GoOnlineRefusalCase> {};

TEST_P(GoOnlineRefusal, SaysWhichPortAndWhyInTheBoxAndTheLog) {
  CTestPty pty;
  ASSERT_TRUE(pty.IsValid());
  std::unique_ptr<CTtySerialPort> held;
  std::unique_ptr<COtherProgramOnLine> other;
  std::string reason;
  const std::string device = GetParam().make(pty, held, other, reason);
  ASSERT_TRUE(LinkComPortForTest(3, device));
  CSettingsStore::WriteInt("Settings", "ComPort", 3);

  CRecordingFrame frame;
  CSystem s;
  s.Start(&frame);
  EXPECT_FALSE(s.GoOnline(0));
  const std::string why = "COM3 (" + device + "): " + reason;
  const CRecordingUi::Texts boxes = frame.MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].first, std::string(kFailedToConnectText) + "\n\n" + why);
  EXPECT_EQ(boxes[0].second, kOnlineErrorCaption);
  const std::vector<std::string> log = frame.LogLines();
  EXPECT_EQ(std::count_if(log.begin(), log.end(),
                          [&](const std::string& line) {
                            return line.find("Failed to connect on " + why + "\n") != std::string::npos;
                          }),
            1);
  EXPECT_FALSE(s.IsPortOpen());
  if (other) {
    EXPECT_TRUE(IsTerminalAt9600(pty.Settings()));
  }
  EXPECT_TRUE(pty.Received().empty());
  s.GetComms().StopCommsThread();
}

INSTANTIATE_TEST_SUITE_P(
    Ports, GoOnlineRefusal,
    ::testing::Values(
        GoOnlineRefusalCase{"LinkToNothing",
                            [](CTestPty&, auto&, auto&, std::string& reason) {
                              reason = "the device does not exist";
                              return std::string("/dev/pts/999999");
                            }},
        GoOnlineRefusalCase{"NotASerialLine",
                            [](CTestPty&, auto&, auto&, std::string& reason) {
                              reason = "it is not a serial line";
                              return std::string("/dev/null");
                            }},
        GoOnlineRefusalCase{"HeldByAnotherInstance",
                            [](CTestPty& pty, auto& held, auto&, std::string& reason) {
                              held = std::make_unique<CTtySerialPort>();
                              held->Open(pty.SlavePath(), 57600);
                              reason = "in use by another program";
                              return pty.SlavePath();
                            }},
        GoOnlineRefusalCase{"TheMachinesConsole",
                            [](CTestPty& pty, auto&, auto&, std::string& reason) {
                              WriteConsoleList(GetAppDataFolder() + "consoles", pty.SlavePath());
                              SetConsoleListForTests(GetAppDataFolder() + "consoles");
                              reason = "it is the machine's console";
                              return pty.SlavePath();
                            }},
        GoOnlineRefusalCase{"LockedByAnotherProgram",
                            [](CTestPty& pty, auto&, auto&, std::string& reason) {
                              WriteLineLockFile(LineLockFile(LockFolder(), pty.SlavePath()), LockFileText(::getppid()));
                              reason = "in use by another program (" + SerialLineUserName(::getppid()) + ", process " +
                                       std::to_string(::getppid()) + ")";
                              return pty.SlavePath();
                            }},
        GoOnlineRefusalCase{"UsedByATerminalProgram",
                            [](CTestPty& pty, auto&, auto& other, std::string& reason) {
                              other = std::make_unique<COtherProgramOnLine>(pty);
                              reason = "in use by another program (" + OwnCommandName() + ", process " +
                                       std::to_string(other->Pid()) + ")";
                              return pty.SlavePath();
                            }}),
    [](const auto& info) { return std::string(info.param.name); });
