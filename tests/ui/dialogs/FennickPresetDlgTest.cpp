// The Fennick preset name dialog driven through its widgets.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>

#include "tests/ui/dialogs/DialogTestSupport.h"
#include "ui/dialogs/FennickPresetDlg.h"

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
