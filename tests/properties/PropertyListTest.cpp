// The property list of every object kind, driven as a consumer drives it: fetch the items, edit
// each one with values inside and outside its limits, read the refusal. The same edit through
// the grid row of a twin object must give the same answer, the same message and the same
// state; the list's own entries, headings and wording are checked against the grid's.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/file/ImageTree.h"
#include "core/model/DeviceProperty.h"
#include "core/model/PropertyList.h"
#include "core/support/SystemMessages.h"
#include "core/system/System.h"
#include "custom/BitmapControl.h"
#include "custom/ButtonControl.h"
#include "custom/CPData.h"
#include "custom/FaderControl.h"
#include "custom/KnobControl.h"
#include "custom/PropertyPickers.h"
#include "custom/TextControl.h"
#include "devices/amplifier/AmplifierFamilies.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexParamIds.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "devices/processor/ProcessorFamily.h"
#include "tests/custom/CustomTestSupport.h"
#include "tests/support/RecordingFrame.h"

namespace {

// A system in design mode with a processor, a custom panel open in a view, and an image.
struct CWorld {
  CWorld() {
    RegisterProcessorFamily();
    RegisterAmplifierFamilies();
    system.SetUiServices(&frame);
    system.SetDesignMode(1);
    panel = system.AddCustomPanel();
    panel->m_pView = &view;
    view.panel = panel;
    processor = static_cast<CNerexSeriesDevice*>(Append(kModelFennick, 1));
    image.SetBitmap(CImage(30, 60));
    image.m_name = "Tall";
  }
  ~CWorld() {
    owned.clear();
    panel->m_pView = nullptr;
  }
  CDevice* Append(std::uint32_t type, std::uint32_t id) {
    CDevice* device = system.CreateDevice(id, type, 0);
    system.AppendDevice(device);
    return device;
  }
  template <class W>
  W* Place(W* widget, const CRect& rect, bool bound = false) {
    owned.emplace_back(widget);
    widget->m_pView = &view;
    widget->m_rect = rect;
    if (bound) {
      widget->m_pDevice = processor;
      widget->m_parameterId = kParamInputGain;
    }
    return widget;
  }

  CRecordingFrame frame;
  CSystem system;
  CRecordingView view;
  CCPData* panel = nullptr;
  CNerexSeriesDevice* processor = nullptr;
  CCCImage image;
  std::vector<std::unique_ptr<CCustomControlObject>> owned;
};

// An object's two property paths.
struct CObject {
  CObjectProperties* list = nullptr;
  std::function<void(IDevicePropertyGrid&)> fill;
  std::function<bool(CDeviceProperty&)> commit;
};
template <class T>
CObject Of(T* object) {
  return {object, [object](IDevicePropertyGrid& grid) { object->FillPropertiesPane(grid); },
          [object](CDeviceProperty& row) { return object->OnPropertyChanged(row); }};
}

std::vector<CPropertyItem> Items(const CObject& object) {
  std::vector<CPropertyItem> items;
  object.list->GetProperties(items);
  return items;
}

// Headings in brackets, then the rows' labels.
std::vector<std::string> Names(const std::vector<CPropertyItem>& items) {
  std::vector<std::string> names;
  for (const CPropertyItem& item : items)
    names.push_back(item.value.type == kPropGroup ? "[" + item.name + "]" : item.name);
  return names;
}

// The value an item shows, as text.
std::string Shown(const CPropertyValue& value) {
  if (const CPropertyOptions* options = value.GetOptions()) {
    const std::uint32_t i = options->selected;
    return "#" + std::to_string(std::int32_t(i)) + (i < options->options.size() ? " " + options->options[i] : "");
  }
  if (const auto* colour = value.GetData<CColour>()) return "argb " + std::to_string(colour->argb);
  if (const auto* style = value.GetData<CTextStyle>()) return style->face + " " + std::to_string(style->size);
  if (const auto* image = value.GetData<CCCImage*>()) return *image ? (*image)->m_name : "no image";
  if (const auto* parameter = value.GetData<CParameterRef>())
    return "bound " + std::to_string(parameter->device != nullptr) + " " + std::to_string(parameter->parameterId);
  if (const auto* real = value.GetData<float>()) return std::to_string(*real);
  if (value.type == kPropString) return value.GetString();
  return std::to_string(value.GetNumber());
}

// What the list shows of the object, but for the widget's position and size (a new image fits
// a bitmap only through the grid).
std::vector<std::string> State(const CObject& object) {
  std::vector<std::string> state;
  for (const CPropertyItem& item : Items(object))
    if (item.name != "Position" && item.name != "Size") state.push_back(item.name + " = " + Shown(item.value));
  return state;
}

// The grid row of an item: the row with its id (and its label, where rows share an id).
CDeviceProperty* RowOf(CCollectingGrid& grid, const CPropertyItem& item) {
  CDeviceProperty* first = nullptr;
  for (const auto& group : grid.groups)
    for (const auto& row : group->rows)
      if (row->GetData() == std::uint32_t(item.value.propertyId)) {
        if (row->GetName() == item.name) return row.get();
        if (!first) first = row.get();
      }
  return first;
}

int IndexOf(const std::vector<std::string>& texts, const std::string& text) {
  const auto at = std::find(texts.begin(), texts.end(), text);
  return at == texts.end() ? -1 : int(at - texts.begin());
}

// Puts the edited value into the grid row as the row's editor or picker would.
void SetRow(CDeviceProperty& row, const CPropertyValue& value, CCustomControlObject* widget) {
  if (const CPropertyOptions* options = value.GetOptions()) {
    const int index = int(options->selected);
    if (std::holds_alternative<bool>(row.GetValue())) {
      row.SetValue(index != 0);
      return;
    }
    const int byText =
        std::size_t(index) < options->options.size() ? IndexOf(row.GetOptions(), options->options[std::size_t(index)]) : -1;
    row.SetComboSelection(byText >= 0 ? byText : index);
  } else if (auto* colour = dynamic_cast<CColourPropertyCtrl*>(&row)) {
    colour->m_colour = CColourPropertyCtrl::ToColorRef(GetColourPropertyValue(value));
  } else if (auto* font = dynamic_cast<CFontPropertyCtrl*>(&row)) {
    GetFontPropertyValue(value).ToLogFont(font->m_logFont);
  } else if (auto* image = dynamic_cast<CImagePropertyCtrl*>(&row)) {
    image->m_pImage = GetImagePropertyValue(value);
  } else if (const auto* parameter = value.GetData<CParameterRef>()) {
    widget->m_pDevice = parameter->device;
    widget->m_parameterId = parameter->parameterId;
  } else if (const auto* real = value.GetData<float>()) {
    row.SetValue(*real);
  } else if (value.type == kPropString) {
    if (std::holds_alternative<std::int64_t>(row.GetValue()))
      row.SetVariant(ReadPropertyText(row.GetValueType(), value.GetString()));
    else
      row.SetValue(value.GetString());
  } else if (std::holds_alternative<std::string>(row.GetValue())) {
    row.SetValue(std::to_string(value.GetNumber()));
  } else {
    row.SetValue(std::int64_t(value.GetNumber()));
  }
}

// The values an edit of the item tries: inside and outside the limits the kinds have.
std::vector<CNamedPropertyValue> Probes(const CPropertyItem& item, CWorld& world) {
  std::vector<CNamedPropertyValue> probes;
  auto add = [&](auto set) {
    CNamedPropertyValue value;
    value.propertyId = item.value.propertyId;
    set(value);
    probes.push_back(std::move(value));
  };
  if (const CPropertyOptions* options = item.value.GetOptions()) {
    const std::uint32_t count = options->options.empty() ? 8 : std::uint32_t(options->options.size());
    for (std::uint32_t i = count; i-- > 0;)
      add([&](CPropertyValue& v) { v.SetData(kPropOptions, CPropertyOptions{i, options->options}); });
    return probes;
  }
  switch (item.value.type) {
    case kPropArray:
      for (std::int32_t n : {128, 64, 19, 17, 1, 0, 20}) add([n](CPropertyValue& v) { v.SetNumber(n); });
      break;
    case kPropObject:
      for (std::int32_t n : {-200, 200, -45}) add([n](CPropertyValue& v) { v.SetData(kPropObject, n); });
      break;
    case kPropString:
      for (const std::string& s : {std::string(41, 'x'), std::string(40, 'y'), std::string("42a1"), std::string("2, 3"),
                                   std::string("0042"), std::string("-1"), std::string("+9")})
        add([&s](CPropertyValue& v) { v.SetString(s); });
      break;
    case kPropColour: add([](CPropertyValue& v) { v.SetData(kPropColour, CColour::FromRgb(32, 64, 96)); }); break;
    case kPropTextStyle:
      add([](CPropertyValue& v) {
        CTextStyle style;
        style.face = "Courier New";
        v.SetData(kPropTextStyle, style);
      });
      break;
    case kPropImage:
      add([&world](CPropertyValue& v) { v.SetData(kPropImage, &world.image); });
      add([](CPropertyValue& v) { v.SetData(kPropImage, static_cast<CCCImage*>(nullptr)); });
      break;
    case kPropParameter: {
      CCustomControlObject* widget = GetPropertyValue(item.value).control;
      add([&](CPropertyValue& v) { v.SetData(kPropParameter, CParameterRef{widget, nullptr, 0}); });
      add([&](CPropertyValue& v) {
        v.SetData(kPropParameter, CParameterRef{widget, world.processor, std::uint32_t(kParamOutputGain)});
      });
      break;
    }
    case kPropObject13: add([](CPropertyValue& v) { v.SetData(kPropObject13, 4.0f); }); break;
    default: break;
  }
  return probes;
}

struct KindCase {
  const char* name;
  std::function<CObject(CWorld&)> make;
  std::vector<std::string> list;   // the list's headings and labels, in order
  std::set<std::int32_t> worded;   // ids whose label or description the list words otherwise
};

class PropertyListKinds : public ::testing::TestWithParam<KindCase> {};

TEST_P(PropertyListKinds, ListMatchesTheGridAndRefusesAsItDoes) {
  CWorld listWorld, gridWorld;
  const CObject viaList = GetParam().make(listWorld);
  const CObject viaGrid = GetParam().make(gridWorld);
  const std::vector<CPropertyItem> items = Items(viaList);
  ASSERT_EQ(Names(items), GetParam().list);

  CCollectingGrid grid;
  viaList.fill(grid);
  for (const CPropertyItem& item : items) {
    if (item.value.type == kPropGroup) continue;
    SCOPED_TRACE(item.name);
    const CDeviceProperty* row = RowOf(grid, item);
    ASSERT_NE(row, nullptr);
    if (!GetParam().worded.count(item.value.propertyId)) {
      EXPECT_EQ(item.name, row->GetName());
      EXPECT_EQ(item.description, row->GetDescription());
    }
    if (const CPropertyOptions* options = item.value.GetOptions()) {
      // The same choices, in the list's order and wording where it has its own.
      if (!options->options.empty() && !std::holds_alternative<bool>(row->GetValue()) && !row->GetOptions().empty()) {
        EXPECT_EQ(options->options.size(), row->GetOptions().size());
      }
      EXPECT_EQ(item.option2, row->IsEnabled() ? 1 : 0);
    }
  }

  for (const CPropertyItem& first : items) {
    if (first.value.type == kPropGroup) continue;
    for (CNamedPropertyValue& value : Probes(first, listWorld)) {
      SCOPED_TRACE(first.name + " <- " + Shown(value));
      // The entry may have gone with an earlier edit; the twins stay in step.
      const std::vector<CPropertyItem> now = Items(viaList);
      if (std::none_of(now.begin(), now.end(), [&](const CPropertyItem& i) { return i.name == first.name; })) continue;
      CCollectingGrid twin;
      viaGrid.fill(twin);
      CDeviceProperty* row = RowOf(twin, first);
      ASSERT_NE(row, nullptr);
      const bool listAccepted = viaList.list->ValidateProperty(value);
      const CPropertyOptions* options = value.GetOptions();
      if (options && options->options.empty() && options->selected >= row->GetOptions().size()) {
        // A choice offered without texts, beyond what the grid offers: refused without a word.
        EXPECT_FALSE(listAccepted);
        EXPECT_EQ(value.text, "");
        continue;
      }
      CNamedPropertyValue gridValue = value;
      if (auto* parameter = gridValue.GetData<CParameterRef>()) {
        // The twin's own widget.
        CParameterRef own = *parameter;
        own.control = dynamic_cast<CCustomControlObject*>(viaGrid.list);
        if (own.device) own.device = gridWorld.processor;
        gridValue.SetData(kPropParameter, own);
      }
      if (auto* image = gridValue.GetData<CCCImage*>(); image && *image) {
        gridValue.SetData(kPropImage, &gridWorld.image);
      }
      SetRow(*row, gridValue, dynamic_cast<CCustomControlObject*>(viaGrid.list));
      const bool gridAccepted = viaGrid.commit(*row);

      EXPECT_EQ(listAccepted, gridAccepted);
      EXPECT_EQ(value.text, listAccepted ? "" : row->GetErrorText());
      EXPECT_EQ(State(viaList), State(viaGrid));
    }
  }
}

using Names_ = std::vector<std::string>;
Names_ Join(std::initializer_list<Names_> parts) {
  Names_ all;
  for (const Names_& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}
Names_ ChannelNames(int count) {
  Names_ names;
  for (int n = 1; n <= count; ++n) names.push_back("Channel " + std::to_string(n) + " Name");
  return names;
}
const Names_ kWidgetGeneral = {"[General]", "Position", "Size"};
const Names_ kWidgetParameter = {"[Parameter]", "Parameter"};
const Names_ kScale = {"Draw Scale",   "Number Major Scale Marks", "Number Minor Scale Marks",
                       "Scale Decimal Places"};

INSTANTIATE_TEST_SUITE_P(
    EveryKind, PropertyListKinds,
    ::testing::Values(
        KindCase{"FennickWithTheRight", [](CWorld& w) { return Of(w.processor); },
                 {"[General]", "ID", "Name", "Firmware Version", "Auto Update RTC", "GPI Mode", "Transmit Preset",
                  "Memory Offset", "LCD Contrast", "On Delay", "LED Timeout", "[Options]", "Delay Multiplier",
                  "Delay Units", "[Security]", "Security Code", "System Lock"},
                 {0}},
        KindCase{"Nerex24", [](CWorld& w) { return Of(static_cast<CNerexSeriesDevice*>(w.Append(kModelNerex24, 2))); },
                 {"[General]", "ID", "Name", "Firmware Version", "[Options]", "Delay Multiplier", "Delay Units",
                  "[Presets]", "Number Presets", "Number XOver Presets"},
                 {0, 508}},
        KindCase{"Torvex48ListsNoPresets",
                 [](CWorld& w) { return Of(static_cast<CNerexSeriesDevice*>(w.Append(kModelTorvex48, 3))); },
                 {"[General]", "ID", "Name", "Firmware Version", "[Options]", "Delay Multiplier", "Delay Units"},
                 {0}},
        KindCase{"ZelAmplifier", [](CWorld& w) { return Of(w.Append(51, 4)); },
                 {"[General]", "ID", "Amp Name", "Firmware Version", "Channel 1 Name", "Channel 2 Name",
                  "Power On Delay", "Front Panel Pots", "Alarm Temp. Threshold", "[GPIO Config]", "Input", "Output",
                  "Aux Relay", "Channel 1 VCA Control", "Channel 2 VCA Control", "[Impedance Alarms]", "Ch 1 Value",
                  "Ch 1 Window", "Ch 2 Value", "Ch 2 Window"},
                 {}},
        KindCase{"ZelBreakoutBox", [](CWorld& w) { return Of(w.Append(41, 5)); },
                 Join({{"[General]", "ID", "Amp Name", "Firmware Version"}, ChannelNames(16),
                       {"[GPIO Config]", "Input", "Output", "Network Master Mode"}}),
                 {49}},
        KindCase{"PanelWithABackgroundImage",
                 [](CWorld& w) {
                   w.panel->m_pBackgroundImage = &w.image;
                   return Of(w.panel);
                 },
                 {"[General]", "Name", "Grid Pitch", "[Background]", "Background Colour", "Background Image",
                  "Image Usage"},
                 {}},
        KindCase{"BitmapWithAnImage",
                 [](CWorld& w) {
                   auto* bitmap = w.Place(new CCCBitmap, CRect{0, 0, 60, 60});
                   bitmap->m_pImage = &w.image;
                   return Of(bitmap);
                 },
                 Join({kWidgetGeneral, {"[Image Appearance]", "Image", "Image Use"}}),
                 {}},
        KindCase{"ButtonModifyingAParameter",
                 [](CWorld& w) { return Of(w.Place(new CCCButton, CRect{0, 0, 50, 40})); },
                 Join({kWidgetGeneral,
                       {"[Action]", "Action", "Parameter", "[Button Appearance]", "Image", "Outline", "Outline Width",
                        "Corner Radius", "Outline Colour", "Fill", "[Button Text]", "Text", "Horizontal Alignment",
                        "Vertical Alignment", "Text Colour"}}),
                 {14, 15}},
        KindCase{"Led", [](CWorld& w) { return Of(w.Place(new CCCLED, CRect{0, 0, 40, 40}, true)); },
                 Join({kWidgetGeneral, kWidgetParameter,
                       {"[LED Appearance]", "Image", "Outline", "Outline Width", "Corner Radius", "Outline Colour",
                        "Fill", "Fill Colour", "[LED Text]", "Text", "Horizontal Alignment", "Vertical Alignment",
                        "Text Colour"}}),
                 {14, 15}},
        KindCase{"FaderBoundWithAScale",
                 [](CWorld& w) {
                   auto* fader = w.Place(new CCCFader, CRect{0, 0, 20, 150}, true);
                   fader->m_flags |= kFaderDrawScale;
                   return Of(fader);
                 },
                 Join({kWidgetGeneral, kWidgetParameter,
                       {"[Fader Range]", "Range Max", "Range Min", "[Fader Appearance]", "Image", "Fill Colour",
                        "Line Colour", "Horizontal"},
                       kScale, {"Scale Location", "Scale Colour", "Scale Font", "Draw Slot"}}),
                 {19, 24}},
        KindCase{"KnobBoundWithScaleAndLeds",
                 [](CWorld& w) {
                   auto* knob = w.Place(new CCCKnob, CRect{0, 0, 60, 60}, true);
                   knob->m_flags |= kKnobDrawScale | kKnobDrawLeds;
                   return Of(knob);
                 },
                 Join({kWidgetGeneral, kWidgetParameter,
                       {"[Knob Range]", "Range Max", "Range Min", "[Knob Appearance]", "Image", "Knob Colour",
                        "Notch Radius", "Notch Colour", "Max Angle", "Min Angle"},
                       kScale, {"Scale Colour", "Scale Font", "Draw LEDs", "LED Colour", "LED Size"}}),
                 {19, 24, 28}},
        KindCase{"TextBoundWithAnOutline",
                 [](CWorld& w) {
                   auto* text = w.Place(new CCCTextControl, CRect{0, 0, 80, 30}, true);
                   text->m_flags |= kTextOutline;
                   return Of(text);
                 },
                 Join({kWidgetGeneral, kWidgetParameter,
                       {"[Text Appearance]", "Append Units", "Horizontal Alignment", "Vertical Alignment", "Font",
                        "Text Colour", "Text Outline", "Outline Width", "Corner Radius", "Outline Colour",
                        "Read Only"}}),
                 {12, 13, 14, 15, 19}}),
    [](const ::testing::TestParamInfo<KindCase>& info) { return std::string(info.param.name); });

// --- Edge cases of the list's own forms ---

// The item of that label, or null.
const CPropertyItem* Item(const std::vector<CPropertyItem>& items, const std::string& name) {
  for (const CPropertyItem& item : items)
    if (item.name == name) return &item;
  return nullptr;
}

// An edit of the item of that label: "accepted", or the refusal (with its text).
std::string Edit(CObjectProperties& object, const std::string& name, const std::function<void(CPropertyValue&)>& set) {
  std::vector<CPropertyItem> items;
  object.GetProperties(items);
  const CPropertyItem* item = Item(items, name);
  if (!item) return "no item";
  CNamedPropertyValue value;
  value.propertyId = item->value.propertyId;
  set(value);
  return object.ValidateProperty(value) ? "accepted" : "refused: " + value.text;
}
auto Choose(std::uint32_t index) {
  return [index](CPropertyValue& v) { v.SetData(kPropOptions, CPropertyOptions{index, {}}); };
}
auto Number(std::int32_t n) {
  return [n](CPropertyValue& v) { v.SetNumber(n); };
}
auto Text(const std::string& text) {
  return [text](CPropertyValue& v) { v.SetString(text); };
}

TEST(PropertyListForms, ProcessorListsOnDelayUpwardAndChecksAsTheGridDoes) {
  CWorld w;
  CNerexSeriesDevice& fennick = *w.processor;
  fennick.GetGeneralSettings().bytes[NerexGeneralSettings::kOnDelay] = 1;
  std::vector<CPropertyItem> items;
  fennick.GetProperties(items);
  const CPropertyOptions* onDelay = Item(items, "On Delay")->value.GetOptions();
  ASSERT_NE(onDelay, nullptr);
  EXPECT_EQ(onDelay->options.front(), "0s");
  EXPECT_EQ(onDelay->options.at(onDelay->selected), "60s");
  EXPECT_EQ(Item(items, "Auto Update RTC")->value.GetOptions()->options, (std::vector<std::string>{"Off", "On"}));
  EXPECT_EQ(Edit(fennick, "On Delay", Choose(2)), "accepted");
  EXPECT_EQ(fennick.GetGeneralSettings().bytes[NerexGeneralSettings::kOnDelay], 5);
  EXPECT_EQ(Edit(fennick, "On Delay", Choose(CPropertyOptions::kNoChoice)), "accepted");
  EXPECT_EQ(fennick.GetGeneralSettings().bytes[NerexGeneralSettings::kOnDelay], 5);

  EXPECT_EQ(Edit(fennick, "Security Code", Text("0042")), "accepted");
  EXPECT_EQ(fennick.GetGeneralSettings().GetSecurityCode(), 42);
  for (const char* bad : {"42", "12345", "12a4"})
    EXPECT_EQ(Edit(fennick, "Security Code", Text(bad)), "refused: Security code must be 4 digits") << bad;
  EXPECT_EQ(Edit(fennick, "Delay Multiplier", Choose(6)), "accepted");
  EXPECT_EQ(fennick.GetDelayMultiplier(), 1000000u);
  EXPECT_EQ(Edit(fennick, "Delay Multiplier", Choose(7)), "refused: ");

  w.Append(kModelNerex24, 2);
  EXPECT_EQ(Edit(fennick, "ID", Number(2)), "refused: Device ID 2 already in use");
  EXPECT_EQ(Edit(fennick, "ID", Number(64)), "refused: Device ID must be between 0 and 63");
  EXPECT_EQ(Edit(fennick, "ID", Number(0)), "accepted");
  EXPECT_EQ(Edit(fennick, "Name", Text(std::string(41, 'n'))), "refused: Device name too long - 40 characters max");
  EXPECT_EQ(Edit(fennick, "LCD Contrast", Number(17)), "refused: LCD Contrast must be between 1 and 16");
  // An id the list does not know is refused without a word.
  EXPECT_EQ(Edit(fennick, "Firmware Version", [](CPropertyValue& v) { v.propertyId = 1594; }), "refused: ");

  auto& nerex = *static_cast<CNerexSeriesDevice*>(w.system.GetDevices().back());
  EXPECT_EQ(Edit(nerex, "Number Presets", Number(19)), "refused: Number of presets must be more than 20");
  EXPECT_EQ(Edit(nerex, "Number Presets", Number(128)), "refused: Number of presets must be less than 127");
  EXPECT_EQ(Edit(nerex, "Number Presets", Number(127)), "accepted");
  EXPECT_EQ(Edit(nerex, "Number XOver Presets", Number(0)), "accepted");
}

TEST(PropertyListForms, AUserWithoutTheRightSeesGeneralAndOptionsAndNoIdEditWhileConnected) {
  CWorld w;
  w.system.GetUsers()[0]->SetRestrictionMask(0x10);
  for (int i = 0; i < 3; ++i) w.processor->UpdateCommsState(true);
  std::vector<CPropertyItem> items;
  w.processor->GetProperties(items);
  EXPECT_EQ(Names(items), (std::vector<std::string>{"[General]", "ID", "Name", "Firmware Version", "Auto Update RTC",
                                                    "[Options]", "Delay Multiplier", "Delay Units"}));
  const CPropertyItem* id = Item(items, "ID");
  EXPECT_EQ(std::vector<int>({id->option1, id->option2, id->option3}), std::vector<int>({0, 1, 0}));
  const CPropertyItem* rtc = Item(items, "Auto Update RTC");
  EXPECT_EQ(std::vector<int>({rtc->option1, rtc->option2, rtc->option3}), std::vector<int>({0, 0, 0}));
}

TEST(PropertyListForms, ANewBoxIdPostsOnlyTheRacksRefresh) {
  for (const bool list : {true, false}) {
    CWorld w;
    CDevice* box = w.Append(41, 5);
    if (list) {
      EXPECT_EQ(Edit(*box, "ID", Number(9)), "accepted");
    } else {
      CCollectingGrid grid;
      box->FillPropertiesPane(grid);
      CDeviceProperty* row = grid.Row(std::uint32_t(Item(Items(Of(box)), "ID")->value.propertyId));
      row->SetValue(std::int64_t(9));
      EXPECT_TRUE(box->OnPropertyChanged(*row));
    }
    EXPECT_EQ(box->GetDeviceId(), 9u);
    EXPECT_EQ(w.frame.Count(FrameMsg::kRefreshRack), 1u);
    EXPECT_EQ(w.frame.Count(FrameMsg::kPanelCaption), list ? 0u : 1u);
  }
}

TEST(PropertyListForms, ListColoursCountAllFourBytesAndListImagesKeepTheRectangle) {
  CWorld w;
  const CColour seeThrough = CColour::FromArgb(0x80, 0x10, 0x20, 0x30);
  w.panel->m_background = CColour::FromRgb(0x10, 0x20, 0x30);
  EXPECT_EQ(Edit(*w.panel, "Background Colour", [&](CPropertyValue& v) { v.SetData(kPropColour, seeThrough); }),
            "accepted");
  EXPECT_EQ(w.panel->m_background, seeThrough);

  auto* bitmap = w.Place(new CCCBitmap, CRect{0, 0, 60, 60});
  bitmap->m_imageUse = kImageUseFixToImage;
  EXPECT_EQ(Edit(*bitmap, "Image", [&](CPropertyValue& v) { v.SetData(kPropImage, &w.image); }), "accepted");
  EXPECT_EQ(bitmap->m_pImage, &w.image);
  EXPECT_EQ(bitmap->m_rect, (CRect{0, 0, 60, 60}));
}

TEST(PropertyListForms, YesNoChoicesListNoFirstAndANewBindingAsksForTheListAgain) {
  CWorld w;
  auto* fader = w.Place(new CCCFader, CRect{0, 0, 20, 150});
  std::vector<CPropertyItem> items;
  fader->GetProperties(items);
  EXPECT_EQ(Item(items, "Horizontal")->value.GetOptions()->options, (std::vector<std::string>{"No", "Yes"}));
  EXPECT_EQ(Edit(*fader, "Horizontal", Choose(1)), "accepted");
  EXPECT_TRUE(fader->m_flags & kFaderHorizontal);

  CNamedPropertyValue bind;
  bind.propertyId = 3;
  bind.SetData(kPropParameter, CParameterRef{fader, w.processor, std::uint32_t(kParamInputGain)});
  ASSERT_TRUE(fader->ValidateProperty(bind));
  EXPECT_EQ(bind.changed, 1);
  EXPECT_EQ(fader->m_pDevice, w.processor);
  bind.changed = 0;
  ASSERT_TRUE(fader->ValidateProperty(bind));
  EXPECT_EQ(bind.changed, 0);
}

}  // namespace
