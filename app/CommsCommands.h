// The main frame's online commands: Go Online and Go Offline, the autoscan, the global mute and
// the comms options, and what the frame shows as the units come and go (the notice of the units
// left out, the panels' online state, the offline state, a unit's connection and warnings).
// UI thread.
#pragma once

#include "platform/Types.h"

class CDevice;
class CMainFrame;
class CSystem;

class CCommsCommands {
 public:
  CCommsCommands(CMainFrame& frame, CSystem& system) : m_frame(frame), m_system(system) {}
  CCommsCommands(const CCommsCommands&) = delete;
  CCommsCommands& operator=(const CCommsCommands&) = delete;

  void OnOnline();
  void OnAutoscan();
  void OnGlobalMute();
  void OnOptions();
  // The worker met a line that takes no bytes: offline, and the person is told.
  void OnFatalCommsError();
  // pass 0: the security check of going online; otherwise an update of the users.
  void OnOpenSecurityDlg(WPARAM pass);
  // A unit connected or went away: its panel and widgets follow, and its links.
  void PropagateOnlineStatus(CDevice* device);
  void PropagateWarningStatus(CDevice* device);
  // The frame is offline: the panels, meters, rack, custom panels and the selected device's
  // properties show it.
  void ShowOffline();
  // Stops the comms worker and waits for it (closing).
  void StopSystem();

 private:
  // Going online: the units that still have ID 0, and those whose IDs their frames cannot carry,
  // go to the log and one message.
  void TellUnaddressedUnits();
  // Going online or offline: each open device panel shows whether its unit is connected now (a
  // unit away at that moment posts nothing of its own).
  void TellPanelsOnlineState();

  CMainFrame& m_frame;
  CSystem& m_system;
};
