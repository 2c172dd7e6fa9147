// The Zel amplifier's shared tile skins: loaded with the first amplifier and freed with the
// last. UI thread.
#pragma once

class CBitmapImage;

// Loads the three skins (resources 4116 left end, 4117 right end, 4118 middle strip).
void AcquireZelSeriesSkins();
void ReleaseZelSeriesSkins();
// A loaded skin (0 left, 1 right, 2 middle), or null when not loaded.
CBitmapImage* GetZelSeriesSkin(int which);
