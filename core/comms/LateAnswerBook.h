// What the transport knows of answers still on their way to earlier requests: a unit that did
// not answer a send in time may answer it later, while another request waits for its own reply.
// The book records those answers when a transaction ends, tells a request whether it could take
// one of them for its own (and must wait for them first), recognises one among the bytes read,
// and says which units to pass over meanwhile. It also keeps which units repeat their requests'
// header in their replies. No port: it works on request descriptions, reply bytes and times in
// microseconds on the program's clock, given by the caller. Units are known by their device
// handle, never by address, so a unit removed and another made in its place inherits nothing.
// Not locked: the transport's thread only.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

// One request as the book sees it.
struct LateAnswerRequest {
  static constexpr std::uint32_t kHeaderBytes = 32;

  std::uint64_t unit = 0;      // the device's handle; 0 for none
  std::uint32_t deviceId = 0;  // for log lines
  std::uint32_t command = 0;
  // The request's own argument (CControlMessage::argument), told with its late answers.
  std::uint32_t argument = 0;
  bool write = false;  // answered by the one-byte ACK
  std::uint8_t replyStart = 0xA8;
  std::uint32_t replyLength = 0;  // bytes of the reply it asks for
  // The request bytes its reply repeats: bit i names reply byte i; echoed holds them, low seven
  // bits.
  std::uint32_t echoMask = 0;
  std::uint8_t echoed[kHeaderBytes] = {};
  // Its reply names its unit there whatever the unit (an identity reply): its answers are known
  // by those bytes, and they teach nothing of the unit's other replies.
  bool echoNamesUnit = false;
};

// A late answer of a unit that came after its transaction had ended: whose, and to which request
// (its command and argument).
struct LateAnswerHeard {
  std::uint64_t unit = 0;
  std::uint32_t command = 0;
  std::uint32_t argument = 0;
  bool operator==(const LateAnswerHeard&) const = default;
};

// A late answer recognised among bytes read: which record it is, and what names it in log lines.
struct LateAnswerMatch {
  std::uint64_t record = 0;
  std::uint64_t unit = 0;  // whose answer it is
  std::uint32_t deviceId = 0;
  std::uint32_t command = 0;
  std::uint32_t length = 0;  // the answer's bytes
};

class CLateAnswerBook {
 public:
  // How much later than the answer taken needed an answer to a later send may come: the unit's
  // turnaround is not the same to the millisecond every time.
  static constexpr std::int64_t kSlackUs = 35000;

  // The longest a unit's answers are taken to come late: beyond it a unit is as good as silent.
  static constexpr std::int64_t kLongestLatenessUs = 2000000;

  // Forgets every answer on its way, the units heard late and how late they answer (the port
  // opened again).
  void ClearAnswers() {
    m_records.clear();
    m_heard.clear();
    m_lateness.clear();
  }
  // Forgets which units repeat their header too (the port closed).
  void Clear();

  // --- Units that repeat their requests' header ---
  // A reply of n bytes that repeats the request's header was taken: from now on the unit is
  // held to it. The reply's other header bytes (from byte 3 to the last byte the request names,
  // those it does not name: a type code, a fixed zero) are kept as the unit's own, so that its
  // late answers are told apart from another unit's reply that names it.
  void NoteRepeatsHeader(const LateAnswerRequest& request, const std::uint8_t* reply, std::uint32_t n);
  bool RepeatsHeader(std::uint64_t unit) const { return m_headers.count(unit) != 0; }
  // Its replies no longer repeat the header (another unit now at its ID, perhaps).
  void ForgetRepeatsHeader(std::uint64_t unit) { m_headers.erase(unit); }

  // --- Recording ---
  // The transaction of the request has ended; unansweredSends of its sends were met by a read
  // that timed out empty (a send answered by a reply, even one refused, has had its answer).
  // Answered: its reply came after a resend, and may be the answer to an earlier send; the
  // answers to the unanswered sends may still come, each at most as long after the one before as
  // the transaction took, and a request that could take one waits for them as long as the
  // transaction took. Not answered: every unanswered send's answer may still come, later than a
  // read time-out after it. Either way a unit heard answering late before (LatenessOf) may send
  // them as late again after the last send, and they are known until then. An ACK that comes late
  // names nobody and is not recorded.
  void OnTransactionEnd(const LateAnswerRequest& request, std::uint32_t unansweredSends, bool answered,
                        std::int64_t firstSendEndUs, std::int64_t readLimitUs, std::int64_t nowUs);

  // --- Before a request is sent ---
  // The answers of the watches still open that the request could take for its own (another to
  // the same unit and command, or one whose reply check would not tell them apart): their bytes
  // and the end of their watch. The watches are closed: the caller drains their bytes, and tells
  // the book what came (NoteHeardIn).
  struct Drain {
    // One watch's answers, as they are known when they come.
    struct Answers {
      std::uint64_t unit = 0;
      std::uint32_t command = 0;
      std::uint32_t argument = 0;
      std::int64_t firstSendUs = 0;
      bool write = false;
      std::uint8_t replyStart = 0;
      std::uint32_t replyLength = 0;
      std::uint32_t headerMask = 0;
      std::uint8_t header[LateAnswerRequest::kHeaderBytes] = {};
    };
    std::uint32_t bytes = 0;
    std::int64_t untilUs = 0;
    std::vector<std::uint64_t> units;  // whose answers they are
    std::vector<Answers> answers;
  };
  Drain TakeAnswersTheRequestCouldTake(const LateAnswerRequest& request, std::int64_t nowUs);
  // The n bytes drained for the drain came, by nowUs: the units whose answers are among them are
  // heard (each whole frame, or ACK, that the answers of one unit alone of the drain could be).
  // Bytes that may be any of several units' answers, or none, name nobody.
  void NoteHeardIn(const Drain& drain, const std::uint8_t* bytes, std::uint32_t n, std::int64_t nowUs);
  // Whether the request would wait for answers of a watch still open (see above).
  bool CouldTakeAny(const LateAnswerRequest& request, std::int64_t nowUs) const;
  // Whether a watch is still open.
  bool IsWatching(std::int64_t nowUs) const;
  // Whether an answer on its way may still come and be known for one, watched or not (bytes that
  // came meanwhile are worth a look).
  bool IsExpecting(std::int64_t nowUs) const;
  // True while answers from the unit are watched for: it is passed over while others have work.
  bool PassesOver(std::uint64_t unit, std::int64_t nowUs);

  // --- Recognising late answers ---
  // The known late answer that the n-byte frame is (a whole frame of its length and start byte
  // that carries its unit's header), if any.
  std::optional<LateAnswerMatch> Match(const std::uint8_t* frame, std::uint32_t n, std::int64_t nowUs) const;
  // The known late answer that n bytes read for a request whose reply starts with another byte
  // (ownStart: its reply's start byte, or the ACK) begin with: one of a live record's start byte,
  // and as far as they go its length and header. Its answers need not repeat their request: none
  // can be taken for this one's reply anyway. The most recent record when several fit.
  std::optional<LateAnswerMatch> MatchBeginning(const std::uint8_t* bytes, std::uint32_t n, std::uint8_t ownStart,
                                                std::int64_t nowUs) const;
  // One answer of n bytes of the record came: what it still owes goes down, and a record that
  // owes nothing more ends.
  void Count(std::uint64_t record, std::uint32_t n, std::int64_t nowUs);
  // Counts the whole late answers among n bytes that came outside any read (before a purge).
  void CountIn(const std::uint8_t* bytes, std::uint32_t n, std::int64_t nowUs);

  // --- Units heard late ---
  // An answer of the unit to the request came after its transaction had ended (counted above, or
  // drained), at nowUs, the request's first send having left at firstSendUs: the unit is alive,
  // and slow.
  void NoteHeard(const LateAnswerHeard& heard, std::int64_t firstSendUs, std::int64_t nowUs);
  // The answers heard so since the last call, each once, in the order first heard;
  // TakeUnitsHeard, only their units, each once.
  std::vector<LateAnswerHeard> TakeAnswersHeard();
  std::vector<std::uint64_t> TakeUnitsHeard();
  // How long after the first send of their request the unit's late answers have come: at the
  // most (LatenessOf, kLongestLatenessUs at most), and at the least (ShortestLatenessOf: the
  // closest bound on how late the unit answers a send, as every one came at least that long
  // after the send it answers); and how many of its late answers have been heard. 0 for a unit
  // never heard late since the port opened.
  std::int64_t LatenessOf(std::uint64_t unit) const;
  std::int64_t ShortestLatenessOf(std::uint64_t unit) const;
  std::uint32_t LateAnswersHeardFrom(std::uint64_t unit) const;

  // The bytes still owed by the unit's late answers (tests and log lines).
  std::uint32_t BytesOwedBy(std::uint64_t unit, std::int64_t nowUs);

 private:
  struct Record {
    std::uint64_t id = 0;
    LateAnswerRequest request;
    // The unit repeats its requests' header: these answers carry header at headerMask.
    bool echoes = false;
    std::uint32_t headerMask = 0;
    std::uint8_t header[LateAnswerRequest::kHeaderBytes] = {};
    std::int64_t firstSendUs = 0;   // when the request's first send left
    std::uint32_t bytesDue = 0;     // the bytes those answers make together, less those seen
    std::int64_t holdUntilUs = 0;   // end of the watch; 0: known only
    std::int64_t knownUntilUs = 0;  // until then an answer that comes is known for one of these
  };
  // The header bytes a unit's replies are known to carry besides those its requests name.
  struct UnitHeader {
    std::uint32_t mask = 0;
    std::uint8_t bytes[LateAnswerRequest::kHeaderBytes] = {};
  };

  void Prune(std::int64_t nowUs);
  static bool IsLive(const Record& r, std::int64_t nowUs) {
    return r.bytesDue != 0 && (nowUs < r.knownUntilUs || nowUs < r.holdUntilUs);
  }
  // Whether the record's watch is still open: a request that could take its answers waits.
  static bool IsWatched(const Record& r, std::int64_t nowUs) { return r.bytesDue != 0 && nowUs < r.holdUntilUs; }
  // Whether the request could take one of the record's answers for its own.
  static bool CouldTake(const LateAnswerRequest& request, const Record& answers);

  // How late a unit's answers come, as far as heard.
  struct Lateness {
    std::int64_t longestUs = 0;
    std::int64_t shortestUs = 0;
    std::uint32_t answers = 0;
  };

  std::vector<Record> m_records;
  std::map<std::uint64_t, UnitHeader> m_headers;
  std::vector<LateAnswerHeard> m_heard;
  std::map<std::uint64_t, Lateness> m_lateness;
  std::uint64_t m_nextId = 1;
};

// What the comms log tells of the late answers dropped, so that a unit late answer after answer
// does not fill the log: its first late answer is told at once; those after it are counted, and
// their count told every kTellEveryUs while they go on, and when they end (the unit answered in
// time again, the port closed); the next late answer after that is told at once again. Units are
// known by their device handle. Times in microseconds on the program's clock, given by the
// caller. Not locked: the transport's thread only.
class CLateAnswerTally {
 public:
  static constexpr std::int64_t kTellEveryUs = 5 * 60 * 1000000LL;

  // Late answers of a unit not told yet.
  struct Untold {
    std::uint64_t unit = 0;
    std::uint32_t deviceId = 0;
    std::uint32_t count = 0;
  };
  // A late answer of the unit (its device ID for the log) was dropped: true when it is to be told
  // now; otherwise it is counted.
  bool OnLateAnswer(std::uint64_t unit, std::uint32_t deviceId, std::int64_t nowUs);
  // The counts due to be told now (last told kTellEveryUs ago or more), each taken.
  std::vector<Untold> TakeDue(std::int64_t nowUs);
  // The unit answered in time: the count of its late answers not told yet, taken, and none
  // going on from now.
  std::optional<Untold> TakeEnded(std::uint64_t unit);
  // Every count not told yet, taken, and none going on (the port closes).
  std::vector<Untold> TakeAll();

 private:
  struct Going {
    std::uint32_t deviceId = 0;
    std::uint32_t untold = 0;
    std::int64_t toldUs = 0;
  };
  std::map<std::uint64_t, Going> m_going;
};

// Whether the n bytes at frame are one whole framed reply: both length bytes below 0x80, the
// length they give n - 1, and the 7-bit sum right.
bool IsWholeFrame(const std::uint8_t* frame, std::uint32_t n);
