// The book of late answers on its own: requests and reply frames as bytes, times in
// microseconds, no port and no bus.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/comms/LateAnswerBook.h"
#include "core/protocol/SevenBit.h"

using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr std::uint64_t kUnitFive = 0x5005;  // device handles
constexpr std::uint64_t kUnitSix = 0x6006;
constexpr std::uint64_t kZelUnit = 0x7007;
constexpr std::int64_t kSlack = CLateAnswerBook::kSlackUs;

// A processor-layout read of the command from the unit: its reply repeats the ID (byte 4) and the
// command (byte 6).
LateAnswerRequest ProcessorRead(std::uint64_t unit, std::uint8_t id, std::uint8_t command, std::uint32_t length = 20) {
  LateAnswerRequest r;
  r.unit = unit;
  r.deviceId = id;
  r.command = command;
  r.replyLength = length;
  r.echoMask = (1u << 4) | (1u << 6);
  r.echoed[4] = std::uint8_t(id & 0x7F);
  r.echoed[6] = command;
  return r;
}

// A Zel-layout read: the ID in four 7-bit groups (bytes 4 to 7), the command in byte 9.
LateAnswerRequest ZelRead(std::uint64_t unit, std::uint32_t id, std::uint8_t command, std::uint32_t length = 24) {
  LateAnswerRequest r;
  r.unit = unit;
  r.deviceId = id;
  r.command = command;
  r.replyLength = length;
  r.echoMask = (0xFu << 4) | (1u << 9);
  for (int i = 0; i < 4; ++i) r.echoed[4 + i] = std::uint8_t((id >> (24 - 8 * i)) & 0x7F);
  r.echoed[9] = command;
  return r;
}

LateAnswerRequest Write(std::uint64_t unit) {
  LateAnswerRequest r;
  r.unit = unit;
  r.write = true;
  r.replyLength = 1;
  return r;
}

// A whole reply of the length whose header bytes 3 on are those given, the rest filler.
Bytes Reply(const Bytes& header, std::size_t length) {
  Bytes frame(length, 0x11);
  frame[0] = 0xA8;
  Put14Bit(frame.data() + 1, std::uint32_t(length - 1));
  std::copy(header.begin(), header.end(), frame.begin() + 3);
  frame.back() = Checksum7Bit(frame.data(), length - 1);
  return frame;
}

// Processor reply: type, ID, 0, command.
Bytes ProcessorReply(std::uint8_t type, std::uint8_t id, std::uint8_t command, std::size_t length = 20) {
  return Reply({type, id, 0x00, command}, length);
}

}  // namespace

TEST(LateAnswerBook, AnsweredAfterSilenceOwesTheSilentSendsAnswersAndPassesItsUnitOverAsLongAsItTook) {
  CLateAnswerBook book;
  // First send ended at 1 000 000 us, answered (on the third send) at 1 300 000: two sends were met by silence.
  book.OnTransactionEnd(ProcessorRead(kUnitFive, 5, 0x3E), 2, true, 1000000, 60000, 1300000);
  EXPECT_EQ(book.BytesOwedBy(kUnitFive, 1300000), 40u);
  EXPECT_EQ(book.BytesOwedBy(kUnitSix, 1300000), 0u);
  EXPECT_TRUE(book.IsWatching(1300000));
  // Passed over as long as the transaction took and the slack: not only one read time-out.
  EXPECT_TRUE(book.PassesOver(kUnitFive, 1300000 + 300000 + kSlack - 1));
  EXPECT_FALSE(book.PassesOver(kUnitSix, 1300000));
  EXPECT_FALSE(book.PassesOver(kUnitFive, 1300000 + 300000 + kSlack));
  EXPECT_FALSE(book.IsWatching(1300000 + 300000 + kSlack));
  // Still known until each of the two may have come, each as long after the one before.
  EXPECT_EQ(book.BytesOwedBy(kUnitFive, 1300000 + 2 * 300000 + kSlack - 1), 40u);
  EXPECT_EQ(book.BytesOwedBy(kUnitFive, 1300000 + 2 * 300000 + kSlack), 0u);
}

TEST(LateAnswerBook, UnansweredTransactionsAnswersAreKnownForAReadTimeOutMoreAndPassNobodyOver) {
  CLateAnswerBook book;
  book.OnTransactionEnd(ProcessorRead(kUnitFive, 5, 0x3E), 3, false, 1000000, 60000, 1180000);
  EXPECT_EQ(book.BytesOwedBy(kUnitFive, 1180000), 60u);
  EXPECT_FALSE(book.PassesOver(kUnitFive, 1180000));
  EXPECT_FALSE(book.IsWatching(1180000));
  const std::int64_t knownUntil = 1180000 + 180000 + 60000 + kSlack;
  EXPECT_EQ(book.BytesOwedBy(kUnitFive, knownUntil - 1), 60u);
  EXPECT_EQ(book.BytesOwedBy(kUnitFive, knownUntil), 0u);
}

TEST(LateAnswerBook, NothingIsOwedWithoutASilentSendNorByAnUnansweredWrite) {
  CLateAnswerBook book;
  // Sends answered, even wrongly, have had their answers.
  book.OnTransactionEnd(ProcessorRead(kUnitFive, 5, 0x3E), 0, true, 0, 60000, 100000);
  // An ACK that comes late names nobody.
  book.OnTransactionEnd(Write(kUnitFive), 3, false, 0, 36000, 100000);
  EXPECT_EQ(book.BytesOwedBy(kUnitFive, 100000), 0u);
  // An answered write owes its silent sends' ACKs.
  book.OnTransactionEnd(Write(kUnitFive), 1, true, 0, 36000, 100000);
  EXPECT_EQ(book.BytesOwedBy(kUnitFive, 100000), 1u);
}

namespace {

// A frame read and whether it is a late answer owed by unit 5 (type 0x10 once learned) to its
// read of command 0x3E, a 20-byte reply.
struct MatchCase {
  const char* name;
  Bytes frame;
  bool unitKnownToRepeat;  // a reply of unit 5 that repeated its request was taken before
  bool match;
};

const MatchCase kMatchCases[] = {
    {"ItsOwnAnswer", ProcessorReply(0x10, 5, 0x3E), true, true},
    {"ItsOwnAnswerBeforeAnyReplyOfItsWasTaken", ProcessorReply(0x10, 5, 0x3E), false, true},
    {"AnotherUnitsReplyNamingItsCommand", ProcessorReply(0x10, 6, 0x3E), true, false},
    {"ItsAnswerToAnotherCommand", ProcessorReply(0x10, 5, 0x3F), true, false},
    {"AWrongReplyOfAUnitOfAnotherTypeNamingIt", ProcessorReply(0x11, 5, 0x3E), true, false},
    {"AWrongReplyOfAnotherTypeBeforeItsTypeIsKnown", ProcessorReply(0x11, 5, 0x3E), false, true},
    {"OfAnotherLength", ProcessorReply(0x10, 5, 0x3E, 24), true, false},
    {"WithAnotherStartByte", [] {
       Bytes f = ProcessorReply(0x10, 5, 0x3E);
       f[0] = 0xB8;
       f.back() = Checksum7Bit(f.data(), f.size() - 1);
       return f;
     }(), true, false},
};

class LateAnswerFrames : public ::testing::TestWithParam<MatchCase> {};

}  // namespace

TEST_P(LateAnswerFrames, IsTheAnswerOwedWhenItCarriesEveryHeaderByteItsUnitIsKnownToSend) {
  const MatchCase& c = GetParam();
  CLateAnswerBook book;
  const LateAnswerRequest read = ProcessorRead(kUnitFive, 5, 0x3E);
  if (c.unitKnownToRepeat) {
    const Bytes earlier = ProcessorReply(0x10, 5, 0x3E);
    book.NoteRepeatsHeader(read, earlier.data(), std::uint32_t(earlier.size()));
  }
  book.OnTransactionEnd(read, 1, true, 0, 60000, 100000);
  const auto late = book.Match(c.frame.data(), std::uint32_t(c.frame.size()), 100000);
  ASSERT_EQ(late.has_value(), c.match);
  if (!late) return;
  EXPECT_EQ(late->deviceId, 5u);
  EXPECT_EQ(late->command, 0x3Eu);
  book.Count(late->record, std::uint32_t(c.frame.size()), 100000);
  EXPECT_EQ(book.BytesOwedBy(kUnitFive, 100000), 0u);
  EXPECT_FALSE(book.PassesOver(kUnitFive, 100000));
  EXPECT_FALSE(book.Match(c.frame.data(), std::uint32_t(c.frame.size()), 100000).has_value());
}

INSTANTIATE_TEST_SUITE_P(Frames, LateAnswerFrames, ::testing::ValuesIn(kMatchCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LateAnswerBook, AnswersOwedAreCountedAmongBytesThatCameOutsideAnyRead) {
  CLateAnswerBook book;
  book.OnTransactionEnd(ProcessorRead(kUnitFive, 5, 0x3E), 2, true, 0, 60000, 100000);
  // Junk, one owed answer, a reply of another unit, the other owed answer.
  Bytes bytes{0x01, 0xA8, 0x02};
  for (const Bytes& f : {ProcessorReply(0x10, 5, 0x3E), ProcessorReply(0x10, 6, 0x3E), ProcessorReply(0x10, 5, 0x3E)})
    bytes.insert(bytes.end(), f.begin(), f.end());
  book.CountIn(bytes.data(), std::uint32_t(bytes.size() - 1), 100000);  // the last cut short
  EXPECT_EQ(book.BytesOwedBy(kUnitFive, 100000), 20u);
  book.CountIn(bytes.data(), std::uint32_t(bytes.size()), 100000);
  EXPECT_EQ(book.BytesOwedBy(kUnitFive, 100000), 0u);
  EXPECT_FALSE(book.IsWatching(100000));
}

TEST(LateAnswerBook, UnitsAreKnownByTheirHandleNeverByAnother) {
  CLateAnswerBook book;
  const LateAnswerRequest read = ProcessorRead(kUnitFive, 5, 0x3E);
  const Bytes reply = ProcessorReply(0x10, 5, 0x3E);
  book.NoteRepeatsHeader(read, reply.data(), std::uint32_t(reply.size()));
  EXPECT_TRUE(book.RepeatsHeader(kUnitFive));
  // Another device at the same ID inherits nothing.
  EXPECT_FALSE(book.RepeatsHeader(kUnitSix));
  book.OnTransactionEnd(read, 1, true, 0, 60000, 100000);
  EXPECT_FALSE(book.PassesOver(kUnitSix, 100000));
  book.ForgetRepeatsHeader(kUnitFive);
  EXPECT_FALSE(book.RepeatsHeader(kUnitFive));
  book.Clear();
  EXPECT_EQ(book.BytesOwedBy(kUnitFive, 100000), 0u);
}

namespace {

// A watched transaction of one request, and a later request: whether that one could take an
// answer of the watch for its own (and so drains it first).
struct TakeCase {
  const char* name;
  LateAnswerRequest watched;
  bool watchedUnitKnownToRepeat;
  LateAnswerRequest next;
  bool couldTake;
};

const TakeCase kTakeCases[] = {
    {"SameUnitAndCommand", ProcessorRead(kUnitFive, 5, 0x3E), true, ProcessorRead(kUnitFive, 5, 0x3E), true},
    {"SameUnitOtherCommand", ProcessorRead(kUnitFive, 5, 0x3E), true, ProcessorRead(kUnitFive, 5, 0x3F), false},
    {"OtherUnit", ProcessorRead(kUnitFive, 5, 0x3E), true, ProcessorRead(kUnitSix, 6, 0x3E), false},
    {"OtherUnitWhileTheLateOneIsNotKnownToRepeat", ProcessorRead(kUnitFive, 5, 0x3E), false,
     ProcessorRead(kUnitSix, 6, 0x3E), true},
    {"LongerReply", ProcessorRead(kUnitFive, 5, 0x3E, 20), false, ProcessorRead(kUnitSix, 6, 0x3E, 24), false},
    {"WriteAfterWrite", Write(kUnitFive), false, Write(kUnitSix), true},
    {"ReadAfterWrite", Write(kUnitFive), false, ProcessorRead(kUnitSix, 6, 0x3E), false},
    {"ProcessorAfterZel", ZelRead(kZelUnit, 100, 0x41), true, ProcessorRead(kUnitSix, 9, 0x41, 24), false},
    {"ProcessorAt128WithTheZelIdsCommandAfterZel", ZelRead(kZelUnit, 100, 0x41), true,
     ProcessorRead(kUnitSix, 0x80, 0x00, 24), true},
};

class LateAnswerTake : public ::testing::TestWithParam<TakeCase> {};

}  // namespace

TEST_P(LateAnswerTake, OnlyARequestWhoseReplyCheckCannotTellTheAnswerApartDrainsIt) {
  const TakeCase& c = GetParam();
  CLateAnswerBook book;
  if (c.watchedUnitKnownToRepeat) {
    Bytes reply(c.watched.replyLength, 0x11);
    for (std::uint32_t i = 0; i < 32; ++i) {
      if ((c.watched.echoMask & (1u << i)) != 0) reply[i] = c.watched.echoed[i];
    }
    book.NoteRepeatsHeader(c.watched, reply.data(), std::uint32_t(reply.size()));
  }
  // Answered 100 ms after the first send: the watch holds until 135 ms after.
  book.OnTransactionEnd(c.watched, 1, true, 0, 60000, 100000);
  const CLateAnswerBook::Drain drain = book.TakeAnswersTheRequestCouldTake(c.next, 150000);
  EXPECT_EQ(drain.bytes, c.couldTake ? c.watched.replyLength : 0u);
  EXPECT_EQ(drain.untilUs, c.couldTake ? 100000 + 100000 + kSlack : 0);
  // Taken for draining, the watch is over; otherwise it goes on.
  EXPECT_EQ(book.PassesOver(c.watched.unit, 150000), !c.couldTake);
  // After the hold nothing is drained any more.
  CLateAnswerBook later;
  later.OnTransactionEnd(c.watched, 1, true, 0, 60000, 100000);
  EXPECT_EQ(later.TakeAnswersTheRequestCouldTake(c.next, 100000 + 100000 + kSlack).bytes, 0u);
}

INSTANTIATE_TEST_SUITE_P(Requests, LateAnswerTake, ::testing::ValuesIn(kTakeCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The bytes at the front of a read made for a request with another reply start byte (ownStart)
// are a late answer that the book expects when they carry its start byte, and, as far as they
// go, its length and the bytes its request names; whose it is, and the units heard so, follow.
struct BeginningCase {
  const char* name;
  Bytes bytes;
  std::uint8_t ownStart;
  std::int64_t atUs;
  std::uint32_t deviceId;  // whose late answer the bytes begin, 0: none
};

class LateAnswerAtTheFront : public ::testing::TestWithParam<BeginningCase> {};

TEST_P(LateAnswerAtTheFront, IsKnownByItsStartByteLengthAndNamedBytes) {
  const BeginningCase& c = GetParam();
  CLateAnswerBook book;
  // Unit five's identification probe (reply start 0xB8, 21 bytes, naming no header) and a read of
  // unit six's, each given up on at 1 s after one silent send of 100 ms.
  LateAnswerRequest probe;
  probe.unit = kUnitFive;
  probe.deviceId = 5;
  probe.command = 0x99;
  probe.replyStart = 0xB8;
  probe.replyLength = 21;
  book.OnTransactionEnd(probe, 1, false, 900000, 100000, 1000000);
  book.OnTransactionEnd(ProcessorRead(kUnitSix, 6, 0x3E), 1, false, 900000, 100000, 1000000);
  const std::optional<LateAnswerMatch> late =
      book.MatchBeginning(c.bytes.data(), std::uint32_t(c.bytes.size()), c.ownStart, c.atUs);
  ASSERT_EQ(late.has_value(), c.deviceId != 0);
  EXPECT_EQ(book.IsExpecting(c.atUs), c.atUs < 1000000 + 100000 + 100000 + kSlack);
  if (!late) return;
  EXPECT_EQ(late->deviceId, c.deviceId);
  EXPECT_EQ(late->length, c.deviceId == 5 ? 21u : 20u);
  book.Count(late->record, late->length, c.atUs);
  EXPECT_EQ(book.TakeUnitsHeard(), std::vector<std::uint64_t>{c.deviceId == 5 ? kUnitFive : kUnitSix});
  EXPECT_TRUE(book.TakeUnitsHeard().empty());
}

const BeginningCase kBeginningCases[] = {
    {"StartByteAlone", {0xB8}, 0xA8, 1100000, 5},
    {"StartByteAndLength", {0xB8, 0x00, 20, 0x10}, 0xA8, 1100000, 5},
    {"AnotherLength", {0xB8, 0x00, 30, 0x10}, 0xA8, 1100000, 0},
    {"TheReadsOwnStartByte", {0xB8, 0x00, 20}, 0xB8, 1100000, 0},
    {"AnAnswerThatTheReadMayTakeForItsOwn", {0xA8, 0x00, 19, 0x10, 6, 0x00, 0x3E}, 0xA8, 1100000, 0},
    {"UnitSixsAnswerInFrontOfAnAck", {0xA8, 0x00, 19, 0x10, 6, 0x00, 0x3E}, 0xA0, 1100000, 6},
    {"UnitSixsHeaderNamingAnotherCommand", {0xA8, 0x00, 19, 0x10, 6, 0x00, 0x3F}, 0xA0, 1100000, 0},
    {"TooLate", {0xB8, 0x00, 20}, 0xA8, 1000000 + 100000 + 100000 + kSlack, 0},
};

INSTANTIATE_TEST_SUITE_P(Cases, LateAnswerAtTheFront, ::testing::ValuesIn(kBeginningCases),
                         [](const auto& info) { return std::string(info.param.name); });

// What the log tells of a unit's late answers: the first at once, the others counted and told
// every five minutes while they go on, and when they end; the next one after that at once again.
TEST(LateAnswerTally, TellsAUnitsFirstLateAnswer_ThenHowManyMoreCame) {
  CLateAnswerTally tally;
  constexpr std::int64_t kEvery = CLateAnswerTally::kTellEveryUs;
  EXPECT_TRUE(tally.OnLateAnswer(kUnitFive, 5, 0));
  EXPECT_TRUE(tally.OnLateAnswer(kUnitSix, 6, 0));
  for (int i = 0; i < 170; ++i) EXPECT_FALSE(tally.OnLateAnswer(kUnitFive, 5, 1000 * i));
  EXPECT_FALSE(tally.OnLateAnswer(kUnitSix, 6, 1000));
  EXPECT_TRUE(tally.TakeDue(kEvery - 1).empty());
  const std::vector<CLateAnswerTally::Untold> due = tally.TakeDue(kEvery);
  ASSERT_EQ(due.size(), 2u);
  EXPECT_EQ(due[0].deviceId, 5u);
  EXPECT_EQ(due[0].count, 170u);
  EXPECT_EQ(due[1].count, 1u);
  // Told: the next five minutes count afresh.
  EXPECT_TRUE(tally.TakeDue(2 * kEvery - 1).empty());
  EXPECT_FALSE(tally.OnLateAnswer(kUnitFive, 5, kEvery + 1));
  // Unit five answers in time: its one more is told, and its next late answer is told at once.
  const std::optional<CLateAnswerTally::Untold> ended = tally.TakeEnded(kUnitFive);
  ASSERT_TRUE(ended.has_value());
  EXPECT_EQ(ended->count, 1u);
  EXPECT_FALSE(tally.TakeEnded(kUnitFive).has_value());
  EXPECT_TRUE(tally.OnLateAnswer(kUnitFive, 5, kEvery + 2));
  // Unit six's late answers end with nothing untold since the last count: nothing to tell.
  EXPECT_FALSE(tally.TakeEnded(kUnitSix).has_value());
  EXPECT_FALSE(tally.OnLateAnswer(kUnitFive, 5, kEvery + 3));
  const std::vector<CLateAnswerTally::Untold> all = tally.TakeAll();
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0].unit, kUnitFive);
  EXPECT_EQ(all[0].count, 1u);
  EXPECT_TRUE(tally.OnLateAnswer(kUnitFive, 5, kEvery + 4));
}

namespace {

// A Zel amplifier's status reads, 12 bytes (read time-out 47 ms), whose answers come 300 ms after
// their send. Heard once so, after a transaction of three sends, its answers to a later one given up
// after one send (a unit counting down) are known as late as they come, after the transaction's
// ended and a read time-out more: a frame of it read during another unit's read is its late
// answer. Not heard late before, they are known only until then (a read time-out and the slack
// after the end), and a frame coming later is another's.
struct KnownLateCase {
  const char* name;
  bool heardLateBefore;
  std::int64_t atUs;
  bool known;
};

const KnownLateCase kKnownLateCases[] = {
    {"HeardLateBefore_AsLateAgain", true, 1000000 + 300000, true},
    {"HeardLateBefore_LaterStill", true, 1047000 + 300000 + kSlack, false},
    {"NeverHeardLate_AsLate", false, 1000000 + 300000, false},
    {"NeverHeardLate_WithinAReadTimeOut", false, 1047000 + 47000 + kSlack - 1, true},
};

class KnownLate : public ::testing::TestWithParam<KnownLateCase> {};

}  // namespace

TEST_P(KnownLate, AUnitHeardAnsweringLateIsKnownAsLateAgain) {
  const KnownLateCase& c = GetParam();
  CLateAnswerBook book;
  const Bytes answer = Reply({55, 0, 0, 0, 5, 0x00, 0x3F}, 12);
  if (c.heardLateBefore) {
    book.OnTransactionEnd(ZelRead(kZelUnit, 5, 0x3F, 12), 3, false, 0, 47000, 150000);
    const std::optional<LateAnswerMatch> late = book.Match(answer.data(), 12, 300000);
    ASSERT_TRUE(late.has_value());
    book.Count(late->record, 12, 300000);
    EXPECT_EQ(book.LatenessOf(kZelUnit), 300000);
    EXPECT_EQ(book.ShortestLatenessOf(kZelUnit), 300000);
    EXPECT_EQ(book.TakeAnswersHeard(), (std::vector<LateAnswerHeard>{{kZelUnit, 0x3F, 0}}));
  }
  book.OnTransactionEnd(ZelRead(kZelUnit, 5, 0x3F, 12), 1, false, 1000000, 47000, 1047000);
  EXPECT_EQ(book.Match(answer.data(), 12, c.atUs).has_value(), c.known);
}

INSTANTIATE_TEST_SUITE_P(Answers, KnownLate, ::testing::ValuesIn(kKnownLateCases),
                         [](const auto& info) { return std::string(info.param.name); });

namespace {

// Two watches of answers a request drains (it names no bytes: it could take either): whose are
// heard among the bytes that came.
struct DrainHeardCase {
  const char* name;
  bool writes;      // the watches are of writes' ACKs
  bool namedBytes;  // the reads name their unit and command
  bool sixToo;      // unit six has a watch too
  Bytes bytes;
  std::vector<std::uint64_t> heard;
};

const DrainHeardCase kDrainHeardCases[] = {
    {"ItsOwnAnswer", false, true, true, ProcessorReply(0x10, 6, 0x3E), {kUnitSix}},
    {"BothAnswers", false, true, true, [] {
       Bytes b = ProcessorReply(0x10, 5, 0x3E);
       const Bytes six = ProcessorReply(0x10, 6, 0x3E);
       b.insert(b.end(), six.begin(), six.end());
       return b;
     }(), {kUnitFive, kUnitSix}},
    {"AnAnswerEitherUnitCouldHaveSent", false, false, true, ProcessorReply(0x10, 6, 0x3E), {}},
    {"AnAnswerOfTheOnlyUnitDrained", false, false, false, ProcessorReply(0x10, 6, 0x3E), {kUnitFive}},
    {"JunkOnly", false, true, true, {0x01, 0x02, 0x03, 0x04, 0x05}, {}},
    {"NothingCame", false, true, true, {}, {}},
    {"AnAckOfTheOnlyWriter", true, false, false, {0xA0}, {kUnitFive}},
    {"AnAckEitherWriterCouldHaveSent", true, false, true, {0xA0}, {}},
};

class DrainHeard : public ::testing::TestWithParam<DrainHeardCase> {};

}  // namespace

TEST_P(DrainHeard, OnlyTheUnitsWhoseAnswersCameAreHeard) {
  const DrainHeardCase& c = GetParam();
  CLateAnswerBook book;
  auto watched = [&](std::uint64_t unit, std::uint8_t id) {
    if (c.writes) return Write(unit);
    LateAnswerRequest r = ProcessorRead(unit, id, 0x3E);
    if (!c.namedBytes) r.echoMask = 0;
    return r;
  };
  book.OnTransactionEnd(watched(kUnitFive, 5), 1, true, 0, 60000, 100000);
  if (c.sixToo) book.OnTransactionEnd(watched(kUnitSix, 6), 1, true, 0, 60000, 100000);
  LateAnswerRequest next = c.writes ? Write(kZelUnit) : ProcessorRead(kZelUnit, 9, 0x3E);
  next.echoMask = 0;
  const CLateAnswerBook::Drain drain = book.TakeAnswersTheRequestCouldTake(next, 110000);
  ASSERT_EQ(drain.units.size(), c.sixToo ? 2u : 1u);
  book.NoteHeardIn(drain, c.bytes.data(), std::uint32_t(c.bytes.size()), 120000);
  EXPECT_EQ(book.TakeUnitsHeard(), c.heard);
}

INSTANTIATE_TEST_SUITE_P(Bytes, DrainHeard, ::testing::ValuesIn(kDrainHeardCases),
                         [](const auto& info) { return std::string(info.param.name); });
