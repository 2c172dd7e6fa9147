// The Zel breakout box's properties: the rows of the properties grid and their edits, and the
// same settings as a property list with its validation. Both paths share the checks and the
// message texts. UI thread.
#include <cstdio>

#include "core/DeviceProperty.h"
#include "core/System.h"
#include "core/SystemMessages.h"
#include "devices/amplifier/ZelBreakDevice.h"
#include "devices/amplifier/ZelPropertyRows.h"
#include "platform/Sync.h"
#include "platform/WindowMessages.h"

using namespace zelrows;

namespace {

// Property ids that are no parameters (names and channel names use their parameter ids).
enum : std::uint32_t {
  kPropReadOnly = 0,
  kPropGpioInput = 54,
  kPropGpioOutput = 55,
  kPropId = 60,
  kPropNetworkMaster = 72,
};

constexpr std::uint32_t kInputModes = 4;
constexpr std::uint32_t kOutputModes = 8;

const std::vector<std::string>& MasterModes() {
  static const std::vector<std::string> modes{"Latch", "Pulse"};
  return modes;
}

}  // namespace

void CZelBreakDevice::FillPropertiesPane(IDevicePropertyGrid& grid) {
  const bool mayEdit = m_system->CanCurrentUserEditDeviceProperties();
  const int channels = GetChannelCount();
  CSingleLock lock(m_system->GetLock());

  auto general = std::make_unique<CDevicePropertyGroup>("General");
  general->Add(Row("ID", std::int64_t(m_deviceId), "Set the device ID", kPropId, mayEdit && !IsConnected()));
  general->Add(Row("Device Name", m_name, "Set the device name", kBreakParamBoxName, mayEdit));
  general->Add(Row("Firmware Version", m_firmwareVersion, "The firmware version currently in the amplifier",
                   kPropReadOnly, false));

  auto names = std::make_unique<CDevicePropertyGroup>("Channel Names");
  for (int c = 0; c < channels; ++c)
    names->Add(Row(Format("Channel %lld Name", c + 1), m_channelNames[std::size_t(c)],
                   Format("Set the name for Channel %lld", c + 1), std::uint32_t(kBreakParamChannelName + c), mayEdit));

  auto gpio = std::make_unique<CDevicePropertyGroup>("GPIO Config");
  gpio->Add(ListRow("Input", ZelBreakGpioInputModeText(m_gpioInputMode), "Set the GPIO Input port configuration",
                    kPropGpioInput, Texts(ZelBreakGpioInputModeText, kInputModes), mayEdit));
  gpio->Add(ListRow("Output", ZelBreakGpioOutputModeText(m_gpioOutputMode), "Set the GPIO Output port configuration",
                    kPropGpioOutput, Texts(ZelBreakGpioOutputModeText, kOutputModes), mayEdit));
  gpio->Add(ListRow("Network Master Mode", MasterModes()[m_networkMasterPulse ? 1 : 0],
                    "Whether the network master GPIO will pulse or latch", kPropNetworkMaster, MasterModes(), mayEdit));

  grid.AddGroup(std::move(general));
  grid.AddGroup(std::move(names));
  grid.AddGroup(std::move(gpio));
}

bool CZelBreakDevice::ApplyPropertyEdit(std::uint32_t id, std::int64_t number, const std::string& text, int selection,
                                        std::string& message, bool grid) {
  const int channels = GetChannelCount();
  auto applyName = [&](int param, std::size_t limit, const char* tooLong) {
    return ApplyNameEdit(param, text, limit, tooLong, message);
  };
  // A GPIO choice: a new mode is stored and the packed byte sent; the same one sends nothing.
  auto applyGpio = [&](std::uint32_t& field, std::uint32_t count) {
    if (selection < 0 || std::uint32_t(selection) >= count) return true;
    {
      CSingleLock lock(m_system->GetLock());
      if (field == std::uint32_t(selection)) return true;
      field = std::uint32_t(selection);
    }
    ApplyControlChange(MakeIntParamValue(kBreakParamGpio, GetGpioByte()));
    return true;
  };

  if (id == kPropId) return ApplyDeviceIdEdit(std::uint32_t(number), grid, message);
  if (id == kBreakParamBoxName)
    return applyName(kBreakParamBoxName, kBreakBoxNameBytes, "Device name too long - %lld characters max");
  if (id >= kBreakParamChannelName && id < std::uint32_t(kBreakParamChannelName + channels))
    return applyName(int(id), kBreakChannelNameBytes, "Channel name too long - %lld characters max");
  if (id == kPropGpioInput) return applyGpio(m_gpioInputMode, kInputModes);
  if (id == kPropGpioOutput) return applyGpio(m_gpioOutputMode, kOutputModes);
  if (id == kPropNetworkMaster) {
    if (selection < 0 || selection > 1) return true;
    {
      CSingleLock lock(m_system->GetLock());
      if (m_networkMasterPulse == (selection == 1)) return true;
      m_networkMasterPulse = selection == 1;
    }
    ApplyControlChange(MakeIntParamValue(kBreakParamGpio, GetGpioByte()));
    return true;
  }
  return false;
}

bool CZelBreakDevice::OnPropertyChanged(CDeviceProperty& row) {
  std::string message;
  if (ApplyPropertyEdit(row.GetData(), row.GetNumber(), row.GetText(), GetPropertyComboSelection(row), message, true))
    return true;
  row.SetErrorText(message);
  return false;
}
