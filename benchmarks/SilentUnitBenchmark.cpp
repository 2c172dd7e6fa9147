// Units that fall silent beside others that answer, polled by the comms worker at 57600 baud on
// the simulated bus.
// - One processor that falls silent during its read-out beside three: the time until the three
//   have been read out in full, against the same three read out with no silent unit on the
//   bus, measured in the same run. The silent unit's one unanswered block read (three sends of
//   about 2.4 s) is the least it can cost; after that it must cost only short probes, not that
//   block read again on every round (which made the ratio about 160 on this bus).
// - Processors read out and polled beside units that were connected and are switched off together
//   for ten seconds: the time until all of them show offline (goal 5 s or less while up to half the
//   units are switched off), the answering processors' rate over the ten seconds against as many
//   processors alone polled in the same seconds (ratio; goal 0.5 or more), and the time from the
//   silent units' first answer until all are connected again (goal 5 s or less): ten beside a
//   processor or a Zel-6 amplifier last in the list, ten beside a Zel-6 first in the list, six
//   beside four (two processors and two Zel-6 amplifiers, last), five beside five (three
//   processors and two Zel-6), and the whole line of ten falling silent (goal: offline within 8 s).
// - Ten processors beside a Zel-6 that answers every request 100 ms late, past its read time-out
//   (its answers are heard on the resends): read out, it misses one transaction, and later is
//   switched off for 3 s. The time from the end of its missed transaction until it is back at the
//   top level, and from its switch-on until it is connected again (goal 2 s or less for both): it
//   is heard again although its answers come late.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "benchmarks/BenchmarkMain.h"
#include "devices/amplifier/AmplifierFamilies.h"
#include "devices/amplifier/ZelSeriesDevice.h"
#include "devices/processor/NerexMessages.h"
#include "tests/support/ProcessorBus.h"
#include "tools/devsim/SimUnit.h"
#include "tools/devsim/SimZelAmp.h"

namespace {

constexpr std::uint32_t kBaud = 57600;
constexpr int kModel = 120;
constexpr int kAnswering = 3;

// A processor unit that answers until it has sent its input block, and is silent from then on.
class CFallsSilentUnit : public CSimUnit {
 public:
  explicit CFallsSilentUnit(std::uint8_t id) : m_unit(kModel, id) {}
  std::size_t RequestLength(const SimBytes& bytes) const override { return m_unit.RequestLength(bytes); }
  SimAnswer Handle(const SimBytes& request) override {
    if (m_silent) return SimAnswer::Silence();
    SimAnswer answer = m_unit.Handle(request);
    if (m_unit.ReadCount(kCmdReadInputs) > 0) m_silent = true;
    return answer;
  }

 private:
  CSimProcessorUnit m_unit;
  std::atomic<bool> m_silent{false};
};

// Seconds until every answering unit is read out in full; negative when it did not happen.
double ReadOutSeconds(bool withSilentUnit) {
  CProcessorBus bus(kBaud);
  std::vector<CNerexSeriesDevice*> answering;
  if (withSilentUnit) {
    bus.Bus().Add<CFallsSilentUnit>(std::uint8_t(1));
    bus.AddDevice(kModel, 1);
  }
  for (int i = 0; i < kAnswering; ++i) {
    bus.AddUnit(kModel, std::uint8_t(2 + i));
    answering.push_back(bus.AddDevice(kModel, std::uint8_t(2 + i)));
  }
  const auto start = std::chrono::steady_clock::now();
  const bool done = bus.StartWorker(0) && bus.WaitFor([&] {
    for (CNerexSeriesDevice* d : answering)
      if (!d->AllBlocksReceived()) return false;
    return true;
  }, 300000);
  return done ? std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() : -1.0;
}

void BM_ReadOutBesideAUnitThatFallsSilent(benchmark::State& state) {
  double ratioSum = 0.0, withSum = 0.0, withoutSum = 0.0;
  for (auto _ : state) {
    const double without = ReadOutSeconds(false);
    const double with = ReadOutSeconds(true);
    if (without <= 0.0 || with <= 0.0) {
      state.SkipWithError("a read-out did not complete");
      break;
    }
    state.SetIterationTime(with);
    withSum += with;
    withoutSum += without;
    ratioSum += with / without;
  }
  const double n = double(state.iterations());
  if (n > 0) {
    state.counters["with_silent_s"] = withSum / n;
    state.counters["without_s"] = withoutSum / n;
    state.counters["extra_s"] = (withSum - withoutSum) / n;
    state.counters["ratio"] = ratioSum / n;
  }
}

constexpr int kPolled = 10;
constexpr std::uint32_t kZelType = 55;
constexpr auto kSilence = std::chrono::seconds(10);
enum class ESilentUnit { kProcessor, kZel };

// Every request a unit has answered or acknowledged.
std::size_t Answered(const CSimProcessorUnit& unit) {
  std::size_t n = unit.Writes().size();
  for (int command = 0; command < 256; ++command) n += unit.ReadCount(std::uint8_t(command));
  return n;
}

// Processors that answer, and units that fall silent for a while and come back, in the list
// order given, behind the system's own comms worker.
class CBusWithSilentUnits {
 public:
  // silent: the units that fall silent, each first or last in the list.
  CBusWithSilentUnits(int answering, const std::vector<ESilentUnit>& silent, bool silentFirst) : m_bus(kBaud) {
    RegisterAmplifierFamilies();
    std::uint8_t nextId = 1;
    auto addSilent = [&] {
      for (ESilentUnit kind : silent) AddSilent(kind, nextId++);
    };
    if (silentFirst) addSilent();
    for (int i = 0; i < answering; ++i, ++nextId) {
      m_units.push_back(m_bus.AddUnit(kModel, nextId));
      m_answering.push_back(m_bus.AddDevice(kModel, nextId));
    }
    if (!silentFirst) addSilent();
  }

  // Goes online and waits until every unit is connected and read out.
  bool Start() {
    return m_bus.StartWorker(0) && m_bus.WaitFor([&] {
      for (CNerexSeriesDevice* d : m_answering)
        if (!d->AllBlocksReceived() || !d->IsConnected()) return false;
      for (const SilentUnit& u : m_silent)
        if (!u.device->IsConnected() || !u.readOut()) return false;
      return true;
    }, 300000);
  }
  void SetSilent(bool silent) {
    for (SilentUnit& u : m_silent) u.unit->SetSilent(silent);
  }
  // Every answer of the silent units leaves this much later, while the others are answered.
  void SetLate(std::uint32_t ms) {
    for (SilentUnit& u : m_silent) u.unit->SetAnswerHeldMs(ms);
  }
  // The next answers of the first silent unit, this many, are lost.
  void LoseAnswers(int answers) { m_silent.front().unit->SetSilentForRequests(answers); }
  // The first silent unit's device.
  const CDevice& FirstSilent() const { return *m_silent.front().device; }
  // Waits until the condition holds (under the system's lock); the seconds it took, or negative
  // after a minute.
  double SecondsUntil(const std::function<bool()>& done) {
    const auto start = std::chrono::steady_clock::now();
    return m_bus.WaitFor(done, 60000) ? std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count()
                                      : -1.0;
  }
  // Requests the answering units have answered so far.
  std::size_t Answers() const {
    std::size_t n = 0;
    for (const CSimProcessorUnit* u : m_units) n += Answered(*u);
    return n;
  }
  // Seconds from now until every silent unit is connected again, or has gone offline;
  // negative after a minute.
  double SecondsUntilAllConnect() { return SecondsUntil(true); }
  double SecondsUntilAllOffline() { return SecondsUntil(false); }

 private:
  double SecondsUntil(bool connected) {
    return SecondsUntil([&] {
      for (const SilentUnit& u : m_silent)
        if (connected ? !u.device->IsConnected() : u.device->GetCommsLevel() != 0) return false;
      return true;
    });
  }

  struct SilentUnit {
    CSimSwitchedUnit* unit = nullptr;
    CDevice* device = nullptr;
    std::function<bool()> readOut;
  };

  void AddSilent(ESilentUnit kind, std::uint8_t id) {
    SilentUnit u;
    if (kind == ESilentUnit::kProcessor) {
      u.unit = m_bus.Bus().Add<CSimSwitchedUnit>(std::make_unique<CSimProcessorUnit>(kModel, id));
      CNerexSeriesDevice* device = m_bus.AddDevice(kModel, id);
      u.device = device;
      u.readOut = [device] { return device->AllBlocksReceived(); };
    } else {
      SimSecurityConfig config;
      config.typeCode = kZelType;
      config.deviceId = 100u + id;
      u.unit = m_bus.Bus().Add<CSimSwitchedUnit>(std::make_unique<CSimZelAmpUnit>(config));
      auto* amp = static_cast<CZelSeriesDevice*>(m_bus.System().CreateDevice(config.deviceId, kZelType, 0));
      m_bus.System().AppendDevice(amp);
      u.device = amp;
      u.readOut = [amp] { return amp->IsReadOutComplete(); };
    }
    m_silent.push_back(std::move(u));
  }

  CProcessorBus m_bus;
  std::vector<CSimProcessorUnit*> m_units;
  std::vector<CNerexSeriesDevice*> m_answering;
  std::vector<SilentUnit> m_silent;
};

struct SilentRun {
  double offlineSeconds = -1.0;    // from the switch-off until every silent unit shows offline
  double ratio = -1.0;             // the answering units' rate beside the silent ones over theirs alone
  double reconnectSeconds = -1.0;  // from their first answer until every one is connected again
};

// The answering units beside units switched off for ten seconds, against as many answering units
// alone polled in the same seconds, and the time until every silent unit is connected again once
// they answer.
SilentRun PollBesideSilentUnits(int answering, const std::vector<ESilentUnit>& silent, bool silentFirst) {
  SilentRun run;
  CBusWithSilentUnits bus(answering, silent, silentFirst);
  // With nobody answering there is no rate to compare.
  std::unique_ptr<CBusWithSilentUnits> alone;
  if (answering > 0) alone = std::make_unique<CBusWithSilentUnits>(answering, std::vector<ESilentUnit>{}, false);
  if (!bus.Start() || (alone && !alone->Start())) return run;
  const std::size_t before = bus.Answers(), aloneBefore = alone ? alone->Answers() : 0;
  const auto start = std::chrono::steady_clock::now();
  bus.SetSilent(true);
  run.offlineSeconds = bus.SecondsUntilAllOffline();
  std::this_thread::sleep_until(start + kSilence);
  if (alone) run.ratio = double(bus.Answers() - before) / double(alone->Answers() - aloneBefore);
  bus.SetSilent(false);
  run.reconnectSeconds = bus.SecondsUntilAllConnect();
  return run;
}

void BM_PollRateBesideASilentUnit(benchmark::State& state) {
  struct Case {
    const char* name;
    int answering;
    std::vector<ESilentUnit> silent;
    bool first;
  };
  using E = ESilentUnit;
  const std::vector<Case> cases{
      {"processor", kPolled, {E::kProcessor}, false},
      {"zel", kPolled, {E::kZel}, false},
      {"zel_first", kPolled, {E::kZel}, true},
      {"four", 6, {E::kProcessor, E::kZel, E::kProcessor, E::kZel}, false},
      {"half", 5, {E::kProcessor, E::kZel, E::kProcessor, E::kZel, E::kProcessor}, false},
      {"dead", 0, {E::kProcessor, E::kZel, E::kProcessor, E::kZel, E::kProcessor, E::kProcessor, E::kZel,
                   E::kProcessor, E::kProcessor, E::kZel}, false},
  };
  for (auto _ : state) {
    for (const Case& c : cases) {
      const SilentRun run = PollBesideSilentUnits(c.answering, c.silent, c.first);
      if (run.offlineSeconds < 0 || (c.answering > 0 && run.ratio <= 0)) {
        state.SkipWithError("the units were not read out, or did not go offline");
        return;
      }
      if (run.reconnectSeconds < 0) {
        state.SkipWithError("a unit did not connect again");
        return;
      }
      state.counters[std::string("offline_s_") + c.name] = run.offlineSeconds;
      if (c.answering > 0) state.counters[std::string("ratio_") + c.name] = run.ratio;
      state.counters[std::string("reconnect_s_") + c.name] = run.reconnectSeconds;
    }
    state.SetIterationTime(double(cases.size()) * std::chrono::duration<double>(kSilence).count());
  }
}

void BM_LateUnitThatMissesATransaction(benchmark::State& state) {
  constexpr std::uint32_t kLateMs = 100;
  for (auto _ : state) {
    CBusWithSilentUnits bus(kPolled, {ESilentUnit::kZel}, false);
    bus.SetLate(kLateMs);
    if (!bus.Start()) {
      state.SkipWithError("the units were not read out");
      return;
    }
    const CDevice& late = bus.FirstSilent();
    const std::uint32_t misses = late.GetMissCount();
    bus.LoseAnswers(3);  // the three sends of one transaction
    const bool missed = bus.SecondsUntil([&] { return late.GetMissCount() > misses; }) >= 0;
    const double back = missed ? bus.SecondsUntil([&] { return late.GetCommsLevel() == kMaxCommsLevel; }) : -1.0;
    const auto off = std::chrono::steady_clock::now();
    bus.SetSilent(true);
    std::this_thread::sleep_until(off + std::chrono::seconds(3));
    bus.SetSilent(false);
    const double reconnect = bus.SecondsUntilAllConnect();
    state.counters["back_s_after_miss"] = back;
    state.counters["reconnect_s_after_off"] = reconnect;
    state.SetIterationTime(3.0 + std::max(back, 0.0) + std::max(reconnect, 0.0));
  }
}

}  // namespace

BENCHMARK(BM_PollRateBesideASilentUnit)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ReadOutBesideAUnitThatFallsSilent)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_LateUnitThatMissesATransaction)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char** argv) { return RunBenchmarks(argc, argv); }
