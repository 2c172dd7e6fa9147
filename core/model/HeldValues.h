// What a device's windows show of its unit's own values: the change path run so that it shows
// only what the unit reported, and the refusal of a change while the device is away online,
// which shows the held value again where the change was made.
#pragma once

#include <cstdint>

#include "core/support/ScopeGuard.h"

class CDevice;

class CHeldValues {
 public:
  explicit CHeldValues(CDevice& device) : m_device(device) {}
  CHeldValues(const CHeldValues&) = delete;
  CHeldValues& operator=(const CHeldValues&) = delete;

  // Runs announce with the device's change path showing only what its unit reported: the open
  // panel and the custom panels follow, the links do not (a value read from a unit is no change
  // of the person's, and spread over a link it would be written to the other units). UI thread.
  template <class Announce>
  void AnnounceUnitValues(Announce&& announce) {
    ++m_announcingUnitValues;
    CScopeGuard done([this] { --m_announcingUnitValues; });
    announce();
  }
  bool IsAnnouncingUnitValues() const { return m_announcingUnitValues > 0; }
  // True while the system is online and the unit is not connected (or the device is ignored):
  // a change of one of its settings would reach the file and the windows but never the unit.
  // The families refuse such changes and the custom widgets show the parameter inactive; a
  // snapshot recall passes the device by. Any thread.
  bool IsAwayOnline() const;
  // For a family's change path: while the device is away online, shows the held value of the
  // parameter again where the change was made (the open panel and the custom panels, not the
  // links), has the open panel say why, and returns true: the change is refused. False, doing
  // nothing, otherwise. UI thread.
  bool RefuseChangeWhileAway(int parameterId);
  // Shows the held value of the parameter again where a refused change was made (the open
  // panel and the custom panels, not the links); a command, which holds no value, shows nothing.
  void ShowHeldValue(int parameterId);

 private:
  CDevice& m_device;
  std::int32_t m_announcingUnitValues = 0;  // UI thread
};
