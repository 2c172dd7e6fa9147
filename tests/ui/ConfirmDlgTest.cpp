// The confirmation box and the Confirm Dialogs page, driven through their widgets.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QTimer>

#include "core/support/AppSettings.h"
#include "core/model/Confirm.h"
#include "core/system/System.h"
#include "platform/SettingsStore.h"
#include "ui/ConfirmDialogsDlg.h"
#include "ui/ConfirmDlg.h"
#include "tests/support/RecordingUi.h"

TEST(ConfirmDlg, ShowsTheQuestionWithTheRelabelledOkButton) {
  CConfirmDlg dlg("Confirm Device Delete", "Are you sure you want to delete this device?", "Delete");
  EXPECT_EQ(dlg.windowTitle(), "Confirm Device Delete");
  EXPECT_EQ(dlg.QuestionLabel()->text(), "Are you sure you want to delete this device?");
  EXPECT_EQ(dlg.OkButton()->text(), "Delete");
  EXPECT_EQ(dlg.CancelButton()->text(), "Cancel");
  EXPECT_EQ(dlg.NeverAgainBox()->text(), "Don't bother me with this dialog box ever again");
  EXPECT_FALSE(dlg.NeverAgainBox()->isChecked());
}

TEST(ConfirmDlg, OkStoresTheNeverAgainBoxAndCancelDoesNot) {
  CConfirmDlg ok("c", "q", "Mute");
  ok.NeverAgainBox()->setChecked(true);
  ok.OkButton()->click();
  EXPECT_EQ(ok.result(), QDialog::Accepted);
  EXPECT_TRUE(ok.GetNeverAgain());

  CConfirmDlg cancel("c", "q", "Mute");
  cancel.NeverAgainBox()->setChecked(true);
  cancel.CancelButton()->click();
  EXPECT_EQ(cancel.result(), QDialog::Rejected);
  EXPECT_FALSE(cancel.GetNeverAgain());
}

TEST(ConfirmDlg, QtPromptRunsTheBoxModallyAndReportsTheTickedBox) {
  CSettingsStore::Remove(SettingKeys::kSection, SettingKeys::kConfirmDialogs);
  CQtConfirmPrompt prompt(nullptr);
  CRecordingUi ui;
  ui.SetConfirmPrompt(&prompt);
  CSystem system;
  system.SetUiServices(&ui);
  // Answers the modal box as soon as it is shown.
  QTimer::singleShot(0, [] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* dlg = dynamic_cast<CConfirmDlg*>(w); dlg && dlg->isVisible()) {
        EXPECT_EQ(dlg->OkButton()->text(), "Recall");
        dlg->NeverAgainBox()->setChecked(true);
        dlg->OkButton()->click();
      }
  });
  EXPECT_TRUE(system.ConfirmAction(kConfirmPresetRecall));
  EXPECT_EQ(CAppSettings::GetConfirmDialogs(), 0xFFFFFFFFu & ~0x4u);
}

TEST(ConfirmDialogsDlg, EachBoxShowsItsOwnBitAlone) {
  for (int bit = 0; bit < CConfirmDialogsDlg::kBoxCount; ++bit) {
    CAppSettings::SetConfirmDialogs(kConfirmBits[bit]);
    CConfirmDialogsDlg page(nullptr);
    for (int i = 0; i < CConfirmDialogsDlg::kBoxCount; ++i) EXPECT_EQ(page.Box(i)->isChecked(), i == bit) << bit << i;
  }
  EXPECT_EQ(CConfirmDialogsDlg::Title(), "Confirm Dialogs");
}

// Every box has a label of its own, and the whole label is drawn: the box is as wide as its
// label needs, and the label leaves ink where it stands.
TEST(ConfirmDialogsDlg, EveryBoxShowsAWholeLabelOfItsOwn) {
  CConfirmDialogsDlg page(nullptr);
  page.show();
  QApplication::processEvents();
  QSet<QString> labels;
  for (int i = 0; i < CConfirmDialogsDlg::kBoxCount; ++i) {
    QCheckBox* box = page.Box(i);
    const QString label = box->text();
    EXPECT_FALSE(label.isEmpty()) << i;
    EXPECT_FALSE(labels.contains(label)) << label.toStdString();
    labels.insert(label);
    EXPECT_GE(box->width(), box->sizeHint().width()) << label.toStdString();
    const QImage drawn = box->grab().toImage();
    box->setText(QString());
    const QImage bare = box->grab().toImage();
    box->setText(label);
    ASSERT_EQ(drawn.size(), bare.size());
    int ink = 0;
    for (int y = 0; y < drawn.height(); ++y)
      for (int x = 0; x < drawn.width(); ++x) ink += drawn.pixel(x, y) != bare.pixel(x, y);
    EXPECT_GT(ink, 20) << label.toStdString();
  }
}

TEST(ConfirmDialogsDlg, ApplyWritesEveryBoxToItsBitAndKeepsOtherBits) {
  CAppSettings::SetConfirmDialogs(0xFFFFFC00u);
  CConfirmDialogsDlg page(nullptr);
  page.Box(2)->click();  // Preset Recall on
  page.Box(7)->click();  // Change routing on
  page.OnApply();
  EXPECT_EQ(CAppSettings::GetConfirmDialogs(), 0xFFFFFC00u | 0x4u | 0x80u);
  page.Box(2)->click();
  page.OnApply();
  EXPECT_EQ(CAppSettings::GetConfirmDialogs(), 0xFFFFFC00u | 0x80u);
}
