// The "Firmware / Preset Loader" dialog: scans the serial ports for one attached unit, offers
// the files its family needs and runs the family's loader on a worker thread of its own, apart
// from the online connection. The worker makes the scan's probes too, one step at a time.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "platform/SerialPort.h"
#include "ui/dialogs/HListBox.h"
#include "ui/loader/LoaderContext.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;

class CUniversalLoaderDialog : public QDialog {
 public:
  // Timer 101 steps the port scan every 200 ms.
  static constexpr int kScanTimer = 101;
  static constexpr int kScanPeriodMs = 200;
  // Port numbers the scan tries, COM1 to COM32.
  static constexpr std::uint32_t kLastPort = kLastComPort;

  // clock: the waits of the probes and the loaders; null uses the machine's clock. UI thread.
  explicit CUniversalLoaderDialog(QWidget* parent = nullptr, ILoaderClock* clock = nullptr);
  ~CUniversalLoaderDialog() override;

  // Gives the path of the file the user picks with a filter in the "A (*.a)|*.a||" form, or an
  // empty text when the user cancels. By default a file-open dialog asks.
  void SetFileChooser(std::function<std::string(const std::string& filter)> chooser);
  // Where the automatically named firmware files and "Orvak.ini" are (default: the program's
  // folder).
  void SetProgramFolder(const std::string& folder) { m_programFolder = folder; }

  // One step of the port scan (timer 101). UI thread: the step's probes run on the worker, so
  // that the window goes on answering while a probe waits on a line (up to a tenth of a second
  // for bytes that do not leave, and the probes' own waits); the outcome comes back to this
  // thread. While a step is under way, or a load runs, a step asked for is passed over.
  void ScanStep();
  // The buttons.
  void OnBnClickedFirmware();
  void OnBnClickedPresets();
  void OnBnClickedLoad();

  bool IsLoading() const { return m_loading.load() != 0; }
  // Loader workers of the process that have not ended yet: each dialog starts one, and its end
  // ends it. Any thread.
  static int RunningWorkers();
  bool IsConnected() const { return m_connected; }
  std::uint8_t GetDeviceType() const { return m_deviceType; }
  std::uint32_t GetConnectedPort() const { return m_connectedPort; }
  std::uint32_t GetNextPort() const { return m_nextPort; }
  bool IsScanning() const { return m_scanTimer.isActive(); }
  // Whether a step of the scan has been handed to the worker and its outcome has not come back;
  // how many outcomes have come back.
  bool IsScanStepRunning() const { return m_scanStepRunning; }
  int GetFinishedScanSteps() const { return m_finishedScanSteps; }
  // How many loads have ended (their result has reached the dialog).
  int GetFinishedLoads() const { return m_finishedLoads; }
  QString GetStatusText() const;
  QStringList GetLogLines() const;

  QPushButton* FirmwareButton() const { return m_firmwareButton; }
  QPushButton* PresetsButton() const { return m_presetsButton; }
  QLineEdit* FirmwarePathText() const { return m_firmwareText; }
  QLineEdit* PresetPathText() const { return m_presetText; }
  QPushButton* LoadButton() const { return m_loadButton; }
  QProgressBar* ProgressBar() const { return m_progress; }
  QListWidget* LogList() const { return m_log; }

  // Enter and Escape end the dialog only while no load runs; while one runs, they and the close
  // box put a line in the log that says the load cannot be interrupted and how long it may last.
  void accept() override;
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  class Report;

  // What a step of the scan starts from, and what it found: the port it opened (none: opened is
  // false), the type code of the unit that answered there (0 none) and where the search goes on.
  struct ScanRequest {
    std::uint32_t connectedPort = 0;
    std::uint32_t nextPort = 1;
  };
  struct ScanOutcome {
    bool opened = false;
    std::uint32_t portNumber = 0;
    std::uint32_t nextPort = 1;
    std::uint8_t type = 0;
  };
  // Worker thread: the step's opens and probes. Between the probes it ends early once the dialog
  // ends.
  ScanOutcome RunScanStep(const ScanRequest& request);
  // UI thread: the state that the outcome of a step changes.
  void OnScanStepDone(const ScanOutcome& outcome);

  void UpdateControls();
  // Asks for a file with the filter; a chosen one goes to path and its text control, and the
  // connected unit's type code to chosenFor.
  void ChooseFile(const char* filter, std::string& path, std::uint8_t& chosenFor, QLineEdit* text);
  // Forgets, with a line in the log, the files chosen for another model than the unit found.
  void SetAsideFilesOfAnotherModel();
  void ShowFirmwareControls(bool shown);
  void ShowPresetControls(bool shown);
  void LostSteps();
  // Clears runFlag and waits for the worker to end, letting the messages of a load it still
  // runs through.
  void StopWorker();
  void WorkerLoop();
  bool RunLoad(const CLoaderJob& job, ILoaderReport& report);
  // Messages from the worker (UI thread).
  void OnProgress(int percent);
  void OnLogLine(const QString& text, bool replaceLast);
  void OnLoadFinished(bool ok);
  void AddLogLine(const QString& text);
  // The refusal to end the dialog while a load runs: its line, put last in the log (in place of
  // an earlier one), which the worker's lines then follow.
  void ShowBusyNotice();
  void RemoveBusyNotice();
  // Whether the unit's family loads a file the user chooses and none is chosen.
  bool ChosenFileMissing() const;

  CSystemLoaderClock m_systemClock;
  ILoaderClock& m_clock;
  std::function<std::string(const std::string&)> m_chooser;
  std::string m_programFolder;

  // Shared with the worker: loading is set here and cleared there; runFlag is cleared here;
  // workerEnded is set there as the worker's last step.
  std::atomic<int> m_loading{0};
  std::atomic<int> m_runFlag{0};
  std::atomic<bool> m_workerEnded{false};
  std::thread m_worker;
  // The worker's copy of the load it runs; written only while loading is 0.
  CLoaderJob m_job;
  // A step of the scan asked of the worker: set here, cleared there when it takes the step up;
  // the request is written only while it is clear.
  std::atomic<int> m_scanRequested{0};
  ScanRequest m_scanRequest;
  bool m_scanStepRunning = false;
  int m_finishedScanSteps = 0;

  bool m_connected = false;
  std::uint8_t m_deviceType = 0;
  std::uint32_t m_nextPort = 1;
  std::uint32_t m_connectedPort = 0;
  std::string m_firmwarePath;
  std::string m_presetPath;
  // The type codes of the units the files were chosen for.
  std::uint8_t m_firmwareFor = 0;
  std::uint8_t m_presetFor = 0;
  int m_finishedLoads = 0;
  // When the running load ends at the latest, on m_clock; the log row of the busy notice, or -1.
  std::uint64_t m_loadEndsByMs = 0;
  int m_noticeRow = -1;

  QTimer m_scanTimer;
  QLabel* m_status;
  QPushButton* m_firmwareButton;
  QPushButton* m_presetsButton;
  QLineEdit* m_firmwareText;
  QLineEdit* m_presetText;
  CHListBox* m_log;
  QProgressBar* m_progress;
  QPushButton* m_loadButton;
};
