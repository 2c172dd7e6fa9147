// The simulated bus: a thread that reads request frames from the device end of a line, hands
// each to every unit, and sends back their answer, with faults injected per transaction.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tools/devsim/SimUnit.h"

class CSerialLine;

// The device end of a line, as the bus sees it.
class ISimWire {
 public:
  using Clock = std::chrono::steady_clock;
  virtual ~ISimWire() = default;
  // Waits until bytes have arrived or the deadline passes (or Wake), then takes up to max.
  virtual std::size_t Read(std::uint8_t* dst, std::size_t max, Clock::time_point deadline) = 0;
  // Sends bytes; returns when the last one has left the wire.
  virtual void Write(const std::uint8_t* data, std::size_t n) = 0;
  // Ends a Read in progress.
  virtual void Wake() = 0;
  // Paces the bytes at the baud rate (ten bits a byte); 0 sends them at once.
  virtual void SetPacing(std::uint32_t baudRate) = 0;
  virtual Clock::duration ByteTime() const = 0;
  // Sends the last bytes for the request just answered, and tells the port that nothing more
  // comes for now (see CSerialLine::EndReadWhenNothingMore); with no bytes, tells it only. A wire
  // that cannot tell the port only sends.
  virtual void WriteLast(const std::uint8_t* data, std::size_t n) { Write(data, n); }
};

// The device end of an in-memory line (both directions are paced by the line).
class CLineWire : public ISimWire {
 public:
  explicit CLineWire(std::shared_ptr<CSerialLine> line) : m_line(std::move(line)) {}
  std::size_t Read(std::uint8_t* dst, std::size_t max, Clock::time_point deadline) override;
  void Write(const std::uint8_t* data, std::size_t n) override;
  void Wake() override;
  void SetPacing(std::uint32_t baudRate) override;
  Clock::duration ByteTime() const override;
  void WriteLast(const std::uint8_t* data, std::size_t n) override;

 private:
  std::shared_ptr<CSerialLine> m_line;
};

// The master side of a pseudo-terminal; the program opens its slave as a serial port. The bus
// paces what it sends; what the program sends arrives at once. The wire holds the master alone:
// it is the line's far end, never a user of the line, so that the program, which opens no line
// another process has open, takes it (and takes one that a program that made a pseudo-terminal
// uses itself for no simulator's).
class CPtyWire : public ISimWire {
 public:
  CPtyWire();
  ~CPtyWire() override;
  CPtyWire(const CPtyWire&) = delete;
  CPtyWire& operator=(const CPtyWire&) = delete;

  // False when no pseudo-terminal could be made.
  bool IsValid() const { return m_master >= 0; }
  // The slave device, e.g. "/dev/pts/4".
  const std::string& SlavePath() const { return m_slavePath; }
  // Closes the master: the program's port sees the line hang up.
  void HangUp();
  // The baud rate the program has set the line to; 0 when unknown.
  std::uint32_t LineBaud() const;

  std::size_t Read(std::uint8_t* dst, std::size_t max, Clock::time_point deadline) override;
  void Write(const std::uint8_t* data, std::size_t n) override;
  void Wake() override;
  void SetPacing(std::uint32_t baudRate) override;
  Clock::duration ByteTime() const override;

 private:
  std::atomic<int> m_master{-1};
  int m_wake[2] = {-1, -1};
  std::string m_slavePath;
  std::atomic<std::uint32_t> m_baudRate{0};
};

// Links "com<n>" in the ports folder to the device, replacing an older link. False on failure.
bool LinkComPort(std::uint32_t portNumber, const std::string& device);
void UnlinkComPort(std::uint32_t portNumber);

// A fault applied to the answer of one transaction (the next request the bus receives).
struct SimFault {
  bool silence = false;           // no answer at all
  SimBytes junkBefore;            // bytes sent before the answer
  std::vector<std::size_t> cuts;  // the answer is sent in pieces, cut at these offsets...
  std::uint32_t gapMs = 0;        // ...with this pause between pieces
  bool badChecksum = false;       // the last byte of a framed reply is wrong
  int lengthDelta = 0;            // added to the header length of a framed reply
  std::uint32_t delayMs = 0;      // the answer starts this much later
  std::uint32_t heldMs = 0;       // ...or leaves this much later, the bus answering others meanwhile
  // ...or leaves when this many more requests have come (see HeldUntil); heldForRequests 0 with
  // heldUntilReleased: only at ReleaseHeldAnswers.
  std::size_t heldForRequests = 0;
  bool heldUntilReleased = false;
  bool restUntilReleased = false;  // the pieces after the first cut wait for ReleaseHeldAnswers
  std::optional<SimBytes> replace;  // these bytes instead of the answer

  static SimFault Silence();
  static SimFault Junk(SimBytes junk);
  static SimFault Split(std::vector<std::size_t> cuts, std::uint32_t gapMs);
  // The answer's first cut bytes leave at once, the rest when the test calls ReleaseHeldAnswers:
  // a reply cut short for as long as the test says.
  static SimFault SplitUntilReleased(std::size_t cut);
  static SimFault BadChecksum();
  static SimFault WrongLength(int delta);
  static SimFault Late(std::uint32_t delayMs);
  // The answer leaves heldMs later while the bus goes on answering the requests that follow:
  // it comes during the transactions of other units.
  static SimFault Held(std::uint32_t heldMs);
  // The answer waits while the bus goes on answering the requests that follow, and leaves when
  // the requests-th of them has come, just ahead of that one's answer (0: when the test calls
  // ReleaseHeldAnswers), or at ReleaseHeldAnswers if that comes first. Decided by events, not by
  // time: a late answer that is sure to come during a given later read, or between two reads.
  static SimFault HeldUntil(std::size_t requests);
  static SimFault Replace(SimBytes bytes);
};

// The extra read time-out that tests give the transport with CSimBus::SetSilenceEndsReads, ms.
inline constexpr std::uint32_t kLongReadWaitMs = 10000;

// What a wrong answer names instead of the request's unit or command; the reply stays a whole,
// well summed frame, so only its header tells it from the right one.
enum class SimWrong {
  kUnitNotOnTheBus,  // byte 4 names another unit (a processor's ID, the top group of a Zel ID)
  kUnitOnTheBus,     // the ID of another unit of the same layout that the bus has been asked for
  kCommand,          // another command: the last other one the unit answered, else a neighbour
};
// How many kinds of wrong answer there are.
inline constexpr std::size_t kSimWrongKinds = 3;

class CSimBus {
 public:
  using Clock = ISimWire::Clock;

  explicit CSimBus(std::unique_ptr<ISimWire> wire);
  ~CSimBus();
  CSimBus(const CSimBus&) = delete;
  CSimBus& operator=(const CSimBus&) = delete;

  // Units answer in the order added; the bus owns them. Add them before Start.
  CSimUnit* AddUnit(std::unique_ptr<CSimUnit> unit);
  template <typename Unit, typename... Args>
  Unit* Add(Args&&... args) {
    return static_cast<Unit*>(AddUnit(std::make_unique<Unit>(std::forward<Args>(args)...)));
  }

  // The index-th unit added (tests); null past the last.
  CSimUnit* UnitAt(std::size_t index) const { return index < m_units.size() ? m_units[index].get() : nullptr; }

  void Start();
  void Stop();

  // Any thread. Faults are used one per request, in the order given.
  void InjectFault(SimFault fault);
  void InjectFaults(const SimFault& fault, std::size_t count);
  std::size_t PendingFaults() const;
  // Paces the bytes on the wire at the baud rate (0: no pacing).
  void SetPacing(std::uint32_t baudRate);
  // Tests: once a request has been answered with all that goes now (nothing, an answer cut or
  // held back, a short one), the port's read ends at once rather than at its time-out, where the
  // wire can tell the port so. Silence then costs no time, and a test may give reads long
  // time-outs, so that whether an answer makes its read depends on what the bus sends, not on
  // how fast the machine runs.
  void SetSilenceEndsReads(bool on) { m_silenceEndsReads = on; }
  // Any thread. From now on the answer to each request is lost with this chance (0 to 1), as
  // on a line that drops replies now and then; the same seed loses the same requests' answers.
  void SetAnswerLoss(double chance, std::uint32_t seed = 1);
  // Answers lost that way so far.
  std::size_t LostAnswerCount() const;
  // Any thread. From now on the ACK of each write is lost with this chance (0 to 1): the unit has
  // taken the write, and its ACK never reaches the line. Only ACKs are drawn for, so the same
  // seed loses the ACKs of the same writes whatever else the line carries.
  void SetAckLoss(double chance, std::uint32_t seed = 1);
  // ACKs lost that way so far.
  std::size_t LostAckCount() const;
  // Any thread. From now on each framed answer is, with this chance, one to another request: it
  // names another unit or command as the kind says, the reply still well framed and summed. Each
  // kind has its own share and draw; the same seed changes the same requests' answers.
  void SetWrongAnswers(double chance, std::uint32_t seed = 1, SimWrong kind = SimWrong::kUnitNotOnTheBus);
  // Wrong answers of every kind so far.
  std::size_t WrongAnswerCount() const;
  // Any thread. From now on each answer leaves heldMs late with this chance, while the bus
  // answers the requests that follow meanwhile (see SimFault::Held).
  void SetLateAnswers(double chance, std::uint32_t heldMs, std::uint32_t seed = 1);
  std::size_t LateAnswerCount() const;
  // Any thread. From now on the length in each framed answer's header is, with this chance,
  // changed on the line to announce 100 to 800 bytes more (below the 1024 a reply may have), its
  // sum left as it was: a length byte hit by noise.
  void SetChangedLengths(double chance, std::uint32_t seed = 1);
  std::size_t ChangedLengthCount() const;
  // Waits up to timeoutMs until every answer held back so far has been sent.
  bool WaitForHeldAnswers(std::uint32_t timeoutMs) const;
  // Any thread. Sends every answer held until a later request (SimFault::HeldUntil) now, in the
  // order they were held; WaitForHeldAnswers tells when they have left.
  void ReleaseHeldAnswers();

  // Every request frame received so far, and their count.
  std::vector<SimBytes> Requests() const;
  std::size_t RequestCount() const;
  // Waits up to timeoutMs until count requests have been answered (or left unanswered).
  bool WaitForRequests(std::size_t count, std::uint32_t timeoutMs) const;
  // Tests, before Start: answers held back by time (SimAnswer::heldMs, SetLateAnswers) are timed
  // on this clock, in microseconds, instead of the machine's: each is due heldMs after the clock
  // stood when its request came, and leaves with the answer of the first request after which
  // the clock has passed that time, ahead of it (the units, a CClockMover among them, have moved
  // the clock for that request by then). Decided by events: tests on the program's clock.
  void SetHeldAnswerClock(std::function<std::int64_t()> nowUs) { m_heldClock = std::move(nowUs); }
  // Tests, before Start: called on the bus thread with each request and the bytes of the answer
  // its units give, before any fault applies and before anything is sent.
  using AnswerWatcher = std::function<void(const SimBytes& request, const SimBytes& answer)>;
  void SetAnswerWatcher(AnswerWatcher watcher) { m_answerWatcher = std::move(watcher); }

  ISimWire& Wire() { return *m_wire; }

 private:
  // A share of the answers that some fault befalls, drawn with its own generator.
  struct Share {
    double chance = 0.0;
    std::mt19937 draw;
    std::size_t count = 0;
    // Under m_mutex.
    bool Draw() { return chance > 0.0 && std::uniform_real_distribution<double>(0.0, 1.0)(draw) < chance; }
  };
  // An answer held until a later request.
  struct HeldForRequests {
    std::size_t untilRequest = 0;  // leaves when this many requests have come; 0: at release
    SimBytes bytes;
    // The rest of an answer cut short: nothing more comes for its request once it has left (see
    // SetSilenceEndsReads).
    bool rest = false;
  };

  // A share's chance and seed; its count so far. Any thread.
  void SetShare(Share& share, double chance, std::uint32_t seed);
  std::size_t CountOf(const Share& share) const;
  void Run();
  std::size_t FrameLength(const SimBytes& pending) const;
  void Dispatch(const SimBytes& frame);
  // Every unit's answer to the frame, mixed when several answer; framed when one framed reply.
  struct Answer {
    SimBytes bytes;
    bool framed = false;
    bool ack = false;                // the one unit that answered acknowledged a write
    const CSimUnit* unit = nullptr;  // the one unit that answered
    std::uint32_t delayMs = 0, heldMs = 0;
    std::size_t heldForRequests = 0;
  };
  Answer CollectAnswer(const SimBytes& frame);
  // How an answer leaves: now (in pieces, with pauses), held whole until a later request (the
  // request number it waits for; 0: until released), or its rest after the first cut held until
  // released.
  struct Leaving {
    std::vector<std::size_t> cuts;
    std::uint32_t gapMs = 0;
    bool heldForRequests = false;
    bool restHeld = false;
    std::size_t untilRequest = 0;
  };
  // The fault applied to the answer of the request with that number.
  Leaving ApplyFault(const SimFault& fault, Answer& answer, std::size_t requestNumber);
  // Bus thread: the answer made wrong as the kind says; false when it cannot be (no other unit
  // of its layout asked for yet).
  bool MakeWrong(Answer& answer, const SimBytes& frame, SimWrong kind);
  // Sends the answer, its pieces cut and paused as given; last: nothing more follows it for now.
  void Send(const SimBytes& bytes, const std::vector<std::size_t>& cuts, std::uint32_t gapMs, bool last = false);
  // Bus thread: sends the held answers whose time or request has come (all of those held until
  // a request when released), in their order.
  void SendHeldAnswers();
  // Bus thread: sends the answers held on the test's clock whose time has come, in their order.
  void SendAnswersDueOnTheClock();
  // Bus thread: whether the port's read may be told that nothing more comes for now (see
  // SetSilenceEndsReads). Not while the bus has taken bytes of a later request off the line:
  // the program reads for that one already, and a silence that answers an earlier request (a
  // broadcast sent just before it) must not end that read.
  bool EndsReads() const { return m_silenceEndsReads && !m_laterRequestTaken; }

  std::unique_ptr<ISimWire> m_wire;
  std::vector<std::unique_ptr<CSimUnit>> m_units;
  std::thread m_thread;
  std::atomic<bool> m_running{false};
  mutable std::mutex m_mutex;
  mutable std::condition_variable m_cv;
  std::deque<SimFault> m_faults;
  std::vector<SimBytes> m_requests;
  std::size_t m_handled = 0;
  Share m_loss;
  Share m_ackLoss;
  Share m_wrong[kSimWrongKinds];
  Share m_late;
  Share m_changedLength;
  std::uint32_t m_lateHeldMs = 0;
  // Answers held back, by the time they leave or the request they wait for; the bus thread sends
  // them, the count is shared.
  std::multimap<Clock::time_point, SimBytes> m_held;
  std::multimap<std::int64_t, SimBytes> m_heldOnClock;  // bus thread; by time on m_heldClock
  std::function<std::int64_t()> m_heldClock;
  std::vector<HeldForRequests> m_heldForRequests;
  std::atomic<bool> m_release{false};
  std::atomic<bool> m_silenceEndsReads{false};
  // Bus thread: bytes of a request after the one being answered have been taken off the line.
  bool m_laterRequestTaken = false;
  std::size_t m_heldPending = 0;
  // Bus thread: the IDs the bus was asked for, by layout (ID width), in the order first seen; and
  // per unit the last command it answered.
  std::map<std::size_t, std::vector<SimBytes>> m_idsSeen;
  std::map<const CSimUnit*, std::uint8_t> m_lastCommand;
  AnswerWatcher m_answerWatcher;
};
