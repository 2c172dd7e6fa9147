// The worker's security passes (worker states 3 and 4). Until the passes with the security
// dialog are built, the get pass admits every device that waits for it as a device without
// security data, and the set pass writes nothing. Both run on the worker thread.
#include "core/Device.h"
#include "core/System.h"

CSystem::PassOutcome CSystem::RunGetSecurityPass() {
  for (CDevice* device : GetDevices()) {
    if (m_stopping) break;
    if (device->NeedsInitialisation() && device->GetDeviceId() != 0 && !device->IsIgnored())
      device->SetNeedsInitialisation(false);
  }
  return PassOutcome::kDone;
}

CSystem::PassOutcome CSystem::RunSetSecurityPass() { return PassOutcome::kDone; }
