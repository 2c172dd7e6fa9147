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
#include <QIcon>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>

#include "core/support/AppSettings.h"
#include "core/draw/BitmapImage.h"
#include "core/file/ImageTree.h"
#include "core/model/DeviceProperty.h"
#include "core/system/System.h"
#include "platform/TextFormat.h"

QIcon PageButtonIcon(std::uint32_t bitmapId) {
  CBitmapImage picture;
  if (!picture.LoadFromResource(CBitmapImage::kResourceBmp, bitmapId)) return QIcon();
  return QIcon(QPixmap::fromImage(picture.GetImage()->Native()));
}

void CSettingsPage::Warn(const QString& text) {
  if (m_message) {
    m_message(text);
  } else {
    QMessageBox::warning(this, window()->windowTitle(), text);
  }
}

// --- General ---

CGeneralAppSettingsDialog::CGeneralAppSettingsDialog(CSystem* system, QWidget* parent)
    : CSettingsPage(parent), m_system(system) {
  const CAppSettings& settings = system->GetSettings();
  m_loadLast = new QCheckBox(QStringLiteral("Load last file on startup"), this);
  m_autoSave = new QCheckBox(QStringLiteral("Autosave every"), this);
  m_minutes = new QComboBox(this);
  for (int minutes : {1, 2, 5, 10, 15, 20, 30}) m_minutes->addItem(QString::number(minutes), minutes);
  m_libraryFile = new QLabel(QString::fromStdString(system->Settings().GetImageLibraryFilename()), this);
  m_libraryFile->setWordWrap(true);
  m_browse = new QPushButton(QStringLiteral("..."), this);
  m_browse->setFixedWidth(m_browse->fontMetrics().horizontalAdvance(QStringLiteral("...")) + 24);
  connect(m_browse, &QPushButton::clicked, this, [this] {
    const QString path =
        QFileDialog::getOpenFileName(this, QString(), m_libraryFile->text(), QString::fromLatin1(kImageLibraryFilter));
    if (!path.isEmpty()) OnLibraryChosen(path);
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
  m_system->Settings().SetLoadLastFileOnStartup(m_loadLast->isChecked());
  m_system->Settings().SetCheckForUpdates(m_updates->isChecked());
  if (m_autoSave->isChecked()) {
    // Without a chosen item the previous minutes stay.
    if (m_minutes->currentIndex() >= 0) {
      m_system->Settings().SetAutoSave(std::uint32_t(m_minutes->currentData().toInt()));
    }
  } else {
    m_system->Settings().SetAutoSave(0);
  }
  // A library file that does not read leaves the current library in use.
  const std::string library = m_libraryFile->text().toStdString();
  std::string refusal;
  if (!library.empty() && library != m_system->Settings().GetImageLibraryFilename() &&
      !m_system->Images().ChangeImageLibraryFile(library, &refusal))
    RefuseLibrary(library, refusal);
}

void CGeneralAppSettingsDialog::OnLibraryChosen(const QString& path) {
  const std::string chosen = path.toStdString();
  CCCImageDirectory library;
  CImageLoadReport report;
  std::string refusal;
  if (chosen != m_system->Settings().GetImageLibraryFilename() &&
      !ReadImageLibraryFile(chosen, library, report, &refusal)) {
    RefuseLibrary(chosen, refusal);
    return;
  }
  m_libraryFile->setText(path);
}

void CGeneralAppSettingsDialog::RefuseLibrary(const std::string& path, const std::string& refusal) {
  const QString text = QStringLiteral("%1\n\n%2\n%3")
                           .arg(QString::fromUtf8(kChangeLibraryFailedText), QString::fromStdString(path),
                                QString::fromStdString(refusal));
  m_system->ShowMessage(text.toStdString(), kImageLibraryCaption);
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
  system->Settings().ListComPorts(ports);
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
  m_guidelines = new QPushButton(this);
  m_guidelines->setIcon(PageButtonIcon(kGuidelinesBitmap));
  m_guidelines->setIconSize(QSize(24, 24));
  m_guidelines->setFixedSize(32, 30);
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
    if (m_choices[choice]->isChecked()) m_system->Settings().SetOnGoOnline(choice);
  }
  // A list without a selection keeps the setting.
  if (m_ports->currentIndex() >= 0) m_system->Settings().SetComPort(m_ports->currentData().toUInt());
  if (m_bauds->currentIndex() >= 0) m_system->Settings().SetBaudRate(m_bauds->currentData().toUInt());
  m_system->Settings().SetLogCommsErrors(m_logErrors->isChecked());
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

namespace {
// The box's text as the whole number it is (PropertyTextRefusal took it).
long long WholeNumberOf(const QString& text) { return text.trimmed().toLongLong(); }
}  // namespace

std::string CErrorLogSettingsDlg::TemperatureRefusal(const QString& text) {
  std::string refusal = PropertyTextRefusal(EPropertyValueType::UI4, text.toStdString());
  if (!refusal.empty()) return refusal;
  const long long degrees = WholeNumberOf(text);
  if (degrees < kMinTemperatureWarning || degrees > kMaxTemperatureWarning)
    return FormatText("Temperature must be between %u and %u", kMinTemperatureWarning, kMaxTemperatureWarning);
  return std::string();
}

// A log of no size would hold no line: the least is 1 Kb.
std::string CErrorLogSettingsDlg::LogSizeRefusal(const QString& text) {
  std::string refusal = PropertyTextRefusal(EPropertyValueType::UI4, text.toStdString());
  if (refusal.empty() && WholeNumberOf(text) < 0) refusal = "Max log file size cannot be less than 0";
  if (refusal.empty() && WholeNumberOf(text) == 0) refusal = "Max log file size must be at least 1 Kb";
  return refusal;
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

  // Room for six digits in each edit, the unit beside it.
  const int editWidth = m_temp->fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 16;
  for (QLineEdit* edit : {m_temp, m_logSize}) {
    edit->setFixedWidth(editWidth);
    edit->setAlignment(Qt::AlignRight);
  }
  auto* tempRow = new QHBoxLayout;
  // Under the check box's text.
  tempRow->addSpacing(m_tempBox->sizeHint().width() - m_tempBox->fontMetrics().horizontalAdvance(m_tempBox->text()) - 4);
  tempRow->addWidget(m_temp);
  tempRow->addWidget(new QLabel(QStringLiteral("degrees C"), this));
  tempRow->addStretch();
  auto* sizeRow = new QHBoxLayout;
  sizeRow->addWidget(new QLabel(QStringLiteral("Max log file size"), this));
  sizeRow->addWidget(m_logSize);
  sizeRow->addWidget(new QLabel(QStringLiteral("Kb"), this));
  sizeRow->addStretch();
  // A refusal's words in dark red under the boxes; the line is kept while empty, so that the
  // page does not grow when one is shown.
  m_refusal = new QLabel(this);
  m_refusal->setWordWrap(true);
  m_refusal->setMinimumHeight(2 * m_refusal->fontMetrics().lineSpacing());
  m_refusal->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  QPalette refusalColours = m_refusal->palette();
  refusalColours.setColor(QPalette::WindowText, QColor(0xB0, 0x10, 0x10));
  m_refusal->setPalette(refusalColours);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_tempBox);
  layout->addLayout(tempRow);
  layout->addSpacing(8);
  layout->addLayout(sizeRow);
  layout->addSpacing(8);
  layout->addWidget(m_refusal);
  layout->addStretch();
}

bool CErrorLogSettingsDlg::Validate() {
  std::string refusal;
  QLineEdit* box = nullptr;
  if (m_tempBox->isChecked() && !(refusal = TemperatureRefusal(m_temp->text())).empty())
    box = m_temp;
  else if (!(refusal = LogSizeRefusal(m_logSize->text())).empty())
    box = m_logSize;
  m_refusal->setText(QString::fromStdString(refusal));
  if (!box) return true;
  box->setFocus();
  box->selectAll();
  return false;
}

void CErrorLogSettingsDlg::Apply() {
  // A box that holds no setting leaves its setting as it was.
  // What is stored is the number the refusal checked ("+60" is 60, not the digits before the sign).
  if (!m_tempBox->isChecked())
    m_system->Settings().SetTemperatureWarning(0);
  else if (TemperatureRefusal(m_temp->text()).empty())
    m_system->Settings().SetTemperatureWarning(std::uint32_t(WholeNumberOf(m_temp->text())));
  if (LogSizeRefusal(m_logSize->text()).empty())
    m_system->Settings().SetMaxLogFileSizeKB(std::uint32_t(WholeNumberOf(m_logSize->text())));
}

// --- The sheet ---

namespace {

// The notebook's tab bar: each tab in its own colour, the current one in front and a little
// taller, with a dark line under the others.
class CNoteTabBar : public QTabBar {
 public:
  using QTabBar::QTabBar;

 protected:
  QSize tabSizeHint(int index) const override {
    const QSize base = QTabBar::tabSizeHint(index);
    return QSize(base.width() + 12, std::max(base.height(), fontMetrics().height() + 14));
  }
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int current = currentIndex();
    for (int i = count() - 1; i >= -1; --i) {
      if (i == current) continue;
      const int tab = i < 0 ? current : i;  // the current tab last, over its neighbours
      if (tab < 0) break;
      const bool front = tab == current;
      QRectF r = QRectF(tabRect(tab)).adjusted(0.5, front ? 0.5 : 3.5, -0.5, front ? 1 : -0.5);
      QPainterPath path;
      const double radius = 5;
      path.moveTo(r.bottomLeft());
      path.lineTo(r.left(), r.top() + radius);
      path.quadTo(r.topLeft(), QPointF(r.left() + radius, r.top()));
      path.lineTo(r.right() - radius, r.top());
      path.quadTo(r.topRight(), QPointF(r.right(), r.top() + radius));
      path.lineTo(r.bottomRight());
      const QColor colour = CSettingsSheet::TabColour(tab);
      QLinearGradient fill(r.topLeft(), r.bottomLeft());
      fill.setColorAt(0.0, colour.lighter(front ? 115 : 108));
      fill.setColorAt(1.0, front ? CSettingsSheet::PageTint(tab) : colour);
      p.setPen(QPen(colour.darker(150), 1));
      p.setBrush(fill);
      p.drawPath(path);
      QFont font = p.font();
      font.setBold(front);
      p.setFont(font);
      p.setPen(QColor(0x20, 0x20, 0x20));
      p.drawText(r.adjusted(0, front ? 0 : -1, 0, 0), Qt::AlignCenter, tabText(tab));
    }
  }
};

// The shown page's ground: the tint of its tab, outlined in the tab's edge colour.
class CNotePage : public QWidget {
 public:
  using QWidget::QWidget;
  void SetColours(const QColor& fill, const QColor& line) {
    m_fill = fill;
    m_line = line;
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), m_fill);
    p.setPen(m_line);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
  }

 private:
  QColor m_fill = Qt::white;
  QColor m_line = Qt::gray;
};

}  // namespace

QColor CSettingsSheet::TabColour(int i) {
  static const QColor colours[] = {QColor(0x9C, 0xBB, 0xEC), QColor(0xF2, 0xBC, 0x82), QColor(0xAE, 0xD3, 0x9C),
                                   QColor(0xD6, 0xA8, 0xD0), QColor(0xF2, 0xDC, 0x86)};
  return colours[std::size_t(i) % std::size(colours)];
}

QColor CSettingsSheet::PageTint(int i) {
  const QColor c = TabColour(i);
  // A quarter of the tab's colour on white.
  return QColor(0xFF - (0xFF - c.red()) / 4, 0xFF - (0xFF - c.green()) / 4, 0xFF - (0xFF - c.blue()) / 4);
}

CSettingsSheet::CSettingsSheet(const QString& title, QWidget* parent) : QDialog(parent) {
  setWindowTitle(title);
  m_tabs = new CNoteTabBar(this);
  m_tabs->setDrawBase(false);
  m_tabs->setExpanding(false);
  m_body = new CNotePage(this);
  m_pages = new QStackedWidget(m_body);
  auto* bodyLayout = new QVBoxLayout(m_body);
  bodyLayout->setContentsMargins(10, 10, 10, 10);
  bodyLayout->addWidget(m_pages);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &CSettingsSheet::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(m_tabs, &QTabBar::currentChanged, this, [this](int i) { ShowPage(i); });
  auto* layout = new QVBoxLayout(this);
  layout->setSizeConstraint(QLayout::SetFixedSize);  // a sheet keeps the size of its largest page
  layout->setSpacing(0);
  layout->addWidget(m_tabs);
  layout->addWidget(m_body, 1);
  layout->addSpacing(10);
  layout->addWidget(buttons);
}

void CSettingsSheet::ShowPage(int i) {
  if (i < 0) return;
  m_pages->setCurrentIndex(i);
  static_cast<CNotePage*>(m_body)->SetColours(PageTint(i), TabColour(i).darker(150));
}

void CSettingsSheet::AddPage(const QString& name, CSettingsPage* page) {
  page->setParent(m_pages);
  m_pages->addWidget(page);
  m_pageList.push_back(page);
  m_tabs->addTab(name);
  if (m_tabs->count() == 1) ShowPage(0);
}

void CSettingsSheet::accept() {
  // A page that refuses a box is shown, and the sheet stays open.
  for (std::size_t i = 0; i < m_pageList.size(); ++i) {
    if (!m_pageList[i]->Validate()) {
      m_tabs->setCurrentIndex(int(i));
      return;
    }
  }
  for (CSettingsPage* page : m_pageList) page->Apply();
  QDialog::accept();
}
