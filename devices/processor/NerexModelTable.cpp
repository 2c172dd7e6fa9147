// Model table, band labels, EQ field ranges and the automatic dynamics times.
#include "devices/processor/NerexModelTable.h"

#include <array>

#include "devices/processor/NerexParamIds.h"

namespace {

struct ModelRow {
  int model;
  const char* name;
  int inputs;
  int outputs;
};

constexpr std::array<ModelRow, 11> kModels{{
    {kModelFennick, "Fennick", 4, 8},
    {kModelZelFennick, "Zel-Fennick", 4, 8},
    {kModelCalder26, "Calder26", 2, 6},
    {kModelCalder48, "Calder48", 4, 8},
    {kModelNerexSeries, "Nerex-Series", 0, 0},
    {kModelNerex24, "Nerex24", 2, 4},
    {kModelNerex26, "Nerex26", 2, 6},
    {kModelNerex44, "Nerex44", 4, 4},
    {kModelNerex46, "Nerex46", 4, 6},
    {kModelNerex48, "Nerex48", 4, 8},
    {kModelTorvex48, "Torvex48", 4, 8},
}};

const ModelRow* FindModel(int model) {
  for (const auto& row : kModels)
    if (row.model == model) return &row;
  return nullptr;
}

constexpr std::array<const char*, kNerexGeqBands> kGeqLabels{
    "31Hz",  "40Hz",  "50Hz",   "63Hz",  "80Hz",  "100Hz",   "125Hz", "160Hz", "200Hz", "250Hz",
    "315Hz", "400Hz", "500Hz",  "630Hz", "800Hz", "1kHz",    "1.25kHz", "1.6kHz", "2kHz", "2.5kHz",
    "3.15kHz", "4kHz", "5kHz", "6.3kHz", "8kHz",  "10kHz",   "12.5kHz", "16kHz"};

struct Range {
  std::int16_t minimum;
  std::int16_t maximum;
};

struct RangeRow {
  Range gain;
  Range frequency;
  Range q;
};

// Index 0 holds the defaults (type 0 and every type outside 1..12).
constexpr std::array<RangeRow, 13> kRanges{{
    {{-300, 150}, {48, 432}, {0, 100}},
    {{-150, 150}, {48, 396}, {84, 108}},
    {{-150, 150}, {78, 432}, {84, 108}},
    {{0, 0}, {12, 432}, {0, 11}},
    {{0, 0}, {78, 433}, {0, 11}},
    {{0, 0}, {48, 432}, {0, 100}},
    {{0, 0}, {48, 432}, {0, 100}},
    {{0, 0}, {48, 432}, {0, 108}},
    {{0, 0}, {78, 396}, {0, 89}},
    {{0, 0}, {78, 433}, {65, 100}},
    {{0, 0}, {12, 432}, {65, 100}},
    {{0, 0}, {78, 433}, {72, 72}},
    {{0, 0}, {12, 432}, {72, 72}},
}};

// Octave band of a high-pass frequency code: 0 below 72 (31.25 Hz), 1 for 72..107, ...,
// 6 for 252..287, 7 from 288 (2 kHz) on.
int OctaveBand(std::uint16_t f) {
  if (f < 72) return 0;
  const int band = (f - 72) / 36 + 1;
  return band > 7 ? 7 : band;
}

}  // namespace

std::string GetModelName(int model, std::uint32_t hardwareCode) {
  if (model == kModelCalder48 && hardwareCode == kHardwareHollin2) return "Hollin2";
  const ModelRow* row = FindModel(model);
  return row ? row->name : "";
}

int GetInputCount(int model) {
  const ModelRow* row = FindModel(model);
  return row ? row->inputs : 0;
}

int GetOutputCount(int model) {
  const ModelRow* row = FindModel(model);
  return row ? row->outputs : 0;
}

std::string GetGeqBandLabel(int band) {
  if (band < 0 || band >= kNerexGeqBands) return "";
  return kGeqLabels[band];
}

void GetRangeLimits(int fieldKind, int filterType, std::int32_t& minimum, std::int32_t& maximum) {
  const RangeRow& row = kRanges[(filterType >= 1 && filterType <= 12) ? filterType : 0];
  Range range{0, 0};
  switch (fieldKind) {
    case kRangeGain: range = row.gain; break;
    case kRangeFrequency: range = row.frequency; break;
    case kRangeQ: range = row.q; break;
    default: break;
  }
  minimum = range.minimum;
  maximum = range.maximum;
}

std::uint8_t GetAutoLimiterAttack(std::uint16_t highPassFrequency) {
  static constexpr std::array<std::uint8_t, 8> kAttack{17, 14, 12, 10, 8, 6, 4, 2};
  return kAttack[OctaveBand(highPassFrequency)];
}

std::uint8_t GetAutoCompressorAttack(std::uint16_t highPassFrequency) {
  static constexpr std::array<std::uint8_t, 8> kAttack{39, 35, 31, 27, 23, 19, 15, 15};
  return kAttack[OctaveBand(highPassFrequency)];
}

std::uint8_t GetAutoCompressorRelease(std::uint16_t highPassFrequency) {
  static constexpr std::array<std::uint8_t, 8> kRelease{18, 14, 10, 6, 2, 0, 0, 0};
  return kRelease[OctaveBand(highPassFrequency)];
}

std::vector<std::int32_t> ApplyAutoLimiters(NerexOutputSection& outputs, bool on) {
  outputs.autoLimiters = on ? 1 : 0;
  std::vector<std::int32_t> announce;
  for (int o = 0; o < kNerexMaxOutputs; ++o) {
    if (on) {
      NerexLimiter& limiter = outputs.limiters[o];
      limiter.attack = GetAutoLimiterAttack(outputs.highPass[o].frequency);
      limiter.release = 3;
      limiter.clipRelease = 1;
    }
    announce.push_back(kParamLimiterAttack + o);
    announce.push_back(kParamLimiterRelease + o);
    announce.push_back(kParamLimiterClipRelease + o);
  }
  announce.push_back(kParamAutoLimiters);
  return announce;
}

std::vector<std::int32_t> ApplyCompressorLimiters(NerexOutputSection& outputs, bool on) {
  outputs.compressorLimiters = on ? 1 : 0;
  std::vector<std::int32_t> announce;
  for (int o = 0; o < kNerexMaxOutputs; ++o) {
    if (on) {
      NerexCompressor& compressor = outputs.compressors[o];
      compressor.attack = GetAutoCompressorAttack(outputs.highPass[o].frequency);
      compressor.release = GetAutoCompressorRelease(outputs.highPass[o].frequency);
    }
    announce.push_back(kParamCompressorAttack + o);
    announce.push_back(kParamCompressorRelease + o);
  }
  announce.push_back(kParamCompressorLimiters);
  return announce;
}
