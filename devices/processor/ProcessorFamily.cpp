// The processor family's entries of the device factory.
#include "devices/processor/ProcessorFamily.h"

#include "core/DeviceFactory.h"
#include "devices/processor/NerexSeriesDevice.h"

namespace {

CDevice* Create(CSystem* system, IMessageSink* frame, std::uint32_t type, std::uint32_t id, std::uint32_t modelIndex) {
  auto* device = new CNerexSeriesDevice(system, type, id, frame, modelIndex);
  device->Initialise();
  return device;
}

// The Fennick models take no model index.
CDevice* CreateFennick(CSystem* system, IMessageSink* frame, std::uint32_t type, std::uint32_t id, std::uint32_t) {
  return Create(system, frame, type, id, 0);
}

}  // namespace

void RegisterProcessorFamily() {
  RegisterDeviceCreator(16, CreateFennick);
  RegisterDeviceCreator(17, CreateFennick);
  for (std::uint32_t type : {110u, 112u, 114u, 115u, 116u, 118u, 120u, 121u}) RegisterDeviceCreator(type, Create);
}
