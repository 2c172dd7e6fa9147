// The output EQ graph (830 x 370 px, nine parametric bands, a high-pass and a low-pass):
// recomputing one section's 420 points, recomputing all eleven sections with their sum, and
// one draw of the whole graph. goal_share is the share of 2 ms that a full recompute plus a
// draw may take (goal: below 1); the other two report their share of that same budget.
#include <memory>

#include "benchmarks/WidgetBenchmark.h"
#include "devices/processor/NerexPresets.h"
#include "devices/processor/NerexSeriesMemory.h"
#include "panels/ControlPanelWnd.h"
#include "panels/NerexSeriesParametricControl.h"
#include "platform/Image.h"

namespace {

constexpr double kGoalSeconds = 0.002;

struct CBench {
  CBench() {
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
      curve->AddSection(new CCurveData(&band));
    }
    image.outputs.highPass[0].q = 11;  // 48 dB Linkwitz-Riley
    image.outputs.lowPass[0].q = 4;    // 24 dB Bessel
    curve->AddSection(new CCurveData(&image.outputs.highPass[0]));
    curve->AddSection(new CCurveData(&image.outputs.lowPass[0]));
    curve->RecomputeStale();
  }

  CNerexSeriesMemory image;
  CControlPanelWnd panel;
  CNerexSeriesParametricControl* curve = nullptr;
};

void BM_RecomputeOneSection(benchmark::State& state) {
  CBench bench;
  MeasureShare(state, "goal_share", kGoalSeconds, [&] {
    bench.curve->MarkStale(0);
    benchmark::DoNotOptimize(bench.curve->RecomputeStale());
  });
}
BENCHMARK(BM_RecomputeOneSection)->Unit(benchmark::kMicrosecond);

void BM_RecomputeOutputEq(benchmark::State& state) {
  CBench bench;
  MeasureShare(state, "goal_share", kGoalSeconds, [&] {
    bench.curve->MarkStale(-1);
    benchmark::DoNotOptimize(bench.curve->RecomputeStale());
  });
}
BENCHMARK(BM_RecomputeOutputEq)->Unit(benchmark::kMicrosecond);

void BM_DrawGraph(benchmark::State& state) {
  CBench bench;
  Graphics& g = *bench.panel.GetBackBufferGraphics();
  const CRect clip = bench.curve->GetRect();
  MeasureShare(state, "goal_share", kGoalSeconds, [&] { bench.curve->Draw(g, clip); });
}
BENCHMARK(BM_DrawGraph)->Unit(benchmark::kMicrosecond);

// The goal: every section recomputed and the graph drawn.
void BM_RecomputeAndDrawOutputEq(benchmark::State& state) {
  CBench bench;
  Graphics& g = *bench.panel.GetBackBufferGraphics();
  const CRect clip = bench.curve->GetRect();
  MeasureShare(state, "goal_share", kGoalSeconds, [&] {
    bench.curve->MarkStale(-1);
    bench.curve->Draw(g, clip);
  });
}
BENCHMARK(BM_RecomputeAndDrawOutputEq)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) { return RunWidgetBenchmarks(argc, argv); }
