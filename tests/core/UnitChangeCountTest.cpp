// Autosave's count of what a unit changed in the file, over every polled family with a real
// device and its simulated unit: each request the device makes goes to the unit and the unit's
// answer straight back through the one entry of every reply (CDevice::ProcessReply). A reply
// that changes what the file keeps counts once; a meter reply, and a reply that repeats what the
// file holds, do not.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "core/model/Device.h"
#include "core/model/UnitChangeCount.h"
#include "core/protocol/ControlMessage.h"
#include "core/system/System.h"
#include "devices/amplifier/AmplifierFamilies.h"
#include "devices/amplifier/ZelBaseDevice.h"
#include "devices/amplifier/ZelSeriesDevice.h"
#include "devices/processor/NerexMessages.h"
#include "devices/processor/ProcessorFamily.h"
#include "platform/Sync.h"
#include "tests/support/RecordingFrame.h"
#include "tools/devsim/SimProcessor.h"
#include "tools/devsim/SimZelAmp.h"
#include "tools/devsim/SimZelBreak.h"

namespace {

constexpr std::uint32_t kCountedUnitId = 4;
// Enough requests for a whole read-out of the largest model and a few poll cycles after it.
constexpr int kCountedReadOutSteps = 4000;

struct CountedFamily {
  const char* name;
  std::uint32_t type;
  // The command of the family's meter read; 0 for a family that reads none (listed last).
  std::uint32_t meterCommand;
  friend void PrintTo(const CountedFamily& c, std::ostream* os) { *os << c.name; }
};

const CountedFamily kCountedFamilies[] = {
    {"Nerex48", 120, kCmdMeters},
    {"Torvex48", 121, kCmdMeterPage},
    {"Fennick", 16, kCmdMeters},
    {"Zel3", 52, kZelCmdReadMeters},
    {"XB16", 41, 0},
};

bool IsCountedProcessor(std::uint32_t type) { return type < 34 || type > 60; }

class UnitChangeCountTest : public ::testing::TestWithParam<CountedFamily> {
 protected:
  void SetUp() override {
    RegisterProcessorFamily();
    RegisterAmplifierFamilies();
    CZelBaseDevice::SetFirmwareTableReader([](const std::string&) { return std::string("1.00"); });
    const std::uint32_t type = GetParam().type;
    SimSecurityConfig config;
    config.typeCode = std::uint8_t(type);
    config.deviceId = kCountedUnitId;
    if (IsCountedProcessor(type)) {
      m_processor = new CSimProcessorUnit(int(type), kCountedUnitId);
      m_unit.reset(m_processor);
    } else if (type >= 51) {
      m_amplifier = new CSimZelAmpUnit(config);
      m_unit.reset(m_amplifier);
    } else {
      m_box = new CSimZelBreakUnit(config);
      m_unit.reset(m_box);
    }
    m_device = system.CreateDevice(kCountedUnitId, type, 0);
    ASSERT_NE(m_device, nullptr);
    system.AppendDevice(m_device);
  }
  void TearDown() override { CZelBaseDevice::SetFirmwareTableReader(nullptr); }

  // The device's next request answered by the unit; the command answered, or 0 for none.
  std::uint32_t Step() {
    CControlMessage t;
    if (!m_device->GetNextPollMessage(t)) return 0;
    // The security step is not under test: the device goes on as after it.
    if (m_device->NeedsInitialisation()) {
      m_device->SetNeedsInitialisation(false);
      return 0;
    }
    const SimBytes reply = m_unit->Handle(SimBytes(t.frame, t.frame + t.FrameBytes())).Wire();
    if (reply.empty() || reply.size() > sizeof t.frame) return 0;
    std::memcpy(t.frame, reply.data(), reply.size());
    t.receivedLength = std::uint32_t(reply.size());
    CSingleLock lock(system.GetLock());
    m_device->ProcessReply(t);
    return t.command;
  }
  // The unit read out again from the start, as at going online in a "Retrieve" session.
  void ReadOut() {
    m_device->Reinitialise(0);
    for (int i = 0; i < kCountedReadOutSteps; ++i) Step();
    ASSERT_TRUE(m_device->IsConnected());
  }
  std::uint32_t Count() const { return m_device->UnitChanges().Get(); }
  // The unit's own name changed, as a person at its front panel changes it.
  void RenameUnit(const std::string& name) {
    if (m_processor) m_processor->SetDeviceName(name);
    if (m_amplifier) m_amplifier->Update([&](SimZelAmpState& s) { s.name = name; });
    if (m_box) m_box->Update([&](SimZelBreakState& s) { s.name = name; });
  }
  // Meter readings the unit reports from now on, different for each n.
  void SetMeters(std::uint8_t n) {
    if (m_processor) {
      std::array<std::uint8_t, 32> bytes{};
      bytes.fill(std::uint8_t(n % 9));
      m_processor->SetMeterBytes(bytes);
    }
    if (m_amplifier) m_amplifier->Update([&](SimZelAmpState& s) { s.meters.fill(std::uint8_t(n)); });
  }

  CSystem system;
  CRecordingFrame frame;
  CDevice* m_device = nullptr;
  std::unique_ptr<CSimUnit> m_unit;
  CSimProcessorUnit* m_processor = nullptr;
  CSimZelAmpUnit* m_amplifier = nullptr;
  CSimZelBreakUnit* m_box = nullptr;
};

}  // namespace

TEST_P(UnitChangeCountTest, AReplyThatChangesWhatTheFileKeepsCounts_OneThatRepeatsItDoesNot) {
  ReadOut();
  const std::uint32_t afterFirst = Count();
  EXPECT_GT(afterFirst, 0u) << "the unit's own values came into the file";

  ReadOut();
  EXPECT_EQ(Count(), afterFirst) << "a read-out of what the file holds changes nothing";

  RenameUnit("Renamed At Unit");
  ReadOut();
  EXPECT_EQ(m_device->GetName(), "Renamed At Unit");
  EXPECT_GT(Count(), afterFirst);
  const std::uint32_t renamed = Count();
  ReadOut();
  EXPECT_EQ(Count(), renamed);
}

// The families that read meters.
class MeterRepliesTest : public UnitChangeCountTest {};

TEST_P(MeterRepliesTest, NeverCount) {
  const std::uint32_t meterCommand = GetParam().meterCommand;
  // The System Monitor shows every unit's meters: they are read on most turns.
  system.SetSystemMonitorVisible(true);
  ReadOut();
  const std::uint32_t before = Count();
  int meterReplies = 0;
  for (int i = 0; i < kCountedReadOutSteps && meterReplies < 5; ++i) {
    SetMeters(std::uint8_t(meterReplies + 1));
    if (Step() == meterCommand) ++meterReplies;
  }
  EXPECT_EQ(meterReplies, 5);
  EXPECT_EQ(Count(), before);
}

INSTANTIATE_TEST_SUITE_P(Families, UnitChangeCountTest, ::testing::ValuesIn(kCountedFamilies),
                         [](const ::testing::TestParamInfo<CountedFamily>& info) { return std::string(info.param.name); });
INSTANTIATE_TEST_SUITE_P(Families, MeterRepliesTest,
                         ::testing::ValuesIn(kCountedFamilies, kCountedFamilies + 4),
                         [](const ::testing::TestParamInfo<CountedFamily>& info) { return std::string(info.param.name); });

// The count on its own: a write (answered by its ACK) and a meter read store nothing; every
// other read may, and counts once when the print of the record moved.
TEST(UnitChangeCount, OnlyAReadThatIsNoMeterReadMayStoreAndOnlyAMovedPrintCounts) {
  CUnitChangeCount count;
  count.SetMeterCommands({62, 63});
  CControlMessage read;
  read.Set(51, 11, 20, nullptr, false, 0xA8, 0, 0);
  EXPECT_TRUE(count.MayStore(read));
  CControlMessage meters = read;
  meters.command = 63;
  EXPECT_FALSE(count.MayStore(meters));
  CControlMessage write = read;
  write.write = true;
  EXPECT_FALSE(count.MayStore(write));

  count.CountIfChanged(7, 7);
  EXPECT_EQ(count.Get(), 0u);
  count.CountIfChanged(7, 8);
  EXPECT_EQ(count.Get(), 1u);
}
