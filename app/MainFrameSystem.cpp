// Main frame: file commands, online commands and the messages of the worker and devices.
#include <QCoreApplication>

#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "app/RecentFileList.h"
#include "app/UserPrompts.h"

bool CMainFrame::IsCommandEnabled(std::uint32_t id) const {
  using namespace Cmd;
  switch (id) {
    case kFileNew:
    case kFileOpen:
    case kRecentFile1:
    case kRecentFile1 + 1:
    case kRecentFile1 + 2:
    case kRecentFile1 + 3: return !m_online;
    case kFileSave: return false;
    case kFileSaveAs:
    case kAppExit:
    case kAutoscan:
    case kAppAbout:
    case kCheckForUpdates:
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
    case kFullScreen: return true;
    case kOnline: return false;
    case kGlobalMute: return m_online;
    case kOptions: return !m_online;
    default: return false;
  }
}

void CMainFrame::UpdateSystemCommandUI() {}

bool CMainFrame::GetLoadLastFileOnStartup() const { return false; }

void CMainFrame::OnFileNew() {}
void CMainFrame::OnFileOpen() {}
bool CMainFrame::OnFileSave() { return false; }
void CMainFrame::OnFileSaveAs() {}
void CMainFrame::OnRecentFile(int n) { (void)n; }
bool CMainFrame::OpenFilePath(const std::string& path) {
  (void)path;
  return false;
}
bool CMainFrame::AskSaveChanges() { return true; }
int CMainFrame::SaveAsDialog() { return 2; }
void CMainFrame::UpdateTitle() { setWindowTitle(ProductName() + QStringLiteral(" - Untitled")); }
void CMainFrame::OnOnline() {}
void CMainFrame::OnAutoscan() {}
void CMainFrame::OnGlobalMute() {}
void CMainFrame::OnOptions() {}
void CMainFrame::OnAutosave() {}
void CMainFrame::StopSystem() {}
void CMainFrame::SetFullScreenFlag(bool on) { (void)on; }

void CMainFrame::OnMessage(std::uint32_t message, WPARAM wParam, LPARAM lParam) {
  (void)lParam;
  if (m_closing && message != FrameMsg::kLogLine) return;
  switch (message) {
    case FrameMsg::kLogLine: OnLogLine(reinterpret_cast<char*>(wParam)); break;
    case FrameMsg::kSetMessageString: OnSetMessageString(std::uint32_t(wParam)); break;
    case FrameMsg::kSystemMonitorVisible: m_systemMonitorVisible = wParam != 0; break;
    default: break;
  }
}

void CMainFrame::OnSetMessageString(std::uint32_t id) {
  if (id != Cmd::kIdleMessage) return;
  SetStatusText(QStringLiteral("Ready (File Security Disabled)"));
}
