// The simulated bus: framing of requests, units' answers, collisions, faults and pacing.
#include <gtest/gtest.h>

#include "core/protocol/SevenBit.h"
#include "platform/SerialPortMemory.h"
#include "tools/devsim/SimBus.h"
#include "tools/devsim/SimDiscoveryUnit.h"
#include "tools/devsim/SimProcessor.h"

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

namespace {

struct BusRig {
  std::shared_ptr<CSerialLine> line = std::make_shared<CSerialLine>();
  CSimBus bus{std::make_unique<CLineWire>(line)};
  CMemorySerialPort port{line};

  BusRig() {
    EXPECT_TRUE(port.Open("sim", 57600));
    SerialTimeouts t;
    t.readTotalMultiplier = 1;
    t.readTotalConstant = 100;
    port.SetTimeouts(t);
  }
  ~BusRig() { bus.Stop(); }

  Bytes Exchange(const Bytes& request, std::uint32_t answerLength) {
    std::uint32_t n = 0;
    EXPECT_TRUE(port.Write(request.data(), std::uint32_t(request.size()), &n));
    Bytes answer(answerLength);
    EXPECT_TRUE(port.Read(answer.data(), answerLength, &n));
    answer.resize(n);
    return answer;
  }
};

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
  EXPECT_EQ(rig.Exchange(Framed({0xF0, 0, 0, 0x10, 8, 0, 0x3E}), 6), Bytes{});
  EXPECT_EQ(rig.Exchange(Framed({0xF0, 0, 0, 0x10, 9, 0, 0x3F}), 6), Bytes{});
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
