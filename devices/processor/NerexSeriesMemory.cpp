// Defaults and value copies of the processor settings image.
#include "devices/processor/NerexSeriesMemory.h"

#include <algorithm>

NerexChannelName MakeChannelName(std::string_view text) {
  NerexChannelName name;
  name.fill(' ');
  std::copy_n(text.begin(), std::min<std::size_t>(text.size(), name.size()), name.begin());
  return name;
}

void NerexEqBand::CopyValues(const NerexEqBand& source) {
  type = source.type;
  q = source.q;
  frequency = source.frequency;
  gain = source.gain;
}

void NerexDeqBand::CopyValues(const NerexDeqBand& source) {
  mode = source.mode;
  q = source.q;
  frequency = source.frequency;
  effect = source.effect;
  threshold = source.threshold;
  ratio = source.ratio;
  attack = source.attack;
  release = source.release;
  filterKind = source.filterKind;
  bypass = source.bypass;
}

NerexInputSection::NerexInputSection() {
  for (auto& n : names) n.fill(' ');
}

void NerexInputSection::CopyFrom(const NerexInputSection& source) {
  linkMasks = source.linkMasks;
  gains = source.gains;
  delays = source.delays;
  muteMask = source.muteMask;
  for (std::size_t i = 0; i < peqBands.size(); ++i) peqBands[i].CopyValues(source.peqBands[i]);
  names = source.names;
  matrixGains = source.matrixGains;
}

NerexOutputSection::NerexOutputSection() {
  for (auto& n : names) n.fill(' ');
}

void NerexOutputSection::CopyFrom(const NerexOutputSection& source) {
  linkMasks = source.linkMasks;
  routingMasks = source.routingMasks;
  mixerFlag = source.mixerFlag;
  matrixLevels = source.matrixLevels;
  gains = source.gains;
  delays = source.delays;
  muteMask = source.muteMask;
  phaseMask = source.phaseMask;
  for (int o = 0; o < kNerexMaxOutputs; ++o) {
    highPass[o].CopyValues(source.highPass[o]);
    lowPass[o].CopyValues(source.lowPass[o]);
  }
  for (std::size_t i = 0; i < peqBands.size(); ++i) peqBands[i].CopyValues(source.peqBands[i]);
  trims = source.trims;
  autoLimiters = source.autoLimiters;
  compressorLimiters = source.compressorLimiters;
  channelGroups = source.channelGroups;
  limiters = source.limiters;
  names = source.names;
  compressors = source.compressors;
}

void CopyChannelGroupChannel(std::array<std::uint8_t, kNerexChannelGroupBytes>& target, int targetChannel,
                             const std::array<std::uint8_t, kNerexChannelGroupBytes>& source,
                             int sourceChannel) {
  if (targetChannel < 0 || targetChannel >= kNerexMaxOutputs || sourceChannel < 0 ||
      sourceChannel >= kNerexMaxOutputs)
    return;
  const std::uint8_t targetBit = std::uint8_t(1u << targetChannel);
  for (int i = 1; i <= 16; ++i) {
    const bool set = (source[i] >> sourceChannel) & 1;
    target[i] = set ? std::uint8_t(target[i] | targetBit) : std::uint8_t(target[i] & ~targetBit);
  }
  target[kGroupPerOutput + targetChannel] = source[kGroupPerOutput + sourceChannel];
}

void CNerexSeriesMemory::CopyDeqBlockFrom(const CNerexSeriesMemory& source) {
  deqMode = source.deqMode;
  deqLinking = source.deqLinking;
  for (int k = 0; k < kNerexDeqBands; ++k) deqBands[k].CopyValues(source.deqBands[k]);
}

void CNerexSeriesMemory::CopyFrom(const CNerexSeriesMemory& source) {
  if (&source == this) return;
  name = source.name;
  sectionFlags = source.sectionFlags;
  inputs.CopyFrom(source.inputs);
  outputs.CopyFrom(source.outputs);
  geq.CopyFrom(source.geq);
  CopyDeqBlockFrom(source);
}
