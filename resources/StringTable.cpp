// The string table: texts the program looks up by number (names, pane titles, command prompts
// as "status-bar prompt\ntooltip").
#include <algorithm>
#include <cstdint>
#include <iterator>

#include "resources/Resources.h"

namespace {
struct StringEntry {
  std::uint32_t id;
  const char* text;
};

// Sorted by number.
constexpr StringEntry kStrings[] = {
    {103, "Orvak"},
    {106, "ZYRQOL"},
    {108, "Properties"},
    {155, "Device View"},
    {157, "Output"},
    {32782, "Add a new device\nNew Device"},
    {32828, "Delete the currently selected device\nDelete Device"},
    {32846, "Add a new zone to the rack\nAdd Zone"},
    {32847, "Remove the currently active zone from the rack\nDelete Zone"},
    {32862, "Add a new image to the file or Image Library\nAdd Image"},
    {32863, "Add a new directory to the file or Image Library\nAdd Directory"},
    {32864, "Delete the currently selected item\nDelete"},
    {32865, "Display help information for the Image Library Manager\nHelp"},
    {32869, "Select Mode\nUse the cursor to select objects in the view"},
    {32870, "Add a text control to this custom control panel\nAdd Text Control"},
    {32871, "Add a knob to this custom control panel\nAdd Knob Control"},
    {32872, "Add a fader to this custom control panel\nAdd Fader Control"},
    {32873, "Add a bitmap to this custom control panel\nAdd Bitmap Control"},
    {32874, "Add an LED to this custom control panel\nAdd LED Control"},
    {32875, "Add a button to this custom control panel\nAdd Button Control"},
    {32876, "Show the grid on the control panel\nShow Grid"},
    {32877, "Snap co-ordinates to the grid when moving or resizing\nSnap To Grid"},
    {32878, "Delete the currently selected control(s)\nDelete"},
    {32879, "Raise the selected control one level in the Z-order\nRaise"},
    {32880, "Lower the selected control one level in the Z-order\nLower"},
    {32881, "Raise the selected control to the top of the Z-order\nRaise to Top"},
    {32882, "Lower the selected control to the bottom of the Z-order\nLower to Bottom"},
};

constexpr bool IsSorted() {
  for (std::size_t i = 1; i < std::size(kStrings); ++i)
    if (kStrings[i - 1].id >= kStrings[i].id) return false;
  return true;
}
static_assert(IsSorted(), "string table must be sorted by number without duplicates");
}  // namespace

std::string LoadResourceString(std::uint32_t id) {
  const auto* end = std::end(kStrings);
  const auto* it = std::lower_bound(std::begin(kStrings), end, id,
                                    [](const StringEntry& e, std::uint32_t v) { return e.id < v; });
  return (it != end && it->id == id) ? std::string(it->text) : std::string();
}
