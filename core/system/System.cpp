// The system object's life cycle, containers, removal of devices and its view for the worker.
#include "core/system/System.h"

#include <algorithm>

#include "custom/CPData.h"
#include "core/protocol/ControlMessage.h"
#include "core/model/ControlPanel.h"
#include "core/model/Device.h"
#include "core/model/Link.h"
#include "core/support/LogFile.h"
#include "core/support/SystemMessages.h"
#include "core/comms/SerialComms.h"
#include "core/model/Snapshot.h"
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
  const CAppSettings& GetSettings() const override { return m_system.m_settings; }
  std::uint32_t ReloadCommsTimeoutConstant() override { return m_system.m_settings.ReloadCommsTimeoutConstant(); }
  void WriteLog(const std::string& text) override { m_system.WriteLog(text); }
  void WriteErrorLog(const std::string& text) override { m_system.WriteErrorLog(text); }
  void PostToFrame(CPostedMessage message) override {
    if (IUiServices* ui = m_system.m_ui) ui->Post(std::move(message));
  }
  const CUserList& GetUsers() const override { return m_system.m_users; }
  bool GetUseSystemSecurity() const override { return m_system.m_useSystemSecurity; }
  void ImportNetworkUsers(const CUserList& network) override { m_system.ImportNetworkUsers(network); }

 private:
  CSystem& m_system;
};

CSystem::CSystem()
    : m_log(std::make_unique<CLogFile>(m_lock, m_settings)),
      m_commsDocument(std::make_unique<CommsDocument>(*this)),
      m_comms(*m_commsDocument) {
  SetDefaults();
}

CSystem::~CSystem() {
  if (GetImageDecodeNotice() == this) SetImageDecodeNotice(nullptr);
  m_comms.StopCommsThread();
  if (m_comms.IsPortOpen()) m_comms.GetTransport().Close();
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
  m_comms.ClearSystemQueue();
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

bool CSystem::Start(IUiServices* ui) {
  SetUiServices(ui);
  LoadSettings();
  LoadImageLibrary();
  m_comms.Start();
  return true;
}

void CSystem::SetUiServices(IUiServices* ui) {
  m_ui = ui;
  // Pictures gathered for other services are never told there.
  for (auto& kinds : m_undecodedPictures)
    for (CUndecodedPictures& pictures : kinds) pictures = CUndecodedPictures();
  m_log->SetOutputSink(ui);
  if (ui) SetImageDecodeNotice(this);
  else if (GetImageDecodeNotice() == this) SetImageDecodeNotice(nullptr);
}

namespace {
bool HoldsImage(const CCCImageDirectory& folder, const CCCImage& image) {
  for (const CCCImageBase* child : folder.GetChildren()) {
    if (child == &image) return true;
    if (child->IsDirectory() && HoldsImage(static_cast<const CCCImageDirectory&>(*child), image)) return true;
  }
  return false;
}
}  // namespace

void CSystem::OnPictureNotDecoded(const CCCImage& image, BitmapFault fault) {
  bool waiting = false;
  for (const auto& kinds : m_undecodedPictures)
    for (const CUndecodedPictures& pictures : kinds) waiting = waiting || pictures.count > 0;
  CUndecodedPictures& pictures =
      m_undecodedPictures[HoldsImage(m_libraryImages, image) ? 1 : 0][fault == BitmapFault::NoMemory ? 1 : 0];
  ++pictures.count;
  if (pictures.firstNames.size() < kNamedPictures) pictures.firstNames.push_back(image.m_name);
  // The picture is often being drawn: the frame shows the notice after the paint, not inside it,
  // and once for all the pictures that fail until then.
  if (!waiting && m_ui) m_ui->PostMessage(FrameMsg::kImageNotDecoded);
}

std::vector<CSystem::CPictureNotice> CSystem::TakePictureNotices() {
  std::vector<CPictureNotice> notices;
  for (int library = 0; library < 2; ++library) {
    for (int noMemory = 0; noMemory < 2; ++noMemory) {
      CUndecodedPictures& pictures = m_undecodedPictures[library][noMemory];
      if (pictures.count == 0) continue;
      notices.push_back({library ? kImageLibraryCaption : kFileErrorCaption,
                         PicturesNotReadText(pictures.count, pictures.firstNames, library != 0,
                                             noMemory ? BitmapFault::NoMemory : BitmapFault::Damaged)});
      pictures = CUndecodedPictures();
    }
  }
  return notices;
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

bool CSystem::GoOnline(std::uint32_t choice) {
  // A unit of another model that a scan found at a device's ID is looked for anew.
  for (CDevice* device : GetDevices()) device->UnitAtId().SetOtherModelAtId(0);
  // The file's settings go to the units with what the links owe them.
  if (choice == kGoOnlineSend) PutOwedLinkValuesIntoTheFile();
  if (m_comms.GoOnline(choice)) return true;
  // Why the port did not open: no such device, no permission, another program holds it...
  const std::string reason = m_comms.GetTransport().GetOpenFailureText();
  if (!reason.empty()) WriteLog("Failed to connect on " + reason + "\n");
  if (m_ui) {
    m_ui->ShowMessageBox(reason.empty() ? std::string(kFailedToConnectText)
                                        : std::string(kFailedToConnectText) + "\n\n" + reason,
                         kOnlineErrorCaption);
  }
  return false;
}

void CSystem::MarkLinkWritesOwed(CDevice* device) {
  if (!device) return;
  const std::vector<std::int32_t> owed = device->Queue().TakeLinkWritesOwed();
  if (owed.empty()) return;
  const CUuid self = device->GetUuid();
  WithoutSpreading([&] {
    for (const std::int32_t id : owed) {
      bool kept = false;
      for (std::size_t l = 0; l < m_links.size(); ++l) {
        CLink* link = m_links[l];
        CLinkRef* member = link->FindRef(self, std::uint32_t(id));
        if (!member || !AreLinksActive() || !device->IsAwayOnline()) continue;
        // A member out of line already keeps a value of the link at least as new.
        if (!member->IsOutOfLine()) {
          CParamValue value = device->GetCurrentValue(id);
          value.id = id;
          GiveLinkValue(*link, *member, *device, value);
        }
        kept = kept || member->IsOutOfLine();
      }
      if (kept) device->Queue().DropLinkWrites(id);
    }
  });
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
  m_fileStamp.reset();
  m_storedUnitChanges = CountUnitChanges();
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
  RemoveDeviceFromLinks(*device);
  for (CCPData* panel : m_customPanels) panel->DetachDevice(device);
  // Copied widgets may be pasted later: they must not keep the deleted device either.
  for (CCustomControlObject* w : m_copiedWidgets)
    if (w->m_pDevice == device) w->m_pDevice = nullptr;
  for (std::size_t u = 1; u < m_users.size() && u < kMaxUsers; ++u) m_users[u]->RemovePermission(uuid);
  {
    CSingleLock lock(m_lock);
    m_devices.erase(m_devices.begin() + index);
    m_devicesByUuidStale = true;
    m_comms.ForgetDevice(device);
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

namespace {

// The questions about the current user read it under the lock, as the worker's import deletes
// the users it replaces; none is the answer when the index names no user.
template <class Read, class Answer>
Answer AskCurrentUser(const CSystem& system, Read read, Answer none) {
  CSingleLock lock(system.GetLock());
  const CUserList& users = system.GetUsers();
  const int index = system.GetCurrentUser();
  if (index < 0 || std::size_t(index) >= std::min(users.size(), kMaxUsers) || !users[std::size_t(index)]) return none;
  return read(*users[std::size_t(index)]);
}

}  // namespace

std::uint64_t CSystem::GetCurrentUserRestrictions() const {
  return AskCurrentUser(*this, [](const CUser& user) { return user.GetRestrictionMask(); }, ~std::uint64_t{0});
}

bool CSystem::CanCurrentUserEditDeviceProperties() const {
  return (GetCurrentUserRestrictions() & kRestrictEditDeviceProperties) == 0;
}

bool CSystem::CurrentUserMayOpen(const CUuid& uuid) const {
  return AskCurrentUser(*this, [&](const CUser& user) { return user.CanAccessPanel(uuid); }, false);
}

bool CSystem::IsCurrentUserRestricted() const {
  return AskCurrentUser(*this, [](const CUser& user) { return user.GetRestrictionMask() != 0; }, false);
}

std::string CSystem::GetCurrentUserName() const {
  return AskCurrentUser(*this, [](const CUser& user) { return user.GetName(); }, std::string());
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

bool CSystem::PickImage(CCCImageBase*& image) { return m_ui && m_ui->PickImage(this, image); }

bool CSystem::PickParameter(CCustomControlObject* widget) { return m_ui && m_ui->PickParameter(this, widget); }

void CSystem::UpdateCustomPanelControls(CDevice* device, std::uint32_t parameterId) {
  for (CCPData* panel : m_customPanels)
    if (panel->m_pView) panel->m_pView->BroadcastParameterUpdate(device, parameterId);
}

void CSystem::RedrawCustomPanels(const CDevice* device) {
  for (CCPData* panel : m_customPanels) {
    if (!panel->m_pView) continue;
    const bool bound = !device || std::any_of(panel->m_widgets.begin(), panel->m_widgets.end(),
                                              [device](const CCustomControlObject* w) { return w->m_pDevice == device; });
    if (bound) panel->m_pView->RebuildDisplay();
  }
}

void CSystem::ClearCopiedWidgets() { DeleteCustomControlObjects(m_copiedWidgets); }

void CSystem::DeleteAllSnapshots() {
  for (CSnapshot* s : m_snapshots) delete s;
  m_snapshots.clear();
}


// --- Users and devices from the worker ---

void CSystem::ImportNetworkUsers(const CUserList& network) {
  CUserList imported;
  for (std::size_t i = 0; i < network.size() && i < kMaxUsers; ++i) {
    auto* user = new CUser;
    user->CopyFrom(*network[i]);
    imported.push_back(user);
  }
  CSingleLock lock(m_lock);
  m_users.swap(imported);
  ::DeleteAllUsers(imported);
  // Units keep no access records: without them every restricted user could open no panel
  // until the file was opened again.
  EnsureUserPermissions();
  m_useSystemSecurity = true;
  ++m_userImports;
  // The old index may point past the new list or at another person: the administrator, whose
  // password was just given, is the one logged in now.
  m_currentUser = 0;
  m_modified = true;
}

void CSystem::PlaceFoundDevices(const CZone* selectedZone) {
  const std::vector<CDevice*> found = m_comms.Discovery().TakeUnplacedDevices();
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
      for (std::size_t u = 1; u < m_users.size() && u < kMaxUsers; ++u)
        m_users[u]->m_devicePermissions.push_back(new CPanelPermissions(uuid, 1));
    }
    m_modified = true;
  }
}
