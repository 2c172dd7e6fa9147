// The fading dialog base and the go-online question.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QRadioButton>

#include "ui/BitmapDialogEx.h"
#include "ui/GoOnlineAskDlg.h"

TEST(BitmapDialogExTest, FadeInStopsAtTargetAndFadeOutEndsTheDialog) {
  CBitmapDialogEx dialog(nullptr, "Title");
  dialog.show();
  int steps = 0;
  while (dialog.IsFadingIn() && dialog.GetOpacity() < 0.9f && steps < 100) {
    dialog.FadeStep();
    ++steps;
  }
  EXPECT_EQ(steps, 13);  // 0.07 a step up to 0.91
  EXPECT_NEAR(dialog.GetOpacity(), 0.91f, 1e-4);
  dialog.reject();
  int down = 0;
  while (dialog.isVisible() && down < 100) {
    dialog.FadeStep();
    ++down;
  }
  EXPECT_EQ(down, 13);  // 12 steps to 0.07, ended on the 13th tick
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST(BitmapDialogExTest, OkThenCancelDuringFadeStillEndsWithOk) {
  CBitmapDialogEx dialog;
  dialog.show();
  for (int i = 0; i < 5; ++i) dialog.FadeStep();
  EXPECT_NEAR(dialog.GetOpacity(), 0.35f, 1e-4);
  dialog.accept();
  dialog.reject();
  int ticks = 0;
  while (dialog.isVisible() && ticks < 100) {
    dialog.FadeStep();
    ++ticks;
  }
  EXPECT_LT(ticks, 10);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST(GoOnlineAskDlgTest, StartsWithRetrieveAndFollowsTheClicks) {
  CGoOnlineAskDlg dialog;
  EXPECT_EQ(dialog.windowTitle(), "Go Online");
  EXPECT_TRUE(dialog.RetrieveButton()->isChecked());
  EXPECT_EQ(dialog.GetChoice(), 0u);
  EXPECT_FALSE(dialog.GetAlways());
  dialog.SendButton()->click();
  dialog.AlwaysBox()->click();
  EXPECT_EQ(dialog.GetChoice(), 1u);
  EXPECT_TRUE(dialog.GetAlways());
  dialog.RetrieveButton()->click();
  EXPECT_EQ(dialog.GetChoice(), 0u);
}
