// The loader dialog driven offscreen: the port scan, the control rules, a load through the
// worker thread with its messages, and the close protocol.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <tuple>

#include "tests/ui/loader/BootLineFixture.h"
#include "ui/dialogs/HListBox.h"
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
  // Runs the UI thread's events until the dialog has the result of its next load.
  static void WaitForLoad(CUniversalLoaderDialog& dialog) {
    const int finished = dialog.GetFinishedLoads();
    while (dialog.GetFinishedLoads() == finished) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  }
  static bool Shown(QWidget* widget) { return widget->isVisibleTo(widget->window()); }

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
  dialog->ScanStep();
  EXPECT_EQ(dialog->GetNextPort(), 33u);
  m_line->SetPlugged(true);
  dialog->ScanStep();  // wraps to COM1; COM3 answers
  EXPECT_TRUE(dialog->IsConnected());
  EXPECT_EQ(dialog->GetConnectedPort(), kTestPort);
  EXPECT_EQ(dialog->GetNextPort(), 4u);
  EXPECT_EQ(dialog->GetStatusText(), "Vm4 Amplifier Connected");
}

TEST_F(LoaderDialogTest, ModuleOfTypeThirtyHexHasAnEmptyStatusAndBothChoosers) {
  Attach(Family::kAmpModule, 0x30);
  auto dialog = Open();
  dialog->ScanStep();
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
  dialog->ScanStep();
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
  dialog->ScanStep();
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

TEST_F(LoaderDialogTest, UnsupportedUnitCountsAsAbsent) {
  Attach(Family::kProcessor, 0x71);
  auto dialog = Open();
  dialog->ScanStep();
  EXPECT_FALSE(dialog->IsConnected());
  EXPECT_EQ(dialog->GetStatusText(), "Scanning ports for device...");
}

TEST_F(LoaderDialogTest, UnpluggingDisconnectsAndTheScanResumesAfterThePort) {
  Attach(Family::kAmpModule, 0x31);
  auto dialog = Open();
  dialog->ScanStep();
  ASSERT_TRUE(dialog->IsConnected());
  m_line->SetPlugged(false);
  dialog->ScanStep();
  EXPECT_FALSE(dialog->IsConnected());
  EXPECT_EQ(dialog->GetStatusText(), "Device disconnected");
  EXPECT_EQ(dialog->GetDeviceType(), 0);
  EXPECT_FALSE(Shown(dialog->FirmwareButton()));
  EXPECT_FALSE(Shown(dialog->PresetsButton()));
  EXPECT_FALSE(dialog->LoadButton()->isEnabled());
  m_line->SetPlugged(true);
  dialog->ScanStep();  // COM4 to COM32
  EXPECT_FALSE(dialog->IsConnected());
  dialog->ScanStep();  // from COM1 again
  EXPECT_TRUE(dialog->IsConnected());
}

TEST_F(LoaderDialogTest, LoadRunsOnTheWorkerAndClosingWaitsForIt) {
  Attach(Family::kAmpModule, 0x31);
  const SimBootBytes data = FirmwareData(300, {0x12, 0x34, 0x56, 0x78}, 40);
  m_nextChoice = WriteFile("amp.hex", MakeHex(data));
  auto dialog = Open();
  dialog->show();
  dialog->ScanStep();
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
  auto dialog = Open();
  dialog->show();
  dialog->ScanStep();
  dialog->FirmwareButton()->click();
  dialog->LoadButton()->click();
  WaitForLoad(*dialog);
  const QStringList log = dialog->GetLogLines();
  ASSERT_GE(log.size(), 4);
  EXPECT_EQ(log[log.size() - 3], "Device has stopped responding");
  EXPECT_EQ(log[log.size() - 2], "Load failed!");
  EXPECT_FALSE(log.contains("Load complete!"));
  EXPECT_FALSE(m_unit->IsComplete());
  if (const QString folder = qEnvironmentVariable("ORVAK_TEST_PICTURES"); !folder.isEmpty())
    dialog->grab().save(folder + "/loader-silent-mid-transfer.png");
}

TEST_F(LoaderDialogTest, SornicLoadWithoutFileFails) {
  Attach(Family::kSornic, 0x3C);
  auto dialog = Open();
  dialog->ScanStep();
  dialog->OnBnClickedLoad();
  WaitForLoad(*dialog);
  EXPECT_EQ(dialog->GetLogLines(),
            (QStringList{"Cannot open firmware file !!", "Load failed!",
                         "Disconnect this device to start scanning for the next device to load."}));
}

TEST_F(LoaderDialogTest, PresetsAreNotLoadedAfterAFailedFirmwareLoad) {
  Attach(Family::kAmpModule, 0x31);
  auto dialog = Open();
  dialog->ScanStep();
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
  dialog->ScanStep();
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
  dialog->ScanStep();
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

// A line of text chosen as an amplifier module's HEX file or as a processor's image (13 bytes,
// shorter than a block) gets its own line, not the wrong unit's, and never reaches the unit.
TEST_F(LoaderDialogTest, AFileThatIsNotHexGetsItsOwnLineNotTheWrongUnitOne) {
  for (const auto& [family, type, text] : {std::tuple{Family::kAmpModule, std::uint8_t(0x31), "garbage not hex\n"},
                                           std::tuple{Family::kProcessor, std::uint8_t(0x78), "garbage text\n"}}) {
    SCOPED_TRACE(int(type));
    Attach(family, type);
    auto dialog = Open();
    dialog->ScanStep();
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
