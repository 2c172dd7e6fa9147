// The properties pane and its grid. The grid here keeps the pane's current objects and its
// lock flag; the rows themselves come with the property grid.
#pragma once

#include <QDockWidget>
#include <QTreeWidget>

class CDevice;
class CCustomControlPanel;
class CCustomControlObject;

class CDevicePropertiesCtrl : public QTreeWidget {
 public:
  explicit CDevicePropertiesCtrl(QWidget* parent = nullptr);

  // UI thread, all of them.
  void RemoveAll() { clear(); }
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
