// Base of the Zel breakout boxes and amplifiers: model names, the F0/F1 frame header, the
// read and identity requests, bounded reply unpacking, the reply hold-off, the firmware table,
// the device-security frames and the probe of a device that waits for its security step.
// The poll schedules, records and panels of the two families come with their own code.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/Device.h"
#include "platform/Sync.h"

class CControlMessage;
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
std::vector<std::uint8_t> ZelPaddedText(const std::string& text, std::size_t count);
// A name field of a reply without its trailing white space (and its leading one when asked).
std::string ZelTrimmedText(std::string text, bool leading);

// True while the reply hold-off that CDevice::StartReplyTimer began has not run out; when it
// has, clears its start and posts FrameMsg::kInvalidatePanel (the panel redraw). Worker thread.
bool IsReplyHoldOffActive(CDevice& device);

// Parameter descriptions of the Zel families: the "NULL" entry, and an entry with its kind,
// option word (kParamOption...), text length and range.
CParamInfo ZelNullParamInfo();
CParamInfo MakeZelParamInfo(int id, std::string name, ParamKind kind, std::uint32_t flags = 0,
                            std::uint32_t textLength = 0, float maximum = 0.0f, float minimum = 0.0f);

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
// 0x844C and 0x844D paste with that command (true); 0x844E toggles ignoring: an ignored device
// is re-initialised with the "OnGoOnline" setting, another one disconnected, then the flag is
// inverted and the meter and rack redraws posted (false); other commands false.
bool OnAmplifierMenuCommand(CDevice& device, std::uint32_t command);
// Whether the current user of the system may use device controls.
bool CurrentUserMayUseDeviceControls(const CSystem* system);

inline constexpr std::uint32_t kAmpCmdPasteControls = 0x844C;
inline constexpr std::uint32_t kAmpCmdPasteProperties = 0x844D;
inline constexpr std::uint32_t kAmpCmdIgnoreDevice = 0x844E;

class CZelBaseDevice : public CDevice {
 public:
  CZelBaseDevice(CSystem* system, IMessageSink* frame, std::uint32_t typeCode, std::uint32_t deviceId);
  ~CZelBaseDevice() override;

  // Creates the poll gate (manual reset, not signalled). Called once by the factory.
  virtual void Initialise();

  // "FennickXB8", "XB-16", "Zel-2" ... by type code; empty for other codes.
  static std::string GetModelNameForType(std::uint32_t typeCode);
  std::string GetModelName() override { return GetModelNameForType(m_typeCode); }

  // Worker thread. Nothing while ignored or while the poll gate is signalled; while the
  // security step is pending only the identity query, every 12th turn; then queued messages.
  bool GetNextPollMessage(CControlMessage& record) override;
  // Worker thread, under the system's lock.
  void ProcessReply(CControlMessage& record) override;

  // Security check: command 60, 11 bytes, 51-byte reply.
  bool BuildSecurityCheckMessage(CControlMessage& record) override;
  bool BuildReadSecurityMessage(CControlMessage& record) override;
  bool BuildWriteSecurityMessage(CControlMessage* record, const CUserList* users) override;
  void DecodeSecurityBlock(const std::uint8_t* reply, CUserList& users) override;

  // Mutes every channel (true) or restores the stored mute state (false) by a queued write.
  void OnSystemSolo(bool solo) override;

  // The amplifier families' menu entries and paste rule (above).
  bool CanPaste(std::uint32_t command) override;
  void BuildContextMenu(CMenu& menu, int argument) override;
  bool OnContextMenuCommand(std::uint32_t command, int argument) override;

  // Signalled while a paste rewrites the settings: the poll sends nothing meanwhile.
  CManualResetEvent* GetPollGate() const { return m_pollGate.get(); }
  bool IsPollGateSet() const { return m_pollGate && m_pollGate->IsSet(); }

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
  // The read a device sends every 12th turn while its security step is pending; the worker
  // takes its answer as the cue for that step. The base sends the identity query.
  virtual void FillSecurityProbe(CControlMessage& record);
  // Counts a reply that cannot be used and logs why (comms error log).
  void RefuseReply(const CControlMessage& record, const char* why);
  // Link matching over ids 0 to lastId: every entry that may be linked with like (same kind,
  // same flag bits 0 and 3, not a read-only indication), every entry when like is the "NULL"
  // entry; and the entry equal to info, else the "NULL" entry.
  void ListMatchingParametersUpTo(int lastId, const CParamInfo& like, std::vector<CParamInfo>& out);
  CParamInfo FindParameterUpTo(int lastId, const CParamInfo& info);
  // Property edits both families share. A device ID: refused with "Device ID <n> already in
  // use" while another device has it (0 is always taken); else stored, the rack refreshed and,
  // from the grid, the panel caption too; the file is marked modified. A name: refused when
  // longer than limit bytes (tooLong is the message with a %lld for the limit), else applied as
  // the text parameter. UI thread.
  bool ApplyDeviceIdEdit(std::uint32_t newId, bool grid, std::string& message);
  bool ApplyNameEdit(int parameterId, const std::string& text, std::size_t limit, const char* tooLong,
                     std::string& message);
  // Reply handlers keep their log lines and posts (about the device) in order and send them
  // once the reply is decoded (worker).
  void Log(const std::string& line);
  void Notify(std::uint32_t message, LPARAM lParam = 0);
  void SendNotices();
  std::atomic<std::uint32_t> m_refusedReplies{0};
  std::unique_ptr<CManualResetEvent> m_pollGate;

 private:
  struct Notice {
    std::string line;  // a log line when message is 0
    std::uint32_t message;
    LPARAM lParam;
  };
  std::vector<Notice> m_notices;  // worker: those of the reply being decoded
};
