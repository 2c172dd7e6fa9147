// The processor's parameter catalogue: one lookup by id in every parameter range, the presence
// rules by model and channel count, the lock and filter-type rules of the disabled flag, the
// values read from the settings image, and the lists built on the descriptors.
#include "tests/devices/processor/ProcessorTestSupport.h"

#include <cmath>
#include <functional>
#include <set>

#include "core/values/ValueCodes.h"
#include "devices/processor/NerexParamIds.h"
#include "tests/support/ModelChanges.h"

namespace {

class NerexCatalogueTest : public ProcessorDeviceTest {};

bool IsNull(const CParamInfo& info) { return info.name == "NULL" && info.id == 0 && info.kind == ParamKind::kUnset; }

struct Row {
  int id;
  const char* name;
  int kind;
  float maximum, minimum;
  std::uint32_t textLimit, options;
};

}  // namespace

TEST_F(NerexCatalogueTest, OneIdOfEveryRangeOnTheTorvexHasItsNameKindRangeAndWords) {
  CNerexSeriesDevice& d = Make(121);
  // Automatic limiter and compressor times would disable their rows.
  WritableSettings(d).outputs.autoLimiters = 0;
  WritableSettings(d).outputs.compressorLimiters = 0;
  const Row rows[] = {
      {14, "Input Channel B Gain", 1, 6, -40, 0, 0},
      {24, "Output Channel 8 Gain", 1, 15, -40, 0, 0},
      {26, "Input Channel B Mute", 5, 0, 0, 0, 0},
      {30, "Output Channel 2 Mute", 5, 0, 0, 0, 0},
      {44, "Output Channel 8 Phase", 5, 0, 0, 0, 0},
      {58, "Device Name", 6, 0, 0, 40, 0},
      {131, "Input Channel D Name", 6, 0, 0, 8, 0},
      {132, "Output Channel 1 Name", 6, 0, 0, 8, 0},
      {250, "Input Channel B Delay", 4, 649.99835f, 0, 0, 0},
      {260, "Output Channel 8 Delay", 4, 649.99835f, 0, 0, 0},
      {263, "Matrix Gain : Output Channel 1 : Input Channel A", 1, 15, -40.1f, 0, 2},
      {294, "Matrix Gain : Output Channel 8 : Input Channel D", 1, 15, -40.1f, 0, 2},
      {300, "Output Channel 2 Limiter Level", 1, 22, -10, 0, 0},
      {307, "Output Channel 1 Limiter Clip Level", 1, 12, 2, 0, 0},
      {316, "Output Channel 2 Limiter Attack", 7, 0, 0, 0, 4},
      {330, "Output Channel 8 Limiter Release", 7, 0, 0, 0, 4},
      {331, "Output Channel 1 Limiter Clip Release", 7, 0, 0, 0, 4},
      {357, "Output Link : Channel 1+3", 5, 0, 0, 0, 4},
      {418, "Output Link : Channel 8+8", 5, 0, 0, 0, 4},
      {422, "Auto Limiters", 7, 0, 0, 0, 4},
      {508, "Input PEQ : Channel A : Band 1 Frequency", 2, 0, 0, 0, 0},
      {547, "Input PEQ : Channel A : Band 8 Q", 3, 0, 0, 0, 0},
      {603, "Input PEQ : Channel D : Band 8 Gain", 1, 15, -40, 0, 0},
      {604, "Input PEQ : Channel A : Band 1 Type", 7, 0, 0, 0, 0},
      {667, "Input PEQ : Channel D : Band 8 Bypass", 5, 0, 0, 0, 0},
      {709, "Output PEQ : Channel 2 : Band 1 Frequency", 2, 0, 0, 0, 0},
      {843, "Output PEQ : Channel 8 : Band 9 Q", 3, 0, 0, 0, 0},
      {844, "Output PEQ : Channel 1 : Band 1 Gain", 1, 15, -40, 0, 0},
      {925, "Output PEQ : Channel 2 : Band 1 Type", 7, 0, 0, 0, 0},
      {1059, "Output PEQ : Channel 8 : Band 9 Bypass", 5, 0, 0, 0, 0},
      {1100, "Output XOver HPF Freq : Channel 1", 2, 0, 0, 0, 4},
      {1115, "Output XOver LPF Freq : Channel 8", 2, 0, 0, 0, 4},
      {1116, "Output XOver HPF Type : Channel 1", 7, 0, 0, 0, 4},
      {1131, "Output XOver LPF Type : Channel 8", 7, 0, 0, 0, 4},
      {1315, "Input Channel 4 GEQ Bypass", 5, 0, 0, 0, 0},
      {1352, "Online Status", 5, 0, 0, 0, 5},
      {1353, "Offline Status", 5, 0, 0, 0, 5},
      {1354, "Warnings Active", 5, 0, 0, 0, 5},
      {1365, "Output Channel 2 Compressor Threshold", 1, 22, -22, 4, 0},
      {1379, "Output Channel 8 Compressor Ratio", 10, 0, 0, 0, 4},
      {1380, "Output Channel 1 Compressor Attack", 11, 0, 0, 0, 4},
      {1395, "Output Channel 8 Compressor Release", 11, 0, 0, 0, 4},
      {1396, "Output Channel 1 Compressor Soft Knee", 1, 0, 0, 0, 4},
      {1404, "Output Channel 1 Compressor Bypass", 5, 0, 0, 0, 0},
      {1411, "Output Channel 8 Compressor Bypass", 5, 0, 0, 0, 0},
      {1444, "Compressor Limiters", 7, 0, 0, 0, 4},
      {1446, "Input Channel 1 DEQ Band 1 Threshold", 1, 0, 0, 0, 4},
      {1469, "Input Channel 4 DEQ Band 3 Ratio", 10, 0, 0, 0, 4},
      {1473, "Input Channel 2 DEQ Band 1 Attack", 11, 0, 0, 0, 4},
      {1493, "Input Channel 4 DEQ Band 3 Release", 11, 0, 0, 0, 4},
      {1518, "Input Channel 1 DEQ Band 1 Bypass", 5, 0, 0, 0, 4},
      {1541, "Input Channel 4 DEQ Band 3 Frequency", 2, 0, 0, 0, 4},
      {1542, "Input Channel 1 DEQ Band 1 Effect", 1, 0, 0, 0, 4},
      {1565, "Input Channel 4 DEQ Band 3 Q", 3, 0, 0, 0, 4},
      {1590, "Dynamic EQ Mode", 7, 0, 0, 0, 4},
      {1591, "Dynamic EQ Linking", 7, 0, 0, 0, 4},
  };
  for (const Row& r : rows) {
    const CParamInfo info = d.GetParameterAt(r.id);
    EXPECT_EQ(info.name, r.name) << r.id;
    EXPECT_EQ(int(info.kind), r.kind) << r.id;
    EXPECT_EQ(info.id, r.id);
    EXPECT_FLOAT_EQ(info.maximum, r.maximum) << r.id;
    EXPECT_FLOAT_EQ(info.minimum, r.minimum) << r.id;
    EXPECT_EQ(info.textLimit, r.textLimit) << r.id;
    EXPECT_EQ(info.options, r.options) << r.id;
    EXPECT_EQ(info.inactive, 0) << r.id;
  }
  // Ids without a descriptor, but with a value.
  for (int id : {339, 354, 439, 470, 1200, 1311, 1316, 1319, 1412, 1494, 1506, 1578, 1589}) {
    EXPECT_TRUE(IsNull(d.GetParameterAt(id))) << id;
    EXPECT_NE(d.GetCurrentValue(id).kind, ParamKind::kNone) << id;
  }
  // Ids of no row at all: the NULL descriptor and the empty value.
  for (int id : {0, 5, 12, 45, 59, 65, 120, 127, 261, 262, 419, 421, 1320, 1323, 1592, 1594, 2000}) {
    EXPECT_TRUE(IsNull(d.GetParameterAt(id))) << id;
    EXPECT_EQ(d.GetCurrentValue(id).kind, ParamKind::kNone) << id;
    EXPECT_EQ(d.GetCurrentValue(id).id, 0) << id;
  }
}

TEST_F(NerexCatalogueTest, SmallModelsLackTheirMissingChannelsButStillAnswerValues) {
  CNerexSeriesDevice& d = Make(114);  // Nerex24: 2 inputs, 4 outputs
  EXPECT_TRUE(IsNull(d.GetParameterAt(15)));
  EXPECT_TRUE(IsNull(d.GetParameterAt(21)));
  EXPECT_TRUE(IsNull(d.GetParameterAt(263)));
  EXPECT_TRUE(IsNull(d.GetParameterAt(1376)));
  EXPECT_EQ(d.GetParameterAt(249).name, "Input Channel A Delay");
  EXPECT_EQ(d.GetParameterAt(357).name, "Output Link : Channel 1+3");
  EXPECT_EQ(d.GetParameterAt(418).name, "Output Link : Channel 8+8");
  WritableSettings(d).inputs.gains[2] = -75;
  const CParamValue v = d.GetCurrentValue(15);
  EXPECT_EQ(v.id, 15);
  EXPECT_EQ(v.kind, ParamKind::kLevel);
  EXPECT_FLOAT_EQ(v.value, -7.5f);
}

TEST_F(NerexCatalogueTest, FennickRangesDelaysAndMatrixGains) {
  CNerexSeriesDevice& f = Make(16);
  EXPECT_FLOAT_EQ(f.GetParameterAt(13).maximum, 15.0f);
  EXPECT_FLOAT_EQ(f.GetParameterAt(13).minimum, -40.0f);
  EXPECT_TRUE(IsNull(f.GetParameterAt(249)));
  EXPECT_EQ(f.GetParameterAt(263).name, "Matrix Gain : Output Channel 1 : Input Channel A");
  EXPECT_EQ(f.GetParameterAt(263).options, 2u);
  EXPECT_EQ(f.GetParameterAt(294).name, "Matrix Gain : Output Channel 8 : Input Channel D");
  WritableSettings(f).inputs.matrixGains[7][3] = -401;
  EXPECT_FLOAT_EQ(f.GetCurrentValue(294).value, -40.1f);
  CNerexSeriesDevice& n = Make(120);
  EXPECT_FLOAT_EQ(n.GetParameterAt(13).maximum, 6.0f);
  EXPECT_TRUE(IsNull(n.GetParameterAt(263)));
  CNerexSeriesDevice& t = Make(121);
  WritableSettings(t).outputs.matrixLevels[0][1] = 551;
  EXPECT_FLOAT_EQ(t.GetCurrentValue(264).value, -40.1f);
}

TEST_F(NerexCatalogueTest, OutputGainFollowsTheTwoGainLocks) {
  CNerexSeriesDevice& d = Make(120);
  NerexOutputSection& out = WritableSettings(d).outputs;
  out.gains[2] = -60;
  out.trims[2] = 35;
  EXPECT_FLOAT_EQ(d.GetCurrentValue(19).value, -6.0f);
  out.channelGroups[kGroupGainLockA] |= 1u << 2;
  CParamInfo info = d.GetParameterAt(19);
  EXPECT_FLOAT_EQ(info.maximum, 12.0f);
  EXPECT_FLOAT_EQ(info.minimum, -12.0f);
  EXPECT_EQ(info.inactive, 0);
  EXPECT_FLOAT_EQ(d.GetCurrentValue(19).value, 3.5f);
  out.channelGroups[kGroupGainLockB] |= 1u << 2;
  info = d.GetParameterAt(19);
  EXPECT_FLOAT_EQ(info.maximum, 15.0f);
  EXPECT_FLOAT_EQ(info.minimum, -40.0f);
  EXPECT_EQ(info.inactive, 1);
  EXPECT_FLOAT_EQ(d.GetCurrentValue(19).value, 0.0f);
}

TEST_F(NerexCatalogueTest, LocksAndFilterTypesDisableTheirParameters) {
  CNerexSeriesDevice& d = Make(121);
  CNerexSeriesMemory& image = WritableSettings(d);
  // A 48 dB high-pass takes output bands 6 and 7 (counted from 1); a 48 dB low-pass 8 and 9.
  // Their type code is kept in the Q byte of the crossover record.
  image.outputs.highPass[1].q = 10;
  EXPECT_EQ(d.GetParameterAt(714).inactive, 1);
  EXPECT_EQ(d.GetParameterAt(715).inactive, 1);
  EXPECT_EQ(d.GetParameterAt(713).inactive, 0);
  EXPECT_EQ(d.GetCurrentValue(1117).integer, 10);
  image.outputs.highPass[1].q = 3;
  image.outputs.lowPass[1].q = 11;
  EXPECT_EQ(d.GetParameterAt(714).inactive, 0);
  EXPECT_EQ(d.GetParameterAt(716).inactive, 1);
  EXPECT_EQ(d.GetParameterAt(717).inactive, 1);
  // A band lock disables all five fields of that band.
  image.outputs.channelGroups[kGroupPeqBandLock + 4] = 1u << 0;
  for (int first : {700, 772, 844, 916, 988}) EXPECT_EQ(d.GetParameterAt(first + 4).inactive, 1) << first;
  // Input band types: Phase has a phase-angle Q of 2 x the code, Elliptic disables Q, Band Pass
  // disables gain.
  NerexEqBand& band = image.inputs.PeqBand(0, 0);
  band.type = 8;
  band.q = 45;
  EXPECT_EQ(d.GetParameterAt(540).kind, ParamKind::kPhase);
  EXPECT_FLOAT_EQ(d.GetCurrentValue(540).value, 90.0f);
  band.type = 11;
  EXPECT_EQ(d.GetParameterAt(540).inactive, 1);
  band.type = 6;
  EXPECT_EQ(d.GetParameterAt(572).inactive, 1);
  band.type = 0x82;  // bypassed high shelf
  EXPECT_EQ(d.GetParameterAt(572).inactive, 0);
  EXPECT_TRUE(d.GetCurrentValue(636).flag);
  EXPECT_EQ(d.GetCurrentValue(604).integer, 2);
  // Limiter lock and automatic limiters.
  image.outputs.autoLimiters = 0;
  EXPECT_EQ(d.GetParameterAt(315).inactive, 0);
  EXPECT_EQ(d.GetParameterAt(422).inactive, 0);
  image.outputs.channelGroups[kGroupLimiterLock] = 1u << 3;
  EXPECT_EQ(d.GetParameterAt(318).inactive, 1);
  EXPECT_EQ(d.GetParameterAt(302).inactive, 1);
  EXPECT_EQ(d.GetParameterAt(422).inactive, 1);
  image.outputs.autoLimiters = 1;
  EXPECT_EQ(d.GetParameterAt(315).inactive, 1);
  // Output links are locked by any lock of either output.
  EXPECT_EQ(d.GetParameterAt(355 + 8 * 3 + 1).inactive, 1);
  // Torvex48 in mixing mode: the input delays are disabled.
  image.outputs.mixerFlag = 1;
  EXPECT_EQ(d.GetParameterAt(249).inactive, 1);
  // Dynamic-EQ band of kind Full Bandwidth: no frequency, no Q.
  image.deqBands[4].filterKind = 1;
  EXPECT_EQ(GetDeqBandTypeCode(image.deqBands[4]), 13);
  EXPECT_EQ(d.GetParameterAt(1534).inactive, 1);
  EXPECT_EQ(d.GetParameterAt(1558).inactive, 1);
  image.deqBands[4].filterKind = 2;
  EXPECT_EQ(GetDeqBandTypeCode(image.deqBands[4]), 2);
  EXPECT_EQ(d.GetParameterAt(1534).inactive, 0);
  // Compressor limiters disable the compressor times.
  image.outputs.compressorLimiters = 1;
  EXPECT_EQ(d.GetParameterAt(1380).inactive, 1);
  EXPECT_EQ(d.GetParameterAt(1388).inactive, 1);
}

TEST_F(NerexCatalogueTest, ValuesConvertTheStoredCodes) {
  CNerexSeriesDevice& d = Make(121);
  CNerexSeriesMemory& image = WritableSettings(d);
  image.inputs.PeqBand(1, 2).frequency = 252;
  EXPECT_NEAR(d.GetCurrentValue(508 + 10).value, 1000.0f, 0.01f);
  image.outputs.PeqBand(0, 0).type = 1;  // a low shelf's Q codes reach 108
  image.outputs.PeqBand(0, 0).q = 108;
  EXPECT_FLOAT_EQ(d.GetCurrentValue(772).value, 0.25f);
  image.outputs.delays[1] = 12288;
  EXPECT_NEAR(d.GetCurrentValue(254).value, 12288 * 8.138e-5f, 1e-3f);
  image.outputs.limiters[0].level = 7;
  EXPECT_FLOAT_EQ(d.GetCurrentValue(299).value, 15.0f);
  image.outputs.compressors[0] = NerexCompressor{12, 15, 0, 8, 3, 1};
  EXPECT_FLOAT_EQ(d.GetCurrentValue(1364).value, 10.0f);
  EXPECT_FLOAT_EQ(d.GetCurrentValue(1372).value, 4.0f);
  EXPECT_FLOAT_EQ(d.GetCurrentValue(1380).value, 1.0f);
  EXPECT_FLOAT_EQ(d.GetCurrentValue(1388).value, std::pow(2.0f, 22.0f / 4.0f));
  EXPECT_FLOAT_EQ(d.GetCurrentValue(1396).value, 3.0f);
  EXPECT_TRUE(d.GetCurrentValue(1404).flag);
  NerexDeqBand& deq = image.DeqBand(1, 0);
  deq.threshold = 20;
  deq.ratio = 16;
  deq.mode = 0;
  deq.effect = 4;
  EXPECT_FLOAT_EQ(d.GetCurrentValue(1449).value, 12.0f);
  EXPECT_FLOAT_EQ(d.GetCurrentValue(1461).value, 4.0f);
  deq.mode = 2;
  EXPECT_FLOAT_EQ(d.GetCurrentValue(1461).value, 2.0f);
  EXPECT_FLOAT_EQ(d.GetCurrentValue(1545).value, 10.0f);
  EXPECT_EQ(d.GetCurrentValue(1497).integer, 2);
  image.inputs.linkMasks[0] = 0x3;
  EXPECT_TRUE(d.GetCurrentValue(340).flag);
  EXPECT_EQ(d.GetCurrentValue(340).kind, ParamKind::kBool);
  image.outputs.routingMasks[2] = 0x4;
  EXPECT_TRUE(d.GetCurrentValue(439 + 8 + 2).flag);
  image.geq.bands[1][3] = -45;
  EXPECT_FLOAT_EQ(d.GetCurrentValue(1200 + 28 + 3).value, -4.5f);
  image.outputs.names[4] = MakeChannelName("  Sub ");
  EXPECT_EQ(d.GetCurrentValue(136).text, "Sub");
  NameDevice(d, "Main Rack");
  EXPECT_EQ(d.GetCurrentValue(58).text, "Main Rack");
  EXPECT_FALSE(d.GetCurrentValue(1352).flag);
  EXPECT_TRUE(d.GetCurrentValue(1353).flag);
}

// A unit (or a file) may hold a code the change path never writes: it is shown at the end of
// the range the change path writes, not converted as it stands (a compressor release code of
// 51 read as 311744 ms).
TEST_F(NerexCatalogueTest, CodesOutsideTheirRangesAreShownAtTheEndOfTheWrittenRange) {
  CNerexSeriesDevice& d = Make(121);
  CNerexSeriesMemory& image = WritableSettings(d);
  image.outputs.compressorLimiters = 0;
  struct Case {
    std::function<void()> store;
    int id;
    float shown;
  };
  const Case cases[] = {
      {[&] { image.outputs.compressors[0].release = 51; }, 1388, IndexToQuarterStep(25 + 37)},
      {[&] { image.outputs.compressors[0].threshold = 100; }, 1364, -22.0f},
      {[&] { image.outputs.limiters[1].level = 40; }, 300, -10.0f},
      {[&] { image.outputs.limiters[1].clipLevel = 0; }, 308, 2.0f},
      {[&] { image.inputs.gains[0] = 32767; }, 13, 6.0f},  // the Torvex48's input range
      {[&] { image.outputs.gains[2] = -32768; }, 19, -40.0f},
      {[&] { image.inputs.delays[1] = 0xFFFFFF; }, 250, SamplesToSeconds(7987200)},
      {[&] { image.outputs.PeqBand(0, 2).frequency = 65535; }, 702, IndexToFreq(432)},
      {[&] { image.outputs.PeqBand(0, 2).gain = 30000; }, 846, 15.0f},
      {[&] { image.outputs.highPass[3].frequency = 500; }, 1103, IndexToFreq(396)},
      {[&] { image.DeqBand(2, 1).effect = 15; }, 1542 + 7, 18.0f},
      {[&] { image.DeqBand(2, 1).release = 63; }, 1482 + 7, IndexToQuarterStep(33 + 29)},
  };
  for (const Case& c : cases) {
    c.store();
    EXPECT_FLOAT_EQ(d.GetCurrentValue(c.id).value, c.shown) << c.id;
  }
  // The image keeps what it was given.
  EXPECT_EQ(image.outputs.compressors[0].release, 51);
}

TEST_F(NerexCatalogueTest, LimiterAndCompressorValuesComeFromTheLinkMaster) {
  CNerexSeriesDevice& d = Make(121);
  NerexOutputSection& out = WritableSettings(d).outputs;
  out.linkMasks[1] = 0x6;
  out.linkMasks[2] = 0x6;
  out.limiters[1].attack = 9;
  out.limiters[2].attack = 4;
  out.compressors[1].threshold = 2;
  out.compressors[2].threshold = 10;
  out.compressors[2].softKnee = 5;
  EXPECT_EQ(d.GetCurrentValue(317).integer, 9);
  EXPECT_FLOAT_EQ(d.GetCurrentValue(1366).value, 20.0f);
  EXPECT_FLOAT_EQ(d.GetCurrentValue(1398).value, 5.0f);  // the knee is the output's own
}

TEST_F(NerexCatalogueTest, ListParametersForAFennickKnobInTheirOrder) {
  CNerexSeriesDevice& d = Make(16);
  std::vector<CParamInfo> list;
  d.ListParameters(4, list);
  ASSERT_EQ(list.size(), 4u + 8 + 8 + 8 + 8 + 32 + 72 + 32);
  EXPECT_EQ(list[0].id, 13);
  EXPECT_EQ(list[4].id, 17);
  EXPECT_EQ(list[12].id, 299);
  EXPECT_EQ(list[20].id, 307);
  EXPECT_EQ(list[28].id, 253);
  EXPECT_EQ(list[36].id, 572);
  EXPECT_EQ(list[68].id, 844);
  EXPECT_EQ(list[140].id, 263);
  EXPECT_EQ(list.back().id, 294);
  for (const CParamInfo& info : list) EXPECT_FALSE(IsNull(info));

  std::vector<CParamInfo> leds;
  d.ListParameters(2, leds);
  ASSERT_GE(leds.size(), 3u);
  EXPECT_EQ(leds[0].id, 1352);
  EXPECT_EQ(leds[2].id, 1354);
  std::vector<CParamInfo> buttons;
  d.ListParameters(8, buttons);
  EXPECT_EQ(leds.size(), buttons.size() + 3);
  EXPECT_EQ(buttons.size(), 4u + 8 + 8 + 32 + 72);
  std::vector<CParamInfo> text;
  d.ListParameters(5, text);
  EXPECT_EQ(text.front().id, 58);
  EXPECT_EQ(text.size(), 1u + 4 + 8 + 4 + 8 + 8 + 8 + 8 + 3 * 32 + 3 * 72 + 32);
  std::vector<CParamInfo> none;
  d.ListParameters(1, none);
  EXPECT_TRUE(none.empty());
  // A two-input model lists its input delays and no matrix gains.
  std::vector<CParamInfo> small;
  Make(114).ListParameters(3, small);
  EXPECT_EQ(small.size(), 2u + 4 + 4 + 4 + 2 + 4 + 16 + 36);
}

TEST_F(NerexCatalogueTest, ListMatchingParametersByKindAndAll) {
  CNerexSeriesDevice& d = Make(121);
  // Links and custom panels reach it through the base class.
  CDevice& device = d;
  std::vector<CParamInfo> all;
  CParamInfo null;
  null.name = "NULL";
  device.ListMatchingParameters(null, all);
  ASSERT_FALSE(all.empty());
  for (std::size_t i = 1; i < all.size(); ++i) EXPECT_LT(all[i - 1].id, all[i].id);
  for (const CParamInfo& info : all) EXPECT_FALSE(IsNull(info));
  std::vector<CParamInfo> levels;
  device.ListMatchingParameters(d.GetParameterAt(13), levels);
  std::set<int> ids;
  for (const CParamInfo& info : levels) {
    EXPECT_EQ(info.kind, ParamKind::kLevel);
    ids.insert(info.id);
  }
  for (int id : {13, 17, 263, 299, 307, 572, 844, 1364, 1396, 1446, 1542}) EXPECT_TRUE(ids.count(id)) << id;
  // FindParameter matches by id and every field.
  EXPECT_EQ(d.FindParameter(d.GetParameterAt(1365)).id, 1365);
  CParamInfo changed = d.GetParameterAt(1365);
  changed.maximum = 3;
  EXPECT_TRUE(IsNull(d.FindParameter(changed)));
}
