// The Nerex-series panel and its model panels: strips and ids by model,
// page, side-tab and channel visibility, right clicks, tooltips, the skin sets' lifetime, the
// filter lists, the rendered panel, and the panel against a simulated Nerex48 on the bus.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <array>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/draw/BitmapImage.h"
#include "core/model/User.h"
#include "core/protocol/SevenBit.h"
#include "devices/processor/NerexChange.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexParamIds.h"
#include "panels/framework/BitmapFader.h"
#include "panels/framework/BitmapMeter.h"
#include "panels/framework/BitmapObject.h"
#include "panels/framework/BmpButton.h"
#include "panels/framework/CustomComboBox.h"
#include "panels/processor/NerexControlPanel.h"
#include "panels/processor/NerexSeriesLayout.h"
#include "panels/PanelClasses.h"
#include "panels/framework/PanelLayoutRect.h"
#include "panels/framework/TextControl.h"
#include "platform/Graphics.h"
#include "platform/Image.h"
#include "platform/MouseMessages.h"
#include "resources/ProcessorPanelLayout.h"
#include "core/support/SystemMessages.h"
#include "tests/devices/processor/ProcessorFixture.h"
#include "tests/support/ProcessorBus.h"
#include "tests/support/TextInk.h"
#include "tests/panels/PresetNameAnswer.h"
#include "tests/support/ModelChanges.h"
#include "panels/processor/NerexPanelWidgets.h"

namespace {

namespace L = nerex_layout;

// Leaves the drawing for looking at when ORVAK_PANEL_PNG_DIR names a folder.
void Save(const CImage& image, const std::string& name) {
  if (const char* dir = std::getenv("ORVAK_PANEL_PNG_DIR"))
    image.Native().save(QString::fromLocal8Bit(dir) + QStringLiteral("/") + QString::fromStdString(name));
}

// Opens the panel the device names, as the main frame does: bound, built, refreshed.
template <class Panel = CNerexSeriesControlPanel>
std::unique_ptr<Panel> OpenPanel(CNerexSeriesDevice& device) {
  RegisterDevicePanelClasses();
  std::unique_ptr<Panel> panel(dynamic_cast<Panel*>(CreateControlPanel(device.GetControlPanelClass())));
  EXPECT_TRUE(panel);
  if (!panel) return panel;
  panel->SetDevice(&device);
  device.SetControlPanel(panel.get());
  EXPECT_TRUE(panel->Create());
  panel->UpdateAllControls();
  return panel;
}

class NerexPanelTest : public ProcessorFixture {
 protected:
  void TearDown() override {
    for (auto& panel : m_panels) {
      if (panel && panel->GetDevice()) panel->GetDevice()->SetControlPanel(nullptr);
      panel.reset();
    }
    ProcessorFixture::TearDown();
  }
  CNerexSeriesControlPanel& Open(CNerexSeriesDevice& device) {
    m_panels.push_back(OpenPanel(device));
    return *m_panels.back();
  }
  std::vector<std::unique_ptr<CNerexSeriesControlPanel>> m_panels;
};

}  // namespace

// --- Rendering ---

TEST_F(NerexPanelTest, RenderedMixerPageShowsStripsHeadingsAndMeters) {
  CNerexSeriesDevice& device = Make(kModelNerex48);
  CNerexSeriesControlPanel& panel = Open(device);
  const CImage* buffer = panel.GetBackBuffer();
  ASSERT_TRUE(buffer);
  Save(*buffer, "nerex48-mixer.png");
  for (std::uint32_t page : {60u, 61u, 63u}) {
    device.PanelView().SetPanelPage(page);
    panel.ShowPage(page);
    Save(*buffer, "nerex48-page" + std::to_string(page) + ".png");
  }
  for (std::uint32_t tab : {296u, 297u}) {
    device.PanelView().SetPanelPage(59);
    device.PanelView().SetSideTab(tab);
    panel.ShowPage(59);
    Save(*buffer, "nerex48-tab" + std::to_string(tab) + ".png");
  }
  // The Calder26 and Hollin2 skins on their Mixer and Output PEQ pages.
  for (std::uint32_t hardware : {0u, kHardwareHollin2}) {
    CNerexSeriesDevice& other = Make(hardware ? kModelCalder48 : kModelCalder26, hardware ? 3 : 2, hardware);
    NameDevice(other, hardware ? "Stage Left" : "Delay Tower");
    CNerexSeriesControlPanel& skinned = Open(other);
    const std::string name = hardware ? "hollin2" : "calder26";
    Save(*skinned.GetBackBuffer(), name + "-mixer.png");
    other.PanelView().SetPanelPage(63);
    skinned.ShowPage(63);
    Save(*skinned.GetBackBuffer(), name + "-page63.png");
    EXPECT_FALSE(CNerexPanelWidgets(skinned).GetInputFader(0)->IsVisible());
  }
}

// --- Geometry and visibility by model ---

namespace {

struct ModelCase {
  int model;
  std::uint32_t hardwareCode;
  int inputs;
  int outputs;
  std::vector<int> inputEdges;
  std::vector<int> outputEdges;
  bool geqShortcut;
};

const ModelCase kModelCases[] = {
    {kModelNerex24, 0, 2, 4, {81, 147}, {447, 513, 579, 645}, true},
    {kModelCalder26, 0, 2, 6, {81, 147}, {381, 447, 513, 579, 645, 711}, false},
    {kModelNerex46, 0, 4, 6, {15, 81, 147, 213}, {381, 447, 513, 579, 645, 711}, true},
    {kModelNerex48, 0, 4, 8, {15, 81, 147, 213}, {315, 381, 447, 513, 579, 645, 711, 777}, true},
    {kModelCalder48, kHardwareHollin2, 4, 8, {15, 81, 147, 213}, {315, 381, 447, 513, 579, 645, 711, 777}, false},
};

class NerexPanelModelTest : public NerexPanelTest, public ::testing::WithParamInterface<ModelCase> {};

}  // namespace

// Where each widget stands on its strip is the layout's (PanelLayoutTest checks its rules);
// here, that every strip stands at the model's edge with all its widgets on it.
TEST_P(NerexPanelModelTest, StripsAreCentredAndOnlyTheModelsChannelsShow) {
  const ModelCase& c = GetParam();
  CNerexSeriesDevice& device = Make(c.model, 1, c.hardwareCode);
  CNerexSeriesControlPanel& panel = Open(device);
  ASSERT_EQ(panel.GetInputCount(), c.inputs);
  ASSERT_EQ(panel.GetOutputCount(), c.outputs);
  auto onStrip = [](const CControlObject* w, int x) {
    const CRect r = w->GetRect();
    return r.left >= x && r.right <= x + L::kStripWidth;
  };
  for (int i = 0; i < 4; ++i) {
    const bool exists = i < c.inputs;
    if (exists) {
      const int x = c.inputEdges[std::size_t(i)];
      EXPECT_EQ(panel.GetInputStripX(i), x);
      for (const CControlObject* w : {static_cast<const CControlObject*>(CNerexPanelWidgets(panel).GetInputFader(i)),
                                      static_cast<const CControlObject*>(CNerexPanelWidgets(panel).GetInputMeter(i)),
                                      static_cast<const CControlObject*>(CNerexPanelWidgets(panel).GetInputGainText(i)),
                                      static_cast<const CControlObject*>(CNerexPanelWidgets(panel).GetInputName(i)),
                                      static_cast<const CControlObject*>(CNerexPanelWidgets(panel).GetInputMute(i))})
        EXPECT_TRUE(onStrip(w, x)) << i;
      for (int j = 0; j < 4; ++j) EXPECT_TRUE(onStrip(CNerexPanelWidgets(panel).GetInputLink(i, j), x)) << i << j;
    }
    EXPECT_EQ(CNerexPanelWidgets(panel).GetInputFader(i)->IsVisible(), exists) << i;
    EXPECT_EQ(CNerexPanelWidgets(panel).GetInputName(i)->IsVisible(), exists) << i;
    EXPECT_EQ(CNerexPanelWidgets(panel).GetInputGeqShortcut(i)->IsVisible(), exists && c.geqShortcut) << i;
    for (int j = 0; j < 4; ++j) EXPECT_EQ(CNerexPanelWidgets(panel).GetInputLink(i, j)->IsVisible(), exists && j < c.inputs) << i << j;
  }
  for (int k = 0; k < 8; ++k) {
    const bool exists = k < c.outputs;
    if (exists) {
      const int x = c.outputEdges[std::size_t(k)];
      EXPECT_EQ(panel.GetOutputStripX(k), x);
      EXPECT_EQ(panel.GetOutputStripBackground(k)->GetRect().left, x);
      for (const CControlObject* w : {static_cast<const CControlObject*>(CNerexPanelWidgets(panel).GetOutputFader(k)),
                                      static_cast<const CControlObject*>(CNerexPanelWidgets(panel).GetOutputMeter(k)),
                                      static_cast<const CControlObject*>(CNerexPanelWidgets(panel).GetOutputGainText(k)),
                                      static_cast<const CControlObject*>(CNerexPanelWidgets(panel).GetOutputName(k)),
                                      static_cast<const CControlObject*>(CNerexPanelWidgets(panel).GetOutputMute(k)),
                                      static_cast<const CControlObject*>(CNerexPanelWidgets(panel).GetLimiterLevel(k)),
                                      static_cast<const CControlObject*>(CNerexPanelWidgets(panel).GetLimiterAttack(k))})
        EXPECT_TRUE(onStrip(w, x)) << k;
      for (int i = 0; i < 4; ++i) EXPECT_TRUE(onStrip(CNerexPanelWidgets(panel).GetRoutingButton(k, i), x)) << k << i;
      // A list opens under itself wherever its strip stands.
      EXPECT_EQ(CNerexPanelWidgets(panel).GetLimiterAttack(k)->m_dropAnchor, CNerexPanelWidgets(panel).GetLimiterAttack(k)->GetRect());
    }
    EXPECT_EQ(panel.GetOutputStripBackground(k)->IsVisible(), exists) << k;
    EXPECT_EQ(CNerexPanelWidgets(panel).GetOutputFader(k)->IsVisible(), exists) << k;
    // The Source tab is the device's default: routing rows of existing inputs on existing outputs.
    for (int i = 0; i < 4; ++i)
      EXPECT_EQ(CNerexPanelWidgets(panel).GetRoutingButton(k, i)->IsVisible(), exists && i < c.inputs) << k << i;
  }
  // The side tabs stand left of the first output strip, the Auto Limiters list on it.
  const int first = c.outputEdges.front();
  for (int t = 0; t < 3; ++t) {
    EXPECT_LE(CNerexPanelWidgets(panel).GetSideTab(t)->GetRect().right, first) << t;
    EXPECT_GE(CNerexPanelWidgets(panel).GetSideTab(t)->GetRect().left, first - 30) << t;
  }
  EXPECT_TRUE(onStrip(CNerexPanelWidgets(panel).GetAutoLimiters(), first));
}

INSTANTIATE_TEST_SUITE_P(Models, NerexPanelModelTest, ::testing::ValuesIn(kModelCases),
                         [](const ::testing::TestParamInfo<ModelCase>& info) {
                           return "Model" + std::to_string(info.param.model) +
                                  (info.param.hardwareCode ? "Hollin2" : "");
                         });

// The gain readouts keep the LCD face at its 14 points; the longest reading fits its readout
// (the segment face drawn at its own em ran over the readouts and the units' displays).
TEST_F(NerexPanelTest, GainReadoutsFitTheLongestReadingInTheLcdFace) {
  CNerexSeriesControlPanel& panel = Open(Make(kModelNerex48));
  CImage canvas(60, 20);
  Graphics g(canvas);
  CStringFormat format(StringAlignment::Center, StringAlignment::Center);
  format.noWrap = true;
  for (CTextControl* readout : {CNerexPanelWidgets(panel).GetInputGainText(0), CNerexPanelWidgets(panel).GetOutputGainText(7)}) {
    EXPECT_EQ(readout->GetTextStyle().face, "LiquidCrystal");
    EXPECT_EQ(readout->GetTextStyle().size, 1400);
    const CFont* font = readout->GetTextStyle().GetFont();
    ASSERT_TRUE(font);
    const CRect r = readout->GetRect();
    const CRectF box = g.MeasureString("-40.0 dB", *font, CRectF{0, 0, 0, 0}, format);
    EXPECT_LE(box.width, float(r.Width()));
    EXPECT_LE(box.height, float(r.Height()));
    // Still a readable size, not shrunk to a few pixels.
    EXPECT_GE(box.height, 10.0f);
  }
}

// The gain readout reads "0.0 dB" on the panel: its digits are the LCD face's, its unit is the
// text face's "dB", glyph for glyph (the segment face has no letters: its "dB" read as two
// brackets).
TEST_F(NerexPanelTest, GainReadoutShowsItsDigitsInTheLcdFaceAndItsUnitInLetters) {
  CNerexSeriesControlPanel& panel = Open(Make(kModelNerex48));
  for (CTextControl* readout : {CNerexPanelWidgets(panel).GetInputGainText(0), CNerexPanelWidgets(panel).GetOutputGainText(7)}) {
    ASSERT_EQ(readout->GetText(), "0.0 dB");
    const CFont& lcd = *readout->GetTextStyle().GetFont();
    const CFont letters = CompanionFontFor(lcd);
    EXPECT_NE(letters.face, lcd.face);
    const CInkMask shown = InkOf(*panel.GetBackBuffer(), readout->GetRect());
    EXPECT_GT(BestMatch(shown, InkOfWord("dB", letters)), 0.95);
    EXPECT_GT(BestMatch(shown, InkOfWord("0", lcd)), 0.95);
    // Other letters in the same place read worse: the match tells the glyphs apart.
    EXPECT_LT(BestMatch(shown, InkOfWord("dE", letters)), 0.9);
  }
  // Typing over a readout shows the typed letters in the text face too.
  CTextControl* readout = CNerexPanelWidgets(panel).GetInputGainText(0);
  const CRect r = readout->GetRect();
  panel.DispatchMouseMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
  ASSERT_NE(panel.GetInPlaceEditor(), nullptr);
  EXPECT_EQ(panel.GetInPlaceEditor()->font().family().toStdString(),
            ResolveFontFace(CompanionFontFor(*readout->GetTextStyle().GetFont()).face));
  panel.EndTextEdit(false);
}

// A gain readout takes a number, with its "dB" or without, and refuses any other text as it
// refuses letters: "-5x", an emptied box, "-" or "dB" alone leave the unit as it is and the
// readout showing its value. What is taken goes to the unit; its frame is decoded here.
struct ReadoutCase {
  const char* name;
  const char* typed;
  std::optional<int> tenths;  // the input gain that goes to the unit; none: nothing is sent
};

class NerexReadoutTest : public NerexPanelTest, public ::testing::WithParamInterface<ReadoutCase> {};

TEST_P(NerexReadoutTest, AGainReadoutTakesANumberOnly) {
  const ReadoutCase& c = GetParam();
  CNerexSeriesDevice& device = Make(kModelNerex48);
  OpenPort();
  Connect(device);
  ModelChange(device, CParamValue(kParamInputGain + 1, -3.0f, ParamKind::kLevel));
  CNerexSeriesControlPanel& panel = Open(device);
  CTextControl* readout = CNerexPanelWidgets(panel).GetInputGainText(1);
  ASSERT_EQ(readout->GetText(), "-3.0 dB");
  device.Queue().ClearQueue();
  const CRect r = readout->GetRect();
  panel.DispatchMouseMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
  ASSERT_NE(panel.GetInPlaceEditor(), nullptr);
  panel.GetInPlaceEditor()->setText(QString::fromUtf8(c.typed));
  panel.EndTextEdit(true);

  std::vector<int> sent;  // the input gains of the queued frames, in tenths of a dB
  for (std::size_t i = 0; i < device.Queue().GetQueueSize(); ++i) {
    const CControlMessage m = QueuedMessage(device, i);
    ASSERT_EQ(m.frame[6], 2) << "a channel gain";
    std::uint8_t raw[3] = {};
    Unpack7Bit(m.frame + 7, 3, raw);
    EXPECT_EQ(raw[0], 2) << "input B";
    sent.push_back(std::int16_t(raw[1] | raw[2] << 8));
  }
  EXPECT_EQ(sent, c.tenths ? std::vector<int>{*c.tenths} : std::vector<int>{});
  const float held = c.tenths ? float(*c.tenths) / 10.0f : -3.0f;
  EXPECT_FLOAT_EQ(device.GetCurrentValue(kParamInputGain + 1).value, held);
  EXPECT_EQ(readout->GetText(), readout->FormatValue(device.GetCurrentValue(kParamInputGain + 1)));
  // The readout while "-5x" is typed, and after: for looking at when ORVAK_PANEL_PNG_DIR is set.
  if (const char* dir = std::getenv("ORVAK_PANEL_PNG_DIR"); dir && std::string(c.name) == "NumberThenALetter") {
    const QRect around(r.left - 60, r.top - 40, r.right - r.left + 120, r.bottom - r.top + 60);
    panel.DispatchMouseMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    QLineEdit* editor = panel.GetInPlaceEditor();
    editor->setText(QString::fromUtf8(c.typed));
    QImage typing = panel.GetBackBuffer()->Native().copy(around);
    QPainter(&typing).drawPixmap(editor->geometry().topLeft() - around.topLeft(), editor->grab());
    typing.save(QString::fromLocal8Bit(dir) + "/nerex-readout-typing.png");
    panel.EndTextEdit(true);
    panel.GetBackBuffer()->Native().copy(around).save(QString::fromLocal8Bit(dir) + "/nerex-readout-refused.png");
  }
}

INSTANTIATE_TEST_SUITE_P(Texts, NerexReadoutTest,
                         ::testing::Values(ReadoutCase{"NumberThenALetter", "-5x", std::nullopt},
                                           ReadoutCase{"Emptied", "", std::nullopt},
                                           ReadoutCase{"SignOnly", "-", std::nullopt},
                                           ReadoutCase{"UnitOnly", "dB", std::nullopt},
                                           ReadoutCase{"Letters", "abc", std::nullopt},
                                           ReadoutCase{"Number", "-5", -50},
                                           ReadoutCase{"NumberWithItsUnit", " -5.5 dB ", -55},
                                           ReadoutCase{"AboveTheModelsLimit", "12", 60}),
                         [](const ::testing::TestParamInfo<ReadoutCase>& info) { return std::string(info.param.name); });

// The strip widgets carry the device's ids whatever channels the model has: a small model's
// routing buttons still send the ids of their place in the full matrix.
TEST_F(NerexPanelTest, StripControlsCarryTheDevicesIdsWhateverTheModel) {
  CNerexSeriesControlPanel& panel = Open(Make(kModelNerex24));
  for (int k = 0; k < 8; ++k) {
    for (int i = 0; i < 4; ++i) EXPECT_EQ(CNerexPanelWidgets(panel).GetRoutingButton(k, i)->GetId(), kParamMatrixRouting + 4 * k + i);
    for (int j = 0; j < 8; ++j) EXPECT_EQ(CNerexPanelWidgets(panel).GetOutputLink(k, j)->GetId(), kParamOutputLinkBit + 8 * k + j);
  }
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) EXPECT_EQ(CNerexPanelWidgets(panel).GetInputLink(i, j)->GetId(), kParamInputLinkBit + 4 * i + j);
}

// --- Side tabs and pages ---

TEST_F(NerexPanelTest, SideTabsShowTheirViewsForTheModelsChannels) {
  CNerexSeriesDevice& device = Make(kModelNerex26);  // 2 inputs, 6 outputs
  CNerexSeriesControlPanel& panel = Open(device);
  panel.SelectSideTab(kNerexSideTabLimiters, true);
  EXPECT_TRUE(CNerexPanelWidgets(panel).GetAutoLimiters()->IsVisible());
  for (int k = 0; k < 8; ++k) {
    EXPECT_EQ(CNerexPanelWidgets(panel).GetLimiterLevel(k)->IsVisible(), k < 6) << k;
    EXPECT_EQ(CNerexPanelWidgets(panel).GetLimiterAttack(k)->IsVisible(), k < 6) << k;
    EXPECT_FALSE(CNerexPanelWidgets(panel).GetRoutingButton(k, 0)->IsVisible());
    EXPECT_FALSE(CNerexPanelWidgets(panel).GetOutputLink(k, 0)->IsVisible());
  }
  panel.SelectSideTab(kNerexSideTabLinking, true);
  EXPECT_FALSE(CNerexPanelWidgets(panel).GetAutoLimiters()->IsVisible());
  for (int k = 0; k < 8; ++k) {
    EXPECT_FALSE(CNerexPanelWidgets(panel).GetLimiterLevel(k)->IsVisible());
    for (int j = 0; j < 8; ++j) EXPECT_EQ(CNerexPanelWidgets(panel).GetOutputLink(k, j)->IsVisible(), k < 6 && j < 6) << k << j;
  }
  // Disabling the mixer hides every side tab's widgets (tab 0).
  panel.EnableAllControls(false);
  for (int group : {kPanelGroupSource, kPanelGroupLimiters, kPanelGroupLinking})
    for (const CControlObject* control : panel.GetGroup(group)) EXPECT_FALSE(control->IsVisible()) << control->GetId();
  EXPECT_FALSE(CNerexPanelWidgets(panel).GetSideTab(0)->IsVisible());
  EXPECT_FALSE(panel.GetSectionPicture(CNerexSeriesControlPanel::kInputsSection)->IsVisible());
}

TEST_F(NerexPanelTest, PagesShowTheirPictureAndPlaceTheChannelRow) {
  CNerexSeriesDevice& device = Make(kModelNerex48);
  CNerexSeriesControlPanel& panel = Open(device);
  const struct {
    std::uint32_t page;
    int picture;
    int rowLeft;
    int rowTop;
  } pages[] = {{60, 1, 300, 60}, {61, 2, 300, 60}, {63, 3, 35, 155}};
  for (const auto& p : pages) {
    device.PanelView().SetPanelPage(p.page);
    panel.ShowPage(p.page);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(panel.GetPageImage(i)->IsVisible(), i == p.picture) << p.page;
    EXPECT_EQ(CNerexPanelWidgets(panel).GetChannelSelect(2)->GetRect(), (CRect{p.rowLeft + 56, p.rowTop, p.rowLeft + 74, p.rowTop + 18}));
    EXPECT_FALSE(CNerexPanelWidgets(panel).GetInputFader(0)->IsVisible());
  }
  device.PanelView().SetPanelPage(59);
  panel.ShowPage(59);
  EXPECT_TRUE(panel.GetPageImage(0)->IsVisible());
  EXPECT_FALSE(panel.GetPageImage(3)->IsVisible());
  EXPECT_TRUE(CNerexPanelWidgets(panel).GetInputFader(0)->IsVisible());
  EXPECT_TRUE(CNerexPanelWidgets(panel).GetPresetManagerButton()->IsVisible());
}

TEST_F(NerexPanelTest, TabButtonsChangePageAndSideTabThroughTheDevice) {
  CNerexSeriesDevice& device = Make(kModelNerex48);
  CNerexSeriesControlPanel& panel = Open(device);
  auto click = [&](const CControlObject* widget) {
    const CRect r = widget->GetRect();
    panel.DispatchMouseMessage(WM_LBUTTONDOWN, MK_LBUTTON, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    panel.DispatchMouseMessage(WM_LBUTTONUP, 0, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
  };
  // The outputs section shows the Source tab: an input letter beside output 1's first row.
  const CImage* outputs = panel.GetSectionBuffer(CNerexSeriesControlPanel::kOutputsSection)->GetImage();
  auto inkBeside = [&] {
    int lit = 0;
    for (int y = 40; y < 52; ++y)
      for (int x = 42; x < 50; ++x) lit += outputs->GetPixel(x, y).R() > 200 ? 1 : 0;
    return lit;
  };
  EXPECT_GT(inkBeside(), 0);
  click(CNerexPanelWidgets(panel).GetSideTab(1));  // Limiters
  EXPECT_EQ(device.PanelView().GetSideTab(), 296u);
  EXPECT_TRUE(CNerexPanelWidgets(panel).GetLimiterLevel(7)->IsVisible());
  EXPECT_FALSE(CNerexPanelWidgets(panel).GetRoutingButton(0, 0)->IsVisible());
  EXPECT_EQ(inkBeside(), 0);
  click(CNerexPanelWidgets(panel).GetPageTab(0));  // Input GEQ
  EXPECT_EQ(device.PanelView().GetPanelPage(), 60u);
  EXPECT_TRUE(panel.GetPageImage(1)->IsVisible());
  EXPECT_TRUE(CNerexPanelWidgets(panel).GetGeqFader(27)->IsVisible());
  EXPECT_EQ(panel.GetToolTipCount(), 28);
  click(CNerexPanelWidgets(panel).GetPageTab(2));  // Mixer
  EXPECT_EQ(device.PanelView().GetPanelPage(), 59u);
  EXPECT_TRUE(CNerexPanelWidgets(panel).GetLimiterLevel(0)->IsVisible());
  EXPECT_FALSE(CNerexPanelWidgets(panel).GetGeqFader(0)->IsVisible());
}

TEST_F(NerexPanelTest, PresetsButtonNeedsTheRightAndAValidUser) {
  CNerexSeriesDevice& device = Make(kModelNerex48);
  CNerexSeriesControlPanel& panel = Open(device);
  Restrict(0x04);
  panel.ShowPage(59);
  EXPECT_FALSE(CNerexPanelWidgets(panel).GetPresetManagerButton()->IsVisible());
  Restrict(0);
  panel.ShowPage(59);
  EXPECT_TRUE(CNerexPanelWidgets(panel).GetPresetManagerButton()->IsVisible());
  // A current-user index beyond the list holds no rights.
  m_system.Users().SetCurrentUser(12);
  panel.ShowPage(59);
  EXPECT_FALSE(CNerexPanelWidgets(panel).GetPresetManagerButton()->IsVisible());
  m_system.Users().SetCurrentUser(0);
}

TEST_F(NerexPanelTest, StoredPageThatTheNerexPanelLacksOpensWithoutHarm) {
  CNerexSeriesDevice& device = Make(kModelNerex44);
  device.PanelView().SetPanelPage(64);
  CNerexSeriesControlPanel& panel = Open(device);
  panel.ShowPage(65);
  panel.RefreshDeqSection(true);
  panel.RefreshOutputSection(true);
  panel.SelectDeqBand(1, true);
  panel.OnTimer(CNerexSeriesBaseControlPanel::kMeterTimerId);
  device.PanelView().SetPanelPage(59);
  panel.ShowPage(59);
  EXPECT_TRUE(CNerexPanelWidgets(panel).GetInputFader(0)->IsVisible());
}

// The Calder48 and Hollin2 inputs have no graphic EQ: the header drops the Input GEQ tab and
// its other three tabs share the room of four, Mixer first.
TEST_F(NerexPanelTest, CalderAndHollinPanelsShowThreeHeaderTabs) {
  CNerexSeriesControlPanel& nerex = Open(Make(kModelNerex48, 9));
  EXPECT_TRUE(CNerexPanelWidgets(nerex).GetPageTab(0)->IsVisible());
  EXPECT_EQ(CNerexPanelWidgets(nerex).GetHeaderText()->GetText(), "Nerex48   AUDIO MANAGEMENT SYSTEM");
  const CRect room = UnionRect(CNerexPanelWidgets(nerex).GetPageTab(0)->GetRect(), CNerexPanelWidgets(nerex).GetPageTab(3)->GetRect());
  const int fourTabWidth = CNerexPanelWidgets(nerex).GetPageTab(0)->GetRect().Width();
  for (std::uint32_t hardware : {kHardwareCalder48, kHardwareHollin2}) {
    CNerexSeriesDevice& device = Make(kModelCalder48, hardware & 0x3F, hardware);
    CNerexSeriesControlPanel& panel = Open(device);
    EXPECT_NE(dynamic_cast<CCalder48ControlPanel*>(&panel), nullptr);
    EXPECT_EQ(dynamic_cast<CHollin2ControlPanel*>(&panel) != nullptr, hardware == kHardwareHollin2);
    EXPECT_FALSE(CNerexPanelWidgets(panel).GetPageTab(0)->IsVisible());  // Input GEQ
    int left = room.left;
    for (int t : {2, 1, 3}) {  // Mixer, Input PEQ, Output PEQ
      const CRect r = CNerexPanelWidgets(panel).GetPageTab(t)->GetRect();
      EXPECT_GE(r.left, left) << t;
      EXPECT_LE(r.right, room.right) << t;
      EXPECT_GT(r.Width(), fourTabWidth) << t;
      left = r.right;
    }
    EXPECT_EQ(CNerexPanelWidgets(panel).GetHeaderText()->GetText(), hardware == kHardwareHollin2
                                                    ? "Hollin2 LOUDSPEAKER MANAGEMENT SYSTEM"
                                                    : device.GetModelName() + "   AUDIO MANAGEMENT SYSTEM");
  }
}

// --- Right clicks ---

TEST_F(NerexPanelTest, RightClickRecordsTheChannelUnderThePointer) {
  CNerexSeriesDevice& device = Make(kModelNerex24);  // inputs at 81, 147; outputs at 447..645
  CNerexSeriesControlPanel& panel = Open(device);
  panel.OnRightClick(150, 300);
  EXPECT_EQ(device.PanelView().GetSelectedChannel(), 2u);
  panel.OnRightClick(520, 400);
  EXPECT_EQ(device.PanelView().GetSelectedChannel(), 6u);
  panel.OnRightClick(30, 300);  // left of the first input strip
  EXPECT_EQ(device.PanelView().GetSelectedChannel(), 0u);
  panel.OnRightClick(380, 400);  // between the inputs and the first output strip
  EXPECT_EQ(device.PanelView().GetSelectedChannel(), 0u);

  // Input 1 ganged with input 0: anywhere on the Input PEQ page gives the group's master.
  WritableSettings(device).inputs.linkMasks[0] = 0x3;
  WritableSettings(device).inputs.linkMasks[1] = 0x3;
  device.PanelView().SetSelectedInput(1);
  device.PanelView().SetPanelPage(61);
  panel.ShowPage(61);
  panel.OnRightClick(700, 500);
  EXPECT_EQ(device.PanelView().GetSelectedChannel(), 1u);
  device.PanelView().SetSelectedOutput(3);
  device.PanelView().SetPanelPage(63);
  panel.ShowPage(63);
  panel.OnRightClick(5, 5);
  EXPECT_EQ(device.PanelView().GetSelectedChannel(), 8u);
}

// --- Tooltips ---

TEST_F(NerexPanelTest, OnlyTheGraphicEqPageHasTooltipsWithTheBandGains) {
  CNerexSeriesDevice& device = Make(kModelNerex48);
  CNerexSeriesControlPanel& panel = Open(device);
  EXPECT_EQ(panel.GetToolTipCount(), 0);
  WritableSettings(device).geq.bands[2][5] = -125;
  WritableSettings(device).geq.bands[2][27] = 30;
  device.PanelView().SetSelectedInput(2);
  device.PanelView().SetPanelPage(60);
  panel.ShowPage(60);
  ASSERT_EQ(panel.GetToolTipCount(), 28);
  const CRect fader6 = CNerexPanelWidgets(panel).GetGeqFader(5)->GetRect();
  EXPECT_EQ(panel.FindToolTip((fader6.left + fader6.right) / 2, fader6.top + 10), 6);
  EXPECT_EQ(panel.GetToolTipText(6), "-12.5dB");
  EXPECT_EQ(panel.GetToolTipText(28), "3.0dB");
  EXPECT_EQ(panel.GetToolTipText(29), "");
  device.PanelView().SetPanelPage(61);
  panel.ShowPage(61);
  EXPECT_EQ(panel.GetToolTipCount(), 0);
  EXPECT_EQ(panel.GetToolTipText(6), "");
}

// --- Lists ---

namespace {
struct FilterCase {
  int model;
  std::uint32_t hardwareCode;
  std::vector<int> values;
};
const FilterCase kFilterCases[] = {
    {kModelNerex48, 0, {0, 1, 2, 6, 7, 5, 8, 9, 10, 11, 12}},
    {kModelCalder26, kHardwareCalder48, {0, 1, 2, 6, 7, 5, 8, 9, 10, 11, 12}},
    {kModelCalder48, kHardwareReducedFilters, {0, 1, 2, 9, 10}},
    {kModelCalder48, kHardwareHollin2, {0, 1, 2, 9, 10}},
    {kModelCalder26, 0x123456, {0, 1, 2}},
};
class NerexPanelFilterTest : public NerexPanelTest, public ::testing::WithParamInterface<FilterCase> {};
}  // namespace

TEST_P(NerexPanelFilterTest, EqTypeListsFollowModelAndHardwareCode) {
  const FilterCase& c = GetParam();
  CNerexSeriesControlPanel& panel = Open(Make(c.model, 1, c.hardwareCode));
  for (CCustomComboBox* combo : {CNerexPanelWidgets(panel).GetInputPeqType(0), CNerexPanelWidgets(panel).GetInputPeqType(7), CNerexPanelWidgets(panel).GetOutputPeqType(8)}) {
    std::vector<int> values;
    for (const CComboBoxData* item : combo->GetItems()) values.push_back(item->value);
    EXPECT_EQ(values, c.values);
  }
}

INSTANTIATE_TEST_SUITE_P(Boards, NerexPanelFilterTest, ::testing::ValuesIn(kFilterCases),
                         [](const ::testing::TestParamInfo<FilterCase>& info) {
                           return "Model" + std::to_string(info.param.model) + "Hw" +
                                  std::to_string(info.param.hardwareCode);
                         });

TEST_F(NerexPanelTest, ListsSendTheItemsValueNotItsPosition) {
  CRecordingProcessor& device = MakeRecording(kModelNerex48);
  CNerexSeriesControlPanel& panel = Open(device);
  auto choose = [&](CCustomComboBox* combo, const std::string& text) {
    const auto& items = combo->GetItems();
    for (std::size_t i = 0; i < items.size(); ++i)
      if (items[i]->text == text) combo->ChooseItem(int(i));
    return device.changes.empty() ? -1 : device.changes.back().integer;
  };
  EXPECT_EQ(choose(CNerexPanelWidgets(panel).GetInputPeqType(0), "Band Pass"), 6);
  EXPECT_EQ(choose(CNerexPanelWidgets(panel).GetHighPassType(), "6dB Bensen"), 7);
  EXPECT_EQ(choose(CNerexPanelWidgets(panel).GetLimiterAttack(2), "90ms"), 19);
  EXPECT_EQ(choose(CNerexPanelWidgets(panel).GetAutoLimiters(), "Off"), 0);
  EXPECT_EQ(device.changes.back().id, 422);
}

TEST_F(NerexPanelTest, PresetNameIsAskedOverThePanel) {
  CNerexSeriesControlPanel& panel = Open(Make(kModelNerex48));
  AnswerPresetNameDialog("Old", "Evening");
  std::string name = "Old";
  EXPECT_TRUE(panel.AskPresetName("Store Preset", name));
  EXPECT_EQ(name, "Evening");
}

// --- Skin sets ---

TEST_F(NerexPanelTest, SkinSetIsLoadedOnceFreedWithTheLastPanelAndReloaded) {
  CNerexSkinSet& skins = CNerexControlPanel::Skins();
  ASSERT_FALSE(skins.IsLoaded());
  auto first = OpenPanel(Make(kModelNerex48, 1));
  CBitmapImage* background = skins.Get(CNerexSkinSet::kBackground);
  ASSERT_TRUE(background);
  EXPECT_EQ(background->GetWidth(), 850);
  EXPECT_EQ(skins.Get(CNerexSkinSet::kFaderCap)->GetHeight(), 31);
  auto second = OpenPanel(Make(kModelNerex24, 2));
  EXPECT_EQ(skins.Get(CNerexSkinSet::kBackground), background);
  EXPECT_EQ(skins.GetInstanceCount(), 2);
  // A Calder panel uses its own set.
  auto calder = OpenPanel(Make(kModelCalder48, 3, kHardwareCalder48));
  EXPECT_TRUE(CCalder48ControlPanel::Skins().IsLoaded());
  EXPECT_NE(CCalder48ControlPanel::Skins().Get(CNerexSkinSet::kBackground), background);
  EXPECT_EQ(calder->GetBackgroundImage(), CCalder48ControlPanel::Skins().Get(CNerexSkinSet::kBackground));
  // Each panel has its own buffers at their sizes.
  EXPECT_NE(first->GetSectionBuffer(0), second->GetSectionBuffer(0));
  EXPECT_EQ(first->GetSectionBuffer(CNerexSeriesControlPanel::kOutputsSection)->GetWidth(), 570);
  EXPECT_EQ(first->GetSectionBuffer(CNerexSeriesControlPanel::kOutputEqNumbers)->GetWidth(), 210);

  for (auto* panel : {first.get(), second.get(), calder.get()}) panel->GetDevice()->SetControlPanel(nullptr);
  first.reset();
  EXPECT_TRUE(skins.IsLoaded());
  EXPECT_EQ(skins.GetInstanceCount(), 1);
  calder.reset();
  EXPECT_FALSE(CCalder48ControlPanel::Skins().IsLoaded());
  EXPECT_TRUE(skins.IsLoaded());
  second.reset();
  EXPECT_FALSE(skins.IsLoaded());
  EXPECT_EQ(skins.GetInstanceCount(), 0);
  auto again = OpenPanel(Make(kModelNerex48, 4));
  EXPECT_TRUE(skins.IsLoaded());
  again->GetDevice()->SetControlPanel(nullptr);
}

TEST_F(NerexPanelTest, PanelDestroyedBeforeItWasCreatedFreesNothingInUse) {
  CNerexSeriesControlPanel& open = Open(Make(kModelNerex48));
  delete CreateControlPanel("CNerexControlPanel");
  EXPECT_TRUE(CNerexControlPanel::Skins().IsLoaded());
  EXPECT_EQ(CNerexControlPanel::Skins().GetInstanceCount(), 1);
  open.RedrawRect(nullptr, false, true);
  EXPECT_EQ(open.GetBackgroundImage()->GetWidth(), 850);
}

// --- Drawing ---

TEST_F(NerexPanelTest, RenderedPanelsPutTheirStripsWhereTheModelHasThem) {
  auto colourAt = [](const CNerexSeriesControlPanel& panel, int x, int y) { return panel.GetBackBuffer()->GetPixel(x, y); };
  auto brightness = [](CColour c) { return int(c.R()) + int(c.G()) + int(c.B()); };
  CNerexSeriesControlPanel& big = Open(Make(kModelNerex48, 1));
  CNerexSeriesControlPanel& small = Open(Make(kModelNerex24, 2));
  Save(*small.GetBackBuffer(), "nerex24-mixer.png");
  // The name plate of input strip A (light) lies at x 17..73 on the Nerex48 and 83..139 on the
  // Nerex24; the Nerex24 shows the bare panel at x 30.
  EXPECT_GT(brightness(colourAt(big, 30, 376)), 550);
  EXPECT_LT(brightness(colourAt(small, 30, 376)), 300);
  EXPECT_GT(brightness(colourAt(small, 100, 376)), 550);
  // The meter well of output 1 is dark; the lit meter picture above the floor stays unlit.
  EXPECT_LT(brightness(colourAt(big, 315 + 47, 440)), 200);
  // The heading band over the inputs is darker than the panel around it.
  EXPECT_LT(brightness(colourAt(big, 100, 125)), brightness(colourAt(big, 100, 112)));
  // The Mixer tab is lit in the accent (red) on the Nerex header.
  const CColour tab = colourAt(big, 150, 96);
  EXPECT_GT(int(tab.R()), int(tab.G()) + 60);
}

// A Nerex24 (two inputs, four outputs) shows a channel selector for each channel it has and
// nothing where a larger model has more: the place of a missing selector is bare panel.
// The compact view's preset display is bound to no parameter: reloading every widget from the
// device leaves the selected preset's name on it, drawn in its glass.
TEST_F(NerexPanelTest, CompactViewKeepsThePresetNameThroughAReloadOfEveryWidget) {
  CNerexSeriesDevice& device = Make(kModelNerex48);
  WritablePresets(device)[3]->sectionFlags = kSectionOutputs;
  WritablePresets(device)[3]->name = "Show";
  device.PanelView().SetSelectedPreset(4);
  CNerexSeriesControlPanel& panel = Open(device);
  device.PanelView().SetPanelPage(kNerexPageCompact);
  panel.ShowPage(kNerexPageCompact);
  const CRect glass = ToRect(processor_layout::kLcdText);
  CTextControl* lcd = nullptr;
  for (CControlObject* w : panel.GetControls())
    if (auto* text = dynamic_cast<CTextControl*>(w); text && text->GetRect() == glass) lcd = text;
  ASSERT_TRUE(lcd);
  EXPECT_EQ(lcd->GetText(), "4. Show");
  panel.ReloadAllControls();
  EXPECT_EQ(lcd->GetText(), "4. Show");
  Save(*panel.GetBackBuffer(), "nerex48-compact.png");
  EXPECT_GT(InkOf(*panel.GetBackBuffer(), glass).Count(), 40);
}

TEST_F(NerexPanelTest, ChannelSelectorsOfASmallerModelShowOnlyItsChannels) {
  CNerexSeriesDevice& d = Make(kModelNerex24, 2);
  CNerexSeriesControlPanel& panel = Open(d);
  const struct {
    std::uint32_t page;
    int left, top, channels, places;  // places: the selectors of the largest model
  } pages[] = {{60, 300, 60, 2, 4}, {61, 300, 60, 2, 4}, {63, 35, 155, 4, 8}};
  for (const auto& p : pages) {
    d.PanelView().SetPanelPage(p.page);
    panel.ShowPage(p.page);
    Save(*panel.GetBackBuffer(), "nerex24-page" + std::to_string(p.page) + ".png");
    for (int j = 0; j < 8; ++j) {
      const CBmpButton* selector = CNerexPanelWidgets(panel).GetChannelSelect(j);
      ASSERT_NE(selector, nullptr);
      EXPECT_EQ(selector->IsVisible(), j < p.channels) << p.page << " " << j;
      if (j < p.channels || j >= p.places) continue;
      // The selector's place and a margin round it hold no drawing: one shade, as the face.
      int low = 255, high = 0;
      for (int y = p.top + 2; y < p.top + 18; ++y)
        for (int x = p.left + 28 * j - 2; x < p.left + 28 * j + 20; ++x) {
          const int r = panel.GetBackBuffer()->GetPixel(x, y).R();
          low = std::min(low, r);
          high = std::max(high, r);
        }
      EXPECT_LT(high - low, 12) << p.page << " " << j;
    }
  }
}

// --- Against the simulated unit ---

namespace {

// Hands the status events the device posted to it, as the main frame does.
void DispatchStatusEvents(CProcessorBus& bus, CNerexSeriesDevice& device) {
  for (const CPostedMessage& m : bus.Frame().Take())
    if (m.message == FrameMsg::kStatusEvent && m.handle == device.GetHandle()) device.OnStatusEvent(int(m.lParam));
}

}  // namespace

TEST(NerexPanelOnTheBus, PanelChangesTheUnitAndFollowsItsValuesAndMeters) {
  CProcessorBus bus;
  bus.DecideOnEvents();
  CSimProcessorUnit* unit = bus.AddUnit(kModelNerex48, 1);
  CNerexSeriesMemory image = unit->Current();
  image.inputs.gains[1] = -123;
  image.inputs.names[1] = MakeChannelName("Vocal");
  unit->SetCurrent(image);
  ASSERT_TRUE(bus.Open());
  CNerexSeriesDevice* device = bus.AddDevice(kModelNerex48, 1);
  ASSERT_TRUE(device);
  ASSERT_TRUE(bus.RunUntil([&] { return device->AllBlocksReceived(); }));
  auto panel = OpenPanel(*device);
  ASSERT_TRUE(panel);
  DispatchStatusEvents(bus, *device);
  auto shows = [&](CTextControl* text, int id) { return text->GetText() == text->FormatValue(device->GetCurrentValue(id)); };
  EXPECT_NEAR(CNerexPanelWidgets(*panel).GetInputFader(1)->GetValue(), -12.3f, 0.01f);
  EXPECT_TRUE(shows(CNerexPanelWidgets(*panel).GetInputGainText(1), kParamInputGain + 1));
  EXPECT_NE(CNerexPanelWidgets(*panel).GetInputGainText(1)->GetText().find("12.3"), std::string::npos);
  EXPECT_EQ(CNerexPanelWidgets(*panel).GetInputName(1)->GetText(), "Vocal");

  // Drag input A's fader up by 26 pixels: the unit's gain follows.
  CBitmapFader* fader = CNerexPanelWidgets(*panel).GetInputFader(0);
  const int x = (fader->GetRect().left + fader->GetRect().right) / 2;
  const int y = fader->ValueToY(0.0f);
  panel->DispatchMouseMessage(WM_LBUTTONDOWN, MK_LBUTTON, x, y);
  panel->DispatchMouseMessage(WM_MOUSEMOVE, MK_LBUTTON, x, y - 26);
  panel->DispatchMouseMessage(WM_LBUTTONUP, 0, x, y - 26);
  const std::int16_t dragged = device->GetCurrentSettings().inputs.gains[0];
  EXPECT_GT(dragged, 0);
  EXPECT_TRUE(shows(CNerexPanelWidgets(*panel).GetInputGainText(0), kParamInputGain));
  ASSERT_TRUE(bus.RunUntil([&] { return unit->Current().inputs.gains[0] == dragged; }));

  // Another panel (or a custom panel) changes output 4's mute: this panel follows.
  ModelChange(device, MakeBoolParamValue(29 + 3, true));
  EXPECT_TRUE(CNerexPanelWidgets(*panel).GetOutputMute(3)->IsLit());
  ASSERT_TRUE(bus.RunUntil([&] { return (unit->Current().outputs.muteMask & 0x8) != 0; }));

  // The unit's value changes and the device reads the unit again: the panel shows it.
  image = unit->Current();
  image.inputs.gains[2] = 45;
  image.outputs.muteMask = 0x4 | 0x8;
  unit->SetCurrent(image);
  device->Reinitialise(0);
  ASSERT_TRUE(bus.RunUntil([&] { return device->AllBlocksReceived(); }));
  DispatchStatusEvents(bus, *device);
  EXPECT_NE(CNerexPanelWidgets(*panel).GetInputGainText(2)->GetText().find("4.5"), std::string::npos);
  EXPECT_NEAR(CNerexPanelWidgets(*panel).GetInputFader(2)->GetValue(), 4.5f, 0.01f);
  EXPECT_TRUE(CNerexPanelWidgets(*panel).GetOutputMute(2)->IsLit());

  // Meters: the unit's readings reach the meters on the next 20 ms tick.
  std::array<std::uint8_t, 32> meters{};
  meters.fill(49);  // -40 dB
  meters[0] = 9;    // input A at 0 dB
  meters[4 + 7] = 15;  // output 8 at -6 dB
  unit->SetMeterBytes(meters);
  const std::size_t reads = unit->ReadCount(62);
  ASSERT_TRUE(bus.RunUntil([&] { return unit->ReadCount(62) > reads; }));
  DispatchStatusEvents(bus, *device);
  EXPECT_TRUE(panel->IsMeterUpdateRequested());
  panel->OnTimer(CNerexSeriesBaseControlPanel::kMeterTimerId);
  EXPECT_EQ(CNerexPanelWidgets(*panel).GetInputMeter(0)->GetLevel(), 0);
  EXPECT_EQ(CNerexPanelWidgets(*panel).GetOutputMeter(7)->GetLevel(), -6);
  EXPECT_EQ(CNerexPanelWidgets(*panel).GetOutputMeter(0)->GetLevel(), -40);
  // Going offline drops the meters to the floor on the next tick.
  device->OnDisconnected(false);
  DispatchStatusEvents(bus, *device);
  panel->OnTimer(CNerexSeriesBaseControlPanel::kMeterTimerId);
  EXPECT_EQ(CNerexPanelWidgets(*panel).GetInputMeter(0)->GetLevel(), -40);
  EXPECT_EQ(CNerexPanelWidgets(*panel).GetOutputMeter(7)->GetLevel(), -40);
  device->SetControlPanel(nullptr);
}

// A panel reopens on the page it was left on. Meter readings that stay the same announce
// nothing, so the Mixer page's meters must show the readings held when the page appears.
struct OtherPageCase {
  int model;
  std::uint32_t page;
  const char* png;
};

class MixerMetersOnTheBus : public ::testing::TestWithParam<OtherPageCase> {};

TEST_P(MixerMetersOnTheBus, MixerPageShowsTheHeldReadingsWhenItAppears) {
  const OtherPageCase& c = GetParam();
  CProcessorBus bus;
  bus.DecideOnEvents();
  CSimProcessorUnit* unit = bus.AddUnit(c.model, 1);
  std::array<std::uint8_t, 32> meters{};
  meters.fill(49);  // -40 dB: the floor
  meters[0] = 9;    // input A at 0 dB
  unit->SetMeterBytes(meters);
  ASSERT_TRUE(bus.Open());
  CNerexSeriesDevice* device = bus.AddDevice(c.model, 1);
  ASSERT_TRUE(device);
  ASSERT_TRUE(bus.RunUntil([&] { return device->AllBlocksReceived() && device->Meters().GetInputMeter(0) == 0.0f; }));
  device->PanelView().SetPanelPage(c.page);
  auto panel = OpenPanel<CNerexSeriesBaseControlPanel>(*device);
  ASSERT_TRUE(panel);
  struct Unbind {
    CNerexSeriesDevice* device;
    ~Unbind() { device->SetControlPanel(nullptr); }
  } unbind{device};
  DispatchStatusEvents(bus, *device);
  panel->OnTimer(CNerexSeriesBaseControlPanel::kMeterTimerId);
  // The unit goes on answering the same levels: no new reading is announced.
  for (int turn = 0; turn < 45; ++turn) bus.Turn();
  DispatchStatusEvents(bus, *device);
  panel->OnTimer(CNerexSeriesBaseControlPanel::kMeterTimerId);
  ASSERT_FALSE(panel->IsMeterUpdateRequested());

  // A click on the Mixer tab.
  const CControlObject* tab = nullptr;
  for (const CControlObject* w : panel->GetControls())
    if (int(w->GetId()) == int(kNerexPageMixer) && w->IsVisible()) tab = w;
  ASSERT_TRUE(tab);
  const CRect t = tab->GetRect();
  panel->DispatchMouseMessage(WM_LBUTTONDOWN, MK_LBUTTON, (t.left + t.right) / 2, (t.top + t.bottom) / 2);
  panel->DispatchMouseMessage(WM_LBUTTONUP, 0, (t.left + t.right) / 2, (t.top + t.bottom) / 2);
  ASSERT_EQ(device->PanelView().GetPanelPage(), std::uint32_t(kNerexPageMixer));
  EXPECT_EQ(CNerexPanelWidgets(*panel).GetInputMeter(0)->GetLevel(), 0);
  EXPECT_EQ(CNerexPanelWidgets(*panel).GetInputMeter(1)->GetLevel(), -40);
  Save(*panel->GetBackBuffer(), c.png);

  // On the drawn panel input A's meter (0 dB) is lit above input B's (at the floor): the two
  // meters, drawn from the same pictures, differ where A is lit.
  const CRect a = CNerexPanelWidgets(*panel).GetInputMeter(0)->GetRect();
  const CRect b = CNerexPanelWidgets(*panel).GetInputMeter(1)->GetRect();
  ASSERT_EQ(a.Width(), b.Width());
  int differing = 0, brighter = 0;
  for (int y = a.top; y < a.bottom; ++y)
    for (int x = 0; x < a.Width(); ++x) {
      const CColour pa = panel->GetBackBuffer()->GetPixel(a.left + x, y);
      const CColour pb = panel->GetBackBuffer()->GetPixel(b.left + x, y);
      const int sumA = int(pa.R()) + int(pa.G()) + int(pa.B());
      const int sumB = int(pb.R()) + int(pb.G()) + int(pb.B());
      differing += std::abs(sumA - sumB) > 60 ? 1 : 0;
      brighter += sumA > sumB + 60 ? 1 : 0;
    }
  EXPECT_GT(differing, a.Width() * a.Height() / 10);
  EXPECT_GT(brighter, differing * 3 / 4);
}

INSTANTIATE_TEST_SUITE_P(Models, MixerMetersOnTheBus,
                         ::testing::Values(OtherPageCase{kModelNerex48, kNerexPageInputGeq, "nerex48-mixer-after-geq.png"},
                                           OtherPageCase{kModelTorvex48, kNerexPageOutputComp,
                                                         "torvex48-mixer-after-comp.png"}),
                         [](const auto& info) { return info.param.model == kModelNerex48 ? "Nerex48" : "Torvex48"; });
