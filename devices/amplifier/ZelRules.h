// The rule sets of the devices of the F0/F1 frames: IDs carried as four bytes of seven bits
// (and, for the Zel families, the identity query that is the long-ID probe), the unit type a
// framed reply repeats, and the Zel families' rights for a person's changes.
#pragma once

#include <cstdint>
#include <string>

#include "core/model/AddressRules.h"
#include "core/model/UnitAtId.h"
#include "core/model/UserChangeGate.h"

class CZelBaseDevice;

class CZelAddressRules final : public CAddressRules {
 public:
  // queriesLongId: the identity query is the long-ID probe of the device's ID, which the unit
  // answers at a short ID too (the Zel families).
  CZelAddressRules(const CDevice& device, bool queriesLongId)
      : CAddressRules(device), m_queriesLongId(queriesLongId) {}
  // The frames carry the ID as four bytes of seven bits each: an ID with a byte above 127 would
  // reach the unit at the ID with that bit cleared.
  std::string DeviceIdRangeRefusal(std::uint64_t id) const override;
  bool QueriesLongId() const override { return m_queriesLongId; }
  bool AnswersLongIdProbe() const override { return m_queriesLongId || CAddressRules::AnswersLongIdProbe(); }

 private:
  bool m_queriesLongId;
};

class CZelUnitAtId final : public CUnitAtId {
 public:
  using CUnitAtId::CUnitAtId;
  // A framed reply repeats the unit's type in byte 3; the identity reply names the unit's ID
  // there, and no type.
  std::uint32_t UnitTypeOfReply(const CControlMessage& record) const override;
  std::string ModelNameOfType(std::uint32_t typeCode) const override;
};

class CZelChangeGate final : public CUserChangeGate {
 public:
  explicit CZelChangeGate(CZelBaseDevice& device);
  // Nothing to turn the panel's page or to identify the unit (neither changes a setting); the
  // right to edit device properties for the name, with the right to use device controls for a
  // channel's name; the right to use device controls for every other id.
  std::uint64_t RightsNeededFor(int parameterId) const override;

 private:
  CZelBaseDevice& m_amplifier;
};
