// The property list of every object kind, driven as a consumer drives it. Each kind's items
// (labels, ids, kinds, the three flags, the choices in order and the one selected) are checked
// against a table written out here, not against the grid rows the list is made from. Every
// choice is then made through the list and must land on the grid's choice of the same meaning;
// a value of another kind, an item the grid does not let be changed and an id the grid does not
// show at that moment must be refused and change nothing; typed values must be answered as the
// grid's own commit of the same value answers them.
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
#include "core/model/Snapshot.h"
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
#include "devices/processor/NerexChange.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexParamIds.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "devices/processor/ProcessorFamily.h"
#include "tests/custom/CustomTestSupport.h"
#include "tests/support/ModelChanges.h"
#include "tests/support/RecordingFrame.h"

namespace {

// A system in design mode with a processor, a custom panel open in a view, and an image.
struct CWorld {
  CWorld() {
    RegisterProcessorFamily();
    RegisterAmplifierFamilies();
    system.SetUiServices(&frame);
    system.Panels().SetDesignMode(1);
    panel = system.Panels().AddCustomPanel();
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
  W* Place(W* widget, const CRect& rect, std::uint32_t parameter = 0) {
    owned.emplace_back(widget);
    widget->m_pView = &view;
    widget->m_rect = rect;
    if (parameter) {
      widget->m_pDevice = processor;
      widget->m_parameterId = parameter;
    }
    return widget;
  }
  void TakeAwayTheRight() { system.Users().GetUsers()[0]->SetRestrictionMask(0x10); }
  static void Connect(CDevice& device) {
    for (int i = 0; i < 3; ++i) device.UpdateCommsState(true);
  }

  CRecordingFrame frame;
  CSystem system;
  CRecordingView view;
  CCPData* panel = nullptr;
  CNerexSeriesDevice* processor = nullptr;
  CCCImage image;
  std::vector<std::unique_ptr<CCustomControlObject>> owned;
  std::vector<std::unique_ptr<CDevice>> loose;  // devices of no system
};

// The property list of an object. A device's is its own (no window reaches it): the tests reach
// it as the model's code does, and commit a device's rows past the rights gate likewise.
CObjectProperties& ListOf(CObjectProperties& object) { return object; }
CObjectProperties& ListOf(CDevice& device) { return CDeviceTestAccess::PropertyList(device); }
bool CommitRow(IPropertyGridOwner& owner, CDeviceProperty& row) { return owner.OnPropertyChanged(row); }
bool CommitRow(CDevice& device, CDeviceProperty& row) { return CommitPropertyRow(device, row); }

// An object's two property paths.
struct CObject {
  CObjectProperties* list = nullptr;
  std::function<void(IDevicePropertyGrid&)> fill;
  std::function<bool(CDeviceProperty&)> commit;
};
template <class T>
CObject Of(T* object) {
  return {&ListOf(*object), [object](IDevicePropertyGrid& grid) { object->FillPropertiesPane(grid); },
          [object](CDeviceProperty& row) { return CommitRow(*object, row); }};
}

std::vector<CPropertyItem> Items(CObjectProperties& object) {
  std::vector<CPropertyItem> items;
  object.GetProperties(items);
  return items;
}
std::vector<CPropertyItem> Items(CDevice& device) { return Items(ListOf(device)); }

// A heading as "[name]"; an item as "name #id t<kind> <option1><option2><option3>", a choice
// followed by its texts and the selected index.
std::string Describe(const CPropertyItem& item) {
  if (item.value.type == kPropGroup) return "[" + item.name + "]";
  std::string text = item.name + " #" + std::to_string(item.value.propertyId) + " t" + std::to_string(item.value.type) +
                     " " + std::to_string(item.option1) + std::to_string(item.option2) + std::to_string(item.option3);
  if (const CPropertyOptions* options = item.value.GetOptions()) {
    text += " {";
    for (std::size_t i = 0; i < options->options.size(); ++i) text += (i ? "|" : "") + options->options[i];
    text += "}@" + std::to_string(std::int32_t(options->selected));
  }
  return text;
}
std::vector<std::string> Describe(const std::vector<CPropertyItem>& items) {
  std::vector<std::string> all;
  for (const CPropertyItem& item : items) all.push_back(Describe(item));
  return all;
}

// The value an item shows, as text.
std::string Shown(const CPropertyValue& value) {
  if (const CPropertyOptions* options = value.GetOptions()) return "#" + std::to_string(std::int32_t(options->selected));
  if (const auto* colour = value.GetData<CColour>()) return "argb " + std::to_string(colour->argb);
  if (const auto* style = value.GetData<CTextStyle>()) return style->face + " " + std::to_string(style->size);
  if (const auto* image = value.GetData<CCCImage*>()) return *image ? (*image)->m_name : "no image";
  if (const auto* parameter = value.GetData<CParameterRef>())
    return "bound " + std::to_string(parameter->device != nullptr) + " " + std::to_string(parameter->parameterId);
  if (const auto* real = value.GetData<float>()) return std::to_string(*real);
  if (const auto* number = value.GetData<std::int32_t>()) return std::to_string(*number);
  if (value.type == kPropString) return value.GetString();
  return std::to_string(value.GetNumber());
}

// What the list shows of the object.
std::vector<std::string> State(CObjectProperties& object) {
  std::vector<std::string> state;
  for (const CPropertyItem& item : Items(object)) state.push_back(item.name + " = " + Shown(item.value));
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

// The item (not a heading) of that label, or null.
const CPropertyItem* Item(const std::vector<CPropertyItem>& items, const std::string& name) {
  for (const CPropertyItem& item : items)
    if (item.name == name && item.value.type != kPropGroup) return &item;
  return nullptr;
}

CNamedPropertyValue Value(std::int32_t id, const std::function<void(CPropertyValue&)>& set) {
  CNamedPropertyValue value;
  value.propertyId = id;
  set(value);
  return value;
}
// "accepted" (with the request to fetch the list again), or the refusal with its text.
std::string Answer(CObjectProperties& object, CNamedPropertyValue value) {
  if (!object.ValidateProperty(value)) return "refused: " + value.text;
  return value.changed ? "accepted, list again" : "accepted";
}
std::string Edit(CObjectProperties& object, std::int32_t id, const std::function<void(CPropertyValue&)>& set) {
  return Answer(object, Value(id, set));
}
std::string Edit(CObjectProperties& object, const std::string& name, const std::function<void(CPropertyValue&)>& set) {
  const std::vector<CPropertyItem> items = Items(object);
  const CPropertyItem* item = Item(items, name);
  return item ? Edit(object, item->value.propertyId, set) : "no item";
}
std::string Edit(CDevice& device, const std::string& name, const std::function<void(CPropertyValue&)>& set) {
  return Edit(ListOf(device), name, set);
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
auto Style(const std::string& face) {
  return [face](CPropertyValue& v) {
    CTextStyle style;
    style.face = face;
    v.SetData(kPropTextStyle, style);
  };
}

// --- Every kind ---

struct KindCase {
  const char* name;
  std::function<CObject(CWorld&)> make;
  std::vector<std::string> items;  // Describe() of every item, in order
  // Labels and descriptions of the items the list words otherwise than the grid.
  std::vector<std::pair<std::string, std::string>> worded = {};
};

void PrintTo(const KindCase& kind, std::ostream* os) { *os << kind.name; }

class PropertyListKinds : public ::testing::TestWithParam<KindCase> {};

TEST_P(PropertyListKinds, ListsItsItemsWithTheirKindsFlagsAndChoices) {
  CWorld w;
  const CObject object = GetParam().make(w);
  const std::vector<CPropertyItem> items = Items(*object.list);
  EXPECT_EQ(Describe(items), GetParam().items);
  for (const auto& [label, description] : GetParam().worded) {
    const CPropertyItem* item = Item(items, label);
    ASSERT_NE(item, nullptr) << label;
    EXPECT_EQ(item->description, description) << label;
  }
}

// Choices of one meaning in the list's and the grid's wording.
bool SameMeaning(const std::string& list, const std::string& grid) {
  const std::vector<std::vector<std::string>> alike = {{"No", "Off", "False", "Disabled"},
                                                       {"Yes", "On", "True", "Enabled"}};
  for (const auto& words : alike)
    if (std::count(words.begin(), words.end(), list) && std::count(words.begin(), words.end(), grid)) return true;
  return list == grid;
}

TEST_P(PropertyListKinds, EveryChoiceLandsOnTheGridChoiceOfTheSameMeaning) {
  CWorld probe;
  const CObject listed = GetParam().make(probe);
  for (const CPropertyItem& item : Items(*listed.list)) {
    const CPropertyOptions* options = item.value.GetOptions();
    if (!options) continue;
    CCollectingGrid shown;
    listed.fill(shown);
    const CDeviceProperty* gridRow = RowOf(shown, item);
    const std::size_t count = options->options.empty() ? gridRow->GetOptions().size() : options->options.size();
    std::set<std::string> reached;
    for (std::uint32_t i = 0; i < count; ++i) {
      SCOPED_TRACE(item.name + " <- " + std::to_string(i));
      CWorld w;
      const CObject object = GetParam().make(w);
      const std::vector<std::string> before = State(*object.list);
      const std::string answer = Edit(*object.list, item.value.propertyId, Choose(i));
      if (!item.option2) {
        // Not enabled: refused, nothing changes.
        EXPECT_EQ(answer, "refused: ");
        EXPECT_EQ(State(*object.list), before);
        continue;
      }
      ASSERT_EQ(answer.rfind("accepted", 0), 0u) << answer;
      CCollectingGrid grid;
      object.fill(grid);
      const CDeviceProperty* row = RowOf(grid, item);
      ASSERT_NE(row, nullptr);
      const std::string gridText = row->GetValueText();
      reached.insert(gridText);
      if (options->options.empty())
        EXPECT_EQ(gridText, row->GetOptions().at(i));
      else
        EXPECT_TRUE(SameMeaning(options->options[i], gridText)) << options->options[i] << " shows " << gridText;
      const std::vector<CPropertyItem> now = Items(*object.list);
      const CPropertyItem* after = Item(now, item.name);
      ASSERT_NE(after, nullptr);
      ASSERT_NE(after->value.GetOptions(), nullptr);
      EXPECT_EQ(after->value.GetOptions()->selected, i);
    }
    // Every choice the grid offers has its counterpart in the list.
    if (item.option2 && !gridRow->GetOptions().empty()) {
      EXPECT_EQ(reached, std::set<std::string>(gridRow->GetOptions().begin(), gridRow->GetOptions().end()))
          << item.name;
    }
  }
}

// A value of each kind an edit can carry, and one whose data is not what its kind says.
std::vector<CNamedPropertyValue> EveryKindOfValue(std::int32_t id, CWorld& w, CCustomControlObject* widget) {
  std::vector<CNamedPropertyValue> values;
  auto add = [&](auto set) { values.push_back(Value(id, set)); };
  add(Choose(0));
  add(Number(1));
  add([](CPropertyValue& v) { v.SetData(kPropObject, std::int32_t(1)); });
  add(Text("1234"));
  add([](CPropertyValue& v) { v.SetData(kPropColour, CColour::FromRgb(1, 2, 3)); });
  add(Style("Courier New"));
  add([](CPropertyValue& v) { v.SetData(kPropObject13, 4.0f); });
  add([&w](CPropertyValue& v) { v.SetData(kPropImage, &w.image); });
  add([&](CPropertyValue& v) {
    v.SetData(kPropParameter, CParameterRef{widget, w.processor, std::uint32_t(kParamInputMute)});
  });
  add([](CPropertyValue& v) {
    v.SetData(kPropColour, std::string("ffffff"));  // a colour by its code, text by its data
  });
  return values;
}

TEST_P(PropertyListKinds, ValuesOfAnotherKindAreRefusedAndChangeNothing) {
  CWorld w;
  const CObject object = GetParam().make(w);
  auto* widget = dynamic_cast<CCustomControlObject*>(object.list);
  for (const CPropertyItem& item : Items(*object.list)) {
    if (item.value.type == kPropGroup) continue;
    for (CNamedPropertyValue& value : EveryKindOfValue(item.value.propertyId, w, widget)) {
      const bool holdsItsKind = !(value.type == kPropColour && !value.GetData<CColour>());
      // The security code is listed as a number and edited as text; the angles take either
      // kind of number.
      const bool alternative = (item.name == "Security Code" && value.type == kPropString) ||
                               (item.value.type == kPropObject && value.type == kPropArray);
      if ((value.type == item.value.type && holdsItsKind) || alternative) continue;
      SCOPED_TRACE(item.name + " <- kind " + std::to_string(value.type));
      w.system.SetModified(false);
      const std::vector<std::string> before = State(*object.list);
      EXPECT_EQ(Answer(*object.list, value), "refused: ");
      EXPECT_EQ(State(*object.list), before);
      EXPECT_FALSE(w.system.IsModified());
    }
  }
}

// The edit through the grid's own commit: the typed value handed over as the grid reads it back.
bool CommitInGrid(const CObject& object, const CPropertyItem& item, const CPropertyValue& value, std::string& message) {
  CCollectingGrid grid;
  object.fill(grid);
  CDeviceProperty* row = RowOf(grid, item);
  CPropertyVariant typed;
  typed.type = row->GetValueType();
  if (value.type == kPropString)
    typed.text = value.GetString();
  else if (const auto* real = value.GetData<float>())
    typed.real = *real;
  else if (typed.type == EPropertyValueType::Text)
    typed.text = std::to_string(value.GetNumber());
  else
    typed.integer = value.type == kPropObject ? *value.GetData<std::int32_t>() : value.GetNumber();
  row->BeginCommit(typed);
  const bool accepted = object.commit(*row);
  row->EndCommit();
  message = accepted ? "" : row->GetErrorText();
  return accepted;
}

TEST_P(PropertyListKinds, TypedValuesAreAnsweredAsTheGridAnswersThem) {
  CWorld listWorld, gridWorld;
  const CObject viaList = GetParam().make(listWorld);
  const CObject viaGrid = GetParam().make(gridWorld);
  for (const CPropertyItem& item : Items(*viaList.list)) {
    std::vector<CNamedPropertyValue> probes;
    auto add = [&](auto set) { probes.push_back(Value(item.value.propertyId, set)); };
    switch (item.value.type) {
      case kPropArray:
        for (std::int32_t n : {128, 64, 19, 17, 1, 0, 20, 40, 1234}) add(Number(n));
        break;
      case kPropObject:
        for (std::int32_t n : {-200, 200, -45}) add([n](CPropertyValue& v) { v.SetData(kPropObject, n); });
        break;
      case kPropString:
        for (const std::string& s : {std::string(41, 'x'), std::string(40, 'y'), std::string("42a1"),
                                     std::string("0042"), std::string("-1"), std::string("+9")})
          add(Text(s));
        break;
      case kPropObject13: add([](CPropertyValue& v) { v.SetData(kPropObject13, 4.0f); }); break;
      default: break;
    }
    for (const CNamedPropertyValue& value : probes) {
      SCOPED_TRACE(item.name + " <- " + Shown(value));
      // The item may have gone with an earlier edit; the twins stay in step.
      if (!Item(Items(*viaList.list), item.name)) break;
      CCollectingGrid grid;
      viaGrid.fill(grid);
      const std::vector<std::string> before = State(*viaList.list);
      const std::string listAnswer = Answer(*viaList.list, value);
      if (!RowOf(grid, item)->IsEnabled()) {
        // The grid lets nobody change it: nor does the list.
        EXPECT_EQ(listAnswer, "refused: ");
        EXPECT_EQ(State(*viaList.list), before);
        continue;
      }
      std::string message;
      const bool gridAccepted = CommitInGrid(viaGrid, item, value, message);
      // The grid's row asks for a refill as the list's answer does; only the answers compare.
      EXPECT_EQ(listAnswer.rfind("accepted", 0) == 0 ? "accepted" : listAnswer,
                gridAccepted ? "accepted" : "refused: " + message);
      EXPECT_EQ(State(*viaList.list), State(*viaGrid.list));
    }
  }
}

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}
std::vector<std::string> ChannelNames(int first, int count) {
  std::vector<std::string> names;
  for (int n = 1; n <= count; ++n)
    names.push_back("Channel " + std::to_string(n) + " Name #" + std::to_string(first + n - 1) + " t5 110");
  return names;
}

const std::vector<std::string> kProcessorGeneral = {"[General]", "ID #57 t2 110", "Name #58 t5 110",
                                                    "Firmware Version #0 t5 010"};
const std::vector<std::string> kProcessorOptions = {"[Options]", "Delay Multiplier #262 t12 010 {}@1",
                                                    "Delay Units #261 t12 010 {}@0"};
const std::vector<std::string> kWidgetGeneral = {"[General]", "Position #1 t5 010", "Size #2 t5 010"};
const std::vector<std::string> kWidgetParameter = {"[Parameter]", "Parameter #3 t8 010"};
const std::vector<std::string> kButtonLook = {
    "Image #16 t14 110",        "Outline #19 t12 010 {No|Yes}@1", "Outline Width #20 t2 110",
    "Corner Radius #18 t2 110", "Outline Colour #21 t6 010"};
const std::vector<std::string> kButtonText = {"Text #11 t5 110",
                                              "Horizontal Alignment #14 t12 010 {Left|Centre|Right}@1",
                                              "Vertical Alignment #15 t12 010 {Top|Centre|Bottom}@1",
                                              "Text Colour #12 t6 010"};
const std::string kActions = "Action #25 t12 010 {Modify Parameter|Launch Custom Panel|Recall Snapshot}";
const std::vector<std::string> kButtonUnder = Join({{"[Button Appearance]"}, kButtonLook,
                                                    {"Fill #22 t12 010 {Off|On}@0", "[Button Text]"}, kButtonText});

INSTANTIATE_TEST_SUITE_P(
    EveryKind, PropertyListKinds,
    ::testing::Values(
        KindCase{"FennickWithTheRight", [](CWorld& w) { return Of(w.processor); },
                 Join({kProcessorGeneral,
                       {"Auto Update RTC #432 t12 010 {Off|On}@1",
                        "GPI Mode #502 t12 010 {Disabled|Simple|Complex|Panel}@0",
                        "Transmit Preset #504 t12 010 {Disabled|Enabled}@0", "Memory Offset #503 t2 110",
                        "LCD Contrast #506 t2 110", "On Delay #505 t12 010 {0s|10s|20s|30s|40s|50s|60s}@1",
                        "LED Timeout #507 t12 010 "
                        "{5s|10s|15s|20s|25s|30s|35s|40s|45s|50s|55s|60s|65s|70s|75s|80s|85s|90s}@0"},
                       kProcessorOptions,
                       {"[Security]", "Security Code #431 t2 110", "System Lock #501 t12 010 {Off|Menu|Full}@0"}}),
                 {{"Firmware Version", "The firmware version currently in the amplifier"}}},
        KindCase{"FennickWithoutTheRightOnline",
                 [](CWorld& w) {
                   w.TakeAwayTheRight();
                   CWorld::Connect(*w.processor);
                   return Of(w.processor);
                 },
                 {"[General]", "ID #57 t2 010", "Name #58 t5 010", "Firmware Version #0 t5 010",
                  "Auto Update RTC #432 t12 000 {Off|On}@1", "[Options]", "Delay Multiplier #262 t12 000 {}@1",
                  "Delay Units #261 t12 000 {}@0"}},
        KindCase{"Nerex24", [](CWorld& w) { return Of(static_cast<CNerexSeriesDevice*>(w.Append(kModelNerex24, 2))); },
                 Join({kProcessorGeneral, kProcessorOptions,
                       {"[Presets]", "Number Presets #496 t2 110", "Number XOver Presets #508 t2 110"}})},
        KindCase{"Torvex48ListsNoPresets",
                 [](CWorld& w) { return Of(static_cast<CNerexSeriesDevice*>(w.Append(kModelTorvex48, 3))); },
                 Join({kProcessorGeneral, kProcessorOptions})},
        KindCase{"ZelAmplifier", [](CWorld& w) { return Of(w.Append(51, 4)); },
                 Join({{"[General]", "ID #51 t2 110", "Amp Name #25 t5 110", "Firmware Version #0 t5 010"},
                       ChannelNames(21, 2),
                       {"Power On Delay #55 t2 110", "Front Panel Pots #0 t12 000 {Disabled|Enabled}@1",
                        "Alarm Temp. Threshold #82 t2 110", "[GPIO Config]",
                        "Input #52 t12 010 {Disabled|Mute Enable|Standby Enable|Delay Disable|Trim Bypass|VCA Mode}@0",
                        "Output #53 t12 010 {Disabled|A/P Monitor|Temp. Alarm|Limiters Monitor|Load Monitor Alarm|"
                        "A/P or Load Monitor Alarm}@0",
                        "Aux Relay #54 t12 010 {Inverted GP Out|Follows GP Out}@0",
                        "Channel 1 VCA Control #83 t12 010 {Enabled|Disabled}@1",
                        "Channel 2 VCA Control #84 t12 010 {Enabled|Disabled}@1", "[Impedance Alarms]",
                        "Ch 1 Value #62 t13 011", "Ch 1 Window #58 t2 110", "Ch 2 Value #63 t13 011",
                        "Ch 2 Window #59 t2 110"}})},
        KindCase{"ZelBreakoutBox", [](CWorld& w) { return Of(w.Append(41, 5)); },
                 Join({{"[General]", "ID #60 t2 110", "Amp Name #49 t5 110", "Firmware Version #0 t5 010"},
                       ChannelNames(33, 16),
                       {"[GPIO Config]",
                        "Input #54 t12 010 {Disabled|Mute Control Only|Standby Control Only|Mute and Standby Control}@0",
                        "Output #55 t12 010 {Disabled|Network Error|A/P|Network or A/P|Load Error|"
                        "Load or Network Error|Load Error or A/P|All}@0",
                        "Network Master Mode #72 t12 010 {Latch|Pulse}@0"}})},
        KindCase{"PanelWithABackgroundImage",
                 [](CWorld& w) {
                   w.panel->m_pBackgroundImage = &w.image;
                   return Of(w.panel);
                 },
                 {"[General]", "Name #1 t5 110", "Grid Pitch #3 t2 110", "[Background]", "Background Colour #4 t6 010",
                  "Background Image #5 t14 110", "Image Usage #6 t12 010 {Tile|Centre|Stretch}@0"}},
        KindCase{"BitmapWithAnImage",
                 [](CWorld& w) {
                   auto* bitmap = w.Place(new CCCBitmap, CRect{0, 0, 60, 60});
                   bitmap->m_pImage = &w.image;
                   return Of(bitmap);
                 },
                 Join({kWidgetGeneral,
                       {"[Image Appearance]", "Image #11 t14 110",
                        "Image Use #12 t12 010 {Stretch Image|Fix To Image|Maintain Aspect Ratio}@0"}})},
        KindCase{"ButtonModifyingAParameter", [](CWorld& w) { return Of(w.Place(new CCCButton, CRect{0, 0, 50, 40})); },
                 Join({kWidgetGeneral, {"[Action]", kActions + "@0", "Parameter #3 t8 010"}, kButtonUnder}),
                 {{"Horizontal Alignment", "Horizontal aligmnent of the text within the control bounds"},
                  {"Vertical Alignment", "Vertical aligmnent of the text within the control bounds"}}},
        KindCase{"ButtonRecallingOneOfTwoSnapshotsOfOneName",
                 [](CWorld& w) {
                   w.system.Snapshots().AddSnapshot("Same");
                   w.system.Snapshots().AddSnapshot("Same");
                   auto* button = w.Place(new CCCButton, CRect{0, 0, 50, 40});
                   button->m_flags = (button->m_flags & ~kButtonActions) | kButtonRecallSnapshot;
                   button->m_snapshotId = w.system.GetSnapshots()[1]->GetUuid();
                   return Of(button);
                 },
                 Join({kWidgetGeneral, {"[Action]", kActions + "@2", "Snapshot #27 t12 010 {Same|Same}@1"},
                       kButtonUnder})},
        KindCase{"Led", [](CWorld& w) { return Of(w.Place(new CCCLED, CRect{0, 0, 40, 40}, kParamInputMute)); },
                 Join({kWidgetGeneral, kWidgetParameter, {"[LED Appearance]"}, kButtonLook,
                       {"Fill #22 t12 010 {Off|On}@1", "Fill Colour #23 t6 010", "[LED Text]"}, kButtonText})},
        KindCase{"FaderBoundWithAScale",
                 [](CWorld& w) {
                   auto* fader = w.Place(new CCCFader, CRect{0, 0, 20, 150}, kParamInputGain);
                   fader->m_flags |= kFaderDrawScale;
                   return Of(fader);
                 },
                 Join({kWidgetGeneral, kWidgetParameter,
                       {"[Fader Range]", "Range Max #14 t5 110", "Range Min #15 t5 110", "[Fader Appearance]",
                        "Image #11 t14 110", "Fill Colour #12 t6 010", "Line Colour #13 t6 010",
                        "Horizontal #22 t12 010 {No|Yes}@0", "Draw Scale #17 t12 010 {No|Yes}@1",
                        "Number Major Scale Marks #18 t2 110", "Number Minor Scale Marks #19 t2 110",
                        "Scale Decimal Places #26 t12 010 {0|1|2|3}@0", "Scale Location #20 t12 010 {Left|Right}@0",
                        "Scale Colour #25 t6 010", "Scale Font #24 t7 110", "Draw Slot #21 t12 010 {No|Yes}@1"}}),
                 {{"Number Minor Scale Marks", "The number of marks on the minor scale"},
                  {"Scale Font", "Font to be used for the scale text"}}},
        KindCase{"KnobBoundWithScaleAndLeds",
                 [](CWorld& w) {
                   auto* knob = w.Place(new CCCKnob, CRect{0, 0, 60, 60}, kParamInputGain);
                   knob->m_flags |= kKnobDrawScale | kKnobDrawLeds;
                   return Of(knob);
                 },
                 Join({kWidgetGeneral, kWidgetParameter,
                       {"[Knob Range]", "Range Max #14 t5 110", "Range Min #15 t5 110", "[Knob Appearance]",
                        "Image #11 t14 110", "Knob Colour #12 t6 110", "Notch Radius #26 t2 110",
                        "Notch Colour #13 t6 110", "Max Angle #20 t3 110", "Min Angle #21 t3 110",
                        "Draw Scale #17 t12 010 {No|Yes}@1", "Number Major Scale Marks #18 t2 110",
                        "Number Minor Scale Marks #19 t2 110", "Scale Decimal Places #30 t12 010 {0|1|2|3}@0",
                        "Scale Colour #27 t6 110", "Scale Font #28 t7 010", "Draw LEDs #23 t12 010 {No|Yes}@1",
                        "LED Colour #24 t6 110", "LED Size #29 t2 110"}}),
                 {{"Number Minor Scale Marks", "The number of marks on the minor scale"},
                  {"Scale Font", "Font to be used for the scale text"},
                  {"LED Colour", "Colour to be used for the LED Ring"}}},
        KindCase{"TextBoundWithAnOutline",
                 [](CWorld& w) {
                   auto* text = w.Place(new CCCTextControl, CRect{0, 0, 80, 30}, kParamInputGain);
                   text->m_flags |= kTextOutline;
                   return Of(text);
                 },
                 Join({kWidgetGeneral, kWidgetParameter,
                       {"[Text Appearance]", "Append Units #20 t12 010 {No|Yes}@1",
                        "Horizontal Alignment #14 t12 010 {Left|Centre|Right}@1",
                        "Vertical Alignment #15 t12 010 {Top|Centre|Bottom}@1", "Font #13 t7 110",
                        "Text Colour #12 t6 010", "Text Outline #17 t12 010 {Off|On}@1", "Outline Width #18 t2 110",
                        "Corner Radius #16 t2 110", "Outline Colour #19 t6 010", "Read Only #22 t12 010 {No|Yes}@0"}}),
                 {{"Horizontal Alignment", "Horizontal aligmnent of the text within the control bounds"},
                  {"Font", "Font to be used for the control text"},
                  {"Text Colour", "Colour to be used for the control text"},
                  {"Outline Colour", "Colour to be used for the control outline"}}}),
    [](const ::testing::TestParamInfo<KindCase>& info) { return std::string(info.param.name); });

// --- Edits the grid does not offer at that moment, and what each leaves stored ---

// The object, and a reader of what an edit must store or leave.
using Subject = std::pair<CObjectProperties*, std::function<std::string()>>;
using SetValue = std::function<void(CWorld&, CPropertyValue&)>;

struct EditCase {
  const char* name;
  std::function<Subject(CWorld&)> make;
  std::int32_t id;
  SetValue value;
  std::string answer;
  std::string stored;
};
void PrintTo(const EditCase& edit, std::ostream* os) { *os << edit.name; }

class PropertyListEdits : public ::testing::TestWithParam<EditCase> {};

TEST_P(PropertyListEdits, AreAnsweredAndStoredAsTheGridWouldTakeThem) {
  CWorld w;
  const Subject subject = GetParam().make(w);
  w.system.SetModified(false);
  EXPECT_EQ(Edit(*subject.first, GetParam().id, [&](CPropertyValue& v) { GetParam().value(w, v); }),
            GetParam().answer);
  EXPECT_EQ(subject.second(), GetParam().stored);
  if (GetParam().answer.rfind("refused", 0) == 0) {
    EXPECT_FALSE(w.system.IsModified());
  }
}

SetValue Plain(std::function<void(CPropertyValue&)> set) {
  return [set](CWorld&, CPropertyValue& v) { set(v); };
}
SetValue Bind(std::function<CDevice*(CWorld&)> device, std::uint32_t parameter) {
  return [device, parameter](CWorld& w, CPropertyValue& v) {
    v.SetData(kPropParameter, CParameterRef{nullptr, device(w), parameter});
  };
}

CNerexSeriesDevice* Nerex24(CWorld& w) { return static_cast<CNerexSeriesDevice*>(w.Append(kModelNerex24, 2)); }
Subject Rtc(CNerexSeriesDevice* d) {
  d->SetAutoRtcUpdate(false);
  return {&ListOf(*d), [d] { return "rtc " + std::to_string(d->GetAutoRtcUpdate()); }};
}
Subject Identity(CDevice* d) {
  return {&ListOf(*d), [d] { return std::to_string(d->GetDeviceId()) + " " + d->GetName(); }};
}
Subject Settings(CNerexSeriesDevice* d) {
  return {&ListOf(*d), [d] {
            const NerexGeneralSettings& g = d->GetGeneralSettings();
            return "delay " + std::to_string(g.bytes[NerexGeneralSettings::kOnDelay]) + " code " +
                   std::to_string(g.GetSecurityCode()) + " units " + std::to_string(d->GetDelayUnits()) + " x" +
                   std::to_string(d->GetDelayMultiplier()) + " nudge " + std::to_string(d->GetGainNudge());
          }};
}
template <class W>
Subject Flags(W* widget, std::uint32_t mask) {
  return {widget, [widget, mask] { return "flags " + std::to_string(widget->m_flags & mask); }};
}
CCCKnob* Knob(CWorld& w) { return w.Place(new CCCKnob, CRect{0, 0, 60, 60}, kParamInputGain); }
CCCButton* Button(CWorld& w, std::uint32_t action) {
  auto* button = w.Place(new CCCButton, CRect{0, 0, 50, 40});
  button->m_flags = (button->m_flags & ~kButtonActions) | action;
  return button;
}
Subject Binding(CCCKnob* knob) {
  return {knob, [knob] { return "bound " + std::to_string(knob->m_parameterId); }};
}
Subject Range(CCCKnob* knob) {
  return {knob, [knob] { return "range " + std::to_string(knob->m_rangeMin) + " " + std::to_string(knob->m_rangeMax); }};
}
CDevice* NotInTheSystem(CWorld& w) {
  w.loose.emplace_back(w.system.CreateDevice(9, kModelFennick, 0));
  return w.loose.back().get();
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, PropertyListEdits,
    ::testing::Values(
        // Rows the grid does not show at that moment.
        EditCase{"AutoRtcOfANerex24", [](CWorld& w) { return Rtc(Nerex24(w)); }, 432, Plain(Choose(1)), "refused: ",
                 "rtc 0"},
        EditCase{"AutoRtcOfAFennick", [](CWorld& w) { return Rtc(w.processor); }, 432, Plain(Choose(1)), "accepted",
                 "rtc 1"},
        EditCase{"OnDelayWithoutTheRight",
                 [](CWorld& w) {
                   w.TakeAwayTheRight();
                   return Settings(w.processor);
                 },
                 505, Plain(Choose(6)), "refused: ", "delay 6 code 8064 units 0 x10 nudge 0"},
        EditCase{"OutlineOfAButtonWithAnImage",
                 [](CWorld& w) {
                   CCCButton* button = Button(w, kButtonModifyParameter);
                   button->m_pImage = &w.image;
                   button->m_flags &= ~kButtonOutline;
                   return Flags(button, kButtonOutline);
                 },
                 19, Plain(Choose(1)), "refused: ", "flags 0"},
        EditCase{"GainNudgeIsNotListed", [](CWorld& w) { return Settings(w.processor); }, 1594, Plain(Choose(2)),
                 "refused: ", "delay 6 code 8064 units 0 x10 nudge 0"},
        EditCase{"HaloIsNotListed", [](CWorld& w) { return Flags(Button(w, kButtonModifyParameter), kButtonHalo); },
                 28, Plain(Choose(1)), "refused: ", "flags 0"},
        // Rows the grid shows but does not enable.
        EditCase{"IdWithoutTheRight",
                 [](CWorld& w) {
                   w.TakeAwayTheRight();
                   return Identity(w.processor);
                 },
                 57, Plain(Number(9)), "refused: ", "1 "},
        EditCase{"NameWithoutTheRight",
                 [](CWorld& w) {
                   w.TakeAwayTheRight();
                   return Identity(w.processor);
                 },
                 58, Plain(Text("Front")), "refused: ", "1 "},
        EditCase{"IdOfAConnectedProcessor",
                 [](CWorld& w) {
                   CWorld::Connect(*w.processor);
                   return Identity(w.processor);
                 },
                 57, Plain(Number(9)), "refused: ", "1 "},
        EditCase{"NameOfAConnectedProcessor",
                 [](CWorld& w) {
                   CWorld::Connect(*w.processor);
                   return Identity(w.processor);
                 },
                 58, Plain(Text("Front")), "accepted", "1 Front"},
        EditCase{"IdOfAConnectedAmplifier",
                 [](CWorld& w) {
                   CDevice* amplifier = w.Append(51, 4);
                   CWorld::Connect(*amplifier);
                   return Identity(amplifier);
                 },
                 51, Plain(Number(9)), "refused: ", "4 "},
        // Values of another kind than the item's.
        EditCase{"RangeMaxAsADecimal", [](CWorld& w) { return Range(Knob(w)); }, 14,
                 Plain([](CPropertyValue& v) { v.SetData(kPropObject13, 10.0f); }), "refused: ",
                 "range -10.000000 10.000000"},
        EditCase{"SecurityCodeAsAColour", [](CWorld& w) { return Settings(w.processor); }, 431,
                 Plain([](CPropertyValue& v) { v.SetData(kPropColour, CColour::FromRgb(1, 2, 3)); }), "refused: ",
                 "delay 6 code 8064 units 0 x10 nudge 0"},
        EditCase{"AutoRtcAsAFont", [](CWorld& w) { return Rtc(w.processor); }, 432, Plain(Style("Arial")), "refused: ",
                 "rtc 0"},
        // Bindings the parameter picker would not make.
        EditCase{"BindingToADeviceOfNoSystem", [](CWorld& w) { return Binding(Knob(w)); }, 3,
                 Bind(NotInTheSystem, kParamOutputGain), "refused: ", "bound 13"},
        EditCase{"BindingToAParameterTheDeviceLacks", [](CWorld& w) { return Binding(Knob(w)); }, 3,
                 Bind([](CWorld& w) { return w.processor; }, 0xFFFFFFFFu), "refused: ", "bound 13"},
        EditCase{"BindingToAProcessorParameterOnAnAmplifier", [](CWorld& w) { return Binding(Knob(w)); }, 3,
                 Bind([](CWorld& w) { return w.Append(51, 4); }, kParamInputGain), "refused: ", "bound 13"},
        EditCase{"BindingTheKnobCanHave", [](CWorld& w) { return Binding(Knob(w)); }, 3,
                 Bind([](CWorld& w) { return w.processor; }, kParamOutputGain), "accepted, list again", "bound 17"},
        EditCase{"Unbinding", [](CWorld& w) { return Binding(Knob(w)); }, 3, Bind([](CWorld&) { return nullptr; }, 0),
                 "accepted, list again", "bound 0"},
        // Properties only the list edits, and indices past the choices.
        EditCase{"KnobReversed", [](CWorld& w) { return Flags(Knob(w), kKnobReversed); }, 22, Plain(Choose(1)),
                 "accepted, list again", "flags 1"},
        EditCase{"KnobNotReversed",
                 [](CWorld& w) {
                   CCCKnob* knob = Knob(w);
                   knob->m_flags |= kKnobReversed;
                   return Flags(knob, kKnobReversed);
                 },
                 22, Plain(Choose(0)), "accepted, list again", "flags 0"},
        EditCase{"KnobReversedPastItsChoices", [](CWorld& w) { return Flags(Knob(w), kKnobReversed); }, 22,
                 Plain(Choose(2)), "refused: ", "flags 0"},
        EditCase{"ButtonOffsetLook", [](CWorld& w) { return Flags(Button(w, kButtonModifyParameter), kButtonOffset); },
                 24, Plain(Choose(1)), "accepted, list again", "flags 8"},
        EditCase{"ButtonFont",
                 [](CWorld& w) {
                   CCCButton* button = Button(w, kButtonModifyParameter);
                   return Subject{button, [button] { return button->m_textStyle.face; }};
                 },
                 13, Plain(Style("Courier New")), "accepted", "Courier New"},
        EditCase{"PanelOnePastTheEnd",
                 [](CWorld& w) {
                   CCCButton* button = Button(w, kButtonLaunchPanel);
                   return Subject{button, [button] { return std::to_string(button->m_panelId.IsNil()); }};
                 },
                 26, Plain(Choose(1)), "accepted", "1"},
        EditCase{"SnapshotOnePastTheEnd",
                 [](CWorld& w) {
                   w.system.Snapshots().AddSnapshot("One");
                   CCCButton* button = Button(w, kButtonRecallSnapshot);
                   return Subject{button, [button] { return std::to_string(button->m_snapshotId.IsNil()); }};
                 },
                 27, Plain(Choose(1)), "accepted", "1"},
        EditCase{"KnobDecimalsPastTheFour",
                 [](CWorld& w) {
                   CCCKnob* knob = Knob(w);
                   knob->m_flags |= kKnobDrawScale;
                   return Flags(knob, 0xF00u);
                 },
                 30, Plain(Choose(4)), "accepted", "flags 256"},
        EditCase{"DelayUnitsPastItsThree", [](CWorld& w) { return Settings(w.processor); }, 261, Plain(Choose(3)),
                 "refused: ", "delay 6 code 8064 units 0 x10 nudge 0"},
        EditCase{"DelayMultiplierPastItsSeven", [](CWorld& w) { return Settings(w.processor); }, 262,
                 Plain(Choose(7)), "refused: ", "delay 6 code 8064 units 0 x10 nudge 0"},
        EditCase{"FaderIdWithoutARow",
                 [](CWorld& w) {
                   auto* fader = w.Place(new CCCFader, CRect{0, 0, 20, 150});
                   return Flags(fader, ~0u);
                 },
                 16, Plain(Number(1)), "accepted", "flags 296"}),
    [](const ::testing::TestParamInfo<EditCase>& info) { return std::string(info.param.name); });

// --- The list's own forms ---

TEST(PropertyListForms, ProcessorListsOnDelayUpwardAndChecksAsTheGridDoes) {
  CWorld w;
  CNerexSeriesDevice& fennick = *w.processor;
  for (const auto& [code, shown] : {std::pair{1, "60s"}, std::pair{7, "0s"}}) {
    WritableGeneralSettings(fennick).bytes[NerexGeneralSettings::kOnDelay] = std::uint8_t(code);
    const std::vector<CPropertyItem> items = Items(fennick);
    const CPropertyOptions* onDelay = Item(items, "On Delay")->value.GetOptions();
    EXPECT_EQ(onDelay->options.at(onDelay->selected), shown);
  }
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
  for (int contrast : {0, 17})
    EXPECT_EQ(Edit(fennick, "LCD Contrast", Number(contrast)), "refused: LCD Contrast must be between 1 and 16");

  CNerexSeriesDevice& nerex = *Nerex24(w);
  EXPECT_EQ(Edit(fennick, "ID", Number(2)), "refused: Device ID 2 already in use");
  EXPECT_EQ(Edit(fennick, "ID", Number(64)), "refused: Device ID must be between 0 and 63");
  EXPECT_EQ(Edit(fennick, "ID", Number(0)), "accepted");
  // ID 0 is no unit's address yet, so two units may have it.
  EXPECT_EQ(Edit(nerex, "ID", Number(0)), "accepted");
  EXPECT_EQ(Edit(fennick, "Name", Text(std::string(41, 'n'))), "refused: Device name too long - 40 characters max");
  EXPECT_EQ(Edit(fennick, "Name", Text(std::string(40, 'n'))), "accepted");
  EXPECT_EQ(fennick.GetName(), std::string(40, 'n'));
  EXPECT_EQ(Edit(nerex, "Number Presets", Number(19)), "refused: Number of presets must be more than 20");
  EXPECT_EQ(Edit(nerex, "Number Presets", Number(128)), "refused: Number of presets must be less than 127");
  EXPECT_EQ(Edit(nerex, "Number Presets", Number(127)), "accepted");
  EXPECT_EQ(Edit(nerex, "Number XOver Presets", Number(0)), "accepted");
}

TEST(PropertyListForms, StoredValuesOutsideTheChoicesAreListedAsTheIndexTheyHold) {
  CWorld w;
  CNerexSeriesDevice& fennick = *w.processor;
  auto& g = WritableGeneralSettings(fennick).bytes;
  g[NerexGeneralSettings::kGpiMode] = 7;
  g[NerexGeneralSettings::kOnDelay] = 0;
  g[NerexGeneralSettings::kSystemLock] = 9;
  g[NerexGeneralSettings::kLedTimeout] = 30;
  fennick.SetDelayMultiplier(1234);
  fennick.SetDelayUnits(5);
  const std::vector<CPropertyItem> items = Items(fennick);
  for (const auto& [name, index] : {std::pair{"GPI Mode", 7u}, std::pair{"On Delay", 7u}, std::pair{"System Lock", 9u},
                                    std::pair{"LED Timeout", 30u}, std::pair{"Delay Multiplier", 1234u},
                                    std::pair{"Delay Units", 5u}})
    EXPECT_EQ(Item(items, name)->value.GetOptions()->selected, index) << name;
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
      CDeviceProperty* row = grid.Row(60);
      row->SetValue(std::int64_t(9));
      EXPECT_TRUE(CommitPropertyRow(box, *row));
    }
    EXPECT_EQ(box->GetDeviceId(), 9u);
    EXPECT_EQ(w.frame.Count(FrameMsg::kRefreshRack), 1u);
    EXPECT_EQ(w.frame.Count(FrameMsg::kPanelCaption), list ? 0u : 1u);
  }
}

TEST(PropertyListForms, AnActionChosenInTheListShowsTheWidgetAgain) {
  CWorld w;
  CCCButton* button = Button(w, kButtonModifyParameter);
  EXPECT_EQ(Edit(*button, "Action", Choose(0)), "accepted");
  EXPECT_EQ(w.frame.Count(FrameMsg::kShowWidgetProps), 0u);
  EXPECT_EQ(Edit(*button, "Action", Choose(1)), "accepted, list again");
  const std::vector<CPostedMessage> posted = w.frame.Messages();
  ASSERT_EQ(w.frame.Count(FrameMsg::kShowWidgetProps), 1u);
  const auto shown = std::find_if(posted.begin(), posted.end(),
                                  [](const CPostedMessage& m) { return m.message == FrameMsg::kShowWidgetProps; });
  EXPECT_EQ(shown->handle, button->GetHandle());
  EXPECT_EQ(shown->lParam, 1);
  EXPECT_TRUE(w.system.IsModified());
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
  EXPECT_EQ(Edit(*bitmap, "Image", [&](CPropertyValue& v) { v.SetData(kPropImage, &w.image); }),
            "accepted, list again");
  EXPECT_EQ(bitmap->m_pImage, &w.image);
  EXPECT_EQ(bitmap->m_rect, (CRect{0, 0, 60, 60}));
}

TEST(PropertyListForms, ANewBindingAsksForTheListAgainAndTheSameOneDoesNot) {
  CWorld w;
  auto* fader = w.Place(new CCCFader, CRect{0, 0, 20, 150});
  const auto bind = [&](CPropertyValue& v) {
    v.SetData(kPropParameter, CParameterRef{fader, w.processor, std::uint32_t(kParamInputGain)});
  };
  EXPECT_EQ(Edit(*fader, 3, bind), "accepted, list again");
  EXPECT_EQ(fader->m_pDevice, w.processor);
  EXPECT_EQ(Edit(*fader, 3, bind), "accepted");
}

TEST(PropertyListRecords, ClearingEmptiesTheTextWhicheverTypeItIsClearedThroughAndFreesWhatTheValueHolds) {
  CNamedPropertyValue value;
  value.propertyId = 505;
  value.changed = 1;
  value.SetData(kPropOptions, CPropertyOptions{2, {"0s", "10s", "20s"}});
  value.text = "refused";
  CPropertyValue& base = value;
  base.Clear();
  EXPECT_EQ(value.text, "");
  EXPECT_FALSE(value.HasData());
  EXPECT_EQ(value.GetOptions(), nullptr);
  EXPECT_EQ(std::vector<int>({value.propertyId, value.type, value.changed}), std::vector<int>({0, kPropNone, 0}));
  value.Clear();  // a value that holds nothing clears too
  EXPECT_FALSE(value.HasData());
}

}  // namespace
