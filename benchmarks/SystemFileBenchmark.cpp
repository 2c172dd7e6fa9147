// Save and open of a large system: 250 devices, 10 users, 50 links and 20 snapshots.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include "core/Device.h"
#include "core/Link.h"
#include "core/Snapshot.h"
#include "core/System.h"
#include "core/User.h"
#include "core/Zone.h"
#include "platform/Archive.h"
#include "tests/support/FileTestDevices.h"

namespace {

void Populate(CSystem& s) {
  RegisterFileTestDevices();
  for (int z = 1; z < 5; ++z) {
    auto* zone = new CZone(&s);
    zone->SetName("Zone " + std::to_string(z));
    s.AppendZone(zone);
  }
  for (std::uint32_t i = 0; i < 250; ++i) {
    auto* d = new CFileTestDevice(&s, CFileTestDevice::kImagingType, i + 1, nullptr, 0);
    d->SetName("Device " + std::to_string(i));
    d->level = int(i % 100);
    d->label = "A label long enough to look like a real device's texts";
    s.AppendDevice(d);
    s.GetZones()[i % 5]->AppendDevice(d);
  }
  for (int u = 1; u < 10; ++u) s.GetUsers().push_back(new CUser("User" + std::to_string(u), "pw"));
  s.EnsureUserPermissions();
  for (int l = 0; l < 50; ++l) {
    CLink* link = s.AddLink();
    for (int m = 0; m < 5; ++m)
      link->AddRef(new CLinkRef(s.GetDevice((l * 5 + m) % 250)->GetUuid(), CFileTestDevice::kLevel));
  }
  for (int n = 0; n < 20; ++n) s.AddSnapshot("Snapshot " + std::to_string(n));
}

void BM_SaveSystemFile(benchmark::State& state) {
  QTemporaryDir dir;
  CSystem s;
  Populate(s);
  const std::string path = dir.filePath("bench.ovd").toStdString();
  for (auto _ : state) {
    if (!s.SaveFile(path)) state.SkipWithError("save failed");
  }
  std::vector<std::uint8_t> bytes;
  ReadWholeFile(path, bytes, nullptr);
  state.counters["bytes"] = double(bytes.size());
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
  for (auto _ : state) {
    if (!s.OpenFile(path)) state.SkipWithError("open failed");
  }
}
BENCHMARK(BM_OpenSystemFile)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
