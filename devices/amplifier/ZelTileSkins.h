// The rack-tile background the amplifier families draw from their three skins, and the face
// (name, model, ID and LED) of a 30-high amplifier tile. UI thread.
#pragma once

#include <string>

class CBitmapImage;
class CDevice;
class Graphics;
struct CRect;

// The left end at the tile's left; when the tile is as wide as both ends, the right end at its
// right and the middle piece between them (true); a narrower tile shows the right end's left
// part after the left end (false). Missing skins are left out.
bool DrawZelTileSkins(Graphics& g, const CRect& rect, const CBitmapImage* left, const CBitmapImage* right,
                      const CBitmapImage* middle);
// The face of a 30-high amplifier tile over its skins: the name, then "<model>   ID : <id>",
// white from 30 pixels in, and the status LED in the colour code ledColour in the recess of the
// right end.
void DrawAmplifierTileFace(CDevice& device, Graphics& g, const CRect& rect, const std::string& name, int ledColour);
