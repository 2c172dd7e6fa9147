// The comms worker against the simulated bus: polling order, the hand-over of replies, the
// connection levels with their posts and log lines, going online and offline, fatal errors and
// stopping.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <optional>
#include <set>
#include <thread>

#include "core/comms/CommsWorker.h"
#include "core/comms/GlobalMute.h"
#include "core/support/AppSettings.h"
#include "core/model/Device.h"
#include "core/support/SystemMessages.h"
#include "devices/amplifier/AmplifierFamilies.h"
#include "devices/amplifier/ZelBreakDevice.h"
#include "devices/amplifier/ZelSeriesDevice.h"
#include "devices/processor/NerexBlocks.h"
#include "devices/processor/NerexChannelRules.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexMessages.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "devices/processor/ProcessorFamily.h"
#include "platform/Clock.h"
#include "platform/TextFormat.h"
#include "tests/core/BusHarness.h"
#include "tests/support/BusFrames.h"
#include "tests/support/LineUsers.h"
#include "tests/support/ModelChanges.h"
#include "tests/support/TestClock.h"
#include "tests/devices/processor/TestImages.h"
#include "tools/devsim/SimOptions.h"
#include "tools/devsim/SimProcessor.h"
#include "tools/devsim/SimZelAmp.h"
#include "tools/devsim/SimZelBreak.h"

namespace {

class CommsWorkerTest : public ::testing::Test {
 protected:
  CommsWorkerTest() {
    h.DecideOnEvents();
    h.SkipSecurityDialog();
  }

  CPollingTestDevice* AddPollingDevice(std::uint8_t id) {
    auto* device = new CPollingTestDevice(&h.system, id, &h.frame);
    h.system.AppendDevice(device);
    CFramedUnit* unit = h.bus.Add<CFramedUnit>(id);
    unit->SetReplyLength(CPollingTestDevice::kReadCommand, CPollingTestDevice::kReplyLength);
    units.push_back(unit);
    return device;
  }
  // A broadcast (no answer awaited) whose one payload byte tells it apart.
  static std::unique_ptr<CControlMessage> Broadcast(std::uint8_t tag) {
    auto m = std::make_unique<CControlMessage>();
    const std::uint8_t bytes[8] = {0xF0, 0x00, 0x08, 0x10, 0x00, 0x00, 0x20, tag};
    m->Set(0x20, 9, 0, nullptr, false, 0xA8, 0, 0);
    for (int i = 0; i < 8; ++i) m->frame[i] = bytes[i];
    m->frame[8] = Checksum7Bit(bytes, 8);
    return m;
  }

  CBusHarness h;
  std::vector<CFramedUnit*> units;
};

TEST_F(CommsWorkerTest, GoOnline_ReadsRepliesIntoDevicesUntilConnected_LogsConnectedOnce) {
  CPollingTestDevice* device = AddPollingDevice(7);
  ASSERT_TRUE(h.StartOnline());
  ASSERT_TRUE(WaitFor([&] { return device->GetCommsLevel() == kMaxCommsLevel; }));

  // The first reply came while the device still waited for its security step: dropped, and
  // the get-security pass ran before any reply reached the device.
  EXPECT_EQ(device->processedWhileUninitialised, 0);
  EXPECT_FALSE(device->NeedsInitialisation());
  EXPECT_GE(h.bus.RequestCount(), std::size_t(device->processed) + 1);
  // The reply bytes were copied over the record's frame from byte 0.
  const std::vector<std::uint8_t> reply = device->LastReply();
  ASSERT_EQ(reply.size(), CPollingTestDevice::kReplyLength);
  EXPECT_EQ(reply[0], 0xA8);
  EXPECT_EQ(reply[2], CPollingTestDevice::kReplyLength - 1);

  EXPECT_EQ(h.frame.CountLogLinesStartingWith("Going Online"), 1u);
  EXPECT_EQ(h.frame.CountLogLinesStartingWith("Connected to Test Model ID: 7\n"), 1u);
  // Levels 1, 2 and 3 post; the higher ones do not.
  EXPECT_EQ(h.frame.CountFor(FrameMsg::kPropagateOnline, device), 3u);
  EXPECT_EQ(h.frame.CountFor(FrameMsg::kRefreshRack, device), 3u);
}

TEST_F(CommsWorkerTest, UnansweredRequests_LowerTheLevel_DisconnectOnlyAtZero) {
  CPollingTestDevice* device = AddPollingDevice(9);
  ASSERT_TRUE(h.StartOnline());
  ASSERT_TRUE(WaitFor([&] { return device->GetCommsLevel() == kMaxCommsLevel; }));
  h.bus.InjectFaults(SimFault::Silence(), 200);
  ASSERT_TRUE(WaitFor([&] { return device->GetCommsLevel() == 0; }));
  h.system.GetComms().RequestIdle();

  EXPECT_GE(device->GetMissCount(), 6u);
  EXPECT_EQ(h.frame.CountLogLinesStartingWith("Disconnected from Test Model ID: 9\n"), 1u);
  EXPECT_EQ(h.frame.CountFor(FrameMsg::kInvalidatePanel, device), 1u);
  EXPECT_EQ(h.frame.CountFor(FrameMsg::kPropagateWarning, device), 1u);
}

// A unit that says nothing while silent is set; silentLast tells whether it was silent for the
// last request it saw.
class CSilentUnit : public CFramedUnit {
 public:
  using CFramedUnit::CFramedUnit;
  SimAnswer Handle(const SimBytes& request) override {
    silentLast = silent.load();
    return silentLast ? SimAnswer::Silence() : CFramedUnit::Handle(request);
  }
  std::atomic<bool> silent{false};
  std::atomic<bool> silentLast{false};
};

// The worker on the program's clock, which only the requests move on, each by the time it takes
// on a 57600-baud line: a 20-byte read answered at once about 4 ms, one met by silence its read
// time-out, 60 ms. So what the worker decides by its clock (rests, watches) follows the requests
// on the bus, whatever the speed of the machine. Each request is noted with the clock after it
// and the devices' levels and misses as they stood when it came (the outcome of the request
// before it handed over).
class WorkerOnTheClock : public CommsWorkerTest {
 protected:
  static constexpr std::int64_t kAnsweredUs = 4000;
  static constexpr std::int64_t kSilentUs = 60000;
  struct Stamp {
    std::int64_t us;
    std::uint8_t id;  // byte 4: the unit asked
    bool silent;      // it went unanswered
    std::vector<std::pair<std::int32_t, std::uint32_t>> levelsAndMisses;  // by device, in list order
  };

  // Added after the units, which see each request first: silent tells whether it went unanswered.
  void AddBusTime(std::function<bool(const SimBytes&)> silent) {
    h.bus.Add<CClockMover>(m_clock, [this, silent](const SimBytes& r) {
      const bool unanswered = silent(r);
      return Note(r, unanswered ? kSilentUs : kAnsweredUs, unanswered);
    });
  }
  // Each request unanswered while the condition holds costs the read time-out of the answer its
  // units would have given, n bytes: n + max(35, 2n) ms, as the transport times its reads.
  void AddBusTimeOfReadTimeouts(std::function<bool()> silent) {
    h.bus.SetAnswerWatcher([this, silent](const SimBytes& r, const SimBytes& answer) {
      const std::int64_t n = std::int64_t(answer.size());
      const bool unanswered = silent();
      m_clock.AdvanceUs(Note(r, unanswered ? (n + std::max<std::int64_t>(35, 2 * n)) * 1000 : kAnsweredUs, unanswered));
    });
  }
  // Notes the request as taking us on the clock, and returns us.
  std::int64_t Note(const SimBytes& r, std::int64_t us, bool silent) {
    Stamp stamp{m_clock.NowUs() + us, r.size() > 4 ? r[4] : std::uint8_t(0), silent, {}};
    {
      CSingleLock lock(h.system.GetLock());
      for (const CDevice* d : h.system.GetDevices()) stamp.levelsAndMisses.emplace_back(d->GetCommsLevel(), d->GetMissCount());
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stamps.push_back(std::move(stamp));
    return us;
  }
  // The first request from the stamp on that found the device (by list index) at a level and
  // with misses the condition takes, waited for.
  std::optional<Stamp> FirstFound(std::size_t device, std::size_t fromStamp,
                                  const std::function<bool(std::int32_t, std::uint32_t)>& levelAndMisses) const {
    std::optional<Stamp> found;
    WaitFor([&] {
      const std::vector<Stamp> stamps = Stamps();
      for (std::size_t k = fromStamp; k < stamps.size() && !found; ++k) {
        if (stamps[k].levelsAndMisses.size() > device &&
            levelAndMisses(stamps[k].levelsAndMisses[device].first, stamps[k].levelsAndMisses[device].second))
          found = stamps[k];
      }
      return found.has_value();
    });
    return found;
  }
  std::optional<Stamp> FirstFoundOffline(std::size_t device, std::size_t fromStamp) const {
    return FirstFound(device, fromStamp, [](std::int32_t level, std::uint32_t) { return level == 0; });
  }
  CSilentUnit* AddSwitchedDevice(std::uint8_t id) {
    h.system.AppendDevice(new CPollingTestDevice(&h.system, id, &h.frame));
    CSilentUnit* unit = h.bus.Add<CSilentUnit>(id);
    unit->SetReplyLength(CPollingTestDevice::kReadCommand, CPollingTestDevice::kReplyLength);
    return unit;
  }
  std::vector<Stamp> Stamps() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_stamps;
  }
  bool AllAtLevel(std::int32_t level) {
    CSingleLock lock(h.system.GetLock());
    for (const CDevice* d : h.system.GetDevices())
      if (d->GetCommsLevel() != level) return false;
    return true;
  }
  void TearDown() override {
    // The worker and the bus read the clock: both end before it goes.
    h.system.GetComms().StopCommsThread();
    h.bus.Stop();
  }

  CTestClock m_clock;
  CClockInUse m_clockInUse{m_clock};
  mutable std::mutex m_mutex;
  std::vector<Stamp> m_stamps;
  // What the units on the bus go by; here, so that they outlive the bus thread.
  std::vector<CSilentUnit*> m_off;
  std::atomic<bool> m_dead{false};
  std::atomic<int> m_sinceFault{-1};
};

// One lost answer (all three sends of a read) does not rest a connected unit: it is asked again at
// its next turn, after each other unit once, and stays connected.
TEST_F(WorkerOnTheClock, ConnectedUnitThatMissesOneRead_IsAskedAgainAtItsNextTurn) {
  AddBusTime([](const SimBytes&) { return false; });
  for (std::uint8_t id = 1; id <= 3; ++id) AddPollingDevice(id);
  ASSERT_TRUE(h.StartOnline());
  ASSERT_TRUE(WaitFor([&] { return AllAtLevel(kMaxCommsLevel); }));
  // Between two transactions: the next request, whoever it is for, goes unanswered three times.
  ASSERT_TRUE(h.system.GetComms().RequestIdle());
  const std::size_t before = h.bus.RequestCount();
  h.bus.InjectFaults(SimFault::Silence(), 3);
  h.system.GetComms().SetWorkerState(kWorkerOnline);
  ASSERT_TRUE(h.bus.WaitForRequests(before + 9, 20000));
  const std::vector<SimBytes> requests = h.bus.Requests();
  const std::uint8_t missed = requests[before][4];
  EXPECT_EQ(requests[before + 1][4], missed);
  EXPECT_EQ(requests[before + 2][4], missed);
  // The other two, then the unit again.
  EXPECT_NE(requests[before + 3][4], missed);
  EXPECT_NE(requests[before + 4][4], missed);
  EXPECT_EQ(requests[before + 5][4], missed);
  EXPECT_EQ(h.frame.CountLogLinesStartingWith("Disconnected from "), 0u);
}

// Units that were connected are switched off together beside units that answer: each goes offline
// at its sixth miss, its first read sent three times and every later one once, within a few
// seconds on the clock; from then on the silent units hold about a share of the line, the
// others the rest; and they connect again once they answer.
struct SwitchedOffCase {
  const char* name;
  int answering;
  int switchedOff;
  std::int64_t offlineWithinUs;  // on the clock, from the switch-off
};

const SwitchedOffCase kSwitchedOffCases[] = {
    {"OneBesideThree", 3, 1, 1500000},
    {"FourBesideFour", 4, 4, 5000000},
    {"SixBesideTwo", 2, 6, 5000000},
};

class SwitchedOff : public WorkerOnTheClock, public ::testing::WithParamInterface<SwitchedOffCase> {};

TEST_P(SwitchedOff, UnitsGoOfflineInSecondsAtTheirSixthMiss_LeaveTheOthersTheLine_AndComeBack) {
  const SwitchedOffCase& c = GetParam();
  std::vector<CSilentUnit*>& off = m_off;
  const auto firstOff = std::uint8_t(c.answering + 1);
  for (int i = 0; i < c.answering; ++i) AddPollingDevice(std::uint8_t(1 + i));
  for (int i = 0; i < c.switchedOff; ++i) off.push_back(AddSwitchedDevice(std::uint8_t(firstOff + i)));
  AddBusTime([this, firstOff](const SimBytes& r) {
    return r.size() > 4 && r[4] >= firstOff && r[4] < firstOff + m_off.size() && m_off[r[4] - firstOff]->silentLast;
  });
  ASSERT_TRUE(h.StartOnline());
  ASSERT_TRUE(WaitFor([&] { return AllAtLevel(kMaxCommsLevel); }));

  const std::size_t stampsBefore = Stamps().size();
  const std::int64_t switchedAt = m_clock.NowUs();
  for (CSilentUnit* unit : off) unit->silent = true;
  const std::vector<CDevice*> devices = h.system.GetDevices();
  auto offline = [&] {
    CSingleLock lock(h.system.GetLock());
    for (int i = 0; i < c.switchedOff; ++i)
      if (devices[std::size_t(c.answering + i)]->GetCommsLevel() != 0) return false;
    return true;
  };
  ASSERT_TRUE(WaitFor(offline, 60000));
  const std::int64_t offlineAt = m_clock.NowUs();
  std::vector<Stamp> stamps = Stamps();
  // Three sends at the first miss (one where the two transactions before it heard nothing: the
  // line counts as silent), one at each of the next five: the eighth or sixth ends the sixth miss.
  for (int i = 0; i < c.switchedOff; ++i) {
    const std::optional<Stamp> found = FirstFoundOffline(std::size_t(c.answering + i), stampsBefore);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->levelsAndMisses[std::size_t(c.answering + i)].second, 6u) << "unit " << firstOff + i;
  }
  stamps = Stamps();
  std::vector<int> sends(std::size_t(c.switchedOff), 0);
  std::int64_t lastSixthMiss = 0;
  for (std::size_t k = stampsBefore; k < stamps.size(); ++k) {
    const int i = stamps[k].id - firstOff;
    if (i < 0 || i >= c.switchedOff || !stamps[k].silent ||
        stamps[k].levelsAndMisses[std::size_t(c.answering + i)].first == 0)
      continue;
    ++sends[std::size_t(i)];
    lastSixthMiss = std::max(lastSixthMiss, stamps[k].us);
  }
  // The first unit to miss finds the line answering.
  EXPECT_EQ(*std::max_element(sends.begin(), sends.end()), 8);
  for (int i = 0; i < c.switchedOff; ++i) {
    EXPECT_TRUE(sends[std::size_t(i)] == 8 || sends[std::size_t(i)] == 6) << "unit " << firstOff + i << ": " << sends[std::size_t(i)];
  }
  EXPECT_LE(lastSixthMiss - switchedAt, c.offlineWithinUs);
  EXPECT_EQ(h.frame.CountLogLinesStartingWith("Disconnected from "), std::size_t(c.switchedOff));

  // Offline, the silent units hold about kSilentSharePercent of the clock's time between them.
  const std::size_t answeredBefore = Stamps().size();
  ASSERT_TRUE(WaitFor([&] { return m_clock.NowUs() > offlineAt + 5000000; }, 60000));
  stamps = Stamps();
  std::int64_t silentUs = 0, allUs = 0;
  for (std::size_t k = answeredBefore; k < stamps.size(); ++k) {
    const std::int64_t us = stamps[k].us - stamps[k - 1].us;
    allUs += us;
    if (stamps[k].id >= firstOff) silentUs += us;
  }
  EXPECT_LE(silentUs * 100, allUs * (kSilentSharePercent + 5));
  EXPECT_GE(silentUs * 100, allUs * (kSilentSharePercent - 10));

  for (CSilentUnit* unit : off) unit->silent = false;
  ASSERT_TRUE(WaitFor([&] {
    CSingleLock lock(h.system.GetLock());
    for (int i = 0; i < c.switchedOff; ++i)
      if (!devices[std::size_t(c.answering + i)]->IsConnected()) return false;
    return true;
  }));
  for (int i = 0; i < c.switchedOff; ++i)
    EXPECT_EQ(h.frame.CountLogLinesStartingWith("Connected to Test Model ID: " + std::to_string(firstOff + i) + "\n"), 2u);
}

INSTANTIATE_TEST_SUITE_P(Units, SwitchedOff, ::testing::ValuesIn(kSwitchedOffCases),
                         [](const auto& info) { return std::string(info.param.name); });

// When the whole line falls silent every unit is marked offline at its sixth missed request, and
// within 8 s on the clock: once two transactions in a row heard nothing every unit still
// connected is asked once, and a breakout box, which asks for its status on every 11th of its
// turns only, is asked for it at once and not left connected while the amplifiers, which ask on
// every turn, miss request after request.
struct DeadLineCase {
  const char* name;
  const char* units;  // the simulator's options, IDs from 1 in order
};

const DeadLineCase kDeadLineCases[] = {
    // The sample system's eleven units.
    {"SampleSystem", "--processor 120:1 --zel-amp 52:2 --zel-break 40:3 --processor 16:4 --zel-break 44:5 "
                     "--zel-amp 56:6 --processor 121:7 --processor 112:8 --processor 17:9 --zel-amp 55:10 "
                     "--zel-break 41:11"},
    // Sixteen: two processors, seven amplifiers, seven breakout boxes.
    {"TwoProcessorsSevenAmplifiersSevenBoxes",
     "--processor 120:1 --processor 16:2 --zel-amp 52:3 --zel-amp 56:4 --zel-amp 55:5 --zel-amp 52:6 "
     "--zel-amp 56:7 --zel-amp 55:8 --zel-amp 52:9 --zel-break 40:10 --zel-break 44:11 --zel-break 41:12 "
     "--zel-break 40:13 --zel-break 44:14 --zel-break 41:15 --zel-break 40:16"},
};

class DeadLine : public WorkerOnTheClock, public ::testing::WithParamInterface<DeadLineCase> {};

TEST_P(DeadLine, EveryUnitGoesOfflineAtItsSixthMissWithinEightSeconds_TheBoxesNotLeftBehind) {
  RegisterAmplifierFamilies();
  RegisterProcessorFamily();
  AddBusTimeOfReadTimeouts([this] { return m_dead.load(); });
  SimOptions options;
  ASSERT_TRUE(ParseSimOptions(SplitSimOptions(GetParam().units), options));
  AddSimUnits(options, h.bus);
  std::vector<CDevice*> devices;
  for (const auto& p : options.processors) devices.push_back(h.system.CreateDevice(p.id, p.type, 0));
  for (const auto& [z, name] : options.zelUnits) devices.push_back(h.system.CreateDevice(z.deviceId, z.typeCode, 0));
  std::sort(devices.begin(), devices.end(), [](CDevice* a, CDevice* b) { return a->GetDeviceId() < b->GetDeviceId(); });
  for (CDevice* device : devices) h.system.AppendDevice(device);
  h.system.SetSystemMonitorVisible(true);
  ASSERT_TRUE(h.StartOnline());
  ASSERT_TRUE(WaitFor([&] { return AllAtLevel(kMaxCommsLevel); }, 120000));

  const std::size_t stampsBefore = Stamps().size();
  const std::int64_t deadAt = m_clock.NowUs();
  m_dead = true;
  h.bus.InjectFaults(SimFault::Silence(), 50000);
  ASSERT_TRUE(WaitFor([&] { return AllAtLevel(0); }, 120000));
  // Each device as the requests found it: offline at its sixth miss; and the first request that
  // found them all offline.
  for (std::size_t i = 0; i < devices.size(); ++i) {
    const std::optional<Stamp> found = FirstFoundOffline(i, stampsBefore);
    ASSERT_TRUE(found.has_value()) << "device " << i;
    EXPECT_EQ(found->levelsAndMisses[i].second, 6u) << "device " << i;
  }
  const std::vector<Stamp> stamps = Stamps();
  std::size_t allOffline = stampsBefore;
  while (allOffline < stamps.size() &&
         std::any_of(stamps[allOffline].levelsAndMisses.begin(), stamps[allOffline].levelsAndMisses.end(),
                     [](const auto& lm) { return lm.first != 0; }))
    ++allOffline;
  ASSERT_LT(allOffline, stamps.size());
  for (std::size_t i = 0; i < devices.size(); ++i)
    EXPECT_LE(stamps[allOffline].levelsAndMisses[i].second, 12u) << "device " << i;
  EXPECT_EQ(h.frame.CountLogLinesStartingWith("Disconnected from "), devices.size());
  // Within 8 s on the clock: at the end of the request before the first that found them all
  // offline.
  EXPECT_LE(stamps[allOffline - 1].us - deadAt, 8000000);
}

INSTANTIATE_TEST_SUITE_P(Buses, DeadLine, ::testing::ValuesIn(kDeadLineCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A unit that answers every request one read late (a busy unit, a long line, a converter): its
// answer comes during the next request's read, so that each of its requests is answered on the
// resend. Beside two units that answer in time, it misses transactions while switched off,
// and, answering late as ever once it is on again, it connects again within 2 s on the clock,
// however it went quiet: off until shown offline, off for one transaction (it then never shows
// offline), off until after going online, or off across Go Offline and Go Online. A processor
// (its probes' answers repeat no header: they are never known for late answers) and a Zel-6
// amplifier (whose late answers are known as such).
enum class ELateQuiet { kUntilOffline, kForOneTransaction, kUntilAfterGoingOnline, kAcrossANewSession };

struct LateUnitCase {
  const char* name;
  bool zel;
  ELateQuiet quiet;
};

const LateUnitCase kLateUnitCases[] = {
    {"ProcessorOffUntilOffline", false, ELateQuiet::kUntilOffline},
    {"ProcessorOffForOneTransaction", false, ELateQuiet::kForOneTransaction},
    {"ProcessorOnOnlyAfterGoingOnline", false, ELateQuiet::kUntilAfterGoingOnline},
    {"ProcessorOffAcrossGoOfflineAndGoOnline", false, ELateQuiet::kAcrossANewSession},
    {"ZelOffUntilOffline", true, ELateQuiet::kUntilOffline},
    {"ZelOffForOneTransaction", true, ELateQuiet::kForOneTransaction},
    {"ZelOnOnlyAfterGoingOnline", true, ELateQuiet::kUntilAfterGoingOnline},
    {"ZelOffAcrossGoOfflineAndGoOnline", true, ELateQuiet::kAcrossANewSession},
};

class LateUnit : public WorkerOnTheClock, public ::testing::WithParamInterface<LateUnitCase> {
 protected:
  static constexpr std::uint8_t kProcessorId = 3;
  static constexpr std::uint32_t kZelId = 103;
  static constexpr std::size_t kLate = 2;  // the late device's index in the list
  // Requests the bus sees before a unit that answers is given up on.
  static constexpr std::size_t kPatience = 3000;

  LateUnit() {
    RegisterAmplifierFamilies();
    RegisterProcessorFamily();
    // Units with a request at every turn: the late unit is never asked twice in a row, so that
    // its answer comes, as a late answer does, before it is asked again.
    for (std::uint8_t id = 1; id <= 2; ++id) AddEchoingDevice(id);
    if (GetParam().zel) {
      SimSecurityConfig config;
      config.typeCode = 55;
      config.deviceId = kZelId;
      m_late = h.bus.Add<CSimSwitchedUnit>(std::make_unique<CSimZelAmpUnit>(config));
      m_device = h.system.CreateDevice(kZelId, 55, 0);
    } else {
      m_late = h.bus.Add<CSimSwitchedUnit>(std::make_unique<CSimProcessorUnit>(120, kProcessorId));
      m_device = h.system.CreateDevice(kProcessorId, 120, 0);
    }
    h.system.AppendDevice(m_device);
    // On this bus a late answer leaves only with the next request, never while the program waits
    // for it; a security pass may then miss one and refuse the unit. It is examined again as soon
    // as it answers.
    CSecurityTimings timings = h.system.GetComms().Security().GetTimings();
    timings.refusedHoldOffMs = 0;
    h.system.GetComms().Security().SetTimingsForTests(timings);
    // Every request to the late unit waits out its read time-out.
    AddBusTime([this](const SimBytes& r) { return ForLateUnit(r); });
  }
  bool ForLateUnit(const SimBytes& r) const {
    if (GetParam().zel) return r.size() > 7 && r[3] == 55 && r[7] == kZelId;
    return (r.size() > 1 && r[0] == 0xB0 && r[1] == kProcessorId) || (r.size() > 4 && r[3] == 120 && r[4] == kProcessorId);
  }
  void AddEchoingDevice(std::uint8_t id) {
    AddPollingDevice(id)->repliesRepeatTheHeader = true;
    SimBytes body{0x10, id, 0x00, CPollingTestDevice::kReadCommand};
    body.resize(CPollingTestDevice::kReplyLength - 4, 0x11);
    units.back()->SetReply(CPollingTestDevice::kReadCommand, body);
  }
  // Waits until the late device has connected, or the bus has seen kPatience more requests.
  bool Connects() {
    const std::size_t until = h.bus.RequestCount() + kPatience;
    WaitFor([&] { return m_device->IsConnected() || h.bus.RequestCount() >= until; }, 120000);
    return m_device->IsConnected();
  }

  CSimSwitchedUnit* m_late = nullptr;
  CDevice* m_device = nullptr;
};

TEST_P(LateUnit, ThatMissesTransactionsIsHeardAgainAndConnectsWithinTwoSecondsOfAnswering) {
  const ELateQuiet quiet = GetParam().quiet;
  const bool offAtFirst = quiet == ELateQuiet::kUntilAfterGoingOnline;
  m_late->SetSilent(offAtFirst);
  // Late from the start when it is off at first; else once it is connected and read out.
  if (offAtFirst) m_late->SetAnswerHeldForRequests(1);
  ASSERT_TRUE(h.StartOnline());
  if (offAtFirst) {
    // Going online, the others connect while it misses request after request.
    ASSERT_TRUE(WaitFor([&] {
      CSingleLock lock(h.system.GetLock());
      return h.system.GetDevice(1)->GetCommsLevel() == kMaxCommsLevel && m_device->GetMissCount() >= 8;
    }, 120000));
  } else {
    ASSERT_TRUE(WaitFor([&] { return AllAtLevel(kMaxCommsLevel) && !m_device->NeedsInitialisation(); }, 120000));
    m_late->SetAnswerHeldForRequests(1);
    if (quiet == ELateQuiet::kForOneTransaction) {
      // The three sends of one transaction go unanswered.
      const std::size_t from = Stamps().size();
      m_late->SetSilentForRequests(3);
      ASSERT_TRUE(FirstFound(kLate, from, [](std::int32_t, std::uint32_t misses) { return misses > 0; }).has_value());
    } else {
      m_late->SetSilent(true);
      ASSERT_TRUE(WaitFor([&] { return m_device->GetCommsLevel() == 0; }, 120000));
    }
  }
  if (quiet == ELateQuiet::kAcrossANewSession) {
    ASSERT_TRUE(h.system.GetComms().RequestIdle());
    ASSERT_TRUE(h.system.GetComms().SetOnline(false));
  }
  const std::size_t stampsOn = Stamps().size();
  const std::int64_t onAt = m_clock.NowUs();
  const std::size_t disconnected = h.frame.CountLogLinesStartingWith("Disconnected from ");
  m_late->SetSilent(false);
  if (quiet == ELateQuiet::kAcrossANewSession) {
    ASSERT_TRUE(h.system.GoOnline(0));
  }

  if (quiet == ELateQuiet::kForOneTransaction) {
    // Never shown offline: back at the top level.
    const std::size_t until = h.bus.RequestCount() + kPatience;
    EXPECT_TRUE(WaitFor([&] { return m_device->GetCommsLevel() == kMaxCommsLevel || h.bus.RequestCount() >= until; },
                        120000) &&
                m_device->GetCommsLevel() == kMaxCommsLevel);
    EXPECT_EQ(h.frame.CountLogLinesStartingWith("Disconnected from "), disconnected);
    return;
  }
  ASSERT_TRUE(Connects());
  const std::optional<Stamp> connected =
      FirstFound(kLate, stampsOn, [](std::int32_t level, std::uint32_t) { return level > kConnectedAbove; });
  ASSERT_TRUE(connected.has_value());
  EXPECT_LE(connected->us - onAt, 2000000);
}

INSTANTIATE_TEST_SUITE_P(Cases, LateUnit, ::testing::ValuesIn(kLateUnitCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A unit that answers every request one read late, on a line that loses 5 % of the answers: now
// and then both sends of one of its transactions lose theirs, and its next request must still
// hear its late answer. Beside two units that answer in time, it stays connected.
TEST_F(WorkerOnTheClock, LateUnitOnALineThatLosesAnswers_StaysConnected) {
  for (std::uint8_t id = 1; id <= 3; ++id) {
    auto* device = new CPollingTestDevice(&h.system, id, &h.frame);
    device->repliesRepeatTheHeader = true;
    h.system.AppendDevice(device);
    auto framed = std::make_unique<CFramedUnit>(id);
    SimBytes body{0x10, id, 0x00, CPollingTestDevice::kReadCommand};
    body.resize(CPollingTestDevice::kReplyLength - 4, 0x11);
    framed->SetReply(CPollingTestDevice::kReadCommand, body);
    // The unit at ID 3 answers each request only during the next one's read.
    h.bus.Add<CSimSwitchedUnit>(std::move(framed))->SetAnswerHeldForRequests(id == 3 ? 1 : 0);
  }
  AddBusTime([](const SimBytes& r) { return r.size() > 4 && r[4] == 3; });
  ASSERT_TRUE(h.StartOnline());
  ASSERT_TRUE(WaitFor([&] { return AllAtLevel(kMaxCommsLevel); }, 120000));
  h.bus.SetAnswerLoss(0.05, 7);
  // A lost answer leaves a watch for it that ends only in time, also when every unit waits: the
  // worker's waits with nothing to send move the clock on.
  m_clock.MoveWithIdleWaits();
  const std::size_t from = h.bus.RequestCount();
  ASSERT_TRUE(h.bus.WaitForRequests(from + 6000, 120000));
  EXPECT_GT(h.bus.LostAnswerCount(), 200u);
  EXPECT_EQ(h.frame.CountLogLinesStartingWith("Disconnected from "), 0u);
}

// A unit whose late answer may still come is passed over while other units can be asked, for as
// long as its own request would wait for that answer (not only one read time-out, here about
// 1.1 s); then it is asked again, and its request no longer waits. One unit's first send goes
// unanswered and its resend is answered after the clock moved 2 s: it is passed over for 2.035 s,
// while the other unit's reads (4 ms each) go on.
TEST_F(WorkerOnTheClock, UnitAwaitedForALateAnswer_IsPassedOverWhileOthersHaveWork_AsLongAsItsRequestWouldWait) {
  h.system.GetComms().GetTransport().SetExtraTimeout(1000);
  h.bus.Add<CClockMover>(m_clock, [this](const SimBytes&) -> std::int64_t {
    const int n = m_sinceFault < 0 ? -1 : m_sinceFault++;
    return n == 0 ? 0 : n == 1 ? 2000000 : kAnsweredUs;  // the silent send, the answered resend
  });
  // Replies that repeat the header: a request to the other unit tells the late answer apart.
  for (std::uint8_t id = 1; id <= 2; ++id) {
    AddPollingDevice(id)->repliesRepeatTheHeader = true;
    SimBytes body{0x10, id, 0x00, CPollingTestDevice::kReadCommand};
    body.resize(CPollingTestDevice::kReplyLength - 4, 0x11);
    units.back()->SetReply(CPollingTestDevice::kReadCommand, body);
  }
  ASSERT_TRUE(h.StartOnline());
  ASSERT_TRUE(WaitFor([&] { return AllAtLevel(kMaxCommsLevel); }));
  // Between two transactions: the next request, whoever it is for, goes unanswered.
  ASSERT_TRUE(h.system.GetComms().RequestIdle());
  const std::size_t before = h.bus.RequestCount();
  h.bus.InjectFault(SimFault::Silence());
  m_sinceFault = 0;
  h.system.GetComms().SetWorkerState(kWorkerOnline);
  ASSERT_TRUE(h.bus.WaitForRequests(before + 520, 20000));
  const std::vector<SimBytes> requests = h.bus.Requests();
  const std::uint8_t awaited = requests[before][4];
  ASSERT_EQ(requests[before + 1][4], awaited);  // the resend
  std::size_t others = 0;
  for (std::size_t k = before + 2; requests[k][4] != awaited; ++k) ++others;
  EXPECT_EQ(others, 509u);  // 509 x 4 ms: the first at or past the 2.035 s
}

// When the awaited unit is the only one with work (alone on the bus, or beside a unit that never
// has anything to send), it is asked all the same; a request of its own that could take the late
// answer waits aside for it, and goes as soon as it has come (the clock held still: not because
// the watch ran out), or, when it never comes, once the watch has run out.
struct AwaitedCase {
  const char* name;
  bool besideAUnitWithoutWork;
  bool lateAnswerComes;
};

class AwaitedUnit : public WorkerOnTheClock, public ::testing::WithParamInterface<AwaitedCase> {};

TEST_P(AwaitedUnit, IsStillAskedWhenNoOtherUnitHasWork) {
  const AwaitedCase& c = GetParam();
  CPollingTestDevice* device = AddPollingDevice(3);
  device->repliesRepeatTheHeader = true;
  units.back()->SetReply(CPollingTestDevice::kReadCommand,
                         {0x10, 0x03, 0x00, CPollingTestDevice::kReadCommand, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16,
                          0x17, 0x18, 0x19, 0x1A, 0x1B, 0x1C});
  if (c.besideAUnitWithoutWork) h.system.AppendDevice(new CTestDevice(&h.system, 4, &h.frame));  // never polls
  ASSERT_TRUE(h.StartOnline());
  ASSERT_TRUE(WaitFor([&] { return device->GetCommsLevel() == kMaxCommsLevel; }));
  // The first send's answer comes late or never; the resend is answered.
  const std::size_t before = h.bus.RequestCount();
  h.bus.InjectFault(c.lateAnswerComes ? SimFault::HeldUntil(0) : SimFault::Silence());
  const int processed = device->processed;
  if (c.lateAnswerComes) {
    ASSERT_TRUE(h.bus.WaitForRequests(before + 2, 20000));
    ASSERT_TRUE(WaitFor([&] { return device->processed > processed; }));
    h.bus.ReleaseHeldAnswers();
  } else {
    m_clock.MoveWithIdleWaits();
  }
  EXPECT_TRUE(WaitFor([&] { return device->processed >= processed + 5; }));
  EXPECT_EQ(device->GetCommsLevel(), kMaxCommsLevel);
  EXPECT_EQ(h.system.GetComms().GetTransport().GetErrorCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, AwaitedUnit,
                         ::testing::Values(AwaitedCase{"AloneItsLateAnswerComing", false, true},
                                           AwaitedCase{"BesideAUnitWithoutWorkItsLateAnswerComing", true, true},
                                           AwaitedCase{"BesideAUnitWithoutWorkItsLateAnswerLost", true, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// A request waiting aside for a late answer names the ID its device had when it was taken; given
// a new ID meanwhile, the device drops it as it drops its queue, and nothing more goes to the old
// ID once the late answer has come.
TEST_F(WorkerOnTheClock, ARequestWaitingAsideIsDroppedWhenItsDeviceGetsANewId) {
  CPollingTestDevice* device = AddPollingDevice(3);
  device->repliesRepeatTheHeader = true;
  units.back()->SetReply(CPollingTestDevice::kReadCommand,
                         {0x10, 0x03, 0x00, CPollingTestDevice::kReadCommand, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16,
                          0x17, 0x18, 0x19, 0x1A, 0x1B, 0x1C});
  ASSERT_TRUE(h.StartOnline());
  ASSERT_TRUE(WaitFor([&] { return device->GetCommsLevel() == kMaxCommsLevel; }));
  // Between two transactions: the next request's answer is held back, its resend is answered,
  // and the request after, which could take the held answer, is made and set aside (the clock
  // held still: the watch stays).
  ASSERT_TRUE(h.system.GetComms().RequestIdle());
  const int polls = device->polls;
  const int made = device->requestsMade;
  h.bus.InjectFault(SimFault::HeldUntil(0));
  h.system.GetComms().SetWorkerState(kWorkerOnline);
  // The request set aside has been made with the old ID.
  ASSERT_TRUE(WaitFor([&] { return device->requestsMade >= made + 2; }));
  const std::size_t aside = h.bus.RequestCount();
  {
    CSingleLock lock(h.system.GetLock());
    GiveDeviceId(device, 5);
  }
  h.bus.ReleaseHeldAnswers();
  ASSERT_TRUE(WaitFor([&] { return device->polls > polls + 2; }));
  ASSERT_TRUE(h.bus.WaitForRequests(aside + 1, 20000));
  const std::vector<SimBytes> requests = h.bus.Requests();
  for (std::size_t k = aside; k < requests.size(); ++k) EXPECT_EQ(requests[k][4], 5) << "request " << k;
}

// Processors whose answers come later than their reads beside others: each late answer is
// booked to the unit that sent it, never to the one being asked. A unit switched off is neither
// named the late unit's model nor heard through the late unit's answers: it goes offline once, in
// its usual time on the clock; and units that are there, late or not, are never set aside, so
// that a "Send" session sends each its file once and a "Retrieve" session reads each once.
class LateProcessors : public WorkerOnTheClock {
 protected:
  LateProcessors() {
    RegisterAmplifierFamilies();
    RegisterProcessorFamily();
  }
  // The device and its unit (a simulated processor of the type at the ID, unless given).
  CSimSwitchedUnit* AddProcessor(int type, std::uint8_t id, std::unique_ptr<CSimUnit> simulated = nullptr) {
    h.system.AppendDevice(h.system.CreateDevice(id, std::uint32_t(type), 0));
    if (!simulated) simulated = std::make_unique<CSimProcessorUnit>(type, id);
    CSimSwitchedUnit* unit = h.bus.Add<CSimSwitchedUnit>(std::move(simulated));
    m_units[id] = unit;
    return unit;
  }
  // Every request to a unit that is off, or whose answers come later than its reads, waits out
  // its read time-out.
  void AddBusTimeOfTheUnits() {
    AddBusTime([this](const SimBytes& r) {
      const BusFrame f = DecodeBusFrame(r);
      const auto unit = m_units.find(std::uint8_t(f.id));
      return unit != m_units.end() && (unit->second->IsSilent() || m_late.count(std::uint8_t(f.id)) != 0);
    });
  }
  // The unit's answers leave when this many more requests have come.
  void MakeLate(std::uint8_t id, std::size_t requests) {
    m_late.insert(id);
    m_units[id]->SetAnswerHeldForRequests(requests);
  }
  bool ReadOut(std::uint8_t id) {
    CSingleLock lock(h.system.GetLock());
    for (CDevice* d : h.system.GetDevices())
      if (d->GetDeviceId() == id) return d->IsConnected() && static_cast<CNerexSeriesDevice*>(d)->AllBlocksReceived();
    return false;
  }
  CDevice* Device(std::uint8_t id) {
    for (CDevice* d : h.system.GetDevices())
      if (d->GetDeviceId() == id) return d;
    return nullptr;
  }
  // Log lines that start so and name the unit at the ID ("Connected to ", "Disconnected from ").
  std::ptrdiff_t UnitLines(const std::string& start, std::uint32_t id) const {
    const std::vector<std::string> lines = h.frame.LogLines();
    const std::string end = " ID: " + std::to_string(id) + "\n";
    return std::count_if(lines.begin(), lines.end(),
                         [&](const std::string& line) { return line.rfind(start, 0) == 0 && line.ends_with(end); });
  }
  void RunOnTheClockFor(std::int64_t us) {
    const std::int64_t until = m_clock.NowUs() + us;
    ASSERT_TRUE(WaitFor([&] { return m_clock.NowUs() >= until; }, 120000));
  }

  std::map<std::uint8_t, CSimSwitchedUnit*> m_units;
  std::set<std::uint8_t> m_late;
};

class SwitchedOffBesideALateUnit : public LateProcessors, public ::testing::WithParamInterface<int> {};

TEST_P(SwitchedOffBesideALateUnit, IsNeitherNamedItsModelNorHeard_AndGoesOfflineOnceInItsUsualTime) {
  const int offType = GetParam();
  CSimSwitchedUnit* off = AddProcessor(offType, 1);
  AddProcessor(120, 4);
  AddProcessor(121, 7);
  AddBusTimeOfTheUnits();
  ASSERT_TRUE(h.StartOnline(0));
  ASSERT_TRUE(WaitFor([&] { return ReadOut(1) && ReadOut(4) && ReadOut(7); }, 120000));
  // The Torvex48 at ID 7 answers each send only after three more requests: it misses request
  // after request, and its answers, its identification among them, come during others' reads.
  MakeLate(7, 3);
  ASSERT_TRUE(WaitFor([&] { return Device(7)->GetCommsLevel() == 0; }, 120000));
  RunOnTheClockFor(2000000);

  const std::size_t stampsBefore = Stamps().size();
  const std::int64_t offAt = m_clock.NowUs();
  off->SetSilent(true);
  ASSERT_TRUE(WaitFor([&] { return !Device(1)->IsConnected(); }, 120000));
  const std::int64_t greenUntil = m_clock.NowUs();
  ASSERT_TRUE(WaitFor([&] { return Device(1)->GetCommsLevel() == 0; }, 120000));
  const std::int64_t offlineAt = m_clock.NowUs();
  RunOnTheClockFor(30000000);

  // Offline at its sixth miss, within the line's goals, and never again lifted by another unit's
  // answer.
  const std::optional<Stamp> offline = FirstFoundOffline(0, stampsBefore);
  ASSERT_TRUE(offline.has_value());
  EXPECT_EQ(offline->levelsAndMisses[0].second, 6u);
  EXPECT_LE(greenUntil - offAt, 1500000);
  EXPECT_LE(offlineAt - offAt, 5000000);
  EXPECT_EQ(UnitLines("Disconnected from ", 1), 1);
  EXPECT_EQ(Device(1)->GetCommsLevel(), 0);
  // Never named the model of the unit whose answers came.
  EXPECT_EQ(h.frame.CountLogLinesStartingWith("ID 1: "), 0u);
  EXPECT_EQ(Device(1)->UnitAtId().GetOtherModelAtId(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Models, SwitchedOffBesideALateUnit, ::testing::Values(120, 121),
                         [](const auto& info) { return info.param == 120 ? std::string("Nerex48") : "Torvex48"; });

class LateUnitsInASession : public LateProcessors, public ::testing::WithParamInterface<std::uint32_t> {};

TEST_P(LateUnitsInASession, AreNeverSetAside_AndGetTheirFileOrAreReadOnce) {
  const std::uint32_t session = GetParam();
  AddProcessor(120, 1);
  AddProcessor(120, 4);
  AddProcessor(121, 7);
  // The Nerex48 at ID 1 answers each send in its next send's read, the Torvex48 at ID 7 only
  // after three more requests.
  MakeLate(1, 1);
  MakeLate(7, 3);
  AddBusTimeOfTheUnits();
  h.system.SetSystemMonitorVisible(true);
  h.system.Settings().SetLogCommsErrors(true);
  // While every unit waits for a late answer, time goes on as on a real line: by the worker's
  // waits with nothing to send.
  m_clock.MoveWithIdleWaits();
  ASSERT_TRUE(h.StartOnline(session));
  ASSERT_TRUE(WaitFor([&] { return ReadOut(1) && ReadOut(4); }, 120000));
  const std::size_t readOut = h.bus.RequestCount();
  ASSERT_TRUE(h.bus.WaitForRequests(readOut + 1500, 120000));

  // Nobody set aside, each connected once.
  for (const char* id : {"1", "4", "7"}) EXPECT_EQ(h.frame.CountLogLinesStartingWith("ID " + std::string(id) + ": "), 0u);
  EXPECT_EQ(UnitLines("Connected to ", 1), 1);
  EXPECT_EQ(UnitLines("Connected to ", 4), 1);
  // One frame a transaction: a request sent again at once is the same transaction's resend.
  const std::vector<SimBytes> requests = h.bus.Requests();
  std::vector<BusFrame> frames;
  for (std::size_t k = 0; k < requests.size(); ++k)
    frames.push_back(k > 0 && requests[k] == requests[k - 1] ? BusFrame{} : DecodeBusFrame(requests[k]));
  auto count = [&](std::uint32_t id, bool write, int command, std::size_t from = 0) {
    return std::count_if(frames.begin() + std::ptrdiff_t(from), frames.end(), [&](const BusFrame& f) {
      return f.id == id && f.write == write && f.command == command && !f.identification;
    });
  };
  // The ID 1 unit answers a send only when the next request comes, however long the line has
  // been quiet: an answer that comes after its watch has ended is taken for junk, and a write
  // whose ACK it pushed back is given up ("No ACK received ... - aborting") and sent again. That
  // resend is the only second clearing a memory may get.
  const std::vector<std::string> lines = h.frame.LogLines();
  auto clearsGivenUp = [&](std::uint32_t id) {
    const std::string start = "No ACK received from device ID " + std::to_string(id) + " ";
    const std::string end = FormatText("Command = 0x%X - aborting", unsigned(kCmdClearMemory));
    return std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
      return line.rfind(start, 0) == 0 && line.find(end) != std::string::npos;
    });
  };
  for (std::uint8_t id : {1, 4, 7}) {
    const auto* device = static_cast<const CNerexSeriesDevice*>(Device(id));
    std::ptrdiff_t empty = 0;
    for (const auto& preset : device->GetPresets()) empty += preset->HoldsAnySection() ? 0 : 1;
    ASSERT_GT(empty, 0);
    // "Send": each empty preset cleared, and once only but for a resend of a clearing given up
    // (ID 7 is never admitted: it gets nothing), and the live settings sent; "Retrieve": nothing
    // written.
    std::set<std::uint32_t> cleared;  // the memory numbers, bytes 7 and 8
    for (std::size_t k = 0; k < frames.size(); ++k)
      if (frames[k].id == id && frames[k].write && frames[k].command == kCmdClearMemory)
        cleared.insert(std::uint32_t(requests[k][7]) << 7 | requests[k][8]);
    EXPECT_EQ(std::ptrdiff_t(cleared.size()), session == 1 && id != 7 ? empty : 0) << "ID " << int(id);
    EXPECT_EQ(count(id, true, kCmdClearMemory), (session == 1 && id != 7 ? empty : 0) + clearsGivenUp(id))
        << "ID " << int(id);
    if (session == 1 && id != 7) {
      EXPECT_GE(count(id, true, kCmdWriteInputs), 1) << "ID " << int(id);
      EXPECT_GE(count(id, true, kCmdWriteOutputs), 1) << "ID " << int(id);
      EXPECT_GE(count(id, true, kCmdNames), 1) << "ID " << int(id);
    }
    if (id == 7) continue;
    // Read out once: no block read of the current settings after the read-out, and the meters
    // polled.
    EXPECT_EQ(count(id, false, kCmdReadInputs, readOut), 0) << "ID " << int(id);
    EXPECT_GT(count(id, false, kCmdMeters, readOut), 20) << "ID " << int(id);
  }
}

INSTANTIATE_TEST_SUITE_P(Sessions, LateUnitsInASession, ::testing::Values(0u, 1u),
                         [](const auto& info) { return info.param == 1 ? std::string("Send") : "Retrieve"; });

// Units whose every answer, ACKs too, leaves 150 or 300 ms after its request on the program's
// clock, later than any of their reads waits (a read time-out: n + max(35, 2n) ms for n bytes),
// beside a processor on time and a processor and a Zel amplifier that are switched off once all
// are read: two Nerex48s 150 and a Torvex48 300 ms late, a Zel-2 150 and a Zel-4 300 ms late. In
// "Send" and in "Retrieve": the late units' late answers, known for theirs, say that they are
// there, so none is said to hold fewer memories than the file or not to hold a change it took;
// the person is told once of each that it answers late, and which settings serve it; and the
// units switched off are shown offline, each at its sixth miss, within 3.5 s on the clock
// however long the turn round the late units make (one late transaction takes up to 216 ms).
class LateUnitsBesideSwitchedOffOnes : public LateProcessors, public ::testing::WithParamInterface<std::uint32_t> {
 protected:
  static constexpr std::int64_t kAnsweredUs = 4000;
  static constexpr std::int64_t kOffUs = 60000;

  CSimSwitchedUnit* AddZel(std::uint8_t type, std::uint8_t id) {
    SimSecurityConfig config;
    config.typeCode = type;
    config.deviceId = id;
    h.system.AppendDevice(h.system.CreateDevice(id, type, 0));
    CSimSwitchedUnit* unit = h.bus.Add<CSimSwitchedUnit>(std::make_unique<CSimZelAmpUnit>(config));
    m_units[id] = unit;
    return unit;
  }
  // The unit's answers leave ms late on the clock.
  void MakeLateBy(std::uint8_t id, std::uint32_t ms) {
    m_late.insert(id);
    m_units[id]->SetAnswerHeldMs(ms);
  }
  // Each request costs the clock what the transport waits for it: a late unit's its read
  // time-out, an answer in time 4 ms, a unit switched off a 20-byte read's read time-out.
  void AddBusTimeOfReadTimeouts() {
    h.bus.SetHeldAnswerClock([this] { return m_clock.NowUs(); });
    h.bus.SetAnswerWatcher([this](const SimBytes& r, const SimBytes& answer) {
      const BusFrame f = DecodeBusFrame(r);
      const std::int64_t n = std::int64_t(answer.size());
      std::int64_t us = kAnsweredUs;
      if (answer.empty()) us = kOffUs;
      else if (m_late.count(std::uint8_t(f.id)) != 0) us = (n + std::max<std::int64_t>(35, 2 * n)) * 1000;
      m_clock.AdvanceUs(Note(r, us, us != kAnsweredUs));
    });
  }
  std::size_t Index(std::uint8_t id) {
    const std::vector<CDevice*> devices = h.system.GetDevices();
    for (std::size_t i = 0; i < devices.size(); ++i)
      if (devices[i]->GetDeviceId() == id) return i;
    return devices.size();
  }
};

TEST_P(LateUnitsBesideSwitchedOffOnes, AreNotTakenForAbsentOrForgetful_AndTheOthersGoOfflineAtTheirOwnPace) {
  const std::uint32_t session = GetParam();
  AddProcessor(120, 1);
  AddProcessor(120, 2);
  AddProcessor(16, 3);
  AddZel(52, 4);
  AddZel(53, 5);
  AddZel(51, 6);
  AddProcessor(121, 7);
  AddBusTimeOfReadTimeouts();
  h.system.SetSystemMonitorVisible(true);
  h.system.Settings().SetLogCommsErrors(true);
  m_clock.MoveWithIdleWaits();
  MakeLateBy(1, 150);
  MakeLateBy(6, 150);
  MakeLateBy(5, 300);
  MakeLateBy(7, 300);
  ASSERT_TRUE(h.StartOnline(session));
  ASSERT_TRUE(WaitFor([&] {
    CSingleLock lock(h.system.GetLock());
    return ReadOut(2) && ReadOut(3) && Device(4)->GetCommsLevel() == kMaxCommsLevel;
  }, 120000));
  RunOnTheClockFor(20000000);

  const std::size_t stampsBefore = Stamps().size();
  const std::int64_t offAt = m_clock.NowUs();
  const std::ptrdiff_t disconnected[] = {UnitLines("Disconnected from ", 2), UnitLines("Disconnected from ", 4)};
  m_units[2]->SetSilent(true);
  m_units[4]->SetSilent(true);
  for (const std::uint8_t off : {2, 4}) {
    ASSERT_TRUE(WaitFor([&] { return Device(off)->GetCommsLevel() == 0; }, 120000));
    const std::optional<Stamp> offline = FirstFoundOffline(Index(off), stampsBefore);
    ASSERT_TRUE(offline.has_value());
    EXPECT_EQ(offline->levelsAndMisses[Index(off)].second, 6u) << "ID " << int(off);
    EXPECT_LE(offline->us - offAt, 3500000) << "ID " << int(off);
  }
  // Each of the late Nerex48's memories is passed by only after three reads missed it, the unit
  // probed between them at its own pace: its read-out takes about a minute on the clock.
  auto readOut = [&] {
    CSingleLock lock(h.system.GetLock());
    return static_cast<CNerexSeriesDevice*>(Device(1))->AllBlocksReceived();
  };
  RunOnTheClockFor(40000000);
  for (int more = 0; session == 0 && more < 16 && !readOut(); ++more) RunOnTheClockFor(5000000);

  const std::vector<std::string> lines = h.frame.LogLines();
  auto linesWith = [&](const std::string& part) {
    return std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(part) != std::string::npos; });
  };
  // Memories answered only late are passed by and named, the file keeping them: the late Nerex48
  // is read out in "Retrieve" (the Torvex48, whose probes too are answered only late, stays away).
  EXPECT_EQ(linesWith("the unit holds"), 0);
  EXPECT_EQ(linesWith("the unit may not hold that change"), 0);
  EXPECT_LE(linesWith("Preset memories of " + Device(1)->GetUnitText() +
                      " answered later than the read time-out, not read - the file keeps them: "),
            2);
  if (session == 0) {
    EXPECT_TRUE(readOut());
  }
  for (const std::uint8_t id : {1, 5, 6, 7}) {
    // Said once, with the unit as it was known then: in "Retrieve" the read-out may name it later.
    const std::string unit = Device(id)->GetUnitText();
    EXPECT_EQ(linesWith(" ID: " + std::to_string(id) + " answers later than the read time-out, about "), 1) << unit;
    EXPECT_NE(Device(id)->UnitAtId().GetLineNotes().find("\"CommsTimeoutConstant\" at "), std::string::npos) << unit;
  }
  for (const std::uint8_t id : {2, 3, 4}) EXPECT_EQ(linesWith(" ID: " + std::to_string(id) + " answers later"), 0);
  EXPECT_EQ(UnitLines("Disconnected from ", 2), disconnected[0] + 1);
  EXPECT_EQ(UnitLines("Disconnected from ", 4), disconnected[1] + 1);
}

INSTANTIATE_TEST_SUITE_P(Sessions, LateUnitsBesideSwitchedOffOnes, ::testing::Values(0u, 1u),
                         [](const auto& info) { return info.param == 1 ? std::string("Send") : "Retrieve"; });

// Two devices of the file whose units both answer what one of them is sent: a Zel-4 at 300 beside
// a Nerex24 at 300, whose unit answers the long-ID probe of 300 that is the Zel unit's identity
// query; and a Nerex48 at 44 beside a Nerex48 at 300, left out as its frames carry 44 too. Both
// units are on the line, so that the answers to the first device's requests garble each other
// and it never connects: it is known for the clash, naming the other device, and is asked no more
// often than a device whose unit is absent (at ID 9), not at every turn; the other units are
// served.
struct AddressClashCase {
  const char* name;
  std::uint32_t type, id;            // the device that cannot connect
  std::uint32_t otherType, otherId;  // the device whose unit answers it too
  const char* note;
};

const AddressClashCase kAddressClashCases[] = {
    {"ZelAtAProcessorsLongId", 53, 300, 114, 300,
     "Address clash: its identity query is also answered by Nerex24 ID: 300"},
    {"BesideOneLeftOutForItsLowByte", 120, 44, 120, 300,
     "Address clash: its frames are also answered by Nerex48 ID: 300 (left out)"},
};

class AddressClash : public LateProcessors, public ::testing::WithParamInterface<AddressClashCase> {};

TEST_P(AddressClash, IsNamed_AndTheDeviceIsAskedAsRarelyAsOneWhoseUnitIsAbsent) {
  const AddressClashCase& c = GetParam();
  auto add = [&](std::uint32_t type, std::uint32_t id) {
    CDevice* device = h.system.CreateDevice(id, type, 0);
    h.system.AppendDevice(device);
    if (type == 53) {
      SimSecurityConfig config;
      config.typeCode = std::uint8_t(type);
      config.deviceId = id;
      h.bus.Add<CSimZelAmpUnit>(config);
    } else {
      h.bus.Add<CSimProcessorUnit>(int(type), id)->SetAnswersLongIdProbe(true);
    }
    return device;
  };
  // The earlier of two devices that share their frames keeps them.
  CDevice* clashing = add(c.type, c.id);
  CDevice* other = add(c.otherType, c.otherId);
  add(120, 4);
  CDevice* absent = h.system.CreateDevice(9, 120, 0);
  h.system.AppendDevice(absent);
  // A request answered costs 4 ms on the clock, one met by silence 60.
  h.bus.SetAnswerWatcher([this](const SimBytes& r, const SimBytes& answer) {
    m_clock.AdvanceUs(Note(r, answer.empty() ? 60000 : 4000, answer.empty()));
  });
  h.system.SetSystemMonitorVisible(true);
  m_clock.MoveWithIdleWaits();
  ASSERT_TRUE(h.StartOnline(0));
  EXPECT_EQ(clashing->UnitAtId().GetAddressClashNote(), c.note);
  EXPECT_FALSE(other->UnitAtId().HasAddressClash());
  ASSERT_TRUE(WaitFor([&] { return ReadOut(4) && (other->AddressRules().IsLeftOut() || other->IsConnected()); }, 120000));
  RunOnTheClockFor(2000000);
  const std::size_t from = h.bus.RequestCount();
  RunOnTheClockFor(10000000);
  const std::vector<SimBytes> requests = h.bus.Requests();
  const SimBytes probe = c.type == 53 ? SimBytes{0xB0, 0x00, 0x00, 0x02, 0x2C} : SimBytes{0xB0, 0x2C};
  // Transactions: a request sent again at once is the same one's resend.
  auto asked = [&](const SimBytes& frame) {
    std::ptrdiff_t n = 0;
    for (std::size_t k = from; k < requests.size(); ++k) n += requests[k] == frame && requests[k - 1] != frame ? 1 : 0;
    return n;
  };
  const std::ptrdiff_t clashingAsked = asked(probe);
  const std::ptrdiff_t absentAsked = asked(SimBytes{0xB0, 0x09});
  EXPECT_FALSE(clashing->IsConnected());
  EXPECT_GT(absentAsked, 0);
  EXPECT_LE(clashingAsked, absentAsked + 2);
  EXPECT_GT(count_if(requests.begin() + std::ptrdiff_t(from), requests.end(),
                     [](const SimBytes& r) { return r.size() > 4 && r[0] == 0xF0 && r[4] == 4; }),
            100);
}

INSTANTIATE_TEST_SUITE_P(Pairs, AddressClash, ::testing::ValuesIn(kAddressClashCases),
                         [](const auto& info) { return std::string(info.param.name); });

// "Ignore Device When Online" while the unit's replies are on their way: whenever the window
// thread ignores it, between any two hand-overs, it drops off and stays off, at level 0, however
// many replies come after; taken up again, it connects as at going online.
TEST_F(LateProcessors, IgnoringAUnit_RepliesHandedOverAsItDropsOffLeaveItUnconnected) {
  AddProcessor(120, 1);
  AddProcessor(120, 4);
  ASSERT_TRUE(h.StartOnline(0));
  ASSERT_TRUE(WaitFor([&] { return ReadOut(1) && ReadOut(4); }, 120000));
  CDevice* device = Device(1);
  for (int round = 0; round < 40; ++round) {
    device->ToggleIgnored();
    ASSERT_TRUE(h.bus.WaitForRequests(h.bus.RequestCount() + 4, 120000));
    {
      CSingleLock lock(h.system.GetLock());
      ASSERT_FALSE(device->IsConnected()) << "round " << round;
      ASSERT_EQ(device->GetCommsLevel(), 0) << "round " << round;
    }
    device->ToggleIgnored();
    ASSERT_TRUE(WaitFor([&] { return ReadOut(1); }, 120000)) << "round " << round;
  }
  EXPECT_EQ(UnitLines("Disconnected from ", 1), 40);
}

// A unit that answers as the one it wraps, except for the requests a test takes while it is
// armed: the function sees each request with the wrapped unit's answer, may change the answer, and
// returns whether it has done with it (the unit is then disarmed). It runs on the bus thread.
class CInterceptedUnit : public CSimUnit {
 public:
  using Intercept = std::function<bool(const BusFrame& request, SimAnswer& answer)>;
  explicit CInterceptedUnit(std::unique_ptr<CSimUnit> unit) : m_unit(std::move(unit)) {}
  std::size_t RequestLength(const SimBytes& bytes) const override { return m_unit->RequestLength(bytes); }
  SimHeader Header() const override { return m_unit->Header(); }
  SimAnswer Handle(const SimBytes& request) override {
    SimAnswer answer = m_unit->Handle(request);
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_intercept && m_intercept(DecodeBusFrame(request), answer)) m_intercept = nullptr;
    return answer;
  }
  void Arm(Intercept intercept) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_intercept = std::move(intercept);
  }

 private:
  std::unique_ptr<CSimUnit> m_unit;
  std::mutex m_mutex;
  Intercept m_intercept;
};

// A person's change of a level of the device, to its lowest or highest value; false when refused.
bool ChangeLevel(CDevice& device, bool highest) {
  CParamInfo any;
  any.name = "NULL";
  std::vector<CParamInfo> all;
  device.ListMatchingParameters(any, all);
  for (const CParamInfo& info : all) {
    if (info.kind != ParamKind::kLevel || (info.options & kParamOptionReadOnly)) continue;
    return device.Gate().ApplyUserChange(CParamValue(info.id, highest ? info.maximum : info.minimum, ParamKind::kLevel));
  }
  return false;
}

// A Nerex48 at ID 1 whose answers a test may take (CInterceptedUnit) beside one at ID 4 that
// answers as ever, online in the session and read out, the System Monitor shown.
class InterceptedNerex : public LateProcessors {
 protected:
  CInterceptedUnit* GoOnlineWithAnInterceptedNerex48(std::uint32_t session) {
    auto intercepted = std::make_unique<CInterceptedUnit>(std::make_unique<CSimProcessorUnit>(120, 1));
    CInterceptedUnit* unit = intercepted.get();
    AddProcessor(120, 1, std::move(intercepted));
    AddProcessor(120, 4);
    AddBusTimeOfTheUnits();
    h.system.SetSystemMonitorVisible(true);
    EXPECT_TRUE(h.StartOnline(session));
    EXPECT_TRUE(WaitFor([&] { return ReadOut(1) && ReadOut(4) && Device(1)->Queue().GetQueueSize() == 0; }, 120000));
    return unit;
  }
};

class StrayReplyOfAnotherModel : public InterceptedNerex, public ::testing::WithParamInterface<std::uint32_t> {};

// One reply of another model's type comes at the ID of a unit that is there, as a person's change
// is on its way: the device is set aside, and taken up at the next answer of its own unit. The
// unit never left: the change that waited reaches it, the file is not sent to it again in a "Send"
// session, nor is it read out again in a "Retrieve" session.
TEST_P(StrayReplyOfAnotherModel, KeepsThePersonsChange_AndSendsOrReadsNothingAgain) {
  const std::uint32_t session = GetParam();
  CInterceptedUnit* unit = GoOnlineWithAnInterceptedNerex48(session);
  ASSERT_FALSE(HasFailure());

  // The next meter read is answered by the Nerex48's reply with a Torvex48's type in byte 3, the
  // ID and command repeated, well summed; a person changes a level of it as that read comes.
  CDevice* device = Device(1);
  std::atomic<bool> changed{false};
  CControlMessage change;
  const std::size_t armedAt = h.bus.RequestCount();
  unit->Arm([&](const BusFrame& f, SimAnswer& answer) {
    if (f.write || f.command != kCmdMeters || answer.kind != SimAnswer::Kind::kBytes) return false;
    answer.bytes[3] = 121;
    answer.bytes.back() = Checksum7Bit(answer.bytes.data(), answer.bytes.size() - 1);
    EXPECT_TRUE(ChangeLevel(*device, false));
    EXPECT_TRUE(device->Queue().PeekQueuedMessage(0, change));
    changed = true;
    return true;
  });
  ASSERT_TRUE(WaitFor([&] { return changed.load(); }, 60000));
  ASSERT_TRUE(WaitFor([&] { return h.frame.CountLogLinesStartingWith("ID 1: the unit is a Nerex48 again") == 1; }, 60000));
  ASSERT_TRUE(WaitFor([&] { return device->IsConnected() && device->Queue().GetQueueSize() == 0; }, 60000));
  const std::size_t takenUp = h.bus.RequestCount();
  ASSERT_TRUE(h.bus.WaitForRequests(takenUp + 200, 60000));

  EXPECT_EQ(h.frame.CountLogLinesStartingWith(
                "ID 1: the file has a Nerex48, the unit is a Torvex48 - nothing is sent to that unit or read from it"),
            1u);
  const std::vector<SimBytes> requests = h.bus.Requests();
  const SimBytes changeFrame(change.frame, change.frame + change.FrameBytes());
  EXPECT_EQ(std::count(requests.begin() + std::ptrdiff_t(armedAt), requests.end(), changeFrame), 1);
  const std::vector<BusFrame> since = DecodeBusFrames(requests, armedAt);
  // Nothing of the file sent again, nothing read out again: only meters and status.
  for (const BusFrame& f : since) {
    if (f.id != 1 || f.identification) continue;
    EXPECT_TRUE(f.write ? f.command == change.frame[6] : f.command == kCmdMeters || f.command == kCmdMeterPage)
        << DescribeBusFrames({f});
  }
  EXPECT_EQ(UnitLines("Connected to ", 1), 2);
}

INSTANTIATE_TEST_SUITE_P(Sessions, StrayReplyOfAnotherModel, ::testing::Values(0u, 1u),
                         [](const auto& info) { return info.param == 1 ? std::string("Send") : "Retrieve"; });

// A person's change whose write gets no ACK (three bytes of another unit's answer where the ACK
// should be, or silence at each of its sends) goes again at the device's next turn, as a read that
// went unanswered is asked again, and the unit acknowledges it; a newer value of the setting made
// meanwhile goes instead. One the unit never acknowledges while it answers the rest goes in three
// transactions in all, and the log says that the unit may not hold it.
enum class EWriteFault { kJunk, kSilence, kJunkThenANewerValue, kNeverAcknowledged };

struct WriteCase {
  const char* name;
  EWriteFault fault;
  int transactions;  // of the change's write
};

const WriteCase kWriteCases[] = {
    {"JunkWhereTheAckShouldBe", EWriteFault::kJunk, 2},
    {"SilenceAtEverySend", EWriteFault::kSilence, 2},
    {"JunkThenANewerValueOfTheSetting", EWriteFault::kJunkThenANewerValue, 1},
    {"NeverAcknowledged", EWriteFault::kNeverAcknowledged, int(COutgoingQueue::kMaxWriteTries)},
};

class WriteWithoutAck : public InterceptedNerex, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(WriteWithoutAck, GoesAgainUntilTheUnitAcknowledgesIt_UnlessANewerValueWaits) {
  const WriteCase& c = GetParam();
  CInterceptedUnit* unit = GoOnlineWithAnInterceptedNerex48(0);
  ASSERT_FALSE(HasFailure());
  CDevice* device = Device(1);

  // The change's write is met as the case says, on the bus thread; its frame is kept.
  SimBytes first;
  int faulted = 0;
  unit->Arm([&](const BusFrame& f, SimAnswer& answer) {
    if (!f.write) return false;
    const int sends = c.fault == EWriteFault::kSilence ? 3 : 1;
    answer = c.fault == EWriteFault::kSilence || c.fault == EWriteFault::kNeverAcknowledged
                 ? SimAnswer::Silence()
                 : SimAnswer::Bytes({0x55, 0x56, 0x57});
    if (c.fault == EWriteFault::kJunkThenANewerValue) {
      EXPECT_TRUE(ChangeLevel(*device, true));
    }
    return c.fault != EWriteFault::kNeverAcknowledged && ++faulted == sends;
  });
  const std::size_t from = h.bus.RequestCount();
  {
    CSingleLock lock(h.system.GetLock());
    ASSERT_TRUE(ChangeLevel(*device, false));
    CControlMessage write;
    ASSERT_TRUE(device->Queue().PeekQueuedMessage(0, write));
    first.assign(write.frame, write.frame + write.FrameBytes());
  }
  auto transactionsOf = [&](const SimBytes& frame) {
    // Sends in a row are one transaction's.
    const std::vector<SimBytes> requests = h.bus.Requests();
    int n = 0;
    for (std::size_t k = from; k < requests.size(); ++k)
      if (requests[k] == frame && requests[k - 1] != frame) ++n;
    return n;
  };
  auto writesToTheUnit = [&] {
    std::vector<SimBytes> out;
    const std::vector<SimBytes> requests = h.bus.Requests();
    for (std::size_t k = from; k < requests.size(); ++k) {
      const BusFrame f = DecodeBusFrame(requests[k]);
      if (f.write && f.id == 1 && requests[k] != requests[k - 1]) out.push_back(requests[k]);
    }
    return out;
  };
  const std::size_t writes = c.fault == EWriteFault::kJunkThenANewerValue ? 2 : std::size_t(c.transactions);
  ASSERT_TRUE(WaitFor([&] { return device->Queue().GetQueueSize() == 0 && writesToTheUnit().size() >= writes; }, 60000));
  ASSERT_TRUE(h.bus.WaitForRequests(h.bus.RequestCount() + 100, 60000));
  EXPECT_EQ(transactionsOf(first), c.transactions);
  EXPECT_EQ(h.frame.CountLogLinesStartingWith("No ACK from device ID 1"), c.fault == EWriteFault::kNeverAcknowledged ? 1u : 0u);
  const std::vector<SimBytes> sent = writesToTheUnit();
  ASSERT_EQ(sent.size(), writes);
  if (c.fault == EWriteFault::kNeverAcknowledged) {
    EXPECT_EQ(h.frame.CountLogLinesStartingWith(FormatText(
                  "No ACK from device ID 1 for command 0x%X after 3 tries - the unit may not hold that change",
                  unsigned(first[6]))),
              1u);
  } else if (c.fault == EWriteFault::kJunkThenANewerValue) {
    // The newer value went instead, once.
    EXPECT_NE(sent.back(), first);
    EXPECT_EQ(transactionsOf(sent.back()), 1);
  }
}

INSTANTIATE_TEST_SUITE_P(Faults, WriteWithoutAck, ::testing::ValuesIn(kWriteCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A "Send" session over a line that loses a share of the ACKs (each write taken by its unit, its
// ACK lost), going online as the Online command does: the security step first, the units it has
// settled sent their file while it pauses. Every write reaches its unit, whenever its ACK is lost
// and whatever waits for that lost ACK's watch: each unit ends holding every setting of the file
// that the session sends (its preset memories cleared where the file's are empty), and no log
// line says that a unit may not hold a change.
struct LostAckCase {
  const char* name;
  double loss;
  std::uint32_t seed;
  friend void PrintTo(const LostAckCase& c, std::ostream* os) { *os << c.name; }
};

const LostAckCase kLostAckCases[] = {
    {"TenPercentSeed1", 0.10, 1},       {"TenPercentSeed3", 0.10, 3},     {"TenPercentSeed9", 0.10, 9},
    {"FifteenPercentSeed17", 0.15, 17}, {"TwentyPercentSeed4", 0.20, 4}, {"TwentyPercentSeed19", 0.20, 19},
};

class SendWhileAcksAreLost : public CommsWorkerTest, public ::testing::WithParamInterface<LostAckCase> {
 protected:
  SendWhileAcksAreLost() {
    RegisterAmplifierFamilies();
    RegisterProcessorFamily();
  }
  // What a processor's unit is to hold: the file's settings as they are before going online.
  struct ProcessorFile {
    CNerexSeriesDevice* device;
    CSimProcessorUnit* unit;
    CNerexSeriesMemory current;
    std::string name;
    NerexGeneralSettings general;
    std::size_t presets;
  };
  // Every setting of the file the unit does not hold, named.
  static std::vector<std::string> Differences(const ProcessorFile& f) {
    std::vector<std::string> out;
    const int model = f.device->GetModel();
    const std::string unit = "ID " + std::to_string(f.device->GetDeviceId()) + " ";
    const CNerexSeriesMemory held = f.unit->Current();
    for (int block : {kBlockInputs, kBlockOutputs, kBlockGeq, kBlockDeq})
      if (BuildBlockWritePayload(block, held, model, 0, 0) != BuildBlockWritePayload(block, f.current, model, 0, 0))
        out.push_back(unit + "block " + std::to_string(block));
    for (int i = 0; i < GetInputCount(model); ++i)
      if (held.inputs.names[std::size_t(i)] != f.current.inputs.names[std::size_t(i)])
        out.push_back(unit + "input name " + std::to_string(i));
    for (int o = 0; o < GetOutputCount(model); ++o)
      if (held.outputs.names[std::size_t(o)] != f.current.outputs.names[std::size_t(o)])
        out.push_back(unit + "output name " + std::to_string(o));
    if (f.unit->DeviceName() != f.name) out.push_back(unit + "name");
    for (std::size_t n = 1; n <= f.presets; ++n)
      if (f.unit->Preset(n).HoldsAnySection()) out.push_back(unit + "memory " + std::to_string(n));
    if (IsFennickModel(model)) {
      const std::array<std::uint8_t, 20> general = f.unit->GeneralSettings();
      for (std::size_t i = NerexGeneralSettings::kSecurityCodeLow; i < NerexGeneralSettings::kSize; ++i)
        if (general[i] != f.general.bytes[i]) out.push_back(unit + "general byte " + std::to_string(i));
    }
    return out;
  }
};

TEST_P(SendWhileAcksAreLost, EveryUnitEndsHoldingTheFile) {
  const LostAckCase& c = GetParam();
  // A Fennick, a Zel-Fennick, a Nerex48 and a Torvex48, each holding settings of its own and a
  // stored preset in every memory; a Zel-6 amplifier and an XB-16 box with settings of their own.
  std::vector<ProcessorFile> processors;
  std::uint32_t id = 1;
  for (int model : {16, 17, 120, 121}) {
    auto* device = static_cast<CNerexSeriesDevice*>(h.system.CreateDevice(id, std::uint32_t(model), 0));
    h.system.AppendDevice(device);
    NameDevice(device, "Unit " + std::to_string(id));
    auto* unit = h.bus.Add<CSimProcessorUnit>(model, id);
    unit->SetCurrent(MakeRandomImage(c.seed * 10 + id));
    const std::size_t presets = device->GetPresets().size();
    ASSERT_GT(presets, 0u);
    unit->SetPresetCount(presets);
    for (std::size_t n = 1; n <= presets; ++n) {
      CNerexSeriesMemory stored = MakeRandomImage(unsigned(n));
      stored.sectionFlags = kSectionAll;
      unit->SetPreset(n, stored);
    }
    std::array<std::uint8_t, 20> general{};
    for (std::size_t i = 0; i < general.size(); ++i) general[i] = std::uint8_t(0x11 + i);
    unit->SetGeneralSettings(general);
    CSingleLock lock(h.system.GetLock());
    processors.push_back({device, unit, device->GetCurrentSettings(), device->GetName(), device->GetGeneralSettings(),
                          presets});
    ++id;
  }
  SimSecurityConfig config;
  config.typeCode = 55;
  config.deviceId = 10;
  auto* amp = static_cast<CZelSeriesDevice*>(h.system.CreateDevice(10, 55, 0));
  h.system.AppendDevice(amp);
  CSimZelAmpUnit* ampUnit = h.bus.Add<CSimZelAmpUnit>(config);
  ampUnit->Update([](SimZelAmpState& s) {
    s.gainIndex = {9, 10, 11, 12};
    s.muteMask = 0x0A;
    s.mode = 3;
    s.powerOnDelay = 5;
    s.gpio = 0x15;
    s.statusFlags = 0x28;
    s.alarmTemperature = 70;
    s.impedanceWindow = {3, 4, 5, 6};
  });
  config.typeCode = 41;
  config.deviceId = 11;
  auto* box = static_cast<CZelBreakDevice*>(h.system.CreateDevice(11, 41, 0));
  h.system.AppendDevice(box);
  CSimZelBreakUnit* boxUnit = h.bus.Add<CSimZelBreakUnit>(config);
  boxUnit->Update([](SimZelBreakState& s) {
    for (std::size_t ch = 0; ch < s.gains.size(); ++ch) s.gains[ch] = std::uint8_t(3 + ch);
    s.muteMask = 0x5A5A;
    s.gpio = 0x21;
  });

  // As the Online command goes online: the security step first; while it pauses, the units it
  // has settled are served.
  CSecurityTimings timings = h.system.GetComms().Security().GetTimings();
  timings.messagePauseMs = 200;
  h.system.GetComms().Security().SetTimingsForTests(timings);
  h.system.GetComms().SetNeedSecurityGet(true);
  h.bus.SetAckLoss(c.loss, c.seed);
  ASSERT_TRUE(h.StartOnline(1));
  ASSERT_TRUE(WaitFor(
      [&] {
        CSingleLock lock(h.system.GetLock());
        for (const ProcessorFile& f : processors)
          if (!f.device->IsConnected() || f.device->Queue().GetQueueSize() != 0 || !f.device->AllBlocksReceived()) return false;
        return amp->IsConnected() && amp->Queue().GetQueueSize() == 0 && amp->IsReadOutComplete() && box->IsConnected() &&
               box->Queue().GetQueueSize() == 0 && box->IsReadOutComplete();
      },
      120000));
  EXPECT_GT(h.bus.LostAckCount(), 0u);

  // The worker goes on polling meanwhile: what the devices hold is read under the system's lock.
  CSingleLock lock(h.system.GetLock());
  std::vector<std::string> differences;
  for (const ProcessorFile& f : processors)
    for (const std::string& d : Differences(f)) differences.push_back(d);
  const SimZelAmpState a = ampUnit->State();
  for (int ch = 0; ch < amp->GetChannelCount(); ++ch)
    if (a.gainIndex[std::size_t(ch)] != amp->GetGainIndex(ch)) differences.push_back("ID 10 gain " + std::to_string(ch));
  for (int ch = 0; ch < 4; ++ch)
    if (a.impedanceWindow[std::size_t(ch)] != amp->GetImpedanceWindow(ch))
      differences.push_back("ID 10 window " + std::to_string(ch));
  if (a.muteMask != amp->GetMuteMask()) differences.push_back("ID 10 mutes");
  if (a.mode != amp->GetMode()) differences.push_back("ID 10 mode");
  if (a.powerOnDelay != amp->GetPowerOnDelay()) differences.push_back("ID 10 power-on delay");
  if (a.gpio != amp->GetGpio().Byte() || (a.statusFlags >> 3 & 0x0F) != (amp->GetStatusFlags() >> 3 & 0x0F))
    differences.push_back("ID 10 GPIO");
  // A threshold the units do not take is never sent: the unit keeps its own.
  if (IsZelAlarmTemperatureTaken(amp->GetAlarmTemperature()) && a.alarmTemperature != amp->GetAlarmTemperature())
    differences.push_back("ID 10 alarm temperature");
  const SimZelBreakState b = boxUnit->State();
  for (int ch = 0; ch < box->GetChannelCount(); ++ch)
    if (b.gains[std::size_t(ch)] != box->GetGain(ch)) differences.push_back("ID 11 gain " + std::to_string(ch));
  if (b.muteMask != box->GetMuteMask()) differences.push_back("ID 11 mutes");
  if (b.gpio != box->GetGpioByte()) differences.push_back("ID 11 GPIO");
  EXPECT_TRUE(differences.empty()) << ::testing::PrintToString(differences);
  EXPECT_EQ(h.frame.CountLogLinesStartingWith("No ACK from device ID"), 0u);
}

INSTANTIATE_TEST_SUITE_P(Seeds, SendWhileAcksAreLost, ::testing::ValuesIn(kLostAckCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A Torvex48 answers at the ID of a Nerex48 of the file that could not be connected at going
// online, while that device waits out its hold-off before its next security step: its first
// answer to the device's probe names it, and the device is set aside there and then, rather than
// left to say only "Cannot connect". Nothing but the probe goes to the ID meanwhile.
TEST_F(LateProcessors, AnotherModelAnsweringBeforeTheSecurityStepIsNamedAtItsFirstAnswer) {
  CSimSwitchedUnit* own = AddProcessor(120, 3);
  own->SetSilent(true);
  CSimSwitchedUnit* other = h.bus.Add<CSimSwitchedUnit>(std::make_unique<CSimProcessorUnit>(121, 3));
  other->SetSilent(true);
  AddProcessor(120, 4);
  CSecurityTimings timings = h.system.GetComms().Security().GetTimings();
  timings.refusedHoldOffMs = 600000;
  h.system.GetComms().Security().SetTimingsForTests(timings);
  AddBusTimeOfTheUnits();
  ASSERT_TRUE(h.StartOnline(0));
  ASSERT_TRUE(WaitFor([&] { return ReadOut(4) && h.frame.CountLogLinesStartingWith("Cannot connect to Nerex48 ID 3") == 1; },
                      60000));

  const std::size_t on = h.bus.RequestCount();
  other->SetSilent(false);
  ASSERT_TRUE(WaitFor([&] { return Device(3)->UnitAtId().GetOtherModelAtId() == 121; }, 60000));
  EXPECT_EQ(h.frame.CountLogLinesStartingWith(
                "ID 3: the file has a Nerex48, the unit is a Torvex48 - nothing is sent to that unit or read from it"),
            1u);
  for (const BusFrame& f : DecodeBusFrames(h.bus.Requests(), on)) {
    if (f.id == 3) {
      EXPECT_TRUE(f.identification) << DescribeBusFrames({f});
    }
  }
  EXPECT_FALSE(Device(3)->NeedsInitialisation());
  EXPECT_FALSE(Device(3)->IsConnected());
}

// Global Mute and Unmute pressed one after the other while online on a pseudo-terminal, the
// simulated bus on its master side and a unit polled beside: every one of the 19 broadcast frames
// of every press reaches the line. Each frame is done the moment it is written, and the line's
// output is never purged under it.
TEST(GlobalMuteOnAPseudoTerminal, EveryFrameOfEveryPressReachesTheBus) {
  constexpr std::uint32_t kPort = 13;
  constexpr int kPresses = 6;
  auto wire = std::make_unique<CPtyWire>();
  ASSERT_TRUE(wire->IsValid());
  ASSERT_TRUE(LinkComPort(kPort, wire->SlavePath()));
  CSimBus bus(std::move(wire));
  bus.Add<CFramedUnit>(std::uint8_t(3))->SetReplyLength(CPollingTestDevice::kReadCommand, CPollingTestDevice::kReplyLength);
  bus.SetPacing(57600);
  CTestFrame frame;
  CSystem system;
  CSecurityTimings timings;
  timings.dialogOpenTimeoutMs = 0;
  timings.messagePauseMs = 0;
  system.GetComms().Security().SetTimingsForTests(timings);
  system.AppendDevice(new CPollingTestDevice(&system, 3, &frame));
  bus.Start();
  system.Start(&frame);
  system.Settings().SetComPort(kPort);
  system.Settings().SetBaudRate(57600);
  ASSERT_TRUE(system.GoOnline(0));
  // Whole mute frames the bus has heard: F0, the length, ..., command 0x20, the argument, the sum.
  auto heard = [&] {
    std::size_t n = 0;
    for (const SimBytes& r : bus.Requests())
      if (r.size() >= 9 && r[0] == 0xF0 && r[r.size() - 3] == kGlobalMuteCommand &&
          r.back() == Checksum7Bit(r.data(), r.size() - 1))
        ++n;
    return n;
  };
  for (int press = 1; press <= kPresses; ++press) {
    system.SendGlobalMute(press % 2 == 1);
    EXPECT_TRUE(WaitFor([&] { return heard() >= std::size_t(press) * kGlobalMuteFrameCount; }, 10000))
        << "press " << press << ": " << heard() - std::size_t(press - 1) * kGlobalMuteFrameCount << " of 19";
  }
  EXPECT_EQ(heard(), std::size_t(kPresses) * kGlobalMuteFrameCount);
  system.GetComms().StopCommsThread();
  bus.Stop();
  UnlinkComPort(kPort);
}

// A line that takes no bytes (a far end that has stopped reading): Go Online ends at its first
// write, in the seconds that write may take, with a fatal error whose line in the log says that
// the bytes never left, not with every unit unanswered one after the other.
TEST(GoOnlineOnAPseudoTerminal, ALineThatTakesNoBytesEndsOnlineSayingTheWritesNeverLeft) {
  constexpr std::uint32_t kPort = 14;
  CTestPty deaf;
  ASSERT_TRUE(deaf.IsValid());
  ASSERT_TRUE(deaf.FillTowardsTheFarEnd());
  ASSERT_TRUE(LinkComPort(kPort, deaf.SlavePath()));
  // The port's set-up flushes its output, which may make room on the line again for a moment.
  CTestPty::CKeptFull keptFull(deaf.SlavePath());
  ASSERT_TRUE(keptFull.IsValid());
  CTestFrame frame;
  CSystem system;
  auto* device = new CPollingTestDevice(&system, 3, &frame);
  device->SetNeedsInitialisation(false);
  system.AppendDevice(device);
  system.Start(&frame);
  system.Settings().SetComPort(kPort);
  system.Settings().SetBaudRate(57600);
  ASSERT_TRUE(system.GoOnline(0));
  ASSERT_TRUE(WaitFor([&] { return frame.Count(FrameMsg::kFatalCommsError) == 1; }));
  EXPECT_EQ(frame.CountLogLinesStartingWith("Fatal Comms Error on COM14 (" + deaf.SlavePath() +
                                            "): the write failed: the line takes no bytes: nothing written has left "
                                            "the port in 2.0 s"),
            1u);
  EXPECT_EQ(device->processed, 0);
  system.GetComms().RequestIdle();
  EXPECT_TRUE(system.GetComms().SetOnline(false));
  system.GetComms().StopCommsThread();
  UnlinkComPort(kPort);
}

TEST_F(CommsWorkerTest, SystemQueue_GoesFirst_NewestFirst_ThenTheDevicesQueues) {
  CPollingTestDevice* device = AddPollingDevice(3);
  device->SetNeedsInitialisation(false);
  h.system.GetComms().AppendSystemMessage(Broadcast(1));
  h.system.GetComms().AppendSystemMessage(Broadcast(2));
  h.system.GetComms().AppendSystemMessage(Broadcast(3));
  h.bus.Start();
  h.system.Start(&h.frame);
  ASSERT_TRUE(h.system.GoOnline(0));
  ASSERT_TRUE(h.bus.WaitForRequests(5, 10000));

  const auto requests = h.bus.Requests();
  EXPECT_EQ(requests[0][7], 3);
  EXPECT_EQ(requests[1][7], 2);
  EXPECT_EQ(requests[2][7], 1);
  EXPECT_EQ(requests[3][0], 0xF0);
  EXPECT_EQ(requests[3][6], CPollingTestDevice::kReadCommand);
  EXPECT_EQ(h.system.GetComms().GetSystemQueueSize(), 0u);
}

TEST_F(CommsWorkerTest, DevicesTakeOneTransactionEachInTurn) {
  CPollingTestDevice* a = AddPollingDevice(1);
  CPollingTestDevice* b = AddPollingDevice(2);
  ASSERT_TRUE(h.StartOnline());
  ASSERT_TRUE(WaitFor([&] { return a->processed >= 4 && b->processed >= 4; }));
  h.system.GetComms().RequestIdle();

  // After the security step the requests alternate between the two units.
  const auto requests = h.bus.Requests();
  ASSERT_GE(requests.size(), 6u);
  for (std::size_t i = requests.size() - 6; i + 1 < requests.size(); ++i)
    EXPECT_NE(requests[i][4], requests[i + 1][4]) << "request " << i;
}

TEST_F(CommsWorkerTest, DevicesWithIdZero_AreNotPolled) {
  auto* device = new CPollingTestDevice(&h.system, 0, &h.frame);
  h.system.AppendDevice(device);
  CPollingTestDevice* polled = AddPollingDevice(3);
  ASSERT_TRUE(h.StartOnline());
  // Enough turns of the poll loop for the unpolled device to have had several.
  ASSERT_TRUE(WaitFor([&] { return polled->polls >= 5; }));
  h.system.GetComms().RequestIdle();
  EXPECT_EQ(device->polls, 0);
  for (const auto& request : h.bus.Requests()) {
    if (request.size() > 6 && request[6] == CPollingTestDevice::kReadCommand) {
      EXPECT_EQ(request[4], 3);
    }
  }
}

TEST_F(CommsWorkerTest, GoingOffline_WhileATransactionRuns_WaitsForItsOutcome_AndNamesTheChangesStillOwed) {
  CPollingTestDevice* device = AddPollingDevice(4);
  ASSERT_TRUE(h.StartOnline());
  ASSERT_TRUE(WaitFor([&] { return device->GetCommsLevel() == kMaxCommsLevel; }));
  const auto outcomesSoFar = [&] { return std::uint32_t(device->processed) + device->GetMissCount(); };
  device->timeoutBase = 5000;
  // Let one transaction end first, so that every request from here on carries the long time-out:
  // a request built before it could time out against the slow unit, and its retries would reach
  // the bus late, long after the worker had given them up.
  const std::uint32_t earlier = outcomesSoFar();
  ASSERT_TRUE(WaitFor([&] { return outcomesSoFar() > earlier; }));
  units[0]->SetResponseDelay(1500);
  const std::size_t before = h.bus.RequestCount();
  // A slow transaction is under way.
  ASSERT_TRUE(WaitFor([&] { return h.bus.RequestCount() >= before + 1; }));

  const std::uint32_t outcomes = outcomesSoFar();
  h.system.GetComms().RequestIdle();
  // The worker acknowledged only after the slow transaction had ended and its outcome had been
  // handed to the device.
  EXPECT_EQ(h.system.GetComms().GetWorkerState(), kWorkerIdle);
  EXPECT_TRUE(h.system.GetComms().GetTransport().IsDone());
  EXPECT_EQ(h.system.GetComms().GetTransport().GetStatus(), kCommsIdle);
  EXPECT_EQ(std::uint32_t(device->processed) + device->GetMissCount(), outcomes + 1);
  const std::size_t requests = h.bus.RequestCount();
  // A change queued now never reaches the unit: going offline names it.
  auto write = std::make_unique<CControlMessage>();
  const std::uint8_t bytes[8] = {0xF1, 0x00, 0x08, 0x10, 0x04, 0x00, 0x18, 0x05};
  write->Set(0x18, 9, 0, device, true, 0xA8, 0, 0);
  std::copy(std::begin(bytes), std::end(bytes), write->frame);
  write->frame[8] = Checksum7Bit(bytes, 8);
  device->QueueMessage(false, std::move(write));
  ASSERT_EQ(device->Queue().GetQueueSize(), 1u);

  EXPECT_TRUE(h.system.GetComms().SetOnline(false));
  EXPECT_FALSE(h.system.IsPortOpen());
  EXPECT_EQ(h.frame.CountLogLinesStartingWith("Going Offline"), 1u);
  EXPECT_EQ(h.frame.CountLogLinesStartingWith(device->GetUnitText() +
                                               ": 1 change(s) not acknowledged before going offline - the unit may not "
                                               "hold them"),
            1u);
  // Going offline disconnects the connected device.
  EXPECT_EQ(device->GetCommsLevel(), 0);
  EXPECT_EQ(h.frame.CountLogLinesStartingWith("Disconnected from Test Model"), 1u);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(h.bus.RequestCount(), requests);
}

TEST_F(CommsWorkerTest, StopCommsThread_WithATransactionPending_ReturnsWhenItHasEndedAndTheThreadIsGone) {
  AddPollingDevice(6)->timeoutBase = 1000;
  units[0]->SetResponseDelay(200);
  ASSERT_TRUE(h.StartOnline());
  ASSERT_TRUE(WaitFor([&] { return h.bus.RequestCount() >= 1; }));
  h.system.GetComms().StopCommsThread();
  // Had a wait run out instead (30 s each), the thread would still be there.
  EXPECT_FALSE(h.system.GetComms().IsWorkerRunning());
  EXPECT_TRUE(h.system.GetComms().GetTransport().IsDone());
  EXPECT_EQ(h.system.GetComms().GetTransport().GetStatus(), kCommsIdle);
}

// A port call that fails ends the connection: the log names the port, the device it opened and
// the system's reason.
struct TransportFailureCase {
  const char* name;
  bool hangUp;
  const char* reason;
};

class TransportFailure : public CommsWorkerTest, public ::testing::WithParamInterface<TransportFailureCase> {};

TEST_P(TransportFailure, PostsFatalError_LogsThePortAndWhy_AndTheWorkerGoesIdle) {
  CPollingTestDevice* device = AddPollingDevice(8);
  device->SetNeedsInitialisation(false);
  if (GetParam().hangUp) {
    h.line->SetHangup(true);
  } else {
    h.line->FailNextRead();
  }
  ASSERT_TRUE(h.StartOnline());
  ASSERT_TRUE(WaitFor([&] { return h.frame.Count(FrameMsg::kFatalCommsError) == 1; }));
  EXPECT_EQ(h.frame.CountLogLinesStartingWith("Fatal Comms Error on COM" + std::to_string(h.system.GetSettings().comPort) +
                                              " (" + h.line->GetOpenedDevice() + "): " + GetParam().reason),
            1u);
  // The worker acknowledges its own go-idle request: going offline does not wait.
  h.system.GetComms().RequestIdle();
  EXPECT_EQ(h.system.GetComms().GetWorkerState(), kWorkerIdle);
  EXPECT_EQ(h.system.GetComms().GetTransport().GetStatus(), kCommsIdle);
  EXPECT_TRUE(h.system.GetComms().SetOnline(false));
}

INSTANTIATE_TEST_SUITE_P(Cases, TransportFailure,
                         ::testing::Values(TransportFailureCase{"ReadError", false, "the read failed: Input/output error"},
                                           TransportFailureCase{"LineHungUp", true, "the write failed: the line hung up"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CommsWorkerTest, GoOnline_PortRefused_ShowsTheFailureAndStaysIdle) {
  AddPollingDevice(2);
  h.line->SetOpenRefused(true);
  h.bus.Start();
  h.system.Start(&h.frame);
  EXPECT_FALSE(h.system.GoOnline(1));
  const std::uint32_t port = h.system.GetSettings().comPort;
  const std::string why = "COM" + std::to_string(port) + " (" + GetComPortDevice(port) + "): the line refused to open";
  const CRecordingUi::Texts boxes = h.frame.MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].first, "Failed to connect - check comms settings\n\n" + why);
  EXPECT_EQ(boxes[0].second, "Online Error");
  EXPECT_EQ(h.frame.CountLogLinesStartingWith("Failed to connect on " + why), 1u);
  EXPECT_EQ(h.system.GetComms().GetWorkerState(), kWorkerIdle);
  EXPECT_FALSE(h.system.IsPortOpen());
}

// A port that opens but cannot be set up is let go at once: Go Online says why and stays
// offline, and the next Go Online opens the port anew instead of taking it for open.
TEST_F(CommsWorkerTest, GoOnline_PortThatCannotBeSetUp_IsClosedAndOpenedAnewNextTime) {
  AddPollingDevice(2);
  h.line->SetPurgesRefused(true);
  h.bus.Start();
  h.system.Start(&h.frame);
  EXPECT_FALSE(h.system.GoOnline(1));
  EXPECT_FALSE(h.system.IsPortOpen());
  const std::uint32_t port = h.system.GetSettings().comPort;
  const CRecordingUi::Texts boxes = h.frame.MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].first, "Failed to connect - check comms settings\n\nCOM" + std::to_string(port) + " (" +
                                GetComPortDevice(port) + "): the line could not be set up: Input/output error");
  EXPECT_EQ(h.system.GetComms().GetWorkerState(), kWorkerIdle);

  h.line->SetPurgesRefused(false);
  EXPECT_TRUE(h.system.GoOnline(1));
  EXPECT_EQ(h.system.GetComms().GetTransport().GetPortNumber(), port);
  EXPECT_EQ(h.system.GetComms().GetTransport().GetDevice(), GetComPortDevice(port));
  EXPECT_TRUE(h.line->IsPortOpen());
}

// The fatal error names the device the port had open, not the one its link names since (an
// adapter unplugged and its link made anew, a simulator restarted on another pseudo-terminal).
TEST_F(CommsWorkerTest, FatalError_NamesTheDeviceThatWasOpenAfterItsLinkChanged) {
  CPollingTestDevice* device = AddPollingDevice(8);
  device->SetNeedsInitialisation(false);
  ASSERT_TRUE(h.StartOnline());
  const std::uint32_t port = h.system.GetSettings().comPort;
  const std::string opened = h.line->GetOpenedDevice();
  ASSERT_TRUE(LinkComPort(port, "/dev/pts/4242"));
  h.line->FailNextRead();
  ASSERT_TRUE(WaitFor([&] { return h.frame.Count(FrameMsg::kFatalCommsError) == 1; }));
  EXPECT_EQ(h.frame.CountLogLinesStartingWith("Fatal Comms Error on COM" + std::to_string(port) + " (" + opened +
                                              "): the read failed"),
            1u);
  UnlinkComPort(port);
}

TEST_F(CommsWorkerTest, SetOnlineFalse_WithThePortClosed_ReturnsTrueAndLogsNothing) {
  h.system.Start(&h.frame);
  EXPECT_TRUE(h.system.GetComms().SetOnline(false));
  EXPECT_TRUE(h.frame.LogLines().empty());
}

TEST_F(CommsWorkerTest, GoOnline_ReinitialisesEveryDeviceWithTheChoice) {
  CPollingTestDevice* device = AddPollingDevice(5);
  device->SetNeedsInitialisation(false);
  device->QueueMessage(true, CTestDevice::MakeMessage(9, {0xF1, 0x01}));
  h.system.Start(&h.frame);
  ASSERT_TRUE(h.system.GoOnline(1));
  EXPECT_TRUE(device->NeedsInitialisation());
  EXPECT_EQ(h.system.GetComms().GetWorkerState(), kWorkerOnline);
}

}  // namespace

