// Boot-load frames, scan probes on the line, Intel HEX stepping and the unit signature.
#include <gtest/gtest.h>

#include <fstream>

#include "core/comms/SerialComms.h"
#include "tests/ui/loader/BootLineFixture.h"
#include "ui/loader/BootFrames.h"
#include "ui/loader/Loaders.h"

TEST(BootFrames, CommandFramesCarryLengthTypeAndSevenBitSum) {
  EXPECT_EQ(BuildShortBootCommand(0x31),
            (BootBytes{0xF0, 0x00, 0x0A, 0x31, 0x01, 0x0D, 0x15, 'Z', 'Y', 'R', 0x53}));
  EXPECT_EQ(BuildLongBootCommand(0x33, 0x81020304),  // each ID byte keeps seven bits
            (BootBytes{0xF0, 0x00, 0x0D, 0x33, 0x01, 0x02, 0x03, 0x04, 0x00, 0x15, 'Q', 'O', 'L', 0x3B}));
  EXPECT_EQ(BuildClearPresetCommand(0x31, 10), (BootBytes{0xF1, 0x00, 0x08, 0x31, 0x01, 0x0D, 0x13, 0x0A, 0x55}));
  EXPECT_EQ(BuildProcessorBootCommand(0x72), (BootBytes{0xF0, 0x00, 0x07, 0x72, 0x01, 0x2A, 0x2C, 0x40}));

  const BootBytes name = BuildPresetNameCommand(0x31, "Hall.bin");
  ASSERT_EQ(name.size(), 48u);
  EXPECT_EQ(BootBytes(name.begin(), name.begin() + 7), (BootBytes{0xF1, 0x00, 0x2F, 0x31, 0x01, 0x0D, 0x14}));
  EXPECT_EQ(std::string(name.begin() + 7, name.begin() + 15), "Hall.bin");
  EXPECT_EQ(name[46], 0x20);  // padded with spaces
  EXPECT_EQ(name[47], BootChecksum(name.data(), 47));
}

TEST(BootFrames, ProcessorBlockAddressesAndEightBitChecksum) {
  std::uint8_t block[128];
  for (int i = 0; i < 128; ++i) block[i] = std::uint8_t(0x80 + i);
  block[0] = 0xC0;
  const BootBytes third = BuildProcessorBlock(3 * 128, block);
  ASSERT_EQ(third.size(), 133u);
  EXPECT_EQ(BootBytes(third.begin(), third.begin() + 4), (BootBytes{0xF0, 0x00, 0x01, 0x80}));
  std::uint32_t sum = 0;
  for (std::size_t i = 1; i < 132; ++i) sum += third[i];
  EXPECT_EQ(third[132], std::uint8_t(sum));  // not cut to seven bits
  EXPECT_GT(third[132], 0x7F);
  const BootBytes far = BuildProcessorBlock(512 * 128, block);
  EXPECT_EQ(BootBytes(far.begin(), far.begin() + 4), (BootBytes{0xF0, 0x01, 0x00, 0x00}));
  const BootBytes end = BuildProcessorBlock(kProcessorEndAddress, block);
  EXPECT_EQ(BootBytes(end.begin(), end.begin() + 4), (BootBytes{0xF0, 0xFF, 0xFF, 0xFF}));
}

using ProbeTest = BootLineTest;

TEST_F(ProbeTest, ShortTypeQueryLeavesTheHardwareCode) {
  Attach(CSimBootUnit::Family::kAmpModule, 0x31).SetHardwareCode({0x01, 0x2A, 0x3B, 0x7F});
  CSerialComms port;
  ASSERT_TRUE(port.Open(kTestPort, kScanBaud, false));
  EXPECT_EQ(QueryTypeShortId(port, *m_clock), 0x31);
  EXPECT_EQ(BootBytes(port.ReceiveBuffer() + 5, port.ReceiveBuffer() + 9), (BootBytes{0x01, 0x2A, 0x3B, 0x7F}));
  EXPECT_EQ(Written(), (std::vector<SimBootBytes>{{0xE0, 0x01}}));
  // At the long-ID baud rate the module hears noise and stays silent.
  port.Close();
  ASSERT_TRUE(port.Open(kTestPort, kLongIdBaud, false));
  EXPECT_EQ(QueryTypeShortId(port, *m_clock), 0);
  EXPECT_EQ(QueryLongId(port, *m_clock), 0u);
}

TEST_F(ProbeTest, LongIdQueriesFindTheZelUnitAndItsCode) {
  CSimBootUnit& unit = Attach(CSimBootUnit::Family::kZel, 0x37);
  unit.SetLongId(0x11223344);
  unit.SetUnitCode({1, 2, 3, 4, 5, 6});
  CSerialComms port;
  ASSERT_TRUE(port.Open(kTestPort, kLongIdBaud, false));
  EXPECT_EQ(QueryLongId(port, *m_clock), 0x11223344u);
  EXPECT_EQ(QueryTypeLongId(port, *m_clock, 0x11223344), 0x37);
  EXPECT_EQ(BootBytes(port.ReceiveBuffer() + 8, port.ReceiveBuffer() + 14), (BootBytes{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(QueryTypeLongId(port, *m_clock, 0x11223345), 0);  // another unit's ID
  EXPECT_EQ(Written(), (std::vector<SimBootBytes>{{0xBF, 0, 0, 0, 0},
                                                  {0xE0, 0x11, 0x22, 0x33, 0x44},
                                                  {0xE0, 0x11, 0x22, 0x33, 0x45}}));
}

// --- Intel HEX stepping and the signature ---

namespace {

const std::vector<std::uint8_t> kCode{0x12, 0x34, 0x56, 0x78};
const std::string kSignature = "1234567812345678";

struct HexCase {
  const char* name;
  BootBytes file;
  bool wellFormed;
  bool signatureFound;
};

BootBytes Text(const std::string& text) { return BootBytes(text.begin(), text.end()); }

BootBytes Cut(BootBytes file, std::size_t less) {
  file.resize(file.size() - less);
  return file;
}

std::vector<HexCase> HexCases() {
  const BootBytes good = MakeHex(FirmwareData(64, kCode, 20));
  BootBytes badSum = good;
  badSum[12] = badSum[12] == '0' ? '1' : '0';  // a data digit changes, the checksum no longer holds
  return {
      {"SignatureInOneRecord", good, true, true},
      {"SignatureAtFirstDataCharacter", MakeHex(FirmwareData(48, kCode, 0)), true, true},
      {"SignatureAcrossRecords", MakeHex(FirmwareData(48, kCode, 12)), true, true},
      {"SignatureOnlyOnce", MakeHex([] {
         SimBootBytes data(48, 0x00);
         std::copy(kCode.begin(), kCode.end(), data.begin() + 5);
         return data;
       }()),
       true, false},
      {"SignatureAfterAFalseStart", MakeHex([] {
         SimBootBytes data(48, 0x00);
         data[3] = 0x11;  // "11" then "2345678..." : the match starts at the second "1"
         data[4] = 0x23;
         data[5] = 0x45;
         data[6] = 0x67;
         data[7] = 0x81;
         data[8] = 0x23;
         data[9] = 0x45;
         data[10] = 0x67;
         data[11] = 0x80;
         return data;
       }()),
       true, true},
      {"LowerCaseDigitsOnlyCode", MakeHex(FirmwareData(64, kCode, 20), true), true, true},
      {"Empty", BootBytes{}, false, false},
      {"EndRecordMissing", Cut(good, 13), false, false},
      {"LastRecordCutShort", Cut(good, 20), false, false},
      {"NotIntelHex", Text("This is not a firmware file at all.\r\n"), false, false},
      {"LengthNotHex", Text(":G0000000\r\n:00000001FF\r\n"), false, false},
      {"LengthPastTheFile", Text(":FF000000AABB\r\n"), false, false},
      {"RecordChecksumWrong", badSum, false, false},
      {"GarbageAfterEndRecord", [good] {
         BootBytes file = good;
         file.push_back('x');
         return file;
       }(),
       false, false},
  };
}

class HexScanTest : public ::testing::TestWithParam<HexCase> {};

}  // namespace

TEST_P(HexScanTest, StepsRecordsAndFindsTheSignatureInTheData) {
  const HexCase& c = GetParam();
  EXPECT_EQ(ScanHexFile(c.file).wellFormed, c.wellFormed);
  EXPECT_EQ(HexFileHasSignature(c.file, kSignature), c.signatureFound);
}

INSTANTIATE_TEST_SUITE_P(Files, HexScanTest, ::testing::ValuesIn(HexCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HexSignature, LowerCaseFileMissesACodeWithLetterDigits) {
  const std::vector<std::uint8_t> code{0x0A, 0x1B, 0x2C, 0x3D};
  const BootBytes file = MakeHex(FirmwareData(64, code, 8), true);
  EXPECT_TRUE(ScanHexFile(file).wellFormed);
  EXPECT_EQ(BuildUnitSignature(code.data(), code.size()), "0A1B2C3D0A1B2C3D");
  EXPECT_FALSE(HexFileHasSignature(file, BuildUnitSignature(code.data(), code.size())));
  EXPECT_TRUE(HexFileHasSignature(MakeHex(FirmwareData(64, code, 8)), "0A1B2C3D0A1B2C3D"));
}

// --- Models and file names ---

TEST(LoaderModels, AcceptedCodesTheirTextsAndLoaders) {
  EXPECT_EQ(LoaderKindOf(0x30), LoaderKind::kAmpModule);
  EXPECT_EQ(ConnectedText(0x30), "");
  EXPECT_EQ(ConnectedText(0x31), "Vm4 Amplifier Connected");
  EXPECT_EQ(ConnectedText(0x2E), "QuillXB08 Connected");
  EXPECT_EQ(LoaderKindOf(0x2E), LoaderKind::kZel);
  EXPECT_EQ(LoaderKindOf(0x3C), LoaderKind::kSornic);
  EXPECT_EQ(ConnectedText(0x73), "Nerex26 Connected");
  EXPECT_EQ(LoaderKindOf(0x11), LoaderKind::kProcessor);
  for (std::uint8_t unsupported : {0x00, 0x21, 0x39, 0x71, 0x75, 0x77, 0x79}) {
    EXPECT_EQ(LoaderKindOf(unsupported), LoaderKind::kNone) << int(unsupported);
  }
}

TEST(LoaderModels, AutomaticFirmwareNamesFollowTheVersionTable) {
  QTemporaryDir dir;
  const std::string folder = dir.path().toStdString() + "/";
  std::ofstream(folder + "Orvak.ini") << "ZEL_SERIES=2.14\r\nZEL_6=1.0.3\nZEL_BREAK= 3.1 \nFennick=5.02\n";
  EXPECT_EQ(AutomaticFirmwarePath(0x33, folder), folder + "ZelAmpFirmware_v2_14.hex");
  EXPECT_EQ(AutomaticFirmwarePath(0x38, folder), folder + "ZelAmpFirmware_v2_14.hex");
  EXPECT_EQ(AutomaticFirmwarePath(0x37, folder), folder + "Zel6Firmware_v1_0_3.hex");
  EXPECT_EQ(AutomaticFirmwarePath(0x2E, folder), folder + "ZelXBDanteFirmware_v3_1.hex");
  EXPECT_EQ(AutomaticFirmwarePath(0x22, folder), folder + "ZelXBCobraFirmware_v3_1.hex");
  EXPECT_EQ(AutomaticFirmwarePath(0x2B, folder), folder + "ZelXBEtherFirmware_v3_1.hex");
  EXPECT_EQ(AutomaticFirmwarePath(0x10, folder), folder + "FennickFirmware_v5_02.hex");
  EXPECT_EQ(AutomaticFirmwarePath(0x72, folder), "");  // the user chooses
  std::ofstream(folder + "Orvak.ini", std::ios::trunc) << "OTHER=1\n";
  EXPECT_EQ(AutomaticFirmwarePath(0x33, folder), folder + "ZelAmpFirmware_v.hex");
}

TEST(LoaderModels, PresetSetNameIsTheFileNameCutToForty) {
  EXPECT_EQ(PresetSetName("/home/user/presets/Hall.bin"), "Hall.bin");
  EXPECT_EQ(PresetSetName("C:\\Presets\\Stage.bin"), "Stage.bin");
  EXPECT_EQ(PresetSetName("Plain.bin"), "Plain.bin");
  const std::string longName(50, 'x');
  EXPECT_EQ(PresetSetName("/p/" + longName), std::string(40, 'x'));
  EXPECT_EQ(PresetSetName("/p/S\xC3\xA9" "ance.bin"), "S\xE9" "ance.bin");  // each character's low 8 bits
}
