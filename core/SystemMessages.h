// Window messages that the system object and the devices post to the main frame.
// The message names its device by the device's handle (CDevice::GetHandle) unless it says
// otherwise; lParam is 0.
#pragma once

#include <cstdint>

#include "platform/Types.h"

// Redraw the device's live-meter entry.
inline constexpr std::uint32_t UWM_REDRAW_METER_ENTRY = WM_APP + 102;
// Recompute and redraw the device rack (the device, or no handle for the whole system).
inline constexpr std::uint32_t UWM_REFRESH_RACK = WM_APP + 103;
// The device's name changed: caption its open control panel again (wParam that panel, or 0
// when none is open).
inline constexpr std::uint32_t UWM_PANEL_CAPTION = WM_APP + 105;
// Refresh the properties of the selected device.
inline constexpr std::uint32_t UWM_REFRESH_SELECTION_PROPERTIES = WM_APP + 108;
// Show the device's properties; lParam 1 refreshes rows already shown.
inline constexpr std::uint32_t UWM_SHOW_DEVICE_PROPERTIES = WM_APP + 129;
// A device status event; lParam the status code 103 to 109.
inline constexpr std::uint32_t UWM_DEVICE_STATUS_EVENT = WM_APP + 111;
// Invalidate the device's control panel.
inline constexpr std::uint32_t UWM_INVALIDATE_PANEL = WM_APP + 112;
// Refresh the device's open control panel (online state).
inline constexpr std::uint32_t UWM_REFRESH_OPEN_PANEL = WM_APP + 117;
// Redraw the live meters (no handle: the whole system).
inline constexpr std::uint32_t UWM_REDRAW_LIVE_METERS = WM_APP + 122;
// Show a custom panel widget's properties (wParam the widget; lParam 1 builds the rows again
// when they are shown already).
inline constexpr std::uint32_t UWM_SHOW_WIDGET_PROPERTIES = WM_APP + 131;
// A custom panel was renamed (the frame refills its list of panels).
inline constexpr std::uint32_t UWM_PANEL_RENAMED = WM_APP + 134;
// Open a custom panel, or bring it forward (text the panel's UUID, CUuid::ToString).
inline constexpr std::uint32_t UWM_OPEN_CUSTOM_PANEL = WM_APP + 135;
// Recall a snapshot (text the snapshot's UUID, CUuid::ToString).
inline constexpr std::uint32_t UWM_RECALL_SNAPSHOT = WM_APP + 136;
// Propagate the device's online status to the widgets bound to it.
inline constexpr std::uint32_t UWM_ONLINE_STATUS = WM_APP + 137;
// Propagate the device's warning status to the widgets bound to it.
inline constexpr std::uint32_t UWM_WARNING_STATUS = WM_APP + 138;
// Start and stop a zone's collapse animation timer on the rack (wParam the zone).
inline constexpr std::uint32_t UWM_START_RACK_ZONE_TIMER = WM_APP + 118;
inline constexpr std::uint32_t UWM_STOP_RACK_ZONE_TIMER = WM_APP + 119;
// The same on the live-meter strip.
inline constexpr std::uint32_t UWM_START_METER_ZONE_TIMER = WM_APP + 120;
inline constexpr std::uint32_t UWM_STOP_METER_ZONE_TIMER = WM_APP + 121;
// Open the device's control panel, or bring it forward when it is open (wParam the device).
inline constexpr std::uint32_t UWM_OPEN_DEVICE_PANEL = WM_APP + 101;
