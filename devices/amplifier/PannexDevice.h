// The Pannex amplifier modules (type codes 49 and 50). They take part in discovery, the
// global mute and the solo notice, have no security block, and store only the base device
// record in files.
#pragma once

#include <memory>

#include "core/model/Device.h"
#include "platform/Sync.h"

class CPannexDevice : public CDevice {
 public:
  CPannexDevice(IDeviceHost* host, IMessageSink* frame, std::uint32_t typeCode, std::uint32_t deviceId);
  ~CPannexDevice() override;

  // Creates the paste-in-progress event (manual reset, not signalled). Called once by the
  // factory.
  void Initialise();

  const char* GetControlPanelClass() override { return nullptr; }
  std::string GetModelName() override { return "Pannex"; }
  // The format registered as "PannexSettings".
  std::uint32_t GetClipboardFormat() override;

  // What the rack and the properties pane show: model, ID and name (devices/amplifier/UnpolledUnits.h).
  int DrawTile(Graphics* g, const CRect& rect, int blinkPhase) override;
  std::string GetStatusText() override;
  void FillPropertiesPane(IDevicePropertyGrid& grid) override;

  // Worker thread. Queued messages once the security step is through; nothing while ignored
  // or while a paste runs.
  bool GetNextPollMessage(CControlMessage& record) override;

  CManualResetEvent* GetPasteEvent() const { return m_pasteInProgress.get(); }

 protected:
  // A reply of the module, taken in through ProcessReply. Worker thread.
  void TakeReply(CControlMessage& record) override;
  // The ID row (ApplyUserPropertyChange).
  bool OnPropertyChanged(CDeviceProperty& row) override;
  // Another device's solo: mutes (true) or unmutes (false) the module by a queued write in the
  // module layout of the global mute: F1 00 08 T id 0D 20 M S, M 2 or 0.
  void OnSystemSolo(bool solo) override;

 private:
  std::unique_ptr<CManualResetEvent> m_pasteInProgress;
};
