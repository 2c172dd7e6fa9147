// The gate of a person's changes: the rights a change needs, the question it asks, and the way
// a window hands a change in (ApplyUserChange). The device holds one; a family with rights or
// questions of its own gives the device its own gate.
#pragma once

#include <cstdint>
#include <string>

#include "core/values/ParamRecords.h"

class CDevice;
class CDeviceProperty;

// The refusal of a properties row committed by a user without the right to edit properties.
inline constexpr const char* kNoRightToEditRefusal = "The current user cannot edit device properties";
// The words of a refusal for want of rights (restriction bits, User.h), naming the first one
// withheld: "The current user cannot use device controls" ("Can Use Device Controls"), "...
// cannot recall presets", "... cannot edit device properties", "... cannot recall snapshots";
// empty for none.
std::string NoRightRefusal(std::uint64_t withheld);

// What a person answered to the questions of a change, asked by the window before it hands the
// change in (CUserChangeGate::ApplyUserChange), so that no question waits inside the change
// while the unit's replies go on arriving: whether they confirmed it (ConfirmationFor), and, in
// a family's own answer derived from this one, what else that family asks (a name, a file).
// The change may leave in the answer what the window is to tell the person afterwards.
class CChangeAnswer {
 public:
  CChangeAnswer() = default;
  virtual ~CChangeAnswer() = default;
  CChangeAnswer(const CChangeAnswer&) = default;
  CChangeAnswer& operator=(const CChangeAnswer&) = default;

  bool confirmed = false;
};

// UI thread throughout.
class CUserChangeGate {
 public:
  explicit CUserChangeGate(CDevice& device) : m_device(device) {}
  virtual ~CUserChangeGate() = default;
  CUserChangeGate(const CUserChangeGate&) = delete;
  CUserChangeGate& operator=(const CUserChangeGate&) = delete;

  // Where a change that a person makes enters the model: a panel's control, a custom widget or
  // a preset dialog hands its value here. Refused (false) while the current user lacks a right
  // that RightsNeededFor names, the place where it was made then showing the held value again;
  // otherwise the family's change path, the device's ApplyControlChange (true). The change path
  // itself is not public: a value the unit reported and the family's own announcements run
  // inside the family, and a link spreading a change already taken and a snapshot recall come
  // through the system's entries (CSystemEntries), which no window can use.
  bool ApplyUserChange(const CParamValue& value);
  // The same with what the person answered to the change's questions: a change for which
  // ConfirmationFor names a question is refused as well unless the answer confirms it.
  bool ApplyUserChange(const CParamValue& value, CChangeAnswer& answer);
  // The confirmation (a kConfirm... kind of IDeviceHost::ConfirmAction) that a person is to be
  // asked before the change is handed in, judged with the rest of the answer and the settings
  // as they are now; 0 for none. The change path itself asks nothing. Base: none.
  virtual std::uint32_t ConfirmationFor(const CParamValue& value, const CChangeAnswer& answer) const;
  // The same for a row of the properties pane: refused with kNoRightToEditRefusal as the row's
  // message while the current user lacks the right to edit device properties; otherwise the
  // device's OnPropertyChanged, which is not public: the family's handling of a row, and the
  // property list's edit (ValidateProperty) that commits through it, are reached from outside
  // only here.
  bool ApplyUserPropertyChange(CDeviceProperty& row);
  // The rights (restriction bits, User.h) that a person's change of the parameter needs; 0 for
  // a parameter whose change reaches no unit. Base: the right to use device controls.
  virtual std::uint64_t RightsNeededFor(int parameterId) const;
  // True when the current user holds those rights; false without a system, which has no user.
  bool MayCurrentUserChange(int parameterId) const;
  // Why the current user may not change the parameter, in the words of NoRightRefusal; empty
  // when they may.
  std::string RightsRefusalFor(int parameterId) const;

 protected:
  // A person's change that passed the gate, with what they answered to its questions. Base:
  // the device's ApplyControlChange; a family whose changes need more than a confirmation reads
  // its answer.
  virtual void ApplyAnsweredChange(const CParamValue& value, CChangeAnswer& answer);

  CDevice& m_device;
};

// How a window hands a person's change in: asks the question the device's gate names for it
// (ConfirmationFor) through the system's ConfirmAction and, once it is confirmed or when none
// is asked, hands the change in with the answer (ApplyUserChange). The question is asked before
// the change enters the model; a user without the right is not asked, nor one whose change the
// device refuses while its unit is away online (RefuseChangeWhileAway says why at once). False
// when the person declined or the gate refused the change. UI thread.
bool ConfirmAndApplyUserChange(CDevice& device, const CParamValue& value, CChangeAnswer& answer);
bool ConfirmAndApplyUserChange(CDevice& device, const CParamValue& value);
