// The transport of the device bus: one request/reply transaction at a time on a serial port,
// with resynchronisation, retries, read time-outs and comms error lines.
#pragma once

#include <chrono>
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
  // that repeats it is, so that a late answer to another request is refused.
  bool ReplyBelongsToRequest();
  // A transaction answered only after its request went again may have taken the answer to an
  // earlier send; the unit's answers to the later sends are then still on their way, each at
  // most as long after the one before as the answer taken needed from the first send (and a
  // short slack). True
  // while such answers from the device's unit may still come. A request that could take one
  // (another to the same unit, or one whose reply check would not tell it apart) first drains
  // them; others go at once, and refuse such an answer by its unit ID and command.
  bool AwaitsLateAnswerFrom(const CDevice* device);
  // Off leaves late answers to the reply checks alone (no watch, no drain); on by default. For
  // measuring what the drain costs.
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
  // The answers to the later sends of one transaction that was answered after a resend, until
  // they can no longer come.
  struct LateAnswerWatch {
    const CDevice* device = nullptr;
    bool write = false;  // the answers are ACKs
    std::uint8_t replyStart = 0;
    std::uint32_t echoMask = 0;
    std::uint8_t echoed[32] = {};  // the request's bytes named by the echo mask, low seven bits
    std::uint32_t bytesDue = 0;  // the bytes those answers make together
    std::chrono::steady_clock::time_point until{};
  };

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
  // At the end of a transaction answered after a resend: watches for the answers to its later
  // sends.
  void WatchForLateAnswers();
  void PruneLateAnswerWatches(std::chrono::steady_clock::time_point now);
  // Whether the request in the record could take an answer the watch waits for.
  bool MayTakeLateAnswer(const LateAnswerWatch& watch) const;
  // The bytes of the request being sent that its echo mask names, low seven bits each.
  void CopyEchoedBytes(std::uint8_t (&out)[32]) const;
  // Drops the answers that the request in the record could take, as they come, until all are
  // in or none can come any more. False when the time-outs could not be set.
  bool DrainLateAnswers();
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
  // Sends of the current transaction, and when the first left the port.
  std::uint32_t m_sends = 0;
  std::chrono::steady_clock::time_point m_firstSendEnd{};
  // Answers to the later sends of transactions that were answered after a resend.
  std::vector<LateAnswerWatch> m_lateWatches;
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
  ICommsHost* m_host = nullptr;
  std::uint8_t m_receive[kReceiveBufferSize] = {};
  std::uint8_t m_transmit[CControlMessage::kFrameSize] = {};
  // Target devices whose replies have repeated the header bytes their requests named.
  std::set<const CDevice*> m_echoingUnits;
};
