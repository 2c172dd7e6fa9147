// Decoding of PNG, BMP and JPEG bytes through FreeImage: orientation, alpha, damaged input, and
// the formats that never reach a decoder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
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

std::vector<std::uint8_t> ReadTestData(const std::string& name) {
  std::ifstream in(std::string(std::getenv("ORVAK_TEST_DATA")) + "/images/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The offset of the first chunk of the type in a PNG file, 0 when there is none.
std::size_t PngChunkAt(const std::vector<std::uint8_t>& png, const char* type) {
  for (std::size_t at = 8; at + 8 <= png.size();) {
    const std::size_t length = std::size_t(png[at]) << 24 | std::size_t(png[at + 1]) << 16 |
                               std::size_t(png[at + 2]) << 8 | png[at + 3];
    if (std::equal(type, type + 4, png.begin() + long(at) + 4)) return at;
    at += 12 + length;
  }
  return 0;
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

// Damaged pictures of other formats: each of them hung, over-allocated or over-read in its
// format's decoder. They are refused by their signature at once.
class OtherFormatTest : public ::testing::TestWithParam<const char*> {};

TEST_P(OtherFormatTest, IsRefusedBeforeAnyDecoderRuns) {
  const std::vector<std::uint8_t> bytes = ReadTestData(GetParam());
  ASSERT_FALSE(bytes.empty());
  EXPECT_FALSE(DetectBitmapFormat(bytes.data(), bytes.size()).has_value());
  std::string error;
  EXPECT_FALSE(CheckBitmap(bytes.data(), bytes.size(), &error));
  EXPECT_EQ(error, "not a BMP, JPEG or PNG picture");
  CImage image;
  EXPECT_FALSE(Decode(bytes, image, &error));
  EXPECT_EQ(error, "not a BMP, JPEG or PNG picture");
  EXPECT_TRUE(image.IsNull());
}

INSTANTIATE_TEST_SUITE_P(DamagedPictures, OtherFormatTest,
                         ::testing::Values("gif-hang.gif", "gif-252-bytes-1.9GB.gif", "exr-34-bytes-hang.exr",
                                           "exr-106-bytes-spin.exr", "xpm-heap-overread.xpm", "xpm-leak.xpm"));

// Each of the three formats is told by its own signature and decoded by its own decoder,
// whatever format a record names for the bytes.
TEST(BitmapDecodeTest, EachFormatIsToldByItsSignatureAndDecoded) {
  CImage picture(4, 3);
  picture.Fill(kGreen);
  for (const BitmapFormat format : {BitmapFormat::Bmp, BitmapFormat::Jpeg, BitmapFormat::Png}) {
    SCOPED_TRACE(int(format));
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(EncodeBitmap(picture, format, bytes));
    EXPECT_EQ(DetectBitmapFormat(bytes.data(), bytes.size()), format);
    std::string error;
    int width = 0, height = 0;
    ASSERT_TRUE(CheckBitmap(bytes.data(), bytes.size(), &error, &width, &height)) << error;
    EXPECT_EQ(width, 4);
    EXPECT_EQ(height, 3);
    CImage image;
    ASSERT_TRUE(DecodeBitmap(bytes.data(), bytes.size(), image, &error)) << error;
    EXPECT_EQ(image.Width(), 4);
    // JPEG keeps the colour only near enough.
    const CColour corner = image.GetPixel(3, 2);
    EXPECT_NEAR(corner.R(), kGreen.R(), 8);
    EXPECT_NEAR(corner.G(), kGreen.G(), 8);
    EXPECT_NEAR(corner.B(), kGreen.B(), 8);
  }
}

TEST(BitmapDecodeTest, PngCutShortOrWithADamagedChunkLength_FailsTheCheckWithoutDecoding) {
  CImage picture(64, 64);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) picture.SetPixel(x, y, CColour::FromRgb(std::uint8_t(x * 4), std::uint8_t(y * 4), 9));
  const std::vector<std::uint8_t> png = picture.EncodePng();
  ASSERT_TRUE(CheckBitmap(png.data(), png.size()));
  const std::size_t idat = PngChunkAt(png, "IDAT");
  ASSERT_GT(idat, 0u);

  // Cut inside the pixel data: the header alone would still read.
  const std::vector<std::uint8_t> cut(png.begin(), png.begin() + long(idat + 20));
  std::string error;
  EXPECT_FALSE(CheckBitmap(cut.data(), cut.size(), &error));
  EXPECT_EQ(error, "picture data damaged");
  std::vector<std::uint8_t> longChunk = png;
  longChunk[idat] = 0x7F;  // the pixel chunk claims far more bytes than the file holds
  EXPECT_FALSE(CheckBitmap(longChunk.data(), longChunk.size()));
  CImage image;
  EXPECT_FALSE(Decode(longChunk, image));
}

TEST(BitmapEncodeTest, Png_IsCompressedAtTheFastestLevel) {
  CImage picture(32, 32);
  picture.Fill(kBlue);
  std::vector<std::uint8_t> png;
  ASSERT_TRUE(EncodeBitmap(picture, BitmapFormat::Png, png));
  const std::size_t idat = PngChunkAt(png, "IDAT");
  ASSERT_GT(idat, 0u);
  // The deflate stream's header: method 8 in the low half of the first byte, then the level
  // field in the top two bits of the second: 0, the fastest (2 is the default level).
  EXPECT_EQ(png[idat + 8] & 0x0F, 8);
  EXPECT_EQ(png[idat + 9] >> 6, 0);
}
