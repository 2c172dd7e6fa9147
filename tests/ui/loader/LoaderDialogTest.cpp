// The loader dialog driven offscreen: the port scan, the control rules, a load through the
// worker thread with its messages, and the close protocol.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <tuple>

#include "tests/support/LineUsers.h"
#include "tests/support/WaitFor.h"
#include "tests/ui/loader/BootLineFixture.h"
#include "ui/dialogs/HListBox.h"
#include "platform/AppPaths.h"
#include "platform/SerialPortLockFile.h"
#include "platform/SerialPortUsers.h"
#include "ui/loader/UniversalLoaderDialog.h"

namespace {

using Family = CSimBootUnit::Family;

class LoaderDialogTest : public BootLineTest {
 protected:
  std::unique_ptr<CUniversalLoaderDialog> Open() {
    auto dialog = std::make_unique<CUniversalLoaderDialog>(nullptr, m_clock.get());
    dialog->SetProgramFolder(m_job.programFolder);
    dialog->SetFileChooser([this](const std::string& filter) {
      m_filters.push_back(filter);
      return m_nextChoice;
    });
    return dialog;
  }
  // One step of the port scan to its end: the dialog hands it to its worker, and takes the
  // outcome when it comes (no timer runs meanwhile, so no other step starts).
  static void Step(CUniversalLoaderDialog& dialog) {
    const int finished = dialog.GetFinishedScanSteps();
    dialog.ScanStep();
    ASSERT_TRUE(WaitFor([&] {
      QCoreApplication::sendPostedEvents(&dialog, QEvent::MetaCall);
      return dialog.GetFinishedScanSteps() != finished;
    }));
  }
  // Runs the UI thread's events until the dialog has the result of its next load.
  static void WaitForLoad(CUniversalLoaderDialog& dialog) {
    const int finished = dialog.GetFinishedLoads();
    while (dialog.GetFinishedLoads() == finished) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  }
  static bool Shown(QWidget* widget) { return widget->isVisibleTo(widget->window()); }
  // Opens the dialog, finds the unit, chooses m_nextChoice as its firmware and loads it.
  std::unique_ptr<CUniversalLoaderDialog> OpenAndLoad() {
    auto dialog = Open();
    dialog->show();
    Step(*dialog);
    dialog->FirmwareButton()->click();
    dialog->LoadButton()->click();
    WaitForLoad(*dialog);
    return dialog;
  }
  // Saves the dialog as it looks when ORVAK_TEST_PICTURES names a folder.
  static void Picture(QWidget& dialog, const char* name) {
    if (const QString folder = qEnvironmentVariable("ORVAK_TEST_PICTURES"); !folder.isEmpty())
      dialog.grab().save(folder + "/" + name + ".png");
  }

  std::string m_nextChoice;
  std::vector<std::string> m_filters;
};

TEST_F(LoaderDialogTest, WithNothingAttachedTheScanCyclesThroughEveryPort) {
  Attach(Family::kAmpModule, 0x31);
  m_line->SetPlugged(false);
  auto dialog = Open();
  EXPECT_TRUE(dialog->IsScanning());
  EXPECT_EQ(dialog->GetStatusText(), "Scanning ports for device...");
  EXPECT_FALSE(Shown(dialog->FirmwareButton()));
  EXPECT_FALSE(Shown(dialog->PresetPathText()));
  Step(*dialog);
  EXPECT_EQ(dialog->GetNextPort(), 33u);
  m_line->SetPlugged(true);
  Step(*dialog);  // wraps to COM1; COM3 answers
  EXPECT_TRUE(dialog->IsConnected());
  EXPECT_EQ(dialog->GetConnectedPort(), kTestPort);
  EXPECT_EQ(dialog->GetNextPort(), 4u);
  EXPECT_EQ(dialog->GetStatusText(), "Vm4 Amplifier Connected");
}

TEST_F(LoaderDialogTest, ModuleOfTypeThirtyHexHasAnEmptyStatusAndBothChoosers) {
  Attach(Family::kAmpModule, 0x30);
  auto dialog = Open();
  Step(*dialog);
  ASSERT_TRUE(dialog->IsConnected());
  EXPECT_EQ(dialog->GetStatusText(), "");
  EXPECT_TRUE(Shown(dialog->FirmwareButton()));
  EXPECT_TRUE(Shown(dialog->PresetsButton()));
  EXPECT_FALSE(dialog->LoadButton()->isEnabled());
  m_nextChoice = "/tmp/presets.bin";
  dialog->PresetsButton()->click();
  EXPECT_EQ(m_filters, (std::vector<std::string>{"Preset Files (*.bin)|*.bin|All Files (*.*)|*.*||"}));
  EXPECT_EQ(dialog->PresetPathText()->text(), "/tmp/presets.bin");
  EXPECT_TRUE(dialog->LoadButton()->isEnabled());
  EXPECT_TRUE(dialog->ProgressBar()->isEnabled());
}

struct RuleCase {
  const char* name;
  Family family;
  std::uint8_t type;
  const char* status;
  bool firmwareShown;
  bool presetsShown;
  bool loadWithoutFile;
};

class ControlRulesTest : public LoaderDialogTest, public ::testing::WithParamInterface<RuleCase> {};

TEST_P(ControlRulesTest, FileControlsAndLoadFollowTheUnitFamily) {
  const RuleCase& c = GetParam();
  Attach(c.family, c.type);
  auto dialog = Open();
  Step(*dialog);
  ASSERT_TRUE(dialog->IsConnected());
  EXPECT_EQ(dialog->GetDeviceType(), c.type);
  EXPECT_EQ(dialog->GetStatusText(), c.status);
  EXPECT_EQ(Shown(dialog->FirmwareButton()), c.firmwareShown);
  EXPECT_EQ(Shown(dialog->FirmwarePathText()), c.firmwareShown);
  EXPECT_EQ(Shown(dialog->PresetsButton()), c.presetsShown);
  EXPECT_EQ(Shown(dialog->PresetPathText()), c.presetsShown);
  EXPECT_EQ(dialog->LoadButton()->isEnabled(), c.loadWithoutFile);
  if (c.firmwareShown) {
    m_nextChoice = "/tmp/firmware.hex";
    dialog->OnBnClickedFirmware();
    EXPECT_TRUE(dialog->LoadButton()->isEnabled());
    EXPECT_EQ(m_filters.back(), "Firmware Files (*.hex)|*.hex|All Files (*.*)|*.*||");
  }
  // Each step re-probes the unit; nothing changes while it stays.
  Step(*dialog);
  EXPECT_EQ(dialog->GetStatusText(), c.status);
}

INSTANTIATE_TEST_SUITE_P(
    Families, ControlRulesTest,
    ::testing::Values(RuleCase{"AmpModule", Family::kAmpModule, 0x32, "Vm6 Amplifier Connected", true, true, false},
                      RuleCase{"Nerex", Family::kProcessor, 0x78, "Nerex48 Connected", true, false, false},
                      RuleCase{"Fennick", Family::kProcessor, 0x10, "Fennick Connected", false, false, true},
                      RuleCase{"Sornic", Family::kSornic, 0x3C, "Sornic Amplifier Connected", true, false, true},
                      RuleCase{"ZelByLongId", Family::kZel, 0x37, "Zel-6 Connected", false, false, true}),
    [](const auto& info) { return std::string(info.param.name); });

// The ways a line is not the loader's to probe: a terminal program has it open, a program holds
// its lock file, or it is the machine's console.
struct NotOursCase {
  const char* name;
  // Makes the pseudo-terminal not the loader's; what it needs is kept in keep.
  std::function<void(const CTestPty& line, std::unique_ptr<COtherProgramOnLine>& keep)> make;
};

class ScanOfLinesNotOurs : public LoaderDialogTest, public ::testing::WithParamInterface<NotOursCase> {};

// The scan on the machine's own ports opens only a line it could hold alone: the line keeps its
// settings and gets no probe, however long the dialog scans.
TEST_P(ScanOfLinesNotOurs, TheScanLeavesTheLineAlone) {
  CTestPty line;
  ASSERT_TRUE(line.IsValid());
  std::unique_ptr<COtherProgramOnLine> keep;
  GetParam().make(line, keep);
  const termios before = line.Settings();
  LinkEveryComPortToNothing();
  ASSERT_TRUE(LinkComPortForTest(4, line.SlavePath()));
  auto dialog = Open();
  for (int step = 0; step < 3; ++step) Step(*dialog);
  EXPECT_FALSE(dialog->IsConnected());
  EXPECT_EQ(dialog->GetStatusText(), "Scanning ports for device...");
  const termios after = line.Settings();
  EXPECT_EQ(::cfgetospeed(&after), ::cfgetospeed(&before));
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_TRUE(line.Received().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ScanOfLinesNotOurs,
    ::testing::Values(NotOursCase{"UsedByATerminalProgram",
                                  [](const CTestPty& line, auto& keep) {
                                    keep = std::make_unique<COtherProgramOnLine>(line);
                                    ASSERT_TRUE(keep->IsReady());
                                  }},
                      NotOursCase{"LockedByAnotherProgram",
                                  [](const CTestPty& line, auto&) {
                                    const std::string folder = GetAppDataFolder() + "lock";
                                    std::filesystem::create_directories(folder);
                                    SetSerialLockFoldersForTests({folder});
                                    ASSERT_TRUE(WriteLineLockFile(LineLockFile(folder, line.SlavePath()),
                                                                  LockFileText(::getppid())));
                                  }},
                      NotOursCase{"TheMachinesConsole",
                                  [](const CTestPty& line, auto&) {
                                    ASSERT_TRUE(WriteConsoleList(GetAppDataFolder() + "consoles", line.SlavePath()));
                                    SetConsoleListForTests(GetAppDataFolder() + "consoles");
                                  }}),
    [](const auto& info) { return std::string(info.param.name); });

// A step of the scan reads who holds which line once for the ports it tries, however many of
// them name lines that other programs use.
TEST_F(LoaderDialogTest, AStepOfTheScanReadsWhoHoldsTheLinesOnce) {
  LinkEveryComPortToNothing();
  const CLinesOfOtherPrograms used({5, 15, 25});
  ASSERT_TRUE(used.IsReady());
  auto dialog = Open();
  for (int step = 1; step <= 2; ++step) {
    const int before = SerialLineUserReadsForTests();
    Step(*dialog);
    EXPECT_EQ(SerialLineUserReadsForTests() - before, 1) << step;
  }
  EXPECT_FALSE(dialog->IsConnected());
  EXPECT_TRUE(used.Untouched());
}

// A loader clock whose waits hold the worker until the test lets them go, so that a step of the
// scan can be caught in the middle of a probe. A wait that is never let go ends after a bound
// only a hang reaches.
class CGateClock : public ILoaderClock {
 public:
  void Sleep(std::uint32_t ms) override {
    std::unique_lock<std::mutex> lock(m_mutex);
    ++m_waiting;
    m_changed.notify_all();
    m_changed.wait_for(lock, std::chrono::seconds(60), [this] { return m_open; });
    --m_waiting;
    m_nowMs += ms;
  }
  std::uint64_t NowMs() const override {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nowMs;
  }
  bool WaitUntilAWaitBegins() {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::seconds(20), [this] { return m_waiting > 0; });
  }
  void Open() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_open = true;
    m_changed.notify_all();
  }

 private:
  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  int m_waiting = 0;
  bool m_open = false;
  std::uint64_t m_nowMs = 0;
};

// The probes of a step wait on the worker, not on the window: the step asked for returns at once
// while its first probe waits, and Escape, pressed then, ends the dialog once that probe is over,
// without the step's other probes.
TEST_F(LoaderDialogTest, AScanStepWaitsOffTheWindowAndEscapeEndsItAfterTheProbeUnderWay) {
  Attach(Family::kZel, 0x37);  // answers no short probe: a whole step makes four
  CGateClock gate;
  auto dialog = std::make_unique<CUniversalLoaderDialog>(nullptr, &gate);
  dialog->show();
  dialog->ScanStep();
  ASSERT_TRUE(gate.WaitUntilAWaitBegins());
  EXPECT_TRUE(dialog->IsScanStepRunning());
  Picture(*dialog, "loader-scan-step-under-way");
  EXPECT_EQ(Written(), (std::vector<SimBootBytes>{{0xE0, 0x01}}));
  // The window takes the key while the probe waits; the wait ends as the dialog waits for its
  // worker.
  QTimer::singleShot(0, [&gate] { gate.Open(); });
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QCoreApplication::sendEvent(dialog.get(), &escape);
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(CUniversalLoaderDialog::RunningWorkers(), 0);
  EXPECT_EQ(Written(), (std::vector<SimBootBytes>{{0xE0, 0x01}}));
  EXPECT_FALSE(dialog->IsConnected());
}

TEST_F(LoaderDialogTest, UnsupportedUnitCountsAsAbsent) {
  Attach(Family::kProcessor, 0x71);
  auto dialog = Open();
  Step(*dialog);
  EXPECT_FALSE(dialog->IsConnected());
  EXPECT_EQ(dialog->GetStatusText(), "Scanning ports for device...");
}

TEST_F(LoaderDialogTest, UnpluggingDisconnectsAndTheScanResumesAfterThePort) {
  Attach(Family::kAmpModule, 0x31);
  auto dialog = Open();
  Step(*dialog);
  ASSERT_TRUE(dialog->IsConnected());
  m_line->SetPlugged(false);
  Step(*dialog);
  EXPECT_FALSE(dialog->IsConnected());
  EXPECT_EQ(dialog->GetStatusText(), "Device disconnected");
  EXPECT_EQ(dialog->GetDeviceType(), 0);
  EXPECT_FALSE(Shown(dialog->FirmwareButton()));
  EXPECT_FALSE(Shown(dialog->PresetsButton()));
  EXPECT_FALSE(dialog->LoadButton()->isEnabled());
  m_line->SetPlugged(true);
  Step(*dialog);  // COM4 to COM32
  EXPECT_FALSE(dialog->IsConnected());
  Step(*dialog);  // from COM1 again
  EXPECT_TRUE(dialog->IsConnected());
}

TEST_F(LoaderDialogTest, LoadRunsOnTheWorkerAndClosingWaitsForIt) {
  Attach(Family::kAmpModule, 0x31);
  const SimBootBytes data = FirmwareData(300, {0x12, 0x34, 0x56, 0x78}, 40);
  m_nextChoice = WriteFile("amp.hex", MakeHex(data));
  auto dialog = Open();
  dialog->show();
  Step(*dialog);
  dialog->FirmwareButton()->click();
  dialog->LogList()->addItem("an old line");
  dialog->LoadButton()->click();

  EXPECT_TRUE(dialog->IsLoading());
  EXPECT_FALSE(dialog->IsScanning());
  EXPECT_FALSE(dialog->LoadButton()->isEnabled());
  EXPECT_FALSE(dialog->FirmwareButton()->isEnabled());
  EXPECT_FALSE(dialog->PresetsButton()->isEnabled());
  EXPECT_EQ(dialog->LogList()->count(), 0);
  // Closing is refused while the worker loads (it waits for this thread to take its lines).
  dialog->close();
  dialog->reject();
  dialog->accept();
  EXPECT_TRUE(dialog->isVisible());

  WaitForLoad(*dialog);
  EXPECT_FALSE(dialog->IsLoading());
  EXPECT_EQ(m_unit->ImageBytes(), data);
  const QStringList log = dialog->GetLogLines();
  ASSERT_GE(log.size(), 3);
  EXPECT_EQ(log.front(), "Checking firmware file...!!");
  EXPECT_EQ(log[log.size() - 2], "Load complete!");
  EXPECT_EQ(log.back(), "Disconnect this device to start scanning for the next device to load.");
  EXPECT_EQ(dialog->ProgressBar()->value(), 100);
  EXPECT_EQ(dialog->GetStatusText(), "Vm4 Amplifier Connected");
  EXPECT_TRUE(dialog->LoadButton()->isEnabled());
  EXPECT_TRUE(dialog->IsScanning());

  // Load can be pressed again at once: the worker is idle before its result arrives.
  dialog->LoadButton()->click();
  EXPECT_TRUE(dialog->IsLoading());
  WaitForLoad(*dialog);
  EXPECT_EQ(dialog->GetFinishedLoads(), 2);
  EXPECT_EQ(m_unit->Erases(), 2u);

  dialog->close();
  EXPECT_FALSE(dialog->isVisible());
}

// A module that loses power a third of the way through its firmware: the dialog ends with the
// line that says so and "Load failed!", never "Load complete!".
TEST_F(LoaderDialogTest, AModuleThatFallsSilentMidTransferEndsInLoadFailed) {
  Attach(Family::kAmpModule, 0x31);
  const SimBootBytes data = FirmwareData(480, {0x12, 0x34, 0x56, 0x78}, 40);
  m_nextChoice = WriteFile("amp.hex", MakeHex(data));
  m_unit->FallSilentAfter(10);
  auto dialog = OpenAndLoad();
  const QStringList log = dialog->GetLogLines();
  ASSERT_EQ(log.size(), 9);
  EXPECT_EQ(log[log.size() - 3], "Device has stopped responding");
  EXPECT_EQ(log[log.size() - 2], "Load failed!");
  EXPECT_FALSE(log.contains("Load complete!"));
  EXPECT_FALSE(m_unit->IsComplete());
  // What the unit answered for, never the whole file, and never "Done".
  EXPECT_FALSE(log.contains("Done"));
  EXPECT_TRUE(log[3].startsWith("Sending Hex file ")) << log[3].toStdString();
  EXPECT_NE(log[3], "Sending Hex file 100.0% done");
  EXPECT_EQ(log[4], "The amp answered no chunk after that");
  EXPECT_LT(dialog->ProgressBar()->value(), 50);
  Picture(*dialog, "loader-silent-mid-transfer");
}

// Load stays offered to a Sornic before a file is chosen; pressed, it says what to do and starts
// no load, however often it is pressed.
TEST_F(LoaderDialogTest, SornicLoadWithoutFileSaysToChooseOneAndSendsNothing) {
  Attach(Family::kSornic, 0x3C);
  auto dialog = Open();
  dialog->show();
  Step(*dialog);
  const std::uint64_t scanned = m_line->BytesWritten();
  dialog->LoadButton()->click();
  dialog->LoadButton()->click();
  EXPECT_FALSE(dialog->IsLoading());
  EXPECT_TRUE(dialog->IsScanning());
  EXPECT_EQ(dialog->GetLogLines(), (QStringList{"No firmware file is chosen: choose one with the Firmware button."}));
  QCoreApplication::processEvents();
  EXPECT_EQ(dialog->GetFinishedLoads(), 0);
  EXPECT_EQ(m_line->BytesWritten(), scanned);
  Picture(*dialog, "loader-sornic-no-file");
}

TEST_F(LoaderDialogTest, PresetsAreNotLoadedAfterAFailedFirmwareLoad) {
  Attach(Family::kAmpModule, 0x31);
  auto dialog = Open();
  Step(*dialog);
  m_nextChoice = WriteFile("other.hex", MakeHex(FirmwareData(100, {0x11, 0x11, 0x11, 0x11}, 0)));
  dialog->OnBnClickedFirmware();
  m_nextChoice = WriteFile("p.bin", BootBytes(40, 0));
  dialog->OnBnClickedPresets();
  dialog->OnBnClickedLoad();
  WaitForLoad(*dialog);
  EXPECT_EQ(dialog->GetLogLines(),
            (QStringList{"Checking firmware file...!!", "Incompatible firmware file !!", "Load failed!",
                         "Disconnect this device to start scanning for the next device to load."}));
  EXPECT_EQ(m_unit->PresetClears(), 0u);
}

TEST_F(LoaderDialogTest, PresetFileAloneLoadsWithoutFirmware) {
  Attach(Family::kAmpModule, 0x31);
  BootBytes header(32, 0);
  const std::uint8_t code[4] = {0x12, 0x34, 0x56, 0x78};
  std::copy(code, code + 4, header.begin() + 8);
  header[12] = 0x31;
  auto dialog = Open();
  Step(*dialog);
  m_nextChoice = WriteFile("Stage.bin", header);
  dialog->OnBnClickedPresets();
  dialog->OnBnClickedLoad();
  WaitForLoad(*dialog);
  EXPECT_EQ(m_unit->PresetClears(), 10u);
  EXPECT_EQ(m_unit->PresetName(), "Stage.bin" + std::string(31, ' '));
  EXPECT_EQ(m_unit->BootCommands(), 0u);
  EXPECT_EQ(dialog->GetLogLines().at(dialog->GetLogLines().size() - 2), "Load complete!");
}

}  // namespace

namespace {

TEST_F(LoaderDialogTest, ATinyProcessorImageEndsWithAFullBarAndLoadStartsTheLogWidthAfresh) {
  Attach(Family::kProcessor, 0x72);
  auto dialog = Open();
  dialog->show();
  Step(*dialog);
  ASSERT_TRUE(dialog->IsConnected());
  m_nextChoice = WriteFile("tiny.hex", BootBytes(130, 0x5A));  // a block and two bytes
  dialog->FirmwareButton()->click();
  auto* log = dynamic_cast<CHListBox*>(dialog->LogList());
  ASSERT_NE(log, nullptr);
  log->AddString(QString(300, QLatin1Char('W')));
  const int wide = log->GetHorizontalExtent();
  dialog->LoadButton()->click();
  EXPECT_EQ(log->GetHorizontalExtent(), 0);
  WaitForLoad(*dialog);
  const QStringList lines = dialog->GetLogLines();
  ASSERT_GE(lines.size(), 3);
  // The progress line reaches what was sent.
  EXPECT_EQ(lines[lines.size() - 3], "Sending Hex file 100.0% done");
  EXPECT_EQ(lines[lines.size() - 2], "Load complete!");
  EXPECT_EQ(dialog->ProgressBar()->value(), 100) << "the log says complete";
  EXPECT_GT(log->GetHorizontalExtent(), 0);
  EXPECT_LT(log->GetHorizontalExtent(), wide);
}

// The unit on the port changes: after the first was unplugged for a scan step or more, or from
// one step to the next. A file chosen for the first unit's model is set aside, with a line, when
// the unit found is of another model, so that Load cannot send it there; a unit of the same
// model keeps it.
struct UnitChangeCase {
  const char* name;
  bool unpluggedBetween;
  Family family;
  std::uint8_t type;
  const char* status;
  const char* line;  // null: the file stays
};

class UnitChangeTest : public LoaderDialogTest, public ::testing::WithParamInterface<UnitChangeCase> {};

TEST_P(UnitChangeTest, AFileChosenForAnotherModelIsSetAside) {
  const UnitChangeCase& c = GetParam();
  Attach(Family::kProcessor, 0x78);
  auto dialog = Open();
  dialog->show();
  Step(*dialog);
  ASSERT_EQ(dialog->GetStatusText(), "Nerex48 Connected");
  const std::string image = WriteFile("nerex48.hex", BootBytes(300, 0x5A));
  m_nextChoice = image;
  dialog->FirmwareButton()->click();
  ASSERT_TRUE(dialog->LoadButton()->isEnabled());
  if (c.unpluggedBetween) {
    m_line->SetPlugged(false);
    Step(*dialog);
    ASSERT_EQ(dialog->GetStatusText(), "Device disconnected");
  }
  Attach(c.family, c.type);
  for (int step = 0; step < 3 && dialog->GetDeviceType() != c.type; ++step) Step(*dialog);
  ASSERT_TRUE(dialog->IsConnected());
  EXPECT_EQ(dialog->GetDeviceType(), c.type);
  EXPECT_EQ(dialog->GetStatusText(), c.status);
  const QStringList log = dialog->GetLogLines();
  if (c.line == nullptr) {
    EXPECT_EQ(dialog->FirmwarePathText()->text().toStdString(), image);
    EXPECT_TRUE(dialog->LoadButton()->isEnabled());
    EXPECT_TRUE(log.isEmpty());
    return;
  }
  Picture(*dialog, c.name);
  EXPECT_EQ(dialog->FirmwarePathText()->text(), "");
  EXPECT_FALSE(dialog->LoadButton()->isEnabled());
  EXPECT_EQ(log, QStringList{c.line});
  // Load does nothing; a file chosen now is this unit's.
  dialog->OnBnClickedLoad();
  EXPECT_FALSE(dialog->IsLoading());
  EXPECT_EQ(m_unit->BootCommands(), 0u);
  if (!Shown(dialog->FirmwareButton())) return;
  m_nextChoice = WriteFile("own.hex", BootBytes(300, 0x3C));
  dialog->FirmwareButton()->click();
  Step(*dialog);
  EXPECT_TRUE(dialog->LoadButton()->isEnabled());
  EXPECT_EQ(dialog->GetLogLines(), QStringList{c.line});
}

INSTANTIATE_TEST_SUITE_P(
    Units, UnitChangeTest,
    ::testing::Values(
        UnitChangeCase{"AnotherModelAfterAnUnplug", true, Family::kProcessor, 0x74, "Nerex44 Connected",
                       "The file chosen for the Nerex48 was set aside: this unit is another model."},
        UnitChangeCase{"AnotherModelBetweenTwoSteps", false, Family::kProcessor, 0x74, "Nerex44 Connected",
                       "The file chosen for the Nerex48 was set aside: this unit is another model."},
        UnitChangeCase{"AnotherFamily", true, Family::kAmpModule, 0x31, "Vm4 Amplifier Connected",
                       "The file chosen for the Nerex48 was set aside: this unit is another model."},
        UnitChangeCase{"SameModelAgain", true, Family::kProcessor, 0x78, "Nerex48 Connected", nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

// A line of text chosen as an amplifier module's HEX file or as a processor's image (13 bytes,
// shorter than a block) gets its own line, not the wrong unit's, and never reaches the unit.
TEST_F(LoaderDialogTest, AFileThatIsNotHexGetsItsOwnLineNotTheWrongUnitOne) {
  for (const auto& [family, type, text] : {std::tuple{Family::kAmpModule, std::uint8_t(0x31), "garbage not hex\n"},
                                           std::tuple{Family::kProcessor, std::uint8_t(0x78), "garbage text\n"}}) {
    SCOPED_TRACE(int(type));
    Attach(family, type);
    auto dialog = Open();
    Step(*dialog);
    ASSERT_TRUE(dialog->IsConnected());
    const std::string bytes = text;
    m_nextChoice = WriteFile("bad.hex", BootBytes(bytes.begin(), bytes.end()));
    dialog->OnBnClickedFirmware();
    dialog->OnBnClickedLoad();
    WaitForLoad(*dialog);
    EXPECT_EQ(dialog->GetLogLines(),
              (QStringList{"Firmware file is damaged or in the wrong format !!", "Load failed!",
                           "Disconnect this device to start scanning for the next device to load."}));
    EXPECT_EQ(m_unit->BootCommands(), 0u);
  }
}

}  // namespace

namespace {

// The seconds of the wait the busy line names ("... within 3 min 12 s at the latest."), or -1.
int NoticeSeconds(const QString& line) {
  static const QRegularExpression pattern(
      QStringLiteral("^The load cannot be interrupted\\. Please wait: it ends within (?:(\\d+) min)? ?(?:(\\d+) s)? "
                     "at the latest\\.$"));
  const QRegularExpressionMatch match = pattern.match(line);
  if (!match.hasMatch()) return -1;
  return match.captured(1).toInt() * 60 + match.captured(2).toInt();
}

// A Sornic that never comes back holds its load for minutes. Escape at half the file and the close
// box at its end do not end the dialog: each puts one line last in the log, saying that the load
// cannot be interrupted and how long the rest may last, the worker's lines go on below it, and
// the line goes when the load ends. Each press comes while the worker waits for the dialog to
// take its progress, so the line's clock stands still then.
TEST_F(LoaderDialogTest, EscapeAndCloseDuringALoadSayItCannotBeInterruptedAndForHowLong) {
  Attach(Family::kSornic, 0x3C).SetNeverReboots(true);
  m_nextChoice = WriteFile("sornic.hex", MakeHex(FirmwareData(4000, {0x01}, 0)));
  auto dialog = Open();
  dialog->show();
  Step(*dialog);
  dialog->FirmwareButton()->click();

  struct Press {
    int atPercent;
    std::uint64_t atMs = 0;
    QStringList log;
    bool visible = false;
  };
  std::vector<Press> presses{{50}, {100}};
  QObject::connect(dialog->ProgressBar(), &QProgressBar::valueChanged, [&](int value) {
    for (Press& press : presses) {
      if (value != press.atPercent || press.atMs != 0) continue;
      press.atMs = m_line->NowUs() / 1000;
      if (value == 50) {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(dialog.get(), &escape);
      } else {
        dialog->close();
        Picture(*dialog, "loader-load-cannot-be-interrupted");
      }
      press.visible = dialog->isVisible();
      press.log = dialog->GetLogLines();
    }
  });
  dialog->LoadButton()->click();
  WaitForLoad(*dialog);
  const std::uint64_t endMs = m_line->NowUs() / 1000;

  for (const Press& press : presses) {
    SCOPED_TRACE(press.atPercent);
    ASSERT_GE(press.log.size(), 2);
    EXPECT_TRUE(press.visible);
    const int seconds = NoticeSeconds(press.log.back());
    EXPECT_GT(seconds, 0) << press.log.back().toStdString();
    // The wait it names is the longest the rest may last: the load ended within it, not far inside.
    const std::uint64_t rest = endMs - press.atMs;
    EXPECT_GE(std::uint64_t(seconds) * 1000, rest);
    EXPECT_LE(std::uint64_t(seconds) * 1000, rest * 5 / 4 + 2000);
    EXPECT_EQ(press.log.filter(QStringLiteral("The load cannot be interrupted")).size(), 1);
    EXPECT_TRUE(press.log[press.log.size() - 2].startsWith(
        press.atPercent == 50 ? QStringLiteral("Sending Hex file 50.") : QStringLiteral("Sending Hex file 100.0%")));
  }
  const QStringList log = dialog->GetLogLines();
  EXPECT_EQ(log, (QStringList{"Sending boot command", "Erasing current firmware...", "Sending Hex file 100.0% done",
                              "Waiting for device to reboot" + QString(30, QLatin1Char('.')),
                              "Device has stopped responding", "Load failed!",
                              "Disconnect this device to start scanning for the next device to load."}));
  EXPECT_TRUE(dialog->isVisible());
  dialog->close();
  EXPECT_FALSE(dialog->isVisible());
}

// A dialog ended just as Load was pressed (the program quitting) waits for its worker, which
// ends whether or not it took the load up. Every other dialog ends only once its worker has
// taken the load up (it has written to the line since Load): that load runs to its end. Each
// dialog meets a unit of its own, as the load a dialog before it let through leaves its unit
// rebooting.
TEST_F(LoaderDialogTest, ADialogEndedRightAfterLoadEndsItsWorker) {
  ASSERT_EQ(CUniversalLoaderDialog::RunningWorkers(), 0);
  for (int i = 0; i < 20; ++i) {
    SCOPED_TRACE(i);
    Attach(Family::kProcessor, 0x72);
    m_nextChoice = WriteFile("nerex.hex", FirmwareData(300, {}, 0));
    auto dialog = Open();
    EXPECT_EQ(CUniversalLoaderDialog::RunningWorkers(), 1);
    Step(*dialog);
    dialog->FirmwareButton()->click();
    const std::size_t writesBefore = m_line->Writes().size();
    dialog->LoadButton()->click();
    EXPECT_TRUE(dialog->IsLoading());
    if (i % 2 == 1) {
      ASSERT_TRUE(WaitFor([&] { return m_line->Writes().size() > writesBefore; }));
    }
    dialog.reset();
    EXPECT_EQ(CUniversalLoaderDialog::RunningWorkers(), 0) << "after dialog " << i;
  }
}

// The previous unit's load is not shown for the next one: when a unit is found, the log and the bar
// start empty. Until then the log stays to be read.
TEST_F(LoaderDialogTest, TheNextUnitFoundStartsWithAnEmptyLogAndBar) {
  Attach(Family::kAmpModule, 0x31);
  m_nextChoice = WriteFile("amp.hex", MakeHex(FirmwareData(300, {0x12, 0x34, 0x56, 0x78}, 40)));
  auto dialog = OpenAndLoad();
  const QStringList loaded = dialog->GetLogLines();
  ASSERT_TRUE(loaded.contains("Load complete!"));
  m_line->SetPlugged(false);
  Step(*dialog);
  EXPECT_EQ(dialog->GetStatusText(), "Device disconnected");
  EXPECT_EQ(dialog->GetLogLines(), loaded);
  EXPECT_EQ(dialog->ProgressBar()->value(), 100);
  m_line->SetPlugged(true);
  Step(*dialog);  // COM4 to COM32
  Step(*dialog);  // from COM1 again
  ASSERT_TRUE(dialog->IsConnected());
  EXPECT_EQ(dialog->GetLogLines(), QStringList());
  EXPECT_EQ(dialog->ProgressBar()->value(), 0);
  Picture(*dialog, "loader-next-unit-found");
}

// Firmware of another kind gets the line that names it, then "Load failed!"; the dialog's load sends
// nothing (only the scan's probes reach the line).
TEST_F(LoaderDialogTest, FirmwareOfAnotherKindIsRefusedWithWordsAndNothingIsLoaded) {
  const BootBytes moduleHex = MakeHex(FirmwareData(400, {0x12, 0x34, 0x56, 0x78}, 100));
  struct Case {
    Family family;
    std::uint8_t type;
    std::string fileName;
    BootBytes file;
    QString line;
    const char* picture;
  };
  for (const Case& c :
       {Case{Family::kProcessor, 0x78, "amp_ok.hex", moduleHex,
             "Firmware file is Intel HEX (amplifier or Zel firmware), not a processor image !!",
             "loader-nerex-refuses-module-hex"},
        Case{Family::kProcessor, 0x78, "pic0.png", Opening("\x89PNG\r\n\x1A\n"),
             "Firmware file is a PNG picture, not a processor image !!", nullptr},
        Case{Family::kSornic, 0x3C, "ZelAmpFirmware_v2_14.hex", moduleHex,
             "Firmware file is for the Zel-1 to Zel-5 amplifiers, not for this unit !!",
             "loader-sornic-refuses-zel-firmware"}}) {
    SCOPED_TRACE(c.fileName);
    Attach(c.family, c.type);
    m_nextChoice = WriteFile(c.fileName, c.file);
    auto dialog = OpenAndLoad();
    EXPECT_EQ(dialog->GetLogLines(), (QStringList{c.line, "Load failed!",
                                                  "Disconnect this device to start scanning for the next device to load."}));
    EXPECT_EQ(m_unit->BootCommands(), 0u);
    for (const auto& write : m_line->Writes()) EXPECT_LE(write.bytes.size(), 5u);  // the scan's probes
    if (c.picture) Picture(*dialog, c.picture);
  }
}

}  // namespace
