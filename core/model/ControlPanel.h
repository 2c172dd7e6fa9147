// What model code asks of an open device control panel. The panel windows implement it;
// a device holds a pointer to its open panel and never owns it.
#pragma once

#include <string>

#include "core/values/ParamRecords.h"

class CDevice;

// UI thread only: every call here ends in a window.
class CControlPanel {
 public:
  virtual ~CControlPanel() = default;

  // The device the panel shows; null while the panel is not bound to one.
  CDevice* GetDevice() const { return m_device; }
  void SetDevice(CDevice* device) { m_device = device; }

  // Every widget bound to value.id takes the new value and redraws what changed; widgets
  // bound to other ids are left alone.
  virtual void NotifyParameterChanged(const CParamValue& value) = 0;
  // Destroys the frame window that holds the panel; the panel no longer exists afterwards.
  virtual void DestroyPanelWindow() = 0;
  // Brings the frame window that holds the panel to the top. Base: nothing.
  virtual void BringPanelToTop() {}
  // Re-reads every value from the device into the widgets and redraws. Base: nothing.
  virtual void UpdateAllControls() {}
  // Shows the device online or offline. Base: nothing.
  virtual void UpdateOnlineStatus(bool online) { (void)online; }
  // Enables or disables the widgets from the current user's rights. Base: nothing.
  virtual void ApplyPermissions(bool apply) { (void)apply; }
  // The device refused a change of the parameter for the reason given, in the words the
  // person is to read (its unit is away online); the held value shows again already. Base:
  // nothing.
  virtual void ShowChangeRefused(int parameterId, const std::string& reason) {
    (void)parameterId;
    (void)reason;
  }
  // The device took a new ID: what the panel shows of it follows. Base: nothing.
  virtual void UpdateDeviceId() {}

  // The device's current value of a parameter; the empty value when no device is bound.
  CParamValue GetCurrentValue(int parameterId) const;

 private:
  CDevice* m_device = nullptr;
};
