// The processor's notification sweeps (CNerexNotifier). UI thread.
#include "core/model/ControlPanel.h"
#include "devices/processor/NerexChange.h"
#include "devices/processor/NerexChannelRules.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexNotifier.h"
#include "devices/processor/NerexPanel.h"
#include "devices/processor/NerexParamGroups.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "platform/Sync.h"

namespace {
bool PushesInputDelay(int model) { return IsNerexSmallModel(model) || model == kModelTorvex48; }
}  // namespace

void CNerexNotifier::PushParameter(int id) {
  CNerexChangeAccess::ApplyBaseChange(m_device, m_device.GetCurrentValue(id));
}

void CNerexNotifier::PushInputLinks(int i) {
  ForEachInputLinkId(i, [this](int id) { PushParameter(id); });
}

void CNerexNotifier::PushInputDelay(int i) {
  if (PushesInputDelay(m_device.GetModel())) PushParameter(kParamInputDelay + i);
}

void CNerexNotifier::PushInputPeq(int i) {
  ForEachInputPeqId(i, [this](int id) { PushParameter(id); });
}

void CNerexNotifier::PushInputGeq(int i) {
  PushParameter(kParamGeqBypass + i);
  PushParameter(kParamGeqMode + i);
  for (int b = 0; b < kNerexGeqBands; ++b) PushParameter(kParamGeqBand + kNerexGeqBands * i + b);
}

void CNerexNotifier::PushOutputLinks(int j) {
  ForEachOutputLinkId(j, [this](int id) { PushParameter(id); });
}

void CNerexNotifier::PushLimiter(int j) {
  ForEachLimiterId(j, [this](int id) { PushParameter(id); });
}

void CNerexNotifier::PushOutputEqAndFilters(int j) {
  ForEachOutputPeqId(j, [this](int id) { PushParameter(id); });
  ForEachCrossoverId(j, [this](int id) { PushParameter(id); });
}

void CNerexNotifier::NotifyAllParameters() {
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
  const bool compressors = m_device.GetModel() == kModelTorvex48;
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

  INerexSeriesPanel* panel = m_device.GetNerexPanel();
  if (!panel) return;
  panel->RefillPresetList();
  switch (m_device.PanelView().GetPanelPage()) {
    case kNerexPageInputGeq: panel->RefreshGeqCurve(true); break;
    case kNerexPageInputPeq: panel->RefreshPeqSection(true); break;
    case kNerexPageInputDeq: panel->RefreshDeqSection(true); break;
    case kNerexPageOutputEq: panel->RefreshOutputEqSection(true); break;
    case kNerexPageOutputComp: panel->RefreshOutputSection(true); break;
    case kNerexPageMixer: panel->SelectSideTab(m_device.PanelView().GetSideTab(), true); break;
    default: break;
  }
}

void CNerexNotifier::NotifyInputChannelParameters(int channel) {
  if (INerexSeriesPanel* panel = m_device.GetNerexPanel()) panel->DrawInputsSection(true);
  if (channel < 0 || channel >= kNerexMaxInputs) return;
  std::uint8_t group;
  {
    CSingleLock lock(m_device.SettingsLock());
    group = m_device.GetCurrentSettings().inputs.linkMasks[std::size_t(channel)];
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

void CNerexNotifier::NotifyOutputChannelParameters(int channel) {
  if (channel < 0 || channel >= kNerexMaxOutputs) return;
  std::uint8_t group;
  {
    CSingleLock lock(m_device.SettingsLock());
    group = m_device.GetCurrentSettings().outputs.linkMasks[std::size_t(channel)];
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
