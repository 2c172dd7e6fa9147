// The Zel breakout boxes: clipboard format and the block-received word.
#include "devices/amplifier/ZelBreakDevice.h"

#include "platform/Clipboard.h"

CZelBreakDevice::CZelBreakDevice(CSystem* system, IMessageSink* frame, std::uint32_t typeCode,
                                 std::uint32_t deviceId)
    : CZelBaseDevice(system, frame, typeCode, deviceId) {}

std::uint32_t CZelBreakDevice::GetClipboardFormat() { return RegisterClipboardFormat("ZelBreakSettings"); }
