// Save and open of a large system of real processors: 250 of them over five zones, 10 users,
// 50 links, and 20 snapshots or none. Each is measured beside a raw write (or read) of the same
// bytes in the same run (FileBenchmark.h): ratio_to_raw is the system's time over the raw time
// (goals: save at most 1.3, open at most 3), and the open also reports the memory the open file
// holds over the file's size (goal: at most 2).
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "benchmarks/BenchmarkMain.h"
#include "benchmarks/FileBenchmark.h"
#include "core/model/Device.h"
#include "core/model/Link.h"
#include "core/model/Snapshot.h"
#include "core/system/System.h"
#include "core/model/User.h"
#include "core/system/Zone.h"
#include "devices/processor/ProcessorFamily.h"

namespace {

// Processor models in turn, each with its own settings image.
constexpr std::uint32_t kModels[] = {16, 17, 110, 112, 114, 115, 116, 118, 120, 121};

// The file: 250 processors, their 20 presets each, users, links and snapshots of all of them.
void Populate(CSystem& s, int snapshots) {
  RegisterProcessorFamily();
  for (int z = 1; z < 5; ++z) {
    auto* zone = new CZone(&s);
    zone->SetName("Zone " + std::to_string(z));
    s.AppendZone(zone);
  }
  for (std::uint32_t i = 0; i < 250; ++i) {
    CDevice* d = s.CreateDevice(i + 1, kModels[i % std::size(kModels)], 0);
    d->SetName("Processor " + std::to_string(i));
    s.AppendDevice(d);
    s.GetZones()[i % 5]->AppendDevice(d);
  }
  for (int u = 1; u < 10; ++u) s.GetUsers().push_back(new CUser("User" + std::to_string(u), "pw"));
  s.EnsureUserPermissions();
  for (int l = 0; l < 50; ++l) {
    CLink* link = s.AddLink();
    for (int m = 0; m < 5; ++m) link->AddRef(new CLinkRef(s.GetDevice((l * 5 + m) % 250)->GetUuid(), 1));
  }
  for (int n = 0; n < snapshots; ++n) s.AddSnapshot("Snapshot " + std::to_string(n));
}

// Each with the file's 20 snapshots (argument 20) and without any (0).
void BM_SaveSystemFile(benchmark::State& state) {
  CSystem s;
  Populate(s, int(state.range(0)));
  file_benchmark::MeasureSave(state, s);
}
BENCHMARK(BM_SaveSystemFile)->ArgName("snapshots")->Arg(20)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_OpenSystemFile(benchmark::State& state) {
  file_benchmark::MeasureOpen(state, [&state](CSystem& s) { Populate(s, int(state.range(0))); });
}
BENCHMARK(BM_OpenSystemFile)->ArgName("snapshots")->Arg(20)->Arg(0)->Unit(benchmark::kMillisecond);

}  // namespace

// With ORVAK_SYSTEM_FILE=<path> the 250-processor file (with its snapshots) is also saved there,
// to be opened in the application.
int main(int argc, char** argv) {
  return RunBenchmarks(argc, argv, [] {
    if (const char* path = std::getenv("ORVAK_SYSTEM_FILE")) {
      CSystem s;
      Populate(s, 20);
      s.SaveFile(path);
    }
  });
}
