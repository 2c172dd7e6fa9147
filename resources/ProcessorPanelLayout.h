// What the Nerex-series and Torvex-series processor panels (850 x 600) have in common: the
// ids of the widgets that are the panels' own (pictures, captions, graphs, the preset display's
// buttons), the page and side-tab numbers the tab buttons carry, the channel strips' edges and
// the places of the widgets both panels put in the same spot. NerexPanelLayout.h and
// TorvexPanelLayout.h hold the rest of each panel; the artwork generator draws the skins
// around these places. Plain data; no dependency.
#pragma once

#include "resources/PanelLayout.h"

namespace processor_layout {

using panel_layout::Box;
using panel_layout::Spot;
using panel_layout::StripPlace;

inline constexpr int kWidth = 850;
inline constexpr int kHeight = 600;
inline constexpr int kMaxInputs = 4;
inline constexpr int kMaxOutputs = 8;

// Ids of the widgets that show no parameter of the device: the device acts on the buttons'
// ids; the other ids only tag the widget.
enum : int {
  kInputMeterId = 1,       // + input: the level meters, fed by the meter timer
  kOutputMeterId = 5,      // + output
  kChannelSelectId = 120,  // + c: shows channel c on the equaliser page in view
  kGeqCurveId = 140,
  kInputPeqCurveId = 141,
  kOutputEqCurveId = 142,
  kOutputCompShortcutId = 221,  // + output: shows the output on the Output Comp page
  kInputDeqShortcutId = 229,    // + input: shows the input on the Input DEQ page
  kInputPeqShortcutId = 233,    // + input: on the Input PEQ page
  kInputGeqShortcutId = 237,    // + input: on the Input GEQ page
  kOutputEqShortcutId = 241,    // + output: on the Output EQ page
  kInputCaptionId = 433,  // the selected input's name and the inputs ganged with it
  kOutputCaptionId = 434,
  kLcdRecallId = 436,    // recalls the preset the display shows
  kLcdNextId = 437,      // shows the next stored preset
  kLcdPreviousId = 438,  // shows the previous stored preset
  kOutputStripId = 475,  // every output strip's picture
  kInputsSectionId = 483,
  kSideTabSectionId = 484,
  kNumbersSectionId = 485,
  kInputLettersId = 486,
  kOutputEqNumbersId = 487,
  kMixerPageId = 488,
  kInputPeqPageId = 489,
  kInputGeqPageId = 490,
  kOutputEqPageId = 491,
  kInputDeqPageId = 492,
  kOutputCompPageId = 493,
  kModelLegendId = 494,
  kPresetManagerId = 495,  // opens the preset manager
  kGeqFlattenId = 1320,    // + input: flattens the input's graphic EQ
  kBandFrameId = 1592,     // the frame of the selected band row
};

// The pages and the Mixer page's side tabs, numbered as the device keeps them; each tab
// button carries its number as its id.
enum : int {
  kPageMixer = 59,
  kPageInputGeq = 60,
  kPageInputPeq = 61,
  kPageOutputEq = 63,
  kPageInputDeq = 64,
  kPageOutputComp = 65,
  kSideTabSource = 295,
  kSideTabLimiters = 296,
  kSideTabLinking = 297,
};

// Left edge of input strip i (of n inputs) and of output strip k (of m outputs): the strips of
// a smaller model are centred in the room of four inputs and of eight outputs.
inline constexpr int kStripPitch = 66;
inline constexpr int kStripWidth = 65;
constexpr int InputStripX(int inputCount, int i) { return (kMaxInputs - inputCount) * 33 + kStripPitch * i + 15; }
constexpr int OutputStripX(int outputCount, int k) { return (kMaxOutputs - outputCount) * 33 + kStripPitch * k + 315; }
// Left and right of the side tabs from the first output strip's edge, where the pages with
// output strips move them.
inline constexpr int kSideTabLeft = -26;
inline constexpr int kSideTabRight = -6;
// Rows of like buttons on a strip (links, routing) stand this far apart.
inline constexpr int kRowPitch = 25;

// A button of the panel: its id and its box.
struct Button {
  int id;
  Box box;
};

// The header: the preset manager's button, and the preset display of the compact view (its
// text and its recall, next and previous buttons).
inline constexpr Box kPresetManager{209, 10, 268, 30};
inline constexpr Box kLcdText{27, 97, 170, 117};
inline constexpr Button kLcdButtons[] = {
    {kLcdRecallId, {224, 96, 282, 119}},
    {kLcdNextId, {181, 96, 206, 107}},
    {kLcdPreviousId, {181, 108, 206, 119}},
};
// The compact view shows its own header picture (id 0: it tags nothing) with the preset
// display in the page tabs' lower half: there the tabs keep their left and right but stand in
// a lower row that ends above the display. Each header says where that row starts.
inline constexpr int kCompactPageId = 0;
inline constexpr int kCompactTabsBottom = 93;
constexpr Box CompactTab(Box tab, int rowTop) { return Box{tab.left, rowTop, tab.right, kCompactTabsBottom}; }
static_assert(kLcdText.top > kCompactTabsBottom && kLcdButtons[0].box.top > kCompactTabsBottom &&
              kLcdButtons[1].box.top > kCompactTabsBottom && kLcdButtons[2].box.top > kCompactTabsBottom);

// The channel-select buttons: one row, where Create puts them (the pages move them).
inline constexpr Spot kChannelSelect{35, 155};
inline constexpr int kChannelSelectPitch = 28;
inline constexpr int kChannelSelects = 8;

// The offscreen section pictures: id, top-left corner and size.
struct Section {
  int id;
  int left, top, width, height;
  constexpr Box Bounds() const { return Box{left, top, left + width, top + height}; }
};
inline constexpr Section kInputsSection{kInputsSectionId, 0, 113, 275, 487};
inline constexpr Section kSideTabSection{kSideTabSectionId, 280, 0, 570, 255};
inline constexpr Section kOutputNumbersSection{kNumbersSectionId, 280, 554, 570, 15};
inline constexpr Section kInputLettersSection{kInputLettersId, 303, 82, 100, 15};
inline constexpr Section kOutputEqNumbersSection{kOutputEqNumbersId, 38, 178, 210, 15};

// The Limiters view's Auto Limiters list, over the first output strip.
inline constexpr Box kAutoLimiters{319, 41, 370, 56};

// The Input GEQ page: the response graph, the bypass and flatten buttons, the Q shape list and
// the band faders (+-12 dB).
inline constexpr Box kGeqCurve{10, 350, 840, 590};
inline constexpr Spot kGeqBypass{545, 50};
inline constexpr Spot kGeqFlat{544, 74};
inline constexpr Box kGeqShape{500, 25, 565, 40};
inline constexpr int kGeqBands = 28;
inline constexpr float kGeqRangeDb = 12.0f;
constexpr Box GeqFader(int band) { return Box{63 + 26 * band, 140, 78 + 26 * band, 315}; }

// The parametric pages: the response graph and the page's caption.
inline constexpr Box kEqCurve{10, 220, 840, 590};
inline constexpr Box kInputCaption{295, 35, 415, 51};
inline constexpr Box kOutputCaption{27, 133, 262, 149};

// The band table of the parametric pages: a row per band, 17 high; the selected row's frame
// from x 436, then frequency, Q, gain, filter type and the bypass button.
inline constexpr int kInputPeqBands = 8;
inline constexpr int kOutputPeqBands = 9;
constexpr int BandRowTop(int band) { return 23 + 19 * band; }
inline constexpr int kBandRowHeight = 17;
struct Column {
  int left, right;
};
inline constexpr int kBandFrameLeft = 436;
inline constexpr Column kBandFrequency{470, 530};
inline constexpr Column kBandQ{540, 580};
inline constexpr Column kBandGain{590, 650};
inline constexpr Column kBandType{660, 795};
inline constexpr int kBandBypassLeft = 807;
constexpr Box BandCell(Column c, int band) {
  return Box{c.left, BandRowTop(band), c.right, BandRowTop(band) + kBandRowHeight};
}

// The Output EQ page's crossover: each filter's frequency and type.
inline constexpr Box kHighPassFrequency{287, 73, 360, 90};
inline constexpr Box kHighPassType{287, 108, 420, 125};
inline constexpr Box kLowPassFrequency{287, 143, 360, 160};
inline constexpr Box kLowPassType{287, 178, 420, 195};

}  // namespace processor_layout
