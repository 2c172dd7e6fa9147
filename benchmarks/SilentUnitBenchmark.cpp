// One processor that falls silent during its read-out beside three that answer, polled by the
// comms worker at 57600 baud on the simulated bus: the time until the three have been read out
// in full, against the same three read out with no silent unit on the bus, measured in the
// same run. The silent unit's one unanswered block read (three sends of about 2.4 s) is the
// least it can cost; after that it must cost only short probes, not that block read again on
// every round (which made the ratio about 160 on this bus).
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <vector>

#include "benchmarks/BenchmarkMain.h"
#include "devices/processor/NerexMessages.h"
#include "tests/support/ProcessorBus.h"

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

}  // namespace

BENCHMARK(BM_ReadOutBesideAUnitThatFallsSilent)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char** argv) { return RunBenchmarks(argc, argv); }
