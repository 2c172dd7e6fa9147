// Base of the Zel breakout boxes and amplifiers: model names, the F0/F1 frame header, the
// device-security frames and the identity probe of a device that waits for its security step.
// The full poll schedules, records and panels of the two families come with their own code.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/Device.h"
#include "platform/Sync.h"

class CControlMessage;

// Fills bytes 0 to 9 and the checksum of an F0/F1 frame from the message's write flag, command
// and frame length: F0 (read) or F1 (write), the length less one as two 7-bit bytes, the type
// code, the device ID as four 7-bit groups (high first), 0, the command; the last byte is the
// 7-bit sum of bytes 0 to length - 2 without byte 1. The payload from byte 10 is the caller's.
void BuildZelFrameHeader(CControlMessage& message, std::uint32_t typeCode, std::uint32_t deviceId);

// Security frames shared by the Zel families and the Sornic amplifier.
inline constexpr std::uint32_t kSecurityReadCommand = 74;
inline constexpr std::uint32_t kSecurityWriteCommand = 75;
inline constexpr std::uint32_t kSecurityBlockFrameLength = 291;  // header, 280 packed bytes, checksum
inline constexpr std::uint32_t kZelBareReadLength = 11;
inline constexpr std::uint32_t kSoloCommand = 0x20;

// Builds the read of the security block (command 74, 11 bytes, 291-byte reply).
void BuildZelSecurityReadMessage(CControlMessage& record, CDevice& device);
// Builds the write of the security block: the 245-byte user table packed 8-to-7 from byte 10
// (command 75, 291 bytes, ACK awaited).
void BuildZelSecurityWriteMessage(CControlMessage& record, CDevice& device, const CUserList& users);
// Unpacks the 280 packed bytes from reply byte 10 into the 245-byte table and its users.
void DecodeZelSecurityBlock(const std::uint8_t* reply, CUserList& users);
// A queued write of command 0x20 with one byte: 1 mutes every channel, 0 unmutes (the 12-byte
// layout of the global mute, addressed to the device).
std::unique_ptr<CControlMessage> MakeZelMuteMessage(CDevice& device, bool mute);

class CZelBaseDevice : public CDevice {
 public:
  CZelBaseDevice(CSystem* system, IMessageSink* frame, std::uint32_t typeCode, std::uint32_t deviceId);
  ~CZelBaseDevice() override;

  // Creates the poll gate (manual reset, not signalled). Called once by the factory.
  virtual void Initialise();

  // "FennickXB8", "XB-16", "Zel-2" ... by type code; empty for other codes.
  static std::string GetModelNameForType(std::uint32_t typeCode);
  std::string GetModelName() override { return GetModelNameForType(m_typeCode); }

  // Worker thread. Nothing while ignored or while the poll gate is signalled; while the
  // security step is pending only the identity query, every 12th turn; then queued messages.
  bool GetNextPollMessage(CControlMessage& record) override;
  // Worker thread, under the system's lock.
  void ProcessReply(CControlMessage& record) override;

  // Security check: command 60, 11 bytes, 51-byte reply.
  bool BuildSecurityCheckMessage(CControlMessage& record) override;
  bool BuildReadSecurityMessage(CControlMessage& record) override;
  bool BuildWriteSecurityMessage(CControlMessage* record, const CUserList* users) override;
  void DecodeSecurityBlock(const std::uint8_t* reply, CUserList& users) override;

  // Mutes every channel (true) or restores the stored mute state (false) by a queued write.
  void OnSystemSolo(bool solo) override;

  // Signalled while a paste rewrites the settings: the poll sends nothing meanwhile.
  CManualResetEvent* GetPollGate() const { return m_pollGate.get(); }

 protected:
  std::unique_ptr<CManualResetEvent> m_pollGate;
};
