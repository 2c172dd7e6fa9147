// The base rules of a device's address.
#include "core/model/AddressRules.h"

#include <vector>

#include "core/model/Device.h"
#include "core/model/DeviceHost.h"
#include "platform/TextFormat.h"

std::string CAddressRules::DeviceIdRangeRefusal(std::uint64_t id) const {
  if (id <= 0xFFFFFFFFu) return {};
  return FormatText("Device ID must be between 0 and %u", 0xFFFFFFFFu);
}

std::string CAddressRules::AddressRefusal(std::uint64_t id) const { return DeviceIdRangeRefusal(id); }

std::uint64_t CAddressRules::FrameAddress(std::uint64_t id) const { return id; }

bool CAddressRules::QueriesLongId() const { return false; }

bool CAddressRules::AnswersLongIdProbe() const { return m_device.GetDeviceId() > kMaxShortId; }

bool CAddressRules::IsAddressable() const {
  const std::uint32_t id = m_device.GetDeviceId();
  return id != 0 && !m_leftOut && AddressRefusal(id).empty();
}

std::optional<std::string> CAddressRules::DeviceIdInUseRefusal(std::uint64_t id) const {
  IDeviceHost* host = m_device.GetHost();
  if (id == 0 || !host) return std::nullopt;
  const std::vector<CDevice*> devices = host->GetDevices();
  for (const CDevice* other : devices)
    if (other != &m_device && other->GetDeviceId() == id) return "Device ID " + std::to_string(id) + " already in use";
  // Frames built for the ID that reach another device's unit too would reach both units.
  if (!AddressRefusal(id).empty()) return std::nullopt;
  const std::uint64_t address = FrameAddress(id);
  for (CDevice* other : devices) {
    const CAddressRules& rules = other->AddressRules();
    if (other == &m_device || other->GetDeviceId() == 0 || !rules.AddressRefusal(other->GetDeviceId()).empty()) continue;
    if (rules.FrameAddress(other->GetDeviceId()) == address)
      return "Device ID " + std::to_string(id) + " would also address " + other->GetUnitText();
  }
  return std::nullopt;
}
