// The processor device (type codes 16, 17 and 110 to 121): construction, Initialise and the
// part of polling that the comms worker relies on - nothing while a paste runs or while
// ignored, the identification probe every 12th turn while the security step is pending, then
// queued messages. The settings read-back, meters, records and properties build on this class.
#pragma once

#include <memory>

#include "core/Device.h"
#include "platform/Sync.h"

class CNerexSeriesDevice : public CDevice {
 public:
  CNerexSeriesDevice(CSystem* system, std::uint32_t typeCode, std::uint32_t deviceId, IMessageSink* frame,
                     std::uint32_t modelIndex);
  ~CNerexSeriesDevice() override;

  // Creates the paste event (manual reset, not signalled). Called once by the factory.
  void Initialise();

  const char* GetControlPanelClass() override { return nullptr; }
  // The model table's name for the type code and hardware code.
  std::string GetModelName() override;
  // The format registered as "NerexSeriesSettings".
  std::uint32_t GetClipboardFormat() override;

  // Sets needs-initialisation and empties the queue.
  void Reinitialise(std::uint32_t mode) override;

  // Worker thread.
  bool GetNextPollMessage(CControlMessage& record) override;
  // Worker thread, under the system's lock.
  void ProcessReply(CControlMessage& record) override;

  // Signalled while a paste rewrites the settings image: the poll sends nothing meanwhile.
  CManualResetEvent* GetPasteEvent() const { return m_pasteEvent.get(); }

 private:
  std::unique_ptr<CManualResetEvent> m_pasteEvent;
};
