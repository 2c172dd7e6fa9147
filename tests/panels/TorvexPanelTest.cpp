// The Torvex48 panel: its widget tree and relayout, pages and side tabs with the Router/Matrix
// view, routing lights, the channel of a right click, tooltips, the section drawings and skins,
// rendered pixels, and the panel against the simulated unit on the bus.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <array>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/draw/BitmapImage.h"
#include "core/system/System.h"
#include "core/model/User.h"
#include "devices/processor/NerexChange.h"
#include "devices/processor/NerexMessages.h"
#include "devices/processor/NerexParamIds.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "panels/framework/BitmapFader.h"
#include "panels/framework/BitmapMeter.h"
#include "panels/framework/BitmapObject.h"
#include "panels/framework/BmpButton.h"
#include "panels/processor/CompressorMeter.h"
#include "panels/framework/CustomComboBox.h"
#include "panels/framework/Knob.h"
#include "panels/processor/NerexControlPanel.h"
#include "panels/PanelClasses.h"
#include "panels/framework/TextControl.h"
#include "panels/processor/TorvexControlPanel.h"
#include "panels/processor/TorvexSeriesDEQControl.h"
#include "panels/processor/NerexSeriesPresetDlg.h"
#include "platform/Graphics.h"
#include "platform/Image.h"
#include "platform/MouseMessages.h"
#include "tests/support/ProcessorBus.h"
#include "tests/support/RecordingFrame.h"
#include "tests/support/RecordingUi.h"
#include "tests/panels/PresetNameAnswer.h"
#include "tests/support/ModelChanges.h"
#include "tests/support/ReadWhileAsked.h"

namespace {

using Panel = CTorvexControlPanel;

// Opens a panel on the device as the main frame does: bound, built, refreshed.
std::unique_ptr<Panel> OpenPanel(CNerexSeriesDevice& device) {
  auto panel = std::make_unique<Panel>();
  panel->SetDevice(&device);
  device.SetControlPanel(panel.get());
  EXPECT_TRUE(panel->Create());
  panel->UpdateAllControls();
  return panel;
}

CPoint Centre(const CControlObject* w) {
  const CRect r = w->GetRect();
  return CPoint{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

void Click(Panel& panel, const CControlObject* w) {
  const CPoint c = Centre(w);
  panel.DispatchMouseMessage(WM_LBUTTONDOWN, MK_LBUTTON, c.x, c.y);
  panel.DispatchMouseMessage(WM_LBUTTONUP, 0, c.x, c.y);
}

// The button bound to id (the page tabs have no other widget of their id).
CControlObject* FindButton(const Panel& panel, int id) {
  for (CControlObject* w : panel.GetControls())
    if (w->GetId() == id && dynamic_cast<CBmpButton*>(w)) return w;
  return nullptr;
}

// Leaves the drawing for looking at when ORVAK_PANEL_PNG_DIR names a folder.
void Save(const CImage& image, const std::string& name) {
  if (const char* dir = std::getenv("ORVAK_PANEL_PNG_DIR"))
    image.Native().save(QString::fromLocal8Bit(dir) + QStringLiteral("/") + QString::fromStdString(name));
}

class TorvexPanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    device = static_cast<CNerexSeriesDevice*>(CreateNerexSeriesDevice(&system, &frame, 121, 1, 0));
    system.AppendDevice(device);
  }
  void TearDown() override {
    if (device) device->SetControlPanel(nullptr);
    panel.reset();
  }
  Panel& Open() {
    panel = OpenPanel(*device);
    return *panel;
  }
  // Moves the panel as a click on a tab button does, through the device's change path.
  void Apply(int id, bool on = true) { ModelChange(device, MakeBoolParamValue(id, on)); }
  int VisibleCount(int group) const {
    int n = 0;
    for (const CControlObject* w : panel->GetGroup(group)) n += w->IsVisible() ? 1 : 0;
    return n;
  }
  void SetMatrixView(bool on) {
    CSingleLock lock(device->SettingsLock());
    WritableSettings(*device).outputs.mixerFlag = on ? 1 : 0;
  }

  CRecordingFrame frame;
  CSystem system;
  CNerexSeriesDevice* device = nullptr;
  std::unique_ptr<Panel> panel;
};

// --- Strips ---

// Where each widget stands on its strip is the layout's (PanelLayoutTest checks its rules);
// here, that Create builds every strip on its column and the refresh lays them out on the
// model's strip edges, each widget on its own strip.
TEST_F(TorvexPanelTest, StripsAreBuiltOnTheirColumnsAndLaidOutAgainByTheRefresh) {
  auto onStrip = [](const CControlObject* w, int x) {
    const CRect r = w->GetRect();
    return r.left >= x && r.right <= x + 65;
  };
  auto inputStrip = [](const CTorvexSeriesControlPanel& p, int i) {
    return std::vector<const CControlObject*>{p.GetInputFader(i), p.GetInputMeter(i), p.GetInputGainText(i),
                                              p.GetInputName(i), p.GetInputMute(i), p.GetInputLink(i, 3)};
  };
  auto outputStrip = [](const CTorvexSeriesControlPanel& p, int k) {
    return std::vector<const CControlObject*>{p.GetOutputStrip(k),    p.GetOutputFader(k),     p.GetOutputMeter(k),
                                              p.GetOutputGainText(k), p.GetOutputName(k),      p.GetOutputMute(k),
                                              p.GetLimiterLevel(k),   p.GetRoutingButton(k, 3), p.GetMatrixKnob(k, 2),
                                              p.GetMatrixText(k, 2),  p.GetOutputLink(k, 7)};
  };
  auto p = std::make_unique<Panel>();
  p->SetDevice(device);
  ASSERT_TRUE(p->Create());
  for (int i = 0; i < 4; ++i)
    for (const CControlObject* w : inputStrip(*p, i)) EXPECT_TRUE(onStrip(w, 15 + 66 * i)) << i;
  for (int k = 0; k < 8; ++k)
    for (const CControlObject* w : outputStrip(*p, k)) EXPECT_TRUE(onStrip(w, 315 + 66 * k)) << k;
  // Until the first refresh the limiter readouts read 0 dB.
  EXPECT_EQ(p->GetLimiterLevel(0)->GetText(), "0dB");
  const CRect createdFader = p->GetInputFader(0)->GetRect();
  p.reset();

  Open();
  for (int i = 0; i < 4; ++i)
    for (const CControlObject* w : inputStrip(*panel, i))
      EXPECT_TRUE(onStrip(w, CTorvexSeriesControlPanel::GetInputStripX(i, 4))) << i;
  for (int k = 0; k < 8; ++k)
    for (const CControlObject* w : outputStrip(*panel, k))
      EXPECT_TRUE(onStrip(w, CTorvexSeriesControlPanel::GetOutputStripX(k, 8))) << k;
  // The refresh lays the strips out again: the input faders grow upwards.
  EXPECT_LT(panel->GetInputFader(0)->GetRect().top, createdFader.top);
  EXPECT_EQ(panel->GetInputFader(0)->GetRect().bottom, createdFader.bottom);
  // The gain faders take the device's ranges.
  EXPECT_EQ(panel->GetInputFader(0)->m_maximum, device->GetParameterAt(13).maximum);
  EXPECT_EQ(panel->GetOutputFader(0)->m_minimum, device->GetParameterAt(17).minimum);
}

TEST_F(TorvexPanelTest, BandRowsAreBuiltFromTheBottomRowUp) {
  Open();
  auto indexOf = [&](int id) {
    const auto& list = panel->GetControls();
    for (std::size_t i = 0; i < list.size(); ++i)
      if (list[i]->GetId() == id && dynamic_cast<CTextControl*>(list[i])) return int(i);
    return -1;
  };
  // Input PEQ band 0 (frequency 508) is the top row, built last; band 7 the bottom row.
  EXPECT_GT(indexOf(508), indexOf(515));
  EXPECT_GT(indexOf(700), indexOf(708));
  EXPECT_LT(panel->GetControls()[std::size_t(indexOf(508))]->GetRect().bottom,
            panel->GetControls()[std::size_t(indexOf(509))]->GetRect().top);
  EXPECT_LT(panel->GetControls()[std::size_t(indexOf(514))]->GetRect().bottom,
            panel->GetControls()[std::size_t(indexOf(515))]->GetRect().top);
}

struct StripCase {
  int inputs, outputs;
  std::vector<int> inputX, outputX;
};

class TorvexStripOrigins : public ::testing::TestWithParam<StripCase> {};

TEST_P(TorvexStripOrigins, StripsAreCentredByTheChannelCounts) {
  const StripCase& c = GetParam();
  for (int i = 0; i < c.inputs; ++i)
    EXPECT_EQ(CTorvexSeriesControlPanel::GetInputStripX(i, c.inputs), c.inputX[std::size_t(i)]);
  for (int k = 0; k < c.outputs; ++k)
    EXPECT_EQ(CTorvexSeriesControlPanel::GetOutputStripX(k, c.outputs), c.outputX[std::size_t(k)]);
}

INSTANTIATE_TEST_SUITE_P(
    Counts, TorvexStripOrigins,
    ::testing::Values(StripCase{4, 8, {15, 81, 147, 213}, {315, 381, 447, 513, 579, 645, 711, 777}},
                      StripCase{2, 4, {81, 147}, {447, 513, 579, 645}}),
    [](const auto& info) { return std::to_string(info.param.inputs) + "x" + std::to_string(info.param.outputs); });

TEST_F(TorvexPanelTest, FollowsTheDeviceLive) {
  Open();
  // A change through the device's change path reaches the widgets bound to it.
  ModelChange(device, CParamValue(13 + 2, -10.0f, ParamKind::kLevel));
  EXPECT_EQ(panel->GetInputFader(2)->GetValue(), -10.0f);
  // New settings from the unit (status event 105) reload the whole panel.
  {
    CSingleLock lock(device->SettingsLock());
    WritableSettings(*device).inputs.names[1] = MakeChannelName("Vocal");
    WritableSettings(*device).outputs.routingMasks[0] = 0x04;
  }
  device->OnStatusEvent(kNerexStatusSettings);
  EXPECT_EQ(panel->GetInputName(1)->GetText(), "Vocal");
  EXPECT_TRUE(panel->GetRoutingButton(0, 2)->IsLit());
  EXPECT_FALSE(panel->GetRoutingButton(0, 0)->IsLit());
}

// --- Pages, side tabs and views ---

TEST_F(TorvexPanelTest, PageTabsShowTheirPagesAndPlaceTheChannelRow) {
  Open();
  struct {
    int tab;
    int picture;
    CPoint firstLed;
    int shownLeds;
  } pages[] = {{60, 1, {300, 60}, 4}, {61, 2, {300, 60}, 4}, {64, 3, {35, 180}, 4},
               {63, 4, {35, 155}, 8}, {65, 5, {35, 155}, 0}, {59, 0, {35, 155}, 0}};
  for (const auto& page : pages) {
    SCOPED_TRACE(page.tab);
    Click(*panel, FindButton(*panel, page.tab));
    EXPECT_EQ(device->GetPanelPage(), std::uint32_t(page.tab));
    for (int p = 0; p < 6; ++p) EXPECT_EQ(panel->GetPagePicture(p)->IsVisible(), p == page.picture) << p;
    if (page.shownLeds > 0) {
      const CRect led = panel->GetChannelSelect(1)->GetRect();
      EXPECT_EQ(led.left, page.firstLed.x + 28);
      EXPECT_EQ(led.top, page.firstLed.y);
    }
    int shown = 0;
    for (int j = 0; j < 8; ++j) shown += panel->GetChannelSelect(j)->IsVisible() ? 1 : 0;
    EXPECT_EQ(shown, page.shownLeds);
  }
  // The Input DEQ page moves the caption beside its channel row.
  Apply(64);
  EXPECT_EQ(panel->GetInputCaption()->GetRect(), (CRect{30, 145, 150, 175}));
  Apply(61);
  EXPECT_EQ(panel->GetInputCaption()->GetRect(), (CRect{295, 35, 415, 51}));
}

TEST_F(TorvexPanelTest, SourceTabSwitchesBetweenRouterAndMatrixViews) {
  Open();
  auto count = [&](auto visible) {
    int n = 0;
    for (int k = 0; k < 8; ++k)
      for (int j = 0; j < 4; ++j) n += visible(k, j) ? 1 : 0;
    return n;
  };
  auto routers = [&] { return count([&](int k, int j) { return panel->GetRoutingButton(k, j)->IsVisible(); }); };
  auto knobs = [&] {
    return count([&](int k, int j) {
      return panel->GetMatrixKnob(k, j)->IsVisible() && panel->GetMatrixText(k, j)->IsVisible();
    });
  };
  ASSERT_EQ(device->GetSideTab(), 295u);
  EXPECT_EQ(routers(), 32);
  EXPECT_EQ(knobs(), 0);
  EXPECT_TRUE(panel->GetRouterTabPicture()->IsVisible());
  EXPECT_FALSE(panel->GetMatrixTabPicture()->IsVisible());

  SetMatrixView(true);
  panel->SelectSideTab(295, true);
  EXPECT_EQ(routers(), 0);
  EXPECT_EQ(knobs(), 32);
  EXPECT_FALSE(panel->GetRouterTabPicture()->IsVisible());
  EXPECT_TRUE(panel->GetMatrixTabPicture()->IsVisible());

  // Limiters and Linking hide the Source view and its sub-tabs.
  Apply(296);
  EXPECT_EQ(VisibleCount(kPanelGroupSource), 0);
  EXPECT_TRUE(panel->GetAutoLimiters()->IsVisible());
  EXPECT_FALSE(panel->GetSideTab(3)->IsVisible());
  // The Auto Limiters list stands on the first output strip, over its limiter readouts.
  const CRect limiters = panel->GetAutoLimiters()->GetRect();
  EXPECT_GE(limiters.left, panel->GetOutputStrip(0)->GetRect().left);
  EXPECT_LE(limiters.right, panel->GetOutputStrip(0)->GetRect().right);
  EXPECT_LE(limiters.bottom, panel->GetLimiterLevel(0)->GetRect().top);
  Apply(297);
  EXPECT_EQ(VisibleCount(kPanelGroupLimiters), 0);
  EXPECT_EQ(VisibleCount(kPanelGroupLinking), 64);

  // With the Mixer controls off no side-tab view stays.
  panel->EnableAllControls(false);
  for (int g : {kPanelGroupSource, kPanelGroupLimiters, kPanelGroupLinking}) EXPECT_EQ(VisibleCount(g), 0) << g;
  EXPECT_FALSE(panel->GetSideTab(4)->IsVisible());
}

// Answers every confirmation with OK.
class CYesPrompt {
 public:
  bool AskConfirm(const std::string&, const std::string&, const std::string&, bool&) { return true; }
};

TEST_F(TorvexPanelTest, TheSubTabsSwitchTheMixingModeAndItsView) {
  CRecordingUi ui;
  CYesPrompt yes;
  ui.SetConfirmPrompt(&yes);
  system.SetUiServices(&ui);
  Open();
  // The lower sub-tab turns the matrix on: its knobs show in place of the routing buttons.
  Click(*panel, panel->GetSideTab(3));
  EXPECT_EQ(device->GetCurrentSettings().outputs.mixerFlag, 1);
  EXPECT_TRUE(panel->GetMatrixKnob(7, 3)->IsVisible());
  EXPECT_FALSE(panel->GetRoutingButton(7, 3)->IsVisible());
  EXPECT_TRUE(panel->GetMatrixTabPicture()->IsVisible());
  // The upper one turns it off again.
  Click(*panel, panel->GetSideTab(4));
  EXPECT_EQ(device->GetCurrentSettings().outputs.mixerFlag, 0);
  EXPECT_TRUE(panel->GetRoutingButton(7, 3)->IsVisible());
  EXPECT_TRUE(panel->GetRouterTabPicture()->IsVisible());
  system.SetUiServices(nullptr);
}

// A routing button asks its confirmation before the change goes in, so that a read of the unit
// asked while the question is open is taken, not overtaken by a change under way. Declined,
// the button shows the routing held again and nothing changes; confirmed, the input is routed.
TEST_F(TorvexPanelTest, ARoutingButtonAsksBeforeItsChangeGoesIn) {
  CReadWhileAsked prompt(*device);
  CRecordingUi ui;
  ui.SetConfirmPrompt(&prompt);
  system.SetUiServices(&ui);
  Open();
  Click(*panel, panel->GetSideTab(4));  // the routing view
  CBmpButton* button = panel->GetRoutingButton(2, 1);
  ASSERT_TRUE(button->IsVisible());
  ASSERT_FALSE(button->IsLit());
  const auto mask = [&] {
    CSingleLock lock(device->SettingsLock());
    return device->GetCurrentSettings().outputs.routingMasks[2];
  };
  const std::uint8_t before = mask();
  prompt.asked = 0;

  prompt.ok = false;
  Click(*panel, button);
  EXPECT_EQ(prompt.asked, 1);
  EXPECT_FALSE(button->IsLit());
  EXPECT_EQ(mask(), before);

  prompt.ok = true;
  Click(*panel, button);
  EXPECT_EQ(prompt.asked, 2);
  EXPECT_TRUE(button->IsLit());
  EXPECT_EQ(mask(), std::uint8_t(before | 0x02));
  EXPECT_FALSE(prompt.overtaken) << "a read stamped while the question is open is overtaken";
  system.SetUiServices(nullptr);
}

// The preset manager stays open in its own event loop; its Store, Recall and Clear ask their
// confirmations before their actions go in. While the manager or a confirmation is open, a
// read of the unit asked meanwhile is not overtaken, and each answered action goes in.
TEST_F(TorvexPanelTest, ThePresetManagerAndItsConfirmationsLetRepliesBeTaken) {
  CReadWhileAsked prompt(*device);
  const std::function<void()> whileOpen = std::ref(prompt);
  CRecordingUi ui;
  ui.SetConfirmPrompt(&prompt);
  system.SetUiServices(&ui);
  {
    CSingleLock lock(device->SettingsLock());
    WritablePresets(*device)[1]->sectionFlags = kSectionInputs;
    WritablePresets(*device)[1]->name = "Two";
  }
  Open();
  CBmpButton* presets = panel->GetPresetManagerButton();
  ASSERT_NE(presets, nullptr);
  ASSERT_TRUE(presets->IsVisible());
  std::vector<int> askedAfter;
  QTimer timer;
  timer.setInterval(2);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    auto* dialog = dynamic_cast<CNerexSeriesPresetDlg*>(QApplication::activeModalWidget());
    if (!dialog) return;
    timer.stop();
    whileOpen();
    dialog->List()->setCurrentRow(1);
    dialog->StoreButton()->click();  // over a stored memory: overwrite?
    askedAfter.push_back(prompt.asked);
    dialog->RecallButton()->click();
    askedAfter.push_back(prompt.asked);
    dialog->ClearButton()->click();
    askedAfter.push_back(prompt.asked);
    dialog->done(QDialog::Accepted);
  });
  timer.start();
  Click(*panel, presets);
  EXPECT_EQ(askedAfter, (std::vector<int>{2, 3, 4}));
  EXPECT_FALSE(prompt.overtaken) << "a read stamped while a question is open is overtaken";
  // Stored, recalled and cleared.
  EXPECT_EQ(device->GetPresets()[1]->sectionFlags, 0u);
  system.SetUiServices(nullptr);
}

TEST_F(TorvexPanelTest, SideTabRedrawCoversTheSectionAndSubTabsNotThePanelBottom) {
  Open();
  EXPECT_EQ(panel->GetSideTabRedrawRect(), (CRect{280, 0, 850, 342}));
}

TEST_F(TorvexPanelTest, RoutingMaskLightsTheRoutedInputsOnly) {
  Open();
  {
    CSingleLock lock(device->SettingsLock());
    WritableSettings(*device).outputs.routingMasks[3] = 0x1A;
  }
  panel->UpdateBitMaskButtons(true);
  for (int j = 0; j < 4; ++j) EXPECT_EQ(panel->GetRoutingButton(3, j)->IsLit(), j == 1 || j == 3) << j;
}

// --- Right click ---

struct RightClickCase {
  const char* name;
  std::uint32_t page;
  int selected;  // input or output of the equaliser pages
  CPoint point;
  std::uint32_t expected;
};

class TorvexRightClick : public TorvexPanelTest, public ::testing::WithParamInterface<RightClickCase> {};

TEST_P(TorvexRightClick, RecordsTheChannelOfThePage) {
  const RightClickCase& c = GetParam();
  {
    // Inputs A and C ganged, outputs 2 and 6 ganged: the pages name the group's master.
    CSingleLock lock(device->SettingsLock());
    NerexInputSection& in = WritableSettings(*device).inputs;
    in.linkMasks[0] = in.linkMasks[2] = 0x05;
    NerexOutputSection& out = WritableSettings(*device).outputs;
    out.linkMasks[1] = out.linkMasks[5] = 0x22;
  }
  Open();
  device->SetPanelPage(c.page);
  device->SetSelectedInput(std::uint32_t(c.selected));
  device->SetSelectedOutput(std::uint32_t(c.selected));
  panel->ShowPage(c.page);
  device->SetSelectedChannel(99);
  panel->OnRightClick(c.point.x, c.point.y);
  EXPECT_EQ(device->GetSelectedChannel(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Pages, TorvexRightClick,
                         ::testing::Values(RightClickCase{"MixerInputC", 59, 0, {160, 400}, 3},
                                           RightClickCase{"MixerBetweenInputStrips", 59, 0, {80, 400}, 0},
                                           RightClickCase{"MixerAboveInputs", 59, 0, {40, 100}, 0},
                                           RightClickCase{"MixerOutput1", 59, 0, {330, 300}, 5},
                                           RightClickCase{"MixerBetweenOutputStrips", 59, 0, {377, 300}, 0},
                                           RightClickCase{"DeqNamesTheMasterNotTheClick", 64, 2, {700, 400}, 1},
                                           RightClickCase{"GeqAnywhere", 60, 3, {5, 5}, 4},
                                           RightClickCase{"OutputEqMaster", 63, 5, {700, 400}, 6},
                                           RightClickCase{"CompressorStrip3", 65, 0, {230, 300}, 7},
                                           RightClickCase{"CompressorGap", 65, 0, {112, 300}, 0},
                                           RightClickCase{"CompactView", 435, 0, {100, 100}, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

// A Torvex panel whose context menu is answered with no choice.
class CMenuRecordingPanel : public CTorvexControlPanel {
 public:
  int menus = 0;

 protected:
  std::uint32_t TrackPopupMenu(const CMenu&, const QPoint&) override {
    ++menus;
    return 0;
  }
};

TEST_F(TorvexPanelTest, ARightClickOnAStripPicturePassesThroughTheWidgetsToTheMenu) {
  auto p = std::make_unique<CMenuRecordingPanel>();
  p->SetDevice(device);
  device->SetControlPanel(p.get());
  ASSERT_TRUE(p->Create());
  p->UpdateAllControls();
  const CPoint strip = CPoint{315 + 66 * 6 + 30, 300};
  p->DispatchMouseMessage(WM_RBUTTONDOWN, MK_RBUTTON, strip.x, strip.y);
  p->DispatchMouseMessage(WM_RBUTTONUP, 0, strip.x, strip.y);
  EXPECT_EQ(device->GetSelectedChannel(), 11u);
  EXPECT_EQ(p->menus, 1);
  device->SetControlPanel(nullptr);
}

// --- Tooltips ---

TEST_F(TorvexPanelTest, GeqFadersTellTheirGainOnTheGeqPageOnly) {
  Open();
  EXPECT_TRUE(panel->HasToolTips());
  EXPECT_EQ(panel->GetToolTipCount(), 0);
  {
    CSingleLock lock(device->SettingsLock());
    WritableSettings(*device).geq.bands[2][4] = -45;
    WritableSettings(*device).geq.bands[2][27] = 120;
  }
  device->SetSelectedInput(2);
  Apply(60);
  EXPECT_EQ(panel->GetToolTipCount(), 28);
  const CPoint fader5 = Centre(panel->GetGeqFader(4));
  EXPECT_EQ(panel->FindToolTip(fader5.x, fader5.y), 5);
  EXPECT_EQ(panel->GetToolTipText(5), "-4.5dB");
  EXPECT_EQ(panel->GetToolTipText(28), "12.0dB");
  EXPECT_EQ(panel->GetToolTipText(0), "");
  EXPECT_EQ(panel->GetToolTipText(29), "");
  Apply(59);
  EXPECT_EQ(panel->GetToolTipCount(), 0);
  EXPECT_EQ(panel->GetToolTipText(5), "");
}

// The preset actions ask whichever processor panel the device has for a name.
TEST_F(TorvexPanelTest, PresetNameIsAskedOverThePanel) {
  INerexPresetQuestions& asked = Open();
  AnswerPresetNameDialog("Old", "Evening");
  std::string name = "Old";
  EXPECT_TRUE(asked.AskPresetName("Rename Preset", name));
  EXPECT_EQ(name, "Evening");
}

// --- Rights and skins ---

TEST_F(TorvexPanelTest, WithoutAValidCurrentUserThePanelDrawsAndRefusesEdits) {
  system.Users().SetCurrentUser(99);
  Open();
  EXPECT_FALSE(panel->GetPresetManagerButton()->IsVisible());
  EXPECT_FALSE(panel->GetInputName(0)->IsEditable());
  EXPECT_FALSE(panel->GetDeviceNameText()->IsEditable());
  ASSERT_NE(panel->GetBackBuffer(), nullptr);
  // The header is drawn all the same.
  EXPECT_EQ(panel->GetBackBuffer()->GetPixel(6, 50).A(), 255);

  system.Users().SetCurrentUser(0);
  panel->ShowPage(59);
  panel->ApplyPermissions(false);
  EXPECT_TRUE(panel->GetPresetManagerButton()->IsVisible());
  EXPECT_TRUE(panel->GetInputName(0)->IsEditable());
  system.Users().GetUsers()[0]->SetRestrictionMask(0x04);
  panel->ShowPage(59);
  EXPECT_FALSE(panel->GetPresetManagerButton()->IsVisible());
}

TEST_F(TorvexPanelTest, SkinsAreLoadedOnceHeldByBuiltPanelsAndFreedWithTheLast) {
  ASSERT_EQ(Panel::GetInstanceCount(), 0);
  EXPECT_EQ(Panel::GetSkin(Panel::kSkinBackground), nullptr);
  Open();
  CBitmapImage* background = Panel::GetSkin(Panel::kSkinBackground);
  ASSERT_NE(background, nullptr);
  EXPECT_EQ(background->GetWidth(), 850);
  EXPECT_EQ(panel->GetSectionBuffer(kTorvexSectionCompNumbers)->GetWidth(), 800);
  auto second = OpenPanel(*device);
  EXPECT_EQ(Panel::GetInstanceCount(), 2);
  EXPECT_EQ(Panel::GetSkin(Panel::kSkinBackground), background);
  EXPECT_NE(second->GetSectionBuffer(0), panel->GetSectionBuffer(0));
  // A panel that was never built holds nothing and frees nothing.
  { Panel unbuilt; }
  EXPECT_EQ(Panel::GetSkin(Panel::kSkinBackground), background);
  second.reset();
  device->SetControlPanel(panel.get());
  EXPECT_EQ(Panel::GetSkin(Panel::kSkinBackground), background);
  panel.reset();
  device->SetControlPanel(nullptr);
  EXPECT_EQ(Panel::GetInstanceCount(), 0);
  EXPECT_EQ(Panel::GetSkin(Panel::kSkinBackground), nullptr);
  Open();
  EXPECT_NE(Panel::GetSkin(Panel::kSkinGainReductionMeter), nullptr);
}

TEST_F(TorvexPanelTest, ANerexPanelBesideKeepsItsOwnPicturesWhenTheTorvexPanelCloses) {
  auto* nerex = static_cast<CNerexSeriesDevice*>(CreateNerexSeriesDevice(&system, &frame, 120, 2, 0));
  system.AppendDevice(nerex);
  auto other = std::make_unique<CNerexControlPanel>();
  other->SetDevice(nerex);
  nerex->SetControlPanel(other.get());
  ASSERT_TRUE(other->Create());
  other->UpdateAllControls();
  Open();
  CBitmapImage* torvexBackground = Panel::GetSkin(Panel::kSkinBackground);
  ASSERT_NE(torvexBackground, nullptr);
  EXPECT_NE(torvexBackground, CNerexControlPanel::Skins().Get(CNerexSkinSet::kBackground));
  device->SetControlPanel(nullptr);
  panel.reset();
  EXPECT_EQ(Panel::GetSkin(Panel::kSkinBackground), nullptr);
  EXPECT_TRUE(CNerexControlPanel::Skins().IsLoaded());
  nerex->SetControlPanel(nullptr);
}

TEST_F(TorvexPanelTest, ATorvex48OpensThisPanelFromTheRegistry) {
  RegisterDevicePanelClasses();
  std::unique_ptr<CControlPanelWnd> opened(CreateControlPanel(device->GetControlPanelClass()));
  EXPECT_NE(dynamic_cast<CTorvexControlPanel*>(opened.get()), nullptr);
}

// --- Drawing ---

TEST_F(TorvexPanelTest, SectionDrawingsPutTheLabelsUnderTheirWidgets) {
  Open();
  EXPECT_EQ(panel->GetHeaderText()->GetText(), device->GetModelName() + "   VELDRA SIGNAL CONTROL");
  // Input strip B's letter sits on its plate (buffer x 81 + 5, y 442): some dark pixels there.
  const CImage& inputs = *panel->GetSectionBuffer(kTorvexSectionInputs)->GetImage();
  int dark = 0;
  for (int x = 86; x < 96; ++x)
    for (int y = 442; y < 456; ++y) dark += inputs.GetPixel(x, y).R() < 100 && inputs.GetPixel(x, y).A() > 200;
  EXPECT_GT(dark, 4);
  // Output numbers: one digit per strip, at strip x + 40 in the buffer.
  const CImage& numbers = *panel->GetSectionBuffer(kTorvexSectionOutputNumbers)->GetImage();
  for (int k = 0; k < 8; ++k) {
    int ink = 0;
    for (int x = 40 + 66 * k; x < 50 + 66 * k; ++x)
      for (int y = 0; y < 15; ++y) ink += numbers.GetPixel(x, y).A() > 128;
    EXPECT_GT(ink, 4) << k;
  }
  EXPECT_EQ(numbers.GetPixel(20, 7).A(), 0);
  // The side-tab section draws the Source tab and a routing overlay per output.
  const CImage& tabs = *panel->GetSectionBuffer(kTorvexSectionSideTabs)->GetImage();
  EXPECT_EQ(tabs.GetPixel(15, 190).A(), 255);
  EXPECT_EQ(tabs.GetPixel(CTorvexSeriesControlPanel::GetOutputStripX(4, 8) + 13 - 280, 200).A(), 255);
}

// Each gain fader's scale carries its numbers: beside every mark, at the height the cap's centre
// takes for that gain, a tick and the gain in figures to its left.
TEST_F(TorvexPanelTest, FaderScalesNumberTheirMarksWhereTheCapStands) {
  Open();
  const CImage& mixer = *panel->GetBackBuffer();
  auto ink = [&](int left, int right, int y) {
    int n = 0;
    for (int yy = y - 4; yy <= y + 4; ++yy)
      for (int x = left; x < right; ++x) n += mixer.GetPixel(x, yy).R() > 85;
    return n;
  };
  const struct {
    CBitmapFader* fader;
    std::vector<int> marks;
  } faders[] = {{panel->GetInputFader(0), {6, 0, -10, -20, -30, -40}},
                {panel->GetOutputFader(0), {15, 6, 0, -10, -20, -30, -40}}};
  for (const auto& f : faders) {
    const int groove = f.fader->GetRect().left;  // the strip's x + 19
    for (int db : f.marks) {
      const int y = f.fader->ValueToY(float(db));
      EXPECT_GT(ink(groove - 5, groove - 1, y), 2) << db;   // the tick
      EXPECT_GT(ink(groove - 19, groove - 6, y), 6) << db;  // the figures
    }
    // Between two marks the scale is bare.
    EXPECT_EQ(ink(groove - 19, groove - 6, f.fader->ValueToY(-15.0f)), 0);
  }
}

// The lists take the one colour named for them as their frame; their fill stays black, with
// light text on it.
TEST_F(TorvexPanelTest, ListsKeepABlackFillAndTakeTheirColourAsTheFrame) {
  Open();
  int lists = 0;
  for (const CControlObject* w : panel->GetControls()) {
    const auto* list = dynamic_cast<const CCustomComboBox*>(w);
    if (!list) continue;
    ++lists;
    const int id = list->GetId();
    const bool eqType = (id >= 604 && id < 636) || (id >= 916 && id < 988) || (id >= 1116 && id < 1132);
    EXPECT_EQ(list->m_colour1, 0xFF000000u) << id;
    EXPECT_EQ(list->m_colour2, id == 1316 ? 0xFF000000u : eqType ? 0xFFDCDCDCu : 0xFFFFFFFFu) << id;
  }
  EXPECT_GT(lists, 40);
  // Drawn on the Limiters view: output 1's attack list is dark inside, its frame white.
  Apply(59);
  Apply(296);
  const CRect r = panel->GetLimiterAttack(0)->GetRect();
  const CImage& mixer = *panel->GetBackBuffer();
  EXPECT_LT(mixer.GetPixel(r.left + 1, r.bottom - 2).R(), 40);
  EXPECT_GT(mixer.GetPixel(r.left, r.top + 4).R(), 120);
}

// On the Limiters view each output's bed is the overlay picture alone: the readouts' captions
// are part of the picture, the panel draws none over it.
TEST_F(TorvexPanelTest, LimiterCaptionsComeWithTheOverlayPicture) {
  Open();
  Apply(59);
  Apply(296);
  const CImage& overlay = *panel->GetShortOverlayImage()->GetImage();
  const CImage& tabs = *panel->GetSectionBuffer(kTorvexSectionSideTabs)->GetImage();
  for (int k : {0, 7}) {
    const int left = CTorvexSeriesControlPanel::GetOutputStripX(k, 8) - 277;
    int differing = 0;
    for (int y = 0; y < overlay.Height(); ++y)
      for (int x = 0; x < overlay.Width(); ++x) differing += overlay.GetPixel(x, y) != tabs.GetPixel(left + x, 38 + y);
    EXPECT_EQ(differing, 0) << k;
  }
  // The picture carries a caption above each of the five readouts (panel y 53, 88, 123, 168, 203).
  for (int top : {53, 88, 123, 168, 203}) {
    int ink = 0;
    for (int y = top - 38 - 13; y < top - 38 - 1; ++y)
      for (int x = 0; x < overlay.Width(); ++x) ink += overlay.GetPixel(x, y).R() > 150;
    EXPECT_GT(ink, 10) << top;
  }
}

// Opening the Output Comp page puts both level readouts of every compressor graph at the bottom
// of its scale: a graph last drawn high has nothing left to draw at the floor.
TEST_F(TorvexPanelTest, OutputCompPageStartsEveryGraphAtTheFloor) {
  Open();
  Apply(65);
  Graphics& g = *panel->GetBackBufferGraphics();
  CRect drawn{};
  for (int k = 0; k < 8; ++k) {
    CCompressorMeter* graph = panel->GetCompressorGraph(k);
    graph->m_level = 10;
    graph->DrawLevel(drawn, g, false);
    EXPECT_FALSE(IsRectEmpty(drawn)) << k;
  }
  Apply(59);
  Apply(65);
  for (int k = 0; k < 8; ++k) {
    CCompressorMeter* graph = panel->GetCompressorGraph(k);
    EXPECT_EQ(graph->m_level, graph->m_minimum) << k;
    graph->DrawLevel(drawn, g, false);
    EXPECT_TRUE(IsRectEmpty(drawn)) << k;
  }
}

TEST_F(TorvexPanelTest, RenderedPanelShowsTheLitTabsAndStripsAtTheirPlaces) {
  Open();
  const CImage& mixer = *panel->GetBackBuffer();
  Save(mixer, "torvex_mixer.png");
  // A lit tab or frame is in the skin's accent: far more red than blue.
  auto accent = [](CColour c) { return c.R() > c.B() + 60; };
  // The Mixer tab is lit, the Input GEQ tab is not.
  EXPECT_TRUE(accent(mixer.GetPixel(167, 98)));
  EXPECT_FALSE(accent(mixer.GetPixel(39, 98)));
  // The Source side tab is lit: it stands out from the Limiters tab above it.
  const CColour lit = mixer.GetPixel(299, 200), unlit = mixer.GetPixel(299, 120);
  EXPECT_GT(std::abs(lit.R() - unlit.R()) + std::abs(lit.G() - unlit.G()) + std::abs(lit.B() - unlit.B()), 90);
  // Input B's name plate is light (names are dark text).
  const CColour plate = mixer.GetPixel(81 + 50, 374);
  EXPECT_GT(plate.R(), 150);

  struct {
    int tab;
    const char* file;
    CPoint litTab;
  } pages[] = {{60, "torvex_geq.png", {39, 98}},
               {61, "torvex_peq.png", {81, 98}},
               {64, "torvex_deq.png", {123, 98}},
               {63, "torvex_output_eq.png", {249, 98}},
               {65, "torvex_comp.png", {207, 98}}};
  for (const auto& page : pages) {
    Apply(page.tab);
    Save(*panel->GetBackBuffer(), page.file);
    EXPECT_TRUE(accent(panel->GetBackBuffer()->GetPixel(page.litTab.x, page.litTab.y))) << page.file;
    EXPECT_FALSE(accent(panel->GetBackBuffer()->GetPixel(167, 98))) << page.file;
  }
  // A chosen dynamic-EQ band is framed.
  Apply(64);
  panel->SelectDeqBand(1, true);
  Save(*panel->GetBackBuffer(), "torvex_deq_band.png");
  const CColour framed = panel->GetBackBuffer()->GetPixel(279 + 186 + 1, 100);
  const CColour unframed = panel->GetBackBuffer()->GetPixel(279 + 1, 100);
  EXPECT_TRUE(accent(framed));
  EXPECT_FALSE(accent(unframed));

  Apply(59);
  Apply(296);
  Save(*panel->GetBackBuffer(), "torvex_limiters.png");
  Apply(297);
  Save(*panel->GetBackBuffer(), "torvex_linking.png");
  Apply(295);
  SetMatrixView(true);
  panel->SelectSideTab(295, true);
  Save(*panel->GetBackBuffer(), "torvex_matrix.png");
}

// --- Against the simulated unit ---

TEST(TorvexPanelBus, AMatrixKnobAndADeqHandleReachTheUnit) {
  CProcessorBus bus;
  bus.DecideOnEvents();
  CSimProcessorUnit* unit = bus.AddUnit(121, 3);
  CNerexSeriesMemory image = unit->Current();
  image.outputs.mixerFlag = 1;
  NerexDeqBand& band = image.DeqBand(0, 0);
  band.ratio = 8;
  band.frequency = 252;
  band.effect = 3;
  band.q = 84;
  unit->SetCurrent(image);
  ASSERT_TRUE(bus.Open());
  CNerexSeriesDevice* d = bus.AddDevice(121, 3);
  ASSERT_TRUE(bus.RunUntil([&] { return d->AllBlocksReceived() && d->IsConnected(); }));
  bus.System().Users().SetCurrentUser(0);
  auto panel = OpenPanel(*d);
  // The device forgets the panel before the panel goes, however the test ends.
  struct Unbind {
    CNerexSeriesDevice* device;
    ~Unbind() { device->SetControlPanel(nullptr); }
  } unbind{d};

  // Output 2's knob for input B turned down by dragging: the unit gets output 2's matrix row.
  CControlObject* knob = panel->GetMatrixKnob(1, 1);
  ASSERT_TRUE(knob->IsVisible());
  const CPoint c = Centre(knob);
  panel->DispatchMouseMessage(WM_LBUTTONDOWN, MK_LBUTTON, c.x, c.y);
  panel->DispatchMouseMessage(WM_MOUSEMOVE, MK_LBUTTON, c.x, c.y + 8);
  panel->DispatchMouseMessage(WM_LBUTTONUP, 0, c.x, c.y + 8);
  ASSERT_TRUE(bus.RunUntil([&] { return !unit->WritesOf(21).empty(); }));
  {
    CSingleLock lock(bus.System().GetLock());
    EXPECT_EQ(unit->Current().outputs.matrixLevels[1], d->GetCurrentSettings().outputs.matrixLevels[1]);
    EXPECT_EQ(d->GetCurrentSettings().outputs.matrixLevels[1][1], 40);  // 11 dB: code 150 - 110
    EXPECT_EQ(static_cast<CKnob*>(knob)->GetValue(), 11.0f);
  }

  // Input A's first DEQ band dragged up and to the right: effect and frequency reach the unit.
  Click(*panel, FindButton(*panel, 64));
  ASSERT_EQ(d->GetPanelPage(), 64u);
  CTorvexSeriesDEQControl* graph = panel->GetDeqGraph();
  ASSERT_EQ(graph->GetBands().size(), 3u);
  const CRect handle = graph->GetHandleRect(*graph->GetBands()[0]);
  const CRect g = graph->GetRect();
  panel->DispatchMouseMessage(WM_LBUTTONDOWN, MK_LBUTTON, g.left + handle.left + 4, g.top + handle.top + 4);
  panel->DispatchMouseMessage(WM_MOUSEMOVE, MK_LBUTTON, g.left + handle.left + 60, g.top + handle.top - 30);
  panel->DispatchMouseMessage(WM_LBUTTONUP, 0, g.left + handle.left + 60, g.top + handle.top - 30);
  ASSERT_TRUE(bus.RunUntil([&] {
    const CNerexSeriesMemory now = unit->Current();
    return !unit->WritesOf(kCmdDeq).empty() && now.DeqBand(0, 0).frequency != 252 && now.DeqBand(0, 0).effect != 3;
  }));
  CSingleLock lock(bus.System().GetLock());
  const CNerexSeriesMemory onUnit = unit->Current();
  const NerexDeqBand& sent = onUnit.DeqBand(0, 0);
  const NerexDeqBand& held = d->GetCurrentSettings().DeqBand(0, 0);
  EXPECT_NE(held.frequency, 252);
  EXPECT_NE(held.effect, 3);
  EXPECT_EQ(sent.frequency, held.frequency);
  EXPECT_EQ(sent.effect, held.effect);
}

}  // namespace

// The Input DEQ page shows the detector levels of one input: a click on another input's
// channel button shows that input's held readings at once, without waiting for a new reading.
TEST(TorvexPanelBus, AnotherInputOnTheDeqPageShowsItsHeldLevelsAtOnce) {
  CProcessorBus bus;
  bus.DecideOnEvents();
  CSimProcessorUnit* unit = bus.AddUnit(121, 3);
  std::array<std::uint8_t, 32> meters{};
  meters.fill(49);
  // Input A's bands at +10 dB, input B's at -15 dB, where the short and the long meter reply
  // each carry them.
  for (std::size_t first : {0u, 12u})
    for (std::size_t band = 0; band < 3; ++band) {
      meters[first + band * 4] = 12;
      meters[first + band * 4 + 1] = 37;
    }
  unit->SetMeterBytes(meters);
  ASSERT_TRUE(bus.Open());
  CNerexSeriesDevice* d = bus.AddDevice(121, 3);
  d->SetPanelPage(kNerexPageInputDeq);
  auto panel = OpenPanel(*d);
  struct Unbind {
    CNerexSeriesDevice* device;
    ~Unbind() { device->SetControlPanel(nullptr); }
  } unbind{d};
  ASSERT_TRUE(bus.RunUntil([&] { return d->AllBlocksReceived() && d->GetDeqMeter(1, 2) == -15.0f; }));
  panel->RequestMeterUpdate();
  panel->OnTimer(CNerexSeriesBaseControlPanel::kMeterTimerId);

  // The area of the page's level graphs, as drawn.
  CRect area{};
  for (const CControlObject* w : panel->GetControls())
    if (w->IsVisible() && (dynamic_cast<const CCompressorMeter*>(w) || w == panel->GetDeqGraph()))
      area = UnionRect(area, w->GetRect());
  ASSERT_FALSE(IsRectEmpty(area));
  auto drawn = [&] {
    return panel->GetBackBuffer()->Native().copy(area.left, area.top, area.Width(), area.Height());
  };
  const QImage inputA = drawn();
  Click(*panel, panel->GetChannelSelect(1));
  ASSERT_EQ(d->GetSelectedInput(), 1u);
  const QImage shown = drawn();
  EXPECT_NE(shown, inputA);
  // Drawing the held readings again changes nothing: they were drawn when the input appeared.
  panel->RequestMeterUpdate();
  panel->OnTimer(CNerexSeriesBaseControlPanel::kMeterTimerId);
  EXPECT_EQ(drawn(), shown);
  Save(*panel->GetBackBuffer(), "torvex_deq_input_b.png");
}
