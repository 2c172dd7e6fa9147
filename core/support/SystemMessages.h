// The numbers of every message we post (CPostedMessage::message), each defined here once.
// The system object, the comms worker, the devices, the widgets and the windows post them to
// the main frame, except kSecurityProgress, which goes to the security dialog. A message names
// the object it is about by that object's handle (CPostedMessage::handle): a device's
// (CDevice::GetHandle) unless its comment names another; wParam and lParam are 0 unless said.
#pragma once

#include <cstdint>

#include "platform/Types.h"

namespace FrameMsg {
enum Id : std::uint32_t {
  // Open the device's control panel, or bring it forward when it is open.
  kOpenDevicePanel = WM_APP + 101,
  // Redraw the device's live-meter entry (lParam 1: only its meters changed).
  kRedrawMeterEntry = WM_APP + 102,
  // Recompute and redraw the device rack (the device, or no handle for the whole system).
  kRefreshRack = WM_APP + 103,
  // Size the frame of the device's open control panel to the panel again.
  kResizeDevicePanel = WM_APP + 104,
  // The device's name changed: caption its open control panel again and show the name in the
  // properties.
  kPanelCaption = WM_APP + 105,
  // One log line for the output pane; the message's text holds it (UTF-8).
  kLogLine = WM_APP + 106,
  // Select the device and show its properties (lParam 1 builds the rows again when they are
  // shown already).
  kSelectDevice = WM_APP + 108,
  // Show the message's text (UTF-8) in the status bar.
  kStatusText = WM_APP + 109,
  // A device status event; lParam the status code 103 to 109.
  kStatusEvent = WM_APP + 111,
  // Invalidate the device's control panel.
  kInvalidatePanel = WM_APP + 112,
  // The transport failed; the worker has gone idle; the frame goes offline and says so.
  kFatalCommsError = WM_APP + 113,
  // An autoscan found nothing, or the user cancelled the security dialog: go offline.
  kGoOffline = WM_APP + 114,
  // A security pass begins: open the security dialog (wParam 0 get pass, 1 set pass).
  kOpenSecurityDlg = WM_APP + 115,
  // To the security dialog: a request of the worker waits for it (wParam the request's kind).
  kSecurityProgress = WM_APP + 116,
  // Refresh the device's open control panel for its online state (lParam 1 online).
  kPanelOnlineState = WM_APP + 117,
  // Start and stop a zone's collapse animation timer on the rack (the zone's handle,
  // CZone::GetHandle).
  kRackZoneTimerStart = WM_APP + 118,
  kRackZoneTimerStop = WM_APP + 119,
  // The same on the live-meter strip.
  kMeterZoneTimerStart = WM_APP + 120,
  kMeterZoneTimerStop = WM_APP + 121,
  // Rebuild and redraw the live meters (no handle: the whole system).
  kRebuildMeters = WM_APP + 122,
  // Show the device's properties when it is the selected one.
  kShowDeviceProps = WM_APP + 129,
  // Show a custom panel's properties (the handle of the view that shows it,
  // CCustomControlPanel::GetHandle; lParam 1 builds the rows again).
  kShowPanelProps = WM_APP + 130,
  // Show a custom panel widget's properties (the widget's handle, CCustomControlObject::GetHandle;
  // lParam 1 builds the rows again).
  kShowWidgetProps = WM_APP + 131,
  // A custom panel was renamed (the frame refills its list of panels).
  kPanelRenamed = WM_APP + 134,
  // Open a custom panel, or bring it forward (text the panel's UUID, CUuid::ToString).
  kOpenCustomPanel = WM_APP + 135,
  // Recall a snapshot (text the snapshot's UUID, CUuid::ToString).
  kRecallSnapshot = WM_APP + 136,
  // Propagate the device's online status to the widgets bound to it.
  kPropagateOnline = WM_APP + 137,
  // Propagate the device's warning status to the widgets bound to it.
  kPropagateWarning = WM_APP + 138,
  // The System Monitor strip was shown or hidden (wParam 1 visible); devices poll their meters
  // only while it shows.
  kSystemMonitorVisible = WM_APP + 139,
  // Pictures did not decode when used: show the system's picture notices (CSystem::
  // TakePictureNotices; no handle).
  kImageNotDecoded = WM_APP + 140,
  // The frame to itself, after a command or a change of user: show the idle status text again
  // (wParam the string id). Below WM_APP, apart from the messages of the model.
  kSetMessageString = 0x0362,
};
}  // namespace FrameMsg
