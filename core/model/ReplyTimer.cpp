// The reply timer of a device.
#include "core/model/ReplyTimer.h"

#include "platform/Clock.h"

void CReplyTimer::StartReplyTimer() {
  m_start = GetTickCount();
  m_timeout = kReplyTimeoutMs;
}
