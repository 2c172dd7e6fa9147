// The main frame as model tests see it: records every message as CRecordingSink does, and
// takes over each log line posted with WM_LOG_LINE (kept as text), so that no line outlives
// the test.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/LogFile.h"
#include "platform/WindowMessages.h"

class CRecordingFrame : public CRecordingSink {
 public:
  // The recorded WM_LOG_LINE message keeps wParam 0: the line itself is in LogLines().
  bool PostMessage(std::uint32_t message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_LOG_LINE) {
      std::unique_ptr<std::string> line = TakePostedLogLine(wParam);
      std::lock_guard<std::mutex> lock(m_logMutex);
      if (line) m_log.push_back(*line);
      wParam = 0;
    }
    return CRecordingSink::PostMessage(message, wParam, lParam);
  }
  std::vector<std::string> LogLines() const {
    std::lock_guard<std::mutex> lock(m_logMutex);
    return m_log;
  }

 private:
  mutable std::mutex m_logMutex;
  std::vector<std::string> m_log;
};
