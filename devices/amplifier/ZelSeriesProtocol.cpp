// The Zel amplifier on the bus: the poll schedule, the reply handlers with their alarm edges and
// log lines, and the warnings of the tooltip text.
#include <cmath>
#include <cstdint>

#include "core/protocol/ControlMessage.h"
#include "core/protocol/SevenBit.h"
#include "core/support/AppSettings.h"
#include "core/model/DeviceHost.h"
#include "core/support/SystemMessages.h"
#include "devices/amplifier/ZelSeriesDevice.h"
#include "devices/amplifier/ZelSeriesPanel.h"
#include "platform/Sync.h"
#include "platform/TextFormat.h"
#include "platform/WindowMessages.h"

namespace {

// Periodic cycle: 201 counter values, then the status read (protect, limits and mode), whether
// or not the panel is open: a unit that goes into protect is noticed with its panel closed.
constexpr std::uint32_t kCycleEnd = 200;
constexpr std::uint32_t kTemperatureEvery = 57;
constexpr std::uint32_t kMetersEvery = 19;
constexpr std::uint32_t kSettingsEvery = 10;

constexpr std::size_t kSettingsBytes = 13;
constexpr std::size_t kCountersBytes = 11;
constexpr std::size_t kMetersBytes = 11;
constexpr std::size_t kReferenceBytes = 8;

// The degree sign of the temperature texts.
constexpr const char* kDegrees = "\xC2\xBA" "C";

}  // namespace

// --- Poll schedule (worker) ---

void CZelSeriesDevice::FillSecurityProbe(CControlMessage& record) {
  FillZelRead(record, *this, kZelCmdReadName, kZelReplyName);
}

void CZelSeriesDevice::FillReadOutItem(CControlMessage& record) {
  const std::uint32_t have = m_haveRead;
  if (!(have & kZelReadIdentity)) return FillZelIdentityQuery(record, *this);
  if (!(have & kZelReadName)) return FillZelRead(record, *this, kZelCmdReadName, kZelReplyName);
  for (int n = 0; n < GetChannelCount(); ++n) {
    if (have & (kZelReadChannel0 << n)) continue;
    return FillZelRead(record, *this, kZelCmdReadChannelName, kZelReplyChannelName, {std::uint8_t(n)},
                       std::uint32_t(n));
  }
  if (!(have & kZelReadReference)) return FillZelRead(record, *this, kZelCmdReadReference, kZelReplyReference);
  if (!(have & kZelReadStatus)) return FillZelRead(record, *this, kZelCmdReadStatus, kZelReplyStatus);
  if (!(have & kZelReadSettings)) return FillZelRead(record, *this, kZelCmdReadSettings, kZelReplySettings);
  FillZelRead(record, *this, kZelCmdReadTemperature, kZelReplyTemperature);
}

bool CZelSeriesDevice::PollCycle(CControlMessage& record) {
  const std::uint32_t c = m_pollCounter;
  if (c > kCycleEnd) {
    m_pollCounter = 0;
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

void CZelSeriesDevice::DecodeFamilyReply(const CControlMessage& record) {
  switch (record.command) {
    // Settings that a change has overtaken are not taken: the periodic read, or the read-out's
    // read asked again, brings them once the change has reached the unit.
    case kZelCmdReadSettings:
      if (const auto u = UnpackedReply(record, kSettingsBytes); u && !ReadGuard().LeavesOvertakenReply(record)) ReplySettings(*u);
      break;
    case kZelCmdReadTemperature:
      if (HasReplyBytes(record, kZelPayloadOffset + 2)) ReplyTemperature(record);
      break;
    case kZelCmdReadStatus:
      if (HasReplyBytes(record, kZelPayloadOffset + 1)) ReplyStatus(record);
      break;
    case kZelCmdReadCounters:
      if (const auto u = UnpackedReply(record, kCountersBytes)) ReplyCounters(*u);
      break;
    case kZelCmdReadMeters:
      if (const auto u = UnpackedReply(record, kMetersBytes)) ReplyMeters(*u);
      break;
    case kZelCmdReadReference:
      if (const auto u = UnpackedReply(record, kReferenceBytes); u && !ReadGuard().LeavesOvertakenReply(record)) ReplyReference(*u);
      break;
    default: break;
  }
}

void CZelSeriesDevice::ReplySettings(const std::vector<std::uint8_t>& u) {
  bool changed = false, windowsChanged = false;
  for (std::size_t n = 0; n < kZelMaxChannels; ++n) {
    const auto index = std::uint8_t(std::min<int>(u[n], kZelGainSteps - 1));
    changed = changed || index != m_gainIndex[n];
    m_gainIndex[n] = index;
    windowsChanged = windowsChanged || u[4 + n] != m_impedanceWindow[n];
    m_impedanceWindow[n] = u[4 + n];
  }
  const std::uint8_t oldDelay = m_powerOnDelay, oldAlarm = m_alarmTemperature, oldGpio = m_gpio.Byte();
  const std::uint8_t oldFlags = m_statusFlags;
  m_powerOnDelay = u[8];
  m_alarmTemperature = u[9];
  m_gpio = CZelGpioConfig::FromByte(u[10]);
  if ((m_muteOverride & 0x30) == 0) {
    changed = changed || u[11] != m_muteMask;
    m_muteMask = u[11];
  }
  m_statusFlags = u[12];
  m_haveRead |= kZelReadSettings;

  const std::uint8_t standby = m_statusFlags & 0x01;
  const bool edge = standby != m_standbyShadow;
  if (edge) {
    Log(FormatText("Amplifier ID %d %s Standby Mode\n", std::int32_t(m_deviceId),
                   standby ? "going into" : "coming out of"));
    Notify(FrameMsg::kStatusEvent, kZelHintState);
  }
  if (edge || changed) Notify(FrameMsg::kStatusEvent, kZelHintControls);
  m_standbyShadow = standby;
  // A window the unit reports switches load monitoring on or off under a fault it reports.
  if (windowsChanged) {
    for (const std::string& line : FollowLoadAlarms()) {
      Log(line);
      Notify(FrameMsg::kPropagateWarning);
    }
    Notify(FrameMsg::kStatusEvent, kZelHintState);
  }
  if (m_powerOnDelay != oldDelay || m_alarmTemperature != oldAlarm || m_gpio.Byte() != oldGpio ||
      m_statusFlags != oldFlags)
    Notify(FrameMsg::kShowDeviceProps, 1);
}

void CZelSeriesDevice::ReplyTemperature(const CControlMessage& record) {
  const std::int32_t t = record.frame[kZelPayloadOffset], second = record.frame[kZelPayloadOffset + 1];
  const bool changed = t != m_temperature || second != m_temperatureByte2;
  m_temperature = t;
  m_temperatureByte2 = second;
  m_haveRead |= kZelReadTemperature;
  const std::int32_t id = std::int32_t(m_deviceId);
  auto alarm = [&](std::uint32_t bit, std::int64_t threshold, const char* kind) {
    const bool set = (m_warningBits & bit) != 0;
    auto line = [&](const char* what) {
      return FormatText("Temp warning %s (%s) on amp ID %d, Temp = %d%s\n", what, kind, id, t, kDegrees);
    };
    if (t >= threshold && !set)
      AlarmEdge(bit, true, line("threshold exceeded alarm level"));
    else if (t < threshold && set)
      AlarmEdge(bit, false, line("alarm reset"));
  };
  // The warning setting is unsigned, and 0 is off: no temperature reaches it, so a raised
  // warning is reset.
  const std::uint32_t warning = m_host ? m_host->GetSettings().temperatureWarning : 70;
  alarm(kZelWarnTemperatureSoftware, warning == 0 ? INT64_MAX : std::int64_t(warning), "software");
  alarm(kZelWarnTemperatureHardware, std::int64_t(m_alarmTemperature), "hardware");
  if (changed) {
    Notify(FrameMsg::kStatusEvent, kZelHintInfo);
    // The thermometer is the whole System Monitor column's meter: the column is drawn again.
    Notify(FrameMsg::kRedrawMeterEntry);
  }
}

void CZelSeriesDevice::ReplyStatus(const CControlMessage& record) {
  const std::uint8_t b = record.frame[kZelPayloadOffset];
  if (b != 0) {
    m_limitBits = b & 0x0Fu;
    // The mode is a setting: one that a change has overtaken stays as the file has it.
    if (!ReadGuard().IsReadOvertaken(record)) m_mode = (b >> 4) & 0x03u;
    m_notInProtect = (b >> 6) & 0x01u;
  }
  m_haveRead |= kZelReadStatus;
  const std::int32_t id = std::int32_t(m_deviceId);
  const bool flagged = (m_warningBits & kZelWarnProtect) != 0;
  if (m_notInProtect == 0 && !flagged)
    AlarmEdge(kZelWarnProtect, true, FormatText("Amplifier ID %d in Protect Mode\n", id));
  else if (m_notInProtect != 0 && flagged)
    AlarmEdge(kZelWarnProtect, false, FormatText("Amplifier ID %d out of Protect Mode\n", id));
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

void CZelSeriesDevice::ReplyMeters(const std::vector<std::uint8_t>& u) {
  DecodeZelSeriesMeters(u.data(), u.size(), m_meters);
  Notify(FrameMsg::kStatusEvent, kZelHintInfo);
  Notify(FrameMsg::kStatusEvent, kZelHintMeters);
  Notify(FrameMsg::kStatusEvent, kZelHintState);
  // The first meters after a read-out raise every alarm they show again.
  if ((m_haveRead & kZelReadMeters) == 0) m_loadAlarms.Forget();
  m_haveRead |= kZelReadMeters;
  for (const std::string& line : FollowLoadAlarms()) {
    Log(line);
    Notify(FrameMsg::kPropagateWarning);
  }
}

std::vector<std::string> CZelSeriesDevice::FollowLoadAlarms() {
  std::vector<std::string> lines;
  if ((m_haveRead & kZelReadMeters) == 0) return lines;
  std::vector<ZelChannelLoad> channels;
  for (int n = 0; n < kZelMaxChannels; ++n) channels.push_back(GetChannelLoad(n));
  // Warnings cleared meanwhile (a disconnection) took the raised alarms with them.
  for (const CZelLoadAlarms::Edge& edge : m_loadAlarms.Follow(channels, (m_warningBits & kZelWarnLoad) != 0))
    lines.push_back(FormatText("Amplifier ID %d Load Error %son Channel %d\n", std::int32_t(m_deviceId),
                               edge.raised ? "" : "Cleared ", edge.channel + 1));
  if (m_loadAlarms.AnyRaised())
    m_warningBits |= kZelWarnLoad;
  else
    m_warningBits &= ~kZelWarnLoad;
  return lines;
}

void CZelSeriesDevice::ReplyReference(const std::vector<std::uint8_t>& u) {
  for (std::size_t n = 0; n < kZelMaxChannels; ++n)
    m_referenceImpedance[n] = float(u[2 * n] << 8 | u[2 * n + 1]) / 10.0f;
  m_haveRead |= kZelReadReference;
  Notify(FrameMsg::kShowDeviceProps, 1);
}

// --- Tooltip (UI thread) ---

void CZelSeriesDevice::AppendWarningTexts(std::uint32_t bits, std::string& text) {
  const int t = GetTemperature();
  if (bits & kZelWarnTemperatureSoftware) text += FormatText("\nTemperature Warning (Software) - Temp = %d%s", t, kDegrees);
  if (bits & kZelWarnTemperatureHardware) text += FormatText("\nTemperature Warning (Hardware) - Temp = %d%s", t, kDegrees);
  if (bits & kZelWarnFirmware) text += FirmwareWarningText();
  if (bits & kZelWarnProtect) text += "\nProtect Warning";
  if (bits & kZelWarnLoad)
    for (int n = 0; n < kZelMaxChannels; ++n)
      if (GetChannelLoad(n).faultReported) text += FormatText("\nLoad Alarm on Channel %d", n + 1);
}
