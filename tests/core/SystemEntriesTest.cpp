// The system's ways in to a device, on their own: a linked change goes down the family's change
// path and the writes it queues carry the link's parameter (a write queued otherwise carries
// none), a recalled snapshot image and another device's solo reach the family, and the name the
// system gives a device it adds.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/model/Snapshot.h"
#include "core/model/SystemEntries.h"
#include "core/protocol/ControlMessage.h"
#include "core/system/System.h"
#include "tests/support/ModelChanges.h"
#include "tests/support/TestDevices.h"

namespace {

// The test family, queueing a write of every change whatever the connection, and recording
// the solos and snapshot images the system hands it.
class CEntriesDevice : public CTestDevice {
 public:
  using CTestDevice::CTestDevice;
  void ApplyControlChange(const CParamValue& value) override {
    QueueMessage(true, MakeMessage(std::uint32_t(value.id), {0xF1, std::uint8_t(value.id)}));
    CTestDevice::ApplyControlChange(value);
  }
  void OnSystemSolo(bool solo) override { solos.push_back(solo); }
  void ApplySnapshotData(const CSnapshotData& data) override {
    (void)data;
    ++images;
  }
  std::vector<bool> solos;
  int images = 0;
};

class SystemEntriesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    device = new CEntriesDevice(&system, 4);
    system.AppendDevice(device);
  }
  std::vector<std::int32_t> QueuedLinkParameters() const {
    std::vector<std::int32_t> out;
    CControlMessage m;
    for (std::size_t i = 0; device->Queue().PeekQueuedMessage(i, m); ++i) out.push_back(m.linkedParameter);
    return out;
  }
  CSystem system;
  CEntriesDevice* device = nullptr;
};

}  // namespace

TEST_F(SystemEntriesTest, TheWritesOfALinkedChangeCarryItsParameterAndNoOtherWritesDo) {
  CSystemEntries& entries = device->SystemEntries();
  EXPECT_EQ(entries.LinkedParameterQueuing(), -1);
  entries.ApplyLinkedChange(MakeIntParamValue(kTestGain, -3), CDeviceTestAccess::SystemPass());
  EXPECT_EQ(entries.LinkedParameterQueuing(), -1) << "the linked change has ended";
  ModelChange(device, MakeIntParamValue(kTestMute, 1));
  EXPECT_EQ(QueuedLinkParameters(), (std::vector<std::int32_t>{kTestGain, -1}));
  ASSERT_EQ(device->applied.size(), 2u);
  EXPECT_EQ(device->applied[0].integer, -3);
}

TEST_F(SystemEntriesTest, ASoloASnapshotImageAndANameReachTheFamily) {
  CSystemEntries& entries = device->SystemEntries();
  entries.ApplySystemSolo(true, CDeviceTestAccess::SystemPass());
  entries.ApplySystemSolo(false, CDeviceTestAccess::SystemPass());
  EXPECT_EQ(device->solos, (std::vector<bool>{true, false}));
  entries.RecallSnapshotImage(CSnapshotData{}, CDeviceTestAccess::SystemPass());
  EXPECT_EQ(device->images, 1);
  entries.SetName("Stage Left", CDeviceTestAccess::SystemPass());
  EXPECT_EQ(device->GetName(), "Stage Left");
}
