// Main frame: command routing and the command states shown, timers, frame messages and the close
// sequence.
#include <QAction>
#include <QApplication>
#include <QDockWidget>
#include <QKeyEvent>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <iterator>

#include "app/CommandIds.h"
#include "app/CommandStates.h"
#include "app/CommsCommands.h"
#include "app/FileCommands.h"
#include "app/KeptCopyOffer.h"
#include "app/MainFrame.h"
#include "app/MdiClient.h"
#include "app/RecentFileList.h"
#include "app/SnapshotCommands.h"
#include "app/UpdateChecker.h"
#include "app/UserPrompts.h"
#include "custom/CPData.h"
#include "core/model/ControlPanel.h"
#include "custom/CustomControlObject.h"
#include "core/model/Device.h"
#include "core/support/LogFile.h"
#include "core/file/TextConversion.h"
#include "ui/DevicePropertiesPane.h"
#include "ui/DeviceView.h"
#include "ui/OutputWnd.h"
#include "ui/PanelFrame.h"

void CMainFrame::RunCommand(std::uint32_t id) {
  using namespace Cmd;
  UpdateCommandUI();
  if (QAction* action = GetCommand(id); action && !action->isEnabled()) return;
  auto toggle = [](QWidget* w) { w->setVisible(!w->isVisible()); };
  switch (id) {
    case kFileNew: m_files->OnFileNew(); break;
    case kFileOpen: m_files->OnFileOpen(); break;
    case kFileSave: m_files->OnFileSave(); break;
    case kFileSaveAs: m_files->OnFileSaveAs(); break;
    case kRecentFile1:
    case kRecentFile1 + 1:
    case kRecentFile1 + 2:
    case kRecentFile1 + 3: m_files->OnRecentFile(int(id - kRecentFile1) + 1); break;
    case kAppExit: close(); break;
    case kOnline: m_commsCommands->OnOnline(); break;
    case kAutoscan: m_commsCommands->OnAutoscan(); break;
    case kGlobalMute: m_commsCommands->OnGlobalMute(); break;
    case kOptions: m_commsCommands->OnOptions(); break;
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
    case kNextPane: OnNextPane(true); break;
    case kPrevPane: OnNextPane(false); break;
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
    case kSnapshotCombo: m_snapshots->OnSnapshotCombo(); break;
    case kNewSnapshot: m_snapshots->OnNewSnapshot(); break;
    case kDeleteSnapshot: m_snapshots->OnDeleteSnapshot(); break;
    case kRenameSnapshot: m_snapshots->OnRenameSnapshot(); break;
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
  for (auto& [id, action] : m_commands) action->setEnabled(m_commandStates->IsCommandEnabled(id));

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
  m_commandStates->UpdateSystemCommandUI();
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
      // An "&" of the path is shown as itself, not taken for the mnemonic's mark.
      QString shown = QString::fromStdString(path);
      shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
      action->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(shown));
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
    m_files->OnAutosave();
  }
}

void CMainFrame::OnLogLine(const std::string& line) {
  if (!m_outputPane) return;
  m_outputPane->GetLogList().AddLine(line);
}

bool CMainFrame::OnClose() {
  if (m_fullScreen) OnFullScreen();
  if (!m_files->AskSaveChanges()) return false;
  m_commsCommands->StopSystem();
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
  // The window may take its new size at once or later, as the platform answers.
  m_recoverPanelsPending = true;
  if (!m_fullScreen) {
    m_normalGeometry = saveGeometry();
    m_wasMaximised = isMaximized();
    m_sizeBeforeFullScreen = size();
    m_fullScreenStepSize = screen() ? screen()->geometry().size() : QSize();
    // Menus, toolbars, panes and the status bar go; the panel area then fills the monitor.
    m_hiddenForFullScreen.clear();
    std::vector<QWidget*> around{menuBar(), statusBar(), m_deviceView, m_outputPane, m_propertiesPane};
    for (QToolBar* bar : m_toolBars) around.push_back(bar);
    for (QWidget* w : around) {
      if (!w || !w->isVisible()) continue;
      m_hiddenForFullScreen.emplace_back(w);
      w->hide();
    }
    m_fullScreen = true;
    showFullScreen();
  } else {
    m_fullScreen = false;
    m_fullScreenStepSize = m_sizeBeforeFullScreen;
    showNormal();
    for (const QPointer<QWidget>& w : m_hiddenForFullScreen)
      if (w) w->show();
    m_hiddenForFullScreen.clear();
    restoreGeometry(m_normalGeometry);
    if (m_wasMaximised) showMaximized();
  }
  // With the menus and bars put away, the button on the panel area says how to leave.
  m_mdiClient->ShowCloseFullScreen(m_fullScreen);
  SetFullScreenFlag(m_fullScreen);
  OnPanelAreaResized();
  UpdateCommandUI();
}

void CMainFrame::keyPressEvent(QKeyEvent* event) {
  if (m_fullScreen && event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    OnFullScreen();
    event->accept();
    return;
  }
  QMainWindow::keyPressEvent(event);
}

void CMainFrame::OnPanelAreaResized() {
  // The panel area changes size more than once on the way (bars shown or hidden, then the
  // window itself); the stray panels come back once the window has its new size.
  if (!m_recoverPanelsPending || size() != m_fullScreenStepSize) return;
  m_recoverPanelsPending = false;
  RecoverOffscreenPanels();
}

void CMainFrame::RecoverOffscreenPanels() {
  const QRect visible = m_mdiClient->viewport()->rect();
  QPoint cascade(0, 0);
  auto recover = [&](QWidget* view) {
    CPanelFrame* frame = FindPanelFrame(view);
    if (!frame) return;
    CWindowPlacement placement = frame->GetWindowPlacement();
    CRect& r = placement.normalPosition;
    if (visible.contains(QPoint(r.left, r.top))) return;
    const int width = r.Width(), height = r.Height();
    r = CRect{cascade.x(), cascade.y(), cascade.x() + width, cascade.y() + height};
    frame->SetWindowPlacement(placement);
    cascade += QPoint(20, 20);
  };
  for (CDevice* device : m_system.GetDevices())
    if (CControlPanel* panel = device->GetControlPanel()) recover(dynamic_cast<QWidget*>(panel));
  for (CCPData* panel : m_system.GetCustomPanels())
    if (panel->m_pView) recover(dynamic_cast<QWidget*>(panel->m_pView));
}

void CMainFrame::OnNextPane(bool forward) {
  QWidget* panes[] = {m_deviceView, m_mdiClient, m_outputPane, m_propertiesPane};
  constexpr int kPaneCount = int(std::size(panes));
  int current = -1;
  if (QWidget* focus = QApplication::focusWidget()) {
    for (int i = 0; i < kPaneCount; ++i)
      if (panes[i] == focus || panes[i]->isAncestorOf(focus)) current = i;
  }
  for (int step = 1; step <= kPaneCount; ++step) {
    const int start = current < 0 ? (forward ? -1 : kPaneCount) : current;
    const int i = ((start + (forward ? step : -step)) % kPaneCount + kPaneCount) % kPaneCount;
    if (!panes[i]->isVisible()) continue;
    QWidget* target = panes[i];
    if (panes[i] == m_deviceView) {
      target = &m_deviceView->GetRack();
    } else if (panes[i] == m_mdiClient) {
      if (QMdiSubWindow* active = m_mdiClient->activeSubWindow(); active && active->widget()) target = active->widget();
    } else if (panes[i] == m_outputPane) {
      if (QWidget* page = m_outputPane->GetTabs().currentWidget()) target = page;
    } else {
      target = &m_propertiesPane->GetGrid();
    }
    target->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return;
  }
}
