// Parameter notification sweeps of the processor: after a bulk change every parameter a widget,
// a custom-panel control or a link may be bound to is pushed out again through the base change
// path. Nothing is sent to the device's own unit. UI thread.
#include "core/ControlPanel.h"
#include "devices/processor/NerexChannelRules.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexPanel.h"
#include "devices/processor/NerexParamIds.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "platform/Sync.h"

namespace {
bool PushesInputDelay(int model) { return IsNerexSmallModel(model) || model == kModelTorvex48; }
}  // namespace

void CNerexSeriesDevice::PushParameter(int id) { CDevice::ApplyControlChange(GetCurrentValue(id)); }

void CNerexSeriesDevice::PushInputLinks(int i) {
  for (int k = 0; k < 4; ++k) PushParameter(kParamInputLinkBit + 4 * i + k);
}

void CNerexSeriesDevice::PushInputDelay(int i) {
  if (PushesInputDelay(GetModel())) PushParameter(kParamInputDelay + i);
}

void CNerexSeriesDevice::PushInputPeq(int i) {
  for (int b = 0; b < kNerexInputPeqBands; ++b) {
    const int n = kNerexInputPeqBands * i + b;
    for (int first : {kParamInputPeqFrequency, kParamInputPeqQ, kParamInputPeqGain, kParamInputPeqType,
                      kParamInputPeqBypass})
      PushParameter(first + n);
  }
}

void CNerexSeriesDevice::PushInputGeq(int i) {
  PushParameter(kParamGeqBypass + i);
  PushParameter(kParamGeqMode + i);
  for (int b = 0; b < kNerexGeqBands; ++b) PushParameter(kParamGeqBand + kNerexGeqBands * i + b);
}

void CNerexSeriesDevice::PushOutputLinks(int j) {
  for (int k = 0; k < 8; ++k) PushParameter(kParamOutputLinkBit + 8 * j + k);
}

void CNerexSeriesDevice::PushLimiter(int j) {
  for (int first : {kParamLimiterLevel, kParamLimiterClipLevel, kParamLimiterAttack, kParamLimiterRelease,
                    kParamLimiterClipRelease})
    PushParameter(first + j);
}

void CNerexSeriesDevice::PushOutputEqAndFilters(int j) {
  for (int b = 0; b < kNerexOutputPeqBands; ++b) {
    const int n = kNerexOutputPeqBands * j + b;
    for (int first : {kParamOutputPeqFrequency, kParamOutputPeqQ, kParamOutputPeqGain, kParamOutputPeqType,
                      kParamOutputPeqBypass})
      PushParameter(first + n);
  }
  for (int first : {kParamHighPassFrequency, kParamLowPassFrequency, kParamHighPassType, kParamLowPassType})
    PushParameter(first + j);
}

void CNerexSeriesDevice::NotifyAllParameters() {
  for (int i = 0; i < kNerexMaxInputs; ++i) {
    PushParameter(kParamInputName + i);
    PushParameter(kParamInputGain + i);
    PushParameter(kParamInputMute + i);
    PushInputLinks(i);
    PushInputDelay(i);
    PushInputPeq(i);
    for (int k = 0; k < kNerexDeqBandsPerInput; ++k) {
      const int d = kNerexDeqBandsPerInput * i + k;
      for (int first : {kParamDeqThreshold, kParamDeqRatio, kParamDeqAttack, kParamDeqRelease, kParamDeqMode,
                        kParamDeqBypass, kParamDeqFrequency, kParamDeqEffect, kParamDeqQ})
        PushParameter(first + d);
    }
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
