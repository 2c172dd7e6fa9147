// The built-in widgets: drawn into the panel's back buffer and checked by pixels, and driven by
// mouse, wheel and key sequences that must send the right values to the device.
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <cstdlib>

#include "core/values/ValueCodes.h"
#include "tests/panels/PanelTestSupport.h"
#include "tests/support/ModelChanges.h"
#include "tests/support/WindowInput.h"

namespace {

bool Near(CColour c, std::uint32_t argb, int tolerance = 6) {
  const CColour e{argb};
  return std::abs(int(c.R()) - int(e.R())) <= tolerance && std::abs(int(c.G()) - int(e.G())) <= tolerance &&
         std::abs(int(c.B()) - int(e.B())) <= tolerance;
}

int BrightPixels(const CWidgetTestPanel& panel, const CRect& r) {
  int count = 0;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x)
      if (panel.Pixel(x, y).R() > 200 && panel.Pixel(x, y).G() > 200) ++count;
  return count;
}

void SendKey(QWidget* target, int key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QApplication::sendEvent(target, &press);
}

}  // namespace

using WidgetDrawingTest = PanelTest;

TEST_F(WidgetDrawingTest, Panel_DrawsBackgroundThenWidgetsByTheirState) {
  if (const char* path = std::getenv("ORVAK_SAVE_PANEL_PNG")) panel->GetBackBuffer()->SavePng(path);
  // Background where no widget lies.
  EXPECT_EQ(panel->Pixel(5, 190), CWidgetTestPanel::kBackground);
  // An unlit LED is veiled grey; a lit one shows its picture.
  EXPECT_FALSE(Near(panel->Pixel(35, 15), 0xFF00FF00u));
  ModelChange(device, MakeBoolParamValue(kPanelLed, true));
  EXPECT_TRUE(Near(panel->Pixel(35, 15), 0xFF00FF00u, 0));
  // A button picture is dimmed while unlit and full when lit.
  EXPECT_LT(panel->Pixel(55, 15).G(), 120);
  ModelChange(device, MakeBoolParamValue(kPanelButton, true));
  EXPECT_EQ(panel->Pixel(55, 15).G(), 255);
  // The combo box: its fill, its text in the text colour.
  EXPECT_TRUE(Near(panel->Pixel(131, 126), 0xFF303030u, 0));
  EXPECT_EQ(panel->combo->GetCurText(), "Slow");
  EXPECT_GT(BrightPixels(*panel, panel->combo->GetRect()), 10);
  // The value text.
  EXPECT_EQ(panel->gainText->GetText(), "-6.0 dB");
  EXPECT_GT(BrightPixels(*panel, panel->gainText->GetRect()), 10);
}

TEST_F(WidgetDrawingTest, Meter_LightsTheShareOfItsPictureTheLevelCovers) {
  // Level -20 between floor -40 and top 0: the lower half lit, the upper half dim.
  ModelChange(device, CParamValue(kPanelMeter, -20.0f, ParamKind::kLevel));
  EXPECT_EQ(panel->meter->GetLevel(), -20);
  EXPECT_EQ(panel->Pixel(105, 139).R(), 255);
  EXPECT_EQ(panel->Pixel(105, 91).R(), 255);
  EXPECT_LT(panel->Pixel(105, 89).R(), 80);
  EXPECT_LT(panel->Pixel(105, 41).R(), 80);
  // Limited to the top; DrawLevel only redraws a changed level.
  panel->meter->SetLevel(12);
  EXPECT_EQ(panel->meter->GetLevel(), 0);
  CRect out;
  EXPECT_TRUE(panel->meter->DrawLevel(out, *panel->GetBackBufferGraphics(), false));
  EXPECT_EQ(out, panel->meter->GetRect());
  EXPECT_EQ(panel->Pixel(105, 41).R(), 255);
  panel->meter->m_mode = 0;
  panel->meter->SetLevel(0);
  EXPECT_FALSE(panel->meter->DrawLevel(out, *panel->GetBackBufferGraphics(), false));
  // A gain-reduction meter lights from the top down.
  panel->meter->m_mode = kMeterGainReduction;
  panel->meter->SetLevel(-10);
  EXPECT_EQ(panel->meter->LitHeight(-10), 25);
  panel->meter->DrawLevel(out, *panel->GetBackBufferGraphics(), true);
  EXPECT_EQ(panel->Pixel(105, 41).R(), 255);
  EXPECT_LT(panel->Pixel(105, 139).R(), 80);
}

TEST_F(WidgetDrawingTest, FaderAndKnob_DrawTheirValuePositions) {
  // -20 in -60..10 on a 100-pixel travel: the cap's centre at y 88.
  EXPECT_EQ(panel->fader->ValueToY(-20.0f), 88);
  EXPECT_TRUE(Near(panel->Pixel(11, 88), 0xFFE0E0E0u, 0));
  EXPECT_FALSE(Near(panel->Pixel(11, 60), 0xFFE0E0E0u));
  EXPECT_EQ(panel->fader->ValueToY(10.0f), 45);
  EXPECT_EQ(panel->fader->ValueToY(-60.0f), 145);
  // Knob ticks are lit from the minimum angle up to the value's angle only.
  EXPECT_FLOAT_EQ(panel->knob->ValueToAngle(-60.0f), -150.0f);
  EXPECT_FLOAT_EQ(panel->knob->ValueToAngle(-30.0f), 0.0f);
  const CColour tick{panel->knob->m_colour};
  // Straight up (0 degrees) is lit at -30; straight right (90 degrees) is not.
  bool litTop = false, litRight = false;
  for (int y = 41; y < 46; ++y) litTop = litTop || Near(panel->Pixel(60, y), tick.argb, 60);
  for (int x = 75; x < 80; ++x) litRight = litRight || Near(panel->Pixel(x, 60), tick.argb, 60);
  EXPECT_TRUE(litTop);
  EXPECT_FALSE(litRight);
}

TEST_F(WidgetDrawingTest, DisabledWidget_IsGreyedAndIgnoresTheMouse) {
  const CColour before = panel->Pixel(11, 88);
  panel->fader->SetEnabled(false);
  panel->RedrawRect(nullptr, true, true);
  EXPECT_LT(panel->Pixel(11, 88).R(), before.R());
  Press(17, 140);
  Release(17, 140);
  EXPECT_TRUE(Applied().empty());
}

using WidgetMouseTest = PanelTest;

TEST_F(WidgetMouseTest, Fader_DragFromTheCapClickOnTheTrackWheelAndKeys) {
  // A press on the cap moves nothing; the drag keeps the grab offset.
  Press(17, 90);
  EXPECT_TRUE(Applied().empty());
  EXPECT_EQ(panel->GetActiveObject(), panel->fader);
  Move(17, 80);
  ASSERT_EQ(Applied().size(), 1u);
  EXPECT_EQ(Applied().back().id, kPanelFader);
  EXPECT_EQ(Applied().back().kind, ParamKind::kLevel);
  EXPECT_FLOAT_EQ(Applied().back().value, panel->fader->YToValue(78));
  // The active fader keeps the drag when the pointer leaves it, and stops at its ends.
  Move(200, 10);
  EXPECT_FLOAT_EQ(Applied().back().value, 10.0f);
  Release(200, 10);
  EXPECT_EQ(panel->GetActiveObject(), nullptr);
  EXPECT_EQ(panel->GetPreviousActiveObject(), panel->fader);
  // A press on the track jumps there.
  Applied().clear();
  Press(17, 145);
  Release(17, 145);
  ASSERT_EQ(Applied().size(), 1u);
  EXPECT_FLOAT_EQ(Applied().back().value, -60.0f);
  // Wheel and keys move a nudge step.
  Wheel(17, 100, 240);
  EXPECT_FLOAT_EQ(Applied().back().value, -59.0f);
  EXPECT_TRUE(panel->DispatchKeyDown(VK_UP, 0));
  EXPECT_FLOAT_EQ(Applied().back().value, -58.5f);
  EXPECT_TRUE(panel->DispatchKeyDown(VK_NEXT, 0));
  EXPECT_FLOAT_EQ(Applied().back().value, -60.0f);
}

TEST_F(WidgetMouseTest, Knob_VerticalDragAndWheelChangeTheValueWithinItsRange) {
  Press(60, 60);
  Move(60, 50);
  ASSERT_EQ(Applied().size(), 1u);
  EXPECT_EQ(Applied().back().id, kPanelKnob);
  EXPECT_FLOAT_EQ(Applied().back().value, -20.0f);
  Move(60, 0);
  EXPECT_FLOAT_EQ(Applied().back().value, 0.0f);
  Move(60, 200);
  EXPECT_FLOAT_EQ(Applied().back().value, -60.0f);
  Release(60, 200);
  Wheel(60, 60, 360);
  EXPECT_FLOAT_EQ(Applied().back().value, -57.0f);
}

TEST_F(WidgetMouseTest, Buttons_ToggleOrSendTrueOnEachPress) {
  Press(55, 15);
  Release(55, 15);
  Press(55, 15);
  Release(55, 15);
  ASSERT_EQ(Applied().size(), 2u);
  EXPECT_EQ(Applied()[0].kind, ParamKind::kBool);
  EXPECT_TRUE(BoolOf(Applied()[0]));
  EXPECT_FALSE(BoolOf(Applied()[1]));
  Applied().clear();
  Press(75, 15);
  Release(75, 15);
  Press(75, 15);
  Release(75, 15);
  ASSERT_EQ(Applied().size(), 2u);
  EXPECT_TRUE(BoolOf(Applied()[0]));
  EXPECT_TRUE(BoolOf(Applied()[1]));
  // A button that ignores presses sends nothing.
  auto* dead = new CBmpButton(panel, 40, nullptr, CRect{0, 150, 20, 170}, kButtonIgnorePress);
  panel->AddControl(dead);
  Applied().clear();
  Press(5, 160);
  EXPECT_TRUE(Applied().empty());
}

TEST_F(WidgetMouseTest, ButtonAlphaHit_OnlyOpaquePixelsTakeTheClick) {
  CBitmapImage ring;
  ring.CreateBlank(10, 10);
  ring.GetImage()->SetPixel(1, 1, CColour{0xFFFFFFFFu});
  auto* button = new CBmpButton(panel, 41, &ring, CRect{0, 150, 10, 160}, kButtonAlphaHit);
  panel->AddControl(button);
  EXPECT_TRUE(button->HitTest(1, 151));
  EXPECT_FALSE(button->HitTest(5, 155));
  EXPECT_EQ(panel->HitTest(5, 155), nullptr);
}

TEST_F(WidgetMouseTest, HitTest_TakesTheLastVisibleWidgetAndHiddenOnesLetThrough) {
  auto* over = new CBmpButton(panel, 42, nullptr, CRect{10, 40, 24, 150}, 0);
  panel->AddControl(over);
  Press(17, 145);
  Release(17, 145);
  ASSERT_EQ(Applied().size(), 1u);
  EXPECT_EQ(Applied()[0].id, 42);
  over->SetVisible(false);
  Press(17, 145);
  Release(17, 145);
  EXPECT_EQ(Applied().back().id, kPanelFader);
  // A static picture holds the clicks in its area without acting.
  Applied().clear();
  Press(280, 180);
  Release(280, 180);
  EXPECT_TRUE(Applied().empty());
  EXPECT_EQ(panel->HitTest(280, 180), panel->cover);
}

TEST_F(WidgetMouseTest, Combo_DropDownChoiceAndWheelSendTheItemValue) {
  Press(140, 115);
  QListWidget* list = panel->GetDropDown();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->count(), 3);
  EXPECT_EQ(list->currentRow(), 1);
  panel->CloseDropDown(2);
  EXPECT_EQ(panel->GetDropDown(), nullptr);
  ASSERT_EQ(Applied().size(), 1u);
  EXPECT_EQ(Applied()[0].kind, ParamKind::kInteger);
  EXPECT_EQ(Applied()[0].integer, 9);
  EXPECT_EQ(panel->combo->GetCurText(), "Fast");
  // The wheel towards the user steps down the list, away from him up; it stops at the ends.
  Wheel(140, 115, 120);
  EXPECT_EQ(Applied().back().integer, 4);
  Wheel(140, 115, 360);
  EXPECT_EQ(Applied().back().integer, 0);
  // A value without an item chooses nothing.
  ModelChange(device, MakeIntParamValue(kPanelCombo, 5));
  EXPECT_EQ(panel->combo->GetCurSel(), -1);
  // Escape closes the list without a choice.
  Applied().clear();
  Press(140, 115);
  ASSERT_NE(panel->GetDropDown(), nullptr);
  SendKey(panel->GetDropDown(), Qt::Key_Escape);
  EXPECT_EQ(panel->GetDropDown(), nullptr);
  EXPECT_TRUE(Applied().empty());
}

TEST_F(WidgetMouseTest, WindowEvents_ReachTheWidgetsAsMouseMessages) {
  auto send = [&](QEvent::Type type, int x, int y, Qt::MouseButton button, Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(x, y), panel->mapToGlobal(QPointF(x, y)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(panel, &event);
  };
  send(QEvent::MouseButtonPress, 60, 60, Qt::LeftButton, Qt::LeftButton);
  send(QEvent::MouseMove, 60, 55, Qt::NoButton, Qt::LeftButton);
  send(QEvent::MouseButtonRelease, 60, 55, Qt::LeftButton, Qt::NoButton);
  ASSERT_EQ(Applied().size(), 1u);
  EXPECT_FLOAT_EQ(Applied()[0].value, -25.0f);
  QWheelEvent wheel(QPointF(60, 60), panel->mapToGlobal(QPointF(60, 60)), QPoint(), QPoint(0, 120), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(panel, &wheel);
  EXPECT_FLOAT_EQ(Applied().back().value, -24.0f);
}

TEST_F(WidgetMouseTest, ButtonHighlight_FollowsThePointerInAndOut) {
  auto move = [&](int x, int y) {
    QMouseEvent event(QEvent::MouseMove, QPointF(x, y), panel->mapToGlobal(QPointF(x, y)), Qt::NoButton, Qt::NoButton,
                      Qt::NoModifier);
    QApplication::sendEvent(panel, &event);
  };
  const CColour plain = panel->Pixel(60, 20);
  move(55, 15);
  EXPECT_TRUE(panel->button->IsHot());
  EXPECT_NE(panel->Pixel(60, 20), plain);
  move(5, 190);
  EXPECT_FALSE(panel->button->IsHot());
  EXPECT_EQ(panel->Pixel(60, 20), plain);
  EXPECT_TRUE(Applied().empty());
}

using TextEditorTest = PanelTest;

TEST_F(TextEditorTest, DoubleClick_OpensTheEditorAndEnterCommitsTheValue) {
  panel->DispatchMouseMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, 150, 50);
  QLineEdit* editor = panel->GetInPlaceEditor();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->text().toStdString(), "-6.0 dB");
  editor->setText("3.5");
  SendKey(editor, Qt::Key_Return);
  EXPECT_EQ(panel->GetInPlaceEditor(), nullptr);
  ASSERT_EQ(Applied().size(), 1u);
  EXPECT_EQ(Applied()[0].id, kTestGain);
  EXPECT_EQ(Applied()[0].kind, ParamKind::kLevel);
  EXPECT_FLOAT_EQ(Applied()[0].value, 3.5f);
  EXPECT_EQ(panel->gainText->GetText(), "3.5 dB");
}

TEST_F(TextEditorTest, EscapeCancelsAndGarbageChangesNothing) {
  panel->DispatchMouseMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, 150, 50);
  ASSERT_NE(panel->GetInPlaceEditor(), nullptr);
  panel->GetInPlaceEditor()->setText("12");
  SendKey(panel->GetInPlaceEditor(), Qt::Key_Escape);
  EXPECT_EQ(panel->GetInPlaceEditor(), nullptr);
  EXPECT_TRUE(Applied().empty());
  EXPECT_EQ(panel->gainText->GetText(), "-6.0 dB");
  panel->DispatchMouseMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, 150, 50);
  panel->GetInPlaceEditor()->setText("loud");
  panel->EndTextEdit(true);
  EXPECT_TRUE(Applied().empty());
  // A text that is not editable opens no editor.
  panel->gainText->SetEditable(false);
  panel->DispatchMouseMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, 150, 50);
  EXPECT_EQ(panel->GetInPlaceEditor(), nullptr);
}

// Typing stops at the name's sixteen characters and Backspace still works there; a paste goes
// in whole, for the device to refuse in words rather than the box to cut without one.
TEST_F(TextEditorTest, NameEditor_TakesSixteenTypedCharactersAPasteWholeAndSendsText) {
  panel->DispatchMouseMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, 150, 70);
  QLineEdit* editor = panel->GetInPlaceEditor();
  ASSERT_NE(editor, nullptr);
  editor->clear();
  TypeKeys(*editor, QStringLiteral("Front Fill Left Upper"));
  EXPECT_EQ(editor->text(), QStringLiteral("Front Fill Left "));
  SendKey(editor, Qt::Key_Backspace);
  EXPECT_EQ(editor->text(), QStringLiteral("Front Fill Left"));
  editor->selectAll();
  QApplication::clipboard()->setText(QStringLiteral("Front Fill Left Upper"));
  editor->paste();
  EXPECT_EQ(editor->text(), QStringLiteral("Front Fill Left Upper"));
  editor->setText("Front Fill");
  panel->EndTextEdit(true);
  ASSERT_EQ(Applied().size(), 1u);
  EXPECT_EQ(Applied()[0].kind, ParamKind::kText);
  EXPECT_EQ(Applied()[0].text, "Front Fill");
  EXPECT_EQ(panel->label->GetText(), "Front Fill");
}

struct DelayCase {
  const char* name;
  std::uint32_t unit;
  const char* shown;   // 1 ms in the unit
  const char* typed;
  float ms;            // what the device receives
};

class DelayUnitTest : public PanelTest, public ::testing::WithParamInterface<DelayCase> {};

TEST_P(DelayUnitTest, ReadoutShowsAndEditorReadsTheUnit) {
  const DelayCase& c = GetParam();
  if (c.unit == kTextDelayMetres) panel->delayText->SetDelayUnitMetres();
  if (c.unit == kTextDelayFeet) panel->delayText->SetDelayUnitFeet();
  EXPECT_EQ(panel->delayText->GetDelayUnit(), c.unit);
  EXPECT_EQ(panel->delayText->GetFormatFlags() & (kTextDelayMs | kTextDelayMetres | kTextDelayFeet), c.unit);
  panel->delayText->UpdateFromParameter(device->GetCurrentValue(kPanelDelay));
  EXPECT_EQ(panel->delayText->GetText(), c.shown);
  panel->DispatchMouseMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, 150, 90);
  ASSERT_NE(panel->GetInPlaceEditor(), nullptr);
  panel->GetInPlaceEditor()->setText(c.typed);
  panel->EndTextEdit(true);
  ASSERT_EQ(Applied().size(), 1u);
  EXPECT_EQ(Applied()[0].kind, ParamKind::kDelay);
  EXPECT_NEAR(Applied()[0].value, c.ms, 0.001f);
}

INSTANTIATE_TEST_SUITE_P(Units, DelayUnitTest,
                         ::testing::Values(DelayCase{"Ms", kTextDelayMs, "1.0000ms", "2.5", 2.5f},
                                           DelayCase{"Metres", kTextDelayMetres, "0.343m", "3.4337189", 10.0f},
                                           DelayCase{"Feet", kTextDelayFeet, "1.13ft", "1.126548232", 1.0f},
                                           DelayCase{"TypedUnitWins", kTextDelayFeet, "1.13ft", "5ms", 5.0f}),
                         [](const ::testing::TestParamInfo<DelayCase>& info) { return info.param.name; });

TEST_F(TextEditorTest, Wheel_NudgesTheValueByKindAndStep) {
  // A fine level readout moves 0.1 dB a notch.
  Wheel(150, 50, 120);
  ASSERT_EQ(Applied().size(), 1u);
  EXPECT_NEAR(Applied()[0].value, -5.9f, 1e-5f);
  // A delay readout moves by the step its nudge index chooses (1 ms for index 2).
  panel->delayText->SetNudgeStep(2);
  Wheel(150, 90, -120);
  EXPECT_EQ(Applied().back().id, kPanelDelay);
  EXPECT_NEAR(Applied().back().value, 0.0f, 1e-6f);
  Wheel(150, 90, 240);
  EXPECT_NEAR(Applied().back().value, 2.0f, 1e-5f);
  // A frequency moves by frequency codes; a text without the wheel flag ignores it.
  panel->gainText->SetFormatFlags(kTextCentre | kTextWheelNudge);
  device->values[kTestGain] = CParamValue(kTestGain, 1000.0f, ParamKind::kFrequency);
  Wheel(150, 50, 120);
  EXPECT_NEAR(Applied().back().value, IndexToFreq(FreqToIndex(1000.0f) + 1), 0.01f);
  const std::size_t count = Applied().size();
  Wheel(150, 70, 120);
  EXPECT_EQ(Applied().size(), count);
}

struct FormatCase {
  const char* name;
  std::uint32_t flags;
  CParamValue value;
  const char* text;
};

class TextFormatTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(TextFormatTest, ValueIsShownByItsKindAndTheFlags) {
  const FormatCase& c = GetParam();
  CTextControl text(nullptr, 1, false, "DejaVu Sans", 8.0f, 0xFFFFFFFFu, c.flags, CRect{0, 0, 60, 15});
  text.SetText("before");
  EXPECT_EQ(text.FormatValue(c.value), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, TextFormatTest,
    ::testing::Values(FormatCase{"Level", 0x105, CParamValue(1, -6.25f, ParamKind::kLevel), "-6.2 dB"},
                      FormatCase{"WholeDb", 0x146D, CParamValue(1, -3.0f, ParamKind::kLevel), "-3dB"},
                      FormatCase{"HalfDb", 0x146D, CParamValue(1, -3.5f, ParamKind::kLevel), "-3.5dB"},
                      FormatCase{"Frequency", 0x106D, CParamValue(1, 1000.0f, ParamKind::kFrequency), "1k 00 Hz"},
                      FormatCase{"DelayFeet", kTextDelayFeet, CParamValue(1, 10.0f, ParamKind::kDelay), "11.27ft"},
                      FormatCase{"Ratio", 0x116D, CParamValue(1, 4.0f, ParamKind::kRatio), "4.0:1"},
                      FormatCase{"Time", 0x116D, CParamValue(1, 12.5f, ParamKind::kTime), "12.5ms"},
                      FormatCase{"Bool", 0, MakeBoolParamValue(1, true), "On"},
                      FormatCase{"Integer", 0, MakeIntParamValue(1, 42), "42"},
                      FormatCase{"Text", 0, MakeTextParamValue(1, "Sub L"), "Sub L"},
                      FormatCase{"NoneKeepsTheText", 0, MakeNoParamValue(), "before"}),
    [](const ::testing::TestParamInfo<FormatCase>& info) { return info.param.name; });
