// A terminal line is this program's alone while its port is open, and a line another program
// uses is left as it was; a line that does not open says why.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <fstream>
#include <functional>

#include "platform/SerialPortTty.h"
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
  bool farEnd;  // the other process also holds the master
};

class SerialLineOtherProcess : public ::testing::TestWithParam<OtherUserCase> {};

// A terminal program on the line is named and its line left alone; the far end of a
// pseudo-terminal that keeps its own slave open (a simulator, a relay) holds no line.
TEST_P(SerialLineOtherProcess, OnlyAProgramUsingTheLineHoldsIt) {
  CTestPty pty;
  ASSERT_TRUE(pty.IsValid());
  COtherProgramOnLine other(pty, GetParam().farEnd);
  ASSERT_TRUE(other.IsReady());
  CTtySerialPort port;
  std::string why;
  if (GetParam().farEnd) {
    EXPECT_TRUE(port.CanOpen(pty.SlavePath(), 57600, &why));
    EXPECT_TRUE(port.Open(pty.SlavePath(), 57600));
    return;
  }
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
                         ::testing::Values(OtherUserCase{"TerminalProgram", false}, OtherUserCase{"FarEnd", true}),
                         [](const auto& info) { return std::string(info.param.name); });

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
                    "no device is named for this port"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SerialLineHold, ALineThisUserMayNotOpenSaysSo) {
  CTestPty pty;
  ASSERT_TRUE(pty.IsValid());
  ASSERT_EQ(::chmod(pty.SlavePath().c_str(), 0), 0);
  EXPECT_EQ(RefusalAsAnUser(pty.SlavePath()), "no permission to open the device");
  EXPECT_TRUE(pty.Received().empty());
}
