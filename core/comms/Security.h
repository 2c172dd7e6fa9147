// Device security passes: what the get pass learns of each device, the groups it settles
// together, and the pauses and time-outs of both passes.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/model/User.h"

class CDevice;

// The security data of one device examined by the get pass.
struct CDeviceSecurityRecord {
  enum class Kind {
    kUserList,    // the device's user table (possibly empty)
    kNoSecurity,  // the family reads no security block
    kNoAnswer,    // the check or the read failed
  };

  CDeviceSecurityRecord(CDevice* d, Kind k) : device(d), kind(k) {}
  ~CDeviceSecurityRecord() { DeleteAllUsers(users); }
  CDeviceSecurityRecord(const CDeviceSecurityRecord&) = delete;
  CDeviceSecurityRecord& operator=(const CDeviceSecurityRecord&) = delete;

  // Same kind, and for user lists lists that compare equal.
  bool HasSameDataAs(const CDeviceSecurityRecord& other) const;
  // A user list with at least one user: only then is there a password to ask for.
  bool HoldsUsers() const { return kind == Kind::kUserList && !users.empty(); }

  CDevice* device;
  Kind kind;
  CUserList users;  // owned; kUserList only
};

using CSecurityGroup = std::vector<std::unique_ptr<CDeviceSecurityRecord>>;

// Takes the first record off records with every later one of equal data, in list order.
CSecurityGroup TakeSecurityGroup(CSecurityGroup& records);

// What asking the dialog gives when there is no dialog to ask.
inline constexpr std::int32_t kNoSecurityDialog = -1;

// How a step of a pass ended.
enum class SecurityStep { kGoOn, kAborted, kTransportError };

// Pauses and time-outs of the passes, ms.
struct CSecurityTimings {
  std::uint32_t pollMs = 10;            // between looks at the dialog, and between devices
  std::uint32_t messagePauseMs = 1000;  // after a device list, a failure or a wrong password
  std::uint32_t updatePauseMs = 500;    // set pass: before each device's write
  std::uint32_t writeTimeoutMs = 500;   // least extra transport time-out of a security write
  // Bounds of the waits on the dialog: until it opens (then the pass runs without it), until
  // it takes a request, and until it is answered (then taken as Abort).
  std::uint32_t dialogOpenTimeoutMs = 1000;
  std::uint32_t dialogSendTimeoutMs = 5000;
  std::uint32_t answerTimeoutMs = 15 * 60 * 1000;
  // A refused device that answers is examined again once this hold-off has run out since its
  // refusal; every further refusal doubles it, up to the most.
  std::uint32_t refusedHoldOffMs = 2000;
  std::uint32_t refusedHoldOffMaxMs = 120000;
};
