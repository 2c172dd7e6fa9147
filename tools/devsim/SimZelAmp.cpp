// The simulated Zel amplifier: reads answered from its state, writes applied to it.
#include "tools/devsim/SimZelAmp.h"

#include <algorithm>

#include "core/SevenBit.h"

namespace {

constexpr std::size_t kPayloadOffset = 10;

std::uint8_t IdGroup(std::uint32_t id, int shift) { return std::uint8_t((id >> shift) & 0x7F); }

SimBytes Text(const std::string& text, std::size_t count) {
  SimBytes bytes(count, 0x20);
  for (std::size_t i = 0; i < count && i < text.size(); ++i) bytes[i] = std::uint8_t(text[i] & 0x7F);
  return bytes;
}

std::string Trim(std::string text) {
  const auto last = text.find_last_not_of(' ');
  text.erase(last == std::string::npos ? 0 : last + 1);
  return text;
}

}  // namespace

CSimZelAmpUnit::CSimZelAmpUnit(const SimSecurityConfig& config)
    : CSimSecurityUnit(config), m_type(config.typeCode), m_id(config.deviceId) {}

bool CSimZelAmpUnit::IsAddressed(const SimBytes& r) const {
  return r.size() > kPayloadOffset && (r[0] == 0xF0 || r[0] == 0xF1) && r[4] == IdGroup(m_id, 24) &&
         r[5] == IdGroup(m_id, 16) && r[6] == IdGroup(m_id, 8) && r[7] == IdGroup(m_id, 0);
}

SimAnswer CSimZelAmpUnit::Handle(const SimBytes& r) {
  if (r.size() == 5 && r[0] == 0xB0) {
    SimAnswer answer = CSimSecurityUnit::Handle(r);
    if (answer.kind == SimAnswer::Kind::kSilence) return answer;
    {
      std::lock_guard<std::mutex> lock(m_stateMutex);
      ++m_reads[0xB0];
    }
    return WithFault(0xB0, std::move(answer));
  }
  if (r.size() == 12 && r[0] == 0xF0 && r[3] == m_type && r[9] == 0x20 && r[4] == 0 && r[5] == 0 && r[6] == 0 &&
      r[7] == 0) {
    // The global-mute broadcast: no answer.
    std::lock_guard<std::mutex> lock(m_stateMutex);
    m_state.globalMute = r[10] != 0;
    return SimAnswer::Silence();
  }
  if (!IsAddressed(r)) return SimAnswer::Silence();
  const std::uint8_t command = r[9];
  if (r[0] == 0xF1) {
    if (command == 75) return CSimSecurityUnit::Handle(r);
    ApplyWrite(r, command);
    return SimAnswer::Ack();
  }
  SimAnswer answer = Read(r, command);
  if (answer.kind == SimAnswer::Kind::kSilence) return CSimSecurityUnit::Handle(r);
  return WithFault(command, std::move(answer));
}

SimAnswer CSimZelAmpUnit::Packed(std::uint8_t command, std::size_t totalLength, const SimBytes& raw) const {
  SimBytes packed(std::size_t(PackedLength7Bit(int(raw.size()))));
  Pack7Bit(raw.data(), int(raw.size()), packed.data());
  return FramedReply(command, totalLength, packed);
}

SimAnswer CSimZelAmpUnit::Read(const SimBytes& r, std::uint8_t command) {
  std::lock_guard<std::mutex> lock(m_stateMutex);
  const SimZelAmpState& s = m_state;
  auto counted = [&](SimAnswer answer) {
    ++m_reads[command];
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
    case 0x3C: return counted(FramedReply(command, 51, Text(s.name, 40)));
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
      return counted(FramedReply(command, 27, Text(s.channelNames[r[kPayloadOffset]], 16)));
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
  m_writes.push_back(r);
  SimZelAmpState& s = m_state;
  const std::uint8_t* p = r.data() + kPayloadOffset;
  const std::size_t n = r.size() - kPayloadOffset - 1;  // payload bytes before the checksum
  auto channel = [&](std::size_t at) { return std::size_t(p[at] & 3); };
  switch (command) {
    case 0x08: if (n >= 2) s.gainIndex[channel(0)] = p[1]; break;
    case 0x09: if (n >= 1) s.muteMask = p[0]; break;
    case 0x11: if (n >= 40) s.name = Trim(std::string(p, p + 40)); break;
    case 0x12: if (n >= 1) s.statusFlags = std::uint8_t((s.statusFlags & ~1) | (p[0] & 1)); break;
    case 0x21: if (n >= 17) s.channelNames[channel(0)] = Trim(std::string(p + 1, p + 17)); break;
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

SimAnswer CSimZelAmpUnit::WithFault(std::uint8_t command, SimAnswer answer) {
  SimZelFault fault;
  {
    std::lock_guard<std::mutex> lock(m_stateMutex);
    auto it = m_faults.find(command);
    if (it == m_faults.end() || it->second.empty()) return answer;
    fault = it->second.front();
    it->second.pop_front();
  }
  SimBytes bytes = answer.Wire();
  switch (fault.kind) {
    case SimZelFault::Kind::kSilence: return SimAnswer::Silence();
    case SimZelFault::Kind::kJunk: bytes.insert(bytes.begin(), std::size_t(std::max(fault.value, 1)), 0x55); break;
    case SimZelFault::Kind::kBadChecksum: bytes.back() = std::uint8_t((bytes.back() + 1) & 0x7F); break;
    case SimZelFault::Kind::kShort:
      bytes.resize(bytes.size() - std::min<std::size_t>(bytes.size(), std::size_t(fault.value)));
      break;
    case SimZelFault::Kind::kLate: answer.delayMs = std::uint32_t(fault.value); return answer;
  }
  return SimAnswer::Bytes(std::move(bytes));
}

SimZelAmpState CSimZelAmpUnit::State() const {
  std::lock_guard<std::mutex> lock(m_stateMutex);
  return m_state;
}

void CSimZelAmpUnit::SetState(const SimZelAmpState& state) {
  std::lock_guard<std::mutex> lock(m_stateMutex);
  m_state = state;
}

void CSimZelAmpUnit::InjectReplyFault(std::uint8_t command, SimZelFault fault) {
  std::lock_guard<std::mutex> lock(m_stateMutex);
  m_faults[command].push_back(fault);
}

std::vector<SimBytes> CSimZelAmpUnit::Writes() const {
  std::lock_guard<std::mutex> lock(m_stateMutex);
  return m_writes;
}

std::vector<SimBytes> CSimZelAmpUnit::WritesOf(std::uint8_t command) const {
  std::lock_guard<std::mutex> lock(m_stateMutex);
  std::vector<SimBytes> out;
  for (const SimBytes& w : m_writes)
    if (w.size() > 9 && w[9] == command) out.push_back(w);
  return out;
}

std::size_t CSimZelAmpUnit::ReadCount(std::uint8_t command) const {
  std::lock_guard<std::mutex> lock(m_stateMutex);
  auto it = m_reads.find(command);
  return it == m_reads.end() ? 0 : it->second;
}
