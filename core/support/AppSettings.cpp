// Settings read from and written to the settings store.
#include "core/support/AppSettings.h"

#include "platform/AppPaths.h"
#include "platform/SettingsStore.h"

using namespace SettingKeys;

namespace {
std::uint32_t Get(const char* key, std::uint32_t def) { return CSettingsStore::GetInt(kSection, key, def); }
void Put(const char* key, std::uint32_t v) { CSettingsStore::WriteInt(kSection, key, v); }
}  // namespace

std::string CAppSettings::DefaultImageLibraryFilename() { return GetAppDataFolder() + "ImageLib.ovl"; }

void CAppSettings::Load() {
  comPort = Get(kComPort, 1);
  baudRate = Get(kBaudRate, 57600);
  onGoOnline = Get(kOnGoOnline, kGoOnlineAsk);
  loadLastFileOnStartup = Get(kLoadLastFileOnStartup, 0) != 0;
  autoSave = Get(kAutoSave, 0);
  logCommsErrors = Get(kLogCommsErrors, 0) != 0;
  commsTimeoutConstant = Get(kCommsTimeoutConstant, 0);
  maxLogFileSizeKB = Get(kMaxLogFileSizeKB, 100);
  temperatureWarning = Get(kTemperatureWarning, 70);
  superDebug = Get(kSuperDebug, 0) != 0;
  imageLibraryFilename = CSettingsStore::GetString(kSection, kImageLibraryFilename, DefaultImageLibraryFilename());
}

void CAppSettings::SetComPort(std::uint32_t v) { Put(kComPort, comPort = v); }
void CAppSettings::SetBaudRate(std::uint32_t v) { Put(kBaudRate, baudRate = v); }
void CAppSettings::SetOnGoOnline(std::uint32_t v) { Put(kOnGoOnline, onGoOnline = v); }
void CAppSettings::SetLoadLastFileOnStartup(bool v) { Put(kLoadLastFileOnStartup, (loadLastFileOnStartup = v) ? 1 : 0); }
void CAppSettings::SetAutoSave(std::uint32_t minutes) { Put(kAutoSave, autoSave = minutes); }
void CAppSettings::SetLogCommsErrors(bool v) { Put(kLogCommsErrors, (logCommsErrors = v) ? 1 : 0); }
void CAppSettings::SetMaxLogFileSizeKB(std::uint32_t v) { Put(kMaxLogFileSizeKB, maxLogFileSizeKB = v); }
void CAppSettings::SetTemperatureWarning(std::uint32_t v) { Put(kTemperatureWarning, temperatureWarning = v); }

void CAppSettings::SetImageLibraryFilename(const std::string& v) {
  imageLibraryFilename = v;
  CSettingsStore::WriteString(kSection, kImageLibraryFilename, v);
}

std::uint32_t CAppSettings::ReloadCommsTimeoutConstant() {
  return commsTimeoutConstant = Get(kCommsTimeoutConstant, 0);
}

std::uint32_t CAppSettings::GetConfirmDialogs() { return Get(kConfirmDialogs, 0xFFFFFFFFu); }
void CAppSettings::SetConfirmDialogs(std::uint32_t bits) { Put(kConfirmDialogs, bits); }

bool CAppSettings::GetCheckForUpdates() {
  return CSettingsStore::GetString(kUpdateSection, kCheckForUpdates, "1") == "1";
}

void CAppSettings::SetCheckForUpdates(bool on) {
  CSettingsStore::WriteString(kUpdateSection, kCheckForUpdates, on ? "1" : "0");
}
