// The queue-only device of the F0/F1 frames: poll gate, security frames and solo.
#include "devices/amplifier/ZelFramedDevice.h"

#include "core/protocol/ControlMessage.h"
#include "devices/amplifier/ZelBaseDevice.h"
#include "devices/amplifier/ZelRules.h"
#include "platform/TextFormat.h"

CZelFramedDevice::CZelFramedDevice(IDeviceHost* host, IMessageSink* frame, std::uint32_t typeCode,
                                   std::uint32_t deviceId, std::uint32_t modelIndex, std::uint32_t checkCommand,
                                   std::uint32_t checkReplyLength)
    : CDevice(host, typeCode, deviceId, frame, modelIndex),
      m_checkCommand(checkCommand),
      m_checkReplyLength(checkReplyLength) {
  m_addressRules = std::make_unique<CZelAddressRules>(*this, false);
  m_unitAtId = std::make_unique<CZelUnitAtId>(*this);
}

CZelFramedDevice::~CZelFramedDevice() { Queue().ClearQueue(); }

void CZelFramedDevice::Initialise() { m_pollGate = std::make_unique<CManualResetEvent>(false); }

bool CZelFramedDevice::GetNextPollMessage(CControlMessage& record) {
  if (m_ignored || IsPollGateSet()) return false;
  if (UnitAtId().IsSetAside()) {
    if (m_pollCounter < kZelProbeTurns) {
      ++m_pollCounter;
      return false;
    }
    m_pollCounter = 0;
    return BuildSecurityCheckMessage(record);
  }
  if (m_needsInitialisation) return PollWhileSecurityPending(record);
  return Queue().PopMessage(record) || PollWhenIdle(record);
}

bool CZelFramedDevice::PollWhileSecurityPending(CControlMessage& record) {
  (void)record;
  return false;
}

bool CZelFramedDevice::PollWhenIdle(CControlMessage& record) {
  (void)record;
  return false;
}

void CZelFramedDevice::TakeReply(CControlMessage& record) {
  if (TakesReply(record)) UpdateCommsState(true);
}

bool CZelFramedDevice::TakesReply(const CControlMessage& record) {
  if (record.write || record.receivedLength <= 3) return !UnitAtId().IsSetAside();
  return UnitAtId().TakeUnitModel(record);
}

bool CZelFramedDevice::BuildSecurityCheckMessage(CControlMessage& record) {
  record.Set(m_checkCommand, kZelBareReadLength, m_checkReplyLength, this, false, CControlMessage::kDefaultReplyStart,
             0, 0);
  // The check is a read of what the unit holds (a Zel unit's name): stamped as every read is.
  ReadGuard().StampRead(record);
  BuildZelFrameHeader(record, m_typeCode, m_deviceId);
  return true;
}

bool CZelFramedDevice::BuildReadSecurityMessage(CControlMessage& record) {
  BuildZelSecurityReadMessage(record, *this);
  return true;
}

bool CZelFramedDevice::BuildWriteSecurityMessage(CControlMessage* record, const CUserList* users) {
  if (record) {
    const CUserList none;
    BuildZelSecurityWriteMessage(*record, *this, users ? *users : none);
  }
  return true;
}

void CZelFramedDevice::DecodeSecurityBlock(const std::uint8_t* reply, CUserList& users) {
  DecodeZelSecurityBlock(reply, users);
}

void CZelFramedDevice::OnSystemSolo(bool solo) { QueueMessage(false, MakeZelMuteMessage(*this, solo)); }
