// The two drawn views with 32 processors in 4 zones: one full redraw of the device rack and one
// drain of the live-meter queue with every device's meters changed, each reported as a share of
// the 20 ms meter tick and as a ratio to one plain fill of the same back buffer measured in the
// same run. With ORVAK_RACK_PNG=<folder> the rack and the strip are also saved there as PNGs.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include "benchmarks/BenchmarkMain.h"
#include "core/System.h"
#include "core/Zone.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "platform/Graphics.h"
#include "platform/Image.h"
#include "ui/DeviceRack.h"
#include "ui/LiveMeterView.h"

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
        device->SetName("Array " + std::to_string(id));
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

// One plain fill of an image of the buffer's size: the reference of the ratios.
double FillMs(int width, int height) {
  CImage image(width, height);
  Graphics g(image);
  const auto start = std::chrono::steady_clock::now();
  g.FillRectangle(CBrush::Solid(CColour{0xFF404040u}), CRectF{0.0f, 0.0f, float(width), float(height)});
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

void Report(benchmark::State& state, double totalMs, double referenceMs) {
  const double n = double(state.iterations());
  if (n <= 0) return;
  state.counters["frame_ms"] = totalMs / n;
  state.counters["share_of_20ms_tick"] = totalMs / n / kTickMs;
  state.counters["ratio_to_fill"] = totalMs / referenceMs;
}

// Times step once per iteration (prepare runs first, untimed) against a plain fill of the
// buffer's size.
template <typename Prepare, typename Step>
void TimeFrames(benchmark::State& state, const CImage& buffer, Prepare prepare, Step step) {
  double total = 0.0, reference = 0.0;
  for (auto _ : state) {
    prepare();
    const auto start = std::chrono::steady_clock::now();
    step();
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(ms / 1000.0);
    total += ms;
    reference += FillMs(buffer.Width(), buffer.Height());
  }
  Report(state, total, reference);
}

void BM_FullRackRedraw(benchmark::State& state) {
  Views& v = Shared();
  TimeFrames(state, *v.rack.GetBackBuffer(), [] {}, [&v] { v.rack.Refresh(); });
}

void BM_MeterStripDrain(benchmark::State& state) {
  Views& v = Shared();
  TimeFrames(
      state, *v.meters.GetBackBuffer(),
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
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
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
