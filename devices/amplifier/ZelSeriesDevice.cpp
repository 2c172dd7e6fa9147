// The Zel amplifiers: clipboard format.
#include "devices/amplifier/ZelSeriesDevice.h"

#include "platform/Clipboard.h"

CZelSeriesDevice::CZelSeriesDevice(CSystem* system, IMessageSink* frame, std::uint32_t typeCode,
                                   std::uint32_t deviceId)
    : CZelBaseDevice(system, frame, typeCode, deviceId) {}

std::uint32_t CZelSeriesDevice::GetClipboardFormat() { return RegisterClipboardFormat("ZelSeriesSettings"); }
