// Device panel frame: fixed size, placement kept in the device, activation and close reported
// to the system's panel order.
#include "ui/ChildFrame.h"

#include <QCloseEvent>

#include "core/model/ControlPanel.h"
#include "core/model/Device.h"
#include "core/system/System.h"

CChildFrame::CChildFrame(CSystem* system, CControlPanel* panel, QWidget* view, QWidget* parent)
    : CPanelFrame(parent), m_system(system), m_panel(panel) {
  // A caption, the system menu and a minimise box; no maximise box and no sizing border.
  setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setWidget(view);
}

void CChildFrame::SizeToPanel(CSize client) {
  if (QWidget* view = widget()) view->setFixedSize(std::max(client.cx, 1), std::max(client.cy, 1));
  // Sizing keeps the top-left corner, and a frame not placed yet stays for the area to place.
  setMinimumSize(0, 0);
  setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  resize(sizeHint());
  setFixedSize(size());
}

void CChildFrame::SavePlacement() {
  CDevice* device = m_panel ? m_panel->GetDevice() : nullptr;
  if (!device) return;
  const CWindowPlacement placement = GetWindowPlacement();
  if (placement == device->PanelPlacement().GetPanelPlacement()) return;
  device->PanelPlacement().SetPanelPlacement(placement);
  if (IDeviceHost* host = device->GetHost()) host->SetModified(true);
}

void CChildFrame::closeEvent(QCloseEvent* event) {
  CDevice* device = m_panel ? m_panel->GetDevice() : nullptr;
  if (device && m_system) m_system->Panels().OnPanelClosed(CSystemPanels::CPanelView{m_panel, nullptr});
  CPanelFrame::closeEvent(event);
}

void CChildFrame::OnSetFocus() {
  CDevice* device = m_panel ? m_panel->GetDevice() : nullptr;
  if (device && m_system) m_system->Panels().OnPanelActivated(CSystemPanels::CPanelView{m_panel, nullptr});
}
