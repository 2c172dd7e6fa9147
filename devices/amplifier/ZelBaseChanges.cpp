// What the Zel families do alike on the UI thread: the route of a control change with the name
// and identify routes, writes and refreshes, the clipboard copy and paste, the context menu and
// the property rows and edits of the ID and the names.
#include <algorithm>
#include <utility>

#include "core/file/TextConversion.h"
#include "core/model/DeviceMenu.h"
#include "core/model/NameRules.h"
#include "core/protocol/ControlMessage.h"
#include "core/model/DeviceProperty.h"
#include "core/model/DeviceHost.h"
#include "devices/amplifier/ZelRules.h"
#include "core/support/SystemMessages.h"
#include "devices/amplifier/ZelBaseDevice.h"
#include "devices/amplifier/ZelPropertyRows.h"
#include "platform/Clipboard.h"
#include "platform/Sync.h"
#include "platform/WindowMessages.h"

using namespace zelrows;

// The name fields carry one 7-bit byte per printable character (they are not packed, and every
// byte after a frame's start byte keeps its top bit clear): a name is refused rather than sent
// garbled (a character beyond ASCII, or a tab or line end pasted from a spreadsheet), and an
// accepted one has as many bytes as characters.
static_assert(kUnitDeviceNameRule.maxCharacters == kZelNameBytes &&
              kZelChannelNameRule.maxCharacters == kZelChannelNameBytes);

// --- Control changes ---

void CZelBaseDevice::ApplyControlChange(const CParamValue& value) {
  // Online with the unit away, a setting would change in the file and the windows only.
  if (IsPanelOnlyParameter(value.id)) {
    if (ChangeControl(value)) m_host->SetModified(true);
    return;
  }
  if (HeldValues().RefuseChangeWhileAway(value.id)) return;
  const CSettingsChange change(*this);
  if (ChangeControl(value)) m_host->SetModified(true);
}

std::uint64_t CZelChangeGate::RightsNeededFor(int id) const {
  const ZelFamily& family = m_amplifier.m_family;
  if (m_amplifier.IsPanelOnlyParameter(id) || id == family.paramIdentify) return 0;
  if (id == family.paramName) return kRestrictEditDeviceProperties;
  const int channel = id - family.paramChannelName;
  if (channel >= 0 && channel < m_amplifier.GetChannelCount()) return kRestrictUseDeviceControls | kRestrictEditDeviceProperties;
  return kRestrictUseDeviceControls;
}

bool CZelBaseDevice::ChangeChannelName(int channel, const CParamValue& value) {
  const std::string text = value.GetText();
  // A name the unit cannot hold as typed (a character beyond ASCII, a control character, or
  // longer than its field) stays as it was, whichever control edited it, and what shows it
  // shows that again.
  if (!NameRefusal(text, kZelChannelNameRule).empty()) {
    Refresh(m_family.paramChannelName + channel);
    return false;
  }
  {
    CSingleLock lock(m_host->GetLock());
    m_channelNames[std::size_t(channel)] = text;
  }
  std::vector<std::uint8_t> payload{std::uint8_t(channel)};
  const std::vector<std::uint8_t> name = ZelPaddedText(text, kZelChannelNameBytes);
  payload.insert(payload.end(), name.begin(), name.end());
  Write(m_family.cmdChannelName, payload);
  Refresh(m_family.paramChannelName + channel);
  return true;
}

bool CZelBaseDevice::ChangeName(int offset, const CParamValue& value) {
  (void)offset;
  const std::string text = value.GetText();
  if (!NameRefusal(text, kUnitDeviceNameRule).empty()) {
    Refresh(m_family.paramName);
    return false;
  }
  {
    CSingleLock lock(m_host->GetLock());
    m_name = text;
  }
  Write(m_family.cmdName, ZelPaddedText(text, kZelNameBytes));
  Refresh(m_family.paramName);
  Post(FrameMsg::kRefreshRack);
  Post(FrameMsg::kPanelCaption);
  Post(FrameMsg::kRedrawMeterEntry);
  return true;
}

bool CZelBaseDevice::Identify(int offset, const CParamValue& value) {
  (void)offset;
  (void)value;
  auto message = std::make_unique<CControlMessage>();
  FillZelIdentityQuery(*message, *this);
  QueueMessage(false, std::move(message));
  return false;  // identifying changes nothing in the file
}

void CZelBaseDevice::Write(std::uint32_t command, const std::vector<std::uint8_t>& payload, bool force) {
  QueueMessage(force, MakeZelWrite(*this, command, payload));
}

void CZelBaseDevice::Refresh(int id) { CDevice::ApplyControlChange(GetCurrentValue(id)); }

void CZelBaseDevice::RefreshAll(std::initializer_list<int> ids) {
  for (int id : ids) Refresh(id);
}

void CZelBaseDevice::RefreshEachChannel(std::initializer_list<int> firstIds) {
  for (int n = 0; n < GetChannelCount(); ++n)
    for (int first : firstIds) Refresh(first + n);
}

// --- Clipboard and menu ---

std::uint32_t CZelBaseDevice::GetClipboardFormat() { return RegisterClipboardFormat(m_family.clipboardFormat); }

void CZelBaseDevice::CopyToClipboard(std::uint32_t command) {
  (void)command;
  const ZelClipboardRecord record = MakeClipboardRecord();
  SetClipboardData(GetClipboardFormat(), std::vector<std::uint8_t>(record.begin(), record.end()));
}

bool CZelBaseDevice::CanCopy(std::uint32_t command) {
  (void)command;
  return true;
}

void CZelBaseDevice::PasteFromClipboard(std::uint32_t command) {
  // A person's paste: refused here whichever menu or key asked for it.
  if (!CanPaste(command)) return;
  std::vector<std::uint8_t> bytes;
  if (!GetClipboardData(GetClipboardFormat(), bytes) || bytes.size() < kZelClipboardRecordBytes) return;
  ZelClipboardRecord record{};
  std::copy_n(bytes.begin(), kZelClipboardRecordBytes, record.begin());
  PasteRecord(record, command);
}

bool CZelBaseDevice::CanPaste(std::uint32_t command) {
  (void)command;
  return CanPasteAmplifierSettings(*this);
}

void CZelBaseDevice::BuildContextMenu(CMenu& menu, int argument) {
  CDevice::BuildContextMenu(menu, argument);
  InsertAmplifierMenuItems(menu);
}

bool CZelBaseDevice::OnContextMenuCommand(std::uint32_t command, int argument) {
  (void)argument;
  return OnAmplifierMenuCommand(*this, command);
}

void CZelBaseDevice::OnUpdateContextMenuCommand(CCmdUI& cmdUI) {
  switch (cmdUI.GetId()) {
    case kAmpCmdPasteControls:
    case kAmpCmdPasteProperties: cmdUI.Enable(CanPaste(0)); break;
    case kAmpCmdIgnoreDevice: cmdUI.SetCheck(m_ignored ? 1 : 0); break;
    default: break;
  }
}

// --- Properties ---

bool CZelBaseDevice::OnPropertyChanged(CDeviceProperty& row) {
  std::string message;
  // Online with the unit away only the ID, which the program alone keeps, may change.
  if (HeldValues().IsAwayOnline() && row.GetData() != m_family.propId) {
    row.SetErrorText(kNotConnectedRefusal);
    return false;
  }
  // A new ID from the property list posts only the rack's refresh.
  const ZelPropertyEdit edit{row.GetData(), row.GetNumber(), row.GetText(), GetPropertyComboSelection(row),
                             row.GetListValue() == nullptr};
  bool applied = false;
  {
    const CSettingsChange change(*this);
    applied = ApplyPropertyEdit(edit, message);
  }
  if (!applied) {
    row.SetErrorText(message);
    return false;
  }
  OnPropertyApplied(row);
  return true;
}

void CZelBaseDevice::OnPropertyApplied(CDeviceProperty& row) { (void)row; }

void CZelBaseDevice::GetProperties(std::vector<CPropertyItem>& items) {
  AppendPropertyList(*this, ListForm(), items);
}

bool CZelBaseDevice::ValidateProperty(CNamedPropertyValue& value) { return ValidateListedProperty(ListForm(), value); }

std::string CZelBaseDevice::ControlChangeRefusal(const CParamValue& value) const {
  if (value.id == m_family.paramName) return NameRefusal(value.GetText(), kUnitDeviceNameRule);
  const std::int64_t channel = std::int64_t(value.id) - m_family.paramChannelName;
  if (channel >= 0 && channel < GetChannelCount()) return NameRefusal(value.GetText(), kZelChannelNameRule);
  return {};
}

std::optional<bool> CZelBaseDevice::ApplySharedPropertyEdit(const ZelPropertyEdit& edit, std::string& message) {
  auto applyName = [&](int parameterId) {
    const CParamValue name = MakeTextParamValue(parameterId, edit.text);
    message = ControlChangeRefusal(name);
    if (!message.empty()) return false;
    ApplyControlChange(name);
    return true;
  };
  if (edit.id == m_family.propId) {
    const auto id = std::uint64_t(edit.number);
    if (std::optional<std::string> refusal = AddressRules().DeviceIdInUseRefusal(id)) {
      message = *refusal;
      return false;
    }
    if (std::string range = AddressRules().DeviceIdRangeRefusal(id); !range.empty()) {
      message = std::move(range);
      return false;
    }
    SetDeviceId(std::uint32_t(id));
    Post(FrameMsg::kRefreshRack);
    if (edit.grid) Post(FrameMsg::kPanelCaption);
    m_host->SetModified(true);
    return true;
  }
  if (edit.id == std::uint32_t(m_family.paramName)) return applyName(m_family.paramName);
  const std::int64_t channel = std::int64_t(edit.id) - m_family.paramChannelName;
  if (channel >= 0 && channel < GetChannelCount()) return applyName(int(edit.id));
  return std::nullopt;
}

std::unique_ptr<CDevicePropertyGroup> CZelBaseDevice::MakeGeneralGroup(bool mayEdit) const {
  auto general = std::make_unique<CDevicePropertyGroup>("General");
  general->Add(Row("ID", std::int64_t(m_deviceId), "Set the device ID", m_family.propId, mayEdit && !IsConnected()));
  general->Add(Row(m_family.nameLabel, m_name, "Set the device name", std::uint32_t(m_family.paramName), mayEdit));
  general->Add(Row("Firmware Version", m_firmwareVersion, "The firmware version currently in the amplifier",
                   kZelPropReadOnly, false));
  return general;
}

void CZelBaseDevice::AddChannelNameRows(CDevicePropertyGroup& group, bool mayEdit) const {
  for (int n = 0; n < GetChannelCount(); ++n)
    group.Add(Row(FormatText("Channel %d Name", n + 1), m_channelNames[std::size_t(n)],
                  FormatText("Set the name for Channel %d", n + 1), std::uint32_t(m_family.paramChannelName + n),
                  mayEdit));
}
