// The confirmation box and the Confirm Dialogs page, driven through their widgets.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "core/AppSettings.h"
#include "core/Confirm.h"
#include "core/System.h"
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

TEST(ConfirmDialogsDlg, ListsTheTenQuestionsAndShowsEachBit) {
  CAppSettings::SetConfirmDialogs(0x1 | 0x20 | 0x200);
  CConfirmDialogsDlg page(nullptr);
  const char* texts[] = {"Global Mute On/Off",
                         "Graphic EQ Flatten",
                         "Preset Recall",
                         "Preset Overwrite",
                         "Preset Clear",
                         "Delete Device",
                         "Delete Custom Control Panel",
                         "Change Ouput Routing (Nerex && Torvex-Series Only)",
                         "Snapshot Recall",
                         "Snapshot Delete"};
  for (int i = 0; i < CConfirmDialogsDlg::kBoxCount; ++i) {
    EXPECT_EQ(page.Box(i)->text(), QString::fromUtf8(texts[i])) << i;
    EXPECT_EQ(page.Box(i)->isChecked(), i == 0 || i == 5 || i == 9) << i;
  }
  EXPECT_EQ(CConfirmDialogsDlg::Title(), "Confirm Dialogs");
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
