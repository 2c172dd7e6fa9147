// The comms worker against the simulated bus: polling order, the hand-over of replies, the
// connection levels with their posts and log lines, going online and offline, fatal errors and
// stopping.
#include <gtest/gtest.h>

#include "core/comms/CommsWorker.h"
#include "core/model/Device.h"
#include "core/support/SystemMessages.h"
#include "devices/amplifier/AmplifierFamilies.h"
#include "devices/processor/ProcessorFamily.h"
#include "platform/Clock.h"
#include "tests/core/BusHarness.h"
#include "tools/devsim/SimOptions.h"

namespace {

class CommsWorkerTest : public ::testing::Test {
 protected:
  CPollingTestDevice* AddPollingDevice(std::uint8_t id) {
    auto* device = new CPollingTestDevice(&h.system, id, &h.frame);
    h.system.AppendDevice(device);
    CFramedUnit* unit = h.bus.Add<CFramedUnit>(id);
    unit->SetReplyLength(CPollingTestDevice::kReadCommand, CPollingTestDevice::kReplyLength);
    units.push_back(unit);
    return device;
  }
  // A broadcast (no answer awaited) whose one payload byte tells it apart.
  static std::unique_ptr<CControlMessage> Broadcast(std::uint8_t tag) {
    auto m = std::make_unique<CControlMessage>();
    const std::uint8_t bytes[8] = {0xF0, 0x00, 0x08, 0x10, 0x00, 0x00, 0x20, tag};
    m->Set(0x20, 9, 0, nullptr, false, 0xA8, 0, 0);
    for (int i = 0; i < 8; ++i) m->frame[i] = bytes[i];
    m->frame[8] = Checksum7Bit(bytes, 8);
    return m;
  }

  CBusHarness h;
  std::vector<CFramedUnit*> units;
};

TEST_F(CommsWorkerTest, GoOnline_ReadsRepliesIntoDevicesUntilConnected_LogsConnectedOnce) {
  CPollingTestDevice* device = AddPollingDevice(7);
  ASSERT_TRUE(h.StartOnline());
  ASSERT_TRUE(WaitFor([&] { return device->GetCommsLevel() == kMaxCommsLevel; }));

  // The first reply came while the device still waited for its security step: dropped, and
  // the get-security pass ran before any reply reached the device.
  EXPECT_EQ(device->processedWhileUninitialised, 0);
  EXPECT_FALSE(device->NeedsInitialisation());
  EXPECT_GE(h.bus.RequestCount(), std::size_t(device->processed) + 1);
  // The reply bytes were copied over the record's frame from byte 0.
  const std::vector<std::uint8_t> reply = device->LastReply();
  ASSERT_EQ(reply.size(), CPollingTestDevice::kReplyLength);
  EXPECT_EQ(reply[0], 0xA8);
  EXPECT_EQ(reply[2], CPollingTestDevice::kReplyLength - 1);

  EXPECT_EQ(h.frame.CountLogLinesStartingWith("Going Online"), 1u);
  EXPECT_EQ(h.frame.CountLogLinesStartingWith("Connected to Test Model   ID: 7"), 1u);
  // Levels 1, 2 and 3 post; the higher ones do not.
  EXPECT_EQ(h.frame.CountFor(FrameMsg::kPropagateOnline, device), 3u);
  EXPECT_EQ(h.frame.CountFor(FrameMsg::kRefreshRack, device), 3u);
}

TEST_F(CommsWorkerTest, UnansweredRequests_LowerTheLevel_DisconnectOnlyAtZero) {
  CPollingTestDevice* device = AddPollingDevice(9);
  ASSERT_TRUE(h.StartOnline());
  ASSERT_TRUE(WaitFor([&] { return device->GetCommsLevel() == kMaxCommsLevel; }));
  h.bus.InjectFaults(SimFault::Silence(), 200);
  ASSERT_TRUE(WaitFor([&] { return device->GetCommsLevel() == 0; }));
  h.system.GetComms().RequestIdle();

  EXPECT_GE(device->GetMissCount(), 6u);
  EXPECT_EQ(h.frame.CountLogLinesStartingWith("Disconnected from Test Model   ID: 9"), 1u);
  EXPECT_EQ(h.frame.CountFor(FrameMsg::kInvalidatePanel, device), 1u);
  EXPECT_EQ(h.frame.CountFor(FrameMsg::kPropagateWarning, device), 1u);
}

// A unit that says nothing while silent is set.
class CSilentUnit : public CFramedUnit {
 public:
  using CFramedUnit::CFramedUnit;
  SimAnswer Handle(const SimBytes& request) override {
    return silent ? SimAnswer::Silence() : CFramedUnit::Handle(request);
  }
  std::atomic<bool> silent{true};
};

// Units that never answer beside three that do: one, or four (a part of the rack switched off).
class SilentUnits : public CommsWorkerTest, public ::testing::WithParamInterface<int> {};

TEST_P(SilentUnits, LeaveTheLineToTheOthers_AreStillProbed_AndConnectOnceTheyAnswer) {
  const int silentCount = GetParam();
  std::vector<CPollingTestDevice*> answering;
  for (std::uint8_t id = 1; id <= 3; ++id) answering.push_back(AddPollingDevice(id));
  std::vector<CPollingTestDevice*> quiet;
  std::vector<CSilentUnit*> silentUnits;
  for (int i = 0; i < silentCount; ++i) {
    const auto id = std::uint8_t(4 + i);
    quiet.push_back(new CPollingTestDevice(&h.system, id, &h.frame));
    h.system.AppendDevice(quiet.back());
    silentUnits.push_back(h.bus.Add<CSilentUnit>(id));
    silentUnits.back()->SetReplyLength(CPollingTestDevice::kReadCommand, CPollingTestDevice::kReplyLength);
  }
  ASSERT_TRUE(h.StartOnline());
  ASSERT_TRUE(WaitFor([&] {
    for (auto* d : answering)
      if (d->processed < 150) return false;
    return true;
  }));
  // Each request to a silent unit goes three times and waits out its read each time; every
  // answered one takes a few byte times. The silent units rest after each such request, so that
  // together they hold the line for a share of the time only.
  std::vector<std::size_t> toSilent(std::size_t(silentCount), 0);
  std::size_t toOthers = 0;
  for (const auto& r : h.bus.Requests()) {
    if (r.size() > 4 && r[4] >= 4) {
      ++toSilent[std::size_t(r[4] - 4)];
    } else {
      ++toOthers;
    }
  }
  std::size_t allSilent = 0;
  for (std::size_t n : toSilent) {
    EXPECT_GE(n, 3u);
    allSilent += n;
  }
  EXPECT_LT(allSilent * 10, toOthers);
  for (const auto* d : quiet) EXPECT_EQ(d->GetCommsLevel(), 0);

  for (CSilentUnit* unit : silentUnits) unit->silent = false;
  // The connection line is logged just after the device is marked connected.
  for (int i = 0; i < silentCount; ++i) {
    const std::string connected = "Connected to Test Model   ID: " + std::to_string(4 + i);
    ASSERT_TRUE(WaitFor([&] {
      return quiet[std::size_t(i)]->IsConnected() && h.frame.CountLogLinesStartingWith(connected) > 0;
    }));
    EXPECT_EQ(h.frame.CountLogLinesStartingWith(connected), 1u);
  }
}

INSTANTIATE_TEST_SUITE_P(OneOrFour, SilentUnits, ::testing::Values(1, 4));

// When the whole line falls silent every unit is marked offline at its sixth missed request, and
// the silent units take turns on the line: a breakout box, which asks for its status on every
// 11th of its turns only, is not left connected while the amplifiers, which ask on every turn,
// miss request after request (they had missed 17 to 23 by the time the last box was marked).
TEST_F(CommsWorkerTest, WholeLineSilent_EveryUnitGoesOfflineAtItsSixthMiss_TheBoxesNotLeftBehind) {
  RegisterAmplifierFamilies();
  RegisterProcessorFamily();
  SimOptions options;
  // The sample system's units.
  ASSERT_TRUE(ParseSimOptions(SplitSimOptions("--processor 120:1 --zel-amp 52:2 --zel-break 40:3 --processor 16:4 "
                                              "--zel-break 44:5 --zel-amp 56:6 --processor 121:7 --processor 112:8 "
                                              "--processor 17:9 --zel-amp 55:10 --zel-break 41:11"),
                              options));
  AddSimUnits(options, h.bus);
  std::vector<CDevice*> devices;
  for (const auto& [id, type] : std::vector<std::pair<std::uint32_t, std::uint32_t>>{
           {1, 120}, {2, 52}, {3, 40}, {4, 16}, {5, 44}, {6, 56}, {7, 121}, {8, 112}, {9, 17}, {10, 55}, {11, 41}}) {
    devices.push_back(h.system.CreateDevice(id, type, 0));
    h.system.AppendDevice(devices.back());
  }
  h.system.SetSystemMonitorVisible(true);
  ASSERT_TRUE(h.StartOnline());
  auto allAt = [&](std::int32_t level) {
    CSingleLock lock(h.system.GetLock());
    for (const CDevice* d : devices)
      if (d->GetCommsLevel() != level) return false;
    return true;
  };
  ASSERT_TRUE(WaitFor([&] { return allAt(kMaxCommsLevel); }, 120000));

  h.bus.Stop();
  std::vector<std::uint32_t> missesWhenOffline(devices.size(), 0);
  ASSERT_TRUE(WaitFor(
      [&] {
        CSingleLock lock(h.system.GetLock());
        bool all = true;
        for (std::size_t i = 0; i < devices.size(); ++i) {
          if (missesWhenOffline[i] == 0 && devices[i]->GetCommsLevel() == 0)
            missesWhenOffline[i] = devices[i]->GetMissCount();
          all = all && missesWhenOffline[i] != 0;
        }
        return all;
      },
      120000));
  std::vector<std::uint32_t> missesWhenAllOffline;
  {
    CSingleLock lock(h.system.GetLock());
    for (const CDevice* d : devices) missesWhenAllOffline.push_back(d->GetMissCount());
  }
  for (std::size_t i = 0; i < devices.size(); ++i) {
    EXPECT_EQ(missesWhenOffline[i], 6u) << "device " << i;
    EXPECT_LE(missesWhenAllOffline[i], 12u) << "device " << i;
  }
  EXPECT_EQ(h.frame.CountLogLinesStartingWith("Disconnected from "), devices.size());
}

// A unit whose late answer may still come is passed over while other units can be asked; alone
// on the bus it is asked all the same, its request first waiting for what it could take, and not
// for the watch to end by the program's clock (held still here, so that the watch never ends by
// itself).
TEST_F(CommsWorkerTest, UnitAwaitedForALateAnswer_IsStillAskedWhenNoOtherUnitCanBe) {
  static CManualClock heldClock;
  struct ClockBack {
    ~ClockBack() { SetClockForTests(nullptr); }
  } clockBack;
  CPollingTestDevice* device = AddPollingDevice(3);
  ASSERT_TRUE(h.StartOnline());
  ASSERT_TRUE(WaitFor([&] { return device->GetCommsLevel() == kMaxCommsLevel; }));
  SetClockForTests(&heldClock);
  // One answer lost: the resend is answered, and the unit's answer to the first send may still come.
  h.bus.InjectFault(SimFault::Silence());
  const int before = device->processed;
  EXPECT_TRUE(WaitFor([&] { return device->processed >= before + 5; }));
  EXPECT_EQ(device->GetCommsLevel(), kMaxCommsLevel);
}

TEST_F(CommsWorkerTest, SystemQueue_GoesFirst_NewestFirst_ThenTheDevicesQueues) {
  CPollingTestDevice* device = AddPollingDevice(3);
  device->SetNeedsInitialisation(false);
  h.system.GetComms().AppendSystemMessage(Broadcast(1));
  h.system.GetComms().AppendSystemMessage(Broadcast(2));
  h.system.GetComms().AppendSystemMessage(Broadcast(3));
  h.bus.Start();
  h.system.Start(&h.frame);
  ASSERT_TRUE(h.system.GoOnline(0));
  ASSERT_TRUE(h.bus.WaitForRequests(5, 10000));

  const auto requests = h.bus.Requests();
  EXPECT_EQ(requests[0][7], 3);
  EXPECT_EQ(requests[1][7], 2);
  EXPECT_EQ(requests[2][7], 1);
  EXPECT_EQ(requests[3][0], 0xF0);
  EXPECT_EQ(requests[3][6], CPollingTestDevice::kReadCommand);
  EXPECT_EQ(h.system.GetComms().GetSystemQueueSize(), 0u);
}

TEST_F(CommsWorkerTest, DevicesTakeOneTransactionEachInTurn) {
  CPollingTestDevice* a = AddPollingDevice(1);
  CPollingTestDevice* b = AddPollingDevice(2);
  ASSERT_TRUE(h.StartOnline());
  ASSERT_TRUE(WaitFor([&] { return a->processed >= 4 && b->processed >= 4; }));
  h.system.GetComms().RequestIdle();

  // After the security step the requests alternate between the two units.
  const auto requests = h.bus.Requests();
  ASSERT_GE(requests.size(), 6u);
  for (std::size_t i = requests.size() - 6; i + 1 < requests.size(); ++i)
    EXPECT_NE(requests[i][4], requests[i + 1][4]) << "request " << i;
}

TEST_F(CommsWorkerTest, DevicesWithIdZero_AreNotPolled) {
  auto* device = new CPollingTestDevice(&h.system, 0, &h.frame);
  h.system.AppendDevice(device);
  CPollingTestDevice* polled = AddPollingDevice(3);
  ASSERT_TRUE(h.StartOnline());
  // Enough turns of the poll loop for the unpolled device to have had several.
  ASSERT_TRUE(WaitFor([&] { return polled->polls >= 5; }));
  h.system.GetComms().RequestIdle();
  EXPECT_EQ(device->polls, 0);
  for (const auto& request : h.bus.Requests()) {
    if (request.size() > 6 && request[6] == CPollingTestDevice::kReadCommand) {
      EXPECT_EQ(request[4], 3);
    }
  }
}

TEST_F(CommsWorkerTest, GoingOffline_WhileATransactionRuns_WaitsForItsOutcome) {
  CPollingTestDevice* device = AddPollingDevice(4);
  ASSERT_TRUE(h.StartOnline());
  ASSERT_TRUE(WaitFor([&] { return device->GetCommsLevel() == kMaxCommsLevel; }));
  const auto outcomesSoFar = [&] { return std::uint32_t(device->processed) + device->GetMissCount(); };
  device->timeoutBase = 5000;
  // Let one transaction end first, so that every request from here on carries the long time-out:
  // a request built before it could time out against the slow unit, and its retries would reach
  // the bus late, long after the worker had given them up.
  const std::uint32_t earlier = outcomesSoFar();
  ASSERT_TRUE(WaitFor([&] { return outcomesSoFar() > earlier; }));
  units[0]->SetResponseDelay(1500);
  const std::size_t before = h.bus.RequestCount();
  // A slow transaction is under way.
  ASSERT_TRUE(WaitFor([&] { return h.bus.RequestCount() >= before + 1; }));

  const std::uint32_t outcomes = outcomesSoFar();
  const auto start = std::chrono::steady_clock::now();
  h.system.GetComms().RequestIdle();
  EXPECT_GT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
  // The worker acknowledged only after the slow transaction had ended and its outcome had been
  // handed to the device.
  EXPECT_EQ(h.system.GetComms().GetWorkerState(), kWorkerIdle);
  EXPECT_TRUE(h.system.GetComms().GetTransport().IsDone());
  EXPECT_EQ(h.system.GetComms().GetTransport().GetStatus(), kCommsIdle);
  EXPECT_EQ(std::uint32_t(device->processed) + device->GetMissCount(), outcomes + 1);
  const std::size_t requests = h.bus.RequestCount();

  EXPECT_TRUE(h.system.GetComms().SetOnline(false));
  EXPECT_FALSE(h.system.IsPortOpen());
  EXPECT_EQ(h.frame.CountLogLinesStartingWith("Going Offline"), 1u);
  // Going offline disconnects the connected device.
  EXPECT_EQ(device->GetCommsLevel(), 0);
  EXPECT_EQ(h.frame.CountLogLinesStartingWith("Disconnected from Test Model"), 1u);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(h.bus.RequestCount(), requests);
}

TEST_F(CommsWorkerTest, StopCommsThread_WithATransactionPending_ReturnsWhenItHasEndedAndTheThreadIsGone) {
  AddPollingDevice(6)->timeoutBase = 1000;
  units[0]->SetResponseDelay(200);
  ASSERT_TRUE(h.StartOnline());
  ASSERT_TRUE(WaitFor([&] { return h.bus.RequestCount() >= 1; }));
  const auto start = std::chrono::steady_clock::now();
  h.system.GetComms().StopCommsThread();
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_FALSE(h.system.GetComms().IsWorkerRunning());
  EXPECT_TRUE(h.system.GetComms().GetTransport().IsDone());
  EXPECT_EQ(h.system.GetComms().GetTransport().GetStatus(), kCommsIdle);
  EXPECT_LT(took, std::chrono::seconds(5));
}

TEST_F(CommsWorkerTest, TransportFailure_PostsFatalError_AndTheWorkerGoesIdle) {
  CPollingTestDevice* device = AddPollingDevice(8);
  device->SetNeedsInitialisation(false);
  h.line->FailNextRead();
  ASSERT_TRUE(h.StartOnline());
  ASSERT_TRUE(WaitFor([&] { return h.frame.Count(FrameMsg::kFatalCommsError) == 1; }));
  // The worker acknowledges its own go-idle request: going offline does not wait.
  h.system.GetComms().RequestIdle();
  EXPECT_EQ(h.system.GetComms().GetWorkerState(), kWorkerIdle);
  EXPECT_EQ(h.system.GetComms().GetTransport().GetStatus(), kCommsIdle);
  EXPECT_TRUE(h.system.GetComms().SetOnline(false));
}

TEST_F(CommsWorkerTest, GoOnline_PortRefused_ShowsTheFailureAndStaysIdle) {
  AddPollingDevice(2);
  h.line->SetOpenRefused(true);
  h.bus.Start();
  h.system.Start(&h.frame);
  EXPECT_FALSE(h.system.GoOnline(1));
  const CRecordingUi::Texts boxes = h.frame.MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].first, "Failed to connect - check comms settings");
  EXPECT_EQ(boxes[0].second, "Online Error");
  EXPECT_EQ(h.system.GetComms().GetWorkerState(), kWorkerIdle);
  EXPECT_FALSE(h.system.IsPortOpen());
}

TEST_F(CommsWorkerTest, SetOnlineFalse_WithThePortClosed_ReturnsTrueAndLogsNothing) {
  h.system.Start(&h.frame);
  EXPECT_TRUE(h.system.GetComms().SetOnline(false));
  EXPECT_TRUE(h.frame.LogLines().empty());
}

TEST_F(CommsWorkerTest, GoOnline_ReinitialisesEveryDeviceWithTheChoice) {
  CPollingTestDevice* device = AddPollingDevice(5);
  device->SetNeedsInitialisation(false);
  device->QueueMessage(true, CTestDevice::MakeMessage(9, {0xF1, 0x01}));
  h.system.Start(&h.frame);
  ASSERT_TRUE(h.system.GoOnline(1));
  EXPECT_TRUE(device->NeedsInitialisation());
  EXPECT_EQ(h.system.GetComms().GetWorkerState(), kWorkerOnline);
}

}  // namespace

