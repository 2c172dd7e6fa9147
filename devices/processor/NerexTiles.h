// Live-meter bars of the processor family, drawn through Graphics from one shared meter bitmap.
// UI thread.
#pragma once

#include "platform/Types.h"

class CNerexSeriesDevice;
class Graphics;

// Width of a processor's live-meter column: 10 x trunc(1.5 x (inputs + outputs) + 6) pixels.
int GetMonitorTileWidth(const CNerexSeriesDevice& device);

// Replaces the shared meter bitmap by a new one, 10 pixels wide and height high, filled with a
// vertical gradient: red at the top, yellow at 60 %, green at the bottom.
void BuildMeterBitmap(int height);
// Height of the shared meter bitmap; -1 before the first build.
int GetMeterBitmapHeight();

// One meter bar in the meter rectangle m, 10 pixels wide from m.left: the clip box (the top 10
// rows), the bar from m.top + 20 to m.bottom - 20, spanning +9 dB to -85 dB, and the signal
// box (the bottom 10 rows). Unlit parts are grey. result receives m, which is also returned.
CRect DrawMeterBar(Graphics& dc, const CRect& m, CRect& result, float level);
