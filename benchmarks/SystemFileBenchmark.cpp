// Save and open of a large system of real processors: 250 of them over five zones, 10 users,
// 50 links and 20 snapshots. Each is measured beside a raw write (or read) of the same bytes in
// the same run: ratio_to_raw is the system's time over the raw time.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <chrono>

#include "benchmarks/BenchmarkMain.h"
#include "core/Device.h"
#include "core/Link.h"
#include "core/Snapshot.h"
#include "core/System.h"
#include "core/User.h"
#include "core/Zone.h"
#include "devices/processor/ProcessorFamily.h"
#include "platform/Archive.h"

namespace {

using Clock = std::chrono::steady_clock;

// Processor models in turn, each with its own settings image.
constexpr std::uint32_t kModels[] = {16, 17, 110, 112, 114, 115, 116, 118, 120, 121};

void Populate(CSystem& s) {
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
  for (int n = 0; n < 20; ++n) s.AddSnapshot("Snapshot " + std::to_string(n));
}

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

void BM_SaveSystemFile(benchmark::State& state) {
  QTemporaryDir dir;
  CSystem s;
  Populate(s);
  const std::string path = dir.filePath("bench.ovd").toStdString();
  const std::string rawPath = dir.filePath("raw.bin").toStdString();
  if (!s.SaveFile(path)) state.SkipWithError("save failed");
  std::vector<std::uint8_t> bytes;
  ReadWholeFile(path, bytes, nullptr);
  double saveSeconds = 0, rawSeconds = 0;
  for (auto _ : state) {
    auto t = Clock::now();
    if (!s.SaveFile(path)) state.SkipWithError("save failed");
    saveSeconds += Seconds(t);
    t = Clock::now();
    if (!WriteFileAtomically(rawPath, bytes, nullptr)) state.SkipWithError("raw write failed");
    rawSeconds += Seconds(t);
  }
  state.counters["bytes"] = double(bytes.size());
  state.counters["ratio_to_raw"] = rawSeconds > 0 ? saveSeconds / rawSeconds : 0;
}
BENCHMARK(BM_SaveSystemFile)->Unit(benchmark::kMillisecond);

void BM_OpenSystemFile(benchmark::State& state) {
  QTemporaryDir dir;
  const std::string path = dir.filePath("bench.ovd").toStdString();
  {
    CSystem s;
    Populate(s);
    s.SaveFile(path);
  }
  CSystem s;
  double openSeconds = 0, rawSeconds = 0;
  std::vector<std::uint8_t> bytes;
  for (auto _ : state) {
    auto t = Clock::now();
    if (!s.OpenFile(path)) state.SkipWithError("open failed");
    openSeconds += Seconds(t);
    t = Clock::now();
    if (!ReadWholeFile(path, bytes, nullptr)) state.SkipWithError("raw read failed");
    rawSeconds += Seconds(t);
  }
  state.counters["ratio_to_raw"] = rawSeconds > 0 ? openSeconds / rawSeconds : 0;
}
BENCHMARK(BM_OpenSystemFile)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return RunBenchmarks(argc, argv); }
