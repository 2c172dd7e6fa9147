// Save and open of a large system of real processors: 250 of them over five zones, 10 users,
// 50 links, and 20 snapshots or none; the save also in place, behind its kept copy; the open
// also at 1,000 and 5,000 units without snapshots, so that its growth shows. Each is measured
// beside a raw write (or read) of the same bytes in the same run (FileBenchmark.h): ratio_to_raw
// is the system's time over the raw time (goals: save at most 1.3 by either road, open at most 3,
// at every size), and the open also reports the memory the open file holds over the file's size
// (goal: at most 2).
// Also the question an autosave tick asks under the system's lock, whether the system changed
// since its file was stored, at 2,000 processors that are all there: its time over the print of
// every device's record that once answered it (ratio_to_print, measured in the same run), and
// its share of 1 ms (share_of_budget; goal: under 1), as the comms worker waits that long.
// And the save such a tick makes at 5,000 processors, beside a thread that takes the lock every
// 200 us as the comms worker does for the replies: the longest it waits for the lock over
// 10 ms (wait_share; goal: under 1), as the records are taken under the lock a device at a time
// and written with it released.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "benchmarks/BenchmarkMain.h"
#include "benchmarks/FileBenchmark.h"
#include "benchmarks/ProcessorRack.h"
#include "core/model/Device.h"
#include "core/model/Snapshot.h"
#include "core/system/System.h"
#include "platform/Archive.h"
#include "platform/Clock.h"
#include "platform/Sync.h"

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

// The reference: every device's record printed (FNV-1a over the bytes a save stores), under the
// lock, scrambled sections with one key, as autosave once decided whether the units changed.
std::uint64_t PrintDevicesRecords(CSystem& s) {
  std::uint64_t print = 0xcbf29ce484222325ull;
  CArchive ar([&](const std::uint8_t* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) print = (print ^ data[i]) * 0x100000001b3ull;
  });
  CSingleLock lock(s.GetLock());
  const CHeldTickCount sameKeys(0);
  for (CDevice* device : s.GetDevices()) {
    ar.WriteU32(device->GetTypeCode());
    ar.WriteU32(device->GetDeviceId());
    ar.WriteU32(device->GetModelIndex());
    device->Serialize(ar);
  }
  ar.Flush();
  return print;
}

void BM_AutosaveTickUnderTheLock(benchmark::State& state) {
  constexpr double kBudgetMs = 1.0;
  CSystem s;
  processor_rack::Populate(s, int(state.range(0)), 0);
  QTemporaryDir dir;
  if (!dir.isValid() || !s.File().SaveFile(dir.filePath("tick.ovd").toStdString())) {
    state.SkipWithError("the file could not be saved");
    return;
  }
  using Clock = std::chrono::steady_clock;
  double tickMs = 0, printMs = 0, longestMs = 0;
  std::uint64_t sink = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    const bool changed = s.File().HasChangesSinceStored();
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    if (changed) {
      state.SkipWithError("an unchanged system reads as changed");
      return;
    }
    tickMs += ms;
    longestMs = std::max(longestMs, ms);
    state.SetIterationTime(ms / 1000.0);
    const auto printStart = Clock::now();
    sink += PrintDevicesRecords(s);
    printMs += std::chrono::duration<double, std::milli>(Clock::now() - printStart).count();
  }
  benchmark::DoNotOptimize(sink);
  const double n = double(state.iterations());
  state.counters["tick_ms"] = tickMs / n;
  state.counters["longest_tick_ms"] = longestMs;
  state.counters["print_ms"] = printMs / n;
  state.counters["ratio_to_print"] = printMs > 0 ? tickMs / printMs : 0;
  state.counters["share_of_budget"] = longestMs / kBudgetMs;
}
BENCHMARK(BM_AutosaveTickUnderTheLock)->ArgName("units")->Arg(2000)->Iterations(20)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_AutosaveSaveBesideTheWorker(benchmark::State& state) {
  constexpr double kGoalMs = 10.0;
  CSystem s;
  processor_rack::Populate(s, int(state.range(0)), 0);
  QTemporaryDir dir;
  const std::string path = dir.filePath("autosave.ovd").toStdString();
  if (!dir.isValid() || !s.File().SaveFile(path)) {
    state.SkipWithError("the file could not be saved");
    return;
  }
  using Clock = std::chrono::steady_clock;
  double longestWaitMs = 0, saveMs = 0;
  for (auto _ : state) {
    s.SetModified(true);
    std::atomic<bool> saving{true};
    double longest = 0;
    std::thread worker([&] {
      while (saving) {
        const auto asked = Clock::now();
        {
          CSingleLock lock(s.GetLock());
          longest = std::max(longest, std::chrono::duration<double, std::milli>(Clock::now() - asked).count());
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
    });
    const auto start = Clock::now();
    const bool saved = s.File().SaveFile(path);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    saving = false;
    worker.join();
    if (!saved) {
      state.SkipWithError("the save failed");
      return;
    }
    state.SetIterationTime(ms / 1000.0);
    saveMs += ms;
    longestWaitMs = std::max(longestWaitMs, longest);
  }
  state.counters["save_ms"] = saveMs / double(state.iterations());
  state.counters["longest_wait_ms"] = longestWaitMs;
  state.counters["wait_share"] = longestWaitMs / kGoalMs;
}
BENCHMARK(BM_AutosaveSaveBesideTheWorker)->ArgName("units")->Arg(5000)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

// With ORVAK_SYSTEM_FILE=<path> the 250-processor file (with its snapshots) is also saved there,
// to be opened in the application.
int main(int argc, char** argv) {
  return RunBenchmarks(argc, argv, [] {
    if (const char* path = std::getenv("ORVAK_SYSTEM_FILE")) {
      CSystem s;
      Populate(s, 20);
      s.File().SaveFile(path);
    }
  });
}
