// The amplifier families' entries of the device factory.
#include "devices/amplifier/AmplifierFamilies.h"

#include "core/model/DeviceFactory.h"
#include "devices/amplifier/PannexDevice.h"
#include "devices/amplifier/SornicAmpDevice.h"
#include "devices/amplifier/ZelBreakDevice.h"
#include "devices/amplifier/ZelSeriesDevice.h"

namespace {

CDevice* CreateZelBreak(IDeviceHost* host, IMessageSink* frame, std::uint32_t type, std::uint32_t id, std::uint32_t) {
  auto* device = new CZelBreakDevice(host, frame, type, id);
  device->Initialise();
  return device;
}

CDevice* CreatePannex(IDeviceHost* host, IMessageSink* frame, std::uint32_t type, std::uint32_t id, std::uint32_t) {
  auto* device = new CPannexDevice(host, frame, type, id);
  device->Initialise();
  return device;
}

CDevice* CreateZelSeries(IDeviceHost* host, IMessageSink* frame, std::uint32_t type, std::uint32_t id, std::uint32_t) {
  auto* device = new CZelSeriesDevice(host, frame, type, id);
  device->Initialise();
  return device;
}

CDevice* CreateSornic(IDeviceHost* host, IMessageSink* frame, std::uint32_t type, std::uint32_t id,
                      std::uint32_t modelIndex) {
  auto* device = new CSornicAmpDevice(host, frame, type, id, modelIndex);
  device->Initialise();
  return device;
}

}  // namespace

void RegisterAmplifierFamilies() {
  for (std::uint32_t type = 34; type <= 47; ++type) RegisterDeviceCreator(type, CreateZelBreak);
  RegisterDeviceCreator(49, CreatePannex);
  RegisterDeviceCreator(50, CreatePannex);
  for (std::uint32_t type = 51; type <= 56; ++type) RegisterDeviceCreator(type, CreateZelSeries);
  RegisterDeviceCreator(60, CreateSornic);
}
