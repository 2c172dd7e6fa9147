// The Nerex-series panel's widget tree, in drawing order, placed by its layout table
// (resources/NerexPanelLayout.h).
#include "panels/processor/NerexSeriesControlPanel.h"

#include <initializer_list>
#include <utility>

#include "core/draw/BitmapImage.h"
#include "devices/processor/NerexParamIds.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "panels/framework/BitmapFader.h"
#include "panels/framework/BitmapMeter.h"
#include "panels/framework/BitmapObject.h"
#include "panels/framework/BmpButton.h"
#include "panels/framework/CustomComboBox.h"
#include "panels/processor/NerexSeriesLayout.h"
#include "panels/processor/NerexSeriesParametricControl.h"
#include "panels/framework/PanelLayoutRect.h"
#include "panels/framework/TextControl.h"

namespace L = nerex_layout;

static_assert(std::size(L::kSections) == CNerexSeriesControlPanel::kSections);

namespace {

// The layout tables number the pages and side tabs as the device keeps them.
constexpr bool SameNumbers(std::initializer_list<std::pair<int, std::uint32_t>> pairs) {
  for (const auto& [layout, device] : pairs)
    if (std::uint32_t(layout) != device) return false;
  return true;
}
static_assert(SameNumbers({{L::kPageMixer, kNerexPageMixer},
                           {L::kPageInputGeq, kNerexPageInputGeq},
                           {L::kPageInputPeq, kNerexPageInputPeq},
                           {L::kPageOutputEq, kNerexPageOutputEq},
                           {L::kPageInputDeq, kNerexPageInputDeq},
                           {L::kPageOutputComp, kNerexPageOutputComp},
                           {L::kSideTabSource, kNerexSideTabSource},
                           {L::kSideTabLimiters, kNerexSideTabLimiters},
                           {L::kSideTabLinking, kNerexSideTabLinking}}));

using panel_face::kCondensed;
constexpr const char* kValueFace = panel_face::kValue;
constexpr const char* kLcdFace = panel_face::kLcd;
constexpr std::uint32_t kHeaderInk = 0xFFDCDCDCu;
constexpr std::uint32_t kWhite = 0xFFFFFFFFu;
constexpr std::uint32_t kValueInk = 0xFF323232u;
constexpr std::uint32_t kReadoutBrush = 0xFFE6E6E6u;
constexpr std::uint32_t kEqValueBrush = 0xFFDCDCDCu;
constexpr std::uint32_t kComboInk = 0xFFE6E6E6u;
constexpr std::uint32_t kEqComboInk = 0xFF202020u;

// Text format flags of the panel's texts.
constexpr std::uint32_t kGainFlags = 0x105;
constexpr std::uint32_t kInputDelayFlags = 0x110E5;
constexpr std::uint32_t kOutputDelayFlags = 0x10E5;
constexpr std::uint32_t kLimiterFlags = 0x146D;
constexpr std::uint32_t kEqFrequencyFlags = 0x106D;
constexpr std::uint32_t kEqQFlags = 0x6D;
constexpr std::uint32_t kEqGainFlags = 0x116D;

// Button flags: a face without a picture (tabs), an LED picture, a face with an orange LED.
constexpr std::uint32_t kTabFlags = 8;
constexpr std::uint32_t kLedFlags = 1;
constexpr std::uint32_t kShortcutFlags = 9;
constexpr std::uint32_t kBitButtonFlags = 0x80D;

// The parametric pages' type lists: translucent white with a light frame, dark text.
constexpr std::uint32_t kEqComboFill = 0xB0FFFFFFu;
constexpr std::uint32_t kEqComboFrame = 0xFFDCDCDCu;
// Channel gains in dB, and the nudge of every fader.
constexpr float kInputGainMin = -40.0f;
constexpr float kInputGainMax = 6.0f;
constexpr float kOutputGainMin = -40.0f;
constexpr float kOutputGainMax = 15.0f;
constexpr float kFaderNudge = 0.1f;
// The level meters read up to +9 dB.
constexpr int kMeterTop = 9;

int WidthOf(const CBitmapImage* image) { return image ? image->GetWidth() : 0; }
int HeightOf(const CBitmapImage* image) { return image ? image->GetHeight() : 0; }

}  // namespace

CNerexSeriesControlPanel::CNerexSeriesControlPanel() {
  m_smallLabelStyle.Set("DejaVu Sans", 7.0f, CColour{kWhite});
  m_labelStyle.Set("DejaVu Sans", 8.0f, CColour{kWhite});
  m_tabTitleStyle.Set("Arial", 6.5f, CColour{kWhite});
}

CNerexSeriesControlPanel::~CNerexSeriesControlPanel() = default;

void CNerexSeriesControlPanel::CreateSectionBuffers() {
  for (int s = 0; s < kSections; ++s) {
    auto buffer = std::make_unique<CBitmapImage>();
    buffer->CreateBlank(L::kSections[s].width, L::kSections[s].height);
    m_buffers[std::size_t(s)] = std::move(buffer);
  }
}

void CNerexSeriesControlPanel::FreeSectionBuffers() {
  // The pictures that show them must not draw a freed buffer.
  for (CBitmapObject* picture : m_sectionPictures)
    if (picture) picture->SetImage(nullptr);
  for (auto& buffer : m_buffers) buffer.reset();
}

bool CNerexSeriesControlPanel::Create() {
  LoadSkinImages();
  SetBackgroundImage(GetBackgroundImage());
  CreatePagePictures();
  CreateHeader();
  for (int j = 0; j < L::kChannelSelects; ++j)
    m_channelSelect[std::size_t(j)] =
        AddButton(L::kChannelSelectId + j, GetBlueLedImage(), L::kChannelSelect.x + L::kChannelSelectPitch * j,
                  L::kChannelSelect.y, kLedFlags, {});
  // The strips of four inputs and eight outputs; UpdateAllControls moves them to the model's edges.
  for (int i = 0; i < L::kMaxInputs; ++i) CreateInputStrip(i);
  CreateOutputStripPictures();
  for (int k = 0; k < L::kMaxOutputs; ++k) CreateOutputStrip(k);
  m_autoLimiters = AddCombo(kParamAutoLimiters, ToRect(L::kAutoLimiters), 7.0f, {kPanelGroupLimiters});
  m_autoLimiters->m_colour2 = kWhite;
  AddItems(m_autoLimiters, L::AutoLimiterItems());
  CreateSideTabs();
  CreateGeqPage();
  CreateInputPeqPage();
  CreateOutputPeqPage();
  return true;
}

// --- Building blocks ---

CTextControl* CNerexSeriesControlPanel::AddReadout(int id, const char* face, float points, std::uint32_t flags,
                                                   const CRect& rect, std::uint32_t brush,
                                                   std::initializer_list<int> groups) {
  CTextControl* control = AddText(id, true, face, points, kValueInk, flags, rect, groups);
  control->SetBrushColour(brush);
  return control;
}

CCustomComboBox* CNerexSeriesControlPanel::AddCombo(int id, const CRect& rect, float points,
                                                    std::initializer_list<int> groups) {
  CCustomComboBox* box = Add(new CCustomComboBox(this, id, rect), groups);
  box->GetTextStyle().Set(kCondensed, points, CColour{kComboInk});
  return box;
}

CBitmapFader* CNerexSeriesControlPanel::AddGainFader(int id, const CRect& rect, float minimum, float maximum, int kind,
                                                     std::initializer_list<int> groups) {
  CBitmapFader* fader = Add(new CBitmapFader(this, id, GetFaderCapImage(), kind, rect), groups);
  fader->m_minimum = minimum;
  fader->m_maximum = maximum;
  fader->m_nudgeStep = kFaderNudge;
  return fader;
}

CBitmapMeter* CNerexSeriesControlPanel::AddLevelMeter(int id, const L::StripPlace& place, int x) {
  CBitmapImage* image = GetMeterImage();
  return Add(new CBitmapMeter(this, id, image, ToRect(place.At(x, WidthOf(image), HeightOf(image))), kMeterTop, 0,
                              kMeterLowestDb),
             {kPanelGroupMixer, kPanelGroupCompact});
}

void CNerexSeriesControlPanel::AddSection(int s, std::initializer_list<int> groups) {
  m_sectionPictures[std::size_t(s)] = Add(
      new CBitmapObject(this, L::kSections[s].id, m_buffers[std::size_t(s)].get(), ToRect(L::kSections[s].Bounds())),
      groups);
}

// --- Header and pages ---

void CNerexSeriesControlPanel::CreatePagePictures() {
  m_pageImages[0] = AddPicture(L::kMixerPageId, GetMixerPageImage(), 0, 0, {kPanelGroupMixer});
  m_pageImages[1] = AddPicture(L::kInputGeqPageId, GetInputGeqPageImage(), 0, 0, {kPanelGroupInputGeq});
  m_pageImages[2] = AddPicture(L::kInputPeqPageId, GetInputPeqPageImage(), 0, 0, {kPanelGroupInputPeq});
  m_pageImages[3] = AddPicture(L::kOutputEqPageId, GetOutputPeqPageImage(), 0, 0, {kPanelGroupOutputEq});
  m_pageImages[4] = AddPicture(L::kCompactPageId, GetCompactPageImage(), 0, 0, {kPanelGroupCompact});
}

void CNerexSeriesControlPanel::CreateHeader() {
  m_deviceName = AddText(kParamDeviceName, true, kCondensed, 16.0f, kHeaderInk, 0, ToRect(L::kDeviceName), {});
  m_headerText = AddText(L::kModelLegendId, true, kCondensed, 7.5f, kHeaderInk, 0, ToRect(L::kModelLegend), {});
  for (std::size_t t = 0; t < std::size(L::kPageTabs); ++t)
    m_pageTabs[t] = Add(new CBmpButton(this, L::kPageTabs[t].id, nullptr, ToRect(L::kPageTabs[t].box), kTabFlags));
  m_presetManagerButton = Add(new CBmpButton(this, L::kPresetManagerId, nullptr, ToRect(L::kPresetManager), kTabFlags));
  AddSection(kInputsSection, {kPanelGroupMixer});
  CBitmapImage* const lcdFaces[] = {GetLcdRecallImage(), GetLcdNextImage(), GetLcdPreviousImage()};
  for (std::size_t b = 0; b < m_presetButtons.size(); ++b)
    m_presetButtons[b] =
        Add(new CBmpButton(this, L::kLcdButtons[b].id, lcdFaces[b], ToRect(L::kLcdButtons[b].box), kTabFlags),
            {kPanelGroupCompact});
  // The display's text shows no parameter: SetLcdText writes it.
  m_lcdText = AddText(0, false, kLcdFace, 12.0f, kWhite, 0, ToRect(L::kLcdText), {kPanelGroupCompact});
  m_lcdText->SetText("Testing...");
}

// --- Channel strips ---

void CNerexSeriesControlPanel::CreateInputStrip(int i) {
  const auto c = std::size_t(i);
  const int x = L::InputStripX(L::kMaxInputs, i);
  const std::initializer_list<int> mixer = {kPanelGroupMixer};
  m_inputFaders[c] = AddGainFader(kParamInputGain + i, ToRect(L::kInputFader.At(x)), kInputGainMin, kInputGainMax);
  m_inputMeters[c] = AddLevelMeter(L::kInputMeterId + i, L::kInputMeter, x);
  m_inputGainTexts[c] = AddReadout(kParamInputGain + i, kLcdFace, panel_face::kGainReadoutPoints, kGainFlags,
                                   ToRect(L::kInputGainText.At(x)), kReadoutBrush, mixer);
  m_inputDelays[c] = AddReadout(kParamInputDelay + i, kValueFace, 7.5f, kInputDelayFlags,
                                ToRect(L::kInputDelayText.At(x)), kReadoutBrush, mixer);
  for (int j = 0; j < L::kMaxInputs; ++j) {
    const L::StripPlace link = L::kInputLink.Down(L::kRowPitch * j);
    m_inputLinks[c][std::size_t(j)] = AddButton(kParamInputLinkBit + L::kMaxInputs * i + j, GetLedOffImage(),
                                                x + link.dx, link.top, kBitButtonFlags, mixer);
  }
  m_inputRows[0][c] = AddButton(L::kInputGeqShortcutId + i, GetLedOffImage(), x + L::kInputGeqShortcut.dx,
                                L::kInputGeqShortcut.top, kShortcutFlags, mixer);
  m_inputRows[1][c] = AddButton(L::kInputPeqShortcutId + i, GetLedOffImage(), x + L::kInputPeqShortcut.dx,
                                L::kInputPeqShortcut.top, kShortcutFlags, mixer);
  m_inputMutes[c] =
      AddButton(kParamInputMute + i, GetRedLedImage(), x + L::kInputMute.dx, L::kInputMute.top, kLedFlags, mixer);
  m_inputNames[c] =
      AddText(kParamInputName + i, true, kValueFace, 8.0f, kValueInk, 0, ToRect(L::kInputName.At(x)), mixer);
}

void CNerexSeriesControlPanel::CreateOutputStripPictures() {
  for (int k = 0; k < L::kMaxOutputs; ++k)
    m_outputStrips[std::size_t(k)] =
        AddPicture(L::kOutputStripId, GetOutputStripImage(), L::OutputStripX(L::kMaxOutputs, k), L::kOutputStrip.top,
                   {kPanelGroupMixer});
  AddSection(kOutputsSection, {kPanelGroupMixer});
  AddSection(kOutputNumbers, {kPanelGroupMixer});
}

void CNerexSeriesControlPanel::CreateOutputStrip(int k) {
  const auto c = std::size_t(k);
  const int x = L::OutputStripX(L::kMaxOutputs, k);
  const std::initializer_list<int> mixer = {kPanelGroupMixer};
  m_outputFaders[c] =
      AddGainFader(kParamOutputGain + k, ToRect(L::kOutputFader.At(x)), kOutputGainMin, kOutputGainMax);
  m_outputMeters[c] = AddLevelMeter(L::kOutputMeterId + k, L::kOutputMeter, x);
  m_outputGainTexts[c] = AddReadout(kParamOutputGain + k, kLcdFace, panel_face::kGainReadoutPoints, kGainFlags,
                                    ToRect(L::kOutputGainText.At(x)), kReadoutBrush, mixer);
  m_outputMutes[c] =
      AddButton(kParamOutputMute + k, GetRedLedImage(), x + L::kOutputMute.dx, L::kOutputMute.top, kLedFlags, mixer);
  m_outputPolarity[c] = AddButton(kParamOutputPhase + k, GetBlueLedImage(), x + L::kOutputPolarity.dx,
                                  L::kOutputPolarity.top, kLedFlags, mixer);
  m_outputRows[0][c] = AddButton(L::kOutputEqShortcutId + k, GetLedOffImage(), x + L::kOutputPeqShortcut.dx,
                                 L::kOutputPeqShortcut.top, kShortcutFlags, mixer);
  m_outputDelays[c] = AddReadout(kParamOutputDelay + k, kValueFace, 7.5f, kOutputDelayFlags,
                                 ToRect(L::kOutputDelayText.At(x)), kReadoutBrush, mixer);
  m_outputNames[c] =
      AddText(kParamOutputName + k, true, kValueFace, 8.0f, kValueInk, 0, ToRect(L::kOutputName.At(x)), mixer);
  CreateLimiterViews(k, x);
}

// The side-tab views over output strip k: the routing buttons (Source), the link buttons
// (Linking) and the limiter readouts and lists (Limiters).
void CNerexSeriesControlPanel::CreateLimiterViews(int k, int x) {
  const auto c = std::size_t(k);
  for (int i = 0; i < L::kMaxInputs; ++i) {
    const L::StripPlace routing = L::kMatrixRouting.Down(L::kRowPitch * i);
    m_routingButtons[c][std::size_t(i)] = AddButton(kParamMatrixRouting + L::kMaxInputs * k + i, GetLedOffImage(),
                                                    x + routing.dx, routing.top, kBitButtonFlags, {kPanelGroupSource});
  }
  for (int j = 0; j < L::kMaxOutputs; ++j) {
    const L::StripPlace link = L::kOutputLink.Down(L::kRowPitch * j);
    m_outputLinks[c][std::size_t(j)] = AddButton(kParamOutputLinkBit + L::kMaxOutputs * k + j, GetLedOffImage(),
                                                 x + link.dx, link.top, kBitButtonFlags, {kPanelGroupLinking});
  }
  const std::initializer_list<int> limiters = {kPanelGroupLimiters};
  m_limiterLevels[c] = AddText(kParamLimiterLevel + k, true, kValueFace, 8.0f, kValueInk, kLimiterFlags,
                               ToRect(L::kLimiterLevel.At(x)), limiters);
  m_clipLevels[c] = AddText(kParamLimiterClipLevel + k, true, kValueFace, 8.0f, kValueInk, kLimiterFlags,
                            ToRect(L::kClipLevel.At(x)), limiters);
  m_clipReleases[c] = AddCombo(kParamLimiterClipRelease + k, ToRect(L::kClipRelease.At(x)), 7.0f, limiters);
  m_limiterReleases[c] = AddCombo(kParamLimiterRelease + k, ToRect(L::kLimiterRelease.At(x)), 7.0f, limiters);
  m_limiterAttacks[c] = AddCombo(kParamLimiterAttack + k, ToRect(L::kLimiterAttack.At(x)), 7.0f, limiters);
  AddItems(m_clipReleases[c], L::ClipReleaseItems());
  AddItems(m_limiterReleases[c], L::ReleaseItems());
  AddItems(m_limiterAttacks[c], L::AttackItems());
  for (CCustomComboBox* box : {m_clipReleases[c], m_limiterReleases[c], m_limiterAttacks[c]}) box->m_colour2 = kWhite;
}

void CNerexSeriesControlPanel::CreateSideTabs() {
  for (std::size_t t = 0; t < std::size(L::kSideTabs); ++t)
    m_sideTabs[t] = Add(new CBmpButton(this, L::kSideTabs[t].id, nullptr, ToRect(L::kSideTabs[t].box), kTabFlags),
                        {kPanelGroupMixer});
}

// --- Equaliser pages ---

void CNerexSeriesControlPanel::CreateGeqPage() {
  const std::initializer_list<int> geq = {kPanelGroupInputGeq};
  m_geqCurve = Add(new CNerexSeriesParametricControl(this, L::kGeqCurveId, ToRect(L::kGeqCurve)), geq);
  m_geqBypass = AddButton(kParamGeqBypass, GetBlueLedImage(), L::kGeqBypass.x, L::kGeqBypass.y, kLedFlags, geq);
  m_geqFlat = AddButton(L::kGeqFlattenId, GetLedOffImage(), L::kGeqFlat.x, L::kGeqFlat.y, kShortcutFlags, geq);
  CCustomComboBox* shape = AddCombo(kParamGeqMode, ToRect(L::kGeqShape), 7.0f, geq);
  AddItems(shape, L::QShapeItems());
  m_geqShape = shape;
  for (int b = 0; b < L::kGeqBands; ++b)
    m_geqFaders[std::size_t(b)] =
        AddGainFader(kParamGeqBand + b, ToRect(L::GeqFader(b)), -L::kGeqRangeDb, L::kGeqRangeDb, kFaderGeqBand, geq);
}

CNerexSeriesBaseControlPanel::BandRow CNerexSeriesControlPanel::CreateBandRow(int band, int group,
                                                                              const std::array<int, 5>& firstIds) {
  const std::initializer_list<int> groups = {group};
  BandRow row{};
  row.frame = AddPicture(L::kBandFrameId, GetSelectionFrameImage(), L::kBandFrameLeft, L::BandRowTop(band), groups);
  auto eqText = [&](int id, L::Column column, std::uint32_t flags) {
    CTextControl* control =
        AddReadout(id, kValueFace, 9.0f, flags, ToRect(L::BandCell(column, band)), kEqValueBrush, groups);
    control->GetTextStyle().Set(kCondensed, 9.0f, control->GetTextStyle().colour);
    return control;
  };
  row.frequency = eqText(firstIds[0] + band, L::kBandFrequency, kEqFrequencyFlags);
  row.q = eqText(firstIds[1] + band, L::kBandQ, kEqQFlags);
  row.gain = eqText(firstIds[2] + band, L::kBandGain, kEqGainFlags);
  row.type = AddCombo(firstIds[3] + band, ToRect(L::BandCell(L::kBandType, band)), 9.0f, groups);
  row.type->GetTextStyle().Set(kCondensed, 9.0f, CColour{kEqComboInk});
  row.type->m_colour1 = kEqComboFill;
  row.type->m_colour2 = kEqComboFrame;
  AddItems(row.type, L::EqTypeItems());
  row.bypass =
      AddButton(firstIds[4] + band, GetSmallBlueLedImage(), L::kBandBypassLeft, L::BandRowTop(band), kLedFlags, groups);
  return row;
}

void CNerexSeriesControlPanel::CreateInputPeqPage() {
  m_peqCurve =
      Add(new CNerexSeriesParametricControl(this, L::kInputPeqCurveId, ToRect(L::kEqCurve)), {kPanelGroupInputPeq});
  AddSection(kInputLetters, {kPanelGroupInputPeq, kPanelGroupInputGeq});
  m_inputCaption = AddText(L::kInputCaptionId, false, kCondensed, 10.0f, kWhite, 0, ToRect(L::kInputCaption),
                           {kPanelGroupInputPeq, kPanelGroupInputGeq});
  for (int b = 0; b < L::kInputPeqBands; ++b)
    KeepInputPeqRow(b, CreateBandRow(b, kPanelGroupInputPeq,
                                     {kParamInputPeqFrequency, kParamInputPeqQ, kParamInputPeqGain, kParamInputPeqType,
                                      kParamInputPeqBypass}));
}

void CNerexSeriesControlPanel::CreateOutputPeqPage() {
  const std::initializer_list<int> page = {kPanelGroupOutputEq};
  m_outputEqCurve = Add(new CNerexSeriesParametricControl(this, L::kOutputEqCurveId, ToRect(L::kEqCurve)), page);
  AddSection(kOutputEqNumbers, page);
  m_outputCaption = AddText(L::kOutputCaptionId, false, kCondensed, 10.0f, kWhite, 0, ToRect(L::kOutputCaption), page);
  for (int b = 0; b < L::kOutputPeqBands; ++b)
    KeepOutputEqRow(b, CreateBandRow(b, kPanelGroupOutputEq,
                                     {kParamOutputPeqFrequency, kParamOutputPeqQ, kParamOutputPeqGain,
                                      kParamOutputPeqType, kParamOutputPeqBypass}));
  auto crossoverText = [&](int id, const L::Box& box) {
    CTextControl* control = AddReadout(id, kValueFace, 9.0f, kEqFrequencyFlags, ToRect(box), kEqValueBrush, page);
    control->GetTextStyle().Set(kCondensed, 9.0f, control->GetTextStyle().colour);
    return control;
  };
  auto crossoverType = [&](int id, const L::Box& box) {
    CCustomComboBox* combo = AddCombo(id, ToRect(box), 9.0f, page);
    combo->GetTextStyle().Set(kCondensed, 9.0f, CColour{kEqComboInk});
    combo->m_colour1 = kEqComboFill;
    combo->m_colour2 = kEqComboFrame;
    AddItems(combo, L::CrossoverTypeItems());
    return combo;
  };
  m_highPassFrequency = crossoverText(kParamHighPassFrequency, L::kHighPassFrequency);
  m_lowPassFrequency = crossoverText(kParamLowPassFrequency, L::kLowPassFrequency);
  m_highPassType = crossoverType(kParamHighPassType, L::kHighPassType);
  m_lowPassType = crossoverType(kParamLowPassType, L::kLowPassType);
}
