// Properties pane and grid place holder.
#include "ui/DevicePropertiesPane.h"

#include "core/Device.h"

CDevicePropertiesCtrl::CDevicePropertiesCtrl(QWidget* parent) : QTreeWidget(parent) {
  setColumnCount(2);
  setHeaderHidden(true);
}

void CDevicePropertiesCtrl::SetCurrentDevice(CDevice* device) {
  m_device = device;
  m_panel = nullptr;
  m_widget = nullptr;
}

void CDevicePropertiesCtrl::SetCurrentPanel(CCustomControlPanel* panel) {
  m_device = nullptr;
  m_panel = panel;
  m_widget = nullptr;
}

void CDevicePropertiesCtrl::SetCurrentWidget(CCustomControlObject* widget) {
  m_device = nullptr;
  m_panel = nullptr;
  m_widget = widget;
}

void CDevicePropertiesCtrl::ClearCurrent() {
  m_device = nullptr;
  m_panel = nullptr;
  m_widget = nullptr;
}

CDevicePropertiesPane::CDevicePropertiesPane(const QString& title, QWidget* parent)
    : QDockWidget(title, parent) {
  m_grid = new CDevicePropertiesCtrl(this);
  setWidget(m_grid);
  setMinimumSize(150, 150);
}

void CDevicePropertiesPane::ShowDeviceProperties(bool force, CDevice* device) {
  if (m_grid->IsLocked()) return;
  if (!force && m_grid->GetCurrentDevice() == device) return;
  m_grid->RemoveAll();
  m_grid->SetCurrentDevice(device);
  if (device) device->FillPropertiesPane(*m_grid);
  m_grid->ExpandAll();
}

void CDevicePropertiesPane::ShowControlProperties(bool force, CCustomControlObject* widget) {
  if (m_grid->IsLocked()) return;
  if (!force && m_grid->GetCurrentWidget() == widget) return;
  m_grid->RemoveAll();
  m_grid->SetCurrentWidget(widget);
  m_grid->ExpandAll();
}

void CDevicePropertiesPane::RefreshProperties() { m_grid->update(); }
