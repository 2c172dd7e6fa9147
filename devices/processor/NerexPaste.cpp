// Paste by section into a processor's current settings image.
#include "devices/processor/NerexPaste.h"

#include <initializer_list>

#include "devices/processor/NerexChannelRules.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexParamGroups.h"
#include "devices/processor/NerexPresets.h"

namespace {

enum : std::uint32_t {
  kPageMixer = 59,
  kPageInputGeq = 60,
  kPageInputPeq = 61,
  kPageOutputEq = 63,
  kPageInputDeq = 64,
  kPageOutputComp = 65,
};

bool InSmallOr121(int model) { return IsNerexSmallModel(model) || model == kModelTorvex48; }

// Everything one paste command needs: the two images, the model pair and what it produces.
class CPaste {
 public:
  CPaste(const NerexClipboardRecord& record, NerexPasteTarget& target)
      : R(record),
        src(record.settings),
        dst(*target.image),
        t(target),
        model(target.model),
        rModel(int(record.model)),
        deviceInputs(GetInputCount(model)),
        deviceOutputs(GetOutputCount(model)),
        rInputs(int(record.inputCount)),
        rOutputs(int(record.outputCount)) {}

  NerexPasteResult Run(std::uint32_t command);

 private:
  bool BothFennick() const { return IsFennickModel(model) && IsFennickModel(rModel); }
  bool Both121() const { return model == kModelTorvex48 && rModel == kModelTorvex48; }
  bool BothTorvexLayout() const { return IsTorvexLayoutModel(model) && IsTorvexLayoutModel(rModel); }
  bool BothSmallOr121() const { return InSmallOr121(model) && InSmallOr121(rModel); }
  bool DeviceHasDelays() const { return InSmallOr121(model); }

  void Announce(std::int32_t id) { res.announce.push_back(id); }
  void Announce(const std::vector<std::int32_t>& ids) { res.announce.insert(res.announce.end(), ids.begin(), ids.end()); }
  void Write(ENerexPasteWrite w) { res.writes.push_back(w); }
  void Pages(std::initializer_list<std::uint32_t> pages) { res.pages.insert(res.pages.end(), pages); }

  void Fixups() { ApplyHardwareVariantFixups(dst, model, t.hardwareCode); }
  void ClampAndFix() {
    ClampGains(dst, model);
    Fixups();
  }

  // Section pieces.
  // The output flags every section that spans all outputs takes: mutes, phases and the two
  // limiter switches.
  void CopyOutputFlags();
  void CopyInputChannel(int to, int from, bool gainAndDelay);
  void CopyInputGeq(int to, int from);
  void CopyInputDeqBands(int to, int from);
  void CopyOutputChannel(int to, int from);
  void CopyOutputFilters(int to, int from);

  // Parameter families.
  void InputGain(int i) { Announce(kParamInputGain + i); }
  void InputMute(int i) { Announce(kParamInputMute + i); }
  void InputLinkBits(int i) {
    ForEachInputLinkId(i, [this](int id) { Announce(id); });
  }
  void InputDelay(int i) { Announce(kParamInputDelay + i); }
  void InputPeq(int i) {
    ForEachInputPeqId(i, [this](int id) { Announce(id); });
  }
  void InputGeq(int i) {
    for (int b = 0; b < kNerexGeqBands; ++b) Announce(kParamGeqBand + kNerexGeqBands * i + b);
    Announce(kParamGeqBypass + i);
    Announce(kParamGeqMode + i);
  }
  void InputDeq(int i) {
    ForEachDeqId(i, [this](int id) { Announce(id); });
  }
  void OutputGain(int o) { Announce(kParamOutputGain + o); }
  void OutputMute(int o) { Announce(kParamOutputMute + o); }
  void OutputPhase(int o) { Announce(kParamOutputPhase + o); }
  void OutputDelay(int o) { Announce(kParamOutputDelay + o); }
  void OutputLinkBits(int o) {
    ForEachOutputLinkId(o, [this](int id) { Announce(id); });
  }
  void OutputMatrixAndRouting(int o) {
    for (int k = 0; k < kNerexMaxInputs; ++k) {
      if (IsFennickModel(model)) Announce(kParamMatrixGain + 4 * o + k);
      if (InSmallOr121(model)) Announce(kParamMatrixRouting + 4 * o + k);
      if (model == kModelTorvex48) Announce(kParamMatrixGain + 4 * o + k);
    }
  }
  void OutputLimiter(int o) {
    ForEachLimiterId(o, [this](int id) { Announce(id); });
  }
  void OutputPeq(int o) {
    ForEachOutputPeqId(o, [this](int id) { Announce(id); });
  }
  void OutputCrossover(int o) {
    ForEachCrossoverId(o, [this](int id) { Announce(id); });
  }
  void OutputCompressor(int o) {
    if (model != kModelTorvex48) return;
    for (int base : {kParamCompressorThreshold, kParamCompressorRatio, kParamCompressorAttack,
                     kParamCompressorRelease, kParamCompressorSoftKnee, kParamCompressorBypass})
      Announce(base + o);
  }
  // Gain, mute, phase, delay and link bits of output o.
  void OutputLevels(int o) {
    OutputGain(o);
    OutputMute(o);
    OutputPhase(o);
    OutputDelay(o);
    OutputLinkBits(o);
  }
  void OutputEqAndCompressor(int o) {
    OutputPeq(o);
    OutputCrossover(o);
    OutputCompressor(o);
  }
  // Every input of the device, after the dynamic-EQ flags of a Torvex48 pair; delays when asked.
  void AnnounceInputs(bool delays);

  // Commands.
  void Whole();
  void AllInputs();
  void AllOutputs();
  void InputChannel(bool filtersOnly);
  void OutputChannel();
  void OutputFilters();
  void Matrix();
  void Mixer();
  void Properties();
  void Names();

  // The selected channel's link group as a mask over the model's channels; 0 when the
  // selection is not of that kind.
  std::uint8_t SelectedInputGroup() const;
  std::uint8_t SelectedOutputGroup() const;

  const NerexClipboardRecord& R;
  const CNerexSeriesMemory& src;
  CNerexSeriesMemory& dst;
  NerexPasteTarget& t;
  const int model;
  const int rModel;
  const int deviceInputs;
  const int deviceOutputs;
  const int rInputs;
  const int rOutputs;
  NerexPasteResult res;
};

void CPaste::AnnounceInputs(bool delays) {
  if (Both121()) {
    Announce(kParamDynamicEqMode);
    Announce(kParamDynamicEqLinking);
  }
  for (int i = 0; i < deviceInputs; ++i) {
    InputGain(i);
    InputMute(i);
    InputLinkBits(i);
    if (delays) InputDelay(i);
    if (BothTorvexLayout()) InputGeq(i);
    if (Both121()) InputDeq(i);
    InputPeq(i);
  }
}

void CPaste::CopyOutputFlags() {
  dst.outputs.muteMask = src.outputs.muteMask;
  dst.outputs.phaseMask = src.outputs.phaseMask;
  dst.outputs.autoLimiters = src.outputs.autoLimiters;
  dst.outputs.compressorLimiters = src.outputs.compressorLimiters;
}

void CPaste::CopyInputChannel(int to, int from, bool gainAndDelay) {
  if (gainAndDelay) {
    dst.inputs.gains[to] = src.inputs.gains[from];
    dst.inputs.delays[to] = src.inputs.delays[from];
  }
  for (int b = 0; b < kNerexInputPeqBands; ++b) dst.inputs.PeqBand(to, b).CopyValues(src.inputs.PeqBand(from, b));
}

void CPaste::CopyInputGeq(int to, int from) {
  dst.geq.bands[to] = src.geq.bands[from];
  dst.geq.bypass[to] = src.geq.bypass[from];
  dst.geq.modes[to] = src.geq.modes[from];
}

void CPaste::CopyInputDeqBands(int to, int from) {
  for (int b = 0; b < kNerexDeqBandsPerInput; ++b) dst.DeqBand(to, b).CopyValues(src.DeqBand(from, b));
}

void CPaste::CopyOutputFilters(int to, int from) {
  dst.outputs.highPass[to].CopyValues(src.outputs.highPass[from]);
  dst.outputs.lowPass[to].CopyValues(src.outputs.lowPass[from]);
  for (int b = 0; b < kNerexOutputPeqBands; ++b) dst.outputs.PeqBand(to, b).CopyValues(src.outputs.PeqBand(from, b));
}

void CPaste::CopyOutputChannel(int to, int from) {
  dst.outputs.gains[to] = src.outputs.gains[from];
  dst.outputs.delays[to] = src.outputs.delays[from];
  dst.outputs.trims[to] = src.outputs.trims[from];
  dst.outputs.limiters[to] = src.outputs.limiters[from];
  CopyOutputFilters(to, from);
}

std::uint8_t CPaste::SelectedInputGroup() const {
  const std::uint32_t sel = t.selectedChannel;
  if (sel < 1 || sel > 4 || int(sel) > deviceInputs) return 0;
  const int i = int(sel) - 1;
  const std::uint8_t all = std::uint8_t((1u << deviceInputs) - 1u);
  return std::uint8_t((dst.inputs.linkMasks[i] | (1u << i)) & all);
}

std::uint8_t CPaste::SelectedOutputGroup() const {
  const std::uint32_t sel = t.selectedChannel;
  if (sel < 5 || sel > 12 || int(sel) - 5 >= deviceOutputs) return 0;
  const int o = int(sel) - 5;
  const std::uint8_t all = std::uint8_t((1u << deviceOutputs) - 1u);
  return std::uint8_t((dst.outputs.linkMasks[o] | (1u << o)) & all);
}

void CPaste::Whole() {
  // 1. Whether the routing changes, which mutes every output afterwards.
  bool muteOutputs = false;
  if (IsNerexSmallModel(model)) {
    muteOutputs = dst.outputs.routingMasks != src.outputs.routingMasks;
  } else if (model == kModelTorvex48) {
    if (!(dst.outputs.mixerFlag && IsFennickModel(rModel)))
      muteOutputs = src.outputs.mixerFlag != dst.outputs.mixerFlag ||
                    (src.outputs.mixerFlag == 0 && dst.outputs.mixerFlag == 0 &&
                     dst.outputs.routingMasks != src.outputs.routingMasks);
  }

  // 2, 3. Inputs.
  dst.inputs.muteMask = src.inputs.muteMask;
  for (int i = 0; i < rInputs; ++i) {
    dst.inputs.linkMasks[i] = src.inputs.linkMasks[i];
    CopyInputChannel(i, i, true);
    for (int o = 0; o < kNerexMaxOutputs; ++o) {
      if (BothFennick() || Both121())
        dst.inputs.matrixGains[o][i] = src.inputs.matrixGains[o][i];
      else if (IsFennickModel(model) && rModel == kModelTorvex48)
        dst.inputs.matrixGains[o][i] = MatrixGainFromLevel(src.outputs.matrixLevels[o][i]);
      else if (model == kModelTorvex48 && IsFennickModel(rModel))
        dst.outputs.matrixLevels[o][i] = MatrixLevelFromGain(src.inputs.matrixGains[o][i]);
    }
  }
  if (Both121()) dst.CopyDeqBlockFrom(src);

  // 4, 5. Outputs.
  CopyOutputFlags();
  if (model == kModelTorvex48) {
    if (rModel == kModelTorvex48)
      dst.outputs.mixerFlag = src.outputs.mixerFlag;
    else if (IsFennickModel(rModel))
      dst.outputs.mixerFlag = 1;
    else if (IsNerexSmallModel(rModel))
      dst.outputs.mixerFlag = 0;
  }
  for (int o = 0; o < rOutputs; ++o) {
    if (BothSmallOr121()) dst.outputs.routingMasks[o] = src.outputs.routingMasks[o];
    dst.outputs.linkMasks[o] = src.outputs.linkMasks[o];
    CopyOutputChannel(o, o);
    if (Both121()) {
      dst.outputs.compressors[o] = src.outputs.compressors[o];
      for (int i = 0; i < rInputs; ++i) dst.outputs.matrixLevels[o][i] = src.outputs.matrixLevels[o][i];
    }
  }

  // 6, 7, 8.
  dst.outputs.channelGroups = src.outputs.channelGroups;
  ClampAndFix();
  if (BothTorvexLayout())
    for (int i = 0; i < rInputs; ++i) CopyInputGeq(i, i);
  if (muteOutputs) dst.outputs.muteMask |= std::uint8_t((1u << deviceOutputs) - 1u);

  // 9. Writes.
  Write(ENerexPasteWrite::InputBlock);
  Write(ENerexPasteWrite::OutputBlock);
  if (BothTorvexLayout()) Write(ENerexPasteWrite::GeqBlock);
  if (Both121()) Write(ENerexPasteWrite::DeqBlock);

  // 10. Announcements.
  AnnounceInputs(BothSmallOr121());
  Announce(kParamAutoLimiters);
  Announce(kParamCompressorLimiters);
  for (int o = 0; o < deviceOutputs; ++o) {
    OutputLevels(o);
    OutputMatrixAndRouting(o);
    OutputLimiter(o);
    OutputEqAndCompressor(o);
  }

  // 11.
  Pages({kPageInputGeq, kPageInputPeq, kPageOutputEq, kPageInputDeq, kPageOutputComp});
  if (model == kModelTorvex48) Pages({kPageMixer});
}

void CPaste::AllInputs() {
  dst.inputs.muteMask = src.inputs.muteMask;
  for (int i = 0; i < rInputs; ++i) {
    dst.inputs.linkMasks[i] = src.inputs.linkMasks[i];
    CopyInputChannel(i, i, true);
    if (BothTorvexLayout()) CopyInputGeq(i, i);
  }
  if (Both121()) dst.CopyDeqBlockFrom(src);
  ClampAndFix();

  Write(ENerexPasteWrite::InputBlock);
  if (IsTorvexLayoutModel(model)) Write(ENerexPasteWrite::GeqBlock);
  if (Both121()) Write(ENerexPasteWrite::DeqBlock);

  AnnounceInputs(DeviceHasDelays());
  Pages({kPageInputGeq, kPageInputPeq});
}

void CPaste::AllOutputs() {
  CopyOutputFlags();
  for (int o = 0; o < rOutputs; ++o) {
    dst.outputs.linkMasks[o] = src.outputs.linkMasks[o];
    CopyOutputChannel(o, o);
    if (Both121()) dst.outputs.compressors[o] = src.outputs.compressors[o];
  }
  dst.outputs.channelGroups = src.outputs.channelGroups;
  ClampAndFix();

  Write(ENerexPasteWrite::OutputBlock);

  if (model == kModelTorvex48)
    for (int i = 0; i < kNerexMaxInputs; ++i) InputDelay(i);
  Announce(kParamAutoLimiters);
  if (model == kModelTorvex48) Announce(kParamCompressorLimiters);
  for (int o = 0; o < rOutputs && o < deviceOutputs; ++o) {
    OutputLevels(o);
    OutputLimiter(o);
    OutputEqAndCompressor(o);
  }
  Pages({kPageOutputEq, kPageOutputComp});
  if (model == kModelTorvex48) Pages({kPageMixer});
}

void CPaste::InputChannel(bool filtersOnly) {
  const std::uint8_t group = SelectedInputGroup();
  const int from = int(R.copiedInput) - 1;
  if (group == 0 || from < 0 || from >= rInputs) return;
  for (int i = 0; i < deviceInputs; ++i) {
    if (!((group >> i) & 1)) continue;
    CopyInputChannel(i, from, !filtersOnly);
    if (BothTorvexLayout()) CopyInputGeq(i, from);
    if (Both121()) CopyInputDeqBands(i, from);
  }
  if (!filtersOnly) ClampGains(dst, model);
  Fixups();

  Write(ENerexPasteWrite::InputBlock);
  if (BothTorvexLayout()) Write(ENerexPasteWrite::GeqBlock);
  if (Both121()) Write(ENerexPasteWrite::DeqBlock);

  for (int i = 0; i < deviceInputs; ++i) {
    if (!((group >> i) & 1)) continue;
    if (!filtersOnly) {
      InputGain(i);
      if (DeviceHasDelays()) InputDelay(i);
    }
    InputPeq(i);
    if (BothTorvexLayout()) InputGeq(i);
    if (Both121()) InputDeq(i);
  }
  Pages({kPageInputGeq, kPageInputPeq, kPageInputDeq});
}

void CPaste::OutputChannel() {
  const std::uint8_t group = SelectedOutputGroup();
  const int from = int(R.copiedOutput) - 5;
  if (group == 0 || from < 0 || from >= rOutputs) return;
  for (int o = 0; o < deviceOutputs; ++o) {
    if (!((group >> o) & 1)) continue;
    CopyOutputChannel(o, from);
    CopyChannelGroupChannel(dst.outputs.channelGroups, o, src.outputs.channelGroups, from);
    if (Both121()) dst.outputs.compressors[o] = src.outputs.compressors[from];
  }
  ClampAndFix();

  Write(ENerexPasteWrite::OutputBlock);

  Announce(kParamAutoLimiters);
  for (int o = 0; o < deviceOutputs; ++o) OutputLinkBits(o);
  for (int o = 0; o < deviceOutputs; ++o) {
    if (!((group >> o) & 1)) continue;
    OutputGain(o);
    OutputDelay(o);
    OutputPhase(o);
    OutputLimiter(o);
    OutputCrossover(o);
    OutputPeq(o);
    OutputCompressor(o);
  }
  Pages({kPageOutputEq, kPageOutputComp});
}

void CPaste::OutputFilters() {
  const std::uint8_t group = SelectedOutputGroup();
  const int from = int(R.copiedOutput) - 5;
  if (group == 0 || from < 0 || from >= rOutputs) return;
  for (int o = 0; o < deviceOutputs; ++o) {
    if (!((group >> o) & 1)) continue;
    CopyOutputFilters(o, from);
    // The high-pass, low-pass and band lock masks follow the filters.
    const std::uint8_t bit = std::uint8_t(1u << o);
    for (int g = kGroupHighPassLock; g <= kGroupPeqBandLock + kNerexOutputPeqBands - 1; ++g) {
      const bool set = (src.outputs.channelGroups[g] >> from) & 1;
      dst.outputs.channelGroups[g] = set ? std::uint8_t(dst.outputs.channelGroups[g] | bit)
                                         : std::uint8_t(dst.outputs.channelGroups[g] & ~bit);
    }
  }
  Fixups();
  Announce(ApplyAutoLimiters(dst.outputs, dst.outputs.autoLimiters != 0));
  Announce(ApplyCompressorLimiters(dst.outputs, dst.outputs.compressorLimiters != 0));

  Write(ENerexPasteWrite::OutputBlock);

  for (int o = 0; o < deviceOutputs; ++o) {
    if (!((group >> o) & 1)) continue;
    OutputPeq(o);
    OutputCrossover(o);
  }
  Pages({kPageOutputEq});
}

void CPaste::Matrix() {
  if (BothFennick()) {
    dst.inputs.matrixGains = src.inputs.matrixGains;
    Write(ENerexPasteWrite::InputBlock);
  } else if (Both121()) {
    dst.outputs.matrixLevels = src.outputs.matrixLevels;
    Write(ENerexPasteWrite::OutputBlock);
  } else {
    return;
  }
  for (int o = 0; o < kNerexMaxOutputs; ++o)
    for (int i = 0; i < kNerexMaxInputs; ++i) Announce(kParamMatrixGain + 4 * o + i);
}

void CPaste::Mixer() {
  dst.inputs.muteMask = src.inputs.muteMask;
  for (int i = 0; i < rInputs; ++i) {
    dst.inputs.linkMasks[i] = src.inputs.linkMasks[i];
    dst.inputs.gains[i] = src.inputs.gains[i];
    dst.inputs.delays[i] = src.inputs.delays[i];
    if (BothFennick())
      for (int o = 0; o < kNerexMaxOutputs; ++o) dst.inputs.matrixGains[o][i] = src.inputs.matrixGains[o][i];
  }
  CopyOutputFlags();
  dst.outputs.mixerFlag = src.outputs.mixerFlag;
  for (int o = 0; o < rOutputs; ++o) {
    dst.outputs.linkMasks[o] = src.outputs.linkMasks[o];
    dst.outputs.gains[o] = src.outputs.gains[o];
    dst.outputs.delays[o] = src.outputs.delays[o];
    dst.outputs.trims[o] = src.outputs.trims[o];
    dst.outputs.limiters[o] = src.outputs.limiters[o];
    if (Both121()) dst.outputs.matrixLevels[o] = src.outputs.matrixLevels[o];
  }
  for (int g = 0; g <= 5; ++g) dst.outputs.channelGroups[g] = src.outputs.channelGroups[g];
  for (int g = kGroupPerOutput; g < kNerexChannelGroupBytes; ++g) dst.outputs.channelGroups[g] = src.outputs.channelGroups[g];
  ClampGains(dst, model);

  Write(ENerexPasteWrite::InputBlock);
  Write(ENerexPasteWrite::OutputBlock);

  for (int i = 0; i < kNerexMaxInputs; ++i) {
    InputGain(i);
    InputMute(i);
    InputLinkBits(i);
    InputDelay(i);
  }
  Announce(kParamAutoLimiters);
  Announce(kParamCompressorLimiters);
  for (int o = 0; o < deviceOutputs; ++o) {
    OutputLevels(o);
    OutputMatrixAndRouting(o);
    OutputLimiter(o);
  }
  if (model == kModelTorvex48) Pages({kPageMixer});
}

void CPaste::Properties() {
  const NerexClipboardProperties& p = R.properties;
  if (t.autoRtcUpdate) *t.autoRtcUpdate = p.autoRtcUpdate != 0;
  if (t.delayUnits) *t.delayUnits = p.delayUnits;
  if (t.delayMultiplier) *t.delayMultiplier = p.delayMultiplier;
  if (t.gainNudge) *t.gainNudge = p.gainNudge;
  if (t.general) {
    auto& g = *t.general;
    g[8] = std::uint8_t(p.securityCode);
    g[9] = std::uint8_t(p.securityCode >> 8);
    g[10] = p.systemLock;
    g[11] = p.gpiMode;
    g[12] = p.memoryOffset;
    g[13] = p.transmitPreset;
    g[14] = p.onDelay;
    g[15] = p.lcdContrast;
    g[16] = p.ledTimeout;
  }
  Write(ENerexPasteWrite::GeneralSettings);
  res.propertiesChanged = true;
}

void CPaste::Names() {
  for (int i = 0; i < rInputs; ++i) dst.inputs.names[i] = src.inputs.names[i];
  for (int o = 0; o < rOutputs; ++o) dst.outputs.names[o] = src.outputs.names[o];
  Write(ENerexPasteWrite::Names);
  for (int i = 0; i < rInputs; ++i) Announce(kParamInputName + i);
  for (int o = 0; o < rOutputs; ++o) Announce(kParamOutputName + o);
  res.linkedNames = true;
}

NerexPasteResult CPaste::Run(std::uint32_t command) {
  switch (command) {
    case 0: Whole(); break;
    case kCmdPasteAllInputs: AllInputs(); break;
    case kCmdPasteAllOutputs: AllOutputs(); break;
    case kCmdPasteInputChannel: InputChannel(false); break;
    case kCmdPasteInputFilters: InputChannel(true); break;
    case kCmdPasteOutputChannel: OutputChannel(); break;
    case kCmdPasteOutputFilters: OutputFilters(); break;
    case kCmdPasteMatrix: Matrix(); break;
    case kCmdPasteMixer: Mixer(); break;
    case kCmdPasteProperties: Properties(); break;
    case kCmdPasteChannelNames: Names(); break;
    default: break;
  }
  res.applied = !res.writes.empty();
  return std::move(res);
}

}  // namespace

NerexPasteResult PasteRecord(std::uint32_t command, const NerexClipboardRecord& record, NerexPasteTarget& target) {
  if (!target.image || record.inputCount > std::uint32_t(kNerexMaxInputs) ||
      record.outputCount > std::uint32_t(kNerexMaxOutputs))
    return {};
  CPaste paste(record, target);
  return paste.Run(command);
}
