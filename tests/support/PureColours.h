// Colours of full intensity, whose pixels are easy to tell apart in a drawn or decoded image.
#pragma once

#include "platform/Types.h"

inline constexpr CColour kRed = CColour::FromRgb(255, 0, 0);
inline constexpr CColour kGreen = CColour::FromRgb(0, 255, 0);
inline constexpr CColour kBlue = CColour::FromRgb(0, 0, 255);
inline constexpr CColour kWhite = CColour::FromRgb(255, 255, 255);
