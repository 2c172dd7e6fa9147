// CZelFramedDevice: a device of the F0/F1 frames that sends only what is queued, the common
// ground of the Zel families and the Sornic amplifier. It holds the poll gate, builds the
// security frames with its own check command and answers another device's solo with a mute.
#pragma once

#include <cstdint>
#include <memory>

#include "core/model/Device.h"
#include "platform/Sync.h"

// Turns a device that waits for its security step, or that is set aside for a unit of another
// model, sends nothing before its next probe.
inline constexpr std::uint32_t kZelProbeTurns = 11;

class CZelFramedDevice : public CDevice {
 public:
  // checkCommand and checkReplyLength give the security check: an 11-byte read of that
  // command that expects a reply of that many bytes.
  CZelFramedDevice(IDeviceHost* host, IMessageSink* frame, std::uint32_t typeCode, std::uint32_t deviceId,
                   std::uint32_t modelIndex, std::uint32_t checkCommand, std::uint32_t checkReplyLength);
  ~CZelFramedDevice() override;

  // Creates the poll gate (manual reset, not signalled). Called once by the factory.
  virtual void Initialise();

  // Worker thread. Nothing while ignored or while the poll gate is signalled; while the device
  // is set aside the security check now and then (its reply tells the unit's model); while the
  // security step is pending what PollWhileSecurityPending gives; then a queued message, else
  // what PollWhenIdle gives.
  bool GetNextPollMessage(CControlMessage& record) override;

  // Check: the device's check command, 11 bytes. Read: command 74, 291-byte reply. Write:
  // command 75, 291 bytes carrying the user table packed 8-to-7.
  bool BuildSecurityCheckMessage(CControlMessage& record) override;
  bool BuildReadSecurityMessage(CControlMessage& record) override;
  bool BuildWriteSecurityMessage(CControlMessage* record, const CUserList* users) override;
  void DecodeSecurityBlock(const std::uint8_t* reply, CUserList& users) override;

  // Signalled while a paste rewrites the settings: the poll sends nothing meanwhile.
  CManualResetEvent* GetPollGate() const { return m_pollGate.get(); }
  bool IsPollGateSet() const { return m_pollGate && m_pollGate->IsSet(); }

 protected:
  // Worker thread, under the system's lock: an answer of the device's model raises the
  // connection level.
  void TakeReply(CControlMessage& record) override;
  // Another device's solo: mutes every channel (true) or unmutes (false) by a queued write of
  // command 0x20.
  void OnSystemSolo(bool solo) override;
  // Worker thread. What a device sends while its security step is pending; the base sends
  // nothing.
  virtual bool PollWhileSecurityPending(CControlMessage& record);
  // Worker thread. What a device sends when nothing is queued; the base sends nothing.
  virtual bool PollWhenIdle(CControlMessage& record);
  // Worker thread, under the system's lock, before anything of a reply is taken: true when the
  // reply may be taken (CUnitAtId::TakeUnitModel).
  bool TakesReply(const CControlMessage& record);

  std::unique_ptr<CManualResetEvent> m_pollGate;

 private:
  std::uint32_t m_checkCommand;
  std::uint32_t m_checkReplyLength;
};
