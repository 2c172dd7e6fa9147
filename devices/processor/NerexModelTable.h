// Model facts of the processor family: names and channel counts by type code, graphic-EQ band
// labels, the permitted ranges of parametric-EQ band fields, and the automatic dynamics times
// ("Auto Limiters", "Compressor Limiters") derived from each output's crossover high-pass.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "devices/processor/NerexSeriesMemory.h"

// Type codes of the processor models.
enum ENerexModel : int {
  kModelFennick = 16,
  kModelZelFennick = 17,
  kModelCalder26 = 110,
  kModelCalder48 = 112,  // also the Hollin2, told apart by the hardware code
  kModelNerexSeries = 113,  // the generic family entry: a name, no channels
  kModelNerex24 = 114,
  kModelNerex26 = 115,
  kModelNerex44 = 116,
  kModelNerex46 = 118,
  kModelNerex48 = 120,
  kModelTorvex48 = 121,
};

// Hardware codes (the model index that discovery reports) that change a model's behaviour.
inline constexpr std::uint32_t kHardwareHollin2 = 0x1C4A21;
inline constexpr std::uint32_t kHardwareCalder48 = 0x1C201C;
inline constexpr std::uint32_t kHardwareReducedFilters = 0x1A1F7C;  // a Calder unit without some filter types

// Display name; empty for a type code that is no processor model.
std::string GetModelName(int model, std::uint32_t hardwareCode);
// Channel counts; 0 for a type code that is no processor model (and for 113).
int GetInputCount(int model);
int GetOutputCount(int model);

// "31Hz" .. "16kHz" for bands 0..27; empty for any other band.
std::string GetGeqBandLabel(int band);

// Field kinds of GetRangeLimits.
enum : int {
  kRangeGain = 1,       // tenths of a dB
  kRangeFrequency = 2,  // frequency code
  kRangeQ = 3,          // Q code
};

// Bounds of a parametric-EQ band field for a filter type (the type byte without its bypass bit).
// Types outside 1..12 take the defaults. An unknown field kind gives 0..0.
void GetRangeLimits(int fieldKind, int filterType, std::int32_t& minimum, std::int32_t& maximum);

// Dynamics time codes that follow a crossover high-pass frequency code.
std::uint8_t GetAutoLimiterAttack(std::uint16_t highPassFrequency);
std::uint8_t GetAutoCompressorAttack(std::uint16_t highPassFrequency);
std::uint8_t GetAutoCompressorRelease(std::uint16_t highPassFrequency);

// Stores the "Auto Limiters" flag; when on, sets every output's limiter attack from its
// high-pass frequency, its release to 3 and its clip release to 1 (all eight outputs, whatever
// the model). Returns the parameter ids to announce, in order, on or off: per output the
// limiter attack, release and clip release, then "Auto Limiters". Sends nothing.
std::vector<std::int32_t> ApplyAutoLimiters(NerexOutputSection& outputs, bool on);

// The same for the "Compressor Limiters" flag and the compressor attack and release; announces
// per output the compressor attack and release, then "Compressor Limiters".
std::vector<std::int32_t> ApplyCompressorLimiters(NerexOutputSection& outputs, bool on);
