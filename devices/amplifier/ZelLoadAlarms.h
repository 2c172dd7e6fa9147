// The Zel amplifier's load alarms: when a channel's load is monitored, when it shows OK or
// Check, and which channels' alarms a new report raises or clears.
#pragma once

#include <cstdint>
#include <vector>

// One channel's load as the unit's last meter reply reports it, and the window it was given.
struct ZelChannelLoad {
  bool faultReported = false;     // the reply's load-fault bit of the channel
  std::uint8_t monitorState = 0;  // the reply's load-monitor state: 0 while the unit monitors
  std::uint8_t window = 0;        // percent; 0 switches load monitoring off
};

class CZelLoadAlarms {
 public:
  // The load is monitored: the unit reports state 0 and the channel has a window.
  static bool IsMonitored(const ZelChannelLoad& load) { return load.monitorState == 0 && load.window != 0; }
  // The channel's LEDs: OK with no fault reported, Check with one, both only while monitored.
  static bool IsOk(const ZelChannelLoad& load) { return !load.faultReported && IsMonitored(load); }
  static bool IsCheck(const ZelChannelLoad& load) { return load.faultReported && IsMonitored(load); }

  // A channel's alarm raised or cleared.
  struct Edge {
    int channel;
    bool raised;
    bool operator==(const Edge&) const = default;
  };
  // Each channel's alarm (channel n at index n, up to eight) follows its Check state now; the
  // edges in channel order. warningStillRaised false (warnings cleared meanwhile, as at a
  // disconnection) drops the raised alarms first, so that a Check standing still is raised
  // again.
  std::vector<Edge> Follow(const std::vector<ZelChannelLoad>& channels, bool warningStillRaised);
  // The next Follow raises every alarm it finds (the first meters after a read-out).
  void Forget() { m_raised = 0; }
  bool AnyRaised() const { return m_raised != 0; }
  bool IsRaised(int channel) const { return channel >= 0 && channel < 8 && (m_raised >> channel & 1u) != 0; }

 private:
  std::uint8_t m_raised = 0;  // bit n: the alarm of channel n is raised
};
