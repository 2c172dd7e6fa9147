// Writes a system file with a unit of every family in two zones and a custom panel holding a
// widget of every kind, for looking at the application with the simulator:
//   orvak-sample-system OUT.ovd
// Device IDs match "--processor 120:1 --zel-amp 52:2 --zel-break 40:3 --processor 16:4
// --zel-break 44:5 --zel-amp 56:6 --processor 121:7 --processor 112:8 --processor 17:9
// --zel-amp 55:10 --zel-break 41:11" of the simulator.
#include <QGuiApplication>
#include <cstdio>

#include "core/CPData.h"
#include "core/Device.h"
#include "core/System.h"
#include "core/Zone.h"
#include "custom/BitmapControl.h"
#include "custom/ButtonControl.h"
#include "custom/CustomControls.h"
#include "custom/FaderControl.h"
#include "custom/KnobControl.h"
#include "custom/TextControl.h"
#include "devices/amplifier/AmplifierFamilies.h"
#include "devices/processor/ProcessorFamily.h"

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

template <class Widget>
Widget* Place(CCPData* panel, Widget* widget, CRect rect) {
  widget->m_rect = rect;
  panel->m_widgets.push_back(widget);
  return widget;
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: orvak-sample-system OUT.ovd\n");
    return 2;
  }
  RegisterProcessorFamily();
  RegisterAmplifierFamilies();
  RegisterCustomControls();

  CSystem system;
  CZone* stage = system.AddZone();
  stage->SetName("Stage");
  for (const SampleUnit& unit : kUnits) {
    CDevice* device = system.CreateDevice(unit.id, unit.type, unit.model);
    if (!device) {
      std::fprintf(stderr, "no family takes type %u\n", unit.type);
      return 1;
    }
    device->SetName(unit.name);
    system.AppendDevice(device);
    system.GetZones()[std::size_t(unit.zone)]->AppendDevice(device);
  }

  CCPData* panel = system.AddCustomPanel();
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
  if (!system.SaveFile(argv[1])) return 1;
  std::printf("%s\n", argv[1]);
  return 0;
}
