// The Zel amplifier's changes (UI thread): the routing table of the control changes and the
// write frame of each, all settings at once, solo, global mute and the standby hold-off.
#include <cmath>

#include "core/protocol/ControlMessage.h"
#include "core/model/DeviceHost.h"
#include "core/support/SystemMessages.h"
#include "devices/amplifier/ZelSeriesDevice.h"
#include "devices/amplifier/ZelSeriesPanel.h"
#include "platform/Sync.h"
#include "platform/WindowMessages.h"

void CZelSeriesDevice::RefreshMutesAndSolos() { RefreshEachChannel({kZelParamMute, kZelParamSolo}); }

void CZelSeriesDevice::ReleaseSolo() {
  std::uint8_t mask = 0;
  {
    CSingleLock lock(m_host->GetLock());
    m_muteOverride = 0;
    mask = m_muteMask;
  }
  Write(kZelCmdMute, {mask});
  RefreshMutesAndSolos();
  NotifySoloToOtherDevices(false);
}

void CZelSeriesDevice::StartStandbyHoldOff() {
  if (m_host->IsPortOpen() && IsConnected() && IsReadOutComplete()) {
    ReplyTimer().StartReplyTimer();
    Post(FrameMsg::kStatusEvent, kZelHintStandby);
    Post(FrameMsg::kInvalidatePanel, 1);
  }
}

// --- Control changes: each route stores under the lock, then writes and refreshes ---

bool CZelSeriesDevice::ChangeControl(const CParamValue& value) {
  using Route = ZelRoute<bool (CZelSeriesDevice::*)(int, const CParamValue&)>;
  static const Route kRoutes[] = {
      {kZelParamGain, kZelEachChannel, &CZelSeriesDevice::ChangeGain},
      {kZelParamMute, kZelEachChannel, &CZelSeriesDevice::ChangeMute},
      {kZelParamSolo, kZelEachChannel, &CZelSeriesDevice::ChangeSolo},
      {kZelParamChannelName, kZelEachChannel, &CZelSeriesDevice::ChangeChannelName},
      {kZelParamAmpName, 1, &CZelSeriesDevice::ChangeName},
      {kZelParamPanelPage, 1, &CZelSeriesDevice::TurnPanelPage},
      {kZelParamMode, 1, &CZelSeriesDevice::ChangeMode},
      {kZelParamStandby, 1, &CZelSeriesDevice::ChangeStandby},
      {kZelParamIdentify, 1, &CZelSeriesDevice::Identify},
      {kZelParamPowerOnDelay, 1, &CZelSeriesDevice::ChangePowerOnDelay},
      {kZelParamGpio, 1, &CZelSeriesDevice::ChangeGpio},
      {kZelParamWindow, kZelMaxChannels, &CZelSeriesDevice::ChangeWindow},
      {kZelParamReference, kZelMaxChannels, &CZelSeriesDevice::TakeReference},
      {kZelParamAlarmTemperature, 1, &CZelSeriesDevice::ChangeAlarmTemperature},
  };
  // An id of no route changes nothing but still marks the file modified.
  return FollowZelRoute(*this, kRoutes, value.id, value).value_or(true);
}

bool CZelSeriesDevice::ChangeGain(int channel, const CParamValue& value) {
  const int index = ZelGainToIndex(value.value);
  {
    CSingleLock lock(m_host->GetLock());
    m_gainIndex[std::size_t(channel)] = std::uint8_t(index);
  }
  Write(kZelCmdGain, {std::uint8_t(channel), std::uint8_t(index & 0x7F)});
  Refresh(kZelParamGain + channel);
  return true;
}

bool CZelSeriesDevice::ChangeMute(int channel, const CParamValue& value) {
  // While a solo or the global mute holds the mutes, the stored mask stays and nothing is sent.
  std::optional<std::uint8_t> mask;
  {
    CSingleLock lock(m_host->GetLock());
    if (m_muteOverride == 0) {
      const auto bit = std::uint8_t(1u << channel);
      m_muteMask = value.flag != 0 ? std::uint8_t(m_muteMask | bit) : std::uint8_t(m_muteMask & ~bit);
      mask = m_muteMask;
    }
  }
  if (mask) Write(kZelCmdMute, {*mask});
  Refresh(kZelParamMute + channel);
  return true;
}

bool CZelSeriesDevice::ChangeSolo(int channel, const CParamValue& value) {
  const bool on = value.flag != 0;
  std::uint8_t mute = 0;
  {
    CSingleLock lock(m_host->GetLock());
    if (on) {
      m_muteOverride = std::uint8_t(0x10 + (1u << channel));
      mute = std::uint8_t((1u << channel) ^ 0x0F);
    } else {
      m_muteOverride = 0;
      mute = m_muteMask;
    }
  }
  Write(kZelCmdMute, {mute});
  NotifySoloToOtherDevices(on);
  RefreshMutesAndSolos();
  return true;
}

bool CZelSeriesDevice::TurnPanelPage(int offset, const CParamValue& value) {
  (void)offset;
  (void)value;
  const std::uint32_t pages = GetChannelCount() == 4 ? 3 : 2;
  {
    CSingleLock lock(m_host->GetLock());
    m_displayPage = (m_displayPage + 1) % pages;
  }
  if (IZelSeriesPanel* panel = GetZelPanel()) panel->RefreshInfoDisplay(true);
  return false;  // a page turn leaves the file unmodified
}

bool CZelSeriesDevice::OffersMode(std::uint32_t mode) const {
  return mode == 2 || mode == 3 || (mode == 1 && GetChannelCount() == 2);
}

int CZelSeriesDevice::HiddenChannel(std::uint32_t mode) const {
  return mode == 1 || mode == 3 ? GetChannelCount() - 1 : -1;
}

bool CZelSeriesDevice::ChangeMode(int offset, const CParamValue& value) {
  (void)offset;
  (void)value;
  // A mode that hides the soloed channel's controls ends its solo: nothing on the panel could
  // release it, and every other amplifier would stay muted.
  bool releaseSolo = false;
  std::uint32_t mode = 0;
  {
    CSingleLock lock(m_host->GetLock());
    mode = m_mode;
    const int hidden = HiddenChannel(mode);
    releaseSolo = hidden >= 0 && m_muteOverride == 0x10 + (1u << hidden);
  }
  if (releaseSolo) ReleaseSolo();
  Write(kZelCmdMode, {0, std::uint8_t(mode)});
  RefreshAll({kZelParamMonoLed, kZelParamStereoLed, kZelParamBridgeLed});
  if (IZelSeriesPanel* panel = GetZelPanel()) panel->UpdateStateWidgets();
  return true;
}

bool CZelSeriesDevice::ChangeStandby(int offset, const CParamValue& value) {
  (void)offset;
  const bool on = value.flag != 0;
  bool changed = false;
  {
    CSingleLock lock(m_host->GetLock());
    if (on != IsInStandby()) {
      m_statusFlags = on ? std::uint8_t(m_statusFlags | 0x01) : std::uint8_t(m_statusFlags & ~0x01u);
      changed = true;
    }
  }
  if (changed) {
    Write(kZelCmdStandby, {std::uint8_t(on ? 1 : 0)});
    if (IZelSeriesPanel* panel = GetZelPanel()) {
      panel->RefreshState(true);
      panel->ReleaseActiveWidgetAndRedraw();
    }
    Post(FrameMsg::kRedrawMeterEntry);
    StartStandbyHoldOff();
  }
  RefreshAll({kZelParamStandby, kZelParamActiveLed, kZelParamStandbyLed});
  return true;
}

bool CZelSeriesDevice::ChangeByte(std::uint8_t& field, std::uint32_t command, const CParamValue& value) {
  {
    CSingleLock lock(m_host->GetLock());
    field = std::uint8_t(value.integer);
  }
  Write(command, {std::uint8_t(value.integer)});
  return true;
}

bool CZelSeriesDevice::ChangePowerOnDelay(int offset, const CParamValue& value) {
  (void)offset;
  return ChangeByte(m_powerOnDelay, kZelCmdPowerOnDelay, value);
}

bool CZelSeriesDevice::ChangeGpio(int offset, const CParamValue& value) {
  (void)offset;
  const auto gpio = std::uint8_t(value.integer);
  std::uint8_t vca = 0;
  {
    CSingleLock lock(m_host->GetLock());
    m_gpio = CZelGpioConfig::FromByte(gpio);
    vca = std::uint8_t(m_statusFlags >> 3);
  }
  Write(kZelCmdGpio, {gpio, vca});
  return true;
}

bool CZelSeriesDevice::ChangeWindow(int channel, const CParamValue& value) {
  {
    CSingleLock lock(m_host->GetLock());
    m_impedanceWindow[std::size_t(channel)] = std::uint8_t(value.integer);
  }
  Write(kZelCmdWindow, {std::uint8_t(channel), std::uint8_t(value.integer)});
  FollowLoadAlarmsNow();
  return true;
}

void CZelSeriesDevice::FollowLoadAlarmsNow() {
  std::vector<std::string> lines;
  {
    CSingleLock lock(m_host->GetLock());
    // The meters of a unit no longer connected tell nothing of its load now.
    if (IsConnected()) lines = FollowLoadAlarms();
  }
  for (const std::string& line : lines) {
    m_host->WriteLog(line);
    Post(FrameMsg::kPropagateWarning);
  }
  Post(FrameMsg::kStatusEvent, kZelHintState);
}

bool CZelSeriesDevice::TakeReference(int channel, const CParamValue& value) {
  (void)value;
  const auto c = std::size_t(channel);
  bool taken = false;
  {
    CSingleLock lock(m_host->GetLock());
    const float current = m_meters.outputCurrent[c];
    // A current too small to divide by takes no reference: nothing is stored or sent.
    if (IsConnected() && current >= kZelMinReferenceCurrent) {
      m_referenceImpedance[c] = std::trunc(m_meters.outputVoltage[c] / current * 10.0f) / 10.0f;
      taken = true;
    }
  }
  if (taken) Write(kZelCmdReference, {std::uint8_t(1u << c)});
  return true;
}

bool CZelSeriesDevice::ChangeAlarmTemperature(int offset, const CParamValue& value) {
  (void)offset;
  // A threshold the unit does not take is neither kept nor sent, whoever asks for it.
  if (!IsZelAlarmTemperatureTaken(value.integer)) return false;
  return ChangeByte(m_alarmTemperature, kZelCmdAlarmTemperature, value);
}

// --- All settings, solo and global mute ---

void CZelSeriesDevice::SendAllSettings() {
  std::vector<std::vector<std::uint8_t>> frames;
  std::vector<std::uint32_t> commands;
  {
    CSingleLock lock(m_host->GetLock());
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
    add(kZelCmdGpio, {m_gpio.Byte(), std::uint8_t(m_statusFlags >> 3)});
    // A threshold never set (0) or one the unit does not take stays unsent: the unit keeps its own.
    if (IsZelAlarmTemperatureTaken(m_alarmTemperature)) add(kZelCmdAlarmTemperature, {m_alarmTemperature});
    for (int n = 0; n < kZelMaxChannels; ++n) add(kZelCmdWindow, {std::uint8_t(n), m_impedanceWindow[std::size_t(n)]});
  }
  for (std::size_t i = 0; i < frames.size(); ++i) Write(commands[i], frames[i], true);
}

void CZelSeriesDevice::OnSystemSolo(bool muteAll) {
  bool wasSolo = false;
  std::uint8_t mute = 0x0F;
  {
    CSingleLock lock(m_host->GetLock());
    wasSolo = (m_muteOverride & 0x10) != 0;
    if (wasSolo) m_muteOverride = 0;
  }
  if (wasSolo) RefreshMutesAndSolos();
  {
    CSingleLock lock(m_host->GetLock());
    m_muteOverride = muteAll ? 0x20 : 0;
    if (!muteAll) mute = m_muteMask;
  }
  Write(kZelCmdMute, {mute});
  RefreshMutesAndSolos();
}
