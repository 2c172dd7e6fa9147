// The test stand-in of the comms worker for processor devices.
#include "tests/support/ProcessorBus.h"

#include <cstring>

#include "core/ControlMessage.h"
#include "core/DeviceFactory.h"
#include "platform/Sync.h"

CProcessorBus::CProcessorBus(std::uint32_t baudRate)
    : m_line(std::make_shared<CSerialLine>(baudRate)),
      m_bus(std::make_unique<CLineWire>(m_line)),
      m_comms(std::make_unique<CMemorySerialPort>(m_line)) {
  RegisterProcessorFamily();
  m_bus.SetPacing(baudRate);
}

CProcessorBus::~CProcessorBus() {
  m_comms.Close();
  m_bus.Stop();
}

CSimProcessorUnit* CProcessorBus::AddUnit(int model, std::uint8_t deviceId, std::uint32_t hardwareCode) {
  return m_bus.Add<CSimProcessorUnit>(model, deviceId, hardwareCode);
}

CNerexSeriesDevice* CProcessorBus::AddDevice(int model, std::uint8_t deviceId, std::uint32_t hardwareCode,
                                             std::uint32_t mode) {
  DeviceCreator create = FindDeviceCreator(std::uint32_t(model));
  if (!create) return nullptr;
  auto* device = static_cast<CNerexSeriesDevice*>(create(&m_system, &m_frame, std::uint32_t(model), deviceId, hardwareCode));
  if (!device) return nullptr;
  m_system.AppendDevice(device);
  device->Reinitialise(mode);
  m_devices.push_back(device);
  return device;
}

bool CProcessorBus::Start() {
  m_bus.Start();
  return m_comms.Open(1, m_line->GetBaudRate() ? m_line->GetBaudRate() : 57600, true);
}

bool CProcessorBus::RunTransaction() {
  m_comms.StartWrite(true);
  if (m_comms.WaitForCompletion()) return true;
  m_comms.SetStatus(kCommsIdle);
  ++m_misses;
  return false;
}

bool CProcessorBus::Serve(CNerexSeriesDevice* device) {
  CControlMessage& t = m_comms.Transaction();
  if (!device->GetNextPollMessage(t)) return false;
  if (!RunTransaction()) {
    device->UpdateCommsState(false);
    return true;
  }
  const bool complete = t.receivedLength == t.expectedLength && t.receivedLength > 0;
  if (!complete) {
    ++m_misses;
    device->UpdateCommsState(false);
    return true;
  }
  if (device->NeedsInitialisation()) {
    SecurityStep(device);
    return true;
  }
  CSingleLock lock(m_system.GetLock());
  std::memcpy(t.frame, m_comms.ReceiveBuffer(), t.receivedLength);
  device->ProcessReply(t);
  return true;
}

void CProcessorBus::SecurityStep(CNerexSeriesDevice* device) {
  CControlMessage& t = m_comms.Transaction();
  if (device->BuildSecurityCheckMessage(t)) {
    if (!RunTransaction() || t.receivedLength != t.expectedLength) return;
    CSingleLock lock(m_system.GetLock());
    std::memcpy(t.frame, m_comms.ReceiveBuffer(), t.receivedLength);
    device->ProcessReply(t);
  }
  if (device->BuildReadSecurityMessage(t)) {
    if (!RunTransaction() || t.receivedLength != t.expectedLength) return;
    CUserList users;
    device->DecodeSecurityBlock(m_comms.ReceiveBuffer(), users);
    DeleteAllUsers(users);
  }
  device->SetNeedsInitialisation(false);
}

bool CProcessorBus::Turn() {
  bool any = false;
  for (CNerexSeriesDevice* device : m_devices) any = Serve(device) || any;
  return any;
}

bool CProcessorBus::RunUntil(const std::function<bool()>& done, int maxTurns) {
  for (int i = 0; i < maxTurns; ++i) {
    if (done()) return true;
    Turn();
  }
  return done();
}
