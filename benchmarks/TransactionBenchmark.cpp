// Back-to-back transactions against the simulated bus pacing bytes at 57600 baud with no
// device delay. wire_share is the share of the wire's 5760 bytes/s that the transactions use
// (request and reply bytes over the elapsed time); 1.0 would leave the line never idle.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>

#include "core/SerialComms.h"
#include "core/SevenBit.h"
#include "platform/SerialPortMemory.h"
#include "tools/devsim/SimBus.h"

namespace {

constexpr std::uint32_t kBaud = 57600;
constexpr double kWireBytesPerSecond = kBaud / 10.0;

// Reads of state.range(0) reply bytes from one unit, or acknowledged writes when it is 1.
void BM_TransactionsAt57600(benchmark::State& state) {
  const auto replyLength = std::uint32_t(state.range(0));
  auto line = std::make_shared<CSerialLine>();
  CSimBus bus(std::make_unique<CLineWire>(line));
  bus.Add<CFramedUnit>(std::uint8_t(5))->SetReplyLength(0x4F, replyLength);
  bus.SetPacing(kBaud);
  bus.Start();
  CSerialComms comms(std::make_unique<CMemorySerialPort>(line));
  if (!comms.Open(1, kBaud, true)) {
    state.SkipWithError("cannot open the simulated port");
    return;
  }

  const bool write = replyLength == 1;
  CControlMessage& t = comms.Transaction();
  const std::uint8_t head[] = {std::uint8_t(write ? 0xF1 : 0xF0), 0x00, 0x07, 0x10, 0x05, 0x00,
                               std::uint8_t(write ? 0x18 : 0x4F)};
  std::memcpy(t.frame, head, sizeof head);
  t.frame[7] = Checksum7Bit(head, sizeof head);

  std::uint64_t bytes = 0;
  std::uint64_t failures = 0;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    t.Set(write ? 0x18 : 0x4F, 8, write ? 0 : replyLength, nullptr, write, 0xA8, 0, 0);
    comms.StartWrite(true);
    comms.WaitForCompletion();
    if (t.receivedLength != t.expectedLength) ++failures;
    bytes += 8 + t.receivedLength;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  state.counters["wire_share"] = double(bytes) / kWireBytesPerSecond / seconds;
  state.counters["failures"] = double(failures);
  comms.Close();
  bus.Stop();
}

}  // namespace

BENCHMARK(BM_TransactionsAt57600)->Arg(1)->Arg(20)->Arg(77)->Arg(288)->UseRealTime()
    ->Unit(benchmark::kMillisecond)->MinTime(1.0);

BENCHMARK_MAIN();
