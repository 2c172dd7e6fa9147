// The processor device: construction and the worker's side of polling.
#include "devices/processor/NerexSeriesDevice.h"

#include "core/ControlMessage.h"
#include "devices/processor/NerexModelTable.h"
#include "platform/Clipboard.h"

namespace {
// Identification request: [0xB0, device ID], 21-byte reply from 0xB8.
constexpr std::uint32_t kIdentifyCommand = 176;
constexpr std::uint32_t kIdentifyReplyLength = 21;
constexpr std::uint8_t kIdentifyReplyStart = 0xB8;
// Turns a device waiting for its security step sends nothing but every 12th.
constexpr std::uint32_t kSecurityProbeTurns = 10;
}  // namespace

CNerexSeriesDevice::CNerexSeriesDevice(CSystem* system, std::uint32_t typeCode, std::uint32_t deviceId,
                                       IMessageSink* frame, std::uint32_t modelIndex)
    : CDevice(system, typeCode, deviceId, frame, modelIndex) {}

CNerexSeriesDevice::~CNerexSeriesDevice() { ClearQueue(); }

void CNerexSeriesDevice::Initialise() { m_pasteEvent = std::make_unique<CManualResetEvent>(false); }

std::string CNerexSeriesDevice::GetModelName() { return ::GetModelName(int(m_typeCode), m_modelIndex); }

std::uint32_t CNerexSeriesDevice::GetClipboardFormat() { return RegisterClipboardFormat("NerexSeriesSettings"); }

void CNerexSeriesDevice::Reinitialise(std::uint32_t mode) {
  CDevice::Reinitialise(mode);
  ClearQueue();
}

bool CNerexSeriesDevice::GetNextPollMessage(CControlMessage& record) {
  if ((m_pasteEvent && m_pasteEvent->IsSet()) || m_ignored) return false;
  if (m_needsInitialisation) {
    if (m_pollCounter <= kSecurityProbeTurns) {
      ++m_pollCounter;
      return false;
    }
    record.Set(kIdentifyCommand, 2, kIdentifyReplyLength, this, false, kIdentifyReplyStart, 0, 0);
    record.frame[0] = 0xB0;
    record.frame[1] = std::uint8_t(m_deviceId);
    m_pollCounter = 0;
    return true;
  }
  return PopMessage(record);
}

void CNerexSeriesDevice::ProcessReply(CControlMessage& record) {
  (void)record;
  UpdateCommsState(true);
}
