// The output EQ graph, each measured beside a reference run in the same iterations:
// - a full response curve (eleven sections of 420 points and their sum, recomputed) beside a
//   loop of as many complex multiplications with one log10 each (goal: ratio at most 1.3);
// - one step of a band's handle drag on a Nerex48 panel's Output EQ page, from the mouse
//   message to the end of its paint, beside drawing the graph once with the dragged section
//   recomputed (goal: ratio at most 1.2).
// ratio is the mean time over the reference's; share_of_goal is ratio over the goal.
#include <QApplication>
#include <array>
#include <algorithm>
#include <ctime>
#include <vector>
#include <complex>
#include <memory>

#include "benchmarks/WidgetBenchmark.h"
#include "core/system/System.h"
#include "devices/processor/NerexChange.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexParamIds.h"
#include "devices/processor/NerexPresets.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "devices/processor/NerexSeriesMemory.h"
#include "panels/framework/ControlPanelWnd.h"
#include "panels/processor/NerexControlPanel.h"
#include "panels/processor/NerexSeriesParametricControl.h"
#include "panels/PanelClasses.h"
#include "platform/Image.h"
#include "platform/MouseMessages.h"
#include "tests/support/ModelChanges.h"

namespace {

// Processor time of the whole process (Qt's painting helper threads among it): on a loaded
// machine wall time also counts the waits for a processor.
struct Clock {
  static double now() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
  }
};

double Seconds(double start) { return Clock::now() - start; }

double Median(std::vector<double> v) {
  if (v.empty()) return 0.0;
  std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(v.size() / 2), v.end());
  return v[v.size() / 2];
}

// The ratio of the medians of the two runs' times: the median leaves out the runs that a
// loaded machine slowed now and then, on both sides.
void Report(benchmark::State& state, const std::vector<double>& times, const std::vector<double>& references,
            double goal) {
  const double reference = Median(references);
  if (reference <= 0.0) return;
  state.counters["ratio"] = Median(times) / reference;
  state.counters["share_of_goal"] = Median(times) / reference / goal;
}

// --- The response curve ---

struct CCurveBench {
  CCurveBench() {
    InitMemoryDefaults(image);
    panel.CreateBackBuffer(850, 660);
    curve = new CNerexSeriesParametricControl(&panel, kOutputEqCurveId, CRect{10, 280, 840, 650});
    panel.AddControl(curve);
    const int types[9] = {0, 1, 2, 5, 6, 7, 8, 9, 12};
    for (int b = 0; b < 9; ++b) {
      NerexEqBand& band = image.outputs.PeqBand(0, b);
      band.type = std::uint8_t(types[b]);
      band.frequency = std::uint16_t(60 + 40 * b);
      band.gain = std::int16_t(b % 2 ? -60 : 90);
      band.q = 72;
      curve->AddSection(new CCurveData(&band, image.outputs.PeqIds(0, b)));
    }
    image.outputs.highPass[0].q = 11;  // 48 dB Linkwitz-Riley
    image.outputs.lowPass[0].q = 4;    // 24 dB Bessel
    curve->AddSection(new CCurveData(&image.outputs.highPass[0], image.outputs.highPassIds[0]));
    curve->AddSection(new CCurveData(&image.outputs.lowPass[0], image.outputs.lowPassIds[0]));
    curve->RecomputeStale();
    for (std::size_t k = 0; k < kCurvePoints; ++k) {
      a[k] = std::polar(1.0 + 1e-3 * double(k), 0.01 * double(k));
      b[k] = std::polar(1.0 - 1e-4 * double(k), -0.02 * double(k));
    }
  }

  // 11 x 420 complex multiplications, each followed by one log10 of its magnitude.
  double Reference() {
    double sum = 0.0;
    for (int section = 0; section < 11; ++section)
      for (std::size_t k = 0; k < kCurvePoints; ++k) sum += std::log10(std::norm(a[k] * b[k]));
    return sum;
  }

  CNerexSeriesMemory image;
  CControlPanelWnd panel;
  CNerexSeriesParametricControl* curve = nullptr;
  std::array<std::complex<double>, kCurvePoints> a{}, b{};
};

void BM_ResponseCurve(benchmark::State& state) {
  CCurveBench bench;
  std::vector<double> times, references;
  for (auto _ : state) {
    auto start = Clock::now();
    bench.curve->MarkStale(-1);
    benchmark::DoNotOptimize(bench.curve->RecomputeStale());
    times.push_back(Seconds(start));
    start = Clock::now();
    benchmark::DoNotOptimize(bench.Reference());
    references.push_back(Seconds(start));
  }
  Report(state, times, references, 1.3);
}
BENCHMARK(BM_ResponseCurve)->Unit(benchmark::kMicrosecond);

// --- A handle drag on a panel ---

// A Nerex48 with its panel open and shown on the Output EQ page, band 3 of output 1 raised by
// 6 dB and its handle pressed.
struct CDragBench {
  CDragBench() {
    RegisterDevicePanelClasses();
    device = static_cast<CNerexSeriesDevice*>(CreateNerexSeriesDevice(&system, nullptr, kModelNerex48, 1, 0));
    system.AppendDevice(device);
    system.Users().SetCurrentUser(0);
    panel.reset(dynamic_cast<CNerexSeriesControlPanel*>(CreateControlPanel(device->GetControlPanelClass())));
    panel->SetDevice(device);
    device->SetControlPanel(panel.get());
    panel->Create();
    panel->UpdateAllControls();
    const CSize size = device->GetPanelSize();
    panel->resize(size.cx, size.cy);
    panel->show();
    ModelChange(device, MakeBoolParamValue(kNerexPageOutputEq, true));
    ModelChange(device, CParamValue(kParamOutputPeqGain + 2, 6.0f, ParamKind::kLevel));
    for (CControlObject* control : panel->GetControls())
      if (control->GetId() == kOutputEqCurveId) curve = dynamic_cast<CNerexSeriesParametricControl*>(control);
    QApplication::processEvents();
    if (!curve) return;
    const CRect handle = curve->GetHandleRect(2);
    x = (handle.left + handle.right) / 2;
    y = (handle.top + handle.bottom) / 2;
    panel->DispatchMouseMessage(WM_LBUTTONDOWN, MK_LBUTTON, x, y);
    QApplication::processEvents();
  }
  ~CDragBench() {
    if (device) device->SetControlPanel(nullptr);
    panel.reset();
  }

  CSystem system;
  CNerexSeriesDevice* device = nullptr;
  std::unique_ptr<CNerexSeriesControlPanel> panel;
  CNerexSeriesParametricControl* curve = nullptr;
  int x = 0, y = 0;
};

void BM_HandleDragStep(benchmark::State& state) {
  CDragBench bench;
  if (!bench.curve || bench.curve->m_selectedBand != 2) {
    state.SkipWithError("the band's handle was not taken");
    return;
  }
  Graphics& g = *bench.panel->GetBackBufferGraphics();
  const CRect rect = bench.curve->GetRect();
  std::vector<double> times, references;
  int step = 0;
  auto drag = [&] {
    // Up and right by 3 pixels, then back, as a hand moves a pointer: each step moves the
    // band's gain and frequency.
    const int d = (++step % 2) ? 3 : 0;
    const auto start = Clock::now();
    bench.panel->DispatchMouseMessage(WM_MOUSEMOVE, MK_LBUTTON, bench.x + d, bench.y - d);
    QApplication::processEvents();
    times.push_back(Seconds(start));
  };
  // The graph drawn once with the band moved as far as a step moves it (to a place the drag
  // never takes, so that each draw changes what the one before drew), then put back.
  NerexEqBand& band = WritableSettings(*bench.device).outputs.PeqBand(int(bench.device->GetSelectedOutput()), 2);
  auto draw = [&] {
    const NerexEqBand held = band;
    band.gain = std::int16_t(band.gain + 8);
    band.frequency = std::uint16_t(band.frequency + 2);
    const auto start = Clock::now();
    bench.curve->MarkStale(2);
    bench.curve->Draw(g, rect);
    references.push_back(Seconds(start));
    band = held;
    bench.curve->MarkStale(2);
  };
  // In turn first and second, so that neither finds the other's pictures in the caches always.
  for (auto _ : state) {
    if (step % 4 < 2) {
      drag();
      draw();
    } else {
      draw();
      drag();
    }
  }
  Report(state, times, references, 1.2);
}
BENCHMARK(BM_HandleDragStep)->Unit(benchmark::kMicrosecond)->Iterations(300);

}  // namespace

int main(int argc, char** argv) { return RunWidgetBenchmarks(argc, argv); }
