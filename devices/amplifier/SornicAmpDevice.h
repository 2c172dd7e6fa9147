// The Sornic amplifier (type code 60, with its model index). It takes part in discovery, the
// security passes and the solo notice, and stores only the base device record in files.
#pragma once

#include <memory>

#include "core/Device.h"
#include "platform/Sync.h"

class CSornicAmpDevice : public CDevice {
 public:
  CSornicAmpDevice(CSystem* system, IMessageSink* frame, std::uint32_t typeCode, std::uint32_t deviceId,
                   std::uint32_t modelIndex);
  ~CSornicAmpDevice() override;

  // Creates the poll-suspend event (manual reset, not signalled). Called once by the factory.
  void Initialise();

  const char* GetControlPanelClass() override { return nullptr; }
  std::string GetModelName() override { return "Sornic"; }
  // The format registered as "SornicAmpSettings".
  std::uint32_t GetClipboardFormat() override;

  // Worker thread. Queued messages once the security step is through; nothing while ignored
  // or suspended.
  bool GetNextPollMessage(CControlMessage& record) override;
  void ProcessReply(CControlMessage& record) override;

  // Check: command 62, 115-byte reply. Read: command 74, 291-byte reply. Write: command 75,
  // 291 bytes carrying the user table packed 8-to-7.
  bool BuildSecurityCheckMessage(CControlMessage& record) override;
  bool BuildReadSecurityMessage(CControlMessage& record) override;
  bool BuildWriteSecurityMessage(CControlMessage* record, const CUserList* users) override;
  void DecodeSecurityBlock(const std::uint8_t* reply, CUserList& users) override;

  // Mutes every channel (true) or unmutes (false) by a queued write of command 0x20.
  void OnSystemSolo(bool solo) override;

  CManualResetEvent* GetPollSuspend() const { return m_pollSuspend.get(); }

 private:
  std::unique_ptr<CManualResetEvent> m_pollSuspend;
};
