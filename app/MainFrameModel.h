// What the main frame calls on the system object and its dialogs for the file, online,
// confirmation and snapshot operations, in one place.
#pragma once

#include <cstdint>
#include <string>

class CMainFrame;
class CSystem;
class CUser;
class CUuid;

// Restriction bit of the application settings (Options) and confirmation bits.
inline constexpr std::uint64_t kRestrictionAppSettings = 0x08;
inline constexpr std::uint32_t kConfirmGlobalMute = 0x1;
inline constexpr std::uint32_t kConfirmSnapshotRecall = 0x100;

std::uint64_t UserRestrictionMask(const CUser& user);
bool UserMayUse(const CUser& user, const CUuid& uuid);

// UI thread, all of them.
// Loads the file into the (cleared) system; false when it could not be opened or read (the
// load reports its own errors).
bool ModelOpenFile(CSystem& system, const std::string& path);
// Stores the system to path; false when nothing was stored.
bool ModelSaveFile(CSystem& system, const std::string& path);
// Opens the port and starts polling with the choice (0 retrieve, 1 send); false on failure
// (the failure message is shown).
bool ModelGoOnline(CSystem& system, std::uint32_t choice);
// Closes the port after the worker has gone idle.
void ModelSetOffline(CSystem& system);
void ModelRestorePanelOrder(CSystem& system);
bool ModelConfirmAction(CSystem& system, std::uint32_t bit);
void ModelSendGlobalMute(CSystem& system, bool mute);
void ModelRecallSnapshot(CSystem& system, int index);
void ModelUpdateSnapshotControls(CSystem& system);

// The frame's modal dialogs that the worker hands over to.
void RunAutoscanDialog(CMainFrame& frame, CSystem& system);
void RunSecurityDialog(CMainFrame& frame, CSystem& system, const char* caption);
// The "Settings" sheet; true when it ended with OK.
bool RunSettingsSheet(CMainFrame& frame, CSystem& system);
