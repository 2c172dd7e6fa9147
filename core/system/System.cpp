// The system object's life cycle, its devices and zones, going online, and its view for the worker.
#include "core/system/System.h"

#include <algorithm>

#include "custom/CPData.h"
#include "core/model/ControlPanel.h"
#include "core/model/Device.h"
#include "core/support/LogFile.h"
#include "core/support/SystemMessages.h"
#include "core/comms/CommsWorker.h"
#include "core/comms/Discovery.h"
#include "core/comms/SerialComms.h"
#include "core/model/UiServices.h"
#include "core/system/SystemFile.h"
#include "core/system/Zone.h"
#include "platform/Clipboard.h"

namespace {
constexpr const char* kAdminName = "Admin";
constexpr const char* kAdminPassword = "Marigold";
constexpr const char* kMainZoneName = "Main Zone";
}  // namespace

// The worker's view of the system: the device list under the lock, the log, the users and the
// posts to the main frame.
class CSystem::CommsDocument : public ICommsDocument {
 public:
  explicit CommsDocument(CSystem& system) : m_system(system) {}
  CCriticalSection& GetLock() const override { return m_system.m_lock; }
  std::vector<CDevice*> GetDevices() const override { return m_system.GetDevices(); }
  CDevice* CreateDevice(std::uint32_t deviceId, std::uint32_t typeCode, std::uint32_t variant) override {
    return m_system.CreateDevice(deviceId, typeCode, variant);
  }
  void AppendDevice(CDevice* device) override { m_system.AppendDevice(device); }
  const CAppSettings& GetSettings() const override { return m_system.m_settings.Values(); }
  std::uint32_t ReloadCommsTimeoutConstant() override { return m_system.m_settings.ReloadCommsTimeoutConstant(); }
  void WriteLog(const std::string& text) override { m_system.WriteLog(text); }
  void WriteErrorLog(const std::string& text) override { m_system.WriteErrorLog(text); }
  void PostToFrame(CPostedMessage message) override {
    if (IUiServices* ui = m_system.m_ui) ui->Post(std::move(message));
  }
  const CUserList& GetUsers() const override { return m_system.m_users.GetUsers(); }
  bool GetUseSystemSecurity() const override { return m_system.m_users.GetUseSystemSecurity(); }
  void ImportNetworkUsers(const CUserList& network) override { m_system.m_users.ImportNetworkUsers(network); }

 private:
  CSystem& m_system;
};

CSystem::CSystem()
    : m_users(*this),
      m_links(*this),
      m_images(*this),
      m_panels(*this),
      m_snapshots(*this),
      m_settings(*this),
      m_log(std::make_unique<CLogFile>(m_lock, m_settings.Values())),
      m_file(*this),
      m_commsDocument(std::make_unique<CommsDocument>(*this)),
      m_comms(std::make_unique<CCommsWorker>(*m_commsDocument)) {
  SetDefaults();
}

CSystem::~CSystem() {
  m_images.ListenForUndecodedPictures(false);
  m_comms->StopCommsThread();
  if (m_comms->IsPortOpen()) m_comms->GetTransport().Close();
  DestroyContents();
}

void CSystem::DestroyContents() {
  {
    CSingleLock lock(m_lock);
    for (CDevice* d : m_devices) delete d;
    m_devices.clear();
    m_devicesByUuid.clear();
    m_devicesByUuidStale = false;
  }
  m_comms->ClearSystemQueue();
  m_users.DeleteAllUsers();
  m_links.DeleteAllLinks();
  DeleteAllZones();
  m_panels.DeleteContents();
  m_snapshots.DeleteAllSnapshots();
  m_images.GetFileImages().RemoveAll();
  m_images.GetLibraryImages().RemoveAll();
}

// --- Life cycle ---

void CSystem::SetDefaults() {
  m_modified = false;
  m_users.SetUseSystemSecurity(false);
  m_file.SetDefaults();
  CUserList& users = m_users.GetUsers();
  if (users.size() < kMaxUsers) users.push_back(new CUser(kAdminName, kAdminPassword));
  m_users.SetCurrentUser(0);
  m_selectedDevice = -1;
  m_links.SetLinksActive(true);
  m_snapshots.SetCurrentSnapshot(-1);
  auto* zone = new CZone(this);
  zone->SetName(kMainZoneName);
  m_zones.push_back(zone);
}

bool CSystem::Start(IUiServices* ui) {
  SetUiServices(ui);
  m_settings.LoadSettings();
  m_images.LoadImageLibrary();
  m_comms->Start();
  return true;
}

void CSystem::SetUiServices(IUiServices* ui) {
  m_ui = ui;
  m_log->SetOutputSink(ui);
  m_images.ListenForUndecodedPictures(ui != nullptr);
}

void CSystem::PostToFrame(std::uint32_t message) {
  if (m_ui) m_ui->PostMessage(message);
}

void CSystem::ShowMessage(const std::string& text, const std::string& caption) {
  if (m_ui) m_ui->ShowMessageBox(text, caption);
}

void CSystem::ShowFileError(const std::string& text, const std::string& caption) const {
  if (m_fileErrorCapture) {
    *m_fileErrorCapture += (m_fileErrorCapture->empty() ? "" : "\n") + text;
    return;
  }
  if (m_ui) m_ui->ShowFileError(text, caption);
}

bool CSystem::IsPortOpen() const { return m_comms->IsPortOpen(); }

bool CSystem::GoOnline(std::uint32_t choice) {
  // A unit of another model that a scan found at a device's ID is looked for anew.
  for (CDevice* device : GetDevices()) device->UnitAtId().SetOtherModelAtId(0);
  // The file's settings go to the units with what the links owe them.
  if (choice == kGoOnlineSend) m_links.PutOwedLinkValuesIntoTheFile();
  if (m_comms->GoOnline(choice)) return true;
  // Why the port did not open: no such device, no permission, another program holds it...
  const std::string reason = m_comms->GetTransport().GetOpenFailureText();
  if (!reason.empty()) WriteLog("Failed to connect on " + reason + "\n");
  if (m_ui) {
    m_ui->ShowMessageBox(reason.empty() ? std::string(kFailedToConnectText)
                                        : std::string(kFailedToConnectText) + "\n\n" + reason,
                         kOnlineErrorCaption);
  }
  return false;
}

bool CSystem::Clear() {
  DeleteAllDevices();
  m_users.DeleteAllUsers();
  DeleteAllZones();
  m_links.DeleteAllLinks();
  m_panels.DeleteAllCustomPanels();
  m_snapshots.DeleteAllSnapshots();
  m_panels.ClearCopiedWidgets();
  m_images.GetFileImages().RemoveAll();
  // Only our own data goes: what other programs put on the clipboard stays.
  if (ClipboardHoldsRegisteredFormat()) EmptyClipboard();
  SetDefaults();
  m_modified = false;
  m_file.Forget();
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
  // An earlier device of the same UUID stays the one found.
  if (!m_devicesByUuidStale) m_devicesByUuid.emplace(device->GetUuid(), device);
}

void CSystem::IndexDevicesByUuid() const {
  m_devicesByUuid.clear();
  for (CDevice* d : m_devices) m_devicesByUuid.emplace(d->GetUuid(), d);
  m_devicesByUuidStale = false;
}

CDevice* CSystem::FindDeviceByUuid(const CUuid& uuid) const {
  CSingleLock lock(m_lock);
  if (m_devicesByUuidStale) IndexDevicesByUuid();
  auto found = m_devicesByUuid.find(uuid);
  // A device whose record was read again after it joined the list is looked up afresh.
  if (found != m_devicesByUuid.end() && !(found->second->GetUuid() == uuid)) {
    IndexDevicesByUuid();
    found = m_devicesByUuid.find(uuid);
  }
  return found == m_devicesByUuid.end() ? nullptr : found->second;
}

CDevice* CSystem::FindDeviceByHandle(std::uint64_t handle) const {
  if (handle == 0) return nullptr;
  CSingleLock lock(m_lock);
  for (CDevice* d : m_devices)
    if (d->GetHandle() == handle) return d;
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
  m_links.RemoveDeviceFromLinks(*device);
  for (CCPData* panel : m_panels.GetCustomPanels()) panel->DetachDevice(device);
  // Copied widgets may be pasted later: they must not keep the deleted device either.
  for (CCustomControlObject* w : m_panels.GetCopiedWidgets())
    if (w->m_pDevice == device) w->m_pDevice = nullptr;
  CUserList& users = m_users.GetUsers();
  for (std::size_t u = 1; u < users.size() && u < kMaxUsers; ++u) users[u]->RemovePermission(uuid);
  {
    CSingleLock lock(m_lock);
    m_devices.erase(m_devices.begin() + index);
    m_devicesByUuidStale = true;
    m_comms->ForgetDevice(device);
  }
  delete device;
  m_modified = true;
  return true;
}

void CSystem::DeleteAllDevices() {
  while (GetDeviceCount() > 0) DeleteDevice(0);
}

// --- Zones, rights, custom panels ---

void CSystem::DeleteAllZones() {
  while (!m_zones.empty()) {
    delete m_zones.back();
    m_zones.pop_back();
  }
}

std::uint64_t CSystem::GetCurrentUserRestrictions() const { return m_users.GetCurrentUserRestrictions(); }

bool CSystem::CanCurrentUserEditDeviceProperties() const {
  return (GetCurrentUserRestrictions() & kRestrictEditDeviceProperties) == 0;
}

bool CSystem::MayCurrentUserRecallSnapshots() const { return CurrentUserHolds(this, kRestrictRecallSnapshots); }

void CSystem::OnParameterChanged(CDevice* device, const CParamValue& stored, const CParamValue& requested,
                                 CParameterChangeNotice notice) {
  (void)notice;
  m_panels.UpdateCustomPanelControls(device, std::uint32_t(stored.id));
  m_links.SpreadChange(device, requested);
}

bool CSystem::PickImage(CCCImageBase*& image) { return m_ui && m_ui->PickImage(&m_images, image); }

bool CSystem::PickParameter(CCustomControlObject* widget) { return m_ui && m_ui->PickParameter(this, widget); }

// --- Devices from the worker ---

void CSystem::PlaceFoundDevices(const CZone* selectedZone) {
  const std::vector<CDevice*> found = m_comms->Discovery().TakeUnplacedDevices();
  if (found.empty() || m_zones.empty()) return;
  CZone* zone = m_zones.front();
  for (CZone* z : m_zones)
    if (z == selectedZone) zone = z;
  for (CDevice* device : found) {
    if (GetDeviceIndex(device) < 0) continue;
    zone->AppendDevice(device);
    const CUuid uuid = device->GetUuid();
    {
      // A security pass may be replacing the users meanwhile.
      CSingleLock lock(m_lock);
      CUserList& users = m_users.GetUsers();
      for (std::size_t u = 1; u < users.size() && u < kMaxUsers; ++u)
        users[u]->m_devicePermissions.push_back(new CPanelPermissions(uuid, 1));
    }
    m_modified = true;
  }
}

std::vector<CUuid> CSystem::GetCustomPanelIds() const {
  std::vector<CUuid> ids;
  ids.reserve(m_panels.GetCustomPanels().size());
  for (const CCPData* panel : m_panels.GetCustomPanels()) ids.push_back(panel->GetUuid());
  return ids;
}

void CSystem::WriteLog(const std::string& text) { m_log->WriteLog(text); }

void CSystem::WriteErrorLog(const std::string& text) { m_log->WriteErrorLog(text); }

bool CSystem::ExportLogFile(const std::string& destination, std::string* error) {
  return m_log->ReadLogFile(destination, error);
}
