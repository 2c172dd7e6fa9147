// Base class of every device family: identity, connection level, outgoing queue, the base
// records in the system file and in data streams, and the virtual operations through which
// the system, the worker, the rack, the panels and the properties pane reach each family.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/model/ObjectProperties.h"
#include "core/values/ParamRecords.h"
#include "core/model/User.h"
#include "core/support/ScopeGuard.h"
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
struct CWindowPlacement;

// Connection levels (0 to 6): a device is connected above kConnectedAbove.
inline constexpr std::int32_t kMaxCommsLevel = 6;
inline constexpr std::int32_t kConnectedAbove = 2;

// Milliseconds the reply timer runs once started.
inline constexpr std::uint32_t kReplyTimeoutMs = 7000;

// The refusal of a properties row edited while the device is away online.
inline constexpr const char* kNotConnectedRefusal = "Cannot change settings - the unit is not connected";
// The refusal of a properties row committed by a user without the right to edit properties.
inline constexpr const char* kNoRightToEditRefusal = "The current user cannot edit device properties";
// The words of a refusal for want of rights (restriction bits, User.h), naming the first one
// withheld: "The current user cannot use device controls" ("Can Use Device Controls"), "...
// cannot recall presets", "... cannot edit device properties", "... cannot recall snapshots";
// empty for none.
std::string NoRightRefusal(std::uint64_t withheld);

// What a person answered to the questions of a change, asked by the window before it hands the
// change in (CDevice::ApplyUserChange), so that no question waits inside the change while the
// unit's replies go on arriving: whether they confirmed it (CDevice::ConfirmationFor), and, in
// a family's own answer derived from this one, what else that family asks (a name, a file).
// The change may leave in the answer what the window is to tell the person afterwards.
class CChangeAnswer {
 public:
  CChangeAnswer() = default;
  virtual ~CChangeAnswer() = default;
  CChangeAnswer(const CChangeAnswer&) = default;
  CChangeAnswer& operator=(const CChangeAnswer&) = default;

  bool confirmed = false;
};

// Colour codes of DrawLed.
enum : int { kLedRed = 0, kLedGreen = 1, kLedYellow = 2 };

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
  // Families call ClearQueue first; the base frees whatever is still queued.
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

  // --- A person's changes ---
  // Where a change that a person makes enters the model: a panel's control, a custom widget or
  // a preset dialog hands its value here. Refused (false) while the current user lacks a right
  // that RightsNeededFor names, the place where it was made then showing the held value again;
  // otherwise the family's change path, ApplyControlChange (true). The change path itself is
  // not public: a value the unit reported and the family's own announcements run inside the
  // family, and a link spreading a change already taken and a snapshot recall come through the
  // entries below that take a system pass, which no window can make. UI thread.
  bool ApplyUserChange(const CParamValue& value);
  // The same with what the person answered to the change's questions: a change for which
  // ConfirmationFor names a question is refused as well unless the answer confirms it.
  bool ApplyUserChange(const CParamValue& value, CChangeAnswer& answer);
  // The confirmation (a kConfirm... kind of IDeviceHost::ConfirmAction) that a person is to be
  // asked before the change is handed in, judged with the rest of the answer and the settings
  // as they are now; 0 for none. The change path itself asks nothing. Base: none.
  virtual std::uint32_t ConfirmationFor(const CParamValue& value, const CChangeAnswer& answer) const;
  // The same for a row of the properties pane: refused with kNoRightToEditRefusal as the row's
  // message while the current user lacks the right to edit device properties; otherwise
  // OnPropertyChanged, which is not public: the family's handling of a row, and the property
  // list's edit (ValidateProperty) that commits through it, are reached from outside only here.
  // UI thread.
  bool ApplyUserPropertyChange(CDeviceProperty& row);
  // The rights (restriction bits, User.h) that a person's change of the parameter needs; 0 for
  // a parameter whose change reaches no unit. Base: the right to use device controls.
  virtual std::uint64_t RightsNeededFor(int parameterId) const;
  // True when the current user holds those rights; false without a system, which has no user.
  bool MayCurrentUserChange(int parameterId) const;
  // Why the current user may not change the parameter, in the words of NoRightRefusal; empty
  // when they may.
  std::string RightsRefusalFor(int parameterId) const;

  // --- Changes the system makes itself ---
  // Made only by the system (CSystem, and its links and snapshots, which act for it): the
  // entries that take one are the way in of changes that no person makes at this device, and a
  // window, holding none, cannot reach them.
  class CSystemPass {
    friend class CSystem;
    friend class CSystemLinks;
    friend class CSystemSnapshots;
    friend class CDeviceTestAccess;
    CSystemPass() = default;
  };
  // A value a link hands on to this member: a change a person made at another member, taken
  // there already, or the master's value when linking is switched on. The family's change
  // path takes it as its own (clamped, converted, queued for the unit). UI thread.
  void ApplyLinkedChange(const CParamValue& value, CSystemPass pass);
  // A snapshot's image recalled (ApplySnapshotData). UI thread.
  void RecallSnapshotImage(const CSnapshotData& data, CSystemPass pass);
  // Another device of the system soloed a channel (solo) or ended its solo: the family mutes
  // its unit's channels, or gives them back (OnSystemSolo). UI thread.
  void ApplySystemSolo(bool solo, CSystemPass pass) {
    (void)pass;
    OnSystemSolo(solo);
  }
  // The name the system gives a device it has just added (CSystem::AddDeviceNamed). UI thread.
  void SetName(const std::string& name, CSystemPass pass) {
    (void)pass;
    SetName(name);
  }
  // Shows what the device holds for its online and offline status parameters, or for its
  // warning status parameter: the open panel, the custom panels and the linked parameters
  // follow (GetCurrentValue through the base change path); nothing goes to the unit. The frame
  // calls them when the device's connection or its warnings changed. UI thread.
  void AnnounceConnectionStatus();
  void AnnounceWarningStatus();

  // --- Parameters ---
  // Why the device would not take this change as it stands (a name its unit cannot carry), in
  // the words the properties pane shows for the same refusal; empty when it takes it. A panel
  // asks before it sends what a person typed. Base: every change is taken.
  virtual std::string ControlChangeRefusal(const CParamValue& value) const {
    (void)value;
    return {};
  }
  // Runs announce with the device's change path showing only what its unit reported: the open
  // panel and the custom panels follow, the links do not (a value read from a unit is no change
  // of the person's, and spread over a link it would be written to the other units). UI thread.
  template <class Announce>
  void AnnounceUnitValues(Announce&& announce) {
    ++m_announcingUnitValues;
    CScopeGuard done([this] { --m_announcingUnitValues; });
    announce();
  }
  bool IsAnnouncingUnitValues() const { return m_announcingUnitValues > 0; }
  // True while the system is online and the unit is not connected (or the device is ignored):
  // a change of one of its settings would reach the file and the windows but never the unit.
  // The families refuse such changes and the custom widgets show the parameter inactive; a
  // snapshot recall passes the device by. Any thread.
  bool IsAwayOnline() const;
  // For a family's change path: while the device is away online, shows the held value of the
  // parameter again where the change was made (the open panel and the custom panels, not the
  // links), has the open panel say why, and returns true: the change is refused. False, doing
  // nothing, otherwise. UI thread.
  bool RefuseChangeWhileAway(int parameterId);
  // Shows the held value of the parameter again where a refused change was made (the open
  // panel and the custom panels, not the links); a command, which holds no value, shows nothing.
  void ShowHeldValue(int parameterId);
  // The model, the name when there is one, and the ID, for log lines and messages:
  // "Nerex48 Main PA ID: 4".
  std::string GetUnitText();
  // The name, then the model and the ID, as the lists of devices that a person picks from or is
  // asked about show it, so that units of one name, or of none, are told apart: "Main PA
  // (Nerex48, ID 4)", "(Sornic, ID 5)" for a unit without a name.
  std::string GetListText();
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
  // Parses a completed transaction; runs under the system's lock.
  virtual void ProcessReply(CControlMessage& record);
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
  // True when the worker may address the device: it has an ID of its own (ID 0 addresses every
  // unit of a model on the bus) whose frames reach its unit alone, and it is not left out for an
  // earlier device of the file that the same frames reach (SetLeftOut). Any thread.
  bool IsAddressable() const { return m_deviceId != 0 && !m_leftOut && AddressRefusal(m_deviceId).empty(); }
  // Why the ID row refuses id (it would reach the unit at another ID, or lies outside the
  // family's range), in the words of the properties pane; empty when the row takes it. Base:
  // every 32-bit ID. Any thread.
  virtual std::string DeviceIdRangeRefusal(std::uint64_t id) const;
  // Why frames built for id would not reach the unit at id alone (they would reach the unit at
  // another ID, or every unit of the model), in the words of the log and the going-online
  // notice; empty when they do. Base: DeviceIdRangeRefusal. Any thread.
  virtual std::string AddressRefusal(std::uint64_t id) const;
  // What the family's frames built for id carry to the bus: two devices with equal addresses
  // are reached by the same frames, so that the units of both would take what either is sent.
  // Base: the ID (a unit's identity query names no model). Any thread.
  virtual std::uint64_t FrameAddress(std::uint64_t id) const;
  // Whether the device's requests include the long-ID probe of its ID (an identity query of
  // that form), which every unit at that long ID answers, of whatever family. Base: false.
  virtual bool QueriesLongId() const;
  // Whether the device's unit answers the long-ID probe of the device's ID: a unit at a long ID
  // (above the short IDs, 1 to kMaxShortId) does. Any thread.
  virtual bool AnswersLongIdProbe() const;
  static constexpr std::uint32_t kMaxShortId = 63;
  // Left out: an earlier device of the file is reached by the same frames (FrameAddress), so
  // this one is not addressed. Set by the comms worker from the device list; a new ID ends it.
  // Any thread.
  bool IsLeftOut() const { return m_leftOut; }
  void SetLeftOut(bool leftOut) { m_leftOut = leftOut; }
  // The type code of a unit of another model that answers at the device's ID (found by a reply
  // or by an autoscan), 0 when none. Such a device is set aside: nothing is written to it and
  // no reply is taken into the file; it is only asked, now and then, what answers there, and
  // taken up again when a unit of its own model does. Going online again or a new ID ends it.
  // Any thread.
  std::uint32_t GetOtherModelAtId() const { return m_otherModelAtId; }
  bool IsSetAside() const { return m_otherModelAtId != 0; }
  void SetOtherModelAtId(std::uint32_t typeCode) { m_otherModelAtId = typeCode; }
  // Sets the device aside for the unit of type unitType, model name unitModel, found at its ID:
  // a connection ends, and the polls probe only. What was queued for the device waits, sent to
  // no unit meanwhile: a person's change still goes to the device's own unit should it answer
  // again. Confirmed: the unit is known to be there (an autoscan found it, or it answered
  // again); one reply alone does not confirm it, and should the device's own unit answer next,
  // it never left (see TakeUnitModel). Returns the words that name both models ("ID 3: the file
  // has a Nerex24, the unit is a Nerex48"), or an empty text when the device was set aside for
  // that unit already, which confirms it. Any thread.
  std::string SetAside(std::uint32_t unitType, const std::string& unitModel, bool confirmed = true);
  // The words that name both models while the device is set aside; empty otherwise. Any thread.
  std::string GetOtherModelNote();
  // --- What is known of the unit on the line ---
  // An answer of the unit to a request of the command (with its CControlMessage::argument) came
  // after that request's transaction had ended: the unit is there, and answers late. Base:
  // nothing. Worker thread, under the system's lock.
  virtual void OnLateAnswer(std::uint32_t command, std::uint32_t argument);
  // The unit answers later than the read time-out: the words that say so and what serves it, set
  // by the comms worker for the session; empty when not known. Any thread.
  void SetLateAnswerNote(const std::string& note);
  // Another unit answers what this device sends it (its identity query, say), so that the two
  // answers garble each other while both are on the line: the words that name both, set when
  // going online and whenever the devices' IDs change; empty when none. Meanwhile the device's
  // unit is probed at the rate of an absent one. Any thread.
  void SetAddressClash(const std::string& note);
  bool HasAddressClash() const { return m_addressClash; }
  std::string GetAddressClashNote();
  // Those notes, one a line (the address clash first), for the device's tooltip; empty when
  // none. Any thread.
  std::string GetLineNotes();
  // A reply nothing of which is taken but the model it names, as TakeUnitModel takes it: a whole
  // reply shorter than its request asked for that repeats the request's unit ID and command
  // (CSerialComms::EndedOnShorterReply), or one that came before the device's security step. True
  // when a unit of another model answered, and the device is set aside. Worker thread, under the
  // system's lock.
  bool TakeModelOfShorterReply(const CControlMessage& record);
  // The type code a reply repeats (byte 3 of a framed reply), 0 when it tells none: the ACK of a
  // write, a reply too short. A family whose replies of some request lay out other bytes there
  // says so.
  virtual std::uint32_t UnitTypeOfReply(const CControlMessage& record) const;
  // The model name of a unit of the device's family that reports typeCode, for the words of
  // SetAside; base: "unit of type n".
  virtual std::string ModelNameOfType(std::uint32_t typeCode) const;
  // The refusal of id as this device's new ID when another device of the system has it
  // ("Device ID n already in use"), or when the frames built for it would reach another device's
  // unit too ("Device ID n would also address Nerex48 ID: 300"); none for a free ID or 0, which
  // devices not yet addressed share.
  std::optional<std::string> DeviceIdInUseRefusal(std::uint64_t id) const;
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
  void SetControlPanel(CControlPanel* panel) {
    m_controlPanel = panel;
    m_panelWasOpen = false;
  }
  // Set by loading a record whose panel was open when it was stored; the frame reads and
  // clears it before it reopens the panel. Never a window pointer.
  bool WasPanelOpenWhenStored() const { return m_panelWasOpen; }
  void ClearPanelWasOpen() { m_panelWasOpen = false; }
  std::int32_t GetPanelOrder() const { return m_panelOrder; }
  void SetPanelOrder(std::int32_t order) { m_panelOrder = order; }
  // The panel frame's placement (positions and normal rectangle in window terms).
  CWindowPlacement GetPanelPlacement() const;
  void SetPanelPlacement(const CWindowPlacement& placement);

  // Outgoing queue; every operation takes the system's lock. Any thread. A family queues its
  // frames itself, and the comms worker a write again (QueueMessage, QueueWriteAgain, below).
  // A write whose transaction ended without the unit's ACK (the ACK lost behind another unit's
  // late answer, say, or the unit silent) goes again, ahead of what is queued, as a read that went
  // unanswered is asked again; not when a newer write of the same setting waits (that one goes),
  // nor to a device set aside or not addressable, nor once kMaxWriteTries of its transactions
  // were met by a unit that is there: one that answered its request before (unitAnswered). A
  // unit that has fallen silent is owed the write for as long as it is away, and gets it when it
  // answers again. False when it is given up. Worker thread.
  static constexpr std::uint32_t kMaxWriteTries = 3;
  void ClearQueue();
  // Copies the oldest message into record and removes it; false when the queue is empty. A read
  // taken off the queue is stamped (StampRead) as it is taken.
  bool PopMessage(CControlMessage& record);
  std::size_t GetQueueSize() const;
  // The writes queued, not yet acknowledged by the unit.
  std::size_t GetQueuedWriteCount() const;
  // A copy of queued message i (tests and diagnostics); false when out of range.
  bool PeekQueuedMessage(std::size_t i, CControlMessage& out) const;

  // --- Links' values owed to an away unit ---
  // The writes a change a link handed the device queues carry the parameter's id
  // (CControlMessage::linkedParameter). While its unit is not connected, such a write still
  // queued is owed by the link: the worker notes the parameters, each once while the unit is
  // away (true when one is new: the frame is then told); the frame takes them, marks the link's
  // members out of line and hands each parameter whose value a link now keeps back here, and its
  // writes leave the queue, as one that goes again later does. What is noted is forgotten once
  // the unit is connected again. Under the system's lock.
  bool NoteLinkWritesOwed();
  std::vector<std::int32_t> TakeLinkWritesOwed();
  void DropLinkWrites(std::int32_t parameterId);

  // --- What the units change in the file ---
  // How many times a reply of the unit changed what the device's record stores (the person's
  // own changes mark the system modified instead). The system keeps the count it saw when the
  // file was read or saved: a count that moved since tells autosave that the file no longer
  // holds what the unit reported, without the record being stored to find out. Any thread.
  std::uint32_t GetUnitChanges() const { return m_unitChanges; }

  // --- Reads that a change overtakes ---
  // A unit answers a read with what it holds when the read reaches it. A change of its settings
  // that the device makes after the read was asked, or makes while the read is on its way, or
  // whose write still waits in the queue, is not in that answer: taken into the file, the
  // answer would put the unit's old value back over the change (and the change's own write
  // could then carry the old value too). A read carries the count of changes it was asked at
  // (StampRead), and the family takes no setting from an answer that IsReadOvertaken.
  //
  // A change of the device's settings that its unit is to get, from before the model takes any
  // of it until its writes are queued; changes may nest. UI thread.
  class CSettingsChange {
   public:
    explicit CSettingsChange(CDevice& device);
    ~CSettingsChange();
    CSettingsChange(const CSettingsChange&) = delete;
    CSettingsChange& operator=(const CSettingsChange&) = delete;

   private:
    CDevice& m_device;
  };
  // Stamps a read with the count of changes now. Whichever thread makes the read.
  void StampRead(CControlMessage& read) const;
  // True when the read's answer may not tell of the settings in the file: a change began or
  // ended since the read was stamped, one is under way, or a write waits in the queue. The family
  // then leaves the settings that the answer carries out of the file; a read of the read-out is
  // asked again. Worker thread, under the system's lock.
  bool IsReadOvertaken(const CControlMessage& read) const;

  // Starts the 7-second reply timer (amplifier families, after a change or a paste).
  void StartReplyTimer();
  std::uint32_t GetReplyTimerStart() const { return m_replyTimerStart; }
  std::uint32_t GetReplyTimeout() const { return m_replyTimeout; }
  // Forgets the reply timer (the hold-off has run out). Any thread.
  void ClearReplyTimer() {
    m_replyTimerStart = 0;
    m_replyTimeout = 0;
  }

  // Parameter ids the family keeps as a set.
  void AddParamId(std::uint32_t id);
  void RemoveParamId(std::uint32_t id);
  bool HasParamId(std::uint32_t id) const;

 protected:
  // Appends a message to the outgoing queue (ownership passes to the queue); without force it
  // is dropped while the port is closed or the device is not connected, and always while the
  // device is not addressable (IsAddressable). A message for the same setting as a queued one
  // (see GetMessageMergeMask) replaces it and goes to the back. Only the family queues what its
  // unit is sent: its change path, its polls and its records. Any thread.
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
  // from outside only through ApplyUserChange, ApplyLinkedChange and the family's own code.
  virtual void ApplyControlChange(const CParamValue& value);
  // A person's change that passed the gate, with what they answered to its questions. Base:
  // ApplyControlChange; a family whose changes need more than a confirmation reads its answer.
  virtual void ApplyAnsweredChange(const CParamValue& value, CChangeAnswer& answer);
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

  // Writes to the comms error log that a reply to the record's command was answered but not
  // used, and why. Any thread.
  void LogUnusedReply(const CControlMessage& record, const char* why);
  // True when a change has overtaken the read (IsReadOvertaken): the settings its reply carries
  // are left out of the file. The comms error log tells it when a change began or ended since
  // the read was asked; a read answered while writes queued before it still wait is left out
  // without a line. Worker thread, under the system's lock.
  bool LeavesOvertakenReply(const CControlMessage& record);
  // A reply of the unit changed a setting the device's record stores. Worker thread, under the
  // system's lock.
  void NoteUnitChange() { ++m_unitChanges; }
  // For a family's ProcessReply, before anything of a reply is taken: the model the reply names
  // (UnitTypeOfReply) and whom it names (CControlMessage::replyEcho). True when the reply may be
  // taken. Only a reply that names the device's unit tells who is at its ID: a unit of another
  // model sets the device aside (logged once); while set aside, a unit of the device's own model
  // takes the device up again, and the reply itself is not taken. Taken up, a device whose own
  // unit never left (the other model answered once only) goes on where it was; otherwise it
  // starts as at going online, a person's changes that waited going first in a "Retrieve"
  // session. A reply that names another unit is never taken, nor one of another model that
  // names nobody. Worker thread, under the system's lock.
  bool TakeUnitModel(const CControlMessage& record);

  // Placement words in the device's own order.
  enum {
    kPlFlags,
    kPlShowCmd,
    kPlMaxX,
    kPlMaxY,
    kPlMinX,
    kPlMinY,
    kPlLeft,
    kPlTop,
    kPlRight,
    kPlBottom,
    kPlacementWords
  };

  IDeviceHost* m_host;
  IMessageSink* m_frame;
  const CObjectHandle m_handle;
  std::atomic<CControlPanel*> m_controlPanel{nullptr};
  bool m_panelWasOpen = false;
  std::array<std::int32_t, kPlacementWords> m_placement{0, 3, -1, -1, -1, -1, -1, -1, 500, 500};
  std::int32_t m_panelOrder = 0;
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
  std::atomic<std::uint32_t> m_otherModelAtId{0};
  std::atomic<bool> m_leftOut{false};
  std::string m_otherModelName;  // guarded by the system's lock
  std::atomic<bool> m_addressClash{false};
  std::string m_clashNote;       // guarded by the system's lock
  std::string m_lateAnswerNote;  // guarded by the system's lock
  // While set aside: whether the other unit is known to be there (see SetAside), and whether the
  // device waited for its security step when it was set aside.
  bool m_asideConfirmed = false;
  bool m_asideBeforeSecurity = false;
  std::atomic<std::uint32_t> m_sessionMode{0};
  std::int32_t m_announcingUnitValues = 0;  // UI thread
  std::atomic<std::uint32_t> m_replyTimerStart{0};
  std::atomic<std::uint32_t> m_replyTimeout{0};
  std::vector<std::uint32_t> m_paramIds;
  std::vector<std::unique_ptr<CControlMessage>> m_queue;  // guarded by the system's lock
  // Parameters whose link writes the unit is owed while away: not yet taken by the frame, told
  // to it, and those whose values the links keep now. Guarded by the system's lock.
  std::vector<std::int32_t> m_linkWritesOwed;
  std::vector<std::int32_t> m_linkWritesTold;
  std::vector<std::int32_t> m_linkWritesKept;
  // Settings changes begun or ended and writes queued, and the changes under way now.
  std::atomic<std::uint32_t> m_settingsChanges{0};
  std::atomic<std::int32_t> m_changesUnderWay{0};
  std::atomic<std::uint32_t> m_unitChanges{0};  // see GetUnitChanges

 private:
  // The tests reach the change path as the model's own code does (tests/support/ModelChanges.h).
  friend class CDeviceTestAccess;
  // The write that the comms worker's transaction sent, queued again (see kMaxWriteTries).
  friend class CCommsWorker;
  bool QueueWriteAgain(const CControlMessage& write, bool unitAnswered);
  // A request taken from the queue that never reached the unit goes back to the front, as it
  // was; not when a newer write of the same setting waits (that one goes). Worker thread.
  void PutBack(const CControlMessage& request);
  // A unit of the device's own model answers at its ID again (see TakeUnitModel).
  void TakeUp();
  // The unit at the ID is known to be another (see SetAside). Under the system's lock.
  void ConfirmAside();
  // The queued message for the same setting as the message (its merge mask, not 0: see
  // GetMessageMergeMask), or the queue's end. Under the system's lock.
  std::vector<std::unique_ptr<CControlMessage>>::iterator FindSameSetting(const CControlMessage& message,
                                                                           std::uint32_t mask);
  // Forgets the links' values noted as owed (see NoteLinkWritesOwed). Under the system's lock.
  void ForgetLinkWritesOwed();
};

// How a window hands a person's change in: asks the question the device names for it
// (CDevice::ConfirmationFor) through the system's ConfirmAction and, once it is confirmed or
// when none is asked, hands the change in with the answer (CDevice::ApplyUserChange). The
// question is asked before the change enters the model; a user without the right is not asked,
// nor one whose change the device refuses while its unit is away online (RefuseChangeWhileAway
// says why at once). False when the person declined or the gate refused the change. UI thread.
bool ConfirmAndApplyUserChange(CDevice& device, const CParamValue& value, CChangeAnswer& answer);
bool ConfirmAndApplyUserChange(CDevice& device, const CParamValue& value);
