// Links at show scale, offline: 500 Nerex48 processors joined by 12 links of all 500 (the four
// input and eight output gains), one snapshot of all of them. A recall with linking on, and the
// links applied from their masters (what closing the Link Manager and switching linking on do),
// are each reported in ms, as a ratio to the same recall with linking off measured in the same
// run (ratio_to_unlinked), and as their share of 100 ms (share_of_budget; goal: under 1).
#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>
#include <memory>

#include "benchmarks/BenchmarkMain.h"
#include "core/model/Device.h"
#include "core/model/Link.h"
#include "core/system/System.h"
#include "core/system/Zone.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexParamIds.h"
#include "devices/processor/ProcessorFamily.h"
#include "tests/support/ModelChanges.h"

namespace {

constexpr int kUnits = 500;
constexpr int kLinks = 12;  // parameters 13 to 24: inputs A to D, outputs 1 to 8
constexpr double kBudgetMs = 100.0;

std::unique_ptr<CSystem> MakeSystem() {
  RegisterProcessorFamily();
  auto system = std::make_unique<CSystem>();
  for (int i = 0; i < kUnits; ++i) {
    CDevice* device = system->CreateDevice(std::uint32_t(i % 63 + 1), kModelNerex48, 0);
    system->AppendDevice(device);
    system->GetZones()[0]->AppendDevice(device);
  }
  for (int l = 0; l < kLinks; ++l) {
    CLink* link = system->Links().AddLink();
    for (int i = 0; i < kUnits; ++i) link->AddMember(system->GetDevice(i)->GetUuid(), std::uint32_t(kParamInputGain + l));
  }
  // Every unit at levels of its own, set apart while linking is off, then stored.
  system->Links().SetLinksActive(false);
  for (int i = 0; i < kUnits; ++i)
    for (int l = 0; l < kLinks; ++l)
      ModelChange(system->GetDevice(i), 
          CParamValue(kParamInputGain + l, -float((i + l) % 40), ParamKind::kLevel));
  system->Snapshots().AddSnapshot("All");
  return system;
}

double MillisecondsOf(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// Times work beside the reference (the recall with linking off), each once per iteration; the
// iteration's manual time is the work's.
void MeasureAgainstUnlinkedRecall(benchmark::State& state, CSystem& system, const std::function<void()>& work) {
  double workMs = 0.0, referenceMs = 0.0;
  for (auto _ : state) {
    system.Links().SetLinksActive(false);
    referenceMs += MillisecondsOf([&] { system.Snapshots().RecallSnapshot(0); });
    system.Links().SetLinksActive(true);
    const double ms = MillisecondsOf(work);
    workMs += ms;
    state.SetIterationTime(ms / 1000.0);
  }
  const double n = double(state.iterations());
  state.counters["ms"] = workMs / n;
  state.counters["ratio_to_unlinked"] = referenceMs > 0.0 ? workMs / referenceMs : 0.0;
  state.counters["share_of_budget"] = workMs / n / kBudgetMs;
}

void BM_RecallWithLinkingOn(benchmark::State& state) {
  std::unique_ptr<CSystem> system = MakeSystem();
  MeasureAgainstUnlinkedRecall(state, *system, [&] { system->Snapshots().RecallSnapshot(0); });
}

void BM_ApplyLinks(benchmark::State& state) {
  std::unique_ptr<CSystem> system = MakeSystem();
  MeasureAgainstUnlinkedRecall(state, *system, [&] { system->Links().ApplyLinks(); });
}

}  // namespace

BENCHMARK(BM_RecallWithLinkingOn)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ApplyLinks)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) { return RunBenchmarks(argc, argv); }
