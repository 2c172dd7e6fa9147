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

void CNerexSeriesDevice::NotifyAllParameters() {
  const int model = GetModel();
  for (int i = 0; i < kNerexMaxInputs; ++i) {
    PushParameter(kParamInputName + i);
    PushParameter(kParamInputGain + i);
    PushParameter(kParamInputMute + i);
    for (int k = 0; k < 4; ++k) PushParameter(kParamInputLinkBit + 4 * i + k);
    if (PushesInputDelay(model)) PushParameter(kParamInputDelay + i);
    for (int b = 0; b < kNerexInputPeqBands; ++b) {
      const int n = kNerexInputPeqBands * i + b;
      PushParameter(kParamInputPeqFrequency + n);
      PushParameter(kParamInputPeqQ + n);
      PushParameter(kParamInputPeqGain + n);
      PushParameter(kParamInputPeqType + n);
      PushParameter(kParamInputPeqBypass + n);
    }
    for (int k = 0; k < kNerexDeqBandsPerInput; ++k) {
      const int d = kNerexDeqBandsPerInput * i + k;
      for (int first : {kParamDeqThreshold, kParamDeqRatio, kParamDeqAttack, kParamDeqRelease, kParamDeqMode,
                        kParamDeqBypass, kParamDeqFrequency, kParamDeqEffect, kParamDeqQ})
        PushParameter(first + d);
    }
    PushParameter(kParamDynamicEqMode);
    PushParameter(kParamDynamicEqLinking);
    PushParameter(kParamGeqBypass + i);
    PushParameter(kParamGeqMode + i);
    for (int b = 0; b < kNerexGeqBands; ++b) PushParameter(kParamGeqBand + kNerexGeqBands * i + b);
  }
  PushParameter(kParamAutoLimiters);
  PushParameter(kParamCompressorLimiters);
  for (int j = 0; j < kNerexMaxOutputs; ++j) {
    PushParameter(kParamOutputName + j);
    PushParameter(kParamOutputGain + j);
    PushParameter(kParamOutputMute + j);
    PushParameter(kParamOutputPhase + j);
    for (int k = 0; k < 8; ++k) PushParameter(kParamOutputLinkBit + 8 * j + k);
    PushParameter(kParamOutputDelay + j);
    for (int k = 0; k < 4; ++k) {
      PushParameter(kParamMatrixGain + 4 * j + k);
      PushParameter(kParamMatrixRouting + 4 * j + k);
    }
    PushParameter(kParamLimiterLevel + j);
    PushParameter(kParamLimiterClipLevel + j);
    PushParameter(kParamLimiterAttack + j);
    PushParameter(kParamLimiterRelease + j);
    PushParameter(kParamLimiterClipRelease + j);
    if (model == kModelTorvex48) {
      PushParameter(kParamCompressorThreshold + j);
      PushParameter(kParamCompressorRatio + j);
      PushParameter(kParamCompressorAttack + j);
      PushParameter(kParamCompressorRelease + j);
      PushParameter(kParamCompressorBypass + j);
      PushParameter(kParamCompressorSoftKnee + j);
    }
    for (int b = 0; b < kNerexOutputPeqBands; ++b) {
      const int n = kNerexOutputPeqBands * j + b;
      PushParameter(kParamOutputPeqFrequency + n);
      PushParameter(kParamOutputPeqQ + n);
      PushParameter(kParamOutputPeqGain + n);
      PushParameter(kParamOutputPeqType + n);
      PushParameter(kParamOutputPeqBypass + n);
    }
    PushParameter(kParamHighPassFrequency + j);
    PushParameter(kParamLowPassFrequency + j);
    PushParameter(kParamHighPassType + j);
    PushParameter(kParamLowPassType + j);
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
    for (int k = 0; k < 4; ++k) PushParameter(kParamInputLinkBit + 4 * i + k);
    PushParameter(kParamInputGain + i);
    if (PushesInputDelay(GetModel())) PushParameter(kParamInputDelay + i);
    for (int b = 0; b < kNerexInputPeqBands; ++b) {
      const int n = kNerexInputPeqBands * i + b;
      PushParameter(kParamInputPeqFrequency + n);
      PushParameter(kParamInputPeqQ + n);
      PushParameter(kParamInputPeqGain + n);
      PushParameter(kParamInputPeqType + n);
      PushParameter(kParamInputPeqBypass + n);
    }
    PushParameter(kParamGeqBypass + i);
    PushParameter(kParamGeqMode + i);
    for (int b = 0; b < kNerexGeqBands; ++b) PushParameter(kParamGeqBand + kNerexGeqBands * i + b);
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
    for (int k = 0; k < 8; ++k) PushParameter(kParamOutputLinkBit + 8 * j + k);
    PushParameter(kParamOutputGain + j);
    PushParameter(kParamOutputDelay + j);
    PushParameter(kParamLimiterLevel + j);
    PushParameter(kParamLimiterClipLevel + j);
    PushParameter(kParamLimiterAttack + j);
    PushParameter(kParamLimiterRelease + j);
    PushParameter(kParamLimiterClipRelease + j);
    for (int b = 0; b < kNerexOutputPeqBands; ++b) {
      const int n = kNerexOutputPeqBands * j + b;
      PushParameter(kParamOutputPeqFrequency + n);
      PushParameter(kParamOutputPeqQ + n);
      PushParameter(kParamOutputPeqGain + n);
      PushParameter(kParamOutputPeqType + n);
      PushParameter(kParamOutputPeqBypass + n);
    }
    PushParameter(kParamHighPassFrequency + j);
    PushParameter(kParamLowPassFrequency + j);
    PushParameter(kParamHighPassType + j);
    PushParameter(kParamLowPassType + j);
  }
}
