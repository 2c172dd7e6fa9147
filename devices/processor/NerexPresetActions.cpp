// The preset actions of a processor: store, recall, rename and delete of the unit's preset
// memories from the Fennick panel, the preset display's recall, next and previous, the preset
// manager's store, recall, rename and clear by section, preset files and the timed presets.
// Each is one control change, handed in with what the person answered to its questions (asked
// before, by the panel's HandPresetAction or the preset manager); all run on the UI thread and
// end in the change path's exit.
#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "core/model/Confirm.h"
#include "core/model/NameRules.h"
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

bool Online(const CNerexSeriesDevice& d) { return d.IsConnected(); }

// Memory n (1-based) when the list has it, else null.
CNerexSeriesMemory* Memory(CNerexSeriesDevice& d, int n) {
  CNerexMemoryList& presets = WritablePresets(d);
  if (n < 1 || std::size_t(n) > presets.size()) return nullptr;
  return presets[std::size_t(n) - 1].get();
}
const CNerexSeriesMemory* Memory(const CNerexSeriesDevice& d, int n) {
  const CNerexMemoryView presets = d.GetPresets();
  if (n < 1 || std::size_t(n) > presets.size()) return nullptr;
  return presets[std::size_t(n) - 1];
}

bool Stored(const CNerexSeriesDevice& d, int n) {
  CSingleLock lock(d.SettingsLock());
  const CNerexSeriesMemory* m = Memory(d, n);
  return m && m->HoldsAnySection();
}

bool AnyStored(const CNerexSeriesDevice& d) {
  CSingleLock lock(d.SettingsLock());
  return std::any_of(d.GetPresets().begin(), d.GetPresets().end(), [](const auto& m) { return m && m->HoldsAnySection(); });
}

// The memory number of an answer's row, 0 when there is none or it lies beyond the list (the
// list may have shrunk since the row was chosen).
int MemoryOf(const CNerexSeriesDevice& d, const CNerexPresetAnswer& a) {
  const int n = a.row + 1;
  CSingleLock lock(d.SettingsLock());
  return Memory(d, n) ? n : 0;
}

void QueueName(CNerexSeriesDevice& d, int n, const std::string& name) {
  QueueBuilt(d, false, [&](CControlMessage& m) {
    return BuildMemoryNameMessage(d, m, std::uint8_t(n), name);
  });
}

void QueueRecall(CNerexSeriesDevice& d, std::uint32_t number, std::uint8_t mask) {
  QueuePackedWrite(d, kCmdRecallPreset, {std::uint8_t(number & 0xFF), std::uint8_t(number >> 8), mask});
}

void QueueGeneralRead(CNerexSeriesDevice& d) {
  auto message = std::make_unique<CControlMessage>();
  message->Set(kCmdReadGeneral, 8, 31, &d, false, kNerexReplyStart, 0, 0);
  FinaliseFrame(*message, d);
  QueueFrame(d, false, std::move(message));
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

// True when the read-out found that the unit does not hold the preset manager's row.
bool BeyondUnit(const CNerexSeriesDevice& d, int row) { return !d.RowBeyondUnitRefusal(row).empty(); }

void RefreshAll(CNerexSeriesDevice& d) {
  if (CControlPanel* panel = d.GetControlPanel()) panel->UpdateAllControls();
  NotifyAllParameters(d);
}

// --- Fennick panel ---

void StoreWithName(CNerexSeriesDevice& d, const CNerexPresetAnswer& a) {
  const int n = MemoryOf(d, a);
  if (n == 0) return;
  const std::string name = MemoryNameAsKept(a.name);
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
  PostStatusEvent(d, kNerexStatusPresets);
}

void Recall(CNerexSeriesDevice& d, const CNerexPresetAnswer& a) {
  const int n = MemoryOf(d, a);
  if (!Stored(d, n)) return;
  QueueRecall(d, std::uint32_t(n), kSectionInputs | kSectionOutputs);
  QueueGeneralRead(d);
  // Online the unit's general settings report the new preset and bring its settings.
  if (Online(d)) return;
  {
    CSingleLock lock(d.SettingsLock());
    WritableSettings(d).CopyFrom(*Memory(d, n));
    WritableGeneralSettings(d).bytes[NerexGeneralSettings::kCurrentPreset] = std::uint8_t(n);
  }
  RefreshAll(d);
}

void Rename(CNerexSeriesDevice& d, const CNerexPresetAnswer& a) {
  const int n = MemoryOf(d, a);
  if (!Stored(d, n)) return;
  const std::string name = MemoryNameAsKept(a.name);
  {
    CSingleLock lock(d.SettingsLock());
    if (CNerexSeriesMemory* m = Memory(d, n)) m->name = name;
  }
  QueueName(d, n, name);
  PostStatusEvent(d, kNerexStatusPresets);
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

void Delete(CNerexSeriesDevice& d, const CNerexPresetAnswer& a) {
  const int n = MemoryOf(d, a);
  if (n == 0) return;
  bool timedChanged = false;
  {
    CSingleLock lock(d.SettingsLock());
    CNerexSeriesMemory* m = Memory(d, n);
    m->sectionFlags = 0;
    m->name.clear();
    for (TimedPresetEntry& e : WritableTimedPresets(d))
      if (e.preset == n && e.mode != 0) {
        e.mode = 0;
        timedChanged = true;
      }
  }
  QueueBuilt(d, false, [&](CControlMessage& m) { return BuildClearMemoryMessage(d, m, std::uint8_t(n)); });
  PostStatusEvent(d, kNerexStatusPresets);
  if (timedChanged) QueueTimedPresets(d);
}

void SaveFile(CNerexSeriesDevice& d, CNerexPresetAnswer& a) {
  if (!a.path.empty()) d.SavePresetFile(a.path, &a.fileError);
}

void LoadFile(CNerexSeriesDevice& d, CNerexPresetAnswer& a) {
  // A file that cannot be read changes nothing; the blocks go out only while online (the
  // queue drops them otherwise).
  if (!a.path.empty()) LoadPresetFile(d, a.path, &a.fileError, &a.fileNote);
}

void TimedPresets(CNerexSeriesDevice& d, const CNerexPresetAnswer& a) {
  // The entries name memories: with none stored there is nothing to time.
  if (!AnyStored(d)) return;
  {
    CSingleLock lock(d.SettingsLock());
    WritableTimedPresets(d) = a.timed;
  }
  QueueTimedPresets(d);
}

// --- Preset display ---

void LcdRecall(CNerexSeriesDevice& d) {
  const int n = int(d.PanelView().GetSelectedPreset());
  if (!Stored(d, n) || BeyondUnit(d, n - 1)) return;
  constexpr std::uint32_t kRecalled = kSectionInputs | kSectionOutputs;
  QueueRecall(d, std::uint32_t(n), kRecalled);
  {
    // The unit recalls the inputs and outputs that the memory holds: the app takes the same.
    CSingleLock lock(d.SettingsLock());
    const CNerexSeriesMemory& m = *Memory(d, n);
    CopySections(WritableSettings(d), m, kRecalled & m.sectionFlags);
    WritableSettings(d).name = m.name;
    WritableGeneralSettings(d).bytes[NerexGeneralSettings::kCurrentPreset] = std::uint8_t(n);
  }
  RefreshAll(d);
  RefreshLcd(d);
}

void LcdStep(CNerexSeriesDevice& d, bool next) {
  const int n = int(d.PanelView().GetSelectedPreset());
  // The display steps through the memories the unit holds, as far as the read-out has found.
  const int count = int(std::min(d.GetPresets().size(), d.GetMemoryReadout().UnitPresets()));
  int found = 0;
  if (next) {
    for (int k = n + 1; k <= count && !found; ++k) found = Stored(d, k) ? k : 0;
    for (int k = 1; k <= std::min(n, count) && !found; ++k) found = Stored(d, k) ? k : 0;
  } else {
    for (int k = std::min(n - 1, count); k >= 1 && !found; --k) found = Stored(d, k) ? k : 0;
    for (int k = count; k >= n + 1 && !found; --k) found = Stored(d, k) ? k : 0;
  }
  if (found) d.PanelView().SetSelectedPreset(std::uint32_t(found));
  RefreshLcd(d);
}

// --- Preset manager dialog ---

// The sections in the order a store sends them, with their flag bits.
constexpr std::array<std::uint32_t, 4> kStoreOrder{kSectionInputs, kSectionGeq, kSectionOutputs, kSectionDeq};

void DialogStore(CNerexSeriesDevice& d, const CNerexPresetAnswer& a) {
  const int n = MemoryOf(d, a);
  // A memory the unit does not hold would be kept in the file alone (the manager says so).
  if (n == 0 || BeyondUnit(d, a.row)) return;
  const std::uint32_t ticked = a.storeMask & kSectionAll;
  // A store of no section would empty the memory here while the unit keeps it.
  if (ticked == 0) return;
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

void DialogRecall(CNerexSeriesDevice& d, const CNerexPresetAnswer& a) {
  const int r = a.row;
  // Recalled from a memory the unit does not hold, the image would change and the unit not.
  if (r < 0 || BeyondUnit(d, r)) return;
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
      sections = a.recallMask & m.sectionFlags & kSectionAll;
    }
    if (Online(d)) QueueRecall(d, std::uint32_t(n), std::uint8_t(sections));
    {
      CSingleLock lock(d.SettingsLock());
      const CNerexSeriesMemory& m = *Memory(d, n);
      CopySections(WritableSettings(d), m, sections);
      WritableSettings(d).name = m.name;
      if (routing)
        for (int o = 0; o < d.GetOutputCount(); ++o)
          WritableSettings(d).outputs.muteMask = std::uint8_t(WritableSettings(d).outputs.muteMask | (1u << o));
    }
    if (routing)
      for (int o = 0; o < d.GetOutputCount(); ++o) Renotify(d, kParamOutputMute + o);
    RefreshAll(d);
    return;
  }
  const int k = r - count;
  {
    CSingleLock lock(d.SettingsLock());
    CNerexMemoryList& xovers = WritableXoverPresets(d);
    if (std::size_t(k) >= xovers.size() || !xovers[std::size_t(k)]->HoldsAnySection()) return;
  }
  if (Online(d)) QueueRecall(d, kXoverWireFirst + std::uint32_t(k), kSectionOutputs);
  {
    CSingleLock lock(d.SettingsLock());
    const CNerexSeriesMemory& x = *d.GetXoverPresets()[std::size_t(k)];
    WritableSettings(d).outputs.CopyFrom(x.outputs);
    WritableSettings(d).name = x.name;
  }
  RefreshAll(d);
}

void DialogName(CNerexSeriesDevice& d, const CNerexPresetAnswer& a) {
  const int n = MemoryOf(d, a);
  if (!Stored(d, n) || BeyondUnit(d, a.row)) return;
  std::string name = MemoryNameAsKept(a.name);
  {
    CSingleLock lock(d.SettingsLock());
    Memory(d, n)->name = name;
  }
  QueueName(d, n, name);
}

void DialogClear(CNerexSeriesDevice& d, const CNerexPresetAnswer& a) {
  const int n = MemoryOf(d, a);
  if (!Stored(d, n)) return;
  {
    CSingleLock lock(d.SettingsLock());
    CNerexSeriesMemory* m = Memory(d, n);
    m->sectionFlags = 0;
    m->name.clear();
  }
  QueueBuilt(d, false, [&](CControlMessage& m) { return BuildClearMemoryMessage(d, m, std::uint8_t(n)); });
}

}  // namespace

CNerexMemoryReadout CNerexSeriesDevice::GetMemoryReadout() const {
  CSingleLock lock(SettingsLock());
  return m_readout;
}

std::string CNerexSeriesDevice::RowBeyondUnitRefusal(int row) const {
  CSingleLock lock(SettingsLock());
  return m_readout.RowBeyondUnitRefusal(row, m_presets.size(), m_xoverPresets.size());
}

namespace {

// A name's bytes as the memory's field and the unit's reply give them: blanks at both ends go.
std::string TrimFieldBlanks(std::string bytes) {
  const auto last = bytes.find_last_not_of(' ');
  bytes.erase(last == std::string::npos ? 0 : last + 1);
  bytes.erase(0, bytes.find_first_not_of(' '));
  return bytes;
}

}  // namespace

std::string MemoryNameBytes(const std::string& utf8) {
  std::string bytes;
  for (std::size_t i = 0; i < utf8.size();) {
    const char32_t c = NextNameCharacter(utf8, i);
    const char byte = IsNameControlCharacter(c) ? ' ' : c <= 0xFF ? char(c) : '?';
    // Blanks before the name take no room of the field.
    if (byte != ' ' || !bytes.empty()) bytes += byte;
    if (bytes.size() == kPresetNameChars) break;
  }
  return TrimFieldBlanks(std::move(bytes));
}

std::string MemoryNameAsKept(const std::string& utf8) {
  const std::string bytes = MemoryNameBytes(utf8);
  return Latin1ToUtf8(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

std::string MemoryNameFromBytes(const std::uint8_t* bytes, std::size_t count) {
  std::string field;
  for (std::size_t i = 0; i < count && bytes[i] != 0; ++i)
    field += IsNameControlCharacter(bytes[i]) ? ' ' : char(bytes[i]);
  field = TrimFieldBlanks(std::move(field));
  return Latin1ToUtf8(reinterpret_cast<const std::uint8_t*>(field.data()), field.size());
}

static_assert(kPresetNameRule.maxCharacters == kPresetNameChars);

std::string PresetNameRefusal(const std::string& utf8) { return NameRefusal(utf8, kPresetNameRule); }

bool ApplyPresetActionChange(CNerexSeriesDevice& d, const CParamValue& value, CChangeAnswer& answer) {
  CNerexPresetAnswer none;
  auto* given = dynamic_cast<CNerexPresetAnswer*>(&answer);
  CNerexPresetAnswer& a = given ? *given : none;
  switch (value.id) {
    case kPresetActionStore: StoreWithName(d, a); break;
    case kPresetActionRecall: Recall(d, a); break;
    case kPresetActionRename: Rename(d, a); break;
    case kPresetActionSaveFile: SaveFile(d, a); break;
    case kPresetActionLoadFile: LoadFile(d, a); break;
    case kPresetActionTimed: TimedPresets(d, a); break;
    case kPresetActionDelete: Delete(d, a); break;
    case kPresetActionLcdRecall: LcdRecall(d); break;
    case kPresetActionLcdNext: LcdStep(d, true); break;
    case kPresetActionLcdPrevious: LcdStep(d, false); break;
    // The preset manager opens from the panel (HandPresetAction); as a change it does nothing.
    case kPresetActionManager: break;
    case kPresetActionDialogStore: DialogStore(d, a); break;
    case kPresetActionDialogRecall: DialogRecall(d, a); break;
    case kPresetActionDialogName: DialogName(d, a); break;
    case kPresetActionDialogClear: DialogClear(d, a); break;
    default: return false;
  }
  return true;
}

std::uint32_t PresetActionConfirmation(const CNerexSeriesDevice& d, int id, const CNerexPresetAnswer& a) {
  const int n = MemoryOf(d, a);
  const auto when = [](bool ask, std::uint32_t kind) { return ask ? kind : 0u; };
  switch (id) {
    case kPresetActionStore: return when(n != 0 && Stored(d, n), kConfirmPresetOverwrite);
    case kPresetActionRecall: return when(Stored(d, n), kConfirmPresetRecall);
    case kPresetActionDelete: return when(n != 0, kConfirmPresetDelete);
    case kPresetActionLcdRecall: return when(Stored(d, int(d.PanelView().GetSelectedPreset())), kConfirmPresetRecall);
    case kPresetActionDialogStore: return when((a.storeMask & kSectionAll) != 0 && Stored(d, n), kConfirmPresetOverwrite);
    case kPresetActionDialogRecall: return kConfirmPresetRecall;
    case kPresetActionDialogClear: return when(Stored(d, n), kConfirmPresetDelete);
    default: return 0;
  }
}
