// What the main frame runs that other parts of the program provide: the confirmation step,
// the global-mute broadcast and the dialogs that the worker hands over to.
#pragma once

#include <cstdint>

class CMainFrame;
class CSystem;

// Restriction bit of the application settings (Options) and confirmation bits.
inline constexpr std::uint64_t kRestrictionAppSettings = 0x08;
inline constexpr std::uint32_t kConfirmGlobalMute = 0x1;
inline constexpr std::uint32_t kConfirmSnapshotRecall = 0x100;

// UI thread, all of them.
// Asks before a risky action when its "ConfirmDialogs" bit is set; true to go on.
bool ConfirmAction(CSystem& system, std::uint32_t bit);
// Queues the global-mute broadcast with the new state.
void SendGlobalMute(CSystem& system, bool mute);

// The autoscan progress dialog, modal; it hands itself to the worker and closes when the
// scan has ended.
void RunAutoscanDialog(CMainFrame& frame, CSystem& system);
// The security dialog of a get (caption "Checking Security...") or set pass.
void RunSecurityDialog(CMainFrame& frame, CSystem& system, const char* caption);
