// Millisecond tick and high-resolution counter, replaceable in tests.
#pragma once

#include <cstdint>

// The clock the program reads. The default one reads the machine's monotonic clock.
class IClock {
 public:
  virtual ~IClock() = default;
  // Milliseconds since an arbitrary start; wraps at 2^32.
  virtual std::uint32_t TickCount() = 0;
  // High-resolution counter and its ticks per second.
  virtual std::int64_t PerformanceCounter() = 0;
  virtual std::int64_t PerformanceFrequency() = 0;
  // The program is about to wait ms with nothing to do (the comms worker with no request it may
  // send). The machine's clock moves by itself meanwhile; a test's clock may move on by it.
  virtual void OnIdleWait(std::uint32_t ms) { (void)ms; }
};

// Any thread.
std::uint32_t GetTickCount();
std::int64_t QueryPerformanceCounter();
std::int64_t QueryPerformanceFrequency();
// The high-resolution counter in microseconds (0 when the clock has no frequency).
std::int64_t ClockMicroseconds();
// Tells the clock that the program is about to wait ms with nothing to do (IClock::OnIdleWait).
void ClockIdleWait(std::uint32_t ms);

// Milliseconds from start to now across the 32-bit wrap.
inline std::uint32_t TicksSince(std::uint32_t start, std::uint32_t now) { return now - start; }

// Replaces the clock (null restores the machine clock). Tests only; not thread-safe against readers.
void SetClockForTests(IClock* clock);

// While it lives, GetTickCount on the thread that made it returns tick, whatever the clock says:
// what keys bytes by the tick count (the scrambled sections of a record) writes the same bytes
// each time. The other threads read the clock as before.
class CHeldTickCount {
 public:
  explicit CHeldTickCount(std::uint32_t tick);
  ~CHeldTickCount();
  CHeldTickCount(const CHeldTickCount&) = delete;
  CHeldTickCount& operator=(const CHeldTickCount&) = delete;

 private:
  bool m_wasHeld;
  std::uint32_t m_previous;
};

// A clock that moves only when told to.
class CManualClock : public IClock {
 public:
  std::uint32_t TickCount() override { return m_tick; }
  std::int64_t PerformanceCounter() override { return m_counter; }
  std::int64_t PerformanceFrequency() override { return 1000000; }
  void AdvanceMs(std::uint32_t ms) {
    m_tick += ms;
    m_counter += std::int64_t(ms) * 1000;
  }
  void SetTick(std::uint32_t tick) { m_tick = tick; }

 private:
  std::uint32_t m_tick = 0;
  std::int64_t m_counter = 0;
};
