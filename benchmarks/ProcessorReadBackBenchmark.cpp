// Going online with one processor of the largest model (Torvex48) on a simulated bus paced at
// 57600 baud: the time until every block of the read-back has arrived, reported beside the
// wire time of the bytes exchanged and as a ratio to it.
#include <benchmark/benchmark.h>

#include <chrono>

#include "benchmarks/BenchmarkMain.h"
#include "devices/processor/NerexPresets.h"
#include "platform/Sync.h"
#include "tests/support/ProcessorBus.h"

namespace {

constexpr std::uint32_t kBaud = 57600;

void BM_TorvexReadBackAt57600(benchmark::State& state) {
  const int usedPresets = int(state.range(0));
  double ratioSum = 0.0, bytesSum = 0.0;
  for (auto _ : state) {
    CProcessorBus bus(kBaud);
    CSimProcessorUnit* unit = bus.AddUnit(121, 1);
    CNerexSeriesMemory stored;
    InitMemoryDefaults(stored);
    stored.sectionFlags = kSectionAll;
    for (int n = 1; n <= usedPresets; ++n) unit->SetPreset(std::size_t(n), stored);
    CNerexSeriesDevice* device = bus.AddDevice(121, 1);

    const std::uint64_t before = bus.Line()->BytesToDevice() + bus.Line()->BytesToPort();
    const auto start = std::chrono::steady_clock::now();
    if (!bus.StartWorker(0) || !bus.WaitFor([&] { return device->AllBlocksReceived(); }, 120000)) {
      state.SkipWithError("the read-back did not complete");
      break;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double bytes = double(bus.Line()->BytesToDevice() + bus.Line()->BytesToPort() - before);
    const double wireSeconds = bytes * 10.0 / kBaud;
    state.SetIterationTime(seconds);
    ratioSum += seconds / wireSeconds;
    bytesSum += bytes;
  }
  const double n = double(state.iterations());
  if (n > 0) {
    state.counters["bytes"] = bytesSum / n;
    state.counters["wire_ms"] = bytesSum / n * 10.0 / kBaud * 1000.0;
    state.counters["ratio_to_wire"] = ratioSum / n;
  }
}

}  // namespace

// Argument: preset memories in use on the unit (their blocks are read too).
BENCHMARK(BM_TorvexReadBackAt57600)->Arg(0)->Arg(4)->Arg(20)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);

int main(int argc, char** argv) { return RunBenchmarks(argc, argv); }
