// The main frame's bars, panes, layout, timers, messages and close sequence.
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QComboBox>
#include <QDockWidget>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>

#include "app/CommandIds.h"
#include "app/MdiClient.h"
#include "core/comms/CommsWorker.h"
#include "custom/CPData.h"
#include "core/system/System.h"
#include "core/system/Zone.h"
#include "platform/SettingsStore.h"
#include "tests/app/FrameFixture.h"
#include "tests/support/TestDevices.h"
#include "ui/DevicePropertiesPane.h"
#include "ui/DeviceView.h"
#include "ui/CustomControlPanelWnd.h"
#include "ui/OutputWnd.h"

namespace {

CTestDevice* AddTestDevice(CMainFrame& frame, std::uint32_t id) {
  auto* device = new CTestDevice(&frame.GetSystem(), id, &frame);
  frame.GetSystem().AppendDevice(device);
  return device;
}

// A device with one group of one row in the properties grid.
class CGroupDevice : public CTestDevice {
 public:
  using CTestDevice::CTestDevice;
  void FillPropertiesPane(IDevicePropertyGrid& grid) override {
    auto group = std::make_unique<CDevicePropertyGroup>("General");
    group->Add(std::make_unique<CDeviceProperty>("Name", CDeviceProperty::Value(std::string("Amp")), "The name"));
    grid.AddGroup(std::move(group));
  }
};

}  // namespace

TEST_F(FrameTest, Menus_TheLoaderStandsInTheToolsMenuBeforeHelp) {
  CMainFrame& f = MakeFrame();
  QStringList titles;
  QMenu* tools = nullptr;
  for (QAction* entry : f.menuBar()->actions()) {
    titles << entry->text();
    if (entry->text() == "&Tools") tools = entry->menu();
  }
  EXPECT_EQ(titles, (QStringList{"&File", "&Edit", "&View", "&Devices", "&Comms", "De&sign", "&Users", "&Tools",
                                 "&Help"}));
  ASSERT_NE(tools, nullptr);
  EXPECT_EQ(tools->actions(), (QList<QAction*>{f.GetCommand(Cmd::kLoader)}));
  for (QAction* entry : f.menuBar()->actions()) {
    if (entry->menu() != tools) {
      EXPECT_FALSE(entry->menu()->actions().contains(f.GetCommand(Cmd::kLoader)));
    }
  }
}

TEST_F(FrameTest, Create_BuildsSixToolbarsWithCombosStatusBarAndThreePanes) {
  CMainFrame& f = MakeFrame();
  const char* texts[] = {"", "Comms Toolbar", "Global Mute Toolbar", "Design Toolbar",
                         "Custom Control Panels", "Snapshot Toolbar"};
  for (int i = 0; i < CMainFrame::kToolBarCount; ++i) {
    ASSERT_NE(f.GetToolBar(i), nullptr);
    EXPECT_EQ(f.GetToolBar(i)->windowTitle(), QString::fromLatin1(texts[i]));
    EXPECT_EQ(f.GetToolBar(i)->allowedAreas(), i < 4 ? Qt::AllToolBarAreas : Qt::TopToolBarArea) << i;
  }
  for (QComboBox* combo : {&f.GetPanelCombo(), &f.GetSnapshotCombo()}) {
    EXPECT_EQ(combo->width(), 150);
    EXPECT_FALSE(combo->isEditable());
  }
  EXPECT_EQ(f.GetDeviceView().windowTitle(), "Device View");
  EXPECT_EQ(f.GetOutputPane().windowTitle(), "Output");
  EXPECT_EQ(f.GetPropertiesPane().windowTitle(), "Properties");
  EXPECT_EQ(f.dockWidgetArea(&f.GetDeviceView()), Qt::LeftDockWidgetArea);
  EXPECT_EQ(f.dockWidgetArea(&f.GetOutputPane()), Qt::BottomDockWidgetArea);
  EXPECT_EQ(f.dockWidgetArea(&f.GetPropertiesPane()), Qt::RightDockWidgetArea);
  EXPECT_EQ(f.GetOutputPane().allowedAreas(), Qt::TopDockWidgetArea | Qt::BottomDockWidgetArea);

  QStringList indicators;
  for (QLabel* label : f.statusBar()->findChildren<QLabel*>()) indicators << label->text();
  EXPECT_TRUE(indicators.contains("CAP") && indicators.contains("NUM") && indicators.contains("SCRL"));
  // The panel area fills the frame's centre; its full-screen bar above it is hidden.
  EXPECT_EQ(f.GetMdiClient().parentWidget(), f.centralWidget());
  EXPECT_EQ(f.GetMdiClient().geometry(), f.centralWidget()->rect());
  EXPECT_FALSE(f.GetMdiClient().GetCloseFullScreenBar()->isVisible());
  EXPECT_EQ(f.windowTitle(), "Orvak - Untitled");
  // The window icon is the square application icon, not the toolbar strip of the same number.
  EXPECT_EQ(f.windowIcon().availableSizes(), QList<QSize>{QSize(32, 32)});
}

TEST_F(FrameTest, FirstStart_DocksFourToolbarsInOneRowAndPanelBarsInTheNext) {
  CMainFrame& f = MakeFrame();
  for (int i = 0; i < CMainFrame::kToolBarCount; ++i) {
    EXPECT_EQ(f.toolBarArea(f.GetToolBar(i)), Qt::TopToolBarArea);
  }
  const int row1 = f.GetToolBar(0)->y();
  for (int i = 1; i < 4; ++i) {
    EXPECT_EQ(f.GetToolBar(i)->y(), row1) << i;
    EXPECT_GT(f.GetToolBar(i)->x(), f.GetToolBar(i - 1)->x()) << i;
  }
  EXPECT_TRUE(f.toolBarBreak(f.GetToolBar(4)));
  EXPECT_GT(f.GetToolBar(4)->y(), row1);
  EXPECT_EQ(f.GetToolBar(5)->y(), f.GetToolBar(4)->y());
  EXPECT_GT(f.GetToolBar(5)->x(), f.GetToolBar(4)->x());
}

TEST_F(FrameTest, Workspace_SavedOnCloseAndRestoredAtNextStart) {
  {
    CMainFrame& f = MakeFrame();
    f.RunCommand(Cmd::kViewSystemMonitor);  // hide the output pane
    f.addDockWidget(Qt::LeftDockWidgetArea, &f.GetPropertiesPane());
    f.RunCommand(Cmd::kViewDesignToolbar);  // hide the Design toolbar
    ProcessEvents();
    ASSERT_TRUE(f.close());
  }
  frame.reset();
  CMainFrame& again = MakeFrame();
  EXPECT_FALSE(again.GetOutputPane().isVisible());
  EXPECT_FALSE(again.GetToolBar(3)->isVisible());
  EXPECT_EQ(again.dockWidgetArea(&again.GetPropertiesPane()), Qt::LeftDockWidgetArea);
  again.UpdateCommandUI();
  EXPECT_FALSE(again.GetCommand(Cmd::kViewSystemMonitor)->isChecked());
  EXPECT_TRUE(again.GetCommand(Cmd::kViewDeviceView)->isChecked());
}

TEST_F(FrameTest, Timers_BlinkAlwaysRunsAndAutosaveOnlyWhenSet) {
  {
    CMainFrame& f = MakeFrame();
    EXPECT_TRUE(f.HasTimer(FrameTimer::kBlink));
    EXPECT_FALSE(f.HasTimer(FrameTimer::kAutosave));
  }
  frame.reset();
  CSettingsStore::WriteInt("Settings", "AutoSave", 5);
  CMainFrame& f = MakeFrame();
  EXPECT_TRUE(f.HasTimer(FrameTimer::kAutosave));
  EXPECT_TRUE(f.HasTimer(FrameTimer::kBlink));
}

TEST_F(FrameTest, BlinkTimer_FlipsPhaseAndRefreshesIdleStatusText) {
  CMainFrame& f = MakeFrame();
  const bool start = f.GetBlinkPhase();
  ASSERT_TRUE(WaitFor([&] { return f.GetBlinkPhase() != start; }));
  ASSERT_TRUE(WaitFor([&] { return f.GetStatusText() == "Ready (File Security Disabled)"; }));

  f.GetSystem().Users().SetUseSystemSecurity(true);
  EXPECT_TRUE(WaitFor([&] { return f.GetStatusText() == "Current User - Admin"; }));
}

TEST_F(FrameTest, LogLines_ListKeepsNewest200FirstWithoutLineBreaks) {
  CMainFrame& f = MakeFrame();
  for (int i = 0; i < 250; ++i) {
    PostLogLine(f, "line " + std::to_string(i) + "\r\n");
  }
  ProcessEvents();
  COutputList& list = f.GetOutputPane().GetLogList();
  ASSERT_EQ(list.count(), 200);
  EXPECT_EQ(list.item(0)->text(), "line 249");
  EXPECT_EQ(list.item(199)->text(), "line 50");
}

TEST_F(FrameTest, Close_DispatchesQueuedLogLinesAndDropsEveryOtherMessage) {
  CMainFrame& f = MakeFrame();
  PostLogLine(f, "first\n");
  f.PostMessage(FrameMsg::kSystemMonitorVisible, 0, 0);
  PostLogLine(f, "second\n");
  ASSERT_TRUE(f.close());
  COutputList& list = f.GetOutputPane().GetLogList();
  ASSERT_EQ(list.count(), 2);
  EXPECT_EQ(list.item(0)->text(), "second");
  EXPECT_TRUE(f.IsSystemMonitorVisible());
  EXPECT_FALSE(f.GetSystem().GetComms().IsWorkerRunning());
}

TEST_F(FrameTest, SystemMonitorVisible_FollowsMessage139AndTheOutputPane) {
  CMainFrame& f = MakeFrame();
  EXPECT_TRUE(f.IsSystemMonitorVisible());
  f.PostMessage(FrameMsg::kSystemMonitorVisible, 0, 0);
  ProcessEvents();
  EXPECT_FALSE(f.IsSystemMonitorVisible());
  f.PostMessage(FrameMsg::kSystemMonitorVisible, 7, 0);
  ProcessEvents();
  EXPECT_TRUE(f.IsSystemMonitorVisible());

  // The output pane reports its own tab changes and hiding.
  f.GetOutputPane().GetTabs().setCurrentIndex(1);
  ProcessEvents();
  EXPECT_FALSE(f.IsSystemMonitorVisible());
  f.GetOutputPane().GetTabs().setCurrentIndex(0);
  ProcessEvents();
  EXPECT_TRUE(f.IsSystemMonitorVisible());
}

TEST_F(FrameTest, MdiClient_ShowsLogoCentredOnBlackAtEverySize) {
  CMainFrame& f = MakeFrame();
  QImage logo(40, 20, QImage::Format_ARGB32);
  logo.fill(QColor(255, 0, 0));
  logo.setPixelColor(0, 0, QColor(0, 255, 0));    // top-left corner of the logo
  logo.setPixelColor(20, 10, QColor(0, 0, 255));  // its centre
  CMdiClient& mdi = f.GetMdiClient();
  mdi.SetLogo(logo);
  f.resize(900, 700);
  ProcessEvents();
  const QImage& bg = mdi.GetBackground();
  ASSERT_EQ(bg.size(), mdi.viewport()->size());
  const int left = bg.width() / 2 - 20;
  const int top = bg.height() / 2 - 10;
  EXPECT_EQ(bg.pixelColor(left, top), QColor(0, 255, 0));
  EXPECT_EQ(bg.pixelColor(left + 20, top + 10), QColor(0, 0, 255));
  EXPECT_EQ(bg.pixelColor(left - 1, top), QColor(0, 0, 0));
  EXPECT_EQ(bg.pixelColor(0, 0), QColor(0, 0, 0));
  EXPECT_EQ(bg.pixelColor(bg.width() - 1, bg.height() - 1), QColor(0, 0, 0));

  // A client area smaller than the logo shows the logo's centre part.
  CMdiClient small;
  small.SetLogo(logo);
  small.resize(10, 6);
  small.show();
  ProcessEvents();
  const QImage& part = small.GetBackground();
  const int cx = part.width() / 2;
  const int cy = part.height() / 2;
  EXPECT_EQ(part.pixelColor(cx, cy), QColor(0, 0, 255));
  EXPECT_EQ(part.pixelColor(0, 0), QColor(255, 0, 0));
}

TEST(MdiClientTest, APanelWindowPastTheClientAreaCanBeScrolledIntoView) {
  CMdiClient mdi;
  mdi.resize(300, 200);
  QMdiSubWindow* window = mdi.addSubWindow(new QWidget);
  window->setGeometry(0, 0, 200, 400);
  mdi.show();
  window->show();
  ProcessEvents();
  EXPECT_TRUE(mdi.verticalScrollBar()->isVisible());
  EXPECT_FALSE(mdi.horizontalScrollBar()->isVisible());
}

TEST_F(FrameTest, Commands_EnabledByTheirRules) {
  CMainFrame& f = MakeFrame();
  f.UpdateCommandUI();
  EXPECT_FALSE(f.GetCommand(Cmd::kOnline)->isEnabled());  // no devices
  EXPECT_TRUE(f.GetCommand(Cmd::kAutoscan)->isEnabled());
  EXPECT_FALSE(f.GetCommand(Cmd::kGlobalMute)->isEnabled());  // offline
  EXPECT_TRUE(f.GetCommand(Cmd::kOptions)->isEnabled());
  EXPECT_FALSE(f.GetCommand(Cmd::kFileSave)->isEnabled());  // not modified
  EXPECT_TRUE(f.GetCommand(Cmd::kFileSaveAs)->isEnabled());
  EXPECT_TRUE(f.GetCommand(Cmd::kFileNew)->isEnabled());
  EXPECT_EQ(f.GetCommand(Cmd::kOnline)->text(), "Go Online");

  AddTestDevice(f, 1);
  f.GetSystem().SetModified(true);
  f.GetSystem().Users().GetUsers()[0]->m_restrictLow = 0x08;  // no application settings
  f.UpdateCommandUI();
  EXPECT_TRUE(f.GetCommand(Cmd::kOnline)->isEnabled());
  EXPECT_TRUE(f.GetCommand(Cmd::kFileSave)->isEnabled());
  EXPECT_FALSE(f.GetCommand(Cmd::kOptions)->isEnabled());
}

TEST_F(FrameTest, SelectDevice_MovesSelectionFillsGridAndIgnoresDeletedDevices) {
  CMainFrame& f = MakeFrame();
  CTestDevice* a = AddTestDevice(f, 1);
  CTestDevice* b = AddTestDevice(f, 2);
  CSystem& system = f.GetSystem();
  system.SetSelectedDevice(0);
  PostAbout(f, FrameMsg::kSelectDevice, b, 0);
  ProcessEvents();
  EXPECT_EQ(system.GetSelectedDevice(), 1);
  CDevicePropertiesCtrl& grid = f.GetPropertiesPane().GetGrid();
  EXPECT_EQ(grid.GetCurrentDevice(), b);

  // FrameMsg::kShowDeviceProps for a device that is not the selected one leaves the grid alone.
  PostAbout(f, FrameMsg::kShowDeviceProps, a, 0);
  ProcessEvents();
  EXPECT_EQ(grid.GetCurrentDevice(), b);

  // A locked grid is never refilled.
  grid.SetLocked(true);
  PostAbout(f, FrameMsg::kSelectDevice, a, 1);
  ProcessEvents();
  EXPECT_EQ(system.GetSelectedDevice(), 0);
  EXPECT_EQ(grid.GetCurrentDevice(), b);
  grid.SetLocked(false);

  // A message naming a device that is gone does nothing.
  const auto gone = b->GetHandle();
  system.DeleteDevice(1);
  f.Post(CPostedMessage{FrameMsg::kSelectDevice, 0, 1, gone, {}});
  f.Post(CPostedMessage{FrameMsg::kStatusEvent, 0, 105, gone, {}});
  ProcessEvents();
  EXPECT_EQ(system.GetSelectedDevice(), 0);
}

TEST_F(FrameTest, SelectDevice_HandsTheGridTheDeviceGroupsAndDropsThemOnRefill) {
  CMainFrame& f = MakeFrame();
  auto* grouped = new CGroupDevice(&f.GetSystem(), 1, &f);
  f.GetSystem().AppendDevice(grouped);
  CTestDevice* plain = AddTestDevice(f, 2);
  CDevicePropertiesCtrl& grid = f.GetPropertiesPane().GetGrid();

  PostAbout(f, FrameMsg::kSelectDevice, grouped, 0);
  ProcessEvents();
  ASSERT_EQ(grid.GetGroups().size(), 1u);
  EXPECT_EQ(grid.GetGroups()[0]->name, "General");
  ASSERT_EQ(grid.GetGroups()[0]->rows.size(), 1u);
  EXPECT_EQ(grid.GetGroups()[0]->rows[0]->GetText(), "Amp");

  // Refilling for another device never keeps the rows of the one before.
  PostAbout(f, FrameMsg::kSelectDevice, plain, 0);
  ProcessEvents();
  EXPECT_EQ(grid.GetCurrentDevice(), plain);
  EXPECT_TRUE(grid.GetGroups().empty());
}

TEST_F(FrameTest, ZoneMessages_StartAndStopTheZoneTimersOnRackAndMeters) {
  CMainFrame& f = MakeFrame();
  CSystem& system = f.GetSystem();
  system.AppendZone(new CZone(&system));
  const std::uint64_t second = system.GetZones()[1]->GetHandle();
  CDeviceRack& rack = f.GetDeviceView().GetRack();
  CLiveMeterView& meters = f.GetOutputPane().GetLiveMeterView();
  const auto post = [&](std::uint32_t message, std::uint64_t zone) { f.Post(CPostedMessage{message, 0, 0, zone, {}}); };

  // A zone that is gone before its message arrives starts nothing.
  const std::uint64_t gone = CZone(&system).GetHandle();
  post(FrameMsg::kRackZoneTimerStart, gone);
  post(FrameMsg::kMeterZoneTimerStart, gone);
  ProcessEvents();
  for (std::uint32_t id = 101; id <= 103; ++id) EXPECT_FALSE(rack.HasTimer(id) || meters.HasTimer(id));

  post(FrameMsg::kRackZoneTimerStart, second);
  post(FrameMsg::kMeterZoneTimerStart, second);
  ProcessEvents();
  EXPECT_TRUE(rack.HasTimer(102));
  EXPECT_TRUE(meters.HasTimer(102));
  EXPECT_FALSE(rack.HasTimer(101));

  post(FrameMsg::kRackZoneTimerStop, second);
  ProcessEvents();
  EXPECT_FALSE(rack.HasTimer(102));
  EXPECT_TRUE(meters.HasTimer(102));
  post(FrameMsg::kMeterZoneTimerStop, second);
  ProcessEvents();
  EXPECT_FALSE(meters.HasTimer(102));
}

TEST_F(FrameTest, PropagateStatus_AppliesCurrentValuesThroughTheBaseOnly) {
  class CStatusDevice : public CTestDevice {
   public:
    using CTestDevice::CTestDevice;
    int GetOnlineStatusParamId() override { return kTestMute; }
    int GetWarningStatusParamId() override { return kTestGain; }
  };
  CMainFrame& f = MakeFrame();
  auto* device = new CStatusDevice(&f.GetSystem(), 3, &f);
  f.GetSystem().AppendDevice(device);
  CTestControlPanel panel;
  device->SetControlPanel(&panel);
  panel.SetDevice(device);
  device->values[kTestMute] = MakeBoolParamValue(kTestMute, true);
  device->values[kTestGain] = MakeIntParamValue(kTestGain, -3);

  PostAbout(f, FrameMsg::kPropagateOnline, device, 0);
  PostAbout(f, FrameMsg::kPropagateWarning, device, 0);
  PostAbout(f, FrameMsg::kPropagateOnline, nullptr);  // no device: nothing
  ProcessEvents();
  ASSERT_EQ(panel.notified.size(), 2u);
  EXPECT_EQ(panel.notified[0].id, kTestMute);
  EXPECT_EQ(panel.notified[1].id, kTestGain);
  EXPECT_TRUE(device->applied.empty());  // the family's own change path never ran
  EXPECT_EQ(device->Queue().GetQueueSize(), 0u);
  device->SetControlPanel(nullptr);
}

TEST_F(FrameTest, Options_OkRestartsTheAutosaveTimerFromTheSettingAndCancelChangesNothing) {
  CSettingsStore::WriteInt("Settings", "AutoSave", 0);  // whatever a test before left
  CFrameUnderTest& f = MakeFrame();
  prompts.onSettingsSheet = [](CSystem& s) { s.Settings().SetAutoSave(5); };
  prompts.settingsOk = false;
  f.RunCommand(Cmd::kOptions);
  EXPECT_FALSE(f.HasTimer(FrameTimer::kAutosave));

  prompts.settingsOk = true;
  f.RunCommand(Cmd::kOptions);
  EXPECT_TRUE(f.HasTimer(FrameTimer::kAutosave));

  prompts.onSettingsSheet = [](CSystem& s) { s.Settings().SetAutoSave(0); };
  f.RunCommand(Cmd::kOptions);
  EXPECT_FALSE(f.HasTimer(FrameTimer::kAutosave));
  EXPECT_EQ(prompts.settingsSheets, 3);
}

TEST_F(FrameTest, WidgetProperties_OnlyForAWidgetThatAPanelStillHolds) {
  CMainFrame& f = MakeFrame();
  CCPData* panel = f.GetSystem().Panels().AddCustomPanel();
  auto* widget = new CTestWidget;
  panel->m_widgets.push_back(widget);
  CDevicePropertiesCtrl& grid = f.GetPropertiesPane().GetGrid();

  const auto show = [&](const CCustomControlObject& w) {
    f.Post(CPostedMessage{FrameMsg::kShowWidgetProps, 0, 1, w.GetHandle(), {}});
  };
  CTestWidget gone;  // never in a panel, as one deleted before its message arrived
  show(gone);
  ProcessEvents();
  EXPECT_EQ(grid.GetCurrentWidget(), nullptr);

  show(*widget);
  ProcessEvents();
  EXPECT_EQ(grid.GetCurrentWidget(), widget);
}

TEST_F(FrameTest, PanelDesignMenuProperties_ShowsThePaneAlsoWithNoDeviceSelected) {
  CMainFrame& f = MakeFrame();
  CSystem& system = f.GetSystem();
  system.Panels().SetDesignMode(1);
  CCPData* panel = system.Panels().AddCustomPanel();
  f.OpenCustomPanel(panel);
  auto* view = dynamic_cast<CCustomControlPanelWnd*>(panel->m_pView);
  ASSERT_NE(view, nullptr);
  ASSERT_LT(system.GetSelectedDevice(), 0);
  f.GetPropertiesPane().hide();

  // The view's design menu is modal: its "Properties" is chosen once it is up.
  QTimer::singleShot(0, [] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu) return;
    for (QAction* action : menu->actions())
      if (action->text() == "Properties") menu->setActiveAction(action);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(menu, &enter);
  });
  QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), view->mapToGlobal(QPoint(5, 5)));
  QApplication::sendEvent(view, &event);
  EXPECT_FALSE(f.GetPropertiesPane().isHidden());
}

TEST_F(FrameTest, FirstStart_SystemMonitorTallEnoughForMetersAndNames) {
  CMainFrame& f = MakeFrame();
  EXPECT_GE(f.width(), 1024);
  EXPECT_GE(f.height(), 700);
  // A processor column keeps 80 pixels for its name, LEDs and boxes and gives the rest to the
  // meters; an amplifier's thermometer gets the height less 70.
  EXPECT_GE(f.GetOutputPane().GetLiveMeterView().GetClientHeight(), 160);
}
