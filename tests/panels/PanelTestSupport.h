// A device panel built for the framework's tests: one widget of every kind over a plain
// background, pictures drawn in code, the context menu and tooltips recorded.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <memory>
#include <string>
#include <vector>

#include "core/draw/BitmapImage.h"
#include "core/model/DeviceMenu.h"
#include "core/system/System.h"
#include "panels/framework/BitmapFader.h"
#include "panels/framework/BitmapMeter.h"
#include "panels/framework/BitmapObject.h"
#include "panels/framework/BmpButton.h"
#include "panels/framework/ControlPanelWnd.h"
#include "panels/framework/CustomComboBox.h"
#include "panels/framework/Knob.h"
#include "panels/framework/TextControl.h"
#include "platform/Image.h"
#include "platform/MouseMessages.h"
#include "tests/support/TestDevices.h"

// Parameter ids the test panel binds besides the test device's own.
enum : int {
  kPanelFader = 10,
  kPanelKnob = 11,
  kPanelButton = 12,
  kPanelMomentary = 13,
  kPanelMeter = 14,
  kPanelCombo = 15,
  kPanelDelay = 16,
  kPanelFreq = 17,
  kPanelLed = 18,
};

// A picture of one colour.
inline CBitmapImage* MakeSolidImage(int width, int height, CColour colour) {
  auto* image = new CBitmapImage;
  image->CreateBlank(width, height);
  image->GetImage()->Fill(colour);
  return image;
}

class CWidgetTestPanel : public CControlPanelWnd {
 public:
  static constexpr int kWidth = 300;
  static constexpr int kHeight = 200;
  static constexpr CColour kBackground = CColour{0xFF202840u};

  CWidgetTestPanel() {
    m_background = MakeSolidImage(kWidth, kHeight, kBackground);
    m_led = MakeSolidImage(12, 12, CColour{0xFF00FF00u});
    m_cap = MakeSolidImage(14, 10, CColour{0xFFE0E0E0u});
    m_meterImage = MakeSolidImage(10, 100, CColour{0xFFFF0000u});
  }
  ~CWidgetTestPanel() override {
    // The pictures are the test's own, not the panel's.
    SetBackgroundImage(nullptr);
    for (CBitmapImage* image : {m_background, m_led, m_cap, m_meterImage}) DeleteImage(image);
  }

  static CControlPanelWnd* CreateObject() { return new CWidgetTestPanel; }

  bool Create() override {
    ++createCount;
    SetBackgroundImage(m_background);
    picture = Add(new CBitmapObject(this, 0, m_led, CRect{10, 10, 22, 22}));
    led = Add(new CBitmapLED(this, kPanelLed, m_led, CRect{30, 10, 42, 22}, false));
    button = Add(new CBmpButton(this, kPanelButton, m_led, CRect{50, 10, 62, 22}, 0));
    momentary = Add(new CBmpButton(this, kPanelMomentary, m_led, CRect{70, 10, 82, 22}, kButtonMomentary));
    fader = Add(new CBitmapFader(this, kPanelFader, m_cap, kFaderChannelGain, CRect{10, 40, 24, 150}));
    fader->m_minimum = -60.0f;
    fader->m_maximum = 10.0f;
    fader->m_nudgeStep = 0.5f;
    knob = Add(new CKnob(this, kPanelKnob, CRect{40, 40, 80, 80}));
    knob->m_minimum = -60;
    knob->m_maximum = 0;
    knob->m_tickLength = 3;
    meter = Add(new CBitmapMeter(this, kPanelMeter, m_meterImage, CRect{100, 40, 110, 140}, 0, 0, -40));
    gainText = Add(new CTextControl(this, kTestGain, true, "DejaVu Sans", 9.0f, 0xFFFFFFFFu,
                                    kTextCentre | kTextVCentre | kTextSingleLine | kTextWheelNudge | kTextFineNudge,
                                    CRect{130, 40, 200, 58}));
    label = Add(new CTextControl(this, kTestLabel, true, "DejaVu Sans", 9.0f, 0xFFFFFFFFu, kTextVCentre,
                                 CRect{130, 60, 290, 78}));
    label->SetMaxLength(16);
    delayText = Add(new CTextControl(this, kPanelDelay, true, "DejaVu Sans", 9.0f, 0xFFFFFFFFu,
                                     0x10E5 | kTextDelayMs, CRect{130, 80, 200, 98}));
    combo = Add(new CCustomComboBox(this, kPanelCombo, CRect{130, 110, 250, 128}));
    combo->GetTextStyle().Set("DejaVu Sans", 9.0f, CColour{0xFFFFFFFFu});
    combo->m_colour1 = 0xFF303030u;
    combo->m_colour2 = 0xFF909090u;
    combo->AddItem("Off", 0);
    combo->AddItem("Slow", 4);
    combo->AddItem("Fast", 9);
    // Above everything in its corner: it takes the clicks there.
    cover = Add(new CBitmapObject(this, 0, m_led, CRect{270, 170, 290, 190}));
    AddToolTip(7, CRect{10, 40, 24, 150});
    return true;
  }

  void UpdateAllControls() override {
    ++updateAllCount;
    CreateBackBuffer(kWidth, kHeight);
    ReloadAllControls();
  }

  std::string GetToolTipText(int toolId) override { return toolId == 7 ? "Fader" : std::string(); }
  void OnTimer(std::uint32_t id) override { ticks.push_back(id); }
  void OnRightClick(int x, int y) override { rightClicks.push_back(CPoint{x, y}); }

  // The back buffer's pixel.
  CColour Pixel(int x, int y) const { return GetBackBuffer()->GetPixel(x, y); }

  CBitmapObject* picture = nullptr;
  CBitmapLED* led = nullptr;
  CBmpButton* button = nullptr;
  CBmpButton* momentary = nullptr;
  CBitmapFader* fader = nullptr;
  CKnob* knob = nullptr;
  CBitmapMeter* meter = nullptr;
  CTextControl* gainText = nullptr;
  CTextControl* label = nullptr;
  CTextControl* delayText = nullptr;
  CCustomComboBox* combo = nullptr;
  CBitmapObject* cover = nullptr;

  int createCount = 0;
  int updateAllCount = 0;
  std::vector<std::uint32_t> ticks;
  std::vector<CPoint> rightClicks;
  std::vector<std::vector<std::uint32_t>> menus;  // the item ids of each menu shown
  std::uint32_t menuChoice = 0;

 protected:
  std::uint32_t TrackPopupMenu(const CMenu& menu, const QPoint& globalPos) override {
    (void)globalPos;
    std::vector<std::uint32_t> ids;
    for (int i = 0; i < menu.GetItemCount(); ++i) ids.push_back(menu.GetItemId(i));
    menus.push_back(ids);
    return menuChoice;
  }

 private:
  template <class T>
  T* Add(T* control) {
    AddControl(control);
    return control;
  }

  CBitmapImage* m_background;
  CBitmapImage* m_led;
  CBitmapImage* m_cap;
  CBitmapImage* m_meterImage;
};

// A test device with its panel open on it (no frame).
class PanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    device = new CTestDevice(&system, 1);
    system.AppendDevice(device);
    device->values[kTestGain] = CParamValue(kTestGain, -6.0f, ParamKind::kLevel);
    device->values[kTestLabel] = MakeTextParamValue(kTestLabel, "Left");
    device->values[kPanelFader] = CParamValue(kPanelFader, -20.0f, ParamKind::kLevel);
    device->values[kPanelKnob] = CParamValue(kPanelKnob, -30.0f, ParamKind::kLevel);
    device->values[kPanelButton] = MakeBoolParamValue(kPanelButton, false);
    device->values[kPanelCombo] = MakeIntParamValue(kPanelCombo, 4);
    device->values[kPanelDelay] = CParamValue(kPanelDelay, 1.0f, ParamKind::kDelay);
    panel = new CWidgetTestPanel;
    panel->SetDevice(device);
    device->SetControlPanel(panel);
    ASSERT_TRUE(panel->Create());
    panel->UpdateAllControls();
    panel->setFixedSize(CWidgetTestPanel::kWidth, CWidgetTestPanel::kHeight);
    panel->show();
    QApplication::processEvents();
    device->applied.clear();
  }
  void TearDown() override { delete panel; }

  // Mouse messages as the window hands them on.
  void Press(int x, int y) { panel->DispatchMouseMessage(WM_LBUTTONDOWN, MK_LBUTTON, x, y); }
  void Move(int x, int y) { panel->DispatchMouseMessage(WM_MOUSEMOVE, MK_LBUTTON, x, y); }
  void Release(int x, int y) { panel->DispatchMouseMessage(WM_LBUTTONUP, 0, x, y); }
  void Wheel(int x, int y, int delta) {
    panel->DispatchMouseMessage(WM_MOUSEWHEEL, std::uint32_t(std::int32_t(delta)), x, y);
  }
  // The values the device received.
  std::vector<CParamValue>& Applied() { return device->applied; }

  CSystem system;
  CTestDevice* device = nullptr;
  CWidgetTestPanel* panel = nullptr;
};
