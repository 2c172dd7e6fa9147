// The Zel amplifier's load alarms.
#include "devices/amplifier/ZelLoadAlarms.h"

std::vector<CZelLoadAlarms::Edge> CZelLoadAlarms::Follow(const std::vector<ZelChannelLoad>& channels,
                                                         bool warningStillRaised) {
  if (!warningStillRaised) m_raised = 0;
  std::vector<Edge> edges;
  for (std::size_t n = 0; n < channels.size() && n < 8; ++n) {
    const auto bit = std::uint8_t(1u << n);
    const bool check = IsCheck(channels[n]);
    if (check == ((m_raised & bit) != 0)) continue;
    m_raised = std::uint8_t(m_raised ^ bit);
    edges.push_back({int(n), check});
  }
  return edges;
}
