// Where things stand on the Torvex-series processor panel (850 x 600) beyond what it shares
// with the Nerex-series panel (ProcessorPanelLayout.h): its header and page tabs, the section
// pictures, the channel strips where Create puts them and where the refresh lays them out, the
// side tabs with the Router and Matrix sub-tabs, and the Input DEQ and Output Comp pages. The
// panel places its widgets here and the artwork generator draws the skin around them. Plain
// data; no dependency.
#pragma once

#include "resources/ProcessorPanelLayout.h"

namespace torvex_layout {

// Everything the two processor panels share is part of this panel's layout too.
using namespace processor_layout;

// Ids of this panel's own widgets besides the shared ones.
enum : int {
  kCompressorStripId = 1356,     // every compressor strip's picture
  kCompressorGraphId = 1412,     // + output
  kGainReductionMeterId = 1420,  // + output
  kDeqBandGraphId = 1578,        // + band
  kDeqFrameId = 1593,            // the frame of the selected DEQ band
  kMatrixTabPictureId = 1597,
  kRouterTabPictureId = 1598,
};

// Header: the device name, the model legend under it and the six page tabs, left to right.
inline constexpr Box kDeviceName{27, 37, 262, 61};
inline constexpr Box kModelLegend{17, 64, 262, 74};
inline constexpr Button kPageTabs[] = {
    {kPageInputGeq, {20, 74, 58, 104}}, {kPageInputPeq, {62, 74, 100, 104}},    {kPageInputDeq, {104, 74, 142, 104}},
    {kPageMixer, {146, 74, 188, 104}},  {kPageOutputComp, {188, 74, 226, 104}}, {kPageOutputEq, {230, 74, 268, 104}},
};
// The compact view's header: its tab row starts under the model legend.
inline constexpr int kCompactTabsTop = 75;
static_assert(kCompactTabsTop >= kModelLegend.bottom);
// Highlight corners: the tabs, the preset manager and the recall button; the display's two
// small step buttons.
inline constexpr int kTabRadius = 5;
inline constexpr int kStepButtonRadius = 3;

// The section pictures in the order the panel makes them; the compressor numbers and the
// DEQ page's input letters repeat the ids of their Mixer and GEQ page twins.
inline constexpr Section kCompressorNumbersSection{kNumbersSectionId, 10, 575, 800, 15};
inline constexpr Section kDeqLettersSection{kInputLettersId, 38, 200, 100, 15};
inline constexpr Section kSections[] = {
    kInputsSection,       kSideTabSection,    kOutputNumbersSection,  kCompressorNumbersSection,
    kInputLettersSection, kDeqLettersSection, kOutputEqNumbersSection};

// Where Create puts the input strips' widgets, on the strip edges of four inputs, and where the
// refresh lays them out on the model's strip edges. The three shortcut rows open the input's
// GEQ, PEQ and DEQ page; the link buttons stand in a column, one row per input.
struct InputStrip {
  StripPlace meter, fader, gain, delay, link, geqRow, peqRow, deqRow, mute, name;
};
inline constexpr InputStrip kInputCreated{
    {40, 420, 0, 0}, {19, 420, 15, 145}, {0, 574, 50, 15}, {2, 272, 57, 15}, {22, 155, 0, 0},
    {34, 298, 0, 0}, {34, 323, 0, 0},    {34, 348, 0, 0},  {35, 350, 0, 0},  {2, 372, 56, 15},
};
inline constexpr InputStrip kInputPlaced{
    {40, 420, 0, 0}, {19, 413, 15, 152}, {3, 574, 50, 15}, {1, 249, 57, 15}, {22, 130, 0, 0},
    {34, 273, 0, 0}, {34, 298, 0, 0},    {34, 323, 0, 0},  {35, 348, 0, 0},  {2, 372, 56, 15},
};

// The output strips' widgets alike: the strip's picture, the channel widgets, and over the
// strip's top the three side-tab views: routing buttons or matrix knobs with their readouts
// (Source), link buttons (Linking) and the limiter readouts and lists (Limiters).
struct OutputStrip {
  StripPlace picture, meter, fader, gain, mute, phase, eqRow, compRow, delay, name;
  StripPlace routing, knob, knobText, link, limiterLevel, clipLevel, attack, release, clipRelease;
};
inline constexpr OutputStrip kOutputCreated{
    {0, 25, 0, 0},    {40, 420, 0, 0},  {19, 390, 15, 175}, {0, 574, 50, 15}, {35, 348, 0, 0},
    {35, 323, 0, 0},  {34, 298, 0, 0},  {34, 298, 0, 0},    {2, 272, 57, 15}, {2, 372, 56, 15},
    {22, 37, 0, 0},   {16, 38, 27, 27}, {5, 71, 49, 14},    {22, 37, 0, 0},   {4, 83, 51, 15},
    {4, 198, 51, 15}, {4, 118, 51, 15}, {4, 153, 51, 15},   {4, 233, 51, 15},
};
inline constexpr OutputStrip kOutputPlaced{
    {0, 5, 0, 0},     {40, 420, 0, 0},  {19, 390, 15, 175}, {0, 574, 50, 15}, {35, 348, 0, 0},
    {35, 323, 0, 0},  {34, 273, 0, 0},  {34, 298, 0, 0},    {1, 249, 57, 15}, {2, 372, 56, 15},
    {22, 17, 0, 0},   {16, 19, 27, 27}, {6, 52, 49, 14},    {22, 17, 0, 0},   {4, 53, 52, 15},
    {4, 168, 52, 15}, {4, 88, 52, 15},  {4, 123, 52, 15},   {4, 203, 52, 15},
};
// The matrix knobs stand one row per input, further apart than the buttons.
inline constexpr int kKnobRowPitch = 55;

// The side tabs, Source, Limiters and Linking from the bottom up, where Create puts them; the
// side-tab section moves them beside the first output strip.
inline constexpr Button kSideTabs[] = {
    {kSideTabSource, {289, 156, 309, 226}},
    {kSideTabLimiters, {289, 83, 309, 153}},
    {kSideTabLinking, {289, 10, 309, 80}},
};
// Left of the side tabs' picture from the first output strip's edge.
inline constexpr int kSideTabPictureLeft = -30;
// The Source view's sub-tabs: their picture (Router or Matrix lit), the upper button that
// shows the routing buttons and the lower one that shows the matrix knobs.
inline constexpr Spot kSubTabPicture{285, 240};
inline constexpr Box kRouterSubTab{289, 243, 309, 289};
inline constexpr Box kMatrixSubTab{289, 293, 309, 339};
// The Auto Limiters list on the Limiters view, from the first output strip's edge.
inline constexpr StripPlace kAutoLimitersPlaced{4, 21, 52, 15};

// The channel-select row and the input caption by page.
inline constexpr Spot kChannelSelectOnInputEq{300, 60};
inline constexpr Spot kChannelSelectOnDeq{35, 180};
inline constexpr Spot kChannelSelectOnOutputs{35, 155};
inline constexpr Box kInputCaptionOnDeq{30, 145, 150, 175};

// The band rows' frame stands 4 above its row and the bypass button 1 below its top.
inline constexpr int kBandFrameDy = -4;
inline constexpr int kBandBypassDy = 1;

// The Input DEQ page: its graph, the mode and linking lists, and three band columns (186 apart)
// with their frame, transfer-curve graph, readouts, lists and bypass button.
inline constexpr Box kDeqGraph{10, 230, 840, 590};
inline constexpr Box kDeqMode{176, 139, 258, 154};
inline constexpr Box kDeqLinking{176, 174, 258, 189};
inline constexpr int kDeqBands = 3;
inline constexpr int kDeqColumnPitch = 186;
struct DeqColumn {
  Spot frame;
  Box graph, frequency, q, effect, dynamicMode, shape;
  Spot bypass;
  Box threshold, ratio, attack, release;
};
inline constexpr DeqColumn kDeqColumn{
    {279, 1},
    {366, 18, 453, 105},
    {352, 195, 402, 210},
    {352, 165, 382, 180},
    {414, 195, 454, 210},
    {386, 165, 458, 180},
    {352, 135, 432, 150},
    {291, 195},
    {290, 75, 340, 90},
    {291, 105, 339, 120},
    {291, 135, 339, 150},
    {291, 165, 339, 180},
};

// The Output Comp page: a strip per output (105 apart from x 10), its name, its compressor's
// readouts (threshold, ratio, attack, release, knee; 35 apart), bypass button, transfer-curve
// graph and gain-reduction meter; and the Compressor Limiters list.
inline constexpr Spot kCompressorStrip{10, 115};
inline constexpr int kCompressorPitch = 105;
inline constexpr Box kCompressorName{35, 576, 100, 591};
inline constexpr Box kCompressorReadout{15, 135, 80, 150};
inline constexpr int kCompressorReadoutPitch = 35;
inline constexpr Spot kCompressorBypass{50, 295};
inline constexpr Box kCompressorGraph{30, 329, 102, 401};
inline constexpr Spot kGainReductionMeter{55, 430};
inline constexpr Box kCompressorLimiters{287, 90, 337, 105};

}  // namespace torvex_layout
