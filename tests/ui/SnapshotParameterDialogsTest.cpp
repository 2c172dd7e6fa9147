// The snapshot creation and rename dialogs and the parameter selection dialog, driven
// through their widgets offscreen, and their pictures.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>

#include "core/model/Snapshot.h"
#include "core/system/System.h"
#include "core/system/Zone.h"
#include "tests/support/ModelChanges.h"
#include "tests/support/TestDevices.h"
#include "ui/ParameterSelectionDlg.h"
#include "ui/SnapshotDialogs.h"

namespace {

// Steps the closing fade to its end; the dialog's result (0 while it has not ended).
int Finish(CBitmapDialogEx& dialog) {
  for (int i = 0; i < 100 && dialog.isVisible(); ++i) dialog.FadeStep();
  return dialog.isVisible() ? 0 : dialog.result();
}

class SnapshotDialogs : public ::testing::Test {
 protected:
  void AddSnapshots(std::initializer_list<const char*> names) {
    for (const char* name : names) system.Snapshots().AppendSnapshot(new CSnapshot(name));
  }
  CSystem system;
};

TEST_F(SnapshotDialogs, DefaultNameTakesTheFirstFreeNumber) {
  EXPECT_EQ(DefaultSnapshotName(system), "Snapshot 1");
  AddSnapshots({"Snapshot 1", "Snapshot 2"});
  EXPECT_EQ(DefaultSnapshotName(system), "Snapshot 3");
  system.Snapshots().DeleteSnapshot(0);
  EXPECT_EQ(DefaultSnapshotName(system), "Snapshot 1");
}

TEST_F(SnapshotDialogs, CreateOpensWithTheNameSelectedAndNothingToOverwriteWithoutSnapshots) {
  CSnapshotCreateDlg dialog(nullptr, &system, "New Snapshot", "Snapshot 1");
  dialog.show();
  EXPECT_EQ(dialog.GetTitle(), "New Snapshot");
  EXPECT_EQ(dialog.NameEdit()->text(), "Snapshot 1");
  EXPECT_EQ(dialog.NameEdit()->selectedText(), "Snapshot 1");
  EXPECT_FALSE(dialog.OverwriteBox()->isEnabled());
  EXPECT_FALSE(dialog.SnapshotList()->isEnabled());
  EXPECT_TRUE(dialog.NameEdit()->isEnabled());
  dialog.NameEdit()->clear();  // an empty name is accepted
  dialog.OkButton()->click();
  EXPECT_EQ(Finish(dialog), QDialog::Accepted);
  EXPECT_EQ(dialog.m_newSnapshot, 1);
  EXPECT_EQ(dialog.m_name, "");
}

TEST_F(SnapshotDialogs, CreateRefusesATakenNameWithTheMessageAndAcceptsItInAnotherCase) {
  AddSnapshots({"Stage", "Hall"});
  CSnapshotCreateDlg dialog(nullptr, &system, "New Snapshot", "Snapshot 1");
  std::vector<QString> messages;
  dialog.SetMessageHandler([&](const QString& text) { messages.push_back(text); });
  dialog.show();
  dialog.NameEdit()->setText("Hall");
  dialog.OkButton()->click();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "A snapshot with that name exists already");
  EXPECT_EQ(Finish(dialog), 0);  // still open
  EXPECT_EQ(dialog.NameEdit()->text(), "Hall");
  dialog.NameEdit()->setText("hall");
  dialog.OkButton()->click();
  EXPECT_EQ(Finish(dialog), QDialog::Accepted);
  EXPECT_EQ(dialog.m_name, "hall");
  EXPECT_EQ(messages.size(), 1u);
}

// A name with a tab or a line end pasted into it would show on two lines in the toolbar's list
// and split a line of the log: both dialogs refuse it in words and stay open; any other
// character, beyond ASCII too, is taken.
TEST_F(SnapshotDialogs, BothDialogsRefuseControlCharactersInWordsAndTakeEveryOtherCharacter) {
  AddSnapshots({"Stage"});
  for (const bool rename : {false, true}) {
    std::unique_ptr<CBitmapDialogEx> dialog;
    QLineEdit* edit = nullptr;
    QPushButton* ok = nullptr;
    if (rename) {
      auto* d = new CSnapshotRenameDlg(nullptr, &system, 0);
      d->m_name = "Stage";
      dialog.reset(d), edit = d->NameEdit(), ok = d->OkButton();
    } else {
      auto* d = new CSnapshotCreateDlg(nullptr, &system, "New Snapshot", "Snapshot 2");
      dialog.reset(d), edit = d->NameEdit(), ok = d->OkButton();
    }
    std::vector<QString> messages;
    dialog->SetMessageHandler([&](const QString& text) { messages.push_back(text); });
    dialog->show();
    for (const char* pasted : {"Tab\there", "Line\nend", "Sep\xE2\x80\xA8line"}) {
      edit->setText(QString::fromUtf8(pasted));
      ok->click();
      EXPECT_EQ(Finish(*dialog), 0) << pasted;  // still open
    }
    EXPECT_EQ(messages, std::vector<QString>(3, "Snapshot name cannot contain control characters")) << rename;
    edit->setText(QString::fromUtf8("Sn\xC3\xA4p \xC3\x9C\xE6\x97\xA5"));
    ok->click();
    EXPECT_EQ(Finish(*dialog), QDialog::Accepted);
    const QString taken = rename ? static_cast<CSnapshotRenameDlg&>(*dialog).m_name
                                 : static_cast<CSnapshotCreateDlg&>(*dialog).m_name;
    EXPECT_EQ(taken, QString::fromUtf8("Sn\xC3\xA4p \xC3\x9C\xE6\x97\xA5"));
  }
}

TEST_F(SnapshotDialogs, TickingOverwriteSwapsTheEnabledFieldsAndReturnsTheChosenSnapshot) {
  AddSnapshots({"A", "B", "C"});
  CSnapshotCreateDlg dialog(nullptr, &system, "New Snapshot", "Snapshot 1");
  dialog.m_snapshotIndex = 2;
  dialog.show();
  ASSERT_EQ(dialog.SnapshotList()->count(), 3);
  EXPECT_EQ(dialog.SnapshotList()->currentIndex(), 2);
  EXPECT_TRUE(dialog.OverwriteBox()->isEnabled());
  dialog.OverwriteBox()->click();
  EXPECT_FALSE(dialog.NameEdit()->isEnabled());
  EXPECT_TRUE(dialog.SnapshotList()->isEnabled());
  dialog.SnapshotList()->setCurrentIndex(1);
  dialog.OkButton()->click();
  EXPECT_EQ(Finish(dialog), QDialog::Accepted);
  EXPECT_EQ(dialog.m_newSnapshot, 0);
  EXPECT_EQ(dialog.m_snapshotIndex, 1);
}

TEST_F(SnapshotDialogs, CancelEndsWithoutAChoice) {
  CSnapshotCreateDlg dialog(nullptr, &system, "New Snapshot", "Snapshot 1");
  dialog.show();
  dialog.CancelButton()->click();
  EXPECT_EQ(Finish(dialog), QDialog::Rejected);
}

// Rename refuses the name of another snapshot as New Snapshot does (the overwrite list could
// not tell the two apart), and takes its own or one in another case.
TEST_F(SnapshotDialogs, RenameReturnsTheTypedNameUnlessAnotherSnapshotHasIt) {
  AddSnapshots({"Stage", "Hall"});
  CSnapshotRenameDlg dialog(nullptr, &system, 0);
  std::vector<QString> messages;
  dialog.SetMessageHandler([&](const QString& text) { messages.push_back(text); });
  dialog.m_name = "Stage";
  dialog.show();
  EXPECT_EQ(dialog.GetTitle(), "Rename Snapshot");
  EXPECT_EQ(dialog.NameEdit()->selectedText(), "Stage");
  dialog.NameEdit()->setText("Hall");
  dialog.OkButton()->click();
  EXPECT_EQ(messages, std::vector<QString>{"A snapshot with that name exists already"});
  EXPECT_EQ(Finish(dialog), 0);  // still open
  EXPECT_EQ(dialog.m_name, "Stage");
  for (const char* name : {"Stage", "hall", "Stage Left"}) {
    CSnapshotRenameDlg again(nullptr, &system, 0);
    again.m_name = "Stage";
    again.show();
    again.NameEdit()->setText(name);
    again.OkButton()->click();
    EXPECT_EQ(Finish(again), QDialog::Accepted) << name;
    EXPECT_EQ(again.m_name, name);
  }
  EXPECT_EQ(messages.size(), 1u);
}

// --- Parameter selection ---

// A device that offers parameter 10 + kind and 20 + kind for a widget kind.
class CListingDevice : public CTestDevice {
 public:
  using CTestDevice::CTestDevice;
  void ListParameters(int kind, std::vector<CParamInfo>& out) override {
    for (int id : {10 + kind, 20 + kind}) {
      CParamInfo info;
      info.id = id;
      info.name = GetName() + " P" + std::to_string(id);
      out.push_back(info);
    }
  }
};

class CKnobWidget : public CTestWidget {
 public:
  std::uint32_t GetControlType() const override { return 4; }
};

class ParameterSelection : public ::testing::Test {
 protected:
  void SetUp() override {
    // Array order A, B, C; zone order: Main Zone holds C, A; Zone 2 holds B.
    for (const char* name : {"A", "B", "C"}) {
      auto* d = new CListingDevice(&system, std::uint32_t(devices.size() + 1));
      NameDevice(d, name);
      system.AppendDevice(d);
      devices.push_back(d);
    }
    system.GetZones()[0]->AppendDevice(devices[2]);
    system.GetZones()[0]->AppendDevice(devices[0]);
    auto* zone = new CZone(&system);
    zone->AppendDevice(devices[1]);
    system.AppendZone(zone);
  }
  std::vector<QString> DeviceEntries(CParameterSelectionDlg& d) {
    std::vector<QString> out;
    for (int i = 0; i < d.DeviceList()->count(); ++i) out.push_back(d.DeviceList()->itemText(i));
    return out;
  }

  CSystem system;
  std::vector<CListingDevice*> devices;
  CKnobWidget widget;
};

// Each entry names the device with its model and ID, so that units of one name (as units
// read out often are) are told apart.
TEST_F(ParameterSelection, ListsDevicesZoneByZoneAndPreselectsTheRememberedOne) {
  system.SetParameterDeviceIndex(1);  // B
  widget.m_pDevice = devices[0];
  widget.m_parameterId = 24;
  {
    CParameterSelectionDlg dialog(&system, &widget);
    dialog.show();
    EXPECT_EQ(DeviceEntries(dialog), (std::vector<QString>{"C (Test Model, ID 3)", "A (Test Model, ID 1)",
                                                           "B (Test Model, ID 2)"}));
    EXPECT_EQ(dialog.DeviceList()->currentText(), "B (Test Model, ID 2)");
    ASSERT_EQ(dialog.ParameterList()->count(), 2);
    EXPECT_EQ(dialog.ParameterList()->item(0)->text(), "B P14");
    EXPECT_EQ(dialog.ParameterList()->currentRow(), 1);  // the widget's parameter id 24
  }
  NameDevice(devices[2], "A");
  CParameterSelectionDlg dialog(&system, &widget);
  dialog.show();
  EXPECT_EQ(DeviceEntries(dialog), (std::vector<QString>{"A (Test Model, ID 3)", "A (Test Model, ID 1)",
                                                         "B (Test Model, ID 2)"}));
}

TEST_F(ParameterSelection, UseBindsTheWidgetToTheChosenDeviceAndParameter) {
  CParameterSelectionDlg dialog(&system, &widget);
  dialog.show();
  EXPECT_EQ(dialog.DeviceList()->currentText(), "A (Test Model, ID 1)");  // remembered index 0
  EXPECT_EQ(dialog.ParameterList()->currentRow(), -1);  // parameter id 0: nothing chosen
  dialog.DeviceList()->setCurrentIndex(0);  // C
  EXPECT_EQ(dialog.m_currentDevice, 2);
  EXPECT_EQ(dialog.ParameterList()->item(1)->text(), "C P24");
  dialog.ParameterList()->setCurrentRow(1);
  dialog.UseButton()->click();
  EXPECT_EQ(Finish(dialog), QDialog::Accepted);
  EXPECT_EQ(widget.m_pDevice, devices[2]);
  EXPECT_EQ(widget.m_parameterId, 24u);
}

TEST_F(ParameterSelection, RemoveClearsTheBindingAndCancelKeepsIt) {
  widget.m_pDevice = devices[1];
  widget.m_parameterId = 14;
  {
    CParameterSelectionDlg dialog(&system, &widget);
    dialog.show();
    dialog.DeviceList()->setCurrentIndex(1);
    dialog.ParameterList()->setCurrentRow(0);
    dialog.CancelButton()->click();
    EXPECT_EQ(Finish(dialog), QDialog::Rejected);
    EXPECT_EQ(widget.m_pDevice, devices[1]);
    EXPECT_EQ(dialog.m_currentDevice, 0);  // the caller remembers the device chosen anyway
  }
  CParameterSelectionDlg dialog(&system, &widget);
  dialog.show();
  dialog.RemoveButton()->click();
  EXPECT_EQ(Finish(dialog), QDialog::Accepted);
  EXPECT_EQ(widget.m_pDevice, nullptr);
  EXPECT_EQ(widget.m_parameterId, 0u);
}

// The widget goes while the dialog is open (its panel was deleted): the dialog ends as Cancel
// does, and its buttons reach no widget afterwards.
TEST_F(ParameterSelection, AWidgetThatEndsWhileTheDialogIsOpenEndsItAsCancel) {
  auto ending = std::make_unique<CKnobWidget>();
  CParameterSelectionDlg dialog(&system, ending.get());
  dialog.show();
  dialog.ParameterList()->setCurrentRow(0);
  ending.reset();
  EXPECT_EQ(Finish(dialog), QDialog::Rejected);
  dialog.RemoveButton()->click();
  dialog.UseButton()->click();
  EXPECT_EQ(widget.m_pDevice, nullptr);
}

TEST(ParameterSelectionEmpty, WithoutDevicesUseChangesNothing) {
  CSystem system;
  CKnobWidget widget;
  CParameterSelectionDlg dialog(&system, &widget);
  dialog.show();
  EXPECT_EQ(dialog.DeviceList()->count(), 0);
  EXPECT_EQ(dialog.ParameterList()->count(), 0);
  dialog.UseButton()->click();
  EXPECT_EQ(Finish(dialog), QDialog::Accepted);
  EXPECT_EQ(widget.m_pDevice, nullptr);
}

// --- Pictures ---

// Pixels of the area that differ clearly from its most common colour: what is drawn on the
// area's ground (text, frames, arrows).
int InkOn(const QImage& shot, const QRect& area) {
  std::map<QRgb, int> counts;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) ++counts[shot.pixel(x, y)];
  if (counts.empty()) return 0;
  const QRgb ground =
      std::max_element(counts.begin(), counts.end(), [](const auto& a, const auto& b) { return a.second < b.second; })
          ->first;
  int ink = 0;
  for (const auto& [colour, count] : counts) {
    const int distance = std::abs(qRed(colour) - qRed(ground)) + std::abs(qGreen(colour) - qGreen(ground)) +
                         std::abs(qBlue(colour) - qBlue(ground));
    if (distance > 150) ink += count;
  }
  return ink;
}

// The dialog drawn offscreen: each control lies wholly inside it and shows its text on its
// ground. With ORVAK_TEST_PICTURES naming a folder the picture is also saved there, to look at.
void ExpectControlsDrawn(QWidget& dialog, const char* name, std::initializer_list<QWidget*> controls) {
  dialog.show();
  const QImage shot = dialog.grab().toImage();
  const QString folder = qEnvironmentVariable("ORVAK_TEST_PICTURES");
  if (!folder.isEmpty()) shot.save(QDir(folder).filePath(QString::fromLatin1(name) + ".png"));
  int index = 0;
  for (QWidget* control : controls) {
    const QRect area(control->mapTo(&dialog, QPoint(0, 0)), control->size());
    EXPECT_TRUE(dialog.rect().contains(area)) << name << ", control " << index;
    EXPECT_GT(InkOn(shot, area.adjusted(2, 2, -2, -2)), 20) << name << ", control " << index;
    ++index;
  }
}

TEST(DialogPictures, EveryControlLiesInsideItsDialogAndShowsItsText) {
  CSystem system;
  system.Snapshots().AppendSnapshot(new CSnapshot("Stage"));
  CSnapshotCreateDlg create(nullptr, &system, "New Snapshot", "Snapshot 2");
  ExpectControlsDrawn(create, "create",
                      {create.NameEdit(), create.OverwriteBox(), create.OkButton(), create.CancelButton()});
  CSnapshotRenameDlg rename(nullptr, &system, 0);
  rename.m_name = "Stage";
  ExpectControlsDrawn(rename, "rename", {rename.NameEdit(), rename.OkButton(), rename.CancelButton()});

  auto* device = new CListingDevice(&system, 1);
  NameDevice(device, "Stage Left");
  system.AppendDevice(device);
  system.GetZones()[0]->AppendDevice(device);
  CKnobWidget widget;
  CParameterSelectionDlg parameters(&system, &widget);
  parameters.SetTitle("Parameter Selection");
  ExpectControlsDrawn(parameters, "parameters",
                      {parameters.DeviceList(), parameters.ParameterList(), parameters.UseButton(),
                       parameters.RemoveButton(), parameters.CancelButton()});
}

}  // namespace
