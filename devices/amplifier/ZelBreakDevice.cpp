// The Zel breakout box's model: GPIO packing, the parameter table with its current values and
// lists, the write frames of every change, all settings at once, warnings and the lifecycle.
#include "devices/amplifier/ZelBreakDevice.h"

#include <cmath>
#include <mutex>

#include "core/ControlMessage.h"
#include "core/ControlPanel.h"
#include "core/System.h"
#include "core/SystemMessages.h"
#include "devices/amplifier/ZelBreakTile.h"
#include "platform/Clipboard.h"
#include "platform/Sync.h"
#include "platform/WindowMessages.h"

namespace {

// The highest id that link matching walks.
constexpr int kLastLinkableId = 63;
constexpr float kMinGain = -24.0f;

std::atomic<int> g_instances{0};

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

// --- Lifecycle ---

CZelBreakDevice::CZelBreakDevice(CSystem* system, IMessageSink* frame, std::uint32_t typeCode,
                                 std::uint32_t deviceId)
    : CZelBaseDevice(system, frame, typeCode, deviceId) {
  for (int n = 0; n < GetChannelCount(); ++n) m_channelNames[std::size_t(n)] = Numbered("Ch ", n + 1);
}

CZelBreakDevice::~CZelBreakDevice() {
  if (m_counted && --g_instances == 0) ReleaseZelBreakSkins();
  ClearQueue();
}

void CZelBreakDevice::Initialise() {
  CZelBaseDevice::Initialise();
  if (m_counted) return;
  m_counted = true;
  if (g_instances++ == 0) AcquireZelBreakSkins();
}

int CZelBreakDevice::GetInstanceCount() { return g_instances; }

CSize CZelBreakDevice::GetPanelSize() { return CSize{887, 124}; }

void CZelBreakDevice::Reinitialise(std::uint32_t mode) {
  CDevice::Reinitialise(mode);
  m_haveRead = 0;
  if (mode == 1) SendAllSettings();
}

std::string CZelBreakDevice::GetChannelName(int channel) const {
  if (channel < 0 || channel >= kBreakMaxChannels) return "";
  CSingleLock lock(m_system->GetLock());
  return m_channelNames[std::size_t(channel)];
}

std::uint8_t CZelBreakDevice::GetGain(int channel) const {
  if (channel < 0 || channel >= kBreakMaxChannels) return 0;
  CSingleLock lock(m_system->GetLock());
  return m_gains[std::size_t(channel)];
}

void CZelBreakDevice::SetStatusForTests(bool networkActive, bool alarmActive) {
  CSingleLock lock(m_system->GetLock());
  m_networkActive = networkActive;
  m_alarmActive = alarmActive;
}

std::uint32_t CZelBreakDevice::HasWarnings() { return m_warningBits != 0 || m_alarmActive ? 1u : 0u; }

void CZelBreakDevice::OnDisconnected(bool clearWarnings) {
  CZelBaseDevice::OnDisconnected(clearWarnings);
  m_alarmActive = false;
  Post(FrameMsg::kStatusEvent, kBreakHintStatus);
}

std::uint32_t CZelBreakDevice::GetMessageMergeMask(const CControlMessage& message) {
  return message.command >= 1 && message.command <= 16 ? 0x7FFu : 0u;
}

bool CZelBreakDevice::IsReadOutComplete() const {
  const int channels = GetChannelCount();
  if (channels == 0) return false;
  const std::uint32_t names = ((1u << channels) - 1u) * kBreakReadChannel0;
  const std::uint32_t wanted =
      kBreakReadName | names | kBreakReadStatus | kBreakReadIdentity | kBreakReadSettings | kBreakReadNetworkList;
  return (m_haveRead & wanted) == wanted;
}

std::uint32_t CZelBreakDevice::GetClipboardFormat() { return RegisterClipboardFormat("ZelBreakSettings"); }

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
  CSingleLock lock(m_system->GetLock());
  const bool connected = IsConnected();
  if (id >= kBreakParamGain && id < kBreakParamGain + kBreakMaxChannels) {
    const std::uint8_t step = m_gains[std::size_t(id - kBreakParamGain)];
    return CParamValue(id, step == 0 ? 0.0f : -0.5f * float(step), ParamKind::kLevel);  // 0 dB, never -0 dB
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
    case kBreakParamWarnings: return MakeBoolParamValue(id, m_warningBits != 0);
    default: return MakeNoParamValue();
  }
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

void CZelBreakDevice::ListMatchingParameters(const CParamInfo& like, std::vector<CParamInfo>& out) {
  ListMatchingParametersUpTo(kLastLinkableId, like, out);
}

CParamInfo CZelBreakDevice::FindParameter(const CParamInfo& info) { return FindParameterUpTo(kLastLinkableId, info); }

// --- Writes (UI thread) ---

void CZelBreakDevice::Write(std::uint32_t command, const std::vector<std::uint8_t>& payload, bool force) {
  QueueMessage(force, MakeZelWrite(*this, command, payload));
}

void CZelBreakDevice::Refresh(int id) { CDevice::ApplyControlChange(GetCurrentValue(id)); }

void CZelBreakDevice::RefreshRange(int first, int count) {
  for (int i = 0; i < count; ++i) Refresh(first + i);
}

void CZelBreakDevice::ApplyControlChange(const CParamValue& value) {
  const int id = value.id;
  std::unique_lock<CCriticalSection> lock(m_system->GetLock());
  auto release = [&] {
    if (lock.owns_lock()) lock.unlock();
  };

  if (id >= kBreakParamGain && id < kBreakParamGain + kBreakMaxChannels) {
    const auto channel = std::size_t(id - kBreakParamGain);
    const std::uint8_t step = ZelBreakGainToStep(value.value);
    m_gains[channel] = step;
    release();
    Write(kBreakCmdGain, {std::uint8_t(channel), step});
    Refresh(id);
  } else if (id >= kBreakParamMute && id < kBreakParamMute + kBreakMaxChannels) {
    const std::uint32_t bit = 1u << (id - kBreakParamMute);
    if (value.flag != 0)
      m_muteMask |= bit;
    else
      m_muteMask &= ~bit;
    const std::uint32_t mask = m_muteMask;
    release();
    Write(kBreakCmdMute, MuteMaskBytes(mask));
    Refresh(id);
  } else if (id >= kBreakParamChannelName && id < kBreakParamChannelName + kBreakMaxChannels) {
    const auto channel = std::size_t(id - kBreakParamChannelName);
    const std::string text = value.GetText();
    m_channelNames[channel] = text;
    release();
    std::vector<std::uint8_t> payload{std::uint8_t(channel)};
    const std::vector<std::uint8_t> name = ZelPaddedText(text, kBreakChannelNameBytes);
    payload.insert(payload.end(), name.begin(), name.end());
    Write(kBreakCmdChannelName, payload);
    Refresh(id);
  } else if (id == kBreakParamBoxName) {
    const std::string text = value.GetText();
    m_name = text;
    release();
    Write(kBreakCmdBoxName, ZelPaddedText(text, kBreakBoxNameBytes));
    Refresh(id);
    Post(FrameMsg::kRefreshRack);
    Post(FrameMsg::kPanelCaption);
    Post(FrameMsg::kRedrawMeterEntry);
  } else if (id == kBreakParamGpio) {
    const auto gpio = std::uint8_t(value.integer & 0xFF);
    UnpackZelBreakGpioConfig(gpio, m_gpioInputMode, m_gpioOutputMode, m_networkMasterPulse);
    release();
    Write(kBreakCmdGpio, {gpio});
  } else if (id == kBreakParamIdentify) {
    release();
    auto message = std::make_unique<CControlMessage>();
    FillZelIdentityQuery(*message, *this);
    QueueMessage(false, std::move(message));
    return;  // identifying changes nothing in the file
  }
  release();
  m_system->SetModified(true);
}

void CZelBreakDevice::SendAllSettings() {
  std::vector<std::vector<std::uint8_t>> gains;
  std::uint32_t mask = 0;
  std::uint8_t gpio = 0;
  {
    CSingleLock lock(m_system->GetLock());
    for (int c = 0; c < GetChannelCount(); ++c) gains.push_back({std::uint8_t(c), m_gains[std::size_t(c)]});
    mask = m_muteMask;
    gpio = GetGpioByte();
  }
  for (const auto& payload : gains) Write(kBreakCmdGain, payload, true);
  Write(kBreakCmdMute, MuteMaskBytes(mask), true);
  Write(kBreakCmdGpio, {gpio}, true);
}
