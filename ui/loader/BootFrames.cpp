// Boot-load frames, scan probes and Intel HEX checks.
#include "ui/loader/BootFrames.h"

#include <chrono>
#include <thread>

#include "core/comms/SerialComms.h"
#include "platform/Archive.h"

void CSystemLoaderClock::Sleep(std::uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::uint64_t CSystemLoaderClock::NowMs() const {
  const auto since = std::chrono::steady_clock::now().time_since_epoch();
  return std::uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

std::uint8_t BootChecksum(const std::uint8_t* data, std::size_t n) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < n; ++i) sum += data[i];
  return std::uint8_t(sum & 0x7F);
}

namespace {

// Sets byte 2 to the length minus one and appends the checksum.
BootBytes Finish(BootBytes frame) {
  frame[2] = std::uint8_t(frame.size());  // the checksum still to come makes it length - 1
  frame.push_back(BootChecksum(frame.data(), frame.size()));
  return frame;
}

void AppendLongId(BootBytes& frame, std::uint32_t id) {
  for (int shift = 24; shift >= 0; shift -= 8) frame.push_back(std::uint8_t((id >> shift) & 0x7F));
}

// Purges both directions, writes the request, waits and reads up to replyMax bytes.
std::uint32_t Ask(CSerialComms& port, ILoaderClock& clock, const BootBytes& request, std::uint32_t waitMs,
                  std::uint32_t replyMax) {
  port.PurgeRaw(kPurgeTx);
  port.PurgeRaw(kPurgeRx);
  if (port.WriteRaw(request.data(), std::uint32_t(request.size())) != request.size()) return 0;
  clock.Sleep(waitMs);
  return port.ReadRaw(replyMax);
}

// A framed reply of exactly length + 1 bytes whose header and seven-bit sum hold.
bool ReplyHolds(const std::uint8_t* reply, std::uint32_t got, std::uint8_t start, std::uint32_t length) {
  if (got != length + 1 || reply[0] != start) return false;
  if (std::uint32_t(reply[1]) * 128 + reply[2] != length) return false;
  return reply[length] == BootChecksum(reply, length);
}

int HexDigit(std::uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The byte of two hexadecimal digits at p, or -1.
int HexByte(const std::uint8_t* p) {
  const int high = HexDigit(p[0]);
  const int low = HexDigit(p[1]);
  return high < 0 || low < 0 ? -1 : high * 16 + low;
}

}  // namespace

BootBytes BuildShortBootCommand(std::uint8_t type) {
  return Finish({0xF0, 0x00, 0x00, type, 0x01, 0x0D, 0x15, 'Z', 'Y', 'R'});
}

BootBytes BuildLongBootCommand(std::uint8_t type, std::uint32_t id) {
  BootBytes frame{0xF0, 0x00, 0x00, type};
  AppendLongId(frame, id);
  frame.insert(frame.end(), {0x00, 0x15, 'Q', 'O', 'L'});
  return Finish(std::move(frame));
}

BootBytes BuildClearPresetCommand(std::uint8_t type, std::uint8_t slot) {
  return Finish({0xF1, 0x00, 0x00, type, 0x01, 0x0D, 0x13, slot});
}

BootBytes BuildPresetNameCommand(std::uint8_t type, const std::string& name40) {
  BootBytes frame{0xF1, 0x00, 0x00, type, 0x01, 0x0D, 0x14};
  for (std::size_t i = 0; i < 40; ++i) frame.push_back(i < name40.size() ? std::uint8_t(name40[i]) : 0x20);
  return Finish(std::move(frame));
}

BootBytes BuildProcessorBootCommand(std::uint8_t type) {
  return Finish({0xF0, 0x00, 0x00, type, 0x01, 0x2A, 0x2C});
}

BootBytes BuildProcessorBlock(std::uint32_t address, const std::uint8_t* block128) {
  BootBytes frame{0xF0, std::uint8_t(address >> 16), std::uint8_t(address >> 8), std::uint8_t(address)};
  frame.insert(frame.end(), block128, block128 + 128);
  std::uint32_t sum = 0;
  for (std::size_t i = 1; i < frame.size(); ++i) sum += frame[i];
  frame.push_back(std::uint8_t(sum));
  return frame;
}

bool WriteOrReport(CSerialComms& port, ILoaderReport& log, const std::uint8_t* data, std::uint32_t n) {
  if (port.WriteRaw(data, n) == n) return true;
  log.LogLine("Failed to write to COM port", false);
  return false;
}

// The probes' waits and the longest replies they read.
constexpr std::uint32_t kShortQueryWaitMs = 10;
constexpr std::uint32_t kShortReplyBytes = 10;
constexpr std::uint32_t kLongIdWaitMs = 100;
constexpr std::uint32_t kLongIdReplyBytes = 24;

std::uint64_t ShortTypeQueryLongestMs() {
  return WireMs(2, kScanBaud) + kShortQueryWaitMs + ReadLimitMs(kShortReplyBytes);
}

// Both long-ID probes send five bytes.
std::uint64_t LongIdQueryLongestMs(std::uint32_t readConstantMs) {
  return WireMs(5, kLongIdBaud) + kLongIdWaitMs + ReadLimitMs(kLongIdReplyBytes, readConstantMs);
}

std::uint8_t QueryTypeShortId(CSerialComms& port, ILoaderClock& clock) {
  const std::uint32_t got = Ask(port, clock, {0xE0, 0x01}, kShortQueryWaitMs, kShortReplyBytes);
  const std::uint8_t* reply = port.ReceiveBuffer();
  if (got != 10 || reply[0] != 0xE8 || reply[1] != 0x00 || reply[2] != 0x09) return 0;
  return reply[4];
}

std::uint32_t QueryLongId(CSerialComms& port, ILoaderClock& clock) {
  const std::uint32_t got = Ask(port, clock, {0xBF, 0x00, 0x00, 0x00, 0x00}, kLongIdWaitMs, kLongIdReplyBytes);
  const std::uint8_t* reply = port.ReceiveBuffer();
  if (!ReplyHolds(reply, got, 0xB8, 23)) return 0;
  return std::uint32_t(reply[3]) << 24 | std::uint32_t(reply[4]) << 16 | std::uint32_t(reply[5]) << 8 | reply[6];
}

std::uint8_t QueryTypeLongId(CSerialComms& port, ILoaderClock& clock, std::uint32_t longId) {
  BootBytes request{0xE0};
  AppendLongId(request, longId);
  const std::uint32_t got = Ask(port, clock, request, kLongIdWaitMs, kLongIdReplyBytes);
  const std::uint8_t* reply = port.ReceiveBuffer();
  if (!ReplyHolds(reply, got, 0xE8, 14)) return 0;
  return reply[7];
}

std::string BuildUnitSignature(const std::uint8_t* code, std::size_t n) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string once;
  for (std::size_t i = 0; i < n; ++i) {
    once += kDigits[code[i] >> 4];
    once += kDigits[code[i] & 0x0F];
  }
  return once + once;
}

HexScan ScanHexFile(const BootBytes& file) {
  HexScan scan;
  std::size_t position = 0;
  const std::size_t size = file.size();
  while (position + 3 <= size) {
    const std::uint8_t* record = file.data() + position;
    const int n = record[0] == ':' ? HexByte(record + 1) : -1;
    if (n < 0) return scan;
    const std::size_t length = 2 * std::size_t(n) + 13;
    if (length > size - position) return scan;  // truncated
    // Every field is hexadecimal, the record's bytes sum to 0 and it ends with CR LF.
    std::uint32_t sum = 0;
    for (std::size_t i = 1; i + 2 < length; i += 2) {
      const int byte = HexByte(record + i);
      if (byte < 0) return scan;
      sum += std::uint32_t(byte);
    }
    if ((sum & 0xFF) != 0 || record[length - 2] != '\r' || record[length - 1] != '\n') return scan;
    position += length;
    if (n == 0) {
      // The end record; nothing but line ends or an end-of-file mark may follow it.
      for (; position < size; ++position) {
        const std::uint8_t c = file[position];
        if (c != '\r' && c != '\n' && c != 0x1A) return scan;
      }
      scan.wellFormed = true;
      return scan;
    }
    scan.dataCharacters.append(reinterpret_cast<const char*>(record) + 9, 2 * std::size_t(n));
  }
  return scan;
}

bool HexFileHasSignature(const BootBytes& file, const std::string& signature) {
  const HexScan scan = ScanHexFile(file);
  return scan.wellFormed && scan.dataCharacters.find(signature) != std::string::npos;
}

bool ReadWholeFile(const std::string& path, BootBytes& contents) {
  contents.clear();
  if (path.empty()) return false;
  if (::ReadWholeFile(path, contents, nullptr, kMaxLoaderFileBytes)) return true;
  contents.clear();
  return false;
}

