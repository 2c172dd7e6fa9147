// What a processor reads from the PC (CNerexSources).
#include "devices/processor/NerexSources.h"

#include <atomic>
#include <ctime>

#include "core/file/VersionTable.h"

namespace {

std::atomic<CNerexSources::FirmwareTableReader> g_firmwareReader{nullptr};
std::atomic<CNerexSources::LocalClock> g_localClock{nullptr};

NerexClockReading ReadMachineClock() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  NerexClockReading r;
  r.yearOfCentury = local.tm_year % 100;
  r.month = local.tm_mon + 1;
  r.day = local.tm_mday;
  r.weekday = local.tm_wday + 1;
  r.hour = local.tm_hour;
  r.minute = local.tm_min;
  return r;
}

}  // namespace

void CNerexSources::SetFirmwareTableReader(FirmwareTableReader reader) { g_firmwareReader = reader; }

std::string CNerexSources::ReadFirmwareTable(const std::string& key) {
  const FirmwareTableReader reader = g_firmwareReader;
  return reader ? reader(key) : ReadIniValue(key);
}

void CNerexSources::SetLocalClock(LocalClock clock) { g_localClock = clock; }

NerexClockReading CNerexSources::ReadLocalClock() {
  const LocalClock clock = g_localClock;
  return clock ? clock() : ReadMachineClock();
}
