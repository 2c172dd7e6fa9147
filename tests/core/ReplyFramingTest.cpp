// The reply framing on its own: requests as the late-answer book describes them, the bytes a
// read brought as arrays, times in microseconds; no port and no bus.
#include <gtest/gtest.h>

#include <vector>

#include "core/comms/ReplyFraming.h"
#include "core/protocol/SevenBit.h"

using Bytes = std::vector<std::uint8_t>;

// The suite is built with others in one unit: its helpers keep to a namespace of their own.
namespace reply_framing {
namespace {

constexpr std::uint64_t kUnitFive = 0x5005;  // device handles
constexpr std::uint64_t kUnitSix = 0x6006;
constexpr std::int64_t kNow = 1000000;

// A processor-layout read of the command from the unit, its reply of the length repeating the ID
// (byte 4) and the command (byte 6), or naming nothing (echo false).
LateAnswerRequest Read(std::uint64_t unit, std::uint8_t id, std::uint8_t command, std::uint32_t length = 20,
                       bool echo = true) {
  LateAnswerRequest r;
  r.unit = unit;
  r.deviceId = id;
  r.command = command;
  r.replyLength = length;
  if (!echo) return r;
  r.echoMask = (1u << 4) | (1u << 6);
  r.echoed[4] = std::uint8_t(id & 0x7F);
  r.echoed[6] = command;
  return r;
}

LateAnswerRequest Write(std::uint64_t unit, std::uint8_t id) {
  LateAnswerRequest r = Read(unit, id, 0x18, 1, false);
  r.write = true;
  return r;
}

// A whole frame of the length from the start byte: type, ID, 0, command, then filler.
Bytes Frame(std::uint8_t id, std::uint8_t command, std::size_t length = 20, std::uint8_t start = 0xA8,
            std::uint8_t type = 0x10) {
  Bytes frame(length, 0x11);
  frame[0] = start;
  Put14Bit(frame.data() + 1, std::uint32_t(length - 1));
  const Bytes header{type, id, 0x00, command};
  std::copy(header.begin(), header.end(), frame.begin() + 3);
  frame.back() = Checksum7Bit(frame.data(), length - 1);
  return frame;
}

Bytes Joined(const Bytes& a, const Bytes& b) {
  Bytes joined = a;
  joined.insert(joined.end(), b.begin(), b.end());
  return joined;
}

// The framing of one transaction of the request (8 bytes sent) over a book of its own.
class ReplyFramingTest : public ::testing::Test {
 protected:
  void Begin(const LateAnswerRequest& request, std::uint32_t sent = 8, std::uint32_t echoOffset = 0) {
    framing.Begin(request, sent, echoOffset);
  }
  // Unit six answered its read of the command only after a resend: one answer is still due.
  void UnitSixOwesAnAnswer(std::uint8_t command = 0x3E, std::uint32_t length = 20) {
    book.OnTransactionEnd(Read(kUnitSix, 6, command, length), 1, true, kNow - 100000, 60000, kNow);
  }
  CReplyFraming::LateAtFront Front(const Bytes& bytes, std::uint32_t expected = 20) {
    return framing.LateAnswerAtFront(bytes.data(), std::uint32_t(bytes.size()), expected, kNow);
  }
  CReplyFraming::EOwner Owner(const Bytes& reply, std::optional<LateAnswerMatch>* late = nullptr) {
    std::optional<LateAnswerMatch> ignored;
    return framing.Owner(reply.data(), std::uint32_t(reply.size()), kNow, late ? late : &ignored);
  }

  CLateAnswerBook book;
  CReplyFraming framing{book};
};

using EReadPhase = CReplyFraming::EReadPhase;
using EOwner = CReplyFraming::EOwner;
using EKind = CReplyFraming::LateAtFront::EKind;

// What a finished read holds, for a read of 20 bytes and for a write's ACK.
struct PhaseCase {
  const char* name;
  bool write;
  Bytes bytes;
  std::uint32_t expected;
  std::uint32_t heldBefore;
  EReadPhase phase;
};

const PhaseCase kPhaseCases[] = {
    {"AckByte", true, {0xA0}, 1, 0, EReadPhase::kAck},
    {"AnyByteForAnAck", true, {0x55}, 1, 0, EReadPhase::kAck},
    {"WholeReply", false, Frame(5, 0x3E), 20, 0, EReadPhase::kWholeReply},
    {"AsManyBytesNotFromTheStartByte", false, Bytes(20, 0x33), 20, 0, EReadPhase::kWholeJunk},
    {"Nothing", false, {}, 20, 0, EReadPhase::kNothing},
    {"MoreOfAReplyBegunBefore", false, {0xA8, 0x00, 0x13, 0x10, 0x05}, 20, 3, EReadPhase::kMoreOfReply},
    {"ABeginning", false, {0xA8, 0x00, 0x13}, 20, 0, EReadPhase::kBeginning},
    {"FewerBytesNotFromTheStartByte", false, {0x11, 0xA8}, 20, 0, EReadPhase::kJunk},
};

class ReadPhases : public ReplyFramingTest, public ::testing::WithParamInterface<PhaseCase> {};

}  // namespace

TEST_P(ReadPhases, FollowWhatTheReadHolds) {
  const PhaseCase& c = GetParam();
  Begin(c.write ? Write(kUnitFive, 5) : Read(kUnitFive, 5, 0x3E));
  EXPECT_EQ(framing.AnswerStart(), c.write ? 0xA0 : 0xA8);
  EXPECT_EQ(framing.Classify(c.bytes.data(), std::uint32_t(c.bytes.size()), c.expected, c.heldBefore), c.phase);
}

INSTANTIATE_TEST_SUITE_P(Reads, ReadPhases, ::testing::ValuesIn(kPhaseCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReplyFramingTest, AReplyLongerThanAskedForIsReadToItsLengthWhileTheLineCarriesIt) {
  Begin(Read(kUnitFive, 5, 0x3E));
  const Bytes longer = Frame(5, 0x3E, 30);
  EXPECT_EQ(framing.LongerReplyLength(longer.data(), 20), 30u);
  // Exactly what was asked for, a length byte at or above 0x80, more than the buffer holds.
  const Bytes own = Frame(5, 0x3E);
  EXPECT_EQ(framing.LongerReplyLength(own.data(), 20), 0u);
  const Bytes marked{0xA8, 0x80, 0x20};
  EXPECT_EQ(framing.LongerReplyLength(marked.data(), 20), 0u);
  const Bytes huge{0xA8, 0x08, 0x00};  // 1025 bytes in all
  EXPECT_EQ(framing.LongerReplyLength(huge.data(), 20), 0u);
  const Bytes wholeBuffer{0xA8, 0x07, 0x7F};
  EXPECT_EQ(framing.LongerReplyLength(wholeBuffer.data(), 20), 1024u);

  // Its rest: still coming while bytes come short of the length, whole, or cut when the line
  // goes quiet short of it.
  framing.BeginLongerRest();
  EXPECT_TRUE(framing.ReadsRest());
  EXPECT_EQ(framing.OnRestRead(longer.data(), 25, 30, 5), CReplyFraming::ERestRead::kStillComing);
  EXPECT_TRUE(framing.ReadsRest());
  EXPECT_EQ(framing.OnRestRead(longer.data(), 30, 30, 5), CReplyFraming::ERestRead::kLongerReplyWhole);
  EXPECT_FALSE(framing.ReadsRest());
  framing.BeginLongerRest();
  EXPECT_EQ(framing.OnRestRead(longer.data(), 25, 30, 0), CReplyFraming::ERestRead::kLongerReplyCut);
  EXPECT_FALSE(framing.ReadsRest());
}

TEST_F(ReplyFramingTest, TheQuietThatEndsARestOrADrainIsAFewByteTimes_NeverLessThanTheAdapterHoldsBytes) {
  EXPECT_EQ(CReplyFraming::QuietGapMs(57600), 2u);
  EXPECT_EQ(CReplyFraming::QuietGapMs(0), 2u);
  EXPECT_EQ(CReplyFraming::QuietGapMs(9600), 5u);
  EXPECT_EQ(CReplyFraming::RestQuietMs(57600), 20u);
  EXPECT_EQ(CReplyFraming::RestQuietMs(1200), 34u);
}

namespace {

// The bytes a read of unit five's 20-byte reply to command 0x3E brought, unit six owing its
// answer to a read (of command 0x3E, or 0x3F, 12 bytes): whose the front is.
struct FrontCase {
  const char* name;
  std::uint8_t owedCommand;
  std::uint32_t owedLength;
  std::uint8_t owedStart;  // the start byte of the answer owed
  Bytes bytes;
  EKind kind;
  std::uint32_t length;
};

Bytes CutShort(Bytes frame) {
  frame.pop_back();
  return frame;
}

const FrontCase kFrontCases[] = {
    {"AShorterAnswerOwedInFrontOfTheReply", 0x3F, 12, 0xA8, Joined(Frame(6, 0x3F, 12), Bytes{0xA8, 0x00, 0x13, 0x10}),
     EKind::kWhole, 12},
    {"AShorterFrameNobodyOwes", 0x3F, 12, 0xA8, Joined(Frame(6, 0x40, 12), Bytes{0xA8, 0x00, 0x13, 0x10}),
     EKind::kNone, 0},
    {"AShorterOwedAnswerCutShort", 0x3F, 12, 0xA8, CutShort(Frame(6, 0x3F, 12)), EKind::kNone, 0},
    {"TheOwnReply", 0x3E, 20, 0xA8, Frame(5, 0x3E), EKind::kNone, 0},
    {"AnOwedAnswerWithAnotherStartByteBegun", 0x3E, 20, 0xB8, {0xB8, 0x00, 0x13, 0x10, 0x06}, EKind::kBegun, 20},
    {"AnOwedAnswerWithAnotherStartByteWhole", 0x3E, 20, 0xB8, Frame(6, 0x3E, 20, 0xB8), EKind::kWhole, 20},
};

class LateAnswerAtFront : public ReplyFramingTest, public ::testing::WithParamInterface<FrontCase> {};

}  // namespace

TEST_P(LateAnswerAtFront, IsDroppedWholeOrItsRestReadOnlyWhenTheBookOwesIt) {
  const FrontCase& c = GetParam();
  LateAnswerRequest owed = Read(kUnitSix, 6, c.owedCommand, c.owedLength);
  owed.replyStart = c.owedStart;
  book.OnTransactionEnd(owed, 1, true, kNow - 100000, 60000, kNow);
  Begin(Read(kUnitFive, 5, 0x3E));
  const CReplyFraming::LateAtFront front = Front(c.bytes);
  ASSERT_EQ(front.kind, c.kind);
  if (c.kind == EKind::kNone) return;
  EXPECT_EQ(front.length, c.length);
  EXPECT_EQ(front.answer.deviceId, 6u);
  EXPECT_EQ(front.answer.command, c.owedCommand);
  if (c.kind == EKind::kBegun) {
    // The rest of it is read, and once whole it is dropped and the own reply, 20 bytes, read on.
    framing.BeginLateRest(front, 20);
    const Bytes answer = Frame(6, c.owedCommand, 20, 0xB8);
    EXPECT_EQ(framing.OnRestRead(answer.data(), 20, 20, 15), CReplyFraming::ERestRead::kLateAnswerWhole);
    EXPECT_EQ(framing.LateRest().deviceId, 6u);
    EXPECT_EQ(framing.ReplyLengthAfterLateRest(), 20u);
    framing.BeginLateRest(front, 20);
    Bytes junk = answer;
    junk[10] ^= 0x01;
    EXPECT_EQ(framing.OnRestRead(junk.data(), 20, 20, 15), CReplyFraming::ERestRead::kNotTheLateAnswer);
  }
  // Counted, it is owed no more, and its unit is heard.
  framing.CountDropped(front.answer, front.length, kNow);
  EXPECT_EQ(book.BytesOwedBy(kUnitSix, kNow), 0u);
  EXPECT_EQ(book.TakeUnitsHeard(), std::vector<std::uint64_t>{kUnitSix});
}

INSTANTIATE_TEST_SUITE_P(Bytes, LateAnswerAtFront, ::testing::ValuesIn(kFrontCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReplyFramingTest, ATransactionDropsItsShareOfLateAnswers_AndNoneWithTheGuardOff) {
  const Bytes owed = Frame(6, 0x3F, 12);
  const Bytes bytes = Joined(owed, {0xA8, 0x00, 0x13});
  for (int i = 0; i < 6; ++i) UnitSixOwesAnAnswer(0x3F, 12);
  Begin(Read(kUnitFive, 5, 0x3E));
  for (std::uint32_t i = 0; i < CReplyFraming::kMaxLateAnswersDropped; ++i) {
    const CReplyFraming::LateAtFront front = Front(bytes);
    ASSERT_EQ(front.kind, EKind::kWhole) << i;
    framing.CountDropped(front.answer, front.length, kNow);
  }
  EXPECT_EQ(Front(bytes).kind, EKind::kNone);
  // The next transaction has its own share.
  Begin(Read(kUnitFive, 5, 0x3E));
  EXPECT_EQ(Front(bytes).kind, EKind::kWhole);
  framing.SetGuard(false);
  EXPECT_FALSE(framing.Guards());
  EXPECT_EQ(Front(bytes).kind, EKind::kNone);
}

TEST_F(ReplyFramingTest, AUnitIsHeldToRepeatingTheHeaderOnceAReplyOfItsHas) {
  Begin(Read(kUnitFive, 5, 0x3E));
  // Not yet known to repeat it: a reply naming another unit is taken.
  EXPECT_EQ(Owner(Frame(7, 0x3E)), EOwner::kThisRequest);
  EXPECT_FALSE(book.RepeatsHeader(kUnitFive));
  EXPECT_EQ(Owner(Frame(5, 0x3E)), EOwner::kThisRequest);
  EXPECT_TRUE(book.RepeatsHeader(kUnitFive));
  EXPECT_EQ(Owner(Frame(7, 0x3E)), EOwner::kAnotherRequest);
  EXPECT_EQ(Owner(Frame(5, 0x3F)), EOwner::kAnotherRequest);
  // Unit six's late answer is that answer, named for it.
  UnitSixOwesAnAnswer();
  std::optional<LateAnswerMatch> late;
  EXPECT_EQ(Owner(Frame(6, 0x3E), &late), EOwner::kLateAnswer);
  ASSERT_TRUE(late.has_value());
  EXPECT_EQ(late->deviceId, 6u);
  // A request that names no bytes takes any whole reply.
  Begin(Read(kUnitFive, 5, 0x3E, 20, false));
  EXPECT_EQ(Owner(Frame(7, 0x3E)), EOwner::kThisRequest);
  // Nor does a reply repeat a byte the request did not send.
  Begin(Read(kUnitFive, 5, 0x3E), 6);
  EXPECT_EQ(Owner(Frame(5, 0x3E)), EOwner::kAnotherRequest);
}

namespace {

// Unit five's names read asks for 144 bytes; a whole 96-byte frame comes first.
struct ShorterCase {
  const char* name;
  Bytes frame;
  bool echo;
  bool endsOnIt;
};

Bytes WithBadSum(Bytes frame) {
  frame.back() ^= 0x01;
  return frame;
}

const ShorterCase kShorterCases[] = {
    {"RepeatsTheRequest", Frame(5, 0x33, 96, 0xA8, 0x72), true, true},
    {"NamesAnotherUnit", Frame(6, 0x33, 96, 0xA8, 0x72), true, false},
    {"NamesAnotherCommand", Frame(5, 0x34, 96, 0xA8, 0x72), true, false},
    {"BadChecksum", WithBadSum(Frame(5, 0x33, 96, 0xA8, 0x72)), true, false},
    {"RequestNamesNothing", Frame(5, 0x33, 96, 0xA8, 0x72), false, false},
};

class ShorterFrame : public ReplyFramingTest, public ::testing::WithParamInterface<ShorterCase> {};

}  // namespace

TEST_P(ShorterFrame, EndsTheTransactionOnlyWhenItRepeatsTheRequest) {
  const ShorterCase& c = GetParam();
  Begin(Read(kUnitFive, 5, 0x33, 144, c.echo));
  const Bytes bytes = Joined(c.frame, {0x20, 0x20});
  EXPECT_EQ(framing.TakeShorterReply(bytes.data(), std::uint32_t(bytes.size()), 144), c.endsOnIt ? 96u : 0u);
  EXPECT_EQ(framing.EndedOnShorterReply(), c.endsOnIt);
  framing.OnSend();
  EXPECT_FALSE(framing.EndedOnShorterReply());
}

INSTANTIATE_TEST_SUITE_P(Frames, ShorterFrame, ::testing::ValuesIn(kShorterCases),
                         [](const auto& info) { return std::string(info.param.name); });

namespace {

// The processors' identification request to ID 1, B0 01: its reply, B8 00 14, the model, the ID,
// repeats the request's byte 1 in byte 4 (the echo mask in reply positions: byte 4), and names
// its unit there whatever the unit.
LateAnswerRequest Identification(std::uint64_t unit, std::uint8_t id) {
  LateAnswerRequest r;
  r.unit = unit;
  r.deviceId = id;
  r.command = 0xB0;
  r.replyStart = 0xB8;
  r.replyLength = 21;
  r.echoMask = 1u << 4;
  r.echoed[4] = id;
  r.echoNamesUnit = true;
  return r;
}

struct IdentityReplyCase {
  const char* name;
  std::uint8_t id;   // the ID the reply names
  bool owed;         // unit 6 (at ID 7) owes its identification, not yet come
  EOwner owner;
  CControlMessage::EReplyEcho echo;
};

const IdentityReplyCase kIdentityReplyCases[] = {
    {"ItsOwn", 1, false, EOwner::kThisRequest, CControlMessage::EReplyEcho::kRepeated},
    {"AnotherUnitsNobodyOwes", 7, false, EOwner::kAnotherRequest, CControlMessage::EReplyEcho::kOther},
    {"AnotherUnitsOwed", 7, true, EOwner::kLateAnswer, CControlMessage::EReplyEcho::kOther},
    {"NamingNobody", 0, false, EOwner::kThisRequest, CControlMessage::EReplyEcho::kEmpty},
};

class IdentityReply : public ReplyFramingTest, public ::testing::WithParamInterface<IdentityReplyCase> {};

}  // namespace

TEST_P(IdentityReply, IsTakenOnlyWhenItNamesTheUnitAsked_OrNobody) {
  const IdentityReplyCase& c = GetParam();
  if (c.owed) book.OnTransactionEnd(Identification(kUnitSix, 7), 1, false, kNow - 100000, 60000, kNow);
  Begin(Identification(kUnitFive, 1), 2, 3);
  const Bytes reply = Frame(c.id, 0x20, 21, 0xB8, 0x78);
  EXPECT_EQ(framing.EchoOf(reply.data(), 21), c.echo);
  std::optional<LateAnswerMatch> late;
  EXPECT_EQ(Owner(reply, &late), c.owner);
  if (c.owed) {
    ASSERT_TRUE(late.has_value());
    EXPECT_EQ(late->unit, kUnitSix);
  }
  // Nothing is learnt of the unit's other replies from it.
  EXPECT_FALSE(book.RepeatsHeader(kUnitFive));
}

INSTANTIATE_TEST_SUITE_P(Replies, IdentityReply, ::testing::ValuesIn(kIdentityReplyCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace reply_framing
