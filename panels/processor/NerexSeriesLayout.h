// The Nerex-series processor panel's layout (resources/NerexPanelLayout.h: the strip edges that
// centre the strips of a smaller model and the place of every widget) and the items of its
// drop-down lists, the filter types by model and hardware code. Plain data: no window needed.
#pragma once

#include <cstdint>
#include <span>

#include "resources/NerexPanelLayout.h"

namespace nerex_layout {

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
// (Calder48 board and every model but the Calder26 and Calder48), only the two VariQ passes
// (the reduced Calder board and the Hollin2), or nothing more (any other Calder26 or Calder48
// board).
std::span<const ComboItem> EqTypeItemsFor(int model, std::uint32_t hardwareCode);

}  // namespace nerex_layout
