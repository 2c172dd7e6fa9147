// What the autoscan needs of its dialog and of the breakout boxes, and its limits. The scan
// itself is a set of CCommsWorker members (Discovery.cpp) that run on the comms worker.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Types.h"

// The dialog that runs an autoscan. It hands itself and its running flag to the system
// (CSystem::SetAutoscanDialog); clearing the flag stops the scan before its next probe.
class IAutoscanDialog {
 public:
  virtual ~IAutoscanDialog() = default;
  // Worker thread: one progress line, such as "Searching for device ID 5". The dialog shows it
  // on the UI thread (it queues the text to itself); it must not wait for the UI here.
  virtual void ShowScanStatus(const std::string& text) = 0;
};

// A family that keeps a 32-bit word of the read-out blocks it has received from its unit
// (the breakout boxes). Worker thread.
class IBlockReceivedWord {
 public:
  virtual ~IBlockReceivedWord() = default;
  // word := word & keep.
  virtual void MaskBlockReceivedWord(std::uint32_t keep) = 0;
  virtual std::uint32_t GetBlockReceivedWord() const = 0;
};

// After a scan the breakout boxes keep these bits of their block-received word, so that the
// block of bit 21 (and bits 24 to 31) is read again.
inline constexpr std::uint32_t kBreakoutReadKeepMask = 0x00DFFFFF;

// Timing of the scan, ms.
inline constexpr std::uint32_t kScanProbeExtraTimeoutMs = 50;
inline constexpr std::uint32_t kScanCheckExtraTimeoutMs = 150;
inline constexpr std::uint32_t kScanQuietRefreshMs = 120000;
inline constexpr std::uint32_t kScanShortProbeTries = 3;
inline constexpr std::uint32_t kScanShortProbeSleepMs = 10;
inline constexpr std::uint32_t kScanReprobeSleepMs = 50;

// Bounds that end a scan on a bus where units never fall silent: long-ID passes per scan, and
// finds in a row at one probed ID (each find quiets a unit; a unit that ignores the quiet
// command would otherwise be found again and again).
inline constexpr int kScanMaxLongIdPasses = 4;
inline constexpr int kScanMaxFindsPerId = 16;

// Units found by long ID have IDs above this; short IDs run from 1 to 63.
inline constexpr std::uint32_t kLongIdAbove = 64;
