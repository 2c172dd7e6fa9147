// Machine clock on std::chrono::steady_clock.
#include "platform/Clock.h"

#include <atomic>
#include <chrono>

namespace {

class CSteadyClock : public IClock {
 public:
  std::uint32_t TickCount() override {
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    return std::uint32_t(ms.count());
  }
  std::int64_t PerformanceCounter() override {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
  std::int64_t PerformanceFrequency() override { return 1000000000; }
};

CSteadyClock g_steady;
std::atomic<IClock*> g_clock{&g_steady};

thread_local bool t_tickHeld = false;
thread_local std::uint32_t t_heldTick = 0;

}  // namespace

CHeldTickCount::CHeldTickCount(std::uint32_t tick) : m_wasHeld(t_tickHeld), m_previous(t_heldTick) {
  t_tickHeld = true;
  t_heldTick = tick;
}

CHeldTickCount::~CHeldTickCount() {
  t_tickHeld = m_wasHeld;
  t_heldTick = m_previous;
}

std::uint32_t GetTickCount() { return t_tickHeld ? t_heldTick : g_clock.load()->TickCount(); }
std::int64_t QueryPerformanceCounter() { return g_clock.load()->PerformanceCounter(); }
std::int64_t QueryPerformanceFrequency() { return g_clock.load()->PerformanceFrequency(); }
std::int64_t ClockMicroseconds() {
  IClock* clock = g_clock.load();
  const std::int64_t frequency = clock->PerformanceFrequency();
  if (frequency <= 0) return 0;
  // Split so that counter * 1e6 cannot overflow for any frequency below 9.2e12.
  const std::int64_t counter = clock->PerformanceCounter();
  return counter / frequency * 1000000 + counter % frequency * 1000000 / frequency;
}
void ClockIdleWait(std::uint32_t ms) { g_clock.load()->OnIdleWait(ms); }
void SetClockForTests(IClock* clock) { g_clock.store(clock ? clock : &g_steady); }
