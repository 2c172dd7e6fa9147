// The system's links, snapshots, access records and zone records.
#include <gtest/gtest.h>

#include "custom/CPData.h"
#include "core/model/Device.h"
#include "core/model/Link.h"
#include "core/model/Snapshot.h"
#include "core/system/System.h"
#include "core/model/User.h"
#include "core/system/Zone.h"
#include "platform/Archive.h"
#include "tests/support/FileTestDevices.h"
#include "tests/support/TestDevices.h"
#include "tests/support/ModelChanges.h"

using Bytes = std::vector<std::uint8_t>;

namespace {

class SystemModelTest : public ::testing::Test {
 protected:
  CFileTestDevice* Add(std::uint32_t type = CFileTestDevice::kImagingType) {
    auto* d = new CFileTestDevice(&s, type, std::uint32_t(s.GetDeviceCount() + 1), nullptr, 0);
    s.AppendDevice(d);
    s.GetZones()[0]->AppendDevice(d);
    return d;
  }
  CLink* Link(std::initializer_list<std::pair<CDevice*, int>> members) {
    CLink* link = s.Links().AddLink();
    for (auto [d, id] : members) link->AddRef(new CLinkRef(d->GetUuid(), std::uint32_t(id)));
    return link;
  }
  // An open custom panel view that records what it is told.
  CTestCustomPanelView* OpenPanel() {
    auto* panel = new CCPData;
    auto* view = new CTestCustomPanelView;
    m_views.emplace_back(view);
    panel->m_pView = view;
    s.Panels().AppendCustomPanel(panel);
    return view;
  }

  CSystem s;
  std::vector<std::unique_ptr<CTestCustomPanelView>> m_views;
};

}  // namespace

// --- Links ---

TEST_F(SystemModelTest, AddLink_TakesTheSmallestFreeNumber) {
  s.Links().AddLink();
  s.Links().AddLink()->m_name = "Link 3";
  s.Links().GetLinks()[0]->m_name = "Link 1";
  EXPECT_EQ(s.Links().AddLink()->GetName(), "Link 2");
  EXPECT_EQ(s.Links().AddLink()->GetName(), "Link 4");
  s.Links().GetLinks()[0]->m_name = "link 1";  // the comparison is exact
  EXPECT_EQ(s.Links().AddLink()->GetName(), "Link 1");
  EXPECT_FALSE(s.IsModified());
}

TEST_F(SystemModelTest, ApplyLinks_CopiesTheMasterValueUnderEachMembersId) {
  CFileTestDevice* a = Add();
  CFileTestDevice* b = Add();
  CFileTestDevice* c = Add();
  a->level = 10;
  c->trim = 30;
  CLink* link = Link({{a, CFileTestDevice::kLevel}, {b, CFileTestDevice::kTrim}, {c, CFileTestDevice::kTrim}});
  link->m_master = 2;
  s.Links().ApplyLinks();
  EXPECT_EQ(a->level, 30);
  EXPECT_EQ(b->trim, 30);
  EXPECT_EQ(b->level, 0);
  ASSERT_FALSE(b->applied.empty());
  for (const CParamValue& v : b->applied) EXPECT_EQ(v.id, CFileTestDevice::kTrim);
  EXPECT_EQ(c->trim, 30);
  EXPECT_FALSE(s.IsLinksBusy());
  EXPECT_TRUE(s.Links().IsParameterLinked(b->GetUuid(), CFileTestDevice::kTrim));
  EXPECT_FALSE(s.Links().IsParameterLinked(b->GetUuid(), CFileTestDevice::kLevel));
}

TEST_F(SystemModelTest, ApplyLinks_MasterOutOfRangeUsesTheFirstAndSkipsDeletedDevices) {
  CFileTestDevice* a = Add();
  CFileTestDevice* b = Add();
  CFileTestDevice* gone = Add();
  a->level = 5;
  CLink* link = Link({{a, CFileTestDevice::kLevel}, {gone, CFileTestDevice::kLevel}, {b, CFileTestDevice::kLevel}});
  link->m_master = 5;
  CLink* single = Link({{b, CFileTestDevice::kTrim}});
  ASSERT_TRUE(s.DeleteDevice(2));
  EXPECT_EQ(link->GetMembers().size(), 2u);  // the deleted device's member went with it
  link->AddRef(new CLinkRef(MakeUuid(), CFileTestDevice::kLevel));  // a device that is gone
  s.Links().ApplyLinks();
  EXPECT_EQ(b->level, 5);
  EXPECT_EQ(a->level, 5);
  for (const CParamValue& v : b->applied) EXPECT_EQ(v.id, CFileTestDevice::kLevel);  // nothing from the single-member link
  EXPECT_EQ(single->GetMembers().size(), 1u);
}

// A member's own change does not spread again: with the links applied every member takes the
// master's value once, not once from the master and again from every other member.
TEST_F(SystemModelTest, ApplyLinks_GivesEachMemberItsMastersValueOnce) {
  std::vector<CFileTestDevice*> devices;
  CLink* link = s.Links().AddLink();
  for (int i = 0; i < 10; ++i) {
    devices.push_back(Add());
    link->AddMember(devices.back()->GetUuid(), CFileTestDevice::kLevel);
  }
  devices[0]->level = 7;
  s.Links().ApplyLinks();
  EXPECT_TRUE(devices[0]->applied.empty());
  for (std::size_t i = 1; i < devices.size(); ++i) {
    EXPECT_EQ(devices[i]->level, 7) << i;
    EXPECT_EQ(devices[i]->applied.size(), 1u) << i;
  }
  EXPECT_FALSE(s.IsLinksBusy());
}

// The look-ups behind every spread answer as the lists stand after each change: members added,
// a first one of two for the same parameter removed, a device's members removed, a link read
// from its record; devices deleted and added.
TEST_F(SystemModelTest, LinkMembersAndDevicesAreFoundAfterEveryChange) {
  CFileTestDevice* a = Add();
  CFileTestDevice* b = Add();
  CLink* link = Link({{a, CFileTestDevice::kLevel}, {b, CFileTestDevice::kLevel}, {a, CFileTestDevice::kLevel}});
  EXPECT_EQ(link->FindRef(a->GetUuid(), CFileTestDevice::kLevel), link->GetMembers()[0]);
  EXPECT_EQ(link->FindRef(a->GetUuid(), CFileTestDevice::kTrim), nullptr);
  ASSERT_TRUE(link->RemoveMemberAt(0));
  EXPECT_EQ(link->FindRef(a->GetUuid(), CFileTestDevice::kLevel), link->GetMembers()[1]);
  EXPECT_EQ(link->RemoveDeviceRefs(a->GetUuid()), 1);
  EXPECT_EQ(link->FindRef(a->GetUuid(), CFileTestDevice::kLevel), nullptr);
  CLinkRef* trim = link->AddMember(a->GetUuid(), CFileTestDevice::kTrim);
  EXPECT_EQ(link->FindRef(a->GetUuid(), CFileTestDevice::kTrim), trim);

  CArchive out;
  link->Serialize(out);
  CArchive in(out.TakeData());
  CLink read("Dummy");
  read.Serialize(in);
  ASSERT_EQ(read.GetMembers().size(), 2u);
  EXPECT_EQ(read.FindRef(b->GetUuid(), CFileTestDevice::kLevel), read.GetMembers()[0]);
  EXPECT_EQ(read.FindRef(a->GetUuid(), CFileTestDevice::kTrim), read.GetMembers()[1]);

  const CUuid first = a->GetUuid();
  ASSERT_TRUE(s.DeleteDevice(0));
  EXPECT_EQ(s.FindDeviceByUuid(first), nullptr);
  EXPECT_EQ(s.FindDeviceByUuid(b->GetUuid()), b);
  CFileTestDevice* c = Add();
  EXPECT_EQ(s.FindDeviceByUuid(c->GetUuid()), c);
  EXPECT_EQ(s.FindDeviceByUuid(b->GetUuid()), b);
}

TEST_F(SystemModelTest, ApplyLinks_DoesNothingWhileLinkingIsOff) {
  CFileTestDevice* a = Add();
  CFileTestDevice* b = Add();
  a->level = 9;
  Link({{a, CFileTestDevice::kLevel}, {b, CFileTestDevice::kLevel}});
  s.Links().SetLinksActive(false);
  s.Links().ApplyLinks();
  EXPECT_EQ(b->level, 0);
  // A user change stays on its device too.
  ModelChange(a, MakeIntParamValue(CFileTestDevice::kLevel, 4));
  EXPECT_EQ(b->level, 0);
}

// --- Snapshots ---

TEST_F(SystemModelTest, AddSnapshot_HoldsTheImagesOfDevicesThatMakeOne) {
  CFileTestDevice* a = Add();
  Add(CFileTestDevice::kPlainType);
  CFileTestDevice* c = Add();
  a->level = 1;
  c->level = 3;
  CSnapshot* snap = s.Snapshots().AddSnapshot("Show");
  ASSERT_EQ(s.GetSnapshots().size(), 1u);
  EXPECT_EQ(snap->GetName(), "Show");
  ASSERT_EQ(snap->m_data.size(), 2u);
  EXPECT_EQ(snap->m_data[0]->GetUuid(), a->GetUuid());
  EXPECT_EQ(snap->m_data[1]->m_data, (Bytes{3, 0}));
}

TEST_F(SystemModelTest, CaptureSnapshot_ReplacesImagesAndKeepsNameAndUuid) {
  CFileTestDevice* a = Add();
  a->level = 1;
  CSnapshot* snap = s.Snapshots().AddSnapshot("Show");
  const CUuid uuid = snap->GetUuid();
  a->level = 2;
  Add()->level = 8;
  EXPECT_EQ(s.Snapshots().CaptureSnapshot(0), snap);
  EXPECT_EQ(snap->GetName(), "Show");
  EXPECT_EQ(snap->GetUuid(), uuid);
  ASSERT_EQ(snap->m_data.size(), 2u);
  EXPECT_EQ(snap->m_data[0]->m_data, (Bytes{2, 0}));
  EXPECT_EQ(snap->m_data[1]->m_data, (Bytes{8, 0}));
  EXPECT_EQ(s.Snapshots().CaptureSnapshot(1), nullptr);
  EXPECT_EQ(s.Snapshots().CaptureSnapshot(-1), nullptr);
}

TEST_F(SystemModelTest, RecallSnapshot_SkipsDeletedDevicesAndLightsTheButtons) {
  CFileTestDevice* a = Add();
  Add();
  a->level = 4;
  s.Snapshots().AddSnapshot("One");
  CSnapshot* two = s.Snapshots().AddSnapshot("Two");
  a->level = 0;
  ASSERT_TRUE(s.DeleteDevice(1));
  CTestCustomPanelView* view = OpenPanel();
  s.Snapshots().RecallSnapshot(1);
  EXPECT_EQ(a->level, 4);
  EXPECT_EQ(a->snapshotsApplied, 1);
  EXPECT_EQ(s.GetCurrentSnapshot(), 1);
  EXPECT_EQ(view->recalled, std::vector<CUuid>{two->GetUuid()});  // nothing for "none before"
  s.Snapshots().RecallSnapshot(0);
  EXPECT_EQ(view->recalled, (std::vector<CUuid>{two->GetUuid(), two->GetUuid(), s.GetSnapshots()[0]->GetUuid()}));
  s.Snapshots().RecallSnapshot(2);  // out of range: nothing
  EXPECT_EQ(s.GetCurrentSnapshot(), 0);
}

TEST_F(SystemModelTest, DeleteSnapshot_KeepsTheCurrentSnapshotSelected) {
  for (const char* name : {"A", "B", "C", "D"}) s.Snapshots().AddSnapshot(name);
  s.Snapshots().SetCurrentSnapshot(2);
  s.Snapshots().DeleteSnapshot(0);  // below the current one
  EXPECT_EQ(s.GetCurrentSnapshot(), 1);
  EXPECT_EQ(s.GetSnapshots()[std::size_t(s.GetCurrentSnapshot())]->GetName(), "C");
  s.Snapshots().DeleteSnapshot(2);  // above it
  EXPECT_EQ(s.GetCurrentSnapshot(), 1);
  s.Snapshots().DeleteSnapshot(5);  // out of range
  EXPECT_EQ(s.GetSnapshots().size(), 2u);

  CTestCustomPanelView* view = OpenPanel();
  const CUuid current = s.GetSnapshots()[1]->GetUuid();
  s.Snapshots().DeleteSnapshot(1);  // the current one
  EXPECT_EQ(s.GetCurrentSnapshot(), -1);
  EXPECT_EQ(view->recalled, std::vector<CUuid>{current});
  ASSERT_EQ(s.GetSnapshots().size(), 1u);
  EXPECT_EQ(s.GetSnapshots()[0]->GetName(), "B");
}

TEST_F(SystemModelTest, DeleteSnapshot_ClearsWidgetReferences) {
  struct CRecallWidget : CCustomControlObject {
    std::vector<CUuid> cleared;
    bool ClearSnapshotReference(const CUuid& snapshot) override {
      cleared.push_back(snapshot);
      return true;
    }
    std::uint32_t GetControlType() const override { return kControlButton; }
  };
  auto* onPanel = new CRecallWidget;
  auto* panel = new CCPData;
  panel->m_widgets.push_back(onPanel);
  s.Panels().AppendCustomPanel(panel);
  auto* copied = new CRecallWidget;
  s.Panels().GetCopiedWidgets().push_back(copied);
  const CUuid uuid = s.Snapshots().AddSnapshot("A")->GetUuid();
  s.Snapshots().DeleteSnapshot(0);
  EXPECT_EQ(onPanel->cleared, std::vector<CUuid>{uuid});
  EXPECT_EQ(copied->cleared, std::vector<CUuid>{uuid});
}

// --- Access records ---

TEST_F(SystemModelTest, EnsureUserPermissions_GivesUsersFromTheSecondOnARecordPerDeviceAndPanel) {
  CFileTestDevice* a = Add();
  CFileTestDevice* b = Add();
  auto* panel = new CCPData;
  s.Panels().AppendCustomPanel(panel);
  s.Users().EnsureUserPermissions();
  EXPECT_TRUE(s.Users().GetUsers()[0]->m_devicePermissions.empty());  // only the administrator

  auto* op = new CUser("Op", "");
  op->m_devicePermissions.push_back(new CPanelPermissions(b->GetUuid(), 0));
  s.Users().GetUsers().push_back(op);
  s.Users().EnsureUserPermissions();
  EXPECT_TRUE(s.Users().GetUsers()[0]->m_devicePermissions.empty());
  ASSERT_EQ(op->m_devicePermissions.size(), 2u);
  EXPECT_EQ(op->m_devicePermissions[0]->GetFlags(), 0u);  // an existing record stays as it is
  EXPECT_EQ(op->m_devicePermissions[1]->GetUuid(), a->GetUuid());
  EXPECT_EQ(op->m_devicePermissions[1]->GetFlags(), 1u);
  ASSERT_EQ(op->m_panelPermissions.size(), 1u);
  EXPECT_EQ(op->m_panelPermissions[0]->GetUuid(), panel->GetUuid());
  s.Users().EnsureUserPermissions();
  EXPECT_EQ(op->m_devicePermissions.size(), 2u);
}

// --- Zones ---

TEST_F(SystemModelTest, ZoneRecord_GoldenBytesAndRoundTrip) {
  CFileTestDevice* a = Add();
  CFileTestDevice* b = Add();
  CZone* zone = s.GetZones()[0];
  zone->SetName("Z");
  zone->m_bCollapsed = true;
  CArchive out;
  zone->Serialize(out);
  Bytes expected = {1, 0, 0, 0, 0xFF, 0xFE, 0xFF, 1, 'Z', 0, 1, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0};
  const CUuid ua = a->GetUuid(), ub = b->GetUuid();
  expected.insert(expected.end(), ua.bytes.begin(), ua.bytes.end());
  expected.insert(expected.end(), ub.bytes.begin(), ub.bytes.end());
  EXPECT_EQ(out.Data(), expected);

  CZone back(&s);
  CArchive in(out.TakeData());
  back.Serialize(in);
  EXPECT_EQ(back.GetName(), "Z");
  EXPECT_TRUE(back.m_bCollapsed);
  EXPECT_FALSE(back.m_bMeterCollapsed);
  EXPECT_EQ(back.GetDevices(), (std::vector<CDevice*>{a, b}));

  // A record of a later version cannot be read past: it throws as such and changes nothing.
  CZone other(&s);
  CArchive wrongVersion(Bytes{2, 0, 0, 0, 9, 9});
  try {
    other.Serialize(wrongVersion);
    ADD_FAILURE() << "read";
  } catch (const CArchiveException& e) {
    EXPECT_EQ(e.GetCause(), CArchiveException::NewerVersion);
  }
  EXPECT_EQ(other.GetName(), "Zone");
  EXPECT_EQ(wrongVersion.Remaining(), 2u);
}

TEST_F(SystemModelTest, ZoneMoves_ReorderWithinTheZone) {
  CFileTestDevice* a = Add();
  CFileTestDevice* b = Add();
  CFileTestDevice* c = Add();
  CZone* zone = s.GetZones()[0];
  EXPECT_FALSE(zone->MoveDeviceUp(a));
  EXPECT_FALSE(zone->MoveDeviceDown(c));
  EXPECT_TRUE(zone->MoveDeviceUp(c));
  EXPECT_EQ(zone->GetDevices(), (std::vector<CDevice*>{a, c, b}));
  EXPECT_TRUE(zone->MoveDeviceDown(a));
  EXPECT_EQ(zone->GetDevices(), (std::vector<CDevice*>{c, a, b}));
  ASSERT_TRUE(zone->RemoveDevice(b));
  EXPECT_TRUE(zone->InsertDeviceFirst(b));
  EXPECT_EQ(zone->GetDevices(), (std::vector<CDevice*>{b, c, a}));
  EXPECT_FALSE(zone->RemoveDevice(nullptr));
}
