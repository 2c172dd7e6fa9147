// CNerexHostOptions: what the PC keeps of a processor beside the unit's own settings - the
// clock update at going online, the delay display and the gain nudge. The record, the clipboard,
// the properties pane and the clone carry them; the unit never holds them.
#pragma once

#include <cstdint>

class CNerexHostOptions {
 public:
  // Whether the unit's clock is set from the PC's when the unit is read (on at first).
  bool GetAutoRtcUpdate() const { return m_autoRtcUpdate != 0; }
  void SetAutoRtcUpdate(bool on) { m_autoRtcUpdate = on ? 1 : 0; }
  // When the device was made, seconds since 1970 (the PC's clock).
  std::int64_t GetClockStamp() const { return m_clockStamp; }
  void SetClockStamp(std::int64_t stamp) { m_clockStamp = stamp; }
  // The delays' display units and multiplier, and the gain nudge: choices of the properties
  // pane that the panel's delay and gain read-outs follow.
  std::uint32_t GetDelayUnits() const { return m_delayUnits; }
  void SetDelayUnits(std::uint32_t units) { m_delayUnits = units; }
  std::uint32_t GetDelayMultiplier() const { return m_delayMultiplier; }
  void SetDelayMultiplier(std::uint32_t multiplier) { m_delayMultiplier = multiplier; }
  std::uint32_t GetGainNudge() const { return m_gainNudge; }
  void SetGainNudge(std::uint32_t nudge) { m_gainNudge = nudge; }

 private:
  std::uint8_t m_autoRtcUpdate = 1;
  std::int64_t m_clockStamp = 0;
  std::uint32_t m_delayUnits = 0;
  std::uint32_t m_delayMultiplier = 10;
  std::uint32_t m_gainNudge = 0;
};
