// The rack-tile background both Zel families draw from their three skins. UI thread.
#pragma once

class CBitmapImage;
class Graphics;
struct CRect;

// The left end at the tile's left; when the tile is as wide as both ends, the right end at its
// right and the middle piece between them (true); a narrower tile shows the right end's left
// part after the left end (false). Missing skins are left out.
bool DrawZelTileSkins(Graphics& g, const CRect& rect, const CBitmapImage* left, const CBitmapImage* right,
                      const CBitmapImage* middle);
