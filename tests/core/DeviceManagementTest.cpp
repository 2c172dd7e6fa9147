// Device, zone and panel management of the system object: adding through the factory, zone
// rules, deleting zones, panels and images with everything that refers to them, and the order
// of the open panels.
#include <gtest/gtest.h>

#include "core/comms/CommsWorker.h"
#include "custom/CPData.h"
#include "core/model/DeviceFactory.h"
#include "core/file/ImageTree.h"
#include "core/model/Link.h"
#include "core/system/System.h"
#include "core/support/SystemMessages.h"
#include "core/system/Zone.h"
#include "platform/WindowMessages.h"
#include "tests/support/RecordingFrame.h"
#include "tests/support/TestDevices.h"

namespace {

CDevice* CreateTestDevice(IDeviceHost* system, IMessageSink* frame, std::uint32_t, std::uint32_t id, std::uint32_t) {
  return new CTestDevice(system, id, frame);
}

class CCountedImage : public CCCImage {
 public:
  explicit CCountedImage(int* deleted = nullptr) : m_deleted(deleted) {}
  ~CCountedImage() override {
    if (m_deleted) ++*m_deleted;
  }

 private:
  int* m_deleted;
};

// A widget that shows one image and opens one panel until told to forget them.
class CLinkedWidget : public CCustomControlObject {
 public:
  bool ReleaseImage(CCCImageBase* i) override {
    if (image != i) return false;
    image = nullptr;
    return true;
  }
  bool ClearPanelReference(const CUuid& p) override {
    if (panel != p) return false;
    panel = CUuid{};
    return true;
  }
  std::uint32_t GetControlType() const override { return kControlButton; }
  CCCImageBase* image = nullptr;
  CUuid panel;
};

class DeviceManagementTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterDeviceCreator(CTestDevice::kTypeCode, CreateTestDevice);
    system.Start(&frame);
    system.Users().GetUsers().push_back(new CUser("Operator", "x"));
  }
  void TearDown() override {
    system.GetComms().StopCommsThread();
    RegisterDeviceCreator(CTestDevice::kTypeCode, nullptr);
  }
  std::size_t Posted(std::uint32_t message) {
    std::size_t n = 0;
    for (const auto& m : frame.Take())
      if (m.message == message && m.handle == 0) ++n;  // about the whole system
    return n;
  }

  CRecordingFrame frame;
  CSystem system;
};

TEST_F(DeviceManagementTest, CreateDevice_UnknownTypeCodes_GiveNoDevice) {
  EXPECT_EQ(system.CreateDevice(1, 48, 0), nullptr);
  EXPECT_EQ(system.CreateDevice(1, 113, 0), nullptr);
  EXPECT_EQ(system.CreateDevice(1, 1000, 0), nullptr);
  EXPECT_FALSE(system.AddDevice(48, 0));
  EXPECT_EQ(system.GetDeviceCount(), 0);
  EXPECT_FALSE(system.IsModified());
}

TEST_F(DeviceManagementTest, AddDevice_GoesToTheSelectedDevicesZone_ElseTheFirst_WithAccessForUsers) {
  CZone* second = system.AddZone();
  ASSERT_TRUE(system.AddDevice(CTestDevice::kTypeCode, 0));
  CDevice* first = system.GetDevice(0);
  EXPECT_EQ(first->GetDeviceId(), 0u);
  EXPECT_EQ(system.GetZones().front()->GetDevices(), std::vector<CDevice*>{first});
  EXPECT_TRUE(system.IsModified());

  // Move the device into the second zone and select it: the next one follows it there.
  system.GetZones().front()->RemoveDevice(first);
  second->AppendDevice(first);
  system.SetSelectedDevice(0);
  EXPECT_EQ(system.GetSelectedDeviceZone(), second);
  ASSERT_TRUE(system.AddDevice(CTestDevice::kTypeCode, 0));
  EXPECT_EQ(second->GetDevices().size(), 2u);

  const CUser* op = system.Users().GetUsers()[1];
  ASSERT_EQ(op->m_devicePermissions.size(), 2u);
  EXPECT_EQ(op->m_devicePermissions[0]->m_uuid, first->GetUuid());
  EXPECT_EQ(op->m_devicePermissions[0]->m_flags, 1u);
  EXPECT_TRUE(system.Users().GetUsers()[0]->m_devicePermissions.empty());
  EXPECT_EQ(system.FindDeviceByUuid(first->GetUuid()), first);
}

TEST_F(DeviceManagementTest, AddZone_AppendsAZoneAndAsksForRedraws) {
  frame.Take();
  CZone* zone = system.AddZone();
  EXPECT_EQ(system.GetZones().back(), zone);
  EXPECT_EQ(zone->GetName(), "Zone");
  EXPECT_FALSE(zone->m_bCollapsed);
  const auto posted = frame.Take();
  ASSERT_EQ(posted.size(), 2u);
  EXPECT_EQ(posted[0].message, FrameMsg::kRefreshRack);
  EXPECT_EQ(posted[1].message, FrameMsg::kRebuildMeters);
}

TEST_F(DeviceManagementTest, DeleteZone_FirstZoneStays_OthersHandTheirDevicesToTheZoneBefore) {
  ASSERT_TRUE(system.AddDevice(CTestDevice::kTypeCode, 0));
  CZone* first = system.GetZones().front();
  CZone* second = system.AddZone();
  CZone* third = system.AddZone();
  ASSERT_TRUE(system.AddDevice(CTestDevice::kTypeCode, 0));
  ASSERT_TRUE(system.AddDevice(CTestDevice::kTypeCode, 0));
  CDevice* a = system.GetDevice(1);
  CDevice* b = system.GetDevice(2);
  first->RemoveDevice(a);
  first->RemoveDevice(b);
  third->AppendDevice(a);
  third->AppendDevice(b);
  frame.Take();

  system.DeleteZone(first, false);
  EXPECT_EQ(system.GetZones().size(), 3u);
  EXPECT_EQ(Posted(FrameMsg::kRefreshRack), 1u);

  system.DeleteZone(third, false);  // third is gone: do not touch it again
  ASSERT_EQ(system.GetZones().size(), 2u);
  EXPECT_EQ(second->GetDevices(), (std::vector<CDevice*>{a, b}));
  EXPECT_EQ(system.GetDeviceCount(), 3);
}

TEST_F(DeviceManagementTest, DeleteZone_WithItsDevices_DeletesThemWithEveryReference) {
  CZone* second = system.AddZone();
  ASSERT_TRUE(system.AddDevice(CTestDevice::kTypeCode, 0));
  ASSERT_TRUE(system.AddDevice(CTestDevice::kTypeCode, 0));
  CDevice* keep = system.GetDevice(0);
  CDevice* gone = system.GetDevice(1);
  system.GetZones().front()->RemoveDevice(gone);
  second->AppendDevice(gone);
  const CUuid goneUuid = gone->GetUuid();

  auto* link = new CLink("Link 1");
  link->AddRef(new CLinkRef(goneUuid, 13));
  link->AddRef(new CLinkRef(keep->GetUuid(), 13));
  link->AddRef(new CLinkRef(goneUuid, 14));
  system.Links().AppendLink(link);
  CCPData* panel = system.Panels().AddCustomPanel();
  auto* widget = new CLinkedWidget;
  widget->m_pDevice = gone;
  panel->m_widgets.push_back(widget);

  system.DeleteZone(second, true);
  ASSERT_EQ(system.GetDeviceCount(), 1);
  EXPECT_EQ(system.GetDevice(0), keep);
  EXPECT_EQ(system.FindDeviceByUuid(goneUuid), nullptr);
  ASSERT_EQ(link->GetMembers().size(), 1u);
  EXPECT_EQ(link->GetMembers()[0]->m_uuid, keep->GetUuid());
  EXPECT_EQ(widget->m_pDevice, nullptr);
  EXPECT_FALSE(system.Users().GetUsers()[1]->HasPermissionRecord(goneUuid));
  EXPECT_TRUE(system.Users().GetUsers()[1]->HasPermissionRecord(keep->GetUuid()));
  EXPECT_EQ(system.GetZones().size(), 1u);
}

TEST_F(DeviceManagementTest, AddCustomPanel_TakesTheSmallestFreeNumber_AndGivesUsersAccess) {
  CCPData* one = system.Panels().AddCustomPanel();
  CCPData* two = system.Panels().AddCustomPanel();
  EXPECT_EQ(one->m_name, "Panel 1");
  EXPECT_EQ(two->m_name, "Panel 2");
  one->m_name = "Stage";
  EXPECT_EQ(system.Panels().AddCustomPanel()->m_name, "Panel 1");
  EXPECT_EQ(system.Users().GetUsers()[1]->m_panelPermissions.size(), 3u);
  EXPECT_TRUE(system.Users().GetUsers()[0]->m_panelPermissions.empty());
}

TEST_F(DeviceManagementTest, DeleteCustomPanel_ClearsEveryReference_ClosesItsView_IgnoresBadIndex) {
  CCPData* target = system.Panels().AddCustomPanel();
  CCPData* other = system.Panels().AddCustomPanel();
  auto* opener = new CLinkedWidget;
  opener->panel = target->GetUuid();
  other->m_widgets.push_back(opener);
  auto* copied = new CLinkedWidget;
  copied->panel = target->GetUuid();
  system.Panels().GetCopiedWidgets().push_back(copied);
  CTestCustomPanelView view;
  target->m_pView = &view;
  const CUuid uuid = target->GetUuid();

  system.Panels().DeleteCustomPanel(5);
  system.Panels().DeleteCustomPanel(-1);
  EXPECT_EQ(system.GetCustomPanels().size(), 2u);

  system.Panels().DeleteCustomPanel(0);
  ASSERT_EQ(system.GetCustomPanels().size(), 1u);
  EXPECT_EQ(system.GetCustomPanels()[0], other);
  EXPECT_TRUE(opener->panel.IsNil());
  EXPECT_TRUE(copied->panel.IsNil());
  EXPECT_FALSE(system.Users().GetUsers()[1]->HasPermissionRecord(uuid));
  EXPECT_EQ(view.destroyCount, 1);
}

TEST_F(DeviceManagementTest, DeleteImage_FolderGoesDepthFirst_WidgetsAndBackgroundsLetGo) {
  int deleted = 0;
  auto* folder = new CCCImageDirectory("Skins");
  auto* inner = new CCCImageDirectory("Inner");
  auto* a = new CCountedImage(&deleted);
  auto* b = new CCountedImage(&deleted);
  // The system deletes this one when the fixture ends, after the counter has gone.
  auto* keep = new CCountedImage;
  inner->AddChild(b);
  folder->AddChild(a);
  folder->AddChild(inner);
  system.Images().GetFileImages().AddChild(folder);
  system.Images().GetFileImages().AddChild(keep);
  CCPData* panel = system.Panels().AddCustomPanel();
  panel->m_pBackgroundImage = b;
  auto* widget = new CLinkedWidget;
  widget->image = a;
  panel->m_widgets.push_back(widget);
  auto* copied = new CLinkedWidget;
  copied->image = b;
  system.Panels().GetCopiedWidgets().push_back(copied);

  system.Images().DeleteImage(folder, true);
  EXPECT_EQ(deleted, 2);
  EXPECT_EQ(system.Images().GetFileImages().GetChildren(), std::vector<CCCImageBase*>{keep});
  EXPECT_EQ(widget->image, nullptr);
  EXPECT_EQ(copied->image, nullptr);
  EXPECT_EQ(panel->m_pBackgroundImage, nullptr);

  // A node that is not in the file's tree is left alone.
  CCountedImage stray;
  system.Images().DeleteImage(&stray, true);
  EXPECT_EQ(system.Images().GetFileImages().GetChildren().size(), 1u);
}

// A device's redraw reaches the open custom panels with a widget bound to it, and a redraw of
// every device all the open ones; a closed panel has nothing to draw.
TEST_F(DeviceManagementTest, RedrawCustomPanels_ReachesTheOpenPanelsBoundToTheDevice) {
  ASSERT_TRUE(system.AddDevice(CTestDevice::kTypeCode, 0));
  ASSERT_TRUE(system.AddDevice(CTestDevice::kTypeCode, 0));
  CDevice* a = system.GetDevice(0);
  CDevice* b = system.GetDevice(1);
  CTestCustomPanelView boundToA, boundToB, unbound;
  auto open = [&](CTestCustomPanelView* view, CDevice* device) {
    CCPData* panel = system.Panels().AddCustomPanel();
    panel->m_pView = view;
    if (device) {
      auto* widget = new CTestWidget;
      widget->m_pDevice = device;
      panel->m_widgets.push_back(widget);
    }
    return panel;
  };
  open(&boundToA, a);
  open(&boundToB, b);
  open(&unbound, nullptr);
  open(nullptr, a);  // closed

  system.Panels().RedrawCustomPanels(a);
  EXPECT_EQ(boundToA.rebuildCount, 1);
  EXPECT_EQ(boundToB.rebuildCount, 0);
  EXPECT_EQ(unbound.rebuildCount, 0);

  system.Panels().RedrawCustomPanels(nullptr);
  EXPECT_EQ(boundToA.rebuildCount, 2);
  EXPECT_EQ(boundToB.rebuildCount, 1);
  EXPECT_EQ(unbound.rebuildCount, 1);
  for (CCPData* panel : system.GetCustomPanels()) panel->m_pView = nullptr;
}

TEST_F(DeviceManagementTest, PanelOrder_OpenActivateClose_KeepsNumbersOneToM) {
  ASSERT_TRUE(system.AddDevice(CTestDevice::kTypeCode, 0));
  ASSERT_TRUE(system.AddDevice(CTestDevice::kTypeCode, 0));
  CDevice* d1 = system.GetDevice(0);
  CDevice* d2 = system.GetDevice(1);
  CCPData* custom = system.Panels().AddCustomPanel();
  CTestControlPanel p1, p2;
  CTestCustomPanelView p3;
  p1.SetDevice(d1);
  p2.SetDevice(d2);
  const CSystemPanels::CPanelView v1{&p1, nullptr}, v2{&p2, nullptr}, v3{nullptr, &p3};

  d1->SetControlPanel(&p1);
  system.Panels().OnPanelActivated(v1);
  d2->SetControlPanel(&p2);
  system.Panels().OnPanelActivated(v2);
  custom->m_pView = &p3;
  system.Panels().OnPanelActivated(v3);
  EXPECT_EQ(d1->PanelPlacement().GetPanelOrder(), 1);
  EXPECT_EQ(d2->PanelPlacement().GetPanelOrder(), 2);
  EXPECT_EQ(custom->m_panelOrder, 3);

  system.Panels().OnPanelActivated(v1);
  EXPECT_EQ(d1->PanelPlacement().GetPanelOrder(), 3);
  EXPECT_EQ(d2->PanelPlacement().GetPanelOrder(), 1);
  EXPECT_EQ(custom->m_panelOrder, 2);
  std::vector<CSystemPanels::CPanelView> views;
  system.Panels().GetOpenPanelViews(views);
  EXPECT_EQ(views, (std::vector<CSystemPanels::CPanelView>{v2, v3, v1}));

  system.SetModified(false);
  system.Panels().OnPanelClosed(v2);
  d2->SetControlPanel(nullptr);
  EXPECT_EQ(d2->PanelPlacement().GetPanelOrder(), 0);
  EXPECT_EQ(custom->m_panelOrder, 1);
  EXPECT_EQ(d1->PanelPlacement().GetPanelOrder(), 2);
  EXPECT_TRUE(system.IsModified());

  // While a file's panels are reopened nothing is recorded.
  system.File().SetLoading(true);
  system.Panels().OnPanelActivated(v3);
  EXPECT_EQ(custom->m_panelOrder, 1);
  system.File().SetLoading(false);
  d1->SetControlPanel(nullptr);
  custom->m_pView = nullptr;
}

}  // namespace
