// Rounded boxes drawn into offscreen images, checked by pixels, and skin bitmaps from the
// resources.
#include <gtest/gtest.h>

#include "core/draw/BitmapImage.h"
#include "core/draw/RoundedBox.h"
#include "platform/Graphics.h"
#include "platform/Image.h"

namespace {
const CColour kWhite = CColour::FromRgb(255, 255, 255);

bool IsSet(const CImage& image, int x, int y) { return image.GetPixel(x, y).A() > 128; }

// Whether two paths cover the same pixel centres of an area.
bool SameCoverage(const CGraphicsPath& a, const CGraphicsPath& b, int size) {
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const CPointF p{x + 0.5f, y + 0.5f};
      if (a.IsVisible(p) != b.IsVisible(p)) return false;
    }
  return true;
}
}  // namespace

TEST(RoundRectPathTest, DiameterLargerThanASide_IsCutToTheSmallerSide) {
  CGraphicsPath cut;
  CreateRoundRectPath(cut, 50, 5, 5, 30, 40);
  CGraphicsPath expected;
  CreateRoundRectPath(expected, 30, 5, 5, 30, 40);
  EXPECT_TRUE(SameCoverage(cut, expected, 60));
  EXPECT_EQ(cut.GetBounds(), (CRectF{5, 5, 29, 39}));
}

TEST(RoundRectPathTest, ArcsStandInsideTheRectangleOnePixelShortOfItsFarEdges) {
  for (int d : {0, 8, 19, 20, 21}) {
    CGraphicsPath path;
    CreateRoundRectPath(path, d, 10, 20, 60, 40);
    EXPECT_EQ(path.GetBounds(), (CRectF{10, 20, 59, 39})) << "diameter " << d;
  }
}

TEST(RoundRectPathTest, CornersAreCutAndTheMiddleIsInside) {
  CGraphicsPath path;
  CreateRoundRectPath(path, 16, 0, 0, 40, 30);
  EXPECT_TRUE(path.IsVisible({20, 15}));
  EXPECT_TRUE(path.IsVisible({20, 1}));
  EXPECT_FALSE(path.IsVisible({1, 1}));
  EXPECT_FALSE(path.IsVisible({38, 28}));
  CGraphicsPath square;
  CreateRoundRectPath(square, -5, 0, 0, 40, 30);
  EXPECT_TRUE(square.IsVisible({0.5f, 0.5f}));
}

TEST(RoundedBoxTest, BorderOne_DrawsAOnePixelOutlineOnTheOutermostPixels) {
  CImage image(60, 50);
  {
    Graphics g(image);
    DrawRoundedBox(g, kWhite, 1, 4, 10, 10, 30, 20);
  }
  // Edges of the path (x .. x + w - 1, y .. y + h - 1).
  EXPECT_TRUE(IsSet(image, 25, 10));
  EXPECT_TRUE(IsSet(image, 25, 29));
  EXPECT_TRUE(IsSet(image, 10, 20));
  EXPECT_TRUE(IsSet(image, 39, 20));
  // Inside, outside and the rounded corner stay empty.
  EXPECT_FALSE(IsSet(image, 25, 20));
  EXPECT_FALSE(IsSet(image, 25, 11));
  EXPECT_FALSE(IsSet(image, 11, 20));
  EXPECT_FALSE(IsSet(image, 9, 20));
  EXPECT_FALSE(IsSet(image, 40, 20));
  EXPECT_FALSE(IsSet(image, 25, 30));
  EXPECT_FALSE(IsSet(image, 10, 10));
}

TEST(RoundedBoxTest, WiderBorder_FillsOnlyABandOfThatWidth) {
  CImage image(70, 60);
  {
    Graphics g(image);
    DrawRoundedBox(g, kWhite, 3, 6, 10, 10, 40, 30);
  }
  for (int x : {10, 11, 12, 46, 47, 48}) EXPECT_TRUE(IsSet(image, x, 25)) << x;
  for (int x : {9, 13, 30, 45, 49}) EXPECT_FALSE(IsSet(image, x, 25)) << x;
  for (int y : {10, 11, 12}) EXPECT_TRUE(IsSet(image, 30, y)) << y;
  EXPECT_FALSE(IsSet(image, 30, 13));
  EXPECT_FALSE(IsSet(image, 10, 10));  // rounded corner
}

TEST(BitmapImageTest, BmpResourceLoadsAtItsSizeRightWayUp) {
  CBitmapImage image;
  ASSERT_TRUE(image.LoadFromResource(CBitmapImage::kResourceBmp, 313));
  EXPECT_EQ(image.GetWidth(), 600);
  EXPECT_EQ(image.GetHeight(), 400);
  // The splash is lighter at the top than at the bottom.
  const CColour top = image.GetImage()->GetPixel(5, 2);
  const CColour bottom = image.GetImage()->GetPixel(5, 397);
  EXPECT_EQ(top.A(), 255);
  EXPECT_GT(top.B(), bottom.B() + 20);
}

TEST(BitmapImageTest, UnknownSelectorOrMissingResource_LeavesTheImageEmpty) {
  CBitmapImage image;
  EXPECT_FALSE(image.LoadFromResource(2, 313));
  EXPECT_TRUE(image.IsEmpty());
  EXPECT_EQ(image.GetWidth(), 0);
  EXPECT_EQ(image.GetHeight(), 0);
  EXPECT_FALSE(image.LoadFromResource(CBitmapImage::kResourcePng, 313));
  EXPECT_FALSE(image.LoadFromResource(CBitmapImage::kResourceBmp, 1));
  EXPECT_EQ(image.GetImage(), nullptr);
}

TEST(BitmapImageTest, BlankImageIsTransparentAndCanBeDrawnInto) {
  CBitmapImage image;
  image.CreateBlank(20, 10);
  ASSERT_FALSE(image.IsEmpty());
  EXPECT_EQ(image.GetWidth(), 20);
  EXPECT_EQ(image.GetHeight(), 10);
  EXPECT_EQ(image.GetImage()->GetPixel(3, 3).A(), 0);
  {
    Graphics g(*image.GetImage());
    g.FillRectangle(kWhite, {0, 0, 5, 5});
  }
  EXPECT_EQ(image.GetImage()->GetPixel(3, 3), kWhite);
  image.CreateBlank(0, 5);
  EXPECT_TRUE(image.IsEmpty());
}

