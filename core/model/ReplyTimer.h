// The reply timer of a device: after a change or a paste (the amplifier families), the unit is
// given a while to answer before what its replies say is taken again, and the open panel shows
// the wait. The time is the program's clock (GetTickCount).
#pragma once

#include <atomic>
#include <cstdint>

// Milliseconds the reply timer runs once started.
inline constexpr std::uint32_t kReplyTimeoutMs = 7000;

// Started on the UI thread; the worker reads it and clears it when the hold-off has run out
// (IsReplyHoldOffActive), the panel reads it to show the wait, and the device clears it when it
// drops off the bus or ends a session. Any thread: each word is atomic on its own.
class CReplyTimer {
 public:
  CReplyTimer() = default;
  CReplyTimer(const CReplyTimer&) = delete;
  CReplyTimer& operator=(const CReplyTimer&) = delete;

  // Starts the 7-second reply timer (amplifier families, after a change or a paste).
  void StartReplyTimer();
  // The tick at which the timer was started; 0 while it is not running.
  std::uint32_t GetStart() const { return m_start; }
  // Milliseconds the started timer runs; 0 while it is not running.
  std::uint32_t GetTimeout() const { return m_timeout; }
  // Forgets the reply timer (the hold-off has run out). Any thread.
  void Clear() {
    m_start = 0;
    m_timeout = 0;
  }

 private:
  std::atomic<std::uint32_t> m_start{0};
  std::atomic<std::uint32_t> m_timeout{0};
};
