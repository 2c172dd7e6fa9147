// The simulated Zel amplifier: reads answered from its state, writes applied to it.
#include "tools/devsim/SimZelAmp.h"

#include <algorithm>

#include "core/protocol/SevenBit.h"

CSimZelAmpUnit::CSimZelAmpUnit(const SimSecurityConfig& config) : CSimZelStateUnit(config) {}

bool CSimZelAmpUnit::TakeBroadcast(const SimBytes& r) {
  // The global mute: a 12-byte command-0x20 read to ID 0 of the type.
  if (r.size() != 12 || r[0] != 0xF0 || r[3] != m_type || r[9] != 0x20 || r[4] != 0 || r[5] != 0 || r[6] != 0 ||
      r[7] != 0)
    return false;
  std::lock_guard<std::mutex> lock(m_stateMutex);
  m_state.globalMute = r[10] != 0;
  return true;
}

SimAnswer CSimZelAmpUnit::Read(const SimBytes& r, std::uint8_t command) {
  std::lock_guard<std::mutex> lock(m_stateMutex);
  const SimZelAmpState& s = m_state;
  auto counted = [&](SimAnswer answer) {
    CountRead(command);
    return answer;
  };
  switch (command) {
    case 0x3B: {
      SimBytes raw;
      raw.insert(raw.end(), s.gainIndex.begin(), s.gainIndex.end());
      raw.insert(raw.end(), s.impedanceWindow.begin(), s.impedanceWindow.end());
      for (std::uint8_t b : {s.powerOnDelay, s.alarmTemperature, s.gpio, s.muteMask, s.statusFlags}) raw.push_back(b);
      return counted(Packed(command, 26, raw));
    }
    case 0x3C: return counted(FramedReply(command, 51, SimZelText(s.name, 40)));
    case 0x3D:
      return counted(
          FramedReply(command, 13, {std::uint8_t(s.temperature & 0x7F), std::uint8_t(s.temperatureByte2 & 0x7F)}));
    case 0x3F: {
      const auto status = std::uint8_t((s.limitBits & 0x0F) | (s.mode & 0x03) << 4 | (s.protect ? 0 : 0x40));
      return counted(FramedReply(command, 12, {status}));
    }
    case 0x41: {
      SimBytes raw;
      for (std::uint32_t v : {s.upTime1, s.upTime2})
        for (int shift = 24; shift >= 0; shift -= 8) raw.push_back(std::uint8_t(v >> shift));
      raw.push_back(std::uint8_t(s.powerCycles >> 8));
      raw.push_back(std::uint8_t(s.powerCycles));
      raw.push_back(s.counterByte);
      return counted(Packed(command, 24, raw));
    }
    case 0x43: {
      if (r.size() < 12 || r[kPayloadOffset] > 3) return SimAnswer::Silence();
      return counted(FramedReply(command, 27, SimZelText(s.channelNames[r[kPayloadOffset]], 16)));
    }
    case 0x44: return counted(Packed(command, 24, SimBytes(s.meters.begin(), s.meters.end())));
    case 0x45: {
      SimBytes raw;
      for (std::uint16_t v : s.referenceTenths) {
        raw.push_back(std::uint8_t(v >> 8));
        raw.push_back(std::uint8_t(v));
      }
      return counted(Packed(command, 21, raw));
    }
    default: return SimAnswer::Silence();
  }
}

void CSimZelAmpUnit::ApplyWrite(const SimBytes& r, std::uint8_t command) {
  std::lock_guard<std::mutex> lock(m_stateMutex);
  LogWrite(r);
  SimZelAmpState& s = m_state;
  const std::uint8_t* p = r.data() + kPayloadOffset;
  const std::size_t n = r.size() - kPayloadOffset - 1;  // payload bytes before the checksum
  auto channel = [&](std::size_t at) { return std::size_t(p[at] & 3); };
  switch (command) {
    case 0x08: if (n >= 2) s.gainIndex[channel(0)] = p[1]; break;
    case 0x09: if (n >= 1) s.muteMask = p[0]; break;
    case 0x11: if (n >= 40) s.name = SimZelTrim(std::string(p, p + 40)); break;
    case 0x12: if (n >= 1) s.statusFlags = std::uint8_t((s.statusFlags & ~1) | (p[0] & 1)); break;
    case 0x21: if (n >= 17) s.channelNames[channel(0)] = SimZelTrim(std::string(p + 1, p + 17)); break;
    case 0x22: if (n >= 1) s.alarmTemperature = p[0]; break;
    case 0x23: if (n >= 2) s.mode = p[1]; break;
    case 0x24: if (n >= 1) s.powerOnDelay = p[0]; break;
    case 0x25:
      if (n >= 2) {
        s.gpio = p[0];
        s.statusFlags = std::uint8_t((s.statusFlags & 0x87) | (p[1] & 0x0F) << 3);
      }
      break;
    case 0x26:
      for (std::size_t c = 0; n >= 1 && c < 4; ++c) {
        if (!(p[0] >> c & 1) || s.meters[4 + c] == 0) continue;
        // volts / amps from the meter bytes, in tenths of an ohm.
        s.referenceTenths[c] = std::uint16_t(double(s.meters[c]) / 6.0 / (double(s.meters[4 + c]) / 124.0) * 10.0);
      }
      break;
    case 0x27: if (n >= 2) s.impedanceWindow[channel(0)] = p[1]; break;
    default: break;
  }
}

