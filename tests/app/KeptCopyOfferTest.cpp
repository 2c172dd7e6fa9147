// The copies of earlier bytes that saves cut short kept, as the frame offers them back: made by
// the real writer in processes killed at their steps, answered through scripted prompts and
// through the real message box.
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTimer>
#include <fcntl.h>
#include <filesystem>
#include <fstream>

#include "core/model/Device.h"
#include "core/system/System.h"
#include "core/system/Zone.h"
#include "platform/Archive.h"
#include "platform/Clock.h"
#include "platform/TextFormat.h"
#include "tests/app/FrameFixture.h"
#include "tests/platform/OtherProcesses.h"
#include "tests/support/FileTestDevices.h"
#include "tests/support/ModelChanges.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

int g_killAtStep = 0;
int g_steps = 0;
void KillAtStep(int step) {
  if (step == g_killAtStep) ::kill(::getpid(), SIGKILL);
}
void CountStep(int) { ++g_steps; }

// Saves bytes at path in 64 KiB pieces through the writer, in a process of its own, as another
// instance of the program would; that process kills itself before the given step of the save
// (0: none). The number of steps the save took when it ended by itself, or -1 when it was killed.
int SaveInAnotherProcess(const std::string& path, const Bytes& bytes, int killAtStep = 0) {
  const pid_t child = ::fork();
  if (child == 0) {
    g_killAtStep = killAtStep;
    g_steps = 0;
    SetSaveStepHookForTests(killAtStep ? KillAtStep : CountStep);
    CAtomicFileWriter file(path);
    bool saved = file.Open(nullptr);
    for (std::size_t at = 0; saved && at < bytes.size(); at += 65536)
      saved = file.Write(bytes.data() + at, std::min<std::size_t>(65536, bytes.size() - at), nullptr);
    saved = saved && file.Commit(nullptr);
    ::_exit(saved ? std::min(g_steps, 250) : 255);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  if (WIFSIGNALED(status)) return -1;
  EXPECT_NE(WEXITSTATUS(status), 255);
  return WEXITSTATUS(status);
}

Bytes BytesOf(const std::string& path) {
  Bytes bytes;
  EXPECT_TRUE(ReadWholeFile(path, bytes, nullptr)) << path;
  return bytes;
}

bool Opens(const std::string& path) {
  CSystem probe;
  return probe.File().OpenFile(path);
}

// The file's bytes written over it by another program (a copy program, a sync tool), in place.
void WriteByHand(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// The copy's save stopped a second earlier than it did: what wrote the file after it, wrote it a
// second after that save.
void StopItsSaveASecondEarlier(const CKeptCopy& kept) {
  const std::int64_t at = kept.markedAt - 1000000000;
  const struct timespec times[2] = {{0, UTIME_OMIT}, {time_t(at / 1000000000), long(at % 1000000000)}};
  ASSERT_EQ(::utimensat(AT_FDCWD, kept.copy.c_str(), times, 0), 0);
}

class KeptCopyOfferTest : public FrameTest {
 protected:
  void SetUp() override {
    FrameTest::SetUp();
    RegisterFileTestDevices();
  }
  void TearDown() override {
    for (const CKeptCopy& kept : FindKeptCopies()) DiscardKeptCopy(kept);
  }

  // The bytes of a system of count devices named name, saved at path; with the tick held, as
  // the same system saved again would write them.
  static Bytes SaveSystem(const std::string& path, int count, const std::string& name) {
    const CHeldTickCount held(1000);
    CSystem system;
    for (int i = 0; i < count; ++i) {
      CDevice* device = system.CreateDevice(std::uint32_t(i + 1), CFileTestDevice::kPlainType, 0);
      NameDevice(device, name);
      system.AppendDevice(device);
      system.GetZones()[0]->AppendDevice(device);
    }
    EXPECT_TRUE(system.File().SaveFile(path));
    return BytesOf(path);
  }

  // The file at path, holding earlier, as a save in place of later that was killed after its
  // last write left it: whole with the later bytes, and the copy of the earlier ones still there.
  void LeaveASaveKilledAfterItsFlush(const std::string& path, const Bytes& later) {
    ASSERT_EQ(::link(path.c_str(), (path + ".link").c_str()), 0);
    const Bytes earlier = BytesOf(path);
    const int steps = SaveInAnotherProcess(path, later);
    ASSERT_GT(steps, 0);
    ASSERT_TRUE(WriteFileAtomically(path, earlier, nullptr));  // in place again, as before
    ASSERT_EQ(SaveInAnotherProcess(path, later, steps), -1);
    ASSERT_EQ(BytesOf(path), later);
    ASSERT_EQ(FindKeptCopies(path).size(), 1u);
  }

  // The earlier bytes start after the mark, their length, when the copy was made, the path's
  // length and the path.
  static void FlipABitOfTheEarlierBytes(const CKeptCopy& kept, std::uint64_t at) {
    std::fstream file(kept.copy, std::ios::in | std::ios::out | std::ios::binary);
    const auto offset = std::streamoff(8 + 8 + 8 + 4 + kept.file.size() + at);
    file.seekg(offset);
    const char c = char(file.get() ^ 0x04);
    file.seekp(offset);
    file.put(c);
  }

  std::string DeviceName(int i) { return frame->GetSystem().GetDevice(i)->GetName(); }
};

}  // namespace

// A save in place of a system file, killed before each of its steps: at the next start its kept
// copy is offered as the copy and the file now are. A copy whose save did not reach the disk has
// Put Back on Enter, which brings the earlier system back, whether the file opens or not: it
// may hold part of that save. One whose save reached the disk (the program stopped before it
// removed the copy) is said to be so and has Keep on Enter, which leaves that save as it is and
// the copy set aside.
TEST_F(KeptCopyOfferTest, ASaveInPlaceKilledAtEachStepIsOfferedAsItsFileNowIs) {
  const std::string path = PathOf("show.ovd");
  const Bytes later = SaveSystem(PathOf("later.ovd"), 4000, "Later");
  const Bytes earlier = SaveSystem(path, 3000, "Earlier");
  ASSERT_EQ(::link(path.c_str(), PathOf("show2.ovd").c_str()), 0);
  ASSERT_GT(later.size(), 3 * 65536u);  // written in several pieces
  int finished = 0, cutShortOpening = 0, torn = 0, step = 1;
  for (; step < 200; ++step) {
    SCOPED_TRACE(step);
    const bool killed = SaveInAnotherProcess(path, later, step) < 0;
    if (!killed) break;
    const std::vector<CKeptCopy> left = FindKeptCopies(path);
    if (left.empty()) continue;
    const bool opens = Opens(path);
    const bool reachedTheDisk = left[0].save == EKeptCopySave::Finished;
    CFrameUnderTest& f = MakeFrame();
    prompts.choices.clear();
    prompts.choiceAnswers = {CFakePrompts::kEnter};
    f.KeptCopies().OfferKeptCopies();
    ASSERT_EQ(prompts.choices.size(), 1u);
    const CFakePrompts::Choice& asked = prompts.choices[0];
    if (reachedTheDisk) {
      ++finished;
      EXPECT_TRUE(opens);
      EXPECT_EQ(BytesOf(path), later);
      EXPECT_NE(asked.text.find("A save of " + path + " reached the disk, but the program stopped before it "
                                "removed the copy of the file's earlier bytes."),
                std::string::npos)
          << asked.text;
      EXPECT_EQ(asked.defaultButton, "Keep");
      EXPECT_EQ(BytesOf(path), later);
      ASSERT_EQ(FindKeptCopies(path).size(), 1u);
      EXPECT_TRUE(FindKeptCopies(path)[0].setAside);
    } else {
      EXPECT_EQ(left[0].save, EKeptCopySave::CutShort);
      ++(opens ? cutShortOpening : torn);
      EXPECT_NE(asked.text.find("A save of " + path + " did not finish: the program stopped while it wrote the "
                                "file, which " +
                                (opens ? "opens, but may hold part of that save's bytes over its earlier ones."
                                       : "does not open now.")),
                std::string::npos)
          << asked.text;
      EXPECT_EQ(asked.defaultButton, "Put Back");
      EXPECT_EQ(BytesOf(path), earlier);
      // What the file held is kept by the Put Back, to go with this program's next save of it.
      const std::vector<CKeptCopy> replaced = FindKeptCopies();
      ASSERT_EQ(replaced.size(), 1u);
      EXPECT_EQ(replaced[0].save, EKeptCopySave::Replaced);
      EXPECT_TRUE(replaced[0].known);
    }
    EXPECT_EQ(asked.buttons, (std::vector<std::string>{"Put Back", "Save As...", "Delete", "Keep"}));
    frame.reset();
    for (const CKeptCopy& kept : FindKeptCopies()) DiscardKeptCopy(kept);
    ASSERT_TRUE(WriteFileAtomically(path, earlier, nullptr));
  }
  EXPECT_GT(finished, 0);
  EXPECT_GT(cutShortOpening, 0);
  EXPECT_GT(torn, 0);
  EXPECT_EQ(BytesOf(path), later);
}

// A copy kept at the start stays through a save of its file by another instance. Opening the
// file says where it lies; the person's next save of the file then takes it away.
TEST_F(KeptCopyOfferTest, AKeptCopyOutlivesAnotherInstancesSaveAndOpeningItsFileSaysSo) {
  const std::string path = PathOf("show.ovd");
  const Bytes later = SaveSystem(PathOf("later.ovd"), 4, "Later");
  SaveSystem(path, 3, "Earlier");
  LeaveASaveKilledAfterItsFlush(path, later);
  CFrameUnderTest& f = MakeFrame();
  f.KeptCopies().OfferKeptCopies();  // Escape: Keep
  ASSERT_EQ(prompts.choices.size(), 1u);
  const Bytes another = SaveSystem(PathOf("another.ovd"), 2, "Another");
  ASSERT_GT(SaveInAnotherProcess(path, another), 0);
  std::vector<CKeptCopy> kept = FindKeptCopies(path);
  ASSERT_EQ(kept.size(), 1u);

  ASSERT_TRUE(f.Files().OpenFilePath(path));
  EXPECT_EQ(prompts.choices.size(), 1u);  // not asked again
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_NE(prompts.messages[0].text.find("A copy of " + path +
                                          " as it was before a save that reached the disk (the program stopped "
                                          "before it removed the copy) is kept in\n" +
                                          kept[0].copy),
            std::string::npos)
      << prompts.messages[0].text;
  EXPECT_EQ(DeviceName(0), "Another");
  EXPECT_EQ(FindKeptCopies(path).size(), 1u);
  f.GetSystem().SetModified(true);
  ASSERT_TRUE(f.Files().OnFileSave());
  EXPECT_TRUE(FindKeptCopies().empty());
}

// A copy whose earlier bytes no longer match their check word is offered as damaged, never put
// back over its file, and kept unless deleted; saved under another name it holds what it held.
TEST_F(KeptCopyOfferTest, ADamagedCopyIsOfferedAsDamagedAndKept) {
  const std::string path = PathOf("show.ovd");
  const Bytes earlier = SaveSystem(path, 3, "Earlier");
  CutASaveInPlaceShort(path);
  FlipABitOfTheEarlierBytes(FindKeptCopies(path).at(0), 100);
  CFrameUnderTest& f = MakeFrame();
  prompts.choiceAnswers = {CFakePrompts::kEnter, "Save As..."};
  prompts.paths = {PathOf("looked at.ovd")};
  f.KeptCopies().OfferKeptCopies();
  f.KeptCopies().OfferKeptCopies();
  ASSERT_EQ(prompts.choices.size(), 2u);
  for (const CFakePrompts::Choice& asked : prompts.choices) {
    EXPECT_NE(asked.text.find("\nis damaged: its bytes no longer match their check word"), std::string::npos);
    EXPECT_EQ(asked.buttons, (std::vector<std::string>{"Save As...", "Delete", "Keep"}));
    EXPECT_EQ(asked.defaultButton, "Keep");
  }
  Bytes expected = earlier;
  expected[100] ^= 0x04;
  EXPECT_EQ(BytesOf(PathOf("looked at.ovd")), expected);
  EXPECT_TRUE(FindKeptCopies().empty());
}

// A copy whose file's folder is gone is saved under a name the person chooses, as a plain file
// that opens; the copy's own file, opened, is offered the same way.
TEST_F(KeptCopyOfferTest, ACopyWhoseFolderIsGoneIsSavedWhereThePersonChooses) {
  ASSERT_TRUE(std::filesystem::create_directory(PathOf("gone")));
  const std::string path = PathOf("gone/show.ovd");
  SaveSystem(path, 3, "Earlier");
  CutASaveInPlaceShort(path);
  const std::string copy = FindKeptCopies(path).at(0).copy;
  std::filesystem::remove_all(PathOf("gone"));
  CFrameUnderTest& f = MakeFrame();
  f.KeptCopies().OfferKeptCopies();  // Escape: Keep
  ASSERT_EQ(prompts.choices.size(), 1u);
  EXPECT_NE(prompts.choices[0].text.find("A save of " + path + " did not finish, and the folder " + PathOf("gone") +
                                         " is no longer there to put the file back in."),
            std::string::npos)
      << prompts.choices[0].text;
  EXPECT_EQ(prompts.choices[0].buttons, (std::vector<std::string>{"Save As...", "Delete", "Keep"}));
  EXPECT_EQ(prompts.choices[0].defaultButton, "Save As...");

  prompts.choiceAnswers = {CFakePrompts::kEnter};
  prompts.paths = {PathOf("back.ovd")};
  EXPECT_FALSE(f.Files().OpenFilePath(copy));
  ASSERT_EQ(prompts.choices.size(), 2u);
  EXPECT_EQ(prompts.choices[1].text, prompts.choices[0].text);
  EXPECT_TRUE(FindKeptCopies().empty());
  ASSERT_TRUE(f.Files().OpenFilePath(PathOf("back.ovd")));
  EXPECT_EQ(f.GetSystem().GetDeviceCount(), 3);
  EXPECT_EQ(DeviceName(0), "Earlier");
}

// Save As... of a kept copy starts at its file, in the file's folder: a name taken as it stands
// goes where the file is, never into the folder the program was started from. Where that folder
// is gone, it starts in the folder of the file used last, with the file's name.
TEST_F(KeptCopyOfferTest, TheSaveAsOfACopyStartsAtItsFile) {
  ASSERT_TRUE(std::filesystem::create_directory(PathOf("shows")));
  ASSERT_TRUE(std::filesystem::create_directory(PathOf("gone")));
  ASSERT_TRUE(std::filesystem::create_directory(PathOf("used")));
  const std::string path = PathOf("shows/show.ovd"), lost = PathOf("gone/lost.ovd");
  SaveSystem(path, 3, "Earlier");
  SaveSystem(lost, 2, "Lost");
  SaveSystem(PathOf("used/last.ovd"), 1, "Last");
  recent.Add(PathOf("used/last.ovd"));
  CutASaveInPlaceShort(path);
  CutASaveInPlaceShort(lost);
  std::filesystem::remove_all(PathOf("gone"));
  CFrameUnderTest& f = MakeFrame();
  prompts.choiceAnswers = {"Save As...", "Keep", "Save As...", "Keep"};
  f.KeptCopies().OfferKeptCopies();  // no name given: asked again, then kept
  ASSERT_EQ(prompts.saveSpecs.size(), 2u);
  std::vector<std::string> starts{prompts.saveSpecs[0].initialName, prompts.saveSpecs[1].initialName};
  std::sort(starts.begin(), starts.end());
  EXPECT_EQ(starts, (std::vector<std::string>{PathOf("shows/show.ovd"), PathOf("used/lost.ovd")}));
  EXPECT_EQ(FindKeptCopies().size(), 2u);
}

// The question is a message box whose buttons say what they do, and Enter presses the one that
// fits the file: Keep for a file saved whole since, Put Back for one that does not open.
TEST_F(KeptCopyOfferTest, TheOfferIsAMessageBoxWhoseEnterButtonFitsTheFile) {
  const std::string whole = PathOf("whole.ovd"), torn = PathOf("torn.ovd");
  const Bytes later = SaveSystem(PathOf("later.ovd"), 4, "Later");
  SaveSystem(whole, 3, "Earlier");
  const Bytes earlier = SaveSystem(torn, 3, "Earlier");
  LeaveASaveKilledAfterItsFlush(whole, later);
  CutASaveInPlaceShort(torn);
  CFrameUnderTest& f = MakeFrame();
  f.SetUserPrompts(nullptr);  // the frame's own message boxes
  std::map<std::string, std::pair<QStringList, QString>> shown;  // the file: its buttons and the default
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    const std::string file = box->text().contains("whole.ovd") ? "whole" : "torn";
    QStringList buttons;
    for (QAbstractButton* button : box->buttons()) buttons << button->text();
    buttons.sort();
    shown[file] = {buttons, box->defaultButton() ? box->defaultButton()->text() : QString()};
    if (const QString folder = qEnvironmentVariable("ORVAK_TEST_PICTURES"); !folder.isEmpty())
      box->grab().save(folder + "/kept-copy-" + QString::fromStdString(file) + ".png");
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(box, &enter);
  });
  watch.start(10);
  f.KeptCopies().OfferKeptCopies();
  watch.stop();
  ASSERT_EQ(shown.size(), 2u);
  const QStringList buttons{"Delete", "Keep", "Put Back", "Save As..."};
  EXPECT_EQ(shown["whole"].first, buttons);
  EXPECT_EQ(shown["whole"].second, "Keep");
  EXPECT_EQ(shown["torn"].second, "Put Back");
  EXPECT_EQ(BytesOf(whole), later);
  EXPECT_EQ(BytesOf(torn), earlier);
  const std::vector<CKeptCopy> left = FindKeptCopies(whole);
  ASSERT_EQ(left.size(), 1u);
  EXPECT_TRUE(left[0].setAside);
  ASSERT_EQ(FindKeptCopies(torn).size(), 1u);
  EXPECT_EQ(FindKeptCopies(torn)[0].save, EKeptCopySave::Replaced);
}

// A name given without ".ovd" at the copy's Save As... is the ".ovd" file, as at the frame's own
// Save As: asked about before a system of that name is replaced, No keeping it and asking for a
// name again, and a free name written with ".ovd".
TEST_F(KeptCopyOfferTest, ACopySavedUnderANameWithoutOvdIsWrittenAsTheOvdFileAskedAboutFirst) {
  ASSERT_TRUE(std::filesystem::create_directory(PathOf("gone")));
  const std::string path = PathOf("gone/show.ovd");
  SaveSystem(path, 3, "Earlier");
  CutASaveInPlaceShort(path);
  std::filesystem::remove_all(PathOf("gone"));
  const Bytes taken = SaveSystem(PathOf("taken.ovd"), 2, "Taken");
  CFrameUnderTest& f = MakeFrame();
  prompts.choiceAnswers = {"Save As..."};
  prompts.paths = {PathOf("taken"), PathOf("back")};
  prompts.answers = {IUserPrompts::Answer::No};
  f.KeptCopies().OfferKeptCopies();
  ASSERT_EQ(prompts.questions.size(), 1u);
  EXPECT_EQ(prompts.questions[0].text, "taken.ovd already exists.\nDo you want to replace it?");
  EXPECT_EQ(BytesOf(PathOf("taken.ovd")), taken);
  ASSERT_EQ(prompts.saveSpecs.size(), 2u);
  EXPECT_EQ(prompts.saveSpecs[0].defaultExtension, "ovd");
  // The file's folder is gone, and no file was used before: the documents folder (the home
  // folder without one), with the file's name.
  QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (documents.isEmpty() || !QFileInfo(documents).isDir()) documents = QDir::homePath();
  EXPECT_EQ(prompts.saveSpecs[0].initialName, (documents + "/show.ovd").toStdString());
  EXPECT_FALSE(std::filesystem::exists(PathOf("taken")));
  EXPECT_FALSE(std::filesystem::exists(PathOf("back")));
  EXPECT_TRUE(FindKeptCopies().empty());
  ASSERT_TRUE(f.Files().OpenFilePath(PathOf("back.ovd")));
  EXPECT_EQ(f.GetSystem().GetDeviceCount(), 3);
  EXPECT_EQ(DeviceName(0), "Earlier");
}

// A save killed part-way whose file still opens (the new bytes written over the start of the
// earlier ones, in the same layout) is offered as a save that did not finish, with Put Back on
// Enter: that the file opens does not make it whole.
TEST_F(KeptCopyOfferTest, ASaveCutShortWhoseFileStillOpensIsOfferedAsNotFinished) {
  const std::string path = PathOf("show.ovd");
  const Bytes later = SaveSystem(PathOf("later.ovd"), 3000, "Later..");
  const Bytes earlier = SaveSystem(path, 3000, "Earlier");
  ASSERT_EQ(later.size(), earlier.size());
  ASSERT_EQ(::link(path.c_str(), PathOf("show2.ovd").c_str()), 0);
  int mixed = 0;
  for (int step = 1; step < 200; ++step) {
    SCOPED_TRACE(step);
    if (SaveInAnotherProcess(path, later, step) >= 0) break;
    const Bytes left = BytesOf(path);
    if (left != earlier && left != later && Opens(path)) {
      ++mixed;
      CFrameUnderTest& f = MakeFrame();
      prompts.choices.clear();
      prompts.choiceAnswers = {CFakePrompts::kEnter};
      f.KeptCopies().OfferKeptCopies();
      ASSERT_EQ(prompts.choices.size(), 1u);
      EXPECT_NE(prompts.choices[0].text.find("did not finish: the program stopped while it wrote the file, which opens, "
                                             "but may hold part of that save's bytes over its earlier ones."),
                std::string::npos)
          << prompts.choices[0].text;
      EXPECT_EQ(prompts.choices[0].defaultButton, "Put Back");
      EXPECT_EQ(BytesOf(path), earlier);
      frame.reset();
    }
    for (const CKeptCopy& kept : FindKeptCopies()) DiscardKeptCopy(kept);
    ASSERT_TRUE(WriteFileAtomically(path, earlier, nullptr));
  }
  EXPECT_GT(mixed, 0);
}

// This instance has a file open; another instance saves it whole and is then killed in its next
// save, which leaves the file torn and that whole save in a copy. This instance's save of the
// file, made knowing nothing of the copy, leaves it; the next start offers it as overtaken by a
// whole save (Keep on Enter), and Put Back brings the other instance's save back.
TEST_F(KeptCopyOfferTest, AnotherInstancesSaveCutShortOutlivesThisInstancesSaveOfTheFile) {
  const std::string path = PathOf("show.ovd");
  SaveSystem(path, 3, "Mine");
  ASSERT_EQ(::link(path.c_str(), PathOf("show2.ovd").c_str()), 0);
  CFrameUnderTest& f = MakeFrame();
  ASSERT_TRUE(f.Files().OpenFilePath(path));
  const Bytes theirs = SaveSystem(PathOf("theirs.ovd"), 2, "Theirs");
  ASSERT_GT(SaveInAnotherProcess(path, theirs), 0);
  const Bytes torn = SaveSystem(PathOf("torn.ovd"), 2000, "Torn");
  const int steps = SaveInAnotherProcess(path, torn);
  ASSERT_TRUE(WriteFileAtomically(path, theirs, nullptr));
  ASSERT_EQ(SaveInAnotherProcess(path, torn, steps - 4), -1);  // killed among its writes to the file
  ASSERT_FALSE(Opens(path));
  ASSERT_EQ(FindKeptCopies(path).size(), 1u);

  f.GetSystem().SetModified(true);
  ASSERT_TRUE(f.Files().OnFileSave());
  EXPECT_EQ(prompts.choices.size(), 0u);
  std::vector<CKeptCopy> kept = FindKeptCopies(path);
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(kept[0].save, EKeptCopySave::SavedOver);
  frame.reset();

  CFrameUnderTest& next = MakeFrame();
  prompts.choiceAnswers = {CFakePrompts::kEnter};
  next.KeptCopies().OfferKeptCopies();
  ASSERT_EQ(prompts.choices.size(), 1u);
  EXPECT_NE(prompts.choices[0].text.find("A save of " + path +
                                         " did not finish, but the file has been saved whole since by a save that did "
                                         "not know of this copy; it was last written at "),
            std::string::npos)
      << prompts.choices[0].text;
  EXPECT_EQ(prompts.choices[0].defaultButton, "Keep");
  ASSERT_TRUE(next.Files().OpenFilePath(path));
  EXPECT_EQ(DeviceName(0), "Mine");
  prompts.choiceAnswers = {"Put Back"};
  EXPECT_TRUE(next.KeptCopies().OfferKeptCopies());
  EXPECT_EQ(BytesOf(path), theirs);
}

// Keep while another program holds the copy (its sweep reads it from the moment the question
// is asked): Keep waits for it and keeps the copy; held on for longer, the person is told that
// it could not be kept and asked again, and the next Keep keeps it. Either way the copy ends set
// aside, and a save of its file by another instance leaves it.
TEST_F(KeptCopyOfferTest, KeepBesideAnotherProgramHoldingTheCopyKeepsItOrSaysItCouldNot) {
  static std::unique_ptr<other_processes::CLockHolder> s_holder;
  for (const bool heldOn : {false, true}) {
    SCOPED_TRACE(heldOn);
    const std::string path = PathOf(heldOn ? "held.ovd" : "let.ovd");
    SaveSystem(path, 3, "Earlier");
    CutASaveInPlaceShort(path);
    const std::string copy = FindKeptCopies(path).at(0).copy;
    prompts.onChoice = [&copy](const std::string&) {
      if (s_holder) return;
      s_holder = std::make_unique<other_processes::CLockHolder>(copy);
      ASSERT_TRUE(s_holder->Held());
    };
    prompts.onMessage = [](const std::string&) { s_holder->Release(); };
    if (!heldOn) SetKeptCopyLockWaitHookForTests([](int) { s_holder->Release(); });
    CFrameUnderTest& f = MakeFrame();
    prompts.choices.clear();
    prompts.messages.clear();
    prompts.choiceAnswers = {"Keep", "Keep"};
    f.KeptCopies().OfferKeptCopies();
    SetKeptCopyLockWaitHookForTests(nullptr);
    prompts.onMessage = nullptr;
    prompts.onChoice = nullptr;
    s_holder.reset();
    if (heldOn) {
      ASSERT_EQ(prompts.messages.size(), 1u);
      EXPECT_EQ(prompts.messages[0].text, "The kept copy could not be set aside: another program is reading it\nIt "
                                          "stays in " + copy + ", and is asked about again.");
      ASSERT_EQ(prompts.choices.size(), 2u);
      EXPECT_EQ(prompts.choices[1].text, prompts.choices[0].text);
    } else {
      EXPECT_TRUE(prompts.messages.empty());
      EXPECT_EQ(prompts.choices.size(), 1u);
    }
    ASSERT_EQ(FindKeptCopies(path).size(), 1u);
    EXPECT_TRUE(FindKeptCopies(path)[0].setAside);
    ASSERT_GT(SaveInAnotherProcess(path, SaveSystem(PathOf("other.ovd"), 2, "Other")), 0);
    EXPECT_EQ(FindKeptCopies(path).size(), 1u);
    frame.reset();
    for (const CKeptCopy& kept : FindKeptCopies()) DiscardKeptCopy(kept);
  }
}

// Put Back, Keep or Delete of a copy that another instance put back while it was offered here
// says that it is gone, and the copy is asked about no more.
TEST_F(KeptCopyOfferTest, AChoiceOnACopyAnotherInstanceTookAwaySaysItIsGone) {
  for (const std::string answer : {"Put Back", "Keep", "Delete"}) {
    SCOPED_TRACE(answer);
    const std::string path = PathOf("gone" + std::to_string(answer.size()) + ".ovd");
    const Bytes earlier = SaveSystem(path, 3, "Earlier");
    CutASaveInPlaceShort(path);
    const CKeptCopy kept = FindKeptCopies(path).at(0);
    prompts.onChoice = [&kept](const std::string&) {
      const pid_t child = ::fork();
      if (child == 0) ::_exit(PutKeptCopyBack(kept, nullptr) ? 0 : 1);
      int status = 0;
      ::waitpid(child, &status, 0);
    };
    CFrameUnderTest& f = MakeFrame();
    prompts.choices.clear();
    prompts.messages.clear();
    prompts.choiceAnswers = {answer, answer};
    f.KeptCopies().OfferKeptCopies();
    prompts.onChoice = nullptr;
    EXPECT_EQ(prompts.choices.size(), 1u);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, "The kept copy\n" + kept.copy +
                                            "\nis no longer there: another instance of the program has put it back, "
                                            "saved it elsewhere or deleted it since it was offered here.");
    EXPECT_EQ(BytesOf(path), earlier);
    for (const CKeptCopy& left : FindKeptCopies()) DiscardKeptCopy(left);  // what that Put Back wrote over
    frame.reset();
  }
}

// A kept copy moved out of the folder of the kept copies and opened there is named for what it
// is, and nothing changes; opened in that folder it is offered back.
TEST_F(KeptCopyOfferTest, AKeptCopyOpenedFromAnotherFolderSaysWhatItIs) {
  const std::string path = PathOf("show.ovd");
  const Bytes earlier = SaveSystem(path, 3, "Earlier");
  CutASaveInPlaceShort(path);
  const Bytes torn = BytesOf(path);
  const CKeptCopy kept = FindKeptCopies(path).at(0);
  const std::string moved = PathOf("show.ovd.copy.keptcopy");
  std::filesystem::copy_file(kept.copy, moved);
  CFrameUnderTest& f = MakeFrame();
  EXPECT_FALSE(f.Files().OpenFilePath(moved));
  EXPECT_TRUE(prompts.choices.empty());
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0].text,
            moved + "\nis a copy that the program kept of " + path +
                " as it was before a save that did not finish; it is not a system file.\n\nKept copies are offered "
                "back from the folder\n" +
                GetKeptCopyFolder() +
                "\nonly: move it there and open it again to put it back, save it under another name or delete it.");
  EXPECT_EQ(BytesOf(path), torn);
  EXPECT_EQ(FindKeptCopies(path).size(), 1u);

  prompts.choiceAnswers = {"Put Back"};
  EXPECT_TRUE(f.Files().OpenFilePath(kept.copy));
  EXPECT_EQ(prompts.choices.size(), 1u);
  EXPECT_EQ(BytesOf(path), earlier);
}

// A copy with one bit flipped in its start (its mark, the earlier bytes' length, the path's
// length, the path, the start's word) is offered at the start as damaged there, never put back,
// Keep on Enter, asked again; Save As... writes its earlier system, which opens whole.
TEST_F(KeptCopyOfferTest, ACopyDamagedAtItsStartIsOfferedAndItsSystemSavedElsewhere) {
  const std::string path = PathOf("show.ovd");
  SaveSystem(path, 3, "Earlier");
  int n = 0;
  for (const std::string where : {"mark", "length", "path length", "path", "word"}) {
    SCOPED_TRACE(where);
    CutASaveInPlaceShort(path);
    const CKeptCopy kept = FindKeptCopies(path).at(0);
    const std::uint64_t at = where == "mark"          ? 7
                             : where == "length"      ? 8
                             : where == "path length" ? 24
                             : where == "path"        ? 28 + path.size() - 5
                                                      : std::filesystem::file_size(kept.copy) - 24;
    {
      std::fstream file(kept.copy, std::ios::in | std::ios::out | std::ios::binary);
      file.seekg(std::streamoff(at));
      const char c = char(file.get() ^ 0x01);
      file.seekp(std::streamoff(at));
      file.put(c);
    }
    const std::string elsewhere = PathOf("looked at " + std::to_string(++n) + ".ovd");
    CFrameUnderTest& f = MakeFrame();
    prompts.choices.clear();
    prompts.choiceAnswers = {CFakePrompts::kEnter, "Save As..."};
    prompts.paths = {elsewhere};
    f.KeptCopies().OfferKeptCopies();
    f.KeptCopies().OfferKeptCopies();
    ASSERT_EQ(prompts.choices.size(), 2u);
    for (const CFakePrompts::Choice& asked : prompts.choices) {
      EXPECT_EQ(asked.text.rfind("A copy that a save which did not finish kept in\n" + kept.copy +
                                     "\nis damaged at its start, where it names its file: that no longer matches its "
                                     "check word, so it is not put back. It names ",
                                 0),
                0u)
          << asked.text;
      EXPECT_EQ(asked.buttons, (std::vector<std::string>{"Save As...", "Delete", "Keep"}));
      EXPECT_EQ(asked.defaultButton, "Keep");
    }
    EXPECT_TRUE(FindKeptCopies().empty());
    ASSERT_TRUE(f.Files().OpenFilePath(elsewhere));
    ASSERT_EQ(f.GetSystem().GetDeviceCount(), 3);
    EXPECT_EQ(DeviceName(0), "Earlier");
    frame.reset();
    ASSERT_EQ(::unlink((path + ".link").c_str()), 0);
    ASSERT_TRUE(WriteFileAtomically(path, BytesOf(elsewhere), nullptr));
  }
}

// Each kind of copy is asked about in the frame's own message box, its words readable and its
// Enter button the one that fits: a copy damaged at its start, a file of a form this version
// does not read, a save cut short whose file still opens, one overtaken by a whole save, one
// that reached the disk, one whose file was written whole since by another program, one that
// holds what a Put Back of another instance wrote over. Escape keeps each.
TEST_F(KeptCopyOfferTest, EachKindOfCopyIsAskedAboutInAMessageBoxWhoseEnterButtonFitsIt) {
  const Bytes later = SaveSystem(PathOf("later.ovd"), 4, "Later..");
  std::map<std::string, std::string> expected;  // file name: the default button
  // Damaged at its start.
  SaveSystem(PathOf("damaged.ovd"), 3, "Earlier");
  CutASaveInPlaceShort(PathOf("damaged.ovd"));
  {
    std::fstream file(FindKeptCopies(PathOf("damaged.ovd")).at(0).copy, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(8);
    file.put(char(0x7F));
  }
  expected["damaged.ovd"] = "Keep";
  // A later version's.
  {
    std::ofstream file(GetKeptCopyFolder() + "later.ovd.Ltr123.keptcopy", std::ios::binary);
    file << "OVKEPT04 a later version's copy";
  }
  expected["Ltr123"] = "Keep";
  // Cut short, the file still whole.
  const Bytes earlier = SaveSystem(PathOf("opens.ovd"), 4, "Earlier");
  ASSERT_EQ(::link(PathOf("opens.ovd").c_str(), PathOf("opens2.ovd").c_str()), 0);
  for (int step = 1; BytesOf(PathOf("opens.ovd")) != later; ++step) {  // the kill just before the copy's mark
    for (const CKeptCopy& kept : FindKeptCopies(PathOf("opens.ovd"))) DiscardKeptCopy(kept);
    ASSERT_TRUE(WriteFileAtomically(PathOf("opens.ovd"), earlier, nullptr));
    ASSERT_EQ(SaveInAnotherProcess(PathOf("opens.ovd"), later, step), -1);
  }
  ASSERT_EQ(FindKeptCopies(PathOf("opens.ovd")).at(0).save, EKeptCopySave::CutShort);
  expected["opens.ovd"] = "Put Back";
  // Overtaken by a whole save that did not know of it.
  SaveSystem(PathOf("over.ovd"), 3, "Earlier");
  CutASaveInPlaceShort(PathOf("over.ovd"));
  ASSERT_GT(SaveInAnotherProcess(PathOf("over.ovd"), later), 0);
  expected["over.ovd"] = "Keep";
  // Reached the disk.
  SaveSystem(PathOf("done.ovd"), 3, "Earlier");
  LeaveASaveKilledAfterItsFlush(PathOf("done.ovd"), later);
  ASSERT_EQ(FindKeptCopies(PathOf("done.ovd")).at(0).save, EKeptCopySave::Finished);
  expected["done.ovd"] = "Keep";
  // Cut short, and written whole by another program a second after.
  SaveSystem(PathOf("since.ovd"), 3, "Earlier");
  CutASaveInPlaceShort(PathOf("since.ovd"));
  StopItsSaveASecondEarlier(FindKeptCopies(PathOf("since.ovd")).at(0));
  WriteByHand(PathOf("since.ovd"), later);
  expected["since.ovd"] = "Keep";
  // What a Put Back by another instance wrote over.
  SaveSystem(PathOf("replaced.ovd"), 3, "Earlier");
  CutASaveInPlaceShort(PathOf("replaced.ovd"));
  {
    const CKeptCopy cut = FindKeptCopies(PathOf("replaced.ovd")).at(0);
    const pid_t child = ::fork();
    if (child == 0) ::_exit(PutKeptCopyBack(cut, nullptr) ? 0 : 1);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  expected["replaced.ovd"] = "Keep";

  CFrameUnderTest& f = MakeFrame();
  f.SetUserPrompts(nullptr);  // the frame's own message boxes
  std::map<std::string, std::string> shown;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    std::string which;
    for (const auto& [name, button] : expected)
      if (box->text().contains(QString::fromStdString(name))) which = name;
    shown[which] = box->defaultButton() ? box->defaultButton()->text().toStdString() : std::string();
    if (const QString folder = qEnvironmentVariable("ORVAK_TEST_PICTURES"); !folder.isEmpty())
      box->grab().save(folder + "/kept-copy-" + QString::fromStdString(which) + ".png");
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(box, &escape);
  });
  watch.start(10);
  f.KeptCopies().OfferKeptCopies();
  watch.stop();
  EXPECT_EQ(shown, expected);
  EXPECT_EQ(FindKeptCopies().size(), expected.size());
}

// --- The copies of one file, and copies whose start cannot be trusted ---

namespace {

// What happened to one file: saves of it in place by another instance cut short, and other
// programs' writes, in order.
struct HistoryCase {
  const char* name;
  bool wholeBetween;       // another program wrote the next system whole after the first cut
  bool secondCut;          // a second save was cut short after that
  std::vector<std::string> defaults;  // the Enter buttons, newest copy first
  int systemLeft;          // which system the file holds after Enter on each: 0, 1 or 2
  std::size_t copiesLeft;
};

class KeptCopyHistoryTest : public KeptCopyOfferTest, public ::testing::WithParamInterface<HistoryCase> {
 protected:
  // Another instance's save of bytes over the file, killed among its writes: the file torn and
  // not opening, the copy of what it held left. Tried step by step from the save's start, the
  // file written back by hand between tries.
  void CutASaveAmongItsWrites(const std::string& path, const Bytes& bytes) {
    const Bytes before = BytesOf(path);
    std::vector<std::string> had;
    for (const CKeptCopy& kept : FindKeptCopies()) had.push_back(kept.copy);
    for (int step = 1; step < 100; ++step) {
      ASSERT_EQ(SaveInAnotherProcess(path, bytes, step), -1);
      if (BytesOf(path) != before && !Opens(path)) return;
      for (const CKeptCopy& kept : FindKeptCopies())
        if (std::find(had.begin(), had.end(), kept.copy) == had.end()) DiscardKeptCopy(kept);
      WriteByHand(path, before);
    }
    FAIL() << "no save was cut among its writes";
  }
};

}  // namespace

// The copies of one file are offered together, newest first, each judged against the file as
// it is then. Enter puts a copy back only where the file does not open and the copy does, or the
// file is what the copy's own save left; never over a file that opens and was written after
// that save stopped. Put Back keeps what it writes over: Enter on every question ends with the
// newest whole system in the file, and every other system is still kept.
TEST_P(KeptCopyHistoryTest, EnterOnEachCopyLeavesTheNewestWholeSystemAndLosesNone) {
  const HistoryCase& c = GetParam();
  const std::string path = PathOf("show.ovd");
  // Names of three lengths: a save cut among its writes leaves records that do not line up.
  const std::vector<Bytes> systems = {SaveSystem(PathOf("s0.ovd"), 3000, "Zero"),
                                      SaveSystem(PathOf("s1.ovd"), 3000, "The first"),
                                      SaveSystem(PathOf("s2.ovd"), 3000, "The second one")};
  WriteByHand(path, systems[0]);
  ASSERT_EQ(::link(path.c_str(), PathOf("show2.ovd").c_str()), 0);
  CutASaveAmongItsWrites(path, systems[1]);
  const Bytes firstTorn = BytesOf(path);
  StopItsSaveASecondEarlier(FindKeptCopies(path).at(0));
  if (c.wholeBetween) WriteByHand(path, systems[1]);
  if (c.secondCut) CutASaveAmongItsWrites(path, systems[2]);
  const Bytes offered = BytesOf(path);

  CFrameUnderTest& f = MakeFrame();
  prompts.choiceAnswers.assign(c.defaults.size(), CFakePrompts::kEnter);
  f.KeptCopies().OfferKeptCopies();
  ASSERT_EQ(prompts.choices.size(), c.defaults.size());
  for (std::size_t i = 0; i < c.defaults.size(); ++i) {
    SCOPED_TRACE(i);
    const std::string& text = prompts.choices[i].text;
    EXPECT_EQ(prompts.choices[i].defaultButton, c.defaults[i]) << text;
    if (c.defaults.size() > 1) {
      EXPECT_NE(text.find(FormatText("\nIt is copy %zu of 2 kept of this file, offered newest first.", i + 1)),
                std::string::npos)
          << text;
    }
  }
  if (!c.secondCut) {
    EXPECT_NE(prompts.choices[0].text.find("A save of " + path + " did not finish, and the file has been written "
                                           "since that save stopped, at "),
              std::string::npos)
        << prompts.choices[0].text;
  } else if (!c.wholeBetween) {
    // The newest copy holds what the first cut left: it does not open.
    EXPECT_NE(prompts.choices[0].text.find("). The kept file does not open.\nIt is copy 1 of 2"), std::string::npos)
        << prompts.choices[0].text;
  }
  EXPECT_EQ(BytesOf(path), systems[std::size_t(c.systemLeft)]);
  EXPECT_EQ(FindKeptCopies().size(), c.copiesLeft);
  // What the file and its copies held before the questions is somewhere still.
  std::vector<Bytes> held{BytesOf(path)};
  for (const CKeptCopy& kept : FindKeptCopies()) {
    held.emplace_back();
    ASSERT_TRUE(ReadKeptCopyBytes(kept, held.back()));
  }
  std::vector<Bytes> kept{systems[0], offered};
  if (c.wholeBetween) kept.push_back(systems[1]);
  if (c.secondCut && !c.wholeBetween) kept.push_back(firstTorn);
  for (std::size_t i = 0; i < kept.size(); ++i) EXPECT_NE(std::find(held.begin(), held.end(), kept[i]), held.end()) << i;
}

INSTANTIATE_TEST_SUITE_P(
    Histories, KeptCopyHistoryTest,
    ::testing::Values(
        // Two cuts: the newer copy holds the first cut's torn bytes.
        HistoryCase{"TwoSavesCutShort", false, true, {"Keep", "Put Back"}, 0, 2},
        // Both copies whole: the newer one goes back, the older stays kept.
        HistoryCase{"TwoSavesCutShortAWholeWriteBetween", true, true, {"Put Back", "Keep"}, 1, 2},
        // A copy program's whole write after the cut is not undone.
        HistoryCase{"WrittenWholeByAnotherProgramAfterTheCut", true, false, {"Keep"}, 1, 1}),
    [](const ::testing::TestParamInfo<HistoryCase>& info) { return std::string(info.param.name); });

// A copy whose start cannot be trusted says what can be known of it, nothing more, and Enter
// keeps it: an earlier version's copy whose recorded file disagrees with its own name, or lies
// in a folder that is not there (no check word covers an earlier form's path: a flipped bit
// there would put the system into another file), and this version's copy whose mark of its
// save is damaged. Nothing is written anywhere.
struct UntrustedStartCase {
  const char* name;
  const char* recorded;  // the earlier form's recorded file, beside the true one; empty: this version's copy
  const char* words;
  std::vector<std::string> buttons;
};

class UntrustedStartTest : public KeptCopyOfferTest, public ::testing::WithParamInterface<UntrustedStartCase> {};

TEST_P(UntrustedStartTest, IsOfferedForWhatIsKnownAndKeptOnEnter) {
  const UntrustedStartCase& c = GetParam();
  const std::string path = PathOf("show.ovd");
  const Bytes earlier = SaveSystem(path, 3, "Earlier");
  const Bytes later = SaveSystem(PathOf("later.ovd"), 4, "Later");
  if (*c.recorded) {
    // A copy of the first form: mark, the path's length, the path, the bytes' length, the bytes
    // and their word taken a byte at a time.
    const std::string recorded = PathOf(c.recorded);
    Bytes copy = {'O', 'V', 'K', 'E', 'P', 'T', '0', '1'};
    auto put = [&copy](std::uint64_t word, int bytes) {
      for (int i = 0; i < bytes; ++i) copy.push_back(std::uint8_t(word >> (8 * i)));
    };
    put(recorded.size(), 4);
    copy.insert(copy.end(), recorded.begin(), recorded.end());
    put(earlier.size(), 8);
    copy.insert(copy.end(), earlier.begin(), earlier.end());
    std::uint64_t word = 0xCBF29CE484222325ull;
    for (const std::uint8_t b : earlier) word = (word ^ b) * 0x100000001B3ull;
    put(word, 8);
    WriteByHand(GetKeptCopyFolder() + "show.ovd.Old123.kept", copy);
    WriteByHand(path, Bytes(earlier.begin(), earlier.begin() + 100));  // torn
  } else {
    LeaveASaveKilledAfterItsFlush(path, later);
    std::fstream file(FindKeptCopies(path).at(0).copy, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(-1, std::ios::end);
    file.put('X');
  }
  const Bytes before = BytesOf(path);
  const std::size_t entries = std::size_t(std::distance(std::filesystem::directory_iterator(temp.path().toStdString()),
                                                        std::filesystem::directory_iterator()));
  CFrameUnderTest& f = MakeFrame();
  prompts.choiceAnswers = {CFakePrompts::kEnter};
  f.KeptCopies().OfferKeptCopies();
  ASSERT_EQ(prompts.choices.size(), 1u);
  const std::string& text = prompts.choices[0].text;
  EXPECT_NE(text.find(c.words), std::string::npos) << text;
  EXPECT_EQ(text.find("earlier version) does not tell"), std::string::npos) << text;
  EXPECT_EQ(prompts.choices[0].buttons, c.buttons);
  EXPECT_EQ(prompts.choices[0].defaultButton, "Keep");
  EXPECT_EQ(BytesOf(path), before);
  EXPECT_EQ(std::size_t(std::distance(std::filesystem::directory_iterator(temp.path().toStdString()),
                                      std::filesystem::directory_iterator())),
            entries);
  EXPECT_EQ(FindKeptCopies().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Starts, UntrustedStartTest,
    ::testing::Values(
        UntrustedStartCase{"EarlierFormNamingAnotherFile", "Show.ovd", ", which is not the file its own name gives",
                           {"Save As...", "Delete", "Keep"}},
        UntrustedStartCase{"EarlierFormInAFolderNotThere", "gone/show.ovd", ", in a folder that is not there",
                           {"Save As...", "Delete", "Keep"}},
        UntrustedStartCase{"MarkOfItsSaveDamaged", "",
                           "but the copy's mark of how that save ended is damaged (or a later version's), so whether "
                           "it wrote the file whole is not known. The file opens",
                           {"Put Back", "Save As...", "Delete", "Keep"}}),
    [](const ::testing::TestParamInfo<UntrustedStartCase>& info) { return std::string(info.param.name); });
