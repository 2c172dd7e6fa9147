// Main frame: the user, password, file-properties, link and help-document commands.
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <sstream>

#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "app/UserPrompts.h"
#include "core/comms/CommsWorker.h"
#include "custom/CPData.h"
#include "custom/CustomControlObject.h"
#include "core/model/ControlPanel.h"
#include "core/model/Device.h"
#include "core/model/Link.h"
#include "core/model/User.h"
#include "ui/DevicePropertiesPane.h"
#include "ui/dialogs/LinkManagerDlg.h"

namespace {

const char* const kQuickStartGuide = "Orvak Quick Start Guide.pdf";
const char* const kQuickStartFailed = "Could not open Quick Start Guide.";

// Everything of the links that the link manager can change, to tell whether it did.
std::string LinksState(const CSystem& system) {
  std::ostringstream out;
  for (const CLink* link : system.Links().GetLinks()) {
    out << link << '|' << link->m_name << '|' << link->m_master;
    for (const CLinkRef* member : link->GetMembers()) out << '|' << member << ':' << member->m_parameterId;
    out << '\n';
  }
  return out.str();
}

}  // namespace

void CMainFrame::OnFileProperties() {
  if (!Prompts().RunFileProperties(m_system)) return;
  PostMessage(FrameMsg::kSetMessageString, Cmd::kIdleMessage, 0);
  UpdateCommandUI();
}

void CMainFrame::OnSwitchUsers() {
  if (!Prompts().RunSwitchUser(m_system)) return;
  if (m_system.Users().IsCurrentUserRestricted() && m_system.GetDesignMode() != 0) SetDesignMode(0);
  for (CDevice* device : m_system.GetDevices()) {
    CControlPanel* panel = device->GetControlPanel();
    if (!panel) continue;
    if (CurrentUserMayUse(device->GetUuid())) {
      panel->ApplyPermissions(true);
    } else {
      panel->DestroyPanelWindow();
    }
  }
  // Closed and opened again, so that each panel's close-box rule follows the new user.
  for (CCPData* panel : m_system.GetCustomPanels()) {
    if (!panel->m_pView) continue;
    panel->m_pView->DestroyPanelWindow();
    panel->m_pView = nullptr;
    if (CurrentUserMayUse(panel->GetUuid())) OpenCustomPanel(panel);
  }
  // The pane is decided once the panels are: a widget outlives its panel's view, so one whose
  // panel stayed closed for the new user gives way to the selected device; the rows that stay
  // are filled again, enabled by the new user's rights.
  const CCustomControlObject* widget = m_propertiesPane->GetGrid().GetCurrentWidget();
  if (widget && !widget->m_pView) {
    ShowSelectedDeviceProperties();
  } else {
    m_propertiesPane->RefreshProperties();
  }
  FillCustomPanelCombo();
  m_system.SetModified(true);
  PostMessage(FrameMsg::kSetMessageString, Cmd::kIdleMessage, 0);
  UpdateCommandUI();
}

void CMainFrame::OnChangePassword() {
  const int index = m_system.Users().GetCurrentUser();
  CUserList& users = m_system.Users().GetUsers();
  // The dialog works on a copy: the comms worker may replace the users meanwhile.
  CUser edited;
  {
    CSingleLock lock(m_system.GetLock());
    if (index < 0 || std::size_t(index) >= users.size()) return;
    edited.CopyFrom(*users[std::size_t(index)]);
  }
  if (!Prompts().RunChangePassword(edited)) return;
  {
    CSingleLock lock(m_system.GetLock());
    if (std::size_t(index) < users.size()) users[std::size_t(index)]->m_password = edited.m_password;
  }
  m_system.SetModified(true);
  if (m_online) m_system.GetComms().SetNeedSecuritySet(true);
}

void CMainFrame::OnLinkManager() {
  const std::string before = LinksState(m_system);
  Prompts().RunLinkManager(m_system, m_linkManagerDevice);
  // The dialog changes the links in place: a change must not be lost on closing the file.
  if (LinksState(m_system) != before) m_system.SetModified(true);
  m_system.Links().ApplyLinks();
}

void CMainFrame::ShowLinkMarksInOpenManager() {
  for (QWidget* window : QApplication::topLevelWidgets())
    if (auto* manager = dynamic_cast<CLinkManagerDlg*>(window); manager && manager->isVisible()) manager->ShowOutOfLineMarks();
}

void CMainFrame::OnLinkingStatus() {
  m_system.Links().SetLinksActive(!m_system.Links().AreLinksActive());
  m_system.SetModified(true);
  if (m_system.Links().AreLinksActive()) m_system.Links().ApplyLinks();
  UpdateCommandUI();
}

void CMainFrame::OnAddLink() {
  m_system.Links().AddLink();
  m_system.SetModified(true);
}

std::string CMainFrame::QuickStartGuidePath() {
  return QDir(QCoreApplication::applicationDirPath()).filePath(QString::fromLatin1(kQuickStartGuide)).toStdString();
}

void CMainFrame::OnQuickStartGuide() {
  if (!Prompts().OpenDocument(QuickStartGuidePath()))
    Prompts().ShowMessage(ProductName().toStdString(), kQuickStartFailed, IUserPrompts::Icon::Exclamation);
}
