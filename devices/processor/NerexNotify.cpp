// Parameter notification sweeps of the processor: after a bulk change every parameter a widget,
// a custom-panel control or a link may be bound to is pushed out again through the base change
// path. Nothing is sent to the device's own unit. UI thread.
#include "core/model/ControlPanel.h"
#include "devices/processor/NerexChannelRules.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexPanel.h"
#include "devices/processor/NerexParamGroups.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "platform/Sync.h"

namespace {
bool PushesInputDelay(int model) { return IsNerexSmallModel(model) || model == kModelTorvex48; }
}  // namespace

void CNerexSeriesDevice::PushParameter(int id) { CDevice::ApplyControlChange(GetCurrentValue(id)); }

void CNerexSeriesDevice::PushInputLinks(int i) {
  ForEachInputLinkId(i, [this](int id) { PushParameter(id); });
}

void CNerexSeriesDevice::PushInputDelay(int i) {
  if (PushesInputDelay(GetModel())) PushParameter(kParamInputDelay + i);
}

void CNerexSeriesDevice::PushInputPeq(int i) {
  ForEachInputPeqId(i, [this](int id) { PushParameter(id); });
}

void CNerexSeriesDevice::PushInputGeq(int i) {
  PushParameter(kParamGeqBypass + i);
  PushParameter(kParamGeqMode + i);
  for (int b = 0; b < kNerexGeqBands; ++b) PushParameter(kParamGeqBand + kNerexGeqBands * i + b);
}

void CNerexSeriesDevice::PushOutputLinks(int j) {
  ForEachOutputLinkId(j, [this](int id) { PushParameter(id); });
}

void CNerexSeriesDevice::PushLimiter(int j) {
  ForEachLimiterId(j, [this](int id) { PushParameter(id); });
}

void CNerexSeriesDevice::PushOutputEqAndFilters(int j) {
  ForEachOutputPeqId(j, [this](int id) { PushParameter(id); });
  ForEachCrossoverId(j, [this](int id) { PushParameter(id); });
}

void CNerexSeriesDevice::NotifyAllParameters() {
  for (int i = 0; i < kNerexMaxInputs; ++i) {
    PushParameter(kParamInputName + i);
    PushParameter(kParamInputGain + i);
    PushParameter(kParamInputMute + i);
    PushInputLinks(i);
    PushInputDelay(i);
    PushInputPeq(i);
    ForEachDeqId(i, [this](int id) { PushParameter(id); });
    PushParameter(kParamDynamicEqMode);
    PushParameter(kParamDynamicEqLinking);
    PushInputGeq(i);
  }
  PushParameter(kParamAutoLimiters);
  PushParameter(kParamCompressorLimiters);
  const bool compressors = GetModel() == kModelTorvex48;
  for (int j = 0; j < kNerexMaxOutputs; ++j) {
    PushParameter(kParamOutputName + j);
    PushParameter(kParamOutputGain + j);
    PushParameter(kParamOutputMute + j);
    PushParameter(kParamOutputPhase + j);
    PushOutputLinks(j);
    PushParameter(kParamOutputDelay + j);
    for (int k = 0; k < 4; ++k) {
      PushParameter(kParamMatrixGain + 4 * j + k);
      PushParameter(kParamMatrixRouting + 4 * j + k);
    }
    PushLimiter(j);
    if (compressors) {
      for (int first : {kParamCompressorThreshold, kParamCompressorRatio, kParamCompressorAttack,
                        kParamCompressorRelease, kParamCompressorBypass, kParamCompressorSoftKnee})
        PushParameter(first + j);
    }
    PushOutputEqAndFilters(j);
  }
  PushParameter(kParamDeviceName);

  INerexSeriesPanel* panel = GetNerexPanel();
  if (!panel) return;
  panel->RefillPresetList();
  switch (m_panelPage) {
    case kNerexPageInputGeq: panel->RefreshGeqCurve(true); break;
    case kNerexPageInputPeq: panel->RefreshPeqSection(true); break;
    case kNerexPageInputDeq: panel->RefreshDeqSection(true); break;
    case kNerexPageOutputEq: panel->RefreshOutputEqSection(true); break;
    case kNerexPageOutputComp: panel->RefreshOutputSection(true); break;
    case kNerexPageMixer: panel->SelectSideTab(m_sideTab, true); break;
    default: break;
  }
}

void CNerexSeriesDevice::NotifyInputChannelParameters(int channel) {
  if (INerexSeriesPanel* panel = GetNerexPanel()) panel->DrawInputsSection(true);
  if (channel < 0 || channel >= kNerexMaxInputs) return;
  std::uint8_t group;
  {
    CSingleLock lock(SettingsLock());
    group = m_current.inputs.linkMasks[std::size_t(channel)];
  }
  for (int i = 0; i < kNerexMaxInputs; ++i) {
    if (!(group & (1u << i))) continue;
    PushInputLinks(i);
    PushParameter(kParamInputGain + i);
    PushInputDelay(i);
    PushInputPeq(i);
    PushInputGeq(i);
  }
}

void CNerexSeriesDevice::NotifyOutputChannelParameters(int channel) {
  if (channel < 0 || channel >= kNerexMaxOutputs) return;
  std::uint8_t group;
  {
    CSingleLock lock(SettingsLock());
    group = m_current.outputs.linkMasks[std::size_t(channel)];
  }
  for (int j = 0; j < kNerexMaxOutputs; ++j) {
    if (!(group & (1u << j))) continue;
    PushOutputLinks(j);
    PushParameter(kParamOutputGain + j);
    PushParameter(kParamOutputDelay + j);
    PushLimiter(j);
    PushOutputEqAndFilters(j);
  }
}
