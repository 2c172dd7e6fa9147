// The processor's clipboard operations: copy, the can-paste answer and paste by section.
#include <algorithm>

#include "core/model/ControlPanel.h"
#include "core/model/DeviceHost.h"
#include "core/support/SystemMessages.h"
#include "core/model/User.h"
#include "devices/processor/NerexChange.h"
#include "devices/processor/NerexClipboard.h"
#include "devices/processor/NerexMessages.h"
#include "devices/processor/NerexPanel.h"
#include "devices/processor/NerexParamIds.h"
#include "devices/processor/NerexPaste.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "platform/Clipboard.h"
#include "platform/Sync.h"
#include "platform/WindowMessages.h"

namespace {

// A channel name as a parameter value: the stored 8 characters without the padding blanks.
std::string TrimmedName(const NerexChannelName& name) {
  std::string text(name.begin(), name.end());
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  const auto last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

// The open panel's refresh of one page after a paste.
void RefreshPage(INerexSeriesPanel& panel, std::uint32_t page, std::uint32_t sideTab) {
  switch (page) {
    case kNerexPageMixer: panel.SelectSideTab(sideTab, true); break;
    case kNerexPageInputGeq: panel.RefreshGeqCurve(true); break;
    case kNerexPageInputPeq: panel.RefreshPeqSection(true); break;
    case kNerexPageOutputEq: panel.RefreshOutputEqSection(true); break;
    case kNerexPageInputDeq: panel.RefreshDeqSection(true); break;
    case kNerexPageOutputComp: panel.RefreshOutputSection(true); break;
    default: break;
  }
}

// The blocks a paste changed, each sent whole.
void QueuePasteWrites(CNerexSeriesDevice& d, const std::vector<ENerexPasteWrite>& writes) {
  for (ENerexPasteWrite write : writes) {
    auto queue = [&](auto build) { QueueBuilt(d, false, build); };
    switch (write) {
      case ENerexPasteWrite::InputBlock:
        queue([&](CControlMessage& m) { return BuildBlock26Message(d, m, 0, 0xC0); });
        break;
      case ENerexPasteWrite::OutputBlock:
        queue([&](CControlMessage& m) { return BuildBlock31Message(d, m, 0, 0xC0); });
        break;
      case ENerexPasteWrite::GeqBlock:
        queue([&](CControlMessage& m) { return BuildBlock42Message(d, m, 0, 0xC0); });
        break;
      case ENerexPasteWrite::DeqBlock:
        queue([&](CControlMessage& m) { return BuildBlock43Message(d, m, 0, 0xC0); });
        break;
      case ENerexPasteWrite::Names:
        queue([&](CControlMessage& m) { return BuildBlock35Message(d, m); });
        break;
      case ENerexPasteWrite::GeneralSettings:
        queue([&](CControlMessage& m) { return BuildGeneralSettingsMessage(d, m); });
        break;
    }
  }
}

}  // namespace

bool CNerexSeriesDevice::CanCopy(std::uint32_t command) {
  (void)command;
  return true;
}

void CNerexSeriesDevice::CopyToClipboard(std::uint32_t command) {
  NerexClipboardProperties p;
  std::vector<std::uint8_t> bytes;
  {
    CSingleLock lock(SettingsLock());
    const auto& g = GetGeneralSettings();
    p.securityCode = g.GetSecurityCode();
    p.systemLock = g.bytes[NerexGeneralSettings::kSystemLock];
    p.gpiMode = g.bytes[NerexGeneralSettings::kGpiMode];
    p.memoryOffset = g.bytes[NerexGeneralSettings::kMemoryOffset];
    p.transmitPreset = g.bytes[NerexGeneralSettings::kTransmitPreset];
    p.onDelay = g.bytes[NerexGeneralSettings::kOnDelay];
    p.lcdContrast = g.bytes[NerexGeneralSettings::kLcdContrast];
    p.ledTimeout = g.bytes[NerexGeneralSettings::kLedTimeout];
    p.autoRtcUpdate = HostOptions().GetAutoRtcUpdate() ? 1 : 0;
    p.delayUnits = HostOptions().GetDelayUnits();
    p.delayMultiplier = HostOptions().GetDelayMultiplier();
    p.gainNudge = HostOptions().GetGainNudge();
    bytes = StoreClipboardRecord(
        MakeClipboardRecord(GetCurrentSettings(), GetModel(), p, command, PanelView().GetSelectedChannel()));
  }
  SetClipboardData(GetClipboardFormat(), bytes);
}

bool CNerexSeriesDevice::CanPaste(std::uint32_t command) {
  // Online with the unit away, a paste would change the file but not the unit.
  if (HeldValues().IsAwayOnline()) return false;
  std::vector<std::uint8_t> bytes;
  if (!GetClipboardData(GetClipboardFormat(), bytes)) return false;
  if (!CurrentUserHolds(GetHost(), kRestrictUseDeviceControls)) return false;
  NerexClipboardRecord record;
  if (!LoadClipboardRecord(bytes, record)) return false;
  CSingleLock lock(SettingsLock());
  return CanPasteRecord(command, record, GetModel(), PanelView().GetSelectedChannel(), GetCurrentSettings().outputs);
}

void CNerexSeriesDevice::PasteFromClipboard(std::uint32_t command) {
  // A person's paste: refused here whichever menu or key asked for it.
  if (!CanPaste(command)) return;
  std::vector<std::uint8_t> bytes;
  if (!GetClipboardData(GetClipboardFormat(), bytes)) return;
  NerexClipboardRecord record;
  if (!LoadClipboardRecord(bytes, record)) return;

  // While the paste event is set the poll sends nothing, and the image is written under the
  // system lock, so no reply is parsed into a half-pasted image; a read on its way meanwhile
  // does not take the paste back.
  const CSettingsChange change(*this);
  m_pasteGate.BeginPaste();
  NerexPasteResult result;
  {
    CSingleLock lock(SettingsLock());
    NerexPasteTarget target;
    target.image = &m_current;
    target.model = GetModel();
    target.hardwareCode = GetHardwareCode();
    target.selectedChannel = PanelView().GetSelectedChannel();
    std::array<std::uint8_t, 20>& general = m_general.bytes;
    bool autoRtc = HostOptions().GetAutoRtcUpdate();
    std::uint32_t units = HostOptions().GetDelayUnits(), multiplier = HostOptions().GetDelayMultiplier(), nudge = HostOptions().GetGainNudge();
    target.general = &general;
    target.autoRtcUpdate = &autoRtc;
    target.delayUnits = &units;
    target.delayMultiplier = &multiplier;
    target.gainNudge = &nudge;
    result = PasteRecord(command, record, target);
    HostOptions().SetAutoRtcUpdate(autoRtc);
    HostOptions().SetDelayUnits(units);
    HostOptions().SetDelayMultiplier(multiplier);
    HostOptions().SetGainNudge(nudge);
  }

  if (IsConnected()) QueuePasteWrites(*this, result.writes);

  for (std::int32_t id : result.announce) {
    if (id >= kParamInputName && id < kParamInputName + kNerexMaxInputs) {
      CDevice::ApplyControlChange(MakeTextParamValue(id, TrimmedName(GetCurrentSettings().inputs.names[id - kParamInputName])));
    } else if (id >= kParamOutputName && id < kParamOutputName + kNerexMaxOutputs) {
      CDevice::ApplyControlChange(
          MakeTextParamValue(id, TrimmedName(GetCurrentSettings().outputs.names[id - kParamOutputName])));
    } else {
      CDevice::ApplyControlChange(GetCurrentValue(id));
    }
  }

  if (INerexSeriesPanel* panel = GetNerexPanel()) {
    const std::uint32_t page = PanelView().GetPanelPage();
    if (result.linkedNames) {
      // The panel's linked channel names follow the pasted names.
      if (page == kNerexPageInputGeq || page == kNerexPageInputPeq) panel->GetLinkedInputNames(true);
      if (page == kNerexPageOutputEq) panel->GetLinkedOutputNames(true);
    } else if (std::find(result.pages.begin(), result.pages.end(), page) != result.pages.end()) {
      RefreshPage(*panel, page, PanelView().GetSideTab());
    }
  }
  if (result.propertiesChanged) Post(FrameMsg::kShowDeviceProps);
  m_pasteGate.EndPaste();
}
