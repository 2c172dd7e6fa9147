// The sample system: a unit of every family that the program polls, in two zones, and a custom
// panel holding a widget of every kind.
#include "tests/app/SampleSystem.h"

#include <cstdint>
#include <iterator>

#include "custom/CPData.h"
#include "core/model/Device.h"
#include "core/system/System.h"
#include "core/system/Zone.h"
#include "custom/BitmapControl.h"
#include "custom/ButtonControl.h"
#include "custom/CustomControls.h"
#include "custom/FaderControl.h"
#include "custom/KnobControl.h"
#include "custom/TextControl.h"
#include "devices/amplifier/ZelSeriesDevice.h"
#include "tests/support/ModelChanges.h"

namespace {

struct SampleUnit {
  std::uint32_t id;
  std::uint32_t type;
  std::uint32_t model;
  const char* name;
  int zone;
};

constexpr SampleUnit kUnits[] = {
    {1, 120, 0, "Front of House", 0}, {2, 52, 0, "Main Amp", 0},     {3, 40, 0, "Stage Box", 0},
    {4, 16, 0, "Fill Processor", 0},  {5, 44, 0, "Dante Box", 1},    {6, 56, 0, "Sub Amp", 1},
    {7, 121, 0, "Delay Towers", 1},   {8, 112, 0x1C4A21, "Hollin", 1}, {9, 17, 0, "Zel Fennick", 1},
    {10, 55, 0, "Zel Six", 1},        {11, 41, 0, "Wide Box", 1},
};

static_assert(std::size(kUnits) == kSampleSystemUnitCount);

template <class Widget>
Widget* Place(CCPData* panel, Widget* widget, CRect rect) {
  widget->m_rect = rect;
  panel->m_widgets.push_back(widget);
  return widget;
}

}  // namespace

bool BuildSampleSystem(CSystem& system) {
  CZone* stage = system.AddZone();
  stage->SetName("Stage");
  for (const SampleUnit& unit : kUnits) {
    CDevice* device = system.CreateDevice(unit.id, unit.type, unit.model);
    if (!device) return false;
    NameDevice(device, unit.name);
    // The amplifiers' alarm threshold at 80 degrees C, one the units take ("Send" writes it).
    if (auto* amplifier = dynamic_cast<CZelSeriesDevice*>(device))
      ModelChange(amplifier, MakeIntParamValue(kZelParamAlarmTemperature, kSampleAlarmTemperature));
    system.AppendDevice(device);
    system.GetZones()[std::size_t(unit.zone)]->AppendDevice(device);
  }

  CCPData* panel = system.Panels().AddCustomPanel();
  panel->m_name = "Front Panel";
  auto* title = Place(panel, new CCCTextControl, CRect{20, 10, 220, 34});
  title->m_caption = "Main Level";
  Place(panel, new CCCKnob, CRect{20, 50, 80, 110});
  Place(panel, new CCCFader, CRect{110, 40, 130, 200});
  Place(panel, new CCCBitmap, CRect{160, 50, 220, 110});
  Place(panel, new CCCLED, CRect{160, 130, 180, 150});
  auto* button = Place(panel, new CCCButton, CRect{160, 170, 230, 194});
  button->m_text = "Mute";
  system.SetSelectedDevice(0);
  return true;
}
