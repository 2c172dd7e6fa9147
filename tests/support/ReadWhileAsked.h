// Stands in for the comms worker while a question waits for a person: each time it runs it
// stamps a read of the device's settings, as the worker goes on asking them, and notes whether
// a change under way would have that read's reply left out (CStaleReadGuard::IsReadOvertaken). As a
// question box (CRecordingUi::SetConfirmPrompt) it does the same, then answers with ok.
#pragma once

#include <string>

#include "core/model/Device.h"
#include "core/protocol/ControlMessage.h"

class CReadWhileAsked {
 public:
  explicit CReadWhileAsked(const CDevice& device) : m_device(device) {}

  void operator()() {
    ++asked;
    CControlMessage read;
    m_device.ReadGuard().StampRead(read);
    overtaken = overtaken || m_device.ReadGuard().IsReadOvertaken(read);
  }
  bool AskConfirm(const std::string&, const std::string&, const std::string&, bool&) {
    (*this)();
    return ok;
  }

  int asked = 0;
  bool overtaken = false;
  bool ok = true;

 private:
  const CDevice& m_device;
};
