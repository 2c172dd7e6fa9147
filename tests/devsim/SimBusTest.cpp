// The simulated bus: framing of requests, units' answers, collisions, faults and pacing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/protocol/SevenBit.h"
#include "platform/SerialPortMemory.h"
#include "tools/devsim/SimBus.h"
#include "tools/devsim/SimDiscoveryUnit.h"
#include "tools/devsim/SimOptions.h"
#include "tools/devsim/SimProcessor.h"
#include "tools/devsim/SimZelAmp.h"

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

namespace {

struct BusRig {
  std::shared_ptr<CSerialLine> line = std::make_shared<CSerialLine>();
  CSimBus bus{std::make_unique<CLineWire>(line)};
  CMemorySerialPort port{line};

  BusRig() { EXPECT_TRUE(port.Open("sim", 57600)); }
  ~BusRig() { bus.Stop(); }

  // The request, and the answer of that length, read as soon as it is all there (however slowly
  // the bus runs); an answer expected to be empty is read once the bus has handled the request.
  Bytes Exchange(const Bytes& request, std::uint32_t answerLength) {
    std::uint32_t n = 0;
    const std::size_t handled = bus.RequestCount();
    EXPECT_TRUE(port.Write(request.data(), std::uint32_t(request.size()), &n));
    if (answerLength == 0) {
      EXPECT_TRUE(bus.WaitForRequests(handled + 1, 10000));
      return ReadWhatCame();
    }
    return Read(answerLength);
  }
  Bytes Read(std::uint32_t length) {
    SerialTimeouts t;
    t.readTotalConstant = 10000;
    port.SetTimeouts(t);
    Bytes answer(length);
    std::uint32_t n = 0;
    EXPECT_TRUE(port.Read(answer.data(), length, &n));
    answer.resize(n);
    return answer;
  }
  // What has come so far, without waiting.
  Bytes ReadWhatCame() {
    SerialTimeouts t;
    t.readInterval = 0xFFFFFFFFu;
    port.SetTimeouts(t);
    Bytes answer(1100);
    std::uint32_t n = 0;
    EXPECT_TRUE(port.Read(answer.data(), std::uint32_t(answer.size()), &n));
    answer.resize(n);
    return answer;
  }
};

bool ParseSimOptionsFor(const std::string& line) {
  SimOptions options;
  return ParseSimOptions(SplitSimOptions(line), options);
}

Bytes Framed(Bytes head) {
  Put14Bit(head.data() + 1, std::uint32_t(head.size()));
  head.push_back(Checksum7Bit(head.data(), head.size()));
  return head;
}

// A read of a Zel unit at its short ID: F0, the length, type, ID groups, 0, command, sum.
Bytes ZelRead(std::uint8_t type, std::uint8_t id, std::uint8_t command) {
  Bytes frame{0xF0, 0, 0, type, 0, 0, 0, id, 0, command, 0};
  Put14Bit(frame.data() + 1, std::uint32_t(frame.size() - 1));
  std::uint32_t sum = frame[0];
  for (std::size_t i = 2; i + 1 < frame.size(); ++i) sum += frame[i];
  frame.back() = std::uint8_t(sum & 0x7F);
  return frame;
}

// A unit that answers a two-byte E0 probe of its short ID, a frame no unit can measure.
class CProbeUnit : public CSimUnit {
 public:
  explicit CProbeUnit(std::uint8_t id, Bytes answer) : m_id(id), m_answer(std::move(answer)) {}
  SimAnswer Handle(const SimBytes& request) override {
    if (request.size() == 2 && request[0] == 0xE0 && request[1] == m_id) {
      return SimAnswer::Bytes(m_answer);
    }
    return SimAnswer::Silence();
  }

 private:
  std::uint8_t m_id;
  Bytes m_answer;
};

}  // namespace

TEST(SimBus, FramedUnitAcknowledgesWritesAndAnswersReadsAtItsId) {
  BusRig rig;
  auto* unit = rig.bus.Add<CFramedUnit>(std::uint8_t(9));
  unit->SetReply(0x3E, {0x01, 0x02});
  rig.bus.Start();
  EXPECT_EQ(rig.Exchange(Framed({0xF1, 0, 0, 0x10, 9, 0, 0x18, 0x05}), 1), Bytes{0xA0});
  EXPECT_EQ(rig.Exchange(Framed({0xF0, 0, 0, 0x10, 9, 0, 0x3E}), 6),
            (Bytes{0xA8, 0x00, 0x05, 0x01, 0x02, 0x30}));
  // Another ID, or a command without a reply: silence.
  EXPECT_EQ(rig.Exchange(Framed({0xF0, 0, 0, 0x10, 8, 0, 0x3E}), 0), Bytes{});
  EXPECT_EQ(rig.Exchange(Framed({0xF0, 0, 0, 0x10, 9, 0, 0x3F}), 0), Bytes{});
  ASSERT_EQ(unit->Writes().size(), 1u);
  EXPECT_EQ(rig.bus.RequestCount(), 4u);
}

TEST(SimBus, RequestOfUnknownLengthEndsWhenTheLineGoesQuiet) {
  BusRig rig;
  rig.bus.Add<CProbeUnit>(std::uint8_t(5), Bytes{0xE8, 0x00, 0x09});
  rig.bus.Start();
  EXPECT_EQ(rig.Exchange({0xE0, 0x05}, 3), (Bytes{0xE8, 0x00, 0x09}));
  EXPECT_EQ(rig.bus.Requests().back(), (Bytes{0xE0, 0x05}));
}

TEST(SimBus, ProcessorIdentificationAndLongIdProbeShareB0_EachUnitAnswersItsOwn) {
  BusRig rig;
  // A unit found by the autoscan at short ID 2 and by long ID, beside a processor at ID 1.
  SimDiscoveryConfig scan;
  scan.typeCode = 52;
  scan.shortId = 2;
  scan.longId = 0x01020304;
  rig.bus.Add<CSimDiscoveryUnit>(scan);
  rig.bus.Add<CSimProcessorUnit>(120, std::uint8_t(1));
  rig.bus.Start();

  // The processor's two-byte request is not taken for the start of a five-byte probe.
  const Bytes ident = rig.Exchange({0xB0, 0x01}, 21);
  ASSERT_EQ(ident.size(), 21u);
  EXPECT_EQ((Bytes{ident[0], ident[1], ident[2]}), (Bytes{0xB8, 0x00, 0x14}));
  EXPECT_EQ(rig.bus.Requests().back(), (Bytes{0xB0, 0x01}));
  // The long-ID probe of level B0 still reaches the scan unit whole.
  const Bytes found = rig.Exchange({0xB0, 0x01, 0x02, 0x03, 0x04}, 24);
  ASSERT_EQ(found.size(), 24u);
  EXPECT_EQ((Bytes{found[0], found[3], found[4], found[5], found[6]}), (Bytes{0xB8, 0x01, 0x02, 0x03, 0x04}));
  EXPECT_EQ(rig.bus.Requests().back(), (Bytes{0xB0, 0x01, 0x02, 0x03, 0x04}));
}

TEST(SimBus, SeveralAnswersAtOnceCollideIntoGarbage) {
  BusRig rig;
  rig.bus.Add<CProbeUnit>(std::uint8_t(5), Bytes{0x01, 0x10});
  rig.bus.Add<CProbeUnit>(std::uint8_t(5), Bytes{0x02, 0x20, 0x40});
  rig.bus.Start();
  EXPECT_EQ(rig.Exchange({0xE0, 0x05}, 3), (Bytes{0x03, 0x30, 0x40}));
}

// Two requests that reach the bus at once, the first one unanswered (as a broadcast is, with the
// next request sent right behind it): the silence that answers the first does not end the read
// of the second, whose answer comes however long the unit takes.
TEST(SimBus, SilenceForARequestDoesNotEndTheReadOfTheRequestRightBehindIt) {
  BusRig rig;
  auto* unit = rig.bus.Add<CFramedUnit>(std::uint8_t(9));
  unit->SetReply(0x3E, {0x01, 0x02});
  rig.bus.SetSilenceEndsReads(true);
  rig.bus.InjectFault(SimFault{});
  rig.bus.InjectFault(SimFault::Late(200));
  rig.bus.Start();
  Bytes both = Framed({0xF0, 0, 0, 0x10, 8, 0, 0x3E});
  const Bytes second = Framed({0xF0, 0, 0, 0x10, 9, 0, 0x3E});
  both.insert(both.end(), second.begin(), second.end());
  std::uint32_t n = 0;
  ASSERT_TRUE(rig.port.Write(both.data(), std::uint32_t(both.size()), &n));
  EXPECT_EQ(rig.Read(6), (Bytes{0xA8, 0x00, 0x05, 0x01, 0x02, 0x30}));
  EXPECT_EQ(rig.bus.RequestCount(), 2u);
  // A silence for the last request taken ends its read as before.
  EXPECT_EQ(rig.Exchange(Framed({0xF0, 0, 0, 0x10, 8, 0, 0x3E}), 0), Bytes{});
  EXPECT_EQ(rig.Read(6), Bytes{});
}

TEST(SimBus, FaultsApplyToOneTransactionEachInOrder) {
  BusRig rig;
  auto* unit = rig.bus.Add<CFramedUnit>(std::uint8_t(9));
  unit->SetReply(0x3E, {0x01, 0x02});
  rig.bus.InjectFault(SimFault::BadChecksum());
  rig.bus.InjectFault(SimFault::WrongLength(2));
  rig.bus.InjectFault(SimFault::Junk({0x11}));
  rig.bus.Start();
  const Bytes read = Framed({0xF0, 0, 0, 0x10, 9, 0, 0x3E});
  EXPECT_EQ(rig.Exchange(read, 6), (Bytes{0xA8, 0x00, 0x05, 0x01, 0x02, 0x31}));
  EXPECT_EQ(rig.Exchange(read, 6), (Bytes{0xA8, 0x00, 0x07, 0x01, 0x02, 0x32}));
  EXPECT_EQ(rig.Exchange(read, 7), (Bytes{0x11, 0xA8, 0x00, 0x05, 0x01, 0x02, 0x30}));
  EXPECT_EQ(rig.bus.PendingFaults(), 0u);
  EXPECT_EQ(rig.Exchange(read, 6), (Bytes{0xA8, 0x00, 0x05, 0x01, 0x02, 0x30}));
}

TEST(SimBus, PacingAtTheBaudRateTimesTheReply) {
  BusRig rig;
  auto* unit = rig.bus.Add<CFramedUnit>(std::uint8_t(9));
  unit->SetReplyLength(0x3E, 48);
  rig.bus.SetPacing(9600);  // 1.04 ms a byte each way
  rig.bus.Start();
  const auto start = Clock::now();
  EXPECT_EQ(rig.Exchange(Framed({0xF0, 0, 0, 0x10, 9, 0, 0x3E}), 48).size(), 48u);
  // 8 request bytes and 48 reply bytes: 58.3 ms on the wire.
  EXPECT_GE(Clock::now() - start, std::chrono::microseconds(58300));
  EXPECT_EQ(rig.line->BytesToPort(), 48u);
}

// An answer held back while the bus answers the next requests: until a time, until the test
// releases it, or until a later request comes, just ahead of that one's answer.
TEST(SimBus, HeldAnswerLeavesLaterWhileTheNextRequestIsAnsweredAtOnce) {
  const Bytes toEight = Framed({0xF0, 0, 0, 0x10, 8, 0, 0x3E}), toNine = Framed({0xF0, 0, 0, 0x10, 9, 0, 0x3E});
  const Bytes fromEight{0xA8, 0x00, 0x04, 0x08, 0x34}, fromNine{0xA8, 0x00, 0x04, 0x09, 0x35};
  for (const SimFault& held : {SimFault::Held(20), SimFault::HeldUntil(0)}) {
    BusRig rig;
    rig.bus.Add<CFramedUnit>(std::uint8_t(8))->SetReply(0x3E, {0x08});
    rig.bus.Add<CFramedUnit>(std::uint8_t(9))->SetReply(0x3E, {0x09});
    rig.bus.InjectFault(held);
    rig.bus.Start();
    EXPECT_EQ(rig.Exchange(toEight, 0), Bytes{});
    if (held.heldUntilReleased) {
      // Unit 8's answer is held back: unit 9 is asked and answers first.
      EXPECT_EQ(rig.Exchange(toNine, 5), fromNine);
      EXPECT_EQ(rig.ReadWhatCame(), Bytes{});
      rig.bus.ReleaseHeldAnswers();
    }
    ASSERT_TRUE(rig.bus.WaitForHeldAnswers(5000));
    EXPECT_EQ(rig.Read(5), fromEight);
  }
  BusRig rig;
  rig.bus.Add<CFramedUnit>(std::uint8_t(8))->SetReply(0x3E, {0x08});
  rig.bus.Add<CFramedUnit>(std::uint8_t(9))->SetReply(0x3E, {0x09});
  rig.bus.InjectFault(SimFault::HeldUntil(2));
  rig.bus.Start();
  EXPECT_EQ(rig.Exchange(toEight, 0), Bytes{});
  EXPECT_EQ(rig.Exchange(toNine, 5), fromNine);
  EXPECT_EQ(rig.ReadWhatCame(), Bytes{});
  Bytes both = fromEight;
  both.insert(both.end(), fromNine.begin(), fromNine.end());
  EXPECT_EQ(rig.Exchange(toNine, 10), both);
  EXPECT_TRUE(rig.bus.WaitForHeldAnswers(0));
}

TEST(SimBus, ReplyCutUntilReleasedSendsItsRestOnlyThen) {
  BusRig rig;
  rig.bus.Add<CFramedUnit>(std::uint8_t(9))->SetReply(0x3E, {0x01, 0x02});
  rig.bus.InjectFault(SimFault::SplitUntilReleased(2));
  rig.bus.Start();
  EXPECT_EQ(rig.Exchange(Framed({0xF0, 0, 0, 0x10, 9, 0, 0x3E}), 2), (Bytes{0xA8, 0x00}));
  EXPECT_EQ(rig.ReadWhatCame(), Bytes{});
  rig.bus.ReleaseHeldAnswers();
  EXPECT_EQ(rig.Read(4), (Bytes{0x05, 0x01, 0x02, 0x30}));
}

TEST(SimBus, ShareOfAnswersNamingAnotherUnitOrComingLate) {
  BusRig rig;
  // A reply that repeats the request's header: unit 9 in byte 4, command 0x3E in byte 6.
  rig.bus.Add<CFramedUnit>(std::uint8_t(9))->SetReply(0x3E, {0x10, 0x09, 0x00, 0x3E});
  rig.bus.Start();
  const Bytes read = Framed({0xF0, 0, 0, 0x10, 9, 0, 0x3E});
  const Bytes answer = Framed({0xA8, 0, 0, 0x10, 0x09, 0x00, 0x3E});
  rig.bus.SetWrongAnswers(1.0);
  // Byte 4 names unit 1 instead of 9, and the frame is still whole.
  EXPECT_EQ(rig.Exchange(read, 8), Framed({0xA8, 0, 0, 0x10, 0x01, 0x00, 0x3E}));
  EXPECT_EQ(rig.bus.WrongAnswerCount(), 1u);
  rig.bus.SetWrongAnswers(0.0);
  rig.bus.SetLateAnswers(1.0, 20);
  EXPECT_EQ(rig.Exchange(read, 8), answer);
  EXPECT_EQ(rig.bus.LateAnswerCount(), 1u);
  rig.bus.SetLateAnswers(0.0, 0);
  EXPECT_EQ(rig.Exchange(read, 8), answer);
  EXPECT_EQ(rig.bus.LateAnswerCount(), 1u);
  EXPECT_EQ(rig.bus.WrongAnswerCount(), 1u);
}

// A share of the ACKs lost: the unit takes every write, and only the ACK is missing from the
// line; reads are answered as ever, and the same seed loses the ACKs of the same writes.
TEST(SimBus, AckLossDropsOnlyTheAckOfAWriteTheUnitHasTaken) {
  auto lostOf = [](double chance, std::uint32_t seed, std::vector<bool>* lost) {
    BusRig rig;
    auto* unit = rig.bus.Add<CFramedUnit>(std::uint8_t(9));
    unit->SetReply(0x3E, {0x01, 0x02});
    rig.bus.Start();
    rig.bus.SetAckLoss(chance, seed);
    for (std::uint8_t value = 0; value < 40; ++value) {
      const Bytes ack = rig.Exchange(Framed({0xF1, 0, 0, 0x10, 9, 0, 0x18, value}), 0);
      EXPECT_TRUE(ack == Bytes{} || ack == Bytes{0xA0}) << int(value);
      if (lost) lost->push_back(ack.empty());
      EXPECT_EQ(rig.Exchange(Framed({0xF0, 0, 0, 0x10, 9, 0, 0x3E}), 6), (Bytes{0xA8, 0x00, 0x05, 0x01, 0x02, 0x30}));
    }
    EXPECT_EQ(unit->Writes().size(), 40u);
    EXPECT_EQ(unit->Writes().back(), Framed({0xF1, 0, 0, 0x10, 9, 0, 0x18, 39}));
    return rig.bus.LostAckCount();
  };
  EXPECT_EQ(lostOf(1.0, 1, nullptr), 40u);
  EXPECT_EQ(lostOf(0.0, 1, nullptr), 0u);
  std::vector<bool> first, again, other;
  const std::size_t lost = lostOf(0.2, 7, &first);
  EXPECT_GT(lost, 0u);
  EXPECT_LT(lost, 40u);
  EXPECT_EQ(std::size_t(std::count(first.begin(), first.end(), true)), lost);
  lostOf(0.2, 7, &again);
  lostOf(0.2, 8, &other);
  EXPECT_EQ(first, again);
  EXPECT_NE(first, other);

  // The simulator's option: every ACK lost, with seed 3.
  SimOptions options;
  ASSERT_TRUE(ParseSimOptions(SplitSimOptions("--unit 9 --ack-loss 100:3"), options));
  EXPECT_EQ(options.ackLossSeed, 3u);
  BusRig rig;
  AddSimUnits(options, rig.bus);
  rig.bus.Start();
  EXPECT_EQ(rig.Exchange(Framed({0xF1, 0, 0, 0x10, 9, 0, 0x18, 0x05}), 0), Bytes{});
  EXPECT_EQ(rig.bus.LostAckCount(), 1u);
}

// Wrong answers of each kind, in each frame layout: the unit's own answer naming another unit
// that the bus was asked for (the next in the order first asked), or the command the unit last
// answered; still whole, well summed frames.
struct WrongCase {
  const char* name;
  SimWrong kind;
  bool zel;
};

class SimWrongAnswers : public ::testing::TestWithParam<WrongCase> {};

TEST_P(SimWrongAnswers, NameAnotherUnitOnTheBusOrAnotherCommandInTheUnitsOwnLayout) {
  const WrongCase& c = GetParam();
  BusRig rig;
  // Reads of commands 0x41 and 0x3D from units 101 and 102 (Zel) or 8 and 9 (processor layout),
  // and the reply each gives, which repeats the request's header.
  std::function<Bytes(int, std::uint8_t)> request;
  std::uint32_t replyLength = 0, otherLength = 0;  // of 0x41, of 0x3D
  if (c.zel) {
    for (std::uint32_t id : {101u, 102u}) {
      SimSecurityConfig config;
      config.typeCode = 55;
      config.deviceId = id;
      rig.bus.Add<CSimZelAmpUnit>(config);
    }
    request = [](int unit, std::uint8_t command) { return ZelRead(55, std::uint8_t(101 + unit), command); };
    replyLength = 24;
    otherLength = 13;
  } else {
    for (std::uint8_t id : {8, 9}) {
      CFramedUnit* unit = rig.bus.Add<CFramedUnit>(id);
      for (std::uint8_t command : {0x41, 0x3D}) unit->SetReply(command, {0x10, id, 0x00, command, 0x55});
    }
    request = [](int unit, std::uint8_t command) { return Framed({0xF0, 0, 0, 0x10, std::uint8_t(8 + unit), 0, command}); };
    replyLength = otherLength = 9;
  }
  const std::size_t idAt = 4, idEnd = c.zel ? 8 : 5, commandAt = c.zel ? 9 : 6;
  rig.bus.Start();
  const Bytes first = rig.Exchange(request(0, 0x41), replyLength);
  const Bytes second = rig.Exchange(request(1, 0x41), replyLength);
  ASSERT_EQ(second.size(), replyLength);
  rig.bus.SetWrongAnswers(1.0, 3, c.kind);
  const bool command = c.kind == SimWrong::kCommand;
  const std::uint32_t length = command ? otherLength : replyLength;
  const Bytes wrong = rig.Exchange(request(command ? 0 : 1, command ? 0x3D : 0x41), length);
  ASSERT_EQ(wrong.size(), length);
  EXPECT_EQ(Get14Bit(wrong.data() + 1) + 1, length);
  EXPECT_EQ(wrong.back(), Checksum7Bit(wrong.data(), length - 1));
  EXPECT_EQ(rig.bus.WrongAnswerCount(), 1u);
  switch (c.kind) {
    case SimWrong::kUnitNotOnTheBus:
      EXPECT_EQ(wrong[4], second[4] ^ 0x08);
      break;
    case SimWrong::kUnitOnTheBus:
      // Unit 102 (9) answers naming unit 101 (8), the other unit asked, with its own type byte.
      EXPECT_EQ(Bytes(wrong.begin() + idAt, wrong.begin() + idEnd), Bytes(first.begin() + idAt, first.begin() + idEnd));
      EXPECT_EQ(wrong[3], second[3]);
      EXPECT_EQ(wrong[commandAt], 0x41);
      break;
    case SimWrong::kCommand:
      // Unit 101 (8), asked for 0x3D, answers naming 0x41, the command it answered before.
      EXPECT_EQ(wrong[commandAt], 0x41);
      EXPECT_EQ(Bytes(wrong.begin() + idAt, wrong.begin() + idEnd), Bytes(first.begin() + idAt, first.begin() + idEnd));
      break;
  }
  rig.bus.SetWrongAnswers(0.0, 3, c.kind);
  EXPECT_EQ(rig.Exchange(request(1, 0x41), replyLength), second);
}

INSTANTIATE_TEST_SUITE_P(Kinds, SimWrongAnswers,
                         ::testing::Values(WrongCase{"ProcessorUnitNotOnTheBus", SimWrong::kUnitNotOnTheBus, false},
                                           WrongCase{"ProcessorUnitOnTheBus", SimWrong::kUnitOnTheBus, false},
                                           WrongCase{"ProcessorCommand", SimWrong::kCommand, false},
                                           WrongCase{"ZelUnitOnTheBus", SimWrong::kUnitOnTheBus, true},
                                           WrongCase{"ZelCommand", SimWrong::kCommand, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SimBus, SwitchedUnitFallsSilentAndComesBackAndCanAnswerLate) {
  BusRig rig;
  auto framed = std::make_unique<CFramedUnit>(std::uint8_t(9));
  framed->SetReply(0x3E, {0x01, 0x02});
  auto* unit = rig.bus.Add<CSimSwitchedUnit>(std::move(framed));
  rig.bus.Start();
  const Bytes read = Framed({0xF0, 0, 0, 0x10, 9, 0, 0x3E});
  const Bytes answer{0xA8, 0x00, 0x05, 0x01, 0x02, 0x30};
  unit->SetSilent(true);
  EXPECT_EQ(rig.Exchange(read, 0), Bytes{});
  unit->SetSilent(false);
  EXPECT_EQ(rig.Exchange(read, 6), answer);
  // Silent from now on for good; silent an hour from now only.
  unit->SetSilentPeriod(std::chrono::seconds(0), std::chrono::seconds(0));
  EXPECT_TRUE(unit->IsSilent());
  EXPECT_EQ(rig.Exchange(read, 0), Bytes{});
  unit->SetSilentPeriod(std::chrono::hours(1), std::chrono::seconds(5));
  EXPECT_FALSE(unit->IsSilent());
  unit->SetAnswerHeldMs(20);
  EXPECT_EQ(rig.Exchange(read, 6), answer);
  EXPECT_TRUE(rig.bus.WaitForHeldAnswers(5000));
}

TEST(SimOptions, LateAndSilentUnitsAreTheUnitsAtTheirIds) {
  EXPECT_FALSE(ParseSimOptionsFor("--processor 120:7 --late-unit 7"));
  EXPECT_FALSE(ParseSimOptionsFor("--processor 120:7 --late-unit 7:0"));
  EXPECT_FALSE(ParseSimOptionsFor("--processor 120:7 --silent-unit 7:1"));
  EXPECT_FALSE(ParseSimOptionsFor("--processor 120:7 --silent-unit 7:-1:2"));
  EXPECT_FALSE(ParseSimOptionsFor("--processor 120:7 --silent-unit 7:1:2x"));
  // A repeat comes after the silence has ended, at least once; a silence for good has none.
  EXPECT_FALSE(ParseSimOptionsFor("--processor 120:7 --silent-unit 7:1:2:2"));
  EXPECT_FALSE(ParseSimOptionsFor("--processor 120:7 --silent-unit 7:1:2:5:0"));
  EXPECT_FALSE(ParseSimOptionsFor("--processor 120:7 --silent-unit 7:1:0:5"));
  EXPECT_FALSE(ParseSimOptionsFor("--processor 120:7 --silent-unit 7:1:2:5:3:1"));
  EXPECT_FALSE(ParseSimOptionsFor("--processor 120:7 --ack-loss 101"));
  EXPECT_FALSE(ParseSimOptionsFor("--processor 120:7 --ack-loss 10:x"));
  SimOptions options;
  ASSERT_TRUE(ParseSimOptions(SplitSimOptions("--unit 5 --unit 6 --late-unit 5:40 --silent-unit 6:0:0"), options));
  EXPECT_EQ(options.lateUnits, (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{5, 40}}));
  ASSERT_EQ(options.silentUnits.size(), 1u);
  EXPECT_EQ(options.silentUnits[0].id, 6u);

  BusRig rig;
  EXPECT_EQ(AddSimUnits(options, rig.bus), 2u);
  rig.bus.Start();
  // Unit 5 answers its 20-byte read, late; unit 6 is silent from the start.
  EXPECT_EQ(rig.Exchange(Framed({0xF0, 0, 0, 0x10, 5, 0, 62}), 20).size(), 20u);
  EXPECT_TRUE(rig.bus.WaitForHeldAnswers(5000));
  EXPECT_EQ(rig.Exchange(Framed({0xF0, 0, 0, 0x10, 6, 0, 62}), 0), Bytes{});
}

// Silences and turns that repeat, as the unit tells at given times: a silence of 2 s every 5 s
// from 10 s on, three times; three units at one ID taking turns every 4 s from 6 s on, two changes
// of turn in all, and the same without end; and the once-only forms.
struct ScheduleCase {
  const char* name;
  const char* options;  // the silence or swap of the units at ID 7
  std::size_t units;    // processors at ID 7
  // For each unit, the seconds after the start at which it is off.
  std::vector<std::vector<double>> off;
  std::vector<std::vector<double>> on;
  friend void PrintTo(const ScheduleCase& c, std::ostream* os) { *os << c.options; }
};

const ScheduleCase kScheduleCases[] = {
    {"SilenceOnce", "--silent-unit 7:10:2", 1, {{10, 11.9}}, {{0, 9.9, 12.1, 15, 100}}},
    {"SilenceForGood", "--silent-unit 7:10:0", 1, {{10, 1000}}, {{0, 9.9}}},
    {"SilenceEveryFiveSecondsThreeTimes", "--silent-unit 7:10:2:5:3", 1, {{10, 11.9, 15, 20.5}},
     {{9.9, 12.1, 14.9, 17.5, 22.1, 25, 26, 100}}},
    {"SilenceEveryFiveSecondsWithoutEnd", "--silent-unit 7:10:2:5", 1, {{10, 25, 500, 1000.5}}, {{12.5, 503, 1004}}},
    {"SwapOnce", "--swap-unit 7:6", 2, {{6, 100}, {0, 5.9}}, {{0, 5.9}, {6, 100}}},
    {"TurnsEveryFourSecondsTwice", "--swap-unit 7:6:4:2", 3, {{6, 13, 100}, {0, 5.9, 10, 100}, {0, 9.9}},
     {{0, 5.9}, {6, 9.9}, {10, 13, 100}}},
    {"TurnsEveryFourSecondsWithoutEnd", "--swap-unit 7:6:4", 3, {{6, 10, 18, 22.5}, {0, 10, 14, 22}, {0, 6, 14.5, 18}},
     {{0, 14.5, 26.5}, {6, 18.5, 30.5}, {10, 22.5, 34}}},
};

class SimSchedules : public ::testing::TestWithParam<ScheduleCase> {};

TEST_P(SimSchedules, UnitsAtTheIdAreOffExactlyWhenTheOptionsSay) {
  const ScheduleCase& c = GetParam();
  std::string line;
  const int models[] = {120, 121, 116};
  for (std::size_t i = 0; i < c.units; ++i) line += "--processor " + std::to_string(models[i]) + ":7 ";
  SimOptions options;
  ASSERT_TRUE(ParseSimOptions(SplitSimOptions(line + c.options), options));
  BusRig rig;
  const Clock::time_point start = Clock::now();
  ASSERT_EQ(AddSimUnits(options, rig.bus, start), c.units);
  for (std::size_t i = 0; i < c.units; ++i) {
    const auto* unit = dynamic_cast<const CSimSwitchedUnit*>(rig.bus.UnitAt(i));
    ASSERT_NE(unit, nullptr);
    auto at = [&](double seconds) {
      return start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    };
    for (double t : c.off[i]) EXPECT_TRUE(unit->IsSilentAt(at(t))) << "unit " << i << " at " << t << " s";
    for (double t : c.on[i]) EXPECT_FALSE(unit->IsSilentAt(at(t))) << "unit " << i << " at " << t << " s";
  }
}

INSTANTIATE_TEST_SUITE_P(Options, SimSchedules, ::testing::ValuesIn(kScheduleCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The units at a swapped ID take turns: the first answers until the turn, the next from then on.
TEST(SimOptions, SwappedUnitsAtAnIdTakeTurns) {
  EXPECT_FALSE(ParseSimOptionsFor("--processor 120:7 --swap-unit 7"));
  EXPECT_FALSE(ParseSimOptionsFor("--processor 120:7 --swap-unit 7:-1"));
  EXPECT_FALSE(ParseSimOptionsFor("--processor 120:7 --swap-unit 7:1x"));
  EXPECT_FALSE(ParseSimOptionsFor("--processor 120:7 --swap-unit 7:1:0"));
  EXPECT_FALSE(ParseSimOptionsFor("--processor 120:7 --swap-unit 7:1:4:0"));
  SimOptions now, later;
  ASSERT_TRUE(ParseSimOptions(SplitSimOptions("--processor 120:7 --processor 121:7 --swap-unit 7:0"), now));
  ASSERT_TRUE(ParseSimOptions(SplitSimOptions("--processor 120:7 --processor 121:7 --swap-unit 7:3600"), later));
  for (const auto& [options, model] : {std::pair{&now, 0x79}, std::pair{&later, 0x78}}) {
    BusRig rig;
    EXPECT_EQ(AddSimUnits(*options, rig.bus), 2u);
    rig.bus.Start();
    // Only one unit answers the identification request, with its own model in byte 3.
    const Bytes reply = rig.Exchange({0xB0, 7}, 21);
    ASSERT_EQ(reply.size(), 21u);
    EXPECT_EQ(reply[3], model);
  }
}

// Every number of an option is read whole and within the option's range: a sign, trailing
// letters or a number that would wrap round into a smaller one (4294967319 into 23) refuses the
// line, and a number in range reads as written.
struct OptionNumbersCase {
  const char* line;
  bool accepted;
  friend void PrintTo(const OptionNumbersCase& c, std::ostream* os) { *os << c.line; }
};

class SimOptionNumbersTest : public ::testing::TestWithParam<OptionNumbersCase> {};

TEST_P(SimOptionNumbersTest, RefusesWhatIsNoNumberOfTheOptionsRange) {
  EXPECT_EQ(ParseSimOptionsFor(GetParam().line), GetParam().accepted) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SimOptionNumbersTest,
    ::testing::Values(OptionNumbersCase{"--com 23", true}, OptionNumbersCase{"--com 4294967319", false},
                      OptionNumbersCase{"--com -3", false}, OptionNumbersCase{"--com 5x", false},
                      OptionNumbersCase{"--com +5", false}, OptionNumbersCase{"--com ''", false},
                      OptionNumbersCase{"--baud 57600", true}, OptionNumbersCase{"--baud 99999999999", false},
                      OptionNumbersCase{"--unit 7", true}, OptionNumbersCase{"--unit 263", false},
                      OptionNumbersCase{"--processor 120:7", true}, OptionNumbersCase{"--processor 376:7", false},
                      OptionNumbersCase{"--processor 120:-57", false}, OptionNumbersCase{"--processor 120:7:1x", false},
                      OptionNumbersCase{"--scan-unit 0x78:5:0x01020304", true},
                      OptionNumbersCase{"--scan-unit 376:5", false}, OptionNumbersCase{"--scan-unit 120:64", false},
                      OptionNumbersCase{"--scan-unit 120:5:0x101020304", false},
                      OptionNumbersCase{"--zel-amp 52:2:Stage:Left", true}, OptionNumbersCase{"--zel-amp 308:2", false},
                      OptionNumbersCase{"--zel-break 40:-1", false},
                      OptionNumbersCase{"--secure-unit 51:5:Boss:se:cret", true},
                      OptionNumbersCase{"--secure-unit 307:5", false}, OptionNumbersCase{"--secure-unit 51:5x", false},
                      OptionNumbersCase{"--reply 62:20", true}, OptionNumbersCase{"--reply 318:20", false},
                      OptionNumbersCase{"--reply 62:4294967316", false}, OptionNumbersCase{"--late-unit 7:100", true},
                      OptionNumbersCase{"--late-unit -1:100", false}, OptionNumbersCase{"--late-unit 7:4294967396", false},
                      OptionNumbersCase{"--silent-unit 7:1:2", true}, OptionNumbersCase{"--silent-unit 4294967303:1:2", false}),
    [](const ::testing::TestParamInfo<OptionNumbersCase>& info) {
      // The line in letters and digits: "--com -3" becomes "com_minus3".
      std::string name;
      for (const char* c = info.param.line; *c; ++c) {
        if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
        else if (*c == '-' && c[1] >= '0' && c[1] <= '9') name += "minus";
        else if (*c == '+') name += "plus";
        else if (!name.empty() && name.back() != '_') name += '_';
      }
      return name + "_" + std::to_string(info.index);
    });

TEST(SimOptions, NumbersInRangeReadAsWritten) {
  SimOptions options;
  ASSERT_TRUE(ParseSimOptions(SplitSimOptions("--com 32 --scan-unit 0x78:5:0x01020304 --zel-amp 52:2:A:B"), options));
  EXPECT_EQ(options.com, 32u);
  ASSERT_EQ(options.scanUnits.size(), 1u);
  EXPECT_EQ(options.scanUnits[0].typeCode, 0x78);
  EXPECT_EQ(options.scanUnits[0].shortId, 5u);
  EXPECT_EQ(options.scanUnits[0].longId, 0x01020304u);
  ASSERT_EQ(options.zelUnits.size(), 1u);
  EXPECT_EQ(options.zelUnits[0].second, "A:B");
}

TEST(SimOptions, ZelStatesNameTheirUnitsKeysAndValues) {
  for (const char* refused : {
           "--zel-amp 52:2 --zel-state 2:0:temp",            // no value
           "--zel-state 2:0:temp=65",                        // no unit at ID 2
           "--zel-amp 52:2 --zel-state 3:0:temp=65",         // none at ID 3
           "--zel-amp 52:2 --zel-state 2:0:alarm=1",         // a box's key on an amplifier
           "--zel-break 40:3 --zel-state 3:0:protect=1",     // an amplifier's key on a box
           "--zel-amp 52:2 --zel-state 2:0:load-fault=16",   // four channels at most
           "--zel-amp 52:2 --zel-state 2:0:temp=128",        // beyond the reply byte
           "--zel-amp 52:2 --zel-state 2:-1:temp=60",        // before the start
           "--zel-amp 52:2 --zel-state 2:0:colour=1",        // no such key
           "--zel-amp 52:2 --zel-state 2:0:temp=60x",        // trailing junk
           "--zel-amp 52:2 --zel-state 4294967298:0:temp=60",  // an ID that would wrap round to 2
           "--zel-amp 52:2 --zel-state 2:0:temp=+60",        // a sign
           "--boot-unit amp:49 --boot-silent-after x",
           "--boot-unit amp:49 --boot-silent-after -3",
       }) {
    EXPECT_FALSE(ParseSimOptionsFor(refused)) << refused;
  }
  SimOptions options;
  ASSERT_TRUE(ParseSimOptions(SplitSimOptions("--boot-unit amp:49 --boot-silent-after 7"), options));
  EXPECT_EQ(options.bootSilentAfter, 7u);
}

// What --zel-state gives a unit it reports from the start of its time (after 0 s); a state due
// an hour later is not reported yet.
TEST(SimOptions, ZelUnitsReportTheStatesTheOptionsGiveThem) {
  SimOptions options;
  ASSERT_TRUE(ParseSimOptions(
      SplitSimOptions("--zel-amp 52:2 --zel-break 40:3 --zel-state 2:0:temp=65 --zel-state 2:0:protect=1 "
                      "--zel-state 2:0:load-fault=5 --zel-state 3:0:alarm=1 --zel-state 3:0:network=0 "
                      "--zel-state 2:3600:temp=90"),
      options));
  ASSERT_EQ(options.zelReports.size(), 6u);
  BusRig rig;
  EXPECT_EQ(AddSimUnits(options, rig.bus), 2u);
  rig.bus.Start();
  const Bytes temperature = rig.Exchange(ZelRead(52, 2, 0x3D), 13);
  ASSERT_EQ(temperature.size(), 13u);
  EXPECT_EQ(temperature[10], 65);
  const Bytes status = rig.Exchange(ZelRead(52, 2, 0x3F), 12);
  ASSERT_EQ(status.size(), 12u);
  EXPECT_EQ(status[10] & 0x40, 0);  // in protect
  const Bytes meters = rig.Exchange(ZelRead(52, 2, 0x44), 24);
  ASSERT_EQ(meters.size(), 24u);
  std::uint8_t unpacked[11] = {};
  Unpack7Bit(meters.data() + 10, 11, unpacked);
  EXPECT_EQ(unpacked[8], 5);  // load faults on channels 1 and 3
  const Bytes box = rig.Exchange(ZelRead(40, 3, 63), 12);
  ASSERT_EQ(box.size(), 12u);
  EXPECT_EQ(box[10], 0x02);  // the network lost, an alarm
}
