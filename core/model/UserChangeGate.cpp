// The rights gate of a person's changes.
#include "core/model/UserChangeGate.h"

#include "core/model/Device.h"
#include "core/model/DeviceHost.h"
#include "core/model/DeviceProperty.h"
#include "core/model/User.h"

std::string NoRightRefusal(std::uint64_t withheld) {
  if (withheld & kRestrictUseDeviceControls) return "The current user cannot use device controls";
  if (withheld & kRestrictRecallPresets) return "The current user cannot recall presets";
  if (withheld & kRestrictEditDeviceProperties) return kNoRightToEditRefusal;
  if (withheld & kRestrictRecallSnapshots) return "The current user cannot recall snapshots";
  return withheld ? "The current user does not have the right" : std::string();
}

std::uint64_t CUserChangeGate::RightsNeededFor(int parameterId) const {
  (void)parameterId;
  return kRestrictUseDeviceControls;
}

bool CUserChangeGate::MayCurrentUserChange(int parameterId) const {
  const std::uint64_t needed = RightsNeededFor(parameterId);
  IDeviceHost* host = m_device.GetHost();
  return needed == 0 || (host && CurrentUserHolds(host, needed));
}

std::string CUserChangeGate::RightsRefusalFor(int parameterId) const {
  return NoRightRefusal(RightsNeededFor(parameterId) & CurrentUserRestrictions(m_device.GetHost()));
}

bool CUserChangeGate::ApplyUserChange(const CParamValue& value) {
  CChangeAnswer none;
  return ApplyUserChange(value, none);
}

bool CUserChangeGate::ApplyUserChange(const CParamValue& value, CChangeAnswer& answer) {
  if (!MayCurrentUserChange(value.id) || (ConfirmationFor(value, answer) != 0 && !answer.confirmed)) {
    m_device.HeldValues().ShowHeldValue(value.id);
    return false;
  }
  ApplyAnsweredChange(value, answer);
  return true;
}

std::uint32_t CUserChangeGate::ConfirmationFor(const CParamValue& value, const CChangeAnswer& answer) const {
  (void)value;
  (void)answer;
  return 0;
}

void CUserChangeGate::ApplyAnsweredChange(const CParamValue& value, CChangeAnswer& answer) {
  (void)answer;
  m_device.ApplyControlChange(value);
}

bool CUserChangeGate::ApplyUserPropertyChange(CDeviceProperty& row) {
  IDeviceHost* host = m_device.GetHost();
  if (!host || !host->CanCurrentUserEditDeviceProperties()) {
    row.SetErrorText(kNoRightToEditRefusal);
    return false;
  }
  return m_device.OnPropertyChanged(row);
}

bool ConfirmAndApplyUserChange(CDevice& device, const CParamValue& value, CChangeAnswer& answer) {
  CUserChangeGate& gate = device.Gate();
  if (!answer.confirmed && gate.MayCurrentUserChange(value.id)) {
    if (const std::uint32_t question = gate.ConfirmationFor(value, answer)) {
      // A unit away takes no change: the refusal says so before the person answers in vain.
      if (device.HeldValues().RefuseChangeWhileAway(value.id)) return false;
      IDeviceHost* host = device.GetHost();
      answer.confirmed = host && host->ConfirmAction(question);
    }
  }
  return gate.ApplyUserChange(value, answer);
}

bool ConfirmAndApplyUserChange(CDevice& device, const CParamValue& value) {
  CChangeAnswer answer;
  return ConfirmAndApplyUserChange(device, value, answer);
}
