// Confirmations before risky actions: the "ConfirmDialogs" bits with their texts, one accessor
// per bit, and the interface through which the question is put to the user.
#pragma once

#include <cstdint>
#include <string>

// Bits of the "ConfirmDialogs" setting; a set bit asks before the action runs.
enum : std::uint32_t {
  kConfirmGlobalMute = 0x1,
  kConfirmFlattenGraphicEq = 0x2,
  kConfirmPresetRecall = 0x4,
  kConfirmPresetOverwrite = 0x8,
  kConfirmPresetDelete = 0x10,
  kConfirmDeviceDelete = 0x20,
  kConfirmPanelDelete = 0x40,
  kConfirmChangeRouting = 0x80,
  kConfirmSnapshotRecall = 0x100,
  kConfirmSnapshotDelete = 0x200,
};

// The ten action bits in the order of the Confirm Dialogs page.
inline constexpr std::uint32_t kConfirmBits[] = {
    kConfirmGlobalMute,    kConfirmFlattenGraphicEq, kConfirmPresetRecall,   kConfirmPresetOverwrite,
    kConfirmPresetDelete,  kConfirmDeviceDelete,     kConfirmPanelDelete,    kConfirmChangeRouting,
    kConfirmSnapshotRecall, kConfirmSnapshotDelete};

// What the question box shows for one action.
struct CConfirmTexts {
  const char* caption;
  const char* question;
  const char* okText;
};

// The texts of an action bit; for the global mute, muted selects the unmute texts. Null when
// action is not exactly one of the ten bits.
const CConfirmTexts* FindConfirmTexts(std::uint32_t action, bool muted);

// Each reads the setting at once (every bit set when it is absent). A setter reads the whole
// value, sets or clears its bit and writes the value back at once. Any thread.
bool GetConfirmBit(std::uint32_t bit);
void SetConfirmBit(std::uint32_t bit, bool on);

inline bool GetConfirmGlobalMute() { return GetConfirmBit(kConfirmGlobalMute); }
inline bool GetConfirmFlattenGraphicEq() { return GetConfirmBit(kConfirmFlattenGraphicEq); }
inline bool GetConfirmPresetRecall() { return GetConfirmBit(kConfirmPresetRecall); }
inline bool GetConfirmPresetOverwrite() { return GetConfirmBit(kConfirmPresetOverwrite); }
inline bool GetConfirmPresetDelete() { return GetConfirmBit(kConfirmPresetDelete); }
inline bool GetConfirmPanelDelete() { return GetConfirmBit(kConfirmPanelDelete); }
inline bool GetConfirmChangeRouting() { return GetConfirmBit(kConfirmChangeRouting); }

inline void SetConfirmGlobalMute(bool on) { SetConfirmBit(kConfirmGlobalMute, on); }
inline void SetConfirmFlattenGraphicEq(bool on) { SetConfirmBit(kConfirmFlattenGraphicEq, on); }
inline void SetConfirmPresetRecall(bool on) { SetConfirmBit(kConfirmPresetRecall, on); }
inline void SetConfirmPresetOverwrite(bool on) { SetConfirmBit(kConfirmPresetOverwrite, on); }
inline void SetConfirmPresetDelete(bool on) { SetConfirmBit(kConfirmPresetDelete, on); }
inline void SetConfirmDeviceDelete(bool on) { SetConfirmBit(kConfirmDeviceDelete, on); }
inline void SetConfirmPanelDelete(bool on) { SetConfirmBit(kConfirmPanelDelete, on); }
inline void SetConfirmChangeRouting(bool on) { SetConfirmBit(kConfirmChangeRouting, on); }
inline void SetConfirmSnapshotRecall(bool on) { SetConfirmBit(kConfirmSnapshotRecall, on); }
inline void SetConfirmSnapshotDelete(bool on) { SetConfirmBit(kConfirmSnapshotDelete, on); }
