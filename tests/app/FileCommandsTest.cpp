// New, Open, Save, Save As, the recent files, autosave, the title and the close question,
// driven through the frame's commands with scripted answers.
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QPushButton>
#include <functional>
#include <optional>

#include <unistd.h>

#include "app/CommandIds.h"
#include "app/UserPrompts.h"
#include "core/comms/CommsWorker.h"
#include "custom/CPData.h"
#include "core/model/Device.h"
#include "core/protocol/ControlMessage.h"
#include "devices/amplifier/AmplifierFamilies.h"
#include "core/file/ImageTree.h"
#include "core/model/User.h"
#include "core/system/System.h"
#include "core/system/Zone.h"
#include "custom/BitmapControl.h"
#include "custom/CustomControls.h"
#include "custom/KnobControl.h"
#include "platform/File.h"
#include "tests/app/FrameFixture.h"
#include "tests/support/FileTestDevices.h"
#include "tests/support/ModelChanges.h"
#include "tests/support/TestDevices.h"
#include "tools/devsim/SimUnit.h"
#include "ui/SettingsSheet.h"

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
    NameDevice(device, name);
    system.AppendDevice(device);
    system.GetZones()[0]->AppendDevice(device);
    system.SetModified(true);
    return device;
  }

  static QByteArray FileBytes(const std::string& path) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

  // A system holding one device named name, saved at path apart from the frame.
  static void SaveSystemWith(const std::string& path, const std::string& name) {
    CSystem other;
    AddDevice(other, name);
    ASSERT_TRUE(other.File().SaveFile(path));
  }

  // The frame's system with a device named name, saved through File > Save as "show.ovd"; the
  // file's path.
  std::string SaveShowThroughTheFrame(const std::string& name) {
    const std::string path = PathOf("show.ovd");
    AddDevice(frame->GetSystem(), name);
    prompts.paths = {path};
    frame->RunCommand(Cmd::kFileSave);
    return path;
  }

  // How many lines of the frame's log hold text.
  int LogLinesWith(const std::string& text) {
    ProcessEvents();
    COutputList& list = frame->GetOutputPane().GetLogList();
    int n = 0;
    for (int i = 0; i < list.count(); ++i) n += list.item(i)->text().toStdString().find(text) != std::string::npos;
    return n;
  }
};

// Answers the next modal window of type T from inside its own event loop; a window that never
// comes is not waited for after the object goes.
template <class T>
class CNextModal {
 public:
  explicit CNextModal(std::function<void(T&)> answer) : m_answer(std::move(answer)) {
    QObject::connect(&m_poll, &QTimer::timeout, [this] {
      auto* modal = dynamic_cast<T*>(QApplication::activeModalWidget());
      if (!modal) return;
      m_poll.stop();
      m_answered = true;
      m_answer(*modal);
    });
    m_poll.start(0);
  }
  bool Answered() const { return m_answered; }

 private:
  std::function<void(T&)> m_answer;
  QTimer m_poll;
  bool m_answered = false;
};

// For the scope, the frame asks through its real boxes and Qt's own file dialog (not the
// platform's), and "Yes" answers the "Close File" question when it comes.
class CRealDialogs {
 public:
  CRealDialogs(CMainFrame& frame, IUserPrompts& after, bool closeFileYes)
      : m_frame(frame),
        m_after(after),
        m_dialogs(&frame),
        m_nativeDialogs(!QCoreApplication::testAttribute(Qt::AA_DontUseNativeDialogs)) {
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    frame.SetUserPrompts(&m_dialogs);
    if (closeFileYes) m_closeFile.emplace([](QMessageBox& box) { box.button(QMessageBox::Yes)->click(); });
  }
  ~CRealDialogs() {
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs, !m_nativeDialogs);
    m_frame.SetUserPrompts(&m_after);
  }
  CRealDialogs(const CRealDialogs&) = delete;
  CRealDialogs& operator=(const CRealDialogs&) = delete;

 private:
  CMainFrame& m_frame;
  IUserPrompts& m_after;
  CQtUserPrompts m_dialogs;
  bool m_nativeDialogs;
  std::optional<CNextModal<QMessageBox>> m_closeFile;
};

// The roads that ask for a name to save under: Save As, Save of an untitled system, and "Yes"
// to the "Close File" question on Exit and before a recent file opens.
enum class ESaveRoad { kSaveAs, kFirstSave, kExit, kRecentFile };
struct SaveRoadCase {
  const char* name;
  ESaveRoad road;
};

class SaveRoadTest : public FileCommandsTest, public ::testing::WithParamInterface<SaveRoadCase> {
 protected:
  // "gig.ovd" holds a system of its own, a recent file is listed, and the frame holds an
  // untitled system with a change.
  void SetUp() override {
    FileCommandsTest::SetUp();
    SaveSystemWith(gig, "Kept");
    gigBytes = FileBytes(gig);
    SaveSystemWith(PathOf("recent.ovd"), "Recent");
    recent.Add(PathOf("recent.ovd"));
    AddDevice(MakeFrame().GetSystem(), "New");
  }
  bool AsksCloseFileFirst() const { return GetParam().road == ESaveRoad::kExit || GetParam().road == ESaveRoad::kRecentFile; }
  // Takes the road; false when the frame refused to close.
  bool Run() {
    switch (GetParam().road) {
      case ESaveRoad::kSaveAs: frame->RunCommand(Cmd::kFileSaveAs); break;
      case ESaveRoad::kFirstSave: frame->RunCommand(Cmd::kFileSave); break;
      case ESaveRoad::kExit: return frame->close();
      case ESaveRoad::kRecentFile: frame->RunCommand(Cmd::kRecentFile1); break;
    }
    return true;
  }

  const std::string gig = PathOf("gig.ovd");
  QByteArray gigBytes;
};

}  // namespace

// A name typed without ".ovd" where "<name>.ovd" exists is asked about before that file is
// replaced. No keeps it byte for byte and asks for a name again; Yes replaces it.
TEST_P(SaveRoadTest, ANameTypedWithoutOvdAsksBeforeTheOvdFileIsReplaced) {
  CSystem& system = frame->GetSystem();
  prompts.answers = {Answer::No};
  if (AsksCloseFileFirst()) prompts.answers.push_front(Answer::Yes);
  prompts.paths = {PathOf("gig"), ""};
  const bool closed = Run();
  EXPECT_TRUE(GetParam().road != ESaveRoad::kExit || !closed);
  ASSERT_EQ(prompts.questions.size(), AsksCloseFileFirst() ? 2u : 1u);
  EXPECT_EQ(prompts.questions.back().caption, "Save As");
  EXPECT_EQ(prompts.questions.back().text, "gig.ovd already exists.\nDo you want to replace it?");
  EXPECT_EQ(prompts.saveSpecs.size(), 2u);  // No: the dialog again, for another name
  EXPECT_EQ(FileBytes(gig), gigBytes);
  ASSERT_EQ(system.GetDeviceCount(), 1);
  EXPECT_EQ(system.GetDevice(0)->GetName(), "New");
  EXPECT_TRUE(system.IsModified());

  prompts.answers = {Answer::Yes};
  if (AsksCloseFileFirst()) prompts.answers.push_front(Answer::Yes);
  prompts.paths = {PathOf("gig")};
  EXPECT_TRUE(Run());
  CSystem back;
  ASSERT_TRUE(back.File().OpenFile(gig));
  ASSERT_EQ(back.GetDeviceCount(), 1);
  EXPECT_EQ(back.GetDevice(0)->GetName(), "New");
}

// The same through the real save dialog, typed into as a person types: the dialog adds ".ovd"
// before it looks for a file to replace, so its own question names "gig.ovd"; No leaves the
// dialog open and the file as it was.
TEST_P(SaveRoadTest, TheSaveDialogAsksAboutTheOvdFileItWouldWrite) {
  std::optional<CRealDialogs> real(std::in_place, *frame, prompts, AsksCloseFileFirst());
  QString asked;
  bool dialogStayed = false;
  CNextModal<QFileDialog> dialog([&](QFileDialog& d) {
    auto* name = d.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(name, nullptr);
    name->setText(QString::fromStdString(PathOf("gig")));
    CNextModal<QMessageBox> replace([&](QMessageBox& box) {
      asked = box.text();
      if (const QString folder = qEnvironmentVariable("ORVAK_TEST_PICTURES"); !folder.isEmpty()) {
        d.grab().save(folder + QStringLiteral("/save-dialog.png"));
        box.grab().save(folder + QStringLiteral("/save-dialog-replace.png"));
      }
      box.button(QMessageBox::No)->click();
    });
    auto* buttons = d.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    ASSERT_NE(buttons, nullptr);
    buttons->button(QDialogButtonBox::Save)->click();
    dialogStayed = d.isVisible();
    d.reject();
  });
  Run();
  real.reset();
  EXPECT_TRUE(dialog.Answered());
  EXPECT_EQ(asked, "gig.ovd already exists.\nDo you want to replace it?");
  EXPECT_TRUE(dialogStayed);
  EXPECT_EQ(FileBytes(gig), gigBytes);
  EXPECT_TRUE(frame->GetSystem().IsModified());
}

INSTANTIATE_TEST_SUITE_P(Roads, SaveRoadTest,
                         ::testing::Values(SaveRoadCase{"SaveAs", ESaveRoad::kSaveAs},
                                           SaveRoadCase{"FirstSave", ESaveRoad::kFirstSave},
                                           SaveRoadCase{"Exit", ESaveRoad::kExit},
                                           SaveRoadCase{"RecentFile", ESaveRoad::kRecentFile}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Where the save dialog starts ---

namespace {

// "show.ovd" opened from its folder "shows" while the program runs in another folder, then
// changed; "recent.ovd" of folder "older" is in the recent list behind it.
class SaveDialogStartTest : public FileCommandsTest, public ::testing::WithParamInterface<SaveRoadCase> {
 protected:
  void SetUp() override {
    FileCommandsTest::SetUp();
    for (const char* folder : {"shows", "older", "elsewhere"}) ASSERT_TRUE(QDir(temp.path()).mkpath(folder));
    SaveSystemWith(show, "Show");
    SaveSystemWith(PathOf("older/recent.ovd"), "Recent");
    recent.Add(PathOf("older/recent.ovd"));
    MakeFrame();
    ASSERT_TRUE(frame->Files().OpenFilePath(show));
    AddDevice(frame->GetSystem(), "Changed");
  }
  // Takes the road; the dialog is answered by the prompts.
  bool Run() {
    switch (GetParam().road) {
      case ESaveRoad::kSaveAs: frame->RunCommand(Cmd::kFileSaveAs); break;
      case ESaveRoad::kFirstSave: break;
      case ESaveRoad::kExit: return frame->close();
      case ESaveRoad::kRecentFile: frame->RunCommand(Cmd::kRecentFile1 + 1); break;
    }
    return true;
  }
  bool AsksCloseFileFirst() const { return GetParam().road != ESaveRoad::kSaveAs; }

  const std::string show = PathOf("shows/show.ovd");
};

}  // namespace

// Save As, and "Yes" to "Close File" on Exit or before a recent file opens, start the dialog at
// the open file, in its folder with its name, wherever the program runs: the name as it stands
// replaces that file, and no other folder is written.
TEST_P(SaveDialogStartTest, TheDialogStartsAtTheOpenFile) {
  const CWorkingFolder elsewhere(PathOf("elsewhere"));
  if (AsksCloseFileFirst()) prompts.answers = {Answer::Yes};
  Run();  // the dialog cancelled: nothing written
  ASSERT_EQ(prompts.saveSpecs.size(), 1u);
  EXPECT_EQ(prompts.saveSpecs[0].initialName, show);
  EXPECT_EQ(frame->GetSystem().File().GetFilePath(), show);

  // The name the dialog starts with, taken as it stands, replaces the open file.
  if (AsksCloseFileFirst()) prompts.answers = {Answer::Yes};
  prompts.paths = {prompts.saveSpecs[0].initialName};
  Run();
  CSystem back;
  ASSERT_TRUE(back.File().OpenFile(show));
  ASSERT_EQ(back.GetDeviceCount(), 2);
  EXPECT_EQ(back.GetDevice(1)->GetName(), "Changed");
  EXPECT_TRUE(QDir(QString::fromStdString(PathOf("elsewhere"))).isEmpty());
}

// The real dialog, reached by "Yes" to "Close File": it looks in the open file's folder and
// holds its name.
TEST_P(SaveDialogStartTest, TheRealDialogLooksInTheFilesFolderWithItsName) {
  const CWorkingFolder elsewhere(PathOf("elsewhere"));
  std::optional<CRealDialogs> real(std::in_place, *frame, prompts, AsksCloseFileFirst());
  QString folder, name;
  CNextModal<QFileDialog> dialog([&](QFileDialog& d) {
    folder = d.directory().absolutePath();
    if (auto* edit = d.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) name = edit->text();
    if (const QString pictures = qEnvironmentVariable("ORVAK_TEST_PICTURES"); !pictures.isEmpty())
      d.grab().save(pictures + QStringLiteral("/save-dialog-start.png"));
    d.reject();
  });
  Run();
  real.reset();
  EXPECT_TRUE(dialog.Answered());
  EXPECT_EQ(folder, QFileInfo(QString::fromStdString(show)).absolutePath());
  EXPECT_EQ(name, "show.ovd");
  EXPECT_TRUE(frame->GetSystem().IsModified());
}

INSTANTIATE_TEST_SUITE_P(Roads, SaveDialogStartTest,
                         ::testing::Values(SaveRoadCase{"SaveAs", ESaveRoad::kSaveAs},
                                           SaveRoadCase{"Exit", ESaveRoad::kExit},
                                           SaveRoadCase{"RecentFile", ESaveRoad::kRecentFile}),
                         [](const auto& info) { return std::string(info.param.name); });

// An untitled system's save dialog, and the Open dialog, start in the folder of the file used
// last that is still there, else in the documents folder, with no name; the Open dialog of an
// open file starts in its folder.
TEST_F(FileCommandsTest, AnUntitledSystemsSaveDialogStartsInTheLastFolderUsed) {
  ASSERT_TRUE(QDir(temp.path()).mkpath("older"));
  ASSERT_TRUE(QDir(temp.path()).mkpath("gone"));
  SaveSystemWith(PathOf("older/recent.ovd"), "Recent");
  recent.Add(PathOf("older/recent.ovd"));
  SaveSystemWith(PathOf("gone/lost.ovd"), "Lost");
  recent.Add(PathOf("gone/lost.ovd"));  // the newest, in a folder since removed
  ASSERT_EQ(recent.Count(), 2u);
  ASSERT_TRUE(QDir(QString::fromStdString(PathOf("gone"))).removeRecursively());
  CSystem& system = MakeFrame().GetSystem();
  AddDevice(system, "New");
  frame->RunCommand(Cmd::kFileSave);
  frame->RunCommand(Cmd::kFileOpen);
  ASSERT_EQ(prompts.saveSpecs.size(), 1u);
  EXPECT_EQ(prompts.saveSpecs[0].initialName, PathOf("older/*.ovd"));
  ASSERT_EQ(prompts.openSpecs.size(), 1u);
  EXPECT_EQ(prompts.openSpecs[0].initialName, PathOf("older/*.ovd"));

  // Without a folder left from the list: the documents folder (the home folder without one).
  ASSERT_TRUE(QDir(QString::fromStdString(PathOf("older"))).removeRecursively());
  frame->RunCommand(Cmd::kFileSave);
  QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (documents.isEmpty() || !QFileInfo(documents).isDir()) documents = QDir::homePath();
  ASSERT_EQ(prompts.saveSpecs.size(), 2u);
  EXPECT_EQ(prompts.saveSpecs[1].initialName, (documents + "/*.ovd").toStdString());

  // An open file: Open starts in its folder.
  SaveSystemWith(PathOf("shown.ovd"), "Shown");
  prompts.answers = {Answer::No};  // the untitled system is dropped
  ASSERT_TRUE(frame->Files().OpenFilePath(PathOf("shown.ovd")));
  frame->RunCommand(Cmd::kFileOpen);
  ASSERT_EQ(prompts.openSpecs.size(), 2u);
  EXPECT_EQ(prompts.openSpecs[1].initialName, PathOf("*.ovd"));
}

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
  EXPECT_EQ(system.File().GetFilePath(), saved);
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
  EXPECT_TRUE(system.GetDevice(0)->PanelPlacement().WasPanelOpenWhenStored());
  system.SetModified(true);
  f.RunCommand(Cmd::kFileSave);

  f.RunCommand(Cmd::kFileNew);
  prompts.paths = {path};
  f.RunCommand(Cmd::kFileOpen);
  ASSERT_EQ(system.GetDeviceCount(), 1);
  EXPECT_TRUE(system.GetDevice(0)->PanelPlacement().WasPanelOpenWhenStored());
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
  ASSERT_TRUE(system.File().SaveFile(path));
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
  ASSERT_TRUE(system.File().SaveFile(good));
  // Bound to a path whose folder does not exist: every save fails.
  system.Clear();
  AddDevice(system, "Unsaved");
  system.File().SetFilePath(PathOf("missing-folder/x.ovd"));

  prompts.answers = {Answer::Yes};
  f.RunCommand(Cmd::kFileNew);
  EXPECT_EQ(system.GetDeviceCount(), 1);
  EXPECT_TRUE(system.IsModified());
  ASSERT_EQ(prompts.questions.size(), 1u);
  EXPECT_EQ(prompts.questions[0].caption, "New File");

  prompts.answers = {Answer::Yes};
  EXPECT_FALSE(f.Files().OpenFilePath(good));
  EXPECT_EQ(prompts.questions.back().caption, "Open File");
  EXPECT_EQ(system.GetDeviceCount(), 1);
  EXPECT_EQ(system.GetDevice(0)->GetName(), "Unsaved");

  prompts.answers = {Answer::No};
  EXPECT_TRUE(f.Files().OpenFilePath(good));
  EXPECT_EQ(system.GetDeviceCount(), 0);
}

TEST_F(FileCommandsTest, SaveAs_AppendsOvdOnlyToANameWithoutExtension) {
  CFrameUnderTest& f = MakeFrame();
  prompts.paths = {PathOf("plain"), PathOf("with.bak")};
  f.RunCommand(Cmd::kFileSaveAs);
  EXPECT_EQ(f.GetSystem().File().GetFilePath(), PathOf("plain.ovd"));
  f.RunCommand(Cmd::kFileSaveAs);
  EXPECT_EQ(f.GetSystem().File().GetFilePath(), PathOf("with.bak"));
  EXPECT_EQ(f.windowTitle(), "Orvak - with.bak");
  EXPECT_EQ(recent.Get(0), PathOf("with.bak"));
  EXPECT_EQ(recent.Get(1), PathOf("plain.ovd"));
}

TEST_F(FileCommandsTest, Title_PathWithoutSeparatorIsShownWhole) {
  CFrameUnderTest& f = MakeFrame();
  f.GetSystem().File().SetFilePath("name.ovd");
  f.Files().UpdateTitle();
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
  ASSERT_TRUE(system.File().SaveFile(path));
  const QByteArray before = FileBytes(path);
  AddDevice(system, "B");
  f.Tick(FrameTimer::kAutosave);
  EXPECT_TRUE(prompts.questions.empty());
  EXPECT_TRUE(prompts.saveSpecs.empty());
  EXPECT_NE(FileBytes(path), before);
  EXPECT_EQ(f.GetStatusText(), QString::fromStdString("Autosaving file " + path));

  CSystem reread;
  ASSERT_TRUE(reread.File().OpenFile(path));
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
  EXPECT_FALSE(f.Files().OpenFilePath(damaged));
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0].caption, "File Error");
  EXPECT_EQ(system.GetDeviceCount(), 0);
  EXPECT_EQ(system.File().GetFilePath(), "");
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
    ASSERT_TRUE(other.File().SaveFile(PathOf("a/show.ovd")));
    other.Clear();
    AddDevice(other, "B");
    ASSERT_TRUE(other.File().SaveFile(PathOf("b/show.ovd")));
  }
  {
    CWorkingFolder inA(PathOf("a"));
    ASSERT_TRUE(f.Files().OpenFilePath("show.ovd"));
  }
  EXPECT_EQ(recent.Get(0), PathOf("a/show.ovd"));
  EXPECT_EQ(system.File().GetFilePath(), PathOf("a/show.ovd"));
  EXPECT_EQ(f.windowTitle(), "Orvak - show.ovd");

  CWorkingFolder inB(PathOf("b"));
  AddDevice(system, "A2");
  ASSERT_TRUE(f.Files().OnFileSave());
  CSystem reread;
  ASSERT_TRUE(reread.File().OpenFile(PathOf("a/show.ovd")));
  EXPECT_EQ(reread.GetDeviceCount(), 2);
  ASSERT_TRUE(reread.File().OpenFile(PathOf("b/show.ovd")));
  EXPECT_EQ(reread.GetDevice(0)->GetName(), "B");  // untouched
  system.Clear();
  f.RunCommand(Cmd::kRecentFile1);
  ASSERT_EQ(system.GetDeviceCount(), 2);
  EXPECT_EQ(system.GetDevice(0)->GetName(), "A");
  EXPECT_EQ(recent.Get(0), PathOf("a/show.ovd"));
}

// A file that does not open because a save of it was cut short is offered its earlier bytes,
// which that save kept: Put Back (Enter) puts them back and opens the file, Delete deletes them
// and Keep keeps them for the next start; the file stays unopened with either.
TEST_F(FileCommandsTest, FileThatASaveCutShortLeftDamaged_IsOfferedItsKeptEarlierBytes) {
  for (const std::string answer : {"Keep", "Delete", "Put Back"}) {
    SCOPED_TRACE(answer);
    CFrameUnderTest& f = MakeFrame();
    CSystem& system = f.GetSystem();
    const std::string path = PathOf("cut" + std::to_string(answer.size()) + ".ovd");
    AddDevice(system, "Earlier");
    ASSERT_TRUE(system.File().SaveFile(path));
    system.Clear();
    system.SetModified(false);
    CutASaveInPlaceShort(path);
    prompts.choices.clear();
    prompts.choiceAnswers = {answer};
    EXPECT_EQ(f.Files().OpenFilePath(path), answer == "Put Back");
    ASSERT_EQ(prompts.choices.size(), 1u);
    EXPECT_NE(prompts.choices[0].text.find("A save of " + path +
                                           " did not finish: the program stopped while it wrote the file, which "
                                           "does not open now."),
              std::string::npos);
    EXPECT_EQ(prompts.choices[0].buttons, (std::vector<std::string>{"Put Back", "Save As...", "Delete", "Keep"}));
    EXPECT_EQ(prompts.choices[0].defaultButton, "Put Back");
    const std::vector<CKeptCopy> left = FindKeptCopies(path);
    ASSERT_EQ(left.size(), answer == "Delete" ? 0u : 1u);
    if (answer == "Put Back") {
      // What the file held goes with the file's next save here.
      EXPECT_EQ(left[0].save, EKeptCopySave::Replaced);
      ASSERT_EQ(system.GetDeviceCount(), 1);
      EXPECT_EQ(system.GetDevice(0)->GetName(), "Earlier");
      EXPECT_EQ(recent.Get(0), path);
      system.SetModified(true);
      ASSERT_TRUE(f.Files().OnFileSave());
      EXPECT_TRUE(FindKeptCopies(path).empty());
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
  system.Images().GetFileImages().AddChild(broken);
  CCPData* panel = system.Panels().AddCustomPanel();
  panel->m_pBackgroundImage = broken;
  panel->m_panelWasOpen = true;
  panel->m_widgets.push_back(new CCCKnob);
  const std::string path = PathOf("panels.ovd");
  ASSERT_TRUE(system.File().SaveFile(path));
  f.RunCommand(Cmd::kFileNew);
  ASSERT_TRUE(system.GetCustomPanels().empty());

  EXPECT_TRUE(f.Files().OpenFilePath(path));
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
  EXPECT_EQ(system.File().GetFilePath(), path);
  EXPECT_FALSE(system.IsModified());
}

// A file of 1,200 pictures that do not read opens after one notice, which counts them and names
// the first; each is kept.
TEST_F(FileCommandsTest, FileWithAThousandPicturesThatDoNotRead_OpensAfterOneNotice) {
  CFrameUnderTest& f = MakeFrame();
  CSystem& system = f.GetSystem();
  auto* small = new CCCImageDirectory("small");
  system.Images().GetFileImages().AddChild(small);
  for (int i = 0; i < 1200; ++i) {
    auto* blank = new CCCImage;
    blank->m_name = "pic" + std::to_string(100000 + i);
    small->AddChild(blank);
  }
  const std::string path = PathOf("many.ovd");
  ASSERT_TRUE(system.File().SaveFile(path));
  f.RunCommand(Cmd::kFileNew);

  EXPECT_TRUE(f.Files().OpenFilePath(path));
  ProcessEvents();
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0].caption, "File Error");
  EXPECT_EQ(prompts.messages[0].text,
            "Error loading image\n\n1,200 pictures of this file could not be read: \"pic100000\", \"pic100001\", "
            "\"pic100002\", \"pic100003\", \"pic100004\" and 1,195 more.\nThey are kept as they are and shown without "
            "a picture.");
  ASSERT_EQ(system.Images().GetFileImages().GetChildren().size(), 1u);
  EXPECT_EQ(static_cast<CCCImageDirectory*>(system.Images().GetFileImages().GetChildren()[0])->GetChildren().size(), 1200u);
}

// A background and two widget pictures whose headers are sound and whose pixels are damaged open
// without a word; the panel's first paint finds the damage, and the user is told once, after
// the paint, of all three.
TEST_F(FileCommandsTest, PicturesWhosePixelsDoNotDecode_AreToldInOneNoticeWhenTheirPanelIsDrawn) {
  RegisterCustomControls();
  CFrameUnderTest& f = MakeFrame();
  CSystem& system = f.GetSystem();
  CCPData* panel = system.Panels().AddCustomPanel();
  for (const char* name : {"back", "left", "right"}) {
    auto* picture = new CCCImage;
    picture->m_name = name;
    picture->m_format = kImageFormatPng;
    CImage pixels(24, 24);
    for (int y = 0; y < 24; ++y)
      for (int x = 0; x < 24; ++x)
        pixels.SetPixel(x, y, CColour::FromRgb(std::uint8_t(x * 10), std::uint8_t(y * 9), 77));
    picture->SetBitmap(std::move(pixels));
    system.Images().GetFileImages().AddChild(picture);
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
  ASSERT_TRUE(system.File().SaveFile(path));
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

  ASSERT_TRUE(f.Files().OpenFilePath(path));
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

// Autosave writes a system that holds what its file does not, and nothing else: a file opened
// and left alone stays as it is on the disk, also one whose open left users out.
TEST_F(FileCommandsTest, Autosave_WritesOnlyWhatChangedSinceTheFileWasReadOrSaved) {
  const std::string path = PathOf("many.ovd");
  {
    CSystem many;
    AddDevice(many, "A");
    for (int n = 1; many.Users().GetUsers().size() < kMaxUsers + 2; ++n)
      many.Users().GetUsers().push_back(new CUser("Extra" + std::to_string(n), "pw"));
    ASSERT_TRUE(many.File().SaveFile(path));
  }
  const QByteArray before = FileBytes(path);
  CFrameUnderTest& f = MakeFrame();
  ASSERT_TRUE(f.Files().OpenFilePath(path));
  ASSERT_EQ(prompts.messages.size(), 1u);  // the users left out
  f.Tick(FrameTimer::kAutosave);
  f.Tick(FrameTimer::kAutosave);
  EXPECT_EQ(FileBytes(path), before);

  AddDevice(f.GetSystem(), "B");
  f.Tick(FrameTimer::kAutosave);
  CSystem reread;
  ASSERT_TRUE(reread.File().OpenFile(path));
  EXPECT_EQ(reread.GetDeviceCount(), 2);
  const auto saved = WriteMark(path);
    f.Tick(FrameTimer::kAutosave);  // nothing changed since that save
  EXPECT_EQ(WriteMark(path), saved);
  EXPECT_EQ(prompts.messages.size(), 1u);
}

// Every kind of change autosave keeps, made the way the program makes it: an edit of each of the
// file's records (each marks the system modified), an import of the units' users by the comms
// worker, and a value a unit reported into a device's settings (which leaves File > Save alone
// and is counted by the device).
struct AutosaveKind {
  const char* name;
  std::function<void(CFrameUnderTest&, CFakePrompts&)> change;
  friend void PrintTo(const AutosaveKind& k, std::ostream* os) { *os << k.name; }
};

class AutosaveKindTest : public FileCommandsTest, public ::testing::WithParamInterface<AutosaveKind> {};

const AutosaveKind kAutosaveKinds[] = {
    {"DeviceAdded", [](CFrameUnderTest& f, CFakePrompts&) {
       CDevice* device = f.GetSystem().CreateDevice(9, CFileTestDevice::kPlainType, 0);
       f.GetSystem().AppendDevice(device);
       f.GetSystem().GetZones()[0]->AppendDevice(device);
       f.GetSystem().SetModified(true);
     }},
    {"ZoneAdded", [](CFrameUnderTest& f, CFakePrompts&) { f.RunCommand(Cmd::kAddZone); }},
    {"LinkAdded", [](CFrameUnderTest& f, CFakePrompts&) { f.RunCommand(Cmd::kAddLink); }},
    {"LinkingSwitched", [](CFrameUnderTest& f, CFakePrompts&) { f.RunCommand(Cmd::kLinkingStatus); }},
    {"SnapshotTaken", [](CFrameUnderTest& f, CFakePrompts& prompts) {
       prompts.snapshotCreate = CFakePrompts::SnapshotChoice{"Matinee", true, -1};
       f.RunCommand(Cmd::kNewSnapshot);
     }},
    {"PanelAdded", [](CFrameUnderTest& f, CFakePrompts&) {
       f.RunCommand(Cmd::kDesignMode);
       f.RunCommand(Cmd::kNewCustomPanel);
       ASSERT_EQ(f.GetSystem().GetCustomPanels().size(), 1u);
     }},
    {"UsersImported", [](CFrameUnderTest& f, CFakePrompts&) {
       CUserList network{new CUser("Boss", "secret"), new CUser("Crew", "")};
       f.GetSystem().Users().ImportNetworkUsers(network);
       DeleteAllUsers(network);
     }},
    {"UnitReported", [](CFrameUnderTest& f, CFakePrompts&) {
       // The Zel amplifier of the file (ID 5) reports another name than the file holds, as the
       // comms worker hands its reply over: 0xA8, the length, its type and ID, the name read.
       CDevice* amp = f.GetSystem().GetDevice(1);
       SimBytes body(47, 0);
       body[0] = 51;
       body[4] = 5;
       body[6] = 0x3C;
       std::fill(body.begin() + 7, body.end(), std::uint8_t(' '));
       std::copy_n("Balcony", 7, body.begin() + 7);
       const SimBytes reply = MakeFramedReply(0xA8, body);
       CControlMessage read;
       read.Set(0x3C, 11, std::uint32_t(reply.size()), amp, false, 0xA8, 0, 0);
       amp->ReadGuard().StampRead(read);
       std::copy(reply.begin(), reply.end(), read.frame);
       read.receivedLength = std::uint32_t(reply.size());
       amp->ProcessReply(read);
       EXPECT_EQ(amp->GetName(), "Balcony");
       EXPECT_FALSE(f.GetSystem().IsModified());
     }},
};

// Autosave writes the file after each kind of change, and a file left alone is not written.
TEST_P(AutosaveKindTest, Autosave_KeepsEveryKindOfChangeAndWritesNothingElse) {
  RegisterAmplifierFamilies();
  const std::string path = PathOf("kinds.ovd");
  {
    CSystem file;
    AddDevice(file, "A");
    CDevice* amp = file.CreateDevice(5, 51, 0);
    NameDevice(amp, "Amp");
    file.AppendDevice(amp);
    file.GetZones()[0]->AppendDevice(amp);
    ASSERT_TRUE(file.File().SaveFile(path));
  }
  CFrameUnderTest& f = MakeFrame();
  ASSERT_TRUE(f.Files().OpenFilePath(path));
  const auto opened = WriteMark(path);
  f.Tick(FrameTimer::kAutosave);
  EXPECT_EQ(WriteMark(path), opened) << "a file nobody changed is written";

  GetParam().change(f, prompts);
  const QByteArray before = FileBytes(path);
  f.Tick(FrameTimer::kAutosave);
  EXPECT_NE(WriteMark(path), opened);
  EXPECT_NE(FileBytes(path), before);
  const auto saved = WriteMark(path);
  f.Tick(FrameTimer::kAutosave);
  EXPECT_EQ(WriteMark(path), saved);
}

INSTANTIATE_TEST_SUITE_P(Kinds, AutosaveKindTest, ::testing::ValuesIn(kAutosaveKinds),
                         [](const ::testing::TestParamInfo<AutosaveKind>& info) { return std::string(info.param.name); });

// Another program saved the file since it was opened: autosave does not write over it, says so
// once in the log and keeps saying so in the status bar; the changes stay until the user saves,
// and that save goes as any other.
// How the person ends the notice: by saving their system, or by reading the file again.
class AutosaveNoticeTest : public FileCommandsTest, public ::testing::WithParamInterface<bool> {};

TEST_P(AutosaveNoticeTest, Autosave_LeavesAFileAnotherProgramSavedMeanwhileAlone) {
  const bool saved = GetParam();
  CFrameUnderTest& f = MakeFrame();
  CSystem& system = f.GetSystem();
  const std::string path = SaveShowThroughTheFrame("Mine");
  AddDevice(system, "Unsaved");

  // The other program: the sample-system tool, or a system of this program's devices that the
  // frame can read again, saving its own system under the same name.
  if (saved) {
    QProcess other;
    other.start(QStringLiteral(ORVAK_SAMPLE_SYSTEM_TOOL), {QString::fromStdString(path)});
    ASSERT_TRUE(other.waitForFinished(60000));
    ASSERT_EQ(other.exitCode(), 0);
  } else {
    SaveSystemWith(path, "Theirs");
  }
  const QByteArray theirs = FileBytes(path);

  const std::string told = "Autosave left " + path + " alone: another program has changed or removed it";
  for (int tick = 0; tick < 3; ++tick) {
    f.Tick(FrameTimer::kAutosave);
    f.Tick(FrameTimer::kBlink);  // the idle text of the status bar
    ProcessEvents();
    EXPECT_EQ(FileBytes(path), theirs);
    EXPECT_EQ(LogLinesWith(told), 1);
    EXPECT_EQ(f.GetStatusText(),
              "Autosave left show.ovd alone: another program changed or removed it. Save to keep your changes.");
  }
  EXPECT_TRUE(prompts.messages.empty());
  EXPECT_TRUE(system.IsModified());
  ASSERT_EQ(system.GetDeviceCount(), 2);
  if (const QString folder = qEnvironmentVariable("ORVAK_TEST_PICTURES"); !folder.isEmpty())
    f.grab().save(folder + QStringLiteral("/autosave-left-alone.png"));

  if (saved) {
    f.RunCommand(Cmd::kFileSave);
    CSystem reread;
    ASSERT_TRUE(reread.File().OpenFile(path));
    ASSERT_EQ(reread.GetDeviceCount(), 2);
    EXPECT_EQ(reread.GetDevice(1)->GetName(), "Unsaved");
  } else {
    // The other program's system is read, the person's changes dropped ("No" to saving them).
    prompts.answers.push_back(IUserPrompts::Answer::No);
    ASSERT_TRUE(f.Files().OpenFilePath(path));
    EXPECT_FALSE(system.IsModified());
    ASSERT_EQ(system.GetDeviceCount(), 1);
    EXPECT_EQ(system.GetDevice(0)->GetName(), "Theirs");
    EXPECT_EQ(FileBytes(path), theirs);
  }
  f.Tick(FrameTimer::kBlink);
  ProcessEvents();
  EXPECT_EQ(f.GetStatusText(), "Ready (File Security Disabled)");
}

INSTANTIATE_TEST_SUITE_P(Endings, AutosaveNoticeTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Saved" : "ReadAgain"; });

// A tick that comes while the "Close File" question is up writes nothing: "No" then leaves the
// file as it was saved.
// OK in Comms > Options with nothing changed leaves the file as it is: not marked modified, so
// autosave does not rewrite it and closing asks nothing; a value changed on a page marks it.
TEST_F(FileCommandsTest, OptionsOkWithNothingChangedLeavesTheFileUnchanged) {
  CFrameUnderTest& f = MakeFrame();
  const std::string path = SaveShowThroughTheFrame("Show");
  ASSERT_FALSE(f.GetSystem().IsModified());
  const auto written = WriteMark(path);
  CQtUserPrompts dialogs(&f);
  f.SetUserPrompts(&dialogs);
  auto pressOk = [](CSettingsSheet& sheet) {
    auto* buttons = sheet.findChild<QDialogButtonBox*>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_NE(buttons, nullptr);
    buttons->button(QDialogButtonBox::Ok)->click();
  };
  {
    CNextModal<CSettingsSheet> sheet(pressOk);
    f.RunCommand(Cmd::kOptions);
    EXPECT_TRUE(sheet.Answered());
  }
  EXPECT_FALSE(f.GetSystem().IsModified());
  f.Tick(FrameTimer::kAutosave);
  EXPECT_EQ(WriteMark(path), written);

  {
    CNextModal<CSettingsSheet> sheet([&](CSettingsSheet& shown) {
      CCommsDialog* comms = nullptr;
      for (QWidget* page : shown.findChildren<QWidget*>())
        if (!comms) comms = dynamic_cast<CCommsDialog*>(page);
      ASSERT_NE(comms, nullptr);
      comms->LogErrorsBox()->click();
      pressOk(shown);
    });
    f.RunCommand(Cmd::kOptions);
    EXPECT_TRUE(sheet.Answered());
  }
  EXPECT_TRUE(f.GetSystem().IsModified());
  f.SetUserPrompts(&prompts);
}

TEST_F(FileCommandsTest, Autosave_WritesNothingWhileTheCloseQuestionIsOpen) {
  CFrameUnderTest& f = MakeFrame();
  const std::string path = SaveShowThroughTheFrame("Saved");
  const QByteArray saved = FileBytes(path);
  AddDevice(f.GetSystem(), "Declined");

  CQtUserPrompts dialogs(&f);
  f.SetUserPrompts(&dialogs);
  CNextModal<QMessageBox> question([&](QMessageBox& box) {
    f.Tick(FrameTimer::kAutosave);
    box.button(QMessageBox::No)->click();
  });
  EXPECT_TRUE(f.close());
  EXPECT_TRUE(question.Answered());
  EXPECT_EQ(FileBytes(path), saved);
}

// A failed autosave is told once, with its reason; the ticks after it try again without a word
// but the status bar's, until a save succeeds. A file nobody changed is not written at all, so
// a read-only file left alone brings no message.
TEST_F(FileCommandsTest, Autosave_AFailedSaveIsToldOnceUntilASaveSucceeds) {
  CFrameUnderTest& f = MakeFrame();
  CSystem& system = f.GetSystem();
  const std::string path = SaveShowThroughTheFrame("A");
  QFile file(QString::fromStdString(path));
  const auto readOnly = QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
  ASSERT_TRUE(file.setPermissions(readOnly));
  f.Tick(FrameTimer::kAutosave);
  EXPECT_TRUE(prompts.messages.empty());

  AddDevice(system, "B");
  for (int tick = 0; tick < 3; ++tick) {
    f.Tick(FrameTimer::kAutosave);
    f.Tick(FrameTimer::kBlink);
    ProcessEvents();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].caption, "File Error");
    EXPECT_NE(prompts.messages[0].text.find("the file is read-only"), std::string::npos);
    EXPECT_EQ(LogLinesWith("Autosave of " + path + " failed"), 1);
    EXPECT_EQ(f.GetStatusText(), "Autosave of show.ovd failed: the changes are not saved.");
  }

  ASSERT_TRUE(file.setPermissions(readOnly | QFileDevice::WriteOwner));
  f.Tick(FrameTimer::kAutosave);
  CSystem reread;
  ASSERT_TRUE(reread.File().OpenFile(path));
  EXPECT_EQ(reread.GetDeviceCount(), 2);
  ASSERT_TRUE(file.setPermissions(readOnly));
  AddDevice(system, "C");
  f.Tick(FrameTimer::kAutosave);
  EXPECT_EQ(prompts.messages.size(), 2u);  // failed again after a save that succeeded
}

// A path through a link to a folder and then ".." names the file the system opens for it (as a
// shell's "cat" would), not the one that dropping the link and ".." by their names would give. A
// link to a file is known by the link's own name.
TEST_F(FileCommandsTest, PathThroughALinkAndDotDotOpensTheFileTheSystemOpens) {
  CFrameUnderTest& f = MakeFrame();
  CSystem& system = f.GetSystem();
  ASSERT_TRUE(QDir(temp.path()).mkpath("lx/real/sub") && QDir(temp.path()).mkpath("lx/a"));
  ASSERT_EQ(::symlink("../real/sub", PathOf("lx/a/ln").c_str()), 0);
  SaveSystemWith(PathOf("lx/real/show.ovd"), "Real");
  SaveSystemWith(PathOf("lx/a/show.ovd"), "Other");

  ASSERT_TRUE(f.Files().OpenFilePath(PathOf("lx/a/ln/../show.ovd")));
  ASSERT_EQ(system.GetDeviceCount(), 1);
  EXPECT_EQ(system.GetDevice(0)->GetName(), "Real");
  EXPECT_EQ(system.File().GetFilePath(), PathOf("lx/real/show.ovd"));
  EXPECT_EQ(recent.Get(0), PathOf("lx/real/show.ovd"));

  ASSERT_EQ(::symlink("real/show.ovd", PathOf("lx/alias.ovd").c_str()), 0);
  ASSERT_TRUE(f.Files().OpenFilePath(PathOf("lx/alias.ovd")));
  EXPECT_EQ(system.File().GetFilePath(), PathOf("lx/alias.ovd"));
  EXPECT_EQ(f.windowTitle(), "Orvak - alias.ovd");
}

// An "&" in a recent file's path is shown as itself in the File menu, not taken for the mark of
// a mnemonic.
TEST_F(FileCommandsTest, RecentFileWithAnAmpersandShowsItInTheMenu) {
  const std::string path = PathOf("A&B.ovd");
  SaveSystemWith(path, "A");
  recent.Add(path);
  CFrameUnderTest& f = MakeFrame();
  f.UpdateCommandUI();
  QString shown = QString::fromStdString(path);
  shown.replace(QStringLiteral("&"), QStringLiteral("&&"));
  EXPECT_EQ(f.GetCommand(Cmd::kRecentFile1)->text(), QStringLiteral("&1 ") + shown);
  if (const QString folder = qEnvironmentVariable("ORVAK_TEST_PICTURES"); !folder.isEmpty()) {
    QMenu* file = f.menuBar()->actions().first()->menu();
    file->popup(f.mapToGlobal(QPoint(0, 20)));
    ProcessEvents();
    file->grab().save(folder + QStringLiteral("/recent-ampersand.png"));
    file->hide();
  }
  f.RunCommand(Cmd::kRecentFile1);
  EXPECT_EQ(f.GetSystem().File().GetFilePath(), path);
}

// A file whose name is not UTF-8 (made in another encoding) opens, is listed and opens again
// from the list, byte for byte the name it has on the disk.
TEST_F(FileCommandsTest, FileWhoseNameIsNotUtf8OpensAndOpensAgainFromTheList) {
  // Made apart from PathOf, whose QString would not keep the byte.
  const std::string path = temp.path().toStdString() + "/caf\xe9.ovd";
  SaveSystemWith(path, "Latin-1");
  CFrameUnderTest& f = MakeFrame();
  CSystem& system = f.GetSystem();
  ASSERT_TRUE(f.Files().OpenFilePath(path));
  EXPECT_TRUE(prompts.messages.empty());
  ASSERT_EQ(system.GetDeviceCount(), 1);
  EXPECT_EQ(system.GetDevice(0)->GetName(), "Latin-1");

  f.RunCommand(Cmd::kFileNew);
  CRecentFileList stored;
  stored.Load();
  EXPECT_EQ(stored.Get(0), path);
  f.RunCommand(Cmd::kRecentFile1);
  ASSERT_EQ(system.GetDeviceCount(), 1);
  EXPECT_EQ(system.File().GetFilePath(), path);
  EXPECT_TRUE(prompts.messages.empty());
}

// The file name that titles, questions and autosave's notices show: after the last separator
// of either kind, the whole path without one, nothing after a trailing separator.
class FileNameOfTest : public ::testing::TestWithParam<std::pair<std::string, std::string>> {};

TEST_P(FileNameOfTest, IsWhatFollowsTheLastSeparator) {
  EXPECT_EQ(CFileCommands::FileNameOf(GetParam().first), GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(Paths, FileNameOfTest,
                         ::testing::Values(std::pair<std::string, std::string>{"/home/a/show.ovd", "show.ovd"},
                                           std::pair<std::string, std::string>{"show.ovd", "show.ovd"},
                                           std::pair<std::string, std::string>{"C:\\Shows\\tour.ovd", "tour.ovd"},
                                           std::pair<std::string, std::string>{"/a\\b/c.ovd", "c.ovd"},
                                           std::pair<std::string, std::string>{"/home/a/", ""},
                                           std::pair<std::string, std::string>{"", ""}));
