// The queue of completion routines of one thread: overlapped serial I/O posts its routines to
// the queue of the thread that started it, and they run inside that thread's alertable waits.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/SerialPort.h"

// Completion routines of overlapped I/O, queued to the thread that started the I/O.
class CIoCompletionQueue {
 public:
  // The calling thread's queue, made on first use.
  static std::shared_ptr<CIoCompletionQueue> ForCurrentThread();

  // Any thread: queues a routine and wakes the owner's wait.
  void Post(std::function<void()> routine);
  // Any thread: queues the completion routine of a port's operation. On the owner thread it is
  // dropped once live is false (the port closed since); otherwise busy is cleared first, so
  // that the routine may start the port's next operation, and then the routine runs.
  void PostCompletion(const std::shared_ptr<std::atomic<bool>>& live, std::atomic<bool>& busy,
                      SerialCompletion routine, bool ok, std::uint32_t bytes);
  // Owner thread: waits until a routine is queued or the deadline passes, then runs every
  // routine queued so far, in order. Returns how many ran.
  std::size_t WaitAndRun(std::chrono::steady_clock::time_point deadline);
  // Owner thread: runs what is queued now without waiting.
  std::size_t RunPending();

 private:
  std::mutex m_mutex;
  std::condition_variable m_cv;
  std::deque<std::function<void()>> m_routines;
};
