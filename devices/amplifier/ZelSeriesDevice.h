// CZelSeriesDevice: the Zel power amplifiers (type codes 51 to 56; two channels, four on the
// Zel-6). It holds every setting and monitored value of one amplifier, describes its
// parameters by id, reads the unit out and polls it, turns changes into write frames, keeps
// its records (system file, stream, snapshot, clipboard), draws its rack and monitor tiles and
// fills its property rows.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "devices/amplifier/ZelBaseDevice.h"
#include "devices/amplifier/ZelGpioConfig.h"
#include "devices/amplifier/ZelLoadAlarms.h"
#include "devices/amplifier/ZelSeriesPropertyEdits.h"

class IZelSeriesPanel;

// Parameter ids of the family.
enum : int {
  kZelParamGain = 5,          // 5 to 8
  kZelParamMute = 9,          // 9 to 12
  kZelParamSolo = 13,         // 13 to 16
  kZelParamChannelName = 21,  // 21 to 24
  kZelParamAmpName = 25,
  kZelParamMonoLed = 27,
  kZelParamStereoLed = 28,
  kZelParamBridgeLed = 29,
  kZelParamLimit = 30,  // 30 to 33
  kZelParamActiveLed = 34,
  kZelParamStandbyLed = 35,
  kZelParamProtectLed = 36,
  kZelParamPanelPage = 37,
  kZelParamMode = 39,
  kZelParamStandby = 40,
  kZelParamOk = 41,     // 41 to 44
  kZelParamCheck = 45,  // 45 to 48
  kZelParamIdentify = 51,
  kZelParamPowerOnDelay = 55,
  kZelParamGpio = 57,
  kZelParamWindow = 58,     // 58 to 61
  kZelParamReference = 62,  // 62 to 65
  kZelParamAlarmTemperature = 82,
  kZelParamOnline = 88,
  kZelParamOffline = 89,
  kZelParamWarnings = 90,
};

// Commands of the family.
enum : std::uint32_t {
  kZelCmdGain = 0x08,
  kZelCmdMute = 0x09,
  kZelCmdAmpName = 0x11,
  kZelCmdStandby = 0x12,
  kZelCmdChannelName = 0x21,
  kZelCmdAlarmTemperature = 0x22,
  kZelCmdMode = 0x23,
  kZelCmdPowerOnDelay = 0x24,
  kZelCmdGpio = 0x25,
  kZelCmdReference = 0x26,
  kZelCmdWindow = 0x27,
  kZelCmdReadSettings = 0x3B,
  kZelCmdReadName = kZelReadNameCommand,
  kZelCmdReadTemperature = 0x3D,
  kZelCmdReadStatus = 0x3F,
  kZelCmdReadCounters = 0x41,
  kZelCmdReadChannelName = kZelReadChannelNameCommand,
  kZelCmdReadMeters = 0x44,
  kZelCmdReadReference = 0x45,
};

// Whole reply lengths of the reads.
enum : std::uint32_t {
  kZelReplySettings = 26,
  kZelReplyName = kZelNameReplyLength,
  kZelReplyTemperature = 13,
  kZelReplyStatus = 12,
  kZelReplyCounters = 24,
  kZelReplyChannelName = kZelChannelNameReplyLength,
  kZelReplyMeters = 24,
  kZelReplyReference = 21,
};

// haveRead bits: the reply kinds received since the last re-initialisation.
enum : std::uint32_t {
  kZelReadName = 0x001,
  kZelReadChannel0 = 0x002,  // 0x002 << channel
  kZelReadReference = 0x020,
  kZelReadStatus = 0x040,
  kZelReadMeters = 0x080,
  kZelReadTemperature = 0x100,
  kZelReadIdentity = 0x200,
  kZelReadCounters = 0x400,
  kZelReadSettings = 0x800,
};

// Warning bits of the family.
enum : std::uint32_t {
  kZelWarnNotInitialised = 0x01,
  kZelWarnTemperatureSoftware = 0x02,
  kZelWarnFirmware = 0x04,
  kZelWarnProtect = 0x08,
  kZelWarnLoad = 0x10,
  kZelWarnTemperatureHardware = 0x20,
};

// Status hints posted with FrameMsg::kStatusEvent.
enum : int {
  kZelHintControls = 103,
  kZelHintInfo = 104,
  kZelHintMeters = 105,
  kZelHintNames = 106,
  kZelHintState = 107,
  kZelHintStandby = 108,
};

// Context-menu commands.
enum : std::uint32_t {
  kZelCmdPasteControls = kAmpCmdPasteControls,
  kZelCmdPasteProperties = kAmpCmdPasteProperties,
  kZelCmdIgnoreDevice = kAmpCmdIgnoreDevice,
};

inline constexpr int kZelMaxChannels = 4;
inline constexpr int kZelGainSteps = 33;
inline constexpr std::size_t kZelClipboardRecordSize = kZelClipboardRecordBytes;
// Property id of the device ID row (the other rows without a parameter have theirs in the
// properties code).
inline constexpr std::uint32_t kZelPropId = 51;
inline constexpr std::size_t kZelSnapshotRecordSize = 7;
// Least output current (A) of a channel whose impedance can be taken as its reference.
inline constexpr float kZelMinReferenceCurrent = 0.1f;
// What the units take: alarm thresholds in degrees C (a stored one outside them, 0 for one
// never set, is never sent), power-on delays and load-monitor windows (percent).
inline constexpr std::uint8_t kZelMinAlarmTemperature = 40;
inline constexpr std::uint8_t kZelMaxAlarmTemperature = 110;
inline constexpr std::uint8_t kZelMaxPowerOnDelay = 60;
inline constexpr std::uint8_t kZelMaxWindow = 100;
constexpr bool IsZelAlarmTemperatureTaken(std::int64_t degrees) {
  return degrees >= kZelMinAlarmTemperature && degrees <= kZelMaxAlarmTemperature;
}

// Channels of an amplifier by type code: 4 on the Zel-6 (55), else 2.
int GetZelSeriesChannelCount(std::uint32_t typeCode);
// Text of gain step index (0 to 32): "0dB", "-1dB" ... "-60dB"; empty out of range.
std::string GetZelGainStepText(int index);
// The number that begins the step's text: 0.0 down to -60.0.
float GetZelGainStepValue(int index);
// The step of a gain in dB: truncated toward zero to whole dB; above 0 gives 0, below -60 gives
// 32, between two steps the nearer (an equal distance gives the larger attenuation).
int ZelGainToIndex(float dB);

// The last decoded meter reply.
struct ZelSeriesMeters {
  std::array<float, kZelMaxChannels> outputVoltage{};  // byte n / 6.0
  std::array<float, kZelMaxChannels> outputCurrent{};  // byte 4 + n / 124.0
  std::uint8_t loadFaultBits = 0;                      // bit n: load fault on channel n
  std::array<std::uint8_t, kZelMaxChannels> loadMonitorState{};
};
// The settings that the system file and streams keep, in their order there.
struct ZelSeriesRecord {
  std::string name;
  std::array<std::string, kZelMaxChannels> channelNames;
  std::uint8_t muteOverride = 0;
  std::uint32_t displayPage = 0;
  std::uint8_t muteMask = 0;
  std::uint8_t powerOnDelay = 0;
  std::uint8_t alarmTemperature = 0;
  std::array<std::uint8_t, kZelMaxChannels> gainIndex{};
  std::uint8_t statusFlags = 0;
  std::uint8_t gpio = 0;
  std::uint32_t mode = 2;
};

// Decodes the eleven unpacked meter bytes (fewer leave the rest of the record as it was).
void DecodeZelSeriesMeters(const std::uint8_t* payload, std::size_t length, ZelSeriesMeters& meters);

// Threads: ApplyControlChange, SendAllSettings, OnSystemSolo, the records, tiles and
// properties run on the UI thread; GetNextPollMessage and ProcessReply on the comms worker,
// ProcessReply under the system's lock. UI code that writes fields the worker also writes
// takes the same lock; drawings copy what they show under it.
class CZelSeriesDevice : public CZelBaseDevice {
 public:
  CZelSeriesDevice(IDeviceHost* host, IMessageSink* frame, std::uint32_t typeCode, std::uint32_t deviceId);

  // Amplifiers alive that ran Initialise.
  static int GetInstanceCount();

  // --- Model ---
  CParamInfo GetParameterAt(int id) override;
  CParamValue GetCurrentValue(int id) override;
  // A gain moves along the unit's table: 1 dB steps to -12 dB, 2 dB to -36 dB, 3 dB below.
  float NudgeLevel(int id, float value, float delta) override;
  void ListParameters(int controlKind, std::vector<CParamInfo>& out) override;
  std::uint32_t HasWarnings() override;
  void OnDisconnected(bool clearWarnings) override;
  bool IsReadOutComplete() const override;
  // The channel's load as the last meters report it, with its window (nothing reported for a
  // channel out of range); CZelLoadAlarms tells whether it shows OK or Check.
  ZelChannelLoad GetChannelLoad(int channel) const;
  // Channel n's unit reports a load fault (false for n of 4 or more).
  bool IsLoadFaultReported(int channel) const { return GetChannelLoad(channel).faultReported; }
  // Channel n's load is monitored: its monitor state is 0 and its impedance window is set.
  bool IsLoadAlarmActive(int channel) const { return CZelLoadAlarms::IsMonitored(GetChannelLoad(channel)); }
  // The GPIO configuration (written by the worker under the system's lock, like the fields
  // below).
  const CZelGpioConfig& GetGpio() const { return m_gpio; }
  bool IsInStandby() const { return (m_statusFlags & 0x01) != 0; }
  // Whether the model offers the mode (1 mono, 2 stereo, 3 bridge): mono on the two-channel
  // models only.
  bool OffersMode(std::uint32_t mode) const;
  // The channel whose controls the mode hides on the panel: the last one (the second, the
  // fourth on the Zel-6) in mono and bridge; -1 in stereo.
  int HiddenChannel(std::uint32_t mode) const;

  // --- Records, clipboard, menu, hints ---
  void Serialize(CArchive& ar) override;
  void SerializeStream(CDataStream& ds) override;
  CSnapshotData* CreateSnapshotData() override;
  void OnStatusEvent(int hint) override;
  // The clipboard record (format "ZelSeriesSettings").
  ZelClipboardRecord MakeClipboardRecord() const override;

  // --- Tiles ---
  int DrawTile(Graphics* g, const CRect& rect, int blinkPhase) override;
  int DrawMonitorTile(Graphics* g, const CRect& rect, Graphics* dc, int mode) override;

  // --- Properties ---
  void FillPropertiesPane(IDevicePropertyGrid& grid) override;

  // --- Fields (read by the panel and tests; the worker writes them under the system's lock, so
  // a reader on the window thread takes that lock too) ---
  std::uint32_t GetDisplayPage() const { return m_displayPage; }
  std::int32_t GetTemperature() const { return m_temperature; }
  std::uint8_t GetGainIndex(int channel) const { return m_gainIndex[std::size_t(channel & 3)]; }
  std::uint8_t GetImpedanceWindow(int channel) const { return m_impedanceWindow[std::size_t(channel & 3)]; }
  float GetReferenceImpedance(int channel) const { return m_referenceImpedance[std::size_t(channel & 3)]; }
  std::uint8_t GetPowerOnDelay() const { return m_powerOnDelay; }
  std::uint8_t GetAlarmTemperature() const { return m_alarmTemperature; }
  std::uint8_t GetMuteMask() const { return m_muteMask; }
  std::uint8_t GetMuteOverride() const { return m_muteOverride; }
  std::uint8_t GetStatusFlags() const { return m_statusFlags; }
  std::uint32_t GetUpTimeCounter1() const { return m_upTimeCounter1; }
  std::uint32_t GetUpTimeCounter2() const { return m_upTimeCounter2; }
  std::uint16_t GetPowerCycleCount() const { return m_powerCycleCount; }
  std::uint8_t GetCounterByte() const { return m_counterByte; }
  std::uint32_t GetLimitBits() const { return m_limitBits; }
  std::uint32_t GetMode() const { return m_mode; }
  std::uint8_t GetNotInProtect() const { return m_notInProtect; }
  const ZelSeriesMeters& GetMeters() const { return m_meters; }
  // The open panel when it is an amplifier panel, else null.
  IZelSeriesPanel* GetZelPanel() const;

  // Test and simulator access to the monitored state (takes the system's lock).
  void SetMetersForTests(const ZelSeriesMeters& meters);
  void SetTemperatureForTests(std::int32_t degrees);
  void SetStatusFlagsForTests(std::uint8_t flags);
  void SetImpedanceWindowForTests(int channel, std::uint8_t percent);

 protected:
  // Queues every setting, forced: gains, mute, standby, mode, delay, GPIO, threshold (one the
  // unit does not take stays unsent), windows.
  void SendAllSettings() override;
  // Another device's solo: every channel muted, or the mutes the amplifier holds sent again.
  void OnSystemSolo(bool muteAll) override;
  // The paste of the clipboard record: command 0 all, kZelCmdPasteControls or
  // kZelCmdPasteProperties.
  void PasteRecord(const ZelClipboardRecord& record, std::uint32_t command) override;
  // A snapshot's image recalled (RecallSnapshotImage).
  void ApplySnapshotData(const CSnapshotData& data) override;
  // The name read (command 0x3C).
  void FillSecurityProbe(CControlMessage& record) override;
  // Polling and replies (worker).
  void FillReadOutItem(CControlMessage& record) override;
  bool PollCycle(CControlMessage& record) override;
  void DecodeFamilyReply(const CControlMessage& record) override;
  // By model: "ZEL_6" for the four-channel one, else "ZEL_SERIES".
  std::string ExpectedFirmware() const override;
  void AppendWarningTexts(std::uint32_t bits, std::string& text) override;
  // Changes and property edits by the family's routing tables.
  bool ChangeControl(const CParamValue& value) override;
  bool IsPanelOnlyParameter(int id) const override { return id == kZelParamPanelPage; }
  bool ApplyPropertyEdit(const ZelPropertyEdit& edit, std::string& message) override;
  // A reference row shows the impedance the unit was given.
  void OnPropertyApplied(CDeviceProperty& row) override;
  // The list has the grid's rows and checks; ListForm says where it differs.
  CListForm ListForm() const override;

 private:
  void ReplySettings(const std::vector<std::uint8_t>& u);
  void ReplyTemperature(const CControlMessage& record);
  void ReplyStatus(const CControlMessage& record);
  void ReplyCounters(const std::vector<std::uint8_t>& u);
  void ReplyMeters(const std::vector<std::uint8_t>& u);
  void ReplyReference(const std::vector<std::uint8_t>& u);
  // One alarm edge: sets or clears the warning bit, logs the line and posts FrameMsg::kPropagateWarning.
  void AlarmEdge(std::uint32_t bit, bool on, const std::string& line);
  // Under the system's lock: each channel's load alarm follows its Check state now (a load fault
  // reported while load monitoring is on), raised or cleared with the load warning bit; returns
  // the log line of each edge. Nothing while no meter reply has been read since the read-out.
  std::vector<std::string> FollowLoadAlarms();
  // UI thread, after a window change: the edges of FollowLoadAlarms logged and propagated, and
  // the channel LEDs refreshed.
  void FollowLoadAlarmsNow();

  // Routes of the control changes (offset: the channel; ZelSeriesChanges.cpp). Each returns
  // whether the file is modified.
  bool ChangeGain(int channel, const CParamValue& value);
  bool ChangeMute(int channel, const CParamValue& value);
  bool ChangeSolo(int channel, const CParamValue& value);
  bool TurnPanelPage(int offset, const CParamValue& value);
  bool ChangeMode(int offset, const CParamValue& value);
  bool ChangeStandby(int offset, const CParamValue& value);
  bool ChangePowerOnDelay(int offset, const CParamValue& value);
  bool ChangeGpio(int offset, const CParamValue& value);
  bool ChangeWindow(int channel, const CParamValue& value);
  bool TakeReference(int channel, const CParamValue& value);
  bool ChangeAlarmTemperature(int offset, const CParamValue& value);
  // A byte setting: stored, then written with the command.
  bool ChangeByte(std::uint8_t& field, std::uint32_t command, const CParamValue& value);
  void RefreshMutesAndSolos();
  void ReleaseSolo();
  // Standby change of a paste or a control: the hold-off and its notices.
  void StartStandbyHoldOff();

  // Records: the stored settings now, and taking loaded ones (gain steps cut to the table).
  ZelSeriesRecord MakeRecord() const;
  void TakeRecord(const ZelSeriesRecord& record);

  std::uint32_t m_displayPage = 0;
  std::atomic<std::int32_t> m_temperature{0};
  std::int32_t m_temperatureByte2 = 0;
  std::uint8_t m_standbyShadow = 0;
  std::array<std::uint8_t, kZelMaxChannels> m_gainIndex{};
  std::array<std::uint8_t, kZelMaxChannels> m_impedanceWindow{};
  std::array<float, kZelMaxChannels> m_referenceImpedance{};
  // The power-on delay, the alarm threshold and the mode come from the unit's reports too: the
  // worker writes them under the system's lock, and window-thread readers lock.
  std::uint8_t m_powerOnDelay = 0;
  std::uint8_t m_alarmTemperature = 0;
  std::uint8_t m_muteMask = 0;
  std::uint8_t m_muteOverride = 0;
  std::atomic<std::uint8_t> m_statusFlags{0};  // read by drawings without the lock
  std::uint32_t m_upTimeCounter1 = 0;
  std::uint32_t m_upTimeCounter2 = 0;
  std::uint16_t m_powerCycleCount = 0;
  std::uint8_t m_counterByte = 0;
  CZelGpioConfig m_gpio;
  std::uint32_t m_limitBits = 15;
  std::uint32_t m_mode = 2;  // locked like m_powerOnDelay
  std::uint8_t m_notInProtect = 1;
  ZelSeriesMeters m_meters;
  CZelLoadAlarms m_loadAlarms;

  // The edits of the property rows reach the fields above and the change path.
  friend class CZelSeriesPropertyEdits;
  CZelSeriesPropertyEdits m_propertyEdits{*this};
};
