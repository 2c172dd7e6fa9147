// The Nerex-series panel's widget tree, in drawing order.
#include "panels/NerexSeriesControlPanel.h"

#include <initializer_list>

#include "core/BitmapImage.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "panels/BitmapFader.h"
#include "panels/BitmapMeter.h"
#include "panels/BitmapObject.h"
#include "panels/BmpButton.h"
#include "panels/CustomComboBox.h"
#include "panels/NerexSeriesLayout.h"
#include "panels/NerexSeriesParametricControl.h"
#include "panels/TextControl.h"

namespace L = nerex_layout;

namespace {

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
    buffer->CreateBlank(kSectionSizes[s].cx, kSectionSizes[s].cy);
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

  auto readout = [&](int id, const char* face, float points, std::uint32_t flags, const CRect& rect,
                     std::uint32_t brush, std::initializer_list<int> groups) {
    CTextControl* control = AddText(id, true, face, points, kValueInk, flags, rect, groups);
    control->SetBrushColour(brush);
    return control;
  };
  auto combo = [&](int id, const CRect& rect, float points, std::initializer_list<int> groups) {
    CCustomComboBox* box = Add(new CCustomComboBox(this, id, rect), groups);
    box->GetTextStyle().Set(kCondensed, points, CColour{kComboInk});
    return box;
  };
  auto section = [&](int s, std::initializer_list<int> groups) {
    CBitmapImage* buffer = m_buffers[std::size_t(s)].get();
    const CPoint at = kSectionPlaces[s];
    m_sectionPictures[std::size_t(s)] = Add(
        new CBitmapObject(this, kSectionIds[s], buffer,
                          CRect{at.x, at.y, at.x + kSectionSizes[s].cx, at.y + kSectionSizes[s].cy}),
        groups);
  };

  // 1. Page pictures.
  m_pageImages[0] = AddPicture(kMixerPageId, GetMixerPageImage(), 0, 0, {kPanelGroupMixer});
  m_pageImages[1] = AddPicture(kInputGeqPageId, GetInputGeqPageImage(), 0, 0, {kPanelGroupInputGeq});
  m_pageImages[2] = AddPicture(kInputPeqPageId, GetInputPeqPageImage(), 0, 0, {kPanelGroupInputPeq});
  m_pageImages[3] = AddPicture(kOutputPeqPageId, GetOutputPeqPageImage(), 0, 0, {kPanelGroupOutputEq});

  // 2. Header.
  m_deviceName = AddText(58, true, kCondensed, 16.0f, kHeaderInk, 0, CRect{27, 38, 262, 64}, {});
  m_headerText = AddText(494, true, kCondensed, 7.5f, kHeaderInk, 0, CRect{17, 68, 262, 78}, {});
  const struct {
    int id;
    CRect rect;
  } tabs[] = {{60, {20, 84, 79, 104}}, {61, {83, 84, 142, 104}}, {59, {146, 84, 205, 104}}, {63, {209, 84, 268, 104}}};
  for (std::size_t t = 0; t < 4; ++t)
    m_pageTabs[t] = Add(new CBmpButton(this, tabs[t].id, nullptr, tabs[t].rect, kTabFlags));
  m_presetManagerButton = Add(new CBmpButton(this, 495, nullptr, CRect{209, 10, 268, 30}, kTabFlags));
  section(kInputsSection, {kPanelGroupMixer});
  m_presetButtons[0] = Add(new CBmpButton(this, 436, nullptr, CRect{224, 96, 282, 119}, kTabFlags), {kPanelGroupCompact});
  m_presetButtons[1] = Add(new CBmpButton(this, 437, nullptr, CRect{181, 96, 206, 107}, kTabFlags), {kPanelGroupCompact});
  m_presetButtons[2] = Add(new CBmpButton(this, 438, nullptr, CRect{181, 108, 206, 119}, kTabFlags), {kPanelGroupCompact});
  m_lcdText = AddText(438, false, kLcdFace, 12.0f, kWhite, 0, CRect{27, 97, 170, 117}, {kPanelGroupCompact});
  m_lcdText->SetText("Testing...");

  // 3. Channel-select LEDs (ShowPage places them).
  for (int j = 0; j < 8; ++j)
    m_channelSelect[std::size_t(j)] = AddButton(120 + j, GetBlueLedImage(), 35 + 28 * j, 155, kLedFlags, {});

  // 4. Input strips at provisional places; UpdateAllControls moves them to the model's edges.
  for (int i = 0; i < L::kMaxInputs; ++i) {
    const auto c = std::size_t(i);
    const int x = L::InputStripX(4, i);
    CBitmapFader* fader =
        Add(new CBitmapFader(this, 13 + i, GetFaderCapImage(), kFaderChannelGain, L::kInputFader.At(x)),
            {kPanelGroupMixer});
    fader->m_minimum = -40.0f;
    fader->m_maximum = 6.0f;
    fader->m_nudgeStep = 0.1f;
    m_inputFaders[c] = fader;
    m_inputMeters[c] = Add(new CBitmapMeter(this, 1 + i, GetMeterImage(),
                                            L::kInputMeter.At(x, WidthOf(GetMeterImage()), HeightOf(GetMeterImage())),
                                            9, 0, -40),
                           {kPanelGroupMixer, kPanelGroupCompact});
    m_inputGainTexts[c] =
        readout(13 + i, kLcdFace, panel_face::kGainReadoutPoints, kGainFlags, L::kInputGainText.At(x), kReadoutBrush, {kPanelGroupMixer});
    m_inputDelays[c] = readout(249 + i, kValueFace, 7.5f, kInputDelayFlags, L::kInputDelayText.At(x), kReadoutBrush,
                               {kPanelGroupMixer});
    for (int j = 0; j < 4; ++j)
      m_inputLinks[c][std::size_t(j)] = AddButton(339 + 4 * i + j, GetLedOffImage(), x + L::kInputLink.dx,
                                               L::kInputLink.top + L::kRowPitch * j, kBitButtonFlags, {kPanelGroupMixer});
    m_inputRows[0][c] = AddButton(237 + i, GetLedOffImage(), x + L::kInputGeqShortcut.dx, L::kInputGeqShortcut.top,
                               kShortcutFlags, {kPanelGroupMixer});
    m_inputRows[1][c] = AddButton(233 + i, GetLedOffImage(), x + L::kInputPeqShortcut.dx, L::kInputPeqShortcut.top,
                               kShortcutFlags, {kPanelGroupMixer});
    m_inputMutes[c] =
        AddButton(25 + i, GetRedLedImage(), x + L::kInputMute.dx, L::kInputMute.top, kLedFlags, {kPanelGroupMixer});
    m_inputNames[c] = AddText(128 + i, true, kValueFace, 8.0f, kValueInk, 0, L::kInputName.At(x), {kPanelGroupMixer});
  }

  // 5. Output strip backgrounds, then the outputs' section pictures.
  for (int k = 0; k < L::kMaxOutputs; ++k)
    m_outputStrips[std::size_t(k)] =
        AddPicture(475, GetOutputStripImage(), L::OutputStripX(8, k), L::kOutputStrip.top, {kPanelGroupMixer});
  section(kOutputsSection, {kPanelGroupMixer});
  section(kOutputNumbers, {kPanelGroupMixer});

  // 6. Output strips.
  for (int k = 0; k < L::kMaxOutputs; ++k) {
    const auto c = std::size_t(k);
    const int x = L::OutputStripX(8, k);
    CBitmapFader* fader =
        Add(new CBitmapFader(this, 17 + k, GetFaderCapImage(), kFaderChannelGain, L::kOutputFader.At(x)),
            {kPanelGroupMixer});
    fader->m_minimum = -40.0f;
    fader->m_maximum = 15.0f;
    fader->m_nudgeStep = 0.1f;
    m_outputFaders[c] = fader;
    m_outputMeters[c] = Add(new CBitmapMeter(this, 5 + k, GetMeterImage(),
                                             L::kOutputMeter.At(x, WidthOf(GetMeterImage()), HeightOf(GetMeterImage())),
                                             9, 0, -40),
                            {kPanelGroupMixer, kPanelGroupCompact});
    m_outputGainTexts[c] =
        readout(17 + k, kLcdFace, panel_face::kGainReadoutPoints, kGainFlags, L::kOutputGainText.At(x), kReadoutBrush, {kPanelGroupMixer});
    m_outputMutes[c] =
        AddButton(29 + k, GetRedLedImage(), x + L::kOutputMute.dx, L::kOutputMute.top, kLedFlags, {kPanelGroupMixer});
    m_outputPolarity[c] = AddButton(37 + k, GetBlueLedImage(), x + L::kOutputPolarity.dx, L::kOutputPolarity.top,
                                 kLedFlags, {kPanelGroupMixer});
    m_outputRows[0][c] = AddButton(241 + k, GetLedOffImage(), x + L::kOutputPeqShortcut.dx, L::kOutputPeqShortcut.top,
                                kShortcutFlags, {kPanelGroupMixer});
    m_outputDelays[c] = readout(253 + k, kValueFace, 7.5f, kOutputDelayFlags, L::kOutputDelayText.At(x), kReadoutBrush,
                                {kPanelGroupMixer});
    m_outputNames[c] = AddText(132 + k, true, kValueFace, 8.0f, kValueInk, 0, L::kOutputName.At(x), {kPanelGroupMixer});
    for (int i = 0; i < 4; ++i)
      m_routingButtons[c][std::size_t(i)] =
          AddButton(439 + 4 * k + i, GetLedOffImage(), x + L::kMatrixRouting.dx, L::kMatrixRouting.top + L::kRowPitch * i,
                 kBitButtonFlags, {kPanelGroupSource});
    for (int j = 0; j < 8; ++j)
      m_outputLinks[c][std::size_t(j)] =
          AddButton(355 + 8 * k + j, GetLedOffImage(), x + L::kOutputLink.dx, L::kOutputLink.top + L::kRowPitch * j,
                 kBitButtonFlags, {kPanelGroupLinking});
    m_limiterLevels[c] = AddText(299 + k, true, kValueFace, 8.0f, kValueInk, kLimiterFlags, L::kLimiterLevel.At(x),
                              {kPanelGroupLimiters});
    m_clipLevels[c] =
        AddText(307 + k, true, kValueFace, 8.0f, kValueInk, kLimiterFlags, L::kClipLevel.At(x), {kPanelGroupLimiters});
    m_clipReleases[c] = combo(331 + k, L::kClipRelease.At(x), 7.0f, {kPanelGroupLimiters});
    m_limiterReleases[c] = combo(323 + k, L::kLimiterRelease.At(x), 7.0f, {kPanelGroupLimiters});
    m_limiterAttacks[c] = combo(315 + k, L::kLimiterAttack.At(x), 7.0f, {kPanelGroupLimiters});
    AddItems(m_clipReleases[c], L::ClipReleaseItems());
    AddItems(m_limiterReleases[c], L::ReleaseItems());
    AddItems(m_limiterAttacks[c], L::AttackItems());
    for (CCustomComboBox* box : {m_clipReleases[c], m_limiterReleases[c], m_limiterAttacks[c]}) box->m_colour2 = kWhite;
  }

  // 7. Auto Limiters.
  m_autoLimiters = combo(422, CRect{319, 41, 370, 56}, 7.0f, {kPanelGroupLimiters});
  m_autoLimiters->m_colour2 = kWhite;
  AddItems(m_autoLimiters, L::AutoLimiterItems());

  // 8. Side tabs: Linking, Limiters, Source from the top.
  m_sideTabs[0] = Add(new CBmpButton(this, 297, nullptr, CRect{289, 30, 309, 100}, kTabFlags), {kPanelGroupMixer});
  m_sideTabs[1] = Add(new CBmpButton(this, 296, nullptr, CRect{289, 103, 309, 173}, kTabFlags), {kPanelGroupMixer});
  m_sideTabs[2] = Add(new CBmpButton(this, 295, nullptr, CRect{289, 176, 309, 246}, kTabFlags), {kPanelGroupMixer});

  // 9. Input GEQ page.
  const std::initializer_list<int> geq = {kPanelGroupInputGeq};
  m_geqCurve = Add(new CNerexSeriesParametricControl(this, 140, CRect{10, 350, 840, 590}), geq);
  m_geqBypass = AddButton(1312, GetBlueLedImage(), 545, 50, kLedFlags, geq);
  m_geqFlat = AddButton(1320, GetLedOffImage(), 544, 74, kShortcutFlags, geq);
  CCustomComboBox* shape = combo(1316, CRect{500, 25, 565, 40}, 7.0f, geq);
  AddItems(shape, L::QShapeItems());
  m_geqShape = shape;
  for (int b = 0; b < 28; ++b) {
    CBitmapFader* fader = Add(
        new CBitmapFader(this, 1200 + b, GetFaderCapImage(), kFaderGeqBand, CRect{63 + 26 * b, 140, 78 + 26 * b, 315}),
        geq);
    fader->m_minimum = -12.0f;
    fader->m_maximum = 12.0f;
    fader->m_nudgeStep = 0.1f;
    m_geqFaders[std::size_t(b)] = fader;
  }

  // The band rows of both parametric pages: frame, frequency, Q, gain, type, bypass.
  auto bandRow = [&](int top, int frameId, int frequencyId, int qId, int gainId, int typeId, int bypassId, int group,
                     CControlObject*& frame, CTextControl*& frequency, CTextControl*& q, CTextControl*& gain,
                     CCustomComboBox*& type, CBmpButton*& bypass) {
    const std::initializer_list<int> groups = {group};
    frame = AddPicture(frameId, GetSelectionFrameImage(), 436, top, groups);
    auto eqText = [&](int id, int left, int right, std::uint32_t flags) {
      CTextControl* control = readout(id, kValueFace, 9.0f, flags, CRect{left, top, right, top + 17}, kEqValueBrush, groups);
      control->GetTextStyle().Set(kCondensed, 9.0f, control->GetTextStyle().colour);
      return control;
    };
    frequency = eqText(frequencyId, 470, 530, kEqFrequencyFlags);
    q = eqText(qId, 540, 580, kEqQFlags);
    gain = eqText(gainId, 590, 650, kEqGainFlags);
    type = combo(typeId, CRect{660, top, 795, top + 17}, 9.0f, groups);
    type->GetTextStyle().Set(kCondensed, 9.0f, CColour{kEqComboInk});
    type->m_colour1 = 0xB0FFFFFFu;
    type->m_colour2 = 0xFFDCDCDCu;
    AddItems(type, L::EqTypeItems());
    bypass = AddButton(bypassId, GetSmallBlueLedImage(), 807, top, kLedFlags, groups);
  };

  // 10. Input PEQ page.
  m_peqCurve = Add(new CNerexSeriesParametricControl(this, 141, CRect{10, 220, 840, 590}), {kPanelGroupInputPeq});
  section(kInputLetters, {kPanelGroupInputPeq, kPanelGroupInputGeq});
  m_inputCaption = AddText(433, false, kCondensed, 10.0f, kWhite, 0, CRect{295, 35, 415, 51},
                        {kPanelGroupInputPeq, kPanelGroupInputGeq});
  for (int b = 0; b < 8; ++b) {
    const auto c = std::size_t(b);
    bandRow(23 + 19 * b, 1592, 508 + b, 540 + b, 572 + b, 604 + b, 636 + b, kPanelGroupInputPeq, m_peqFrames[c],
            m_peqFrequency[c], m_peqQ[c], m_peqGain[c], m_peqType[c], m_peqBypass[c]);
  }

  // 11. Output PEQ page.
  m_outputEqCurve = Add(new CNerexSeriesParametricControl(this, 142, CRect{10, 220, 840, 590}), {kPanelGroupOutputEq});
  section(kOutputEqNumbers, {kPanelGroupOutputEq});
  m_outputCaption = AddText(434, false, kCondensed, 10.0f, kWhite, 0, CRect{27, 133, 262, 149}, {kPanelGroupOutputEq});
  for (int b = 0; b < 9; ++b) {
    const auto c = std::size_t(b);
    bandRow(23 + 19 * b, 1592, 700 + b, 772 + b, 844 + b, 916 + b, 988 + b, kPanelGroupOutputEq, m_outputPeqFrames[c],
            m_outputPeqFrequency[c], m_outputPeqQ[c], m_outputPeqGain[c], m_outputPeqType[c], m_outputPeqBypass[c]);
  }
  auto crossoverText = [&](int id, const CRect& rect) {
    CTextControl* control = readout(id, kValueFace, 9.0f, kEqFrequencyFlags, rect, kEqValueBrush, {kPanelGroupOutputEq});
    control->GetTextStyle().Set(kCondensed, 9.0f, control->GetTextStyle().colour);
    return control;
  };
  auto crossoverType = [&](int id, const CRect& rect) {
    CCustomComboBox* box = combo(id, rect, 9.0f, {kPanelGroupOutputEq});
    box->GetTextStyle().Set(kCondensed, 9.0f, CColour{kEqComboInk});
    box->m_colour1 = 0xB0FFFFFFu;
    box->m_colour2 = 0xFFDCDCDCu;
    AddItems(box, L::CrossoverTypeItems());
    return box;
  };
  m_highPassFrequency = crossoverText(1100, CRect{287, 73, 360, 90});
  m_lowPassFrequency = crossoverText(1108, CRect{287, 143, 360, 160});
  m_highPassType = crossoverType(1116, CRect{287, 108, 420, 125});
  m_lowPassType = crossoverType(1124, CRect{287, 178, 420, 195});
  return true;
}
