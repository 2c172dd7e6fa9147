// The fading dialog base and the go-online question.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QRadioButton>
#include <QTimer>

#include "core/draw/BitmapImage.h"
#include "platform/Image.h"
#include "widgets/BitmapDialogEx.h"
#include "ui/GoOnlineAskDlg.h"
#include "ui/SplashScreen.h"

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

TEST(BitmapDialogExTest, DrawsTheTitleBarAndCloseBoxOnlyWithATitleAndHighlightsTheBoxUnderThePointer) {
  CBitmapDialogEx titled(nullptr, "Link Manager");
  titled.SetCloseBoxShown(true);
  titled.resize(300, 200);
  const QImage bar = titled.grab().toImage();
  // Gradient from black at the top to grey at the bottom of the 22-pixel bar.
  EXPECT_LT(bar.pixelColor(60, 1).value(), 40);
  EXPECT_GT(bar.pixelColor(60, 19).value(), 100);
  EXPECT_GT(bar.pixelColor(60, 19).value(), bar.pixelColor(60, 3).value());
  // The cross of the close box crosses at (right - 27, top + 10) in its light grey.
  const QColor cross = bar.pixelColor(300 - 27, 10);
  EXPECT_GT(cross.red(), 150);
  // Below the bar the plain dialog face.
  const QColor face = titled.palette().color(QPalette::Window);
  EXPECT_EQ(bar.pixelColor(150, 100), face);

  CBitmapDialogEx plain;
  plain.SetCloseBoxShown(true);
  plain.resize(300, 200);
  const QImage none = plain.grab().toImage();
  EXPECT_EQ(none.pixelColor(60, 10), face);
  EXPECT_EQ(none.pixelColor(300 - 27, 10), face);

  const QPoint inside = titled.CloseBoxRect().center();
  QMouseEvent move(QEvent::MouseMove, inside, titled.mapToGlobal(inside), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(&titled, &move);
  EXPECT_TRUE(titled.IsCloseBoxHot());
  QMouseEvent away(QEvent::MouseMove, QPoint(20, 100), titled.mapToGlobal(QPoint(20, 100)), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QApplication::sendEvent(&titled, &away);
  EXPECT_FALSE(titled.IsCloseBoxHot());

  // A click where the box would be does nothing special when it is not shown.
  CBitmapDialogEx closed(nullptr, "Title");
  closed.resize(300, 200);
  closed.show();
  QMouseEvent press(QEvent::MouseButtonPress, inside, closed.mapToGlobal(inside), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(&closed, &press);
  EXPECT_TRUE(closed.IsFadingIn());
}

// A background bitmap resource is made into the dialog's bitmap when the dialog is first sized
// and drawn at its own size from the top-left corner; none without a resource that loads.
TEST(BitmapDialogExTest, BackgroundBitmapIsMadeOnTheFirstSizeAndDrawnAtTheTopLeft) {
  constexpr std::uint16_t kLogo = 336;  // 400 x 160
  CBitmapImage logo;
  ASSERT_TRUE(logo.LoadFromResource(CBitmapImage::kResourceBmp, kLogo));
  CBitmapDialogEx dialog;
  dialog.SetBackgroundResource(kLogo);
  EXPECT_EQ(dialog.GetBackgroundBitmap(), nullptr);
  dialog.resize(300, 200);
  const QImage drawn = dialog.grab().toImage();
  const CBitmapImage* made = dialog.GetBackgroundBitmap();
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->GetWidth(), 400);
  EXPECT_EQ(made->GetHeight(), 160);
  const QColor face = dialog.palette().color(QPalette::Window);
  int unlikeFace = 0;
  for (const QPoint at : {QPoint(40, 40), QPoint(100, 80), QPoint(150, 60), QPoint(250, 120), QPoint(60, 150)}) {
    const QColor source = logo.GetImage()->Native().pixelColor(at);
    EXPECT_EQ(drawn.pixelColor(at).rgb(), source.rgb()) << at.x() << "," << at.y();
    unlikeFace += source.rgb() != face.rgb() ? 1 : 0;
  }
  EXPECT_GT(unlikeFace, 0);
  // Below the bitmap the plain face; a later size keeps the bitmap made first.
  EXPECT_EQ(drawn.pixelColor(150, 185), face);
  dialog.resize(320, 220);
  (void)dialog.grab();
  EXPECT_EQ(dialog.GetBackgroundBitmap(), made);

  // A number with no bitmap behind it draws nothing.
  CBitmapDialogEx missing;
  missing.SetBackgroundResource(9999);
  missing.resize(300, 200);
  EXPECT_EQ(missing.grab().toImage().pixelColor(100, 80), face);
  EXPECT_EQ(missing.GetBackgroundBitmap(), nullptr);
}

TEST(SplashScreenTest, DrawsTheVersionInWhiteInItsBoxAndAKeyOnItClosesIt) {
  QImage picture(600, 400, QImage::Format_ARGB32_Premultiplied);
  picture.fill(QColor(0, 0, 80));
  QPointer<CSplashScreen> splash = new CSplashScreen(picture, "Version 2.3.4 Build 567");
  EXPECT_EQ(splash->size(), QSize(600, 400));
  const QImage drawn = splash->grab().toImage();
  int whiteInBox = 0;
  int lightOutside = 0;
  for (int y = 0; y < drawn.height(); ++y) {
    for (int x = 0; x < drawn.width(); ++x) {
      const bool light = drawn.pixelColor(x, y).lightness() > 160;
      const bool inBox = x >= 378 && x < 578 && y >= 290 && y < 390;
      if (light && inBox) ++whiteInBox;
      if (light && !inBox) ++lightOutside;
    }
  }
  EXPECT_GT(whiteInBox, 20);
  EXPECT_EQ(lightOutside, 0);
  EXPECT_EQ(drawn.pixelColor(10, 10), QColor(0, 0, 80));

  splash->ShowSplashScreen(60000);
  QKeyEvent key(QEvent::KeyPress, Qt::Key_Alt, Qt::AltModifier);
  QApplication::sendEvent(splash, &key);
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QApplication::processEvents();
  EXPECT_TRUE(splash.isNull());
}

namespace {

// Runs a question (a modal box) while the splash is being shown, from the splash's own show event,
// and notes whether the splash was on the screen while the question waited.
class CQuestionOnShow : public QObject {
 public:
  explicit CQuestionOnShow(QWidget* splash) : m_splash(splash) { splash->installEventFilter(this); }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == m_splash && event->type() == QEvent::Show && !asked) {
      asked = true;
      Ask(m_splash, splashSeen);
    }
    return false;
  }
  // Opens a modal box and answers it once its own event loop runs, noting whether the splash
  // was visible with it.
  static void Ask(const QPointer<QWidget>& splash, bool& seen) {
    QMessageBox box(QMessageBox::Warning, "File Error", "3 pictures of this file could not be read");
    QTimer::singleShot(0, &box, [&] {
      seen = splash && splash->isVisible();
      box.done(QMessageBox::Ok);
    });
    box.exec();
  }
  bool asked = false;
  bool splashSeen = true;

 private:
  QPointer<QWidget> m_splash;
};

}  // namespace

// A question that opens while the splash is being shown (a posted message that its own show
// runs) finds no splash over it; the splash goes for good.
TEST(SplashScreenTest, AQuestionOpenedWhileTheSplashIsBeingShownHasNoSplashOverIt) {
  QImage picture(600, 400, QImage::Format_ARGB32_Premultiplied);
  picture.fill(QColor(0, 0, 80));
  QPointer<CSplashScreen> splash = new CSplashScreen(picture, "Version 2.3.4 Build 567");
  if (const QString folder = qEnvironmentVariable("ORVAK_TEST_PICTURES"); !folder.isEmpty())
    splash->grab().save(folder + "/splash.png");
  CQuestionOnShow question(splash);
  splash->ShowSplashScreen(60000);
  ASSERT_TRUE(question.asked);
  EXPECT_FALSE(question.splashSeen);
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QApplication::processEvents();
  EXPECT_TRUE(splash.isNull());
}

// A splash shown while a question is already open does not come over it at all.
TEST(SplashScreenTest, ASplashShownWhileAQuestionIsOpenDoesNotComeOverIt) {
  QImage picture(600, 400, QImage::Format_ARGB32_Premultiplied);
  picture.fill(QColor(0, 0, 80));
  QPointer<CSplashScreen> splash;
  bool seen = true;
  QMessageBox box(QMessageBox::Question, "Go Online", "Retrieve the settings from the units?");
  QTimer::singleShot(0, &box, [&] {
    splash = new CSplashScreen(picture, "Version 2.3.4 Build 567");
    splash->ShowSplashScreen(60000);
    seen = splash && splash->isVisible();
    box.done(QMessageBox::Ok);
  });
  box.exec();
  EXPECT_FALSE(seen);
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QApplication::processEvents();
  EXPECT_TRUE(splash.isNull());
}
