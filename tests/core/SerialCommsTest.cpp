// Every transaction outcome of the transport against the simulated bus, with the exact log
// lines it writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <thread>

#include "core/comms/SerialComms.h"
#include "core/protocol/SevenBit.h"
#include "platform/Clock.h"
#include "platform/SerialPortMemory.h"
#include "tests/support/TestClock.h"
#include "tools/devsim/SimBus.h"
#include "tools/devsim/SimProcessor.h"
#include "tools/devsim/SimZelAmp.h"

using Bytes = std::vector<std::uint8_t>;

namespace {

CDevice* const kDevice = reinterpret_cast<CDevice*>(std::uintptr_t(0x5000));
CDevice* const kOtherDevice = reinterpret_cast<CDevice*>(std::uintptr_t(0x6000));
CDevice* const kZelDevice = reinterpret_cast<CDevice*>(std::uintptr_t(0x7000));
constexpr std::uint32_t kZelId = 100;

// Verbose lines of the 20-byte read of command 0x4F from device 5, the clock held still.
std::string WaitingForReplyLine(int retry) {
  return "Waiting for reply to command command 0x4F from device ID 5 after 0.00ms, expecting 20 bytes return, "
         "Retry count = " +
         std::to_string(retry) + " - Comms Error Count = 0\n";
}
const std::string kWaitingForRestLine =
    "Waiting for rest of reply to command 0x4F from device ID 5 after 0.00ms, expecting 20 bytes return - Comms "
    "Error Count = 0\n";

// The handle the transport knows a device by: its address, in these tests.
std::uint64_t Unit(const CDevice* device) { return std::uint64_t(reinterpret_cast<std::uintptr_t>(device)); }

class CRecordingHost : public ICommsHost {
 public:
  void WriteLog(const std::string& text) override { lines.push_back(text); }
  void WriteErrorLog(const std::string& text) override {
    if (logCommsErrors) lines.push_back(text);
    if (onLine) onLine(text);
  }
  bool IsLogCommsErrorsOn() const override { return logCommsErrors; }
  bool IsSuperDebugOn() const override { return superDebug; }
  std::uint32_t GetDeviceIdForLog(const CDevice* device) const override {
    return device == kDevice ? 5 : device == kZelDevice ? kZelId : 99;
  }
  std::uint64_t GetDeviceHandle(const CDevice* device) const override { return Unit(device); }

  std::vector<std::string> lines;
  // Called with every comms line, written or not (a test reacts to a step of the transaction).
  std::function<void(const std::string&)> onLine;
  bool logCommsErrors = true;
  bool superDebug = true;
};

// A transport on an in-memory line with one framed unit (ID 5) behind it. The clock is held
// still so that the elapsed times in log lines read 0.00ms. Reads wait long for answers (an
// extra time-out of kLongReadWaitMs), and end at once when the bus has sent all it sends for the
// request: what a transaction reads depends on what the bus sends, not on the machine's speed.

class SerialCommsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetClockForTests(&m_clock);
    m_unit = m_bus.Add<CFramedUnit>(std::uint8_t(5));
    m_unit->SetReplyLength(0x4F, 20);
    m_bus.SetSilenceEndsReads(true);
    m_bus.Start();
    m_comms.SetHost(&m_host);
    m_comms.SetExtraTimeout(kLongReadWaitMs);
    ASSERT_TRUE(m_comms.Open(3, 57600, true));
  }
  void TearDown() override {
    if (HasFailure()) for (auto& l : m_host.lines) printf("DBG %s", l.c_str());
    m_comms.Close();
    m_bus.Stop();
    SetClockForTests(nullptr);
  }

  // The request to device 5: the frame's bytes and their checksum, asking for expected bytes.
  void SetRequest(const Bytes& frame, std::uint8_t command, std::uint32_t expected, bool write) {
    CControlMessage& t = m_comms.Transaction();
    std::memcpy(t.frame, frame.data(), frame.size());
    t.frame[frame.size()] = Checksum7Bit(frame.data(), frame.size());
    t.Set(command, std::uint32_t(frame.size() + 1), expected, kDevice, write, 0xA8, 0, 0);
  }
  // A read of a command (0x4F unless given) from device 5: F0 00 07 10 05 00 4F + checksum.
  void SetRead(std::uint32_t expected = 20, std::uint8_t command = 0x4F) {
    SetRequest({0xF0, 0x00, 0x07, 0x10, 0x05, 0x00, command}, command, expected, false);
  }
  // A Nerex48's names read from device 5, F0 00 08 78 05 00 33 00 + checksum, asking for 144
  // bytes; the reply must repeat the bytes of the echo mask.
  void SetNamesRead(std::uint32_t echoMask) {
    SetRequest({0xF0, 0x00, 0x08, 0x78, 0x05, 0x00, 0x33, 0x00}, 0x33, 144, false);
    m_comms.Transaction().replyEchoMask = echoMask;
  }
  // A read of a command from the unit with the ID (for the device), whose reply must repeat the
  // unit ID and the command; the unit's reply to it is one of that length (20 bytes unless
  // given) that does, with the tag as its first payload byte.
  void SetCheckedRead(CFramedUnit* unit, std::uint8_t id, CDevice* device, std::uint8_t command, std::uint8_t tag,
                      std::uint32_t length = 20) {
    unit->SetReply(command, CheckedReplyBody(id, command, tag, length));
    SetRead(length, command);
    CControlMessage& t = m_comms.Transaction();
    t.frame[4] = id;
    t.frame[7] = Checksum7Bit(t.frame, 7);
    t.device = device;
    t.replyEchoMask = (1u << 4) | (1u << 6);
  }
  // The body of such a reply from a unit of the type (byte 3 of the reply).
  static Bytes CheckedReplyBody(std::uint8_t id, std::uint8_t command, std::uint8_t tag, std::uint32_t length,
                                std::uint8_t type = 0x10) {
    Bytes body{type, std::uint8_t(id & 0x7F), 0x00, command, tag};
    for (std::uint8_t filler = 0x22; body.size() + 4 < length; ++filler) body.push_back(filler & 0x7F);
    return body;
  }
  // The bus sends its held answers when the transport writes a comms line that starts so, and
  // they have reached the port when the transport goes on.
  void ReleaseHeldAnswersAtLineStarting(const std::string& start) {
    m_host.onLine = [this, start](const std::string& line) {
      if (line.rfind(start, 0) != 0) return;
      m_bus.ReleaseHeldAnswers();
      ASSERT_TRUE(m_bus.WaitForHeldAnswers(5000));
    };
  }
  // Whether the transport passes the device's unit over, awaiting its late answers.
  bool Awaits(const CDevice* device) { return m_comms.AwaitsLateAnswerFrom(Unit(device)); }
  // A Zel amplifier (type 55, ID 100) on the bus.
  CSimZelAmpUnit* AddZelUnit() {
    m_bus.Stop();
    SimSecurityConfig config;
    config.typeCode = 55;
    config.deviceId = kZelId;
    auto* unit = m_bus.Add<CSimZelAmpUnit>(config);
    m_bus.Start();
    return unit;
  }
  // A read of a command from the Zel amplifier in its own layout: F0, length, type, the ID in
  // four 7-bit groups (bytes 4 to 7), 0, command (byte 9), checksum; its reply repeats bytes 3 to
  // 9 (counters 0x41: 24 bytes, status 0x3F: 12, name 0x3C: 51).
  void SetZelRead(std::uint8_t command, std::uint32_t length) {
    CControlMessage& t = m_comms.Transaction();
    const Bytes frame{0xF0, 0x00, 0x0A, 55, std::uint8_t(kZelId >> 24 & 0x7F), std::uint8_t(kZelId >> 16 & 0x7F),
                      std::uint8_t(kZelId >> 8 & 0x7F), std::uint8_t(kZelId & 0x7F), 0x00, command};
    std::memcpy(t.frame, frame.data(), frame.size());
    std::uint32_t sum = frame[0];
    for (std::size_t i = 2; i < frame.size(); ++i) sum += frame[i];
    t.frame[10] = std::uint8_t(sum & 0x7F);
    t.Set(command, 11, length, kZelDevice, false, 0xA8, 0, 0);
    t.replyEchoMask = (0xFu << 4) | (1u << 9);
  }
  // A second unit, ID 6, on the bus.
  CFramedUnit* AddUnitSix() {
    m_bus.Stop();
    CFramedUnit* unit = m_bus.Add<CFramedUnit>(std::uint8_t(6));
    m_bus.Start();
    return unit;
  }
  // Unit 5's read answered only with its resend, that answer coming during unit 6's read (`other`),
  // which is answered in time.
  void ReadFiveLateThenSix(CFramedUnit* other) {
    m_bus.InjectFaults(SimFault::HeldUntil(1), 2);
    SetCheckedRead(m_unit, 5, kDevice, 0x4F, 1);
    ASSERT_TRUE(Run());
    ASSERT_EQ(Received()[7], 1);
    SetCheckedRead(other, 6, kOtherDevice, 0x50, 2);
    ASSERT_TRUE(Run());
    EXPECT_EQ(Received()[4], 6);
    ASSERT_EQ(Received()[7], 2);
  }
  // A set command 0x18 to device 5, waiting for the ACK.
  void SetWrite() { SetRequest({0xF1, 0x00, 0x08, 0x10, 0x05, 0x00, 0x18, 0x01}, 0x18, 0, true); }
  // Runs the transaction to its end; false on a transport error.
  // Runs one transaction, and returns once the bus has done with every request of it too: a read
  // can end on answers let go ahead of a request's own while the bus still holds that request's.
  bool Run() {
    m_comms.StartWrite(true);
    const bool done = m_comms.WaitForCompletion();
    EXPECT_TRUE(m_bus.WaitForRequests(m_bus.RequestCount(), 20000));
    return done;
  }
  // Runs the read of SetRead with the fault on the next count requests.
  bool ReadWith(const SimFault& fault, std::size_t count = 1) {
    m_bus.InjectFaults(fault, count);
    SetRead();
    return Run();
  }
  Bytes Received() const {
    const auto& t = m_comms.Transaction();
    return Bytes(m_comms.ReceiveBuffer(), m_comms.ReceiveBuffer() + t.receivedLength);
  }
  Bytes UnitReply(std::size_t total) const {
    Bytes body(total - 4);
    for (std::size_t i = 0; i < body.size(); ++i) body[i] = std::uint8_t(i & 0x7F);
    return MakeFramedReply(0xA8, body);
  }

  CTestClock m_clock;
  std::shared_ptr<CSerialLine> m_line = std::make_shared<CSerialLine>();
  CSimBus m_bus{std::make_unique<CLineWire>(m_line)};
  CFramedUnit* m_unit = nullptr;
  CRecordingHost m_host;
  CSerialComms m_comms{std::make_unique<CMemorySerialPort>(m_line)};
};

}  // namespace

TEST_F(SerialCommsTest, OpenMapsComNumberSetsTimeoutsAndRefusesASecondOpen) {
  EXPECT_EQ(m_line->GetOpenedDevice(), "/dev/ttyUSB2");
  EXPECT_EQ(m_line->GetOpenedBaudRate(), 57600u);
  EXPECT_EQ(m_comms.GetPortNumber(), 3u);
  const SerialTimeouts& t = m_comms.GetTimeouts();
  EXPECT_EQ(t.readInterval, 0u);
  EXPECT_EQ(t.readTotalMultiplier, 1u);
  EXPECT_EQ(t.readTotalConstant, 2u);
  EXPECT_FALSE(m_comms.Open(4, 9600, true));
  m_comms.Close();
  EXPECT_EQ(m_comms.GetPortNumber(), 0u);
  EXPECT_FALSE(m_comms.IsOpen());
  m_line->SetOpenRefused(true);
  EXPECT_FALSE(m_comms.Open(4, 9600, true));
  EXPECT_EQ(m_comms.GetPortNumber(), 0u);
}

TEST_F(SerialCommsTest, WriteAnsweredWithAckEndsAfterOneByte) {
  SetWrite();
  ASSERT_TRUE(Run());
  const auto& t = m_comms.Transaction();
  EXPECT_TRUE(m_comms.IsDone());
  EXPECT_EQ(t.expectedLength, 1u);
  EXPECT_EQ(t.receivedLength, 1u);
  EXPECT_EQ(m_comms.ReceiveBuffer()[0], 0xA0);
  EXPECT_EQ(m_comms.GetStatus(), kCommsIdle);
  EXPECT_TRUE(m_host.lines.empty());
  ASSERT_EQ(m_unit->Writes().size(), 1u);
  EXPECT_EQ(m_unit->Writes()[0], Bytes(t.frame, t.frame + 9));
}

TEST_F(SerialCommsTest, GoodReplyIsReceivedWhole) {
  m_comms.SetExtraTimeout(0);
  SetRead();
  ASSERT_TRUE(Run());
  const auto& t = m_comms.Transaction();
  EXPECT_EQ(t.receivedLength, 20u);
  EXPECT_FALSE(t.failed);
  EXPECT_EQ(Received(), UnitReply(20));
  EXPECT_TRUE(m_host.lines.empty());
  EXPECT_EQ(m_bus.RequestCount(), 1u);
  EXPECT_EQ(m_comms.GetTimeouts().readTotalConstant, 40u);  // 2 x 20, above the minimum 35
}

TEST_F(SerialCommsTest, ReadTimeoutAddsBaseAndExtraAndHasAFloorOf35) {
  m_comms.SetExtraTimeout(0);
  SetRead(4);
  m_unit->SetReplyLength(0x4F, 4);
  ASSERT_TRUE(Run());
  EXPECT_EQ(m_comms.GetTimeouts().readTotalConstant, 35u);
  SetRead(20);
  m_unit->SetReplyLength(0x4F, 20);
  m_comms.Transaction().timeoutBase = 50;
  m_comms.SetExtraTimeout(7);
  ASSERT_TRUE(Run());
  EXPECT_EQ(m_comms.GetTimeouts().readTotalConstant, 97u);
}

TEST_F(SerialCommsTest, HugeExtraTimeoutSaturatesInsteadOfWrappingToAShortWait) {
  SetRead(20);
  m_unit->SetReplyLength(0x4F, 20);
  m_comms.Transaction().timeoutBase = 50;
  m_comms.SetExtraTimeout(0xFFFFFFF0u);
  ASSERT_TRUE(Run());
  EXPECT_EQ(m_comms.Transaction().receivedLength, 20u);
  EXPECT_EQ(m_comms.GetTimeouts().readTotalConstant, 0xFFFFFFFFu);
}

TEST_F(SerialCommsTest, SilenceResendsTwiceThenFailsWithOneCountedLine) {
  ASSERT_TRUE(ReadWith(SimFault::Silence(), 3));
  const auto& t = m_comms.Transaction();
  EXPECT_EQ(t.receivedLength, 0u);
  EXPECT_FALSE(t.failed);
  EXPECT_EQ(m_bus.RequestCount(), 3u);
  EXPECT_EQ(m_comms.GetErrorCount(), 1u);
  EXPECT_EQ(m_host.lines,
            (std::vector<std::string>{
                WaitingForReplyLine(1), WaitingForReplyLine(2),
                "No reply received from device ID 5 after 0.00ms, Command = 0x4F - aborting - "
                "Comms Error Count = 1\n"}));
}

TEST_F(SerialCommsTest, TimeoutWithoutSuperDebugWritesOnlyTheCountedLine) {
  m_host.superDebug = false;
  ASSERT_TRUE(ReadWith(SimFault::Silence(), 3));
  EXPECT_EQ(m_host.lines,
            (std::vector<std::string>{"No reply received from device ID 5 after 0.00ms, Command "
                                      "= 0x4F - aborting - Comms Error Count = 1\n"}));
}

TEST_F(SerialCommsTest, SilenceOnceThenAnswerSucceedsOnTheResend) {
  ASSERT_TRUE(ReadWith(SimFault::Silence()));
  EXPECT_EQ(m_comms.Transaction().receivedLength, 20u);
  EXPECT_EQ(m_bus.RequestCount(), 2u);
  EXPECT_EQ(m_comms.GetErrorCount(), 0u);
  EXPECT_EQ(m_host.lines.size(), 1u);
}

TEST_F(SerialCommsTest, JunkBeforeReplyResynchronisesWithoutCountingAnError) {
  ASSERT_TRUE(ReadWith(SimFault::Junk({0x11, 0x22})));
  EXPECT_EQ(Received(), UnitReply(20));
  EXPECT_EQ(m_bus.RequestCount(), 1u);
  EXPECT_EQ(m_comms.GetErrorCount(), 0u);
  EXPECT_EQ(m_host.lines,
            (std::vector<std::string>{
                "Received junk in Rx buffer from device ID 5 after 0.00ms - Good bytes = 18, "
                "Still to read = 2, Command = 0x4F - retrying - Comms Error Count = 0\n",
                "Waiting for rest of reply to command 0x4F from device ID 5 after 0.00ms, "
                "expecting 20 bytes return but only got 18 - Comms Error Count = 0\n"}));
}

TEST_F(SerialCommsTest, ShortJunkAloneIsRejectedThenTheRequestResent) {
  // Three junk bytes without a start byte, and nothing else: rejected, the read retried (it
  // times out empty), and the resend is answered.
  ASSERT_TRUE(ReadWith(SimFault::Replace({0x11, 0x22, 0x33})));
  EXPECT_EQ(Received(), UnitReply(20));
  EXPECT_EQ(m_bus.RequestCount(), 2u);
  EXPECT_EQ(m_host.lines,
            (std::vector<std::string>{
                "Received junk in Rx buffer from device ID 5 after 0.00ms - Rejected 3 bytes, "
                "Still to read = 20, Command = 0x4F - retrying - Comms Error Count = 0\n",
                kWaitingForRestLine, WaitingForReplyLine(2)}));
}

// The rest of a cut reply leaves once the first read has ended on its part, before the read of
// the rest starts, whatever the machine's speed.
TEST_F(SerialCommsTest, PartialJunkThenStartByteKeepsTheGoodBytes) {
  ReleaseHeldAnswersAtLineStarting("Received junk in Rx buffer");
  // Two junk bytes and the first six reply bytes, then the pause.
  SimFault fault = SimFault::SplitUntilReleased(8);
  fault.junkBefore = {0x11, 0x22};
  ASSERT_TRUE(ReadWith(fault));
  EXPECT_EQ(Received(), UnitReply(20));
  EXPECT_EQ(m_bus.RequestCount(), 1u);
  EXPECT_EQ(m_host.lines,
            (std::vector<std::string>{
                "Received junk in Rx buffer from device ID 5 after 0.00ms - Bad bytes = 2, Good "
                "bytes = 6, Still to read = 14, Command = 0x4F - retrying - Comms Error Count = 0\n",
                kWaitingForRestLine}));
}

TEST_F(SerialCommsTest, ReplySplitWithinTheTimeoutIsReadInOneGo) {
  ASSERT_TRUE(ReadWith(SimFault::Split({5, 12}, 5)));
  EXPECT_EQ(Received(), UnitReply(20));
  EXPECT_TRUE(m_host.lines.empty());
}

TEST_F(SerialCommsTest, ReplySplitBeyondTheTimeoutIsCompletedByASecondRead) {
  ReleaseHeldAnswersAtLineStarting("Only part of return message");
  ASSERT_TRUE(ReadWith(SimFault::SplitUntilReleased(5)));
  EXPECT_EQ(Received(), UnitReply(20));
  EXPECT_EQ(m_bus.RequestCount(), 1u);
  EXPECT_EQ(m_host.lines,
            (std::vector<std::string>{
                "Only part of return message Received from device ID 5 after 0.00ms - Good bytes "
                "= 5, Still to read = 15, Command = 0x4F - retrying - Comms Error Count = 0\n",
                kWaitingForRestLine}));
}

TEST_F(SerialCommsTest, RestThatNeverComesIsGivenUpAfterTwoMoreReadsWithoutACountedLine) {
  // Five good bytes and nothing else.
  ASSERT_TRUE(ReadWith(SimFault::Replace(Bytes{0xA8, 0x00, 0x13, 0x00, 0x01})));
  EXPECT_EQ(m_comms.Transaction().receivedLength, 0u);
  EXPECT_EQ(m_comms.GetErrorCount(), 0u);
  EXPECT_EQ(m_bus.RequestCount(), 1u);
  EXPECT_EQ(m_host.lines,
            (std::vector<std::string>{
                "Only part of return message Received from device ID 5 after 0.00ms - Good bytes "
                "= 5, Still to read = 15, Command = 0x4F - retrying - Comms Error Count = 0\n",
                kWaitingForRestLine, kWaitingForRestLine}));
}

TEST_F(SerialCommsTest, BadChecksumIsRequestedAgainTwiceThenFailsSilently) {
  ASSERT_TRUE(ReadWith(SimFault::BadChecksum(), 3));
  const auto& t = m_comms.Transaction();
  EXPECT_EQ(t.receivedLength, 0u);
  EXPECT_TRUE(t.failed);
  EXPECT_EQ(m_comms.GetRetryCount(), 0u);
  EXPECT_EQ(m_bus.RequestCount(), 3u);
  EXPECT_TRUE(m_host.lines.empty());
  EXPECT_EQ(m_comms.GetErrorCount(), 0u);
}

TEST_F(SerialCommsTest, BadChecksumOnceThenGoodReplySucceeds) {
  ASSERT_TRUE(ReadWith(SimFault::BadChecksum()));
  EXPECT_EQ(Received(), UnitReply(20));
  EXPECT_FALSE(m_comms.Transaction().failed);
  EXPECT_EQ(m_bus.RequestCount(), 2u);
}

TEST_F(SerialCommsTest, NoRetryFlagEndsAtTheFirstBadReply) {
  m_bus.InjectFault(SimFault::BadChecksum());
  SetRead();
  m_comms.Transaction().noRetry = true;
  ASSERT_TRUE(Run());
  const auto& t = m_comms.Transaction();
  EXPECT_TRUE(t.failed);
  EXPECT_EQ(t.receivedLength, 20u);  // kept: the caller sees that bytes came back
  EXPECT_EQ(m_bus.RequestCount(), 1u);
  EXPECT_TRUE(m_host.lines.empty());

  // Garbage without a start byte ends the same way.
  m_bus.InjectFault(SimFault::Replace(Bytes(20, 0x33)));
  ASSERT_TRUE(Run());
  EXPECT_TRUE(t.failed);
  EXPECT_EQ(m_bus.RequestCount(), 2u);
}

TEST_F(SerialCommsTest, WrongHeaderLengthIsACountedCheckFailure) {
  ASSERT_TRUE(ReadWith(SimFault::WrongLength(-2), 3));
  EXPECT_TRUE(m_comms.Transaction().failed);
  EXPECT_EQ(m_comms.GetErrorCount(), 3u);
  ASSERT_EQ(m_host.lines.size(), 3u);
  EXPECT_EQ(m_host.lines[0],
            "Check buffer failed, Command = 0x4F - length in return = 17 should be 19 - Comms "
            "Error Count = 1\n");
  EXPECT_EQ(m_host.lines[2],
            "Check buffer failed, Command = 0x4F - length in return = 17 should be 19 - Comms "
            "Error Count = 3\n");
}

TEST_F(SerialCommsTest, LongerReplyThanAskedIsReadToTheAnnouncedLength) {
  m_unit->SetReplyLength(0x4F, 30);
  SetRead(20);
  ASSERT_TRUE(Run());
  const auto& t = m_comms.Transaction();
  EXPECT_EQ(t.expectedLength, 30u);
  EXPECT_EQ(t.receivedLength, 30u);
  EXPECT_EQ(Received(), UnitReply(30));
  EXPECT_EQ(m_comms.GetRetryCount(), 0u);
  EXPECT_EQ(m_host.lines,
            (std::vector<std::string>{
                "Read 20 bytes reply to command 0x4F from device ID 5 after 0.00ms, but header "
                "says we need another 10 bytes - Comms Error Count = 0\n"}));
}

// A length byte changed on the line announces more than the unit sends. The rest is read only
// while it keeps coming: once the line has gone quiet short of the announced length the reply is
// judged wrong and the request goes again at once, rather than the line being held for a read
// time-out per missing byte.
struct ChangedLengthCase {
  const char* name;
  std::size_t changedSends;  // sends whose reply announces 500 bytes more
  bool answered;
};

class ChangedLengthByte : public SerialCommsTest, public ::testing::WithParamInterface<ChangedLengthCase> {};

TEST_P(ChangedLengthByte, IsJudgedWrongOnceTheLineIsQuiet_AndTheRequestGoesAgain) {
  const ChangedLengthCase& c = GetParam();
  ASSERT_TRUE(ReadWith(SimFault::WrongLength(500), c.changedSends));
  const auto& t = m_comms.Transaction();
  EXPECT_EQ(m_bus.RequestCount(), c.answered ? c.changedSends + 1 : c.changedSends);
  EXPECT_EQ(t.receivedLength, c.answered ? 20u : 0u);
  if (c.answered) {
    EXPECT_EQ(Received(), UnitReply(20));
  }
  EXPECT_EQ(t.failed, !c.answered);
  const std::string announced =
      "Read 20 bytes reply to command 0x4F from device ID 5 after 0.00ms, but header says we need another 500 "
      "bytes - Comms Error Count = ";
  std::vector<std::string> expected;
  for (std::size_t k = 0; k < c.changedSends; ++k) {
    expected.push_back(announced + std::to_string(k) + "\n");
    expected.push_back("Check buffer failed, Command = 0x4F - length in return = 519 should be 19 - Comms Error Count = " +
                       std::to_string(k + 1) + "\n");
  }
  EXPECT_EQ(m_host.lines, expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ChangedLengthByte,
                         ::testing::Values(ChangedLengthCase{"OnceTheResendIsAnswered", 1, true},
                                           ChangedLengthCase{"OnEverySendTheTransactionFails", 3, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SerialCommsTest, HeaderAnnouncingMoreThanTheReceiveBufferIsRefusedAsABadReply) {
  // A8 7F 7F announces 16383 bytes; the transport must not read past its 1024-byte buffer.
  Bytes huge(20, 0x01);
  huge[0] = 0xA8;
  huge[1] = 0x7F;
  huge[2] = 0x7F;
  ASSERT_TRUE(ReadWith(SimFault::Replace(huge), 3));
  const auto& t = m_comms.Transaction();
  EXPECT_EQ(t.expectedLength, 20u);
  EXPECT_EQ(t.receivedLength, 0u);
  EXPECT_TRUE(t.failed);
  EXPECT_EQ(m_bus.RequestCount(), 3u);
  ASSERT_EQ(m_host.lines.size(), 3u);
  EXPECT_EQ(m_host.lines[0],
            "Check buffer failed, Command = 0x4F - length in return = 16383 should be 19 - Comms "
            "Error Count = 1\n");
}

TEST_F(SerialCommsTest, HeaderOfExactlyTheBufferSizeIsStillRead) {
  m_unit->SetReplyLength(0x4F, 1024);
  SetRead(20);
  ASSERT_TRUE(Run());
  EXPECT_EQ(m_comms.Transaction().receivedLength, 1024u);
  EXPECT_EQ(Received(), UnitReply(1024));
}

TEST_F(SerialCommsTest, ExpectedLengthBeyondTheBufferFailsWithoutReading) {
  SetRead(2000);
  ASSERT_TRUE(Run());
  EXPECT_TRUE(m_comms.Transaction().failed);
  EXPECT_EQ(m_comms.Transaction().receivedLength, 0u);
}

TEST_F(SerialCommsTest, WrongByteInsteadOfAckIsReadAgainThenAckAccepted) {
  m_bus.InjectFault(SimFault::Replace({0x55, 0xA0}));
  SetWrite();
  ASSERT_TRUE(Run());
  EXPECT_EQ(m_comms.Transaction().receivedLength, 1u);
  EXPECT_EQ(m_bus.RequestCount(), 1u);
  EXPECT_EQ(m_host.lines,
            (std::vector<std::string>{"No ACK received from device ID 5 after 0.00ms, Command = "
                                      "0x18 - waiting... - Comms Error Count = 0\n"}));
}

TEST_F(SerialCommsTest, ThreeWrongBytesInsteadOfAckAbortWithACountedLine) {
  m_bus.InjectFault(SimFault::Replace({0x55, 0x56, 0x57}));
  SetWrite();
  ASSERT_TRUE(Run());
  EXPECT_EQ(m_comms.Transaction().receivedLength, 0u);
  EXPECT_EQ(m_comms.GetErrorCount(), 1u);
  const std::string waiting =
      "No ACK received from device ID 5 after 0.00ms, Command = 0x18 - waiting... - Comms Error "
      "Count = 0\n";
  EXPECT_EQ(m_host.lines,
            (std::vector<std::string>{waiting, waiting,
                                      "No ACK received from device ID 5 after 0.00ms, Command = "
                                      "0x18 - aborting - Comms Error Count = 1\n"}));
}

TEST_F(SerialCommsTest, LateReplyToTheFirstRequestIsTakenByTheResend) {
  // The first read times out; the late answer leaves when the resend comes, ahead of the
  // resend's own answer.
  ASSERT_TRUE(ReadWith(SimFault::HeldUntil(1)));
  EXPECT_EQ(Received(), UnitReply(20));
  EXPECT_EQ(m_comms.GetErrorCount(), 0u);
  EXPECT_EQ(m_host.lines,
            (std::vector<std::string>{WaitingForReplyLine(1)}));
}

// The first send's answer comes late and is taken by the resend; the resend's own answer comes
// before the next request to the same unit, which could take it: nothing in that request's reply
// check tells the two answers apart. It is drained first.
TEST_F(SerialCommsTest, AnswerToAResendIsDrainedAndNeverTakenForTheNextRequest) {
  m_bus.InjectFault(SimFault::HeldUntil(1));
  m_bus.InjectFault(SimFault::HeldUntil(0));
  SetRead();
  ASSERT_TRUE(Run());
  ASSERT_EQ(Received(), UnitReply(20));
  ASSERT_TRUE(Awaits(kDevice));
  m_bus.ReleaseHeldAnswers();
  ASSERT_TRUE(m_bus.WaitForHeldAnswers(5000));

  const Bytes otherBody(16, 0x33);
  m_unit->SetReply(0x50, otherBody);
  SetRead(20, 0x50);
  ASSERT_TRUE(Run());
  EXPECT_EQ(Received(), MakeFramedReply(0xA8, otherBody));
  EXPECT_EQ(m_bus.RequestCount(), 3u);  // the read, its resend and the next request
  EXPECT_EQ(m_comms.GetErrorCount(), 0u);
  EXPECT_FALSE(Awaits(kDevice));
}

// Requests to other units need not wait for the answers a resend may still bring: those would
// not repeat their unit ID. Only a request that could take such an answer drains it. The watch
// ends by the program's clock.
TEST_F(SerialCommsTest, AnswerAfterAResendHoldsUpNoRequestToAnotherUnit) {
  CFramedUnit* other = AddUnitSix();
  SetCheckedRead(other, 6, kOtherDevice, 0x50, 2);
  ASSERT_TRUE(Run());  // unit 6 shows that its replies repeat the request's header
  // The first request goes unanswered, the resend is answered at once.
  m_bus.InjectFault(SimFault::Silence());
  SetCheckedRead(m_unit, 5, kDevice, 0x4F, 1);
  ASSERT_TRUE(Run());
  ASSERT_EQ(m_comms.Transaction().receivedLength, 20u);
  ASSERT_TRUE(Awaits(kDevice));
  EXPECT_FALSE(Awaits(kOtherDevice));

  // While an answer to the resend could still come, the other unit is read again and again; none
  // of its requests drains the watch.
  for (int reads = 0; reads < 5; ++reads) {
    SetCheckedRead(other, 6, kOtherDevice, 0x50, 2);
    ASSERT_TRUE(Run());
    ASSERT_EQ(m_comms.Transaction().receivedLength, 20u);
  }
  EXPECT_TRUE(Awaits(kDevice));
  EXPECT_EQ(m_comms.GetErrorCount(), 0u);
  // The transaction took no time on the held clock: the watch ends 35 ms after it.
  m_clock.AdvanceMs(34);
  EXPECT_TRUE(Awaits(kDevice));
  m_clock.AdvanceMs(1);
  EXPECT_FALSE(Awaits(kDevice));
}

// Unit 5's first send goes unanswered in time: its answer comes with the resend and is taken,
// and the answer to the resend comes while unit 6, asked next, is read, just ahead of unit 6's
// own. Unit 6's request goes at once: the late answer differs from it in the unit ID, and is
// known for unit 5's; it is named as such and dropped, and unit 6's own answer is read on,
// without a resend. So too before unit 6's replies have shown that they repeat its header.
class LateAnswerToAResend : public SerialCommsTest, public ::testing::WithParamInterface<bool> {};

TEST_P(LateAnswerToAResend, IsNamedForItsUnitAndDroppedByAnotherUnitsRequestThatReadsOn) {
  const bool otherKnownToRepeat = GetParam();
  CFramedUnit* other = AddUnitSix();
  if (otherKnownToRepeat) {
    SetCheckedRead(other, 6, kOtherDevice, 0x50, 2);
    ASSERT_TRUE(Run());
  }
  const std::size_t before = m_bus.RequestCount();
  ReadFiveLateThenSix(other);
  // The read and its resend, then the other read.
  EXPECT_EQ(m_bus.RequestCount(), before + 3);
  EXPECT_EQ(m_comms.GetErrorCount(), 1u);
  EXPECT_EQ(m_host.lines.back(),
            "Late answer from device ID 5 received after 0.00ms while reading device ID 99, Command = 0x4F - not "
            "taken - Comms Error Count = 1\n");
  // Its late answer in, unit 5 is no longer waited for.
  EXPECT_FALSE(Awaits(kDevice));
}

INSTANTIATE_TEST_SUITE_P(OtherUnit, LateAnswerToAResend, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "KnownToRepeat" : "NotYetKnown"; });

// A unit that answers each of its requests only on the resend, its answer to the resend coming
// during the next unit's read, again and again: the log names its first late answer, and counts
// the others (each a comms error all the same); it tells how many more came every five minutes
// on the clock while they go on, when the unit answers in time again, and when the port closes.
TEST_F(SerialCommsTest, ASteadilyLateUnitsLateAnswersAreNamedOnce_AndCounted) {
  CFramedUnit* other = AddUnitSix();
  m_host.superDebug = false;
  SetCheckedRead(other, 6, kOtherDevice, 0x50, 2);
  ASSERT_TRUE(Run());
  auto lateRound = [&] { ReadFiveLateThenSix(other); };
  for (int round = 0; round < 4; ++round) lateRound();
  const std::string first =
      "Late answer from device ID 5 received after 0.00ms while reading device ID 99, Command = 0x4F - not taken - "
      "Comms Error Count = 1\n";
  EXPECT_EQ(m_host.lines, std::vector<std::string>{first});
  EXPECT_EQ(m_comms.GetErrorCount(), 4u);

  // Five minutes on: the next one tells how many more came.
  m_clock.AdvanceUs(CLateAnswerTally::kTellEveryUs);
  lateRound();
  lateRound();
  const std::string goOn = "Late answers from device ID 5: 4 more not taken and go on - Comms Error Count = 5\n";
  EXPECT_EQ(m_host.lines, (std::vector<std::string>{first, goOn}));

  // Unit 5 answers in time: the one more is told, and its next late answer named again.
  SetCheckedRead(m_unit, 5, kDevice, 0x4F, 1);
  ASSERT_TRUE(Run());
  const std::string ended =
      "Late answers from device ID 5: 1 more not taken before it answered in time - Comms Error Count = 6\n";
  EXPECT_EQ(m_host.lines, (std::vector<std::string>{first, goOn, ended}));
  lateRound();
  lateRound();
  ASSERT_EQ(m_host.lines.size(), 4u);
  EXPECT_EQ(m_host.lines[3].rfind("Late answer from device ID 5 received after", 0), 0u) << m_host.lines[3];
  m_comms.Close();
  EXPECT_EQ(m_host.lines.back(), "Late answers from device ID 5: 1 more not taken - Comms Error Count = 8\n");
  EXPECT_EQ(m_comms.GetErrorCount(), 8u);
}

// The watch on a unit ends as soon as its late answer has come, also when no read was running
// then: the next request looks at what came before its write purges it.
TEST_F(SerialCommsTest, WatchOnTheResentUnitEndsOnceItsLateAnswerHasCome) {
  CFramedUnit* other = AddUnitSix();
  SetCheckedRead(other, 6, kOtherDevice, 0x50, 2);
  ASSERT_TRUE(Run());
  // The first send's answer comes with the resend; the resend's own answer while the line is idle.
  m_bus.InjectFault(SimFault::HeldUntil(1));
  m_bus.InjectFault(SimFault::HeldUntil(0));
  SetCheckedRead(m_unit, 5, kDevice, 0x4F, 1);
  ASSERT_TRUE(Run());
  ASSERT_TRUE(Awaits(kDevice));
  m_bus.ReleaseHeldAnswers();
  ASSERT_TRUE(m_bus.WaitForHeldAnswers(5000));
  EXPECT_TRUE(Awaits(kDevice));  // nobody has read it yet

  SetCheckedRead(other, 6, kOtherDevice, 0x50, 2);
  ASSERT_TRUE(Run());
  EXPECT_EQ(Received()[7], 2);
  EXPECT_FALSE(Awaits(kDevice));
  EXPECT_EQ(m_comms.GetErrorCount(), 0u);
}

// Two answers lost, the third send answered: the unit is passed over (while others have work) as
// long as a request of its own that could take a late answer would wait for it, that is as long
// as its sends took on the clock, and 35 ms: not only one read time-out (here about 1.1 s), after
// which its next request would hold the line for the rest.
TEST_F(SerialCommsTest, WatchOnTheResentUnitLastsAsLongAsItsTransactionTook) {
  m_comms.SetExtraTimeout(1000);
  m_bus.Stop();
  m_bus.Add<CClockMover>(m_clock, 1000);
  m_bus.Start();
  m_bus.InjectFaults(SimFault::Silence(), 2);
  SetCheckedRead(m_unit, 5, kDevice, 0x4F, 1);
  ASSERT_TRUE(Run());
  ASSERT_EQ(m_comms.Transaction().receivedLength, 20u);
  // The sends took 2 s on the clock from the end of the first (3 s when the bus moved the clock
  // before that end was taken).
  m_clock.AdvanceMs(2034);
  EXPECT_TRUE(Awaits(kDevice));
  m_clock.AdvanceMs(3035 - 2034);
  EXPECT_FALSE(Awaits(kDevice));
}

// The first send's end is when its last byte left, however late this thread notes it: here the
// unit has had the request, and the clock has moved on 60 ms, before the write's completion runs.
// The unit answers only the resend, with the first send's answer, the resend's still to come: its
// watch lasts as long as the sends took from the first send (60 ms less its 1.4 ms on the wire),
// and 35 ms, not the 35 ms alone that a late note would leave it, after which another unit's
// request would take that late answer for junk.
TEST_F(SerialCommsTest, WatchOnTheResentUnitIsNotShortenedByAWriteCompletionNotedLate) {
  m_bus.Stop();
  m_bus.Add<CClockMover>(m_clock, [first = true](const SimBytes&) mutable -> std::int64_t {
    const bool wasFirst = first;
    first = false;
    return wasFirst ? 60000 : 0;
  });
  m_bus.Start();
  m_bus.InjectFaults(SimFault::HeldUntil(1), 2);
  SetCheckedRead(m_unit, 5, kDevice, 0x4F, 1);
  const std::size_t before = m_bus.RequestCount();
  m_comms.StartWrite(true);
  ASSERT_TRUE(m_bus.WaitForRequests(before + 1, 20000));
  ASSERT_TRUE(m_comms.WaitForCompletion());
  ASSERT_TRUE(m_bus.WaitForRequests(m_bus.RequestCount(), 20000));
  ASSERT_EQ(m_bus.RequestCount(), before + 2);
  ASSERT_EQ(Received()[7], 1);
  m_clock.AdvanceMs(90);
  EXPECT_TRUE(Awaits(kDevice));
  m_clock.AdvanceMs(5);
  EXPECT_FALSE(Awaits(kDevice));
}

// A resend to a unit of one family holds up no request to the other: both families answer with
// 0xA8, but a processor's reply names its ID in byte 4 where a Zel unit's names the top group of
// its ID (0 for any real ID), so each refuses the other's late answer, whatever its length. The
// late answer comes during the other unit's read, is named for its unit and dropped, and the
// other unit's own answer is read on. Only where the two requests agree at every byte both check
// (a processor at an ID that is a multiple of 128 whose command equals bits 8 to 14 of the Zel
// unit's ID) is the late answer drained first (here it has come before that request).
struct CrossFamilyCase {
  const char* name;
  bool zelResent;              // the Zel unit's request was resent, else the processor's
  std::uint8_t processorId;    // the processor-layout unit's ID byte
  std::uint8_t command;        // its command
  std::uint32_t processorLength;
  bool waits;
};

const CrossFamilyCase kCrossFamilyCases[] = {
    {"ZelResentProcessorGoesAtOnce", true, 9, 0x4F, 24, false},
    {"ZelResentProcessorReadOfFewerBytesGoesAtOnce", true, 9, 0x4F, 20, false},
    {"ZelResentProcessorReadOfMoreBytesGoesAtOnce", true, 9, 0x4F, 30, false},
    {"ProcessorResentZelGoesAtOnce", false, 9, 0x4F, 24, false},
    {"ProcessorAtAMultipleOf128WithTheZelIdsCommandWaits", true, 0x80, 0x00, 24, true},
};

class CrossFamilyLateAnswer : public SerialCommsTest, public ::testing::WithParamInterface<CrossFamilyCase> {};

TEST_P(CrossFamilyLateAnswer, HoldsUpNoRequestToTheOtherFamilyThatTellsItApart) {
  const CrossFamilyCase& c = GetParam();
  m_host.superDebug = false;
  m_bus.Stop();
  CFramedUnit* processor = m_bus.Add<CFramedUnit>(c.processorId);
  m_bus.Start();
  AddZelUnit();
  CDevice* const processorDevice = kOtherDevice;
  auto readProcessor = [&](std::uint8_t tag) {
    SetCheckedRead(processor, c.processorId, processorDevice, c.command, tag, c.processorLength);
  };
  // Both units show that their replies repeat their requests' headers.
  readProcessor(1);
  ASSERT_TRUE(Run());
  SetZelRead(0x41, 24);
  ASSERT_TRUE(Run());
  ASSERT_EQ(m_comms.Transaction().receivedLength, 24u);
  ASSERT_EQ(m_comms.GetErrorCount(), 0u);

  // The resent unit's first answer waits while the resend is answered at once, and leaves when
  // the other unit is asked, just ahead of that unit's answer; or, where the other unit's request
  // could take it, before that request.
  m_bus.InjectFault(c.waits ? SimFault::HeldUntil(0) : SimFault::HeldUntil(2));
  if (c.zelResent) {
    SetZelRead(0x41, 24);
  } else {
    readProcessor(2);
  }
  ASSERT_TRUE(Run());
  ASSERT_EQ(m_comms.Transaction().receivedLength, 24u);
  const CDevice* resent = c.zelResent ? kZelDevice : processorDevice;
  ASSERT_TRUE(Awaits(resent));
  const std::size_t before = m_bus.RequestCount();
  if (c.waits) {
    m_bus.ReleaseHeldAnswers();
    ASSERT_TRUE(m_bus.WaitForHeldAnswers(5000));
  }

  if (c.zelResent) {
    readProcessor(3);
  } else {
    SetZelRead(0x41, 24);
  }
  ASSERT_TRUE(Run());
  const CControlMessage& t = m_comms.Transaction();
  ASSERT_EQ(t.receivedLength, t.expectedLength);
  if (c.zelResent) {
    EXPECT_EQ(Received()[7], 3);  // the processor's own reply
  } else {
    EXPECT_EQ(Received()[7], kZelId & 0x7F);
    EXPECT_EQ(Received()[9], 0x41);
  }
  EXPECT_EQ(m_bus.RequestCount(), before + 1);  // no resend
  EXPECT_FALSE(Awaits(resent));
  if (c.waits) {
    EXPECT_EQ(m_comms.GetErrorCount(), 0u);
    EXPECT_TRUE(m_host.lines.empty());
  } else {
    const std::string reader = c.zelResent ? "99" : "100";
    const std::string late = c.zelResent ? "100" : "99";
    const std::string command = c.zelResent ? "0x41" : "0x4F";
    EXPECT_EQ(m_comms.GetErrorCount(), 1u);
    EXPECT_EQ(m_host.lines, std::vector<std::string>{"Late answer from device ID " + late +
                                                     " received after 0.00ms while reading device ID " + reader +
                                                     ", Command = " + command +
                                                     " - not taken - Comms Error Count = 1\n"});
  }
}

INSTANTIATE_TEST_SUITE_P(Families, CrossFamilyLateAnswer, ::testing::ValuesIn(kCrossFamilyCases),
                         [](const auto& info) { return std::string(info.param.name); });

// On a bus of alike units one late answer costs one named line and no resend: the unit asked
// next does not refuse it and resend at once, which made the next unit refuse that one's
// answer in turn.
TEST_F(SerialCommsTest, OneLateAnswerOnABusOfAlikeUnitsCostsNoChainOfRefusals) {
  m_bus.Stop();
  std::vector<CFramedUnit*> units{m_unit};
  for (std::uint8_t id = 6; id <= 8; ++id) units.push_back(m_bus.Add<CFramedUnit>(id));
  m_bus.Start();
  auto read = [&](std::size_t i, std::uint8_t tag) {
    const auto id = std::uint8_t(5 + i);
    SetCheckedRead(units[i], id, i == 0 ? kDevice : reinterpret_cast<CDevice*>(std::uintptr_t(0x6000 + i)), 0x3E,
                   tag);
  };
  m_host.superDebug = false;
  for (std::size_t i = 0; i < units.size(); ++i) {
    read(i, 1);
    ASSERT_TRUE(Run());
  }
  // Unit 5's first answer comes late: the resend is answered, and the late answer comes during
  // unit 6's read, ahead of unit 6's own.
  m_bus.InjectFault(SimFault::HeldUntil(2));
  read(0, 2);
  ASSERT_TRUE(Run());
  const std::size_t before = m_bus.RequestCount();
  // The others are read in turn.
  int reads = 0;
  for (int round = 0; round < 20; ++round) {
    for (std::size_t i = 1; i < units.size(); ++i, ++reads) {
      read(i, std::uint8_t(10 + round));
      ASSERT_TRUE(Run());
      ASSERT_EQ(m_comms.Transaction().receivedLength, 20u);
      ASSERT_EQ(Received()[4], 5 + i);
      ASSERT_EQ(Received()[7], 10 + round);
    }
  }
  EXPECT_TRUE(m_bus.WaitForHeldAnswers(5000));
  EXPECT_EQ(m_bus.RequestCount(), before + std::size_t(reads));
  EXPECT_EQ(m_host.lines,
            std::vector<std::string>{"Late answer from device ID 5 received after 0.00ms while reading device ID 99, "
                                     "Command = 0x3E - not taken - Comms Error Count = 1\n"});
}

// A request resent after silence and never answered in time: its unit's three answers come
// later, during the next unit's read and ahead of its own reply, and each is named as that
// unit's late answer and dropped, never taken for the reply nor refused as one to another
// request; the reply is read whole behind them. So too at the first read-out, when nothing is
// known yet of the late unit, and its 27-byte answers come in front of a 790-byte reply (not
// refused as "length in return = 26").
struct FailedRequestCase {
  const char* name;
  bool lateUnitKnownToRepeat;
  std::uint32_t lateLength, replyLength;
};

class LateAnswersToAFailedRequest : public SerialCommsTest, public ::testing::WithParamInterface<FailedRequestCase> {};

TEST_P(LateAnswersToAFailedRequest, AreNamedForTheirUnitDuringTheNextUnitsRead) {
  const FailedRequestCase& c = GetParam();
  CFramedUnit* other = AddUnitSix();
  if (c.lateUnitKnownToRepeat) {
    SetCheckedRead(other, 6, kOtherDevice, 0x50, 2);
    ASSERT_TRUE(Run());
    SetCheckedRead(m_unit, 5, kDevice, 0x4F, 1, c.lateLength);
    ASSERT_TRUE(Run());
  }
  m_host.superDebug = false;
  const std::size_t before = m_bus.RequestCount();
  m_bus.InjectFault(SimFault::HeldUntil(3));
  m_bus.InjectFault(SimFault::HeldUntil(2));
  m_bus.InjectFault(SimFault::HeldUntil(1));
  SetCheckedRead(m_unit, 5, kDevice, 0x4F, 1, c.lateLength);
  ASSERT_TRUE(Run());
  ASSERT_EQ(m_comms.Transaction().receivedLength, 0u);
  SetCheckedRead(other, 6, kOtherDevice, 0x50, 2, c.replyLength);
  ASSERT_TRUE(Run());
  EXPECT_EQ(Received(), MakeFramedReply(0xA8, CheckedReplyBody(6, 0x50, 2, c.replyLength)));
  EXPECT_EQ(m_bus.RequestCount(), before + 4);
  // The first late answer is named; the two after it are counted.
  EXPECT_EQ(m_host.lines, (std::vector<std::string>{
                              "No reply received from device ID 5 after 0.00ms, Command = 0x4F - aborting - Comms "
                              "Error Count = 1\n",
                              "Late answer from device ID 5 received after 0.00ms while reading device ID 99, Command = "
                              "0x4F - not taken - Comms Error Count = 2\n"}));
  EXPECT_EQ(m_comms.GetErrorCount(), 4u);
}

INSTANTIATE_TEST_SUITE_P(Cases, LateAnswersToAFailedRequest,
                         ::testing::Values(FailedRequestCase{"UnitKnownToRepeatItsHeader", true, 20, 20},
                                           FailedRequestCase{"FirstReadOutInFrontOfALongReply", false, 27, 790}),
                         [](const auto& info) { return std::string(info.param.name); });

// A request that may meet silence only once or twice (a unit most likely switched off) ends
// unanswered after that many sends. Its unit's answers, come late during the next unit's read,
// are named and dropped, and tell that the unit is alive.
class SilentSendsLimit : public SerialCommsTest, public ::testing::WithParamInterface<std::uint32_t> {};

TEST_P(SilentSendsLimit, EndsTheTransactionAfterThatManySends_AndTheLateAnswersNameTheUnitAlive) {
  const std::uint32_t limit = GetParam();
  CFramedUnit* other = AddUnitSix();
  SetCheckedRead(other, 6, kOtherDevice, 0x50, 2);
  ASSERT_TRUE(Run());
  SetCheckedRead(m_unit, 5, kDevice, 0x4F, 1);
  ASSERT_TRUE(Run());
  ASSERT_TRUE(m_comms.TakeUnitsHeardLate().empty());
  m_host.superDebug = false;
  const std::size_t before = m_bus.RequestCount();
  // Every answer of unit 5 leaves with unit 6's request.
  for (std::uint32_t send = limit; send >= 1; --send) m_bus.InjectFault(SimFault::HeldUntil(send));
  SetCheckedRead(m_unit, 5, kDevice, 0x4F, 1);
  m_comms.Transaction().maxSilentSends = limit;
  ASSERT_TRUE(Run());
  EXPECT_EQ(m_comms.Transaction().receivedLength, 0u);
  EXPECT_EQ(m_bus.RequestCount(), before + limit);
  SetCheckedRead(other, 6, kOtherDevice, 0x50, 2);
  ASSERT_TRUE(Run());
  EXPECT_EQ(Received(), MakeFramedReply(0xA8, CheckedReplyBody(6, 0x50, 2, 20)));
  // The first late answer is named, a second counted.
  EXPECT_EQ(m_host.lines,
            (std::vector<std::string>{
                "No reply received from device ID 5 after 0.00ms, Command = 0x4F - aborting - Comms Error Count = 1\n",
                "Late answer from device ID 5 received after 0.00ms while reading device ID 99, Command = 0x4F - not "
                "taken - Comms Error Count = 2\n"}));
  EXPECT_EQ(m_comms.GetErrorCount(), 1u + limit);
  EXPECT_EQ(m_comms.TakeUnitsHeardLate(), std::vector<std::uint64_t>{Unit(kDevice)});
  EXPECT_TRUE(m_comms.TakeUnitsHeardLate().empty());
}

INSTANTIATE_TEST_SUITE_P(Sends, SilentSendsLimit, ::testing::Values(1u, 2u),
                         [](const auto& info) { return std::string(info.param == 1 ? "Once" : "Twice"); });

// Unit 5's identification reply starts with 0xB8 and repeats no header. Its first send's answer
// is taken by the resend; the resend's answer comes at the front of unit 6's read. It is dropped
// as unit 5's late answer, unit 6's own reply read behind it, with no retry spent on it.
TEST_F(SerialCommsTest, LateAnswerWithAnotherStartByteInFrontOfARead_IsDroppedWithoutARetry) {
  CFramedUnit* other = AddUnitSix();
  SetCheckedRead(other, 6, kOtherDevice, 0x50, 2);
  ASSERT_TRUE(Run());
  Bytes body(17);
  for (std::size_t i = 0; i < body.size(); ++i) body[i] = std::uint8_t(0x40 + i);
  const Bytes ident = MakeFramedReply(0xB8, body);
  for (int send = 0; send < 2; ++send) {
    SimFault late = SimFault::HeldUntil(1);
    late.replace = ident;
    m_bus.InjectFault(late);
  }
  CControlMessage& t = m_comms.Transaction();
  t.frame[0] = 0xB0;
  t.frame[1] = 0x05;
  t.Set(0x99, 2, 21, kDevice, false, 0xB8, 0, 0);
  ASSERT_TRUE(Run());
  ASSERT_EQ(Received(), ident);
  m_host.lines.clear();
  SetCheckedRead(other, 6, kOtherDevice, 0x50, 2);
  ASSERT_TRUE(Run());
  EXPECT_EQ(Received(), MakeFramedReply(0xA8, CheckedReplyBody(6, 0x50, 2, 20)));
  EXPECT_EQ(m_comms.GetRetryCount(), 0u);
  EXPECT_EQ(m_host.lines, (std::vector<std::string>{"Late answer from device ID 5 received after 0.00ms while reading "
                                                    "device ID 99, Command = 0x99 - not taken - Comms Error Count = 1\n"}));
  EXPECT_EQ(m_comms.TakeUnitsHeardLate(), std::vector<std::uint64_t>{Unit(kDevice)});
}

// Unit 5's 20-byte answer to a resent request comes at the front of its next, 60-byte read,
// whose own reply comes only later: the late answer is dropped and the reply read on with a
// fresh wait, rather than the late answer being taken for the start of a reply cut short.
TEST_F(SerialCommsTest, ShorterLateAnswerInFrontOfALongerRead_IsDroppedAndTheReplyReadOn) {
  SetCheckedRead(m_unit, 5, kDevice, 0x4F, 1);
  ASSERT_TRUE(Run());
  m_bus.InjectFault(SimFault::HeldUntil(1));
  m_bus.InjectFault(SimFault::HeldUntil(1));
  SetCheckedRead(m_unit, 5, kDevice, 0x4F, 1);
  ASSERT_TRUE(Run());
  ASSERT_EQ(m_comms.Transaction().receivedLength, 20u);
  // The next request, of another command and longer, could take none of its answers: it goes
  // at once.
  m_host.lines.clear();
  m_bus.InjectFault(SimFault::HeldUntil(0));
  ReleaseHeldAnswersAtLineStarting("Late answer from device ID 5");
  SetCheckedRead(m_unit, 5, kDevice, 0x50, 3, 60);
  ASSERT_TRUE(Run());
  EXPECT_EQ(Received(), MakeFramedReply(0xA8, CheckedReplyBody(5, 0x50, 3, 60)));
  EXPECT_EQ(m_bus.RequestCount(), 4u);
  EXPECT_EQ(m_host.lines, (std::vector<std::string>{"Late answer from device ID 5 received after 0.00ms while reading "
                                                    "device ID 5, Command = 0x4F - not taken - Comms Error Count = 1\n"}));
}

TEST_F(SerialCommsTest, LateAnswerToAFailedRequestIsRefusedByTheNextRequestItDoesNotEcho) {
  // The unit's replies repeat the request's unit ID and command, as one of them has shown.
  const Bytes body{0x10, 0x05, 0x00, 0x4F, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C};
  m_unit->SetReply(0x4F, body);
  SetRead();
  m_comms.Transaction().replyEchoMask = (1u << 4) | (1u << 6);
  ASSERT_TRUE(Run());
  ASSERT_EQ(Received(), MakeFramedReply(0xA8, body));
  // A request that names no bytes to compare: nothing tells its late answers apart. The third
  // send's answer comes while the next request, to another command, waits for its own.
  m_bus.InjectFaults(SimFault::Silence(), 2);
  m_bus.InjectFault(SimFault::HeldUntil(1));
  SetRead();
  ASSERT_TRUE(Run());
  ASSERT_EQ(m_comms.Transaction().receivedLength, 0u);

  const Bytes otherBody{0x10, 0x05, 0x00, 0x50, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x01, 0x02, 0x03, 0x04, 0x05};
  m_unit->SetReply(0x50, otherBody);
  SetRead(20, 0x50);
  m_comms.Transaction().replyEchoMask = (1u << 4) | (1u << 6);
  ASSERT_TRUE(Run());
  EXPECT_EQ(Received(), MakeFramedReply(0xA8, otherBody));
  EXPECT_EQ(m_comms.GetErrorCount(), 2u);  // the failed read and the refused answer
  EXPECT_EQ(m_host.lines.back(),
            "Reply to another request received from device ID 5 after 0.00ms, Command = 0x50 - unit ID or command "
            "does not match - Comms Error Count = 2\n");
}

// A unit answers wrongly, naming another unit, whose late answer to the same command may be
// due. That wrong reply is refused and the request sent again at once; it is not taken for the
// other unit's late answer (and its read not left to run out) unless nothing tells the two
// apart: a late answer is owed only by a send that went unanswered (one answered wrongly has had
// its answer), and each unit's replies carry its own type in byte 3.
struct WrongReplyCase {
  const char* name;
  bool otherSentAgainAfterSilence;  // else after a wrong reply of its own
  std::uint8_t otherType;
  bool takenForTheLateAnswer;
};

const WrongReplyCase kWrongReplyCases[] = {
    {"OtherUnitAskedAgainAfterAWrongReplyOwesNothing", false, 0x10, false},
    {"OtherUnitOfAnotherTypeOwingAnAnswer", true, 0x11, false},
    {"OtherUnitOfTheSameTypeOwingAnAnswer", true, 0x10, true},
};

class WrongReplyNamingAnotherUnit : public SerialCommsTest, public ::testing::WithParamInterface<WrongReplyCase> {};

TEST_P(WrongReplyNamingAnotherUnit, IsRefusedUnlessItCannotBeToldFromThatUnitsLateAnswer) {
  const WrongReplyCase& c = GetParam();
  m_host.superDebug = false;
  CFramedUnit* other = AddUnitSix();
  auto readOther = [&](std::uint8_t tag) {
    SetCheckedRead(other, 6, kOtherDevice, 0x4F, tag);
    other->SetReply(0x4F, CheckedReplyBody(6, 0x4F, tag, 20, c.otherType));
  };
  SetCheckedRead(m_unit, 5, kDevice, 0x4F, 1);
  ASSERT_TRUE(Run());
  readOther(1);
  ASSERT_TRUE(Run());
  // Unit 6's first send is met by silence, or by a wrong reply (naming unit 7); the resend is answered.
  m_bus.InjectFault(c.otherSentAgainAfterSilence
                        ? SimFault::Silence()
                        : SimFault::Replace(MakeFramedReply(0xA8, CheckedReplyBody(7, 0x4F, 2, 20, c.otherType))));
  readOther(2);
  ASSERT_TRUE(Run());
  ASSERT_EQ(Received()[7], 2);
  // Only a send met by silence owes an answer, for which unit 6 is passed over.
  EXPECT_EQ(Awaits(kOtherDevice), c.otherSentAgainAfterSilence);
  const std::uint32_t errorsBefore = m_comms.GetErrorCount();
  const std::size_t requestsBefore = m_bus.RequestCount();
  m_host.lines.clear();

  // Unit 5 answers naming unit 6, then answers right.
  m_bus.InjectFault(SimFault::Replace(MakeFramedReply(0xA8, CheckedReplyBody(6, 0x4F, 3, 20))));
  SetCheckedRead(m_unit, 5, kDevice, 0x4F, 4);
  ASSERT_TRUE(Run());
  EXPECT_EQ(Received(), MakeFramedReply(0xA8, CheckedReplyBody(5, 0x4F, 4, 20)));
  EXPECT_EQ(m_bus.RequestCount(), requestsBefore + 2);
  const std::string line =
      c.takenForTheLateAnswer
          ? "Late answer from device ID 99 received after 0.00ms while reading device ID 5, Command = 0x4F - not taken"
          : "Reply to another request received from device ID 5 after 0.00ms, Command = 0x4F - unit ID or command "
            "does not match";
  // (Taken for the late answer, the wrong reply also costs a read that runs out for nothing.)
  EXPECT_EQ(m_comms.GetErrorCount(), errorsBefore + 1);
  EXPECT_EQ(m_host.lines,
            std::vector<std::string>{line + " - Comms Error Count = " + std::to_string(errorsBefore + 1) + "\n"});
}

INSTANTIATE_TEST_SUITE_P(Cases, WrongReplyNamingAnotherUnit, ::testing::ValuesIn(kWrongReplyCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SerialCommsTest, BroadcastWithoutReplyIsDoneWhenTheWriteCompletes) {
  CControlMessage& t = m_comms.Transaction();
  const Bytes frame{0xBE, 0x00, 0x00, 0x00, 0x00};
  std::memcpy(t.frame, frame.data(), frame.size());
  t.Set(0xBE, 5, 0, nullptr, false, 0xA8, 0, 0);
  ASSERT_TRUE(Run());
  EXPECT_TRUE(m_comms.IsDone());
  EXPECT_EQ(t.receivedLength, 0u);
  ASSERT_TRUE(m_bus.WaitForRequests(1, 5000));
  EXPECT_EQ(m_bus.Requests()[0], frame);
}

TEST_F(SerialCommsTest, NoLogSuppressesCountingAndWriting) {
  m_comms.SetNoLog(true);
  ASSERT_TRUE(ReadWith(SimFault::Silence(), 3));
  EXPECT_EQ(m_comms.Transaction().receivedLength, 0u);
  EXPECT_EQ(m_comms.GetErrorCount(), 0u);
  EXPECT_TRUE(m_host.lines.empty());
}

TEST_F(SerialCommsTest, ErrorLinesWithoutTextAndTheResetLine) {
  m_comms.LogCommsError(nullptr, true);
  m_comms.LogCommsError("Lost", false);
  m_comms.ResetErrorCount();
  EXPECT_EQ(m_comms.GetErrorCount(), 0u);
  m_host.logCommsErrors = false;
  m_comms.ResetErrorCount();
  EXPECT_EQ(m_host.lines, (std::vector<std::string>{"Comms Error Count = 1\n",
                                                    "Lost - Comms Error Count = 1\n",
                                                    "Comms Error Count Reset\n"}));
}

TEST_F(SerialCommsTest, ReadErrorIsATransportErrorNotABusyLoop) {
  m_line->FailNextRead();
  SetRead();
  EXPECT_FALSE(Run());
  EXPECT_EQ(m_comms.GetStatus(), kCommsError);
  EXPECT_FALSE(m_comms.IsDone());
  EXPECT_EQ(m_comms.Transaction().receivedLength, 0u);
}

TEST_F(SerialCommsTest, HungUpLineFailsTheTransactionAndTheNextStart) {
  m_line->SetHangup(true);
  SetRead();
  EXPECT_FALSE(Run());
  EXPECT_EQ(m_comms.GetStatus(), kCommsError);
  m_comms.SetStatus(kCommsIdle);
  m_comms.StartWrite(true);
  EXPECT_EQ(m_comms.GetStatus(), kCommsError);
}

TEST_F(SerialCommsTest, CompletionsRunOnlyOnTheStartingThreadInsideAlertableWaits) {
  SetRead();
  m_comms.StartWrite(true);
  ASSERT_TRUE(m_bus.WaitForRequests(1, 5000));
  // The whole reply has reached the port: its read is over, only its completion waits.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (m_line->BytesToPort() < 20 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
  ASSERT_EQ(m_line->BytesToPort(), 20u);
  EXPECT_FALSE(m_comms.IsDone());  // nothing runs outside an alertable wait
  EXPECT_EQ(m_comms.GetStatus(), kCommsPending);
  for (int i = 0; i < 2500 && !m_comms.IsDone(); ++i) SleepEx(2, true);
  EXPECT_TRUE(m_comms.IsDone());
  EXPECT_EQ(m_comms.Transaction().receivedLength, 20u);
}

TEST_F(SerialCommsTest, RepliesPacedAt57600BaudTakeTheirWireTime) {
  m_bus.SetPacing(57600);
  m_unit->SetReplyLength(0x4F, 100);
  SetRead(100);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(Run());
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(m_comms.Transaction().receivedLength, 100u);
  // 108 bytes at 5760 bytes/s: 18.75 ms.
  EXPECT_GE(took, std::chrono::microseconds(18700));
}

namespace {

// A request in one of the two frame layouts, the bytes its reply must repeat, and a reply
// that differs from the good one in one of them.
struct EchoCase {
  const char* name;
  Bytes request;  // without its checksum
  std::uint32_t mask;
  Bytes goodBody;  // reply bytes 3 on, before the checksum
  std::size_t wrongAt;  // the reply byte that names another unit or command
};

std::string EchoCaseName(const ::testing::TestParamInfo<EchoCase>& info) { return info.param.name; }

// Processor layout: F0, length, type, ID (byte 4), 0, command (byte 6). Zel layout: F0,
// length, type, ID in four 7-bit groups (bytes 4 to 7), 0, command (byte 9).
const EchoCase kEchoCases[] = {
    {"ProcessorOtherUnit", {0xF0, 0x00, 0x07, 0x10, 0x05, 0x00, 0x4F}, 0x50,
     {0x10, 0x05, 0x00, 0x4F, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C}, 4},
    {"ProcessorOtherCommand", {0xF0, 0x00, 0x07, 0x10, 0x05, 0x00, 0x4F}, 0x50,
     {0x10, 0x05, 0x00, 0x4F, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C}, 6},
    {"ZelOtherUnitHighGroup", {0xF0, 0x00, 0x0A, 0x33, 0x01, 0x02, 0x03, 0x04, 0x00, 0x3E}, 0x2F0,
     {0x33, 0x01, 0x02, 0x03, 0x04, 0x00, 0x3E, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16}, 4},
    {"ZelOtherUnitLowGroup", {0xF0, 0x00, 0x0A, 0x33, 0x01, 0x02, 0x03, 0x04, 0x00, 0x3E}, 0x2F0,
     {0x33, 0x01, 0x02, 0x03, 0x04, 0x00, 0x3E, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16}, 7},
    {"ZelOtherCommand", {0xF0, 0x00, 0x0A, 0x33, 0x01, 0x02, 0x03, 0x04, 0x00, 0x3E}, 0x2F0,
     {0x33, 0x01, 0x02, 0x03, 0x04, 0x00, 0x3E, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16}, 9},
};

class ReplyEchoTest : public SerialCommsTest, public ::testing::WithParamInterface<EchoCase> {
 protected:
  void SetEchoedRead() {
    const EchoCase& c = GetParam();
    CControlMessage& t = m_comms.Transaction();
    std::memcpy(t.frame, c.request.data(), c.request.size());
    t.frame[c.request.size()] = Checksum7Bit(c.request.data(), c.request.size());
    const auto replyLength = std::uint32_t(c.goodBody.size() + 4);
    t.Set(0x4F, std::uint32_t(c.request.size() + 1), replyLength, kDevice, false, 0xA8, 0, 0);
    t.replyEchoMask = c.mask;
  }
  // One reply that repeats the request has been taken: the unit is held to it from now on.
  void ShowUnitRepeatsHeader() {
    m_bus.InjectFault(SimFault::Replace(GoodReply()));
    SetEchoedRead();
    ASSERT_TRUE(Run());
    ASSERT_EQ(Received(), GoodReply());
  }
  // The next reply names another unit or command, and it is taken for this request.
  void ExpectWrongReplyTaken() {
    m_bus.InjectFault(SimFault::Replace(WrongReply()));
    SetEchoedRead();
    ASSERT_TRUE(Run());
    EXPECT_EQ(Received(), WrongReply());
    EXPECT_FALSE(m_comms.Transaction().failed);
  }
  Bytes GoodReply() const { return MakeFramedReply(0xA8, GetParam().goodBody); }
  Bytes WrongReply() const {
    Bytes body = GetParam().goodBody;
    body[GetParam().wrongAt - 3] ^= 0x08;
    return MakeFramedReply(0xA8, body);
  }
  std::string RefusedLine(int count) const {
    return "Reply to another request received from device ID 5 after 0.00ms, Command = 0x4F - unit ID or command "
           "does not match - Comms Error Count = " +
           std::to_string(count) + "\n";
  }
};

}  // namespace

TEST_P(ReplyEchoTest, ReplyNamingAnotherUnitOrCommandIsRefusedCountedAndRequestedAgain) {
  m_host.superDebug = false;
  ShowUnitRepeatsHeader();
  m_bus.InjectFault(SimFault::Replace(WrongReply()));
  m_bus.InjectFault(SimFault::Replace(GoodReply()));
  SetEchoedRead();
  ASSERT_TRUE(Run());
  EXPECT_EQ(Received(), GoodReply());
  EXPECT_FALSE(m_comms.Transaction().failed);
  EXPECT_EQ(m_bus.RequestCount(), 3u);
  EXPECT_EQ(m_comms.GetErrorCount(), 1u);
  EXPECT_EQ(m_host.lines, std::vector<std::string>{RefusedLine(1)});
}

TEST_P(ReplyEchoTest, OnlyRepliesFromAnotherRequestFailTheTransactionAfterTwoResends) {
  m_host.superDebug = false;
  ShowUnitRepeatsHeader();
  m_bus.InjectFaults(SimFault::Replace(WrongReply()), 3);
  SetEchoedRead();
  ASSERT_TRUE(Run());
  EXPECT_EQ(m_comms.Transaction().receivedLength, 0u);
  EXPECT_TRUE(m_comms.Transaction().failed);
  EXPECT_EQ(m_bus.RequestCount(), 4u);
  EXPECT_EQ(m_host.lines, (std::vector<std::string>{RefusedLine(1), RefusedLine(2), RefusedLine(3)}));
  // Three in a row: the unit at this ID no longer repeats the request, and its reply is taken.
  ExpectWrongReplyTaken();
  EXPECT_EQ(m_comms.GetErrorCount(), 3u);
}

TEST_P(ReplyEchoTest, UnitThatHasNotRepeatedTheRequestHasEveryCheckedReplyTaken) {
  m_host.superDebug = false;
  ExpectWrongReplyTaken();
  ExpectWrongReplyTaken();
  EXPECT_EQ(m_bus.RequestCount(), 2u);
  EXPECT_EQ(m_comms.GetErrorCount(), 0u);
  EXPECT_TRUE(m_host.lines.empty());
  // Once it has, the port's next open starts without that knowledge.
  ShowUnitRepeatsHeader();
  m_comms.Close();
  ASSERT_TRUE(m_comms.Open(3, 57600, true));
  ExpectWrongReplyTaken();
}

INSTANTIATE_TEST_SUITE_P(Layouts, ReplyEchoTest, ::testing::ValuesIn(kEchoCases), EchoCaseName);

TEST_F(SerialCommsTest, UnitAtALongIdIsKnownByTheLowSevenBitsOfItsIdByte) {
  // ID 200: the request names the unit by 0xC8, and the reply, whose bytes after the start byte
  // all stay below 0x80, repeats it as 0x48. ID 201's reply (0x49) answers another request.
  m_host.superDebug = false;
  Bytes body(140, 0x11), other;
  std::copy_n(Bytes{0x78, 0x48, 0x00, 0x33}.begin(), 4, body.begin());
  other = body;
  other[1] = 0x49;
  const Bytes reply = MakeFramedReply(0xA8, body);
  ASSERT_EQ(Bytes(reply.begin(), reply.begin() + 7), (Bytes{0xA8, 0x01, 0x0F, 0x78, 0x48, 0x00, 0x33}));
  m_bus.InjectFault(SimFault::Replace(reply));
  m_bus.InjectFault(SimFault::Replace(MakeFramedReply(0xA8, other)));
  m_bus.InjectFault(SimFault::Replace(reply));
  for (int i = 0; i < 2; ++i) {
    SetRequest({0xF0, 0x00, 0x08, 0x78, 0xC8, 0x00, 0x33, 0x00}, 0x33, 144, false);
    m_comms.Transaction().replyEchoMask = (1u << 4) | (1u << 6);
    ASSERT_TRUE(Run());
    EXPECT_EQ(Received(), reply);
  }
  EXPECT_EQ(m_bus.RequestCount(), 3u);
  EXPECT_EQ(m_comms.GetErrorCount(), 1u);  // ID 201's reply, refused
}

TEST_F(SerialCommsTest, ReplyTooShortToHoldTheEchoedBytesIsRefusedFromAUnitThatRepeatsThem) {
  m_host.superDebug = false;
  // A Zel request's command is byte 9; a 9-byte reply cannot repeat it.
  const Bytes header{0x33, 0x01, 0x02, 0x03, 0x04, 0x00, 0x3E};
  m_bus.InjectFault(SimFault::Replace(MakeFramedReply(0xA8, header)));
  m_bus.InjectFaults(SimFault::Replace(MakeFramedReply(0xA8, {0x33, 0x01, 0x02, 0x03, 0x04})), 3);
  const CControlMessage& t = m_comms.Transaction();
  for (std::uint32_t expected : {11u, 9u}) {
    SetRequest({0xF0, 0x00, 0x0A, 0x33, 0x01, 0x02, 0x03, 0x04, 0x00, 0x3E}, 0x3E, expected, false);
    m_comms.Transaction().replyEchoMask = 0x2F0;
    ASSERT_TRUE(Run());
  }
  EXPECT_EQ(t.receivedLength, 0u);
  EXPECT_EQ(m_comms.GetErrorCount(), 3u);
}

// A unit with fewer channels at the ID (a Nerex24, type 0x72) answers a Nerex48's names read,
// which asks for 144 bytes, with a whole frame of 96. When that frame repeats the request's unit
// ID and command, the transaction ends on it at once, as a reply of another length that the
// device can still read the unit's model from; anything less is waited for and given up as ever.
struct ShorterReplyCase {
  const char* name;
  Bytes header;       // reply bytes 3 to 6: type, ID, 0, command
  bool badChecksum;
  std::uint32_t mask;  // the request's echo mask
  bool endsOnIt;
};
void PrintTo(const ShorterReplyCase& c, std::ostream* os) { *os << c.name; }

const ShorterReplyCase kShorterReplyCases[] = {
    {"RepeatsTheHeader", {0x72, 0x05, 0x00, 0x33}, false, 0x50, true},
    {"NamesAnotherUnit", {0x72, 0x06, 0x00, 0x33}, false, 0x50, false},
    {"NamesAnotherCommand", {0x72, 0x05, 0x00, 0x34}, false, 0x50, false},
    {"LeavesTheHeaderEmpty", {0x00, 0x00, 0x00, 0x00}, false, 0x50, false},
    {"BadChecksum", {0x72, 0x05, 0x00, 0x33}, true, 0x50, false},
    {"RequestWithoutEcho", {0x72, 0x05, 0x00, 0x33}, false, 0, false},
};

class ShorterReply : public SerialCommsTest, public ::testing::WithParamInterface<ShorterReplyCase> {
 protected:
  // A8 00 5F, the header, 88 name bytes, the checksum: 96 bytes.
  Bytes Reply() const {
    Bytes body = GetParam().header;
    body.resize(92, 0x20);
    Bytes reply = MakeFramedReply(0xA8, body);
    if (GetParam().badChecksum) reply.back() ^= 0x01;
    return reply;
  }
};

TEST_P(ShorterReply, EndsTheTransactionAtOnceOnlyWhenItRepeatsTheRequestsHeader) {
  const Bytes reply = Reply();
  ASSERT_EQ(reply.size(), 96u);
  ASSERT_EQ(Bytes(reply.begin(), reply.begin() + 3), (Bytes{0xA8, 0x00, 0x5F}));
  m_bus.InjectFault(SimFault::Replace(reply));
  SetNamesRead(GetParam().mask);
  ASSERT_TRUE(Run());
  const CControlMessage& t = m_comms.Transaction();
  EXPECT_EQ(m_bus.RequestCount(), 1u);
  EXPECT_EQ(t.expectedLength, 144u);
  EXPECT_EQ(m_comms.EndedOnShorterReply(), GetParam().endsOnIt);
  if (GetParam().endsOnIt) {
    EXPECT_EQ(Received(), reply);
    m_comms.CopyReplyToTransaction();
    EXPECT_EQ(Bytes(t.frame, t.frame + t.receivedLength), reply);
    EXPECT_EQ(m_host.lines, std::vector<std::string>{"Check buffer failed, Command = 0x33 - length in return = 95 "
                                                     "should be 143 - Comms Error Count = 1\n"});
  } else {
    EXPECT_EQ(t.receivedLength, 0u);
    ASSERT_FALSE(m_host.lines.empty());
    EXPECT_EQ(m_host.lines[0].rfind("Only part of return message Received from device ID 5", 0), 0u)
        << m_host.lines[0];
  }
  // The next transaction starts afresh.
  SetRead();
  ASSERT_TRUE(Run());
  EXPECT_FALSE(m_comms.EndedOnShorterReply());
  EXPECT_EQ(Received(), UnitReply(20));
}

INSTANTIATE_TEST_SUITE_P(Replies, ShorterReply, ::testing::ValuesIn(kShorterReplyCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SerialCommsTest, ShorterReplyThatRepeatsTheHeaderEndsTheTransactionWhenItsLastPartComes) {
  // The 96-byte frame comes in two parts, the second after the first read has timed out.
  Bytes body{0x72, 0x05, 0x00, 0x33};
  body.resize(92, 0x20);
  m_unit->SetReply(0x33, body);
  const Bytes reply = MakeFramedReply(0xA8, body);
  ReleaseHeldAnswersAtLineStarting("Only part of return message");
  m_bus.InjectFault(SimFault::SplitUntilReleased(50));
  SetNamesRead(0x50);
  ASSERT_TRUE(Run());
  EXPECT_TRUE(m_comms.EndedOnShorterReply());
  EXPECT_EQ(Received(), reply);
  EXPECT_EQ(m_bus.RequestCount(), 1u);
  EXPECT_EQ(m_comms.GetErrorCount(), 1u);
}

namespace {

CDevice* const kUnitOne = reinterpret_cast<CDevice*>(std::uintptr_t(0x8000));
CDevice* const kUnitSeven = reinterpret_cast<CDevice*>(std::uintptr_t(0x9000));

// The host that names the two processors of IdentityProbe by their IDs.
class CTwoProcessorsHost : public CRecordingHost {
 public:
  std::uint32_t GetDeviceIdForLog(const CDevice* device) const override {
    return device == kUnitOne ? 1 : device == kUnitSeven ? 7 : 99;
  }
};

// What is at ID 1 when it is asked who it is, after ID 7's identification has gone unanswered in
// its time and comes late, during ID 1's read.
struct IdentityCase {
  const char* name;
  bool oneAnswers;     // the Nerex48 at ID 1 is switched on
  bool sevenOwesIt;    // the late answer is one the transport knows ID 7 still owes
  bool takenByOne;     // ID 1's request ends on a reply
  std::string line;    // the comms line that tells of ID 7's bytes
};

const IdentityCase kIdentityCases[] = {
    {"OwedAnswerBesideTheUnitAsked", true, true, true,
     "Late answer from device ID 7 received after 0.00ms while reading device ID 1, Command = 0xB0 - not taken"},
    {"OwedAnswerBesideASwitchedOffUnit", false, true, false,
     "Late answer from device ID 7 received after 0.00ms while reading device ID 1, Command = 0xB0 - not taken"},
    {"AnswerNobodyKnowsOfBesideTheUnitAsked", true, false, true,
     "Reply to another request received from device ID 1 after 0.00ms, Command = 0xB0 - unit ID or command does "
     "not match"},
    {"AnswerNobodyKnowsOfBesideASwitchedOffUnit", false, false, false,
     "Reply to another request received from device ID 1 after 0.00ms, Command = 0xB0 - unit ID or command does "
     "not match"},
};

// A Nerex48 at ID 1 and a Torvex48 at ID 7 on a bus of their own, the clock held still. Their
// identification request, B0 and the ID, is answered by B8 00 14, the model, the ID: an answer
// that names another unit is never taken for it, however little is known of the unit asked.
class IdentityProbe : public ::testing::TestWithParam<IdentityCase> {
 protected:
  void SetUp() override {
    SetClockForTests(&m_clock);
    m_one = m_bus.Add<CSimSwitchedUnit>(std::make_unique<CSimProcessorUnit>(120, 1));
    m_seven = m_bus.Add<CSimSwitchedUnit>(std::make_unique<CSimProcessorUnit>(121, 7));
    m_bus.SetSilenceEndsReads(true);
    m_bus.Start();
    m_host.superDebug = false;
    m_comms.SetHost(&m_host);
    m_comms.SetExtraTimeout(kLongReadWaitMs);
    ASSERT_TRUE(m_comms.Open(3, 57600, true));
  }
  void TearDown() override {
    m_comms.Close();
    m_bus.Stop();
    SetClockForTests(nullptr);
  }
  // The identification request to the unit at the ID, as the processors make it, sent at most
  // silentSends times into silence (0: as often as the retries allow).
  bool Probe(CDevice* device, std::uint8_t id, std::uint32_t silentSends) {
    CControlMessage& t = m_comms.Transaction();
    t.frame[0] = 0xB0;
    t.frame[1] = id;
    t.Set(0xB0, 2, 21, device, false, 0xB8, 0, 0);
    t.replyEchoMask = 1u << 1;
    t.replyEchoOffset = 3;
    t.replyEchoNamesUnit = true;
    t.maxSilentSends = silentSends;
    m_comms.StartWrite(true);
    const bool done = m_comms.WaitForCompletion();
    EXPECT_TRUE(m_bus.WaitForRequests(m_bus.RequestCount(), 20000));
    return done;
  }
  Bytes Received() const {
    return Bytes(m_comms.ReceiveBuffer(), m_comms.ReceiveBuffer() + m_comms.Transaction().receivedLength);
  }

  CTestClock m_clock;
  std::shared_ptr<CSerialLine> m_line = std::make_shared<CSerialLine>();
  CSimBus m_bus{std::make_unique<CLineWire>(m_line)};
  CSimSwitchedUnit* m_one = nullptr;
  CSimSwitchedUnit* m_seven = nullptr;
  CTwoProcessorsHost m_host;
  CSerialComms m_comms{std::make_unique<CMemorySerialPort>(m_line)};
};

}  // namespace

TEST_P(IdentityProbe, AnAnswerNamingAnotherUnitIsNeverTaken_AndAnOwedOneIsNamedForItsUnit) {
  const IdentityCase& c = GetParam();
  m_one->SetSilent(!c.oneAnswers);
  // ID 7 answers its one send only when the next request comes.
  m_seven->SetAnswerHeldForRequests(1);
  ASSERT_TRUE(Probe(kUnitSeven, 7, 1));
  ASSERT_EQ(m_comms.Transaction().receivedLength, 0u);
  m_seven->SetAnswerHeldForRequests(0);
  m_seven->SetSilent(true);
  // Without the transport's knowledge of it: the port opened again.
  if (!c.sevenOwesIt) {
    m_comms.Close();
    ASSERT_TRUE(m_comms.Open(3, 57600, true));
  }
  m_host.lines.clear();
  const std::uint64_t before = m_line->BytesToDevice();
  ASSERT_TRUE(Probe(kUnitOne, 1, 0));

  const CControlMessage& t = m_comms.Transaction();
  ASSERT_FALSE(m_host.lines.empty());
  // After ID 7's own unanswered request.
  EXPECT_EQ(m_host.lines[0], c.line + " - Comms Error Count = 2\n");
  if (c.takenByOne) {
    // B8 00 14, the Nerex48's model, ID 1.
    const Bytes reply = Received();
    ASSERT_EQ(reply.size(), 21u);
    EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 5), (Bytes{0xB8, 0x00, 0x14, 0x78, 0x01}));
    EXPECT_EQ(t.replyEcho, CControlMessage::EReplyEcho::kRepeated);
    EXPECT_EQ(m_host.lines.size(), 1u);
  } else {
    EXPECT_EQ(t.receivedLength, 0u);
    EXPECT_EQ(m_host.lines.back().rfind("No reply received from device ID 1 after", 0), 0u) << m_host.lines.back();
  }
  // The owed answer costs no send; a refused one costs one. Counted as the port sent them, two
  // bytes each: the transaction may end on ID 1's answer to its first send, come after the refusal,
  // before the bus has taken the resend.
  const std::uint64_t sends = (m_line->BytesToDevice() - before) / 2;
  if (c.takenByOne) {
    EXPECT_EQ(sends, c.sevenOwesIt ? 1u : 2u);
  } else {
    EXPECT_EQ(sends, 3u);
  }
}

INSTANTIATE_TEST_SUITE_P(Answers, IdentityProbe, ::testing::ValuesIn(kIdentityCases),
                         [](const auto& info) { return std::string(info.param.name); });

// An identification answer that leaves its ID byte empty names nobody: it is taken as ever.
TEST_F(SerialCommsTest, IdentificationAnswerNamingNobodyIsTaken) {
  m_host.superDebug = false;
  Bytes body(17, 0x20);
  body[0] = 0x78;
  body[1] = 0x00;
  const Bytes reply = MakeFramedReply(0xB8, body);
  m_bus.InjectFault(SimFault::Replace(reply));
  CControlMessage& t = m_comms.Transaction();
  t.frame[0] = 0xB0;
  t.frame[1] = 5;
  t.Set(0xB0, 2, 21, kDevice, false, 0xB8, 0, 0);
  t.replyEchoMask = 1u << 1;
  t.replyEchoOffset = 3;
  t.replyEchoNamesUnit = true;
  ASSERT_TRUE(Run());
  EXPECT_EQ(Received(), reply);
  EXPECT_EQ(t.replyEcho, CControlMessage::EReplyEcho::kEmpty);
  EXPECT_TRUE(m_host.lines.empty());
}
