// Write transactions (9 bytes out, an ACK back) through the serial port on a pseudo-terminal
// whose master side the simulator answers without pacing, beside the same exchange written and
// read with plain blocking calls on the terminal in the same run. turnaround_us is what the port
// and the transaction add to each exchange; ratio_to_raw the times over each other.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

#include "benchmarks/BenchmarkMain.h"
#include "core/comms/SerialComms.h"
#include "core/protocol/SevenBit.h"
#include "tools/devsim/SimBus.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint32_t kPort = 31;

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

std::vector<std::uint8_t> WriteFrame() {
  std::vector<std::uint8_t> frame{0xF1, 0x00, 0x08, 0x10, 0x05, 0x00, 0x18, 0x01};
  frame.push_back(Checksum7Bit(frame.data(), frame.size()));
  return frame;
}

// One exchange with blocking calls on the slave side of the terminal.
bool RawExchange(int fd, const std::vector<std::uint8_t>& frame) {
  if (::write(fd, frame.data(), frame.size()) != ssize_t(frame.size())) return false;
  std::uint8_t ack = 0;
  return ::read(fd, &ack, 1) == 1;
}

void BM_WriteTransactionsOnAPty(benchmark::State& state) {
  auto wire = std::make_unique<CPtyWire>();
  const std::string slave = wire->SlavePath();
  if (!wire->IsValid() || !LinkComPort(kPort, slave)) {
    state.SkipWithError("no pseudo-terminal");
    return;
  }
  CSimBus bus(std::move(wire));
  bus.Add<CFramedUnit>(std::uint8_t(5));
  bus.Start();
  const std::vector<std::uint8_t> frame = WriteFrame();

  double qt = 0, raw = 0;
  std::uint64_t failures = 0;
  {
    CSerialComms comms;
    if (!comms.Open(kPort, 57600, true)) {
      state.SkipWithError("cannot open the port");
      return;
    }
    CControlMessage& t = comms.Transaction();
    for (auto _ : state) {
      std::memcpy(t.frame, frame.data(), frame.size());
      t.Set(0x18, std::uint32_t(frame.size()), 0, nullptr, true, 0xA8, 0, 0);
      auto start = Clock::now();
      comms.StartWrite(true);
      if (!comms.WaitForCompletion() || t.receivedLength != 1) ++failures;
      qt += Seconds(start);
    }
    comms.Close();
  }
  const int fd = ::open(slave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios tio{};
  if (fd >= 0 && ::tcgetattr(fd, &tio) == 0) {
    ::cfmakeraw(&tio);
    ::tcsetattr(fd, TCSANOW, &tio);
  }
  for (std::int64_t i = 0; fd >= 0 && i < state.iterations(); ++i) {
    auto start = Clock::now();
    if (!RawExchange(fd, frame)) ++failures;
    raw += Seconds(start);
  }
  if (fd >= 0) ::close(fd);
  bus.Stop();
  UnlinkComPort(kPort);
  const double n = double(state.iterations());
  state.counters["turnaround_us"] = (qt - raw) / n * 1e6;
  state.counters["ratio_to_raw"] = raw > 0 ? qt / raw : 0;
  state.counters["failures"] = double(failures);
}
BENCHMARK(BM_WriteTransactionsOnAPty)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) { return RunBenchmarks(argc, argv); }
