// The preset actions of a processor: their questions, asked before an action is handed in,
// their confirmations, model changes and exact frames, online and offline, and store and
// recall against the simulated unit.
#include "core/comms/CommsWorker.h"
#include "core/support/SystemMessages.h"
#include "tests/devices/processor/ProcessorTestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <functional>

#include "devices/processor/NerexChange.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexParamIds.h"
#include "panels/processor/NerexPresetUi.h"
#include "platform/Sync.h"
#include "tests/support/ProcessorBus.h"
#include "tests/support/ReadWhileAsked.h"
#include "tests/support/RecordingUi.h"

namespace {

// A Fennick panel with a preset list and the questions the actions ask.
class CPresetPanel : public CRecordingNerexPanel, public INerexPresetQuestions {
 public:
  int GetPresetSelection() const override { return selection; }
  bool AskPresetName(const std::string& caption, std::string& name) override {
    calls.push_back("AskPresetName " + caption + " " + name);
    WhileAsked();
    if (!nameOk) return false;
    name = enteredName;
    return true;
  }
  bool AskPresetFile(bool, std::string& path) override {
    WhileAsked();
    path = filePath;
    return !filePath.empty();
  }
  void ShowPresetFileError(const std::string& message) override { calls.push_back("Error " + message); }
  bool EditTimedPresets(TimedPresetEntry* entries, int count) override {
    calls.push_back("EditTimedPresets");
    WhileAsked();
    if (!timedOk) return false;
    std::copy(timed.begin(), timed.end(), entries);
    return count == kNerexTimedPresets;
  }
  void OpenPresetManager() override {
    calls.push_back("OpenPresetManager");
    WhileAsked();
    if (whileManagerOpen) whileManagerOpen();
  }
  void WhileAsked() {
    if (whileAsked) whileAsked();
  }
  void SetLcdText(const std::string& text) override { lcd = text; }

  int selection = 0;
  bool nameOk = true;
  std::string enteredName = "Stage";
  std::string filePath;
  bool timedOk = true;
  std::array<TimedPresetEntry, kNerexTimedPresets> timed{};
  std::string lcd;
  // Runs while the preset manager would be open (its window's own event loop).
  std::function<void()> whileManagerOpen;
  // Runs while any question of the panel would be open (its dialog's own event loop).
  std::function<void()> whileAsked;
};

// What the preset manager's rows and boxes hold when one of its buttons is pressed.
struct CPresetDialog {
  int row = 0;
  std::uint32_t store = 0;
  std::uint32_t recall = kSectionAll;
  std::string name;
};

Bytes Raw(const Bytes& frame, int n) {
  Bytes raw(static_cast<std::size_t>(n), 0);
  Unpack7Bit(frame.data() + 7, n, raw.data());
  return raw;
}

class NerexPresetActionsTest : public ProcessorDeviceTest {
 protected:
  // The system lets go of the question box before it goes.
  ~NerexPresetActionsTest() override { m_system.SetUiServices(nullptr); }
  void TearDown() override {
    if (m_device) m_device->SetControlPanel(nullptr);
  }
  // Online: the port open and the unit connected; offline: the port closed.
  CNerexSeriesDevice& Ready(int model, bool online) {
    CNerexSeriesDevice& d = Make(model);
    if (online) {
      OpenPort();
      Connect();
    }
    d.SetControlPanel(&panel);
    m_confirmUi.SetConfirmPrompt(&answer);
    m_system.SetUiServices(&m_confirmUi);
    return d;
  }
  // A button of the panel: its questions through the panel, then the action with the answers.
  void Act(int id) { HandPresetAction(*m_device, panel, id); }
  // A button of the preset manager: its confirmation, then the action with the dialog's rows
  // and boxes as the answer.
  void DialogAct(int id) {
    CNerexPresetAnswer a;
    a.row = dialog.row;
    a.storeMask = dialog.store;
    a.recallMask = dialog.recall;
    a.name = dialog.name;
    ConfirmAndApplyUserChange(*m_device, CParamValue(id, 0.0f, ParamKind::kNone), a);
  }
  std::vector<std::uint32_t> Commands() const {
    std::vector<std::uint32_t> out;
    for (const Bytes& f : Queued()) out.push_back(f[6]);
    return out;
  }
  CNerexSeriesMemory& Preset(int n) { return *WritablePresets(*m_device)[std::size_t(n) - 1]; }
  void Fill(int n, const std::string& name, std::uint32_t flags = kSectionInputs | kSectionOutputs) {
    Preset(n).sectionFlags = flags;
    Preset(n).name = name;
  }

  CPresetPanel panel;
  CPresetDialog dialog;
  CAnswer answer;
  CRecordingUi m_confirmUi;  // asks answer; the posts stay with m_sink
};

TEST_F(NerexPresetActionsTest, FennickStoreSendsTwoBlocksAndTheNameAndAsksOnlyOverAStoredMemory) {
  CNerexSeriesDevice& d = Ready(16, true);
  WritableSettings(d).inputs.gains[0] = 33;
  panel.selection = 1;
  Act(420);
  EXPECT_EQ(answer.asked, 0);
  EXPECT_EQ(Preset(2).sectionFlags, 3u);
  EXPECT_EQ(Preset(2).name, "Stage");
  EXPECT_EQ(Preset(2).inputs.gains[0], 33);
  ASSERT_EQ(Commands(), (std::vector<std::uint32_t>{26, 31, 28}));
  const auto q = Queued();
  EXPECT_EQ(Raw(q[0], 2), (Bytes{2, 0x80}));
  EXPECT_EQ(Raw(q[1], 2), (Bytes{2, 0x43}));
  EXPECT_EQ(q[2].size(), 28u);
  EXPECT_EQ(Raw(q[2], 17), (Bytes{2, 'S', 't', 'a', 'g', 'e', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '}));
  EXPECT_EQ(Posted(FrameMsg::kStatusEvent, kNerexStatusPresets), 1u);

  // Over a stored memory the overwrite is asked; declining keeps the memory.
  d.Queue().ClearQueue();
  WritableSettings(d).inputs.gains[0] = 44;
  answer.ok = false;
  panel.enteredName = "Other";
  Act(420);
  EXPECT_EQ(answer.asked, 1);
  EXPECT_EQ(Preset(2).name, "Stage");
  EXPECT_EQ(Preset(2).inputs.gains[0], 33);
  EXPECT_TRUE(Queued().empty());
  EXPECT_TRUE(m_system.IsModified());
}

TEST_F(NerexPresetActionsTest, ARenamedMemoryKeepsTheSixteenCharactersTheUnitKeeps) {
  Ready(16, true);
  Fill(1, "Old");
  panel.enteredName = "Main Room Evening Show";
  Act(423);
  EXPECT_EQ(Preset(1).name, "Main Room Evenin");
  ASSERT_EQ(Commands(), (std::vector<std::uint32_t>{28}));
  EXPECT_EQ(Raw(Queued()[0], 17)[16], 'n');
}

// A memory's name as the program keeps it, and the name field of the frame that a store sends:
// one byte for each character, so that what the unit's reply gave comes back to it as it was.
struct MemoryNameCase {
  const char* name;
  const char* kept;   // the memory's name in the file (UTF-8)
  const char* field;  // the 16 bytes of the frame's name field
  const char* held;   // the name as the program keeps it (MemoryNameAsKept), and reads back
};

class NerexMemoryNameTest : public NerexPresetActionsTest, public ::testing::WithParamInterface<MemoryNameCase> {};

TEST_P(NerexMemoryNameTest, AStoreSendsOneByteForEachCharacterAndTheUnitsReplyReadsBackTheName) {
  const MemoryNameCase& c = GetParam();
  Ready(121, true);
  Fill(2, c.kept);
  dialog.row = 1;
  dialog.store = kSectionInputs;
  DialogAct(497);
  const auto q = Queued();
  ASSERT_FALSE(q.empty());
  ASSERT_EQ(q.back()[6], 28);
  const Bytes raw = Raw(q.back(), 17);
  EXPECT_EQ(raw[0], 2);
  EXPECT_EQ(std::string(raw.begin() + 1, raw.end()), std::string(c.field, 16));
  EXPECT_EQ(MemoryNameAsKept(c.kept), c.held);
  EXPECT_EQ(MemoryNameFromBytes(raw.data() + 1, 16), c.held);
}

INSTANTIATE_TEST_SUITE_P(
    Names, NerexMemoryNameTest,
    ::testing::Values(MemoryNameCase{"Ascii", "Evening", "Evening         ", "Evening"},
                      MemoryNameCase{"OneByteCharacters", "Caf\xC3\xA9 B\xC3\xBChne", "Caf\xE9 B\xFChne      ",
                                     "Caf\xC3\xA9 B\xC3\xBChne"},
                      MemoryNameCase{"BeyondOneByte", "Show \xE6\x97\xA5\xE2\x82\xAC", "Show ??         ", "Show ??"},
                      MemoryNameCase{"ControlCharacters", "Pad\tA\nB", "Pad A B         ", "Pad A B"},
                      MemoryNameCase{"LongWithBlanks", "  Main Room Evening Show", "Main Room Evenin",
                                     "Main Room Evenin"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(NerexPresetActionsTest, ASelectionBeyondTheListOrAnEmptyMemoryDoesNothing) {
  Ready(16, true);
  panel.selection = 500;
  for (int id : {420, 421, 423, 427}) Act(id);
  panel.selection = 3;  // empty
  for (int id : {421, 423}) Act(id);
  EXPECT_TRUE(Queued().empty());
  EXPECT_EQ(answer.asked, 0);
}

TEST_F(NerexPresetActionsTest, FennickRecallOnlineAsksTheUnitAndOfflineCopiesAtOnce) {
  CNerexSeriesDevice& d = Ready(16, true);
  Fill(3, "Three");
  Preset(3).inputs.gains[1] = -50;
  panel.selection = 2;
  Act(421);
  ASSERT_EQ(Commands(), (std::vector<std::uint32_t>{27, 79}));
  EXPECT_EQ(Raw(Queued()[0], 3), (Bytes{3, 0, 3}));
  EXPECT_EQ(Queued()[1].size(), 8u);
  EXPECT_NE(d.GetCurrentSettings().inputs.gains[1], -50);

  m_system.GetComms().GetTransport().Close();  // offline
  Make(16);
  m_device->SetControlPanel(&panel);
  Fill(3, "Three");
  Preset(3).inputs.gains[1] = -50;
  Act(421);
  EXPECT_EQ(m_device->GetCurrentSettings().inputs.gains[1], -50);
  EXPECT_EQ(m_device->GetCurrentSettings().name, "Three");
  EXPECT_EQ(m_device->GetGeneralSettings().GetCurrentPreset(), 3);
  EXPECT_NE(std::find(panel.calls.begin(), panel.calls.end(), "UpdateAllControls"), panel.calls.end());
}

TEST_F(NerexPresetActionsTest, DeleteTurnsOffTheTimedEntriesThatRecallIt) {
  CNerexSeriesDevice& d = Ready(16, true);
  Fill(2, "Two");
  WritableTimedPresets(d)[0] = {2, 0x60, 0, 0, 7, 30};
  WritableTimedPresets(d)[3] = {2, 0, 5, 5, 8, 0};
  panel.selection = 1;
  Act(427);
  EXPECT_EQ(answer.asked, 1);
  EXPECT_EQ(Preset(2).sectionFlags, 0u);
  EXPECT_EQ(Preset(2).name, "");
  EXPECT_EQ(d.GetTimedPresets()[0].mode, 0);
  EXPECT_EQ(d.GetTimedPresets()[3], (TimedPresetEntry{2, 0, 5, 5, 8, 0}));
  ASSERT_EQ(Commands(), (std::vector<std::uint32_t>{30, 77}));
  EXPECT_EQ(Raw(Queued()[0], 1), Bytes{2});
  const Bytes timed = Raw(Queued()[1], 60);
  EXPECT_EQ(Bytes(timed.begin(), timed.begin() + 6), (Bytes{2, 0, 0, 0, 7, 30}));

  // A delete that touches no timed entry sends no table.
  d.Queue().ClearQueue();
  Act(427);
  EXPECT_EQ(Commands(), (std::vector<std::uint32_t>{30}));
}

TEST_F(NerexPresetActionsTest, TimedPresetsGoOutAsOneFrameOnlyWhenConfirmed) {
  CNerexSeriesDevice& d = Ready(16, true);
  Act(426);  // nothing stored: no dialog
  EXPECT_TRUE(panel.calls.empty());
  Fill(1, "One");
  panel.timed[0] = {3, 0x60, 0, 0, 7, 30};
  panel.timed[1] = {1, 0x80, 12, 24, 18, 0};
  panel.timedOk = false;
  Act(426);
  EXPECT_TRUE(Queued().empty());
  EXPECT_EQ(d.GetTimedPresets()[0], TimedPresetEntry{});
  panel.timedOk = true;
  Act(426);
  ASSERT_EQ(Commands(), (std::vector<std::uint32_t>{77}));
  const Bytes f = Queued()[0];
  EXPECT_EQ(f.size(), 77u);
  const Bytes raw = Raw(f, 60);
  EXPECT_EQ(Bytes(raw.begin(), raw.begin() + 12), (Bytes{3, 0x60, 0, 0, 7, 30, 1, 0x80, 12, 24, 18, 0}));
  EXPECT_EQ(std::count(raw.begin() + 12, raw.end(), 0), 48);
}

TEST_F(NerexPresetActionsTest, LcdNextAndPreviousWrapOverStoredMemories) {
  CNerexSeriesDevice& d = Ready(16, false);
  d.PanelView().SetSelectedPreset(5);
  Act(437);
  EXPECT_EQ(d.PanelView().GetSelectedPreset(), 5u);  // none stored
  EXPECT_EQ(panel.lcd, "No Presets");
  Fill(2, "Two");
  Fill(5, "Five");
  Act(437);
  EXPECT_EQ(d.PanelView().GetSelectedPreset(), 2u);
  EXPECT_EQ(panel.lcd, "2. Two");
  Act(438);
  EXPECT_EQ(d.PanelView().GetSelectedPreset(), 5u);
  Act(436);  // recall the selected one
  EXPECT_EQ(d.GetGeneralSettings().GetCurrentPreset(), 5);
  EXPECT_EQ(d.GetCurrentSettings().name, "Five");
  EXPECT_EQ(panel.lcd, "5. Five*");
  EXPECT_TRUE(Queued().empty());  // offline
}

// The flag bytes of a dialog store by the ticked sections, blocks in sending order.
struct StoreCase {
  std::uint32_t ticked;
  std::vector<std::pair<std::uint32_t, std::uint8_t>> blocks;
};

class NerexDialogStoreTest : public NerexPresetActionsTest, public ::testing::WithParamInterface<StoreCase> {};

TEST_P(NerexDialogStoreTest, BlocksCarryTheFlagRuleThenTheName) {
  const StoreCase& c = GetParam();
  Ready(121, true);
  Preset(4).name = "Four";
  dialog.row = 3;
  dialog.store = c.ticked;
  DialogAct(497);
  EXPECT_EQ(Preset(4).sectionFlags, c.ticked);
  const auto q = Queued();
  ASSERT_EQ(q.size(), c.blocks.size() + 1);
  for (std::size_t i = 0; i < c.blocks.size(); ++i) {
    EXPECT_EQ(q[i][6], c.blocks[i].first);
    EXPECT_EQ(Raw(q[i], 2), (Bytes{4, c.blocks[i].second})) << i;
  }
  EXPECT_EQ(q.back()[6], 28);
  EXPECT_EQ(Raw(q.back(), 5), (Bytes{4, 'F', 'o', 'u', 'r'}));
}

INSTANTIATE_TEST_SUITE_P(
    Sections, NerexDialogStoreTest,
    ::testing::Values(StoreCase{kSectionDeq, {{43, 0x08}}},
                      StoreCase{kSectionInputs | kSectionDeq, {{26, 0x80}, {43, 0x49}}},
                      StoreCase{kSectionGeq | kSectionOutputs, {{42, 0x80}, {31, 0x46}}},
                      StoreCase{kSectionInputs | kSectionGeq | kSectionDeq, {{26, 0x80}, {42, 0xC0}, {43, 0x4D}}},
                      StoreCase{kSectionAll, {{26, 0x80}, {42, 0xC0}, {31, 0xC0}, {43, 0x4F}}}));

// A store of no section is refused: the memory and the unit keep what they hold.
TEST_F(NerexPresetActionsTest, DialogStoreOfNoSectionLeavesTheMemory) {
  Ready(121, true);
  Fill(4, "Four", kSectionGeq);
  dialog.row = 3;
  dialog.store = 0;
  DialogAct(497);
  EXPECT_EQ(Preset(4).sectionFlags, std::uint32_t(kSectionGeq));
  EXPECT_EQ(answer.asked, 0);
  EXPECT_TRUE(Queued().empty());
}

// The LCD recall against the simulated unit: the unit recalls the inputs and outputs that the
// memory holds, and the app then shows the same settings.
struct LcdRecallCase {
  const char* name;
  std::uint32_t flags;
};

void PrintTo(const LcdRecallCase& c, std::ostream* os) { *os << c.name; }

class LcdRecallOnTheBusTest : public ::testing::TestWithParam<LcdRecallCase> {};

TEST_P(LcdRecallOnTheBusTest, TheAppShowsWhatTheUnitRuns) {
  CAnswer answer;
  CProcessorBus bus;
  CSimProcessorUnit* unit = bus.AddUnit(kModelNerex24, 3);
  CNerexSeriesMemory stored = unit->Current();
  stored.inputs.gains[0] = -200;
  stored.geq.bands[0][0] = 60;
  stored.name = "Show";
  stored.sectionFlags = GetParam().flags;
  unit->SetPreset(1, stored);
  CNerexSeriesMemory now = unit->Current();
  now.inputs.gains[0] = 50;
  now.geq.bands[0][0] = -30;
  unit->SetCurrent(now);
  CNerexSeriesDevice* d = bus.AddDevice(kModelNerex24, 3);
  bus.Frame().SetConfirmPrompt(&answer);
  ASSERT_TRUE(bus.StartAndReadOut(d));
  d->PanelView().SetSelectedPreset(1);
  ConfirmAndApplyUserChange(*d, CParamValue(436, 0.0f, ParamKind::kNone));
  ASSERT_TRUE(bus.WaitFor([&] { return unit->GeneralSettings()[7] == 1; }));
  const CNerexSeriesMemory running = unit->Current();
  CSingleLock lock(bus.System().GetLock());
  EXPECT_EQ(d->GetCurrentSettings().inputs.gains[0], running.inputs.gains[0]);
  EXPECT_EQ(d->GetCurrentSettings().geq.bands[0][0], running.geq.bands[0][0]);
  EXPECT_EQ(d->GetGeneralSettings().GetCurrentPreset(), 1);
}

INSTANTIATE_TEST_SUITE_P(Memories, LcdRecallOnTheBusTest,
                         ::testing::Values(LcdRecallCase{"GraphicEqOnly", kSectionGeq},
                                           LcdRecallCase{"InputsAndGraphicEq", kSectionInputs | kSectionGeq},
                                           LcdRecallCase{"InputsAndOutputs", kSectionInputs | kSectionOutputs}),
                         [](const ::testing::TestParamInfo<LcdRecallCase>& info) { return std::string(info.param.name); });

TEST_F(NerexPresetActionsTest, DialogRecallOfACrossoverRowSendsItsWireNumber) {
  CNerexSeriesDevice& d = Ready(120, true);
  ResizeXoverPresetList(WritableXoverPresets(d), 2);
  WritableXoverPresets(d)[0]->sectionFlags = kSectionOutputs;
  WritableXoverPresets(d)[0]->name = "Xover";
  WritableXoverPresets(d)[0]->outputs.highPass[0].frequency = 77;
  dialog.row = int(d.GetPresets().size());
  DialogAct(498);
  ASSERT_EQ(Commands(), (std::vector<std::uint32_t>{27}));
  const Bytes f = Queued()[0];
  EXPECT_EQ(Bytes(f.begin() + 7, f.begin() + 11), (Bytes{0x00, 0x01, 0x01, 0x02}));
  EXPECT_EQ(d.GetCurrentSettings().outputs.highPass[0].frequency, 77);
  EXPECT_EQ(d.GetCurrentSettings().name, "Xover");
}

TEST_F(NerexPresetActionsTest, DialogRecallWithOtherRoutingMutesEveryOutput) {
  CNerexSeriesDevice& d = Ready(120, true);
  Fill(1, "One", kSectionInputs);
  Preset(1).outputs.routingMasks[2] = 0x3;
  dialog.row = 0;
  dialog.recall = kSectionInputs | kSectionOutputs;
  DialogAct(498);
  EXPECT_EQ(answer.asked, 1);
  ASSERT_EQ(Commands(), (std::vector<std::uint32_t>{27}));
  EXPECT_EQ(Raw(Queued()[0], 3), (Bytes{1, 0, kSectionInputs}));
  EXPECT_EQ(d.GetCurrentSettings().outputs.muteMask, 0xFF);
  EXPECT_NE(d.GetCurrentSettings().outputs.routingMasks[2], 0x3);  // outputs were not recalled
  EXPECT_NE(std::count(panel.ids.begin(), panel.ids.end(), kParamOutputMute + 7), 0);
}

TEST_F(NerexPresetActionsTest, DialogNameAndClear) {
  Ready(116, true);
  Fill(2, "Two");
  dialog.row = 1;
  dialog.name = "Renamed";
  // Without the dialog's answer the same ids do nothing: there is no row to act on.
  for (int id = 497; id <= 500; ++id) m_device->Gate().ApplyUserChange(CParamValue(id, 0.0f, ParamKind::kNone));
  EXPECT_EQ(Preset(2).name, "Two");
  EXPECT_TRUE(Commands().empty());
  DialogAct(499);
  EXPECT_EQ(Preset(2).name, "Renamed");
  DialogAct(500);
  EXPECT_EQ(answer.asked, 1);
  EXPECT_EQ(Preset(2).sectionFlags, 0u);
  EXPECT_EQ(Commands(), (std::vector<std::uint32_t>{28, 30}));
  DialogAct(500);  // now empty: nothing
  EXPECT_EQ(Commands().size(), 2u);
  Act(495);
  EXPECT_EQ(panel.calls.back(), "OpenPresetManager");
}

// The preset manager stays open in its own event loop for as long as the person likes. Opening
// it changes no setting, so replies to reads are taken meanwhile: the unit's settings, names and
// read-out go on coming in.
TEST_F(NerexPresetActionsTest, RepliesAreTakenWhileThePresetManagerIsOpen) {
  CNerexSeriesDevice& d = Ready(116, true);
  ASSERT_TRUE(Queued().empty());
  bool overtaken = true;
  panel.whileManagerOpen = [&] {
    CControlMessage read;
    d.ReadGuard().StampRead(read);
    overtaken = d.ReadGuard().IsReadOvertaken(read);
  };
  Act(495);
  EXPECT_EQ(panel.calls.back(), "OpenPresetManager");
  EXPECT_FALSE(overtaken);
}

// Every question a preset action or a confirmed change asks waits in its dialog's own event
// loop for as long as the person likes. It is asked before the change goes in, so a read the
// worker asks meanwhile is not overtaken: its reply is taken. The action then takes effect.
struct QuestionCase {
  const char* name;
  int id;
  enum EWay { kPanel, kManager, kControl } way;
};

void PrintTo(const QuestionCase& c, std::ostream* os) { *os << c.name; }

class PresetQuestionTest : public NerexPresetActionsTest, public ::testing::WithParamInterface<QuestionCase> {};

TEST_P(PresetQuestionTest, RepliesToReadsAskedWhileItIsOpenAreTaken) {
  const QuestionCase& c = GetParam();
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  CNerexSeriesDevice& d = Ready(kModelNerex48, true);
  Fill(2, "Stage");
  panel.selection = 1;
  panel.filePath = dir.filePath("show.fnp").toStdString();
  panel.timed[0] = {2, 0x60, 0, 0, 7, 30};
  ASSERT_TRUE(d.SavePresetFile(panel.filePath, nullptr));
  d.PanelView().SetSelectedPreset(2);
  dialog.row = 1;
  dialog.store = kSectionInputs;
  dialog.name = "Renamed";
  CReadWhileAsked reads(d);
  panel.whileAsked = std::ref(reads);
  m_confirmUi.SetConfirmPrompt(&reads);

  switch (c.way) {
    case QuestionCase::kPanel: Act(c.id); break;
    case QuestionCase::kManager: DialogAct(c.id); break;
    case QuestionCase::kControl: ConfirmAndApplyUserChange(d, MakeBoolParamValue(c.id, true)); break;
  }
  EXPECT_GT(reads.asked, 0);
  EXPECT_FALSE(reads.overtaken) << "a read stamped while the question is open is overtaken";
  // Answered, the action went in: the manager opens, every other one queued its frames or
  // wrote its file.
  if (c.id == kPresetActionManager) {
    EXPECT_EQ(panel.calls.back(), "OpenPresetManager");
  } else if (c.id != kPresetActionSaveFile && c.id != kPresetActionLoadFile) {
    EXPECT_FALSE(Queued().empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Questions, PresetQuestionTest,
    ::testing::Values(QuestionCase{"Store", kPresetActionStore, QuestionCase::kPanel},
                      QuestionCase{"Recall", kPresetActionRecall, QuestionCase::kPanel},
                      QuestionCase{"Rename", kPresetActionRename, QuestionCase::kPanel},
                      QuestionCase{"SaveFile", kPresetActionSaveFile, QuestionCase::kPanel},
                      QuestionCase{"LoadFile", kPresetActionLoadFile, QuestionCase::kPanel},
                      QuestionCase{"TimedPresets", kPresetActionTimed, QuestionCase::kPanel},
                      QuestionCase{"Delete", kPresetActionDelete, QuestionCase::kPanel},
                      QuestionCase{"LcdRecall", kPresetActionLcdRecall, QuestionCase::kPanel},
                      QuestionCase{"PresetManager", kPresetActionManager, QuestionCase::kPanel},
                      QuestionCase{"ManagerStore", kPresetActionDialogStore, QuestionCase::kManager},
                      QuestionCase{"ManagerRecall", kPresetActionDialogRecall, QuestionCase::kManager},
                      QuestionCase{"ManagerClear", kPresetActionDialogClear, QuestionCase::kManager},
                      QuestionCase{"Routing", kParamMatrixRouting + 5, QuestionCase::kControl},
                      QuestionCase{"MixingMode", kParamMixerOn, QuestionCase::kControl},
                      QuestionCase{"FlattenGraphicEq", kParamGeqFlatten + 1, QuestionCase::kControl}),
    [](const ::testing::TestParamInfo<QuestionCase>& info) { return std::string(info.param.name); });

// A change that asks a confirmation is made only when the person confirms it: declined, or
// handed in without the question, it changes nothing and sends nothing; a value a link hands
// on needs none, as the person confirmed it at the member they changed.
TEST_F(NerexPresetActionsTest, AConfirmedChangeIsMadeOnlyWhenConfirmed) {
  CNerexSeriesDevice& d = Ready(kModelNerex48, true);
  const CParamValue routing = MakeBoolParamValue(kParamMatrixRouting + 5, true);
  const std::uint8_t before = d.GetCurrentSettings().outputs.routingMasks[1];
  answer.ok = false;
  EXPECT_FALSE(ConfirmAndApplyUserChange(d, routing));
  EXPECT_EQ(answer.asked, 1);
  EXPECT_FALSE(d.Gate().ApplyUserChange(routing));
  EXPECT_EQ(answer.asked, 1);
  EXPECT_EQ(d.GetCurrentSettings().outputs.routingMasks[1], before);
  EXPECT_TRUE(Queued().empty());
  answer.ok = true;
  EXPECT_TRUE(ConfirmAndApplyUserChange(d, routing));
  EXPECT_EQ(answer.asked, 2);
  EXPECT_NE(d.GetCurrentSettings().outputs.routingMasks[1], before);
  EXPECT_FALSE(Queued().empty());
}

TEST_F(NerexPresetActionsTest, PresetFileActionsSaveLoadAndRefuseADamagedFile) {
  QTemporaryDir dir;
  CNerexSeriesDevice& d = Ready(16, false);
  WritableSettings(d).inputs.gains[2] = 12;
  panel.filePath = dir.filePath("a.fnp").toStdString();
  Act(424);
  WritableSettings(d).inputs.gains[2] = 0;
  Act(425);
  EXPECT_EQ(d.GetCurrentSettings().inputs.gains[2], 12);
  EXPECT_TRUE(Queued().empty());  // offline: nothing is sent

  QFile damaged(dir.filePath("bad.fnp"));
  ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
  damaged.write("\x05\x00\x00\x00garbage", 11);
  damaged.close();
  const CNerexSeriesMemory before = d.GetCurrentSettings();
  panel.filePath = dir.filePath("bad.fnp").toStdString();
  Act(425);
  EXPECT_EQ(d.GetCurrentSettings(), before);
  ASSERT_FALSE(panel.calls.empty());
  EXPECT_EQ(panel.calls.back().rfind("Error ", 0), 0u);
}

// --- Against the simulated unit ---

TEST(NerexPresetBus, StoreThenRecallReachTheUnit) {
  CPresetPanel panel;
  CNerexSeriesDevice* device = nullptr;
  CheckFennickStoreAndRecallOnTheBus(
      [&](CNerexSeriesDevice& d) {
        device = &d;
        d.SetControlPanel(&panel);
      },
      [&](int row) { panel.selection = row; },
      [&](int id) { HandPresetAction(*device, panel, id); },
      [&] {
        if (device) device->SetControlPanel(nullptr);
      });
}

}  // namespace
