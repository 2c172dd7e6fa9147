// Save and open of a system file, each timed beside the same bytes written raw (through the
// same temporary-file write, flush and rename) or read raw in the same run: ratio_to_raw is the
// system's time over the raw time.
#pragma once

#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "core/System.h"
#include "platform/Archive.h"

namespace file_benchmark {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

// Saves system again and again, each time beside a raw write of the bytes of its first save.
inline void MeasureSave(benchmark::State& state, CSystem& system) {
  QTemporaryDir dir;
  const std::string path = dir.filePath("bench.ovd").toStdString();
  const std::string rawPath = dir.filePath("raw.bin").toStdString();
  if (!system.SaveFile(path)) state.SkipWithError("save failed");
  std::vector<std::uint8_t> bytes;
  ReadWholeFile(path, bytes, nullptr);
  double saveSeconds = 0, rawSeconds = 0;
  for (auto _ : state) {
    auto t = Clock::now();
    if (!system.SaveFile(path)) state.SkipWithError("save failed");
    saveSeconds += Seconds(t);
    t = Clock::now();
    if (!WriteFileAtomically(rawPath, bytes, nullptr)) state.SkipWithError("raw write failed");
    rawSeconds += Seconds(t);
  }
  state.counters["bytes"] = double(bytes.size());
  state.counters["ratio_to_raw"] = rawSeconds > 0 ? saveSeconds / rawSeconds : 0;
}

// Opens the file that populate gives a system, again and again, each time beside a raw read;
// afterOpen (when given) is timed with the open.
inline void MeasureOpen(benchmark::State& state, const std::function<void(CSystem&)>& populate,
                        const std::function<void(CSystem&)>& afterOpen = {}) {
  QTemporaryDir dir;
  const std::string path = dir.filePath("bench.ovd").toStdString();
  {
    CSystem s;
    populate(s);
    s.SaveFile(path);
  }
  CSystem s;
  double openSeconds = 0, rawSeconds = 0;
  std::vector<std::uint8_t> bytes;
  for (auto _ : state) {
    auto t = Clock::now();
    if (!s.OpenFile(path)) state.SkipWithError("open failed");
    if (afterOpen) afterOpen(s);
    openSeconds += Seconds(t);
    t = Clock::now();
    if (!ReadWholeFile(path, bytes, nullptr)) state.SkipWithError("raw read failed");
    rawSeconds += Seconds(t);
  }
  state.counters["ratio_to_raw"] = rawSeconds > 0 ? openSeconds / rawSeconds : 0;
}

}  // namespace file_benchmark
