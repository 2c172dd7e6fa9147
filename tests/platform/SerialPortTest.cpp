// COM-number mapping, alertable completions and the in-memory serial line.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "platform/SerialPort.h"
#include "platform/SerialPortMemory.h"
#include "platform/SerialPortQueue.h"

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
