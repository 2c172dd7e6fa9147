// The two drawn views with 32 processors in 4 zones: one full redraw of the device rack and one
// drain of the live-meter queue with every device's meters changed, each reported as a ratio to
// one plain fill of the same back buffer measured in the same run and as a share of the 20 ms
// meter tick. The back buffers are the windows' size. With ORVAK_RACK_PNG=<folder> the rack and
// the strip are also saved there as PNGs.
#include <QApplication>
#include <cstdlib>
#include <memory>
#include <string>

#include "benchmarks/WidgetBenchmark.h"
#include "core/system/System.h"
#include "core/system/Zone.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "ui/DeviceRack.h"
#include "ui/LiveMeterView.h"
#include "tests/support/ModelChanges.h"

namespace {

constexpr double kTickMs = 20.0;

// 32 processors of mixed models, 8 in each of 4 zones, shown in a rack and a strip.
struct Views {
  Views() {
    const char* names[] = {"Main Zone", "Stage Left", "Stage Right", "Delays"};
    const int models[] = {kModelNerex48, kModelNerex26, kModelTorvex48, kModelFennick};
    for (int z = 0; z < 4; ++z) {
      CZone* zone = z == 0 ? system.GetZones().front() : new CZone(&system);
      zone->SetName(names[z]);
      if (z > 0) system.AppendZone(zone);
      for (int i = 0; i < 8; ++i) {
        const std::uint32_t id = std::uint32_t(z * 8 + i + 1);
        auto* device = static_cast<CNerexSeriesDevice*>(
            CreateNerexSeriesDevice(&system, nullptr, std::uint32_t(models[(z + i) % 4]), id, 0));
        NameDevice(device, "Array " + std::to_string(id));
        system.AppendDevice(device);
        zone->AppendDevice(device);
      }
    }
    system.SetSelectedDevice(2);
    rack.resize(260, 700);
    rack.SetSystem(&system);
    rack.show();
    meters.resize(1500, 180);
    meters.SetSystem(&system);
    meters.show();
    QApplication::processEvents();
  }
  CSystem system;
  CDeviceRack rack;
  CLiveMeterView meters;
};

// Made on first use and destroyed before the application object.
std::unique_ptr<Views> g_views;
Views& Shared() {
  if (!g_views) g_views = std::make_unique<Views>();
  return *g_views;
}

void BM_FullRackRedraw(benchmark::State& state) {
  Views& v = Shared();
  const CImage& buffer = *v.rack.GetBackBuffer();
  MeasureAgainstFill(state, buffer.Width(), buffer.Height(), kTickMs, [&v] { v.rack.Refresh(); });
}

void BM_MeterStripDrain(benchmark::State& state) {
  Views& v = Shared();
  const CImage& buffer = *v.meters.GetBackBuffer();
  MeasureAgainstFill(
      state, buffer.Width(), buffer.Height(), kTickMs,
      [&v] {
        for (CDevice* device : v.system.GetDevices()) v.meters.AddDevice(device, 1);
      },
      [&v] { v.meters.DrainQueue(); });
}

}  // namespace

BENCHMARK(BM_FullRackRedraw)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MeterStripDrain)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The views draw offscreen.
int main(int argc, char** argv) {
  return RunBenchmarks<QApplication>(
      argc, argv,
      [] {
        if (const char* folder = std::getenv("ORVAK_RACK_PNG")) {
          Views& v = Shared();
          v.rack.GetBackBuffer()->SavePng(std::string(folder) + "/rack.png");
          v.meters.GetBackBuffer()->SavePng(std::string(folder) + "/meters.png");
        }
      },
      [] { g_views.reset(); });
}
