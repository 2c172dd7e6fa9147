// What the simulated Zel units (amplifiers and breakout boxes) share: the security side of
// CSimSecurityUnit, the F0/F1 addressing, packed replies, scripted reply faults per command,
// the log of acknowledged writes and the count of answered reads. Thread-safe: the bus thread
// answers while a test reads and changes the unit.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "tools/devsim/SimSecurityUnit.h"

// A fault in the next reply to one command.
struct SimZelFault {
  enum class Kind {
    kSilence,      // no answer
    kJunk,         // value junk bytes (0x55) before the reply
    kBadChecksum,  // the checksum byte is wrong
    kShort,        // the last value bytes are left out
    kLate,         // the answer starts value ms later
    kAnotherUnit,  // the reply names unit value in the last of its four ID bytes (7)
  };
  Kind kind = Kind::kSilence;
  int value = 0;
};

class CSimZelUnit : public CSimSecurityUnit {
 public:
  explicit CSimZelUnit(const SimSecurityConfig& config);

  // The identity query, then broadcasts, then frames addressed to the unit: the security
  // block's write and the unit's own writes (acknowledged), the unit's reads, and whatever the
  // unit does not read itself by the security side.
  SimAnswer Handle(const SimBytes& request) override;
  // The ID in four 7-bit groups from byte 4, the command in byte 9.
  SimHeader Header() const override { return {4, 4, 9}; }

  // The next reply to command (0xB0 for the identity query) gets the fault; faults of one
  // command are used in order.
  void InjectReplyFault(std::uint8_t command, SimZelFault fault);
  // Write frames acknowledged, in order; those of one command.
  std::vector<SimBytes> Writes() const;
  std::vector<SimBytes> WritesOf(std::uint8_t command) const;
  // Reads answered, by command (0xB0 for the identity query).
  std::size_t ReadCount(std::uint8_t command) const;

 protected:
  static constexpr std::size_t kPayloadOffset = 10;

  // A frame to every unit of a type that the unit takes without answering; false for others.
  virtual bool TakeBroadcast(const SimBytes& request) {
    (void)request;
    return false;
  }
  // The unit's reads answered from its state (Silence for commands it does not read), and its
  // writes applied to it; both log through CountRead and LogWrite.
  virtual SimAnswer Read(const SimBytes& request, std::uint8_t command) = 0;
  virtual void ApplyWrite(const SimBytes& request, std::uint8_t command) = 0;

  // Changes of the state whose time has come, applied before a frame is handled. Base: none.
  virtual void ApplyDueChanges() {}
  // An F0/F1 frame addressed to this unit's ID.
  bool IsAddressed(const SimBytes& request) const;
  // The identity query answered by the security side, counted and given its fault.
  SimAnswer Identity(const SimBytes& request);
  // A reply of totalLength bytes carrying raw packed 8-to-7 from byte 10.
  SimAnswer Packed(std::uint8_t command, std::size_t totalLength, const SimBytes& raw) const;
  // The answer with the next scripted fault of the command applied.
  SimAnswer WithFault(std::uint8_t command, SimAnswer answer);
  // Under m_stateMutex: logs a write, counts a read.
  void LogWrite(const SimBytes& request) { m_writes.push_back(request); }
  void CountRead(std::uint8_t command) { ++m_reads[command]; }

  const std::uint8_t m_type;
  const std::uint32_t m_id;
  mutable std::mutex m_stateMutex;

 private:
  std::map<std::uint8_t, std::deque<SimZelFault>> m_faults;
  std::vector<SimBytes> m_writes;
  std::map<std::uint8_t, std::size_t> m_reads;
};

// Text bytes of a name field: the first count characters (7-bit), padded with spaces.
SimBytes SimZelText(const std::string& text, std::size_t count);
// A name field without its trailing spaces.
std::string SimZelTrim(std::string text);

// A Zel unit with a state of its own, read and changed under the unit's lock.
template <class UnitState>
class CSimZelStateUnit : public CSimZelUnit {
 public:
  using CSimZelUnit::CSimZelUnit;

  UnitState State() const {
    std::lock_guard<std::mutex> lock(m_stateMutex);
    return m_state;
  }
  void SetState(const UnitState& state) {
    std::lock_guard<std::mutex> lock(m_stateMutex);
    m_state = state;
  }
  // Changes the state under the unit's lock.
  template <typename Change>
  void Update(Change change) {
    std::lock_guard<std::mutex> lock(m_stateMutex);
    change(m_state);
  }
  // Changes the state `after` from now: the unit reports it from the first frame it handles
  // after that time (a unit that overheats, goes into protect or raises an alarm on its own).
  void UpdateAfter(std::chrono::steady_clock::duration after, std::function<void(UnitState&)> change) {
    std::lock_guard<std::mutex> lock(m_stateMutex);
    m_scheduled.emplace(std::chrono::steady_clock::now() + after, std::move(change));
  }

 protected:
  void ApplyDueChanges() override {
    std::lock_guard<std::mutex> lock(m_stateMutex);
    const auto now = std::chrono::steady_clock::now();
    while (!m_scheduled.empty() && m_scheduled.begin()->first <= now) {
      m_scheduled.begin()->second(m_state);
      m_scheduled.erase(m_scheduled.begin());
    }
  }

  UnitState m_state;

 private:
  std::multimap<std::chrono::steady_clock::time_point, std::function<void(UnitState&)>> m_scheduled;
};
