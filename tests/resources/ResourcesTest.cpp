// The embedded artwork, the string table and the version block.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "platform/Bitmap.h"
#include "platform/Image.h"
#include "resources/Resources.h"

TEST(ArtworkTest, EveryTableImageIsEmbeddedAndDecodesAtItsTableSize) {
  const auto images = ListResourceImages();
  ASSERT_FALSE(images.empty());
  for (const auto& info : images) {
    const auto bytes = FindResourceBytes(info.kind, info.id);
    ASSERT_FALSE(bytes.empty()) << info.kind << " " << info.id;
    if (info.kind == "BMP") {
      EXPECT_EQ(0, std::memcmp(bytes.data(), "BM", 2)) << info.id;
    } else {
      EXPECT_EQ(0, std::memcmp(bytes.data(), "\x89PNG", 4)) << info.kind << " " << info.id;
    }
    CImage image;
    std::string error;
    ASSERT_TRUE(DecodeBitmap(bytes.data(), bytes.size(), image, &error)) << info.name << ": " << error;
    EXPECT_EQ(image.Width(), info.width) << info.name;
    EXPECT_EQ(image.Height(), info.height) << info.name;
  }
}

TEST(ArtworkTest, ToolbarStripsAreTransparentAroundTheirGlyphs) {
  const auto bytes = FindResourceBytes("BMP", 128);
  CImage strip;
  ASSERT_TRUE(DecodeBitmap(bytes.data(), bytes.size(), strip));
  ASSERT_EQ(strip.Width(), 6 * 16);
  EXPECT_EQ(strip.GetPixel(0, 0).A(), 0);
  int opaque = 0;
  for (int x = 0; x < 16; ++x)
    for (int y = 0; y < 16; ++y) opaque += strip.GetPixel(x, y).A() == 255;
  EXPECT_GT(opaque, 40);  // the New glyph is there
}

TEST(ArtworkTest, LookupNeedsTheRightKindAndNumber) {
  EXPECT_FALSE(FindResourceBytes("BMP", 313).empty());
  EXPECT_TRUE(FindResourceBytes("PNG", 313).empty());
  EXPECT_TRUE(FindResourceBytes("BMP", 1).empty());
  // Resource 128 is both the File toolbar strip and the application icon.
  EXPECT_FALSE(FindResourceBytes("ICON", 128).empty());
  EXPECT_NE(FindResourceBytes("ICON", 128).data(), FindResourceBytes("BMP", 128).data());
}

TEST(ArtworkTest, ConcurrentLookupsGiveTheSameBytes) {
  std::vector<const std::uint8_t*> seen(8, nullptr);
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < seen.size(); ++i)
    threads.emplace_back([&seen, i] { seen[i] = FindResourceBytes("BMP", 336).data(); });
  for (auto& t : threads) t.join();
  for (const auto* p : seen) EXPECT_EQ(p, seen.front());
  EXPECT_NE(seen.front(), nullptr);
}

TEST(StringTableTest, EntriesByNumber) {
  EXPECT_EQ(LoadResourceString(103), "Orvak");
  EXPECT_EQ(LoadResourceString(106), "ZYRQOL");
  EXPECT_EQ(LoadResourceString(108), "Properties");
  EXPECT_EQ(LoadResourceString(155), "Device View");
  EXPECT_EQ(LoadResourceString(157), "Output");
  EXPECT_EQ(LoadResourceString(32846), "Add a new zone to the rack\nAdd Zone");
  EXPECT_EQ(LoadResourceString(0), "");
  EXPECT_EQ(LoadResourceString(104), "");
}

TEST(VersionBlockTest, CarriesTheProductAndTheFileVersion) {
  const CVersionBlock& block = GetVersionBlock();
  bool productFound = false;
  for (const auto& [name, value] : block.strings)
    if (name == "ProductName") productFound = value == "Orvak";
  EXPECT_TRUE(productFound);
  EXPECT_GE(block.fileVersion[0], 1);
}
