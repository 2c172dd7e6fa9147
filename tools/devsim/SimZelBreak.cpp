// The simulated Zel breakout box: reads answered from its state, writes applied to it.
#include "tools/devsim/SimZelBreak.h"

CSimZelBreakUnit::CSimZelBreakUnit(const SimSecurityConfig& config) : CSimZelStateUnit(config) {
  for (int c = 0; c < ChannelCount(); ++c) m_state.channelNames[std::size_t(c)] = "Input " + std::to_string(c + 1);
}

SimAnswer CSimZelBreakUnit::Read(const SimBytes& r, std::uint8_t command) {
  std::lock_guard<std::mutex> lock(m_stateMutex);
  SimZelBreakState& s = m_state;
  auto counted = [&](SimAnswer answer) {
    CountRead(command);
    return answer;
  };
  switch (command) {
    case 59: {
      SimBytes raw(s.gains.begin(), s.gains.end());
      raw.push_back(std::uint8_t(s.muteMask >> 8));
      raw.push_back(std::uint8_t(s.muteMask));
      raw.push_back(s.gpio);
      return counted(Packed(command, 33, raw));
    }
    case 60: return counted(FramedReply(command, 51, SimZelText(s.name, 40)));
    case 63: {
      const auto status = std::uint8_t((s.networkActive ? 0x01 : 0) | (s.alarm ? 0x02 : 0));
      return counted(FramedReply(command, 12, {status}));
    }
    case 67: {
      if (r.size() < 12 || r[kPayloadOffset] >= ChannelCount()) return SimAnswer::Silence();
      return counted(FramedReply(command, 27, SimZelText(s.channelNames[r[kPayloadOffset]], 16)));
    }
    case 70: {
      // Five bytes an entry between the header and the checksum.
      const std::size_t entries = (r.size() - kPayloadOffset - 1) / 5;
      s.networkList.clear();
      for (std::size_t e = 0; e < entries; ++e) {
        const std::uint8_t* p = r.data() + kPayloadOffset + 5 * e;
        const std::uint32_t id =
            std::uint32_t(p[1]) << 24 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 8 | p[4];
        s.networkList.emplace_back(p[0], id);
      }
      const int answer = int(entries) - 1 + s.networkCountSkew;
      return counted(FramedReply(command, 12, {std::uint8_t(answer & 0x7F)}));
    }
    default: return SimAnswer::Silence();
  }
}

void CSimZelBreakUnit::ApplyWrite(const SimBytes& r, std::uint8_t command) {
  std::lock_guard<std::mutex> lock(m_stateMutex);
  LogWrite(r);
  SimZelBreakState& s = m_state;
  const std::uint8_t* p = r.data() + kPayloadOffset;
  const std::size_t n = r.size() - kPayloadOffset - 1;  // payload bytes before the checksum
  switch (command) {
    case 8: if (n >= 2) s.gains[p[0] & 15] = p[1]; break;
    case 9: if (n >= 3) s.muteMask = std::uint16_t(p[0] << 14 | p[1] << 7 | p[2]); break;
    case 17: if (n >= 40) s.name = SimZelTrim(std::string(p, p + 40)); break;
    case 33: if (n >= 17) s.channelNames[p[0] & 15] = SimZelTrim(std::string(p + 1, p + 17)); break;
    case 37: if (n >= 1) s.gpio = p[0]; break;
    default: break;
  }
}

