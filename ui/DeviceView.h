// The device view pane: a small toolbar above the device rack. The pane lays out its two
// children, decides which toolbar commands are enabled and opens the rack's context menu;
// the main frame carries out every command.
#pragma once

#include <QDockWidget>
#include <QToolBar>
#include <cstdint>
#include <functional>
#include <optional>

#include "ui/DeviceRack.h"

class CDevice;
class QMenu;

// What the toolbar's rules read: the frame's selection and online state and the zones.
struct CDeviceViewState {
  bool frameIsMainWindow = true;
  bool deviceSelected = false;
  bool online = false;
  int zoneCount = 0;
  // Index of the zone that holds the selected device, -1 when none does.
  int selectedZoneIndex = -1;
};
// The enabled state of a device view command (Properties, New Device, Delete Device, Add Zone,
// Delete Zone); no answer for other commands and while the main window is not the frame.
std::optional<bool> DeviceViewCommandEnabled(std::uint32_t command, const CDeviceViewState& state);

class CDeviceViewToolBar : public QToolBar {
 public:
  explicit CDeviceViewToolBar(QWidget* parent = nullptr) : QToolBar(parent) {}
};

class CDeviceView : public QDockWidget {
 public:
  explicit CDeviceView(const QString& title, QWidget* parent = nullptr);

  CDeviceRack& GetRack() { return *m_rack; }
  CDeviceViewToolBar& GetToolBar() { return *m_toolBar; }

  // The frame's command of an id (the context menu's items) and the state update run before
  // the menu opens.
  void SetCommandLookup(std::function<QAction*(std::uint32_t)> lookup) { m_lookup = std::move(lookup); }
  void SetBeforeMenu(std::function<void()> update) { m_beforeMenu = std::move(update); }

  // Builds the rack's context menu: Properties, Copy, Paste All Device Settings, Add Device,
  // Delete Device, then the selected device's own items. The caller owns the menu.
  QMenu* BuildContextMenu(CDevice* selected);

 private:
  void ShowContextMenu(const QPoint& globalPos);

  CDeviceViewToolBar* m_toolBar;
  CDeviceRack* m_rack;
  std::function<QAction*(std::uint32_t)> m_lookup;
  std::function<void()> m_beforeMenu;
};
