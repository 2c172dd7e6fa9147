// Registry of device families by type code. Each family library registers its creators once at
// start (the application and the tests call the Register...Family functions); the system object
// looks type codes up here, so core never links the families.
#pragma once

#include <cstdint>

class CDevice;
class IDeviceHost;
class IMessageSink;

// Builds and initialises one device: (host, frame, type code, device ID, model index), the
// host being the system that will own it.
// A family decides from its table which model index it keeps. Returns null on failure.
using DeviceCreator = CDevice* (*)(IDeviceHost* host, IMessageSink* frame, std::uint32_t typeCode,
                                   std::uint32_t deviceId, std::uint32_t modelIndex);

// Registers a creator for one type code (0 to 255), replacing an earlier one. Call before the
// comms worker runs; lookups may then come from any thread.
void RegisterDeviceCreator(std::uint32_t typeCode, DeviceCreator creator);

// The creator of a type code, or null when no family takes it (codes above 255 included).
DeviceCreator FindDeviceCreator(std::uint32_t typeCode);

// Removes every registration. Tests only.
void ClearDeviceCreatorsForTests();
