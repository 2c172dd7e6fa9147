// Binary archive of the system file and the image library file: little-endian words,
// 4-byte BOOLs and counted wide strings, over a byte buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

class CArchiveException : public std::runtime_error {
 public:
  enum Cause {
    EndOfFile,     // a read ran past the end of the data
    BadCount,      // a count or length larger than the bytes left
    BadFormat,     // a value that no writer produces
    WrongMode,     // a read on a storing archive or a write on a loading one
    NewerVersion,  // a record version above the newest this reader knows
    WriteFailed,   // the bytes stored could not be handed on (a full disk)
  };
  CArchiveException(Cause cause, const std::string& what) : std::runtime_error(what), m_cause(cause) {}
  Cause GetCause() const { return m_cause; }

 private:
  Cause m_cause;
};

class CArchive {
 public:
  // Where a storing archive hands its bytes on, block by block; it throws
  // CArchiveException(WriteFailed) when it cannot take them.
  using Sink = std::function<void(const std::uint8_t* data, std::size_t size)>;

  // An archive that stores into an empty buffer.
  CArchive();
  // An archive that stores through sink: the bytes go to it in blocks of about kSinkBlockBytes
  // as they are stored, and what is left at Flush. Data and TakeData do not apply to it.
  explicit CArchive(Sink sink);
  // An archive that loads from the given bytes.
  explicit CArchive(std::vector<std::uint8_t> data);
  // An archive that loads from the file at path, read in pieces as the records need them, so
  // that a large file is never held whole; null with a reason when the file cannot be opened
  // or is no regular file (a folder, a device or a pipe, which is never waited on). A read
  // error later throws CArchiveException(EndOfFile). A save of the file in place by another
  // process is waited for (platform/AtomicFile.h), and no such save starts while it reads.
  static std::unique_ptr<CArchive> LoadFile(const std::string& path, std::string* error);
  ~CArchive();
  CArchive(const CArchive&) = delete;
  CArchive& operator=(const CArchive&) = delete;

  bool IsStoring() const { return m_storing; }
  bool IsLoading() const { return !m_storing; }

  // Writes (storing only). The small ones are inline: records write thousands of them.
  void WriteU8(std::uint8_t v) { *Room(1) = v; }
  void WriteU16(std::uint16_t v) {
    std::uint8_t* p = Room(2);
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
  }
  void WriteU32(std::uint32_t v) {
    std::uint8_t* p = Room(4);
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
    p[2] = std::uint8_t(v >> 16);
    p[3] = std::uint8_t(v >> 24);
  }
  void WriteI32(std::int32_t v) { WriteU32(std::uint32_t(v)); }
  void WriteU64(std::uint64_t v);
  void WriteFloat(float v);
  void WriteDouble(double v);
  void WriteBool(bool v) { WriteU32(v ? 1u : 0u); }
  void WriteBytes(const void* data, std::size_t n);
  // The next n bytes stored, for a record that writes them itself; the pointer holds until the
  // next write.
  std::uint8_t* WriteSpan(std::size_t n) { return Room(n); }
  // Room for n bytes in all, so that a store of about that size never grows the buffer.
  void Reserve(std::size_t n);
  // A sink archive hands the bytes it still holds to its sink.
  void Flush();
  static constexpr std::size_t kSinkBlockBytes = 256 * 1024;
  // UTF-8 text written as the counted wide form: FF FE FF, the length, UTF-16LE.
  void WriteString(const std::string& utf8);

  // Reads (loading only); a short read throws CArchiveException(EndOfFile).
  std::uint8_t ReadU8() {
    Need(1);
    return m_in[m_pos++];
  }
  std::uint16_t ReadU16() {
    Need(2);
    const std::uint8_t* p = m_in + m_pos;
    m_pos += 2;
    return std::uint16_t(p[0] | (p[1] << 8));
  }
  std::uint32_t ReadU32() {
    Need(4);
    const std::uint8_t* p = m_in + m_pos;
    m_pos += 4;
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
  }
  std::int32_t ReadI32() { return std::int32_t(ReadU32()); }
  std::uint64_t ReadU64();
  float ReadFloat();
  double ReadDouble();
  bool ReadBool() { return ReadU32() != 0; }
  void ReadBytes(void* data, std::size_t n);
  // The next n bytes into out (replacing what it held).
  void ReadBytes(std::vector<std::uint8_t>& out, std::size_t n) {
    Need(n);
    const std::uint8_t* p = m_in + m_pos;
    out.assign(p, p + n);
    m_pos += n;
  }
  // The next n bytes where they lie, for a record that parses them itself; valid as long as
  // the archive is.
  const std::uint8_t* ReadSpan(std::size_t n) {
    Need(n);
    const std::uint8_t* p = m_in + m_pos;
    m_pos += n;
    return p;
  }
  // Accepts the wide form and the narrow counted form (bytes taken as Latin-1).
  std::string ReadString();

  // Steps over the next n bytes; a short record throws CArchiveException(EndOfFile).
  void Skip(std::size_t n) {
    Need(n);
    m_pos += n;
  }
  // Loading goes on from an earlier position, so that a record checked in a first pass is
  // read in a second: at most kRewindBytes back when the archive reads a file in pieces.
  void Rewind(std::size_t position);
  static constexpr std::size_t kRewindBytes = 16 * 1024;
  static constexpr std::size_t kLoadBlockBytes = 256 * 1024;
  // Throws BadCount unless count elements of elementSize bytes can still be read.
  void CheckCount(std::uint64_t count, std::size_t elementSize) const;
  // Throws unless oldest <= version <= newest: NewerVersion above (a later program wrote the
  // record), BadFormat below. Records carry no length, so an unknown one cannot be stepped over.
  static void CheckVersion(std::uint32_t version, std::uint32_t oldest, std::uint32_t newest, const char* record);
  std::size_t Remaining() const { return m_total - m_base - m_pos; }
  std::size_t Position() const { return m_base + m_pos; }

  // What was stored, or the bytes being loaded.
  const std::vector<std::uint8_t>& Data() const {
    if (m_storing) m_data.resize(m_size);
    return m_data;
  }
  std::vector<std::uint8_t> TakeData() {
    Data();
    m_size = 0;
    return std::move(m_data);
  }

 private:
  void NeedLoading() const {
    if (m_storing) ThrowWrongMode();
  }
  void NeedStoring() const {
    if (!m_storing) ThrowWrongMode();
  }
  void Need(std::size_t n) {
    NeedLoading();
    if (n > m_inSize - m_pos) Refill(n);
  }
  // A file archive reads on until n bytes lie at the position; any other throws EndOfFile.
  void Refill(std::size_t n);
  // Storing: n bytes at the end, to be filled by the caller.
  std::uint8_t* Room(std::size_t n) {
    NeedStoring();
    if (m_data.size() - m_size < n) Grow(n);
    std::uint8_t* p = m_data.data() + m_size;
    m_size += n;
    return p;
  }
  void Grow(std::size_t n);
  [[noreturn]] void ThrowWrongMode() const;
  [[noreturn]] static void ThrowEndOfFile();

  bool m_storing;
  Sink m_sink;  // storing through a sink: m_data is a block buffer, handed on when full
  // Storing: the bytes stored are the first m_size; the rest is room, dropped by Data().
  mutable std::vector<std::uint8_t> m_data;
  // Loading: the bytes read are in m_data.
  mutable const std::uint8_t* m_in = nullptr;
  std::size_t m_inSize = 0;
  std::size_t m_size = 0;
  std::size_t m_pos = 0;
  // Loading a file in pieces: m_data holds the piece that starts at m_base of m_total bytes.
  int m_fd = -1;
  std::size_t m_base = 0;
  std::size_t m_total = 0;
};

// Reads a record's version word and returns it when it lies from oldest to newest. A later one
// throws NewerVersion (the file comes from a later program; its fields cannot be read past),
// any other BadFormat; the message names the record ("unknown <record> record version").
std::uint32_t ReadRecordVersion(CArchive& ar, std::uint32_t oldest, std::uint32_t newest, const char* record);

// Stream-style helpers so records read and write alike.
inline CArchive& operator<<(CArchive& ar, std::uint8_t v) { ar.WriteU8(v); return ar; }
inline CArchive& operator<<(CArchive& ar, std::uint16_t v) { ar.WriteU16(v); return ar; }
inline CArchive& operator<<(CArchive& ar, std::uint32_t v) { ar.WriteU32(v); return ar; }
inline CArchive& operator<<(CArchive& ar, std::int32_t v) { ar.WriteI32(v); return ar; }
inline CArchive& operator<<(CArchive& ar, float v) { ar.WriteFloat(v); return ar; }
inline CArchive& operator<<(CArchive& ar, double v) { ar.WriteDouble(v); return ar; }
inline CArchive& operator<<(CArchive& ar, const std::string& v) { ar.WriteString(v); return ar; }
inline CArchive& operator>>(CArchive& ar, std::uint8_t& v) { v = ar.ReadU8(); return ar; }
inline CArchive& operator>>(CArchive& ar, std::uint16_t& v) { v = ar.ReadU16(); return ar; }
inline CArchive& operator>>(CArchive& ar, std::uint32_t& v) { v = ar.ReadU32(); return ar; }
inline CArchive& operator>>(CArchive& ar, std::int32_t& v) { v = ar.ReadI32(); return ar; }
inline CArchive& operator>>(CArchive& ar, float& v) { v = ar.ReadFloat(); return ar; }
inline CArchive& operator>>(CArchive& ar, double& v) { v = ar.ReadDouble(); return ar; }
inline CArchive& operator>>(CArchive& ar, std::string& v) { v = ar.ReadString(); return ar; }

// The size of the file at path, 0 when there is none.
std::size_t GetFileSize(const std::string& path);
// The most bytes a file read whole may hold by default: far more than any library, picture or
// preset file that a person makes, and still a read that the machine can hold.
constexpr std::size_t kMaxWholeFileBytes = std::size_t(1) << 30;
// Reads a whole file; false with a reason when it cannot be read, when it is no regular file (a
// folder, a device, a pipe: "Not a regular file") or when it holds more than maxBytes ("File
// too large"). Neither of those is waited on or read far; a save of the file in place by
// another process is waited for, as by LoadFile.
bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string* error,
                   std::size_t maxBytes = kMaxWholeFileBytes);
// The whole of bytes written through a CAtomicFileWriter (platform/AtomicFile.h): as a rule a
// temporary file beside path, flushed to the disk and renamed over path only when every byte
// got there, else written in place behind a kept copy of the earlier bytes; on failure path
// holds its earlier bytes and no temporary file is left.
bool WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes,
                         std::string* error);
// Tests: the call that flushes a file descriptor's data, or a folder's entries, to the disk
// (fdatasync for a file and fsync for a folder when null); it returns -1 and sets errno on
// failure.
void SetFileSyncForTests(int (*sync)(int fd));
// Tests: called each time a read finds the file held by a save in place and waits (null: none).
void SetReadWaitHookForTests(void (*hook)());
