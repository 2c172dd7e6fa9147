// The pages of the "Settings" sheet: what they show of the settings and what they store.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabBar>

#include "core/support/AppSettings.h"
#include "core/file/ImageTree.h"
#include "core/system/System.h"
#include "platform/SettingsStore.h"
#include "ui/SettingsSheet.h"
#include "tests/support/RecordingUi.h"

TEST(SettingsPagesTest, GeneralPage_UnlistedAutosaveMinutesShowTickedWithoutSelectionAndStay) {
  CSettingsStore::WriteInt("Settings", "AutoSave", 7);
  CSettingsStore::WriteString("WinSparkle", "CheckForUpdates", "2");
  CSystem system;
  system.Settings().LoadSettings();
  CGeneralAppSettingsDialog page(&system);
  EXPECT_TRUE(page.AutoSaveBox()->isChecked());
  EXPECT_TRUE(page.MinutesList()->isEnabled());
  EXPECT_EQ(page.MinutesList()->currentIndex(), -1);
  EXPECT_EQ(page.MinutesList()->itemText(0), "1");
  EXPECT_EQ(page.MinutesList()->itemText(6), "30");
  EXPECT_FALSE(page.UpdatesBox()->isChecked());

  page.LoadLastFileBox()->setChecked(true);
  page.Apply();
  EXPECT_EQ(system.GetSettings().autoSave, 7u);
  EXPECT_TRUE(system.GetSettings().loadLastFileOnStartup);
  EXPECT_EQ(CSettingsStore::GetInt("Settings", "LoadLastFileOnStartup", 0), 1u);
  EXPECT_FALSE(CAppSettings::GetCheckForUpdates());
  EXPECT_TRUE(system.IsModified());

  page.MinutesList()->setCurrentIndex(3);  // 10
  page.Apply();
  EXPECT_EQ(CSettingsStore::GetInt("Settings", "AutoSave", 0), 10u);
  page.AutoSaveBox()->setChecked(false);
  EXPECT_FALSE(page.MinutesList()->isEnabled());
  page.Apply();
  EXPECT_EQ(system.GetSettings().autoSave, 0u);
}

TEST(SettingsPagesTest, CommsPage_StoresTheGoingOnlineChoiceAndKeepsAPortItCannotList) {
  CSettingsStore::WriteInt("Settings", "ComPort", 29);  // nothing opens there
  CSettingsStore::WriteInt("Settings", "OnGoOnline", 0);
  CSystem system;
  system.Settings().LoadSettings();
  CCommsDialog page(&system);
  EXPECT_EQ(page.PortList()->currentIndex(), -1);
  EXPECT_EQ(page.BaudList()->currentText(), "57600");
  EXPECT_TRUE(page.ChoiceButton(0)->isChecked());

  page.ChoiceButton(2)->setChecked(true);
  page.BaudList()->setCurrentIndex(0);
  page.LogErrorsBox()->setChecked(true);
  page.Apply();
  EXPECT_EQ(system.GetSettings().onGoOnline, 2u);
  EXPECT_EQ(CSettingsStore::GetInt("Settings", "OnGoOnline", 9), 2u);
  EXPECT_EQ(system.GetSettings().baudRate, 115200u);
  EXPECT_EQ(system.GetSettings().comPort, 29u);
  EXPECT_TRUE(system.GetSettings().logCommsErrors);
}

TEST(SettingsPagesTest, ErrorLogPage_UntickedTemperatureStoresZeroAndReopensDisabled) {
  CSystem system;
  system.Settings().LoadSettings();
  {
    CErrorLogSettingsDlg page(&system);
    EXPECT_TRUE(page.TemperatureBox()->isChecked());
    EXPECT_EQ(page.TemperatureEdit()->text(), "70");
    page.TemperatureBox()->setChecked(false);
    page.TemperatureEdit()->setText("abc");  // not read while unticked
    page.LogSizeEdit()->setText("250");
    page.Apply();
  }
  EXPECT_EQ(system.GetSettings().temperatureWarning, 0u);
  EXPECT_EQ(system.GetSettings().maxLogFileSizeKB, 250u);
  CErrorLogSettingsDlg again(&system);
  EXPECT_FALSE(again.TemperatureBox()->isChecked());
  EXPECT_FALSE(again.TemperatureEdit()->isEnabled());
  EXPECT_EQ(again.TemperatureEdit()->text(), "0");
  EXPECT_EQ(CErrorLogSettingsDlg::ReadUnsigned("abc"), 0u);
  EXPECT_EQ(CErrorLogSettingsDlg::ReadUnsigned("99999999999"), 0xFFFFFFFFu);
}

// OK on the sheet refuses a box of the Error Log page that holds no setting: the page comes to
// the front with the refusal's words under its boxes and the focus in that box, the sheet stays
// open and nothing is stored.
struct ErrorLogRefusalCase {
  const char* name;
  const char* degrees;
  const char* logSize;
  bool inDegrees;  // the box refused
  const char* words;
};

class ErrorLogRefusalTest : public ::testing::TestWithParam<ErrorLogRefusalCase> {};

TEST_P(ErrorLogRefusalTest, OkKeepsTheSheetOpenOnTheRefusedBox) {
  const ErrorLogRefusalCase& c = GetParam();
  CSystem system;
  system.Settings().LoadSettings();
  system.Settings().SetTemperatureWarning(70);
  system.Settings().SetMaxLogFileSizeKB(100);
  CSettingsSheet sheet(QStringLiteral("Settings"));
  sheet.AddPage(QStringLiteral("General"), new CGeneralAppSettingsDialog(&system));
  auto* page = new CErrorLogSettingsDlg(&system);
  sheet.AddPage(QStringLiteral("Error Log"), page);
  sheet.show();
  const QSize size = sheet.size();
  EXPECT_TRUE(page->RefusalText()->text().isEmpty());
  page->TemperatureEdit()->setText(QString::fromUtf8(c.degrees));
  page->LogSizeEdit()->setText(QString::fromUtf8(c.logSize));
  sheet.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
  EXPECT_TRUE(sheet.isVisible());
  EXPECT_NE(sheet.result(), QDialog::Accepted);
  EXPECT_EQ(sheet.Tabs()->currentIndex(), 1);
  EXPECT_EQ(page->RefusalText()->text().toStdString(), c.words);
  QLineEdit* refused = c.inDegrees ? page->TemperatureEdit() : page->LogSizeEdit();
  EXPECT_EQ(sheet.focusWidget(), refused);
  EXPECT_EQ(refused->selectedText(), refused->text());
  EXPECT_EQ(sheet.size(), size);  // the words have their room on the page
  EXPECT_EQ(system.GetSettings().temperatureWarning, 70u);
  EXPECT_EQ(system.GetSettings().maxLogFileSizeKB, 100u);
  if (const QString folder = qEnvironmentVariable("ORVAK_TEST_PICTURES"); !folder.isEmpty())
    sheet.grab().save(folder + "/error-log-" + c.name + ".png");

  // Mended, the sheet takes both.
  page->TemperatureEdit()->setText(QStringLiteral("110"));
  page->LogSizeEdit()->setText(QStringLiteral(" 1 "));
  sheet.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
  EXPECT_EQ(sheet.result(), QDialog::Accepted);
  EXPECT_TRUE(page->RefusalText()->text().isEmpty());
  EXPECT_EQ(system.GetSettings().temperatureWarning, 110u);
  EXPECT_EQ(system.GetSettings().maxLogFileSizeKB, 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, ErrorLogRefusalTest,
    ::testing::Values(
        ErrorLogRefusalCase{"DegreesLetters", "abc", "100", true, "\"abc\" is not a number"},
        ErrorLogRefusalCase{"DegreesEmpty", "", "100", true, "Enter a number"},
        ErrorLogRefusalCase{"DegreesFraction", "45.5", "100", true, "\"45.5\" is not a whole number"},
        ErrorLogRefusalCase{"DegreesZero", "0", "100", true, "Temperature must be between 40 and 110"},
        ErrorLogRefusalCase{"DegreesBelow", "39", "100", true, "Temperature must be between 40 and 110"},
        ErrorLogRefusalCase{"DegreesAbove", "111", "100", true, "Temperature must be between 40 and 110"},
        ErrorLogRefusalCase{"DegreesNegativeAsUnsigned", "2147483648", "100", true,
                            "Temperature must be between 40 and 110"},
        ErrorLogRefusalCase{"DegreesBeyondAWord", "99999999999", "100", true, "99999999999 is out of range"},
        ErrorLogRefusalCase{"SizeLetters", "70", "abc", false, "\"abc\" is not a number"},
        ErrorLogRefusalCase{"SizeWithItsUnit", "70", "250kb", false, "\"250kb\" is not a number"},
        ErrorLogRefusalCase{"SizeNegative", "70", "-5", false, "Max log file size cannot be less than 0"},
        ErrorLogRefusalCase{"SizeZero", "70", "0", false, "Max log file size must be at least 1 Kb"},
        ErrorLogRefusalCase{"SizeZeroWithItsSign", "70", " +0 ", false, "Max log file size must be at least 1 Kb"},
        ErrorLogRefusalCase{"SizeBeyondAWord", "70", "4294967296", false, "4294967296 is out of range"}),
    [](const ::testing::TestParamInfo<ErrorLogRefusalCase>& info) { return std::string(info.param.name); });

// What the Error Log page takes is stored as the number the box shows, sign and blanks aside,
// and the page reopens with it.
struct ErrorLogTakenCase {
  const char* degrees;
  const char* logSize;
  std::uint32_t storedDegrees;
  std::uint32_t storedSize;
};

class ErrorLogTakenTest : public ::testing::TestWithParam<ErrorLogTakenCase> {};

TEST_P(ErrorLogTakenTest, IsStoredAsTheNumberItShows) {
  const ErrorLogTakenCase& c = GetParam();
  CSystem system;
  system.Settings().LoadSettings();
  system.Settings().SetTemperatureWarning(70);
  system.Settings().SetMaxLogFileSizeKB(100);
  {
    CErrorLogSettingsDlg page(&system);
    page.TemperatureEdit()->setText(QString::fromUtf8(c.degrees));
    page.LogSizeEdit()->setText(QString::fromUtf8(c.logSize));
    ASSERT_TRUE(page.Validate());
    page.Apply();
  }
  EXPECT_EQ(system.GetSettings().temperatureWarning, c.storedDegrees);
  EXPECT_EQ(system.GetSettings().maxLogFileSizeKB, c.storedSize);
  CErrorLogSettingsDlg again(&system);
  EXPECT_TRUE(again.TemperatureBox()->isChecked());
  EXPECT_EQ(again.TemperatureEdit()->text().toUInt(), c.storedDegrees);
}

INSTANTIATE_TEST_SUITE_P(Texts, ErrorLogTakenTest,
                         ::testing::Values(ErrorLogTakenCase{"+60", "+100", 60, 100},
                                           ErrorLogTakenCase{" 45 ", "007", 45, 7},
                                           ErrorLogTakenCase{"110", "4294967295", 110, 4294967295u}));

namespace {
// The texts of the message boxes shown.namespace {
// The texts of the message boxes shown.
class CMessageRecorder : public CRecordingUi {
 public:
  void ShowMessageBox(const std::string& text, const std::string&) override { messages.push_back(text); }
  std::vector<std::string> messages;
};
}  // namespace

TEST(SettingsPagesTest, GeneralPage_SwitchesTheImageLibraryOnlyToAFileThatReads) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string current = dir.filePath("current.ovl").toStdString();
  const std::string other = dir.filePath("other.ovl").toStdString();
  CSystem system;
  system.Settings().SetImageLibraryFilename(current);
  ASSERT_TRUE(system.Images().SaveImageLibrary());
  system.Images().GetLibraryImages().AddChild(new CCCImageDirectory("Logos"));
  ASSERT_TRUE(system.Images().SaveImageLibrary());
  CMessageRecorder recorder;
  std::vector<std::string>& messages = recorder.messages;
  system.SetUiServices(&recorder);

  CGeneralAppSettingsDialog page(&system);
  EXPECT_EQ(page.LibraryFileText()->text().toStdString(), current);
  EXPECT_EQ(page.LibraryBrowseButton()->text(), "...");
  page.LibraryFileText()->setText(QString::fromStdString(other));  // a file gone since it was chosen
  page.Apply();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].rfind("Could not change Image Library file\n\n" + other + "\nThe file could not be read: ", 0),
            0u)
      << messages[0];
  EXPECT_EQ(system.Settings().GetImageLibraryFilename(), current);
  EXPECT_EQ(system.Images().GetLibraryImages().GetChildren().size(), 1u);

  // Another system writes an empty library there; now the switch takes it.
  CSystem writer;
  writer.Settings().SetImageLibraryFilename(other);
  ASSERT_TRUE(writer.Images().SaveImageLibrary());
  messages.clear();
  page.Apply();
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(system.Settings().GetImageLibraryFilename(), other);
  EXPECT_TRUE(system.Images().GetLibraryImages().GetChildren().empty());
}

// A file that is no image library is refused when it is chosen, with why; the page keeps the
// library it had, and OK changes nothing.
TEST(SettingsPagesTest, GeneralPage_AFileThatIsNoLibraryIsRefusedWithWhyWhenChosen) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string current = dir.filePath("current.ovl").toStdString();
  CSystem system;
  system.Settings().SetImageLibraryFilename(current);
  ASSERT_TRUE(system.Images().SaveImageLibrary());
  CMessageRecorder recorder;
  system.SetUiServices(&recorder);
  const QString text = dir.filePath("text.png");
  QFile file(text);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("this is not a picture");
  file.close();

  CGeneralAppSettingsDialog page(&system);
  page.OnLibraryChosen(text);
  ASSERT_EQ(recorder.messages.size(), 1u);
  EXPECT_EQ(recorder.messages[0], "Could not change Image Library file\n\n" + text.toStdString() +
                                     "\nThe file is not an image library file, or one written by a later version of "
                                     "the program.");
  EXPECT_EQ(page.LibraryFileText()->text().toStdString(), current);
  page.Apply();
  EXPECT_EQ(recorder.messages.size(), 1u);
  EXPECT_EQ(system.Settings().GetImageLibraryFilename(), current);

  const QString good = dir.filePath("good.ovl");
  CSystem writer;
  writer.Settings().SetImageLibraryFilename(good.toStdString());
  ASSERT_TRUE(writer.Images().SaveImageLibrary());
  system.Settings().SetImageLibraryFilename(current);
  page.OnLibraryChosen(good);
  EXPECT_EQ(page.LibraryFileText()->text(), good);
  EXPECT_EQ(recorder.messages.size(), 1u);
}

// The baud-rate guidelines button shows its round blue picture, not a text.
TEST(SettingsPagesTest, CommsPage_GuidelinesButtonShowsItsPicture) {
  CSystem system;
  CCommsDialog page(&system);
  QPushButton* button = page.GuidelinesButton();
  EXPECT_TRUE(button->text().isEmpty());
  EXPECT_EQ(button->toolTip(), "Baud Rate Guidelines");
  const QImage picture = button->icon().pixmap(24, 24).toImage();
  ASSERT_EQ(picture.size(), QSize(24, 24));
  const QColor rim = picture.pixelColor(12, 4);  // inside the disc, above the letter
  EXPECT_GT(rim.blue(), rim.red() + 60);
  EXPECT_LT(picture.pixelColor(0, 0).alpha(), 40);  // the corner outside the disc
}

// The sheet's pages sit behind coloured tabs in the order they were added; each tab opens its
// page, shown on its tab's tint.
TEST(SettingsSheetTest, TabsOpenTheirPagesOnTheirTint) {
  CSystem system;
  CSettingsSheet sheet(QStringLiteral("Settings"));
  auto* general = new CGeneralAppSettingsDialog(&system);
  auto* errors = new CErrorLogSettingsDlg(&system);
  sheet.AddPage(QStringLiteral("General"), general);
  sheet.AddPage(QStringLiteral("Error Log"), errors);
  sheet.resize(420, 400);
  sheet.show();
  ASSERT_EQ(sheet.Tabs()->count(), 2);
  EXPECT_EQ(sheet.Tabs()->tabText(1), "Error Log");
  EXPECT_TRUE(general->isVisible());
  sheet.Tabs()->setCurrentIndex(1);
  EXPECT_FALSE(general->isVisible());
  EXPECT_TRUE(errors->isVisible());
  const QImage shot = sheet.grab().toImage();
  const QPoint ground = errors->mapTo(&sheet, QPoint(errors->width() - 4, errors->height() - 4));
  EXPECT_EQ(shot.pixelColor(ground), CSettingsSheet::PageTint(1));
  EXPECT_NE(CSettingsSheet::PageTint(0), CSettingsSheet::PageTint(1));
}
