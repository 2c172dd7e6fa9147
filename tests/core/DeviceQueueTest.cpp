// A device's outgoing queue (drop rule, merging, order) and its connection level with the
// messages it posts to the frame.
#include <gtest/gtest.h>

#include <QFile>

#include "core/comms/CommsWorker.h"
#include "core/protocol/ControlMessage.h"
#include "core/support/LogFile.h"
#include "core/comms/SerialComms.h"
#include "core/system/System.h"
#include "core/support/SystemMessages.h"
#include "platform/Clock.h"
#include "platform/SerialPortMemory.h"
#include "platform/WindowMessages.h"
#include "tests/support/ModelChanges.h"
#include "tests/support/RecordingFrame.h"
#include "tests/support/TestDevices.h"

namespace {

class DeviceQueueTest : public ::testing::Test {
 protected:
  // The commands and the first data byte of every queued message, front first.
  std::vector<std::pair<std::uint32_t, std::uint8_t>> Queue() {
    std::vector<std::pair<std::uint32_t, std::uint8_t>> out;
    CControlMessage m;
    for (std::size_t i = 0; device.Queue().PeekQueuedMessage(i, m); ++i) out.push_back({m.command, m.frame[2]});
    return out;
  }
  void Queue(std::uint32_t command, std::uint8_t setting, std::uint8_t value) {
    device.QueueMessage(true, CTestDevice::MakeMessage(command, {0xF1, setting, value}));
  }

  CSystem system;
  CRecordingFrame frame;
  CTestDevice device{&system, 7, &frame};
};

using Q = std::vector<std::pair<std::uint32_t, std::uint8_t>>;

}  // namespace

TEST_F(DeviceQueueTest, PortClosed_MessageWithoutForceIsDropped) {
  device.Connect();
  device.QueueMessage(false, CTestDevice::MakeMessage(1, {0xF1}));
  EXPECT_EQ(device.Queue().GetQueueSize(), 0u);
  device.QueueMessage(true, CTestDevice::MakeMessage(1, {0xF1}));
  EXPECT_EQ(device.Queue().GetQueueSize(), 1u);
}

TEST(DeviceQueueOnlineTest, PortOpen_DropsOnlyWhileTheDeviceIsNotConnected) {
  auto line = std::make_shared<CSerialLine>();
  SetSerialPortFactoryForTests([line] { return std::make_unique<CMemorySerialPort>(line); });
  CSystem system;
  SetSerialPortFactoryForTests({});
  ASSERT_TRUE(system.GetComms().GetTransport().Open(1, 57600, true));
  ASSERT_TRUE(system.IsPortOpen());
  CTestDevice device(&system, 3);
  device.QueueMessage(false, CTestDevice::MakeMessage(1, {0xF1}));
  EXPECT_EQ(device.Queue().GetQueueSize(), 0u);
  device.Connect();
  device.QueueMessage(false, CTestDevice::MakeMessage(1, {0xF1}));
  EXPECT_EQ(device.Queue().GetQueueSize(), 1u);
}

// ID 0 addresses every unit of a model: nothing is queued for it, forced or not; a new ID
// drops what was queued for the old one, whose frames name the old ID.
TEST_F(DeviceQueueTest, IdZeroQueuesNothingAndANewIdDropsWhatWasQueuedForTheOldOne) {
  CTestDevice unaddressed{&system, 0, &frame};
  unaddressed.QueueMessage(true, CTestDevice::MakeMessage(1, {0xF1}));
  EXPECT_EQ(unaddressed.Queue().GetQueueSize(), 0u);
  Queue(1, 2, 3);
  GiveDeviceId(device, 7);  // the same ID: kept
  EXPECT_EQ(device.Queue().GetQueueSize(), 1u);
  GiveDeviceId(device, 8);
  EXPECT_EQ(device.Queue().GetQueueSize(), 0u);
}

TEST_F(DeviceQueueTest, NoMergeMask_KeepsEveryMessageInOrder) {
  Queue(5, 1, 10);
  Queue(5, 1, 11);
  Queue(5, 1, 12);
  EXPECT_EQ(Queue(), (Q{{5, 10}, {5, 11}, {5, 12}}));
}

TEST_F(DeviceQueueTest, SameSetting_NewerReplacesOlderAtTheBack) {
  device.mergeMask = 0b011;  // bytes 0 and 1 name the setting
  Queue(5, 1, 10);
  Queue(5, 2, 20);
  Queue(5, 1, 11);
  EXPECT_EQ(Queue(), (Q{{5, 20}, {5, 11}}));
}

TEST_F(DeviceQueueTest, DifferentCommandOrMaskedByteNeverMerges) {
  device.mergeMask = 0b011;
  Queue(5, 1, 10);
  Queue(6, 1, 11);  // same bytes, other command
  Queue(5, 3, 12);  // same command, other setting
  EXPECT_EQ(Queue(), (Q{{5, 10}, {6, 11}, {5, 12}}));
}

TEST_F(DeviceQueueTest, MergeComparesMaskedBytesOnlyUpToByte31) {
  device.mergeMask = 0x80000001u;  // bytes 0 and 31
  auto a = CTestDevice::MakeMessage(5, {0xF1, 1, 10});
  auto b = CTestDevice::MakeMessage(5, {0xF1, 2, 11});
  a->frame[31] = 9;
  b->frame[31] = 9;
  a->frame[32] = 1;  // past the mask: ignored
  device.QueueMessage(true, std::move(a));
  device.QueueMessage(true, std::move(b));
  EXPECT_EQ(Queue(), (Q{{5, 11}}));
}

TEST_F(DeviceQueueTest, PopMessage_TakesFromTheFrontUntilEmpty) {
  Queue(1, 0, 1);
  Queue(2, 0, 2);
  CControlMessage record;
  record.noRetry = true;
  ASSERT_TRUE(device.Queue().PopMessage(record));
  EXPECT_EQ(record.command, 1u);
  EXPECT_TRUE(record.noRetry);  // the record keeps its own no-retry flag
  ASSERT_TRUE(device.Queue().PopMessage(record));
  EXPECT_EQ(record.command, 2u);
  EXPECT_FALSE(device.Queue().PopMessage(record));
  EXPECT_EQ(record.command, 2u);
}

TEST_F(DeviceQueueTest, ClearQueue_DeletesEverything) {
  Queue(1, 0, 1);
  Queue(2, 0, 2);
  device.Queue().ClearQueue();
  EXPECT_EQ(device.Queue().GetQueueSize(), 0u);
}

TEST_F(DeviceQueueTest, ReplyTimer_StartsAtNowFor7sAndDisconnectClearsIt) {
  CManualClock clock;
  clock.SetTick(123456);
  SetClockForTests(&clock);
  device.ReplyTimer().StartReplyTimer();
  SetClockForTests(nullptr);
  EXPECT_EQ(device.ReplyTimer().GetStart(), 123456u);
  EXPECT_EQ(device.ReplyTimer().GetTimeout(), 7000u);
  device.OnDisconnected(false);
  EXPECT_EQ(device.ReplyTimer().GetStart(), 0u);
  EXPECT_EQ(device.ReplyTimer().GetTimeout(), 0u);
}

namespace {
std::vector<std::uint32_t> Messages(CRecordingFrame& sink) {
  std::vector<std::uint32_t> out;
  for (const auto& m : sink.Take()) out.push_back(m.message);
  return out;
}
const std::vector<std::uint32_t> kLevelPosts = {FrameMsg::kRedrawMeterEntry, FrameMsg::kRefreshRack,
                                                FrameMsg::kPropagateOnline};
const std::vector<std::uint32_t> kDisconnectPosts = {FrameMsg::kInvalidatePanel, FrameMsg::kPropagateOnline,
                                                     FrameMsg::kPropagateWarning};
}  // namespace

TEST_F(DeviceQueueTest, CommsLevel_ThreeGoodRepliesConnectAndPostEachStep) {
  for (int i = 1; i <= 3; ++i) {
    device.UpdateCommsState(true);
    EXPECT_EQ(Messages(frame), kLevelPosts) << "level " << i;
  }
  EXPECT_TRUE(device.IsConnected());
  for (int i = 4; i <= 8; ++i) device.UpdateCommsState(true);
  EXPECT_EQ(device.GetCommsLevel(), 6);
  EXPECT_TRUE(Messages(frame).empty());
}

TEST_F(DeviceQueueTest, CommsLevel_MissesFromTopPostNothingUntilLevelZero) {
  for (int i = 0; i < 6; ++i) device.UpdateCommsState(true);
  frame.Take();
  for (int i = 1; i <= 5; ++i) {
    device.UpdateCommsState(false);
    EXPECT_TRUE(Messages(frame).empty()) << "miss " << i;
    EXPECT_EQ(device.IsConnected(), i < 4);
  }
  device.UpdateCommsState(false);
  std::vector<std::uint32_t> expected = kDisconnectPosts;
  expected.insert(expected.end(), kLevelPosts.begin(), kLevelPosts.end());
  EXPECT_EQ(Messages(frame), expected);
  EXPECT_EQ(device.GetMissCount(), 6u);
  device.UpdateCommsState(true);
  EXPECT_EQ(device.GetMissCount(), 0u);
}

TEST_F(DeviceQueueTest, CommsLevel_IgnoredDeviceIsNotRaised) {
  device.SetIgnored(true);
  device.UpdateCommsState(true);
  EXPECT_EQ(device.GetCommsLevel(), 0);
  EXPECT_TRUE(Messages(frame).empty());
}

TEST_F(DeviceQueueTest, CommsLevel_OpenPanelAndSelectionGetTheirPosts) {
  CTestControlPanel panel;
  device.SetControlPanel(&panel);
  system.AppendDevice(new CTestDevice(&system, 1));
  system.SetSelectedDevice(0);
  device.UpdateCommsState(true);  // another device is selected
  std::vector<std::uint32_t> expected = kLevelPosts;
  expected.push_back(FrameMsg::kPanelOnlineState);
  EXPECT_EQ(Messages(frame), expected);

  auto* selected = new CTestDevice(&system, 2, &frame);
  system.AppendDevice(selected);
  system.SetSelectedDevice(1);
  selected->UpdateCommsState(true);
  expected = kLevelPosts;
  expected.push_back(FrameMsg::kSelectDevice);
  EXPECT_EQ(Messages(frame), expected);
}

namespace {
std::string LogFileText() {
  QFile file(QString::fromStdString(CLogFile::GetLogFilePath()));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll().toStdString();
}
}  // namespace

TEST_F(DeviceQueueTest, CommsLevel_ConnectAndDisconnectLinesAreLoggedOnceEach) {
  NameDevice(device, "Stage");
  for (int i = 0; i < 6; ++i) device.UpdateCommsState(true);
  std::string log = LogFileText();
  EXPECT_NE(log.find("    Connected to Test Model Stage ID: 7\r\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("Connected to", log.find("Connected to") + 1), std::string::npos);
  for (int i = 0; i < 5; ++i) device.UpdateCommsState(false);
  EXPECT_EQ(LogFileText().find("Disconnected"), std::string::npos);
  device.UpdateCommsState(false);
  log = LogFileText();
  EXPECT_NE(log.find("    Disconnected from Test Model Stage ID: 7\r\n"), std::string::npos) << log;
}

TEST_F(DeviceQueueTest, ErrorLog_WritesOnlyWhileLogCommsErrorsIsOn) {
  system.WriteErrorLog("first error\n");
  EXPECT_EQ(LogFileText().find("first error"), std::string::npos);
  system.Settings().SetLogCommsErrors(true);
  system.WriteErrorLog("second error\n");
  EXPECT_NE(LogFileText().find("second error"), std::string::npos);
}
