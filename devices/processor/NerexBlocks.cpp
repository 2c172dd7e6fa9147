// Byte encodings of the processor settings blocks and their sizes per model.
#include "devices/processor/NerexBlocks.h"

#include <algorithm>

#include "devices/processor/NerexByteIo.h"
#include "devices/processor/NerexChannelRules.h"
#include "devices/processor/NerexModelTable.h"

namespace {

constexpr std::size_t kPrefixBytes = 2;

bool IsProcessorModel(int model) { return !GetModelName(model, 0).empty(); }

bool ValidInputCount(int n) { return n >= 0 && n <= kNerexMaxInputs; }
bool ValidOutputCount(int n) { return n >= 0 && n <= kNerexMaxOutputs; }

// Torvex48 mixer and compressor parts travel in every form but the old snapshot format.
bool HasTorvexParts(int model, EOutputBlockForm form) {
  return model == kModelTorvex48 && form != EOutputBlockForm::SnapshotV1;
}

// The unit reports routing masks for every model; the Fennick models do not take them.
bool HasRoutingMasks(int model, EOutputBlockForm form) {
  return form == EOutputBlockForm::Reply || !IsFennickModel(model);
}

// Four 10-bit attenuation codes as one 40-bit big-endian field.
void AppendMatrixLevels(CByteAppender& w, const std::array<std::uint16_t, kNerexMaxInputs>& levels) {
  const unsigned a = levels[0] & 0x3FF, b = levels[1] & 0x3FF, c = levels[2] & 0x3FF, d = levels[3] & 0x3FF;
  w.U8(std::uint8_t(a >> 2));
  w.U8(std::uint8_t((a << 6) | (b >> 4)));
  w.U8(std::uint8_t((b << 4) | (c >> 6)));
  w.U8(std::uint8_t((c << 2) | (d >> 8)));
  w.U8(std::uint8_t(d));
}

void ReadMatrixLevels(CSpanReader& r, std::array<std::uint16_t, kNerexMaxInputs>& levels) {
  const unsigned b1 = r.U8(), b2 = r.U8(), b3 = r.U8(), b4 = r.U8(), b5 = r.U8();
  levels[0] = std::uint16_t((b1 << 2) | (b2 >> 6));
  levels[1] = std::uint16_t(((b2 & 0x3F) << 4) | (b3 >> 4));
  levels[2] = std::uint16_t(((b3 & 0x0F) << 6) | (b4 >> 2));
  levels[3] = std::uint16_t(((b4 & 0x03) << 8) | b5);
}

// Each channel's mask gets its own bit; with symmetric set, every channel named in a mask
// also takes that mask. Only the first n channels are walked.
template <std::size_t N>
void ReadLinkMasks(CSpanReader& r, std::array<std::uint8_t, N>& masks, int n, bool symmetric) {
  for (int c = 0; c < n; ++c) masks[c] = std::uint8_t(r.U8() | (1u << c));
  if (!symmetric) return;
  for (int c = 0; c < n; ++c)
    for (int k = 0; k < n; ++k)
      if (masks[c] & (1u << k)) masks[k] |= masks[c];
}

std::size_t EncodeOutputs(const NerexOutputSection& out, int n, int model, EOutputBlockForm form,
                          std::vector<std::uint8_t>& bytes) {
  if (!ValidOutputCount(n)) return 0;
  const std::size_t start = bytes.size();
  CByteAppender w(bytes);
  const bool torvex = HasTorvexParts(model, form);
  auto master = [&](int o) { return GetOutputLinkMaster(out, o, n); };

  for (int o = 0; o < n; ++o) w.U8(out.linkMasks[o]);
  if (HasRoutingMasks(model, form))
    for (int o = 0; o < n; ++o) w.U8(out.routingMasks[o]);
  if (torvex) {
    w.U8(out.mixerFlag);
    for (int o = 0; o < n; ++o) AppendMatrixLevels(w, out.matrixLevels[o]);
  }
  for (int o = 0; o < n; ++o) w.I16(out.gains[master(o)]);
  for (int o = 0; o < n; ++o) w.U24(out.delays[master(o)]);
  w.U8(out.muteMask);
  w.U8(out.phaseMask);
  for (int o = 0; o < n; ++o) {
    w.U8(out.highPass[master(o)].q);
    w.U16(out.highPass[master(o)].frequency);
  }
  for (int o = 0; o < n; ++o) {
    w.U8(out.lowPass[master(o)].q);
    w.U16(out.lowPass[master(o)].frequency);
  }
  for (int o = 0; o < n; ++o)
    for (int b = 0; b < kNerexOutputPeqBands; ++b) BandValueFields(w, out.PeqBand(master(o), b));
  for (int o = 0; o < n; ++o) w.I8(out.trims[master(o)]);
  if (torvex) {
    if (form == EOutputBlockForm::Snapshot) w.U8(out.compressorLimiters);
    for (int o = 0; o < n; ++o) AppendCompressor(w, out.compressors[o], out.compressorLimiters != 0);
  }
  w.U8(out.autoLimiters);
  for (int o = 0; o < n; ++o) LimiterFields(w, out.limiters[master(o)]);
  for (auto b : out.channelGroups) w.U8(b);
  for (int o = 0; o < n; ++o) w.Chars(out.names[o]);
  return bytes.size() - start;
}

void DecodeInputs(CSpanReader& r, int n, int model, bool reply, NerexInputSection& in) {
  ReadLinkMasks(r, in.linkMasks, n, true);
  for (int i = 0; i < n; ++i) in.gains[i] = r.I16();
  if (IsFennickModel(model)) {
    for (auto& row : in.matrixGains)
      for (auto& g : row) g = std::clamp<std::int16_t>(r.I16(), -401, 150);
  } else {
    for (int i = 0; i < n; ++i) in.delays[i] = r.U24();
  }
  const std::uint8_t mute = r.U8();
  if (reply) {
    // The unit reports the first input in bit 3 and the fourth in bit 0.
    in.muteMask = std::uint8_t(((mute >> 3) & 1) | (((mute >> 2) & 1) << 1) | (((mute >> 1) & 1) << 2) |
                               ((mute & 1) << 3));
  } else {
    in.muteMask = mute;
  }
  for (int i = 0; i < n; ++i)
    for (int b = 0; b < kNerexInputPeqBands; ++b) BandValueFields(r, in.PeqBand(i, b));
  for (int i = 0; i < n; ++i) r.Chars(in.names[i]);
}

void DecodeOutputs(CSpanReader& r, int n, int model, EOutputBlockForm form, NerexOutputSection& out) {
  const bool torvex = HasTorvexParts(model, form);
  ReadLinkMasks(r, out.linkMasks, n, form == EOutputBlockForm::Reply);
  if (HasRoutingMasks(model, form))
    for (int o = 0; o < n; ++o) out.routingMasks[o] = r.U8();
  if (torvex) {
    out.mixerFlag = r.U8();
    for (int o = 0; o < n; ++o) ReadMatrixLevels(r, out.matrixLevels[o]);
  }
  for (int o = 0; o < n; ++o) out.gains[o] = r.I16();
  for (int o = 0; o < n; ++o) out.delays[o] = r.U24();
  out.muteMask = r.U8();
  out.phaseMask = r.U8();
  auto readCrossover = [&](NerexEqBand& band, std::uint8_t kind) {
    band.type = kind;
    band.q = r.U8();
    band.frequency = r.U16();
    band.gain = 0;
  };
  for (int o = 0; o < n; ++o) readCrossover(out.highPass[o], 3);
  for (int o = 0; o < n; ++o) readCrossover(out.lowPass[o], 4);
  for (int o = 0; o < n; ++o)
    for (int b = 0; b < kNerexOutputPeqBands; ++b) BandValueFields(r, out.PeqBand(o, b));
  for (int o = 0; o < n; ++o) out.trims[o] = r.I8();
  if (torvex) {
    if (form == EOutputBlockForm::Snapshot) out.compressorLimiters = r.U8();
    for (int o = 0; o < n; ++o) {
      const bool flag = ReadCompressor(r, out.compressors[o]);
      if (form == EOutputBlockForm::Reply && o == 0) out.compressorLimiters = flag ? 1 : 0;
    }
  }
  out.autoLimiters = r.U8();
  for (int o = 0; o < n; ++o) LimiterFields(r, out.limiters[o]);
  for (auto& b : out.channelGroups) b = r.U8();
  for (int o = 0; o < n; ++o) r.Chars(out.names[o]);
}

void DecodeGeq(CSpanReader& r, int n, NerexGeqBlock& geq) {
  for (int i = 0; i < n; ++i) {
    geq.modes[i] = r.U8();
    geq.bypass[i] = r.U8();
    for (auto& g : geq.bands[i]) g = r.I16();
  }
}

void DecodeDeq(CSpanReader& r, int n, CNerexSeriesMemory& image) {
  const std::uint8_t flags = r.U8();
  image.deqMode = flags & 1;
  image.deqLinking = (flags >> 1) & 1;
  for (int k = 0; k < n * kNerexDeqBandsPerInput; ++k) UnpackDeqBand(r.Take<7>(), image.deqBands[k]);
}

// The block after the reply's prefix, or an empty span when the reply is too short.
std::span<const std::uint8_t> ReplyBody(std::span<const std::uint8_t> reply, std::size_t size, bool& ok) {
  ok = reply.size() >= kPrefixBytes + size;
  return ok ? reply.subspan(kPrefixBytes, size) : std::span<const std::uint8_t>{};
}

}  // namespace

// --- Field codecs ---

// Returns bit 7 of the first byte: the compressor-limiters flag as the unit reports it.
bool ReadCompressor(CSpanReader& r, NerexCompressor& c) { return DecodeCompressor(r.Take<4>(), c); }

std::uint32_t GetBlockRawSize(int block, int model) {
  if (!IsProcessorModel(model)) return 0;
  const int inputs = GetInputCount(model), outputs = GetOutputCount(model);
  switch (block) {
    case kBlockInputs:
      if (IsFennickModel(model)) return 303;
      return inputs == 4 ? 251 : 127;
    case kBlockOutputs:
      if (IsFennickModel(model)) return 677;
      if (model == kModelTorvex48) return 759;
      switch (outputs) {
        case 8: return 685;
        case 6: return 523;
        case 4: return 361;
        default: return 0;
      }
    case kBlockGeq:
      if (!IsTorvexLayoutModel(model)) return 0;
      return inputs == 4 ? 234 : inputs == 2 ? 118 : 0;
    case kBlockDeq:
      return model == kModelTorvex48 ? 87 : 0;
    default:
      return 0;
  }
}

std::uint32_t GetBlockFrameLength(int block, int model) {
  switch (GetBlockRawSize(block, model)) {
    case 303: return 355;
    case 251: return 295;
    case 127: return 154;
    case 677: return 782;
    case 759: return 875;  // the write carries the 758-byte write form, not the snapshot form
    case 685: return 791;
    case 523: return 606;
    case 361: return 421;
    case 234: return 276;
    case 118: return 143;
    case 87: return 108;
    default: return 0;
  }
}

std::uint32_t GetBlockReplyLength(int readIndex, int model) {
  if (!IsProcessorModel(model)) return 0;
  const int inputs = GetInputCount(model), outputs = GetOutputCount(model);
  switch (readIndex) {
    case 0:
      if (IsFennickModel(model)) return 355;
      return inputs == 4 ? 295 : 154;
    case 2:
      // The Fennick models report their routing masks too: 791, not the 782 of their write.
      if (model == kModelTorvex48) return 875;
      switch (outputs) {
        case 8: return 791;
        case 6: return 606;
        case 4: return 421;
        default: return 0;
      }
    case 4:
      return inputs == 4 ? 276 : 143;
    case 6:
      return 108;
    default:
      return 0;
  }
}

std::size_t GetInputBlockSize(int n, int model) {
  const std::size_t c = std::size_t(std::max(n, 0));
  return c + 2 * c + (IsFennickModel(model) ? 64 : 3 * c) + 1 + 48 * c + 8 * c;
}

std::size_t GetOutputBlockSize(int n, int model, EOutputBlockForm form) {
  const std::size_t c = std::size_t(std::max(n, 0));
  std::size_t size = c;  // link masks
  if (HasRoutingMasks(model, form)) size += c;
  const bool torvex = HasTorvexParts(model, form);
  if (torvex) size += 1 + 5 * c;
  size += 2 * c + 3 * c + 2 + 3 * c + 3 * c + 54 * c + c;
  if (torvex) size += (form == EOutputBlockForm::Snapshot ? 1 : 0) + 4 * c;
  size += 1 + 5 * c + kNerexChannelGroupBytes + 8 * c;
  return size;
}

std::size_t GetGeqBlockSize(int n) { return std::size_t(std::max(n, 0)) * (2 + 2 * kNerexGeqBands); }

std::size_t GetDeqBlockSize(int n) { return 1 + std::size_t(std::max(n, 0)) * kNerexDeqBandsPerInput * 7; }

std::size_t EncodeInputBlock(const NerexInputSection& in, int n, int model, std::vector<std::uint8_t>& bytes) {
  if (!ValidInputCount(n)) return 0;
  const std::size_t start = bytes.size();
  CByteAppender w(bytes);
  for (int i = 0; i < n; ++i) w.U8(in.linkMasks[i]);
  for (int i = 0; i < n; ++i) w.I16(in.gains[i]);
  if (IsFennickModel(model)) {
    for (const auto& row : in.matrixGains)
      for (auto g : row) w.I16(g);
  } else {
    for (int i = 0; i < n; ++i) w.U24(in.delays[GetInputLinkMaster(in, i, n)]);
  }
  w.U8(in.muteMask);
  for (int i = 0; i < n; ++i)
    for (int b = 0; b < kNerexInputPeqBands; ++b) BandValueFields(w, in.PeqBand(i, b));
  for (int i = 0; i < n; ++i) w.Chars(in.names[i]);
  return bytes.size() - start;
}

std::size_t EncodeOutputBlockForWrite(const NerexOutputSection& outputs, int n, int model,
                                      std::vector<std::uint8_t>& out) {
  return EncodeOutputs(outputs, n, model, EOutputBlockForm::Write, out);
}

std::size_t EncodeOutputBlock(const NerexOutputSection& outputs, int n, int model, std::vector<std::uint8_t>& out) {
  return EncodeOutputs(outputs, n, model, EOutputBlockForm::Snapshot, out);
}

std::size_t EncodeGeqBlock(const NerexGeqBlock& geq, int n, std::vector<std::uint8_t>& bytes) {
  if (!ValidInputCount(n)) return 0;
  const std::size_t start = bytes.size();
  CByteAppender w(bytes);
  for (int i = 0; i < n; ++i) {
    w.U8(geq.modes[i]);
    w.U8(geq.bypass[i]);
    for (auto g : geq.bands[i]) w.I16(g);
  }
  return bytes.size() - start;
}

std::size_t EncodeDeqBlock(const CNerexSeriesMemory& image, int n, std::vector<std::uint8_t>& bytes) {
  if (!ValidInputCount(n)) return 0;
  const std::size_t start = bytes.size();
  bytes.push_back(std::uint8_t((image.deqMode ? 1 : 0) | (image.deqLinking ? 2 : 0)));
  std::array<std::uint8_t, 7> packed{};
  for (int k = 0; k < n * kNerexDeqBandsPerInput; ++k) {
    PackDeqBand(image.deqBands[k], packed);
    bytes.insert(bytes.end(), packed.begin(), packed.end());
  }
  return bytes.size() - start;
}

std::vector<std::uint8_t> BuildBlockWritePayload(int block, const CNerexSeriesMemory& image, int model,
                                                 std::uint8_t memoryByte, std::uint8_t modeByte) {
  const std::uint32_t frame = GetBlockFrameLength(block, model);
  if (frame == 0) return {};
  // Seven-bit packing puts one top-bits byte before every group of up to 7 raw bytes.
  const std::uint32_t packed = frame - 8;
  const std::size_t raw = packed - (packed + 7) / 8;
  std::vector<std::uint8_t> payload{memoryByte, modeByte};
  payload.reserve(raw);
  const int inputs = GetInputCount(model), outputs = GetOutputCount(model);
  switch (block) {
    case kBlockInputs: EncodeInputBlock(image.inputs, inputs, model, payload); break;
    case kBlockOutputs: EncodeOutputBlockForWrite(image.outputs, outputs, model, payload); break;
    case kBlockGeq: EncodeGeqBlock(image.geq, inputs, payload); break;
    case kBlockDeq: EncodeDeqBlock(image, inputs, payload); break;
    default: return {};
  }
  payload.resize(raw, 0);
  return payload;
}

std::size_t PackDeqBand(const NerexDeqBand& band, std::span<std::uint8_t, 7> out) {
  const unsigned modeA = band.mode & 3, modeB = band.filterKind & 3, attack = band.attack & 0x3F,
                 release = band.release & 0x3F, threshold = band.threshold & 0x7F, ratio = band.ratio & 0x1F,
                 frequency = band.frequency & 0x1FF, q = band.q & 0x7F, effect = band.effect & 0x0F;
  out[0] = std::uint8_t((band.bypass ? 0x10 : 0) | (modeB << 2) | modeA);
  out[1] = std::uint8_t(attack);
  out[2] = std::uint8_t(release);
  out[3] = std::uint8_t((threshold << 1) | ((ratio >> 4) & 1));
  out[4] = std::uint8_t((ratio << 4) | ((frequency >> 5) & 0x0F));
  out[5] = std::uint8_t(((frequency & 0xFF) << 3) ^ ((q >> 4) & 7));
  out[6] = std::uint8_t((q << 4) ^ effect);
  return 7;
}

std::size_t UnpackDeqBand(std::span<const std::uint8_t, 7> in, NerexDeqBand& band) {
  band.mode = in[0] & 3;
  band.filterKind = (in[0] >> 2) & 3;
  band.bypass = (in[0] >> 4) & 1;
  band.attack = in[1] & 0x3F;
  band.release = in[2] & 0x3F;
  band.threshold = in[3] >> 1;
  band.ratio = std::uint8_t(((in[3] & 1) << 4) | (in[4] >> 4));
  band.frequency = std::uint16_t(((in[4] & 0x0F) << 5) | (in[5] >> 3));
  band.q = std::uint8_t(((in[5] & 7) << 4) | (in[6] >> 4));
  band.effect = in[6] & 0x0F;
  return 7;
}

bool DecodeInputBlock(std::span<const std::uint8_t> reply, int n, int model, CNerexSeriesMemory& image) {
  if (!ValidInputCount(n)) return false;
  bool ok = false;
  CSpanReader r(ReplyBody(reply, GetInputBlockSize(n, model), ok));
  if (!ok) return false;
  DecodeInputs(r, n, model, true, image.inputs);
  return true;
}

bool DecodeOutputBlock(std::span<const std::uint8_t> reply, int n, int model, CNerexSeriesMemory& image) {
  if (!ValidOutputCount(n)) return false;
  bool ok = false;
  CSpanReader r(ReplyBody(reply, GetOutputBlockSize(n, model, EOutputBlockForm::Reply), ok));
  if (!ok) return false;
  DecodeOutputs(r, n, model, EOutputBlockForm::Reply, image.outputs);
  return true;
}

bool DecodeGeqBlock(std::span<const std::uint8_t> reply, int n, int /*model*/, CNerexSeriesMemory& image) {
  if (!ValidInputCount(n)) return false;
  bool ok = false;
  CSpanReader r(ReplyBody(reply, GetGeqBlockSize(n), ok));
  if (!ok) return false;
  DecodeGeq(r, n, image.geq);
  return true;
}

bool DecodeDeqBlockReply(std::span<const std::uint8_t> reply, int n, int /*model*/, CNerexSeriesMemory& image) {
  if (!ValidInputCount(n)) return false;
  bool ok = false;
  CSpanReader r(ReplyBody(reply, GetDeqBlockSize(n), ok));
  if (!ok) return false;
  DecodeDeq(r, n, image);
  return true;
}

bool DecodeInputBlockV1(int format, std::span<const std::uint8_t> data, int n, int model,
                        CNerexSeriesMemory& image) {
  // Block 0 is the same in both snapshot formats.
  if ((format != 1 && format != 2) || !ValidInputCount(n)) return false;
  if (data.size() < GetInputBlockSize(n, model)) return false;
  CSpanReader r(data);
  DecodeInputs(r, n, model, false, image.inputs);
  return true;
}

bool DecodeOutputBlockSnapshot(int format, std::span<const std::uint8_t> data, int n, int model,
                               CNerexSeriesMemory& image) {
  if ((format != 1 && format != 2) || !ValidOutputCount(n)) return false;
  const EOutputBlockForm form = format == 1 ? EOutputBlockForm::SnapshotV1 : EOutputBlockForm::Snapshot;
  if (data.size() < GetOutputBlockSize(n, model, form)) return false;
  CSpanReader r(data);
  DecodeOutputs(r, n, model, form, image.outputs);
  return true;
}

bool DecodeGeqBlockSnapshot(std::span<const std::uint8_t> data, int n, CNerexSeriesMemory& image) {
  if (!ValidInputCount(n) || data.size() < GetGeqBlockSize(n)) return false;
  CSpanReader r(data);
  DecodeGeq(r, n, image.geq);
  return true;
}

bool DecodeDeqBlock(int format, std::span<const std::uint8_t> data, int n, int /*model*/, CNerexSeriesMemory& image) {
  if (format != 2 || !ValidInputCount(n) || data.size() < GetDeqBlockSize(n)) return false;
  CSpanReader r(data);
  DecodeDeq(r, n, image);
  return true;
}
