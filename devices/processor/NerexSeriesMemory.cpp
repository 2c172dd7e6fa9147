// Defaults and value copies of the processor settings image.
#include "devices/processor/NerexSeriesMemory.h"

#include <algorithm>

NerexChannelName MakeChannelName(std::string_view text) {
  NerexChannelName name;
  name.fill(' ');
  std::copy_n(text.begin(), std::min<std::size_t>(text.size(), name.size()), name.begin());
  return name;
}

NerexInputSection::NerexInputSection() {
  for (auto& n : names) n.fill(' ');
}

void NerexInputSection::CopyFrom(const NerexInputSection& source) {
  linkMasks = source.linkMasks;
  gains = source.gains;
  delays = source.delays;
  muteMask = source.muteMask;
  peqBands = source.peqBands;
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
  highPass = source.highPass;
  lowPass = source.lowPass;
  peqBands = source.peqBands;
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
  deqBands = source.deqBands;
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
