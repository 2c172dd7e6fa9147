// Which of the main frame's commands are enabled now, and the checks that follow the system.
#include "app/CommandStates.h"

#include <QAction>
#include <QComboBox>
#include <QMdiSubWindow>
#include <QToolBar>

#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "app/MdiClient.h"
#include "core/model/Device.h"
#include "core/model/User.h"
#include "core/system/Zone.h"
#include "ui/CCPFrame.h"
#include "ui/CustomControlPanelWnd.h"
#include "ui/CustomPanelDesigner.h"
#include "ui/DeviceView.h"

bool CCommandStates::IsDesignTool(std::uint32_t id) { return id >= kCmdSelectMode && id <= kCmdLowerToBottom; }

std::optional<bool> CCommandStates::IsDeviceCommandEnabled(std::uint32_t id) const {
  using namespace Cmd;
  if (Cmd::IsModelCommand(id) || id == kExportLogFile) return true;
  CDevice* selected = m_system.GetDevice(m_system.GetSelectedDevice());
  if (id == kEditCopy || id == kEditPaste) {
    const bool copy = id == kEditCopy;
    switch (m_frame.ClipboardTarget()) {
      case CMainFrame::EClipboardTarget::kDevice:
        return selected && (copy ? selected->CanCopy(Cmd::kWholeDevice) : selected->CanPaste(Cmd::kWholeDevice));
      case CMainFrame::EClipboardTarget::kPanelView: {
        const CCustomControlPanelWnd* view = m_frame.GetActiveCustomPanelView();
        return view && (copy ? view->HasSelection() : !m_system.GetCopiedWidgets().empty());
      }
      case CMainFrame::EClipboardTarget::kNone: break;
    }
    return false;
  }
  CDeviceViewState state;
  state.deviceSelected = selected != nullptr;
  state.online = m_frame.m_online;
  const auto& zones = m_system.GetZones();
  state.zoneCount = int(zones.size());
  if (const CZone* zone = m_system.GetSelectedDeviceZone()) {
    for (std::size_t i = 0; i < zones.size(); ++i)
      if (zones[i] == zone) state.selectedZoneIndex = int(i);
  }
  return DeviceViewCommandEnabled(id, state);
}

void CCommandStates::UpdateDesignToolBars() {
  for (QMdiSubWindow* window : m_frame.m_mdiClient->subWindowList()) {
    auto* frame = dynamic_cast<CCCPFrame*>(window);
    auto* view = frame ? dynamic_cast<CCustomControlPanelWnd*>(frame->GetPanel()) : nullptr;
    if (!view || !frame->GetDesignToolBar()) continue;
    for (QAction* action : frame->GetDesignToolBar()->actions()) {
      if (action->isSeparator()) continue;
      bool checked = false;
      action->setEnabled(view->IsCommandEnabled(action->data().toUInt(), &checked));
      action->setCheckable(true);
      action->setChecked(checked);
    }
  }
}

std::optional<bool> CCommandStates::IsCustomPanelCommandEnabled(std::uint32_t id) const {
  using namespace Cmd;
  const bool design = m_system.GetDesignMode() != 0;
  switch (id) {
    case kNewCustomPanel: return m_system.GetDeviceCount() > 0 && design;
    case kDeletePanel: return m_frame.m_panelCombo && m_frame.m_panelCombo->currentIndex() >= 0 && design;
    case kDesignMode:
    case kOperateMode: return !m_frame.CurrentUserHasRestriction(~std::uint64_t(0));
    case kPanelCombo: return true;
    default: break;
  }
  if (IsDesignTool(id)) {
    const CCustomControlPanelWnd* view = m_frame.GetActiveCustomPanelView();
    return view && view->IsCommandEnabled(id);
  }
  return std::nullopt;
}

std::optional<bool> CCommandStates::IsSnapshotCommandEnabled(std::uint32_t id) const {
  using namespace Cmd;
  const bool unrestricted = !m_frame.CurrentUserHasRestriction(~std::uint64_t(0));
  switch (id) {
    case kSnapshotCombo: return !m_frame.CurrentUserHasRestriction(kRestrictRecallSnapshots);
    case kNewSnapshot: return m_system.GetDeviceCount() > 0 && unrestricted;
    case kDeleteSnapshot:
    case kRenameSnapshot:
      return !m_system.GetSnapshots().empty() && m_frame.m_snapshotCombo->currentIndex() >= 0 && unrestricted;
    default: return std::nullopt;
  }
}

bool CCommandStates::IsCommandEnabled(std::uint32_t id) const {
  using namespace Cmd;
  switch (id) {
    case kFileNew:
    case kFileOpen:
    case kRecentFile1:
    case kRecentFile1 + 1:
    case kRecentFile1 + 2:
    case kRecentFile1 + 3: return !m_frame.m_online;
    case kFileSave: return m_system.IsModified();
    case kFileSaveAs:
    case kAppExit:
    case kAutoscan:
    case kAppAbout:
    case kCheckForUpdates:
    case kQuickStartGuide:
    case kPanelProperties:
    case kViewDeviceView:
    case kViewSystemMonitor:
    case kViewDeviceProperties:
    case kViewFileToolbar:
    case kViewCommsToolbar:
    case kViewMuteToolbar:
    case kViewDesignToolbar:
    case kViewPanelsToolbar:
    case kViewSnapshotToolbar:
    case kViewStatusBar:
    case kFullScreen:
    case kNextPane:
    case kPrevPane: return true;
    case kOnline: return m_system.GetDeviceCount() > 0;
    case kGlobalMute: return m_frame.m_online;
    case kOptions: return !m_frame.m_online && !m_frame.CurrentUserHasRestriction(kRestrictApplicationSettings);
    case kLoader: return !m_frame.m_online;
    case kSnapshotCombo:
    case kNewSnapshot:
    case kDeleteSnapshot:
    case kRenameSnapshot: return IsSnapshotCommandEnabled(id).value_or(false);
    case kNewCustomPanel:
    case kDeletePanel:
    case kDesignMode:
    case kOperateMode:
    case kPanelCombo: return IsCustomPanelCommandEnabled(id).value_or(false);
    case kFileProperties:
    case kImageLibraryManager:
    case kLinkingStatus: return !m_frame.CurrentUserHasRestriction(~std::uint64_t(0));
    // Links are deleted in the Link Manager (its "-"); the menu's Delete Link has no link to
    // act on and stays greyed rather than seem to work.
    case kDeleteLink:
    case kVisualLinker: return false;
    // A link is made and filled in the Link Manager: Add Link is offered to whom the manager is.
    case kAddLink:
    case kLinkManager: return m_system.GetDeviceCount() > 0 && !m_frame.CurrentUserHasRestriction(~std::uint64_t(0));
    case kSwitchUsers: return m_system.Users().GetUseSystemSecurity() && m_system.Users().GetUsers().size() > 1;
    case kChangePassword:
      return m_system.Users().GetUseSystemSecurity() && !m_frame.CurrentUserHasRestriction(kRestrictChangePassword);
    default: return IsDeviceCommandEnabled(id).value_or(false);
  }
}

void CCommandStates::UpdateSystemCommandUI() {
  if (QAction* mute = m_frame.GetCommand(Cmd::kGlobalMute)) mute->setChecked(m_system.IsGlobalMute());
  if (m_frame.m_snapshotCombo) m_frame.m_snapshotCombo->setEnabled(IsCommandEnabled(Cmd::kSnapshotCombo));
  if (QAction* linking = m_frame.GetCommand(Cmd::kLinkingStatus)) linking->setChecked(m_system.Links().AreLinksActive());
  if (QAction* design = m_frame.GetCommand(Cmd::kDesignMode)) design->setChecked(m_system.GetDesignMode() == 1);
  if (QAction* operate = m_frame.GetCommand(Cmd::kOperateMode)) operate->setChecked(m_system.GetDesignMode() == 0);
  UpdateDesignToolBars();
}
