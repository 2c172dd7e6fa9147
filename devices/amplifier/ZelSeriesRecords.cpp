// The Zel amplifier's settings images: the system-file and stream records, the 7-byte snapshot,
// the 28-byte clipboard record and its paste, the context-menu entries and the status hints.
// UI thread.
#include <algorithm>
#include <cstring>

#include "core/ControlMessage.h"
#include "core/DataStream.h"
#include "core/DeviceMenu.h"
#include "core/Snapshot.h"
#include "core/System.h"
#include "core/SystemMessages.h"
#include "devices/amplifier/ZelSeriesDevice.h"
#include "devices/amplifier/ZelSeriesPanel.h"
#include "platform/Archive.h"
#include "platform/Clipboard.h"
#include "platform/Sync.h"

namespace {

constexpr std::uint32_t kRecordVersion = 1;
constexpr std::uint8_t kSnapshotVersion = 1;
constexpr std::uint32_t kCmdEditPaste = 57637;

// Offsets of the clipboard record.
enum : std::size_t {
  kClipFlags = 0,
  kClipGains = 1,
  kClipMuteMask = 5,
  kClipMode = 8,
  kClipDelay = 12,
  kClipGpio = 13,
  kClipWindows = 14,
  kClipChannels = 20,
  kClipAlarm = 24,
};

void PutU32(std::uint8_t* at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = std::uint8_t(v >> (8 * i));
}

std::uint32_t GetU32(const std::uint8_t* at) {
  return std::uint32_t(at[0]) | std::uint32_t(at[1]) << 8 | std::uint32_t(at[2]) << 16 | std::uint32_t(at[3]) << 24;
}

std::uint8_t GainStep(std::uint8_t index) { return std::min<std::uint8_t>(index, kZelGainSteps - 1); }

}  // namespace

// --- System file and stream ---

void CZelSeriesDevice::Serialize(CArchive& ar) {
  CDevice::Serialize(ar);
  CSingleLock lock(m_system->GetLock());
  if (ar.IsStoring()) {
    ar.WriteU32(kRecordVersion);
    ar.WriteString(m_name);
    for (const std::string& name : m_channelNames) ar.WriteString(name);
    ar.WriteU8(m_muteOverride);
    ar.WriteU32(m_displayPage);
    ar.WriteU8(m_muteMask);
    ar.WriteU8(m_powerOnDelay);
    ar.WriteU8(m_alarmTemperature);
    for (std::uint8_t gain : m_gainIndex) ar.WriteU8(gain);
    ar.WriteU8(m_statusFlags);
    ar.WriteU8(GetGpioByte());
    ar.WriteU32(m_mode);
    return;
  }
  if (ar.ReadU32() != kRecordVersion) return;
  std::string name = ar.ReadString();
  std::array<std::string, kZelMaxChannels> names;
  for (std::string& channel : names) channel = ar.ReadString();
  const std::uint8_t muteOverride = ar.ReadU8();
  const std::uint32_t page = ar.ReadU32();
  const std::uint8_t muteMask = ar.ReadU8(), delay = ar.ReadU8(), alarm = ar.ReadU8();
  std::array<std::uint8_t, kZelMaxChannels> gains{};
  for (std::uint8_t& gain : gains) {
    gain = ar.ReadU8();
    if (gain >= kZelGainSteps)
      throw CArchiveException(CArchiveException::BadFormat, "Zel amplifier record: gain step out of range");
  }
  const std::uint8_t flags = ar.ReadU8(), gpio = ar.ReadU8();
  const std::uint32_t mode = ar.ReadU32();
  m_name = std::move(name);
  m_channelNames = std::move(names);
  m_muteOverride = muteOverride;
  m_displayPage = page;
  m_muteMask = muteMask;
  m_powerOnDelay = delay;
  m_alarmTemperature = alarm;
  m_gainIndex = gains;
  m_statusFlags = flags;
  m_standbyShadow = flags & 0x01;
  UnpackZelSeriesGpioConfig(gpio, m_gpioInput, m_gpioOutput, m_gpioAuxRelay);
  m_mode = mode;
}

void CZelSeriesDevice::SerializeStream(CDataStream& ds) {
  CDevice::SerializeStream(ds);
  if (!ds.IsStoring() && !ds.IsLoading()) return;
  CSingleLock lock(m_system->GetLock());
  // Loading fills copies and takes them only when the whole record was read.
  std::string name = m_name;
  std::array<std::string, kZelMaxChannels> names = m_channelNames;
  std::uint8_t muteOverride = m_muteOverride, muteMask = m_muteMask, delay = m_powerOnDelay;
  std::uint8_t alarm = m_alarmTemperature, flags = m_statusFlags, gpio = GetGpioByte();
  std::uint32_t page = m_displayPage, mode = m_mode;
  std::array<std::uint8_t, kZelMaxChannels> gains = m_gainIndex;
  try {
    if (!ds.Version(kRecordVersion)) return;
    StreamString(ds, name);
    for (std::string& channel : names) StreamString(ds, channel);
    ds.U8(muteOverride);
    ds.U32(page);
    ds.U8(muteMask);
    ds.U8(delay);
    ds.U8(alarm);
    for (std::uint8_t& gain : gains) ds.U8(gain);
    ds.U8(flags);
    ds.U8(gpio);
    ds.U32(mode);
  } catch (const CStreamError&) {
    return;
  }
  if (!ds.IsLoading()) return;
  m_name = std::move(name);
  m_channelNames = std::move(names);
  m_muteOverride = muteOverride;
  m_displayPage = page;
  m_muteMask = muteMask;
  m_powerOnDelay = delay;
  m_alarmTemperature = alarm;
  for (std::size_t n = 0; n < gains.size(); ++n) m_gainIndex[n] = GainStep(gains[n]);
  m_statusFlags = flags;
  UnpackZelSeriesGpioConfig(gpio, m_gpioInput, m_gpioOutput, m_gpioAuxRelay);
  m_mode = mode;
}

// --- Snapshots ---

CSnapshotData* CZelSeriesDevice::CreateSnapshotData() {
  CSingleLock lock(m_system->GetLock());
  std::vector<std::uint8_t> bytes{kSnapshotVersion, m_muteMask};
  bytes.insert(bytes.end(), m_gainIndex.begin(), m_gainIndex.end());
  bytes.push_back(m_statusFlags);
  return new CSnapshotData(m_uuid, std::move(bytes), true);
}

void CZelSeriesDevice::ApplySnapshotData(const CSnapshotData& data) {
  bool standby = false;
  const std::vector<std::uint8_t>& d = data.m_data;
  if (d.size() >= kZelSnapshotRecordSize && d[0] == kSnapshotVersion) {
    CSingleLock lock(m_system->GetLock());
    m_muteMask = d[1];
    for (std::size_t n = 0; n < kZelMaxChannels; ++n) m_gainIndex[n] = GainStep(d[2 + n]);
    standby = (d[6] & 0x01) != 0;
  }
  SendAllSettings();
  ApplyControlChange(MakeBoolParamValue(kZelParamStandby, standby));
  for (int n = 0; n < GetChannelCount(); ++n) {
    Refresh(kZelParamGain + n);
    Refresh(kZelParamMute + n);
  }
}

// --- Clipboard ---

std::array<std::uint8_t, kZelClipboardRecordSize> CZelSeriesDevice::MakeClipboardRecord() const {
  std::array<std::uint8_t, kZelClipboardRecordSize> r{};
  CSingleLock lock(m_system->GetLock());
  r[kClipFlags] = m_statusFlags;
  for (std::size_t n = 0; n < kZelMaxChannels; ++n) {
    r[kClipGains + n] = m_gainIndex[n];
    r[kClipWindows + n] = m_impedanceWindow[n];
  }
  r[kClipMuteMask] = m_muteMask;
  PutU32(&r[kClipMode], m_mode);
  r[kClipDelay] = m_powerOnDelay;
  r[kClipGpio] = GetGpioByte();
  PutU32(&r[kClipChannels], std::uint32_t(GetChannelCount()));
  r[kClipAlarm] = m_alarmTemperature;
  return r;
}

void CZelSeriesDevice::CopyToClipboard(std::uint32_t command) {
  (void)command;
  const auto record = MakeClipboardRecord();
  SetClipboardData(GetClipboardFormat(), std::vector<std::uint8_t>(record.begin(), record.end()));
}

bool CZelSeriesDevice::CanCopy(std::uint32_t command) {
  (void)command;
  return true;
}

bool CZelSeriesDevice::CanPaste(std::uint32_t command) {
  (void)command;
  return IsClipboardFormatAvailable(GetClipboardFormat()) && CurrentUserMayUseControls();
}

void CZelSeriesDevice::PasteFromClipboard(std::uint32_t command) {
  std::vector<std::uint8_t> bytes;
  if (!GetClipboardData(GetClipboardFormat(), bytes) || bytes.size() < kZelClipboardRecordSize) return;
  std::array<std::uint8_t, kZelClipboardRecordSize> record{};
  std::copy_n(bytes.begin(), kZelClipboardRecordSize, record.begin());
  PasteRecord(record, command);
}

void CZelSeriesDevice::PasteRecord(const std::array<std::uint8_t, kZelClipboardRecordSize>& r, std::uint32_t command) {
  if (m_pollGate) m_pollGate->Set();
  bool wasSolo = false;
  {
    CSingleLock lock(m_system->GetLock());
    wasSolo = (m_muteOverride & 0x10) != 0;
    m_muteOverride = 0;
  }
  if (wasSolo) {
    RefreshMutesAndSolos();
    m_system->NotifyOtherDevices(this, false);
  }
  // A record names its source's channel count; only this model's channels take values.
  const std::size_t channels = std::min<std::size_t>(GetU32(&r[kClipChannels]), std::size_t(GetChannelCount()));
  bool standbyChanged = false;
  {
    CSingleLock lock(m_system->GetLock());
    if (command == 0 || command == kZelCmdPasteControls) {
      const std::uint8_t standby = r[kClipFlags] & 0x01;
      standbyChanged = standby != (m_statusFlags & 0x01);
      m_statusFlags = std::uint8_t((m_statusFlags & ~0x01) | standby);
      for (std::size_t n = 0; n < channels; ++n) m_gainIndex[n] = GainStep(r[kClipGains + n]);
      m_muteMask = r[kClipMuteMask];
      m_mode = GetU32(&r[kClipMode]);
    }
    if (command == 0 || command == kZelCmdPasteProperties) {
      m_alarmTemperature = r[kClipAlarm];
      m_powerOnDelay = r[kClipDelay];
      m_statusFlags = std::uint8_t((r[kClipFlags] & ~0x01) | (m_statusFlags & 0x01));
      UnpackZelSeriesGpioConfig(r[kClipGpio], m_gpioInput, m_gpioOutput, m_gpioAuxRelay);
      for (std::size_t n = 0; n < channels; ++n) m_impedanceWindow[n] = r[kClipWindows + n];
    }
  }
  if (standbyChanged) {
    Post(UWM_REDRAW_METER_ENTRY);
    StartStandbyHoldOff();
  }
  if (IsConnected()) SendAllSettings();
  if (m_pollGate) m_pollGate->Reset();
  Post(UWM_DEVICE_STATUS_EVENT, kZelHintState);
  Post(UWM_DEVICE_STATUS_EVENT, kZelHintControls);
  Post(UWM_REFRESH_SELECTION_PROPERTIES);
  m_system->SetModified(true);
}

// --- Context menu ---

void CZelSeriesDevice::BuildContextMenu(CMenu& menu, int argument) {
  CDevice::BuildContextMenu(menu, argument);
  int pos = menu.FindItem(kCmdEditPaste);
  if (pos < 0) pos = 0;
  menu.InsertItem(++pos, kZelCmdPasteControls, "Paste Controls Only");
  menu.InsertItem(++pos, kZelCmdPasteProperties, "Paste Properties Only");
  menu.InsertSeparator(++pos);
  menu.InsertItem(++pos, kZelCmdIgnoreDevice, "Ignore Device When Online");
}

bool CZelSeriesDevice::OnContextMenuCommand(std::uint32_t command, int argument) {
  (void)argument;
  if (command == kZelCmdPasteControls || command == kZelCmdPasteProperties) {
    PasteFromClipboard(command);
    return true;
  }
  if (command == kZelCmdIgnoreDevice) {
    const bool ignored = IsIgnored();
    if (ignored)
      Reinitialise(m_system->GetSettings().onGoOnline);
    else
      OnDisconnected(false);
    SetIgnored(!ignored);
    Post(UWM_REDRAW_METER_ENTRY);
    Post(UWM_REFRESH_RACK);
  }
  return false;
}

// --- Status hints ---

void CZelSeriesDevice::OnStatusEvent(int hint) {
  const int channels = GetChannelCount();
  IZelSeriesPanel* panel = GetZelPanel();
  switch (hint) {
    case kZelHintControls:
      for (int n = 0; n < channels; ++n) {
        Refresh(kZelParamGain + n);
        Refresh(kZelParamMute + n);
        Refresh(kZelParamSolo + n);
      }
      for (int id : {kZelParamStandby, kZelParamActiveLed, kZelParamStandbyLed}) Refresh(id);
      break;
    case kZelHintInfo:
      if (panel) panel->RefreshInfoDisplay(false);
      break;
    case kZelHintMeters:
      if (panel) panel->RefreshLevelMeters();
      break;
    case kZelHintNames:
      for (int n = 0; n < channels; ++n) Refresh(kZelParamChannelName + n);
      Refresh(kZelParamAmpName);
      break;
    case kZelHintState:
      if (panel) panel->RefreshState(true);
      for (int id : {kZelParamActiveLed, kZelParamStandbyLed, kZelParamMonoLed, kZelParamStereoLed, kZelParamBridgeLed})
        Refresh(id);
      for (int n = 0; n < channels; ++n) {
        Refresh(kZelParamLimit + n);
        Refresh(kZelParamOk + n);
        Refresh(kZelParamCheck + n);
      }
      for (int id : {kZelParamActiveLed, kZelParamStandbyLed, kZelParamProtectLed}) Refresh(id);
      break;
    case kZelHintStandby:
      Refresh(kZelParamActiveLed);
      Refresh(kZelParamStandbyLed);
      break;
    default:
      break;
  }
}
