// The processor's device properties: the property list with its validation, and the rows of
// the properties grid with their changes. Both paths share the checks and message texts.
#include <algorithm>
#include <functional>
#include <iterator>
#include <limits>
#include <optional>
#include <utility>

#include "core/model/DeviceProperty.h"
#include "core/model/DeviceHost.h"
#include "core/support/SystemMessages.h"
#include "devices/processor/NerexChange.h"
#include "devices/processor/NerexChannelRules.h"
#include "devices/processor/NerexMessages.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexParamIds.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "platform/Sync.h"
#include "platform/TextFormat.h"
#include "platform/WindowMessages.h"

namespace {

// Property ids of the device settings that are no parameters.
enum : std::int32_t {
  kPropFirmware = 0,
  kPropId = 57,
  kPropName = 58,
  kPropDelayUnits = 261,
  kPropDelayMultiplier = 262,
  kPropSecurityCode = 431,
  kPropAutoRtc = 432,
  kPropNumberPresets = 496,
  kPropSystemLock = 501,
  kPropGpiMode = 502,
  kPropMemoryOffset = 503,
  kPropTransmitPreset = 504,
  kPropOnDelay = 505,
  kPropLcdContrast = 506,
  kPropLedTimeout = 507,
  kPropNumberXovers = 508,
  kPropGainNudge = 1594,
};

constexpr std::int64_t kMaxMemoryOffset = 16;
constexpr std::int64_t kMinContrast = 1, kMaxContrast = 16;
constexpr std::int64_t kMinPresets = 20, kMaxPresets = 127;
constexpr int kLedTimeoutChoices = 18;

const std::vector<std::string> kOffOn{"Off", "On"};
const std::vector<std::string> kGpiModes{"Disabled", "Simple", "Complex", "Panel"};
const std::vector<std::string> kTransmit{"Disabled", "Enabled"};
const std::vector<std::string> kSystemLocks{"Off", "Menu", "Full"};
const std::vector<std::string> kDelayUnits{"Milliseconds", "Metres", "Feet"};
const std::vector<std::string> kGainNudges{"0.1dB", "0.5dB", "1.0dB"};
const std::vector<std::string> kMultiplierTexts{"x 0.0001", "x 0.001", "x 0.01", "x 0.1", "x 1.0", "x 10", "x 100"};

// Four decimal digits with leading zeros.
std::string FourDigits(unsigned code) { return FormatText("%.4u", code); }

std::vector<std::string> SecondsTexts(int count, int first, int step) {
  std::vector<std::string> texts;
  for (int i = 0; i < count; ++i) texts.push_back(FormatText("%ds", first + i * step));
  return texts;
}

// 1, 10, .. 1000000 as the index 0 .. 6; any other stored value is given back unchanged.
std::uint32_t MultiplierIndex(std::uint32_t multiplier) {
  std::uint32_t value = 1;
  for (std::uint32_t i = 0; i <= 6; ++i, value *= 10)
    if (multiplier == value) return i;
  return multiplier;
}

std::uint32_t MultiplierOfIndex(std::uint32_t index) {
  std::uint32_t value = 1;
  for (std::uint32_t i = 0; i < index; ++i) value *= 10;
  return value;
}

bool IsFennick(const CNerexSeriesDevice& d) { return IsFennickModel(d.GetModel()); }

bool HasPresetGroup(const CNerexSeriesDevice& d, bool grid) {
  return IsNerexSmallModel(d.GetModel()) || (grid && d.GetModel() == kModelTorvex48);
}

// One edited property, whichever path it came from.
struct CEdit {
  std::int32_t id = 0;
  std::int64_t number = 0;   // number rows
  std::string text;          // "Name", "Security Code"
  std::int64_t choice = -1;  // list rows: the picked index, -1 none
  bool flag = false;         // "Auto Update RTC"
  bool fromList = false;     // came through the property list
};

// The number a row holds; text that is no number gives a value every range refuses.
std::int64_t RowNumber(const CDeviceProperty& row) {
  if (std::holds_alternative<std::int64_t>(row.GetValue())) return row.GetNumber();
  const std::string text = row.GetText();
  if (text.empty()) return std::numeric_limits<std::int64_t>::min();
  char* end = nullptr;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  return (end && *end == 0) ? v : std::numeric_limits<std::int64_t>::min();
}

// A number as the unsigned 32-bit word the field holds; out of that range gives the largest.
std::uint64_t AsUnsigned(std::int64_t v) {
  return (v < 0 || v > std::int64_t(0xFFFFFFFF)) ? std::numeric_limits<std::uint64_t>::max() : std::uint64_t(v);
}

class CPropertyEditor {
 public:
  // change hands a value to the device's change path, takeId a new ID to the device.
  CPropertyEditor(CNerexSeriesDevice& d, std::function<void(const CParamValue&)> change,
                  std::function<void(std::uint32_t)> takeId)
      : m_d(d), m_change(std::move(change)), m_takeId(std::move(takeId)) {}

  // True when accepted (or nothing to do); false with the message (possibly empty) in refusal.
  bool Apply(const CEdit& e, std::string& refusal);

 private:
  using Handler = bool (CPropertyEditor::*)(const CEdit&, std::string&);
  // The handler of each property that can be edited.
  static const std::pair<std::int32_t, Handler> kHandlers[];

  static bool ChoiceIn(const CEdit& e, std::size_t count) { return e.choice >= 0 && e.choice < std::int64_t(count); }

  bool ApplyId(const CEdit& e, std::string& refusal);
  bool ApplyName(const CEdit& e, std::string& refusal);
  bool ApplyDelayUnits(const CEdit& e, std::string& refusal);
  bool ApplyDelayMultiplier(const CEdit& e, std::string& refusal);
  bool ApplyGainNudge(const CEdit& e, std::string& refusal);
  bool ApplyGeneralChoice(const CEdit& e, std::string& refusal);
  bool ApplyOnDelay(const CEdit& e, std::string& refusal);
  bool ApplyMemoryOffset(const CEdit& e, std::string& refusal);
  bool ApplyLcdContrast(const CEdit& e, std::string& refusal);
  bool ApplySecurityCode(const CEdit& e, std::string& refusal);
  bool ApplyAutoRtc(const CEdit& e, std::string& refusal);
  bool ApplyNumberPresets(const CEdit& e, std::string& refusal);
  bool ApplyNumberXovers(const CEdit& e, std::string& refusal);

  void Modified() {
    if (IDeviceHost* s = m_d.GetHost()) s->SetModified(true);
  }
  void QueueGeneral() {
    QueueBuilt(m_d, false, [&](CControlMessage& m) { return BuildGeneralSettingsMessage(m_d, m); });
  }
  void StoreGeneral(int index, std::uint8_t value) {
    {
      CSingleLock lock(m_d.SettingsLock());
      WritableGeneralSettings(m_d).bytes[std::size_t(index)] = value;
    }
    QueueGeneral();
    Modified();
  }

  // A change the device has no way to apply is refused in words rather than dropped.
  static bool Took(bool applied, std::string& refusal) {
    if (!applied) refusal = kNotApplicable;
    return applied;
  }
  static constexpr const char* kNotApplicable = "This setting cannot be changed in this version";

  CNerexSeriesDevice& m_d;
  std::function<void(const CParamValue&)> m_change;
  std::function<void(std::uint32_t)> m_takeId;
};

const std::pair<std::int32_t, CPropertyEditor::Handler> CPropertyEditor::kHandlers[] = {
    {kPropId, &CPropertyEditor::ApplyId},
    {kPropName, &CPropertyEditor::ApplyName},
    {kPropDelayUnits, &CPropertyEditor::ApplyDelayUnits},
    {kPropDelayMultiplier, &CPropertyEditor::ApplyDelayMultiplier},
    {kPropGainNudge, &CPropertyEditor::ApplyGainNudge},
    {kPropSystemLock, &CPropertyEditor::ApplyGeneralChoice},
    {kPropGpiMode, &CPropertyEditor::ApplyGeneralChoice},
    {kPropTransmitPreset, &CPropertyEditor::ApplyGeneralChoice},
    {kPropLedTimeout, &CPropertyEditor::ApplyGeneralChoice},
    {kPropOnDelay, &CPropertyEditor::ApplyOnDelay},
    {kPropMemoryOffset, &CPropertyEditor::ApplyMemoryOffset},
    {kPropLcdContrast, &CPropertyEditor::ApplyLcdContrast},
    {kPropSecurityCode, &CPropertyEditor::ApplySecurityCode},
    {kPropAutoRtc, &CPropertyEditor::ApplyAutoRtc},
    {kPropNumberPresets, &CPropertyEditor::ApplyNumberPresets},
    {kPropNumberXovers, &CPropertyEditor::ApplyNumberXovers},
};

bool CPropertyEditor::Apply(const CEdit& e, std::string& refusal) {
  refusal.clear();
  // The rows kept by the program alone stay open while the unit is away online; the others
  // would change the file but not the unit.
  static constexpr std::int32_t kProgramRows[] = {kPropId,      kPropDelayUnits,    kPropDelayMultiplier, kPropGainNudge,
                                                  kPropAutoRtc, kPropNumberPresets, kPropNumberXovers};
  if (m_d.HeldValues().IsAwayOnline() && std::find(std::begin(kProgramRows), std::end(kProgramRows), e.id) == std::end(kProgramRows)) {
    refusal = kNotConnectedRefusal;
    return false;
  }
  for (const auto& [id, handler] : kHandlers)
    if (id == e.id) return (this->*handler)(e, refusal);
  return false;
}

bool CPropertyEditor::ApplyId(const CEdit& e, std::string& refusal) {
  const std::uint64_t id = AsUnsigned(e.number);
  if (std::optional<std::string> inUse = m_d.AddressRules().DeviceIdInUseRefusal(id)) {
    refusal = *inUse;
    return false;
  }
  if (std::string range = m_d.AddressRules().DeviceIdRangeRefusal(id); !range.empty()) {
    refusal = std::move(range);
    return false;
  }
  m_takeId(std::uint32_t(id));
  m_d.Post(FrameMsg::kRefreshRack);
  Modified();
  // The panel's caption follows a new ID from the grid; the list posts only the rack's refresh.
  if (!e.fromList) m_d.Post(FrameMsg::kPanelCaption);
  return true;
}

bool CPropertyEditor::ApplyName(const CEdit& e, std::string& refusal) {
  if (std::string why = DeviceNameRefusal(e.text); !why.empty()) {
    refusal = std::move(why);
    return false;
  }
  m_change(MakeTextParamValue(kParamDeviceName, e.text));
  return Took(m_d.GetName() == e.text, refusal);
}

bool CPropertyEditor::ApplyDelayUnits(const CEdit& e, std::string& refusal) {
  if (e.choice < 0) return true;
  if (std::uint64_t(e.choice) != m_d.HostOptions().GetDelayUnits())
    m_change(MakeIntParamValue(kParamDelayUnits, std::int32_t(e.choice)));
  return Took(std::uint64_t(e.choice) == m_d.HostOptions().GetDelayUnits(), refusal);
}

bool CPropertyEditor::ApplyDelayMultiplier(const CEdit& e, std::string& refusal) {
  if (e.choice < 0) return true;
  if (e.choice > 6) return false;
  const std::uint32_t value = MultiplierOfIndex(std::uint32_t(e.choice));
  if (value != m_d.HostOptions().GetDelayMultiplier())
    m_change(MakeIntParamValue(kParamDelayMultiplier, std::int32_t(value)));
  return Took(value == m_d.HostOptions().GetDelayMultiplier(), refusal);
}

bool CPropertyEditor::ApplyGainNudge(const CEdit& e, std::string& refusal) {
  if (e.choice < 0) return true;
  if (!ChoiceIn(e, kGainNudges.size())) return false;
  if (std::uint64_t(e.choice) != m_d.HostOptions().GetGainNudge())
    m_change(MakeIntParamValue(kParamGainNudge, std::int32_t(e.choice)));
  return Took(std::uint64_t(e.choice) == m_d.HostOptions().GetGainNudge(), refusal);
}

// A list row that stores the picked index in a byte of the general settings.
bool CPropertyEditor::ApplyGeneralChoice(const CEdit& e, std::string&) {
  struct CGeneralChoice {
    std::int32_t id;
    std::size_t count;
    int index;
  };
  const CGeneralChoice choices[] = {
      {kPropSystemLock, kSystemLocks.size(), NerexGeneralSettings::kSystemLock},
      {kPropGpiMode, kGpiModes.size(), NerexGeneralSettings::kGpiMode},
      {kPropTransmitPreset, kTransmit.size(), NerexGeneralSettings::kTransmitPreset},
      {kPropLedTimeout, std::size_t(kLedTimeoutChoices), NerexGeneralSettings::kLedTimeout},
  };
  if (e.choice < 0) return true;
  for (const CGeneralChoice& c : choices) {
    if (c.id != e.id) continue;
    if (!ChoiceIn(e, c.count)) return false;
    StoreGeneral(c.index, std::uint8_t(e.choice));
    return true;
  }
  return false;
}

bool CPropertyEditor::ApplyOnDelay(const CEdit& e, std::string&) {
  if (e.choice < 0) return true;
  if (!ChoiceIn(e, 7)) return false;
  // The choices run from "60s" down to "0s".
  StoreGeneral(NerexGeneralSettings::kOnDelay, std::uint8_t(e.choice + 1));
  return true;
}

bool CPropertyEditor::ApplyMemoryOffset(const CEdit& e, std::string& refusal) {
  const std::uint64_t offset = AsUnsigned(e.number);  // a negative offset is out of range too
  if (offset > std::uint64_t(kMaxMemoryOffset)) {
    refusal = FormatText("Max Memory Offset = %d", int(kMaxMemoryOffset));
    return false;
  }
  StoreGeneral(NerexGeneralSettings::kMemoryOffset, std::uint8_t(offset));
  return true;
}

bool CPropertyEditor::ApplyLcdContrast(const CEdit& e, std::string& refusal) {
  if (e.number < kMinContrast || e.number > kMaxContrast) {
    refusal = FormatText("LCD Contrast must be between %d and %d", int(kMinContrast), int(kMaxContrast));
    return false;
  }
  StoreGeneral(NerexGeneralSettings::kLcdContrast, std::uint8_t(e.number));
  return true;
}

bool CPropertyEditor::ApplySecurityCode(const CEdit& e, std::string& refusal) {
  bool digits = e.text.size() == 4;
  for (char c : e.text) digits = digits && c >= '0' && c <= '9';
  if (!digits) {
    refusal = "Security code must be 4 digits";
    return false;
  }
  {
    CSingleLock lock(m_d.SettingsLock());
    WritableGeneralSettings(m_d).SetSecurityCode(std::uint16_t(std::stoi(e.text)));
  }
  QueueGeneral();
  Modified();
  return true;
}

bool CPropertyEditor::ApplyAutoRtc(const CEdit& e, std::string&) {
  m_d.HostOptions().SetAutoRtcUpdate(e.flag);
  Modified();
  return true;
}

bool CPropertyEditor::ApplyNumberPresets(const CEdit& e, std::string& refusal) {
  if (e.number > kMaxPresets) {
    refusal = FormatText("Number of presets must be less than %d", int(kMaxPresets));
    return false;
  }
  if (e.number < kMinPresets) {
    refusal = FormatText("Number of presets must be more than %d", int(kMinPresets));
    return false;
  }
  {
    CSingleLock lock(m_d.SettingsLock());
    ResizePresetList(WritablePresets(m_d), std::size_t(e.number));
  }
  Modified();
  return true;
}

bool CPropertyEditor::ApplyNumberXovers(const CEdit& e, std::string& refusal) {
  const std::uint64_t count = AsUnsigned(e.number);  // a negative count is out of range too
  if (count > std::uint64_t(kMaxPresets)) {
    refusal = FormatText("Number of presets must be less than %d", int(kMaxPresets));
    return false;
  }
  {
    CSingleLock lock(m_d.SettingsLock());
    ResizeXoverPresetList(WritableXoverPresets(m_d), std::size_t(count));
  }
  Modified();
  return true;
}

// The option text of a stored value, empty outside the table.
std::string TextOf(const std::vector<std::string>& texts, std::int64_t index) {
  return index >= 0 && index < std::int64_t(texts.size()) ? texts[std::size_t(index)] : std::string();
}

std::unique_ptr<CDeviceProperty> ListRow(const char* name, std::string value, const char* description,
                                         std::uint32_t id, const std::vector<std::string>& options) {
  auto row = std::make_unique<CDeviceProperty>(name, CDeviceProperty::Value(std::move(value)), description, id);
  for (const auto& text : options) row->AddOption(text);
  row->AllowEdit(false);
  return row;
}

std::unique_ptr<CDeviceProperty> NumberRow(const char* name, std::int64_t value, const char* description,
                                           std::uint32_t id) {
  return std::make_unique<CDeviceProperty>(name, CDeviceProperty::Value(value), description, id);
}

}  // namespace

// --- The property list: the grid's rows, with the list's wording and choices ---

CListForm CNerexSeriesDevice::ListForm() const {
  const bool mayEdit = GetHost() && GetHost()->CanCurrentUserEditDeviceProperties();
  const bool offline = !IsConnected();
  // Model 121 lists no "Presets"; an edit of its counts still counts.
  const bool presets = HasPresetGroup(*this, false);
  const int presetFlags = 1 | (mayEdit && offline ? 1 : 0) << 8;
  NerexGeneralSettings general;
  {
    CSingleLock lock(SettingsLock());
    general = GetGeneralSettings();
  }
  const auto& g = general.bytes;
  // The list runs from "0s" up to "60s", the grid from "60s" down.
  std::vector<CListChoice> onDelay;
  const std::vector<std::string> seconds = SecondsTexts(7, 0, 10);
  for (std::size_t i = 0; i < seconds.size(); ++i) onDelay.push_back({seconds[i], int(seconds.size() - 1 - i)});
  // A stored byte or setting is listed as the index it holds, inside its choices or not.
  auto raw = [](std::uint32_t index) { return std::optional<std::uint32_t>(index); };
  return CListForm{{
      {.id = kPropFirmware, .description = "The firmware version currently in the amplifier"},
      {.id = kPropAutoRtc, .choices = SameOrderChoices(kOffOn)},
      {.id = kPropGpiMode, .selected = raw(g[NerexGeneralSettings::kGpiMode])},
      {.id = kPropOnDelay, .choices = onDelay, .selected = raw(7u - g[NerexGeneralSettings::kOnDelay])},
      {.id = kPropLedTimeout, .selected = raw(g[NerexGeneralSettings::kLedTimeout])},
      {.id = kPropSystemLock, .selected = raw(g[NerexGeneralSettings::kSystemLock])},
      {.id = kPropDelayMultiplier, .indexOnly = true, .selected = raw(MultiplierIndex(HostOptions().GetDelayMultiplier()))},
      {.id = kPropDelayUnits, .indexOnly = true, .selected = raw(HostOptions().GetDelayUnits())},
      {.id = kPropGainNudge, .absent = true},
      {.id = kPropSecurityCode, .type = kPropArray},
      {.id = kPropNumberPresets, .hidden = !presets, .flags = presetFlags},
      {.id = kPropNumberXovers, .name = "Number XOver Presets", .hidden = !presets, .flags = presetFlags},
  }, {}};
}

void CNerexSeriesDevice::GetProperties(std::vector<CPropertyItem>& items) {
  AppendPropertyList(*this, ListForm(), items);
}

bool CNerexSeriesDevice::ValidateProperty(CNamedPropertyValue& value) { return ValidateListedProperty(ListForm(), value); }

// --- The properties grid ---

namespace {

// The unit's own settings of its front panel, remote panels and power-on.
void AddUnitSettingRows(CDevicePropertyGroup& group, const std::array<std::uint8_t, 20>& g) {
  group.Add(ListRow("GPI Mode", TextOf(kGpiModes, g[NerexGeneralSettings::kGpiMode]),
                    "Set the GPI mode of the unit", kPropGpiMode, kGpiModes));
  group.Add(ListRow("Transmit Preset", g[NerexGeneralSettings::kTransmitPreset] ? "Enabled" : "Disabled",
                    "Set whether presets recalls are transmitted on the unit RS485", kPropTransmitPreset,
                    kTransmit));
  group.Add(NumberRow("Memory Offset", g[NerexGeneralSettings::kMemoryOffset],
                      "The offset of the memory recalled by a remote panel", kPropMemoryOffset));
  group.Add(NumberRow("LCD Contrast", g[NerexGeneralSettings::kLcdContrast],
                      "The contrast setting of the LCD on the front panel", kPropLcdContrast));
  const int onDelay = g[NerexGeneralSettings::kOnDelay];
  group.Add(ListRow("On Delay", onDelay >= 1 && onDelay <= 7 ? FormatText("%ds", (7 - onDelay) * 10) : std::string(),
                    "Set the power on delay of the unit", kPropOnDelay, SecondsTexts(7, 60, -10)));
  const int led = g[NerexGeneralSettings::kLedTimeout];
  group.Add(ListRow("LED Timeout", led < kLedTimeoutChoices ? FormatText("%ds", led * 5 + 5) : std::string(),
                    "Set the timeout for the front panel LED backlight", kPropLedTimeout,
                    SecondsTexts(kLedTimeoutChoices, 5, 5)));
}

}  // namespace

void CNerexSeriesDevice::FillPropertiesPane(IDevicePropertyGrid& grid) {
  const bool mayEdit = GetHost() && GetHost()->CanCurrentUserEditDeviceProperties();
  const bool offline = !IsConnected();
  const bool fennick = IsFennick(*this);
  NerexGeneralSettings general;
  std::size_t presets, xovers;
  {
    CSingleLock lock(SettingsLock());
    general = GetGeneralSettings();
    presets = GetPresets().size();
    xovers = GetXoverPresets().size();
  }
  const auto& g = general.bytes;
  auto group = std::make_unique<CDevicePropertyGroup>("General");
  group->Add(NumberRow("ID", GetDeviceId(), "Set the device ID", kPropId)).Enable(mayEdit && offline);
  group->Add(std::make_unique<CDeviceProperty>("Name", CDeviceProperty::Value(GetName()), "Set the device name",
                                               kPropName))
      .Enable(mayEdit);
  group->Add(std::make_unique<CDeviceProperty>("Firmware Version", CDeviceProperty::Value(GetFirmwareVersion()),
                                               "The firmware version currently in the device", kPropFirmware))
      .Enable(false);
  if (fennick) {
    group->Add(std::make_unique<CDeviceProperty>(
                   "Auto Update RTC", CDeviceProperty::Value(HostOptions().GetAutoRtcUpdate()),
                   "Automatically updates the device clock when online if it differs from the PC clock", kPropAutoRtc))
        .Enable(mayEdit);
    if (mayEdit) AddUnitSettingRows(*group, general.bytes);
  }
  grid.AddGroup(std::move(group));

  group = std::make_unique<CDevicePropertyGroup>("Options");
  const std::uint32_t multiplierIndex = MultiplierIndex(HostOptions().GetDelayMultiplier());
  const bool knownMultiplier = multiplierIndex <= 6 && MultiplierOfIndex(multiplierIndex) == HostOptions().GetDelayMultiplier();
  group->Add(ListRow("Delay Multiplier", knownMultiplier ? TextOf(kMultiplierTexts, multiplierIndex) : std::string(),
                     "Set the multiplier for increments of the delay values", kPropDelayMultiplier, kMultiplierTexts))
      .Enable(mayEdit);
  group->Add(ListRow("Delay Units", TextOf(kDelayUnits, HostOptions().GetDelayUnits()), "Set the units of the delay values",
                     kPropDelayUnits, kDelayUnits))
      .Enable(mayEdit);
  group->Add(ListRow("Gain Nudge", TextOf(kGainNudges, HostOptions().GetGainNudge()),
                     "Set the increment of the nudge on the gain faders", kPropGainNudge, kGainNudges))
      .Enable(mayEdit);
  grid.AddGroup(std::move(group));

  if (fennick && mayEdit) {
    group = std::make_unique<CDevicePropertyGroup>("Security");
    group->Add(CDeviceProperty::MakeMaskedEdit("Security Code", FourDigits(general.GetSecurityCode()),
                                               "Set the device front panel security code", "DDDD", "____",
                                               "0123456789", kPropSecurityCode));
    group->Add(ListRow("System Lock", TextOf(kSystemLocks, g[NerexGeneralSettings::kSystemLock]),
                       "Set the locking state of the front panel of the unit", kPropSystemLock, kSystemLocks));
    grid.AddGroup(std::move(group));
  }

  if (HasPresetGroup(*this, true) && mayEdit) {
    group = std::make_unique<CDevicePropertyGroup>("Presets");
    group->Add(NumberRow("Number Presets", std::int64_t(presets), "Set the number of presets the device has",
                         kPropNumberPresets))
        .Enable(offline);
    group->Add(NumberRow("Number Xover Presets", std::int64_t(xovers),
                         "Set the number of crossover presets the device has", kPropNumberXovers))
        .Enable(offline);
    grid.AddGroup(std::move(group));
  }
}

bool CNerexSeriesDevice::OnPropertyChanged(CDeviceProperty& row) {
  CEdit e;
  e.fromList = row.GetListValue() != nullptr;
  e.id = std::int32_t(row.GetData());
  e.choice = GetPropertyComboSelection(row);
  e.number = RowNumber(row);
  e.text = row.GetText();
  e.flag = row.GetBool();
  std::string refusal;
  bool applied = false;
  {
    const CSettingsChange change(*this);
    applied = CPropertyEditor(
                  *this, [this](const CParamValue& value) { ApplyControlChange(value); },
                  [this](std::uint32_t id) { SetDeviceId(id); })
                  .Apply(e, refusal);
  }
  if (!applied) {
    if (!refusal.empty()) row.SetErrorText(refusal);
    return false;
  }
  switch (e.id) {
    case kPropName:
    case kPropId:
    case kPropMemoryOffset:
    case kPropLcdContrast:
    case kPropSecurityCode:
    case kPropNumberPresets:
    case kPropNumberXovers:
      row.SetReferenceValue(row.GetEditedValue());
      break;
    default:
      break;
  }
  return true;
}
