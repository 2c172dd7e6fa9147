// Answers still on their way to earlier requests, and the units that repeat their header.
#include "core/comms/LateAnswerBook.h"

#include <algorithm>
#include <bit>

#include "core/protocol/SevenBit.h"

bool IsWholeFrame(const std::uint8_t* frame, std::uint32_t n) {
  return n >= 4 && frame[1] < 0x80 && frame[2] < 0x80 && Get14Bit(frame + 1) + 1 == n &&
         Checksum7Bit(frame, n - 1) == frame[n - 1];
}

void CLateAnswerBook::Clear() {
  ClearAnswers();
  m_headers.clear();
}

void CLateAnswerBook::NoteRepeatsHeader(const LateAnswerRequest& request, const std::uint8_t* reply,
                                        std::uint32_t n) {
  UnitHeader header;
  // Up to the highest byte the request names, within the reply.
  const int top = std::min<int>(int(std::bit_width(request.echoMask)) - 1, int(n) - 1);
  for (int i = 3; i <= top; ++i) {
    if ((request.echoMask & (1u << i)) != 0) continue;
    header.mask |= 1u << i;
    header.bytes[i] = std::uint8_t(reply[i] & 0x7F);
  }
  m_headers[request.unit] = header;
}

void CLateAnswerBook::OnTransactionEnd(const LateAnswerRequest& request, std::uint32_t unansweredSends,
                                       bool answered, std::int64_t firstSendEndUs, std::int64_t readLimitUs,
                                       std::int64_t nowUs) {
  if (unansweredSends == 0) return;
  if (!answered && request.write) return;
  Prune(nowUs);
  Record answers;
  answers.id = m_nextId++;
  answers.request = request;
  const auto header = m_headers.find(request.unit);
  answers.echoes = request.echoMask != 0 && (request.echoNamesUnit || header != m_headers.end());
  answers.headerMask = request.echoMask;
  std::copy(std::begin(request.echoed), std::end(request.echoed), std::begin(answers.header));
  if (header != m_headers.end()) {
    // What the unit's replies carry besides, up to the last byte this request names: an answer
    // laid out otherwise (an identity reply) carries other bytes further on.
    const std::uint32_t top = std::uint32_t(std::bit_width(request.echoMask));
    const std::uint32_t upToTop = top >= 32 ? ~0u : (1u << top) - 1;
    const std::uint32_t known = header->second.mask & upToTop & ~request.echoMask;
    answers.headerMask |= known;
    for (std::uint32_t i = 0; i < LateAnswerRequest::kHeaderBytes; ++i) {
      if ((known & (1u << i)) != 0) answers.header[i] = header->second.bytes[i];
    }
  }
  answers.bytesDue = unansweredSends * request.replyLength;
  answers.firstSendUs = firstSendEndUs;
  // The answer taken may be the one to an earlier send, come late. A unit that took that long
  // answers each later send at most as long after the answer before it: a unit that answers
  // late in turn, one request after the other, takes no longer for the next.
  const std::int64_t took = std::max<std::int64_t>(0, nowUs - firstSendEndUs);
  if (answered) {
    answers.knownUntilUs = nowUs + unansweredSends * took + kSlackUs;
    // A request that could take one of them waits at most as long as the transaction took: the
    // answers that a unit slower than that still sends are known when they come, and refused by
    // any request that can tell them apart. The unit is passed over as long, while others have
    // work, so that its own next request seldom has to wait.
    answers.holdUntilUs = nowUs + took + kSlackUs;
  } else {
    answers.knownUntilUs = nowUs + took + readLimitUs + kSlackUs;
  }
  // A unit known to answer late answers the last send as late again: at most as long after it as
  // after the first send of any request before.
  if (const std::int64_t lateness = LatenessOf(request.unit); lateness > 0)
    answers.knownUntilUs = std::max(answers.knownUntilUs, nowUs + lateness + kSlackUs);
  if (answers.bytesDue != 0) m_records.push_back(answers);
}

void CLateAnswerBook::Prune(std::int64_t nowUs) {
  std::erase_if(m_records, [nowUs](const Record& r) { return !IsLive(r, nowUs); });
}

bool CLateAnswerBook::CouldTake(const LateAnswerRequest& request, const Record& answers) {
  if (!request.write && request.replyLength == 0) return false;  // nothing is read back
  // An ACK is one byte that names nobody: any write may take it. A framed reply never passes
  // for an ACK (its start byte is not one, and its other bytes are below 0x80), nor for a
  // reply with another start byte.
  if (answers.request.write || request.write) return answers.request.write && request.write;
  if (request.replyStart != answers.request.replyStart) return false;
  // A shorter answer fails this request's length check, and is dropped as the late answer it is.
  if (answers.request.replyLength < request.replyLength) return false;
  // Such an answer repeats its own request's header when its unit repeats headers. This request
  // refuses it when the two requests differ at a byte both check: a unit known to repeat the
  // header refuses any reply that does not, and one not yet known refuses a known late answer
  // that does not repeat this request.
  if (!answers.echoes) return true;
  const std::uint32_t both = request.echoMask & answers.request.echoMask;
  for (std::uint32_t i = 0; i < LateAnswerRequest::kHeaderBytes; ++i) {
    if ((both & (1u << i)) != 0 && request.echoed[i] != answers.request.echoed[i]) return false;
  }
  return true;
}

CLateAnswerBook::Drain CLateAnswerBook::TakeAnswersTheRequestCouldTake(const LateAnswerRequest& request,
                                                                       std::int64_t nowUs) {
  Prune(nowUs);
  Drain drain;
  std::erase_if(m_records, [&](const Record& a) {
    if (!IsWatched(a, nowUs) || !CouldTake(request, a)) return false;
    drain.bytes += a.bytesDue;
    drain.untilUs = std::max(drain.untilUs, a.holdUntilUs);
    if (std::find(drain.units.begin(), drain.units.end(), a.request.unit) == drain.units.end())
      drain.units.push_back(a.request.unit);
    Drain::Answers& answers = drain.answers.emplace_back();
    answers.unit = a.request.unit;
    answers.command = a.request.command;
    answers.argument = a.request.argument;
    answers.firstSendUs = a.firstSendUs;
    answers.write = a.request.write;
    answers.replyStart = a.request.replyStart;
    answers.replyLength = a.request.replyLength;
    answers.headerMask = a.headerMask;
    std::copy(std::begin(a.header), std::end(a.header), std::begin(answers.header));
    return true;
  });
  return drain;
}

void CLateAnswerBook::NoteHeardIn(const Drain& drain, const std::uint8_t* bytes, std::uint32_t n, std::int64_t nowUs) {
  // The answers of the one unit of the drain that the frame (or ACK) could be: the first of them
  // is heard; none for none or several units.
  auto soleUnit = [&drain](auto fits) {
    const Drain::Answers* sole = nullptr;
    for (const Drain::Answers& a : drain.answers) {
      if (!fits(a)) continue;
      if (sole && sole->unit != a.unit) return static_cast<const Drain::Answers*>(nullptr);
      if (!sole) sole = &a;
    }
    return sole;
  };
  auto noteHeard = [&](const Drain::Answers* a) {
    if (a) NoteHeard(LateAnswerHeard{a->unit, a->command, a->argument}, a->firstSendUs, nowUs);
  };
  for (std::uint32_t p = 0; p < n;) {
    const std::uint32_t length =
        p + 4 <= n && bytes[p + 1] < 0x80 && bytes[p + 2] < 0x80 ? Get14Bit(bytes + p + 1) + 1 : 0;
    if (length >= 4 && length <= n - p && IsWholeFrame(bytes + p, length)) {
      const std::uint8_t* frame = bytes + p;
      noteHeard(soleUnit([&](const Drain::Answers& a) {
        if (a.write || a.replyStart != frame[0] || a.replyLength != length) return false;
        for (std::uint32_t i = 0; i < LateAnswerRequest::kHeaderBytes; ++i)
          if ((a.headerMask & (1u << i)) != 0 && (i >= length || (frame[i] & 0x7F) != a.header[i])) return false;
        return true;
      }));
      p += length;
      continue;
    }
    // The ACK: no framed reply carries its byte.
    if (bytes[p] == 0xA0) noteHeard(soleUnit([](const Drain::Answers& a) { return a.write; }));
    ++p;
  }
}

bool CLateAnswerBook::CouldTakeAny(const LateAnswerRequest& request, std::int64_t nowUs) const {
  return std::any_of(m_records.begin(), m_records.end(),
                     [&](const Record& a) { return IsWatched(a, nowUs) && CouldTake(request, a); });
}

bool CLateAnswerBook::IsWatching(std::int64_t nowUs) const {
  return std::any_of(m_records.begin(), m_records.end(), [nowUs](const Record& a) { return IsWatched(a, nowUs); });
}

bool CLateAnswerBook::IsExpecting(std::int64_t nowUs) const {
  return std::any_of(m_records.begin(), m_records.end(), [nowUs](const Record& a) { return IsLive(a, nowUs); });
}

bool CLateAnswerBook::PassesOver(std::uint64_t unit, std::int64_t nowUs) {
  Prune(nowUs);
  return std::any_of(m_records.begin(), m_records.end(),
                     [unit, nowUs](const Record& a) { return a.request.unit == unit && IsWatched(a, nowUs); });
}

std::optional<LateAnswerMatch> CLateAnswerBook::Match(const std::uint8_t* frame, std::uint32_t n,
                                                      std::int64_t nowUs) const {
  for (auto a = m_records.rbegin(); a != m_records.rend(); ++a) {
    const LateAnswerRequest& r = a->request;
    if (r.write || r.echoMask == 0 || r.replyLength != n || n == 0 || r.replyStart != frame[0] || !IsLive(*a, nowUs))
      continue;
    bool same = true;
    for (std::uint32_t i = 0; i < LateAnswerRequest::kHeaderBytes && same; ++i) {
      if ((a->headerMask & (1u << i)) != 0) same = i < n && (frame[i] & 0x7F) == a->header[i];
    }
    if (same) return LateAnswerMatch{a->id, r.unit, r.deviceId, r.command, r.replyLength};
  }
  return std::nullopt;
}

std::optional<LateAnswerMatch> CLateAnswerBook::MatchBeginning(const std::uint8_t* bytes, std::uint32_t n,
                                                               std::uint8_t ownStart, std::int64_t nowUs) const {
  if (n == 0 || bytes[0] == ownStart) return std::nullopt;
  for (auto a = m_records.rbegin(); a != m_records.rend(); ++a) {
    const LateAnswerRequest& r = a->request;
    if (r.write || r.replyLength < 4 || r.replyStart != bytes[0] || !IsLive(*a, nowUs)) continue;
    if (n >= 3 && (bytes[1] >= 0x80 || bytes[2] >= 0x80 || Get14Bit(bytes + 1) + 1 != r.replyLength)) continue;
    // The bytes its request names; what else the unit's replies repeat was learnt from replies
    // that may have another start byte.
    bool same = true;
    for (std::uint32_t i = 0; i < LateAnswerRequest::kHeaderBytes && i < n && same; ++i) {
      if ((r.echoMask & (1u << i)) != 0) same = (bytes[i] & 0x7F) == r.echoed[i];
    }
    if (same) return LateAnswerMatch{a->id, r.unit, r.deviceId, r.command, r.replyLength};
  }
  return std::nullopt;
}

void CLateAnswerBook::Count(std::uint64_t record, std::uint32_t n, std::int64_t nowUs) {
  for (Record& a : m_records) {
    if (a.id != record) continue;
    a.bytesDue -= std::min(a.bytesDue, n);
    NoteHeard(LateAnswerHeard{a.request.unit, a.request.command, a.request.argument}, a.firstSendUs, nowUs);
  }
  Prune(nowUs);
}

void CLateAnswerBook::CountIn(const std::uint8_t* bytes, std::uint32_t n, std::int64_t nowUs) {
  for (std::uint32_t p = 0; p + 4 <= n;) {
    const std::uint32_t length = bytes[p + 1] < 0x80 && bytes[p + 2] < 0x80 ? Get14Bit(bytes + p + 1) + 1 : 0;
    const std::optional<LateAnswerMatch> late =
        length >= 4 && length <= n - p && IsWholeFrame(bytes + p, length) ? Match(bytes + p, length, nowUs)
                                                                         : std::nullopt;
    if (!late) {
      ++p;
      continue;
    }
    Count(late->record, length, nowUs);
    p += length;
  }
}

void CLateAnswerBook::NoteHeard(const LateAnswerHeard& heard, std::int64_t firstSendUs, std::int64_t nowUs) {
  if (heard.unit == 0) return;
  Lateness& lateness = m_lateness[heard.unit];
  const std::int64_t us = std::clamp<std::int64_t>(nowUs - firstSendUs, 1, kLongestLatenessUs);
  lateness.longestUs = std::max(lateness.longestUs, us);
  lateness.shortestUs = lateness.answers == 0 ? us : std::min(lateness.shortestUs, us);
  ++lateness.answers;
  if (std::find(m_heard.begin(), m_heard.end(), heard) == m_heard.end()) m_heard.push_back(heard);
}

std::vector<LateAnswerHeard> CLateAnswerBook::TakeAnswersHeard() {
  std::vector<LateAnswerHeard> heard;
  heard.swap(m_heard);
  return heard;
}

std::vector<std::uint64_t> CLateAnswerBook::TakeUnitsHeard() {
  std::vector<std::uint64_t> units;
  for (const LateAnswerHeard& heard : TakeAnswersHeard())
    if (std::find(units.begin(), units.end(), heard.unit) == units.end()) units.push_back(heard.unit);
  return units;
}

std::int64_t CLateAnswerBook::LatenessOf(std::uint64_t unit) const {
  const auto lateness = m_lateness.find(unit);
  return lateness == m_lateness.end() ? 0 : lateness->second.longestUs;
}

std::int64_t CLateAnswerBook::ShortestLatenessOf(std::uint64_t unit) const {
  const auto lateness = m_lateness.find(unit);
  return lateness == m_lateness.end() ? 0 : lateness->second.shortestUs;
}

std::uint32_t CLateAnswerBook::LateAnswersHeardFrom(std::uint64_t unit) const {
  const auto lateness = m_lateness.find(unit);
  return lateness == m_lateness.end() ? 0 : lateness->second.answers;
}

std::uint32_t CLateAnswerBook::BytesOwedBy(std::uint64_t unit, std::int64_t nowUs) {
  Prune(nowUs);
  std::uint32_t owed = 0;
  for (const Record& a : m_records) {
    if (a.request.unit == unit) owed += a.bytesDue;
  }
  return owed;
}

bool CLateAnswerTally::OnLateAnswer(std::uint64_t unit, std::uint32_t deviceId, std::int64_t nowUs) {
  const auto going = m_going.find(unit);
  if (going == m_going.end()) {
    m_going[unit] = Going{deviceId, 0, nowUs};
    return true;
  }
  going->second.deviceId = deviceId;
  ++going->second.untold;
  return false;
}

std::vector<CLateAnswerTally::Untold> CLateAnswerTally::TakeDue(std::int64_t nowUs) {
  std::vector<Untold> due;
  for (auto& [unit, going] : m_going) {
    if (going.untold == 0 || nowUs - going.toldUs < kTellEveryUs) continue;
    due.push_back(Untold{unit, going.deviceId, going.untold});
    going.untold = 0;
    going.toldUs = nowUs;
  }
  return due;
}

std::optional<CLateAnswerTally::Untold> CLateAnswerTally::TakeEnded(std::uint64_t unit) {
  const auto going = m_going.find(unit);
  if (going == m_going.end()) return std::nullopt;
  const Untold untold{unit, going->second.deviceId, going->second.untold};
  m_going.erase(going);
  if (untold.count == 0) return std::nullopt;
  return untold;
}

std::vector<CLateAnswerTally::Untold> CLateAnswerTally::TakeAll() {
  std::vector<Untold> all;
  for (const auto& [unit, going] : m_going)
    if (going.untold != 0) all.push_back(Untold{unit, going.deviceId, going.untold});
  m_going.clear();
  return all;
}
