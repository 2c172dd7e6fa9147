// The confirmation texts and the "ConfirmDialogs" bits.
#include "core/model/Confirm.h"

#include "core/support/AppSettings.h"

namespace {
struct ConfirmEntry {
  std::uint32_t bit;
  CConfirmTexts texts;
};

constexpr CConfirmTexts kGlobalUnmuteTexts = {"Confirm Global Unmute", "Are you sure you want to Global Unmute?",
                                              "Unmute"};

constexpr ConfirmEntry kEntries[] = {
    {kConfirmGlobalMute, {"Confirm Global Mute", "Are you sure you want to Global Mute?", "Mute"}},
    {kConfirmFlattenGraphicEq,
     {"Confirm Flatten Graphic EQ", "Are you sure you want to flatten this graphic EQ?", "Flatten"}},
    {kConfirmPresetRecall, {"Confirm Preset Recall", "Are you sure you want to recall this preset?", "Recall"}},
    {kConfirmPresetOverwrite,
     {"Confirm Preset Overwrite", "Are you sure you want to store this preset over an existing preset?", "Store"}},
    {kConfirmPresetDelete, {"Confirm Preset Delete", "Are you sure you want to delete this preset?", "Delete"}},
    {kConfirmDeviceDelete, {"Confirm Device Delete", "Are you sure you want to delete this device?", "Delete"}},
    {kConfirmPanelDelete,
     {"Confirm Control Panel Delete", "Are you sure you want to delete this Custom Control Panel?", "Delete"}},
    {kConfirmChangeRouting,
     {"Confirm Change Routing",
      "Are you sure you want to change the routing? This will mute all outputs on this device", "Yes"}},
    {kConfirmSnapshotRecall,
     {"Confirm Snapshot Recall", "Are you sure you want to recall this snapshot?", "Recall"}},
    {kConfirmSnapshotDelete,
     {"Confirm Snapshot Delete", "Are you sure you want to delete this snapshot?", "Delete"}},
};
}  // namespace

const CConfirmTexts* FindConfirmTexts(std::uint32_t action, bool muted) {
  if (action == kConfirmGlobalMute && muted) return &kGlobalUnmuteTexts;
  for (const ConfirmEntry& e : kEntries)
    if (e.bit == action) return &e.texts;
  return nullptr;
}

bool GetConfirmBit(std::uint32_t bit) { return (CAppSettings::GetConfirmDialogs() & bit) != 0; }

void SetConfirmBit(std::uint32_t bit, bool on) {
  std::uint32_t bits = CAppSettings::GetConfirmDialogs();
  bits = on ? (bits | bit) : (bits & ~bit);
  CAppSettings::SetConfirmDialogs(bits);
}
