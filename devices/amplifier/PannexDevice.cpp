// The Pannex amplifier modules: solo in the module frame layout, queued messages, and what the
// windows show of them.
#include "devices/amplifier/PannexDevice.h"

#include "core/protocol/ControlMessage.h"
#include "core/protocol/SevenBit.h"
#include "devices/amplifier/UnpolledUnits.h"
#include "platform/Clipboard.h"

namespace {
constexpr std::uint32_t kModuleMuteCommand = 0x20;
constexpr std::uint32_t kModuleFrameLength = 9;
constexpr std::uint8_t kModuleVariantByte = 0x0D;
}  // namespace

CPannexDevice::CPannexDevice(IDeviceHost* host, IMessageSink* frame, std::uint32_t typeCode, std::uint32_t deviceId)
    : CDevice(host, typeCode, deviceId, frame, 0) {}

CPannexDevice::~CPannexDevice() { Queue().ClearQueue(); }

void CPannexDevice::Initialise() { m_pasteInProgress = std::make_unique<CManualResetEvent>(false); }

std::uint32_t CPannexDevice::GetClipboardFormat() { return RegisterClipboardFormat("PannexSettings"); }

bool CPannexDevice::GetNextPollMessage(CControlMessage& record) {
  if (m_ignored || m_needsInitialisation || (m_pasteInProgress && m_pasteInProgress->IsSet())) return false;
  return Queue().PopMessage(record);
}

void CPannexDevice::TakeReply(CControlMessage& record) {
  (void)record;
  UpdateCommsState(true);
}

void CPannexDevice::OnSystemSolo(bool solo) {
  auto message = std::make_unique<CControlMessage>();
  message->Set(kModuleMuteCommand, kModuleFrameLength, 0, this, true, CControlMessage::kDefaultReplyStart, 0, 0);
  const std::uint8_t bytes[kModuleFrameLength - 1] = {
      0xF1, 0x00, 0x08, std::uint8_t(m_typeCode & 0x7F), std::uint8_t(m_deviceId & 0x7F),
      kModuleVariantByte, std::uint8_t(kModuleMuteCommand), std::uint8_t(solo ? 2 : 0)};
  for (std::uint32_t i = 0; i < kModuleFrameLength - 1; ++i) message->frame[i] = bytes[i];
  message->frame[kModuleFrameLength - 1] = Checksum7Bit(bytes, kModuleFrameLength - 1);
  QueueMessage(false, std::move(message));
}

int CPannexDevice::DrawTile(Graphics* g, const CRect& rect, int blinkPhase) {
  return DrawUnpolledTile(*this, g, rect, blinkPhase);
}
std::string CPannexDevice::GetStatusText() { return UnpolledStatusText(*this); }
void CPannexDevice::FillPropertiesPane(IDevicePropertyGrid& grid) { FillUnpolledRows(*this, grid); }
bool CPannexDevice::OnPropertyChanged(CDeviceProperty& row) {
  return ApplyUnpolledRow(*this, row, [this](std::uint32_t id) { SetDeviceId(id); });
}
