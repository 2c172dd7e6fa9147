// The Sornic amplifier: security frames in the F0/F1 layout, solo and queued messages.
#include "devices/amplifier/SornicAmpDevice.h"

#include "core/ControlMessage.h"
#include "devices/amplifier/ZelBaseDevice.h"
#include "platform/Clipboard.h"

namespace {
constexpr std::uint32_t kSornicCheckCommand = 62;
constexpr std::uint32_t kSornicCheckReplyLength = 115;
}  // namespace

CSornicAmpDevice::CSornicAmpDevice(CSystem* system, IMessageSink* frame, std::uint32_t typeCode,
                                   std::uint32_t deviceId, std::uint32_t modelIndex)
    : CDevice(system, typeCode, deviceId, frame, modelIndex) {}

CSornicAmpDevice::~CSornicAmpDevice() { ClearQueue(); }

void CSornicAmpDevice::Initialise() { m_pollSuspend = std::make_unique<CManualResetEvent>(false); }

std::uint32_t CSornicAmpDevice::GetClipboardFormat() { return RegisterClipboardFormat("SornicAmpSettings"); }

bool CSornicAmpDevice::GetNextPollMessage(CControlMessage& record) {
  if (m_ignored || m_needsInitialisation || (m_pollSuspend && m_pollSuspend->IsSet())) return false;
  return PopMessage(record);
}

void CSornicAmpDevice::ProcessReply(CControlMessage& record) {
  (void)record;
  UpdateCommsState(true);
}

bool CSornicAmpDevice::BuildSecurityCheckMessage(CControlMessage& record) {
  record.Set(kSornicCheckCommand, kZelBareReadLength, kSornicCheckReplyLength, this, false,
             CControlMessage::kDefaultReplyStart, 0, 0);
  BuildZelFrameHeader(record, m_typeCode, m_deviceId);
  return true;
}

bool CSornicAmpDevice::BuildReadSecurityMessage(CControlMessage& record) {
  BuildZelSecurityReadMessage(record, *this);
  return true;
}

bool CSornicAmpDevice::BuildWriteSecurityMessage(CControlMessage* record, const CUserList* users) {
  if (record) {
    const CUserList none;
    BuildZelSecurityWriteMessage(*record, *this, users ? *users : none);
  }
  return true;
}

void CSornicAmpDevice::DecodeSecurityBlock(const std::uint8_t* reply, CUserList& users) {
  DecodeZelSecurityBlock(reply, users);
}

void CSornicAmpDevice::OnSystemSolo(bool solo) { QueueMessage(false, MakeZelMuteMessage(*this, solo)); }
