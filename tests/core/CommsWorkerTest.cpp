// The comms worker against the simulated bus: polling order, the hand-over of replies, the
// connection levels with their posts and log lines, going online and offline, fatal errors and
// stopping.
#include <gtest/gtest.h>

#include "core/comms/CommsWorker.h"
#include "core/model/Device.h"
#include "core/support/SystemMessages.h"
#include "tests/core/BusHarness.h"

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

TEST_F(CommsWorkerTest, SilentUnit_LeavesTheLineToTheOthers_IsStillProbed_AndConnectsOnceItAnswers) {
  std::vector<CPollingTestDevice*> answering;
  for (std::uint8_t id = 1; id <= 3; ++id) answering.push_back(AddPollingDevice(id));
  auto* quiet = new CPollingTestDevice(&h.system, 4, &h.frame);
  h.system.AppendDevice(quiet);
  CSilentUnit* unit = h.bus.Add<CSilentUnit>(std::uint8_t(4));
  unit->SetReplyLength(CPollingTestDevice::kReadCommand, CPollingTestDevice::kReplyLength);
  ASSERT_TRUE(h.StartOnline());
  ASSERT_TRUE(WaitFor([&] {
    for (auto* d : answering)
      if (d->processed < 150) return false;
    return true;
  }));
  // Each request to the silent unit goes three times and waits out its read each time; every
  // answered one takes a few byte times. The silent unit is asked again only after a rest.
  std::size_t toSilent = 0, toOthers = 0;
  for (const auto& r : h.bus.Requests()) (r.size() > 4 && r[4] == 4 ? toSilent : toOthers) += 1;
  EXPECT_GE(toSilent, 3u);
  EXPECT_LT(toSilent * 10, toOthers);
  EXPECT_EQ(quiet->GetCommsLevel(), 0);

  unit->silent = false;
  // The connection line is logged just after the device is marked connected.
  const char* connected = "Connected to Test Model   ID: 4";
  ASSERT_TRUE(WaitFor([&] { return quiet->IsConnected() && h.frame.CountLogLinesStartingWith(connected) > 0; }));
  EXPECT_EQ(h.frame.CountLogLinesStartingWith(connected), 1u);
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
