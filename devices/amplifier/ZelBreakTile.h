// The Zel breakout box's shared tile skins: loaded with the first box and freed with the last.
// UI thread.
#pragma once

#include <cstdint>

class CBitmapImage;

enum class ZelBreakSkin { kLeft = 0, kRight = 1, kMiddle = 2 };

// Loads the three skins of each model line (XB 4119 to 4121, Fennick 4153 to 4155, Quill 4156
// to 4158: left end, right end, middle strip).
void AcquireZelBreakSkins();
void ReleaseZelBreakSkins();
// The loaded skin of the model line of a type code, or null when not loaded.
CBitmapImage* GetZelBreakSkin(std::uint32_t typeCode, ZelBreakSkin which);
