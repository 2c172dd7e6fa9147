// Fixed byte forms of the settings-image records, field by field and little-endian, with the
// offsets that the clipboard block of the processor family exchanges between instances.
// Padding bytes are written as 0 and ignored on reading. Never the compiler's struct layout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "devices/processor/NerexSeriesMemory.h"

inline constexpr std::size_t kEqBandBytes = 24;       // 6 value bytes, 2 padding, 4 ids
inline constexpr std::size_t kLimiterBytes = 5;
inline constexpr std::size_t kCompressorBytes = 6;
inline constexpr std::size_t kDeqBandBytes = 48;      // 11 value bytes, 1 padding, 9 ids
inline constexpr std::size_t kInputSectionBytes = 896;
inline constexpr std::size_t kOutputSectionBytes = 2444;
inline constexpr std::size_t kGeqBlockBytes = 232;
inline constexpr std::size_t kDeqBlockBytes = 580;    // mode, linking, 2 padding, 12 bands

// Offsets inside the input section's byte form.
enum : std::size_t {
  kInputOffsetLinkMasks = 0,
  kInputOffsetGains = 4,
  kInputOffsetDelays = 12,
  kInputOffsetMute = 28,
  kInputOffsetPeqBands = 32,     // input i band b at 32 + 192 i + 24 b
  kInputOffsetNames = 800,
  kInputOffsetMatrixGains = 832,  // output o input i at 832 + 8 o + 2 i
};

// Offsets inside the output section's byte form.
enum : std::size_t {
  kOutputOffsetLinkMasks = 0,
  kOutputOffsetRoutingMasks = 8,
  kOutputOffsetMixerFlag = 16,
  kOutputOffsetMatrixLevels = 18,  // output o input i at 18 + 8 o + 2 i
  kOutputOffsetGains = 82,
  kOutputOffsetDelays = 100,
  kOutputOffsetMute = 132,
  kOutputOffsetPhase = 133,
  kOutputOffsetHighPass = 136,
  kOutputOffsetLowPass = 328,
  kOutputOffsetPeqBands = 520,  // output o band b at 520 + 216 o + 24 b
  kOutputOffsetTrims = 2248,
  kOutputOffsetAutoLimiters = 2256,
  kOutputOffsetCompressorLimiters = 2257,
  kOutputOffsetChannelGroups = 2258,
  kOutputOffsetLimiters = 2290,
  kOutputOffsetNames = 2330,
  kOutputOffsetCompressors = 2394,
};

void StoreRecordBytes(const NerexEqBand& band, const NerexEqBandIds& ids, std::span<std::uint8_t, kEqBandBytes> out);
void LoadRecordBytes(std::span<const std::uint8_t, kEqBandBytes> in, NerexEqBand& band, NerexEqBandIds& ids);

void StoreRecordBytes(const NerexLimiter& limiter, std::span<std::uint8_t, kLimiterBytes> out);
void LoadRecordBytes(std::span<const std::uint8_t, kLimiterBytes> in, NerexLimiter& limiter);

void StoreRecordBytes(const NerexCompressor& compressor, std::span<std::uint8_t, kCompressorBytes> out);
void LoadRecordBytes(std::span<const std::uint8_t, kCompressorBytes> in, NerexCompressor& compressor);

void StoreRecordBytes(const NerexDeqBand& band, const NerexDeqBandIds& ids,
                      std::span<std::uint8_t, kDeqBandBytes> out);
void LoadRecordBytes(std::span<const std::uint8_t, kDeqBandBytes> in, NerexDeqBand& band, NerexDeqBandIds& ids);

void StoreRecordBytes(const NerexInputSection& inputs, std::span<std::uint8_t, kInputSectionBytes> out);
void LoadRecordBytes(std::span<const std::uint8_t, kInputSectionBytes> in, NerexInputSection& inputs);

void StoreRecordBytes(const NerexOutputSection& outputs, std::span<std::uint8_t, kOutputSectionBytes> out);
void LoadRecordBytes(std::span<const std::uint8_t, kOutputSectionBytes> in, NerexOutputSection& outputs);

void StoreRecordBytes(const NerexGeqBlock& geq, std::span<std::uint8_t, kGeqBlockBytes> out);
void LoadRecordBytes(std::span<const std::uint8_t, kGeqBlockBytes> in, NerexGeqBlock& geq);

// The dynamic-EQ block of an image: its mode and linking bytes and its 12 bands.
void StoreDeqBlockBytes(const CNerexSeriesMemory& image, std::span<std::uint8_t, kDeqBlockBytes> out);
void LoadDeqBlockBytes(std::span<const std::uint8_t, kDeqBlockBytes> in, CNerexSeriesMemory& image);
