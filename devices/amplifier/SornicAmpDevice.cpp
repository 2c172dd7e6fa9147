// The Sornic amplifier: its security check and its clipboard format.
#include "devices/amplifier/SornicAmpDevice.h"

#include "platform/Clipboard.h"

namespace {
constexpr std::uint32_t kSornicCheckCommand = 62;
constexpr std::uint32_t kSornicCheckReplyLength = 115;
}  // namespace

CSornicAmpDevice::CSornicAmpDevice(CSystem* system, IMessageSink* frame, std::uint32_t typeCode,
                                   std::uint32_t deviceId, std::uint32_t modelIndex)
    : CZelFramedDevice(system, frame, typeCode, deviceId, modelIndex, kSornicCheckCommand, kSornicCheckReplyLength) {}

std::uint32_t CSornicAmpDevice::GetClipboardFormat() { return RegisterClipboardFormat("SornicAmpSettings"); }
