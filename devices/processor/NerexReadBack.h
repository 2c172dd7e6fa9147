// CNerexReadBack: how far the read of a processor's unit has got - the blocks received so far
// (kReceived... bits), the next memory whose flags and whose name the read asks for, the meter
// page asked for last, and whether the unit reports the extended meters - read through the
// device, which its replies and its poll write on the comms worker. Tests and reports read it.
#pragma once

#include <cstdint>

#include "devices/processor/NerexSeriesDevice.h"

class CNerexReadBack {
 public:
  explicit CNerexReadBack(const CNerexSeriesDevice& device) : m_device(device) {}

  std::uint32_t GetReceivedMask() const { return m_device.m_receivedMask; }
  // 0-based; the crossover presets' counted from 256.
  std::uint32_t GetMemoryFlagsIndex() const { return m_device.m_memoryFlagsIndex; }
  std::uint32_t GetMemoryNameIndex() const { return m_device.m_memoryNameIndex; }
  std::uint8_t GetMeterPageSent() const { return m_device.m_meterPageSent; }
  bool HasExtendedMeters() const { return m_device.m_extendedMeters; }

 private:
  const CNerexSeriesDevice& m_device;
};
