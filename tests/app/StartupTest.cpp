// Start-up of the application object: the command-line file, the last file, the splash.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPointer>
#include <QSettings>
#include <QTimer>
#include <chrono>
#include <thread>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "app/QuendalApp.h"
#include "core/model/Device.h"
#include "core/file/ImageTree.h"
#include "custom/CPData.h"
#include "custom/CustomControls.h"
#include "platform/Image.h"
#include "core/system/System.h"
#include "core/system/Zone.h"
#include "platform/SettingsStore.h"
#include "tests/app/FrameFixture.h"
#include "tests/support/FileTestDevices.h"
#include "tests/support/ModelChanges.h"
#include "ui/SplashScreen.h"

namespace {

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp.isValid());
    RegisterFileTestDevices();
  }

  // A file holding one device with the given name.
  std::string MakeFile(const std::string& name, const std::string& deviceName) {
    CSystem system;
    CDevice* device = system.CreateDevice(3, CFileTestDevice::kPlainType, 0);
    NameDevice(device, deviceName);
    system.AppendDevice(device);
    system.GetZones()[0]->AppendDevice(device);
    const std::string path = (temp.path() + "/").toStdString() + name;
    EXPECT_TRUE(system.File().SaveFile(path));
    return path;
  }

  static std::string OpenDeviceName(CQuendalApp& app) {
    CSystem& system = app.GetMainFrame()->GetSystem();
    return system.GetDeviceCount() == 1 ? system.GetDevice(0)->GetName() : std::string();
  }

  static QPointer<CSplashScreen> FindSplash() {
    QPointer<CSplashScreen> splash;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* s = dynamic_cast<CSplashScreen*>(w)) splash = s;
    }
    return splash;
  }

  QTemporaryDir temp;
  CFakePrompts prompts;
};

}  // namespace

TEST_F(StartupTest, CommandLineFileWinsOverLoadLastFileOnStartup) {
  const std::string named = MakeFile("named.ovd", "Named");
  CRecentFileList list;
  list.Add(MakeFile("last.ovd", "Last"));
  CSettingsStore::WriteInt("Settings", "LoadLastFileOnStartup", 1);

  CQuendalApp app;
  app.SetUserPrompts(&prompts);
  app.SetSplashTime(0);
  ASSERT_TRUE(app.InitInstance({named}));
  EXPECT_EQ(OpenDeviceName(app), "Named");
  EXPECT_EQ(app.GetMainFrame()->windowTitle(), "Orvak - named.ovd");
  EXPECT_EQ(app.GetRecentFileName(0), named);
  EXPECT_TRUE(app.GetMainFrame()->isVisible());
}

TEST_F(StartupTest, LoadLastFileOnStartupOpensTheMostRecentFile) {
  CRecentFileList list;
  list.Add(MakeFile("older.ovd", "Older"));
  list.Add(MakeFile("last.ovd", "Last"));
  CSettingsStore::WriteInt("Settings", "LoadLastFileOnStartup", 1);

  CQuendalApp app;
  app.SetUserPrompts(&prompts);
  app.SetSplashTime(0);
  ASSERT_TRUE(app.InitInstance({}));
  EXPECT_EQ(OpenDeviceName(app), "Last");
  EXPECT_EQ(app.GetMainFrame()->windowTitle(), "Orvak - last.ovd");
}

TEST_F(StartupTest, WithoutTheSettingStartsUntitledAndShowsTheSplashThatClosesItself) {
  CRecentFileList list;
  list.Add(MakeFile("last.ovd", "Last"));
  CSettingsStore::WriteInt("Settings", "LoadLastFileOnStartup", 0);  // whatever a test before left

  CQuendalApp app;
  app.SetUserPrompts(&prompts);
  app.SetSplashTime(100);
  ASSERT_TRUE(app.InitInstance({}));
  EXPECT_EQ(app.GetMainFrame()->GetSystem().GetDeviceCount(), 0);
  EXPECT_EQ(app.GetMainFrame()->windowTitle(), "Orvak - Untitled");
  QPointer<CSplashScreen> splash = FindSplash();
  ASSERT_FALSE(splash.isNull());
  EXPECT_TRUE(splash->GetVersionText().startsWith("Version "));
  EXPECT_TRUE(WaitFor([&] { return splash.isNull(); }));
}

TEST_F(StartupTest, FatalCommsErrorWhileTheSplashIsUpShowsItsBoxWithTheSplashGone) {
  CSettingsStore::WriteInt("Settings", "LoadLastFileOnStartup", 0);
  CQuendalApp app;  // the real message boxes
  app.SetSplashTime(600000);
  ASSERT_TRUE(app.InitInstance({}));
  QPointer<CSplashScreen> splash = FindSplash();
  ASSERT_FALSE(splash.isNull());
  ASSERT_TRUE(splash->isVisible());

  // What the user sees while the box waits for an answer; then the box is answered.
  QString boxText;
  bool splashShownWithTheBox = true;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    boxText = box->text();
    splashShownWithTheBox = splash && splash->isVisible();
    box->done(QMessageBox::Ok);
    watch.stop();
  });
  watch.start(10);
  app.GetMainFrame()->PostMessage(FrameMsg::kFatalCommsError, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return !boxText.isEmpty(); }));
  EXPECT_EQ(boxText, "Fatal Comms Error - Going Offline");
  EXPECT_FALSE(splashShownWithTheBox);
  EXPECT_TRUE(WaitFor([&] { return splash.isNull(); }));
}

TEST_F(StartupTest, AStartupFileThatCannotBeOpenedLeavesAnEmptySystem) {
  CQuendalApp app;
  app.SetUserPrompts(&prompts);
  app.SetSplashTime(0);
  ASSERT_TRUE(app.InitInstance({(temp.path() + "/missing.ovd").toStdString()}));
  EXPECT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(app.GetMainFrame()->GetSystem().GetDeviceCount(), 0);
  EXPECT_EQ(app.GetMainFrame()->windowTitle(), "Orvak - Untitled");
}

// A file named on the command line relative to the folder the program starts in is listed by
// its full path: "Load last file on startup" from another folder, which holds a file of the
// same name, opens the first file.
TEST_F(StartupTest, ARelativeCommandLineFileIsListedByItsFullPath) {
  ASSERT_TRUE(QDir(temp.path()).mkpath("a") && QDir(temp.path()).mkpath("b"));
  const std::string first = MakeFile("a/show.ovd", "First");
  MakeFile("b/show.ovd", "Other");
  CSettingsStore::WriteInt("Settings", "LoadLastFileOnStartup", 1);
  {
    CWorkingFolder inA(temp.path().toStdString() + "/a");
    CQuendalApp app;
    app.SetUserPrompts(&prompts);
    app.SetSplashTime(0);
    ASSERT_TRUE(app.InitInstance({"show.ovd"}));
    EXPECT_EQ(app.GetRecentFileName(0), first);
    EXPECT_EQ(app.GetMainFrame()->GetSystem().File().GetFilePath(), first);
  }
  CWorkingFolder inB(temp.path().toStdString() + "/b");
  CQuendalApp app;
  app.SetUserPrompts(&prompts);
  app.SetSplashTime(0);
  ASSERT_TRUE(app.InitInstance({}));
  EXPECT_EQ(OpenDeviceName(app), "First");
}

// A save that its process did not live to finish is offered back at the start, before the last
// file opens: put back, the file opens as it was before that save.
TEST_F(StartupTest, ASaveCutShortIsOfferedBackBeforeTheLastFileOpens) {
  const std::string last = MakeFile("last.ovd", "Last");
  CRecentFileList list;
  list.Add(last);
  CSettingsStore::WriteInt("Settings", "LoadLastFileOnStartup", 1);
  CutASaveInPlaceShort(last);
  prompts.choiceAnswers = {"Put Back"};
  CQuendalApp app;
  app.SetUserPrompts(&prompts);
  app.SetSplashTime(0);
  ASSERT_TRUE(app.InitInstance({}));
  ASSERT_EQ(prompts.choices.size(), 1u);
  EXPECT_NE(prompts.choices[0].text.find("A save of " + last + " did not finish"), std::string::npos);
  EXPECT_EQ(OpenDeviceName(app), "Last");
  // What the Put Back wrote over is not asked about again as the file opens, and goes with its
  // next save.
  const std::vector<CKeptCopy> left = FindKeptCopies();
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].save, EKeptCopySave::Replaced);
  app.GetMainFrame()->GetSystem().SetModified(true);
  ASSERT_TRUE(app.GetMainFrame()->Files().OnFileSave());
  EXPECT_TRUE(FindKeptCopies().empty());
}

// An image library of a thousand pictures that do not read gives one notice at the start, with
// their count and the first names, and the main window opens after it.
TEST_F(StartupTest, ALibraryOfAThousandPicturesThatDoNotReadGivesOneNoticeAtTheStart) {
  const std::string library = (temp.path() + "/bad1000.ovl").toStdString();
  {
    CSystem writer;
    writer.Settings().SetImageLibraryFilename(library);
    for (int i = 0; i < 1000; ++i) {
      auto* blank = new CCCImage;  // stored without bytes: no picture to read
      blank->m_name = "pic" + std::to_string(200000 + i);
      writer.Images().GetLibraryImages().AddChild(blank);
    }
    ASSERT_TRUE(writer.Images().SaveImageLibrary());
  }
  CSettingsStore::WriteInt("Settings", "LoadLastFileOnStartup", 0);
  {
    CQuendalApp app;
    app.SetUserPrompts(&prompts);
    app.SetSplashTime(0);
    ASSERT_TRUE(app.InitInstance({}));
    EXPECT_TRUE(app.GetMainFrame()->isVisible());
    EXPECT_EQ(app.GetMainFrame()->GetSystem().Images().GetLibraryImages().GetChildren().size(), 1000u);
  }
  CSettingsStore::Remove("Settings", "ImageLibraryFilename");
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0].caption, "Image Library");
  EXPECT_EQ(prompts.messages[0].text,
            "Error loading image\n\n1,000 pictures of the image library could not be read: \"pic200000\", "
            "\"pic200001\", \"pic200002\", \"pic200003\", \"pic200004\" and 995 more.\nThey are kept as they are and "
            "shown without a picture.");
}

// An option it does not know, and the usage, end start-up before a window is made; "--" lets a
// file whose name starts with "-" be named.
TEST_F(StartupTest, AnUnknownCommandLineOptionEndsStartUp) {
  for (const auto& [args, code] : std::vector<std::pair<std::vector<std::string>, int>>{
           {{"--no-such-option"}, 2}, {{"show.ovd", "-x"}, 2}, {{"--help"}, 0}, {{"-h", "show.ovd"}, 0}}) {
    CQuendalApp app;
    app.SetUserPrompts(&prompts);
    app.SetSplashTime(0);
    EXPECT_FALSE(app.InitInstance(args));
    EXPECT_EQ(app.StartupExitCode(), code);
    EXPECT_EQ(app.GetMainFrame(), nullptr);
  }
  CWorkingFolder here(temp.path().toStdString());
  MakeFile("-x.ovd", "Dashed");
  CQuendalApp app;
  app.SetUserPrompts(&prompts);
  app.SetSplashTime(0);
  ASSERT_TRUE(app.InitInstance({"--", "-x.ovd"}));
  EXPECT_EQ(OpenDeviceName(app), "Dashed");
}

// The program, started as a shell starts it, with a file whose name is not UTF-8 (made in another
// encoding): the name goes from the command line to the open and to the recent list byte for
// byte, and the program opens the file instead of saying it cannot.
TEST_F(StartupTest, TheProgramOpensACommandLineFileWhoseNameIsNotUtf8) {
  const std::string path = temp.path().toStdString() + "/caf\xe9.ovd";
  {
    CSystem empty;
    ASSERT_TRUE(empty.File().SaveFile(path));
  }
  const std::string home = temp.path().toStdString() + "/home";
  std::vector<std::string> env{"QT_QPA_PLATFORM=offscreen", "ORVAK_AUTOQUIT_MS=300", "ORVAK_SPLASH_MS=0",
                               "XDG_CONFIG_HOME=" + home + "/config", "XDG_DATA_HOME=" + home + "/data"};
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    if (entry.rfind("QT_QPA_PLATFORM=", 0) != 0 && entry.rfind("ORVAK_", 0) != 0 && entry.rfind("XDG_", 0) != 0)
      env.push_back(entry);
  }
  std::vector<char*> envp;
  for (std::string& entry : env) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::string program = ORVAK_EXECUTABLE;
  std::string file = path;
  char* argv[] = {program.data(), file.data(), nullptr};
  pid_t child = 0;
  ASSERT_EQ(::posix_spawn(&child, program.c_str(), nullptr, nullptr, argv, envp.data()), 0);
  // A program that stopped at a message box is ended, and the test fails.
  int status = 0;
  for (int waited = 0; ::waitpid(child, &status, WNOHANG) == 0; ++waited) {
    if (waited == 3000) {
      ::kill(child, SIGKILL);
      ::waitpid(child, &status, 0);
      FAIL() << "the program did not end by itself";
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  QSettings settings(QString::fromStdString(home + "/config/ZYRQOL/Orvak.conf"), QSettings::IniFormat);
  EXPECT_EQ(settings.value(QStringLiteral("Recent File List/File1")).toByteArray().toStdString(), path);
}

// The usage needs no window system: asked for where there is no display (the platform named is
// one that needs a display), it is printed and the program ends well, before Qt would abort.
TEST_F(StartupTest, TheUsageIsPrintedWhereThereIsNoDisplay) {
  for (const std::vector<std::string>& words :
       std::vector<std::vector<std::string>>{{"--help"}, {"-h", "show.ovd"}, {"--no-such-option", "--help"}}) {
    std::vector<std::string> env{"QT_QPA_PLATFORM=xcb"};
    for (char** e = environ; *e; ++e) {
      const std::string entry = *e;
      if (entry.rfind("QT_QPA_PLATFORM=", 0) != 0 && entry.rfind("DISPLAY=", 0) != 0 &&
          entry.rfind("WAYLAND_DISPLAY=", 0) != 0)
        env.push_back(entry);
    }
    std::vector<char*> envp;
    for (std::string& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string program = ORVAK_EXECUTABLE;
    std::vector<std::string> args = words;
    std::vector<char*> argv{program.data()};
    for (std::string& word : args) argv.push_back(word.data());
    argv.push_back(nullptr);
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    pid_t child = 0;
    ASSERT_EQ(::posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    std::string printed;
    char block[256];
    for (ssize_t n; (n = ::read(out[0], block, sizeof block)) > 0;) printed.append(block, std::size_t(n));
    ::close(out[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << words[0] << " status " << status;
    EXPECT_EQ(printed.rfind("usage: orvak [FILE.ovd]\n", 0), 0u) << printed;
  }
}

// A file reopened at the start with a panel open whose picture's pixels do not decode: the
// notice the panel's first paint raises, whenever during the start it comes, has no splash over
// it, and the splash does not come back after it.
TEST_F(StartupTest, AQuestionRaisedDuringTheStartFindsNoSplashOverIt) {
  RegisterCustomControls();
  const std::string path = (temp.path() + "/pictures.ovd").toStdString();
  {
    CSystem system;
    CCPData* panel = system.Panels().AddCustomPanel();
    auto* picture = new CCCImage;
    picture->m_name = "back";
    picture->m_format = kImageFormatPng;
    CImage pixels(24, 24);
    for (int y = 0; y < 24; ++y)
      for (int x = 0; x < 24; ++x) pixels.SetPixel(x, y, CColour::FromRgb(std::uint8_t(x * 10), std::uint8_t(y * 9), 77));
    picture->SetBitmap(std::move(pixels));
    system.Images().GetFileImages().AddChild(picture);
    panel->m_pBackgroundImage = picture;
    panel->m_panelWasOpen = true;
    ASSERT_TRUE(system.File().SaveFile(path));
  }
  QByteArray bytes;
  {
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    bytes = file.readAll();
  }
  const qsizetype idat = bytes.indexOf("IDAT");
  ASSERT_GT(idat, 0);
  for (qsizetype i = idat + 4; i < idat + 12; ++i) bytes[i] = char(bytes[i] ^ 0x5A);
  {
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
  }

  CSettingsStore::WriteInt("Settings", "LoadLastFileOnStartup", 0);
  QString boxText;
  bool splashWithTheBox = true;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    boxText = box->text();
    const QPointer<CSplashScreen> splash = FindSplash();
    splashWithTheBox = splash && splash->isVisible();
    box->done(QMessageBox::Ok);
  });
  watch.start(5);
  CQuendalApp app;  // the real message boxes
  app.SetSplashTime(600000);
  ASSERT_TRUE(app.InitInstance({path}));
  ASSERT_TRUE(WaitFor([&] { return !boxText.isEmpty(); }));
  watch.stop();
  EXPECT_TRUE(boxText.contains("could not be read")) << boxText.toStdString();
  EXPECT_FALSE(splashWithTheBox);
  ProcessEvents();
  const QPointer<CSplashScreen> splash = FindSplash();
  EXPECT_TRUE(splash.isNull() || !splash->isVisible());
}
