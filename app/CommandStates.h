// Which of the main frame's commands are enabled now, by the system's state, the current
// user's rights, the selection and the active panel window, and the checks and texts of the
// commands that follow the system's state and of the custom panels' design toolbars. UI thread.
#pragma once

#include <cstdint>
#include <optional>

class CMainFrame;
class CSystem;

class CCommandStates {
 public:
  CCommandStates(CMainFrame& frame, CSystem& system) : m_frame(frame), m_system(system) {}
  CCommandStates(const CCommandStates&) = delete;
  CCommandStates& operator=(const CCommandStates&) = delete;

  // The custom panel designer's tools, which the active panel window enables.
  static bool IsDesignTool(std::uint32_t id);

  bool IsCommandEnabled(std::uint32_t id) const;
  // Checks and texts that follow the system's state, and the design toolbars.
  void UpdateSystemCommandUI();
  // Enables and ticks the design toolbar of every open custom panel window.
  void UpdateDesignToolBars();

 private:
  // The device, zone, clipboard and model commands; no answer for the others.
  std::optional<bool> IsDeviceCommandEnabled(std::uint32_t id) const;
  // The snapshot commands; no answer for the others.
  std::optional<bool> IsSnapshotCommandEnabled(std::uint32_t id) const;
  // The custom panel commands: New and Delete Panel, the modes, the combo and the design tools.
  std::optional<bool> IsCustomPanelCommandEnabled(std::uint32_t id) const;

  CMainFrame& m_frame;
  CSystem& m_system;
};
