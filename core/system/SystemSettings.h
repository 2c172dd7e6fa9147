// The system's copy of the application settings: read at start, each setter writing its value to
// the settings store at once.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/support/AppSettings.h"

class CSystem;

// UI thread, but for Values(), which the worker and the devices read too.
class CSystemSettings {
 public:
  explicit CSystemSettings(CSystem& system) : m_system(system) {}
  CSystemSettings(const CSystemSettings&) = delete;
  CSystemSettings& operator=(const CSystemSettings&) = delete;

  const CAppSettings& Values() const { return m_values; }
  // Reads every setting, a missing one giving its default.
  void LoadSettings();
  std::string GetImageLibraryFilename() const { return m_values.imageLibraryFilename; }
  // Each stores the value, writes it to the settings store at once and marks the file modified
  // when the value changed.
  void SetComPort(std::uint32_t port);
  void SetBaudRate(std::uint32_t baud);
  void SetOnGoOnline(std::uint32_t choice);
  void SetLoadLastFileOnStartup(bool on);
  void SetAutoSave(std::uint32_t minutes);
  void SetLogCommsErrors(bool on);
  void SetMaxLogFileSizeKB(std::uint32_t kb);
  void SetTemperatureWarning(std::uint32_t degrees);
  void SetImageLibraryFilename(const std::string& path);
  void SetCheckForUpdates(bool on);
  // Appends every COM number from 1 to 32 whose port would open at the current baud rate,
  // found without setting up any line (CSerialComms::CanOpen). Offline only: nothing is
  // appended while the system's transport is open.
  void ListComPorts(std::vector<std::uint32_t>& ports);

 private:
  // The worker reads the comms timeout afresh from the store when it goes online.
  friend class CSystem;
  std::uint32_t ReloadCommsTimeoutConstant() { return m_values.ReloadCommsTimeoutConstant(); }

  CSystem& m_system;
  CAppSettings m_values;
};
