// Units of the simulated bus: what one unit answers to one request frame. Device families add
// their own units by deriving from CSimUnit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

using SimBytes = std::vector<std::uint8_t>;

// What a unit sends back for one request.
struct SimAnswer {
  enum class Kind { kSilence, kAck, kBytes };
  Kind kind = Kind::kSilence;
  SimBytes bytes;  // kBytes: exactly the bytes sent
  // Delay before the answer starts, ms.
  std::uint32_t delayMs = 0;

  static SimAnswer Silence() { return SimAnswer{}; }
  static SimAnswer Ack() { return SimAnswer{Kind::kAck, {0xA0}, 0}; }
  static SimAnswer Bytes(SimBytes bytes) { return SimAnswer{Kind::kBytes, std::move(bytes), 0}; }
  // A framed reply: start byte, 14-bit header length L, body, and the 7-bit sum of bytes 0 to
  // L - 1 as byte L (L + 1 bytes in all).
  static SimAnswer Reply(std::uint8_t start, const SimBytes& body);
  // The bytes this answer puts on the line.
  SimBytes Wire() const;
};

// Builds a framed reply (see SimAnswer::Reply).
SimBytes MakeFramedReply(std::uint8_t start, const SimBytes& body);

// Request lengths that a unit reports to the bus.
constexpr std::size_t kSimNeedMoreBytes = 0;
constexpr std::size_t kSimUnknownLength = static_cast<std::size_t>(-1);

class CSimUnit {
 public:
  virtual ~CSimUnit() = default;

  // Length of the request at the front of bytes: its whole length once that is known,
  // kSimNeedMoreBytes while more bytes are needed to tell, kSimUnknownLength when this unit
  // cannot tell (the bus then ends the request when the line goes quiet). The default knows
  // the F0/F1 frames: start byte, 14-bit length L, L + 1 bytes in all.
  virtual std::size_t RequestLength(const SimBytes& bytes) const;

  // The answer to one whole request frame; silence when the unit is not addressed. Runs on
  // the bus thread.
  virtual SimAnswer Handle(const SimBytes& request) = 0;
};

// A plain framed unit at a device ID (frame byte 4, the F0/F1 layout): acknowledges every
// write (0xF1) and answers a read (0xF0) of a command (frame byte 6) with the reply body set
// for that command, framed with start byte 0xA8; silence for other commands and other IDs.
// Thread-safe: tests change replies while the bus runs.
class CFramedUnit : public CSimUnit {
 public:
  explicit CFramedUnit(std::uint8_t deviceId) : m_deviceId(deviceId) {}

  SimAnswer Handle(const SimBytes& request) override;

  void SetReply(std::uint8_t command, SimBytes body);
  // A reply whose whole length is totalLength (header and checksum included), filled with a
  // counting pattern below 0x80.
  void SetReplyLength(std::uint8_t command, std::size_t totalLength);
  // Delay before every answer, ms.
  void SetResponseDelay(std::uint32_t ms);
  // Every write frame this unit acknowledged.
  std::vector<SimBytes> Writes() const;

 private:
  std::uint8_t m_deviceId;
  mutable std::mutex m_mutex;
  std::map<std::uint8_t, SimBytes> m_replies;
  std::uint32_t m_delayMs = 0;
  std::vector<SimBytes> m_writes;
};
