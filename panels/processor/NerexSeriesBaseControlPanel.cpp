// The processor panel base: pages and side tabs, the current user's rights, the level-meter
// timer, the mouse hooks of the equaliser curves and the LCD text.
#include "panels/processor/NerexSeriesBaseControlPanel.h"

#include <QPointer>
#include <QRegion>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/draw/BitmapImage.h"
#include "core/model/DeviceHost.h"
#include "core/model/User.h"
#include "devices/processor/NerexMessages.h"
#include "devices/processor/NerexParamIds.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "panels/framework/BitmapMeter.h"
#include "panels/framework/BitmapObject.h"
#include "panels/framework/BmpButton.h"
#include "panels/processor/CompressorMeter.h"
#include "panels/framework/CustomComboBox.h"
#include "panels/processor/NerexSeriesLayout.h"
#include "panels/processor/NerexSeriesParametricControl.h"
#include "panels/framework/PanelLayoutRect.h"
#include "panels/framework/TextControl.h"
#include "panels/processor/TorvexSeriesDEQControl.h"
#include "platform/MouseMessages.h"
#include "platform/Sync.h"
#include "panels/processor/NerexPresetUi.h"
#include "platform/TextFormat.h"
#include "resources/ProcessorPanelLayout.h"

namespace {

QRect ToQRect(const CRect& r) { return QRect(r.left, r.top, r.Width(), r.Height()); }

// A meter reading in whole dB, truncated toward zero.
int WholeDb(float reading) { return int(std::trunc(reading)); }

}  // namespace

CNerexSeriesBaseControlPanel::CNerexSeriesBaseControlPanel() = default;

CNerexSeriesBaseControlPanel::~CNerexSeriesBaseControlPanel() {
  // The meter timer ends with the window; the groups only point into the widget list.
  RemoveAllToolTips();
  KillTimer(kMeterTimerId);
  m_meterTimerId = 0;
  for (ControlGroup& group : m_groups) group.clear();
}

CNerexSeriesDevice* CNerexSeriesBaseControlPanel::GetNerexDevice() const {
  return dynamic_cast<CNerexSeriesDevice*>(GetDevice());
}

int CNerexSeriesBaseControlPanel::GetInputCount() const {
  const CNerexSeriesDevice* device = GetNerexDevice();
  return device ? device->GetInputCount() : 0;
}

int CNerexSeriesBaseControlPanel::GetOutputCount() const {
  const CNerexSeriesDevice* device = GetNerexDevice();
  return device ? device->GetOutputCount() : 0;
}

bool CNerexSeriesBaseControlPanel::UserMayRecallPresets() const {
  return (GetUserRestrictions() & kRestrictRecallPresets) == 0;
}

bool CNerexSeriesBaseControlPanel::UserMayEditDeviceProperties() const {
  return (GetUserRestrictions() & kRestrictEditDeviceProperties) == 0;
}

std::uint64_t CNerexSeriesBaseControlPanel::GetNeededRights(const CControlObject& control) const {
  // A widget that takes no input needs nothing, whatever its id; the device names what a change
  // of the others needs: nothing for the ids that only move the panel or that it takes no
  // action on, so their pictures are never shaded.
  const CDevice* device = GetDevice();
  if (control.GetNeededRights() == 0 || !device) return control.GetNeededRights();
  return device->Gate().RightsNeededFor(control.GetId());
}

// --- Groups and drawing helpers ---

void CNerexSeriesBaseControlPanel::SetGroupVisible(int group, bool visible) {
  if (group < 0 || group >= kPanelGroupCount) return;
  for (CControlObject* control : m_groups[std::size_t(group)]) control->SetVisible(visible);
}

void CNerexSeriesBaseControlPanel::AddToGroup(int group, CControlObject* control) {
  if (group < 0 || group >= kPanelGroupCount || !control) return;
  m_groups[std::size_t(group)].push_back(control);
}

void CNerexSeriesBaseControlPanel::PlacePageTabs(std::span<const processor_layout::Button> places, int rowTop,
                                                 bool compact) {
  for (CBmpButton* tab : m_pageTabs) {
    if (!tab) continue;
    const auto place = std::find_if(places.begin(), places.end(),
                                    [tab](const processor_layout::Button& p) { return p.id == tab->GetId(); });
    if (place == places.end()) {
      tab->SetVisible(false);
      continue;
    }
    tab->SetRect(ToRect(compact ? processor_layout::CompactTab(place->box, rowTop) : place->box));
  }
}

void CNerexSeriesBaseControlPanel::RedrawPanel() {
  if (const CBitmapImage* background = GetBackgroundImage(); background && background->GetImage()) {
    const CRect whole{0, 0, background->GetWidth(), background->GetHeight()};
    RedrawRect(&whole, true, true);
  } else {
    RedrawRect(nullptr, true, true);
  }
}

void CNerexSeriesBaseControlPanel::RedrawControl(const CControlObject* control) {
  if (!control) return;
  const CRect r = control->GetRect();
  RedrawRect(&r, true, true);
}

void CNerexSeriesBaseControlPanel::BindAndRefresh(CControlObject* control, int id) {
  if (!control) return;
  control->SetId(id);
  Refresh(control);
}

void CNerexSeriesBaseControlPanel::Refresh(CControlObject* control) {
  if (!control) return;
  const int id = control->GetId();
  control->SetParameterDisabled(IsParameterDisabled(id));
  control->UpdateFromParameter(GetCurrentValue(id));
}

// --- Rights ---

void CNerexSeriesBaseControlPanel::ApplyPermissions(bool redraw) {
  const bool mayEdit = UserMayEditDeviceProperties();
  if (m_deviceName) m_deviceName->SetEditable(mayEdit);
  for (CTextControl* name : m_inputNames)
    if (name) name->SetEditable(mayEdit);
  for (CTextControl* name : m_outputNames)
    if (name) name->SetEditable(mayEdit);

  const CNerexSeriesDevice* device = GetNerexDevice();
  if (m_presetManagerButton && device && device->PanelView().GetPanelPage() == kNerexPageMixer)
    m_presetManagerButton->SetVisible(UserMayRecallPresets());
  if (redraw) RedrawPanel();
}

// --- Pages and side tabs ---

void CNerexSeriesBaseControlPanel::ShowPage(std::uint32_t page) {
  SetupToolTips();
  const bool mayRecall = UserMayRecallPresets();
  auto hide = [this](std::initializer_list<int> groups) {
    for (int group : groups) SetGroupVisible(group, false);
  };
  switch (page) {
    case kNerexPageMixer:
      SetGroupVisible(kPanelGroupCompact, false);
      EnableAllControls(true);
      hide({kPanelGroupInputGeq, kPanelGroupInputPeq, kPanelGroupInputDeq, kPanelGroupOutputEq,
            kPanelGroupOutputComp});
      ShowPageControls(false);
      break;
    case kNerexPageInputGeq:
      EnableAllControls(false);
      hide({kPanelGroupInputPeq, kPanelGroupInputDeq});
      SetGroupVisible(kPanelGroupInputGeq, true);
      hide({kPanelGroupOutputEq, kPanelGroupOutputComp});
      ShowPageControls(false);
      RefreshPeqSection(false);
      SetGroupVisible(kPanelGroupCompact, false);
      break;
    case kNerexPageInputPeq:
      EnableAllControls(false);
      hide({kPanelGroupInputGeq, kPanelGroupInputDeq});
      SetGroupVisible(kPanelGroupInputPeq, true);
      hide({kPanelGroupOutputEq, kPanelGroupOutputComp});
      ShowPageControls(false);
      SetGroupVisible(kPanelGroupCompact, false);
      RefreshPeqSection(false);
      break;
    case kNerexPageInputDeq:
      EnableAllControls(false);
      hide({kPanelGroupInputGeq, kPanelGroupInputPeq});
      SetGroupVisible(kPanelGroupInputDeq, true);
      hide({kPanelGroupOutputEq, kPanelGroupOutputComp});
      ShowPageControls(false);
      SetGroupVisible(kPanelGroupCompact, false);
      RefreshDeqSection(false);
      break;
    case kNerexPageOutputEq:
      EnableAllControls(false);
      hide({kPanelGroupInputGeq, kPanelGroupInputPeq, kPanelGroupInputDeq});
      SetGroupVisible(kPanelGroupOutputEq, true);
      SetGroupVisible(kPanelGroupOutputComp, false);
      ShowPageControls(false);
      RefreshOutputEqSection(false);
      SetGroupVisible(kPanelGroupCompact, false);
      break;
    case kNerexPageOutputComp:
      EnableAllControls(false);
      hide({kPanelGroupInputGeq, kPanelGroupInputPeq, kPanelGroupInputDeq, kPanelGroupOutputEq});
      SetGroupVisible(kPanelGroupOutputComp, true);
      ShowPageControls(false);
      RefreshOutputSection(false);
      SetGroupVisible(kPanelGroupCompact, false);
      break;
    case kNerexPageCompact:
      EnableAllControls(false);
      ShowPageControls(false);
      hide({kPanelGroupInputGeq, kPanelGroupInputPeq, kPanelGroupInputDeq, kPanelGroupOutputEq,
            kPanelGroupOutputComp});
      SetGroupVisible(kPanelGroupCompact, true);
      // The group holds the meters of every channel a panel can have: those the model lacks
      // stay hidden, as on the Mixer page.
      for (std::size_t i = std::size_t(std::max(GetInputCount(), 0)); i < m_inputMeters.size(); ++i)
        if (m_inputMeters[i]) m_inputMeters[i]->SetVisible(false);
      for (std::size_t k = std::size_t(std::max(GetOutputCount(), 0)); k < m_outputMeters.size(); ++k)
        if (m_outputMeters[k]) m_outputMeters[k]->SetVisible(false);
      for (CBmpButton* button : m_presetButtons)
        if (button) button->SetVisible(mayRecall);
      if (CNerexSeriesDevice* device = GetNerexDevice()) SetLcdText(device->GetSelectedPresetLabel(kSectionAll), false);
      break;
    default:
      break;
  }
  RedrawPanel();
  ShowLatestMeterReadings();
}

void CNerexSeriesBaseControlPanel::ShowLatestMeterReadings() {
  // The meters of the page (or channel) that appears show the readings at once: a reading that
  // has not changed since another page was shown asks for no redraw of its own.
  RequestMeterUpdate();
  OnTimer(kMeterTimerId);
}

void CNerexSeriesBaseControlPanel::ShowPageControls(bool redraw) {
  CNerexSeriesDevice* device = GetNerexDevice();
  if (!device) return;
  const std::uint32_t page = device->PanelView().GetPanelPage();
  const int inputs = device->GetInputCount();
  const int outputs = device->GetOutputCount();
  int shown = -1;  // -1: the buttons keep their visibility
  std::uint8_t lit = 0;
  {
    CSingleLock lock(device->SettingsLock());
    const CNerexSeriesMemory& settings = device->GetCurrentSettings();
    switch (page) {
      case kNerexPageMixer:
      case kNerexPageOutputComp:
      case kNerexPageCompact: shown = 0; break;
      case kNerexPageInputGeq:
      case kNerexPageInputPeq:
      case kNerexPageInputDeq:
        shown = inputs;
        lit = settings.inputs.linkMasks[std::size_t(std::min<std::uint32_t>(device->PanelView().GetSelectedInput(), 3))];
        break;
      case kNerexPageOutputRow: shown = outputs; break;
      case kNerexPageOutputEq:
        shown = outputs;
        lit = settings.outputs.linkMasks[std::size_t(std::min<std::uint32_t>(device->PanelView().GetSelectedOutput(), 7))];
        break;
      default: break;
    }
  }
  if (shown >= 0) {
    for (int j = 0; j < 8; ++j)
      if (CBmpButton* button = m_channelSelect[std::size_t(j)]) button->SetVisible(j < shown);
  }
  switch (page) {
    case kNerexPageInputGeq: RefreshGeqSection(redraw); break;
    case kNerexPageInputPeq: RefreshPeqSection(redraw); break;
    case kNerexPageInputDeq: RefreshDeqSection(redraw); break;
    case kNerexPageOutputEq: RefreshOutputEqSection(redraw); break;
    case kNerexPageOutputComp: RefreshOutputSection(redraw); break;
    default: break;
  }
  CRect area{};
  for (int j = 0; j < 8; ++j) {
    if (CBmpButton* button = m_channelSelect[std::size_t(j)]) {
      button->SetLit(((lit >> j) & 1u) != 0);
      area = UnionRect(area, button->GetRect());
    }
  }
  if (redraw && !IsRectEmpty(area)) RedrawRect(&area, true, true);
  if (redraw) ShowLatestMeterReadings();  // another channel's meters on the Dynamic EQ page
}

void CNerexSeriesBaseControlPanel::SelectSideTab(std::uint32_t tab, bool redraw) {
  // The view shown first, then the other two hidden: a widget that stands in two views shows
  // only with the view that holds it alone.
  int shown = -1;
  switch (tab) {
    case kNerexSideTabSource: shown = kPanelGroupSource; break;
    case kNerexSideTabLimiters: shown = kPanelGroupLimiters; break;
    case kNerexSideTabLinking: shown = kPanelGroupLinking; break;
    default: break;
  }
  if (shown >= 0) SetGroupVisible(shown, true);
  for (int group : {kPanelGroupSource, kPanelGroupLimiters, kPanelGroupLinking})
    if (group != shown) SetGroupVisible(group, false);
  if (redraw) RedrawControl(m_sideViewFrame);
}

void CNerexSeriesBaseControlPanel::EnableAllControls(bool enable) {
  SetGroupVisible(kPanelGroupMixer, enable);
  const CNerexSeriesDevice* device = GetNerexDevice();
  SelectSideTab(enable && device ? device->PanelView().GetSideTab() : 0, false);
}

// --- LCD ---

void CNerexSeriesBaseControlPanel::SetLcdText(const std::string& text, bool invalidate) {
  if (!m_lcdText) return;
  m_lcdText->SetText(text);
  const CRect r = m_lcdText->GetRect();
  RedrawRect(&r, invalidate, true);
}

// --- Presets ---

int CNerexSeriesBaseControlPanel::GetPresetSelection() const {
  return m_presetList ? m_presetList->GetCurSel() : -1;
}

void CNerexSeriesBaseControlPanel::OpenPresetManager() {
  if (CNerexSeriesDevice* device = GetNerexDevice()) NerexPresetUi::OpenPresetManager(this, *device);
}

bool CNerexSeriesBaseControlPanel::AskPresetName(const std::string& caption, std::string& name) {
  return NerexPresetUi::AskPresetName(this, caption, name);
}

void CNerexSeriesBaseControlPanel::HandUserChange(const CParamValue& value) {
  CNerexSeriesDevice* device = GetNerexDevice();
  if (!device) return;
  if (IsPresetActionId(value.id)) {
    HandPresetAction(*device, *this, value.id);
    return;
  }
  if (!ConfirmAndApplyUserChange(*device, value)) UpdateBitMaskButtons(true);
}

// --- Tooltips ---

void CNerexSeriesBaseControlPanel::EnableToolTips() {
  if (m_toolTipsEnabled) return;
  m_toolTipsEnabled = true;
  SetupToolTips();
}

void CNerexSeriesBaseControlPanel::SetupToolTips() {
  if (!m_toolTipsEnabled) return;
  RemoveAllToolTips();
  if (!IsOnPage(kNerexPageInputGeq)) return;
  for (std::size_t b = 0; b < m_geqFaders.size(); ++b)
    if (const CControlObject* fader = m_geqFaders[b]) AddToolTip(int(b) + 1, fader->GetRect());
}

std::string CNerexSeriesBaseControlPanel::GetToolTipText(int toolId) {
  CNerexSeriesDevice* device = GetNerexDevice();
  if (!device || toolId < 1 || toolId > int(m_geqFaders.size()) || !IsOnPage(kNerexPageInputGeq)) return {};
  std::int16_t gain = 0;
  {
    CSingleLock lock(device->SettingsLock());
    gain = device->GetCurrentSettings().geq.bands[SelectedInput()][std::size_t(toolId - 1)];
  }
  return FormatText("%.1fdB", double(gain) / 10.0);
}

// --- Building the widget tree ---

CRect CNerexSeriesBaseControlPanel::SizedAt(int x, int y, const CBitmapImage* image) {
  const int w = image ? image->GetWidth() : 0;
  const int h = image ? image->GetHeight() : 0;
  return CRect{x, y, x + w, y + h};
}

CTextControl* CNerexSeriesBaseControlPanel::AddText(int id, bool editable, const char* face, float points,
                                                    std::uint32_t colour, std::uint32_t flags, const CRect& rect,
                                                    std::initializer_list<int> groups) {
  return Add(new CTextControl(this, id, editable, face, points, colour, flags, rect), groups);
}

CBitmapObject* CNerexSeriesBaseControlPanel::AddPicture(int id, CBitmapImage* image, int x, int y,
                                                        std::initializer_list<int> groups) {
  return Add(new CBitmapObject(this, id, image, SizedAt(x, y, image)), groups);
}

CBmpButton* CNerexSeriesBaseControlPanel::AddButton(int id, CBitmapImage* image, const CRect& rect,
                                                    std::uint32_t flags, std::initializer_list<int> groups) {
  return Add(new CBmpButton(this, id, image, rect, flags), groups);
}

CBmpButton* CNerexSeriesBaseControlPanel::AddButton(int id, CBitmapImage* image, int x, int y, std::uint32_t flags,
                                                    std::initializer_list<int> groups) {
  return AddButton(id, image, SizedAt(x, y, image), flags, groups);
}

void CNerexSeriesBaseControlPanel::KeepInputPeqRow(int band, const BandRow& row) {
  const auto b = std::size_t(band);
  m_peqFrames[b] = row.frame;
  m_peqFrequency[b] = row.frequency;
  m_peqQ[b] = row.q;
  m_peqGain[b] = row.gain;
  m_peqType[b] = row.type;
  m_peqBypass[b] = row.bypass;
}

void CNerexSeriesBaseControlPanel::KeepOutputEqRow(int band, const BandRow& row) {
  const auto b = std::size_t(band);
  m_outputPeqFrames[b] = row.frame;
  m_outputPeqFrequency[b] = row.frequency;
  m_outputPeqQ[b] = row.q;
  m_outputPeqGain[b] = row.gain;
  m_outputPeqType[b] = row.type;
  m_outputPeqBypass[b] = row.bypass;
}

void CNerexSeriesBaseControlPanel::AddItems(CCustomComboBox* combo, std::span<const nerex_layout::ComboItem> items) {
  for (const nerex_layout::ComboItem& item : items) combo->AddItem(item.text, item.value);
}

// --- Mouse ---

CControlObject* CNerexSeriesBaseControlPanel::SetActiveObject(CControlObject* control) {
  CControlObject* previous = CControlPanelWnd::SetActiveObject(control);
  if (!control) return previous;

  auto rowOf = [control](const auto&... rows) {
    int found = -1;
    auto look = [&](const auto& row) {
      for (std::size_t b = 0; b < row.size() && found < 0; ++b)
        if (row[b] && static_cast<const CControlObject*>(row[b]) == control) found = int(b);
    };
    (look(rows), ...);
    return found;
  };

  CNerexSeriesParametricControl* curve = nullptr;
  int band = -1;
  if (m_outputEqCurve && m_outputEqCurve->IsVisible()) {
    curve = m_outputEqCurve;
    band = rowOf(m_outputPeqFrequency, m_outputPeqQ, m_outputPeqGain, m_outputPeqType);
    if (band < 0 && control == m_highPassFrequency) band = 9;
    if (band < 0 && control == m_lowPassFrequency) band = 10;
  } else if (m_peqCurve && m_peqCurve->IsVisible()) {
    curve = m_peqCurve;
    band = rowOf(m_peqFrequency, m_peqQ, m_peqGain, m_peqType);
  }
  if (!curve) return previous;
  if (band >= 0) curve->MarkStale(band);
  curve->m_selectedBand = band;
  RedrawControl(curve);
  return previous;
}

void CNerexSeriesBaseControlPanel::DispatchMouseMessage(std::uint32_t message, std::uint32_t flags, int x, int y) {
  // A command of the context menu may close the panel.
  const QPointer<QWidget> alive(this);
  // A drag step may change several values of a curve (a band's gain and frequency): the curve
  // is drawn once, after the last of them.
  m_collectRepaints = message == WM_MOUSEMOVE;
  CControlPanelWnd::DispatchMouseMessage(message, flags, x, y);
  if (!alive) return;
  m_collectRepaints = false;
  std::vector<CControlObject*> pending;
  pending.swap(m_pendingRepaints);
  for (CControlObject* control : pending) RepaintControlNow(control);
  const CPoint point{x, y};
  if (m_peqCurve && m_peqCurve->IsVisible()) {
    if (!m_peqCurve->GetRect().Contains(point)) m_peqCurve->m_dragging = false;
  } else if (m_outputEqCurve && m_outputEqCurve->IsVisible()) {
    if (!m_outputEqCurve->GetRect().Contains(point)) m_outputEqCurve->m_dragging = false;
  }
}

// --- Meters ---

void CNerexSeriesBaseControlPanel::RequestMeterUpdate() { m_meterUpdateRequested = true; }

void CNerexSeriesBaseControlPanel::OnTimer(std::uint32_t id) {
  if (id != kMeterTimerId || !m_meterUpdateRequested) return;
  CNerexSeriesDevice* device = GetNerexDevice();
  Graphics* g = GetBackBufferGraphics();
  if (!device || !g) return;

  QRegion dirty;
  auto invalidate = [&dirty](const CRect& r) {
    if (!IsRectEmpty(r)) dirty += ToQRect(r);
  };
  // A level meter takes a new whole-dB level; only a change is drawn, and a hidden meter (a
  // strip the model lacks) keeps its level for when it shows.
  auto showLevel = [&](CBitmapMeter* meter, int level) {
    if (!meter || level == meter->GetLevel()) return;
    meter->SetLevel(level);
    if (!meter->IsVisible()) return;
    CRect out{};
    meter->DrawLevel(out, *g, false);
    invalidate(out);
  };

  switch (device->PanelView().GetPanelPage()) {
    case kNerexPageMixer:
    case kNerexPageCompact:  // shows the same channel meters
      for (int i = 0; i < kNerexMaxInputs; ++i)
        showLevel(m_inputMeters[std::size_t(i)], std::max(WholeDb(device->Meters().GetInputMeter(i)), kMeterLowestDb));
      for (int k = 0; k < kNerexMaxOutputs; ++k)
        showLevel(m_outputMeters[std::size_t(k)], std::max(WholeDb(device->Meters().GetOutputMeter(k)), kMeterLowestDb));
      break;
    case kNerexPageInputDeq: {
      const int s = int(std::min<std::uint32_t>(device->PanelView().GetSelectedInput(), kNerexMaxInputs - 1));
      for (int b = 0; b < kNerexDeqBandsPerInput; ++b) {
        const int level = WholeDb(device->Meters().GetDeqMeter(s, b));
        if (CCompressorMeter* graph = m_deqBandGraphs[std::size_t(b)]) {
          graph->m_level = std::clamp(level, graph->m_minimum, graph->m_maximum);
          CRect out{};
          if (graph->IsVisible()) graph->DrawLevel(out, *g, false);
          invalidate(out);
        }
        if (m_deqGraph) m_deqGraph->SetBandLevel(b, level);
      }
      if (m_deqGraph && m_deqGraph->IsVisible()) {
        CRect out{};
        m_deqGraph->DrawDynamicFills(out, *g, true);
        invalidate(out);
      }
      break;
    }
    case kNerexPageOutputComp:
      for (int k = 0; k < kNerexMaxOutputs; ++k) {
        const int level = std::max(WholeDb(device->Meters().GetCompressorMeter(k)), kMeterLowestDb);
        CCompressorMeter* graph = m_compressorGraphs[std::size_t(k)];
        if (graph && level == graph->m_level) continue;
        if (CBitmapMeter* meter = m_gainReductionMeters[std::size_t(k)]) {
          meter->SetLevel(WholeDb(CalcCompressorCurveLevel(*device, k)));
          CRect out{};
          if (meter->IsVisible()) meter->DrawLevel(out, *g, false);
          invalidate(out);
        }
        if (graph) {
          graph->m_level = std::clamp(level, graph->m_minimum, graph->m_maximum);
          CRect out{};
          if (graph->IsVisible()) graph->DrawLevel(out, *g, false);
          invalidate(out);
        }
      }
      break;
    default: break;
  }
  if (!dirty.isEmpty()) repaint(dirty);
  m_meterUpdateRequested = false;
}
