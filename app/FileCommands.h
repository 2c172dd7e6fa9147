// The main frame's file commands: New, Open, Save, Save As and the recent files, the question
// whether to save before a file is dropped, the system file dialogs, the title, and autosave's
// tick with what it tells in the status bar. UI thread.
#pragma once

#include <optional>
#include <string>

#include "platform/File.h"

class CMainFrame;
class CSystem;

class CFileCommands {
 public:
  // The system file's extension, and the name the file dialogs start with.
  static constexpr const char* kExtension = "ovd";
  static constexpr const char* kInitialName = "*.ovd";
  // The file name part of a path: after the last separator, the whole path when it has none.
  static std::string FileNameOf(const std::string& path);

  CFileCommands(CMainFrame& frame, CSystem& system) : m_frame(frame), m_system(system) {}
  CFileCommands(const CFileCommands&) = delete;
  CFileCommands& operator=(const CFileCommands&) = delete;

  void OnFileNew();
  void OnFileOpen();
  // True when the file was stored (with a path or through the dialog).
  bool OnFileSave();
  void OnFileSaveAs();
  // n = 1 to 4.
  void OnRecentFile(int n);
  // True when the file was opened; false when the user cancelled or the load failed. The file
  // is known by its full path from here on (the title, the recent files, its saves), whatever
  // folder the path was given from. A file that does not open, of which a save cut short kept
  // the earlier bytes, is offered to be put back and opened again.
  bool OpenFilePath(const std::string& path);
  // True when the caller may drop the file (saved, not modified, or No); false on Cancel and
  // when the save did not happen.
  bool AskSaveChanges();
  // 1 OK, 2 Cancel; stored (when given) tells whether the file was stored after OK.
  int SaveAsDialog(bool* stored = nullptr);
  void UpdateTitle();
  // Refreshes of the panes after the system changed as a whole (New, a file that did not open).
  void RefreshAfterClear();

  // The save dialog for a system file, starting at initialName: a name given back without an
  // extension becomes the ".ovd" file, asked about before one of that name is replaced (No asks
  // for a name again). False when no name was given.
  bool ChooseSystemFileToSave(const std::string& initialName, std::string& path);
  // Where the Open and Save As dialogs start: the open file's folder, with its name when
  // withName (Save As); for an untitled system the folder of the file used last, or the
  // documents folder. Without a name the files' pattern stands in its place.
  std::string FileDialogStart(bool withName) const;

  // Timer 78: stores a system that holds changes its file does not, unless a question is open
  // or another program changed the file since it was read or saved.
  void OnAutosave();
  // What autosave could not do, while the file it was told for is the open one; null otherwise.
  const std::string* AutosaveNotice() const;

 private:
  // Stores the file to path; true when it was stored. A failure is reported, or, when failure
  // is given, its text goes there instead.
  bool StoreFile(const std::string& path, std::string* failure = nullptr);
  // False, with a message, when path names no file that can be read.
  bool CheckFileReadable(const std::string& path);
  // Shows text in the status bar in place of the idle text while the file stays the open one.
  void SetAutosaveNotice(const std::string& text);
  // The file was saved or read again: what autosave said about it holds no longer.
  void ForgetAutosaveNotices();

  CMainFrame& m_frame;
  CSystem& m_system;
  // What autosave could not do, for the file at the notice's path, until a save succeeds; the
  // file's stamp on the disk that another program's change was last told for; the file whose
  // failed autosave was told.
  std::string m_autosaveNotice;
  std::string m_autosaveNoticePath;
  std::optional<CFileStamp> m_toldOutsideChange;
  std::string m_autosaveFailureTold;
};
