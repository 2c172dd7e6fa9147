// The framing of the answers one transaction reads: whose the bytes a read brought are, and how
// many more to wait for. Given the request (as the late-answer book describes it) and the bytes
// read so far, it tells what a finished read holds, whether a reply longer than asked for is on
// its way, whether the bytes begin with another request's answer come late (whole, or begun and
// still coming), whether a whole shorter frame is this request's own reply, and who a whole,
// checked reply is from. It keeps the state of a frame's rest being read and how many late
// answers the transaction has dropped. No port: the transport reads, times the reads, resends and
// logs; this class works on byte arrays and on times in microseconds on the program's clock given
// by the caller. Not locked: the transport's thread only.
#pragma once

#include <cstdint>
#include <optional>

#include "core/comms/LateAnswerBook.h"
#include "core/protocol/ControlMessage.h"

class CReplyFraming {
 public:
  // The most bytes a reply may have: the transport's receive buffer.
  static constexpr std::uint32_t kMaxReplyBytes = 1024;
  static constexpr std::uint8_t kAck = 0xA0;
  // Late answers to other requests a transaction drops before it treats them as it treats any
  // reply to another request.
  static constexpr std::uint32_t kMaxLateAnswersDropped = 4;

  // What a finished read holds, by which the transport goes on.
  enum class EReadPhase {
    kAck,          // a write's ACK was awaited and the byte came
    kWholeReply,   // as many bytes as expected, from the start byte on
    kWholeJunk,    // as many bytes as expected, not from the start byte
    kNothing,      // the read timed out empty
    kMoreOfReply,  // more bytes of a reply begun by an earlier read
    kBeginning,    // fewer bytes than expected, from the start byte on
    kJunk,         // fewer bytes than expected, not from the start byte
  };
  // Who a whole, checked reply is from.
  enum class EOwner { kThisRequest, kLateAnswer, kAnotherRequest };
  // What a read of a frame's rest came to.
  enum class ERestRead {
    kStillComing,       // bytes came and more are due: read on
    kLongerReplyWhole,  // the longer reply is whole: judge it as any whole reply
    kLongerReplyCut,    // the line went quiet short of the length announced: a length byte was wrong
    kLateAnswerWhole,   // the late answer is whole: drop it, and read this request's own reply on
    kNotTheLateAnswer,  // not that answer after all: junk
  };
  // Another request's answer come late at the front of the bytes read.
  struct LateAtFront {
    enum class EKind { kNone, kWhole, kBegun } kind = EKind::kNone;
    LateAnswerMatch answer;
    // The answer's bytes: whole, they are at the front; begun, so many make it whole.
    std::uint32_t length = 0;
  };

  explicit CReplyFraming(CLateAnswerBook& book) : m_book(book) {}
  CReplyFraming(const CReplyFraming&) = delete;
  CReplyFraming& operator=(const CReplyFraming&) = delete;

  // Off leaves late answers to the reply checks alone; on by default (see
  // CSerialComms::SetLateAnswerGuard).
  void SetGuard(bool on) { m_guard = on; }
  bool Guards() const { return m_guard; }

  // A new transaction: the request as the book describes it (reply positions, the length it asks
  // for), how many bytes were sent, and how much further on the reply repeats the request's bytes
  // (CControlMessage::replyEchoOffset); nothing dropped yet.
  void Begin(const LateAnswerRequest& request, std::uint32_t sentLength, std::uint32_t echoOffset = 0);
  // A send of the transaction (the first or a resend), or the port opened: no frame's rest is
  // being read, and it has not ended on a shorter reply.
  void OnSend() {
    m_rest = ERest::kNone;
    m_shorterReply = false;
  }
  // The request, asking for replyLength bytes.
  LateAnswerRequest Request(std::uint32_t replyLength) const;
  // The reply length the request asked for; a resend asks for it again.
  std::uint32_t RequestedLength() const { return m_request.replyLength; }
  // The byte this request's answer begins with: the ACK for a write, else the reply start byte.
  std::uint8_t AnswerStart() const { return m_request.write ? kAck : m_request.replyStart; }

  // What a read holds: received bytes at bytes, expected asked for; heldBefore of them were held
  // before the read.
  EReadPhase Classify(const std::uint8_t* bytes, std::uint32_t received, std::uint32_t expected,
                      std::uint32_t heldBefore) const;
  // The length a whole reply of expected bytes announces when that is more than expected and at
  // most kMaxReplyBytes, both length bytes below 0x80: the rest is on its way. 0 otherwise.
  std::uint32_t LongerReplyLength(const std::uint8_t* bytes, std::uint32_t expected) const;
  // Whether the received bytes begin with another request's answer known to be on its way: a
  // whole frame shorter than expected with this request's start byte that carries the header of
  // a late answer due, or one with another start byte, whole or begun. A begun one is what a
  // frame's rest read then completes (see BeginRest). Nothing once the transaction has dropped
  // its share of late answers, or with the guard off.
  LateAtFront LateAnswerAtFront(const std::uint8_t* bytes, std::uint32_t received, std::uint32_t expected,
                                std::int64_t nowUs);
  // A late answer of n bytes was dropped: the book counts it for its unit, and the transaction's
  // share goes down.
  void CountDropped(const LateAnswerMatch& answer, std::uint32_t n, std::int64_t nowUs);
  // Who the whole, checked reply of n bytes is from; a late answer is returned in late. A unit
  // need not repeat the request's header in its reply: until one of its replies has, every reply
  // is taken; from then on (until the book forgets it) only one that repeats it is. A reply that
  // names its unit whatever the unit (LateAnswerRequest::echoNamesUnit) is taken only when it
  // names this one, or nobody. A reply that carries the header of a late answer known to be due
  // is that answer, whatever is known of this unit.
  EOwner Owner(const std::uint8_t* bytes, std::uint32_t n, std::int64_t nowUs, std::optional<LateAnswerMatch>* late);
  // The length of a whole frame at the front of the received bytes, shorter than expected, that
  // repeats the request's bytes named by its echo mask: this request's own reply, in a length of
  // the unit's own. The transaction ends on it (see EndedOnShorterReply). 0 when there is none.
  std::uint32_t TakeShorterReply(const std::uint8_t* bytes, std::uint32_t received, std::uint32_t expected);
  bool EndedOnShorterReply() const { return m_shorterReply; }
  // Whom the n reply bytes name in the bytes of the request's echo mask.
  CControlMessage::EReplyEcho EchoOf(const std::uint8_t* reply, std::uint32_t n) const;

  // The rest of a reply longer than asked for is read, in reads that end when the line has gone
  // quiet (RestQuietMs).
  void BeginLongerRest() { m_rest = ERest::kLongerReply; }
  // The same for a late answer begun at the front (LateAnswerAtFront); expected is this request's
  // own reply length, read on once it is dropped.
  void BeginLateRest(const LateAtFront& front, std::uint32_t expected);
  bool ReadsRest() const { return m_rest != ERest::kNone; }
  // A read of the rest brought n bytes, received now in all of expected: what that comes to.
  // Every outcome but kStillComing ends the rest.
  ERestRead OnRestRead(const std::uint8_t* bytes, std::uint32_t received, std::uint32_t expected, std::uint32_t n);
  // The late answer whose rest was read, and the length this request's own reply is read on to.
  const LateAnswerMatch& LateRest() const { return m_lateRest; }
  std::uint32_t ReplyLengthAfterLateRest() const { return m_replyLength; }

  // The quiet gap that ends the drain after a failed transaction at the baud rate (0: 57600):
  // a few byte times, and never less than the shortest wait the port can time.
  static std::uint32_t QuietGapMs(std::uint32_t baudRate);
  // How long the line may be quiet while the rest of a frame comes, ms: a few byte times, and
  // never less than a serial adapter may hold bytes back.
  static std::uint32_t RestQuietMs(std::uint32_t baudRate);

 private:
  // What the rest of a frame being read belongs to: this request's reply, longer than it asked
  // for, or another request's answer come late, which the read began with.
  enum class ERest { kNone, kLongerReply, kLateAnswer };

  // Whether the n reply bytes repeat the request's bytes named by its echo mask, compared on
  // their low seven bits; a reply too short to hold them does not.
  bool Echoes(const std::uint8_t* reply, std::uint32_t n) const;
  // Whether every one of those bytes is 0 in the n reply bytes: the reply names nobody.
  bool NamesNobody(const std::uint8_t* reply, std::uint32_t n) const;
  // The length of a whole frame from this request's reply start byte at the front of the bytes,
  // shorter than expected; 0 when there is none.
  std::uint32_t ShorterWholeFrame(const std::uint8_t* bytes, std::uint32_t received, std::uint32_t expected) const;

  CLateAnswerBook& m_book;
  bool m_guard = true;
  LateAnswerRequest m_request;
  // The echo mask names a request byte past those sent: no reply repeats it.
  bool m_unechoable = false;
  std::uint32_t m_lateAnswersDropped = 0;
  bool m_shorterReply = false;
  ERest m_rest = ERest::kNone;
  LateAnswerMatch m_lateRest;
  std::uint32_t m_replyLength = 0;
};
