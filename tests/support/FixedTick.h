// Holds the test clock at a fixed tick (the scrambling key of the records written meanwhile)
// for the life of the object.
#pragma once

#include <cstdint>

#include "platform/Clock.h"

class FixedTick {
 public:
  explicit FixedTick(std::uint32_t tick) {
    m_clock.SetTick(tick);
    SetClockForTests(&m_clock);
  }
  ~FixedTick() { SetClockForTests(nullptr); }
  FixedTick(const FixedTick&) = delete;
  FixedTick& operator=(const FixedTick&) = delete;

  void Set(std::uint32_t tick) { m_clock.SetTick(tick); }

 private:
  CManualClock m_clock;
};
