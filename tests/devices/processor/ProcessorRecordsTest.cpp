// A processor's own records in the system file and in streams, its preset files and its
// snapshots, for every model.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "core/model/ControlPanel.h"
#include "core/file/DataStream.h"
#include "core/model/Snapshot.h"
#include "core/system/SystemFile.h"
#include "core/system/Zone.h"
#include "devices/processor/NerexBlocks.h"
#include "devices/processor/NerexChange.h"
#include "devices/processor/NerexPresets.h"
#include "devices/processor/NerexSeriesFile.h"
#include "devices/processor/NerexSnapshot.h"
#include "devices/processor/ProcessorFamily.h"
#include "platform/Archive.h"
#include "tests/devices/processor/ProcessorFixture.h"
#include "tests/devices/processor/TestImages.h"
#include "tests/support/FixedTick.h"
#include "tests/support/RecordingUi.h"
#include "tests/support/ModelChanges.h"

namespace {

// Gives a device values in every field its record carries, each within its range.
void Fill(CNerexSeriesDevice& d, unsigned seed) {
  NameDevice(d, "Proc " + std::to_string(seed));
  CNerexSeriesMemory image = MakeRandomStoredImage(seed, d.GetModel());
  image.name = "Live";
  WritableSettings(d).CopyFrom(image);
  ResizePresetList(WritablePresets(d), 24);
  WritablePresets(d)[23]->CopyFrom(MakeRandomStoredImage(seed + 1, d.GetModel()));
  WritablePresets(d)[23]->sectionFlags = 0x3;
  ResizeXoverPresetList(WritableXoverPresets(d), 2);
  WritableXoverPresets(d)[1]->outputs.delays[3] = 777;
  d.HostOptions().SetAutoRtcUpdate(false);
  d.HostOptions().SetDelayUnits(1);
  d.HostOptions().SetDelayMultiplier(100);
  d.HostOptions().SetGainNudge(2);
  for (std::size_t i = 7; i < 20; ++i) WritableGeneralSettings(d).bytes[i] = std::uint8_t(seed + i);
  WritableTimedPresets(d)[9] = TimedPresetEntry{3, 0x80, 12, 31, 23, 59};
}

void ExpectSameRecord(CNerexSeriesDevice& a, CNerexSeriesDevice& b) {
  EXPECT_EQ(a.GetName(), b.GetName());
  EXPECT_EQ(a.GetCurrentSettings().inputs, b.GetCurrentSettings().inputs);
  EXPECT_EQ(a.GetCurrentSettings().geq, b.GetCurrentSettings().geq);
  EXPECT_EQ(a.GetCurrentSettings().deqBands, b.GetCurrentSettings().deqBands);
  EXPECT_EQ(a.GetCurrentSettings().outputs.compressors, b.GetCurrentSettings().outputs.compressors);
  ASSERT_EQ(a.GetPresets().size(), b.GetPresets().size());
  EXPECT_EQ(a.GetPresets()[23]->outputs.gains, b.GetPresets()[23]->outputs.gains);
  EXPECT_EQ(a.GetPresets()[23]->name, b.GetPresets()[23]->name);
  ASSERT_EQ(a.GetXoverPresets().size(), b.GetXoverPresets().size());
  EXPECT_EQ(a.GetXoverPresets()[1]->outputs.delays[3], 777u);
  EXPECT_EQ(a.HostOptions().GetAutoRtcUpdate(), b.HostOptions().GetAutoRtcUpdate());
  EXPECT_EQ(a.HostOptions().GetDelayUnits(), b.HostOptions().GetDelayUnits());
  EXPECT_EQ(a.HostOptions().GetDelayMultiplier(), b.HostOptions().GetDelayMultiplier());
  EXPECT_EQ(a.HostOptions().GetGainNudge(), b.HostOptions().GetGainNudge());
  for (std::size_t i = 7; i < 20; ++i) EXPECT_EQ(a.GetGeneralSettings().bytes[i], b.GetGeneralSettings().bytes[i]);
  EXPECT_EQ(a.GetTimedPresets(), b.GetTimedPresets());
}

using ProcessorRecords = ProcessorFixture;

}  // namespace

TEST_F(ProcessorRecords, FileRoundTripOfEveryModelGivesBackEveryFieldAndKeepsIds) {
  for (const ModelCase& m : AllModels()) {
    SCOPED_TRACE(m.model);
    CNerexSeriesDevice& source = Make(m.model, 5);
    Fill(source, unsigned(m.model));
    CArchive out;
    source.Serialize(out);
    CNerexSeriesDevice& loaded = Make(m.model, 6);
    CArchive in(out.TakeData());
    loaded.Serialize(in);
    EXPECT_EQ(in.Remaining(), 0u);
    EXPECT_EQ(loaded.GetUuid(), source.GetUuid());
    ExpectSameRecord(source, loaded);
    // The ids of the live image are the constructor's.
    EXPECT_EQ(loaded.GetCurrentSettings().outputs.PeqIds(3, 2).frequencyId, 700u + 27 + 2);
    EXPECT_EQ(loaded.GetCurrentSettings().DeqIds(1, 1).releaseId, 1482u + 4);
  }
}

TEST_F(ProcessorRecords, SystemFileGivesBackExactlyTheFilesPresetsWithTheirParameterIds) {
  // Fewer and more presets than a new device's 20: a device built while the file is read holds
  // exactly the file's presets, values, names and parameter ids alike.
  RegisterProcessorFamily();
  QTemporaryDir dir;
  const std::string path = dir.filePath("presets.ovd").toStdString();
  auto withoutMark = [](CNerexSeriesMemory m) {
    m.sectionFlags &= kSectionAll;
    return m;
  };
  for (std::size_t count : {std::size_t(3), std::size_t(25)}) {
    SCOPED_TRACE(count);
    CSystem saved;
    auto* device = static_cast<CNerexSeriesDevice*>(saved.CreateDevice(7, 121, 0));
    saved.AppendDevice(device);
    saved.GetZones()[0]->AppendDevice(device);
    ResizePresetList(WritablePresets(*device), count);
    for (std::size_t i = 0; i < count; ++i) {
      CNerexSeriesMemory& preset = *WritablePresets(*device)[i];
      preset.CopyFrom(MakeRandomStoredImage(unsigned(40 + i), device->GetModel()));
      preset.name = "Show " + std::to_string(i);
      preset.sectionFlags = std::uint32_t(i % 16);
    }
    ASSERT_TRUE(saved.File().SaveFile(path));

    CSystem opened;
    ASSERT_TRUE(opened.File().OpenFile(path));
    auto* back = static_cast<CNerexSeriesDevice*>(opened.GetDevice(0));
    ASSERT_NE(back, nullptr);
    ASSERT_EQ(back->GetPresets().size(), count);
    for (std::size_t i = 0; i < count; ++i)
      EXPECT_EQ(withoutMark(*back->GetPresets()[i]), withoutMark(*device->GetPresets()[i])) << i;
    // Built outside a file read, a device starts with its 20 default presets again.
    std::unique_ptr<CDevice> later(opened.CreateDevice(8, 121, 0));
    EXPECT_EQ(static_cast<CNerexSeriesDevice*>(later.get())->GetPresets().size(), 20u);
  }
}

TEST_F(ProcessorRecords, StreamRoundTripOfEveryModel) {
  for (const ModelCase& m : AllModels()) {
    SCOPED_TRACE(m.model);
    CNerexSeriesDevice& source = Make(m.model);
    Fill(source, unsigned(m.model) + 100);
    std::stringstream s;
    CDataStream out(static_cast<std::ostream&>(s));
    source.SerializeStream(out);
    CNerexSeriesDevice& loaded = Make(m.model);
    CDataStream in(static_cast<std::istream&>(s));
    loaded.SerializeStream(in);
    EXPECT_EQ(loaded.GetName(), source.GetName());
    EXPECT_EQ(loaded.GetCurrentSettings().inputs, source.GetCurrentSettings().inputs);
    EXPECT_EQ(loaded.GetPresets().size(), 24u);
    EXPECT_EQ(loaded.GetTimedPresets(), source.GetTimedPresets());
    EXPECT_EQ(loaded.HostOptions().GetDelayMultiplier(), 100u);
  }
}

TEST_F(ProcessorRecords, PresetFileLoadAnnouncesAndSendsBlocksZeroAndFive) {
  QTemporaryDir dir;
  const std::string path = dir.filePath("a.fnp").toStdString();
  CNerexSeriesDevice& source = Make(16);
  Fill(source, 3);
  std::string error;
  ASSERT_TRUE(source.SavePresetFile(path, &error)) << error;
  OpenPort();
  CNerexSeriesDevice& target = Make(16, 2);
  Connect(target);
  ASSERT_TRUE(LoadPresetFile(target, path, &error)) << error;
  EXPECT_EQ(target.GetCurrentSettings().inputs.gains, source.GetCurrentSettings().inputs.gains);
  EXPECT_EQ(QueuedCommands(target), (std::vector<std::uint32_t>{26, 31}));
  // Packed payload: the top-bits byte, then memory byte 0 and mode byte 0xC0 without its top bit.
  EXPECT_EQ(QueuedMessage(target, 0).frame[8], 0);
  EXPECT_EQ(QueuedMessage(target, 0).frame[9], 0x40);
  EXPECT_FALSE(LoadPresetFile(target, dir.filePath("none.fnp").toStdString(), &error));
}

// --- Values outside their ranges ---

std::string TestData(const std::string& name) {
  const char* dir = std::getenv("ORVAK_TEST_DATA");
  return std::string(dir ? dir : "tests/data") + "/processor/" + name;
}

// A preset file goes to the unit as it stands: one value outside its range refuses it with a
// reason, and the device keeps its settings and sends nothing. The damaged file holds gains
// of +3276.7 dB, a delay of 1365 ms and a band frequency code of 65535.
TEST_F(ProcessorRecords, PresetFileWithValuesOutsideTheirRangesIsRefusedWithAReason) {
  OpenPort();
  CNerexSeriesDevice& d = Make(16);
  Connect(d);
  const CNerexSeriesMemory before = d.GetCurrentSettings();
  std::string error;
  EXPECT_FALSE(LoadPresetFile(d, TestData("out-of-range.fnp"), &error));
  EXPECT_NE(error.find("outside"), std::string::npos) << error;
  EXPECT_NE(error.find("nothing was loaded"), std::string::npos) << error;
  EXPECT_TRUE(d.GetCurrentSettings() == before);
  EXPECT_TRUE(QueuedCommands(d).empty());

  // One delay beyond 650 ms is enough, and the reason names it.
  QTemporaryDir dir;
  const std::string path = dir.filePath("late.fnp").toStdString();
  CNerexSeriesMemory image = before;
  image.outputs.delays[2] = 16773120;  // 1365 ms
  ASSERT_TRUE(SaveNerexPresetFile(path, image, &error)) << error;
  EXPECT_FALSE(LoadPresetFile(d, path, &error));
  EXPECT_NE(error.find("1 value outside its range (output 3 delay 1365.00 ms, outside 0.00 to 650.00 ms)"),
            std::string::npos)
      << error;
}

// A preset file holds the input gain that goes to the unit: one above the model's own limit
// refuses the file, and a model that takes it loads it as it is. Each model's limit: the
// Fennick takes +15 dB, the Nerex48, Torvex48 and Calder26 +6 dB; the file asks for +12 dB.
namespace {
struct InputGainLimit {
  int model;
  const char* refusal;  // null: the model loads the file
};
}  // namespace

TEST_F(ProcessorRecords, PresetFileInputGainIsCheckedAgainstTheModelsOwnLimit) {
  QTemporaryDir dir;
  const std::string path = dir.filePath("hot.fnp").toStdString();
  CNerexSeriesMemory image;
  InitMemoryDefaults(image);
  image.inputs.gains[0] = 120;
  std::string error;
  ASSERT_TRUE(SaveNerexPresetFile(path, image, &error)) << error;
  OpenPort();
  const char* const aboveSix = "(input 1 gain 12.0 dB, outside -40.0 to 6.0 dB); nothing was loaded.";
  for (const InputGainLimit& limit : {InputGainLimit{kModelFennick, nullptr}, InputGainLimit{kModelNerex48, aboveSix},
                                      InputGainLimit{kModelTorvex48, aboveSix}, InputGainLimit{kModelCalder26, aboveSix}}) {
    SCOPED_TRACE(limit.model);
    CNerexSeriesDevice& d = Make(limit.model, std::uint32_t(limit.model));
    Connect(d);
    const CNerexSeriesMemory before = d.GetCurrentSettings();
    error.clear();
    EXPECT_EQ(LoadPresetFile(d, path, &error), limit.refusal == nullptr) << error;
    if (!limit.refusal) {
      EXPECT_EQ(d.GetCurrentSettings().inputs.gains[0], 120);
      EXPECT_FLOAT_EQ(d.GetCurrentValue(kParamInputGain).value, 12.0f);
      EXPECT_EQ(QueuedCommands(d), (std::vector<std::uint32_t>{26, 31}));
    } else {
      EXPECT_NE(error.find(limit.refusal), std::string::npos) << error;
      EXPECT_TRUE(d.GetCurrentSettings() == before);
      EXPECT_TRUE(QueuedCommands(d).empty());
    }
  }
}

// A system file's images are read whole: a value outside its range is moved to the nearer end
// of it and the log says so; the rest of the file loads.
TEST_F(ProcessorRecords, StoredValuesOutsideTheirRangesAreLimitedOnLoadAndLogged) {
  m_system.SetUiServices(&m_sink);
  CNerexSeriesDevice& source = Make(120, 5);
  NameDevice(source, "Stage");
  CNerexSeriesMemory& live = WritableSettings(source);
  live.inputs.gains[0] = 32767;
  live.inputs.delays[1] = 16773120;
  live.outputs.PeqBand(0, 2).frequency = 65535;
  live.outputs.compressors[4].release = 63;
  WritablePresets(source)[2]->outputs.gains[1] = -32768;
  CArchive out;
  source.Serialize(out);
  CNerexSeriesDevice& loaded = Make(120, 6);
  CArchive in(out.TakeData());
  loaded.Serialize(in);
  const CNerexSeriesMemory& image = loaded.GetCurrentSettings();
  EXPECT_EQ(image.inputs.gains[0], 60);  // the Nerex48's input range
  EXPECT_EQ(image.inputs.delays[1], 7987200u);
  EXPECT_EQ(image.outputs.PeqBand(0, 2).frequency, 433);
  EXPECT_EQ(image.outputs.compressors[4].release, 51);
  EXPECT_EQ(loaded.GetPresets()[2]->outputs.gains[1], -400);
  EXPECT_FLOAT_EQ(loaded.GetCurrentValue(kParamInputGain).value, 6.0f);
  const std::vector<std::string> log = m_sink.LogLines();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find("Stage - ID: 6: 5 stored values lay outside their ranges and were moved to the nearer end"),
            std::string::npos)
      << log[0];
  EXPECT_NE(log[0].find("(first: input 1 gain 3276.7 dB, outside -40.0 to 6.0 dB)"), std::string::npos) << log[0];
  m_system.SetUiServices(nullptr);
}

// Images within their ranges (a new device's among them, whose preset memories hold a
// compressor release code of 51) load without a word and save back byte for byte.
TEST_F(ProcessorRecords, ValidRecordsLoadUnchangedAndSaveBackTheSameBytes) {
  m_system.SetUiServices(&m_sink);
  FixedTick tick(0x1234);
  for (const ModelCase& m : AllModels()) {
    SCOPED_TRACE(m.model);
    for (bool filled : {false, true}) {
      CNerexSeriesDevice& source = Make(m.model, 5);
      if (filled) Fill(source, unsigned(m.model) + 7);
      CArchive first;
      source.Serialize(first);
      CNerexSeriesDevice& loaded = Make(m.model, 6);
      CArchive in(first.Data());
      loaded.Serialize(in);
      CArchive second;
      loaded.Serialize(second);
      EXPECT_EQ(second.Data(), first.Data());
    }
  }
  EXPECT_TRUE(m_sink.LogLines().empty());
  m_system.SetUiServices(nullptr);
}

// A system file whose processor images hold delays and band frequencies beyond their ranges
// (data/processor/bad-values.ovd): it opens, each input delay shows 650 ms at most (unchecked,
// one showed "1365.33ms") and the band frequencies lie on the curve's scale.
TEST(ProcessorSystemFile, DamagedValuesOpenWithinTheirRanges) {
  RegisterProcessorFamily();
  CRecordingFrame frame;
  CSystem system;
  system.SetUiServices(&frame);
  ASSERT_TRUE(system.File().OpenFile(TestData("bad-values.ovd")));
  int processors = 0;
  for (CDevice* device : system.GetDevices()) {
    auto* d = dynamic_cast<CNerexSeriesDevice*>(device);
    if (!d) continue;
    ++processors;
    const CNerexSeriesMemory& image = d->GetCurrentSettings();
    for (std::uint32_t delay : image.inputs.delays) EXPECT_LE(delay, 7987200u);
    for (std::uint32_t delay : image.outputs.delays) EXPECT_LE(delay, 7987200u);
    for (const NerexEqBand& band : image.outputs.peqBands) EXPECT_LE(band.frequency, 433);
    for (int i = 0; i < 4; ++i) EXPECT_LE(d->GetCurrentValue(kParamInputDelay + i).value, 650.0f);
  }
  EXPECT_GT(processors, 0);
  bool logged = false;
  for (const std::string& line : frame.LogLines()) logged = logged || line.find("outside their ranges") != std::string::npos;
  EXPECT_TRUE(logged);
  system.SetUiServices(nullptr);
}

// --- Snapshots ---

TEST_F(ProcessorRecords, SnapshotLengthsFollowTheModelsBlocks) {
  for (auto [model, length] : {std::pair{114, 607u}, std::pair{121, 1332u}, std::pair{16, 981u}})
    EXPECT_EQ(std::unique_ptr<CSnapshotData>(Make(model).CreateSnapshotData())->GetLength(), length) << model;
  for (const ModelCase& m : AllModels()) {
    std::unique_ptr<CSnapshotData> data(Make(m.model).CreateSnapshotData());
    EXPECT_EQ(data->GetLength(), GetNerexSnapshotLength(m.model, 2)) << m.model;
    EXPECT_EQ(data->m_data[0], 2);
    EXPECT_TRUE(data->m_flag);
  }
}

TEST_F(ProcessorRecords, SnapshotSlotsHoldTheBlocksWithTwoZeroBytesAtTheirEnds) {
  CNerexSeriesDevice& d = Make(121);
  WritableSettings(d).CopyFrom(MakeRandomImage(9));
  std::unique_ptr<CSnapshotData> data(d.CreateSnapshotData());
  const auto& b = data->m_data;
  std::vector<std::uint8_t> inputs;
  EncodeInputBlock(d.GetCurrentSettings().inputs, 4, 121, inputs);
  ASSERT_EQ(inputs.size(), 249u);
  EXPECT_TRUE(std::equal(inputs.begin(), inputs.end(), b.begin() + 1));
  EXPECT_EQ(b[1 + 249], 0);
  EXPECT_EQ(b[1 + 250], 0);
  std::vector<std::uint8_t> deq;
  EncodeDeqBlock(d.GetCurrentSettings(), 4, deq);
  EXPECT_TRUE(std::equal(deq.begin(), deq.end(), b.begin() + 1 + 251 + 759 + 234));
  EXPECT_EQ(b.back(), 0);
}

// Settings within their ranges come back from a snapshot byte for byte, without a word.
TEST_F(ProcessorRecords, CaptureAndRecallRestoresTheLiveSettings) {
  m_system.SetUiServices(&m_sink);
  for (const ModelCase& m : AllModels()) {
    SCOPED_TRACE(m.model);
    CNerexSeriesDevice& d = Make(m.model);
    WritableSettings(d).CopyFrom(MakeRandomStoredImage(unsigned(m.model), m.model));
    std::unique_ptr<CSnapshotData> data(d.CreateSnapshotData());
    const CNerexSeriesMemory captured = d.GetCurrentSettings();
    WritableSettings(d).CopyFrom(MakeRandomStoredImage(unsigned(m.model) + 1, m.model));
    RecallImage(d, *data);
    std::unique_ptr<CSnapshotData> again(d.CreateSnapshotData());
    EXPECT_EQ(again->m_data, data->m_data);
    EXPECT_EQ(d.GetCurrentSettings().inputs.gains[1], captured.inputs.gains[1]);
  }
  EXPECT_TRUE(m_sink.LogLines().empty());
  m_system.SetUiServices(nullptr);
}

// A snapshot's values go to the unit as the live settings hold them, so a recall holds them to
// the model's ranges as a system file's are: each value outside is moved to the nearer end,
// the log says so, the blocks sent carry the limited values, and a preset file saved from the
// settings loads again. The image holds +12 dB of input gain on a Nerex48 (+6 dB at most), a
// band Q and frequency code, a limiter level and a delay beyond their ranges.
TEST_F(ProcessorRecords, ARecalledSnapshotIsHeldToTheModelsRangesAndLogged) {
  m_system.SetUiServices(&m_sink);
  OpenPort();
  CNerexSeriesDevice& source = Make(120, 5);
  CNerexSeriesMemory hot = MakeRandomStoredImage(3, 120);
  hot.inputs.gains[0] = 120;
  hot.outputs.PeqBand(0, 1).q = 200;
  hot.outputs.PeqBand(0, 1).frequency = 600;
  hot.outputs.limiters[1].level = 40;
  hot.outputs.delays[2] = 16773120;  // 1365 ms
  WritableSettings(source).CopyFrom(hot);
  std::unique_ptr<CSnapshotData> data(source.CreateSnapshotData());

  CNerexSeriesDevice& d = Make(120, 6);
  NameDevice(d, "Stage");
  Connect(d);
  RecallImage(d, *data);
  const CNerexSeriesMemory& image = d.GetCurrentSettings();
  EXPECT_EQ(image.inputs.gains[0], 60);
  EXPECT_EQ(image.outputs.PeqBand(0, 1).q, 108);
  EXPECT_EQ(image.outputs.PeqBand(0, 1).frequency, 433);
  EXPECT_EQ(image.outputs.limiters[1].level, 32);
  EXPECT_EQ(image.outputs.delays[2], 7987200u);
  EXPECT_EQ(image.inputs.gains[1], hot.inputs.gains[1]);  // the values within their ranges as they were
  EXPECT_EQ(image.outputs.PeqBand(3, 4), hot.outputs.PeqBand(3, 4));
  EXPECT_FLOAT_EQ(d.GetCurrentValue(kParamInputGain).value, 6.0f);
  // The lines about the recall (the connection has its own).
  auto recallLines = [&] {
    std::vector<std::string> lines;
    for (const std::string& line : m_sink.LogLines())
      if (line.find("snapshot") != std::string::npos) lines.push_back(line);
    return lines;
  };
  const std::vector<std::string> log = recallLines();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find("Stage - ID: 6: 5 values of the recalled snapshot lay outside their ranges and were moved "
                        "to the nearer end (first: input 1 gain 12.0 dB, outside -40.0 to 6.0 dB)"),
            std::string::npos)
      << log[0];

  // The blocks queued are those of the limited settings: a snapshot of them, recalled, queues
  // the same frames and logs nothing more.
  const std::vector<std::uint32_t> blocks{26, 31, 42};
  ASSERT_EQ(QueuedCommands(d), blocks);
  std::vector<Bytes> sent;
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    const CControlMessage m = QueuedMessage(d, i);
    sent.emplace_back(m.frame, m.frame + m.frameLength);
  }
  std::unique_ptr<CSnapshotData> limited(d.CreateSnapshotData());
  d.Queue().ClearQueue();
  RecallImage(d, *limited);
  ASSERT_EQ(QueuedCommands(d), blocks);
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    const CControlMessage m = QueuedMessage(d, i);
    EXPECT_EQ(Bytes(m.frame, m.frame + m.frameLength), sent[i]) << blocks[i];
  }
  EXPECT_EQ(recallLines().size(), 1u);

  QTemporaryDir dir;
  const std::string path = dir.filePath("recalled.fnp").toStdString();
  std::string error;
  ASSERT_TRUE(SaveNerexPresetFile(path, d.GetCurrentSettings(), &error)) << error;
  CNerexSeriesMemory reloaded;
  EXPECT_TRUE(LoadNerexPresetFile(path, 120, reloaded, &error)) << error;
  EXPECT_EQ(reloaded.inputs.gains[0], 60);
  m_system.SetUiServices(nullptr);
}

TEST_F(ProcessorRecords, RecallQueuesForcedBlocksOnlyWhileConnected) {
  OpenPort();
  CNerexSeriesDevice& d = Make(121);
  std::unique_ptr<CSnapshotData> data(d.CreateSnapshotData());
  RecallImage(d, *data);
  EXPECT_TRUE(QueuedCommands(d).empty());
  Connect(d);
  RecallImage(d, *data);
  EXPECT_EQ(QueuedCommands(d), (std::vector<std::uint32_t>{26, 31, 42, 43}));
  CNerexSeriesDevice& calder = Make(110);
  Connect(calder);
  std::unique_ptr<CSnapshotData> c(calder.CreateSnapshotData());
  RecallImage(calder, *c);
  EXPECT_EQ(QueuedCommands(calder), (std::vector<std::uint32_t>{26, 31}));
}

TEST_F(ProcessorRecords, FormatOneOnATorvexKeepsDynamicsAndMixer) {
  CNerexSeriesDevice& d = Make(121);
  const CNerexSeriesMemory before = [&] {
    WritableSettings(d).CopyFrom(MakeRandomStoredImage(4, 121));
    return d.GetCurrentSettings();
  }();
  std::vector<std::uint8_t> bytes(GetNerexSnapshotLength(121, 1), 0);
  bytes[0] = 1;
  std::vector<std::uint8_t> block;
  CNerexSeriesMemory other = MakeRandomStoredImage(5, 121);
  EncodeInputBlock(other.inputs, 4, 121, block);
  std::copy(block.begin(), block.end(), bytes.begin() + 1);
  RecallImage(d, CSnapshotData(d.GetUuid(), bytes));
  EXPECT_EQ(d.GetCurrentSettings().inputs.gains, other.inputs.gains);
  EXPECT_EQ(d.GetCurrentSettings().deqBands, before.deqBands);
  EXPECT_EQ(d.GetCurrentSettings().outputs.matrixLevels, before.outputs.matrixLevels);
  EXPECT_EQ(d.GetCurrentSettings().outputs.compressors, before.outputs.compressors);
}

TEST_F(ProcessorRecords, ImageOfTheWrongLengthIsRefusedAndUnknownFormatResends) {
  OpenPort();
  CNerexSeriesDevice& nerex = Make(120);
  CNerexSeriesDevice& small = Make(114);
  Connect(small);
  WritableSettings(small).CopyFrom(MakeRandomImage(6));
  const CNerexSeriesMemory before = small.GetCurrentSettings();
  std::unique_ptr<CSnapshotData> big(nerex.CreateSnapshotData());
  RecallImage(small, *big);  // a Nerex48 image on a Nerex24
  EXPECT_EQ(small.GetCurrentSettings(), before);
  EXPECT_TRUE(QueuedCommands(small).empty());

  std::unique_ptr<CSnapshotData> own(small.CreateSnapshotData());
  own->m_data[0] = 7;
  own->m_data[5] ^= 0xFF;
  RecallImage(small, *own);
  EXPECT_EQ(small.GetCurrentSettings(), before);
  EXPECT_EQ(QueuedCommands(small), (std::vector<std::uint32_t>{26, 31, 42}));
}

TEST_F(ProcessorRecords, ASystemFileWithALaterProcessorRecordIsNamedSoAndAZeroOneAsDamage) {
  RegisterProcessorFamily();
  CNerexSeriesDevice& device = Make(AllModels().front().model, 5);
  NameDevice(device, "Qz");
  CArchive out;
  ASSERT_TRUE(m_system.File().Serialize(out));
  const std::vector<std::uint8_t> file = out.TakeData();
  // The processor's own record: its version word 6, then its name.
  const std::vector<std::uint8_t> record = {6, 0, 0, 0, 0xFF, 0xFE, 0xFF, 2, 'Q', 0, 'z', 0};
  const auto at = std::search(file.begin(), file.end(), record.begin(), record.end());
  ASSERT_NE(at, file.end());
  struct Case {
    std::uint8_t version;
    const char* text;
  };
  for (const Case& c : {Case{7, kFileTooNewText}, Case{0, kFileDamagedText}}) {
    std::vector<std::uint8_t> changed = file;
    changed[std::size_t(at - file.begin())] = c.version;
    CSystem reader;
    CRecordingUi ui;
    reader.SetUiServices(&ui);
    CArchive in(changed);
    EXPECT_FALSE(reader.File().Serialize(in));
    const CRecordingUi::Texts errors = ui.FileErrors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].first.rfind(c.text, 0), 0u) << errors[0].first;
    EXPECT_EQ(errors[0].second, "File Error");
    EXPECT_EQ(reader.GetDeviceCount(), 0);
  }
}
