// A terminal line is this program's alone while its port is open, and a line another program
// uses is left as it was; a line that does not open says why.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

#include "platform/AppPaths.h"
#include "platform/SerialPortLockFile.h"
#include "platform/SerialPortTty.h"
#include "platform/SerialPortUsers.h"
#include "tests/support/LineUsers.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// What Open says of the device, as this user or, for a test run as root, as the user nobody
// (root opens any device whatever its mode).
std::string RefusalAsAnUser(const std::string& device) {
  if (::getuid() != 0) {
    CTtySerialPort port;
    return port.Open(device, 57600) ? "opened" : port.GetLastErrorText();
  }
  int out[2];
  if (::pipe(out) != 0) return "no pipe";
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(out[0]);
    std::string text = "could not become nobody";
    if (::setgid(65534) == 0 && ::setuid(65534) == 0) {
      CTtySerialPort port;
      text = port.Open(device, 57600) ? "opened" : port.GetLastErrorText();
    }
    (void)!::write(out[1], text.data(), text.size());
    ::_exit(0);
  }
  ::close(out[1]);
  std::string text;
  char chunk[256];
  for (ssize_t n; (n = ::read(out[0], chunk, sizeof chunk)) > 0;) text.append(chunk, std::size_t(n));
  ::close(out[0]);
  ::waitpid(pid, nullptr, 0);
  return text;
}

}  // namespace

// Two ports of the program (two instances, one as root) on one line: the second is refused,
// the first's settings and the bytes waiting for it stay, and once it closes the line is free.
TEST(SerialLineHold, ASecondOpenOfAHeldLineIsRefusedAndChangesNothing) {
  CTestPty pty;
  ASSERT_TRUE(pty.IsValid());
  CTtySerialPort first;
  ASSERT_TRUE(first.Open(pty.SlavePath(), 57600));
  const Bytes waiting{0xA8, 0x00, 0x03, 0x2B};
  ASSERT_EQ(::write(pty.Master(), waiting.data(), waiting.size()), ssize_t(waiting.size()));

  CTtySerialPort second;
  EXPECT_FALSE(second.Open(pty.SlavePath(), 9600));
  EXPECT_EQ(second.GetLastErrorText(), "in use by another program");
  EXPECT_FALSE(second.IsOpen());
  std::string why;
  EXPECT_FALSE(second.CanOpen(pty.SlavePath(), 9600, &why));
  EXPECT_EQ(why, "in use by another program");

  const termios settings = pty.Settings();
  EXPECT_EQ(::cfgetospeed(&settings), B57600);
  EXPECT_EQ(settings.c_lflag & ICANON, 0u);
  SerialTimeouts wait;
  wait.readTotalConstant = 2000;
  ASSERT_TRUE(first.SetTimeouts(wait));
  std::uint8_t got[4] = {};
  std::uint32_t count = 0;
  ASSERT_TRUE(first.Read(got, 4, &count));
  EXPECT_EQ(Bytes(got, got + count), waiting);
  const Bytes request{0xF0, 0x01};
  ASSERT_TRUE(first.Write(request.data(), 2, &count));
  EXPECT_EQ(pty.Received(), request);

  first.Close();
  EXPECT_TRUE(second.CanOpen(pty.SlavePath(), 9600, &why));
  EXPECT_TRUE(second.Open(pty.SlavePath(), 9600));
}

struct OtherUserCase {
  const char* name;
  bool alsoMaster;  // the other process made the pseudo-terminal and holds its master too
};

class SerialLineOtherProcess : public ::testing::TestWithParam<OtherUserCase> {};

// A program on the line is named and its line left alone: a terminal program, and a program that
// made the pseudo-terminal and uses its slave itself (the simulator holds the master alone).
TEST_P(SerialLineOtherProcess, AProgramUsingTheLineHoldsIt) {
  CTestPty pty;
  ASSERT_TRUE(pty.IsValid());
  COtherProgramOnLine other(pty, GetParam().alsoMaster);
  ASSERT_TRUE(other.IsReady());
  CTtySerialPort port;
  std::string why;
  const std::string named = "in use by another program (" + OwnCommandName() + ", process " +
                            std::to_string(other.Pid()) + ")";
  EXPECT_FALSE(port.CanOpen(pty.SlavePath(), 57600, &why));
  EXPECT_EQ(why, named);
  EXPECT_FALSE(port.Open(pty.SlavePath(), 57600));
  EXPECT_EQ(port.GetLastErrorText(), named);
  EXPECT_TRUE(IsTerminalAt9600(pty.Settings()));
  EXPECT_TRUE(pty.Received().empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, SerialLineOtherProcess,
                         ::testing::Values(OtherUserCase{"TerminalProgram", false},
                                           OtherUserCase{"ProgramThatMadeTheLine", true}),
                         [](const auto& info) { return std::string(info.param.name); });

enum class ELockOutcome { kOpens, kHeldByTheProcess, kHeldByTheFile };

struct LockFileCase {
  const char* name;
  // The lock file's bytes, given a live process and an ended one; nullopt: no lock file.
  std::function<std::optional<std::string>(pid_t live, pid_t ended)> bytes;
  ELockOutcome outcome;
};

class SerialLineLockFiles : public ::testing::TestWithParam<LockFileCase> {};

// The lock file of a line: one whose process runs holds the line, and it stays as it was; one
// that names no process may be one being written and holds it too; one whose process is gone is
// taken over. A port that holds the line holds its lock file, in the text form, and removes it
// when it lets go.
TEST_P(SerialLineLockFiles, ALiveLockHoldsTheLineAndAPortTakesItsOwn) {
  const std::string folder = GetAppDataFolder() + "lock";
  ASSERT_TRUE(std::filesystem::create_directories(folder));
  SetSerialLockFoldersForTests({folder});
  CTestPty pty;
  ASSERT_TRUE(pty.IsValid());
  const std::string file = LineLockFile(folder, pty.SlavePath());
  const pid_t live = ::getppid();
  const std::optional<std::string> bytes = GetParam().bytes(live, PidOfAnEndedProcess());
  if (bytes) {
    ASSERT_TRUE(WriteLineLockFile(file, *bytes));
  }
  std::string refusal;
  if (GetParam().outcome == ELockOutcome::kHeldByTheProcess)
    refusal = "in use by another program (" + SerialLineUserName(live) + ", process " + std::to_string(live) + ")";
  if (GetParam().outcome == ELockOutcome::kHeldByTheFile)
    refusal = "in use by another program (its lock file " + file + " names no process)";
  const termios before = pty.Settings();

  CTtySerialPort port;
  std::string why;
  EXPECT_EQ(port.CanOpen(pty.SlavePath(), 57600, &why), refusal.empty());
  EXPECT_EQ(why, refusal);
  EXPECT_EQ(port.Open(pty.SlavePath(), 57600), refusal.empty());
  EXPECT_EQ(port.GetLastErrorText(), refusal);
  if (!refusal.empty()) {
    EXPECT_EQ(FileText(file), *bytes);
    const termios after = pty.Settings();
    EXPECT_EQ(::cfgetospeed(&after), ::cfgetospeed(&before));
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_TRUE(pty.Received().empty());
    return;
  }
  EXPECT_EQ(FileText(file), LockFileText(::getpid()));
  port.Close();
  EXPECT_FALSE(std::filesystem::exists(file));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SerialLineLockFiles,
    ::testing::Values(
        LockFileCase{"None", [](pid_t, pid_t) -> std::optional<std::string> { return std::nullopt; },
                     ELockOutcome::kOpens},
        LockFileCase{"OfARunningProcess",
                     [](pid_t live, pid_t) -> std::optional<std::string> { return LockFileText(live); },
                     ELockOutcome::kHeldByTheProcess},
        LockFileCase{"OfARunningProcessAsABinaryNumber",
                     [](pid_t live, pid_t) -> std::optional<std::string> {
                       const int pid = int(live);
                       return std::string(reinterpret_cast<const char*>(&pid), sizeof pid);
                     },
                     ELockOutcome::kHeldByTheProcess},
        LockFileCase{"Stale", [](pid_t, pid_t ended) -> std::optional<std::string> { return LockFileText(ended); },
                     ELockOutcome::kOpens},
        LockFileCase{"NamingNoProcess", [](pid_t, pid_t) -> std::optional<std::string> { return "modem\n"; },
                     ELockOutcome::kHeldByTheFile}),
    [](const auto& info) { return std::string(info.param.name); });

// A program of another user holds a line (as a normal user sees it, its open files cannot be
// looked into): its lock file keeps the program off the line. A free line opens also where the
// lock folder takes no file of this user's, and leaves no file there.
TEST(SerialLineHold, AnotherUsersProgramIsSeenByItsLockFile) {
  QTemporaryDir locks;
  ASSERT_EQ(::chmod(locks.path().toLocal8Bit().constData(), 0755), 0);  // others read, never write
  SetSerialLockFoldersForTests({locks.path().toStdString()});
  CTestPty pty;
  ASSERT_TRUE(pty.IsValid());
  ASSERT_EQ(::chmod(pty.SlavePath().c_str(), 0666), 0);
  {
    COtherProgramOnLine other(pty);
    ASSERT_TRUE(other.IsReady());
    ASSERT_TRUE(WriteLineLockFile(LineLockFile(locks.path().toStdString(), pty.SlavePath()), LockFileText(other.Pid())));
    EXPECT_EQ(RefusalAsAnUser(pty.SlavePath()),
              "in use by another program (" + OwnCommandName() + ", process " + std::to_string(other.Pid()) + ")");
    EXPECT_TRUE(IsTerminalAt9600(pty.Settings()));
    EXPECT_TRUE(pty.Received().empty());
  }
  ASSERT_EQ(::unlink(LineLockFile(locks.path().toStdString(), pty.SlavePath()).c_str()), 0);
  EXPECT_EQ(RefusalAsAnUser(pty.SlavePath()), "opened");
  EXPECT_TRUE(QDir(locks.path()).isEmpty());
}

struct RefusalCase {
  const char* name;
  // Makes the device in the folder and returns its path.
  std::function<std::string(const std::string& folder)> make;
  const char* reason;
};

class SerialLineRefusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(SerialLineRefusal, APortThatDoesNotOpenSaysWhy) {
  QTemporaryDir folder;
  const std::string device = GetParam().make(folder.path().toStdString());
  if (device.rfind("/dev/", 0) == 0 && !std::filesystem::exists(device) &&
      std::string(GetParam().reason) != "the device does not exist")
    GTEST_SKIP() << device << " is not on this machine";
  CTtySerialPort port;
  EXPECT_FALSE(port.Open(device, 57600));
  EXPECT_EQ(port.GetLastErrorText(), GetParam().reason);
  std::string why;
  EXPECT_FALSE(port.CanOpen(device, 57600, &why));
  EXPECT_EQ(why, GetParam().reason);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, SerialLineRefusal,
    ::testing::Values(
        RefusalCase{"NoSuchDevice", [](const std::string&) { return std::string("/dev/orvak-no-such-line"); },
                    "the device does not exist"},
        RefusalCase{"LinkToNothing",
                    [](const std::string& folder) {
                      const std::string link = folder + "/com15";
                      (void)!::symlink("/dev/pts/999999", link.c_str());
                      return link;
                    },
                    "the device does not exist"},
        RefusalCase{"LinkLoop",
                    [](const std::string& folder) {
                      const std::string link = folder + "/com15";
                      (void)!::symlink(link.c_str(), link.c_str());
                      return link;
                    },
                    "its link leads round in a loop"},
        RefusalCase{"RegularFile",
                    [](const std::string& folder) {
                      std::ofstream(folder + "/file") << "not a line";
                      return folder + "/file";
                    },
                    "it is not a serial line"},
        RefusalCase{"Folder", [](const std::string& folder) { return folder; }, "it is not a serial line"},
        RefusalCase{"Fifo",
                    [](const std::string& folder) {
                      (void)!::mkfifo((folder + "/fifo").c_str(), 0600);
                      return folder + "/fifo";
                    },
                    "it is not a serial line"},
        RefusalCase{"NullDevice", [](const std::string&) { return std::string("/dev/null"); },
                    "it is not a serial line"},
        RefusalCase{"NoDeviceNamed", [](const std::string&) { return std::string(); },
                    "no device is named for this port"},
        // Never opened: a look at them would already set a real console's modem lines.
        RefusalCase{"SystemConsole", [](const std::string&) { return std::string("/dev/console"); },
                    "it is the machine's console"},
        RefusalCase{"VirtualConsole", [](const std::string&) { return std::string("/dev/tty0"); },
                    "it is the machine's console"},
        RefusalCase{"PseudoTerminalMultiplexer", [](const std::string&) { return std::string("/dev/ptmx"); },
                    "it is not a serial line"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SerialLineHold, ALineThisUserMayNotOpenSaysSo) {
  CTestPty pty;
  ASSERT_TRUE(pty.IsValid());
  ASSERT_EQ(::chmod(pty.SlavePath().c_str(), 0), 0);
  EXPECT_EQ(RefusalAsAnUser(pty.SlavePath()), "no permission to open the device");
  EXPECT_TRUE(pty.Received().empty());
}

// A line that takes no bytes (a far end that has stopped reading, a stuck adapter): the write
// fails once its time is up, with the words that say the bytes never left, and the port takes no
// more writes.
TEST(SerialLineHold, AWriteThatNeverLeavesFailsAndSaysSo) {
  CTestPty pty;
  ASSERT_TRUE(pty.IsValid());
  ASSERT_TRUE(pty.FillTowardsTheFarEnd());
  CTtySerialPort port;
  ASSERT_TRUE(port.Open(pty.SlavePath(), 57600));
  SerialTimeouts limit;
  limit.writeTotalConstant = 50;
  ASSERT_TRUE(port.SetTimeouts(limit));
  const Bytes request{0xF0, 0x00, 0x07, 0x10, 0x05, 0x00, 0x4F, 0x5B};
  std::uint32_t written = 99;
  EXPECT_FALSE(port.Write(request.data(), std::uint32_t(request.size()), &written));
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(port.GetLastErrorText(), "the line takes no bytes: nothing written has left the port in 50 ms");
  EXPECT_FALSE(port.Write(request.data(), std::uint32_t(request.size()), &written));
}

// A program ended by a signal from outside (kill, Ctrl+C, a closed terminal) lets go of its
// line's exclusive mode on the way out: the line's far end keeps it open, and the mode would
// otherwise keep every later program but root's off it. The signal still ends the program.
TEST(SerialLineHold, AProgramEndedByASignalLeavesItsLineOpenToOthers) {
  CTestPty pty;
  ASSERT_TRUE(pty.IsValid());
  ASSERT_EQ(::chmod(pty.SlavePath().c_str(), 0666), 0);
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t holder = ::fork();
  if (holder == 0) {
    ::close(ready[0]);
    CTtySerialPort port;
    const char opened = port.Open(pty.SlavePath(), 57600) ? 'y' : 'n';
    (void)!::write(ready[1], &opened, 1);
    for (;;) ::pause();
  }
  ::close(ready[1]);
  char opened = 0;
  ASSERT_EQ(::read(ready[0], &opened, 1), 1);
  ::close(ready[0]);
  ASSERT_EQ(opened, 'y');
  EXPECT_EQ(RefusalAsAnUser(pty.SlavePath()).rfind("in use by another program", 0), 0u);
  ASSERT_EQ(::kill(holder, SIGTERM), 0);
  int status = 0;
  ASSERT_EQ(::waitpid(holder, &status, 0), holder);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
  EXPECT_EQ(RefusalAsAnUser(pty.SlavePath()), "opened");
}
