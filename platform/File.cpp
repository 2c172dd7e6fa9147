// Files on QFile; paths, names and stamps through the system's own calls, on the path's bytes.
#include "platform/File.h"

#include <QFile>
#include <QString>
#include <filesystem>
#include <system_error>

#include <sys/stat.h>
#include <unistd.h>

class CFile::Impl {
 public:
  QFile file;
};

CFile::CFile() : m_impl(std::make_unique<Impl>()) {}
CFile::~CFile() = default;

bool CFile::Open(const std::string& path, Mode mode) {
  Close();
  m_impl->file.setFileName(QString::fromStdString(path));
  QIODevice::OpenMode flags = QIODevice::ReadOnly;
  if (mode == Mode::kReadWrite) flags = QIODevice::ReadWrite;
  if (mode == Mode::kTruncate) flags = QIODevice::WriteOnly | QIODevice::Truncate;
  return m_impl->file.open(flags);
}

void CFile::Close() {
  if (m_impl->file.isOpen()) m_impl->file.close();
}

std::int64_t CFile::Size() const { return m_impl->file.isOpen() ? m_impl->file.size() : -1; }

bool CFile::Seek(std::int64_t position) { return m_impl->file.seek(position); }

std::int64_t CFile::Read(void* data, std::int64_t n) { return m_impl->file.read(static_cast<char*>(data), n); }

std::int64_t CFile::Write(const void* data, std::int64_t n) {
  return m_impl->file.write(static_cast<const char*>(data), n);
}

bool CFile::Resize(std::int64_t size) { return m_impl->file.resize(size); }

bool CFile::Flush() { return m_impl->file.flush(); }

std::string FullFilePath(const std::string& path) {
  if (path.empty()) return path;
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path full = fs::absolute(path, ec);
  if (ec) return path;
  const fs::path name = full.filename();
  if (name.empty() || name == "." || name == "..") {
    const fs::path folder = fs::weakly_canonical(full, ec);
    return ec ? full.lexically_normal().string() : folder.string();
  }
  // The folders as the system resolves them (the part that exists through its links, the rest
  // by its names), then the last name as it was given.
  const fs::path folder = fs::weakly_canonical(full.parent_path(), ec);
  return ec ? full.lexically_normal().string() : (folder / name).string();
}

bool IsReadableFile(const std::string& path) {
  struct stat s {};
  return !path.empty() && ::stat(path.c_str(), &s) == 0 && S_ISREG(s.st_mode) && ::access(path.c_str(), R_OK) == 0;
}

bool IsSameFile(const std::string& a, const std::string& b) {
  if (a == b || FullFilePath(a) == FullFilePath(b)) return true;
  struct stat sa {}, sb {};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

std::optional<CFileStamp> ReadFileStamp(const std::string& path) {
  struct stat s {};
  if (path.empty() || ::stat(path.c_str(), &s) != 0) return std::nullopt;
  CFileStamp stamp;
  stamp.device = std::uint64_t(s.st_dev);
  stamp.inode = std::uint64_t(s.st_ino);
  stamp.size = std::int64_t(s.st_size);
  stamp.writtenNs = std::int64_t(s.st_mtim.tv_sec) * 1000000000 + std::int64_t(s.st_mtim.tv_nsec);
  return stamp;
}
