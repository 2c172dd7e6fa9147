// Save and open of a large system of real processors: 250 of them over five zones, 10 users,
// 50 links, and 20 snapshots or none; the save also in place, behind its kept copy; the open
// also at 1,000 and 5,000 units without snapshots, so that its growth shows. Each is measured
// beside a raw write (or read) of the same bytes in the same run (FileBenchmark.h): ratio_to_raw
// is the system's time over the raw time (goals: save at most 1.3 by either road, open at most 3,
// at every size), and the open also reports the memory the open file holds over the file's size
// (goal: at most 2).
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "benchmarks/BenchmarkMain.h"
#include "benchmarks/FileBenchmark.h"
#include "benchmarks/ProcessorRack.h"
#include "core/model/Snapshot.h"
#include "core/system/System.h"

namespace {

// The file: 250 processors, their 20 presets each, users, links and snapshots of all of them.
void Populate(CSystem& s, int snapshots) { processor_rack::Populate(s, 250, snapshots); }

// Each with the file's 20 snapshots (argument 20) and without any (0).
void BM_SaveSystemFile(benchmark::State& state) {
  CSystem s;
  Populate(s, int(state.range(0)));
  file_benchmark::MeasureSave(state, s);
}
BENCHMARK(BM_SaveSystemFile)->ArgName("snapshots")->Arg(20)->Arg(0)->Unit(benchmark::kMillisecond);

// The same saves written in place (the file has a second name), each behind its kept copy.
void BM_SaveSystemFileInPlace(benchmark::State& state) {
  CSystem s;
  Populate(s, int(state.range(0)));
  file_benchmark::MeasureSave(state, s, true);
}
BENCHMARK(BM_SaveSystemFileInPlace)->ArgName("snapshots")->Arg(20)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_OpenSystemFile(benchmark::State& state) {
  file_benchmark::MeasureOpen(state, [&state](CSystem& s) { Populate(s, int(state.range(0))); });
}
BENCHMARK(BM_OpenSystemFile)->ArgName("snapshots")->Arg(20)->Arg(0)->Unit(benchmark::kMillisecond);

// 1,000 and 5,000 processors (41 and 205 MiB), no snapshots: the open grows with the units as
// the raw read does.
void BM_OpenSystemFileOfUnits(benchmark::State& state) {
  file_benchmark::MeasureOpen(state, [&state](CSystem& s) { processor_rack::Populate(s, int(state.range(0)), 0); });
}
BENCHMARK(BM_OpenSystemFileOfUnits)->ArgName("units")->Arg(1000)->Arg(5000)->Iterations(5)->Unit(benchmark::kMillisecond);

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
