// The main frame's file commands and autosave.
#include "app/FileCommands.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QString>
#include <algorithm>
#include <filesystem>

#include "app/CommandIds.h"
#include "app/KeptCopyOffer.h"
#include "app/CommsCommands.h"
#include "app/MainFrame.h"
#include "app/RecentFileList.h"
#include "app/SnapshotCommands.h"
#include "app/UserPrompts.h"
#include "core/model/Device.h"
#include "core/system/SystemFile.h"
#include "custom/CPData.h"
#include "platform/AtomicFile.h"
#include "ui/DevicePropertiesPane.h"
#include "ui/DeviceView.h"
#include "ui/OutputWnd.h"

namespace {

const char* const kSaveQuestion = "This file has been modified, do you want to save it?";
const char* const kOpenFilter = "orvak Files (*.ovd)|*.ovd";
const char* const kSaveFilter = "Orvak Files (*.ovd)|*.ovd|All Files (*.*)|*.*||";

bool HasExtension(const std::string& path) {
  return CFileCommands::FileNameOf(path).find('.') != std::string::npos;
}

// Why a kept copy named to be opened is not offered: it lies outside the folder of the kept
// copies, or it is in use or gone. Empty when path is no kept copy.
std::string WhyKeptCopyIsNotOffered(const std::string& path) {
  const std::optional<std::string> of = FileOfKeptCopy(path);
  if (IsInKeptCopyFolder(path)) {
    if (!IsReadableFile(path))
      return path + "\nis no longer there: its file holds the same bytes again, or another instance of the program "
                    "has put it back or removed it.";
    if (of)
      return path + "\nis a kept copy that another instance of the program is reading or putting back just now. "
                    "Open it again in a moment.";
    return {};
  }
  if (!of) return {};
  return path + "\nis a copy that the program kept of " + (of->empty() ? std::string("a file") : *of) +
         " as it was before a save that did not finish; it is not a system file.\n\nKept copies are offered back "
         "from the folder\n" +
         GetKeptCopyFolder() +
         "\nonly: move it there and open it again to put it back, save it under another name or delete it.";
}

}  // namespace

std::string CFileCommands::FileNameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

const std::string* CFileCommands::AutosaveNotice() const {
  if (m_autosaveNotice.empty() || m_autosaveNoticePath != m_system.File().GetFilePath()) return nullptr;
  return &m_autosaveNotice;
}

void CFileCommands::UpdateTitle() {
  const std::string& path = m_system.File().GetFilePath();
  const QString name = path.empty() ? QStringLiteral("Untitled") : QString::fromStdString(FileNameOf(path));
  m_frame.setWindowTitle(CMainFrame::ProductName() + QStringLiteral(" - ") + name);
}

bool CFileCommands::StoreFile(const std::string& path, std::string* failure) {
  const std::string full = FullFilePath(path);
  if (!m_system.File().SaveFile(full, failure)) return false;
  m_frame.m_recentFiles.Add(full);
  ForgetAutosaveNotices();
  return true;
}

void CFileCommands::ForgetAutosaveNotices() {
  m_autosaveNotice.clear();
  m_autosaveFailureTold.clear();
}

bool CFileCommands::OnFileSave() {
  const std::string path = m_system.File().GetFilePath();
  if (path.empty()) {
    bool stored = false;
    SaveAsDialog(&stored);
    return stored;
  }
  const bool stored = StoreFile(path);
  UpdateTitle();
  return stored;
}

void CFileCommands::OnFileSaveAs() { SaveAsDialog(); }

bool CFileCommands::ChooseSystemFileToSave(const std::string& initialName, std::string& path) {
  for (;;) {
    if (!m_frame.Prompts().ChooseFileToSave({kSaveFilter, kExtension, initialName}, path)) return false;
    if (HasExtension(path)) return true;
    // A dialog that gave back the name without its extension asked, if at all, about that name:
    // the file written is the one with ".ovd", asked about here before it is replaced. No
    // chooses another name.
    path += std::string(".") + kExtension;
    std::error_code ec;
    if (!std::filesystem::exists(path, ec) ||
        m_frame.Prompts().AskYesNo("Save As", FileNameOf(path) + " already exists.\nDo you want to replace it?"))
      return true;
  }
}

std::string CFileCommands::FileDialogStart(bool withName) const {
  const std::string& open = m_system.File().GetFilePath();
  if (!open.empty() && withName) return open;
  // Paths as bytes: a folder whose name is no UTF-8 is kept as it is.
  auto folderOf = [](const std::string& file) {
    const std::filesystem::path folder = std::filesystem::path(file).parent_path();
    std::error_code ec;
    return !folder.empty() && std::filesystem::is_directory(folder, ec) ? folder.string() : std::string();
  };
  std::string folder = open.empty() ? std::string() : folderOf(open);
  const CRecentFileList& recent = m_frame.m_recentFiles;
  for (std::size_t i = 0; i < recent.Count() && folder.empty(); ++i) folder = folderOf(recent.Get(i));
  if (folder.empty()) {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    folder = (!documents.isEmpty() && QFileInfo(documents).isDir() ? documents : QDir::homePath()).toStdString();
  }
  if (folder.back() != '/') folder += '/';
  return folder + kInitialName;
}

int CFileCommands::SaveAsDialog(bool* stored) {
  if (stored) *stored = false;
  std::string path;
  // At the file it saves: a name typed as it stands replaces that file, after the question.
  if (!ChooseSystemFileToSave(FileDialogStart(true), path)) return 2;
  const bool ok = StoreFile(path);
  if (stored) *stored = ok;
  UpdateTitle();
  return 1;
}

bool CFileCommands::AskSaveChanges() {
  if (!m_system.IsModified()) return true;
  switch (m_frame.Prompts().AskYesNoCancel("Close File", kSaveQuestion)) {
    case IUserPrompts::Answer::Yes: {
      // Always the dialog, also for a file that has a path. A save that was cancelled or
      // failed keeps the file: the caller must not go on and drop it.
      bool stored = false;
      SaveAsDialog(&stored);
      return stored;
    }
    case IUserPrompts::Answer::No: return true;
    case IUserPrompts::Answer::Cancel: break;
  }
  return false;
}

void CFileCommands::RefreshAfterClear() {
  m_frame.m_deviceView->GetRack().Refresh();
  m_frame.m_outputPane->GetLiveMeterView().Redraw();
  m_frame.FillCustomPanelCombo();
  m_frame.m_snapshots->FillSnapshotCombo();
  UpdateTitle();
  CDevicePropertiesCtrl& grid = m_frame.m_propertiesPane->GetGrid();
  if (!grid.IsLocked()) {
    grid.RemoveAll();
    grid.ClearCurrent();
    grid.ExpandAll();
  }
  m_frame.UpdateCommandUI();
}

void CFileCommands::OnFileNew() {
  if (m_system.IsModified()) {
    switch (m_frame.Prompts().AskYesNoCancel("New File", kSaveQuestion)) {
      case IUserPrompts::Answer::Yes:
        if (!OnFileSave()) return;  // the file was not stored: keep it
        break;
      case IUserPrompts::Answer::No: break;
      case IUserPrompts::Answer::Cancel: return;
    }
  }
  m_system.Clear();
  RefreshAfterClear();
}

void CFileCommands::OnFileOpen() {
  std::string path;
  if (!m_frame.Prompts().ChooseFileToOpen({kOpenFilter, kExtension, FileDialogStart(false)}, path)) return;
  OpenFilePath(path);
}

bool CFileCommands::CheckFileReadable(const std::string& path) {
  if (IsReadableFile(path)) return true;
  m_frame.Prompts().ShowMessage(CMainFrame::ProductName().toStdString(), "Cannot open file " + path,
                                IUserPrompts::Icon::Exclamation);
  return false;
}

void CFileCommands::OnRecentFile(int n) {
  if (n < 1 || n > int(Cmd::kRecentFileCount)) return;
  const std::string path = m_frame.m_recentFiles.Get(std::size_t(n - 1));
  if (path.empty()) return;
  // A file that is gone is reported and leaves the list before anything is dropped.
  if (!CheckFileReadable(path)) {
    m_frame.m_recentFiles.Remove(std::size_t(n - 1));
    return;
  }
  if (!AskSaveChanges()) return;
  m_system.Clear();
  OpenFilePath(path);
}

bool CFileCommands::OpenFilePath(const std::string& given) {
  const std::string path = FullFilePath(given);
  // Nothing is asked or dropped for a file that cannot be read.
  if (!CheckFileReadable(path)) return false;
  // A kept copy itself is offered back, and its file opened once it is put back.
  if (const std::optional<CKeptCopy> kept = FindKeptCopyAt(path))
    return m_frame.m_keptCopies->OfferKeptCopy(*kept, std::nullopt, false) && !kept->file.empty() &&
           OpenFilePath(kept->file);
  if (const std::string why = WhyKeptCopyIsNotOffered(path); !why.empty()) {
    m_frame.Prompts().ShowMessage(CMainFrame::ProductName().toStdString(), why, IUserPrompts::Icon::Exclamation);
    return false;
  }
  if (m_system.IsModified()) {
    switch (m_frame.Prompts().AskYesNoCancel("Open File", kSaveQuestion)) {
      case IUserPrompts::Answer::Yes:
        if (!OnFileSave()) return false;  // the file was not stored: keep it
        break;
      case IUserPrompts::Answer::No: break;
      case IUserPrompts::Answer::Cancel: return false;
    }
  }
  m_system.Clear();
  // While a save of the file cut short has left a copy of its earlier bytes, opening it says
  // so; one that does not open may be put back from that copy.
  bool opened = m_system.File().OpenFile(path);
  std::vector<CKeptCopy> told;
  if (m_frame.m_keptCopies->TellOfKeptCopies(path, opened, told)) {
    m_system.Clear();
    opened = m_system.File().OpenFile(path);
  }
  if (!opened) {
    // The system is empty now: the panes must not keep showing the old file.
    RefreshAfterClear();
    return false;
  }
  // The person knows of the copies left: the next save of the file takes them away.
  for (const CKeptCopy& kept : told) ReleaseKeptCopy(kept);
  m_frame.m_recentFiles.Add(path);
  // A link's value that a member's unit has still to take is named again.
  m_system.Links().TellOwedLinkValues();
  ForgetAutosaveNotices();

  UpdateTitle();
  m_frame.m_deviceView->GetRack().Refresh();
  m_frame.m_outputPane->GetLiveMeterView().Redraw();
  m_frame.ShowSelectedDeviceProperties();
  m_frame.FillCustomPanelCombo();
  m_frame.m_snapshots->FillSnapshotCombo();

  // Reopen the panel windows that were open when the file was stored, for a user who may use
  // them; the stored order is restored afterwards. The marks stay until a panel really opens,
  // so a save before then keeps the stored layout.
  m_system.File().SetLoading(true);
  for (CDevice* device : m_system.GetDevices()) {
    if (!device->PanelPlacement().WasPanelOpenWhenStored()) continue;
    if (m_frame.CurrentUserMayUse(device->GetUuid())) m_frame.OpenDevicePanel(device, true);
  }
  for (CCPData* panel : m_system.GetCustomPanels()) {
    if (!panel->m_panelWasOpen) continue;
    if (m_frame.CurrentUserMayUse(panel->GetUuid())) m_frame.OpenCustomPanel(panel);
  }
  m_system.Panels().RestorePanelOrder();
  m_system.File().SetLoading(false);

  if (m_system.File().GetFullScreenOnOpen() && !m_frame.m_fullScreen) m_frame.OnFullScreen();
  if (m_system.File().GetGoOnlineOnOpen()) m_frame.m_commsCommands->OnOnline();
  m_system.SetModified(false);
  m_frame.UpdateCommandUI();
  return true;
}

void CFileCommands::OnAutosave() {
  const std::string path = m_system.File().GetFilePath();
  if (path.empty()) return;
  // A question is open (whether to save or drop this system, among others): its answer
  // decides, the tick passes.
  if (QApplication::activeModalWidget()) return;
  // Nothing to keep: the file holds the system as it is.
  if (!m_system.File().HasChangesSinceStored()) return;
  if (m_system.File().IsFileChangedOnDisk()) {
    // Another program's save is not written over: the changes stay here until the user saves.
    // The status bar says so while it lasts, the log once for each change of the file.
    SetAutosaveNotice("Autosave left " + FileNameOf(path) +
                      " alone: another program changed or removed it. Save to keep your changes.");
    if (const std::optional<CFileStamp> onDisk = ReadFileStamp(path); m_toldOutsideChange != onDisk) {
      m_toldOutsideChange = onDisk;
      m_system.WriteLog("Autosave left " + path +
                        " alone: another program has changed or removed it since it was opened or saved here. The "
                        "changes stay here until they are saved.\n");
    }
    return;
  }
  m_frame.SetStatusText(QStringLiteral("Autosaving file %1").arg(QString::fromStdString(path)));
  std::string failure;
  if (StoreFile(path, &failure)) {
    UpdateTitle();
    return;
  }
  // Told once, with the reason; the later ticks try again and only the status says it.
  SetAutosaveNotice("Autosave of " + FileNameOf(path) + " failed: the changes are not saved.");
  if (m_autosaveFailureTold == path) return;
  m_autosaveFailureTold = path;
  std::string line = failure;
  std::replace(line.begin(), line.end(), '\n', ' ');
  m_system.WriteLog("Autosave of " + path + " failed: " + line + "\n");
  m_frame.ShowFileError(failure, kFileErrorCaption);
}

void CFileCommands::SetAutosaveNotice(const std::string& text) {
  m_autosaveNotice = text;
  m_autosaveNoticePath = m_system.File().GetFilePath();
  m_frame.SetStatusText(QString::fromStdString(text));
}
