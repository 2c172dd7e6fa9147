// Critical section, manual-reset event and worker thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/Types.h"

// Recursive lock: the thread that holds it may enter again.
class CCriticalSection {
 public:
  void Enter() { m_mutex.lock(); }
  void Leave() { m_mutex.unlock(); }
  bool TryEnter() { return m_mutex.try_lock(); }
  // For std::lock_guard / std::unique_lock.
  void lock() { Enter(); }
  void unlock() { Leave(); }

 private:
  std::recursive_mutex m_mutex;
};

// Holds a critical section for its scope.
class CSingleLock {
 public:
  explicit CSingleLock(CCriticalSection& cs) : m_cs(cs) { m_cs.Enter(); }
  ~CSingleLock() { m_cs.Leave(); }
  CSingleLock(const CSingleLock&) = delete;
  CSingleLock& operator=(const CSingleLock&) = delete;

 private:
  CCriticalSection& m_cs;
};

// Event that starts unsignalled and stays set until reset; every waiter sees it set.
class CManualResetEvent {
 public:
  explicit CManualResetEvent(bool initiallySet = false) : m_set(initiallySet) {}
  void Set();
  void Reset();
  bool IsSet() const;
  // True when the event is set within the time-out (INFINITE_WAIT waits without limit).
  bool Wait(std::uint32_t timeoutMs) const;

 private:
  mutable std::mutex m_mutex;
  mutable std::condition_variable m_cv;
  bool m_set;
};

// Event that wakes one waiter and resets itself as that waiter returns.
class CAutoResetEvent {
 public:
  void Set();
  // True when the event was set within the time-out (INFINITE_WAIT waits without limit); the
  // event is then reset.
  bool Wait(std::uint32_t timeoutMs);

 private:
  std::mutex m_mutex;
  std::condition_variable m_cv;
  bool m_set = false;
};

// One background thread. Joining is explicit; destroying a running thread joins it.
class CWorkerThread {
 public:
  CWorkerThread() = default;
  ~CWorkerThread();
  CWorkerThread(const CWorkerThread&) = delete;
  CWorkerThread& operator=(const CWorkerThread&) = delete;

  // Starts the body; lowPriority asks the OS to run it below normal threads. False if running.
  bool Start(std::function<void()> body, bool lowPriority);
  bool IsRunning() const;
  // Waits up to timeoutMs for the body to return; true when it did (the thread is then joined).
  bool Join(std::uint32_t timeoutMs);

 private:
  std::thread m_thread;
  std::shared_ptr<CManualResetEvent> m_done;
};
