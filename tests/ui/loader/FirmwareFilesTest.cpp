// What a chosen firmware file plainly is: the signatures of pictures, archives, documents and
// programs, Intel HEX text however its lines end, and the names of the files loaders pick.
#include <gtest/gtest.h>

#include <string>

#include "tests/ui/loader/BootLineFixture.h"
#include "ui/loader/FirmwareFiles.h"
#include "ui/loader/Loaders.h"

namespace {

struct KindCase {
  const char* name;
  BootBytes file;
  const char* kind;  // empty: none recognised
};

class KnownFileKindTest : public ::testing::TestWithParam<KindCase> {};

TEST_P(KnownFileKindTest, NamesTheKindOnlyForItsWholeSignature) {
  EXPECT_EQ(KnownFileKind(GetParam().file), GetParam().kind);
}

std::vector<KindCase> KindCases() {
  const std::string bmp("BM\x36\x10\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0", 18);
  BootBytes tar = Opening("firmware.hex", 1024);
  const std::string ustar("ustar\0", 6);
  std::copy(ustar.begin(), ustar.end(), tar.begin() + 257);
  return {
      {"Png", Opening("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR"), "a PNG picture"},
      {"Jpeg", Opening("\xFF\xD8\xFF\xE0\0\x10JFIF"), "a JPEG picture"},
      {"JpegExif", Opening("\xFF\xD8\xFF\xE1"), "a JPEG picture"},
      {"Gif", Opening("GIF89a"), "a GIF picture"},
      {"Bmp", Opening(bmp), "a BMP picture"},
      {"Tiff", Opening(std::string("II*\0", 4)), "a TIFF picture"},
      {"WebP", Opening(std::string("RIFF\x10\x20\0\0WEBPVP8 ", 16)), "a WebP picture"},
      {"Zip", Opening("PK\3\4\x14\0"), "a ZIP archive"},
      {"EmptyZip", Opening("PK\5\6"), "a ZIP archive"},
      {"Gzip", Opening(std::string("\x1F\x8B\x08\0", 4)), "a gzip archive"},
      {"Bzip2", Opening("BZh91AY&SY"), "a bzip2 archive"},
      {"Xz", Opening(std::string("\xFD" "7zXZ\0", 6)), "an xz archive"},
      {"SevenZip", Opening("7z\xBC\xAF\x27\x1C"), "a 7z archive"},
      {"Rar", Opening("Rar!\x1A\x07\x01"), "a RAR archive"},
      {"Zstd", Opening("\x28\xB5\x2F\xFD"), "a zstd archive"},
      {"Tar", tar, "a tar archive"},
      {"Pdf", Opening("%PDF-1.7\n"), "a PDF document"},
      {"Elf", Opening("\x7F" "ELF\x01\x01"), "an ELF program"},
      // Images that merely open with a signature's first bytes are no such file.
      {"BmOfAnImage", Opening("BM\x12\x34\x56\x78\x9A"), ""},
      {"BmWithAnUnknownHeader", Opening(std::string("BM\x36\x10\0\0\0\0\0\0\x36\0\0\0\x29\0\0\0", 18)), ""},
      {"FfD8FfFf", Opening("\xFF\xD8\xFF\xFF"), ""},
      {"FfD8FfAtTheEnd", Text("\xFF\xD8\xFF"), ""},
      {"PkOfAnImage", Opening("PK\x01\x02"), ""},
      {"GzipOfAnotherMethod", Opening(std::string("\x1F\x8B\x07\0", 4)), ""},
      {"GzipWithReservedFlags", Opening("\x1F\x8B\x08\xE0"), ""},
      {"BzhWithoutBlock", Opening("BZh9abcdef"), ""},
      {"RiffOfSound", Opening(std::string("RIFF\x10\x20\0\0WAVEfmt ", 16)), ""},
      {"Erased", BootBytes(600, 0xFF), ""},
      {"Empty", {}, ""},
  };
}

INSTANTIATE_TEST_SUITE_P(Files, KnownFileKindTest, ::testing::ValuesIn(KindCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(IntelHexText, IsKnownWhateverItsLineEndsAndHoweverItEnds) {
  const BootBytes crlf = MakeIntelHex(FirmwareData(100, {0x12, 0x34}, 0));
  std::string lf(crlf.begin(), crlf.end());
  for (std::size_t at; (at = lf.find("\r\n")) != std::string::npos;) lf.erase(at, 1);
  for (const BootBytes& hex : {crlf, Text(lf), MakeIntelHex(FirmwareData(40, {}, 0), true),
                               BootBytes(crlf.begin(), crlf.begin() + 60), Text("\xEF\xBB\xBF\r\n  :00000001FF"),
                               Text(":020000040000FA\n")}) {
    EXPECT_TRUE(OpensWithIntelHexRecord(hex)) << std::string(hex.begin(), hex.end()).substr(0, 44);
  }
  // A colon that opens no whole record with a zero sum, or a record that runs into more data.
  for (const std::string& text : {std::string(":100000"), std::string(":00000001FE\r\n"),
                                  std::string(":0000000GFF\r\n"), std::string(":00000001FFx"),
                                  std::string(":00000009F7\r\n"), std::string("x:00000001FF")}) {
    EXPECT_FALSE(OpensWithIntelHexRecord(Text(text))) << text;
  }
  EXPECT_FALSE(OpensWithIntelHexRecord(Opening(":")));
}

TEST(AutomaticFirmwareOwner, NamesTheUnitsOfTheFilesLoadersPickThemselves) {
  EXPECT_EQ(AutomaticFirmwareOwner("FennickFirmware_v1_25.hex"), "the Fennick processors");
  EXPECT_EQ(AutomaticFirmwareOwner("zelampfirmware_v2_14.HEX"), "the Zel-1 to Zel-5 amplifiers");
  EXPECT_EQ(AutomaticFirmwareOwner("Zel6Firmware_v.hex"), "the Zel-6 amplifiers");
  EXPECT_EQ(AutomaticFirmwareOwner("ZelXBDanteFirmware_v3_0.hex"), "the Zel Dante and Quill breakout boxes");
  EXPECT_EQ(AutomaticFirmwareOwner("Nerex48_v2_0.hex"), "");
  EXPECT_EQ(AutomaticFirmwareOwner("FennickFirmware_v1_25.bin"), "");
  EXPECT_EQ(AutomaticFirmwareOwner("MyFennickFirmware_v1_25.hex"), "");
}

}  // namespace
