// The Sornic amplifier (type code 60, with its model index). It takes part in discovery, the
// security passes and the solo notice, and stores only the base device record in files.
#pragma once

#include "devices/amplifier/ZelFramedDevice.h"

// Sends only queued messages, and nothing before its security step is through. The security
// check is command 62 with a 115-byte reply.
class CSornicAmpDevice : public CZelFramedDevice {
 public:
  CSornicAmpDevice(IDeviceHost* host, IMessageSink* frame, std::uint32_t typeCode, std::uint32_t deviceId,
                   std::uint32_t modelIndex);

  const char* GetControlPanelClass() override { return nullptr; }
  std::string GetModelName() override { return "Sornic"; }
  // The format registered as "SornicAmpSettings".
  std::uint32_t GetClipboardFormat() override;

  // What the rack and the properties pane show: model, ID and name (devices/amplifier/UnpolledUnits.h).
  int DrawTile(Graphics* g, const CRect& rect, int blinkPhase) override;
  std::string GetStatusText() override;
  void FillPropertiesPane(IDevicePropertyGrid& grid) override;

 protected:
  // The ID row (ApplyUserPropertyChange).
  bool OnPropertyChanged(CDeviceProperty& row) override;
};
