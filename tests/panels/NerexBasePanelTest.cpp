// The processor panel base on processors made by the factory: which widget groups each page and
// side tab shows, the channel-select buttons, the current user's rights, the captions of ganged
// channels, the preset list, the display settings, the band selection of the curves, the meter
// timer, and a panel that builds no widget at all.
#include <gtest/gtest.h>

#include <QApplication>
#include <memory>
#include <string>

#include "core/draw/BitmapImage.h"
#include "core/model/User.h"
#include "devices/processor/NerexParamIds.h"
#include "panels/framework/BitmapFader.h"
#include "panels/framework/BitmapMeter.h"
#include "panels/framework/BitmapObject.h"
#include "panels/framework/BmpButton.h"
#include "panels/processor/CompressorMeter.h"
#include "panels/framework/CustomComboBox.h"
#include "panels/processor/NerexSeriesBaseControlPanel.h"
#include "panels/processor/NerexSeriesParametricControl.h"
#include "panels/framework/TextControl.h"
#include "panels/processor/TorvexSeriesDEQControl.h"
#include "platform/Image.h"
#include "tests/devices/processor/ProcessorTestSupport.h"

namespace {

// A processor panel that builds one widget set of every kind the base drives, each in the group
// a real panel puts it in, over plain pictures.
class CTestProcessorPanel : public CNerexSeriesBaseControlPanel {
 public:
  CTestProcessorPanel() {
    m_background = MakeImage(850, 600, 0xFF303038u);
    m_led = MakeImage(12, 12, 0xFF20C020u);
    m_meter = MakeImage(10, 120, 0xFFE03030u);
  }
  ~CTestProcessorPanel() override {
    SetBackgroundImage(nullptr);
    for (CBitmapImage* image : {m_background, m_led, m_meter}) DeleteImage(image);
  }

  bool Create() override {
    SetBackgroundImage(m_background);
    for (int i = 0; i < 4; ++i) {
      const int x = 15 + 66 * i;
      m_inputFaders[std::size_t(i)] = Fader(kPanelGroupMixer, kParamInputGain + i, CRect{x, 400, x + 15, 560});
      m_inputGainTexts[std::size_t(i)] = Text(kPanelGroupMixer, kParamInputGain + i, CRect{x, 570, x + 50, 585});
      m_inputMeters[std::size_t(i)] = Meter(CRect{x + 25, 420, x + 35, 540});
      m_inputMutes[std::size_t(i)] = Button(kPanelGroupMixer, kParamInputMute + i, CRect{x + 30, 350, x + 42, 362});
      m_inputNames[std::size_t(i)] = Text(kPanelGroupMixer, kParamInputName + i, CRect{x, 372, x + 56, 387});
      m_inputDelays[std::size_t(i)] = Text(kPanelGroupMixer, kParamInputDelay + i, CRect{x, 272, x + 56, 287});
      for (int j = 0; j < 4; ++j)
        m_inputLinks[std::size_t(i)][std::size_t(j)] =
            Button(kPanelGroupMixer, kParamInputLinkBit + 4 * i + j, CRect{x + 20, 155 + 25 * j, x + 32, 167 + 25 * j});
    }
    for (int k = 0; k < 8; ++k) {
      const auto u = std::size_t(k);
      const int x = 315 + 66 * k;
      m_outputFaders[u] = Fader(kPanelGroupMixer, kParamOutputGain + k, CRect{x, 400, x + 15, 560});
      m_outputGainTexts[u] = Text(kPanelGroupMixer, kParamOutputGain + k, CRect{x, 570, x + 50, 585});
      m_outputMeters[u] = Meter(CRect{x + 25, 420, x + 35, 540});
      m_outputMutes[u] = Button(kPanelGroupMixer, kParamOutputMute + k, CRect{x + 30, 348, x + 42, 360});
      m_outputPolarity[u] = Button(kPanelGroupMixer, kParamOutputPhase + k, CRect{x + 30, 323, x + 42, 335});
      m_outputNames[u] = Text(kPanelGroupMixer, kParamOutputName + k, CRect{x, 372, x + 56, 387});
      m_outputDelays[u] = Text(kPanelGroupMixer, kParamOutputDelay + k, CRect{x, 272, x + 56, 287});
      for (int i = 0; i < 4; ++i)
        m_routingButtons[u][std::size_t(i)] =
            Button(kPanelGroupSource, kParamMatrixRouting + 4 * k + i, CRect{x + 20, 37 + 25 * i, x + 32, 49 + 25 * i});
      m_limiterLevels[u] = Text(kPanelGroupLimiters, kParamLimiterLevel + k, CRect{x, 83, x + 52, 98});
      m_limiterAttacks[u] = Combo(kPanelGroupLimiters, kParamLimiterAttack + k, CRect{x, 118, x + 52, 133});
      for (int j = 0; j < 8; ++j)
        m_outputLinks[u][std::size_t(j)] =
            Button(kPanelGroupLinking, kParamOutputLinkBit + 8 * k + j, CRect{x + 20, 37 + 25 * j, x + 32, 49 + 25 * j});
    }
    m_autoLimiters = Combo(kPanelGroupLimiters, kParamAutoLimiters, CRect{319, 41, 370, 56});
    for (int t = 0; t < 3; ++t)
      m_sideTabs[std::size_t(t)] = Button(kPanelGroupMixer, 295 + t, CRect{289, 30 + 73 * t, 309, 100 + 73 * t});
    m_deviceName = Text(kPanelGroupMixer, kParamDeviceName, CRect{27, 38, 262, 64});
    m_headerText = Text(kPanelGroupMixer, 494, CRect{17, 68, 262, 78});
    m_sideViewFrame = Add(new CBitmapObject(this, 0, nullptr, CRect{280, 0, 850, 260}));

    // Outside every group.
    for (int j = 0; j < 8; ++j)
      m_channelSelect[std::size_t(j)] = Button(-1, 120 + j, CRect{35 + 28 * j, 155, 47 + 28 * j, 167});
    m_presetManagerButton = Button(-1, 495, CRect{209, 10, 268, 30});
    m_presetList = Combo(-1, 419, CRect{20, 10, 180, 28});

    // Compact view.
    for (int b = 0; b < 3; ++b) m_presetButtons[std::size_t(b)] = Button(kPanelGroupCompact, 436 + b, CRect{181 + 30 * b, 96, 206 + 30 * b, 107});
    m_lcdText = Text(kPanelGroupCompact, 0, CRect{27, 97, 170, 117});

    // Input GEQ page.
    m_geqCurve = Curve(kPanelGroupInputGeq, kGraphicEqCurveId);
    for (int b = 0; b < 28; ++b)
      m_geqFaders[std::size_t(b)] = Fader(kPanelGroupInputGeq, kParamGeqBand + b, CRect{63 + 26 * b, 140, 78 + 26 * b, 315});
    m_geqBypass = Button(kPanelGroupInputGeq, kParamGeqBypass, CRect{545, 50, 557, 62});
    m_geqFlat = Button(kPanelGroupInputGeq, 1320, CRect{544, 74, 556, 86});
    m_geqShape = Combo(kPanelGroupInputGeq, kParamGeqMode, CRect{500, 25, 565, 40});

    // Input PEQ page.
    m_peqCurve = Curve(kPanelGroupInputPeq, kInputPeqCurveId);
    m_inputCaption = Text(kPanelGroupInputPeq, 433, CRect{295, 35, 415, 51});
    AddToGroup(kPanelGroupInputGeq, m_inputCaption);
    BandRows(kPanelGroupInputPeq,
             {kParamInputPeqFrequency, kParamInputPeqQ, kParamInputPeqGain, kParamInputPeqType, kParamInputPeqBypass},
             m_peqFrames, m_peqFrequency, m_peqQ, m_peqGain, m_peqType, m_peqBypass);

    // Input DEQ page.
    m_deqGraph = Add(new CTorvexSeriesDEQControl(this, CRect{10, 230, 840, 590}));
    AddToGroup(kPanelGroupInputDeq, m_deqGraph);
    m_deqModeList = Combo(kPanelGroupInputDeq, kParamDynamicEqMode, CRect{176, 139, 258, 154});
    m_deqLinkingList = Combo(kPanelGroupInputDeq, kParamDynamicEqLinking, CRect{176, 174, 258, 189});
    for (int s = 0; s < 3; ++s) {
      const auto u = std::size_t(s);
      const int d = 186 * s;
      m_deqFrames[u] = Frame(kPanelGroupInputDeq, CRect{279 + d, 1, 470 + d, 225});
      m_deqBandGraphs[u] = Add(new CCompressorMeter(this, 1578 + s, nullptr, CRect{366 + d, 18, 453 + d, 105}));
      AddToGroup(kPanelGroupInputDeq, m_deqBandGraphs[u]);
      m_deqFrequency[u] = Text(kPanelGroupInputDeq, kParamDeqFrequency + s, CRect{352 + d, 195, 402 + d, 210});
      m_deqQ[u] = Text(kPanelGroupInputDeq, kParamDeqQ + s, CRect{352 + d, 165, 382 + d, 180});
      m_deqEffect[u] = Text(kPanelGroupInputDeq, kParamDeqEffect + s, CRect{414 + d, 195, 454 + d, 210});
      m_deqDynamicMode[u] = Combo(kPanelGroupInputDeq, kParamDeqMode + s, CRect{386 + d, 165, 458 + d, 180});
      m_deqShape[u] = Combo(kPanelGroupInputDeq, kParamDeqFilterKind + s, CRect{352 + d, 135, 432 + d, 150});
      m_deqBypass[u] = Button(kPanelGroupInputDeq, kParamDeqBypass + s, CRect{291 + d, 195, 303 + d, 207});
      m_deqThreshold[u] = Text(kPanelGroupInputDeq, kParamDeqThreshold + s, CRect{290 + d, 75, 340 + d, 90});
      m_deqRatio[u] = Text(kPanelGroupInputDeq, kParamDeqRatio + s, CRect{291 + d, 105, 339 + d, 120});
      m_deqAttack[u] = Text(kPanelGroupInputDeq, kParamDeqAttack + s, CRect{291 + d, 135, 339 + d, 150});
      m_deqRelease[u] = Text(kPanelGroupInputDeq, kParamDeqRelease + s, CRect{291 + d, 165, 339 + d, 180});
    }

    // Output EQ page.
    m_outputEqCurve = Curve(kPanelGroupOutputEq, kOutputEqCurveId);
    m_outputCaption = Text(kPanelGroupOutputEq, 434, CRect{27, 133, 262, 149});
    BandRows(kPanelGroupOutputEq,
             {kParamOutputPeqFrequency, kParamOutputPeqQ, kParamOutputPeqGain, kParamOutputPeqType, kParamOutputPeqBypass},
             m_outputPeqFrames, m_outputPeqFrequency, m_outputPeqQ, m_outputPeqGain, m_outputPeqType, m_outputPeqBypass);
    m_highPassFrequency = Text(kPanelGroupOutputEq, kParamHighPassFrequency, CRect{287, 73, 360, 90});
    m_lowPassFrequency = Text(kPanelGroupOutputEq, kParamLowPassFrequency, CRect{287, 143, 360, 160});
    m_highPassType = Combo(kPanelGroupOutputEq, kParamHighPassType, CRect{287, 108, 420, 125});
    m_lowPassType = Combo(kPanelGroupOutputEq, kParamLowPassType, CRect{287, 178, 420, 195});

    // Output compressor page.
    for (int k = 0; k < 8; ++k) {
      const auto u = std::size_t(k);
      const int c = 105 * k;
      m_compressorNames[u] = Text(kPanelGroupOutputComp, kParamOutputName + k, CRect{35 + c, 576, 100 + c, 591});
      m_gainReductionMeters[u] = Add(new CBitmapMeter(this, 1420 + k, m_meter, CRect{55 + c, 430, 65 + c, 550}, 24, 2, -6));
      AddToGroup(kPanelGroupOutputComp, m_gainReductionMeters[u]);
      m_compressorGraphs[u] = Add(new CCompressorMeter(this, 1412 + k, nullptr, CRect{30 + c, 329, 102 + c, 401}));
      AddToGroup(kPanelGroupOutputComp, m_compressorGraphs[u]);
      m_compressorBypass[u] = Button(kPanelGroupOutputComp, kParamCompressorBypass + k, CRect{50 + c, 295, 62 + c, 307});
      m_compressorThreshold[u] = Text(kPanelGroupOutputComp, kParamCompressorThreshold + k, CRect{15 + c, 135, 80 + c, 150});
      m_compressorRatio[u] = Text(kPanelGroupOutputComp, kParamCompressorRatio + k, CRect{15 + c, 170, 80 + c, 185});
      m_compressorAttack[u] = Text(kPanelGroupOutputComp, kParamCompressorAttack + k, CRect{15 + c, 205, 80 + c, 220});
      m_compressorRelease[u] = Text(kPanelGroupOutputComp, kParamCompressorRelease + k, CRect{15 + c, 240, 80 + c, 255});
      m_compressorSoftKnee[u] = Text(kPanelGroupOutputComp, kParamCompressorSoftKnee + k, CRect{15 + c, 275, 80 + c, 290});
    }
    m_compressorLimiters = Combo(kPanelGroupOutputComp, kParamCompressorLimiters, CRect{287, 90, 337, 105});
    return true;
  }

  // The fields, for the tests.
  using CNerexSeriesBaseControlPanel::m_channelSelect;
  using CNerexSeriesBaseControlPanel::m_compressorGraphs;
  using CNerexSeriesBaseControlPanel::m_deqGraph;
  using CNerexSeriesBaseControlPanel::m_deqRatio;
  using CNerexSeriesBaseControlPanel::m_deviceName;
  using CNerexSeriesBaseControlPanel::m_geqCurve;
  using CNerexSeriesBaseControlPanel::m_geqFaders;
  using CNerexSeriesBaseControlPanel::m_gainReductionMeters;
  using CNerexSeriesBaseControlPanel::m_headerText;
  using CNerexSeriesBaseControlPanel::m_highPassFrequency;
  using CNerexSeriesBaseControlPanel::m_inputCaption;
  using CNerexSeriesBaseControlPanel::m_inputDelays;
  using CNerexSeriesBaseControlPanel::m_inputFaders;
  using CNerexSeriesBaseControlPanel::m_inputMeters;
  using CNerexSeriesBaseControlPanel::m_inputNames;
  using CNerexSeriesBaseControlPanel::m_lcdText;
  using CNerexSeriesBaseControlPanel::m_limiterLevels;
  using CNerexSeriesBaseControlPanel::m_lowPassFrequency;
  using CNerexSeriesBaseControlPanel::m_outputCaption;
  using CNerexSeriesBaseControlPanel::m_outputDelays;
  using CNerexSeriesBaseControlPanel::m_outputEqCurve;
  using CNerexSeriesBaseControlPanel::m_outputFaders;
  using CNerexSeriesBaseControlPanel::m_outputLinks;
  using CNerexSeriesBaseControlPanel::m_outputMeters;
  using CNerexSeriesBaseControlPanel::m_outputNames;
  using CNerexSeriesBaseControlPanel::m_outputPeqGain;
  using CNerexSeriesBaseControlPanel::m_peqCurve;
  using CNerexSeriesBaseControlPanel::m_peqFrames;
  using CNerexSeriesBaseControlPanel::m_peqFrequency;
  using CNerexSeriesBaseControlPanel::m_presetButtons;
  using CNerexSeriesBaseControlPanel::m_presetList;
  using CNerexSeriesBaseControlPanel::m_presetManagerButton;
  using CNerexSeriesBaseControlPanel::m_routingButtons;

 private:
  static CBitmapImage* MakeImage(int width, int height, std::uint32_t argb) {
    auto* image = new CBitmapImage;
    image->CreateBlank(width, height);
    image->GetImage()->Fill(CColour{argb});
    return image;
  }
  template <class T>
  T* Add(T* control) {
    AddControl(control);
    return control;
  }
  template <class T>
  T* Grouped(int group, T* control) {
    AddControl(control);
    AddToGroup(group, control);
    return control;
  }
  CTextControl* Text(int group, int id, const CRect& r) {
    return Grouped(group, new CTextControl(this, id, true, "DejaVu Sans", 8.0f, 0xFFFFFFFFu, 0x1065 | kTextDelayMs, r));
  }
  CBmpButton* Button(int group, int id, const CRect& r) { return Grouped(group, new CBmpButton(this, id, m_led, r, 1)); }
  CBitmapFader* Fader(int group, int id, const CRect& r) {
    return Grouped(group, new CBitmapFader(this, id, m_led, kFaderChannelGain, r));
  }
  CCustomComboBox* Combo(int group, int id, const CRect& r) { return Grouped(group, new CCustomComboBox(this, id, r)); }
  CBitmapObject* Frame(int group, const CRect& r) { return Grouped(group, new CBitmapObject(this, 0, m_led, r)); }
  CNerexSeriesParametricControl* Curve(int group, int id) {
    return Grouped(group, new CNerexSeriesParametricControl(this, id, CRect{10, 220, 840, 590}));
  }
  // The band rows of an equaliser page, ids those of the first channel, with their frames.
  template <std::size_t N>
  void BandRows(int group, const std::array<int, 5>& ids, std::array<CControlObject*, N>& frames,
                std::array<CTextControl*, N>& frequency, std::array<CTextControl*, N>& q,
                std::array<CTextControl*, N>& gain, std::array<CCustomComboBox*, N>& type,
                std::array<CBmpButton*, N>& bypass) {
    for (std::size_t b = 0; b < N; ++b) {
      const int y = 23 + 19 * int(b);
      const int n = int(b);
      frames[b] = Frame(group, CRect{436, y - 4, 839, y + 21});
      frequency[b] = Text(group, ids[0] + n, CRect{470, y, 530, y + 17});
      q[b] = Text(group, ids[1] + n, CRect{540, y, 580, y + 17});
      gain[b] = Text(group, ids[2] + n, CRect{590, y, 650, y + 17});
      type[b] = Combo(group, ids[3] + n, CRect{660, y, 795, y + 17});
      bypass[b] = Button(group, ids[4] + n, CRect{807, y + 1, 821, y + 15});
    }
  }
  // The channel meters stand in the Mixer page and in the compact view.
  CBitmapMeter* Meter(const CRect& r) {
    CBitmapMeter* meter = Grouped(kPanelGroupMixer, new CBitmapMeter(this, 0, m_meter, r, 9, 0, -40));
    AddToGroup(kPanelGroupCompact, meter);
    return meter;
  }

  CBitmapImage* m_background;
  CBitmapImage* m_led;
  CBitmapImage* m_meter;
};

class NerexBasePanelTest : public ProcessorDeviceTest {
 protected:
  void TearDown() override {
    if (m_device) m_device->SetControlPanel(nullptr);
    panel.reset();
  }
  // A processor of the model with the test panel open on it, as the main frame opens it.
  CTestProcessorPanel& Open(int model, std::uint32_t page = kNerexPageMixer) {
    Make(model);
    m_device->SetPanelPage(page);
    panel = std::make_unique<CTestProcessorPanel>();
    panel->SetDevice(m_device.get());
    m_device->SetControlPanel(panel.get());
    EXPECT_TRUE(panel->Create());
    panel->UpdateAllControls();
    return *panel;
  }
  void ShowPage(std::uint32_t page) {
    m_device->SetPanelPage(page);
    panel->ShowPage(page);
  }
  // A user with the restriction mask, made current.
  void AddUser(std::uint64_t mask) {
    auto* user = new CUser("User", "");
    user->SetRestrictionMask(mask);
    m_system.Users().GetUsers().push_back(user);
    m_system.Users().SetCurrentUser(int(m_system.Users().GetUsers().size()) - 1);
  }
  void SetName(bool input, int channel, const std::string& name) {
    CNerexSeriesMemory& settings = WritableSettings(*m_device);
    (input ? settings.inputs.names[std::size_t(channel)] : settings.outputs.names[std::size_t(channel)]) =
        MakeChannelName(name);
  }
  // A meter reply: inputs, then outputs, each byte 9 dB above the level.
  void DeliverMeters(int inputLevel, int outputLevel) {
    const int n = m_device->GetInputCount();
    Bytes body(std::size_t(4 + n + m_device->GetOutputCount()), std::uint8_t(9 - outputLevel));
    body[0] = std::uint8_t(m_device->GetModel());
    body[1] = 0x01;
    body[2] = 0x00;
    body[3] = std::uint8_t(kCmdMeters);
    std::fill_n(body.begin() + 4, n, std::uint8_t(9 - inputLevel));
    Deliver(kCmdMeters, MakeFramedReply(0xA8, body));
  }

  std::unique_ptr<CTestProcessorPanel> panel;
};

// --- Pages ---

struct PageCase {
  int model;
  std::uint32_t page;
  unsigned groups;         // bit g: a widget only in group g is visible
  int selectButtons;       // channel-select buttons shown
  bool meters;             // the channel meters, in groups 0 and 9
};

std::string PageCaseName(const ::testing::TestParamInfo<PageCase>& info) {
  return "Model" + std::to_string(info.param.model) + "Page" + std::to_string(info.param.page);
}

class NerexBasePageTest : public NerexBasePanelTest, public ::testing::WithParamInterface<PageCase> {};

TEST_P(NerexBasePageTest, ShowsThePagesGroupsAndChannelButtons) {
  const PageCase& c = GetParam();
  CTestProcessorPanel& p = Open(c.model);
  ShowPage(c.page);
  const CControlObject* onlyIn[kPanelGroupCount] = {
      p.m_inputFaders[0],     p.m_routingButtons[0][0], p.m_limiterLevels[0],    p.m_outputLinks[0][0],
      p.m_geqFaders[0],       p.m_peqCurve,             p.m_deqGraph,            p.m_outputEqCurve,
      p.m_compressorGraphs[0], p.m_lcdText};
  for (int g = 0; g < kPanelGroupCount; ++g) {
    const CControlObject* widget = onlyIn[g];
    EXPECT_EQ(widget->IsVisible(), ((c.groups >> g) & 1u) != 0) << "group " << g;
  }
  EXPECT_EQ(p.m_inputMeters[0]->IsVisible(), c.meters);
  int shown = 0;
  for (const CBmpButton* button : p.m_channelSelect) shown += button->IsVisible() ? 1 : 0;
  EXPECT_EQ(shown, c.selectButtons);
}

// The mixer page shows its side tab's view (295, Source, by default); page 62 changes nothing.
INSTANTIATE_TEST_SUITE_P(Pages, NerexBasePageTest,
                         ::testing::Values(PageCase{120, 59, 0b0000000011, 0, true},
                                           PageCase{120, 60, 0b0000010000, 4, false},
                                           PageCase{114, 60, 0b0000010000, 2, false},
                                           PageCase{120, 61, 0b0000100000, 4, false},
                                           PageCase{121, 64, 0b0001000000, 4, false},
                                           PageCase{120, 63, 0b0010000000, 8, false},
                                           PageCase{116, 63, 0b0010000000, 4, false},
                                           PageCase{121, 65, 0b0100000000, 0, false},
                                           PageCase{120, 435, 0b1000000000, 0, true},
                                           PageCase{120, 62, 0b0000000011, 0, true}),
                         PageCaseName);

TEST_F(NerexBasePanelTest, SideTabsShowOneViewAndNoneWithoutTheMixer) {
  CTestProcessorPanel& p = Open(120);
  auto views = [&] {
    return std::string(p.m_routingButtons[0][0]->IsVisible() ? "S" : "-") +
           (p.m_limiterLevels[0]->IsVisible() ? "L" : "-") + (p.m_outputLinks[0][0]->IsVisible() ? "K" : "-");
  };
  EXPECT_EQ(views(), "S--");
  p.SelectSideTab(kNerexSideTabLimiters, true);
  EXPECT_EQ(views(), "-L-");
  p.SelectSideTab(kNerexSideTabLinking, false);
  EXPECT_EQ(views(), "--K");
  p.SelectSideTab(0, false);
  EXPECT_EQ(views(), "---");
  m_device->SetSideTab(kNerexSideTabLinking);
  p.EnableAllControls(true);
  EXPECT_EQ(views(), "--K");
  p.EnableAllControls(false);
  EXPECT_EQ(views(), "---");
  EXPECT_FALSE(p.m_inputFaders[0]->IsVisible());
}

TEST_F(NerexBasePanelTest, ChannelButtonsLightTheSelectedChannelsLinkGroup) {
  CTestProcessorPanel& p = Open(120);
  WritableSettings(*m_device).inputs.linkMasks[2] = 0b1101;
  m_device->SetSelectedInput(2);
  ShowPage(kNerexPageInputPeq);
  std::string lit;
  for (const CBmpButton* button : p.m_channelSelect) lit += button->IsLit() ? "1" : "0";
  EXPECT_EQ(lit, "10110000");
  ShowPage(kNerexPageMixer);
  for (const CBmpButton* button : p.m_channelSelect) EXPECT_FALSE(button->IsLit());
  // The output row: a button per output, none lit.
  m_device->SetPanelPage(kNerexPageOutputRow);
  p.ShowPageControls(true);
  for (const CBmpButton* button : p.m_channelSelect) EXPECT_TRUE(button->IsVisible() && !button->IsLit());
}

TEST_F(NerexBasePanelTest, UpdateAllControlsEndsOnTheDevicesPageAndStartsTheMeterTimer) {
  CTestProcessorPanel& p = Open(120, kNerexPageOutputEq);
  EXPECT_TRUE(p.m_outputEqCurve->IsVisible());
  EXPECT_FALSE(p.m_inputFaders[0]->IsVisible());
  EXPECT_TRUE(p.HasTimer(CNerexSeriesBaseControlPanel::kMeterTimerId));
  EXPECT_EQ(p.GetMeterTimerId(), CNerexSeriesBaseControlPanel::kMeterTimerId);
  ASSERT_NE(p.GetBackBuffer(), nullptr);
  EXPECT_EQ(p.GetBackBuffer()->Width(), 850);
  // The output curve holds the nine bands, then the high-pass and the low-pass filter.
  ASSERT_EQ(p.m_outputEqCurve->m_sections.size(), 11u);
  NerexOutputSection& out = WritableSettings(*m_device).outputs;
  EXPECT_EQ(p.m_outputEqCurve->m_sections[9]->pBand, &out.highPass[0]);
  EXPECT_EQ(p.m_outputEqCurve->m_sections[10]->pBand, &out.lowPass[0]);
}

// --- Rights ---

TEST_F(NerexBasePanelTest, RightsMakeNamesEditableAndShowThePresetButtons) {
  struct Case {
    std::uint64_t mask;
    bool validUser;
    bool edit;
    bool recall;
  };
  for (const Case& c : {Case{0, true, true, true}, Case{0x10, true, false, true}, Case{0x04, true, true, false},
                        Case{0, false, false, false}}) {
    SCOPED_TRACE(std::to_string(c.mask) + (c.validUser ? "" : " beyond the user list"));
    CTestProcessorPanel& p = Open(120);
    m_system.Users().DeleteAllUsers();
    AddUser(c.mask);
    if (!c.validUser) m_system.Users().SetCurrentUser(3);
    p.ApplyPermissions(true);
    EXPECT_EQ(p.m_deviceName->IsEditable(), c.edit);
    EXPECT_EQ(p.m_inputNames[3]->IsEditable(), c.edit);
    EXPECT_EQ(p.m_outputNames[7]->IsEditable(), c.edit);
    EXPECT_TRUE(p.m_headerText->IsEditable());
    EXPECT_EQ(p.m_presetManagerButton->IsVisible(), c.recall);
    ShowPage(kNerexPageCompact);
    for (const CBmpButton* button : p.m_presetButtons) EXPECT_EQ(button->IsVisible(), c.recall);
    TearDown();
  }
}

// --- Captions, presets and display settings ---

TEST_F(NerexBasePanelTest, CaptionsNameTheGangedChannelsInOrder) {
  CTestProcessorPanel& p = Open(120);
  for (int i = 0; i < 4; ++i) SetName(true, i, std::string("In ") + char('A' + i));
  WritableSettings(*m_device).inputs.linkMasks[2] = 0b1101;
  m_device->SetSelectedInput(2);
  p.UpdateInputLinkCaption(true);
  EXPECT_EQ(p.m_inputCaption->GetText(), "In A / In C / In D");

  SetName(false, 5, "Sub");
  m_device->SetSelectedOutput(5);
  p.UpdateOutputLinkCaption(false);
  EXPECT_EQ(p.m_outputCaption->GetText(), "Sub");
}

TEST_F(NerexBasePanelTest, TwoInputCaptionIgnoresMissingInputs) {
  CTestProcessorPanel& p = Open(114);
  SetName(true, 0, "Left");
  SetName(true, 1, "Right");
  WritableSettings(*m_device).inputs.linkMasks[0] = 0b1111;
  p.UpdateInputLinkCaption(false);
  EXPECT_EQ(p.m_inputCaption->GetText(), "Left / Right");
}

TEST_F(NerexBasePanelTest, PresetListMarksEmptyAndActiveMemories) {
  CTestProcessorPanel& p = Open(120);
  CNerexMemoryList& presets = WritablePresets(*m_device);
  ASSERT_GE(presets.size(), 3u);
  presets[0]->sectionFlags = kSectionInputs;
  presets[0]->name = "Live";
  presets[1]->sectionFlags = kSectionDeq;
  presets[1]->name = "Band";
  presets[2]->sectionFlags = kSectionStoredMark;
  WritableGeneralSettings(*m_device).bytes[NerexGeneralSettings::kCurrentPreset] = 2;
  p.RefillPresetList();
  const auto& items = p.m_presetList->GetItems();
  ASSERT_EQ(items.size(), presets.size());
  EXPECT_EQ(items[0]->text, "1. Live");
  EXPECT_EQ(items[1]->text, "2. Band*");
  EXPECT_EQ(items[2]->text, "3. --");
  EXPECT_EQ(items[2]->value, 2);

  EXPECT_EQ(p.GetPresetSelection(), -1);
  p.m_presetList->SetCurSel(2);
  EXPECT_EQ(p.GetPresetSelection(), 2);

  WritableGeneralSettings(*m_device).bytes[NerexGeneralSettings::kCurrentPreset] = 0;
  p.RefillPresetList();
  EXPECT_EQ(p.m_presetList->GetItems()[1]->text, "2. Band");
}

TEST_F(NerexBasePanelTest, LcdShowsTheSelectedPresetOnTheCompactView) {
  CTestProcessorPanel& p = Open(120);
  WritablePresets(*m_device)[3]->sectionFlags = kSectionOutputs;
  WritablePresets(*m_device)[3]->name = "Show";
  m_device->SetSelectedPreset(4);
  ShowPage(kNerexPageCompact);
  EXPECT_EQ(p.m_lcdText->GetText(), "4. Show");
  p.SetLcdText("Hello", true);
  EXPECT_EQ(p.m_lcdText->GetText(), "Hello");
}

TEST_F(NerexBasePanelTest, DisplaySettingsReachFadersAndDelayReadouts) {
  CTestProcessorPanel& p = Open(120);
  for (const auto& [nudge, step] : {std::pair{0u, 0.1f}, {1u, 0.5f}, {2u, 1.0f}, {7u, 0.1f}}) {
    m_device->SetGainNudge(nudge);
    p.ApplyGainNudge(false);
    EXPECT_FLOAT_EQ(p.m_inputFaders[3]->m_nudgeStep, step);
    EXPECT_FLOAT_EQ(p.m_outputFaders[7]->m_nudgeStep, step);
  }
  m_device->SetDelayUnits(1);
  m_device->SetDelayMultiplier(2);
  p.ApplyDelayDisplay(true);
  EXPECT_EQ(p.m_inputDelays[0]->GetFormatFlags() & 0xE000u, std::uint32_t(kTextDelayMetres));
  EXPECT_EQ(p.m_outputDelays[7]->GetFormatFlags() & 0xE000u, std::uint32_t(kTextDelayMetres));
  EXPECT_EQ(p.m_outputDelays[7]->GetNudgeStep(), 2);
  m_device->SetDelayUnits(5);
  p.ApplyDelayDisplay(false);
  EXPECT_EQ(p.m_outputDelays[7]->GetFormatFlags() & 0xE000u, std::uint32_t(kTextDelayMetres));
  m_device->SetDelayUnits(2);
  p.ApplyDelayDisplay(false);
  EXPECT_EQ(p.m_outputDelays[0]->GetDelayUnit(), std::uint32_t(kTextDelayFeet));
}

// --- Section refreshes and band selection ---

TEST_F(NerexBasePanelTest, PageRefreshesBindTheSelectedChannelsIds) {
  CTestProcessorPanel& p = Open(121);
  m_device->SetSelectedInput(2);
  m_device->SetSelectedOutput(6);
  ShowPage(kNerexPageInputGeq);
  EXPECT_EQ(p.m_geqFaders[27]->GetId(), kParamGeqBand + 28 * 2 + 27);
  EXPECT_TRUE(p.m_geqCurve->m_graphicEqMode);
  EXPECT_EQ(p.m_geqCurve->m_pGeqGains, m_device->GetCurrentSettings().geq.bands[2].data());
  ShowPage(kNerexPageInputPeq);
  EXPECT_EQ(p.m_peqFrequency[3]->GetId(), kParamInputPeqFrequency + 16 + 3);
  ASSERT_EQ(p.m_peqCurve->m_sections.size(), 8u);
  EXPECT_EQ(p.m_peqCurve->m_sections[3]->pBand, &m_device->GetCurrentSettings().inputs.PeqBand(2, 3));
  ShowPage(kNerexPageInputDeq);
  EXPECT_EQ(p.m_deqRatio[1]->GetId(), kParamDeqRatio + 7);
  ShowPage(kNerexPageOutputEq);
  EXPECT_EQ(p.m_outputPeqGain[8]->GetId(), kParamOutputPeqGain + 9 * 6 + 8);
  EXPECT_EQ(p.m_highPassFrequency->GetId(), kParamHighPassFrequency + 6);
}

TEST_F(NerexBasePanelTest, DeqRatioStepsByTheBandsMode) {
  CTestProcessorPanel& p = Open(121);
  WritableSettings(*m_device).DeqBand(0, 1).mode = 2;
  ShowPage(kNerexPageInputDeq);
  EXPECT_EQ(p.m_deqRatio[0]->GetNudgeStep(), 2);
  EXPECT_EQ(p.m_deqRatio[1]->GetNudgeStep(), 1);
}

TEST_F(NerexBasePanelTest, BandSelectionFollowsItsPageOnly) {
  CTestProcessorPanel& p = Open(120, kNerexPageInputPeq);
  p.SelectInputPeqBand(4, true);
  EXPECT_EQ(p.m_peqCurve->m_selectedBand, 4);
  for (int j = 0; j < 8; ++j) EXPECT_EQ(p.m_peqFrames[std::size_t(j)]->IsVisible(), j == 4);
  p.SelectInputPeqBand(-1, true);
  EXPECT_EQ(p.m_peqCurve->m_selectedBand, -1);
  for (const CControlObject* frame : p.m_peqFrames) EXPECT_FALSE(frame->IsVisible());

  // Not on the GEQ page: nothing changes.
  p.SelectGeqBand(3, 0);
  EXPECT_EQ(p.m_geqCurve->m_selectedBand, -1);
  ShowPage(kNerexPageInputGeq);
  p.SelectGeqBand(3, 0);
  EXPECT_EQ(p.m_geqCurve->m_selectedBand, 3);
}

TEST_F(NerexBasePanelTest, ActiveReadoutSelectsItsBandOnTheCurveShown) {
  CTestProcessorPanel& p = Open(120, kNerexPageOutputEq);
  p.SetActiveObject(p.m_highPassFrequency);
  EXPECT_EQ(p.m_outputEqCurve->m_selectedBand, 9);
  p.SetActiveObject(p.m_lowPassFrequency);
  EXPECT_EQ(p.m_outputEqCurve->m_selectedBand, 10);
  p.SetActiveObject(p.m_outputPeqGain[5]);
  EXPECT_EQ(p.m_outputEqCurve->m_selectedBand, 5);
  p.SetActiveObject(p.m_outputFaders[0]);
  EXPECT_EQ(p.m_outputEqCurve->m_selectedBand, -1);

  ShowPage(kNerexPageInputPeq);
  p.SetActiveObject(p.m_peqFrequency[2]);
  EXPECT_EQ(p.m_peqCurve->m_selectedBand, 2);
  p.SetActiveObject(nullptr);
  EXPECT_EQ(p.m_peqCurve->m_selectedBand, 2);
}

// --- Meters ---

TEST_F(NerexBasePanelTest, MeterTimerReadsMetersOnlyAfterARequest) {
  CTestProcessorPanel& p = Open(120);
  p.OnTimer(CNerexSeriesBaseControlPanel::kMeterTimerId);  // the request of the first refresh
  EXPECT_FALSE(p.IsMeterUpdateRequested());
  DeliverMeters(-12, -51);

  // No request yet, or another timer: the meters stay.
  p.OnTimer(CNerexSeriesBaseControlPanel::kMeterTimerId);
  p.RequestMeterUpdate();
  p.OnTimer(7);
  EXPECT_EQ(p.m_inputMeters[0]->GetLevel(), -40);
  EXPECT_TRUE(p.IsMeterUpdateRequested());

  p.OnTimer(CNerexSeriesBaseControlPanel::kMeterTimerId);
  EXPECT_FALSE(p.IsMeterUpdateRequested());
  EXPECT_EQ(p.m_inputMeters[3]->GetLevel(), -12);
  EXPECT_EQ(p.m_outputMeters[7]->GetLevel(), -40);  // -51 dB shows as -40
  // The tick drew the lit part into the back buffer: bright at the foot, dim above the level.
  const CRect r = p.m_inputMeters[3]->GetRect();
  EXPECT_GT(p.GetBackBuffer()->GetPixel(r.left + 5, r.bottom - 2).R(), 200);
  EXPECT_LT(p.GetBackBuffer()->GetPixel(r.left + 5, r.top + 2).R(), 80);

  // A reset of the readings reaches the meters through the status event the frame hands on.
  m_device->ResetMeters();
  m_device->OnStatusEvent(kNerexStatusMeters);
  p.OnTimer(CNerexSeriesBaseControlPanel::kMeterTimerId);
  EXPECT_EQ(p.m_inputMeters[3]->GetLevel(), -40);
}

// The compact view shows the meters of the model's own channels only, and they follow the
// readings as on the Mixer page.
TEST_F(NerexBasePanelTest, CompactViewMetersShowTheModelsChannelsAndFollowTheReadings) {
  CTestProcessorPanel& p = Open(114, kNerexPageCompact);  // two inputs, four outputs
  for (int i = 0; i < 4; ++i) EXPECT_EQ(p.m_inputMeters[std::size_t(i)]->IsVisible(), i < 2) << i;
  for (int k = 0; k < 8; ++k) EXPECT_EQ(p.m_outputMeters[std::size_t(k)]->IsVisible(), k < 4) << k;
  p.OnTimer(CNerexSeriesBaseControlPanel::kMeterTimerId);  // the request of the first refresh
  DeliverMeters(-12, -3);
  p.RequestMeterUpdate();
  p.OnTimer(CNerexSeriesBaseControlPanel::kMeterTimerId);
  EXPECT_EQ(p.m_inputMeters[1]->GetLevel(), -12);
  EXPECT_EQ(p.m_outputMeters[3]->GetLevel(), -3);
  const CRect r = p.m_inputMeters[1]->GetRect();
  EXPECT_GT(p.GetBackBuffer()->GetPixel(r.left + 5, r.bottom - 2).R(), 200);
}

TEST_F(NerexBasePanelTest, CompressorPageMetersFollowTheCompressorReadings) {
  CTestProcessorPanel& p = Open(121, kNerexPageOutputComp);
  p.OnTimer(CNerexSeriesBaseControlPanel::kMeterTimerId);
  // Readings at the floor show the graph at its lowest level.
  EXPECT_EQ(p.m_compressorGraphs[0]->m_level, -20);
  EXPECT_EQ(p.m_gainReductionMeters[0]->GetLevel(), -6);
}

// --- A panel that builds nothing ---

class NerexBareBaseTest : public NerexBasePanelTest, public ::testing::WithParamInterface<std::uint32_t> {};

TEST_P(NerexBareBaseTest, OperationsWithoutTheirWidgetsDoNothing) {
  Make(120);
  m_device->SetPanelPage(GetParam());
  CNerexSeriesBaseControlPanel bare;
  bare.SetDevice(m_device.get());
  m_device->SetControlPanel(&bare);
  ASSERT_TRUE(bare.Create());
  bare.UpdateAllControls();
  bare.ShowPage(GetParam());
  bare.ShowPageControls(true);
  bare.RefreshGeqSection(true);
  bare.RefreshPeqSection(true);
  bare.RefreshDeqSection(true);
  bare.RefreshOutputEqSection(true);
  bare.RefreshOutputSection(true);
  bare.RefreshGeqCurve(true);
  bare.SelectGeqBand(2, 0);
  bare.SelectInputPeqBand(2, true);
  bare.SelectDeqBand(1, true);
  bare.SelectOutputEqBand(9, true);
  bare.ApplyGainNudge(false);
  bare.ApplyDelayDisplay(true);
  bare.RefillPresetList();
  bare.SetLcdText("1. Preset", true);
  bare.ApplyPermissions(true);
  bare.SelectSideTab(296, true);
  bare.RequestMeterUpdate();
  bare.OnTimer(CNerexSeriesBaseControlPanel::kMeterTimerId);
  bare.UpdateInputLinkCaption(true);
  bare.SetActiveObject(nullptr);
  EXPECT_FALSE(bare.IsMeterUpdateRequested());
  m_device->SetControlPanel(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Pages, NerexBareBaseTest, ::testing::Values(59u, 60u, 61u, 63u, 64u, 65u, 435u, 7u),
                         [](const ::testing::TestParamInfo<std::uint32_t>& info) {
                           return "Page" + std::to_string(info.param);
                         });

}  // namespace
