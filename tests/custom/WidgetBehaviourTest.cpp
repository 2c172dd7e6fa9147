// The widget kinds at work: value texts and typed values, geometry, drags and clicks sending
// values to a device, widgets following reported values, the in-place editor, and pixels of
// every kind drawn in design and operate mode.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <memory>

#include "custom/CPData.h"
#include "core/model/Snapshot.h"
#include "core/support/SystemMessages.h"
#include "core/values/ValueCodes.h"
#include "custom/BitmapControl.h"
#include "custom/ButtonControl.h"
#include "custom/FaderControl.h"
#include "custom/KnobControl.h"
#include "custom/TextControl.h"
#include "custom/TextEdit.h"
#include "custom/WidgetDrawing.h"
#include "devices/amplifier/AmplifierFamilies.h"
#include "devices/amplifier/ZelSeriesDevice.h"
#include "platform/Graphics.h"
#include "platform/Image.h"
#include "platform/MouseMessages.h"
#include "tests/custom/CustomTestSupport.h"
#include "tests/support/DamagedPicture.h"
#include "tests/support/RecordingFrame.h"
#include "tests/support/ModelChanges.h"

namespace {

// A device whose parameters are given by the test and which records every change it gets.
class CParamTestDevice : public CFileTestDevice {
 public:
  explicit CParamTestDevice(IDeviceHost* system) : CFileTestDevice(system, kImagingType, 9, nullptr, 0) {}

  void Define(int id, ParamKind kind, float minimum, float maximum, float value, std::uint32_t options = 0) {
    CParamInfo info;
    info.name = "P" + std::to_string(id);
    info.id = id;
    info.kind = kind;
    info.minimum = minimum;
    info.maximum = maximum;
    info.options = options;
    infos[id] = info;
    values[id] = CParamValue(id, value, kind);
  }
  CParamInfo GetParameterAt(int n) override {
    auto it = infos.find(n);
    if (it != infos.end()) return it->second;
    CParamInfo none;
    none.name = "NULL";
    return none;
  }
  CParamValue GetCurrentValue(int id) override {
    auto it = values.find(id);
    return it != values.end() ? it->second : CParamValue{};
  }
  void ApplyControlChange(const CParamValue& value) override { applied.push_back(value); }

  std::map<int, CParamInfo> infos;
  std::map<int, CParamValue> values;
};

class CWidgetView : public CCustomControlPanel, public CTextEditorHost {
 public:
  void BroadcastParameterUpdate(CDevice*, std::uint32_t) override {}
  void BroadcastSnapshotRecalled(const CUuid&) override {}
  void DestroyPanelWindow() override {}
  CCPData* GetPanelData() const override { return panel; }
  void RedrawControl(CCustomControlObject*) override { ++redraws; }
  void SetActiveControl(CCustomControlObject* widget) override {
    if (active && active != widget) active->Deactivate();
    active = widget;
  }
  // The test's edit box: it holds the text and reports its loss of focus when destroyed.
  bool OpenTextEditor(CCCTextEdit* e, const CRect& rect, const std::string& text, int alignment) override {
    editor = e;
    editRect = rect;
    editText = text;
    editAlignment = alignment;
    return true;
  }
  void CloseTextEditor(CCCTextEdit* e) override {
    ++closed;
    if (editor == e) {
      editor = nullptr;
      e->OnKillFocus(editText);
    }
  }

  CCPData* panel = nullptr;
  CCustomControlObject* active = nullptr;
  CCCTextEdit* editor = nullptr;
  CRect editRect;
  std::string editText;
  int editAlignment = -1;
  int redraws = 0;
  int closed = 0;
};

class WidgetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_panel = m_system.Panels().AddCustomPanel();
    m_view.panel = m_panel;
    m_panel->m_pView = &m_view;
    m_system.Panels().SetDesignMode(0);
    m_device = std::make_unique<CParamTestDevice>(&m_system);
  }
  void TearDown() override { m_panel->m_pView = nullptr; }

  template <class W>
  void Bind(W& widget, int id) {
    widget.m_pView = &m_view;
    widget.m_pDevice = m_device.get();
    widget.m_parameterId = std::uint32_t(id);
    widget.m_lastInactive = 0;  // as after a first draw of an active parameter
  }
  static void Mouse(CCustomControlObject& w, std::uint32_t message, int x, int y, bool design = false) {
    CRect invalid;
    w.OnMouseMessage(message, 0, design, CPoint{x, y}, invalid);
  }

  CSystem m_system;
  CCPData* m_panel = nullptr;
  CWidgetView m_view;
  std::unique_ptr<CParamTestDevice> m_device;
};

// --- Value texts of the text widget ---

struct TextCase {
  ParamKind kind;
  float value;
  std::uint32_t flags;
  std::uint32_t options;  // of the parameter description
  const char* text;
};

class TextValueTest : public WidgetTest, public ::testing::WithParamInterface<TextCase> {};

TEST_P(TextValueTest, FormatsByKindFormatAndUnits) {
  const TextCase c = GetParam();
  CCCTextControl text;
  Bind(text, 1);
  text.m_flags = c.flags;
  m_device->Define(1, c.kind, -80.0f, 20.0f, c.value, c.options);
  EXPECT_EQ(text.FormatValue(CParamValue(1, c.value, c.kind)), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, TextValueTest,
    ::testing::Values(TextCase{ParamKind::kLevel, -80.0f, kTextDefaultFlags, 0x2, "Mute"},
                      TextCase{ParamKind::kLevel, -80.0f, kTextDefaultFlags, 0, "-80.0 dB"},
                      TextCase{ParamKind::kLevel, -3.7f, kTextDefaultFlags & ~kTextAppendUnits, 0, "-3.7"},
                      TextCase{ParamKind::kLevel, -3.7f, (kTextDefaultFlags & ~0xF00u) | 0x200, 0, "-03 dB"},
                      TextCase{ParamKind::kFrequency, 1250.0f, kTextDefaultFlags, 0, "1k 25 Hz"},
                      TextCase{ParamKind::kFrequency, 12500.0f, kTextDefaultFlags, 0, "12k 5 Hz"},
                      TextCase{ParamKind::kFrequency, 100.0f, kTextDefaultFlags, 0, "100.0 Hz"},
                      TextCase{ParamKind::kFrequency, 250.0f, kTextDefaultFlags, 0, "250 Hz"},
                      TextCase{ParamKind::kQ, 13.6f, kTextDefaultFlags, 0, "14"},
                      TextCase{ParamKind::kQ, 1.0f, kTextDefaultFlags, 0, "1.00"},
                      TextCase{ParamKind::kDelay, 9.99f, kTextDefaultFlags, 0, "9.9900ms"},
                      TextCase{ParamKind::kDelay, 12.345f, kTextDefaultFlags, 0, "12.345ms"},
                      TextCase{ParamKind::kDelay, 150.0f, kTextDefaultFlags, 0, "150.00ms"},
                      TextCase{ParamKind::kDelay, 10.0f, (kTextDefaultFlags & ~kTextDelayMs) | kTextDelayMetres, 0,
                               "3.4337m"},
                      TextCase{ParamKind::kDelay, 10.0f, kTextDefaultFlags & ~kTextDelayMs, 0, ""},
                      TextCase{ParamKind::kPhase, 45.7f, kTextDefaultFlags, 0, "45\u02DA"},
                      TextCase{ParamKind::kInteger, 3.0f, kTextDefaultFlags, 0, ""}));

// --- Typed values of the editor ---

struct ParseCase {
  ParamKind kind;
  const char* text;
  std::uint32_t delayUnit;
  float expected;
};

class EditParseTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(EditParseTest, ReadsUnitsAndShortForms) {
  const ParseCase c = GetParam();
  const std::optional<float> v = ParseEditedValue(c.kind, c.text, c.delayUnit);
  ASSERT_TRUE(v.has_value());
  EXPECT_FLOAT_EQ(*v, c.expected) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Examples, EditParseTest,
    ::testing::Values(ParseCase{ParamKind::kLevel, "-3.7 dB", 0, -3.7f}, ParseCase{ParamKind::kPhase, "45", 0, 45.0f},
                      ParseCase{ParamKind::kFrequency, "1.5k", 0, SnapFreq(1500.0f)},
                      ParseCase{ParamKind::kFrequency, "1k5", 0, SnapFreq(1500.0f)},
                      ParseCase{ParamKind::kFrequency, "1k 5", 0, SnapFreq(1500.0f)},
                      ParseCase{ParamKind::kFrequency, "1k 25 Hz", 0, SnapFreq(1250.0f)},
                      ParseCase{ParamKind::kFrequency, "2K", 0, SnapFreq(2000.0f)},
                      ParseCase{ParamKind::kQ, "2.3", 0, SnapQ(2.3f)},
                      ParseCase{ParamKind::kDelay, "5m", kTextDelayMs, SnapDelayTime(5.0f)},
                      ParseCase{ParamKind::kDelay, "15m", kTextDelayMs, SnapDelayTime(float(15.0 / 0.34337189))},
                      ParseCase{ParamKind::kDelay, "15M", kTextDelayMs, SnapDelayTime(float(15.0 / 0.34337189))},
                      ParseCase{ParamKind::kDelay, "20ft", kTextDelayMs, SnapDelayTime(float(20.0 / 1.126548232))},
                      ParseCase{ParamKind::kDelay, "20FT", kTextDelayMs, SnapDelayTime(float(20.0 / 1.126548232))},
                      ParseCase{ParamKind::kDelay, "-3ms", kTextDelayMs, SnapDelayTime(3.0f)},
                      ParseCase{ParamKind::kDelay, "343.37189mm", kTextDelayMs,
                                SnapDelayTime(float(343.37189 / 343.37189))},
                      ParseCase{ParamKind::kDelay, "10", kTextDelayFeet, SnapDelayTime(float(10.0 / 1.126548232))},
                      ParseCase{ParamKind::kDelay, "12.345", 0, 12.345f}));

TEST(EditCharTest, DropsCharactersThatCannotBelongToTheKind) {
  EXPECT_FALSE(IsEditCharAllowed(ParamKind::kFrequency, U'-'));
  EXPECT_TRUE(IsEditCharAllowed(ParamKind::kFrequency, U'K'));
  EXPECT_FALSE(IsEditCharAllowed(ParamKind::kPhase, U'.'));
  EXPECT_TRUE(IsEditCharAllowed(ParamKind::kPhase, U'7'));
  EXPECT_TRUE(IsEditCharAllowed(ParamKind::kDelay, U'F'));
  EXPECT_FALSE(IsEditCharAllowed(ParamKind::kQ, U'k'));
  EXPECT_TRUE(IsEditCharAllowed(ParamKind::kLevel, 8));
  EXPECT_TRUE(IsEditCharAllowed(ParamKind::kText, U'x'));
  EXPECT_FALSE(ParseEditedValue(ParamKind::kText, "abc", 0).has_value());
  // A number without a finite value is no value, whatever the kind.
  for (ParamKind kind : {ParamKind::kLevel, ParamKind::kFrequency, ParamKind::kQ, ParamKind::kDelay, ParamKind::kPhase})
    for (const char* text : {"nan", "inf", "-Infinity", "1e40", "-1e39ft"})
      EXPECT_FALSE(ParseEditedValue(kind, text, kTextDelayMs).has_value()) << int(kind) << " " << text;
  EXPECT_FLOAT_EQ(*ParseEditedValue(ParamKind::kLevel, "1e3", 0), 1000.0f);
}

// --- Fader ---

TEST_F(WidgetTest, FaderKnobFollowsTheValueAlongItsTravel) {
  CCCFader fader(&m_view, CRect{0, 0, 20, 100});
  m_device->Define(1, ParamKind::kLevel, 0.0f, 100.0f, 0.0f);
  Bind(fader, 1);
  EXPECT_EQ(fader.GetKnobSize(), (CSize{20, 40}));
  EXPECT_EQ(fader.GetTravel(), 60);
  fader.m_value = 50.0f;
  EXPECT_EQ(fader.GetKnobRect(), (CRect{0, 30, 20, 70}));
  fader.m_value = 100.0f;
  EXPECT_EQ(fader.GetKnobRect().top, 0);

  fader.m_flags |= kFaderDrawScale;  // scale shown on the left: half-width knob on the right
  EXPECT_EQ(fader.GetKnobRect(), (CRect{10, 0, 20, 20}));

  CCCFader across(&m_view, CRect{0, 0, 100, 20});
  across.m_flags |= kFaderHorizontal;
  across.m_value = 100.0f;
  EXPECT_EQ(across.GetKnobRect(), (CRect{60, 0, 100, 20}));
  across.m_value = 0.0f;
  EXPECT_EQ(across.GetKnobRect(), (CRect{0, 0, 40, 20}));
}

TEST_F(WidgetTest, FaderResizingAndScaleLabels) {
  CCCFader fader(&m_view, CRect{0, 0, 15, 150});
  EXPECT_EQ(fader.AdjustSizingRect(CRect{0, 0, 10, 20}, 4), (CRect{0, 0, 10, 40}));
  EXPECT_EQ(fader.AdjustSizingRect(CRect{0, 100, 10, 120}, 3), (CRect{0, 80, 10, 120}));
  fader.m_flags |= kFaderHorizontal;
  EXPECT_EQ(fader.AdjustSizingRect(CRect{0, 0, 30, 20}, 1), (CRect{-50, 0, 30, 20}));
  // With a knob image the width across the travel is the image's, twice that only while the
  // scale is shown, which takes a bound parameter as well as the Draw Scale bit.
  CCCImage knobImage;
  knobImage.SetBitmap(CImage(12, 30));
  CCCFader imaged(&m_view, CRect{0, 0, 15, 150});
  imaged.m_pKnobImage = &knobImage;
  imaged.m_flags |= kFaderDrawScale;
  EXPECT_EQ(imaged.AdjustSizingRect(CRect{0, 0, 40, 150}, 4), (CRect{0, 0, 12, 150}));
  m_device->Define(1, ParamKind::kLevel, 0.0f, 100.0f, 0.0f);
  Bind(imaged, 1);
  EXPECT_EQ(imaged.AdjustSizingRect(CRect{0, 0, 40, 150}, 4), (CRect{0, 0, 24, 150}));
  EXPECT_EQ(FormatScaleLabel(0x200, 12.5f, ParamKind::kLevel), "12.5dB");
  EXPECT_EQ(FormatScaleLabel(0x100, 40.0f, ParamKind::kDelay), "40ms");
  EXPECT_EQ(FormatScaleLabel(0, 40.0f, ParamKind::kDelay), "ms");
}

TEST_F(WidgetTest, FaderDragSendsClampedValuesOnce) {
  CCCFader fader(&m_view, CRect{0, 0, 20, 100});
  m_device->Define(1, ParamKind::kLevel, 0.0f, 100.0f, 0.0f);
  Bind(fader, 1);
  Mouse(fader, WM_LBUTTONDOWN, 5, 65);  // on the knob at the bottom (60..100)
  EXPECT_EQ(m_view.active, &fader);
  CRect invalid;
  fader.OnMouseMessage(WM_MOUSEMOVE, 0, false, CPoint{5, 35}, invalid);
  ASSERT_EQ(m_device->applied.size(), 1u);
  EXPECT_FLOAT_EQ(m_device->applied[0].value, 50.0f);
  EXPECT_EQ(m_device->applied[0].kind, ParamKind::kLevel);
  EXPECT_EQ(invalid, (CRect{0, 30, 24, 104}));
  Mouse(fader, WM_MOUSEMOVE, 5, 0);
  Mouse(fader, WM_MOUSEMOVE, 5, -40);
  Mouse(fader, WM_MOUSEMOVE, 5, -80);
  ASSERT_EQ(m_device->applied.size(), 2u);
  EXPECT_FLOAT_EQ(m_device->applied[1].value, 100.0f);
  Mouse(fader, WM_LBUTTONUP, 5, -80);
  EXPECT_EQ(m_view.active, nullptr);
  Mouse(fader, WM_MOUSEMOVE, 5, 50);
  EXPECT_EQ(m_device->applied.size(), 2u);
}

TEST_F(WidgetTest, FaderWithoutRangeOrTravelNeitherDividesNorSends) {
  CCCFader fader(&m_view, CRect{0, 0, 20, 40});  // the drawn knob is as long as the control
  m_device->Define(1, ParamKind::kLevel, 5.0f, 5.0f, 5.0f);
  Bind(fader, 1);
  fader.m_rangeMin = fader.m_rangeMax = 5.0f;
  fader.m_value = 5.0f;
  EXPECT_EQ(fader.GetKnobRect(), (CRect{0, 0, 20, 40}));
  Mouse(fader, WM_LBUTTONDOWN, 5, 5);
  Mouse(fader, WM_MOUSEMOVE, 5, 30);
  EXPECT_TRUE(m_device->applied.empty());
  CImage image(40, 60);
  Graphics g(image);
  fader.Draw(g, CRect{0, 0, 40, 60}, false);
}

TEST_F(WidgetTest, FaderAndKnobFollowNumericUpdatesClamped) {
  CCCFader fader(&m_view, CRect{0, 0, 20, 100});
  CCCKnob knob(&m_view, CRect{0, 0, 40, 40});
  m_device->Define(1, ParamKind::kLevel, -100.0f, 100.0f, 0.0f);
  Bind(fader, 1);
  Bind(knob, 1);
  EXPECT_EQ(fader.OnParameterUpdate(CParamValue(1, 250.0f, ParamKind::kLevel)), fader.GetBoundsRect());
  EXPECT_FLOAT_EQ(fader.m_value, 100.0f);
  EXPECT_EQ(fader.OnParameterUpdate(CParamValue(1, 300.0f, ParamKind::kLevel)), CRect{});
  EXPECT_EQ(fader.OnParameterUpdate(MakeBoolParamValue(1, true)), CRect{});
  EXPECT_NE(knob.OnParameterUpdate(CParamValue(1, -50.0f, ParamKind::kLevel)), CRect{});
  EXPECT_FLOAT_EQ(knob.m_value, -10.0f);
}

// --- Knob ---

TEST_F(WidgetTest, KnobAnglesAndDragSteps) {
  CCCKnob knob(&m_view, CRect{0, 0, 40, 40});
  EXPECT_FLOAT_EQ(knob.ValueToAngle(-10.0f), -150.0f);
  EXPECT_FLOAT_EQ(knob.ValueToAngle(0.0f), 0.0f);
  EXPECT_FLOAT_EQ(knob.ValueToAngle(10.0f), 150.0f);
  knob.m_flags |= kKnobReversed;
  EXPECT_FLOAT_EQ(knob.ValueToAngle(10.0f), -150.0f);
  EXPECT_FLOAT_EQ(knob.DragStep(), -0.8f);
  knob.m_flags &= ~kKnobReversed;
  knob.m_rangeMin = knob.m_rangeMax = 1.0f;  // no range: no division, the smallest step
  EXPECT_FLOAT_EQ(knob.ValueToAngle(1.0f), -150.0f);
  EXPECT_FLOAT_EQ(knob.DragStep(), 0.1f);

  CCCKnob bound(&m_view, CRect{0, 0, 40, 40});
  m_device->Define(2, ParamKind::kLevel, -10.0f, 10.0f, 0.0f);
  Bind(bound, 2);
  Mouse(bound, WM_LBUTTONDOWN, 20, 20);
  Mouse(bound, WM_MOUSEMOVE, 20, 15);  // 5 pixels up: 5 steps of 0.8
  ASSERT_EQ(m_device->applied.size(), 1u);
  EXPECT_FLOAT_EQ(m_device->applied[0].value, 4.0f);
  EXPECT_FLOAT_EQ(bound.m_value, 0.0f);  // the value comes back as an update
  Mouse(bound, WM_MOUSEMOVE, 20, -100);
  EXPECT_FLOAT_EQ(m_device->applied.back().value, 10.0f);
}

TEST_F(WidgetTest, KnobResizingStaysSquare) {
  CCCKnob knob(&m_view, CRect{0, 0, 40, 40});
  EXPECT_EQ(knob.AdjustSizingRect(CRect{0, 0, 60, 40}, 2), (CRect{0, 0, 60, 60}));
  EXPECT_EQ(knob.AdjustSizingRect(CRect{0, 0, 40, 70}, 8), (CRect{0, 0, 70, 70}));
  EXPECT_EQ(knob.AdjustSizingRect(CRect{0, 0, 4, 4}, 5), (CRect{-6, -6, 4, 4}));
}

// --- Button and LED ---

TEST_F(WidgetTest, ButtonPressTogglesAndSendsButAnLedNeverReacts) {
  CCCButton button(&m_view, CRect{0, 0, 50, 20});
  m_device->Define(3, ParamKind::kBool, 0.0f, 1.0f, 0.0f);
  Bind(button, 3);
  Mouse(button, WM_LBUTTONDOWN, 25, 10);
  EXPECT_TRUE(button.m_state);
  EXPECT_EQ(m_view.active, &button);
  Mouse(button, WM_LBUTTONUP, 25, 10);
  EXPECT_EQ(m_view.active, nullptr);
  Mouse(button, WM_LBUTTONDBLCLK, 25, 10);  // a second press in operate mode
  ASSERT_EQ(m_device->applied.size(), 2u);
  EXPECT_EQ(m_device->applied[0].kind, ParamKind::kBool);
  EXPECT_EQ(m_device->applied[0].flag, 1);
  EXPECT_EQ(m_device->applied[1].flag, 0);
  Mouse(button, WM_LBUTTONDOWN, 0, 0);  // outside the rounded corner
  Mouse(button, WM_LBUTTONDBLCLK, 25, 10, true);  // no press in design mode
  EXPECT_EQ(m_device->applied.size(), 2u);

  m_device->infos[3].options = 0x8;  // a parameter that is only triggered
  Mouse(button, WM_LBUTTONDOWN, 25, 10);
  EXPECT_FALSE(button.m_state);
  EXPECT_EQ(m_device->applied.back().flag, 0);

  CCCButton pasted(button);
  pasted.m_pView = &m_view;
  Mouse(pasted, WM_LBUTTONDOWN, 25, 10);
  EXPECT_TRUE(pasted.m_state);
  EXPECT_EQ(m_device->applied.size(), 3u);

  CCCLED led(&m_view, CRect{0, 0, 20, 20});
  Bind(led, 3);
  for (std::uint32_t message : {WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_LBUTTONUP}) Mouse(led, message, 10, 10);
  EXPECT_FALSE(led.m_state);
  EXPECT_EQ(m_device->applied.size(), 3u);
}

TEST_F(WidgetTest, LedFollowsItsBoundParameter) {
  CCCLED led(&m_view, CRect{0, 0, 20, 20});
  m_device->Define(3, ParamKind::kBool, 0.0f, 1.0f, 0.0f);
  Bind(led, 3);
  m_device->values[3] = MakeBoolParamValue(3, true);
  EXPECT_EQ(led.OnParameterUpdate(m_device->values[3]), led.GetBoundsRect());
  EXPECT_TRUE(led.m_state);
  EXPECT_EQ(led.OnParameterUpdate(m_device->values[3]), CRect{});
  EXPECT_NE(led.OnParameterUpdate(MakeBoolParamValue(3, false)), CRect{});
  EXPECT_FALSE(led.m_state);
}

TEST_F(WidgetTest, LaunchAndRecallButtonsPostToTheFrame) {
  CRecordingFrame frame;
  m_system.Start(&frame);
  CCPData* target = m_system.Panels().AddCustomPanel();
  CSnapshot* snapshot = m_system.Snapshots().AddSnapshot("Show");
  CCCButton launch(&m_view, CRect{0, 0, 50, 20});
  launch.m_flags = (launch.m_flags & ~kButtonActions) | kButtonLaunchPanel;
  launch.m_panelId = target->GetUuid();
  Mouse(launch, WM_LBUTTONDOWN, 25, 10);
  EXPECT_FALSE(launch.m_state);
  Mouse(launch, WM_LBUTTONUP, 25, 10);
  EXPECT_TRUE(launch.m_state);
  CCCButton recall(&m_view, CRect{0, 0, 50, 20});
  recall.m_flags = (recall.m_flags & ~kButtonActions) | kButtonRecallSnapshot;
  recall.m_snapshotId = snapshot->GetUuid();
  Mouse(recall, WM_LBUTTONDOWN, 25, 10);
  std::vector<CRecordingSink::Message> posted;
  for (const auto& m : frame.Take())
    if (m.message == FrameMsg::kOpenCustomPanel || m.message == FrameMsg::kRecallSnapshot) posted.push_back(m);
  ASSERT_EQ(posted.size(), 2u);
  EXPECT_EQ(posted[0].message, FrameMsg::kOpenCustomPanel);
  EXPECT_EQ(posted[0].text, target->GetUuid().ToString());
  EXPECT_EQ(posted[0].wParam, 0u);
  EXPECT_EQ(posted[1].message, FrameMsg::kRecallSnapshot);
  EXPECT_EQ(posted[1].text, snapshot->GetUuid().ToString());
  EXPECT_EQ(posted[1].wParam, 0u);
}

// --- Text widget drags and editor ---

TEST_F(WidgetTest, TextDragStepsByKind) {
  CCCTextControl text(&m_view, "Arial", 10.0f, kTextDefaultFlags, CRect{0, 0, 50, 20});
  m_device->Define(4, ParamKind::kFrequency, 10.0f, 20000.0f, 1000.0f);
  Bind(text, 4);
  Mouse(text, WM_LBUTTONDOWN, 10, 10);
  Mouse(text, WM_MOUSEMOVE, 10, 7);
  ASSERT_EQ(m_device->applied.size(), 1u);
  EXPECT_FLOAT_EQ(m_device->applied[0].value, IndexToFreq(FreqToIndex(1000.0f) + 3));
  m_device->Define(4, ParamKind::kPhase, 0.0f, 360.0f, 1.0f);
  Mouse(text, WM_MOUSEMOVE, 10, 10);  // 3 down: 1 - 6 raised to 0
  EXPECT_FLOAT_EQ(m_device->applied.back().value, 0.0f);
  text.m_flags |= kTextReadOnly;
  Mouse(text, WM_LBUTTONUP, 10, 10);
  Mouse(text, WM_LBUTTONDOWN, 10, 10);
  Mouse(text, WM_MOUSEMOVE, 10, 0);
  EXPECT_EQ(m_device->applied.size(), 2u);
}

// A drag of a text or knob widget bound to a Zel amplifier's gain moves it at least one step of
// the unit's table for each move, where the widget's own step (1 dB a pixel for the text, the
// knob's drag step) would be taken back: from -14 dB up, from -36 dB down.
struct ZelDragCase {
  const char* name;
  bool knob;
  int from;    // gain steps of the table
  int pixels;  // upwards
  int to;
};

class ZelGainDragTest : public WidgetTest, public ::testing::WithParamInterface<ZelDragCase> {};

TEST_P(ZelGainDragTest, EachMoveTakesTheGainAStepOfTheUnitsTable) {
  const ZelDragCase& c = GetParam();
  RegisterAmplifierFamilies();
  CDevice* device = m_system.CreateDevice(5, 51, 0);
  ASSERT_NE(device, nullptr);
  m_system.AppendDevice(device);
  auto* amp = static_cast<CZelSeriesDevice*>(device);
  ModelChange(amp, CParamValue(kZelParamGain, GetZelGainStepValue(c.from), ParamKind::kLevel));
  ASSERT_EQ(amp->GetGainIndex(0), c.from);
  std::unique_ptr<CCustomControlObject> widget;
  if (c.knob) {
    auto knob = std::make_unique<CCCKnob>(&m_view, CRect{0, 0, 40, 40});
    knob->m_rangeMin = -60.0f;
    knob->m_rangeMax = 0.0f;
    knob->m_majorMarks = 12;
    knob->m_minorMarks = 10;  // half a dB a pixel
    widget = std::move(knob);
  } else {
    widget = std::make_unique<CCCTextControl>(&m_view, "Arial", 10.0f, kTextDefaultFlags | kTextDragEnabled,
                                              CRect{0, 0, 50, 20});
  }
  widget->m_pView = &m_view;
  widget->m_pDevice = amp;
  widget->m_parameterId = kZelParamGain;
  widget->m_lastInactive = 0;
  widget->OnParameterUpdate(amp->GetCurrentValue(kZelParamGain));
  Mouse(*widget, WM_LBUTTONDOWN, 20, 10);
  Mouse(*widget, WM_MOUSEMOVE, 20, 10 - c.pixels);
  EXPECT_EQ(amp->GetGainIndex(0), c.to);
}

INSTANTIATE_TEST_SUITE_P(
    Widgets, ZelGainDragTest,
    ::testing::Values(ZelDragCase{"TextUpFromMinus14", false, 13, 1, 12},
                      ZelDragCase{"TextDownFromMinus36", false, 24, -1, 25},
                      ZelDragCase{"TextDownFromMinus14", false, 13, -1, 14},
                      ZelDragCase{"TextUpFromMinus6", false, 6, 1, 5},
                      ZelDragCase{"TextUpFivePixelsFromMinus20", false, 16, 5, 14},
                      ZelDragCase{"KnobUpFromMinus14", true, 13, 1, 12},
                      ZelDragCase{"KnobDownFromMinus39", true, 25, -1, 26},
                      ZelDragCase{"KnobUpTenPixelsFromMinus6", true, 6, 10, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WidgetTest, EditorCommitsOncePerEditAndEscapeKeepsEverything) {
  auto text = std::make_unique<CCCTextControl>(&m_view, "Arial", 10.0f, kTextDefaultFlags, CRect{10, 10, 60, 30});
  m_device->Define(5, ParamKind::kDelay, 0.0f, 500.0f, 1.0f);
  Bind(*text, 5);
  text->m_caption = "1.0000ms";
  Mouse(*text, WM_LBUTTONDBLCLK, 20, 20);
  ASSERT_NE(m_view.editor, nullptr);
  EXPECT_EQ(m_view.editRect, (CRect{9, 9, 61, 31}));
  EXPECT_EQ(m_view.editText, "1.0000ms");
  EXPECT_EQ(m_view.editAlignment, 1);
  EXPECT_FALSE(m_view.editor->OnChar(U'k'));
  m_view.editText = "20ft";
  m_view.editor->OnKeyDown(13);
  EXPECT_EQ(text->m_caption, "20ft");
  ASSERT_EQ(m_device->applied.size(), 1u);
  EXPECT_FLOAT_EQ(m_device->applied[0].value, SnapDelayTime(float(20.0 / 1.126548232)));
  text->m_editor.OnKillFocus("again");  // the focus loss after the box is gone commits nothing
  EXPECT_EQ(m_device->applied.size(), 1u);

  Mouse(*text, WM_LBUTTONDBLCLK, 20, 20);
  m_view.editText = "99ms";
  m_view.editor->OnKeyDown(27);
  EXPECT_EQ(text->m_caption, "20ft");
  EXPECT_EQ(m_device->applied.size(), 1u);

  // After an Escape, a click elsewhere still commits the next edit.
  Mouse(*text, WM_LBUTTONDBLCLK, 20, 20);
  m_view.editText = "3ms";
  m_view.CloseTextEditor(m_view.editor);
  EXPECT_EQ(text->m_caption, "3ms");
  EXPECT_EQ(m_device->applied.size(), 2u);

  // Deleting the widget while its edit is open closes the box without a commit.
  Mouse(*text, WM_LBUTTONDBLCLK, 20, 20);
  m_view.editText = "7ms";
  const int closed = m_view.closed;
  text.reset();
  EXPECT_EQ(m_view.closed, closed + 1);
  EXPECT_EQ(m_view.editor, nullptr);
  EXPECT_EQ(m_device->applied.size(), 2u);
}

TEST_F(WidgetTest, TextFollowsReportsAndEmptyRecordsChangeNothing) {
  CCCTextControl text(&m_view, "Arial", 10.0f, kTextDefaultFlags, CRect{0, 0, 50, 20});
  m_device->Define(1, ParamKind::kLevel, -80.0f, 10.0f, -3.0f);
  Bind(text, 1);
  EXPECT_EQ(text.OnParameterUpdate(CParamValue{}), CRect{});
  EXPECT_EQ(text.m_caption, "Text");
  EXPECT_EQ(text.OnParameterUpdate(CParamValue(1, -3.0f, ParamKind::kLevel)), text.GetBoundsRect());
  EXPECT_EQ(text.m_caption, "-3.0 dB");
  EXPECT_EQ(text.OnParameterUpdate(CParamValue(1, -3.0f, ParamKind::kLevel)), CRect{});
}

// --- Pixels ---

class WidgetPixelsTest : public WidgetTest {
 protected:
  CImage Render(CCustomControlObject& widget, bool design, int w = 80, int h = 160) {
    CImage image(w, h);
    Graphics g(image);
    g.Clear(CColour{0xFF000028u});
    widget.Draw(g, CRect{0, 0, w, h}, design);
    if (const char* dir = std::getenv("ORVAK_WIDGET_IMAGES"))
      image.SavePng(std::string(dir) + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + "_" +
                    std::to_string(widget.GetControlType()) + (design ? "_design" : "_operate") + ".png");
    return image;
  }
  static int Red(CColour c) { return int((c.argb >> 16) & 0xFF); }
  static int Green(CColour c) { return int((c.argb >> 8) & 0xFF); }
  static int Blue(CColour c) { return int(c.argb & 0xFF); }
};

TEST_F(WidgetPixelsTest, BitmapWithoutImageShowsNoImageOnBlack) {
  CCCBitmap bitmap(&m_view, CRect{10, 10, 70, 70});
  for (bool design : {false, true}) {
    const CImage image = Render(bitmap, design);
    EXPECT_EQ(image.GetPixel(12, 12).argb, 0xFF000000u);
    int white = 0;
    for (int y = 10; y < 70; ++y)
      for (int x = 10; x < 70; ++x) white += Red(image.GetPixel(x, y)) > 200;
    EXPECT_GT(white, 20);
    EXPECT_EQ(image.GetPixel(5, 5).argb, 0xFF000028u);
  }
  CCCImage picture;
  CImage pixels(2, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x) pixels.SetPixel(x, y, CColour::FromRgb(0, 200, 0));
  picture.SetBitmap(pixels);
  bitmap.m_pImage = &picture;
  const CImage image = Render(bitmap, false);
  EXPECT_EQ(Green(image.GetPixel(40, 40)), 200);
  bitmap.m_imageUse = kImageUseFixToImage;
  const CImage fixed = Render(bitmap, false);
  EXPECT_EQ(Green(fixed.GetPixel(11, 11)), 200);
  EXPECT_EQ(fixed.GetPixel(40, 40).argb, 0xFF000028u);
}

// A picture that did not decode draws as no picture does: the bitmap's "No Image" on black, the
// button's face, the knob's body and the fader's own knob, in operate and design mode.
TEST_F(WidgetPixelsTest, APictureThatDidNotDecodeDrawsAsNoPicture) {
  CCCImage damaged;
  LoadDamagedPicture(damaged);
  CCCBitmap bitmap(&m_view, CRect{10, 10, 70, 70});
  CCCButton button(&m_view, CRect{10, 10, 70, 40});
  button.m_text = "Mute";
  button.m_flags |= kButtonFill | kButtonOutline;
  CCCKnob knob(&m_view, CRect{20, 20, 60, 60});
  CCCFader fader(&m_view, CRect{20, 10, 60, 150});
  fader.m_flags |= kFaderDrawSlot;
  const std::vector<std::pair<CCustomControlObject*, CCCImage**>> widgets = {
      {&bitmap, &bitmap.m_pImage}, {&button, &button.m_pImage}, {&knob, &knob.m_pImage}, {&fader, &fader.m_pKnobImage}};
  for (const auto& [widget, image] : widgets) {
    SCOPED_TRACE(widget->GetControlType());
    for (const bool design : {false, true}) {
      *image = nullptr;
      const CImage without = Render(*widget, design);
      *image = &damaged;
      const CImage with = Render(*widget, design);
      int differing = 0, drawn = 0;
      for (int y = 0; y < without.Height(); ++y)
        for (int x = 0; x < without.Width(); ++x) {
          differing += with.GetPixel(x, y) != without.GetPixel(x, y);
          drawn += without.GetPixel(x, y).argb != 0xFF000028u;
        }
      EXPECT_EQ(differing, 0) << (design ? "design" : "operate");
      EXPECT_GT(drawn, 100);
    }
  }
  EXPECT_FALSE(damaged.HasBitmap());
  EXPECT_TRUE(damaged.IsDamaged());
  // Nor does it tie the fader's handles to a knob picture of no pixels.
  EXPECT_EQ(fader.GetSizingMode(), 3u);
}

TEST_F(WidgetPixelsTest, ButtonLitUnlitAndDesignLooks) {
  CCCButton button(&m_view, CRect{10, 10, 70, 40});
  button.m_text = "Mute";
  button.m_flags |= kButtonHalo | kButtonFill;
  button.m_state = true;
  const CImage lit = Render(button, false);
  EXPECT_GT(Green(lit.GetPixel(9, 25)), 150);  // halo ring just outside
  EXPECT_EQ(Red(lit.GetPixel(40, 14)), 255);
  const CImage litDesign = Render(button, true);
  EXPECT_LT(Green(litDesign.GetPixel(9, 25)), 50);  // no halo in design mode
  button.m_flags &= ~kButtonHalo;
  button.m_state = false;
  const CImage unlit = Render(button, false);
  EXPECT_LT(Red(unlit.GetPixel(40, 14)), 220);  // shaded grey over the red fill
  EXPECT_GT(Green(unlit.GetPixel(40, 14)), 60);
  const CImage unlitDesign = Render(button, true);
  EXPECT_EQ(Red(unlitDesign.GetPixel(40, 14)), 255);
  EXPECT_EQ(Green(unlitDesign.GetPixel(40, 14)), 0);

  // The offset look moves the lit face and its halo one pixel right and down.
  button.m_flags |= kButtonHalo | kButtonOffset;
  button.m_state = true;
  const CImage offset = Render(button, false);
  int moved = 0;
  for (int y = 1; y < 50; ++y)
    for (int x = 1; x < 79; ++x) moved += offset.GetPixel(x + 1, y + 1) == lit.GetPixel(x, y);
  EXPECT_EQ(moved, 49 * 78);

  CCCLED led(&m_view, CRect{10, 10, 30, 30});
  led.m_state = true;
  const CImage ledOn = Render(led, false);
  EXPECT_EQ(Red(ledOn.GetPixel(20, 20)), 255);
  Render(led, true);
}

TEST_F(WidgetPixelsTest, FaderDrawsSlotKnobShadowAndScale) {
  CCCFader fader(&m_view, CRect{20, 10, 60, 150});
  m_device->Define(1, ParamKind::kLevel, -60.0f, 10.0f, 0.0f);
  Bind(fader, 1);
  fader.m_rangeMin = -60.0f;
  fader.m_rangeMax = 10.0f;
  fader.m_value = -60.0f;
  const CImage plain = Render(fader, false);
  const CRect knob = fader.GetKnobRect();
  EXPECT_EQ(Red(plain.GetPixel(knob.left + 5, knob.top + 5)), 255);   // the red knob body
  EXPECT_EQ(plain.GetPixel(40, 55).argb, 0xFF000000u);                // the black slot
  EXPECT_LT(Red(plain.GetPixel(knob.left + 10, knob.bottom + 1)), 60);  // the shadow
  fader.m_flags |= kFaderDrawScale;
  for (bool design : {false, true}) {
    const CImage scaled = Render(fader, design);
    int marks = 0;
    for (int y = 10; y < 150; ++y) marks += Red(scaled.GetPixel(37, y)) > 200 && Blue(scaled.GetPixel(37, y)) > 200;
    EXPECT_GT(marks, 5);
  }
  CCCFader across(&m_view, CRect{5, 40, 155, 80});
  across.m_flags |= kFaderHorizontal;
  Render(across, false, 160, 120);
}

TEST_F(WidgetPixelsTest, KnobDrawsBodyNotchAndLedRing) {
  CCCKnob knob(&m_view, CRect{20, 20, 60, 60});
  m_device->Define(1, ParamKind::kLevel, -10.0f, 10.0f, 0.0f);
  Bind(knob, 1);
  knob.m_flags |= kKnobDrawLeds | kKnobDrawScale;
  knob.m_value = 10.0f;
  for (bool design : {false, true}) {
    const CImage image = Render(knob, design, 80, 80);
    EXPECT_GT(Blue(image.GetPixel(40, 40)), 100);   // the blue body
    EXPECT_GT(Green(image.GetPixel(21, 40)), 150);  // a lit LED at the left (-90 degrees)
    EXPECT_GT(Red(image.GetPixel(43, 45)), 200);    // the white notch at +150 degrees
  }
}

// Knobs and buttons keep part of their drawing between draws: after each change that alters
// their look they draw exactly as a copy (which starts with nothing kept) does.
TEST_F(WidgetPixelsTest, KnobsAndButtonsDrawnAgainAfterAChangeLookLikeAFreshCopy) {
  auto expectLikeFresh = [this]<class W>(W& widget, const std::vector<std::function<void(W&)>>& changes) {
    for (std::size_t i = 0; i < changes.size(); ++i) {
      Render(widget, false, 80, 80);  // what it kept comes from before the change
      changes[i](widget);
      W fresh(widget);
      for (const bool design : {false, true}) {
        const CImage drawn = Render(widget, design, 80, 80);
        const CImage expected = Render(fresh, design, 80, 80);
        int differing = 0;
        for (int y = 0; y < 80; ++y)
          for (int x = 0; x < 80; ++x) differing += drawn.GetPixel(x, y) != expected.GetPixel(x, y);
        EXPECT_EQ(differing, 0) << "after change " << i << (design ? " in design mode" : "");
      }
    }
  };
  CCCKnob knob(&m_view, CRect{20, 20, 60, 60});
  knob.m_flags |= kKnobDrawLeds;
  knob.m_value = -10.0f;
  expectLikeFresh(knob, {
                            [](CCCKnob& k) { k.m_value = 10.0f; },
                            [](CCCKnob& k) { k.m_knobColour = CColour::FromRgb(128, 0, 0); },
                            [](CCCKnob& k) { k.m_ledColour = CColour::FromRgb(255, 255, 0); },
                            [](CCCKnob& k) { k.m_ledSize = 5; },
                            [](CCCKnob& k) { k.m_minAngle = -120; },
                            [](CCCKnob& k) { k.SetRect(10, 15, 60, 65); },
                            [](CCCKnob& k) { k.m_flags &= ~kKnobDrawLeds; },
                        });

  CCCButton button(&m_view, CRect{15, 25, 65, 45});
  button.m_flags |= kButtonFill | kButtonOutline | kButtonHalo;
  button.m_text = "Go";
  expectLikeFresh(button, {
                              [](CCCButton& b) { b.m_state = true; },
                              [](CCCButton& b) { b.m_haloSize = 3; },
                              [](CCCButton& b) { b.m_haloColour = CColour::FromRgb(0, 0, 255); },
                              [](CCCButton& b) { b.m_flags |= kButtonOffset; },
                              [](CCCButton& b) { b.m_fillColour = CColour::FromRgb(0, 90, 0); },
                              [](CCCButton& b) { b.m_outlineColour = CColour::FromRgb(9, 9, 9); },
                              [](CCCButton& b) { b.m_outlineWidth = 4; },
                              [](CCCButton& b) { b.m_cornerRadius = 2; },
                              [](CCCButton& b) { b.m_flags &= ~kButtonOutline; },
                              [](CCCButton& b) { b.SetRect(5, 5, 75, 30); },
                              [](CCCButton& b) { b.m_state = false; },
                          });
}

TEST_F(WidgetPixelsTest, TextDrawsCaptionOutlineAndMutedGainInRed) {
  CCCTextControl text(&m_view, "Arial", 10.0f, kTextDefaultFlags | kTextOutline, CRect{10, 10, 70, 30});
  for (bool design : {false, true}) {
    const CImage image = Render(text, design, 80, 40);
    EXPECT_GT(Red(image.GetPixel(40, 10)), 200);  // the outline
    int white = 0;
    for (int x = 20; x < 60; ++x) white += Green(image.GetPixel(x, 20)) > 150;
    EXPECT_GT(white, 2);
  }
  m_device->Define(1, ParamKind::kLevel, -80.0f, 10.0f, -80.0f, 0x2);
  Bind(text, 1);
  text.OnParameterUpdate(m_device->values[1]);
  EXPECT_EQ(text.m_caption, "Mute");
  const CImage muted = Render(text, false, 80, 40);
  int red = 0;
  for (int y = 12; y < 28; ++y)
    for (int x = 20; x < 60; ++x) red += Red(muted.GetPixel(x, y)) > 200 && Green(muted.GetPixel(x, y)) < 80;
  EXPECT_GT(red, 5);
}

}  // namespace
