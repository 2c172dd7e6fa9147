// The Zel amplifier against its simulated unit, served by the system's own comms worker: the
// read-out, periodic polling with scripted temperatures, protect and load faults, writes that
// change the unit, and replies that arrive damaged, late or not at all.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/comms/Security.h"
#include "devices/amplifier/AmplifierFamilies.h"
#include "devices/amplifier/ZelSeriesDevice.h"
#include "tests/core/BusHarness.h"
#include "tests/devices/amplifier/ZelAmpFixture.h"
#include "tools/devsim/SimAnswerGate.h"
#include "tools/devsim/SimZelAmp.h"
#include "tests/support/ModelChanges.h"

namespace {

// Goes online with comms errors logged, without waiting for a security dialog or pausing,
// reading the units (choice 0) or sending the file's settings (1), and with reads that follow
// what the units send, not the machine's speed.
bool GoOnline(CBusHarness& harness, std::uint32_t choice = 0) {
  harness.DecideOnEvents();
  harness.SkipSecurityDialog();
  harness.system.Settings().SetLogCommsErrors(true);
  return harness.StartOnline(choice);
}

class ZelBusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterAmplifierFamilies();
    CZelBaseDevice::SetFirmwareTableReader([](const std::string&) { return std::string("1.00"); });
    SimSecurityConfig config;
    config.typeCode = 55;
    config.deviceId = 3;
    gate = harness.bus.Add<CSimAnswerGate>(std::make_unique<CSimZelAmpUnit>(config));
    unit = static_cast<CSimZelAmpUnit*>(&gate->Unit());
    unit->Update([](SimZelAmpState& s) {
      s.name = "Balcony";
      s.channelNames = {"Left", "Right", "Fill", "Sub"};
      s.gainIndex = {1, 2, 3, 4};
      s.impedanceWindow = {20, 20, 0, 0};
      s.referenceTenths = {80, 81, 0, 0};
      s.alarmTemperature = 85;
      s.meters = {48, 48, 0, 0, 124, 124, 0, 0, 0, 0, 0};
    });
    amp = static_cast<CZelSeriesDevice*>(harness.system.CreateDevice(3, 55, 0));
    harness.system.AppendDevice(amp);
    ASSERT_TRUE(GoOnline(harness));
    ASSERT_TRUE(Wait([&] { return amp->IsReadOutComplete() && amp->IsConnected(); }));
  }
  void TearDown() override {
    gate->Release();
    CZelBaseDevice::SetFirmwareTableReader(nullptr);
  }

  // Waits for the condition, checked under the system's lock.
  bool Wait(const std::function<bool()>& done) {
    return WaitFor([&] {
      CSingleLock lock(harness.system.GetLock());
      return done();
    });
  }
  bool Logged(const std::string& prefix) const { return harness.frame.CountLogLinesStartingWith(prefix) > 0; }
  // A number typed into the amplifier's row of the properties pane.
  void Type(const char* rowName, std::int64_t number) {
    Grid grid;
    amp->FillPropertiesPane(grid);
    CDeviceProperty* row = grid.Find(rowName);
    ASSERT_NE(row, nullptr);
    row->SetValue(number);
    ASSERT_TRUE(CommitPropertyRow(amp, *row));
  }
  // The unit reports a load fault on channel 3 (its window 0: no alarm), and the amplifier has read
  // it in two meter replies.
  void StandingLoadFaultOnChannel3() {
    unit->Update([](SimZelAmpState& s) { s.meters[8] = 0x04; });
    const std::size_t meters = unit->ReadCount(0x44);
    ASSERT_TRUE(WaitFor([&] { return unit->ReadCount(0x44) >= meters + 2; }));
    ASSERT_TRUE(Wait([&] { return amp->GetMeters().loadFaultBits == 0x04; }));
  }

  CBusHarness harness;
  CSimAnswerGate* gate = nullptr;
  CSimZelAmpUnit* unit = nullptr;
  CZelSeriesDevice* amp = nullptr;
};

TEST_F(ZelBusTest, ReadOutFillsTheModelFromTheUnit) {
  EXPECT_EQ(amp->GetName(), "Balcony");
  EXPECT_EQ(amp->GetChannelName(3), "Sub");
  EXPECT_EQ(amp->GetGainIndex(3), 4);
  EXPECT_EQ(amp->GetImpedanceWindow(0), 20);
  EXPECT_FLOAT_EQ(amp->GetReferenceImpedance(1), 8.1f);
  EXPECT_EQ(amp->GetAlarmTemperature(), 85);
  EXPECT_EQ(amp->GetFirmwareVersion(), "1.00");
  EXPECT_EQ(amp->GetWarningBits(), 0u);
  EXPECT_EQ(amp->GetRefusedReplyCount(), 0u);
  EXPECT_TRUE(Logged("Connected to Zel-6"));
  // Meters and counters follow on the periodic schedule.
  ASSERT_TRUE(Wait([&] { return (amp->GetHaveRead() & (kZelReadMeters | kZelReadCounters)) != 0; }));
}

TEST_F(ZelBusTest, ScriptedTemperatureProtectAndLoadFaultsRaiseAndClearTheirAlarms) {
  unit->Update([](SimZelAmpState& s) { s.temperature = 88; });
  ASSERT_TRUE(Wait([&] { return (amp->GetWarningBits() & kZelWarnTemperatureHardware) != 0; }));
  EXPECT_TRUE(amp->GetWarningBits() & kZelWarnTemperatureSoftware);
  EXPECT_TRUE(Logged("Temp warning threshold exceeded alarm level (hardware) on amp ID 3, Temp = 88"));
  unit->Update([](SimZelAmpState& s) { s.temperature = 40; });
  ASSERT_TRUE(Wait([&] { return (amp->GetWarningBits() & 0x22u) == 0; }));

  unit->Update([](SimZelAmpState& s) {
    s.meters[8] = 0x01;  // load fault on channel 1, whose monitor state is 0 with a window of 20
  });
  ASSERT_TRUE(Wait([&] { return (amp->GetWarningBits() & kZelWarnLoad) != 0; }));
  EXPECT_TRUE(Logged("Amplifier ID 3 Load Error on Channel 1"));
  unit->Update([](SimZelAmpState& s) { s.meters[8] = 0; });
  ASSERT_TRUE(Wait([&] { return (amp->GetWarningBits() & kZelWarnLoad) == 0; }));
  EXPECT_TRUE(Logged("Amplifier ID 3 Load Error Cleared on Channel 1"));

  // Protect is read with the status once a poll cycle, whether or not a panel is open.
  ASSERT_EQ(amp->GetControlPanel(), nullptr);
  unit->Update([](SimZelAmpState& s) { s.protect = true; });
  ASSERT_TRUE(Wait([&] { return (amp->GetWarningBits() & kZelWarnProtect) != 0; }));
  EXPECT_TRUE(Logged("Amplifier ID 3 in Protect Mode"));
  EXPECT_NE(amp->GetStatusText().find("\nProtect Warning"), std::string::npos);
}

// The unit reports a load fault on channel 3 while its load monitoring is off (window 0): no
// alarm. Load monitoring switched on under the standing fault (a window typed in the pane, set
// at the unit, or pasted) raises the alarm the channel's Check LED shows; switched off, it clears
// with its line.
enum class WindowFrom { kPane, kUnit, kPaste };

class ZelBusLoadAlarmTest : public ZelBusTest, public ::testing::WithParamInterface<WindowFrom> {
 protected:
  void SetWindow(std::uint8_t percent) {
    switch (GetParam()) {
      case WindowFrom::kPane: Type("Ch 3 Window", percent); break;
      case WindowFrom::kUnit: unit->Update([&](SimZelAmpState& s) { s.impedanceWindow[2] = percent; }); break;
      case WindowFrom::kPaste: {
        // The amplifier's own properties with the one window changed, as copied from another.
        std::unique_ptr<CZelSeriesDevice> source(
            static_cast<CZelSeriesDevice*>(harness.system.CreateDevice(9, 55, 0)));
        PasteZelRecord(*source, amp->MakeClipboardRecord(), 0);
        source->SetImpedanceWindowForTests(2, percent);
        PasteZelRecord(*amp, source->MakeClipboardRecord(), kZelCmdPasteProperties);
        break;
      }
    }
  }
  bool Warned() { return (amp->GetWarningBits() & kZelWarnLoad) != 0; }
};

TEST_P(ZelBusLoadAlarmTest, AlarmFollowsTheCheckLedWhenMonitoringIsSwitchedUnderAStandingFault) {
  StandingLoadFaultOnChannel3();
  EXPECT_FALSE(Warned());
  EXPECT_FALSE(CZelLoadAlarms::IsCheck(amp->GetChannelLoad(2)));

  SetWindow(20);
  ASSERT_TRUE(Wait([&] { return CZelLoadAlarms::IsCheck(amp->GetChannelLoad(2)) && Warned(); }));
  ASSERT_TRUE(WaitFor([&] { return Logged("Amplifier ID 3 Load Error on Channel 3"); }));
  EXPECT_TRUE(amp->GetCurrentValue(kZelParamWarnings).flag);
  EXPECT_NE(amp->GetStatusText().find("\nLoad Alarm on Channel 3"), std::string::npos);
  EXPECT_TRUE(WaitFor([&] { return unit->State().impedanceWindow[2] == 20; }));

  SetWindow(0);
  ASSERT_TRUE(Wait([&] { return !CZelLoadAlarms::IsCheck(amp->GetChannelLoad(2)) && !Warned(); }));
  ASSERT_TRUE(WaitFor([&] { return Logged("Amplifier ID 3 Load Error Cleared on Channel 3"); }));
  EXPECT_FALSE(amp->GetCurrentValue(kZelParamWarnings).flag);
  EXPECT_EQ(amp->GetStatusText().find("Load Alarm"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Windows, ZelBusLoadAlarmTest,
                         ::testing::Values(WindowFrom::kPane, WindowFrom::kUnit, WindowFrom::kPaste),
                         [](const auto& info) {
                           return std::string(info.param == WindowFrom::kPane   ? "Pane"
                                              : info.param == WindowFrom::kUnit ? "Unit"
                                                                                : "Paste");
                         });

TEST_F(ZelBusTest, ChangesReachTheUnit) {
  ModelChange(amp, CParamValue(kZelParamGain + 2, -20.0f, ParamKind::kLevel));
  ModelChange(amp, MakeBoolParamValue(kZelParamMute + 3, true));
  ModelChange(amp, MakeTextParamValue(kZelParamChannelName, "Main L"));
  ModelChange(amp, MakeIntParamValue(kZelParamAlarmTemperature, 95));
  ASSERT_TRUE(WaitFor([&] { return unit->State().alarmTemperature == 95; }));
  const SimZelAmpState s = unit->State();
  EXPECT_EQ(s.gainIndex[2], 16);
  EXPECT_EQ(s.muteMask, 0x08);
  EXPECT_EQ(s.channelNames[0], "Main L");
  // The settings the unit reports back agree.
  const std::size_t reads = unit->ReadCount(0x3B);
  ASSERT_TRUE(WaitFor([&] { return unit->ReadCount(0x3B) > reads; }));
  ASSERT_TRUE(Wait([&] { return amp->GetMuteMask() == 0x08; }));
  EXPECT_EQ(amp->GetGainIndex(2), 16);
}

// A settings read is on its way when a window is typed: the unit answers it with the window it
// held before the typed one reached it. That answer leaves the typed window in the file and
// raises no false alarm edge; the unit and the next read agree with the file.
TEST_F(ZelBusTest, ASettingsReadAnsweredAfterATypedWindowLeavesTheTypedWindowInTheFile) {
  StandingLoadFaultOnChannel3();
  gate->HoldNextAnswerTo(0x3B);
  ASSERT_TRUE(gate->WaitUntilHolding());
  // The read held: F0, length 10, type 55, ID 3 in four groups, 0, command 0x3B.
  const SimBytes read = gate->HeldRequest();
  ASSERT_EQ(read.size(), 11u);
  EXPECT_EQ(SimBytes(read.begin(), read.begin() + 10), (SimBytes{0xF0, 0x00, 0x0A, 55, 0, 0, 0, 3, 0, 0x3B}));
  Type("Ch 3 Window", 20);
  EXPECT_EQ(harness.frame.CountLogLinesStartingWith("Amplifier ID 3 Load Error on Channel 3"), 1u);
  // The read after this one is held too: until it is answered the file holds what the held
  // answer left there.
  gate->HoldNextAnswerTo(0x3B);
  gate->Release();
  ASSERT_TRUE(gate->WaitUntilHolding());
  // The window's write left after the held answer came: F1, ..., command 0x27, channel 2, 20 %.
  const std::vector<SimBytes> writes = unit->WritesOf(0x27);
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(SimBytes(writes[0].begin() + 9, writes[0].begin() + 12), (SimBytes{0x27, 2, 20}));
  EXPECT_EQ(unit->State().impedanceWindow[2], 20);
  {
    CSingleLock lock(harness.system.GetLock());
    EXPECT_EQ(amp->GetImpedanceWindow(2), 20);
    EXPECT_TRUE(CZelLoadAlarms::IsCheck(amp->GetChannelLoad(2)));
    EXPECT_NE(amp->GetWarningBits() & kZelWarnLoad, 0u);
  }
  EXPECT_EQ(harness.frame.CountLogLinesStartingWith("Amplifier ID 3 Load Error Cleared"), 0u);
  gate->HoldNextAnswerTo(0x3B);
  gate->Release();
  ASSERT_TRUE(gate->WaitUntilHolding());
  EXPECT_EQ(amp->GetImpedanceWindow(2), 20);
  EXPECT_EQ(harness.frame.CountLogLinesStartingWith("Amplifier ID 3 Load Error"), 1u);
}

TEST_F(ZelBusTest, TheSystemsGlobalMuteReachesTheUnit) {
  harness.system.SendGlobalMute(true);
  ASSERT_TRUE(WaitFor([&] { return unit->State().globalMute; }));
  harness.system.SendGlobalMute(false);
  ASSERT_TRUE(WaitFor([&] { return !unit->State().globalMute; }));
}

struct FaultCase {
  const char* name;
  SimZelFault fault;
};

class ZelBusFaultTest : public ZelBusTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(ZelBusFaultTest, ADamagedOrLateTemperatureReplyIsDroppedAndTheNextOneTaken) {
  const std::size_t reads = unit->ReadCount(0x3D);
  unit->InjectReplyFault(0x3D, GetParam().fault);
  unit->Update([](SimZelAmpState& s) { s.temperature = 52; });
  ASSERT_TRUE(Wait([&] { return amp->GetTemperature() == 52; }));
  EXPECT_GE(unit->ReadCount(0x3D), reads + 1);
  EXPECT_TRUE(amp->IsConnected());
  EXPECT_EQ(amp->GetRefusedReplyCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Faults, ZelBusFaultTest,
                         ::testing::Values(FaultCase{"silence", {SimZelFault::Kind::kSilence, 0}},
                                           FaultCase{"junk", {SimZelFault::Kind::kJunk, 3}},
                                           FaultCase{"bad_checksum", {SimZelFault::Kind::kBadChecksum, 0}},
                                           FaultCase{"short", {SimZelFault::Kind::kShort, 4}},
                                           FaultCase{"late", {SimZelFault::Kind::kLate, 20}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ZelBusTest, AnUnansweredReadIsACountedMissThatTheNextAnswerMakesGood) {
  for (int i = 0; i < 3; ++i) unit->InjectReplyFault(0x3D, {SimZelFault::Kind::kSilence, 0});
  ASSERT_TRUE(WaitFor([&] { return Logged("No reply received from device ID 3"); }));
  unit->Update([](SimZelAmpState& s) { s.temperature = 47; });
  ASSERT_TRUE(Wait([&] { return amp->GetTemperature() == 47; }));
  EXPECT_TRUE(amp->IsConnected());
}

TEST_F(ZelBusTest, RepliesNamingAnotherUnitAreRefusedCountedAndTheReadAskedAgain) {
  for (int i = 0; i < 3; ++i) unit->InjectReplyFault(0x3D, {SimZelFault::Kind::kAnotherUnit, 9});
  ASSERT_TRUE(WaitFor([&] { return Logged("Reply to another request received from device ID 3"); }));
  unit->Update([](SimZelAmpState& s) { s.temperature = 47; });
  ASSERT_TRUE(Wait([&] { return amp->GetTemperature() == 47; }));
  EXPECT_TRUE(amp->IsConnected());
  EXPECT_EQ(amp->GetRefusedReplyCount(), 0u);
}

// A simulated amplifier of the type at the ID on the harness's bus, and the system's device for it.
std::pair<CSimZelAmpUnit*, CZelSeriesDevice*> AddAmp(CBusHarness& harness, std::uint32_t type, std::uint32_t id) {
  SimSecurityConfig config;
  config.typeCode = type;
  config.deviceId = id;
  auto* unit = harness.bus.Add<CSimZelAmpUnit>(config);
  auto* amp = static_cast<CZelSeriesDevice*>(harness.system.CreateDevice(id, type, 0));
  harness.system.AppendDevice(amp);
  return {unit, amp};
}

// Waits until every amplifier is connected and read out, its temperature too.
bool AllReadOut(CBusHarness& harness, const std::vector<CZelSeriesDevice*>& amps) {
  return WaitFor([&] {
    CSingleLock lock(harness.system.GetLock());
    return std::all_of(amps.begin(), amps.end(), [](CZelSeriesDevice* a) {
      return a->IsReadOutComplete() && a->IsConnected() && (a->GetHaveRead() & kZelReadTemperature) != 0;
    });
  });
}

TEST(ZelBus, UnitsAtLongIdsTheFramesCarryAreReadOutWhetherOrNotTheyRepeatTheRequestHeader) {
  // The frames carry each ID byte in seven bits: 200 and 5000 would go out as 72 and 4872, which
  // are other units, and are left out. The unit at ID 7 leaves reply bytes 3 to 9 at zero.
  constexpr std::uint32_t kIds[] = {1, 200, 5000, 300, 70000, 7};
  RegisterAmplifierFamilies();
  CZelBaseDevice::SetFirmwareTableReader([](const std::string&) { return std::string("1.00"); });
  CBusHarness harness;
  std::vector<CSimZelAmpUnit*> units;
  std::vector<CZelSeriesDevice*> amps, carried;
  for (std::uint32_t id : kIds) {
    const auto [unit, amp] = AddAmp(harness, 55, id);
    const std::string name = "Amp " + std::to_string(id);
    unit->Update([&](SimZelAmpState& s) { s.name = name; });
    units.push_back(unit);
    amps.push_back(amp);
    if (id != 200 && id != 5000) carried.push_back(amp);
  }
  units.back()->SetRepeatsHeader(false);
  ASSERT_TRUE(GoOnline(harness));
  EXPECT_TRUE(AllReadOut(harness, carried));
  {
    CSingleLock lock(harness.system.GetLock());
    for (std::size_t i = 0; i < amps.size(); ++i) {
      const bool left = kIds[i] == 200 || kIds[i] == 5000;
      EXPECT_EQ(amps[i]->AddressRules().IsAddressable(), !left) << kIds[i];
      EXPECT_EQ(amps[i]->GetName(), left ? "" : "Amp " + std::to_string(kIds[i])) << kIds[i];
    }
  }
  EXPECT_EQ(units[1]->ReadCount(0x3C), 0u);
  EXPECT_EQ(units[2]->ReadCount(0x3C), 0u);
  EXPECT_EQ(harness.frame.CountLogLinesStartingWith("Reply to another request"), 0u);
  CZelBaseDevice::SetFirmwareTableReader(nullptr);
}

// Every model added by hand holds a threshold that was never set (0). "Send settings to the
// units" writes the other settings and leaves each unit its own threshold: no unit is told to
// alarm at any temperature, and the threshold read back is the unit's.
TEST(ZelBus, SendAtGoingOnlineLeavesEachUnitTheThresholdTheFileNeverSet) {
  constexpr std::uint32_t kTypes[] = {51, 52, 53, 54, 55, 56};
  RegisterAmplifierFamilies();
  CZelBaseDevice::SetFirmwareTableReader([](const std::string&) { return std::string("1.00"); });
  CBusHarness harness;
  std::vector<CSimZelAmpUnit*> units;
  std::vector<CZelSeriesDevice*> amps;
  for (std::uint32_t type : kTypes) {
    const auto [unit, amp] = AddAmp(harness, type, type - 50);
    unit->Update([&](SimZelAmpState& s) { s.alarmTemperature = std::uint8_t(30 + type); });
    ASSERT_EQ(amp->GetAlarmTemperature(), 0);
    units.push_back(unit);
    amps.push_back(amp);
  }
  ASSERT_TRUE(GoOnline(harness, 1));
  EXPECT_TRUE(AllReadOut(harness, amps));
  auto written = [&](std::uint8_t command) {
    std::size_t n = 0;
    for (const SimBytes& request : harness.bus.Requests())
      if (request.size() > 10 && request[0] == 0xF1 && request[9] == command) ++n;
    return n;
  };
  // The file's settings went out, each unit's last write (its windows) too.
  EXPECT_TRUE(WaitFor([&] {
    return written(kZelCmdWindow) == 4 * std::size(kTypes) &&
           std::all_of(amps.begin(), amps.end(), [](CZelSeriesDevice* a) { return a->Queue().GetQueueSize() == 0; });
  }));
  EXPECT_EQ(written(kZelCmdMode), std::size(kTypes));
  EXPECT_EQ(written(kZelCmdAlarmTemperature), 0u);
  CSingleLock lock(harness.system.GetLock());
  for (std::size_t i = 0; i < amps.size(); ++i) {
    SCOPED_TRACE(kTypes[i]);
    EXPECT_EQ(units[i]->State().alarmTemperature, 30 + kTypes[i]);
    EXPECT_EQ(amps[i]->GetAlarmTemperature(), 30 + kTypes[i]);
    EXPECT_EQ(amps[i]->GetWarningBits() & kZelWarnTemperatureHardware, 0u);
  }
  CZelBaseDevice::SetFirmwareTableReader(nullptr);
}

}  // namespace
