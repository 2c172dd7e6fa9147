// A logged line once the log is full, at a "Max log file size" of 1 MB and of 200 MB: the log is
// filled to its limit, then as many lines of 1,000 bytes are logged at both limits as fill more
// than a quarter of the larger one, so that the trims those lines cause are in the mean at both.
// growth is the mean time of a line at 200 MB over the mean at 1 MB (goal: at most 2).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "benchmarks/BenchmarkMain.h"
#include "core/support/AppSettings.h"
#include "core/support/LogFile.h"
#include "platform/Sync.h"

namespace {

constexpr std::uint32_t kSmallKB = 1024;
constexpr std::uint32_t kLargeKB = 200 * 1024;
constexpr int kLines = 60000;  // 60 MB: past a quarter of 200 MB
constexpr double kGoal = 2.0;

// The log full to limitKB of 1,000-byte lines, as a long run leaves it.
bool FillLog(std::uint32_t limitKB) {
  std::FILE* file = std::fopen(CLogFile::GetLogFilePath().c_str(), "wb");
  if (!file) return false;
  const std::string line = std::string(998, 'x') + "\r\n";
  for (std::uint64_t written = 0; written + line.size() < std::uint64_t(limitKB) * 1024; written += line.size())
    std::fwrite(line.data(), 1, line.size(), file);
  return std::fclose(file) == 0;
}

// The mean seconds of a line logged at the limit.
double MeanLine(std::uint32_t limitKB) {
  CCriticalSection lock;
  CAppSettings settings;
  settings.maxLogFileSizeKB = limitKB;
  CLogFile log(lock, settings);
  if (!FillLog(limitKB)) return 0;
  const std::string text = "No reply received from device ID 7 " + std::string(950, 'r') + "\n";
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kLines; ++i) log.WriteLog(text);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / kLines;
}

void BM_LineAtTheLimit(benchmark::State& state) {
  double small = 0, large = 0;
  for (auto _ : state) {
    small = MeanLine(kSmallKB);
    large = MeanLine(kLargeKB);
  }
  std::remove(CLogFile::GetLogFilePath().c_str());
  state.counters["us_at_1MB"] = small * 1e6;
  state.counters["us_at_200MB"] = large * 1e6;
  state.counters["growth"] = large / small;
  state.counters["goal_growth"] = kGoal;
}
BENCHMARK(BM_LineAtTheLimit)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) { return RunBenchmarks(argc, argv); }
