// The settings image of a processor (live settings, preset memories, crossover presets) and
// its section records, laid out for the largest model: 4 inputs and 8 outputs.
// Units: gains in tenths of a dB, frequencies as frequency codes, delays in delay units.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class CArchive;
class CDataStream;

inline constexpr int kNerexMaxInputs = 4;
inline constexpr int kNerexMaxOutputs = 8;
inline constexpr int kNerexInputPeqBands = 8;   // per input
inline constexpr int kNerexOutputPeqBands = 9;  // per output
inline constexpr int kNerexDeqBandsPerInput = 3;
inline constexpr int kNerexDeqBands = kNerexMaxInputs * kNerexDeqBandsPerInput;
inline constexpr int kNerexGeqBands = 28;  // per input
inline constexpr int kNerexNameLength = 8;  // channel names: blank-padded, no terminator
inline constexpr int kNerexChannelGroupBytes = 32;

// Section flags of an image: which sections a memory holds. Only bits 0..3 carry meaning;
// bit 31 marks a stored file record and may stay set after loading.
enum : std::uint32_t {
  kSectionInputs = 0x1,
  kSectionOutputs = 0x2,  // outputs and crossover
  kSectionGeq = 0x4,
  kSectionDeq = 0x8,
  kSectionAll = 0xF,
  kSectionStoredMark = 0x80000000u,
};

// Byte indices in an output section's channel-group area. Bytes 1 to 16 are lock masks,
// bit o = output o: a set bit keeps that setting of that output from being changed or sent.
// Bytes 24 to 31 hold one byte per output. The other bytes are kept as they are.
enum : int {
  kGroupGainLockA = 1,  // the further lock that only the any-lock test reads
  kGroupGainLockB = 2,
  kGroupDelayLock = 3,
  kGroupLimiterLock = 4,
  kGroupPhaseLock = 5,
  kGroupHighPassLock = 6,
  kGroupLowPassLock = 7,
  kGroupPeqBandLock = 8,  // + band (0..8)
  kGroupPerOutput = 24,   // + output
};

using NerexChannelName = std::array<char, kNerexNameLength>;

// The name cut to 8 bytes and padded with blanks.
NerexChannelName MakeChannelName(std::string_view text);

// One filter band's six value bytes. The parameter ids of its fields are held by its section
// (NerexEqBandIds).
struct NerexEqBand {
  // PEQ band: filter type in bits 0-6, bit 7 set when bypassed. Crossover: 3 high-pass, 4 low-pass.
  std::uint8_t type = 0;
  std::uint8_t q = 60;              // Q code (PEQ); slope / type code (crossover)
  std::uint16_t frequency = 252;    // frequency code (252 = 1 kHz)
  std::int16_t gain = 0;            // tenths of a dB (PEQ only)

  // Copies the six value bytes (all a band holds; its ids lie with its section).
  void CopyValues(const NerexEqBand& source) { *this = source; }
  friend bool operator==(const NerexEqBand&, const NerexEqBand&) = default;
};

// The parameter id of each value field of a filter band (0 = none).
struct NerexEqBandIds {
  std::uint32_t typeId = 0;
  std::uint32_t qId = 0;
  std::uint32_t frequencyId = 0;
  std::uint32_t gainId = 0;
  friend bool operator==(const NerexEqBandIds&, const NerexEqBandIds&) = default;
};

// The parameter ids of N bands, held apart from their values. They are the same in nearly
// every image (the defaults set them), so images share one block: a copy or an assignment
// shares it, and an image gets a block of its own only when one of its ids is set to something
// else (copy on write). Equality compares the ids, shared or not. A block is written in place
// only while one image alone holds it and a shared one never, so the images of devices used on
// different threads may share a block; one image is used under its device's settings lock, as
// its values are.
template <class Ids, std::size_t N>
class CNerexIdBlock {
 public:
  using Array = std::array<Ids, N>;

  CNerexIdBlock() : m_ids(Zeros()) {}
  // A moved block keeps its ids: a copy of the pointer is all a move could save.
  CNerexIdBlock(const CNerexIdBlock&) = default;
  CNerexIdBlock& operator=(const CNerexIdBlock&) = default;

  const Ids& operator[](std::size_t i) const { return (*m_ids)[i]; }
  const Array& All() const { return *m_ids; }
  // Sets the ids of band i; a shared block is copied first when they differ.
  void Set(std::size_t i, const Ids& ids) {
    if ((*m_ids)[i] != ids) Own()[i] = ids;
  }
  void SetAll(const Array& ids) {
    if (*m_ids != ids) Own() = ids;
  }
  // True when both hold the same block (not merely equal ids).
  bool SharesWith(const CNerexIdBlock& other) const { return m_ids == other.m_ids; }

  friend bool operator==(const CNerexIdBlock& a, const CNerexIdBlock& b) {
    return a.m_ids == b.m_ids || *a.m_ids == *b.m_ids;
  }

 private:
  Array& Own() {
    if (m_ids.use_count() != 1) m_ids = std::make_shared<Array>(*m_ids);
    return *m_ids;
  }
  // The block of all-zero ids that new images share; it is never written (this reference
  // keeps it shared).
  static const std::shared_ptr<Array>& Zeros() {
    static const std::shared_ptr<Array> zeros = std::make_shared<Array>();
    return zeros;
  }

  std::shared_ptr<Array> m_ids;
};

struct NerexLimiter {
  std::uint8_t level = 0;
  std::uint8_t attack = 17;
  std::uint8_t release = 3;
  std::uint8_t clipLevel = 12;
  std::uint8_t clipRelease = 1;
  friend bool operator==(const NerexLimiter&, const NerexLimiter&) = default;
};

// Torvex48 output compressor. The comments give the bits that travel to the unit.
struct NerexCompressor {
  std::uint8_t threshold = 0;  // 7 bits
  std::uint8_t attack = 29;    // 7 bits
  std::uint8_t release = 51;   // 6 bits
  std::uint8_t ratio = 0;      // 6 bits
  std::uint8_t softKnee = 0;   // 4 bits
  std::uint8_t bypass = 0;     // 1 bit
  friend bool operator==(const NerexCompressor&, const NerexCompressor&) = default;
};

// One dynamic-EQ band's eleven value bytes; the parameter ids of its fields are held by the
// image (NerexDeqBandIds). Comments give the bits that travel.
struct NerexDeqBand {
  std::uint8_t mode = 0;           // 2 bits: 0 cut above, 1 boost above, 2 cut below, 3 boost below
  std::uint8_t q = 60;             // 7 bits
  std::uint16_t frequency = 252;   // 9 bits
  std::uint8_t effect = 12;        // 4 bits; dB = value + 6
  std::uint8_t threshold = 0;      // 7 bits; dB = (44 - value) / 2
  std::uint8_t ratio = 0;          // 5 bits
  std::uint8_t attack = 37;        // 6 bits
  std::uint8_t release = 26;       // 6 bits
  std::uint8_t filterKind = 0;     // 2 bits: 0 parametric, 1 full bandwidth, 2 low shelf, 3 high shelf
  std::uint8_t bypass = 0;         // 1 bit

  // Copies the eleven value bytes (all a band holds; its ids lie with the image).
  void CopyValues(const NerexDeqBand& source) { *this = source; }
  friend bool operator==(const NerexDeqBand&, const NerexDeqBand&) = default;
};

// The parameter ids of a dynamic-EQ band's first nine value fields in their order (the bypass
// field has none; 0 = none).
struct NerexDeqBandIds {
  std::uint32_t modeId = 0;
  std::uint32_t qId = 0;
  std::uint32_t frequencyId = 0;
  std::uint32_t effectId = 0;
  std::uint32_t thresholdId = 0;
  std::uint32_t ratioId = 0;
  std::uint32_t attackId = 0;
  std::uint32_t releaseId = 0;
  std::uint32_t filterKindId = 0;
  friend bool operator==(const NerexDeqBandIds&, const NerexDeqBandIds&) = default;
};

using NerexInputPeqIds = CNerexIdBlock<NerexEqBandIds, kNerexMaxInputs * kNerexInputPeqBands>;
using NerexCrossoverIds = CNerexIdBlock<NerexEqBandIds, kNerexMaxOutputs>;
using NerexOutputPeqIds = CNerexIdBlock<NerexEqBandIds, kNerexMaxOutputs * kNerexOutputPeqBands>;
using NerexDeqIds = CNerexIdBlock<NerexDeqBandIds, kNerexDeqBands>;

struct NerexInputSection {
  // Input n's link group: bit k set = linked with input k; own bit only (or 0) = not linked.
  std::array<std::uint8_t, kNerexMaxInputs> linkMasks{1, 2, 4, 8};
  std::array<std::int16_t, kNerexMaxInputs> gains{};
  std::array<std::uint32_t, kNerexMaxInputs> delays{};  // 24 bits travel
  std::uint8_t muteMask = 0;                            // bit n = input n muted
  std::array<NerexEqBand, kNerexMaxInputs * kNerexInputPeqBands> peqBands{};
  std::array<NerexChannelName, kNerexMaxInputs> names;
  // Fennick / Zel-Fennick mixer gains, [output][input], tenths of a dB.
  std::array<std::array<std::int16_t, kNerexMaxInputs>, kNerexMaxOutputs> matrixGains{};
  NerexInputPeqIds peqIds;  // the parameter ids of peqBands, index for index

  NerexInputSection();
  NerexEqBand& PeqBand(int input, int band) { return peqBands[input * kNerexInputPeqBands + band]; }
  const NerexEqBand& PeqBand(int input, int band) const {
    return peqBands[input * kNerexInputPeqBands + band];
  }
  const NerexEqBandIds& PeqIds(int input, int band) const {
    return peqIds[std::size_t(input * kNerexInputPeqBands + band)];
  }
  // Copies every value field; the band parameter ids stay.
  void CopyFrom(const NerexInputSection& source);
  friend bool operator==(const NerexInputSection&, const NerexInputSection&) = default;
};

struct NerexOutputSection {
  std::array<std::uint8_t, kNerexMaxOutputs> linkMasks{1, 2, 4, 8, 16, 32, 64, 128};
  // Bit k set = input k feeds this output.
  std::array<std::uint8_t, kNerexMaxOutputs> routingMasks{1, 1, 1, 1, 1, 1, 1, 1};
  std::uint8_t mixerFlag = 0;  // Torvex48: 1 = matrix levels in use
  // Torvex48 mixer levels, [output][input], 10-bit attenuation codes: dB = (150 - code) / 10.
  std::array<std::array<std::uint16_t, kNerexMaxInputs>, kNerexMaxOutputs> matrixLevels{};
  std::array<std::int16_t, kNerexMaxOutputs> gains{};
  std::array<std::uint32_t, kNerexMaxOutputs> delays{};  // 24 bits travel
  std::uint8_t muteMask = 0;
  std::uint8_t phaseMask = 0;
  std::array<NerexEqBand, kNerexMaxOutputs> highPass{};
  std::array<NerexEqBand, kNerexMaxOutputs> lowPass{};
  std::array<NerexEqBand, kNerexMaxOutputs * kNerexOutputPeqBands> peqBands{};
  std::array<std::int8_t, kNerexMaxOutputs> trims{};  // -120..120
  std::uint8_t autoLimiters = 1;
  std::uint8_t compressorLimiters = 1;
  std::array<std::uint8_t, kNerexChannelGroupBytes> channelGroups{};
  std::array<NerexLimiter, kNerexMaxOutputs> limiters{};
  std::array<NerexChannelName, kNerexMaxOutputs> names;
  std::array<NerexCompressor, kNerexMaxOutputs> compressors{};
  // The parameter ids of highPass, lowPass and peqBands, index for index.
  NerexCrossoverIds highPassIds;
  NerexCrossoverIds lowPassIds;
  NerexOutputPeqIds peqIds;

  NerexOutputSection();
  NerexEqBand& PeqBand(int output, int band) { return peqBands[output * kNerexOutputPeqBands + band]; }
  const NerexEqBand& PeqBand(int output, int band) const {
    return peqBands[output * kNerexOutputPeqBands + band];
  }
  const NerexEqBandIds& PeqIds(int output, int band) const {
    return peqIds[std::size_t(output * kNerexOutputPeqBands + band)];
  }
  // Copies every value field; the band parameter ids stay.
  void CopyFrom(const NerexOutputSection& source);
  friend bool operator==(const NerexOutputSection&, const NerexOutputSection&) = default;
};

// Graphic EQ of the four inputs.
struct NerexGeqBlock {
  std::array<std::uint8_t, kNerexMaxInputs> modes{};
  std::array<std::uint8_t, kNerexMaxInputs> bypass{};
  std::array<std::array<std::int16_t, kNerexGeqBands>, kNerexMaxInputs> bands{};  // tenths of a dB

  void CopyFrom(const NerexGeqBlock& source) { *this = source; }
  friend bool operator==(const NerexGeqBlock&, const NerexGeqBlock&) = default;
};

// For group bytes 1..16, bit targetChannel of the target takes bit sourceChannel of the
// source; then byte 24 + targetChannel takes byte 24 + sourceChannel. Channels 0..7.
void CopyChannelGroupChannel(std::array<std::uint8_t, kNerexChannelGroupBytes>& target, int targetChannel,
                             const std::array<std::uint8_t, kNerexChannelGroupBytes>& source,
                             int sourceChannel);

class CNerexSeriesMemory {
 public:
  NerexInputSection inputs;
  NerexOutputSection outputs;
  NerexGeqBlock geq;
  std::uint8_t deqMode = 0;     // "Dynamic EQ Mode"
  std::uint8_t deqLinking = 0;  // "Dynamic EQ Linking"
  std::array<NerexDeqBand, kNerexDeqBands> deqBands{};  // input i, band b at 3i + b
  NerexDeqIds deqIds;  // the parameter ids of deqBands, index for index
  std::uint32_t sectionFlags = 0;
  std::string name = "Device";  // UTF-8

  NerexDeqBand& DeqBand(int input, int band) { return deqBands[input * kNerexDeqBandsPerInput + band]; }
  const NerexDeqBand& DeqBand(int input, int band) const {
    return deqBands[input * kNerexDeqBandsPerInput + band];
  }
  const NerexDeqBandIds& DeqIds(int input, int band) const {
    return deqIds[std::size_t(input * kNerexDeqBandsPerInput + band)];
  }

  // Copies name, section flags and every value field of the four sections. Parameter ids
  // stay those of this image. (Plain assignment copies the ids too.)
  void CopyFrom(const CNerexSeriesMemory& source);
  // The two dynamic-EQ bytes and the value fields of the 12 bands.
  void CopyDeqBlockFrom(const CNerexSeriesMemory& source);

  // The memory record of the system file and of preset files: version 5 written, every older
  // version read. A damaged record throws CArchiveException and leaves the image unchanged.
  // Values are read with the first parameter id of each band; other ids stay.
  void Serialize(CArchive& ar);
  // The stream record (version 1: name, flags, input, output and graphic-EQ sections). Reading
  // takes the record only when all of it was read; returns whether it was written or taken.
  bool SerializeStream(CDataStream& ds);

  // True when the memory holds any of the four sections.
  bool HoldsAnySection() const { return (sectionFlags & kSectionAll) != 0; }

  friend bool operator==(const CNerexSeriesMemory&, const CNerexSeriesMemory&) = default;
};
