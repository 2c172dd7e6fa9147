// Base of the Zel breakout boxes and amplifiers: model names, the F0/F1 frame header, the
// read and identity requests, bounded reply unpacking, the reply hold-off, the firmware table,
// the device-security frames and the probe of a device that waits for its security step; and
// what the two families do alike, told apart by a family table: names, channel names,
// identity, the read-out frame of the poll, reply bookkeeping, the clipboard, the warnings
// text and the property rows and edits of the ID and the names. The poll schedules, records
// and panels of the two families come with their own code.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <utility>
#include <string>
#include <vector>

#include "core/model/Device.h"
#include "devices/amplifier/ZelFramedDevice.h"
#include "platform/Sync.h"

class CControlMessage;
struct CDevicePropertyGroup;
class CMenu;

// Fills bytes 0 to 9 and the checksum of an F0/F1 frame from the message's write flag, command
// and frame length: F0 (read) or F1 (write), the length less one as two 7-bit bytes, the type
// code, the device ID as four 7-bit groups (high first), 0, the command; the last byte is the
// 7-bit sum of bytes 0 to length - 2 without byte 1. The payload from byte 10 is the caller's.
void BuildZelFrameHeader(CControlMessage& message, std::uint32_t typeCode, std::uint32_t deviceId);

// Security frames shared by the Zel families and the Sornic amplifier.
inline constexpr std::uint32_t kSecurityReadCommand = 74;
inline constexpr std::uint32_t kSecurityWriteCommand = 75;
inline constexpr std::uint32_t kSecurityBlockFrameLength = 291;  // header, 280 packed bytes, checksum
inline constexpr std::uint32_t kZelBareReadLength = 11;
inline constexpr std::uint32_t kSoloCommand = 0x20;

// Builds the read of the security block (command 74, 11 bytes, 291-byte reply).
void BuildZelSecurityReadMessage(CControlMessage& record, CDevice& device);
// Builds the write of the security block: the 245-byte user table packed 8-to-7 from byte 10
// (command 75, 291 bytes, ACK awaited).
void BuildZelSecurityWriteMessage(CControlMessage& record, CDevice& device, const CUserList& users);
// Unpacks the 280 packed bytes from reply byte 10 into the 245-byte table and its users.
void DecodeZelSecurityBlock(const std::uint8_t* reply, CUserList& users);
// A queued write of command 0x20 with one byte: 1 mutes every channel, 0 unmutes (the 12-byte
// layout of the global mute, addressed to the device).
std::unique_ptr<CControlMessage> MakeZelMuteMessage(CDevice& device, bool mute);

// Payload offset of every Zel frame, request and reply.
inline constexpr std::size_t kZelPayloadOffset = 10;
inline constexpr std::uint32_t kZelIdentityCommand = 0xB0;
inline constexpr std::uint32_t kZelIdentityLength = 5;
inline constexpr std::uint32_t kZelIdentityReplyLength = 24;
inline constexpr std::uint8_t kZelIdentityReplyStart = 0xB8;
// Reads both families answer alike: the name (51-byte reply) and one channel's name (the
// channel in byte 10, 27-byte reply).
inline constexpr std::uint32_t kZelReadNameCommand = 0x3C;
inline constexpr std::uint32_t kZelReadChannelNameCommand = 0x43;
inline constexpr std::uint32_t kZelNameReplyLength = 51;
inline constexpr std::uint32_t kZelChannelNameReplyLength = 27;
// Bytes of the name fields in the frames.
inline constexpr std::size_t kZelNameBytes = 40;
inline constexpr std::size_t kZelChannelNameBytes = 16;
// Bytes of the clipboard record of either family.
inline constexpr std::size_t kZelClipboardRecordBytes = 28;
using ZelClipboardRecord = std::array<std::uint8_t, kZelClipboardRecordBytes>;

// Fills a read request (F0, no payload beyond what payloadBytes adds to the bare 11 bytes) of
// the command, expecting a reply of replyLength bytes from 0xA8; argument goes back to the
// reply handler. Payload bytes are given in payload (byte 10 onward).
void FillZelRead(CControlMessage& record, CDevice& device, std::uint32_t command, std::uint32_t replyLength,
                 const std::vector<std::uint8_t>& payload = {}, std::uint32_t argument = 0);
// A new queued write (F1) of the command with the payload from byte 10, ACK awaited.
std::unique_ptr<CControlMessage> MakeZelWrite(CDevice& device, std::uint32_t command,
                                              const std::vector<std::uint8_t>& payload);
// The identity query: 0xB0 and the device ID as four 7-bit groups (high first), no checksum;
// 24-byte reply from 0xB8.
void FillZelIdentityQuery(CControlMessage& record, CDevice& device);
// True when a reply of the record starts 0xB8 0x00 0x17 and reaches its firmware text.
bool IsZelIdentityReply(const CControlMessage& record);
// The four firmware characters of an identity reply (bytes 19 to 22).
std::string ZelIdentityFirmware(const CControlMessage& record);

// The packed payload of a reply (bytes 10 up to the last received byte, checksum included),
// unpacked into a buffer of the size the packed bytes give; never reads past what was received
// nor past the frame buffer. Empty when the reply has no payload.
std::vector<std::uint8_t> UnpackZelReply(const CControlMessage& record);
// Bytes of the reply that the transport received, at most the frame buffer.
std::size_t ZelReceivedBytes(const CControlMessage& record);
// The first count bytes of a name, padded with spaces to count (the name fields of the frames).
// The fields carry one 7-bit byte per character, so only a name that the unit's name rules
// (kUnitDeviceNameRule, kZelChannelNameRule) let through reaches a unit as it stands.
std::vector<std::uint8_t> ZelPaddedText(const std::string& text, std::size_t count);
// A name field of a reply without its trailing white space (and its leading one when asked).
std::string ZelTrimmedText(std::string text, bool leading);

// True while the reply hold-off that CReplyTimer::Start began has not run out; when it
// has, clears its start and posts FrameMsg::kInvalidatePanel (the panel redraw). Worker thread.
bool IsReplyHoldOffActive(CDevice& device);

// Parameter descriptions of the Zel families: the "NULL" entry, and an entry with its kind,
// option word (kParamOption...), text length and range.
CParamInfo ZelNullParamInfo();
CParamInfo MakeZelParamInfo(int id, std::string name, ParamKind kind, std::uint32_t flags = 0,
                            std::uint32_t textLength = 0, float maximum = 0.0f, float minimum = 0.0f);

// The level a nudge from value by delta reaches on a table of attenuation steps (step 0 the
// highest level, step last the lowest; stepOf gives a level's step, levelOf a step's level): the
// step of value + delta, or the next step in delta's direction when that is value's own step.
float NudgeZelStep(float value, float delta, int last, int (*stepOf)(float), float (*levelOf)(int));

// Channels of a breakout box by type code: 8 for the even codes 34 to 46, 16 for the odd codes
// 35 to 47, else 0.
int GetZelBreakChannelCount(std::uint32_t typeCode);
// Texts of the breakout box's GPIO modes; empty out of range.
std::string ZelBreakGpioInputModeText(std::uint32_t mode);
std::string ZelBreakGpioOutputModeText(std::uint32_t mode);

// The rack context menu and the paste rule that the amplifier families share. Each device's own
// paste, re-initialisation and clipboard format are reached through its virtual operations.
// True when the clipboard holds the device's format and the current user may use device
// controls (restriction bit 0x02 clear; no current user: false).
bool CanPasteAmplifierSettings(CDevice& device);
// Inserts, below the Paste item (kCmdEditPaste; after the first item when there is none),
// "Paste Controls Only" (0x844C), "Paste Properties Only" (0x844D), a separator and
// "Ignore Device When Online" (0x844E).
void InsertAmplifierMenuItems(CMenu& menu);
// 0x844C and 0x844D paste with that command (true); 0x844E toggles ignoring
// (CDevice::ToggleIgnored; false); other commands false.
bool OnAmplifierMenuCommand(CDevice& device, std::uint32_t command);

inline constexpr std::uint32_t kAmpCmdPasteControls = 0x844C;
inline constexpr std::uint32_t kAmpCmdPasteProperties = 0x844D;
inline constexpr std::uint32_t kAmpCmdIgnoreDevice = 0x844E;

// What sets one Zel family apart where the code of the two is alike.
struct ZelFamily {
  int (*channelCount)(std::uint32_t typeCode);  // channels of a model
  int maxChannels;                                // channel entries the model keeps
  const char* panelClass;
  CSize panelSize;
  const char* clipboardFormat;
  int lastLinkableId;  // link matching walks ids 0 to this
  // Parameter ids of the online, offline and warnings indications.
  int paramOnline;
  int paramOffline;
  int paramWarnings;
  // Queued writes of the commands mergeFirst to mergeLast replace an older one of the same
  // command.
  std::uint32_t mergeFirst;
  std::uint32_t mergeLast;
  // Parameter ids of the name, the first channel name and the identify command, and the write
  // commands of the names.
  int paramName;
  int paramChannelName;
  int paramIdentify;
  std::uint32_t cmdName;
  std::uint32_t cmdChannelName;
  bool trimNameLeading;  // the name reply loses its leading white space too
  // haveRead bits of the name, the first channel name and the identity; warning bits of the
  // incomplete read-out and of a firmware other than the table's; the hint of new names.
  std::uint32_t readName;
  std::uint32_t readChannel0;
  std::uint32_t readIdentity;
  std::uint32_t warnNotInitialised;
  std::uint32_t warnFirmware;
  int hintNames;
  // Property ids of the ID row, and the name row's label.
  std::uint32_t propId;
  const char* nameLabel;
  // The family's tile skins, loaded with the first device that ran Initialise and freed with
  // the last; instances counts those devices.
  std::atomic<int>* instances;
  void (*acquireSkins)();
  void (*releaseSkins)();
};

// One edit of a property row (or list entry): its id, number, text, chosen option (-1: none)
// and whether it came from the grid.
struct ZelPropertyEdit {
  std::uint32_t id;
  std::int64_t number;
  std::string text;
  int selection;
  bool grid;
};

// An entry of a family's routing table: ids first to first + count - 1 (count kZelEachChannel:
// one id per channel of the model) go to handler, which gets the id's offset in the range.
inline constexpr int kZelEachChannel = -1;
template <class H>
struct ZelRoute {
  using Handler = H;
  int first;
  int count;
  Handler handler;
};
// The handler of the route that holds id, called on device with id's offset and args, and
// what it gave; none when no route holds id.
template <class Device, class Handler, std::size_t N, class... Args>
std::optional<bool> FollowZelRoute(Device& device, const ZelRoute<Handler> (&routes)[N], std::int64_t id,
                                   Args&&... args) {
  for (const ZelRoute<Handler>& route : routes) {
    const int count = route.count == kZelEachChannel ? device.GetChannelCount() : route.count;
    if (id >= route.first && id < std::int64_t(route.first) + count)
      return (device.*route.handler)(int(id - route.first), std::forward<Args>(args)...);
  }
  return std::nullopt;
}

// Threads: as each family says; ProcessReply runs on the comms worker under the system's lock,
// the changes, records, properties and status texts on the UI thread.
class CZelBaseDevice : public CZelFramedDevice {
 public:
  // The security check is command 60 with a 51-byte reply.
  CZelBaseDevice(IDeviceHost* host, IMessageSink* frame, std::uint32_t typeCode, std::uint32_t deviceId,
                 const ZelFamily& family);
  // Frees the family's skins with the last device that ran Initialise.
  ~CZelBaseDevice() override;

  // Creates the poll gate and counts the instance; the first instance loads the skins.
  void Initialise() override;

  // "FennickXB8", "XB-16", "Zel-2" ... by type code; empty for other codes.
  static std::string GetModelNameForType(std::uint32_t typeCode);
  std::string GetModelName() override { return GetModelNameForType(m_typeCode); }

  // --- Model ---
  int GetChannelCount() const { return m_family.channelCount(m_typeCode); }
  const char* GetControlPanelClass() override { return m_family.panelClass; }
  CSize GetPanelSize() override { return m_family.panelSize; }
  // The base re-initialisation, the read-out started again, and with mode 1 every setting
  // sent.
  void Reinitialise(std::uint32_t mode) override;
  // Every entry of ids 0 to the family's last linkable one that may be linked with like (same
  // kind, same flag bits 0 and 3, not a read-only indication); every entry when like is the
  // "NULL" entry.
  void ListMatchingParameters(const CParamInfo& like, std::vector<CParamInfo>& out) override;
  // The entry equal to info among those ids, else the "NULL" entry.
  CParamInfo FindParameter(const CParamInfo& info) override;
  int GetOnlineStatusParamId() override { return m_family.paramOnline; }
  int GetOfflineStatusParamId() override { return m_family.paramOffline; }
  int GetWarningStatusParamId() override { return m_family.paramWarnings; }
  std::uint32_t GetMessageMergeMask(const CControlMessage& message) override;
  // A channel's name ("" out of range). Takes the system's lock.
  std::string GetChannelName(int channel) const;
  // Whether every read-out item of the model has been received since the last
  // re-initialisation.
  virtual bool IsReadOutComplete() const = 0;
  std::uint32_t GetHaveRead() const { return m_haveRead; }

  // --- Protocol ---
  // The name and the channel names: refused with the grid's words for a character the field
  // cannot carry or more characters than it holds.
  std::string ControlChangeRefusal(const CParamValue& value) const override;
  // "\nDevice Ignored" alone while ignored; else the warnings ("\nNot Initialised", then the
  // family's), "\nNot Connected" and "\nSecurity checks failed" while the port is open.
  std::string GetStatusText() override;

  // --- Clipboard and menu ---
  void CopyToClipboard(std::uint32_t command) override;
  bool CanCopy(std::uint32_t command) override;
  // Nothing changes where CanPaste refuses (a user without the right to use device controls, a
  // unit away online), nor for data shorter than the record.
  void PasteFromClipboard(std::uint32_t command) override;
  // The format registered under the family's name.
  std::uint32_t GetClipboardFormat() override;
  // The 28-byte clipboard record of the settings now.
  virtual ZelClipboardRecord MakeClipboardRecord() const = 0;
  // The amplifier families' menu entries and paste rule (above).
  bool CanPaste(std::uint32_t command) override;
  void BuildContextMenu(CMenu& menu, int argument) override;
  bool OnContextMenuCommand(std::uint32_t command, int argument) override;
  // The two paste items are enabled as CanPaste(0) says; "Ignore Device When Online" is ticked
  // while the device is ignored.
  void OnUpdateContextMenuCommand(CCmdUI& cmdUI) override;

  // --- Properties ---
  // The property list: the grid's rows and checks in the family's list form; its edit is
  // ValidateProperty.
  void GetProperties(std::vector<CPropertyItem>& items) override;
  virtual CListForm ListForm() const = 0;

  // Reads a key of the firmware version table; the default is ReadIniValue ("Orvak.ini"
  // beside the executable). Null restores the default. Any thread.
  using FirmwareTableReader = std::string (*)(const std::string& key);
  static void SetFirmwareTableReader(FirmwareTableReader reader);
  static std::string ReadFirmwareTable(const std::string& key);

  // Replies that were answered but could not be used (too short for their layout, a wrong
  // header); each is also written to the comms error log.
  std::uint32_t GetRefusedReplyCount() const { return m_refusedReplies; }
  std::uint32_t GetWarningBits() const { return m_warningBits; }
  std::uint32_t GetPollCounter() const { return m_pollCounter; }
  void SetPollCounter(std::uint32_t counter) { m_pollCounter = counter; }

 protected:
  // Worker thread, under the system's lock: the reply decoded (writes are answered by their
  // ACK only), its notices sent, the not-initialised warning set or cleared.
  void TakeReply(CControlMessage& record) override;
  // Queues every setting, forced: the family's own records and re-initialisation send the
  // unit what the file holds. UI thread.
  virtual void SendAllSettings() = 0;
  // The paste of a clipboard record (command 0 all, kAmpCmdPasteControls or
  // kAmpCmdPasteProperties), reached through PasteFromClipboard once CanPaste agrees.
  virtual void PasteRecord(const ZelClipboardRecord& record, std::uint32_t command) = 0;
  // One row's edit; a refused one shows its message at the row. The property list's edit goes
  // through the same rows and checks.
  bool OnPropertyChanged(CDeviceProperty& row) override;
  bool ValidateProperty(CNamedPropertyValue& value) override;
  // The family's routes of the change, then the file marked modified unless the route says
  // the change leaves it alone (a page turn, an identify). UI thread.
  void ApplyControlChange(const CParamValue& value) override;
  // Worker thread. While the security step is pending, the probe every 12th turn.
  bool PollWhileSecurityPending(CControlMessage& record) override;
  // Worker thread. The identity query, which units of both Zel families answer.
  bool BuildPresenceProbe(CControlMessage& record) override;
  // Worker thread. The next read-out item while the read-out is incomplete, nothing during the
  // reply hold-off, else the family's cycle.
  bool PollWhenIdle(CControlMessage& record) override;
  // The read a device sends every 12th turn while its security step is pending; the worker
  // takes its answer as the cue for that step. The base sends the identity query.
  virtual void FillSecurityProbe(CControlMessage& record);
  // The next item of the read-out (worker).
  virtual void FillReadOutItem(CControlMessage& record) = 0;
  // The read of the steady cycle, if any, on this turn (worker).
  virtual bool PollCycle(CControlMessage& record) = 0;
  // The replies only the family has (worker, under the system's lock); the names and the
  // identity are the base's.
  virtual void DecodeFamilyReply(const CControlMessage& record) = 0;
  // The firmware version the table expects of the model; empty: any.
  virtual std::string ExpectedFirmware() const = 0;
  // The family's warning lines after "Not Initialised" (under the system's lock).
  virtual void AppendWarningTexts(std::uint32_t bits, std::string& text) = 0;
  // "\nFirmware Version Warning - currently v<unit's> should be v<table's>".
  std::string FirmwareWarningText() const;
  // Whether the reply holds needed bytes; a shorter one is refused as too short.
  bool HasReplyBytes(const CControlMessage& record, std::size_t needed);
  // The unpacked payload when it holds needed bytes; a shorter one is refused as too short.
  std::optional<std::vector<std::uint8_t>> UnpackedReply(const CControlMessage& record, std::size_t needed);
  // Counts a reply that cannot be used and logs why (comms error log).
  void RefuseReply(const CControlMessage& record, const char* why);
  // Reply handlers keep their log lines and posts (about the device) in order and send them
  // once the reply is decoded (worker).
  void Log(const std::string& line);
  void Notify(std::uint32_t message, LPARAM lParam = 0);

  // The change's route in the family's table; whether it modified the file. UI thread.
  virtual bool ChangeControl(const CParamValue& value) = 0;
  // True for a parameter that only steers the open panel and reaches no unit: it may change
  // while the unit is away online. Base: none.
  virtual bool IsPanelOnlyParameter(int id) const {
    (void)id;
    return false;
  }
  // Routes both families share: a channel's name (offset the channel) and the name are
  // stored, written padded to their fields and refreshed (the name also redraws the rack, the
  // panel caption and the meter entry); a name with a character the field cannot carry is
  // neither stored nor written, and the refresh shows the name held again. Identify queues the
  // identity query and leaves the file alone.
  bool ChangeChannelName(int channel, const CParamValue& value);
  bool ChangeName(int offset, const CParamValue& value);
  bool Identify(int offset, const CParamValue& value);
  // Writes (queued unforced unless force).
  void Write(std::uint32_t command, const std::vector<std::uint8_t>& payload, bool force = false);
  // Passes the current value of the id to the base change path (panels, widgets, links).
  void Refresh(int id);
  void RefreshAll(std::initializer_list<int> ids);
  // Refreshes first + n of every channel n, the ids of one channel together.
  void RefreshEachChannel(std::initializer_list<int> firstIds);

  // Properties. One edit; false with the refusal in message.
  virtual bool ApplyPropertyEdit(const ZelPropertyEdit& edit, std::string& message) = 0;
  // After an accepted edit of the grid, before the row shows it. Base: nothing.
  virtual void OnPropertyApplied(CDeviceProperty& row);
  // The edits both families share, nothing for other ids. A device ID: refused with "Device ID
  // <n> already in use" while another device has it (0 is always taken); else stored, the rack
  // refreshed and, from the grid, the panel caption too; the file is marked modified. A name or
  // channel name: refused when it holds a character the field cannot carry ("Channel name cannot
  // contain "é" - the unit takes ASCII characters only"), or more characters than the field
  // ("Device name too long - 40 characters max"), else applied as the text parameter.
  std::optional<bool> ApplySharedPropertyEdit(const ZelPropertyEdit& edit, std::string& message);
  // The "General" group with the ID, name and firmware rows; and one name row a channel.
  // Under the system's lock.
  std::unique_ptr<CDevicePropertyGroup> MakeGeneralGroup(bool mayEdit) const;
  void AddChannelNameRows(CDevicePropertyGroup& group, bool mayEdit) const;

  const ZelFamily& m_family;
  std::vector<std::string> m_channelNames;  // the family's maximum of channels
  std::atomic<std::uint32_t> m_haveRead{0};
  std::atomic<std::uint32_t> m_refusedReplies{0};

 private:
  void DecodeReply(const CControlMessage& record);
  void ReplyName(const CControlMessage& record);
  void ReplyChannelName(const CControlMessage& record);
  void ReplyIdentity(const CControlMessage& record);
  void SendNotices();

  struct Notice {
    std::string line;  // a log line when message is 0
    std::uint32_t message;
    LPARAM lParam;
  };
  std::vector<Notice> m_notices;  // worker: those of the reply being decoded
  bool m_counted = false;         // counted in the family's instances

  // The tests paste records as the family's code does (tests/support/ModelChanges.h).
  friend class CDeviceTestAccess;
  // The family's gate reads which parameters change nothing (RightsNeededFor).
  friend class CZelChangeGate;
};
