// Units of the simulated bus: what one unit answers to one request frame. Device families add
// their own units by deriving from CSimUnit.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

using SimBytes = std::vector<std::uint8_t>;

// What a unit sends back for one request.
struct SimAnswer {
  enum class Kind { kSilence, kAck, kBytes };
  Kind kind = Kind::kSilence;
  SimBytes bytes;  // kBytes: exactly the bytes sent
  // Delay before the answer starts, ms; the bus answers nothing else meanwhile (a unit that
  // answers late, one request after the other).
  std::uint32_t delayMs = 0;
  // The answer leaves this much later, ms, while the bus goes on answering later requests (a
  // unit that answers late beside others that answer in time). It waits for the line to be free.
  std::uint32_t heldMs = 0;
  // ...or leaves when this many more requests have come, just ahead of the last one's answer:
  // late by events rather than by time (tests on the program's clock).
  std::size_t heldForRequests = 0;

  static SimAnswer Silence() { return SimAnswer{}; }
  static SimAnswer Ack() { return SimAnswer{Kind::kAck, {0xA0}, 0, 0, 0}; }
  static SimAnswer Bytes(SimBytes bytes) { return SimAnswer{Kind::kBytes, std::move(bytes), 0, 0, 0}; }
  // A framed reply: start byte, 14-bit header length L, body, and the 7-bit sum of bytes 0 to
  // L - 1 as byte L (L + 1 bytes in all).
  static SimAnswer Reply(std::uint8_t start, const SimBytes& body);
  // The bytes this answer puts on the line.
  SimBytes Wire() const;
};

// Builds a framed reply (see SimAnswer::Reply).
SimBytes MakeFramedReply(std::uint8_t start, const SimBytes& body);

// Where a unit's requests, and its replies that repeat them, name the unit and the command:
// the unit's ID in idBytes bytes from byte idAt, the command at byte commandAt.
struct SimHeader {
  std::size_t idAt = 4;
  std::size_t idBytes = 1;
  std::size_t commandAt = 6;

  // The ID bytes of a frame of this layout, which must hold them.
  SimBytes IdIn(const SimBytes& frame) const {
    return SimBytes(frame.begin() + std::ptrdiff_t(idAt), frame.begin() + std::ptrdiff_t(idAt + idBytes));
  }
};

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

  // The unit's frame layout; the default is the processors' F0/F1 layout (ID in byte 4,
  // command in byte 6).
  virtual SimHeader Header() const { return {}; }
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

// A unit that answers as the unit it wraps, except that it can fall silent (switched off, or its
// cable pulled) and come back, and can answer late beside the other units. Thread-safe.
class CSimSwitchedUnit : public CSimUnit {
 public:
  using Clock = std::chrono::steady_clock;

  explicit CSimSwitchedUnit(std::unique_ptr<CSimUnit> unit);

  std::size_t RequestLength(const SimBytes& bytes) const override { return m_unit->RequestLength(bytes); }
  SimHeader Header() const override { return m_unit->Header(); }
  // Silence while switched off; the wrapped unit sees nothing of it.
  SimAnswer Handle(const SimBytes& request) override;

  // Switched off or on from now on.
  void SetSilent(bool silent) { m_silent = silent; }
  // The next requests it answers, this many of them, go unanswered (its answers lost).
  void SetSilentForRequests(int requests) { m_silentRequests = requests; }
  // Switched off from `after` on for `length` (zero: for good), counted from `from`; with `every`
  // (longer than length), switched off again every that long after the start of the silence
  // before, `times` silences in all (0: without end).
  void SetSilentPeriod(Clock::duration after, Clock::duration length, Clock::duration every = {},
                       std::size_t times = 0, Clock::time_point from = Clock::now());
  // One of `units` units at one ID that take turns, this one the index-th: the first answers
  // until `first` from `from`, then each the next in turn for `every`, `swaps` changes of turn in
  // all (0: without end), the unit whose turn came last answering from then on.
  void SetTurns(std::size_t index, std::size_t units, Clock::duration first, Clock::duration every,
                std::size_t swaps = 0, Clock::time_point from = Clock::now());
  bool IsSilent() const;
  // Whether the unit is switched off at that time (SetSilent, the silences and the turns).
  bool IsSilentAt(Clock::time_point at) const;
  // Every answer leaves this much later, ms, while the bus answers the others meanwhile.
  void SetAnswerHeldMs(std::uint32_t ms) { m_heldMs = ms; }
  // Every answer leaves when this many more requests have come (see SimAnswer::heldForRequests).
  void SetAnswerHeldForRequests(std::size_t requests) { m_heldForRequests = requests; }
  CSimUnit& Unit() { return *m_unit; }

 private:
  std::unique_ptr<CSimUnit> m_unit;
  std::atomic<bool> m_silent{false};
  std::atomic<int> m_silentRequests{0};
  mutable std::mutex m_mutex;
  Clock::time_point m_silentFrom = Clock::time_point::max();
  Clock::duration m_silentLength{};  // zero: for good
  Clock::duration m_silentEvery{};   // zero: once
  std::size_t m_silences = 0;        // 0: without end
  // Turns: none while m_turnUnits is 0.
  std::size_t m_turnIndex = 0, m_turnUnits = 0, m_swaps = 0;
  Clock::time_point m_firstTurnEnd{};
  Clock::duration m_turnEvery{};
  std::atomic<std::uint32_t> m_heldMs{0};
  std::atomic<std::size_t> m_heldForRequests{0};
};
