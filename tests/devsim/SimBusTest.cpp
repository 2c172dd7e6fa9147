// The simulated bus: framing of requests, units' answers, collisions, faults and pacing.
#include <gtest/gtest.h>

#include <functional>

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
    request = [](int unit, std::uint8_t command) {
      Bytes f{0xF0, 0, 0, 55, 0, 0, 0, std::uint8_t(101 + unit), 0, command};
      Put14Bit(f.data() + 1, std::uint32_t(f.size()));
      std::uint32_t sum = f[0];
      for (std::size_t i = 2; i < f.size(); ++i) sum += f[i];
      f.push_back(std::uint8_t(sum & 0x7F));
      return f;
    };
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
