// Posted window messages (WM_APP + N with two pointer-sized words) and numbered timers.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Types.h"

// A posted message with what it carries. It owns its payload, so a message that is dropped or
// never delivered leaks nothing, and it names the object it is about by a handle that is never
// reused rather than by address.
struct CPostedMessage {
  std::uint32_t message = 0;
  WPARAM wParam = 0;         // a number
  LPARAM lParam = 0;         // a number
  std::uint64_t handle = 0;  // the object the message is about (CObjectHandle::Value); 0 for none
  std::string text;          // a text the message carries
};

// What model code posts to: the main frame, or a recording sink in tests.
class IMessageSink {
 public:
  virtual ~IMessageSink() = default;
  // Any thread. Messages from one thread arrive in the order they were posted. False when the
  // message could not be posted.
  virtual bool Post(CPostedMessage message) = 0;
  // A message that carries two numbers only.
  bool PostMessage(std::uint32_t message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return Post(CPostedMessage{message, wParam, lParam, 0, {}});
  }
};

// A window-like object of the UI thread: posted messages and timers are delivered to it
// through the Qt event loop of the thread that constructed it.
class CMessageTarget : public IMessageSink {
 public:
  CMessageTarget();
  ~CMessageTarget() override;
  CMessageTarget(const CMessageTarget&) = delete;
  CMessageTarget& operator=(const CMessageTarget&) = delete;

  bool Post(CPostedMessage message) override;

  // UI thread. Starts (or restarts) timer id with the period; OnTimer(id) then runs each period.
  void SetTimer(std::uint32_t id, std::uint32_t periodMs);
  void KillTimer(std::uint32_t id);
  bool HasTimer(std::uint32_t id) const;

  // Runs the handlers of every message posted so far (used when shutting down).
  void DispatchPendingMessages();

 protected:
  // UI thread.
  virtual void OnMessage(const CPostedMessage& message) = 0;
  virtual void OnTimer(std::uint32_t id) { (void)id; }

 private:
  class Proxy;
  friend class Proxy;
  std::unique_ptr<Proxy> m_proxy;
};

// Records every message at the moment it is posted (any thread). For tests of model code.
class CRecordingSink : public IMessageSink {
 public:
  using Message = CPostedMessage;
  bool Post(CPostedMessage message) override;
  std::vector<Message> Messages() const;
  std::vector<Message> Take();
  std::size_t Count(std::uint32_t message) const;

 private:
  mutable std::mutex m_mutex;
  std::vector<Message> m_messages;
};
