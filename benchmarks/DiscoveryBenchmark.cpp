// The comms worker against the simulated bus pacing bytes at 57600 baud: an autoscan that
// finds 16 units among all 63 short IDs, and one poll cycle of 16 devices. Each reports
// wire_ratio, the elapsed time over the wire time of the bytes sent and received (ten bits a
// byte); 1.0 would be a line that never rests. A scan's silent IDs cost their read time-outs,
// so its ratio is far above a poll cycle's.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "core/comms/CommsWorker.h"
#include "core/protocol/ControlMessage.h"
#include "core/model/Device.h"
#include "core/comms/Discovery.h"
#include "core/comms/SerialComms.h"
#include "core/protocol/SevenBit.h"
#include "core/system/System.h"
#include "devices/processor/ProcessorFamily.h"
#include "platform/SerialPortMemory.h"
#include "tools/devsim/SimBus.h"
#include "tools/devsim/SimDiscoveryUnit.h"

namespace {

constexpr std::uint32_t kBaud = 57600;
constexpr double kWireBytesPerSecond = kBaud / 10.0;
constexpr int kUnits = 16;

class CNoDialog : public IAutoscanDialog {
 public:
  void OnStatusText(const std::string&) override {}
};

// A device whose every turn is a 20-byte meter read in the F0/F1 layout.
class CMeterDevice : public CDevice {
 public:
  CMeterDevice(CSystem* system, std::uint32_t id) : CDevice(system, 16, id, nullptr, 0) {}
  ~CMeterDevice() override { Queue().ClearQueue(); }
  const char* GetControlPanelClass() override { return nullptr; }
  std::string GetModelName() override { return "Meter"; }
  bool GetNextPollMessage(CControlMessage& record) override {
    const std::uint8_t head[7] = {0xF0, 0x00, 0x07, 0x10, std::uint8_t(m_deviceId), 0x00, 0x3E};
    record.Set(0x3E, 8, 20, this, false, 0xA8, 0, 0);
    for (int i = 0; i < 7; ++i) record.frame[i] = head[i];
    record.frame[7] = Checksum7Bit(head, 7);
    return true;
  }
  void TakeReply(CControlMessage&) override {
    ++replies;
    UpdateCommsState(true);
  }
  std::atomic<std::uint64_t> replies{0};
};

double WireSeconds(const CSerialLine& line) {
  return double(line.BytesToDevice() + line.BytesToPort()) / kWireBytesPerSecond;
}

void BM_AutoscanFinds16UnitsAmongAllShortIds(benchmark::State& state) {
  RegisterProcessorFamily();
  double elapsed = 0, wire = 0;
  int found = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto line = std::make_shared<CSerialLine>();
    auto bus = std::make_unique<CSimBus>(std::make_unique<CLineWire>(line));
    for (int i = 0; i < kUnits; ++i) {
      SimDiscoveryConfig config;
      config.typeCode = 16;
      config.shortId = std::uint32_t(1 + 4 * i);  // 1, 5, ... 61
      bus->Add<CSimDiscoveryUnit>(config);
    }
    bus->SetPacing(kBaud);
    bus->Start();
    auto system = std::make_unique<CSystem>();
    system->GetComms().GetTransport().SetPort(std::make_unique<CMemorySerialPort>(line));
    system->GetComms().Discovery().SetScanRangeForTests(63, 0);  // every short ID; no long-ID groups
    system->Start(nullptr);
    if (!system->GoOnline(0)) {
      state.SkipWithError("cannot go online");
      return;
    }
    CNoDialog dialog;
    std::atomic<bool> running{true};
    const std::uint64_t before = line->BytesToDevice() + line->BytesToPort();
    state.ResumeTiming();

    const auto start = std::chrono::steady_clock::now();
    system->GetComms().Discovery().SetAutoscanDialog(&dialog, &running);
    while (running || system->GetComms().Discovery().GetAutoscanDialog())
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    elapsed += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    state.PauseTiming();
    wire += double(line->BytesToDevice() + line->BytesToPort() - before) / kWireBytesPerSecond;
    found = system->GetDeviceCount();
    system->GetComms().StopCommsThread();
    system.reset();
    bus->Stop();
    state.ResumeTiming();
  }
  state.counters["units_found"] = found;
  state.counters["wire_ms"] = 1000.0 * wire / double(state.iterations());
  state.counters["wire_ratio"] = elapsed / wire;
}

void BM_PollCycleOf16Devices(benchmark::State& state) {
  auto line = std::make_shared<CSerialLine>();
  CSimBus bus(std::make_unique<CLineWire>(line));
  for (int i = 0; i < kUnits; ++i) bus.Add<CFramedUnit>(std::uint8_t(1 + i))->SetReplyLength(0x3E, 20);
  bus.SetPacing(kBaud);
  bus.Start();
  CSystem system;
  system.GetComms().GetTransport().SetPort(std::make_unique<CMemorySerialPort>(line));
  std::vector<CMeterDevice*> devices;
  for (int i = 0; i < kUnits; ++i) {
    devices.push_back(new CMeterDevice(&system, std::uint32_t(1 + i)));
    system.AppendDevice(devices.back());
  }
  system.Start(nullptr);
  if (!system.GoOnline(0)) {
    state.SkipWithError("cannot go online");
    return;
  }
  auto allAbove = [&](std::uint64_t n) {
    for (CMeterDevice* d : devices)
      if (d->replies < n) return false;
    return true;
  };
  // Past the security step, every device answering.
  while (!allAbove(2)) std::this_thread::sleep_for(std::chrono::milliseconds(5));

  double elapsed = 0, wire = 0;
  for (auto _ : state) {
    // One cycle: from the reply that ends a round to the one that ends the next.
    const std::uint64_t seen = devices.back()->replies;
    while (devices.back()->replies == seen) std::this_thread::yield();
    const double wireBefore = WireSeconds(*line);
    const auto start = std::chrono::steady_clock::now();
    while (devices.back()->replies == seen + 1) std::this_thread::yield();
    const double cycle = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(cycle);
    elapsed += cycle;
    wire += WireSeconds(*line) - wireBefore;
  }
  state.counters["wire_ms"] = 1000.0 * wire / double(state.iterations());
  state.counters["wire_ratio"] = elapsed / wire;
  system.GetComms().StopCommsThread();
  bus.Stop();
}

}  // namespace

BENCHMARK(BM_AutoscanFinds16UnitsAmongAllShortIds)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_PollCycleOf16Devices)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

BENCHMARK_MAIN();
