// The Zel amplifier's model: channels, gain steps, the parameter table with its
// current values and lists, warnings, the read-out state and the lifecycle.
#include "devices/amplifier/ZelSeriesDevice.h"

#include <cmath>

#include "core/protocol/ControlMessage.h"
#include "core/model/ControlPanel.h"
#include "core/model/DeviceHost.h"
#include "core/support/SystemMessages.h"
#include "devices/amplifier/ZelSeriesPanel.h"
#include "devices/amplifier/ZelSeriesTiles.h"
#include "platform/Clipboard.h"
#include "platform/Sync.h"
#include "platform/TextFormat.h"

namespace {

// The highest id that link matching walks.
constexpr int kLastLinkableId = 73;
// Queued writes of these commands replace an older one of the same command.
constexpr std::uint32_t kMergeFirst = 5, kMergeLast = 8;
constexpr float kMinGain = -60.0f;

// Per-channel ranges of the table: first id and the channel of an id in one of them.
bool InRange(int id, int first, int& channel) {
  if (id < first || id >= first + kZelMaxChannels) return false;
  channel = id - first;
  return true;
}

}  // namespace

// --- Free helpers ---

int GetZelSeriesChannelCount(std::uint32_t typeCode) { return typeCode == 55 ? 4 : 2; }

float GetZelGainStepValue(int index) {
  if (index <= 0) return 0.0f;
  if (index <= 12) return -float(index);
  if (index <= 24) return -12.0f - 2.0f * float(index - 12);
  if (index <= 32) return -36.0f - 3.0f * float(index - 24);
  return kMinGain;
}

std::string GetZelGainStepText(int index) {
  if (index < 0 || index >= kZelGainSteps) return "";
  return FormatText("%ddB", int(GetZelGainStepValue(index)));
}

int ZelGainToIndex(float dB) {
  const float whole = std::trunc(dB);
  if (!(whole <= 0.0f)) return 0;  // above 0 dB (and not a number)
  if (whole < kMinGain) return kZelGainSteps - 1;
  for (int i = 0; i < kZelGainSteps - 1; ++i) {
    const float upper = GetZelGainStepValue(i), lower = GetZelGainStepValue(i + 1);
    if (whole == upper) return i;
    if (whole > lower) return upper - whole < whole - lower ? i : i + 1;
  }
  return kZelGainSteps - 1;
}

void DecodeZelSeriesMeters(const std::uint8_t* u, std::size_t length, ZelSeriesMeters& meters) {
  auto at = [&](std::size_t k, std::uint8_t old) { return k < length ? u[k] : old; };
  for (std::size_t n = 0; n < kZelMaxChannels; ++n) {
    if (n < length) meters.outputVoltage[n] = float(u[n]) / 6.0f;
    if (4 + n < length) meters.outputCurrent[n] = float(u[4 + n]) / 124.0f;
  }
  meters.loadFaultBits = at(8, meters.loadFaultBits);
  if (length > 9) {
    meters.loadMonitorState[0] = u[9] & 0x0F;
    meters.loadMonitorState[1] = std::uint8_t(u[9] >> 4);
  }
  if (length > 10) {
    meters.loadMonitorState[2] = u[10] & 0x0F;
    meters.loadMonitorState[3] = std::uint8_t(u[10] >> 4);
  }
}

// --- Lifecycle ---

namespace {
std::atomic<int> g_instances{0};

const ZelFamily kSeriesFamily{
    GetZelSeriesChannelCount, kZelMaxChannels, "CZelSeriesControlPanel", CSize{887, 189}, "ZelSeriesSettings",
    kLastLinkableId, kZelParamOnline, kZelParamOffline, kZelParamWarnings, kMergeFirst, kMergeLast,
    kZelParamAmpName, kZelParamChannelName, kZelParamIdentify, kZelCmdAmpName,
    kZelCmdChannelName, /*trimNameLeading=*/true, kZelReadName, kZelReadChannel0,
    kZelReadIdentity, kZelWarnNotInitialised, kZelWarnFirmware, kZelHintNames, kZelPropId, "Amp Name",
    &g_instances, AcquireZelSeriesSkins, ReleaseZelSeriesSkins};
}  // namespace

CZelSeriesDevice::CZelSeriesDevice(IDeviceHost* host, IMessageSink* frame, std::uint32_t typeCode,
                                   std::uint32_t deviceId)
    : CZelBaseDevice(host, frame, typeCode, deviceId, kSeriesFamily) {
  // Meter readings are no part of the file: their replies are taken without a print.
  m_unitChanges.SetMeterCommands({kZelCmdReadMeters});
}

int CZelSeriesDevice::GetInstanceCount() { return g_instances; }

IZelSeriesPanel* CZelSeriesDevice::GetZelPanel() const {
  return dynamic_cast<IZelSeriesPanel*>(GetControlPanel());
}

// --- Parameters ---

CParamInfo CZelSeriesDevice::GetParameterAt(int id) {
  const int channels = GetChannelCount();
  int n = 0;
  auto channelInfo = [&](const char* suffix, ParamKind kind, std::uint32_t flags, std::uint32_t length = 0,
                         float maximum = 0.0f, float minimum = 0.0f) {
    if (n >= channels) return ZelNullParamInfo();
    return MakeZelParamInfo(id, GetChannelName(n) + suffix, kind, flags, length, maximum, minimum);
  };
  if (InRange(id, kZelParamGain, n)) return channelInfo(" : Gain", ParamKind::kLevel, 0, 0, 0.0f, kMinGain);
  if (InRange(id, kZelParamMute, n)) return channelInfo(" : Mute", ParamKind::kBool, 0);
  if (InRange(id, kZelParamChannelName, n)) return channelInfo(" : Name", ParamKind::kText, 0, 16);
  if (InRange(id, kZelParamLimit, n)) return channelInfo(" : Limit", ParamKind::kBool, kParamOptionsStatusIndication);
  if (InRange(id, kZelParamOk, n)) return channelInfo(" : OK", ParamKind::kBool, kParamOptionsStatusIndication);
  if (InRange(id, kZelParamCheck, n)) return channelInfo(" : Check", ParamKind::kBool, kParamOptionsStatusIndication);
  switch (id) {
    case kZelParamAmpName: return MakeZelParamInfo(id, "Amplifier Name", ParamKind::kText, 0, 40);
    case kZelParamMonoLed: return MakeZelParamInfo(id, "Mono LED", ParamKind::kBool, kParamOptionsStatusIndication);
    case kZelParamStereoLed: return MakeZelParamInfo(id, "Stereo LED", ParamKind::kBool, kParamOptionsStatusIndication);
    case kZelParamBridgeLed: return MakeZelParamInfo(id, "Bridge LED", ParamKind::kBool, kParamOptionsStatusIndication);
    case kZelParamActiveLed: return MakeZelParamInfo(id, "Active LED", ParamKind::kBool, kParamOptionsStatusIndication);
    case kZelParamStandbyLed:
      return MakeZelParamInfo(id, "Standby LED", ParamKind::kBool, kParamOptionsStatusIndication);
    case kZelParamProtectLed:
      return MakeZelParamInfo(id, "Protect LED", ParamKind::kBool, kParamOptionsStatusIndication);
    case kZelParamMode: return MakeZelParamInfo(id, "Mode", ParamKind::kBool, kParamOptionsCommandIndication);
    case kZelParamStandby: return MakeZelParamInfo(id, "Standby", ParamKind::kBool, 0);
    case kZelParamIdentify: return MakeZelParamInfo(id, "Identify", ParamKind::kBool, kParamOptionsCommandIndication);
    case kZelParamOnline: return MakeZelParamInfo(id, "Online Status", ParamKind::kBool, kParamOptionsStatusIndication);
    case kZelParamOffline:
      return MakeZelParamInfo(id, "Offline Status", ParamKind::kBool, kParamOptionsStatusIndication);
    case kZelParamWarnings:
      return MakeZelParamInfo(id, "Warnings Active", ParamKind::kBool, kParamOptionsStatusIndication);
    default: return ZelNullParamInfo();
  }
}

ZelChannelLoad CZelSeriesDevice::GetChannelLoad(int channel) const {
  if (channel < 0 || channel >= kZelMaxChannels) return {};
  const auto n = std::size_t(channel);
  return {((m_meters.loadFaultBits >> channel) & 1u) != 0, m_meters.loadMonitorState[n], m_impedanceWindow[n]};
}

CParamValue CZelSeriesDevice::GetCurrentValue(int id) {
  CSingleLock lock(m_host->GetLock());
  const int channels = GetChannelCount();
  const bool standby = IsInStandby();
  const bool connected = IsConnected();
  const bool solo = (m_muteOverride & 0x10) != 0;
  auto soloed = [&](int n) { return solo && ((m_muteOverride & 0x0F) >> n & 1u) != 0; };
  int n = 0;
  auto perChannel = [&](int first) { return InRange(id, first, n) && n < channels; };
  if (perChannel(kZelParamGain))
    return CParamValue(id, GetZelGainStepValue(m_gainIndex[std::size_t(n)]), ParamKind::kLevel);
  if (perChannel(kZelParamMute)) {
    if (solo) return MakeBoolParamValue(id, !soloed(n));
    if (m_muteOverride & 0x20) return MakeBoolParamValue(id, true);
    return MakeBoolParamValue(id, (m_muteMask >> n) & 1u);
  }
  if (perChannel(kZelParamSolo)) return MakeBoolParamValue(id, soloed(n));
  if (perChannel(kZelParamChannelName)) return MakeTextParamValue(id, m_channelNames[std::size_t(n)]);
  if (perChannel(kZelParamLimit))
    return MakeBoolParamValue(id, ((m_limitBits >> n) & 1u) == 0 && !standby && connected);
  if (perChannel(kZelParamOk)) return MakeBoolParamValue(id, CZelLoadAlarms::IsOk(GetChannelLoad(n)));
  if (perChannel(kZelParamCheck)) return MakeBoolParamValue(id, CZelLoadAlarms::IsCheck(GetChannelLoad(n)));
  switch (id) {
    case kZelParamAmpName: return MakeTextParamValue(id, m_name);
    case kZelParamMonoLed: return MakeBoolParamValue(id, m_mode == 1);
    case kZelParamStereoLed: return MakeBoolParamValue(id, m_mode == 2);
    case kZelParamBridgeLed: return MakeBoolParamValue(id, m_mode == 3);
    case kZelParamActiveLed: return MakeBoolParamValue(id, !standby);
    case kZelParamStandbyLed:
    case kZelParamStandby: return MakeBoolParamValue(id, standby);
    case kZelParamProtectLed: return MakeBoolParamValue(id, m_notInProtect == 0);
    case kZelParamPanelPage:
    case kZelParamIdentify: return MakeBoolParamValue(id, true);
    case kZelParamOnline: return MakeBoolParamValue(id, connected);
    case kZelParamOffline: return MakeBoolParamValue(id, !connected);
    case kZelParamWarnings: return MakeBoolParamValue(id, m_warningBits != 0);
    default: break;
  }
  CParamValue none;
  none.id = 0;
  none.kind = ParamKind::kNone;
  return none;
}

float CZelSeriesDevice::NudgeLevel(int id, float value, float delta) {
  int channel = 0;
  if (!InRange(id, kZelParamGain, channel)) return CZelBaseDevice::NudgeLevel(id, value, delta);
  return NudgeZelStep(value, delta, kZelGainSteps - 1, ZelGainToIndex, GetZelGainStepValue);
}

void CZelSeriesDevice::ListParameters(int controlKind, std::vector<CParamInfo>& out) {
  const int channels = GetChannelCount();
  auto add = [&](int id) { out.push_back(GetParameterAt(id)); };
  auto each = [&](int first) {
    for (int n = 0; n < channels; ++n) add(first + n);
  };
  switch (controlKind) {
    case 2:  // LED
      add(kZelParamOnline);
      add(kZelParamOffline);
      add(kZelParamWarnings);
      each(kZelParamMute);
      each(kZelParamLimit);
      each(kZelParamOk);
      each(kZelParamCheck);
      for (int id : {kZelParamMonoLed, kZelParamStereoLed, kZelParamBridgeLed, kZelParamActiveLed,
                     kZelParamProtectLed, kZelParamStandbyLed})
        add(id);
      break;
    case 3:  // fader
    case 4:  // knob
      each(kZelParamGain);
      break;
    case 5:  // text
      add(kZelParamAmpName);
      each(kZelParamChannelName);
      each(kZelParamGain);
      break;
    case 8:  // button
      add(kZelParamStandby);
      each(kZelParamMute);
      add(kZelParamIdentify);
      break;
    default:
      break;
  }
}

std::uint32_t CZelSeriesDevice::HasWarnings() {
  return m_warningBits != 0 || (m_statusFlags & 0x04) != 0 ? 1u : 0u;
}

void CZelSeriesDevice::OnDisconnected(bool clearWarnings) {
  CZelBaseDevice::OnDisconnected(clearWarnings);
  {
    CSingleLock lock(m_host->GetLock());
    m_statusFlags &= 0x03;
  }
  Post(FrameMsg::kStatusEvent, kZelHintState);
}

bool CZelSeriesDevice::IsReadOutComplete() const {
  std::uint32_t wanted = kZelReadIdentity | kZelReadName | kZelReadChannel0 | (kZelReadChannel0 << 1) |
                         kZelReadReference | kZelReadStatus | kZelReadSettings | kZelReadTemperature;
  if (GetChannelCount() == 4) wanted |= (kZelReadChannel0 << 2) | (kZelReadChannel0 << 3);
  return (m_haveRead & wanted) == wanted;
}

void CZelSeriesDevice::SetMetersForTests(const ZelSeriesMeters& meters) {
  CSingleLock lock(m_host->GetLock());
  m_meters = meters;
}

void CZelSeriesDevice::SetTemperatureForTests(std::int32_t degrees) {
  CSingleLock lock(m_host->GetLock());
  m_temperature = degrees;
}

void CZelSeriesDevice::SetStatusFlagsForTests(std::uint8_t flags) {
  CSingleLock lock(m_host->GetLock());
  m_statusFlags = flags;
}

void CZelSeriesDevice::SetImpedanceWindowForTests(int channel, std::uint8_t percent) {
  CSingleLock lock(m_host->GetLock());
  m_impedanceWindow[std::size_t(channel & 3)] = percent;
}
