// The user levels page and the general page of the file's properties.
#include "core/model/DeviceTexts.h"
#include "core/comms/CommsWorker.h"
#include "ui/dialogs/UserLevelsDialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "custom/CPData.h"
#include "core/model/Device.h"
#include "core/system/System.h"
#include "core/model/User.h"
#include "ui/dialogs/EditableListBox.h"

const CUserLevelsDialog::Right CUserLevelsDialog::kRights[kRightCount] = {
    {kRestrictChangePassword, "Can Change Password"},
    {kRestrictUseDeviceControls, "Can Use Device Controls"},
    {kRestrictRecallPresets, "Can Recall Presets"},
    {kRestrictApplicationSettings, "Can Change Application Settings"},
    {kRestrictEditDeviceProperties, "Can Edit Device Properties"},
    {kRestrictRecallSnapshots, "Can Recall Snapshots"},
};

namespace {
// Item data of a user row: the working user.
constexpr int kUserRole = Qt::UserRole;
}  // namespace

CUserLevelsDialog::CUserLevelsDialog(CSystem* system, QWidget* parent) : CSettingsPage(parent), m_system(system) {
  m_userList = new CEditableListBox(this);
  m_userList->SetRowRenamedHandler([this](int index, const QString& oldText) { OnUserRenamed(index, oldText); });
  m_add = new QPushButton(QStringLiteral("Add"), this);
  m_delete = new QPushButton(QStringLiteral("Delete"), this);
  m_add->setIcon(PageButtonIcon(kAddBitmap));
  m_delete->setIcon(PageButtonIcon(kDeleteBitmap));
  for (QPushButton* button : {m_add, m_delete}) button->setIconSize(QSize(16, 16));
  for (int i = 0; i < kRightCount; ++i) m_rights[i] = new QCheckBox(QString::fromLatin1(kRights[i].text), this);
  m_password = new QLineEdit(this);
  m_password->setMaxLength(int(CUser::kFieldSize));
  m_tree = new QTreeWidget(this);
  m_tree->setHeaderHidden(true);

  auto* users = new QGroupBox(QStringLiteral("Users"), this);
  auto* usersLayout = new QVBoxLayout(users);
  usersLayout->addWidget(m_userList, 1);
  auto* hint = new QLabel(QStringLiteral("Double click to rename"), users);
  usersLayout->addWidget(hint);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(m_add);
  buttons->addWidget(m_delete);
  usersLayout->addLayout(buttons);

  auto* permissions = new QGroupBox(QStringLiteral("User Permissions"), this);
  auto* permissionsLayout = new QVBoxLayout(permissions);
  for (QCheckBox* box : m_rights) permissionsLayout->addWidget(box);
  auto* passwordRow = new QHBoxLayout;
  passwordRow->addWidget(new QLabel(QStringLiteral("Password"), permissions));
  passwordRow->addWidget(m_password, 1);
  permissionsLayout->addLayout(passwordRow);
  permissionsLayout->addWidget(new QLabel(QStringLiteral("Control Panels"), permissions));
  permissionsLayout->addWidget(m_tree, 1);

  auto* layout = new QHBoxLayout(this);
  layout->addWidget(users, 2);
  layout->addWidget(permissions, 3);

  connect(m_userList, &QListWidget::currentRowChanged, this, [this] { OnSelchangeUserList(); });
  connect(m_add, &QPushButton::clicked, this, [this] { OnBnClickedAddUser(); });
  connect(m_delete, &QPushButton::clicked, this, [this] { OnBnClickedDeleteUser(); });
  for (int i = 0; i < kRightCount; ++i)
    connect(m_rights[i], &QCheckBox::clicked, this, [this, i] { OnRightClicked(i); });
  connect(m_password, &QLineEdit::textChanged, this, [this](const QString& text) { OnChangePassword(text); });

  LoadUsers();
  setMinimumSize(480, 340);
  for (QWidget* control : findChildren<QWidget*>()) control->installEventFilter(this);
}

CUserLevelsDialog::~CUserLevelsDialog() = default;

void CUserLevelsDialog::LoadUsers() {
  m_loading = true;
  m_shownUser = nullptr;
  m_userList->clear();
  m_users.clear();
  m_origins.clear();
  {
    // The worker replaces the users under the lock when it imports them.
    CSingleLock lock(m_system->GetLock());
    m_imports = m_system->Users().GetUserImports();
    // The working copies, in the system's order.
    const CUserList& systemUsers = m_system->Users().GetUsers();
    for (std::size_t i = 0; i < systemUsers.size() && i < kMaxUsers; ++i) {
      auto copy = std::make_unique<CUser>();
      copy->CopyFrom(*systemUsers[i]);
      m_userList->addItem(QString::fromStdString(copy->GetName()));
      SetRowUser(m_userList->count() - 1, copy.get());
      m_users.push_back(std::move(copy));
      m_origins.push_back(int(i));
    }
  }
  m_loading = false;
  const int current = m_system->Users().GetCurrentUser();
  m_userList->setCurrentRow(current >= 0 && current < m_userList->count() ? current : -1);
  OnSelchangeUserList();
  m_modified = false;
}

CUser* CUserLevelsDialog::RowUser(int row) const {
  if (row < 0 || row >= m_userList->count()) return nullptr;
  return reinterpret_cast<CUser*>(m_userList->item(row)->data(kUserRole).value<quintptr>());
}

void CUserLevelsDialog::SetRowUser(int row, CUser* user) {
  m_userList->item(row)->setData(kUserRole, QVariant::fromValue(reinterpret_cast<quintptr>(user)));
}

void CUserLevelsDialog::OnSelchangeUserList() {
  if (m_loading) return;
  m_loading = true;
  CUser* user = RowUser(m_userList->currentRow());
  if (!user) {
    for (QCheckBox* box : m_rights) box->setEnabled(false);
    m_password->clear();
    m_password->setEnabled(false);
    m_tree->clear();
    m_devicesRoot = m_panelsRoot = nullptr;
    m_shownUser = nullptr;
    m_loading = false;
    return;
  }
  StorePanelTree(m_shownUser);
  const std::uint64_t mask = user->GetRestrictionMask();
  for (int i = 0; i < kRightCount; ++i) m_rights[i]->setChecked((mask & kRights[i].bit) == 0);
  if (mask == 0) {
    // An unrestricted user may use everything: nothing to choose.
    for (QCheckBox* box : m_rights) box->setEnabled(false);
    m_tree->clear();
    m_devicesRoot = m_panelsRoot = nullptr;
    m_tree->setEnabled(false);
  } else {
    for (QCheckBox* box : m_rights) box->setEnabled(true);
    m_tree->setEnabled(true);
    m_shownUser = user;
    FillPanelTree();
  }
  m_password->setEnabled(true);
  m_password->setText(QString::fromStdString(user->GetPassword()));
  m_loading = false;
  m_shownUser = user;
}

void CUserLevelsDialog::FillPanelTree() {
  m_tree->clear();
  m_devicesRoot = m_panelsRoot = nullptr;
  CUser* user = m_shownUser;
  if (!user) return;
  m_devicesRoot = new QTreeWidgetItem(m_tree, {QStringLiteral("Devices")});
  m_panelsRoot = new QTreeWidgetItem(m_tree, {QStringLiteral("Custom Control Panels")});
  auto fill = [](QTreeWidgetItem* root, const std::vector<CPanelPermissions*>& records, auto nameOf) {
    // A root stands for what it holds: it shows whether all, none or some of its items are
    // ticked, and a tick or untick of it ticks or unticks every item, which is what is stored.
    root->setFlags(root->flags() | Qt::ItemIsUserCheckable | Qt::ItemIsAutoTristate);
    if (records.empty()) root->setCheckState(0, Qt::Unchecked);
    for (const CPanelPermissions* record : records) {
      auto* item = new QTreeWidgetItem(root, {QString::fromStdString(nameOf(record->GetUuid()))});
      item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
      const bool on = (record->GetFlags() & CPanelPermissions::kCanUse) != 0;
      item->setCheckState(0, on ? Qt::Checked : Qt::Unchecked);
    }
  };
  // Units are named as in the other lists of devices, so that one without a name shows too.
  fill(m_devicesRoot, user->m_devicePermissions, [this](const CUuid& uuid) {
    CDevice* device = m_system->FindDeviceByUuid(uuid);
    return device ? DeviceListText(*device) : std::string();
  });
  fill(m_panelsRoot, user->m_panelPermissions, [this](const CUuid& uuid) {
    for (const CCPData* panel : m_system->GetCustomPanels())
      if (panel->GetUuid() == uuid) return panel->m_name;
    return std::string();
  });
  m_devicesRoot->setExpanded(true);
  m_panelsRoot->setExpanded(true);
}

void CUserLevelsDialog::StorePanelTree(CUser* user) {
  if (!user || user->GetRestrictionMask() == 0 || !m_devicesRoot || !m_panelsRoot) return;
  auto store = [](QTreeWidgetItem* root, std::vector<CPanelPermissions*>& records) {
    for (int i = 0; i < root->childCount() && std::size_t(i) < records.size(); ++i) {
      if (root->child(i)->checkState(0) == Qt::Checked) {
        records[std::size_t(i)]->m_flags |= CPanelPermissions::kCanUse;
      } else {
        records[std::size_t(i)]->m_flags &= ~std::uint32_t(CPanelPermissions::kCanUse);
      }
    }
  };
  store(m_devicesRoot, user->m_devicePermissions);
  store(m_panelsRoot, user->m_panelPermissions);
}

void CUserLevelsDialog::OnRightClicked(int i) {
  CUser* user = RowUser(m_userList->currentRow());
  if (!user) return;
  std::uint64_t mask = user->GetRestrictionMask();
  if (m_rights[i]->isChecked()) {
    mask &= ~kRights[i].bit;
  } else {
    mask |= kRights[i].bit;
  }
  user->SetRestrictionMask(mask);
  m_modified = true;
}

void CUserLevelsDialog::OnChangePassword(const QString& text) {
  if (m_loading) return;
  CUser* user = RowUser(m_userList->currentRow());
  if (!user) return;
  const std::string password = text.toStdString();
  // A character the file cannot keep is refused as it is typed; blanks at the ends are
  // refused at OK, as a blank typed last may be followed by more.
  if (const std::string refusal = UserFieldCharacterRefusal(password, "Password"); !refusal.empty()) {
    m_loading = true;
    m_password->setText(QString::fromStdString(user->m_password));
    m_loading = false;
    Warn(QString::fromStdString(refusal));
    return;
  }
  user->m_password = password;
  m_modified = true;
}

std::string CUserLevelsDialog::MakeUniqueUserName() const {
  for (int n = 1;; ++n) {
    const std::string name = "User" + std::to_string(n);
    bool taken = false;
    for (const auto& user : m_users) taken = taken || user->GetName() == name;
    if (!taken) return name;
  }
}

void CUserLevelsDialog::OnBnClickedAddUser() {
  if (m_users.size() >= kMaxUsers) return;
  auto user = std::make_unique<CUser>();
  user->m_name = MakeUniqueUserName();
  user->m_password = user->m_name;
  user->SetRestrictionMask(kRestrictUseDeviceControls);
  for (const CDevice* device : m_system->GetDevices())
    user->m_devicePermissions.push_back(new CPanelPermissions(device->GetUuid(), CPanelPermissions::kCanUse));
  for (const CCPData* panel : m_system->GetCustomPanels())
    user->m_panelPermissions.push_back(new CPanelPermissions(panel->GetUuid(), CPanelPermissions::kCanUse));
  m_loading = true;
  m_userList->addItem(QString::fromStdString(user->GetName()));
  SetRowUser(m_userList->count() - 1, user.get());
  m_users.push_back(std::move(user));
  m_origins.push_back(-1);
  m_userList->setCurrentRow(m_userList->count() - 1);
  m_loading = false;
  OnSelchangeUserList();
  m_modified = true;
}

void CUserLevelsDialog::OnBnClickedDeleteUser() {
  const int row = m_userList->currentRow();
  if (row <= 0 || std::size_t(row) >= m_users.size()) return;
  m_loading = true;
  delete m_userList->takeItem(row);
  // Forgotten first, so that its tree is not stored into a deleted user.
  m_shownUser = nullptr;
  m_users.erase(m_users.begin() + row);
  m_origins.erase(m_origins.begin() + row);
  m_userList->setCurrentRow(row < m_userList->count() ? row : row - 1);
  m_loading = false;
  OnSelchangeUserList();
  m_modified = true;
}

void CUserLevelsDialog::OnUserRenamed(int index, const QString& oldText) {
  const int row = m_userList->currentRow();
  (void)index;
  if (row < 0 || std::size_t(row) >= m_users.size()) return;
  CUser* user = m_users[std::size_t(row)].get();
  const std::string name = m_userList->item(row)->text().toStdString();
  // Names tell the users apart in Switch Users: each is one the file keeps, and no two alike.
  std::string refusal = name.empty() ? std::string("User name cannot be empty") : UserFieldRefusal(name, "User name");
  for (std::size_t i = 0; refusal.empty() && i < m_users.size(); ++i)
    if (int(i) != row && m_users[i]->GetName() == name) refusal = "A user named \"" + name + "\" exists already";
  if (!refusal.empty()) {
    m_userList->item(row)->setText(oldText);
    SetRowUser(row, user);
    Warn(QString::fromStdString(refusal));
    return;
  }
  user->m_name = name;
  SetRowUser(row, user);
  m_modified = true;
}

bool CUserLevelsDialog::TakeRenameKey(const QKeyEvent& key) {
  if (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) {
    m_userList->EndEdit(true);
    return true;
  }
  if (key.key() == Qt::Key_Escape) {
    m_userList->EndEdit(false);
    return true;
  }
  return false;
}

void CUserLevelsDialog::keyPressEvent(QKeyEvent* event) {
  if (TakeRenameKey(*event)) {
    event->accept();
    return;
  }
  CSettingsPage::keyPressEvent(event);
}

bool CUserLevelsDialog::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && TakeRenameKey(*static_cast<QKeyEvent*>(event))) return true;
  return CSettingsPage::eventFilter(watched, event);
}

void CUserLevelsDialog::showEvent(QShowEvent* event) {
  CSettingsPage::showEvent(event);
  m_shown = true;
}

const char* CUserLevelsDialog::UsersImportedText() {
  return "Users were imported from a unit while this sheet was open.\n\nThe sheet now shows the imported users "
         "and security setting: make your changes again.";
}

bool CUserLevelsDialog::Validate() {
  if (m_system->Users().GetUserImports() != m_imports) {
    // What the sheet holds was read before the import: applied, it would put the old users
    // back and take the unit's users off it.
    LoadUsers();
    Warn(QString::fromLatin1(UsersImportedText()));
    return false;
  }
  if (!m_shown) return true;
  for (std::size_t i = 0; i < m_users.size(); ++i) {
    const CUser& user = *m_users[i];
    // A password the file gave is what the file keeps: only those typed here are checked.
    const int origin = m_origins[i];
    bool fromTheFile = false;
    {
      CSingleLock lock(m_system->GetLock());
      const CUserList& systemUsers = m_system->Users().GetUsers();
      fromTheFile = origin >= 0 && std::size_t(origin) < systemUsers.size() &&
                    systemUsers[std::size_t(origin)]->GetPassword() == user.GetPassword();
    }
    if (fromTheFile) continue;
    const std::string refusal = UserFieldRefusal(user.GetPassword(), ("The password of " + user.GetName()).c_str());
    if (!refusal.empty()) {
      m_userList->setCurrentRow(int(i));
      m_password->setFocus();
      Warn(QString::fromStdString(refusal));
      return false;
    }
  }
  return true;
}

void CUserLevelsDialog::Apply() {
  if (!m_shown) return;
  StorePanelTree(m_shownUser);
  CUserList& systemUsers = m_system->Users().GetUsers();
  // The same person stays logged in: the current index follows its user, and falls back to the
  // administrator when that user was deleted.
  const int current = m_system->Users().GetCurrentUser();
  int newCurrent = 0;
  for (std::size_t i = 0; i < m_origins.size(); ++i)
    if (m_origins[i] >= 0 && m_origins[i] == current) newCurrent = int(i);

  {
    CSingleLock lock(m_system->GetLock());
    const std::size_t n = m_users.size();
    const std::size_t m = systemUsers.size();
    for (std::size_t i = 0; i < std::min(n, m); ++i) systemUsers[i]->CopyFrom(*m_users[i]);
    while (systemUsers.size() > n) {
      delete systemUsers.back();
      systemUsers.pop_back();
    }
    for (std::size_t i = m; i < n && systemUsers.size() < kMaxUsers; ++i) {
      auto* user = new CUser;
      user->CopyFrom(*m_users[i]);
      systemUsers.push_back(user);
    }
    m_system->Users().SetCurrentUser(newCurrent);
  }
  // The working copies now stand for the system's users at the same index.
  for (std::size_t i = 0; i < m_origins.size(); ++i) m_origins[i] = int(i);
  m_system->SetModified(true);
  if (m_system->IsPortOpen()) m_system->GetComms().SetNeedSecuritySet(true);
  m_modified = false;
}

CGeneralFilePropertiesDialog::CGeneralFilePropertiesDialog(CSystem* system, QWidget* parent)
    : CSettingsPage(parent), m_system(system) {
  auto* group = new QGroupBox(QStringLiteral("When this file is opened :"), this);
  m_fullScreen = new QCheckBox(QStringLiteral("Go into full screen mode"), group);
  m_security = new QCheckBox(QStringLiteral("Use system security"), group);
  m_goOnline = new QCheckBox(QStringLiteral("Go online automatically"), group);
  auto* groupLayout = new QVBoxLayout(group);
  groupLayout->addWidget(m_fullScreen);
  groupLayout->addWidget(m_security);
  groupLayout->addWidget(m_goOnline);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group);
  layout->addStretch(1);
  m_fullScreen->setChecked(m_system->File().GetFullScreenOnOpen());
  m_security->setChecked(m_system->Users().GetUseSystemSecurity());
  m_goOnline->setChecked(m_system->File().GetGoOnlineOnOpen());
  m_imports = m_system->Users().GetUserImports();
}

bool CGeneralFilePropertiesDialog::Validate() {
  // An import turned security on since the page read it: the box shows it again, so that an
  // apply keeps it (the users page tells the person and keeps the sheet open).
  if (m_system->Users().GetUserImports() != m_imports) {
    m_security->setChecked(m_system->Users().GetUseSystemSecurity());
    m_imports = m_system->Users().GetUserImports();
  }
  return true;
}

void CGeneralFilePropertiesDialog::Apply() {
  m_system->Users().SetUseSystemSecurity(m_security->isChecked());
  m_system->File().SetFullScreenOnOpen(m_fullScreen->isChecked());
  m_system->File().SetGoOnlineOnOpen(m_goOnline->isChecked());
  m_system->SetModified(true);
  if (m_system->IsPortOpen()) m_system->GetComms().SetNeedSecuritySet(true);
}
