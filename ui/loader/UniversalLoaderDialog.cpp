// The loader dialog: port scan, control rules, worker thread and its messages.
#include "ui/loader/UniversalLoaderDialog.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <chrono>

#include "core/comms/SerialComms.h"
#include "platform/SerialPortUsers.h"
#include "widgets/FileFilters.h"
#include "ui/loader/BootFrames.h"
#include "ui/loader/Loaders.h"

namespace {

// Loader workers started and not yet ended.
std::atomic<int> g_runningWorkers{0};

const char kFirmwareFilter[] = "Firmware Files (*.hex)|*.hex|All Files (*.*)|*.*||";
const char kPresetFilter[] = "Preset Files (*.bin)|*.bin|All Files (*.*)|*.*||";
const char kChooseFileText[] = "No firmware file is chosen: choose one with the Firmware button.";

// The busy notice, with the longest the rest of the load may take ("3 min 12 s").
QString BusyNoticeText(std::uint64_t remainingMs) {
  if (remainingMs == 0) return QStringLiteral("The load cannot be interrupted. Please wait for it to end.");
  const std::uint64_t seconds = (remainingMs + 999) / 1000;
  QString wait = QStringLiteral("%1 s").arg(seconds);
  if (seconds >= 60) {
    wait = seconds % 60 == 0 ? QStringLiteral("%1 min").arg(seconds / 60)
                             : QStringLiteral("%1 min %2 s").arg(seconds / 60).arg(seconds % 60);
  }
  return QStringLiteral("The load cannot be interrupted. Please wait: it ends within %1 at the latest.").arg(wait);
}

}  // namespace

// The worker's side of messages 5002 and 5003: each call returns once the dialog has handled it.
class CUniversalLoaderDialog::Report : public ILoaderReport {
 public:
  explicit Report(CUniversalLoaderDialog& dialog) : m_dialog(dialog) {}
  void LogLine(const std::string& text, bool replaceLast) override {
    const QString line = QString::fromStdString(text);
    QMetaObject::invokeMethod(
        &m_dialog, [this, line, replaceLast] { m_dialog.OnLogLine(line, replaceLast); },
        Qt::BlockingQueuedConnection);
  }
  void Progress(int percent) override {
    QMetaObject::invokeMethod(
        &m_dialog, [this, percent] { m_dialog.OnProgress(percent); }, Qt::BlockingQueuedConnection);
  }

 private:
  CUniversalLoaderDialog& m_dialog;
};

CUniversalLoaderDialog::CUniversalLoaderDialog(QWidget* parent, ILoaderClock* clock)
    : QDialog(parent), m_clock(clock ? *clock : m_systemClock) {
  setWindowTitle(QStringLiteral("Firmware / Preset Loader"));

  auto* statusBox = new QGroupBox(QStringLiteral("Status"), this);
  m_status = new QLabel(statusBox);
  m_status->setAlignment(Qt::AlignCenter);
  m_status->setMinimumHeight(24);
  QFont bold = m_status->font();
  bold.setBold(true);
  m_status->setFont(bold);
  m_firmwareButton = new QPushButton(QStringLiteral("Firmware"), statusBox);
  m_presetsButton = new QPushButton(QStringLiteral("Presets"), statusBox);
  m_firmwareText = new QLineEdit(statusBox);
  m_presetText = new QLineEdit(statusBox);
  for (QLineEdit* text : {m_firmwareText, m_presetText}) {
    text->setReadOnly(true);
    text->setFocusPolicy(Qt::NoFocus);
  }
  for (QPushButton* button : {m_firmwareButton, m_presetsButton}) {
    button->setAutoDefault(false);
    button->setMinimumWidth(90);
  }
  auto* statusLayout = new QGridLayout(statusBox);
  statusLayout->addWidget(m_status, 0, 0, 1, 2);
  statusLayout->addWidget(m_firmwareButton, 1, 0);
  statusLayout->addWidget(m_firmwareText, 1, 1);
  statusLayout->addWidget(m_presetsButton, 2, 0);
  statusLayout->addWidget(m_presetText, 2, 1);
  statusLayout->setColumnStretch(1, 1);

  m_log = new CHListBox(this);
  m_log->setSelectionMode(QAbstractItemView::NoSelection);
  m_log->setMinimumHeight(180);

  auto* progressBox = new QGroupBox(QStringLiteral("Progress"), this);
  m_progress = new QProgressBar(progressBox);
  m_progress->setRange(0, 100);
  m_progress->setValue(0);
  m_loadButton = new QPushButton(QStringLiteral("Load"), progressBox);
  m_loadButton->setAutoDefault(false);
  m_loadButton->setMinimumWidth(90);
  auto* progressLayout = new QHBoxLayout(progressBox);
  progressLayout->addWidget(m_progress, 1);
  progressLayout->addWidget(m_loadButton);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(statusBox);
  layout->addWidget(m_log, 1);
  layout->addWidget(progressBox);
  resize(560, 440);

  connect(m_firmwareButton, &QPushButton::clicked, this, [this] { OnBnClickedFirmware(); });
  connect(m_presetsButton, &QPushButton::clicked, this, [this] { OnBnClickedPresets(); });
  connect(m_loadButton, &QPushButton::clicked, this, [this] { OnBnClickedLoad(); });
  m_scanTimer.setInterval(kScanPeriodMs);
  connect(&m_scanTimer, &QTimer::timeout, this, [this] { ScanStep(); });

  // What OnInitDialog does: the worker waits for loads from now on.
  m_runFlag = 1;
  ++g_runningWorkers;
  m_worker = std::thread([this] {
    WorkerLoop();
    --g_runningWorkers;
  });
  UpdateControls();
  ShowFirmwareControls(false);
  ShowPresetControls(false);
  m_scanTimer.start();
  m_status->setText(QStringLiteral("Scanning ports for device..."));
}

CUniversalLoaderDialog::~CUniversalLoaderDialog() { StopWorker(); }

int CUniversalLoaderDialog::RunningWorkers() { return g_runningWorkers.load(); }

void CUniversalLoaderDialog::SetFileChooser(std::function<std::string(const std::string& filter)> chooser) {
  m_chooser = std::move(chooser);
}

QString CUniversalLoaderDialog::GetStatusText() const { return m_status->text(); }

QStringList CUniversalLoaderDialog::GetLogLines() const {
  QStringList lines;
  for (int i = 0; i < m_log->count(); ++i) lines << m_log->item(i)->text();
  return lines;
}

void CUniversalLoaderDialog::ScanStep() {
  if (m_scanStepRunning || IsLoading() || m_runFlag.load() == 0) return;
  m_scanRequest = ScanRequest{m_connectedPort, m_nextPort};
  m_scanStepRunning = true;
  m_scanRequested = 1;
}

namespace {

// The longest a probe's bytes may take to leave the port: they are on the wire for well under
// a millisecond, so a line that has not taken them by then takes no bytes, and the step (and an
// Escape waiting for it) does not wait the port's seconds for them.
constexpr std::uint32_t kProbeWriteLimitMs = 100;

bool OpenForProbes(CSerialComms& port, std::uint32_t portNumber, std::uint32_t baud) {
  port.Close();
  if (!port.Open(portNumber, baud, false)) return false;
  SerialTimeouts timeouts = port.GetTimeouts();
  timeouts.writeTotalConstant = kProbeWriteLimitMs;
  port.SetRawTimeouts(timeouts);
  return true;
}

}  // namespace

CUniversalLoaderDialog::ScanOutcome CUniversalLoaderDialog::RunScanStep(const ScanRequest& request) {
  ScanOutcome outcome;
  outcome.nextPort = request.nextPort;
  const auto goOn = [this] { return m_runFlag.load() != 0; };
  CSerialComms port;
  if (request.connectedPort != 0) {
    outcome.portNumber = request.connectedPort;
    outcome.opened = OpenForProbes(port, outcome.portNumber, kScanBaud);
  } else {
    if (outcome.nextPort == kLastPort + 1) outcome.nextPort = 1;
    // Who holds which line is read once for the ports tried in this step.
    const CSerialLineUsersLook look;
    while (!outcome.opened && outcome.nextPort <= kLastPort && goOn()) {
      outcome.portNumber = outcome.nextPort++;
      outcome.opened = OpenForProbes(port, outcome.portNumber, kScanBaud);
    }
  }
  if (outcome.opened) {
    outcome.type = QueryTypeShortId(port, m_clock);
    if (outcome.type == 0 && goOn()) {
      OpenForProbes(port, outcome.portNumber, kScanBaud);
      outcome.type = QueryTypeShortId(port, m_clock);
    }
    if (outcome.type == 0 && goOn()) {
      OpenForProbes(port, outcome.portNumber, kLongIdBaud);
      if (const std::uint32_t longId = QueryLongId(port, m_clock); longId != 0 && goOn()) {
        outcome.type = QueryTypeLongId(port, m_clock, longId);
      }
    }
  }
  port.Close();
  return outcome;
}

void CUniversalLoaderDialog::OnScanStepDone(const ScanOutcome& outcome) {
  m_scanStepRunning = false;
  ++m_finishedScanSteps;
  // A load started since, or the dialog ending, makes the step's outcome old news.
  if (IsLoading() || m_runFlag.load() == 0) return;
  m_nextPort = outcome.nextPort;
  if (!outcome.opened) {
    if (m_connected) LostSteps();
  } else if (const std::uint8_t type = outcome.type; LoaderKindOf(type) != LoaderKind::kNone) {
    if (!m_connected) {
      // A unit found anew starts with an empty log and bar: the last load's were another's.
      m_log->ResetContent();
      m_progress->setValue(0);
      m_connected = true;
      m_deviceType = type;
      m_status->setText(QString::fromStdString(ConnectedText(type)));
      m_connectedPort = outcome.portNumber;
      SetAsideFilesOfAnotherModel();
      UpdateControls();
    } else if (type != m_deviceType) {
      // Another model answers in the place of the one found: it is that one now.
      m_deviceType = type;
      m_status->setText(QString::fromStdString(ConnectedText(type)));
      SetAsideFilesOfAnotherModel();
      UpdateControls();
    }
  } else {
    LostSteps();
  }
  UpdateControls();
}

void CUniversalLoaderDialog::LostSteps() {
  if (!m_connected) return;
  m_connected = false;
  m_deviceType = 0;
  m_connectedPort = 0;
  m_status->setText(QStringLiteral("Device disconnected"));
  ShowFirmwareControls(false);
  ShowPresetControls(false);
}

void CUniversalLoaderDialog::ShowFirmwareControls(bool shown) {
  m_firmwareButton->setVisible(shown);
  m_firmwareText->setVisible(shown);
}

void CUniversalLoaderDialog::ShowPresetControls(bool shown) {
  m_presetsButton->setVisible(shown);
  m_presetText->setVisible(shown);
}

void CUniversalLoaderDialog::UpdateControls() {
  bool enable = false;
  if (m_connected) {
    switch (LoaderKindOf(m_deviceType)) {
      case LoaderKind::kAmpModule:
        ShowFirmwareControls(true);
        ShowPresetControls(true);
        enable = !m_firmwarePath.empty() || !m_presetPath.empty();
        break;
      case LoaderKind::kProcessor:
        if (m_deviceType == 0x10 || m_deviceType == 0x11) {
          // The loader picks the file itself.
          ShowFirmwareControls(false);
          ShowPresetControls(false);
          enable = true;
        } else {
          ShowFirmwareControls(true);
          ShowPresetControls(false);
          enable = !m_firmwarePath.empty();
        }
        break;
      case LoaderKind::kSornic:
        ShowFirmwareControls(true);
        ShowPresetControls(false);
        enable = true;
        break;
      case LoaderKind::kZel:
        ShowFirmwareControls(false);
        ShowPresetControls(false);
        enable = true;
        break;
      case LoaderKind::kNone: break;
    }
  }
  m_loadButton->setEnabled(enable);
  m_progress->setEnabled(enable);
}

void CUniversalLoaderDialog::ChooseFile(const char* filter, std::string& path, std::uint8_t& chosenFor,
                                        QLineEdit* text) {
  const std::string chosen =
      m_chooser ? m_chooser(filter)
                : QFileDialog::getOpenFileName(this, QString(), QString(), ToQtNameFilters(filter)).toStdString();
  if (chosen.empty()) return;
  path = chosen;
  chosenFor = m_deviceType;
  text->setText(QString::fromStdString(chosen));
  text->setToolTip(text->text());
  UpdateControls();
}

void CUniversalLoaderDialog::OnBnClickedFirmware() {
  ChooseFile(kFirmwareFilter, m_firmwarePath, m_firmwareFor, m_firmwareText);
}

void CUniversalLoaderDialog::OnBnClickedPresets() { ChooseFile(kPresetFilter, m_presetPath, m_presetFor, m_presetText); }

void CUniversalLoaderDialog::SetAsideFilesOfAnotherModel() {
  std::uint8_t chosenFor = 0;
  int setAside = 0;
  const auto setAsideOne = [&](std::string& path, std::uint8_t& forType, QLineEdit* text) {
    if (path.empty() || forType == m_deviceType) return;
    chosenFor = forType;
    ++setAside;
    path.clear();
    forType = 0;
    text->clear();
    text->setToolTip(QString());
  };
  setAsideOne(m_firmwarePath, m_firmwareFor, m_firmwareText);
  setAsideOne(m_presetPath, m_presetFor, m_presetText);
  if (setAside == 0) return;
  // A file picked for one model never goes into another: the person picks again.
  AddLogLine((setAside == 1 ? QStringLiteral("The file chosen for the %1 was set aside: this unit is another model.")
                             : QStringLiteral("The files chosen for the %1 were set aside: this unit is another model."))
                 .arg(QString::fromStdString(LoaderModelName(chosenFor))));
}

bool CUniversalLoaderDialog::ChosenFileMissing() const {
  switch (LoaderKindOf(m_deviceType)) {
    case LoaderKind::kAmpModule: return m_firmwarePath.empty() && m_presetPath.empty();
    case LoaderKind::kSornic: return m_firmwarePath.empty();
    case LoaderKind::kProcessor: return m_deviceType != 0x10 && m_deviceType != 0x11 && m_firmwarePath.empty();
    default: return false;
  }
}

void CUniversalLoaderDialog::OnBnClickedLoad() {
  if (IsLoading() || !m_loadButton->isEnabled()) return;
  if (ChosenFileMissing()) {
    // Nothing to send: say what to do rather than start a load that can only fail.
    if (m_log->count() == 0 || m_log->item(m_log->count() - 1)->text() != QLatin1String(kChooseFileText))
      AddLogLine(QString::fromLatin1(kChooseFileText));
    return;
  }
  m_scanTimer.stop();
  // A step not taken up yet is not made: the load has the line. One under way ends first.
  if (m_scanRequested.exchange(0) != 0) m_scanStepRunning = false;
  m_loadButton->setEnabled(false);
  m_firmwareButton->setEnabled(false);
  m_presetsButton->setEnabled(false);
  m_log->ResetContent();
  m_progress->setValue(0);
  m_job.connectedPort = m_connectedPort;
  m_job.deviceType = m_deviceType;
  m_job.firmwarePath = m_firmwarePath;
  m_job.firmwareFor = m_firmwareFor;
  m_job.presetPath = m_presetPath;
  m_job.programFolder = m_programFolder;
  // The loaders' own bound, and a twentieth and a second more for the machine's delays
  // (opening ports, the threads' turns) that the bound leaves out.
  const std::uint64_t longest = LongestLoadMs(m_job);
  m_loadEndsByMs = m_clock.NowMs() + longest + longest / 20 + 1000;
  m_noticeRow = -1;
  m_loading = 1;
}

void CUniversalLoaderDialog::WorkerLoop() {
  Report report(*this);
  while (m_runFlag.load()) {
    if (m_loading.load() == 0 && m_scanRequested.exchange(0) != 0) {
      const ScanRequest request = m_scanRequest;
      const ScanOutcome outcome = RunScanStep(request);
      QMetaObject::invokeMethod(this, [this, outcome] { OnScanStepDone(outcome); }, Qt::QueuedConnection);
      continue;
    }
    if (m_loading.load() == 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      continue;
    }
    const bool ok = RunLoad(m_job, report);
    // Cleared before the result goes out: once the dialog has the result it may start the
    // next load, which must not be taken for this one ending.
    m_loading = 0;
    QMetaObject::invokeMethod(this, [this, ok] { OnLoadFinished(ok); }, Qt::QueuedConnection);
  }
  m_workerEnded = true;
}

bool CUniversalLoaderDialog::RunLoad(const CLoaderJob& job, ILoaderReport& report) {
  const CLoaderContext context{job, m_clock, report};
  switch (LoaderKindOf(job.deviceType)) {
    case LoaderKind::kAmpModule: {
      bool ok = true;
      if (!job.firmwarePath.empty()) ok = LoadAmpFirmware(context);
      if (!job.presetPath.empty() && ok) ok = LoadAmpPresets(context);
      return ok;
    }
    case LoaderKind::kZel: return LoadZelFirmware(context);
    case LoaderKind::kProcessor: return LoadProcessorFirmware(context);
    case LoaderKind::kSornic: return LoadSornicAmpFirmware(context);
    case LoaderKind::kNone: break;
  }
  return true;
}

void CUniversalLoaderDialog::OnProgress(int percent) {
  m_progress->setRange(0, 100);
  m_progress->setValue(percent);
}

void CUniversalLoaderDialog::OnLogLine(const QString& text, bool replaceLast) {
  // The worker's last line is the last row, or the one above the busy notice.
  int last = m_log->count() - 1;
  if (last >= 0 && last == m_noticeRow) --last;
  if (replaceLast && last >= 0) {
    m_log->DeleteString(last);
    if (last < m_noticeRow) --m_noticeRow;
  }
  AddLogLine(text);
}

void CUniversalLoaderDialog::ShowBusyNotice() {
  const std::uint64_t now = m_clock.NowMs();
  RemoveBusyNotice();
  AddLogLine(BusyNoticeText(m_loadEndsByMs > now ? m_loadEndsByMs - now : 0));
  m_noticeRow = m_log->count() - 1;
}

void CUniversalLoaderDialog::RemoveBusyNotice() {
  if (m_noticeRow >= 0) m_log->DeleteString(m_noticeRow);
  m_noticeRow = -1;
}

void CUniversalLoaderDialog::AddLogLine(const QString& text) {
  m_log->AddString(text);
  m_log->scrollToBottom();
}

void CUniversalLoaderDialog::OnLoadFinished(bool ok) {
  ++m_finishedLoads;
  // The refusal ends with the load.
  RemoveBusyNotice();
  m_loadButton->setEnabled(true);
  m_progress->setEnabled(true);
  m_firmwareButton->setEnabled(true);
  m_presetsButton->setEnabled(true);
  // A load that went through is all done, whatever its last progress report said.
  if (ok) OnProgress(100);
  AddLogLine(ok ? QStringLiteral("Load complete!") : QStringLiteral("Load failed!"));
  AddLogLine(QStringLiteral("Disconnect this device to start scanning for the next device to load."));
  m_scanTimer.start();
}

void CUniversalLoaderDialog::StopWorker() {
  m_runFlag = 0;
  if (!m_worker.joinable()) return;
  // A load still running reports to this thread; let it through until the worker ends. A load
  // asked for but not yet taken up is never started (then loading stays set), so the wait is
  // for the worker itself.
  while (!m_workerEnded.load()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  m_worker.join();
}

void CUniversalLoaderDialog::accept() {
  if (IsLoading()) return ShowBusyNotice();
  StopWorker();
  QDialog::accept();
}

void CUniversalLoaderDialog::reject() {
  if (IsLoading()) return ShowBusyNotice();
  StopWorker();
  QDialog::reject();
}

void CUniversalLoaderDialog::closeEvent(QCloseEvent* event) {
  if (IsLoading()) {
    ShowBusyNotice();
    event->ignore();
    return;
  }
  StopWorker();
  QDialog::closeEvent(event);
}
