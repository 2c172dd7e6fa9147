// The system object: defaults, Clear, device removal with its references, the guarded device
// list, the system command queue and the worker's start and stop hand-shakes.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <atomic>
#include <filesystem>
#include <set>
#include <thread>

#include "core/comms/CommsWorker.h"
#include "custom/CPData.h"
#include "core/protocol/ControlMessage.h"
#include "core/model/Link.h"
#include "core/model/Snapshot.h"
#include "core/system/System.h"
#include "core/system/Zone.h"
#include "platform/Clipboard.h"
#include "platform/WindowMessages.h"
#include "tests/support/RecordingFrame.h"
#include "tests/support/TestDevices.h"
#include "tests/support/WaitFor.h"

namespace {

void ExpectNewSystemState(const CSystem& s) {
  ASSERT_EQ(s.Users().GetUsers().size(), 1u);
  EXPECT_EQ(s.Users().GetUsers()[0]->GetName(), "Admin");
  EXPECT_EQ(s.Users().GetUsers()[0]->GetPassword(), "Marigold");
  EXPECT_EQ(s.Users().GetCurrentUser(), 0);
  ASSERT_EQ(s.GetZones().size(), 1u);
  EXPECT_EQ(s.GetZones()[0]->GetName(), "Main Zone");
  EXPECT_TRUE(s.GetZones()[0]->GetDevices().empty());
  EXPECT_EQ(s.GetDeviceCount(), 0);
  EXPECT_TRUE(s.Links().GetLinks().empty());
  EXPECT_TRUE(s.GetSnapshots().empty());
  EXPECT_TRUE(s.GetCustomPanels().empty());
  EXPECT_TRUE(s.Links().AreLinksActive());
  EXPECT_EQ(s.GetSelectedDevice(), -1);
  EXPECT_EQ(s.GetCurrentSnapshot(), -1);
  EXPECT_FALSE(s.IsModified());
  EXPECT_TRUE(s.File().GetFilePath().empty());
  EXPECT_FALSE(s.Users().GetUseSystemSecurity());
  EXPECT_FALSE(s.File().GetFullScreenOnOpen());
  EXPECT_FALSE(s.File().GetGoOnlineOnOpen());
  EXPECT_EQ(s.File().GetTreeState(), 0u);
}

// Fills a system as a loaded file would.
void Populate(CSystem& s, CTestDevice*& device, int* widgetsDeleted) {
  device = new CTestDevice(&s, 3);
  s.AppendDevice(device);
  s.GetZones()[0]->AppendDevice(device);
  auto* zone = new CZone(&s);
  s.AppendZone(zone);
  s.Users().GetUsers().push_back(new CUser("Operator", "x"));
  s.Users().SetCurrentUser(1);
  auto* link = new CLink("Link 1");
  link->AddRef(new CLinkRef(device->GetUuid(), kTestGain));
  s.Links().AppendLink(link);
  auto* panel = new CCPData;
  panel->m_widgets.push_back(new CTestWidget(widgetsDeleted));
  s.Panels().AppendCustomPanel(panel);
  s.Snapshots().AppendSnapshot(new CSnapshot("Show"));
  s.Snapshots().SetCurrentSnapshot(0);
  s.Panels().GetCopiedWidgets().push_back(new CTestWidget(widgetsDeleted));
  s.Images().GetFileImages().AddChild(new CCCImageDirectory("Logos"));
  s.Images().GetLibraryImages().AddChild(new CCCImageDirectory("Shared"));
  s.SetSelectedDevice(0);
  s.Links().SetLinksActive(false);
  s.File().SetFilePath("/tmp/show.ovd");
  s.Users().SetUseSystemSecurity(true);
  s.File().SetTreeState(3);
  s.SetModified(true);
}

}  // namespace

TEST(SystemTest, NewSystem_HasAdminUserMainZoneAndNothingElse) {
  CSystem s;
  ExpectNewSystemState(s);
  EXPECT_FALSE(s.IsGlobalMute());
  EXPECT_FALSE(s.GetComms().IsWorkerRunning());
  EXPECT_TRUE(s.CanCurrentUserEditDeviceProperties());
}

TEST(SystemTest, Clear_LeavesTheStateOfANewSystemButKeepsLibraryImages) {
  CSystem s;
  CTestDevice* device = nullptr;
  int widgetsDeleted = 0;
  Populate(s, device, &widgetsDeleted);
  s.Clear();
  ExpectNewSystemState(s);
  EXPECT_EQ(widgetsDeleted, 2);
  EXPECT_TRUE(s.GetCopiedWidgets().empty());
  EXPECT_TRUE(s.Images().GetFileImages().GetChildren().empty());
  EXPECT_EQ(s.Images().GetLibraryImages().GetChildren().size(), 1u);
}

TEST(SystemTest, Clear_ClosesOpenPanelWindowsBeforeDeleting) {
  CSystem s;
  CTestControlPanel devicePanel;
  auto* device = new CTestDevice(&s, 1);
  device->SetControlPanel(&devicePanel);
  s.AppendDevice(device);
  CTestCustomPanelView view;
  auto* panel = new CCPData;
  panel->m_pView = &view;
  s.Panels().AppendCustomPanel(panel);
  s.Clear();
  EXPECT_EQ(devicePanel.destroyCount, 1);
  EXPECT_EQ(view.destroyCount, 1);
}

TEST(SystemTest, Clear_EmptiesClipboardOnlyWhenItHoldsOurFormat) {
  CSystem s;
  const std::uint32_t ours = RegisterClipboardFormat("NerexSeriesSettings");
  ASSERT_TRUE(SetClipboardData(ours, {1, 2, 3}));
  s.Clear();
  EXPECT_FALSE(IsClipboardFormatAvailable(ours));

  QGuiApplication::clipboard()->setText("another program's text");
  s.Clear();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "another program's text");
}

TEST(SystemTest, SetDefaults_AddsNoAdminWhenTenUsersExist) {
  CSystem s;
  while (s.Users().GetUsers().size() < kMaxUsers) s.Users().GetUsers().push_back(new CUser("u", "p"));
  s.SetDefaults();
  EXPECT_EQ(s.Users().GetUsers().size(), kMaxUsers);
  EXPECT_EQ(s.GetZones().size(), 2u);  // SetDefaults deletes nothing
}

TEST(SystemTest, RestrictedCurrentUserMayNotEditDeviceProperties) {
  CSystem s;
  auto* user = new CUser("Guest", "");
  user->m_restrictLow = kRestrictEditDeviceProperties;
  s.Users().GetUsers().push_back(user);
  s.Users().SetCurrentUser(1);
  EXPECT_FALSE(s.CanCurrentUserEditDeviceProperties());
  s.Users().SetCurrentUser(10);
  EXPECT_FALSE(s.CanCurrentUserEditDeviceProperties());
}

TEST(SystemTest, DeleteDevice_RemovesEveryReferenceToIt) {
  CSystem s;
  auto* keep = new CTestDevice(&s, 1);
  auto* gone = new CTestDevice(&s, 2);
  s.AppendDevice(keep);
  s.AppendDevice(gone);
  s.GetZones()[0]->AppendDevice(keep);
  s.GetZones()[0]->AppendDevice(gone);
  auto* link = new CLink("Link 1");
  link->AddRef(new CLinkRef(gone->GetUuid(), kTestGain));
  link->AddRef(new CLinkRef(keep->GetUuid(), kTestGain));
  link->AddRef(new CLinkRef(gone->GetUuid(), kTestMute));
  s.Links().AppendLink(link);
  auto* panel = new CCPData;
  auto* bound = new CTestWidget;
  bound->m_pDevice = gone;
  panel->m_widgets.push_back(bound);
  s.Panels().AppendCustomPanel(panel);
  auto* copied = new CTestWidget;
  copied->m_pDevice = gone;
  s.Panels().GetCopiedWidgets().push_back(copied);
  auto* user = new CUser("Operator", "");
  user->m_devicePermissions.push_back(new CPanelPermissions(gone->GetUuid(), 1));
  user->m_devicePermissions.push_back(new CPanelPermissions(keep->GetUuid(), 1));
  s.Users().GetUsers().push_back(user);
  s.SetSelectedDevice(1);
  const CUuid goneUuid = gone->GetUuid();  // the device is freed by DeleteDevice

  EXPECT_FALSE(s.DeleteDevice(2));
  ASSERT_TRUE(s.DeleteDevice(1));
  EXPECT_EQ(s.GetDeviceCount(), 1);
  EXPECT_EQ(s.GetSelectedDevice(), 0);
  EXPECT_EQ(s.GetZones()[0]->GetDevices(), std::vector<CDevice*>{keep});
  ASSERT_EQ(link->GetMembers().size(), 1u);
  EXPECT_EQ(link->GetMembers()[0]->GetUuid(), keep->GetUuid());
  EXPECT_EQ(bound->m_pDevice, nullptr);
  EXPECT_EQ(copied->m_pDevice, nullptr);
  EXPECT_FALSE(user->HasPermissionRecord(goneUuid));
  EXPECT_TRUE(user->HasPermissionRecord(keep->GetUuid()));
  EXPECT_TRUE(s.IsModified());
}

TEST(SystemTest, DeleteOnlyDevice_LeavesSelectionAtMinusOne) {
  CSystem s;
  s.AppendDevice(new CTestDevice(&s, 1));
  s.SetSelectedDevice(0);
  s.DeleteDevice(0);
  EXPECT_EQ(s.GetSelectedDevice(), -1);
}

TEST(SystemTest, DeviceList_WorkerAppendsWhileUiReads) {
  CSystem s;
  constexpr int kDevices = 2000;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    for (int i = 0; i < kDevices; ++i) s.AppendDevice(new CTestDevice(&s, std::uint32_t(i + 1)));
    done = true;
  });
  // Every device the reader sees is whole and in order.
  while (!done) {
    const int n = s.GetDeviceCount();
    if (n > 0) {
      ASSERT_NE(s.GetDevice(n - 1), nullptr);
      ASSERT_EQ(s.GetDevice(n - 1)->GetDeviceId(), std::uint32_t(n));
    }
    for (CDevice* d : s.GetDevices()) ASSERT_NE(d, nullptr);
  }
  worker.join();
  EXPECT_EQ(s.GetDeviceCount(), kDevices);
  EXPECT_EQ(s.GetDevice(kDevices), nullptr);
  EXPECT_EQ(s.GetDevice(-1), nullptr);
}

TEST(SystemTest, DeviceHandles_AreNeverReusedAndFindNothingOnceTheDeviceIsGone) {
  CSystem s;
  auto* first = new CTestDevice(&s, 1);
  s.AppendDevice(first);
  const std::uint64_t gone = first->GetHandle();
  EXPECT_EQ(s.FindDeviceByHandle(gone), first);
  s.DeleteDevice(0);
  // A new device, perhaps at the same address, never answers to the old handle.
  auto* second = new CTestDevice(&s, 1);
  s.AppendDevice(second);
  EXPECT_NE(second->GetHandle(), gone);
  EXPECT_EQ(s.FindDeviceByHandle(gone), nullptr);
  EXPECT_EQ(s.FindDeviceByHandle(second->GetHandle()), second);
  EXPECT_EQ(s.FindDeviceByHandle(0), nullptr);
}

TEST(SystemTest, DevicePosts_NameTheDeviceByHandleAndOwnNothing) {
  CRecordingUi ui;
  CSystem s;
  s.SetUiServices(&ui);
  auto* device = new CTestDevice(&s, 4, &ui);
  s.AppendDevice(device);
  device->UpdateCommsState(true);  // posts about the device
  const auto posted = ui.Take();
  ASSERT_FALSE(posted.empty());
  for (const CPostedMessage& m : posted) {
    EXPECT_EQ(m.handle, device->GetHandle());
    EXPECT_EQ(m.wParam, 0u);
  }
}

TEST(SystemTest, SystemQueue_TakesMostRecentMessageFirst) {
  CSystem s;
  for (std::uint32_t c : {1u, 2u, 3u}) s.GetComms().AppendSystemMessage(CTestDevice::MakeMessage(c, {0xF0}));
  CControlMessage record;
  std::vector<std::uint32_t> order;
  while (s.GetComms().PopSystemMessage(record)) order.push_back(record.command);
  EXPECT_EQ(order, (std::vector<std::uint32_t>{3, 2, 1}));
}

TEST(SystemTest, StartTwice_StartsOneWorkerAndStopEndsIt) {
  CRecordingFrame frame;
  CSystem s;
  EXPECT_TRUE(s.Start(&frame));
  EXPECT_TRUE(s.GetComms().IsWorkerRunning());
  EXPECT_TRUE(s.Start(&frame));
  EXPECT_EQ(s.GetUiServices(), &frame);
  EXPECT_EQ(s.GetComms().GetWorkerState(), kWorkerIdle);
  s.GetComms().RequestIdle();  // returns once the worker has acknowledged
  s.GetComms().StopCommsThread();
  EXPECT_FALSE(s.GetComms().IsWorkerRunning());
}

TEST(SystemTest, BackToBackIdleRequestsAreEachAcknowledged) {
  // A request made just after the previous acknowledgement must not be lost (it would hang).
  CRecordingFrame frame;
  CSystem s;
  s.Start(&frame);
  for (int i = 0; i < 12; ++i) s.GetComms().RequestIdle();
  s.GetComms().StopCommsThread();
  EXPECT_FALSE(s.GetComms().IsWorkerRunning());
}

TEST(SystemTest, DestroyingAStartedSystemEndsItsWorker) {
  // The thread ids of this process, as the kernel lists them. Other tests of the same process may
  // leave helper threads of their own coming and going, so only the worker's own id is followed.
  auto threads = [] {
    std::set<std::string> ids;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task"))
      ids.insert(entry.path().filename().string());
    return ids;
  };
  CRecordingFrame frame;
  auto s = std::make_unique<CSystem>();
  const std::set<std::string> before = threads();
  s->Start(&frame);
  ASSERT_TRUE(s->GetComms().IsWorkerRunning());
  std::vector<std::string> started;
  for (const std::string& id : threads())
    if (!before.count(id)) started.push_back(id);
  ASSERT_FALSE(started.empty());
  s.reset();  // must neither hang nor leave the worker running on a deleted system
  // A joined thread has run its last; the kernel may list it a moment longer while it tears it
  // down, so its entry is given a few seconds to go. A worker left running never goes.
  for (const std::string& id : started)
    EXPECT_TRUE(WaitFor([&] { return threads().count(id) == 0; }, 5000)) << "thread " << id << " still runs";
}
