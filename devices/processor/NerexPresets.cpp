// Preset lists, memory defaults, the delay budget, gain clamps and filter fix-ups.
#include "devices/processor/NerexPresets.h"

#include <algorithm>
#include <charconv>
#include <string>

#include "devices/processor/NerexChannelRules.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexParamIds.h"

namespace {

void SetCrossover(NerexEqBand& band, std::uint8_t type, std::uint16_t frequency, std::uint32_t typeId,
                  std::uint32_t frequencyId) {
  band.type = type;
  band.q = 6;
  band.frequency = frequency;
  band.gain = 0;
  band.typeId = typeId;
  band.qId = 0;
  band.frequencyId = frequencyId;
  band.gainId = 0;
}

void SetBandIds(NerexEqBand& band, std::uint32_t typeId, std::uint32_t qId, std::uint32_t frequencyId,
                std::uint32_t gainId) {
  band.typeId = typeId;
  band.qId = qId;
  band.frequencyId = frequencyId;
  band.gainId = gainId;
}

// What is left of the budget beside a stored delay; none when the stored delay is already
// at or beyond the limit.
std::uint32_t Budget(std::uint32_t stored) { return stored >= kNerexDelayLimit ? 0 : kNerexDelayLimit - stored; }

bool IsMissingFilterType(std::uint8_t typeByte) {
  switch (typeByte & 0x7F) {
    case 5: case 6: case 7: case 8: case 11: case 12: return true;
    default: return false;
  }
}

void FixBand(NerexEqBand& band) {
  if (!IsMissingFilterType(band.type)) return;
  band.type &= 0x80;
  band.gain = 0;
}

}  // namespace

void InitMemoryDefaults(CNerexSeriesMemory& memory) {
  for (int c = 0; c < kNerexMaxInputs; ++c) {
    for (int b = 0; b < kNerexInputPeqBands; ++b) {
      const std::uint32_t n = std::uint32_t(kNerexInputPeqBands * c + b);
      SetBandIds(memory.inputs.PeqBand(c, b), kParamInputPeqType + n, kParamInputPeqQ + n,
                 kParamInputPeqFrequency + n, kParamInputPeqGain + n);
    }
    memory.inputs.names[c] = MakeChannelName(std::string("Ch ") + char('A' + c));
  }
  for (int k = 0; k < kNerexDeqBands; ++k) {
    NerexDeqBand& band = memory.deqBands[k];
    const std::uint32_t j = std::uint32_t(k);
    band.modeId = kParamDeqMode + j;
    band.qId = kParamDeqQ + j;
    band.frequencyId = kParamDeqFrequency + j;
    band.effectId = kParamDeqEffect + j;
    band.thresholdId = kParamDeqThreshold + j;
    band.ratioId = kParamDeqRatio + j;
    band.attackId = kParamDeqAttack + j;
    band.releaseId = kParamDeqRelease + j;
    band.filterKindId = kParamDeqFilterKind + j;
  }
  for (int o = 0; o < kNerexMaxOutputs; ++o) {
    const std::uint32_t u = std::uint32_t(o);
    SetCrossover(memory.outputs.highPass[o], 3, 12, kParamHighPassType + u, kParamHighPassFrequency + u);
    SetCrossover(memory.outputs.lowPass[o], 4, 433, kParamLowPassType + u, kParamLowPassFrequency + u);
    for (int b = 0; b < kNerexOutputPeqBands; ++b) {
      const std::uint32_t n = std::uint32_t(kNerexOutputPeqBands * o + b);
      SetBandIds(memory.outputs.PeqBand(o, b), kParamOutputPeqType + n, kParamOutputPeqQ + n,
                 kParamOutputPeqFrequency + n, kParamOutputPeqGain + n);
    }
    memory.outputs.names[o] = MakeChannelName(std::string("Ch ") + char('1' + o));
  }
}

void ResizePresetList(CNerexMemoryList& list, std::size_t n) {
  if (list.size() > n) {
    list.resize(n);
    return;
  }
  // Every new preset starts as a copy of one default image: a copy is far cheaper than building
  // the defaults again, and a device or a file of many presets makes hundreds.
  static const CNerexSeriesMemory defaults = [] {
    CNerexSeriesMemory memory;
    InitMemoryDefaults(memory);
    return memory;
  }();
  list.reserve(n);
  char name[32] = "Preset ";
  constexpr std::size_t kPrefix = 7;
  while (list.size() < n) {
    auto memory = std::make_unique<CNerexSeriesMemory>(defaults);
    const auto end = std::to_chars(name + kPrefix, name + sizeof name, list.size() + 1).ptr;
    memory->name.assign(name, end);
    list.push_back(std::move(memory));
  }
}

std::uint32_t GetDelayValue(const CNerexSeriesMemory& image, int model, std::int32_t parameterId,
                            std::uint32_t proposed) {
  std::uint32_t v = std::min(proposed, kNerexDelayLimit);
  const int inputs = GetInputCount(model), outputs = GetOutputCount(model);
  if (parameterId >= kParamInputDelay && parameterId < kParamInputDelay + kNerexMaxInputs) {
    const int input = parameterId - kParamInputDelay;
    if (input >= inputs) return v;
    const int master = GetInputLinkMaster(image.inputs, input, inputs);
    for (int o = 0; o < outputs; ++o)
      if ((image.outputs.routingMasks[o] >> master) & 1) v = std::min(v, Budget(image.outputs.delays[o]));
  } else if (parameterId >= kParamOutputDelay && parameterId < kParamOutputDelay + kNerexMaxOutputs) {
    const int output = parameterId - kParamOutputDelay;
    if (output >= outputs) return v;
    const int master = GetOutputLinkMaster(image.outputs, output, outputs);
    for (int i = 0; i < inputs; ++i)
      if ((image.outputs.routingMasks[master] >> i) & 1) v = std::min(v, Budget(image.inputs.delays[i]));
  }
  return v;
}

void ClampGains(CNerexSeriesMemory& image, int model) {
  for (auto& g : image.inputs.gains) {
    if (IsFennickModel(model)) g = std::min<std::int16_t>(g, 150);
    if (IsNerexSmallModel(model) || model == kModelTorvex48) g = std::min<std::int16_t>(g, 60);
    g = std::max<std::int16_t>(g, -400);
  }
  for (auto& g : image.outputs.gains) g = std::clamp<std::int16_t>(g, -400, 150);
}

void ApplyHardwareVariantFixups(CNerexSeriesMemory& image, int model, std::uint32_t hardwareCode) {
  if (model != kModelCalder26 && model != kModelCalder48) return;
  if (hardwareCode != kHardwareReducedFilters && hardwareCode != kHardwareHollin2) return;
  for (auto& band : image.inputs.peqBands) FixBand(band);
  for (auto& band : image.outputs.peqBands) FixBand(band);
}
