// Stored code ranges and the range check of a settings image.
#include "devices/processor/NerexValueRanges.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <type_traits>
#include <vector>

#include "devices/processor/NerexChannelRules.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexSeriesMemory.h"
#include "platform/TextFormat.h"

namespace {

// How a code reads in the report.
enum class EUnit { Code, TenthsDb, DelayMs };

// The widest range of a parametric band's field over every filter type.
NerexCodeRange WidestBandRange(int fieldKind) {
  NerexCodeRange widest{0, 0};
  for (int type = 0; type <= 12; ++type) {
    std::int32_t low = 0, high = 0;
    GetRangeLimits(fieldKind, type, low, high);
    widest.low = std::min(widest.low, int(low));
    widest.high = std::max(widest.high, int(high));
  }
  return widest;
}

// A stored image may hold the compressor release of a new image.
constexpr NerexCodeRange kStoredCompressorReleaseCodes{0, 51};
constexpr NerexCodeRange kStoredInputGainCodes{-400, 150};
constexpr NerexCodeRange kGeqBandCodes{-150, 150};
constexpr NerexCodeRange kDeqModeCodes{0, 3};
constexpr NerexCodeRange kDeqKindCodes{0, 3};
constexpr NerexCodeRange kFlagCodes{0, 1};

class CRangeCheck {
 public:
  explicit CRangeCheck(bool clamp) : m_clamp(clamp) {}

  // Where the next fields lie: "input 1", "output 3 band 2"... (numbers from 1; band -1: none).
  void At(const char* section, int channel, int band = -1) {
    m_section = section;
    m_channel = channel;
    m_band = band;
  }

  // A file holds thousands of images: the check of a value within its range stays inline.
  template <class T>
  void Field(T& value, NerexCodeRange range, const char* name, EUnit unit = EUnit::Code) {
    if (range.Holds(static_cast<long long>(value))) [[likely]]
      return;
    Outside(value, range, name, unit);
  }
  // The bits of byte under mask, as a code; the other bits stay.
  void MaskedField(std::uint8_t& byte, std::uint8_t mask, NerexCodeRange range, const char* name) {
    std::uint8_t code = byte & mask;
    if (range.Holds(code)) [[likely]]
      return;
    Outside(code, range, name, EUnit::Code);
    byte = std::uint8_t((byte & ~mask) | code);
  }

  NerexRangeReport Take() { return std::move(m_report); }

 private:
  template <class T>
  [[gnu::noinline]] void Outside(T& value, NerexCodeRange range, const char* name, EUnit unit) {
    const long long v = static_cast<long long>(value);
    if (m_report.count++ == 0) m_report.first = Describe(name, v, range, unit);
    if (m_clamp) value = static_cast<T>(v < range.low ? range.low : range.high);
  }

  std::string Describe(const char* name, long long v, NerexCodeRange range, EUnit unit) const {
    const std::string where = m_band >= 0      ? FormatText("%s %d band %d", m_section, m_channel, m_band)
                              : m_channel > 0 ? FormatText("%s %d", m_section, m_channel)
                                              : std::string(m_section);
    switch (unit) {
      case EUnit::TenthsDb:
        return FormatText("%s %s %.1f dB, outside %.1f to %.1f dB", where.c_str(), name, double(v) / 10.0,
                          range.low / 10.0, range.high / 10.0);
      case EUnit::DelayMs:
        return FormatText("%s %s %.2f ms, outside %.2f to %.2f ms", where.c_str(), name, double(v) * 8.138e-05,
                          range.low * 8.138e-05, range.high * 8.138e-05);
      case EUnit::Code:
        return FormatText("%s %s %lld, outside %d to %d", where.c_str(), name, v, range.low, range.high);
    }
    return {};
  }

  bool m_clamp;
  const char* m_section = "";
  int m_channel = 0;
  int m_band = -1;
  NerexRangeReport m_report;
};

// The widest ranges of a parametric band's fields over every filter type.
struct BandRanges {
  NerexCodeRange gain = WidestBandRange(kRangeGain);
  NerexCodeRange frequency = WidestBandRange(kRangeFrequency);
  NerexCodeRange q = WidestBandRange(kRangeQ);
};

const BandRanges& GetBandRanges() {
  static const BandRanges ranges;
  return ranges;
}

template <class Check>
void CheckBand(Check& check, NerexEqBand& band, const BandRanges& ranges) {
  check.MaskedField(band.type, 0x7F, kFilterTypeCodes, "filter type");
  check.Field(band.q, ranges.q, "Q code");
  check.Field(band.frequency, ranges.frequency, "frequency code");
  check.Field(band.gain, ranges.gain, "gain", EUnit::TenthsDb);
}

template <class Check>
void CheckInputs(Check& check, NerexInputSection& in, NerexCodeRange gains, const BandRanges& bands) {
  for (int i = 0; i < kNerexMaxInputs; ++i) {
    const auto u = std::size_t(i);
    check.At("input", i + 1);
    check.Field(in.gains[u], gains, "gain", EUnit::TenthsDb);
    check.Field(in.delays[u], kDelayCodes, "delay", EUnit::DelayMs);
    for (int o = 0; o < kNerexMaxOutputs; ++o)
      check.Field(in.matrixGains[std::size_t(o)][u], kMatrixGainCodes, "matrix gain", EUnit::TenthsDb);
    for (int b = 0; b < kNerexInputPeqBands; ++b) {
      check.At("input", i + 1, b + 1);
      CheckBand(check, in.PeqBand(i, b), bands);
    }
  }
}

template <class Check>
void CheckOutputs(Check& check, NerexOutputSection& out, const BandRanges& bands) {
  check.At("outputs", 0);
  check.Field(out.autoLimiters, kFlagCodes, "auto limiters flag");
  check.Field(out.compressorLimiters, kFlagCodes, "compressor limiters flag");
  check.Field(out.mixerFlag, kFlagCodes, "mixing mode flag");
  for (int o = 0; o < kNerexMaxOutputs; ++o) {
    const auto u = std::size_t(o);
    check.At("output", o + 1);
    check.Field(out.gains[u], kOutputGainCodes, "gain", EUnit::TenthsDb);
    check.Field(out.trims[u], kOutputTrimCodes, "trim", EUnit::TenthsDb);
    check.Field(out.delays[u], kDelayCodes, "delay", EUnit::DelayMs);
    for (auto& level : out.matrixLevels[u]) check.Field(level, kMatrixLevelCodes, "matrix level code");
    NerexLimiter& l = out.limiters[u];
    check.Field(l.level, kLimiterLevelCodes, "limiter level code");
    check.Field(l.attack, kLimiterAttackCodes, "limiter attack code");
    check.Field(l.release, kLimiterReleaseCodes, "limiter release code");
    check.Field(l.clipLevel, kLimiterClipLevelCodes, "limiter clip level code");
    check.Field(l.clipRelease, kLimiterClipReleaseCodes, "limiter clip release code");
    check.Field(out.highPass[u].q, kCrossoverTypeCodes, "high-pass type");
    check.Field(out.highPass[u].frequency, kHighPassCodes, "high-pass frequency code");
    check.Field(out.lowPass[u].q, kCrossoverTypeCodes, "low-pass type");
    check.Field(out.lowPass[u].frequency, kLowPassCodes, "low-pass frequency code");
    NerexCompressor& c = out.compressors[u];
    check.Field(c.threshold, kCompressorThresholdCodes, "compressor threshold code");
    check.Field(c.attack, kCompressorAttackCodes, "compressor attack code");
    check.Field(c.release, kStoredCompressorReleaseCodes, "compressor release code");
    check.Field(c.ratio, kCompressorRatioCodes, "compressor ratio code");
    check.Field(c.softKnee, kCompressorKneeCodes, "compressor knee code");
    check.Field(c.bypass, kFlagCodes, "compressor bypass");
    for (int b = 0; b < kNerexOutputPeqBands; ++b) {
      check.At("output", o + 1, b + 1);
      CheckBand(check, out.PeqBand(o, b), bands);
    }
  }
}

template <class Check>
void CheckGeq(Check& check, NerexGeqBlock& geq) {
  for (int i = 0; i < kNerexMaxInputs; ++i) {
    const auto u = std::size_t(i);
    check.At("graphic EQ input", i + 1);
    check.Field(geq.modes[u], kFlagCodes, "Q shape");
    check.Field(geq.bypass[u], kFlagCodes, "bypass");
    for (auto& g : geq.bands[u]) check.Field(g, kGeqBandCodes, "band gain", EUnit::TenthsDb);
  }
}

template <class Check>
void CheckDeq(Check& check, CNerexSeriesMemory& m, const BandRanges& bands) {
  const NerexCodeRange qs = bands.q;
  check.At("dynamic EQ", 0);
  check.Field(m.deqMode, kFlagCodes, "mode flag");
  check.Field(m.deqLinking, kFlagCodes, "linking flag");
  for (int i = 0; i < kNerexMaxInputs; ++i)
    for (int b = 0; b < kNerexDeqBandsPerInput; ++b) {
      check.At("dynamic EQ input", i + 1, b + 1);
      NerexDeqBand& d = m.DeqBand(i, b);
      check.Field(d.mode, kDeqModeCodes, "mode");
      check.Field(d.q, qs, "Q code");
      check.Field(d.frequency, kDeqFrequencyCodes, "frequency code");
      check.Field(d.effect, kDeqEffectCodes, "effect code");
      check.Field(d.threshold, kDeqThresholdCodes, "threshold code");
      check.Field(d.ratio, kDeqRatioCodes, "ratio code");
      check.Field(d.attack, kDeqAttackCodes, "attack code");
      check.Field(d.release, kDeqReleaseCodes, "release code");
      check.Field(d.filterKind, kDeqKindCodes, "filter kind");
      check.Field(d.bypass, kFlagCodes, "bypass");
    }
}

}  // namespace

int GetInputGainHighCode(int model) {
  if (IsFennickModel(model)) return 150;
  if (IsNerexSmallModel(model) || model == kModelTorvex48) return 60;
  return 32767;
}

float BoundedForCode(float value) {
  if (std::isnan(value)) return 0.0f;
  return std::clamp(value, -1.0e6f, 1.0e6f);
}

namespace {

// The input gains a stored image of the model may hold: the model's own limit, and +15 dB at most.
NerexCodeRange StoredInputGainCodes(int model) {
  return {kStoredInputGainCodes.low, std::min(kStoredInputGainCodes.high, GetInputGainHighCode(model))};
}

// The field list of the check, walked by CRangeCheck and by CBoundsBuilder.
template <class Check>
void CheckImage(Check& check, CNerexSeriesMemory& memory, NerexCodeRange inputGains) {
  const BandRanges& bands = GetBandRanges();
  CheckInputs(check, memory.inputs, inputGains, bands);
  CheckOutputs(check, memory.outputs, bands);
  CheckGeq(check, memory.geq);
  CheckDeq(check, memory, bands);
}

// The ranges of the check laid over an image's bytes, 32 at a time, so that whether any value
// lies outside is found with a few vector operations per 32 bytes instead of two comparisons
// and a branch per value: a file holds thousands of images. Each 32 bytes that hold fields of
// one width are checked as lanes of that width: a lane is masked, moved into the signed range
// (unsigned codes have their top bit flipped, which keeps their order) and compared with its
// bounds; lanes without a field take every value. Built once from the check's own field list,
// so the two cannot differ.
constexpr std::size_t kVectorBytes = 32;

template <class Lane>
using Vector [[gnu::vector_size(kVectorBytes)]] = Lane;
static_assert(sizeof(CNerexSeriesMemory) >= kVectorBytes && sizeof(CNerexSeriesMemory) % 8 == 0);

// Plain arrays, loaded as vectors where they lie: the table needs no alignment of its own.
template <class Lane>
struct LaneBounds {
  using Lanes = std::array<Lane, kVectorBytes / sizeof(Lane)>;
  std::size_t at = 0;  // the 32 bytes' offset in the image
  Lanes mask{}, flip{}, low{}, high{};
};

template <class Lane>
bool AnyLaneOutside(const unsigned char* image, const std::vector<LaneBounds<Lane>>& table) {
  Vector<Lane> outside{}, v, mask, flip, low, high;
  for (const LaneBounds<Lane>& b : table) {
    std::memcpy(&v, image + b.at, sizeof v);
    std::memcpy(&mask, b.mask.data(), sizeof mask);
    std::memcpy(&flip, b.flip.data(), sizeof flip);
    std::memcpy(&low, b.low.data(), sizeof low);
    std::memcpy(&high, b.high.data(), sizeof high);
    v = (v & mask) ^ flip;
    outside |= (v < low) | (v > high);
  }
  std::uint64_t words[kVectorBytes / 8];
  std::memcpy(words, &outside, sizeof words);
  std::uint64_t any = 0;
  for (std::uint64_t w : words) any |= w;
  return any != 0;
}

class CBoundsBuilder {
 public:
  explicit CBoundsBuilder(const CNerexSeriesMemory& image) : m_base(reinterpret_cast<const unsigned char*>(&image)) {}

  void At(const char*, int, int = -1) {}
  template <class T>
  void Field(T& value, NerexCodeRange range, const char*, EUnit = EUnit::Code) {
    static_assert(std::is_integral_v<T> && sizeof(T) <= 4);
    Add(value, T(~T(0)), range);
  }
  void MaskedField(std::uint8_t& byte, std::uint8_t mask, NerexCodeRange range, const char*) { Add(byte, mask, range); }

  std::vector<LaneBounds<std::int8_t>> bytes;
  std::vector<LaneBounds<std::int16_t>> halves;
  std::vector<LaneBounds<std::int32_t>> words;

 private:
  template <class T>
  void Add(const T& value, T mask, NerexCodeRange range) {
    using Lane = std::make_signed_t<T>;
    const std::size_t offset = std::size_t(reinterpret_cast<const unsigned char*>(&value) - m_base);
    // The 32 bytes the field lies in, the last 32 of the image near its end (the image's size is
    // a multiple of any field's).
    const std::size_t at = std::min(offset / kVectorBytes * kVectorBytes, sizeof(CNerexSeriesMemory) - kVectorBytes);
    assert(offset % sizeof(T) == 0 && at % sizeof(T) == 0);
    LaneBounds<Lane>& b = Bounds(Table<Lane>(), at);
    const std::size_t lane = (offset - at) / sizeof(T);
    // The range within the type's; an unsigned code c becomes c - half as a signed lane.
    const long long half = 1LL << (8 * sizeof(T) - 1);
    const long long shift = std::is_signed_v<T> ? 0 : half;
    const long long typeLow = std::is_signed_v<T> ? -half : 0;
    const long long typeHigh = std::is_signed_v<T> ? half - 1 : 2 * half - 1;
    b.mask[lane] = Lane(mask);
    b.flip[lane] = Lane(std::is_signed_v<T> ? 0 : std::numeric_limits<Lane>::min());
    b.low[lane] = Lane(std::max<long long>(range.low, typeLow) - shift);
    b.high[lane] = Lane(std::min<long long>(range.high, typeHigh) - shift);
  }

  template <class Lane>
  std::vector<LaneBounds<Lane>>& Table() {
    if constexpr (sizeof(Lane) == 1) return bytes;
    else if constexpr (sizeof(Lane) == 2) return halves;
    else return words;
  }

  // The bounds of the 32 bytes at, made with every lane open when new.
  template <class Lane>
  LaneBounds<Lane>& Bounds(std::vector<LaneBounds<Lane>>& table, std::size_t at) {
    for (auto& b : table)
      if (b.at == at) return b;
    LaneBounds<Lane> b;
    b.at = at;
    for (std::size_t k = 0; k < kVectorBytes / sizeof(Lane); ++k) {
      b.low[k] = std::numeric_limits<Lane>::min();
      b.high[k] = std::numeric_limits<Lane>::max();
    }
    table.push_back(b);
    return table.back();
  }

  const unsigned char* m_base;
};

CBoundsBuilder BuildImageBounds(NerexCodeRange inputGains) {
  CNerexSeriesMemory image;
  CBoundsBuilder builder(image);
  CheckImage(builder, image, inputGains);
  return builder;
}

// The bounds of a model's images, built once for each of the two input gain limits models have.
const CBoundsBuilder& GetImageBounds(int model) {
  static const NerexCodeRange sixDbGains = StoredInputGainCodes(kModelNerex48);
  static const CBoundsBuilder sixDb = BuildImageBounds(sixDbGains);
  static const CBoundsBuilder fifteenDb = BuildImageBounds(kStoredInputGainCodes);
  const int high = StoredInputGainCodes(model).high;
  assert(high == sixDbGains.high || high == kStoredInputGainCodes.high);
  return high == sixDbGains.high ? sixDb : fifteenDb;
}

inline bool AnyValueOutsideOf(const CNerexSeriesMemory& memory, const CBoundsBuilder& bounds) {
  const auto* image = reinterpret_cast<const unsigned char*>(&memory);
  return AnyLaneOutside(image, bounds.bytes) || AnyLaneOutside(image, bounds.halves) ||
         AnyLaneOutside(image, bounds.words);
}

[[gnu::flatten]] bool AnyValueOutsidePlain(const CNerexSeriesMemory& memory, const CBoundsBuilder& bounds) {
  return AnyValueOutsideOf(memory, bounds);
}

#if defined(__x86_64__) && defined(__GNUC__)
// The same test built for 32-byte vectors. It is chosen on the first call rather than by the
// loader's resolver, which runs before a sanitizer's runtime is ready.
[[gnu::target("avx2"), gnu::flatten]] bool AnyValueOutsideAvx2(const CNerexSeriesMemory& memory,
                                                                 const CBoundsBuilder& bounds) {
  return AnyValueOutsideOf(memory, bounds);
}

bool AnyValueOutside(const CNerexSeriesMemory& memory, const CBoundsBuilder& bounds) {
  static const auto test = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") ? &AnyValueOutsideAvx2 : &AnyValueOutsidePlain;
  }();
  return test(memory, bounds);
}
#else
bool AnyValueOutside(const CNerexSeriesMemory& memory, const CBoundsBuilder& bounds) {
  return AnyValueOutsidePlain(memory, bounds);
}
#endif

}  // namespace

NerexRangeReport CheckMemoryValues(CNerexSeriesMemory& memory, int model, bool clamp) {
  if (!AnyValueOutside(memory, GetImageBounds(model))) return {};
  CRangeCheck check(clamp);
  CheckImage(check, memory, StoredInputGainCodes(model));
  return check.Take();
}
