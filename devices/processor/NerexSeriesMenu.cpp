// The processor's entries in the device context menu (channel copy, paste by section, cloning,
// ignoring the device) and the label of the selected preset.
#include "core/support/AppSettings.h"
#include "core/model/DeviceMenu.h"
#include "core/model/DeviceHost.h"
#include "core/support/SystemMessages.h"
#include "devices/processor/NerexChange.h"
#include "devices/processor/NerexChannelRules.h"
#include "devices/processor/NerexClipboard.h"
#include "devices/processor/NerexMessages.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "platform/Sync.h"

namespace {

constexpr std::uint32_t kCmdLastPaste = 33880;  // handled, does nothing
constexpr std::uint32_t kCmdIgnoreDevice = 33881;
// Clone items are 33918 + the source's index in the system's device list. Removing the device
// items clears ids up to kLastDeviceMenuCommand, so only that many sources are offered.
constexpr std::uint32_t kCmdCloneFirst = 33918;
constexpr std::uint32_t kCmdCloneLast = kLastDeviceMenuCommand;

std::string CopyItemText(std::uint32_t channel) {
  if (channel <= 4) return std::string("Copy Channel ") + char('A' + channel - 1);
  return "Copy Channel " + std::to_string(channel - 4);
}

bool IsCloneId(std::uint32_t id) { return id >= kCmdCloneFirst && id <= kCmdCloneLast; }

// Whether device may copy all settings from other (never from itself).
bool IsCloneCompatible(const CNerexSeriesDevice& device, const CNerexSeriesDevice& other) {
  if (&other == &device) return false;
  const int a = device.GetModel(), b = other.GetModel();
  if (IsFennickModel(a)) return IsFennickModel(b);
  if (IsNerexSmallModel(a)) return IsNerexSmallModel(b);
  if (a == kModelTorvex48) return b == kModelTorvex48;
  return false;
}

// The devices whose settings the clone submenu offers, with their index in the system's list.
std::vector<std::pair<int, CNerexSeriesDevice*>> FindCloneSources(const CNerexSeriesDevice& device) {
  std::vector<std::pair<int, CNerexSeriesDevice*>> sources;
  if (!device.GetHost()) return sources;
  const std::vector<CDevice*> devices = device.GetHost()->GetDevices();
  for (std::size_t i = 0; i < devices.size() && kCmdCloneFirst + i <= kCmdCloneLast; ++i) {
    auto* other = dynamic_cast<CNerexSeriesDevice*>(devices[i]);
    if (other && IsCloneCompatible(device, *other)) sources.emplace_back(int(i), other);
  }
  return sources;
}

}  // namespace

void CNerexSeriesDevice::BuildContextMenu(CMenu& menu, int argument) {
  CDevice::BuildContextMenu(menu, argument);

  const std::uint32_t channel = PanelView().GetSelectedChannel();
  if (channel >= 1 && channel <= 12) {
    const int copy = menu.FindItem(kCmdEditCopy);
    menu.InsertItem(copy >= 0 ? copy + 1 : 1, kCmdCopyChannel, CopyItemText(channel));
  }

  int pos = menu.FindItem(kCmdEditPaste);
  if (pos >= 0)
    menu.SetItemText(pos, "Paste All Current Settings");
  else
    pos = 0;
  auto insert = [&](std::uint32_t id, const char* text) { menu.InsertItem(++pos, id, text); };
  if (CanPaste(0)) {
    insert(kCmdPasteAllInputs, "Paste All Input Sections");
    insert(kCmdPasteAllOutputs, "Paste All Output Sections");
    if (IsFennickModel(GetModel()) || GetModel() == kModelTorvex48) insert(kCmdPasteMatrix, "Paste Matrix Settings");
    insert(kCmdPasteMixer, "Paste Mixer Sections");
    insert(kCmdPasteChannelNames, "Paste Channel Names");
    insert(kCmdPasteProperties, "Paste Device Properties");
  }
  // The channel items go with a channel copy, which no whole-device item accepts: each is
  // offered on its own rule.
  if (CanPaste(kCmdPasteInputChannel)) insert(kCmdPasteInputChannel, "Paste Input Channel");
  if (CanPaste(kCmdPasteInputFilters)) insert(kCmdPasteInputFilters, "Paste Input Channel Filters");
  if (CanPaste(kCmdPasteOutputChannel)) insert(kCmdPasteOutputChannel, "Paste Output Channel");
  if (CanPaste(kCmdPasteOutputFilters)) insert(kCmdPasteOutputFilters, "Paste Output Channel Filters");

  if (!m_cloneMenu) m_cloneMenu = std::make_shared<CMenu>();
  m_cloneMenu->RemoveAll();
  for (const auto& [index, source] : FindCloneSources(*this))
    m_cloneMenu->AppendItem(kCmdCloneFirst + std::uint32_t(index), source->GetName());
  const bool portOpen = GetHost() && GetHost()->IsPortOpen();
  if (m_cloneMenu->GetItemCount() > 0 && !IsConnected() && !portOpen) {
    menu.InsertSeparator(++pos);
    menu.InsertPopup(++pos, m_cloneMenu, "Clone Device From...");
  }
  menu.InsertSeparator(++pos);
  menu.InsertItem(++pos, kCmdIgnoreDevice, "Ignore Device When Online");
}

bool CNerexSeriesDevice::OnContextMenuCommand(std::uint32_t command, int argument) {
  (void)argument;
  if (command == kCmdCopyChannel) {
    CopyToClipboard(command);
    return true;
  }
  if (command >= kCmdPasteUnused && command <= kCmdPasteChannelNames) {
    PasteFromClipboard(command);
    return true;
  }
  if (command == kCmdLastPaste) return true;
  if (command == kCmdIgnoreDevice) {
    ToggleIgnored();
    return false;
  }
  if (IsCloneId(command) && GetHost()) {
    // The list may have changed since the menu was built: the source must still qualify.
    const int index = int(command - kCmdCloneFirst);
    auto* source = dynamic_cast<CNerexSeriesDevice*>(GetHost()->GetDevice(index));
    if (source && IsCloneCompatible(*this, *source)) CloneFrom(*this, *source);
  }
  return false;
}

void CNerexSeriesDevice::OnUpdateContextMenuCommand(CCmdUI& cmdUI) {
  const std::uint32_t id = cmdUI.GetId();
  if (id == kCmdCopyChannel) {
    const std::uint32_t channel = PanelView().GetSelectedChannel();
    cmdUI.Enable(channel >= 1 && channel <= 12);
  } else if (id == kCmdPasteUnused) {
    cmdUI.Enable(CanPaste(0));
  } else if (id >= kCmdPasteAllInputs && id <= kCmdPasteChannelNames) {
    cmdUI.Enable(CanPaste(id));
  } else if (id == kCmdIgnoreDevice) {
    cmdUI.SetCheck(IsIgnored() ? 1 : 0);
  } else if (IsCloneId(id)) {
    cmdUI.Enable(!FindCloneSources(*this).empty());
  }
}

std::string CNerexSeriesDevice::GetSelectedPresetLabel(std::uint32_t sectionMask) {
  std::uint32_t number = 0;
  std::string name;
  {
    CSingleLock lock(SettingsLock());
    const CNerexMemoryList& presets = m_presets;
    auto holds = [&](std::uint32_t n) {
      return n >= 1 && n <= presets.size() && presets[n - 1] && (presets[n - 1]->sectionFlags & sectionMask) != 0;
    };
    number = PanelView().GetSelectedPreset();
    if (!holds(number)) {
      number = 0;
      for (std::uint32_t n = 1; n <= presets.size() && number == 0; ++n)
        if (holds(n)) number = n;
      if (number == 0) return "No Presets";
      PanelView().SetSelectedPreset(number);
    }
    name = presets[number - 1]->name;
  }
  std::string label = std::to_string(number) + ". " + name;
  if (IsFennickModel(GetModel()) && number == GetGeneralSettings().GetCurrentPreset()) label += "*";
  return label;
}
