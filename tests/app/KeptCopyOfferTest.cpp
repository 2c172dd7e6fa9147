// The copies of earlier bytes that saves cut short kept, as the frame offers them back: made by
// the real writer in processes killed at their steps, answered through scripted prompts and
// through the real message box.
#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QMessageBox>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "core/model/Device.h"
#include "core/system/System.h"
#include "core/system/Zone.h"
#include "platform/Archive.h"
#include "tests/app/FrameFixture.h"
#include "tests/support/FileTestDevices.h"

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
  return probe.OpenFile(path);
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

  // The bytes of a system of count devices named name, saved at path.
  static Bytes SaveSystem(const std::string& path, int count, const std::string& name) {
    CSystem system;
    for (int i = 0; i < count; ++i) {
      CDevice* device = system.CreateDevice(std::uint32_t(i + 1), CFileTestDevice::kPlainType, 0);
      device->SetName(name);
      system.AppendDevice(device);
      system.GetZones()[0]->AppendDevice(device);
    }
    EXPECT_TRUE(system.SaveFile(path));
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

  // What the copy's check word covers starts after the mark, the path's length, the path and
  // the bytes' length.
  static void FlipABitOfTheEarlierBytes(const CKeptCopy& kept, std::uint64_t at) {
    std::fstream file(kept.copy, std::ios::in | std::ios::out | std::ios::binary);
    const auto offset = std::streamoff(8 + 4 + kept.file.size() + 8 + at);
    file.seekg(offset);
    const char c = char(file.get() ^ 0x04);
    file.seekp(offset);
    file.put(c);
  }

  std::string DeviceName(int i) { return frame->GetSystem().GetDevice(i)->GetName(); }
};

}  // namespace

// A save in place of a system file, killed before each of its steps: at the next start its kept
// copy is offered as the file now is. A file that does not open has Put Back on Enter, which
// brings its earlier system back; one that opens whole, saved after the copy was made, is said
// to be so and has Keep on Enter, which leaves that save as it is and the copy set aside.
TEST_F(KeptCopyOfferTest, ASaveInPlaceKilledAtEachStepIsOfferedAsItsFileNowIs) {
  const std::string path = PathOf("show.ovd");
  const Bytes later = SaveSystem(PathOf("later.ovd"), 4000, "Later");
  const Bytes earlier = SaveSystem(path, 3000, "Earlier");
  ASSERT_EQ(::link(path.c_str(), PathOf("show2.ovd").c_str()), 0);
  ASSERT_GT(later.size(), 3 * 65536u);  // written in several pieces
  int whole = 0, torn = 0, step = 1;
  for (; step < 200; ++step) {
    SCOPED_TRACE(step);
    const bool killed = SaveInAnotherProcess(path, later, step) < 0;
    if (!killed) break;
    if (FindKeptCopies(path).empty()) continue;
    const bool opens = Opens(path);
    const Bytes left = BytesOf(path);
    CFrameUnderTest& f = MakeFrame();
    prompts.choices.clear();
    prompts.choiceAnswers = {CFakePrompts::kEnter};
    f.OfferKeptCopies();
    ASSERT_EQ(prompts.choices.size(), 1u);
    const CFakePrompts::Choice& asked = prompts.choices[0];
    if (opens) {
      ++whole;
      EXPECT_EQ(left, later);
      EXPECT_NE(asked.text.find("A save of " + path + " did not finish, but the file opens whole and was saved at "),
                std::string::npos)
          << asked.text;
      EXPECT_EQ(asked.defaultButton, "Keep");
      EXPECT_EQ(BytesOf(path), later);
      ASSERT_EQ(FindKeptCopies(path).size(), 1u);
      EXPECT_TRUE(FindKeptCopies(path)[0].setAside);
    } else {
      ++torn;
      EXPECT_NE(asked.text.find("which does not open now"), std::string::npos) << asked.text;
      EXPECT_EQ(asked.defaultButton, "Put Back");
      EXPECT_EQ(BytesOf(path), earlier);
      EXPECT_TRUE(FindKeptCopies().empty());
    }
    EXPECT_EQ(asked.buttons, (std::vector<std::string>{"Put Back", "Save As...", "Delete", "Keep"}));
    frame.reset();
    for (const CKeptCopy& kept : FindKeptCopies()) DiscardKeptCopy(kept);
    ASSERT_TRUE(WriteFileAtomically(path, earlier, nullptr));
  }
  EXPECT_GT(whole, 0);
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
  f.OfferKeptCopies();  // Escape: Keep
  ASSERT_EQ(prompts.choices.size(), 1u);
  const Bytes another = SaveSystem(PathOf("another.ovd"), 2, "Another");
  ASSERT_GT(SaveInAnotherProcess(path, another), 0);
  std::vector<CKeptCopy> kept = FindKeptCopies(path);
  ASSERT_EQ(kept.size(), 1u);

  ASSERT_TRUE(f.OpenFilePath(path));
  EXPECT_EQ(prompts.choices.size(), 1u);  // not asked again
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_NE(prompts.messages[0].text.find("A copy of " + path +
                                          " as it was before a save that did not finish is kept in\n" + kept[0].copy),
            std::string::npos)
      << prompts.messages[0].text;
  EXPECT_EQ(DeviceName(0), "Another");
  EXPECT_EQ(FindKeptCopies(path).size(), 1u);
  f.GetSystem().SetModified(true);
  ASSERT_TRUE(f.OnFileSave());
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
  f.OfferKeptCopies();
  f.OfferKeptCopies();
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
  f.OfferKeptCopies();  // Escape: Keep
  ASSERT_EQ(prompts.choices.size(), 1u);
  EXPECT_NE(prompts.choices[0].text.find("A save of " + path + " did not finish, and the folder " + PathOf("gone") +
                                         " is no longer there to put the file back in."),
            std::string::npos)
      << prompts.choices[0].text;
  EXPECT_EQ(prompts.choices[0].buttons, (std::vector<std::string>{"Save As...", "Delete", "Keep"}));
  EXPECT_EQ(prompts.choices[0].defaultButton, "Save As...");

  prompts.choiceAnswers = {CFakePrompts::kEnter};
  prompts.paths = {PathOf("back.ovd")};
  EXPECT_FALSE(f.OpenFilePath(copy));
  ASSERT_EQ(prompts.choices.size(), 2u);
  EXPECT_EQ(prompts.choices[1].text, prompts.choices[0].text);
  EXPECT_TRUE(FindKeptCopies().empty());
  ASSERT_TRUE(f.OpenFilePath(PathOf("back.ovd")));
  EXPECT_EQ(f.GetSystem().GetDeviceCount(), 3);
  EXPECT_EQ(DeviceName(0), "Earlier");
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
  f.OfferKeptCopies();
  watch.stop();
  ASSERT_EQ(shown.size(), 2u);
  const QStringList buttons{"Delete", "Keep", "Put Back", "Save As..."};
  EXPECT_EQ(shown["whole"].first, buttons);
  EXPECT_EQ(shown["whole"].second, "Keep");
  EXPECT_EQ(shown["torn"].second, "Put Back");
  EXPECT_EQ(BytesOf(whole), later);
  EXPECT_EQ(BytesOf(torn), earlier);
  const std::vector<CKeptCopy> left = FindKeptCopies();
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].file, whole);
  EXPECT_TRUE(left[0].setAside);
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
  f.OfferKeptCopies();
  ASSERT_EQ(prompts.questions.size(), 1u);
  EXPECT_EQ(prompts.questions[0].text, "taken.ovd already exists.\nDo you want to replace it?");
  EXPECT_EQ(BytesOf(PathOf("taken.ovd")), taken);
  ASSERT_EQ(prompts.saveSpecs.size(), 2u);
  EXPECT_EQ(prompts.saveSpecs[0].defaultExtension, "ovd");
  EXPECT_EQ(prompts.saveSpecs[0].initialName, "show.ovd");
  EXPECT_FALSE(std::filesystem::exists(PathOf("taken")));
  EXPECT_FALSE(std::filesystem::exists(PathOf("back")));
  EXPECT_TRUE(FindKeptCopies().empty());
  ASSERT_TRUE(f.OpenFilePath(PathOf("back.ovd")));
  EXPECT_EQ(f.GetSystem().GetDeviceCount(), 3);
  EXPECT_EQ(DeviceName(0), "Earlier");
}
