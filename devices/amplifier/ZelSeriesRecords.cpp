// The Zel amplifier's settings images: the system-file and stream records, the 7-byte snapshot,
// the 28-byte clipboard record and its paste, the context-menu entries and the status hints.
// UI thread.
#include <algorithm>
#include <cstring>

#include "core/protocol/ControlMessage.h"
#include "core/file/DataStream.h"
#include "core/protocol/Scramble.h"
#include "core/model/Snapshot.h"
#include "core/model/DeviceHost.h"
#include "core/support/SystemMessages.h"
#include "devices/amplifier/ZelSeriesDevice.h"
#include "devices/amplifier/ZelSeriesPanel.h"
#include "platform/Archive.h"
#include "platform/Clipboard.h"
#include "platform/Sync.h"

namespace {

constexpr std::uint32_t kRecordVersion = 1;
constexpr std::uint8_t kSnapshotVersion = 1;

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

std::uint8_t GainStep(std::uint8_t index) { return std::min<std::uint8_t>(index, kZelGainSteps - 1); }

}  // namespace

// --- System file and stream ---

ZelSeriesRecord CZelSeriesDevice::MakeRecord() const {
  CSingleLock lock(m_host->GetLock());
  ZelSeriesRecord r{m_name,         {},                 m_muteOverride, m_displayPage, m_muteMask,
                    m_powerOnDelay, m_alarmTemperature, m_gainIndex,    m_statusFlags, m_gpio.Byte(),
                    m_mode};
  std::copy_n(m_channelNames.begin(), kZelMaxChannels, r.channelNames.begin());
  return r;
}

void CZelSeriesDevice::TakeRecord(const ZelSeriesRecord& r) {
  CSingleLock lock(m_host->GetLock());
  m_name = r.name;
  std::copy(r.channelNames.begin(), r.channelNames.end(), m_channelNames.begin());
  // A solo or the system mute is a state of the running units, not of the file: read back it
  // would show the amplifier muted with dead mute buttons while the units may play (and a Send
  // would play them). Each amplifier comes back with its own mutes; the field stays in the
  // record for the files that carry it.
  m_muteOverride = 0;
  m_displayPage = r.displayPage;
  m_muteMask = r.muteMask;
  m_powerOnDelay = r.powerOnDelay;
  m_alarmTemperature = r.alarmTemperature;
  for (std::size_t n = 0; n < kZelMaxChannels; ++n) m_gainIndex[n] = GainStep(r.gainIndex[n]);
  // The standby edge that is logged is the unit's: the shadow follows the settings replies only.
  m_statusFlags = r.statusFlags;
  m_gpio = CZelGpioConfig::FromByte(r.gpio);
  m_mode = r.mode;
}

void CZelSeriesDevice::Serialize(CArchive& ar) {
  CDevice::Serialize(ar);
  if (ar.IsStoring()) {
    const ZelSeriesRecord r = MakeRecord();
    ar.WriteU32(kRecordVersion);
    ar.WriteString(r.name);
    for (const std::string& name : r.channelNames) ar.WriteString(name);
    ar.WriteU8(r.muteOverride);
    ar.WriteU32(r.displayPage);
    ar.WriteU8(r.muteMask);
    ar.WriteU8(r.powerOnDelay);
    ar.WriteU8(r.alarmTemperature);
    for (std::uint8_t gain : r.gainIndex) ar.WriteU8(gain);
    ar.WriteU8(r.statusFlags);
    ar.WriteU8(r.gpio);
    ar.WriteU32(r.mode);
    return;
  }
  // Records carry no length: one of another version cannot be stepped over, and the file is
  // refused rather than misread from here on.
  CArchive::CheckVersion(ar.ReadU32(), kRecordVersion, kRecordVersion, "Zel amplifier record");
  ZelSeriesRecord r;
  r.name = ar.ReadString();
  for (std::string& channel : r.channelNames) channel = ar.ReadString();
  r.muteOverride = ar.ReadU8();
  r.displayPage = ar.ReadU32();
  r.muteMask = ar.ReadU8();
  r.powerOnDelay = ar.ReadU8();
  r.alarmTemperature = ar.ReadU8();
  // A step beyond the table is held to its last entry when the record is taken, as a settings
  // reply's is.
  for (std::uint8_t& gain : r.gainIndex) gain = ar.ReadU8();
  r.statusFlags = ar.ReadU8();
  r.gpio = ar.ReadU8();
  r.mode = ar.ReadU32();
  TakeRecord(r);
}

void CZelSeriesDevice::SerializeStream(CDataStream& ds) {
  CDevice::SerializeStream(ds);
  if (!ds.IsStoring() && !ds.IsLoading()) return;
  // Loading fills a copy and takes it only when the whole record was read.
  ZelSeriesRecord r = MakeRecord();
  try {
    if (!ds.Version(kRecordVersion)) return;
    StreamString(ds, r.name);
    for (std::string& channel : r.channelNames) StreamString(ds, channel);
    ds.U8(r.muteOverride);
    ds.U32(r.displayPage);
    ds.U8(r.muteMask);
    ds.U8(r.powerOnDelay);
    ds.U8(r.alarmTemperature);
    for (std::uint8_t& gain : r.gainIndex) ds.U8(gain);
    ds.U8(r.statusFlags);
    ds.U8(r.gpio);
    ds.U32(r.mode);
  } catch (const CStreamError&) {
    return;
  }
  if (ds.IsLoading()) TakeRecord(r);
}

// --- Snapshots ---

CSnapshotData* CZelSeriesDevice::CreateSnapshotData() {
  CSingleLock lock(m_host->GetLock());
  std::vector<std::uint8_t> bytes{kSnapshotVersion, m_muteMask};
  bytes.insert(bytes.end(), m_gainIndex.begin(), m_gainIndex.end());
  bytes.push_back(m_statusFlags);
  return new CSnapshotData(m_uuid, std::move(bytes), true);
}

void CZelSeriesDevice::ApplySnapshotData(const CSnapshotData& data) {
  const CSettingsChange change(*this);
  bool standby = false;
  const std::vector<std::uint8_t>& d = data.m_data;
  if (d.size() >= kZelSnapshotRecordSize && d[0] == kSnapshotVersion) {
    CSingleLock lock(m_host->GetLock());
    m_muteMask = d[1];
    for (std::size_t n = 0; n < kZelMaxChannels; ++n) m_gainIndex[n] = GainStep(d[2 + n]);
    standby = (d[6] & 0x01) != 0;
  }
  // Offline the recall changes the file only: going online sends it or reads the unit.
  if (IsConnected()) SendAllSettings();
  ApplyControlChange(MakeBoolParamValue(kZelParamStandby, standby));
  RefreshEachChannel({kZelParamGain, kZelParamMute});
}

// --- Clipboard ---

ZelClipboardRecord CZelSeriesDevice::MakeClipboardRecord() const {
  ZelClipboardRecord r{};
  CSingleLock lock(m_host->GetLock());
  r[kClipFlags] = m_statusFlags;
  for (std::size_t n = 0; n < kZelMaxChannels; ++n) {
    r[kClipGains + n] = m_gainIndex[n];
    r[kClipWindows + n] = m_impedanceWindow[n];
  }
  r[kClipMuteMask] = m_muteMask;
  StoreU32(&r[kClipMode], m_mode);
  r[kClipDelay] = m_powerOnDelay;
  r[kClipGpio] = m_gpio.Byte();
  StoreU32(&r[kClipChannels], std::uint32_t(GetChannelCount()));
  r[kClipAlarm] = m_alarmTemperature;
  return r;
}

void CZelSeriesDevice::PasteRecord(const ZelClipboardRecord& r, std::uint32_t command) {
  const CSettingsChange change(*this);
  if (m_pollGate) m_pollGate->Set();
  bool wasSolo = false;
  {
    CSingleLock lock(m_host->GetLock());
    wasSolo = (m_muteOverride & 0x10) != 0;
    m_muteOverride = 0;
  }
  if (wasSolo) {
    RefreshMutesAndSolos();
    NotifySoloToOtherDevices(false);
  }
  // A record names its source's channel count, and that many stored entries take its values
  // (a Zel-6 record fills all four on a two-channel model); a damaged count stops at four.
  const std::size_t channels = std::min<std::size_t>(LoadU32(&r[kClipChannels]), std::size_t(kZelMaxChannels));
  bool standbyChanged = false;
  {
    CSingleLock lock(m_host->GetLock());
    if (command == 0 || command == kZelCmdPasteControls) {
      const std::uint8_t standby = r[kClipFlags] & 0x01;
      standbyChanged = standby != (m_statusFlags & 0x01);
      m_statusFlags = std::uint8_t((m_statusFlags & ~0x01) | standby);
      for (std::size_t n = 0; n < channels; ++n) m_gainIndex[n] = GainStep(r[kClipGains + n]);
      m_muteMask = r[kClipMuteMask];
      // Every value is held to this model's rows: a mode it does not offer (a Zel-2's mono on
      // a Zel-6) keeps its own, as does a threshold the unit does not take (a fresh unit's 0).
      if (const std::uint32_t mode = LoadU32(&r[kClipMode]); OffersMode(mode)) m_mode = mode;
    }
    if (command == 0 || command == kZelCmdPasteProperties) {
      if (IsZelAlarmTemperatureTaken(r[kClipAlarm])) m_alarmTemperature = r[kClipAlarm];
      m_powerOnDelay = std::min(r[kClipDelay], kZelMaxPowerOnDelay);
      m_statusFlags = std::uint8_t((r[kClipFlags] & ~0x01) | (m_statusFlags & 0x01));
      m_gpio = CZelGpioConfig::FromByte(r[kClipGpio]);
      for (std::size_t n = 0; n < channels; ++n) m_impedanceWindow[n] = std::min(r[kClipWindows + n], kZelMaxWindow);
    }
  }
  if (standbyChanged) {
    Post(FrameMsg::kRedrawMeterEntry);
    StartStandbyHoldOff();
  }
  if (IsConnected()) SendAllSettings();
  if (m_pollGate) m_pollGate->Reset();
  FollowLoadAlarmsNow();  // the pasted windows switch load monitoring on or off; posts the state hint
  Post(FrameMsg::kStatusEvent, kZelHintControls);
  Post(FrameMsg::kSelectDevice);
  m_host->SetModified(true);
  // Pasted controls are the person's change: they follow over the links (the posted hints
  // only show what the device holds).
  if (command == 0 || command == kZelCmdPasteControls) {
    RefreshEachChannel({kZelParamGain, kZelParamMute});
    Refresh(kZelParamStandby);
  }
}

// --- Status hints ---

void CZelSeriesDevice::OnStatusEvent(int hint) {
  IZelSeriesPanel* panel = GetZelPanel();
  switch (hint) {
    case kZelHintControls:
      RefreshEachChannel({kZelParamGain, kZelParamMute, kZelParamSolo});
      RefreshAll({kZelParamStandby, kZelParamActiveLed, kZelParamStandbyLed});
      break;
    case kZelHintInfo:
      if (panel) panel->RefreshInfoDisplay(false);
      break;
    case kZelHintMeters:
      if (panel) panel->RefreshLevelMeters();
      break;
    case kZelHintNames:
      RefreshEachChannel({kZelParamChannelName});
      Refresh(kZelParamAmpName);
      break;
    case kZelHintState:
      if (panel) panel->RefreshState(true);
      RefreshAll({kZelParamActiveLed, kZelParamStandbyLed, kZelParamMonoLed, kZelParamStereoLed, kZelParamBridgeLed});
      RefreshEachChannel({kZelParamLimit, kZelParamOk, kZelParamCheck});
      RefreshAll({kZelParamActiveLed, kZelParamStandbyLed, kZelParamProtectLed});
      break;
    case kZelHintStandby:
      RefreshAll({kZelParamActiveLed, kZelParamStandbyLed});
      break;
    default:
      break;
  }
}
