// Log file writer.
#include "core/support/LogFile.h"

#include <algorithm>
#include <cstdio>

#include "core/support/AppSettings.h"
#include "core/support/SystemMessages.h"
#include "platform/AppPaths.h"
#include "platform/AtomicFile.h"
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
  const std::int64_t size = file.Size();
  file.Close();
  TrimLogFile(size);
}

// Once the file reaches the limit, drops whole leading lines, each up to and including its CR
// (the LF after the last one dropped stays at the start of the kept text), until the file is
// below three quarters of the limit: the log is rewritten once for every quarter of the limit
// that is logged, not at every line, so a line costs about the same at any limit. The kept part
// becomes the log only once it is whole on the disk (platform/AtomicFile.h): a trim cut short
// leaves the log as it was, never empty. A limit of 0 trims nothing.
void CLogFile::TrimLogFile(std::int64_t size) {
  const std::int64_t limit = std::int64_t(m_settings.maxLogFileSizeKB) * 1024;
  if (limit == 0 || size < limit) return;
  const std::int64_t below = limit - limit / 4;
  // The kept part starts after the first CR that leaves less than that behind it.
  CFile file;
  if (!file.Open(GetLogFilePath(), CFile::Mode::kRead) || !file.Seek(size - below)) return;
  std::int64_t start = size;
  char block[64 * 1024];
  for (std::int64_t at = size - below; at < size;) {
    const std::int64_t n = file.Read(block, std::min<std::int64_t>(sizeof block, size - at));
    if (n <= 0) return;
    if (const char* cr = std::find(block, block + n, '\r'); cr != block + n) {
      start = at + (cr - block) + 1;
      break;
    }
    at += n;
  }
  file.Close();
  SaveFileTail(GetLogFilePath(), std::uint64_t(start), GetLogFilePath(), nullptr);
}

bool CLogFile::ReadLogFile(const std::string& destination) {
  CSingleLock lock(m_lock);
  // As a system file is saved: the destination holds its earlier bytes or the whole log.
  return SaveFileTail(GetLogFilePath(), 0, destination, nullptr);
}
