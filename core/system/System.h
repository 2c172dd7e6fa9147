// The system object: root of the open system file (devices, zones, users, links, snapshots,
// custom panels, the file's images, settings) and owner of the comms worker, which runs the
// online connection. The rule sets of its parts live in classes of their own that it holds:
// the links, the snapshots, the users and their rights, the settings, the pictures, the custom
// panels with the order of the open panel windows, and the file.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/support/ScopeGuard.h"
#include "custom/CustomPanelHost.h"
#include "core/model/DeviceHost.h"
#include "core/file/Uuid.h"
#include "core/system/SystemFile.h"
#include "core/system/SystemImages.h"
#include "core/system/SystemLinks.h"
#include "core/system/SystemPanels.h"
#include "core/system/SystemSettings.h"
#include "core/system/SystemSnapshots.h"
#include "core/system/SystemUsers.h"
#include "core/system/ZonedDevices.h"
#include "platform/Sync.h"
#include "platform/Types.h"

class CCCImageBase;
class CCommsWorker;
class CCPData;
class CCustomControlObject;
class CDevice;
class CLogFile;
class CZone;
class IUiServices;

// Threads: everything runs on the UI thread unless its comment says otherwise. The worker uses
// the device list, the device queues, the reply hand-over and the log under GetLock(); its own
// queue and state have a lock of their own. The device list may grow from the worker; every
// access to it takes the lock.
class CSystem final : public IDeviceHost, public ICustomPanelHost, public IZonedDevices {
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
  // (CSystemImages).
  void SetUiServices(IUiServices* ui);
  IUiServices* GetUiServices() const override { return m_ui; }
  // Empties everything the file holds (the library images and the settings stay), then
  // SetDefaults; the clipboard is emptied when it holds one of our formats. Always true.
  bool Clear();

  // The recursive lock of the device list, the device queues, the reply hand-over and the log.
  // Any thread.
  CCriticalSection& GetLock() const override { return m_lock; }

  // --- The parts, each with its own rules ---
  CSystemLinks& Links() { return m_links; }
  const CSystemLinks& Links() const { return m_links; }
  CSystemSnapshots& Snapshots() { return m_snapshots; }
  CSystemUsers& Users() { return m_users; }
  const CSystemUsers& Users() const { return m_users; }
  CSystemSettings& Settings() { return m_settings; }
  // The file's image tree and the image library; what the image dialogs are given.
  CSystemImages& Images() { return m_images; }
  CSystemPanels& Panels() { return m_panels; }
  const CSystemPanels& Panels() const { return m_panels; }
  CSystemFile& File() { return m_file; }
  const CSystemFile& File() const { return m_file; }

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

  // --- The current user's rights (any thread; CSystemUsers) ---
  std::uint64_t GetCurrentUserRestrictions() const override;
  bool CanCurrentUserEditDeviceProperties() const override;
  // True when the current user holds the right to recall snapshots.
  bool MayCurrentUserRecallSnapshots() const override;

  // --- Links (CSystemLinks) ---
  // Re-entrancy guard of the spreading of a change to linked parameters (UI thread).
  bool IsLinksBusy() const { return m_linksBusy; }
  void SetLinksBusy(bool busy) { m_linksBusy = busy; }
  // Runs apply with the spreading held off (links busy), then restores the guard as it was:
  // the changes made inside reach their own devices and no linked one. UI thread.
  template <class Apply>
  void WithoutSpreading(Apply&& apply) {
    CScopedValue busy(m_linksBusy, true);
    apply();
  }
  // The custom panels refresh the widgets bound to the parameter, and with linking active
  // every member of each link holding it receives requested under its own parameter id (one
  // level: the members' own changes do not spread again).
  void OnParameterChanged(CDevice* device, const CParamValue& stored, const CParamValue& requested,
                          CParameterChangeNotice notice) override;

  // --- Custom panels (CSystemPanels) ---
  const std::vector<CCPData*>& GetCustomPanels() const override { return m_panels.GetCustomPanels(); }
  std::vector<CUuid> GetCustomPanelIds() const override;
  const std::vector<CCustomControlObject*>& GetCopiedWidgets() const override { return m_panels.GetCopiedWidgets(); }
  std::int32_t GetDesignMode() const override { return m_panels.GetDesignMode(); }
  // The pickers of the UI services, run over this system (false without a user interface).
  bool PickImage(CCCImageBase*& image) override;
  bool PickParameter(CCustomControlObject* widget) override;

  // --- Snapshots (CSystemSnapshots) ---
  const std::vector<CSnapshot*>& GetSnapshots() const override { return m_snapshots.GetSnapshots(); }
  std::int32_t GetCurrentSnapshot() const override { return m_snapshots.GetCurrentSnapshot(); }

  // --- The open file (CSystemFile) ---
  bool IsModified() const { return m_modified; }
  void SetModified(bool modified = true) override { m_modified = modified; }
  // True while the file is read: the devices built then have their whole contents read from
  // the file's records, so they may leave out defaults that the records replace.
  bool IsReadingFile() const override { return m_readingFile; }
  // Shows a file error through the UI services (nothing without them); while a save was told
  // where its failure goes, the text goes there instead.
  void ShowFileError(const std::string& text, const std::string& caption) const override;

  // --- Global mute and notices between devices ---
  // Global mute of every unit on the bus, as last commanded; off at start.
  bool IsGlobalMute() const { return m_globalMute; }
  void SetGlobalMute(bool on) { m_globalMute = on; }
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

  // --- Settings and log ---
  const CAppSettings& GetSettings() const override { return m_settings.Values(); }
  // Writes a time-stamped line to the log file and the output pane. Any thread.
  void WriteLog(const std::string& text) override;
  // The same, only when "LogCommsErrors" is on. Any thread.
  void WriteErrorLog(const std::string& text) override;
  // Copies the whole log file to destination (UI thread), saved as a system file is: the
  // destination keeps its earlier bytes unless the whole copy is on the disk. False on any file
  // error, with the reason in error (when given).
  bool ExportLogFile(const std::string& destination, std::string* error = nullptr);

  // --- Comms worker (core/comms/CommsWorker.h) ---
  // The worker: the serial transport, the system command queue, the worker thread with its
  // state, discovery and the security passes.
  CCommsWorker& GetComms() { return *m_comms; }
  const CCommsWorker& GetComms() const { return *m_comms; }
  // True while the serial port is open. Any thread.
  bool IsPortOpen() const override;

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
  // UI thread: puts the devices found by the worker into the zone (or the first zone when it
  // is not one of the system's), gives the users their access records and marks the file
  // modified. The frame calls it when it handles FrameMsg::kRefreshRack.
  void PlaceFoundDevices(const CZone* selectedZone);

  // --- Device and zone management (DeviceManagement.cpp), UI thread unless said ---
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

 private:
  // The parts reach the system's own state: the file its flags, the pictures the frame.
  friend class CSystemFile;
  friend class CSystemImages;

  void DestroyContents();
  // Indexes the devices by UUID afresh; the lock is held.
  void IndexDevicesByUuid() const;
  // A message about the whole system (no device) to the main frame.
  void PostToFrame(std::uint32_t message);

  mutable CCriticalSection m_lock;  // first, so that it outlives every member it guards
  // Devices, guarded by m_lock.
  std::vector<CDevice*> m_devices;
  // The first device of the list with each UUID, for FindDeviceByUuid; guarded by m_lock and
  // rebuilt on the next look-up once a removal set m_devicesByUuidStale.
  mutable std::unordered_map<CUuid, CDevice*, CUuidHash> m_devicesByUuid;
  mutable bool m_devicesByUuidStale = false;
  std::vector<CZone*> m_zones;
  CSystemUsers m_users;
  CSystemLinks m_links;
  CSystemImages m_images;
  CSystemPanels m_panels;
  CSystemSnapshots m_snapshots;
  CSystemSettings m_settings;
  std::unique_ptr<CLogFile> m_log;
  CSystemFile m_file;
  bool m_modified = false;
  // While set, a file error shown through ShowFileError goes here instead of to the user.
  std::string* m_fileErrorCapture = nullptr;
  std::atomic<int> m_selectedDevice{-1};
  int m_parameterDeviceIndex = 0;
  std::atomic<bool> m_readingFile{false};
  bool m_linksBusy = false;
  bool m_globalMute = false;
  IUiServices* m_ui = nullptr;
  std::atomic<bool> m_systemMonitorVisible{false};

  // The worker's view of the system, and the worker (created with the system, never null).
  class CommsDocument;
  std::unique_ptr<CommsDocument> m_commsDocument;
  std::unique_ptr<CCommsWorker> m_comms;
};
