// Manual-reset event and worker thread on the standard library.
#include "platform/Sync.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>

void CManualResetEvent::Set() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_set = true;
  }
  m_cv.notify_all();
}

void CManualResetEvent::Reset() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_set = false;
}

bool CManualResetEvent::IsSet() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_set;
}

bool CManualResetEvent::Wait(std::uint32_t timeoutMs) const {
  std::unique_lock<std::mutex> lock(m_mutex);
  if (timeoutMs == INFINITE_WAIT) {
    m_cv.wait(lock, [this] { return m_set; });
    return true;
  }
  return m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_set; });
}

void CAutoResetEvent::Set() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_set = true;
  }
  m_cv.notify_one();
}

bool CAutoResetEvent::Wait(std::uint32_t timeoutMs) {
  std::unique_lock<std::mutex> lock(m_mutex);
  if (timeoutMs == INFINITE_WAIT) {
    m_cv.wait(lock, [this] { return m_set; });
  } else if (!m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_set; })) {
    return false;
  }
  m_set = false;
  return true;
}

CWorkerThread::~CWorkerThread() {
  if (m_thread.joinable()) m_thread.join();
}

bool CWorkerThread::Start(std::function<void()> body, bool lowPriority) {
  if (IsRunning()) return false;
  if (m_thread.joinable()) m_thread.join();
  auto done = std::make_shared<CManualResetEvent>();
  m_done = done;
  m_thread = std::thread([body = std::move(body), done, lowPriority] {
    if (lowPriority) {
      // Best effort: a higher nice value for this thread only.
      setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 19);
    }
    body();
    done->Set();
  });
  return true;
}

bool CWorkerThread::IsRunning() const { return m_thread.joinable() && m_done && !m_done->IsSet(); }

bool CWorkerThread::Join(std::uint32_t timeoutMs) {
  if (!m_thread.joinable()) return true;
  if (!m_done->Wait(timeoutMs)) return false;
  m_thread.join();
  return true;
}
