// The panel window: parameter notification, redraw, the context menu, timers, tooltips, the
// panel class registry and unbinding from the device.
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QLineEdit>
#include <functional>
#include <cstdlib>

#include "tests/panels/PanelTestSupport.h"
#include "tests/support/ModelChanges.h"
#include "widgets/ErrorTip.h"

using ControlPanelTest = PanelTest;

TEST_F(ControlPanelTest, Create_ReloadsEveryBoundWidgetFromTheDevice) {
  EXPECT_EQ(panel->createCount, 1);
  EXPECT_FLOAT_EQ(panel->fader->GetValue(), -20.0f);
  EXPECT_FLOAT_EQ(panel->knob->GetValue(), -30.0f);
  EXPECT_EQ(panel->label->GetText(), "Left");
  EXPECT_EQ(panel->combo->GetCurSel(), 1);
  EXPECT_EQ(panel->GetCurrentValue(kPanelFader).value, -20.0f);
  // An id the device lacks gives the empty value.
  EXPECT_TRUE(panel->GetCurrentValue(999).IsNone());
}

TEST_F(ControlPanelTest, NotifyParameterChanged_UpdatesOnlyTheWidgetsBoundToTheId) {
  panel->NotifyParameterChanged(CParamValue(kPanelFader, 5.0f, ParamKind::kLevel));
  EXPECT_FLOAT_EQ(panel->fader->GetValue(), 5.0f);
  EXPECT_FLOAT_EQ(panel->knob->GetValue(), -30.0f);
  // Every widget with the id takes it, not just the first.
  auto* second = new CKnob(panel, kPanelFader, CRect{200, 150, 230, 180});
  second->m_minimum = -60;
  second->m_maximum = 10;
  panel->AddControl(second);
  panel->NotifyParameterChanged(CParamValue(kPanelFader, -3.0f, ParamKind::kLevel));
  EXPECT_FLOAT_EQ(panel->fader->GetValue(), -3.0f);
  EXPECT_FLOAT_EQ(second->GetValue(), -3.0f);
  // The redraw happened: the cap is where the new value puts it.
  EXPECT_EQ(panel->Pixel(11, panel->fader->ValueToY(-3.0f)), CColour{0xFFE0E0E0u});
}

TEST_F(ControlPanelTest, RedrawRect_DrawsOnlyTheAreaAndWidgetsThatMeetIt) {
  // Paint over the buffer, then redraw one area: only it is restored.
  panel->GetBackBufferGraphics()->Clear(CColour{0xFF0000FFu});
  const CRect area{0, 0, 30, 30};
  panel->RedrawRect(&area, false, true);
  EXPECT_EQ(panel->Pixel(5, 5), CWidgetTestPanel::kBackground);
  EXPECT_EQ(panel->Pixel(15, 15), CColour{0xFF00FF00u});  // the picture at (10, 10)
  EXPECT_EQ(panel->Pixel(35, 15), CColour{0xFF0000FFu});  // outside the area
  // Without the background the widgets are drawn over what is there.
  panel->GetBackBufferGraphics()->Clear(CColour{0xFF0000FFu});
  panel->RedrawRect(&area, false, false);
  EXPECT_EQ(panel->Pixel(5, 5), CColour{0xFF0000FFu});
  EXPECT_EQ(panel->Pixel(15, 15), CColour{0xFF00FF00u});
  // A hidden widget is not drawn.
  panel->picture->SetVisible(false);
  panel->RedrawRect(&area, false, true);
  EXPECT_EQ(panel->Pixel(15, 15), CWidgetTestPanel::kBackground);
}

TEST_F(ControlPanelTest, RightClick_NotTakenByAWidget_OpensTheDeviceMenu) {
  panel->DispatchMouseMessage(WM_RBUTTONDOWN, MK_RBUTTON, 5, 190);
  EXPECT_TRUE(panel->menus.empty());
  panel->DispatchMouseMessage(WM_RBUTTONUP, 0, 5, 190);
  ASSERT_EQ(panel->menus.size(), 1u);
  EXPECT_EQ(panel->menus[0], (std::vector<std::uint32_t>{57634, 57637}));
  ASSERT_EQ(panel->rightClicks.size(), 1u);
  EXPECT_EQ(panel->rightClicks[0], (CPoint{5, 190}));
  // Widgets leave right clicks alone, so the menu opens over them too.
  panel->DispatchMouseMessage(WM_RBUTTONUP, 0, 17, 100);
  EXPECT_EQ(panel->menus.size(), 2u);
  // Without a device there is no menu.
  device->SetControlPanel(nullptr);
  panel->SetDevice(nullptr);
  panel->DispatchMouseMessage(WM_RBUTTONUP, 0, 5, 190);
  EXPECT_EQ(panel->menus.size(), 2u);
  panel->SetDevice(device);
  device->SetControlPanel(panel);
}

TEST_F(ControlPanelTest, SetActiveObject_TellsTheWidgetThatLosesIt) {
  EXPECT_EQ(panel->SetActiveObject(panel->button), nullptr);
  panel->DispatchMouseMessage(WM_LBUTTONDOWN, MK_LBUTTON, 55, 15);
  EXPECT_TRUE(panel->button->IsPressed());
  // Another widget taking over ends the button's press.
  EXPECT_EQ(panel->SetActiveObject(panel->fader), panel->button);
  EXPECT_FALSE(panel->button->IsPressed());
  EXPECT_EQ(panel->GetPreviousActiveObject(), panel->button);
  panel->SetActiveObject(nullptr);
  EXPECT_EQ(panel->GetPreviousActiveObject(), panel->fader);
}

// A press ends with whatever cuts it short: another window taking over, the focus going
// elsewhere, the panel being hidden. The next click then goes to the widget under it.
TEST_F(ControlPanelTest, Press_CutShortByAnotherWindowFocusOrHiding_LetsGoOfTheMouse) {
  panel->activateWindow();
  panel->setFocus();
  QApplication::processEvents();
  QWidget other;
  const std::vector<std::function<void()>> cuts = {
      [&other] {
        other.show();
        other.activateWindow();
        QApplication::processEvents();
      },
      [this] {
        panel->activateWindow();
        QApplication::processEvents();
        panel->setFocus();
        QLineEdit elsewhere;
        elsewhere.show();
        elsewhere.setFocus();
        QApplication::processEvents();
      },
      [this] { panel->hide(); }};
  for (std::size_t i = 0; i < cuts.size(); ++i) {
    panel->show();
    panel->activateWindow();
    QApplication::processEvents();
    Press(55, 15);
    ASSERT_EQ(panel->GetActiveObject(), panel->button) << i;
    cuts[i]();
    EXPECT_EQ(panel->GetActiveObject(), nullptr) << i;
    EXPECT_FALSE(panel->button->IsPressed()) << i;
    // The fader under the next press takes it, not the button.
    Press(17, 95);
    EXPECT_EQ(panel->GetActiveObject(), panel->fader) << i;
    Release(17, 95);
  }
}

// The refusal tip is as high as its text wrapped at the tip's width, so that no line is cut
// off; it stands under the widget, or above it where the panel ends first.
TEST_F(ControlPanelTest, RefusalTip_HoldsItsWrappedTextAndStaysOverThePanel) {
  struct Case {
    const char* name;
    CRect widget;
    const char* message;
  };
  const Case cases[] = {
      {"one-line", panel->gainText->GetRect(), "Not now"},
      {"three-lines", panel->label->GetRect(),
       "Channel name cannot contain \"\xC3\xBC\" - the unit takes ASCII characters only"},
      {"at-the-foot", panel->cover->GetRect(), "Cannot change settings - the unit is not connected"},
      {"tall-widget", panel->fader->GetRect(), "Cannot change settings - the unit is not connected"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    panel->ShowRefusal(c.widget, c.message);
    CErrorTip* tip = panel->GetRefusalTip();
    ASSERT_NE(tip, nullptr);
    ASSERT_TRUE(tip->isVisible());
    EXPECT_EQ(tip->Message().toStdString(), c.message);
    const QList<QLabel*> labels = tip->findChildren<QLabel*>();
    ASSERT_EQ(labels.size(), 2);
    for (const QLabel* label : labels) {
      if (!label->isVisible()) continue;
      const int needed = label->wordWrap() ? label->heightForWidth(label->width()) : label->sizeHint().height();
      EXPECT_GE(label->height(), needed) << label->text().toStdString();
      EXPECT_GE(label->geometry().top(), 0);
      EXPECT_LE(label->geometry().bottom(), tip->height() - 1);
    }
    const QPoint origin = panel->mapToGlobal(QPoint());
    const QRect shown = tip->geometry().translated(-origin);
    if (c.widget.bottom + 2 + tip->height() <= panel->height()) {
      EXPECT_EQ(shown.top(), c.widget.bottom + 2);
    } else {
      EXPECT_GE(shown.top(), 0);
      EXPECT_LE(shown.bottom(), panel->height() - 1);
    }
    if (const char* dir = std::getenv("ORVAK_PANEL_PNG_DIR")) {
      QImage shot(panel->size(), QImage::Format_ARGB32);
      QPainter painter(&shot);
      panel->render(&painter);
      tip->render(&painter, shown.topLeft());
      painter.end();
      shot.save(QString::fromLocal8Bit(dir) + QStringLiteral("/refusal-tip-%1.png").arg(c.name));
    }
  }
}

TEST_F(ControlPanelTest, Timers_RunUntilKilled) {
  panel->SetTimer(1966, 1);
  EXPECT_TRUE(panel->HasTimer(1966));
  QElapsedTimer clock;
  clock.start();
  while (panel->ticks.size() < 2 && clock.elapsed() < 5000) QApplication::processEvents(QEventLoop::AllEvents, 20);
  ASSERT_GE(panel->ticks.size(), 2u);
  EXPECT_EQ(panel->ticks[0], 1966u);
  panel->KillTimer(1966);
  EXPECT_FALSE(panel->HasTimer(1966));
  const std::size_t count = panel->ticks.size();
  QApplication::processEvents();
  EXPECT_EQ(panel->ticks.size(), count);
}

TEST_F(ControlPanelTest, ToolTips_AreFoundByAreaAndTextComesFromThePanel) {
  EXPECT_EQ(panel->GetToolTipCount(), 1);
  EXPECT_EQ(panel->FindToolTip(17, 100), 7);
  EXPECT_EQ(panel->FindToolTip(100, 10), 0);
  EXPECT_EQ(panel->GetToolTipText(7), "Fader");
  panel->RemoveAllToolTips();
  EXPECT_EQ(panel->FindToolTip(17, 100), 0);
}

TEST_F(ControlPanelTest, Destruction_UnbindsTheDevice) {
  EXPECT_EQ(device->GetControlPanel(), panel);
  delete panel;
  panel = nullptr;
  EXPECT_EQ(device->GetControlPanel(), nullptr);
  // Changes after the panel is gone reach no window.
  ModelChange(device, CParamValue(kPanelFader, 1.0f, ParamKind::kLevel));
}

TEST(ControlPanelRegistryTest, CreatesPanelsByClassName) {
  RegisterControlPanelClass("CWidgetTestPanel", &CWidgetTestPanel::CreateObject);
  std::unique_ptr<CControlPanelWnd> panel(CreateControlPanel("CWidgetTestPanel"));
  EXPECT_NE(dynamic_cast<CWidgetTestPanel*>(panel.get()), nullptr);
  EXPECT_EQ(CreateControlPanel(nullptr), nullptr);
  EXPECT_EQ(CreateControlPanel("CNoSuchPanel"), nullptr);
  ClearControlPanelClassesForTests();
  EXPECT_EQ(CreateControlPanel("CWidgetTestPanel"), nullptr);
}

TEST_F(ControlPanelTest, ReplyWait_VeilsThePanelUntilTheDeviceStopsWaiting) {
  const QImage before = panel->grab().toImage();
  EXPECT_EQ(panel->GetReplyWaitRemaining(), 0u);
  device->ReplyTimer().StartReplyTimer();
  EXPECT_GT(panel->GetReplyWaitRemaining(), 0u);
  const QImage waiting = panel->grab().toImage();
  if (const char* png = std::getenv("ORVAK_SAVE_WAIT_PNG")) waiting.save(QString::fromUtf8(png));
  // The background corner is darker under the veil, and the text is drawn in the middle.
  EXPECT_LT(qGray(waiting.pixel(5, 190)), qGray(before.pixel(5, 190)));
  int bright = 0;
  for (int y = 80; y < 120; ++y)
    for (int x = 100; x < 200; ++x) bright += qGray(waiting.pixel(x, y)) > 200 ? 1 : 0;
  EXPECT_GT(bright, 20);
  device->OnDisconnected(false);
  EXPECT_EQ(panel->GetReplyWaitRemaining(), 0u);
  EXPECT_EQ(panel->grab().toImage().pixel(5, 190), before.pixel(5, 190));
}

namespace {

// A device that adds one item to the menu and records what the menu asks of it.
class CMenuTestDevice : public CTestDevice {
 public:
  using CTestDevice::CTestDevice;
  void BuildContextMenu(CMenu& menu, int argument) override {
    (void)argument;
    menu.AppendItem(33868, "Copy Channel A");
  }
  bool OnContextMenuCommand(std::uint32_t command, int argument) override {
    (void)argument;
    commands.push_back(command);
    return true;
  }
  void CopyToClipboard(std::uint32_t command) override { copies.push_back(command); }
  void PasteFromClipboard(std::uint32_t command) override { pastes.push_back(command); }
  std::vector<std::uint32_t> commands, copies, pastes;
};

}  // namespace

TEST(ControlPanelMenuTest, TheChosenItemReachesTheDevice) {
  CSystem system;
  auto* device = new CMenuTestDevice(&system, 2);
  system.AppendDevice(device);
  CWidgetTestPanel panel;
  panel.SetDevice(device);
  device->SetControlPanel(&panel);
  panel.Create();
  panel.UpdateAllControls();
  for (std::uint32_t choice : {33868u, 57634u, 57637u, 0u}) {
    panel.menuChoice = choice;
    panel.DispatchMouseMessage(WM_RBUTTONUP, 0, 5, 190);
  }
  ASSERT_EQ(panel.menus.size(), 4u);
  EXPECT_EQ(panel.menus[0], (std::vector<std::uint32_t>{57634, 57637, 33868}));
  EXPECT_EQ(device->commands, (std::vector<std::uint32_t>{33868}));
  EXPECT_EQ(device->copies, (std::vector<std::uint32_t>{0}));
  EXPECT_EQ(device->pastes, (std::vector<std::uint32_t>{0}));
}

namespace {

// A device whose fader parameter can be locked (its description's disabled flag).
class CLockingDevice : public CTestDevice {
 public:
  using CTestDevice::CTestDevice;
  CParamInfo GetParameterAt(int n) override {
    if (n != kPanelFader) return CDevice::GetParameterAt(n);
    CParamInfo info;
    info.name = "Fader";
    info.id = kPanelFader;
    info.kind = ParamKind::kLevel;
    info.inactive = locked ? 1 : 0;
    return info;
  }
  bool locked = false;
};

}  // namespace

TEST(ControlPanelLockTest, ADisabledParameterGreysItsWidgetsUntilItIsFreedAgain) {
  CSystem system;
  auto* device = new CLockingDevice(&system, 3);
  system.AppendDevice(device);
  device->values[kPanelFader] = CParamValue(kPanelFader, -20.0f, ParamKind::kLevel);
  device->locked = true;
  CWidgetTestPanel panel;
  panel.SetDevice(device);
  device->SetControlPanel(&panel);
  panel.Create();
  panel.UpdateAllControls();
  EXPECT_FALSE(panel.fader->IsEnabled());
  EXPECT_TRUE(panel.knob->IsEnabled());
  const CColour greyed = panel.Pixel(11, 88);
  panel.DispatchMouseMessage(WM_LBUTTONDOWN, MK_LBUTTON, 17, 140);
  panel.DispatchMouseMessage(WM_LBUTTONUP, 0, 17, 140);
  EXPECT_TRUE(device->applied.empty());
  // The lock lifts: the next notification of the parameter enables and redraws the fader.
  device->locked = false;
  panel.NotifyParameterChanged(CParamValue(kPanelFader, -20.0f, ParamKind::kLevel));
  EXPECT_TRUE(panel.fader->IsEnabled());
  EXPECT_GT(panel.Pixel(11, 88).R(), greyed.R());
  // The panel's own choice stays apart from the parameter's.
  panel.fader->SetEnabled(false);
  panel.NotifyParameterChanged(CParamValue(kPanelFader, -10.0f, ParamKind::kLevel));
  EXPECT_FALSE(panel.fader->IsEnabled());
}
