// Whose the bytes a transaction reads are, and how many more to wait for.
#include "core/comms/ReplyFraming.h"

#include <algorithm>

#include "core/protocol/SevenBit.h"

namespace {
// The quiet gap that ends a drain after a failed transaction: this many byte times, and never
// less than the shortest wait the port can time.
constexpr std::uint32_t kQuietGapBytes = 4;
constexpr std::uint32_t kMinQuietGapMs = 2;
// The least quiet gap that ends the rest of a reply longer than asked for, ms: a USB serial
// adapter may hold received bytes back for up to 16 ms before it passes them on.
constexpr std::uint32_t kMinRestQuietMs = 20;
}  // namespace

void CReplyFraming::Begin(const LateAnswerRequest& request, std::uint32_t sentLength, std::uint32_t echoOffset) {
  m_request = request;
  m_unechoable = false;
  for (std::uint32_t i = 0; i < 32; ++i)
    if ((request.echoMask & (1u << i)) != 0 && i >= sentLength + echoOffset) m_unechoable = true;
  m_lateAnswersDropped = 0;
  OnSend();
}

LateAnswerRequest CReplyFraming::Request(std::uint32_t replyLength) const {
  LateAnswerRequest r = m_request;
  r.replyLength = replyLength;
  return r;
}

CReplyFraming::EReadPhase CReplyFraming::Classify(const std::uint8_t* bytes, std::uint32_t received,
                                                  std::uint32_t expected, std::uint32_t heldBefore) const {
  if (received == expected) {
    if (m_request.write) return EReadPhase::kAck;
    return bytes[0] == m_request.replyStart ? EReadPhase::kWholeReply : EReadPhase::kWholeJunk;
  }
  if (received == 0) return EReadPhase::kNothing;
  if (heldBefore > 0) return EReadPhase::kMoreOfReply;
  return bytes[0] == m_request.replyStart ? EReadPhase::kBeginning : EReadPhase::kJunk;
}

std::uint32_t CReplyFraming::LongerReplyLength(const std::uint8_t* bytes, std::uint32_t expected) const {
  const std::uint32_t length = Get14Bit(bytes + 1);
  if (length > expected - 1 && bytes[1] < 0x80 && bytes[2] < 0x80 && length + 1 <= kMaxReplyBytes) return length + 1;
  return 0;
}

bool CReplyFraming::Echoes(const std::uint8_t* reply, std::uint32_t n) const {
  if (m_unechoable) return false;
  for (std::uint32_t i = 0; i < LateAnswerRequest::kHeaderBytes; ++i) {
    if ((m_request.echoMask & (1u << i)) == 0) continue;
    // A unit keeps every byte after the start byte below 0x80: a request byte above it (the
    // low byte of a long ID) comes back as its low seven bits.
    if (i >= n || (reply[i] & 0x7F) != m_request.echoed[i]) return false;
  }
  return true;
}

bool CReplyFraming::NamesNobody(const std::uint8_t* reply, std::uint32_t n) const {
  for (std::uint32_t i = 0; i < LateAnswerRequest::kHeaderBytes; ++i) {
    if ((m_request.echoMask & (1u << i)) == 0) continue;
    if (i >= n || (reply[i] & 0x7F) != 0) return false;
  }
  return true;
}

CControlMessage::EReplyEcho CReplyFraming::EchoOf(const std::uint8_t* reply, std::uint32_t n) const {
  using EReplyEcho = CControlMessage::EReplyEcho;
  if (m_request.echoMask == 0) return EReplyEcho::kNotChecked;
  if (Echoes(reply, n)) return EReplyEcho::kRepeated;
  return NamesNobody(reply, n) ? EReplyEcho::kEmpty : EReplyEcho::kOther;
}

std::uint32_t CReplyFraming::ShorterWholeFrame(const std::uint8_t* bytes, std::uint32_t received,
                                               std::uint32_t expected) const {
  if (m_request.write || received < 4 || bytes[0] != m_request.replyStart || bytes[1] >= 0x80 || bytes[2] >= 0x80)
    return 0;
  const std::uint32_t n = Get14Bit(bytes + 1) + 1;
  if (n >= expected || n > received || !IsWholeFrame(bytes, n)) return 0;
  return n;
}

CReplyFraming::LateAtFront CReplyFraming::LateAnswerAtFront(const std::uint8_t* bytes, std::uint32_t received,
                                                            std::uint32_t expected, std::int64_t nowUs) {
  LateAtFront front;
  if (!m_guard || m_lateAnswersDropped >= kMaxLateAnswersDropped) return front;
  if (received > 0 && bytes[0] == AnswerStart()) {
    // This request's start byte: a whole frame shorter than its reply that carries the header
    // of a late answer known to be due.
    const std::uint32_t n = ShorterWholeFrame(bytes, received, expected);
    if (n == 0) return front;
    const std::optional<LateAnswerMatch> late = m_book.Match(bytes, n, nowUs);
    if (!late) return front;
    return LateAtFront{LateAtFront::EKind::kWhole, *late, n};
  }
  const std::optional<LateAnswerMatch> late = m_book.MatchBeginning(bytes, received, AnswerStart(), nowUs);
  if (!late || late->length > kMaxReplyBytes) return front;
  if (received >= late->length) {
    if (!IsWholeFrame(bytes, late->length)) return front;
    return LateAtFront{LateAtFront::EKind::kWhole, *late, late->length};
  }
  return LateAtFront{LateAtFront::EKind::kBegun, *late, late->length};
}

void CReplyFraming::CountDropped(const LateAnswerMatch& answer, std::uint32_t n, std::int64_t nowUs) {
  m_book.Count(answer.record, n, nowUs);
  ++m_lateAnswersDropped;
}

CReplyFraming::EOwner CReplyFraming::Owner(const std::uint8_t* bytes, std::uint32_t n, std::int64_t nowUs,
                                           std::optional<LateAnswerMatch>* late) {
  late->reset();
  if (m_request.echoMask == 0) return EOwner::kThisRequest;
  if (Echoes(bytes, n)) {
    // A reply that names its unit whatever the unit tells nothing of how its other replies go.
    if (!m_request.echoNamesUnit) m_book.NoteRepeatsHeader(Request(n), bytes, n);
    return EOwner::kThisRequest;
  }
  // A reply that does not repeat this request but is the late answer to one that the book
  // knows is still due, is that answer, whatever is known of this unit; past the transaction's
  // share of them it is refused as any reply to another request.
  if (std::optional<LateAnswerMatch> known = m_book.Match(bytes, n, nowUs)) {
    if (m_lateAnswersDropped >= kMaxLateAnswersDropped) return EOwner::kAnotherRequest;
    *late = known;
    return EOwner::kLateAnswer;
  }
  if (m_request.echoNamesUnit) return NamesNobody(bytes, n) ? EOwner::kThisRequest : EOwner::kAnotherRequest;
  return m_book.RepeatsHeader(m_request.unit) ? EOwner::kAnotherRequest : EOwner::kThisRequest;
}

std::uint32_t CReplyFraming::TakeShorterReply(const std::uint8_t* bytes, std::uint32_t received,
                                              std::uint32_t expected) {
  const std::uint32_t n = ShorterWholeFrame(bytes, received, expected);
  // Without the request's unit ID and command in it, a shorter frame may be anything (another
  // unit's answer, a late one): it is waited past as ever.
  if (n == 0 || m_request.echoMask == 0 || !Echoes(bytes, n)) return 0;
  m_shorterReply = true;
  return n;
}

void CReplyFraming::BeginLateRest(const LateAtFront& front, std::uint32_t expected) {
  m_rest = ERest::kLateAnswer;
  m_lateRest = front.answer;
  m_replyLength = expected;
}

CReplyFraming::ERestRead CReplyFraming::OnRestRead(const std::uint8_t* bytes, std::uint32_t received,
                                                   std::uint32_t expected, std::uint32_t n) {
  if (received < expected && n > 0) return ERestRead::kStillComing;
  const ERest rest = m_rest;
  m_rest = ERest::kNone;
  const bool whole = received == expected;
  // Short of the length the header announced when the line went quiet: that length was wrong (a
  // length byte changed on the line).
  if (rest == ERest::kLongerReply) return whole ? ERestRead::kLongerReplyWhole : ERestRead::kLongerReplyCut;
  return whole && IsWholeFrame(bytes, expected) ? ERestRead::kLateAnswerWhole : ERestRead::kNotTheLateAnswer;
}

std::uint32_t CReplyFraming::QuietGapMs(std::uint32_t baudRate) {
  const std::uint32_t baud = baudRate != 0 ? baudRate : 57600;
  const std::uint32_t gap = (kQuietGapBytes * 10000 + baud - 1) / baud;
  return std::max(gap, kMinQuietGapMs);
}

std::uint32_t CReplyFraming::RestQuietMs(std::uint32_t baudRate) {
  return std::max(QuietGapMs(baudRate), kMinRestQuietMs);
}
