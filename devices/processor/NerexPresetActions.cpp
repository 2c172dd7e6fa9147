// The preset actions of a processor: store, recall, rename and delete of the unit's preset
// memories from the Fennick panel, the preset display's recall, next and previous, the preset
// manager's store, recall, rename and clear by section, preset files and the timed presets.
// Each is one control change; all run on the UI thread and end in the change path's exit.
#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "core/model/Confirm.h"
#include "core/model/ControlPanel.h"
#include "core/protocol/SevenBit.h"
#include "core/model/DeviceHost.h"
#include "core/support/SystemMessages.h"
#include "core/file/TextConversion.h"
#include "devices/processor/NerexChange.h"
#include "devices/processor/NerexChannelRules.h"
#include "devices/processor/NerexMessages.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexPanel.h"
#include "devices/processor/NerexParamIds.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "platform/Sync.h"
#include "platform/TextFormat.h"

namespace {

constexpr std::uint32_t kCmdRecallPreset = 27;
constexpr std::uint32_t kXoverWireFirst = 257;
constexpr std::size_t kPresetNameChars = 16;

bool Confirm(CNerexSeriesDevice& d, std::uint32_t kind) {
  IDeviceHost* host = d.GetHost();
  return host && host->ConfirmAction(kind);
}

bool Online(const CNerexSeriesDevice& d) { return d.IsConnected(); }

// Memory n (1-based) when the list has it, else null.
CNerexSeriesMemory* Memory(CNerexSeriesDevice& d, int n) {
  CNerexMemoryList& presets = d.GetPresets();
  if (n < 1 || std::size_t(n) > presets.size()) return nullptr;
  return presets[std::size_t(n) - 1].get();
}

bool Stored(CNerexSeriesDevice& d, int n) {
  CSingleLock lock(d.SettingsLock());
  const CNerexSeriesMemory* m = Memory(d, n);
  return m && m->HoldsAnySection();
}

// The Fennick panel's selection as a memory number, 0 when there is none or it lies beyond
// the list.
int SelectedMemory(CNerexSeriesDevice& d) {
  INerexSeriesPanel* panel = d.GetNerexPanel();
  if (!panel) return 0;
  const int n = panel->GetPresetSelection() + 1;
  CSingleLock lock(d.SettingsLock());
  return Memory(d, n) ? n : 0;
}

void QueueName(CNerexSeriesDevice& d, int n, const std::string& name) {
  QueueBuilt(d, false, [&](CControlMessage& m) {
    return BuildMemoryNameMessage(d, m, std::uint8_t(n), PresetNameBytes(name));
  });
}

void QueueRecall(CNerexSeriesDevice& d, std::uint32_t number, std::uint8_t mask) {
  QueuePackedWrite(d, kCmdRecallPreset, {std::uint8_t(number & 0xFF), std::uint8_t(number >> 8), mask});
}

void QueueGeneralRead(CNerexSeriesDevice& d) {
  auto message = std::make_unique<CControlMessage>();
  message->Set(kCmdReadGeneral, 8, 31, &d, false, kNerexReplyStart, 0, 0);
  FinaliseFrame(*message, d);
  d.QueueMessage(false, std::move(message));
}

void QueueBlock(CNerexSeriesDevice& d, std::uint32_t section, int n, std::uint8_t flag) {
  const auto memory = std::uint8_t(n);
  QueueBuilt(d, false, [&](CControlMessage& m) {
    switch (section) {
      case kSectionInputs: return BuildBlock26Message(d, m, memory, flag);
      case kSectionOutputs: return BuildBlock31Message(d, m, memory, flag);
      case kSectionGeq: return BuildBlock42Message(d, m, memory, flag);
      default: return BuildBlock43Message(d, m, memory, flag);
    }
  });
}

void CopySections(CNerexSeriesMemory& target, const CNerexSeriesMemory& source, std::uint32_t sections) {
  if (sections & kSectionInputs) target.inputs.CopyFrom(source.inputs);
  if (sections & kSectionOutputs) target.outputs.CopyFrom(source.outputs);
  if (sections & kSectionGeq) target.geq.CopyFrom(source.geq);
  if (sections & kSectionDeq) target.CopyDeqBlockFrom(source);
}

void RefreshLcd(CNerexSeriesDevice& d) {
  const std::string text = d.GetSelectedPresetLabel(kSectionAll);
  if (INerexSeriesPanel* panel = d.GetNerexPanel()) panel->SetLcdText(text);
}

void RefreshAll(CNerexSeriesDevice& d) {
  if (CControlPanel* panel = d.GetControlPanel()) panel->UpdateAllControls();
  d.NotifyAllParameters();
}

// --- Fennick panel ---

void StoreWithName(CNerexSeriesDevice& d) {
  const int n = SelectedMemory(d);
  INerexSeriesPanel* panel = d.GetNerexPanel();
  if (n == 0 || !panel) return;
  std::string name;
  {
    CSingleLock lock(d.SettingsLock());
    name = Memory(d, n)->name;
  }
  if (!panel->AskPresetName("Store Preset", name)) return;
  if (Stored(d, n) && !Confirm(d, kConfirmPresetOverwrite)) return;
  name = PresetNameBytes(name);
  {
    CSingleLock lock(d.SettingsLock());
    CNerexSeriesMemory* m = Memory(d, n);
    if (!m) return;
    m->CopyFrom(d.GetCurrentSettings());
    m->sectionFlags = kSectionInputs | kSectionOutputs;
    m->name = name;
  }
  QueueBlock(d, kSectionInputs, n, 0x80);
  QueueBlock(d, kSectionOutputs, n, 0x43);
  QueueName(d, n, name);
  d.PostStatusEvent(kNerexStatusPresets);
}

void Recall(CNerexSeriesDevice& d) {
  const int n = SelectedMemory(d);
  if (!Stored(d, n) || !Confirm(d, kConfirmPresetRecall)) return;
  QueueRecall(d, std::uint32_t(n), kSectionInputs | kSectionOutputs);
  QueueGeneralRead(d);
  // Online the unit's general settings report the new preset and bring its settings.
  if (Online(d)) return;
  {
    CSingleLock lock(d.SettingsLock());
    d.GetCurrentSettings().CopyFrom(*Memory(d, n));
    d.GetGeneralSettings().bytes[NerexGeneralSettings::kCurrentPreset] = std::uint8_t(n);
  }
  RefreshAll(d);
}

void Rename(CNerexSeriesDevice& d) {
  const int n = SelectedMemory(d);
  INerexSeriesPanel* panel = d.GetNerexPanel();
  if (!Stored(d, n) || !panel) return;
  std::string name;
  {
    CSingleLock lock(d.SettingsLock());
    name = Memory(d, n)->name;
  }
  if (!panel->AskPresetName("Rename Preset", name)) return;
  name = PresetNameBytes(name);
  {
    CSingleLock lock(d.SettingsLock());
    if (CNerexSeriesMemory* m = Memory(d, n)) m->name = name;
  }
  QueueName(d, n, name);
  d.PostStatusEvent(kNerexStatusPresets);
}

void QueueTimedPresets(CNerexSeriesDevice& d) {
  std::vector<std::uint8_t> raw;
  {
    CSingleLock lock(d.SettingsLock());
    for (const TimedPresetEntry& e : d.GetTimedPresets())
      raw.insert(raw.end(), {e.preset, e.mode, e.month, e.day, e.hour, e.minute});
  }
  QueuePackedWrite(d, kCmdTimedPresets, raw);
}

void Delete(CNerexSeriesDevice& d) {
  const int n = SelectedMemory(d);
  if (n == 0 || !Confirm(d, kConfirmPresetDelete)) return;
  bool timedChanged = false;
  {
    CSingleLock lock(d.SettingsLock());
    CNerexSeriesMemory* m = Memory(d, n);
    m->sectionFlags = 0;
    m->name.clear();
    for (TimedPresetEntry& e : d.GetTimedPresets())
      if (e.preset == n && e.mode != 0) {
        e.mode = 0;
        timedChanged = true;
      }
  }
  QueueBuilt(d, false, [&](CControlMessage& m) { return BuildClearMemoryMessage(d, m, std::uint8_t(n)); });
  d.PostStatusEvent(kNerexStatusPresets);
  if (timedChanged) QueueTimedPresets(d);
}

void SaveFile(CNerexSeriesDevice& d) {
  INerexSeriesPanel* panel = d.GetNerexPanel();
  std::string path, error;
  if (!panel || !panel->AskPresetFile(true, path)) return;
  if (!d.SavePresetFile(path, &error)) panel->ShowPresetFileError(error);
}

void LoadFile(CNerexSeriesDevice& d) {
  INerexSeriesPanel* panel = d.GetNerexPanel();
  std::string path, error;
  if (!panel || !panel->AskPresetFile(false, path)) return;
  // A file that cannot be read changes nothing; the blocks go out only while online (the
  // queue drops them otherwise).
  if (!d.LoadPresetFile(path, &error)) panel->ShowPresetFileError(error);
}

void TimedPresets(CNerexSeriesDevice& d) {
  INerexSeriesPanel* panel = d.GetNerexPanel();
  if (!panel) return;
  bool any = false;
  std::array<TimedPresetEntry, kNerexTimedPresets> entries;
  {
    CSingleLock lock(d.SettingsLock());
    for (const auto& m : d.GetPresets()) any = any || (m && m->HoldsAnySection());
    entries = d.GetTimedPresets();
  }
  if (!any || !panel->EditTimedPresets(entries.data(), kNerexTimedPresets)) return;
  {
    CSingleLock lock(d.SettingsLock());
    d.GetTimedPresets() = entries;
  }
  QueueTimedPresets(d);
}

// --- Preset display ---

void LcdRecall(CNerexSeriesDevice& d) {
  const int n = int(d.GetSelectedPreset());
  if (!Stored(d, n) || !Confirm(d, kConfirmPresetRecall)) return;
  constexpr std::uint32_t kRecalled = kSectionInputs | kSectionOutputs;
  QueueRecall(d, std::uint32_t(n), kRecalled);
  {
    // The unit recalls the inputs and outputs that the memory holds: the app takes the same.
    CSingleLock lock(d.SettingsLock());
    const CNerexSeriesMemory& m = *Memory(d, n);
    CopySections(d.GetCurrentSettings(), m, kRecalled & m.sectionFlags);
    d.GetCurrentSettings().name = m.name;
    d.GetGeneralSettings().bytes[NerexGeneralSettings::kCurrentPreset] = std::uint8_t(n);
  }
  RefreshAll(d);
  RefreshLcd(d);
}

void LcdStep(CNerexSeriesDevice& d, bool next) {
  const int n = int(d.GetSelectedPreset());
  const int count = int(d.GetPresets().size());
  int found = 0;
  if (next) {
    for (int k = n + 1; k <= count && !found; ++k) found = Stored(d, k) ? k : 0;
    for (int k = 1; k <= std::min(n, count) && !found; ++k) found = Stored(d, k) ? k : 0;
  } else {
    for (int k = std::min(n - 1, count); k >= 1 && !found; --k) found = Stored(d, k) ? k : 0;
    for (int k = count; k >= n + 1 && !found; --k) found = Stored(d, k) ? k : 0;
  }
  if (found) d.SetSelectedPreset(std::uint32_t(found));
  RefreshLcd(d);
}

// --- Preset manager dialog ---

// The sections in the order a store sends them, with their flag bits.
constexpr std::array<std::uint32_t, 4> kStoreOrder{kSectionInputs, kSectionGeq, kSectionOutputs, kSectionDeq};

void DialogStore(CNerexSeriesDevice& d, const INerexPresetDialog& dlg) {
  const int n = dlg.GetSelectedRow() + 1;
  if (n < 1) return;
  {
    CSingleLock lock(d.SettingsLock());
    if (!Memory(d, n)) return;
  }
  const std::uint32_t ticked = dlg.GetStoreMask() & kSectionAll;
  // A store of no section would empty the memory here while the unit keeps it.
  if (ticked == 0) return;
  if (Stored(d, n) && !Confirm(d, kConfirmPresetOverwrite)) return;
  std::string name;
  {
    CSingleLock lock(d.SettingsLock());
    CNerexSeriesMemory* m = Memory(d, n);
    CopySections(*m, d.GetCurrentSettings(), kSectionAll);
    m->sectionFlags = ticked;
    name = m->name;
  }
  if (!Online(d)) return;
  std::vector<std::uint32_t> blocks;
  for (std::uint32_t s : kStoreOrder)
    if (ticked & s) blocks.push_back(s);
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    std::uint8_t flag;
    if (blocks.size() == 1) flag = std::uint8_t(ticked);
    else if (i == 0) flag = 0x80;
    else if (i + 1 < blocks.size()) flag = 0xC0;
    else flag = std::uint8_t(0x40 | ticked);
    QueueBlock(d, blocks[i], n, flag);
  }
  QueueName(d, n, name);
}

bool RoutingDiffers(const CNerexSeriesDevice& d, const CNerexSeriesMemory& m) {
  const int model = d.GetModel();
  if (IsFennickModel(model)) return false;
  const NerexOutputSection& now = d.GetCurrentSettings().outputs;
  const bool masks = m.outputs.routingMasks != now.routingMasks;
  if (model == kModelTorvex48)
    return m.outputs.mixerFlag != now.mixerFlag || (m.outputs.mixerFlag == 0 && now.mixerFlag == 0 && masks);
  return masks;
}

void DialogRecall(CNerexSeriesDevice& d, const INerexPresetDialog& dlg) {
  if (!Confirm(d, kConfirmPresetRecall)) return;
  const int r = dlg.GetSelectedRow();
  if (r < 0) return;
  const int count = int(d.GetPresets().size());
  if (r < count) {
    const int n = r + 1;
    if (!Stored(d, n)) return;
    std::uint32_t sections;
    bool routing;
    {
      CSingleLock lock(d.SettingsLock());
      const CNerexSeriesMemory& m = *Memory(d, n);
      routing = RoutingDiffers(d, m);
      sections = dlg.GetRecallMask() & m.sectionFlags & kSectionAll;
    }
    if (Online(d)) QueueRecall(d, std::uint32_t(n), std::uint8_t(sections));
    {
      CSingleLock lock(d.SettingsLock());
      const CNerexSeriesMemory& m = *Memory(d, n);
      CopySections(d.GetCurrentSettings(), m, sections);
      d.GetCurrentSettings().name = m.name;
      if (routing)
        for (int o = 0; o < d.GetOutputCount(); ++o)
          d.GetCurrentSettings().outputs.muteMask = std::uint8_t(d.GetCurrentSettings().outputs.muteMask | (1u << o));
    }
    if (routing)
      for (int o = 0; o < d.GetOutputCount(); ++o) Renotify(d, kParamOutputMute + o);
    RefreshAll(d);
    return;
  }
  const int k = r - count;
  {
    CSingleLock lock(d.SettingsLock());
    CNerexMemoryList& xovers = d.GetXoverPresets();
    if (std::size_t(k) >= xovers.size() || !xovers[std::size_t(k)]->HoldsAnySection()) return;
  }
  if (Online(d)) QueueRecall(d, kXoverWireFirst + std::uint32_t(k), kSectionOutputs);
  {
    CSingleLock lock(d.SettingsLock());
    const CNerexSeriesMemory& x = *d.GetXoverPresets()[std::size_t(k)];
    d.GetCurrentSettings().outputs.CopyFrom(x.outputs);
    d.GetCurrentSettings().name = x.name;
  }
  RefreshAll(d);
}

void DialogName(CNerexSeriesDevice& d, const INerexPresetDialog& dlg) {
  const int n = dlg.GetSelectedRow() + 1;
  if (!Stored(d, n)) return;
  std::string name = PresetNameBytes(dlg.GetRowName(n - 1));
  {
    CSingleLock lock(d.SettingsLock());
    Memory(d, n)->name = name;
  }
  QueueName(d, n, name);
}

void DialogClear(CNerexSeriesDevice& d, const INerexPresetDialog& dlg) {
  const int n = dlg.GetSelectedRow() + 1;
  if (!Stored(d, n) || !Confirm(d, kConfirmPresetDelete)) return;
  {
    CSingleLock lock(d.SettingsLock());
    CNerexSeriesMemory* m = Memory(d, n);
    m->sectionFlags = 0;
    m->name.clear();
  }
  QueueBuilt(d, false, [&](CControlMessage& m) { return BuildClearMemoryMessage(d, m, std::uint8_t(n)); });
}

}  // namespace

void CNerexSeriesDevice::PostStatusEvent(int code) { Post(FrameMsg::kStatusEvent, code); }

std::string PresetNameBytes(const std::string& utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size() && out.size() < kPresetNameChars; ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) out += char(c);
    else if ((c & 0xC0) != 0x80) out += '?';  // one mark for each character outside 7 bits
  }
  return out;
}

std::string PresetNameRefusal(const std::string& utf8) {
  if (const std::string beyond = FirstCharacterBeyondAscii(utf8); !beyond.empty())
    return FormatText("Preset name cannot contain \"%s\" - the unit takes ASCII characters only", beyond.c_str());
  if (HoldsControlCharacter(utf8)) return "Preset name cannot contain control characters";
  if (utf8.size() > kPresetNameChars)
    return FormatText("Preset name too long - %d characters max", int(kPresetNameChars));
  return std::string();
}

void CNerexSeriesDevice::ApplyPresetDialogAction(int id, const INerexPresetDialog& dialog) {
  // Cleared however the change ends.
  struct Active {
    const INerexPresetDialog*& slot;
    ~Active() { slot = nullptr; }
  } active{m_activePresetDialog};
  m_activePresetDialog = &dialog;
  ApplyUserChange(CParamValue(id, 0.0f, ParamKind::kNone));
}

bool ApplyPresetActionChange(CNerexSeriesDevice& d, const CParamValue& value) {
  const INerexPresetDialog* dlg = d.GetActivePresetDialog();
  switch (value.id) {
    case kPresetActionStore: StoreWithName(d); break;
    case kPresetActionRecall: Recall(d); break;
    case kPresetActionRename: Rename(d); break;
    case kPresetActionSaveFile: SaveFile(d); break;
    case kPresetActionLoadFile: LoadFile(d); break;
    case kPresetActionTimed: TimedPresets(d); break;
    case kPresetActionDelete: Delete(d); break;
    case kPresetActionLcdRecall: LcdRecall(d); break;
    case kPresetActionLcdNext: LcdStep(d, true); break;
    case kPresetActionLcdPrevious: LcdStep(d, false); break;
    case kPresetActionManager:
      if (INerexSeriesPanel* panel = d.GetNerexPanel()) panel->OpenPresetManager();
      break;
    case kPresetActionDialogStore: if (dlg) DialogStore(d, *dlg); break;
    case kPresetActionDialogRecall: if (dlg) DialogRecall(d, *dlg); break;
    case kPresetActionDialogName: if (dlg) DialogName(d, *dlg); break;
    case kPresetActionDialogClear: if (dlg) DialogClear(d, *dlg); break;
    default: return false;
  }
  return true;
}
