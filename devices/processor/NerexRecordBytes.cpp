// Field-by-field byte forms of the settings-image records. Each record's layout is written
// once, as a list of fields that a writer stores and a reader loads, so the two directions
// cannot drift apart.
#include "devices/processor/NerexRecordBytes.h"

#include <cassert>
#include <type_traits>

#include "devices/processor/NerexBlocks.h"
#include "devices/processor/NerexByteIo.h"

namespace {

// The layouts, walked by a CSpanWriter from a const record or by a CSpanReader.
constexpr auto EqBandFields = [](auto& io, auto& band, auto& ids) {
  BandValueFields(io, band);
  io.Pad(2);
  io.U32(ids.typeId);
  io.U32(ids.qId);
  io.U32(ids.frequencyId);
  io.U32(ids.gainId);
};

constexpr auto CompressorFields = [](auto& io, auto& compressor) {
  io.U8(compressor.threshold);
  io.U8(compressor.attack);
  io.U8(compressor.release);
  io.U8(compressor.ratio);
  io.U8(compressor.softKnee);
  io.U8(compressor.bypass);
};

constexpr auto DeqBandFields = [](auto& io, auto& band, auto& ids) {
  io.U8(band.mode);
  io.U8(band.q);
  io.U16(band.frequency);
  io.U8(band.effect);
  io.U8(band.threshold);
  io.U8(band.ratio);
  io.U8(band.attack);
  io.U8(band.release);
  io.U8(band.filterKind);
  io.U8(band.bypass);
  io.Pad(1);
  io.U32(ids.modeId);
  io.U32(ids.qId);
  io.U32(ids.frequencyId);
  io.U32(ids.effectId);
  io.U32(ids.thresholdId);
  io.U32(ids.ratioId);
  io.U32(ids.attackId);
  io.U32(ids.releaseId);
  io.U32(ids.filterKindId);
};

// Bands with the ids of their block, each band's ids after its values as the byte forms hold
// them; loading sets the block's ids (shared on when they are the same).
template <class Io, class Bands, class Block, class Fields>
void BandsWithIds(Io& io, Bands& bands, Block& block, Fields fields) {
  auto ids = block.All();
  for (std::size_t i = 0; i < bands.size(); ++i) fields(io, bands[i], ids[i]);
  if constexpr (!std::is_const_v<Block>) block.SetAll(ids);
}

constexpr auto InputSectionFields = [](auto& io, auto& inputs) {
  for (auto& m : inputs.linkMasks) io.U8(m);
  for (auto& g : inputs.gains) io.I16(g);
  for (auto& d : inputs.delays) io.U32(d);
  io.U8(inputs.muteMask);
  io.Pad(3);
  BandsWithIds(io, inputs.peqBands, inputs.peqIds, EqBandFields);
  for (auto& name : inputs.names) io.Chars(name);
  for (auto& row : inputs.matrixGains)
    for (auto& g : row) io.I16(g);
};

constexpr auto OutputSectionFields = [](auto& io, auto& outputs) {
  for (auto& m : outputs.linkMasks) io.U8(m);
  for (auto& m : outputs.routingMasks) io.U8(m);
  io.U8(outputs.mixerFlag);
  io.Pad(1);
  for (auto& row : outputs.matrixLevels)
    for (auto& v : row) io.U16(v);
  for (auto& g : outputs.gains) io.I16(g);
  io.Pad(2);
  for (auto& d : outputs.delays) io.U32(d);
  io.U8(outputs.muteMask);
  io.U8(outputs.phaseMask);
  io.Pad(2);
  BandsWithIds(io, outputs.highPass, outputs.highPassIds, EqBandFields);
  BandsWithIds(io, outputs.lowPass, outputs.lowPassIds, EqBandFields);
  BandsWithIds(io, outputs.peqBands, outputs.peqIds, EqBandFields);
  for (auto& t : outputs.trims) io.I8(t);
  io.U8(outputs.autoLimiters);
  io.U8(outputs.compressorLimiters);
  for (auto& b : outputs.channelGroups) io.U8(b);
  for (auto& limiter : outputs.limiters) LimiterFields(io, limiter);
  for (auto& name : outputs.names) io.Chars(name);
  for (auto& c : outputs.compressors) CompressorFields(io, c);
  io.Pad(2);
};

constexpr auto GeqBlockFields = [](auto& io, auto& geq) {
  for (auto& m : geq.modes) io.U8(m);
  for (auto& b : geq.bypass) io.U8(b);
  for (auto& input : geq.bands)
    for (auto& g : input) io.I16(g);
};

constexpr auto DeqBlockFields = [](auto& io, auto& image) {
  io.U8(image.deqMode);
  io.U8(image.deqLinking);
  io.Pad(2);
  BandsWithIds(io, image.deqBands, image.deqIds, DeqBandFields);
};

// Every layout fills its record's bytes exactly.
template <std::size_t N, class Record, class Fields>
void Store(const Record& record, std::span<std::uint8_t, N> out, Fields fields) {
  CSpanWriter io(out);
  fields(io, record);
  assert(io.Position() == N);
}

template <std::size_t N, class Record, class Fields>
void Load(std::span<const std::uint8_t, N> in, Record& record, Fields fields) {
  CSpanReader io(in);
  fields(io, record);
  assert(io.Position() == N);
}

}  // namespace

void StoreRecordBytes(const NerexEqBand& band, const NerexEqBandIds& ids, std::span<std::uint8_t, kEqBandBytes> out) {
  Store(band, out, [&ids](auto& io, auto& b) { EqBandFields(io, b, ids); });
}

void LoadRecordBytes(std::span<const std::uint8_t, kEqBandBytes> in, NerexEqBand& band, NerexEqBandIds& ids) {
  Load(in, band, [&ids](auto& io, auto& b) { EqBandFields(io, b, ids); });
}

void StoreRecordBytes(const NerexLimiter& limiter, std::span<std::uint8_t, kLimiterBytes> out) {
  Store(limiter, out, [](auto& io, auto& l) { LimiterFields(io, l); });
}

void LoadRecordBytes(std::span<const std::uint8_t, kLimiterBytes> in, NerexLimiter& limiter) {
  Load(in, limiter, [](auto& io, auto& l) { LimiterFields(io, l); });
}

void StoreRecordBytes(const NerexCompressor& compressor, std::span<std::uint8_t, kCompressorBytes> out) {
  Store(compressor, out, CompressorFields);
}

void LoadRecordBytes(std::span<const std::uint8_t, kCompressorBytes> in, NerexCompressor& compressor) {
  Load(in, compressor, CompressorFields);
}

void StoreRecordBytes(const NerexDeqBand& band, const NerexDeqBandIds& ids,
                      std::span<std::uint8_t, kDeqBandBytes> out) {
  Store(band, out, [&ids](auto& io, auto& b) { DeqBandFields(io, b, ids); });
}

void LoadRecordBytes(std::span<const std::uint8_t, kDeqBandBytes> in, NerexDeqBand& band, NerexDeqBandIds& ids) {
  Load(in, band, [&ids](auto& io, auto& b) { DeqBandFields(io, b, ids); });
}

void StoreRecordBytes(const NerexInputSection& inputs, std::span<std::uint8_t, kInputSectionBytes> out) {
  Store(inputs, out, InputSectionFields);
}

void LoadRecordBytes(std::span<const std::uint8_t, kInputSectionBytes> in, NerexInputSection& inputs) {
  Load(in, inputs, InputSectionFields);
}

void StoreRecordBytes(const NerexOutputSection& outputs, std::span<std::uint8_t, kOutputSectionBytes> out) {
  Store(outputs, out, OutputSectionFields);
}

void LoadRecordBytes(std::span<const std::uint8_t, kOutputSectionBytes> in, NerexOutputSection& outputs) {
  Load(in, outputs, OutputSectionFields);
}

void StoreRecordBytes(const NerexGeqBlock& geq, std::span<std::uint8_t, kGeqBlockBytes> out) {
  Store(geq, out, GeqBlockFields);
}

void LoadRecordBytes(std::span<const std::uint8_t, kGeqBlockBytes> in, NerexGeqBlock& geq) {
  Load(in, geq, GeqBlockFields);
}

void StoreDeqBlockBytes(const CNerexSeriesMemory& image, std::span<std::uint8_t, kDeqBlockBytes> out) {
  Store(image, out, DeqBlockFields);
}

void LoadDeqBlockBytes(std::span<const std::uint8_t, kDeqBlockBytes> in, CNerexSeriesMemory& image) {
  Load(in, image, DeqBlockFields);
}
