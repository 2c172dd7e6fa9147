// Units of every family made by the factory on a system whose port is open on an in-memory
// line, connected, so that what a change sends is queued as it would leave; each unit has a
// simulated twin that the queued frames are handed to, as the line would carry them, so that a
// test reads what the unit now holds.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "core/comms/CommsWorker.h"
#include "core/comms/SerialComms.h"
#include "core/protocol/ControlMessage.h"
#include "core/system/System.h"
#include "devices/processor/NerexSeriesMemory.h"
#include "platform/SerialPortMemory.h"
#include "tools/devsim/SimProcessor.h"
#include "tools/devsim/SimZelAmp.h"
#include "tools/devsim/SimZelBreak.h"

// A processor channel's name as the unit holds it, without the padding blanks.
inline std::string NameOf(const NerexChannelName& name) {
  std::string text(name.begin(), name.end());
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
}

// Type codes of the families' units: Zel amplifiers 51..56, breakout boxes 34..47, the
// processors by model.
inline bool IsZelAmpType(std::uint32_t type) { return type >= 51 && type <= 56; }
inline bool IsZelBoxType(std::uint32_t type) { return type >= 34 && type <= 47; }

class CUnitTwins {
 public:
  explicit CUnitTwins(CSystem& system) : m_system(system) {}

  // Opens the system's port on the in-memory line (the families must be registered).
  bool OpenPort() {
    m_system.GetComms().GetTransport().SetPort(std::make_unique<CMemorySerialPort>(m_line));
    return m_system.GetComms().GetTransport().Open(1, 57600, false);
  }
  void ClosePort() { m_system.GetComms().GetTransport().Close(); }

  // A unit of the type made by the factory, appended to the system and connected, with its
  // simulated twin.
  CDevice* Add(std::uint32_t type, std::uint32_t id, std::uint32_t hardware = 0) {
    CDevice* device = m_system.CreateDevice(id, type, hardware);
    EXPECT_NE(device, nullptr) << type;
    if (!device) return nullptr;
    m_system.AppendDevice(device);
    device->SetNeedsInitialisation(false);
    for (int i = 0; i < 3; ++i) device->UpdateCommsState(true);
    SimSecurityConfig config;
    config.typeCode = std::uint8_t(type);
    config.deviceId = id;
    if (IsZelAmpType(type)) {
      amp = std::make_unique<CSimZelAmpUnit>(config);
      m_units[device] = amp.get();
    } else if (IsZelBoxType(type)) {
      box = std::make_unique<CSimZelBreakUnit>(config);
      m_units[device] = box.get();
    } else {
      processor = std::make_unique<CSimProcessorUnit>(int(type), id, hardware);
      m_units[device] = processor.get();
    }
    return device;
  }

  // Every frame the device queued, handed to its twin in order, as the line carries them; the
  // number of frames.
  std::size_t DeliverQueued(CDevice& device) {
    std::size_t n = 0;
    CControlMessage m;
    while (device.Queue().PopMessage(m)) {
      m_units.at(&device)->Handle(SimBytes(m.frame, m.frame + m.FrameBytes()));
      ++n;
    }
    return n;
  }

  // The twin of the last unit added of each family.
  std::unique_ptr<CSimZelAmpUnit> amp;
  std::unique_ptr<CSimZelBreakUnit> box;
  std::unique_ptr<CSimProcessorUnit> processor;

 private:
  CSystem& m_system;
  std::shared_ptr<CSerialLine> m_line = std::make_shared<CSerialLine>();
  std::map<const CDevice*, CSimUnit*> m_units;
};
