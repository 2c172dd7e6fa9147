// Field-by-field byte forms of the settings-image records.
#include "devices/processor/NerexRecordBytes.h"

#include <cassert>

#include "devices/processor/NerexByteIo.h"

void StoreRecordBytes(const NerexEqBand& band, std::span<std::uint8_t, kEqBandBytes> out) {
  CSpanWriter w(out);
  w.U8(band.type);
  w.U8(band.q);
  w.U16(band.frequency);
  w.I16(band.gain);
  w.Pad(2);
  w.U32(band.typeId);
  w.U32(band.qId);
  w.U32(band.frequencyId);
  w.U32(band.gainId);
}

void LoadRecordBytes(std::span<const std::uint8_t, kEqBandBytes> in, NerexEqBand& band) {
  CSpanReader r(in);
  band.type = r.U8();
  band.q = r.U8();
  band.frequency = r.U16();
  band.gain = r.I16();
  r.Skip(2);
  band.typeId = r.U32();
  band.qId = r.U32();
  band.frequencyId = r.U32();
  band.gainId = r.U32();
}

void StoreRecordBytes(const NerexLimiter& limiter, std::span<std::uint8_t, kLimiterBytes> out) {
  CSpanWriter w(out);
  w.U8(limiter.level);
  w.U8(limiter.attack);
  w.U8(limiter.release);
  w.U8(limiter.clipLevel);
  w.U8(limiter.clipRelease);
}

void LoadRecordBytes(std::span<const std::uint8_t, kLimiterBytes> in, NerexLimiter& limiter) {
  CSpanReader r(in);
  limiter.level = r.U8();
  limiter.attack = r.U8();
  limiter.release = r.U8();
  limiter.clipLevel = r.U8();
  limiter.clipRelease = r.U8();
}

void StoreRecordBytes(const NerexCompressor& compressor, std::span<std::uint8_t, kCompressorBytes> out) {
  CSpanWriter w(out);
  w.U8(compressor.threshold);
  w.U8(compressor.attack);
  w.U8(compressor.release);
  w.U8(compressor.ratio);
  w.U8(compressor.softKnee);
  w.U8(compressor.bypass);
}

void LoadRecordBytes(std::span<const std::uint8_t, kCompressorBytes> in, NerexCompressor& compressor) {
  CSpanReader r(in);
  compressor.threshold = r.U8();
  compressor.attack = r.U8();
  compressor.release = r.U8();
  compressor.ratio = r.U8();
  compressor.softKnee = r.U8();
  compressor.bypass = r.U8();
}

void StoreRecordBytes(const NerexDeqBand& band, std::span<std::uint8_t, kDeqBandBytes> out) {
  CSpanWriter w(out);
  w.U8(band.mode);
  w.U8(band.q);
  w.U16(band.frequency);
  w.U8(band.effect);
  w.U8(band.threshold);
  w.U8(band.ratio);
  w.U8(band.attack);
  w.U8(band.release);
  w.U8(band.filterKind);
  w.U8(band.bypass);
  w.Pad(1);
  w.U32(band.modeId);
  w.U32(band.qId);
  w.U32(band.frequencyId);
  w.U32(band.effectId);
  w.U32(band.thresholdId);
  w.U32(band.ratioId);
  w.U32(band.attackId);
  w.U32(band.releaseId);
  w.U32(band.filterKindId);
}

void LoadRecordBytes(std::span<const std::uint8_t, kDeqBandBytes> in, NerexDeqBand& band) {
  CSpanReader r(in);
  band.mode = r.U8();
  band.q = r.U8();
  band.frequency = r.U16();
  band.effect = r.U8();
  band.threshold = r.U8();
  band.ratio = r.U8();
  band.attack = r.U8();
  band.release = r.U8();
  band.filterKind = r.U8();
  band.bypass = r.U8();
  r.Skip(1);
  band.modeId = r.U32();
  band.qId = r.U32();
  band.frequencyId = r.U32();
  band.effectId = r.U32();
  band.thresholdId = r.U32();
  band.ratioId = r.U32();
  band.attackId = r.U32();
  band.releaseId = r.U32();
  band.filterKindId = r.U32();
}

void StoreRecordBytes(const NerexInputSection& inputs, std::span<std::uint8_t, kInputSectionBytes> out) {
  CSpanWriter w(out);
  for (auto m : inputs.linkMasks) w.U8(m);
  for (auto g : inputs.gains) w.I16(g);
  for (auto d : inputs.delays) w.U32(d);
  w.U8(inputs.muteMask);
  w.Pad(3);
  for (const auto& band : inputs.peqBands) StoreRecordBytes(band, w.Take<kEqBandBytes>());
  for (const auto& name : inputs.names) w.Chars(name);
  for (const auto& row : inputs.matrixGains)
    for (auto g : row) w.I16(g);
  assert(w.Position() == kInputSectionBytes);
}

void LoadRecordBytes(std::span<const std::uint8_t, kInputSectionBytes> in, NerexInputSection& inputs) {
  CSpanReader r(in);
  for (auto& m : inputs.linkMasks) m = r.U8();
  for (auto& g : inputs.gains) g = r.I16();
  for (auto& d : inputs.delays) d = r.U32();
  inputs.muteMask = r.U8();
  r.Skip(3);
  for (auto& band : inputs.peqBands) LoadRecordBytes(r.Take<kEqBandBytes>(), band);
  for (auto& name : inputs.names) r.Chars(name);
  for (auto& row : inputs.matrixGains)
    for (auto& g : row) g = r.I16();
}

void StoreRecordBytes(const NerexOutputSection& outputs, std::span<std::uint8_t, kOutputSectionBytes> out) {
  CSpanWriter w(out);
  for (auto m : outputs.linkMasks) w.U8(m);
  for (auto m : outputs.routingMasks) w.U8(m);
  w.U8(outputs.mixerFlag);
  w.Pad(1);
  for (const auto& row : outputs.matrixLevels)
    for (auto v : row) w.U16(v);
  for (auto g : outputs.gains) w.I16(g);
  w.Pad(2);
  for (auto d : outputs.delays) w.U32(d);
  w.U8(outputs.muteMask);
  w.U8(outputs.phaseMask);
  w.Pad(2);
  for (const auto& band : outputs.highPass) StoreRecordBytes(band, w.Take<kEqBandBytes>());
  for (const auto& band : outputs.lowPass) StoreRecordBytes(band, w.Take<kEqBandBytes>());
  for (const auto& band : outputs.peqBands) StoreRecordBytes(band, w.Take<kEqBandBytes>());
  for (auto t : outputs.trims) w.I8(t);
  w.U8(outputs.autoLimiters);
  w.U8(outputs.compressorLimiters);
  for (auto b : outputs.channelGroups) w.U8(b);
  for (const auto& limiter : outputs.limiters) StoreRecordBytes(limiter, w.Take<kLimiterBytes>());
  for (const auto& name : outputs.names) w.Chars(name);
  for (const auto& c : outputs.compressors) StoreRecordBytes(c, w.Take<kCompressorBytes>());
  w.Pad(2);
  assert(w.Position() == kOutputSectionBytes);
}

void LoadRecordBytes(std::span<const std::uint8_t, kOutputSectionBytes> in, NerexOutputSection& outputs) {
  CSpanReader r(in);
  for (auto& m : outputs.linkMasks) m = r.U8();
  for (auto& m : outputs.routingMasks) m = r.U8();
  outputs.mixerFlag = r.U8();
  r.Skip(1);
  for (auto& row : outputs.matrixLevels)
    for (auto& v : row) v = r.U16();
  for (auto& g : outputs.gains) g = r.I16();
  r.Skip(2);
  for (auto& d : outputs.delays) d = r.U32();
  outputs.muteMask = r.U8();
  outputs.phaseMask = r.U8();
  r.Skip(2);
  for (auto& band : outputs.highPass) LoadRecordBytes(r.Take<kEqBandBytes>(), band);
  for (auto& band : outputs.lowPass) LoadRecordBytes(r.Take<kEqBandBytes>(), band);
  for (auto& band : outputs.peqBands) LoadRecordBytes(r.Take<kEqBandBytes>(), band);
  for (auto& t : outputs.trims) t = r.I8();
  outputs.autoLimiters = r.U8();
  outputs.compressorLimiters = r.U8();
  for (auto& b : outputs.channelGroups) b = r.U8();
  for (auto& limiter : outputs.limiters) LoadRecordBytes(r.Take<kLimiterBytes>(), limiter);
  for (auto& name : outputs.names) r.Chars(name);
  for (auto& c : outputs.compressors) LoadRecordBytes(r.Take<kCompressorBytes>(), c);
}

void StoreRecordBytes(const NerexGeqBlock& geq, std::span<std::uint8_t, kGeqBlockBytes> out) {
  CSpanWriter w(out);
  for (auto m : geq.modes) w.U8(m);
  for (auto b : geq.bypass) w.U8(b);
  for (const auto& input : geq.bands)
    for (auto g : input) w.I16(g);
  assert(w.Position() == kGeqBlockBytes);
}

void LoadRecordBytes(std::span<const std::uint8_t, kGeqBlockBytes> in, NerexGeqBlock& geq) {
  CSpanReader r(in);
  for (auto& m : geq.modes) m = r.U8();
  for (auto& b : geq.bypass) b = r.U8();
  for (auto& input : geq.bands)
    for (auto& g : input) g = r.I16();
}

void StoreDeqBlockBytes(const CNerexSeriesMemory& image, std::span<std::uint8_t, kDeqBlockBytes> out) {
  CSpanWriter w(out);
  w.U8(image.deqMode);
  w.U8(image.deqLinking);
  w.Pad(2);
  for (const auto& band : image.deqBands) StoreRecordBytes(band, w.Take<kDeqBandBytes>());
  assert(w.Position() == kDeqBlockBytes);
}

void LoadDeqBlockBytes(std::span<const std::uint8_t, kDeqBlockBytes> in, CNerexSeriesMemory& image) {
  CSpanReader r(in);
  image.deqMode = r.U8();
  image.deqLinking = r.U8();
  r.Skip(2);
  for (auto& band : image.deqBands) LoadRecordBytes(r.Take<kDeqBandBytes>(), band);
}
