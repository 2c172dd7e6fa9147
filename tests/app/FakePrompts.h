// Scripted answers for the frame's questions and file dialogs, with a record of what was asked.
#pragma once

#include <algorithm>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/UserPrompts.h"
#include "core/system/System.h"
#include "core/model/User.h"

class CFakePrompts : public IUserPrompts {
 public:
  struct Asked {
    std::string caption;
    std::string text;
  };

  Answer AskYesNoCancel(const std::string& caption, const std::string& text) override {
    questions.push_back({caption, text});
    if (answers.empty()) return Answer::Cancel;
    Answer a = answers.front();
    answers.pop_front();
    return a;
  }
  // From the same queue: Yes is true, anything else (an empty queue too) false.
  bool AskYesNo(const std::string& caption, const std::string& text) override {
    return AskYesNoCancel(caption, text) == Answer::Yes;
  }
  void ShowMessage(const std::string& caption, const std::string& text, Icon) override {
    messages.push_back({caption, text});
    if (onMessage) onMessage(text);
  }
  // A choice asked: answered by the button whose words come next in choiceAnswers (kEnter: the
  // default button), or by the cancel button when none does.
  static constexpr const char* kEnter = "(Enter)";
  struct Choice {
    std::string text;
    std::vector<std::string> buttons;
    std::string defaultButton;
    std::string cancelButton;
  };
  std::size_t AskChoice(const std::string&, const std::string& text, Icon, const std::vector<std::string>& buttons,
                        std::size_t defaultButton, std::size_t cancelButton) override {
    choices.push_back({text, buttons, buttons.at(defaultButton), buttons.at(cancelButton)});
    if (onChoice) onChoice(text);
    if (choiceAnswers.empty()) return cancelButton;
    const std::string answer = choiceAnswers.front();
    choiceAnswers.pop_front();
    if (answer == kEnter) return defaultButton;
    const auto pressed = std::find(buttons.begin(), buttons.end(), answer);
    return pressed == buttons.end() ? cancelButton : std::size_t(pressed - buttons.begin());
  }
  bool ChooseFileToOpen(const FileDialogSpec& spec, std::string& path) override {
    openSpecs.push_back(spec);
    return Next(path);
  }
  bool ChooseFileToSave(const FileDialogSpec& spec, std::string& path) override {
    saveSpecs.push_back(spec);
    return Next(path);
  }
  bool AskGoOnline(std::uint32_t& choice, bool& always) override {
    ++goOnlineAsked;
    if (!goOnlineOk) return false;
    choice = goOnlineChoice;
    always = goOnlineAlways;
    return true;
  }

  bool AskDeleteZone(const std::string& zoneName, int deviceCount, bool& deleteDevices) override {
    ++deleteZoneAsked;
    deleteZoneNames.push_back(zoneName + ":" + std::to_string(deviceCount));
    if (!deleteZoneOk) return false;
    deleteDevices = deleteZoneDevices;
    return true;
  }

  bool RunSettingsSheet(CSystem& system) override {
    ++settingsSheets;
    if (onSettingsSheet) onSettingsSheet(system);
    return settingsOk;
  }

  void RunLoaderDialog() override { ++loaderDialogs; }

  // The snapshot dialogs: what was proposed, and what "the user" answers (nothing: Cancel).
  bool RunSnapshotCreate(CSystem&, std::int32_t& index, std::string& name, bool& isNew) override {
    proposedSnapshotNames.push_back(name);
    proposedSnapshotIndex = index;
    if (!snapshotCreate) return false;
    name = snapshotCreate->name;
    isNew = snapshotCreate->isNew;
    index = snapshotCreate->index;
    return true;
  }
  bool RunSnapshotRename(CSystem&, std::int32_t, std::string& name) override {
    renamedFrom.push_back(name);
    if (!snapshotRename) return false;
    name = *snapshotRename;
    return true;
  }
  struct SnapshotChoice {
    std::string name;
    bool isNew = true;
    std::int32_t index = -1;
  };
  std::optional<SnapshotChoice> snapshotCreate;
  std::optional<std::string> snapshotRename;
  std::vector<std::string> proposedSnapshotNames;
  std::int32_t proposedSnapshotIndex = -2;
  std::vector<std::string> renamedFrom;
  int loaderDialogs = 0;

  // The users and links dialogs: what "the user" does in them, and how they end.
  bool RunFileProperties(CSystem& system) override {
    ++filePropertiesSheets;
    if (onFileProperties) onFileProperties(system);
    return filePropertiesOk;
  }
  bool RunSwitchUser(CSystem& system) override {
    ++switchUserDialogs;
    if (switchToUser >= 0) system.Users().SetCurrentUser(switchToUser);
    return switchToUser >= 0;
  }
  bool RunChangePassword(CUser& user) override {
    ++changePasswordDialogs;
    if (newPassword.empty()) return false;
    user.m_password = newPassword;
    return true;
  }
  void RunLinkManager(CSystem& system, std::int32_t& deviceIndex) override {
    linkManagerDeviceIndexes.push_back(deviceIndex);
    if (onLinkManager) onLinkManager(system);
    deviceIndex = linkManagerDeviceIndexOut;
  }
  void RunImageLibraryManager(CSystem& system) override {
    (void)system;
    ++imageLibraryManagers;
  }
  int imageLibraryManagers = 0;
  bool OpenDocument(const std::string& path) override {
    openedDocuments.push_back(path);
    return openDocumentOk;
  }
  std::function<void(CSystem&)> onFileProperties;
  bool filePropertiesOk = true;
  int filePropertiesSheets = 0;
  int switchToUser = -1;
  int switchUserDialogs = 0;
  std::string newPassword;
  int changePasswordDialogs = 0;
  std::function<void(CSystem&)> onLinkManager;
  std::vector<std::int32_t> linkManagerDeviceIndexes;
  std::int32_t linkManagerDeviceIndexOut = 0;
  std::vector<std::string> openedDocuments;
  bool openDocumentOk = true;

  bool AskConfirm(const std::string& caption, const std::string& question, const std::string&,
                  bool& neverAgain) override {
    confirms.push_back({caption, question});
    neverAgain = confirmNeverAgain;
    return confirmOk;
  }

  // What happens elsewhere while a message is shown or a choice asked (given the text).
  std::function<void(const std::string&)> onMessage, onChoice;

  // Answers in order; an empty queue answers Cancel.
  std::deque<Answer> answers;
  std::deque<std::string> choiceAnswers;
  std::vector<Choice> choices;
  // Paths the file dialogs return in order; an empty string (or none left) is Cancel.
  std::deque<std::string> paths;
  bool goOnlineOk = true;
  std::uint32_t goOnlineChoice = 0;
  bool goOnlineAlways = false;

  std::vector<Asked> questions;
  std::vector<Asked> messages;
  std::vector<FileDialogSpec> openSpecs;
  std::vector<FileDialogSpec> saveSpecs;
  int goOnlineAsked = 0;
  // The delete-zone question: OK or Cancel, and whether the devices go too.
  bool deleteZoneOk = true;
  bool deleteZoneDevices = false;
  int deleteZoneAsked = 0;
  std::vector<std::string> deleteZoneNames;  // "name:device count" of each question
  // The settings sheet: what "the user" changes, and whether it ends with OK.
  std::function<void(CSystem&)> onSettingsSheet;
  bool settingsOk = true;
  int settingsSheets = 0;
  // The confirmation question.
  bool confirmOk = true;
  bool confirmNeverAgain = false;
  std::vector<Asked> confirms;

 private:
  bool Next(std::string& path) {
    if (paths.empty()) return false;
    path = paths.front();
    paths.pop_front();
    return !path.empty();
  }
};
