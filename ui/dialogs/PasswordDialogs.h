// "Switch User" and "Change Password": two plain dialogs that compare passwords exactly.
#pragma once

#include <QDialog>
#include <functional>

class CSystem;
class CUser;
class QComboBox;
class QLineEdit;
class QPushButton;

// How a wrong password is reported (text, caption): a message box with an exclamation icon
// unless a test replaces it.
using PasswordErrorBox = std::function<void(const QString& text, const QString& caption)>;

// Makes another user of the system the current user once that user's password is entered.
class CSwitchUserDialog : public QDialog {
 public:
  CSwitchUserDialog(CSystem& system, QWidget* parent = nullptr);

  void SetErrorBox(PasswordErrorBox box) { m_errorBox = std::move(box); }
  // Checks the password; on a match the chosen user becomes current and the dialog ends OK.
  void accept() override;

  QComboBox* UserList() const { return m_users; }
  QLineEdit* PasswordEdit() const { return m_password; }
  QPushButton* OkButton() const { return m_ok; }

 private:
  CSystem& m_system;
  PasswordErrorBox m_errorBox;
  QComboBox* m_users;
  QLineEdit* m_password;
  QPushButton* m_ok;
};

// Replaces a user's password once the current one is entered.
class CChangePasswordDialog : public QDialog {
 public:
  CChangePasswordDialog(CUser& user, QWidget* parent = nullptr);

  void SetErrorBox(PasswordErrorBox box) { m_errorBox = std::move(box); }
  void accept() override;

  QLineEdit* CurrentEdit() const { return m_current; }
  QLineEdit* NewEdit() const { return m_new; }
  QPushButton* OkButton() const { return m_ok; }

 private:
  CUser& m_user;
  PasswordErrorBox m_errorBox;
  QLineEdit* m_current;
  QLineEdit* m_new;
  QPushButton* m_ok;
};
