// The processors' own rule sets of a device: the gate of a person's changes (the rights and
// questions of the preset actions, routing and a flattened graphic EQ), the address rules of
// frames that carry the ID's low byte, and the model names of the unit at the ID.
#pragma once

#include <cstdint>
#include <string>

#include "core/model/AddressRules.h"
#include "core/model/UnitAtId.h"
#include "core/model/UserChangeGate.h"

class CNerexSeriesDevice;

class CNerexChangeGate final : public CUserChangeGate {
 public:
  explicit CNerexChangeGate(CNerexSeriesDevice& device);
  // A routing change and a graphic EQ flattened are confirmed first, and the preset actions
  // that recall, overwrite or clear a memory (PresetActionConfirmation).
  std::uint32_t ConfirmationFor(const CParamValue& value, const CChangeAnswer& answer) const override;
  // Nothing for the ids that only steer the panel or that the device takes no action on; the
  // right to recall presets for the preset actions, to edit device properties for the names,
  // to use device controls for every other id.
  std::uint64_t RightsNeededFor(int parameterId) const override;

 protected:
  // The preset actions act on the row and with the name, file or timed presets of a
  // CNerexPresetAnswer (without one they do nothing); every other change is the device's
  // ApplyControlChange.
  void ApplyAnsweredChange(const CParamValue& value, CChangeAnswer& answer) override;

 private:
  CNerexSeriesDevice& m_processor;
};

class CNerexAddressRules final : public CAddressRules {
 public:
  using CAddressRules::CAddressRules;
  // The ID row takes IDs 0 to 63 (a unit found by its long ID keeps that ID).
  std::string DeviceIdRangeRefusal(std::uint64_t id) const override;
  // The frames carry the ID's low byte, which a unit at a long ID answers to: an ID whose low
  // byte is 0 would address every unit of the model, as ID 0 does.
  std::string AddressRefusal(std::uint64_t id) const override;
  // The low byte of the ID, whatever the model: the identification request names no model, so
  // processors whose IDs share their low byte are reached by one frame.
  std::uint64_t FrameAddress(std::uint64_t id) const override;
};

class CNerexUnitAtId final : public CUnitAtId {
 public:
  using CUnitAtId::CUnitAtId;
  std::string ModelNameOfType(std::uint32_t typeCode) const override;
};
