// Fuzz target of the transport's reply framing: whatever the line delivers, in whatever
// pieces, for reads and writes of any expected length to several units on one line, must end
// each transaction without a crash, an overrun or a hang, and count late answers only against
// units that were asked. The line is scripted: each read the transport starts takes the next
// piece at once; when the script runs out every read times out empty. The program's clock moves
// as the line does (a read that ends short has waited its time-out), so the answers to sends met
// by silence are watched for, drained, dropped at the front of another unit's reply and have
// their rest read, as they are on a real line.
// Input: the expected length, the flags, the units, the rounds, then pieces each led by its
// length byte.
//   flags  bit 0 write, bit 1 no retry, bit 2 the units repeat their ID and command (echo
//          masks), bit 3 the verbose log, bits 4-5 the silent sends that end a transaction
//   units  bits 0-1 how many units (0 to 3, at IDs 1 to 3); bits 2-5 per round, the second
//          command instead of the first; bit 6 between transactions the transport looks for late
//          answers, as the comms worker does while a unit is passed over
//   rounds two bits per round (four rounds): the unit asked; one past the units asks no unit
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <vector>

#include "core/comms/SerialComms.h"
#include "core/model/Device.h"
#include "core/protocol/SevenBit.h"
#include "core/system/System.h"
#include "platform/Clock.h"
#include "platform/SerialPortQueue.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

constexpr std::uint32_t kBaud = 57600;
constexpr std::int64_t kByteUs = 10 * 1000000 / kBaud;
constexpr std::size_t kRounds = 4;
constexpr std::uint8_t kCommands[2] = {0x4F, 0x3E};

// The program's clock for one input: it moves only as the scripted line says time passes.
class CLineClock : public IClock {
 public:
  std::uint32_t TickCount() override { return std::uint32_t(m_us / 1000); }
  std::int64_t PerformanceCounter() override { return m_us; }
  std::int64_t PerformanceFrequency() override { return 1000000; }
  void AdvanceUs(std::int64_t us) { m_us += us; }

 private:
  std::int64_t m_us = 1000000;
};

class CScriptedPort : public ISerialPort {
 public:
  CScriptedPort(std::deque<std::vector<std::uint8_t>> pieces, CLineClock& clock)
      : m_pieces(std::move(pieces)), m_clock(clock) {}

  bool Open(const std::string&, std::uint32_t) override { return m_open = true; }
  void Close() override { m_open = false; }
  bool IsOpen() const override { return m_open; }
  bool SetTimeouts(const SerialTimeouts& timeouts) override {
    m_timeouts = timeouts;
    return true;
  }
  bool Purge(std::uint32_t) override { return true; }
  std::size_t Reads() const { return m_reads; }

 protected:
  bool StartWrite(const std::uint8_t*, std::uint32_t n, std::shared_ptr<CIoCompletionQueue> queue,
                  SerialCompletion done) override {
    m_clock.AdvanceUs(std::int64_t(n) * kByteUs);
    queue->PostCompletion(m_live, m_busy, std::move(done), true, n);
    return true;
  }
  bool StartRead(std::uint8_t* data, std::uint32_t n, std::shared_ptr<CIoCompletionQueue> queue,
                 SerialCompletion done) override {
    ++m_reads;
    std::uint32_t got = 0;
    if (!m_pieces.empty()) {
      std::vector<std::uint8_t>& piece = m_pieces.front();
      got = std::uint32_t(std::min<std::size_t>(n, piece.size()));
      if (got) std::memcpy(data, piece.data(), got);
      piece.erase(piece.begin(), piece.begin() + got);
      if (piece.empty()) m_pieces.pop_front();
    }
    // A read that ends short has waited out its time-out; one without a limit is taken to have
    // waited a second.
    if (got < n) {
      const auto limit = m_timeouts.ReadLimit(n);
      m_clock.AdvanceUs(limit ? std::int64_t(limit->count()) * 1000 : 1000000);
    } else {
      m_clock.AdvanceUs(std::int64_t(got) * kByteUs);
    }
    queue->PostCompletion(m_live, m_busy, std::move(done), true, got);
    return true;
  }

 private:
  std::deque<std::vector<std::uint8_t>> m_pieces;
  CLineClock& m_clock;
  SerialTimeouts m_timeouts;
  std::shared_ptr<std::atomic<bool>> m_live = std::make_shared<std::atomic<bool>>(true);
  std::atomic<bool> m_busy{false};
  bool m_open = false;
  std::size_t m_reads = 0;
};

// The system as the transport sees it: the log lines are made and dropped.
class CFuzzCommsHost : public ICommsHost {
 public:
  void WriteLog(const std::string& text) override { m_logged += text.size(); }
  void WriteErrorLog(const std::string& text) override { m_logged += text.size(); }
  bool IsLogCommsErrorsOn() const override { return true; }
  bool IsSuperDebugOn() const override { return verbose; }
  std::uint32_t GetDeviceIdForLog(const CDevice* device) const override { return device->GetDeviceId(); }
  std::uint64_t GetDeviceHandle(const CDevice* device) const override { return device->GetHandle(); }

  bool verbose = false;

 private:
  std::size_t m_logged = 0;
};

// The units on the line: processors at IDs 1 to 3, made once.
struct CFuzzUnits {
  CFuzzUnits() {
    for (std::uint32_t i = 0; i < 3; ++i) devices.emplace_back(CreateFuzzDevice(system, std::uint8_t(i), i + 1));
  }
  CSystem system;
  std::vector<std::unique_ptr<CDevice>> devices;
};

// The request of a round to the unit (null: no unit) with the command.
void SetRequest(CControlMessage& t, CDevice* unit, std::uint8_t command, std::uint32_t expected, std::uint8_t flags) {
  const std::uint8_t id = unit ? std::uint8_t(unit->GetDeviceId()) : 0x05;
  const std::uint8_t frame[7] = {0xF0, 0x00, 0x07, 0x10, id, 0x00, command};
  std::memcpy(t.frame, frame, sizeof frame);
  t.frame[7] = Checksum7Bit(frame, sizeof frame);
  t.Set(command, 8, expected, unit, (flags & 1) != 0, 0xA8, 0, 0);
  t.noRetry = (flags & 2) != 0;
  if (unit && (flags & 4) != 0) t.replyEchoMask = (1u << 4) | (1u << 6);
  t.maxSilentSends = (flags >> 4) & 3;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzSetUp();
  static CFuzzUnits units;
  CFuzzInput in(data, size);
  const std::uint32_t expected = std::uint32_t(in.Byte()) * 5;  // 0 to 1275: past the buffer too
  const std::uint8_t flags = in.Byte();
  const std::uint8_t unitChoice = in.Byte();
  const std::uint8_t rounds = in.Byte();
  std::deque<std::vector<std::uint8_t>> pieces;
  const auto rest = in.Rest();
  for (std::size_t at = 0; at < rest.size();) {
    const std::size_t length = std::min<std::size_t>(rest[at], rest.size() - at - 1);
    pieces.emplace_back(rest.begin() + std::ptrdiff_t(at + 1), rest.begin() + std::ptrdiff_t(at + 1 + length));
    at += 1 + length;
  }
  CLineClock clock;
  SetClockForTests(&clock);
  struct RestoreClock {
    ~RestoreClock() { SetClockForTests(nullptr); }
  } restoreClock;
  CFuzzCommsHost host;
  host.verbose = (flags & 8) != 0;
  auto port = std::make_unique<CScriptedPort>(std::move(pieces), clock);
  CScriptedPort* script = port.get();
  CSerialComms comms(std::move(port));
  comms.SetHost(&host);
  if (!comms.Open(1, kBaud, true)) return 0;
  const std::size_t unitCount = unitChoice & 3;
  std::vector<std::uint64_t> asked;
  for (std::size_t round = 0; round < kRounds; ++round) {
    const std::size_t pick = (rounds >> (2 * round)) & 3;
    CDevice* unit = pick < unitCount ? units.devices[pick].get() : nullptr;
    if (unit) asked.push_back(unit->GetHandle());
    if ((unitChoice & 0x40) != 0) {
      // As the worker does between transactions while a unit is passed over.
      for (std::size_t i = 0; i < unitCount; ++i) (void)comms.AwaitsLateAnswerFrom(units.devices[i]->GetHandle());
      comms.LookForLateAnswers();
      if (comms.GetStatus() == kCommsError) break;
    }
    CControlMessage& t = comms.Transaction();
    SetRequest(t, unit, kCommands[(unitChoice >> (2 + round)) & 1], expected, flags);
    (void)comms.WaitsForLateAnswers(t);
    comms.StartWrite(true);
    comms.WaitForCompletion();
    if (comms.GetStatus() == kCommsError) break;
    const auto& done = comms.Transaction();
    if (done.receivedLength > CSerialComms::kReceiveBufferSize) __builtin_trap();
    if (script->Reads() > 10000) __builtin_trap();  // a read loop that never ends
    // A late answer is only ever one of a unit that was asked.
    for (const std::uint64_t late : comms.TakeUnitsHeardLate())
      if (std::find(asked.begin(), asked.end(), late) == asked.end()) __builtin_trap();
    for (const LateAnswerHeard& late : comms.TakeAnswersHeardLate())
      if (std::find(asked.begin(), asked.end(), late.unit) == asked.end()) __builtin_trap();
  }
  comms.Close();
  return 0;
}
