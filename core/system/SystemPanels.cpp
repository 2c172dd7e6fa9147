// The system's custom panels: adding and deleting them with what refers to them, their refreshes,
// the designer's copied widgets, and the stacking order of the open panel windows.
#include "core/system/SystemPanels.h"

#include <algorithm>
#include <string>

#include "custom/CPData.h"
#include "core/model/ControlPanel.h"
#include "core/model/Device.h"
#include "core/model/User.h"
#include "core/system/System.h"
#include "platform/TextFormat.h"

CSystemPanels::~CSystemPanels() { DeleteContents(); }

void CSystemPanels::DeleteContents() {
  for (CCPData* p : m_customPanels) delete p;
  m_customPanels.clear();
  ClearCopiedWidgets();
}

CCPData* CSystemPanels::AddCustomPanel() {
  std::string name;
  for (int n = 1;; ++n) {
    name = FormatText("Panel %d", n);
    const bool taken = std::any_of(m_customPanels.begin(), m_customPanels.end(),
                                   [&name](const CCPData* p) { return p->m_name == name; });
    if (!taken) break;
  }
  auto* panel = new CCPData(&m_system);
  panel->m_name = name;
  m_customPanels.push_back(panel);
  m_system.Users().GrantUse(panel->GetUuid(), true);
  return panel;
}

void CSystemPanels::DeleteCustomPanel(int index) {
  if (index < 0 || index >= int(m_customPanels.size())) return;
  CCPData* panel = m_customPanels[std::size_t(index)];
  const CUuid uuid = panel->GetUuid();
  CUserList& users = m_system.Users().GetUsers();
  for (std::size_t u = 1; u < users.size() && u < kMaxUsers; ++u) users[u]->RemovePermission(uuid);
  for (CCPData* other : m_customPanels) other->ClearPanelReference(uuid);
  for (CCustomControlObject* widget : m_copiedWidgets) widget->ClearPanelReference(uuid);
  // An open view must not outlive its data.
  if (CCustomControlPanel* view = panel->m_pView) {
    panel->m_pView = nullptr;
    view->DestroyPanelWindow();
  }
  m_customPanels.erase(m_customPanels.begin() + index);
  delete panel;
  m_system.SetModified(true);
}


void CSystemPanels::DeleteAllCustomPanels() {
  for (CCPData* panel : m_customPanels) {
    if (CCustomControlPanel* view = panel->m_pView) {
      panel->m_pView = nullptr;
      view->DestroyPanelWindow();
    }
    delete panel;
  }
  m_customPanels.clear();
}

void CSystemPanels::UpdateCustomPanelControls(CDevice* device, std::uint32_t parameterId) {
  for (CCPData* panel : m_customPanels)
    if (panel->m_pView) panel->m_pView->BroadcastParameterUpdate(device, parameterId);
}

void CSystemPanels::RedrawCustomPanels(const CDevice* device) {
  for (CCPData* panel : m_customPanels) {
    if (!panel->m_pView) continue;
    const bool bound =
        !device || std::any_of(panel->m_widgets.begin(), panel->m_widgets.end(),
                               [device](const CCustomControlObject* w) { return w->m_pDevice == device; });
    if (bound) panel->m_pView->RebuildDisplay();
  }
}

void CSystemPanels::ClearCopiedWidgets() { DeleteCustomControlObjects(m_copiedWidgets); }


// --- Open panel order ---

std::int32_t CSystemPanels::GetPanelOrder(const CPanelView& view) const {
  if (view.devicePanel) {
    const CDevice* device = view.devicePanel->GetDevice();
    return device ? device->PanelPlacement().GetPanelOrder() : 0;
  }
  for (const CCPData* panel : m_customPanels)
    if (view.customPanel && panel->m_pView == view.customPanel) return panel->m_panelOrder;
  return 0;
}

void CSystemPanels::SetPanelOrder(const CPanelView& view, std::int32_t order) {
  if (view.devicePanel) {
    if (CDevice* device = view.devicePanel->GetDevice()) device->PanelPlacement().SetPanelOrder(order);
    return;
  }
  for (CCPData* panel : m_customPanels)
    if (view.customPanel && panel->m_pView == view.customPanel) panel->m_panelOrder = order;
}

void CSystemPanels::GetOpenPanelViews(std::vector<CPanelView>& views) const {
  const std::vector<CDevice*> devices = m_system.GetDevices();
  std::int32_t open = 0;
  for (const CDevice* device : devices)
    if (device->GetControlPanel()) ++open;
  for (const CCPData* panel : m_customPanels)
    if (panel->m_pView) ++open;
  for (std::int32_t k = 1; k <= open; ++k) {
    CPanelView view;
    for (const CDevice* device : devices) {
      if (device->PanelPlacement().GetPanelOrder() == k && device->GetControlPanel()) {
        view.devicePanel = device->GetControlPanel();
        break;
      }
    }
    if (!view.devicePanel) {
      for (const CCPData* panel : m_customPanels) {
        if (panel->m_panelOrder == k && panel->m_pView) {
          view.customPanel = panel->m_pView;
          break;
        }
      }
    }
    if (view.devicePanel || view.customPanel) views.push_back(view);
  }
}

void CSystemPanels::OnPanelActivated(const CPanelView& view) {
  if (m_system.File().IsLoading()) return;
  std::vector<CPanelView> views;
  GetOpenPanelViews(views);
  auto it = std::find(views.begin(), views.end(), view);
  if (it == views.end()) {
    SetPanelOrder(view, std::int32_t(views.size()) + 1);
    return;
  }
  SetPanelOrder(view, std::int32_t(views.size()));
  for (auto after = it + 1; after != views.end(); ++after) SetPanelOrder(*after, GetPanelOrder(*after) - 1);
}

void CSystemPanels::OnPanelClosed(const CPanelView& view) {
  if (m_system.File().IsLoading()) return;
  std::vector<CPanelView> views;
  GetOpenPanelViews(views);
  auto it = std::find(views.begin(), views.end(), view);
  if (it == views.end()) return;
  SetPanelOrder(view, 0);
  for (auto after = it + 1; after != views.end(); ++after) SetPanelOrder(*after, GetPanelOrder(*after) - 1);
  m_system.SetModified(true);
}

void CSystemPanels::RestorePanelOrder() {
  std::vector<CPanelView> views;
  GetOpenPanelViews(views);
  for (const CPanelView& view : views) {
    if (view.devicePanel) view.devicePanel->BringPanelToTop();
    if (view.customPanel) view.customPanel->BringPanelToTop();
  }
}
