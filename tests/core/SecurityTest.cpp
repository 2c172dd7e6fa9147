// The device security passes against the simulated bus: units with and without security, known
// and unknown passwords, groups with equal and different user lists, the import of a secured
// network's users, refusals, the set pass, and the bounded waits on the security dialog.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "core/model/DeviceTexts.h"
#include "core/comms/CommsWorker.h"
#include "core/model/Device.h"
#include "core/comms/Security.h"
#include "core/comms/SecurityDialog.h"
#include "core/support/SystemMessages.h"
#include "devices/amplifier/PannexDevice.h"
#include "devices/amplifier/ZelBaseDevice.h"
#include "devices/amplifier/ZelSeriesDevice.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "platform/Clock.h"
#include "tests/core/BusHarness.h"
#include "tests/support/ModelChanges.h"
#include "tests/support/RecordingFrame.h"
#include "tests/support/SecureUnits.h"
#include "tests/support/TestClock.h"
#include "tools/devsim/SimProcessor.h"
#include "tools/devsim/SimSecurityUnit.h"

namespace {

using Users = std::vector<std::pair<std::string, std::string>>;

// Whether the request asks the person something (not a progress line or count).
bool IsQuestion(WPARAM kind) {
  return kind == kSecurityAskPasswords || kind == kSecurityAskImport || kind == kSecurityAskImportPassword;
}

// The security dialog as the worker sees it: takes every request at once, noting when on the
// program's clock, and answers the questions from a script; with the script used up a question
// stays unanswered.
class CScriptedSecurityDialog : public IMessageSink {
 public:
  struct Answer {
    std::int32_t answer;
    std::string password;
  };

  ~CScriptedSecurityDialog() override {
    std::vector<std::shared_ptr<CSecurityDialogLink>> links;
    {
      std::lock_guard<std::recursive_mutex> lock(m_mutex);
      links = m_links;
    }
    for (auto& link : links) link->Close();
  }

  // A new dialog window for one pass.
  std::shared_ptr<CSecurityDialogLink> Open() {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_links.push_back(std::make_shared<CSecurityDialogLink>(this));
    return m_links.back();
  }

  bool Post(CPostedMessage message) override {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (message.message != FrameMsg::kSecurityProgress || m_links.empty()) return true;
    CSecurityDialogLink& link = *m_links.back();
    CSecurityRequest request;
    if (!link.TakeRequest(request)) return true;
    m_requests.push_back(request);
    m_takenAtUs.push_back(ClockMicroseconds());
    if (IsQuestion(request.kind) && !m_script.empty()) {
      link.SetPasswordText(m_script.front().password);
      link.SetAnswer(m_script.front().answer);
      m_script.erase(m_script.begin());
    }
    return true;
  }

  void Script(std::vector<Answer> answers) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_script = std::move(answers);
  }
  std::vector<CSecurityRequest> Requests() const {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_requests;
  }
  // When each of Requests() was taken, on the program's clock.
  std::vector<std::int64_t> TakenAtUs() const {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_takenAtUs;
  }
  std::vector<std::string> ProgressLines() const {
    std::vector<std::string> out;
    for (const auto& r : Requests())
      if (r.kind == kSecurityProgressLine) out.push_back(r.text);
    return out;
  }
  std::vector<CSecurityRequest> Questions() const {
    std::vector<CSecurityRequest> out;
    for (const auto& r : Requests())
      if (IsQuestion(r.kind)) out.push_back(r);
    return out;
  }
  std::size_t PassCount() const {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_links.size();
  }
  // Answers the question that the dialog of the nth pass shows now, as a person does.
  void AnswerNow(std::size_t n, std::int32_t answer, const std::string& password) {
    std::shared_ptr<CSecurityDialogLink> link;
    {
      std::lock_guard<std::recursive_mutex> lock(m_mutex);
      if (m_links.size() < n) return;
      link = m_links[n - 1];
    }
    link->SetPasswordText(password);
    link->SetAnswer(answer);
  }
  bool PassFinished(std::size_t n) const {
    std::shared_ptr<CSecurityDialogLink> link;
    {
      // Not held while the link is asked: the worker holds the link's lock when it posts here.
      std::lock_guard<std::recursive_mutex> lock(m_mutex);
      if (m_links.size() < n) return false;
      link = m_links[n - 1];
    }
    return link->IsFinished();
  }

 private:
  mutable std::recursive_mutex m_mutex;
  std::vector<std::shared_ptr<CSecurityDialogLink>> m_links;
  std::vector<Answer> m_script;
  std::vector<CSecurityRequest> m_requests;
  std::vector<std::int64_t> m_takenAtUs;
};

// The main frame: records everything and opens the scripted dialog on FrameMsg::kOpenSecurityDlg (unless the
// test has no dialog).
class CSecurityFrame : public CTestFrame {
 public:
  bool Post(CPostedMessage message) override {
    if (message.message == FrameMsg::kOpenSecurityDlg && dialog && system)
      system->GetComms().Security().SetDialog(dialog->Open());
    return CTestFrame::Post(std::move(message));
  }
  CSystem* system = nullptr;
  CScriptedSecurityDialog* dialog = nullptr;
};

class SecurityTest : public ::testing::Test {
 protected:
  SecurityTest() {
    system.GetComms().GetTransport().SetPort(std::make_unique<CMemorySerialPort>(line));
    system.GetComms().Security().SetTimingsForTests(QuickSecurityTimings());
    // Reads follow what the units send, not the machine's speed.
    bus.SetSilenceEndsReads(true);
    system.GetComms().GetTransport().SetExtraTimeout(kLongReadWaitMs);
    frame.system = &system;
    frame.dialog = &dialog;
  }
  ~SecurityTest() override {
    system.GetComms().StopCommsThread();
    bus.Stop();
  }

  // A Zel amplifier (type 51) or a Sornic amplifier (type 60) with its simulated unit.
  CSimSecurityUnit* AddSecureUnit(std::uint8_t type, std::uint32_t id, const std::string& name, const Users& users) {
    return ::AddSecureUnit(bus, system, &frame, type, id, name, users);
  }
  // A Fennick processor (model 16 or 17) whose unit holds the users; the device takes the
  // unit's name, "Sim Processor", from its security check.
  CSimProcessorUnit* AddFennick(int model, std::uint8_t id, const Users& users) {
    CSimProcessorUnit* unit = bus.Add<CSimProcessorUnit>(model, id);
    CUserList held;
    for (const auto& [user, password] : users) held.push_back(new CUser(user, password));
    CUserTable table{};
    PackUserTable(held, table);
    DeleteAllUsers(held);
    unit->SetSecurityBlock(table);
    system.AppendDevice(CreateNerexSeriesDevice(&system, &frame, std::uint32_t(model), id, 0));
    return unit;
  }
  static Users HeldBy(const CSimProcessorUnit& unit) {
    CUserList held;
    UnpackUserTable(held, unit.SecurityBlock());
    Users out;
    for (const CUser* user : held) out.emplace_back(user->GetName(), user->GetPassword());
    DeleteAllUsers(held);
    return out;
  }
  // A Zel amplifier that nothing on the bus answers.
  CDevice* AddUnreachable(std::uint32_t id, const std::string& name) {
    auto* zel = new CZelSeriesDevice(&system, &frame, 51, id);
    zel->Initialise();
    NameDevice(zel, name);
    system.AppendDevice(zel);
    return zel;
  }
  // A Pannex module: its family reads and writes no security data.
  CDevice* AddUnsecuredFamily(std::uint32_t id, const std::string& name) {
    auto* pannex = new CPannexDevice(&system, &frame, 49, id);
    pannex->Initialise();
    NameDevice(pannex, name);
    system.AppendDevice(pannex);
    return pannex;
  }
  void SetSystemUsers(const Users& users, bool useSystemSecurity) {
    system.Users().DeleteAllUsers();
    for (const auto& [name, password] : users) system.Users().GetUsers().push_back(new CUser(name, password));
    system.Users().SetUseSystemSecurity(useSystemSecurity);
  }
  // Goes online as the Online command does (security first) and waits for the first pass.
  void GoOnlineAndRunPass() {
    bus.Start();
    system.Start(&frame);
    system.GetComms().SetNeedSecurityGet(true);
    ASSERT_TRUE(system.GoOnline(0));
    ASSERT_TRUE(WaitFor([&] { return dialog.PassFinished(1); }));
  }
  CDevice* Device(int i) { return system.GetDevice(i); }
  // Refused units are examined again as soon as they answer.
  void ExamineRefusedUnitsAtOnce() {
    CSecurityTimings timings = system.GetComms().Security().GetTimings();
    timings.refusedHoldOffMs = 0;
    system.GetComms().Security().SetTimingsForTests(timings);
  }

  CScriptedSecurityDialog dialog;  // outlives the system, whose worker may still hold its link
  std::shared_ptr<CSerialLine> line = std::make_shared<CSerialLine>();
  CSimBus bus{std::make_unique<CLineWire>(line)};
  CSecurityFrame frame;
  CSystem system;
};

std::vector<std::string> Names(const CSecurityRequest& r) { return r.deviceNames; }

}  // namespace

// --- Groups ---

TEST(SecurityGroups, EqualUserListsGroupTogetherInListOrderAndKindsNeverMix) {
  using Kind = CDeviceSecurityRecord::Kind;
  auto make = [](int tag, Kind kind, const Users& users) {
    auto r = std::make_unique<CDeviceSecurityRecord>(reinterpret_cast<CDevice*>(std::uintptr_t(tag)), kind);
    for (const auto& [n, p] : users) r->users.push_back(new CUser(n, p));
    return r;
  };
  CSecurityGroup records;
  records.push_back(make(1, Kind::kUserList, {{"Admin", "a"}}));
  records.push_back(make(2, Kind::kNoAnswer, {}));
  records.push_back(make(3, Kind::kUserList, {{"Admin", "b"}}));
  records.push_back(make(4, Kind::kUserList, {{"Admin", "a"}}));
  records.push_back(make(5, Kind::kNoSecurity, {}));
  records.push_back(make(6, Kind::kNoAnswer, {}));
  records.push_back(make(7, Kind::kUserList, {}));
  std::vector<std::vector<std::uintptr_t>> groups;
  while (!records.empty()) {
    std::vector<std::uintptr_t> tags;
    for (const auto& r : TakeSecurityGroup(records)) tags.push_back(std::uintptr_t(r->device));
    groups.push_back(tags);
  }
  EXPECT_EQ(groups, (std::vector<std::vector<std::uintptr_t>>{{1, 4}, {2, 6}, {3}, {5}, {7}}));
}

// --- Get pass, file security off ---

TEST_F(SecurityTest, BusWithoutSecurityConnectsEveryDeviceWithoutAsking) {
  AddSecureUnit(51, 5, "AmpEmpty", {});
  AddUnsecuredFamily(6, "Module");
  GoOnlineAndRunPass();

  EXPECT_TRUE(dialog.Questions().empty());
  const auto lines = dialog.ProgressLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "Getting security info from devices");
  EXPECT_EQ(lines[1], "Connecting to devices with no security : \n\nAmpEmpty (Zel-2, ID 5)\n");
  EXPECT_EQ(lines[2], "Connecting to devices with no security : \n\nModule (Pannex, ID 6)\n");
  // Connected devices no longer need initialisation, so that they are polled.
  EXPECT_FALSE(Device(0)->NeedsInitialisation());
  EXPECT_FALSE(Device(1)->NeedsInitialisation());
  EXPECT_EQ(system.GetComms().GetWorkerState(), kWorkerOnline);
}

TEST_F(SecurityTest, SecuredGroupWithTheRightPasswordAfterAWrongOneTakesAnEmptyTable) {
  // The units keep the first 8 bytes of the password they were given, "Secret12"; typed in
  // full it is the right one.
  CSimSecurityUnit* a = AddSecureUnit(51, 5, "AmpA", {{"Boss", "Secret123"}, {"Op", "x"}});
  CSimSecurityUnit* b = AddSecureUnit(60, 7, "Sornic", {{"Boss", "Secret123"}, {"Op", "x"}});
  AddUnsecuredFamily(9, "Module");  // so that the group is not the whole network: no import
  dialog.Script({{kSecurityAnswerOk, "secret123"}, {kSecurityAnswerOk, "Secret123"}});
  GoOnlineAndRunPass();

  const auto questions = dialog.Questions();
  ASSERT_EQ(questions.size(), 2u);
  EXPECT_EQ(questions[0].kind, kSecurityAskPasswords);
  EXPECT_EQ(Names(questions[0]), (std::vector<std::string>{"AmpA (Zel-2, ID 5)", "Sornic (Sornic, ID 7)"}));
  const auto lines = dialog.ProgressLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Incorrect Password"), lines.end());
  EXPECT_TRUE(a->GetUsers().empty());
  EXPECT_TRUE(b->GetUsers().empty());
  EXPECT_EQ(a->SecurityWrites(), 1);
  EXPECT_EQ(b->SecurityChecks(), 1);
  EXPECT_FALSE(Device(0)->NeedsInitialisation());
  EXPECT_FALSE(Device(1)->NeedsInitialisation());
  EXPECT_FALSE(system.Users().GetUseSystemSecurity());
}

TEST_F(SecurityTest, DifferentUserListsAreAskedOneGroupAtATimeAndSkipIgnoresTheGroup) {
  CSimSecurityUnit* a = AddSecureUnit(51, 5, "AmpA", {{"Admin", "a"}});
  CSimSecurityUnit* b = AddSecureUnit(52, 6, "AmpB", {{"Admin", "b"}});
  AddSecureUnit(53, 7, "AmpC", {{"Admin", "a"}});
  dialog.Script({{kSecurityAnswerOk, "a"}, {kSecurityAnswerSkip, ""}});
  GoOnlineAndRunPass();

  const auto questions = dialog.Questions();
  ASSERT_EQ(questions.size(), 2u);
  EXPECT_EQ(Names(questions[0]), (std::vector<std::string>{"AmpA (Zel-2, ID 5)", "AmpC (Zel-4, ID 7)"}));
  EXPECT_EQ(Names(questions[1]), (std::vector<std::string>{"AmpB (Zel-3, ID 6)"}));
  EXPECT_TRUE(a->GetUsers().empty());
  EXPECT_EQ(b->GetUsers(), (Users{{"Admin", "b"}}));
  EXPECT_FALSE(Device(0)->NeedsInitialisation());
  EXPECT_FALSE(Device(2)->NeedsInitialisation());
  EXPECT_TRUE(Device(1)->NeedsInitialisation());
  EXPECT_TRUE(Device(1)->IsIgnored());
  EXPECT_EQ(dialog.ProgressLines().back(), "Not connecting to the following devices : \n\nAmpB (Zel-3, ID 6)\n");
  EXPECT_EQ(frame.CountLogLinesStartingWith("Cannot connect to Zel-3 AmpB ID 6"), 1u);
}

// A unit whose name was never read is named in the log by its model alone, beside a named one.
TEST_F(SecurityTest, AnUnreachableUnitWithoutANameIsLoggedByItsModelAlone) {
  AddUnreachable(2, "");
  AddUnreachable(3, "Amp3");
  GoOnlineAndRunPass();
  EXPECT_EQ(frame.CountLogLinesStartingWith("Cannot connect to Zel-2 ID 2\n"), 1u);
  EXPECT_EQ(frame.CountLogLinesStartingWith("Cannot connect to Zel-2 Amp3 ID 3\n"), 1u);
}

// A secured unit switched on while online brings up the password question. While it waits the
// line goes on: the unit already connected is polled on, the secured one is not asked; once the
// question is answered, the secured unit joins.
TEST_F(SecurityTest, WhileAPasswordQuestionWaitsTheOtherUnitsArePolled_AndTheSecuredUnitJoinsOnceItIsAnswered) {
  ExamineRefusedUnitsAtOnce();
  AddSecureUnit(51, 2, "Open", {});
  SimSecurityConfig config;
  config.typeCode = 51;
  config.deviceId = 12;
  auto amp = std::make_unique<CSimZelAmpUnit>(config);
  amp->Update([](SimZelAmpState& state) { state.name = "Guarded"; });
  amp->SetUsers({{"Boss", "secret"}});
  CSimSwitchedUnit* secured = bus.Add<CSimSwitchedUnit>(std::move(amp));
  secured->SetSilent(true);
  auto* guarded = new CZelSeriesDevice(&system, &frame, 51, 12);
  guarded->Initialise();
  NameDevice(guarded, "Guarded");
  system.AppendDevice(guarded);
  GoOnlineAndRunPass();
  ASSERT_TRUE(WaitFor([&] { return Device(0)->IsConnected(); }));
  ASSERT_TRUE(guarded->NeedsInitialisation());

  // Requests to the unit at the ID (a Zel frame names it in byte 7).
  auto requestsTo = [&](std::uint8_t id) {
    std::size_t n = 0;
    for (const SimBytes& r : bus.Requests())
      if (r.size() > 7 && r[3] == 51 && r[7] == id) ++n;
    return n;
  };
  secured->SetSilent(false);
  ASSERT_TRUE(WaitFor([&] { return dialog.Questions().size() == 1; }));
  EXPECT_EQ(dialog.Questions()[0].kind, kSecurityAskPasswords);
  const std::size_t toOpen = requestsTo(2), toGuarded = requestsTo(12);
  EXPECT_TRUE(WaitFor([&] { return requestsTo(2) >= toOpen + 50; }));
  EXPECT_EQ(requestsTo(12), toGuarded);
  EXPECT_TRUE(Device(0)->IsConnected());

  dialog.AnswerNow(2, kSecurityAnswerOk, "secret");
  EXPECT_TRUE(WaitFor([&] { return guarded->IsConnected(); }));
  EXPECT_TRUE(dialog.PassFinished(2));
}

// A Zel amplifier holding the users whose unit can be switched off and on, with its device.
CSimSwitchedUnit* AddSwitchedAmp(CSimBus& bus, CSystem& system, IMessageSink* frame, std::uint32_t id,
                                 const std::string& name, const Users& users, bool on) {
  SimSecurityConfig config;
  config.typeCode = 51;
  config.deviceId = id;
  auto amp = std::make_unique<CSimZelAmpUnit>(config);
  amp->Update([&](SimZelAmpState& state) { state.name = name; });
  amp->SetUsers(users);
  CSimSwitchedUnit* unit = bus.Add<CSimSwitchedUnit>(std::move(amp));
  unit->SetSilent(!on);
  auto* device = new CZelSeriesDevice(&system, frame, 51, id);
  device->Initialise();
  NameDevice(device, name);
  system.AppendDevice(device);
  return unit;
}

// Units that failed their security step (switched off at going online, as noise on the line
// makes them fail it) are polled while the password question of a secured unit waits, and each
// that answers is examined again and connects; the secured unit is asked nothing meanwhile, and
// joins once the question is answered.
TEST_F(SecurityTest, WhileAPasswordQuestionWaitsUnitsThatFailedTheirStepConnect) {
  ExamineRefusedUnitsAtOnce();
  CSimSwitchedUnit* open2 = AddSwitchedAmp(bus, system, &frame, 2, "Open2", {}, false);
  CSimSwitchedUnit* open3 = AddSwitchedAmp(bus, system, &frame, 3, "Open3", {}, false);
  AddSwitchedAmp(bus, system, &frame, 12, "Guarded", {{"Boss", "secret"}}, true);
  bus.Start();
  system.Start(&frame);
  system.GetComms().SetNeedSecurityGet(true);
  ASSERT_TRUE(system.GoOnline(0));
  ASSERT_TRUE(WaitFor([&] { return dialog.Questions().size() == 1; }));
  EXPECT_EQ(dialog.Questions()[0].kind, kSecurityAskPasswords);
  EXPECT_EQ(frame.CountLogLinesStartingWith("Cannot connect to Zel-2 Open2 ID 2\n"), 1u);
  EXPECT_EQ(frame.CountLogLinesStartingWith("Cannot connect to Zel-2 Open3 ID 3\n"), 1u);

  // Requests to the unit at the ID (a Zel frame names it in byte 7).
  auto requestsTo = [&](std::uint8_t id) {
    std::size_t n = 0;
    for (const SimBytes& r : bus.Requests())
      if (r.size() > 7 && r[3] == 51 && r[7] == id) ++n;
    return n;
  };
  const std::size_t toGuarded = requestsTo(12);
  open2->SetSilent(false);
  open3->SetSilent(false);
  ASSERT_TRUE(WaitFor([&] { return Device(0)->IsConnected() && Device(1)->IsConnected(); }));
  const std::size_t toOpen = requestsTo(2);
  EXPECT_TRUE(WaitFor([&] { return requestsTo(2) >= toOpen + 20; }));
  EXPECT_FALSE(dialog.PassFinished(1));  // the question still waits
  EXPECT_EQ(dialog.Questions().size(), 1u);
  EXPECT_EQ(requestsTo(12), toGuarded);

  dialog.AnswerNow(1, kSecurityAnswerOk, "secret");
  EXPECT_TRUE(WaitFor([&] { return Device(2)->IsConnected(); }));
  EXPECT_TRUE(Device(0)->IsConnected());
  EXPECT_TRUE(Device(1)->IsConnected());
}

// A unit that needs no password is settled before the question of a secured unit before it in
// the list, and is polled while the question waits.
TEST_F(SecurityTest, AUnitThatNeedsNoPasswordIsPolledWhileTheQuestionBeforeItWaits) {
  AddSwitchedAmp(bus, system, &frame, 2, "Guarded", {{"Boss", "secret"}}, true);
  AddSwitchedAmp(bus, system, &frame, 3, "Open", {}, true);
  bus.Start();
  system.Start(&frame);
  system.GetComms().SetNeedSecurityGet(true);
  ASSERT_TRUE(system.GoOnline(0));
  ASSERT_TRUE(WaitFor([&] { return dialog.Questions().size() == 1; }));
  EXPECT_TRUE(WaitFor([&] { return Device(1)->IsConnected(); }));
  EXPECT_FALSE(dialog.PassFinished(1));
  EXPECT_TRUE(Device(0)->NeedsInitialisation());
  dialog.AnswerNow(1, kSecurityAnswerOk, "secret");
  EXPECT_TRUE(WaitFor([&] { return Device(0)->IsConnected(); }));
}

// A unit that answers its security check but never its user table (as under noise) is refused
// pass after pass; the answers to its checks never leave it shown connected: whenever the log
// says it cannot connect, it was last said to have disconnected, if it was said to connect.
TEST_F(SecurityTest, AUnitRefusedIsNeverShownConnected) {
  ExamineRefusedUnitsAtOnce();
  // The amplifier's answers to the read of its user table are lost.
  class CTableLost : public CSimUnit {
   public:
    explicit CTableLost(std::unique_ptr<CSimUnit> unit) : m_unit(std::move(unit)) {}
    std::size_t RequestLength(const SimBytes& bytes) const override { return m_unit->RequestLength(bytes); }
    SimHeader Header() const override { return m_unit->Header(); }
    SimAnswer Handle(const SimBytes& request) override {
      if (request.size() > 9 && request[9] == kSecurityReadCommand) return SimAnswer::Silence();
      return m_unit->Handle(request);
    }

   private:
    std::unique_ptr<CSimUnit> m_unit;
  };
  SimSecurityConfig config;
  config.typeCode = 51;
  config.deviceId = 5;
  bus.Add<CTableLost>(std::make_unique<CSimZelAmpUnit>(config));
  AddUnreachable(5, "Amp");
  bus.Start();
  system.Start(&frame);
  system.GetComms().SetNeedSecurityGet(true);
  ASSERT_TRUE(system.GoOnline(0));
  // Each check's answer raises the unit's level; the third would show it connected.
  ASSERT_TRUE(WaitFor([&] { return frame.CountLogLinesStartingWith("Cannot connect to Zel-2") >= 7; }));
  bool connected = false;
  for (const std::string& line : frame.LogLines()) {
    if (line.rfind("Connected to Zel-2", 0) == 0) connected = true;
    if (line.rfind("Disconnected from Zel-2", 0) == 0) connected = false;
    if (line.rfind("Cannot connect to Zel-2", 0) == 0) {
      EXPECT_FALSE(connected);
    }
  }
}

// The security pass on the program's clock, which only the requests and the pass's waits move
// on: a request answered takes its bytes' time on a 57600-baud line, one met by silence the read
// time-out of the reply it asks for, n + max(35, 2n) ms for n bytes. Each request is noted with
// the clock after it.
class SecurityOnTheClock : public SecurityTest {
 protected:
  struct Stamp {
    SimBytes request;
    std::int64_t us;
  };
  SecurityOnTheClock() {
    m_clock.MoveWithIdleWaits();
    bus.SetAnswerWatcher([this](const SimBytes& r, const SimBytes& answer) {
      std::int64_t us = std::int64_t(r.size() + answer.size()) * 10 * 1000000 / 57600;
      if (answer.empty()) us = ReadTimeoutMs(ReplyLengthAsked(r)) * 1000;
      m_clock.AdvanceUs(us);
      std::lock_guard<std::mutex> lock(m_mutex);
      m_stamps.push_back({r, m_clock.NowUs()});
    });
  }
  void TearDown() override {
    // The worker and the bus read the clock: both end before it goes.
    system.GetComms().StopCommsThread();
    bus.Stop();
  }
  static std::int64_t ReadTimeoutMs(std::int64_t n) { return n + std::max<std::int64_t>(35, 2 * n); }
  // The reply a request met by silence asked for: a processor's identification (B0 and its ID)
  // 21 bytes, a Zel unit's identity query (B0 and four ID bytes) 24; anything else is taken for
  // the longest security check, a processor's 144.
  static std::int64_t ReplyLengthAsked(const SimBytes& r) {
    if (!r.empty() && r[0] == 0xB0) return r.size() == 2 ? 21 : 24;
    return 144;
  }
  std::vector<Stamp> Stamps() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_stamps;
  }

  CTestClock m_clock;
  CClockInUse m_clockInUse{m_clock};
  mutable std::mutex m_mutex;
  std::vector<Stamp> m_stamps;
};

// Tells the bus where each identity read ends, a processor's (B0 and its ID, never 0) and a Zel
// unit's (B0 and four ID bytes, the first 0 below ID 2^24), so that one that nobody answers ends
// as it arrives rather than once the line has been quiet a while; answers nothing.
class CIdentityReadLengths : public CSimUnit {
 public:
  std::size_t RequestLength(const SimBytes& bytes) const override {
    if (bytes.empty() || bytes[0] != 0xB0) return kSimUnknownLength;
    if (bytes.size() < 2) return kSimNeedMoreBytes;
    return bytes[1] != 0 ? 2 : 5;
  }
  SimAnswer Handle(const SimBytes& request) override {
    (void)request;
    return SimAnswer::Silence();
  }
};

// Going online with a file of 253 units of which three answer (one secured), 250 absent: each
// absent unit is asked whether it is there as the poll plan asks a unit offline, its short
// identity read sent twice, and never its security check; the present units go through their
// step as ever; the dialog says before each unit how many are checked, of how many, and which is
// asked; and the pass is over within a minute on the program's clock.
TEST_F(SecurityOnTheClock, AbsentUnitsAreAskedTwoShortProbesEachAndThePassSaysHowFarItIs) {
  CSecurityTimings timings = system.GetComms().Security().GetTimings();
  timings.pollMs = 10;
  system.GetComms().Security().SetTimingsForTests(timings);
  bus.Add<CIdentityReadLengths>();
  std::vector<CDevice*> absent;
  AddSecureUnit(51, 1, "Open", {});
  for (std::uint32_t id = 100; id < 225; ++id) {
    absent.push_back(CreateNerexSeriesDevice(&system, &frame, 120, id, 0));
    system.AppendDevice(absent.back());
  }
  AddFennick(16, 2, {});
  // Zel IDs 256 to 380: every byte of the ID below 128.
  for (std::uint32_t id = 0x100; id < 0x17D; ++id) absent.push_back(AddUnreachable(id, ""));
  CSimSecurityUnit* guarded = AddSecureUnit(51, 3, "Guarded", {{"Boss", "secret"}});
  dialog.Script({{kSecurityAnswerOk, "secret"}});
  ASSERT_EQ(system.GetDeviceCount(), 253);
  // As the devices are named before their units are read.
  std::vector<std::string> names;
  for (int k = 0; k < 253; ++k) names.push_back(DeviceListText(*Device(k)));
  bus.Start();
  system.Start(&frame);
  system.GetComms().SetNeedSecurityGet(true);
  ASSERT_TRUE(system.GoOnline(0));
  // Some 500 requests, each a few hand-overs between threads: long on a machine that is busy.
  ASSERT_TRUE(WaitFor([&] { return dialog.PassFinished(1); }, 240000));

  // The dialog: the first line, then before each unit how far the pass is; then the lists.
  const std::vector<CSecurityRequest> requests = dialog.Requests();
  const std::vector<std::int64_t> takenAtUs = dialog.TakenAtUs();
  ASSERT_GE(requests.size(), 255u);
  EXPECT_EQ(requests[0].text, "Getting security info from devices");
  for (int k = 0; k < 253; ++k) {
    const CSecurityRequest& count = requests[std::size_t(1 + k)];
    EXPECT_EQ(count.kind, kSecurityProgressCount);
    EXPECT_EQ(count.text, "Getting security info from devices\n\nChecked " + std::to_string(k) + " of 253\nAsking " +
                              names[std::size_t(k)]);
  }
  EXPECT_EQ(requests[254].kind, kSecurityProgressLine);
  const std::int64_t startUs = takenAtUs[0], examinedUs = takenAtUs[254];

  // The requests of the examination: two probes of each absent unit and no check; the present
  // units' probe, check and user table.
  std::vector<SimBytes> examined;
  for (const Stamp& stamp : Stamps())
    if (stamp.us > startUs && stamp.us <= examinedUs) examined.push_back(stamp.request);
  auto sent = [&](const SimBytes& frame) { return std::count(examined.begin(), examined.end(), frame); };
  EXPECT_EQ(sent(SimBytes{0xB0, 0x64}), 2);              // the Nerex48 at ID 100
  EXPECT_EQ(sent(SimBytes{0xB0, 0x00, 0x00, 0x01, 0x7C}), 2);  // the Zel-2 at ID 380
  for (CDevice* device : absent) {
    CControlMessage probe, check;
    ASSERT_TRUE(device->BuildPresenceProbe(probe));
    ASSERT_TRUE(device->BuildSecurityCheckMessage(check));
    EXPECT_EQ(sent(SimBytes(probe.frame, probe.frame + probe.frameLength)), 2) << DeviceListText(*device);
    EXPECT_EQ(sent(SimBytes(check.frame, check.frame + check.frameLength)), 0) << DeviceListText(*device);
  }
  EXPECT_EQ(examined.size(), 2 * 250u + 3 * 3u);

  // Within a minute from the first line to the secured unit written (an F1 frame of command 75
  // to ID 3), the question answered.
  std::int64_t endUs = 0;
  for (const Stamp& stamp : Stamps())
    if (stamp.request.size() > 9 && stamp.request[0] == 0xF1 && stamp.request[7] == 3 && stamp.request[9] == 75)
      endUs = stamp.us;
  EXPECT_GT(endUs, examinedUs);
  EXPECT_LT(endUs - startUs, 60000000) << "examined in " << (examinedUs - startUs) / 1000 << " ms";
  EXPECT_LT(examinedUs - startUs, 125 * (2 * ReadTimeoutMs(21) + 10) * 1000 + 125 * (2 * ReadTimeoutMs(24) + 10) * 1000 +
                                      3 * 100 * 1000);

  const std::vector<std::string> lines = dialog.ProgressLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "Cannot connect to the following devices : \n\n(Nerex48, ID 100)\n(Nerex48, ID 101)\n"
                      "(Nerex48, ID 102)\n(Nerex48, ID 103)\n+ 246 more devices..."),
            lines.end());
  ASSERT_EQ(dialog.Questions().size(), 1u);
  EXPECT_EQ(Names(dialog.Questions()[0]), (std::vector<std::string>{"Guarded (Zel-2, ID 3)"}));
  for (CDevice* device : absent) EXPECT_TRUE(device->NeedsInitialisation());
  for (int i : {0, 126, 252}) EXPECT_FALSE(Device(i)->NeedsInitialisation()) << i;
  EXPECT_TRUE(guarded->GetUsers().empty());
  EXPECT_EQ(frame.CountLogLinesStartingWith("Cannot connect to "), 250u);
}

TEST_F(SecurityTest, SixUnreachableDevicesAreListedAsFourNamesAndTwoMore) {
  for (std::uint32_t id = 1; id <= 6; ++id) AddUnreachable(id, "Amp" + std::to_string(id));
  GoOnlineAndRunPass();

  const auto lines = dialog.ProgressLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1],
            "Cannot connect to the following devices : \n\nAmp1 (Zel-2, ID 1)\nAmp2 (Zel-2, ID 2)\n"
            "Amp3 (Zel-2, ID 3)\nAmp4 (Zel-2, ID 4)\n+ 2 more devices...");
  EXPECT_EQ(frame.CountLogLinesStartingWith("Cannot connect to Zel-2 Amp"), 6u);
  for (int i = 0; i < 6; ++i) EXPECT_TRUE(Device(i)->NeedsInitialisation());
}

TEST_F(SecurityTest, UnitsOfTwoFamiliesHoldingOneTableAreOneNetworkAskedOnce) {
  // A processor gives the users it reads back access records, an amplifier does not; the
  // tables are the same all the same.
  CSimSecurityUnit* amp = AddSecureUnit(51, 5, "AmpA", {{"Boss", "pw1"}});
  CSimProcessorUnit* fennick = AddFennick(16, 8, {{"Boss", "pw1"}});
  dialog.Script({{kSecurityAnswerSkip, ""}, {kSecurityAnswerOk, "pw1"}, {kSecurityAnswerAbort, ""}});
  GoOnlineAndRunPass();

  const auto questions = dialog.Questions();
  ASSERT_EQ(questions.size(), 2u);
  EXPECT_EQ(questions[0].kind, kSecurityAskImport);
  EXPECT_EQ(Names(questions[1]), (std::vector<std::string>{"AmpA (Zel-2, ID 5)", "Sim Processor (Fennick, ID 8)"}));
  EXPECT_TRUE(amp->GetUsers().empty());
  EXPECT_TRUE(HeldBy(*fennick).empty());
  EXPECT_FALSE(Device(0)->NeedsInitialisation());
  EXPECT_FALSE(Device(1)->NeedsInitialisation());
}

TEST_F(SecurityTest, AbortAtThePasswordQuestionTakesTheConnectionOffline) {
  AddSecureUnit(51, 5, "AmpA", {{"Admin", "a"}});
  AddUnsecuredFamily(9, "Module");
  dialog.Script({{kSecurityAnswerAbort, ""}});
  GoOnlineAndRunPass();

  ASSERT_TRUE(WaitFor([&] { return frame.Count(FrameMsg::kGoOffline) == 1; }));
  ASSERT_TRUE(WaitFor([&] { return system.GetComms().GetWorkerState() == kWorkerIdle; }));
  EXPECT_TRUE(Device(0)->NeedsInitialisation());
  EXPECT_FALSE(Device(0)->IsIgnored());
  EXPECT_EQ(system.GetComms().Security().GetDialog(), nullptr);
}

// --- Import of a secured network ---

TEST_F(SecurityTest, ImportingTheNetworksUsersNeedsItsAdminPasswordAndLeavesAValidCurrentUser) {
  SetSystemUsers({{"Admin", "Marigold"}, {"A", "1"}, {"B", "2"}, {"C", "3"}}, false);
  system.Users().SetCurrentUser(3);
  // The units keep "pw1longe" of the Admin password "pw1longer", which is right typed in full.
  CSimSecurityUnit* a = AddSecureUnit(51, 5, "AmpA", {{"Boss", "pw1longer"}, {"Op", "pw2"}});
  AddSecureUnit(60, 6, "Sornic", {{"Boss", "pw1longer"}, {"Op", "pw2"}});
  dialog.Script({{kSecurityAnswerOk, ""}, {kSecurityAnswerOk, "PW1LONGER"}, {kSecurityAnswerOk, "pw1longer"}});
  GoOnlineAndRunPass();

  const auto questions = dialog.Questions();
  ASSERT_EQ(questions.size(), 3u);
  EXPECT_EQ(questions[0].kind, kSecurityAskImport);
  EXPECT_EQ(questions[1].kind, kSecurityAskImportPassword);
  EXPECT_EQ(questions[2].kind, kSecurityAskImportPassword);
  ASSERT_EQ(system.Users().GetUsers().size(), 2u);
  EXPECT_EQ(system.Users().GetUsers()[0]->GetName(), "Boss");
  EXPECT_EQ(system.Users().GetUsers()[0]->GetPassword(), "pw1longe");
  EXPECT_EQ(system.Users().GetUsers()[1]->GetPassword(), "pw2");
  EXPECT_TRUE(system.Users().GetUseSystemSecurity());
  EXPECT_EQ(system.Users().GetCurrentUser(), 0);
  // The units hold the file's users now: connected as they are, nothing written.
  EXPECT_EQ(dialog.ProgressLines().back(),
            "Connecting to devices with security data : \n\nAmpA (Zel-2, ID 5)\nSornic (Sornic, ID 6)\n");
  EXPECT_EQ(a->SecurityWrites(), 0);
  EXPECT_FALSE(Device(0)->NeedsInitialisation());
  EXPECT_FALSE(Device(1)->NeedsInitialisation());
}

TEST_F(SecurityTest, DeclinedImportFallsBackToTheGroupPassword) {
  AddSecureUnit(51, 5, "AmpA", {{"Boss", "pw1"}});
  dialog.Script({{kSecurityAnswerSkip, ""}, {kSecurityAnswerOk, "pw1"}});
  GoOnlineAndRunPass();

  const auto questions = dialog.Questions();
  ASSERT_EQ(questions.size(), 2u);
  EXPECT_EQ(questions[0].kind, kSecurityAskImport);
  EXPECT_EQ(questions[1].kind, kSecurityAskPasswords);
  EXPECT_EQ(system.Users().GetUsers()[0]->GetName(), "Admin");
  EXPECT_FALSE(system.Users().GetUseSystemSecurity());
  EXPECT_FALSE(Device(0)->NeedsInitialisation());
}

// --- Get pass, file security on ---

TEST_F(SecurityTest, WithFileSecurityUnsecuredUnitsTakeTheFilesUsers) {
  SetSystemUsers({{"Admin", "Marigold"}, {"Op", "pw"}}, true);
  CSimSecurityUnit* a = AddSecureUnit(51, 5, "AmpA", {});
  AddUnsecuredFamily(6, "Module");
  GoOnlineAndRunPass();

  EXPECT_EQ(a->GetUsers(), (Users{{"Admin", "Marigold"}, {"Op", "pw"}}));
  const auto lines = dialog.ProgressLines();
  EXPECT_EQ(lines, (std::vector<std::string>{"Getting security info from devices", "Setting security data for device AmpA",
                                             "Success setting security data for device AmpA",
                                             "Connecting to device with no secrity data : Module"}));
  EXPECT_FALSE(Device(0)->NeedsInitialisation());
  EXPECT_FALSE(Device(1)->NeedsInitialisation());
}

TEST_F(SecurityTest, WithFileSecurityASameAdminUnitIsRewrittenAndAnotherAdminIsAskedFor) {
  SetSystemUsers({{"Admin", "Marigold"}, {"Op", "pw"}}, true);
  CSimSecurityUnit* same = AddSecureUnit(51, 5, "Same", {{"Admin", "Marigold"}});
  CSimSecurityUnit* other = AddSecureUnit(52, 6, "Other", {{"Chief", "c"}});
  dialog.Script({{kSecurityAnswerOk, "c"}});
  GoOnlineAndRunPass();

  EXPECT_EQ(same->GetUsers(), (Users{{"Admin", "Marigold"}, {"Op", "pw"}}));
  ASSERT_EQ(dialog.Questions().size(), 1u);
  EXPECT_EQ(Names(dialog.Questions()[0]), (std::vector<std::string>{"Other (Zel-3, ID 6)"}));
  EXPECT_TRUE(other->GetUsers().empty());
  EXPECT_FALSE(Device(0)->NeedsInitialisation());
  EXPECT_FALSE(Device(1)->NeedsInitialisation());
}

// Going online again and again with file security on and two Fennick processors (a restricted
// user with access records, a name longer than a unit keeps): the users read back from the
// units compare equal to the file's users written into them, so the Admin password is asked
// only while the units hold another Admin, and only once.
struct FennickStart {
  const char* what;
  Users unitUsers;  // what both units hold before the first Go Online
  std::size_t questions;
};
void PrintTo(const FennickStart& start, std::ostream* os) { *os << start.what; }

class FennickOnlineAgain : public SecurityTest, public ::testing::WithParamInterface<FennickStart> {};

TEST_P(FennickOnlineAgain, AdminPasswordIsAskedOnlyWhileTheUnitsHoldAnotherAdmin) {
  const Users fileUsers{{"Admin", "Marigold"}, {"Operators", "pw"}};
  SetSystemUsers(fileUsers, true);
  const std::vector<CSimProcessorUnit*> units{AddFennick(16, 8, GetParam().unitUsers),
                                               AddFennick(17, 9, GetParam().unitUsers)};
  CUser& op = *system.Users().GetUsers()[1];
  op.SetRestrictionMask(kRestrictUseDeviceControls | kRestrictEditDeviceProperties);
  system.Users().EnsureUserPermissions();
  ASSERT_EQ(op.m_devicePermissions.size(), 2u);
  op.m_devicePermissions[1]->m_flags = 0;  // may not open the second unit's panel
  // The expected questions get the other Admin's password; any further one ends its pass.
  std::vector<CScriptedSecurityDialog::Answer> script(GetParam().questions, {kSecurityAnswerOk, "c"});
  script.resize(script.size() + 3, {kSecurityAnswerAbort, ""});
  dialog.Script(script);

  for (std::size_t pass = 1; pass <= 3; ++pass) {
    if (pass == 1) {
      GoOnlineAndRunPass();
    } else {
      ASSERT_TRUE(system.GetComms().RequestIdle());
      ASSERT_TRUE(system.GetComms().SetOnline(false));
      system.GetComms().SetNeedSecurityGet(true);
      ASSERT_TRUE(system.GoOnline(0));
      ASSERT_TRUE(WaitFor([&] { return dialog.PassFinished(pass); }));
    }
    for (int i = 0; i < 2; ++i) EXPECT_FALSE(Device(i)->NeedsInitialisation()) << "pass " << pass;
  }
  EXPECT_EQ(dialog.PassCount(), 3u);
  EXPECT_EQ(dialog.Questions().size(), GetParam().questions);
  for (const CSimProcessorUnit* unit : units)
    EXPECT_EQ(HeldBy(*unit), (Users{{"Admin", "Marigold"}, {"Operator", "pw"}}));
  EXPECT_EQ(frame.CountLogLinesStartingWith("Cannot connect"), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Security, FennickOnlineAgain,
    ::testing::Values(FennickStart{"EmptyUnits", {}, 0}, FennickStart{"FileUsers", {{"Admin", "Marigold"}, {"Operator", "pw"}}, 0},
                      FennickStart{"AnotherAdmin", {{"Chief", "c"}}, 1}),
    [](const auto& info) { return std::string(info.param.what); });

// --- Refusals ---

TEST_F(SecurityTest, RefusedDeviceDoesNotBringTheDialogBackWithinItsHoldOff) {
  SetSystemUsers({{"Admin", "Marigold"}}, true);
  CSimSecurityUnit* unit = AddSecureUnit(51, 5, "Stubborn", {});
  unit->SetRefusesSecurityWrites(true);
  GoOnlineAndRunPass();

  EXPECT_EQ(dialog.ProgressLines().back(), "Failed to set security data for device Stubborn");
  EXPECT_EQ(frame.CountLogLinesStartingWith("Cannot connect to Zel-2 Stubborn ID 5"), 1u);
  EXPECT_TRUE(Device(0)->NeedsInitialisation());
  EXPECT_TRUE(system.GetComms().Security().IsRefused(Device(0)));
  // The unit keeps answering the amplifier's probes (reads of its name); within the hold-off
  // none of them opens the dialog again.
  auto* amp = static_cast<CSimZelAmpUnit*>(unit);
  const std::size_t probes = amp->ReadCount(0x3C);
  ASSERT_TRUE(WaitFor([&] { return amp->ReadCount(0x3C) >= probes + 3; }));
  EXPECT_EQ(frame.Count(FrameMsg::kOpenSecurityDlg), 1u);
  EXPECT_EQ(dialog.PassCount(), 1u);
}

TEST_F(SecurityTest, UnitThatMissedThePassIsExaminedAgainOnceItAnswersAndConnects) {
  ExamineRefusedUnitsAtOnce();
  AddSecureUnit(51, 5, "Late", {});
  // Switched on only after the pass has asked it: the pass's question whether it is there and
  // the resend go unanswered.
  bus.InjectFaults(SimFault::Silence(), 2);
  GoOnlineAndRunPass();
  EXPECT_EQ(dialog.ProgressLines().back(), "Cannot connect to the following devices : \n\nLate (Zel-2, ID 5)\n");

  // Its next answer to a probe brings a second pass, which connects it.
  ASSERT_TRUE(WaitFor([&] { return !Device(0)->NeedsInitialisation(); }));
  ASSERT_TRUE(WaitFor([&] { return dialog.PassFinished(2); }));
  EXPECT_EQ(dialog.PassCount(), 2u);
  EXPECT_TRUE(dialog.Questions().empty());
  EXPECT_EQ(dialog.ProgressLines().back(), "Connecting to devices with no security : \n\nLate (Zel-2, ID 5)\n");
  EXPECT_FALSE(system.GetComms().Security().IsRefused(Device(0)));
  EXPECT_FALSE(Device(0)->IsIgnored());
  EXPECT_TRUE(WaitFor([&] { return Device(0)->IsConnected(); }));
}

TEST_F(SecurityTest, UnitExaminedAgainIsNotAskedWhatTheUserAnsweredForItAlready) {
  ExamineRefusedUnitsAtOnce();
  CSimSecurityUnit* unit = AddSecureUnit(51, 5, "AmpA", {{"Boss", "pw1"}});
  unit->SetRefusesSecurityWrites(true);
  // The whole network: the import is offered and declined, then the right password is given,
  // but the unit does not take the empty table.
  dialog.Script({{kSecurityAnswerSkip, ""}, {kSecurityAnswerOk, "pw1"}});
  GoOnlineAndRunPass();
  EXPECT_TRUE(system.GetComms().Security().IsRefused(Device(0)));
  EXPECT_GE(frame.CountLogLinesStartingWith("Cannot connect to Zel-2 AmpA ID 5"), 1u);

  // Examined again once it answers: it takes the table now, and nothing is asked twice.
  unit->SetRefusesSecurityWrites(false);
  ASSERT_TRUE(WaitFor([&] { return !Device(0)->NeedsInitialisation(); }));
  EXPECT_TRUE(unit->GetUsers().empty());
  EXPECT_GE(dialog.PassCount(), 2u);
  const auto questions = dialog.Questions();
  ASSERT_EQ(questions.size(), 2u);
  EXPECT_EQ(questions[0].kind, kSecurityAskImport);
  EXPECT_EQ(questions[1].kind, kSecurityAskPasswords);
  EXPECT_FALSE(system.Users().GetUseSystemSecurity());
}

TEST_F(SecurityTest, GoingOnlineAgainGivesRefusedDevicesAnotherChance) {
  SetSystemUsers({{"Admin", "Marigold"}}, true);
  CSimSecurityUnit* unit = AddSecureUnit(51, 5, "Late", {});
  unit->SetRefusesSecurityWrites(true);
  GoOnlineAndRunPass();
  ASSERT_TRUE(system.GetComms().Security().IsRefused(Device(0)));

  system.GetComms().RequestIdle();
  system.GetComms().SetOnline(false);
  unit->SetRefusesSecurityWrites(false);
  system.GetComms().SetNeedSecurityGet(true);
  ASSERT_TRUE(system.GoOnline(0));
  ASSERT_TRUE(WaitFor([&] { return dialog.PassFinished(2); }));
  EXPECT_FALSE(system.GetComms().Security().IsRefused(Device(0)));
  EXPECT_FALSE(Device(0)->NeedsInitialisation());
  EXPECT_EQ(unit->GetUsers(), (Users{{"Admin", "Marigold"}}));
}

// --- Set pass ---

TEST_F(SecurityTest, SetPassWritesTheFilesUsersOrAnEmptyTableIntoEverySettledUnit) {
  CSimSecurityUnit* a = AddSecureUnit(51, 5, "AmpA", {});
  CSimSecurityUnit* b = AddSecureUnit(60, 6, "Sornic", {});
  AddUnsecuredFamily(7, "Module");
  GoOnlineAndRunPass();

  SetSystemUsers({{"Admin", "New"}, {"Op", "o"}}, true);
  system.GetComms().SetNeedSecuritySet(true);
  ASSERT_TRUE(WaitFor([&] { return dialog.PassFinished(2); }));
  EXPECT_EQ(frame.Count(FrameMsg::kOpenSecurityDlg, 1, false), 1u);
  EXPECT_EQ(a->GetUsers(), (Users{{"Admin", "New"}, {"Op", "o"}}));
  EXPECT_EQ(b->GetUsers(), (Users{{"Admin", "New"}, {"Op", "o"}}));
  const auto lines = dialog.ProgressLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Updating security data for device Sornic"), lines.end());

  system.Users().SetUseSystemSecurity(false);
  system.GetComms().SetNeedSecuritySet(true);
  ASSERT_TRUE(WaitFor([&] { return dialog.PassFinished(3); }));
  EXPECT_TRUE(a->GetUsers().empty());
  EXPECT_TRUE(b->GetUsers().empty());
  EXPECT_FALSE(Device(0)->NeedsInitialisation());
}

TEST_F(SecurityTest, PassesWriteTheUsersAsOneWholeCopyWhileTheUiEditsThem) {
  SetSystemUsers({{"Admin", "a"}, {"Op", "a"}}, true);
  CSimSecurityUnit* units[] = {AddSecureUnit(51, 5, "A", {}), AddSecureUnit(52, 6, "B", {}),
                               AddSecureUnit(53, 7, "C", {})};
  GoOnlineAndRunPass();

  // The users dialogs change the users under the system's lock while the set pass writes them.
  std::atomic<bool> editing{true};
  std::thread editor([&] {
    for (int n = 0; editing; ++n) {
      {
        CSingleLock lock(system.GetLock());
        for (CUser* user : system.Users().GetUsers()) user->m_password = n % 2 ? "b" : "a";
      }
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });
  system.GetComms().SetNeedSecuritySet(true);
  const bool finished = WaitFor([&] { return dialog.PassFinished(2); });
  editing = false;
  editor.join();
  ASSERT_TRUE(finished);
  // Every unit holds one whole version of the table, never a mixture of two.
  for (CSimSecurityUnit* unit : units) {
    const Users held = unit->GetUsers();
    EXPECT_TRUE(held == (Users{{"Admin", "a"}, {"Op", "a"}}) || held == (Users{{"Admin", "b"}, {"Op", "b"}}));
  }
}

// --- Bounded waits ---

TEST_F(SecurityTest, WithoutADialogThePassStillEndsAndRefusesOnlyWhatNeedsAPassword) {
  frame.dialog = nullptr;
  CSecurityTimings timings = system.GetComms().Security().GetTimings();
  timings.dialogOpenTimeoutMs = 100;
  system.GetComms().Security().SetTimingsForTests(timings);
  AddSecureUnit(51, 5, "Locked", {{"Admin", "a"}});
  AddUnsecuredFamily(6, "Module");
  bus.Start();
  system.Start(&frame);
  system.GetComms().SetNeedSecurityGet(true);
  ASSERT_TRUE(system.GoOnline(0));
  ASSERT_TRUE(WaitFor(
      [&] { return !Device(1)->NeedsInitialisation() && system.GetComms().Security().IsRefused(Device(0)); }));
  EXPECT_FALSE(Device(0)->IsIgnored());
  EXPECT_EQ(frame.CountLogLinesStartingWith("Cannot connect to Zel-2 Locked ID 5"), 1u);
  EXPECT_EQ(system.GetComms().GetWorkerState(), kWorkerOnline);
}

TEST_F(SecurityTest, GoingIdleWhileAQuestionWaitsEndsThePassInsteadOfWaiting) {
  AddSecureUnit(51, 5, "AmpA", {{"Admin", "a"}});
  AddUnsecuredFamily(6, "Module");
  bus.Start();
  system.Start(&frame);
  system.GetComms().SetNeedSecurityGet(true);
  ASSERT_TRUE(system.GoOnline(0));
  ASSERT_TRUE(WaitFor([&] { return dialog.Questions().size() == 1; }));

  // The UI thread's go-offline hand-shake: the unanswered question must not hold it.
  auto idle = std::async(std::launch::async, [&] { system.GetComms().RequestIdle(); });
  ASSERT_EQ(idle.wait_for(std::chrono::seconds(20)), std::future_status::ready);
  EXPECT_EQ(system.GetComms().GetWorkerState(), kWorkerIdle);
  EXPECT_TRUE(dialog.PassFinished(1));
  EXPECT_TRUE(Device(0)->NeedsInitialisation());
}

// The worker's loop turns while the question waits (the other unit is polled turn after turn):
// a state set meanwhile neither ends the pass nor starts another, and the answer, given later,
// settles the unit.
TEST_F(SecurityTest, AQuestionWaitsThroughTheWorkersTurnsAndAStateSetMeanwhile_ThenItsAnswerSettlesTheUnit) {
  AddSecureUnit(51, 2, "Open", {});
  AddSecureUnit(51, 5, "AmpA", {{"Admin", "a"}});
  bus.Start();
  system.Start(&frame);
  system.GetComms().SetNeedSecurityGet(true);
  ASSERT_TRUE(system.GoOnline(0));
  ASSERT_TRUE(WaitFor([&] { return dialog.Questions().size() == 1; }));
  ASSERT_TRUE(WaitFor([&] { return Device(0)->IsConnected(); }));

  system.GetComms().SetWorkerState(kWorkerOnline);
  auto requestsTo = [&](std::uint8_t id) {
    std::size_t n = 0;
    for (const SimBytes& r : bus.Requests())
      if (r.size() > 7 && r[3] == 51 && r[7] == id) ++n;
    return n;
  };
  const std::size_t toOpen = requestsTo(2), toSecured = requestsTo(5);
  EXPECT_TRUE(WaitFor([&] { return requestsTo(2) >= toOpen + 20; }));
  EXPECT_FALSE(dialog.PassFinished(1));
  EXPECT_EQ(dialog.PassCount(), 1u);
  EXPECT_EQ(dialog.Questions().size(), 1u);
  EXPECT_EQ(requestsTo(5), toSecured);

  dialog.AnswerNow(1, kSecurityAnswerOk, "a");
  EXPECT_TRUE(WaitFor([&] { return Device(1)->IsConnected(); }));
  EXPECT_TRUE(dialog.PassFinished(1));
  EXPECT_EQ(system.GetComms().GetWorkerState(), kWorkerOnline);
}

// Ending the worker while the question waits ends the pass as a stop does: the dialog closes,
// the unit stays unsettled and the thread ends within its bounds.
TEST_F(SecurityTest, StoppingTheWorkerWhileAQuestionWaitsEndsThePassAndClosesItsDialog) {
  AddSecureUnit(51, 5, "AmpA", {{"Admin", "a"}});
  bus.Start();
  system.Start(&frame);
  system.GetComms().SetNeedSecurityGet(true);
  ASSERT_TRUE(system.GoOnline(0));
  ASSERT_TRUE(WaitFor([&] { return dialog.Questions().size() == 1; }));

  auto stop = std::async(std::launch::async, [&] { system.GetComms().StopCommsThread(); });
  ASSERT_EQ(stop.wait_for(std::chrono::seconds(20)), std::future_status::ready);
  EXPECT_FALSE(system.GetComms().IsWorkerRunning());
  EXPECT_TRUE(dialog.PassFinished(1));
  EXPECT_TRUE(Device(0)->NeedsInitialisation());
  EXPECT_EQ(dialog.Questions().size(), 1u);
}

TEST_F(SecurityTest, FatalCommsErrorDuringThePassClosesTheDialogAndGoesOffline) {
  AddSecureUnit(51, 5, "AmpA", {{"Admin", "a"}});
  line->SetHangup(true);
  GoOnlineAndRunPass();

  ASSERT_TRUE(WaitFor([&] { return frame.Count(FrameMsg::kFatalCommsError) == 1; }));
  ASSERT_TRUE(WaitFor([&] { return system.GetComms().GetWorkerState() == kWorkerIdle; }));
  EXPECT_TRUE(dialog.Questions().empty());
  EXPECT_TRUE(Device(0)->NeedsInitialisation());
  EXPECT_FALSE(system.GetComms().Security().IsRefused(Device(0)));
}

TEST_F(SecurityTest, DialogHandedOverAfterItsPassEndedClosesAtOnce) {
  auto late = dialog.Open();
  system.GetComms().Security().SetDialog(late);
  EXPECT_TRUE(late->IsFinished());
  EXPECT_EQ(system.GetComms().Security().GetDialog(), nullptr);
}

// --- The dialog link ---

TEST(SecurityDialogLink, RequestNotTakenInTimeIsWithdrawnAndNeverShown) {
  CRecordingFrame window;
  CSecurityDialogLink link(&window);
  CSecurityRequest request;
  request.kind = kSecurityProgressLine;
  request.text = "late";
  EXPECT_FALSE(link.Send(request, 30));
  EXPECT_EQ(window.Count(FrameMsg::kSecurityProgress), 1u);
  CSecurityRequest taken;
  EXPECT_FALSE(link.TakeRequest(taken));
}

// The counts of a pass go without waiting for the window: a busy window is told once and shows
// the latest; an Abort given before a count is kept.
TEST(SecurityDialogLink, CountsNotTakenYetAreReplacedByTheLatestAndKeepTheAnswer) {
  CRecordingFrame window;
  CSecurityDialogLink link(&window);
  for (int k = 0; k < 3; ++k) {
    CSecurityRequest count;
    count.text = "Checked " + std::to_string(k);
    EXPECT_TRUE(link.Update(count));
  }
  EXPECT_EQ(window.Count(FrameMsg::kSecurityProgress), 1u);
  link.SetAnswer(kSecurityAnswerAbort);
  CSecurityRequest taken;
  ASSERT_TRUE(link.TakeRequest(taken));
  EXPECT_EQ(taken.kind, kSecurityProgressCount);
  EXPECT_EQ(taken.text, "Checked 2");
  EXPECT_FALSE(link.TakeRequest(taken));
  EXPECT_EQ(link.GetAnswer(), kSecurityAnswerAbort);
  // Taken: the next count tells the window again.
  EXPECT_TRUE(link.Update(CSecurityRequest{}));
  EXPECT_EQ(window.Count(FrameMsg::kSecurityProgress), 2u);
  link.Close();
  EXPECT_FALSE(link.Update(CSecurityRequest{}));
}

TEST(SecurityDialogLink, TakingARequestForgetsTheEarlierAnswerAndCloseStopsTheWorkerWaiting) {
  CRecordingFrame window;
  CSecurityDialogLink link(&window);
  link.SetAnswer(kSecurityAnswerOk);  // Enter pressed before anything was asked
  std::thread dialogThread([&] {
    CSecurityRequest r;
    while (!link.TakeRequest(r)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(r.kind, kSecurityAskImport);
  });
  CSecurityRequest ask;
  ask.kind = kSecurityAskImport;
  EXPECT_TRUE(link.Send(ask, 20000));
  dialogThread.join();
  EXPECT_EQ(link.GetAnswer(), kSecurityAnswerNone);

  link.Close();
  EXPECT_TRUE(link.IsClosed());
  EXPECT_FALSE(link.Send(ask, 20000));  // at once: nobody is left to take it
}
