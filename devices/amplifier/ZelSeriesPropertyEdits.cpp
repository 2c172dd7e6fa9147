// The Zel amplifier's row edits: the routing table and one handler a row kind. Each accepted
// edit goes through the amplifier's change path; the rows that only the file keeps and the
// refusals change nothing. UI thread.
#include "devices/amplifier/ZelSeriesPropertyEdits.h"

#include "core/model/DeviceHost.h"
#include "devices/amplifier/ZelSeriesDevice.h"
#include "platform/Sync.h"
#include "platform/TextFormat.h"

namespace {

// A field the comms worker writes under the system's lock (a unit's report), read under it.
template <class T>
T ReadLocked(const IDeviceHost& host, const T& field) {
  CSingleLock lock(host.GetLock());
  return field;
}

}  // namespace

int CZelSeriesPropertyEdits::GetChannelCount() const { return m_device.GetChannelCount(); }

std::optional<bool> CZelSeriesPropertyEdits::Apply(const ZelPropertyEdit& edit, std::string& message) {
  using Route = ZelRoute<bool (CZelSeriesPropertyEdits::*)(int, const ZelPropertyEdit&, std::string&)>;
  static const Route kRoutes[] = {
      {kPropMode, 1, &CZelSeriesPropertyEdits::EditMode},
      {kZelParamPowerOnDelay, 1, &CZelSeriesPropertyEdits::EditPowerOnDelay},
      {kZelParamAlarmTemperature, 1, &CZelSeriesPropertyEdits::EditAlarmTemperature},
      {kPropGpioInput, 3, &CZelSeriesPropertyEdits::EditGpio},
      {kPropVca, kZelEachChannel, &CZelSeriesPropertyEdits::EditVca},
      {kZelParamWindow, kZelEachChannel, &CZelSeriesPropertyEdits::EditWindow},
      {kZelParamReference, kZelEachChannel, &CZelSeriesPropertyEdits::EditReference},
  };
  return FollowZelRoute(*this, kRoutes, edit.id, edit, message);
}

bool CZelSeriesPropertyEdits::EditMode(int offset, const ZelPropertyEdit& edit, std::string& message) {
  (void)offset;
  (void)message;
  // The four-channel model offers stereo and bridge, the others mono too.
  const int channels = GetChannelCount();
  std::uint32_t mode = 0;
  if (channels == 4 && edit.selection >= 0 && edit.selection <= 1) mode = std::uint32_t(edit.selection + 2);
  if (channels == 2 && edit.selection >= 0 && edit.selection <= 2) mode = std::uint32_t(edit.selection + 1);
  if (mode == 0) return true;
  {
    CSingleLock lock(m_device.m_host->GetLock());
    if (m_device.m_mode == mode) return true;
    m_device.m_mode = mode;
  }
  m_device.ApplyControlChange(MakeIntParamValue(kZelParamMode, std::int32_t(mode)));
  return true;
}

bool CZelSeriesPropertyEdits::EditNumber(const ZelPropertyEdit& edit, int parameterId, std::int64_t low,
                                         std::int64_t high, const char* what, std::int64_t current,
                                         std::string& message) {
  if (edit.number < low || edit.number > high) {
    message = FormatText("%s must be between %lld and %lld", what, (long long)low, (long long)high);
    return false;
  }
  if (edit.number != current) m_device.ApplyControlChange(MakeIntParamValue(parameterId, std::int32_t(edit.number)));
  return true;
}

bool CZelSeriesPropertyEdits::EditPowerOnDelay(int offset, const ZelPropertyEdit& edit, std::string& message) {
  (void)offset;
  return EditNumber(edit, kZelParamPowerOnDelay, 0, kZelMaxPowerOnDelay, "Power on delay",
                    ReadLocked(*m_device.m_host, m_device.m_powerOnDelay), message);
}

bool CZelSeriesPropertyEdits::EditAlarmTemperature(int offset, const ZelPropertyEdit& edit, std::string& message) {
  (void)offset;
  return EditNumber(edit, kZelParamAlarmTemperature, kZelMinAlarmTemperature, kZelMaxAlarmTemperature,
                    "Temperature alarm threshold", ReadLocked(*m_device.m_host, m_device.m_alarmTemperature), message);
}

bool CZelSeriesPropertyEdits::EditGpio(int offset, const ZelPropertyEdit& edit, std::string& message) {
  (void)message;
  if (edit.selection < 0) return true;
  {
    CSingleLock lock(m_device.m_host->GetLock());
    if (!m_device.m_gpio.Choose(CZelGpioConfig::EChoice(offset), std::uint32_t(edit.selection))) return true;
  }
  SendGpio();
  return true;
}

bool CZelSeriesPropertyEdits::EditVca(int channel, const ZelPropertyEdit& edit, std::string& message) {
  (void)message;
  {
    CSingleLock lock(m_device.m_host->GetLock());
    const auto bit = std::uint8_t(0x08u << channel);
    const std::uint8_t flags = m_device.m_statusFlags;
    m_device.m_statusFlags = edit.selection == 0 ? std::uint8_t(flags & ~bit) : std::uint8_t(flags | bit);
  }
  SendGpio();
  return true;
}

void CZelSeriesPropertyEdits::SendGpio() {
  m_device.ApplyControlChange(MakeIntParamValue(kZelParamGpio, m_device.GetGpio().Byte()));
}

bool CZelSeriesPropertyEdits::EditWindow(int channel, const ZelPropertyEdit& edit, std::string& message) {
  std::uint8_t current = 0;
  {
    CSingleLock lock(m_device.m_host->GetLock());
    current = m_device.m_impedanceWindow[std::size_t(channel)];
  }
  // The change keeps the new window and follows the load alarms.
  return EditNumber(edit, int(edit.id), 0, kZelMaxWindow, "Window value", current, message);
}

bool CZelSeriesPropertyEdits::EditReference(int channel, const ZelPropertyEdit& edit, std::string& message) {
  float current = 0.0f;
  std::uint8_t state = 0;
  {
    CSingleLock lock(m_device.m_host->GetLock());
    current = m_device.m_meters.outputCurrent[std::size_t(channel)];
    state = m_device.m_meters.loadMonitorState[std::size_t(channel)];
  }
  if (!m_device.IsConnected()) {
    message = "Cannot set reference impedance - not online";
    return false;
  }
  if (current < kZelMinReferenceCurrent) {
    message = "Cannot set reference impedance - current too low";
    return false;
  }
  if (state != 0) {
    message = "Cannot set reference impedance - invalid value";
    return false;
  }
  m_device.ApplyControlChange(MakeIntParamValue(int(edit.id), 0));
  return true;
}
