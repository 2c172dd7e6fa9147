// The live-meter strip and the output pane offscreen: the redraw queue's rules, blinking,
// clicks, scrolling, the log list and the visibility reports.
#include <QTabWidget>

#include "core/support/SystemMessages.h"
#include "platform/Image.h"
#include "tests/support/RecordingFrame.h"
#include "tests/ui/RackFixture.h"
#include "ui/DeviceView.h"
#include "ui/OutputWnd.h"

namespace {

class Meters : public RackFixture {
 protected:
  // Main Zone {a, b} and "Second" {c}, each tile 60 px wide: content 20 + 120 + 20 + 60 = 220.
  void SetUp() override {
    RackFixture::SetUp();
    a = &AddDevice(Zone(0), 30, 60, CColour{0xFF2040C0u});
    b = &AddDevice(Zone(0), 30, 60, CColour{0xFFC02020u});
    c = &AddDevice(AddZone("Second"), 30, 60, CColour{0xFF20C020u});
  }
  CLiveMeterView& Show(int width, int height) {
    view.resize(width, height);
    view.SetSystem(&system);
    view.show();
    QApplication::processEvents();
    return view;
  }
  CSizedDevice* a = nullptr;
  CSizedDevice* b = nullptr;
  CSizedDevice* c = nullptr;
  CLiveMeterView view;
};

TEST_F(Meters, Layout_ZonesLeftToRightAndTheBarOnlyWhenWider) {
  Show(400, 100);
  EXPECT_EQ(view.GetContentWidth(), 220);
  EXPECT_FALSE(view.IsScrollBarShown());
  EXPECT_EQ(view.GetDeviceRect(b), (CRect{80, 0, 140, 100}));
  EXPECT_EQ(view.GetDeviceRect(c), (CRect{160, 0, 220, 100}));
  const CImage& buffer = *view.GetBackBuffer();
  EXPECT_EQ(buffer.GetPixel(100, 50), b->fill);
  EXPECT_GT(buffer.GetPixel(2, 50).R(), 0x90);  // the header column
  EXPECT_GT(buffer.GetPixel(300, 5).R(), buffer.GetPixel(300, 95).R());  // background gradient

  view.resize(150, 100);
  QApplication::processEvents();
  ASSERT_TRUE(view.IsScrollBarShown());
  EXPECT_LT(view.GetClientHeight(), 100);
  view.ScrollBy(CLiveMeterView::Scroll::PageForward);
  view.ScrollBy(CLiveMeterView::Scroll::PageForward);
  view.ScrollBy(CLiveMeterView::Scroll::PageForward);
  EXPECT_EQ(view.GetScrollPos(), 70);  // 220 - 150
  view.ScrollBy(CLiveMeterView::Scroll::LineBack);
  EXPECT_EQ(view.GetScrollPos(), 65);

  // Clicks after scrolling refer to the tiles shown: c at window x 160 - 65.
  view.HandleDoubleClick(100, 10);
  const auto posts = sink.Messages();
  ASSERT_EQ(posts.size(), 1u);
  EXPECT_EQ(posts[0].message, FrameMsg::kOpenDevicePanel);
  EXPECT_EQ(posts[0].handle, c->GetHandle());
}

TEST_F(Meters, Queue_MetersOnlyRedrawWholeTileOrNothingForIgnoredAndDeletedDevices) {
  Show(400, 100);
  a->monitorStates.clear();
  b->monitorStates.clear();
  view.AddDevice(a, 1);
  view.AddDevice(a, 1);  // twice within one tick: redrawn twice
  view.AddDevice(b, 0);
  EXPECT_EQ(view.GetQueueSize(), 3u);
  EXPECT_EQ(a->meterRedraws, 0);  // nothing is drawn before the tick
  view.DrainQueue();
  EXPECT_EQ(view.GetQueueSize(), 0u);
  EXPECT_EQ(a->meterRedraws, 2);
  EXPECT_TRUE(a->monitorStates.empty());
  EXPECT_EQ(b->monitorStates, (std::vector<int>{0}));
  EXPECT_EQ(view.GetLastDrainRect(), (CRect{22, 0, 140, 100}));

  // An ignored device is redrawn whole.
  c->SetIgnored(true);
  view.AddDevice(c, 1);
  view.DrainQueue();
  EXPECT_EQ(c->meterRedraws, 0);
  EXPECT_EQ(c->monitorStates.back(), 0);

  // A device deleted while queued is dropped, and so is every entry after a new file.
  view.AddDevice(b, 1);
  system.DeleteDevice(1);
  view.AddDevice(a, 1);
  view.DrainQueue();
  EXPECT_EQ(a->meterRedraws, 3);
  view.AddDevice(a, 1);
  system.Clear();
  view.DrainQueue();
  EXPECT_EQ(view.GetLastDrainRect(), CRect{});
}

TEST_F(Meters, Queue_AStripGrownSinceItWasLaidOutRebuildsInsteadOfQueueing) {
  Show(400, 100);
  AddDevice(Zone(1), 30, 300);
  view.AddDevice(a, 1);
  EXPECT_EQ(view.GetQueueSize(), 0u);
  EXPECT_EQ(view.GetContentWidth(), 520);
  EXPECT_TRUE(view.IsScrollBarShown());
  EXPECT_EQ(view.GetBackBuffer()->Width(), 400);
}

TEST_F(Meters, BackBuffer_TheWindowsSizeWithOnlyTheTilesShownAndAScrollDrawsTheRest) {
  Show(150, 100);
  ASSERT_TRUE(view.IsScrollBarShown());
  EXPECT_EQ(view.GetBackBuffer()->Width(), 150);
  EXPECT_EQ(view.GetBackBuffer()->Height(), view.GetClientHeight());
  // c (content 160 to 220) lies right of the window: not drawn, and its meters wait.
  EXPECT_TRUE(c->monitorStates.empty());
  view.AddDevice(c, 1);
  view.DrainQueue();
  EXPECT_EQ(c->meterRedraws, 0);
  EXPECT_EQ(view.GetLastDrainRect(), CRect{});

  // Scrolled to the end (content 70 to 220 shown), the paint draws c: at window x 160 - 70.
  view.ScrollBy(CLiveMeterView::Scroll::End);
  view.repaint();
  EXPECT_EQ(c->monitorStates, (std::vector<int>{0}));
  EXPECT_EQ(view.GetBackBuffer()->GetPixel(100, 50), c->fill);
  EXPECT_EQ(view.GetBackBuffer()->GetPixel(30, 50), b->fill);
  view.AddDevice(c, 1);
  view.DrainQueue();
  EXPECT_EQ(c->meterRedraws, 1);
}

TEST_F(Meters, Blink_WarnedConnectedTilesAlternateLooks) {
  Show(400, 100);
  a->warnings = 1;
  a->Connect();
  a->monitorStates.clear();
  view.UpdateDeviceMeters(false);
  view.UpdateDeviceMeters(true);
  a->warnings = 0;
  view.UpdateDeviceMeters(false);
  view.UpdateDeviceMeters(true);
  // The tile whose warnings ended is drawn in the normal look and left there.
  EXPECT_EQ(a->monitorStates, (std::vector<int>{3, 2, 2}));
  for (int state : b->monitorStates) EXPECT_EQ(state, 0);  // only full draws
}

TEST_F(Meters, HeaderClick_CollapsesOnlyTheStripAndTileClicksDoNothing) {
  Show(400, 100);
  view.HandleClick(100, 50);  // on b's tile
  view.HandleClick(150, 60);  // on "Second"'s header column, but not on its arrow
  EXPECT_EQ(sink.Messages().size(), 0u);
  view.HandleClick(146, 12);  // the arrow: (143, 8) to (155, 20)
  EXPECT_EQ(Zone(1).m_nMeterAnimState, 1);
  EXPECT_EQ(Zone(1).m_nAnimState, 0);
  EXPECT_EQ(Posted(FrameMsg::kMeterZoneTimerStart), 1u);
}

TEST_F(Meters, EmptySystem_BackgroundOnly) {
  system.DeleteAllZones();
  Show(300, 80);
  EXPECT_EQ(view.GetContentWidth(), 0);
  EXPECT_FALSE(view.IsScrollBarShown());
  const CImage& buffer = *view.GetBackBuffer();
  EXPECT_NEAR(buffer.GetPixel(150, 0).R(), 0x7D, 3);
  EXPECT_EQ(buffer.GetPixel(10, 40), buffer.GetPixel(290, 40));
}

TEST(OutputPane, LogKeepsNewest200FirstAndClearEmptiesIt) {
  COutputWnd pane(QStringLiteral("Output"));
  COutputList& log = pane.GetLogList();
  for (int i = 0; i < 250; ++i) log.AddLine("line " + std::to_string(i) + "\r\n");
  ASSERT_EQ(log.count(), 200);
  EXPECT_EQ(log.item(0)->text(), "line 249");
  EXPECT_EQ(log.item(199)->text(), "line 50");
  log.OnEditClear();
  EXPECT_EQ(log.count(), 0);
  log.AddLine("again");
  EXPECT_EQ(log.item(0)->text(), "again");
}

TEST(OutputPane, ReportsMonitorVisibilityByTabAndByHidingThePane) {
  CRecordingFrame sink;
  COutputWnd pane(QStringLiteral("Output"));
  pane.SetMessageSink(&sink);
  pane.show();
  QApplication::processEvents();
  pane.GetTabs().setCurrentIndex(1);
  pane.GetTabs().setCurrentIndex(0);
  pane.GetTabs().setCurrentIndex(1);
  pane.GetLogList().OnViewOutput();  // "&Hide"
  QApplication::processEvents();
  EXPECT_FALSE(pane.isVisible());
  pane.show();
  QApplication::processEvents();
  std::vector<WPARAM> reports;
  for (const auto& m : sink.Messages())
    if (m.message == FrameMsg::kSystemMonitorVisible) reports.push_back(m.wParam);
  ASSERT_GE(reports.size(), 5u);
  const std::vector<WPARAM> last(reports.end() - 5, reports.end());
  EXPECT_EQ(last, (std::vector<WPARAM>{0, 1, 0, 0, 1}));
}

// The device view's toolbar rules.
struct ToolbarCase {
  const char* name;
  CDeviceViewState state;
  bool properties, newDevice, deleteDevice, addZone, deleteZone;
};

class DeviceViewToolbar : public ::testing::TestWithParam<ToolbarCase> {};

TEST_P(DeviceViewToolbar, EnablesByTheSelectionOnlineStateAndZones) {
  const ToolbarCase& c = GetParam();
  EXPECT_EQ(DeviceViewCommandEnabled(32832, c.state), c.properties);
  EXPECT_EQ(DeviceViewCommandEnabled(32782, c.state), c.newDevice);
  EXPECT_EQ(DeviceViewCommandEnabled(32828, c.state), c.deleteDevice);
  EXPECT_EQ(DeviceViewCommandEnabled(32846, c.state), c.addZone);
  EXPECT_EQ(DeviceViewCommandEnabled(32847, c.state), c.deleteZone);
  EXPECT_EQ(DeviceViewCommandEnabled(57600, c.state), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, DeviceViewToolbar,
    ::testing::Values(ToolbarCase{"NothingSelected", {true, false, false, 2, -1}, false, true, false, true, false},
                      ToolbarCase{"SecondZoneOffline", {true, true, false, 2, 1}, true, true, true, true, true},
                      ToolbarCase{"SecondZoneOnline", {true, true, true, 2, 1}, true, true, false, true, false},
                      ToolbarCase{"FirstZone", {true, true, false, 2, 0}, true, true, true, true, false},
                      ToolbarCase{"OneZone", {true, true, false, 1, 0}, true, true, true, true, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DeviceViewToolbarFrame, NoAnswerWhileTheMainWindowIsNotTheFrame) {
  CDeviceViewState state;
  state.frameIsMainWindow = false;
  EXPECT_EQ(DeviceViewCommandEnabled(32782, state), std::nullopt);
}

}  // namespace
