// The comms worker's answers to the UI thread: a request to go idle while it rests, and its end. Each is measured beside an event round trip between two threads
// in the same run (ratio_to_round_trip): a worker that waits on its events answers within a few
// round trips, one that sleeps its rest out answers tens of milliseconds later.
#include <benchmark/benchmark.h>

#include <chrono>

#include "benchmarks/BenchmarkMain.h"
#include "core/comms/CommsWorker.h"
#include "core/system/System.h"
#include "platform/Sync.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

// One request and its answer between this thread and a waiting one.
class CRoundTrip {
 public:
  CRoundTrip() {
    m_thread.Start(
        [this] {
          for (;;) {
            m_ping.Wait(INFINITE_WAIT);
            if (m_end) return;
            m_pong.Set();
          }
        },
        false);
  }
  ~CRoundTrip() {
    m_end = true;
    m_ping.Set();
    m_thread.Join(INFINITE_WAIT);
  }
  double Measure() {
    const auto t = Clock::now();
    m_ping.Set();
    m_pong.Wait(INFINITE_WAIT);
    return Seconds(t);
  }

 private:
  CAutoResetEvent m_ping, m_pong;
  std::atomic<bool> m_end{false};
  CWorkerThread m_thread;
};

void BM_IdleRequestWhileResting(benchmark::State& state) {
  CSystem system;
  system.Start(nullptr);
  CRoundTrip reference;
  double worker = 0, roundTrip = 0;
  for (auto _ : state) {
    auto t = Clock::now();
    system.GetComms().RequestIdle();
    worker += Seconds(t);
    roundTrip += reference.Measure();
  }
  system.GetComms().StopCommsThread();
  state.counters["ratio_to_round_trip"] = worker / roundTrip;
}
BENCHMARK(BM_IdleRequestWhileResting)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_StopTheRestingWorker(benchmark::State& state) {
  CRoundTrip reference;
  double worker = 0, roundTrip = 0;
  for (auto _ : state) {
    CSystem system;
    system.Start(nullptr);
    system.GetComms().RequestIdle();  // the worker is up and resting
    auto t = Clock::now();
    system.GetComms().StopCommsThread();
    worker += Seconds(t);
    roundTrip += reference.Measure();
  }
  state.counters["ratio_to_round_trip"] = worker / roundTrip;
}
BENCHMARK(BM_StopTheRestingWorker)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) { return RunBenchmarks(argc, argv); }
