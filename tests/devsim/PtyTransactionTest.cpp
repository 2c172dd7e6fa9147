// End to end through a real pseudo-terminal: the transport opens "COM<n>" on the terminal-device
// port through the link in the ports folder, and the simulator answers on the master side.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cstring>

#include "core/comms/SerialComms.h"
#include "core/protocol/SevenBit.h"
#include "tools/devsim/SimBus.h"

using Bytes = std::vector<std::uint8_t>;

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
