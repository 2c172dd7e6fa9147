// The Zel amplifier's properties: the rows of the properties grid and their edits, and the
// same settings as a property list with its validation. Both paths share the checks and the
// message texts. UI thread.
#include <cstdio>

#include "core/DeviceProperty.h"
#include "core/System.h"
#include "core/SystemMessages.h"
#include "devices/amplifier/ZelPropertyRows.h"
#include "devices/amplifier/ZelSeriesDevice.h"
#include "platform/Sync.h"
#include "platform/WindowMessages.h"

using namespace zelrows;

namespace {

// Property ids that are no parameters.
enum : std::uint32_t {
  kPropReadOnly = 0,
  kPropId = 51,
  kPropGpioInput = 52,
  kPropGpioOutput = 53,
  kPropAuxRelay = 54,
  kPropVca = 83,  // 83 to 86
  kPropMode = 87,
};

constexpr std::size_t kMaxNameBytes = 40;
constexpr std::size_t kMaxChannelNameBytes = 16;
constexpr std::int64_t kMaxPowerOnDelay = 60;
constexpr std::int64_t kMinAlarmTemperature = 40, kMaxAlarmTemperature = 110;
constexpr std::int64_t kMaxWindow = 100;

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
  const bool mayEdit = m_system->CanCurrentUserEditDeviceProperties();
  const int channels = GetChannelCount();
  CSingleLock lock(m_system->GetLock());
  const std::vector<std::string> gpioInputs = Texts(ZelSeriesGpioInputText, 6);
  const std::vector<std::string> gpioOutputs = Texts(ZelSeriesGpioOutputText, 6);
  const std::vector<std::string> auxRelays = Texts(ZelSeriesAuxRelayText, 2);

  auto general = std::make_unique<CDevicePropertyGroup>("General");
  general->Add(Row("ID", std::int64_t(m_deviceId), "Set the device ID", kPropId, mayEdit && !IsConnected()));
  general->Add(Row("Amp Name", m_name, "Set the device name", kZelParamAmpName, mayEdit));
  general->Add(Row("Firmware Version", m_firmwareVersion, "The firmware version currently in the amplifier",
                   kPropReadOnly, false));
  for (int n = 0; n < channels; ++n)
    general->Add(Row(Format("Channel %lld Name", n + 1), m_channelNames[std::size_t(n)],
                     Format("Set the name for Channel %lld", n + 1), std::uint32_t(kZelParamChannelName + n), mayEdit));
  const std::vector<std::string> modes = channels == 4 ? std::vector<std::string>{"Stereo", "Bridge"}
                                                       : std::vector<std::string>{"Mono", "Stereo", "Bridge"};
  general->Add(ListRow("Mode", ModeText(m_mode), "The mode of the amplifier", kPropMode, modes, mayEdit));
  general->Add(Row("Power On Delay", std::int64_t(m_powerOnDelay), "Set the delay before the amplifier turns on",
                   kZelParamPowerOnDelay, mayEdit));
  general->Add(Row("Front Panel Pots", std::string(m_statusFlags & 0x02 ? "Disabled" : "Enabled"),
                   "Indicates whether the front panel pots are enabled", kPropReadOnly, false));
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
    gpio->Add(ListRow(Format("Channel %lld VCA Control", n + 1),
                      (m_statusFlags & (0x08u << n)) ? "Enabled" : "Disabled",
                      "Whether VCA control is enabled for this channel", std::uint32_t(kPropVca + n),
                      {"Disabled", "Enabled"}, mayEdit));

  auto alarms = std::make_unique<CDevicePropertyGroup>("Impedance Alarms");
  for (int n = 0; n < channels; ++n) {
    CDeviceProperty& value = alarms->Add(
        Row(Format("Ch %lld Value", n + 1), m_referenceImpedance[std::size_t(n)],
            Format("The impedance alarm value for Channel %lld.  Press the button to set to the current measured value",
                   n + 1),
            std::uint32_t(kZelParamReference + n), mayEdit));
    value.SetButtonMode(true);
    value.AllowEdit(false);
    alarms->Add(Row(Format("Ch %lld Window", n + 1), std::int64_t(m_impedanceWindow[std::size_t(n)]),
                    Format("Set the impedance alarm window percentage for Channel %lld", n + 1),
                    std::uint32_t(kZelParamWindow + n), mayEdit));
  }
  grid.AddGroup(std::move(general));
  grid.AddGroup(std::move(gpio));
  grid.AddGroup(std::move(alarms));
}

bool CZelSeriesDevice::ApplyPropertyEdit(std::uint32_t id, std::int64_t number, const std::string& text, int selection,
                                         std::string& message, float* reference, bool grid) {
  const int channels = GetChannelCount();
  auto applyGpio = [&] { ApplyControlChange(MakeIntParamValue(kZelParamGpio, GetGpioByte())); };
  auto applyName = [&](int param, std::size_t limit, const char* tooLong) {
    return ApplyNameEdit(param, text, limit, tooLong, message);
  };

  if (id == kPropId) return ApplyDeviceIdEdit(std::uint32_t(number), grid, message);
  if (id == kZelParamAmpName)
    return applyName(kZelParamAmpName, kMaxNameBytes, "Device name too long - %lld characters max");
  if (id >= kZelParamChannelName && id < std::uint32_t(kZelParamChannelName + channels))
    return applyName(int(id), kMaxChannelNameBytes, "Channel name too long - %lld characters max");
  if (id == kPropMode) {
    std::uint32_t mode = 0;
    if (channels == 4 && selection >= 0 && selection <= 1) mode = std::uint32_t(selection + 2);
    if (channels == 2 && selection >= 0 && selection <= 2) mode = std::uint32_t(selection + 1);
    if (mode == 0 || mode == GetMode()) return true;
    {
      CSingleLock lock(m_system->GetLock());
      m_mode = mode;
    }
    ApplyControlChange(MakeIntParamValue(kZelParamMode, std::int32_t(mode)));
    return true;
  }
  if (id == kZelParamPowerOnDelay) {
    if (number < 0 || number > kMaxPowerOnDelay) {
      message = Format("Power on delay must be between 0 and %lld", kMaxPowerOnDelay);
      return false;
    }
    if (number != GetPowerOnDelay()) ApplyControlChange(MakeIntParamValue(kZelParamPowerOnDelay, std::int32_t(number)));
    return true;
  }
  if (id == kZelParamAlarmTemperature) {
    if (number < kMinAlarmTemperature || number > kMaxAlarmTemperature) {
      message = Format("Temperature alarm threshold must be between %lld and %lld", kMinAlarmTemperature,
                       kMaxAlarmTemperature);
      return false;
    }
    if (number != GetAlarmTemperature())
      ApplyControlChange(MakeIntParamValue(kZelParamAlarmTemperature, std::int32_t(number)));
    return true;
  }
  if (id == kPropGpioInput || id == kPropGpioOutput || id == kPropAuxRelay) {
    const std::uint32_t count = id == kPropAuxRelay ? 2 : 6;
    if (selection < 0 || std::uint32_t(selection) >= count) return true;
    {
      CSingleLock lock(m_system->GetLock());
      std::uint32_t& field = id == kPropGpioInput ? m_gpioInput : id == kPropGpioOutput ? m_gpioOutput : m_gpioAuxRelay;
      if (field == std::uint32_t(selection)) return true;
      field = std::uint32_t(selection);
    }
    applyGpio();
    return true;
  }
  if (id >= kPropVca && id < std::uint32_t(kPropVca + channels)) {
    {
      CSingleLock lock(m_system->GetLock());
      const auto bit = std::uint8_t(0x08u << (id - kPropVca));
      if (selection == 0)
        m_statusFlags &= std::uint8_t(~bit);
      else
        m_statusFlags |= bit;
    }
    applyGpio();
    return true;
  }
  if (id >= kZelParamWindow && id < std::uint32_t(kZelParamWindow + channels)) {
    if (number < 0 || number > kMaxWindow) {
      message = Format("Window value must be between 0 and %lld", kMaxWindow);
      return false;
    }
    const auto channel = std::size_t(id - kZelParamWindow);
    {
      CSingleLock lock(m_system->GetLock());
      if (number == m_impedanceWindow[channel]) return true;
      m_impedanceWindow[channel] = std::uint8_t(number);
    }
    ApplyControlChange(MakeIntParamValue(int(id), std::int32_t(number)));
    return true;
  }
  if (id >= kZelParamReference && id < std::uint32_t(kZelParamReference + channels)) {
    const auto channel = std::size_t(id - kZelParamReference);
    float current = 0.0f;
    std::uint8_t state = 0;
    {
      CSingleLock lock(m_system->GetLock());
      current = m_meters.outputCurrent[channel];
      state = m_meters.loadMonitorState[channel];
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
    ApplyControlChange(MakeIntParamValue(int(id), 0));
    if (reference) *reference = GetReferenceImpedance(int(channel));
    return true;
  }
  return false;
}

bool CZelSeriesDevice::OnPropertyChanged(CDeviceProperty& row) {
  std::string message;
  float reference = 0.0f;
  const bool accepted = ApplyPropertyEdit(row.GetData(), row.GetNumber(), row.GetText(), GetPropertyComboSelection(row),
                                          message, &reference, true);
  if (!accepted) {
    row.SetErrorText(message);
    return false;
  }
  const std::uint32_t id = row.GetData();
  if (id >= kZelParamReference && id < std::uint32_t(kZelParamReference + kZelMaxChannels)) row.SetValue(reference);
  return true;
}
