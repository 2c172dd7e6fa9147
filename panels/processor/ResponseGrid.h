// The grid shared by the response graphs: a dark background graded towards the middle, the
// logarithmic frequency lines of the curve points' range (frequency codes 13 to 432) with
// their labels from 20 Hz to 20 kHz, the level lines with their dB labels, and the plot frame.
// UI thread only.
#pragma once

#include "platform/Graphics.h"
#include "platform/Types.h"

// Upper half graded from black to 0xFF28283C at the middle, lower half back to black.
void FillGraphBackground(Graphics& g, int width, int height);
// plot: the plot rectangle in the graphics' coordinates. Vertical lines at 1, 2 .. 9 x 10^e Hz
// (bright at the decades), labels at 1, 2 and 5 x 10^e from 20 Hz to 20 kHz.
void DrawFrequencyGrid(Graphics& g, const CRect& plot, const CFont* font);
// Level lines from lowestDb to highestDb every stepDb (bright at 0 dB) with a tick and a
// "%ddB" label on the lines whose level is a multiple of labelEvery; then the plot frame.
void DrawLevelGrid(Graphics& g, const CRect& plot, int highestDb, int lowestDb, int stepDb, int labelEvery,
                   const CFont* font);
// x of a frequency code in the plot (codes 13 to 432 across its width), fractional.
double FrequencyCodeToX(const CRect& plot, double code);
