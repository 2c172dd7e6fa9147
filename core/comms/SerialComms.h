// The transport of the device bus: one request/reply transaction at a time on a serial port,
// with resynchronisation, retries, read time-outs and comms error lines.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/comms/LateAnswerBook.h"
#include "core/comms/ReplyFraming.h"
#include "core/protocol/ControlMessage.h"
#include "platform/Clock.h"
#include "platform/SerialPort.h"

// What the transport needs of the system it reports to; the system object implements it.
// Called on the thread that runs the transaction.
class ICommsHost {
 public:
  virtual ~ICommsHost() = default;
  // The log writer: always writes the text.
  virtual void WriteLog(const std::string& text) = 0;
  // The comms error writer: writes the text only while "LogCommsErrors" is on.
  virtual void WriteErrorLog(const std::string& text) = 0;
  // The "LogCommsErrors" and "SuperDebug" settings.
  virtual bool IsLogCommsErrorsOn() const = 0;
  virtual bool IsSuperDebugOn() const = 0;
  // The device ID printed in log lines for a transaction's target device (never null).
  virtual std::uint32_t GetDeviceIdForLog(const CDevice* device) const = 0;
  // The handle that the transport knows the target device by (never null).
  virtual std::uint64_t GetDeviceHandle(const CDevice* device) const = 0;
};

// Transport status.
enum : std::uint32_t {
  kCommsIdle = 0,
  kCommsPending = 1,  // a write has been started
  kCommsError = 2,    // a port call failed; stays until the caller resets it
};

// Threads: not locked. Open and Close run on any thread while no transaction runs; a
// transaction is touched only by the thread that started it, and its completion routines run
// on that thread inside SleepEx(ms, true) (the worker's short waits, WaitForCompletion).
class CSerialComms {
 public:
  static constexpr std::size_t kReceiveBufferSize = CReplyFraming::kMaxReplyBytes;
  static constexpr std::uint8_t kAck = CReplyFraming::kAck;

  // A transport on the platform's serial port (CreateSerialPort).
  CSerialComms();
  explicit CSerialComms(std::unique_ptr<ISerialPort> port);
  virtual ~CSerialComms();
  CSerialComms(const CSerialComms&) = delete;
  CSerialComms& operator=(const CSerialComms&) = delete;

  // Opens "COM<portNumber>" (GetComPortDevice) at the baud rate, holding it alone (see
  // ISerialPort::Open), sets the time-outs and purges both queues. False when a port is already
  // open or any step fails; a port that opened but could not be set up is closed again.
  // GetOpenFailureText then says why.
  virtual bool Open(std::uint32_t portNumber, std::uint32_t baudRate, bool overlapped);
  // Whether Open would take the port, found without changing anything on its line (see
  // ISerialPort::CanOpen); false, with the reason in GetOpenFailureText, when it would not.
  bool CanOpen(std::uint32_t portNumber, std::uint32_t baudRate);
  // Closes the port; the log is told how many late answers came that it has not been told of.
  void Close();
  bool IsOpen() const;
  // Why the last Open or CanOpen refused its port, with the port and its device:
  // "COM15 (/dev/pts/9): the device does not exist".
  const std::string& GetOpenFailureText() const { return m_openFailure; }
  // The device the port was opened on, as the port's link named it then; empty while closed.
  const std::string& GetDevice() const { return m_device; }

  // Starts the transaction held in Transaction(). Returns the bytes written in blocking mode,
  // 0 in overlapped mode. resetRetries: true for a new transaction, which first drains the
  // line when the last one left answers on their way: after a failed transaction until the line
  // has been quiet for a few byte times; while answers to a resent request may still come (see
  // AwaitsLateAnswerFrom), when this request could take one of them for its own: until they
  // have come or their time is over. A drain that cannot set its time-outs is a transport error.
  std::uint32_t StartWrite(bool resetRetries);
  // Starts reading the expected reply. Returns the bytes read in blocking mode, else 0.
  std::uint32_t StartRead();
  // Waits alertably in steps of 2 ms until the transaction is done or the status is error.
  // Done: the status becomes idle and the result is true. Error: the status stays error (the
  // caller sees and resets it) and the result is false.
  bool WaitForCompletion();
  // Validates a complete reply in the receive buffer against the expected header length.
  bool CheckReply(std::uint32_t expectedHeaderLength);
  // A transaction answered only after its request went again may have taken the answer to an
  // earlier send, and the unit's answers to the sends that were met by silence are then still
  // on their way (see CLateAnswerBook). True while they are watched for: the worker passes the
  // unit (by its device handle) over meanwhile while others have work. A request that could
  // take one of them (another to the same unit and command, or one whose reply check would not
  // tell it apart) first drains them, for at most as long as the transaction took; others go at
  // once, and drop such an answer, named as its unit's late answer, when it comes during their
  // read. Times are read from the program's clock (platform/Clock.h).
  bool AwaitsLateAnswerFrom(std::uint64_t unit);
  // Whether the request, started now, would first wait for such answers (see above).
  bool WaitsForLateAnswers(const CControlMessage& request);
  // Between transactions: notes the late answers that have come meanwhile, so that a watch whose
  // answers are all in ends at once. A port that cannot be read so is a transport error.
  void LookForLateAnswers();
  // Off leaves late answers to the reply checks alone (no watch, no drain, no late answer named
  // as such); on by default. For measuring what the watch costs.
  void SetLateAnswerGuard(bool on) { m_framing.SetGuard(on); }
  // Whether the last transaction received nothing at all, on any of its sends: bytes count
  // whether or not they made a reply (an answer garbled by two units at once is dropped, but was
  // heard), but for the late answers of other requests known as such.
  bool HeardNothing() const { return m_bytesHeard == m_bytesHeardBefore; }
  // The units (by device handle) whose answers came after their own transaction had ended, since
  // the last call: late answers known as such in a read, between transactions or in a drain.
  std::vector<std::uint64_t> TakeUnitsHeardLate() { return m_book.TakeUnitsHeard(); }
  // The same with the command of each late answer heard (each unit and command once).
  std::vector<LateAnswerHeard> TakeAnswersHeardLate() { return m_book.TakeAnswersHeard(); }
  // How late after their request's first send the unit's answers have come, at the most and at
  // the least, in microseconds, and how many of them have been heard since the port opened (see
  // CLateAnswerBook::LatenessOf); 0 for a unit never heard late.
  std::int64_t LatenessOf(std::uint64_t unit) const { return m_book.LatenessOf(unit); }
  std::int64_t ShortestLatenessOf(std::uint64_t unit) const { return m_book.ShortestLatenessOf(unit); }
  std::uint32_t LateAnswersHeardFrom(std::uint64_t unit) const { return m_book.LateAnswersHeardFrom(unit); }
  // Whether answers of the unit may still come late: some are on their way, or it has been heard
  // answering late since the port opened.
  bool MayAnswerLate(std::uint64_t unit) {
    return m_book.LatenessOf(unit) > 0 || m_book.BytesOwedBy(unit, ClockMicroseconds()) > 0;
  }
  // The read time-out of one send of the transaction's request, in microseconds: what a send met
  // by silence costs.
  std::int64_t SilentSendUs() const;
  // What made the status an error: the step that failed and the port's reason, e.g. "the read
  // failed: Input/output error". Empty while no step has failed since the port opened.
  const std::string& GetFailureText() const { return m_failure; }
  // Logs a comms error line (text may be null); counted lines raise the error count.
  void LogCommsError(const char* text, bool counted);
  void ResetErrorCount();

  // Whether the last transaction ended on a whole reply shorter than it asked for that repeats
  // the request's bytes named by its echo mask (unit ID and command): the reply of a unit that
  // lays its data out for fewer channels, say, or of another model. receivedLength is that
  // reply's length, short of expectedLength; it is a counted check failure, and the caller reads
  // no more than the unit's model from it. A request without echo mask never ends so.
  bool EndedOnShorterReply() const { return m_framing.EndedOnShorterReply(); }
  // Copies the received reply (at most the receive buffer) over the transaction's frame from
  // byte 0, for the device's reply handler.
  void CopyReplyToTransaction();

  // The transaction record: the request to run; its reply fields are updated in place.
  CControlMessage& Transaction() { return m_transaction; }
  const CControlMessage& Transaction() const { return m_transaction; }
  // Reply bytes; byte 0 is the reply's first byte.
  const std::uint8_t* ReceiveBuffer() const { return m_receive; }

  bool IsDone() const { return m_done; }
  std::uint32_t GetStatus() const { return m_status; }
  void SetStatus(std::uint32_t status) { m_status = status; }
  std::uint32_t GetRetryCount() const { return m_retryCount; }
  std::uint32_t GetPortNumber() const { return m_portNumber; }
  // Milliseconds added to every read time-out.
  std::uint32_t GetExtraTimeout() const { return m_extraTimeout; }
  void SetExtraTimeout(std::uint32_t ms) { m_extraTimeout = ms; }
  // Suppresses all error logging (set while an autoscan runs).
  bool GetNoLog() const { return m_noLog; }
  void SetNoLog(bool noLog) { m_noLog = noLog; }
  std::uint32_t GetErrorCount() const { return m_errorCount; }
  // The system that receives log lines; null drops them.
  void SetHost(ICommsHost* host) { m_host = host; }
  const SerialTimeouts& GetTimeouts() const { return m_timeouts; }
  // Replaces the port; only while closed.
  void SetPort(std::unique_ptr<ISerialPort> port);

  // Plain blocking I/O on the open port, outside any transaction (the firmware loader's own
  // dialogues). Raw reads fill the receive buffer from offset 0, at most its size; each
  // returns the bytes moved (0 when the port is closed or failed).
  bool PurgeRaw(std::uint32_t flags);
  bool SetRawTimeouts(const SerialTimeouts& timeouts);
  std::uint32_t WriteRaw(const std::uint8_t* data, std::uint32_t n);
  std::uint32_t ReadRaw(std::uint32_t n);

 private:
  void OnWriteComplete(bool ok, std::uint32_t written);
  void OnReadComplete(bool ok, std::uint32_t n);
  void OnAckRead(std::uint32_t n, double elapsed);
  void OnWholeReply(double elapsed);
  void OnWholeJunk(double elapsed);
  void OnNothingRead(double elapsed);
  void OnReplyBeginning(double elapsed);
  void OnJunkRead(double elapsed);
  void LogWaitingForRest(double elapsed);
  // Reads count bytes into the receive buffer from offset; status error when it cannot start.
  void ReadInto(std::uint32_t offset, std::uint32_t count);
  void ReadRest() { ReadInto(m_bytesHeld, m_transaction.expectedLength - m_bytesHeld); }
  void Resend() { StartWrite(false); }
  // Retries the read (after the verbose line) or ends the transaction incomplete.
  template <typename VerboseLine>
  void RetryReadOrGiveUp(VerboseLine line);
  // Drops what was received and retries the read from the start, as RetryReadOrGiveUp.
  template <typename VerboseLine>
  void DropAndRetryRead(VerboseLine line);
  // Ends the transaction: incomplete (nothing received), or failed for a caller that asked for
  // no retries. Either way the retry count starts again.
  void GiveUp();
  void FailWithoutRetry();
  // Reads and drops whatever arrives until the line has been quiet for quietMs (see
  // StartWrite). False when the time-outs could not be set.
  bool DrainLateReply(std::uint32_t quietMs);
  // One read of up to count bytes into scratch that waits at most waitMs; false when the
  // time-outs could not be set. The caller restores the transaction's time-outs.
  bool ReadAndDrop(std::uint8_t* scratch, std::uint32_t count, std::uint32_t waitMs, std::uint32_t* got);
  // A request as the late-answer book sees it: the message with its frame bytes, asking for
  // replyLength bytes; DescribeRequest, the one being run (its bytes in the transmit buffer).
  LateAnswerRequest Describe(const CControlMessage& message, const std::uint8_t* frame, std::uint32_t replyLength) const;
  LateAnswerRequest DescribeRequest(std::uint32_t replyLength) const {
    return Describe(m_transaction, m_transmit, replyLength);
  }
  // The handle the device is known by (0 for none).
  std::uint64_t UnitOf(const CDevice* device) const;
  // At the end of a transaction with sends met by silence: records the answers to them that may
  // still come.
  void RecordLateAnswers();
  // Drops the answers that the request in the record could take, as they come, until all are
  // in or none can come any more. False when the time-outs could not be set.
  bool DrainLateAnswers();
  // Notes the late answers among bytes that came before this request and are about to be purged,
  // so that a watch whose answers are all in ends. False when the time-outs could not be set.
  bool NoteArrivedLateAnswers();
  // Ends the transaction on a whole frame at the front shorter than this reply that repeats the
  // request's header (see EndedOnShorterReply). False when there is none.
  bool EndOnShorterReply();
  // The counted line of a reply whose length does not check: the lengths are the header's, the
  // frame's bytes less one.
  void LogLengthCheckFailed(std::uint32_t inReturn, std::uint32_t shouldBe);
  // The first n bytes in the receive buffer are a late answer to another request: dropped, and
  // this request's own answer read on. Each is a comms error; the log names its unit at the first
  // and counts the others (see CLateAnswerTally).
  void DropLateAnswer(const LateAnswerMatch& late, std::uint32_t n, double elapsed);
  // Tells the counts of late answers not told yet, each with the words after it.
  void TellLateAnswers(const std::vector<CLateAnswerTally::Untold>& untold, const char* after);
  // The read time-out of the transaction's reply, in microseconds.
  std::int64_t ReadLimitUs() const;
  // The read total constant of the transaction's read of expected bytes, ms: the request's base,
  // two ms a byte and the extra time-out, at least kMinReadConstant.
  std::uint32_t ReadConstantMs(std::uint32_t expected) const;
  // Reads the rest of the frame begun in the receive buffer, in reads that end when the line has
  // gone quiet: a length byte changed on the line announces bytes that never come. The frame is
  // this request's reply, longer than asked for, or the late answer given (see
  // CReplyFraming::BeginLateRest).
  void ReadRestWhileItComes(const CReplyFraming::LateAtFront* lateAnswer = nullptr, std::uint32_t replyLength = 0);
  void OnRestRead(std::uint32_t n, double elapsed);
  // What was read begins with another request's answer, known to be on its way (see
  // CReplyFraming::LateAnswerAtFront): it is dropped, or its rest read, and this request's own
  // reply read on without spending a retry. False when the bytes begin with no such answer.
  bool DropLateAnswerAtFront(double elapsed);
  // Ends the read with a reply judged wrong: resent while retries remain, else failed.
  void RefuseReply(bool whole);
  // The status becomes an error; what failed is kept for GetFailureText.
  void Fail(const char* step);
  // Position of the reply start byte (for a write, the ACK) in bytes 1 to received - 1, or 0.
  std::uint32_t FindStartByte(std::uint32_t received) const;
  void MoveDown(std::uint32_t from, std::uint32_t received);
  double ElapsedMs() const;
  std::uint32_t TargetId() const;
  bool Verbose() const { return m_host && !m_noLog && m_host->IsSuperDebugOn(); }
  void LogVerbose(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void LogCounted(const char* format, ...) __attribute__((format(printf, 2, 3)));

  bool m_done = true;
  std::uint32_t m_status = kCommsIdle;
  std::uint32_t m_retryCount = 0;
  std::uint32_t m_bytesHeld = 0;
  bool m_overlapped = false;
  bool m_drainPending = false;  // the last transaction failed: bytes may still be on their way
  // Sends of the current transaction, those met by a read that timed out empty, and when the
  // first left the port (the program's clock, microseconds).
  std::uint32_t m_sends = 0;
  std::uint32_t m_unansweredSends = 0;
  std::int64_t m_firstSendEndUs = 0;
  // When the first send of the transaction was handed to the port, on the program's clock.
  std::int64_t m_firstSendStartUs = 0;
  // The bytes heard before the current transaction.
  std::uint64_t m_bytesHeardBefore = 0;
  // The current transaction ends unanswered at this many sends met by silence (0: no limit but
  // the retries); taken from the request.
  std::uint32_t m_maxSilentSends = 0;
  // The device handle of the current transaction's target (0 for none).
  std::uint64_t m_unit = 0;
  // Answers still on their way to earlier transactions, and the units that repeat their header.
  CLateAnswerBook m_book;
  // What the log has told of the late answers dropped.
  CLateAnswerTally m_lateTally;
  // Whose the bytes the current transaction reads are, and how many more to wait for.
  CReplyFraming m_framing{m_book};
  std::uint32_t m_baudRate = 0;
  std::unique_ptr<ISerialPort> m_port;
  std::uint32_t m_portNumber = 0;
  std::string m_device;
  std::string m_openFailure;
  std::uint32_t m_extraTimeout = 0;
  CControlMessage m_transaction;
  SerialTimeouts m_timeouts;
  std::int64_t m_writeEnd = 0;
  bool m_noLog = false;
  std::uint32_t m_errorCount = 0;
  std::string m_failure;
  // Bytes read from the line by the transactions' reads so far.
  std::uint64_t m_bytesHeard = 0;
  ICommsHost* m_host = nullptr;
  std::uint8_t m_receive[kReceiveBufferSize] = {};
  std::uint8_t m_transmit[CControlMessage::kFrameSize] = {};
};
