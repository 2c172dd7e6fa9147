// The device base: identity and naming, the base records of the system file and of data
// streams, and the context-menu clean-up.
#include <gtest/gtest.h>

#include <sstream>

#include "core/file/DataStream.h"
#include "core/model/DeviceMenu.h"
#include "core/system/System.h"
#include "platform/Archive.h"
#include "tests/support/TestDevices.h"
#include "tests/support/ModelChanges.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void Append(Bytes& b, std::initializer_list<std::uint32_t> words) {
  for (std::uint32_t w : words) {
    b.push_back(std::uint8_t(w));
    b.push_back(std::uint8_t(w >> 8));
    b.push_back(std::uint8_t(w >> 16));
    b.push_back(std::uint8_t(w >> 24));
  }
}

void AppendUuid(Bytes& b, std::uint8_t first) {
  for (int i = 0; i < 16; ++i) b.push_back(std::uint8_t(first + i));
}

CUuid UuidFrom(std::uint8_t first) {
  CUuid u;
  for (int i = 0; i < 16; ++i) u.bytes[std::size_t(i)] = std::uint8_t(first + i);
  return u;
}

Bytes Store(CDevice& d) {
  CArchive ar;
  d.Serialize(ar);
  return ar.TakeData();
}

void Load(CDevice& d, const Bytes& bytes) {
  CArchive ar(bytes);
  d.Serialize(ar);
}

// A version-2 record: UUID 10..1F, placement flags 2, show 1, minimised (10, 20), maximised
// (-1, -1), normal (30, 40, 500, 600), panel open, order 2, ignored.
Bytes Version2Record() {
  Bytes b;
  Append(b, {2});
  AppendUuid(b, 0x10);
  Append(b, {44, 2, 1, 10, 20, 0xFFFFFFFF, 0xFFFFFFFF, 30, 40, 500, 600});
  Append(b, {1, 2, 1});
  return b;
}

class DeviceRecordsTest : public ::testing::Test {
 protected:
  CSystem system;
  CTestDevice device{&system, 5};
};

}  // namespace

TEST_F(DeviceRecordsTest, NewDevice_HasFreshUuidDefaultsAndNeedsInitialisation) {
  CTestDevice other(&system, 6);
  EXPECT_NE(device.GetUuid(), other.GetUuid());
  EXPECT_EQ(device.GetUuid().bytes[6] >> 4, 4);  // version 4
  EXPECT_TRUE(device.NeedsInitialisation());
  EXPECT_FALSE(device.IsConnected());
  EXPECT_EQ(device.GetControlPanel(), nullptr);
  CWindowPlacement wp = device.PanelPlacement().GetPanelPlacement();
  EXPECT_EQ(wp.showCmd, 3u);
  EXPECT_EQ(wp.normalPosition, (CRect{-1, -1, 500, 500}));
}

TEST_F(DeviceRecordsTest, DisplayName_EmptyNameShowsModelNameAndId) {
  EXPECT_EQ(device.GetDisplayName(), "Test Model - ID: 5");
  NameDevice(device, "Stage Left");
  EXPECT_EQ(device.GetDisplayName(), "Stage Left - ID: 5");
}

TEST_F(DeviceRecordsTest, FindParameter_WalksListAndAnswersNullEntryWhenMissing) {
  CParamInfo mute = device.GetParameterAt(1);
  EXPECT_EQ(device.FindParameter(mute), mute);
  CParamInfo unknown = mute;
  unknown.id = 99;
  EXPECT_EQ(device.FindParameter(unknown).name, "NULL");
  EXPECT_EQ(device.GetParameterAt(3).name, "NULL");
}

TEST_F(DeviceRecordsTest, ArchiveStore_NewDevice_GoldenBytes) {
  Bytes expected;
  Append(expected, {2});
  for (auto b : device.GetUuid().bytes) expected.push_back(b);
  // length, flags, show, minimised x y, maximised x y, normal left top right bottom
  Append(expected, {44, 0, 3, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 500, 500});
  Append(expected, {0, 0, 0});  // panel open, order, ignored
  EXPECT_EQ(Store(device), expected);
}

TEST_F(DeviceRecordsTest, ArchiveVersion2_RestoresEveryFieldAndStoresSameBytes) {
  const Bytes record = Version2Record();
  Load(device, record);
  EXPECT_EQ(device.GetUuid(), UuidFrom(0x10));
  EXPECT_TRUE(device.IsIgnored());
  EXPECT_EQ(device.PanelPlacement().GetPanelOrder(), 2);
  CWindowPlacement wp = device.PanelPlacement().GetPanelPlacement();
  EXPECT_EQ(wp.flags, 2u);
  EXPECT_EQ(wp.showCmd, 1u);
  EXPECT_EQ(wp.minPosition, (CPoint{10, 20}));
  EXPECT_EQ(wp.maxPosition, (CPoint{-1, -1}));
  EXPECT_EQ(wp.normalPosition, (CRect{30, 40, 500, 600}));
  EXPECT_EQ(Store(device), record);
}

TEST_F(DeviceRecordsTest, ArchiveLoad_PanelOpenIsAFlagNeverAPanelPointer) {
  Load(device, Version2Record());
  EXPECT_TRUE(device.PanelPlacement().WasPanelOpenWhenStored());
  EXPECT_EQ(device.GetControlPanel(), nullptr);
  // A change before the frame reopens the panel must not reach a bogus panel.
  ModelChange(device, MakeIntParamValue(kTestGain, 3));
  // The frame reopens the panel and the user closes it: the loaded mark is gone.
  CTestControlPanel panel;
  device.SetControlPanel(&panel);
  EXPECT_FALSE(device.PanelPlacement().WasPanelOpenWhenStored());
  EXPECT_EQ(Store(device)[4 + 16 + 44], 1u);
  device.SetControlPanel(nullptr);
  EXPECT_EQ(Store(device)[4 + 16 + 44], 0u);
}

TEST_F(DeviceRecordsTest, ArchiveVersion1_KeepsFreshUuidAndClearIgnoredFlag) {
  const CUuid fresh = device.GetUuid();
  Bytes b;
  Append(b, {1, 44, 0, 1, 0, 0, 0, 0, 5, 6, 7, 8, 0, 4});
  Load(device, b);
  EXPECT_EQ(device.GetUuid(), fresh);
  EXPECT_FALSE(device.IsIgnored());
  EXPECT_FALSE(device.PanelPlacement().WasPanelOpenWhenStored());
  EXPECT_EQ(device.PanelPlacement().GetPanelOrder(), 4);
  EXPECT_EQ(device.PanelPlacement().GetPanelPlacement().normalPosition, (CRect{5, 6, 7, 8}));
}

TEST_F(DeviceRecordsTest, ArchiveLoad_ReversedNormalRectangleIsPutInOrder) {
  Bytes b;
  Append(b, {1, 44, 0, 1, 0, 0, 0, 0, 400, 300, 100, 50, 0, 0});
  Load(device, b);
  EXPECT_EQ(device.PanelPlacement().GetPanelPlacement().normalPosition, (CRect{100, 50, 400, 300}));
}

TEST_F(DeviceRecordsTest, ArchiveLoad_UnknownVersionIsRefusedWithItsReason) {
  // The record has no length to step over it by: a later version stops the load as one
  // written by a later program, version 0 as damage; nothing of the device changes.
  const CUuid before = device.GetUuid();
  for (std::uint32_t version : {3u, 0u}) {
    Bytes b;
    Append(b, {version, 99, 99});
    CArchive ar(b);
    try {
      device.Serialize(ar);
      ADD_FAILURE() << "version " << version << " was read";
    } catch (const CArchiveException& e) {
      EXPECT_EQ(e.GetCause(), version == 3 ? CArchiveException::NewerVersion : CArchiveException::BadFormat);
    }
    EXPECT_EQ(device.GetUuid(), before);
  }
}

TEST_F(DeviceRecordsTest, ArchiveLoad_TruncatedRecordThrows) {
  Bytes b = Version2Record();
  b.resize(30);
  EXPECT_THROW(Load(device, b), CArchiveException);
}

namespace {

Bytes StreamStore(CDevice& d) {
  std::ostringstream out;
  CDataStream ds(out);
  d.SerializeStream(ds);
  const std::string s = out.str();
  return Bytes(s.begin(), s.end());
}

void StreamLoad(CDevice& d, const Bytes& b) {
  std::istringstream in(std::string(b.begin(), b.end()));
  CDataStream ds(in);
  d.SerializeStream(ds);
}

// A stream record: UUID 20..2F, flags 2, show 1, maximised (7, 8) first, then minimised
// (10, 20), normal rectangle as left, right, top, bottom (30, 500, 40, 600), panel open,
// order 3, ignored.
Bytes StreamRecord() {
  Bytes b;
  Append(b, {2, 1});
  AppendUuid(b, 0x20);
  Append(b, {1, 2, 1, 1, 7, 8, 1, 10, 20, 1, 30, 500, 40, 600});
  Append(b, {1, 3});
  b.push_back(1);
  return b;
}

}  // namespace

TEST_F(DeviceRecordsTest, StreamRecord_GoldenBytesRoundTrip) {
  const Bytes record = StreamRecord();
  StreamLoad(device, record);
  EXPECT_EQ(device.GetUuid(), UuidFrom(0x20));
  EXPECT_TRUE(device.IsIgnored());
  EXPECT_TRUE(device.PanelPlacement().WasPanelOpenWhenStored());
  EXPECT_EQ(device.PanelPlacement().GetPanelOrder(), 3);
  CWindowPlacement wp = device.PanelPlacement().GetPanelPlacement();
  EXPECT_EQ(wp.maxPosition, (CPoint{7, 8}));
  EXPECT_EQ(wp.minPosition, (CPoint{10, 20}));
  EXPECT_EQ(wp.normalPosition, (CRect{30, 40, 500, 600}));
  EXPECT_EQ(StreamStore(device), record);
}

TEST_F(DeviceRecordsTest, StreamLoad_OtherVersionChangesNothing) {
  const CUuid before = device.GetUuid();
  Bytes b = StreamRecord();
  b[0] = 1;
  StreamLoad(device, b);
  EXPECT_EQ(device.GetUuid(), before);
  EXPECT_FALSE(device.IsIgnored());
}

TEST_F(DeviceRecordsTest, StreamLoad_TruncatedStopsSilentlyKeepingWhatWasRead) {
  Bytes b = StreamRecord();
  b.resize(b.size() - 3);  // ends inside the panel order
  StreamLoad(device, b);
  EXPECT_EQ(device.GetUuid(), UuidFrom(0x20));
  EXPECT_TRUE(device.PanelPlacement().WasPanelOpenWhenStored());
  EXPECT_EQ(device.PanelPlacement().GetPanelOrder(), 0);
  EXPECT_FALSE(device.IsIgnored());
}

TEST(DeviceMenuTest, RemoveDeviceMenuItems_DropsDeviceItemsAndPopupsKeepsTheRest) {
  CMenu menu;
  menu.AppendItem(57634, "Copy");
  menu.AppendItem(33868, "Copy Channel A");
  menu.AppendItem(33869, "");
  menu.AppendItem(57637, "Paste");
  menu.AppendSeparator();
  menu.InsertPopup(99, std::make_shared<CMenu>(), "Clone Device From...");
  menu.AppendItem(33968, "last device id");
  menu.AppendItem(33969, "not a device id");
  RemoveDeviceMenuItems(menu);
  ASSERT_EQ(menu.GetItemCount(), 4);
  EXPECT_EQ(menu.GetItemId(0), 57634u);
  EXPECT_EQ(menu.GetItemId(1), 57637u);
  EXPECT_TRUE(menu.GetItem(2)->separator);
  EXPECT_EQ(menu.GetItemId(3), 33969u);
}
