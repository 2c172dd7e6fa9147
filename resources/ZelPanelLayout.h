// Where things stand on the Zel amplifiers' control panel (887 x 189): per channel the plate,
// knob, readout, mute and solo buttons, name, limit LED and level column; beside them the OK
// and check LEDs, the information display, the temperature bar, the mode and state LEDs, the
// buttons, the amplifier name, the online strip and the covers. The panel places its widgets
// here and the artwork generator draws the backgrounds and plates around them. A point is the
// top-left corner of a widget of its picture's size. Plain data; no dependency.
#pragma once

#include "resources/PanelLayout.h"

namespace zel_layout {

using panel_layout::Box;
using panel_layout::Spot;

inline constexpr int kWidth = 887;
inline constexpr int kHeight = 189;

// Ids of the panel's own widgets; they show no parameter of the amplifier.
enum : int {
  kLevelLedId = 1,  // + channel
  kTemperatureLedId = 26,
  kChannelCoverId = 49,
  kStatusCoverId = 50,
  kDisplayTextId = 56,
  kPlateId = 67,  // + channel
  kOnlineStripId = 71,
  kOfflineStripId = 72,
  kAwayStripId = 73,
  kStandbyCoverId = 71,
};

// The channel widgets of channel A; channel ch stands kChannelPitch x ch to the right. A
// plate's rectangle is as large as the channels' cover, so that redrawing it redraws the
// whole channel.
inline constexpr int kChannels = 4;
inline constexpr int kChannelPitch = 84;
inline constexpr Spot kPlate{68, 35};
inline constexpr Box kKnob{95, 65, 123, 93};
// The gain readout is as wide as its widest level ("-60.0 dB") with a little room, centred
// under the knob, clear of the level column on its left.
inline constexpr Box kGainText{85, 106, 133, 117};
inline constexpr Spot kMute{83, 133};
inline constexpr Spot kSolo{119, 133};
// A name ends inside its plate, so that the last channel's stays under the channels' cover.
inline constexpr Box kChannelName{66, 148, 146, 160};
inline constexpr Spot kLimitLed{69, 60};
// The level column: LED j (0 the top) kLedPitch x j below the first.
inline constexpr Spot kLevelLed{69, 73};
inline constexpr int kLevelLeds = 5;
inline constexpr int kLedPitch = 9;

// The OK and check LEDs of channel ch, kLedPitch x ch below the first; the four-channel
// amplifier has them higher.
inline constexpr Spot kOkLed{453, 109};
inline constexpr Spot kCheckLed{453, 67};
inline constexpr Spot kOkLedOfFour{453, 100};
inline constexpr Spot kCheckLedOfFour{453, 58};

// The temperature bar: LED k (0 the bottom) kLedPitch x k above the first.
inline constexpr Spot kTemperatureLed{650, 128};
inline constexpr int kTemperatureLeds = 7;
inline constexpr Spot kProtectLed{650, 59};

// Mode and state.
inline constexpr Spot kMonoLed{752, 67};
inline constexpr Spot kStereoLed{752, 84};
inline constexpr Spot kBridgeLed{752, 102};
inline constexpr Spot kActiveLed{825, 84};
inline constexpr Spot kStandbyLed{825, 102};

// The buttons: Standby, the information page and Identify.
inline constexpr Spot kStandbyButton{822, 116};
inline constexpr Spot kPageButton{449, 141};
inline constexpr Spot kIdentifyButton{647, 141};

// The amplifier's name, the online (offline) strip and the covers: the display's in standby,
// the channels' and the status area's when the user may not use the controls.
inline constexpr Box kAmpName{445, 0, 839, 25};
inline constexpr Spot kStatusStrip{7, 161};
inline constexpr Spot kStandbyCover{471, 45};
inline constexpr Spot kChannelCover{55, 27};
inline constexpr Spot kStatusCover{710, 27};

// The information display: where a double-click steps its page, and what a forced refresh
// redraws.
inline constexpr Box kPageArea{441, 47, 611, 154};
inline constexpr Box kDisplayArea{465, 35, 640, 165};

}  // namespace zel_layout
