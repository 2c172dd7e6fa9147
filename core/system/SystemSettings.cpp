// The system's copy of the application settings: read at start, written by the setters.
#include "core/system/System.h"

#include "core/support/LogFile.h"
#include "core/comms/SerialComms.h"
#include "platform/SerialPort.h"
#include "platform/SerialPortUsers.h"

void CSystem::LoadSettings() { m_settings.Load(); }

// Every setter writes the value at once; the file is marked modified only when the value
// changed, so that OK on an unchanged page leaves an unchanged file alone (autosave, Exit).
void CSystem::SetComPort(std::uint32_t port) {
  if (port != m_settings.comPort) m_modified = true;
  m_settings.SetComPort(port);
}

void CSystem::SetBaudRate(std::uint32_t baud) {
  if (baud != m_settings.baudRate) m_modified = true;
  m_settings.SetBaudRate(baud);
}

void CSystem::SetOnGoOnline(std::uint32_t choice) {
  if (choice != m_settings.onGoOnline) m_modified = true;
  m_settings.SetOnGoOnline(choice);
}

void CSystem::SetLoadLastFileOnStartup(bool on) {
  if (on != m_settings.loadLastFileOnStartup) m_modified = true;
  m_settings.SetLoadLastFileOnStartup(on);
}

void CSystem::SetAutoSave(std::uint32_t minutes) {
  if (minutes != m_settings.autoSave) m_modified = true;
  m_settings.SetAutoSave(minutes);
}

void CSystem::SetLogCommsErrors(bool on) {
  if (on != m_settings.logCommsErrors) m_modified = true;
  m_settings.SetLogCommsErrors(on);
}

void CSystem::SetMaxLogFileSizeKB(std::uint32_t kb) {
  if (kb != m_settings.maxLogFileSizeKB) m_modified = true;
  m_settings.SetMaxLogFileSizeKB(kb);
}

void CSystem::SetTemperatureWarning(std::uint32_t degrees) {
  if (degrees != m_settings.temperatureWarning) m_modified = true;
  m_settings.SetTemperatureWarning(degrees);
}

void CSystem::SetImageLibraryFilename(const std::string& path) {
  if (path != m_settings.imageLibraryFilename) m_modified = true;
  m_settings.SetImageLibraryFilename(path);
}

void CSystem::SetCheckForUpdates(bool on) {
  if (on != CAppSettings::GetCheckForUpdates()) m_modified = true;
  CAppSettings::SetCheckForUpdates(on);
}

void CSystem::ListComPorts(std::vector<std::uint32_t>& ports) {
  // Never while a connection uses the transport.
  if (m_comms.GetTransport().IsOpen()) return;
  // Every number the program offers, kFirstComPort to kLastComPort, that it could open now. A
  // port is looked at, not set up: a line another program uses keeps its settings and gets no
  // byte, and one it holds is not offered. Who holds which line is read once for all of them.
  const CSerialLineUsersLook look;
  for (std::uint32_t n = kFirstComPort; n <= kLastComPort; ++n) {
    if (m_comms.GetTransport().CanOpen(n, m_settings.baudRate)) ports.push_back(n);
  }
}

void CSystem::WriteLog(const std::string& text) { m_log->WriteLog(text); }

void CSystem::WriteErrorLog(const std::string& text) { m_log->WriteErrorLog(text); }

bool CSystem::ExportLogFile(const std::string& destination, std::string* error) {
  return m_log->ReadLogFile(destination, error);
}
