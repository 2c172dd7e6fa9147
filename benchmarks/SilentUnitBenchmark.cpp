// Units that fall silent beside others that answer, polled by the comms worker at 57600 baud on
// the simulated bus.
// - One processor that falls silent during its read-out beside three: the time until the three
//   have been read out in full, against the same three read out with no silent unit on the
//   bus, measured in the same run. The silent unit's one unanswered block read (three sends of
//   about 2.4 s) is the least it can cost; after that it must cost only short probes, not that
//   block read again on every round (which made the ratio about 160 on this bus).
// - Ten processors read out and polled, beside a processor or a Zel-6 amplifier that was
//   connected and falls silent for six seconds: the others' answered requests per second in
//   those seconds, against the ten alone in the same run (ratio; goal 0.5 or more), and the
//   time from the silent unit's first answer until it is connected again (goal 3 s or less).
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "benchmarks/BenchmarkMain.h"
#include "devices/amplifier/AmplifierFamilies.h"
#include "devices/amplifier/ZelSeriesDevice.h"
#include "devices/processor/NerexMessages.h"
#include "tests/support/ProcessorBus.h"
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

// A unit that answers as the one it wraps, except while it is silent.
class CSwitchedUnit : public CSimUnit {
 public:
  explicit CSwitchedUnit(std::unique_ptr<CSimUnit> unit) : m_unit(std::move(unit)) {}
  std::size_t RequestLength(const SimBytes& bytes) const override { return m_unit->RequestLength(bytes); }
  SimAnswer Handle(const SimBytes& request) override {
    return silent ? SimAnswer::Silence() : m_unit->Handle(request);
  }
  std::atomic<bool> silent{false};

 private:
  std::unique_ptr<CSimUnit> m_unit;
};

constexpr int kPolled = 10;
constexpr std::uint32_t kZelId = 100;
constexpr auto kSilence = std::chrono::seconds(6);
enum class ESilentUnit { kNone, kProcessor, kZel };

// Every request a unit has answered or acknowledged.
std::size_t Answered(const CSimProcessorUnit& unit) {
  std::size_t n = unit.Writes().size();
  for (int command = 0; command < 256; ++command) n += unit.ReadCount(std::uint8_t(command));
  return n;
}

struct SilentRun {
  double othersPerSecond = -1.0;  // negative: the units were not read out
  double reconnectSeconds = -1.0;
};

SilentRun PollBesideASilentUnit(ESilentUnit which) {
  CProcessorBus bus(kBaud);
  std::vector<CSimProcessorUnit*> units;
  std::vector<CNerexSeriesDevice*> polled;
  for (int i = 1; i <= kPolled; ++i) {
    units.push_back(bus.AddUnit(kModel, std::uint8_t(i)));
    polled.push_back(bus.AddDevice(kModel, std::uint8_t(i)));
  }
  CSwitchedUnit* switched = nullptr;
  CDevice* silent = nullptr;
  std::function<bool()> silentReadOut = [] { return true; };
  if (which == ESilentUnit::kProcessor) {
    switched = bus.Bus().Add<CSwitchedUnit>(std::make_unique<CSimProcessorUnit>(kModel, std::uint8_t(kPolled + 1)));
    CNerexSeriesDevice* device = bus.AddDevice(kModel, std::uint8_t(kPolled + 1));
    silent = device;
    silentReadOut = [device] { return device->AllBlocksReceived(); };
  } else if (which == ESilentUnit::kZel) {
    RegisterAmplifierFamilies();
    SimSecurityConfig config;
    config.typeCode = 55;
    config.deviceId = kZelId;
    switched = bus.Bus().Add<CSwitchedUnit>(std::make_unique<CSimZelAmpUnit>(config));
    auto* amp = static_cast<CZelSeriesDevice*>(bus.System().CreateDevice(kZelId, 55, 0));
    bus.System().AppendDevice(amp);
    silent = amp;
    silentReadOut = [amp] { return amp->IsReadOutComplete(); };
  }
  SilentRun run;
  const bool ready = bus.StartWorker(0) && bus.WaitFor([&] {
    for (CNerexSeriesDevice* d : polled)
      if (!d->AllBlocksReceived() || !d->IsConnected()) return false;
    return !silent || (silent->IsConnected() && silentReadOut());
  }, 300000);
  if (!ready) return run;

  if (switched) switched->silent = true;
  std::size_t before = 0;
  for (const CSimProcessorUnit* u : units) before += Answered(*u);
  const auto start = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(kSilence);
  std::size_t after = 0;
  for (const CSimProcessorUnit* u : units) after += Answered(*u);
  const auto end = std::chrono::steady_clock::now();
  run.othersPerSecond = double(after - before) / std::chrono::duration<double>(end - start).count();

  if (switched) {
    switched->silent = false;
    const auto woken = std::chrono::steady_clock::now();
    if (bus.WaitFor([&] { return silent->IsConnected(); }, 60000))
      run.reconnectSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - woken).count();
  }
  return run;
}

void BM_PollRateBesideASilentUnit(benchmark::State& state) {
  double alone = 0, processor = 0, zel = 0, processorRatio = 0, zelRatio = 0, processorBack = 0, zelBack = 0;
  for (auto _ : state) {
    const SilentRun a = PollBesideASilentUnit(ESilentUnit::kNone);
    const SilentRun p = PollBesideASilentUnit(ESilentUnit::kProcessor);
    const SilentRun z = PollBesideASilentUnit(ESilentUnit::kZel);
    if (a.othersPerSecond <= 0 || p.othersPerSecond <= 0 || z.othersPerSecond <= 0) {
      state.SkipWithError("the units were not read out");
      break;
    }
    if (p.reconnectSeconds < 0 || z.reconnectSeconds < 0) {
      state.SkipWithError("a unit did not connect again");
      break;
    }
    state.SetIterationTime(3 * std::chrono::duration<double>(kSilence).count());
    alone += a.othersPerSecond;
    processor += p.othersPerSecond;
    zel += z.othersPerSecond;
    processorRatio += p.othersPerSecond / a.othersPerSecond;
    zelRatio += z.othersPerSecond / a.othersPerSecond;
    processorBack += p.reconnectSeconds;
    zelBack += z.reconnectSeconds;
  }
  const double n = double(state.iterations());
  if (n > 0) {
    state.counters["others_per_s_alone"] = alone / n;
    state.counters["others_per_s_processor_silent"] = processor / n;
    state.counters["others_per_s_zel_silent"] = zel / n;
    state.counters["ratio_processor"] = processorRatio / n;
    state.counters["ratio_zel"] = zelRatio / n;
    state.counters["reconnect_s_processor"] = processorBack / n;
    state.counters["reconnect_s_zel"] = zelBack / n;
  }
}

}  // namespace

BENCHMARK(BM_PollRateBesideASilentUnit)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ReadOutBesideAUnitThatFallsSilent)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char** argv) { return RunBenchmarks(argc, argv); }
