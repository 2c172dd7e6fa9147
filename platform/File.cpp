// Files on QFile.
#include "platform/File.h"

#include <QFile>
#include <QString>
#include <filesystem>
#include <system_error>

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
  std::error_code ec;
  const std::filesystem::path full = std::filesystem::absolute(path, ec);
  return ec ? path : full.lexically_normal().string();
}
