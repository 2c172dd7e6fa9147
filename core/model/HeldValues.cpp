// What a device's windows show of its unit's own values.
#include "core/model/HeldValues.h"

#include "core/model/ControlPanel.h"
#include "core/model/Device.h"
#include "core/model/DeviceHost.h"

bool CHeldValues::IsAwayOnline() const {
  const IDeviceHost* host = m_device.GetHost();
  return host && host->IsPortOpen() && !m_device.IsConnected();
}

bool CHeldValues::RefuseChangeWhileAway(int parameterId) {
  if (!IsAwayOnline()) return false;
  ShowHeldValue(parameterId);
  if (CControlPanel* panel = m_device.GetControlPanel()) panel->ShowChangeRefused(parameterId, kNotConnectedRefusal);
  return true;
}

void CHeldValues::ShowHeldValue(int parameterId) {
  const CParamValue held = m_device.GetCurrentValue(parameterId);
  if (held.id == parameterId && !held.IsNone())
    AnnounceUnitValues([&] { m_device.CDevice::ApplyControlChange(held); });
}
