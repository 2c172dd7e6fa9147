// Log file writer.
#include "core/support/LogFile.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <vector>

#include "core/support/AppSettings.h"
#include "core/support/SystemMessages.h"
#include "platform/AppPaths.h"
#include "platform/File.h"
#include "platform/Sync.h"
#include "platform/WindowMessages.h"
#include "platform/TextFormat.h"


CLogFile::CLogFile(CCriticalSection& lock, const CAppSettings& settings)
    : m_lock(lock), m_settings(settings) {}

CLogFile::~CLogFile() = default;

std::string CLogFile::GetLogFilePath() { return GetAppDataFolder() + "LogFile.txt"; }

std::string CLogFile::FormatLine(const std::tm& local, const std::string& text) {
  return FormatText("%.2d-%.2d-%d %.2d:%.2d:%.2d    ", local.tm_mday, local.tm_mon + 1, local.tm_year + 1900,
                    local.tm_hour, local.tm_min, local.tm_sec) +
         text;
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

  if (m_sink) m_sink->Post(CPostedMessage{FrameMsg::kLogLine, 0, 0, 0, line});
}

void CLogFile::WriteErrorLog(const std::string& text) {
  if (m_settings.logCommsErrors) WriteLog(text);
}

void CLogFile::WriteLogFile(const std::string& line) {
  CFile file;
  if (!file.Open(GetLogFilePath(), CFile::Mode::kReadWrite)) return;
  std::string bytes;
  bytes.reserve(line.size() + 8);
  for (char c : line) {
    if (c == '\n') bytes.push_back('\r');
    bytes.push_back(c);
  }
  file.Seek(file.Size());
  file.Write(bytes.data(), std::int64_t(bytes.size()));
  file.Flush();
  TrimLogFile(file);
  file.Close();
}

// Drops whole leading lines, each up to and including its CR, until the file is below the
// limit; the LF after a dropped CR stays at the start of the kept text. A limit of 0 trims
// nothing.
void CLogFile::TrimLogFile(CFile& file) {
  const std::int64_t limit = std::int64_t(m_settings.maxLogFileSizeKB) * 1024;
  const std::int64_t size = file.Size();
  if (limit == 0 || size < limit) return;
  try {
    if (m_trimBuffer.size() < std::size_t(size)) m_trimBuffer.resize(std::size_t(size));
  } catch (const std::bad_alloc&) {
    return;  // the file stays as it is; the line is written
  }
  file.Seek(0);
  const std::int64_t read = file.Read(m_trimBuffer.data(), size);
  if (read != size) return;
  std::int64_t start = 0;
  while (size - start > 0 && size - start >= limit) {
    const char* begin = m_trimBuffer.data();
    const char* end = begin + size;
    const char* cr = std::find(begin + start, end, '\r');
    start = (cr - begin) + (cr == end ? 0 : 1);
  }
  file.Resize(0);
  file.Seek(0);
  file.Write(m_trimBuffer.data() + start, size - start);
  file.Flush();
}

bool CLogFile::ReadLogFile(const std::string& destination) {
  CSingleLock lock(m_lock);
  return CopyWholeFile(GetLogFilePath(), destination);
}
