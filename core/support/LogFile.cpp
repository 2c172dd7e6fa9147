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

CLogFile::~CLogFile() {
  {
    std::lock_guard<std::mutex> guard(m_trimMutex);
    m_ending = true;
  }
  m_trimWake.notify_all();
  if (m_trimmer.joinable()) m_trimmer.join();
}

std::string CLogFile::GetLogFilePath() { return GetAppDataFolder() + "LogFile.txt"; }

std::string CLogFile::FormatTime(const std::tm& local) {
  return FormatText("%.2d-%.2d-%d %.2d:%.2d:%.2d", local.tm_mday, local.tm_mon + 1, local.tm_year + 1900,
                    local.tm_hour, local.tm_min, local.tm_sec);
}

std::string CLogFile::FormatLine(const std::tm& local, const std::string& text) {
  return FormatTime(local) + "    " + text;
}

std::tm CLogFile::LocalTime() const {
  if (m_now) return m_now();
  std::tm local{};
  const std::time_t now = std::time(nullptr);
  localtime_r(&now, &local);
  return local;
}

void CLogFile::WriteLog(const std::string& text) {
  CSingleLock lock(m_lock);
  const std::string line = FormatLine(LocalTime(), text);
  const std::int64_t size = WriteLogFile(line);
  if (m_sink) m_sink->Post(CPostedMessage{FrameMsg::kLogLine, 0, 0, 0, line});
  if (size >= 0) TrimIfDue(size);
}

void CLogFile::WriteErrorLog(const std::string& text) {
  if (m_settings.logCommsErrors) WriteLog(text);
}

std::int64_t CLogFile::WriteLogFile(const std::string& line) {
  CFile file;
  if (!file.Open(GetLogFilePath(), CFile::Mode::kReadWrite)) return -1;
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
  return size;
}

// Once the file reaches the limit, the trim drops whole leading lines, each up to and including
// its CR (the LF after the last one dropped stays at the start of the kept text), until the file
// is below three quarters of the limit: the log is rewritten once for every quarter of the limit
// that is logged, not at every line. A limit of 0 trims nothing.
//
// A trim that cannot be written (no room for the kept part, a disk that fails, a folder that
// takes no file) is not tried at every line after it: once another quarter of the limit has been
// logged, or the limit or the log file is another (the cause may be gone), it is tried again.
void CLogFile::TrimIfDue(std::int64_t size) {
  const std::int64_t limit = std::int64_t(m_settings.maxLogFileSizeKB) * 1024;
  if (limit == 0 || size < limit) return;
  const std::string path = GetLogFilePath();
  if (m_trimFailedAt >= 0 && limit == m_trimFailedLimit && path == m_trimFailedPath && size >= m_trimFailedAt &&
      size < m_trimFailedAt + limit / 4)
    return;
  std::lock_guard<std::mutex> guard(m_trimMutex);
  if (m_ending || m_trimDue || m_trimming) return;
  m_trimDue = CTrim{path, size, limit};
  if (!m_trimmer.joinable()) m_trimmer = std::thread([this] { RunTrims(); });
  m_trimWake.notify_all();
}

void CLogFile::RunTrims() {
  for (;;) {
    CTrim trim;
    {
      std::unique_lock<std::mutex> guard(m_trimMutex);
      m_trimWake.wait(guard, [this] { return m_ending || m_trimDue; });
      if (m_ending) break;
      trim = std::move(*m_trimDue);
      m_trimDue.reset();
      m_trimming = true;
    }
    const std::string failed = TrimLogFile(trim);
    if (!failed.empty()) {
      // Said once, as a line of its own: it makes no trim of its own.
      CSingleLock lock(m_lock);
      const std::string said = FormatLine(LocalTime(), failed);
      WriteLogFile(said);
      if (m_sink) m_sink->Post(CPostedMessage{FrameMsg::kLogLine, 0, 0, 0, said});
    }
    {
      std::lock_guard<std::mutex> guard(m_trimMutex);
      m_trimming = false;
    }
    m_trimIdle.notify_all();
  }
  {
    std::lock_guard<std::mutex> guard(m_trimMutex);
    m_trimDue.reset();
  }
  m_trimIdle.notify_all();
}

void CLogFile::WaitForTrim() {
  std::unique_lock<std::mutex> guard(m_trimMutex);
  m_trimIdle.wait(guard, [this] { return !m_trimDue && !m_trimming; });
}

namespace {

// Copies the log's bytes from at up to end (-1: the file's end) to the writer, moving at on;
// false with a reason, or when the log is ending.
bool CopyLogBytes(const std::string& path, std::int64_t& at, std::int64_t end, CAtomicFileWriter& writer,
                  const std::atomic<bool>& ending, std::string* error) {
  CFile file;
  if (!file.Open(path, CFile::Mode::kRead) || !file.Seek(at)) {
    *error = "The file could not be read";
    return false;
  }
  if (end < 0) end = file.Size();
  std::vector<char> block(1 << 20);
  while (at < end) {
    if (ending) return false;
    const std::int64_t n = file.Read(block.data(), std::min<std::int64_t>(std::int64_t(block.size()), end - at));
    if (n <= 0) {
      *error = "The file could not be read";
      return false;
    }
    if (!writer.Write(block.data(), std::size_t(n), error)) return false;
    at += n;
  }
  return true;
}

}  // namespace

std::string CLogFile::TrimLogFile(const CTrim& trim) {
  const std::int64_t below = trim.limit - trim.limit / 4;
  // The kept part starts after the first CR that leaves less than that behind it. Lines logged
  // meanwhile only add to the end.
  std::string error = "The file could not be read";
  std::int64_t start = -1;
  {
    CFile file;
    if (file.Open(trim.path, CFile::Mode::kRead) && file.Seek(trim.size - below)) {
      start = trim.size;
      char block[64 * 1024];
      for (std::int64_t at = trim.size - below; at < trim.size;) {
        const std::int64_t n = file.Read(block, std::min<std::int64_t>(sizeof block, trim.size - at));
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
  }
  // The writer is opened and ends under the lock: the kept part becomes the log only once it is
  // whole on the disk (platform/AtomicFile.h), with every line logged until then, and a trim cut
  // short leaves the log as it was, never empty.
  std::unique_lock<CCriticalSection> hold(m_lock);
  // The log being replaced is held open across the rename and closed once the lock is released:
  // the disk's blocks of a large log are freed then, not inside the rename under the lock.
  CFile replaced;
  bool trimmed = false;
  {
    CAtomicFileWriter writer(trim.path);
    std::int64_t at = start;
    bool ok = start >= 0 && writer.Open(&error);
    // Written beside the log, the bulk of the kept part goes while lines go on being logged. In
    // place (a log with a second link) each byte goes over the log as it comes: all of it under
    // the lock, so that no line comes between.
    if (ok && !writer.WritesInPlace()) {
      // Flushed here too, so that the flush under the lock waits only for the lines since.
      hold.unlock();
      ok = CopyLogBytes(trim.path, at, trim.size, writer, m_ending, &error) && writer.Flush(&error);
      hold.lock();
    }
    if (ok && !writer.WritesInPlace()) replaced.Open(trim.path, CFile::Mode::kRead);
    trimmed = ok && CopyLogBytes(trim.path, at, -1, writer, m_ending, &error) && writer.Commit(&error);
  }
  std::string failed;
  if (trimmed || m_ending) {
    m_trimFailedAt = -1;
  } else {
    const bool failedBefore = m_trimFailedAt >= 0;
    m_trimFailedAt = trim.size;
    m_trimFailedLimit = trim.limit;
    m_trimFailedPath = trim.path;
    if (!failedBefore)
      failed = FormatText("The log file could not be cut down to below its limit of %u KB: %s. It is tried again "
                          "once another quarter of that has been logged.\n",
                          unsigned(trim.limit / 1024), error.c_str());
  }
  hold.unlock();
  replaced.Close();
  return failed;
}

bool CLogFile::ReadLogFile(const std::string& destination, std::string* error) {
  CSingleLock lock(m_lock);
  // As a system file is saved: the destination holds its earlier bytes or the whole log.
  return SaveFileTail(GetLogFilePath(), 0, destination, error);
}
