// The Zel breakout box's control panel on a box made by the factory: its widgets by channel
// count, what it shows of the box, and controls that reach the box. Set ORVAK_TILE_PNG_DIR to
// keep the renderings for a look.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <cstdlib>

#include "core/model/DeviceProperty.h"
#include "core/system/System.h"
#include "devices/amplifier/AmplifierFamilies.h"
#include "devices/amplifier/ZelBreakDevice.h"
#include "panels/framework/BitmapObject.h"
#include "panels/framework/BmpButton.h"
#include "panels/framework/Knob.h"
#include "panels/PanelClasses.h"
#include "panels/framework/TextControl.h"
#include "panels/amplifier/ZelBreakControlPanel.h"
#include "platform/Image.h"
#include "platform/MouseMessages.h"
#include "tests/support/CollectingGrid.h"
#include "tests/support/ModelChanges.h"

namespace {

class ZelBreakPanelTest : public ::testing::TestWithParam<std::uint32_t> {
 protected:
  void SetUp() override {
    RegisterAmplifierFamilies();
    RegisterDevicePanelClasses();
    box = static_cast<CZelBreakDevice*>(system.CreateDevice(7, GetParam(), 0));
    system.AppendDevice(box);
    NameDevice(box, "Stage Left");
    ModelChange(box, CParamValue(kBreakParamGain + 1, -6.0f, ParamKind::kLevel));
    ModelChange(box, MakeBoolParamValue(kBreakParamMute + 2, true));
    ModelChange(box, MakeTextParamValue(kBreakParamChannelName, "Kick"));
    panel = static_cast<CZelBreakControlPanel*>(CreateControlPanel(box->GetControlPanelClass()));
    ASSERT_NE(panel, nullptr);
    panel->SetDevice(box);
    box->SetControlPanel(panel);
    ASSERT_TRUE(panel->Create());
    panel->UpdateAllControls();
    panel->setFixedSize(CZelBreakControlPanel::kWidth, CZelBreakControlPanel::kHeight);
    panel->show();
    QApplication::processEvents();
  }
  void TearDown() override {
    box->SetControlPanel(nullptr);
    delete panel;
  }
  template <class T>
  T* Find(int id) const {
    for (CControlObject* control : panel->GetControls())
      if (control->GetId() == id)
        if (auto* widget = dynamic_cast<T*>(control)) return widget;
    return nullptr;
  }
  void Keep(const std::string& name) const {
    if (const char* dir = std::getenv("ORVAK_TILE_PNG_DIR"))
      panel->GetBackBuffer()->SavePng(std::string(dir) + "/" + name);
  }
  int Bright(const CRect& area) const {
    int n = 0;
    for (int y = area.top; y < area.bottom; ++y)
      for (int x = area.left; x < area.right; ++x) {
        const CColour c = panel->GetBackBuffer()->GetPixel(x, y);
        n += c.R() > 180 && c.G() > 180 && c.B() > 180;
      }
    return n;
  }

  CSystem system;
  CZelBreakDevice* box = nullptr;
  CZelBreakControlPanel* panel = nullptr;
};

TEST_P(ZelBreakPanelTest, ShowsTheBoxAndEveryChannel) {
  Keep("zel_break_panel_" + std::to_string(GetParam()) + ".png");
  const int channels = box->GetChannelCount();
  EXPECT_EQ(panel->GetChannelCount(), channels);
  EXPECT_EQ(box->GetPanelSize(), (CSize{CZelBreakControlPanel::kWidth, CZelBreakControlPanel::kHeight}));
  for (int c = 0; c < channels; ++c) {
    ASSERT_NE(Find<CKnob>(kBreakParamGain + c), nullptr) << c;
    ASSERT_NE(Find<CBmpButton>(kBreakParamMute + c), nullptr) << c;
    ASSERT_NE(Find<CTextControl>(kBreakParamChannelName + c), nullptr) << c;
  }
  EXPECT_EQ(Find<CKnob>(kBreakParamGain + channels), nullptr);
  EXPECT_EQ(Find<CTextControl>(kBreakParamBoxName)->GetText(), "Stage Left");
  EXPECT_EQ(panel->GetModelText()->GetText(), box->GetModelName() + "   ID 7");
  EXPECT_EQ(Find<CTextControl>(kBreakParamChannelName)->GetText(), "Kick");
  EXPECT_FLOAT_EQ(Find<CKnob>(kBreakParamGain + 1)->GetValue(), -6.0f);
  EXPECT_TRUE(Find<CBmpButton>(kBreakParamMute + 2)->IsLit());
  EXPECT_FALSE(Find<CBmpButton>(kBreakParamMute)->IsLit());
  EXPECT_GT(Bright(CRect{14, 6, 160, 26}), 30);  // the box name
  EXPECT_GT(Bright(CRect{170, 4, 880, 18}), 30);  // the channel names
}

TEST_P(ZelBreakPanelTest, ControlsReachTheBoxAndTheBoxReachesThem) {
  CBmpButton* mute = Find<CBmpButton>(kBreakParamMute);
  const CRect r = mute->GetRect();
  panel->DispatchMouseMessage(WM_LBUTTONDOWN, MK_LBUTTON, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
  panel->DispatchMouseMessage(WM_LBUTTONUP, 0, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
  EXPECT_EQ(box->GetMuteMask(), 0x05u);
  EXPECT_TRUE(mute->IsLit());
  // A reply that changes the box refreshes the panel through the status hint.
  ModelChange(box, MakeTextParamValue(kBreakParamBoxName, "Booth"));
  EXPECT_EQ(Find<CTextControl>(kBreakParamBoxName)->GetText(), "Booth");
  box->SetStatusForTests(true, false);
  box->OnStatusEvent(kBreakHintStatus);
  EXPECT_FALSE(Find<CBitmapLED>(kBreakParamNetworkActive)->IsLit());  // not connected
}

// Single wheel notches on a gain readout move the box's attenuation one of its 0.5 dB steps
// either way (its fine nudge of 0.1 dB alone would be taken back going down).
TEST_P(ZelBreakPanelTest, WheelNotchesOnTheGainReadoutMoveOneStepOfTheBox) {
  CTextControl* readout = nullptr;
  for (CControlObject* control : panel->GetControls())
    if (control->GetId() == kBreakParamGain + 1)
      if (auto* text = dynamic_cast<CTextControl*>(control)) readout = text;
  ASSERT_NE(readout, nullptr);
  const CRect r = readout->GetRect();
  const int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
  ASSERT_EQ(box->GetGain(1), 12);  // -6.0 dB
  const std::pair<int, int> notches[] = {{-1, 13}, {-1, 14}, {1, 13}, {1, 12}, {1, 11}};
  for (const auto& [notch, step] : notches) {
    panel->DispatchMouseMessage(WM_MOUSEWHEEL, std::uint32_t(notch * WHEEL_DELTA), x, y);
    EXPECT_EQ(box->GetGain(1), step) << notch;
  }
  EXPECT_EQ(readout->GetText(), "-5.5 dB");
  Keep("zel_break_panel_wheel_" + std::to_string(GetParam()) + ".png");
}

// A new ID given in the properties pane offline shows on the panel's model line at once, as
// it does in the frame's title.
TEST_P(ZelBreakPanelTest, TheModelLineFollowsANewIdAtOnce) {
  const CRect line = panel->GetModelText()->GetRect();
  const QImage before = panel->GetBackBuffer()->Native().copy(line.left, line.top, line.Width(), line.Height());
  CCollectingGrid grid;
  box->FillPropertiesPane(grid);
  CDeviceProperty* row = grid.Find("ID");
  ASSERT_NE(row, nullptr);
  row->SetValue(std::int64_t(12));
  ASSERT_TRUE(box->Gate().ApplyUserPropertyChange(*row)) << row->GetErrorText();
  EXPECT_EQ(box->GetDeviceId(), 12u);
  EXPECT_EQ(panel->GetModelText()->GetText(), box->GetModelName() + "   ID 12");
  // Drawn so too.
  EXPECT_NE(panel->GetBackBuffer()->Native().copy(line.left, line.top, line.Width(), line.Height()), before);
  Keep("zel_break_panel_new_id_" + std::to_string(GetParam()) + ".png");
}

INSTANTIATE_TEST_SUITE_P(Models, ZelBreakPanelTest, ::testing::Values(40u, 41u));

}  // namespace
