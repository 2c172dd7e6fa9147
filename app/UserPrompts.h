// Questions, messages and file choices that the main frame puts to the user. The frame asks
// through this interface so that tests replace it and no test ever blocks on a dialog.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/model/Confirm.h"

class CSystem;
class CUser;
class QWidget;

class IUserPrompts {
 public:
  enum class Answer { Yes, No, Cancel };
  enum class Icon { Information, Warning, Exclamation, Question };

  // A file dialog: the filter in the "Text (*.ext)|*.ext|..." form, the default extension
  // without a dot, and where the dialog starts: a path starts in its folder with its name
  // ("/shows/gig.ovd"), or with none when the name is a pattern ("/shows/*.ovd"); a name
  // without a folder starts where the dialog starts by itself.
  struct FileDialogSpec {
    std::string filter;
    std::string defaultExtension;
    std::string initialName;
  };

  virtual ~IUserPrompts() = default;
  // The confirmation question of risky actions, which the frame hands on for the system object:
  // caption, question, the OK button relabelled okText, "Cancel" and the box for never asking
  // again. True when OK was pressed; neverAgain is then the state of the box.
  virtual bool AskConfirm(const std::string& caption, const std::string& question, const std::string& okText,
                          bool& neverAgain) = 0;

  // UI thread, all of them; each returns when the user has answered.
  virtual Answer AskYesNoCancel(const std::string& caption, const std::string& text) = 0;
  // A question that risks data, with Yes and No, No the default: true for Yes.
  virtual bool AskYesNo(const std::string& caption, const std::string& text) = 0;
  virtual void ShowMessage(const std::string& caption, const std::string& text, Icon icon) = 0;
  // A question answered by one of buttons, in the caller's words: the index of the one pressed.
  // Enter presses defaultButton; Escape and the close box press cancelButton.
  virtual std::size_t AskChoice(const std::string& caption, const std::string& text, Icon icon,
                                const std::vector<std::string>& buttons, std::size_t defaultButton,
                                std::size_t cancelButton) = 0;
  // Full path (UTF-8) of the chosen file; false when the user cancelled.
  virtual bool ChooseFileToOpen(const FileDialogSpec& spec, std::string& path) = 0;
  // The save dialog adds the default extension to a name typed without one, and asks before it
  // names a file that exists: the question is about the file that will be written.
  virtual bool ChooseFileToSave(const FileDialogSpec& spec, std::string& path) = 0;
  // The go-online question: choice 0 retrieve settings from the units, 1 send them; always is
  // the "don't ask me again" box. False when the user cancelled.
  virtual bool AskGoOnline(std::uint32_t& choice, bool& always) = 0;
  // The "Delete Zone" question about the zone named zoneName, which holds deviceCount devices:
  // deleteDevices is the answer; false when the user cancelled.
  virtual bool AskDeleteZone(const std::string& zoneName, int deviceCount, bool& deleteDevices) = 0;
  // The "Settings" sheet of the Options command on the system's settings; true when it ended
  // with OK (its pages have then applied their values).
  virtual bool RunSettingsSheet(CSystem& system) = 0;
  // The modal "Firmware / Preset Loader" dialog, run until the user closes it.
  virtual void RunLoaderDialog() = 0;
  // "New Snapshot": name holds the proposed name and index the snapshot to preselect for
  // overwriting. After OK, isNew with the typed name, or an existing snapshot's index (-1
  // none). False when cancelled.
  virtual bool RunSnapshotCreate(CSystem& system, std::int32_t& index, std::string& name, bool& isNew) = 0;
  // "Rename Snapshot" on the name of snapshot index; false when cancelled.
  virtual bool RunSnapshotRename(CSystem& system, std::int32_t index, std::string& name) = 0;
  // The "File Properties" sheet (general options and user levels); true when it ended with OK
  // (its pages have then applied their values).
  virtual bool RunFileProperties(CSystem& system) = 0;
  // "Switch User"; true when another user became the current one.
  virtual bool RunSwitchUser(CSystem& system) = 0;
  // "Change Password" of user; true when the password was changed.
  virtual bool RunChangePassword(CUser& user) = 0;
  // The "Link Manager" on the system's links; deviceIndex is the device shown, read back.
  virtual void RunLinkManager(CSystem& system, std::int32_t& deviceIndex) = 0;
  // The "Image Library Manager" on the system's two image trees.
  virtual void RunImageLibraryManager(CSystem& system) = 0;
  // Opens a document (UTF-8 path) with the desktop's program for it; false when that failed.
  virtual bool OpenDocument(const std::string& path) = 0;
};

// The real dialogs, owned by a window (the main frame).
class CQtUserPrompts : public IUserPrompts {
 public:
  explicit CQtUserPrompts(QWidget* owner) : m_owner(owner) {}

  Answer AskYesNoCancel(const std::string& caption, const std::string& text) override;
  bool AskYesNo(const std::string& caption, const std::string& text) override;
  void ShowMessage(const std::string& caption, const std::string& text, Icon icon) override;
  std::size_t AskChoice(const std::string& caption, const std::string& text, Icon icon,
                        const std::vector<std::string>& buttons, std::size_t defaultButton,
                        std::size_t cancelButton) override;
  bool ChooseFileToOpen(const FileDialogSpec& spec, std::string& path) override;
  bool ChooseFileToSave(const FileDialogSpec& spec, std::string& path) override;
  bool AskGoOnline(std::uint32_t& choice, bool& always) override;
  bool AskDeleteZone(const std::string& zoneName, int deviceCount, bool& deleteDevices) override;
  bool RunSettingsSheet(CSystem& system) override;
  void RunLoaderDialog() override;
  bool RunSnapshotCreate(CSystem& system, std::int32_t& index, std::string& name, bool& isNew) override;
  bool RunSnapshotRename(CSystem& system, std::int32_t index, std::string& name) override;
  bool RunFileProperties(CSystem& system) override;
  bool RunSwitchUser(CSystem& system) override;
  bool RunChangePassword(CUser& user) override;
  void RunLinkManager(CSystem& system, std::int32_t& deviceIndex) override;
  void RunImageLibraryManager(CSystem& system) override;
  bool OpenDocument(const std::string& path) override;
  bool AskConfirm(const std::string& caption, const std::string& question, const std::string& okText,
                  bool& neverAgain) override;

  // "A (*.a)|*.a|B|*.b||" as a Qt name-filter list "A (*.a);;B (*.b)".
  static std::string ToQtFilter(const std::string& filter);

 private:
  QWidget* m_owner;
};
