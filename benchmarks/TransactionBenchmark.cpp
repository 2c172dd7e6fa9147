// Back-to-back transactions against the simulated bus pacing bytes at 57600 baud with no
// device delay. On the in-memory line, paced both ways, wire_share is the share of the wire's
// 5760 bytes/s that the transactions use (request and reply bytes over the elapsed time); 1.0
// would leave the line never idle. On a pseudo-terminal through the program's own serial port,
// where the requests arrive at once and the simulator paces its answers, reply_wire_share is the
// share of the elapsed time that the replies' own wire time fills (goal for 20-byte replies:
// 0.95 or more); what is missing is what the port, the transport and the simulator's turnaround
// cost per transaction.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>

#include "benchmarks/BenchmarkMain.h"
#include "core/comms/SerialComms.h"
#include "core/protocol/SevenBit.h"
#include "platform/SerialPortMemory.h"
#include "tools/devsim/SimBus.h"

namespace {

constexpr std::uint32_t kBaud = 57600;
constexpr double kWireBytesPerSecond = kBaud / 10.0;

// What back-to-back transactions moved, and in how long.
struct Traffic {
  std::uint64_t requestBytes = 0;
  std::uint64_t replyBytes = 0;
  std::uint64_t failures = 0;
  double seconds = 0;
};

// Reads of replyLength bytes from unit 5, or acknowledged writes when it is 1, one per
// benchmark iteration.
Traffic RunTransactions(benchmark::State& state, CSerialComms& comms, std::uint32_t replyLength) {
  const bool write = replyLength == 1;
  CControlMessage& t = comms.Transaction();
  const std::uint8_t head[] = {std::uint8_t(write ? 0xF1 : 0xF0), 0x00, 0x07, 0x10, 0x05, 0x00,
                               std::uint8_t(write ? 0x18 : 0x4F)};
  std::memcpy(t.frame, head, sizeof head);
  t.frame[7] = Checksum7Bit(head, sizeof head);
  Traffic traffic;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    t.Set(write ? 0x18 : 0x4F, 8, write ? 0 : replyLength, nullptr, write, 0xA8, 0, 0);
    comms.StartWrite(true);
    comms.WaitForCompletion();
    if (t.receivedLength != t.expectedLength) ++traffic.failures;
    traffic.requestBytes += 8;
    traffic.replyBytes += t.receivedLength;
  }
  traffic.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  state.counters["failures"] = double(traffic.failures);
  return traffic;
}

// On the in-memory line, paced both ways.
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
  const Traffic traffic = RunTransactions(state, comms, replyLength);
  state.counters["wire_share"] =
      double(traffic.requestBytes + traffic.replyBytes) / kWireBytesPerSecond / traffic.seconds;
  comms.Close();
  bus.Stop();
}

// On a pseudo-terminal linked as a COM port, through the program's serial port.
void BM_TransactionsOnAPtyAt57600(benchmark::State& state) {
  constexpr std::uint32_t kPort = 30;
  const auto replyLength = std::uint32_t(state.range(0));
  auto wire = std::make_unique<CPtyWire>();
  if (!wire->IsValid() || !LinkComPort(kPort, wire->SlavePath())) {
    state.SkipWithError("no pseudo-terminal");
    return;
  }
  CSimBus bus(std::move(wire));
  bus.Add<CFramedUnit>(std::uint8_t(5))->SetReplyLength(0x4F, replyLength);
  bus.SetPacing(kBaud);
  bus.Start();
  CSerialComms comms;
  if (!comms.Open(kPort, kBaud, true)) {
    state.SkipWithError("cannot open the port");
    return;
  }
  const Traffic traffic = RunTransactions(state, comms, replyLength);
  state.counters["reply_wire_share"] = double(traffic.replyBytes) / kWireBytesPerSecond / traffic.seconds;
  comms.Close();
  bus.Stop();
  UnlinkComPort(kPort);
}

}  // namespace

BENCHMARK(BM_TransactionsAt57600)->Arg(1)->Arg(20)->Arg(77)->Arg(288)->UseRealTime()
    ->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_TransactionsOnAPtyAt57600)->Arg(1)->Arg(20)->Arg(77)->Arg(288)->UseRealTime()
    ->Unit(benchmark::kMillisecond)->MinTime(2.0);

int main(int argc, char** argv) { return RunBenchmarks(argc, argv); }
