// The Nerex48 panel against a simulated unit: the 20 ms meter tick on the Mixer page with every
// meter moving (goal: under 1 ms), and opening a panel, that is creating it, loading its skin
// set and drawing it whole for the first time (goal: under 150 ms). Each is reported in ms, as a
// ratio to one plain fill of the panel's 850 x 600 back buffer measured in the same run, and as
// its share of the goal.
#include <QApplication>
#include <array>
#include <memory>

#include "benchmarks/WidgetBenchmark.h"
#include "core/support/SystemMessages.h"
#include "devices/processor/NerexModelTable.h"
#include "panels/processor/NerexControlPanel.h"
#include "panels/PanelClasses.h"
#include "tests/support/ProcessorBus.h"

namespace {

constexpr int kWidth = 850, kHeight = 600;

void DispatchStatusEvents(CProcessorBus& bus, CNerexSeriesDevice& device) {
  for (const CPostedMessage& m : bus.Frame().Take())
    if (m.message == FrameMsg::kStatusEvent && m.handle == device.GetHandle()) device.OnStatusEvent(int(m.lParam));
}

// A Nerex48 read back in full over the stand-in worker.
struct Rig {
  CProcessorBus bus;
  CSimProcessorUnit* unit = nullptr;
  CNerexSeriesDevice* device = nullptr;
  bool ready = false;

  Rig() {
    RegisterDevicePanelClasses();
    unit = bus.AddUnit(kModelNerex48, 1);
    if (!bus.Open()) return;
    device = bus.AddDevice(kModelNerex48, 1);
    ready = device && bus.RunUntil([&] { return device->AllBlocksReceived(); });
  }

  std::unique_ptr<CNerexSeriesControlPanel> Open() {
    std::unique_ptr<CNerexSeriesControlPanel> panel(
        dynamic_cast<CNerexSeriesControlPanel*>(CreateControlPanel(device->GetControlPanelClass())));
    panel->SetDevice(device);
    device->SetControlPanel(panel.get());
    panel->Create();
    panel->UpdateAllControls();
    return panel;
  }
  void Close(std::unique_ptr<CNerexSeriesControlPanel>& panel) {
    device->SetControlPanel(nullptr);
    panel.reset();
  }
};

void BM_MeterTickMixerPage(benchmark::State& state) {
  Rig rig;
  if (!rig.ready) {
    state.SkipWithError("the simulated unit was not read back");
    return;
  }
  auto panel = rig.Open();
  DispatchStatusEvents(rig.bus, *rig.device);
  std::array<std::uint8_t, 32> meters{};
  int phase = 0;
  MeasureAgainstFill(
      state, kWidth, kHeight, 1.0,
      [&] {
        // Every input and output moves by a few dB each tick.
        for (std::size_t i = 0; i < meters.size(); ++i) meters[i] = std::uint8_t(9 + (phase + 7 * int(i)) % 40);
        ++phase;
        rig.unit->SetMeterBytes(meters);
        const std::size_t reads = rig.unit->ReadCount(62);
        rig.bus.RunUntil([&] { return rig.unit->ReadCount(62) > reads; });
        DispatchStatusEvents(rig.bus, *rig.device);
      },
      [&] { panel->OnTimer(CNerexSeriesBaseControlPanel::kMeterTimerId); });
  rig.Close(panel);
}

void BM_OpenPanel(benchmark::State& state) {
  Rig rig;
  if (!rig.ready) {
    state.SkipWithError("the simulated unit was not read back");
    return;
  }
  std::unique_ptr<CNerexSeriesControlPanel> panel;
  MeasureAgainstFill(
      state, kWidth, kHeight, 150.0,
      [&] {
        if (panel) rig.Close(panel);  // the last panel frees the skin set: the next open loads it again
      },
      [&] { panel = rig.Open(); });
  if (panel) rig.Close(panel);
}

}  // namespace

BENCHMARK(BM_MeterTickMixerPage)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenPanel)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) { return RunBenchmarks<QApplication>(argc, argv); }
