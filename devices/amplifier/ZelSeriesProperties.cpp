// The Zel amplifier's properties: the rows of the properties grid and their edits, and the
// same settings as a property list with its validation. Both paths share the checks and the
// message texts. UI thread.
#include "core/model/DeviceProperty.h"
#include "core/model/DeviceHost.h"
#include "core/support/SystemMessages.h"
#include "devices/amplifier/ZelPropertyRows.h"
#include "devices/amplifier/ZelSeriesDevice.h"
#include "platform/Sync.h"
#include "platform/WindowMessages.h"

using namespace zelrows;

namespace {

// Property ids that are no parameters.
enum : std::uint32_t {
  kPropGpioInput = 52,
  kPropGpioOutput = 53,
  kPropAuxRelay = 54,
  kPropVca = 83,  // 83 to 86
  kPropMode = 87,
};

// A field the comms worker writes under the system's lock (a unit's report), read under it.
template <class T>
T ReadLocked(const IDeviceHost& host, const T& field) {
  CSingleLock lock(host.GetLock());
  return field;
}

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
  gpio->Add(ListRow("Input", GetGpioInputText(), "Set the GPIO Input port configuration", kPropGpioInput, gpioInputs,
                    mayEdit));
  gpio->Add(ListRow("Output", GetGpioOutputText(), "Set the GPIO Output port configuration", kPropGpioOutput,
                    gpioOutputs, mayEdit));
  gpio->Add(ListRow("Aux Relay", GetAuxRelayText(), "Set the GPIO Aux Relay configuration", kPropAuxRelay, auxRelays,
                    mayEdit));
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

// --- Edits: the routing table and one handler a row kind ---

bool CZelSeriesDevice::ApplyPropertyEdit(const ZelPropertyEdit& edit, std::string& message) {
  if (const std::optional<bool> shared = ApplySharedPropertyEdit(edit, message)) return *shared;
  using Route = ZelRoute<bool (CZelSeriesDevice::*)(int, const ZelPropertyEdit&, std::string&)>;
  static const Route kRoutes[] = {
      {kPropMode, 1, &CZelSeriesDevice::EditMode},
      {kZelParamPowerOnDelay, 1, &CZelSeriesDevice::EditPowerOnDelay},
      {kZelParamAlarmTemperature, 1, &CZelSeriesDevice::EditAlarmTemperature},
      {kPropGpioInput, 3, &CZelSeriesDevice::EditGpio},
      {kPropVca, kZelEachChannel, &CZelSeriesDevice::EditVca},
      {kZelParamWindow, kZelEachChannel, &CZelSeriesDevice::EditWindow},
      {kZelParamReference, kZelEachChannel, &CZelSeriesDevice::EditReference},
  };
  return FollowZelRoute(*this, kRoutes, edit.id, edit, message).value_or(false);
}

bool CZelSeriesDevice::EditMode(int offset, const ZelPropertyEdit& edit, std::string& message) {
  (void)offset;
  (void)message;
  // The four-channel model offers stereo and bridge, the others mono too.
  const int channels = GetChannelCount();
  std::uint32_t mode = 0;
  if (channels == 4 && edit.selection >= 0 && edit.selection <= 1) mode = std::uint32_t(edit.selection + 2);
  if (channels == 2 && edit.selection >= 0 && edit.selection <= 2) mode = std::uint32_t(edit.selection + 1);
  if (mode == 0) return true;
  {
    CSingleLock lock(m_host->GetLock());
    if (m_mode == mode) return true;
    m_mode = mode;
  }
  ApplyControlChange(MakeIntParamValue(kZelParamMode, std::int32_t(mode)));
  return true;
}

bool CZelSeriesDevice::EditNumber(const ZelPropertyEdit& edit, int parameterId, std::int64_t low, std::int64_t high,
                                  const char* what, std::int64_t current, std::string& message) {
  if (edit.number < low || edit.number > high) {
    message = FormatText("%s must be between %lld and %lld", what, (long long)low, (long long)high);
    return false;
  }
  if (edit.number != current) ApplyControlChange(MakeIntParamValue(parameterId, std::int32_t(edit.number)));
  return true;
}

bool CZelSeriesDevice::EditPowerOnDelay(int offset, const ZelPropertyEdit& edit, std::string& message) {
  (void)offset;
  return EditNumber(edit, kZelParamPowerOnDelay, 0, kZelMaxPowerOnDelay, "Power on delay",
                    ReadLocked(*m_host, m_powerOnDelay), message);
}

bool CZelSeriesDevice::EditAlarmTemperature(int offset, const ZelPropertyEdit& edit, std::string& message) {
  (void)offset;
  return EditNumber(edit, kZelParamAlarmTemperature, kZelMinAlarmTemperature, kZelMaxAlarmTemperature,
                    "Temperature alarm threshold", ReadLocked(*m_host, m_alarmTemperature), message);
}

bool CZelSeriesDevice::EditGpio(int offset, const ZelPropertyEdit& edit, std::string& message) {
  (void)message;
  const std::uint32_t count = offset == 2 ? 2 : 6;
  if (edit.selection < 0 || std::uint32_t(edit.selection) >= count) return true;
  {
    CSingleLock lock(m_host->GetLock());
    std::uint32_t& field = offset == 0 ? m_gpioInput : offset == 1 ? m_gpioOutput : m_gpioAuxRelay;
    if (field == std::uint32_t(edit.selection)) return true;
    field = std::uint32_t(edit.selection);
  }
  SendGpio();
  return true;
}

bool CZelSeriesDevice::EditVca(int channel, const ZelPropertyEdit& edit, std::string& message) {
  (void)message;
  {
    CSingleLock lock(m_host->GetLock());
    const auto bit = std::uint8_t(0x08u << channel);
    m_statusFlags = edit.selection == 0 ? std::uint8_t(m_statusFlags & ~bit) : std::uint8_t(m_statusFlags | bit);
  }
  SendGpio();
  return true;
}

void CZelSeriesDevice::SendGpio() { ApplyControlChange(MakeIntParamValue(kZelParamGpio, GetGpioByte())); }

bool CZelSeriesDevice::EditWindow(int channel, const ZelPropertyEdit& edit, std::string& message) {
  std::uint8_t current = 0;
  {
    CSingleLock lock(m_host->GetLock());
    current = m_impedanceWindow[std::size_t(channel)];
  }
  // ChangeWindow keeps the new window and follows the load alarms.
  return EditNumber(edit, int(edit.id), 0, kZelMaxWindow, "Window value", current, message);
}

bool CZelSeriesDevice::EditReference(int channel, const ZelPropertyEdit& edit, std::string& message) {
  float current = 0.0f;
  std::uint8_t state = 0;
  {
    CSingleLock lock(m_host->GetLock());
    current = m_meters.outputCurrent[std::size_t(channel)];
    state = m_meters.loadMonitorState[std::size_t(channel)];
  }
  if (!IsConnected()) {
    message = "Cannot set reference impedance - not online";
    return false;
  }
  if (current < kZelMinReferenceCurrent) {
    message = "Cannot set reference impedance - current too low";
    return false;
  }
  if (state != 0) {
    message = "Cannot set reference impedance - invalid value";
    return false;
  }
  ApplyControlChange(MakeIntParamValue(int(edit.id), 0));
  return true;
}

void CZelSeriesDevice::OnPropertyApplied(CDeviceProperty& row) {
  const std::int64_t channel = std::int64_t(row.GetData()) - kZelParamReference;
  if (channel >= 0 && channel < kZelMaxChannels) row.SetValue(GetReferenceImpedance(int(channel)));
}
