// Geometry and fixed lists of the Nerex-series processor panel (Nerex24 to Nerex48, Calder26,
// Calder48, Hollin2): the channel strip edges that centre the strips of a smaller model, the
// places of every strip widget relative to its strip's edge, and the items of its drop-down
// lists, the filter types by model and hardware code. Plain data: no window needed.
#pragma once

#include <cstdint>
#include <span>

#include "platform/Types.h"

namespace nerex_layout {

inline constexpr int kMaxInputs = 4;
inline constexpr int kMaxOutputs = 8;
inline constexpr int kStripPitch = 66;
inline constexpr int kStripWidth = 65;

// Left edge of input strip i (of n inputs) and of output strip k (of m outputs): the strips of
// a smaller model are centred in the room of four inputs and of eight outputs.
constexpr int InputStripX(int inputCount, int i) { return (4 - inputCount) * 33 + 66 * i + 15; }
constexpr int OutputStripX(int outputCount, int k) { return (8 - outputCount) * 33 + 66 * k + 315; }

// Where a strip widget sits relative to its strip's edge X: left = X + dx; top is absolute.
// A place with width and height 0 takes the size of the widget's picture.
struct StripPlace {
  int dx;
  int top;
  int width;
  int height;
  // The widget's rectangle at strip edge x; size is the picture's (when the place has none).
  CRect At(int x, int pictureWidth = 0, int pictureHeight = 0) const {
    const int w = width ? width : pictureWidth;
    const int h = height ? height : pictureHeight;
    return CRect{x + dx, top, x + dx + w, top + h};
  }
};

// Input strip widgets.
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
inline constexpr int kRowPitch = 25;
// The Auto Limiters list sits on the first output strip.
inline constexpr StripPlace kAutoLimiters{4, 41, 51, 15};

// One drop-down item: its text and the value it sends (not its position).
struct ComboItem {
  const char* text;
  std::int32_t value;
};

std::span<const ComboItem> AttackItems();
std::span<const ComboItem> ReleaseItems();
std::span<const ComboItem> ClipReleaseItems();
std::span<const ComboItem> AutoLimiterItems();
std::span<const ComboItem> QShapeItems();
// Every parametric-EQ filter type the panel knows, in list order (codes 3 and 4 not offered).
std::span<const ComboItem> EqTypeItems();
std::span<const ComboItem> CrossoverTypeItems();
// The parametric-EQ filter types a model offers: the three basic ones, then all the others
// (Calder48 board and every model but 110 and 112), only the two VariQ passes (the reduced
// Calder board and the Hollin2), or nothing more (any other 110 or 112 board).
std::span<const ComboItem> EqTypeItemsFor(int model, std::uint32_t hardwareCode);

}  // namespace nerex_layout
