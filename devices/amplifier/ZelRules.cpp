// The rule sets of the devices of the F0/F1 frames.
#include "devices/amplifier/ZelRules.h"

#include "core/protocol/ControlMessage.h"
#include "devices/amplifier/ZelBaseDevice.h"
#include "platform/TextFormat.h"

std::string CZelAddressRules::DeviceIdRangeRefusal(std::uint64_t id) const {
  if ((id & ~std::uint64_t{0x7F7F7F7F}) == 0) return {};
  const auto carried = std::uint32_t(id & 0x7F7F7F7F);
  return FormatText("Device ID %llu would address ID %u - each byte of the ID must be 0 to 127",
                    static_cast<unsigned long long>(id), unsigned(carried));
}

std::uint32_t CZelUnitAtId::UnitTypeOfReply(const CControlMessage& record) const {
  return record.command == kZelIdentityCommand ? 0 : CUnitAtId::UnitTypeOfReply(record);
}

std::string CZelUnitAtId::ModelNameOfType(std::uint32_t typeCode) const {
  const std::string name = CZelBaseDevice::GetModelNameForType(typeCode);
  return name.empty() ? CUnitAtId::ModelNameOfType(typeCode) : name;
}

CZelChangeGate::CZelChangeGate(CZelBaseDevice& device) : CUserChangeGate(device), m_amplifier(device) {}
