// Base class of every device family: identity, connection level, the parts holding its rule
// sets, its records, and the virtual operations by which the program reaches each family.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/model/AddressRules.h"
#include "core/model/DeviceCodes.h"
#include "core/model/ObjectProperties.h"
#include "core/model/HeldValues.h"
#include "core/model/OutgoingQueue.h"
#include "core/model/PanelPlacement.h"
#include "core/model/ParamIdSet.h"
#include "core/model/ReplyTimer.h"
#include "core/model/StaleReadGuard.h"
#include "core/model/SystemEntries.h"
#include "core/model/UnitAtId.h"
#include "core/model/UnitChangeCount.h"
#include "core/model/UserChangeGate.h"
#include "core/values/ParamRecords.h"
#include "core/model/User.h"
#include "core/file/Uuid.h"
#include "platform/ObjectHandle.h"
#include "platform/Types.h"

class CArchive;
class CCmdUI;
class CControlMessage;
class CControlPanel;
class CDataStream;
class CDeviceProperty;
class CMenu;
class CSnapshotData;
class Graphics;
class IDeviceHost;
class IDevicePropertyGrid;
class IMessageSink;

// Threads: every operation runs on the UI thread unless its comment names the worker.
// The worker calls GetNextPollMessage, ProcessReply, the security operations,
// UpdateCommsState and OnDisconnected; it holds the system's lock around ProcessReply.
// The property list of CObjectProperties is the device's own (protected): its edit,
// ValidateProperty, changes the device past the right to edit device properties, so no window
// reaches it through the interface either.
class CDevice : protected CObjectProperties {
 public:
  // host is the owning system (null only for a device built on its own); frame receives the
  // device's posts (may be null).
  CDevice(IDeviceHost* host, std::uint32_t typeCode, std::uint32_t deviceId, IMessageSink* frame,
          std::uint32_t modelIndex);
  // Families clear the queue first (COutgoingQueue::ClearQueue); the base frees whatever is
  // still queued.
  ~CDevice() override;
  CDevice(const CDevice&) = delete;
  CDevice& operator=(const CDevice&) = delete;

  // --- CObjectProperties (base: nothing to copy or paste) ---
  // Base: no property list (ValidateProperty, below, refuses every edit).
  void GetProperties(std::vector<CPropertyItem>& items) override;
  void CopyToClipboard(std::uint32_t command) override;
  bool CanCopy(std::uint32_t command) override;
  void PasteFromClipboard(std::uint32_t command) override;
  bool CanPaste(std::uint32_t command) override;
  std::uint32_t GetClipboardFormat() override;

  // --- Drawing, naming and menus ---
  // Draws the rack tile into rect and returns its height; a null graphics or an empty rect
  // only asks for the height. The base veils an ignored device's tile and returns 30.
  virtual int DrawTile(Graphics* g, const CRect& rect, int blinkPhase);
  virtual bool IsTileVisible(int viewMode);
  // Marks the device for a full read-back; mode is the going-online choice (0 retrieve, 1 send),
  // which the device keeps for the session (GetSessionMode). Families call this base.
  virtual void Reinitialise(std::uint32_t mode);
  virtual CSize GetPanelSize();
  // The name, or the model name when it is empty, followed by " - ID: <device ID>".
  virtual std::string GetDisplayName();
  virtual void BuildContextMenu(CMenu& menu, int argument);
  // True when the command was handled.
  virtual bool OnContextMenuCommand(std::uint32_t command, int argument);
  virtual void OnUpdateContextMenuCommand(CCmdUI& cmdUI);
  // Status codes 103 to 109 that the family posted with FrameMsg::kStatusEvent.
  virtual void OnStatusEvent(int statusCode);
  // Adds the device's groups of rows to the properties grid; the base adds none. A row edited
  // there comes back through ApplyUserPropertyChange.
  virtual void FillPropertiesPane(IDevicePropertyGrid& grid);
  // Class name of the family's control-panel view; null when the family has none.
  virtual const char* GetControlPanelClass() = 0;
  virtual std::string GetModelName() = 0;

  // --- The device's rule sets ---
  // The gate of a person's changes (ApplyUserChange): the rights and questions of a change.
  CUserChangeGate& Gate() { return *m_gate; }
  const CUserChangeGate& Gate() const { return *m_gate; }
  // The system's ways in: linked changes, snapshot recalls, solos, names, status shown.
  CSystemEntries& SystemEntries() { return m_systemEntries; }
  // The guard against reads that a change overtakes (CSettingsChange).
  CStaleReadGuard& ReadGuard() { return m_readGuard; }
  const CStaleReadGuard& ReadGuard() const { return m_readGuard; }
  // Who answers at the device's ID, and what is known of the unit on the line.
  CUnitAtId& UnitAtId() { return *m_unitAtId; }
  const CUnitAtId& UnitAtId() const { return *m_unitAtId; }
  // The rules of the device's address.
  CAddressRules& AddressRules() { return *m_addressRules; }
  const CAddressRules& AddressRules() const { return *m_addressRules; }
  // Autosave's count of the changes the unit's replies made to what the record stores.
  const CUnitChangeCount& UnitChanges() const { return m_unitChanges; }

  // --- Parameters ---
  // Why the device would not take this change as it stands (a name its unit cannot carry), in
  // the words the properties pane shows for the same refusal; empty when it takes it. A panel
  // asks before it sends what a person typed. Base: every change is taken.
  virtual std::string ControlChangeRefusal(const CParamValue& value) const;
  // What the windows show of the unit's own values, and the refusal of a change while the
  // device is away online.
  CHeldValues& HeldValues() { return m_heldValues; }
  const CHeldValues& HeldValues() const { return m_heldValues; }
  // The model, the name when there is one, and the ID, for the log: "Nerex48 Main PA ID: 4".
  std::string GetUnitText();
  virtual bool IsLinkable();
  // Parameter n of the device; the entry named "NULL" ends the list.
  virtual CParamInfo GetParameterAt(int n);
  virtual CParamValue GetCurrentValue(int parameterId);
  // The level a nudge of the level parameter sends (a wheel notch, a key, a drag step): value
  // moved by delta, and at least one of the unit's own steps in delta's direction where the unit
  // keeps the level in coarser steps than the nudge (the change would else be taken back). The
  // base moves by delta.
  virtual float NudgeLevel(int parameterId, float value, float delta);
  // Appends copies of the parameters that a widget of this control kind can bind to.
  virtual void ListParameters(int controlKind, std::vector<CParamInfo>& out);
  // Appends copies of the parameters of the same kind as like, or of every parameter when like
  // is the "NULL" entry. Base: nothing.
  virtual void ListMatchingParameters(const CParamInfo& like, std::vector<CParamInfo>& out);
  // The device's entry equal to info (walking GetParameterAt), else the "NULL" entry.
  virtual CParamInfo FindParameter(const CParamInfo& info);

  // --- Records ---
  // The base record of the system file; families call it first and append their own.
  // Loading errors throw CArchiveException.
  virtual void Serialize(CArchive& ar);
  // The base record of a data stream; stream errors end it silently.
  virtual void SerializeStream(CDataStream& ds);
  // A new settings image for a snapshot (the caller owns it), or null.
  virtual CSnapshotData* CreateSnapshotData();

  // --- Comms (worker thread) ---
  // Fills the record with the next request and returns true, or false with nothing to send.
  virtual bool GetNextPollMessage(CControlMessage& record);
  // Takes a completed transaction in: the family's TakeReply parses it, and a reply that
  // changed what the device's record stores counts for autosave (UnitChanges). Runs under the
  // system's lock.
  void ProcessReply(CControlMessage& record);
  virtual bool BuildReadSecurityMessage(CControlMessage& record);
  // With both null only answers whether the family writes a security block.
  virtual bool BuildWriteSecurityMessage(CControlMessage* record, const CUserList* users);
  virtual bool BuildSecurityCheckMessage(CControlMessage& record);
  // A short read that the unit answers whatever its security (the read of its identity), with
  // which the security pass first asks a unit not heard since going online whether it is there
  // at all, before the longer check. False when the family has none.
  virtual bool BuildPresenceProbe(CControlMessage& record);
  virtual void DecodeSecurityBlock(const std::uint8_t* reply, CUserList& users);

  // --- Live meters, LEDs and status ---
  // Draws the live-meter column and returns its width; null graphics only asks the width.
  virtual int DrawMonitorTile(Graphics* g, const CRect& rect, Graphics* dc, int mode);
  virtual CRect GetExtraRect(Graphics* dc, const CRect& meterRect);
  // A round LED with a soft edge; colour codes kLedRed, kLedGreen, kLedYellow, any other
  // code draws nothing visible.
  virtual void DrawLed(Graphics& g, int colourCode, int left, int top, int right, int bottom);
  virtual std::uint32_t HasWarnings();
  virtual std::string GetStatusText();
  // The device dropped off the bus (worker thread, or UI thread while offline).
  virtual void OnDisconnected(bool clearWarnings);
  virtual int GetOnlineStatusParamId();
  virtual int GetOfflineStatusParamId();
  virtual int GetWarningStatusParamId();
  // Stores the flag and returns it. Any thread.
  virtual bool SetIgnored(bool ignored);
  // "Ignore Device When Online": an ignored device is taken up again as at going online, with
  // the session's choice (the file's settings in a "Send" session, a read-out otherwise), so a
  // unit in a "Send" session is never read over the file; one newly ignored drops off the bus.
  // UI thread.
  void ToggleIgnored();
  // Bit i set: frame byte i (0 to 31) identifies the setting, so a newer message with equal
  // bytes there replaces a queued one. 0: never merge. Called under the system's lock.
  virtual std::uint32_t GetMessageMergeMask(const CControlMessage& message);

  // --- Non-virtual members ---
  CUuid GetUuid() const { return m_uuid; }
  std::string GetName() const { return m_name; }
  std::uint32_t GetDeviceId() const { return m_deviceId; }
  // An answer of the unit to a request of the command (with its CControlMessage::argument) came
  // after that request's transaction had ended: the unit is there, and answers late. Base:
  // nothing. Worker thread, under the system's lock.
  virtual void OnLateAnswer(std::uint32_t command, std::uint32_t argument);
  // The going-online choice the device was last reinitialised with (0 retrieve, 1 send). Any
  // thread.
  std::uint32_t GetSessionMode() const { return m_sessionMode; }
  std::uint32_t GetTypeCode() const { return m_typeCode; }
  std::uint32_t GetModelIndex() const { return m_modelIndex; }
  std::string GetFirmwareVersion() const { return m_firmwareVersion; }
  // The owning system as the families see it; null only for a device built without one.
  IDeviceHost* GetHost() const { return m_host; }
  // Names the device in posted messages: unique in the process and never reused, so a message
  // that arrives after the device has gone finds nothing (CSystem::FindDeviceByHandle).
  std::uint64_t GetHandle() const { return m_handle.Value(); }
  // Posts the message about this device (its handle) to the frame, when there is one. Any thread.
  void Post(std::uint32_t message, LPARAM lParam = 0);

  // Connection level (Any thread reads; the worker moves it).
  // Reply ok raises the level (up to 6), a miss lowers it; posts and log lines at the edges, where
  // the pane of the selected device is filled again (its rows differ for a connected unit).
  void UpdateCommsState(bool replyOk);
  bool IsConnected() const { return m_commsLevel > kConnectedAbove; }
  std::int32_t GetCommsLevel() const { return m_commsLevel; }
  // Going offline, for a device that is not connected: the level falls to 0 and the warnings
  // its replies raised go, so that it looks offline; no "Disconnected" line, as it was never
  // connected or its drop was logged already. UI thread, with the worker idle.
  void EndUnconnectedSession();
  std::uint32_t GetMissCount() const { return m_missCount; }
  // True from a transaction that ended without a complete reply until the next reply: the
  // unit may have gone silent, and a family can then probe it with a short request instead of
  // spending a long time-out on every turn. Any thread.
  bool HasMissedLastReply() const { return m_missedLastReply; }
  bool IsIgnored() const { return m_ignored; }
  bool NeedsInitialisation() const { return m_needsInitialisation; }
  void SetNeedsInitialisation(bool on) { m_needsInitialisation = on; }

  // The open control panel, null when none is open. The frame sets it when it opens the
  // panel and clears it when the panel closes.
  CControlPanel* GetControlPanel() const { return m_controlPanel; }
  // Opening or closing a panel supersedes the mark that a loaded record left.
  void SetControlPanel(CControlPanel* panel);
  // Where the panel goes: its frame's placement, its order among the open panels, and whether
  // it was open when the record was stored.
  CPanelPlacement& PanelPlacement() { return m_panelPlacement; }
  const CPanelPlacement& PanelPlacement() const { return m_panelPlacement; }

  // The outgoing queue: what the unit is to be sent, and the writes a link is owed.
  COutgoingQueue& Queue() { return m_queue; }
  const COutgoingQueue& Queue() const { return m_queue; }
  // The reply timer (amplifier families, after a change or a paste); cleared when the device
  // drops off the bus or ends an unconnected session.
  CReplyTimer& ReplyTimer() { return m_replyTimer; }
  const CReplyTimer& ReplyTimer() const { return m_replyTimer; }

  // Parameter ids the family keeps as a set.
  CParamIdSet& ParamIds() { return m_paramIds; }

 protected:
  // Appends a message to the outgoing queue (ownership passes to the queue); without force it
  // is dropped while the port is closed or the device is not connected, and always while the
  // device is not addressable (CAddressRules::IsAddressable). A message for the same setting as
  // a queued one (see GetMessageMergeMask) replaces it and goes to the back. Only the family
  // queues what its unit is sent: its change path, its polls and its records. Any thread.
  void QueueMessage(bool force, std::unique_ptr<CControlMessage> message);

  // --- What the properties rows govern (UI thread) ---
  // The name and the ID are set by the family's own code: the handling of a row (reached through
  // ApplyUserPropertyChange), the change path, a unit's reply and the records.
  void SetName(const std::string& name) { m_name = name; }
  // A new ID drops what was queued for the old one (its frames name the old ID) and ends a
  // conflict found at the old ID. Online the unit at the new ID is taken up as at going online:
  // in a "Send" session it gets the file's settings, in a "Retrieve" session it is read. The
  // open panel shows the new ID.
  void SetDeviceId(std::uint32_t id);

  // --- A row of the properties pane and the property list (UI thread) ---
  // One edited row (ApplyUserPropertyChange): true when the change was accepted; false with the
  // row's error text set. Base: every row refused.
  virtual bool OnPropertyChanged(CDeviceProperty& row);
  // One edited value of the property list: false, with the refusal's text in value, when it is
  // refused. Base: every value refused.
  bool ValidateProperty(CNamedPropertyValue& value) override;
  // The property list's edit made of the grid's rows and checks (FillPropertiesPane,
  // OnPropertyChanged), in the family's form of the list (ValidatePropertyList).
  bool ValidateListedProperty(const CListForm& form, CNamedPropertyValue& value);

  // --- The change path (UI thread) ---
  // The family applies, clamps and queues the change, then calls this base, which refreshes
  // the open panel and the custom panels and spreads the value to linked parameters. Reached
  // from outside only through the gate (ApplyUserChange), the system's entries (ApplyLinkedChange)
  // and the family's own code.
  virtual void ApplyControlChange(const CParamValue& value);
  // The base step for a change the device did not take (a lock keeps its setting): the open
  // panel and the custom panels show stored, the device's stored value, and the linked
  // parameters receive requested, the value asked for, as they would had it been taken.
  void ApplyKeptControlChange(const CParamValue& stored, const CParamValue& requested);
  // Takes a snapshot's image (RecallSnapshotImage). Base: nothing.
  virtual void ApplySnapshotData(const CSnapshotData& data);
  // Another device's solo (ApplySystemSolo). Base: nothing.
  virtual void OnSystemSolo(bool solo);
  // Tells the other devices of the system that a channel of this one was soloed (solo), or
  // that its solo ended (IDeviceHost::NotifyOtherDevices). Nothing without a system.
  void NotifySoloToOtherDevices(bool solo);

  // Parses a completed transaction (ProcessReply). Worker thread, under the system's lock.
  virtual void TakeReply(CControlMessage& record);
  // A print of what the device's record stores (an FNV-1a hash of its Serialize), to tell
  // whether a reply changed it; a family whose record holds bytes that vary from one store to
  // the next prints them held. Under the system's lock.
  virtual std::uint64_t StoredPrint();

  IDeviceHost* m_host;
  IMessageSink* m_frame;
  const CObjectHandle m_handle;
  std::atomic<CControlPanel*> m_controlPanel{nullptr};
  CPanelPlacement m_panelPlacement;
  std::uint32_t m_pollCounter = 0;
  CUuid m_uuid;
  // Set on the window thread (a new ID from the property list) while the comms worker polls.
  std::atomic<std::uint32_t> m_deviceId;
  std::uint32_t m_typeCode;
  std::uint32_t m_modelIndex;
  std::string m_name;
  std::string m_firmwareVersion;
  std::atomic<std::int32_t> m_commsLevel{0};
  std::atomic<std::uint32_t> m_warningBits{0};
  std::atomic<std::uint32_t> m_missCount{0};
  std::atomic<bool> m_missedLastReply{false};
  std::atomic<bool> m_ignored{false};
  std::atomic<bool> m_needsInitialisation{true};
  std::atomic<std::uint32_t> m_sessionMode{0};
  CReplyTimer m_replyTimer;
  CParamIdSet m_paramIds;
  // The rule sets; a family gives the device its own gate, address rules or unit at the ID in
  // its constructor.
  std::unique_ptr<CUserChangeGate> m_gate;
  std::unique_ptr<CAddressRules> m_addressRules;
  std::unique_ptr<CUnitAtId> m_unitAtId;
  CSystemEntries m_systemEntries{*this};
  CStaleReadGuard m_readGuard{*this};
  CHeldValues m_heldValues{*this};
  CUnitChangeCount m_unitChanges;
  COutgoingQueue m_queue{*this};

 private:
  // The tests reach the change path as the model's own code does (tests/support/ModelChanges.h).
  friend class CDeviceTestAccess;
  // The rule sets reach the change path and the connection as the device's own code.
  friend class CUserChangeGate;
  friend class CSystemEntries;
  friend class CStaleReadGuard;
  friend class CUnitAtId;
  friend class CHeldValues;
};
