// Processor records of the system file, of data streams and of Fennick preset files.
#include "devices/processor/NerexSeriesFile.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstring>

#include "core/file/DataStream.h"
#include "core/protocol/Scramble.h"
#include "core/support/ScopeGuard.h"
#include "core/model/DeviceHost.h"
#include "core/model/NameRules.h"
#include "devices/processor/NerexBlocks.h"
#include "devices/processor/NerexByteIo.h"
#include "devices/processor/NerexChange.h"
#include "devices/processor/NerexMessages.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "devices/processor/NerexValueRanges.h"
#include "platform/Archive.h"
#include "platform/Clock.h"
#include "platform/Sync.h"
#include "platform/TextFormat.h"

namespace {

constexpr std::uint32_t kStoredRecordMark = kSectionStoredMark;
// Output records are a few hundred bytes; anything far beyond is damage.
constexpr std::uint32_t kMaxOutputRecordBytes = 4096;
// The smallest memory record: an empty name and the flags word.
constexpr std::size_t kMinMemoryRecordBytes = 8;
constexpr const char* kDeqVersionText = "dynamic-EQ record of another version";

[[noreturn]] void Damaged(const std::string& what) {
  throw CArchiveException(CArchiveException::BadFormat, what);
}

// A band's type id as a record gives it; the block is written only when it differs.
template <class Block>
void SetTypeId(Block& ids, std::size_t i, std::uint32_t typeId) {
  if (ids[i].typeId == typeId) [[likely]]
    return;
  NerexEqBandIds changed = ids[i];
  changed.typeId = typeId;
  ids.Set(i, changed);
}

template <class Out>
void StoreIds(Out& out, const NerexEqBandIds& ids) {
  for (std::uint32_t id : {ids.typeId, ids.qId, ids.frequencyId, ids.gainId}) out.U32(id);
}


// One set of field operations that stores or loads by the archive's mode, so that each record
// is written once for both directions.
class CArchiveIo {
 public:
  explicit CArchiveIo(CArchive& ar) : m_ar(ar) {}
  bool Storing() const { return m_ar.IsStoring(); }
  void U8(std::uint8_t& v) { Storing() ? m_ar.WriteU8(v) : void(v = m_ar.ReadU8()); }
  void I8(std::int8_t& v) {
    std::uint8_t u = std::uint8_t(v);
    U8(u);
    v = std::int8_t(u);
  }
  void U16(std::uint16_t& v) { Storing() ? m_ar.WriteU16(v) : void(v = m_ar.ReadU16()); }
  void I16(std::int16_t& v) {
    std::uint16_t u = std::uint16_t(v);
    U16(u);
    v = std::int16_t(u);
  }
  void U32(std::uint32_t& v) { Storing() ? m_ar.WriteU32(v) : void(v = m_ar.ReadU32()); }
  template <std::size_t N>
  void I16s(std::array<std::int16_t, N>& values) {
    for (auto& v : values) I16(v);
  }
  template <std::size_t N>
  void Chars(std::array<char, N>& text) {
    Storing() ? m_ar.WriteBytes(text.data(), N) : m_ar.ReadBytes(text.data(), N);
  }
  void Bytes(std::vector<std::uint8_t>& bytes, std::uint32_t n) {
    if (Storing()) {
      m_ar.WriteBytes(bytes.data(), bytes.size());
      return;
    }
    m_ar.CheckCount(n, 1);
    m_ar.ReadBytes(bytes, n);
  }
  // A band record: values, then the four ids (band i of ids); loading takes the first id as
  // the type id.
  template <class Block>
  void Band(NerexEqBand& band, Block& ids, std::size_t i) {
    I16(band.gain);
    U16(band.frequency);
    U8(band.type);
    U8(band.q);
    if (Storing()) {
      StoreIds(*this, ids[i]);
      return;
    }
    SetTypeId(ids, i, m_ar.ReadU32());
    for (int k = 0; k < 3; ++k) m_ar.ReadU32();
  }
  // A version word: written as given; on loading, true when it was the expected one.
  bool Version(std::uint32_t expected) {
    std::uint32_t v = expected;
    U32(v);
    return v == expected;
  }

 private:
  CArchive& m_ar;
};

// Loads fields from a record's bytes handed over whole by the archive: a plain cursor is
// several times cheaper than a checked archive read per field, and a file holds thousands of
// records. The bytes were measured by CheckMemoryRecordBody, with the same field lists, to
// hold the record's fixed-size sections, so a field read is not checked again (in debug builds
// only); a part of the length the record gives (Bytes) still is, and throws as the archive would.
class CBytesIo {
 public:
  CBytesIo(const std::uint8_t* bytes, std::size_t size) : m_p(bytes), m_end(bytes + size) {}
  bool Storing() const { return false; }
  void U8(std::uint8_t& v) { v = *Field(1); }
  void I8(std::int8_t& v) { v = std::int8_t(*Field(1)); }
  void U16(std::uint16_t& v) { v = LoadU16(Field(2)); }
  void I16(std::int16_t& v) { v = std::int16_t(LoadU16(Field(2))); }
  void U32(std::uint32_t& v) { v = LoadU32(Field(4)); }
  template <std::size_t N>
  void I16s(std::array<std::int16_t, N>& values) {
    const std::uint8_t* p = Field(2 * N);
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(values.data(), p, 2 * N);
    } else {
      for (std::size_t i = 0; i < N; ++i) values[i] = std::int16_t(LoadU16(p + 2 * i));
    }
  }
  template <std::size_t N>
  void Chars(std::array<char, N>& text) {
    std::memcpy(text.data(), Field(N), N);
  }
  // The next n bytes where they lie.
  const std::uint8_t* Bytes(std::size_t n) { return Take(n); }
  // A band record: values, then the four ids, of which the first is kept as the type id.
  template <class Block>
  void Band(NerexEqBand& band, Block& ids, std::size_t i) {
    const std::uint8_t* p = Field(kBandRecordBytes);
    band.gain = std::int16_t(LoadU16(p));
    band.frequency = LoadU16(p + 2);
    band.type = p[4];
    band.q = p[5];
    SetTypeId(ids, i, LoadU32(p + 6));
  }
  bool Version(std::uint32_t expected) {
    std::uint32_t v = 0;
    U32(v);
    return v == expected;
  }
  std::size_t Remaining() const { return std::size_t(m_end - m_p); }

 private:
  static constexpr std::size_t kBandRecordBytes = 6 + 4 * sizeof(std::uint32_t);
  static std::uint16_t LoadU16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }
  const std::uint8_t* Take(std::size_t n) {
    if (std::size_t(m_end - m_p) < n) throw CArchiveException(CArchiveException::EndOfFile, "record cut short");
    return Field(n);
  }
  const std::uint8_t* Field(std::size_t n) {
    assert(n <= std::size_t(m_end - m_p));
    const std::uint8_t* p = m_p;
    m_p += n;
    return p;
  }

  const std::uint8_t* m_p;
  const std::uint8_t* m_end;
};

// Stores fields into room the archive has handed over for the whole record, measured with the
// same field lists (so no write is checked again, in debug builds only): the writing
// counterpart of CBytesIo.
class CBytesWriterIo {
 public:
  CBytesWriterIo(std::uint8_t* bytes, std::size_t size) : m_begin(bytes), m_out(std::span<std::uint8_t>(bytes, size)) {}
  bool Storing() const { return true; }
  void U8(const std::uint8_t& v) { m_out.U8(v); }
  void I8(const std::int8_t& v) { m_out.I8(v); }
  void U16(const std::uint16_t& v) { m_out.U16(v); }
  void I16(const std::int16_t& v) { m_out.I16(v); }
  void U32(const std::uint32_t& v) { m_out.U32(v); }
  template <std::size_t N>
  void I16s(const std::array<std::int16_t, N>& values) {
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(m_out.template Take<2 * N>().data(), values.data(), 2 * N);
    } else {
      for (std::int16_t v : values) m_out.I16(v);
    }
  }
  template <std::size_t N>
  void Chars(const std::array<char, N>& text) {
    m_out.Chars(text);
  }
  template <class Block>
  void Band(const NerexEqBand& band, const Block& ids, std::size_t i) {
    I16(band.gain);
    U16(band.frequency);
    U8(band.type);
    U8(band.q);
    StoreIds(m_out, ids[i]);
  }
  bool Version(std::uint32_t expected) {
    m_out.U32(expected);
    return true;
  }
  // The next n bytes, zeroed, to be filled by the caller.
  std::span<std::uint8_t> Bytes(std::size_t n) {
    const std::size_t at = m_out.Position();
    m_out.Pad(n);
    return std::span<std::uint8_t>(m_begin + at, n);
  }
  std::size_t Position() const { return m_out.Position(); }

 private:
  std::uint8_t* m_begin;
  CSizedSpanWriter m_out;
};

// The same over a data stream; stream errors throw CStreamError.
class CStreamIo {
 public:
  explicit CStreamIo(CDataStream& ds) : m_ds(ds) {}
  bool Storing() const { return m_ds.IsStoring(); }
  void U8(std::uint8_t& v) { m_ds.U8(v); }
  void I8(std::int8_t& v) {
    std::uint8_t u = std::uint8_t(v);
    U8(u);
    v = std::int8_t(u);
  }
  void U16(std::uint16_t& v) {
    std::uint8_t b[2] = {std::uint8_t(v), std::uint8_t(v >> 8)};
    m_ds.Bytes(b, 2);
    v = std::uint16_t(b[0] | (b[1] << 8));
  }
  void I16(std::int16_t& v) {
    std::uint16_t u = std::uint16_t(v);
    U16(u);
    v = std::int16_t(u);
  }
  void U32(std::uint32_t& v) { m_ds.U32(v); }
  template <std::size_t N>
  void I16s(std::array<std::int16_t, N>& values) {
    for (auto& v : values) I16(v);
  }
  template <std::size_t N>
  void Chars(std::array<char, N>& text) {
    m_ds.Bytes(text.data(), N);
  }
  void Bytes(std::vector<std::uint8_t>& bytes, std::uint32_t n) {
    if (!Storing()) bytes.resize(n);
    if (!bytes.empty()) m_ds.Bytes(bytes.data(), bytes.size());
  }
  // A band of a stream: its own version, the values and the first id only.
  template <class Block>
  void Band(NerexEqBand& band, Block& ids, std::size_t i) {
    if (!Version(1)) throw CStreamError("band record of another version");
    I16(band.gain);
    U16(band.frequency);
    U8(band.type);
    U8(band.q);
    std::uint32_t typeId = ids[i].typeId;
    U32(typeId);
    if (!Storing()) SetTypeId(ids, i, typeId);
  }
  bool Version(std::uint32_t expected) { return m_ds.Version(expected); }

 private:
  CDataStream& m_ds;
};

// The bytes a record's field list takes in the archive; it reads and changes nothing. It
// passes as a storing Io, so that no field list fixes up values as loading does.
class CSizeIo {
 public:
  bool Storing() const { return true; }
  void U8(const std::uint8_t&) { m_bytes += 1; }
  void I8(const std::int8_t&) { m_bytes += 1; }
  void U16(const std::uint16_t&) { m_bytes += 2; }
  void I16(const std::int16_t&) { m_bytes += 2; }
  void U32(const std::uint32_t&) { m_bytes += 4; }
  template <std::size_t N>
  void I16s(const std::array<std::int16_t, N>&) {
    m_bytes += 2 * N;
  }
  template <std::size_t N>
  void Chars(const std::array<char, N>&) {
    m_bytes += N;
  }
  template <class Block>
  void Band(const NerexEqBand& band, const Block&, std::size_t) {
    I16(band.gain);
    U16(band.frequency);
    U8(band.type);
    U8(band.q);
    m_bytes += 4 * sizeof(std::uint32_t);  // the four ids
  }
  bool Version(std::uint32_t expected) {
    U32(expected);
    return true;
  }
  std::size_t Size() const { return m_bytes; }

 private:
  std::size_t m_bytes = 0;
};

template <class Io>
void IoInputSection(Io& io, NerexInputSection& in) {
  io.U8(in.muteMask);
  for (int i = 0; i < kNerexMaxInputs; ++i) {
    io.U8(in.linkMasks[i]);
    io.I16(in.gains[i]);
    io.U32(in.delays[i]);
    for (int b = 0; b < kNerexInputPeqBands; ++b)
      io.Band(in.PeqBand(i, b), in.peqIds, std::size_t(i * kNerexInputPeqBands + b));
    io.Chars(in.names[i]);
    for (int o = 0; o < kNerexMaxOutputs; ++o) io.I16(in.matrixGains[o][i]);
  }
}

template <class Io>
void IoGeqSection(Io& io, NerexGeqBlock& geq) {
  for (int i = 0; i < kNerexMaxInputs; ++i) {
    io.U8(geq.modes[i]);
    io.U8(geq.bypass[i]);
    io.I16s(geq.bands[i]);
  }
}

// Crossover records carry their kind, not their stored type byte.
void FixCrossoverKinds(NerexOutputSection& out) {
  for (int o = 0; o < kNerexMaxOutputs; ++o) {
    out.highPass[o].type = 3;
    out.highPass[o].gain = 0;
    out.lowPass[o].type = 4;
    out.lowPass[o].gain = 0;
  }
}

// The output record of memory version 2 and of the oldest files.
template <class Io>
void IoOldOutputSection(Io& io, NerexOutputSection& out) {
  io.U8(out.muteMask);
  io.U8(out.phaseMask);
  io.U8(out.autoLimiters);
  for (int o = 0; o < kNerexMaxOutputs; ++o) {
    io.U8(out.linkMasks[o]);
    io.U8(out.routingMasks[o]);
    io.I16(out.gains[o]);
    io.U32(out.delays[o]);
    io.I8(out.trims[o]);
    LimiterFields(io, out.limiters[o]);
    io.Band(out.highPass[o], out.highPassIds, std::size_t(o));
    io.Band(out.lowPass[o], out.lowPassIds, std::size_t(o));
    for (int b = 0; b < kNerexOutputPeqBands; ++b)
      io.Band(out.PeqBand(o, b), out.peqIds, std::size_t(o * kNerexOutputPeqBands + b));
    io.Chars(out.names[o]);
  }
  for (int i = 0; i < 8; ++i) io.U8(out.channelGroups[i]);
  if (!io.Storing()) FixCrossoverKinds(out);
}

std::size_t RoundUp4(std::size_t n) { return (n + 3) & ~std::size_t(3); }

void CheckOutputRecordLength(std::uint32_t length, ENerexOutputPlainForm form) {
  const std::size_t needed = RoundUp4(GetOutputPlainSize(form));
  if (length % 4 != 0 || length < needed || length > kMaxOutputRecordBytes)
    Damaged("output record of length " + std::to_string(length));
}

// While a device's stored state is printed (CNerexSeriesDevice::StoredPrint) the scramble key
// is held at 0, so that the same settings print alike; a stored record takes the clock.
thread_local bool t_printing = false;

std::uint32_t ScrambleKey() { return t_printing ? 0u : GetTickCount(); }

// The scrambled output record: key, length, chained words.
template <class Io>
void IoScrambledOutputSection(Io& io, NerexOutputSection& out, ENerexOutputPlainForm form) {
  if (io.Storing()) {
    std::vector<std::uint8_t> bytes = BuildOutputPlainBytes(out, form);
    bytes.resize(RoundUp4(bytes.size()), 0);
    std::uint32_t key = ScrambleKey();
    std::uint32_t length = std::uint32_t(bytes.size());
    ScrambleWords(bytes, key);
    io.U32(key);
    io.U32(length);
    io.Bytes(bytes, length);
    return;
  }
  std::uint32_t key = 0, length = 0;
  io.U32(key);
  io.U32(length);
  CheckOutputRecordLength(length, form);
  // One buffer for every record read: a file holds thousands of them.
  thread_local std::vector<std::uint8_t> bytes;
  io.Bytes(bytes, length);
  UnscrambleWords(bytes, key);
  ParseOutputPlainBytes(bytes, form, out);
}

// The same stored in place: the plain bytes are written into the record's room, padded with
// zeros and scrambled there.
void IoScrambledOutputSection(CBytesWriterIo& io, NerexOutputSection& out, ENerexOutputPlainForm form) {
  std::uint32_t key = ScrambleKey();
  std::uint32_t length = std::uint32_t(RoundUp4(GetOutputPlainSize(form)));
  io.U32(key);
  io.U32(length);
  const std::span<std::uint8_t> bytes = io.Bytes(length);
  WriteOutputPlainBytes(out, form, bytes);
  ScrambleWords(bytes.data(), length / 4, key);
}

// The same loaded from a record's bytes: the words are unscrambled from where they lie into a
// buffer on the stack.
void IoScrambledOutputSection(CBytesIo& io, NerexOutputSection& out, ENerexOutputPlainForm form) {
  std::uint32_t key = 0, length = 0;
  io.U32(key);
  io.U32(length);
  CheckOutputRecordLength(length, form);
  std::array<std::uint8_t, kMaxOutputRecordBytes> plain;
  UnscrambleWords(io.Bytes(length), plain.data(), length / 4, key);
  ParseOutputPlainBytes(std::span<const std::uint8_t>(plain.data(), length), form, out);
}

// Dynamic EQ of a memory record: version 1, mode, linking, 12 bands of 11 bytes.
template <class Io>
void IoDeqSection(Io& io, CNerexSeriesMemory& m) {
  if (!io.Version(1)) Damaged(kDeqVersionText);
  io.U8(m.deqMode);
  io.U8(m.deqLinking);
  if (!io.Storing()) {
    m.deqMode = m.deqMode ? 1 : 0;
    m.deqLinking = m.deqLinking ? 1 : 0;
  }
  for (auto& b : m.deqBands) {
    io.U8(b.mode);
    io.U16(b.frequency);
    io.U8(b.effect);
    io.U8(b.q);
    io.U8(b.threshold);
    io.U8(b.ratio);
    io.U8(b.attack);
    io.U8(b.release);
    io.U8(b.filterKind);
    io.U8(b.bypass);
    if (!io.Storing()) b.bypass = b.bypass ? 1 : 0;
  }
}

ENerexOutputPlainForm FormOfMemoryVersion(std::uint32_t version) {
  if (version == 3) return ENerexOutputPlainForm::V3;
  if (version == 4) return ENerexOutputPlainForm::V4;
  return ENerexOutputPlainForm::V5;
}

bool HasCompressor(ENerexOutputPlainForm form) { return form != ENerexOutputPlainForm::V3; }
bool HasMixerFlag(ENerexOutputPlainForm form) {
  return form == ENerexOutputPlainForm::V5 || form == ENerexOutputPlainForm::Stream;
}
bool HasMatrixLevels(ENerexOutputPlainForm form) { return form == ENerexOutputPlainForm::V5; }

std::size_t PlainBytesPerOutput(ENerexOutputPlainForm form) {
  // link, routing, gain, trim, delay, limiter, high-pass, low-pass, 9 bands, name
  std::size_t n = 1 + 1 + 2 + 1 + 4 + 5 + 3 + 3 + 9 * 6 + 8;
  if (HasCompressor(form)) n += 4;
  if (HasMatrixLevels(form)) n += 8;
  return n;
}

std::size_t PlainHeaderBytes(ENerexOutputPlainForm form) {
  std::size_t n = 3 + kNerexChannelGroupBytes;  // mute, phase, auto limiters, channel groups
  if (HasCompressor(form)) ++n;                 // compressor limiters
  if (HasMixerFlag(form)) ++n;
  return n;
}

// Bytes of the fixed-size sections of a memory record, measured on their own field lists.
struct MemoryRecordSizes {
  std::size_t inputs = 0;
  std::size_t oldOutputs = 0;
  std::size_t v5Outputs = 0;  // key, length and the padded plain bytes
  std::size_t geq = 0;
  std::size_t deq = 0;
};

const MemoryRecordSizes& GetMemoryRecordSizes() {
  static const MemoryRecordSizes sizes = [] {
    CNerexSeriesMemory m;
    MemoryRecordSizes s;
    CSizeIo inputs, oldOutputs, geq, deq;
    IoInputSection(inputs, m.inputs);
    IoOldOutputSection(oldOutputs, m.outputs);
    IoGeqSection(geq, m.geq);
    IoDeqSection(deq, m);
    s.inputs = inputs.Size();
    s.oldOutputs = oldOutputs.Size();
    s.geq = geq.Size();
    s.deq = deq.Size();
    s.v5Outputs = 2 * sizeof(std::uint32_t) + RoundUp4(GetOutputPlainSize(ENerexOutputPlainForm::V5));
    return s;
  }();
  return sizes;
}

// Steps over the sections of a memory record, after its version word, throwing as reading
// them would: reading the same bytes afterwards cannot fail.
void CheckMemoryRecordBody(CArchive& ar, bool oldest, std::uint32_t version) {
  const MemoryRecordSizes& sizes = GetMemoryRecordSizes();
  if (oldest) {
    ar.Skip(sizes.inputs + sizes.oldOutputs + sizes.geq);
    return;
  }
  if (version < 2) return;
  ar.Skip(sizes.inputs);
  if (version == 2) {
    ar.Skip(sizes.oldOutputs);
  } else {
    ar.ReadU32();  // key
    const std::uint32_t length = ar.ReadU32();
    CheckOutputRecordLength(length, FormOfMemoryVersion(version));
    ar.CheckCount(length, 1);
    ar.Skip(length);
  }
  ar.Skip(sizes.geq);
  if (version >= 4) {
    // A later program's dynamic EQ cannot be read past, as a later memory record cannot.
    CArchive::CheckVersion(ar.ReadU32(), 1, 1, "dynamic-EQ record");
    ar.Skip(sizes.deq - sizeof(std::uint32_t));
  }
}

// Reads the memory list of a device record: the count (bounded) and that many records.
void LoadMemoryList(CArchive& ar, CNerexMemoryList& list) {
  const std::uint32_t count = ar.ReadU32();
  if (count > kNerexMaxStoredPresets) Damaged("preset count " + std::to_string(count));
  ar.CheckCount(count, kMinMemoryRecordBytes);
  ResizePresetList(list, count);
  for (auto& memory : list) memory->Serialize(ar);
}

// Asks the processor to bring an image into the cache ahead of its use: the images of a large
// file are written one after another, each from main memory, and reading an image with its
// fields in record order otherwise waits on memory field by field.
void Prefetch(const CNerexSeriesMemory& memory) {
  const auto* bytes = reinterpret_cast<const char*>(&memory);
  for (std::size_t at = 0; at < sizeof memory; at += 64) __builtin_prefetch(bytes + at);
}

// The records of the memories in list order, each next one prefetched while one is written.
void StoreMemories(CArchive& ar, CNerexMemoryList& list) {
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (i + 1 < list.size()) Prefetch(*list[i + 1]);
    list[i]->Serialize(ar);
  }
}

void StoreMemoryList(CArchive& ar, CNerexMemoryList& list) {
  ar.WriteU32(std::uint32_t(list.size()));
  StoreMemories(ar, list);
}

// The 13-byte general record: byte 7, the front-panel code, bytes 10 to 19.
template <class Io>
void IoGeneralRecord(Io& io, std::array<std::uint8_t, kNerexGeneralBytes>& general) {
  io.U8(general[7]);
  io.U8(general[8]);
  io.U8(general[9]);
  for (std::size_t i = 10; i < kNerexGeneralBytes; ++i) io.U8(general[i]);
}

}  // namespace

// --- Output record plain bytes ---

std::size_t GetOutputPlainSize(ENerexOutputPlainForm form) {
  return PlainHeaderBytes(form) + kNerexMaxOutputs * PlainBytesPerOutput(form);
}

namespace {

// The compressor's four packed bytes: stored with the section's compressor-limiters flag in
// bit 7 of the first; on loading that bit repeats the compressor-limiters byte read before.
template <bool kChecked>
void CompressorField(CSpanWriterOf<kChecked>& w, const NerexCompressor& c, bool limitersFlag) {
  AppendCompressor(w, c, limitersFlag);
}
template <bool kChecked>
void CompressorField(CSpanReaderOf<kChecked>& r, NerexCompressor& c, bool) {
  DecodeCompressor(r.template Take<4>(), c);
}

// The plain bytes' layout in one list: a CSpanWriter stores it from a const section, a
// CSpanReader loads it.
template <class Io, class Section>
void OutputPlainFields(Io& io, Section& out, ENerexOutputPlainForm form) {
  io.U8(out.muteMask);
  io.U8(out.phaseMask);
  io.U8(out.autoLimiters);
  if (HasCompressor(form)) io.U8(out.compressorLimiters);
  if (HasMixerFlag(form)) io.U8(out.mixerFlag);
  for (auto& b : out.channelGroups) io.U8(b);
  for (int o = 0; o < kNerexMaxOutputs; ++o) {
    io.U8(out.linkMasks[o]);
    io.U8(out.routingMasks[o]);
    io.I16(out.gains[o]);
    io.I8(out.trims[o]);
    io.U32(out.delays[o]);
    LimiterFields(io, out.limiters[o]);
    io.U8(out.highPass[o].q);
    io.U16(out.highPass[o].frequency);
    io.U8(out.lowPass[o].q);
    io.U16(out.lowPass[o].frequency);
    for (int b = 0; b < kNerexOutputPeqBands; ++b) BandValueFields(io, out.PeqBand(o, b));
    io.Chars(out.names[o]);
    if (HasCompressor(form)) CompressorField(io, out.compressors[o], out.compressorLimiters != 0);
    if (HasMatrixLevels(form))
      for (auto& level : out.matrixLevels[o]) io.U16(level);
  }
}

}  // namespace

// The parse and the build of the plain bytes, and the memory sections below, have every field
// call inlined, so that the byte cursor stays in registers: the compiler must otherwise assume
// that each byte stored may change the cursor and load it again, which costs several times the
// field itself.
#if defined(__GNUC__)
#define ORVAK_FIELD_LIST [[gnu::flatten]]
#else
#define ORVAK_FIELD_LIST
#endif

ORVAK_FIELD_LIST void WriteOutputPlainBytes(const NerexOutputSection& out, ENerexOutputPlainForm form,
                                            std::span<std::uint8_t> bytes) {
  if (bytes.size() < GetOutputPlainSize(form)) throw std::out_of_range("output record room too small");
  // Nothing below can run past the room once its size is checked.
  CSizedSpanWriter w(bytes);
  OutputPlainFields(w, out, form);
}

std::vector<std::uint8_t> BuildOutputPlainBytes(const NerexOutputSection& out, ENerexOutputPlainForm form) {
  // Written in place: the size is known, and a cursor over it is far cheaper than appending.
  std::vector<std::uint8_t> bytes(GetOutputPlainSize(form));
  WriteOutputPlainBytes(out, form, bytes);
  return bytes;
}

ORVAK_FIELD_LIST bool ParseOutputPlainBytes(std::span<const std::uint8_t> plain, ENerexOutputPlainForm form,
                                            NerexOutputSection& section) {
  if (plain.size() < GetOutputPlainSize(form)) return false;
  // Nothing below can fail once the size is checked: the section is read in place.
  CSizedSpanReader r(plain);
  OutputPlainFields(r, section, form);
  FixCrossoverKinds(section);
  return true;
}

void ScrambleWords(std::vector<std::uint8_t>& bytes, std::uint32_t key) {
  ScrambleWords(bytes.data(), bytes.size() / 4, key);
}

void UnscrambleWords(std::vector<std::uint8_t>& bytes, std::uint32_t key) {
  UnscrambleWords(bytes.data(), bytes.size() / 4, key);
}

// --- Memory records ---

namespace {

// The sections of a version-5 memory record, written into bytes (the size they take).
ORVAK_FIELD_LIST void StoreMemorySections(CNerexSeriesMemory& m, std::uint8_t* bytes, std::size_t size) {
  CBytesWriterIo io(bytes, size);
  IoInputSection(io, m.inputs);
  IoScrambledOutputSection(io, m.outputs, ENerexOutputPlainForm::V5);
  IoGeqSection(io, m.geq);
  IoDeqSection(io, m);
}

// The sections of a memory record of the given version read from bytes checked to hold them.
ORVAK_FIELD_LIST void LoadMemorySections(CNerexSeriesMemory& m, const std::uint8_t* bytes, std::size_t size,
                                         bool oldest, std::uint32_t version) {
  CBytesIo io(bytes, size);
  if (oldest) {
    IoInputSection(io, m.inputs);
    IoOldOutputSection(io, m.outputs);
    IoGeqSection(io, m.geq);
  } else if (version >= 2) {
    IoInputSection(io, m.inputs);
    if (version == 2)
      IoOldOutputSection(io, m.outputs);
    else
      IoScrambledOutputSection(io, m.outputs, FormOfMemoryVersion(version));
    IoGeqSection(io, m.geq);
    if (version >= 4) IoDeqSection(io, m);
  }
}

}  // namespace

void CNerexSeriesMemory::Serialize(CArchive& ar) {
  if (ar.IsStoring()) {
    ar.WriteString(name);
    ar.WriteU32(sectionFlags | kStoredRecordMark);
    ar.WriteU32(kNerexMemoryRecordVersion);
    // The sections have a fixed size: they are written into the archive's room in one piece.
    const MemoryRecordSizes& sizes = GetMemoryRecordSizes();
    const std::size_t bytes = sizes.inputs + sizes.v5Outputs + sizes.geq + sizes.deq;
    StoreMemorySections(*this, ar.WriteSpan(bytes), bytes);
    return;
  }

  // A damaged record leaves this image as it was: the whole record is checked first, and only
  // a sound one is read into the image, in place.
  std::string loadedName = ar.ReadString();
  const std::uint32_t flags = ar.ReadU32();
  // The oldest records have no version word and no dynamic EQ.
  const bool oldest = !(flags & kStoredRecordMark);
  const std::uint32_t version = oldest ? 0 : ar.ReadU32();
  // A record of a later program: nothing of it can be read past.
  if (version > kNerexMemoryRecordVersion)
    throw CArchiveException(CArchiveException::NewerVersion, "memory record version " + std::to_string(version));
  const std::size_t body = ar.Position();
  CheckMemoryRecordBody(ar, oldest, version);
  const std::size_t bodySize = ar.Position() - body;
  ar.Rewind(body);

  name = std::move(loadedName);
  sectionFlags = flags;
  LoadMemorySections(*this, ar.ReadSpan(bodySize), bodySize, oldest, version);
}

bool CNerexSeriesMemory::SerializeStream(CDataStream& ds) {
  if (!ds.IsStoring() && !ds.IsLoading()) return false;
  CStreamIo io(ds);
  CNerexSeriesMemory m = *this;
  try {
    if (!io.Version(1)) return false;
    StreamString(ds, m.name);
    io.U32(m.sectionFlags);
    if (!io.Version(1)) return false;
    IoInputSection(io, m.inputs);
    if (!io.Version(1)) return false;
    IoScrambledOutputSection(io, m.outputs, ENerexOutputPlainForm::Stream);
    if (!io.Version(1)) return false;
    IoGeqSection(io, m.geq);
  } catch (const CStreamError&) {
    return false;
  } catch (const CArchiveException&) {
    return false;  // a damaged output record
  }
  if (ds.IsLoading()) *this = std::move(m);
  return true;
}

// --- Device records ---

void SerializeNerexDeviceRecord(CArchive& ar, NerexDeviceRecordFields& f) {
  CArchiveIo io(ar);
  if (ar.IsStoring()) {
    ar.WriteU32(kNerexDeviceRecordVersion);
    ar.WriteString(*f.name);
    ar.WriteU32(f.autoRtcUpdate ? 1 : 0);
    ar.WriteU32(f.delayUnits);
    ar.WriteU32(f.delayMultiplier);
    ar.WriteU32(f.gainNudge);
    ar.WriteU32(std::uint32_t(f.presets->size()));
    f.current->Serialize(ar);
    StoreMemories(ar, *f.presets);
    StoreMemoryList(ar, *f.xoverPresets);
    IoGeneralRecord(io, f.general);
    for (auto& b : f.timedPresets) io.U8(b);
    return;
  }

  const std::uint32_t version = ReadRecordVersion(ar, 1, kNerexDeviceRecordVersion, "processor");
  *f.name = ar.ReadString();
  f.autoRtcUpdate = ar.ReadU32() != 0;
  if (version >= 5) {
    f.delayUnits = ar.ReadU32();
    f.delayMultiplier = ar.ReadU32();
    if (version >= 6) f.gainNudge = ar.ReadU32();
  }
  const std::uint32_t count = ar.ReadU32();
  if (count > kNerexMaxStoredPresets) Damaged("preset count " + std::to_string(count));
  ar.CheckCount(count, kMinMemoryRecordBytes);
  f.current->Serialize(ar);
  ResizePresetList(*f.presets, count);
  for (auto& memory : *f.presets) memory->Serialize(ar);
  if (version >= 4) LoadMemoryList(ar, *f.xoverPresets);
  if (version <= 2) {
    f.general[7] = ar.ReadU8();
    f.general[8] = ar.ReadU8();
    f.general[9] = ar.ReadU8();
    ar.ReadU8();
    ar.ReadU8();
  } else {
    IoGeneralRecord(io, f.general);
  }
  if (version >= 2)
    for (auto& b : f.timedPresets) io.U8(b);
}

bool SerializeNerexDeviceStream(CDataStream& ds, NerexDeviceRecordFields& f) {
  if (!ds.IsStoring() && !ds.IsLoading()) return false;
  CStreamIo io(ds);
  if (ds.IsStoring()) {
    try {
      io.Version(kNerexDeviceRecordVersion);
      StreamString(ds, *f.name);
      std::uint8_t rtc = f.autoRtcUpdate ? 1 : 0;
      io.U8(rtc);
      io.U32(f.delayUnits);
      io.U32(f.delayMultiplier);
      io.U32(f.gainNudge);
      std::uint32_t count = std::uint32_t(f.presets->size());
      io.U32(count);
      f.current->SerializeStream(ds);
      for (auto& memory : *f.presets) memory->SerializeStream(ds);
      std::uint32_t xovers = std::uint32_t(f.xoverPresets->size());
      io.U32(xovers);
      for (auto& memory : *f.xoverPresets) memory->SerializeStream(ds);
      io.Version(1);
      IoGeneralRecord(io, f.general);
      for (std::size_t e = 0; e < kNerexTimedPresetCount; ++e) {
        io.Version(1);
        for (std::size_t k = 0; k < kNerexTimedPresetBytes; ++k) io.U8(f.timedPresets[e * kNerexTimedPresetBytes + k]);
      }
    } catch (const CStreamError&) {
      return false;
    }
    return true;
  }

  // Loading: everything into copies first.
  NerexDeviceRecordFields t = f;
  std::string name = *f.name;
  CNerexSeriesMemory current = *f.current;
  CNerexMemoryList presets, xovers;
  t.name = &name;
  try {
    if (!io.Version(kNerexDeviceRecordVersion)) return false;
    StreamString(ds, name);
    std::uint8_t rtc = 0;
    io.U8(rtc);
    t.autoRtcUpdate = rtc != 0;
    io.U32(t.delayUnits);
    io.U32(t.delayMultiplier);
    io.U32(t.gainNudge);
    std::uint32_t count = 0;
    io.U32(count);
    if (count > kNerexMaxStoredPresets) return false;
    if (!current.SerializeStream(ds)) return false;
    ResizePresetList(presets, count);
    for (auto& memory : presets)
      if (!memory->SerializeStream(ds)) return false;
    std::uint32_t xoverCount = 0;
    io.U32(xoverCount);
    if (xoverCount > kNerexMaxStoredPresets) return false;
    ResizePresetList(xovers, xoverCount);
    for (auto& memory : xovers)
      if (!memory->SerializeStream(ds)) return false;
    if (!io.Version(1)) return false;
    IoGeneralRecord(io, t.general);
    for (std::size_t e = 0; e < kNerexTimedPresetCount; ++e) {
      if (!io.Version(1)) return false;
      for (std::size_t k = 0; k < kNerexTimedPresetBytes; ++k) io.U8(t.timedPresets[e * kNerexTimedPresetBytes + k]);
    }
  } catch (const CStreamError&) {
    return false;
  }
  *f.name = std::move(name);
  f.autoRtcUpdate = t.autoRtcUpdate;
  f.delayUnits = t.delayUnits;
  f.delayMultiplier = t.delayMultiplier;
  f.gainNudge = t.gainNudge;
  *f.current = std::move(current);
  *f.presets = std::move(presets);
  *f.xoverPresets = std::move(xovers);
  f.general = t.general;
  f.timedPresets = t.timedPresets;
  return true;
}

// --- Preset files ---

bool SaveNerexPresetFile(const std::string& path, const CNerexSeriesMemory& memory, std::string* error) {
  CArchive ar;
  CNerexSeriesMemory copy = memory;
  copy.Serialize(ar);
  return WriteFileAtomically(path, ar.Data(), error);
}

namespace {

// A preset file is one memory record and nothing else, and the record opens with its name: in
// the archive's wide text form, or in its narrow form (a length byte below 0xFF and as many
// characters of one byte), which the archive reads too and whose characters are text, no
// control bytes. A system file, a picture or an empty file opens with neither.
bool OpensWithAName(const std::vector<std::uint8_t>& bytes) {
  constexpr std::uint8_t kWideTextMark[] = {0xFF, 0xFE, 0xFF};
  if (bytes.size() >= sizeof kWideTextMark && std::equal(std::begin(kWideTextMark), std::end(kWideTextMark), bytes.begin()))
    return true;
  if (bytes.empty() || bytes[0] == 0xFF || bytes.size() < 1 + std::size_t(bytes[0])) return false;
  return std::none_of(bytes.begin() + 1, bytes.begin() + 1 + bytes[0], [](std::uint8_t b) { return b < 0x20 || b == 0x7F; });
}

// What became of a preset file's name that a preset memory cannot keep as it stands.
std::string NameNote(const std::string& name, const std::string& kept) {
  std::string why;
  bool control = false;
  for (std::size_t i = 0; i < name.size() && why.empty();) {
    const std::size_t at = i;
    const char32_t c = NextNameCharacter(name, i);
    if (!IsNameControlCharacter(c) && c > 0xFF)
      why = "holds \"" + name.substr(at, i - at) + "\", a character no preset name on the unit can carry";
    control = control || IsNameControlCharacter(c);
  }
  if (why.empty() && control) why = "holds control characters";
  if (why.empty()) why = FormatText("is longer than the %d characters of a preset name on the unit", int(kPresetNameRule.maxCharacters));
  return "The preset file's name \"" + name + "\" " + why + ". Its settings were loaded, named \"" + kept + "\".";
}

}  // namespace

bool LoadNerexPresetFile(const std::string& path, int model, CNerexSeriesMemory& memory, std::string* error,
                         std::string* note) {
  std::vector<std::uint8_t> bytes;
  if (!ReadWholeFile(path, bytes, error)) return false;
  auto refuse = [&](const std::string& why) {
    if (error) *error = why + "; nothing was loaded.";
    return false;
  };
  if (!OpensWithAName(bytes)) return refuse("The file is not a preset file");
  const std::size_t size = bytes.size();
  CNerexSeriesMemory loaded;
  try {
    CArchive ar(std::move(bytes));
    loaded.Serialize(ar);
    // Bytes after the record: two records joined, or a file that merely begins like one.
    if (const std::size_t left = ar.Remaining(); left > 0)
      return refuse("The file is not a preset file: " + std::to_string(left) + " of its " + std::to_string(size) +
                    " bytes follow the preset it begins with");
  } catch (const CArchiveException& e) {
    if (e.GetCause() == CArchiveException::NewerVersion)
      return refuse("The preset file was written by a later version of the program");
    return refuse(std::string("The preset file is damaged or incomplete (") + e.what() + ")");
  }
  // The settings go to the unit as they are: one value outside its range refuses the whole file.
  const NerexRangeReport report = CheckMemoryValues(loaded, model, false);
  if (report.count > 0)
    return refuse("The preset file holds " + std::to_string(report.count) +
                  (report.count == 1 ? " value outside its range (" : " values outside their ranges (") + report.first +
                  ")");
  // The name is the settings' label only (a load sends no name): one that a preset memory
  // cannot keep, as earlier versions wrote unchecked, costs the settings nothing.
  // Blanks at its ends go unsaid, as the unit drops them too.
  if (const std::string kept = MemoryNameAsKept(loaded.name); kept != loaded.name) {
    const std::size_t first = loaded.name.find_first_not_of(' ');
    const std::string trimmed =
        first == std::string::npos ? std::string() : loaded.name.substr(first, loaded.name.find_last_not_of(' ') - first + 1);
    if (note && kept != trimmed) *note = NameNote(trimmed, kept);
    loaded.name = kept;
  }
  memory.CopyFrom(loaded);
  return true;
}

// --- The processor's own records ---

namespace {

// The device's fields in the record's terms; Commit writes them back after a load.
// Values outside their ranges in a processor's stored images are moved into them, and the log
// names the device, how many were moved and the first one.
void LimitStoredValues(CNerexSeriesDevice& d) {
  NerexRangeReport total;
  auto check = [&](CNerexSeriesMemory& memory) {
    NerexRangeReport report = CheckMemoryValues(memory, d.GetModel(), true);
    if (report.count > 0 && total.count == 0) total.first = std::move(report.first);
    total.count += report.count;
  };
  check(WritableSettings(d));
  for (auto& memory : WritablePresets(d)) check(*memory);
  for (auto& memory : WritableXoverPresets(d)) check(*memory);
  if (total.count == 0 || !d.GetHost()) return;
  const bool one = total.count == 1;
  d.GetHost()->WriteLog(d.GetDisplayName() + ": " + std::to_string(total.count) +
                          (one ? " stored value lay outside its range and was" : " stored values lay outside their ranges and were") +
                          " moved to the nearer end (first: " + total.first + ")\n");
}

struct CDeviceFieldsView {
  NerexDeviceRecordFields fields;

  CDeviceFieldsView(CNerexSeriesDevice& d, std::string& name) {
    fields.name = &name;
    fields.autoRtcUpdate = d.HostOptions().GetAutoRtcUpdate();
    fields.delayUnits = d.HostOptions().GetDelayUnits();
    fields.delayMultiplier = d.HostOptions().GetDelayMultiplier();
    fields.gainNudge = d.HostOptions().GetGainNudge();
    fields.current = &WritableSettings(d);
    fields.presets = &WritablePresets(d);
    fields.xoverPresets = &WritableXoverPresets(d);
    fields.general = d.GetGeneralSettings().bytes;
    const auto& timed = d.GetTimedPresets();
    for (std::size_t e = 0; e < timed.size(); ++e) {
      const TimedPresetEntry& t = timed[e];
      const std::uint8_t bytes[kNerexTimedPresetBytes] = {t.preset, t.mode, t.month, t.day, t.hour, t.minute};
      for (std::size_t k = 0; k < kNerexTimedPresetBytes; ++k) fields.timedPresets[e * kNerexTimedPresetBytes + k] = bytes[k];
    }
  }

  void Commit(CNerexSeriesDevice& d) const {
    d.HostOptions().SetAutoRtcUpdate(fields.autoRtcUpdate);
    d.HostOptions().SetDelayUnits(fields.delayUnits);
    d.HostOptions().SetDelayMultiplier(fields.delayMultiplier);
    d.HostOptions().SetGainNudge(fields.gainNudge);
    WritableGeneralSettings(d).bytes = fields.general;
    auto& timed = WritableTimedPresets(d);
    for (std::size_t e = 0; e < timed.size(); ++e) {
      const std::uint8_t* b = &fields.timedPresets[e * kNerexTimedPresetBytes];
      timed[e] = TimedPresetEntry{b[0], b[1], b[2], b[3], b[4], b[5]};
    }
  }
};

}  // namespace

void CNerexSeriesDevice::Serialize(CArchive& ar) {
  CDevice::Serialize(ar);
  CSingleLock lock(SettingsLock());
  std::string name = GetName();
  CDeviceFieldsView view(*this, name);
  SerializeNerexDeviceRecord(ar, view.fields);
  if (ar.IsLoading()) {
    SetName(name);
    view.Commit(*this);
    LimitStoredValues(*this);
  }
}

std::uint64_t CNerexSeriesDevice::StoredPrint() {
  CScopedValue printing(t_printing, true);
  return CDevice::StoredPrint();
}

void CNerexSeriesDevice::SerializeStream(CDataStream& ds) {
  CDevice::SerializeStream(ds);
  CSingleLock lock(SettingsLock());
  std::string name = GetName();
  CDeviceFieldsView view(*this, name);
  if (SerializeNerexDeviceStream(ds, view.fields) && ds.IsLoading()) {
    SetName(name);
    view.Commit(*this);
    LimitStoredValues(*this);
  }
}

bool CNerexSeriesDevice::SavePresetFile(const std::string& path, std::string* error) {
  CNerexSeriesMemory copy;
  {
    CSingleLock lock(SettingsLock());
    copy = GetCurrentSettings();
  }
  return SaveNerexPresetFile(path, copy, error);
}

bool CNerexSeriesDevice::LoadPresetFile(const std::string& path, std::string* error, std::string* note) {
  CNerexSeriesMemory loaded;
  if (!LoadNerexPresetFile(path, GetModel(), loaded, error, note)) return false;
  {
    CSingleLock lock(SettingsLock());
    m_current.CopyFrom(loaded);
  }
  NotifyAllParameters(*this);
  QueueBuilt(*this, false, [&](CControlMessage& m) { return BuildBlock26Message(*this, m, 0, 0xC0); });
  QueueBuilt(*this, false, [&](CControlMessage& m) { return BuildBlock31Message(*this, m, 0, 0xC0); });
  return true;
}
