// Settings sheet and its pages.
#include "ui/SettingsSheet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "core/AppSettings.h"
#include "core/ImageTree.h"
#include "core/System.h"

// --- General ---

CGeneralAppSettingsDialog::CGeneralAppSettingsDialog(CSystem* system, QWidget* parent)
    : CSettingsPage(parent), m_system(system) {
  const CAppSettings& settings = system->GetSettings();
  m_loadLast = new QCheckBox(QStringLiteral("Load last file on startup"), this);
  m_autoSave = new QCheckBox(QStringLiteral("Autosave every"), this);
  m_minutes = new QComboBox(this);
  for (int minutes : {1, 2, 5, 10, 15, 20, 30}) m_minutes->addItem(QString::number(minutes), minutes);
  m_libraryFile = new QLabel(QString::fromStdString(system->GetImageLibraryFilename()), this);
  m_libraryFile->setWordWrap(true);
  m_browse = new QPushButton(QStringLiteral("..."), this);
  m_browse->setFixedWidth(m_browse->fontMetrics().horizontalAdvance(QStringLiteral("...")) + 24);
  connect(m_browse, &QPushButton::clicked, this, [this] {
    const QString path =
        QFileDialog::getOpenFileName(this, QString(), m_libraryFile->text(), QString::fromLatin1(kImageLibraryFilter));
    if (!path.isEmpty()) m_libraryFile->setText(path);
  });
  m_updates = new QCheckBox(QStringLiteral("Check for Updates Automatically"), this);

  // "AutoSave" 0 shows 1 minute; a value the list does not hold leaves it without selection.
  m_minutes->setCurrentIndex(settings.autoSave == 0 ? 0 : m_minutes->findData(int(settings.autoSave)));
  m_loadLast->setChecked(settings.loadLastFileOnStartup);
  m_updates->setChecked(CAppSettings::GetCheckForUpdates());
  m_autoSave->setChecked(settings.autoSave != 0);
  m_minutes->setEnabled(settings.autoSave != 0);
  connect(m_autoSave, &QCheckBox::toggled, m_minutes, &QComboBox::setEnabled);

  auto* autoSaveRow = new QHBoxLayout;
  autoSaveRow->addWidget(m_autoSave);
  autoSaveRow->addWidget(m_minutes);
  autoSaveRow->addWidget(new QLabel(QStringLiteral("minutes"), this));
  autoSaveRow->addStretch();
  auto* library = new QGroupBox(QStringLiteral("Image Library File"), this);
  auto* libraryLayout = new QHBoxLayout(library);
  libraryLayout->addWidget(m_libraryFile, 1);
  libraryLayout->addWidget(m_browse, 0, Qt::AlignTop);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_loadLast);
  layout->addLayout(autoSaveRow);
  layout->addWidget(library);
  layout->addWidget(m_updates);
  layout->addStretch();
}

void CGeneralAppSettingsDialog::Apply() {
  m_system->SetLoadLastFileOnStartup(m_loadLast->isChecked());
  m_system->SetCheckForUpdates(m_updates->isChecked());
  if (m_autoSave->isChecked()) {
    // Without a chosen item the previous minutes stay.
    if (m_minutes->currentIndex() >= 0) {
      m_system->SetAutoSave(std::uint32_t(m_minutes->currentData().toInt()));
    }
  } else {
    m_system->SetAutoSave(0);
  }
  // A library file that does not read leaves the current library in use.
  const std::string library = m_libraryFile->text().toStdString();
  if (!library.empty() && library != m_system->GetImageLibraryFilename() &&
      !m_system->ChangeImageLibraryFile(library))
    m_system->ShowMessage(kChangeLibraryFailedText, kImageLibraryCaption);
}

// --- Comms ---

const char* CCommsDialog::GuidelinesText() {
  return "Fennick / ZelFennick :\n\nDirect USB Connection - Always use 115200 baud\nRS485 Connection - "
         "Same as set on front panel of unit\n\nZel-Series Amplifiers & Breakouts :\n\nAlways use 57600 baud";
}

CCommsDialog::CCommsDialog(CSystem* system, QWidget* parent) : CSettingsPage(parent), m_system(system) {
  const CAppSettings& settings = system->GetSettings();
  m_ports = new QComboBox(this);
  std::vector<std::uint32_t> ports;
  system->ListComPorts(ports);
  for (std::uint32_t port : ports) m_ports->addItem(QStringLiteral("COM%1").arg(port), port);
  m_ports->setCurrentIndex(m_ports->findData(settings.comPort));  // none when it did not open

  m_bauds = new QComboBox(this);
  for (std::uint32_t baud : {115200u, 57600u, 38400u, 19200u, 9600u, 4800u, 2400u}) {
    m_bauds->addItem(QString::number(baud), baud);
  }
  m_bauds->setCurrentIndex(m_bauds->findData(settings.baudRate));

  auto* online = new QGroupBox(QStringLiteral("When going online"), this);
  m_choices[0] = new QRadioButton(QStringLiteral("Retrieve settings from units"), online);
  m_choices[1] = new QRadioButton(QStringLiteral("Send settings to the units"), online);
  m_choices[2] = new QRadioButton(QStringLiteral("Ask me"), online);
  auto* onlineLayout = new QVBoxLayout(online);
  for (QRadioButton* b : m_choices) onlineLayout->addWidget(b);
  if (settings.onGoOnline <= 2) m_choices[settings.onGoOnline]->setChecked(true);

  m_logErrors = new QCheckBox(QStringLiteral("Log comms errors"), this);
  m_logErrors->setChecked(settings.logCommsErrors);
  m_guidelines = new QPushButton(QStringLiteral("?"), this);
  m_guidelines->setToolTip(QStringLiteral("Baud Rate Guidelines"));
  connect(m_guidelines, &QPushButton::clicked, this, [this] {
    QMessageBox::information(this, QStringLiteral("Baud Rate Guidelines"), QString::fromLatin1(GuidelinesText()));
  });

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Port"), m_ports);
  auto* baudRow = new QHBoxLayout;
  baudRow->addWidget(m_bauds, 1);
  baudRow->addWidget(m_guidelines);
  form->addRow(QStringLiteral("Baud rate"), baudRow);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(online);
  layout->addWidget(m_logErrors);
  layout->addStretch();
}

void CCommsDialog::Apply() {
  for (std::uint32_t choice = 0; choice < 3; ++choice) {
    if (m_choices[choice]->isChecked()) m_system->SetOnGoOnline(choice);
  }
  // A list without a selection keeps the setting.
  if (m_ports->currentIndex() >= 0) m_system->SetComPort(m_ports->currentData().toUInt());
  if (m_bauds->currentIndex() >= 0) m_system->SetBaudRate(m_bauds->currentData().toUInt());
  m_system->SetLogCommsErrors(m_logErrors->isChecked());
}

// --- Error Log ---

std::uint32_t CErrorLogSettingsDlg::ReadUnsigned(const QString& text) {
  std::uint64_t value = 0;
  for (QChar c : text.trimmed()) {
    if (!c.isDigit()) break;
    value = std::min<std::uint64_t>(value * 10 + std::uint64_t(c.digitValue()), 0xFFFFFFFFu);
  }
  return std::uint32_t(value);
}

CErrorLogSettingsDlg::CErrorLogSettingsDlg(CSystem* system, QWidget* parent)
    : CSettingsPage(parent), m_system(system) {
  const CAppSettings& settings = system->GetSettings();
  m_tempBox = new QCheckBox(QStringLiteral("Log error and show warning if any temperature exceeds"), this);
  m_temp = new QLineEdit(QString::number(settings.temperatureWarning), this);
  m_logSize = new QLineEdit(QString::number(settings.maxLogFileSizeKB), this);
  m_tempBox->setChecked(settings.temperatureWarning != 0);
  m_temp->setEnabled(settings.temperatureWarning != 0);
  connect(m_tempBox, &QCheckBox::toggled, m_temp, &QLineEdit::setEnabled);

  auto* tempRow = new QHBoxLayout;
  tempRow->addWidget(m_temp);
  tempRow->addWidget(new QLabel(QStringLiteral("degrees C"), this));
  auto* sizeRow = new QHBoxLayout;
  sizeRow->addWidget(new QLabel(QStringLiteral("Max log file size"), this));
  sizeRow->addWidget(m_logSize);
  sizeRow->addWidget(new QLabel(QStringLiteral("Kb"), this));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_tempBox);
  layout->addLayout(tempRow);
  layout->addLayout(sizeRow);
  layout->addStretch();
}

void CErrorLogSettingsDlg::Apply() {
  m_system->SetTemperatureWarning(m_tempBox->isChecked() ? ReadUnsigned(m_temp->text()) : 0);
  m_system->SetMaxLogFileSizeKB(ReadUnsigned(m_logSize->text()));
}

// --- The sheet ---

CSettingsSheet::CSettingsSheet(const QString& title, QWidget* parent) : QDialog(parent) {
  setWindowTitle(title);
  m_navigation = new QListWidget(this);
  m_navigation->setFixedWidth(100);
  m_navigation->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  m_pages = new QStackedWidget(this);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &CSettingsSheet::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(m_navigation, &QListWidget::currentRowChanged, m_pages, &QStackedWidget::setCurrentIndex);
  auto* body = new QHBoxLayout;
  body->addWidget(m_navigation);
  body->addWidget(m_pages, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(body);
  layout->addWidget(buttons);
}

void CSettingsSheet::AddPage(const QString& name, CSettingsPage* page) {
  page->setParent(m_pages);
  m_pages->addWidget(page);
  m_pageList.push_back(page);
  m_navigation->addItem(name);
  if (m_navigation->count() == 1) m_navigation->setCurrentRow(0);
  // The list is as wide as its longest page name, so that every name shows whole.
  const int margins = 2 * m_navigation->frameWidth() + 2 * m_navigation->spacing() + 16;
  m_navigation->setFixedWidth(std::max(m_navigation->width(), m_navigation->fontMetrics().horizontalAdvance(name) + margins));
}

void CSettingsSheet::accept() {
  for (CSettingsPage* page : m_pageList) page->Apply();
  QDialog::accept();
}
