// The Nerex-series panel's drop-down lists.
#include "panels/processor/NerexSeriesLayout.h"

#include <array>

#include "devices/processor/NerexModelTable.h"

namespace nerex_layout {

namespace {

constexpr std::array<ComboItem, 20> kAttackList{{{"0.1ms", 0}, {"0.2ms", 1}, {"0.3ms", 2},  {"0.4ms", 3},  {"0.5ms", 4},
                                             {"0.7ms", 5}, {"1.0ms", 6}, {"1.4ms", 7},  {"2.0ms", 8},  {"2.8ms", 9},
                                             {"4.0ms", 10}, {"5.7ms", 11}, {"8.0ms", 12}, {"11ms", 13}, {"16ms", 14},
                                             {"23ms", 15}, {"32ms", 16}, {"45ms", 17}, {"64ms", 18}, {"90ms", 19}}};
constexpr std::array<ComboItem, 5> kReleaseList{
    {{"Atk x2", 0}, {"Atk x4", 1}, {"Atk x8", 2}, {"Atk x16", 3}, {"Atk x32", 4}}};
constexpr std::array<ComboItem, 3> kClipReleaseList{{{"Slow", 0}, {"Medium", 1}, {"Fast", 2}}};
constexpr std::array<ComboItem, 2> kAutoLimiterList{{{"On", 1}, {"Off", 0}}};
constexpr std::array<ComboItem, 2> kQShapeList{{{"Varlo", 0}, {"Special", 1}}};
// The basic three come first so that the model lists are prefixes or picks of this one.
constexpr std::array<ComboItem, 11> kEqTypes{{{"Parametric", 0},
                                              {"Low Shelf", 1},
                                              {"High Shelf", 2},
                                              {"Band Pass", 6},
                                              {"Notch", 7},
                                              {"Allpass", 5},
                                              {"Phase", 8},
                                              {"VariQ Low Pass", 9},
                                              {"VariQ High Pass", 10},
                                              {"Elliptic Low Pass", 11},
                                              {"Elliptic High Pass", 12}}};
constexpr std::array<ComboItem, 5> kEqTypesVariQ{
    {{"Parametric", 0}, {"Low Shelf", 1}, {"High Shelf", 2}, {"VariQ Low Pass", 9}, {"VariQ High Pass", 10}}};
constexpr std::array<ComboItem, 12> kCrossoverList{{{"6dB Bensen", 7},
                                                {"12dB Bessel", 0},
                                                {"12dB Butterworth", 1},
                                                {"12dB Linkwitz-Riley", 8},
                                                {"18dB Bessel", 2},
                                                {"18dB Butterworth", 3},
                                                {"24dB Bessel", 4},
                                                {"24dB Butterworth", 5},
                                                {"24dB Linkwitz-Riley", 6},
                                                {"48dB Bessel", 9},
                                                {"48dB Butterworth", 10},
                                                {"48dB Linkwitz-Riley", 11}}};

}  // namespace

std::span<const ComboItem> AttackItems() { return kAttackList; }
std::span<const ComboItem> ReleaseItems() { return kReleaseList; }
std::span<const ComboItem> ClipReleaseItems() { return kClipReleaseList; }
std::span<const ComboItem> AutoLimiterItems() { return kAutoLimiterList; }
std::span<const ComboItem> QShapeItems() { return kQShapeList; }
std::span<const ComboItem> EqTypeItems() { return kEqTypes; }
std::span<const ComboItem> CrossoverTypeItems() { return kCrossoverList; }

std::span<const ComboItem> EqTypeItemsFor(int model, std::uint32_t hardwareCode) {
  if (model != kModelCalder26 && model != kModelCalder48) return kEqTypes;
  if (hardwareCode == kHardwareCalder48) return kEqTypes;
  if (hardwareCode == kHardwareReducedFilters || hardwareCode == kHardwareHollin2) return kEqTypesVariQ;
  return std::span<const ComboItem>(kEqTypes).first(3);
}

}  // namespace nerex_layout
