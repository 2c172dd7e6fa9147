// The Sornic amplifier: its security check, its clipboard format and what the windows show of it.
#include "devices/amplifier/SornicAmpDevice.h"

#include "devices/amplifier/UnpolledUnits.h"
#include "platform/Clipboard.h"

namespace {
constexpr std::uint32_t kSornicCheckCommand = 62;
constexpr std::uint32_t kSornicCheckReplyLength = 115;
}  // namespace

CSornicAmpDevice::CSornicAmpDevice(IDeviceHost* host, IMessageSink* frame, std::uint32_t typeCode,
                                   std::uint32_t deviceId, std::uint32_t modelIndex)
    : CZelFramedDevice(host, frame, typeCode, deviceId, modelIndex, kSornicCheckCommand, kSornicCheckReplyLength) {}

std::uint32_t CSornicAmpDevice::GetClipboardFormat() { return RegisterClipboardFormat("SornicAmpSettings"); }

int CSornicAmpDevice::DrawTile(Graphics* g, const CRect& rect, int blinkPhase) {
  return DrawUnpolledTile(*this, g, rect, blinkPhase);
}
std::string CSornicAmpDevice::GetStatusText() { return UnpolledStatusText(*this); }
void CSornicAmpDevice::FillPropertiesPane(IDevicePropertyGrid& grid) { FillUnpolledRows(*this, grid); }
bool CSornicAmpDevice::OnPropertyChanged(CDeviceProperty& row) {
  return ApplyUnpolledRow(*this, row, [this](std::uint32_t id) { SetDeviceId(id); });
}
