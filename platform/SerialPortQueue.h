// The queue of completion routines of one thread: overlapped serial I/O posts its routines to
// the queue of the thread that started it, and they run inside that thread's alertable waits.
// Those waits also carry on the thread's own I/O in progress (a read waiting for its bytes on a
// descriptor), so that such I/O needs no thread of its own.
#pragma once

#include <poll.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "platform/SerialPort.h"

// Runs a system call of the port again for as long as a signal interrupts it (result -1 with
// EINTR): an interrupted call says nothing about the line, whichever handler the process has.
template <typename Call>
auto RetryInterrupted(Call call) {
  for (;;) {
    const auto result = call();
    if (result != -1 || errno != EINTR) return result;
  }
}

// I/O in progress that its thread's alertable waits carry on. Owner thread only.
class IAlertableWork {
 public:
  using Clock = std::chrono::steady_clock;
  virtual ~IAlertableWork() = default;

  // What the next wait watches. BeginWait gives the descriptor whose readiness ends the wait
  // (-1: none) and the time the work wants to go on at the latest (none: no limit); EndWait
  // follows every BeginWait with what the descriptor reported (poll revents, 0 for none).
  struct Watch {
    int fd = -1;
    std::optional<Clock::time_point> until;
  };
  virtual Watch BeginWait() = 0;
  virtual void EndWait(short revents) = 0;
  // Goes on after a wait; false once the work has ended (its completion posted, or dropped).
  virtual bool Continue() = 0;
};

// Completion routines of overlapped I/O, queued to the thread that started the I/O.
class CIoCompletionQueue {
 public:
  CIoCompletionQueue();
  ~CIoCompletionQueue();
  CIoCompletionQueue(const CIoCompletionQueue&) = delete;
  CIoCompletionQueue& operator=(const CIoCompletionQueue&) = delete;

  // The calling thread's queue, made on first use.
  static std::shared_ptr<CIoCompletionQueue> ForCurrentThread();

  // Any thread: queues a routine and wakes the owner's wait.
  void Post(std::function<void()> routine);
  // Any thread: queues the completion routine of a port's operation. On the owner thread it is
  // dropped once live is false (the port closed since); otherwise busy is cleared first, so
  // that the routine may start the port's next operation, and then the routine runs.
  void PostCompletion(const std::shared_ptr<std::atomic<bool>>& live, std::atomic<bool>& busy,
                      SerialCompletion routine, bool ok, std::uint32_t bytes);
  // Any thread: ends the owner's current wait early (its work then looks at itself again).
  void Wake();
  // Owner thread: adds I/O that the waits carry on until it ends.
  void AddWork(std::shared_ptr<IAlertableWork> work);
  // Owner thread: waits until a routine is queued or the deadline passes, carrying on the work
  // meanwhile, then runs every routine queued so far, in order. Returns how many ran.
  std::size_t WaitAndRun(std::chrono::steady_clock::time_point deadline);
  // Owner thread: runs what is queued now without waiting.
  std::size_t RunPending();

 private:
  // Runs the queued routines; how many ran.
  std::size_t RunQueued();

  const std::thread::id m_owner = std::this_thread::get_id();
  const int m_wakeFd;
  std::mutex m_mutex;
  std::deque<std::function<void()>> m_routines;
  // Owner thread.
  std::vector<std::shared_ptr<IAlertableWork>> m_work;
  std::vector<pollfd> m_pollFds;
  std::vector<std::size_t> m_pollSlots;
};
