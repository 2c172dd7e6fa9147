// The system object: root of the open system file (devices, zones, users, links, snapshots,
// custom panels, the file's images, settings) and owner of the comms worker, which runs the
// online connection.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/support/AppSettings.h"
#include "core/comms/CommsWorker.h"
#include "custom/CustomPanelHost.h"
#include "core/model/DeviceHost.h"
#include "core/system/ImageStore.h"
#include "core/file/ImageTree.h"
#include "core/comms/Security.h"
#include "core/model/User.h"
#include "core/file/Uuid.h"
#include "core/system/ZonedDevices.h"
#include "platform/File.h"
#include "platform/Sync.h"
#include "platform/Types.h"

class CArchive;
class CCCImageBase;
class CCPData;
class CControlMessage;
class CControlPanel;
class CCustomControlPanel;
class IAutoscanDialog;
class CCustomControlObject;
class CDevice;
class CLink;
class CLinkRef;
class CLogFile;
class CSecurityDialogLink;
struct CSecurityRequest;
class CSerialComms;
class CSnapshot;
class CZone;
class IUiServices;

// Threads: everything runs on the UI thread unless its comment says otherwise. The worker uses
// the device list, the device queues, the reply hand-over and the log under GetLock(); its own
// queue and state have a lock of their own. The device list may grow from the worker; every
// access to it takes the lock.
class CSystem final : public IDeviceHost,
                      public ICustomPanelHost,
                      public IImageStore,
                      public IZonedDevices,
                      private IImageDecodeNotice {
 public:
  CSystem();
  // Stops the worker when it still runs, then deletes everything the system owns.
  ~CSystem();
  CSystem(const CSystem&) = delete;
  CSystem& operator=(const CSystem&) = delete;

  // --- Life cycle ---
  // Defaults of a new file: one user "Admin", one zone "Main Zone", nothing selected. Deletes
  // nothing: callers empty the containers first.
  void SetDefaults();
  // Once, from the main frame's creation: installs the UI services, reads the settings, loads
  // the image library, creates the worker's events and starts it idle. A second call starts no
  // second worker. Always true.
  bool Start(IUiServices* ui);
  // What the model asks of the user interface: posts to the main frame, message boxes,
  // confirmations and file errors. Null posts nothing, shows nothing and refuses every
  // confirmation. Not owned. A system given services is the process's image decode notice
  // (until another is, or it goes): pictures of its trees that fail to decode when drawn are
  // gathered for TakePictureNotices, and the frame is told with FrameMsg::kImageNotDecoded
  // when the first of them arrives.
  void SetUiServices(IUiServices* ui);
  IUiServices* GetUiServices() const override { return m_ui; }
  // Empties everything the file holds (the library images and the settings stay), then
  // SetDefaults; the clipboard is emptied when it holds one of our formats. Always true.
  bool Clear();

  // The recursive lock of the device list, the device queues, the reply hand-over and the log.
  // Any thread.
  CCriticalSection& GetLock() const override { return m_lock; }

  // --- Devices (any thread; the list takes the lock) ---
  int GetDeviceCount() const override;
  // Device index, or null when the index is out of range.
  CDevice* GetDevice(int index) const override;
  // A copy of the list, for walking it without holding the lock.
  std::vector<CDevice*> GetDevices() const override;
  // Index of the device in the list, -1 when it is not there.
  int GetDeviceIndex(const CDevice* device) const override;
  // Appends a device; the system owns it from now on.
  void AppendDevice(CDevice* device);
  // The first device with this UUID, or null; through an index, so that links and snapshots of
  // hundreds of units find their devices at once.
  CDevice* FindDeviceByUuid(const CUuid& uuid) const;
  // The device with this handle (CDevice::GetHandle), or null when it is no longer in the list.
  CDevice* FindDeviceByHandle(std::uint64_t handle) const;
  // Removes device index with its references from zones, links, custom panels and users, and
  // deletes it. False when the index is out of range. UI thread, offline.
  bool DeleteDevice(int index);
  void DeleteAllDevices();

  int GetSelectedDevice() const { return m_selectedDevice; }
  void SetSelectedDevice(int index) { m_selectedDevice = index; }
  // The device the parameter selection dialog preselects next time (an index in the device
  // array; memory only, 0 for a new system object). UI thread.
  int GetParameterDeviceIndex() const override { return m_parameterDeviceIndex; }
  void SetParameterDeviceIndex(int index) override { m_parameterDeviceIndex = index; }
  // Any thread.
  bool IsSelectedDevice(const CDevice* device) const override;

  // --- Zones ---
  const std::vector<CZone*>& GetZones() const override { return m_zones; }
  // Appends a zone the system then owns.
  void AppendZone(CZone* zone) { m_zones.push_back(zone); }
  // Deletes every zone from the last (the devices stay).
  void DeleteAllZones();

  // --- Users ---
  // While online the comms worker's user import (ImportNetworkUsers) replaces the users and
  // the current index under the lock: a window that reads a user there takes the lock, or asks
  // one of the current-user questions below, which do.
  CUserList& GetUsers() { return m_users; }
  const CUserList& GetUsers() const { return m_users; }
  // The current user's index; it names a user when it is below 10 and in the list. Any thread.
  int GetCurrentUser() const { return m_currentUser.load(); }
  void SetCurrentUser(int index) { m_currentUser.store(index); }
  void DeleteAllUsers() { ::DeleteAllUsers(m_users); }
  // Every right withheld without a current user. Any thread.
  std::uint64_t GetCurrentUserRestrictions() const override;
  // False without a current user. Any thread.
  bool CanCurrentUserEditDeviceProperties() const override;
  // May the current user open the panel of the device or custom panel with this UUID
  // (CUser::CanAccessPanel)? False without a current user. Any thread.
  bool CurrentUserMayOpen(const CUuid& uuid) const;
  // True when the index names a user who lacks some right. Any thread.
  bool IsCurrentUserRestricted() const;
  // The current user's name; empty without one. Any thread.
  std::string GetCurrentUserName() const;

  // --- Links ---
  const std::vector<CLink*>& GetLinks() const { return m_links; }
  // Appends a link the system then owns.
  void AppendLink(CLink* link) { m_links.push_back(link); }
  void DeleteAllLinks();
  bool AreLinksActive() const { return m_linksActive; }
  // Switched off, it ends what the links owed members out of line, one log line each
  // (LinkManagement.cpp).
  void SetLinksActive(bool on);
  // Re-entrancy guard of the spreading of a change to linked parameters (UI thread).
  bool IsLinksBusy() const { return m_linksBusy; }
  void SetLinksBusy(bool busy) { m_linksBusy = busy; }
  // Runs apply with the spreading held off (links busy), then restores the guard as it was:
  // the changes made inside reach their own devices and no linked one. UI thread.
  template <class Apply>
  void WithoutSpreading(Apply&& apply) {
    const bool was = m_linksBusy;
    m_linksBusy = true;
    struct Restore {
      bool& busy;
      bool was;
      ~Restore() { busy = was; }
    } restore{m_linksBusy, was};
    apply();
  }

  // --- Custom panels ---
  const std::vector<CCPData*>& GetCustomPanels() const override { return m_customPanels; }
  std::vector<CUuid> GetCustomPanelIds() const override;
  // Appends a panel the system then owns.
  void AppendCustomPanel(CCPData* panel) { m_customPanels.push_back(panel); }
  // Closes the open panel windows and deletes every panel.
  void DeleteAllCustomPanels();
  // Every open custom panel refreshes the widgets bound to this device parameter.
  void UpdateCustomPanelControls(CDevice* device, std::uint32_t parameterId);
  // Every open custom panel with a widget bound to the device (null: every open panel) draws
  // itself again, so that its widgets show whether their parameters can be changed now.
  void RedrawCustomPanels(const CDevice* device);
  std::vector<CCustomControlObject*>& GetCopiedWidgets() { return m_copiedWidgets; }
  const std::vector<CCustomControlObject*>& GetCopiedWidgets() const override { return m_copiedWidgets; }
  void ClearCopiedWidgets();
  std::int32_t GetDesignMode() const override { return m_designMode; }
  void SetDesignMode(std::int32_t mode) { m_designMode = mode; }
  // The pickers of the UI services, run over this system (false without a user interface).
  bool PickImage(CCCImageBase*& image) override;
  bool PickParameter(CCustomControlObject* widget) override;

  // --- Snapshots ---
  const std::vector<CSnapshot*>& GetSnapshots() const override { return m_snapshots; }
  // Appends a snapshot the system then owns.
  void AppendSnapshot(CSnapshot* snapshot) { m_snapshots.push_back(snapshot); }
  void DeleteAllSnapshots();
  std::int32_t GetCurrentSnapshot() const override { return m_currentSnapshot; }
  void SetCurrentSnapshot(std::int32_t index) { m_currentSnapshot = index; }

  // --- Users, links and snapshots (UI thread) ---
  // Gives users 1 to 9 the record {UUID, may use} for every device and custom panel that they
  // hold no record for; user 0 never gets records. Runs after every file load.
  void EnsureUserPermissions();
  // Appends a new link named "Link n" with the smallest n >= 1 that no link is named with;
  // the modified flag is not touched.
  CLink* AddLink();
  // Removes the link from the system and deletes it with its members; nothing when the link
  // is not the system's.
  void DeleteLink(CLink* link);
  // Deletes the member at index of the link (CLink::RemoveMemberAt); false when there is none.
  // What the link owed the member ends, and a link deleted, a device deleted or linking switched
  // off ends it too: the log says so once for each member out of line.
  bool RemoveLinkMember(CLink& link, std::size_t index);
  // Takes every member of the device out of every link.
  void RemoveDeviceFromLinks(const CDevice& device);
  // The custom panels refresh the widgets bound to the parameter, and with linking active
  // every member of each link holding it receives requested under its own parameter id (one
  // level: the members' own changes do not spread again).
  void OnParameterChanged(CDevice* device, const CParamValue& stored, const CParamValue& requested,
                          CParameterChangeNotice notice) override;
  // True when any link has a member for this device parameter.
  bool IsParameterLinked(const CUuid& device, std::uint32_t parameterId) const;
  // With linking active, gives every member of each link the current value of its master
  // (each under its own parameter id, as a user change, once: the members' changes do not
  // spread again); members of deleted devices are skipped. A member whose unit is away online
  // falls out of line (CLinkRef::IsOutOfLine) instead, as with a change spread to it, and one
  // out of line stays so, with the new value to take, while offline too; a master
  // out of line whose unit is not connected (away, or offline) gives the value it is still to
  // take, and keeps it to take.
  void ApplyLinks();
  // A member of a link that a value of the link passed by while its unit was away online takes
  // that value once its unit is connected again (through its change path, so that the unit is
  // written), and the log says so. The frame calls it when the device's connection changed;
  // nothing while the port is closed or the unit is not connected. While linking is off the
  // unit keeps what it holds: what the links owed the device ends, with a line in the log. UI
  // thread.
  void BringLinkMembersIntoLine(CDevice* device);
  // The log names each member out of line that a file just opened holds, and what it is to take.
  void TellOwedLinkValues();
  // While the port is closed and linking is on, each member out of line takes the value its
  // link owes it into the file, keeping its mark until its unit has it: the settings a "Send"
  // session gives the units then carry the link's value, never the one the unit missed it for.
  void PutOwedLinkValuesIntoTheFile();
  // The values of links whose writes the device's unit had not acknowledged when it went away
  // (COutgoingQueue::TakeLinkWritesOwed): each such member falls out of line with its link's value, as
  // a member away when the value came does, the log saying so once, and takes the value when its
  // unit is back; the writes leave the device's queue, so that a newer value of the link is never
  // followed there by an older one. A write whose member cannot be marked (linking off, no such
  // member, the unit back already) stays owed in the queue. The frame calls it with
  // BringLinkMembersIntoLine. UI thread.
  void MarkLinkWritesOwed(CDevice* device);
  // A new snapshot holding every device's settings image now, appended.
  CSnapshot* AddSnapshot(const std::string& name);
  // Replaces snapshot index's images by the devices' settings now; name and UUID stay.
  // Null when the index is out of range.
  CSnapshot* CaptureSnapshot(int index);
  // Applies snapshot index to every device that still exists and makes it the current one.
  // Each device takes its own image; links do not spread the recalled values, so a member
  // set apart from its link keeps the level the snapshot holds for it. False, and nothing
  // recalled, when the index is out of range or the current user may not recall snapshots
  // (decided now, whichever command or button asked). A device whose unit is away online is
  // passed by, with a line in the log; notRecalled, when given, receives the words that name
  // those units, for the place the recall was made to say (empty when there are none).
  bool RecallSnapshot(int index, std::string* notRecalled = nullptr);
  // True when the current user holds the right to recall snapshots.
  bool MayCurrentUserRecallSnapshots() const override;
  // Deletes snapshot index and every widget reference to it; the current snapshot stays the
  // current one (its index moves down when a snapshot before it goes).
  void DeleteSnapshot(int index);
  // Open custom panels light up or darken their buttons for snapshot index; -1 does nothing.
  void UpdateSnapshotControls(int index);

  // --- Images ---
  // What the pictures that did not decode since the last call make: one notice each for the
  // file's and the library's, the damaged and those without memory, with the count and the
  // first names; nothing is gathered afterwards until another picture fails. UI thread.
  struct CPictureNotice {
    std::string caption;
    std::string text;
  };
  std::vector<CPictureNotice> TakePictureNotices();
  CCCImageDirectory& GetFileImages() override { return m_fileImages; }
  CCCImageDirectory& GetLibraryImages() override { return m_libraryImages; }
  // Reads the image library file named by the settings into the library tree; a missing file
  // is created with an empty library. A file that cannot be read is left alone and the
  // library stays empty; each failure is shown.
  void LoadImageLibrary();
  // Writes the library tree to the library file through a temporary file; false (shown with
  // the reason) when it cannot be written, and the old file stays. A library file that could
  // not be read is first copied beside itself (GetImageLibraryBackupPath), so that writing the
  // library over it loses nothing; no copy, no write.
  bool SaveImageLibrary() override;
  // True while the library file holds something other than the library: it was there but
  // could not be read at start-up.
  bool IsImageLibraryUnread() const { return m_libraryUnread; }
  // Where the next save keeps an unread library file: its name with ".bak" added, or with
  // ".bak2", ".bak3" ... when that name is taken.
  std::string GetImageLibraryBackupPath() const;
  // Reads the library file at path into a temporary tree; only when the whole file was read
  // does it replace the library and become the setting. False otherwise, with nothing changed
  // and nothing shown: refusal (when given) says why, for the settings page to tell the user.
  // Pictures of the new library that do not read are told of in one notice.
  bool ChangeImageLibraryFile(const std::string& path, std::string* refusal = nullptr);

  // --- The open file ---
  const std::string& GetFilePath() const { return m_filePath; }
  void SetFilePath(const std::string& path) { m_filePath = path; }
  bool IsModified() const { return m_modified; }
  void SetModified(bool modified = true) override { m_modified = modified; }
  bool IsFullScreenNow() const { return m_fullScreenNow; }
  void SetFullScreenNow(bool on) { m_fullScreenNow = on; }
  bool GetUseSystemSecurity() const { return m_useSystemSecurity; }
  void SetUseSystemSecurity(bool on) { m_useSystemSecurity = on; }
  bool GetFullScreenOnOpen() const { return m_fullScreenOnOpen; }
  void SetFullScreenOnOpen(bool on) { m_fullScreenOnOpen = on; }
  bool GetGoOnlineOnOpen() const { return m_goOnlineOnOpen; }
  void SetGoOnlineOnOpen(bool on) { m_goOnlineOnOpen = on; }
  // Set by the frame while a file's panels are reopened.
  bool IsLoading() const { return m_loading; }
  void SetLoading(bool on) { m_loading = on; }
  // True while Serialize reads a file: the devices built then have their whole contents read
  // from the file's records, so they may leave out defaults that the records replace.
  bool IsReadingFile() const override { return m_readingFile; }
  // Bit 0: the "Links" root of the control view's tree is expanded; bit 1: "Controls".
  std::uint32_t GetTreeState() const { return m_treeState; }
  void SetTreeState(std::uint32_t state) { m_treeState = state; }
  // Global mute of every unit on the bus, as last commanded; off at start.
  bool IsGlobalMute() const { return m_globalMute; }
  void SetGlobalMute(bool on) { m_globalMute = on; }

  // --- Global mute and notices between devices ---
  // Queues the nineteen broadcast frames of a global mute or unmute on the system command
  // queue and records the new state. Frames of an earlier press still queued go out first.
  // They wait in the queue while the port is closed. UI thread.
  void SendGlobalMute(bool mute);
  // Hands solo to every device of the list but the caller, in list order
  // (CSystemEntries::ApplySystemSolo).
  void NotifyOtherDevices(CDevice* caller, bool solo, CParameterChangeNotice notice) override;
  // Appends the type code and the device ID of every amplifier (51 to 56) and breakout box
  // (34 to 47), in list order; neither list is cleared first.
  void CollectZelDeviceIds(std::vector<std::uint32_t>& typeCodes, std::vector<std::uint32_t>& deviceIds) const override;

  // --- Confirmations (UI thread) ---
  // True when the action may go ahead: at once when the action is not one of the
  // "ConfirmDialogs" bits or its bit is clear; otherwise after OK in the question box, whose
  // never-again box then clears the bit. False on any other answer and without a question box.
  bool ConfirmAction(std::uint32_t action) override;
  // The same question with the name of what the action acts on under it (quoted), so that the
  // person sees which one goes; an empty name asks the plain question.
  bool ConfirmActionOn(std::uint32_t action, const std::string& name);

  // --- The system file (UI thread; the frame offers Open only while offline) ---
  // Writes the whole system (version 5), or reads a file of version 1 to 5 into fresh objects
  // that replace the system's contents only when the whole file was read. False after a
  // reported error; a failed read leaves the system's contents as they were.
  bool Serialize(CArchive& ar);
  // Reads the file at path. False when it cannot be read (no message) or when its contents
  // are refused (reported); the system is then cleared and keeps no path. On success the
  // path is kept and the file is not modified.
  bool OpenFile(const std::string& path);
  // Writes the file at path through a temporary file renamed into place. On failure the old
  // file is untouched, the failure is reported (or, when failure is given, its text goes there
  // instead), the path and the modified flag stay and the result is false. On success the path
  // is kept and the modified flag cleared.
  bool SaveFile(const std::string& path, std::string* failure = nullptr);
  // True when the system holds what its file, as last read or saved, does not: an edit (the
  // modified flag, which every change of the person's and every other record sets), or device
  // settings that the units' replies changed since (those leave the modified flag, and so
  // File > Save, alone; each device counts them). Microseconds under the lock at any size: no
  // record is stored to find out. UI thread.
  bool HasChangesSinceStored();
  // True when the file at the system's path is no longer the one it read or saved last: a
  // program wrote over it, replaced or removed it since. False without a file. UI thread.
  bool IsFileChangedOnDisk() const;
  // Shows a file error through the UI services (nothing without them).
  void ShowFileError(const std::string& text, const std::string& caption) const override;

  // --- Settings ---
  // Reads every setting, a missing one giving its default.
  void LoadSettings();
  const CAppSettings& GetSettings() const override { return m_settings; }
  std::string GetImageLibraryFilename() const { return m_settings.imageLibraryFilename; }
  // Each stores the value, writes it to the settings store at once and marks the file modified.
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

  // --- Log (any thread) ---
  // Writes a time-stamped line to the log file and the output pane.
  void WriteLog(const std::string& text) override;
  // The same, only when "LogCommsErrors" is on.
  void WriteErrorLog(const std::string& text) override;
  // Copies the whole log file to destination (UI thread), saved as a system file is: the
  // destination keeps its earlier bytes unless the whole copy is on the disk. False on any file
  // error, with the reason in error (when given).
  bool ExportLogFile(const std::string& destination, std::string* error = nullptr);

  // --- Comms worker ---
  // The worker: the serial transport, the system command queue, the worker thread with its
  // state, discovery and the security passes.
  CCommsWorker& GetComms() { return m_comms; }
  const CCommsWorker& GetComms() const { return m_comms; }
  // True while the serial port is open. Any thread.
  bool IsPortOpen() const override { return m_comms.IsPortOpen(); }

  // --- Online connection ---
  // UI thread, worker idle: opens the port and reinitialises every device with the choice
  // (0 read the settings from the units, 1 send the file's settings), then sets the worker
  // polling. On failure shows "Failed to connect - check comms settings" in a message box,
  // followed by the port, its device and why it did not open (also written to the log), and
  // returns false.
  bool GoOnline(std::uint32_t choice);
  // The System Monitor pane is shown (the families then poll meters). Any thread.
  bool IsSystemMonitorVisible() const override { return m_systemMonitorVisible; }
  void SetSystemMonitorVisible(bool visible) { m_systemMonitorVisible = visible; }
  // Shows text in a warning box on the main frame through the UI services (UI thread).
  void ShowMessage(const std::string& text, const std::string& caption);
  // Replaces the system's users by copies of the network's (at most 10), gives them an access
  // record of every device and custom panel that they have none of (as opening the file
  // would), turns system security on and logs in the administrator. Under the system's lock;
  // any thread.
  void ImportNetworkUsers(const CUserList& network);
  // How many times users were imported from a unit: a window that read the users or the
  // security flag compares it to learn that they were replaced since. Any thread.
  std::uint32_t GetUserImports() const { return m_userImports.load(); }
  // UI thread: puts the devices found by the worker into the zone (or the first zone when it
  // is not one of the system's), gives the users their access records and marks the file
  // modified. The frame calls it when it handles FrameMsg::kRefreshRack.
  void PlaceFoundDevices(const CZone* selectedZone);

  // --- Device, zone and panel management (DeviceManagement.cpp), UI thread unless said ---
  // A new device of the type (with its family's Initialise run), or null when no family
  // takes the type code. Any thread.
  CDevice* CreateDevice(std::uint32_t deviceId, std::uint32_t typeCode, std::uint32_t modelIndex);
  // Adds a device with ID 0 to the zone of the selected device (else the first zone). False
  // when no family takes the type.
  bool AddDevice(std::uint32_t typeCode, std::uint32_t modelIndex);
  // The same, the new device named "Device n" with the smallest n from 1 up that no other
  // device of the list is named (the Add Device command). UI thread.
  bool AddDeviceNamed(std::uint32_t typeCode, std::uint32_t modelIndex);
  // The zone that holds the selected device; null when none is selected or no zone holds it.
  CZone* GetSelectedDeviceZone() const;
  // A new zone "Zone" at the end; posts the rack and live-meter redraws.
  CZone* AddZone();
  // Deletes a zone other than the first; its devices move to the zone before it, or are
  // deleted with it. Posts the rack and live-meter redraws.
  void DeleteZone(CZone* zone, bool deleteDevices);
  // A new custom panel "Panel <n>" (smallest free n); users 1 and up get access to it.
  CCPData* AddCustomPanel();
  // Deletes the panel at index with every reference to it; nothing for a bad index.
  void DeleteCustomPanel(int index);
  // Deletes an image or a folder of the file's image tree; every widget gives its images up.
  void DeleteImage(CCCImageBase* node, bool deleteContents) override;

  // An open panel window: a device control panel or a custom panel view.
  struct CPanelView {
    CControlPanel* devicePanel = nullptr;
    CCustomControlPanel* customPanel = nullptr;
    friend bool operator==(const CPanelView&, const CPanelView&) = default;
  };
  // The open panels ordered by their order numbers, lowest first.
  void GetOpenPanelViews(std::vector<CPanelView>& views) const;
  // The view becomes the top panel (highest order number). Nothing while loading.
  void OnPanelActivated(const CPanelView& view);
  // The view's order number becomes 0 and those above it move down. Nothing while loading.
  void OnPanelClosed(const CPanelView& view);
  // Brings the open panels' windows to the top in order, the highest last.
  void RestorePanelOrder();

 private:
  void DestroyContents();
  // The two halves of the links' work, run while the spreading is held off (LinkManagement.cpp).
  void ApplyEachLinkFromItsMaster();
  void SpreadToLinkedParameters(CDevice* device, const CParamValue& requested);
  // Hands a member the link's value, or, while its unit is away online, marks it out of line
  // with that value (logged when it falls out of line).
  void GiveLinkValue(const CLink& link, CLinkRef& member, CDevice& target, const CParamValue& value);
  // Ends what the link owed the member, when it was out of line, with a log line that says why.
  void EndOwedLinkValue(const CLink& link, CLinkRef& member, const std::string& why);
  // A snapshot recalled is chosen after every value the links could not give its devices while
  // their units were away: their members out of line take none of them when the unit is back
  // (a recall that passed a unit by leaves it as it is), and the log says so for each.
  void EndLinkValuesSupersededByRecall(const CSnapshot& snapshot);
  // Hands each device of the snapshot its image (SnapshotManagement.cpp); the units of the
  // devices passed by, away online, are appended to passedBy.
  void ApplyImages(const CSnapshot& snapshot, std::vector<std::string>& passedBy);
  // Indexes the devices by UUID afresh; the lock is held.
  void IndexDevicesByUuid() const;
  // A message about the whole system (no device) to the main frame.
  void PostToFrame(std::uint32_t message);
  // The devices' counts of changes their units' replies made (CUnitChangeCount::Get), summed:
  // each only grows, so the sum moves whenever one does while the devices stay the same (adding
  // or deleting one marks the system modified). The lock is held.
  std::uint64_t CountUnitChanges() const;

  // Panel order helpers (DeviceManagement.cpp).
  void SetPanelOrder(const CPanelView& view, std::int32_t order);
  std::int32_t GetPanelOrder(const CPanelView& view) const;

  mutable CCriticalSection m_lock;  // first, so that it outlives every member it guards
  // Devices, guarded by m_lock.
  std::vector<CDevice*> m_devices;
  // The first device of the list with each UUID, for FindDeviceByUuid; guarded by m_lock and
  // rebuilt on the next look-up once a removal set m_devicesByUuidStale.
  mutable std::unordered_map<CUuid, CDevice*, CUuidHash> m_devicesByUuid;
  mutable bool m_devicesByUuidStale = false;
  std::vector<CZone*> m_zones;
  CUserList m_users;
  std::vector<CLink*> m_links;
  CCCImageDirectory m_fileImages;
  CCCImageDirectory m_libraryImages;
  bool m_libraryUnread = false;
  std::vector<CCPData*> m_customPanels;
  std::vector<CSnapshot*> m_snapshots;
  CAppSettings m_settings;
  std::unique_ptr<CLogFile> m_log;
  std::string m_filePath;
  bool m_modified = false;
  // The file as this system last read or saved it: its stamp on the disk, and the devices'
  // count of changes their units made (CountUnitChanges) when it was read or stored.
  std::optional<CFileStamp> m_fileStamp;
  std::uint64_t m_storedUnitChanges = 0;
  // While set, a file error shown through ShowFileError goes here instead of to the user.
  std::string* m_fileErrorCapture = nullptr;
  bool m_fullScreenNow = false;
  std::atomic<bool> m_useSystemSecurity{false};  // turned on by the worker's import
  std::atomic<std::uint32_t> m_userImports{0};
  bool m_fullScreenOnOpen = false;
  bool m_goOnlineOnOpen = false;
  bool m_linksActive = true;
  std::atomic<int> m_currentUser{0};  // replaced by the worker's import under m_lock
  std::atomic<int> m_selectedDevice{-1};
  int m_parameterDeviceIndex = 0;
  bool m_loading = false;
  std::atomic<bool> m_readingFile{false};
  bool m_linksBusy = false;
  std::int32_t m_designMode = 0;
  std::int32_t m_currentSnapshot = -1;
  std::vector<CCustomControlObject*> m_copiedWidgets;
  std::uint32_t m_treeState = 0;
  bool m_globalMute = false;
  IUiServices* m_ui = nullptr;
  std::atomic<bool> m_systemMonitorVisible{false};

  void OnPictureNotDecoded(const CCCImage& image, BitmapFault fault) override;
  // The pictures that did not decode since the frame last took them: [in the library][for want
  // of memory].
  struct CUndecodedPictures {
    int count = 0;
    std::vector<std::string> firstNames;
  };
  CUndecodedPictures m_undecodedPictures[2][2];

  // The worker's view of the system, and the worker.
  class CommsDocument;
  std::unique_ptr<CommsDocument> m_commsDocument;
  CCommsWorker m_comms;
};

// Reads the image library file at path into root (empty before), counting its pictures that do
// not read in report. False when the file cannot be read or is not a whole library, with why in
// the user's words in refusal (when given); root then holds what was read before the fault.
// UI thread.
bool ReadImageLibraryFile(const std::string& path, CCCImageDirectory& root, CImageLoadReport& report,
                          std::string* refusal);
