// A processor's snapshot image: its live settings as the raw settings blocks of its model,
// one slot per block, behind a format byte. Pure over the settings image.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "devices/processor/NerexSeriesMemory.h"
#include "devices/processor/NerexValueRanges.h"

inline constexpr std::uint8_t kNerexSnapshotFormat = 2;

// Length of a snapshot of the model in format 1 or 2 (0 for another format): the format byte
// and one slot of GetBlockRawSize for each block the model has (format 1: no dynamic EQ).
std::size_t GetNerexSnapshotLength(int model, int format);

// Format 2: byte 0 = 2, then the input, output, graphic-EQ and dynamic-EQ slots of the model.
// Each block fills its slot but the last two bytes, which stay 0.
std::vector<std::uint8_t> EncodeNerexSnapshot(const CNerexSeriesMemory& image, int model);

enum class ENerexSnapshotApply {
  Applied,        // the image took the snapshot's blocks
  UnknownFormat,  // a format byte other than 1 and 2: the image is unchanged
  Refused,        // a length that does not fit the model: the image is unchanged
};
// Decodes a snapshot of format 1 or 2 into the image (parameter ids stay). The image that
// results is held to the ranges a stored image of the model holds, as a system file's images
// are (CheckMemoryValues): a value outside is moved to the nearer end, and limited (when
// given) says how many and the first; values within their ranges are taken as they are.
ENerexSnapshotApply DecodeNerexSnapshot(std::span<const std::uint8_t> data, int model, CNerexSeriesMemory& image,
                                        NerexRangeReport* limited = nullptr);
