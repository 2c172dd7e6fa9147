// The face of the units that are not polled: rack tile, tooltip text and properties rows.
#include "devices/amplifier/UnpolledUnits.h"

#include <array>
#include <memory>

#include "core/draw/BitmapImage.h"
#include "core/model/Device.h"
#include "core/model/DeviceHost.h"
#include "core/model/DeviceProperty.h"
#include "core/support/SystemMessages.h"
#include "devices/amplifier/ZelPropertyRows.h"
#include "devices/amplifier/ZelTileSkins.h"
#include "platform/Graphics.h"
#include "platform/WindowMessages.h"

namespace {

// The "ID" row's property id; the other rows only show a value.
constexpr std::uint32_t kPropId = 51;
// The plain amplifier skins: left end, right end, middle piece.
constexpr std::array<std::uint32_t, 3> kSkinIds{4159, 4160, 4161};

// Loaded on first use and kept for the whole run.
const CBitmapImage* Skin(std::size_t which) {
  static std::array<std::unique_ptr<CBitmapImage>, 3> skins;
  if (!skins[which]) {
    skins[which] = std::make_unique<CBitmapImage>();
    skins[which]->LoadFromResource(CBitmapImage::kResourceBmp, kSkinIds[which]);
  }
  return skins[which]->IsEmpty() ? nullptr : skins[which].get();
}

}  // namespace

int DrawUnpolledTile(CDevice& device, Graphics* g, const CRect& rect, int blinkPhase) {
  if (g && rect != CRect{} && DrawZelTileSkins(*g, rect, Skin(0), Skin(1), Skin(2)))
    DrawAmplifierTileFace(device, *g, rect, device.GetName(), device.IsConnected() ? kLedGreen : kLedRed);
  return device.CDevice::DrawTile(g, rect, blinkPhase);
}

std::string UnpolledStatusText(CDevice& device) {
  const std::string name = device.GetName();
  std::string text = "Model : " + device.GetModelName() + "\nID : " + std::to_string(device.GetDeviceId()) +
                     "\nName : " + (name.empty() ? "(none)" : name);
  const IDeviceHost* host = device.GetHost();
  if (device.IsIgnored())
    text += "\nDevice Ignored";
  else if (host && host->IsPortOpen() && !device.IsConnected())
    text += "\nNot Connected";
  return text;
}

void FillUnpolledRows(CDevice& device, IDevicePropertyGrid& grid) {
  using zelrows::Row;
  const IDeviceHost* host = device.GetHost();
  const bool mayEdit = host && host->CanCurrentUserEditDeviceProperties();
  auto general = std::make_unique<CDevicePropertyGroup>("General");
  general->Add(Row("Model", device.GetModelName(), "The model of the device", zelrows::kZelPropReadOnly, false));
  general->Add(Row("ID", std::int64_t(device.GetDeviceId()), "Set the device ID", kPropId,
                   mayEdit && !device.IsConnected()));
  general->Add(Row("Name", device.GetName(), "The name of the device", zelrows::kZelPropReadOnly, false));
  grid.AddGroup(std::move(general));
}

bool ApplyUnpolledRow(CDevice& device, CDeviceProperty& row, const std::function<void(std::uint32_t)>& takeId) {
  if (row.GetData() != kPropId) return false;
  const auto id = std::uint64_t(row.GetNumber());
  if (std::optional<std::string> refusal = device.AddressRules().DeviceIdInUseRefusal(id)) {
    row.SetErrorText(*refusal);
    return false;
  }
  // An ID the frames cannot carry would address another unit.
  if (std::string range = device.AddressRules().DeviceIdRangeRefusal(id); !range.empty()) {
    row.SetErrorText(range);
    return false;
  }
  if (id == device.GetDeviceId()) return true;
  takeId(std::uint32_t(id));
  device.Post(FrameMsg::kRefreshRack);
  if (IDeviceHost* host = device.GetHost()) host->SetModified(true);
  return true;
}
