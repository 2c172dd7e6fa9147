// Text styles: defaults, font records, fonts and the stream record.
#include <gtest/gtest.h>

#include <cstdint>

#include <sstream>

#include "core/file/DataStream.h"
#include "core/draw/TextStyle.h"

namespace {
CLogFont LogFontOfHeight(int height, int weight = 400) {
  CLogFont lf;
  lf.height = height;
  lf.weight = weight;
  lf.faceName = u"Arial";
  return lf;
}

// Restores the screen resolution that a test changes.
struct PixelsPerInchGuard {
  ~PixelsPerInchGuard() { SetScreenPixelsPerInch(96); }
};
}  // namespace

TEST(TextStyleTest, DefaultStyleIsTenPointArialRegularInOpaqueBlack) {
  CTextStyle style;
  EXPECT_EQ(style.face, "Arial");
  EXPECT_EQ(style.size, 1000);
  EXPECT_EQ(style.weight, 400);
  EXPECT_EQ(style.styleFlags, 0u);
  EXPECT_EQ(style.colour, CColour::FromArgb(255, 0, 0, 0));
  ASSERT_NE(style.Font(), nullptr);
  EXPECT_EQ(style.Font()->face, "Arial");
  EXPECT_NEAR(style.Font()->emPixels, 13.333f, 0.01f);  // 10 pt at 96 pixels per inch
  EXPECT_EQ(style.Font()->weight, 400);
  EXPECT_FALSE(style.Font()->italic);
}

TEST(TextStyleTest, FromLogFont_HeightMinus13GivesTenPoints) {
  CTextStyle style;
  style.FromLogFont(LogFontOfHeight(-13));
  EXPECT_EQ(style.size, 1000);
}

TEST(TextStyleTest, FromLogFont_HeightZeroGivesTenPointsNotATenthOfAPoint) {
  CTextStyle style;
  style.FromLogFont(LogFontOfHeight(0));
  EXPECT_EQ(style.size, 1000);
  ASSERT_NE(style.Font(), nullptr);
  EXPECT_GT(style.Font()->emPixels, 10.0f);
}

TEST(TextStyleTest, FromLogFont_PositiveCellHeightGivesAPositiveSize) {
  CTextStyle style;
  style.FromLogFont(LogFontOfHeight(13));
  EXPECT_EQ(style.size, 1000);
  EXPECT_NE(style.Font(), nullptr);
}

TEST(TextStyleTest, FromLogFont_DamagedHugeHeightKeepsAPositiveSizeWithoutOverflow) {
  CTextStyle style;
  style.FromLogFont(LogFontOfHeight(INT32_MIN));
  EXPECT_GT(style.size, 0);
  EXPECT_EQ(style.size, INT32_MAX / 100 * 100);
  style.FromLogFont(LogFontOfHeight(INT32_MAX));
  EXPECT_EQ(style.size, INT32_MAX / 100 * 100);
}

TEST(TextStyleTest, FromLogFont_BoldOnlyAtWeight700_ItalicAndFaceTaken) {
  CTextStyle style;
  CLogFont lf = LogFontOfHeight(-16, 700);
  lf.italic = 1;
  lf.faceName = u"DejaVu Sans";
  style.FromLogFont(lf);
  EXPECT_EQ(style.styleFlags, kTextStyleBold | kTextStyleItalic);
  EXPECT_EQ(style.weight, 700);
  EXPECT_EQ(style.face, "DejaVu Sans");
  style.FromLogFont(LogFontOfHeight(-16, 600));
  EXPECT_EQ(style.styleFlags, 0u);
  EXPECT_EQ(style.weight, 600);
}

TEST(TextStyleTest, ToLogFont_HeightFromSizeAndClearTypeQuality) {
  CTextStyle style;
  CLogFont lf;
  style.ToLogFont(lf);
  EXPECT_EQ(lf.height, -13);
  EXPECT_EQ(lf.weight, 400);
  EXPECT_EQ(lf.quality, kClearTypeQuality);
  EXPECT_EQ(lf.faceName, u"Arial");
  style.size = 800;
  style.styleFlags = kTextStyleItalic;
  style.ToLogFont(lf);
  EXPECT_EQ(lf.height, -11);
  EXPECT_EQ(lf.italic, 1);
}

TEST(TextStyleTest, WholePointSizes_SurviveTheFontRecordRoundTrip) {
  for (int points = 6; points <= 36; ++points) {
    CTextStyle style;
    style.size = points * 100;
    CLogFont lf;
    style.ToLogFont(lf);
    CTextStyle back;
    back.FromLogFont(lf);
    EXPECT_EQ(back.size, style.size) << points;
  }
}

TEST(TextStyleTest, InequalityIgnoresTheWeightOnly) {
  CTextStyle a;
  CTextStyle b;
  b.weight = 700;
  EXPECT_FALSE(a != b);
  b.size = 900;
  EXPECT_TRUE(a != b);
  CTextStyle c;
  c.colour = CColour::FromRgb(255, 0, 0);
  EXPECT_TRUE(a != c);
  CTextStyle d;
  d.face = "Other";
  EXPECT_TRUE(a != d);
}

TEST(TextStyleTest, SetTruncatesPointsAndResetsFlagsAndWeight) {
  CTextStyle style;
  style.styleFlags = kTextStyleBold;
  style.weight = 700;
  style.Set("DejaVu Sans", 8.559f, CColour::FromRgb(1, 2, 3));
  EXPECT_EQ(style.size, 855);
  EXPECT_EQ(style.styleFlags, 0u);
  EXPECT_EQ(style.weight, 400);
  EXPECT_EQ(style.colour, CColour::FromRgb(1, 2, 3));
  ASSERT_NE(style.Font(), nullptr);
  EXPECT_NEAR(style.Font()->emPixels, 8.55f * 96.0f / 72.0f, 0.01f);
}

TEST(TextStyleTest, OtherWeightsUseTheWholePixelHeightOfTheFontRecord) {
  CTextStyle style;
  style.weight = 700;
  const CFont* font = style.GetFont();
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(font->emPixels, 13.0f);
  EXPECT_EQ(font->weight, 700);
}

TEST(TextStyleTest, MissingFaceFallsBackToTheGenericSansSerif) {
  CTextStyle style;
  style.Set("NoSuchFaceAnywhere", 9.0f, CColour());
  ASSERT_NE(style.Font(), nullptr);
  EXPECT_EQ(style.Font()->face, GenericSansSerifFace());
}

TEST(TextStyleTest, NoFontForASizeThatIsNotPositive) {
  CTextStyle style;
  style.size = 0;
  EXPECT_EQ(style.GetFont(), nullptr);
  style.weight = 700;
  EXPECT_EQ(style.GetFont(), nullptr);
}

// Font records are pixel heights at 96 per inch, written and read alike on any screen: a size
// read back is the size written.
TEST(TextStyleTest, FontPixelsAndRecordsDoNotDependOnTheScreenResolution) {
  PixelsPerInchGuard guard;
  for (int dpi : {72, 120, 144}) {
    SetScreenPixelsPerInch(dpi);
    CTextStyle style;
    ASSERT_NE(style.Font(), nullptr);
    EXPECT_NEAR(style.Font()->emPixels, 13.333f, 0.01f) << dpi;
    style.FromLogFont(LogFontOfHeight(-20));
    EXPECT_EQ(style.size, 1500) << dpi;
    for (float points : {6.0f, 10.0f, 12.0f, 24.0f, 72.0f}) {
      style.Set("Arial", points, CColour());
      CLogFont lf;
      style.ToLogFont(lf);
      CTextStyle back;
      back.FromLogFont(lf);
      EXPECT_EQ(back.size, style.size) << dpi << " dpi, " << points << " pt";
    }
  }
}

TEST(TextStyleTest, StreamRecordRoundTrips) {
  CTextStyle original;
  original.Set("DejaVu Sans", 11.0f, CColour::FromArgb(200, 10, 20, 30));
  original.styleFlags = kTextStyleItalic;
  original.weight = 300;
  std::stringstream bytes;
  CDataStream out(static_cast<std::ostream&>(bytes));
  original.SerializeStream(out);

  CTextStyle loaded;
  CDataStream in(static_cast<std::istream&>(bytes));
  loaded.SerializeStream(in);
  EXPECT_EQ(loaded.face, "DejaVu Sans");
  EXPECT_EQ(loaded.size, 1100);
  EXPECT_EQ(loaded.styleFlags, kTextStyleItalic);
  EXPECT_EQ(loaded.weight, 300);
  EXPECT_EQ(loaded.colour, original.colour);
  ASSERT_NE(loaded.Font(), nullptr);
  EXPECT_EQ(loaded.Font()->weight, 300);
}

TEST(TextStyleTest, StreamRecordOfAnotherVersionOrCutShort_ChangesNothing) {
  std::stringstream bytes;
  CDataStream out(static_cast<std::ostream&>(bytes));
  CTextStyle source;
  source.Set("DejaVu Sans", 20.0f, CColour::FromRgb(1, 1, 1));
  source.SerializeStream(out);
  std::string record = bytes.str();

  std::string otherVersion = record;
  otherVersion[0] = 2;
  std::stringstream s1(otherVersion);
  CDataStream in1(static_cast<std::istream&>(s1));
  CTextStyle a;
  a.SerializeStream(in1);
  EXPECT_FALSE(a != CTextStyle());

  for (std::size_t cut = 1; cut < record.size(); ++cut) {
    std::stringstream s2(record.substr(0, cut));
    CDataStream in2(static_cast<std::istream&>(s2));
    CTextStyle b;
    b.SerializeStream(in2);
    EXPECT_FALSE(b != CTextStyle()) << "cut at " << cut;
  }
}
