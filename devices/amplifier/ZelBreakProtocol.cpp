// The Zel breakout box on the bus: the poll schedule with its read-out, the network-master
// list, the reply handlers, the firmware check and the tooltip text. Worker thread unless said.
#include <algorithm>

#include "core/protocol/ControlMessage.h"
#include "core/protocol/SevenBit.h"
#include "core/model/DeviceHost.h"
#include "core/support/SystemMessages.h"
#include "core/file/TextConversion.h"
#include "devices/amplifier/ZelBreakDevice.h"
#include "platform/Sync.h"
#include "platform/TextFormat.h"
#include "platform/WindowMessages.h"

namespace {

// Steady state: the status read on every 11th counter value up to 200.
constexpr std::uint32_t kCycleEnd = 200;
constexpr std::uint32_t kStatusEvery = 11;
// Unpacked bytes of the settings reply: 16 gains, the mute mask high and low, the GPIO byte.
constexpr std::size_t kSettingsBytes = 19;
constexpr std::size_t kNetworkEntryBytes = 5;
constexpr const char* kFirmwareKey = "ZEL_BREAK";

}  // namespace

// --- Poll schedule ---

void CZelBreakDevice::FillSecurityProbe(CControlMessage& record) {
  FillZelRead(record, *this, kBreakCmdReadStatus, kBreakReplyStatus);
}

void CZelBreakDevice::FillNetworkList(CControlMessage& record) {
  std::vector<std::uint32_t> types, ids;
  if (m_host) m_host->CollectZelDeviceIds(types, ids);
  // The frame buffer holds at most this many entries after the header and before the checksum.
  const std::size_t room = (CControlMessage::kFrameSize - kZelBareReadLength) / kNetworkEntryBytes;
  const std::size_t count = std::min(types.size(), room);
  std::vector<std::uint8_t> payload;
  payload.reserve(count * kNetworkEntryBytes);
  for (std::size_t i = 0; i < count; ++i) {
    payload.push_back(std::uint8_t(types[i]));
    for (int shift = 24; shift >= 0; shift -= 8) payload.push_back(std::uint8_t((ids[i] >> shift) & 0x7F));
  }
  FillZelRead(record, *this, kBreakCmdNetworkList, kBreakReplyNetworkList, payload);
}

std::size_t CZelBreakDevice::CountZelDevices() const {
  std::vector<std::uint32_t> types, ids;
  if (m_host) m_host->CollectZelDeviceIds(types, ids);
  return types.size();
}

void CZelBreakDevice::FillReadOutItem(CControlMessage& record) {
  const std::uint32_t have = m_haveRead;
  if (!(have & kBreakReadIdentity)) return FillZelIdentityQuery(record, *this);
  if (!(have & kBreakReadSettings)) return FillZelRead(record, *this, kBreakCmdReadSettings, kBreakReplySettings);
  if (!(have & kBreakReadStatus)) return FillZelRead(record, *this, kBreakCmdReadStatus, kBreakReplyStatus);
  if (!(have & kBreakReadNetworkList)) return FillNetworkList(record);
  if (!(have & kBreakReadName)) return FillZelRead(record, *this, kBreakCmdReadName, kBreakReplyName);
  for (std::uint32_t k = 0; k < kBreakMaxChannels; ++k) {
    if (have & (kBreakReadChannel0 << k)) continue;
    return FillZelRead(record, *this, kBreakCmdReadChannelName, kBreakReplyChannelName, {std::uint8_t(k)}, k);
  }
}

bool CZelBreakDevice::PollCycle(CControlMessage& record) {
  const std::uint32_t c = m_pollCounter;
  if (c > kCycleEnd) {
    m_pollCounter = 0;
    return false;
  }
  m_pollCounter = c + 1;
  if (c % kStatusEvery != 0) return false;
  FillZelRead(record, *this, kBreakCmdReadStatus, kBreakReplyStatus);
  return true;
}

// --- Replies (under the system's lock) ---

void CZelBreakDevice::DecodeFamilyReply(const CControlMessage& record) {
  switch (record.command) {
    // Settings that a change has overtaken are not taken; the read-out asks for them again.
    case kBreakCmdReadSettings:
      if (const auto u = UnpackedReply(record, kSettingsBytes); u && !ReadGuard().LeavesOvertakenReply(record)) ReplySettings(*u);
      break;
    case kBreakCmdReadStatus:
      if (HasReplyBytes(record, kZelPayloadOffset + 1)) ReplyStatus(record);
      break;
    case kBreakCmdNetworkList:
      if (HasReplyBytes(record, kZelPayloadOffset + 1)) ReplyNetworkList(record);
      break;
    default: break;
  }
}

void CZelBreakDevice::ReplySettings(const std::vector<std::uint8_t>& u) {
  bool changed = false;
  for (std::size_t c = 0; c < kBreakMaxChannels; ++c) {
    const std::uint8_t gain = std::min(u[c], kBreakMaxGain);
    changed = changed || gain != m_gains[c];
    m_gains[c] = gain;
  }
  const std::uint32_t mask = std::uint32_t(u[16]) << 8 | u[17];
  changed = changed || mask != m_muteMask;
  m_muteMask = mask;
  UnpackZelBreakGpioConfig(u[18], m_gpioInputMode, m_gpioOutputMode, m_networkMasterPulse);
  m_haveRead |= kBreakReadSettings;
  if (changed) Notify(FrameMsg::kStatusEvent, kBreakHintMixer);
  Notify(FrameMsg::kShowDeviceProps, 1);
}

void CZelBreakDevice::ReplyStatus(const CControlMessage& record) {
  const std::uint8_t status = record.frame[kZelPayloadOffset];
  const bool network = (status & 0x01) != 0, alarm = (status & 0x02) != 0;
  const bool changed = network != m_networkActive || alarm != m_alarmActive || !(m_haveRead & kBreakReadStatus);
  const bool alarmEdge = alarm != m_alarmActive;
  m_networkActive = network;
  m_alarmActive = alarm;
  m_haveRead |= kBreakReadStatus;
  if (alarmEdge) {
    Log(FormatText("Breakout Box ID %d Alarm %s\n", std::int32_t(m_deviceId), alarm ? "Active" : "Cleared"));
    Notify(FrameMsg::kPropagateWarning);
  }
  // The panel's LEDs and the widgets bound to them follow.
  if (changed) Notify(FrameMsg::kStatusEvent, kBreakHintStatus);
}

void CZelBreakDevice::ReplyNetworkList(const CControlMessage& record) {
  // The unit answers with the number of entries less one; another count means the list it has
  // is not the system's now, and it is sent again.
  const std::size_t count = CountZelDevices();
  if (count > 0 && record.frame[kZelPayloadOffset] == count - 1) m_haveRead |= kBreakReadNetworkList;
}

std::string CZelBreakDevice::ExpectedFirmware() const { return ReadFirmwareTable(kFirmwareKey); }

// --- Tooltip (UI thread) ---

void CZelBreakDevice::AppendWarningTexts(std::uint32_t bits, std::string& text) {
  if (bits & kBreakWarnFirmware) text += FirmwareWarningText();
  if (m_alarmActive) text += "\nAlarm Active";
  if (IsConnected() && (m_haveRead & kBreakReadStatus) && !m_networkActive) text += "\nNetwork Not Active";
}
