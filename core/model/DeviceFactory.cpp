// Registry of device families by type code.
#include "core/model/DeviceFactory.h"

#include <array>
#include <atomic>

namespace {

// One slot per possible type byte; atomics so the worker can look up while nothing registers.
std::array<std::atomic<DeviceCreator>, 256>& Registry() {
  static std::array<std::atomic<DeviceCreator>, 256> registry{};
  return registry;
}

}  // namespace

void RegisterDeviceCreator(std::uint32_t typeCode, DeviceCreator creator) {
  if (typeCode < Registry().size()) Registry()[typeCode].store(creator);
}

DeviceCreator FindDeviceCreator(std::uint32_t typeCode) {
  if (typeCode >= Registry().size()) return nullptr;
  return Registry()[typeCode].load();
}

void ClearDeviceCreatorsForTests() {
  for (auto& slot : Registry()) slot.store(nullptr);
}
