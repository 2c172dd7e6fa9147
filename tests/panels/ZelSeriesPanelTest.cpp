// The Zel amplifier panel: its widgets for two- and four-channel models, the refresh from the
// amplifier, meters, the information display, the user's rights, the drawing, and the panel
// against the simulated amplifier on the bus.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "core/comms/CommsWorker.h"
#include "core/draw/BitmapImage.h"
#include "core/comms/Security.h"
#include "core/support/SystemMessages.h"
#include "core/model/User.h"
#include "panels/framework/BitmapObject.h"
#include "panels/framework/BmpButton.h"
#include "panels/framework/Knob.h"
#include "panels/PanelClasses.h"
#include "panels/framework/TextControl.h"
#include "panels/amplifier/ZelSeriesControlPanel.h"
#include "platform/Graphics.h"
#include "platform/Image.h"
#include "platform/MouseMessages.h"
#include "tests/devices/amplifier/ZelAmpFixture.h"
#include "tools/devsim/SimZelAmp.h"
#include "widgets/ErrorTip.h"
#include "tests/support/ModelChanges.h"

namespace {

using Panel = CZelSeriesControlPanel;

// Opens a panel on the device as the main frame does: bound, built, refreshed.
std::unique_ptr<Panel> OpenPanel(CZelSeriesDevice& amp) {
  auto panel = std::make_unique<Panel>();
  panel->SetDevice(&amp);
  amp.SetControlPanel(panel.get());
  EXPECT_TRUE(panel->Create());
  panel->UpdateAllControls();
  return panel;
}

void Click(Panel& panel, const CControlObject* widget) {
  const CRect r = widget->GetRect();
  const int x = (r.left + r.right) / 2;
  const int y = (r.top + r.bottom) / 2;
  panel.DispatchMouseMessage(WM_LBUTTONDOWN, MK_LBUTTON, x, y);
  panel.DispatchMouseMessage(WM_LBUTTONUP, 0, x, y);
}

// Leaves the drawing for looking at when ORVAK_PANEL_PNG_DIR names a folder.
void Save(const CImage& image, const char* name) {
  if (const char* dir = std::getenv("ORVAK_PANEL_PNG_DIR"))
    image.Native().save(QString::fromLocal8Bit(dir) + QStringLiteral("/") + QString::fromUtf8(name));
}

int CountLit(const std::array<CBitmapLED*, 5>& leds) {
  int n = 0;
  for (const CBitmapLED* led : leds) n += led->IsLit() ? 1 : 0;
  return n;
}

class ZelPanelTest : public ZelAmpFixture {
 protected:
  void TearDown() override {
    panel.reset();
    ZelAmpFixture::TearDown();
  }
  CZelSeriesDevice& Open(std::uint32_t type = 51, std::uint32_t id = 5) {
    amp = Add(type, id);
    Connect(*amp);
    ReadOut(*amp);
    panel = OpenPanel(*amp);
    return *amp;
  }
  void Counters(std::uint32_t up1, std::uint32_t up2, std::uint16_t cycles) {
    Bytes u(11, 0);
    for (int i = 0; i < 4; ++i) {
      u[std::size_t(i)] = std::uint8_t(up1 >> (24 - 8 * i));
      u[std::size_t(4 + i)] = std::uint8_t(up2 >> (24 - 8 * i));
    }
    u[8] = std::uint8_t(cycles >> 8);
    u[9] = std::uint8_t(cycles);
    Deliver(*amp, 0x41, ZelReply(*amp, 0x41, 24, u, true));
  }
  void Status(std::uint8_t b) { Deliver(*amp, 0x3F, ZelReply(*amp, 0x3F, 12, {b})); }
  std::string Text(int row) const { return panel->GetDisplayText(row)->GetText(); }
  void AddUser(std::uint64_t mask) {
    auto* user = new CUser("Guest", "");
    user->SetRestrictionMask(mask);
    system.Users().GetUsers().push_back(user);
    system.Users().SetCurrentUser(int(system.Users().GetUsers().size()) - 1);
  }

  CZelSeriesDevice* amp = nullptr;
  std::unique_ptr<Panel> panel;
};

// --- Creation ---

struct Model {
  std::uint32_t type;
  int channels;
};

class ZelPanelModelTest : public ZelPanelTest, public ::testing::WithParamInterface<Model> {};

// Where the widgets stand is the layout's (PanelLayoutTest checks it keeps its rules); here,
// what differs by model and what each channel's widgets are bound to.
TEST_P(ZelPanelModelTest, ShowsTheModelsChannelsBoundToTheirOwnSettings) {
  const Model m = GetParam();
  Open(m.type);
  for (int ch = 0; ch < 4; ++ch) {
    const bool shown = ch < m.channels;
    EXPECT_EQ(panel->GetKnob(ch)->IsVisible(), shown) << ch;
    EXPECT_EQ(panel->GetMute(ch)->IsVisible(), shown) << ch;
    EXPECT_EQ(panel->GetLevelLed(ch, 2)->IsVisible(), shown) << ch;
    EXPECT_EQ(panel->GetCheckLed(ch)->IsVisible(), shown) << ch;
    EXPECT_EQ(panel->GetPlate(ch)->IsVisible(), shown) << ch;
    EXPECT_EQ(panel->GetKnob(ch)->GetId(), kZelParamGain + ch);
    EXPECT_EQ(panel->GetGainText(ch)->GetId(), kZelParamGain + ch);
    EXPECT_EQ(panel->GetMute(ch)->GetId(), kZelParamMute + ch);
    EXPECT_EQ(panel->GetSolo(ch)->GetId(), kZelParamSolo + ch);
    EXPECT_EQ(panel->GetNameText(ch)->GetId(), kZelParamChannelName + ch);
    // The unit keeps 16 characters of a channel's name.
    EXPECT_EQ(panel->GetNameText(ch)->GetMaxLength(), 16);
  }
  // A four-channel amplifier cannot run mono.
  EXPECT_EQ(panel->GetMonoLed()->IsVisible(), m.channels == 2);
  EXPECT_EQ(panel->GetAmpName()->GetMaxLength(), 40);
  EXPECT_EQ(panel->GetAmpName()->GetText(), "Amp");
  Save(*panel->GetBackBuffer(), m.channels == 4 ? "zel_panel_4.png" : "zel_panel_2.png");
  EXPECT_TRUE(panel->GetOnlineStrip()->IsVisible());
  EXPECT_FALSE(panel->GetOfflineStrip()->IsVisible());
  EXPECT_FALSE(panel->GetChannelCover()->IsVisible());
  EXPECT_FALSE(panel->GetStandbyCover()->IsVisible());
}

INSTANTIATE_TEST_SUITE_P(Models, ZelPanelModelTest, ::testing::Values(Model{51, 2}, Model{55, 4}));

// The four-channel amplifier's OK and check LEDs, one row per channel, start a row higher so
// that the four rows fit beside the display.
TEST_F(ZelPanelTest, FourChannelModelStartsItsOkAndCheckLedsARowHigher) {
  Open(51);
  std::vector<CRect> two;
  for (int ch = 0; ch < 2; ++ch) {
    two.push_back(panel->GetOkLed(ch)->GetRect());
    two.push_back(panel->GetCheckLed(ch)->GetRect());
  }
  panel.reset();
  Open(55, 6);
  const int row = panel->GetOkLed(1)->GetRect().top - panel->GetOkLed(0)->GetRect().top;
  EXPECT_GT(row, 0);
  for (int ch = 0; ch < 2; ++ch) {
    EXPECT_EQ(panel->GetOkLed(ch)->GetRect().top, two[std::size_t(2 * ch)].top - row) << ch;
    EXPECT_EQ(panel->GetCheckLed(ch)->GetRect().top, two[std::size_t(2 * ch + 1)].top - row) << ch;
    EXPECT_EQ(panel->GetOkLed(ch)->GetRect().left, two[std::size_t(2 * ch)].left) << ch;
  }
  // The rows of all four channels stay apart.
  for (int ch = 1; ch < 4; ++ch) {
    EXPECT_EQ(panel->GetOkLed(ch)->GetRect().top - panel->GetOkLed(ch - 1)->GetRect().top, row);
    EXPECT_FALSE(RectsIntersect(panel->GetOkLed(ch)->GetRect(), panel->GetCheckLed(0)->GetRect())) << ch;
  }
}

TEST_F(ZelPanelTest, RegisteredUnderTheDevicesPanelClassAndSharesItsSkins) {
  RegisterDevicePanelClasses();
  Open(51);
  EXPECT_EQ(Panel::GetInstanceCount(), 1);
  EXPECT_TRUE(Panel::AreSkinsLoaded());
  std::unique_ptr<CControlPanelWnd> second(CreateControlPanel(amp->GetControlPanelClass()));
  ASSERT_NE(dynamic_cast<Panel*>(second.get()), nullptr);
  second->SetDevice(amp);
  second->Create();
  EXPECT_EQ(Panel::GetInstanceCount(), 2);
  // The skins are shared, not loaded again.
  EXPECT_EQ(static_cast<Panel*>(second.get())->GetPlate(0)->GetImage(), panel->GetPlate(0)->GetImage());
  second.reset();
  EXPECT_TRUE(Panel::AreSkinsLoaded());
  panel.reset();
  EXPECT_EQ(Panel::GetInstanceCount(), 0);
  EXPECT_FALSE(Panel::AreSkinsLoaded());
  panel = OpenPanel(*amp);
  EXPECT_TRUE(Panel::AreSkinsLoaded());
  EXPECT_EQ(panel->GetPlate(0)->GetImage()->GetWidth(), 71);
}

// --- Mode, meters and temperature ---

TEST_F(ZelPanelTest, MonoOrBridgeHidesTheUnusedChannel) {
  Open(51);
  for (std::uint8_t mode : {1, 3, 2}) {
    Status(std::uint8_t(0x4F | mode << 4));
    panel->UpdateStateWidgets();
    const bool shown = mode == 2;
    EXPECT_EQ(panel->GetKnob(1)->IsVisible(), shown);
    EXPECT_EQ(panel->GetPlate(1)->IsVisible(), shown);
    EXPECT_EQ(panel->GetLevelLed(1, 0)->IsVisible(), shown);
    EXPECT_TRUE(panel->GetKnob(0)->IsVisible());
    EXPECT_TRUE(panel->GetOkLed(1)->IsVisible());
  }
}

TEST_F(ZelPanelTest, LevelAndTemperatureLedsLightByTheirThresholds) {
  Open(51);
  struct Case {
    float volts;
    int lit;
  };
  for (const Case c : {Case{36.0f, 4}, Case{36.1f, 5}, Case{0.5f, 0}, Case{0.6f, 1}, Case{18.0f, 2}}) {
    ZelSeriesMeters meters;
    meters.outputVoltage = {c.volts, 0, 0, 0};
    amp->SetMetersForTests(meters);
    panel->RefreshLevelMeters();
    EXPECT_EQ(CountLit(std::array<CBitmapLED*, 5>{panel->GetLevelLed(0, 0), panel->GetLevelLed(0, 1),
                                                   panel->GetLevelLed(0, 2), panel->GetLevelLed(0, 3),
                                                   panel->GetLevelLed(0, 4)}),
              c.lit)
        << c.volts;
    EXPECT_EQ(panel->GetLevelLed(0, 0)->IsLit(), c.volts > 36.0f);
    EXPECT_FALSE(panel->GetLevelLed(1, 4)->IsLit());
  }
  for (const auto& [degrees, lit] : std::vector<std::pair<int, int>>{{29, 0}, {30, 1}, {59, 3}, {90, 7}}) {
    amp->SetTemperatureForTests(degrees);
    panel->RefreshLevelMeters();
    int n = 0;
    for (int k = 0; k < 7; ++k) n += panel->GetTemperatureLed(k)->IsLit() ? 1 : 0;
    EXPECT_EQ(n, lit) << degrees;
    EXPECT_TRUE(panel->GetTemperatureLed(0)->IsLit() == (lit > 0));
  }
  // In standby the meters and the bar go dark.
  amp->SetStatusFlagsForTests(0x01);
  panel->RefreshLevelMeters();
  EXPECT_FALSE(panel->GetTemperatureLed(0)->IsLit());
  EXPECT_FALSE(panel->GetLevelLed(0, 4)->IsLit());
}

// --- Information display ---

TEST(ZelUpTimeText, WeeksDaysHoursMinutesSeconds) {
  EXPECT_EQ(FormatZelUpTime(604800 + 86400 + 3600 + 60 + 1), "01:01:01:01:01\n");
  EXPECT_EQ(FormatZelUpTime(0), "00:00:00:00:00\n");
  EXPECT_EQ(FormatZelUpTime(59), "00:00:00:00:59\n");
}

TEST_F(ZelPanelTest, PageZeroShowsCountersAndTemperatureOrDashes) {
  Open(51);
  Counters(694861, 61, 42);
  panel->RefreshInfoDisplay(false);
  EXPECT_EQ(Text(Panel::kRowTotal), "01:01:01:01:01\n");
  EXPECT_EQ(Text(Panel::kRowCurrent), "01:01:01:00:00\n");
  EXPECT_EQ(Text(Panel::kRowCycles), "000042");
  EXPECT_EQ(Text(Panel::kRowTemp), "30");
  EXPECT_TRUE(panel->GetDisplayText(Panel::kRowTotalLabel)->IsVisible());
  EXPECT_FALSE(panel->GetDisplayText(Panel::kRowVoltage1)->IsVisible());
  // The current up time wraps when the second counter is ahead.
  Counters(5, 10, 0);
  panel->RefreshInfoDisplay(false);
  EXPECT_EQ(Text(Panel::kRowCurrent), FormatZelUpTime(0xFFFFFFFBu));
  // No temperature, standby, offline: dashes.
  amp->SetTemperatureForTests(0);
  panel->RefreshInfoDisplay(false);
  EXPECT_EQ(Text(Panel::kRowTemp), "--");
  amp->SetTemperatureForTests(41);
  amp->SetStatusFlagsForTests(0x01);
  panel->RefreshInfoDisplay(false);
  EXPECT_EQ(Text(Panel::kRowTemp), "--");
  amp->SetStatusFlagsForTests(0);
  panel->RefreshInfoDisplay(false);
  EXPECT_EQ(Text(Panel::kRowTemp), "41");
  amp->OnDisconnected(false);
  panel->RefreshInfoDisplay(false);
  EXPECT_EQ(Text(Panel::kRowTemp), "--");
}

TEST_F(ZelPanelTest, CountersFitTheDisplayInTheFaceInstalledForIt) {
  Open(51);
  Counters(6047999, 6047999, 65535);  // every digit drawn
  panel->RefreshInfoDisplay(false);
  CImage canvas(10, 10);
  Graphics g(canvas);
  for (int row : {Panel::kRowTotal, Panel::kRowCurrent, Panel::kRowCycles}) {
    CTextControl* text = panel->GetDisplayText(row);
    std::string shown = text->GetText();
    while (!shown.empty() && shown.back() == '\n') shown.pop_back();
    const CFont* font = text->GetTextStyle().GetFont();
    ASSERT_NE(font, nullptr);
    const CRectF size = g.MeasureString(shown, *font, CRectF{}, CStringFormat(StringAlignment::Near));
    const CRect r = text->GetRect();
    EXPECT_LE(size.width, float(r.right - r.left)) << row << " " << shown;
  }
}

// A drag redraws only the readout's window: the widest levels must be whole in it, and what the
// drag drew must be what a full repaint draws.
TEST_F(ZelPanelTest, GainReadoutShowsTheWholeLevelInItsWindowAfterADrag) {
  Open(55);
  CImage& image = *panel->GetBackBuffer();
  CImage canvas(10, 10);
  Graphics g(canvas);
  // Two drags down from 0 dB, at one dB a pixel: to -10 dB, then to the knob's end.
  for (const auto& [pixels, expected] : {std::pair<int, std::string>{10, "-10.0 dB"}, {50, "-60.0 dB"}}) {
    SCOPED_TRACE(expected);
    const CRect k = panel->GetKnob(0)->GetRect();
    const int x = (k.left + k.right) / 2, y = (k.top + k.bottom) / 2;
    panel->DispatchMouseMessage(WM_LBUTTONDOWN, MK_LBUTTON, x, y);
    panel->DispatchMouseMessage(WM_MOUSEMOVE, MK_LBUTTON, x, y + pixels);
    panel->DispatchMouseMessage(WM_LBUTTONUP, 0, x, y + pixels);
    CTextControl* readout = panel->GetGainText(0);
    ASSERT_EQ(readout->GetText(), expected);
    const CRect r = readout->GetRect();
    const CFont* font = readout->GetTextStyle().GetFont();
    ASSERT_NE(font, nullptr);
    const CRectF size = g.MeasureString(expected, *font, CRectF{}, CStringFormat(StringAlignment::Near));
    EXPECT_LE(size.width, float(r.right - r.left)) << expected;
    // The readout's light ink, as the drag left it, from a few pixels either side of its window.
    const CRect around{r.left - 6, r.top, r.right + 6, r.bottom};
    auto ink = [&] {
      std::vector<bool> lit;
      for (int py = around.top; py < around.bottom; ++py)
        for (int px = around.left; px < around.right; ++px) {
          const CColour c = image.GetPixel(px, py);
          lit.push_back(c.R() + c.G() + c.B() > 450);
        }
      return lit;
    };
    const std::vector<bool> dragged = ink();
    Save(image, pixels == 10 ? "zel_panel_readout_10.png" : "zel_panel_readout_60.png");
    panel->RedrawRect(nullptr, false, true);
    EXPECT_EQ(dragged, ink());
    // The ink lies inside the window and reaches its right half (the "dB").
    int left = around.right, right = around.left;
    std::size_t i = 0;
    for (int py = around.top; py < around.bottom; ++py)
      for (int px = around.left; px < around.right; ++px)
        if (dragged[i++]) {
          left = std::min(left, px);
          right = std::max(right, px);
        }
    EXPECT_GE(left, r.left);
    EXPECT_LT(right, r.right);
    EXPECT_GT(right, (r.left + r.right) / 2 + 8);
  }
}

TEST_F(ZelPanelTest, LoadPagesShowVoltsAmpsAndImpedanceAndADoubleClickStepsThem) {
  Open(55);
  ZelSeriesMeters meters;
  meters.outputVoltage = {20.0f, 12.0f, 30.0f, 5.0f};
  meters.outputCurrent = {2.5f, 0.09f, 3.0f, 1.0f};
  meters.loadMonitorState = {0, 0, 0, 1};
  amp->SetMetersForTests(meters);
  // A double-click outside the display goes to the widgets: the page stays.
  panel->DispatchMouseMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, 620, 100);
  EXPECT_EQ(amp->GetDisplayPage(), 0u);
  panel->DispatchMouseMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, 500, 100);
  EXPECT_EQ(amp->GetDisplayPage(), 1u);
  EXPECT_EQ(Text(Panel::kRowChannel1), "Channel A");
  EXPECT_EQ(Text(Panel::kRowVoltage1), "20.0");
  EXPECT_EQ(Text(Panel::kRowCurrent1), "2.5");
  EXPECT_EQ(Text(Panel::kRowImpedance1), "8.0");
  EXPECT_EQ(Text(Panel::kRowImpedance2), "--");  // 0.09 A is too little to measure
  EXPECT_EQ(Text(Panel::kRowTemp), "30");
  EXPECT_FALSE(panel->GetDisplayText(Panel::kRowTotal)->IsVisible());
  EXPECT_TRUE(panel->GetDisplayText(Panel::kRowImpedance1)->IsVisible());
  Save(*panel->GetBackBuffer(), "zel_panel_page1.png");
  // The page button steps too.
  Click(*panel, panel->GetPageButton());
  EXPECT_EQ(amp->GetDisplayPage(), 2u);
  EXPECT_EQ(Text(Panel::kRowChannel2), "Channel D");
  EXPECT_EQ(Text(Panel::kRowImpedance1), "10.0");
  EXPECT_EQ(Text(Panel::kRowImpedance2), "--");  // its load monitor is busy
  // In standby the pages show 00 for the temperature and channel A's impedance goes.
  amp->SetStatusFlagsForTests(0x01);
  panel->DispatchMouseMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, 500, 100);
  panel->DispatchMouseMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, 500, 100);
  EXPECT_EQ(amp->GetDisplayPage(), 1u);
  EXPECT_EQ(Text(Panel::kRowTemp), "00");
  EXPECT_EQ(Text(Panel::kRowImpedance1), "--");
}

TEST_F(ZelPanelTest, ProtectTurnsTheWholeDisplayRedAndBack) {
  Open(51);
  for (CTextControl* t : {panel->GetDisplayText(0), panel->GetDisplayText(24)}) EXPECT_EQ(t->GetBrushColour(), 0xFF000000u);
  Status(0x2F);  // protect: bit 6 clear
  panel->GetDisplayText(Panel::kRowVoltage1)->SetVisible(true);
  panel->RefreshInfoDisplay(false);
  for (int row = 0; row < Panel::kDisplayTexts; ++row)
    EXPECT_EQ(panel->GetDisplayText(row)->GetBrushColour(), 0xFFB40000u) << row;
  // The colour change refreshed the page's rows as a forced refresh does.
  EXPECT_FALSE(panel->GetDisplayText(Panel::kRowVoltage1)->IsVisible());
  amp->OnStatusEvent(kZelHintState);
  EXPECT_TRUE(panel->GetProtectLed()->IsLit());
  Status(0x6F);
  panel->RefreshInfoDisplay(false);
  EXPECT_EQ(panel->GetDisplayText(5)->GetBrushColour(), 0xFF000000u);
}

// Online, the strip says where a change goes: to the unit once it is connected; nowhere while it
// is away, as the amplifier then refuses every change; into the file once the system is offline.
TEST_F(ZelPanelTest, ConnectingTellsTheOpenPanelItIsOnline) {
  amp = Add(51);
  panel = OpenPanel(*amp);
  EXPECT_TRUE(panel->GetAwayStrip()->IsVisible());
  EXPECT_FALSE(panel->GetOfflineStrip()->IsVisible());
  EXPECT_FALSE(panel->GetOnlineStrip()->IsVisible());
  Connect(*amp);
  // The frame hands the last refresh's online flag to the panel.
  LPARAM online = -1;
  for (const auto& m : frame.Messages())
    if (m.message == FrameMsg::kPanelOnlineState) online = m.lParam;
  ASSERT_EQ(online, 1);
  panel->UpdateOnlineStatus(online != 0);
  EXPECT_TRUE(panel->GetOnlineStrip()->IsVisible());
  EXPECT_FALSE(panel->GetOfflineStrip()->IsVisible());
  EXPECT_FALSE(panel->GetAwayStrip()->IsVisible());
  amp->OnDisconnected(false);
  for (const auto& m : frame.Messages())
    if (m.message == FrameMsg::kPanelOnlineState) online = m.lParam;
  EXPECT_EQ(online, 0);
  panel->UpdateOnlineStatus(false);
  EXPECT_TRUE(panel->GetAwayStrip()->IsVisible());
  EXPECT_FALSE(panel->GetOfflineStrip()->IsVisible());
  Save(*panel->GetBackBuffer(), "zel_panel_away.png");
  ASSERT_TRUE(system.GetComms().SetOnline(false));
  panel->UpdateOnlineStatus(false);
  EXPECT_TRUE(panel->GetOfflineStrip()->IsVisible());
  EXPECT_FALSE(panel->GetAwayStrip()->IsVisible());
  ASSERT_TRUE(system.GetComms().SetOnline(true));
}

// A unit that missed a reply has left the connected level but is not disconnected yet; going
// offline from there sends the panel only the offline state. Its limit lights go out with it.
TEST_F(ZelPanelTest, GoingOfflineBelowTheConnectedLevelPutsTheLimitLightsOut) {
  Open(51);
  Status(0x6E);  // stereo, not in protect, channel A limiting
  amp->OnStatusEvent(kZelHintState);
  ASSERT_TRUE(panel->GetLimitLed(0)->IsLit());
  ASSERT_FALSE(panel->GetLimitLed(1)->IsLit());
  while (amp->IsConnected()) amp->UpdateCommsState(false);
  ASSERT_GT(amp->GetCommsLevel(), 0);
  const std::size_t before = frame.Messages().size();
  ASSERT_TRUE(system.GetComms().SetOnline(false));
  std::vector<std::uint32_t> told;
  const auto messages = frame.Messages();
  for (std::size_t i = before; i < messages.size(); ++i) {
    told.push_back(messages[i].message);
    if (messages[i].message == FrameMsg::kPanelOnlineState) panel->UpdateOnlineStatus(messages[i].lParam != 0);
  }
  ASSERT_EQ(std::count(told.begin(), told.end(), FrameMsg::kPanelOnlineState), 1);
  EXPECT_EQ(std::count(told.begin(), told.end(), FrameMsg::kStatusEvent), 0);
  EXPECT_TRUE(panel->GetOfflineStrip()->IsVisible());
  for (int ch = 0; ch < 2; ++ch) EXPECT_FALSE(panel->GetLimitLed(ch)->IsLit()) << ch;
  // The back buffer shows it: channel A's limit LED is drawn as channel B's.
  const CImage& image = *panel->GetBackBuffer();
  const CRect a = panel->GetLimitLed(0)->GetRect(), b = panel->GetLimitLed(1)->GetRect();
  EXPECT_EQ(image.GetPixel((a.left + a.right) / 2, (a.top + a.bottom) / 2).argb,
            image.GetPixel((b.left + b.right) / 2, (b.top + b.bottom) / 2).argb);
}

// --- Rights ---

TEST_F(ZelPanelTest, WithoutTheRightToUseControlsOnlyIdentifyPageAndNameWork) {
  AddUser(kRestrictUseDeviceControls);
  Open(51);
  EXPECT_TRUE(panel->GetChannelCover()->IsVisible());
  EXPECT_TRUE(panel->GetStatusCover()->IsVisible());
  Save(*panel->GetBackBuffer(), "zel_panel_locked.png");
  EXPECT_TRUE(panel->GetAmpName()->IsEditable());
  const std::size_t before = Queued(*amp).size();
  Click(*panel, panel->GetMute(0));
  Click(*panel, panel->GetStandbyButton());
  Click(*panel, panel->GetKnob(0));
  EXPECT_EQ(Queued(*amp).size(), before);
  EXPECT_FALSE(amp->IsInStandby());
  EXPECT_EQ(amp->GetMuteMask(), 0);
  Click(*panel, panel->GetIdentifyButton());
  ASSERT_EQ(Queued(*amp).size(), before + 1);
  EXPECT_EQ(Queued(*amp).back()[0], 0xB0);
  Click(*panel, panel->GetPageButton());
  EXPECT_EQ(amp->GetDisplayPage(), 1u);
}

TEST_F(ZelPanelTest, WithoutTheRightToEditPropertiesNamesAreNotEditable) {
  AddUser(kRestrictEditDeviceProperties);
  Open(55);
  EXPECT_FALSE(panel->GetChannelCover()->IsVisible());
  EXPECT_FALSE(panel->GetAmpName()->IsEditable());
  for (int ch = 0; ch < 4; ++ch) EXPECT_FALSE(panel->GetNameText(ch)->IsEditable());
  system.Users().GetUsers().back()->SetRestrictionMask(0);
  panel->ApplyPermissions(true);
  EXPECT_TRUE(panel->GetAmpName()->IsEditable());
  EXPECT_TRUE(panel->GetNameText(3)->IsEditable());
}

// --- Drawing ---

TEST_F(ZelPanelTest, DrawsItsSkinsAndLedsAtTheirPlaces) {
  Open(51);
  ZelSeriesMeters meters;
  meters.outputVoltage = {40.0f, 0, 0, 0};
  amp->SetMetersForTests(meters);
  panel->RefreshLevelMeters();
  panel->RedrawRect(nullptr, true, true);
  const CImage& image = *panel->GetBackBuffer();
  ASSERT_EQ(image.Width(), 887);
  ASSERT_EQ(image.Height(), 189);
  auto greenish = [](CColour c) { return c.G() > 150 && c.G() > c.R() + 40 && c.G() > c.B() + 40; };
  // Channel A's top level LED is lit, channel B's is veiled grey.
  EXPECT_TRUE(greenish(image.GetPixel(75, 75)));
  EXPECT_FALSE(greenish(image.GetPixel(159, 75)));
  // The online strip's lamp is green; offline it turns grey.
  EXPECT_TRUE(greenish(image.GetPixel(27, 175)));
  Save(image, "zel_panel.png");
  panel->UpdateOnlineStatus(false);
  EXPECT_FALSE(greenish(image.GetPixel(27, 175)));
  // The display glass is light; the blanking panel of channels C and D is dark.
  const CColour glass = image.GetPixel(630, 60);
  EXPECT_GT(glass.R() + glass.G() + glass.B(), 400);
  const CColour blank = image.GetPixel(300, 40);
  EXPECT_LT(blank.R() + blank.G() + blank.B(), 200);
  // Standby covers the display.
  amp->SetStatusFlagsForTests(0x01);
  panel->RefreshState(true);
  const CColour covered = image.GetPixel(630, 60);
  EXPECT_LT(covered.R() + covered.G() + covered.B(), 150);
  Save(image, "zel_panel_standby.png");
}

// --- Against the simulated amplifier ---

class ZelPanelBusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterAmplifierFamilies();
    CZelBaseDevice::SetFirmwareTableReader([](const std::string&) { return std::string("1.00"); });
    harness.DecideOnEvents();
    SimSecurityConfig config;
    config.typeCode = 51;
    config.deviceId = 4;
    unit = harness.bus.Add<CSimZelAmpUnit>(config);
    unit->Update([](SimZelAmpState& s) { s.name = "Stage"; });
    CSecurityTimings timings;
    timings.dialogOpenTimeoutMs = 0;
    timings.messagePauseMs = 0;
    timings.updatePauseMs = 0;
    harness.system.GetComms().Security().SetTimingsForTests(timings);
    // Made once the frame is there, so that its notices reach the frame.
    harness.bus.Start();
    harness.system.Start(&harness.frame);
    amp = static_cast<CZelSeriesDevice*>(harness.system.CreateDevice(4, 51, 0));
    harness.system.AppendDevice(amp);
    ASSERT_TRUE(harness.system.GoOnline(0));
    ASSERT_TRUE(WaitFor([&] { return amp->IsReadOutComplete() && amp->IsConnected(); }));
    panel = OpenPanel(*amp);
  }
  void TearDown() override {
    panel.reset();
    harness.system.GetComms().StopCommsThread();
    CZelBaseDevice::SetFirmwareTableReader(nullptr);
  }
  // The status hints the device posted so far, run as the main frame runs them.
  void RunStatusHints() {
    const auto messages = harness.frame.Messages();
    for (std::size_t i = handled; i < messages.size(); ++i)
      if (messages[i].message == FrameMsg::kStatusEvent) amp->OnStatusEvent(int(messages[i].lParam));
    handled = messages.size();
  }
  SimZelAmpState Unit() const { return unit->State(); }

  CBusHarness harness;
  CSimZelAmpUnit* unit = nullptr;
  CZelSeriesDevice* amp = nullptr;
  std::unique_ptr<Panel> panel;
  std::size_t handled = 0;
};

TEST_F(ZelPanelBusTest, GainAndMuteReachTheUnitAndAnAlarmLightsOnThePanel) {
  EXPECT_EQ(panel->GetAmpName()->GetText(), "Stage");
  // Drag channel A's knob down by 12 pixels: -12 dB.
  CKnob* knob = panel->GetKnob(0);
  const CRect r = knob->GetRect();
  panel->DispatchMouseMessage(WM_LBUTTONDOWN, MK_LBUTTON, r.left + 14, r.top + 14);
  panel->DispatchMouseMessage(WM_MOUSEMOVE, MK_LBUTTON, r.left + 14, r.top + 26);
  panel->DispatchMouseMessage(WM_LBUTTONUP, 0, r.left + 14, r.top + 26);
  const int step = ZelGainToIndex(-12.0f);
  char expected[32];
  std::snprintf(expected, sizeof expected, "%.1f dB", double(GetZelGainStepValue(step)));
  Click(*panel, panel->GetMute(1));
  // Both reach the unit, and the panel shows them once the replies that follow are in (one
  // already on its way may carry the old settings for a moment).
  ASSERT_TRUE(WaitFor([&] {
    RunStatusHints();
    const SimZelAmpState s = Unit();
    return s.gainIndex[0] == step && s.muteMask == 0x02 && panel->GetGainText(0)->GetText() == expected &&
           panel->GetMute(1)->IsLit();
  })) << int(Unit().gainIndex[0]) << " " << int(Unit().muteMask) << " " << panel->GetGainText(0)->GetText();

  // Protect raised in the unit reaches the panel's LED and turns the display red.
  EXPECT_FALSE(panel->GetProtectLed()->IsLit());
  unit->Update([](SimZelAmpState& s) { s.protect = true; });
  // The hints reach the panel as the main frame runs them, on this thread.
  ASSERT_TRUE(WaitFor([&] {
    RunStatusHints();
    return panel->GetProtectLed()->IsLit();
  }));
  EXPECT_TRUE(amp->GetWarningBits() & kZelWarnProtect);
  panel->RefreshInfoDisplay(false);
  EXPECT_EQ(panel->GetDisplayText(0)->GetBrushColour(), 0xFFB40000u);

  // Standby from its button: the unit goes to standby and the display is covered. A reply
  // already on its way may show the old state for a moment; the hints that follow settle it.
  Click(*panel, panel->GetStandbyButton());
  ASSERT_TRUE(WaitFor([&] {
    RunStatusHints();
    return (Unit().statusFlags & 0x01) != 0 && amp->IsInStandby() && panel->GetStandbyCover()->IsVisible();
  }));
  EXPECT_TRUE(panel->GetStandbyLed()->IsLit());
  EXPECT_FALSE(panel->GetActiveLed()->IsLit());
}

// A wheel notch or a key on a gain knob moves the unit's gain at least one step of its table (1 dB
// down to -12 dB, 2 dB down to -36 dB, 3 dB below), where the knob's own 1 dB step would be taken
// back by the unit.
enum class Nudge { kWheelUp, kWheelDown, kKeyUp, kKeyDown, kPageDown };
struct NudgeCase {
  const char* name;
  int from;  // gain steps of the table
  Nudge nudge;
  int to;
};

class ZelKnobNudgeTest : public ZelPanelBusTest, public ::testing::WithParamInterface<NudgeCase> {};

TEST_P(ZelKnobNudgeTest, MovesTheUnitsGainAStepOfItsTable) {
  const NudgeCase& c = GetParam();
  CKnob* knob = panel->GetKnob(0);
  auto holds = [&](int step) {
    RunStatusHints();
    CSingleLock lock(harness.system.GetLock());
    return Unit().gainIndex[0] == step && amp->GetGainIndex(0) == step &&
           knob->GetValue() == GetZelGainStepValue(step);
  };
  ModelChange(amp, CParamValue(kZelParamGain, GetZelGainStepValue(c.from), ParamKind::kLevel));
  ASSERT_TRUE(WaitFor([&] { return holds(c.from); }));
  // A click gives the knob the keys.
  const CRect r = knob->GetRect();
  const int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
  panel->DispatchMouseMessage(WM_LBUTTONDOWN, MK_LBUTTON, x, y);
  panel->DispatchMouseMessage(WM_LBUTTONUP, 0, x, y);
  switch (c.nudge) {
    case Nudge::kWheelUp: panel->DispatchMouseMessage(WM_MOUSEWHEEL, std::uint32_t(WHEEL_DELTA), x, y); break;
    case Nudge::kWheelDown: panel->DispatchMouseMessage(WM_MOUSEWHEEL, std::uint32_t(-WHEEL_DELTA), x, y); break;
    case Nudge::kKeyUp: EXPECT_TRUE(panel->DispatchKeyDown(VK_UP, 0)); break;
    case Nudge::kKeyDown: EXPECT_TRUE(panel->DispatchKeyDown(VK_DOWN, 0)); break;
    case Nudge::kPageDown: EXPECT_TRUE(panel->DispatchKeyDown(VK_NEXT, 0)); break;
  }
  EXPECT_TRUE(WaitFor([&] { return holds(c.to); })) << int(Unit().gainIndex[0]) << " " << knob->GetValue();
}

INSTANTIATE_TEST_SUITE_P(
    Steps, ZelKnobNudgeTest,
    ::testing::Values(NudgeCase{"WheelUpFromMinus14", 13, Nudge::kWheelUp, 12},
                      NudgeCase{"WheelDownFromMinus14", 13, Nudge::kWheelDown, 14},
                      NudgeCase{"KeyUpFromMinus39", 25, Nudge::kKeyUp, 24},
                      NudgeCase{"KeyDownFromMinus39", 25, Nudge::kKeyDown, 26},
                      NudgeCase{"KeyUpFromMinus6", 6, Nudge::kKeyUp, 5},
                      NudgeCase{"PageDownFromMinus6", 6, Nudge::kPageDown, 14},
                      NudgeCase{"WheelDownAtMinus60", 32, Nudge::kWheelDown, 32}),
    [](const auto& info) { return std::string(info.param.name); });

// Names typed on the panel go to the unit as typed; one with a character the unit's field
// cannot carry is not sent, the panel shows the name the amplifier and its unit hold, and the
// tip under the box says why in the words of the properties pane.
TEST_F(ZelPanelBusTest, TypedNamesReachTheUnitAndOneItCannotHoldIsRefusedWithWords) {
  panel->GetNameText(1)->CommitEdit("Sub (L+R)");
  ASSERT_TRUE(WaitFor([&] { return Unit().channelNames[1] == "Sub (L+R)"; }));
  EXPECT_EQ(panel->GetNameText(1)->GetText(), "Sub (L+R)");
  const std::size_t writes = unit->Writes().size();
  const CSize size = amp->GetPanelSize();
  panel->resize(size.cx, size.cy);
  panel->show();
  EXPECT_EQ(panel->GetRefusalTip(), nullptr);
  // The amplifier's name typed into its box on the panel, and Enter.
  panel->BeginTextEdit(panel->GetAmpName());
  QLineEdit* box = panel->GetInPlaceEditor();
  ASSERT_NE(box, nullptr);
  box->setText(QString::fromUtf8("B\xC3\xBChne"));
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(box, &enter);
  EXPECT_EQ(panel->GetInPlaceEditor(), nullptr);
  EXPECT_EQ(panel->GetAmpName()->GetText(), "Stage");
  const CErrorTip* tip = panel->GetRefusalTip();
  ASSERT_NE(tip, nullptr);
  EXPECT_TRUE(tip->isVisible());
  EXPECT_EQ(tip->Message().toStdString(), "Device name cannot contain \"\xC3\xBC\" - the unit takes ASCII characters only");
  const CRect name = panel->GetAmpName()->GetRect();
  EXPECT_EQ(tip->pos().y(), panel->mapToGlobal(QPoint(0, name.bottom + 2)).y());
  if (const char* dir = std::getenv("ORVAK_PANEL_PNG_DIR")) {
    // The panel with the tip where it stands over it.
    QImage shot(panel->width(), std::max(panel->height(), tip->geometry().bottom() - panel->mapToGlobal(QPoint()).y()),
                QImage::Format_ARGB32);
    shot.fill(Qt::white);
    QPainter painter(&shot);
    panel->render(&painter);
    const_cast<CErrorTip*>(tip)->render(&painter, tip->pos() - panel->mapToGlobal(QPoint()));
    painter.end();
    shot.save(QString::fromLocal8Bit(dir) + QStringLiteral("/zel-name-refused.png"));
  }

  panel->GetNameText(1)->CommitEdit("S\xC3\xBC\x62");
  EXPECT_EQ(tip->Message().toStdString(), "Channel name cannot contain \"\xC3\xBC\" - the unit takes ASCII characters only");
  EXPECT_EQ(panel->GetNameText(1)->GetText(), "Sub (L+R)");
  EXPECT_EQ(amp->Queue().GetQueueSize(), 0u);
  EXPECT_EQ(unit->Writes().size(), writes);
  CSingleLock lock(harness.system.GetLock());
  EXPECT_EQ(amp->GetChannelName(1), "Sub (L+R)");
  EXPECT_EQ(amp->GetName(), "Stage");
}

// Text pasted into a name box: cells of a spreadsheet bring a tab and a line end, and other
// control characters may come with them.
struct PastedName {
  const char* name;
  const char* text;
  bool ampName;  // the amplifier's name, else channel 2's
};

class ZelPastedNameTest : public ZelPanelBusTest, public ::testing::WithParamInterface<PastedName> {};

// The unit's name fields would take the control characters as they stand, so a name holding one
// is refused with words on the panel: nothing goes to the unit and the name stays.
TEST_P(ZelPastedNameTest, ANameWithAControlCharacterIsRefusedWithWordsAndNotSent) {
  const PastedName& c = GetParam();
  const std::size_t writes = unit->Writes().size();
  const CSize size = amp->GetPanelSize();
  panel->resize(size.cx, size.cy);
  panel->show();
  CTextControl* name = c.ampName ? panel->GetAmpName() : panel->GetNameText(1);
  const std::string before = name->GetText();
  panel->BeginTextEdit(name);
  QLineEdit* box = panel->GetInPlaceEditor();
  ASSERT_NE(box, nullptr);
  box->selectAll();
  QApplication::clipboard()->setText(QString::fromLatin1(c.text));
  box->paste();
  ASSERT_EQ(box->text(), QString::fromLatin1(c.text).left(box->maxLength()));
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(box, &enter);
  const CErrorTip* tip = panel->GetRefusalTip();
  ASSERT_NE(tip, nullptr);
  EXPECT_EQ(tip->Message().toStdString(),
            std::string(c.ampName ? "Device" : "Channel") + " name cannot contain control characters");
  EXPECT_EQ(name->GetText(), before);
  EXPECT_EQ(amp->Queue().GetQueueSize(), 0u);
  EXPECT_EQ(unit->Writes().size(), writes);
  CSingleLock lock(harness.system.GetLock());
  EXPECT_EQ(c.ampName ? amp->GetName() : amp->GetChannelName(1), before);
}

INSTANTIATE_TEST_SUITE_P(Pasted, ZelPastedNameTest,
                         ::testing::Values(PastedName{"TabAndLineEnd", "Kick\tSnare\r\n", false},
                                           PastedName{"StartOfHeading", "A\x01" "B", false},
                                           PastedName{"Delete", "C\x7F" "D", false},
                                           PastedName{"LineFeedInTheAmpName", "Stage\nLeft", true},
                                           PastedName{"TabInTheAmpName", "Amp\t1", true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
