// The Zel amplifier against its simulated unit, served by the system's own comms worker: the
// read-out, periodic polling with scripted temperatures, protect and load faults, writes that
// change the unit, and replies that arrive damaged, late or not at all.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/comms/Security.h"
#include "devices/amplifier/AmplifierFamilies.h"
#include "devices/amplifier/ZelSeriesDevice.h"
#include "tests/core/BusHarness.h"
#include "tools/devsim/SimZelAmp.h"

namespace {

// Goes online with comms errors logged, without waiting for a security dialog or pausing, and
// with reads that follow what the units send, not the machine's speed.
bool GoOnline(CBusHarness& harness) {
  harness.DecideOnEvents();
  CSecurityTimings timings;
  timings.dialogOpenTimeoutMs = 0;
  timings.messagePauseMs = 0;
  timings.updatePauseMs = 0;
  harness.system.GetComms().Security().SetTimingsForTests(timings);
  harness.system.SetLogCommsErrors(true);
  return harness.StartOnline();
}

class ZelBusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterAmplifierFamilies();
    CZelBaseDevice::SetFirmwareTableReader([](const std::string&) { return std::string("1.00"); });
    SimSecurityConfig config;
    config.typeCode = 55;
    config.deviceId = 3;
    unit = harness.bus.Add<CSimZelAmpUnit>(config);
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
  void TearDown() override { CZelBaseDevice::SetFirmwareTableReader(nullptr); }

  // Waits for the condition, checked under the system's lock.
  bool Wait(const std::function<bool()>& done) {
    return WaitFor([&] {
      CSingleLock lock(harness.system.GetLock());
      return done();
    });
  }
  bool Logged(const std::string& prefix) const { return harness.frame.CountLogLinesStartingWith(prefix) > 0; }

  CBusHarness harness;
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

  // Protect is read with the status, which the panel's poll asks for.
  CTestControlPanel panel;
  amp->SetControlPanel(&panel);
  unit->Update([](SimZelAmpState& s) { s.protect = true; });
  ASSERT_TRUE(Wait([&] { return (amp->GetWarningBits() & kZelWarnProtect) != 0; }));
  EXPECT_TRUE(Logged("Amplifier ID 3 in Protect Mode"));
  amp->SetControlPanel(nullptr);
}

TEST_F(ZelBusTest, ChangesReachTheUnit) {
  amp->ApplyControlChange(CParamValue(kZelParamGain + 2, -20.0f, ParamKind::kLevel));
  amp->ApplyControlChange(MakeBoolParamValue(kZelParamMute + 3, true));
  amp->ApplyControlChange(MakeTextParamValue(kZelParamChannelName, "Main L"));
  amp->ApplyControlChange(MakeIntParamValue(kZelParamAlarmTemperature, 95));
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

TEST(ZelBus, UnitsAtLongIdsAreReadOutWhetherOrNotTheyRepeatTheRequestHeader) {
  // The unit at ID 7 leaves reply bytes 3 to 9 at zero.
  constexpr std::uint32_t kIds[] = {1, 200, 5000, 300, 70000, 7};
  RegisterAmplifierFamilies();
  CZelBaseDevice::SetFirmwareTableReader([](const std::string&) { return std::string("1.00"); });
  CBusHarness harness;
  std::vector<CSimZelAmpUnit*> units;
  std::vector<CZelSeriesDevice*> amps;
  for (std::uint32_t id : kIds) {
    SimSecurityConfig config;
    config.typeCode = 55;
    config.deviceId = id;
    units.push_back(harness.bus.Add<CSimZelAmpUnit>(config));
    const std::string name = "Amp " + std::to_string(id);
    units.back()->Update([&](SimZelAmpState& s) { s.name = name; });
    amps.push_back(static_cast<CZelSeriesDevice*>(harness.system.CreateDevice(id, 55, 0)));
    harness.system.AppendDevice(amps.back());
  }
  units.back()->SetRepeatsHeader(false);
  ASSERT_TRUE(GoOnline(harness));
  EXPECT_TRUE(WaitFor([&] {
    CSingleLock lock(harness.system.GetLock());
    return std::all_of(amps.begin(), amps.end(),
                       [](CZelSeriesDevice* a) { return a->IsReadOutComplete() && a->IsConnected(); });
  }));
  {
    CSingleLock lock(harness.system.GetLock());
    for (std::size_t i = 0; i < amps.size(); ++i) EXPECT_EQ(amps[i]->GetName(), "Amp " + std::to_string(kIds[i]));
  }
  EXPECT_EQ(harness.frame.CountLogLinesStartingWith("Reply to another request"), 0u);
  CZelBaseDevice::SetFirmwareTableReader(nullptr);
}

}  // namespace
