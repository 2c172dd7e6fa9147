// The Zel breakout box's settings images: the system-file and stream records (always 16
// channels), the 21-byte snapshot, the 28-byte clipboard record and its paste, the context-menu
// update rule and the status hints. UI thread.
#include <algorithm>

#include "core/file/DataStream.h"
#include "core/protocol/Scramble.h"
#include "core/model/DeviceMenu.h"
#include "core/model/Snapshot.h"
#include "core/model/DeviceHost.h"
#include "core/support/SystemMessages.h"
#include "devices/amplifier/ZelBreakDevice.h"
#include "platform/Archive.h"
#include "platform/Clipboard.h"
#include "platform/Sync.h"

namespace {

constexpr std::uint32_t kRecordVersion = 1;
constexpr std::uint8_t kSnapshotVersion = 1;

// Offsets of the clipboard record.
enum : std::size_t {
  kClipType = 0,
  kClipGains = 4,
  kClipMuteMask = 20,
  kClipGpio = 24,
};
// Offsets of the snapshot block.
enum : std::size_t {
  kSnapMuteMask = 1,
  kSnapGains = 5,
};

std::uint8_t GainStep(std::uint8_t step) { return std::min(step, kBreakMaxGain); }

}  // namespace

// --- System file and stream ---

ZelBreakRecord CZelBreakDevice::MakeRecord() const {
  CSingleLock lock(m_host->GetLock());
  ZelBreakRecord r{m_name, {}, m_gains, m_muteMask, GetGpioByte()};
  std::copy_n(m_channelNames.begin(), kBreakMaxChannels, r.channelNames.begin());
  return r;
}

void CZelBreakDevice::TakeRecord(const ZelBreakRecord& r) {
  CSingleLock lock(m_host->GetLock());
  m_name = r.name;
  std::copy(r.channelNames.begin(), r.channelNames.end(), m_channelNames.begin());
  for (std::size_t c = 0; c < kBreakMaxChannels; ++c) m_gains[c] = GainStep(r.gains[c]);
  m_muteMask = r.muteMask;
  UnpackZelBreakGpioConfig(r.gpio, m_gpioInputMode, m_gpioOutputMode, m_networkMasterPulse);
}

void CZelBreakDevice::Serialize(CArchive& ar) {
  CDevice::Serialize(ar);
  if (ar.IsStoring()) {
    const ZelBreakRecord r = MakeRecord();
    ar.WriteU32(kRecordVersion);
    ar.WriteString(r.name);
    for (std::size_t c = 0; c < kBreakMaxChannels; ++c) {
      ar.WriteString(r.channelNames[c]);
      ar.WriteU8(r.gains[c]);
    }
    ar.WriteU32(r.muteMask);
    ar.WriteU8(r.gpio);
    return;
  }
  // A damaged record throws to the file loader, which keeps the system it had: reading on
  // from the middle of a record would take every later byte of the file for something else.
  CArchive::CheckVersion(ar.ReadU32(), kRecordVersion, kRecordVersion, "Zel breakout box record");
  ZelBreakRecord r;
  r.name = ar.ReadString();
  for (std::size_t c = 0; c < kBreakMaxChannels; ++c) {
    r.channelNames[c] = ar.ReadString();
    r.gains[c] = ar.ReadU8();
  }
  r.muteMask = ar.ReadU32();
  r.gpio = ar.ReadU8();
  TakeRecord(r);
}

void CZelBreakDevice::SerializeStream(CDataStream& ds) {
  CDevice::SerializeStream(ds);
  if (!ds.IsStoring() && !ds.IsLoading()) return;
  // Loading fills a copy; a stream that ends early keeps the fields read up to there.
  ZelBreakRecord r = MakeRecord();
  try {
    if (!ds.Version(kRecordVersion)) return;
    StreamString(ds, r.name);
    for (std::size_t c = 0; c < kBreakMaxChannels; ++c) {
      StreamString(ds, r.channelNames[c]);
      ds.U8(r.gains[c]);
    }
    ds.U32(r.muteMask);
    ds.U8(r.gpio);
  } catch (const CStreamError&) {
  }
  if (ds.IsLoading()) TakeRecord(r);
}

// --- Snapshots ---

CSnapshotData* CZelBreakDevice::CreateSnapshotData() {
  std::vector<std::uint8_t> bytes(kBreakSnapshotRecordSize, 0);
  {
    CSingleLock lock(m_host->GetLock());
    bytes[0] = kSnapshotVersion;
    StoreU32(&bytes[kSnapMuteMask], m_muteMask);
    std::copy(m_gains.begin(), m_gains.end(), bytes.begin() + kSnapGains);
  }
  return new CSnapshotData(m_uuid, std::move(bytes), true);
}

void CZelBreakDevice::ApplySnapshotData(const CSnapshotData& data) {
  const CSettingsChange change(*this);
  const std::vector<std::uint8_t>& d = data.m_data;
  // A block too short for its layout is taken as one of another version.
  if (d.size() >= kBreakSnapshotRecordSize && d[0] == kSnapshotVersion) {
    CSingleLock lock(m_host->GetLock());
    m_muteMask = LoadU32(&d[kSnapMuteMask]);
    for (std::size_t c = 0; c < std::size_t(GetChannelCount()); ++c) m_gains[c] = GainStep(d[kSnapGains + c]);
  }
  // Offline the recall changes the file only: going online sends it or reads the unit.
  if (IsConnected()) SendAllSettings();
  RefreshEachChannel({kBreakParamGain, kBreakParamMute});
}

// --- Clipboard ---

ZelClipboardRecord CZelBreakDevice::MakeClipboardRecord() const {
  ZelClipboardRecord r{};
  CSingleLock lock(m_host->GetLock());
  StoreU32(&r[kClipType], m_typeCode);
  std::copy(m_gains.begin(), m_gains.end(), r.begin() + kClipGains);
  StoreU32(&r[kClipMuteMask], m_muteMask);
  r[kClipGpio] = GetGpioByte();
  return r;
}

void CZelBreakDevice::PasteRecord(const ZelClipboardRecord& r, std::uint32_t command) {
  const CSettingsChange change(*this);
  if (m_pollGate) m_pollGate->Set();
  const bool mixer = command == 0 || command == kAmpCmdPasteControls;
  const bool gpio = command == 0 || command == kAmpCmdPasteProperties;
  {
    CSingleLock lock(m_host->GetLock());
    if (mixer) {
      // The record's own model says how many gains it carries; other codes carry none.
      const auto channels = std::size_t(GetZelBreakChannelCount(LoadU32(&r[kClipType])));
      for (std::size_t c = 0; c < channels; ++c) m_gains[c] = GainStep(r[kClipGains + c]);
      m_muteMask = LoadU32(&r[kClipMuteMask]);
    }
    if (gpio) UnpackZelBreakGpioConfig(r[kClipGpio], m_gpioInputMode, m_gpioOutputMode, m_networkMasterPulse);
  }
  if (mixer || gpio) {
    if (IsConnected()) SendAllSettings();
    if (mixer) Post(FrameMsg::kStatusEvent, kBreakHintMixer);
    if (gpio) Post(FrameMsg::kStatusEvent, kBreakHintStatus);
  }
  if (m_pollGate) m_pollGate->Reset();
  if (mixer || gpio) {
    Post(FrameMsg::kSelectDevice);
    m_host->SetModified(true);
  }
  // Pasted controls are the person's change: they follow over the links (the posted hint only
  // shows what the device holds).
  if (mixer) RefreshEachChannel({kBreakParamGain, kBreakParamMute});
}

// --- Status hints ---

void CZelBreakDevice::OnStatusEvent(int hint) {
  switch (hint) {
    case kBreakHintMixer:
      RefreshEachChannel({kBreakParamGain, kBreakParamMute});
      RefreshAll({kBreakParamDeviceActive, kBreakParamNetworkActive});
      break;
    case kBreakHintNames:
      RefreshEachChannel({kBreakParamChannelName});
      Refresh(kBreakParamBoxName);
      break;
    case kBreakHintStatus:
      RefreshAll({kBreakParamDeviceActive, kBreakParamNetworkActive});
      break;
    default:
      break;
  }
}
