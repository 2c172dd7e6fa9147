// A large system of real processors for the benchmarks that measure how the program grows with
// the units: the processor models in turn, each with its 20 presets, over five zones, with ten
// users, 50 links of five units and as many snapshots of all of them as asked.
#pragma once

#include <cstdint>
#include <iterator>
#include <string>

#include "core/model/Device.h"
#include "core/model/Link.h"
#include "core/model/User.h"
#include "core/system/System.h"
#include "core/system/Zone.h"
#include "devices/processor/ProcessorFamily.h"
#include "tests/support/ModelChanges.h"

namespace processor_rack {

// Processor models in turn, each with its own settings image.
constexpr std::uint32_t kModels[] = {16, 17, 110, 112, 114, 115, 116, 118, 120, 121};

inline void Populate(CSystem& s, int units, int snapshots) {
  RegisterProcessorFamily();
  for (int z = 1; z < 5; ++z) {
    auto* zone = new CZone(&s);
    zone->SetName("Zone " + std::to_string(z));
    s.AppendZone(zone);
  }
  for (int i = 0; i < units; ++i) {
    CDevice* d = s.CreateDevice(std::uint32_t(i + 1), kModels[std::size_t(i) % std::size(kModels)], 0);
    NameDevice(d, "Processor " + std::to_string(i));
    s.AppendDevice(d);
    s.GetZones()[std::size_t(i) % 5]->AppendDevice(d);
  }
  for (int u = 1; u < 10; ++u) s.Users().GetUsers().push_back(new CUser("User" + std::to_string(u), "pw"));
  s.Users().EnsureUserPermissions();
  for (int l = 0; l < 50; ++l) {
    CLink* link = s.Links().AddLink();
    for (int m = 0; m < 5; ++m) link->AddRef(new CLinkRef(s.GetDevice((l * 5 + m) % units)->GetUuid(), 1));
  }
  for (int n = 0; n < snapshots; ++n) s.Snapshots().AddSnapshot("Snapshot " + std::to_string(n));
}

}  // namespace processor_rack
