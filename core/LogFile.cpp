// Log file writer.
#include "core/LogFile.h"

#include <QFile>
#include <algorithm>
#include <cstdio>
#include <new>
#include <vector>

#include "core/AppSettings.h"
#include "platform/AppPaths.h"
#include "platform/Sync.h"
#include "platform/WindowMessages.h"


CLogFile::CLogFile(CCriticalSection& lock, const CAppSettings& settings)
    : m_lock(lock), m_settings(settings) {}

CLogFile::~CLogFile() = default;

std::string CLogFile::GetLogFilePath() { return GetAppDataFolder() + "LogFile.txt"; }

std::string CLogFile::FormatLine(const std::tm& local, const std::string& text) {
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%.2d-%.2d-%d %.2d:%.2d:%.2d    ", local.tm_mday,
                local.tm_mon + 1, local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec);
  return stamp + text;
}

void CLogFile::WriteLog(const std::string& text) {
  CSingleLock lock(m_lock);
  std::tm local{};
  if (m_now) {
    local = m_now();
  } else {
    const std::time_t now = std::time(nullptr);
    localtime_r(&now, &local);
  }
  const std::string line = FormatLine(local, text);

  // A new limit drops the old trim buffer; trimming grows a new one to the size of the file it
  // trims, never to the limit itself, which the user may have typed as large as 4 TB.
  const std::uint32_t limitKB = m_settings.maxLogFileSizeKB;
  if (limitKB != m_trimLimitKB) {
    m_trimLimitKB = limitKB;
    std::vector<char>().swap(m_trimBuffer);
  }
  WriteLogFile(line);

  if (m_sink) m_sink->Post(CPostedMessage{WM_LOG_LINE, 0, 0, 0, line});
}

void CLogFile::WriteErrorLog(const std::string& text) {
  if (m_settings.logCommsErrors) WriteLog(text);
}

void CLogFile::WriteLogFile(const std::string& line) {
  QFile file(QString::fromStdString(GetLogFilePath()));
  // ReadWrite creates the file when missing and keeps what is there.
  if (!file.open(QIODevice::ReadWrite)) return;
  std::string bytes;
  bytes.reserve(line.size() + 8);
  for (char c : line) {
    if (c == '\n') bytes.push_back('\r');
    bytes.push_back(c);
  }
  file.seek(file.size());
  file.write(bytes.data(), qint64(bytes.size()));
  file.flush();
  TrimLogFile(file);
  file.close();
}

// Drops whole leading lines, each up to and including its CR, until the file is below the
// limit; the LF after a dropped CR stays at the start of the kept text. A limit of 0 trims
// nothing.
void CLogFile::TrimLogFile(QFile& file) {
  const qint64 limit = qint64(m_settings.maxLogFileSizeKB) * 1024;
  const qint64 size = file.size();
  if (limit == 0 || size < limit) return;
  try {
    if (m_trimBuffer.size() < std::size_t(size)) m_trimBuffer.resize(std::size_t(size));
  } catch (const std::bad_alloc&) {
    return;  // the file stays as it is; the line is written
  }
  file.seek(0);
  const qint64 read = file.read(m_trimBuffer.data(), size);
  if (read != size) return;
  qint64 start = 0;
  while (size - start > 0 && size - start >= limit) {
    const char* begin = m_trimBuffer.data();
    const char* end = begin + size;
    const char* cr = std::find(begin + start, end, '\r');
    start = (cr - begin) + (cr == end ? 0 : 1);
  }
  file.resize(0);
  file.seek(0);
  file.write(m_trimBuffer.data() + start, size - start);
  file.flush();
}

bool CLogFile::ReadLogFile(const std::string& destination) {
  CSingleLock lock(m_lock);
  QFile source(QString::fromStdString(GetLogFilePath()));
  if (!source.open(QIODevice::ReadOnly)) return false;
  const QByteArray content = source.readAll();
  if (source.error() != QFileDevice::NoError) return false;
  QFile target(QString::fromStdString(destination));
  if (!target.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  if (target.write(content) != content.size()) return false;
  return target.flush();
}
