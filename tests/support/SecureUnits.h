// Secured units for the security tests: short pauses for the passes, and a Zel amplifier (its
// whole protocol) or a Sornic amplifier (type 60) that keeps a user table, as a simulated unit
// with its device.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "core/comms/Security.h"
#include "core/system/System.h"
#include "devices/amplifier/SornicAmpDevice.h"
#include "devices/amplifier/ZelSeriesDevice.h"
#include "tools/devsim/SimBus.h"
#include "tools/devsim/SimSecurityUnit.h"
#include "tools/devsim/SimZelAmp.h"
#include "tests/support/ModelChanges.h"

using SimUsers = std::vector<std::pair<std::string, std::string>>;

// Pauses of a few milliseconds; the waits on the dialog stay long enough for a loaded machine.
inline CSecurityTimings QuickSecurityTimings() {
  CSecurityTimings quick;
  quick.pollMs = 1;
  quick.messagePauseMs = 5;
  quick.updatePauseMs = 5;
  quick.dialogOpenTimeoutMs = 5000;
  quick.dialogSendTimeoutMs = 5000;
  quick.answerTimeoutMs = 30000;
  // Refused units are examined again only where a test asks for it.
  quick.refusedHoldOffMs = 600000;
  return quick;
}

// The unit on the bus holding users, and its device (named) appended to the system.
inline CSimSecurityUnit* AddSecureUnit(CSimBus& bus, CSystem& system, IMessageSink* frame, std::uint8_t type,
                                       std::uint32_t id, const std::string& name, const SimUsers& users) {
  SimSecurityConfig config;
  config.typeCode = type;
  config.deviceId = id;
  // A Zel amplifier answers its whole protocol, so that it stays connected after the pass.
  CSimSecurityUnit* unit = nullptr;
  if (type == 60) {
    unit = bus.Add<CSimSecurityUnit>(config);
  } else {
    auto* amp = bus.Add<CSimZelAmpUnit>(config);
    amp->Update([&](SimZelAmpState& state) { state.name = name; });
    unit = amp;
  }
  unit->SetUsers(users);
  CDevice* device = nullptr;
  if (type == 60) {
    auto* sornic = new CSornicAmpDevice(&system, frame, type, id, 0);
    sornic->Initialise();
    device = sornic;
  } else {
    auto* zel = new CZelSeriesDevice(&system, frame, type, id);
    zel->Initialise();
    device = zel;
  }
  NameDevice(device, name);
  system.AppendDevice(device);
  return unit;
}
