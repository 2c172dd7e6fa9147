// The requests on a simulated bus, decoded as far as the tests read them: the write flag, the
// model byte, the device ID (one byte for the processors, four for the Zel units) and the
// command, and the two-byte identification request of the processors.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "tools/devsim/SimUnit.h"

struct BusFrame {
  bool write = false;
  bool identification = false;  // [B0, ID] of a processor, or the five-byte identity query of a Zel unit
  int type = 0;
  std::uint32_t id = 0;
  int command = 0;
};

inline bool IsZelFrameType(int type) { return type >= 34 && type <= 60; }

inline BusFrame DecodeBusFrame(const SimBytes& r) {
  BusFrame f;
  if (r.size() == 2 && r[0] == 0xB0) {
    f.identification = true;
    f.id = r[1];
    f.command = 0xB0;
    return f;
  }
  if (r.size() == 5 && r[0] == 0xB0) {
    f.identification = true;
    f.id = std::uint32_t(r[1]) << 24 | std::uint32_t(r[2]) << 16 | std::uint32_t(r[3]) << 8 | r[4];
    f.command = 0xB0;
    return f;
  }
  if (r.size() < 8 || (r[0] != 0xF0 && r[0] != 0xF1)) return f;
  f.write = r[0] == 0xF1;
  f.type = r[3];
  if (IsZelFrameType(f.type) && r.size() >= 10) {
    f.id = std::uint32_t(r[4]) << 24 | std::uint32_t(r[5]) << 16 | std::uint32_t(r[6]) << 8 | r[7];
    f.command = r[9];
  } else {
    f.id = r[4];
    f.command = r[6];
  }
  return f;
}

inline std::vector<BusFrame> DecodeBusFrames(const std::vector<SimBytes>& requests, std::size_t from = 0) {
  std::vector<BusFrame> out;
  for (std::size_t i = from; i < requests.size(); ++i) out.push_back(DecodeBusFrame(requests[i]));
  return out;
}

inline std::string DescribeBusFrames(const std::vector<BusFrame>& frames) {
  std::ostringstream out;
  for (const BusFrame& f : frames)
    out << " [" << (f.write ? "write" : f.identification ? "identify" : "read") << " type " << f.type << " ID " << f.id
        << " command " << f.command << "]";
  return out.str();
}
