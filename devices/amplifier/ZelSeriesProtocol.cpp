// The Zel amplifier on the bus: the poll schedule, the reply handlers with their alarm edges and
// log lines, the write frames of every change, all settings at once, solo and global mute, and
// the tooltip text.
#include <cmath>
#include <cstdio>
#include <mutex>

#include "core/ControlMessage.h"
#include "core/SevenBit.h"
#include "core/System.h"
#include "core/SystemMessages.h"
#include "devices/amplifier/ZelSeriesDevice.h"
#include "devices/amplifier/ZelSeriesPanel.h"
#include "platform/Sync.h"
#include "platform/WindowMessages.h"

namespace {

// Periodic cycle: 201 counter values, then the status read (panel open) or a pause.
constexpr std::uint32_t kCycleEnd = 200;
constexpr std::uint32_t kTemperatureEvery = 57;
constexpr std::uint32_t kMetersEvery = 19;
constexpr std::uint32_t kSettingsEvery = 10;
constexpr std::uint32_t kSecurityProbeTurns = 10;

constexpr std::size_t kNameBytes = 40;
constexpr std::size_t kChannelNameBytes = 16;
constexpr std::size_t kSettingsBytes = 13;
constexpr std::size_t kCountersBytes = 11;
constexpr std::size_t kMetersBytes = 11;
constexpr std::size_t kReferenceBytes = 8;

// The degree sign of the temperature texts.
constexpr const char* kDegrees = "\xC2\xBA" "C";

std::string Printf(const char* format, long long a, long long b = 0) {
  char line[200];
  std::snprintf(line, sizeof line, format, a, b);
  return line;
}

}  // namespace

// --- Poll schedule (worker) ---

void CZelSeriesDevice::FillSecurityProbe(CControlMessage& record) {
  FillZelRead(record, *this, kZelCmdReadName, kZelReplyName);
}

bool CZelSeriesDevice::FillReadOutItem(CControlMessage& record) {
  const std::uint32_t have = m_haveRead;
  if (!(have & kZelReadIdentity)) {
    FillZelIdentityQuery(record, *this);
    return true;
  }
  if (!(have & kZelReadName)) {
    FillZelRead(record, *this, kZelCmdReadName, kZelReplyName);
    return true;
  }
  for (int n = 0; n < GetChannelCount(); ++n) {
    if (have & (kZelReadChannel0 << n)) continue;
    FillZelRead(record, *this, kZelCmdReadChannelName, kZelReplyChannelName, {std::uint8_t(n)}, std::uint32_t(n));
    return true;
  }
  if (!(have & kZelReadReference)) {
    FillZelRead(record, *this, kZelCmdReadReference, kZelReplyReference);
    return true;
  }
  if (!(have & kZelReadStatus)) {
    FillZelRead(record, *this, kZelCmdReadStatus, kZelReplyStatus);
    return true;
  }
  if (!(have & kZelReadSettings)) {
    FillZelRead(record, *this, kZelCmdReadSettings, kZelReplySettings);
    return true;
  }
  FillZelRead(record, *this, kZelCmdReadTemperature, kZelReplyTemperature);
  return true;
}

bool CZelSeriesDevice::GetNextPollMessage(CControlMessage& record) {
  if (m_ignored || IsPollGateSet()) return false;
  if (m_needsInitialisation) {
    if (m_pollCounter > kSecurityProbeTurns) {
      FillSecurityProbe(record);
      m_pollCounter = 0;
      return true;
    }
    ++m_pollCounter;
    return false;
  }
  if (PopMessage(record)) return true;
  if (!IsReadOutComplete()) return FillReadOutItem(record);
  if (IsReplyHoldOffActive(*this)) return false;

  const std::uint32_t c = m_pollCounter;
  if (c > kCycleEnd) {
    m_pollCounter = 0;
    if (!GetControlPanel()) return false;
    FillZelRead(record, *this, kZelCmdReadStatus, kZelReplyStatus);
    return true;
  }
  if (c != 0 && c % kTemperatureEvery == 0)
    FillZelRead(record, *this, kZelCmdReadTemperature, kZelReplyTemperature);
  else if (c != 0 && c % kMetersEvery == 0 && !IsInStandby())
    FillZelRead(record, *this, kZelCmdReadMeters, kZelReplyMeters);
  else if (c % kSettingsEvery == 0)
    FillZelRead(record, *this, kZelCmdReadSettings, kZelReplySettings);
  else
    FillZelRead(record, *this, kZelCmdReadCounters, kZelReplyCounters);
  m_pollCounter = c + 1;
  return true;
}

// --- Replies (worker, under the system's lock) ---

void CZelSeriesDevice::AlarmEdge(std::uint32_t bit, bool on, const std::string& line) {
  if (on)
    m_warningBits |= bit;
  else
    m_warningBits &= ~bit;
  Log(line);
  Notify(FrameMsg::kPropagateWarning);
}

std::string CZelSeriesDevice::ExpectedFirmware() const {
  return ReadFirmwareTable(GetChannelCount() == 4 ? "ZEL_6" : "ZEL_SERIES");
}

void CZelSeriesDevice::ProcessReply(CControlMessage& record) {
  bool before = false, after = false;
  {
    CSingleLock lock(m_system->GetLock());
    before = IsReadOutComplete();
    // Writes are answered by their ACK only.
    if (!record.write) {
      const std::size_t received = ZelReceivedBytes(record);
      auto packed = [&](std::size_t needed, auto handler) {
        const std::vector<std::uint8_t> u = UnpackZelReply(record);
        if (u.size() < needed) return RefuseReply(record, "too short");
        (this->*handler)(u);
      };
      auto plain = [&](std::size_t needed, auto handler) {
        if (received < needed) return RefuseReply(record, "too short");
        (this->*handler)(record);
      };
      switch (record.command) {
        case kZelCmdReadSettings: packed(kSettingsBytes, &CZelSeriesDevice::ReplySettings); break;
        case kZelCmdReadName: plain(kZelPayloadOffset + kNameBytes, &CZelSeriesDevice::ReplyName); break;
        case kZelCmdReadTemperature: plain(kZelPayloadOffset + 2, &CZelSeriesDevice::ReplyTemperature); break;
        case kZelCmdReadStatus: plain(kZelPayloadOffset + 1, &CZelSeriesDevice::ReplyStatus); break;
        case kZelCmdReadCounters: packed(kCountersBytes, &CZelSeriesDevice::ReplyCounters); break;
        case kZelCmdReadChannelName:
          plain(kZelPayloadOffset + kChannelNameBytes, &CZelSeriesDevice::ReplyChannelName);
          break;
        case kZelCmdReadMeters: packed(kMetersBytes, &CZelSeriesDevice::ReplyMeters); break;
        case kZelCmdReadReference: packed(kReferenceBytes, &CZelSeriesDevice::ReplyReference); break;
        case kZelIdentityCommand: ReplyIdentity(record); break;
        default: break;
      }
    }
    after = IsReadOutComplete();
  }
  // The notices and log lines of the reply go out once the model holds all of it.
  SendNotices();
  if (after && !before) {
    m_warningBits &= ~kZelWarnNotInitialised;
    Post(FrameMsg::kRedrawMeterEntry);
    Post(FrameMsg::kRefreshRack);
    Post(FrameMsg::kPropagateWarning);
  } else if (!after) {
    m_warningBits |= kZelWarnNotInitialised;
    Post(FrameMsg::kPropagateWarning);
  }
  UpdateCommsState(true);
}

void CZelSeriesDevice::ReplySettings(const std::vector<std::uint8_t>& u) {
  bool changed = false;
  for (std::size_t n = 0; n < kZelMaxChannels; ++n) {
    const auto index = std::uint8_t(std::min<int>(u[n], kZelGainSteps - 1));
    changed = changed || index != m_gainIndex[n];
    m_gainIndex[n] = index;
    m_impedanceWindow[n] = u[4 + n];
  }
  const std::uint8_t oldDelay = m_powerOnDelay, oldAlarm = m_alarmTemperature, oldGpio = GetGpioByte();
  const std::uint8_t oldFlags = m_statusFlags;
  m_powerOnDelay = u[8];
  m_alarmTemperature = u[9];
  UnpackZelSeriesGpioConfig(u[10], m_gpioInput, m_gpioOutput, m_gpioAuxRelay);
  if ((m_muteOverride & 0x30) == 0) {
    changed = changed || u[11] != m_muteMask;
    m_muteMask = u[11];
  }
  m_statusFlags = u[12];
  m_haveRead |= kZelReadSettings;

  const std::uint8_t standby = m_statusFlags & 0x01;
  const bool edge = standby != m_standbyShadow;
  if (edge) {
    Log(Printf(standby ? "Amplifier ID %lld going into Standby Mode\n"
                       : "Amplifier ID %lld coming out of Standby Mode\n",
               (long long)(std::int32_t(m_deviceId))));
    Notify(FrameMsg::kStatusEvent, kZelHintState);
  }
  if (edge || changed) Notify(FrameMsg::kStatusEvent, kZelHintControls);
  m_standbyShadow = standby;
  if (m_powerOnDelay != oldDelay || m_alarmTemperature != oldAlarm || GetGpioByte() != oldGpio ||
      m_statusFlags != oldFlags)
    Notify(FrameMsg::kShowDeviceProps, 1);
}

void CZelSeriesDevice::ReplyName(const CControlMessage& record) {
  m_name = ZelTrimmedText(ReplyText(record.frame + kZelPayloadOffset, kNameBytes), true);
  m_haveRead |= kZelReadName;
  Notify(FrameMsg::kPanelCaption);
  Notify(FrameMsg::kStatusEvent, kZelHintNames);
  Notify(FrameMsg::kShowDeviceProps, 1);
}

void CZelSeriesDevice::ReplyTemperature(const CControlMessage& record) {
  const std::int32_t t = record.frame[kZelPayloadOffset], second = record.frame[kZelPayloadOffset + 1];
  const bool changed = t != m_temperature || second != m_temperatureByte2;
  m_temperature = t;
  m_temperatureByte2 = second;
  m_haveRead |= kZelReadTemperature;
  const long long id = std::int32_t(m_deviceId);
  auto alarm = [&](std::uint32_t bit, std::int32_t threshold, const char* kind) {
    const bool set = (m_warningBits & bit) != 0;
    const std::string where = std::string(" (") + kind + ") on amp ID %lld, Temp = %lld" + kDegrees + "\n";
    if (t >= threshold && !set)
      AlarmEdge(bit, true, Printf(("Temp warning threshold exceeded alarm level" + where).c_str(), id, t));
    else if (t < threshold && set)
      AlarmEdge(bit, false, Printf(("Temp warning alarm reset" + where).c_str(), id, t));
  };
  alarm(kZelWarnTemperatureSoftware, std::int32_t(m_system ? m_system->GetSettings().temperatureWarning : 70),
        "software");
  alarm(kZelWarnTemperatureHardware, std::int32_t(m_alarmTemperature), "hardware");
  if (changed) {
    Notify(FrameMsg::kStatusEvent, kZelHintInfo);
    Notify(FrameMsg::kRedrawMeterEntry, 1);
  }
}

void CZelSeriesDevice::ReplyStatus(const CControlMessage& record) {
  const std::uint8_t b = record.frame[kZelPayloadOffset];
  if (b != 0) {
    m_limitBits = b & 0x0Fu;
    m_mode = (b >> 4) & 0x03u;
    m_notInProtect = (b >> 6) & 0x01u;
  }
  m_haveRead |= kZelReadStatus;
  const long long id = std::int32_t(m_deviceId);
  const bool flagged = (m_warningBits & kZelWarnProtect) != 0;
  if (m_notInProtect == 0 && !flagged)
    AlarmEdge(kZelWarnProtect, true, Printf("Amplifier ID %lld in Protect Mode\n", id));
  else if (m_notInProtect != 0 && flagged)
    AlarmEdge(kZelWarnProtect, false, Printf("Amplifier ID %lld out of Protect Mode\n", id));
  Notify(FrameMsg::kStatusEvent, kZelHintState);
}

void CZelSeriesDevice::ReplyCounters(const std::vector<std::uint8_t>& u) {
  auto be32 = [&](std::size_t k) {
    return std::uint32_t(u[k]) << 24 | std::uint32_t(u[k + 1]) << 16 | std::uint32_t(u[k + 2]) << 8 | u[k + 3];
  };
  m_upTimeCounter1 = be32(0);
  m_upTimeCounter2 = be32(4);
  m_powerCycleCount = std::uint16_t(u[8] << 8 | u[9]);
  m_counterByte = u[10];
  m_haveRead |= kZelReadCounters;
  Notify(FrameMsg::kStatusEvent, kZelHintInfo);
}

void CZelSeriesDevice::ReplyChannelName(const CControlMessage& record) {
  const std::uint32_t channel = record.argument;
  if (channel >= kZelMaxChannels) return RefuseReply(record, "no such channel");
  m_channelNames[channel] =
      ZelTrimmedText(ReplyText(record.frame + kZelPayloadOffset, kChannelNameBytes), false);
  m_haveRead |= kZelReadChannel0 << channel;
  if (int(channel) == GetChannelCount() - 1) {
    Notify(FrameMsg::kStatusEvent, kZelHintNames);
    Notify(FrameMsg::kShowDeviceProps, 1);
  }
}

void CZelSeriesDevice::ReplyMeters(const std::vector<std::uint8_t>& u) {
  std::array<bool, kZelMaxChannels> before{};
  for (int n = 0; n < kZelMaxChannels; ++n) before[std::size_t(n)] = IsChannelCheck(n);
  DecodeZelSeriesMeters(u.data(), u.size(), m_meters);
  Notify(FrameMsg::kStatusEvent, kZelHintInfo);
  Notify(FrameMsg::kStatusEvent, kZelHintMeters);
  Notify(FrameMsg::kStatusEvent, kZelHintState);
  const long long id = std::int32_t(m_deviceId);
  const bool firstMeters = (m_haveRead & kZelReadMeters) == 0;
  bool anyAlarm = false;
  for (int n = 0; n < kZelMaxChannels; ++n) {
    const bool now = IsChannelCheck(n);
    anyAlarm = anyAlarm || now;
    if (now != before[std::size_t(n)])
      AlarmEdge(kZelWarnLoad, true,
                Printf(now ? "Amplifier ID %lld Load Error on Channel %lld\n"
                           : "Amplifier ID %lld Load Error Cleared on Channel %lld\n",
                       id, n + 1));
    if (now && firstMeters)
      AlarmEdge(kZelWarnLoad, true, Printf("Amplifier ID %lld Load Error on Channel %lld\n", id, n + 1));
  }
  if (!anyAlarm) {
    if (m_warningBits & kZelWarnLoad) Notify(FrameMsg::kPropagateWarning);
    m_warningBits &= ~kZelWarnLoad;
  }
  m_haveRead |= kZelReadMeters;
}

void CZelSeriesDevice::ReplyReference(const std::vector<std::uint8_t>& u) {
  for (std::size_t n = 0; n < kZelMaxChannels; ++n)
    m_referenceImpedance[n] = float(u[2 * n] << 8 | u[2 * n + 1]) / 10.0f;
  m_haveRead |= kZelReadReference;
  Notify(FrameMsg::kShowDeviceProps, 1);
}

void CZelSeriesDevice::ReplyIdentity(const CControlMessage& record) {
  if (!IsZelIdentityReply(record)) return RefuseReply(record, "wrong header");
  m_firmwareVersion = ZelIdentityFirmware(record);
  m_haveRead |= kZelReadIdentity;
  // A table without the family's key expects no version: nothing to warn about.
  const std::string expected = ExpectedFirmware();
  if (!expected.empty() && expected != m_firmwareVersion) {
    m_warningBits |= kZelWarnFirmware;
    Log("Firmware Version = v" + m_firmwareVersion + " should be v" + expected + "\n");
    Notify(FrameMsg::kPropagateWarning);
  }
}

// --- Writes (UI thread) ---

void CZelSeriesDevice::Write(std::uint32_t command, const std::vector<std::uint8_t>& payload, bool force) {
  QueueMessage(force, MakeZelWrite(*this, command, payload));
}

void CZelSeriesDevice::Refresh(int id) { CDevice::ApplyControlChange(GetCurrentValue(id)); }

void CZelSeriesDevice::RefreshAll(std::initializer_list<int> ids) {
  for (int id : ids) Refresh(id);
}

void CZelSeriesDevice::RefreshEachChannel(std::initializer_list<int> firstIds) {
  for (int n = 0; n < GetChannelCount(); ++n)
    for (int first : firstIds) Refresh(first + n);
}

void CZelSeriesDevice::RefreshMutesAndSolos() { RefreshEachChannel({kZelParamMute, kZelParamSolo}); }

void CZelSeriesDevice::ReleaseSolo() {
  std::uint8_t mask = 0;
  {
    CSingleLock lock(m_system->GetLock());
    m_muteOverride = 0;
    mask = m_muteMask;
  }
  Write(kZelCmdMute, {mask});
  RefreshMutesAndSolos();
  m_system->NotifyOtherDevices(this, false);
}

void CZelSeriesDevice::StartStandbyHoldOff() {
  if (m_system->IsPortOpen() && IsConnected() && IsReadOutComplete()) {
    StartReplyTimer();
    Post(FrameMsg::kStatusEvent, kZelHintStandby);
    Post(FrameMsg::kInvalidatePanel, 1);
  }
}

void CZelSeriesDevice::ApplyControlChange(const CParamValue& value) {
  const int id = value.id;
  const int channels = GetChannelCount();
  const bool on = value.flag != 0;
  int n = 0;
  auto channelOf = [&](int first) { return id >= first && id < first + channels && ((n = id - first), true); };
  std::unique_lock<CCriticalSection> lock(m_system->GetLock());
  auto release = [&] {
    if (lock.owns_lock()) lock.unlock();
  };

  if (channelOf(kZelParamGain)) {
    const int index = ZelGainToIndex(value.value);
    m_gainIndex[std::size_t(n)] = std::uint8_t(index);
    release();
    Write(kZelCmdGain, {std::uint8_t(n), std::uint8_t(index & 0x7F)});
    Refresh(id);
  } else if (channelOf(kZelParamMute)) {
    if (m_muteOverride == 0) {
      if (on)
        m_muteMask |= std::uint8_t(1u << n);
      else
        m_muteMask &= std::uint8_t(~(1u << n));
      const std::uint8_t mask = m_muteMask;
      release();
      Write(kZelCmdMute, {mask});
    }
    release();
    Refresh(id);
  } else if (channelOf(kZelParamSolo)) {
    std::uint8_t mute = 0;
    if (on) {
      m_muteOverride = std::uint8_t(0x10 + (1u << n));
      mute = std::uint8_t((1u << n) ^ 0x0F);
    } else {
      m_muteOverride = 0;
      mute = m_muteMask;
    }
    release();
    Write(kZelCmdMute, {mute});
    m_system->NotifyOtherDevices(this, on);
    RefreshMutesAndSolos();
  } else if (channelOf(kZelParamChannelName)) {
    const std::string text = value.GetText();
    m_channelNames[std::size_t(n)] = text;
    release();
    std::vector<std::uint8_t> payload{std::uint8_t(n)};
    const std::vector<std::uint8_t> name = ZelPaddedText(text, 16);
    payload.insert(payload.end(), name.begin(), name.end());
    Write(kZelCmdChannelName, payload);
    Refresh(id);
  } else if (id == kZelParamAmpName) {
    const std::string text = value.GetText();
    m_name = text;
    release();
    Write(kZelCmdAmpName, ZelPaddedText(text, kNameBytes));
    Refresh(id);
    Post(FrameMsg::kRefreshRack);
    Post(FrameMsg::kPanelCaption);
    Post(FrameMsg::kRedrawMeterEntry);
  } else if (id == kZelParamPanelPage) {
    m_displayPage = (m_displayPage + 1) % std::uint32_t(channels == 4 ? 3 : 2);
    release();
    if (IZelSeriesPanel* panel = GetZelPanel()) panel->RefreshInfoDisplay(true);
    return;  // a page turn leaves the file unmodified
  } else if (id == kZelParamMode) {
    const bool releaseSolo = channels == 2 && m_mode == 3 && m_muteOverride == 0x12;
    release();
    if (releaseSolo) ReleaseSolo();
    Write(kZelCmdMode, {0, std::uint8_t(GetMode())});
    RefreshAll({kZelParamMonoLed, kZelParamStereoLed, kZelParamBridgeLed});
    if (IZelSeriesPanel* panel = GetZelPanel()) panel->UpdateStateWidgets();
  } else if (id == kZelParamStandby) {
    const bool standby = IsInStandby();
    if (on != standby) {
      if (on)
        m_statusFlags |= 0x01;
      else
        m_statusFlags &= std::uint8_t(~0x01u);
      release();
      Write(kZelCmdStandby, {std::uint8_t(on ? 1 : 0)});
      if (IZelSeriesPanel* panel = GetZelPanel()) {
        panel->RefreshState(true);
        panel->ReleaseActiveWidgetAndRedraw();
      }
      Post(FrameMsg::kRedrawMeterEntry);
      StartStandbyHoldOff();
    }
    release();
    RefreshAll({kZelParamStandby, kZelParamActiveLed, kZelParamStandbyLed});
  } else if (id == kZelParamIdentify) {
    release();
    auto message = std::make_unique<CControlMessage>();
    FillZelIdentityQuery(*message, *this);
    QueueMessage(false, std::move(message));
    return;  // identifying changes nothing in the file
  } else if (id == kZelParamPowerOnDelay) {
    m_powerOnDelay = std::uint8_t(value.integer);
    release();
    Write(kZelCmdPowerOnDelay, {std::uint8_t(value.integer)});
  } else if (id == kZelParamGpio) {
    const auto gpio = std::uint8_t(value.integer);
    UnpackZelSeriesGpioConfig(gpio, m_gpioInput, m_gpioOutput, m_gpioAuxRelay);
    const std::uint8_t vca = std::uint8_t(m_statusFlags >> 3);
    release();
    Write(kZelCmdGpio, {gpio, vca});
  } else if (id >= kZelParamWindow && id < kZelParamWindow + kZelMaxChannels) {
    release();
    Write(kZelCmdWindow, {std::uint8_t(id - kZelParamWindow), std::uint8_t(value.integer)});
  } else if (id >= kZelParamReference && id < kZelParamReference + kZelMaxChannels) {
    const auto c = std::size_t(id - kZelParamReference);
    const float current = m_meters.outputCurrent[c];
    // A current too small to divide by takes no reference: nothing is stored or sent.
    if (IsConnected() && current >= kZelMinReferenceCurrent) {
      m_referenceImpedance[c] = std::trunc(m_meters.outputVoltage[c] / current * 10.0f) / 10.0f;
      release();
      Write(kZelCmdReference, {std::uint8_t(1u << c)});
    }
  } else if (id == kZelParamAlarmTemperature) {
    m_alarmTemperature = std::uint8_t(value.integer);
    release();
    Write(kZelCmdAlarmTemperature, {std::uint8_t(value.integer)});
  }
  release();
  m_system->SetModified(true);
}

void CZelSeriesDevice::SendAllSettings() {
  std::vector<std::vector<std::uint8_t>> frames;
  std::vector<std::uint32_t> commands;
  {
    CSingleLock lock(m_system->GetLock());
    auto add = [&](std::uint32_t command, std::vector<std::uint8_t> payload) {
      commands.push_back(command);
      frames.push_back(std::move(payload));
    };
    for (int n = 0; n < GetChannelCount(); ++n)
      add(kZelCmdGain, {std::uint8_t(n), std::uint8_t(m_gainIndex[std::size_t(n)] & 0x7F)});
    add(kZelCmdMute, {m_muteMask});
    add(kZelCmdStandby, {std::uint8_t(m_statusFlags & 0x01)});
    add(kZelCmdMode, {0, std::uint8_t(m_mode)});
    add(kZelCmdPowerOnDelay, {m_powerOnDelay});
    add(kZelCmdGpio, {GetGpioByte(), std::uint8_t(m_statusFlags >> 3)});
    add(kZelCmdAlarmTemperature, {m_alarmTemperature});
    for (int n = 0; n < kZelMaxChannels; ++n) add(kZelCmdWindow, {std::uint8_t(n), m_impedanceWindow[std::size_t(n)]});
  }
  for (std::size_t i = 0; i < frames.size(); ++i) Write(commands[i], frames[i], true);
}

void CZelSeriesDevice::OnSystemSolo(bool muteAll) {
  bool wasSolo = false;
  std::uint8_t mute = 0x0F;
  {
    CSingleLock lock(m_system->GetLock());
    wasSolo = (m_muteOverride & 0x10) != 0;
    if (wasSolo) m_muteOverride = 0;
  }
  if (wasSolo) RefreshMutesAndSolos();
  {
    CSingleLock lock(m_system->GetLock());
    m_muteOverride = muteAll ? 0x20 : 0;
    if (!muteAll) mute = m_muteMask;
  }
  Write(kZelCmdMute, {mute});
  RefreshMutesAndSolos();
}

std::string CZelSeriesDevice::GetStatusText() {
  if (m_ignored) return "\nDevice Ignored";
  CSingleLock lock(m_system->GetLock());
  const std::uint32_t bits = m_warningBits;
  const long long t = GetTemperature();
  std::string text;
  if (bits & kZelWarnNotInitialised) text += "\nNot Initialised";
  if (bits & kZelWarnTemperatureSoftware)
    text += Printf((std::string("\nTemperature Warning (Software) - Temp = %lld") + kDegrees).c_str(), t);
  if (bits & kZelWarnTemperatureHardware)
    text += Printf((std::string("\nTemperature Warning (Hardware) - Temp = %lld") + kDegrees).c_str(), t);
  if (bits & kZelWarnFirmware)
    text += "\nFirmware Version Warning - currently v" + GetFirmwareVersion() + " should be v" + ExpectedFirmware();
  if (bits & kZelWarnProtect) text += "\nProtect Warning";
  if (bits & kZelWarnLoad)
    for (int n = 0; n < kZelMaxChannels; ++n)
      if (IsLoadFaultReported(n)) text += Printf("\nLoad Alarm on Channel %lld", n + 1);
  const bool portOpen = m_system && m_system->IsPortOpen();
  if (portOpen && !IsConnected()) text += "\nNot Connected";
  if (portOpen && m_needsInitialisation) text += "\nSecurity checks failed";
  return text;
}
