// CNerexSeriesDevice: the one device class of the DSP processor family (Fennick, Zel-Fennick,
// Calder, Hollin, Nerex and Torvex models). It holds the unit's live settings, preset memories,
// general settings, timed presets and meters, talks to the unit through the family's frames
// (polling schedule, reply handling, security block) and describes every parameter by id.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/model/Device.h"
#include "core/support/SystemMessages.h"
#include "devices/processor/NerexHostOptions.h"
#include "devices/processor/NerexMemoryReadout.h"
#include "devices/processor/NerexMeters.h"
#include "devices/processor/NerexPanelView.h"
#include "devices/processor/NerexPasteGate.h"
#include "devices/processor/NerexPoller.h"
#include "devices/processor/NerexPresets.h"
#include "devices/processor/NerexSources.h"
#include "devices/processor/NerexSeriesMemory.h"

class CArchive;
class CCmdUI;
class CCriticalSection;
class CDataStream;
class CMenu;
class CSnapshotData;
class Graphics;
class IDevicePropertyGrid;
class CNerexSeriesDevice;
class INerexSeriesPanel;

// The unit's general settings, kept as the 20 bytes that the file, the clipboard and the
// general-settings frames exchange.
struct NerexGeneralSettings {
  enum : int {
    kClockYear = 0,     // year modulo 100
    kClockMonth = 1,    // 1..12
    kClockDay = 2,      // day of month
    kClockWeekday = 3,  // 1..7, 1 = Sunday
    kClockHour = 4,
    kClockMinute = 5,
    kRecallFlag = 6,     // 0 or 1
    kCurrentPreset = 7,  // 1-based, 0 = none
    kSecurityCodeLow = 8,
    kSecurityCodeHigh = 9,
    kSystemLock = 10,     // 0 Off, 1 Menu, 2 Full
    kGpiMode = 11,        // 0 Disabled, 1 Simple, 2 Complex, 3 Panel
    kMemoryOffset = 12,
    kTransmitPreset = 13, // 0 Disabled, else Enabled
    kOnDelay = 14,        // code 1..7: (7 - code) x 10 seconds
    kLcdContrast = 15,
    kLedTimeout = 16,     // 5 + 5 x value seconds
    kSize = 20,
  };

  std::array<std::uint8_t, kSize> bytes{};

  // Defaults of a new device: security code 8064, on-delay code 6, LCD contrast 10.
  NerexGeneralSettings();
  std::uint16_t GetSecurityCode() const { return std::uint16_t(bytes[kSecurityCodeLow] | bytes[kSecurityCodeHigh] << 8); }
  void SetSecurityCode(std::uint16_t code) {
    bytes[kSecurityCodeLow] = std::uint8_t(code);
    bytes[kSecurityCodeHigh] = std::uint8_t(code >> 8);
  }
  std::uint8_t GetCurrentPreset() const { return bytes[kCurrentPreset]; }
  friend bool operator==(const NerexGeneralSettings&, const NerexGeneralSettings&) = default;
};

// Copies the 20 bytes with the recall flag (byte 6) reduced to 0 or 1.
void CopyGeneralSettings(const NerexGeneralSettings& source, NerexGeneralSettings& target);
// True when the security code or any of bytes 10 to 16 differ.
bool CompareGeneralSettings(const NerexGeneralSettings& a, const NerexGeneralSettings& b);

// One timed preset of a Fennick unit (the same 6 bytes in the device, the file and on the wire).
struct TimedPresetEntry {
  std::uint8_t preset = 0;  // memory number 1..count
  std::uint8_t mode = 0;    // 0 off, 0x80 once on month/day, else a weekday mask
  std::uint8_t month = 0;
  std::uint8_t day = 0;
  std::uint8_t hour = 0;
  std::uint8_t minute = 0;
  friend bool operator==(const TimedPresetEntry&, const TimedPresetEntry&) = default;
};
inline constexpr int kNerexTimedPresets = 10;
inline void InitTimedPresetEntry(TimedPresetEntry& entry) { entry = TimedPresetEntry{}; }

// What a person answered to the questions of a preset action (ids 420 to 427, 436 to 438 and
// 497 to 500), asked before the action is handed in (HandPresetAction, the preset manager):
// the row it acts on, the name typed, the file chosen, the timed presets as edited, the preset
// manager's section boxes. The action leaves in fileError why a preset file could not be saved
// or loaded, and in fileNote what became of a loaded file's name, for the window to say.
class CNerexPresetAnswer : public CChangeAnswer {
 public:
  // The selected row: the memories first (0-based), then the crossover presets; -1 none.
  int row = -1;
  std::string name;
  std::string path;
  std::array<TimedPresetEntry, kNerexTimedPresets> timed{};
  // The store boxes ticked and enabled, and the recall boxes ticked (section bits).
  std::uint32_t storeMask = 0;
  std::uint32_t recallMask = 0;
  std::string fileError;
  std::string fileNote;
};

// The confirmation a preset action asks before it is handed in (CUserChangeGate::ConfirmationFor).
std::uint32_t PresetActionConfirmation(const CNerexSeriesDevice& device, int id, const CNerexPresetAnswer& answer);

// Warning bits of the family.
enum : std::uint32_t {
  kNerexWarningNotInitialised = 0x1,
  kNerexWarningFirmware = 0x4,
};

// Status codes posted with FrameMsg::kStatusEvent.
enum : int {
  kNerexStatusMeters = 104,
  kNerexStatusSettings = 105,
  kNerexStatusPresets = 107,
};

// Ids of the panel's buttons that show a channel: a channel select (+ channel 0 to 7) shows it
// on the equaliser page in view; a shortcut shows the channel on a page (the inputs' shortcuts
// four per page: dynamic EQ, parametric EQ, graphic EQ).
enum : int {
  kNerexChannelSelect = 120,
  kNerexOutputCompShortcut = 221,  // + output
  kNerexInputShortcuts = 229,      // + 4 x page + input
  kNerexOutputEqShortcut = 241,    // + output
};

// Output gain state from the two gain locks: free (lock A clear), trim (A set, B clear),
// locked (both set).
bool IsChannelFlagClear(const NerexOutputSection& outputs, int output);
bool IsChannelFlagSetOnly(const NerexOutputSection& outputs, int output);
// 13 for a full-bandwidth dynamic-EQ band (it has no frequency and no Q), else its filter kind.
int GetDeqBandTypeCode(const NerexDeqBand& band);

// The highest device ID the ID row takes; the frames carry the ID's low byte.
inline constexpr std::uint32_t kNerexMaxDeviceId = 63;

// The factory's creator (RegisterProcessorFamily registers it): constructs and initialises one
// processor; null for another type code. The Fennick models keep model index 0.
CDevice* CreateNerexSeriesDevice(IDeviceHost* host, IMessageSink* frame, std::uint32_t typeCode,
                                 std::uint32_t deviceId, std::uint32_t modelIndex);

// Threads: the constructor, Initialise, the destructor, the parameter catalogue, the sweeps
// and the builders run on the UI thread; GetNextPollMessage, ProcessReply and the security
// operations run on the comms worker. The current settings image, the preset lists, the names,
// the general settings and the timed presets are written by ProcessReply under the system's
// lock; the UI thread takes the same lock (SettingsLock) whenever it writes them or encodes
// them into a frame. The meters are atomics.
class CNerexSeriesDevice : public CDevice {
 public:
  CNerexSeriesDevice(IDeviceHost* host, std::uint32_t typeCode, std::uint32_t deviceId, IMessageSink* frame,
                     std::uint32_t modelIndex);
  ~CNerexSeriesDevice() override;

  // Creates the paste event and counts the instance. Once, right after construction.
  void Initialise();
  // Number of processors that have run Initialise and still live.
  static int GetInstanceCount();

  // --- CDevice ---
  void Reinitialise(std::uint32_t mode) override;
  const char* GetControlPanelClass() override;
  std::string GetModelName() override;
  CSize GetPanelSize() override;
  std::uint32_t GetClipboardFormat() override;
  void OnStatusEvent(int statusCode) override;
  CParamInfo GetParameterAt(int id) override;
  CParamValue GetCurrentValue(int id) override;
  void ListParameters(int controlKind, std::vector<CParamInfo>& out) override;
  CParamInfo FindParameter(const CParamInfo& info) override;
  bool GetNextPollMessage(CControlMessage& record) override;
  // A memory read answered late says that the unit holds that memory (see NoteMemoryAnswer).
  void OnLateAnswer(std::uint32_t command, std::uint32_t argument) override;
  bool BuildReadSecurityMessage(CControlMessage& record) override;
  bool BuildWriteSecurityMessage(CControlMessage* record, const CUserList* users) override;
  bool BuildSecurityCheckMessage(CControlMessage& record) override;
  // The identification request.
  bool BuildPresenceProbe(CControlMessage& record) override;
  void DecodeSecurityBlock(const std::uint8_t* reply, CUserList& users) override;
  std::string GetStatusText() override;
  // A device name its unit would not keep as typed is refused, in the words of the pane.
  std::string ControlChangeRefusal(const CParamValue& value) const override;
  void OnDisconnected(bool clearWarnings) override;
  int GetOnlineStatusParamId() override;
  int GetOfflineStatusParamId() override;
  int GetWarningStatusParamId() override;
  bool SetIgnored(bool ignored) override;
  std::uint32_t GetMessageMergeMask(const CControlMessage& message) override;

  // --- Parameter catalogue ---
  // Appends a copy of every descriptor of this device whose kind equals like's kind, or of every
  // descriptor when like is the NULL descriptor; ids ascending.
  void ListMatchingParameters(const CParamInfo& like, std::vector<CParamInfo>& out) override;

  // --- Control changes (UI thread) ---
  // The ids of the changes in progress, nested through links and re-notification. Add returns
  // true (and leaves the list alone) when the id is already there.
  bool AddParameterIdToDeviceList(int id);
  void RemoveParameterIdFromDeviceList(int id);
  // True when id is the only change in progress: it came from outside, not through another.
  bool IsOutermostChange(int id) const;

  // --- Model ---
  int GetModel() const { return int(m_typeCode); }
  int GetInputCount() const;
  int GetOutputCount() const;
  // The hardware code reported by discovery (told apart for models 110 and 112).
  std::uint32_t GetHardwareCode() const { return m_modelIndex; }

  // The lock that guards the settings against the reply handler (the system's lock).
  CCriticalSection& SettingsLock() const;

  // --- What the file stores of the unit's settings, read-only ---
  // The live settings, the preset memories and crossover presets, the general settings, the
  // timed presets and the dynamic-EQ band masks, as windows and reports read them (under
  // SettingsLock where the worker may write them meanwhile). They change only inside the
  // family: its change path, the unit's replies and the records (NerexChange.h).
  const CNerexSeriesMemory& GetCurrentSettings() const { return m_current; }
  CNerexMemoryView GetPresets() const { return CNerexMemoryView(m_presets); }
  CNerexMemoryView GetXoverPresets() const { return CNerexMemoryView(m_xoverPresets); }
  // How many preset memories and crossover presets the unit holds, as the read-out found when
  // the unit left one unanswered (kAnyMemoryCount until then, and after Reinitialise): a copy
  // taken under SettingsLock. Any thread.
  CNerexMemoryReadout GetMemoryReadout() const;
  // Why the preset manager's row (numbered as CNerexPresetAnswer::row) names a memory that the
  // unit does not hold, as the read-out found: "The unit holds 20 preset memories - it has no
  // memory 30"; empty when it may hold it. A store, recall or rename there is refused. Any
  // thread.
  std::string RowBeyondUnitRefusal(int row) const;
  const NerexGeneralSettings& GetGeneralSettings() const { return m_general; }
  const std::array<TimedPresetEntry, kNerexTimedPresets>& GetTimedPresets() const { return m_timedPresets; }
  // The name of preset memory index (0-based, UTF-8); std::invalid_argument for an index
  // outside the memory list.
  std::string GetMemoryName(int index) const;
  // The dynamic-EQ band masks, one byte per band position (1, 2, 3), bit i for input i: the
  // dynamic-EQ graph hides and locks the handle of a masked band. All clear at first.
  const std::array<std::uint8_t, kNerexDeqBandsPerInput>& GetDeqBandMasks() const { return m_deqBandMasks; }

  // --- Meters (dB; written by the worker, read anywhere) ---
  const CNerexMeters& Meters() const { return m_meters; }
  // Every meter back to the floor; the open panel is asked to redraw its meters.
  void ResetMeters();

  // --- Read-back state (worker; Reinitialise clears it; the rest of it: CNerexReadBack) ---
  bool AllBlocksReceived() const;
  std::uint32_t GetPollCounter() const { return m_pollCounter; }
  void SetPollCounter(std::uint32_t counter) { m_pollCounter = counter; }
  // Replies that were answered but could not be used (a memory that does not exist, too few
  // bytes for their layout, a wrong header); each one is also written to the comms error log.
  std::uint32_t GetRefusedReplyCount() const { return m_refusedReplies; }
  std::uint32_t GetWarningBits() const { return m_warningBits; }

  // --- The paste gate: while a paste is in progress the poll sends nothing ---
  CNerexPasteGate& PasteGate() { return m_pasteGate; }
  const CNerexPasteGate& PasteGate() const { return m_pasteGate; }

  // --- Host-side options and what the panel shows (UI thread) ---
  CNerexHostOptions& HostOptions() { return m_hostOptions; }
  const CNerexHostOptions& HostOptions() const { return m_hostOptions; }
  CNerexPanelView& PanelView() { return m_panelView; }
  const CNerexPanelView& PanelView() const { return m_panelView; }

  // The open panel when it is a processor panel, else null.
  INerexSeriesPanel* GetNerexPanel() const;

  // ====== Records, snapshots, properties, tiles, clipboard, paste and context menu ======
  // (UI thread. Writes to the settings take SettingsLock.)

  // The processor record of the system file (version 6 written, 1 to 6 read; a damaged record
  // throws CArchiveException) and of data streams (version 6).
  void Serialize(CArchive& ar) override;
  void SerializeStream(CDataStream& ds) override;
  // The Fennick preset file: the current settings as one memory record (its load is the
  // preset action's, LoadPresetFile).
  bool SavePresetFile(const std::string& path, std::string* error);

  // Snapshot image of the live settings (format 2); its recall is ApplySnapshotData.
  CSnapshotData* CreateSnapshotData() override;

  // The rows of the grid, group by group; an edited row comes back through
  // ApplyUserPropertyChange (OnPropertyChanged).
  void FillPropertiesPane(IDevicePropertyGrid& grid) override;
  // The property list: the grid's rows and checks in the list's form (ListForm); its edit is
  // ValidateProperty.
  void GetProperties(std::vector<CPropertyItem>& items) override;
  CListForm ListForm() const;

  // Rack tile and live-meter column.
  int DrawTile(Graphics* g, const CRect& rect, int blinkPhase) override;
  int DrawMonitorTile(Graphics* g, const CRect& rect, Graphics* dc, int mode) override;
  CRect GetExtraRect(Graphics* dc, const CRect& meterRect) override;

  // Clipboard and paste by section.
  void CopyToClipboard(std::uint32_t command) override;
  bool CanCopy(std::uint32_t command) override;
  // Nothing changes where CanPaste refuses (a user without the right to use device controls, a
  // unit away online, a record the command cannot take).
  void PasteFromClipboard(std::uint32_t command) override;
  bool CanPaste(std::uint32_t command) override;

  // Context menu; the label of the selected preset for a section mask.
  void BuildContextMenu(CMenu& menu, int argument) override;
  bool OnContextMenuCommand(std::uint32_t command, int argument) override;
  void OnUpdateContextMenuCommand(CCmdUI& cmdUI) override;
  std::string GetSelectedPresetLabel(std::uint32_t sectionMask);

 private:
  // The clone submenu, made on first use and kept with the device.
  std::shared_ptr<CMenu> m_cloneMenu;

  // ====== end of records, snapshots, properties, tiles, clipboard, paste and context menu ======

 protected:
  // A reply of the unit, taken in through ProcessReply. Worker thread, under the system's lock.
  void TakeReply(CControlMessage& record) override;
  // The record's print with the output sections' scramble key held, so that it changes only
  // with what the record stores.
  std::uint64_t StoredPrint() override;
  // One edited row of the grid, and one edited value of the property list through the same
  // rows and checks.
  bool OnPropertyChanged(CDeviceProperty& row) override;
  bool ValidateProperty(CNamedPropertyValue& value) override;
  // The one entry of every change of a setting: converts and clamps the value, stores it for
  // the channel and its link group, queues the unit's write (dropped while offline) and pushes
  // the stored values to the panel, the custom panels and the links. Every change that is not
  // already in progress marks the file modified, however it ends.
  void ApplyControlChange(const CParamValue& value) override;
  // A snapshot's image: the live settings it holds, sent as whole blocks.
  void ApplySnapshotData(const CSnapshotData& data) override;

 private:
  friend class CNerexReplyHandler;
  // The polling schedule reads and moves on the read-back state.
  friend class CNerexPoller;
  friend class CNerexReadBack;
  // The gate hands a preset action in with the person's answers (ApplyChange).
  friend class CNerexChangeGate;
  // The family's own code outside the class (its change path, its frames and records) writes
  // what the device stores and queues the unit's frames through it (NerexChange.h).
  friend class CNerexChangeAccess;

  // The Fennick preset file loaded into the current settings: every parameter announced, blocks
  // 0 and 5 of the current settings sent (memory 0, mode 0xC0); note says what became of a name
  // the memory could not keep. Only the preset action loads one, inside the change path's
  // guard against reads on their way.
  bool LoadPresetFile(const std::string& path, std::string* error, std::string* note = nullptr);
  // The change path of ApplyControlChange and ApplyAnsweredChange.
  void ApplyChange(const CParamValue& value, CChangeAnswer& answer);
  // Its piece for the device name: stored, written to the unit and shown, or, for a name the
  // unit would not keep as typed, refused with the name kept shown again.
  void ChangeDeviceName(const std::string& text);

  // Replies (worker, under the lock).
  void RefuseReply(const CControlMessage& record, const char* why);


  CNerexMemoryList m_presets;
  CNerexMemoryList m_xoverPresets;
  std::uint32_t m_memoryFlagsIndex = 0;
  std::uint32_t m_memoryNameIndex = 0;
  // How many memories the unit holds, as the read of its memories finds out (under the
  // settings lock).
  CNerexMemoryReadout m_readout;
  CNerexHostOptions m_hostOptions;
  CNerexPanelView m_panelView;
  CNerexSeriesMemory m_current;
  std::array<TimedPresetEntry, kNerexTimedPresets> m_timedPresets{};
  std::array<std::uint8_t, kNerexDeqBandsPerInput> m_deqBandMasks{};
  NerexGeneralSettings m_general;
  CNerexMeters m_meters;
  std::uint8_t m_meterPageSent = 0;
  CNerexPasteGate m_pasteGate;
  std::uint32_t m_receivedMask = 0;
  bool m_extendedMeters = false;
  bool m_initialised = false;  // counted in the instance counter
  std::atomic<std::uint32_t> m_refusedReplies{0};
  CNerexPoller m_poller{*this};
};
