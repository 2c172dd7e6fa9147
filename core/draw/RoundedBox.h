// Rounded rectangles as tiles, panels and frames draw them. UI thread only.
#pragma once

#include "platform/Types.h"

class CGraphicsPath;
class Graphics;

// Resets the path to a closed rounded rectangle whose corner arcs have diameter d (cut to the
// smaller of w and h, at least 0). The arcs stand inside (x, y) to (x + w - 1, y + h - 1);
// d = 20 is drawn with 21-pixel arcs on a rectangle one pixel smaller, as the skins expect.
void CreateRoundRectPath(CGraphicsPath& path, int d, int x, int y, int w, int h);

// A rounded frame of corner radius r in the rectangle: a 1-pixel outline when border is 1,
// else a band border pixels wide filled inside the rectangle.
void DrawRoundedBox(Graphics& g, CColour colour, int border, int radius, int x, int y, int w, int h);
