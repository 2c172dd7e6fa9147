// Preset lists, memory defaults, the delay budget, gain clamps and filter fix-ups.
#include "devices/processor/NerexPresets.h"

#include <algorithm>
#include <charconv>
#include <new>
#include <string>

#include "devices/processor/NerexChannelRules.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexParamIds.h"

namespace {

void SetCrossover(NerexEqBand& band, std::uint8_t type, std::uint16_t frequency) {
  band.type = type;
  band.q = 6;
  band.frequency = frequency;
  band.gain = 0;
}

// The parameter ids of the family, one block of each kind that every image made with the
// defaults shares.
struct DefaultIds {
  NerexInputPeqIds inputPeq;
  NerexCrossoverIds highPass;
  NerexCrossoverIds lowPass;
  NerexOutputPeqIds outputPeq;
  NerexDeqIds deq;

  DefaultIds() {
    NerexInputPeqIds::Array in;
    for (std::uint32_t n = 0; n < in.size(); ++n)
      in[n] = {kParamInputPeqType + n, kParamInputPeqQ + n, kParamInputPeqFrequency + n, kParamInputPeqGain + n};
    inputPeq.SetAll(in);
    NerexCrossoverIds::Array hp, lp;
    for (std::uint32_t o = 0; o < hp.size(); ++o) {
      hp[o] = {kParamHighPassType + o, 0, kParamHighPassFrequency + o, 0};
      lp[o] = {kParamLowPassType + o, 0, kParamLowPassFrequency + o, 0};
    }
    highPass.SetAll(hp);
    lowPass.SetAll(lp);
    NerexOutputPeqIds::Array out;
    for (std::uint32_t n = 0; n < out.size(); ++n)
      out[n] = {kParamOutputPeqType + n, kParamOutputPeqQ + n, kParamOutputPeqFrequency + n, kParamOutputPeqGain + n};
    outputPeq.SetAll(out);
    NerexDeqIds::Array d;
    for (std::uint32_t j = 0; j < d.size(); ++j)
      d[j] = {kParamDeqMode + j,      kParamDeqQ + j,      kParamDeqFrequency + j,
              kParamDeqEffect + j,    kParamDeqThreshold + j, kParamDeqRatio + j,
              kParamDeqAttack + j,    kParamDeqRelease + j,   kParamDeqFilterKind + j};
    deq.SetAll(d);
  }
};

const DefaultIds& GetDefaultIds() {
  static const DefaultIds ids;
  return ids;
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
  const DefaultIds& ids = GetDefaultIds();
  memory.inputs.peqIds = ids.inputPeq;
  memory.outputs.highPassIds = ids.highPass;
  memory.outputs.lowPassIds = ids.lowPass;
  memory.outputs.peqIds = ids.outputPeq;
  memory.deqIds = ids.deq;
  for (int c = 0; c < kNerexMaxInputs; ++c)
    memory.inputs.names[c] = MakeChannelName(std::string("Ch ") + char('A' + c));
  for (int o = 0; o < kNerexMaxOutputs; ++o) {
    SetCrossover(memory.outputs.highPass[o], 3, 12);
    SetCrossover(memory.outputs.lowPass[o], 4, 433);
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
  // The room of all new presets is taken first, so that the next one's lines are on their way
  // into the cache while one is copied: a file's thousands of presets go to memory that has
  // long left the cache, and copies one after another would each wait for their own.
  struct Release {
    void operator()(void* p) const { ::operator delete(p); }
  };
  std::vector<std::unique_ptr<void, Release>> room;
  room.reserve(n - list.size());
  while (list.size() + room.size() < n) room.emplace_back(::operator new(sizeof(CNerexSeriesMemory)));
  char name[32] = "Preset ";
  constexpr std::size_t kPrefix = 7;
  for (std::size_t k = 0; k < room.size(); ++k) {
    if (k + 1 < room.size())
      for (std::size_t at = 0; at < sizeof(CNerexSeriesMemory); at += 64)
        __builtin_prefetch(static_cast<char*>(room[k + 1].get()) + at, 1);
    auto* memory = new (room[k].get()) CNerexSeriesMemory(defaults);
    room[k].release();
    list.push_back(std::unique_ptr<CNerexSeriesMemory>(memory));
    const auto end = std::to_chars(name + kPrefix, name + sizeof name, list.size()).ptr;
    memory->name.assign(name, end);
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
