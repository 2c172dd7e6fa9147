// Base of the Zel families: names, frame header, security frames, identity probe and solo.
#include "devices/amplifier/ZelBaseDevice.h"

#include <algorithm>
#include <cstring>

#include "core/ControlMessage.h"
#include "core/SevenBit.h"

namespace {

// Turns a device waiting for its security step sends nothing but every 12th.
constexpr std::uint32_t kSecurityProbeTurns = 11;
constexpr std::uint32_t kIdentityCommand = 0xB0;
constexpr std::uint32_t kIdentityReplyLength = 24;
constexpr std::uint32_t kSecurityCheckCommand = 60;
constexpr std::uint32_t kSecurityCheckReplyLength = 51;
constexpr std::size_t kPayloadOffset = 10;

}  // namespace

void BuildZelFrameHeader(CControlMessage& m, std::uint32_t typeCode, std::uint32_t deviceId) {
  const std::uint32_t length = std::uint32_t(m.FrameBytes());
  if (length < kZelBareReadLength) return;
  m.frame[0] = m.write ? 0xF1 : 0xF0;
  Put14Bit(m.frame + 1, length - 1);
  m.frame[3] = std::uint8_t(typeCode & 0x7F);
  m.frame[4] = std::uint8_t((deviceId >> 24) & 0x7F);
  m.frame[5] = std::uint8_t((deviceId >> 16) & 0x7F);
  m.frame[6] = std::uint8_t((deviceId >> 8) & 0x7F);
  m.frame[7] = std::uint8_t(deviceId & 0x7F);
  m.frame[8] = 0;
  m.frame[9] = std::uint8_t(m.command & 0x7F);
  std::uint32_t sum = m.frame[0];
  for (std::uint32_t i = 2; i < length - 1; ++i) sum += m.frame[i];
  m.frame[length - 1] = std::uint8_t(sum & 0x7F);
}

void BuildZelSecurityReadMessage(CControlMessage& record, CDevice& device) {
  record.Set(kSecurityReadCommand, kZelBareReadLength, kSecurityBlockFrameLength, &device, false,
             CControlMessage::kDefaultReplyStart, 0, 0);
  BuildZelFrameHeader(record, device.GetTypeCode(), device.GetDeviceId());
}

void BuildZelSecurityWriteMessage(CControlMessage& record, CDevice& device, const CUserList& users) {
  record.Set(kSecurityWriteCommand, kSecurityBlockFrameLength, 0, &device, true,
             CControlMessage::kDefaultReplyStart, 0, 0);
  CUserTable table{};
  PackUserTable(users, table);
  Pack7Bit(table.data(), int(table.size()), record.frame + kPayloadOffset);
  BuildZelFrameHeader(record, device.GetTypeCode(), device.GetDeviceId());
}

void DecodeZelSecurityBlock(const std::uint8_t* reply, CUserList& users) {
  CUserTable table{};
  Unpack7Bit(reply + kPayloadOffset, int(table.size()), table.data());
  UnpackUserTable(users, table);
}

std::unique_ptr<CControlMessage> MakeZelMuteMessage(CDevice& device, bool mute) {
  auto message = std::make_unique<CControlMessage>();
  message->Set(kSoloCommand, 12, 0, &device, true, CControlMessage::kDefaultReplyStart, 0, 0);
  message->frame[10] = mute ? 1 : 0;
  BuildZelFrameHeader(*message, device.GetTypeCode(), device.GetDeviceId());
  return message;
}

CZelBaseDevice::CZelBaseDevice(CSystem* system, IMessageSink* frame, std::uint32_t typeCode,
                               std::uint32_t deviceId)
    : CDevice(system, typeCode, deviceId, frame, 0) {}

CZelBaseDevice::~CZelBaseDevice() { ClearQueue(); }

void CZelBaseDevice::Initialise() { m_pollGate = std::make_unique<CManualResetEvent>(false); }

std::string CZelBaseDevice::GetModelNameForType(std::uint32_t typeCode) {
  switch (typeCode) {
    case 34: case 36: case 38: return "FennickXB8";
    case 35: case 37: case 39: return "FennickXB16";
    case 40: case 42: case 44: return "XB-08";
    case 41: case 43: case 45: return "XB-16";
    case 46: return "QuillXB8";
    case 47: return "QuillXB16";
    case 51: return "Zel-2";
    case 52: return "Zel-3";
    case 53: return "Zel-4";
    case 54: return "Zel-5";
    case 55: return "Zel-6";
    case 56: return "Zel-1";
    default: return "";
  }
}

bool CZelBaseDevice::GetNextPollMessage(CControlMessage& record) {
  if (m_ignored || (m_pollGate && m_pollGate->IsSet())) return false;
  if (m_needsInitialisation) {
    if (m_pollCounter < kSecurityProbeTurns) {
      ++m_pollCounter;
      return false;
    }
    m_pollCounter = 0;
    record.Set(kIdentityCommand, 5, kIdentityReplyLength, this, false, 0xB8, 0, 0);
    record.frame[0] = std::uint8_t(kIdentityCommand);
    for (int i = 0; i < 4; ++i) record.frame[1 + i] = std::uint8_t((m_deviceId >> (24 - 8 * i)) & 0x7F);
    return true;
  }
  return PopMessage(record);
}

void CZelBaseDevice::ProcessReply(CControlMessage& record) {
  (void)record;
  UpdateCommsState(true);
}

bool CZelBaseDevice::BuildSecurityCheckMessage(CControlMessage& record) {
  record.Set(kSecurityCheckCommand, kZelBareReadLength, kSecurityCheckReplyLength, this, false,
             CControlMessage::kDefaultReplyStart, 0, 0);
  BuildZelFrameHeader(record, m_typeCode, m_deviceId);
  return true;
}

bool CZelBaseDevice::BuildReadSecurityMessage(CControlMessage& record) {
  BuildZelSecurityReadMessage(record, *this);
  return true;
}

bool CZelBaseDevice::BuildWriteSecurityMessage(CControlMessage* record, const CUserList* users) {
  if (record) {
    const CUserList none;
    BuildZelSecurityWriteMessage(*record, *this, users ? *users : none);
  }
  return true;
}

void CZelBaseDevice::DecodeSecurityBlock(const std::uint8_t* reply, CUserList& users) {
  DecodeZelSecurityBlock(reply, users);
}

void CZelBaseDevice::OnSystemSolo(bool solo) { QueueMessage(false, MakeZelMuteMessage(*this, solo)); }
