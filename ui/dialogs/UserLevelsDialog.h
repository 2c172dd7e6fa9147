// "User Levels", the second page of the "File Properties" sheet: a working copy of the system's
// users (at most 10) with their names, passwords, six rights and access to devices and custom
// panels. Nothing reaches the system before Apply.
#pragma once

#include <QTreeWidgetItem>
#include <cstdint>
#include <memory>
#include <vector>

#include "ui/SettingsSheet.h"

class CSystem;
class CUser;
class CEditableListBox;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QTreeWidget;

class CUserLevelsDialog : public CSettingsPage {
 public:
  // The six rights in the order of the page: restriction bit, check box text.
  struct Right {
    std::uint64_t bit;
    const char* text;
  };
  static constexpr int kRightCount = 6;
  static const Right kRights[kRightCount];

  explicit CUserLevelsDialog(CSystem* system, QWidget* parent = nullptr);
  ~CUserLevelsDialog() override;

  // False, with a message, when users were imported from a unit since the page read them
  // (the page then reads them again), or when a password would not come back from the file
  // as typed (that user is then shown).
  bool Validate() override;
  // Copies the working users back, marks the file modified and, online, asks the worker to
  // write the users to the devices. A page the user never opened applies nothing, as a
  // property sheet applies only the pages it has shown.
  void Apply() override;
  static const char* UsersImportedText();
  bool IsModified() const { return m_modified; }

  // The working users, in list order.
  const std::vector<std::unique_ptr<CUser>>& GetWorkingUsers() const { return m_users; }
  CUser* GetShownUser() const { return m_shownUser; }

  CEditableListBox* UserList() const { return m_userList; }
  // The pictures of the Add and Delete buttons.
  static constexpr std::uint32_t kAddBitmap = 327;
  static constexpr std::uint32_t kDeleteBitmap = 328;
  QPushButton* AddButton() const { return m_add; }
  QPushButton* DeleteButton() const { return m_delete; }
  QCheckBox* RightBox(int i) const { return m_rights[i]; }
  QLineEdit* PasswordEdit() const { return m_password; }
  QTreeWidget* PanelTree() const { return m_tree; }
  QTreeWidgetItem* DevicesRoot() const { return m_devicesRoot; }
  QTreeWidgetItem* PanelsRoot() const { return m_panelsRoot; }

  void OnSelchangeUserList();
  void OnBnClickedAddUser();
  void OnBnClickedDeleteUser();
  // The list renamed row index in place: a name the file would not keep, an empty one or one
  // that another user has is refused with a message and the row shows oldText again.
  void OnUserRenamed(int index, const QString& oldText);
  // "User%d" with the smallest n >= 1 that no working user is named.
  std::string MakeUniqueUserName() const;

 protected:
  // Enter and Escape end a rename and never close the sheet.
  void keyPressEvent(QKeyEvent* event) override;
  // The same for the page's controls before they see the key: a focused Add or Delete button
  // takes neither key as a click.
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  // True when the key ended a rename (or would have): Enter, Return or Escape.
  bool TakeRenameKey(const QKeyEvent& key);
  // Fills the list with working copies of the system's users, the current one selected.
  void LoadUsers();
  CUser* RowUser(int row) const;
  void SetRowUser(int row, CUser* user);
  void OnRightClicked(int i);
  void OnChangePassword(const QString& text);
  void FillPanelTree();
  void StorePanelTree(CUser* user);

  CSystem* m_system;
  CUser* m_shownUser = nullptr;
  std::vector<std::unique_ptr<CUser>> m_users;
  // Index among the system's users that each working user was copied from; -1 for a new one.
  std::vector<int> m_origins;
  CEditableListBox* m_userList;
  QPushButton* m_add;
  QPushButton* m_delete;
  QCheckBox* m_rights[kRightCount];
  QLineEdit* m_password;
  QTreeWidget* m_tree;
  QTreeWidgetItem* m_devicesRoot = nullptr;
  QTreeWidgetItem* m_panelsRoot = nullptr;
  bool m_loading = false;
  bool m_modified = false;
  bool m_shown = false;
  std::uint32_t m_imports = 0;  // the system's count of imports when the users were read
};

// "General", the first page of the "File Properties" sheet: the three options of the file.
class CGeneralFilePropertiesDialog : public CSettingsPage {
 public:
  explicit CGeneralFilePropertiesDialog(CSystem* system, QWidget* parent = nullptr);
  // When users were imported since the page read the security flag, the box shows the flag
  // again (the users page tells the person and refuses).
  bool Validate() override;
  void Apply() override;

  QCheckBox* FullScreenBox() const { return m_fullScreen; }
  QCheckBox* SecurityBox() const { return m_security; }
  QCheckBox* GoOnlineBox() const { return m_goOnline; }

 private:
  CSystem* m_system;
  QCheckBox* m_fullScreen;
  QCheckBox* m_security;
  QCheckBox* m_goOnline;
  std::uint32_t m_imports = 0;
};
