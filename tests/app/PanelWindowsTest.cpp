// Device panel windows opened by the frame: who may open one, where it goes and how big it is,
// bringing an open one to the top, closing, and reopening the panels a file was saved with.
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionTitleBar>
#include <QToolBar>
#include <QToolButton>
#include <cstdlib>

#include "app/CommandIds.h"
#include "app/MdiClient.h"
#include "core/model/Confirm.h"
#include "core/model/DeviceFactory.h"
#include "core/model/Snapshot.h"
#include "core/model/User.h"
#include "core/system/Zone.h"
#include "devices/amplifier/AmplifierFamilies.h"
#include "devices/processor/ProcessorFamily.h"
#include "panels/framework/BitmapObject.h"
#include "panels/processor/NerexSeriesControlPanel.h"
#include "panels/PanelClasses.h"
#include "panels/framework/TextControl.h"
#include "panels/amplifier/ZelSeriesControlPanel.h"
#include "tests/app/FrameFixture.h"
#include "tests/panels/PanelTestSupport.h"
#include "tests/support/FileTestDevices.h"
#include "tests/support/ModelChanges.h"
#include "ui/ChildFrame.h"
#include "ui/CustomControlPanelWnd.h"
#include "ui/DevicePropertiesPane.h"
#include "ui/DeviceRack.h"
#include "ui/DeviceView.h"
#include "ui/OutputWnd.h"
#include "ui/ParameterSelectionDlg.h"
#include "custom/CPData.h"
#include "custom/ButtonControl.h"
#include "custom/KnobControl.h"
#include "ui/PanelFrame.h"
#include "platform/MouseMessages.h"
#include "panels/processor/NerexPanelWidgets.h"

namespace {

// A test device whose panel size the test chooses.
class CSizedTestDevice : public CTestDevice {
 public:
  using CTestDevice::CTestDevice;
  CSize GetPanelSize() override { return size; }
  CSize size{CWidgetTestPanel::kWidth, CWidgetTestPanel::kHeight};
};

CDevice* CreateSizedTestDevice(IDeviceHost* system, IMessageSink* frame, std::uint32_t, std::uint32_t deviceId,
                               std::uint32_t) {
  return new CSizedTestDevice(system, deviceId, frame);
}

class PanelWindowsTest : public FrameTest {
 protected:
  void SetUp() override {
    FrameTest::SetUp();
    RegisterControlPanelClass("CTestControlPanel", &CWidgetTestPanel::CreateObject);
    RegisterDeviceCreator(CTestDevice::kTypeCode, &CreateSizedTestDevice);
    RegisterFileTestDevices();
    MakeFrame();
  }
  void TearDown() override {
    frame.reset();
    ClearControlPanelClassesForTests();
  }

  CSizedTestDevice* AddDevice(std::uint32_t id) {
    CSystem& system = frame->GetSystem();
    auto* device = static_cast<CSizedTestDevice*>(system.CreateDevice(id, CTestDevice::kTypeCode, 0));
    system.AppendDevice(device);
    system.GetZones()[0]->AppendDevice(device);
    return device;
  }
  QList<QMdiSubWindow*> Windows() { return frame->GetMdiClient().subWindowList(); }
  static CWidgetTestPanel* PanelOf(CDevice* device) { return dynamic_cast<CWidgetTestPanel*>(device->GetControlPanel()); }
  static void DeleteClosedWindows() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
};

}  // namespace

TEST_F(PanelWindowsTest, Open_NeverPlacedPanel_IsSizedToThePanelAndBound) {
  CSizedTestDevice* device = AddDevice(3);
  NameDevice(device, "Stage Left");
  frame->GetSystem().SetModified(false);
  frame->OpenDevicePanel(device, true);
  ASSERT_EQ(Windows().size(), 1);
  CWidgetTestPanel* panel = PanelOf(device);
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(panel->GetDevice(), device);
  EXPECT_EQ(panel->createCount, 1);
  EXPECT_EQ(panel->updateAllCount, 1);
  EXPECT_EQ(panel->size(), QSize(CWidgetTestPanel::kWidth, CWidgetTestPanel::kHeight));
  QMdiSubWindow* window = Windows()[0];
  EXPECT_EQ(window->windowTitle().toStdString(), "Stage Left - ID: 3");
  EXPECT_TRUE(window->isVisible());
  // The frame recorded where it went.
  const CWindowPlacement placement = device->PanelPlacement().GetPanelPlacement();
  EXPECT_EQ(placement.normalPosition.right - placement.normalPosition.left, window->width());
  EXPECT_EQ(placement.normalPosition.left, window->x());
  EXPECT_EQ(placement.normalPosition.top, window->y());
  EXPECT_EQ(device->PanelPlacement().GetPanelOrder(), 1);
  EXPECT_TRUE(frame->GetSystem().IsModified());
  if (const char* png = std::getenv("ORVAK_SAVE_FRAME_PNG")) frame->grab().save(QString::fromUtf8(png));
}

TEST_F(PanelWindowsTest, Open_AnOpenPanel_BringsItBackWithoutASecondWindow) {
  CSizedTestDevice* first = AddDevice(1);
  CSizedTestDevice* second = AddDevice(2);
  frame->OpenDevicePanel(first, true);
  frame->OpenDevicePanel(second, true);
  // Panels never placed are spread by the area, not stacked on one spot, and keep that place.
  EXPECT_NE(Windows()[0]->pos(), Windows()[1]->pos());
  EXPECT_EQ(second->PanelPlacement().GetPanelPlacement().normalPosition.left, Windows()[1]->x());
  EXPECT_EQ(first->PanelPlacement().GetPanelOrder(), 1);
  EXPECT_EQ(second->PanelPlacement().GetPanelOrder(), 2);
  QMdiSubWindow* window = Windows()[0];
  window->showMinimized();
  frame->OpenDevicePanel(first, true);
  EXPECT_EQ(Windows().size(), 2);
  EXPECT_FALSE(window->isMinimized());
  EXPECT_EQ(first->PanelPlacement().GetPanelOrder(), 2);
  EXPECT_EQ(second->PanelPlacement().GetPanelOrder(), 1);
  EXPECT_EQ(PanelOf(first)->createCount, 1);
}

TEST_F(PanelWindowsTest, Open_IsRefusedSilentlyWithoutAPanelClassOrAccess) {
  CSystem& system = frame->GetSystem();
  CDevice* plain = system.CreateDevice(4, CFileTestDevice::kPlainType, 0);
  system.AppendDevice(plain);
  frame->OpenDevicePanel(plain, true);
  EXPECT_TRUE(Windows().isEmpty());
  EXPECT_EQ(plain->GetControlPanel(), nullptr);
  // A user who may not use the device.
  CSizedTestDevice* device = AddDevice(5);
  auto* guest = new CUser("Guest", "pw");
  guest->SetRestrictionMask(0x2);
  system.Users().GetUsers().push_back(guest);
  system.Users().SetCurrentUser(int(system.Users().GetUsers().size()) - 1);
  frame->OpenDevicePanel(device, true);
  EXPECT_TRUE(Windows().isEmpty());
  EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(PanelWindowsTest, Messages_OpenAndResizeThePanelWindow) {
  CSizedTestDevice* device = AddDevice(6);
  PostAbout(*frame, FrameMsg::kOpenDevicePanel, device);
  ProcessEvents();
  ASSERT_NE(PanelOf(device), nullptr);
  device->size = CSize{420, 150};
  PostAbout(*frame, FrameMsg::kResizeDevicePanel, device);
  ProcessEvents();
  EXPECT_EQ(PanelOf(device)->size(), QSize(420, 150));
}

TEST_F(PanelWindowsTest, ZelAmplifier_OpensItsOwnPanelFromTheRackAtItsSize) {
  RegisterAmplifierFamilies();
  RegisterDevicePanelClasses();
  CSystem& system = frame->GetSystem();
  CDevice* amp = system.CreateDevice(4, 51, 0);
  NameDevice(amp, "Stage");
  system.AppendDevice(amp);
  system.GetZones()[0]->AppendDevice(amp);
  // What a double-click on its tile posts.
  PostAbout(*frame, FrameMsg::kOpenDevicePanel, amp);
  ProcessEvents();
  auto* panel = dynamic_cast<CZelSeriesControlPanel*>(amp->GetControlPanel());
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(panel->size(), QSize(887, 189));
  EXPECT_EQ(panel->GetAmpName()->GetText(), "Stage");
  EXPECT_TRUE(panel->GetOfflineStrip()->IsVisible());
}

namespace {

// Where the window's title bar draws its close button, in the area's viewport.
QRect CloseButtonInArea(const CMdiClient& area, QMdiSubWindow& window) {
  QStyleOptionTitleBar bar;
  bar.initFrom(&window);
  bar.titleBarFlags = window.windowFlags();
  bar.titleBarState = int(window.windowState());
  bar.subControls = QStyle::SC_All;
  const int height = window.style()->pixelMetric(QStyle::PM_TitleBarHeight, &bar, &window);
  bar.rect = QRect(0, 0, window.width(), height);
  const QRect button = window.style()->subControlRect(QStyle::CC_TitleBar, &bar, QStyle::SC_TitleBarCloseButton, &window);
  return QRect(window.mapTo(area.viewport(), button.topLeft()), button.size());
}

// Clicks the middle of a rectangle of the viewport, on the widget there, as the pointer would.
void ClickAt(QWidget* viewport, const QRect& where) {
  QWidget* target = viewport->childAt(where.center());
  ASSERT_NE(target, nullptr);
  const QPointF at = target->mapFrom(viewport, where.center());
  const QPointF global = target->mapToGlobal(at);
  QMouseEvent move(QEvent::MouseMove, at, global, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(target, &move);
  QApplication::sendEvent(target, &press);
  QApplication::sendEvent(target, &release);
}

}  // namespace

// A panel wider or taller than the panel area, or one whose stored place lies past the area's
// right edge, opens with its close button in view (a Zel amplifier's panel is 887 pixels wide),
// keeps the place it was moved to, and the close button works. The area's scroll bars, which
// come a moment after the window, never cover the button: not those that a panel both wider
// and taller than the area brings, nor the vertical one of a tall panel left open beside.
TEST_F(PanelWindowsTest, Open_APanelLargerThanTheAreaOrPlacedPastItShowsItsCloseButton) {
  RegisterAmplifierFamilies();
  RegisterDevicePanelClasses();
  CSystem& system = frame->GetSystem();
  CMdiClient& area = frame->GetMdiClient();
  frame->resize(1300, 820);
  ASSERT_TRUE(WaitFor([&] { return frame->size() == QSize(1300, 820); }));
  const QSize room = area.viewport()->size();
  ASSERT_LT(room.width(), 887);
  CDevice* amp = system.CreateDevice(4, 55, 0);
  system.AppendDevice(amp);
  system.GetZones()[0]->AppendDevice(amp);
  CSizedTestDevice* tall = AddDevice(5);
  tall->size = CSize{200, room.height() + 150};
  CSizedTestDevice* placed = AddDevice(6);
  CWindowPlacement far;
  far.showCmd = SW_SHOWNORMAL;
  far.normalPosition = CRect{room.width() - 60, 30, room.width() + 240, 230};
  placed->PanelPlacement().SetPanelPlacement(far);
  CSizedTestDevice* large = AddDevice(8);
  large->size = CSize{room.width() + 200, room.height() + 150};
  // One panel already open, so that the area places the next ones away from its corner.
  frame->OpenDevicePanel(AddDevice(7), true);
  // Opens the panel and checks its close button, which closes it unless it is to stay.
  auto openAndCheck = [&](CDevice* device, bool stays) {
    SCOPED_TRACE(device->GetDeviceId());
    frame->OpenDevicePanel(device, true);
    QMdiSubWindow* window = Windows().back();
    ProcessEvents();
    const QRect button = CloseButtonInArea(area, *window);
    EXPECT_TRUE(area.viewport()->rect().contains(button))
        << button.x() << "," << button.y() << " in " << area.viewport()->width() << "x" << area.viewport()->height();
    EXPECT_GE(window->y(), 0);
    if (window->width() <= room.width()) {
      EXPECT_GE(window->x(), 0);
    }
    EXPECT_EQ(device->PanelPlacement().GetPanelPlacement().normalPosition.left, window->x());
    EXPECT_EQ(device->PanelPlacement().GetPanelPlacement().normalPosition.top, window->y());
    // The button is drawn there, on the title bar rather than the area's black.
    const QImage shot = area.viewport()->grab().toImage();
    if (const char* dir = std::getenv("ORVAK_PANEL_PNG_DIR"))
      shot.save(QString::fromLocal8Bit(dir) + QStringLiteral("/frame-close-button-%1.png").arg(device->GetDeviceId()));
    int drawn = 0;
    for (int y = button.top(); y <= button.bottom(); ++y)
      for (int x = button.left(); x <= button.right(); ++x) drawn += qGray(shot.pixel(x, y)) > 40 ? 1 : 0;
    EXPECT_GT(drawn, button.width() * button.height() / 2);
    if (stays) return;
    ClickAt(area.viewport(), button);
    DeleteClosedWindows();
    EXPECT_EQ(device->GetControlPanel(), nullptr);
  };
  for (CDevice* device : std::initializer_list<CDevice*>{amp, tall, placed, large}) openAndCheck(device, false);
  openAndCheck(tall, true);
  openAndCheck(amp, false);
}

TEST_F(PanelWindowsTest, ClosingOrDeleting_TheDeviceWindowUnbindsThePanel) {
  CSizedTestDevice* device = AddDevice(7);
  frame->OpenDevicePanel(device, true);
  Windows()[0]->close();
  DeleteClosedWindows();
  EXPECT_TRUE(Windows().isEmpty());
  EXPECT_EQ(device->GetControlPanel(), nullptr);
  EXPECT_EQ(device->PanelPlacement().GetPanelOrder(), 0);
  frame->OpenDevicePanel(device, true);
  ASSERT_EQ(Windows().size(), 1);
  ASSERT_TRUE(frame->GetSystem().DeleteDevice(frame->GetSystem().GetDeviceIndex(device)));
  EXPECT_TRUE(Windows().isEmpty());
}

TEST_F(PanelWindowsTest, OpenFile_ReopensThePanelsThatWereOpenWhereTheyWere) {
  CSystem& system = frame->GetSystem();
  CSizedTestDevice* open = AddDevice(8);
  AddDevice(9);
  frame->OpenDevicePanel(open, true);
  QMdiSubWindow* window = Windows()[0];
  window->move(40, 50);
  static_cast<CChildFrame*>(window)->SavePlacement();
  const CWindowPlacement placement = open->PanelPlacement().GetPanelPlacement();
  const std::string path = PathOf("panels.ovd");
  ASSERT_TRUE(system.File().SaveFile(path));
  system.SetModified(false);

  frame->Files().OnFileNew();
  DeleteClosedWindows();
  EXPECT_TRUE(Windows().isEmpty());
  ASSERT_TRUE(frame->Files().OpenFilePath(path));
  ASSERT_EQ(system.GetDeviceCount(), 2);
  CDevice* reopened = system.GetDevice(0);
  ASSERT_NE(PanelOf(reopened), nullptr);
  EXPECT_EQ(system.GetDevice(1)->GetControlPanel(), nullptr);
  ASSERT_EQ(Windows().size(), 1);
  EXPECT_EQ(Windows()[0]->pos(), QPoint(40, 50));
  EXPECT_EQ(reopened->PanelPlacement().GetPanelPlacement(), placement);
  EXPECT_FALSE(system.IsModified());
  // Saved again, the file still says the panel is open.
  const std::string again = PathOf("again.ovd");
  ASSERT_TRUE(system.File().SaveFile(again));
  frame->Files().OnFileNew();
  ASSERT_TRUE(frame->Files().OpenFilePath(again));
  EXPECT_NE(PanelOf(system.GetDevice(0)), nullptr);
}

TEST_F(PanelWindowsTest, CaptionMessage_RenamesThePanelFrameOnlyWhileThePanelIsOpen) {
  CSizedTestDevice* device = AddDevice(10);
  frame->OpenDevicePanel(device, true);
  const QString title = frame->windowTitle();
  NameDevice(device, "Delay Tower");
  PostAbout(*frame, FrameMsg::kPanelCaption, device);
  ProcessEvents();
  EXPECT_EQ(Windows()[0]->windowTitle().toStdString(), "Delay Tower - ID: 10");
  EXPECT_EQ(frame->windowTitle(), title);
  // A message about a panel that has closed since is dropped.
  PostAbout(*frame, FrameMsg::kPanelCaption, device);
  Windows()[0]->close();
  DeleteClosedWindows();
  ProcessEvents();
  EXPECT_EQ(frame->windowTitle(), title);
}

namespace {

// A panel that cannot build itself.
class CFailingPanel : public CWidgetTestPanel {
 public:
  static CControlPanelWnd* CreateObject() { return new CFailingPanel; }
  bool Create() override { return false; }
};

}  // namespace

TEST_F(PanelWindowsTest, APanelThatCannotBeBuilt_OpensNothingAndKeepsTheStoredLayout) {
  CSystem& system = frame->GetSystem();
  frame->OpenDevicePanel(AddDevice(11), true);
  const std::string path = PathOf("failing.ovd");
  ASSERT_TRUE(system.File().SaveFile(path));
  frame->Files().OnFileNew();
  RegisterControlPanelClass("CTestControlPanel", &CFailingPanel::CreateObject);
  ASSERT_TRUE(frame->Files().OpenFilePath(path));
  DeleteClosedWindows();
  EXPECT_TRUE(Windows().isEmpty());
  CDevice* device = system.GetDevice(0);
  EXPECT_EQ(device->GetControlPanel(), nullptr);
  EXPECT_TRUE(device->PanelPlacement().WasPanelOpenWhenStored());
  // Saved now and opened with a panel that works, the panel comes back.
  const std::string again = PathOf("again.ovd");
  ASSERT_TRUE(system.File().SaveFile(again));
  frame->Files().OnFileNew();
  RegisterControlPanelClass("CTestControlPanel", &CWidgetTestPanel::CreateObject);
  ASSERT_TRUE(frame->Files().OpenFilePath(again));
  EXPECT_NE(PanelOf(system.GetDevice(0)), nullptr);
}

namespace {

CCustomControlPanelWnd* ViewOf(const CCPData* panel) { return dynamic_cast<CCustomControlPanelWnd*>(panel->m_pView); }

// Design mode on, a new custom panel (its snap to the grid off when asked), and widget placed on
// it; the panel's data.
CCPData* NewDesignPanelWith(CFrameUnderTest& frame, CCustomControlObject* widget, bool snapOff = false) {
  frame.RunCommand(Cmd::kDesignMode);
  frame.RunCommand(Cmd::kNewCustomPanel);
  CCPData* data = frame.GetSystem().GetCustomPanels()[0];
  if (snapOff) data->m_snapToGrid = false;
  data->m_widgets.push_back(widget);
  if (CCustomControlPanelWnd* view = ViewOf(data)) view->RebuildDisplay();
  return data;
}

}  // namespace

TEST_F(PanelWindowsTest, NewCustomPanel_OnlyInDesignModeWithDevices_OpensItAndChoosesItInTheCombo) {
  CSystem& system = frame->GetSystem();
  frame->RunCommand(Cmd::kNewCustomPanel);
  EXPECT_TRUE(system.GetCustomPanels().empty());  // no devices, operate mode
  AddDevice(3);
  frame->RunCommand(Cmd::kDesignMode);
  frame->RunCommand(Cmd::kNewCustomPanel);
  frame->RunCommand(Cmd::kNewCustomPanel);
  ASSERT_EQ(system.GetCustomPanels().size(), 2u);
  const CCPData* second = system.GetCustomPanels()[1];
  EXPECT_EQ(frame->GetPanelCombo().count(), 2);
  EXPECT_EQ(frame->GetPanelCombo().currentIndex(), 1);
  EXPECT_EQ(frame->GetPanelCombo().currentText().toStdString(), second->m_name);
  ASSERT_NE(ViewOf(second), nullptr);
  EXPECT_EQ(Windows().size(), 2);
  EXPECT_TRUE(system.IsModified());

  // The design tools reach the active panel's view through the frame.
  frame->RunCommand(kCmdAddKnob);
  EXPECT_NE(ViewOf(second)->Designer().GetPendingControl(), nullptr);
}

TEST_F(PanelWindowsTest, DesignAndOperateMode_ReopenEveryOpenPanelOnceAndDeletePanelClosesIt) {
  CSystem& system = frame->GetSystem();
  AddDevice(3);
  frame->RunCommand(Cmd::kDesignMode);
  frame->RunCommand(Cmd::kNewCustomPanel);
  CCPData* panel = system.GetCustomPanels()[0];
  const CCustomControlPanel* designView = panel->m_pView;
  frame->RunCommand(Cmd::kDesignMode);  // already on: nothing
  EXPECT_EQ(panel->m_pView, designView);
  frame->RunCommand(Cmd::kOperateMode);
  DeleteClosedWindows();
  EXPECT_EQ(system.GetDesignMode(), 0);
  ASSERT_NE(panel->m_pView, nullptr);
  EXPECT_NE(panel->m_pView, designView);
  EXPECT_EQ(Windows().size(), 1);
  EXPECT_FALSE(frame->GetCommand(Cmd::kDeletePanel)->isEnabled());  // design mode only

  frame->RunCommand(Cmd::kDesignMode);
  DeleteClosedWindows();
  prompts.confirmOk = false;
  frame->RunCommand(Cmd::kDeletePanel);
  EXPECT_EQ(system.GetCustomPanels().size(), 1u);
  prompts.confirmOk = true;
  frame->RunCommand(Cmd::kDeletePanel);
  DeleteClosedWindows();
  EXPECT_TRUE(system.GetCustomPanels().empty());
  EXPECT_TRUE(Windows().isEmpty());
  EXPECT_EQ(frame->GetPanelCombo().count(), 0);
}

TEST_F(PanelWindowsTest, PanelButtons_OpenTheirPanelAndRecallTheirSnapshotByIdThroughTheFrame) {
  CSystem& system = frame->GetSystem();
  AddDevice(3);
  frame->RunCommand(Cmd::kDesignMode);
  frame->RunCommand(Cmd::kNewCustomPanel);
  frame->RunCommand(Cmd::kNewCustomPanel);
  CCPData* home = system.GetCustomPanels()[0];
  CCPData* target = system.GetCustomPanels()[1];
  target->m_pView->DestroyPanelWindow();
  DeleteClosedWindows();
  system.Snapshots().AddSnapshot("Intro");
  CSnapshot* show = system.Snapshots().AddSnapshot("Show");
  SetConfirmSnapshotRecall(true);

  auto* launch = new CCCButton(home->m_pView, CRect{10, 10, 60, 30});
  launch->m_flags = (launch->m_flags & ~kButtonActions) | kButtonLaunchPanel;
  launch->m_panelId = target->GetUuid();
  auto* recall = new CCCButton(home->m_pView, CRect{10, 50, 60, 70});
  recall->m_flags = (recall->m_flags & ~kButtonActions) | kButtonRecallSnapshot;
  recall->m_snapshotId = show->GetUuid();
  home->m_widgets.insert(home->m_widgets.end(), {launch, recall});
  frame->RunCommand(Cmd::kOperateMode);
  DeleteClosedWindows();
  CCustomControlPanelWnd* view = ViewOf(home);
  ASSERT_NE(view, nullptr);
  ASSERT_EQ(ViewOf(target), nullptr);

  // Posted, not sent: the panel opens once the click has been handled.
  view->OnLButtonDown(MK_LBUTTON, CPoint{30, 20});
  view->OnLButtonUp(0, CPoint{30, 20});
  EXPECT_EQ(ViewOf(target), nullptr);
  ProcessEvents();
  EXPECT_NE(ViewOf(target), nullptr);
  EXPECT_EQ(Windows().size(), 2);

  // The recall asks first; a refusal leaves the current snapshot as it was.
  prompts.confirmOk = false;
  view->OnLButtonDown(MK_LBUTTON, CPoint{30, 60});
  view->OnLButtonUp(0, CPoint{30, 60});
  ProcessEvents();
  EXPECT_EQ(prompts.confirms.size(), 1u);
  EXPECT_NE(system.GetCurrentSnapshot(), 1);
  prompts.confirmOk = true;
  system.SetModified(false);
  view->OnLButtonDown(MK_LBUTTON, CPoint{30, 60});
  view->OnLButtonUp(0, CPoint{30, 60});
  ProcessEvents();
  EXPECT_EQ(system.GetCurrentSnapshot(), 1);
  EXPECT_TRUE(system.IsModified());
  EXPECT_TRUE(recall->m_state);  // lit again by the recall's notice

  // A panel or snapshot deleted while its message waits is not found: nothing happens.
  view->OnLButtonDown(MK_LBUTTON, CPoint{30, 60});
  view->OnLButtonUp(0, CPoint{30, 60});
  system.Snapshots().DeleteSnapshot(1);
  const std::size_t asked = prompts.confirms.size();
  ProcessEvents();
  EXPECT_EQ(prompts.confirms.size(), asked);
  const std::string gone = CUuid{{7, 7, 7}}.ToString();
  frame->Post(CPostedMessage{FrameMsg::kOpenCustomPanel, 0, 0, 0, gone});
  frame->Post(CPostedMessage{FrameMsg::kRecallSnapshot, 0, 0, 0, gone});
  ProcessEvents();
  EXPECT_EQ(Windows().size(), 2);
  EXPECT_EQ(system.GetCustomPanels().size(), 2u);
  EXPECT_EQ(prompts.confirms.size(), asked);
}

TEST_F(PanelWindowsTest, Processors_OpenTheirNerexSeriesPanelsFromTheRackAtTheirSize) {
  RegisterProcessorFamily();
  RegisterDevicePanelClasses();
  CSystem& system = frame->GetSystem();
  const struct {
    std::uint32_t model;
    std::uint32_t hardware;
    const char* panelClass;
  } cases[] = {{120, 0, "CNerexControlPanel"}, {114, 0, "CNerexControlPanel"},
               {112, 0x1C201C, "CCalder48ControlPanel"}, {112, 0x1C4A21, "CHollin2ControlPanel"}};
  std::uint32_t id = 20;
  for (const auto& c : cases) {
    CDevice* device = system.CreateDevice(++id, c.model, c.hardware);
    system.AppendDevice(device);
    system.GetZones()[0]->AppendDevice(device);
    ASSERT_STREQ(device->GetControlPanelClass(), c.panelClass);
    PostAbout(*frame, FrameMsg::kOpenDevicePanel, device);
    ProcessEvents();
    auto* panel = dynamic_cast<CNerexSeriesControlPanel*>(device->GetControlPanel());
    ASSERT_NE(panel, nullptr) << c.panelClass;
    EXPECT_EQ(panel->size(), QSize(850, 600));
    EXPECT_EQ(CNerexPanelWidgets(*panel).GetHeaderText()->GetText().empty(), false);
    EXPECT_TRUE(panel->HasTimer(CNerexSeriesBaseControlPanel::kMeterTimerId));
    if (const char* dir = std::getenv("ORVAK_PANEL_PNG_DIR"))
      frame->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/frame-%1.png").arg(c.panelClass));
  }
}

TEST_F(PanelWindowsTest, FullScreen_OnlyThePanelAreaCoversTheScreenAndStrayPanelsComeBack) {
  CSizedTestDevice* left = AddDevice(1);
  CSizedTestDevice* right = AddDevice(2);
  CSizedTestDevice* inside = AddDevice(3);
  for (CDevice* d : {static_cast<CDevice*>(left), static_cast<CDevice*>(right), static_cast<CDevice*>(inside)})
    frame->OpenDevicePanel(d, true);
  frame->RunCommand(Cmd::kDesignMode);
  frame->RunCommand(Cmd::kNewCustomPanel);
  ASSERT_EQ(Windows().size(), 4);
  QMdiSubWindow* leftWindow = Windows()[0];
  QMdiSubWindow* rightWindow = Windows()[1];
  QMdiSubWindow* insideWindow = Windows()[2];
  QMdiSubWindow* customWindow = Windows()[3];
  // Two device panels and the custom panel lie where the area cannot show their corner.
  leftWindow->move(-250, 30);
  rightWindow->move(3000, 2000);
  insideWindow->move(140, 90);
  customWindow->move(40, 2500);
  const QSize normalSize = frame->size();

  frame->RunCommand(Cmd::kFullScreen);
  const QRect screen = frame->screen()->geometry();
  ASSERT_TRUE(WaitFor([&] { return frame->geometry() == screen && leftWindow->pos() == QPoint(0, 0); }));
  CMdiClient& area = frame->GetMdiClient();
  // The full-screen bar and the area below it.
  QWidget* bar = area.GetCloseFullScreenBar();
  EXPECT_EQ(QRect(bar->mapToGlobal(QPoint(0, 0)), QSize(area.width(), bar->height() + area.height())), screen);
  EXPECT_EQ(area.mapToGlobal(QPoint(0, 0)).y(), bar->mapToGlobal(QPoint(0, 0)).y() + bar->height());
  for (QWidget* around : std::initializer_list<QWidget*>{frame->menuBar(), frame->statusBar(), &frame->GetDeviceView(),
                                                         &frame->GetOutputPane(), &frame->GetPropertiesPane()})
    EXPECT_FALSE(around->isVisible());
  for (int i = 0; i < CMainFrame::kToolBarCount; ++i) EXPECT_FALSE(frame->GetToolBar(i)->isVisible());
  EXPECT_TRUE(frame->GetCommand(Cmd::kFullScreen)->isChecked());
  EXPECT_TRUE(frame->GetSystem().File().IsFullScreenNow());
  // Device panels first, then the custom panel, each 20 pixels on; one in view stays.
  EXPECT_EQ(rightWindow->pos(), QPoint(20, 20));
  EXPECT_EQ(customWindow->pos(), QPoint(40, 40));
  EXPECT_EQ(insideWindow->pos(), QPoint(140, 90));
  EXPECT_EQ(left->PanelPlacement().GetPanelPlacement().normalPosition.left, 0);

  // Leaving brings everything back; a panel left beyond the smaller area comes back too.
  insideWindow->move(screen.width() - 10, 90);
  frame->RunCommand(Cmd::kFullScreen);
  ASSERT_TRUE(WaitFor([&] { return frame->size() == normalSize && insideWindow->pos() == QPoint(0, 0); }));
  for (QWidget* around : std::initializer_list<QWidget*>{frame->menuBar(), frame->statusBar(), &frame->GetDeviceView(),
                                                         &frame->GetOutputPane(), &frame->GetPropertiesPane()})
    EXPECT_TRUE(around->isVisible());
  EXPECT_FALSE(frame->GetCommand(Cmd::kFullScreen)->isChecked());
  EXPECT_EQ(leftWindow->pos(), QPoint(0, 0));
  EXPECT_EQ(rightWindow->pos(), QPoint(20, 20));

  // The accelerator still reaches the frame while its menus and toolbars are put away.
  QKeyEvent ctrlF(QEvent::KeyPress, Qt::Key_F, Qt::ControlModifier);
  frame->activateWindow();
  QApplication::setActiveWindow(frame.get());
  QApplication::sendEvent(&frame->GetMdiClient(), &ctrlF);
  EXPECT_TRUE(frame->IsFullScreen());
  QApplication::sendEvent(&frame->GetMdiClient(), &ctrlF);
  EXPECT_FALSE(frame->IsFullScreen());

  // From a maximised window and back: maximised again.
  frame->showMaximized();
  ASSERT_TRUE(WaitFor([&] { return frame->isMaximized(); }));
  frame->RunCommand(Cmd::kFullScreen);
  ASSERT_TRUE(WaitFor([&] { return frame->geometry() == screen; }));
  frame->RunCommand(Cmd::kFullScreen);
  EXPECT_TRUE(WaitFor([&] { return frame->isMaximized() && frame->menuBar()->isVisible(); }));
}

// With the menus and bars put away, the panel area shows a "Close Full Screen" button, and
// Escape that the panel window leaves alone ends full screen too.
TEST_F(PanelWindowsTest, FullScreen_TheCloseButtonAndEscapeLeaveIt) {
  RegisterProcessorFamily();
  RegisterDevicePanelClasses();
  CSystem& system = frame->GetSystem();
  frame->RunCommand(33120);
  frame->OpenDevicePanel(system.GetDevice(0), true);
  auto* panel = dynamic_cast<CNerexSeriesControlPanel*>(system.GetDevice(0)->GetControlPanel());
  ASSERT_NE(panel, nullptr);
  QPushButton* button = frame->GetMdiClient().GetCloseFullScreenButton();
  ASSERT_NE(button, nullptr);
  EXPECT_FALSE(button->isVisible());
  const QRect screen = frame->screen()->geometry();
  auto enter = [&] {
    frame->RunCommand(Cmd::kFullScreen);
    return WaitFor([&] { return frame->geometry() == screen; });
  };
  auto leftFullScreen = [&] {
    return !frame->IsFullScreen() && frame->menuBar()->isVisible() && frame->statusBar()->isVisible() &&
           !button->isVisible() && !frame->GetCommand(Cmd::kFullScreen)->isChecked();
  };

  ASSERT_TRUE(enter());
  ASSERT_TRUE(button->isVisible());
  EXPECT_EQ(button->text(), QStringLiteral("Close Full Screen"));
  // At the right end of a bar of its own above the area, whole: panel windows and scroll bars
  // lie below the bar, also a window at the area's top-right corner.
  CMdiClient& area = frame->GetMdiClient();
  QWidget* bar = area.GetCloseFullScreenBar();
  ASSERT_TRUE(bar->isVisible());
  auto global = [](const QWidget* w) { return QRect(w->mapToGlobal(QPoint(0, 0)), w->size()); };
  const QRect place = global(button);
  EXPECT_TRUE(global(bar).contains(place));
  EXPECT_LT(global(bar).right() - place.right(), 40);
  EXPECT_LT(place.top() - global(bar).top(), 40);
  EXPECT_EQ(bar->width(), area.width());
  EXPECT_LT(global(bar).bottom(), global(area.viewport()).top());
  Windows()[0]->move(area.viewport()->width() - 300, area.viewport()->height() - 100);
  ProcessEvents();
  ASSERT_TRUE(area.verticalScrollBar()->isVisible());
  EXPECT_FALSE(global(area.verticalScrollBar()).intersects(global(bar)));
  Windows()[0]->move(area.viewport()->width() - 300, 0);
  ProcessEvents();
  EXPECT_FALSE(global(Windows()[0]).intersects(global(bar)));
  const QImage shot = frame->grab().toImage();
  if (const char* dir = std::getenv("ORVAK_PANEL_PNG_DIR")) shot.save(QString::fromLocal8Bit(dir) + "/frame-full-screen.png");
  // The button's face is drawn there: light, unlike the dark bar; the panel's top right, just
  // below the button, shows the panel's own drawing.
  const QPoint centre = button->mapTo(frame.get(), button->rect().center());
  int light = 0;
  for (int dx = -20; dx <= 20; ++dx) light += qGray(shot.pixel(centre.x() + dx, centre.y() - 6)) > 150 ? 1 : 0;
  EXPECT_GT(light, 30);
  const QImage own = Windows()[0]->grab().toImage();
  for (const QPoint inWindow : {QPoint(260, 4), QPoint(260, 40)})
    EXPECT_EQ(shot.pixel(Windows()[0]->mapTo(frame.get(), inWindow)), own.pixel(inWindow));

  // A click on the button.
  const QPointF inside(button->width() / 2.0, button->height() / 2.0);
  QMouseEvent press(QEvent::MouseButtonPress, inside, button->mapToGlobal(inside), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, inside, button->mapToGlobal(inside), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(button, &press);
  QApplication::sendEvent(button, &release);
  EXPECT_TRUE(WaitFor(leftFullScreen));

  // Escape in the device panel window, and in the bare area.
  for (QWidget* target : {static_cast<QWidget*>(panel), static_cast<QWidget*>(area.viewport())}) {
    ASSERT_TRUE(enter());
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(target, &escape);
    EXPECT_TRUE(WaitFor(leftFullScreen)) << target->metaObject()->className();
  }
  // Without full screen Escape changes nothing.
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(panel, &escape);
  EXPECT_FALSE(frame->IsFullScreen());
}

// While a widget is dragged in design mode, Escape cancels the drag and full screen stays.
TEST_F(PanelWindowsTest, FullScreen_EscapeInADesignDragCancelsOnlyTheDrag) {
  AddDevice(1);
  auto* button = new CCCButton(nullptr, CRect{20, 20, 80, 50});
  CCPData* data = NewDesignPanelWith(*frame, button);
  CCustomControlPanelWnd* view = ViewOf(data);
  ASSERT_NE(view, nullptr);
  const QRect screen = frame->screen()->geometry();
  frame->RunCommand(Cmd::kFullScreen);
  ASSERT_TRUE(WaitFor([&] { return frame->geometry() == screen; }));
  view->OnLButtonDown(0, CPoint{30, 30});
  view->OnMouseMove(MK_LBUTTON, CPoint{70, 60});
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(view, &escape);
  EXPECT_FALSE(view->Designer().IsMoving());
  EXPECT_TRUE(frame->IsFullScreen());
  view->OnLButtonUp(0, CPoint{70, 60});
  EXPECT_EQ(button->m_rect, (CRect{20, 20, 80, 50}));
  // Nothing left to cancel: the next Escape leaves full screen.
  QApplication::sendEvent(view, &escape);
  EXPECT_TRUE(WaitFor([&] { return !frame->IsFullScreen() && frame->menuBar()->isVisible(); }));
}

// Design mode: the properties pane's Position and Size rows follow the widget while the mouse
// moves or resizes it, at the drop, after Escape and after a nudge with the arrow keys.
TEST_F(PanelWindowsTest, DesignMode_PositionAndSizeRowsFollowTheWidgetWhileItMovesAndResizes) {
  AddDevice(1);
  auto* widget = new CCCButton(nullptr, CRect{20, 50, 80, 80});
  CCPData* data = NewDesignPanelWith(*frame, widget, false);
  CCustomControlPanelWnd* view = ViewOf(data);
  ASSERT_NE(view, nullptr);
  CDevicePropertiesCtrl& grid = frame->GetPropertiesPane().GetGrid();
  // The texts the grid shows.
  auto shown = [&](const char* name) {
    const CDeviceProperty* row = grid.FindRow(name);
    const QTreeWidgetItem* item = row ? grid.ItemOf(row) : nullptr;
    return item ? item->text(1).toStdString() : std::string("(none)");
  };
  auto mouse = [&](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(at), view->mapToGlobal(QPointF(at)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(view, &event);
  };
  auto drag = [&](QPoint from, QPoint to) {
    mouse(QEvent::MouseButtonPress, from, Qt::LeftButton);
    mouse(QEvent::MouseMove, to, Qt::LeftButton);
  };

  mouse(QEvent::MouseButtonPress, {30, 60}, Qt::LeftButton);
  mouse(QEvent::MouseButtonRelease, {30, 60}, Qt::NoButton);
  ASSERT_EQ(grid.GetCurrentWidget(), widget);
  EXPECT_EQ(shown("Position"), "20, 50");
  EXPECT_EQ(shown("Size"), "60, 30");

  // A move: the rows follow the ghost, and keep the place it is dropped at.
  drag({30, 60}, {70, 190});
  EXPECT_EQ(shown("Position"), "60, 180");
  EXPECT_EQ(widget->m_rect.left, 20);
  mouse(QEvent::MouseButtonRelease, {70, 190}, Qt::NoButton);
  EXPECT_EQ(widget->m_rect, (CRect{60, 180, 120, 210}));
  EXPECT_EQ(shown("Position"), "60, 180");
  EXPECT_EQ(shown("Size"), "60, 30");

  // A resize by the right-hand handle, then one cancelled with Escape.
  const CRect handle = CCustomPanelDesigner::GetHandleRect(widget, 2);
  const QPoint grip((handle.left + handle.right) / 2, (handle.top + handle.bottom) / 2);
  drag(grip, grip + QPoint(170, 0));
  EXPECT_EQ(shown("Size"), "230, 30");
  mouse(QEvent::MouseButtonRelease, grip + QPoint(170, 0), Qt::NoButton);
  EXPECT_EQ(widget->m_rect.Width(), 230);
  EXPECT_EQ(shown("Size"), "230, 30");
  const QPoint wider((CCustomPanelDesigner::GetHandleRect(widget, 2).left + CCustomPanelDesigner::GetHandleRect(widget, 2).right) / 2,
                     grip.y());
  drag(wider, wider + QPoint(40, 0));
  EXPECT_EQ(shown("Size"), "270, 30");
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(view, &escape);
  mouse(QEvent::MouseButtonRelease, wider + QPoint(40, 0), Qt::NoButton);
  EXPECT_EQ(widget->m_rect.Width(), 230);
  EXPECT_EQ(shown("Size"), "230, 30");

  // A nudge with the arrow key.
  QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
  QApplication::sendEvent(view, &right);
  EXPECT_EQ(widget->m_rect.left, 61);
  EXPECT_EQ(shown("Position"), "61, 180");
  if (const char* dir = std::getenv("ORVAK_PANEL_PNG_DIR"))
    frame->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/frame-design-rows.png"));
}

// Design mode, the properties pane on a knob: letters typed into its number rows are refused
// with a word and the knob keeps its angle; after a refused radius the row shows the radius the
// knob took last, not the one it had when the pane was filled.
TEST_F(PanelWindowsTest, DesignMode_KnobRowsRefuseTextThatIsNoNumberAndShowWhatTheKnobHolds) {
  AddDevice(1);
  auto* knob = new CCCKnob(nullptr, CRect{20, 20, 120, 120});
  CCPData* data = NewDesignPanelWith(*frame, knob);
  CCustomControlPanelWnd* view = ViewOf(data);
  ASSERT_NE(view, nullptr);
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(70, 70), view->mapToGlobal(QPointF(70, 70)), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(view, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(70, 70), view->mapToGlobal(QPointF(70, 70)),
                      Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(view, &release);
  CDevicePropertiesCtrl& grid = frame->GetPropertiesPane().GetGrid();
  ASSERT_EQ(grid.GetCurrentWidget(), knob);
  auto type = [&](const char* name, const char* text) { TypeIntoRow(grid, name, text); };
  auto shown = [&](const char* name) { return grid.ItemOf(grid.FindRow(name))->text(1).toStdString(); };

  const std::int32_t angle = knob->m_maxAngle;
  type("Max Angle", "ten");
  EXPECT_EQ(knob->m_maxAngle, angle);
  EXPECT_EQ(shown("Max Angle"), std::to_string(angle));
  EXPECT_EQ(grid.GetErrorTipText(), "\"ten\" is not a number");
  type("Max Angle", "4294967308");
  EXPECT_EQ(knob->m_maxAngle, angle);
  EXPECT_EQ(grid.GetErrorTipText(), "4294967308 is out of range");

  type("Notch Radius", "20");
  EXPECT_EQ(knob->m_notchRadius, 20u);
  type("Notch Radius", "999");
  EXPECT_EQ(knob->m_notchRadius, 20u);
  EXPECT_EQ(grid.GetErrorTipText(), "Radius cannot be greater than 49");
  EXPECT_EQ(shown("Notch Radius"), "20");
  type("Notch Radius", "12abc");
  EXPECT_EQ(knob->m_notchRadius, 20u);
  EXPECT_EQ(shown("Notch Radius"), "20");
  if (const char* dir = std::getenv("ORVAK_PANEL_PNG_DIR"))
    frame->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/frame-knob-refusal.png"));
}

// Design mode, the properties pane on a knob bound to a processor's gain with its range held to
// +4 dB: entering the Parameter row and leaving it, or cancelling its "...", keeps the range the
// knob and the pane show; a parameter chosen in the dialog brings its own range.
TEST_F(PanelWindowsTest, DesignMode_AKnobKeepsItsRangeWhenItsParameterRowIsLeftUnchanged) {
  RegisterProcessorFamily();
  CSystem& system = frame->GetSystem();
  frame->RunCommand(33120);  // a Nerex48
  CDevice* nerex = system.GetDevice(0);
  auto* knob = new CCCKnob(nullptr, CRect{20, 20, 120, 120});
  knob->m_pDevice = nerex;
  knob->m_parameterId = 13;  // Input A gain
  const CParamInfo gain = knob->GetParameterInfo();
  ASSERT_GT(gain.maximum, 4.5f);
  knob->m_rangeMax = gain.maximum;
  knob->m_rangeMin = gain.minimum;
  CCustomControlPanelWnd* view = ViewOf(NewDesignPanelWith(*frame, knob));
  ASSERT_NE(view, nullptr);
  knob->m_pView = view;
  auto click = [&](QPoint at) {
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), view->mapToGlobal(QPointF(at)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at), view->mapToGlobal(QPointF(at)), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(view, &release);
    ProcessEvents();
  };
  click({70, 70});
  CDevicePropertiesCtrl& grid = frame->GetPropertiesPane().GetGrid();
  ASSERT_EQ(grid.GetCurrentWidget(), knob);
  auto shown = [&](const char* name) { return grid.ItemOf(grid.FindRow(name))->text(1).toStdString(); };
  TypeIntoRow(grid, "Range Max", "4");
  ASSERT_FLOAT_EQ(knob->m_rangeMax, 4.0f);
  ProcessEvents();
  ASSERT_EQ(shown("Range Max"), "4.0 dB");
  auto expectFourDb = [&](const char* after) {
    SCOPED_TRACE(after);
    EXPECT_FLOAT_EQ(knob->m_rangeMax, 4.0f);
    EXPECT_FLOAT_EQ(knob->m_rangeMin, gain.minimum);
    EXPECT_EQ(shown("Range Max"), "4.0 dB");
    // The pane filled again, as a click beside the knob and on it fills it.
    click({200, 200});
    click({70, 70});
    ASSERT_EQ(grid.GetCurrentWidget(), knob);
    EXPECT_EQ(shown("Range Max"), "4.0 dB");
  };

  // The Parameter row entered, then another row clicked (which commits it) and left by Escape.
  ASSERT_TRUE(grid.BeginEdit(grid.FindRow("Parameter")));
  ASSERT_TRUE(grid.BeginEdit(grid.FindRow("Knob Colour")));
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(grid.GetEditor()->findChild<QLineEdit*>(), &escape);
  ProcessEvents();
  expectFourDb("the row entered and left");

  // The "..." pressed and the dialog cancelled.
  auto pick = [&](const std::function<void(CParameterSelectionDlg&)>& answer) {
    ASSERT_TRUE(grid.BeginEdit(grid.FindRow("Parameter")));
    auto* more = grid.GetEditor()->findChild<QToolButton*>(QStringLiteral("RowButton"));
    ASSERT_NE(more, nullptr);
    AnswerNextModal<CParameterSelectionDlg>(answer);
    more->click();
    ProcessEvents();
  };
  pick([](CParameterSelectionDlg& dialog) { dialog.CancelButton()->click(); });
  expectFourDb("the dialog cancelled");
  EXPECT_EQ(knob->m_parameterId, 13u);

  // Another parameter chosen: the knob takes its range.
  pick([](CParameterSelectionDlg& dialog) {
    QListWidget* list = dialog.ParameterList();
    for (int row = 0; row < list->count(); ++row)
      if (list->item(row)->text().contains(QStringLiteral("Gain")) && row != list->currentRow()) {
        list->setCurrentRow(row);
        break;
      }
    dialog.UseButton()->click();
  });
  ASSERT_NE(knob->m_parameterId, 13u);
  const CParamInfo chosen = knob->GetParameterInfo();
  EXPECT_FLOAT_EQ(knob->m_rangeMax, chosen.maximum);
  EXPECT_FLOAT_EQ(knob->m_rangeMin, chosen.minimum);
  EXPECT_NE(shown("Range Max"), "4.0 dB");
}

TEST_F(PanelWindowsTest, NextAndPreviousPane_F6AndShiftF6MoveTheFocusAroundTheShownPanes) {
  CSizedTestDevice* device = AddDevice(1);
  frame->OpenDevicePanel(device, true);
  frame->activateWindow();
  QApplication::setActiveWindow(frame.get());
  CDeviceRack& rack = frame->GetDeviceView().GetRack();
  rack.setFocus();
  auto press = [&](Qt::KeyboardModifiers modifiers) {
    QKeyEvent f6(QEvent::KeyPress, Qt::Key_F6, modifiers);
    QApplication::sendEvent(QApplication::focusWidget(), &f6);
    return QApplication::focusWidget();
  };
  ASSERT_EQ(QApplication::focusWidget(), &rack);
  QWidget* panel = dynamic_cast<QWidget*>(device->GetControlPanel());
  EXPECT_TRUE(press(Qt::NoModifier) == panel || panel->isAncestorOf(QApplication::focusWidget()));
  EXPECT_TRUE(frame->GetOutputPane().isAncestorOf(press(Qt::NoModifier)));
  EXPECT_EQ(press(Qt::NoModifier), &frame->GetPropertiesPane().GetGrid());
  EXPECT_EQ(press(Qt::NoModifier), &rack);
  EXPECT_EQ(press(Qt::ShiftModifier), &frame->GetPropertiesPane().GetGrid());
  // A hidden pane is passed over.
  frame->GetOutputPane().hide();
  QWidget* next = press(Qt::NoModifier);
  EXPECT_EQ(next, &rack);
  next = press(Qt::NoModifier);
  EXPECT_TRUE(next == panel || panel->isAncestorOf(next));
  EXPECT_EQ(press(Qt::NoModifier), &frame->GetPropertiesPane().GetGrid());
}

TEST_F(PanelWindowsTest, CopyAndPaste_FollowTheObjectTheGridShowsNotTheActivePanel) {
  RegisterProcessorFamily();
  CSystem& system = frame->GetSystem();
  frame->RunCommand(33120);
  CDevice* nerex = system.GetDevice(0);
  frame->RunCommand(Cmd::kDesignMode);
  frame->RunCommand(Cmd::kNewCustomPanel);
  CCPData* data = system.GetCustomPanels()[0];
  CCustomControlPanelWnd* view = ViewOf(data);
  ASSERT_NE(view, nullptr);
  auto* led = new CCCLED(nullptr, CRect{20, 20, 40, 40});
  data->m_widgets.push_back(led);
  view->RebuildDisplay();
  ASSERT_EQ(FindPanelFrame(view), frame->GetMdiClient().activeSubWindow());
  auto enabled = [&](std::uint32_t id) {
    frame->UpdateCommandUI();
    return frame->GetCommand(id)->isEnabled();
  };

  // A custom panel is active in design mode, but the grid shows the device: the device copies.
  frame->GetPropertiesPane().ShowDeviceProperties(true, nerex);
  EXPECT_TRUE(enabled(Cmd::kEditCopy));
  frame->RunCommand(Cmd::kEditCopy);
  EXPECT_TRUE(enabled(Cmd::kEditPaste));
  EXPECT_TRUE(system.GetCopiedWidgets().empty());

  // The grid shows the panel: Copy needs a selected widget, Paste a copied one.
  frame->GetPropertiesPane().ShowPanelProperties(true, view);
  EXPECT_FALSE(enabled(Cmd::kEditCopy));
  EXPECT_FALSE(enabled(Cmd::kEditPaste));
  view->Designer().AddToSelection(led);
  EXPECT_TRUE(enabled(Cmd::kEditCopy));
  frame->RunCommand(Cmd::kEditCopy);
  EXPECT_EQ(system.GetCopiedWidgets().size(), 1u);
  EXPECT_TRUE(enabled(Cmd::kEditPaste));
  frame->RunCommand(Cmd::kEditPaste);
  EXPECT_EQ(data->m_widgets.size(), 2u);

  // Nothing in the grid: nothing to copy or paste.
  frame->GetPropertiesPane().ShowDeviceProperties(true, nullptr);
  EXPECT_FALSE(enabled(Cmd::kEditCopy));
  EXPECT_FALSE(enabled(Cmd::kEditPaste));
}
