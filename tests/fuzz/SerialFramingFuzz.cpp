// Fuzz target of the transport's reply framing: whatever the line delivers, in whatever
// pieces, for a read or a write of any expected length, must end the transaction without a
// crash, an overrun or a hang. The line is scripted: each read the transport starts takes the
// next piece at once; when the script runs out every read times out empty.
// Input: the expected length, the write flag, the no-retry flag, then pieces each led by its
// length byte.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <vector>

#include "core/comms/SerialComms.h"
#include "core/protocol/SevenBit.h"
#include "platform/SerialPortQueue.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

class CScriptedPort : public ISerialPort {
 public:
  explicit CScriptedPort(std::deque<std::vector<std::uint8_t>> pieces) : m_pieces(std::move(pieces)) {}

  bool Open(const std::string&, std::uint32_t) override { return m_open = true; }
  void Close() override { m_open = false; }
  bool IsOpen() const override { return m_open; }
  bool SetTimeouts(const SerialTimeouts&) override { return true; }
  bool Purge(std::uint32_t) override { return true; }
  std::size_t Reads() const { return m_reads; }

 protected:
  bool StartWrite(const std::uint8_t*, std::uint32_t n, std::shared_ptr<CIoCompletionQueue> queue,
                  SerialCompletion done) override {
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
    queue->PostCompletion(m_live, m_busy, std::move(done), true, got);
    return true;
  }

 private:
  std::deque<std::vector<std::uint8_t>> m_pieces;
  std::shared_ptr<std::atomic<bool>> m_live = std::make_shared<std::atomic<bool>>(true);
  std::atomic<bool> m_busy{false};
  bool m_open = false;
  std::size_t m_reads = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzSetUp();
  CFuzzInput in(data, size);
  const std::uint32_t expected = std::uint32_t(in.Byte()) * 5;  // 0 to 1275: past the buffer too
  const std::uint8_t flags = in.Byte();
  std::deque<std::vector<std::uint8_t>> pieces;
  const auto rest = in.Rest();
  for (std::size_t at = 0; at < rest.size();) {
    const std::size_t length = std::min<std::size_t>(rest[at], rest.size() - at - 1);
    pieces.emplace_back(rest.begin() + std::ptrdiff_t(at + 1), rest.begin() + std::ptrdiff_t(at + 1 + length));
    at += 1 + length;
  }
  auto port = std::make_unique<CScriptedPort>(std::move(pieces));
  CScriptedPort* script = port.get();
  CSerialComms comms(std::move(port));
  if (!comms.Open(1, 57600, true)) return 0;
  // Two transactions: the second one starts after whatever the first one left on the line.
  for (int round = 0; round < 2; ++round) {
    CControlMessage& t = comms.Transaction();
    const std::uint8_t frame[7] = {0xF0, 0x00, 0x07, 0x10, 0x05, 0x00, 0x4F};
    std::memcpy(t.frame, frame, sizeof frame);
    t.frame[7] = Checksum7Bit(frame, sizeof frame);
    t.Set(0x4F, 8, expected, nullptr, (flags & 1) != 0, 0xA8, 0, 0);
    t.noRetry = (flags & 2) != 0;
    comms.StartWrite(true);
    comms.WaitForCompletion();
    if (comms.GetStatus() == kCommsError) break;
    const auto& done = comms.Transaction();
    if (done.receivedLength > CSerialComms::kReceiveBufferSize) __builtin_trap();
    if (script->Reads() > 10000) __builtin_trap();  // a read loop that never ends
  }
  return 0;
}
