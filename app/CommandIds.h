// Command ids of the main frame's menus, toolbars and accelerators, its bars and its timers
// (the messages it is posted are in core/support/SystemMessages.h). The numbers are those the rest of
// the program and the saved workspace use.
#pragma once

#include <cstdint>

#include "core/model/DeviceMenu.h"
#include "core/support/SystemMessages.h"
#include "platform/Types.h"

namespace Cmd {
// File
inline constexpr std::uint32_t kFileNew = 57600;
inline constexpr std::uint32_t kFileOpen = 57601;
inline constexpr std::uint32_t kFileSave = 57603;
inline constexpr std::uint32_t kFileSaveAs = 57604;
inline constexpr std::uint32_t kRecentFile1 = 57616;  // to 57619
inline constexpr std::uint32_t kRecentFileCount = 4;
inline constexpr std::uint32_t kAppExit = 57665;
inline constexpr std::uint32_t kFileProperties = 32790;
inline constexpr std::uint32_t kExportLogFile = 32898;
// Edit
inline constexpr std::uint32_t kEditCopy = kCmdEditCopy;
inline constexpr std::uint32_t kEditPaste = kCmdEditPaste;
// View
inline constexpr std::uint32_t kViewDeviceView = 32826;
inline constexpr std::uint32_t kViewSystemMonitor = 32827;
inline constexpr std::uint32_t kViewDeviceProperties = 32830;
inline constexpr std::uint32_t kViewFileToolbar = 32773;
inline constexpr std::uint32_t kViewCommsToolbar = 32772;
inline constexpr std::uint32_t kViewMuteToolbar = 32843;
inline constexpr std::uint32_t kViewDesignToolbar = 32774;
inline constexpr std::uint32_t kViewPanelsToolbar = 32775;
inline constexpr std::uint32_t kViewSnapshotToolbar = 32776;
inline constexpr std::uint32_t kViewStatusBar = 59393;
inline constexpr std::uint32_t kFullScreen = 32785;
// Accelerators only: the focus moves to the next or the previous pane.
inline constexpr std::uint32_t kNextPane = 57680;
inline constexpr std::uint32_t kPrevPane = 57681;
// Comms
inline constexpr std::uint32_t kOptions = 32778;
inline constexpr std::uint32_t kOnline = 32779;
inline constexpr std::uint32_t kGlobalMute = 32780;
inline constexpr std::uint32_t kAutoscan = 32837;
inline constexpr std::uint32_t kLoader = 32795;
// Users
inline constexpr std::uint32_t kSwitchUsers = 32792;
inline constexpr std::uint32_t kChangePassword = 32793;
// Devices and zones
inline constexpr std::uint32_t kDeviceProperties = 32832;
inline constexpr std::uint32_t kPanelProperties = 32883;  // the custom panel's design menu
inline constexpr std::uint32_t kAddDevice = 32782;
inline constexpr std::uint32_t kDeleteDevice = 32828;
inline constexpr std::uint32_t kAddZone = 32846;
inline constexpr std::uint32_t kDeleteZone = 32847;
// Links, design and images
inline constexpr std::uint32_t kLinkManager = 32796;
inline constexpr std::uint32_t kLinkingStatus = 32797;
inline constexpr std::uint32_t kAddLink = 32848;
inline constexpr std::uint32_t kDeleteLink = 32849;
inline constexpr std::uint32_t kVisualLinker = 32800;
inline constexpr std::uint32_t kOperateMode = 32798;
inline constexpr std::uint32_t kDesignMode = 32799;
inline constexpr std::uint32_t kImageLibraryManager = 32861;
// Custom panels and snapshots
inline constexpr std::uint32_t kPanelCombo = 32801;
inline constexpr std::uint32_t kNewCustomPanel = 32803;
inline constexpr std::uint32_t kDeletePanel = 32804;
inline constexpr std::uint32_t kSnapshotCombo = 32810;
inline constexpr std::uint32_t kNewSnapshot = 32812;
inline constexpr std::uint32_t kDeleteSnapshot = 32813;
inline constexpr std::uint32_t kRenameSnapshot = 32814;
// Help
inline constexpr std::uint32_t kAppAbout = 57664;
inline constexpr std::uint32_t kQuickStartGuide = 32844;
inline constexpr std::uint32_t kCheckForUpdates = 32886;
// The idle-message id of the status bar's message pane.
inline constexpr std::uint32_t kIdleMessage = 57345;
// Add Device's models: 33000 + the model's type code.
inline constexpr std::uint32_t kFirstModelCommand = 33000;
inline constexpr std::uint32_t kLastModelCommand = 33256;
constexpr bool IsModelCommand(std::uint32_t id) { return id >= kFirstModelCommand && id <= kLastModelCommand; }
// The clipboard command of the Edit menu: all of the device's settings.
inline constexpr std::uint32_t kWholeDevice = 0;
}  // namespace Cmd

// Control ids of the bars and panes (also their names in the saved workspace).
namespace BarId {
inline constexpr std::uint32_t kMenuBar = 0xE806;
inline constexpr std::uint32_t kStatusBar = 0xE801;
inline constexpr std::uint32_t kFileToolbar = 0xE800;
inline constexpr std::uint32_t kCommsToolbar = 0xE801;
inline constexpr std::uint32_t kMuteToolbar = 0xE803;
inline constexpr std::uint32_t kDesignToolbar = 0xE804;
inline constexpr std::uint32_t kPanelsToolbar = 0xE806;
inline constexpr std::uint32_t kSnapshotToolbar = 0xE807;
inline constexpr std::uint32_t kDeviceView = 133;
inline constexpr std::uint32_t kOutputPane = 149;
inline constexpr std::uint32_t kPropertiesPane = 150;
}  // namespace BarId

// Timers of the main frame.
namespace FrameTimer {
inline constexpr std::uint32_t kAutosave = 78;  // "AutoSave" minutes x 60000 ms
inline constexpr std::uint32_t kBlink = 79;     // blink phase and idle status text
inline constexpr std::uint32_t kBlinkPeriodMs = 333;
}  // namespace FrameTimer
