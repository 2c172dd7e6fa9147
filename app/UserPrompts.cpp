// The real message boxes and file dialogs behind IUserPrompts.
#include "app/UserPrompts.h"

#include <algorithm>

#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QUrl>
#include <QVBoxLayout>

#include "ui/images/ImageLibraryManagerDlg.h"
#include "ui/ConfirmDialogsDlg.h"
#include "ui/ConfirmDlg.h"
#include "ui/DeleteZoneAskDlg.h"
#include "widgets/FileFilters.h"
#include "ui/GoOnlineAskDlg.h"
#include "ui/SettingsSheet.h"
#include "ui/SnapshotDialogs.h"
#include "core/system/System.h"
#include "ui/dialogs/LinkManagerDlg.h"
#include "ui/dialogs/PasswordDialogs.h"
#include "ui/dialogs/UserLevelsDialog.h"
#include "ui/loader/UniversalLoaderDialog.h"

IUserPrompts::Answer CQtUserPrompts::AskYesNoCancel(const std::string& caption,
                                                    const std::string& text) {
  const auto button = QMessageBox::question(
      m_owner, QString::fromStdString(caption), QString::fromStdString(text),
      QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
  if (button == QMessageBox::Yes) return Answer::Yes;
  if (button == QMessageBox::No) return Answer::No;
  return Answer::Cancel;
}

bool CQtUserPrompts::AskYesNo(const std::string& caption, const std::string& text) {
  return QMessageBox::question(m_owner, QString::fromStdString(caption), QString::fromStdString(text),
                               QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

void CQtUserPrompts::ShowMessage(const std::string& caption, const std::string& text, Icon icon) {
  const QString c = QString::fromStdString(caption);
  const QString t = QString::fromStdString(text);
  switch (icon) {
    case Icon::Information: QMessageBox::information(m_owner, c, t); break;
    case Icon::Question: QMessageBox::question(m_owner, c, t, QMessageBox::StandardButtons(QMessageBox::Ok)); break;
    case Icon::Warning:
    case Icon::Exclamation: QMessageBox::warning(m_owner, c, t); break;
  }
}

std::size_t CQtUserPrompts::AskChoice(const std::string& caption, const std::string& text, Icon icon,
                                      const std::vector<std::string>& buttons, std::size_t defaultButton,
                                      std::size_t cancelButton) {
  static constexpr QMessageBox::Icon kIcons[] = {QMessageBox::Information, QMessageBox::Warning,
                                                 QMessageBox::Warning, QMessageBox::Question};
  QMessageBox box(kIcons[int(icon)], QString::fromStdString(caption), QString::fromStdString(text),
                  QMessageBox::NoButton, m_owner);
  std::vector<QPushButton*> pushed;
  for (std::size_t i = 0; i < buttons.size(); ++i)
    pushed.push_back(box.addButton(QString::fromStdString(buttons[i]),
                                   i == cancelButton ? QMessageBox::RejectRole : QMessageBox::AcceptRole));
  if (defaultButton < pushed.size()) box.setDefaultButton(pushed[defaultButton]);
  if (cancelButton < pushed.size()) box.setEscapeButton(pushed[cancelButton]);
  box.exec();
  const auto clicked = std::find(pushed.begin(), pushed.end(), box.clickedButton());
  return clicked == pushed.end() ? cancelButton : std::size_t(clicked - pushed.begin());
}

std::string CQtUserPrompts::ToQtFilter(const std::string& filter) { return ToQtNameFilters(filter).toStdString(); }

namespace {

// Where a file dialog starts: the folder that initialName names (none: where the dialog starts
// by itself), and the name in it unless that is a pattern such as "*.ovd".
struct CDialogStart {
  QString folder;
  QString name;
};

CDialogStart DialogStart(const std::string& initialName) {
  const QString given = QString::fromStdString(initialName);
  const qsizetype slash = given.lastIndexOf(QLatin1Char('/'));
  CDialogStart start;
  if (slash >= 0) start.folder = slash == 0 ? QStringLiteral("/") : given.left(slash);
  const QString name = given.mid(slash + 1);
  if (!name.contains(QLatin1Char('*'))) start.name = name;
  return start;
}

}  // namespace

bool CQtUserPrompts::ChooseFileToOpen(const FileDialogSpec& spec, std::string& path) {
  const CDialogStart start = DialogStart(spec.initialName);
  QString where = start.folder;
  if (!start.name.isEmpty()) where = where.isEmpty() ? start.name : where + QLatin1Char('/') + start.name;
  const QString chosen = QFileDialog::getOpenFileName(
      m_owner, QObject::tr("Open"), where, QString::fromStdString(ToQtFilter(spec.filter)));
  if (chosen.isEmpty()) return false;
  path = chosen.toStdString();
  return true;
}

bool CQtUserPrompts::ChooseFileToSave(const FileDialogSpec& spec, std::string& path) {
  const CDialogStart start = DialogStart(spec.initialName);
  QFileDialog dialog(m_owner, QObject::tr("Save As"), start.folder, QString::fromStdString(ToQtFilter(spec.filter)));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  // A name typed without an extension gets it before the dialog looks for a file to replace.
  dialog.setDefaultSuffix(QString::fromStdString(spec.defaultExtension));
  if (!start.name.isEmpty()) dialog.selectFile(start.name);
  if (dialog.exec() != QDialog::Accepted) return false;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty() || chosen.first().isEmpty()) return false;
  path = chosen.first().toStdString();
  return true;
}

bool CQtUserPrompts::AskGoOnline(std::uint32_t& choice, bool& always) {
  CGoOnlineAskDlg dialog(m_owner);
  if (dialog.exec() != QDialog::Accepted) return false;
  choice = dialog.GetChoice();
  always = dialog.GetAlways();
  return true;
}

bool CQtUserPrompts::AskDeleteZone(const std::string& zoneName, int deviceCount, bool& deleteDevices) {
  CDeleteZoneAskDlg dialog(QString::fromStdString(zoneName), deviceCount, m_owner);
  if (dialog.exec() != QDialog::Accepted) return false;
  deleteDevices = dialog.m_bDeleteDevices != 0;
  return true;
}

namespace {

// The confirmations page as a page of the settings sheet.
class CConfirmDialogsPage : public CSettingsPage {
 public:
  CConfirmDialogsPage() : m_page(new CConfirmDialogsDlg(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_page);
  }
  void Apply() override { m_page->OnApply(); }

 private:
  CConfirmDialogsDlg* m_page;
};

}  // namespace

bool CQtUserPrompts::RunSettingsSheet(CSystem& system) {
  CSettingsSheet sheet(QStringLiteral("Settings"), m_owner);
  sheet.AddPage(QStringLiteral("General"), new CGeneralAppSettingsDialog(&system));
  sheet.AddPage(QStringLiteral("Comms"), new CCommsDialog(&system));
  sheet.AddPage(QStringLiteral("Error Log"), new CErrorLogSettingsDlg(&system));
  sheet.AddPage(CConfirmDialogsDlg::Title(), new CConfirmDialogsPage());
  return sheet.exec() == QDialog::Accepted;
}

void CQtUserPrompts::RunLoaderDialog() {
  CUniversalLoaderDialog dialog(m_owner);
  dialog.exec();
}

bool CQtUserPrompts::RunFileProperties(CSystem& system) {
  CSettingsSheet sheet(QStringLiteral("File Properties"), m_owner);
  sheet.AddPage(QStringLiteral("General"), new CGeneralFilePropertiesDialog(&system));
  sheet.AddPage(QStringLiteral("User Levels"), new CUserLevelsDialog(&system));
  return sheet.exec() == QDialog::Accepted;
}

bool CQtUserPrompts::RunSwitchUser(CSystem& system) {
  CSwitchUserDialog dialog(system, m_owner);
  return dialog.exec() == QDialog::Accepted;
}

bool CQtUserPrompts::RunChangePassword(CUser& user) {
  CChangePasswordDialog dialog(user, m_owner);
  return dialog.exec() == QDialog::Accepted;
}

void CQtUserPrompts::RunLinkManager(CSystem& system, std::int32_t& deviceIndex) {
  CLinkManagerDlg dialog(system, m_owner);
  dialog.SetTitle(QStringLiteral("Link Manager"));
  dialog.SetCloseBoxShown(true);
  dialog.SetCurrentDevice(deviceIndex);
  dialog.exec();
  deviceIndex = dialog.GetCurrentDevice();
}

void CQtUserPrompts::RunImageLibraryManager(CSystem& system) {
  CImageLibraryManagerDlg dialog(&system.Images(), m_owner);
  dialog.SetTitle(QStringLiteral("Image Library Manager"));
  dialog.SetCloseBoxShown(true);
  dialog.SetTargetOpacity(1.0f);
  dialog.exec();
}

bool CQtUserPrompts::OpenDocument(const std::string& path) {
  const QString file = QString::fromStdString(path);
  return QFileInfo::exists(file) && QDesktopServices::openUrl(QUrl::fromLocalFile(file));
}

bool CQtUserPrompts::AskConfirm(const std::string& caption, const std::string& question,
                                const std::string& okText, bool& neverAgain) {
  return CQtConfirmPrompt(m_owner).AskConfirm(caption, question, okText, neverAgain);
}

bool CQtUserPrompts::RunSnapshotCreate(CSystem& system, std::int32_t& index, std::string& name, bool& isNew) {
  CSnapshotCreateDlg dialog(m_owner, &system, QStringLiteral("New Snapshot"), QString::fromStdString(name));
  dialog.m_snapshotIndex = index;
  if (dialog.exec() != QDialog::Accepted) return false;
  name = dialog.m_name.toStdString();
  isNew = dialog.m_newSnapshot != 0;
  index = dialog.m_snapshotIndex;
  return true;
}

bool CQtUserPrompts::RunSnapshotRename(CSystem& system, std::int32_t index, std::string& name) {
  CSnapshotRenameDlg dialog(m_owner, &system, index);
  dialog.m_name = QString::fromStdString(name);
  if (dialog.exec() != QDialog::Accepted) return false;
  name = dialog.m_name.toStdString();
  return true;
}
