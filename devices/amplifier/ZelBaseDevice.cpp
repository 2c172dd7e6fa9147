// Base of the Zel families: names, frame header, security frames, the identity probe, the poll
// and reply frame of both families, their name and identity replies and the status text.
#include "core/model/DeviceTexts.h"
#include "devices/amplifier/ZelBaseDevice.h"

#include "devices/amplifier/ZelRules.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>

#include "core/protocol/ControlMessage.h"
#include "devices/amplifier/ZelRules.h"
#include "core/protocol/SevenBit.h"
#include "core/support/AppSettings.h"
#include "core/model/DeviceHost.h"
#include "core/support/SystemMessages.h"
#include "core/file/TextConversion.h"
#include "core/file/VersionTable.h"
#include "core/model/DeviceMenu.h"
#include "platform/Archive.h"
#include "platform/Clipboard.h"
#include "platform/Clock.h"
#include "platform/Sync.h"
#include "platform/WindowMessages.h"

namespace {

constexpr std::uint32_t kSecurityCheckCommand = 60;
constexpr std::uint32_t kSecurityCheckReplyLength = 51;
constexpr std::size_t kPayloadOffset = kZelPayloadOffset;
// Offset and length of the firmware text in the identity reply.
constexpr std::size_t kIdentityFirmwareAt = 19;
constexpr std::size_t kIdentityFirmwareLength = 4;

std::atomic<CZelBaseDevice::FirmwareTableReader> g_firmwareReader{nullptr};

}  // namespace

void FillZelRead(CControlMessage& record, CDevice& device, std::uint32_t command, std::uint32_t replyLength,
                 const std::vector<std::uint8_t>& payload, std::uint32_t argument) {
  const auto length = std::uint32_t(kZelBareReadLength + payload.size());
  record.Set(command, length, replyLength, &device, false, CControlMessage::kDefaultReplyStart, argument, 0);
  device.ReadGuard().StampRead(record);
  for (std::size_t i = 0; i < payload.size(); ++i) record.frame[kPayloadOffset + i] = payload[i];
  BuildZelFrameHeader(record, device.GetTypeCode(), device.GetDeviceId());
}

std::unique_ptr<CControlMessage> MakeZelWrite(CDevice& device, std::uint32_t command,
                                              const std::vector<std::uint8_t>& payload) {
  auto message = std::make_unique<CControlMessage>();
  const auto length = std::uint32_t(kZelBareReadLength + payload.size());
  message->Set(command, length, 0, &device, true, CControlMessage::kDefaultReplyStart, 0, 0);
  for (std::size_t i = 0; i < payload.size(); ++i) message->frame[kPayloadOffset + i] = std::uint8_t(payload[i] & 0x7F);
  BuildZelFrameHeader(*message, device.GetTypeCode(), device.GetDeviceId());
  return message;
}

void FillZelIdentityQuery(CControlMessage& record, CDevice& device) {
  record.Set(kZelIdentityCommand, kZelIdentityLength, kZelIdentityReplyLength, &device, false,
             kZelIdentityReplyStart, 0, 0);
  record.frame[0] = std::uint8_t(kZelIdentityCommand);
  const std::uint32_t id = device.GetDeviceId();
  for (int i = 0; i < 4; ++i) record.frame[1 + i] = std::uint8_t((id >> (24 - 8 * i)) & 0x7F);
  // The reply names its unit: bytes 3 to 6 are the ID the request names in bytes 1 to 4, so
  // another unit's identity, come late, is never taken for this one's.
  record.replyEchoMask = 0xFu << 1;
  record.replyEchoOffset = 2;
  record.replyEchoNamesUnit = true;
}

std::size_t ZelReceivedBytes(const CControlMessage& record) {
  return std::min<std::size_t>(record.receivedLength, CControlMessage::kFrameSize);
}

std::vector<std::uint8_t> ZelPaddedText(const std::string& text, std::size_t count) {
  std::vector<std::uint8_t> bytes(count, 0x20);
  for (std::size_t i = 0; i < count && i < text.size(); ++i) bytes[i] = std::uint8_t(text[i]);
  return bytes;
}

std::string ZelTrimmedText(std::string text, bool leading) {
  const auto last = text.find_last_not_of(" \t\r\n");
  text.erase(last == std::string::npos ? 0 : last + 1);
  if (leading) text.erase(0, text.find_first_not_of(" \t\r\n"));
  return text;
}

bool IsZelIdentityReply(const CControlMessage& record) {
  return ZelReceivedBytes(record) >= kIdentityFirmwareAt + kIdentityFirmwareLength && record.frame[0] == 0xB8 &&
         record.frame[1] == 0x00 && record.frame[2] == 0x17;
}

std::string ZelIdentityFirmware(const CControlMessage& record) {
  return ReplyText(record.frame + kIdentityFirmwareAt, kIdentityFirmwareLength);
}

std::vector<std::uint8_t> UnpackZelReply(const CControlMessage& record) {
  const std::size_t received = ZelReceivedBytes(record);
  if (received <= kPayloadOffset) return {};
  // Every group of up to eight packed bytes carries one byte of top bits and up to seven data
  // bytes; a lone trailing top-bit byte carries nothing.
  const int packed = int(received - kPayloadOffset);
  const int count = packed - (packed + 7) / 8;
  if (count <= 0) return {};
  std::vector<std::uint8_t> raw(static_cast<std::size_t>(count));
  Unpack7Bit(record.frame + kPayloadOffset, count, raw.data());
  return raw;
}

bool IsReplyHoldOffActive(CDevice& device) {
  const std::uint32_t start = device.ReplyTimer().GetStart();
  if (start == 0) return false;
  if (GetTickCount() - start < device.ReplyTimer().GetTimeout()) return true;
  device.ReplyTimer().Clear();
  device.Post(FrameMsg::kInvalidatePanel);
  return false;
}

CParamInfo ZelNullParamInfo() {
  CParamInfo info;
  info.name = "NULL";
  return info;
}

CParamInfo MakeZelParamInfo(int id, std::string name, ParamKind kind, std::uint32_t flags, std::uint32_t textLength,
                            float maximum, float minimum) {
  CParamInfo info;
  info.name = std::move(name);
  info.kind = kind;
  info.id = id;
  info.maximum = maximum;
  info.minimum = minimum;
  info.textLimit = textLength;
  info.options = flags;
  return info;
}

float NudgeZelStep(float value, float delta, int last, int (*stepOf)(float), float (*levelOf)(int)) {
  const int from = stepOf(value);
  int to = stepOf(value + delta);
  if (to == from && delta != 0.0f) to = std::clamp(from + (delta > 0.0f ? -1 : 1), 0, last);
  return levelOf(to);
}

int GetZelBreakChannelCount(std::uint32_t typeCode) {
  if (typeCode < 34 || typeCode > 47) return 0;
  return typeCode % 2 == 0 ? 8 : 16;
}

std::string ZelBreakGpioInputModeText(std::uint32_t mode) {
  static const char* const kTexts[] = {"Disabled", "Mute Control Only", "Standby Control Only",
                                       "Mute and Standby Control"};
  return mode < 4 ? kTexts[mode] : "";
}

std::string ZelBreakGpioOutputModeText(std::uint32_t mode) {
  static const char* const kTexts[] = {"Disabled",   "Network Error",         "A/P",               "Network or A/P",
                                       "Load Error", "Load or Network Error", "Load Error or A/P", "All"};
  return mode < 8 ? kTexts[mode] : "";
}

void BuildZelFrameHeader(CControlMessage& m, std::uint32_t typeCode, std::uint32_t deviceId) {
  const std::uint32_t length = std::uint32_t(m.FrameBytes());
  if (length < kZelBareReadLength) return;
  m.frame[0] = m.write ? 0xF1 : 0xF0;
  Put14Bit(m.frame + 1, length - 1);
  m.frame[3] = std::uint8_t(typeCode & 0x7F);
  m.frame[4] = std::uint8_t((deviceId >> 24) & 0x7F);
  m.frame[5] = std::uint8_t((deviceId >> 16) & 0x7F);
  m.frame[6] = std::uint8_t((deviceId >> 8) & 0x7F);
  m.frame[7] = std::uint8_t(deviceId & 0x7F);
  m.frame[8] = 0;
  m.frame[9] = std::uint8_t(m.command & 0x7F);
  // A framed reply repeats the unit's ID (bytes 4 to 7) and the command (byte 9).
  m.replyEchoMask = (0xFu << 4) | (1u << 9);
  std::uint32_t sum = m.frame[0];
  for (std::uint32_t i = 2; i < length - 1; ++i) sum += m.frame[i];
  m.frame[length - 1] = std::uint8_t(sum & 0x7F);
}

void BuildZelSecurityReadMessage(CControlMessage& record, CDevice& device) {
  record.Set(kSecurityReadCommand, kZelBareReadLength, kSecurityBlockFrameLength, &device, false,
             CControlMessage::kDefaultReplyStart, 0, 0);
  BuildZelFrameHeader(record, device.GetTypeCode(), device.GetDeviceId());
}

void BuildZelSecurityWriteMessage(CControlMessage& record, CDevice& device, const CUserList& users) {
  record.Set(kSecurityWriteCommand, kSecurityBlockFrameLength, 0, &device, true,
             CControlMessage::kDefaultReplyStart, 0, 0);
  CUserTable table{};
  PackUserTable(users, table);
  Pack7Bit(table.data(), int(table.size()), record.frame + kPayloadOffset);
  BuildZelFrameHeader(record, device.GetTypeCode(), device.GetDeviceId());
}

void DecodeZelSecurityBlock(const std::uint8_t* reply, CUserList& users) {
  CUserTable table{};
  Unpack7Bit(reply + kPayloadOffset, int(table.size()), table.data());
  UnpackUserTable(users, table);
}

std::unique_ptr<CControlMessage> MakeZelMuteMessage(CDevice& device, bool mute) {
  auto message = std::make_unique<CControlMessage>();
  message->Set(kSoloCommand, 12, 0, &device, true, CControlMessage::kDefaultReplyStart, 0, 0);
  message->frame[10] = mute ? 1 : 0;
  BuildZelFrameHeader(*message, device.GetTypeCode(), device.GetDeviceId());
  return message;
}

CZelBaseDevice::CZelBaseDevice(IDeviceHost* host, IMessageSink* frame, std::uint32_t typeCode,
                               std::uint32_t deviceId, const ZelFamily& family)
    : CZelFramedDevice(host, frame, typeCode, deviceId, 0, kSecurityCheckCommand, kSecurityCheckReplyLength),
      m_family(family),
      m_channelNames(std::size_t(family.maxChannels)) {
  m_gate = std::make_unique<CZelChangeGate>(*this);
  m_addressRules = std::make_unique<CZelAddressRules>(*this, true);
  for (int n = 0; n < GetChannelCount(); ++n) m_channelNames[std::size_t(n)] = "Ch " + std::to_string(n + 1);
}

CZelBaseDevice::~CZelBaseDevice() {
  if (m_counted && --*m_family.instances == 0) m_family.releaseSkins();
}

void CZelBaseDevice::Initialise() {
  CZelFramedDevice::Initialise();
  if (m_counted) return;
  m_counted = true;
  if ((*m_family.instances)++ == 0) m_family.acquireSkins();
}

std::string CZelBaseDevice::GetModelNameForType(std::uint32_t typeCode) {
  switch (typeCode) {
    case 34: case 36: case 38: return "FennickXB8";
    case 35: case 37: case 39: return "FennickXB16";
    case 40: case 42: case 44: return "XB-08";
    case 41: case 43: case 45: return "XB-16";
    case 46: return "QuillXB8";
    case 47: return "QuillXB16";
    case 51: return "Zel-2";
    case 52: return "Zel-3";
    case 53: return "Zel-4";
    case 54: return "Zel-5";
    case 55: return "Zel-6";
    case 56: return "Zel-1";
    default: return "";
  }
}

void CZelBaseDevice::Reinitialise(std::uint32_t mode) {
  CDevice::Reinitialise(mode);
  m_haveRead = 0;
  // Nothing queued before is sent: the unit gets the file's settings (mode 1) or is read.
  Queue().ClearQueue();
  if (mode == 1) SendAllSettings();
}

std::string CZelBaseDevice::GetChannelName(int channel) const {
  if (channel < 0 || channel >= m_family.maxChannels) return "";
  CSingleLock lock(m_host->GetLock());
  return m_channelNames[std::size_t(channel)];
}

// --- Poll schedule (worker) ---

bool CZelBaseDevice::PollWhileSecurityPending(CControlMessage& record) {
  if (m_pollCounter < kZelProbeTurns) {
    ++m_pollCounter;
    return false;
  }
  m_pollCounter = 0;
  FillSecurityProbe(record);
  return true;
}

bool CZelBaseDevice::PollWhenIdle(CControlMessage& record) {
  if (!IsReadOutComplete()) {
    FillReadOutItem(record);
    return true;
  }
  if (IsReplyHoldOffActive(*this)) return false;
  return PollCycle(record);
}

void CZelBaseDevice::FillSecurityProbe(CControlMessage& record) { FillZelIdentityQuery(record, *this); }

bool CZelBaseDevice::BuildPresenceProbe(CControlMessage& record) {
  FillZelIdentityQuery(record, *this);
  return true;
}

// --- Replies (worker) ---

void CZelBaseDevice::TakeReply(CControlMessage& record) {
  bool before = false, after = false;
  {
    CSingleLock lock(m_host->GetLock());
    if (!TakesReply(record)) return;
    before = IsReadOutComplete();
    // Writes are answered by their ACK only.
    if (!record.write) DecodeReply(record);
    after = IsReadOutComplete();
  }
  // The notices and log lines of the reply go out once the model holds all of it.
  SendNotices();
  if (!after) {
    m_warningBits |= m_family.warnNotInitialised;
    // Widgets bound to "Warnings Active" follow through the frame, never from this thread.
    Post(FrameMsg::kPropagateWarning);
  } else if (!before) {
    m_warningBits &= ~m_family.warnNotInitialised;
    Post(FrameMsg::kRedrawMeterEntry);
    Post(FrameMsg::kRefreshRack);
    Post(FrameMsg::kPropagateWarning);
  }
  UpdateCommsState(true);
}

void CZelBaseDevice::DecodeReply(const CControlMessage& record) {
  switch (record.command) {
    // Names that a change has overtaken are not taken, and are asked again.
    case kZelReadNameCommand:
      if (HasReplyBytes(record, kZelPayloadOffset + kZelNameBytes) && !ReadGuard().LeavesOvertakenReply(record)) ReplyName(record);
      break;
    case kZelReadChannelNameCommand:
      if (HasReplyBytes(record, kZelPayloadOffset + kZelChannelNameBytes) && !ReadGuard().LeavesOvertakenReply(record))
        ReplyChannelName(record);
      break;
    case kZelIdentityCommand: ReplyIdentity(record); break;
    default: DecodeFamilyReply(record); break;
  }
}

bool CZelBaseDevice::HasReplyBytes(const CControlMessage& record, std::size_t needed) {
  if (ZelReceivedBytes(record) >= needed) return true;
  RefuseReply(record, "too short");
  return false;
}

std::optional<std::vector<std::uint8_t>> CZelBaseDevice::UnpackedReply(const CControlMessage& record,
                                                                        std::size_t needed) {
  std::vector<std::uint8_t> payload = UnpackZelReply(record);
  if (payload.size() >= needed) return payload;
  RefuseReply(record, "too short");
  return std::nullopt;
}

void CZelBaseDevice::ReplyName(const CControlMessage& record) {
  // A unit's bytes are character codes 0 to 255, as in its channel names.
  m_name = ZelTrimmedText(Latin1ToUtf8(record.frame + kZelPayloadOffset, kZelNameBytes), m_family.trimNameLeading);
  m_haveRead |= m_family.readName;
  Notify(FrameMsg::kPanelCaption);
  Notify(FrameMsg::kStatusEvent, m_family.hintNames);
  Notify(FrameMsg::kShowDeviceProps, 1);
}

void CZelBaseDevice::ReplyChannelName(const CControlMessage& record) {
  const std::uint32_t channel = record.argument;
  if (channel >= std::uint32_t(m_family.maxChannels)) return RefuseReply(record, "no such channel");
  const std::uint8_t* text = record.frame + kZelPayloadOffset;
  // A unit's bytes are character codes 0 to 255; the model keeps names as UTF-8.
  m_channelNames[channel] = ZelTrimmedText(Latin1ToUtf8(text, kZelChannelNameBytes), false);
  m_haveRead |= m_family.readChannel0 << channel;
  if (int(channel) == GetChannelCount() - 1) {
    Notify(FrameMsg::kStatusEvent, m_family.hintNames);
    Notify(FrameMsg::kShowDeviceProps, 1);
  }
}

void CZelBaseDevice::ReplyIdentity(const CControlMessage& record) {
  if (!IsZelIdentityReply(record)) return RefuseReply(record, "wrong header");
  m_firmwareVersion = ZelIdentityFirmware(record);
  m_haveRead |= m_family.readIdentity;
  // A table without the family's key expects no version: nothing to warn about.
  const std::string expected = ExpectedFirmware();
  if (!expected.empty() && expected != m_firmwareVersion) {
    m_warningBits |= m_family.warnFirmware;
    Log("Firmware Version = v" + m_firmwareVersion + " should be v" + expected + "\n");
    Notify(FrameMsg::kPropagateWarning);
  }
}

void CZelBaseDevice::RefuseReply(const CControlMessage& record, const char* why) {
  ++m_refusedReplies;
  LogUnusedReply(*this, record, why);
}

void CZelBaseDevice::Log(const std::string& line) { m_notices.push_back(Notice{line, 0, 0}); }

void CZelBaseDevice::Notify(std::uint32_t message, LPARAM lParam) { m_notices.push_back(Notice{{}, message, lParam}); }

void CZelBaseDevice::SendNotices() {
  std::vector<Notice> notices;
  notices.swap(m_notices);
  for (const Notice& notice : notices) {
    if (notice.message == 0) {
      if (m_host) m_host->WriteLog(notice.line);
    } else {
      Post(notice.message, notice.lParam);
    }
  }
}

// --- Status text (UI thread) ---

std::string CZelBaseDevice::GetStatusText() {
  if (m_ignored) return "\nDevice Ignored";
  std::string text;
  {
    CSingleLock lock(m_host->GetLock());
    const std::uint32_t bits = m_warningBits;
    if (bits & m_family.warnNotInitialised) text += "\nNot Initialised";
    AppendWarningTexts(bits, text);
  }
  const bool portOpen = m_host && m_host->IsPortOpen();
  if (portOpen && !IsConnected()) text += "\nNot Connected";
  if (portOpen && m_needsInitialisation) text += "\nSecurity checks failed";
  return text;
}

std::string CZelBaseDevice::FirmwareWarningText() const {
  return "\nFirmware Version Warning - currently v" + m_firmwareVersion + " should be v" + ExpectedFirmware();
}

void CZelBaseDevice::SetFirmwareTableReader(FirmwareTableReader reader) { g_firmwareReader = reader; }

std::string CZelBaseDevice::ReadFirmwareTable(const std::string& key) {
  const FirmwareTableReader reader = g_firmwareReader;
  return reader ? reader(key) : ReadIniValue(key);
}

std::uint32_t CZelBaseDevice::GetMessageMergeMask(const CControlMessage& message) {
  return message.command >= m_family.mergeFirst && message.command <= m_family.mergeLast ? 0x7FFu : 0u;
}

// --- Parameters ---

void CZelBaseDevice::ListMatchingParameters(const CParamInfo& like, std::vector<CParamInfo>& out) {
  const bool any = like == ZelNullParamInfo();
  for (int id = 0; id <= m_family.lastLinkableId; ++id) {
    CParamInfo info = GetParameterAt(id);
    if (info.name == "NULL") continue;
    if (!any &&
        (info.kind != like.kind || (info.options & kParamOptionLinkClass) != (like.options & kParamOptionLinkClass) ||
         (info.options & kParamOptionReadOnly)))
      continue;
    out.push_back(std::move(info));
  }
}

CParamInfo CZelBaseDevice::FindParameter(const CParamInfo& info) {
  if (info.id >= 0 && info.id <= m_family.lastLinkableId) {
    CParamInfo entry = GetParameterAt(info.id);
    if (entry.name != "NULL" && entry == info) return entry;
  }
  return ZelNullParamInfo();
}

bool CanPasteAmplifierSettings(CDevice& device) {
  // Online with the unit away, a paste would change the file but not the unit.
  return IsClipboardFormatAvailable(device.GetClipboardFormat()) &&
         CurrentUserHolds(device.GetHost(), kRestrictUseDeviceControls) && !device.HeldValues().IsAwayOnline();
}

void InsertAmplifierMenuItems(CMenu& menu) {
  int pos = menu.FindItem(kCmdEditPaste);
  if (pos < 0) pos = 0;
  menu.InsertItem(++pos, kAmpCmdPasteControls, "Paste Controls Only");
  menu.InsertItem(++pos, kAmpCmdPasteProperties, "Paste Properties Only");
  menu.InsertSeparator(++pos);
  menu.InsertItem(++pos, kAmpCmdIgnoreDevice, "Ignore Device When Online");
}

bool OnAmplifierMenuCommand(CDevice& device, std::uint32_t command) {
  if (command == kAmpCmdPasteControls || command == kAmpCmdPasteProperties) {
    device.PasteFromClipboard(command);
    return true;
  }
  if (command == kAmpCmdIgnoreDevice) device.ToggleIgnored();
  return false;
}

