// A simulated amplifier or breakout box that keeps a device user table: it answers, in the
// F0/F1 layout of those families, the identity probe, the security check (command 60, or 62
// on a Sornic amplifier, type 60), the read of the security block (command 74) and its write
// (command 75), and acknowledges every other write.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "core/model/User.h"
#include "tools/devsim/SimUnit.h"

struct SimSecurityConfig {
  std::uint8_t typeCode = 51;
  std::uint32_t deviceId = 1;  // as four 7-bit groups in request bytes 4 to 7
  // The unit takes part in the security step (check and block); otherwise it is silent to the
  // security commands, as an unreachable unit is.
  bool answersSecurity = true;
  // Writes of the security block are left unacknowledged (the unit keeps its table).
  bool refusesSecurityWrites = false;
  std::string firmware = "1.00";  // four characters in the identity reply
};

// Thread-safe: the bus thread answers while a test reads and changes the table.
class CSimSecurityUnit : public CSimUnit {
 public:
  explicit CSimSecurityUnit(const SimSecurityConfig& config);

  std::size_t RequestLength(const SimBytes& bytes) const override;
  SimAnswer Handle(const SimBytes& request) override;

  // Stores the table packed from the users (name, password, mask; at most 10).
  void SetUsers(const std::vector<std::pair<std::string, std::string>>& users);
  void SetTable(const CUserTable& table);
  CUserTable GetTable() const;
  // Name and password of each user of the table.
  std::vector<std::pair<std::string, std::string>> GetUsers() const;

  void SetAnswersSecurity(bool on) { m_answersSecurity = on; }
  void SetRefusesSecurityWrites(bool on) { m_refusesWrites = on; }
  // Whether framed replies repeat the request's type, ID and command in bytes 3 to 9 (they do
  // unless told otherwise); a unit that does not leaves zeros there.
  void SetRepeatsHeader(bool on) { m_repeatsHeader = on; }

  int SecurityChecks() const { return m_checks; }
  int SecurityReads() const { return m_reads; }
  int SecurityWrites() const { return m_writes; }
  int IdentityProbes() const { return m_probes; }

 protected:
  // A reply of totalLength bytes from 0xA8: bytes 3 to 9 repeat the unit's type, ID and the
  // command (see SetRepeatsHeader), the payload follows from byte 10.
  SimAnswer FramedReply(std::uint8_t command, std::size_t totalLength, const SimBytes& payload) const;

 private:
  bool Addressed(const SimBytes& request) const;

  const std::uint8_t m_typeCode;
  const std::uint32_t m_deviceId;
  const std::string m_firmware;
  std::atomic<bool> m_answersSecurity;
  std::atomic<bool> m_refusesWrites;
  mutable std::mutex m_mutex;
  CUserTable m_table{};
  std::atomic<int> m_checks{0};
  std::atomic<int> m_reads{0};
  std::atomic<int> m_writes{0};
  std::atomic<int> m_probes{0};
  std::atomic<bool> m_repeatsHeader{true};
};
