// A logged line once the log is full, at a "Max log file size" of 1 MB and of 200 MB: the log is
// filled to its limit, then as many lines of 1,000 bytes are logged at both limits as fill more
// than a quarter of the larger one, so that the trims those lines cause are in the mean at both.
// growth is the mean time of a line at 200 MB over the mean at 1 MB (goal: at most 2). The trims
// run beside the lines and hold the lock only to take the lines logged meanwhile and replace the
// file: longest_ratio is the longest line at 200 MB over the longest at 1 MB (goal: at most 5),
// where a trim under the lock made one line take a quarter of a second.
// Also a line at an 8 MB limit while no trim can be written (the disk fails its flush): its mean
// time over that of a line at the same limit whose trims are written, failed_trim_ratio (goal: at
// most 2): a trim that fails costs no more than one that works.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string>

#include "benchmarks/BenchmarkMain.h"
#include "core/support/AppSettings.h"
#include "core/support/LogFile.h"
#include "platform/Archive.h"
#include "platform/Sync.h"

namespace {

constexpr std::uint32_t kSmallKB = 1024;
constexpr std::uint32_t kLargeKB = 200 * 1024;
constexpr int kLines = 60000;  // 60 MB: past a quarter of 200 MB
constexpr double kGoal = 2.0;
constexpr double kLongestGoal = 5.0;

// The log full to limitKB of 1,000-byte lines, as a long run leaves it.
bool FillLog(std::uint32_t limitKB) {
  std::FILE* file = std::fopen(CLogFile::GetLogFilePath().c_str(), "wb");
  if (!file) return false;
  const std::string line = std::string(998, 'x') + "\r\n";
  for (std::uint64_t written = 0; written + line.size() < std::uint64_t(limitKB) * 1024; written += line.size())
    std::fwrite(line.data(), 1, line.size(), file);
  return std::fclose(file) == 0;
}

struct LineTimes {
  double mean = 0;     // seconds
  double longest = 0;  // seconds
};

// The seconds of a line logged at the limit, on average and at most.
LineTimes TimeLines(std::uint32_t limitKB, int lines = kLines) {
  CCriticalSection lock;
  CAppSettings settings;
  settings.maxLogFileSizeKB = limitKB;
  CLogFile log(lock, settings);
  if (!FillLog(limitKB)) return {};
  const std::string text = "No reply received from device ID 7 " + std::string(950, 'r') + "\n";
  LineTimes times;
  const auto start = std::chrono::steady_clock::now();
  auto last = start;
  for (int i = 0; i < lines; ++i) {
    log.WriteLog(text);
    const auto now = std::chrono::steady_clock::now();
    times.longest = std::max(times.longest, std::chrono::duration<double>(now - last).count());
    last = now;
  }
  times.mean = std::chrono::duration<double>(last - start).count() / lines;
  log.WaitForTrim();
  return times;
}

double MeanLine(std::uint32_t limitKB, int lines = kLines) { return TimeLines(limitKB, lines).mean; }

void BM_LineAtTheLimit(benchmark::State& state) {
  LineTimes small, large;
  for (auto _ : state) {
    small = TimeLines(kSmallKB);
    large = TimeLines(kLargeKB);
  }
  std::remove(CLogFile::GetLogFilePath().c_str());
  state.counters["us_at_1MB"] = small.mean * 1e6;
  state.counters["us_at_200MB"] = large.mean * 1e6;
  state.counters["growth"] = large.mean / small.mean;
  state.counters["goal_growth"] = kGoal;
  state.counters["longest_ms_at_1MB"] = small.longest * 1e3;
  state.counters["longest_ms_at_200MB"] = large.longest * 1e3;
  state.counters["longest_ratio"] = small.longest > 0 ? large.longest / small.longest : 0;
  state.counters["goal_longest_ratio"] = kLongestGoal;
}
BENCHMARK(BM_LineAtTheLimit)->Iterations(1)->Unit(benchmark::kSecond);

// 3,000 lines (3 MB, past a quarter of the limit) logged at an 8 MB limit from a full log, once
// as the trims are written and once while every flush fails.
void BM_LineWhileTheTrimFails(benchmark::State& state) {
  constexpr std::uint32_t kLimitKB = 8 * 1024;
  constexpr int kFewLines = 3000;
  double working = 0, failing = 0;
  for (auto _ : state) {
    working = MeanLine(kLimitKB, kFewLines);
    SetFileSyncForTests([](int) {
      errno = EIO;
      return -1;
    });
    failing = MeanLine(kLimitKB, kFewLines);
    SetFileSyncForTests(nullptr);
  }
  std::remove(CLogFile::GetLogFilePath().c_str());
  state.counters["us_working"] = working * 1e6;
  state.counters["us_failing"] = failing * 1e6;
  state.counters["failed_trim_ratio"] = failing / working;
  state.counters["goal_failed_trim_ratio"] = kGoal;
}
BENCHMARK(BM_LineWhileTheTrimFails)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) { return RunBenchmarks(argc, argv); }
