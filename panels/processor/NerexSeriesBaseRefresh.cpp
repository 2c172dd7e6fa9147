// The processor panel base's refreshes: the full reload, the equaliser and compressor pages
// (the same widgets serve every channel: each refresh binds them to the selected channel's
// ids), the captions of ganged channels, the band selection of the curves, the display
// settings of the gain faders and delay readouts, and the preset list.
#include <algorithm>
#include <cstdio>

#include "core/model/DeviceHost.h"
#include "devices/processor/NerexChannelRules.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexParamIds.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "panels/framework/BitmapFader.h"
#include "panels/framework/BitmapMeter.h"
#include "panels/framework/BmpButton.h"
#include "panels/processor/CompressorMeter.h"
#include "panels/framework/CustomComboBox.h"
#include "panels/processor/NerexSeriesBaseControlPanel.h"
#include "panels/processor/NerexSeriesParametricControl.h"
#include "panels/framework/TextControl.h"
#include "panels/processor/TorvexSeriesDEQControl.h"
#include "platform/Sync.h"
#include "resources/TorvexPanelLayout.h"

namespace {

// Models whose inputs have delays and whose outputs have routing buttons.
bool HasDelaysAndRouting(int model) { return IsNerexSmallModel(model) || model == kModelTorvex48; }
// Models with a level per matrix crossing.
bool HasMatrixGains(int model) { return IsFennickModel(model) || model == kModelTorvex48; }

int IntegerOf(const CParamValue& value) { return value.IsInteger() ? value.integer : int(value.value); }

// A channel name as its caption shows it: the stored bytes without trailing blanks.
std::string CaptionName(const NerexChannelName& name) {
  std::string text(name.data(), name.size());
  const auto last = text.find_last_not_of(std::string(" \t\r\n\0", 5));
  return last == std::string::npos ? std::string() : text.substr(0, last + 1);
}

// The names of the channels whose bits are set in mask, below count, joined by " / ".
template <std::size_t N>
std::string JoinLinkedNames(const std::array<NerexChannelName, N>& names, std::uint8_t mask, int count) {
  std::string caption;
  for (int j = 0; j < count && j < int(N); ++j) {
    if (((mask >> j) & 1u) == 0) continue;
    if (!caption.empty()) caption += " / ";
    caption += CaptionName(names[std::size_t(j)]);
  }
  return caption;
}

}  // namespace

std::uint32_t CNerexSeriesBaseControlPanel::SelectedInput() const {
  const CNerexSeriesDevice* device = GetNerexDevice();
  return device ? std::min<std::uint32_t>(device->PanelView().GetSelectedInput(), kNerexMaxInputs - 1) : 0;
}

std::uint32_t CNerexSeriesBaseControlPanel::SelectedOutput() const {
  const CNerexSeriesDevice* device = GetNerexDevice();
  return device ? std::min<std::uint32_t>(device->PanelView().GetSelectedOutput(), kNerexMaxOutputs - 1) : 0;
}

bool CNerexSeriesBaseControlPanel::IsOnPage(std::uint32_t page) const {
  const CNerexSeriesDevice* device = GetNerexDevice();
  return device && device->PanelView().GetPanelPage() == page;
}

template <std::size_t N>
void CNerexSeriesBaseControlPanel::BindBandRows(const std::array<CTextControl*, N>& frequency,
                                                const std::array<CTextControl*, N>& q,
                                                const std::array<CTextControl*, N>& gain,
                                                const std::array<CCustomComboBox*, N>& type,
                                                const std::array<CBmpButton*, N>& bypass,
                                                const std::array<int, 5>& firstIds, int offset) {
  for (std::size_t b = 0; b < N; ++b) {
    const int n = offset + int(b);
    BindAndRefresh(frequency[b], firstIds[0] + n);
    BindAndRefresh(q[b], firstIds[1] + n);
    BindAndRefresh(gain[b], firstIds[2] + n);
    BindAndRefresh(type[b], firstIds[3] + n);
    BindAndRefresh(bypass[b], firstIds[4] + n);
  }
}

// --- The full reload ---

void CNerexSeriesBaseControlPanel::UpdateAllControls() {
  CNerexSeriesDevice* device = GetNerexDevice();
  if (!device) return;
  const int model = device->GetModel();
  ApplyPermissions(false);
  const CSize size = device->GetPanelSize();
  CreateBackBufferIfNone(size.cx, size.cy);
  if (m_meterTimerId == 0) {
    SetTimer(kMeterTimerId, kMeterPeriodMs);
    m_meterTimerId = kMeterTimerId;
  }
  ApplyDelayDisplay(false);

  for (std::size_t i = 0; i < kNerexMaxInputs; ++i) {
    Refresh(m_inputFaders[i]);
    Refresh(m_inputGainTexts[i]);
    Refresh(m_inputNames[i]);
    Refresh(m_inputMutes[i]);
    for (CBmpButton* link : m_inputLinks[i]) Refresh(link);
    if (HasDelaysAndRouting(model)) Refresh(m_inputDelays[i]);
  }
  Refresh(m_autoLimiters);
  for (std::size_t k = 0; k < kNerexMaxOutputs; ++k) {
    Refresh(m_outputNames[k]);
    Refresh(m_outputFaders[k]);
    Refresh(m_outputGainTexts[k]);
    Refresh(m_outputMutes[k]);
    Refresh(m_outputPolarity[k]);
    for (CBmpButton* link : m_outputLinks[k]) Refresh(link);
    Refresh(m_outputDelays[k]);
    for (std::size_t i = 0; i < kNerexMaxInputs; ++i) {
      if (HasDelaysAndRouting(model)) Refresh(m_routingButtons[k][i]);
      if (HasMatrixGains(model)) {
        Refresh(m_matrixGains[k][i]);
        Refresh(m_matrixGainTexts[k][i]);
      }
    }
    Refresh(m_limiterLevels[k]);
    Refresh(m_clipLevels[k]);
    Refresh(m_limiterAttacks[k]);
    Refresh(m_limiterReleases[k]);
    Refresh(m_clipReleases[k]);
  }
  Refresh(m_deviceName);

  RequestMeterUpdate();
  ShowPageControls(false);
  RefillPresetList();
  SetLcdText(device->GetSelectedPresetLabel(kSectionAll), false);
  ShowPage(device->PanelView().GetPanelPage());
}

// --- Page refreshes ---

void CNerexSeriesBaseControlPanel::RefreshGeqSection(bool redraw) {
  CNerexSeriesDevice* device = GetNerexDevice();
  if (!device) return;
  const int s = int(SelectedInput());
  for (int b = 0; b < kNerexGeqBands; ++b)
    BindAndRefresh(m_geqFaders[std::size_t(b)], kParamGeqBand + kNerexGeqBands * s + b);
  BindAndRefresh(m_geqShape, kParamGeqMode + s);
  BindAndRefresh(m_geqBypass, kParamGeqBypass + s);
  if (m_geqFlat) m_geqFlat->SetId(torvex_layout::kGeqFlattenId + s);
  if (m_geqCurve) {
    m_geqCurve->ClearSections();
    for (int b = 0; b < kNerexGeqBands; ++b) m_geqCurve->AddSection(new CCurveData());
    const NerexGeqBlock& geq = device->GetCurrentSettings().geq;
    m_geqCurve->m_graphicEqMode = true;
    m_geqCurve->m_pGeqShape = &geq.modes[std::size_t(s)];
    m_geqCurve->m_pGeqBypass = &geq.bypass[std::size_t(s)];
    m_geqCurve->m_pGeqGains = geq.bands[std::size_t(s)].data();
    m_geqCurve->m_geqFirstId = kParamGeqBand + kNerexGeqBands * s;
  }
  UpdateInputLinkCaption(false);
  if (redraw) RedrawPanel();
}

void CNerexSeriesBaseControlPanel::RefreshPeqSection(bool redraw) {
  CNerexSeriesDevice* device = GetNerexDevice();
  if (!device) return;
  const int s = int(SelectedInput());
  BindBandRows(m_peqFrequency, m_peqQ, m_peqGain, m_peqType, m_peqBypass,
               {kParamInputPeqFrequency, kParamInputPeqQ, kParamInputPeqGain, kParamInputPeqType, kParamInputPeqBypass},
               kNerexInputPeqBands * s);
  int selected = -1;
  if (m_peqCurve) {
    const NerexInputSection& in = device->GetCurrentSettings().inputs;
    m_peqCurve->ClearSections();
    for (int b = 0; b < kNerexInputPeqBands; ++b)
      m_peqCurve->AddSection(new CCurveData(&in.PeqBand(s, b), in.PeqIds(s, b)));
    selected = m_peqCurve->m_selectedBand;
  }
  SelectInputPeqBand(selected, redraw);
  UpdateInputLinkCaption(false);
  if (redraw) RedrawPanel();
}

void CNerexSeriesBaseControlPanel::RefreshDeqSection(bool redraw) {
  CNerexSeriesDevice* device = GetNerexDevice();
  if (!device) return;
  const int s = int(SelectedInput());
  for (int b = 0; b < kNerexDeqBandsPerInput; ++b) {
    const auto u = std::size_t(b);
    const int n = kNerexDeqBandsPerInput * s + b;
    BindAndRefresh(m_deqFrequency[u], kParamDeqFrequency + n);
    BindAndRefresh(m_deqQ[u], kParamDeqQ + n);
    BindAndRefresh(m_deqEffect[u], kParamDeqEffect + n);
    BindAndRefresh(m_deqBypass[u], kParamDeqBypass + n);
    BindAndRefresh(m_deqThreshold[u], kParamDeqThreshold + n);
    BindAndRefresh(m_deqDynamicMode[u], kParamDeqMode + n);
    BindAndRefresh(m_deqShape[u], kParamDeqFilterKind + n);
    BindAndRefresh(m_deqRatio[u], kParamDeqRatio + n);
    // The ratio steps by one code in every mode but "Cut Above", by two there.
    if (m_deqRatio[u]) m_deqRatio[u]->SetNudgeStep(IntegerOf(GetCurrentValue(kParamDeqMode + n)) != 0 ? 1 : 2);
    BindAndRefresh(m_deqAttack[u], kParamDeqAttack + n);
    BindAndRefresh(m_deqRelease[u], kParamDeqRelease + n);
    if (CCompressorMeter* graph = m_deqBandGraphs[u]) {
      graph->SetId(torvex_layout::kDeqBandGraphId + n);
      graph->m_thresholdId = kParamDeqThreshold + n;
      graph->m_ratioId = kParamDeqRatio + n;
      graph->m_kneeId = 0;
      graph->m_maxGainId = kParamDeqEffect + n;
      graph->m_modeId = kParamDeqMode + n;
      Refresh(graph);
    }
  }
  Refresh(m_deqModeList);
  Refresh(m_deqLinkingList);
  SelectDeqBand(m_deqGraph ? m_deqGraph->GetSelectedBand() : -1, redraw);
  if (m_deqGraph) {
    m_deqGraph->ClearCurves();
    m_deqGraph->SetBandMasks(device->GetDeqBandMasks().data());
    const CNerexSeriesMemory& settings = device->GetCurrentSettings();
    for (int b = 0; b < kNerexDeqBandsPerInput; ++b)
      m_deqGraph->AddBand(new CDEQCurveData(&settings.DeqBand(s, b), settings.DeqIds(s, b), s, b));
  }
  UpdateInputLinkCaption(false);
  if (redraw) RedrawPanel();
}

void CNerexSeriesBaseControlPanel::RefreshOutputEqSection(bool redraw) {
  CNerexSeriesDevice* device = GetNerexDevice();
  if (!device) return;
  const int o = int(SelectedOutput());
  BindBandRows(m_outputPeqFrequency, m_outputPeqQ, m_outputPeqGain, m_outputPeqType, m_outputPeqBypass,
               {kParamOutputPeqFrequency, kParamOutputPeqQ, kParamOutputPeqGain, kParamOutputPeqType,
                kParamOutputPeqBypass},
               kNerexOutputPeqBands * o);
  BindAndRefresh(m_highPassFrequency, kParamHighPassFrequency + o);
  BindAndRefresh(m_lowPassFrequency, kParamLowPassFrequency + o);
  BindAndRefresh(m_highPassType, kParamHighPassType + o);
  BindAndRefresh(m_lowPassType, kParamLowPassType + o);
  int selected = -1;
  if (m_outputEqCurve) {
    const NerexOutputSection& out = device->GetCurrentSettings().outputs;
    m_outputEqCurve->ClearSections();
    for (int b = 0; b < kNerexOutputPeqBands; ++b)
      m_outputEqCurve->AddSection(new CCurveData(&out.PeqBand(o, b), out.PeqIds(o, b)));
    m_outputEqCurve->AddSection(new CCurveData(&out.highPass[std::size_t(o)], out.highPassIds[std::size_t(o)]));
    m_outputEqCurve->AddSection(new CCurveData(&out.lowPass[std::size_t(o)], out.lowPassIds[std::size_t(o)]));
    selected = m_outputEqCurve->m_selectedBand;
  }
  SelectOutputEqBand(selected, redraw);
  UpdateOutputLinkCaption(false);
  if (redraw) RedrawPanel();
}

void CNerexSeriesBaseControlPanel::RefreshOutputSection(bool redraw) {
  if (!GetNerexDevice()) return;
  for (std::size_t k = 0; k < kNerexMaxOutputs; ++k) {
    Refresh(m_compressorThreshold[k]);
    Refresh(m_compressorRatio[k]);
    Refresh(m_compressorAttack[k]);
    Refresh(m_compressorRelease[k]);
    Refresh(m_compressorSoftKnee[k]);
    Refresh(m_compressorBypass[k]);
    Refresh(m_compressorGraphs[k]);
    Refresh(m_compressorNames[k]);
  }
  Refresh(m_compressorLimiters);
  UpdateOutputLinkCaption(false);
  if (redraw) RedrawPanel();
}

// --- Captions ---

void CNerexSeriesBaseControlPanel::UpdateInputLinkCaption(bool redraw) { UpdateLinkCaption(true, redraw); }

void CNerexSeriesBaseControlPanel::UpdateOutputLinkCaption(bool redraw) { UpdateLinkCaption(false, redraw); }

void CNerexSeriesBaseControlPanel::UpdateLinkCaption(bool inputs, bool redraw) {
  CNerexSeriesDevice* device = GetNerexDevice();
  CTextControl* caption = inputs ? m_inputCaption : m_outputCaption;
  if (!device || !caption) return;
  std::string text;
  {
    CSingleLock lock(device->SettingsLock());
    const CNerexSeriesMemory& settings = device->GetCurrentSettings();
    text = inputs ? JoinLinkedNames(settings.inputs.names, settings.inputs.linkMasks[SelectedInput()],
                                    device->GetInputCount())
                  : JoinLinkedNames(settings.outputs.names, settings.outputs.linkMasks[SelectedOutput()],
                                    device->GetOutputCount());
  }
  caption->SetText(text);
  if (redraw) RedrawControl(caption);
}

// --- Band selection ---

void CNerexSeriesBaseControlPanel::RepaintControlNow(CControlObject* control) {
  if (control && m_collectRepaints) {
    if (std::find(m_pendingRepaints.begin(), m_pendingRepaints.end(), control) == m_pendingRepaints.end())
      m_pendingRepaints.push_back(control);
    return;
  }
  Graphics* g = GetBackBufferGraphics();
  if (!control || !g) return;
  const CRect r = control->GetRect();
  control->Draw(*g, r);
  repaint(r.left, r.top, r.Width(), r.Height());
}

void CNerexSeriesBaseControlPanel::ShowBandFrame(std::span<CControlObject* const> frames, int band,
                                                 bool redraw) {
  for (std::size_t j = 0; j < frames.size(); ++j) {
    CControlObject* frame = frames[j];
    if (!frame) continue;
    const bool visible = int(j) == band;
    if (frame->IsVisible() == visible) continue;
    frame->SetVisible(visible);
    if (redraw) RedrawControl(frame);
  }
}

void CNerexSeriesBaseControlPanel::SelectGeqBand(int band, int second) {
  (void)second;
  if (!IsOnPage(kNerexPageInputGeq) || !m_geqCurve) return;
  if (band >= 0 && band < int(m_geqCurve->m_sections.size())) m_geqCurve->MarkStale(band);
  m_geqCurve->m_selectedBand = band;
  RepaintControlNow(m_geqCurve);
}

void CNerexSeriesBaseControlPanel::RefreshGeqCurve(bool redraw) {
  if (!IsOnPage(kNerexPageInputGeq) || !m_geqCurve) return;
  for (std::size_t b = 0; b < m_geqCurve->m_sections.size() && b < std::size_t(kNerexGeqBands); ++b)
    m_geqCurve->m_sections[b]->stale = 1;
  Graphics* g = GetBackBufferGraphics();
  if (!g) return;
  const CRect r = m_geqCurve->GetRect();
  m_geqCurve->Draw(*g, r);
  if (redraw) repaint(r.left, r.top, r.Width(), r.Height());
}

void CNerexSeriesBaseControlPanel::SelectInputPeqBand(int band, bool redraw) {
  if (!IsOnPage(kNerexPageInputPeq)) return;
  ShowBandFrame(m_peqFrames, band, redraw);
  if (!m_peqCurve) return;
  if (band >= 0) m_peqCurve->MarkStale(band);
  m_peqCurve->m_selectedBand = band;
  if (redraw) RepaintControlNow(m_peqCurve);
}

void CNerexSeriesBaseControlPanel::SelectDeqBand(int band, bool redraw) {
  if (!IsOnPage(kNerexPageInputDeq)) return;
  ShowBandFrame(m_deqFrames, band, redraw);
  if (!m_deqGraph) return;
  std::vector<CDEQCurveData*>& bands = m_deqGraph->GetBands();
  if (band >= 0 && band < int(bands.size())) {
    bands[std::size_t(band)]->fullRangeStale = 1;
    bands[std::size_t(band)]->currentStale = 1;
  }
  m_deqGraph->SetSelectedBand(band);
  if (redraw) RepaintControlNow(m_deqGraph);
}

void CNerexSeriesBaseControlPanel::SelectOutputEqBand(int band, bool redraw) {
  if (!IsOnPage(kNerexPageOutputEq)) return;
  ShowBandFrame(m_outputPeqFrames, band, redraw);
  if (!m_outputEqCurve) return;
  if (band >= 0) m_outputEqCurve->MarkStale(band);
  m_outputEqCurve->m_selectedBand = band;
  RepaintControlNow(m_outputEqCurve);
}

// --- Display settings ---

void CNerexSeriesBaseControlPanel::ApplyGainNudge(bool redraw) {
  (void)redraw;
  const CNerexSeriesDevice* device = GetNerexDevice();
  if (!device) return;
  float step = 0.1f;
  switch (device->HostOptions().GetGainNudge()) {
    case 1: step = 0.5f; break;
    case 2: step = 1.0f; break;
    default: break;
  }
  for (CBitmapFader* fader : m_inputFaders)
    if (fader) fader->m_nudgeStep = step;
  for (CBitmapFader* fader : m_outputFaders)
    if (fader) fader->m_nudgeStep = step;
}

void CNerexSeriesBaseControlPanel::ApplyDelayDisplay(bool redraw) {
  const CNerexSeriesDevice* device = GetNerexDevice();
  if (!device) return;
  const std::uint32_t units = device->HostOptions().GetDelayUnits();
  const int multiplier = int(device->HostOptions().GetDelayMultiplier());
  auto apply = [&](CTextControl* readout) {
    if (!readout) return;
    readout->SetNudgeStep(multiplier);
    switch (units) {
      case 0: readout->SetDelayUnitMs(); break;
      case 1: readout->SetDelayUnitMetres(); break;
      case 2: readout->SetDelayUnitFeet(); break;
      default: break;
    }
    if (!redraw) return;
    readout->UpdateFromParameter(readout->GetOwnerCurrentValue());
    RedrawControl(readout);
  };
  if (HasDelaysAndRouting(device->GetModel()))
    for (CTextControl* readout : m_inputDelays) apply(readout);
  for (CTextControl* readout : m_outputDelays) apply(readout);
}

// --- Preset list ---

void CNerexSeriesBaseControlPanel::RefillPresetList() {
  CNerexSeriesDevice* device = GetNerexDevice();
  if (!device || !m_presetList) return;
  m_presetList->DeleteStringArray();
  std::vector<std::pair<std::string, int>> items;
  {
    CSingleLock lock(device->SettingsLock());
    const int active = device->GetGeneralSettings().GetCurrentPreset();
    const CNerexMemoryView presets = device->GetPresets();
    for (std::size_t m = 0; m < presets.size(); ++m) {
      const CNerexSeriesMemory* memory = presets[m];
      const int number = int(m) + 1;
      std::string text = std::to_string(number) + ". ";
      if (memory && memory->HoldsAnySection()) {
        text += memory->name;
        if (number == active) text += "*";
      } else {
        text += "--";
      }
      items.emplace_back(std::move(text), int(m));
    }
  }
  for (auto& [text, value] : items) m_presetList->AddItem(text, value);
  RedrawControl(m_presetList);
}
