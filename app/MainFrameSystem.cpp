// Main frame: file commands, online commands and the messages of the worker and devices.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QString>
#include <QWidget>
#include <algorithm>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>

#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "app/MainFrameDialogs.h"
#include "app/MdiClient.h"
#include "app/RecentFileList.h"
#include "app/UserPrompts.h"
#include "custom/CPData.h"
#include "core/comms/Discovery.h"
#include "core/model/Confirm.h"
#include "core/model/ControlPanel.h"
#include "core/model/Device.h"
#include "core/model/Snapshot.h"
#include "core/model/User.h"
#include "core/support/LogFile.h"
#include "core/system/SystemFile.h"
#include "core/system/Zone.h"
#include "panels/framework/ControlPanelWnd.h"
#include "platform/Archive.h"
#include "platform/AtomicFile.h"
#include "platform/File.h"
#include "platform/TextFormat.h"
#include "ui/ChildFrame.h"
#include "ui/DevicePropertiesPane.h"
#include "ui/DeviceView.h"
#include "ui/OutputWnd.h"

namespace {

const char* const kSaveQuestion = "This file has been modified, do you want to save it?";
const char* const kOpenFilter = "orvak Files (*.ovd)|*.ovd";
const char* const kSaveFilter = "Orvak Files (*.ovd)|*.ovd|All Files (*.*)|*.*||";
const char* const kExtension = "ovd";
const char* const kInitialName = "*.ovd";

// Timer ids of a zone's collapse animation on the rack and the live meters: 101 + zone index.
constexpr std::uint32_t kZoneTimerPeriodMs = 33;

// The file name part of a path: after the last separator, the whole path when it has none.
std::string FileNameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool HasExtension(const std::string& path) { return FileNameOf(path).find('.') != std::string::npos; }

}  // namespace

// --- The current user ---

bool CMainFrame::CurrentUserHasRestriction(std::uint64_t bits) const {
  return (m_system.GetCurrentUserRestrictions() & bits) != 0;
}

bool CMainFrame::CurrentUserMayUse(const CUuid& uuid) const { return m_system.CurrentUserMayOpen(uuid); }

// --- Command states ---

bool CMainFrame::IsCommandEnabled(std::uint32_t id) const {
  using namespace Cmd;
  switch (id) {
    case kFileNew:
    case kFileOpen:
    case kRecentFile1:
    case kRecentFile1 + 1:
    case kRecentFile1 + 2:
    case kRecentFile1 + 3: return !m_online;
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
    case kGlobalMute: return m_online;
    case kOptions: return !m_online && !CurrentUserHasRestriction(kRestrictApplicationSettings);
    case kLoader: return !m_online;
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
    case kLinkingStatus: return !CurrentUserHasRestriction(~std::uint64_t(0));
    // Links are deleted in the Link Manager (its "-"); the menu's Delete Link has no link to
    // act on and stays greyed rather than seem to work.
    case kDeleteLink:
    case kVisualLinker: return false;
    // A link is made and filled in the Link Manager: Add Link is offered to whom the manager is.
    case kAddLink:
    case kLinkManager: return m_system.GetDeviceCount() > 0 && !CurrentUserHasRestriction(~std::uint64_t(0));
    case kSwitchUsers: return m_system.GetUseSystemSecurity() && m_system.GetUsers().size() > 1;
    case kChangePassword:
      return m_system.GetUseSystemSecurity() && !CurrentUserHasRestriction(kRestrictChangePassword);
    default: return IsDeviceCommandEnabled(id).value_or(false);
  }
}

void CMainFrame::UpdateSystemCommandUI() {
  if (QAction* mute = GetCommand(Cmd::kGlobalMute)) mute->setChecked(m_system.IsGlobalMute());
  if (m_snapshotCombo) m_snapshotCombo->setEnabled(IsCommandEnabled(Cmd::kSnapshotCombo));
  if (QAction* linking = GetCommand(Cmd::kLinkingStatus)) linking->setChecked(m_system.AreLinksActive());
  if (QAction* design = GetCommand(Cmd::kDesignMode)) design->setChecked(m_system.GetDesignMode() == 1);
  if (QAction* operate = GetCommand(Cmd::kOperateMode)) operate->setChecked(m_system.GetDesignMode() == 0);
  UpdateDesignToolBars();
}

bool CMainFrame::GetLoadLastFileOnStartup() const { return m_system.GetSettings().loadLastFileOnStartup; }

// --- File commands ---

void CMainFrame::UpdateTitle() {
  const std::string& path = m_system.GetFilePath();
  const QString name = path.empty() ? QStringLiteral("Untitled") : QString::fromStdString(FileNameOf(path));
  setWindowTitle(ProductName() + QStringLiteral(" - ") + name);
}

bool CMainFrame::StoreFile(const std::string& path, std::string* failure) {
  const std::string full = FullFilePath(path);
  if (!m_system.SaveFile(full, failure)) return false;
  m_recentFiles.Add(full);
  ForgetAutosaveNotices();
  return true;
}

void CMainFrame::ForgetAutosaveNotices() {
  m_autosaveNotice.clear();
  m_autosaveFailureTold.clear();
}

bool CMainFrame::OnFileSave() {
  const std::string path = m_system.GetFilePath();
  if (path.empty()) {
    bool stored = false;
    SaveAsDialog(&stored);
    return stored;
  }
  const bool stored = StoreFile(path);
  UpdateTitle();
  return stored;
}

void CMainFrame::OnFileSaveAs() { SaveAsDialog(); }

bool CMainFrame::ChooseSystemFileToSave(const std::string& initialName, std::string& path) {
  for (;;) {
    if (!Prompts().ChooseFileToSave({kSaveFilter, kExtension, initialName}, path)) return false;
    if (HasExtension(path)) return true;
    // A dialog that gave back the name without its extension asked, if at all, about that name:
    // the file written is the one with ".ovd", asked about here before it is replaced. No
    // chooses another name.
    path += std::string(".") + kExtension;
    std::error_code ec;
    if (!std::filesystem::exists(path, ec) ||
        Prompts().AskYesNo("Save As", FileNameOf(path) + " already exists.\nDo you want to replace it?"))
      return true;
  }
}

std::string CMainFrame::FileDialogStart(bool withName) const {
  const std::string& open = m_system.GetFilePath();
  if (!open.empty() && withName) return open;
  // Paths as bytes: a folder whose name is no UTF-8 is kept as it is.
  auto folderOf = [](const std::string& file) {
    const std::filesystem::path folder = std::filesystem::path(file).parent_path();
    std::error_code ec;
    return !folder.empty() && std::filesystem::is_directory(folder, ec) ? folder.string() : std::string();
  };
  std::string folder = open.empty() ? std::string() : folderOf(open);
  for (std::size_t i = 0; i < m_recentFiles.Count() && folder.empty(); ++i) folder = folderOf(m_recentFiles.Get(i));
  if (folder.empty()) {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    folder = (!documents.isEmpty() && QFileInfo(documents).isDir() ? documents : QDir::homePath()).toStdString();
  }
  if (folder.back() != '/') folder += '/';
  return folder + kInitialName;
}

int CMainFrame::SaveAsDialog(bool* stored) {
  if (stored) *stored = false;
  std::string path;
  // At the file it saves: a name typed as it stands replaces that file, after the question.
  if (!ChooseSystemFileToSave(FileDialogStart(true), path)) return 2;
  const bool ok = StoreFile(path);
  if (stored) *stored = ok;
  UpdateTitle();
  return 1;
}

bool CMainFrame::AskSaveChanges() {
  if (!m_system.IsModified()) return true;
  switch (Prompts().AskYesNoCancel("Close File", kSaveQuestion)) {
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

void CMainFrame::RefreshAfterClear() {
  m_deviceView->GetRack().Refresh();
  m_outputPane->GetLiveMeterView().Redraw();
  FillCustomPanelCombo();
  FillSnapshotCombo();
  UpdateTitle();
  CDevicePropertiesCtrl& grid = m_propertiesPane->GetGrid();
  if (!grid.IsLocked()) {
    grid.RemoveAll();
    grid.ClearCurrent();
    grid.ExpandAll();
  }
  UpdateCommandUI();
}

void CMainFrame::OnFileNew() {
  if (m_system.IsModified()) {
    switch (Prompts().AskYesNoCancel("New File", kSaveQuestion)) {
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

void CMainFrame::OnFileOpen() {
  std::string path;
  if (!Prompts().ChooseFileToOpen({kOpenFilter, kExtension, FileDialogStart(false)}, path)) return;
  OpenFilePath(path);
}

bool CMainFrame::CheckFileReadable(const std::string& path) {
  if (IsReadableFile(path)) return true;
  Prompts().ShowMessage(ProductName().toStdString(), "Cannot open file " + path,
                        IUserPrompts::Icon::Exclamation);
  return false;
}

void CMainFrame::OnRecentFile(int n) {
  if (n < 1 || n > int(Cmd::kRecentFileCount)) return;
  const std::string path = m_recentFiles.Get(std::size_t(n - 1));
  if (path.empty()) return;
  // A file that is gone is reported and leaves the list before anything is dropped.
  if (!CheckFileReadable(path)) {
    m_recentFiles.Remove(std::size_t(n - 1));
    return;
  }
  if (!AskSaveChanges()) return;
  m_system.Clear();
  OpenFilePath(path);
}

void CMainFrame::ShowSelectedDeviceProperties() {
  m_propertiesPane->ShowDeviceProperties(true, m_system.GetDevice(m_system.GetSelectedDevice()));
}

namespace {

// A file time (ns since the epoch) in local time, as the log stamps its lines.
std::string LocalTimeText(std::int64_t ns) {
  const std::time_t seconds = std::time_t(ns / 1000000000);
  std::tm local{};
  localtime_r(&seconds, &local);
  return CLogFile::FormatTime(local);
}

// Whether the system file at path opens, read into a system of its own that tells nobody.
bool SystemFileOpens(const std::string& path) {
  CSystem probe;
  return probe.OpenFile(path);
}

// Whether a file is judged as a system file, by its name: the other files that saves keep
// copies of (the image library, presets, the log) are not read to judge them.
bool IsSystemFileName(const std::string& path) {
  const std::string name = FileNameOf(path);
  const std::size_t n = std::strlen(kExtension) + 1;
  if (name.size() <= n || name[name.size() - n] != '.') return false;
  return QString::fromStdString(name.substr(name.size() - n + 1)).compare(kExtension, Qt::CaseInsensitive) == 0;
}

// Whether the earlier bytes a kept copy holds open as a system, read as they stand now.
bool KeptCopyOpens(const CKeptCopy& kept) {
  std::vector<std::uint8_t> bytes;
  if (!ReadKeptCopyBytes(kept, bytes)) return false;
  CSystem probe;
  CArchive ar(std::move(bytes));
  return probe.Serialize(ar);
}

// The question about a kept copy: its words, its buttons, and which of them Enter presses.
struct CKeptCopyQuestion {
  enum class Choice { PutBack, SaveAs, Delete, Keep };
  std::string text;
  std::vector<Choice> choices;
  Choice byDefault = Choice::Keep;
};

// What is known of a copy and its file as it is asked about.
struct CKeptCopyFacts {
  bool opens = false;         // the file opens (a file of another kind counts as one that does not)
  bool systemFile = false;    // the file is judged as a system file
  bool writtenSince = false;  // the file was written after the copy's save, cut short, stopped
  bool putBackFits = false;   // the file is a system file that does not open, or the save's own leftover
  bool copyOpens = true;      // the copy's earlier bytes open (looked at only where Put Back fits)
  std::size_t place = 1;      // among the copies of its file, newest first
  std::size_t count = 1;
};

// What a damaged copy is, and why it is not put back.
std::string DamageText(const CKeptCopy& kept) {
  const std::string named = kept.file.empty() ? "no file whose name can be read" : kept.file;
  switch (kept.damage) {
    case EKeptCopyDamage::Bytes:
      return "A copy of " + kept.file + " that a save which did not finish kept in\n" + kept.copy +
             "\nis damaged: its bytes no longer match their check word, so it is not put back over the file.";
    case EKeptCopyDamage::Start:
      return "A copy that a save which did not finish kept in\n" + kept.copy +
             "\nis damaged at its start, where it names its file: that no longer matches its check word, so it "
             "is not put back. It names " +
             named + "; the earlier bytes it holds are whole.";
    case EKeptCopyDamage::Name: {
      std::error_code ec;
      const bool folderThere = std::filesystem::is_directory(std::filesystem::path(kept.file).parent_path(), ec);
      return "A copy that an earlier version of the program kept in\n" + kept.copy + "\nnames the file " + named +
             (folderThere ? ", which is not the file its own name gives" : ", in a folder that is not there") +
             ". No check word covers that name in a copy of an earlier version, so it may be damaged, and the copy "
             "is not put back; the earlier bytes it holds are whole.";
    }
    case EKeptCopyDamage::Unreadable:
      return "A copy that a save which did not finish kept in\n" + kept.copy +
             "\nis damaged at its start: neither the file it names (" + named +
             ") nor where its earlier bytes lie can be trusted, so it is not put back.";
    case EKeptCopyDamage::Form:
      return "The file\n" + kept.copy +
             "\nin the folder of the kept copies is in a form this version of the program does not read: a later "
             "version made it, or it is damaged at its start. It is not put back, and nothing changes it but "
             "your choice.";
    case EKeptCopyDamage::None: break;
  }
  return {};
}

// Tells the state of the copy, of the save that left it and of its file, and offers what fits.
// Enter puts the copy back only where its earlier bytes open (or are not judged) and the file
// is a system file that does not open, or is what the copy's own save left when it was cut
// short (the file may hold part of that save); never over a file that opens and was written
// after that save stopped, nor from a copy that does not open. A damaged copy is never put
// back, and none where its file's folder is gone. untilSaved: Keep leaves the copy until the
// file is next saved, else until the next start.
CKeptCopyQuestion AskAboutKeptCopy(const CKeptCopy& kept, const CKeptCopyFacts& facts, bool untilSaved) {
  using Choice = CKeptCopyQuestion::Choice;
  const bool opens = facts.opens;
  const bool damaged = kept.damage != EKeptCopyDamage::None;
  const std::string folder = kept.file.substr(0, kept.file.find_last_of('/'));
  const bool folderGone = !damaged && !kept.fileChangedAt && !QFileInfo(QString::fromStdString(folder)).isDir();
  const bool replaced = kept.save == EKeptCopySave::Replaced;
  std::string keptIn = "\n\nThe file as it was before that " + std::string(replaced ? "Put Back" : "save") +
                       " is kept in\n" + kept.copy + "\n(copied at " + LocalTimeText(kept.keptAt) + ").";
  if (!damaged && !facts.copyOpens) keptIn += " The kept file does not open.";
  if (facts.count > 1)
    keptIn += FormatText("\nIt is copy %zu of %zu kept of this file, offered newest first.", facts.place, facts.count);
  const std::string written = kept.fileChangedAt ? LocalTimeText(*kept.fileChangedAt) : std::string();
  const std::string doesNotOpen = opens ? "" : " It does not open now.";
  const std::string opensNow = opens ? "opens" : "does not open now";
  CKeptCopyQuestion q;
  q.byDefault = facts.putBackFits && facts.copyOpens ? Choice::PutBack : Choice::Keep;
  if (damaged) {
    q.text = DamageText(kept);
    q.byDefault = Choice::Keep;
  } else if (folderGone) {
    q.text = "A save of " + kept.file + " did not finish, and the folder " + folder +
             " is no longer there to put the file back in." + keptIn;
    q.byDefault = Choice::SaveAs;
  } else if (!kept.fileChangedAt) {
    q.text = (replaced ? "A kept copy was put back over " + kept.file + ", which is no longer there."
                       : "A save of " + kept.file + " did not finish, and the file is no longer there.") +
             keptIn;
    q.byDefault = Choice::PutBack;
  } else if (kept.save == EKeptCopySave::CutShort && !facts.writtenSince) {
    q.text = "A save of " + kept.file + " did not finish: the program stopped while it wrote the file, which " +
             (opens ? "opens, but may hold part of that save's bytes over its earlier ones." : "does not open now.") +
             keptIn;
  } else if (kept.save == EKeptCopySave::CutShort) {
    q.text = "A save of " + kept.file + " did not finish, and the file has been written since that save stopped, "
             "at " + written + "; it " + opensNow + "." + keptIn;
  } else if (kept.save == EKeptCopySave::SavedOver) {
    q.text = "A save of " + kept.file + " did not finish, but the file has been saved whole since by a save that "
             "did not know of this copy; it was last written at " + written + "." + doesNotOpen + keptIn;
  } else if (kept.save == EKeptCopySave::Finished) {
    q.text = "A save of " + kept.file + " reached the disk, but the program stopped before it removed the copy of "
             "the file's earlier bytes." +
             (*kept.fileChangedAt > kept.markedAt ? " The file has been written again since, at " + written + "." : "") +
             doesNotOpen + keptIn;
  } else if (replaced) {
    q.text = "A kept copy was put back over " + kept.file + ", and this copy holds what the file held before. The "
             "file " + opensNow + ", and was last written at " + written + "." + keptIn;
  } else if (kept.save == EKeptCopySave::MarkDamaged) {
    // This version's copy: only its mark, which no check word covers, says nothing known.
    q.text = "A save of " + kept.file + " kept this copy of the file's earlier bytes, but the copy's mark of how "
             "that save ended is damaged (or a later version's), so whether it wrote the file whole is not known. "
             "The file " + opensNow + ", and was last written at " + written + "." + keptIn;
  } else if (!opens) {
    q.text = "A save of " + kept.file +
             " did not finish: the program stopped while it wrote the file, which does not open now." + keptIn;
  } else {
    // An earlier version's copy does not tell whether its save reached the disk.
    q.text = "A save of " + kept.file + " did not finish. The file opens, and was last written at " + written + ", " +
             (*kept.fileChangedAt >= kept.keptAt ? "after" : "before") +
             " the copy of its earlier bytes was made; whether that save wrote it whole, the copy (made by an "
             "earlier version) does not tell." +
             keptIn;
  }
  q.text += "\n\n";
  if (!damaged && !folderGone) {
    q.choices.push_back(Choice::PutBack);
    q.text += kept.fileChangedAt ? "Put Back writes the kept file over the file and keeps the file as it is now as "
                                   "another copy; "
                                 : "Put Back writes the kept file where the file was; ";
  }
  q.choices.insert(q.choices.end(), {Choice::SaveAs, Choice::Delete, Choice::Keep});
  switch (kept.damage) {
    case EKeptCopyDamage::None: q.text += "Save As... puts it back under another name; "; break;
    case EKeptCopyDamage::Start:
    case EKeptCopyDamage::Name: q.text += "Save As... puts its earlier bytes back under another name; "; break;
    case EKeptCopyDamage::Form: q.text += "Save As... writes it as it is under another name, to be looked at; "; break;
    default: q.text += "Save As... writes what it holds under another name, to be looked at; "; break;
  }
  q.text += "Delete removes it; Keep leaves it where it is";
  q.text += untilSaved && !damaged ? " until this file is saved again." : " and asks again at the next start.";
  return q;
}

const char* ChoiceWords(CKeptCopyQuestion::Choice choice) {
  switch (choice) {
    case CKeptCopyQuestion::Choice::PutBack: return "Put Back";
    case CKeptCopyQuestion::Choice::SaveAs: return "Save As...";
    case CKeptCopyQuestion::Choice::Delete: return "Delete";
    case CKeptCopyQuestion::Choice::Keep: break;
  }
  return "Keep";
}

// The copies of each file together, newest first; the files by name.
std::vector<std::vector<CKeptCopy>> CopiesByFile(std::vector<CKeptCopy> found) {
  std::stable_sort(found.begin(), found.end(), [](const CKeptCopy& a, const CKeptCopy& b) {
    return a.file != b.file ? a.file < b.file : a.keptAt > b.keptAt;
  });
  std::vector<std::vector<CKeptCopy>> files;
  for (CKeptCopy& kept : found) {
    if (files.empty() || kept.file.empty() || files.back().front().file.empty() ||
        !IsSameFile(files.back().front().file, kept.file))
      files.emplace_back();
    files.back().push_back(std::move(kept));
  }
  for (std::vector<CKeptCopy>& copies : files)
    std::stable_sort(copies.begin(), copies.end(), [](const CKeptCopy& a, const CKeptCopy& b) { return a.keptAt > b.keptAt; });
  return files;
}

}  // namespace

bool CMainFrame::OfferKeptCopy(const CKeptCopy& kept, std::optional<bool> opens, bool untilSaved, std::size_t place,
                               std::size_t count) {
  using Choice = CKeptCopyQuestion::Choice;
  const bool sound = kept.damage == EKeptCopyDamage::None;
  CKeptCopyFacts facts;
  facts.place = place;
  facts.count = count;
  facts.systemFile = IsSystemFileName(kept.file);
  if (!opens) opens = kept.fileChangedAt && sound && facts.systemFile && SystemFileOpens(kept.file);
  facts.opens = *opens;
  facts.writtenSince = kept.save == EKeptCopySave::CutShort && kept.fileChangedAt && *kept.fileChangedAt > kept.markedAt;
  facts.putBackFits = sound && kept.fileChangedAt &&
                      ((facts.systemFile && !facts.opens) || (kept.save == EKeptCopySave::CutShort && !facts.writtenSince));
  // The copy is read only where Enter might put it back.
  if (facts.putBackFits && facts.systemFile) facts.copyOpens = KeptCopyOpens(kept);
  const CKeptCopyQuestion q = AskAboutKeptCopy(kept, facts, untilSaved);
  std::vector<std::string> buttons;
  for (const Choice choice : q.choices) buttons.emplace_back(ChoiceWords(choice));
  const auto indexOf = [&q](Choice choice) {
    return std::size_t(std::find(q.choices.begin(), q.choices.end(), choice) - q.choices.begin());
  };
  const std::string caption = ProductName().toStdString();
  const auto icon = q.byDefault == Choice::Keep ? IUserPrompts::Icon::Question : IUserPrompts::Icon::Warning;
  // A choice that could not take effect is told, and asked again; a copy that another
  // instance put back or removed meanwhile is asked about no more.
  const auto failed = [&](const std::string& what, const std::string& error) {
    if (!KeptCopyIsThere(kept)) {
      Prompts().ShowMessage(caption,
                            "The kept copy\n" + kept.copy +
                                "\nis no longer there: another instance of the program has put it back, saved it "
                                "elsewhere or deleted it since it was offered here.",
                            IUserPrompts::Icon::Information);
      return true;
    }
    Prompts().ShowMessage(caption, what + error + "\nIt stays in " + kept.copy + ", and is asked about again.",
                          IUserPrompts::Icon::Exclamation);
    return false;
  };
  // Save As starts in the folder of the copy's file, with its name; where that folder is gone,
  // or the copy names no file, where the Save As of an untitled system starts.
  const auto saveAsStart = [&] {
    const std::string untitled = FileDialogStart(false);
    if (kept.file.empty()) return untitled;
    std::error_code ec;
    if (std::filesystem::is_directory(std::filesystem::path(kept.file).parent_path(), ec)) return kept.file;
    return untitled.substr(0, untitled.size() - std::strlen(kInitialName)) + FileNameOf(kept.file);
  };
  // Asked again after a way back that failed, or a name not given: the copy goes only by a
  // choice that took effect.
  for (;;) {
    std::string error, destination;
    switch (q.choices.at(Prompts().AskChoice(caption, q.text, icon, buttons, indexOf(q.byDefault), indexOf(Choice::Keep)))) {
      case Choice::PutBack:
        if (PutKeptCopyBack(kept, &error)) return true;
        // Gone: the file may be another now, and is read again.
        if (failed("The kept file could not be put back: ", error)) return true;
        break;
      case Choice::SaveAs:
        if (!ChooseSystemFileToSave(saveAsStart(), destination)) break;
        if (SaveKeptCopyAs(kept, destination, &error)) return false;
        if (failed("The kept file could not be saved as " + destination + ": ", error)) return false;
        break;
      case Choice::Delete:
        if (DiscardKeptCopy(kept, &error) || failed("", error)) return false;
        break;
      case Choice::Keep:
        if (SetKeptCopyAside(kept, &error) || failed("", error)) return false;
        break;
    }
  }
}


bool CMainFrame::OfferKeptCopies(const std::string& path) {
  bool putBack = false;
  for (const std::vector<CKeptCopy>& copies : CopiesByFile(FindKeptCopies(path))) {
    for (std::size_t i = 0; i < copies.size(); ++i) {
      // Each after the first is looked at again: a Put Back of a newer one changed the file,
      // and the copy may have gone with nothing lost.
      const std::optional<CKeptCopy> kept = i == 0 ? copies[0] : FindKeptCopyAt(copies[i].copy);
      if (kept) putBack = OfferKeptCopy(*kept, std::nullopt, false, i + 1, copies.size()) || putBack;
    }
  }
  return putBack;
}

bool CMainFrame::TellOfKeptCopies(const std::string& path, bool opened, std::vector<CKeptCopy>& told) {
  std::vector<CKeptCopy> copies;
  for (std::vector<CKeptCopy>& file : CopiesByFile(FindKeptCopies(path)))
    copies.insert(copies.end(), file.begin(), file.end());
  for (std::size_t i = 0; i < copies.size(); ++i) {
    const CKeptCopy& kept = copies[i];
    if (kept.damage != EKeptCopyDamage::None) {
      // Never put back nor retired by a save: asked about until the person chooses.
      if (OfferKeptCopy(kept, opened, false, i + 1, copies.size())) return true;
      continue;
    }
    if (kept.save == EKeptCopySave::Replaced && kept.known && opened) {
      // Made by a Put Back here, whose question said so: it goes with the file's next save.
    } else if (!kept.setAside || !opened) {
      // Not asked about yet (made since the start, or by another instance), or wanted now.
      if (OfferKeptCopy(kept, opened, opened, i + 1, copies.size())) return true;  // the rest wait: the file is another now
    } else {
      const std::string before = kept.save == EKeptCopySave::Finished
                                     ? "a save that reached the disk (the program stopped before it removed the copy)"
                                 : kept.save == EKeptCopySave::Replaced ? "a kept copy was put back over it"
                                                                        : "a save that did not finish";
      Prompts().ShowMessage(ProductName().toStdString(),
                            "A copy of " + kept.file + " as it was before " + before + " is kept in\n" + kept.copy +
                                "\n(copied at " + LocalTimeText(kept.keptAt) +
                                ").\n\nIt goes when this file is saved again; until then it is offered back at each "
                                "start.",
                            IUserPrompts::Icon::Information);
    }
    told.push_back(kept);
  }
  return false;
}

namespace {

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

bool CMainFrame::OpenFilePath(const std::string& given) {
  const std::string path = FullFilePath(given);
  // Nothing is asked or dropped for a file that cannot be read.
  if (!CheckFileReadable(path)) return false;
  // A kept copy itself is offered back, and its file opened once it is put back.
  if (const std::optional<CKeptCopy> kept = FindKeptCopyAt(path))
    return OfferKeptCopy(*kept, std::nullopt, false) && !kept->file.empty() && OpenFilePath(kept->file);
  if (const std::string why = WhyKeptCopyIsNotOffered(path); !why.empty()) {
    Prompts().ShowMessage(ProductName().toStdString(), why, IUserPrompts::Icon::Exclamation);
    return false;
  }
  if (m_system.IsModified()) {
    switch (Prompts().AskYesNoCancel("Open File", kSaveQuestion)) {
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
  bool opened = m_system.OpenFile(path);
  std::vector<CKeptCopy> told;
  if (TellOfKeptCopies(path, opened, told)) {
    m_system.Clear();
    opened = m_system.OpenFile(path);
  }
  if (!opened) {
    // The system is empty now: the panes must not keep showing the old file.
    RefreshAfterClear();
    return false;
  }
  // The person knows of the copies left: the next save of the file takes them away.
  for (const CKeptCopy& kept : told) ReleaseKeptCopy(kept);
  m_recentFiles.Add(path);
  // A link's value that a member's unit has still to take is named again.
  m_system.TellOwedLinkValues();
  ForgetAutosaveNotices();

  UpdateTitle();
  m_deviceView->GetRack().Refresh();
  m_outputPane->GetLiveMeterView().Redraw();
  ShowSelectedDeviceProperties();
  FillCustomPanelCombo();
  FillSnapshotCombo();

  // Reopen the panel windows that were open when the file was stored, for a user who may use
  // them; the stored order is restored afterwards. The marks stay until a panel really opens,
  // so a save before then keeps the stored layout.
  m_system.SetLoading(true);
  for (CDevice* device : m_system.GetDevices()) {
    if (!device->WasPanelOpenWhenStored()) continue;
    if (CurrentUserMayUse(device->GetUuid())) OpenDevicePanel(device, true);
  }
  for (CCPData* panel : m_system.GetCustomPanels()) {
    if (!panel->m_panelWasOpen) continue;
    if (CurrentUserMayUse(panel->GetUuid())) OpenCustomPanel(panel);
  }
  m_system.RestorePanelOrder();
  m_system.SetLoading(false);

  if (m_system.GetFullScreenOnOpen() && !m_fullScreen) OnFullScreen();
  if (m_system.GetGoOnlineOnOpen()) OnOnline();
  m_system.SetModified(false);
  UpdateCommandUI();
  return true;
}

void CMainFrame::OnAutosave() {
  const std::string path = m_system.GetFilePath();
  if (path.empty()) return;
  // A question is open (whether to save or drop this system, among others): its answer
  // decides, the tick passes.
  if (QApplication::activeModalWidget()) return;
  // Nothing to keep: the file holds the system as it is.
  if (!m_system.HasChangesSinceStored()) return;
  if (m_system.IsFileChangedOnDisk()) {
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
  SetStatusText(QStringLiteral("Autosaving file %1").arg(QString::fromStdString(path)));
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
  ShowFileError(failure, kFileErrorCaption);
}

void CMainFrame::SetAutosaveNotice(const std::string& text) {
  m_autosaveNotice = text;
  m_autosaveNoticePath = m_system.GetFilePath();
  SetStatusText(QString::fromStdString(text));
}

// --- Combos ---

void CMainFrame::FillCustomPanelCombo() {
  QComboBox& combo = *m_panelCombo;
  const int previous = combo.currentIndex();
  combo.clear();
  const auto& panels = m_system.GetCustomPanels();
  for (std::size_t i = 0; i < panels.size(); ++i) {
    if (!CurrentUserMayUse(panels[i]->GetUuid())) continue;
    combo.addItem(QString::fromStdString(panels[i]->m_name), QVariant::fromValue(int(i)));
  }
  const int count = combo.count();
  if (count == 0) return;
  combo.setCurrentIndex(previous < 0 ? 0 : previous < count ? previous : count - 1);
}

void CMainFrame::FillSnapshotCombo() {
  QComboBox& combo = *m_snapshotCombo;
  const int previous = combo.currentIndex();
  combo.clear();
  const auto& snapshots = m_system.GetSnapshots();
  for (std::size_t i = 0; i < snapshots.size(); ++i) {
    QString name = QString::fromStdString(snapshots[i]->m_name);
    if (int(i) == m_system.GetCurrentSnapshot()) name += QLatin1Char('*');
    combo.addItem(name, QVariant::fromValue(int(i)));
  }
  const int count = combo.count();
  if (count == 0) return;
  combo.setCurrentIndex(previous < 0 ? 0 : previous < count ? previous : count - 1);
}

// --- Panel windows ---

namespace {

// The frame that holds an open device panel, or null.
CChildFrame* FrameOfPanel(CControlPanel* panel) {
  return dynamic_cast<CChildFrame*>(FindPanelFrame(dynamic_cast<QWidget*>(panel)));
}

}  // namespace

void CMainFrame::OpenDevicePanel(CDevice* device, bool activate) {
  if (!device) return;
  CControlPanel* panel = device->GetControlPanel();
  if (panel) {
    if (CChildFrame* frame = FrameOfPanel(panel)) frame->showNormal();
    panel->BringPanelToTop();
  } else {
    // A family without a panel class, or a user without access to the device: no window.
    if (!device->GetControlPanelClass() || !CurrentUserMayUse(device->GetUuid())) return;
    CControlPanelWnd* view = CreateControlPanel(device->GetControlPanelClass());
    if (!view) return;
    auto* frame = new CChildFrame(&m_system, view, view);
    frame->setWindowIcon(windowIcon());
    m_mdiClient->addSubWindow(frame);
    const CWindowPlacement placement = device->GetPanelPlacement();
    if (placement.normalPosition.left == -1 && placement.normalPosition.top == -1) {
      // Never placed: the area chooses where it goes when it is shown.
      frame->resize(100, 100);
    } else {
      frame->SetWindowPlacement(placement);
    }
    frame->setWindowTitle(QString::fromStdString(device->GetDisplayName()));
    // The panel knows its device before it builds its widgets, so that it can build them for
    // it; the device takes the panel once it stands (a panel that fails leaves the device's
    // "was open" mark for the next save).
    view->SetDevice(device);
    if (!view->Create()) {
      view->SetDevice(nullptr);
      delete frame;
      return;
    }
    device->SetControlPanel(view);
    view->UpdateAllControls();
    frame->SizeToPanel(device->GetPanelSize());
    // A frame never placed gets its place from the area when it is shown: recorded after, once
    // its close button is in view.
    frame->show();
    m_mdiClient->BringCloseButtonIntoView(frame);
    frame->SavePlacement();
    if (activate) m_mdiClient->setActiveSubWindow(frame);
    panel = view;
  }
  m_system.SetModified(true);
  m_system.OnPanelActivated(CSystem::CPanelView{panel, nullptr});
  PostMessage(FrameMsg::kSetMessageString, Cmd::kIdleMessage, 0);
}

// --- Online commands ---

void CMainFrame::OnOnline() {
  if (m_online) {
    // A worker that has not gone idle may still be inside a transaction: the port stays open
    // under it and the frame stays online; the request stays raised, so the next Go Offline
    // finds the worker idle.
    if (!m_system.GetComms().RequestIdle() || !m_system.GetComms().SetOnline(false)) {
      UpdateCommandUI();
      return;
    }
    ShowOffline();
    return;
  }

  std::uint32_t choice = m_system.GetSettings().onGoOnline;
  if (choice != kGoOnlineRetrieve && choice != kGoOnlineSend && choice != kGoOnlineAsk) {
    // A choice that a later version stored, or a damaged setting: the person is asked, as by
    // default, and the log says why.
    m_system.WriteLog("Going Online: the setting OnGoOnline=" + std::to_string(choice) +
                      " is no choice this version knows - asking what to do\n");
    choice = kGoOnlineAsk;
  }
  if (!m_autoscanRunning) m_system.GetComms().SetNeedSecurityGet(true);
  if (m_system.GetDesignMode() != 0) SetDesignMode(0);
  if (choice == kGoOnlineAsk) {
    if (m_system.GetDeviceCount() == 0) {
      choice = kGoOnlineRetrieve;
    } else {
      bool always = false;
      if (!Prompts().AskGoOnline(choice, always)) {
        // Cancelled: everything stays offline as it was.
        m_system.GetComms().SetNeedSecurityGet(false);
        return;
      }
      if (always) m_system.SetOnGoOnline(choice);
    }
  }
  bool connected = false;
  if (choice == kGoOnlineRetrieve || choice == kGoOnlineSend) connected = m_system.GoOnline(choice);
  if (connected) {
    m_online = true;
    // Until their units connect, the widgets and the panels take no changes.
    m_system.RedrawCustomPanels(nullptr);
    TellPanelsOnlineState();
    TellUnaddressedUnits();
  } else {
    m_system.GetComms().RequestIdle();
    m_system.GetComms().SetNeedSecurityGet(false);
  }
  ShowSelectedDeviceProperties();
  UpdateCommandUI();
}

namespace {

// Units named in each list of the going-online notice; the log names every one.
constexpr int kNamedUnits = 5;

// One list of the notice: its first units, one a line, and how many more there are.
struct CUnitList {
  std::string names;
  int count = 0;
  void Add(const std::string& line) {
    if (count++ < kNamedUnits) names += "\n" + line;
  }
  std::string Text() const {
    if (count <= kNamedUnits) return names;
    return names + "\n... and " + WithThousands(std::uint64_t(count - kNamedUnits)) + " more, each named in the log";
  }
};

}  // namespace

void CMainFrame::TellUnaddressedUnits() {
  CUnitList own, beyond, shared, clashing;
  const std::vector<CDevice*> devices = m_system.GetDevices();
  for (CDevice* device : devices) {
    if (device->GetDeviceId() == 0) {
      m_system.WriteLog("Left out until it has an ID of its own: " + device->GetUnitText() + "\n");
      own.Add(device->GetUnitText());
      continue;
    }
    // The family's frames would carry such an ID to the unit at another ID, or to every unit of
    // the model.
    const std::string refusal = device->AddressRules().AddressRefusal(device->GetDeviceId());
    if (refusal.empty()) continue;
    m_system.WriteLog("Left out until it has an ID its frames carry: " + device->GetUnitText() + " - " + refusal + "\n");
    beyond.Add(device->GetUnitText() + " - " + refusal);
  }
  // Devices that the frames of an earlier device reach too: the worker leaves them out.
  for (const CSharedAddress& s : FindSharedAddresses(devices)) {
    m_system.WriteLog("Left out: " + s.device->GetUnitText() + " - its frames would also reach " +
                      s.earlier->GetUnitText() + "\n");
    shared.Add(s.device->GetUnitText() + " - same frames as " + s.earlier->GetUnitText());
  }
  // Devices whose requests another device's unit answers too: they are asked, but cannot be read
  // while both units are on the line. Those beside a device left out are told of with it.
  for (const CAddressClash& clash : FindAddressClashes(devices)) {
    const std::string text = clash.device->GetUnitText() + " - " + AddressClashText(clash);
    m_system.WriteLog("Address clash: " + text + "\n");
    if (!clash.leftOut) clashing.Add(text);
  }
  std::string told;
  auto addPart = [&told](const CUnitList& list, const char* one, const char* many) {
    if (list.count == 0) return;
    if (!told.empty()) told += "\n\n";
    told += list.count == 1 ? std::string(one) : "These " + WithThousands(std::uint64_t(list.count)) + many;
    told += list.Text();
  };
  addPart(own,
          "This unit has ID 0, the address of every unit of a model. Nothing is sent to it or read from it until it "
          "has an ID of its own.\n",
          " units have ID 0, the address of every unit of a model. Nothing is sent to them or read from them "
          "until each has an ID of its own.\n");
  addPart(beyond,
          "This unit has an ID that its frames cannot carry: they would reach another unit. Nothing is sent to it or "
          "read from it until it has an ID they carry.\n",
          " units have IDs that their frames cannot carry: they would reach other units. Nothing is sent to "
          "them or read from them until each has an ID they carry.\n");
  addPart(shared,
          "This unit is reached by the frames of a unit before it in the file: it would take what that unit is sent. "
          "Nothing is sent to it or read from it until it has an ID of its own, and while it is on the line the "
          "unit before it does not connect: their answers garble each other.\n",
          " units are reached by the frames of units before them in the file: each would take what the other "
          "is sent. Nothing is sent to them or read from them until each has an ID of its own, and while one is on "
          "the line the unit before it does not connect: their answers garble each other.\n");
  addPart(clashing,
          "A unit of another family answers this unit's identity query too: while both are on the line their "
          "answers garble each other, and it does not connect. It is asked now and then, as an absent unit is.\n",
          " units have their identity query answered by a unit of another family too: while both of a pair are on "
          "the line their answers garble each other, and the unit does not connect. Each is asked now and then, as "
          "an absent unit is.\n");
  if (told.empty()) return;
  Prompts().ShowMessage(ProductName().toStdString(), told, IUserPrompts::Icon::Exclamation);
}

void CMainFrame::TellPanelsOnlineState() {
  for (CDevice* device : m_system.GetDevices())
    if (CControlPanel* panel = device->GetControlPanel()) panel->UpdateOnlineStatus(device->IsConnected());
}

void CMainFrame::SetDesignMode(std::int32_t mode) {
  if (m_system.GetDesignMode() == mode) return;
  m_system.SetDesignMode(mode);
  m_system.SetLoading(true);
  for (CCPData* panel : m_system.GetCustomPanels()) {
    if (!panel->m_pView) continue;
    panel->m_pView->DestroyPanelWindow();
    panel->m_pView = nullptr;
    if (CurrentUserMayUse(panel->GetUuid())) OpenCustomPanel(panel);
  }
  m_system.RestorePanelOrder();
  m_system.SetLoading(false);
  m_propertiesPane->RefreshProperties();
}

void CMainFrame::OnAutoscan() {
  m_autoscanRunning = true;
  if (!m_online) OnOnline();
  if (m_online) RunAutoscanDialog(*this, m_system);
  m_autoscanRunning = false;
  m_deviceView->GetRack().Refresh();
  m_outputPane->GetLiveMeterView().Redraw();
  if (m_system.GetDeviceCount() > 0 && m_system.GetSelectedDevice() < 0) {
    m_system.SetSelectedDevice(0);
    OnSelectDevice(m_system.GetDevice(0), false);
  }
  UpdateCommandUI();
}

void CMainFrame::OnGlobalMute() {
  if (!m_online) return;
  if (!m_system.ConfirmAction(kConfirmGlobalMute)) return;
  // The broadcast records the new state.
  m_system.SendGlobalMute(!m_system.IsGlobalMute());
  UpdateCommandUI();
}

void CMainFrame::OnOptions() {
  if (!Prompts().RunSettingsSheet(m_system)) return;
  const std::uint32_t minutes = m_system.GetSettings().autoSave;
  if (minutes != 0) {
    SetTimer(FrameTimer::kAutosave, minutes * 60000u);
  } else {
    KillTimer(FrameTimer::kAutosave);
  }
}

void CMainFrame::StopSystem() { m_system.GetComms().StopCommsThread(); }

void CMainFrame::SetFullScreenFlag(bool on) { m_system.SetFullScreenNow(on); }

// --- Messages ---

CDevice* CMainFrame::MessageDevice(const CPostedMessage& message) const {
  return m_system.FindDeviceByHandle(message.handle);
}

CZone* CMainFrame::MessageZone(const CPostedMessage& message) const {
  for (CZone* zone : m_system.GetZones()) {
    if (message.handle != 0 && zone->GetHandle() == message.handle) return zone;
  }
  return nullptr;
}

void CMainFrame::OnMessage(const CPostedMessage& posted) {
  // Once the close question has been answered only queued log lines are still shown;
  // everything else still queued is dropped.
  if (m_closing && posted.message != FrameMsg::kLogLine) return;
  const auto& handlers = MessageHandlers();
  if (const auto it = handlers.find(posted.message); it != handlers.end()) it->second(*this, posted);
  // A message without a handler does nothing.
}

void CMainFrame::OnZoneTimerMessage(const CPostedMessage& posted) {
  using namespace FrameMsg;
  // The timer belongs to the zone itself: deleting another zone meanwhile leaves it running.
  // A zone deleted before its message arrives is not found; a timer it still has stops on its
  // next tick.
  const CZone* zone = MessageZone(posted);
  if (!zone) return;
  CDeviceRack& rack = m_deviceView->GetRack();
  CLiveMeterView& meters = m_outputPane->GetLiveMeterView();
  switch (posted.message) {
    case kRackZoneTimerStart: rack.StartZoneTimer(zone, kZoneTimerPeriodMs); break;
    case kRackZoneTimerStop: rack.StopZoneTimer(zone); break;
    case kMeterZoneTimerStart: meters.StartZoneTimer(zone, kZoneTimerPeriodMs); break;
    case kMeterZoneTimerStop: meters.StopZoneTimer(zone); break;
    default: break;
  }
}

const std::unordered_map<std::uint32_t, CMainFrame::MessageHandler>& CMainFrame::MessageHandlers() {
  using namespace FrameMsg;
  using M = const CPostedMessage&;
  static const std::unordered_map<std::uint32_t, MessageHandler> handlers = {
      {kOpenDevicePanel,
       [](CMainFrame& f, M m) {
         if (CDevice* device = f.MessageDevice(m)) f.OpenDevicePanel(device, true);
       }},
      {kRedrawMeterEntry,
       [](CMainFrame& f, M m) {
         if (!f.m_outputPane->isVisible()) return;
         if (CDevice* device = f.MessageDevice(m)) f.m_outputPane->GetLiveMeterView().AddDevice(device, m.lParam);
       }},
      {kRefreshRack,
       [](CMainFrame& f, M) {
         // Devices that an autoscan found join their zone here, on the UI thread.
         f.m_system.PlaceFoundDevices(f.m_system.GetSelectedDeviceZone());
         if (f.m_deviceView->isVisible()) f.m_deviceView->GetRack().Refresh();
       }},
      {kResizeDevicePanel,
       [](CMainFrame& f, M m) {
         CDevice* device = f.MessageDevice(m);
         if (CChildFrame* frame = device ? FrameOfPanel(device->GetControlPanel()) : nullptr) {
           frame->SizeToPanel(device->GetPanelSize());
           f.m_system.SetModified(true);
         }
       }},
      {kPanelCaption,
       [](CMainFrame& f, M m) {
         // The device's name changed (a name reply, or an edit). Its open panel, if it still
         // has one, takes it as its title; the properties show it for the panel's device and
         // for the selected device, whose panel need not be open.
         CDevice* device = f.MessageDevice(m);
         if (!device) return;
         CControlPanel* view = device->GetControlPanel();
         if (CChildFrame* frame = view ? FrameOfPanel(view) : nullptr) {
           frame->setWindowTitle(QString::fromStdString(device->GetDisplayName()));
         }
         if (view || f.m_system.IsSelectedDevice(device)) f.m_propertiesPane->ShowDeviceProperties(true, device);
       }},
      {kLogLine, [](CMainFrame& f, M m) { f.OnLogLine(m.text); }},
      {kSelectDevice,
       [](CMainFrame& f, M m) {
         if (CDevice* device = f.MessageDevice(m)) f.OnSelectDevice(device, m.lParam != 0);
       }},
      {kStatusText, [](CMainFrame& f, M m) { f.SetStatusText(QString::fromStdString(m.text)); }},
      {kStatusEvent,
       [](CMainFrame& f, M m) {
         // The families post status events from their units' replies: what the event announces
         // again is what the unit holds, for the windows, and never a change to spread.
         if (CDevice* device = f.MessageDevice(m))
           device->AnnounceUnitValues([&] { device->OnStatusEvent(int(m.lParam)); });
       }},
      {kInvalidatePanel,
       [](CMainFrame& f, M m) {
         CDevice* device = f.MessageDevice(m);
         if (auto* window = device ? dynamic_cast<QWidget*>(device->GetControlPanel()) : nullptr) window->update();
       }},
      {kFatalCommsError, [](CMainFrame& f, M) { f.OnFatalCommsError(); }},
      {kGoOffline,
       [](CMainFrame& f, M) {
         if (f.m_online) f.OnOnline();
       }},
      {kOpenSecurityDlg, [](CMainFrame& f, M m) { f.OnOpenSecurityDlg(m.wParam); }},
      {kPanelOnlineState,
       [](CMainFrame& f, M m) {
         CDevice* device = f.MessageDevice(m);
         if (CControlPanel* panel = device ? device->GetControlPanel() : nullptr) panel->UpdateOnlineStatus(m.lParam != 0);
       }},
      {kRackZoneTimerStart, [](CMainFrame& f, M m) { f.OnZoneTimerMessage(m); }},
      {kRackZoneTimerStop, [](CMainFrame& f, M m) { f.OnZoneTimerMessage(m); }},
      {kMeterZoneTimerStart, [](CMainFrame& f, M m) { f.OnZoneTimerMessage(m); }},
      {kMeterZoneTimerStop, [](CMainFrame& f, M m) { f.OnZoneTimerMessage(m); }},
      {kRebuildMeters,
       [](CMainFrame& f, M) {
         if (!f.m_outputPane->isVisible()) return;
         f.m_outputPane->GetLiveMeterView().Rebuild();
         f.m_outputPane->GetLiveMeterView().update();
       }},
      {kShowDeviceProps,
       [](CMainFrame& f, M m) {
         if (CDevice* device = f.MessageDevice(m); device && f.m_system.IsSelectedDevice(device))
           f.m_propertiesPane->ShowDeviceProperties(true, device);
       }},
      // The view and the widget are found by handle only while a panel of the system still
      // holds them: a message that arrives after they have gone does nothing.
      {kShowPanelProps,
       [](CMainFrame& f, M m) {
         for (CCPData* panel : f.m_system.GetCustomPanels()) {
           if (panel->m_pView && panel->m_pView->GetHandle() == m.handle)
             f.OnShowPanelProperties(panel->m_pView, m.lParam != 0);
         }
       }},
      {kShowWidgetProps,
       [](CMainFrame& f, M m) {
         for (CCPData* panel : f.m_system.GetCustomPanels()) {
           for (CCustomControlObject* widget : panel->m_widgets) {
             if (widget->GetHandle() == m.handle) f.m_propertiesPane->ShowControlProperties(m.lParam != 0, widget);
           }
         }
       }},
      {kPanelRenamed, [](CMainFrame& f, M) { f.FillCustomPanelCombo(); }},
      // Named by UUID: a panel or snapshot deleted before the message arrived is not found.
      {kOpenCustomPanel,
       [](CMainFrame& f, M m) {
         for (CCPData* panel : f.m_system.GetCustomPanels()) {
           if (panel->GetUuid().ToString() != m.text) continue;
           f.OpenCustomPanel(panel);
           return;
         }
       }},
      {kRecallSnapshot, [](CMainFrame& f, M m) { f.OnRecallSnapshot(m.text, m.handle); }},
      {kPropagateOnline,
       [](CMainFrame& f, M m) {
         if (CDevice* device = f.MessageDevice(m)) f.PropagateOnlineStatus(device);
       }},
      {kPropagateWarning,
       [](CMainFrame& f, M m) {
         if (CDevice* device = f.MessageDevice(m)) f.PropagateWarningStatus(device);
       }},
      {kSystemMonitorVisible,
       [](CMainFrame& f, M m) {
         f.m_systemMonitorVisible = m.wParam != 0;
         f.m_system.SetSystemMonitorVisible(f.m_systemMonitorVisible);
       }},
      {kImageNotDecoded,
       [](CMainFrame& f, M) {
         for (const CSystem::CPictureNotice& notice : f.m_system.TakePictureNotices())
           f.ShowFileError(notice.text, notice.caption);
       }},
      {kSetMessageString, [](CMainFrame& f, M m) { f.OnSetMessageString(std::uint32_t(m.wParam)); }},
  };
  return handlers;
}

void CMainFrame::OnSetMessageString(std::uint32_t id) {
  if (id != Cmd::kIdleMessage) return;
  // What autosave could not do stays in view while it is so for the open file.
  if (!m_autosaveNotice.empty() && m_autosaveNoticePath == m_system.GetFilePath()) {
    SetStatusText(QString::fromStdString(m_autosaveNotice));
  } else if (m_system.GetUseSystemSecurity()) {
    SetStatusText(QStringLiteral("Current User - ") + QString::fromStdString(m_system.GetCurrentUserName()));
  } else {
    SetStatusText(QStringLiteral("Ready (File Security Disabled)"));
  }
}

void CMainFrame::OnSelectDevice(CDevice* device, bool force) {
  const int selected = m_system.GetSelectedDevice();
  if (selected >= 0 && m_system.GetDevice(selected) != device) {
    const int index = m_system.GetDeviceIndex(device);
    if (index >= 0) {
      m_system.SetSelectedDevice(index);
      OnSelectDevice(device, false);  // as sent to the frame: the rack shows the new selection
    }
  }
  m_propertiesPane->ShowDeviceProperties(force, device);
  m_deviceView->GetRack().Refresh();
}

void CMainFrame::ShowOffline() {
  m_online = false;
  TellPanelsOnlineState();
  m_outputPane->GetLiveMeterView().Redraw();
  m_deviceView->GetRack().Refresh();
  m_system.RedrawCustomPanels(nullptr);
  ShowSelectedDeviceProperties();
  UpdateCommandUI();
}

void CMainFrame::OnFatalCommsError() {
  m_online = false;
  m_system.GetComms().SetOnline(false);
  // Everything shows offline as after Go Offline.
  ShowOffline();
  Prompts().ShowMessage(ProductName().toStdString(), "Fatal Comms Error - Going Offline",
                        IUserPrompts::Icon::Exclamation);
}

void CMainFrame::OnOpenSecurityDlg(WPARAM pass) {
  RunSecurityDialog(*this, m_system, pass == 0 ? "Checking Security..." : "Updating Security...");
}

void CMainFrame::OnShowPanelProperties(CCustomControlPanel* view, bool force) {
  m_propertiesPane->ShowPanelProperties(force, view);
}

void CMainFrame::OnRecallSnapshot(const std::string& snapshotId, std::uint64_t button) {
  // What the recall could not do is said under the button that asked for it, found after the
  // question (its panel may have closed meanwhile), else under the snapshot combo.
  const auto say = [this, button](const std::string& message) {
    for (CCPData* panel : m_system.GetCustomPanels()) {
      if (!panel->m_pView) continue;
      for (CCustomControlObject* widget : panel->m_widgets) {
        if (button == 0 || widget->GetHandle() != button) continue;
        panel->m_pView->ShowWidgetMessage(*widget, message);
        return;
      }
    }
    SayAtSnapshotCombo(message);
  };
  const auto& snapshots = m_system.GetSnapshots();
  for (std::size_t i = 0; i < snapshots.size(); ++i) {
    if (snapshots[i]->GetUuid().ToString() != snapshotId) continue;
    // A user who may not recall is not asked; the button shows the current snapshot again.
    if (!m_system.MayCurrentUserRecallSnapshots()) {
      ShowSnapshotRecall(false);
      say(NoRightRefusal(kRestrictRecallSnapshots));
      return;
    }
    std::string notRecalled;
    ShowSnapshotRecall(m_system.ConfirmAction(kConfirmSnapshotRecall) && m_system.RecallSnapshot(int(i), &notRecalled));
    if (!notRecalled.empty()) say(notRecalled);
    return;
  }
}

void CMainFrame::PropagateOnlineStatus(CDevice* device) {
  // Panels and linked widgets follow; nothing goes to the unit.
  device->SystemEntries().AnnounceConnectionStatus();
  // Its widgets take changes again, or no longer.
  m_system.RedrawCustomPanels(device);
  // Away, the links keep the values whose writes it had not acknowledged; back, it takes what
  // its links gave while it was away.
  m_system.MarkLinkWritesOwed(device);
  m_system.BringLinkMembersIntoLine(device);
  ShowLinkMarksInOpenManager();
}

void CMainFrame::PropagateWarningStatus(CDevice* device) { device->SystemEntries().AnnounceWarningStatus(); }
