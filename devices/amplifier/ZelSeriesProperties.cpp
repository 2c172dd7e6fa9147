// The Zel amplifier's properties: the rows of the properties grid, and the same settings as a
// property list with its validation. The edits of both go through the family's row edits
// (ZelSeriesPropertyEdits.h), so both paths share the checks and the message texts. UI thread.
#include "core/model/DeviceProperty.h"
#include "core/model/DeviceHost.h"
#include "core/support/SystemMessages.h"
#include "devices/amplifier/ZelPropertyRows.h"
#include "devices/amplifier/ZelSeriesDevice.h"
#include "devices/amplifier/ZelSeriesPropertyEdits.h"
#include "platform/Sync.h"
#include "platform/WindowMessages.h"

using namespace zelrows;

namespace {

// Property ids that are no parameters.
enum : std::uint32_t {
  kPropGpioInput = CZelSeriesPropertyEdits::kPropGpioInput,
  kPropGpioOutput = CZelSeriesPropertyEdits::kPropGpioOutput,
  kPropAuxRelay = CZelSeriesPropertyEdits::kPropAuxRelay,
  kPropVca = CZelSeriesPropertyEdits::kPropVca,
  kPropMode = CZelSeriesPropertyEdits::kPropMode,
};

std::string ModeText(std::uint32_t mode) {
  switch (mode) {
    case 1: return "Mono";
    case 2: return "Stereo";
    case 3: return "Bridge";
    default: return "";
  }
}

}  // namespace

void CZelSeriesDevice::FillPropertiesPane(IDevicePropertyGrid& grid) {
  const bool mayEdit = m_host->CanCurrentUserEditDeviceProperties();
  const int channels = GetChannelCount();
  CSingleLock lock(m_host->GetLock());
  const std::vector<std::string> gpioInputs = Texts(ZelSeriesGpioInputText, 6);
  const std::vector<std::string> gpioOutputs = Texts(ZelSeriesGpioOutputText, 6);
  const std::vector<std::string> auxRelays = Texts(ZelSeriesAuxRelayText, 2);

  std::unique_ptr<CDevicePropertyGroup> general = MakeGeneralGroup(mayEdit);
  AddChannelNameRows(*general, mayEdit);
  const std::vector<std::string> modes = channels == 4 ? std::vector<std::string>{"Stereo", "Bridge"}
                                                       : std::vector<std::string>{"Mono", "Stereo", "Bridge"};
  general->Add(ListRow("Mode", ModeText(m_mode), "The mode of the amplifier", kPropMode, modes, mayEdit));
  general->Add(Row("Power On Delay", std::int64_t(m_powerOnDelay), "Set the delay before the amplifier turns on",
                   kZelParamPowerOnDelay, mayEdit));
  general->Add(Row("Front Panel Pots", std::string(m_statusFlags & 0x02 ? "Disabled" : "Enabled"),
                   "Indicates whether the front panel pots are enabled", kZelPropReadOnly, false));
  general->Add(Row("Alarm Temp. Threshold", std::int64_t(m_alarmTemperature),
                   "Set the threshold for the temperature alarm", kZelParamAlarmTemperature, mayEdit));

  auto gpio = std::make_unique<CDevicePropertyGroup>("GPIO Config");
  gpio->Add(ListRow("Input", m_gpio.GetGpioInputText(), "Set the GPIO Input port configuration", kPropGpioInput, gpioInputs,
                    mayEdit));
  gpio->Add(ListRow("Output", m_gpio.GetGpioOutputText(), "Set the GPIO Output port configuration", kPropGpioOutput,
                    gpioOutputs, mayEdit));
  gpio->Add(ListRow("Aux Relay", m_gpio.GetAuxRelayText(), "Set the GPIO Aux Relay configuration", kPropAuxRelay,
                    auxRelays, mayEdit));
  for (int n = 0; n < channels; ++n)
    gpio->Add(ListRow(FormatText("Channel %d VCA Control", n + 1),
                      (m_statusFlags & (0x08u << n)) ? "Enabled" : "Disabled",
                      "Whether VCA control is enabled for this channel", std::uint32_t(kPropVca + n),
                      {"Disabled", "Enabled"}, mayEdit));

  auto alarms = std::make_unique<CDevicePropertyGroup>("Impedance Alarms");
  for (int n = 0; n < channels; ++n) {
    CDeviceProperty& value = alarms->Add(
        Row(FormatText("Ch %d Value", n + 1), m_referenceImpedance[std::size_t(n)],
            FormatText("The impedance alarm value for Channel %d.  Press the button to set to the current measured value",
                       n + 1),
            std::uint32_t(kZelParamReference + n), mayEdit));
    value.SetButtonMode(true);
    value.AllowEdit(false);
    alarms->Add(Row(FormatText("Ch %d Window", n + 1), std::int64_t(m_impedanceWindow[std::size_t(n)]),
                    FormatText("Set the impedance alarm window percentage for Channel %d", n + 1),
                    std::uint32_t(kZelParamWindow + n), mayEdit));
  }
  grid.AddGroup(std::move(general));
  grid.AddGroup(std::move(gpio));
  grid.AddGroup(std::move(alarms));
}

// The list: no "Mode"; "Front Panel Pots" a choice; the VCA choices "Enabled" first; the
// thresholds typed, enabled by the right.
CListForm CZelSeriesDevice::ListForm() const {
  const int edit = m_host->CanCurrentUserEditDeviceProperties() ? 1 : 0;
  CListForm form{{{.id = kPropMode, .hidden = true},
                  {.id = kZelPropReadOnly, .row = "Front Panel Pots", .choices = {{"Disabled", 0}, {"Enabled", 1}}},
                  {.id = kZelParamAlarmTemperature, .flags = 1 | edit << 8}},
                 {}};
  for (std::uint32_t n = 0; n < kZelMaxChannels; ++n) {
    // The grid offers "Disabled", "Enabled".
    form.rows.push_back({.id = kPropVca + n, .choices = {{"Enabled", 1}, {"Disabled", 0}}});
    form.rows.push_back({.id = kZelParamWindow + n, .flags = 1 | edit << 8});
  }
  return form;
}

bool CZelSeriesDevice::ApplyPropertyEdit(const ZelPropertyEdit& edit, std::string& message) {
  if (const std::optional<bool> shared = ApplySharedPropertyEdit(edit, message)) return *shared;
  return m_propertyEdits.Apply(edit, message).value_or(false);
}

void CZelSeriesDevice::OnPropertyApplied(CDeviceProperty& row) {
  const std::int64_t channel = std::int64_t(row.GetData()) - kZelParamReference;
  if (channel >= 0 && channel < kZelMaxChannels) row.SetValue(GetReferenceImpedance(int(channel)));
}
