// The guard against reads that a change overtakes, on its own: a read stamped before a change
// began, while one is under way or while a write waits in the queue is overtaken; one stamped
// after the change's writes have left is not; and the log names only a change.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/model/StaleReadGuard.h"
#include "core/protocol/ControlMessage.h"
#include "core/system/System.h"
#include "tests/support/RecordingFrame.h"
#include "tests/support/TestDevices.h"

namespace {

class StaleReadGuardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    system.Start(&frame);
    system.Settings().SetLogCommsErrors(true);
    device = new CTestDevice(&system, 2);
    system.AppendDevice(device);
  }
  CControlMessage StampedRead() const {
    CControlMessage read;
    read.Set(0x30, 8, 12, nullptr, false, 0xA8, 0, 0);
    device->ReadGuard().StampRead(read);
    return read;
  }
  std::size_t LeftOutLines() const {
    std::size_t n = 0;
    for (const std::string& line : frame.LogLines())
      n += line.find("not used (asked before a change of the settings it holds)") != std::string::npos ? 1 : 0;
    return n;
  }
  void SendQueued() {
    CControlMessage m;
    while (device->Queue().PopMessage(m)) {
    }
  }

  CRecordingFrame frame;
  CSystem system;
  CTestDevice* device = nullptr;
};

}  // namespace

TEST_F(StaleReadGuardTest, AChangeOvertakesTheReadsAskedBeforeItEndedAndNoneAskedAfter) {
  const CStaleReadGuard& guard = device->ReadGuard();
  const CControlMessage before = StampedRead();
  EXPECT_FALSE(guard.IsReadOvertaken(before));
  {
    const CSettingsChange outer(*device);
    EXPECT_TRUE(guard.IsReadOvertaken(before));
    const CControlMessage during = StampedRead();
    EXPECT_TRUE(guard.IsReadOvertaken(during)) << "a change is under way";
    {
      const CSettingsChange nested(*device);
    }
    EXPECT_TRUE(guard.IsReadOvertaken(during));
  }
  EXPECT_TRUE(guard.IsReadOvertaken(before));
  EXPECT_FALSE(guard.IsReadOvertaken(StampedRead()));
}

TEST_F(StaleReadGuardTest, AWriteWaitingInTheQueueOvertakesEveryReadUntilItLeaves) {
  const CStaleReadGuard& guard = device->ReadGuard();
  device->QueueMessage(true, CTestDevice::MakeMessage(7, {0xF1, 7, 1}));
  const CControlMessage after = StampedRead();
  EXPECT_TRUE(guard.IsReadOvertaken(after));
  SendQueued();
  EXPECT_FALSE(guard.IsReadOvertaken(after)) << "stamped after the write was queued";
}

TEST_F(StaleReadGuardTest, TheLogNamesAChangeButNotAWriteThatStillWaits) {
  const CStaleReadGuard& guard = device->ReadGuard();
  device->QueueMessage(true, CTestDevice::MakeMessage(7, {0xF1, 7, 1}));
  EXPECT_TRUE(guard.LeavesOvertakenReply(StampedRead()));
  EXPECT_EQ(LeftOutLines(), 0u);
  SendQueued();
  const CControlMessage before = StampedRead();
  { const CSettingsChange change(*device); }
  EXPECT_TRUE(guard.LeavesOvertakenReply(before));
  EXPECT_EQ(LeftOutLines(), 1u);
  EXPECT_FALSE(guard.LeavesOvertakenReply(StampedRead()));
  EXPECT_EQ(LeftOutLines(), 1u);
}
