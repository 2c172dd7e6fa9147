// The properties pane and its grid. The grid here keeps the pane's current objects, its lock
// flag and the groups of rows a device hands it; showing and editing the rows comes with the
// property grid.
#pragma once

#include <QDockWidget>
#include <QTreeWidget>
#include <memory>
#include <vector>

#include "core/DeviceProperty.h"

class CDevice;
class CCustomControlPanel;
class CCustomControlObject;

class CDevicePropertiesCtrl : public QTreeWidget, public IDevicePropertyGrid {
 public:
  explicit CDevicePropertiesCtrl(QWidget* parent = nullptr);

  // UI thread, all of them.
  // Keeps the group until the next RemoveAll.
  void AddGroup(std::unique_ptr<CDevicePropertyGroup> group) override { m_groups.push_back(std::move(group)); }
  const std::vector<std::unique_ptr<CDevicePropertyGroup>>& GetGroups() const { return m_groups; }
  void RemoveAll() {
    clear();
    m_groups.clear();
  }
  void ExpandAll() { expandAll(); }

  CDevice* GetCurrentDevice() const { return m_device; }
  CCustomControlPanel* GetCurrentPanel() const { return m_panel; }
  CCustomControlObject* GetCurrentWidget() const { return m_widget; }
  // One of the three (the others become null).
  void SetCurrentDevice(CDevice* device);
  void SetCurrentPanel(CCustomControlPanel* panel);
  void SetCurrentWidget(CCustomControlObject* widget);
  void ClearCurrent();

  // While set, the frame never empties or refills the grid.
  bool IsLocked() const { return m_locked; }
  void SetLocked(bool locked) { m_locked = locked; }

 private:
  CDevice* m_device = nullptr;
  CCustomControlPanel* m_panel = nullptr;
  CCustomControlObject* m_widget = nullptr;
  bool m_locked = false;
  std::vector<std::unique_ptr<CDevicePropertyGroup>> m_groups;
};

class CDevicePropertiesPane : public QDockWidget {
 public:
  explicit CDevicePropertiesPane(const QString& title, QWidget* parent = nullptr);

  CDevicePropertiesCtrl& GetGrid() { return *m_grid; }

  // Shows the device's rows (the device fills the grid) unless the grid is locked; force
  // refills even when it already shows that device.
  void ShowDeviceProperties(bool force, CDevice* device);
  // Shows the widget's rows unless the grid is locked; force refills even when it already
  // shows that widget.
  void ShowControlProperties(bool force, CCustomControlObject* widget);
  void RefreshProperties();

 private:
  CDevicePropertiesCtrl* m_grid;
};
