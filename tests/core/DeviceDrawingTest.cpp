// The base tile veil of an ignored device and the soft round LED, checked by pixels.
#include <gtest/gtest.h>

#include "core/system/System.h"
#include "platform/Graphics.h"
#include "platform/Image.h"
#include "tests/support/TestDevices.h"

namespace {

constexpr CColour kWhite{0xFFFFFFFFu};

class DeviceDrawingTest : public ::testing::Test {
 protected:
  CSystem system;
  CTestDevice device{&system, 1};
  CImage image{40, 40};
};

}  // namespace

TEST_F(DeviceDrawingTest, Tile_IgnoredDeviceGetsTranslucentDarkVeilOverTheFamilysDrawing) {
  image.Fill(kWhite);
  device.SetIgnored(true);
  {
    Graphics g(image);
    EXPECT_EQ(device.DrawTile(&g, CRect{0, 0, 20, 10}, 0), 30);
  }
  // 0x96 of 0x32 over white: 255 - 0x96 / 255 * (255 - 0x32) = 134.
  CColour veiled = image.GetPixel(5, 5);
  EXPECT_EQ(veiled.A(), 255);
  EXPECT_NEAR(veiled.R(), 134, 2);
  EXPECT_EQ(veiled.R(), veiled.G());
  EXPECT_EQ(image.GetPixel(25, 5), kWhite);  // outside the tile
  EXPECT_EQ(image.GetPixel(5, 12), kWhite);
}

TEST_F(DeviceDrawingTest, Tile_NotIgnoredOrEmptyRectDrawsNothingAndStillAnswers30) {
  image.Fill(kWhite);
  Graphics g(image);
  EXPECT_EQ(device.DrawTile(&g, CRect{0, 0, 20, 10}, 1), 30);
  device.SetIgnored(true);
  EXPECT_EQ(device.DrawTile(&g, CRect{}, 0), 30);
  EXPECT_EQ(device.DrawTile(nullptr, CRect{0, 0, 20, 10}, 0), 30);
  for (int y = 0; y < 40; y += 3)
    for (int x = 0; x < 40; x += 3) ASSERT_EQ(image.GetPixel(x, y), kWhite);
}

TEST_F(DeviceDrawingTest, Led_FullColourInTheMiddleFadingToNothingAtTheRim) {
  {
    Graphics g(image);
    g.SetSmoothingMode(SmoothingMode::AntiAlias);
    device.DrawLed(g, kLedRed, 0, 0, 40, 40);
  }
  CColour centre = image.GetPixel(20, 20);
  EXPECT_EQ(centre.R(), 255);
  EXPECT_EQ(centre.G(), 0);
  EXPECT_GT(centre.A(), 230);
  // About 70 % of the radius out: about half the alpha.
  EXPECT_NEAR(image.GetPixel(34, 20).A(), 128, 25);
  EXPECT_LT(image.GetPixel(39, 20).A(), 30);
  EXPECT_EQ(image.GetPixel(1, 1).A(), 0);  // outside the ellipse
}

TEST_F(DeviceDrawingTest, Led_ColourCodesAndUnknownCodeIsFullyTransparent) {
  {
    Graphics g(image);
    device.DrawLed(g, kLedGreen, 0, 0, 20, 20);
    device.DrawLed(g, kLedYellow, 20, 0, 40, 20);
    device.DrawLed(g, 3, 0, 20, 20, 40);
  }
  EXPECT_EQ(image.GetPixel(10, 10).R(), 0);
  EXPECT_EQ(image.GetPixel(10, 10).G(), 255);
  EXPECT_EQ(image.GetPixel(30, 10).R(), 255);
  EXPECT_EQ(image.GetPixel(30, 10).G(), 255);
  for (int y = 20; y < 40; ++y)
    for (int x = 0; x < 20; ++x) ASSERT_EQ(image.GetPixel(x, y).A(), 0);
}
