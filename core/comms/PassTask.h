// CPassTask: a step of a comms pass that may wait while the worker's loop goes on. It is a
// coroutine: where it waits (for the person's answer, a dialog, a pause) it suspends and the
// worker returns to its loop; the loop resumes the waiting step once what it waits for has come.
// A task awaited by another runs when awaited and hands its result back to it; the outermost one
// is started by its owner. Worker thread only.
#pragma once

#include <coroutine>
#include <exception>
#include <optional>
#include <utility>

namespace pass_task_detail {

// How a task's promise keeps what the coroutine returns.
template <class T>
struct Result {
  std::optional<T> value;
  void return_value(T v) { value = std::move(v); }
  T Take() { return std::move(*value); }
};

template <>
struct Result<void> {
  void return_void() noexcept {}
  void Take() noexcept {}
};

}  // namespace pass_task_detail

template <class T>
class [[nodiscard]] CPassTask {
 public:
  struct promise_type : pass_task_detail::Result<T> {
    // The coroutine that awaits this one; none for the outermost task.
    std::coroutine_handle<> awaiting;
    std::exception_ptr error;

    CPassTask get_return_object() noexcept {
      return CPassTask(std::coroutine_handle<promise_type>::from_promise(*this));
    }
    // A task runs when it is awaited or started, not when it is made.
    std::suspend_always initial_suspend() noexcept { return {}; }
    // At its end a task goes on with the one that awaited it; the outermost one stays suspended
    // at its end, so that its owner sees it done.
    struct FinalAwaiter {
      bool await_ready() noexcept { return false; }
      std::coroutine_handle<> await_suspend(std::coroutine_handle<promise_type> done) noexcept {
        const std::coroutine_handle<> next = done.promise().awaiting;
        return next ? next : std::noop_coroutine();
      }
      void await_resume() noexcept {}
    };
    FinalAwaiter final_suspend() noexcept { return {}; }
    void unhandled_exception() noexcept { error = std::current_exception(); }
  };

  CPassTask() = default;
  CPassTask(CPassTask&& other) noexcept : m_handle(std::exchange(other.m_handle, {})) {}
  CPassTask& operator=(CPassTask&& other) noexcept {
    if (this != &other) {
      Destroy();
      m_handle = std::exchange(other.m_handle, {});
    }
    return *this;
  }
  CPassTask(const CPassTask&) = delete;
  CPassTask& operator=(const CPassTask&) = delete;
  // A task ended before it is done (the worker ends) ends the tasks it awaits with it: every
  // object of theirs goes as at a return.
  ~CPassTask() { Destroy(); }

  // --- The owner of the outermost task ---
  bool IsValid() const noexcept { return bool(m_handle); }
  bool IsDone() const noexcept { return m_handle && m_handle.done(); }
  // Runs the task until it first waits or ends.
  void Start() { m_handle.resume(); }
  // What the done task returned; an exception it threw is thrown here.
  T TakeResult() {
    if (m_handle.promise().error) std::rethrow_exception(m_handle.promise().error);
    return m_handle.promise().Take();
  }

  // --- co_await of a task ---
  bool await_ready() const noexcept { return false; }
  std::coroutine_handle<> await_suspend(std::coroutine_handle<> awaiting) noexcept {
    m_handle.promise().awaiting = awaiting;
    return m_handle;
  }
  T await_resume() { return TakeResult(); }

 private:
  explicit CPassTask(std::coroutine_handle<promise_type> handle) : m_handle(handle) {}
  void Destroy() noexcept {
    if (m_handle) m_handle.destroy();
    m_handle = {};
  }

  std::coroutine_handle<promise_type> m_handle;
};
