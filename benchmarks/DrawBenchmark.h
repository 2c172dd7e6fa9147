// What the drawing benchmarks share: timing a piece of drawing work beside one plain fill of an
// image of the back buffer's size measured in the same iteration (ratio_to_fill, the figure that
// holds across machines and loads), and as a share of a time budget.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>

#include "platform/Graphics.h"
#include "platform/Image.h"

inline double MsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// One plain fill of an image of width x height, in ms: the reference of the ratios.
inline double FillMs(int width, int height) {
  CImage image(width, height);
  Graphics g(image);
  const auto start = std::chrono::steady_clock::now();
  g.FillRectangle(CBrush::Solid(CColour{0xFF404040u}), CRectF{0.0f, 0.0f, float(width), float(height)});
  return MsSince(start);
}

// Runs work once per iteration (prepare first, untimed) and a plain fill of a width x height
// image beside it. Reports ms (the mean), ratio_to_fill and, with a budget, share_of_budget
// (the mean over budgetMs). The iterations are timed by hand (UseManualTime).
template <class Prepare, class Work>
void MeasureAgainstFill(benchmark::State& state, int width, int height, double budgetMs, Prepare prepare, Work work) {
  double total = 0.0, reference = 0.0;
  for (auto _ : state) {
    prepare();
    const auto start = std::chrono::steady_clock::now();
    work();
    const double ms = MsSince(start);
    state.SetIterationTime(ms / 1000.0);
    total += ms;
    reference += FillMs(width, height);
  }
  const double n = double(state.iterations());
  if (n <= 0) return;
  state.counters["ms"] = total / n;
  state.counters["ratio_to_fill"] = total / reference;
  if (budgetMs > 0) state.counters["share_of_budget"] = total / n / budgetMs;
}

template <class Work>
void MeasureAgainstFill(benchmark::State& state, int width, int height, double budgetMs, Work work) {
  MeasureAgainstFill(state, width, height, budgetMs, [] {}, work);
}
