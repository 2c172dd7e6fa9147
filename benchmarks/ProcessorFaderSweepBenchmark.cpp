// A two-second fader sweep on one processor while the comms worker polls eight at 57600 baud
// on the simulated bus: 200 changes of one input gain, one every 10 ms, through the change
// path. Reported: the gain frames that reached the unit, the time from the last change until
// the unit holds its value, the length of one poll turn over the eight units measured in the
// same run, that latency in poll turns (the goal is at most 2) and as a ratio to the wire time
// of one gain frame.
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>
#include <vector>

#include "benchmarks/BenchmarkMain.h"
#include "core/values/ValueCodes.h"
#include "devices/processor/NerexChange.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexPresets.h"
#include "tests/support/ProcessorBus.h"
#include "tests/support/ModelChanges.h"

namespace {

constexpr std::uint32_t kBaud = 57600;
constexpr int kUnits = 8;
constexpr int kChanges = 200;
constexpr auto kStep = std::chrono::milliseconds(10);

using Clock = std::chrono::steady_clock;

// Every request a unit has answered or acknowledged.
std::size_t Transactions(const CSimProcessorUnit& unit) {
  std::size_t n = unit.Writes().size();
  for (int command = 0; command < 256; ++command) n += unit.ReadCount(std::uint8_t(command));
  return n;
}

void BM_FaderSweepWhilePollingEight(benchmark::State& state) {
  double frames = 0, latencyMs = 0, turnMs = 0;
  for (auto _ : state) {
    CProcessorBus bus(kBaud);
    std::vector<CSimProcessorUnit*> units;
    for (int i = 1; i <= kUnits; ++i) {
      units.push_back(bus.AddUnit(kModelNerex48, std::uint8_t(i)));
      units.back()->SetPresetCount(2);
    }
    std::vector<CNerexSeriesDevice*> devices;
    for (int i = 1; i <= kUnits; ++i) {
      devices.push_back(bus.AddDevice(kModelNerex48, std::uint8_t(i)));
      ResizePresetList(WritablePresets(*devices.back()), 2);
    }
    const bool ready = bus.StartWorker(0) && bus.WaitFor([&] {
      for (CNerexSeriesDevice* d : devices)
        if (!d->AllBlocksReceived() || !d->IsConnected()) return false;
      return true;
    }, 300000);
    if (!ready) {
      state.SkipWithError("the units were not read in full");
      break;
    }
    CNerexSeriesDevice& fader = *devices[0];
    CSimProcessorUnit& unit = *units[0];
    CSimProcessorUnit& other = *units[1];
    const std::size_t gainFramesBefore = unit.WritesOf(2).size();
    const std::size_t otherBefore = Transactions(other);

    const auto start = Clock::now();
    float value = -40.0f;
    for (int k = 0; k < kChanges; ++k) {
      if (k > 0) std::this_thread::sleep_until(start + kStep * k);
      value = -40.0f + 46.0f * float(k) / float(kChanges - 1);
      ModelChange(fader, CParamValue(13, value, ParamKind::kLevel));
    }
    const auto last = Clock::now();
    const std::int16_t expected = std::int16_t(RoundHalfAway(value * 10.0f));
    while (unit.Current().inputs.gains[0] != expected && Clock::now() - last < std::chrono::seconds(10))
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    const auto held = Clock::now();
    // A poll turn: the time between two requests to the same unit, over the sweep.
    const std::size_t otherTurns = Transactions(other) - otherBefore;
    const double sweepMs = std::chrono::duration<double, std::milli>(held - start).count();

    frames += double(unit.WritesOf(2).size() - gainFramesBefore);
    latencyMs += std::chrono::duration<double, std::milli>(held - last).count();
    turnMs += otherTurns > 0 ? sweepMs / double(otherTurns) : 0.0;
    state.SetIterationTime(std::chrono::duration<double>(held - start).count());
  }
  const double n = double(state.iterations());
  if (n > 0) {
    const double frameWireMs = (12.0 + 1.0) * 10.0 / kBaud * 1000.0;  // the frame and its ACK
    state.counters["frames_sent"] = frames / n;
    state.counters["latency_ms"] = latencyMs / n;
    state.counters["poll_turn_ms"] = turnMs / n;
    state.counters["latency_in_turns"] = turnMs > 0 ? latencyMs / turnMs : 0.0;
    state.counters["latency_to_frame_wire"] = latencyMs / n / frameWireMs;
  }
}

}  // namespace

BENCHMARK(BM_FaderSweepWhilePollingEight)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char** argv) { return RunBenchmarks(argc, argv); }
