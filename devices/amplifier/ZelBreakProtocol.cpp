// The Zel breakout box on the bus: the poll schedule with its read-out, the network-master
// list, the reply handlers, the firmware check and the tooltip text. Worker thread unless said.
#include <algorithm>

#include "core/ControlMessage.h"
#include "core/SevenBit.h"
#include "core/System.h"
#include "core/SystemMessages.h"
#include "core/TextConversion.h"
#include "devices/amplifier/ZelBreakDevice.h"
#include "platform/Sync.h"
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
  if (m_system) m_system->CollectZelDeviceIds(types, ids);
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
  if (m_system) m_system->CollectZelDeviceIds(types, ids);
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

bool CZelBreakDevice::GetNextPollMessage(CControlMessage& record) {
  // The base says nothing while ignored or gated, and probes while the security step waits.
  if (m_ignored || IsPollGateSet() || m_needsInitialisation) return CZelBaseDevice::GetNextPollMessage(record);
  if (PopMessage(record)) return true;
  if (!IsReadOutComplete()) {
    FillReadOutItem(record);
    return true;
  }
  if (IsReplyHoldOffActive(*this)) return false;
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

void CZelBreakDevice::ProcessReply(CControlMessage& record) {
  bool before = false;
  {
    CSingleLock lock(m_system->GetLock());
    before = IsReadOutComplete();
    // Writes are answered by their ACK only.
    if (!record.write) {
      const std::size_t received = ZelReceivedBytes(record);
      auto plain = [&](std::size_t needed, void (CZelBreakDevice::*handler)(const CControlMessage&)) {
        if (received < needed) return RefuseReply(record, "too short");
        (this->*handler)(record);
      };
      switch (record.command) {
        case kBreakCmdReadSettings: {
          const std::vector<std::uint8_t> u = UnpackZelReply(record);
          if (u.size() < kSettingsBytes)
            RefuseReply(record, "too short");
          else
            ReplySettings(u);
          break;
        }
        case kBreakCmdReadName:
          plain(kZelPayloadOffset + kBreakBoxNameBytes, &CZelBreakDevice::ReplyName);
          break;
        case kBreakCmdReadStatus: plain(kZelPayloadOffset + 1, &CZelBreakDevice::ReplyStatus); break;
        case kBreakCmdReadChannelName:
          plain(kZelPayloadOffset + kBreakChannelNameBytes, &CZelBreakDevice::ReplyChannelName);
          break;
        case kBreakCmdNetworkList: plain(kZelPayloadOffset + 1, &CZelBreakDevice::ReplyNetworkList); break;
        case kZelIdentityCommand: ReplyIdentity(record); break;
        default: break;
      }
    }
  }
  // The notices and log lines of the reply go out once the model holds all of it.
  SendNotices();
  const bool now = IsReadOutComplete();
  if (!now) {
    m_warningBits |= kBreakWarnNotInitialised;
    // Widgets bound to "Warnings Active" follow through the frame, never from this thread.
    Post(FrameMsg::kPropagateWarning);
  } else if (!before) {
    m_warningBits &= ~kBreakWarnNotInitialised;
    Post(FrameMsg::kRedrawMeterEntry);
    Post(FrameMsg::kRefreshRack);
    Post(FrameMsg::kPropagateWarning);
  }
  UpdateCommsState(true);
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

void CZelBreakDevice::ReplyName(const CControlMessage& record) {
  m_name = ZelTrimmedText(ReplyText(record.frame + kZelPayloadOffset, kBreakBoxNameBytes), false);
  m_haveRead |= kBreakReadName;
  Notify(FrameMsg::kPanelCaption);
  Notify(FrameMsg::kStatusEvent, kBreakHintNames);
  Notify(FrameMsg::kShowDeviceProps, 1);
}

void CZelBreakDevice::ReplyStatus(const CControlMessage& record) {
  const std::uint8_t status = record.frame[kZelPayloadOffset];
  m_networkActive = (status & 0x01) != 0;
  m_alarmActive = (status & 0x02) != 0;
  m_haveRead |= kBreakReadStatus;
}

void CZelBreakDevice::ReplyChannelName(const CControlMessage& record) {
  const std::uint32_t channel = record.argument;
  if (channel >= kBreakMaxChannels) return RefuseReply(record, "no such channel");
  // Each byte is one character code 0 to 255; the model keeps names as UTF-8.
  m_channelNames[channel] =
      ZelTrimmedText(Latin1ToUtf8(record.frame + kZelPayloadOffset, kBreakChannelNameBytes), false);
  m_haveRead |= kBreakReadChannel0 << channel;
  if (int(channel) == GetChannelCount() - 1) {
    Notify(FrameMsg::kStatusEvent, kBreakHintNames);
    Notify(FrameMsg::kShowDeviceProps, 1);
  }
}

void CZelBreakDevice::ReplyNetworkList(const CControlMessage& record) {
  // The unit answers with the number of entries less one; another count means the list it has
  // is not the system's now, and it is sent again.
  const std::size_t count = CountZelDevices();
  if (count > 0 && record.frame[kZelPayloadOffset] == count - 1) m_haveRead |= kBreakReadNetworkList;
}

void CZelBreakDevice::ReplyIdentity(const CControlMessage& record) {
  if (!IsZelIdentityReply(record)) return RefuseReply(record, "wrong header");
  m_firmwareVersion = ZelIdentityFirmware(record);
  m_haveRead |= kBreakReadIdentity;
  // A table without the family's key expects no version: nothing to warn about.
  const std::string expected = ReadFirmwareTable(kFirmwareKey);
  if (!expected.empty() && expected != m_firmwareVersion) {
    m_warningBits |= kBreakWarnFirmware;
    Log("Firmware Version = v" + m_firmwareVersion + " should be v" + expected + "\n");
    Notify(FrameMsg::kPropagateWarning);
  }
}

// --- Tooltip (UI thread) ---

std::string CZelBreakDevice::GetStatusText() {
  if (m_ignored) return "\nDevice Ignored";
  const std::uint32_t bits = m_warningBits;
  std::string text;
  if (bits & kBreakWarnNotInitialised) text += "\nNot Initialised";
  if (bits & kBreakWarnFirmware) {
    std::string firmware;
    {
      CSingleLock lock(m_system->GetLock());
      firmware = m_firmwareVersion;
    }
    text += "\nFirmware Version Warning - currently v" + firmware + " should be v" + ReadFirmwareTable(kFirmwareKey);
  }
  const bool portOpen = m_system && m_system->IsPortOpen();
  if (portOpen && !IsConnected()) text += "\nNot Connected";
  if (portOpen && m_needsInitialisation) text += "\nSecurity checks failed";
  return text;
}
