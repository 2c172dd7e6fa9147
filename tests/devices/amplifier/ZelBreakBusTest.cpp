// Zel breakout boxes against their simulated units, with a Zel amplifier and a processor on the
// same bus, served by the system's own comms worker: discovery of the models' state, the
// network-master list, steady status polling, changes that reach the units, and replies that
// arrive damaged, late or not at all.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/comms/CommsWorker.h"
#include "core/comms/Security.h"
#include "core/model/DeviceProperty.h"
#include "core/model/Snapshot.h"
#include "devices/amplifier/AmplifierFamilies.h"
#include "devices/amplifier/ZelBreakDevice.h"
#include "devices/amplifier/ZelSeriesDevice.h"
#include "tests/support/CollectingGrid.h"
#include "tests/support/ProcessorBus.h"
#include "tools/devsim/SimAnswerGate.h"
#include "tools/devsim/SimZelAmp.h"
#include "tools/devsim/SimZelBreak.h"
#include "tests/support/ModelChanges.h"

namespace {

class ZelBreakBusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterAmplifierFamilies();
    CZelBaseDevice::SetFirmwareTableReader([](const std::string&) { return std::string("1.00"); });
    bus.DecideOnEvents();
    processorUnit = bus.AddUnit(120, 5);
    big = AddBoxUnit(41, 7, "Stage Left");
    small = AddBoxUnit(34, 8, "Booth");
    // A box of the big one's model at ID 9, for which the file has no device.
    SimSecurityConfig spareConfig;
    spareConfig.typeCode = 41;
    spareConfig.deviceId = 9;
    spareGate = bus.Bus().Add<CSimAnswerGate>(std::make_unique<CSimZelBreakUnit>(spareConfig));
    spare = static_cast<CSimZelBreakUnit*>(&spareGate->Unit());
    SimSecurityConfig ampConfig;
    ampConfig.typeCode = 55;
    ampConfig.deviceId = 3;
    ampUnit = bus.Bus().Add<CSimZelAmpUnit>(ampConfig);
    big->Update([](SimZelBreakState& s) {
      s.gains[0] = 12;
      s.gains[15] = 48;
      s.muteMask = 0x8001;
      s.gpio = 0x40 + 2 + 3 * 8;
      s.channelNames[15] = "Talkback";
    });

    CSystem& system = bus.System();
    processor = bus.AddDevice(120, 5);
    bigBox = static_cast<CZelBreakDevice*>(system.CreateDevice(7, 41, 0));
    system.AppendDevice(bigBox);
    amp = static_cast<CZelSeriesDevice*>(system.CreateDevice(3, 55, 0));
    system.AppendDevice(amp);
    smallBox = static_cast<CZelBreakDevice*>(system.CreateDevice(8, 34, 0));
    system.AppendDevice(smallBox);
    CSecurityTimings timings;
    timings.dialogOpenTimeoutMs = 0;
    timings.messagePauseMs = 0;
    timings.updatePauseMs = 0;
    system.GetComms().Security().SetTimingsForTests(timings);
    system.Settings().SetLogCommsErrors(true);
    ASSERT_TRUE(bus.StartWorker(0));
    ASSERT_TRUE(bus.WaitFor([&] {
      return bigBox->IsReadOutComplete() && smallBox->IsReadOutComplete() && amp->IsReadOutComplete() &&
             processor->AllBlocksReceived() && bigBox->IsConnected() && smallBox->IsConnected();
    }));
  }
  void TearDown() override {
    spareGate->Release();
    CZelBaseDevice::SetFirmwareTableReader(nullptr);
  }

  CSimZelBreakUnit* AddBoxUnit(std::uint8_t type, std::uint32_t id, const std::string& name) {
    SimSecurityConfig config;
    config.typeCode = type;
    config.deviceId = id;
    auto* unit = bus.Bus().Add<CSimZelBreakUnit>(config);
    unit->Update([&](SimZelBreakState& s) { s.name = name; });
    return unit;
  }

  CProcessorBus bus;
  CSimProcessorUnit* processorUnit = nullptr;
  CSimZelBreakUnit* big = nullptr;
  CSimZelBreakUnit* small = nullptr;
  CSimAnswerGate* spareGate = nullptr;
  CSimZelBreakUnit* spare = nullptr;
  CSimZelAmpUnit* ampUnit = nullptr;
  CNerexSeriesDevice* processor = nullptr;
  CZelBreakDevice* bigBox = nullptr;
  CZelBreakDevice* smallBox = nullptr;
  CZelSeriesDevice* amp = nullptr;
};

TEST_F(ZelBreakBusTest, ReadOutFillsEachBoxFromItsUnitBesideTheOtherFamilies) {
  EXPECT_EQ(bigBox->GetName(), "Stage Left");
  EXPECT_EQ(smallBox->GetName(), "Booth");
  EXPECT_EQ(bigBox->GetChannelName(15), "Talkback");
  EXPECT_EQ(smallBox->GetChannelName(7), "Input 8");
  EXPECT_EQ(bigBox->GetGain(0), 12);
  EXPECT_EQ(bigBox->GetGain(15), 48);
  EXPECT_EQ(bigBox->GetMuteMask(), 0x8001u);
  EXPECT_EQ(bigBox->GetGpioInputMode(), 2u);
  EXPECT_EQ(bigBox->GetGpioOutputMode(), 3u);
  EXPECT_TRUE(bigBox->IsNetworkMasterPulse());
  EXPECT_EQ(bigBox->GetFirmwareVersion(), "1.00");
  EXPECT_EQ(bigBox->GetWarningBits(), 0u);
  EXPECT_EQ(bigBox->GetRefusedReplyCount(), 0u);
  EXPECT_EQ(small->ReadCount(67), 8u);
  // Each box was sent every Zel unit of the system, in the system's order.
  const std::vector<std::pair<std::uint8_t, std::uint32_t>> list{{41, 7}, {55, 3}, {34, 8}};
  EXPECT_EQ(big->State().networkList, list);
  EXPECT_EQ(small->State().networkList, list);

  // Steady: the status read keeps coming and carries the unit's alarm and network state.
  big->Update([](SimZelBreakState& s) {
    s.alarm = true;
    s.networkActive = false;
  });
  ASSERT_TRUE(bus.WaitFor([&] { return bigBox->IsAlarmActive(); }));
  EXPECT_EQ(bigBox->HasWarnings(), 1u);
  EXPECT_FALSE(bigBox->GetCurrentValue(kBreakParamNetworkActive).flag);
  EXPECT_EQ(big->ReadCount(59), 1u);  // the mixer is read once, in the read-out
}

TEST_F(ZelBreakBusTest, ChangesReachTheUnit) {
  ModelChange(bigBox, CParamValue(kBreakParamGain + 4, -10.0f, ParamKind::kLevel));
  ModelChange(bigBox, MakeBoolParamValue(kBreakParamMute + 9, true));
  ModelChange(bigBox, MakeTextParamValue(kBreakParamChannelName + 2, "Vox 3"));
  ModelChange(bigBox, MakeTextParamValue(kBreakParamBoxName, "Stage Right"));
  ModelChange(bigBox, MakeIntParamValue(kBreakParamGpio, 0x05));
  ASSERT_TRUE(bus.WaitFor([&] { return big->State().gpio == 0x05; }));
  const SimZelBreakState s = big->State();
  EXPECT_EQ(s.gains[4], 20);
  EXPECT_EQ(s.muteMask, 0x8201);
  EXPECT_EQ(s.channelNames[2], "Vox 3");
  EXPECT_EQ(s.name, "Stage Right");
  // A recalled snapshot pushes the box's whole mixer.
  std::unique_ptr<CSnapshotData> snapshot(smallBox->CreateSnapshotData());
  snapshot->m_data[5 + 6] = 30;
  RecallImage(smallBox, *snapshot);
  ASSERT_TRUE(bus.WaitFor([&] { return small->State().gains[6] == 30; }));
}

// The big box is given ID 9 online: the unit there is read out while the box stays connected,
// so a gain may be changed while the read-out's settings read is on its way. The unit answers
// with the gain it held before the change reached it; the file keeps the gain as changed, the
// change's frame carries it to the unit, and the read asked again agrees.
TEST_F(ZelBreakBusTest, AGainChangedWhileTheSettingsOfANewIdAreReadStaysChangedInTheFile) {
  spare->Update([](SimZelBreakState& s) { s.gains[2] = 40; });
  spareGate->HoldNextAnswerTo(kBreakCmdReadSettings);
  GiveDeviceId(bigBox, 9);
  ASSERT_TRUE(spareGate->WaitUntilHolding());
  // The read held: F0, length 10, type 41, ID 9 in four groups, 0, command 59.
  const SimBytes read = spareGate->HeldRequest();
  ASSERT_EQ(read.size(), 11u);
  EXPECT_EQ(SimBytes(read.begin(), read.begin() + 10), (SimBytes{0xF0, 0x00, 0x0A, 41, 0, 0, 0, 9, 0, 59}));
  ASSERT_TRUE(bigBox->IsConnected());
  const std::size_t settingsReads = spare->ReadCount(59);
  ModelChange(bigBox, CParamValue(kBreakParamGain + 2, -10.0f, ParamKind::kLevel));
  spareGate->Release();
  ASSERT_TRUE(bus.WaitFor([&] { return bigBox->IsReadOutComplete(); }));
  // The gain's frame: F1, ..., command 8, channel 2, step 20 (-10 dB in half-dB steps).
  const std::vector<SimBytes> writes = spare->WritesOf(kBreakCmdGain);
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(SimBytes(writes[0].begin() + 9, writes[0].begin() + 12), (SimBytes{8, 2, 20}));
  EXPECT_EQ(spare->State().gains[2], 20);
  EXPECT_EQ(spare->ReadCount(59), settingsReads + 1);
  EXPECT_EQ(bigBox->GetGain(2), 20);
  EXPECT_EQ(bigBox->GetGain(0), 0);  // the rest of the mixer is the new unit's
}

// Types a name into the device's row as the pane hands it over; the refusal's text, empty when
// the device took it.
std::string TypeName(CDevice& d, const std::string& row, const std::string& text) {
  CCollectingGrid rows;
  d.FillPropertiesPane(rows);
  CDeviceProperty* property = rows.Find(row);
  if (!property) return "no row " + row;
  property->SetValue(text);
  return CommitPropertyRow(d, *property) ? std::string() : property->GetErrorText();
}

// Names typed in the properties reach amplifiers and boxes as typed, and a new read-out gives
// back the same: what the program shows is what the units hold. A name with a character the
// unit's field cannot carry is refused, and unit and program keep the name they had.
TEST_F(ZelBreakBusTest, TypedNamesReachTheUnitsAndReadBackAsTyped) {
  EXPECT_EQ(TypeName(*amp, "Channel 2 Name", "Sub-1 (L/R) 20dB"), "");
  EXPECT_EQ(TypeName(*bigBox, "Device Name", "Stage Right ~#2"), "");
  EXPECT_EQ(TypeName(*bigBox, "Channel 16 Name", "Talk & Cue"), "");
  EXPECT_EQ(TypeName(*amp, "Amp Name", "C\xC3\xA9llo 20\xC2\xB0"),
            "Device name cannot contain \"\xC3\xA9\" - the unit takes ASCII characters only");
  EXPECT_EQ(TypeName(*bigBox, "Channel 3 Name", "Vox \xC3\xA4"),
            "Channel name cannot contain \"\xC3\xA4\" - the unit takes ASCII characters only");
  ASSERT_TRUE(bus.WaitFor([&] { return big->State().channelNames[15] == "Talk & Cue"; }));
  ASSERT_TRUE(bus.WaitFor([&] { return ampUnit->State().channelNames[1] == "Sub-1 (L/R) 20dB"; }));
  EXPECT_EQ(big->State().name, "Stage Right ~#2");
  EXPECT_EQ(big->State().channelNames[2], "Input 3");
  EXPECT_EQ(ampUnit->State().name, "Sim Amplifier");

  // Read out again: the names come back from the units exactly as they were typed.
  const std::size_t ampNames = ampUnit->ReadCount(0x3C), boxNames = big->ReadCount(60);
  amp->Reinitialise(0);
  bigBox->Reinitialise(0);
  ASSERT_TRUE(bus.WaitFor([&] {
    return ampUnit->ReadCount(0x3C) > ampNames && big->ReadCount(60) > boxNames && amp->IsReadOutComplete() &&
           bigBox->IsReadOutComplete();
  }));
  CSingleLock lock(bus.System().GetLock());
  EXPECT_EQ(amp->GetChannelName(1), "Sub-1 (L/R) 20dB");
  EXPECT_EQ(amp->GetName(), "Sim Amplifier");
  EXPECT_EQ(bigBox->GetName(), "Stage Right ~#2");
  EXPECT_EQ(bigBox->GetChannelName(15), "Talk & Cue");
  EXPECT_EQ(bigBox->GetChannelName(2), "Input 3");
}

struct BusFaultCase {
  const char* name;
  SimZelFault fault;
};

class ZelBreakBusFaultTest : public ZelBreakBusTest, public ::testing::WithParamInterface<BusFaultCase> {};

TEST_P(ZelBreakBusFaultTest, ADamagedOrLateStatusReplyIsDroppedAndTheNextOneTaken) {
  const std::size_t reads = big->ReadCount(63);
  big->InjectReplyFault(63, GetParam().fault);
  big->Update([](SimZelBreakState& s) { s.alarm = true; });
  ASSERT_TRUE(bus.WaitFor([&] { return bigBox->IsAlarmActive(); }));
  EXPECT_GE(big->ReadCount(63), reads + 1);
  EXPECT_TRUE(bigBox->IsConnected());
  EXPECT_EQ(bigBox->GetRefusedReplyCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Faults, ZelBreakBusFaultTest,
                         ::testing::Values(BusFaultCase{"silence", {SimZelFault::Kind::kSilence, 0}},
                                           BusFaultCase{"junk", {SimZelFault::Kind::kJunk, 3}},
                                           BusFaultCase{"bad_checksum", {SimZelFault::Kind::kBadChecksum, 0}},
                                           BusFaultCase{"short", {SimZelFault::Kind::kShort, 4}},
                                           BusFaultCase{"late", {SimZelFault::Kind::kLate, 20}}),
                         [](const auto& info) { return std::string(info.param.name); });

// The unit reports its network lost and an alarm, then both over: each alarm edge is one log
// line, the alarm a warning (tooltip, "Warnings Active"), and the network state shows in the
// tooltip and in "Network Active".
TEST_F(ZelBreakBusTest, AnAlarmAndTheNetworkStateTheUnitReportsReachTheLogTooltipAndWidgets) {
  auto logged = [&](const std::string& text) {
    const auto lines = bus.Frame().LogLines();
    return std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(text) != l.npos; });
  };
  EXPECT_TRUE(bigBox->IsNetworkActive());
  EXPECT_EQ(bigBox->GetStatusText(), "");

  big->Update([](SimZelBreakState& s) {
    s.networkActive = false;
    s.alarm = true;
  });
  ASSERT_TRUE(bus.WaitFor([&] { return logged("Breakout Box ID 7 Alarm Active\n") == 1; }));
  EXPECT_EQ(bigBox->GetStatusText(), "\nAlarm Active\nNetwork Not Active");
  EXPECT_TRUE(bigBox->GetCurrentValue(kBreakParamWarnings).flag);
  EXPECT_FALSE(bigBox->GetCurrentValue(kBreakParamNetworkActive).flag);
  // The same status again says nothing more.
  const std::size_t reads = big->ReadCount(63);
  ASSERT_TRUE(bus.WaitFor([&] { return big->ReadCount(63) >= reads + 2; }));
  EXPECT_EQ(logged("Breakout Box ID 7 Alarm"), 1);

  big->Update([](SimZelBreakState& s) {
    s.networkActive = true;
    s.alarm = false;
  });
  ASSERT_TRUE(bus.WaitFor([&] { return logged("Breakout Box ID 7 Alarm Cleared\n") == 1; }));
  EXPECT_EQ(bigBox->GetStatusText(), "");
  EXPECT_FALSE(bigBox->GetCurrentValue(kBreakParamWarnings).flag);
  EXPECT_TRUE(bigBox->GetCurrentValue(kBreakParamNetworkActive).flag);
  // The network alone is no warning.
  big->Update([](SimZelBreakState& s) { s.networkActive = false; });
  ASSERT_TRUE(bus.WaitFor([&] { return !bigBox->IsNetworkActive(); }));
  EXPECT_EQ(bigBox->GetStatusText(), "\nNetwork Not Active");
  EXPECT_EQ(bigBox->HasWarnings(), 0u);
  EXPECT_EQ(logged("Breakout Box ID 7 Alarm"), 2);
}

TEST_F(ZelBreakBusTest, AUnitThatMiscountsTheListKeepsBeingSentIt) {
  big->Update([](SimZelBreakState& s) { s.networkCountSkew = 1; });
  const std::size_t lists = big->ReadCount(70);
  bigBox->MaskBlockReceivedWord(kBreakoutReadKeepMask);  // as after an autoscan
  ASSERT_TRUE(bus.WaitFor([&] { return big->ReadCount(70) >= lists + 3; }));
  EXPECT_FALSE(bigBox->IsReadOutComplete());
  EXPECT_NE(bigBox->GetStatusText().find("\nNot Initialised"), std::string::npos);
  big->Update([](SimZelBreakState& s) { s.networkCountSkew = 0; });
  ASSERT_TRUE(bus.WaitFor([&] { return bigBox->IsReadOutComplete(); }));
  EXPECT_EQ(bigBox->GetWarningBits(), 0u);
}

}  // namespace
