// The application's own parts: recent files, the update checker stand-in, the About box,
// the splash window and the file-dialog filters.
#include <gtest/gtest.h>

#include <FreeImage.h>

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <boost/version.hpp>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/AboutDlg.h"
#include "app/RecentFileList.h"
#include "app/UpdateChecker.h"
#include "app/UserPrompts.h"
#include "core/support/AppSettings.h"
#include "core/system/System.h"
#include "tests/app/FakePrompts.h"
#include "tests/app/FrameFixture.h"
#include "ui/AutoscanDlg.h"
#include "ui/SplashScreen.h"

TEST(RecentFileListTest, NewestFirstNoDuplicatesFourAtMostAndPersisted) {
  CRecentFileList list;
  list.Load();
  EXPECT_EQ(list.Get(0), "");
  for (const char* p : {"/a.ovd", "/b.ovd", "/c.ovd", "/d.ovd", "/e.ovd"}) list.Add(p);
  EXPECT_EQ(list.Count(), 4u);
  EXPECT_EQ(list.Get(0), "/e.ovd");
  EXPECT_EQ(list.Get(3), "/b.ovd");
  list.Add("/c.ovd");  // moves up instead of appearing twice
  EXPECT_EQ(list.Get(0), "/c.ovd");
  EXPECT_EQ(list.Get(1), "/e.ovd");
  EXPECT_EQ(list.Count(), 4u);

  CRecentFileList again;
  again.Load();
  ASSERT_EQ(again.Count(), 4u);
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(again.Get(i), list.Get(i));
  again.Remove(0);
  EXPECT_EQ(again.Get(0), "/e.ovd");
  EXPECT_EQ(again.Get(4), "");
}

// Two instances of the program share the list in the settings: each change is made to the list
// as the other instance left it, newest first.
TEST(RecentFileListTest, EntriesAnotherInstanceAddedOrRemovedStaySo) {
  CRecentFileList mine;
  mine.Load();
  mine.Add("/a.ovd");
  mine.Add("/b.ovd");
  // Another process, with its own list read from the store, opens a file and forgets another.
  const pid_t other = ::fork();
  if (other == 0) {
    CRecentFileList theirs;
    theirs.Load();
    theirs.Add("/c.ovd");
    theirs.Remove(2);  // "/a.ovd"
    ::_exit(theirs.Count() == 2 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(other, &status, 0), other);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  mine.Add("/d.ovd");
  CRecentFileList stored;
  stored.Load();
  for (const CRecentFileList* list : {&mine, &stored}) {
    ASSERT_EQ(list->Count(), 3u);
    EXPECT_EQ(list->Get(0), "/d.ovd");
    EXPECT_EQ(list->Get(1), "/c.ovd");
    EXPECT_EQ(list->Get(2), "/b.ovd");
  }
  mine.Remove(1);
  stored.Load();
  EXPECT_EQ(stored.Get(1), "/b.ovd");
  EXPECT_EQ(stored.Count(), 2u);
}

// A file opened by another name (a symbolic link to it, or another hard link) is one entry,
// under the name it was last opened by.
TEST(RecentFileListTest, OneFileByTwoNamesIsListedOnce) {
  QTemporaryDir dir;
  const std::string real = (dir.path() + "/real.ovd").toStdString();
  const std::string alias = (dir.path() + "/alias.ovd").toStdString();
  const std::string hard = (dir.path() + "/hard.ovd").toStdString();
  const std::string other = (dir.path() + "/other.ovd").toStdString();
  for (const std::string& path : {real, other}) {
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  }
  ASSERT_EQ(::symlink(real.c_str(), alias.c_str()), 0);
  ASSERT_EQ(::link(real.c_str(), hard.c_str()), 0);

  CRecentFileList list;
  list.Load();
  list.Add(real);
  list.Add(other);
  list.Add(alias);
  ASSERT_EQ(list.Count(), 2u);
  EXPECT_EQ(list.Get(0), alias);
  EXPECT_EQ(list.Get(1), other);
  list.Add(hard);
  ASSERT_EQ(list.Count(), 2u);
  EXPECT_EQ(list.Get(0), hard);
}

// A file named through a link to its folder is the file named through the folder itself, also
// while it is not there (removed since, or on a drive not mounted now): one entry.
TEST(RecentFileListTest, AFileThatIsGoneIsListedOnceThroughALinkToItsFolder) {
  QTemporaryDir dir;
  const std::string folder = dir.path().toStdString();
  ASSERT_EQ(::mkdir((folder + "/shows").c_str(), 0700), 0);
  ASSERT_EQ(::symlink((folder + "/shows").c_str(), (folder + "/linked").c_str()), 0);
  const std::string gone = folder + "/shows/gone.ovd";
  const std::string throughLink = folder + "/linked/gone.ovd";
  const std::string other = folder + "/other.ovd";
  CRecentFileList list;
  list.Load();
  list.Add(gone);
  list.Add(other);
  list.Add(throughLink);
  ASSERT_EQ(list.Count(), 2u);
  EXPECT_EQ(list.Get(0), throughLink);
  EXPECT_EQ(list.Get(1), other);
}

TEST(UpdateCheckerTest, KeepsFeedAndSettingAndOnlyTellsTheUser) {
  CAppSettings::SetCheckForUpdates(false);
  CUpdateChecker checker;
  checker.SetAppcastUrl("https://example.invalid/feed.xml");
  checker.Init();
  EXPECT_TRUE(checker.IsStarted());
  EXPECT_FALSE(checker.GetAutomaticChecks());
  EXPECT_EQ(checker.GetAppcastUrl(), "https://example.invalid/feed.xml");

  CFakePrompts prompts;
  checker.CheckUpdateWithUi(prompts);
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_NE(prompts.messages[0].text.find("https://example.invalid/feed.xml"), std::string::npos);
  checker.Cleanup();
  EXPECT_FALSE(checker.IsStarted());

  CAppSettings::SetCheckForUpdates(true);
  CUpdateChecker on;
  on.Init();
  EXPECT_TRUE(on.GetAutomaticChecks());
}

TEST(AboutDlgTest, CreditsToggleTheHeightKeepingWidthAndPosition) {
  CAboutDlg dialog;
  dialog.move(40, 50);
  dialog.show();
  ProcessEvents();
  const int width = dialog.width();
  const QPoint position = dialog.pos();
  EXPECT_EQ(dialog.height(), CAboutDlg::kHeightWithoutCredits);
  for (int click = 1; click <= 3; ++click) {
    dialog.CreditsButton()->click();
    EXPECT_EQ(dialog.height(), click % 2 ? 257 : 110) << click;
    EXPECT_EQ(dialog.width(), width);
    EXPECT_EQ(dialog.pos(), position);
  }
  EXPECT_EQ(dialog.ProductLabel()->text(), "Orvak");
  EXPECT_TRUE(dialog.VersionLabel()->text().startsWith("Version "));
}

TEST(AboutDlgTest, CreditsNameTheVersionsOfTheLinkedLibraries) {
  const QString credits = CAboutDlg::CreditsText();
  const QString boost = QString::asprintf("Boost v%d.%d.%d - ", BOOST_VERSION / 100000,
                                          BOOST_VERSION / 100 % 1000, BOOST_VERSION % 100);
  EXPECT_TRUE(credits.startsWith(boost)) << credits.toStdString();
  EXPECT_TRUE(credits.contains(QStringLiteral("Qt v") + qVersion()));
  EXPECT_TRUE(credits.contains(QStringLiteral("FreeImage v") + FreeImage_GetVersion() + "\n"));
  EXPECT_TRUE(credits.contains(QString::fromLatin1(FreeImage_GetCopyrightMessage())));
  EXPECT_EQ(credits.count("\n\n"), 2);
}

// The skinned dialogs keep the plain dialog face: dark labels on it, and the dark title bar and
// rounded frames stand out at the top and the edges.
TEST(SkinnedDialogsTest, BodyKeepsThePlainFaceUnderTheDarkTitleBarAndFrames) {
  CSystem system;
  CAboutDlg about;
  about.SetTitle(QStringLiteral("About Orvak"));
  CAutoscanDlg autoscan(system);
  autoscan.SetTitle(QStringLiteral("Autoscanning..."));
  autoscan.OnStatusText("Scanning ID 12");
  ProcessEvents();
  for (CBitmapDialogEx* dialog : {static_cast<CBitmapDialogEx*>(&about), static_cast<CBitmapDialogEx*>(&autoscan)}) {
    const char* name = dialog->metaObject()->className();
    const QImage image = dialog->grab().toImage();
    const QColor face = dialog->palette().color(QPalette::Window);
    EXPECT_GT(face.lightness(), 160) << name;
    EXPECT_EQ(image.pixelColor(8, dialog->height() / 2), face) << name;
    // The outer frame: half on the edge pixels at the left, whole at the right.
    EXPECT_LT(image.pixelColor(0, dialog->height() / 2).lightness(), face.lightness() - 60) << name << " frame";
    EXPECT_LT(image.pixelColor(dialog->width() - 2, dialog->height() / 2).lightness(), 64) << name << " frame";
    EXPECT_LT(image.pixelColor(dialog->width() / 4, 3).lightness(), 64) << name << " title bar";
    const auto labels = dialog->findChildren<QLabel*>();
    ASSERT_FALSE(labels.empty());
    const QRect r = labels.front()->geometry();
    int darkest = 255;
    for (int y = r.top(); y <= r.bottom(); ++y)
      for (int x = r.left(); x <= r.right(); ++x) darkest = std::min(darkest, image.pixelColor(x, y).lightness());
    EXPECT_LT(darkest, 100) << name;
  }
}

TEST(SplashScreenTest, ClickClosesAtOnceAndTheTimerOtherwise) {
  QPointer<CSplashScreen> clicked = new CSplashScreen(QImage(), "Version 1.0.0 Build 0");
  clicked->ShowSplashScreen(60000);
  ProcessEvents();
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(clicked, &press);
  EXPECT_TRUE(WaitFor([&] { return clicked.isNull(); }, 2000));

  QPointer<CSplashScreen> timed = new CSplashScreen(QImage(), "Version 1.0.0 Build 0");
  timed->ShowSplashScreen(50);
  EXPECT_FALSE(timed.isNull());
  EXPECT_TRUE(WaitFor([&] { return timed.isNull(); }, 5000));
}

TEST(UserPromptsTest, FiltersBecomeQtNameFilters) {
  EXPECT_EQ(CQtUserPrompts::ToQtFilter("orvak Files (*.ovd)|*.ovd"), "orvak Files (*.ovd)");
  EXPECT_EQ(CQtUserPrompts::ToQtFilter("Orvak Files (*.ovd)|*.ovd|All Files (*.*)|*.*||"),
            "Orvak Files (*.ovd);;All Files (*.*)");
  EXPECT_EQ(CQtUserPrompts::ToQtFilter("Text|*.txt"), "Text (*.txt)");
}
