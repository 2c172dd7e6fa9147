// Processor rack tiles and live-meter columns, drawn offscreen and checked by pixels.
#include <gtest/gtest.h>

#include "core/draw/BitmapImage.h"
#include "devices/processor/NerexTiles.h"
#include "platform/Graphics.h"
#include "platform/Image.h"
#include "tests/support/ModelChanges.h"
#include "tests/support/TileImages.h"
#include "tests/devices/processor/ProcessorFixture.h"

namespace {

// A processor whose warnings the test sets.
class CWarningProcessor : public CNerexSeriesDevice {
 public:
  using CNerexSeriesDevice::CNerexSeriesDevice;
  std::uint32_t HasWarnings() override { return warnings; }
  std::uint32_t warnings = 0;
};

class Tiles : public ProcessorFixture {
 protected:
  CWarningProcessor& MakeWarning(int model, std::uint32_t hardwareCode = 0) {
    auto* d = new CWarningProcessor(&m_system, std::uint32_t(model), 1, &m_sink, hardwareCode);
    d->Initialise();
    NameDevice(d, "Main L");
    m_system.AppendDevice(d);
    return *d;
  }

  static CImage Blank(int w, int h) { return BlankImage(w, h, CColour{0xFF000000u}); }

  static CImage Tile(CNerexSeriesDevice& d, int width, int phase = 0) {
    return RenderTile(d, width, phase, CColour{0xFF000000u});
  }

  static CColour Skin(std::uint32_t id, int x, int y) {
    CBitmapImage bitmap;
    EXPECT_TRUE(bitmap.LoadFromResource(CBitmapImage::kResourceBmp, id)) << id;
    return bitmap.GetImage() ? bitmap.GetImage()->GetPixel(x, y) : CColour{};
  }

  static int SkinWidth(std::uint32_t id) {
    CBitmapImage bitmap;
    bitmap.LoadFromResource(CBitmapImage::kResourceBmp, id);
    return bitmap.GetWidth();
  }
};

bool IsRed(CColour c) { return c.R() > 150 && c.G() < 90 && c.B() < 90; }
bool IsGreen(CColour c) { return c.G() > 100 && c.R() < 90 && c.B() < 90; }
bool IsYellow(CColour c) { return c.R() > 150 && c.G() > 150 && c.B() < 90; }
bool IsMeterGrey(CColour c) { return c.R() == 0x7D && c.G() == 0x7D && c.B() == 0x7D; }

}  // namespace

TEST_F(Tiles, NerexTileIsBuiltFromItsSkinWithTextsAndAStatusLed) {
  CWarningProcessor& d = MakeWarning(120);
  const CImage image = Tile(d, 300);
  const int right = SkinWidth(2142);
  EXPECT_EQ(image.GetPixel(5, 15), Skin(2141, 5, 15));        // left end
  EXPECT_EQ(image.GetPixel(150, 4), Skin(2143, 0, 4));        // middle piece
  EXPECT_EQ(image.GetPixel(297, 15), Skin(2142, right - 3, 15));  // right end
  // Name and "Nerex48   ID : 1" in white in the text area.
  EXPECT_GT(BrightPixels(image, CRect{28, 3, 300 - 34, 16}), 10);
  EXPECT_GT(BrightPixels(image, CRect{28, 16, 300 - 34, 29}), 10);
  // The LED, red while the device is not connected: rectangle (262, 10) - (272, 20).
  EXPECT_TRUE(IsRed(image.GetPixel(267, 15)));
  Connect(d);
  EXPECT_TRUE(IsGreen(Tile(d, 300).GetPixel(267, 15)));
  d.warnings = 1;
  EXPECT_TRUE(IsYellow(Tile(d, 300).GetPixel(267, 15)));
}

TEST_F(Tiles, WarningsBlinkTextsAndLedOff) {
  CWarningProcessor& d = MakeWarning(16);
  d.warnings = 4;
  const CImage on = Tile(d, 300, 1);
  const CImage off = Tile(d, 300, 2);
  // Fennick LED rectangle (258, 10) - (268, 20).
  EXPECT_TRUE(IsYellow(on.GetPixel(263, 15)));
  EXPECT_EQ(off.GetPixel(263, 15), Skin(2155, SkinWidth(2155) - 37, 15));
  EXPECT_GT(BrightPixels(on, CRect{32, 3, 234, 29}), 10);
  EXPECT_EQ(BrightPixels(off, CRect{32, 3, 234, 29}), 0);
}

TEST_F(Tiles, HardwareCodeChoosesTheHollinSetForBothCalderModels) {
  for (int model : {110, 112}) {
    CWarningProcessor& hollin = MakeWarning(model, 0x1C4A21);
    CWarningProcessor& calder = MakeWarning(model, 0x1C201C);
    const int stripe = SkinWidth(2236) - 5;  // the family colour on the left end
    EXPECT_EQ(Tile(hollin, 300).GetPixel(stripe, 15), Skin(2236, stripe, 15)) << model;
    EXPECT_EQ(Tile(calder, 300).GetPixel(stripe, 15), Skin(2208, stripe, 15)) << model;
    EXPECT_NE(Skin(2236, stripe, 15), Skin(2208, stripe, 15));
  }
}

TEST_F(Tiles, NarrowTileShowsTheEndsOnlyAndEmptyRectDrawsNothing) {
  CWarningProcessor& d = MakeWarning(120);
  const int left = SkinWidth(2141), right = SkinWidth(2142);
  const int width = left + right / 2;
  const CImage image = Tile(d, width);
  // Beside the left end, the outer part of the right end, untouched by texts or LED.
  const int fits = width - left;
  CBitmapImage skin;
  ASSERT_TRUE(skin.LoadFromResource(CBitmapImage::kResourceBmp, 2142));
  for (int y = 0; y < 30; ++y)
    for (int x = left; x < width; ++x)
      ASSERT_EQ(image.GetPixel(x, y), skin.GetImage()->GetPixel(x - left + right - fits, y)) << x << "," << y;

  CImage blank = Blank(50, 30);
  Graphics g(blank);
  EXPECT_EQ(d.DrawTile(&g, CRect{}, 0), 30);
  EXPECT_EQ(blank.GetPixel(10, 10), CColour{0xFF000000u});
}

TEST_F(Tiles, IgnoredTileIsVeiled) {
  CWarningProcessor& d = MakeWarning(120);
  const CColour plain = Tile(d, 300).GetPixel(150, 15);
  d.SetIgnored(true);
  const CColour veiled = Tile(d, 300).GetPixel(150, 15);
  EXPECT_NE(plain, veiled);
  EXPECT_LE(int(veiled.R()) + veiled.G() + veiled.B(), int(plain.R()) + plain.G() + plain.B());
}

// --- Live meters ---

TEST_F(Tiles, MonitorColumnWidthFollowsTheChannelCount) {
  EXPECT_EQ(MakeWarning(120).DrawMonitorTile(nullptr, CRect{0, 0, 240, 300}, nullptr, 0), 240);
  EXPECT_EQ(MakeWarning(114).DrawMonitorTile(nullptr, CRect{0, 0, 150, 300}, nullptr, 0), 150);
  EXPECT_EQ(GetMonitorTileWidth(MakeWarning(110)), 180);
  EXPECT_EQ(GetMonitorTileWidth(MakeWarning(113)), 60);
}

TEST_F(Tiles, MonitorColumnDrawsSilentMetersScaleLedAndOutline) {
  CWarningProcessor& d = MakeWarning(120);
  CImage image = Blank(240, 300);
  Graphics g(image);
  EXPECT_EQ(d.DrawMonitorTile(&g, CRect{0, 0, 240, 300}, &g, 0), 240);
  EXPECT_EQ(GetMeterBitmapHeight(), 220);
  // Input A's meter from x 25: clip box 10..20, bar 30..250, signal box 260..270, all grey.
  EXPECT_TRUE(IsMeterGrey(image.GetPixel(26, 15)));
  EXPECT_TRUE(IsMeterGrey(image.GetPixel(30, 140)));
  EXPECT_TRUE(IsMeterGrey(image.GetPixel(34, 265)));
  // Output 1 after the 10-pixel gap: 25 + 3 x 15 + 10 + 15 = 95.
  EXPECT_TRUE(IsMeterGrey(image.GetPixel(96, 140)));
  EXPECT_FALSE(IsMeterGrey(image.GetPixel(94, 140)));
  // Scale tick of +9 dB at the top of the bars, right of the last meter (15 x 12 + 30).
  EXPECT_GT(image.GetPixel(211, 30).R(), 200);
  // Status LED, red while disconnected, and the white outline.
  EXPECT_TRUE(IsRed(image.GetPixel(215, 285)));
  const CColour outline = image.GetPixel(2, 150);
  EXPECT_GT(outline.R() + outline.G() + outline.B(), 600);
  EXPECT_EQ(image.GetPixel(6, 150), CColour{0xFF000000u});

  d.SetIgnored(true);
  CImage ignored = Blank(240, 300);
  Graphics gi(ignored);
  d.DrawMonitorTile(&gi, CRect{0, 0, 240, 300}, &gi, 0);
  const CColour fill = ignored.GetPixel(6, 150);
  EXPECT_GT(fill.R(), 15);
  EXPECT_LT(fill.R(), 60);
}

TEST_F(Tiles, MeterBarLightsClipAndSignalBoxesAtTheirThresholds) {
  BuildMeterBitmap(100);
  const CRect m{0, 0, 20, 140};  // bar rows 20 .. 120
  auto bar = [&](float level) {
    CImage image = Blank(20, 140);
    Graphics g(image);
    CRect result;
    EXPECT_EQ(DrawMeterBar(g, m, result, level), m);
    EXPECT_EQ(result, m);
    return image;
  };
  EXPECT_TRUE(IsMeterGrey(bar(0.0f).GetPixel(5, 5)));
  EXPECT_TRUE(IsRed(bar(0.1f).GetPixel(5, 5)));
  EXPECT_TRUE(IsMeterGrey(bar(-85.0f).GetPixel(5, 135)));
  EXPECT_TRUE(IsGreen(bar(-84.0f).GetPixel(5, 135)));
  // -38 dB leaves the top half of the bar unlit.
  const CImage half = bar(-38.0f);
  EXPECT_TRUE(IsMeterGrey(half.GetPixel(5, 20 + 49)));
  EXPECT_FALSE(IsMeterGrey(half.GetPixel(5, 20 + 51)));
  // +9 dB (the most a meter is given) lights all of it.
  EXPECT_FALSE(IsMeterGrey(bar(9.0f).GetPixel(5, 20)));
  EXPECT_TRUE(IsRed(bar(9.0f).GetPixel(5, 20)));
  EXPECT_TRUE(IsMeterGrey(bar(-112.0f).GetPixel(5, 119)));
  // Nothing right of the 10-pixel bar.
  EXPECT_EQ(bar(9.0f).GetPixel(12, 60), CColour{0xFF000000u});
}

TEST_F(Tiles, LowMonitorRectangleGivesEmptyBars) {
  CWarningProcessor& d = MakeWarning(114);
  CImage image = Blank(150, 70);
  Graphics g(image);
  d.DrawMonitorTile(&g, CRect{0, 0, 150, 70}, &g, 1);
  EXPECT_EQ(GetMeterBitmapHeight(), 0);
  EXPECT_TRUE(IsMeterGrey(image.GetPixel(26, 12)));  // clip box
  EXPECT_TRUE(IsMeterGrey(image.GetPixel(26, 35)));  // signal box, rows 30 .. 40
  EXPECT_EQ(image.GetPixel(26, 25), CColour{0xFF000000u});  // no bar between them
}

// The level scale reads 9, 0, -9 ... -81 beside its ticks: a blank column parts every tick from
// its figures (the tick ran into them: "-0", "--9").
TEST_F(Tiles, MonitorScaleKeepsItsTicksApartFromTheFigures) {
  CWarningProcessor& d = MakeWarning(120);
  CImage image = Blank(240, 300);
  Graphics g(image);
  d.DrawMonitorTile(&g, CRect{0, 0, 240, 300}, &g, 0);
  const int h = 300 - 80, x = 15 * 12 + 30;
  auto lit = [&](int px, int py) { return image.GetPixel(px, py).R() > 90; };
  for (int v = 9; v >= -81; v -= 9) {
    const int y = 30 + int((9.0 - v) / 94.0 * h);
    EXPECT_TRUE(lit(x + 1, y)) << v;  // the tick
    int gap = 0, figures = 0;
    for (int row = y - 4; row <= y + 6; ++row) {
      gap += lit(x + 4, row);
      for (int col = x + 5; col < x + 26; ++col) figures += lit(col, row);
    }
    EXPECT_EQ(gap, 0) << v;
    EXPECT_GT(figures, 8) << v;
  }
}
