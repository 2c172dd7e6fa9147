// The main frame as model tests see it: the recording UI services, with each log line posted
// with FrameMsg::kLogLine also kept as text in LogLines().
#pragma once

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "core/support/LogFile.h"
#include "core/support/SystemMessages.h"
#include "platform/WindowMessages.h"
#include "tests/support/RecordingUi.h"

class CRecordingFrame : public CRecordingUi {
 public:
  bool Post(CPostedMessage message) override {
    if (message.message == FrameMsg::kLogLine) {
      std::lock_guard<std::mutex> lock(m_logMutex);
      m_log.push_back(message.text);
    }
    return CRecordingUi::Post(std::move(message));
  }
  std::vector<std::string> LogLines() const {
    std::lock_guard<std::mutex> lock(m_logMutex);
    return m_log;
  }

 private:
  mutable std::mutex m_logMutex;
  std::vector<std::string> m_log;
};
