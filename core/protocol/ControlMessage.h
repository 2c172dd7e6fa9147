// One exchange on the device bus: the request frame, the answer it waits for and, after the
// transaction, what came back.
#pragma once

#include <cstddef>
#include <cstdint>

class CDevice;

class CControlMessage {
 public:
  static constexpr std::size_t kFrameSize = 1024;
  // The most times the transport sends one request: the first send and two retries.
  static constexpr std::uint32_t kMaxSends = 3;
  static constexpr std::uint8_t kDefaultReplyStart = 0xA8;

  // A set command, answered by the one-byte ACK 0xA0; otherwise a request (framed reply) or
  // a broadcast (no answer).
  bool write = false;
  // The family's command number: the merge key and the number printed in comms log lines.
  std::uint32_t command = 0;
  // The bytes to send; after a successful transaction the reply is copied over it from byte 0.
  std::uint8_t frame[kFrameSize];
  // First byte of a valid reply.
  std::uint8_t replyStart = kDefaultReplyStart;
  // Frame bytes to send.
  std::uint32_t frameLength = 0;
  // Bytes of the whole reply, start byte to checksum; 0 reads nothing (a write still waits
  // for its ACK).
  std::uint32_t expectedLength = 0;
  // Bytes the transaction received.
  std::uint32_t receivedLength = 0;
  // Request argument A: a sub-index (a channel, say) that the family's reply handler reads back.
  std::uint32_t argument = 0;
  // Request argument B: read time-out base in ms, added to the read time-out.
  std::uint32_t timeoutBase = 0;
  // The transaction ended on garbage or a bad checksum (set by the transport).
  bool failed = false;
  // End the transaction at the first garbled or bad reply instead of retrying (discovery).
  bool noRetry = false;
  // The transaction ends unanswered once this many of its sends have been met by silence (a
  // read that timed out empty), with retries left or not; 0 leaves it to the retries. The comms
  // worker sets it for a unit that is most likely switched off. Set clears it.
  std::uint32_t maxSilentSends = 0;
  // The device the request is for; null for broadcasts. Not owned.
  CDevice* device = nullptr;
  // Bytes of the request that a framed reply may repeat (its unit ID and command): bit i set
  // means reply byte i is compared with request byte i on their low seven bits (i below 32).
  // Once a unit's replies have repeated them, the transport refuses a reply of that unit that
  // differs there as one to another request. 0 checks nothing. The family's frame builder sets
  // it; Set clears it.
  std::uint32_t replyEchoMask = 0;
  // Where the reply repeats them: reply byte i + replyEchoOffset repeats request byte i (an
  // identity reply names its unit further on than its request does). Set clears it.
  std::uint32_t replyEchoOffset = 0;
  // The reply names its unit in those bytes whatever the unit, as an identity reply does: one
  // that names another unit is never this request's, and nothing is learnt of the unit's other
  // replies from it. Set clears it.
  bool replyEchoNamesUnit = false;
  // Whom the reply the transaction took names in the bytes of the echo mask (set by the
  // transport; a request without echo mask is not checked).
  enum class EReplyEcho : std::uint8_t {
    kNotChecked,
    kRepeated,  // the request's bytes: the reply names the unit asked (and the command)
    kEmpty,     // every one of them 0: the reply names nobody
    kOther,     // another unit or command: the reply of another unit's request
  };
  EReplyEcho replyEcho = EReplyEcho::kNotChecked;
  // For a write sent again after a transaction that got no ACK: the transactions it had before.
  // Set clears it.
  std::uint32_t unansweredTries = 0;
  // For a write that carries a value a link handed the device: that parameter's id (-1: the
  // write carries no link's value). Set clears it.
  std::int32_t linkedParameter = -1;
  // For a read: the device's count of settings changes when the read was made (see
  // CStaleReadGuard::IsReadOvertaken); its reply tells of the unit as it was before any later change.
  // Set clears it; the family's read builder stamps it.
  std::uint32_t changeCount = 0;

  // A new message has a zeroed frame: queue merging compares frame bytes.
  CControlMessage();
  // Copies as operator= does into a zeroed message (the no-retry flag stays clear).
  CControlMessage(const CControlMessage& other);
  // Copies every field but the no-retry flag, which the destination keeps, and the frame
  // bytes up to the frame length.
  CControlMessage& operator=(const CControlMessage& other);

  // Stores the eight fields and clears the reply echo mask with its offset and kind, the silent
  // sends' limit, the change count, the unanswered tries and the linked parameter; frame bytes,
  // received length and both flags are left alone.
  void Set(std::uint32_t command, std::uint32_t frameLength, std::uint32_t expectedLength,
           CDevice* device, bool write, std::uint8_t replyStart, std::uint32_t argument,
           std::uint32_t timeoutBase);

  // Frame length limited to the frame buffer: what may be read or sent.
  std::size_t FrameBytes() const { return frameLength < kFrameSize ? frameLength : kFrameSize; }
};
