// A system with processors of chosen models, a recording frame and, when asked, an open port
// on an in-memory line so that queued writes are kept.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/comms/CommsWorker.h"
#include "core/protocol/ControlMessage.h"
#include "core/comms/SerialComms.h"
#include "core/system/System.h"
#include "devices/processor/NerexParamIds.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "platform/SerialPortMemory.h"
#include "platform/WindowMessages.h"
#include "tests/support/RecordingFrame.h"

// A processor that records the changes handed to its change path instead of applying them.
class CRecordingProcessor : public CNerexSeriesDevice {
 public:
  using CNerexSeriesDevice::CNerexSeriesDevice;
  // Only the display settings are stored, as the change path would store them (the property
  // handlers refuse a change that did not take).
  void ApplyControlChange(const CParamValue& value) override {
    changes.push_back(value);
    if (value.id == kParamDeviceName) SetName(value.text);
    if (value.id == kParamDelayUnits) HostOptions().SetDelayUnits(std::uint32_t(value.integer));
    if (value.id == kParamDelayMultiplier) HostOptions().SetDelayMultiplier(std::uint32_t(value.integer));
    if (value.id == kParamGainNudge) HostOptions().SetGainNudge(std::uint32_t(value.integer));
  }
  std::vector<CParamValue> changes;
};

class ProcessorFixture : public ::testing::Test {
 protected:
  CRecordingProcessor& MakeRecording(int model, std::uint32_t id = 1, std::uint32_t hardwareCode = 0) {
    auto* device = new CRecordingProcessor(&m_system, std::uint32_t(model), id, &m_sink, hardwareCode);
    device->Initialise();
    m_system.AppendDevice(device);
    return *device;
  }

  // The current user (Admin) with the given restriction bits.
  void Restrict(std::uint64_t mask) { m_system.Users().GetUsers()[0]->SetRestrictionMask(mask); }

  // A processor that the system owns, appended to its device list.
  CNerexSeriesDevice& Make(int model, std::uint32_t id = 1, std::uint32_t hardwareCode = 0) {
    auto* device = static_cast<CNerexSeriesDevice*>(
        CreateNerexSeriesDevice(&m_system, &m_sink, std::uint32_t(model), id, hardwareCode));
    m_system.AppendDevice(device);
    return *device;
  }

  void OpenPort() {
    m_system.GetComms().GetTransport().SetPort(std::make_unique<CMemorySerialPort>(m_line));
    ASSERT_TRUE(m_system.GetComms().GetTransport().Open(1, 57600, false));
  }

  // Raises the device's connection level above 2, as answered requests do.
  static void Connect(CNerexSeriesDevice& device) {
    for (int i = 0; i < 3; ++i) device.UpdateCommsState(true);
  }

  // Commands of the device's queued messages, in order.
  static std::vector<std::uint32_t> QueuedCommands(const CNerexSeriesDevice& device) {
    std::vector<std::uint32_t> commands;
    CControlMessage m;
    for (std::size_t i = 0; device.Queue().PeekQueuedMessage(i, m); ++i) commands.push_back(m.command);
    return commands;
  }

  static CControlMessage QueuedMessage(const CNerexSeriesDevice& device, std::size_t i) {
    CControlMessage m;
    EXPECT_TRUE(device.Queue().PeekQueuedMessage(i, m));
    return m;
  }

  std::size_t Posted(std::uint32_t message) const { return m_sink.Count(message); }

  std::shared_ptr<CSerialLine> m_line = std::make_shared<CSerialLine>();
  CSystem m_system;
  CRecordingFrame m_sink;
};
