// End to end through a real pseudo-terminal: the transport opens "COM<n>" on the terminal-device
// port through the link in the ports folder, and the simulator answers on the master side, also
// run as a program of its own.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "core/comms/SerialComms.h"
#include "core/protocol/SevenBit.h"
#include "platform/AppPaths.h"
#include "tools/devsim/SimBus.h"

using Bytes = std::vector<std::uint8_t>;
extern char** environ;

namespace {

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

class PtyTransactionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto wire = std::make_unique<CPtyWire>();
    ASSERT_TRUE(wire->IsValid());
    m_wire = wire.get();
    ASSERT_TRUE(LinkComPort(12, wire->SlavePath()));
    m_bus = std::make_unique<CSimBus>(std::move(wire));
    m_unit = m_bus->Add<CFramedUnit>(std::uint8_t(5));
    m_unit->SetReplyLength(0x4F, 40);
    m_bus->SetPacing(57600);
    m_bus->Start();
  }
  void TearDown() override {
    m_comms.Close();
    if (m_bus) m_bus->Stop();
    UnlinkComPort(12);
  }

  void SetRead() {
    CControlMessage& t = m_comms.Transaction();
    const Bytes frame{0xF0, 0x00, 0x07, 0x10, 0x05, 0x00, 0x4F};
    std::memcpy(t.frame, frame.data(), frame.size());
    t.frame[7] = Checksum7Bit(frame.data(), frame.size());
    t.Set(0x4F, 8, 40, nullptr, false, 0xA8, 0, 0);
  }

  CPtyWire* m_wire = nullptr;
  std::unique_ptr<CSimBus> m_bus;
  CFramedUnit* m_unit = nullptr;
  CSerialComms m_comms;
};

}  // namespace

TEST_F(PtyTransactionTest, ReadAndWriteTransactionsSucceedThroughTheLinkedPort) {
  ASSERT_TRUE(m_comms.Open(12, 57600, true));
  SetRead();
  m_comms.StartWrite(true);
  ASSERT_TRUE(m_comms.WaitForCompletion());
  EXPECT_EQ(m_comms.Transaction().receivedLength, 40u);
  Bytes body(36);
  for (std::size_t i = 0; i < body.size(); ++i) body[i] = std::uint8_t(i);
  const Bytes reply = MakeFramedReply(0xA8, body);
  EXPECT_EQ(Bytes(m_comms.ReceiveBuffer(), m_comms.ReceiveBuffer() + 40), reply);

  CControlMessage& t = m_comms.Transaction();
  const Bytes write{0xF1, 0x00, 0x08, 0x10, 0x05, 0x00, 0x18, 0x01};
  std::memcpy(t.frame, write.data(), write.size());
  t.frame[8] = Checksum7Bit(write.data(), write.size());
  t.Set(0x18, 9, 0, nullptr, true, 0xA8, 0, 0);
  m_comms.StartWrite(true);
  ASSERT_TRUE(m_comms.WaitForCompletion());
  EXPECT_EQ(t.receivedLength, 1u);
  EXPECT_EQ(m_comms.ReceiveBuffer()[0], 0xA0);
  ASSERT_EQ(m_unit->Writes().size(), 1u);
}

TEST_F(PtyTransactionTest, MissingDeviceFailsToOpen) {
  UnlinkComPort(12);
  EXPECT_TRUE(LinkComPort(12, "/dev/does-not-exist"));
  EXPECT_FALSE(m_comms.Open(12, 57600, true));
  EXPECT_EQ(m_comms.GetPortNumber(), 0u);
}

TEST_F(PtyTransactionTest, HungUpLineIsATransportErrorWithoutBusyPolling) {
  ASSERT_TRUE(m_comms.Open(12, 57600, true));
  m_bus->Stop();
  m_wire->HangUp();
  SetRead();
  m_comms.StartWrite(true);
  const double cpuBefore = CpuSeconds();
  const bool done = m_comms.WaitForCompletion();
  EXPECT_FALSE(done && m_comms.Transaction().receivedLength == 40u);
  // Whatever the outcome, the port must not spin on the dead line afterwards.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_LT(CpuSeconds() - cpuBefore, 0.15);
  if (m_comms.GetStatus() != kCommsError) {
    m_comms.StartWrite(true);
    m_comms.WaitForCompletion();
  }
  EXPECT_EQ(m_comms.GetStatus(), kCommsError);
}

// orvak-devsim run as a program of its own: it holds its pseudo-terminal's master alone, so the
// program, which opens no line another process has open, takes the line as a free one, and the
// simulated unit answers on it.
TEST(SimulatorProgram, ItsLineIsFreeForTheProgramAndItsUnitAnswers) {
  constexpr std::uint32_t kPort = 11;
  const std::string home = GetAppDataFolder() + "simulator";
  std::vector<std::string> env{"XDG_DATA_HOME=" + home};
  for (char** e = environ; *e; ++e) {
    if (std::string(*e).rfind("XDG_DATA_HOME=", 0) != 0) env.push_back(*e);
  }
  std::vector<char*> envp;
  for (std::string& entry : env) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::vector<std::string> args{ORVAK_DEVSIM_EXECUTABLE, "--com", std::to_string(kPort), "--unit", "5", "--reply", "79:40"};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  int out[2];
  ASSERT_EQ(::pipe2(out, O_CLOEXEC), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  pid_t simulator = 0;
  ASSERT_EQ(::posix_spawn(&simulator, args[0].c_str(), &actions, nullptr, argv.data(), envp.data()), 0);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  // "orvak-devsim: COM11 -> /dev/pts/7 (1 unit(s), 57600 baud); Ctrl+C ends"
  std::string said;
  for (char c; said.find('\n') == std::string::npos && ::read(out[0], &c, 1) == 1;) said += c;
  ::close(out[0]);
  const std::size_t from = said.find("-> "), to = said.find(" (");
  ASSERT_TRUE(from != std::string::npos && to != std::string::npos) << said;
  const std::string line = said.substr(from + 3, to - from - 3);

  ASSERT_TRUE(LinkComPort(kPort, line));
  CSerialComms comms;
  ASSERT_TRUE(comms.Open(kPort, 57600, true)) << comms.GetOpenFailureText();
  CControlMessage& t = comms.Transaction();
  const Bytes frame{0xF0, 0x00, 0x07, 0x10, 0x05, 0x00, 0x4F};
  std::memcpy(t.frame, frame.data(), frame.size());
  t.frame[7] = Checksum7Bit(frame.data(), frame.size());
  t.Set(0x4F, 8, 40, nullptr, false, 0xA8, 0, 0);
  comms.StartWrite(true);
  ASSERT_TRUE(comms.WaitForCompletion());
  EXPECT_EQ(t.receivedLength, 40u);
  // The simulator has no descriptor of the line itself, only of the master.
  const std::string fds = "/proc/" + std::to_string(simulator) + "/fd";
  for (const auto& fd : std::filesystem::directory_iterator(fds)) {
    std::error_code ec;
    EXPECT_NE(std::filesystem::read_symlink(fd.path(), ec).string(), line);
  }
  comms.Close();
  ::kill(simulator, SIGTERM);
  int status = 0;
  EXPECT_EQ(::waitpid(simulator, &status, 0), simulator);
  UnlinkComPort(kPort);
}
