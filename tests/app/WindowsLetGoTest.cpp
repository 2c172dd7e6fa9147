// What the properties pane shows when that object goes: every command that deletes, closes or
// replaces a device, a custom panel, its window, a widget or a picture, run through the main
// frame while the pane shows the object (or what uses it). Afterwards the pane shows nothing or
// a live object, and a click on each of its rows, the Parameter row's "...", a new snapshot and
// the design/operate switch all work on live objects only.
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <functional>
#include <ostream>
#include <vector>

#include "app/CommandIds.h"
#include "app/MdiClient.h"
#include "core/file/ImageTree.h"
#include "core/model/Device.h"
#include "core/model/Link.h"
#include "core/model/Snapshot.h"
#include "core/model/User.h"
#include "core/system/System.h"
#include "core/system/Zone.h"
#include "custom/ButtonControl.h"
#include "custom/CPData.h"
#include "custom/CustomControls.h"
#include "custom/FaderControl.h"
#include "custom/KnobControl.h"
#include "devices/amplifier/AmplifierFamilies.h"
#include "devices/processor/ProcessorFamily.h"
#include "tests/app/FrameFixture.h"
#include "tests/app/SampleSystem.h"
#include "tools/devsim/SimOptions.h"
#include "ui/CCPFrame.h"
#include "ui/CustomControlPanelWnd.h"
#include "ui/DevicePropertiesPane.h"
#include "ui/ParameterSelectionDlg.h"
#include "ui/SettingsSheet.h"
#include "ui/dialogs/EditableListBox.h"
#include "ui/dialogs/LinkManagerDlg.h"
#include "ui/dialogs/TreeCtrlEx.h"
#include "ui/dialogs/UserLevelsDialog.h"
#include "tests/ui/dialogs/DialogTestSupport.h"
#include "ui/images/ImageLibraryManagerDlg.h"

namespace letgo {

constexpr std::uint32_t kLetGoPort = 14;

void DeleteClosedWindows() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

// What the pane shows before the command.
enum class EShown { kDevice, kPanel, kKnob, kFader, kButton };

// The sample system with what the commands take, opened in the frame in design mode; the
// simulator serves its units when online.
class CShownSample : public SimBusFrameTest {
 public:
  using SimBusFrameTest::frame;
  using SimBusFrameTest::prompts;

  void OpenSample(bool online) {
    RegisterProcessorFamily();
    RegisterAmplifierFamilies();
    RegisterCustomControls();
    if (online) {
      SimOptions options;
      ASSERT_TRUE(ParseSimOptions(SplitSimOptions(kSampleSystemSimulatorOptions), options));
      StartBus(kLetGoPort, [&](CSimBus& units) {
        EXPECT_EQ(AddSimUnits(options, units), std::size_t(kSampleSystemUnitCount));
        units.SetPacing(options.baud);
      });
    }
    path = PathOf("shown.ovd");
    {
      CSystem sample;
      ASSERT_TRUE(BuildSampleSystem(sample));
      AddWhatTheCommandsTake(sample);
      ASSERT_TRUE(sample.File().SaveFile(path));
    }
    MakeFrame();
    ASSERT_TRUE(frame->Files().OpenFilePath(path));
    frame->RunCommand(Cmd::kDesignMode);
    DeleteClosedWindows();
    ASSERT_NE(View(), nullptr);
    for (CCustomControlObject* widget : Panel()->m_widgets)
      if (auto* button = dynamic_cast<CCCButton*>(widget); button && button->m_text == "Scene") recall = button;
  }

  CSystem& System() { return frame->GetSystem(); }
  CDevicePropertiesPane& Pane() { return frame->GetPropertiesPane(); }
  CDevicePropertiesCtrl& Grid() { return Pane().GetGrid(); }
  CCPData* Panel() { return System().GetCustomPanels().empty() ? nullptr : System().GetCustomPanels()[0]; }
  CCustomControlPanelWnd* View() {
    return Panel() ? dynamic_cast<CCustomControlPanelWnd*>(Panel()->m_pView) : nullptr;
  }
  template <class Widget>
  Widget* Find() {
    for (CCustomControlObject* widget : Panel()->m_widgets)
      if (auto* w = dynamic_cast<Widget*>(widget)) return w;
    return nullptr;
  }

  // A design-mode click on the panel view.
  void Click(CPoint at) {
    CCustomControlPanelWnd* view = View();
    ASSERT_NE(view, nullptr);
    const QPointF point(at.x, at.y);
    QMouseEvent press(QEvent::MouseButtonPress, point, view->mapToGlobal(point), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(view, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, point, view->mapToGlobal(point), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(view, &release);
  }
  void ClickWidget(CCustomControlObject* widget) {
    ASSERT_NE(widget, nullptr);
    Click(CPoint{(widget->m_rect.left + widget->m_rect.right) / 2, (widget->m_rect.top + widget->m_rect.bottom) / 2});
  }

  // The device at index selected in the rack, then what shown names shown in the pane.
  void Show(EShown shown, int index) {
    CDevice* device = System().GetDevice(index);
    ASSERT_NE(device, nullptr);
    System().SetSelectedDevice(index);
    PostAbout(*frame, FrameMsg::kSelectDevice, device, 1);
    ProcessEvents();
    ASSERT_EQ(Grid().GetCurrentDevice(), device);
    switch (shown) {
      case EShown::kDevice: return;
      case EShown::kPanel:
        Click(CPoint{300, 250});
        ASSERT_EQ(Grid().GetCurrentPanel(), Panel()->m_pView);
        return;
      case EShown::kKnob: ClickWidget(Find<CCCKnob>()); break;
      case EShown::kFader: ClickWidget(Find<CCCFader>()); break;
      case EShown::kButton: ClickWidget(recall); break;
    }
    ASSERT_NE(Grid().GetCurrentWidget(), nullptr);
    ASSERT_FALSE(Grid().GetGroups().empty());
  }

  // The pane's object, if any, is one the system still holds.
  void ExpectThePaneShowsALiveObject(const char* when) {
    SCOPED_TRACE(when);
    CDevicePropertiesCtrl& grid = Grid();
    if (CDevice* device = grid.GetCurrentDevice()) {
      EXPECT_GE(System().GetDeviceIndex(device), 0);
    }
    if (CCustomControlPanel* view = grid.GetCurrentPanel()) {
      bool held = false;
      for (const CCPData* panel : System().GetCustomPanels()) held = held || panel->m_pView == view;
      EXPECT_TRUE(held);
    }
    if (CCustomControlObject* widget = grid.GetCurrentWidget()) {
      bool held = false;
      for (const CCPData* panel : System().GetCustomPanels())
        for (const CCustomControlObject* w : panel->m_widgets) held = held || w == widget;
      EXPECT_TRUE(held);
    }
    if (!grid.GetCurrentDevice() && !grid.GetCurrentPanel() && !grid.GetCurrentWidget()) {
      EXPECT_TRUE(grid.GetGroups().empty());
    }
  }

  // Every row clicked in turn (its edit opens, the next click commits it unchanged), the
  // Parameter row's "..." pressed and its dialog cancelled; then a new snapshot (the pane is
  // refilled) and the design/operate switch there and back.
  void ClickEverything() {
    CDevicePropertiesCtrl& grid = Grid();
    for (std::size_t i = 0;; ++i) {
      std::vector<CDeviceProperty*> rows;
      for (const auto& group : grid.GetGroups())
        for (const auto& row : group->rows) rows.push_back(row.get());
      if (i >= rows.size()) break;
      if (!grid.BeginEdit(rows[i])) continue;
      if (rows[i]->GetName() == "Parameter") {
        if (auto* more = grid.GetEditor()->findChild<QToolButton*>(QStringLiteral("RowButton"))) {
          AnswerNextModal<CParameterSelectionDlg>([](CParameterSelectionDlg& dialog) { dialog.CancelButton()->click(); });
          more->click();
        }
      }
      grid.EndEdit(true);
      ProcessEvents();
    }
    ExpectThePaneShowsALiveObject("after a click on each row");
    prompts.snapshotCreate = CFakePrompts::SnapshotChoice{"Probe", true, -1};
    frame->RunCommand(Cmd::kNewSnapshot);
    ExpectThePaneShowsALiveObject("after New Snapshot");
    const bool design = System().GetDesignMode() != 0;
    frame->RunCommand(design ? Cmd::kOperateMode : Cmd::kDesignMode);
    DeleteClosedWindows();
    frame->RunCommand(design ? Cmd::kDesignMode : Cmd::kOperateMode);
    DeleteClosedWindows();
    ProcessEvents();
    ExpectThePaneShowsALiveObject("after the mode switches");
  }

  void GoOnline() {
    prompts.goOnlineChoice = 0;
    frame->RunCommand(Cmd::kOnline);
    ASSERT_TRUE(frame->IsOnline());
    DeleteClosedWindows();
  }
  void GoOffline() {
    ASSERT_TRUE(WaitFor(
        [&] {
          if (frame->IsOnline()) frame->RunCommand(Cmd::kOnline);
          return !frame->IsOnline();
        },
        20000));
  }

  // The frame's own dialogs for one command, answered by answer.
  template <class T>
  void RunWithItsDialog(std::uint32_t command, std::function<void(T&)> answer) {
    frame->SetUserPrompts(nullptr);
    AnswerNextModal<T>(std::move(answer));
    frame->RunCommand(command);
    frame->SetUserPrompts(&prompts);
    DeleteClosedWindows();
  }

  std::string path;
  CCCButton* recall = nullptr;

 private:
  // The sample system with a picture as the panel's background and the knob's image, the knob
  // and the fader bound to the first unit, a button that recalls a snapshot, a link, and a
  // restricted user who may use nothing.
  void AddWhatTheCommandsTake(CSystem& sample) {
    auto* picture = new CCCImage;
    picture->m_name = "stage";
    picture->m_format = kImageFormatPng;
    CImage pixels(24, 16);
    pixels.Fill(CColour::FromRgb(200, 40, 40));
    picture->SetBitmap(std::move(pixels));
    sample.Images().GetFileImages().AddChild(picture);
    CCPData* panel = sample.GetCustomPanels()[0];
    panel->m_pBackgroundImage = picture;
    panel->m_panelWasOpen = true;
    CDevice* first = sample.GetDevice(0);
    for (CCustomControlObject* widget : panel->m_widgets) {
      if (auto* knob = dynamic_cast<CCCKnob*>(widget)) knob->m_pImage = picture;
      if (dynamic_cast<CCCKnob*>(widget) || dynamic_cast<CCCFader*>(widget)) {
        std::vector<CParamInfo> offered;
        first->ListParameters(int(widget->GetControlType()), offered);
        ASSERT_FALSE(offered.empty());
        widget->m_pDevice = first;
        widget->m_parameterId = offered.front().id;
      }
    }
    CSnapshot* scene = sample.Snapshots().AddSnapshot("Scene");
    auto* button = new CCCButton;
    button->m_rect = CRect{240, 50, 300, 74};
    button->m_text = "Scene";
    button->m_flags = (button->m_flags & ~kButtonActions) | kButtonRecallSnapshot;
    button->m_snapshotId = scene->GetUuid();
    panel->m_widgets.push_back(button);
    CLink* link = sample.Links().AddLink();
    std::vector<CParamInfo> gains;
    first->ListParameters(kControlKnob, gains);
    link->AddMember(first->GetUuid(), gains.front().id);
    link->AddMember(sample.GetDevice(3)->GetUuid(), gains.front().id);
    sample.Users().SetUseSystemSecurity(true);
    sample.Users().GetUsers().push_back(new CUser("Bob", "pw"));
    sample.Users().GetUsers().back()->SetRestrictionMask(kRestrictUseDeviceControls);
    sample.Users().GetUsers().back()->m_panelPermissions.push_back(new CPanelPermissions(panel->GetUuid(), 0));
  }
};

void DeletePanel(CShownSample& t) {
  t.prompts.confirmOk = true;
  t.frame->RunCommand(Cmd::kDeletePanel);
  DeleteClosedWindows();
  EXPECT_TRUE(t.System().GetCustomPanels().empty());
}

void ClosePanelWindow(CShownSample& t) {
  QMdiSubWindow* window = t.frame->GetMdiClient().activeSubWindow();
  ASSERT_NE(window, nullptr);
  window->close();  // its close box
  DeleteClosedWindows();
  EXPECT_EQ(t.Panel()->m_pView, nullptr);
}

void DeleteClosedPanel(CShownSample& t) {
  ClosePanelWindow(t);
  DeletePanel(t);
}

void SwitchUsersAndBack(CShownSample& t) {
  t.prompts.switchToUser = 1;  // Bob, who may not use the panel
  t.frame->RunCommand(Cmd::kSwitchUsers);
  DeleteClosedWindows();
  EXPECT_EQ(t.Panel()->m_pView, nullptr);
  t.prompts.switchToUser = 0;
  t.frame->RunCommand(Cmd::kSwitchUsers);
  DeleteClosedWindows();
}

void DeletePictureInImageLibraryManager(CShownSample& t) {
  t.RunWithItsDialog<CImageLibraryManagerDlg>(Cmd::kImageLibraryManager, [](CImageLibraryManagerDlg& dialog) {
    auto* tree = dialog.findChild<QTreeWidget*>();
    ASSERT_NE(tree, nullptr);
    QList<QTreeWidgetItem*> found = tree->findItems(QStringLiteral("stage"), Qt::MatchRecursive);
    ASSERT_EQ(found.size(), 1);
    tree->setCurrentItem(found[0]);
    dialog.DeleteAction()->trigger();
    dialog.reject();
  });
  EXPECT_EQ(t.System().Images().GetFileImages().GetChildren().size(), 0u);
}

void DeleteKey(CShownSample& t) {
  QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
  QApplication::sendEvent(t.View(), &del);
}

void DeleteControlCommand(CShownSample& t) { t.frame->RunCommand(kCmdDeleteControl); }

void DeleteDevice(CShownSample& t) {
  t.prompts.confirmOk = true;
  t.frame->RunCommand(Cmd::kDeleteDevice);
  EXPECT_EQ(t.System().GetDeviceCount(), kSampleSystemUnitCount - 1);
}

void DeleteZoneWithItsDevices(CShownSample& t) {
  t.prompts.deleteZoneDevices = true;
  t.frame->RunCommand(Cmd::kDeleteZone);
  EXPECT_EQ(t.System().GetZones().size(), 1u);
  EXPECT_EQ(t.System().GetDeviceCount(), 4);
}

void DeleteZoneKeepingItsDevices(CShownSample& t) {
  t.prompts.deleteZoneDevices = false;
  t.frame->RunCommand(Cmd::kDeleteZone);
  EXPECT_EQ(t.System().GetZones().size(), 1u);
  EXPECT_EQ(t.System().GetDeviceCount(), kSampleSystemUnitCount);
}

void DeleteUser(CShownSample& t) {
  t.RunWithItsDialog<CSettingsSheet>(Cmd::kFileProperties, [](CSettingsSheet& sheet) {
    sheet.Tabs()->setCurrentIndex(1);
    CUserLevelsDialog* users = nullptr;
    for (QWidget* page : sheet.findChildren<QWidget*>())
      if (auto* levels = dynamic_cast<CUserLevelsDialog*>(page)) users = levels;
    ASSERT_NE(users, nullptr);
    users->UserList()->setCurrentRow(1);
    users->OnSelchangeUserList();
    users->DeleteButton()->click();
    sheet.accept();
  });
  EXPECT_EQ(t.System().Users().GetUsers().size(), 1u);
}

void DeleteSnapshot(CShownSample& t) {
  t.prompts.confirmOk = true;
  t.frame->RunCommand(Cmd::kDeleteSnapshot);
  EXPECT_TRUE(t.System().GetSnapshots().empty());
}

void DeleteLinkInLinkManager(CShownSample& t) {
  t.RunWithItsDialog<CLinkManagerDlg>(Cmd::kLinkManager, [](CLinkManagerDlg& dialog) {
    dialog.LinkTree()->setCurrentItem(dialog.LinkTree()->topLevelItem(0));
    dialog.DeleteLinkButton()->click();
    dialog.reject();
  });
  EXPECT_TRUE(t.System().Links().GetLinks().empty());
}

void FileNew(CShownSample& t) {
  t.System().SetModified(true);
  t.prompts.answers = {IUserPrompts::Answer::No};
  t.frame->RunCommand(Cmd::kFileNew);
  DeleteClosedWindows();
  EXPECT_TRUE(t.System().GetCustomPanels().empty());
}

void FileOpen(CShownSample& t) {
  t.System().SetModified(true);
  t.prompts.answers = {IUserPrompts::Answer::No};
  t.prompts.paths = {t.path};
  t.frame->RunCommand(Cmd::kFileOpen);
  DeleteClosedWindows();
  EXPECT_EQ(t.System().GetDeviceCount(), kSampleSystemUnitCount);
}

void RecentFile(CShownSample& t) {
  t.System().SetModified(true);
  t.prompts.answers = {IUserPrompts::Answer::No};
  t.frame->RunCommand(Cmd::kRecentFile1);
  DeleteClosedWindows();
  EXPECT_EQ(t.System().GetDeviceCount(), kSampleSystemUnitCount);
}

void OperateMode(CShownSample& t) {
  t.frame->RunCommand(Cmd::kOperateMode);
  DeleteClosedWindows();
}

void GoOnline(CShownSample& t) { t.GoOnline(); }

void GoOnlineAndOffline(CShownSample& t) {
  t.GoOnline();
  t.GoOffline();
}

void Exit(CShownSample& t) {
  t.System().SetModified(true);
  t.prompts.answers = {IUserPrompts::Answer::No};
  t.frame->RunCommand(Cmd::kAppExit);
  DeleteClosedWindows();
  t.frame.reset();
}

struct CGoneCase {
  const char* name;
  EShown shown;
  int device;   // the selected device, by index in the sample system
  bool online;  // the simulator serves the units
  void (*act)(CShownSample&);
  bool probe = true;  // false: the command closed the frame, nothing is left to click
};
void PrintTo(const CGoneCase& gone, std::ostream* out) { *out << gone.name; }

class WindowsLetGoTest : public CShownSample, public ::testing::WithParamInterface<CGoneCase> {
 protected:
  void SetUp() override {
    CShownSample::SetUp();
    OpenSample(GetParam().online);
  }
};

using S = EShown;
const CGoneCase kGoneCases[] = {
    {"DeletePanelShowingItsFader", S::kFader, 0, false, DeletePanel},
    {"DeletePanelShowingIt", S::kPanel, 0, false, DeletePanel},
    {"DeletePanelWhoseWindowIsClosed", S::kKnob, 0, false, DeleteClosedPanel},
    {"ClosePanelWindowShowingIt", S::kPanel, 0, false, ClosePanelWindow},
    {"ClosePanelWindowShowingItsKnob", S::kKnob, 0, false, ClosePanelWindow},
    {"SwitchUsersToOneWhoMayNotUseThePanelAndBack", S::kPanel, 0, false, SwitchUsersAndBack},
    {"SwitchUsersShowingAWidget", S::kFader, 0, false, SwitchUsersAndBack},
    {"DeleteThePanelsBackgroundPicture", S::kPanel, 0, false, DeletePictureInImageLibraryManager},
    {"DeleteTheKnobsPicture", S::kKnob, 0, false, DeletePictureInImageLibraryManager},
    {"DeleteKeyOnTheShownWidget", S::kKnob, 0, false, DeleteKey},
    {"DeleteControlCommandOnTheShownWidget", S::kFader, 0, false, DeleteControlCommand},
    {"DeleteTheShownDevice", S::kDevice, 2, false, DeleteDevice},
    {"DeleteTheDeviceTheShownKnobIsBoundTo", S::kKnob, 0, false, DeleteDevice},
    {"DeleteZoneWithItsDevicesShowingOne", S::kDevice, 5, false, DeleteZoneWithItsDevices},
    {"DeleteZoneKeepingItsDevicesShowingOne", S::kDevice, 5, false, DeleteZoneKeepingItsDevices},
    {"DeleteUser", S::kPanel, 0, false, DeleteUser},
    {"DeleteTheSnapshotTheShownButtonRecalls", S::kButton, 0, false, DeleteSnapshot},
    {"DeleteLinkOfTheShownDevice", S::kDevice, 0, false, DeleteLinkInLinkManager},
    {"FileNewShowingAKnob", S::kKnob, 0, false, FileNew},
    {"FileOpenShowingThePanel", S::kPanel, 0, false, FileOpen},
    {"RecentFileShowingAFader", S::kFader, 0, false, RecentFile},
    {"OperateModeShowingThePanel", S::kPanel, 0, false, OperateMode},
    {"OperateModeShowingAWidget", S::kButton, 0, false, OperateMode},
    {"GoOnlineShowingThePanel", S::kPanel, 0, true, GoOnline},
    {"GoOnlineAndOfflineShowingADevice", S::kDevice, 1, true, GoOnlineAndOffline},
    {"ExitShowingAKnob", S::kKnob, 0, false, Exit, false},
};

TEST_P(WindowsLetGoTest, ThePaneLetsGoOfWhatTheCommandRemoves) {
  Show(GetParam().shown, GetParam().device);
  GetParam().act(*this);
  if (!GetParam().probe) return;
  ProcessEvents();
  ExpectThePaneShowsALiveObject("after the command");
  ClickEverything();
  if (frame && frame->IsOnline()) GoOffline();
}

INSTANTIATE_TEST_SUITE_P(EveryPath, WindowsLetGoTest, ::testing::ValuesIn(kGoneCases),
                         [](const ::testing::TestParamInfo<CGoneCase>& info) { return std::string(info.param.name); });

// --- A deletion or a change of order on a custom panel is a change of the file ---

// The panel frame's design toolbar button of a command.
void FromTheToolbar(CShownSample& t, std::uint32_t id) {
  auto* panelFrame = dynamic_cast<CCCPFrame*>(FindPanelFrame(t.View()));
  ASSERT_NE(panelFrame, nullptr);
  t.frame->UpdateCommandUI();
  for (QAction* action : panelFrame->GetDesignToolBar()->actions()) {
    if (action->isSeparator() || action->data().toUInt() != id) continue;
    ASSERT_TRUE(action->isEnabled());
    action->trigger();
    return;
  }
  FAIL() << "no toolbar button " << id;
}

// The command chosen in the view's context menu, opened by a right click on the widget shown.
void FromTheContextMenu(CShownSample& t, std::uint32_t id) {
  bool chosen = false;
  auto* poll = new QTimer;
  poll->setInterval(0);
  QObject::connect(poll, &QTimer::timeout, [poll, id, &chosen] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu) return;
    poll->stop();
    poll->deleteLater();
    for (QAction* action : menu->actions())
      if (!action->isSeparator() && action->data().toUInt() == id) {
        menu->setActiveAction(action);
        chosen = true;
      }
    QKeyEvent enter(QEvent::KeyPress, chosen ? Qt::Key_Return : Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(menu, &enter);
  });
  poll->start();
  CCustomControlObject* widget = t.Grid().GetCurrentWidget();
  ASSERT_NE(widget, nullptr);
  const QPoint at((widget->m_rect.left + widget->m_rect.right) / 2, (widget->m_rect.top + widget->m_rect.bottom) / 2);
  QContextMenuEvent event(QContextMenuEvent::Mouse, at, t.View()->mapToGlobal(at));
  QApplication::sendEvent(t.View(), &event);
  EXPECT_TRUE(chosen) << "no menu item " << id;
}

struct CChangeCase {
  const char* name;
  void (*act)(CShownSample&);
};
void PrintTo(const CChangeCase& change, std::ostream* out) { *out << change.name; }

class DeletionsAreChangesTest : public CShownSample, public ::testing::WithParamInterface<CChangeCase> {
 protected:
  void SetUp() override {
    CShownSample::SetUp();
    OpenSample(false);
  }
};

const CChangeCase kChangeCases[] = {
    {"DeleteControlFromTheToolbar", [](CShownSample& t) { FromTheToolbar(t, kCmdDeleteControl); }},
    {"DeleteControlFromTheContextMenu", [](CShownSample& t) { FromTheContextMenu(t, kCmdDeleteControl); }},
    {"DeleteKey", DeleteKey},
    {"RaiseFromTheToolbar", [](CShownSample& t) { FromTheToolbar(t, kCmdRaise); }},
    {"LowerFromTheContextMenu", [](CShownSample& t) { FromTheContextMenu(t, kCmdLower); }},
    {"RaiseToTopFromTheContextMenu", [](CShownSample& t) { FromTheContextMenu(t, kCmdRaiseToTop); }},
    {"LowerToBottomFromTheToolbar", [](CShownSample& t) { FromTheToolbar(t, kCmdLowerToBottom); }},
    {"DeletePanelWhoseWindowIsClosed",
     [](CShownSample& t) {
       ClosePanelWindow(t);
       t.frame->RunCommand(Cmd::kFileSave);
       ASSERT_FALSE(t.System().IsModified());
       DeletePanel(t);
     }},
};

TEST_P(DeletionsAreChangesTest, MarkTheFileModifiedSoThatNewAsksToSaveThem) {
  frame->RunCommand(Cmd::kFileSave);
  ASSERT_FALSE(System().IsModified());
  Show(EShown::kKnob, 0);
  const std::vector<CCustomControlObject*> before = Panel()->m_widgets;
  ASSERT_FALSE(System().IsModified());

  GetParam().act(*this);
  if (Panel()) {
    EXPECT_NE(Panel()->m_widgets, before);
  }
  EXPECT_TRUE(System().IsModified());
  prompts.answers = {IUserPrompts::Answer::Cancel};
  frame->RunCommand(Cmd::kFileNew);
  ASSERT_EQ(prompts.questions.size(), 1u);
  EXPECT_EQ(prompts.questions[0].text, "This file has been modified, do you want to save it?");
  EXPECT_EQ(System().GetDeviceCount(), kSampleSystemUnitCount);  // cancelled: nothing dropped
}

INSTANTIATE_TEST_SUITE_P(EveryCommand, DeletionsAreChangesTest, ::testing::ValuesIn(kChangeCases),
                         [](const ::testing::TestParamInfo<CChangeCase>& info) { return std::string(info.param.name); });

// --- The pane after Switch Users follows the user who is there ---

class PaneAcrossSwitchUsersTest : public CShownSample {
 protected:
  void SetUp() override {
    CShownSample::SetUp();
    OpenSample(false);
    // Bob may not open the panel, use device controls or edit properties.
    Bob().SetRestrictionMask(kRestrictUseDeviceControls | kRestrictEditDeviceProperties);
  }
  CUser& Bob() { return *System().Users().GetUsers()[1]; }
  void SwitchUsers(int to) {
    prompts.switchToUser = to;
    frame->RunCommand(Cmd::kSwitchUsers);
    DeleteClosedWindows();
    ProcessEvents();
  }
  // The rows of the pane by name, and those of them drawn grey.
  std::vector<std::string> Rows(bool greyOnly = false) {
    std::vector<std::string> names;
    const QBrush grey = Grid().palette().brush(QPalette::Disabled, QPalette::Text);
    for (const auto& group : Grid().GetGroups())
      for (const auto& row : group->rows) {
        QTreeWidgetItem* item = Grid().ItemOf(row.get());
        if (!greyOnly || (item && item->foreground(1) == grey)) names.push_back(row->GetName());
      }
    return names;
  }
};

TEST_F(PaneAcrossSwitchUsersTest, AWidgetOfAPanelTheUserMayNotOpenLeavesThePane) {
  Show(EShown::kFader, 2);
  ASSERT_NE(Grid().FindRow("Range Max"), nullptr);

  SwitchUsers(1);
  SaveShotIfAsked(Pane(), "pane-after-switch-users");
  EXPECT_EQ(Panel()->m_pView, nullptr);
  EXPECT_EQ(Grid().GetCurrentWidget(), nullptr);
  // The selected unit's rows, grey for a user who may not edit them; none of the fader's.
  EXPECT_EQ(Grid().GetCurrentDevice(), System().GetDevice(2));
  const std::vector<std::string> rows = Rows();
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(Rows(true), rows);
  for (const char* faders : {"Range Max", "Range Min", "Parameter", "Position"})
    EXPECT_EQ(std::count(rows.begin(), rows.end(), std::string(faders)), 0) << faders;
}

TEST_F(PaneAcrossSwitchUsersTest, AWidgetsRowsNeedTheRightToEditPropertiesAndARefusedRangeIsNotKept) {
  Show(EShown::kFader, 0);
  auto* fader = Find<CCCFader>();
  const float rangeMax = fader->m_rangeMax;

  // Filled for a user without the right, the fader's rows are grey and none opens.
  System().Users().SetCurrentUser(1);
  Pane().RefreshProperties();
  SaveShotIfAsked(Pane(), "pane-widget-rows-without-the-right");
  EXPECT_EQ(Rows(true), Rows());
  EXPECT_FALSE(Grid().BeginEdit(Grid().FindRow("Range Max")));

  // An edit begun while the right was held and ended after it went is refused with words.
  System().Users().SetCurrentUser(0);
  Pane().RefreshProperties();
  BeginTypingIntoRow(Grid(), "Range Max", "5");
  System().Users().SetCurrentUser(1);
  PressEnterInRow(Grid());
  EXPECT_EQ(Grid().GetErrorTipText(), "The current user cannot edit device properties");
  EXPECT_EQ(fader->m_rangeMax, rangeMax);
  System().Users().SetCurrentUser(0);

  // What the file keeps is the range as it was.
  frame->RunCommand(Cmd::kFileSave);
  ASSERT_TRUE(frame->Files().OpenFilePath(path));
  DeleteClosedWindows();
  auto* reopened = Find<CCCFader>();
  ASSERT_NE(reopened, nullptr);
  EXPECT_EQ(reopened->m_rangeMax, rangeMax);
}

}  // namespace letgo
