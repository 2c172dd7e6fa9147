// A program clock for tests on the simulated bus: held still, and moved on at will, by the test,
// by a unit on the bus as the requests come (CClockMover), and, once a test lets it, by the
// program's waits with nothing to do (the comms worker while every unit waits for a late
// answer), so that what the program decides by its clock follows the requests and the program's
// own steps, never the speed of the machine. Any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "platform/Clock.h"
#include "tools/devsim/SimUnit.h"

class CTestClock : public IClock {
 public:
  std::uint32_t TickCount() override { return std::uint32_t(NowUs() / 1000); }
  std::int64_t PerformanceCounter() override { return NowUs(); }
  std::int64_t PerformanceFrequency() override { return 1000000; }
  void AdvanceMs(std::int64_t ms) { m_offsetUs += ms * 1000; }
  void AdvanceUs(std::int64_t us) { m_offsetUs += us; }
  // From now on each wait of the program with nothing to do moves the clock on by its length.
  void MoveWithIdleWaits() { m_movesWhenIdle = true; }
  void OnIdleWait(std::uint32_t ms) override {
    if (m_movesWhenIdle) AdvanceMs(ms);
  }
  std::int64_t NowUs() const { return m_offsetUs; }

 private:
  std::atomic<std::int64_t> m_offsetUs{0};
  std::atomic<bool> m_movesWhenIdle{false};
};

// Installs the clock as the program's for its lifetime.
class CClockInUse {
 public:
  explicit CClockInUse(IClock& clock) { SetClockForTests(&clock); }
  ~CClockInUse() { SetClockForTests(nullptr); }
  CClockInUse(const CClockInUse&) = delete;
  CClockInUse& operator=(const CClockInUse&) = delete;
};

// A unit on the bus that answers nothing and moves the clock on at every request by what the
// function gives for it (in microseconds), as if the request took that long; the bus hands it
// every request before the request is answered.
class CClockMover : public CSimUnit {
 public:
  CClockMover(CTestClock& clock, std::function<std::int64_t(const SimBytes&)> us)
      : m_clock(clock), m_us(std::move(us)) {}
  CClockMover(CTestClock& clock, std::int64_t ms) : CClockMover(clock, [ms](const SimBytes&) { return ms * 1000; }) {}
  SimAnswer Handle(const SimBytes& request) override {
    m_clock.AdvanceUs(m_us(request));
    return SimAnswer::Silence();
  }

 private:
  CTestClock& m_clock;
  std::function<std::int64_t(const SimBytes&)> m_us;
};
