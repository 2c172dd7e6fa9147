// Construction and lifecycle of the processor device, its general settings, model answers,
// status text, security requests, meters and the factory entry of the family.
#include "devices/processor/NerexSeriesDevice.h"

#include <algorithm>
#include <atomic>
#include <ctime>
#include <iterator>
#include <stdexcept>

#include "core/protocol/ControlMessage.h"
#include "core/model/ControlPanel.h"
#include "core/protocol/SevenBit.h"
#include "core/model/DeviceHost.h"
#include "core/support/SystemMessages.h"
#include "devices/processor/NerexBlocks.h"
#include "devices/processor/NerexChange.h"
#include "devices/processor/NerexChannelRules.h"
#include "devices/processor/NerexMessages.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexPanel.h"
#include "devices/processor/NerexRules.h"
#include "platform/Clipboard.h"
#include "platform/Sync.h"
#include "platform/TextFormat.h"

namespace {

std::atomic<int> g_instances{0};

constexpr std::uint32_t kProcessorTypeCodes[] = {16, 17, 110, 112, 114, 115, 116, 118, 120, 121};
constexpr std::uint32_t kSecurityBlockFrame = 288;

bool IsProcessorTypeCode(std::uint32_t code) {
  return std::find(std::begin(kProcessorTypeCodes), std::end(kProcessorTypeCodes), code) !=
         std::end(kProcessorTypeCodes);
}

}  // namespace

// --- General settings ---

NerexGeneralSettings::NerexGeneralSettings() {
  SetSecurityCode(8064);
  bytes[kOnDelay] = 6;
  bytes[kLcdContrast] = 10;
}

void CopyGeneralSettings(const NerexGeneralSettings& source, NerexGeneralSettings& target) {
  target = source;
  target.bytes[NerexGeneralSettings::kRecallFlag] = source.bytes[NerexGeneralSettings::kRecallFlag] ? 1 : 0;
}

bool CompareGeneralSettings(const NerexGeneralSettings& a, const NerexGeneralSettings& b) {
  if (a.GetSecurityCode() != b.GetSecurityCode()) return true;
  for (int i = NerexGeneralSettings::kSystemLock; i <= NerexGeneralSettings::kLedTimeout; ++i)
    if (a.bytes[std::size_t(i)] != b.bytes[std::size_t(i)]) return true;
  return false;
}

// --- Factory ---

CDevice* CreateNerexSeriesDevice(IDeviceHost* host, IMessageSink* frame, std::uint32_t typeCode,
                                 std::uint32_t deviceId, std::uint32_t modelIndex) {
  if (!IsProcessorTypeCode(typeCode)) return nullptr;
  // The Fennick models have one hardware form.
  if (IsFennickModel(int(typeCode))) modelIndex = 0;
  auto* device = new CNerexSeriesDevice(host, typeCode, deviceId, frame, modelIndex);
  device->Initialise();
  return device;
}

// --- Construction and lifecycle ---

CNerexSeriesDevice::CNerexSeriesDevice(IDeviceHost* host, std::uint32_t typeCode, std::uint32_t deviceId,
                                       IMessageSink* frame, std::uint32_t modelIndex)
    : CDevice(host, typeCode, deviceId, frame, modelIndex) {
  m_gate = std::make_unique<CNerexChangeGate>(*this);
  m_addressRules = std::make_unique<CNerexAddressRules>(*this);
  m_unitAtId = std::make_unique<CNerexUnitAtId>(*this);
  // Meter readings are no part of the file: their replies are taken without a print.
  m_unitChanges.SetMeterCommands({kCmdMeters, kCmdMeterPage});
  m_hostOptions.SetClockStamp(std::int64_t(std::time(nullptr)));
  // A device built while a file is read gets its presets from its record, which sizes the list.
  if (!m_host || !m_host->IsReadingFile()) ResizePresetList(m_presets, kNerexDefaultPresetCount);
  InitMemoryDefaults(m_current);
  ApplyCompressorLimiters(m_current.outputs, m_current.outputs.compressorLimiters == 1);
}

CNerexSeriesDevice::~CNerexSeriesDevice() {
  Queue().ClearQueue();
  if (m_initialised) --g_instances;
}

void CNerexSeriesDevice::Initialise() {
  if (m_initialised) return;
  m_pasteGate.MakeEvent();
  m_initialised = true;
  ++g_instances;
}

int CNerexSeriesDevice::GetInstanceCount() { return g_instances; }

void CNerexSeriesDevice::Reinitialise(std::uint32_t mode) {
  {
    CSingleLock lock(SettingsLock());
    CDevice::Reinitialise(mode);
    m_receivedMask = 0;
    m_memoryFlagsIndex = 0;
    m_memoryNameIndex = 0;
    m_readout.Reset();
  }
  Queue().ClearQueue();
  if (mode != 1) return;

  // The file's whole content for the unit, queued even while the unit is not connected yet.
  // The lock keeps the reply handler off the memories while they are encoded.
  CSingleLock lock(SettingsLock());
  auto queue = [this](auto build) { QueueBuilt(*this, true, build); };
  for (std::size_t i = 0; i < m_presets.size() && i < 255; ++i) {
    const CNerexSeriesMemory* memory = m_presets[i].get();
    const auto n = std::uint8_t(i + 1);
    const std::uint32_t flags = memory->sectionFlags;
    if (!(flags & kSectionAll)) {
      queue([&](CControlMessage& m) { return BuildClearMemoryMessage(*this, m, n); });
      continue;
    }
    if (flags & kSectionInputs)
      queue([&](CControlMessage& m) { return BuildBlock26Message(*this, m, n, MemoryBlockMode(flags, kBlockInputs), memory); });
    if (flags & kSectionGeq)
      queue([&](CControlMessage& m) { return BuildBlock42Message(*this, m, n, MemoryBlockMode(flags, kBlockGeq), memory); });
    if (flags & kSectionOutputs)
      queue([&](CControlMessage& m) { return BuildBlock31Message(*this, m, n, MemoryBlockMode(flags, kBlockOutputs), memory); });
    if (flags & kSectionDeq)
      queue([&](CControlMessage& m) { return BuildBlock43Message(*this, m, n, MemoryBlockMode(flags, kBlockDeq), memory); });
    queue([&](CControlMessage& m) { return BuildMemoryNameMessage(*this, m, n, memory->name); });
  }
  queue([&](CControlMessage& m) { return BuildBlock26Message(*this, m, 0, 0x40); });
  queue([&](CControlMessage& m) { return BuildBlock31Message(*this, m, 0, 0x40); });
  if (IsTorvexLayoutModel(GetModel())) queue([&](CControlMessage& m) { return BuildBlock42Message(*this, m, 0, 0x40); });
  if (GetModel() == kModelTorvex48) queue([&](CControlMessage& m) { return BuildBlock43Message(*this, m, 0, 0x40); });
  queue([&](CControlMessage& m) { return BuildBlock35Message(*this, m); });
  if (IsFennickModel(GetModel())) queue([&](CControlMessage& m) { return BuildGeneralSettingsMessage(*this, m); });
}

// --- Model answers ---

int CNerexSeriesDevice::GetInputCount() const { return ::GetInputCount(GetModel()); }
int CNerexSeriesDevice::GetOutputCount() const { return ::GetOutputCount(GetModel()); }

CCriticalSection& CNerexSeriesDevice::SettingsLock() const { return m_host->GetLock(); }

bool CNerexSeriesDevice::AllBlocksReceived() const { return ::AllBlocksReceived(GetModel(), m_receivedMask); }

const char* CNerexSeriesDevice::GetControlPanelClass() {
  switch (GetControlPanelKind(GetModel(), GetHardwareCode())) {
    case ENerexPanelKind::Fennick: return "CFennickControlPanel";
    case ENerexPanelKind::ZelFennick: return "CZelFennickControlPanel";
    case ENerexPanelKind::Calder48: return "CCalder48ControlPanel";
    case ENerexPanelKind::Hollin2: return "CHollin2ControlPanel";
    case ENerexPanelKind::Torvex: return "CTorvexControlPanel";
    case ENerexPanelKind::Nerex: return "CNerexControlPanel";
  }
  return "CNerexControlPanel";
}

std::string CNerexSeriesDevice::GetModelName() { return ::GetModelName(GetModel(), GetHardwareCode()); }

std::string CNerexSeriesDevice::GetMemoryName(int index) const {
  CSingleLock lock(SettingsLock());
  if (index < 0 || std::size_t(index) >= m_presets.size() || !m_presets[std::size_t(index)])
    throw std::invalid_argument("no preset memory " + std::to_string(index));
  return m_presets[std::size_t(index)]->name;
}

CSize CNerexSeriesDevice::GetPanelSize() {
  const NerexPanelSize size = ::GetPanelSize(GetModel(), m_panelView.GetPanelPage());
  return CSize{size.width, size.height};
}

std::uint32_t CNerexSeriesDevice::GetClipboardFormat() { return RegisterClipboardFormat(kNerexClipboardFormat); }

int CNerexSeriesDevice::GetOnlineStatusParamId() { return 1352; }
int CNerexSeriesDevice::GetOfflineStatusParamId() { return 1353; }
int CNerexSeriesDevice::GetWarningStatusParamId() { return 1354; }

std::uint32_t CNerexSeriesDevice::GetMessageMergeMask(const CControlMessage& message) {
  return ::GetMessageMergeMask(std::uint8_t(message.command));
}

INerexSeriesPanel* CNerexSeriesDevice::GetNerexPanel() const {
  return dynamic_cast<INerexSeriesPanel*>(GetControlPanel());
}

void CNerexSeriesDevice::OnStatusEvent(int statusCode) {
  switch (statusCode) {
    case kNerexStatusMeters:
      if (INerexSeriesPanel* panel = GetNerexPanel()) panel->RequestMeterUpdate();
      break;
    case kNerexStatusSettings:
      if (CControlPanel* panel = GetControlPanel()) panel->UpdateAllControls();
      NotifyAllParameters(*this);
      break;
    case kNerexStatusPresets:
      if (INerexSeriesPanel* panel = GetNerexPanel()) panel->RefillPresetList();
      break;
    default:
      break;
  }
}

// --- Status text ---

std::string CNerexSeriesDevice::GetStatusText() {
  if (IsIgnored()) return "\nDevice Ignored";
  std::string text;
  const std::uint32_t warnings = m_warningBits;
  if (warnings & kNerexWarningNotInitialised) text += "\nNot Initialised";
  if (warnings & kNerexWarningFirmware)
    text += "\nFirmware Version Warning - currently v" + GetFirmwareVersion() + " should be v" +
            CNerexSources::ReadFirmwareTable("Fennick");
  if (!IsConnected() && m_host && m_host->IsPortOpen()) text += "\nNot Connected";
  return text;
}

// --- Security ---

bool CNerexSeriesDevice::BuildSecurityCheckMessage(CControlMessage& record) {
  m_poller.FillRead(record, kCmdReadNames, std::uint32_t(48 + 8 * (GetInputCount() + GetOutputCount())));
  record.frame[kNerexPayload] = 0;
  record.frameLength = 9;
  FinaliseFrame(record, *this);
  return true;
}

bool CNerexSeriesDevice::BuildPresenceProbe(CControlMessage& record) {
  m_poller.FillIdentificationRequest(record);
  return true;
}

bool CNerexSeriesDevice::BuildReadSecurityMessage(CControlMessage& record) {
  if (!IsFennickModel(GetModel())) return false;
  m_poller.FillRead(record, kCmdReadSecurity, kSecurityBlockFrame);
  FinaliseFrame(record, *this);
  return true;
}

bool CNerexSeriesDevice::BuildWriteSecurityMessage(CControlMessage* record, const CUserList* users) {
  if (!IsFennickModel(GetModel())) return false;
  if (!record) return true;
  CUserTable table{};
  PackUserTable(users ? *users : CUserList{}, table);
  Pack7Bit(table.data(), int(table.size()), record->frame + kNerexPayload);
  record->Set(kCmdWriteSecurity, kSecurityBlockFrame, 0, this, true, kNerexReplyStart, 0, 0);
  FinaliseFrame(*record, *this);
  return true;
}

void CNerexSeriesDevice::DecodeSecurityBlock(const std::uint8_t* reply, CUserList& users) {
  CUserTable table{};
  Unpack7Bit(reply + kNerexPayload, int(table.size()), table.data());
  UnpackUserTable(users, table);
  if (!m_host) return;
  const std::vector<CDevice*> devices = m_host->GetDevices();
  const std::vector<CUuid> panels = m_host->GetCustomPanelIds();
  for (CUser* user : users) {
    user->ClearPermissions();
    for (CDevice* device : devices) user->m_devicePermissions.push_back(new CPanelPermissions(device->GetUuid(), 1));
    for (const CUuid& panel : panels) user->m_panelPermissions.push_back(new CPanelPermissions(panel, 1));
  }
}

// --- Meters, ignoring, disconnection ---

void CNerexSeriesDevice::ResetMeters() {
  m_meters.Reset();
  // Also called on the worker: the panel hears of it through the frame, on the UI thread.
  Post(FrameMsg::kStatusEvent, kNerexStatusMeters);
}

bool CNerexSeriesDevice::SetIgnored(bool ignored) {
  CDevice::SetIgnored(ignored);
  if (ignored) {
    ResetMeters();
    Post(FrameMsg::kRedrawMeterEntry);  // the live meters show the silence
  }
  return ignored;
}

void CNerexSeriesDevice::OnDisconnected(bool clearWarnings) {
  CDevice::OnDisconnected(clearWarnings);
  ResetMeters();
  Post(FrameMsg::kRedrawMeterEntry);
}

