// The Zel breakout box's rack tile rendered offscreen and checked by pixels, and its property
// rows with their edits, limits and messages in both property paths. Set ORVAK_TILE_PNG_DIR to
// keep the renderings for a look.
#include <gtest/gtest.h>

#include <cstdlib>

#include "core/draw/BitmapImage.h"
#include "core/support/SystemMessages.h"
#include "devices/amplifier/ZelBreakTile.h"
#include "tests/devices/amplifier/ZelAmpFixture.h"
#include "tests/support/ModelChanges.h"
#include "tests/support/TileImages.h"

namespace {

constexpr CColour kBackground{0xFF202020u};

class ZelBreakTileTest : public ZelAmpFixture {
 protected:
  static CImage Tile(CZelBreakDevice& d, int width, int phase = 0) {
    CImage image = BlankImage(width, 23, kBackground);
    Graphics g(image);
    EXPECT_EQ(d.DrawTile(&g, CRect{0, 0, width, 23}, phase), 23);
    return image;
  }
  static void Keep(const CImage& image, const std::string& name) {
    if (const char* dir = std::getenv("ORVAK_TILE_PNG_DIR")) image.SavePng(std::string(dir) + "/" + name + ".png");
  }
};

struct TileCase {
  std::uint32_t type;
  int rightWidth;
  int ledFromRight;  // the LED's right edge, pixels from the tile's right edge
};

class ZelBreakTileSetTest : public ZelBreakTileTest, public ::testing::WithParamInterface<TileCase> {};

TEST_P(ZelBreakTileSetTest, SkinsNameAndLedOfTheModelLine) {
  CZelBreakDevice* d = AddBox(GetParam().type, 3);
  NameDevice(d, "Stage Box");
  const CBitmapImage* left = GetZelBreakSkin(GetParam().type, ZelBreakSkin::kLeft);
  const CBitmapImage* right = GetZelBreakSkin(GetParam().type, ZelBreakSkin::kRight);
  const CBitmapImage* middle = GetZelBreakSkin(GetParam().type, ZelBreakSkin::kMiddle);
  ASSERT_TRUE(left && right && middle);
  EXPECT_EQ(left->GetHeight(), 23);
  EXPECT_EQ(right->GetWidth(), GetParam().rightWidth);
  EXPECT_EQ(middle->GetWidth(), 1);

  const int w = 240;
  const CImage offline = Tile(*d, w);
  Keep(offline, "zel_break_tile_" + std::to_string(GetParam().type) + "_offline");
  EXPECT_GT(BrightPixels(offline, CRect{30, 5, 120, 17}), 20);  // the name
  for (int y = 0; y < 23; ++y) EXPECT_EQ(offline.GetPixel(150, y), middle->GetImage()->GetPixel(0, y)) << y;
  const int ledX = w - GetParam().ledFromRight - 5;
  EXPECT_GT(offline.GetPixel(ledX, 12).R(), 150);
  EXPECT_LT(offline.GetPixel(ledX, 12).G(), 80);

  Connect(*d);
  ReadOutBox(*d);
  const CImage online = Tile(*d, w);
  Keep(online, "zel_break_tile_" + std::to_string(GetParam().type) + "_online");
  EXPECT_GT(online.GetPixel(ledX, 12).G(), 150);
  EXPECT_LT(online.GetPixel(ledX, 12).R(), 80);
}

INSTANTIATE_TEST_SUITE_P(Lines, ZelBreakTileSetTest,
                         ::testing::Values(TileCase{41, 36, 20}, TileCase{43, 36, 20}, TileCase{45, 36, 20},
                                           TileCase{40, 36, 20}, TileCase{35, 46, 30}, TileCase{38, 46, 30},
                                           TileCase{46, 46, 30}, TileCase{47, 46, 30}));

TEST_F(ZelBreakTileTest, WarningsBlinkNameAndLedTogether) {
  CZelBreakDevice* d = AddBox(47, 3);
  Connect(*d);
  ReadOutBox(*d);
  NameDevice(d, "Quill");
  // A firmware warning: the LED is yellow on phases 0 and 1, and name and LED go on phase 2.
  Bytes identity(24, 0);
  identity[0] = 0xB8;
  identity[2] = 0x17;
  for (int i = 0; i < 4; ++i) identity[std::size_t(19 + i)] = std::uint8_t("0.90"[i]);
  Deliver(*d, 0xB0, identity);
  const CImage on = Tile(*d, 200, 1);
  const CImage off = Tile(*d, 200, 2);
  Keep(on, "zel_break_tile_warning");
  const CColour led = on.GetPixel(200 - 35, 12);
  EXPECT_GT(led.R(), 150);
  EXPECT_GT(led.G(), 150);
  EXPECT_LT(led.B(), 100);
  EXPECT_GT(BrightPixels(on, CRect{30, 5, 120, 17}), 10);
  EXPECT_EQ(BrightPixels(off, CRect{30, 5, 120, 17}), 0);
  EXPECT_NE(off.GetPixel(200 - 35, 12), led);
  // An alarm the unit reports blinks the same way, the LED staying green.
  CZelBreakDevice* alarm = AddBox(41, 4);
  Connect(*alarm);
  ReadOutBox(*alarm);
  alarm->SetStatusForTests(true, true);
  EXPECT_EQ(BrightPixels(Tile(*alarm, 200, 2), CRect{30, 5, 120, 17}), 0);
  EXPECT_GT(Tile(*alarm, 200, 0).GetPixel(200 - 25, 12).G(), 150);
}

TEST_F(ZelBreakTileTest, MeasureEmptyAndNarrowTiles) {
  CZelBreakDevice* d = AddBox(41, 3);
  EXPECT_EQ(d->DrawTile(nullptr, CRect{}, 0), 23);
  CImage image = BlankImage(40, 23, kBackground);
  Graphics g(image);
  EXPECT_EQ(d->DrawTile(&g, CRect{}, 0), 23);
  EXPECT_EQ(image.GetPixel(5, 5), kBackground);
  // Narrower than both ends: the left end and the start of the right one, nothing beyond.
  EXPECT_EQ(d->DrawTile(&g, CRect{0, 0, 40, 23}, 0), 23);
  EXPECT_NE(image.GetPixel(30, 3), kBackground);
  EXPECT_GE(CZelBreakDevice::GetInstanceCount(), 1);
}

// --- Properties ---

using ZelBreakPropertiesTest = ZelAmpFixture;

TEST_F(ZelBreakPropertiesTest, RowsInTheirGroupsAndRights) {
  CZelBreakDevice* d = AddBox(40, 1);
  Grid g;
  d->FillPropertiesPane(g);
  ASSERT_EQ(g.groups.size(), 3u);
  EXPECT_EQ(g.groups[0]->name, "General");
  EXPECT_EQ(g.Names(0), (std::vector<std::string>{"ID", "Device Name", "Firmware Version"}));
  EXPECT_EQ(g.groups[1]->name, "Channel Names");
  EXPECT_EQ(g.Names(1).size(), 8u);
  EXPECT_EQ(g.Names(1).back(), "Channel 8 Name");
  EXPECT_EQ(g.groups[2]->name, "GPIO Config");
  EXPECT_EQ(g.Names(2), (std::vector<std::string>{"Input", "Output", "Network Master Mode"}));
  EXPECT_EQ(g.Find("Output")->GetOptions().size(), 8u);
  EXPECT_EQ(g.Find("Output")->GetOptions()[5], "Load or Network Error");
  EXPECT_EQ(g.Find("Network Master Mode")->GetText(), "Latch");
  EXPECT_EQ(g.Find("Channel 3 Name")->GetDescription(), "Set the name for Channel 3");
  EXPECT_FALSE(g.Find("Firmware Version")->IsEnabled());
  EXPECT_TRUE(g.Find("ID")->IsEnabled());
  Connect(*d);
  Grid online;
  d->FillPropertiesPane(online);
  EXPECT_FALSE(online.Find("ID")->IsEnabled());
  system.Users().GetUsers()[0]->SetRestrictionMask(kRestrictEditDeviceProperties);
  Grid restricted;
  d->FillPropertiesPane(restricted);
  EXPECT_FALSE(restricted.Find("Device Name")->IsEnabled());
  EXPECT_FALSE(restricted.Find("Input")->IsEnabled());
  system.Users().GetUsers()[0]->SetRestrictionMask(0);
}

TEST_F(ZelBreakPropertiesTest, NameLimitsAndTheIdInUse) {
  CZelBreakDevice* d = AddBox(41, 1);
  AddBox(41, 2);
  Connect(*d);
  EXPECT_TRUE(Edit(*d, "Channel 1 Name", std::string(16, 'x')));
  EXPECT_EQ(d->GetChannelName(0), std::string(16, 'x'));
  EXPECT_EQ(Queued(*d).back()[9], 33);
  EXPECT_FALSE(Edit(*d, "Channel 1 Name", std::string(17, 'y')));
  EXPECT_EQ(message, "Channel name too long - 16 characters max");
  EXPECT_EQ(d->GetChannelName(0), std::string(16, 'x'));
  EXPECT_FALSE(Edit(*d, "Device Name", std::string(41, 'n')));
  EXPECT_EQ(message, "Device name too long - 40 characters max");
  EXPECT_TRUE(Edit(*d, "Device Name", std::string("Rack B")));
  EXPECT_EQ(d->GetName(), "Rack B");
  EXPECT_FALSE(Edit(*d, "ID", std::int64_t(2)));
  EXPECT_EQ(message, "Device ID 2 already in use");
  EXPECT_TRUE(Edit(*d, "ID", std::int64_t(0)));
  EXPECT_EQ(d->GetDeviceId(), 0u);
  EXPECT_TRUE(Edit(*d, "ID", std::int64_t(12)));
  EXPECT_EQ(d->GetDeviceId(), 12u);
}

TEST_F(ZelBreakPropertiesTest, GpioChoicesSendThePackedByteOnlyWhenChanged) {
  CZelBreakDevice* d = AddBox(41, 1);
  Connect(*d);
  EXPECT_TRUE(Edit(*d, "Output", {}, 6));
  EXPECT_TRUE(Edit(*d, "Input", {}, 3));
  EXPECT_TRUE(Edit(*d, "Network Master Mode", {}, 1));
  auto queued = Queued(*d);
  ASSERT_EQ(queued.size(), 3u);
  EXPECT_EQ(queued[2][9], 37);
  EXPECT_EQ(queued[2][10], 3 + 6 * 8 + 0x40);
  EXPECT_EQ(d->GetGpioByte(), 3 + 6 * 8 + 0x40);
  EXPECT_TRUE(Edit(*d, "Output", {}, 6));
  EXPECT_EQ(Queued(*d).size(), 3u);
  EXPECT_FALSE(CommitPropertyRow(d, *grid.Find("Firmware Version")));
}

// A unit's input mode beyond the four texts shows no text.
TEST_F(ZelBreakPropertiesTest, AnInputModeBeyondTheTextsShowsNone) {
  CZelBreakDevice* d = AddBox(41, 1);
  Deliver(*d, 59, ZelReply(*d, 59, 33, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x06}, true));
  Grid g;
  d->FillPropertiesPane(g);
  EXPECT_EQ(g.Find("Input")->GetText(), "");
}

}  // namespace
