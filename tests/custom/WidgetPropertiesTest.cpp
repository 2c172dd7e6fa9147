// The widget kinds' property rows: which rows each kind shows in which
// state, the limits and their messages, and what an accepted edit changes, resizes, marks
// and asks to be built again.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "custom/CPData.h"
#include "core/file/ImageTree.h"
#include "custom/PropertyPickers.h"
#include "core/model/Snapshot.h"
#include "core/system/System.h"
#include "core/support/SystemMessages.h"
#include "custom/BitmapControl.h"
#include "custom/ButtonControl.h"
#include "custom/FaderControl.h"
#include "custom/KnobControl.h"
#include "custom/TextControl.h"
#include "tests/custom/CustomTestSupport.h"
#include "tests/support/FileTestDevices.h"
#include "tests/support/RecordingUi.h"

namespace {

// A device whose one parameter (id 1) has the description and current value a test sets.
class CRangeDevice : public CDevice {
 public:
  explicit CRangeDevice(IDeviceHost* system) : CDevice(system, 250, 9, nullptr, 0) {}
  const char* GetControlPanelClass() override { return nullptr; }
  std::string GetModelName() override { return "Range Test"; }
  CParamInfo GetParameterAt(int) override { return info; }
  CParamValue GetCurrentValue(int) override { return value; }
  void SetKind(ParamKind kind, float minimum, float maximum) {
    info.name = "Level";
    info.kind = kind;
    info.minimum = minimum;
    info.maximum = maximum;
    value.id = 1;
    value.kind = kind;
  }
  CParamInfo info;
  CParamValue value;
};

class WidgetPropertiesFixture {
 public:
  WidgetPropertiesFixture() {
    system.Panels().SetDesignMode(1);
    for (const char* name : {"Stage", "Desk", "Foyer"}) {
      CCPData* panel = system.Panels().AddCustomPanel();
      panel->m_name = name;
    }
    panel = system.GetCustomPanels()[0];
    panel->m_pView = &view;
    view.panel = panel;
    device = new CRangeDevice(&system);
    device->SetKind(ParamKind::kLevel, -6.0f, 6.0f);
    system.AppendDevice(device);
    wide.SetBitmap(CImage(100, 40));
    wide.m_name = "Wide";
    tall.SetBitmap(CImage(30, 60));
    tall.m_name = "Tall";
  }
  ~WidgetPropertiesFixture() { panel->m_pView = nullptr; }

  template <class W>
  W* Place(W* widget, const CRect& rect) {
    owned.emplace_back(widget);
    widget->m_pView = &view;
    widget->m_rect = rect;
    return widget;
  }
  void Bind(CCustomControlObject* w) {
    w->m_pDevice = device;
    w->m_parameterId = 1;
  }

  CSystem system;
  CRecordingView view;
  CCPData* panel = nullptr;
  CRangeDevice* device = nullptr;
  CCCImage wide, tall;
  std::vector<std::unique_ptr<CCustomControlObject>> owned;
};

using Names = std::vector<std::string>;
const Names kGeneral = {"[General]", "Position", "Size"};
const Names kParameter = {"[Parameter]", "Parameter"};
Names Join(std::initializer_list<Names> parts) {
  Names all;
  for (const Names& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// --- Row sets per kind and state ---

struct RowSetCase {
  const char* name;
  std::function<CCustomControlObject*(WidgetPropertiesFixture&)> make;
  Names grid;
};

class WidgetRowSets : public ::testing::TestWithParam<RowSetCase> {};

TEST_P(WidgetRowSets, RowsFollowTheWidgetsState) {
  WidgetPropertiesFixture f;
  CCustomControlObject* widget = GetParam().make(f);
  CCollectingGrid grid;
  widget->FillPropertiesPane(grid);
  EXPECT_EQ(grid.Names(), GetParam().grid);
}

const Names kButtonText = {"Text", "Horizontal Alignment", "Vertical Alignment", "Font", "Text Colour"};

INSTANTIATE_TEST_SUITE_P(
    Kinds, WidgetRowSets,
    ::testing::Values(
        RowSetCase{"BitmapWithoutImage",
                   [](WidgetPropertiesFixture& f) { return f.Place(new CCCBitmap, CRect{0, 0, 60, 60}); },
                   Join({kGeneral, {"[Image Appearance]", "Image"}})},
        RowSetCase{"BitmapWithImage",
                   [](WidgetPropertiesFixture& f) {
                     auto* w = f.Place(new CCCBitmap, CRect{0, 0, 60, 60});
                     w->m_pImage = &f.wide;
                     return w;
                   },
                   Join({kGeneral, {"[Image Appearance]", "Image", "Image Use"}})},
        RowSetCase{"ButtonModifyingAParameterWithOutline",
                   [](WidgetPropertiesFixture& f) { return f.Place(new CCCButton, CRect{0, 0, 50, 20}); },
                   Join({kGeneral, {"[Action]", "Action", "Parameter", "[Button Appearance]", "Image", "Outline",
                                    "Outline Width", "Corner Radius", "Outline Colour", "Fill", "Halo", "[Button Text]"},
                         kButtonText})},
        RowSetCase{"ButtonWithImageAndHaloLaunchingAPanel",
                   [](WidgetPropertiesFixture& f) {
                     auto* w = f.Place(new CCCButton, CRect{0, 0, 50, 20});
                     w->m_pImage = &f.wide;
                     w->m_flags = (w->m_flags & ~kButtonActions) | kButtonLaunchPanel | kButtonHalo;
                     return w;
                   },
                   Join({kGeneral, {"[Action]", "Action", "Panel", "[Button Appearance]", "Image", "Image Use", "Halo",
                                    "Halo Colour", "Halo Size", "[Button Text]"},
                         kButtonText})},
        RowSetCase{"ButtonRecallingASnapshotWithFillOnly",
                   [](WidgetPropertiesFixture& f) {
                     auto* w = f.Place(new CCCButton, CRect{0, 0, 50, 20});
                     w->m_flags = (w->m_flags & ~(kButtonActions | kButtonOutline)) | kButtonRecallSnapshot | kButtonFill;
                     return w;
                   },
                   Join({kGeneral, {"[Action]", "Action", "Snapshot", "[Button Appearance]", "Image", "Outline", "Fill",
                                    "Fill Colour", "Halo", "[Button Text]"},
                         kButtonText})},
        RowSetCase{"Led",
                   [](WidgetPropertiesFixture& f) { return f.Place(new CCCLED, CRect{0, 0, 20, 20}); },
                   Join({kGeneral, kParameter,
                         {"[LED Appearance]", "Image", "Outline", "Outline Width", "Corner Radius", "Outline Colour",
                          "Fill", "Fill Colour", "Halo", "[LED Text]"},
                         kButtonText})},
        RowSetCase{"FaderUnbound",
                   [](WidgetPropertiesFixture& f) { return f.Place(new CCCFader, CRect{0, 0, 15, 150}); },
                   Join({kGeneral, kParameter,
                         {"[Fader Appearance]", "Image", "Fill Colour", "Line Colour", "Horizontal", "Draw Slot"}})},
        RowSetCase{"FaderBoundToALevelWithScaleAndImage",
                   [](WidgetPropertiesFixture& f) {
                     auto* w = f.Place(new CCCFader, CRect{0, 0, 15, 150});
                     f.Bind(w);
                     w->m_flags |= kFaderDrawScale;
                     w->m_pKnobImage = &f.tall;
                     return w;
                   },
                   Join({kGeneral, kParameter,
                         {"[Fader Range]", "Range Max", "Range Min", "[Fader Appearance]", "Image", "Horizontal",
                          "Draw Scale", "Number Major Scale Marks", "Number Minor Scale Mark", "Scale Decimal Places",
                          "Scale Location", "Scale Colour", "Scale Font", "Draw Slot"}})},
        RowSetCase{"KnobUnbound",
                   [](WidgetPropertiesFixture& f) { return f.Place(new CCCKnob, CRect{0, 0, 40, 40}); },
                   Join({kGeneral, kParameter,
                         {"[Knob Appearance]", "Image", "Knob Colour", "Notch Radius", "Notch Colour", "Max Angle",
                          "Min Angle", "Draw LEDs"}})},
        RowSetCase{"KnobBoundWithScaleLedsAndARotatedImage",
                   [](WidgetPropertiesFixture& f) {
                     auto* w = f.Place(new CCCKnob, CRect{0, 0, 40, 40});
                     f.Bind(w);
                     w->m_pImage = &f.wide;
                     w->m_flags |= kKnobDrawScale | kKnobDrawLeds | kKnobRotateBitmap;
                     w->m_flags &= ~kKnobDrawNotch;
                     return w;
                   },
                   Join({kGeneral, kParameter,
                         {"[Knob Range]", "Range Max", "Range Min", "[Knob Appearance]", "Image", "Rotate Bitmap",
                          "Draw Notch", "Max Angle", "Min Angle", "Draw Scale", "Number Major Scale Marks",
                          "Number Minor Scale Mark", "Scale Decimal Places", "Scale Colour", "Scale Font", "Draw LEDs",
                          "LED Colour", "LED Size"}})},
        RowSetCase{"KnobWithAStaticImage",
                   [](WidgetPropertiesFixture& f) {
                     auto* w = f.Place(new CCCKnob, CRect{0, 0, 40, 40});
                     w->m_pImage = &f.wide;
                     w->m_flags &= ~kKnobRotateBitmap;
                     return w;
                   },
                   Join({kGeneral, kParameter,
                         {"[Knob Appearance]", "Image", "Rotate Bitmap", "Notch Radius", "Notch Colour", "Max Angle",
                          "Min Angle", "Draw LEDs"}})},
        RowSetCase{"TextBoundToADelayWithOutline",
                   [](WidgetPropertiesFixture& f) {
                     f.device->SetKind(ParamKind::kDelay, 0.0f, 100.0f);
                     auto* w = f.Place(new CCCTextControl, CRect{0, 0, 60, 20});
                     f.Bind(w);
                     w->m_flags |= kTextOutline;
                     return w;
                   },
                   Join({kGeneral, kParameter,
                         {"[Text Appearance]", "Delay Units", "Horizontal Alignment", "Vertical Alignment", "Font",
                          "Text Colour", "Text Outline", "Outline Width", "Corner Radius", "Outline Colour",
                          "Read Only"}})},
        RowSetCase{"TextBoundToALevel",
                   [](WidgetPropertiesFixture& f) {
                     auto* w = f.Place(new CCCTextControl, CRect{0, 0, 60, 20});
                     f.Bind(w);
                     return w;
                   },
                   Join({kGeneral, kParameter,
                         {"[Text Appearance]", "Append Units", "Horizontal Alignment", "Vertical Alignment", "Font",
                          "Text Colour", "Text Outline", "Read Only"}})}),
    [](const ::testing::TestParamInfo<RowSetCase>& info) { return std::string(info.param.name); });

// --- Limits and their messages ---

struct LimitCase {
  const char* name;
  std::function<CCustomControlObject*(WidgetPropertiesFixture&)> make;
  std::uint32_t id;
  std::string value;  // typed text, or the number as text for number rows
  const char* message;
};

class WidgetLimits : public ::testing::TestWithParam<LimitCase> {};

TEST_P(WidgetLimits, ARefusedValueLeavesTheWidgetUnchangedWithItsMessage) {
  WidgetPropertiesFixture f;
  CCustomControlObject* widget = GetParam().make(f);
  CCollectingGrid before;
  widget->FillPropertiesPane(before);
  CCollectingGrid grid;
  widget->FillPropertiesPane(grid);
  CDeviceProperty* row = grid.Row(GetParam().id);
  ASSERT_NE(row, nullptr);
  Type(*row, GetParam().value);
  EXPECT_FALSE(widget->OnPropertyChanged(*row));
  EXPECT_EQ(row->GetMessageText(), GetParam().message);
  EXPECT_FALSE(f.system.IsModified());
  CCollectingGrid after;
  widget->FillPropertiesPane(after);
  ASSERT_EQ(after.Names(), before.Names());
  for (std::size_t g = 0; g < before.groups.size(); ++g)
    for (std::size_t r = 0; r < before.groups[g]->rows.size(); ++r)
      EXPECT_EQ(after.groups[g]->rows[r]->GetValueText(), before.groups[g]->rows[r]->GetValueText())
          << before.groups[g]->rows[r]->GetName();
}

CCustomControlObject* Button(WidgetPropertiesFixture& f, int width, int height) {
  return f.Place(new CCCButton, CRect{10, 10, 10 + width, 10 + height});
}
CCustomControlObject* HaloButton(WidgetPropertiesFixture& f) {
  auto* w = f.Place(new CCCButton, CRect{0, 0, 50, 20});
  w->m_flags |= kButtonHalo;
  return w;
}
CCustomControlObject* BoundFader(WidgetPropertiesFixture& f, ParamKind kind, float minimum, float maximum) {
  f.device->SetKind(kind, minimum, maximum);
  auto* w = f.Place(new CCCFader, CRect{0, 0, 15, 150});
  f.Bind(w);
  w->m_flags |= kFaderDrawScale;
  w->m_rangeMin = minimum;
  w->m_rangeMax = maximum;
  return w;
}
CCustomControlObject* BoundKnob(WidgetPropertiesFixture& f, bool leds) {
  auto* w = f.Place(new CCCKnob, CRect{0, 0, 40, 40});
  f.Bind(w);
  w->m_rangeMin = -6.0f;
  w->m_rangeMax = 6.0f;
  w->m_flags |= kKnobDrawScale;
  if (leds) w->m_flags |= kKnobDrawLeds;
  return w;
}

INSTANTIATE_TEST_SUITE_P(
    Messages, WidgetLimits,
    ::testing::Values(
        LimitCase{"ButtonCornerRadiusBeyondHalfTheHeight", [](auto& f) { return Button(f, 40, 15); }, 18, "8",
                  "Corner radius cannot be greater than half the height (7 pixels)"},
        LimitCase{"ButtonOutlineWidthBeyondHalfTheWidth", [](auto& f) { return Button(f, 9, 40); }, 20, "5",
                  "Outline width cannot be greater than half the width (4 pixels)"},
        LimitCase{"ButtonNegativeCornerRadius", [](auto& f) { return Button(f, 40, 15); }, 18, "-1",
                  "Corner radius cannot be greater than half the height (7 pixels)"},
        LimitCase{"HaloSizeZero", HaloButton, 30, "0", "Halo size cannot be less than 1 pixels"},
        LimitCase{"HaloSizeTwentyOne", HaloButton, 30, "21", "Halo size cannot be greater than 20 pixels"},
        LimitCase{"FaderMaximumAtTheMinimum", [](auto& f) { return BoundFader(f, ParamKind::kLevel, -80.0f, 10.0f); },
                  14, "-80", "Maximum value must be greater than minimum value"},
        LimitCase{"FaderLevelMaximumAboveTheParameters",
                  [](auto& f) { return BoundFader(f, ParamKind::kLevel, -80.0f, 10.0f); }, 14, "10.1",
                  "Maximum value cannot be greater than 10.0 for this parameter"},
        LimitCase{"FaderDelayMaximumAboveTheParameters",
                  [](auto& f) { return BoundFader(f, ParamKind::kDelay, 0.0f, 20.0f); }, 14, "21ms",
                  "Maximum value cannot be greater than 20.00 for this parameter"},
        LimitCase{"FaderMinimumBelowTheParameters",
                  [](auto& f) { return BoundFader(f, ParamKind::kLevel, -80.0f, 10.0f); }, 15, "-81",
                  "Minimum value cannot be less than -80.0 for this parameter"},
        LimitCase{"FaderMinimumAtTheMaximum", [](auto& f) { return BoundFader(f, ParamKind::kLevel, -80.0f, 10.0f); },
                  15, "10", "Minimum value must be less than maximum value"},
        // Letters are no number: the range rows refuse them as every number row does.
        LimitCase{"FaderMaximumLetters", [](auto& f) { return BoundFader(f, ParamKind::kLevel, -80.0f, 10.0f); }, 14,
                  "abc", "\"abc\" is not a number"},
        LimitCase{"FaderMaximumNumberThenALetter",
                  [](auto& f) { return BoundFader(f, ParamKind::kLevel, -80.0f, 10.0f); }, 14, "5x",
                  "\"5x\" is not a number"},
        LimitCase{"FaderMinimumEmptied", [](auto& f) { return BoundFader(f, ParamKind::kLevel, -80.0f, 10.0f); }, 15, "",
                  "Enter a number"},
        LimitCase{"FaderMinimumSignOnly", [](auto& f) { return BoundFader(f, ParamKind::kLevel, -80.0f, 10.0f); }, 15,
                  "-", "\"-\" is not a number"},
        LimitCase{"FaderMinimumBeyondAValue",
                  [](auto& f) { return BoundFader(f, ParamKind::kLevel, -80.0f, 10.0f); }, 15, "-1e999",
                  "-1e999 is out of range"},
        LimitCase{"FaderDelayMaximumInDecibels", [](auto& f) { return BoundFader(f, ParamKind::kDelay, 0.0f, 20.0f); },
                  14, "5 dB", "\"5 dB\" is not a number"},
        LimitCase{"KnobMinimumLetters", [](auto& f) { return BoundKnob(f, false); }, 15, "abc",
                  "\"abc\" is not a number"},
        LimitCase{"FaderTwentyScaleMarks", [](auto& f) { return BoundFader(f, ParamKind::kLevel, -80.0f, 10.0f); }, 18,
                  "20", "Cannot have more than 20 scale marks"},
        LimitCase{"KnobTwentyOneScaleMarks", [](auto& f) { return BoundKnob(f, false); }, 18, "21",
                  "Cannot have more than 20 scale marks"},
        LimitCase{"KnobMaximumAboveTheParameters", [](auto& f) { return BoundKnob(f, false); }, 14, "6.1",
                  "Maximum value cannot be greater than 6.0 for this parameter"},
        LimitCase{"KnobNotchRadiusAtHalfTheWidth", [](auto& f) { return BoundKnob(f, false); }, 26, "20",
                  "Radius cannot be greater than 19"},
        LimitCase{"KnobNotchRadiusInsideTheLedRing", [](auto& f) { return BoundKnob(f, true); }, 26, "17",
                  "Radius cannot be greater than 16"},
        LimitCase{"KnobLedSizeSix", [](auto& f) { return BoundKnob(f, true); }, 29, "6",
                  "LED size cannot be greater than 5"},
        LimitCase{"KnobLedSizeZero", [](auto& f) { return BoundKnob(f, true); }, 29, "0",
                  "LED size cannot be less than or equal to 0"},
        LimitCase{"KnobLedSizeNegative", [](auto& f) { return BoundKnob(f, true); }, 29, "-2",
                  "LED size cannot be less than or equal to 0"},
        LimitCase{"KnobMaxAngle180IsRefusedSilently", [](auto& f) { return BoundKnob(f, false); }, 20, "180", ""},
        LimitCase{"KnobMinAngleMinus180IsRefusedSilently", [](auto& f) { return BoundKnob(f, false); }, 21, "-180",
                  ""},
        LimitCase{"KnobMaxAngleAtTheMinimumIsRefusedSilently", [](auto& f) { return BoundKnob(f, false); }, 20,
                  "-150", ""},
        LimitCase{"KnobNoScaleMarksIsRefusedSilently", [](auto& f) { return BoundKnob(f, false); }, 18, "0", ""}),
    [](const ::testing::TestParamInfo<LimitCase>& info) { return std::string(info.param.name); });

// --- Accepted edits ---

class WidgetEdits : public ::testing::Test, public WidgetPropertiesFixture {
 protected:
  // Fills the grid from the widget and commits the row with that id after change.
  bool Commit(CCustomControlObject& w, std::uint32_t id, const std::function<void(CDeviceProperty&)>& change) {
    grid.groups.clear();
    w.FillPropertiesPane(grid);
    m_row = grid.Row(id);
    if (!m_row) {
      ADD_FAILURE() << "no row " << id;
      return false;
    }
    change(*m_row);
    return w.OnPropertyChanged(*m_row);
  }
  bool Choose(CCustomControlObject& w, std::uint32_t id, int index) {
    return Commit(w, id, [index](CDeviceProperty& row) { row.SetComboSelection(index); });
  }
  bool Enter(CCustomControlObject& w, std::uint32_t id, const std::string& text) {
    return Commit(w, id, [&text](CDeviceProperty& row) { Type(row, text); });
  }
  bool Refreshes() const { return m_row && m_row->IsRefresh(); }

  CCollectingGrid grid;
  CDeviceProperty* m_row = nullptr;
};

TEST_F(WidgetEdits, ButtonOutlineOnAsksForTheRowsAgainAndAddsTheOutlineRows) {
  auto* button = Place(new CCCButton, CRect{0, 0, 50, 20});
  button->m_flags &= ~kButtonOutline;
  ASSERT_TRUE(Choose(*button, 19, 1));
  EXPECT_TRUE(Refreshes());
  EXPECT_TRUE(system.IsModified());
  grid.groups.clear();
  button->FillPropertiesPane(grid);
  const Names names = grid.Names();
  const auto outline = std::find(names.begin(), names.end(), "Outline");
  ASSERT_NE(outline, names.end());
  EXPECT_EQ(Names(outline, outline + 4), (Names{"Outline", "Outline Width", "Corner Radius", "Outline Colour"}));
}

TEST_F(WidgetEdits, ButtonFixToImageAndNewImagesResizeFromTheTopLeftCorner) {
  auto* button = Place(new CCCButton, CRect{10, 20, 60, 40});
  button->m_pImage = &tall;
  ASSERT_TRUE(Commit(*button, 16, [this](CDeviceProperty& row) {
    static_cast<CImagePropertyCtrl&>(row).SetImage(&wide);
  }));
  EXPECT_EQ(button->m_rect, (CRect{10, 20, 60, 40})) << "stretched: the rectangle stays";
  EXPECT_TRUE(Refreshes());
  ASSERT_TRUE(Choose(*button, 17, 1));
  EXPECT_EQ(button->m_rect, (CRect{10, 20, 110, 60}));
  ASSERT_FALSE(view.repainted.empty());
  ASSERT_TRUE(Commit(*button, 16, [this](CDeviceProperty& row) {
    static_cast<CImagePropertyCtrl&>(row).SetImage(&tall);
  }));
  EXPECT_EQ(button->m_rect, (CRect{10, 20, 40, 80}));
  ASSERT_TRUE(Commit(*button, 16, [](CDeviceProperty& row) { static_cast<CImagePropertyCtrl&>(row).SetImage(nullptr); }));
  EXPECT_EQ(button->m_pImage, nullptr);
  EXPECT_EQ(button->m_rect, (CRect{10, 20, 40, 80})) << "clearing the image keeps the rectangle";
}

TEST_F(WidgetEdits, AGridColourIsStoredOpaqueAndTheSameColourMarksNothing) {
  auto* button = Place(new CCCButton, CRect{0, 0, 50, 20});
  button->m_textColour = CColour{0x40123456u};
  ASSERT_TRUE(Commit(*button, 12, [](CDeviceProperty& row) { static_cast<CColourPropertyCtrl&>(row).m_colour = 0x563412; }));
  EXPECT_FALSE(system.IsModified()) << "same red, green and blue";
  EXPECT_EQ(button->m_textColour.argb, 0x40123456u);
  ASSERT_TRUE(Commit(*button, 12, [](CDeviceProperty& row) { static_cast<CColourPropertyCtrl&>(row).m_colour = 0x0000FF; }));
  EXPECT_EQ(button->m_textColour.argb, 0xFFFF0000u);
  EXPECT_TRUE(system.IsModified());
  system.SetModified(false);
  ASSERT_TRUE(Enter(*button, 11, button->m_text));
  EXPECT_FALSE(system.IsModified()) << "the same text";
  EXPECT_EQ(view.repainted.size(), 1u);
}

TEST_F(WidgetEdits, ButtonActionPanelAndSnapshotChoicesIndexTheSystemsLists) {
  auto* button = Place(new CCCButton, CRect{0, 0, 50, 20});
  ASSERT_TRUE(Choose(*button, 25, 1));
  EXPECT_TRUE(Refreshes());
  EXPECT_TRUE(system.IsModified());
  grid.groups.clear();
  button->FillPropertiesPane(grid);
  CDeviceProperty* panelRow = grid.Row(26);
  ASSERT_NE(panelRow, nullptr);
  EXPECT_EQ(panelRow->GetOptions(), (std::vector<std::string>{"Stage", "Desk", "Foyer"}));
  EXPECT_EQ(panelRow->GetValueText(), "");
  ASSERT_TRUE(Choose(*button, 26, 2));
  EXPECT_EQ(button->m_panelId, system.GetCustomPanels()[2]->GetUuid());
  EXPECT_TRUE(Choose(*button, 26, 3)) << "past the end: accepted, nothing changes";
  EXPECT_EQ(button->m_panelId, system.GetCustomPanels()[2]->GetUuid());

  system.Snapshots().AddSnapshot("Show");
  system.Snapshots().AddSnapshot("Show");
  ASSERT_TRUE(Choose(*button, 25, 2));
  system.SetModified(false);
  ASSERT_TRUE(Choose(*button, 27, 1));
  EXPECT_EQ(button->m_snapshotId, system.GetSnapshots()[1]->GetUuid()) << "two of one name stay distinct";
  EXPECT_TRUE(system.IsModified());
}

TEST_F(WidgetEdits, FaderKnobImageHidesTheColoursAndSetsTheWidthAcrossTheTravel) {
  auto* fader = Place(new CCCFader, CRect{0, 0, 15, 150});
  Bind(fader);
  fader->m_flags |= kFaderDrawScale;
  ASSERT_TRUE(Commit(*fader, 11, [this](CDeviceProperty& row) { static_cast<CImagePropertyCtrl&>(row).SetImage(&tall); }));
  EXPECT_TRUE(Refreshes());
  EXPECT_EQ(fader->m_rect, (CRect{0, 0, 60, 150})) << "twice the image's width beside a scale";
  grid.groups.clear();
  fader->FillPropertiesPane(grid);
  EXPECT_EQ(grid.Row(12), nullptr);
  EXPECT_EQ(grid.Row(13), nullptr);
  ASSERT_TRUE(Choose(*fader, 17, 1));  // "No"
  EXPECT_EQ(fader->m_rect, (CRect{0, 0, 30, 150}));
}

TEST_F(WidgetEdits, BitmapImageUseFitsTheImageOrItsAspectRatio) {
  auto* bitmap = Place(new CCCBitmap, CRect{0, 0, 150, 150});
  bitmap->m_pImage = &wide;  // 100 x 40
  ASSERT_TRUE(Choose(*bitmap, 12, 1));
  EXPECT_EQ(bitmap->m_rect, (CRect{0, 0, 100, 40}));
  EXPECT_EQ(bitmap->m_imageUse, std::uint32_t(kImageUseFixToImage));
  bitmap->m_rect = CRect{0, 0, 150, 150};
  ASSERT_TRUE(Choose(*bitmap, 12, 2));
  EXPECT_EQ(bitmap->m_rect, (CRect{0, 0, 150, 60}));
  ASSERT_TRUE(Choose(*bitmap, 12, 0));
  EXPECT_EQ(bitmap->m_rect, (CRect{0, 0, 150, 60})) << "stretching keeps the rectangle";
  EXPECT_TRUE(system.IsModified());
  ASSERT_TRUE(Commit(*bitmap, 11, [](CDeviceProperty& row) { static_cast<CImagePropertyCtrl&>(row).SetImage(nullptr); }));
  EXPECT_EQ(bitmap->m_pImage, nullptr);
  EXPECT_TRUE(Refreshes());
}

TEST_F(WidgetEdits, FaderTurnsAboutItsCornerAndTakesTheParametersRangeWhenBound) {
  auto* fader = Place(new CCCFader, CRect{5, 5, 25, 105});
  ASSERT_TRUE(Choose(*fader, 22, 0));  // "Yes"
  EXPECT_EQ(fader->m_rect, (CRect{5, 5, 105, 25}));
  EXPECT_TRUE(Refreshes());

  // The row's picker binds the fader while the row is open; the commit then takes the range.
  ASSERT_TRUE(Commit(*fader, 3, [&](CDeviceProperty&) { Bind(fader); }));
  EXPECT_EQ(fader->m_rangeMin, -6.0f);
  EXPECT_EQ(fader->m_rangeMax, 6.0f);
  device->info.maximum = 10.0f;
  ASSERT_TRUE(Enter(*fader, 14, "10.05")) << "a tenth of a dB decides";
  EXPECT_FLOAT_EQ(fader->m_rangeMax, 10.05f);
  EXPECT_TRUE(Refreshes());
  ASSERT_TRUE(Enter(*fader, 14, "10.1 dB")) << "the text the row shows for 10.05 is no new maximum";
  EXPECT_FLOAT_EQ(fader->m_rangeMax, 10.05f);
  device->SetKind(ParamKind::kInteger, 0.0f, 100.0f);
  device->value.value = 50.0f;
  ASSERT_TRUE(Enter(*fader, 15, "")) << "a kind without value texts keeps its range";
  EXPECT_FLOAT_EQ(fader->m_rangeMin, -6.0f);
  device->SetKind(ParamKind::kLevel, -6.0f, 10.0f);
  ASSERT_TRUE(Choose(*fader, 17, 0));  // "Yes"
  EXPECT_TRUE(fader->IsScaleShown());
  ASSERT_TRUE(Enter(*fader, 18, "19"));
  EXPECT_EQ(fader->m_majorMarks, 19u);
}

TEST_F(WidgetEdits, KnobAdoptsTheRangeAndItsLedSizeShrinksTheNotch) {
  auto* knob = Place(new CCCKnob, CRect{0, 0, 40, 40});
  knob->m_flags |= kKnobDrawLeds;
  knob->m_notchRadius = 16;
  knob->m_ledSize = 3;
  ASSERT_TRUE(Enter(*knob, 29, "5"));
  EXPECT_EQ(knob->m_notchRadius, 14u);
  EXPECT_EQ(knob->m_ledSize, 5u);
  EXPECT_FALSE(Enter(*knob, 20, "150")) << "an unchanged angle is refused";
  EXPECT_TRUE(m_row->GetErrorText().empty());
  ASSERT_TRUE(Enter(*knob, 20, "179"));
  EXPECT_EQ(knob->m_maxAngle, 179);

  ASSERT_TRUE(Commit(*knob, 3, [&](CDeviceProperty&) { Bind(knob); }));
  EXPECT_EQ(knob->m_rangeMin, -6.0f);
  EXPECT_EQ(knob->m_rangeMax, 6.0f);
  EXPECT_TRUE(Refreshes());
  ASSERT_TRUE(Enter(*knob, 14, "6.05"));
  grid.groups.clear();
  knob->FillPropertiesPane(grid);
  EXPECT_EQ(grid.Row(15)->GetValueText(), "-6.0 dB");
  knob->m_flags |= kKnobDrawScale;
  ASSERT_TRUE(Choose(*knob, 30, 2));
  EXPECT_EQ(knob->m_flags & 0xF00u, std::uint32_t(kKnobDecimals2));

  // A kind with no upper check of its own still takes no endless maximum.
  device->SetKind(ParamKind::kPhase, 0.0f, 180.0f);
  EXPECT_FALSE(Enter(*knob, 14, "inf"));
  EXPECT_EQ(m_row->GetErrorText(), "inf is out of range");
  EXPECT_FLOAT_EQ(knob->m_rangeMax, 6.05f);
  ASSERT_TRUE(Enter(*knob, 14, "170"));
  EXPECT_FLOAT_EQ(knob->m_rangeMax, 170.0f);
}

}  // namespace
