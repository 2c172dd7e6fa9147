// The Zel breakout box's model: GPIO packing, the parameter table with its current values and
// lists, the write frames of every change, all settings at once, warnings and the lifecycle.
#include "devices/amplifier/ZelBreakDevice.h"

#include <cmath>

#include "core/protocol/ControlMessage.h"
#include "core/model/ControlPanel.h"
#include "core/model/DeviceHost.h"
#include "core/support/SystemMessages.h"
#include "devices/amplifier/ZelBreakTile.h"
#include "platform/Clipboard.h"
#include "platform/Sync.h"
#include "platform/WindowMessages.h"

namespace {

// The highest id that link matching walks.
constexpr int kLastLinkableId = 63;
// Queued writes of these commands replace an older one of the same command.
constexpr std::uint32_t kMergeFirst = 1, kMergeLast = 16;
constexpr float kMinGain = -24.0f;

// The mute mask as the mute frame carries it: bits 14 to 20, 7 to 13, 0 to 6.
std::vector<std::uint8_t> MuteMaskBytes(std::uint32_t mask) {
  return {std::uint8_t((mask >> 14) & 0x7F), std::uint8_t((mask >> 7) & 0x7F), std::uint8_t(mask & 0x7F)};
}

std::string Numbered(const char* prefix, int n) { return prefix + std::to_string(n); }

}  // namespace

std::uint8_t PackZelBreakGpioConfig(std::uint32_t input, std::uint32_t output, bool pulse) {
  return std::uint8_t((input + output * 8 + (pulse ? 0x40u : 0u)) & 0xFF);
}

void UnpackZelBreakGpioConfig(std::uint8_t gpio, std::uint32_t& input, std::uint32_t& output, bool& pulse) {
  input = gpio & 0x07u;
  output = (gpio >> 3) & 0x07u;
  pulse = ((gpio >> 6) & 0x01u) != 0;
}

std::uint8_t ZelBreakGainToStep(float dB) {
  const float steps = std::trunc(dB * -2.0f);
  if (!(steps > 0.0f)) return 0;  // 0 dB and above (and not a number)
  return steps >= float(kBreakMaxGain) ? kBreakMaxGain : std::uint8_t(steps);
}

float ZelBreakStepToGain(int step) { return step == 0 ? 0.0f : -0.5f * float(step); }

// --- Lifecycle ---

namespace {
std::atomic<int> g_instances{0};

const ZelFamily kBreakFamily{
    GetZelBreakChannelCount, kBreakMaxChannels, "CZelBreakControlPanel", CSize{887, 124}, "ZelBreakSettings",
    kLastLinkableId, kBreakParamOnline, kBreakParamOffline, kBreakParamWarnings, kMergeFirst, kMergeLast,
    kBreakParamBoxName, kBreakParamChannelName, kBreakParamIdentify, kBreakCmdBoxName,
    kBreakCmdChannelName, /*trimNameLeading=*/false, kBreakReadName,
    kBreakReadChannel0, kBreakReadIdentity, kBreakWarnNotInitialised, kBreakWarnFirmware, kBreakHintNames,
    kBreakPropId, "Device Name", &g_instances, AcquireZelBreakSkins, ReleaseZelBreakSkins};
}  // namespace

CZelBreakDevice::CZelBreakDevice(IDeviceHost* host, IMessageSink* frame, std::uint32_t typeCode,
                                 std::uint32_t deviceId)
    : CZelBaseDevice(host, frame, typeCode, deviceId, kBreakFamily) {}

int CZelBreakDevice::GetInstanceCount() { return g_instances; }

std::uint8_t CZelBreakDevice::GetGain(int channel) const {
  if (channel < 0 || channel >= kBreakMaxChannels) return 0;
  CSingleLock lock(m_host->GetLock());
  return m_gains[std::size_t(channel)];
}

void CZelBreakDevice::SetStatusForTests(bool networkActive, bool alarmActive) {
  CSingleLock lock(m_host->GetLock());
  m_networkActive = networkActive;
  m_alarmActive = alarmActive;
}

std::uint32_t CZelBreakDevice::HasWarnings() { return m_warningBits != 0 || m_alarmActive ? 1u : 0u; }

void CZelBreakDevice::OnDisconnected(bool clearWarnings) {
  CZelBaseDevice::OnDisconnected(clearWarnings);
  m_alarmActive = false;
  Post(FrameMsg::kStatusEvent, kBreakHintStatus);
}

bool CZelBreakDevice::IsReadOutComplete() const {
  const int channels = GetChannelCount();
  if (channels == 0) return false;
  const std::uint32_t names = ((1u << channels) - 1u) * kBreakReadChannel0;
  const std::uint32_t wanted =
      kBreakReadName | names | kBreakReadStatus | kBreakReadIdentity | kBreakReadSettings | kBreakReadNetworkList;
  return (m_haveRead & wanted) == wanted;
}

// --- Parameters ---

CParamInfo CZelBreakDevice::GetParameterAt(int id) {
  const int n = GetChannelCount();
  // A channel's entry of the range from first, for the model's channels only.
  auto channel = [&](int first, const char* name, ParamKind kind, std::uint32_t length, float minimum, bool& in) {
    const int c = id - first + 1;
    in = id >= first && id < first + kBreakMaxChannels;
    if (!in || c > n) return ZelNullParamInfo();
    return MakeZelParamInfo(id, Numbered(name, c), kind, 0, length, 0.0f, minimum);
  };
  bool in = false;
  CParamInfo info = channel(kBreakParamGain, "Gain Channel ", ParamKind::kLevel, 0, kMinGain, in);
  if (!in) info = channel(kBreakParamMute, "Mute Channel ", ParamKind::kBool, 0, 0.0f, in);
  if (!in) info = channel(kBreakParamChannelName, "Channel Name ", ParamKind::kText, kBreakChannelNameBytes, 0.0f, in);
  if (in) return info;
  switch (id) {
    case kBreakParamBoxName: return MakeZelParamInfo(id, "Breakout Box Name", ParamKind::kText, 0, kBreakBoxNameBytes);
    case kBreakParamDeviceActive:
      return MakeZelParamInfo(id, "Device Active", ParamKind::kBool, kParamOptionsStatusIndication);
    case kBreakParamNetworkActive:
      return MakeZelParamInfo(id, "Network Active", ParamKind::kBool, kParamOptionsStatusIndication);
    case kBreakParamIdentify: return MakeZelParamInfo(id, "Identify", ParamKind::kBool, kParamOptionsCommandIndication);
    case kBreakParamOnline:
      return MakeZelParamInfo(id, "Online Status", ParamKind::kBool, kParamOptionsStatusIndication);
    case kBreakParamOffline:
      return MakeZelParamInfo(id, "Offline Status", ParamKind::kBool, kParamOptionsStatusIndication);
    case kBreakParamWarnings:
      return MakeZelParamInfo(id, "Warnings Active", ParamKind::kBool, kParamOptionsStatusIndication);
    default: return ZelNullParamInfo();
  }
}

CParamValue CZelBreakDevice::GetCurrentValue(int id) {
  CSingleLock lock(m_host->GetLock());
  const bool connected = IsConnected();
  if (id >= kBreakParamGain && id < kBreakParamGain + kBreakMaxChannels) {
    return CParamValue(id, ZelBreakStepToGain(m_gains[std::size_t(id - kBreakParamGain)]), ParamKind::kLevel);
  }
  if (id >= kBreakParamMute && id < kBreakParamMute + kBreakMaxChannels)
    return MakeBoolParamValue(id, (m_muteMask >> (id - kBreakParamMute)) & 1u);
  if (id >= kBreakParamChannelName && id < kBreakParamChannelName + kBreakMaxChannels)
    return MakeTextParamValue(id, m_channelNames[std::size_t(id - kBreakParamChannelName)]);
  switch (id) {
    case kBreakParamBoxName: return MakeTextParamValue(id, m_name);
    case kBreakParamDeviceActive:
    case kBreakParamOnline: return MakeBoolParamValue(id, connected);
    case kBreakParamOffline: return MakeBoolParamValue(id, !connected);
    case kBreakParamNetworkActive: return MakeBoolParamValue(id, m_networkActive && connected);
    case kBreakParamIdentify: return MakeBoolParamValue(id, true);
    case kBreakParamWarnings: return MakeBoolParamValue(id, HasWarnings() != 0);
    default: return MakeNoParamValue();
  }
}

float CZelBreakDevice::NudgeLevel(int id, float value, float delta) {
  if (id < kBreakParamGain || id >= kBreakParamGain + kBreakMaxChannels)
    return CZelBaseDevice::NudgeLevel(id, value, delta);
  return NudgeZelStep(value, delta, kBreakMaxGain, [](float dB) { return int(ZelBreakGainToStep(dB)); },
                      ZelBreakStepToGain);
}

void CZelBreakDevice::ListParameters(int controlKind, std::vector<CParamInfo>& out) {
  const int n = GetChannelCount();
  auto add = [&](int id) { out.push_back(GetParameterAt(id)); };
  auto each = [&](int first) {
    for (int c = 0; c < n; ++c) add(first + c);
  };
  switch (controlKind) {
    case 2:  // LED
      for (int id : {kBreakParamOnline, kBreakParamOffline, kBreakParamWarnings, kBreakParamDeviceActive,
                     kBreakParamNetworkActive})
        add(id);
      each(kBreakParamMute);
      break;
    case 3:  // fader
    case 4:  // knob
      each(kBreakParamGain);
      break;
    case 5:  // text
      add(kBreakParamBoxName);
      each(kBreakParamChannelName);
      each(kBreakParamGain);
      break;
    case 8:  // button
      each(kBreakParamMute);
      add(kBreakParamIdentify);
      break;
    default:
      break;
  }
}

// --- Changes (UI thread) ---

bool CZelBreakDevice::ChangeControl(const CParamValue& value) {
  using Route = ZelRoute<bool (CZelBreakDevice::*)(int, const CParamValue&)>;
  static const Route kRoutes[] = {
      {kBreakParamGain, kBreakMaxChannels, &CZelBreakDevice::ChangeGain},
      {kBreakParamMute, kBreakMaxChannels, &CZelBreakDevice::ChangeMute},
      {kBreakParamChannelName, kBreakMaxChannels, &CZelBreakDevice::ChangeChannelName},
      {kBreakParamBoxName, 1, &CZelBreakDevice::ChangeName},
      {kBreakParamGpio, 1, &CZelBreakDevice::ChangeGpio},
      {kBreakParamIdentify, 1, &CZelBreakDevice::Identify},
  };
  // An id of no route changes nothing but still marks the file modified.
  return FollowZelRoute(*this, kRoutes, value.id, value).value_or(true);
}

bool CZelBreakDevice::ChangeGain(int channel, const CParamValue& value) {
  const std::uint8_t step = ZelBreakGainToStep(value.value);
  {
    CSingleLock lock(m_host->GetLock());
    m_gains[std::size_t(channel)] = step;
  }
  Write(kBreakCmdGain, {std::uint8_t(channel), step});
  Refresh(kBreakParamGain + channel);
  return true;
}

bool CZelBreakDevice::ChangeMute(int channel, const CParamValue& value) {
  std::uint32_t mask = 0;
  {
    CSingleLock lock(m_host->GetLock());
    const std::uint32_t bit = 1u << channel;
    m_muteMask = value.flag != 0 ? m_muteMask | bit : m_muteMask & ~bit;
    mask = m_muteMask;
  }
  Write(kBreakCmdMute, MuteMaskBytes(mask));
  Refresh(kBreakParamMute + channel);
  return true;
}

bool CZelBreakDevice::ChangeGpio(int offset, const CParamValue& value) {
  (void)offset;
  const auto gpio = std::uint8_t(value.integer & 0xFF);
  {
    CSingleLock lock(m_host->GetLock());
    UnpackZelBreakGpioConfig(gpio, m_gpioInputMode, m_gpioOutputMode, m_networkMasterPulse);
  }
  Write(kBreakCmdGpio, {gpio});
  return true;
}

void CZelBreakDevice::SendAllSettings() {
  std::vector<std::vector<std::uint8_t>> gains;
  std::uint32_t mask = 0;
  std::uint8_t gpio = 0;
  {
    CSingleLock lock(m_host->GetLock());
    for (int c = 0; c < GetChannelCount(); ++c) gains.push_back({std::uint8_t(c), m_gains[std::size_t(c)]});
    mask = m_muteMask;
    gpio = GetGpioByte();
  }
  for (const auto& payload : gains) Write(kBreakCmdGain, payload, true);
  Write(kBreakCmdMute, MuteMaskBytes(mask), true);
  Write(kBreakCmdGpio, {gpio}, true);
}
