// Serial transaction: write, ACK or framed reply, resynchronisation, retries and error lines.
#include "core/comms/SerialComms.h"

#include <algorithm>
#include <cstdarg>
#include <climits>
#include <cstring>

#include "core/protocol/SevenBit.h"
#include "platform/Clock.h"
#include "platform/TextFormat.h"

namespace {
// Retries after the first attempt of a transaction.
constexpr std::uint32_t kMaxRetries = CControlMessage::kMaxSends - 1;
// Shortest read time-out constant, ms.
constexpr std::uint32_t kMinReadConstant = 35;
// The most reads a drain spends on a line that never goes quiet.
constexpr int kMaxDrainReads = 16;

}  // namespace

CSerialComms::CSerialComms() : CSerialComms(CreateSerialPort()) {}

CSerialComms::CSerialComms(std::unique_ptr<ISerialPort> port) : m_port(std::move(port)) {}

CSerialComms::~CSerialComms() {
  // The host may be going too: nothing more is told of late answers.
  m_host = nullptr;
  Close();
}

void CSerialComms::SetPort(std::unique_ptr<ISerialPort> port) {
  if (IsOpen()) return;
  m_port = std::move(port);
}

namespace {
// "COM15 (/dev/pts/9): reason".
std::string PortFailureText(std::uint32_t portNumber, const std::string& device, const std::string& reason) {
  return FormatText("COM%u", unsigned(portNumber)) + (device.empty() ? std::string() : " (" + device + ")") + ": " +
         (reason.empty() ? std::string("it could not be opened") : reason);
}
}  // namespace

bool CSerialComms::Open(std::uint32_t portNumber, std::uint32_t baudRate, bool overlapped) {
  const std::string device = GetComPortDevice(portNumber);
  if (m_portNumber != 0 || m_port->IsOpen()) {
    m_openFailure = PortFailureText(portNumber, device, "a port is open already");
    return false;
  }
  if (!m_port->Open(device, baudRate)) {
    m_openFailure = PortFailureText(portNumber, device, m_port->GetLastErrorText());
    return false;
  }
  m_timeouts = SerialTimeouts{};
  m_timeouts.readInterval = 0;
  m_timeouts.readTotalMultiplier = 1;
  m_timeouts.readTotalConstant = 2;
  m_timeouts.writeTotalMultiplier = 0;
  m_timeouts.writeTotalConstant = 0;
  // A line that opened but cannot be set up is let go at once: it is never taken for open.
  if (!m_port->SetTimeouts(m_timeouts) || !m_port->Purge(kPurgeTx) || !m_port->Purge(kPurgeRx)) {
    const std::string error = m_port->GetLastErrorText();
    m_openFailure = PortFailureText(portNumber, device, "the line could not be set up" + (error.empty() ? "" : ": " + error));
    m_port->Close();
    return false;
  }
  m_device = device;
  m_openFailure.clear();
  m_overlapped = overlapped;
  m_portNumber = portNumber;
  m_retryCount = 0;
  m_drainPending = false;
  m_unansweredSends = 0;
  m_framing.OnSend();
  m_book.ClearAnswers();
  m_baudRate = baudRate;
  m_failure.clear();
  return true;
}

bool CSerialComms::CanOpen(std::uint32_t portNumber, std::uint32_t baudRate) {
  const std::string device = GetComPortDevice(portNumber);
  std::string reason = "a port is open already";
  if (m_portNumber == 0 && m_port->CanOpen(device, baudRate, &reason)) return true;
  m_openFailure = PortFailureText(portNumber, device, reason);
  return false;
}

void CSerialComms::Close() {
  if (m_portNumber != 0) TellLateAnswers(m_lateTally.TakeAll(), "");
  if (m_port) m_port->Close();
  m_portNumber = 0;
  m_device.clear();
  m_book.Clear();
}

bool CSerialComms::IsOpen() const { return m_port && m_port->IsOpen(); }

bool CSerialComms::PurgeRaw(std::uint32_t flags) { return IsOpen() && m_port->Purge(flags); }

bool CSerialComms::SetRawTimeouts(const SerialTimeouts& timeouts) {
  if (!IsOpen() || !m_port->SetTimeouts(timeouts)) return false;
  m_timeouts = timeouts;
  return true;
}

std::uint32_t CSerialComms::WriteRaw(const std::uint8_t* data, std::uint32_t n) {
  std::uint32_t written = 0;
  if (!IsOpen() || !m_port->Write(data, n, &written)) return 0;
  return written;
}

std::uint32_t CSerialComms::ReadRaw(std::uint32_t n) {
  n = std::min<std::uint32_t>(n, kReceiveBufferSize);
  std::uint32_t got = 0;
  if (!IsOpen() || !m_port->Read(m_receive, n, &got)) return 0;
  return std::min(got, n);
}

std::uint32_t CSerialComms::StartWrite(bool resetRetries) {
  m_done = false;
  const std::uint32_t length = std::uint32_t(m_transaction.FrameBytes());
  std::memcpy(m_transmit, m_transaction.frame, length);
  m_transaction.receivedLength = 0;
  m_transaction.failed = false;
  m_transaction.replyEcho = CControlMessage::EReplyEcho::kNotChecked;
  if (resetRetries) {
    // A failed transaction leaves at most the tail of what was on the wire; one that was
    // answered only after a resend may still have the answer to a later send coming, which
    // this request must not take for its own.
    const bool failedBefore = m_drainPending;
    m_drainPending = false;
    m_sends = 0;
    m_unansweredSends = 0;
    m_bytesHeardBefore = m_bytesHeard;
    m_maxSilentSends = m_transaction.maxSilentSends;
    m_framing.Begin(DescribeRequest(m_transaction.expectedLength), length, m_transaction.replyEchoOffset);
    m_unit = UnitOf(m_transaction.device);
    if ((failedBefore && !DrainLateReply(CReplyFraming::QuietGapMs(m_baudRate))) || !DrainLateAnswers() ||
        !NoteArrivedLateAnswers()) {
      Fail("setting the read time-out");
      m_done = true;
      return 0;
    }
  } else {
    // A resend asks for the reply the request asked for, not for the length a reply to another
    // request announced.
    m_transaction.expectedLength = m_framing.RequestedLength();
  }
  ++m_sends;
  if (m_sends == 1) m_firstSendStartUs = ClockMicroseconds();
  m_framing.OnSend();

  // A late answer to an earlier request must never be taken for this one: what has come is
  // dropped. The output is left alone: every write ends once its bytes have left the port, so
  // nothing of an earlier request waits there, and on a pseudo-terminal an output purge drops
  // what the other end has not read yet (a broadcast frame, which ends the moment it is written).
  m_port->Purge(kPurgeRx);
  std::uint32_t written = 0;
  if (m_overlapped) {
    if (!m_port->WriteEx(m_transmit, length,
                         [this](bool ok, std::uint32_t n) { OnWriteComplete(ok, n); })) {
      Fail("the write");
      return 0;
    }
    m_status = kCommsPending;
  } else {
    m_port->Write(m_transmit, length, &written);
  }
  if (resetRetries) m_retryCount = 0;
  return written;
}

void CSerialComms::OnWriteComplete(bool ok, std::uint32_t written) {
  m_writeEnd = QueryPerformanceCounter();
  if (m_sends <= 1) {
    // Its last byte left when the frame's time on the wire had passed after it was handed to the
    // port: a completion noted later (the thread busy elsewhere) would shorten the time the
    // transaction is known to have taken, and with it the watch for answers that come late.
    const std::int64_t onTheWireUs =
        m_baudRate != 0 ? std::int64_t(m_transaction.FrameBytes()) * 10 * 1000000 / m_baudRate : 0;
    m_firstSendEndUs = std::min(ClockMicroseconds(), m_firstSendStartUs + onTheWireUs);
  }
  if (!ok) {
    m_transaction.receivedLength = 0;
    Fail("the write");
    return;
  }
  if (written < m_transaction.FrameBytes()) {
    m_transaction.receivedLength = 0;
    m_retryCount = 0;
    m_done = true;
    m_drainPending = true;
    return;
  }
  if (m_transaction.expectedLength == 0) {
    if (!m_transaction.write) {
      m_done = true;  // broadcasts and fire-and-forget frames
      return;
    }
    m_transaction.expectedLength = 1;  // the ACK
  }
  StartRead();
}

std::uint32_t CSerialComms::StartRead() {
  const std::uint32_t expected = m_transaction.expectedLength;
  if (expected > kReceiveBufferSize) {
    // More than the receive buffer holds can never be a valid reply.
    m_transaction.receivedLength = 0;
    m_transaction.failed = true;
    m_done = true;
    return 0;
  }
  if (expected != 0) {
    m_timeouts.readTotalConstant = ReadConstantMs(expected);
    if (!m_port->SetTimeouts(m_timeouts)) {
      Fail("setting the read time-out");
      return 0;
    }
  }
  m_bytesHeld = 0;
  if (!m_overlapped) {
    std::uint32_t got = 0;
    m_port->Read(m_receive, expected, &got);
    m_bytesHeard += got;
    return got;
  }
  ReadInto(0, expected);
  return 0;
}

void CSerialComms::ReadInto(std::uint32_t offset, std::uint32_t count) {
  if (std::size_t(offset) + count > kReceiveBufferSize ||
      !m_port->ReadEx(m_receive + offset, count,
                      [this](bool ok, std::uint32_t n) { OnReadComplete(ok, n); })) {
    Fail("the read");
  }
}

void CSerialComms::Fail(const char* step) {
  m_status = kCommsError;
  const std::string reason = m_port ? m_port->GetLastErrorText() : std::string();
  m_failure = std::string(step) + " failed" + (reason.empty() ? std::string() : ": " + reason);
}

void CSerialComms::GiveUp() {
  m_transaction.receivedLength = 0;
  m_done = true;
  m_retryCount = 0;
  m_drainPending = true;
}

void CSerialComms::FailWithoutRetry() {
  m_done = true;
  m_transaction.failed = true;
  m_retryCount = 0;
  m_drainPending = true;
}

bool CSerialComms::DrainLateReply(std::uint32_t quietMs) {
  // Each read ends after quietMs with what came meanwhile; the first that brings nothing shows
  // the line quiet. Late answers among the bytes (the unit given up on answering after all) are
  // counted as they would be in a read.
  std::uint8_t scratch[kReceiveBufferSize];
  std::uint32_t held = 0;
  for (int i = 0; i < kMaxDrainReads; ++i) {
    if (held == sizeof scratch) held = 0;
    std::uint32_t got = 0;
    if (!ReadAndDrop(scratch + held, std::uint32_t(sizeof scratch) - held, quietMs, &got)) return false;
    if (got == 0) break;
    held += got;
  }
  if (held > 0) m_book.CountIn(scratch, held, ClockMicroseconds());
  return m_port->SetTimeouts(m_timeouts);
}

bool CSerialComms::ReadAndDrop(std::uint8_t* scratch, std::uint32_t count, std::uint32_t waitMs, std::uint32_t* got) {
  SerialTimeouts wait = m_timeouts;
  wait.readInterval = 0;
  wait.readTotalMultiplier = 0;
  wait.readTotalConstant = waitMs;
  *got = 0;
  if (!m_port->SetTimeouts(wait)) return false;
  if (!m_port->Read(scratch, count, got)) *got = 0;
  *got = std::min(*got, count);
  return true;
}

std::int64_t CSerialComms::ReadLimitUs() const {
  const auto limit = m_timeouts.ReadLimit(m_transaction.expectedLength);
  return limit ? std::int64_t(limit->count()) * 1000 : std::int64_t(INT32_MAX) * 1000;
}

std::uint32_t CSerialComms::ReadConstantMs(std::uint32_t expected) const {
  // Summed without wrapping: a large extra time-out from the settings must not come out short.
  const std::uint64_t sum = std::uint64_t(m_transaction.timeoutBase) + 2u * std::uint64_t(expected) + m_extraTimeout;
  return std::max(std::uint32_t(std::min<std::uint64_t>(sum, UINT32_MAX)), kMinReadConstant);
}

std::int64_t CSerialComms::SilentSendUs() const {
  const std::uint32_t requested = m_framing.RequestedLength();
  const std::uint32_t expected = requested != 0 ? requested : m_transaction.write ? 1 : 0;
  return (std::int64_t(expected) + ReadConstantMs(expected)) * 1000;
}

std::uint64_t CSerialComms::UnitOf(const CDevice* device) const {
  if (!device) return 0;
  return m_host ? m_host->GetDeviceHandle(device) : std::uint64_t(reinterpret_cast<std::uintptr_t>(device));
}

LateAnswerRequest CSerialComms::Describe(const CControlMessage& message, const std::uint8_t* frame,
                                         std::uint32_t replyLength) const {
  LateAnswerRequest r;
  r.unit = UnitOf(message.device);
  r.deviceId = m_host && message.device ? m_host->GetDeviceIdForLog(message.device) : 0;
  r.command = message.command;
  r.argument = message.argument;
  r.write = message.write;
  r.replyStart = message.replyStart;
  r.replyLength = replyLength;
  r.echoNamesUnit = message.replyEchoNamesUnit;
  // In reply positions: the reply repeats request byte i at byte i + the offset.
  const std::uint32_t offset = message.replyEchoOffset;
  for (std::uint32_t i = 0; i + offset < LateAnswerRequest::kHeaderBytes && i < CControlMessage::kFrameSize; ++i) {
    if ((message.replyEchoMask & (1u << i)) == 0) continue;
    r.echoMask |= 1u << (i + offset);
    r.echoed[i + offset] = std::uint8_t(frame[i] & 0x7F);
  }
  return r;
}

void CSerialComms::RecordLateAnswers() {
  const std::uint32_t unanswered = m_unansweredSends;
  m_unansweredSends = 0;
  const CControlMessage& t = m_transaction;
  const bool whole = t.expectedLength != 0 && t.receivedLength == t.expectedLength;
  const bool answered = !m_drainPending && (whole || m_framing.EndedOnShorterReply());
  // A unit whose answers came late answers in time again.
  if (answered && unanswered == 0) {
    if (const std::optional<CLateAnswerTally::Untold> ended = m_lateTally.TakeEnded(m_unit))
      TellLateAnswers({*ended}, " before it answered in time");
  }
  if (unanswered == 0 || !m_framing.Guards()) return;
  m_book.OnTransactionEnd(m_framing.Request(answered ? t.receivedLength : m_framing.RequestedLength()), unanswered,
                          answered, m_firstSendEndUs, ReadLimitUs(), ClockMicroseconds());
}

bool CSerialComms::AwaitsLateAnswerFrom(std::uint64_t unit) { return m_book.PassesOver(unit, ClockMicroseconds()); }

bool CSerialComms::WaitsForLateAnswers(const CControlMessage& request) {
  return m_framing.Guards() &&
         m_book.CouldTakeAny(Describe(request, request.frame, request.expectedLength), ClockMicroseconds());
}

void CSerialComms::LookForLateAnswers() {
  if (IsOpen() && !NoteArrivedLateAnswers()) Fail("setting the read time-out");
}

bool CSerialComms::DrainLateAnswers() {
  // Reads and drops the answers that the request could take, and ends as soon as they are all
  // in or none can come any more.
  const CLateAnswerBook::Drain drain =
      m_book.TakeAnswersTheRequestCouldTake(m_framing.Request(m_transaction.expectedLength), ClockMicroseconds());
  std::uint32_t due = drain.bytes;
  std::uint8_t scratch[kReceiveBufferSize];
  std::uint32_t held = 0;
  bool waited = false;
  for (int i = 0; i < kMaxDrainReads && due > 0; ++i) {
    const std::int64_t left = (drain.untilUs - ClockMicroseconds() + 999) / 1000;
    if (left <= 0) break;
    // What came so far is looked at below; a drain longer than the buffer keeps its last part.
    if (held == kReceiveBufferSize) held = 0;
    std::uint32_t got = 0;
    waited = true;
    if (!ReadAndDrop(scratch + held, std::min<std::uint32_t>(due, std::uint32_t(kReceiveBufferSize) - held),
                     std::uint32_t(std::min<std::int64_t>(left, UINT32_MAX)), &got))
      return false;
    held += got;
    due -= std::min(got, due);
  }
  // The units whose answers came are alive; bytes that may be anyone's name nobody.
  m_book.NoteHeardIn(drain, scratch, held, ClockMicroseconds());
  return !waited || m_port->SetTimeouts(m_timeouts);
}

bool CSerialComms::NoteArrivedLateAnswers() {
  const std::int64_t now = ClockMicroseconds();
  if (!m_book.IsExpecting(now)) return true;
  // A look at what has come, without waiting: the purge before the write drops it.
  SerialTimeouts look = m_timeouts;
  look.readInterval = 0xFFFFFFFFu;
  look.readTotalMultiplier = 0;
  look.readTotalConstant = 0;
  if (!m_port->SetTimeouts(look)) return false;
  std::uint8_t scratch[kReceiveBufferSize];
  std::uint32_t got = 0;
  if (!m_port->Read(scratch, sizeof scratch, &got)) got = 0;
  m_book.CountIn(scratch, std::min<std::uint32_t>(got, sizeof scratch), now);
  return m_port->SetTimeouts(m_timeouts);
}

template <typename VerboseLine>
void CSerialComms::RetryReadOrGiveUp(VerboseLine line) {
  if (m_retryCount >= kMaxRetries) {
    GiveUp();
    return;
  }
  ++m_retryCount;
  line();
  ReadRest();
}

template <typename VerboseLine>
void CSerialComms::DropAndRetryRead(VerboseLine line) {
  m_bytesHeld = 0;
  m_transaction.receivedLength = 0;
  RetryReadOrGiveUp(line);
}

std::uint32_t CSerialComms::FindStartByte(std::uint32_t received) const {
  const std::uint8_t start = m_framing.AnswerStart();
  for (std::uint32_t p = 1; p < received; ++p) {
    if (m_receive[p] == start) return p;
  }
  return 0;
}

void CSerialComms::MoveDown(std::uint32_t from, std::uint32_t received) {
  std::memmove(m_receive, m_receive + from, received - from);
  m_bytesHeld = received - from;
}

void CSerialComms::OnReadComplete(bool ok, std::uint32_t n) {
  if (!ok) {
    m_transaction.receivedLength = 0;
    Fail("the read");
    m_drainPending = true;
    return;
  }
  const double elapsed = ElapsedMs();
  const std::uint32_t heldBefore = m_bytesHeld;
  m_bytesHeard += n;
  m_transaction.receivedLength = heldBefore + n;
  if (m_framing.ReadsRest()) {
    OnRestRead(n, elapsed);
    if (m_done) RecordLateAnswers();
    return;
  }
  using EReadPhase = CReplyFraming::EReadPhase;
  switch (m_framing.Classify(m_receive, m_transaction.receivedLength, m_transaction.expectedLength, heldBefore)) {
    case EReadPhase::kAck: OnAckRead(n, elapsed); break;
    case EReadPhase::kWholeReply: OnWholeReply(elapsed); break;
    case EReadPhase::kWholeJunk: OnWholeJunk(elapsed); break;
    case EReadPhase::kNothing: OnNothingRead(elapsed); break;
    case EReadPhase::kMoreOfReply:
      m_bytesHeld = heldBefore + n;
      if (!EndOnShorterReply()) RetryReadOrGiveUp([&] { LogWaitingForRest(elapsed); });
      break;
    case EReadPhase::kBeginning: OnReplyBeginning(elapsed); break;
    case EReadPhase::kJunk: OnJunkRead(elapsed); break;
  }
  if (m_done) RecordLateAnswers();
}

void CSerialComms::LogWaitingForRest(double elapsed) {
  LogVerbose(
      "Waiting for rest of reply to command 0x%X from device ID %u after %.2fms, expecting %u "
      "bytes return",
      m_transaction.command, TargetId(), elapsed, m_transaction.expectedLength);
}

// The one-byte ACK of a write was awaited.
void CSerialComms::OnAckRead(std::uint32_t n, double elapsed) {
  CControlMessage& t = m_transaction;
  if (n == 1 && m_receive[0] == kAck) {
    m_done = true;
    return;
  }
  if (DropLateAnswerAtFront(elapsed)) return;
  if (m_retryCount < kMaxRetries) {
    LogVerbose("No ACK received from device ID %u after %.2fms, Command = 0x%X - waiting...", TargetId(),
               elapsed, t.command);
    ++m_retryCount;
    m_bytesHeld = 0;
    ReadInto(0, 1);
  } else {
    LogCounted("No ACK received from device ID %u after %.2fms, Command = 0x%X - aborting", TargetId(), elapsed,
               t.command);
    t.receivedLength = 0;
    m_done = true;
    m_drainPending = true;
  }
}

// As many bytes as expected, from the start byte on: the whole reply, or the head of a longer one.
void CSerialComms::OnWholeReply(double elapsed) {
  CControlMessage& t = m_transaction;
  const std::uint32_t expected = t.expectedLength;
  if (const std::uint32_t longer = m_framing.LongerReplyLength(m_receive, expected)) {
    // Longer than asked for: read the rest of it. A header announcing more than the receive
    // buffer holds fails the length check below instead.
    LogVerbose(
        "Read %u bytes reply to command 0x%X from device ID %u after %.2fms, but header says "
        "we need another %u bytes",
        t.receivedLength, t.command, TargetId(), elapsed, longer - expected);
    m_bytesHeld = expected;
    t.expectedLength = longer;
    ReadRestWhileItComes();
    return;
  }
  // A shorter whole reply in front that is a late answer to another request: this request's
  // own answer follows it.
  if (DropLateAnswerAtFront(elapsed)) return;
  const bool whole = CheckReply(expected - 1);
  if (whole) {
    std::optional<LateAnswerMatch> late;
    switch (m_framing.Owner(m_receive, t.receivedLength, ClockMicroseconds(), &late)) {
      case CReplyFraming::EOwner::kThisRequest:
        t.replyEcho = m_framing.EchoOf(m_receive, t.receivedLength);
        m_done = true;
        return;
      case CReplyFraming::EOwner::kLateAnswer:
        DropLateAnswer(*late, t.receivedLength, elapsed);
        return;
      case CReplyFraming::EOwner::kAnotherRequest:
        // A whole reply that names another unit or command, from a unit whose replies repeat
        // them, answers another request that this transport does not know of: the unit being
        // read answered wrongly, or an answer came late. It is never taken for this one.
        LogCounted(
            "Reply to another request received from device ID %u after %.2fms, Command = 0x%X - unit ID or "
            "command does not match",
            TargetId(), elapsed, t.command);
        break;
    }
  }
  RefuseReply(whole);
}

void CSerialComms::RefuseReply(bool whole) {
  CControlMessage& t = m_transaction;
  if (t.noRetry) {
    FailWithoutRetry();
  } else if (m_retryCount < kMaxRetries) {
    ++m_retryCount;
    // A refused reply answered the send, wrongly: that send's answer is not still to come.
    Resend();
  } else {
    t.failed = true;
    // The last try too ended on a whole reply that did not repeat the request: this unit
    // (another one now, perhaps, at the device's ID) no longer repeats it, and its replies are
    // taken again.
    if (whole) m_book.ForgetRepeatsHeader(m_unit);
    GiveUp();
  }
}

void CSerialComms::ReadRestWhileItComes(const CReplyFraming::LateAtFront* lateAnswer, std::uint32_t replyLength) {
  // The unit is sending the frame now: the rest comes at the line's pace or not at all.
  SerialTimeouts quiet = m_timeouts;
  quiet.readInterval = 0;
  quiet.readTotalMultiplier = 0;
  quiet.readTotalConstant = CReplyFraming::RestQuietMs(m_baudRate);
  if (!m_port->SetTimeouts(quiet)) {
    Fail("setting the read time-out");
    return;
  }
  if (lateAnswer) {
    m_framing.BeginLateRest(*lateAnswer, replyLength);
  } else {
    m_framing.BeginLongerRest();
  }
  ReadRest();
}

void CSerialComms::OnRestRead(std::uint32_t n, double elapsed) {
  CControlMessage& t = m_transaction;
  using ERestRead = CReplyFraming::ERestRead;
  const ERestRead read = m_framing.OnRestRead(m_receive, t.receivedLength, t.expectedLength, n);
  if (read == ERestRead::kStillComing) {
    m_bytesHeld = t.receivedLength;
    ReadRest();
    return;
  }
  if (!m_port->SetTimeouts(m_timeouts)) {
    Fail("setting the read time-out");
    return;
  }
  switch (read) {
    case ERestRead::kStillComing:  // read on above
      return;
    case ERestRead::kLongerReplyWhole:
      OnWholeReply(elapsed);
      return;
    case ERestRead::kLongerReplyCut:
      // The line went quiet short of the length the header announced: the reply is refused as
      // one whose length does not check.
      LogLengthCheckFailed(t.expectedLength - 1, m_framing.RequestedLength() - 1);
      m_bytesHeld = 0;
      RefuseReply(false);
      return;
    case ERestRead::kLateAnswerWhole:
      DropLateAnswer(m_framing.LateRest(), t.expectedLength, elapsed);
      return;
    case ERestRead::kNotTheLateAnswer:
      // Junk, dropped as any.
      t.expectedLength = m_framing.ReplyLengthAfterLateRest();
      DropAndRetryRead([&] { LogWaitingForRest(elapsed); });
      return;
  }
}

bool CSerialComms::DropLateAnswerAtFront(double elapsed) {
  CControlMessage& t = m_transaction;
  using EKind = CReplyFraming::LateAtFront::EKind;
  const CReplyFraming::LateAtFront front =
      m_framing.LateAnswerAtFront(m_receive, t.receivedLength, t.expectedLength, ClockMicroseconds());
  switch (front.kind) {
    case EKind::kNone:
      return false;
    case EKind::kWhole:
      DropLateAnswer(front.answer, front.length, elapsed);
      return true;
    case EKind::kBegun: {
      m_bytesHeld = t.receivedLength;
      const std::uint32_t replyLength = t.expectedLength;
      t.expectedLength = front.length;
      ReadRestWhileItComes(&front, replyLength);
      return true;
    }
  }
  return false;
}

void CSerialComms::DropLateAnswer(const LateAnswerMatch& late, std::uint32_t n, double elapsed) {
  CControlMessage& t = m_transaction;
  // The unit at fault is the one that answered late; the unit being read has done nothing
  // wrong, and its own answer is still on its way.
  const std::int64_t now = ClockMicroseconds();
  if (m_lateTally.OnLateAnswer(late.unit, late.deviceId, now)) {
    LogCounted(
        "Late answer from device ID %u received after %.2fms while reading device ID %u, Command = 0x%X - not "
        "taken",
        late.deviceId, elapsed, TargetId(), late.command);
  } else if (!m_noLog) {
    ++m_errorCount;
  }
  TellLateAnswers(m_lateTally.TakeDue(now), " and go on");
  m_framing.CountDropped(late, n, now);
  // Another unit's answer, known as such: nothing of this unit was heard in it.
  if (late.unit != m_unit) m_bytesHeard -= std::min<std::uint64_t>(n, m_bytesHeard - m_bytesHeardBefore);
  const std::uint32_t received = t.receivedLength;
  t.expectedLength = t.write ? 1 : m_framing.RequestedLength();
  MoveDown(n, received);
  if (m_bytesHeld > 0 && m_receive[0] != m_framing.AnswerStart()) {
    const std::uint32_t p = FindStartByte(m_bytesHeld);
    if (p != 0) {
      MoveDown(p, m_bytesHeld);
    } else {
      m_bytesHeld = 0;
    }
  }
  t.receivedLength = m_bytesHeld;
  if (t.write && m_bytesHeld > 0) {
    // The ACK came right behind it.
    t.receivedLength = 1;
    m_done = true;
    return;
  }
  // A fresh read time-out for the rest: the late answer took part of the first.
  ReadRest();
}

bool CSerialComms::EndOnShorterReply() {
  CControlMessage& t = m_transaction;
  const std::uint32_t n = m_framing.TakeShorterReply(m_receive, t.receivedLength, t.expectedLength);
  if (n == 0) return false;
  // The unit answered this request, in a reply of its own length: waiting on would only spend
  // the retries on bytes that never come.
  LogLengthCheckFailed(n - 1, t.expectedLength - 1);
  if (t.receivedLength > n) m_drainPending = true;
  t.replyEcho = CControlMessage::EReplyEcho::kRepeated;
  t.receivedLength = n;
  m_bytesHeld = n;
  m_retryCount = 0;
  m_done = true;
  return true;
}

void CSerialComms::CopyReplyToTransaction() {
  const std::uint32_t n = std::min<std::uint32_t>(m_transaction.receivedLength, kReceiveBufferSize);
  std::memcpy(m_transaction.frame, m_receive, n);
}

// As many bytes as expected, but junk where the start byte should be: what follows a start byte
// further on is kept.
void CSerialComms::OnWholeJunk(double elapsed) {
  if (DropLateAnswerAtFront(elapsed)) return;
  const CControlMessage& t = m_transaction;
  const std::uint32_t received = t.receivedLength, expected = t.expectedLength;
  const std::uint32_t p = FindStartByte(received);
  auto waitingButOnlyGot = [&] {
    LogVerbose(
        "Waiting for rest of reply to command 0x%X from device ID %u after %.2fms, expecting "
        "%u bytes return but only got %u",
        t.command, TargetId(), elapsed, expected, m_bytesHeld);
  };
  if (p != 0) {
    MoveDown(p, received);
    LogVerbose(
        "Received junk in Rx buffer from device ID %u after %.2fms - Good bytes = %u, Still to "
        "read = %u, Command = 0x%X - retrying",
        TargetId(), elapsed, m_bytesHeld, expected - m_bytesHeld, t.command);
    RetryReadOrGiveUp(waitingButOnlyGot);
  } else if (t.noRetry) {
    FailWithoutRetry();
  } else {
    DropAndRetryRead(waitingButOnlyGot);
  }
}

// The read timed out empty: the request goes again.
void CSerialComms::OnNothingRead(double elapsed) {
  const CControlMessage& t = m_transaction;
  // Nothing came to this send: its answer may still come, later, and be taken for another's.
  ++m_unansweredSends;
  if (m_retryCount < kMaxRetries && (m_maxSilentSends == 0 || m_unansweredSends < m_maxSilentSends)) {
    ++m_retryCount;
    LogVerbose(
        "Waiting for reply to command command 0x%X from device ID %u after %.2fms, expecting "
        "%u bytes return, Retry count = %u",
        t.command, TargetId(), elapsed, t.expectedLength, m_retryCount);
    Resend();
  } else {
    LogCounted("No reply received from device ID %u after %.2fms, Command = 0x%X - aborting", TargetId(), elapsed,
               t.command);
    GiveUp();
  }
}

// Part of a reply, from its start byte on.
void CSerialComms::OnReplyBeginning(double elapsed) {
  if (DropLateAnswerAtFront(elapsed)) return;
  const CControlMessage& t = m_transaction;
  m_bytesHeld = t.receivedLength;
  if (t.write) {
    m_done = true;
    return;
  }
  if (EndOnShorterReply()) return;
  LogVerbose(
      "Only part of return message Received from device ID %u after %.2fms - Good bytes = %u, "
      "Still to read = %u, Command = 0x%X - retrying",
      TargetId(), elapsed, m_bytesHeld, t.expectedLength - m_bytesHeld, t.command);
  RetryReadOrGiveUp([&] { LogWaitingForRest(elapsed); });
}

// Fewer bytes than expected, not starting with the start byte.
void CSerialComms::OnJunkRead(double elapsed) {
  if (DropLateAnswerAtFront(elapsed)) return;
  const CControlMessage& t = m_transaction;
  const std::uint32_t received = t.receivedLength, expected = t.expectedLength;
  auto waitingForRest = [&] { LogWaitingForRest(elapsed); };
  const std::uint32_t p = received > 1 ? FindStartByte(received) : 0;
  if (t.write) {
    if (p != 0) {
      m_done = true;
    } else if (t.noRetry) {
      FailWithoutRetry();
    } else {
      DropAndRetryRead(waitingForRest);
    }
    return;
  }
  if (p != 0) {
    MoveDown(p, received);
    LogVerbose(
        "Received junk in Rx buffer from device ID %u after %.2fms - Bad bytes = %u, Good bytes "
        "= %u, Still to read = %u, Command = 0x%X - retrying",
        TargetId(), elapsed, p, m_bytesHeld, expected - m_bytesHeld, t.command);
    RetryReadOrGiveUp(waitingForRest);
  } else if (t.noRetry) {
    FailWithoutRetry();
  } else {
    LogVerbose(
        "Received junk in Rx buffer from device ID %u after %.2fms - Rejected %u bytes, Still to "
        "read = %u, Command = 0x%X - retrying",
        TargetId(), elapsed, received, expected, t.command);
    DropAndRetryRead(waitingForRest);
  }
}

bool CSerialComms::WaitForCompletion() {
  while (!m_done && m_status == kCommsPending) SleepEx(2, true);
  if (m_status == kCommsError) return false;
  m_status = kCommsIdle;
  return m_done;
}

bool CSerialComms::CheckReply(std::uint32_t expectedHeaderLength) {
  const std::uint32_t length = Get14Bit(m_receive + 1);
  if (length != expectedHeaderLength) {
    LogLengthCheckFailed(length, expectedHeaderLength);
    return false;
  }
  if (length >= kReceiveBufferSize) return false;
  return Checksum7Bit(m_receive, length) == m_receive[length];
}

void CSerialComms::TellLateAnswers(const std::vector<CLateAnswerTally::Untold>& untold, const char* after) {
  for (const CLateAnswerTally::Untold& u : untold)
    LogCommsError(FormatText("Late answers from device ID %u: %u more not taken%s", unsigned(u.deviceId),
                             unsigned(u.count), after)
                      .c_str(),
                  false);
}

void CSerialComms::LogLengthCheckFailed(std::uint32_t inReturn, std::uint32_t shouldBe) {
  LogCounted("Check buffer failed, Command = 0x%X - length in return = %u should be %u", m_transaction.command,
             inReturn, shouldBe);
}

void CSerialComms::LogCommsError(const char* text, bool counted) {
  if (m_noLog) return;
  if (counted) ++m_errorCount;
  const std::string count = FormatText("Comms Error Count = %u\n", unsigned(m_errorCount));
  const std::string line = text ? std::string(text) + " - " + count : count;
  if (m_host) m_host->WriteErrorLog(line);
}

void CSerialComms::ResetErrorCount() {
  m_errorCount = 0;
  if (m_host && m_host->IsLogCommsErrorsOn()) m_host->WriteLog("Comms Error Count Reset\n");
}

double CSerialComms::ElapsedMs() const {
  const std::int64_t frequency = QueryPerformanceFrequency();
  if (frequency <= 0) return 0.0;
  return double(QueryPerformanceCounter() - m_writeEnd) * 1000.0 / double(frequency);
}

std::uint32_t CSerialComms::TargetId() const {
  if (!m_host || !m_transaction.device) return 0;
  return m_host->GetDeviceIdForLog(m_transaction.device);
}

void CSerialComms::LogVerbose(const char* format, ...) {
  if (!Verbose()) return;
  va_list args;
  va_start(args, format);
  const std::string text = FormatTextList(format, args);
  va_end(args);
  LogCommsError(text.c_str(), false);
}

void CSerialComms::LogCounted(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string text = FormatTextList(format, args);
  va_end(args);
  LogCommsError(text.c_str(), true);
}
