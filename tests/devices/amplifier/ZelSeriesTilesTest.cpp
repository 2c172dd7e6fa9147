// The Zel amplifier's rack tile and System Monitor column, rendered offscreen and checked by
// pixels. Set ORVAK_TILE_PNG_DIR to keep the renderings for a look.
#include <gtest/gtest.h>

#include <cstdlib>

#include "core/draw/BitmapImage.h"
#include "devices/amplifier/ZelSeriesTiles.h"
#include "platform/Graphics.h"
#include "platform/Image.h"
#include "tests/devices/amplifier/ZelAmpFixture.h"
#include "tests/support/ModelChanges.h"
#include "tests/support/TileImages.h"

namespace {

class ZelTilesTest : public ZelAmpFixture {
 protected:
  static constexpr CColour kBackground{0xFF202020u};
  static CImage Blank(int w, int h) { return BlankImage(w, h, kBackground); }
  static CImage Tile(CZelSeriesDevice& d, int width, int phase = 0) { return RenderTile(d, width, phase, kBackground); }
  static CImage Column(CZelSeriesDevice& d, int height, int mode = 0) {
    CImage image = Blank(60, height);
    Graphics g(image);
    EXPECT_EQ(d.DrawMonitorTile(&g, CRect{0, 0, 60, height}, nullptr, mode), 60);
    return image;
  }
  static void Keep(const CImage& image, const std::string& name) {
    if (const char* dir = std::getenv("ORVAK_TILE_PNG_DIR")) image.SavePng(std::string(dir) + "/" + name + ".png");
  }
  static int Bright(const CImage& image, const CRect& area) { return BrightPixels(image, area); }
  static bool Near(CColour a, CColour b, int tolerance = 40) {
    return std::abs(a.R() - b.R()) <= tolerance && std::abs(a.G() - b.G()) <= tolerance &&
           std::abs(a.B() - b.B()) <= tolerance;
  }
};

TEST_F(ZelTilesTest, SkinsComeFromTheirResourcesAtTheirSizes) {
  Add(51, 1);
  ASSERT_NE(GetZelSeriesSkin(0), nullptr);
  EXPECT_EQ(GetZelSeriesSkin(0)->GetWidth(), 30);
  EXPECT_EQ(GetZelSeriesSkin(1)->GetWidth(), 30);
  EXPECT_EQ(GetZelSeriesSkin(2)->GetWidth(), 1);
  EXPECT_EQ(GetZelSeriesSkin(2)->GetHeight(), 30);
  EXPECT_GE(CZelSeriesDevice::GetInstanceCount(), 1);
}

TEST_F(ZelTilesTest, RackTileShowsNameModelAndTheStatusLed) {
  CZelSeriesDevice* d = Add(51, 12);
  NameDevice(d, "Front Fill");
  const CImage offline = Tile(*d, 240);
  Keep(offline, "zel_tile_offline");
  EXPECT_GT(Bright(offline, CRect{30, 2, 188, 14}), 20);   // the name
  EXPECT_GT(Bright(offline, CRect{30, 14, 188, 26}), 20);  // model and ID
  const CColour led = offline.GetPixel(240 - 25, 15);
  EXPECT_GT(led.R(), 150);
  EXPECT_LT(led.G(), 80);
  // The middle strip repeats across the tile, column for column the skin's.
  const CImage* middle = GetZelSeriesSkin(2)->GetImage();
  for (int y = 0; y < 30; ++y) {
    EXPECT_EQ(offline.GetPixel(190, y), middle->GetPixel(0, y)) << y;
    EXPECT_EQ(offline.GetPixel(200, y), middle->GetPixel(0, y)) << y;
  }

  Connect(*d);
  ReadOut(*d);
  const CImage online = Tile(*d, 240);
  Keep(online, "zel_tile_online");
  EXPECT_GT(online.GetPixel(215, 15).G(), 150);
  EXPECT_LT(online.GetPixel(215, 15).R(), 80);
}

TEST_F(ZelTilesTest, WarningsBlinkTextsAndLed) {
  CZelSeriesDevice* d = Add(51, 12);
  Connect(*d);
  Deliver(*d, 0x3F, ZelReply(*d, 0x3F, 12, {0x2F}));  // protect, read-out incomplete
  const CImage on = Tile(*d, 240, 1);
  const CImage off = Tile(*d, 240, 2);
  EXPECT_GT(on.GetPixel(215, 15).R(), 150);
  EXPECT_GT(on.GetPixel(215, 15).G(), 150);  // yellow
  EXPECT_GT(Bright(on, CRect{30, 2, 188, 26}), 40);
  EXPECT_EQ(Bright(off, CRect{30, 2, 188, 26}), 0);
  EXPECT_FALSE(Near(on.GetPixel(215, 15), off.GetPixel(215, 15)));
}

TEST_F(ZelTilesTest, NarrowTilesShowTheEndsOnlyAndAnEmptyRectDrawsNothing) {
  CZelSeriesDevice* d = Add(51, 12);
  // Exactly the two skins side by side: no strip, text or LED.
  const CImage narrow = Tile(*d, 50);
  const CImage* left = GetZelSeriesSkin(0)->GetImage();
  const CImage* right = GetZelSeriesSkin(1)->GetImage();
  CImage expected = Blank(50, 30);
  {
    Graphics g(expected);
    g.DrawImage(*left, 0.0f, 0.0f);
    g.DrawImage(*right, 30.0f, 0.0f);
  }
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 50; ++x) ASSERT_EQ(narrow.GetPixel(x, y), expected.GetPixel(x, y)) << x << "," << y;
  const CImage tiny = Tile(*d, 30);
  EXPECT_EQ(tiny.GetPixel(29, 1), expected.GetPixel(29, 1));

  CImage untouched = Blank(100, 30);
  Graphics g(untouched);
  EXPECT_EQ(d->DrawTile(&g, CRect{}, 0), 30);
  EXPECT_EQ(d->DrawTile(nullptr, CRect{0, 0, 100, 30}, 0), 30);
  EXPECT_EQ(untouched.GetPixel(10, 10), (CColour{0xFF202020u}));
  EXPECT_EQ(d->DrawMonitorTile(nullptr, CRect{0, 0, 60, 300}, nullptr, 0), 60);
}

TEST_F(ZelTilesTest, MonitorColumnThermometerFollowsTheTemperature) {
  CZelSeriesDevice* d = Add(55, 3);
  NameDevice(d, "Delay Tower");
  const int H = 300, y0 = 10, h = H - 70;
  // Offline: the column is covered down to 10 degrees.
  const CImage cold = Column(*d, H);
  Keep(cold, "zel_monitor_offline");
  const int y40 = y0 + h - int(40.0 / 90 * h);
  EXPECT_TRUE(Near(cold.GetPixel(32, y40), CColour{0xFF808080u}, 60));
  EXPECT_GT(cold.GetPixel(32, y0 + h + 3).B(), 150);  // the bulb

  Connect(*d);
  ReadOut(*d);
  d->SetTemperatureForTests(60);
  const CImage warm = Column(*d, H);
  Keep(warm, "zel_monitor_online");
  const int y50 = y0 + h - int(50.0 / 90 * h);
  const int y70 = y0 + h - int(70.0 / 90 * h);
  EXPECT_GT(warm.GetPixel(32, y50).R(), 150);  // uncovered below the temperature
  EXPECT_TRUE(Near(warm.GetPixel(32, y70), CColour{0xFF808080u}, 60));
  // LEDs: comms green, state green (active); labels and scale in white.
  EXPECT_GT(warm.GetPixel(45, H - 15).G(), 150);
  EXPECT_GT(warm.GetPixel(45, H - 25).G(), 150);
  EXPECT_GT(Bright(warm, CRect{7, H - 20, 38, H - 10}), 5);
  EXPECT_GT(Bright(warm, CRect{40, y0, 58, y0 + h}), 20);

  d->SetTemperatureForTests(120);  // beyond the scale: the column stays uncovered
  const CImage hot = Column(*d, H);
  EXPECT_GT(hot.GetPixel(32, y0 + 2).R(), 150);

  Deliver(*d, 0x3B, ZelReply(*d, 0x3B, 26, {0, 0, 0, 0, 0, 0, 0, 0, 0, 100, 0, 0, 0x01}, true));
  const CImage standby = Column(*d, H);
  EXPECT_TRUE(Near(standby.GetPixel(32, y40), CColour{0xFF808080u}, 60));
  EXPECT_GT(standby.GetPixel(45, H - 25).R(), 150);  // the state LED shows standby
}

TEST_F(ZelTilesTest, AShortMonitorColumnKeepsItsScaleNumbers) {
  CZelSeriesDevice* d = Add(51, 3);
  const CImage small = Column(*d, 120);  // 50 pixels of column: marks 5 pixels apart
  Keep(small, "zel_monitor_short");
  EXPECT_GT(Bright(small, CRect{35, 10, 38, 60}), 5);   // the ticks
  EXPECT_GT(Bright(small, CRect{40, 12, 54, 52}), 20);  // and the numbers beside them
}

TEST_F(ZelTilesTest, MonitorModesAndTheIgnoredVeil) {
  CZelSeriesDevice* d = Add(51, 3);
  Connect(*d);
  Deliver(*d, 0x3F, ZelReply(*d, 0x3F, 12, {0x2F}));  // a warning
  const CImage full = Column(*d, 300, 2);
  const CImage blink = Column(*d, 300, 3);
  const CImage thermometerOnly = Column(*d, 300, 1);
  const CRect labels{7, 270, 38, 290};
  const CRect name{4, 20, 17, 250};
  EXPECT_GT(Bright(full, labels), 5);
  EXPECT_GT(Bright(full, name), 5);
  EXPECT_EQ(Bright(blink, labels), 0);
  EXPECT_EQ(Bright(blink, name), 0);
  EXPECT_GT(Bright(blink, CRect{7, 255, 55, 265}), 5);  // the model name stays
  EXPECT_EQ(Bright(thermometerOnly, CRect{7, 255, 55, 290}), 0);

  d->SetIgnored(true);
  const CImage ignored = Column(*d, 300, 2);
  Keep(ignored, "zel_monitor_ignored");
  // The dark veil (0x96323232) over the dark background.
  EXPECT_NE(ignored.GetPixel(50, 150), full.GetPixel(50, 150));
  EXPECT_NEAR(ignored.GetPixel(50, 150).R(), 0x2B, 4);
  EXPECT_GT(Bright(ignored, CRect{2, 100, 3, 200}), 50);  // the white frame
}

}  // namespace

TEST_F(ZelTilesTest, MonitorColumnModelNameKeepsToItsLine) {
  CZelSeriesDevice* d = Add(52, 3);
  const CImage column = Column(*d, 200);
  Keep(column, "zel_column_model");
  // The model name stands in the 10-pixel line from 45 pixels above the bottom and nothing of
  // it reaches below, between the line and the Comms label.
  EXPECT_GT(Bright(column, CRect{7, 200 - 45, 55, 200 - 35}), 10);
  EXPECT_EQ(Bright(column, CRect{7, 200 - 35, 55, 200 - 21}), 0);
}
