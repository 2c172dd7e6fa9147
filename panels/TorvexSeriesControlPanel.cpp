// The Torvex-series panel: its widget tree (built in drawing order), the strip relayout, pages,
// side tabs with the Router/Matrix choice, the routing lights, the right-click channel, the
// GEQ tooltips and the seven section drawings.
#include "panels/TorvexSeriesControlPanel.h"

#include <algorithm>
#include <span>

#include "core/BitmapImage.h"
#include "core/System.h"
#include "core/User.h"
#include "devices/processor/NerexChange.h"
#include "devices/processor/NerexChannelRules.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexParamIds.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "panels/BitmapFader.h"
#include "panels/BitmapMeter.h"
#include "panels/BitmapObject.h"
#include "panels/BmpButton.h"
#include "panels/CompressorMeter.h"
#include "panels/CustomComboBox.h"
#include "panels/Knob.h"
#include "panels/NerexSeriesLayout.h"
#include "panels/NerexSeriesParametricControl.h"
#include "panels/TextControl.h"
#include "panels/TorvexSeriesDEQControl.h"
#include "platform/Graphics.h"
#include "platform/Image.h"

namespace {

using panel_face::kCondensed;
constexpr const char* kValueFace = panel_face::kValue;
constexpr const char* kLcdFace = panel_face::kLcd;
constexpr const char* kLabelFace = "DejaVu Sans";
constexpr std::uint32_t kWhite = 0xFFFFFFFFu;
constexpr std::uint32_t kBlack = 0xFF000000u;
constexpr std::uint32_t kLightText = 0xFFDCDCDCu;
constexpr std::uint32_t kReadoutText = 0xFFE6E6E6u;
constexpr std::uint32_t kNameText = 0xFF323232u;

// Button flags as the panel passes them to the widgets.
constexpr std::uint32_t kLedButton = 1;          // an LED picture that lights
constexpr std::uint32_t kFaceShortcut = 9;       // a face button without a light
constexpr std::uint32_t kFaceOrangeLed = 0x80D;  // a face button with an orange light
constexpr std::uint32_t kHotArea = 8;            // no picture: a highlighted hot area

constexpr int kInputs = 4;
// The graphic EQ's band range, dB either way.
constexpr float kGeqRangeDb = 12.0f;
constexpr int kOutputs = 8;

// A drop-down list's face and its one colour, the second (its frame); the fill keeps the widget's
// default black, on which the text is drawn light.
void SetComboStyle(CCustomComboBox* combo, float points, std::uint32_t colour) {
  combo->GetTextStyle().Set(kCondensed, points, CColour{kReadoutText});
  combo->m_colour2 = colour;
}

// The panel's own short lists.
void AddPairs(CCustomComboBox* combo, std::initializer_list<std::pair<const char*, int>> items) {
  for (const auto& [text, value] : items) combo->AddItem(text, value);
}

bool Holds(const CRect& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

}  // namespace

CTorvexSeriesControlPanel::CTorvexSeriesControlPanel() {
  m_smallLabelStyle.Set(kLabelFace, 7.0f, CColour{kBlack});
  m_labelStyle.Set(kLabelFace, 8.0f, CColour{kBlack});
}

CTorvexSeriesControlPanel::~CTorvexSeriesControlPanel() = default;

int CTorvexSeriesControlPanel::GetInputStripX(int input, int inputCount) {
  return nerex_layout::InputStripX(inputCount, input);
}

int CTorvexSeriesControlPanel::GetOutputStripX(int output, int outputCount) {
  return nerex_layout::OutputStripX(outputCount, output);
}

bool CTorvexSeriesControlPanel::IsMatrixView() const {
  CNerexSeriesDevice* d = GetNerexDevice();
  if (!d) return false;
  CSingleLock lock(d->SettingsLock());
  return d->GetCurrentSettings().outputs.mixerFlag != 0;
}

// ====== Create ======

bool CTorvexSeriesControlPanel::Create() {
  LoadSkinImages();
  SetBackgroundImage(GetBackgroundImage());

  auto combo = [&](int id, const CRect& r, std::initializer_list<int> groups) {
    return Add(new CCustomComboBox(this, id, r), groups);
  };
  auto hotArea = [&](int id, const CRect& r, int radius, std::initializer_list<int> groups = {}) {
    CBmpButton* b = AddButton(id, nullptr, r, kHotArea, groups);
    b->m_highlightRadius = radius;
    return b;
  };
  // A transfer-curve graph and the parameters its curve follows.
  auto curveGraph = [&](int id, CBitmapImage* image, const CRect& r, int group, std::array<int, 5> ids) {
    CCompressorMeter* graph = Add(new CCompressorMeter(this, id, image, r), {group});
    graph->m_thresholdId = ids[0];
    graph->m_ratioId = ids[1];
    graph->m_kneeId = ids[2];
    graph->m_maxGainId = ids[3];
    graph->m_modeId = ids[4];
    return graph;
  };
  auto section = [&](int index, int id, int x, int y, std::initializer_list<int> groups) {
    m_sectionPictures[std::size_t(index)] = AddPicture(id, m_buffers[std::size_t(index)], x, y, groups);
  };

  // Page pictures.
  m_pagePictures[0] = AddPicture(kTorvexMixerPageId, GetMixerPageImage(), 0, 0, {kPanelGroupMixer});
  m_pagePictures[2] = AddPicture(kTorvexInputPeqPageId, GetInputPeqPageImage(), 0, 0, {kPanelGroupInputPeq});
  m_pagePictures[1] = AddPicture(kTorvexInputGeqPageId, GetInputGeqPageImage(), 0, 0, {kPanelGroupInputGeq});
  m_pagePictures[3] = AddPicture(kTorvexInputDeqPageId, GetInputDeqPageImage(), 0, 0, {kPanelGroupInputDeq});
  m_pagePictures[4] = AddPicture(kTorvexOutputEqPageId, GetOutputEqPageImage(), 0, 0, {kPanelGroupOutputEq});
  m_pagePictures[5] = AddPicture(kTorvexOutputCompPageId, GetOutputCompPageImage(), 0, 0, {kPanelGroupOutputComp});

  // Header.
  m_deviceName = AddText(58, true, kCondensed, 14, kLightText, 0, CRect{27, 37, 262, 61});
  m_deviceName->SetMaxLength(40);
  m_headerText = AddText(kTorvexModelLegendId, true, kCondensed, 6, kLightText, 0, CRect{17, 64, 262, 74});
  CBmpButton* tabGeq = hotArea(kNerexPageInputGeq, CRect{20, 74, 58, 104}, 5);
  CBmpButton* tabPeq = hotArea(kNerexPageInputPeq, CRect{62, 74, 100, 104}, 5);
  CBmpButton* tabDeq = hotArea(kNerexPageInputDeq, CRect{104, 74, 142, 104}, 5);
  CBmpButton* tabMixer = hotArea(kNerexPageMixer, CRect{146, 74, 188, 104}, 5);
  CBmpButton* tabComp = hotArea(kNerexPageOutputComp, CRect{188, 74, 226, 104}, 5);
  CBmpButton* tabOutEq = hotArea(kNerexPageOutputEq, CRect{230, 74, 268, 104}, 5);
  m_pageTabs = {tabMixer, tabGeq, tabPeq, tabDeq, tabOutEq, tabComp};
  m_presetManagerButton = hotArea(kTorvexPresetManagerId, CRect{209, 10, 268, 30}, 5);
  section(kTorvexSectionInputs, kTorvexInputsSectionId, 0, 113, {kPanelGroupMixer});
  m_presetButtons[0] = hotArea(436, CRect{224, 96, 282, 119}, 5, {kPanelGroupCompact});
  m_presetButtons[1] = hotArea(437, CRect{181, 96, 206, 107}, 3, {kPanelGroupCompact});
  m_presetButtons[2] = hotArea(438, CRect{181, 108, 206, 119}, 3, {kPanelGroupCompact});
  m_lcdText = AddText(438, false, kCondensed, 12, kWhite, 0, CRect{27, 97, 170, 117}, {kPanelGroupCompact});
  m_lcdText->SetText("Testing...");

  // Channel-select LEDs (ShowPage moves them per page).
  for (int j = 0; j < 8; ++j) {
    CBmpButton* led = AddButton(120 + j, GetBlueLedImage(), SizedAt(35 + 28 * j, 155, GetBlueLedImage()), kLedButton);
    led->m_highlightAlpha = 180;
    m_channelSelect[std::size_t(j)] = led;
  }

  // Input strips at their creation places; UpdateAllControls lays them out again.
  for (int i = 0; i < kInputs; ++i) {
    const auto u = std::size_t(i);
    const int x0 = 66 * i;
    auto* meter = Add(new CBitmapMeter(this, 1 + i, GetMeterImage(), SizedAt(x0 + 55, 420, GetMeterImage()), 9, 0, -112),
                      {kPanelGroupMixer, kPanelGroupCompact});
    m_inputMeters[u] = meter;
    m_inputFaders[u] =
        Add(new CBitmapFader(this, 13 + i, GetFaderCapImage(), kFaderChannelGain, CRect{x0 + 34, 420, x0 + 49, 565}),
            {kPanelGroupMixer});
    m_inputGainTexts[u] = AddText(13 + i, true, kLcdFace, panel_face::kGainReadoutPoints, kReadoutText, 0x105,
                               CRect{x0 + 15, 574, x0 + 65, 589}, {kPanelGroupMixer});
    m_inputDelays[u] = AddText(249 + i, true, kValueFace, 7.5f, kReadoutText, 0x110E5, CRect{x0 + 17, 272, x0 + 74, 287},
                            {kPanelGroupMixer});
    for (int j = 0; j < 4; ++j)
      m_inputLinks[u][std::size_t(j)] =
          AddButton(339 + 4 * i + j, GetLedOffImage(), SizedAt(x0 + 37, 155 + 25 * j, GetLedOffImage()), kFaceOrangeLed,
                 {kPanelGroupMixer});
    m_inputRows[0][u] =
        AddButton(237 + i, GetLedOffImage(), SizedAt(x0 + 49, 298, GetLedOffImage()), kFaceShortcut, {kPanelGroupMixer});
    m_inputRows[1][u] =
        AddButton(233 + i, GetLedOffImage(), SizedAt(x0 + 49, 323, GetLedOffImage()), kFaceShortcut, {kPanelGroupMixer});
    m_inputRows[2][u] =
        AddButton(229 + i, GetLedOffImage(), SizedAt(x0 + 49, 348, GetLedOffImage()), kFaceShortcut, {kPanelGroupMixer});
    CBmpButton* mute =
        AddButton(25 + i, GetRedLedImage(), SizedAt(x0 + 50, 350, GetRedLedImage()), kLedButton, {kPanelGroupMixer});
    mute->m_highlightAlpha = 200;
    m_inputMutes[u] = mute;
    CTextControl* name =
        AddText(128 + i, true, kValueFace, 8, kNameText, 0, CRect{x0 + 17, 372, x0 + 73, 387}, {kPanelGroupMixer});
    name->SetMaxLength(8);
    m_inputNames[u] = name;
  }

  // Output strip backgrounds, then the side-tab and output-number sections over them.
  for (int k = 0; k < kOutputs; ++k)
    m_outputStrips[std::size_t(k)] =
        AddPicture(kTorvexOutputStripId, GetOutputStripImage(), 315 + 66 * k, 25, {kPanelGroupMixer});
  section(kTorvexSectionSideTabs, kTorvexSideTabSectionId, 280, 0, {kPanelGroupMixer});
  section(kTorvexSectionOutputNumbers, kTorvexNumbersSectionId, 280, 554, {kPanelGroupMixer});

  for (int k = 0; k < kOutputs; ++k) {
    const auto u = std::size_t(k);
    const int x0 = 315 + 66 * k;
    m_outputMeters[u] =
        Add(new CBitmapMeter(this, 5 + k, GetMeterImage(), SizedAt(x0 + 40, 420, GetMeterImage()), 9, 0, -112),
            {kPanelGroupMixer, kPanelGroupCompact});
    m_outputFaders[u] =
        Add(new CBitmapFader(this, 17 + k, GetFaderCapImage(), kFaderChannelGain, CRect{x0 + 19, 390, x0 + 34, 565}),
            {kPanelGroupMixer});
    m_outputGainTexts[u] = AddText(17 + k, true, kLcdFace, panel_face::kGainReadoutPoints, kReadoutText, 0x105,
                                CRect{x0, 574, x0 + 50, 589}, {kPanelGroupMixer});
    CBmpButton* mute =
        AddButton(29 + k, GetRedLedImage(), SizedAt(x0 + 35, 348, GetRedLedImage()), kLedButton, {kPanelGroupMixer});
    mute->m_highlightAlpha = 200;
    m_outputMutes[u] = mute;
    CBmpButton* phase =
        AddButton(37 + k, GetBlueLedImage(), SizedAt(x0 + 35, 323, GetBlueLedImage()), kLedButton, {kPanelGroupMixer});
    phase->m_highlightAlpha = 200;
    m_outputPolarity[u] = phase;
    m_outputRows[0][u] =
        AddButton(241 + k, GetLedOffImage(), SizedAt(x0 + 34, 298, GetLedOffImage()), kFaceShortcut, {kPanelGroupMixer});
    m_outputRows[1][u] =
        AddButton(221 + k, GetLedOffImage(), SizedAt(x0 + 34, 298, GetLedOffImage()), kFaceShortcut, {kPanelGroupMixer});
    m_outputDelays[u] = AddText(253 + k, true, kValueFace, 7.5f, kReadoutText, 0x10E5, CRect{x0 + 2, 272, x0 + 59, 287},
                             {kPanelGroupMixer});
    CTextControl* name =
        AddText(132 + k, true, kValueFace, 8, kNameText, 0, CRect{x0 + 2, 372, x0 + 58, 387}, {kPanelGroupMixer});
    name->SetMaxLength(8);
    m_outputNames[u] = name;
    for (int j = 0; j < 4; ++j)
      m_routingButtons[u][std::size_t(j)] =
          AddButton(439 + 4 * k + j, GetLedOffImage(), SizedAt(x0 + 22, 37 + 25 * j, GetLedOffImage()), kFaceOrangeLed,
                 {kPanelGroupSource});
    for (int j = 0; j < 4; ++j) {
      const int id = 263 + 4 * k + j;
      auto* knob = Add(new CKnob(this, id, CRect{x0 + 16, 38 + 55 * j, x0 + 43, 65 + 55 * j}), {kPanelGroupSource});
      knob->m_minimum = -41;
      knob->m_maximum = 15;
      knob->m_step = 0.5f;
      knob->m_minAngle = -135.0f;
      knob->m_maxAngle = 135.0f;
      knob->m_markStyle = 3;
      m_matrixGains[u][std::size_t(j)] = knob;
      CTextControl* value = AddText(id, true, kValueFace, 8, kReadoutText, 0x1165,
                                 CRect{x0 + 5, 71 + 55 * j, x0 + 54, 85 + 55 * j}, {kPanelGroupSource});
      value->SetNudgeStep(5);
      m_matrixGainTexts[u][std::size_t(j)] = value;
    }
    for (int m = 0; m < 8; ++m)
      m_outputLinks[u][std::size_t(m)] =
          AddButton(355 + 8 * k + m, GetLedOffImage(), SizedAt(x0 + 22, 37 + 25 * m, GetLedOffImage()), kFaceOrangeLed,
                 {kPanelGroupLinking});
    m_limiterLevels[u] =
        AddText(299 + k, true, kValueFace, 8, kWhite, 0x146D, CRect{x0 + 4, 83, x0 + 55, 98}, {kPanelGroupLimiters});
    m_limiterLevels[u]->SetText("0dB");
    m_clipLevels[u] =
        AddText(307 + k, true, kValueFace, 8, kWhite, 0x146D, CRect{x0 + 4, 198, x0 + 55, 213}, {kPanelGroupLimiters});
    m_clipLevels[u]->SetText("0dB");
    CCustomComboBox* clipRelease = combo(331 + k, CRect{x0 + 4, 233, x0 + 55, 248}, {kPanelGroupLimiters});
    AddItems(clipRelease, nerex_layout::ClipReleaseItems());
    m_clipReleases[u] = clipRelease;
    CCustomComboBox* release = combo(323 + k, CRect{x0 + 4, 153, x0 + 55, 168}, {kPanelGroupLimiters});
    AddItems(release, nerex_layout::ReleaseItems());
    m_limiterReleases[u] = release;
    CCustomComboBox* attack = combo(315 + k, CRect{x0 + 4, 118, x0 + 55, 133}, {kPanelGroupLimiters});
    AddItems(attack, nerex_layout::AttackItems());
    m_limiterAttacks[u] = attack;
    for (CCustomComboBox* c : {clipRelease, release, attack}) SetComboStyle(c, 7, kWhite);
  }

  // Fixed Mixer-page widgets after the strips.
  m_autoLimiters = combo(422, CRect{319, 41, 370, 56}, {kPanelGroupLimiters});
  AddItems(m_autoLimiters, nerex_layout::AutoLimiterItems());
  SetComboStyle(m_autoLimiters, 7, kWhite);
  m_sideTabs[0] = hotArea(kNerexSideTabSource, CRect{289, 156, 309, 226}, 5, {kPanelGroupMixer});
  m_sideTabs[1] = hotArea(kNerexSideTabLimiters, CRect{289, 83, 309, 153}, 5, {kPanelGroupMixer});
  m_sideTabs[2] = hotArea(kNerexSideTabLinking, CRect{289, 10, 309, 80}, 5, {kPanelGroupMixer});
  m_matrixTabPicture = AddPicture(kTorvexMatrixTabId, GetMatrixTabImage(), 285, 240, {kPanelGroupMixer});
  m_routerTabPicture = AddPicture(kTorvexRouterTabId, GetRouterTabImage(), 285, 240, {kPanelGroupMixer});
  m_sideTabs[4] = hotArea(kParamMixerOff, CRect{289, 243, 309, 289}, 5, {kPanelGroupMixer});
  m_sideTabs[3] = hotArea(kParamMixerOn, CRect{289, 293, 309, 339}, 5, {kPanelGroupMixer});

  // Input GEQ page (faders after the DEQ page).
  m_geqCurve = Add(new CNerexSeriesParametricControl(this, 140, CRect{10, 350, 840, 590}), {kPanelGroupInputGeq});
  CBmpButton* geqBypass =
      AddButton(1312, GetBlueLedImage(), SizedAt(545, 50, GetBlueLedImage()), kLedButton, {kPanelGroupInputGeq});
  geqBypass->m_highlightAlpha = 200;
  m_geqBypass = geqBypass;
  m_geqFlat = AddButton(1320, GetLedOffImage(), SizedAt(544, 74, GetLedOffImage()), kFaceShortcut, {kPanelGroupInputGeq});
  CCustomComboBox* shape = combo(1316, CRect{500, 25, 565, 40}, {kPanelGroupInputGeq});
  AddItems(shape, nerex_layout::QShapeItems());
  shape->GetTextStyle().Set(kCondensed, 7, CColour{kLightText});
  m_geqShape = shape;

  // Input DEQ page.
  m_deqGraph = Add(new CTorvexSeriesDEQControl(this, CRect{10, 230, 840, 590}), {kPanelGroupInputDeq});
  m_deqLinkingList = combo(1591, CRect{176, 174, 258, 189}, {kPanelGroupInputDeq});
  AddPairs(m_deqLinkingList, {{"As Ganging", 0}, {"Off", 1}});
  m_deqModeList = combo(1590, CRect{176, 139, 258, 154}, {kPanelGroupInputDeq});
  AddPairs(m_deqModeList, {{"Sequential", 0}, {"Parallel", 1}});
  for (CCustomComboBox* c : {m_deqLinkingList, m_deqModeList}) SetComboStyle(c, 7, kWhite);
  for (int s = 0; s < 3; ++s) {
    const auto u = std::size_t(s);
    const int d = 186 * s;
    auto deqText = [&](int id, std::uint32_t flags, const CRect& r) {
      return AddText(id + s, true, kValueFace, 8, kWhite, flags, r, {kPanelGroupInputDeq});
    };
    m_deqFrames[u] = AddPicture(1593, GetLargeSelectionFrameImage(), 279 + d, 1, {kPanelGroupInputDeq});
    m_deqBandGraphs[u] = curveGraph(1578 + s, GetLargeCompressorGraphImage(), CRect{366 + d, 18, 453 + d, 105},
                                    kPanelGroupInputDeq, {1446 + s, 1458 + s, 0, 1542 + s, 1494 + s});
    m_deqFrequency[u] = deqText(1530, 0x146D, CRect{352 + d, 195, 402 + d, 210});
    m_deqQ[u] = deqText(1554, 0x146D, CRect{352 + d, 165, 382 + d, 180});
    m_deqEffect[u] = deqText(1542, 0x146D, CRect{414 + d, 195, 454 + d, 210});
    CCustomComboBox* mode = combo(1494 + s, CRect{386 + d, 165, 458 + d, 180}, {kPanelGroupInputDeq});
    AddPairs(mode, {{"Cut Above", 0}, {"Boost Above", 1}, {"Cut Below", 2}, {"Boost Below", 3}});
    m_deqDynamicMode[u] = mode;
    CCustomComboBox* kind = combo(1506 + s, CRect{352 + d, 135, 432 + d, 150}, {kPanelGroupInputDeq});
    AddPairs(kind, {{"Parametric", 0}, {"Full Bandwidth", 1}, {"Low Shelf", 2}, {"High Shelf", 3}});
    m_deqShape[u] = kind;
    for (CCustomComboBox* c : {mode, kind}) SetComboStyle(c, 7, kWhite);
    m_deqBypass[u] =
        AddButton(1518 + s, GetBlueLedImage(), SizedAt(291 + d, 195, GetBlueLedImage()), kLedButton, {kPanelGroupInputDeq});
    m_deqThreshold[u] = deqText(1446, 0x116D, CRect{290 + d, 75, 340 + d, 90});
    m_deqRatio[u] = deqText(1458, 0x146D, CRect{291 + d, 105, 339 + d, 120});
    m_deqAttack[u] = deqText(1470, 0x146D, CRect{291 + d, 135, 339 + d, 150});
    m_deqRelease[u] = deqText(1482, 0x146D, CRect{291 + d, 165, 339 + d, 180});
  }

  // The 28 GEQ band faders, +-12 dB.
  for (int b = 0; b < 28; ++b) {
    auto* fader = Add(
        new CBitmapFader(this, 1200 + b, GetFaderCapImage(), kFaderGeqBand, CRect{63 + 26 * b, 140, 78 + 26 * b, 315}),
        {kPanelGroupInputGeq});
    fader->m_minimum = -kGeqRangeDb;
    fader->m_maximum = kGeqRangeDb;
    m_geqFaders[std::size_t(b)] = fader;
  }

  // Input PEQ page, with the input-letter pictures and the selected input's caption.
  m_peqCurve = Add(new CNerexSeriesParametricControl(this, 141, CRect{10, 220, 840, 590}), {kPanelGroupInputPeq});
  section(kTorvexSectionInputLetters, kTorvexInputLettersId, 303, 82, {kPanelGroupInputPeq, kPanelGroupInputGeq});
  section(kTorvexSectionDeqLetters, kTorvexInputLettersId, 38, 200, {kPanelGroupInputDeq});
  m_inputCaption = AddText(433, false, kCondensed, 10, kWhite, 0, CRect{295, 35, 415, 51},
                        {kPanelGroupInputDeq, kPanelGroupInputPeq, kPanelGroupInputGeq});

  // A band row of a band table: frame, frequency, Q, gain, type, bypass.
  auto bandRow = [&](int b, int freqId, int qId, int gainId, int typeId, int bypassId, int group,
                     CControlObject*& frame, CTextControl*& freq, CTextControl*& q, CTextControl*& gain,
                     CCustomComboBox*& type, CBmpButton*& bypass) {
    const int y = 23 + 19 * b;
    frame = AddPicture(1592, GetSelectionFrameImage(), 436, y - 4, {group});
    auto bandText = [&](int id, std::uint32_t flags, const CRect& r) {
      CTextControl* t = AddText(id, true, kValueFace, 9, kLightText, flags, r, {group});
      t->GetTextStyle().Set(kCondensed, 9, CColour{kLightText});
      return t;
    };
    freq = bandText(freqId, 0x106D, CRect{470, y, 530, y + 17});
    q = bandText(qId, 0x6D, CRect{540, y, 580, y + 17});
    gain = bandText(gainId, 0x116D, CRect{590, y, 650, y + 17});
    type = combo(typeId, CRect{660, y, 795, y + 17}, {group});
    AddItems(type, nerex_layout::EqTypeItems());
    SetComboStyle(type, 9, kLightText);
    bypass = AddButton(bypassId, GetSmallBlueLedImage(), SizedAt(807, y + 1, GetSmallBlueLedImage()), kLedButton, {group});
  };
  for (int b = 7; b >= 0; --b) {
    const auto u = std::size_t(b);
    bandRow(b, 508 + b, 540 + b, 572 + b, 604 + b, 636 + b, kPanelGroupInputPeq, m_peqFrames[u], m_peqFrequency[u],
            m_peqQ[u], m_peqGain[u], m_peqType[u], m_peqBypass[u]);
  }

  // Output EQ page with the crossover.
  m_outputEqCurve = Add(new CNerexSeriesParametricControl(this, 142, CRect{10, 220, 840, 590}), {kPanelGroupOutputEq});
  section(kTorvexSectionOutputEqNumbers, kTorvexOutputEqNumbersId, 38, 178, {kPanelGroupOutputEq});
  m_outputCaption = AddText(434, false, kCondensed, 10, kWhite, 0, CRect{27, 133, 262, 149}, {kPanelGroupOutputEq});
  for (int b = 8; b >= 0; --b) {
    const auto u = std::size_t(b);
    bandRow(b, 700 + b, 772 + b, 844 + b, 916 + b, 988 + b, kPanelGroupOutputEq, m_outputPeqFrames[u],
            m_outputPeqFrequency[u], m_outputPeqQ[u], m_outputPeqGain[u], m_outputPeqType[u], m_outputPeqBypass[u]);
  }
  auto crossoverText = [&](int id, const CRect& r) {
    CTextControl* t = AddText(id, true, kValueFace, 9, kLightText, 0x106D, r, {kPanelGroupOutputEq});
    t->GetTextStyle().Set(kCondensed, 9, CColour{kLightText});
    return t;
  };
  m_highPassFrequency = crossoverText(1100, CRect{287, 73, 360, 90});
  m_lowPassFrequency = crossoverText(1108, CRect{287, 143, 360, 160});
  m_lowPassType = combo(1124, CRect{287, 178, 420, 195}, {kPanelGroupOutputEq});
  m_highPassType = combo(1116, CRect{287, 108, 420, 125}, {kPanelGroupOutputEq});
  for (CCustomComboBox* c : {m_lowPassType, m_highPassType}) {
    AddItems(c, nerex_layout::CrossoverTypeItems());
    SetComboStyle(c, 9, kLightText);
  }

  // Output Comp page.
  for (int k = 0; k < kOutputs; ++k)
    m_compressorStrips[std::size_t(k)] =
        AddPicture(kTorvexCompressorStripId, GetCompressorStripImage(), 10 + 105 * k, 115, {kPanelGroupOutputComp});
  section(kTorvexSectionCompNumbers, kTorvexNumbersSectionId, 10, 575, {kPanelGroupOutputComp});
  for (int k = 0; k < kOutputs; ++k) {
    const auto u = std::size_t(k);
    const int c = 105 * k;
    CTextControl* name =
        AddText(132 + k, true, kValueFace, 8, kNameText, 0, CRect{35 + c, 576, 100 + c, 591}, {kPanelGroupOutputComp});
    name->SetMaxLength(8);
    m_compressorNames[u] = name;
    m_gainReductionMeters[u] = Add(new CBitmapMeter(this, 1420 + k, GetGainReductionMeterImage(),
                                                    SizedAt(55 + c, 430, GetGainReductionMeterImage()), 24, 2, -6),
                                   {kPanelGroupOutputComp});
    m_compressorGraphs[u] = curveGraph(1412 + k, GetSmallCompressorGraphImage(), CRect{30 + c, 329, 102 + c, 401},
                                       kPanelGroupOutputComp, {1364 + k, 1372 + k, 1396 + k, 0, 0});
    m_compressorBypass[u] = AddButton(1404 + k, GetSmallBlueLedImage(), SizedAt(50 + c, 295, GetSmallBlueLedImage()),
                                   kLedButton, {kPanelGroupOutputComp});
    auto compText = [&](int id, std::uint32_t flags, int top) {
      return AddText(id + k, true, kValueFace, 8, kWhite, flags, CRect{15 + c, top, 80 + c, top + 15},
                  {kPanelGroupOutputComp});
    };
    m_compressorThreshold[u] = compText(1364, 0x146D, 135);
    m_compressorRatio[u] = compText(1372, 0x116D, 170);
    m_compressorAttack[u] = compText(1380, 0x116D, 205);
    m_compressorRelease[u] = compText(1388, 0x116D, 240);
    m_compressorSoftKnee[u] = compText(1396, 0x146D, 275);
  }
  m_compressorLimiters = combo(1444, CRect{287, 90, 337, 105}, {kPanelGroupOutputComp});
  AddItems(m_compressorLimiters, nerex_layout::AutoLimiterItems());
  SetComboStyle(m_compressorLimiters, 7, kWhite);

  return CNerexSeriesBaseControlPanel::Create();
}

// ====== Refresh and layout ======

void CTorvexSeriesControlPanel::UpdateAllControls() {
  CNerexSeriesDevice* device = GetNerexDevice();
  if (!device) return;
  DrawInputsSectionBody();
  DrawSideTabSection();
  DrawOutputNumbers();
  DrawCompressorNumbers();
  DrawInputLetters();
  DrawOutputEqNumbers();
  DrawDeqInputLetters();
  EnableToolTips();
  m_headerText->SetText(device->GetModelName() + kLegend);
  LayOutStrips();
  // The gain faders take their ranges from the device's descriptions.
  for (CBitmapFader* fader : m_inputFaders) {
    const CParamInfo info = device->GetParameterAt(fader->GetId());
    if (info.maximum > info.minimum) fader->m_maximum = info.maximum, fader->m_minimum = info.minimum;
  }
  for (CBitmapFader* fader : m_outputFaders) {
    const CParamInfo info = device->GetParameterAt(fader->GetId());
    if (info.maximum > info.minimum) fader->m_maximum = info.maximum, fader->m_minimum = info.minimum;
  }
  CNerexSeriesBaseControlPanel::UpdateAllControls();
}

void CTorvexSeriesControlPanel::LayOutStrips() {
  const int n = GetInputCount(), m = GetOutputCount();
  for (int i = 0; i < kInputs; ++i) {
    const auto u = std::size_t(i);
    const int x = GetInputStripX(i, n);
    m_inputFaders[u]->SetRect(CRect{x + 19, 413, x + 34, 565});
    m_inputMeters[u]->MoveTo(x + 40, 420);
    m_inputGainTexts[u]->SetRect(CRect{x + 3, 574, x + 53, 589});
    m_inputMutes[u]->MoveTo(x + 35, 348);
    m_inputRows[0][u]->MoveTo(x + 34, 273);
    m_inputRows[1][u]->MoveTo(x + 34, 298);
    m_inputRows[2][u]->MoveTo(x + 34, 323);
    m_inputNames[u]->SetRect(CRect{x + 2, 372, x + 58, 387});
    m_inputDelays[u]->SetRect(CRect{x + 1, 249, x + 58, 264});
    for (int j = 0; j < 4; ++j) m_inputLinks[u][std::size_t(j)]->MoveTo(x + 22, 130 + 25 * j);
  }
  for (int k = 0; k < kOutputs; ++k) {
    const auto u = std::size_t(k);
    const int x = GetOutputStripX(k, m);
    m_outputStrips[u]->MoveTo(x, 5);
    m_outputFaders[u]->SetRect(CRect{x + 19, 390, x + 34, 565});
    m_outputGainTexts[u]->SetRect(CRect{x, 574, x + 50, 589});
    m_outputMeters[u]->MoveTo(x + 40, 420);
    m_outputMutes[u]->MoveTo(x + 35, 348);
    m_outputPolarity[u]->MoveTo(x + 35, 323);
    m_outputRows[0][u]->MoveTo(x + 34, 273);
    m_outputRows[1][u]->MoveTo(x + 34, 298);
    m_outputNames[u]->SetRect(CRect{x + 2, 372, x + 58, 387});
    m_outputDelays[u]->SetRect(CRect{x + 1, 249, x + 58, 264});
    m_limiterLevels[u]->SetRect(CRect{x + 4, 53, x + 56, 68});
    m_clipLevels[u]->SetRect(CRect{x + 4, 168, x + 56, 183});
    auto placeCombo = [](CCustomComboBox* c, const CRect& r) {
      c->SetRect(r);
      c->m_dropAnchor = r;
    };
    placeCombo(m_limiterAttacks[u], CRect{x + 4, 88, x + 56, 103});
    placeCombo(m_limiterReleases[u], CRect{x + 4, 123, x + 56, 138});
    placeCombo(m_clipReleases[u], CRect{x + 4, 203, x + 56, 218});
    for (int j = 0; j < 4; ++j) {
      const auto v = std::size_t(j);
      m_routingButtons[u][v]->MoveTo(x + 22, 17 + 25 * j);
      m_matrixGains[u][v]->SetRect(CRect{x + 16, 19 + 55 * j, x + 43, 46 + 55 * j});
      m_matrixGainTexts[u][v]->SetRect(CRect{x + 6, 52 + 55 * j, x + 55, 66 + 55 * j});
    }
    for (int c = 0; c < 8; ++c) m_outputLinks[u][std::size_t(c)]->MoveTo(x + 22, 17 + 25 * c);
  }
}

void CTorvexSeriesControlPanel::UpdateBitMaskButtons(bool redraw) {
  CNerexSeriesDevice* device = GetNerexDevice();
  if (!device) return;
  std::array<std::uint8_t, kNerexMaxOutputs> masks{};
  {
    CSingleLock lock(device->SettingsLock());
    masks = device->GetCurrentSettings().outputs.routingMasks;
  }
  for (int k = 0; k < kOutputs; ++k)
    for (int j = 0; j < 4; ++j)
      m_routingButtons[std::size_t(k)][std::size_t(j)]->SetLit(((masks[std::size_t(k)] >> j) & 1u) != 0);
  if (redraw) {
    const CRect r = UnionRect(m_routingButtons[0][0]->GetRect(), m_limiterLevels[4]->GetRect());
    RedrawRect(&r, true, true);
  }
}

void CTorvexSeriesControlPanel::DrawInputsSection(bool redraw) {
  (void)redraw;
  DrawInputsSectionBody();
}

// ====== Pages and side tabs ======

void CTorvexSeriesControlPanel::ShowPage(std::uint32_t page) {
  const std::uint32_t pictures[6] = {kNerexPageMixer,    kNerexPageInputGeq, kNerexPageInputPeq,
                                     kNerexPageInputDeq, kNerexPageOutputEq, kNerexPageOutputComp};
  for (int p = 0; p < 6; ++p) m_pagePictures[std::size_t(p)]->SetVisible(pictures[p] == page);

  auto ledRow = [this](int x, int y) {
    for (int j = 0; j < 8; ++j) m_channelSelect[std::size_t(j)]->MoveTo(x + 28 * j, y);
  };
  switch (page) {
    case kNerexPageInputGeq:
    case kNerexPageInputPeq:
      ledRow(300, 60);
      m_inputCaption->SetRect(CRect{295, 35, 415, 51});
      break;
    case kNerexPageInputDeq:
      ledRow(35, 180);
      m_inputCaption->SetRect(CRect{30, 145, 150, 175});
      break;
    case kNerexPageOutputEq:
      ledRow(35, 155);
      break;
    case kNerexPageOutputComp:
      ledRow(35, 155);
      for (CCompressorMeter* graph : m_compressorGraphs) graph->ResetLevels();
      break;
    case kNerexPageMixer:
      // Without a valid current user the panel grants no right: the preset manager stays hidden.
      m_presetManagerButton->SetVisible(UserMayRecallPresets());
      break;
    default:
      break;
  }
  CNerexSeriesBaseControlPanel::ShowPage(page);
}

void CTorvexSeriesControlPanel::SelectSideTab(std::uint32_t tab, bool redraw) {
  const int n = GetInputCount(), m = GetOutputCount();
  const bool matrix = IsMatrixView();
  CBmpButton* router = m_sideTabs[3];
  CBmpButton* mixer = m_sideTabs[4];
  auto setSubTabs = [&](bool shown) {
    for (CControlObject* w :
         std::initializer_list<CControlObject*>{router, mixer, m_matrixTabPicture, m_routerTabPicture})
      w->SetVisible(shown);
  };
  auto groupVisible = [this](int group, bool on) { SetGroupVisible(group, on); };
  switch (tab) {
    case kNerexSideTabSource:
      m_autoLimiters->SetVisible(false);
      router->SetVisible(true);
      mixer->SetVisible(true);
      m_matrixTabPicture->SetVisible(matrix);
      m_routerTabPicture->SetVisible(!matrix);
      for (int k = 0; k < kOutputs; ++k)
        for (int j = 0; j < 4; ++j) {
          const auto u = std::size_t(k), v = std::size_t(j);
          const bool exists = k < m && j < n;
          m_routingButtons[u][v]->SetVisible(!matrix && exists);
          m_matrixGains[u][v]->SetVisible(matrix && exists);
          m_matrixGainTexts[u][v]->SetVisible(matrix && exists);
        }
      groupVisible(kPanelGroupLimiters, false);
      groupVisible(kPanelGroupLinking, false);
      break;
    case kNerexSideTabLimiters:
      m_autoLimiters->SetVisible(true);
      setSubTabs(false);
      for (int k = 0; k < kOutputs; ++k) {
        const auto u = std::size_t(k);
        for (CControlObject* w : std::initializer_list<CControlObject*>{
                 m_limiterLevels[u], m_clipLevels[u], m_limiterAttacks[u], m_limiterReleases[u], m_clipReleases[u]})
          w->SetVisible(k < m);
      }
      groupVisible(kPanelGroupSource, false);
      groupVisible(kPanelGroupLinking, false);
      break;
    case kNerexSideTabLinking:
      m_autoLimiters->SetVisible(false);
      setSubTabs(false);
      for (int k = 0; k < kOutputs; ++k)
        for (int c = 0; c < 8; ++c) m_outputLinks[std::size_t(k)][std::size_t(c)]->SetVisible(k < m && c < m);
      groupVisible(kPanelGroupSource, false);
      groupVisible(kPanelGroupLimiters, false);
      break;
    default:
      groupVisible(kPanelGroupSource, false);
      groupVisible(kPanelGroupLimiters, false);
      groupVisible(kPanelGroupLinking, false);
      m_autoLimiters->SetVisible(false);
      setSubTabs(false);
      break;
  }
  if (redraw) {
    DrawSideTabSection();
    const CRect r = GetSideTabRedrawRect();
    RedrawRect(&r, true, true);
  }
}

CRect CTorvexSeriesControlPanel::GetSideTabRedrawRect() const {
  const CBitmapObject* section = m_sectionPictures[kTorvexSectionSideTabs];
  CRect r = section->GetRect();
  for (const CControlObject* w : std::initializer_list<const CControlObject*>{m_matrixTabPicture, m_routerTabPicture,
                                                                              m_sideTabs[3], m_sideTabs[4]})
    r = UnionRect(r, w->GetRect());
  const CBitmapImage* background = CControlPanelWnd::GetBackgroundImage();
  r.right = std::max<int>(r.right, background ? background->GetWidth() : kWidth);
  return r;
}

void CTorvexSeriesControlPanel::EnableAllControls(bool enable) {
  const CNerexSeriesDevice* device = GetNerexDevice();
  const int n = GetInputCount(), m = GetOutputCount();
  const int model = device ? device->GetModel() : 0;
  for (int s : {kTorvexSectionInputs, kTorvexSectionSideTabs, kTorvexSectionOutputNumbers})
    m_sectionPictures[std::size_t(s)]->SetVisible(enable);
  for (int t = 0; t < 3; ++t) m_sideTabs[std::size_t(t)]->SetVisible(enable);

  for (int i = 0; i < kInputs; ++i) {
    const auto u = std::size_t(i);
    const bool on = enable && i < n;
    for (CControlObject* w :
         std::initializer_list<CControlObject*>{m_inputFaders[u], m_inputGainTexts[u], m_inputMeters[u],
                                                m_inputMutes[u], m_inputRows[1][u], m_inputNames[u], m_inputDelays[u]})
      w->SetVisible(on);
    m_inputRows[0][u]->SetVisible(on && IsTorvexLayoutModel(model));
    m_inputRows[2][u]->SetVisible(on && model == kModelTorvex48);
    for (int j = 0; j < 4; ++j) m_inputLinks[u][std::size_t(j)]->SetVisible(on && j < n);
  }
  for (int k = 0; k < kOutputs; ++k) {
    const auto u = std::size_t(k);
    const bool on = enable && k < m;
    for (CControlObject* w : std::initializer_list<CControlObject*>{
             m_outputStrips[u], m_outputFaders[u], m_outputGainTexts[u], m_outputMeters[u], m_outputMutes[u],
             m_outputPolarity[u], m_outputRows[0][u], m_outputRows[1][u], m_outputNames[u], m_outputDelays[u],
             m_limiterLevels[u], m_clipLevels[u], m_limiterAttacks[u], m_limiterReleases[u], m_clipReleases[u]})
      w->SetVisible(on);
    for (int j = 0; j < 4; ++j) {
      m_routingButtons[u][std::size_t(j)]->SetVisible(on);
      m_outputLinks[u][std::size_t(j)]->SetVisible(on);
    }
  }
  SelectSideTab(enable && device ? device->GetSideTab() : 0, false);
}

// ====== Right click ======

void CTorvexSeriesControlPanel::OnRightClick(int x, int y) {
  CNerexSeriesDevice* device = GetNerexDevice();
  if (device) {
    std::uint32_t channel = 0;
    const int n = GetInputCount(), m = GetOutputCount();
    switch (device->GetPanelPage()) {
      case kNerexPageInputGeq:
      case kNerexPageInputPeq:
      case kNerexPageInputDeq:
        channel = std::uint32_t(InputLinkMaster(*device, int(SelectedInput())) + 1);
        break;
      case kNerexPageOutputEq:
        channel = std::uint32_t(OutputLinkMaster(*device, int(SelectedOutput())) + 5);
        break;
      case kNerexPageOutputComp:
        for (int k = 0; k < m && channel == 0; ++k)
          if (Holds(m_compressorStrips[std::size_t(k)]->GetRect(), x, y)) channel = std::uint32_t(k + 5);
        break;
      case kNerexPageMixer: {
        const CRect inputs = m_sectionPictures[kTorvexSectionInputs]->GetRect();
        for (int i = 0; i < n && channel == 0; ++i) {
          const int left = GetInputStripX(i, n);
          if (x >= left && x < left + 65 && y >= inputs.top && y < inputs.bottom) channel = std::uint32_t(i + 1);
        }
        for (int k = 0; k < m && channel == 0; ++k)
          if (Holds(m_outputStrips[std::size_t(k)]->GetRect(), x, y)) channel = std::uint32_t(k + 5);
        break;
      }
      default:
        break;
    }
    device->SetSelectedChannel(channel);
  }
  CNerexSeriesBaseControlPanel::OnRightClick(x, y);
}

// ====== Section drawings ======

template <typename Body>
void CTorvexSeriesControlPanel::DrawSection(int section, Body body) {
  CBitmapImage* buffer = m_buffers[std::size_t(section)];
  if (!buffer || !buffer->GetImage()) return;
  Graphics g(*buffer->GetImage());
  g.SetSmoothingMode(SmoothingMode::HighQuality);
  g.SetCompositingMode(CompositingMode::SourceCopy);
  g.Clear(CColour{0x00000000u});
  g.SetCompositingMode(CompositingMode::SourceOver);
  g.SetTextRenderingHint(TextRenderingHint::AntiAlias);
  body(g);
}

void CTorvexSeriesControlPanel::DrawLabel(Graphics& g, const std::string& text, CTextStyle& style, float x, float y,
                                          std::uint32_t argb) {
  const CFont* font = style.Font() ? style.Font() : style.GetFont();
  if (!font) return;
  CStringFormat format;
  format.noWrap = true;
  format.noClip = true;
  g.DrawString(text, *font, CRectF{x, y, 0.0f, 0.0f}, format, CBrush(CColour{argb}));
}

void CTorvexSeriesControlPanel::DrawInputsSectionBody() {
  const int n = GetInputCount();
  CBitmapImage* strip = GetInputStripImage();
  DrawSection(kTorvexSectionInputs, [&](Graphics& g) {
    for (int i = 0; i < n; ++i) {
      const int x = (264 - 66 * n) / 2 + 15 + 66 * i;
      if (strip && strip->GetImage()) g.DrawImage(*strip->GetImage(), float(x), 0.0f);
      for (int j = 0; j < n; ++j)
        DrawLabel(g, std::string(1, char('A' + j)), m_smallLabelStyle, float(x + 7), float(22 + 25 * j), kWhite);
      DrawLabel(g, std::string(1, char('A' + i)), m_labelStyle, float(x + 5), 442.0f, kBlack);
    }
  });
}

void CTorvexSeriesControlPanel::DrawOutputNumbers() {
  const int m = GetOutputCount();
  DrawSection(kTorvexSectionOutputNumbers, [&](Graphics& g) {
    for (int k = 0; k < m; ++k)
      DrawLabel(g, std::string(1, char('1' + k)), m_labelStyle, float(GetOutputStripX(k, m) - 315 + 40), 1.0f, kBlack);
  });
}

void CTorvexSeriesControlPanel::DrawCompressorNumbers() {
  const int m = GetOutputCount();
  DrawSection(kTorvexSectionCompNumbers, [&](Graphics& g) {
    for (int k = 0; k < m; ++k)
      DrawLabel(g, std::string(1, char('1' + k)), m_labelStyle, float(6 + 105 * k), 2.0f, kBlack);
  });
}

void CTorvexSeriesControlPanel::DrawInputLetters() {
  const int n = GetInputCount();
  DrawSection(kTorvexSectionInputLetters, [&](Graphics& g) {
    for (int i = 0; i < n; ++i) DrawLabel(g, std::string(1, char('A' + i)), m_labelStyle, float(28 * i), 1.0f, kWhite);
  });
}

void CTorvexSeriesControlPanel::DrawDeqInputLetters() {
  const int n = GetInputCount();
  DrawSection(kTorvexSectionDeqLetters, [&](Graphics& g) {
    for (int i = 0; i < n; ++i) DrawLabel(g, std::string(1, char('A' + i)), m_labelStyle, float(28 * i), 1.0f, kWhite);
  });
}

void CTorvexSeriesControlPanel::DrawOutputEqNumbers() {
  const int m = GetOutputCount();
  DrawSection(kTorvexSectionOutputEqNumbers, [&](Graphics& g) {
    for (int k = 0; k < m; ++k) DrawLabel(g, std::string(1, char('1' + k)), m_labelStyle, float(28 * k), 1.0f, kWhite);
  });
}

void CTorvexSeriesControlPanel::DrawSideTabSection() {
  const CNerexSeriesDevice* device = GetNerexDevice();
  const int n = GetInputCount(), m = GetOutputCount();
  const int x0 = GetOutputStripX(0, m);
  const int p = m_sectionPictures[kTorvexSectionSideTabs]->GetRect().left;
  const std::uint32_t tab = device ? device->GetSideTab() : 0;
  const bool matrix = IsMatrixView();
  auto image = [](Graphics& g, CBitmapImage* picture, int x, int y) {
    if (picture && picture->GetImage()) g.DrawImage(*picture->GetImage(), float(x), float(y));
  };
  DrawSection(kTorvexSectionSideTabs, [&](Graphics& g) {
    m_sideTabs[0]->SetRect(CRect{x0 - 26, 156, x0 - 6, 226});
    m_sideTabs[1]->SetRect(CRect{x0 - 26, 83, x0 - 6, 153});
    m_sideTabs[2]->SetRect(CRect{x0 - 26, 10, x0 - 6, 80});
    switch (tab) {
      case kNerexSideTabLimiters: {
        image(g, GetLimitersTabImage(), x0 - 30 - p, 5);
        CTextStyle heading;
        heading.Set("Arial", 6.5f, CColour{kWhite});
        DrawLabel(g, "Auto Limiters", heading, float(x0 - p + 3), 8.0f, kWhite);
        const CRect r{x0 + 4, 21, x0 + 56, 36};
        m_autoLimiters->SetRect(r);
        m_autoLimiters->m_dropAnchor = r;
        for (int k = 0; k < m; ++k) {
          const int xk = GetOutputStripX(k, m);
          // The overlay picture carries the readouts' captions.
          image(g, GetShortOverlayImage(), xk - 277, 38);
        }
        break;
      }
      case kNerexSideTabSource:
        image(g, GetSourceTabImage(), x0 - 30 - p, 5);
        for (int k = 0; k < m; ++k) {
          const int xk = GetOutputStripX(k, m);
          if (matrix) {
            image(g, GetMixerInputsImage(), xk - 277, 9);
          } else {
            image(g, GetTallOverlayImage(), xk - 277, 9);
            for (int j = 0; j < n; ++j)
              DrawLabel(g, std::string(1, char('A' + j)), m_smallLabelStyle, float(xk - 315 + 42), float(20 + 25 * j),
                        kWhite);
          }
        }
        break;
      case kNerexSideTabLinking:
        image(g, GetLinkingTabImage(), x0 - 30 - p, 5);
        for (int k = 0; k < m; ++k) {
          const int xk = GetOutputStripX(k, m);
          image(g, GetTallOverlayImage(), xk - 277, 9);
          for (int c = 0; c < m; ++c)
            DrawLabel(g, std::string(1, char('1' + c)), m_smallLabelStyle, float(xk - 315 + 42), float(20 + 25 * c),
                      kWhite);
        }
        break;
      default:
        break;
    }
  });
}
