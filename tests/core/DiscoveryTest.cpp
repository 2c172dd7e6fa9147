// The autoscan against simulated units at chosen short and long IDs: the devices it creates,
// collisions, quieting, unknown types, stopping, the end messages and the time-out raises.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>

#include "core/comms/CommsWorker.h"
#include "core/model/Device.h"
#include "core/protocol/DiscoveryFrames.h"
#include "core/support/SystemMessages.h"
#include "core/system/Zone.h"
#include "devices/amplifier/AmplifierFamilies.h"
#include "devices/amplifier/PannexDevice.h"
#include "devices/amplifier/SornicAmpDevice.h"
#include "devices/amplifier/ZelBreakDevice.h"
#include "devices/amplifier/ZelSeriesDevice.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "devices/processor/ProcessorFamily.h"
#include "platform/Clock.h"
#include "tests/core/BusHarness.h"
#include "tools/devsim/SimDiscoveryUnit.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

class DiscoveryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterAmplifierFamilies();
    RegisterProcessorFamily();
    // A probe that no unit answers ends as soon as the bus has nothing to send: the scan goes
    // at the pace of the bus, not of read time-outs.
    h.DecideOnEvents();
    // The security pass after each scan opens no dialog here: it neither waits for one nor pauses.
    h.SkipSecurityDialog();
  }
  CSimDiscoveryUnit* AddUnit(std::uint8_t type, std::uint32_t shortId, std::uint32_t longId,
                             std::uint32_t variant = 0, ShortReplyForm form = ShortReplyForm::kForm1) {
    SimDiscoveryConfig config;
    config.typeCode = type;
    config.shortId = shortId;
    config.longId = longId;
    config.variant = variant;
    config.form = form;
    return h.bus.Add<CSimDiscoveryUnit>(config);
  }
  // Goes online and runs one scan over short IDs 1..lastShortId and long-ID groups 1..lastGroup.
  void Scan(std::uint32_t lastShortId, std::uint32_t lastGroup) {
    h.system.GetComms().Discovery().SetScanRangeForTests(lastShortId, lastGroup);
    if (!h.system.IsPortOpen()) {
      ASSERT_TRUE(h.StartOnline());
    }
    ASSERT_TRUE(h.RunScan(dialog));
  }
  std::size_t CountRequest(const Bytes& frame) const {
    const auto requests = h.bus.Requests();
    return std::size_t(std::count(requests.begin(), requests.end(), frame));
  }
  // The scan reset is a broadcast: the scan may end before the bus has taken it in.
  bool WaitForScanResets(std::size_t n) const {
    return WaitFor([&] { return CountRequest({0xBE, 0, 0, 0, 0}) >= n; }, 5000);
  }

  CBusHarness h;
  CTestScanDialog dialog;
};

TEST_F(DiscoveryTest, ShortIds_EachUnitBecomesOneDevice_InTheSelectedZone_ASecondScanAddsNothing) {
  AddUnit(16, 2, 0, 0x01020304);
  AddUnit(114, 5, 0, 0x1C20);
  CZone* second = h.system.AddZone();
  h.system.Users().GetUsers().push_back(new CUser("Operator", "x"));
  Scan(6, 0);

  ASSERT_EQ(h.system.GetDeviceCount(), 2);
  CDevice* fennick = h.system.GetDevice(0);
  CDevice* nerex = h.system.GetDevice(1);
  EXPECT_NE(dynamic_cast<CNerexSeriesDevice*>(fennick), nullptr);
  EXPECT_EQ(fennick->GetDeviceId(), 2u);
  EXPECT_EQ(fennick->GetTypeCode(), 16u);
  EXPECT_EQ(fennick->GetModelIndex(), 0u);  // the Fennick models take no model index
  EXPECT_EQ(nerex->GetDeviceId(), 5u);
  EXPECT_EQ(nerex->GetTypeCode(), 114u);
  EXPECT_EQ(nerex->GetModelIndex(), 0x1C20u);
  EXPECT_EQ(h.frame.CountFor(FrameMsg::kRefreshRack, nerex), 1u);
  EXPECT_EQ(h.frame.CountFor(FrameMsg::kRedrawMeterEntry, nerex), 1u);
  EXPECT_EQ(h.frame.Count(FrameMsg::kGoOffline), 0u);
  EXPECT_EQ(h.system.GetComms().GetWorkerState() == kWorkerAutoscan, false);

  // The UI thread puts them into the zone that the device view has selected.
  EXPECT_EQ(h.system.GetComms().Discovery().GetUnplacedDeviceCount(), 2u);
  EXPECT_TRUE(second->GetDevices().empty());
  h.system.SetModified(false);
  h.system.PlaceFoundDevices(second);
  EXPECT_EQ(second->GetDevices(), (std::vector<CDevice*>{fennick, nerex}));
  EXPECT_TRUE(h.system.GetZones().front()->GetDevices().empty());
  EXPECT_TRUE(h.system.IsModified());
  const CUser* op = h.system.Users().GetUsers()[1];
  ASSERT_EQ(op->m_devicePermissions.size(), 2u);
  EXPECT_EQ(op->m_devicePermissions[1]->m_uuid, nerex->GetUuid());
  EXPECT_EQ(op->m_devicePermissions[1]->m_flags, 1u);
  EXPECT_TRUE(h.system.Users().GetUsers()[0]->m_devicePermissions.empty());

  const auto lines = dialog.Lines();
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(lines[0], "Searching for device ID 1");
  EXPECT_EQ(lines[5], "Searching for device ID 6");
  // A unit that answers at once is asked once; a silent ID three times, each with retries.
  EXPECT_EQ(CountRequest({0xE0, 0x02}), 1u);
  EXPECT_EQ(CountRequest({0xE0, 0x01}), 9u);
  EXPECT_TRUE(WaitForScanResets(2));
  EXPECT_EQ(CountRequest({0xBE, 0, 0, 0, 0}), 2u);

  CTestScanDialog again;
  ASSERT_TRUE(h.RunScan(again));
  EXPECT_EQ(h.system.GetDeviceCount(), 2);
  EXPECT_EQ(h.system.GetComms().Discovery().GetUnplacedDeviceCount(), 0u);
}

TEST_F(DiscoveryTest, ShortReplyForms2And3_AreReadInFullAndParsed) {
  AddUnit(110, 1, 0, 0x0304, ShortReplyForm::kForm2);
  AddUnit(60, 3, 0, 7, ShortReplyForm::kForm3);
  Scan(3, 0);

  ASSERT_EQ(h.system.GetDeviceCount(), 2);
  CDevice* calder = h.system.GetDevice(0);
  EXPECT_EQ(calder->GetTypeCode(), 110u);                // byte 6 (26) + 84
  EXPECT_EQ(calder->GetModelIndex(), 0x1A0304u);         // bytes 6, 5, 4
  CDevice* sornic = h.system.GetDevice(1);
  EXPECT_NE(dynamic_cast<CSornicAmpDevice*>(sornic), nullptr);
  EXPECT_EQ(sornic->GetDeviceId(), 3u);
  EXPECT_EQ(sornic->GetModelIndex(), 7u);
}

TEST_F(DiscoveryTest, LongIdsSharingTheirLowByte_CollideAndAreFoundOneLevelDown_EachQuietedOnce) {
  CSimDiscoveryUnit* amp = AddUnit(51, 0, 0x0305);
  CSimDiscoveryUnit* box = AddUnit(40, 0, 0x0405);
  Scan(0, 5);

  ASSERT_EQ(h.system.GetDeviceCount(), 2);
  CDevice* first = h.system.GetDevice(0);
  CDevice* second = h.system.GetDevice(1);
  EXPECT_NE(dynamic_cast<CZelSeriesDevice*>(first), nullptr);
  EXPECT_EQ(first->GetDeviceId(), 0x0305u);
  EXPECT_NE(dynamic_cast<CZelBreakDevice*>(second), nullptr);
  EXPECT_EQ(second->GetDeviceId(), 0x0405u);
  EXPECT_EQ(amp->QuietCount(), 1);
  EXPECT_EQ(box->QuietCount(), 1);

  // The collision at 0xB3 for 5 (garbled: never sent again) took the search to 0xB2; each
  // find was followed by the same probe again, which then went unanswered (a silent probe is
  // sent three times by the transport).
  EXPECT_EQ(CountRequest({0xB3, 0, 0, 0, 5}), 1u);
  EXPECT_EQ(CountRequest({0xB2, 0, 0, 3, 5}), 1u + 3u);
  EXPECT_EQ(CountRequest({0xB2, 0, 0, 4, 5}), 1u + 3u);
  EXPECT_EQ(CountRequest({0xB2, 0, 0, 5, 5}), 3u);
  EXPECT_EQ(CountRequest({0xE0, 0, 0, 3, 5}), 1u);  // the type query
  EXPECT_EQ(CountRequest({0xBF, 0, 0, 0, 0}), 3u);  // one check, unanswered: every unit is quiet
  const auto lines = dialog.Lines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Searching for device ID xxx5"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Searching for device ID xx773"), lines.end());
}

TEST_F(DiscoveryTest, LongIdUnitOfUnknownType_IsQuietedToo_SoOnePassEndsTheScan) {
  CSimDiscoveryUnit* unknown = AddUnit(48, 0, 0x02);
  AddUnit(52, 0, 0x03);
  Scan(0, 3);

  ASSERT_EQ(h.system.GetDeviceCount(), 1);
  EXPECT_EQ(h.system.GetDevice(0)->GetTypeCode(), 52u);
  EXPECT_GE(unknown->QuietCount(), 1);
  // One scan-complete check, unanswered (sent three times by the transport): no second pass.
  EXPECT_EQ(CountRequest({0xBF, 0, 0, 0, 0}), 3u);
  EXPECT_EQ(CountRequest({0xB3, 0, 0, 0, 1}), 3u);
}

// A processor's frames carry the low byte of its ID, which a unit at a long ID answers to: one
// found at long ID 257 is added. One at 256 is not (its frames would carry 0, the address of
// every unit of the model), nor one at 513 once 257 is there (the same frames would reach both);
// the log and the dialog say why, and each is quieted so that the scan ends. A Zel unit at a long
// ID is added.
TEST_F(DiscoveryTest, ProcessorsAtLongIds_AreAddedUnlessTheirFramesWouldReachAnotherUnit) {
  CSimDiscoveryUnit* zero = AddUnit(120, 0, 0x0100);
  AddUnit(120, 0, 0x0101);
  CSimDiscoveryUnit* same = AddUnit(121, 0, 0x0201);
  AddUnit(53, 0, 0x0102);
  Scan(0, 2);

  ASSERT_EQ(h.system.GetDeviceCount(), 2);
  EXPECT_EQ(h.system.GetDevice(0)->GetTypeCode(), 120u);
  EXPECT_EQ(h.system.GetDevice(0)->GetDeviceId(), 0x0101u);
  EXPECT_TRUE(h.system.GetDevice(0)->AddressRules().IsAddressable());
  EXPECT_EQ(h.system.GetDevice(1)->GetTypeCode(), 53u);
  EXPECT_EQ(h.system.GetDevice(1)->GetDeviceId(), 0x0102u);
  const std::string refusedZero =
      "ID 256: a Nerex48 is not added - Device ID 256 would address every unit of its model";
  const std::string refusedSame = "ID 513: a Torvex48 is not added - its frames would also reach Nerex48 ID: 257";
  const auto log = h.frame.LogLines();
  EXPECT_NE(std::find(log.begin(), log.end(), refusedZero + "\n"), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), refusedSame + "\n"), log.end());
  EXPECT_EQ(dialog.Notes(), (std::vector<std::string>{refusedZero, refusedSame}));
  EXPECT_GE(zero->QuietCount(), 1);
  EXPECT_GE(same->QuietCount(), 1);
  EXPECT_EQ(CountRequest({0xBF, 0, 0, 0, 0}), 3u);  // one pass: every unit is quiet
}

// A unit whose long ID has a 0 group is found as any other: 0 is searched at every level.
// Three units whose lowest group is 0 collide there and are told apart one level down.
TEST_F(DiscoveryTest, UnitsWithAZeroGroupInTheirLongId_AreFound) {
  CSimDiscoveryUnit* at256 = AddUnit(56, 0, 0x0100);
  AddUnit(52, 0, 0x0200);
  AddUnit(53, 0, 0x010000);
  Scan(0, 2);

  ASSERT_EQ(h.system.GetDeviceCount(), 3);
  std::vector<std::uint32_t> ids;
  for (int i = 0; i < 3; ++i) ids.push_back(h.system.GetDevice(i)->GetDeviceId());
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(ids, (std::vector<std::uint32_t>{0x0100, 0x0200, 0x010000}));
  EXPECT_EQ(at256->QuietCount(), 1);
  EXPECT_EQ(CountRequest({0xB3, 0, 0, 0, 0}), 1u);  // garbled: the three answered at once
  EXPECT_EQ(CountRequest({0xB2, 0, 0, 1, 0}), 1u + 3u);  // found, then asked again
  EXPECT_EQ(CountRequest({0xBF, 0, 0, 0, 0}), 3u);  // one check, unanswered: all quiet
  EXPECT_TRUE(dialog.Notes().empty());
}

// Two units at one long ID garble each other's answer down to the last level, where every byte
// is compared: the log names the ID, the scan runs its long-ID pass once more only if that pass
// found a unit it had not found, and says at its end which answers it could not read, at that
// long ID and at a short ID where two units answer too.
TEST_F(DiscoveryTest, TwoUnitsAtOneLongId_AreNamed_AndTheScanEndsAfterOnePass) {
  for (std::uint8_t type : {53, 54}) AddUnit(type, 0, 0x0305);
  for (std::uint8_t type : {52, 41}) AddUnit(type, 2, 0);
  Scan(3, 5);

  EXPECT_EQ(h.system.GetDeviceCount(), 0);
  EXPECT_EQ(h.frame.CountLogLinesStartingWith("Autoscan: unreadable answer at long ID 773 (two units with the same ID?)"),
            1u);
  // Every level garbled, down to the last, where the probe went twice.
  EXPECT_EQ(CountRequest({0xB2, 0, 0, 3, 5}), 1u);
  EXPECT_EQ(CountRequest({0xB1, 0, 0, 3, 5}), 1u);
  EXPECT_EQ(CountRequest({0xB0, 0, 0, 3, 5}), 2u);
  EXPECT_EQ(CountRequest({0xBF, 0, 0, 0, 0}), 1u);  // answered, garbled: no second pass
  const std::string end =
      "The answers at IDs 2 and 773 could not be read (two units with the same ID?): nothing there is added";
  EXPECT_EQ(dialog.Notes(), std::vector<std::string>{end});
  EXPECT_EQ(h.frame.CountLogLinesStartingWith("Autoscan: " + end), 1u);
}

// A device of the file whose ID its frames cannot carry (129 goes out as 1) is not kept quiet
// during a scan: the quiet command would silence the unit at ID 1, which is found.
TEST_F(DiscoveryTest, DeviceAtAnIdItsFramesCannotCarry_IsNotKeptQuiet) {
  CSimDiscoveryUnit* unit = AddUnit(56, 0, 0x01);
  CDevice* beyond = h.system.CreateDevice(0x81, 56, 0);
  h.system.AppendDevice(beyond);
  Scan(0, 1);

  EXPECT_FALSE(beyond->AddressRules().IsAddressable());
  ASSERT_EQ(h.system.GetDeviceCount(), 2);
  EXPECT_EQ(h.system.GetDevice(1)->GetDeviceId(), 1u);
  EXPECT_EQ(unit->QuietCount(), 1);  // once found
}

// A unit that ignores the quiet command answers every check: the scan runs its long-ID pass
// again, which finds only that unit again, and then ends.
TEST_F(DiscoveryTest, UnitThatIgnoresTheQuietCommand_EndsOnceAPassFindsNothingNew) {
  SimDiscoveryConfig config;
  config.typeCode = 53;
  config.longId = 0x01;
  config.ignoresQuiet = true;
  h.bus.Add<CSimDiscoveryUnit>(config);
  Scan(0, 1);

  EXPECT_EQ(h.system.GetDeviceCount(), 1);
  EXPECT_EQ(CountRequest({0xBF, 0, 0, 0, 0}), 2u);
  // Each pass: the find and one probe again that finds the same unit.
  EXPECT_EQ(CountRequest({0xB3, 0, 0, 0, 1}), 4u);
  EXPECT_TRUE(dialog.Notes().empty());  // the unit still answering was found
}

TEST_F(DiscoveryTest, StopDuringTheShortIdPass_EndsBeforeTheNextProbe_NoLongPass_ResetStillSent) {
  AddUnit(16, 2, 0);
  AddUnit(51, 0, 0x05);
  dialog.stopAt = "Searching for device ID 2";
  Scan(10, 5);

  EXPECT_EQ(h.system.GetDeviceCount(), 0);
  EXPECT_EQ(CountRequest({0xE0, 0x02}), 0u);
  EXPECT_EQ(h.CountRequests(0xB3) + h.CountRequests(0xBF), 0u);
  EXPECT_TRUE(WaitForScanResets(1));
  const auto requests = h.bus.Requests();
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ(requests.back(), (Bytes{0xBE, 0, 0, 0, 0}));
  EXPECT_EQ(CountRequest({0xBE, 0, 0, 0, 0}), 1u);
  EXPECT_EQ(h.frame.Count(FrameMsg::kGoOffline), 1u);
}

TEST_F(DiscoveryTest, EmptyBus_AsksToGoOffline_AndHandsTheDialogBack) {
  Scan(1, 1);
  EXPECT_EQ(h.frame.Count(FrameMsg::kGoOffline), 1u);
  EXPECT_EQ(h.system.GetComms().Discovery().GetAutoscanDialog(), nullptr);
  EXPECT_FALSE(dialog.running);
  EXPECT_EQ(h.system.GetComms().GetWorkerState(), kWorkerOnline);
  EXPECT_FALSE(h.system.GetComms().GetTransport().GetNoLog());
  EXPECT_FALSE(h.system.GetComms().NeedSecurityGet());
}

TEST_F(DiscoveryTest, TransportFailureDuringTheScan_PostsFatalErrorAndGoesIdle) {
  AddUnit(16, 1, 0);
  ASSERT_TRUE(h.StartOnline());
  h.line->FailNextRead();
  Scan(5, 5);

  EXPECT_EQ(h.frame.Count(FrameMsg::kFatalCommsError), 1u);
  EXPECT_EQ(h.frame.Count(FrameMsg::kGoOffline), 0u);
  EXPECT_EQ(h.CountRequests(0xBE), 0u);
  h.system.GetComms().RequestIdle();  // acknowledged at once: the worker asked for it itself
  EXPECT_EQ(h.system.GetComms().GetWorkerState(), kWorkerIdle);
  EXPECT_FALSE(h.system.GetComms().GetTransport().GetNoLog());
}

TEST_F(DiscoveryTest, AfterAScan_BreakoutBoxesReadTheirBit21BlockAgain) {
  AddUnit(16, 1, 0);
  auto* box = static_cast<CZelBreakDevice*>(h.system.CreateDevice(0x7F7F7F7F, 42, 0));
  ASSERT_NE(box, nullptr);
  h.system.AppendDevice(box);
  // Going online re-initialises the box, which clears the word; the scan comes after.
  ASSERT_TRUE(h.StartOnline());
  box->SetBlockReceivedWord(0xFFFFFFFF);
  Scan(1, 0);
  EXPECT_EQ(box->GetBlockReceivedWord(), 0x00DFFFFFu);
}

TEST_F(DiscoveryTest, ProbeDeviceId_FindsCollidesOrMisses_AndRestoresTheTimeOut) {
  AddUnit(51, 0, 0x0A07, 0x11223344 & 0x7F7F7F7F);
  AddUnit(52, 0, 0x0103);
  AddUnit(53, 0, 0x0203);
  h.bus.Start();
  ASSERT_TRUE(h.system.GetComms().SetOnline(true));
  CSerialComms& comms = h.system.GetComms().GetTransport();
  comms.SetExtraTimeout(10);
  std::uint32_t type = 0, variant = 0;

  EXPECT_EQ(h.system.GetComms().Discovery().ProbeDeviceId(kScanLevel3, 7, type, variant), 0x0A07);
  EXPECT_EQ(type, 51u);
  EXPECT_EQ(variant, 0x11223344u & 0x7F7F7F7F);
  EXPECT_EQ(comms.GetExtraTimeout(), 10u);
  EXPECT_FALSE(comms.Transaction().noRetry);

  EXPECT_EQ(h.system.GetComms().Discovery().ProbeDeviceId(kScanLevel3, 3, type, variant), -1);
  EXPECT_EQ(type, 0u);
  EXPECT_EQ(h.system.GetComms().Discovery().ProbeDeviceId(kScanLevel2, 0x0203, type, variant), 0x0203);
  EXPECT_EQ(type, 53u);

  comms.SetExtraTimeout(80);
  EXPECT_EQ(h.system.GetComms().Discovery().ProbeDeviceId(kScanLevel3, 9, type, variant), 0);
  EXPECT_EQ(comms.GetExtraTimeout(), 80u);
  // A silent probe is sent again twice by the transport; a garbled one never.
  EXPECT_EQ(CountRequest({0xB3, 0, 0, 0, 9}), 3u);
  EXPECT_EQ(CountRequest({0xB3, 0, 0, 0, 3}), 1u);
}

TEST_F(DiscoveryTest, KeepScanQuiet_RepeatsTheQuietCommandForLongIdDevicesAtMostEvery120Seconds) {
  CManualClock clock;
  clock.SetTick(5000);
  SetClockForTests(&clock);
  CSimDiscoveryUnit* unit = AddUnit(54, 0, 0x0501);
  h.bus.Start();
  ASSERT_TRUE(h.system.GetComms().SetOnline(true));
  CDevice* shortOne = h.system.CreateDevice(9, 16, 0);
  CDevice* longOne = h.system.CreateDevice(0x0501, 54, 0);
  h.system.AppendDevice(shortOne);
  h.system.AppendDevice(longOne);

  h.system.GetComms().Discovery().KeepScanQuiet();
  EXPECT_EQ(unit->QuietCount(), 1);
  clock.AdvanceMs(119999);
  h.system.GetComms().Discovery().KeepScanQuiet();
  EXPECT_EQ(unit->QuietCount(), 1);
  clock.AdvanceMs(1);
  h.system.GetComms().Discovery().KeepScanQuiet();
  EXPECT_EQ(unit->QuietCount(), 2);
  EXPECT_EQ(h.CountRequests(0xF1), 2u);  // never for the short-ID device
  h.system.GetComms().Discovery().SendScanReset();
  EXPECT_TRUE(WaitFor([&] { return !unit->IsQuiet(); }, 5000));
  h.system.GetComms().Discovery().KeepScanQuiet();
  EXPECT_EQ(unit->QuietCount(), 3);
  SetClockForTests(nullptr);
}

// A Zel-3 and a breakout box both at short ID 2 garble each other's answer: neither can be
// added, and the log says why, once, for that ID only.
TEST_F(DiscoveryTest, TwoUnitsAtOneShortId_NeitherIsAdded_TheLogSaysWhy) {
  AddUnit(52, 2, 0);
  AddUnit(41, 2, 0);
  AddUnit(53, 4, 0);
  Scan(6, 0);
  ASSERT_EQ(h.system.GetDeviceCount(), 1);
  EXPECT_EQ(h.system.GetDevice(0)->GetDeviceId(), 4u);
  EXPECT_EQ(h.frame.CountLogLinesStartingWith("Autoscan: unreadable answer at ID 2 (two units with the same ID?)"),
            1u);
  EXPECT_EQ(h.frame.CountLogLinesStartingWith("Autoscan: unreadable answer"), 1u);
}

// A unit that holds the bus at the probe of short ID 2 until the test lets it go: the stop comes
// while that probe is under way, whatever the speed of the machine.
class CHoldingUnit : public CSimDiscoveryUnit {
 public:
  CHoldingUnit() : CSimDiscoveryUnit(SimDiscoveryConfig{}) {}
  SimAnswer Handle(const SimBytes& request) override {
    if (request == SimBytes{0xE0, 0x02}) {
      reached = true;
      WaitFor([this] { return released && released(); });
    }
    return CSimDiscoveryUnit::Handle(request);
  }
  std::atomic<bool> reached{false};
  std::function<bool()> released;
};

TEST_F(DiscoveryTest, StopCommsThread_DuringALongScan_ReturnsWithinAProbe) {
  CHoldingUnit* holding = h.bus.Add<CHoldingUnit>();
  CCommsWorker& comms = h.system.GetComms();
  holding->released = [&comms] { return comms.IsStopping(); };
  comms.Discovery().SetScanRangeForTests(63, 127);
  ASSERT_TRUE(h.StartOnline());
  comms.Discovery().SetAutoscanDialog(&dialog, &dialog.running);
  ASSERT_TRUE(WaitFor([&] { return holding->reached.load(); }));
  // At most the probe under way when the stop came goes on (sent at most three times).
  const std::size_t probes = h.CountRequests(0xE0);
  h.system.GetComms().StopCommsThread();
  EXPECT_LE(h.CountRequests(0xE0), probes + 3);
  EXPECT_FALSE(h.system.GetComms().IsWorkerRunning());
  EXPECT_FALSE(dialog.running);
}

}  // namespace
