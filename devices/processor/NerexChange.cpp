// Applying a control change to a processor: the common frame of every change (the guard
// against a change re-entering itself and the exit that marks the file modified), and the
// writes of the channel settings: gains, trims, mutes, polarity, delays, limiters, matrix
// gains, names, channel links, the mixing mode and the ids that only move the panel.
//
// A channel write follows one pattern: the value is converted to the unit's code and clamped;
// a locked channel keeps its setting: its widgets are refreshed with the stored value while
// the parameter links receive the requested one; otherwise the code is stored in every channel of the link group and one frame for the link
// master is queued; then every channel of the group is re-notified. UI thread.
#include "devices/processor/NerexChange.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <span>

#include "core/file/TextConversion.h"
#include "core/model/Confirm.h"
#include "core/model/NameRules.h"
#include "core/protocol/ControlMessage.h"
#include "core/model/DeviceHost.h"
#include "core/support/SystemMessages.h"
#include "core/support/ScopeGuard.h"
#include "core/values/ValueCodes.h"
#include "devices/processor/NerexChannelRules.h"
#include "devices/processor/NerexMessages.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexPanel.h"
#include "devices/processor/NerexParamIds.h"
#include "devices/processor/NerexPresets.h"
#include "devices/processor/NerexRules.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "devices/processor/NerexValueRanges.h"
#include "platform/Sync.h"
#include "platform/TextFormat.h"
#include "platform/WindowMessages.h"

namespace {

// Torvex48 matrix attenuation codes: 150 is 0 dB, 551 is off.
constexpr int kMatrixUnity = 150;
constexpr int kMatrixOff = 551;

bool Bit(unsigned mask, int bit) { return (mask >> bit) & 1u; }

unsigned Group(std::uint8_t mask, int channel, int count) {
  const unsigned limit = count >= 8 ? 0xFFu : (1u << std::max(count, 0)) - 1u;
  return (mask & limit) | (1u << channel);
}

std::int16_t ToInt16(int v) {
  return std::int16_t(std::clamp(v, int(std::numeric_limits<std::int16_t>::min()),
                                 int(std::numeric_limits<std::int16_t>::max())));
}

std::vector<std::uint8_t> Int16Bytes(std::uint8_t channel, int value) {
  const auto v = std::uint16_t(ToInt16(value));
  return {channel, std::uint8_t(v & 0xFF), std::uint8_t(v >> 8)};
}

bool OutputLocked(const CNerexSeriesDevice& d, int lockByte, int output) {
  CSingleLock lock(d.SettingsLock());
  return Bit(d.GetCurrentSettings().outputs.channelGroups[std::size_t(lockByte)], output);
}

// --- Gains ---

void InputGain(CNerexSeriesDevice& d, int c, float value) {
  const int model = d.GetModel();
  const int g = std::clamp(RoundHalfAway(value * 10.0f), kOutputGainCodes.low, GetInputGainHighCode(model));
  unsigned group;
  int master;
  {
    CSingleLock lock(d.SettingsLock());
    group = InputLinkGroup(d, c);
    master = InputLinkMaster(d, c);
    for (int j = 0; j < kNerexMaxInputs; ++j)
      if (Bit(group, j)) WritableSettings(d).inputs.gains[std::size_t(j)] = ToInt16(g);
  }
  QueuePackedWrite(d, kCmdChannelGain, Int16Bytes(InputChannelByte(master), g));
  RenotifyGroup(d, kParamInputGain, group);
}

// Output gains have three states by the two gain locks: free (a gain), trim (lock A alone: a
// trim of -12..+12 dB) and locked (both: nothing is written).
void OutputGain(CNerexSeriesDevice& d, int c, const CParamValue& value) {
  unsigned group;
  int master;
  bool free, trim;
  {
    CSingleLock lock(d.SettingsLock());
    const NerexOutputSection& out = d.GetCurrentSettings().outputs;
    group = OutputLinkGroup(d, c);
    master = OutputLinkMaster(d, c);
    free = IsChannelFlagClear(out, c);
    trim = IsChannelFlagSetOnly(out, c);
  }
  if (free) {
    const int g = kOutputGainCodes.Clamp(RoundHalfAway(value.value * 10.0f));
    {
      CSingleLock lock(d.SettingsLock());
      for (int j = 0; j < kNerexMaxOutputs; ++j)
        if (Bit(group, j)) WritableSettings(d).outputs.gains[std::size_t(j)] = std::int16_t(g);
    }
    QueuePackedWrite(d, kCmdChannelGain, Int16Bytes(OutputChannelByte(master), g));
  } else if (trim) {
    const int t = kOutputTrimCodes.Clamp(RoundHalfAway(value.value * 10.0f));
    {
      CSingleLock lock(d.SettingsLock());
      for (int j = 0; j < kNerexMaxOutputs; ++j)
        if (Bit(group, j)) WritableSettings(d).outputs.trims[std::size_t(j)] = std::int8_t(t);
    }
    QueuePackedWrite(d, kCmdOutputTrim, {OutputChannelByte(master), std::uint8_t(std::int8_t(t))});
  } else {
    RenotifyGroupKept(d, kParamOutputGain, group, value);
    return;
  }
  RenotifyGroup(d, kParamOutputGain, group);
}

// --- Mutes and polarity (single channels) ---

void Mute(CNerexSeriesDevice& d, int id, bool on) {
  std::uint8_t inputs, outputs;
  {
    CSingleLock lock(d.SettingsLock());
    CNerexSeriesMemory& image = WritableSettings(d);
    std::uint8_t& mask = id < kParamOutputMute ? image.inputs.muteMask : image.outputs.muteMask;
    const int bit = id < kParamOutputMute ? id - kParamInputMute : id - kParamOutputMute;
    mask = std::uint8_t(on ? mask | (1u << bit) : mask & ~(1u << bit));
    inputs = image.inputs.muteMask;
    outputs = image.outputs.muteMask;
  }
  QueuePackedWrite(d, kCmdMutes, {inputs, outputs});
  Renotify(d, id);
}

void Polarity(CNerexSeriesDevice& d, int o, bool on) {
  const int id = kParamOutputPhase + o;
  if (OutputLocked(d, kGroupPhaseLock, o)) {
    RenotifyKept(d, id, MakeBoolParamValue(id, on));
    return;
  }
  std::uint8_t mask;
  {
    CSingleLock lock(d.SettingsLock());
    std::uint8_t& stored = WritableSettings(d).outputs.phaseMask;
    stored = std::uint8_t(on ? stored | (1u << o) : stored & ~(1u << o));
    mask = stored;
  }
  QueuePackedWrite(d, kCmdPolarity, {mask});
  Renotify(d, id);
}

// --- Delays ---

void Delay(CNerexSeriesDevice& d, const CParamValue& value) {
  const int id = value.id;
  const bool input = id < kParamOutputDelay;
  const int c = input ? id - kParamInputDelay : id - kParamOutputDelay;
  const int first = input ? int(kParamInputDelay) : int(kParamOutputDelay);
  if (!input && OutputLocked(d, kGroupDelayLock, c)) {
    RenotifyGroupKept(d, first, OutputLinkGroup(d, c), value);
    return;
  }
  unsigned group;
  std::uint32_t delay = 0;
  bool send = false;
  int master;
  {
    CSingleLock lock(d.SettingsLock());
    CNerexSeriesMemory& image = WritableSettings(d);
    group = input ? InputLinkGroup(d, c) : OutputLinkGroup(d, c);
    master = input ? InputLinkMaster(d, c) : OutputLinkMaster(d, c);
    delay = GetDelayValue(image, d.GetModel(), id, SecondsToSamples(input, value.value));
    const std::span<std::uint32_t> delays =
        input ? std::span<std::uint32_t>(image.inputs.delays) : std::span<std::uint32_t>(image.outputs.delays);
    // Inputs look at the changed channel, outputs at the master: a zero that is already zero
    // is not sent again.
    const std::uint32_t stored = delays[std::size_t(input ? c : master)];
    send = delay != 0 || stored != 0;
    if (send)
      for (int j = 0; j < int(delays.size()); ++j)
        if (Bit(group, j)) delays[std::size_t(j)] = delay;
  }
  if (send) {
    const std::uint8_t channel = input ? InputChannelByte(master) : OutputChannelByte(master);
    QueuePackedWrite(d, kCmdDelay,
                     {channel, std::uint8_t(delay & 0xFF), std::uint8_t((delay >> 8) & 0xFF),
                      std::uint8_t((delay >> 16) & 0xFF)});
  }
  RenotifyGroup(d, first, group);
}

// --- Limiters ---

enum class ELimiterField { Level, ClipLevel, Attack, Release, ClipRelease };

void Limiter(CNerexSeriesDevice& d, ELimiterField field, int first, int o, const CParamValue& value) {
  unsigned group = OutputLinkGroup(d, o);
  if (OutputLocked(d, kGroupLimiterLock, o)) {
    RenotifyGroupKept(d, first, group, value);
    return;
  }
  int code = 0;
  bool skipWhenEqual = false;
  switch (field) {
    case ELimiterField::Level:
      code = kLimiterLevelCodes.Clamp(22 - RoundHalfUp(BoundedForCode(value.value)));
      skipWhenEqual = true;
      break;
    case ELimiterField::ClipLevel:
      code = kLimiterClipLevelCodes.Clamp(RoundHalfUp(value.value));
      skipWhenEqual = true;
      break;
    // The times are codes of the panel's lists; a linked value is held within its list.
    case ELimiterField::Attack: code = kLimiterAttackCodes.Clamp(value.integer); break;
    case ELimiterField::Release: code = kLimiterReleaseCodes.Clamp(value.integer); break;
    default: code = kLimiterClipReleaseCodes.Clamp(value.integer); break;
  }
  auto member = [field](NerexLimiter& l) -> std::uint8_t& {
    switch (field) {
      case ELimiterField::Level: return l.level;
      case ELimiterField::ClipLevel: return l.clipLevel;
      case ELimiterField::Attack: return l.attack;
      case ELimiterField::Release: return l.release;
      default: return l.clipRelease;
    }
  };
  NerexLimiter record;
  int master;
  bool send = true;
  {
    CSingleLock lock(d.SettingsLock());
    auto& limiters = WritableSettings(d).outputs.limiters;
    master = OutputLinkMaster(d, o);
    if (skipWhenEqual && member(limiters[std::size_t(master)]) == code) {
      send = false;
    } else {
      for (int j = 0; j < kNerexMaxOutputs; ++j)
        if (Bit(group, j)) member(limiters[std::size_t(j)]) = std::uint8_t(code);
    }
    record = limiters[std::size_t(master)];
  }
  if (send)
    QueueBuilt(d, false, [&](CControlMessage& m) { return BuildCommand24Message(d, m, record, OutputChannelByte(master)); });
  RenotifyGroup(d, first, group);
}

// --- Matrix gains ---

void MatrixGain(CNerexSeriesDevice& d, int id, float value) {
  const int o = (id - kParamMatrixGain) / 4, i = (id - kParamMatrixGain) % 4;
  if (d.GetModel() == kModelTorvex48) {
    const int a = kMatrixLevelCodes.Clamp(kMatrixUnity - RoundHalfAway(BoundedForCode(value) * 10.0f));
    bool send;
    {
      CSingleLock lock(d.SettingsLock());
      std::uint16_t& stored = WritableSettings(d).outputs.matrixLevels[std::size_t(o)][std::size_t(i)];
      send = a != 0 || stored != 0;
      if (send) stored = std::uint16_t(a);
    }
    if (send) QueueBuilt(d, false, [&](CControlMessage& m) { return BuildCommand21Message(d, m, o); });
  } else {
    int g = RoundHalfAway(value * 10.0f);
    if (g < -401 || value < -40.0f) g = -401;  // off
    g = std::min(g, 150);
    if (g == -396) g = -400;
    {
      CSingleLock lock(d.SettingsLock());
      WritableSettings(d).inputs.matrixGains[std::size_t(o)][std::size_t(i)] = std::int16_t(g);
    }
    const auto v = std::uint16_t(std::int16_t(g));
    QueuePackedWrite(d, kCmdMatrixGain,
                     {std::uint8_t(o + 1), std::uint8_t(i + 1), std::uint8_t(v & 0xFF), std::uint8_t(v >> 8)});
  }
  Renotify(d, id);
}

// --- Names ---

void QueueNames(CNerexSeriesDevice& d) {
  QueueBuilt(d, false, [&](CControlMessage& m) { return BuildBlock35Message(d, m); });
}

// A channel name holds eight 7-bit bytes, as the unit receives them. A name it would not keep
// as typed (a character beyond ASCII, a control character, a ninth character) is refused from
// every control that edits it, and what shows it shows the name kept again.
void ChannelName(CNerexSeriesDevice& d, const CParamValue& value) {
  const int id = value.id;
  if (!ChannelNameRefusal(value.text).empty()) {
    Renotify(d, id);
    return;
  }
  const NerexChannelName name = MakeChannelName(ToSevenBitText(value.text, kNerexNameLength));
  {
    CSingleLock lock(d.SettingsLock());
    CNerexSeriesMemory& image = WritableSettings(d);
    if (id < kParamOutputName) image.inputs.names[std::size_t(id - kParamInputName)] = name;
    else image.outputs.names[std::size_t(id - kParamOutputName)] = name;
  }
  QueueNames(d);
  Renotify(d, id);
}

// --- Channel links ---

void CopyInputSettings(CNerexSeriesMemory& image, int to, int from) {
  if (to == from) return;
  NerexInputSection& in = image.inputs;
  const auto t = std::size_t(to), f = std::size_t(from);
  in.gains[t] = in.gains[f];
  in.delays[t] = in.delays[f];
  for (int b = 0; b < kNerexInputPeqBands; ++b) in.PeqBand(to, b).CopyValues(in.PeqBand(from, b));
  image.geq.modes[t] = image.geq.modes[f];
  image.geq.bypass[t] = image.geq.bypass[f];
  image.geq.bands[t] = image.geq.bands[f];
  if (!image.deqLinking)
    for (int b = 0; b < kNerexDeqBandsPerInput; ++b) image.DeqBand(to, b).CopyValues(image.DeqBand(from, b));
}

void CopyOutputSettings(NerexOutputSection& out, int to, int from) {
  if (to == from) return;
  const auto t = std::size_t(to), f = std::size_t(from);
  out.gains[t] = out.gains[f];
  out.delays[t] = out.delays[f];
  for (int b = 0; b < kNerexOutputPeqBands; ++b) out.PeqBand(to, b).CopyValues(out.PeqBand(from, b));
  out.highPass[t].CopyValues(out.highPass[f]);
  out.lowPass[t].CopyValues(out.lowPass[f]);
  out.limiters[t] = out.limiters[f];
  out.compressors[t] = out.compressors[f];
}

void ChannelLink(CNerexSeriesDevice& d, int id, bool link) {
  const bool input = id < kParamOutputLinkBit;
  const int n = input ? id - kParamInputLinkBit : id - kParamOutputLinkBit;
  const int width = input ? kNerexMaxInputs : kNerexMaxOutputs;
  const int a = n / width, b = n % width;
  if (!input) {
    CSingleLock lock(d.SettingsLock());
    const NerexOutputSection& out = d.GetCurrentSettings().outputs;
    if (IsChannelInAnyGroup(out, a) || IsChannelInAnyGroup(out, b)) return;
  }
  if (a == b) {
    Renotify(d, id);
    return;
  }
  const int first = input ? int(kParamInputLinkBit) : int(kParamOutputLinkBit);
  std::vector<int> renotify;
  {
    CSingleLock lock(d.SettingsLock());
    CNerexSeriesMemory& image = WritableSettings(d);
    std::uint8_t* masks = input ? image.inputs.linkMasks.data() : image.outputs.linkMasks.data();
    if (link) {
      masks[a] = std::uint8_t(masks[a] | masks[b]);
      for (int c = 0; c < width; ++c)
        if (Bit(masks[a], c)) masks[c] = std::uint8_t(masks[c] | masks[a]);
      const int master = input ? InputLinkMaster(d, a) : OutputLinkMaster(d, a);
      for (int c = 0; c < width; ++c) {
        if (!Bit(masks[a], c)) continue;
        if (input) CopyInputSettings(image, c, master);
        else CopyOutputSettings(image.outputs, c, master);
      }
    } else {
      masks[a] = std::uint8_t(masks[a] & ~(1u << b));
      for (int c = 0; c < width; ++c) {
        if (!Bit(masks[c], a)) continue;
        if (c == b) {
          const std::uint8_t former = masks[b];
          masks[b] = std::uint8_t(1u << b);
          for (int x = 0; x < width; ++x)
            if (Bit(former, x)) renotify.push_back(first + width * b + x);
        } else {
          masks[c] = std::uint8_t(masks[c] & ~(1u << b));
          renotify.push_back(first + width * c + b);
        }
      }
    }
  }
  if (link) {
    if (input) NotifyInputChannelParameters(d, a);
    else NotifyOutputChannelParameters(d, a);
  }
  for (int linkId : renotify) Renotify(d, linkId);

  // The whole section goes to the unit again.
  if (input) {
    QueueBuilt(d, false, [&](CControlMessage& m) { return BuildBlock26Message(d, m, 0, 0xC0); });
    if (IsTorvexLayoutModel(d.GetModel()))
      QueueBuilt(d, false, [&](CControlMessage& m) { return BuildBlock42Message(d, m, 0, 0xC0); });
    if (d.GetModel() == kModelTorvex48)
      QueueBuilt(d, false, [&](CControlMessage& m) { return BuildBlock43Message(d, m, 0, 0xC0); });
  } else {
    QueueBuilt(d, false, [&](CControlMessage& m) { return BuildBlock31Message(d, m, 0, 0xC0); });
  }
}

// --- Mixing mode (Torvex48 matrix) ---

int MixCode(int routedInputs) {
  switch (routedInputs) {
    case 1: return 150;
    case 2: return 210;
    case 3: return 245;
    case 4: return 270;
    default: return kMatrixOff;
  }
}

void MixingMode(CNerexSeriesDevice& d, bool on) {
  {
    CSingleLock lock(d.SettingsLock());
    NerexOutputSection& out = WritableSettings(d).outputs;
    if (out.mixerFlag == (on ? 1 : 0)) return;
    out.mixerFlag = on ? 1 : 0;
    if (on) {
      for (int o = 0; o < kNerexMaxOutputs; ++o) {
        const unsigned routed = out.routingMasks[std::size_t(o)] & 0x0Fu;
        const int code = MixCode(__builtin_popcount(routed));
        for (int i = 0; i < kNerexMaxInputs; ++i)
          out.matrixLevels[std::size_t(o)][std::size_t(i)] = std::uint16_t(Bit(routed, i) ? code : kMatrixOff);
      }
    } else {
      for (int o = 0; o < d.GetOutputCount(); ++o) out.muteMask = std::uint8_t(out.muteMask | (1u << o));
    }
  }
  if (on) {
    for (int k = 0; k < kNerexMaxOutputs * kNerexMaxInputs; ++k) Renotify(d, kParamMatrixGain + k);
  } else {
    for (int o = 0; o < d.GetOutputCount(); ++o) Renotify(d, kParamOutputMute + o);
  }
  QueueBuilt(d, false, [&](CControlMessage& m) { return BuildBlock31Message(d, m, 0, 2); });
  if (INerexSeriesPanel* panel = d.GetNerexPanel()) panel->SelectSideTab(kNerexSideTabSource, true);
  for (int i = 0; i < d.GetInputCount(); ++i) Renotify(d, kParamInputDelay + i);
}

// --- Ids that only move the panel ---

bool InRange(int id, int first, int count) { return id >= first && id < first + count; }

void ShowPage(CNerexSeriesDevice& d, std::uint32_t page) {
  d.PanelView().SetPanelPage(page);
  if (INerexSeriesPanel* panel = d.GetNerexPanel()) panel->ShowPage(page);
}

// The ids that only steer the open panel or the way it shows values, and reach no unit.
bool IsPanelOnlyId(int id) {
  return InRange(id, kNerexPageMixer, 7) || InRange(id, kNerexChannelSelect, 8) ||
         InRange(id, kNerexOutputCompShortcut, 8) || InRange(id, kNerexOutputEqShortcut, 8) ||
         InRange(id, kNerexInputShortcuts, 12) || id == kParamDelayUnits || id == kParamDelayMultiplier ||
         InRange(id, kNerexSideTabSource, 3) || id == kParamGainNudge;
}

bool IsNoActionId(int id) {
  return id == kNoActionPresetList || (id >= kNoActionPicturesFirst && id <= kNoActionPicturesLast) ||
         (id >= kNoActionPanelPartsFirst && id <= kNoActionPanelPartsLast) || id == kNoActionPresetCount;
}

bool PanelOnly(CNerexSeriesDevice& d, const CParamValue& value) {
  const int id = value.id;
  INerexSeriesPanel* panel = d.GetNerexPanel();
  if (InRange(id, kNerexPageMixer, 7)) {
    ShowPage(d, std::uint32_t(id));
  } else if (InRange(id, kNerexChannelSelect, 8)) {
    // Channel select buttons: the equaliser page follows the channel's link master. A channel
    // the model does not have selects nothing.
    const int c = id - kNerexChannelSelect;
    const std::uint32_t page = d.PanelView().GetPanelPage();
    if ((page == kNerexPageInputGeq || page == kNerexPageInputPeq || page == kNerexPageInputDeq) &&
        c < d.GetInputCount())
      d.PanelView().SetSelectedInput(std::uint32_t(InputLinkMaster(d, c)));
    if ((page == kNerexPageOutputEq || page == kNerexPageOutputComp) && c < d.GetOutputCount())
      d.PanelView().SetSelectedOutput(std::uint32_t(OutputLinkMaster(d, c)));
    if (panel) panel->ShowPageControls(true);
  } else if (InRange(id, kNerexOutputCompShortcut, 8) || InRange(id, kNerexOutputEqShortcut, 8)) {
    const bool compressor = id < kNerexOutputEqShortcut;
    d.PanelView().SetSelectedOutput(
        std::uint32_t(OutputLinkMaster(d, id - (compressor ? kNerexOutputCompShortcut : kNerexOutputEqShortcut))));
    ShowPage(d, compressor ? kNerexPageOutputComp : kNerexPageOutputEq);
  } else if (InRange(id, kNerexInputShortcuts, 12)) {
    const int group = (id - kNerexInputShortcuts) / 4;
    d.PanelView().SetSelectedInput(std::uint32_t(InputLinkMaster(d, (id - kNerexInputShortcuts) % 4)));
    ShowPage(d, group == 0 ? kNerexPageInputDeq : group == 1 ? kNerexPageInputPeq : kNerexPageInputGeq);
  } else if (id == kParamDelayUnits) {
    d.HostOptions().SetDelayUnits(std::uint32_t(value.integer));
    if (panel) panel->ApplyDelayDisplay(true);
  } else if (id == kParamDelayMultiplier) {
    d.HostOptions().SetDelayMultiplier(std::uint32_t(value.integer));
    if (panel) panel->ApplyDelayDisplay(false);
  } else if (InRange(id, kNerexSideTabSource, 3)) {
    d.PanelView().SetSideTab(std::uint32_t(id));
    if (panel) panel->SelectSideTab(std::uint32_t(id), true);
  } else if (id == kParamGainNudge) {
    d.HostOptions().SetGainNudge(std::uint32_t(value.integer));
    if (panel) panel->ApplyGainNudge(false);
  } else {
    return false;
  }
  return true;
}

}  // namespace

// --- Device name ---

static_assert(kUnitDeviceNameRule.maxCharacters == kNerexDeviceNameCharacters &&
              kProcessorChannelNameRule.maxCharacters == std::size_t(kNerexNameLength));

std::string DeviceNameRefusal(const std::string& utf8) { return NameRefusal(utf8, kUnitDeviceNameRule); }

std::string ChannelNameRefusal(const std::string& utf8) { return NameRefusal(utf8, kProcessorChannelNameRule); }

std::string CNerexSeriesDevice::ControlChangeRefusal(const CParamValue& value) const {
  if (value.id == kParamDeviceName) return DeviceNameRefusal(value.text);
  if (InRange(value.id, kParamInputName, kNerexMaxInputs) || InRange(value.id, kParamOutputName, kNerexMaxOutputs))
    return ChannelNameRefusal(value.text);
  return std::string();
}

// --- Shared pieces ---

unsigned InputLinkGroup(const CNerexSeriesDevice& d, int input) {
  CSingleLock lock(d.SettingsLock());
  return Group(d.GetCurrentSettings().inputs.linkMasks[std::size_t(input)], input, d.GetInputCount());
}

unsigned OutputLinkGroup(const CNerexSeriesDevice& d, int output) {
  CSingleLock lock(d.SettingsLock());
  return Group(d.GetCurrentSettings().outputs.linkMasks[std::size_t(output)], output, d.GetOutputCount());
}

int InputLinkMaster(const CNerexSeriesDevice& d, int input) {
  CSingleLock lock(d.SettingsLock());
  return GetInputLinkMaster(d.GetCurrentSettings().inputs, input, d.GetInputCount());
}

int OutputLinkMaster(const CNerexSeriesDevice& d, int output) {
  CSingleLock lock(d.SettingsLock());
  return GetOutputLinkMaster(d.GetCurrentSettings().outputs, output, d.GetOutputCount());
}

void Renotify(CNerexSeriesDevice& d, int id) { CNerexChangeAccess::ApplyBaseChange(d, d.GetCurrentValue(id)); }

void RenotifyGroup(CNerexSeriesDevice& d, int first, unsigned group) {
  for (int j = 0; j < 8; ++j)
    if (Bit(group, j)) Renotify(d, first + j);
}

void RenotifyKept(CNerexSeriesDevice& d, int id, const CParamValue& requested) {
  CParamValue asked = requested;
  asked.id = id;
  CNerexChangeAccess::ApplyKeptChange(d, d.GetCurrentValue(id), asked);
}

void RenotifyGroupKept(CNerexSeriesDevice& d, int first, unsigned group, const CParamValue& requested) {
  for (int j = 0; j < 8; ++j)
    if (Bit(group, j)) RenotifyKept(d, first + j, requested);
}

void QueuePackedWrite(CNerexSeriesDevice& d, std::uint32_t command, const std::vector<std::uint8_t>& raw) {
  QueueBuilt(d, false, [&](CControlMessage& m) { return BuildPackedWriteMessage(d, m, command, raw); });
}

void QueuePlainWrite(CNerexSeriesDevice& d, std::uint32_t command, const std::vector<std::uint8_t>& payload) {
  QueueBuilt(d, false, [&](CControlMessage& m) { return BuildPlainWriteMessage(d, m, command, payload); });
}

bool ApplyChannelSettingChange(CNerexSeriesDevice& d, const CParamValue& value) {
  const int id = value.id;
  if (InRange(id, kParamInputGain, 4)) InputGain(d, id - kParamInputGain, value.value);
  else if (InRange(id, kParamOutputGain, 8)) OutputGain(d, id - kParamOutputGain, value);
  else if (InRange(id, kParamInputMute, 12)) Mute(d, id, value.flag != 0);
  else if (InRange(id, kParamOutputPhase, 8)) Polarity(d, id - kParamOutputPhase, value.flag != 0);
  else if (InRange(id, kParamInputName, 12)) ChannelName(d, value);
  else if (InRange(id, kParamInputDelay, 12)) Delay(d, value);
  else if (InRange(id, kParamMatrixGain, 32)) MatrixGain(d, id, value.value);
  else if (InRange(id, kParamLimiterLevel, 40)) {
    static constexpr ELimiterField kFields[] = {ELimiterField::Level, ELimiterField::ClipLevel, ELimiterField::Attack,
                                                ELimiterField::Release, ELimiterField::ClipRelease};
    const int k = (id - kParamLimiterLevel) / 8;
    Limiter(d, kFields[k], kParamLimiterLevel + 8 * k, (id - kParamLimiterLevel) % 8, value);
  } else if (InRange(id, kParamInputLinkBit, 16 + 64)) ChannelLink(d, id, value.flag != 0);
  else if (id == kParamMixerOn || id == kParamMixerOff) MixingMode(d, id == kParamMixerOn);
  else return PanelOnly(d, value);
  return true;
}

// --- The common frame ---

bool CNerexSeriesDevice::AddParameterIdToDeviceList(int id) {
  if (m_paramIds.Has(std::uint32_t(id))) return true;
  m_paramIds.Add(std::uint32_t(id));
  return false;
}

void CNerexSeriesDevice::RemoveParameterIdFromDeviceList(int id) {
  m_paramIds.Remove(std::uint32_t(id));
}

bool CNerexSeriesDevice::IsOutermostChange(int id) const {
  return m_paramIds.IsOnly(std::uint32_t(id));
}

std::uint64_t CNerexChangeGate::RightsNeededFor(int id) const {
  if (IsPanelOnlyId(id) || IsNoActionId(id)) return 0;
  if (IsPresetActionId(id)) return kRestrictRecallPresets;
  if (id == kParamDeviceName || InRange(id, kParamInputName, 4) || InRange(id, kParamOutputName, 8))
    return kRestrictEditDeviceProperties;
  return kRestrictUseDeviceControls;
}

std::uint32_t CNerexChangeGate::ConfirmationFor(const CParamValue& value, const CChangeAnswer& answer) const {
  const int id = value.id;
  if (InRange(id, kParamMatrixRouting, 32) || id == kParamMixerOn || id == kParamMixerOff) return kConfirmChangeRouting;
  if (InRange(id, kParamGeqFlatten, kNerexMaxInputs)) return kConfirmFlattenGraphicEq;
  if (!IsPresetActionId(id)) return 0;
  static const CNerexPresetAnswer kNoAnswer;
  const auto* preset = dynamic_cast<const CNerexPresetAnswer*>(&answer);
  return PresetActionConfirmation(m_processor, id, preset ? *preset : kNoAnswer);
}

void CNerexSeriesDevice::ApplyControlChange(const CParamValue& value) {
  CChangeAnswer none;
  ApplyChange(value, none);
}

void CNerexChangeGate::ApplyAnsweredChange(const CParamValue& value, CChangeAnswer& answer) {
  // Only the preset actions read more than the confirmation, which the gate has checked.
  if (dynamic_cast<CNerexPresetAnswer*>(&answer)) m_processor.ApplyChange(value, answer);
  else CUserChangeGate::ApplyAnsweredChange(value, answer);
}

void CNerexSeriesDevice::ChangeDeviceName(const std::string& text) {
  // A name the unit would not keep as typed is refused from every control that edits it (the
  // grid, a text widget), and what shows it shows the name kept again: the app, the file and
  // the unit hold one name.
  if (!DeviceNameRefusal(text).empty()) {
    Renotify(*this, kParamDeviceName);
    return;
  }
  {
    CSingleLock lock(SettingsLock());
    SetName(text);
  }
  QueueNames(*this);
  Post(FrameMsg::kRefreshRack);
  Post(FrameMsg::kPanelCaption);
  Renotify(*this, kParamDeviceName);
  Post(FrameMsg::kRedrawMeterEntry);
}

void CNerexSeriesDevice::ApplyChange(const CParamValue& value, CChangeAnswer& answer) {
  const int id = value.id;
  // Online with the unit away, a setting would change in the file and the windows only.
  if (!IsPanelOnlyId(id) && HeldValues().RefuseChangeWhileAway(id)) return;
  // A change that comes back to the same id (through links or re-notification) stops here.
  if (AddParameterIdToDeviceList(id)) return;
  // The exit runs however the change ends: done, refused, declined or thrown out of.
  CScopeGuard exit([this, id] {
    RemoveParameterIdFromDeviceList(id);
    if (IDeviceHost* host = GetHost()) host->SetModified(true);
  });
  // A read of the settings on its way meanwhile does not take the change back. Every question
  // was asked before the change came in (the gate's ConfirmationFor, HandPresetAction): nothing waits here.
  std::optional<CSettingsChange> change;
  if (!IsPanelOnlyId(id)) change.emplace(*this);
  if (id == kParamDeviceName) {
    ChangeDeviceName(value.text);
    return;
  }
  if (ApplyChannelSettingChange(*this, value)) return;
  if (ApplyEqDynamicsChange(*this, value)) return;
  if (ApplyPresetActionChange(*this, value, answer)) return;
  ApplySectionActionChange(*this, value);
}
