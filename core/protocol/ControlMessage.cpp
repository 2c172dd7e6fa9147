// Control message record.
#include "core/protocol/ControlMessage.h"

#include <cstring>

CControlMessage::CControlMessage() { std::memset(frame, 0, sizeof frame); }

CControlMessage::CControlMessage(const CControlMessage& other) : CControlMessage() {
  *this = other;
}

CControlMessage& CControlMessage::operator=(const CControlMessage& other) {
  if (this == &other) return *this;
  write = other.write;
  command = other.command;
  replyStart = other.replyStart;
  frameLength = other.frameLength;
  expectedLength = other.expectedLength;
  receivedLength = other.receivedLength;
  argument = other.argument;
  timeoutBase = other.timeoutBase;
  failed = other.failed;
  device = other.device;
  replyEchoMask = other.replyEchoMask;
  replyEchoOffset = other.replyEchoOffset;
  replyEchoNamesUnit = other.replyEchoNamesUnit;
  replyEcho = other.replyEcho;
  unansweredTries = other.unansweredTries;
  linkedParameter = other.linkedParameter;
  changeCount = other.changeCount;
  maxSilentSends = other.maxSilentSends;
  std::memcpy(frame, other.frame, other.FrameBytes());
  return *this;
}

void CControlMessage::Set(std::uint32_t command_, std::uint32_t frameLength_,
                          std::uint32_t expectedLength_, CDevice* device_, bool write_,
                          std::uint8_t replyStart_, std::uint32_t argument_,
                          std::uint32_t timeoutBase_) {
  command = command_;
  frameLength = frameLength_;
  expectedLength = expectedLength_;
  device = device_;
  write = write_;
  replyStart = replyStart_;
  argument = argument_;
  timeoutBase = timeoutBase_;
  replyEchoMask = 0;
  replyEchoOffset = 0;
  replyEchoNamesUnit = false;
  changeCount = 0;
  unansweredTries = 0;
  linkedParameter = -1;
  maxSilentSends = 0;
}
