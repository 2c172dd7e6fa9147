// Main frame: command routing and enabling, timers, frame messages and the close sequence.
#include <QAction>
#include <QDockWidget>
#include <QStatusBar>
#include <QToolBar>

#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "app/MdiClient.h"
#include "app/RecentFileList.h"
#include "app/UpdateChecker.h"
#include "app/UserPrompts.h"
#include "core/LogFile.h"
#include "core/TextConversion.h"
#include "ui/DevicePropertiesPane.h"
#include "ui/DeviceView.h"
#include "ui/OutputWnd.h"

void CMainFrame::RunCommand(std::uint32_t id) {
  using namespace Cmd;
  UpdateCommandUI();
  if (QAction* action = GetCommand(id); action && !action->isEnabled()) return;
  auto toggle = [](QWidget* w) { w->setVisible(!w->isVisible()); };
  switch (id) {
    case kFileNew: OnFileNew(); break;
    case kFileOpen: OnFileOpen(); break;
    case kFileSave: OnFileSave(); break;
    case kFileSaveAs: OnFileSaveAs(); break;
    case kRecentFile1:
    case kRecentFile1 + 1:
    case kRecentFile1 + 2:
    case kRecentFile1 + 3: OnRecentFile(int(id - kRecentFile1) + 1); break;
    case kAppExit: close(); break;
    case kOnline: OnOnline(); break;
    case kAutoscan: OnAutoscan(); break;
    case kGlobalMute: OnGlobalMute(); break;
    case kOptions: OnOptions(); break;
    case kLoader: Prompts().RunLoaderDialog(); break;
    case kFileProperties: OnFileProperties(); break;
    case kSwitchUsers: OnSwitchUsers(); break;
    case kChangePassword: OnChangePassword(); break;
    case kLinkManager: OnLinkManager(); break;
    case kImageLibraryManager: Prompts().RunImageLibraryManager(m_system); break;
    case kLinkingStatus: OnLinkingStatus(); break;
    case kAddLink: OnAddLink(); break;
    case kQuickStartGuide: OnQuickStartGuide(); break;
    case kViewDeviceView: toggle(m_deviceView); break;
    case kViewSystemMonitor: toggle(m_outputPane); break;
    case kViewDeviceProperties: toggle(m_propertiesPane); break;
    case kViewFileToolbar:
    case kViewCommsToolbar:
    case kViewMuteToolbar:
    case kViewDesignToolbar:
    case kViewPanelsToolbar:
    case kViewSnapshotToolbar: {
      static const std::uint32_t order[] = {kViewFileToolbar,  kViewCommsToolbar,  kViewMuteToolbar,
                                            kViewDesignToolbar, kViewPanelsToolbar, kViewSnapshotToolbar};
      for (int i = 0; i < kToolBarCount; ++i) {
        if (order[i] == id) toggle(m_toolBars[i]);
      }
      break;
    }
    case kViewStatusBar: toggle(statusBar()); break;
    case kFullScreen: OnFullScreen(); break;
    case kDeleteLink:
    case kVisualLinker: break;
    case kDeviceProperties:
    case kPanelProperties:
      m_propertiesPane->show();
      m_propertiesPane->raise();
      break;
    case kAddDevice: OnAddDeviceMenu(); break;
    case kDeleteDevice: OnDeleteDevice(); break;
    case kAddZone: OnAddZone(); break;
    case kDeleteZone: OnDeleteZone(); break;
    case kEditCopy: OnEditCopy(); break;
    case kEditPaste: OnEditPaste(); break;
    case kExportLogFile: OnExportLogFile(); break;
    case kSnapshotCombo: OnSnapshotCombo(); break;
    case kNewSnapshot: OnNewSnapshot(); break;
    case kDeleteSnapshot: OnDeleteSnapshot(); break;
    case kRenameSnapshot: OnRenameSnapshot(); break;
    case kAppAbout:
      if (m_onAbout) m_onAbout();
      break;
    case kCheckForUpdates:
      if (m_updateChecker) m_updateChecker->CheckUpdateWithUi(Prompts());
      break;
    default:
      if (!RunCustomPanelCommand(id)) OnAddDeviceModel(id);
      break;
  }
  UpdateCommandUI();
}

void CMainFrame::UpdateCommandUI() {
  using namespace Cmd;
  for (auto& [id, action] : m_commands) action->setEnabled(IsCommandEnabled(id));

  auto check = [this](std::uint32_t id, bool on) {
    if (QAction* a = GetCommand(id)) a->setChecked(on);
  };
  if (m_deviceView) {
    check(kViewDeviceView, m_deviceView->isVisible());
    check(kViewSystemMonitor, m_outputPane->isVisible());
    check(kViewDeviceProperties, m_propertiesPane->isVisible());
  }
  static const std::uint32_t toolbarIds[] = {kViewFileToolbar,  kViewCommsToolbar,  kViewMuteToolbar,
                                             kViewDesignToolbar, kViewPanelsToolbar, kViewSnapshotToolbar};
  for (int i = 0; i < kToolBarCount; ++i) {
    if (m_toolBars[i]) check(toolbarIds[i], m_toolBars[i]->isVisible());
  }
  check(kViewStatusBar, statusBar()->isVisible());
  check(kFullScreen, m_fullScreen);
  check(kOnline, m_online);
  if (QAction* online = GetCommand(kOnline)) {
    online->setText(m_online ? QStringLiteral("Go Offline") : QStringLiteral("Go Online"));
  }
  UpdateSystemCommandUI();
  FillRecentFileMenu();
}

void CMainFrame::FillRecentFileMenu() {
  // The four entries show "&n path"; with an empty list one disabled "Recent File" remains.
  for (std::uint32_t i = 0; i < Cmd::kRecentFileCount; ++i) {
    QAction* action = GetCommand(Cmd::kRecentFile1 + i);
    if (!action) continue;
    const std::string path = m_recentFiles.Get(i);
    if (path.empty()) {
      action->setText(QStringLiteral("Recent File"));
      action->setVisible(i == 0);
      if (i == 0) action->setEnabled(false);
    } else {
      action->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(QString::fromStdString(path)));
      action->setVisible(true);
    }
  }
}

void CMainFrame::OnTimer(std::uint32_t id) {
  if (id == FrameTimer::kBlink) {
    m_blinkPhase = !m_blinkPhase;
    m_deviceView->GetRack().UpdateDevice(m_blinkPhase);
    m_outputPane->GetLiveMeterView().UpdateDeviceMeters(m_blinkPhase);
    PostMessage(FrameMsg::kSetMessageString, Cmd::kIdleMessage, 0);
    UpdateCommandUI();
  } else if (id == FrameTimer::kAutosave) {
    OnAutosave();
  }
}

void CMainFrame::OnLogLine(const std::string& line) {
  if (!m_outputPane) return;
  m_outputPane->GetLogList().AddLine(line);
}

bool CMainFrame::OnClose() {
  if (m_fullScreen) OnFullScreen();
  if (!AskSaveChanges()) return false;
  StopSystem();
  // From here on only the queued log lines are handled (so that their texts are freed); every
  // other message still queued is dropped.
  m_closing = true;
  DispatchPendingMessages();
  KillTimer(FrameTimer::kAutosave);
  KillTimer(FrameTimer::kBlink);
  SaveDocking();
  return true;
}

void CMainFrame::OnFullScreen() {
  if (!m_fullScreen) {
    m_normalGeometry = saveGeometry();
    m_wasMaximised = isMaximized();
    m_fullScreen = true;
    showFullScreen();
  } else {
    m_fullScreen = false;
    showNormal();
    restoreGeometry(m_normalGeometry);
    if (m_wasMaximised) showMaximized();
  }
  SetFullScreenFlag(m_fullScreen);
  UpdateCommandUI();
}
