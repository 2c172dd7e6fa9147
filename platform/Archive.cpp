// Archive reads and writes, a file loaded in pieces, and whole-file reads of regular files.
#include "platform/Archive.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFileInfo>
#include <QString>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <new>

CArchive::CArchive() : m_storing(true) {}

CArchive::CArchive(Sink sink) : m_storing(true), m_sink(std::move(sink)) { m_data.resize(kSinkBlockBytes); }

CArchive::CArchive(std::vector<std::uint8_t> data)
    : m_storing(false), m_data(std::move(data)), m_in(m_data.data()), m_inSize(m_data.size()), m_total(m_inSize) {}


CArchive::~CArchive() {
  if (m_fd >= 0) ::close(m_fd);
}

namespace {

constexpr const char* kNotRegularFileText = "Not a regular file";

std::atomic<void (*)()> g_readWaitHook{nullptr};

// A save that writes the file in place (platform/AtomicFile.h) holds the file's lock until the
// file is whole again: the read waits for it, so that it reads the file whole, and holds a
// shared lock while it reads. Ten seconds at most: a lock held longer, by whatever holds it, and
// a file system without such locks leave the file read as it is.
void WaitForASaveInPlace(int fd) {
  constexpr int kTries = 500;
  constexpr useconds_t kPauseUs = 20000;
  for (int i = 0; i < kTries; ++i) {
    if (::flock(fd, LOCK_SH | LOCK_NB) == 0 || (errno != EWOULDBLOCK && errno != EINTR)) return;
    if (void (*hook)() = g_readWaitHook.load()) hook();
    ::usleep(kPauseUs);
  }
}

// Opens path for reading when it names a regular file, and gives its status; -1 with a reason
// otherwise. Its type is looked at before it is opened: the open of a pipe waits for a writer
// for good, and a device may act on being opened or never end (/dev/zero).
int OpenRegularFile(const std::string& path, struct stat& info, std::string* error) {
  auto refuse = [error](const char* why) {
    if (error) *error = why;
    return -1;
  };
  if (::stat(path.c_str(), &info) != 0) return refuse(std::strerror(errno));
  if (S_ISDIR(info.st_mode)) return refuse(std::strerror(EISDIR));
  if (!S_ISREG(info.st_mode)) return refuse(kNotRegularFileText);
  // Not waiting, in case a pipe was put at the path meanwhile; what was opened is looked at
  // again.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return refuse(std::strerror(errno));
  WaitForASaveInPlace(fd);
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return refuse(kNotRegularFileText);
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

}  // namespace

void SetReadWaitHookForTests(void (*hook)()) { g_readWaitHook = hook; }

std::unique_ptr<CArchive> CArchive::LoadFile(const std::string& path, std::string* error) {
  struct stat info {};
  const int fd = OpenRegularFile(path, info, error);
  if (fd < 0) return nullptr;
  std::unique_ptr<CArchive> ar(new CArchive(std::vector<std::uint8_t>()));
  ar->m_fd = fd;
  ar->m_total = std::size_t(info.st_size);
  return ar;
}

void CArchive::Refill(std::size_t n) {
  if (m_fd < 0) ThrowEndOfFile();
  // What lies more than kRewindBytes behind the position is dropped; the rest moves to the
  // front and the piece is read on behind it, at least a block at a time.
  const std::size_t keepFrom = m_pos > kRewindBytes ? m_pos - kRewindBytes : 0;
  if (keepFrom > 0) std::memmove(m_data.data(), m_data.data() + keepFrom, m_inSize - keepFrom);
  m_base += keepFrom;
  m_pos -= keepFrom;
  m_inSize -= keepFrom;
  const std::size_t room = std::max(m_pos + n, kRewindBytes + kLoadBlockBytes);
  if (m_data.size() < room) m_data.resize(room);
  m_in = m_data.data();
  while (m_inSize - m_pos < n) {
    const ssize_t got = ::read(m_fd, m_data.data() + m_inSize, m_data.size() - m_inSize);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      const int code = errno;
      throw CArchiveException(CArchiveException::EndOfFile, std::string("the file could not be read: ") + std::strerror(code));
    }
    if (got == 0) ThrowEndOfFile();
    m_inSize += std::size_t(got);
  }
}

void CArchive::ThrowWrongMode() const {
  if (m_storing) throw CArchiveException(CArchiveException::WrongMode, "read from a storing archive");
  throw CArchiveException(CArchiveException::WrongMode, "write to a loading archive");
}

void CArchive::ThrowEndOfFile() {
  throw CArchiveException(CArchiveException::EndOfFile, "unexpected end of file");
}

void CArchive::Grow(std::size_t n) {
  if (m_sink) {
    // The full block goes on; the buffer grows only for a single piece larger than a block.
    Flush();
    if (n > m_data.size()) m_data.resize(n);
    return;
  }
  // At least double, so that a long store copies each byte a bounded number of times.
  m_data.resize(std::max({m_size + n, 2 * m_data.size(), std::size_t(4096)}));
}

void CArchive::Reserve(std::size_t n) {
  if (m_storing && !m_sink && n > m_data.size()) m_data.resize(n);
}

void CArchive::Flush() {
  NeedStoring();
  if (!m_sink || m_size == 0) return;
  const std::size_t n = m_size;
  m_size = 0;
  m_sink(m_data.data(), n);
}

void CArchive::WriteBytes(const void* data, std::size_t n) {
  if (n == 0) return NeedStoring();
  if (m_sink && n >= kSinkBlockBytes) {
    // A large piece (a picture) goes on as it is, after what came before it.
    Flush();
    m_sink(static_cast<const std::uint8_t*>(data), n);
    return;
  }
  std::memcpy(Room(n), data, n);
}

void CArchive::WriteU64(std::uint64_t v) {
  WriteU32(std::uint32_t(v));
  WriteU32(std::uint32_t(v >> 32));
}

void CArchive::WriteFloat(float v) {
  std::uint32_t bits;
  std::memcpy(&bits, &v, 4);
  WriteU32(bits);
}

void CArchive::WriteDouble(double v) {
  std::uint64_t bits;
  std::memcpy(&bits, &v, 8);
  WriteU64(bits);
}

void CArchive::WriteString(const std::string& utf8) {
  // ASCII, the text of nearly every name, is the same in UTF-16: it is written as it stands,
  // with no conversion and no copy.
  const bool ascii = std::all_of(utf8.begin(), utf8.end(), [](char c) { return std::uint8_t(c) < 0x80; });
  std::u16string wide;
  if (!ascii) wide = QString::fromUtf8(utf8.data(), qsizetype(utf8.size())).toStdU16String();
  const std::size_t n = ascii ? utf8.size() : wide.size();
  WriteU8(0xFF);
  WriteU16(0xFFFE);
  if (n < 0xFF) {
    WriteU8(std::uint8_t(n));
  } else if (n < 0xFFFE) {
    WriteU8(0xFF);
    WriteU16(std::uint16_t(n));
  } else {
    WriteU8(0xFF);
    WriteU16(0xFFFF);
    WriteU32(std::uint32_t(n));
  }
  // The text in one piece, little-endian.
  std::uint8_t* out = Room(2 * n);
  if (ascii) {
    for (char c : utf8) {
      *out++ = std::uint8_t(c);
      *out++ = 0;
    }
    return;
  }
  for (char16_t c : wide) {
    *out++ = std::uint8_t(c);
    *out++ = std::uint8_t(c >> 8);
  }
}

void CArchive::ReadBytes(void* data, std::size_t n) {
  Need(n);
  if (n) std::memcpy(data, m_in + m_pos, n);
  m_pos += n;
}

std::uint64_t CArchive::ReadU64() {
  std::uint64_t lo = ReadU32();
  std::uint64_t hi = ReadU32();
  return lo | (hi << 32);
}

float CArchive::ReadFloat() {
  std::uint32_t bits = ReadU32();
  float v;
  std::memcpy(&v, &bits, 4);
  return v;
}

double CArchive::ReadDouble() {
  std::uint64_t bits = ReadU64();
  double v;
  std::memcpy(&v, &bits, 8);
  return v;
}

std::string CArchive::ReadString() {
  // Length prefix: one byte below 0xFF, else FF and a u16; FF FE FF marks wide text and is
  // followed by the length again; FF FF FF is followed by a u32.
  bool wide = false;
  std::uint32_t length = ReadU8();
  if (length == 0xFF) {
    std::uint16_t w = ReadU16();
    if (w == 0xFFFE) {
      wide = true;
      length = ReadU8();
      if (length == 0xFF) w = ReadU16();
    }
    if (length == 0xFF) {
      length = (w == 0xFFFF) ? ReadU32() : w;
    }
  }
  CheckCount(length, wide ? 2 : 1);
  const std::size_t unit = wide ? 2 : 1;
  Need(unit * length);
  const std::uint8_t* p = m_in + m_pos;
  m_pos += unit * length;
  // ASCII, the text of nearly every name, reads the same in UTF-8 and needs no conversion.
  std::string ascii(length, '\0');
  std::uint32_t i = 0;
  for (; i < length; ++i) {
    const std::uint8_t low = p[unit * i];
    if (low >= 0x80 || (wide && p[2 * i + 1] != 0)) break;
    ascii[i] = char(low);
  }
  if (i == length) return ascii;
  if (wide) {
    std::u16string text(length, u'\0');
    for (i = 0; i < length; ++i) text[i] = char16_t(p[2 * i] | (p[2 * i + 1] << 8));
    return QString::fromStdU16String(text).toStdString();
  }
  return QString::fromLatin1(reinterpret_cast<const char*>(p), qsizetype(length)).toStdString();
}

void CArchive::Rewind(std::size_t position) {
  NeedLoading();
  if (position > Position()) throw CArchiveException(CArchiveException::BadFormat, "rewind past the position");
  if (position < m_base) throw CArchiveException(CArchiveException::BadFormat, "rewind beyond the bytes kept");
  m_pos = position - m_base;
}

void CArchive::CheckCount(std::uint64_t count, std::size_t elementSize) const {
  NeedLoading();
  if (elementSize != 0 && count > Remaining() / elementSize)
    throw CArchiveException(CArchiveException::BadCount, "count larger than the data left");
}

std::uint32_t ReadRecordVersion(CArchive& ar, std::uint32_t oldest, std::uint32_t newest, const char* record) {
  const std::uint32_t version = ar.ReadU32();
  CArchive::CheckVersion(version, oldest, newest, record);
  return version;
}

void CArchive::CheckVersion(std::uint32_t version, std::uint32_t oldest, std::uint32_t newest, const char* record) {
  if (version > newest)
    throw CArchiveException(CArchiveException::NewerVersion,
                            std::string(record) + ": version " + std::to_string(version) + " is newer than " +
                                std::to_string(newest));
  if (version < oldest)
    throw CArchiveException(CArchiveException::BadFormat,
                            std::string(record) + ": unknown version " + std::to_string(version));
}

namespace {

// Reads the whole file through grow(n), which makes room for n bytes in all and returns where
// they start; the file's size is the first guess, and a file that grows meanwhile (or claims no
// size, as those under /proc do) is read to its new end. Only a regular file of at most maxBytes
// is read. The bytes read in all go to got.
template <class Grow>
bool ReadWholeFileInto(const std::string& path, std::size_t maxBytes, Grow grow, std::size_t& got,
                       std::string* error) {
  got = 0;
  struct stat info {};
  const int fd = OpenRegularFile(path, info, error);
  if (fd < 0) return false;
  auto fail = [&](int code) {
    ::close(fd);
    if (error) *error = std::strerror(code);
    return false;
  };
  const std::size_t claimed = std::size_t(std::max<off_t>(info.st_size, 0));
  if (claimed > maxBytes) return fail(EFBIG);
  try {
    std::size_t room = claimed;
    std::uint8_t* data = grow(room);
    for (;;) {
      ssize_t n = 0;
      if (got < room) {
        n = ::read(fd, data + got, room - got);
      } else {
        // Past the size the file had: the room grows only when there is more to read.
        char more[4096];
        n = ::read(fd, more, sizeof more);
        if (n > 0) {
          if (std::size_t(n) > maxBytes - got) return fail(EFBIG);
          room = std::min(std::max(2 * room, got + std::size_t(n)), maxBytes);
          data = grow(room);
          std::memcpy(data + got, more, std::size_t(n));
        }
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return fail(errno);
      if (n == 0) break;
      got += std::size_t(n);
    }
  } catch (const std::bad_alloc&) {
    return fail(ENOMEM);
  }
  ::close(fd);
  return true;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string* error,
                   std::size_t maxBytes) {
  std::size_t got = 0;
  const bool read = ReadWholeFileInto(
      path, maxBytes,
      [&](std::size_t n) {
        bytes.resize(n);
        return bytes.data();
      },
      got, error);
  if (read) bytes.resize(got);
  return read;
}


std::size_t GetFileSize(const std::string& path) {
  const qint64 size = QFileInfo(QString::fromStdString(path)).size();
  return size > 0 ? std::size_t(size) : 0;
}
