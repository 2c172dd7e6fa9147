// Main frame: custom panel windows and their commands (open, new, delete, the panel combo,
// design and operate mode, the design tools).
#include <QAction>
#include <QComboBox>
#include <QMdiSubWindow>
#include <QToolBar>

#include "app/CommandIds.h"
#include "app/CommandStates.h"
#include "app/MainFrame.h"
#include "app/MdiClient.h"
#include "custom/CPData.h"
#include "core/model/Confirm.h"
#include "core/system/System.h"
#include "ui/CCPFrame.h"
#include "ui/CustomControlPanelWnd.h"
#include "ui/DevicePropertiesPane.h"

namespace {

CCCPFrame* FrameOfCustomPanel(CCustomControlPanel* view) {
  return dynamic_cast<CCCPFrame*>(FindPanelFrame(dynamic_cast<QWidget*>(view)));
}

}  // namespace

void CMainFrame::OpenCustomPanel(CCPData* panel) {
  if (!panel) {
    panel = m_system.Panels().AddCustomPanel();
    if (!panel) return;
    const auto& panels = m_system.GetCustomPanels();
    m_panelCombo->addItem(QString::fromStdString(panel->m_name), QVariant::fromValue(int(panels.size()) - 1));
    m_panelCombo->setCurrentIndex(m_panelCombo->count() - 1);
  }
  if (panel->m_pView) {
    if (CCCPFrame* frame = FrameOfCustomPanel(panel->m_pView)) frame->showNormal();
    panel->m_pView->BringPanelToTop();
    return;
  }
  if (!CurrentUserMayUse(panel->GetUuid())) return;

  auto* view = new CCustomControlPanelWnd(m_system);
  auto* frame = new CCCPFrame(view, view);
  frame->SetSystem(&m_system);
  frame->setWindowIcon(windowIcon());
  m_mdiClient->addSubWindow(frame);
  view->SetPropertiesHandlers(
      [this](CCustomControlPanel& shown, bool force) { OnShowPanelProperties(&shown, force); },
      [this](CCustomControlObject* widget, bool force) { m_propertiesPane->ShowControlProperties(force, widget); });
  view->SetGeometryHandler(
      [this](CCustomControlObject* widget, const CRect& rect) { m_propertiesPane->ShowControlGeometry(widget, rect); });
  view->SetMainCommandHandler([this](std::uint32_t id) {
    if (id == kCmdPanelProperties) RunCommand(Cmd::kPanelProperties);
  });
  view->SetCloseHandler([frame] { frame->CloseFromProgram(); });
  view->SetTitleHandler([frame](const std::string& name) { frame->setWindowTitle(QString::fromStdString(name)); });
  view->SetRaiseHandler([this, frame] {
    frame->raise();
    m_mdiClient->setActiveSubWindow(frame);
  });
  frame->SetCommandHandler([this, view](std::uint32_t id) {
    view->OnCommand(id);
    m_commandStates->UpdateDesignToolBars();
  });

  const CWindowPlacement placement = MakeWindowPlacement(panel->m_placement);
  const bool neverPlaced = placement.normalPosition.left == -1 && placement.normalPosition.top == -1;
  if (neverPlaced) {
    frame->resize(400, 400);
  } else {
    frame->RestorePlacement(placement);
  }
  if (panel->m_disableClosePanel && CurrentUserHasRestriction(~std::uint64_t(0))) frame->RemoveCloseCommand();
  frame->setWindowTitle(QString::fromStdString(panel->m_name));
  view->SetPanelData(panel);
  panel->m_panelWasOpen = false;
  frame->LayoutForMode();
  frame->show();
  view->RebuildDisplay();
  // A frame never placed gets its place from the area when it is shown: recorded after. One
  // whose close button lies out of view is moved, and keeps its new place.
  const QPoint shownAt = frame->pos();
  m_mdiClient->BringCloseButtonIntoView(frame);
  if (neverPlaced || frame->pos() != shownAt) frame->SavePlacement();
  frame->raise();
  m_mdiClient->setActiveSubWindow(frame);
  m_commandStates->UpdateDesignToolBars();

  m_system.Panels().OnPanelActivated(CSystemPanels::CPanelView{nullptr, view});
  m_system.SetModified(true);
  PostMessage(FrameMsg::kSetMessageString, Cmd::kIdleMessage, 0);
}

CCustomControlPanelWnd* CMainFrame::GetActiveCustomPanelView() const {
  auto* frame = dynamic_cast<CCCPFrame*>(m_mdiClient->activeSubWindow());
  return frame ? dynamic_cast<CCustomControlPanelWnd*>(frame->GetPanel()) : nullptr;
}

bool CMainFrame::RunCustomPanelCommand(std::uint32_t id) {
  using namespace Cmd;
  switch (id) {
    case kNewCustomPanel:
      OpenCustomPanel(nullptr);
      m_system.SetModified(true);
      return true;
    case kDeletePanel: OnDeletePanel(); return true;
    case kDesignMode: SetDesignMode(1); return true;
    case kOperateMode: SetDesignMode(0); return true;
    case kPanelCombo: {
      const int index = m_panelCombo->currentIndex();
      if (index < 0) return true;
      const int panel = m_panelCombo->itemData(index).toInt();
      const auto& panels = m_system.GetCustomPanels();
      if (panel >= 0 && panel < int(panels.size())) OpenCustomPanel(panels[std::size_t(panel)]);
      return true;
    }
    default: break;
  }
  if (CCommandStates::IsDesignTool(id)) {
    if (CCustomControlPanelWnd* view = GetActiveCustomPanelView()) view->OnCommand(id);
    m_commandStates->UpdateDesignToolBars();
    return true;
  }
  return false;
}

void CMainFrame::OnDeletePanel() {
  const int index = m_panelCombo->currentIndex();
  if (index < 0) return;
  const int panelIndex = m_panelCombo->itemData(index).toInt();
  const auto& panels = m_system.GetCustomPanels();
  if (panelIndex < 0 || panelIndex >= int(panels.size())) return;
  if (!m_system.ConfirmAction(kConfirmPanelDelete)) return;
  CCPData* panel = panels[std::size_t(panelIndex)];
  CDevicePropertiesCtrl& grid = m_propertiesPane->GetGrid();
  if (panel->m_pView && grid.GetCurrentPanel() == panel->m_pView) {
    if (!grid.IsLocked()) m_propertiesPane->ShowPanelProperties(true, nullptr);
  } else {
    m_propertiesPane->RefreshProperties();
  }
  if (panel->m_pView) {
    panel->m_pView->DestroyPanelWindow();
    panel->m_pView = nullptr;
  }
  m_system.Panels().DeleteCustomPanel(panelIndex);
  FillCustomPanelCombo();
}
