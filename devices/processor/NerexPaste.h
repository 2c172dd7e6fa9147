// Paste by section: writes a clipboard record (or the part of it that a paste command covers)
// into a processor's current settings image and says which settings blocks to send, which
// parameters to announce and which panel pages to refresh. Pure over the image: the device
// runs it under its settings lock and then queues, announces and refreshes.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "devices/processor/NerexClipboard.h"
#include "devices/processor/NerexSeriesMemory.h"

// What a processor offers to a paste besides its current settings image.
struct NerexPasteTarget {
  CNerexSeriesMemory* image = nullptr;
  int model = 0;
  std::uint32_t hardwareCode = 0;
  std::uint32_t selectedChannel = 0;  // 1..4 input, 5..12 output, 0 none
  // Device properties ("Paste Device Properties"): the 20 general-settings bytes and options.
  std::array<std::uint8_t, 20>* general = nullptr;
  bool* autoRtcUpdate = nullptr;
  std::uint32_t* delayUnits = nullptr;
  std::uint32_t* delayMultiplier = nullptr;
  std::uint32_t* gainNudge = nullptr;
};

// Writes the device sends after a paste, when it is connected, in this order.
enum class ENerexPasteWrite {
  InputBlock,       // block 0, command 26
  OutputBlock,      // block 5, command 31
  GeqBlock,         // block 16, command 42
  DeqBlock,         // block 17, command 43
  Names,            // command 35
  GeneralSettings,  // command 80
};

struct NerexPasteResult {
  bool applied = false;  // false: the command wrote nothing
  std::vector<ENerexPasteWrite> writes;
  // Parameter ids to announce, in order, each with its current value (channel names as
  // their trimmed text).
  std::vector<std::int32_t> announce;
  // Panel pages (59 mixer, 60, 61, 63, 64, 65) to refresh when the open panel shows them.
  std::vector<std::uint32_t> pages;
  // "Paste Channel Names": the panel rebuilds its linked input names (pages 60, 61) and
  // linked output names (page 63) instead of refreshing pages.
  bool linkedNames = false;
  // "Paste Device Properties": the properties pane refreshes.
  bool propertiesChanged = false;
};

// Applies command 0 or 33870 .. 33879 of the record to the target. 33869 and unknown commands
// change nothing. The record must have been loaded by LoadClipboardRecord (counts checked).
NerexPasteResult PasteRecord(std::uint32_t command, const NerexClipboardRecord& record, NerexPasteTarget& target);
