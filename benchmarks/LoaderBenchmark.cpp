// A 256 KiB firmware load into a simulated unit at the loader's baud rates, on the line's own
// clock: the amplifier module's Intel HEX at 9600 baud (50-byte chunks, each answered) and a
// processor's image at 115200 baud (133-byte blocks, each acknowledged). over_wire is the load's
// time on the line over the wire time of every byte sent and received plus the pauses the
// loader sleeps through on its clock (goal: at most 1.2); the benchmark's own time is the
// computing cost.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/SerialPort.h"
#include "tools/devsim/SimBootLine.h"
#include "tools/devsim/SimBootUnit.h"
#include "ui/loader/Loaders.h"

namespace {

constexpr std::size_t kImageBytes = 256 * 1024;
constexpr std::uint32_t kPort = 3;

// Waits move the line's clock; their sum is part of the reference.
class CountingClock : public ILoaderClock {
 public:
  explicit CountingClock(CSimBootLine& line) : m_line(line) {}
  void Sleep(std::uint32_t ms) override {
    m_line.AdvanceMs(ms);
    waitedUs += std::uint64_t(ms) * 1000;
  }
  std::uint64_t NowMs() const override { return m_line.NowUs() / 1000; }
  std::uint64_t waitedUs = 0;

 private:
  CSimBootLine& m_line;
};

class SilentReport : public ILoaderReport {
 public:
  void LogLine(const std::string&, bool) override {}
  void Progress(int) override {}
};

SimBootBytes Image(const std::vector<std::uint8_t>& code) {
  SimBootBytes data(kImageBytes);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = std::uint8_t(i * 13 + 5);
  for (std::size_t i = 0; i < 2 * code.size(); ++i) data[64 + i] = code[i % code.size()];
  return data;
}

std::string WriteFile(const std::string& name, const SimBootBytes& bytes) {
  const std::string path = (std::filesystem::temp_directory_path() / name).string();
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return path;
}

void RunLoad(benchmark::State& state, CSimBootUnit::Family family, std::uint8_t type, const std::string& path,
             bool (*load)(const CLoaderContext&)) {
  double ratio = 0;
  for (auto _ : state) {
    CSimBootUnit unit(family, type);
    auto line = std::make_shared<CSimBootLine>(unit, GetComPortDevice(kPort));
    SetSerialPortFactoryForTests([line] { return line->CreatePort(); });
    CountingClock clock(*line);
    SilentReport report;
    CLoaderJob job;
    job.connectedPort = kPort;
    job.deviceType = type;
    job.firmwarePath = path;
    if (!load(CLoaderContext{job, clock, report}) || !unit.IsComplete()) {
      state.SkipWithError("the load failed");
      break;
    }
    ratio = double(line->NowUs()) / double(line->WireTimeUs() + clock.waitedUs);
  }
  SetSerialPortFactoryForTests({});
  state.counters["over_wire"] = ratio;
}

void BM_AmpModuleHexAt9600(benchmark::State& state) {
  const std::string path = WriteFile("orvak_bench_amp.hex", MakeIntelHex(Image({0x12, 0x34, 0x56, 0x78})));
  RunLoad(state, CSimBootUnit::Family::kAmpModule, 0x31, path, LoadAmpFirmware);
  std::filesystem::remove(path);
}

void BM_ProcessorImageAt115200(benchmark::State& state) {
  const std::string path = WriteFile("orvak_bench_processor.hex", Image({}));
  RunLoad(state, CSimBootUnit::Family::kProcessor, 0x72, path, LoadProcessorFirmware);
  std::filesystem::remove(path);
}

}  // namespace

BENCHMARK(BM_AmpModuleHexAt9600)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProcessorImageAt115200)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
