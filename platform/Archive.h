// Binary archive of the system file and the image library file: little-endian words,
// 4-byte BOOLs and counted wide strings, over a byte buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

class CArchiveException : public std::runtime_error {
 public:
  enum Cause {
    EndOfFile,  // a read ran past the end of the data
    BadCount,   // a count or length larger than the bytes left
    BadFormat,  // a value that no writer produces
    WrongMode,  // a read on a storing archive or a write on a loading one
  };
  CArchiveException(Cause cause, const std::string& what) : std::runtime_error(what), m_cause(cause) {}
  Cause GetCause() const { return m_cause; }

 private:
  Cause m_cause;
};

class CArchive {
 public:
  // An archive that stores into an empty buffer.
  CArchive();
  // An archive that loads from the given bytes.
  explicit CArchive(std::vector<std::uint8_t> data);

  bool IsStoring() const { return m_storing; }
  bool IsLoading() const { return !m_storing; }

  // Writes (storing only).
  void WriteU8(std::uint8_t v);
  void WriteU16(std::uint16_t v);
  void WriteU32(std::uint32_t v);
  void WriteI32(std::int32_t v) { WriteU32(std::uint32_t(v)); }
  void WriteU64(std::uint64_t v);
  void WriteFloat(float v);
  void WriteDouble(double v);
  void WriteBool(bool v) { WriteU32(v ? 1u : 0u); }
  void WriteBytes(const void* data, std::size_t n);
  // UTF-8 text written as the counted wide form: FF FE FF, the length, UTF-16LE.
  void WriteString(const std::string& utf8);

  // Reads (loading only); a short read throws CArchiveException(EndOfFile).
  std::uint8_t ReadU8();
  std::uint16_t ReadU16();
  std::uint32_t ReadU32();
  std::int32_t ReadI32() { return std::int32_t(ReadU32()); }
  std::uint64_t ReadU64();
  float ReadFloat();
  double ReadDouble();
  bool ReadBool() { return ReadU32() != 0; }
  void ReadBytes(void* data, std::size_t n);
  // Accepts the wide form and the narrow counted form (bytes taken as Latin-1).
  std::string ReadString();

  // Throws BadCount unless count elements of elementSize bytes can still be read.
  void CheckCount(std::uint64_t count, std::size_t elementSize) const;
  std::size_t Remaining() const { return m_data.size() - m_pos; }
  std::size_t Position() const { return m_pos; }

  const std::vector<std::uint8_t>& Data() const { return m_data; }
  std::vector<std::uint8_t> TakeData() { return std::move(m_data); }

 private:
  void NeedLoading() const;
  void NeedStoring() const;
  void Need(std::size_t n) const;

  bool m_storing;
  std::vector<std::uint8_t> m_data;
  std::size_t m_pos = 0;
};

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

// Reads a whole file; false with a reason when it cannot be read.
bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string* error);
// Writes a temporary file beside path, flushes it to the disk and renames it over path only
// when every byte was written and flushed; on failure path is untouched and no temporary file
// is left.
bool WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes,
                         std::string* error);
// Tests: the call that flushes a file descriptor to the disk (fsync when null); it returns -1
// and sets errno on failure.
void SetFileSyncForTests(int (*sync)(int fd));
