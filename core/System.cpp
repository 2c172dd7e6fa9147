// The system object's life cycle, containers, removal of devices and the worker's hand-shakes.
#include "core/System.h"

#include <algorithm>

#include "core/CPData.h"
#include "core/ControlMessage.h"
#include "core/ControlPanel.h"
#include "core/Device.h"
#include "core/Link.h"
#include "core/LogFile.h"
#include "core/SerialComms.h"
#include "core/Snapshot.h"
#include "core/Zone.h"
#include "platform/Clipboard.h"

namespace {
constexpr const char* kAdminName = "Admin";
constexpr const char* kAdminPassword = "Marigold";
constexpr const char* kMainZoneName = "Main Zone";
}  // namespace

// The transport's view of the system: log writers, the two comms settings and device IDs.
class CSystem::CommsHost : public ICommsHost {
 public:
  explicit CommsHost(CSystem& system) : m_system(system) {}
  void WriteLog(const std::string& text) override { m_system.WriteLog(text); }
  void WriteErrorLog(const std::string& text) override { m_system.WriteErrorLog(text); }
  bool IsLogCommsErrorsOn() const override { return m_system.m_settings.logCommsErrors; }
  bool IsSuperDebugOn() const override { return m_system.m_settings.superDebug; }
  std::uint32_t GetDeviceIdForLog(const CDevice* device) const override {
    return device ? device->GetDeviceId() : 0;
  }

 private:
  CSystem& m_system;
};

CSystem::CSystem()
    : m_transport(std::make_unique<CSerialComms>()),
      m_commsHost(std::make_unique<CommsHost>(*this)),
      m_log(std::make_unique<CLogFile>(m_lock, m_settings)) {
  SetDefaults();
}

CSystem::~CSystem() {
  StopCommsThread();
  if (m_transport->IsOpen()) m_transport->Close();
  DestroyContents();
}

void CSystem::DestroyContents() {
  {
    CSingleLock lock(m_lock);
    for (CDevice* d : m_devices) delete d;
    m_devices.clear();
    m_systemQueue.clear();
  }
  DeleteAllUsers();
  DeleteAllLinks();
  DeleteAllZones();
  for (CCPData* p : m_customPanels) delete p;
  m_customPanels.clear();
  while (!m_snapshots.empty()) {
    delete m_snapshots.back();
    m_snapshots.pop_back();
  }
  ClearCopiedWidgets();
  m_fileImages.RemoveAll();
  m_libraryImages.RemoveAll();
}

// --- Life cycle ---

void CSystem::SetDefaults() {
  m_pollIndex = 0;
  m_modified = false;
  m_useSystemSecurity = false;
  m_fullScreenOnOpen = false;
  m_goOnlineOnOpen = false;
  if (m_users.size() < kMaxUsers) m_users.push_back(new CUser(kAdminName, kAdminPassword));
  m_currentUser = 0;
  m_selectedDevice = -1;
  m_loading = false;
  m_linksActive = true;
  m_treeState = 0;
  m_currentSnapshot = -1;
  auto* zone = new CZone(this);
  zone->SetName(kMainZoneName);
  m_zones.push_back(zone);
}

bool CSystem::Start(IMessageSink* frame) {
  m_frame = frame;
  m_transport->SetHost(m_commsHost.get());
  m_log->SetOutputSink(frame);
  LoadSettings();
  LoadImageLibrary();
  // A second start must not replace the events that a running worker waits on.
  if (m_run) return true;
  m_workerState = kWorkerIdle;
  m_threadExitEvent = std::make_unique<CManualResetEvent>(false);
  m_idleEvent = std::make_unique<CManualResetEvent>(false);
  m_run = true;
  m_worker.Start([this] { CommsThreadMain(); }, true);
  return true;
}

bool CSystem::Clear() {
  DeleteAllDevices();
  DeleteAllUsers();
  DeleteAllZones();
  DeleteAllLinks();
  DeleteAllCustomPanels();
  DeleteAllSnapshots();
  ClearCopiedWidgets();
  m_fileImages.RemoveAll();
  // Only our own data goes: what other programs put on the clipboard stays.
  if (ClipboardHoldsRegisteredFormat()) EmptyClipboard();
  SetDefaults();
  m_filePath.clear();
  m_modified = false;
  return true;
}

// --- Devices ---

int CSystem::GetDeviceCount() const {
  CSingleLock lock(m_lock);
  return int(m_devices.size());
}

CDevice* CSystem::GetDevice(int index) const {
  CSingleLock lock(m_lock);
  return index >= 0 && index < int(m_devices.size()) ? m_devices[std::size_t(index)] : nullptr;
}

std::vector<CDevice*> CSystem::GetDevices() const {
  CSingleLock lock(m_lock);
  return m_devices;
}

int CSystem::GetDeviceIndex(const CDevice* device) const {
  CSingleLock lock(m_lock);
  auto it = std::find(m_devices.begin(), m_devices.end(), device);
  return it == m_devices.end() ? -1 : int(it - m_devices.begin());
}

void CSystem::AppendDevice(CDevice* device) {
  CSingleLock lock(m_lock);
  m_devices.push_back(device);
}

CDevice* CSystem::FindDeviceByUuid(const CUuid& uuid) const {
  CSingleLock lock(m_lock);
  for (CDevice* d : m_devices)
    if (d->GetUuid() == uuid) return d;
  return nullptr;
}

bool CSystem::IsSelectedDevice(const CDevice* device) const {
  const int selected = m_selectedDevice;
  return selected >= 0 && GetDevice(selected) == device;
}

bool CSystem::DeleteDevice(int index) {
  CDevice* device = GetDevice(index);
  if (!device) return false;
  if (CControlPanel* panel = device->GetControlPanel()) {
    device->SetControlPanel(nullptr);
    panel->DestroyPanelWindow();
  }
  if (m_selectedDevice == GetDeviceCount() - 1) m_selectedDevice = m_selectedDevice - 1;
  for (CZone* zone : m_zones)
    if (zone->RemoveDevice(device)) break;
  const CUuid uuid = device->GetUuid();
  for (CLink* link : m_links) link->RemoveDeviceRefs(uuid);
  for (CCPData* panel : m_customPanels) panel->DetachDevice(device);
  // Copied widgets may be pasted later: they must not keep the deleted device either.
  for (CCustomControlObject* w : m_copiedWidgets)
    if (w->m_pDevice == device) w->m_pDevice = nullptr;
  for (std::size_t u = 1; u < m_users.size() && u < kMaxUsers; ++u) m_users[u]->RemovePermission(uuid);
  {
    CSingleLock lock(m_lock);
    m_devices.erase(m_devices.begin() + index);
    std::erase(m_unplacedDevices, device);
  }
  delete device;
  m_modified = true;
  return true;
}

void CSystem::DeleteAllDevices() {
  while (GetDeviceCount() > 0) DeleteDevice(0);
}

// --- Zones, users, links, panels, snapshots ---

void CSystem::DeleteAllZones() {
  while (!m_zones.empty()) {
    delete m_zones.back();
    m_zones.pop_back();
  }
}

bool CSystem::CanCurrentUserEditDeviceProperties() const {
  if (m_currentUser < 0 || std::size_t(m_currentUser) >= std::min(m_users.size(), kMaxUsers)) return false;
  return (m_users[std::size_t(m_currentUser)]->m_restrictLow & kRestrictEditDeviceProperties) == 0;
}

void CSystem::DeleteAllLinks() {
  for (CLink* link : m_links) delete link;
  m_links.clear();
}

void CSystem::DeleteAllCustomPanels() {
  for (CCPData* panel : m_customPanels) {
    if (CCustomControlPanel* view = panel->m_pView) {
      panel->m_pView = nullptr;
      view->DestroyPanelWindow();
    }
    delete panel;
  }
  m_customPanels.clear();
}

void CSystem::UpdateCustomPanelControls(CDevice* device, std::uint32_t parameterId) {
  for (CCPData* panel : m_customPanels)
    if (panel->m_pView) panel->m_pView->BroadcastParameterUpdate(device, parameterId);
}

void CSystem::ClearCopiedWidgets() { DeleteCustomControlObjects(m_copiedWidgets); }

void CSystem::DeleteAllSnapshots() {
  for (CSnapshot* s : m_snapshots) delete s;
  m_snapshots.clear();
}


// --- System command queue ---

void CSystem::AppendSystemMessage(std::unique_ptr<CControlMessage> message) {
  if (!message) return;
  CSingleLock lock(m_lock);
  m_systemQueue.push_back(std::move(message));
}

bool CSystem::PopSystemMessage(CControlMessage& record) {
  CSingleLock lock(m_lock);
  if (m_systemQueue.empty()) return false;
  record = *m_systemQueue.back();
  m_systemQueue.pop_back();
  return true;
}

std::size_t CSystem::GetSystemQueueSize() const {
  CSingleLock lock(m_lock);
  return m_systemQueue.size();
}

// --- Worker ---

void CSystem::SetAutoscanDialog(IAutoscanDialog* dialog, std::atomic<bool>* scanRunning) {
  m_scanRunning = scanRunning;
  m_autoscanDialog = dialog;
}

// RequestIdle, StopCommsThread and the worker's loop are in CommsWorker.cpp; the security
// dialog's hand-over is in Security.cpp.
