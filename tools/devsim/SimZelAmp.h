// A simulated Zel amplifier (type codes 51 to 56): the shared side of CSimZelUnit (security,
// identity query, faults and logs), every read of the family with its exact length and
// checksum from a state of its own, and every write applied to that state. A test scripts the
// monitored values (temperature, status, meters, counters) and faults of content per command.
// It also follows the system's global-mute broadcast to its type code. Thread-safe: the bus
// thread answers while a test reads and changes the unit.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "tools/devsim/SimZelUnit.h"

// Everything the unit keeps, as the family's frames carry it.
struct SimZelAmpState {
  std::string name = "Sim Amplifier";
  std::array<std::string, 4> channelNames{"Ch 1", "Ch 2", "Ch 3", "Ch 4"};
  std::array<std::uint8_t, 4> gainIndex{};
  std::array<std::uint8_t, 4> impedanceWindow{};
  std::array<std::uint16_t, 4> referenceTenths{};  // reference impedances in tenths of an ohm
  std::uint8_t powerOnDelay = 0;
  std::uint8_t alarmTemperature = 80;
  std::uint8_t gpio = 0;
  std::uint8_t muteMask = 0;
  std::uint8_t statusFlags = 0;  // bit 0 standby, bit 1 pots disabled, bit 2 warning, 3-6 VCA
  std::uint8_t temperature = 35;
  std::uint8_t temperatureByte2 = 0;
  std::uint8_t limitBits = 0x0F;  // bit n clear: channel n limiting
  std::uint8_t mode = 2;          // 1 mono, 2 stereo, 3 bridge
  bool protect = false;
  bool globalMute = false;  // set and cleared by the system's global-mute broadcast
  // Meter bytes: voltage x 6 (0-3), current x 124 (4-7), load faults (8), monitor states (9, 10).
  std::array<std::uint8_t, 11> meters{};
  std::uint32_t upTime1 = 0;
  std::uint32_t upTime2 = 0;
  std::uint16_t powerCycles = 0;
  std::uint8_t counterByte = 0;
};

class CSimZelAmpUnit : public CSimZelStateUnit<SimZelAmpState> {
 public:
  explicit CSimZelAmpUnit(const SimSecurityConfig& config);

 protected:
  bool TakeBroadcast(const SimBytes& request) override;
  SimAnswer Read(const SimBytes& request, std::uint8_t command) override;
  void ApplyWrite(const SimBytes& request, std::uint8_t command) override;
};
