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

std::string CLogFile::FormatTime(const std::tm& local) {
  return FormatText("%.2d-%.2d-%d %.2d:%.2d:%.2d", local.tm_mday, local.tm_mon + 1, local.tm_year + 1900,
                    local.tm_hour, local.tm_min, local.tm_sec);
}

std::string CLogFile::FormatLine(const std::tm& local, const std::string& text) {
  return FormatTime(local) + "    " + text;
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
  const std::string failedTrim = WriteLogFile(line);
  if (m_sink) m_sink->Post(CPostedMessage{FrameMsg::kLogLine, 0, 0, 0, line});
  if (failedTrim.empty()) return;
  // Said after the line that made the trim: no trim is tried for this one.
  const std::string said = FormatLine(local, failedTrim);
  WriteLogFile(said);
  if (m_sink) m_sink->Post(CPostedMessage{FrameMsg::kLogLine, 0, 0, 0, said});
}

void CLogFile::WriteErrorLog(const std::string& text) {
  if (m_settings.logCommsErrors) WriteLog(text);
}

std::string CLogFile::WriteLogFile(const std::string& line) {
  CFile file;
  if (!file.Open(GetLogFilePath(), CFile::Mode::kReadWrite)) return {};
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
  return TrimLogFile(size);
}

// Once the file reaches the limit, drops whole leading lines, each up to and including its CR
// (the LF after the last one dropped stays at the start of the kept text), until the file is
// below three quarters of the limit: the log is rewritten once for every quarter of the limit
// that is logged, not at every line, so a line costs about the same at any limit. The kept part
// becomes the log only once it is whole on the disk (platform/AtomicFile.h): a trim cut short
// leaves the log as it was, never empty. A limit of 0 trims nothing.
//
// A trim that cannot be written (no room for the kept part, a disk that fails, a folder that
// takes no file) is not tried at every line after it, each copying most of the log under the
// lock that the bus waits for: once another quarter of the limit has been logged, or the limit
// or the log file is another (the cause may be gone), it is tried again. The first failure is
// said in the log; those after it until a trim works again are not.
std::string CLogFile::TrimLogFile(std::int64_t size) {
  const std::int64_t limit = std::int64_t(m_settings.maxLogFileSizeKB) * 1024;
  if (limit == 0 || size < limit) return {};
  const std::string path = GetLogFilePath();
  const bool failedBefore = m_trimFailedAt >= 0;
  if (failedBefore && limit == m_trimFailedLimit && path == m_trimFailedPath && size >= m_trimFailedAt &&
      size < m_trimFailedAt + limit / 4)
    return {};
  const std::int64_t below = limit - limit / 4;
  // The kept part starts after the first CR that leaves less than that behind it.
  std::string error = "The file could not be read";
  std::int64_t start = -1;
  CFile file;
  if (file.Open(path, CFile::Mode::kRead) && file.Seek(size - below)) {
    start = size;
    char block[64 * 1024];
    for (std::int64_t at = size - below; at < size;) {
      const std::int64_t n = file.Read(block, std::min<std::int64_t>(sizeof block, size - at));
      if (n <= 0) {
        start = -1;
        break;
      }
      if (const char* cr = std::find(block, block + n, '\r'); cr != block + n) {
        start = at + (cr - block) + 1;
        break;
      }
      at += n;
    }
  }
  file.Close();
  if (start >= 0 && SaveFileTail(path, std::uint64_t(start), path, &error)) {
    m_trimFailedAt = -1;
    return {};
  }
  m_trimFailedAt = size;
  m_trimFailedLimit = limit;
  m_trimFailedPath = path;
  if (failedBefore) return {};
  return FormatText("The log file could not be cut down to below its limit of %u KB: %s. It is tried again once "
                    "another quarter of that has been logged.\n",
                    m_settings.maxLogFileSizeKB, error.c_str());
}

bool CLogFile::ReadLogFile(const std::string& destination, std::string* error) {
  CSingleLock lock(m_lock);
  // As a system file is saved: the destination holds its earlier bytes or the whole log.
  return SaveFileTail(GetLogFilePath(), 0, destination, error);
}
