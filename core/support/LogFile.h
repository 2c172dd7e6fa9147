// The log: every line gets a local time stamp and goes to "LogFile.txt" in the application-data
// folder (CR LF line ends; once the file reaches the size limit, the oldest lines are dropped
// down to three quarters of it) and to the output pane. A trim that cannot be written is said
// once in the log and tried again only once another quarter of the limit has been logged, or
// the limit or the file has changed.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
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

  // Tests: the local time that stamps the lines (empty restores the machine's).
  void SetLocalTimeForTests(std::function<std::tm()> now) { m_now = std::move(now); }

 private:
  // Both return what the log should say of a trim that could not be written, once.
  std::string WriteLogFile(const std::string& line);
  // size: the file's length after the line.
  std::string TrimLogFile(std::int64_t size);

  CCriticalSection& m_lock;
  const CAppSettings& m_settings;
  IMessageSink* m_sink = nullptr;
  std::function<std::tm()> m_now;
  // The last trim that could not be written: the file's length then (-1: none failed since the
  // last that was), the limit and the file it was for.
  std::int64_t m_trimFailedAt = -1;
  std::int64_t m_trimFailedLimit = 0;
  std::string m_trimFailedPath;
};
