// The drawing canvas, checked by the pixels it leaves in offscreen images.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cstdlib>

#include "platform/Graphics.h"
#include "platform/Image.h"
#include "tests/support/PureColours.h"

namespace {
const CColour kYellow = CColour::FromRgb(255, 255, 0);

bool IsSet(const CImage& image, int x, int y) { return image.GetPixel(x, y).A() > 128; }

bool Near(CColour a, CColour b, int tolerance = 8) {
  return std::abs(a.A() - b.A()) <= tolerance && std::abs(a.R() - b.R()) <= tolerance &&
         std::abs(a.G() - b.G()) <= tolerance && std::abs(a.B() - b.B()) <= tolerance;
}

::testing::AssertionResult ColourNear(const CImage& image, int x, int y, CColour expected, int tolerance = 8) {
  const CColour c = image.GetPixel(x, y);
  if (Near(c, expected, tolerance)) return ::testing::AssertionSuccess();
  char buf[128];
  std::snprintf(buf, sizeof buf, "pixel (%d, %d) is %08X, expected %08X", x, y, c.argb, expected.argb);
  return ::testing::AssertionFailure() << buf;
}

// Rows set in one column.
std::string Column(const CImage& image, int x, int from, int to) {
  std::string s;
  for (int y = from; y <= to; ++y) s += IsSet(image, x, y) ? '#' : '.';
  return s;
}

// The bounding box of the pixels that are not transparent (empty when none).
CRect InkBounds(const CImage& image) {
  CRect r{image.Width(), image.Height(), 0, 0};
  for (int y = 0; y < image.Height(); ++y)
    for (int x = 0; x < image.Width(); ++x)
      if (image.GetPixel(x, y).A() > 60) {
        r.left = std::min(r.left, x);
        r.top = std::min(r.top, y);
        r.right = std::max(r.right, x + 1);
        r.bottom = std::max(r.bottom, y + 1);
      }
  return r.right > r.left ? r : CRect{};
}

CFont TestFont(float em = 20.0f) {
  CFont f;
  f.face = "Arial";
  f.emPixels = em;
  return f;
}
}  // namespace

TEST(GraphicsFillTest, RectangleCoversExactlyItsPixelsWithOrWithoutSmoothing) {
  for (SmoothingMode mode : {SmoothingMode::None, SmoothingMode::HighQuality}) {
    CImage image(10, 10);
    {
      Graphics g(image);
      g.SetSmoothingMode(mode);
      g.FillRectangle(kRed, {2, 2, 5, 5});
    }
    EXPECT_EQ(Column(image, 4, 0, 9), "..#####...");
    EXPECT_TRUE(ColourNear(image, 2, 2, kRed, 0));
  }
}

TEST(GraphicsStrokeTest, OnePixelLineAtAWholeCoordinateLightsOneRow_EvenWhenSmoothed) {
  for (SmoothingMode mode : {SmoothingMode::None, SmoothingMode::AntiAlias}) {
    CImage image(10, 10);
    {
      Graphics g(image);
      g.SetSmoothingMode(mode);
      g.DrawLine(CPen(kWhite, 1.0f), {0, 5}, {9, 5});
    }
    EXPECT_EQ(Column(image, 4, 0, 9), ".....#....");
    EXPECT_TRUE(ColourNear(image, 4, 5, kWhite, 0));
  }
}

TEST(GraphicsStrokeTest, RectangleOutlineLightsItsFirstAndLastColumnInclusive) {
  CImage image(20, 20);
  {
    Graphics g(image);
    g.DrawRectangle(CPen(kWhite), {2, 2, 10, 6});
  }
  EXPECT_TRUE(IsSet(image, 2, 5));
  EXPECT_TRUE(IsSet(image, 12, 5));
  EXPECT_TRUE(IsSet(image, 7, 2));
  EXPECT_TRUE(IsSet(image, 7, 8));
  EXPECT_FALSE(IsSet(image, 7, 5));
  EXPECT_FALSE(IsSet(image, 13, 5));
  EXPECT_TRUE(IsSet(image, 12, 8));  // corners are closed
}

TEST(GraphicsStrokeTest, WidePenIsCentredOnTheLine) {
  CImage image(10, 10);
  {
    Graphics g(image);
    g.DrawLine(CPen(kWhite, 2.0f), {0, 5}, {9, 5});
  }
  EXPECT_EQ(Column(image, 4, 0, 9), "....##....");
}

TEST(GraphicsStrokeTest, InsetPenStaysInsideTheShape) {
  CImage image(30, 30);
  {
    Graphics g(image);
    g.DrawRectangle(CPen(kWhite, 3.0f, PenAlignment::Inset), {5, 5, 20, 20});
  }
  EXPECT_EQ(Column(image, 15, 3, 10), "..###...");
  EXPECT_FALSE(IsSet(image, 4, 15));
  EXPECT_TRUE(IsSet(image, 5, 15));
}

TEST(GraphicsGradientTest, VerticalGradientRunsFromTheFirstColourToTheSecond) {
  CImage image(10, 101);
  {
    Graphics g(image);
    g.FillRectangle(CBrush::LinearGradient({0, 0, 10, 101}, kRed, kBlue, true), {0, 0, 10, 101});
  }
  EXPECT_TRUE(ColourNear(image, 5, 0, kRed, 6));
  EXPECT_TRUE(ColourNear(image, 5, 100, kBlue, 6));
  EXPECT_TRUE(ColourNear(image, 5, 50, CColour::FromRgb(128, 0, 128), 10));
}

TEST(GraphicsGradientTest, InterpolationColoursPlaceTheMiddleStop) {
  CImage image(4, 101);
  {
    Graphics g(image);
    CBrush brush = CBrush::LinearGradient(CPointF{0, 0}, CPointF{0, 101}, kRed, kGreen);
    brush.SetInterpolationColours({{0.0f, kRed}, {0.6f, kYellow}, {1.0f, kGreen}});
    g.FillRectangle(brush, {0, 0, 4, 101});
  }
  EXPECT_TRUE(ColourNear(image, 1, 60, kYellow, 8));
  EXPECT_TRUE(ColourNear(image, 1, 30, CColour::FromRgb(255, 128, 0), 10));
  EXPECT_TRUE(ColourNear(image, 1, 100, kGreen, 8));
}

TEST(GraphicsGradientTest, TileRepeatsBeyondTheEndPointsAndClampExtendsThem) {
  CImage tiled(2, 20);
  CImage clamped(2, 20);
  {
    Graphics g(tiled);
    g.FillRectangle(CBrush::LinearGradient(CPointF{0, 0}, CPointF{0, 10}, kRed, kBlue), {0, 0, 2, 20});
  }
  {
    Graphics g(clamped);
    g.FillRectangle(CBrush::LinearGradient(CPointF{0, 0}, CPointF{0, 10}, kRed, kBlue).SetWrapMode(WrapMode::Clamp),
                    {0, 0, 2, 20});
  }
  EXPECT_TRUE(Near(tiled.GetPixel(0, 12), tiled.GetPixel(0, 2), 4));
  EXPECT_TRUE(ColourNear(clamped, 0, 15, kBlue, 2));
}

TEST(GraphicsGradientTest, EllipseGradientGoesFromTheCentreColourToTheSurround) {
  CImage image(41, 41);
  {
    Graphics g(image);
    g.SetSmoothingMode(SmoothingMode::HighQuality);
    g.FillEllipse(CBrush::EllipseGradient({0, 0, 41, 41}, kWhite, kBlue), {0, 0, 41, 41});
  }
  EXPECT_TRUE(ColourNear(image, 20, 20, kWhite, 16));
  EXPECT_TRUE(ColourNear(image, 20, 1, kBlue, 40));
  EXPECT_EQ(image.GetPixel(1, 1).A(), 0);  // outside the ellipse
}

TEST(GraphicsPathTest, AlternateFillLeavesTheHoleOfNestedFiguresAndWindingFillsIt) {
  for (FillMode mode : {FillMode::Alternate, FillMode::Winding}) {
    CImage image(30, 30);
    CGraphicsPath path(mode);
    path.AddRectangle({0, 0, 30, 30});
    path.AddRectangle({10, 10, 10, 10});
    {
      Graphics g(image);
      g.FillPath(kGreen, path);
    }
    EXPECT_TRUE(IsSet(image, 5, 5));
    EXPECT_EQ(IsSet(image, 15, 15), mode == FillMode::Winding);
  }
}

TEST(GraphicsPathTest, ArcsRunClockwiseFromTheGivenAngleAndJoinWithinAFigure) {
  // A quarter from 180 degrees clockwise is the top-left corner of the ellipse.
  CGraphicsPath path;
  path.AddArc(0, 0, 20, 20, 180.0f, 90.0f);
  path.AddLine({10, 10}, {0, 10});
  path.CloseFigure();
  EXPECT_TRUE(path.IsVisible({5, 7}));
  EXPECT_FALSE(path.IsVisible({15, 7}));
  EXPECT_FALSE(path.IsVisible({5, 13}));
  EXPECT_EQ(path.GetBounds(), (CRectF{0, 0, 10, 10}));
}

TEST(GraphicsPathTest, PolygonAndFlattenKeepTheShape) {
  CGraphicsPath path;
  path.AddEllipse({0, 0, 20, 20});
  path.Flatten(0.25f);
  EXPECT_TRUE(path.IsVisible({10, 10}));
  EXPECT_FALSE(path.IsVisible({1, 1}));
  CImage image(20, 20);
  {
    Graphics g(image);
    g.FillPolygon(kRed, {{0, 0}, {20, 0}, {0, 20}});
  }
  EXPECT_TRUE(IsSet(image, 3, 3));
  EXPECT_FALSE(IsSet(image, 17, 17));
}

TEST(GraphicsClipTest, RectangleClipLimitsDrawingAndSaveRestoreRemovesIt) {
  CImage image(20, 20);
  {
    Graphics g(image);
    const CGraphicsState state = g.Save();
    g.SetClip(CRect{5, 5, 10, 10});
    EXPECT_TRUE(g.HasClip());
    EXPECT_EQ(g.GetClipBounds(), (CRectF{5, 5, 5, 5}));
    g.FillRectangle(kRed, {0, 0, 20, 20});
    g.Restore(state);
    EXPECT_FALSE(g.HasClip());
    g.FillRectangle(kBlue, {0, 0, 2, 2});
  }
  EXPECT_TRUE(ColourNear(image, 7, 7, kRed, 0));
  EXPECT_FALSE(IsSet(image, 3, 7));
  EXPECT_FALSE(IsSet(image, 12, 12));
  EXPECT_TRUE(ColourNear(image, 1, 1, kBlue, 0));
}

TEST(GraphicsClipTest, PathClipCutsTheCorners) {
  CImage image(20, 20);
  {
    Graphics g(image);
    CGraphicsPath circle;
    circle.AddEllipse({0, 0, 20, 20});
    g.SetClip(circle);
    g.FillRectangle(kRed, {0, 0, 20, 20});
    g.ResetClip();
  }
  EXPECT_TRUE(IsSet(image, 10, 10));
  EXPECT_FALSE(IsSet(image, 0, 0));
  EXPECT_FALSE(IsSet(image, 19, 19));
}

TEST(GraphicsClipTest, SavedClipComesBackWhereItWasAfterTheTransformChanged) {
  CImage image(40, 40);
  {
    Graphics g(image);
    g.SetClip(CRectF{0, 0, 10, 10});
    const CClipState saved = g.SaveClip();
    g.TranslateTransform(20, 20);
    g.SetClip(CRectF{0, 0, 10, 10});  // at (20, 20) on the image
    g.RestoreClip(saved);
    g.FillRectangle(kRed, {-20, -20, 40, 40});
  }
  EXPECT_TRUE(IsSet(image, 5, 5));
  EXPECT_FALSE(IsSet(image, 25, 25));
}

TEST(GraphicsModeTest, SourceCopyAndClearReplacePixelsInsideTheClip) {
  CImage image(10, 10);
  {
    Graphics g(image);
    g.FillRectangle(kRed, {0, 0, 10, 10});
    g.SetCompositingMode(CompositingMode::SourceCopy);
    g.FillRectangle(CColour::FromArgb(0, 0, 0, 0), {0, 0, 5, 10});
    g.SetCompositingMode(CompositingMode::SourceOver);
    g.SetClip(CRectF{5, 0, 5, 5});
    g.Clear(CColour::FromArgb(128, 0, 0, 255));
  }
  EXPECT_EQ(image.GetPixel(2, 2).A(), 0);
  EXPECT_TRUE(ColourNear(image, 7, 2, CColour::FromArgb(128, 0, 0, 255), 2));
  EXPECT_TRUE(ColourNear(image, 7, 7, kRed, 0));
}

TEST(GraphicsModeTest, SetPixelIgnoresTheTransformButKeepsToTheClip) {
  CImage image(10, 10);
  {
    Graphics g(image);
    g.TranslateTransform(5, 5);
    g.SetPixel(1, 1, kWhite);
    g.SetClip(CRectF{-5, -5, 3, 3});  // pixels 0 to 2 of the image
    g.SetPixel(2, 2, kWhite);
    g.SetPixel(6, 6, kWhite);
  }
  EXPECT_TRUE(ColourNear(image, 1, 1, kWhite, 0));
  EXPECT_TRUE(IsSet(image, 2, 2));
  EXPECT_FALSE(IsSet(image, 6, 6));
}

TEST(GraphicsModeTest, SaveAndRestoreBringBackModesAndTransform) {
  CImage image(10, 10);
  Graphics g(image);
  g.SetSmoothingMode(SmoothingMode::HighQuality);
  g.SetTextRenderingHint(TextRenderingHint::ClearTypeGridFit);
  const CGraphicsState outer = g.Save();
  g.SetSmoothingMode(SmoothingMode::None);
  g.TranslateTransform(3, 4);
  g.Save();
  g.SetTextRenderingHint(TextRenderingHint::SingleBitPerPixel);
  g.Restore(outer);  // drops the inner save too
  EXPECT_EQ(g.GetSmoothingMode(), SmoothingMode::HighQuality);
  EXPECT_EQ(g.GetTextRenderingHint(), TextRenderingHint::ClearTypeGridFit);
  EXPECT_EQ(g.GetTransform(), CMatrix{});
}

TEST(GraphicsTransformTest, TranslateThenRotateTurnsAboutTheNewOrigin) {
  CImage image(30, 30);
  {
    Graphics g(image);
    g.TranslateTransform(10, 20);
    g.RotateTransform(270.0f);  // x now points up the image
    g.FillRectangle(kRed, {0, 0, 15, 3});
  }
  // The bar runs from (10, 20) upward to (10, 5), three pixels wide toward the right.
  EXPECT_TRUE(IsSet(image, 11, 10));
  EXPECT_TRUE(IsSet(image, 11, 18));
  EXPECT_FALSE(IsSet(image, 11, 22));
  EXPECT_FALSE(IsSet(image, 20, 18));
}

TEST(GraphicsTextTest, AlignmentPlacesTheTextInItsLayoutRectangle) {
  const CRectF layout{10, 10, 180, 60};
  const CStringFormat formats[] = {{StringAlignment::Near, StringAlignment::Near},
                                   {StringAlignment::Center, StringAlignment::Center},
                                   {StringAlignment::Far, StringAlignment::Far}};
  CRect ink[3];
  for (int i = 0; i < 3; ++i) {
    CImage image(200, 80);
    {
      Graphics g(image);
      g.SetTextRenderingHint(TextRenderingHint::AntiAlias);
      g.DrawString("Mixer", TestFont(), layout, formats[i], kWhite);
    }
    ink[i] = InkBounds(image);
    ASSERT_GT(ink[i].Width(), 20) << i;
  }
  EXPECT_LE(std::abs(ink[0].left - 10), 3);
  EXPECT_LE(std::abs(ink[0].top - 10), 8);
  EXPECT_LE(std::abs((ink[1].left + ink[1].right) / 2 - 100), 3);
  EXPECT_LE(std::abs((ink[1].top + ink[1].bottom) / 2 - 40), 4);
  EXPECT_LE(std::abs(ink[2].right - 190), 3);
  EXPECT_LE(std::abs(ink[2].bottom - 70), 7);
}

TEST(GraphicsTextTest, TextIsDrawnInTheBrushColourAtTheFontSize) {
  CImage small(200, 80);
  CImage large(200, 80);
  {
    Graphics g(small);
    g.DrawString("H", TestFont(20.0f), {0, 0, 200, 80}, CStringFormat(), kGreen);
  }
  {
    Graphics g(large);
    g.DrawString("H", TestFont(40.0f), {0, 0, 200, 80}, CStringFormat(), kGreen);
  }
  const CRect a = InkBounds(small);
  const CRect b = InkBounds(large);
  EXPECT_NEAR(a.Height(), 14, 2);  // cap height of a 20-pixel em
  EXPECT_NEAR(b.Height(), 2 * a.Height(), 2);
  EXPECT_TRUE(ColourNear(small, (a.left + a.right) / 2, (a.top + a.bottom) / 2, kGreen, 10) ||
              ColourNear(small, a.left + 1, (a.top + a.bottom) / 2, kGreen, 10));
}

TEST(GraphicsTextTest, TextIsCutAtTheLayoutRectangleUnlessNoClip) {
  CImage clipped(200, 40);
  CImage unclipped(200, 40);
  CStringFormat noClip;
  noClip.noClip = true;
  noClip.noWrap = true;
  CStringFormat clip;
  clip.noWrap = true;
  {
    Graphics g(clipped);
    g.DrawString("Long label text", TestFont(), {0, 0, 40, 40}, clip, kWhite);
  }
  {
    Graphics g(unclipped);
    g.DrawString("Long label text", TestFont(), {0, 0, 40, 40}, noClip, kWhite);
  }
  EXPECT_LE(InkBounds(clipped).right, 40);
  EXPECT_GT(InkBounds(unclipped).right, 60);
}

TEST(GraphicsTextTest, ZeroSizeLayoutAnchorsTheTextAtItsPoint) {
  CImage image(200, 60);
  {
    Graphics g(image);
    g.DrawString("-12dB", TestFont(), {100, 30, 0, 0}, {StringAlignment::Far, StringAlignment::Center}, kWhite);
  }
  const CRect ink = InkBounds(image);
  EXPECT_LE(std::abs(ink.right - 100), 3);
  EXPECT_LE(std::abs((ink.top + ink.bottom) / 2 - 30), 4);
  Graphics g(image);
  const CRectF box = g.MeasureString("-12dB", TestFont(), {100, 30, 0, 0}, {StringAlignment::Far, StringAlignment::Center});
  EXPECT_NEAR(box.Right(), 100.0f, 1.0f);
  EXPECT_NEAR(box.y + box.height / 2, 30.0f, 1.0f);
}

TEST(GraphicsTextTest, RotatedTextReadsUpward) {
  CImage image(40, 200);
  {
    Graphics g(image);
    g.TranslateTransform(10, 180);
    g.RotateTransform(270.0f);
    g.DrawString("Device name", TestFont(14.0f), {0, 0, 170, 20}, CStringFormat(), kWhite);
  }
  const CRect ink = InkBounds(image);
  EXPECT_GT(ink.Height(), 3 * ink.Width());
  EXPECT_LE(ink.bottom, 181);
  EXPECT_GE(ink.left, 9);
}

TEST(GraphicsTextTest, MeasureGrowsWithTheTextAndMissingFacesStillDraw) {
  CImage image(300, 40);
  Graphics g(image);
  const CRectF shortBox = g.MeasureString("Gain", TestFont(), {0, 0, 300, 40}, CStringFormat());
  const CRectF longBox = g.MeasureString("Gain and more", TestFont(), {0, 0, 300, 40}, CStringFormat());
  EXPECT_GT(shortBox.width, 10.0f);
  EXPECT_GT(longBox.width, shortBox.width * 2);
  EXPECT_GT(g.GetLineSpacing(TestFont()), 18.0f);
  CFont missing = TestFont();
  missing.face = "NoSuchFaceAnywhere";
  g.DrawString("Fallback", missing, {0, 0, 300, 40}, CStringFormat(), kWhite);
  EXPECT_GT(InkBounds(image).Width(), 20);
}

TEST(GraphicsImageTest, ImagesDrawWholeScaledOrInParts) {
  CImage source(2, 2);
  source.SetPixel(0, 0, kRed);
  source.SetPixel(1, 0, kGreen);
  source.SetPixel(0, 1, kBlue);
  source.SetPixel(1, 1, kWhite);
  CImage image(40, 20);
  {
    Graphics g(image);
    g.DrawImage(source, 0, 0);
    g.DrawImage(source, CRectF{10, 0, 10, 10});
    g.DrawImage(source, CRectF{30, 0, 5, 10}, CRectF{1, 0, 1, 2});
  }
  EXPECT_TRUE(ColourNear(image, 0, 0, kRed, 0));
  EXPECT_TRUE(ColourNear(image, 1, 1, kWhite, 0));
  EXPECT_TRUE(ColourNear(image, 11, 1, kRed, 20));
  EXPECT_TRUE(ColourNear(image, 18, 8, kWhite, 20));
  EXPECT_TRUE(ColourNear(image, 32, 1, kGreen, 20));
  EXPECT_TRUE(ColourNear(image, 32, 8, kWhite, 20));
  EXPECT_EQ(image.GetPixel(3, 3).A(), 0);
}

TEST(GraphicsImageTest, OneToOnePartsKeepTheirPixelsUnderAClipAndAShift) {
  CImage source(4, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) source.SetPixel(x, y, CColour::FromRgb(std::uint8_t(60 * x), std::uint8_t(60 * y), 90));
  CImage image(20, 20);
  {
    Graphics g(image);
    g.SetSmoothingMode(SmoothingMode::AntiAlias);
    g.SetClip(CRect{0, 0, 20, 9});
    g.TranslateTransform(2.0f, 3.0f);
    // The lower right 2 x 2 quarter at (5, 5), shifted to (7, 8): its lower row lies beyond the clip.
    g.DrawImage(source, CRectF{5, 5, 2, 2}, CRectF{2, 2, 2, 2});
  }
  EXPECT_EQ(image.GetPixel(7, 8), CColour::FromRgb(120, 120, 90));
  EXPECT_EQ(image.GetPixel(8, 8), CColour::FromRgb(180, 120, 90));
  EXPECT_EQ(image.GetPixel(7, 9).A(), 0);
  EXPECT_EQ(image.GetPixel(6, 8).A(), 0);
  EXPECT_EQ(image.GetPixel(9, 8).A(), 0);
}

TEST(GraphicsImageTest, ColourMatrixDarkensAndFades) {
  CImage source(4, 4);
  source.Fill(CColour::FromRgb(200, 100, 50));
  CImage image(8, 4);
  {
    Graphics g(image);
    const CColourMatrix darken = CColourMatrix::Scale(0.3f, 0.3f, 0.3f, 1.0f);
    const CColourMatrix half = CColourMatrix::Scale(1.0f, 1.0f, 1.0f, 0.5f);
    g.DrawImage(source, CRectF{0, 0, 4, 4}, CRectF{0, 0, 4, 4}, &darken);
    g.DrawImage(source, CRectF{4, 0, 4, 4}, CRectF{0, 0, 4, 4}, &half);
  }
  EXPECT_TRUE(ColourNear(image, 1, 1, CColour::FromRgb(60, 30, 15), 2));
  EXPECT_TRUE(ColourNear(image, 5, 1, CColour::FromArgb(128, 200, 100, 50), 3));
}

TEST(GraphicsTest, CanvasOnANullImageDrawsNothingAndDoesNotFail) {
  CImage none;
  Graphics g(none);
  g.FillRectangle(kRed, {0, 0, 5, 5});
  g.DrawString("x", TestFont(), {0, 0, 5, 5}, CStringFormat(), kRed);
  g.SetClip(CRectF{0, 0, 1, 1});
  EXPECT_FALSE(g.HasClip());
  EXPECT_EQ(g.Native(), nullptr);
}

TEST(GraphicsTest, CanvasOnAWindowPainterGivesThePainterBackAsItCame) {
  QImage target(20, 20, QImage::Format_ARGB32_Premultiplied);
  target.fill(Qt::transparent);
  QPainter painter(&target);
  {
    Graphics g(&painter);
    g.SetClip(CRectF{0, 0, 5, 5});
    g.TranslateTransform(2, 2);
    g.SetCompositingMode(CompositingMode::SourceCopy);
    g.FillRectangle(kRed, {0, 0, 20, 20});
  }
  EXPECT_FALSE(painter.hasClipping());
  EXPECT_TRUE(painter.worldTransform().isIdentity());
  EXPECT_EQ(painter.compositionMode(), QPainter::CompositionMode_SourceOver);
  painter.end();
  EXPECT_EQ(qAlpha(target.pixel(3, 3)), 255);
  EXPECT_EQ(qAlpha(target.pixel(10, 10)), 0);
}
