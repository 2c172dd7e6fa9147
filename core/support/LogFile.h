// The log: every line gets a local time stamp and goes to "LogFile.txt" in the application-data
// folder (CR LF line ends; once the file reaches the size limit, the oldest lines are dropped
// down to three quarters of it) and to the output pane. A trim that cannot be written is said
// once in the log and tried again only once another quarter of the limit has been logged, or
// the limit or the file has changed.
//
// The trim runs on a thread of the log's own: the kept part, most of the log, is copied while
// lines go on being logged, and only the lines logged meanwhile and the file's replacement are
// done under the lock, which the comms worker needs for every reply.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/Types.h"

class CAppSettings;
class CCriticalSection;
class IMessageSink;
class CFile;

class CLogFile {
 public:
  // lock is the system's critical section, held for each whole write; settings give
  // "MaxLogFileSizeKB" and "LogCommsErrors", read at every line.
  CLogFile(CCriticalSection& lock, const CAppSettings& settings);
  // A trim under way is given up (the log stays as it was). Not while the lock is held.
  ~CLogFile();
  CLogFile(const CLogFile&) = delete;
  CLogFile& operator=(const CLogFile&) = delete;

  // The main frame, which shows each line in the output pane; null posts nothing.
  void SetOutputSink(IMessageSink* sink) { m_sink = sink; }

  // "<app-data>/Orvak/LogFile.txt".
  static std::string GetLogFilePath();
  // "dd-mm-yyyy hh:mm:ss", as the log stamps its lines.
  static std::string FormatTime(const std::tm& local);
  // FormatTime + "    " + text (the text keeps its own line end).
  static std::string FormatLine(const std::tm& local, const std::string& text);

  // Any thread. Writes the stamped line to the file and posts it to the output pane.
  void WriteLog(const std::string& text);
  // Any thread. As WriteLog while "LogCommsErrors" is on; otherwise drops the text.
  void WriteErrorLog(const std::string& text);
  // Any thread. Copies the whole log file to the destination, saved as a system file is (its
  // earlier bytes stay until the copy is whole on the disk), while no line is written. False on
  // any file error, with the writer's reason in error when given.
  bool ReadLogFile(const std::string& destination, std::string* error = nullptr);

  // Returns once no trim is due or under way (tests and benchmarks: a trim runs beside the
  // lines). Not while the lock is held.
  void WaitForTrim();

  // Tests: the local time that stamps the lines (empty restores the machine's).
  void SetLocalTimeForTests(std::function<std::tm()> now) { m_now = std::move(now); }

 private:
  // A trim asked for: the log file, its length after the line that asked, the limit then.
  struct CTrim {
    std::string path;
    std::int64_t size = 0;
    std::int64_t limit = 0;
  };

  std::tm LocalTime() const;
  // Appends the line to the file; the file's length after it, -1 when it could not be opened.
  // The lock is held.
  std::int64_t WriteLogFile(const std::string& line);
  // Hands a trim to the trim thread once the file of size bytes reaches the limit, unless one is
  // due or under way already, or the last one failed and the file has not grown by another
  // quarter of the same limit since. The lock is held.
  void TrimIfDue(std::int64_t size);
  // The trim thread.
  void RunTrims();
  // Drops the leading lines; what the log should say of a trim that could not be written, once.
  std::string TrimLogFile(const CTrim& trim);

  CCriticalSection& m_lock;
  const CAppSettings& m_settings;
  IMessageSink* m_sink = nullptr;
  std::function<std::tm()> m_now;
  // The last trim that could not be written: the file's length then (-1: none failed since the
  // last that was), the limit and the file it was for. Guarded by the lock.
  std::int64_t m_trimFailedAt = -1;
  std::int64_t m_trimFailedLimit = 0;
  std::string m_trimFailedPath;
  // The trim thread, started at the first trim, and what it is given; guarded by m_trimMutex.
  std::thread m_trimmer;
  std::mutex m_trimMutex;
  std::condition_variable m_trimWake;  // a trim is due, or the log ends
  std::condition_variable m_trimIdle;  // no trim is due or under way
  std::optional<CTrim> m_trimDue;
  bool m_trimming = false;
  std::atomic<bool> m_ending{false};
};
