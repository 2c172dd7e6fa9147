// The Zel breakout box's properties: the rows of the properties grid and their edits, and the
// same settings as a property list with its validation. Both paths share the checks and the
// message texts. UI thread.
#include "core/model/DeviceProperty.h"
#include "core/model/DeviceHost.h"
#include "core/support/SystemMessages.h"
#include "devices/amplifier/ZelBreakDevice.h"
#include "devices/amplifier/ZelPropertyRows.h"
#include "platform/Sync.h"
#include "platform/WindowMessages.h"

using namespace zelrows;

namespace {

// Property ids that are no parameters (names and channel names use their parameter ids).
enum : std::uint32_t {
  kPropGpioInput = 54,
  kPropGpioOutput = 55,
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
  const bool mayEdit = m_host->CanCurrentUserEditDeviceProperties();
  CSingleLock lock(m_host->GetLock());

  std::unique_ptr<CDevicePropertyGroup> general = MakeGeneralGroup(mayEdit);
  auto names = std::make_unique<CDevicePropertyGroup>("Channel Names");
  AddChannelNameRows(*names, mayEdit);

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

// The list: the channel names under "General", the box's name labelled "Amp Name".
CListForm CZelBreakDevice::ListForm() const {
  return CListForm{{{.id = std::uint32_t(kBreakParamBoxName), .name = "Amp Name"}}, {{"Channel Names", ""}}};
}

bool CZelBreakDevice::ApplyPropertyEdit(const ZelPropertyEdit& edit, std::string& message) {
  if (const std::optional<bool> shared = ApplySharedPropertyEdit(edit, message)) return *shared;
  using Route = ZelRoute<bool (CZelBreakDevice::*)(int, const ZelPropertyEdit&, std::string&)>;
  static const Route kRoutes[] = {
      {kPropGpioInput, 2, &CZelBreakDevice::EditGpioMode},
      {kPropNetworkMaster, 1, &CZelBreakDevice::EditMasterMode},
  };
  return FollowZelRoute(*this, kRoutes, edit.id, edit, message).value_or(false);
}

bool CZelBreakDevice::EditGpioMode(int offset, const ZelPropertyEdit& edit, std::string& message) {
  (void)message;
  const std::uint32_t count = offset == 0 ? kInputModes : kOutputModes;
  if (edit.selection < 0 || std::uint32_t(edit.selection) >= count) return true;
  {
    CSingleLock lock(m_host->GetLock());
    std::uint32_t& field = offset == 0 ? m_gpioInputMode : m_gpioOutputMode;
    if (field == std::uint32_t(edit.selection)) return true;
    field = std::uint32_t(edit.selection);
  }
  ApplyControlChange(MakeIntParamValue(kBreakParamGpio, GetGpioByte()));
  return true;
}

bool CZelBreakDevice::EditMasterMode(int offset, const ZelPropertyEdit& edit, std::string& message) {
  (void)offset;
  (void)message;
  if (edit.selection < 0 || edit.selection > 1) return true;
  {
    CSingleLock lock(m_host->GetLock());
    if (m_networkMasterPulse == (edit.selection == 1)) return true;
    m_networkMasterPulse = edit.selection == 1;
  }
  ApplyControlChange(MakeIntParamValue(kBreakParamGpio, GetGpioByte()));
  return true;
}
