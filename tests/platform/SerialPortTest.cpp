// COM-number mapping, alertable completions, the in-memory serial line and the terminal-device
// port on a pseudo-terminal.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/SerialPort.h"
#include "platform/SerialPortMemory.h"
#include "platform/SerialPortQueue.h"
#include "platform/SerialPortTty.h"

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

TEST(ComPortMapping, NumbersWithoutALinkMapToUsbAcmAndSerialDevices) {
  EXPECT_EQ(GetComPortDevice(1), "/dev/ttyUSB0");
  EXPECT_EQ(GetComPortDevice(8), "/dev/ttyUSB7");
  EXPECT_EQ(GetComPortDevice(9), "/dev/ttyACM0");
  EXPECT_EQ(GetComPortDevice(16), "/dev/ttyACM7");
  EXPECT_EQ(GetComPortDevice(17), "/dev/ttyS0");
  EXPECT_EQ(GetComPortDevice(32), "/dev/ttyS15");
  EXPECT_EQ(GetComPortDevice(0), "");
  EXPECT_EQ(GetComPortDevice(33), "");
}

TEST(ComPortMapping, LinkInThePortsFolderWinsEvenForHighNumbers) {
  namespace fs = std::filesystem;
  const fs::path folder = GetComPortLinkFolder();
  fs::create_directories(folder);
  fs::create_symlink("/dev/pts/77", folder / "com2");
  fs::create_symlink("../target-of-40", folder / "com40");
  EXPECT_EQ(GetComPortDevice(2), "/dev/pts/77");
  EXPECT_EQ(GetComPortDevice(40), (folder.parent_path().parent_path() / "target-of-40").string());
  EXPECT_EQ(GetComPortDevice(3), "/dev/ttyUSB2");
  fs::remove(folder / "com2");
  fs::remove(folder / "com40");
  EXPECT_EQ(GetComPortDevice(2), "/dev/ttyUSB1");
}

TEST(AlertableWait, CompletionRunsOnThePostingTargetThreadOnlyInsideSleepEx) {
  auto queue = CIoCompletionQueue::ForCurrentThread();
  std::thread::id ranOn;
  std::thread other([&] { queue->Post([&] { ranOn = std::this_thread::get_id(); }); });
  other.join();
  EXPECT_EQ(ranOn, std::thread::id());
  EXPECT_EQ(SleepEx(1, false), 0u);
  EXPECT_EQ(ranOn, std::thread::id());
  EXPECT_EQ(SleepEx(1000, true), WAIT_IO_COMPLETION);
  EXPECT_EQ(ranOn, std::this_thread::get_id());
  const auto start = Clock::now();
  EXPECT_EQ(SleepEx(20, true), 0u);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(20));
}

namespace {
struct MemoryPortRig {
  std::shared_ptr<CSerialLine> line = std::make_shared<CSerialLine>();
  CMemorySerialPort port{line};
  MemoryPortRig() {
    EXPECT_TRUE(port.Open("/dev/ttyUSB0", 57600));
    SerialTimeouts t;
    t.readTotalMultiplier = 1;
    t.readTotalConstant = 30;
    EXPECT_TRUE(port.SetTimeouts(t));
  }
};
}  // namespace

TEST(MemorySerialPort, ReadEndsWithWhatArrivedWhenTheTimeoutPasses) {
  MemoryPortRig rig;
  const Bytes two{0x01, 0x02};
  rig.line->DeviceWrite(two.data(), two.size());
  std::uint8_t buffer[8] = {};
  std::uint32_t got = 99;
  const auto start = Clock::now();
  ASSERT_TRUE(rig.port.Read(buffer, 8, &got));
  EXPECT_EQ(got, 2u);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(38));
  EXPECT_EQ(buffer[1], 0x02);
}

TEST(MemorySerialPort, PacedWriteDrainsAtTheWireRateAndTheDeviceSeesTheBytes) {
  MemoryPortRig rig;
  rig.line->SetBaudRate(9600);  // 1.04 ms a byte
  const Bytes frame(20, 0x33);
  std::uint32_t written = 0;
  const auto start = Clock::now();
  ASSERT_TRUE(rig.port.Write(frame.data(), 20, &written));
  EXPECT_EQ(written, 20u);
  EXPECT_GE(Clock::now() - start, std::chrono::microseconds(20800));
  std::uint8_t seen[32];
  EXPECT_EQ(rig.line->DeviceRead(seen, sizeof seen, Clock::now() + std::chrono::seconds(2)), 20u);
  EXPECT_EQ(rig.line->BytesToDevice(), 20u);
}

TEST(MemorySerialPort, PurgeDropsArrivedBytesOnly) {
  MemoryPortRig rig;
  const Bytes old{0x77, 0x78};
  rig.line->DeviceWrite(old.data(), old.size());
  ASSERT_TRUE(rig.port.Purge(kPurgeTx | kPurgeRx));
  const Bytes fresh{0xA0};
  rig.line->DeviceWrite(fresh.data(), fresh.size());
  std::uint8_t byte = 0;
  std::uint32_t got = 0;
  ASSERT_TRUE(rig.port.Read(&byte, 1, &got));
  EXPECT_EQ(got, 1u);
  EXPECT_EQ(byte, 0xA0);
}

TEST(MemorySerialPort, CloseDropsTheCompletionOfAReadInFlight) {
  MemoryPortRig rig;
  std::uint8_t buffer[4];
  bool ran = false;
  ASSERT_TRUE(rig.port.ReadEx(buffer, 4, [&](bool, std::uint32_t) { ran = true; }));
  EXPECT_FALSE(rig.port.ReadEx(buffer, 4, [](bool, std::uint32_t) {}));  // one at a time
  rig.port.Close();
  SleepEx(60, true);
  EXPECT_FALSE(ran);
  EXPECT_FALSE(rig.port.ReadEx(buffer, 4, [](bool, std::uint32_t) {}));
  EXPECT_FALSE(rig.line->IsPortOpen());
}

TEST(MemorySerialPort, HangUpFailsTheReadInsteadOfReturningNothingForever) {
  MemoryPortRig rig;
  SerialTimeouts unlimited;  // no read limit at all
  ASSERT_TRUE(rig.port.SetTimeouts(unlimited));
  std::uint8_t buffer[4];
  std::thread hangup([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    rig.line->SetHangup(true);
  });
  std::uint32_t got = 0;
  EXPECT_FALSE(rig.port.Read(buffer, 4, &got));
  hangup.join();
  EXPECT_FALSE(rig.port.WriteEx(buffer, 1, [](bool, std::uint32_t) {}));
}

namespace {

// A pseudo-terminal: the port opens its slave, the test plays the unit on the master.
class TtySerialPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(m_master, 0);
    ASSERT_EQ(::grantpt(m_master), 0);
    ASSERT_EQ(::unlockpt(m_master), 0);
    char name[128];
    ASSERT_EQ(::ptsname_r(m_master, name, sizeof name), 0);
    ASSERT_TRUE(m_port.Open(name, 9600));
  }
  void TearDown() override {
    m_port.Close();
    if (m_master >= 0) ::close(m_master);
  }

  // What the unit sends.
  void UnitSends(const Bytes& bytes) {
    ASSERT_EQ(::write(m_master, bytes.data(), bytes.size()), ssize_t(bytes.size()));
  }
  // What the program sent, once count bytes are there (5 s at most).
  Bytes UnitReceives(std::size_t count) {
    Bytes got;
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (got.size() < count && Clock::now() < deadline) {
      pollfd p{m_master, POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      std::uint8_t chunk[256];
      const ssize_t n = ::read(m_master, chunk, sizeof chunk);
      if (n > 0) got.insert(got.end(), chunk, chunk + n);
    }
    return got;
  }
  void SetReadLimit(std::uint32_t multiplier, std::uint32_t constant) {
    SerialTimeouts t;
    t.readTotalMultiplier = multiplier;
    t.readTotalConstant = constant;
    ASSERT_TRUE(m_port.SetTimeouts(t));
  }

  int m_master = -1;
  CTtySerialPort m_port;
};

}  // namespace

TEST_F(TtySerialPortTest, WriteReachesTheLineAndAWholeReplyIsRead) {
  const Bytes request{0xF0, 0x00, 0x07, 0x10, 0x05, 0x00, 0x4F, 0x0B};
  std::uint32_t written = 0;
  ASSERT_TRUE(m_port.Write(request.data(), std::uint32_t(request.size()), &written));
  EXPECT_EQ(written, request.size());
  EXPECT_EQ(UnitReceives(request.size()), request);

  SetReadLimit(1, 2000);
  const Bytes reply{0xA8, 0x00, 0x04, 0x10, 0x05, 0x41};
  UnitSends(reply);
  std::uint8_t buffer[16] = {};
  std::uint32_t got = 0;
  ASSERT_TRUE(m_port.Read(buffer, std::uint32_t(reply.size()), &got));
  EXPECT_EQ(Bytes(buffer, buffer + got), reply);
}

// A chunk answered after the read stopped waiting for it: the answer is purged, and the line
// goes on taking chunks and answers however the purge and the answer fall.
TEST_F(TtySerialPortTest, AnswersPurgedAfterTheReadGaveUpNeverCloseTheLine) {
  SetReadLimit(1, 2);
  const Bytes chunk(50, ':');
  for (int round = 0; round < 12; ++round) {
    std::uint32_t written = 0;
    ASSERT_TRUE(m_port.Write(chunk.data(), 50, &written)) << "round " << round;
    ASSERT_EQ(UnitReceives(50).size(), 50u);
    std::thread unit([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(2 + round % 6));
      UnitSends({'_', '_'});
    });
    std::uint8_t answer[5];
    std::uint32_t got = 0;
    EXPECT_TRUE(m_port.Read(answer, 5, &got)) << "round " << round;
    unit.join();
    EXPECT_TRUE(m_port.Purge(kPurgeRx)) << "round " << round;
    EXPECT_TRUE(m_port.IsOpen());
  }
  // Nothing on the line now: a read ends empty and the line still works.
  std::uint8_t answer[5];
  std::uint32_t got = 99;
  ASSERT_TRUE(m_port.Read(answer, 5, &got));
  EXPECT_EQ(got, 0u);
  UnitSends({'_'});
  SetReadLimit(1, 2000);
  ASSERT_TRUE(m_port.Read(answer, 1, &got));
  EXPECT_EQ(got, 1u);
}

TEST_F(TtySerialPortTest, HangUpFailsTheReadAndEveryLaterOperation) {
  SetReadLimit(0, 0);  // no read limit at all
  std::thread unplug([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ::close(m_master);
    m_master = -1;
  });
  std::uint8_t buffer[4];
  std::uint32_t got = 0;
  EXPECT_FALSE(m_port.Read(buffer, 4, &got));
  unplug.join();
  EXPECT_FALSE(m_port.WriteEx(buffer, 1, [](bool, std::uint32_t) {}));
  EXPECT_FALSE(m_port.ReadEx(buffer, 1, [](bool, std::uint32_t) {}));
  EXPECT_FALSE(m_port.Purge(kPurgeRx));
}

// The port looks at the line when the reply's bytes should have arrived, not at every byte.
TEST_F(TtySerialPortTest, ReplyPacedAtTheBaudRateIsReadWithoutWakingPerByte) {
  m_port.Close();
  char name[128];
  ASSERT_EQ(::ptsname_r(m_master, name, sizeof name), 0);
  ASSERT_TRUE(m_port.Open(name, 57600));
  SetReadLimit(1, 2000);
  constexpr std::size_t kBytes = 60;
  std::thread unit([&] {
    auto at = Clock::now();
    for (std::size_t i = 0; i < kBytes; ++i) {
      at += std::chrono::microseconds(174);  // ten bits at 57600 baud
      std::this_thread::sleep_until(at);
      const std::uint8_t byte = std::uint8_t(i);
      (void)!::write(m_master, &byte, 1);
    }
  });
  const std::uint64_t wakeupsBefore = m_port.ReadWakeups();
  std::uint8_t buffer[kBytes];
  std::uint32_t got = 0;
  ASSERT_TRUE(m_port.Read(buffer, kBytes, &got));
  unit.join();
  EXPECT_EQ(got, kBytes);
  EXPECT_EQ(buffer[kBytes - 1], kBytes - 1);
  EXPECT_LT(m_port.ReadWakeups() - wakeupsBefore, kBytes / 4);
}

TEST_F(TtySerialPortTest, CloseDropsTheCompletionOfAReadInFlight) {
  std::uint8_t buffer[4];
  bool ran = false;
  ASSERT_TRUE(m_port.ReadEx(buffer, 4, [&](bool, std::uint32_t) { ran = true; }));
  EXPECT_FALSE(m_port.ReadEx(buffer, 4, [](bool, std::uint32_t) {}));  // one at a time
  m_port.Close();
  UnitSends({1, 2, 3, 4});
  SleepEx(60, true);
  EXPECT_FALSE(ran);
  EXPECT_FALSE(m_port.IsOpen());
}

TEST_F(TtySerialPortTest, BaudRatesWithoutATerminalSpeedAreRefused) {
  m_port.Close();
  char name[128];
  ASSERT_EQ(::ptsname_r(m_master, name, sizeof name), 0);
  EXPECT_FALSE(m_port.Open(name, 12345));
  EXPECT_FALSE(m_port.IsOpen());
  EXPECT_FALSE(m_port.Open("/dev/does-not-exist", 9600));
  EXPECT_TRUE(m_port.Open(name, 2400));
}

// A signal whose handler was installed without SA_RESTART interrupts whichever call of the port
// it meets, the zero-time look at an empty line among them. An interrupted call is run again:
// it never fails the line.
TEST_F(TtySerialPortTest, SignalsHandledWithoutRestartNeverFailTheLine) {
  static std::atomic<int> handled{0};
  struct sigaction action {};
  struct sigaction previous {};
  action.sa_handler = [](int) { handled.fetch_add(1, std::memory_order_relaxed); };
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  ASSERT_EQ(::sigaction(SIGUSR2, &action, &previous), 0);
  SerialTimeouts immediate;
  immediate.readInterval = 0xFFFFFFFFu;  // a read takes what is there and ends
  ASSERT_TRUE(m_port.SetTimeouts(immediate));

  std::atomic<bool> done{false};
  bool allOk = true;
  int rounds = 0;
  std::thread user([&] {
    const auto end = Clock::now() + std::chrono::milliseconds(400);
    for (; Clock::now() < end && allOk; ++rounds) {
      std::uint8_t buffer[4];
      std::uint32_t got = 0;
      allOk = m_port.Read(buffer, 4, &got);
      if (allOk && rounds % 64 == 0) allOk = m_port.Write(buffer, 1, &got) && got == 1;
    }
    done = true;
  });
  std::thread storm([&, target = user.native_handle()] {
    while (!done) ::pthread_kill(target, SIGUSR2);
  });
  // The unit answers now and then and takes what the port sends.
  while (!done) {
    const std::uint8_t byte = 0x55;
    (void)!::write(m_master, &byte, 1);
    std::uint8_t sink[64];
    pollfd p{m_master, POLLIN, 0};
    if (::poll(&p, 1, 1) > 0) (void)!::read(m_master, sink, sizeof sink);
  }
  storm.join();
  user.join();
  ASSERT_EQ(::sigaction(SIGUSR2, &previous, nullptr), 0);
  EXPECT_TRUE(allOk) << "failed in round " << rounds;
  EXPECT_GT(handled.load(), 0);
  EXPECT_TRUE(m_port.Purge(kPurgeRx));
}
