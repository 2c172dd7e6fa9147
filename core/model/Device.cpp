// Base behaviour of the device operations, the base records and the outgoing queue.
#include "core/model/Device.h"
#include "core/model/DeviceTexts.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <utility>

#include "core/protocol/ControlMessage.h"
#include "core/model/ControlPanel.h"
#include "core/file/DataStream.h"
#include "core/model/Snapshot.h"
#include "core/model/DeviceHost.h"
#include "core/model/DeviceProperty.h"
#include "core/support/ScopeGuard.h"
#include "core/support/SystemMessages.h"
#include "platform/Archive.h"
#include "platform/Clock.h"
#include "platform/Graphics.h"
#include "platform/Sync.h"
#include "platform/WindowMessages.h"
#include "platform/TextFormat.h"

namespace {
// Height of every base tile.
constexpr int kTileHeight = 30;
// ARGB of the veil over an ignored device's tile.
constexpr std::uint32_t kIgnoredVeil = 0x96323232u;
// Bounds the walk of GetParameterAt for a family whose list lacks its "NULL" end.
constexpr int kMaxParameters = 100000;

}  // namespace

CDevice::CDevice(IDeviceHost* host, std::uint32_t typeCode, std::uint32_t deviceId, IMessageSink* frame,
                 std::uint32_t modelIndex)
    : m_host(host),
      m_frame(frame),
      m_uuid(MakeUuid()),
      m_deviceId(deviceId),
      m_typeCode(typeCode),
      m_modelIndex(modelIndex),
      m_gate(std::make_unique<CUserChangeGate>(*this)),
      m_addressRules(std::make_unique<CAddressRules>(*this)),
      m_unitAtId(std::make_unique<CUnitAtId>(*this)) {}

CDevice::~CDevice() { m_queue.ClearQueue(); }

// --- CObjectProperties ---

void CDevice::GetProperties(std::vector<CPropertyItem>& items) { (void)items; }
bool CDevice::ValidateProperty(CNamedPropertyValue& value) {
  (void)value;
  return false;
}
void CDevice::CopyToClipboard(std::uint32_t command) { (void)command; }
bool CDevice::CanCopy(std::uint32_t command) {
  (void)command;
  return false;
}
void CDevice::PasteFromClipboard(std::uint32_t command) { (void)command; }
bool CDevice::CanPaste(std::uint32_t command) {
  (void)command;
  return false;
}
std::uint32_t CDevice::GetClipboardFormat() { return 0; }

// --- Drawing, naming and menus ---

int CDevice::DrawTile(Graphics* g, const CRect& rect, int blinkPhase) {
  (void)blinkPhase;
  if (rect == CRect{} || !g) return kTileHeight;
  // A translucent dark grey veil over what the family drew marks an ignored device.
  if (m_ignored) g->FillRectangle(CBrush::Solid(CColour{kIgnoredVeil}), CRectF::FromRect(rect));
  return kTileHeight;
}

bool CDevice::IsTileVisible(int viewMode) {
  (void)viewMode;
  return true;
}

void CDevice::Reinitialise(std::uint32_t mode) {
  m_sessionMode = mode;
  m_needsInitialisation = true;
}

CSize CDevice::GetPanelSize() { return CSize{300, 300}; }

std::string CDevice::GetDisplayName() {
  std::string name = m_name.empty() ? GetModelName() : m_name;
  return name + " - ID: " + std::to_string(std::int32_t(m_deviceId));
}

void CDevice::BuildContextMenu(CMenu& menu, int argument) {
  (void)menu;
  (void)argument;
}

bool CDevice::OnContextMenuCommand(std::uint32_t command, int argument) {
  (void)command;
  (void)argument;
  return false;
}

void CDevice::OnUpdateContextMenuCommand(CCmdUI& cmdUI) { (void)cmdUI; }
void CDevice::OnStatusEvent(int statusCode) { (void)statusCode; }
void CDevice::FillPropertiesPane(IDevicePropertyGrid& grid) { (void)grid; }
bool CDevice::OnPropertyChanged(CDeviceProperty& row) {
  (void)row;
  return false;
}

// --- Parameters ---

void CDevice::ApplyControlChange(const CParamValue& value) { ApplyKeptControlChange(value, value); }

void CDevice::ApplyKeptControlChange(const CParamValue& stored, const CParamValue& requested) {
  if (CControlPanel* panel = m_controlPanel) panel->NotifyParameterChanged(stored);
  if (m_host) m_host->OnParameterChanged(this, stored, requested, CParameterChangeNotice{});
}

bool CDevice::ValidateListedProperty(const CListForm& form, CNamedPropertyValue& value) {
  return ValidatePropertyList([this](IDevicePropertyGrid& grid) { FillPropertiesPane(grid); },
                              [this](CDeviceProperty& row) { return OnPropertyChanged(row); }, form, value);
}

std::string CDevice::GetUnitText() {
  return GetModelName() + (m_name.empty() ? "" : " " + m_name) + " ID: " + std::to_string(std::int32_t(m_deviceId));
}

std::string DeviceListText(CDevice& device) {
  const std::string unit = "(" + device.GetModelName() + ", ID " + std::to_string(device.GetDeviceId()) + ")";
  const std::string name = device.GetName();
  return name.empty() ? unit : name + " " + unit;
}

bool CDevice::IsLinkable() { return true; }

CParamInfo CDevice::GetParameterAt(int n) {
  (void)n;
  CParamInfo info;
  info.name = "NULL";
  return info;
}

CParamValue CDevice::GetCurrentValue(int parameterId) {
  (void)parameterId;
  return MakeNoParamValue();
}

float CDevice::NudgeLevel(int parameterId, float value, float delta) {
  (void)parameterId;
  return value + delta;
}

void CDevice::ListParameters(int controlKind, std::vector<CParamInfo>& out) {
  (void)controlKind;
  (void)out;
}

void CDevice::ListMatchingParameters(const CParamInfo& like, std::vector<CParamInfo>& out) {
  (void)like;
  (void)out;
}

CParamInfo CDevice::FindParameter(const CParamInfo& info) {
  for (int n = 0; n < kMaxParameters; ++n) {
    CParamInfo entry = GetParameterAt(n);
    if (entry.name == "NULL") return entry;
    if (entry == info) return entry;
  }
  return CDevice::GetParameterAt(0);
}

// --- Records ---

void CDevice::Serialize(CArchive& ar) {
  if (ar.IsStoring()) {
    ar.WriteU32(2);
    ArchiveUuid(ar, m_uuid);
    m_panelPlacement.Store(ar, m_controlPanel != nullptr || m_panelPlacement.WasPanelOpenWhenStored());
    ar.WriteU32(m_ignored ? 1u : 0u);
    return;
  }

  const std::uint32_t version = ar.ReadU32();
  CArchive::CheckVersion(version, 1, 2, "device record");
  if (version == 2) ArchiveUuid(ar, m_uuid);
  m_panelPlacement.Load(ar);
  if (version == 2) m_ignored = ar.ReadU32() != 0;
}

void CDevice::SerializeStream(CDataStream& ds) {
  if (!ds.IsStoring() && !ds.IsLoading()) return;
  try {
    if (!ds.Version(2)) return;
    StreamUuid(ds, m_uuid);
    m_panelPlacement.Stream(ds, m_controlPanel != nullptr || m_panelPlacement.WasPanelOpenWhenStored());
    std::uint8_t ignored = m_ignored ? 1 : 0;
    ds.U8(ignored);
    if (ds.IsLoading()) m_ignored = ignored != 0;
  } catch (const CStreamError&) {
  }
}

CSnapshotData* CDevice::CreateSnapshotData() { return nullptr; }
void CDevice::ApplySnapshotData(const CSnapshotData& data) { (void)data; }

// --- Comms ---

bool CDevice::GetNextPollMessage(CControlMessage& record) {
  (void)record;
  return false;
}
void CDevice::ProcessReply(CControlMessage& record) {
  // Every family's replies are counted here, so that no reply handler can store a value the
  // file keeps without autosave knowing of it.
  if (!m_unitChanges.MayStore(record)) return TakeReply(record);
  const std::uint64_t before = StoredPrint();
  TakeReply(record);
  m_unitChanges.CountIfChanged(before, StoredPrint());
}

void CDevice::TakeReply(CControlMessage& record) { (void)record; }

std::uint64_t CDevice::StoredPrint() {
  std::uint64_t print = 0xcbf29ce484222325ull;
  CArchive ar([&](const std::uint8_t* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) print = (print ^ data[i]) * 0x100000001b3ull;
  });
  Serialize(ar);
  ar.Flush();
  return print;
}
bool CDevice::BuildReadSecurityMessage(CControlMessage& record) {
  (void)record;
  return false;
}
bool CDevice::BuildWriteSecurityMessage(CControlMessage* record, const CUserList* users) {
  (void)record;
  (void)users;
  return false;
}
bool CDevice::BuildSecurityCheckMessage(CControlMessage& record) {
  (void)record;
  return false;
}
bool CDevice::BuildPresenceProbe(CControlMessage& record) {
  (void)record;
  return false;
}
void CDevice::DecodeSecurityBlock(const std::uint8_t* reply, CUserList& users) {
  (void)reply;
  (void)users;
}

// --- Live meters, LEDs and status ---

int CDevice::DrawMonitorTile(Graphics* g, const CRect& rect, Graphics* dc, int mode) {
  (void)g;
  (void)rect;
  (void)dc;
  (void)mode;
  return 0;
}

CRect CDevice::GetExtraRect(Graphics* dc, const CRect& meterRect) {
  (void)dc;
  (void)meterRect;
  return CRect{};
}

void CDevice::DrawLed(Graphics& g, int colourCode, int left, int top, int right, int bottom) {
  CColour centre{0x00000000u};
  switch (colourCode) {
    case kLedRed:
      centre = CColour{0xFFFF0000u};
      break;
    case kLedGreen:
      centre = CColour{0xFF00FF00u};
      break;
    case kLedYellow:
      centre = CColour{0xFFFFFF00u};
      break;
    default:
      break;
  }
  const CColour edge{centre.argb & 0x00FFFFFFu};
  const CColour half = CColour::FromArgb(std::uint8_t(centre.A() / 2), centre.R(), centre.G(), centre.B());
  const CRectF ellipse{float(left), float(top), float(right - left), float(bottom - top)};
  CGraphicsPath path;
  path.AddEllipse(ellipse);
  // Full colour in the middle, half of it at 70 % of the radius, nothing at the rim.
  CBrush brush = CBrush::EllipseGradient(ellipse, centre, edge);
  brush.SetInterpolationColours({{0.0f, centre}, {0.7f, half}, {1.0f, edge}});
  g.FillPath(brush, path);
}

void CDevice::OnSystemSolo(bool solo) { (void)solo; }
void CDevice::NotifySoloToOtherDevices(bool solo) {
  if (m_host) m_host->NotifyOtherDevices(this, solo, CParameterChangeNotice{});
}
std::uint32_t CDevice::HasWarnings() { return m_warningBits; }
std::string CDevice::GetStatusText() { return m_name; }
int CDevice::GetOnlineStatusParamId() { return 0; }
int CDevice::GetOfflineStatusParamId() { return 0; }
int CDevice::GetWarningStatusParamId() { return 0; }

bool CDevice::SetIgnored(bool ignored) {
  m_ignored = ignored;
  return ignored;
}

void CDevice::ToggleIgnored() {
  // Under the system lock, and ignored before it drops off: a reply handed over between the two
  // would otherwise connect it again, and it would stay connected while ignored.
  std::optional<CSingleLock> lock;
  if (m_host) lock.emplace(m_host->GetLock());
  const bool ignored = IsIgnored();
  if (ignored) {
    Reinitialise(m_sessionMode);
    SetIgnored(false);
  } else {
    SetIgnored(true);
    OnDisconnected(false);
  }
  Post(FrameMsg::kRedrawMeterEntry);
  Post(FrameMsg::kRefreshRack);
  // The pane's rows follow: a unit that is not connected takes a new ID, and no other edit.
  if (m_host && m_host->IsSelectedDevice(this)) Post(FrameMsg::kShowDeviceProps, 1);
}

std::uint32_t CDevice::GetMessageMergeMask(const CControlMessage& message) {
  (void)message;
  return 0;
}

// --- Connection level ---

void CDevice::Post(std::uint32_t message, LPARAM lParam) {
  if (m_frame) m_frame->Post(CPostedMessage{message, 0, lParam, m_handle.Value(), {}});
}

void LogUnusedReply(const CDevice& device, const CControlMessage& record, const char* why) {
  if (IDeviceHost* host = device.GetHost())
    host->WriteErrorLog(FormatText("Reply to command 0x%X from device ID %u not used (%s)\n",
                                   unsigned(record.command), unsigned(device.GetDeviceId()), why));
}


void CDevice::UpdateCommsState(bool replyOk) {
  bool notify = false;
  // Connected, or gone: the rows the pane offers for the device change.
  bool edge = false;
  m_missedLastReply = !replyOk;
  if (replyOk) {
    if (m_commsLevel > kMaxCommsLevel - 1 || m_ignored) return;
    const std::int32_t level = ++m_commsLevel;
    m_missCount = 0;
    notify = level < 4;
    edge = level == kConnectedAbove + 1;
    if (edge && m_host) m_host->WriteLog("Connected to " + GetUnitText() + "\n");
    // Back: what the links kept while it was away they give it now.
    if (edge) m_queue.ForgetLinkWritesOwed();
  } else {
    ++m_missCount;
    if (m_commsLevel > 0 && --m_commsLevel == 0) {
      OnDisconnected(false);
      notify = edge = true;
    }
  }
  if (!notify) return;
  Post(FrameMsg::kRedrawMeterEntry);
  Post(FrameMsg::kRefreshRack);
  Post(FrameMsg::kPropagateOnline);
  // The open panel is told whether the device is online now.
  if (m_controlPanel) Post(FrameMsg::kPanelOnlineState, IsConnected() ? 1 : 0);
  if (m_host && m_host->IsSelectedDevice(this)) Post(FrameMsg::kSelectDevice, edge ? 1 : 0);
}

void CDevice::EndUnconnectedSession() {
  if (m_commsLevel == 0 && m_warningBits == 0) return;
  m_commsLevel = 0;
  m_warningBits = 0;
  m_replyTimer.Clear();
  Post(FrameMsg::kRedrawMeterEntry);
  Post(FrameMsg::kRefreshRack);
  Post(FrameMsg::kPropagateOnline);
  Post(FrameMsg::kPropagateWarning);
  if (m_controlPanel) Post(FrameMsg::kPanelOnlineState, 0);
}

void CDevice::OnDisconnected(bool clearWarnings) {
  m_commsLevel = 0;
  if (m_controlPanel) Post(FrameMsg::kPanelOnlineState);
  if (clearWarnings) m_warningBits = 0;
  m_replyTimer.Clear();
  Post(FrameMsg::kInvalidatePanel);
  Post(FrameMsg::kPropagateOnline);
  Post(FrameMsg::kPropagateWarning);
  if (m_host)
    m_host->WriteLog("Disconnected from " + GetUnitText() + "\n");
}

// --- Outgoing queue ---

void CDevice::QueueMessage(bool force, std::unique_ptr<CControlMessage> message) {
  m_queue.Push(force, std::move(message));
}

void CDevice::SetDeviceId(std::uint32_t id) {
  if (id == m_deviceId) return;
  m_queue.ClearQueue();
  m_deviceId = id;
  m_unitAtId->SetOtherModelAtId(0);
  if (CControlPanel* panel = m_controlPanel) panel->UpdateDeviceId();
  // The ID rows refuse an ID that another device's frames reach: the new one is the device's own.
  m_addressRules->SetLeftOut(false);
  // Online the unit at the new ID has had nothing of the session: it gets what going online
  // gave the old one, the file's settings or a read-out.
  if (m_host && m_host->IsPortOpen()) Reinitialise(m_sessionMode);
}

void CDevice::OnLateAnswer(std::uint32_t command, std::uint32_t argument) {
  (void)command;
  (void)argument;
}

std::string CDevice::ControlChangeRefusal(const CParamValue& value) const {
  (void)value;
  return {};
}

void CDevice::SetControlPanel(CControlPanel* panel) {
  m_controlPanel = panel;
  m_panelPlacement.ClearPanelWasOpen();
}
