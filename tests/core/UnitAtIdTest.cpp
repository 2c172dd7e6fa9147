// Who answers at a device's ID, on its own: the model a reply names, a device set aside for a
// unit of another model (what waits in its queue, the words that name both) and taken up again
// by a unit of its own model, and the notes of the unit on the line.
#include <gtest/gtest.h>

#include <string>

#include "core/model/UnitAtId.h"
#include "core/protocol/ControlMessage.h"
#include "core/system/System.h"
#include "devices/amplifier/AmplifierFamilies.h"
#include "devices/amplifier/ZelBaseDevice.h"
#include "tests/support/TestDevices.h"

namespace {

using EReplyEcho = CControlMessage::EReplyEcho;

// A read's reply of the length that repeats the type code in byte 3.
CControlMessage ModelReply(std::uint32_t typeCode, EReplyEcho echo, std::uint32_t length = 12) {
  CControlMessage r;
  r.Set(0x30, 8, length, nullptr, false, 0xA8, 0, 0);
  r.receivedLength = length;
  r.frame[3] = std::uint8_t(typeCode);
  r.replyEcho = echo;
  return r;
}

class UnitAtIdTest : public ::testing::Test {
 protected:
  void SetUp() override {
    device = new CTestDevice(&system, 3);
    system.AppendDevice(device);
  }
  // A write and a read waiting in the device's queue.
  void QueueWriteAndRead() {
    device->QueueMessage(true, CTestDevice::MakeMessage(7, {0xF1, 7, 1}));
    auto read = CTestDevice::MakeMessage(8, {0xF0, 8});
    read->write = false;
    device->QueueMessage(true, std::move(read));
  }

  CSystem system;
  CTestDevice* device = nullptr;
};

}  // namespace

TEST_F(UnitAtIdTest, AReplyTellsItsModelInByteThreeButAnAckOrAShortReplyTellsNone) {
  const CUnitAtId& unit = device->UnitAtId();
  EXPECT_EQ(unit.UnitTypeOfReply(ModelReply(77, EReplyEcho::kRepeated)), 77u);
  EXPECT_EQ(unit.UnitTypeOfReply(ModelReply(77, EReplyEcho::kRepeated, 3)), 0u);
  CControlMessage ack = ModelReply(77, EReplyEcho::kRepeated);
  ack.write = true;
  EXPECT_EQ(unit.UnitTypeOfReply(ack), 0u);
  EXPECT_EQ(unit.ModelNameOfType(77), "unit of type 77");
}

TEST_F(UnitAtIdTest, TheZelIdentityReplyNamesAnIdNotAType) {
  RegisterAmplifierFamilies();
  CDevice* zel = system.CreateDevice(5, 52, 0);
  system.AppendDevice(zel);
  CControlMessage identity = ModelReply(5, EReplyEcho::kRepeated, 24);
  identity.command = kZelIdentityCommand;
  EXPECT_EQ(zel->UnitAtId().UnitTypeOfReply(identity), 0u);
  EXPECT_EQ(zel->UnitAtId().ModelNameOfType(55), "Zel-6");
}

// Only a reply that names the device's unit sets it aside; while aside, its writes wait for its
// own unit (in a "Retrieve" session) and its reads go; a reply of its own model takes it up and
// is not taken itself.
TEST_F(UnitAtIdTest, AnotherModelsReplySetsTheDeviceAsideAndItsOwnModelTakesItUpAgain) {
  CUnitAtId& unit = device->UnitAtId();
  EXPECT_FALSE(unit.TakeUnitModel(ModelReply(77, EReplyEcho::kOther)));
  EXPECT_FALSE(unit.IsSetAside()) << "another unit's reply tells nothing of this ID";
  EXPECT_FALSE(unit.TakeUnitModel(ModelReply(77, EReplyEcho::kEmpty)));
  EXPECT_FALSE(unit.IsSetAside()) << "a reply that names nobody tells nothing either";
  EXPECT_TRUE(unit.TakeUnitModel(ModelReply(CTestDevice::kTypeCode, EReplyEcho::kRepeated)));

  QueueWriteAndRead();
  EXPECT_EQ(unit.SetAside(77, "Other Model"), "ID 3: the file has a Test Model, the unit is a Other Model");
  EXPECT_TRUE(unit.IsSetAside());
  EXPECT_EQ(unit.GetOtherModelAtId(), 77u);
  EXPECT_EQ(unit.SetAside(77, "Other Model"), "") << "set aside for that unit already";
  EXPECT_EQ(device->Queue().GetQueueSize(), 1u);
  EXPECT_EQ(device->Queue().GetQueuedWriteCount(), 1u) << "a person's change waits for the device's own unit";

  EXPECT_FALSE(unit.TakeUnitModel(ModelReply(CTestDevice::kTypeCode, EReplyEcho::kRepeated)));
  EXPECT_FALSE(unit.IsSetAside());
  EXPECT_EQ(unit.GetOtherModelNote(), "");
  EXPECT_TRUE(device->NeedsInitialisation()) << "taken up as at going online";
  EXPECT_EQ(device->Queue().GetQueuedWriteCount(), 1u) << "the waiting change goes first";
}

TEST_F(UnitAtIdTest, AShorterReplyOfAnotherModelSetsTheDeviceAsideAndOneOfItsOwnDoesNot) {
  CUnitAtId& unit = device->UnitAtId();
  EXPECT_FALSE(unit.TakeModelOfShorterReply(ModelReply(CTestDevice::kTypeCode, EReplyEcho::kRepeated)));
  EXPECT_TRUE(unit.TakeModelOfShorterReply(ModelReply(77, EReplyEcho::kRepeated)));
  EXPECT_TRUE(unit.IsSetAside());
}

TEST_F(UnitAtIdTest, TheLineNotesPutTheAddressClashFirst) {
  CUnitAtId& unit = device->UnitAtId();
  EXPECT_EQ(unit.GetLineNotes(), "");
  unit.SetLateAnswerNote("Answers late");
  EXPECT_EQ(unit.GetLineNotes(), "Answers late");
  unit.SetAddressClash("Clashes");
  EXPECT_TRUE(unit.HasAddressClash());
  EXPECT_EQ(unit.GetLineNotes(), "Clashes\nAnswers late");
  unit.SetAddressClash({});
  EXPECT_FALSE(unit.HasAddressClash());
  EXPECT_EQ(unit.GetAddressClashNote(), "");
}
