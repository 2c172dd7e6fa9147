// The least of the amplifier families: model names, clipboard formats, the frames of the
// security requests and of solo, and the poll contract with the comms worker.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/model/DeviceTexts.h"
#include "core/comms/CommsWorker.h"
#include "core/model/Snapshot.h"
#include "core/protocol/ControlMessage.h"
#include "core/comms/SerialComms.h"
#include "core/protocol/SevenBit.h"
#include "core/system/System.h"
#include "devices/amplifier/PannexDevice.h"
#include "devices/amplifier/SornicAmpDevice.h"
#include "devices/amplifier/ZelBreakDevice.h"
#include "devices/amplifier/ZelSeriesDevice.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "platform/Clipboard.h"
#include "platform/SerialPortMemory.h"
#include "tests/support/ModelChanges.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes FrameOf(const CControlMessage& m) { return Bytes(m.frame, m.frame + m.frameLength); }

// Connects a device so that queued messages are kept.
void Connect(CDevice& d) {
  d.SetNeedsInitialisation(false);
  for (int i = 0; i < 3; ++i) d.UpdateCommsState(true);
}

class AmplifierFamiliesTest : public ::testing::Test {
 protected:
  CSystem system;
};

TEST_F(AmplifierFamiliesTest, ZelModelNames_ByTypeCode) {
  EXPECT_EQ(CZelBaseDevice::GetModelNameForType(34), "FennickXB8");
  EXPECT_EQ(CZelBaseDevice::GetModelNameForType(39), "FennickXB16");
  EXPECT_EQ(CZelBaseDevice::GetModelNameForType(44), "XB-08");
  EXPECT_EQ(CZelBaseDevice::GetModelNameForType(45), "XB-16");
  EXPECT_EQ(CZelBaseDevice::GetModelNameForType(46), "QuillXB8");
  EXPECT_EQ(CZelBaseDevice::GetModelNameForType(47), "QuillXB16");
  EXPECT_EQ(CZelBaseDevice::GetModelNameForType(51), "Zel-2");
  EXPECT_EQ(CZelBaseDevice::GetModelNameForType(55), "Zel-6");
  EXPECT_EQ(CZelBaseDevice::GetModelNameForType(56), "Zel-1");
  EXPECT_EQ(CZelBaseDevice::GetModelNameForType(57), "");
}

TEST_F(AmplifierFamiliesTest, ZelFamilyHelpers_ChannelCountsAndGpioTexts) {
  EXPECT_EQ(GetZelBreakChannelCount(34), 8);
  EXPECT_EQ(GetZelBreakChannelCount(46), 8);
  EXPECT_EQ(GetZelBreakChannelCount(35), 16);
  EXPECT_EQ(GetZelBreakChannelCount(47), 16);
  EXPECT_EQ(GetZelBreakChannelCount(33), 0);
  EXPECT_EQ(GetZelBreakChannelCount(51), 0);
  EXPECT_EQ(GetZelSeriesChannelCount(55), 4);
  EXPECT_EQ(GetZelSeriesChannelCount(56), 2);
  EXPECT_EQ(ZelBreakGpioInputModeText(3), "Mute and Standby Control");
  EXPECT_EQ(ZelBreakGpioInputModeText(4), "");
  EXPECT_EQ(ZelBreakGpioOutputModeText(7), "All");
  EXPECT_EQ(ZelBreakGpioOutputModeText(8), "");
  EXPECT_EQ(ZelSeriesGpioInputText(5), "VCA Mode");
  EXPECT_EQ(ZelSeriesGpioOutputText(5), "A/P or Load Monitor Alarm");
  EXPECT_EQ(ZelSeriesGpioOutputText(6), "");
  std::uint32_t in = 0, out = 0, aux = 0;
  UnpackZelSeriesGpioConfig(PackZelSeriesGpioConfig(5, 4, 1), in, out, aux);
  EXPECT_EQ(in, 5u);
  EXPECT_EQ(out, 4u);
  EXPECT_EQ(aux, 1u);
}

TEST_F(AmplifierFamiliesTest, ClipboardFormats_RegisteredByTheFamilysName) {
  CZelBreakDevice box(&system, nullptr, 40, 1);
  CZelSeriesDevice amp(&system, nullptr, 51, 1);
  CSornicAmpDevice sornic(&system, nullptr, 60, 1, 0);
  CPannexDevice pannex(&system, nullptr, 49, 1);
  CNerexSeriesDevice processor(&system, 16, 1, nullptr, 0);
  EXPECT_EQ(GetClipboardFormatName(box.GetClipboardFormat()), "ZelBreakSettings");
  EXPECT_EQ(GetClipboardFormatName(amp.GetClipboardFormat()), "ZelSeriesSettings");
  EXPECT_EQ(GetClipboardFormatName(sornic.GetClipboardFormat()), "SornicAmpSettings");
  EXPECT_EQ(GetClipboardFormatName(pannex.GetClipboardFormat()), "PannexSettings");
  EXPECT_EQ(GetClipboardFormatName(processor.GetClipboardFormat()), "NerexSeriesSettings");
}

TEST_F(AmplifierFamiliesTest, ZelSecurityCheck_GoldenFrame) {
  CZelSeriesDevice amp(&system, nullptr, 0x33, 0x01020304);
  CControlMessage m;
  ASSERT_TRUE(amp.BuildSecurityCheckMessage(m));
  // F0, length 10, type, ID groups, 0, command 60; checksum = F0+0A+33+01+02+03+04+3C (byte 1
  // left out) = 0x173 & 0x7F = 0x73.
  EXPECT_EQ(FrameOf(m), (Bytes{0xF0, 0x00, 0x0A, 0x33, 0x01, 0x02, 0x03, 0x04, 0x00, 0x3C, 0x73}));
  EXPECT_EQ(m.expectedLength, 51u);
  EXPECT_FALSE(m.write);
  EXPECT_EQ(m.device, &amp);
}

TEST_F(AmplifierFamiliesTest, SornicSecurity_CheckReadAndWriteFrames_UserTableRoundTrip) {
  CSornicAmpDevice sornic(&system, nullptr, 60, 0x00000102, 3);
  CControlMessage m;
  ASSERT_TRUE(sornic.BuildSecurityCheckMessage(m));
  EXPECT_EQ(m.command, 62u);
  EXPECT_EQ(m.expectedLength, 115u);
  EXPECT_EQ(FrameOf(m).size(), 11u);
  EXPECT_EQ(m.frame[9], 62);

  ASSERT_TRUE(sornic.BuildReadSecurityMessage(m));
  EXPECT_EQ(m.command, 74u);
  EXPECT_EQ(m.frameLength, 11u);
  EXPECT_EQ(m.expectedLength, 291u);

  EXPECT_TRUE(sornic.BuildWriteSecurityMessage(nullptr, nullptr));
  CUserList users;
  users.push_back(new CUser("Admin", "Marigold"));
  users.push_back(new CUser("Stage", "pw"));
  ASSERT_TRUE(sornic.BuildWriteSecurityMessage(&m, &users));
  EXPECT_EQ(m.command, 75u);
  EXPECT_TRUE(m.write);
  EXPECT_EQ(m.frameLength, 291u);
  EXPECT_EQ(m.frame[0], 0xF1);
  EXPECT_EQ(Get14Bit(m.frame + 1), 290u);
  for (std::uint32_t i = 1; i < m.frameLength; ++i) ASSERT_LT(m.frame[i], 0x80) << i;

  // The unit hands the same block back in its read reply (payload from byte 10).
  CUserList decoded;
  sornic.DecodeSecurityBlock(m.frame, decoded);
  ASSERT_EQ(decoded.size(), 2u);
  EXPECT_EQ(decoded[1]->GetName(), "Stage");
  EXPECT_EQ(decoded[1]->GetPassword(), "pw");
  DeleteAllUsers(users);
  DeleteAllUsers(decoded);
}

TEST_F(AmplifierFamiliesTest, PannexHasNoSecurityBlock) {
  CPannexDevice pannex(&system, nullptr, 49, 1);
  CControlMessage m;
  EXPECT_FALSE(pannex.BuildSecurityCheckMessage(m));
  EXPECT_FALSE(pannex.BuildReadSecurityMessage(m));
  EXPECT_FALSE(pannex.BuildWriteSecurityMessage(nullptr, nullptr));
}

TEST_F(AmplifierFamiliesTest, Solo_QueuesAMuteWriteOrAnUnmute_InTheFamilysLayout) {
  auto line = std::make_shared<CSerialLine>();
  system.GetComms().GetTransport().SetPort(std::make_unique<CMemorySerialPort>(line));
  ASSERT_TRUE(system.GetComms().SetOnline(true));  // writes that are not forced need an open port
  CPannexDevice pannex(&system, nullptr, 0x31, 5);
  CSornicAmpDevice sornic(&system, nullptr, 60, 0x0102, 0);
  CZelSeriesDevice amp(&system, nullptr, 0x35, 0x7F);
  Connect(pannex);
  Connect(sornic);
  Connect(amp);
  pannex.SystemEntries().ApplySystemSolo(true, CDeviceTestAccess::SystemPass());
  sornic.SystemEntries().ApplySystemSolo(false, CDeviceTestAccess::SystemPass());
  amp.SystemEntries().ApplySystemSolo(true, CDeviceTestAccess::SystemPass());

  CControlMessage m;
  ASSERT_TRUE(pannex.Queue().PeekQueuedMessage(0, m));
  // F1+08+31+05+0D+20+02 = 0x15E & 0x7F = 0x5E.
  EXPECT_EQ(FrameOf(m), (Bytes{0xF1, 0x00, 0x08, 0x31, 0x05, 0x0D, 0x20, 0x02, 0x5E}));
  EXPECT_TRUE(m.write);
  EXPECT_EQ(m.expectedLength, 0u);
  ASSERT_TRUE(sornic.Queue().PeekQueuedMessage(0, m));
  // F1+0B+3C+01+02+20+00 (byte 1 left out) = 0x15B & 0x7F = 0x5B.
  EXPECT_EQ(FrameOf(m), (Bytes{0xF1, 0x00, 0x0B, 0x3C, 0x00, 0x00, 0x01, 0x02, 0x00, 0x20, 0x00, 0x5B}));
  // The Zel amplifier mutes all four channel bits with its own mute write (command 0x09).
  ASSERT_TRUE(amp.Queue().PeekQueuedMessage(0, m));
  EXPECT_EQ(m.command, 0x09u);
  EXPECT_EQ(m.frame[10], 0x0F);
  EXPECT_EQ(m.frame[7], 0x7F);
  system.GetComms().SetOnline(false);
}

TEST_F(AmplifierFamiliesTest, PollContract_NothingWhileIgnoredOrGated_QueueFirst) {
  system.Start(nullptr);
  CZelSeriesDevice amp(&system, nullptr, 52, 0x0A0B);
  amp.Initialise();
  CControlMessage record;
  // While the security step is pending: the read of the amplifier's name every 12th turn only.
  int sent = 0;
  for (int turn = 0; turn < 24; ++turn)
    if (amp.GetNextPollMessage(record)) ++sent;
  EXPECT_EQ(sent, 2);
  EXPECT_EQ(record.command, 0x3Cu);
  EXPECT_EQ(record.frameLength, 11u);
  EXPECT_EQ(record.expectedLength, 51u);
  EXPECT_EQ(record.replyStart, 0xA8);

  amp.SetNeedsInitialisation(false);
  auto queued = std::make_unique<CControlMessage>();
  queued->command = 0x77;
  CDeviceTestAccess::QueueMessage(amp, true, std::move(queued));
  amp.GetPollGate()->Set();
  EXPECT_FALSE(amp.GetNextPollMessage(record));
  amp.GetPollGate()->Reset();
  amp.SetIgnored(true);
  EXPECT_FALSE(amp.GetNextPollMessage(record));
  amp.SetIgnored(false);
  EXPECT_TRUE(amp.GetNextPollMessage(record));
  EXPECT_EQ(record.command, 0x77u);
  EXPECT_EQ(amp.Queue().GetQueueSize(), 0u);

  amp.ProcessReply(record);
  EXPECT_EQ(amp.GetCommsLevel(), 1);
  system.GetComms().StopCommsThread();
}

// Offline a snapshot recall changes the file only, and going online starts from an empty queue
// whatever was queued before: the unit gets the file's settings ("Send") or is read, never
// stale frames.
TEST_F(AmplifierFamiliesTest, ZelUnits_RecallOfflineQueuesNothingAndGoingOnlineEmptiesTheQueue) {
  for (std::uint32_t type : {55u, 41u}) {
    SCOPED_TRACE(type);
    std::unique_ptr<CZelBaseDevice> device;
    if (type == 55) device = std::make_unique<CZelSeriesDevice>(&system, nullptr, type, 3);
    else device = std::make_unique<CZelBreakDevice>(&system, nullptr, type, 3);
    device->Initialise();
    std::unique_ptr<CSnapshotData> image(device->CreateSnapshotData());
    RecallImage(device, *image);
    EXPECT_EQ(device->Queue().GetQueueSize(), 0u);
    CDeviceTestAccess::QueueMessage(*device, true, std::make_unique<CControlMessage>());
    device->Reinitialise(0);
    EXPECT_EQ(device->Queue().GetQueueSize(), 0u);
  }
}

TEST_F(AmplifierFamiliesTest, ProcessorPoll_IdentifiesEvery12thTurnWhileUninitialised_ThenSendsItsQueue) {
  CNerexSeriesDevice processor(&system, 121, 5, nullptr, 0);
  processor.Initialise();
  CControlMessage record;
  for (int turn = 0; turn < 11; ++turn) EXPECT_FALSE(processor.GetNextPollMessage(record)) << turn;
  ASSERT_TRUE(processor.GetNextPollMessage(record));
  EXPECT_EQ(FrameOf(record), (Bytes{0xB0, 0x05}));
  EXPECT_EQ(record.command, 176u);
  EXPECT_EQ(record.expectedLength, 21u);
  EXPECT_EQ(record.replyStart, 0xB8);
  EXPECT_EQ(processor.GetModelName(), "Torvex48");

  processor.SetNeedsInitialisation(false);
  CDeviceTestAccess::QueueMessage(processor, true, std::make_unique<CControlMessage>());
  processor.PasteGate().GetPasteEvent()->Set();
  EXPECT_FALSE(processor.GetNextPollMessage(record));
  processor.PasteGate().GetPasteEvent()->Reset();
  EXPECT_TRUE(processor.GetNextPollMessage(record));
  processor.Reinitialise(0);
  EXPECT_TRUE(processor.NeedsInitialisation());
}

// The tooltip's text of the families that are not polled: model, ID and name, then what holds
// the unit back (never connected online, or ignored); a list names a unit without a name by
// model and ID.
TEST_F(AmplifierFamiliesTest, UnpolledUnits_StatusTextNamesModelIdAndNameAndWhyTheyWait) {
  CSornicAmpDevice sornic(&system, nullptr, 60, 5, 0);
  CPannexDevice pannex(&system, nullptr, 50, 0x01020304);
  NameDevice(pannex, "Cab 2");
  EXPECT_EQ(sornic.GetStatusText(), "Model : Sornic\nID : 5\nName : (none)");
  EXPECT_EQ(pannex.GetStatusText(), "Model : Pannex\nID : 16909060\nName : Cab 2");
  EXPECT_EQ(DeviceListText(sornic), "(Sornic, ID 5)");
  EXPECT_EQ(DeviceListText(pannex), "Cab 2 (Pannex, ID 16909060)");

  system.GetComms().GetTransport().SetPort(std::make_unique<CMemorySerialPort>(std::make_shared<CSerialLine>()));
  ASSERT_TRUE(system.GetComms().SetOnline(true));
  EXPECT_EQ(sornic.GetStatusText(), "Model : Sornic\nID : 5\nName : (none)\nNot Connected");
  pannex.SetIgnored(true);
  EXPECT_EQ(pannex.GetStatusText(), "Model : Pannex\nID : 16909060\nName : Cab 2\nDevice Ignored");
  system.GetComms().SetOnline(false);
}

}  // namespace
