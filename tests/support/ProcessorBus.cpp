// The processor test bus and its stand-in of the comms worker.
#include "core/comms/CommsWorker.h"
#include "tests/support/ProcessorBus.h"

#include "core/comms/Security.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "core/protocol/ControlMessage.h"
#include "core/model/DeviceFactory.h"
#include "devices/processor/ProcessorFamily.h"
#include "platform/Sync.h"

CProcessorBus::CProcessorBus(std::uint32_t baudRate)
    : m_line(std::make_shared<CSerialLine>(baudRate)), m_bus(std::make_unique<CLineWire>(m_line)) {
  RegisterProcessorFamily();
  m_bus.SetPacing(baudRate);
  m_system.GetComms().GetTransport().SetPort(std::make_unique<CMemorySerialPort>(m_line));
}

void CProcessorBus::DecideOnEvents() {
  m_bus.SetSilenceEndsReads(true);
  Comms().SetExtraTimeout(kLongReadWaitMs);
}

CProcessorBus::~CProcessorBus() {
  m_system.GetComms().StopCommsThread();
  m_system.GetComms().SetOnline(false);
  m_bus.Stop();
}

CSimProcessorUnit* CProcessorBus::AddUnit(int model, std::uint32_t deviceId, std::uint32_t hardwareCode) {
  return m_bus.Add<CSimProcessorUnit>(model, deviceId, hardwareCode);
}

std::vector<CNerexSeriesDevice*> CProcessorBus::Devices() const {
  std::vector<CNerexSeriesDevice*> out;
  for (CDevice* device : m_system.GetDevices())
    if (auto* p = dynamic_cast<CNerexSeriesDevice*>(device)) out.push_back(p);
  return out;
}

// --- Stand-in worker ---

bool CProcessorBus::Open() {
  m_bus.Start();
  return m_system.GetComms().SetOnline(true);
}

CNerexSeriesDevice* CProcessorBus::AddDevice(int model, std::uint32_t deviceId, std::uint32_t hardwareCode,
                                             std::uint32_t mode) {
  DeviceCreator create = FindDeviceCreator(std::uint32_t(model));
  if (!create) return nullptr;
  auto* device =
      static_cast<CNerexSeriesDevice*>(create(&m_system, &m_frame, std::uint32_t(model), deviceId, hardwareCode));
  if (!device) return nullptr;
  m_system.AppendDevice(device);
  device->Reinitialise(mode);
  return device;
}

bool CProcessorBus::RunTransaction() {
  CSerialComms& comms = Comms();
  comms.StartWrite(true);
  if (comms.WaitForCompletion()) return true;
  comms.SetStatus(kCommsIdle);
  ++m_misses;
  return false;
}

bool CProcessorBus::Serve(CNerexSeriesDevice* device) {
  CControlMessage& t = Comms().Transaction();
  if (!device->GetNextPollMessage(t)) return false;
  if (!RunTransaction()) {
    device->UpdateCommsState(false);
    return true;
  }
  if (t.receivedLength != t.expectedLength || t.receivedLength == 0) {
    ++m_misses;
    device->UpdateCommsState(false);
    return true;
  }
  if (device->NeedsInitialisation()) {
    SecurityStep(device);
    return true;
  }
  CSingleLock lock(m_system.GetLock());
  std::memcpy(t.frame, Comms().ReceiveBuffer(), t.receivedLength);
  device->ProcessReply(t);
  return true;
}

void CProcessorBus::SecurityStep(CNerexSeriesDevice* device) {
  CControlMessage& t = Comms().Transaction();
  if (device->BuildSecurityCheckMessage(t)) {
    if (!RunTransaction() || t.receivedLength != t.expectedLength) return;
    CSingleLock lock(m_system.GetLock());
    std::memcpy(t.frame, Comms().ReceiveBuffer(), t.receivedLength);
    device->ProcessReply(t);
  }
  if (device->BuildReadSecurityMessage(t)) {
    if (!RunTransaction() || t.receivedLength != t.expectedLength) return;
    CUserList users;
    device->DecodeSecurityBlock(Comms().ReceiveBuffer(), users);
    DeleteAllUsers(users);
  }
  device->SetNeedsInitialisation(false);
}

bool CProcessorBus::Turn() {
  bool any = false;
  for (CNerexSeriesDevice* device : Devices()) any = Serve(device) || any;
  return any;
}

bool CProcessorBus::RunUntil(const std::function<bool()>& done, int maxTurns) {
  for (int i = 0; i < maxTurns; ++i) {
    if (done()) return true;
    Turn();
  }
  return done();
}

// --- The system's worker ---

bool CProcessorBus::StartWorker(std::uint32_t choice) {
  // No security dialog runs here: do not wait for one, nor pause for people to read.
  CSecurityTimings timings;
  timings.dialogOpenTimeoutMs = 0;
  timings.messagePauseMs = 0;
  timings.updatePauseMs = 0;
  m_system.GetComms().Security().SetTimingsForTests(timings);
  m_bus.Start();
  m_system.Start(&m_frame);
  return m_system.GoOnline(choice);
}

bool CProcessorBus::Autoscan(std::uint32_t lastShortId, std::uint32_t timeoutMs) {
  m_system.GetComms().Discovery().SetScanRangeForTests(lastShortId, 1);
  m_scanRunning = true;
  m_system.GetComms().Discovery().SetAutoscanDialog(&m_scanDialog, &m_scanRunning);
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (m_scanRunning && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  if (m_scanRunning) return false;
  m_system.PlaceFoundDevices(nullptr);
  return true;
}

bool CProcessorBus::StartAndReadOut(CNerexSeriesDevice* device) {
  return device && StartWorker(0) && WaitFor([device] { return device->AllBlocksReceived() && device->IsConnected(); });
}

bool CProcessorBus::WaitFor(const std::function<bool()>& done, std::uint32_t timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    {
      CSingleLock lock(m_system.GetLock());
      if (done()) return true;
    }
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}
