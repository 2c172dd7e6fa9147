// Global mute: the broadcast frames that mute or unmute every unit on the bus at once, one per
// device type, in the order they are queued.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

class CControlMessage;

// Broadcast command of the global mute.
inline constexpr std::uint32_t kGlobalMuteCommand = 0x20;
// Frames of one global mute or unmute.
inline constexpr std::size_t kGlobalMuteFrameCount = 19;

// The nineteen broadcast messages for mute (true) or unmute (false), in queueing order: the
// 9-byte frames of types 0x71, 0x79, 0x10, 0x5E, 0x62, the module variant of 0x31 and 0x32,
// then the 12-byte frames of 0x38, 0x33 to 0x37 and 0x28 to 0x2D. Each is a read with no
// reply awaited (expected length 0, start byte 0xA8), no target device.
std::vector<std::unique_ptr<CControlMessage>> BuildGlobalMuteMessages(bool mute);
