// New, Open, Save, Save As, the recent files, autosave, the title and the close question,
// driven through the frame's commands with scripted answers.
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "app/CommandIds.h"
#include "custom/CPData.h"
#include "core/model/Device.h"
#include "core/file/ImageTree.h"
#include "core/system/System.h"
#include "core/system/Zone.h"
#include "custom/BitmapControl.h"
#include "custom/CustomControls.h"
#include "custom/KnobControl.h"
#include "tests/app/FrameFixture.h"
#include "tests/support/FileTestDevices.h"
#include "tests/support/TestDevices.h"

namespace {

const char* const kQuestion = "This file has been modified, do you want to save it?";
using Answer = IUserPrompts::Answer;

class FileCommandsTest : public FrameTest {
 protected:
  void SetUp() override {
    FrameTest::SetUp();
    RegisterFileTestDevices();
  }

  // A device of the test family named name, appended to the system and its first zone.
  static CDevice* AddDevice(CSystem& system, const std::string& name) {
    CDevice* device = system.CreateDevice(7, CFileTestDevice::kPlainType, 0);
    device->SetName(name);
    system.AppendDevice(device);
    system.GetZones()[0]->AppendDevice(device);
    system.SetModified(true);
    return device;
  }

  static QByteArray FileBytes(const std::string& path) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
};

}  // namespace

TEST_F(FileCommandsTest, NewSaveOpenClose_ThroughTheCommands_TitleAfterEach) {
  CFrameUnderTest& f = MakeFrame();
  CSystem& system = f.GetSystem();
  EXPECT_EQ(f.windowTitle(), "Orvak - Untitled");

  AddDevice(system, "Stage Left");
  prompts.paths = {PathOf("show")};  // typed without an extension
  f.RunCommand(Cmd::kFileSave);      // untitled: the save dialog
  ASSERT_EQ(prompts.saveSpecs.size(), 1u);
  EXPECT_EQ(prompts.saveSpecs[0].filter, "Orvak Files (*.ovd)|*.ovd|All Files (*.*)|*.*||");
  EXPECT_EQ(prompts.saveSpecs[0].defaultExtension, "ovd");
  const std::string saved = PathOf("show.ovd");
  EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(saved)));
  EXPECT_EQ(system.GetFilePath(), saved);
  EXPECT_EQ(f.windowTitle(), "Orvak - show.ovd");
  EXPECT_FALSE(system.IsModified());
  EXPECT_EQ(recent.Get(0), saved);

  f.RunCommand(Cmd::kFileNew);  // not modified: no question
  EXPECT_TRUE(prompts.questions.empty());
  EXPECT_EQ(system.GetDeviceCount(), 0);
  EXPECT_EQ(f.windowTitle(), "Orvak - Untitled");

  prompts.paths = {saved};
  f.RunCommand(Cmd::kFileOpen);
  ASSERT_EQ(prompts.openSpecs.size(), 1u);
  EXPECT_EQ(prompts.openSpecs[0].filter, "orvak Files (*.ovd)|*.ovd");
  ASSERT_EQ(system.GetDeviceCount(), 1);
  EXPECT_EQ(system.GetDevice(0)->GetName(), "Stage Left");
  EXPECT_EQ(f.windowTitle(), "Orvak - show.ovd");
  EXPECT_FALSE(system.IsModified());

  EXPECT_TRUE(f.close());
  EXPECT_TRUE(prompts.questions.empty());
  EXPECT_FALSE(system.GetComms().IsWorkerRunning());
}

TEST_F(FileCommandsTest, OpenKeepsThePanelOpenMark_SoTheNextSaveKeepsTheStoredLayout) {
  CFrameUnderTest& f = MakeFrame();
  CSystem& system = f.GetSystem();
  CDevice* device = AddDevice(system, "Stage Left");
  CTestControlPanel panel;
  device->SetControlPanel(&panel);
  const std::string path = PathOf("layout.ovd");
  prompts.paths = {path};
  f.RunCommand(Cmd::kFileSave);
  device->SetControlPanel(nullptr);
  f.RunCommand(Cmd::kFileNew);
  prompts.paths = {path};
  f.RunCommand(Cmd::kFileOpen);
  ASSERT_EQ(system.GetDeviceCount(), 1);
  EXPECT_TRUE(system.GetDevice(0)->WasPanelOpenWhenStored());
  system.SetModified(true);
  f.RunCommand(Cmd::kFileSave);

  f.RunCommand(Cmd::kFileNew);
  prompts.paths = {path};
  f.RunCommand(Cmd::kFileOpen);
  ASSERT_EQ(system.GetDeviceCount(), 1);
  EXPECT_TRUE(system.GetDevice(0)->WasPanelOpenWhenStored());
}

TEST_F(FileCommandsTest, Close_ModifiedFileAsksAndCancelKeepsTheFrameRunning) {
  CFrameUnderTest& f = MakeFrame();
  AddDevice(f.GetSystem(), "A");
  prompts.answers = {Answer::Cancel};
  EXPECT_FALSE(f.close());
  ASSERT_EQ(prompts.questions.size(), 1u);
  EXPECT_EQ(prompts.questions[0].caption, "Close File");
  EXPECT_EQ(prompts.questions[0].text, kQuestion);
  EXPECT_TRUE(f.GetSystem().GetComms().IsWorkerRunning());
  EXPECT_EQ(f.GetSystem().GetDeviceCount(), 1);

  prompts.answers = {Answer::No};
  EXPECT_TRUE(f.close());
  EXPECT_FALSE(f.GetSystem().GetComms().IsWorkerRunning());
}

TEST_F(FileCommandsTest, Close_YesAlwaysUsesTheSaveDialogAndACancelledDialogKeepsRunning) {
  CFrameUnderTest& f = MakeFrame();
  CSystem& system = f.GetSystem();
  AddDevice(system, "A");
  const std::string path = PathOf("bound.ovd");
  ASSERT_TRUE(system.SaveFile(path));
  system.SetModified(true);

  prompts.answers = {Answer::Yes};
  prompts.paths = {""};  // the save dialog is cancelled
  EXPECT_FALSE(f.close());
  EXPECT_EQ(prompts.saveSpecs.size(), 1u);  // the dialog, although the file has a path
  EXPECT_TRUE(system.GetComms().IsWorkerRunning());
  EXPECT_TRUE(system.IsModified());

  const std::string other = PathOf("other.ovd");
  prompts.answers = {Answer::Yes};
  prompts.paths = {other};
  EXPECT_TRUE(f.close());
  EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(other)));
}

TEST_F(FileCommandsTest, YesWithAFailedSave_NewAndOpenKeepTheModifiedFile) {
  CFrameUnderTest& f = MakeFrame();
  CSystem& system = f.GetSystem();
  const std::string good = PathOf("good.ovd");
  ASSERT_TRUE(system.SaveFile(good));
  // Bound to a path whose folder does not exist: every save fails.
  system.Clear();
  AddDevice(system, "Unsaved");
  system.SetFilePath(PathOf("missing-folder/x.ovd"));

  prompts.answers = {Answer::Yes};
  f.RunCommand(Cmd::kFileNew);
  EXPECT_EQ(system.GetDeviceCount(), 1);
  EXPECT_TRUE(system.IsModified());
  ASSERT_EQ(prompts.questions.size(), 1u);
  EXPECT_EQ(prompts.questions[0].caption, "New File");

  prompts.answers = {Answer::Yes};
  EXPECT_FALSE(f.OpenFilePath(good));
  EXPECT_EQ(prompts.questions.back().caption, "Open File");
  EXPECT_EQ(system.GetDeviceCount(), 1);
  EXPECT_EQ(system.GetDevice(0)->GetName(), "Unsaved");

  prompts.answers = {Answer::No};
  EXPECT_TRUE(f.OpenFilePath(good));
  EXPECT_EQ(system.GetDeviceCount(), 0);
}

TEST_F(FileCommandsTest, SaveAs_AppendsOvdOnlyToANameWithoutExtension) {
  CFrameUnderTest& f = MakeFrame();
  prompts.paths = {PathOf("plain"), PathOf("with.bak")};
  f.RunCommand(Cmd::kFileSaveAs);
  EXPECT_EQ(f.GetSystem().GetFilePath(), PathOf("plain.ovd"));
  f.RunCommand(Cmd::kFileSaveAs);
  EXPECT_EQ(f.GetSystem().GetFilePath(), PathOf("with.bak"));
  EXPECT_EQ(f.windowTitle(), "Orvak - with.bak");
  EXPECT_EQ(recent.Get(0), PathOf("with.bak"));
  EXPECT_EQ(recent.Get(1), PathOf("plain.ovd"));
}

TEST_F(FileCommandsTest, Title_PathWithoutSeparatorIsShownWhole) {
  CFrameUnderTest& f = MakeFrame();
  f.GetSystem().SetFilePath("name.ovd");
  f.UpdateTitle();
  EXPECT_EQ(f.windowTitle(), "Orvak - name.ovd");
}

TEST_F(FileCommandsTest, Autosave_StoresABoundFileWithoutAskingAndSkipsAnUntitledOne) {
  CFrameUnderTest& f = MakeFrame();
  CSystem& system = f.GetSystem();
  AddDevice(system, "A");
  f.Tick(FrameTimer::kAutosave);  // untitled: nothing happens
  EXPECT_TRUE(prompts.saveSpecs.empty());
  EXPECT_TRUE(system.IsModified());

  const std::string path = PathOf("auto.ovd");
  ASSERT_TRUE(system.SaveFile(path));
  const QByteArray before = FileBytes(path);
  AddDevice(system, "B");
  f.Tick(FrameTimer::kAutosave);
  EXPECT_TRUE(prompts.questions.empty());
  EXPECT_TRUE(prompts.saveSpecs.empty());
  EXPECT_NE(FileBytes(path), before);
  EXPECT_EQ(f.GetStatusText(), QString::fromStdString("Autosaving file " + path));

  CSystem reread;
  ASSERT_TRUE(reread.OpenFile(path));
  EXPECT_EQ(reread.GetDeviceCount(), 2);
}

TEST_F(FileCommandsTest, RecentFiles_OpenTheChosenEntryAfterTheCloseQuestion) {
  CFrameUnderTest& f = MakeFrame();
  CSystem& system = f.GetSystem();
  AddDevice(system, "First");
  prompts.paths = {PathOf("one.ovd")};
  f.RunCommand(Cmd::kFileSaveAs);
  system.Clear();
  AddDevice(system, "Second");
  AddDevice(system, "Third");
  prompts.paths = {PathOf("two.ovd")};
  f.RunCommand(Cmd::kFileSaveAs);
  f.UpdateCommandUI();
  EXPECT_EQ(f.GetCommand(Cmd::kRecentFile1)->text(), QString::fromStdString("&1 " + PathOf("two.ovd")));
  EXPECT_TRUE(f.GetCommand(Cmd::kRecentFile1 + 1)->isVisible());
  EXPECT_FALSE(f.GetCommand(Cmd::kRecentFile1 + 2)->isVisible());

  AddDevice(system, "Fourth");  // modified: the close question comes first
  prompts.answers = {Answer::No};
  f.RunCommand(Cmd::kRecentFile1 + 1);
  ASSERT_EQ(prompts.questions.size(), 1u);
  EXPECT_EQ(prompts.questions[0].caption, "Close File");
  ASSERT_EQ(system.GetDeviceCount(), 1);
  EXPECT_EQ(system.GetDevice(0)->GetName(), "First");
  EXPECT_EQ(f.windowTitle(), "Orvak - one.ovd");
  EXPECT_EQ(recent.Get(0), PathOf("one.ovd"));
}

TEST_F(FileCommandsTest, RecentFileThatIsGone_IsReportedRemovedAndDropsNothing) {
  CFrameUnderTest& f = MakeFrame();
  CSystem& system = f.GetSystem();
  recent.Add(PathOf("gone.ovd"));
  AddDevice(system, "Keep");
  f.RunCommand(Cmd::kRecentFile1);
  EXPECT_TRUE(prompts.questions.empty());
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(system.GetDeviceCount(), 1);
  EXPECT_EQ(recent.Get(0), "");
}

TEST_F(FileCommandsTest, DamagedFile_IsReportedAndLeavesAnEmptyUntitledSystem) {
  CFrameUnderTest& f = MakeFrame();
  CSystem& system = f.GetSystem();
  const std::string damaged = PathOf("damaged.ovd");
  {
    QFile file(QString::fromStdString(damaged));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::fromHex("0600000000000000"));  // version 6: from a newer program
  }
  AddDevice(system, "Old");
  system.SetModified(false);
  EXPECT_FALSE(f.OpenFilePath(damaged));
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0].caption, "File Error");
  EXPECT_EQ(system.GetDeviceCount(), 0);
  EXPECT_EQ(system.GetFilePath(), "");
  EXPECT_EQ(f.windowTitle(), "Orvak - Untitled");
  EXPECT_EQ(recent.Get(0), "");
}

// A file opened by a name relative to the current folder (as a shell passes it) is known by its
// full path: the recent files, the title and every later save name that file, whatever folder
// the program is in by then.
TEST_F(FileCommandsTest, RelativeName_IsKnownByItsFullPathInTheListAndTheSaves) {
  CFrameUnderTest& f = MakeFrame();
  CSystem& system = f.GetSystem();
  ASSERT_TRUE(QDir(temp.path()).mkpath("a") && QDir(temp.path()).mkpath("b"));
  {
    CSystem other;
    AddDevice(other, "A");
    ASSERT_TRUE(other.SaveFile(PathOf("a/show.ovd")));
    other.Clear();
    AddDevice(other, "B");
    ASSERT_TRUE(other.SaveFile(PathOf("b/show.ovd")));
  }
  {
    CWorkingFolder inA(PathOf("a"));
    ASSERT_TRUE(f.OpenFilePath("show.ovd"));
  }
  EXPECT_EQ(recent.Get(0), PathOf("a/show.ovd"));
  EXPECT_EQ(system.GetFilePath(), PathOf("a/show.ovd"));
  EXPECT_EQ(f.windowTitle(), "Orvak - show.ovd");

  CWorkingFolder inB(PathOf("b"));
  AddDevice(system, "A2");
  ASSERT_TRUE(f.OnFileSave());
  CSystem reread;
  ASSERT_TRUE(reread.OpenFile(PathOf("a/show.ovd")));
  EXPECT_EQ(reread.GetDeviceCount(), 2);
  ASSERT_TRUE(reread.OpenFile(PathOf("b/show.ovd")));
  EXPECT_EQ(reread.GetDevice(0)->GetName(), "B");  // untouched
  system.Clear();
  f.RunCommand(Cmd::kRecentFile1);
  ASSERT_EQ(system.GetDeviceCount(), 2);
  EXPECT_EQ(system.GetDevice(0)->GetName(), "A");
  EXPECT_EQ(recent.Get(0), PathOf("a/show.ovd"));
}

// A file that does not open because a save of it was cut short is offered its earlier bytes,
// which that save kept: Yes puts them back and opens the file, No deletes them and Cancel keeps
// them for the next start; the file stays unopened with either.
TEST_F(FileCommandsTest, FileThatASaveCutShortLeftDamaged_IsOfferedItsKeptEarlierBytes) {
  for (const Answer answer : {Answer::Cancel, Answer::No, Answer::Yes}) {
    SCOPED_TRACE(int(answer));
    CFrameUnderTest& f = MakeFrame();
    CSystem& system = f.GetSystem();
    const std::string path = PathOf("cut" + std::to_string(int(answer)) + ".ovd");
    AddDevice(system, "Earlier");
    ASSERT_TRUE(system.SaveFile(path));
    system.Clear();
    system.SetModified(false);
    CutASaveInPlaceShort(path);
    prompts.questions.clear();
    prompts.answers = {answer};
    EXPECT_EQ(f.OpenFilePath(path), answer == Answer::Yes);
    ASSERT_EQ(prompts.questions.size(), 1u);
    EXPECT_NE(prompts.questions[0].text.find("A save of " + path + " did not finish"), std::string::npos);
    EXPECT_EQ(FindKeptCopies(path).size(), answer == Answer::Cancel ? 1u : 0u);
    if (answer == Answer::Yes) {
      ASSERT_EQ(system.GetDeviceCount(), 1);
      EXPECT_EQ(system.GetDevice(0)->GetName(), "Earlier");
      EXPECT_EQ(recent.Get(0), path);
    } else {
      EXPECT_EQ(system.GetDeviceCount(), 0);
    }
    frame.reset();
  }
}

TEST_F(FileCommandsTest, FileWithPanelsAndAPictureThatDoesNotDecode_OpensWithOneMessage) {
  RegisterCustomControls();
  CFrameUnderTest& f = MakeFrame();
  CSystem& system = f.GetSystem();
  auto* broken = new CCCImage;  // no picture: stored with no bytes
  broken->m_name = "broken";
  system.GetFileImages().AddChild(broken);
  CCPData* panel = system.AddCustomPanel();
  panel->m_pBackgroundImage = broken;
  panel->m_panelWasOpen = true;
  panel->m_widgets.push_back(new CCCKnob);
  const std::string path = PathOf("panels.ovd");
  ASSERT_TRUE(system.SaveFile(path));
  f.RunCommand(Cmd::kFileNew);
  ASSERT_TRUE(system.GetCustomPanels().empty());

  EXPECT_TRUE(f.OpenFilePath(path));
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0].text,
            "Error loading image\n\nThe picture \"broken\" of this file could not be read.\n"
            "It is kept as it is and shown without a picture.");
  EXPECT_EQ(prompts.messages[0].caption, "File Error");
  ASSERT_EQ(system.GetCustomPanels().size(), 1u);
  CCPData* loaded = system.GetCustomPanels()[0];
  EXPECT_NE(loaded->m_pView, nullptr);  // its window opened again, which drops the mark
  EXPECT_FALSE(loaded->m_panelWasOpen);
  ASSERT_NE(loaded->m_pBackgroundImage, nullptr);
  EXPECT_EQ(loaded->m_pBackgroundImage->m_name, "broken");
  EXPECT_EQ(loaded->m_widgets.size(), 1u);
  EXPECT_EQ(system.GetFilePath(), path);
  EXPECT_FALSE(system.IsModified());
}

// A file of 1,200 pictures that do not read opens after one notice, which counts them and names
// the first; each is kept.
TEST_F(FileCommandsTest, FileWithAThousandPicturesThatDoNotRead_OpensAfterOneNotice) {
  CFrameUnderTest& f = MakeFrame();
  CSystem& system = f.GetSystem();
  auto* small = new CCCImageDirectory("small");
  system.GetFileImages().AddChild(small);
  for (int i = 0; i < 1200; ++i) {
    auto* blank = new CCCImage;
    blank->m_name = "pic" + std::to_string(100000 + i);
    small->AddChild(blank);
  }
  const std::string path = PathOf("many.ovd");
  ASSERT_TRUE(system.SaveFile(path));
  f.RunCommand(Cmd::kFileNew);

  EXPECT_TRUE(f.OpenFilePath(path));
  ProcessEvents();
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0].caption, "File Error");
  EXPECT_EQ(prompts.messages[0].text,
            "Error loading image\n\n1,200 pictures of this file could not be read: \"pic100000\", \"pic100001\", "
            "\"pic100002\", \"pic100003\", \"pic100004\" and 1,195 more.\nThey are kept as they are and shown without "
            "a picture.");
  ASSERT_EQ(system.GetFileImages().GetChildren().size(), 1u);
  EXPECT_EQ(static_cast<CCCImageDirectory*>(system.GetFileImages().GetChildren()[0])->GetChildren().size(), 1200u);
}

// A background and two widget pictures whose headers are sound and whose pixels are damaged open
// without a word; the panel's first paint finds the damage, and the user is told once, after
// the paint, of all three.
TEST_F(FileCommandsTest, PicturesWhosePixelsDoNotDecode_AreToldInOneNoticeWhenTheirPanelIsDrawn) {
  RegisterCustomControls();
  CFrameUnderTest& f = MakeFrame();
  CSystem& system = f.GetSystem();
  CCPData* panel = system.AddCustomPanel();
  for (const char* name : {"back", "left", "right"}) {
    auto* picture = new CCCImage;
    picture->m_name = name;
    picture->m_format = kImageFormatPng;
    CImage pixels(24, 24);
    for (int y = 0; y < 24; ++y)
      for (int x = 0; x < 24; ++x)
        pixels.SetPixel(x, y, CColour::FromRgb(std::uint8_t(x * 10), std::uint8_t(y * 9), 77));
    picture->SetBitmap(std::move(pixels));
    system.GetFileImages().AddChild(picture);
    if (!panel->m_pBackgroundImage) {
      panel->m_pBackgroundImage = picture;
    } else {
      const int x = panel->m_widgets.empty() ? 10 : 60;
      auto* widget = new CCCBitmap(nullptr, CRect{x, 10, x + 30, 40});
      widget->m_pImage = picture;
      panel->m_widgets.push_back(widget);
    }
  }
  panel->m_panelWasOpen = true;
  const std::string path = PathOf("pixels.ovd");
  ASSERT_TRUE(system.SaveFile(path));
  f.RunCommand(Cmd::kFileNew);
  QByteArray bytes;
  {
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    bytes = file.readAll();
  }
  int damaged = 0;
  for (qsizetype idat = bytes.indexOf("IDAT"); idat > 0; idat = bytes.indexOf("IDAT", idat + 12), ++damaged)
    for (qsizetype i = idat + 4; i < idat + 12; ++i) bytes[i] = char(bytes[i] ^ 0x5A);
  ASSERT_EQ(damaged, 3);
  {
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
  }

  ASSERT_TRUE(f.OpenFilePath(path));
  EXPECT_TRUE(prompts.messages.empty());
  ASSERT_EQ(system.GetCustomPanels().size(), 1u);
  auto* view = dynamic_cast<QWidget*>(system.GetCustomPanels()[0]->m_pView);
  ASSERT_NE(view, nullptr);
  view->grab();
  view->grab();
  ASSERT_TRUE(WaitFor([&] { return !prompts.messages.empty(); }, 2000));
  ProcessEvents();
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0].text,
            "Error loading image\n\n3 pictures of this file could not be read: \"back\", "
            "\"left\" and \"right\".\nThey are kept as they are and shown without a picture.");
  EXPECT_EQ(prompts.messages[0].caption, "File Error");
}
