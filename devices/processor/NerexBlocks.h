// The four raw settings blocks of a processor (0 inputs, 5 outputs, 16 graphic EQ, 17 dynamic
// EQ): their byte encodings from and into the settings image, and their sizes per model.
// On the wire every block is preceded by [memory byte, mode byte]; the encoders below write
// the block without it, the reply decoders skip it, the snapshot decoders expect none.
// Multi-byte values are little-endian; a delay travels as its low 24 bits. Every value is
// masked to the width of its field before it is packed. Pure functions: the reply decoders
// run on the comms worker under the system lock, the rest on the UI thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "devices/processor/NerexSeriesMemory.h"

class CByteAppender;
class CSpanReader;

enum : int {
  kBlockInputs = 0,
  kBlockOutputs = 5,
  kBlockGeq = 16,
  kBlockDeq = 17,
};

// Size of a block with its two-byte prefix, and the frame length of its write; 0 for another
// block number or a model without the block.
std::uint32_t GetBlockRawSize(int block, int model);
std::uint32_t GetBlockFrameLength(int block, int model);
// Expected reply length of the block read with command 48 + readIndex (0, 2, 4, 6 are used).
std::uint32_t GetBlockReplyLength(int readIndex, int model);

// Forms of block 5: the write to the unit, the snapshot (which adds the Torvex48
// compressor-limiters byte), the unit's reply (routing masks for every model) and the older
// snapshot format 1 (no Torvex48 mixer or compressor parts).
enum class EOutputBlockForm { Write, Snapshot, Reply, SnapshotV1 };

// Encoded sizes without the prefix, for n channels of the model.
std::size_t GetInputBlockSize(int n, int model);
std::size_t GetOutputBlockSize(int n, int model, EOutputBlockForm form);
std::size_t GetGeqBlockSize(int n);
std::size_t GetDeqBlockSize(int n);

// Encoders: append the block (without prefix) to out and return the bytes written. n is the
// model's input count (blocks 0, 16, 17) or output count (block 5); a count above 4 inputs or
// 8 outputs writes nothing. Linked channels travel with their master's values.
std::size_t EncodeInputBlock(const NerexInputSection& inputs, int n, int model, std::vector<std::uint8_t>& out);
std::size_t EncodeOutputBlockForWrite(const NerexOutputSection& outputs, int n, int model,
                                      std::vector<std::uint8_t>& out);
std::size_t EncodeOutputBlock(const NerexOutputSection& outputs, int n, int model, std::vector<std::uint8_t>& out);
std::size_t EncodeGeqBlock(const NerexGeqBlock& geq, int n, std::vector<std::uint8_t>& out);
std::size_t EncodeDeqBlock(const CNerexSeriesMemory& image, int n, std::vector<std::uint8_t>& out);

// The raw payload of a settings-block write: [memory byte, mode byte, block], exactly as many
// bytes as the model's frame length of that block carries. Empty when the model has no such
// block. Blocks come from the image's sections with the model's channel counts.
std::vector<std::uint8_t> BuildBlockWritePayload(int block, const CNerexSeriesMemory& image, int model,
                                                 std::uint8_t memoryByte, std::uint8_t modeByte);

// Field codecs the blocks share with the file records: a filter band's six value bytes, a
// limiter's five bytes, and a compressor packed into four bytes with the compressor-limiters
// flag in bit 7 of the first (ReadCompressor returns that bit). The band's and limiter's are
// field lists: a writer (CByteAppender, CSpanWriter) stores them from a const record, a
// CSpanReader loads them. Inline: the file records write thousands of them.
template <class Io, class Band>
void BandValueFields(Io& io, Band& band) {
  io.U8(band.type);
  io.U8(band.q);
  io.U16(band.frequency);
  io.I16(band.gain);
}
template <class Io, class Limiter>
void LimiterFields(Io& io, Limiter& l) {
  io.U8(l.level);
  io.U8(l.attack);
  io.U8(l.release);
  io.U8(l.clipLevel);
  io.U8(l.clipRelease);
}
template <class Writer>
void AppendCompressor(Writer& w, const NerexCompressor& c, bool limitersFlag) {
  const unsigned threshold = c.threshold & 0x7F, attack = c.attack & 0x7F, release = c.release & 0x3F,
                 ratio = c.ratio & 0x3F, knee = c.softKnee & 0x0F;
  w.U8(std::uint8_t((limitersFlag ? 0x80 : 0) | (c.bypass ? 0x40 : 0) | ratio));
  w.U8(std::uint8_t((attack << 1) | ((release >> 5) & 1)));
  w.U8(std::uint8_t((release << 3) | (threshold >> 4)));
  w.U8(std::uint8_t((threshold << 4) | knee));
}
bool ReadCompressor(CSpanReader& r, NerexCompressor& c);
// The same from its four bytes; inline, as a file's records decode thousands of them.
inline bool DecodeCompressor(std::span<const std::uint8_t, 4> b, NerexCompressor& c) {
  c.bypass = std::uint8_t((b[0] >> 6) & 1);
  c.ratio = std::uint8_t(b[0] & 0x3F);
  c.attack = std::uint8_t(b[1] >> 1);
  c.release = std::uint8_t(((b[1] & 1) << 5) | (b[2] >> 3));
  c.threshold = std::uint8_t(((b[2] & 7) << 4) | (b[3] >> 4));
  c.softKnee = std::uint8_t(b[3] & 0x0F);
  return (b[0] >> 7) & 1;
}

// Dynamic-EQ band in 7 bytes and back; both return the number of bytes used.
std::size_t PackDeqBand(const NerexDeqBand& band, std::span<std::uint8_t, 7> out);
std::size_t UnpackDeqBand(std::span<const std::uint8_t, 7> in, NerexDeqBand& band);

// Reply decoders: the payload of a block-read reply, starting with its two-byte prefix. Each
// checks the length first: a payload too short (or a count out of range) returns false and
// leaves the image untouched. Parameter ids of the image never change.
bool DecodeInputBlock(std::span<const std::uint8_t> reply, int n, int model, CNerexSeriesMemory& image);
bool DecodeOutputBlock(std::span<const std::uint8_t> reply, int n, int model, CNerexSeriesMemory& image);
bool DecodeGeqBlock(std::span<const std::uint8_t> reply, int n, int model, CNerexSeriesMemory& image);
bool DecodeDeqBlockReply(std::span<const std::uint8_t> reply, int n, int model, CNerexSeriesMemory& image);

// Snapshot decoders: a block without prefix, in snapshot format 1 or 2. Same checks; any other
// format decodes nothing and returns false. Format 1 has no dynamic-EQ block.
bool DecodeInputBlockV1(int format, std::span<const std::uint8_t> data, int n, int model,
                        CNerexSeriesMemory& image);
bool DecodeOutputBlockSnapshot(int format, std::span<const std::uint8_t> data, int n, int model,
                               CNerexSeriesMemory& image);
bool DecodeGeqBlockSnapshot(std::span<const std::uint8_t> data, int n, CNerexSeriesMemory& image);
bool DecodeDeqBlock(int format, std::span<const std::uint8_t> data, int n, int model, CNerexSeriesMemory& image);
