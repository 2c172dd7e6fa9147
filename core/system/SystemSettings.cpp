// The system's copy of the application settings: read at start, written by the setters.
#include "core/system/System.h"

#include "core/support/LogFile.h"
#include "core/comms/SerialComms.h"
#include "platform/SerialPort.h"

void CSystem::LoadSettings() { m_settings.Load(); }

void CSystem::SetComPort(std::uint32_t port) {
  m_settings.SetComPort(port);
  m_modified = true;
}

void CSystem::SetBaudRate(std::uint32_t baud) {
  m_settings.SetBaudRate(baud);
  m_modified = true;
}

void CSystem::SetOnGoOnline(std::uint32_t choice) {
  m_settings.SetOnGoOnline(choice);
  m_modified = true;
}

void CSystem::SetLoadLastFileOnStartup(bool on) {
  m_settings.SetLoadLastFileOnStartup(on);
  m_modified = true;
}

void CSystem::SetAutoSave(std::uint32_t minutes) {
  m_settings.SetAutoSave(minutes);
  m_modified = true;
}

void CSystem::SetLogCommsErrors(bool on) {
  m_settings.SetLogCommsErrors(on);
  m_modified = true;
}

void CSystem::SetMaxLogFileSizeKB(std::uint32_t kb) {
  m_settings.SetMaxLogFileSizeKB(kb);
  m_modified = true;
}

void CSystem::SetTemperatureWarning(std::uint32_t degrees) {
  m_settings.SetTemperatureWarning(degrees);
  m_modified = true;
}

void CSystem::SetImageLibraryFilename(const std::string& path) {
  m_settings.SetImageLibraryFilename(path);
  m_modified = true;
}

void CSystem::SetCheckForUpdates(bool on) {
  CAppSettings::SetCheckForUpdates(on);
  m_modified = true;
}

void CSystem::ListComPorts(std::vector<std::uint32_t>& ports) {
  // Never while a connection uses the transport.
  if (m_comms.GetTransport().IsOpen()) return;
  // Every number the program offers, kFirstComPort to kLastComPort, that it could open now. A
  // port is looked at, not set up: a line another program uses keeps its settings and gets no
  // byte, and one it holds is not offered.
  for (std::uint32_t n = kFirstComPort; n <= kLastComPort; ++n) {
    if (m_comms.GetTransport().CanOpen(n, m_settings.baudRate)) ports.push_back(n);
  }
}

void CSystem::WriteLog(const std::string& text) { m_log->WriteLog(text); }

void CSystem::WriteErrorLog(const std::string& text) { m_log->WriteErrorLog(text); }

bool CSystem::ExportLogFile(const std::string& destination, std::string* error) {
  return m_log->ReadLogFile(destination, error);
}
