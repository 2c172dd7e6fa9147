// Where things stand on the Fennick panels' compact skin (302 x 325): the artwork generator
// draws the wells and captions here and the panels place their widgets on them, so both read
// one table. Plain data; no dependency.
#pragma once

#include <cstdint>

#include "resources/PanelLayout.h"

namespace fennick_layout {

using panel_layout::Box;

inline constexpr int kWidth = 302;
inline constexpr int kHeight = 325;

// Skin images by resource number.
enum : std::uint32_t {
  kSkinFennickBackground = 2460,
  kSkinZelFennickBackground = 2461,
  kSkinStore = 2462,  // 2462 to 2468: the action buttons in kActions order
  kSkinLcdPrevious = 2469,
  kSkinLcdRecall = 2470,
  kSkinLcdNext = 2471,
  kSkinMeter = 2472,
  kSkinMute = 2473,
};

// Header: the device name's field and, under it, the model line.
inline constexpr Box kNameField{12, 6, 290, 28};
inline constexpr Box kModelLine{16, 29, 290, 41};

// The preset display: the glass, its text, and the previous, recall and next buttons under it.
inline constexpr Box kLcdGlass{12, 46, 290, 92};
inline constexpr Box kLcdText{22, 52, 280, 86};
inline constexpr Box kLcdPrevious{13, 97, 57, 119};
inline constexpr Box kLcdRecall{63, 97, 239, 119};
inline constexpr Box kLcdNext{245, 97, 289, 119};

// The preset memories: caption, list, and two rows of action buttons.
inline constexpr Box kPresetCaption{13, 126, 289, 138};
inline constexpr Box kPresetList{13, 140, 289, 160};

struct Action {
  int id;
  const char* caption;
  Box box;
};
// The preset actions of the device raised by the buttons, in resource order from kSkinStore.
inline constexpr Action kActions[] = {
    {420, "STORE", {13, 166, 79, 190}},
    {421, "RECALL", {83, 166, 149, 190}},
    {423, "RENAME", {153, 166, 219, 190}},
    {427, "DELETE", {223, 166, 289, 190}},
    {424, "SAVE FILE", {13, 194, 102, 218}},
    {425, "LOAD FILE", {106, 194, 195, 218}},
    {426, "TIMED PRESETS", {199, 194, 289, 218}},
};
inline constexpr int kActionCount = int(sizeof kActions / sizeof kActions[0]);

// The channel area: a well with the group captions, the channel labels, a meter and a mute
// button per channel (4 inputs, then 8 outputs).
inline constexpr Box kChannelWell{13, 225, 289, 318};
inline constexpr int kChannelCaptionTop = 228;
inline constexpr int kChannelLabelTop = 240;
inline constexpr int kMeterTop = 253;
inline constexpr int kMeterWidth = 8;
inline constexpr int kMeterHeight = 42;
inline constexpr int kMuteTop = 300;
inline constexpr int kMuteWidth = 16;
inline constexpr int kMuteHeight = 12;
inline constexpr int kColumnWidth = 20;
inline constexpr int kInputs = 4;
inline constexpr int kOutputs = 8;

// Left edge of channel column c (0 to 3 inputs, 4 to 11 outputs); a gap parts the groups.
constexpr int ColumnLeft(int c) { return 23 + c * kColumnWidth + (c >= kInputs ? 16 : 0); }
constexpr int ColumnCentre(int c) { return ColumnLeft(c) + kColumnWidth / 2; }

}  // namespace fennick_layout
