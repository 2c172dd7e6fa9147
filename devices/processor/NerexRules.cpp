// The processors' own rule sets of a device.
#include "devices/processor/NerexRules.h"

#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "platform/TextFormat.h"

CNerexChangeGate::CNerexChangeGate(CNerexSeriesDevice& device) : CUserChangeGate(device), m_processor(device) {}

// CNerexChangeGate's rights, questions and answered change are with the change path
// (NerexChange.cpp), whose ids they read.

std::string CNerexAddressRules::DeviceIdRangeRefusal(std::uint64_t id) const {
  if (id <= kNerexMaxDeviceId) return {};
  return FormatText("Device ID must be between 0 and %d", int(kNerexMaxDeviceId));
}

std::string CNerexAddressRules::AddressRefusal(std::uint64_t id) const {
  if (id > 0xFFFFFFFFu) return FormatText("Device ID must be between 0 and %u", 0xFFFFFFFFu);
  if ((id & 0xFF) != 0) return {};
  return FormatText("Device ID %llu would address every unit of its model", static_cast<unsigned long long>(id));
}

std::uint64_t CNerexAddressRules::FrameAddress(std::uint64_t id) const {
  // Apart from every other family's addresses, which carry the type code.
  return (std::uint64_t(1) << 63) | (id & 0xFF);
}

std::string CNerexUnitAtId::ModelNameOfType(std::uint32_t typeCode) const {
  const std::string name = ::GetModelName(int(typeCode), 0);
  return name.empty() ? CUnitAtId::ModelNameOfType(typeCode) : name;
}
