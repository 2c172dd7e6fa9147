// Messages and texts of the comms worker and of going online and offline. The worker itself
// is CSystem::CommsThreadMain (CommsWorker.cpp).
#pragma once

#include <cstdint>

#include "platform/Types.h"

// Posted to the main frame (wParam 0, lParam 0 unless said):
// the transport failed; the worker has gone idle; the frame goes offline and says so.
inline constexpr std::uint32_t UWM_FATAL_COMMS_ERROR = WM_APP + 113;
// An autoscan found nothing, or the user cancelled the security dialog: go offline.
inline constexpr std::uint32_t UWM_GO_OFFLINE = WM_APP + 114;
// A security pass begins: open the security dialog (wParam 0 get pass, 1 set pass).
inline constexpr std::uint32_t UWM_OPEN_SECURITY_DIALOG = WM_APP + 115;

inline constexpr const char* kFatalCommsErrorText = "Fatal Comms Error - Going Offline";
inline constexpr const char* kFailedToConnectText = "Failed to connect - check comms settings";
inline constexpr const char* kOnlineErrorCaption = "Online Error";

// Waits of the worker, ms: idle rest, wait inside a transaction, wait with nothing to send.
inline constexpr std::uint32_t kWorkerIdleSleepMs = 50;
inline constexpr std::uint32_t kWorkerPendingSleepMs = 5;
inline constexpr std::uint32_t kWorkerNothingSleepMs = 1;
