// A simulated Zel breakout box (type codes 34 to 47; 8 channels on the even codes, 16 on the
// odd ones): the shared side of CSimZelUnit (security, identity query, faults and logs), every
// read of the family with its exact length and checksum from a state of its own, every write
// applied to that state, and the network-master list it is sent. Thread-safe: the bus thread
// answers while a test reads and changes the unit.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tools/devsim/SimZelUnit.h"

// Everything the unit keeps, as the family's frames carry it.
struct SimZelBreakState {
  std::string name = "Sim Breakout";
  std::array<std::string, 16> channelNames{};
  std::array<std::uint8_t, 16> gains{};  // attenuation in 0.5 dB steps
  std::uint16_t muteMask = 0;            // bit n: channel n + 1 muted
  std::uint8_t gpio = 0;                 // input + output x 8 + 0x40 pulse
  bool networkActive = true;
  bool alarm = false;
  // The network-master list last sent (type code, device ID of each Zel unit).
  std::vector<std::pair<std::uint8_t, std::uint32_t>> networkList;
  // Added to the count the unit answers the list with (a unit that miscounts).
  int networkCountSkew = 0;
};

class CSimZelBreakUnit : public CSimZelStateUnit<SimZelBreakState> {
 public:
  explicit CSimZelBreakUnit(const SimSecurityConfig& config);

  int ChannelCount() const { return m_type % 2 == 0 ? 8 : 16; }

 protected:
  SimAnswer Read(const SimBytes& request, std::uint8_t command) override;
  void ApplyWrite(const SimBytes& request, std::uint8_t command) override;
};
