// Decoding of PNG and BMP bytes through FreeImage: orientation, alpha and damaged input.
#include <gtest/gtest.h>

#include <vector>

#include "platform/Bitmap.h"
#include "platform/Image.h"
#include "tests/support/PureColours.h"

namespace {

std::vector<std::uint8_t> BmpHeader(std::uint32_t width, std::uint32_t height, std::uint16_t bits,
                                    std::uint32_t imageSize) {
  auto u16 = [](std::vector<std::uint8_t>& v, std::uint32_t x) {
    v.push_back(std::uint8_t(x));
    v.push_back(std::uint8_t(x >> 8));
  };
  auto u32 = [&](std::vector<std::uint8_t>& v, std::uint32_t x) {
    u16(v, x & 0xFFFF);
    u16(v, x >> 16);
  };
  std::vector<std::uint8_t> v = {'B', 'M'};
  u32(v, 54 + imageSize);
  u32(v, 0);
  u32(v, 54);
  u32(v, 40);
  u32(v, width);
  u32(v, height);
  u16(v, 1);
  u16(v, bits);
  u32(v, 0);
  u32(v, imageSize);
  u32(v, 2835);
  u32(v, 2835);
  u32(v, 0);
  u32(v, 0);
  return v;
}

bool Decode(const std::vector<std::uint8_t>& bytes, CImage& out, std::string* error = nullptr) {
  return DecodeBitmap(bytes.data(), bytes.size(), out, error);
}
}  // namespace

TEST(BitmapDecodeTest, Bmp24_BottomUpRowsComeOutTopRowFirst) {
  std::vector<std::uint8_t> bmp = BmpHeader(2, 2, 24, 16);
  // The file's first row is the picture's bottom row: blue, white; then red, green on top.
  const std::uint8_t rows[16] = {0xFF, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0, 0,
                                 0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0, 0};
  bmp.insert(bmp.end(), rows, rows + 16);
  CImage image;
  ASSERT_TRUE(Decode(bmp, image));
  ASSERT_EQ(image.Width(), 2);
  ASSERT_EQ(image.Height(), 2);
  EXPECT_EQ(image.GetPixel(0, 0), kRed);
  EXPECT_EQ(image.GetPixel(1, 0), kGreen);
  EXPECT_EQ(image.GetPixel(0, 1), kBlue);
  EXPECT_EQ(image.GetPixel(1, 1), kWhite);
}

TEST(BitmapDecodeTest, Bmp32_KeepsItsAlpha) {
  std::vector<std::uint8_t> bmp = BmpHeader(1, 2, 32, 8);
  const std::uint8_t rows[8] = {0x00, 0x00, 0xFF, 0x80,   // bottom: red at half alpha
                                0x00, 0xFF, 0x00, 0xFF};  // top: opaque green
  bmp.insert(bmp.end(), rows, rows + 8);
  CImage image;
  ASSERT_TRUE(Decode(bmp, image));
  EXPECT_EQ(image.GetPixel(0, 0), kGreen);
  const CColour bottom = image.GetPixel(0, 1);
  EXPECT_EQ(bottom.A(), 0x80);
  EXPECT_NEAR(bottom.R(), 255, 2);
}

TEST(BitmapDecodeTest, Png_DecodesWithOrientationAndAlpha) {
  CImage source(3, 2);
  source.SetPixel(0, 0, kRed);
  source.SetPixel(1, 0, kRed);
  source.SetPixel(2, 0, CColour::FromArgb(100, 0, 255, 0));
  for (int x = 0; x < 3; ++x) source.SetPixel(x, 1, kBlue);
  CImage image;
  ASSERT_TRUE(Decode(source.EncodePng(), image));
  ASSERT_EQ(image.Width(), 3);
  ASSERT_EQ(image.Height(), 2);
  EXPECT_EQ(image.GetPixel(0, 0), kRed);
  EXPECT_EQ(image.GetPixel(1, 1), kBlue);
  const CColour translucent = image.GetPixel(2, 0);
  EXPECT_EQ(translucent.A(), 100);
  EXPECT_NEAR(translucent.G(), 255, 3);
}

TEST(BitmapDecodeTest, DamagedOrMissingBytes_FailAndLeaveTheImageUntouched) {
  CImage keep(1, 1);
  keep.SetPixel(0, 0, kRed);
  std::string error;
  const std::vector<std::uint8_t> png = CImage(16, 16).EncodePng();
  const std::vector<std::uint8_t> truncated(png.begin(), png.begin() + long(png.size() / 2));
  EXPECT_FALSE(Decode(truncated, keep, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(Decode({'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e'}, keep));
  EXPECT_FALSE(Decode({}, keep));
  EXPECT_FALSE(DecodeBitmap(nullptr, 10, keep));
  std::vector<std::uint8_t> shortBmp = BmpHeader(4, 4, 24, 64);
  shortBmp.resize(30);
  EXPECT_FALSE(Decode(shortBmp, keep));
  EXPECT_EQ(keep.Width(), 1);
  EXPECT_EQ(keep.GetPixel(0, 0), kRed);
}

TEST(BitmapDecodeTest, HeaderClaimingAHugePicture_IsRefusedBeforeTakingMemory) {
  std::vector<std::uint8_t> bmp = BmpHeader(100000, 100000, 24, 0);
  bmp.resize(bmp.size() + 64, 0);
  CImage image;
  std::string error;
  EXPECT_FALSE(Decode(bmp, image, &error));
  EXPECT_EQ(error, "picture size out of range");
  EXPECT_TRUE(image.IsNull());

  // Within the size limits, but far more pixels than its bytes could describe.
  std::vector<std::uint8_t> thin = BmpHeader(8000, 8000, 24, 0);
  thin.resize(thin.size() + 64, 0);
  EXPECT_FALSE(Decode(thin, image, &error));
  EXPECT_EQ(error, "picture data too short for its size");
  EXPECT_TRUE(image.IsNull());
}

TEST(BitmapEncodeTest, EachFormatEncodesAFileThatDecodesToTheSamePicture) {
  CImage picture(3, 2);
  picture.Fill(kBlue);
  picture.SetPixel(2, 1, CColour::FromArgb(128, 255, 0, 0));
  for (BitmapFormat format : {BitmapFormat::Bmp, BitmapFormat::Png, BitmapFormat::Jpeg}) {
    std::vector<std::uint8_t> file;
    ASSERT_TRUE(EncodeBitmap(picture, format, file)) << int(format);
    CImage back;
    ASSERT_TRUE(Decode(file, back)) << int(format);
    EXPECT_EQ(back.Width(), 3);
    EXPECT_EQ(back.Height(), 2);
    if (format != BitmapFormat::Jpeg) {
      EXPECT_EQ(back.GetPixel(0, 0), kBlue);
      EXPECT_EQ(back.GetPixel(2, 1), CColour::FromArgb(128, 255, 0, 0));
    }
  }
  std::vector<std::uint8_t> none = {1};
  EXPECT_FALSE(EncodeBitmap(CImage(), BitmapFormat::Png, none));
  EXPECT_EQ(none, std::vector<std::uint8_t>{1});
}
