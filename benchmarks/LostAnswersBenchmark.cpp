// Eight processors polled by the comms worker at 57600 baud on the simulated bus, read out in
// full, then polled for a few seconds while the bus loses 5 % of the answers: the transactions
// answered per second, against the same run with the transport's late-answer drain left out
// (each lost answer then costs only its read time-out and the resend). ratio is the first over
// the second; the goal is 0.9 or more. A resend that is answered may have taken the answer to
// the first send, so the transport keeps the answer to the resend from being taken by a later
// request; what that costs the bus is what this measures.
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>
#include <vector>

#include "benchmarks/BenchmarkMain.h"
#include "tests/support/ProcessorBus.h"

namespace {

constexpr std::uint32_t kBaud = 57600;
constexpr int kModel = 120;
constexpr int kUnits = 8;
constexpr double kLoss = 0.05;
constexpr auto kWindow = std::chrono::seconds(6);

using Clock = std::chrono::steady_clock;

// Answered transactions per second over the window after the read-out; negative when the
// units were not read out.
double AnsweredPerSecond(bool guard) {
  CProcessorBus bus(kBaud);
  std::vector<CNerexSeriesDevice*> devices;
  for (int i = 1; i <= kUnits; ++i) {
    bus.AddUnit(kModel, std::uint8_t(i));
    devices.push_back(bus.AddDevice(kModel, std::uint8_t(i)));
  }
  bus.Comms().SetLateAnswerGuard(guard);
  const bool ready = bus.StartWorker(0) && bus.WaitFor([&] {
    for (CNerexSeriesDevice* d : devices)
      if (!d->AllBlocksReceived() || !d->IsConnected()) return false;
    return true;
  }, 300000);
  if (!ready) return -1.0;
  CSimBus& sim = bus.Bus();
  sim.SetAnswerLoss(kLoss, 48);
  const std::size_t requestsBefore = sim.RequestCount();
  const std::size_t lostBefore = sim.LostAnswerCount();
  const auto start = Clock::now();
  std::this_thread::sleep_for(kWindow);
  const std::size_t answered = (sim.RequestCount() - requestsBefore) - (sim.LostAnswerCount() - lostBefore);
  return double(answered) / std::chrono::duration<double>(Clock::now() - start).count();
}

void BM_PollingWhileAnswersAreLost(benchmark::State& state) {
  double with = 0, without = 0, ratio = 0;
  for (auto _ : state) {
    const double w = AnsweredPerSecond(true);
    const double wo = AnsweredPerSecond(false);
    if (w <= 0 || wo <= 0) {
      state.SkipWithError("the units were not read out");
      break;
    }
    state.SetIterationTime(std::chrono::duration<double>(kWindow).count());
    with += w;
    without += wo;
    ratio += w / wo;
  }
  const double n = double(state.iterations());
  if (n > 0) {
    state.counters["per_s_with_drain"] = with / n;
    state.counters["per_s_without_drain"] = without / n;
    state.counters["ratio"] = ratio / n;
  }
}

}  // namespace

BENCHMARK(BM_PollingWhileAnswersAreLost)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char** argv) { return RunBenchmarks(argc, argv); }
