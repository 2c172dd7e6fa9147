// Where things stand on the Nerex-series processor panel (850 x 600; Nerex24 to Nerex48,
// Calder26, Calder48, Hollin2) beyond what it shares with the Torvex-series panel
// (ProcessorPanelLayout.h): its header and page tabs, the section pictures, the side tabs and
// the place of every strip widget relative to its strip's edge. The panel places its widgets
// here and the artwork generator draws the skins around them. Plain data; no dependency.
#pragma once

#include "resources/ProcessorPanelLayout.h"

namespace nerex_layout {

// Everything the two processor panels share is part of this panel's layout too.
using namespace processor_layout;

// Header: the device name, the line under it and the page tabs, left to right.
inline constexpr Box kDeviceName{27, 38, 262, 64};
inline constexpr Box kModelLegend{17, 68, 262, 78};
inline constexpr Button kPageTabs[] = {
    {kPageInputGeq, {20, 84, 79, 104}},
    {kPageInputPeq, {83, 84, 142, 104}},
    {kPageMixer, {146, 84, 205, 104}},
    {kPageOutputEq, {209, 84, 268, 104}},
};
// The Calder48 and Hollin2 inputs have no graphic EQ: their header has no Input GEQ tab and the
// other three tabs share its room.
inline constexpr Button kThreePageTabs[] = {
    {kPageMixer, {21, 82, 99, 104}},
    {kPageInputPeq, {105, 82, 183, 104}},
    {kPageOutputEq, {189, 82, 267, 104}},
};
// The compact view's header: its tab row starts under the model legend.
inline constexpr int kCompactTabsTop = 79;
static_assert(kCompactTabsTop >= kModelLegend.bottom);

// The section pictures in the order the panel makes them.
inline constexpr Section kSections[] = {kInputsSection, kSideTabSection, kOutputNumbersSection, kInputLettersSection,
                                        kOutputEqNumbersSection};

// The side tabs, Linking, Limiters and Source from the top, where Create puts them; the
// outputs section moves them beside the first output strip.
inline constexpr Button kSideTabs[] = {
    {kSideTabLinking, {289, 30, 309, 100}},
    {kSideTabLimiters, {289, 103, 309, 173}},
    {kSideTabSource, {289, 176, 309, 246}},
};

// The channel-select row on the input equaliser pages (Create and the Output PEQ page put it
// at kChannelSelect).
inline constexpr Spot kChannelSelectOnInputEq{300, 60};

// The input strips' picture, drawn in the Inputs section.
inline constexpr StripPlace kInputStrip{0, 138, 0, 0};
// Input strip widgets, relative to the strip's edge.
inline constexpr StripPlace kInputFader{19, 413, 15, 152};
inline constexpr StripPlace kInputMeter{40, 420, 0, 0};
inline constexpr StripPlace kInputGainText{3, 574, 50, 15};
inline constexpr StripPlace kInputDelayText{1, 272, 57, 15};
inline constexpr StripPlace kInputLink{22, 155, 0, 0};  // row j: top + 25 j
inline constexpr StripPlace kInputGeqShortcut{34, 298, 0, 0};
inline constexpr StripPlace kInputPeqShortcut{34, 323, 0, 0};
inline constexpr StripPlace kInputMute{35, 350, 0, 0};
inline constexpr StripPlace kInputName{2, 372, 56, 15};
// Output strip widgets.
inline constexpr StripPlace kOutputStrip{0, 25, 0, 0};
inline constexpr StripPlace kOutputFader{19, 390, 15, 175};
inline constexpr StripPlace kOutputMeter{40, 420, 0, 0};
inline constexpr StripPlace kOutputGainText{0, 574, 50, 15};
inline constexpr StripPlace kOutputMute{35, 348, 0, 0};
inline constexpr StripPlace kOutputPolarity{35, 323, 0, 0};
inline constexpr StripPlace kOutputPeqShortcut{34, 298, 0, 0};
inline constexpr StripPlace kOutputDelayText{1, 272, 57, 15};
inline constexpr StripPlace kOutputName{2, 372, 56, 15};
inline constexpr StripPlace kMatrixRouting{22, 37, 0, 0};  // row i: top + 25 i
inline constexpr StripPlace kOutputLink{22, 37, 0, 0};     // row j: top + 25 j
inline constexpr StripPlace kLimiterLevel{4, 83, 52, 15};
inline constexpr StripPlace kClipLevel{4, 198, 52, 15};
inline constexpr StripPlace kClipRelease{4, 233, 52, 15};
inline constexpr StripPlace kLimiterRelease{4, 153, 52, 15};
inline constexpr StripPlace kLimiterAttack{4, 118, 52, 15};
// The Auto Limiters list sits on the first output strip.
inline constexpr StripPlace kAutoLimitersPlaced{4, 41, 51, 15};

}  // namespace nerex_layout
