// What discovery and the security passes need of the comms worker that runs them: the
// transport and its one transaction, whether the worker is asked to stop, and the worker's state
// lock that guards what the passes keep between runs. A pass that waits returns to the worker,
// whose loop polls meanwhile (CSecurityPass).
#pragma once

#include <cstdint>

#include "platform/Sync.h"

class CSerialComms;

class ICommsPassHost {
 public:
  virtual ~ICommsPassHost() = default;
  // The transport; the passes fill its transaction record. Worker thread.
  virtual CSerialComms& Transport() = 0;
  // Runs the transaction in the transport's record and waits; false on a transport error.
  // maxSilentSends: the sends that may meet silence before it ends unanswered (0: every send the
  // transport allows). Worker thread.
  virtual bool RunTransaction(std::uint32_t maxSilentSends = 0) = 0;
  // The worker is ending: stopped, or asked to stop. Any thread.
  virtual bool IsEnding() const = 0;
  // The worker is asked to go idle. Any thread.
  virtual bool IsGoIdleRequested() const = 0;
  // The worker's own lock. Code holding it calls nothing that takes the document's lock; code
  // holding the document's lock may take it.
  virtual CCriticalSection& StateLock() const = 0;
};
