// The codes every device family and its windows share: connection levels, the refusal of a
// change while the unit is away, and the colours of a device's LED.
#pragma once

#include <cstdint>

// Connection levels (0 to 6): a device is connected above kConnectedAbove.
inline constexpr std::int32_t kMaxCommsLevel = 6;
inline constexpr std::int32_t kConnectedAbove = 2;

// The refusal of a properties row edited while the device is away online.
inline constexpr const char* kNotConnectedRefusal = "Cannot change settings - the unit is not connected";
// Colour codes of CDevice::DrawLed.
enum : int { kLedRed = 0, kLedGreen = 1, kLedYellow = 2 };
