// The system's copy of the application settings: read at start, written by the setters.
#include "core/system/SystemSettings.h"
#include "core/system/System.h"

#include "core/comms/CommsWorker.h"
#include "core/comms/SerialComms.h"
#include "platform/SerialPort.h"
#include "platform/SerialPortUsers.h"

void CSystemSettings::LoadSettings() { m_values.Load(); }

// Every setter writes the value at once; the file is marked modified only when the value
// changed, so that OK on an unchanged page leaves an unchanged file alone (autosave, Exit).
void CSystemSettings::SetComPort(std::uint32_t port) {
  if (port != m_values.comPort) m_system.SetModified(true);
  m_values.SetComPort(port);
}

void CSystemSettings::SetBaudRate(std::uint32_t baud) {
  if (baud != m_values.baudRate) m_system.SetModified(true);
  m_values.SetBaudRate(baud);
}

void CSystemSettings::SetOnGoOnline(std::uint32_t choice) {
  if (choice != m_values.onGoOnline) m_system.SetModified(true);
  m_values.SetOnGoOnline(choice);
}

void CSystemSettings::SetLoadLastFileOnStartup(bool on) {
  if (on != m_values.loadLastFileOnStartup) m_system.SetModified(true);
  m_values.SetLoadLastFileOnStartup(on);
}

void CSystemSettings::SetAutoSave(std::uint32_t minutes) {
  if (minutes != m_values.autoSave) m_system.SetModified(true);
  m_values.SetAutoSave(minutes);
}

void CSystemSettings::SetLogCommsErrors(bool on) {
  if (on != m_values.logCommsErrors) m_system.SetModified(true);
  m_values.SetLogCommsErrors(on);
}

void CSystemSettings::SetMaxLogFileSizeKB(std::uint32_t kb) {
  if (kb != m_values.maxLogFileSizeKB) m_system.SetModified(true);
  m_values.SetMaxLogFileSizeKB(kb);
}

void CSystemSettings::SetTemperatureWarning(std::uint32_t degrees) {
  if (degrees != m_values.temperatureWarning) m_system.SetModified(true);
  m_values.SetTemperatureWarning(degrees);
}

void CSystemSettings::SetImageLibraryFilename(const std::string& path) {
  if (path != m_values.imageLibraryFilename) m_system.SetModified(true);
  m_values.SetImageLibraryFilename(path);
}

void CSystemSettings::SetCheckForUpdates(bool on) {
  if (on != CAppSettings::GetCheckForUpdates()) m_system.SetModified(true);
  CAppSettings::SetCheckForUpdates(on);
}

void CSystemSettings::ListComPorts(std::vector<std::uint32_t>& ports) {
  // Never while a connection uses the transport.
  if (m_system.GetComms().GetTransport().IsOpen()) return;
  // Every number the program offers, kFirstComPort to kLastComPort, that it could open now. A
  // port is looked at, not set up: a line another program uses keeps its settings and gets no
  // byte, and one it holds is not offered. Who holds which line is read once for all of them.
  const CSerialLineUsersLook look;
  for (std::uint32_t n = kFirstComPort; n <= kLastComPort; ++n) {
    if (m_system.GetComms().GetTransport().CanOpen(n, m_values.baudRate)) ports.push_back(n);
  }
}
