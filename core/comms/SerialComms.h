// The transport of the device bus: one request/reply transaction at a time on a serial port,
// with resynchronisation, retries, read time-outs and comms error lines.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/protocol/ControlMessage.h"
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
  static constexpr std::size_t kReceiveBufferSize = 1024;
  static constexpr std::uint8_t kAck = 0xA0;

  // A transport on the platform's serial port (CreateSerialPort).
  CSerialComms();
  explicit CSerialComms(std::unique_ptr<ISerialPort> port);
  virtual ~CSerialComms();
  CSerialComms(const CSerialComms&) = delete;
  CSerialComms& operator=(const CSerialComms&) = delete;

  // Opens "COM<portNumber>" (GetComPortDevice) at the baud rate, sets the time-outs and purges
  // both queues. False when a port is already open or any step fails; a port that opened but
  // could not be set up stays open until Close.
  virtual bool Open(std::uint32_t portNumber, std::uint32_t baudRate, bool overlapped);
  void Close();
  bool IsOpen() const;

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
  // Whether the reply in the receive buffer repeats the request's bytes named by its echo mask
  // (unit ID and command), compared on their low seven bits; a reply too short to hold them
  // does not.
  bool ReplyEchoesRequest() const;
  // Whether a whole, checked reply is taken for the request. A unit need not repeat the
  // request's header in its reply: until one of its replies has, every reply is taken; from
  // then on (until the port closes, or a transaction gives up on replies that do not) only one
  // that repeats it is, so that a late answer to another request is refused. A reply that does
  // not repeat the request but is a late answer this transport knows is still due from another
  // request (see AwaitsLateAnswerFrom) is refused by a unit not yet known to repeat it too.
  bool ReplyBelongsToRequest();
  // A transaction answered only after its request went again may have taken the answer to an
  // earlier send; the unit's answers to the later sends are then still on their way, each at
  // most as long after the one before as the answer taken needed from the first send (and a
  // short slack). A request that could take one (another to the same unit and command, or one
  // whose reply check would not tell it apart) first drains them, for at most that long once;
  // others go at once, and refuse such an answer by the header bytes they check, or by its
  // length, and name it as the late answer of its unit. True while such answers from the
  // device's unit may still come and have not all come yet, for at most one read time-out of the
  // transaction: the worker passes over the unit meanwhile while others have work. Times are
  // read from the program's clock (platform/Clock.h).
  bool AwaitsLateAnswerFrom(const CDevice* device);
  // Off leaves late answers to the reply checks alone (no watch, no drain, no late answer named
  // as such); on by default. For measuring what the watch costs.
  void SetLateAnswerGuard(bool on) { m_lateAnswerGuard = on; }
  // Logs a comms error line (text may be null); counted lines raise the error count.
  void LogCommsError(const char* text, bool counted);
  void ResetErrorCount();

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
  // Bytes read from the line so far, whether or not they made a reply (an answer garbled by
  // two units at once is dropped, but was heard).
  std::uint64_t GetBytesHeard() const { return m_bytesHeard; }
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
  // Answers that may still come to the sends of an earlier transaction: those of one answered
  // only after a resend (watched: a request that could take one waits for them until holdUntil),
  // and those of one resent after silence and never answered (known only). Either kind is named
  // as the late answer it is when it comes during another read, and dropped there.
  struct LateAnswers {
    const CDevice* device = nullptr;  // compared only: the device may be gone by then
    std::uint32_t deviceId = 0;       // for log lines
    std::uint32_t command = 0;
    bool write = false;  // the answers are ACKs
    std::uint8_t replyStart = 0;
    std::uint32_t echoMask = 0;
    std::uint8_t echoed[32] = {};  // the request's bytes named by the echo mask, low seven bits
    // The unit's replies repeat its requests' header: these answers carry echoed at echoMask.
    bool echoes = false;
    std::uint32_t replyLength = 0;  // bytes of each answer
    std::uint32_t bytesDue = 0;     // the bytes those answers make together, less those seen
    std::int64_t holdUntilUs = 0;   // end of the watch on the program's clock; 0: known only
    std::int64_t passOverUntilUs = 0;  // the unit's own turns are passed over until then
    std::int64_t knownUntilUs = 0;  // until then an answer that comes is known for one of these
  };
  // Who a whole, checked reply that does not repeat the request's header is from.
  enum class EReplyOwner { kThisRequest, kLateAnswer, kAnotherRequest };

  void OnWriteComplete(bool ok, std::uint32_t written);
  void OnReadComplete(bool ok, std::uint32_t n);
  // The receive phases: what a finished read holds decides the next step.
  enum class EReadPhase {
    kAck,          // a write's ACK was awaited and the byte came
    kWholeReply,   // as many bytes as expected, from the start byte on
    kWholeJunk,    // as many bytes as expected, not from the start byte
    kNothing,      // the read timed out empty
    kMoreOfReply,  // more bytes of a reply begun by an earlier read
    kBeginning,    // fewer bytes than expected, from the start byte on
    kJunk,         // fewer bytes than expected, not from the start byte
  };
  EReadPhase ClassifyRead(std::uint32_t heldBefore) const;
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
  // At the end of a transaction that went again after silence or a refused reply: watches for
  // the answers to its later sends when it was answered, and keeps the answers to all its sends
  // known when it was not.
  void WatchForLateAnswers();
  void PruneLateAnswers(std::int64_t nowUs);
  // Whether the request in the record could take an answer the watch waits for.
  bool MayTakeLateAnswer(const LateAnswers& answers) const;
  // The bytes of the request being sent that its echo mask names, low seven bits each.
  void CopyEchoedBytes(std::uint8_t (&out)[32]) const;
  // Drops the answers that the request in the record could take, as they come, until all are
  // in or none can come any more. False when the time-outs could not be set.
  bool DrainLateAnswers();
  // Notes the late answers among bytes that came before this request and are about to be purged,
  // so that a watch whose answers are all in ends. False when the time-outs could not be set.
  bool NoteArrivedLateAnswers();
  // Counts the whole late answers known to the watches among n bytes read and dropped.
  void NoteLateAnswersIn(const std::uint8_t* bytes, std::uint32_t n);
  // The known late answers that the n-byte frame at bytes is one of (a whole frame of their
  // length and start byte that repeats their request's header), or null.
  LateAnswers* FindLateAnswer(const std::uint8_t* bytes, std::uint32_t n);
  // Takes one answer of n bytes off what the late answers still owe; ends them when all are in.
  void CountLateAnswer(LateAnswers* answers, std::uint32_t n);
  // Who the whole, checked reply in the receive buffer is from; a late answer is returned in late.
  EReplyOwner ReplyOwner(LateAnswers** late);
  // The first n bytes in the receive buffer are a late answer to another request: logged
  // against the unit it came from and dropped, and this request's own answer read on.
  void DropLateAnswer(LateAnswers* late, std::uint32_t n, double elapsed);
  // The read time-out of the transaction's reply, in microseconds.
  std::int64_t ReadLimitUs() const;
  // The quiet gap that ends the drain after a failed transaction: a few byte times.
  std::uint32_t QuietGapMs() const;
  // Resends a request whose answer has not come in time: that answer may still come, and be
  // taken for the resend's.
  void ResendAfterSilence();
  // Position of the reply start byte in bytes 1 to received - 1, or 0.
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
  // A request of the current transaction went again because its answer had not come in time
  // (or the reply that came answered another request).
  bool m_lateAnswerPossible = false;
  // Sends of the current transaction, and when the first left the port (the program's clock,
  // microseconds).
  std::uint32_t m_sends = 0;
  std::int64_t m_firstSendEndUs = 0;
  // The reply length the transaction asked for; a resend asks for it again.
  std::uint32_t m_requestedLength = 0;
  // Late answers to other requests dropped during the current transaction.
  std::uint32_t m_lateAnswersDropped = 0;
  // Answers still on their way to earlier transactions.
  std::vector<LateAnswers> m_lateAnswers;
  bool m_lateAnswerGuard = true;
  std::uint32_t m_baudRate = 0;
  std::unique_ptr<ISerialPort> m_port;
  std::uint32_t m_portNumber = 0;
  std::uint32_t m_extraTimeout = 0;
  CControlMessage m_transaction;
  SerialTimeouts m_timeouts;
  std::int64_t m_writeEnd = 0;
  bool m_noLog = false;
  std::uint32_t m_errorCount = 0;
  std::uint64_t m_bytesHeard = 0;
  ICommsHost* m_host = nullptr;
  std::uint8_t m_receive[kReceiveBufferSize] = {};
  std::uint8_t m_transmit[CControlMessage::kFrameSize] = {};
  // Target devices whose replies have repeated the header bytes their requests named.
  std::set<const CDevice*> m_echoingUnits;
};
