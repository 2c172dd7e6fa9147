// The Zel amplifiers (type codes 51 to 56): the least the system needs of them until the
// family's own model, protocol, records and panel are built on this class.
#pragma once

#include "devices/amplifier/ZelBaseDevice.h"

class CZelSeriesDevice : public CZelBaseDevice {
 public:
  CZelSeriesDevice(CSystem* system, IMessageSink* frame, std::uint32_t typeCode, std::uint32_t deviceId);

  const char* GetControlPanelClass() override { return "CZelSeriesControlPanel"; }
  // The format registered as "ZelSeriesSettings".
  std::uint32_t GetClipboardFormat() override;
};
