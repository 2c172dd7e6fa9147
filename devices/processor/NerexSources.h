// CNerexSources: what a processor reads from the PC rather than from its unit - the firmware
// version table and the local clock - each replaceable by tests. Any thread.
#pragma once

#include <string>

// The PC's local clock as the unit's general settings hold it.
struct NerexClockReading {
  int yearOfCentury = 0;  // year modulo 100
  int month = 1;          // 1..12
  int day = 1;
  int weekday = 1;        // 1..7, 1 = Sunday
  int hour = 0;
  int minute = 0;
};

class CNerexSources {
 public:
  // Reads a key of the firmware version table; the default is ReadIniValue ("Orvak.ini" beside
  // the executable). Null restores the default.
  using FirmwareTableReader = std::string (*)(const std::string& key);
  static void SetFirmwareTableReader(FirmwareTableReader reader);
  static std::string ReadFirmwareTable(const std::string& key);
  // The PC's local time; null restores the machine clock.
  using LocalClock = NerexClockReading (*)();
  static void SetLocalClock(LocalClock clock);
  static NerexClockReading ReadLocalClock();
};
