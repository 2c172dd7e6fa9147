// Version texts and the firmware version table on present, missing and damaged files.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QTemporaryDir>
#include <fstream>
#include <regex>

#include "core/file/VersionTable.h"
#include "resources/Resources.h"

namespace {
class FirmwareTableTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& bytes) {
    const std::string path = m_dir.path().toStdString() + "/Orvak.ini";
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    return path;
  }
  QTemporaryDir m_dir;
};
}  // namespace

TEST_F(FirmwareTableTest, KeyOnItsLine_ValueUpToTheLineEndTrimmed) {
  const std::string path = Write("ZEL_SERIES=1.23  \r\nZEL_6=2.01\nFennick=\t3.4\r\nPX4=7");
  EXPECT_EQ(ReadIniValueFromFile(path, "ZEL_SERIES"), "1.23");
  EXPECT_EQ(ReadIniValueFromFile(path, "ZEL_6"), "2.01");
  EXPECT_EQ(ReadIniValueFromFile(path, "Fennick"), "3.4");
  EXPECT_EQ(ReadIniValueFromFile(path, "PX4"), "7");
}

TEST_F(FirmwareTableTest, KeyBehindOtherCharacters_IsStillFound) {
  const std::string path = Write("; table\nXZEL_SERIES=1.50\n");
  EXPECT_EQ(ReadIniValueFromFile(path, "ZEL_SERIES"), "1.50");
}

TEST_F(FirmwareTableTest, FirstOccurrenceWins_AndAPartialMatchDoesNotHideALaterOne) {
  const std::string path = Write("ZEL_SERZEL_SERIES=3.0\nZEL_SERIES=4.0\n");
  EXPECT_EQ(ReadIniValueFromFile(path, "ZEL_SERIES"), "3.0");
}

TEST_F(FirmwareTableTest, KeysAreCaseSensitive) {
  const std::string path = Write("fennick=1.0\n");
  EXPECT_EQ(ReadIniValueFromFile(path, "Fennick"), "");
}

TEST_F(FirmwareTableTest, MissingFileMissingKeyOrEmptyKey_GiveEmptyText) {
  EXPECT_EQ(ReadIniValueFromFile(m_dir.path().toStdString() + "/none.ini", "PX5"), "");
  const std::string path = Write("PX4=1\n");
  EXPECT_EQ(ReadIniValueFromFile(path, "PX5"), "");
  EXPECT_EQ(ReadIniValueFromFile(path, ""), "");
}

TEST_F(FirmwareTableTest, DamagedFiles_GiveWhatIsThereWithoutReadingPastTheEnd) {
  EXPECT_EQ(ReadIniValueFromFile(Write(std::string("\0\xff\x01ZEL_BREAK=4.0\r\x80\x81", 20)), "ZEL_BREAK"), "4.0");
  EXPECT_EQ(ReadIniValueFromFile(Write("garbage ZEL_BREAK"), "ZEL_BREAK"), "");
  EXPECT_EQ(ReadIniValueFromFile(Write("ZEL_BREAK="), "ZEL_BREAK"), "");
  EXPECT_EQ(ReadIniValueFromFile(Write("ZEL_BRE"), "ZEL_BREAK"), "");
  EXPECT_EQ(ReadIniValueFromFile(Write(""), "ZEL_BREAK"), "");
}

TEST_F(FirmwareTableTest, TableBesideTheExecutable_MissingGivesEmptyText) {
  EXPECT_EQ(ReadIniValue("NO_SUCH_FAMILY_KEY"), "");
}

TEST(VersionTextTest, VersionTextShowsTheFourPartsOfTheFileVersion) {
  const auto& v = GetVersionBlock().fileVersion;
  const std::string text = GetVersionText();
  EXPECT_TRUE(std::regex_match(text, std::regex(R"(Version \d+\.\d+\.\d+ Build \d+)"))) << text;
  EXPECT_EQ(text, "Version " + std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]) +
                      " Build " + std::to_string(v[3]));
}

TEST(VersionTextTest, NamedTextsOfTheVersionBlock) {
  EXPECT_EQ(GetProductNameText(), "Orvak");
  EXPECT_EQ(GetVersionInfoString("CompanyName"), "ZYRQOL");
  EXPECT_EQ(GetVersionInfoString("NoSuchName"), "");
}

TEST_F(FirmwareTableTest, PipeOrFolderInTheTablesPlace_GivesEmptyTextWithoutWaiting) {
  const std::string pipe = m_dir.path().toStdString() + "/pipe.ini";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_EQ(ReadIniValueFromFile(pipe, "Fennick"), "");
  EXPECT_EQ(ReadIniValueFromFile(m_dir.path().toStdString(), "Fennick"), "");
  EXPECT_EQ(ReadIniValueFromFile("/dev/zero", "Fennick"), "");
}
