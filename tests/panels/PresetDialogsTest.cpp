// The Fennick preset name dialog driven through its widgets.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QMouseEvent>
#include <QTimer>

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QListWidget>

#include <memory>

#include "core/comms/CommsWorker.h"
#include "core/model/Confirm.h"
#include "core/system/System.h"
#include "core/model/Device.h"
#include "devices/processor/NerexChange.h"
#include "devices/processor/NerexMessages.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexParamIds.h"
#include "devices/processor/ProcessorFamily.h"
#include "platform/SerialPortMemory.h"
#include "tests/support/ProcessorBus.h"
#include "tests/support/RecordingUi.h"
#include <QRadioButton>
#include <QTimeEdit>
#include <QPushButton>

#include "tests/ui/dialogs/DialogTestSupport.h"
#include "panels/processor/FennickPresetDlg.h"
#include "panels/processor/FennickTimedPresetDlg.h"
#include "panels/processor/NerexPresetUi.h"
#include "panels/processor/NerexSeriesPresetDlg.h"

namespace {

int Finish(CBitmapDialogEx& dialog) {
  for (int i = 0; i < 100 && dialog.isVisible(); ++i) dialog.FadeStep();
  return dialog.isVisible() ? 0 : dialog.result();
}

TEST(FennickPresetDlg, SaveTakesTheTypedNameOfAtMostSixteenCharacters) {
  QWidget parent;
  parent.setGeometry(100, 100, 500, 400);
  parent.show();
  CFennickPresetDlg dialog(&parent, 20, 180, QStringLiteral("Store Preset"));
  dialog.m_name = QStringLiteral("Preset 2");
  dialog.show();
  SaveShotIfAsked(dialog, "fennick-preset");
  EXPECT_EQ(dialog.GetTitle(), "Store Preset");
  EXPECT_EQ(dialog.NameEdit()->selectedText(), "Preset 2");
  EXPECT_EQ(dialog.pos(), parent.mapToGlobal(QPoint(20, 180)));
  dialog.NameEdit()->clear();
  TypeText(dialog.NameEdit(), QStringLiteral("Main Room Evening Show"));
  dialog.SaveButton()->click();
  EXPECT_EQ(Finish(dialog), QDialog::Accepted);
  EXPECT_EQ(dialog.GetPresetName(), "Main Room Evenin");
}

TEST(FennickPresetDlg, CancelKeepsTheName) {
  CFennickPresetDlg dialog(nullptr, 20, 180, QStringLiteral("Rename Preset"));
  dialog.m_name = QStringLiteral("Old");
  dialog.show();
  dialog.NameEdit()->setText(QStringLiteral("New"));
  dialog.CancelButton()->click();
  EXPECT_EQ(Finish(dialog), QDialog::Rejected);
  EXPECT_EQ(dialog.GetPresetName(), "Old");
}

}  // namespace

namespace {

CNerexMemoryList Memories() {
  CNerexMemoryList list;
  ResizePresetList(list, 5);
  for (int n : {1, 3}) list[std::size_t(n - 1)]->sectionFlags = kSectionInputs;
  return list;
}

TEST(FennickTimedPresetDlg, RowsEncodeWeeklyAndOnceEntriesAndKeepUnusedBytes) {
  const CNerexMemoryList memories = Memories();
  std::array<TimedPresetEntry, kNerexTimedPresets> entries{};
  entries[0] = {1, 0, 4, 9, 0, 0};      // off, with an old date
  entries[5] = {3, 0x41, 2, 2, 6, 15};  // weekly, Sunday and Saturday
  CFennickTimedPresetDlg dialog(nullptr, 20, 180, QStringLiteral("Configure Timed Presets"), entries.data(), memories);
  dialog.show();
  SaveShotIfAsked(dialog, "fennick-timed");
  const auto& r5 = dialog.GetRow(5);
  EXPECT_TRUE(r5.enable->isChecked());
  EXPECT_TRUE(r5.weekly->isChecked());
  // On the plain dialog face the chosen option carries the dark dot, the other is empty.
  const QImage face = dialog.grab().toImage();
  auto centre = [&](QWidget* radio) {
    const QPoint at = radio->mapTo(&dialog, radio->rect().center());
    return face.pixelColor(at).lightness();
  };
  EXPECT_GT(face.pixelColor(8, dialog.height() / 2).lightness(), 160);
  EXPECT_LT(centre(r5.weekly), 100);
  EXPECT_GT(centre(r5.once), 200);
  EXPECT_TRUE(r5.days[5]->isChecked() && r5.days[6]->isChecked() && !r5.days[0]->isChecked());
  EXPECT_EQ(r5.preset->currentText(), "3. Preset 3");
  EXPECT_EQ(dialog.GetRow(0).preset->count(), 2);  // only the stored memories

  // Row 1: memory 3 every Monday and Sunday at 07:30.
  const auto& r0 = dialog.GetRow(0);
  r0.enable->setChecked(true);
  EXPECT_TRUE(r0.once->isChecked());  // switched on from off: once
  r0.weekly->setChecked(true);
  r0.preset->setCurrentIndex(1);
  r0.days[0]->setChecked(true);
  r0.days[6]->setChecked(true);
  r0.time->setTime(QTime(7, 30));
  // Row 2: memory 1 once on the next 24 December at 18:00.
  const auto& r1 = dialog.GetRow(1);
  r1.enable->setChecked(true);
  EXPECT_FALSE(r1.date->date().isNull());  // no stored date: today
  QDate christmas(QDate::currentDate().year(), 12, 24);
  if (christmas < QDate::currentDate()) christmas = christmas.addYears(1);
  r1.date->setDate(christmas);
  r1.time->setTime(QTime(18, 0));
  // Row 6: weekly with no day left becomes off.
  r5.days[5]->setChecked(false);
  r5.days[6]->setChecked(false);
  dialog.OkButton()->click();
  EXPECT_EQ(Finish(dialog), QDialog::Accepted);
  EXPECT_EQ(entries[0], (TimedPresetEntry{3, 0x60, 4, 9, 7, 30}));
  EXPECT_EQ(entries[1], (TimedPresetEntry{1, 0x80, 12, 24, 18, 0}));
  EXPECT_EQ(entries[5].mode, 0);
  EXPECT_EQ(entries[9], TimedPresetEntry{});  // untouched
}

TEST(FennickTimedPresetDlg, CancelLeavesTheEntries) {
  const CNerexMemoryList memories = Memories();
  std::array<TimedPresetEntry, kNerexTimedPresets> entries{};
  CFennickTimedPresetDlg dialog(nullptr, 20, 180, QStringLiteral("Configure Timed Presets"), entries.data(), memories);
  dialog.show();
  dialog.GetRow(2).enable->setChecked(true);
  dialog.CancelButton()->click();
  EXPECT_EQ(Finish(dialog), QDialog::Rejected);
  EXPECT_EQ(entries[2], TimedPresetEntry{});
}

}  // namespace

namespace {

class CYes {
 public:
  bool AskConfirm(const std::string&, const std::string&, const std::string&, bool&) { return true; }
};

TEST(NerexPresetUi, ThePresetFileDialogsOfferTheirOwnFilters) {
  std::vector<QStringList> offered;
  for (bool save : {true, false}) {
    QTimer::singleShot(0, [&offered] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      offered.push_back(dialog->nameFilters());
      dialog->reject();
    });
    std::string path;
    EXPECT_FALSE(NerexPresetUi::AskPresetFile(nullptr, save, path));
  }
  ASSERT_EQ(offered.size(), 2u);
  EXPECT_EQ(offered[0], (QStringList{"Fennick Preset Files (*.fnp)", "All Files (*.*)"}));
  EXPECT_EQ(offered[1], (QStringList{"Fennick Files (*.fnp)"}));
}

TEST(NerexSeriesPresetDlg, StoreRenameAndClearGoThroughTheDeviceAndTheListFollows) {
  CYes yes;
  CRecordingUi ui;
  ui.SetConfirmPrompt(&yes);
  CSystem system;
  system.SetUiServices(&ui);
  std::unique_ptr<CNerexSeriesDevice> device(
      static_cast<CNerexSeriesDevice*>(CreateNerexSeriesDevice(&system, nullptr, 116, 1, 0)));
  CNerexSeriesPresetDlg dialog(nullptr, device.get(), 268, 10, QStringLiteral("Presets"));
  dialog.show();
  SaveShotIfAsked(dialog, "nerex-presets");
  EXPECT_EQ(dialog.List()->item(0)->text(), "1. --");
  EXPECT_TRUE(dialog.StoreBox(2)->isEnabled());   // graphic EQ on Nerex44
  EXPECT_FALSE(dialog.StoreBox(3)->isEnabled());  // dynamic EQ only on Torvex48
  EXPECT_FALSE(dialog.StoreButton()->isEnabled());

  dialog.List()->setCurrentRow(1);
  EXPECT_TRUE(dialog.StoreButton()->isEnabled());
  EXPECT_FALSE(dialog.ClearButton()->isEnabled());
  dialog.StoreBox(1)->setChecked(false);
  dialog.StoreButton()->click();
  EXPECT_EQ(device->GetPresets()[1]->sectionFlags, std::uint32_t(kSectionInputs | kSectionGeq));
  EXPECT_EQ(dialog.List()->item(1)->text(), "2. Preset 2");
  EXPECT_TRUE(dialog.ClearButton()->isEnabled());

  dialog.List()->item(1)->setText(QStringLiteral("2. Evening"));  // as the in-place editor ends
  EXPECT_EQ(device->GetPresets()[1]->name, "Evening");
  EXPECT_EQ(dialog.List()->item(1)->text(), "2. Evening");

  dialog.ClearButton()->click();
  EXPECT_EQ(device->GetPresets()[1]->sectionFlags, 0u);
  EXPECT_EQ(dialog.List()->item(1)->text(), "2. --");

  // The close box: its light cross drawn on the title bar, a click in it closes the dialog.
  ASSERT_TRUE(dialog.IsCloseBoxShown());
  const QImage face = dialog.grab().toImage();
  const QRect box = dialog.CloseBoxRect();
  EXPECT_GT(qGray(face.pixel(box.center())), 0xA0);
  EXPECT_LT(qGray(face.pixel(box.left() - 20, box.center().y())), 0x90);
  QMouseEvent click(QEvent::MouseButtonPress, QPointF(box.center()), QPointF(dialog.mapToGlobal(box.center())),
                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&dialog, &click);
  EXPECT_FALSE(dialog.IsFadingIn());
}


// Store with no section box ticked is not offered: it would empty the memory in the app while
// the unit keeps it.
TEST(NerexSeriesPresetDlg, StoreNeedsASectionTicked) {
  CSystem system;
  std::unique_ptr<CNerexSeriesDevice> device(
      static_cast<CNerexSeriesDevice*>(CreateNerexSeriesDevice(&system, nullptr, 120, 1, 0)));
  WritablePresets(*device)[0]->sectionFlags = kSectionInputs;
  CNerexSeriesPresetDlg dialog(nullptr, device.get(), 268, 10, QStringLiteral("Presets"));
  dialog.show();
  dialog.List()->setCurrentRow(0);
  ASSERT_TRUE(dialog.StoreButton()->isEnabled());
  for (int bit = 0; bit < 4; ++bit) dialog.StoreBox(bit)->setChecked(false);
  EXPECT_FALSE(dialog.StoreButton()->isEnabled());
  SaveShotIfAsked(dialog, "nerex-presets-no-section");
  dialog.StoreButton()->click();
  EXPECT_EQ(device->GetPresets()[0]->sectionFlags, std::uint32_t(kSectionInputs));
  dialog.StoreBox(2)->setChecked(true);
  EXPECT_TRUE(dialog.StoreButton()->isEnabled());
}

// A counting yes to every confirmation.
class CCountedYes {
 public:
  bool AskConfirm(const std::string&, const std::string&, const std::string&, bool&) {
    ++asked;
    return true;
  }
  int asked = 0;
};

// Online with the unit away, the manager's buttons and renames ask nothing and change nothing:
// the manager says why, and the row shows what the memory keeps.
TEST(NerexSeriesPresetDlg, WithTheUnitAwayEachActionSaysWhyAndAsksNothing) {
  CCountedYes yes;
  CRecordingUi ui;
  ui.SetConfirmPrompt(&yes);
  CSystem system;
  system.SetUiServices(&ui);
  auto line = std::make_shared<CSerialLine>();
  system.GetComms().GetTransport().SetPort(std::make_unique<CMemorySerialPort>(line));
  ASSERT_TRUE(system.GetComms().SetOnline(true));
  std::unique_ptr<CNerexSeriesDevice> device(
      static_cast<CNerexSeriesDevice*>(CreateNerexSeriesDevice(&system, nullptr, 120, 1, 0)));
  WritablePresets(*device)[1]->sectionFlags = kSectionInputs;
  WritablePresets(*device)[1]->name = "Two";
  ASSERT_TRUE(device->HeldValues().IsAwayOnline());
  CNerexSeriesPresetDlg dialog(nullptr, device.get(), 268, 10, QStringLiteral("Presets"));
  std::vector<QString> messages;
  dialog.SetMessageHandler([&](const QString& text) { messages.push_back(text); });
  dialog.show();
  const QString words = QString::fromLatin1(kNotConnectedRefusal);
  for (int row : {0, 1}) {
    dialog.List()->setCurrentRow(row);
    dialog.StoreButton()->click();
    dialog.RecallButton()->click();
    if (row == 1) dialog.ClearButton()->click();
  }
  dialog.List()->item(1)->setText(QStringLiteral("2. Evening"));  // as the in-place editor ends
  EXPECT_EQ(messages, std::vector<QString>(6, words));
  EXPECT_EQ(yes.asked, 0);
  EXPECT_EQ(device->GetPresets()[0]->sectionFlags, 0u);
  EXPECT_EQ(device->GetPresets()[1]->sectionFlags, std::uint32_t(kSectionInputs));
  EXPECT_EQ(device->GetPresets()[1]->name, "Two");
  EXPECT_EQ(dialog.List()->item(1)->text(), "2. Two");
  EXPECT_EQ(device->Queue().GetQueueSize(), 0u);
  system.GetComms().SetOnline(false);
}

// The read-out found that the Nerex24 holds 20 memories where the file has 40 (memory 30 stored
// in the file alone): the manager marks rows 21 to 40, and a store, a recall or a rename there
// says why, asks nothing and queues nothing, and the file's memory stays as it was; a store in
// memory 5 reaches the unit.
TEST(NerexSeriesPresetDlg, RowsBeyondTheMemoriesTheUnitHoldsAreMarkedAndRefusedInWords) {
  CCountedYes yes;
  CProcessorBus bus;
  bus.Frame().SetConfirmPrompt(&yes);
  bus.System().SetUiServices(&bus.Frame());
  bus.DecideOnEvents();
  CSimProcessorUnit* unit = bus.AddUnit(kModelNerex24, 3);
  unit->SetPresetCount(20);
  ASSERT_TRUE(bus.Open());
  CNerexSeriesDevice* d = bus.AddDevice(kModelNerex24, 3);
  {
    CSingleLock lock(d->SettingsLock());
    ResizePresetList(WritablePresets(*d), 40);
    WritablePresets(*d)[29]->sectionFlags = kSectionInputs;
    WritablePresets(*d)[29]->name = "File only";
  }
  ASSERT_TRUE(bus.RunUntil([&] { return d->IsConnected() && d->AllBlocksReceived(); }));
  ASSERT_EQ(d->GetMemoryReadout().UnitPresets(), 20u);

  CNerexSeriesPresetDlg dialog(nullptr, d, 268, 10, QStringLiteral("Presets"));
  std::vector<QString> messages;
  dialog.SetMessageHandler([&](const QString& text) { messages.push_back(text); });
  dialog.show();
  EXPECT_EQ(dialog.List()->item(19)->text(), "20. --");
  EXPECT_EQ(dialog.List()->item(20)->text(), "21. --  (not on the unit)");
  EXPECT_EQ(dialog.List()->item(29)->text(), "30. File only  (not on the unit)");
  EXPECT_FALSE(dialog.List()->item(29)->flags() & Qt::ItemIsEditable);
  dialog.List()->scrollToItem(dialog.List()->item(29));
  SaveShotIfAsked(dialog, "nerex-presets-beyond-unit");

  const QString words = QStringLiteral("The unit holds 20 preset memories - it has no memory 30");
  dialog.List()->setCurrentRow(29);
  dialog.StoreButton()->click();
  dialog.RecallButton()->click();
  dialog.List()->item(29)->setText(QStringLiteral("30. Evening"));  // as an editor would end
  EXPECT_EQ(messages, std::vector<QString>(3, words));
  EXPECT_EQ(yes.asked, 0);
  EXPECT_EQ(d->Queue().GetQueueSize(), 0u);
  EXPECT_EQ(d->GetPresets()[29]->name, "File only");
  EXPECT_EQ(dialog.List()->item(29)->text(), "30. File only  (not on the unit)");

  dialog.List()->setCurrentRow(4);
  dialog.StoreButton()->click();
  EXPECT_EQ(messages.size(), 3u);
  ASSERT_TRUE(bus.RunUntil([&] { return unit->Preset(5).HoldsAnySection() && d->Queue().GetQueueSize() == 0; }));

  // Handed in past the manager, a store in memory 30 changes and queues nothing either; the
  // preset display steps from memory 5 to memory 5, over memory 30.
  CNerexPresetAnswer past;
  past.row = 29;
  past.storeMask = kSectionInputs | kSectionOutputs;
  past.confirmed = true;
  EXPECT_TRUE(d->Gate().ApplyUserChange(CParamValue(kPresetActionDialogStore, 0.0f, ParamKind::kNone), past));
  EXPECT_EQ(d->Queue().GetQueueSize(), 0u);
  EXPECT_EQ(d->GetPresets()[29]->sectionFlags, std::uint32_t(kSectionInputs));
  d->PanelView().SetSelectedPreset(5);
  EXPECT_TRUE(d->Gate().ApplyUserChange(CParamValue(kPresetActionLcdNext, 0.0f, ParamKind::kNone)));
  EXPECT_EQ(d->PanelView().GetSelectedPreset(), 5u);
  EXPECT_TRUE(unit->WritesOf(27).empty());
  for (const SimBytes& write : unit->WritesOf(26)) EXPECT_EQ(GetMemoryNumber(write.data() + 7), 5u);
}

// A preset name is sent one 7-bit byte a character, at most 16: a name that would not reach
// the unit as typed is refused with a message, in the name dialog and in the preset manager's
// list alike, and the memory keeps its name.
struct PresetNameCase {
  const char* typed;
  const char* message;  // empty: taken
};

class PresetNameTest : public ::testing::TestWithParam<PresetNameCase> {};

TEST_P(PresetNameTest, TheNameDialogTakesOnlyWhatTheUnitKeeps) {
  const PresetNameCase& c = GetParam();
  CFennickPresetDlg dialog(nullptr, 20, 180, QStringLiteral("Store Preset"));
  std::vector<QString> messages;
  dialog.SetMessageHandler([&](const QString& text) { messages.push_back(text); });
  dialog.m_name = QStringLiteral("Old");
  dialog.show();
  dialog.NameEdit()->setText(QString::fromUtf8(c.typed));
  dialog.SaveButton()->click();
  const bool taken = std::string(c.message).empty();
  EXPECT_EQ(messages, taken ? std::vector<QString>{} : std::vector<QString>{QString::fromUtf8(c.message)});
  EXPECT_EQ(Finish(dialog), taken ? QDialog::Accepted : 0);
  EXPECT_EQ(dialog.GetPresetName(), taken ? QString::fromUtf8(c.typed) : QStringLiteral("Old"));
}

TEST_P(PresetNameTest, TheManagerListTakesOnlyWhatTheUnitKeeps) {
  const PresetNameCase& c = GetParam();
  CSystem system;
  std::unique_ptr<CNerexSeriesDevice> device(
      static_cast<CNerexSeriesDevice*>(CreateNerexSeriesDevice(&system, nullptr, 120, 1, 0)));
  WritablePresets(*device)[1]->sectionFlags = kSectionInputs;
  WritablePresets(*device)[1]->name = "Two";
  CNerexSeriesPresetDlg dialog(nullptr, device.get(), 268, 10, QStringLiteral("Presets"));
  std::vector<QString> messages;
  dialog.SetMessageHandler([&](const QString& text) { messages.push_back(text); });
  dialog.show();
  dialog.List()->setCurrentRow(1);
  dialog.List()->item(1)->setText(QStringLiteral("2. ") + QString::fromUtf8(c.typed));  // as the editor ends
  const bool taken = std::string(c.message).empty();
  EXPECT_EQ(messages, taken ? std::vector<QString>{} : std::vector<QString>{QString::fromUtf8(c.message)});
  const std::string kept = taken ? std::string(c.typed) : std::string("Two");
  EXPECT_EQ(device->GetPresets()[1]->name, kept);
  EXPECT_EQ(dialog.List()->item(1)->text(), QStringLiteral("2. ") + QString::fromStdString(kept));
}

INSTANTIATE_TEST_SUITE_P(
    Names, PresetNameTest,
    ::testing::Values(PresetNameCase{"Evening", ""}, PresetNameCase{"Main Room Show 2", ""},
                      // Pasted whole, not cut to the sixteen characters the box takes typed.
                      PresetNameCase{"Main Room Show 22", "Preset name too long - 16 characters max"},
                      PresetNameCase{"a\tb", "Preset name cannot contain control characters"},
                      PresetNameCase{"x\x7Fy", "Preset name cannot contain control characters"},
                      PresetNameCase{"\u00E9t\u00E9", "Preset name cannot contain \"\u00E9\" - the unit takes ASCII characters only"},
                      PresetNameCase{"Show \U0001F3B5", "Preset name cannot contain \"\U0001F3B5\" - the unit takes ASCII characters only"}));

// The memory's own name, as the unit gave it (a byte beyond ASCII is one character), is stored
// again as it stands; a name typed in its place must be one a person may type.
TEST(PresetNameDialog, TheMemorysOwnNameGoesBackAsItStands) {
  for (const char* typed : {"Caf\u00E9", "Caf\u00E9s"}) {
    CFennickPresetDlg dialog(nullptr, 20, 180, QStringLiteral("Store Preset"));
    std::vector<QString> messages;
    dialog.SetMessageHandler([&](const QString& text) { messages.push_back(text); });
    dialog.m_name = QString::fromUtf8("Caf\u00E9");
    dialog.show();
    EXPECT_EQ(dialog.NameEdit()->text(), dialog.m_name);
    dialog.NameEdit()->setText(QString::fromUtf8(typed));
    dialog.SaveButton()->click();
    const bool own = dialog.NameEdit()->text() == QString::fromUtf8("Caf\u00E9");
    EXPECT_EQ(Finish(dialog), own ? QDialog::Accepted : 0) << typed;
    EXPECT_EQ(messages.size(), own ? 0u : 1u) << typed;
  }
}

}  // namespace
