// The Torvex-series panel: its widget tree (built in drawing order at the places of
// resources/TorvexPanelLayout.h), the strip relayout, pages, side tabs with the Router/Matrix
// choice, the routing lights, the right-click channel, the GEQ tooltips and the seven section
// drawings.
#include "panels/processor/TorvexSeriesControlPanel.h"

#include <algorithm>
#include <span>

#include "core/draw/BitmapImage.h"
#include "core/model/DeviceHost.h"
#include "core/model/User.h"
#include "devices/processor/NerexChannelRules.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexParamIds.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "panels/framework/BitmapFader.h"
#include "panels/framework/BitmapMeter.h"
#include "panels/framework/BitmapObject.h"
#include "panels/framework/BmpButton.h"
#include "panels/processor/CompressorMeter.h"
#include "panels/framework/CustomComboBox.h"
#include "panels/framework/Knob.h"
#include "panels/processor/NerexSeriesLayout.h"
#include "panels/processor/NerexSeriesParametricControl.h"
#include "panels/framework/PanelLayoutRect.h"
#include "panels/framework/TextControl.h"
#include "panels/processor/TorvexSeriesDEQControl.h"
#include "platform/Graphics.h"
#include "platform/Image.h"
#include "platform/Sync.h"
#include "resources/TorvexPanelLayout.h"

namespace T = torvex_layout;

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
// How the LED buttons light when the pointer is over them.
constexpr int kChannelSelectAlpha = 180;
constexpr int kLedAlpha = 200;

// Text format flags of the panel's texts.
constexpr std::uint32_t kGainFlags = 0x105;
constexpr std::uint32_t kInputDelayFlags = 0x110E5;
constexpr std::uint32_t kOutputDelayFlags = 0x10E5;
constexpr std::uint32_t kMatrixGainFlags = 0x1165;
constexpr std::uint32_t kLevelFlags = 0x146D;
constexpr std::uint32_t kRatioFlags = 0x116D;
constexpr std::uint32_t kEqFrequencyFlags = 0x106D;
constexpr std::uint32_t kEqQFlags = 0x6D;
constexpr std::uint32_t kEqGainFlags = 0x116D;

constexpr int kInputs = T::kMaxInputs;
constexpr int kOutputs = T::kMaxOutputs;
// The channel meters read from -112 dB up to +9 dB; the gain-reduction meters from -6 to 24.
constexpr int kMeterTop = 9;
constexpr int kMeterFloor = -112;
constexpr int kGainReductionTop = 24;
constexpr int kGainReductionMode = 2;
constexpr int kGainReductionFloor = -6;
// Names hold 8 characters on the unit, the device name 40.
constexpr int kChannelNameChars = 8;
constexpr int kDeviceNameChars = 40;
// The matrix knobs: -41 (off) to +15 dB in half decibels over a 270-degree sweep; the value
// text steps by 5 codes a notch.
constexpr int kMatrixGainMin = -41;
constexpr int kMatrixGainMax = 15;
constexpr float kMatrixGainStep = 0.5f;
constexpr float kMatrixKnobSweep = 135.0f;
constexpr int kMatrixKnobMarks = 3;
constexpr int kMatrixGainNudge = 5;

static_assert(std::size(T::kSections) == kTorvexSectionCount);

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

int Width(const CBitmapImage* image) { return image ? image->GetWidth() : 0; }
int Height(const CBitmapImage* image) { return image ? image->GetHeight() : 0; }

// A strip widget's rectangle on the strip at edge x; of the picture's size when the place has
// none.
CRect At(const T::StripPlace& place, int x, const CBitmapImage* picture = nullptr) {
  return ToRect(place.At(x, Width(picture), Height(picture)));
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
  CreatePagePictures();
  CreateHeader();
  CBitmapImage* led = GetBlueLedImage();
  for (int j = 0; j < T::kChannelSelects; ++j) {
    CBmpButton* select =
        AddButton(T::kChannelSelectId + j, led,
                  SizedAt(T::kChannelSelect.x + T::kChannelSelectPitch * j, T::kChannelSelect.y, led), kLedButton);
    select->m_highlightAlpha = kChannelSelectAlpha;
    m_channelSelect[std::size_t(j)] = select;
  }
  // The strips at their creation places; UpdateAllControls lays them out again.
  for (int i = 0; i < kInputs; ++i) CreateInputStrip(i);
  CreateOutputStripPictures();
  for (int k = 0; k < kOutputs; ++k) CreateOutputStrip(k);
  CreateSideTabs();
  CreateGeqPageControls();
  CreateDeqPage();
  CreateGeqFaders();
  CreateInputPeqPage();
  CreateOutputEqPage();
  CreateCompressorPage();
  return CNerexSeriesBaseControlPanel::Create();
}

// --- Building blocks ---

CBmpButton* CTorvexSeriesControlPanel::AddHotArea(int id, const CRect& rect, int radius,
                                                  std::initializer_list<int> groups) {
  CBmpButton* button = AddButton(id, nullptr, rect, kHotArea, groups);
  button->m_highlightRadius = radius;
  return button;
}

CCustomComboBox* CTorvexSeriesControlPanel::AddCombo(int id, const CRect& rect, std::initializer_list<int> groups) {
  return Add(new CCustomComboBox(this, id, rect), groups);
}

CCompressorMeter* CTorvexSeriesControlPanel::AddCurveGraph(int id, CBitmapImage* image, const CRect& rect, int group,
                                                           const std::array<int, 5>& ids) {
  CCompressorMeter* graph = Add(new CCompressorMeter(this, id, image, rect), {group});
  graph->m_thresholdId = ids[0];
  graph->m_ratioId = ids[1];
  graph->m_kneeId = ids[2];
  graph->m_maxGainId = ids[3];
  graph->m_modeId = ids[4];
  return graph;
}

void CTorvexSeriesControlPanel::AddSection(int index, std::initializer_list<int> groups) {
  const T::Section& section = T::kSections[index];
  m_sectionPictures[std::size_t(index)] =
      AddPicture(section.id, m_buffers[std::size_t(index)], section.left, section.top, groups);
}

// --- Header and pages ---

void CTorvexSeriesControlPanel::CreatePagePictures() {
  m_pagePictures[0] = AddPicture(T::kMixerPageId, GetMixerPageImage(), 0, 0, {kPanelGroupMixer});
  m_pagePictures[2] = AddPicture(T::kInputPeqPageId, GetInputPeqPageImage(), 0, 0, {kPanelGroupInputPeq});
  m_pagePictures[1] = AddPicture(T::kInputGeqPageId, GetInputGeqPageImage(), 0, 0, {kPanelGroupInputGeq});
  m_pagePictures[3] = AddPicture(T::kInputDeqPageId, GetInputDeqPageImage(), 0, 0, {kPanelGroupInputDeq});
  m_pagePictures[4] = AddPicture(T::kOutputEqPageId, GetOutputEqPageImage(), 0, 0, {kPanelGroupOutputEq});
  m_pagePictures[5] = AddPicture(T::kOutputCompPageId, GetOutputCompPageImage(), 0, 0, {kPanelGroupOutputComp});
  m_pagePictures[6] = AddPicture(T::kCompactPageId, GetCompactPageImage(), 0, 0, {kPanelGroupCompact});
}

void CTorvexSeriesControlPanel::CreateHeader() {
  m_deviceName = AddText(kParamDeviceName, true, kCondensed, 14, kLightText, 0, ToRect(T::kDeviceName));
  m_deviceName->SetMaxLength(kDeviceNameChars);
  m_headerText = AddText(T::kModelLegendId, true, kCondensed, 6, kLightText, 0, ToRect(T::kModelLegend));
  // The base's page-tab fields run Mixer, Input GEQ, Input PEQ, Input DEQ, Output EQ, Output Comp.
  constexpr int kFieldOf[] = {1, 2, 3, 0, 5, 4};
  for (std::size_t t = 0; t < std::size(T::kPageTabs); ++t)
    m_pageTabs[std::size_t(kFieldOf[t])] = AddHotArea(T::kPageTabs[t].id, ToRect(T::kPageTabs[t].box), T::kTabRadius);
  m_presetManagerButton = AddHotArea(T::kPresetManagerId, ToRect(T::kPresetManager), T::kTabRadius);
  AddSection(kTorvexSectionInputs, {kPanelGroupMixer});
  CBitmapImage* const lcdFaces[] = {GetLcdRecallImage(), GetLcdNextImage(), GetLcdPreviousImage()};
  for (std::size_t b = 0; b < m_presetButtons.size(); ++b) {
    CBmpButton* button = AddButton(T::kLcdButtons[b].id, lcdFaces[b], ToRect(T::kLcdButtons[b].box), kHotArea,
                                   {kPanelGroupCompact});
    button->m_highlightRadius = b == 0 ? T::kTabRadius : T::kStepButtonRadius;
    m_presetButtons[b] = button;
  }
  // The display's text shows no parameter: SetLcdText writes it.
  m_lcdText = AddText(0, false, kCondensed, 12, kWhite, 0, ToRect(T::kLcdText), {kPanelGroupCompact});
  m_lcdText->SetText("Testing...");
}

// --- Channel strips ---

void CTorvexSeriesControlPanel::CreateInputStrip(int i) {
  const auto u = std::size_t(i);
  const int x = T::InputStripX(kInputs, i);
  const T::InputStrip& at = T::kInputCreated;
  const std::initializer_list<int> mixer = {kPanelGroupMixer};
  CBitmapImage* ledOff = GetLedOffImage();
  m_inputMeters[u] = Add(new CBitmapMeter(this, T::kInputMeterId + i, GetMeterImage(), At(at.meter, x, GetMeterImage()),
                                          kMeterTop, 0, kMeterFloor),
                         {kPanelGroupMixer, kPanelGroupCompact});
  m_inputFaders[u] =
      Add(new CBitmapFader(this, kParamInputGain + i, GetFaderCapImage(), kFaderChannelGain, At(at.fader, x)), mixer);
  m_inputGainTexts[u] = AddText(kParamInputGain + i, true, kLcdFace, panel_face::kGainReadoutPoints, kReadoutText,
                                kGainFlags, At(at.gain, x), mixer);
  m_inputDelays[u] =
      AddText(kParamInputDelay + i, true, kValueFace, 7.5f, kReadoutText, kInputDelayFlags, At(at.delay, x), mixer);
  for (int j = 0; j < kInputs; ++j)
    m_inputLinks[u][std::size_t(j)] = AddButton(kParamInputLinkBit + kInputs * i + j, ledOff,
                                                At(at.link.Down(T::kRowPitch * j), x, ledOff), kFaceOrangeLed, mixer);
  const int rowIds[] = {T::kInputGeqShortcutId, T::kInputPeqShortcutId, T::kInputDeqShortcutId};
  const T::StripPlace rows[] = {at.geqRow, at.peqRow, at.deqRow};
  for (std::size_t r = 0; r < 3; ++r)
    m_inputRows[r][u] = AddButton(rowIds[r] + i, ledOff, At(rows[r], x, ledOff), kFaceShortcut, mixer);
  CBitmapImage* red = GetRedLedImage();
  CBmpButton* mute = AddButton(kParamInputMute + i, red, At(at.mute, x, red), kLedButton, mixer);
  mute->m_highlightAlpha = kLedAlpha;
  m_inputMutes[u] = mute;
  CTextControl* name = AddText(kParamInputName + i, true, kValueFace, 8, kNameText, 0, At(at.name, x), mixer);
  name->SetMaxLength(kChannelNameChars);
  m_inputNames[u] = name;
}

// The output strips' pictures, then the side-tab and output-number sections over them.
void CTorvexSeriesControlPanel::CreateOutputStripPictures() {
  for (int k = 0; k < kOutputs; ++k)
    m_outputStrips[std::size_t(k)] = AddPicture(T::kOutputStripId, GetOutputStripImage(), T::OutputStripX(kOutputs, k),
                                                T::kOutputCreated.picture.top, {kPanelGroupMixer});
  AddSection(kTorvexSectionSideTabs, {kPanelGroupMixer});
  AddSection(kTorvexSectionOutputNumbers, {kPanelGroupMixer});
}

void CTorvexSeriesControlPanel::CreateOutputStrip(int k) {
  const auto u = std::size_t(k);
  const int x = T::OutputStripX(kOutputs, k);
  const T::OutputStrip& at = T::kOutputCreated;
  const std::initializer_list<int> mixer = {kPanelGroupMixer};
  m_outputMeters[u] = Add(new CBitmapMeter(this, T::kOutputMeterId + k, GetMeterImage(),
                                           At(at.meter, x, GetMeterImage()), kMeterTop, 0, kMeterFloor),
                          {kPanelGroupMixer, kPanelGroupCompact});
  m_outputFaders[u] =
      Add(new CBitmapFader(this, kParamOutputGain + k, GetFaderCapImage(), kFaderChannelGain, At(at.fader, x)), mixer);
  m_outputGainTexts[u] = AddText(kParamOutputGain + k, true, kLcdFace, panel_face::kGainReadoutPoints, kReadoutText,
                                 kGainFlags, At(at.gain, x), mixer);
  auto led = [&](int id, CBitmapImage* image, const T::StripPlace& place, std::uint32_t flags) {
    return AddButton(id, image, At(place, x, image), flags, mixer);
  };
  CBmpButton* mute = led(kParamOutputMute + k, GetRedLedImage(), at.mute, kLedButton);
  mute->m_highlightAlpha = kLedAlpha;
  m_outputMutes[u] = mute;
  CBmpButton* phase = led(kParamOutputPhase + k, GetBlueLedImage(), at.phase, kLedButton);
  phase->m_highlightAlpha = kLedAlpha;
  m_outputPolarity[u] = phase;
  m_outputRows[0][u] = led(T::kOutputEqShortcutId + k, GetLedOffImage(), at.eqRow, kFaceShortcut);
  m_outputRows[1][u] = led(T::kOutputCompShortcutId + k, GetLedOffImage(), at.compRow, kFaceShortcut);
  m_outputDelays[u] =
      AddText(kParamOutputDelay + k, true, kValueFace, 7.5f, kReadoutText, kOutputDelayFlags, At(at.delay, x), mixer);
  CTextControl* name = AddText(kParamOutputName + k, true, kValueFace, 8, kNameText, 0, At(at.name, x), mixer);
  name->SetMaxLength(kChannelNameChars);
  m_outputNames[u] = name;
  CreateSourceView(k, x);
  CreateLinkingAndLimiterViews(k, x);
}

// The routing buttons and, in their place, the matrix knobs each followed by its readout.
void CTorvexSeriesControlPanel::CreateSourceView(int k, int x) {
  const auto u = std::size_t(k);
  const T::OutputStrip& at = T::kOutputCreated;
  CBitmapImage* ledOff = GetLedOffImage();
  for (int j = 0; j < kInputs; ++j)
    m_routingButtons[u][std::size_t(j)] =
        AddButton(kParamMatrixRouting + kInputs * k + j, ledOff, At(at.routing.Down(T::kRowPitch * j), x, ledOff),
                  kFaceOrangeLed, {kPanelGroupSource});
  for (int j = 0; j < kInputs; ++j) {
    const int id = kParamMatrixGain + kInputs * k + j;
    auto* knob = Add(new CKnob(this, id, At(at.knob.Down(T::kKnobRowPitch * j), x)), {kPanelGroupSource});
    knob->m_minimum = kMatrixGainMin;
    knob->m_maximum = kMatrixGainMax;
    knob->m_step = kMatrixGainStep;
    knob->m_minAngle = -kMatrixKnobSweep;
    knob->m_maxAngle = kMatrixKnobSweep;
    knob->m_markStyle = kMatrixKnobMarks;
    m_matrixGains[u][std::size_t(j)] = knob;
    CTextControl* value = AddText(id, true, kValueFace, 8, kReadoutText, kMatrixGainFlags,
                                  At(at.knobText.Down(T::kKnobRowPitch * j), x), {kPanelGroupSource});
    value->SetNudgeStep(kMatrixGainNudge);
    m_matrixGainTexts[u][std::size_t(j)] = value;
  }
}

void CTorvexSeriesControlPanel::CreateLinkingAndLimiterViews(int k, int x) {
  const auto u = std::size_t(k);
  const T::OutputStrip& at = T::kOutputCreated;
  CBitmapImage* ledOff = GetLedOffImage();
  for (int m = 0; m < kOutputs; ++m)
    m_outputLinks[u][std::size_t(m)] =
        AddButton(kParamOutputLinkBit + kOutputs * k + m, ledOff, At(at.link.Down(T::kRowPitch * m), x, ledOff),
                  kFaceOrangeLed, {kPanelGroupLinking});
  const std::initializer_list<int> limiters = {kPanelGroupLimiters};
  m_limiterLevels[u] =
      AddText(kParamLimiterLevel + k, true, kValueFace, 8, kWhite, kLevelFlags, At(at.limiterLevel, x), limiters);
  m_limiterLevels[u]->SetText("0dB");
  m_clipLevels[u] =
      AddText(kParamLimiterClipLevel + k, true, kValueFace, 8, kWhite, kLevelFlags, At(at.clipLevel, x), limiters);
  m_clipLevels[u]->SetText("0dB");
  CCustomComboBox* clipRelease = AddCombo(kParamLimiterClipRelease + k, At(at.clipRelease, x), limiters);
  AddItems(clipRelease, nerex_layout::ClipReleaseItems());
  m_clipReleases[u] = clipRelease;
  CCustomComboBox* release = AddCombo(kParamLimiterRelease + k, At(at.release, x), limiters);
  AddItems(release, nerex_layout::ReleaseItems());
  m_limiterReleases[u] = release;
  CCustomComboBox* attack = AddCombo(kParamLimiterAttack + k, At(at.attack, x), limiters);
  AddItems(attack, nerex_layout::AttackItems());
  m_limiterAttacks[u] = attack;
  for (CCustomComboBox* c : {clipRelease, release, attack}) SetComboStyle(c, 7, kWhite);
}

// The Auto Limiters list, the side tabs and the Source view's sub-tabs with their pictures.
void CTorvexSeriesControlPanel::CreateSideTabs() {
  m_autoLimiters = AddCombo(kParamAutoLimiters, ToRect(T::kAutoLimiters), {kPanelGroupLimiters});
  AddItems(m_autoLimiters, nerex_layout::AutoLimiterItems());
  SetComboStyle(m_autoLimiters, 7, kWhite);
  for (std::size_t t = 0; t < std::size(T::kSideTabs); ++t)
    m_sideTabs[t] = AddHotArea(T::kSideTabs[t].id, ToRect(T::kSideTabs[t].box), T::kTabRadius, {kPanelGroupMixer});
  m_matrixTabPicture = AddPicture(T::kMatrixTabPictureId, GetMatrixTabImage(), T::kSubTabPicture.x, T::kSubTabPicture.y,
                                  {kPanelGroupMixer});
  m_routerTabPicture = AddPicture(T::kRouterTabPictureId, GetRouterTabImage(), T::kSubTabPicture.x, T::kSubTabPicture.y,
                                  {kPanelGroupMixer});
  m_sideTabs[4] = AddHotArea(kParamMixerOff, ToRect(T::kRouterSubTab), T::kTabRadius, {kPanelGroupMixer});
  m_sideTabs[3] = AddHotArea(kParamMixerOn, ToRect(T::kMatrixSubTab), T::kTabRadius, {kPanelGroupMixer});
}

// --- Equaliser and dynamics pages ---

// The Input GEQ page's graph, bypass and flatten buttons and Q shape list (its faders come
// after the Input DEQ page).
void CTorvexSeriesControlPanel::CreateGeqPageControls() {
  const std::initializer_list<int> geq = {kPanelGroupInputGeq};
  m_geqCurve = Add(new CNerexSeriesParametricControl(this, T::kGeqCurveId, ToRect(T::kGeqCurve)), geq);
  CBitmapImage* blue = GetBlueLedImage();
  CBmpButton* geqBypass =
      AddButton(kParamGeqBypass, blue, SizedAt(T::kGeqBypass.x, T::kGeqBypass.y, blue), kLedButton, geq);
  geqBypass->m_highlightAlpha = kLedAlpha;
  m_geqBypass = geqBypass;
  m_geqFlat = AddButton(T::kGeqFlattenId, GetLedOffImage(), SizedAt(T::kGeqFlat.x, T::kGeqFlat.y, GetLedOffImage()),
                        kFaceShortcut, geq);
  CCustomComboBox* shape = AddCombo(kParamGeqMode, ToRect(T::kGeqShape), geq);
  AddItems(shape, nerex_layout::QShapeItems());
  shape->GetTextStyle().Set(kCondensed, 7, CColour{kLightText});
  m_geqShape = shape;
}

void CTorvexSeriesControlPanel::CreateDeqPage() {
  m_deqGraph = Add(new CTorvexSeriesDEQControl(this, ToRect(T::kDeqGraph)), {kPanelGroupInputDeq});
  m_deqLinkingList = AddCombo(kParamDynamicEqLinking, ToRect(T::kDeqLinking), {kPanelGroupInputDeq});
  AddPairs(m_deqLinkingList, {{"As Ganging", 0}, {"Off", 1}});
  m_deqModeList = AddCombo(kParamDynamicEqMode, ToRect(T::kDeqMode), {kPanelGroupInputDeq});
  AddPairs(m_deqModeList, {{"Sequential", 0}, {"Parallel", 1}});
  for (CCustomComboBox* c : {m_deqLinkingList, m_deqModeList}) SetComboStyle(c, 7, kWhite);
  for (int s = 0; s < T::kDeqBands; ++s) CreateDeqColumn(s);
}

// DEQ band s's column: the ids are input A's, band s.
void CTorvexSeriesControlPanel::CreateDeqColumn(int s) {
  const auto u = std::size_t(s);
  const int d = T::kDeqColumnPitch * s;
  const T::DeqColumn& at = T::kDeqColumn;
  const std::initializer_list<int> deq = {kPanelGroupInputDeq};
  auto place = [d](const T::Box& box) { return ToRect(box.Moved(d, 0)); };
  auto deqText = [&](int firstId, std::uint32_t flags, const T::Box& box) {
    return AddText(firstId + s, true, kValueFace, 8, kWhite, flags, place(box), deq);
  };
  m_deqFrames[u] = AddPicture(T::kDeqFrameId, GetLargeSelectionFrameImage(), at.frame.x + d, at.frame.y, deq);
  m_deqBandGraphs[u] =
      AddCurveGraph(T::kDeqBandGraphId + s, GetLargeCompressorGraphImage(), place(at.graph), kPanelGroupInputDeq,
                    {kParamDeqThreshold + s, kParamDeqRatio + s, 0, kParamDeqEffect + s, kParamDeqMode + s});
  m_deqFrequency[u] = deqText(kParamDeqFrequency, kLevelFlags, at.frequency);
  m_deqQ[u] = deqText(kParamDeqQ, kLevelFlags, at.q);
  m_deqEffect[u] = deqText(kParamDeqEffect, kLevelFlags, at.effect);
  CCustomComboBox* mode = AddCombo(kParamDeqMode + s, place(at.dynamicMode), deq);
  AddPairs(mode, {{"Cut Above", 0}, {"Boost Above", 1}, {"Cut Below", 2}, {"Boost Below", 3}});
  m_deqDynamicMode[u] = mode;
  CCustomComboBox* kind = AddCombo(kParamDeqFilterKind + s, place(at.shape), deq);
  AddPairs(kind, {{"Parametric", 0}, {"Full Bandwidth", 1}, {"Low Shelf", 2}, {"High Shelf", 3}});
  m_deqShape[u] = kind;
  for (CCustomComboBox* c : {mode, kind}) SetComboStyle(c, 7, kWhite);
  CBitmapImage* blue = GetBlueLedImage();
  m_deqBypass[u] = AddButton(kParamDeqBypass + s, blue, SizedAt(at.bypass.x + d, at.bypass.y, blue), kLedButton, deq);
  m_deqThreshold[u] = deqText(kParamDeqThreshold, kRatioFlags, at.threshold);
  m_deqRatio[u] = deqText(kParamDeqRatio, kLevelFlags, at.ratio);
  m_deqAttack[u] = deqText(kParamDeqAttack, kLevelFlags, at.attack);
  m_deqRelease[u] = deqText(kParamDeqRelease, kLevelFlags, at.release);
}

void CTorvexSeriesControlPanel::CreateGeqFaders() {
  for (int b = 0; b < T::kGeqBands; ++b) {
    auto* fader =
        Add(new CBitmapFader(this, kParamGeqBand + b, GetFaderCapImage(), kFaderGeqBand, ToRect(T::GeqFader(b))),
            {kPanelGroupInputGeq});
    fader->m_minimum = -T::kGeqRangeDb;
    fader->m_maximum = T::kGeqRangeDb;
    m_geqFaders[std::size_t(b)] = fader;
  }
}

CNerexSeriesBaseControlPanel::BandRow CTorvexSeriesControlPanel::CreateBandRow(int band, int group,
                                                                               const std::array<int, 5>& firstIds) {
  const int y = T::BandRowTop(band);
  BandRow row;
  row.frame = AddPicture(T::kBandFrameId, GetSelectionFrameImage(), T::kBandFrameLeft, y + T::kBandFrameDy, {group});
  auto bandText = [&](int id, std::uint32_t flags, T::Column column) {
    CTextControl* t = AddText(id, true, kValueFace, 9, kLightText, flags, ToRect(T::BandCell(column, band)), {group});
    t->GetTextStyle().Set(kCondensed, 9, CColour{kLightText});
    return t;
  };
  row.frequency = bandText(firstIds[0] + band, kEqFrequencyFlags, T::kBandFrequency);
  row.q = bandText(firstIds[1] + band, kEqQFlags, T::kBandQ);
  row.gain = bandText(firstIds[2] + band, kEqGainFlags, T::kBandGain);
  row.type = AddCombo(firstIds[3] + band, ToRect(T::BandCell(T::kBandType, band)), {group});
  AddItems(row.type, nerex_layout::EqTypeItems());
  SetComboStyle(row.type, 9, kLightText);
  CBitmapImage* led = GetSmallBlueLedImage();
  row.bypass =
      AddButton(firstIds[4] + band, led, SizedAt(T::kBandBypassLeft, y + T::kBandBypassDy, led), kLedButton, {group});
  return row;
}

// The Input PEQ page, with the input-letter pictures of the equaliser pages and the selected
// input's caption; its band rows from the bottom row up.
void CTorvexSeriesControlPanel::CreateInputPeqPage() {
  m_peqCurve =
      Add(new CNerexSeriesParametricControl(this, T::kInputPeqCurveId, ToRect(T::kEqCurve)), {kPanelGroupInputPeq});
  AddSection(kTorvexSectionInputLetters, {kPanelGroupInputPeq, kPanelGroupInputGeq});
  AddSection(kTorvexSectionDeqLetters, {kPanelGroupInputDeq});
  m_inputCaption = AddText(T::kInputCaptionId, false, kCondensed, 10, kWhite, 0, ToRect(T::kInputCaption),
                           {kPanelGroupInputDeq, kPanelGroupInputPeq, kPanelGroupInputGeq});
  for (int b = T::kInputPeqBands - 1; b >= 0; --b)
    KeepInputPeqRow(b, CreateBandRow(b, kPanelGroupInputPeq,
                                     {kParamInputPeqFrequency, kParamInputPeqQ, kParamInputPeqGain, kParamInputPeqType,
                                      kParamInputPeqBypass}));
}

// The Output EQ page with the crossover; its band rows from the bottom row up.
void CTorvexSeriesControlPanel::CreateOutputEqPage() {
  const std::initializer_list<int> page = {kPanelGroupOutputEq};
  m_outputEqCurve = Add(new CNerexSeriesParametricControl(this, T::kOutputEqCurveId, ToRect(T::kEqCurve)), page);
  AddSection(kTorvexSectionOutputEqNumbers, page);
  m_outputCaption = AddText(T::kOutputCaptionId, false, kCondensed, 10, kWhite, 0, ToRect(T::kOutputCaption), page);
  for (int b = T::kOutputPeqBands - 1; b >= 0; --b)
    KeepOutputEqRow(b, CreateBandRow(b, kPanelGroupOutputEq,
                                     {kParamOutputPeqFrequency, kParamOutputPeqQ, kParamOutputPeqGain,
                                      kParamOutputPeqType, kParamOutputPeqBypass}));
  auto crossoverText = [&](int id, const T::Box& box) {
    CTextControl* t = AddText(id, true, kValueFace, 9, kLightText, kEqFrequencyFlags, ToRect(box), page);
    t->GetTextStyle().Set(kCondensed, 9, CColour{kLightText});
    return t;
  };
  m_highPassFrequency = crossoverText(kParamHighPassFrequency, T::kHighPassFrequency);
  m_lowPassFrequency = crossoverText(kParamLowPassFrequency, T::kLowPassFrequency);
  m_lowPassType = AddCombo(kParamLowPassType, ToRect(T::kLowPassType), page);
  m_highPassType = AddCombo(kParamHighPassType, ToRect(T::kHighPassType), page);
  for (CCustomComboBox* c : {m_lowPassType, m_highPassType}) {
    AddItems(c, nerex_layout::CrossoverTypeItems());
    SetComboStyle(c, 9, kLightText);
  }
}

// The Output Comp page: the compressor strips' pictures, their numbers, each strip's widgets
// and the Compressor Limiters list.
void CTorvexSeriesControlPanel::CreateCompressorPage() {
  for (int k = 0; k < kOutputs; ++k)
    m_compressorStrips[std::size_t(k)] =
        AddPicture(T::kCompressorStripId, GetCompressorStripImage(), T::kCompressorStrip.x + T::kCompressorPitch * k,
                   T::kCompressorStrip.y, {kPanelGroupOutputComp});
  AddSection(kTorvexSectionCompNumbers, {kPanelGroupOutputComp});
  for (int k = 0; k < kOutputs; ++k) CreateCompressorStrip(k);
  m_compressorLimiters = AddCombo(kParamCompressorLimiters, ToRect(T::kCompressorLimiters), {kPanelGroupOutputComp});
  AddItems(m_compressorLimiters, nerex_layout::AutoLimiterItems());
  SetComboStyle(m_compressorLimiters, 7, kWhite);
}

void CTorvexSeriesControlPanel::CreateCompressorStrip(int k) {
  const auto u = std::size_t(k);
  const int c = T::kCompressorPitch * k;
  const std::initializer_list<int> comp = {kPanelGroupOutputComp};
  CTextControl* name =
      AddText(kParamOutputName + k, true, kValueFace, 8, kNameText, 0, ToRect(T::kCompressorName.Moved(c, 0)), comp);
  name->SetMaxLength(kChannelNameChars);
  m_compressorNames[u] = name;
  CBitmapImage* meter = GetGainReductionMeterImage();
  m_gainReductionMeters[u] =
      Add(new CBitmapMeter(this, T::kGainReductionMeterId + k, meter,
                           SizedAt(T::kGainReductionMeter.x + c, T::kGainReductionMeter.y, meter), kGainReductionTop,
                           kGainReductionMode, kGainReductionFloor),
          comp);
  m_compressorGraphs[u] =
      AddCurveGraph(T::kCompressorGraphId + k, GetSmallCompressorGraphImage(), ToRect(T::kCompressorGraph.Moved(c, 0)),
                    kPanelGroupOutputComp,
                    {kParamCompressorThreshold + k, kParamCompressorRatio + k, kParamCompressorSoftKnee + k, 0, 0});
  CBitmapImage* led = GetSmallBlueLedImage();
  m_compressorBypass[u] = AddButton(kParamCompressorBypass + k, led,
                                    SizedAt(T::kCompressorBypass.x + c, T::kCompressorBypass.y, led), kLedButton, comp);
  // The readouts from the top: threshold, ratio, attack, release, knee.
  const struct {
    int firstId;
    std::uint32_t flags;
    std::array<CTextControl*, 8>* field;
  } readouts[] = {{kParamCompressorThreshold, kLevelFlags, &m_compressorThreshold},
                  {kParamCompressorRatio, kRatioFlags, &m_compressorRatio},
                  {kParamCompressorAttack, kRatioFlags, &m_compressorAttack},
                  {kParamCompressorRelease, kRatioFlags, &m_compressorRelease},
                  {kParamCompressorSoftKnee, kLevelFlags, &m_compressorSoftKnee}};
  for (int r = 0; r < 5; ++r)
    (*readouts[r].field)[u] = AddText(readouts[r].firstId + k, true, kValueFace, 8, kWhite, readouts[r].flags,
                                      ToRect(T::kCompressorReadout.Moved(c, T::kCompressorReadoutPitch * r)), comp);
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
  auto move = [](CControlObject* w, const T::StripPlace& place, int x) { w->MoveTo(x + place.dx, place.top); };
  const T::InputStrip& in = T::kInputPlaced;
  for (int i = 0; i < kInputs; ++i) {
    const auto u = std::size_t(i);
    const int x = GetInputStripX(i, n);
    m_inputFaders[u]->SetRect(At(in.fader, x));
    move(m_inputMeters[u], in.meter, x);
    m_inputGainTexts[u]->SetRect(At(in.gain, x));
    move(m_inputMutes[u], in.mute, x);
    move(m_inputRows[0][u], in.geqRow, x);
    move(m_inputRows[1][u], in.peqRow, x);
    move(m_inputRows[2][u], in.deqRow, x);
    m_inputNames[u]->SetRect(At(in.name, x));
    m_inputDelays[u]->SetRect(At(in.delay, x));
    for (int j = 0; j < kInputs; ++j) move(m_inputLinks[u][std::size_t(j)], in.link.Down(T::kRowPitch * j), x);
  }
  const T::OutputStrip& out = T::kOutputPlaced;
  for (int k = 0; k < kOutputs; ++k) {
    const auto u = std::size_t(k);
    const int x = GetOutputStripX(k, m);
    move(m_outputStrips[u], out.picture, x);
    m_outputFaders[u]->SetRect(At(out.fader, x));
    m_outputGainTexts[u]->SetRect(At(out.gain, x));
    move(m_outputMeters[u], out.meter, x);
    move(m_outputMutes[u], out.mute, x);
    move(m_outputPolarity[u], out.phase, x);
    move(m_outputRows[0][u], out.eqRow, x);
    move(m_outputRows[1][u], out.compRow, x);
    m_outputNames[u]->SetRect(At(out.name, x));
    m_outputDelays[u]->SetRect(At(out.delay, x));
    m_limiterLevels[u]->SetRect(At(out.limiterLevel, x));
    m_clipLevels[u]->SetRect(At(out.clipLevel, x));
    auto placeCombo = [](CCustomComboBox* c, const CRect& r) {
      c->SetRect(r);
      c->m_dropAnchor = r;
    };
    placeCombo(m_limiterAttacks[u], At(out.attack, x));
    placeCombo(m_limiterReleases[u], At(out.release, x));
    placeCombo(m_clipReleases[u], At(out.clipRelease, x));
    for (int j = 0; j < kInputs; ++j) {
      const auto v = std::size_t(j);
      move(m_routingButtons[u][v], out.routing.Down(T::kRowPitch * j), x);
      m_matrixGains[u][v]->SetRect(At(out.knob.Down(T::kKnobRowPitch * j), x));
      m_matrixGainTexts[u][v]->SetRect(At(out.knobText.Down(T::kKnobRowPitch * j), x));
    }
    for (int c = 0; c < kOutputs; ++c) move(m_outputLinks[u][std::size_t(c)], out.link.Down(T::kRowPitch * c), x);
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
  const std::uint32_t pictures[7] = {kNerexPageMixer,    kNerexPageInputGeq,   kNerexPageInputPeq, kNerexPageInputDeq,
                                     kNerexPageOutputEq, kNerexPageOutputComp, kNerexPageCompact};
  for (int p = 0; p < 7; ++p) m_pagePictures[std::size_t(p)]->SetVisible(pictures[p] == page);
  // The tabs stand where the header shown draws them: in the compact view's lower row there.
  if (std::find(std::begin(pictures), std::end(pictures), page) != std::end(pictures))
    PlacePageTabs(T::kPageTabs, T::kCompactTabsTop, page == kNerexPageCompact);

  auto ledRow = [this](T::Spot first) {
    for (int j = 0; j < T::kChannelSelects; ++j)
      m_channelSelect[std::size_t(j)]->MoveTo(first.x + T::kChannelSelectPitch * j, first.y);
  };
  switch (page) {
    case kNerexPageInputGeq:
    case kNerexPageInputPeq:
      ledRow(T::kChannelSelectOnInputEq);
      m_inputCaption->SetRect(ToRect(T::kInputCaption));
      break;
    case kNerexPageInputDeq:
      ledRow(T::kChannelSelectOnDeq);
      m_inputCaption->SetRect(ToRect(T::kInputCaptionOnDeq));
      break;
    case kNerexPageOutputEq:
      ledRow(T::kChannelSelectOnOutputs);
      break;
    case kNerexPageOutputComp:
      ledRow(T::kChannelSelectOnOutputs);
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
  SelectSideTab(enable && device ? device->PanelView().GetSideTab() : 0, false);
}

// ====== Right click ======

void CTorvexSeriesControlPanel::OnRightClick(int x, int y) {
  CNerexSeriesDevice* device = GetNerexDevice();
  if (device) {
    std::uint32_t channel = 0;
    const int n = GetInputCount(), m = GetOutputCount();
    switch (device->PanelView().GetPanelPage()) {
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
          if (x >= left && x < left + T::kStripWidth && y >= inputs.top && y < inputs.bottom)
            channel = std::uint32_t(i + 1);
        }
        for (int k = 0; k < m && channel == 0; ++k)
          if (Holds(m_outputStrips[std::size_t(k)]->GetRect(), x, y)) channel = std::uint32_t(k + 5);
        break;
      }
      default:
        break;
    }
    device->PanelView().SetSelectedChannel(channel);
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
  const std::uint32_t tab = device ? device->PanelView().GetSideTab() : 0;
  const bool matrix = IsMatrixView();
  auto image = [](Graphics& g, CBitmapImage* picture, int x, int y) {
    if (picture && picture->GetImage()) g.DrawImage(*picture->GetImage(), float(x), float(y));
  };
  DrawSection(kTorvexSectionSideTabs, [&](Graphics& g) {
    for (std::size_t t = 0; t < std::size(T::kSideTabs); ++t)
      m_sideTabs[t]->SetRect(ToRect(
          T::Box{x0 + T::kSideTabLeft, T::kSideTabs[t].box.top, x0 + T::kSideTabRight, T::kSideTabs[t].box.bottom}));
    switch (tab) {
      case kNerexSideTabLimiters: {
        image(g, GetLimitersTabImage(), x0 + T::kSideTabPictureLeft - p, 5);
        CTextStyle heading;
        heading.Set("Arial", 6.5f, CColour{kWhite});
        DrawLabel(g, "Auto Limiters", heading, float(x0 - p + 3), 8.0f, kWhite);
        const CRect r = At(T::kAutoLimitersPlaced, x0);
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
        image(g, GetSourceTabImage(), x0 + T::kSideTabPictureLeft - p, 5);
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
        image(g, GetLinkingTabImage(), x0 + T::kSideTabPictureLeft - p, 5);
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
