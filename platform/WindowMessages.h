// Posted window messages (WM_APP + N with two pointer-sized words) and numbered timers.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/Types.h"

// What model code posts to: the main frame, or a recording sink in tests.
class IMessageSink {
 public:
  virtual ~IMessageSink() = default;
  // Any thread. Messages from one thread arrive in the order they were posted.
  virtual bool PostMessage(std::uint32_t message, WPARAM wParam, LPARAM lParam) = 0;
};

// A window-like object of the UI thread: posted messages and timers are delivered to it
// through the Qt event loop of the thread that constructed it.
class CMessageTarget : public IMessageSink {
 public:
  CMessageTarget();
  ~CMessageTarget() override;
  CMessageTarget(const CMessageTarget&) = delete;
  CMessageTarget& operator=(const CMessageTarget&) = delete;

  bool PostMessage(std::uint32_t message, WPARAM wParam, LPARAM lParam) override;

  // UI thread. Starts (or restarts) timer id with the period; OnTimer(id) then runs each period.
  void SetTimer(std::uint32_t id, std::uint32_t periodMs);
  void KillTimer(std::uint32_t id);
  bool HasTimer(std::uint32_t id) const;

  // Runs the handlers of every message posted so far (used when shutting down).
  void DispatchPendingMessages();

 protected:
  // UI thread.
  virtual void OnMessage(std::uint32_t message, WPARAM wParam, LPARAM lParam) = 0;
  virtual void OnTimer(std::uint32_t id) { (void)id; }

 private:
  class Proxy;
  friend class Proxy;
  std::unique_ptr<Proxy> m_proxy;
};

// Records every message at the moment it is posted (any thread). For tests of model code.
class CRecordingSink : public IMessageSink {
 public:
  struct Message {
    std::uint32_t message;
    WPARAM wParam;
    LPARAM lParam;
  };
  bool PostMessage(std::uint32_t message, WPARAM wParam, LPARAM lParam) override;
  std::vector<Message> Messages() const;
  std::vector<Message> Take();
  std::size_t Count(std::uint32_t message) const;

 private:
  mutable std::mutex m_mutex;
  std::vector<Message> m_messages;
};
