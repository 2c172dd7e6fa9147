// The ranges of a processor's stored codes: the codes the change path writes (and the panels
// show, whatever a unit reported), and the check of a whole settings image read from a preset
// file or a system file against the ranges a stored image holds.
#pragma once

#include <cstdint>
#include <string>

class CNerexSeriesMemory;

struct NerexCodeRange {
  int low;
  int high;
  constexpr int Clamp(int v) const { return v < low ? low : v > high ? high : v; }
  constexpr bool Holds(long long v) const { return v >= low && v <= high; }
};

// Codes the change path writes. Gains and trims in tenths of a dB, delays in delay units.
inline constexpr NerexCodeRange kOutputGainCodes{-400, 150};
inline constexpr NerexCodeRange kOutputTrimCodes{-120, 120};
inline constexpr NerexCodeRange kDelayCodes{0, 7987200};
inline constexpr NerexCodeRange kMatrixGainCodes{-401, 150};   // -401: off
inline constexpr NerexCodeRange kMatrixLevelCodes{0, 551};     // Torvex48 attenuations
inline constexpr NerexCodeRange kLimiterLevelCodes{0, 32};     // dB = 22 - code
inline constexpr NerexCodeRange kLimiterClipLevelCodes{2, 12};
inline constexpr NerexCodeRange kLimiterAttackCodes{0, 19};    // the attack list
inline constexpr NerexCodeRange kLimiterReleaseCodes{0, 4};    // the release list
inline constexpr NerexCodeRange kLimiterClipReleaseCodes{0, 2};
inline constexpr NerexCodeRange kHighPassCodes{12, 396};
inline constexpr NerexCodeRange kLowPassCodes{78, 433};
inline constexpr NerexCodeRange kCrossoverTypeCodes{0, 11};
inline constexpr NerexCodeRange kFilterTypeCodes{0, 12};  // a parametric band's type
inline constexpr NerexCodeRange kCompressorThresholdCodes{0, 44};  // dB = 22 - code
inline constexpr NerexCodeRange kCompressorRatioCodes{0, 16};
inline constexpr NerexCodeRange kCompressorAttackCodes{0, 51};
inline constexpr NerexCodeRange kCompressorReleaseCodes{0, 25};  // shown as quarter step code + 37
inline constexpr NerexCodeRange kCompressorKneeCodes{0, 12};
inline constexpr NerexCodeRange kDeqThresholdCodes{0, 108};  // dB = (44 - code) / 2
inline constexpr NerexCodeRange kDeqRatioCodes{0, 16};
inline constexpr NerexCodeRange kDeqAttackCodes{0, 59};
inline constexpr NerexCodeRange kDeqReleaseCodes{0, 33};     // shown as quarter step code + 29
inline constexpr NerexCodeRange kDeqEffectCodes{0, 12};      // dB = code + 6
inline constexpr NerexCodeRange kDeqFrequencyCodes{48, 432};

// The highest input gain code of a model: +15 dB on the Fennick models, +6 dB on the Calder,
// Hollin, Nerex and Torvex models; others have no limit of their own (the code's int16 range).
int GetInputGainHighCode(int model);

// A typed or linked value brought within +-1e6 (NaN becomes 0) before it is rounded to a code,
// so that no arithmetic on the rounded code can overflow.
float BoundedForCode(float value);

// What a range check of a settings image found: how many values lay outside their ranges and
// the first of them in words ("input 1 gain 3276.7 dB, outside -40.0 to 15.0 dB").
struct NerexRangeReport {
  int count = 0;
  std::string first;
};

// Checks every value of the image against the range a stored image of the model may hold: the
// change path's ranges (the input gains to the model's own limit), widened where a new image's
// defaults lie outside them (the compressor release of a new image is 51) and, for the
// parametric bands, the widest range of any filter type.
// Names, masks, flags words and lock bytes take any value. With clamp each value outside is
// moved to the nearer end of its range; without, the image is left as it is.
NerexRangeReport CheckMemoryValues(CNerexSeriesMemory& memory, int model, bool clamp);
