// Each family loader's dialogue, end to end against the simulated boot-load unit on the line's
// own clock: logs, frames, the image the unit keeps, second passes, reboots and failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sys/stat.h>

#include "tests/ui/loader/BootLineFixture.h"
#include "ui/loader/Loaders.h"

namespace {

using Family = CSimBootUnit::Family;
using Lines = std::vector<std::string>;

const std::vector<std::uint8_t> kAmpCode{0x12, 0x34, 0x56, 0x78};
const std::vector<std::uint8_t> kZelCode{0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F};

bool StartsWith(const std::string& text, const std::string& start) { return text.rfind(start, 0) == 0; }

std::size_t CountOf(const Lines& lines, const std::string& line) {
  return std::size_t(std::count(lines.begin(), lines.end(), line));
}

class AmpFirmwareTest : public BootLineTest {
 protected:
  void SetUp() override {
    Attach(Family::kAmpModule, 0x31);
    m_data = FirmwareData(400, kAmpCode, 100);
    m_job.firmwarePath = WriteFile("amp.hex", MakeHex(m_data));
  }
  SimBootBytes m_data;
};

TEST_F(AmpFirmwareTest, OnePassLoadsTheImageAndWaitsForTheRestart) {
  EXPECT_TRUE(LoadAmpFirmware(Context()));
  EXPECT_EQ(m_unit->ImageBytes(), m_data);
  EXPECT_TRUE(m_unit->IsComplete());
  EXPECT_TRUE(WroteFrame(BuildShortBootCommand(0x31)));
  const Lines& log = m_report.lines;
  ASSERT_EQ(log.size(), 6u);
  EXPECT_EQ(Lines(log.begin(), log.begin() + 6),
            (Lines{"Checking firmware file...!!", "Sending boot command", "Erasing current firmware...",
                   "Sending Hex file 100.0% done", "Done", log[5]}));
  EXPECT_TRUE(StartsWith(log[5], "Waiting for amp to reboot."));
  EXPECT_LT(log[5].size(), std::string("Waiting for amp to reboot").size() + 30);
  EXPECT_EQ(m_report.progress.back(), 100);
  EXPECT_EQ(m_unit->GetMode(m_line->NowUs()), CSimBootUnit::Mode::kNormal);
}

TEST_F(AmpFirmwareTest, UnitAlreadyInItsBootLoaderIsStartedWithOne) {
  m_unit->StartInBootLoader();
  EXPECT_TRUE(LoadAmpFirmware(Context()));
  EXPECT_EQ(m_unit->ImageBytes(), m_data);
  EXPECT_EQ(m_unit->BootCommands(), 0u);
  const Lines& log = m_report.lines;
  EXPECT_EQ(Lines(log.begin(), log.begin() + 3),
            (Lines{"Cannot connect to amp", "Retrying to see if amp is already in boot load mode",
                   "Erasing current firmware..."}));
  EXPECT_EQ(CountOf(log, "Checking firmware file...!!"), 0u);
  EXPECT_TRUE(WroteFrame({'1'}));
}

TEST_F(AmpFirmwareTest, RefusedChunkSendsTheWholeFileAgainInTheSecondPass) {
  m_unit->RefuseRecord(5);
  EXPECT_TRUE(LoadAmpFirmware(Context()));
  EXPECT_EQ(m_unit->ImageBytes(), m_data);
  EXPECT_EQ(m_unit->Erases(), 2u);
  const Lines& log = m_report.lines;
  EXPECT_EQ(CountOf(log, "Sector 1 load complete.  Starting sector 2..."), 1u);
  EXPECT_EQ(CountOf(log, "Erasing current firmware..."), 1u);  // the second pass has none
  EXPECT_EQ(CountOf(log, "Cannot connect to amp"), 0u);
  EXPECT_EQ(CountOf(log, "Done"), 1u);
}

TEST_F(AmpFirmwareTest, RefusedChunkInTheSecondPassFailsTheLoad) {
  m_unit->RefuseRecord(2);
  m_unit->RefuseRecord(4);
  EXPECT_FALSE(LoadAmpFirmware(Context()));
  EXPECT_EQ(CountOf(m_report.lines, "Sector 1 load complete.  Starting sector 2..."), 2u);
  EXPECT_EQ(CountOf(m_report.lines, "Done"), 0u);
  EXPECT_FALSE(m_unit->IsComplete());
}

TEST_F(AmpFirmwareTest, ChunkAnswersThatComeAfterTheReadGaveUpArePurgedAndTheFileStillGoesIn) {
  m_unit->SetRecordAnswerDelays({6, 12, 25, 50});
  EXPECT_TRUE(LoadAmpFirmware(Context()));
  EXPECT_EQ(m_unit->ImageBytes(), m_data);
  EXPECT_TRUE(m_unit->IsComplete());
  EXPECT_EQ(m_unit->Erases(), 1u);
  EXPECT_EQ(CountOf(m_report.lines, "Done"), 1u);
}

// The open port dies in the middle of the transfer (the unit stays attached, so the port
// would open again): the load ends there with a line that says so, never with "Done".
TEST_F(AmpFirmwareTest, PortThatDiesMidTransferFailsTheLoadWithALine) {
  m_line->BreakOpenPortAfter(600);
  EXPECT_FALSE(LoadAmpFirmware(Context()));
  EXPECT_EQ(m_report.lines.back(), "Failed to write to COM port");
  EXPECT_EQ(CountOf(m_report.lines, "Done"), 0u);
  EXPECT_FALSE(m_unit->IsComplete());
}

TEST_F(AmpFirmwareTest, UnitThatNeverComesBackIsOnlyWarnedAbout) {
  m_unit->SetNeverReboots(true);
  EXPECT_TRUE(LoadAmpFirmware(Context()));
  const Lines& log = m_report.lines;
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2], "Waiting for amp to reboot" + std::string(30, '.'));
  EXPECT_EQ(log.back(), "Warning - cannot reconnect to amp");
}

// The module answers each chunk: one that stops answering partway is shown at the share of the
// file it answered for, the bar too, never "Done", and the load fails when it does not come back.
TEST_F(AmpFirmwareTest, UnitThatFallsSilentIsShownAtTheShareItAnsweredAndIsNeverDone) {
  const BootBytes hex = MakeHex(m_data);
  constexpr std::size_t kRecords = 7;
  m_unit->FallSilentAfter(kRecords);
  // The chunk that carried the last answered record's line end.
  std::size_t lineEnds = 0, at = 0;
  while (lineEnds < kRecords) lineEnds += hex[at++] == '\n' ? 1 : 0;
  const std::size_t answered = std::min(hex.size(), (at + 49) / 50 * 50);
  const double percent = double(answered) * 100.0 / double(hex.size());

  EXPECT_FALSE(LoadAmpFirmware(Context()));
  EXPECT_EQ(m_report.lines,
            (Lines{"Checking firmware file...!!", "Sending boot command", "Erasing current firmware...",
                   FormatText("Sending Hex file %.1f%% done", percent), "The amp answered no chunk after that",
                   "Waiting for amp to reboot" + std::string(30, '.'), "Device has stopped responding"}));
  EXPECT_EQ(m_report.progress.back(), int(percent));
  EXPECT_LT(percent, 50.0);
}

TEST_F(AmpFirmwareTest, FileForAnotherUnitIsRefusedBeforeTheBootCommand) {
  m_unit->SetHardwareCode({0x12, 0x34, 0x56, 0x79});
  EXPECT_FALSE(LoadAmpFirmware(Context()));
  EXPECT_EQ(m_report.lines, (Lines{"Checking firmware file...!!", "Incompatible firmware file !!"}));
  EXPECT_EQ(Written(), (std::vector<SimBootBytes>{{0xE0, 0x01}}));
}

TEST_F(AmpFirmwareTest, BootLoaderThatDoesNotAnswerFailsTheBootCommand) {
  m_unit->SetRefuseBoot(true);
  EXPECT_FALSE(LoadAmpFirmware(Context()));
  EXPECT_EQ(m_report.lines.back(), "Boot command to amp failed");
}

TEST_F(AmpFirmwareTest, MissingFileAndPortAreReported) {
  m_job.firmwarePath = m_folder.path().toStdString() + "/none.hex";
  EXPECT_FALSE(LoadAmpFirmware(Context()));
  EXPECT_EQ(m_report.lines, (Lines{"Cannot open firmware file " + m_job.firmwarePath + "!!"}));
  m_report.lines.clear();
  m_job.firmwarePath = WriteFile("amp.hex", MakeHex(m_data));
  m_job.connectedPort = 4;
  EXPECT_FALSE(LoadAmpFirmware(Context()));
  EXPECT_EQ(m_report.lines, (Lines{"Cannot open COM4"}));
}

// Damaged files never reach a unit, whichever loader reads them.
struct BadFileCase {
  const char* name;
  Family family;
  std::uint8_t type;
  BootBytes file;
};

class BadFirmwareFileTest : public BootLineTest, public ::testing::WithParamInterface<BadFileCase> {};

// The family's firmware loader.
bool LoadFirmware(Family family, const CLoaderContext& context) {
  switch (family) {
    case Family::kAmpModule: return LoadAmpFirmware(context);
    case Family::kZel: return LoadZelFirmware(context);
    case Family::kSornic: return LoadSornicAmpFirmware(context);
    case Family::kProcessor: return LoadProcessorFirmware(context);
  }
  return false;
}

TEST_P(BadFirmwareFileTest, IsRefusedBeforeAnythingReachesTheBootLoader) {
  const BadFileCase& c = GetParam();
  CSimBootUnit& unit = Attach(c.family, c.type);
  m_job.firmwarePath = WriteFile("bad.hex", c.file);
  EXPECT_FALSE(LoadFirmware(c.family, Context()));
  // Its own line: not the one of a file made for another unit.
  EXPECT_EQ(m_report.lines.back(), "Firmware file is damaged or in the wrong format !!");
  EXPECT_EQ(unit.BootCommands(), 0u);
  for (const auto& write : m_line->Writes()) EXPECT_LE(write.bytes.size(), 5u);  // probes only
}

std::vector<BadFileCase> BadFiles() {
  const BootBytes good = MakeHex(FirmwareData(100, kAmpCode, 0));
  const BootBytes cut(good.begin(), good.end() - 25);
  const std::string text = "not a firmware file\r\n";
  const BootBytes notHex(text.begin(), text.end());
  // A well-formed HEX file with no data record: no image at all.
  const std::string end = ":00000001FF\r\n";
  const BootBytes endOnly(end.begin(), end.end());
  const std::string line = "garbage text\n";  // 13 bytes
  return {
      {"AmpEmpty", Family::kAmpModule, 0x31, {}},
      {"AmpTruncated", Family::kAmpModule, 0x31, cut},
      {"AmpNotHex", Family::kAmpModule, 0x31, notHex},
      {"SornicEmpty", Family::kSornic, 0x3C, {}},
      {"SornicTruncated", Family::kSornic, 0x3C, cut},
      {"SornicNotHex", Family::kSornic, 0x3C, notHex},
      {"AmpEndRecordOnly", Family::kAmpModule, 0x31, endOnly},
      {"SornicEndRecordOnly", Family::kSornic, 0x3C, endOnly},
      {"ProcessorEmpty", Family::kProcessor, 0x72, {}},
      {"ProcessorLineOfText", Family::kProcessor, 0x78, BootBytes(line.begin(), line.end())},
      {"ProcessorOneByteShortOfABlock", Family::kProcessor, 0x72, BootBytes(127, 0x00)},
  };
}

INSTANTIATE_TEST_SUITE_P(Files, BadFirmwareFileTest, ::testing::ValuesIn(BadFiles()),
                         [](const auto& info) { return std::string(info.param.name); });

// A unit that loses power or its cable a third of the way through the transfer: the loaders
// that get no answer to the rest go on to the end (a late or lost answer does not stop them),
// but the unit never comes back, and the load fails with a line that says so instead of
// calling a unit that holds a third of its firmware complete.
struct SilentUnitCase {
  const char* name;
  Family family;
  std::uint8_t type;
};

class SilentMidTransferTest : public BootLineTest, public ::testing::WithParamInterface<SilentUnitCase> {};

TEST_P(SilentMidTransferTest, FailsTheLoadWithALineThatSaysSo) {
  const SilentUnitCase& c = GetParam();
  CSimBootUnit& unit = Attach(c.family, c.type);
  SimBootBytes data;
  std::size_t parts = 0;  // records (blocks on a processor) of the transfer
  if (c.family == Family::kProcessor) {
    data = FirmwareData(1280, {}, 0);
    parts = 10;
    m_job.firmwarePath = WriteFile("nerex.hex", data);
  } else if (c.family == Family::kZel) {
    unit.SetUnitCode({0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F});
    std::ofstream(m_job.programFolder + "Orvak.ini") << "ZEL_SERIES=2.14\r\n";
    data = FirmwareData(480, kZelCode, 30);
    WriteFile("ZelAmpFirmware_v2_14.hex", MakeHex(data));
  } else {
    data = FirmwareData(480, c.family == Family::kAmpModule ? kAmpCode : std::vector<std::uint8_t>{0x01}, 100);
    m_job.firmwarePath = WriteFile("unit.hex", MakeHex(data));
  }
  if (parts == 0) parts = data.size() / 16 + 1;  // 16 bytes a record, and the end record
  unit.FallSilentAfter(parts / 3);

  EXPECT_FALSE(LoadFirmware(c.family, Context()));
  EXPECT_EQ(m_report.lines.back(), "Device has stopped responding");
  EXPECT_EQ(CountOf(m_report.lines, "Warning - cannot reconnect to amp"), 0u);
  EXPECT_EQ(CountOf(m_report.lines, "Warning - cannot reconnect to device"), 0u);
  EXPECT_FALSE(unit.IsComplete());
  EXPECT_LT(unit.ImageBytes().size(), data.size() / 2);
  // The log never calls the load done; the streams that get no answers went on to the end of the
  // file and say so, the module says how far it answered.
  EXPECT_EQ(CountOf(m_report.lines, "Done"), 0u);
  if (c.family == Family::kZel || c.family == Family::kSornic) {
    EXPECT_EQ(m_report.progress.back(), 100);
  } else {
    EXPECT_LT(m_report.progress.back(), 50);
  }
}

INSTANTIATE_TEST_SUITE_P(Families, SilentMidTransferTest,
                         ::testing::Values(SilentUnitCase{"AmpModule", Family::kAmpModule, 0x31},
                                           SilentUnitCase{"Zel", Family::kZel, 0x33},
                                           SilentUnitCase{"Sornic", Family::kSornic, 0x3C},
                                           SilentUnitCase{"Processor", Family::kProcessor, 0x73}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Presets ---

class AmpPresetTest : public BootLineTest {
 protected:
  void SetUp() override { Attach(Family::kAmpModule, 0x32); }

  // A store frame of 29 bytes for a slot.
  static BootBytes StoreFrame(std::uint8_t slot) {
    BootBytes frame{0xF1, 0x00, 28, 0x32, 0x01, 0x0D, 0x12, slot};
    for (int i = 0; i < 20; ++i) frame.push_back(std::uint8_t((slot * 16 + i) & 0x7F));
    frame.push_back(BootChecksum(frame.data(), frame.size()));
    return frame;
  }
  // Header for the unit, the mask, then the frames of the slots given.
  std::string PresetFile(std::uint16_t mask, const std::vector<int>& slotNumbers, std::uint8_t type = 0x32,
                         std::uint8_t lastCode = 0x78) {
    BootBytes file(32, 0);
    const std::uint8_t code[4] = {0x12, 0x34, 0x56, lastCode};
    std::copy(code, code + 4, file.begin() + 8);
    file[12] = type;
    file[16] = std::uint8_t(mask);
    file[17] = std::uint8_t(mask >> 8);
    for (int slot : slotNumbers) {
      const BootBytes frame = StoreFrame(std::uint8_t(slot));
      file.insert(file.end(), frame.begin(), frame.end());
    }
    return WriteFile("Hall.bin", file);
  }
};

TEST_F(AmpPresetTest, StoresHeldSlotsClearsTheRestAndNamesTheSet) {
  m_job.presetPath = PresetFile(0x0209, {1, 4, 10});  // slot indexes 0, 3, 9
  EXPECT_TRUE(LoadAmpPresets(Context()));
  const auto presets = m_unit->Presets();
  EXPECT_EQ(presets[0], StoreFrame(1));
  EXPECT_EQ(presets[3], StoreFrame(4));
  EXPECT_EQ(presets[9], StoreFrame(10));
  EXPECT_TRUE(presets[1].empty());
  EXPECT_EQ(m_unit->PresetClears(), 7u);
  EXPECT_EQ(m_unit->PresetName(), "Hall.bin" + std::string(32, ' '));
  EXPECT_TRUE(WroteFrame(BuildClearPresetCommand(0x32, 2)));  // slot index 1 clears slot 2
  EXPECT_EQ(m_report.lines,
            (Lines{"Storing Preset:0", "Clearing Preset:1", "Clearing Preset:2", "Storing Preset:3",
                   "Clearing Preset:4", "Clearing Preset:5", "Clearing Preset:6", "Clearing Preset:7",
                   "Clearing Preset:8", "Storing Preset:9", "Preset name loaded OK"}));
}

TEST_F(AmpPresetTest, EmptyMaskClearsAllTenAndUpperBitsAreIgnored) {
  m_job.presetPath = PresetFile(0, {});
  EXPECT_TRUE(LoadAmpPresets(Context()));
  EXPECT_EQ(m_unit->PresetClears(), 10u);
  m_job.presetPath = PresetFile(0xFC01, {1});
  EXPECT_TRUE(LoadAmpPresets(Context()));
  EXPECT_EQ(m_unit->Presets()[0], StoreFrame(1));
  EXPECT_EQ(m_unit->PresetClears(), 19u);
}

TEST_F(AmpPresetTest, FileForAnotherUnitTouchesNoSlot) {
  for (const auto& [type, lastCode] : {std::pair<std::uint8_t, std::uint8_t>{0x31, 0x78}, {0x32, 0x77}}) {
    m_report.lines.clear();
    m_job.presetPath = PresetFile(1, {1}, type, lastCode);
    EXPECT_FALSE(LoadAmpPresets(Context()));
    EXPECT_EQ(m_report.lines, (Lines{"Preset file does not match amp type"}));
  }
  for (const auto& write : Written()) EXPECT_EQ(write, (SimBootBytes{0xE0, 0x01}));
}

TEST_F(AmpPresetTest, FileEndingBeforeItsLastFrameTouchesNoSlot) {
  m_job.presetPath = PresetFile(0x0007, {1, 2});  // three slots held, two frames present
  EXPECT_FALSE(LoadAmpPresets(Context()));
  EXPECT_EQ(m_report.lines, (Lines{"Preset File Failed to Load!!"}));
  EXPECT_EQ(Written(), (std::vector<SimBootBytes>{{0xE0, 0x01}}));
}

// A missing file, a pipe (never waited on) and a device (never read) cannot be opened.
TEST_F(AmpPresetTest, SilentUnitAndMissingFile) {
  const std::string pipe = m_folder.path().toStdString() + "/pipe.bin";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0666), 0);
  for (const std::string& path : {m_folder.path().toStdString() + "/none.bin", pipe, std::string("/dev/zero")}) {
    m_job.presetPath = path;
    EXPECT_FALSE(LoadAmpPresets(Context()));
    EXPECT_EQ(m_report.lines, (Lines{"Cannot open preset file " + m_job.presetPath}));
    m_report.lines.clear();
  }
  m_job.presetPath = PresetFile(0, {});
  m_unit->SetSilent(true);
  EXPECT_FALSE(LoadAmpPresets(Context()));
  EXPECT_EQ(m_report.lines, (Lines{"Cannot connect to amp"}));
}

// --- Zel family and Sornic ---

class ZelFirmwareTest : public BootLineTest {
 protected:
  void SetUp() override {
    Attach(Family::kZel, 0x33).SetUnitCode({0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F});
    std::ofstream(m_job.programFolder + "Orvak.ini") << "ZEL_SERIES=2.14\r\n";
    m_data = FirmwareData(300, kZelCode, 30);
    WriteFile("ZelAmpFirmware_v2_14.hex", MakeHex(m_data));
  }
  SimBootBytes m_data;
};

TEST_F(ZelFirmwareTest, StreamsTheVersionedFileAndWaitsForTheRestart) {
  EXPECT_TRUE(LoadZelFirmware(Context()));
  EXPECT_EQ(m_unit->ImageBytes(), m_data);
  EXPECT_TRUE(WroteFrame(BuildLongBootCommand(0x33, 0x01020304)));
  // The stream gets no answers: the load is "Done" once the unit answers after its restart.
  const Lines& log = m_report.lines;
  ASSERT_EQ(log.size(), 6u);
  EXPECT_EQ(Lines(log.begin(), log.begin() + 4),
            (Lines{"Checking firmware file...", "Sending boot command", "Erasing current firmware...",
                   "Sending Hex file 100.0% done"}));
  EXPECT_TRUE(StartsWith(log[4], "Waiting for device to reboot."));
  EXPECT_EQ(log[5], "Done");
  // The stream went at the boot loader's 9600 baud.
  for (const auto& write : m_line->Writes()) {
    if (write.bytes.size() > 20) {
      EXPECT_EQ(write.baud, 9600u);
    }
  }
}

TEST_F(ZelFirmwareTest, MissingVersionFileAndIncompatibleFile) {
  // Without the family's version there is no file to pick: the log says so, even when a file
  // named without a version lies in the folder, and the unit is never booted.
  WriteFile("ZelAmpFirmware_v.hex", MakeHex(m_data));
  const std::string none = "No firmware version is configured for this unit: Orvak.ini has no \"ZEL_SERIES\" entry";
  std::ofstream(m_job.programFolder + "Orvak.ini", std::ios::trunc) << "OTHER=1\n";
  EXPECT_FALSE(LoadZelFirmware(Context()));
  EXPECT_EQ(m_report.lines, (Lines{none}));
  std::remove((m_job.programFolder + "Orvak.ini").c_str());
  m_report.lines.clear();
  EXPECT_FALSE(LoadZelFirmware(Context()));
  EXPECT_EQ(m_report.lines, (Lines{none}));
  EXPECT_EQ(m_unit->BootCommands(), 0u);
  m_unit->SetUnitCode({0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x50});
  std::ofstream(m_job.programFolder + "Orvak.ini", std::ios::trunc) << "ZEL_SERIES=2.14\r\n";
  EXPECT_FALSE(LoadZelFirmware(Context()));
  EXPECT_EQ(m_report.lines.back(), "Incompatible firmware file !!");
  EXPECT_EQ(m_unit->BootCommands(), 0u);
}

TEST_F(ZelFirmwareTest, BootCommandNotTakenFails) {
  m_unit->SetRefuseBoot(true);
  EXPECT_FALSE(LoadZelFirmware(Context()));
  EXPECT_EQ(m_report.lines.back(), "Boot command to device failed");
}

TEST_F(ZelFirmwareTest, PortThatDiesMidTransferFailsTheLoadWithALine) {
  m_line->BreakOpenPortAfter(400);
  EXPECT_FALSE(LoadZelFirmware(Context()));
  EXPECT_EQ(m_report.lines.back(), "Failed to write to COM port");
  EXPECT_EQ(CountOf(m_report.lines, "Done"), 0u);
  EXPECT_FALSE(m_unit->IsComplete());
}

// The stream gets no answers: a unit that never answers again may have stopped anywhere in it
// (here its boot loader refused a record and took no more), so the load fails.
TEST_F(ZelFirmwareTest, BrokenStreamLeavesTheUnitInItsBootLoaderAndFailsTheLoad) {
  m_unit->RefuseRecord(4);
  EXPECT_FALSE(LoadZelFirmware(Context()));
  EXPECT_FALSE(m_unit->IsComplete());
  EXPECT_EQ(m_report.lines[m_report.lines.size() - 2], "Waiting for device to reboot" + std::string(30, '.'));
  EXPECT_EQ(m_report.lines.back(), "Device has stopped responding");
}

// The Zel boot loader's answer to the boot command is only counted: 50 to 61 bytes will do.
class ZelBannerTest : public ZelFirmwareTest, public ::testing::WithParamInterface<std::pair<std::size_t, bool>> {};

TEST_P(ZelBannerTest, BootAnswerLengthDecides) {
  m_unit->SetBannerLength(GetParam().first);
  EXPECT_EQ(LoadZelFirmware(Context()), GetParam().second);
  EXPECT_EQ(CountOf(m_report.lines, "Boot command to device failed"), GetParam().second ? 0u : 1u);
}

INSTANTIATE_TEST_SUITE_P(Lengths, ZelBannerTest,
                         ::testing::Values(std::pair<std::size_t, bool>{49, false}, std::pair<std::size_t, bool>{50, true},
                                           std::pair<std::size_t, bool>{61, true}));

TEST_F(ZelFirmwareTest, UnitThatDoesNotAnswerTheLongIdQuery) {
  m_unit->SetSilent(true);
  EXPECT_FALSE(LoadZelFirmware(Context()));
  EXPECT_EQ(m_report.lines, (Lines{"Cannot connect to device"}));
}

class SornicFirmwareTest : public BootLineTest {
 protected:
  void SetUp() override {
    Attach(Family::kSornic, 0x3C);
    m_data = FirmwareData(250, {0x01}, 0);  // no signature needed
    m_job.firmwarePath = WriteFile("sornic.hex", MakeHex(m_data));
  }
  SimBootBytes m_data;
};

TEST_F(SornicFirmwareTest, LoadsWithoutSignatureAtFiftySevenSix) {
  EXPECT_TRUE(LoadSornicAmpFirmware(Context()));
  EXPECT_EQ(m_unit->ImageBytes(), m_data);
  EXPECT_EQ(CountOf(m_report.lines, "Checking firmware file..."), 0u);
  EXPECT_EQ(m_report.lines.front(), "Sending boot command");
  for (const auto& write : m_line->Writes()) EXPECT_EQ(write.baud, 57600u);
}

TEST_F(SornicFirmwareTest, EmptyPathAndAUnitThatNeverComesBack) {
  m_job.firmwarePath.clear();
  EXPECT_FALSE(LoadSornicAmpFirmware(Context()));
  EXPECT_EQ(m_report.lines, (Lines{"Cannot open firmware file !!"}));
  m_report.lines.clear();
  m_job.firmwarePath = WriteFile("sornic.hex", MakeHex(m_data));
  m_unit->SetNeverReboots(true);
  const std::uint64_t start = m_line->NowUs();
  EXPECT_FALSE(LoadSornicAmpFirmware(Context()));
  EXPECT_EQ(m_report.lines.back(), "Device has stopped responding");
  // Each reconnection query waits out its five-second read time-out.
  EXPECT_GT(m_line->NowUs() - start, 30ull * 6000000);
}

// --- Processors ---

class ProcessorFirmwareTest : public BootLineTest {
 protected:
  void SetUp() override { Attach(Family::kProcessor, 0x73); }
  void Load(const SimBootBytes& image) { m_job.firmwarePath = WriteFile("nerex.hex", image); }
  static SimBootBytes Image(std::size_t size) {
    SimBootBytes image(size);
    for (std::size_t i = 0; i < size; ++i) image[i] = std::uint8_t(i % 251);
    return image;
  }
};

TEST_F(ProcessorFirmwareTest, PartialLastBlockIsPaddedAndRepeatedInTheEndBlock) {
  const SimBootBytes image = Image(300);
  Load(image);
  EXPECT_TRUE(LoadProcessorFirmware(Context()));
  SimBootBytes padded = image;
  padded.resize(384, 0xFF);
  EXPECT_EQ(m_unit->ImageBytes(), padded);
  EXPECT_EQ(m_unit->EndBlock(), SimBootBytes(padded.begin() + 256, padded.end()));
  // The progress counts each block's bytes once it is sent, and ends at what was sent.
  EXPECT_EQ(m_report.lines, (Lines{"Sending Hex file 100.0% done"}));
  EXPECT_EQ(m_report.progress, (std::vector<int>{42, 85, 100}));
  EXPECT_TRUE(WroteFrame(BuildProcessorBootCommand(0x73)));
}

// A length whose share, taken in single precision, ends just below 100 (99.99999): the bar
// still ends full.
TEST_F(ProcessorFirmwareTest, ProgressEndsAtAHundredForALengthThatRoundsBelowIt) {
  constexpr std::size_t kLength = 671089;
  ASSERT_LT(int(float(kLength) * 100.0f / float(kLength)), 100);
  Load(Image(kLength));
  EXPECT_TRUE(LoadProcessorFirmware(Context()));
  EXPECT_EQ(m_report.lines, (Lines{"Sending Hex file 100.0% done"}));
  ASSERT_FALSE(m_report.progress.empty());
  EXPECT_EQ(m_report.progress.back(), 100);
}

TEST_F(ProcessorFirmwareTest, WholeBlocksEndWithABlankEndBlockAndBlankBlocksAreSkipped) {
  SimBootBytes image = Image(384);
  std::fill(image.begin() + 128, image.begin() + 256, 0xFF);
  Load(image);
  EXPECT_TRUE(LoadProcessorFirmware(Context()));
  EXPECT_EQ(m_unit->BlocksTaken(), 2u);
  EXPECT_EQ(m_unit->ImageBytes(), image);
  EXPECT_EQ(m_unit->EndBlock(), SimBootBytes(128, 0xFF));
  EXPECT_EQ(m_report.lines, (Lines{"Sending Hex file 100.0% done"}));
}

TEST_F(ProcessorFirmwareTest, OnlyBlankBytesSendsBootAndEndBlockOnly) {
  Load(SimBootBytes(200, 0xFF));
  EXPECT_TRUE(LoadProcessorFirmware(Context()));
  EXPECT_EQ(m_unit->BlocksTaken(), 0u);
  EXPECT_TRUE(m_unit->IsComplete());
}

TEST_F(ProcessorFirmwareTest, UnacknowledgedBlockEndsTheLoad) {
  Load(Image(600));
  m_unit->FailBlock(2);
  EXPECT_FALSE(LoadProcessorFirmware(Context()));
  EXPECT_EQ(m_report.lines.back(), "Device has stopped responding");
  EXPECT_FALSE(m_unit->IsComplete());
}

// A Nerex44 put in the place of the Nerex48 the file was chosen for, between the scan and the
// load: the Nerex48's image never goes into it.
TEST_F(ProcessorFirmwareTest, AFileChosenForAnotherModelIsNotSent) {
  Attach(Family::kProcessor, 0x74);
  m_job.deviceType = 0x78;
  m_job.firmwareFor = 0x78;
  Load(Image(300));
  EXPECT_FALSE(LoadProcessorFirmware(Context()));
  EXPECT_EQ(m_report.lines, (Lines{"Firmware file was chosen for the Nerex48, not for this Nerex44 !!"}));
  EXPECT_EQ(m_unit->BootCommands(), 0u);
  EXPECT_EQ(m_unit->BlocksTaken(), 0u);
}

TEST_F(ProcessorFirmwareTest, UnitWithoutIdentityAnswerIsRefused) {
  Attach(Family::kAmpModule, 0x73);  // answers the short query only
  Load(Image(300));
  EXPECT_FALSE(LoadProcessorFirmware(Context()));
  EXPECT_EQ(m_report.lines, (Lines{"Cannot connect to device"}));
}

TEST_F(ProcessorFirmwareTest, FennickTakesTheVersionedFileFromTheProgramFolder) {
  Attach(Family::kProcessor, 0x10);
  std::ofstream(m_job.programFolder + "Orvak.ini") << "Fennick=5.02\n";
  const SimBootBytes image = Image(256);
  WriteFile("FennickFirmware_v5_02.hex", image);
  EXPECT_TRUE(LoadProcessorFirmware(Context()));
  EXPECT_EQ(m_unit->ImageBytes(), image);
}

TEST_F(ProcessorFirmwareTest, FennickWithoutAVersionInTheTableSaysSoAndLoadsNothing) {
  Attach(Family::kProcessor, 0x11);
  std::ofstream(m_job.programFolder + "Orvak.ini") << "ZEL_SERIES=2.14\n";
  WriteFile("FennickFirmware_v.hex", Image(256));
  EXPECT_FALSE(LoadProcessorFirmware(Context()));
  EXPECT_EQ(m_report.lines,
            (Lines{"No firmware version is configured for this unit: Orvak.ini has no \"Fennick\" entry"}));
  EXPECT_EQ(m_unit->BootCommands(), 0u);
}

// A pipe or a device chosen as the image is refused at once: the loader neither waits for a
// writer nor reads for ever.
TEST_F(ProcessorFirmwareTest, PipeOrDeviceChosenAsTheImageCannotBeOpened) {
  const std::string pipe = m_folder.path().toStdString() + "/pipe.hex";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0666), 0);
  for (const std::string& path : {pipe, std::string("/dev/zero")}) {
    m_job.firmwarePath = path;
    EXPECT_FALSE(LoadProcessorFirmware(Context()));
    EXPECT_EQ(m_report.lines, (Lines{"Cannot open firmware file " + path + "!!"}));
    m_report.lines.clear();
  }
  EXPECT_EQ(m_unit->BootCommands(), 0u);
}

TEST_F(ProcessorFirmwareTest, ImageBeyondTheAddressRangeIsRefusedBeforeTheBootCommand) {
  Load(SimBootBytes(16 * 1024 * 1024 - 127, 0x00));  // its last block would need address FF FF 80
  EXPECT_FALSE(LoadProcessorFirmware(Context()));
  EXPECT_EQ(m_report.lines, (Lines{"Firmware file is damaged or in the wrong format !!"}));
  EXPECT_EQ(m_unit->BootCommands(), 0u);
}

TEST_F(ProcessorFirmwareTest, BootCommandNotAcknowledged) {
  Load(Image(300));
  m_unit->SetRefuseBoot(true);
  EXPECT_FALSE(LoadProcessorFirmware(Context()));
  EXPECT_EQ(m_report.lines, (Lines{"Sending boot command", "Boot command to device failed"}));
}

// --- Files of another kind ---

// A file that plainly is not the unit's firmware (another family's, Intel HEX where a raw image
// is due, a picture or an archive) is refused with a line that says what it is, before a byte of
// it, or of the load, goes to the unit. With table set, the loader picks the file by that name.
struct ForeignFileCase {
  const char* name;
  Family family;
  std::uint8_t type;
  std::string fileName;
  BootBytes file;
  std::string line;
  const char* table = nullptr;
};

class ForeignFirmwareTest : public BootLineTest, public ::testing::WithParamInterface<ForeignFileCase> {};

TEST_P(ForeignFirmwareTest, IsRefusedWithWordsBeforeAByteIsSent) {
  const ForeignFileCase& c = GetParam();
  CSimBootUnit& unit = Attach(c.family, c.type);
  if (c.table) {
    std::ofstream(m_job.programFolder + "Orvak.ini") << c.table;
    WriteFile(c.fileName, c.file);
  } else {
    m_job.firmwarePath = WriteFile(c.fileName, c.file);
  }
  EXPECT_FALSE(LoadFirmware(c.family, Context()));
  EXPECT_EQ(m_report.lines.back(), c.line);
  EXPECT_EQ(unit.BootCommands(), 0u);
  if (c.family == Family::kZel) {
    EXPECT_EQ(m_report.lines, (Lines{"Checking firmware file...", c.line}));  // after the unit's probes
    for (const auto& write : m_line->Writes()) EXPECT_LE(write.bytes.size(), 5u);
  } else {
    EXPECT_EQ(m_report.lines, (Lines{c.line}));
    EXPECT_EQ(m_line->BytesWritten(), 0u);
  }
}

std::vector<ForeignFileCase> ForeignFiles() {
  const BootBytes moduleHex = MakeHex(FirmwareData(400, kAmpCode, 100));
  std::string lineFeeds(moduleHex.begin(), moduleHex.end());
  for (std::size_t at; (at = lineFeeds.find("\r\n")) != std::string::npos;) lineFeeds.erase(at, 1);
  const BootBytes png = Opening("\x89PNG\r\n\x1A\n");
  const std::string notImage = ", not a processor image !!";
  const std::string notHex = ", not Intel HEX firmware !!";
  return {
      {"NerexGetsModuleHex", Family::kProcessor, 0x78, "amp_ok.hex", moduleHex,
       "Firmware file is Intel HEX (amplifier or Zel firmware), not a processor image !!"},
      {"NerexGetsHexWithLineFeeds", Family::kProcessor, 0x72, "amp.hex", BootBytes(lineFeeds.begin(), lineFeeds.end()),
       "Firmware file is Intel HEX (amplifier or Zel firmware), not a processor image !!"},
      {"NerexGetsPng", Family::kProcessor, 0x78, "pic0.png", png, "Firmware file is a PNG picture" + notImage},
      {"NerexGetsZip", Family::kProcessor, 0x74, "fw.hex", Opening("PK\3\4"),
       "Firmware file is a ZIP archive" + notImage},
      {"NerexGetsElf", Family::kProcessor, 0x76, "fw.elf", Opening("\x7F" "ELF"),
       "Firmware file is an ELF program" + notImage},
      {"NerexGetsFennickImage", Family::kProcessor, 0x78, "FennickFirmware_v1_25.hex", FirmwareData(4096, {}, 0),
       "Firmware file is for the Fennick processors, not for this unit !!"},
      {"FennickFileIsAPicture", Family::kProcessor, 0x10, "FennickFirmware_v1_25.hex", Opening("GIF89a"),
       "Firmware file is a GIF picture" + notImage, "Fennick=1.25\n"},
      {"SornicGetsZelFirmware", Family::kSornic, 0x3C, "ZelAmpFirmware_v2_14.hex",
       MakeHex(FirmwareData(300, kZelCode, 30)),
       "Firmware file is for the Zel-1 to Zel-5 amplifiers, not for this unit !!"},
      {"SornicGetsPng", Family::kSornic, 0x3C, "sornic.hex", png, "Firmware file is a PNG picture" + notHex},
      {"ModuleGetsGzip", Family::kAmpModule, 0x31, "amp.hex", Opening(std::string("\x1F\x8B\x08\0", 4)),
       "Firmware file is a gzip archive" + notHex},
      {"ModuleGetsZel6Firmware", Family::kAmpModule, 0x32, "Zel6Firmware_v1_0.hex", moduleHex,
       "Firmware file is for the Zel-6 amplifiers, not for this unit !!"},
      {"ZelFileIsAPdf", Family::kZel, 0x33, "ZelAmpFirmware_v2_14.hex", Opening("%PDF-1.4"),
       "Firmware file is a PDF document" + notHex, "ZEL_SERIES=2.14\r\n"},
  };
}

INSTANTIATE_TEST_SUITE_P(Files, ForeignFirmwareTest, ::testing::ValuesIn(ForeignFiles()),
                         [](const auto& info) { return std::string(info.param.name); });

// Plain image bytes still load, also those that open like a text or a signature but are none.
class RawImageTest : public ProcessorFirmwareTest,
                     public ::testing::WithParamInterface<std::pair<const char*, BootBytes>> {};

TEST_P(RawImageTest, LoadsWhole) {
  const BootBytes& image = GetParam().second;
  Load(image);
  EXPECT_TRUE(LoadProcessorFirmware(Context()));
  SimBootBytes padded = image;
  padded.resize((image.size() + 127) / 128 * 128, 0xFF);
  EXPECT_EQ(m_unit->ImageBytes(), padded);
  EXPECT_EQ(m_report.lines, (Lines{"Sending Hex file 100.0% done"}));
}

INSTANTIATE_TEST_SUITE_P(
    Images, RawImageTest,
    ::testing::Values(std::pair<const char*, BootBytes>{"Plain", FirmwareData(1000, {}, 0)},
                      std::pair<const char*, BootBytes>{"Colon", Opening(":10000000")},
                      std::pair<const char*, BootBytes>{"ColonRecordWithoutLineEnd", Opening(":00000001FF\x01")},
                      std::pair<const char*, BootBytes>{"Bm", Opening("BM\x12\x34\x56\x78")},
                      std::pair<const char*, BootBytes>{"Pk", Opening("PK\x01\x02")},
                      std::pair<const char*, BootBytes>{"FfD8", Opening("\xFF\xD8\xFF\xFF")},
                      std::pair<const char*, BootBytes>{"Zeros", BootBytes(300, 0x00)}),
    [](const auto& info) { return std::string(info.param.first); });

// --- How long a load can last ---

// Each family's load at its longest: the time on the line stays within the loader's bound, and
// where the case is the worst the bound allows, near it.
struct LongestCase {
  const char* name;
  Family family;
  std::uint8_t type;
  void (*fault)(CSimBootUnit&);
  double nearBound;  // the load's share of the bound, at least
};

class LongestLoadTest : public BootLineTest, public ::testing::WithParamInterface<LongestCase> {};

TEST_P(LongestLoadTest, StaysWithinTheBound) {
  const LongestCase& c = GetParam();
  CSimBootUnit& unit = Attach(c.family, c.type);
  const SimBootBytes data = FirmwareData(4000, c.family == Family::kZel ? kZelCode : kAmpCode, 100);
  const BootBytes file = c.family == Family::kProcessor ? data : MakeHex(data);
  std::uint64_t bound = 0;
  switch (c.family) {
    case Family::kAmpModule: bound = LongestAmpFirmwareMs(file.size()); break;
    case Family::kZel: bound = LongestLongIdFirmwareMs(file.size(), false); break;
    case Family::kSornic: bound = LongestLongIdFirmwareMs(file.size(), true); break;
    case Family::kProcessor: bound = LongestProcessorFirmwareMs(file.size()); break;
  }
  if (c.family == Family::kZel) {
    std::ofstream(m_job.programFolder + "Orvak.ini") << "ZEL_SERIES=2.14\r\n";
    WriteFile("ZelAmpFirmware_v2_14.hex", file);
  } else {
    m_job.firmwarePath = WriteFile("unit.hex", file);
  }
  // The dialog's job names the same file.
  EXPECT_EQ(LongestLoadMs(m_job), bound);
  if (c.fault) c.fault(unit);
  const std::uint64_t start = m_line->NowUs();
  LoadFirmware(c.family, Context());
  const double ms = double(m_line->NowUs() - start) / 1000.0;
  EXPECT_LE(ms, double(bound));
  EXPECT_GE(ms, c.nearBound * double(bound));
}

INSTANTIATE_TEST_SUITE_P(
    Families, LongestLoadTest,
    ::testing::Values(
        LongestCase{"AmpLoads", Family::kAmpModule, 0x31, nullptr, 0},
        LongestCase{"AmpSecondPassNeverBack", Family::kAmpModule, 0x31,
                    [](CSimBootUnit& u) { u.RefuseRecord(200); u.SetNeverReboots(true); }, 0.8},
        LongestCase{"AmpFallsSilent", Family::kAmpModule, 0x31, [](CSimBootUnit& u) { u.FallSilentAfter(3); }, 0.5},
        LongestCase{"AmpInItsBootLoaderNeverBack", Family::kAmpModule, 0x31,
                    [](CSimBootUnit& u) { u.StartInBootLoader(); u.SetNeverReboots(true); }, 0.5},
        LongestCase{"ZelNeverBack", Family::kZel, 0x33, [](CSimBootUnit& u) { u.SetNeverReboots(true); }, 0.9},
        LongestCase{"SornicNeverBack", Family::kSornic, 0x3C, [](CSimBootUnit& u) { u.SetNeverReboots(true); }, 0.9},
        LongestCase{"ProcessorLoads", Family::kProcessor, 0x78, nullptr, 0},
        LongestCase{"ProcessorLastBlockUnanswered", Family::kProcessor, 0x78,
                    [](CSimBootUnit& u) { u.FallSilentAfter(31); }, 0.5}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
