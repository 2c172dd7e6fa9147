// CZelBreakDevice: the Zel network breakout boxes (type codes 34 to 47; 8 channels on the even
// codes, 16 on the odd ones). It holds each channel's attenuation, mute and name, the box name
// and the GPIO configuration, describes its parameters by id, reads the unit out and polls its
// status, keeps the network-master list of the system's Zel units, turns changes into write
// frames, keeps its records (system file, stream, snapshot, clipboard), draws its rack tile and
// fills its property rows.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/model/BlockReceivedWord.h"
#include "devices/amplifier/ZelBaseDevice.h"

// Parameter ids of the family.
enum : int {
  kBreakParamGain = 1,          // 1 to 16
  kBreakParamMute = 17,         // 17 to 32
  kBreakParamChannelName = 33,  // 33 to 48
  kBreakParamBoxName = 49,
  kBreakParamDeviceActive = 50,
  kBreakParamNetworkActive = 51,
  kBreakParamGpio = 59,  // reached from the property rows only
  kBreakParamIdentify = 60,
  kBreakParamOnline = 73,
  kBreakParamOffline = 74,
  kBreakParamWarnings = 75,
};

// Commands of the family.
enum : std::uint32_t {
  kBreakCmdGain = 8,
  kBreakCmdMute = 9,
  kBreakCmdBoxName = 17,
  kBreakCmdChannelName = 33,
  kBreakCmdGpio = 37,
  kBreakCmdReadSettings = 59,
  kBreakCmdReadName = kZelReadNameCommand,
  kBreakCmdReadStatus = 63,
  kBreakCmdReadChannelName = kZelReadChannelNameCommand,
  kBreakCmdNetworkList = 70,
};

// Whole reply lengths of the reads.
enum : std::uint32_t {
  kBreakReplySettings = 33,
  kBreakReplyName = kZelNameReplyLength,
  kBreakReplyStatus = 12,
  kBreakReplyChannelName = kZelChannelNameReplyLength,
  kBreakReplyNetworkList = 12,
};

// haveRead bits: the read-out items received since the last re-initialisation.
enum : std::uint32_t {
  kBreakReadName = 1u << 0,
  kBreakReadChannel0 = 1u << 1,  // << channel, 0 to 15
  kBreakReadStatus = 1u << 17,
  kBreakReadIdentity = 1u << 18,
  kBreakReadSettings = 1u << 20,
  kBreakReadNetworkList = 1u << 21,
};

// Warning bits of the family.
enum : std::uint32_t {
  kBreakWarnNotInitialised = 0x01,
  kBreakWarnFirmware = 0x02,
};

// Status hints posted with FrameMsg::kStatusEvent.
enum : int {
  kBreakHintMixer = 103,
  kBreakHintNames = 106,
  kBreakHintStatus = 107,
};

// Property id of the device ID row (the other rows without a parameter have theirs in the
// properties code).
inline constexpr std::uint32_t kBreakPropId = 60;

inline constexpr int kBreakMaxChannels = 16;
inline constexpr std::uint8_t kBreakMaxGain = 48;  // 0.5 dB steps: 0 dB to -24 dB
inline constexpr std::size_t kBreakClipboardRecordSize = kZelClipboardRecordBytes;
inline constexpr std::size_t kBreakSnapshotRecordSize = 21;
inline constexpr std::size_t kBreakChannelNameBytes = kZelChannelNameBytes;
inline constexpr std::size_t kBreakBoxNameBytes = kZelNameBytes;

// GPIO byte: input mode + output mode x 8, + 0x40 for a pulsing network master.
std::uint8_t PackZelBreakGpioConfig(std::uint32_t input, std::uint32_t output, bool pulse);
void UnpackZelBreakGpioConfig(std::uint8_t gpio, std::uint32_t& input, std::uint32_t& output, bool& pulse);
// Attenuation step of a gain in dB: -2 x dB truncated toward zero, held to 0 to 48.
std::uint8_t ZelBreakGainToStep(float dB);
// The gain of an attenuation step: -0.5 dB a step (0 dB, never -0 dB, for step 0).
float ZelBreakStepToGain(int step);

// The settings the system file and streams keep, in their order there.
struct ZelBreakRecord {
  std::string name;
  std::array<std::string, kBreakMaxChannels> channelNames;
  std::array<std::uint8_t, kBreakMaxChannels> gains{};
  std::uint32_t muteMask = 0;
  std::uint8_t gpio = 0;
};

// Threads: ApplyControlChange, SendAllSettings, the records, tile and properties run on the UI
// thread; GetNextPollMessage and ProcessReply on the comms worker, ProcessReply under the
// system's lock. UI code that writes fields the worker also writes takes the same lock.
class CZelBreakDevice : public CZelBaseDevice, public IBlockReceivedWord {
 public:
  CZelBreakDevice(IDeviceHost* host, IMessageSink* frame, std::uint32_t typeCode, std::uint32_t deviceId);

  // Boxes alive that ran Initialise.
  static int GetInstanceCount();

  // --- Model ---
  CParamInfo GetParameterAt(int id) override;
  CParamValue GetCurrentValue(int id) override;
  // A gain moves along the unit's 0.5 dB steps.
  float NudgeLevel(int id, float value, float delta) override;
  void ListParameters(int controlKind, std::vector<CParamInfo>& out) override;
  std::uint32_t HasWarnings() override;
  void OnDisconnected(bool clearWarnings) override;
  bool IsReadOutComplete() const override;

  // --- Protocol ---
  // The network-master list (command 70) of the system's Zel units now.
  void FillNetworkList(CControlMessage& record);

  // --- Records, clipboard, menu, hints ---
  void Serialize(CArchive& ar) override;
  void SerializeStream(CDataStream& ds) override;
  CSnapshotData* CreateSnapshotData() override;
  void OnStatusEvent(int hint) override;
  // The clipboard record (format "ZelBreakSettings").
  ZelClipboardRecord MakeClipboardRecord() const override;

  // --- Tile ---
  int DrawTile(Graphics* g, const CRect& rect, int blinkPhase) override;

  // --- Properties ---
  void FillPropertiesPane(IDevicePropertyGrid& grid) override;

  // --- Fields (read by the panel and tests; the worker writes them under the system's lock) ---
  std::uint8_t GetGain(int channel) const;
  std::uint32_t GetMuteMask() const { return m_muteMask; }
  std::uint32_t GetGpioInputMode() const { return m_gpioInputMode; }
  std::uint32_t GetGpioOutputMode() const { return m_gpioOutputMode; }
  bool IsNetworkMasterPulse() const { return m_networkMasterPulse; }
  std::uint8_t GetGpioByte() const {
    return PackZelBreakGpioConfig(m_gpioInputMode, m_gpioOutputMode, m_networkMasterPulse);
  }
  bool IsNetworkActive() const { return m_networkActive; }
  bool IsAlarmActive() const { return m_alarmActive; }
  // Test access to the status the unit reported (takes the system's lock).
  void SetStatusForTests(bool networkActive, bool alarmActive);

  // Bit 21 marks the network-master list as acknowledged; an autoscan clears it (and bits 24
  // to 31) so the list is sent again. Worker thread.
  void MaskBlockReceivedWord(std::uint32_t keep) override { m_haveRead &= keep; }
  std::uint32_t GetBlockReceivedWord() const override { return m_haveRead; }
  void SetBlockReceivedWord(std::uint32_t word) { m_haveRead = word; }

 protected:
  // Queues, forced, every channel's gain, the mute mask and the GPIO byte.
  void SendAllSettings() override;
  // A box carries no solo: another device's solo sends it nothing.
  void OnSystemSolo(bool solo) override { CDevice::OnSystemSolo(solo); }
  // The paste of the clipboard record: command 0 all, kAmpCmdPasteControls the mixer,
  // kAmpCmdPasteProperties the GPIO.
  void PasteRecord(const ZelClipboardRecord& record, std::uint32_t command) override;
  // A snapshot's image recalled (RecallSnapshotImage).
  void ApplySnapshotData(const CSnapshotData& data) override;
  // The status read (command 63).
  void FillSecurityProbe(CControlMessage& record) override;
  // Polling and replies (worker).
  void FillReadOutItem(CControlMessage& record) override;
  bool PollCycle(CControlMessage& record) override;
  void DecodeFamilyReply(const CControlMessage& record) override;
  std::string ExpectedFirmware() const override;
  void AppendWarningTexts(std::uint32_t bits, std::string& text) override;
  // Changes and property edits by the family's routing tables.
  bool ChangeControl(const CParamValue& value) override;
  bool ApplyPropertyEdit(const ZelPropertyEdit& edit, std::string& message) override;
  // The list has the grid's rows and checks; ListForm says where it differs.
  CListForm ListForm() const override;

 private:
  void ReplySettings(const std::vector<std::uint8_t>& u);
  void ReplyStatus(const CControlMessage& record);
  void ReplyNetworkList(const CControlMessage& record);
  std::size_t CountZelDevices() const;

  // Routes of the control changes (offset: the channel).
  bool ChangeGain(int channel, const CParamValue& value);
  bool ChangeMute(int channel, const CParamValue& value);
  bool ChangeGpio(int offset, const CParamValue& value);
  // Routes of the property edits: a GPIO mode (offset 0 input, 1 output) and the network
  // master mode. A new choice is stored and the packed byte sent; the same one sends nothing.
  bool EditGpioMode(int offset, const ZelPropertyEdit& edit, std::string& message);
  bool EditMasterMode(int offset, const ZelPropertyEdit& edit, std::string& message);

  // Records.
  ZelBreakRecord MakeRecord() const;
  void TakeRecord(const ZelBreakRecord& record);

  std::array<std::uint8_t, kBreakMaxChannels> m_gains{};
  std::uint32_t m_muteMask = 0;
  std::uint32_t m_gpioInputMode = 0;
  std::uint32_t m_gpioOutputMode = 0;
  bool m_networkMasterPulse = false;
  std::atomic<bool> m_networkActive{false};
  std::atomic<bool> m_alarmActive{false};
};
