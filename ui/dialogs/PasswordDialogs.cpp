// Switch user and change password.
#include "ui/dialogs/PasswordDialogs.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/system/System.h"
#include "core/model/User.h"

namespace {

const char* const kPasswordError = "Password Error";
const char* const kSwitchWrongPassword = "The password entered was incorrect.  Try again.";
const char* const kChangeWrongPassword = "The current password is incorrect.  Try again.";

PasswordErrorBox DefaultErrorBox(QWidget* owner) {
  return [owner](const QString& text, const QString& caption) { QMessageBox::warning(owner, caption, text); };
}

// OK and Cancel under a form, OK the default button.
QPushButton* AddButtons(QDialog* dialog, QVBoxLayout* layout) {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  layout->addWidget(buttons);
  QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
  ok->setDefault(true);
  return ok;
}

}  // namespace

CSwitchUserDialog::CSwitchUserDialog(CSystem& system, QWidget* parent)
    : QDialog(parent), m_system(system), m_errorBox(DefaultErrorBox(this)) {
  setWindowTitle(QStringLiteral("Switch User"));
  m_users = new QComboBox(this);
  m_users->setEditable(false);
  m_password = new QLineEdit(this);
  m_password->setEchoMode(QLineEdit::Password);

  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Select User"), m_users);
  form->addRow(QStringLiteral("Enter Password"), m_password);
  layout->addLayout(form);
  m_ok = AddButtons(this, layout);
  setMinimumWidth(300);

  // Every user but the current one, in order, the first selected. Read under the lock, as the
  // comms worker's user import replaces the users.
  {
    CSingleLock lock(m_system.GetLock());
    const CUserList& users = m_system.Users().GetUsers();
    for (std::size_t i = 0; i < users.size() && i < kMaxUsers; ++i) {
      if (int(i) == m_system.Users().GetCurrentUser()) continue;
      m_users->addItem(QString::fromStdString(users[i]->GetName()), QVariant::fromValue(int(i)));
    }
  }
  if (m_users->count() > 0) m_users->setCurrentIndex(0);
  m_password->setFocus();
}

void CSwitchUserDialog::accept() {
  const int row = m_users->currentIndex();
  const int index = row < 0 ? -1 : m_users->itemData(row).toInt();
  std::string password;
  {
    CSingleLock lock(m_system.GetLock());
    const CUserList& users = m_system.Users().GetUsers();
    if (index < 0 || std::size_t(index) >= users.size()) return;
    password = users[std::size_t(index)]->GetPassword();
  }
  if (m_password->text() != QString::fromStdString(password)) {
    m_errorBox(QString::fromLatin1(kSwitchWrongPassword), QString::fromLatin1(kPasswordError));
    return;
  }
  m_system.Users().SetCurrentUser(index);
  QDialog::accept();
}

CChangePasswordDialog::CChangePasswordDialog(CUser& user, QWidget* parent)
    : QDialog(parent), m_user(user), m_errorBox(DefaultErrorBox(this)) {
  setWindowTitle(QStringLiteral("Change Password"));
  m_current = new QLineEdit(this);
  m_current->setEchoMode(QLineEdit::Password);
  m_current->setMaxLength(int(CUser::kFieldSize));
  m_new = new QLineEdit(this);
  m_new->setEchoMode(QLineEdit::Password);
  m_new->setMaxLength(int(CUser::kFieldSize));

  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Enter Current Password"), m_current);
  form->addRow(QStringLiteral("Enter New Password"), m_new);
  layout->addLayout(form);
  m_ok = AddButtons(this, layout);
  setMinimumWidth(320);
}

void CChangePasswordDialog::accept() {
  if (m_current->text() != QString::fromStdString(m_user.GetPassword())) {
    m_errorBox(QString::fromLatin1(kChangeWrongPassword), QString::fromLatin1(kPasswordError));
    return;
  }
  // A password the file would not keep as typed would lock its user out once it is reopened.
  const std::string password = m_new->text().toStdString();
  if (const std::string refusal = UserFieldRefusal(password, "Password"); !refusal.empty()) {
    m_errorBox(QString::fromStdString(refusal), QString::fromLatin1(kPasswordError));
    return;
  }
  m_user.m_password = password;
  QDialog::accept();
}
