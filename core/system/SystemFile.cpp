// The system file: CSystemFile::Serialize (root record, version 5 written, 1 to 5 read; after it,
// while a link owes a member a value, the block of owed values), OpenFile and SaveFile.
#include "core/system/SystemFile.h"

#include <algorithm>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <set>
#include <stdexcept>

#include "custom/CPData.h"
#include "core/model/Device.h"
#include "core/file/ImageTree.h"
#include "core/model/Link.h"
#include "core/model/Snapshot.h"
#include "core/system/System.h"
#include "core/model/User.h"
#include "core/support/ScopeGuard.h"
#include "core/system/Zone.h"
#include "platform/Archive.h"
#include "platform/AtomicFile.h"
#include "platform/Sync.h"
#include "platform/TextFormat.h"

namespace {

constexpr const char* kMainZoneName = "Main Zone";
constexpr const char* kLoadedObjectName = "Dummy";

// Least bytes of one entry of each list, checked against the data left before a list is read:
// a device is its type code, ID and the base record's version; the others their first word.
constexpr std::size_t kDeviceEntryMinSize = 12;
constexpr std::size_t kListEntryMinSize = 4;

// Why a load stopped, beyond what the archive itself throws.
class CLoadRefused : public std::runtime_error {
 public:
  explicit CLoadRefused(const std::string& message) : std::runtime_error(message) {}
};

void Report(const CSystem& system, const std::string& text) {
  system.ShowFileError(text, kFileErrorCaption);
}

// Everything a file holds, read apart from the system and handed over only when the whole file
// was read; whatever is left here when the load stops is deleted with it.
struct CFileContents {
  bool useSystemSecurity = false;
  bool fullScreenOnOpen = false;
  bool goOnlineOnOpen = false;
  std::int32_t currentUser = 0;
  CUserList users;
  std::vector<CDevice*> devices;
  std::int32_t selectedDevice = -1;
  std::vector<CZone*> zones;
  std::vector<CLink*> links;
  bool linksActive = true;
  std::uint32_t treeState = 0;
  std::vector<CSnapshot*> snapshots;
  CCCImageDirectory images;  // the file's own image tree
  std::vector<CCPData*> panels;
  CImageLoadReport imageReport;
  std::vector<std::string> usersLeftOut;  // past the users the system keeps

  CFileContents() = default;
  CFileContents(const CFileContents&) = delete;
  CFileContents& operator=(const CFileContents&) = delete;
  ~CFileContents() {
    DeleteAllUsers(users);
    for (CZone* z : zones) delete z;
    for (CLink* l : links) delete l;
    for (CSnapshot* s : snapshots) delete s;
    for (CCPData* p : panels) delete p;
    for (CDevice* d : devices) delete d;
  }

  // The first device of the file with that UUID. Every zone member and every bound widget is
  // looked up, so the devices are indexed once they are all read, not searched each time.
  CDevice* FindDevice(const CUuid& uuid) const {
    if (indexed != devices.size()) {
      byUuid.clear();
      for (CDevice* d : devices) byUuid.emplace(d->GetUuid(), d);
      indexed = devices.size();
    }
    const auto found = byUuid.find(uuid);
    return found == byUuid.end() ? nullptr : found->second;
  }

 private:
  mutable std::map<CUuid, CDevice*> byUuid;
  mutable std::size_t indexed = 0;  // how many of the devices byUuid holds
};

// Records of the file being read find the devices, panels and images of that file.
class CFileLookup : public CRecordLookup {
 public:
  explicit CFileLookup(const CFileContents& contents) : m_contents(contents) {}
  CDevice* FindDevice(const CUuid& id) const override { return id.IsNil() ? nullptr : m_contents.FindDevice(id); }
  CCPData* FindPanel(const CUuid& id) const override {
    for (CCPData* panel : m_contents.panels)
      if (panel->GetUuid() == id) return panel;
    return nullptr;
  }
  CCCImage* FindImage(const CUuid& id) const override {
    return id.IsNil() ? nullptr : m_contents.images.FindImage(id);
  }

 private:
  const CFileContents& m_contents;
};

// Records being written name the system's own devices, panels and images.
class CSystemRecordLookup : public CRecordLookup {
 public:
  explicit CSystemRecordLookup(const CSystem& system) : m_system(system) {}
  CDevice* FindDevice(const CUuid& id) const override { return id.IsNil() ? nullptr : m_system.FindDeviceByUuid(id); }
  CCPData* FindPanel(const CUuid& id) const override { return FindCustomPanel(m_system, id); }
  CCCImage* FindImage(const CUuid& id) const override {
    return id.IsNil() ? nullptr : const_cast<CSystem&>(m_system).Images().GetFileImages().FindImage(id);
  }

 private:
  const CSystem& m_system;
};

// Stores the root record a piece at a time, each piece under a hold of the lock of its own: the
// start with the users and the device list, each device (the worker may be parsing a reply into
// its settings), the zones and links, each panel and each snapshot. The pictures, which only the
// UI thread touches, are stored without it. betweenPieces is called after each piece with the
// lock released, so that the bytes stored so far can be written while the worker goes on.
// Returns the count of the units' changes in what was stored, each device's taken with its
// record.
std::uint64_t StoreContents(CSystem& system, CArchive& ar, const std::function<void()>& betweenPieces) {
  const auto piece = [&](const auto& store) {
    {
      CSingleLock lock(system.GetLock());
      store();
    }
    if (betweenPieces) betweenPieces();
  };
  std::vector<CDevice*> devices;
  piece([&] {
    ar.WriteU32(kSystemFileVersion);
    ar.WriteBool(system.Users().GetUseSystemSecurity());
    ar.WriteBool(system.File().GetFullScreenOnOpen());
    ar.WriteBool(system.File().GetGoOnlineOnOpen());
    ar.WriteI32(system.Users().GetCurrentUser());
    SerializeUsers(ar, system.Users().GetUsers());
    // The devices the file holds are those of the list now; one the worker finds meanwhile
    // waits for the next save.
    devices = system.GetDevices();
    ar.WriteU32(std::uint32_t(devices.size()));
  });
  std::uint64_t unitChanges = 0;
  for (CDevice* device : devices) {
    piece([&] {
      ar.WriteU32(device->GetTypeCode());
      ar.WriteU32(device->GetDeviceId());
      ar.WriteU32(device->GetModelIndex());
      device->Serialize(ar);
      unitChanges += device->UnitChanges().Get();
    });
  }
  piece([&] {
    ar.WriteI32(system.GetSelectedDevice());
    ar.WriteU32(std::uint32_t(system.GetZones().size()));
    for (CZone* zone : system.GetZones()) zone->Serialize(ar);
    ar.WriteU32(std::uint32_t(system.Links().GetLinks().size()));
    for (CLink* link : system.Links().GetLinks()) link->Serialize(ar);
    ar.WriteBool(system.Links().AreLinksActive());
    ar.WriteU32(system.File().GetTreeState());
  });
  // Images go before the panels, whose records name them by id.
  system.Images().GetFileImages().Serialize(ar);
  if (betweenPieces) betweenPieces();
  const CSystemRecordLookup lookup(system);
  const std::vector<CCPData*> panels = system.GetCustomPanels();
  piece([&] { ar.WriteU32(std::uint32_t(panels.size())); });
  for (CCPData* panel : panels) piece([&] { panel->Serialize(ar, lookup); });
  const std::vector<CSnapshot*> snapshots = system.GetSnapshots();
  piece([&] { ar.WriteU32(std::uint32_t(snapshots.size())); });
  for (CSnapshot* snapshot : snapshots) piece([&] { snapshot->Serialize(ar); });
  // A link's value that a member has still to take outlives the program only in the file. It
  // follows the root record behind a mark of its own, where earlier versions of the program,
  // which stop reading at the record's end, do not look.
  piece([&] {
    if (!AnyLinkOwesAValue(system.Links().GetLinks())) return;
    ar.WriteU32(kOwedLinkValuesMark);
    StoreOwedLinkValues(ar, system.Links().GetLinks());
  });
  return unitChanges;
}

// The devices, each built by its type code and read by itself.
void LoadDevices(CSystem& system, CArchive& ar, std::uint32_t version, CFileContents& c) {
  const std::uint32_t deviceCount = ar.ReadU32();
  ar.CheckCount(deviceCount, kDeviceEntryMinSize);
  for (std::uint32_t i = 0; i < deviceCount; ++i) {
    const std::uint32_t typeCode = ar.ReadU32();
    const std::uint32_t deviceId = ar.ReadU32();
    const std::uint32_t modelIndex = version >= 3 ? ar.ReadU32() : 0;
    CDevice* device = system.CreateDevice(deviceId, typeCode, modelIndex);
    if (!device) throw CLoadRefused(kFileBadDeviceTypeText);
    c.devices.push_back(device);
    device->Serialize(ar);
  }
}

// The zones, with every device in exactly one of them.
void LoadZones(CSystem& system, CArchive& ar, std::uint32_t version, CFileContents& c) {
  // Each device goes into the first zone that names it; a UUID that names no device of the
  // file, or one already placed, is dropped.
  std::set<const CDevice*> placed;
  auto placeOnce = [&](const CUuid& uuid) -> CDevice* {
    CDevice* device = c.FindDevice(uuid);
    return device && placed.insert(device).second ? device : nullptr;
  };
  if (version >= 2) {
    const std::uint32_t zoneCount = ar.ReadU32();
    ar.CheckCount(zoneCount, kListEntryMinSize);
    for (std::uint32_t i = 0; i < zoneCount; ++i) {
      auto* zone = new CZone(&system);
      c.zones.push_back(zone);
      zone->Serialize(ar, placeOnce);
    }
  }
  // Every device belongs to exactly one zone, and there is always a first zone: a version 1
  // file gets one "Main Zone" holding every device in file order, and devices that no zone
  // names go to the end of the first zone.
  if (c.zones.empty()) {
    auto* zone = new CZone(&system);
    zone->SetName(kMainZoneName);
    c.zones.push_back(zone);
  }
  for (CDevice* device : c.devices)
    if (!placed.count(device)) c.zones.front()->AppendDevice(device);
}

void LoadContents(CSystem& system, CArchive& ar, CFileContents& c) {
  const std::uint32_t version = ar.ReadU32();
  if (version < 1 || version > kSystemFileVersion) throw CLoadRefused(kFileTooNewText);
  c.useSystemSecurity = ar.ReadBool();
  if (version == 4) c.fullScreenOnOpen = ar.ReadU8() != 0;
  if (version >= 5) {
    c.fullScreenOnOpen = ar.ReadBool();
    c.goOnlineOnOpen = ar.ReadBool();
  }
  c.currentUser = ar.ReadI32();
  SerializeUsers(ar, c.users, &c.usersLeftOut);

  LoadDevices(system, ar, version, c);
  c.selectedDevice = ar.ReadI32();
  LoadZones(system, ar, version, c);

  if (version >= 3) {
    const std::uint32_t linkCount = ar.ReadU32();
    ar.CheckCount(linkCount, kListEntryMinSize);
    for (std::uint32_t i = 0; i < linkCount; ++i) {
      auto* link = new CLink(kLoadedObjectName);
      c.links.push_back(link);
      link->Serialize(ar);
    }
    c.linksActive = ar.ReadBool();
    c.treeState = ar.ReadU32();
    c.images.Serialize(ar, &c.imageReport);
    const std::uint32_t panelCount = ar.ReadU32();
    ar.CheckCount(panelCount, kListEntryMinSize);
    const CFileLookup lookup(c);
    for (std::uint32_t i = 0; i < panelCount; ++i) {
      auto* panel = new CCPData(&system);
      c.panels.push_back(panel);
      panel->Serialize(ar, lookup);
    }
  }
  if (version >= 4) {
    const std::uint32_t snapshotCount = ar.ReadU32();
    ar.CheckCount(snapshotCount, kListEntryMinSize);
    for (std::uint32_t i = 0; i < snapshotCount; ++i) {
      auto* snapshot = new CSnapshot(kLoadedObjectName);
      c.snapshots.push_back(snapshot);
      snapshot->Serialize(ar);
    }
  }
  // The block of owed link values, behind its mark; any other byte after the record is refused
  // below.
  if (ar.Remaining() >= 4) {
    const std::size_t end = ar.Position();
    if (ar.ReadU32() == kOwedLinkValuesMark)
      LoadOwedLinkValues(ar, c.links);
    else
      ar.Rewind(end);
  }

  // The current user decides every right: an index that names no user of the file is damage,
  // not a reason to fall back to the administrator.
  if (c.currentUser < 0 || std::size_t(c.currentUser) >= c.users.size()) throw CLoadRefused(kFileDamagedText);
  // A file is read to its last byte: what follows the system would be lost at the next save.
  // Zero bytes after it (padding) hold nothing, and are let be.
  const std::size_t left = ar.Remaining(), size = ar.Position() + left;
  while (ar.Remaining() > 0) {
    const std::size_t n = std::min<std::size_t>(ar.Remaining(), 64 * 1024);
    const std::uint8_t* bytes = ar.ReadSpan(n);
    if (std::any_of(bytes, bytes + n, [](std::uint8_t b) { return b != 0; }))
      throw CLoadRefused(std::string(kFileBytesAfterEndText) + "\n(" + WithThousands(left) + " of its " +
                         WithThousands(size) + " bytes follow the system it begins with)");
  }
  if (c.selectedDevice < -1 || c.selectedDevice >= std::int32_t(c.devices.size())) c.selectedDevice = -1;
}

// Hands the contents over to the system, whose file contents were cleared first.
void TakeContents(CSystem& system, CFileContents& c) {
  system.Clear();
  system.DeleteAllZones();
  DeleteAllUsers(system.Users().GetUsers());
  system.Users().SetUseSystemSecurity(c.useSystemSecurity);
  system.File().SetFullScreenOnOpen(c.fullScreenOnOpen);
  system.File().SetGoOnlineOnOpen(c.goOnlineOnOpen);
  system.Users().GetUsers().swap(c.users);
  system.Users().SetCurrentUser(c.currentUser);
  for (CDevice* device : c.devices) system.AppendDevice(device);
  c.devices.clear();
  system.SetSelectedDevice(c.selectedDevice);
  for (CZone* zone : c.zones) system.AppendZone(zone);
  c.zones.clear();
  // Linking is set before the links come: what they owe their members is the file's, not ended.
  system.Links().SetLinksActive(c.linksActive);
  for (CLink* link : c.links) system.Links().AppendLink(link);
  c.links.clear();
  system.File().SetTreeState(c.treeState);
  for (CSnapshot* snapshot : c.snapshots) system.Snapshots().AppendSnapshot(snapshot);
  c.snapshots.clear();
  system.Images().GetFileImages().TakeFrom(c.images);
  for (CCPData* panel : c.panels) system.Panels().AppendCustomPanel(panel);
  c.panels.clear();
}

}  // namespace

bool CSystemFile::Serialize(CArchive& ar) {
  if (ar.IsStoring()) {
    try {
      StoreContents(m_system, ar, {});
      return true;
    } catch (const std::exception& e) {
      Report(m_system, std::string(kFileSaveFailedText) + "\n" + e.what());
      return false;
    }
  }

  CFileContents contents;
  CScopeGuard reading([this] { m_system.m_readingFile = false; });
  m_system.m_readingFile = true;
  try {
    LoadContents(m_system, ar, contents);
  } catch (const CLoadRefused& e) {
    Report(m_system, e.what());
    return false;
  } catch (const CArchiveException& e) {
    // A record of a later version cannot be read past: its fields would be taken for the next.
    if (e.GetCause() == CArchiveException::NewerVersion) Report(m_system, kFileTooNewText);
    else Report(m_system, std::string(kFileDamagedText) + "\n(" + e.what() + ")");
    return false;
  } catch (const std::bad_alloc&) {
    Report(m_system, std::string(kFileDamagedText) + "\n(not enough memory)");
    return false;
  } catch (const std::exception& e) {
    Report(m_system, std::string(kFileDamagedText) + "\n(" + e.what() + ")");
    return false;
  }
  TakeContents(m_system, contents);
  // The file opens with the pictures that decoded; the user hears of the others in one notice.
  if (const CImageLoadReport& images = contents.imageReport; images.undecodedImages)
    Report(m_system, PicturesNotReadText(images.undecodedImages, images.firstNames, false));
  if (!contents.usersLeftOut.empty()) {
    std::string notice = kFileUsersLeftOutText;
    for (const std::string& name : contents.usersLeftOut) notice += "\n" + name;
    Report(m_system, notice);
  }
  m_system.Panels().SetDesignMode(0);
  m_system.Users().EnsureUserPermissions();
  m_system.SetModified(false);
  return true;
}

bool CSystemFile::OpenFile(const std::string& path) {
  // Read in pieces as the records go: the file's bytes are never held whole beside what they
  // become.
  const std::unique_ptr<CArchive> file = CArchive::LoadFile(path, nullptr);
  if (!file) return false;
  // The file's stamp once it is open, before a record is read: a write by another program while
  // it is read makes it another file than the one this system holds.
  const std::optional<CFileStamp> stamp = ReadFileStamp(path);
  CArchive& ar = *file;
  m_system.Panels().SetDesignMode(0);
  if (!Serialize(ar)) {
    m_system.Clear();
    return false;
  }
  SetFilePath(path);
  m_system.SetModified(false);
  m_fileStamp = stamp;
  m_storedUnitChanges = CountUnitChanges();
  return true;
}

bool CSystemFile::SaveFile(const std::string& path, std::string* failure) {
  CScopeGuard capture([this] { m_system.m_fileErrorCapture = nullptr; });
  m_system.m_fileErrorCapture = failure;
  CAtomicFileWriter file(path);
  std::string error;
  auto failed = [&] {
    Report(m_system, std::string(kFileSaveFailedText) + "\n" + path + "\n" + error);
    return false;
  };
  if (!file.Open(&error)) return failed();
  // The records are stored into memory a piece at a time, each under the lock (a device's record
  // at most), and go to the file between the pieces, block by block, with the lock released:
  // the comms worker never waits for the disk, and the file's bytes are never gathered whole. A
  // write that fails stops the store and the file is left as it was.
  std::vector<std::uint8_t> pending;
  CArchive ar([&pending](const std::uint8_t* data, std::size_t size) { pending.insert(pending.end(), data, data + size); });
  const auto writeOut = [&](bool all) {
    ar.Flush();
    if (pending.empty() || (!all && pending.size() < CArchive::kSinkBlockBytes)) return;
    if (!file.Write(pending.data(), pending.size(), &error))
      throw CArchiveException(CArchiveException::WriteFailed, path + "\n" + error);
    pending.clear();
  };
  // Online the units may change the settings meanwhile: the count of their changes is taken of
  // what was stored, each device's with its record. So is the modified mark: it is taken as the
  // store begins, so that a change made between the pieces (the worker's user import, a device
  // an autoscan adds) marks the system modified again and is not lost with the mark at the end.
  std::uint64_t unitChanges = 0;
  bool wasModified = false;
  {
    CSingleLock lock(m_system.GetLock());
    wasModified = m_system.m_modified;
    m_system.m_modified = false;
  }
  const auto keepModified = [&] {
    CSingleLock lock(m_system.GetLock());
    m_system.m_modified = m_system.m_modified || wasModified;
  };
  try {
    unitChanges = StoreContents(m_system, ar, [&] { writeOut(false); });
    writeOut(true);
  } catch (const std::exception& e) {
    keepModified();
    Report(m_system, std::string(kFileSaveFailedText) + "\n" + e.what());
    return false;
  }
  if (!file.Commit(&error)) {
    keepModified();
    return failed();
  }
  SetFilePath(path);
  m_fileStamp = ReadFileStamp(path);
  m_storedUnitChanges = unitChanges;
  return true;
}

bool CSystemFile::HasChangesSinceStored() {
  // The worker's user import marks the system modified under the lock, and the units' replies
  // count their changes under it.
  CSingleLock lock(m_system.GetLock());
  return m_system.IsModified() || CountUnitChanges() != m_storedUnitChanges;
}

bool CSystemFile::IsFileChangedOnDisk() const {
  return !m_filePath.empty() && m_fileStamp && ReadFileStamp(m_filePath) != m_fileStamp;
}

std::uint64_t CSystemFile::CountUnitChanges() const {
  CSingleLock lock(m_system.GetLock());
  std::uint64_t count = 0;
  for (const CDevice* device : m_system.m_devices) count += device->UnitChanges().Get();
  return count;
}

void CSystemFile::SetDefaults() {
  m_fullScreenOnOpen = false;
  m_goOnlineOnOpen = false;
  m_loading = false;
  m_treeState = 0;
}

void CSystemFile::Forget() {
  m_filePath.clear();
  m_fileStamp.reset();
  m_storedUnitChanges = CountUnitChanges();
}
