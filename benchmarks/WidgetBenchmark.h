// What the widget benchmarks share: the drawing measures (DrawBenchmark.h), a share of a time
// budget alone, and a main that runs the benchmarks inside an offscreen Qt application.
#pragma once

#include <benchmark/benchmark.h>

#include <QApplication>
#include <chrono>

#include "benchmarks/BenchmarkMain.h"
#include "benchmarks/DrawBenchmark.h"

// Runs work once per iteration and reports its mean time over budgetSeconds as counter.
template <class Work>
void MeasureShare(benchmark::State& state, const char* counter, double budgetSeconds, Work work) {
  double seconds = 0.0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    work();
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  state.counters[counter] = seconds / double(state.iterations()) / budgetSeconds;
}

inline int RunWidgetBenchmarks(int argc, char** argv) { return RunBenchmarks<QApplication>(argc, argv); }
