// Model table, EQ ranges, automatic dynamics times, link masters, locks, read-back
// completeness and merge masks.
#include <gtest/gtest.h>

#include <array>

#include "devices/processor/NerexChannelRules.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexParamIds.h"

TEST(ModelTable, NamesAndChannelCountsOfEveryModel) {
  struct Row {
    int model;
    const char* name;
    int inputs;
    int outputs;
  };
  const Row rows[] = {{16, "Fennick", 4, 8},   {17, "Zel-Fennick", 4, 8}, {110, "Calder26", 2, 6},
                      {112, "Calder48", 4, 8}, {113, "Nerex-Series", 0, 0}, {114, "Nerex24", 2, 4},
                      {115, "Nerex26", 2, 6},  {116, "Nerex44", 4, 4},     {118, "Nerex46", 4, 6},
                      {120, "Nerex48", 4, 8},  {121, "Torvex48", 4, 8}};
  for (const Row& r : rows) {
    EXPECT_EQ(GetModelName(r.model, 0), r.name) << r.model;
    EXPECT_EQ(GetInputCount(r.model), r.inputs) << r.model;
    EXPECT_EQ(GetOutputCount(r.model), r.outputs) << r.model;
  }
}

TEST(ModelTable, HardwareCodeMakesACalder48AHollin2) {
  EXPECT_EQ(GetModelName(112, 0x1C4A21), "Hollin2");
  EXPECT_EQ(GetModelName(112, 0x1C201C), "Calder48");
  EXPECT_EQ(GetModelName(114, 0x1C4A21), "Nerex24");
  EXPECT_EQ(GetInputCount(112), 4);
}

TEST(ModelTable, UnknownTypeCodesHaveNoNameAndNoChannels) {
  for (int model : {0, 15, 18, 109, 111, 117, 119, 122, 255}) {
    EXPECT_EQ(GetModelName(model, 0), "") << model;
    EXPECT_EQ(GetInputCount(model), 0) << model;
    EXPECT_EQ(GetOutputCount(model), 0) << model;
  }
}

TEST(ModelTable, GraphicEqBandLabels) {
  EXPECT_EQ(GetGeqBandLabel(0), "31Hz");
  EXPECT_EQ(GetGeqBandLabel(15), "1kHz");
  EXPECT_EQ(GetGeqBandLabel(16), "1.25kHz");
  EXPECT_EQ(GetGeqBandLabel(27), "16kHz");
  EXPECT_EQ(GetGeqBandLabel(28), "");
  EXPECT_EQ(GetGeqBandLabel(-1), "");
}

TEST(ModelTable, RangeLimitsPerFilterTypeAndDefaults) {
  auto range = [](int kind, int type) {
    std::int32_t lo = 99, hi = 99;
    GetRangeLimits(kind, type, lo, hi);
    return std::array<std::int32_t, 2>{lo, hi};
  };
  EXPECT_EQ(range(kRangeGain, 0), (std::array<std::int32_t, 2>{-300, 150}));
  EXPECT_EQ(range(kRangeGain, 2), (std::array<std::int32_t, 2>{-150, 150}));
  EXPECT_EQ(range(kRangeGain, 3), (std::array<std::int32_t, 2>{0, 0}));
  EXPECT_EQ(range(kRangeGain, 12), (std::array<std::int32_t, 2>{0, 0}));
  EXPECT_EQ(range(kRangeQ, 11), (std::array<std::int32_t, 2>{72, 72}));
  EXPECT_EQ(range(kRangeQ, 8), (std::array<std::int32_t, 2>{0, 89}));
  EXPECT_EQ(range(kRangeQ, 7), (std::array<std::int32_t, 2>{0, 108}));
  EXPECT_EQ(range(kRangeFrequency, 1), (std::array<std::int32_t, 2>{48, 396}));
  // One step above 32 kHz on types 4, 9 and 11.
  EXPECT_EQ(range(kRangeFrequency, 4), (std::array<std::int32_t, 2>{78, 433}));
  EXPECT_EQ(range(kRangeFrequency, 9), (std::array<std::int32_t, 2>{78, 433}));
  EXPECT_EQ(range(kRangeFrequency, 10), (std::array<std::int32_t, 2>{12, 432}));
  // Types outside 1..12 (the full-bandwidth dynamic-EQ code 13 among them) take the defaults.
  EXPECT_EQ(range(kRangeFrequency, 13), (std::array<std::int32_t, 2>{48, 432}));
  EXPECT_EQ(range(kRangeQ, -1), (std::array<std::int32_t, 2>{0, 100}));
  EXPECT_EQ(range(7, 1), (std::array<std::int32_t, 2>{0, 0}));
}

TEST(ModelTable, DynamicsTimesFollowTheHighPassOctave) {
  // Band edges 72, 108, ..., 288 and a point inside the 252..287 band.
  const std::array<std::uint16_t, 10> f{0, 71, 72, 107, 108, 251, 252, 260, 287, 288};
  const std::array<int, 10> limiter{17, 17, 14, 14, 12, 6, 4, 4, 4, 2};
  const std::array<int, 10> compAttack{39, 39, 35, 35, 31, 19, 15, 15, 15, 15};
  const std::array<int, 10> compRelease{18, 18, 14, 14, 10, 0, 0, 0, 0, 0};
  for (std::size_t i = 0; i < f.size(); ++i) {
    EXPECT_EQ(GetAutoLimiterAttack(f[i]), limiter[i]) << f[i];
    EXPECT_EQ(GetAutoCompressorAttack(f[i]), compAttack[i]) << f[i];
    EXPECT_EQ(GetAutoCompressorRelease(f[i]), compRelease[i]) << f[i];
  }
  EXPECT_EQ(GetAutoLimiterAttack(0xFFFF), 2);
}

TEST(ModelTable, AutoLimitersOnSetTimesOfAllEightOutputs) {
  NerexOutputSection out;
  out.autoLimiters = 0;
  for (int o = 0; o < 8; ++o) {
    out.highPass[o].frequency = std::uint16_t(72 + 36 * o);
    out.limiters[o] = NerexLimiter{7, 99, 99, 5, 99};
  }
  const std::vector<std::int32_t> announced = ApplyAutoLimiters(out, true);
  EXPECT_EQ(out.autoLimiters, 1);
  EXPECT_EQ(out.limiters[0], (NerexLimiter{7, 14, 3, 5, 1}));  // high-pass exactly 72
  EXPECT_EQ(out.limiters[7].attack, 2);
  ASSERT_EQ(announced.size(), 25u);
  EXPECT_EQ(announced[0], kParamLimiterAttack);
  EXPECT_EQ(announced[1], kParamLimiterRelease);
  EXPECT_EQ(announced[2], kParamLimiterClipRelease);
  EXPECT_EQ(announced[3], kParamLimiterAttack + 1);
  EXPECT_EQ(announced[23], kParamLimiterClipRelease + 7);
  EXPECT_EQ(announced[24], kParamAutoLimiters);
}

TEST(ModelTable, AutoLimitersOffChangesNoTimeButStillAnnounces) {
  NerexOutputSection out;
  out.limiters[2] = NerexLimiter{1, 2, 3, 4, 5};
  const NerexOutputSection before = out;
  const std::vector<std::int32_t> announced = ApplyAutoLimiters(out, false);
  EXPECT_EQ(out.autoLimiters, 0);
  EXPECT_EQ(out.limiters, before.limiters);
  EXPECT_EQ(announced.size(), 25u);
}

TEST(ModelTable, CompressorLimitersDeriveAttackAndReleaseOnly) {
  NerexOutputSection out;
  out.highPass[3].frequency = 260;
  out.compressors[3] = NerexCompressor{40, 1, 1, 12, 3, 1};
  const std::vector<std::int32_t> announced = ApplyCompressorLimiters(out, true);
  EXPECT_EQ(out.compressors[3], (NerexCompressor{40, 15, 0, 12, 3, 1}));
  ASSERT_EQ(announced.size(), 17u);
  EXPECT_EQ(announced[6], kParamCompressorAttack + 3);
  EXPECT_EQ(announced[7], kParamCompressorRelease + 3);
  EXPECT_EQ(announced[16], kParamCompressorLimiters);

  out.compressors[3].attack = 77;
  ApplyCompressorLimiters(out, false);
  EXPECT_EQ(out.compressorLimiters, 0);
  EXPECT_EQ(out.compressors[3].attack, 77);
}

TEST(ChannelRules, LinkMasterIsTheLowestMemberOrTheChannelItself) {
  NerexInputSection in;
  in.linkMasks = {0x00, 0x02, 0x0C, 0x0C};
  EXPECT_EQ(GetInputLinkMaster(in, 0, 4), 0);  // mask 0
  EXPECT_EQ(GetInputLinkMaster(in, 1, 4), 1);  // own bit only
  EXPECT_EQ(GetInputLinkMaster(in, 2, 4), 2);
  EXPECT_EQ(GetInputLinkMaster(in, 3, 4), 2);

  NerexOutputSection out;
  out.linkMasks[5] = 0xA0;
  out.linkMasks[7] = 0xA0;
  EXPECT_EQ(GetOutputLinkMaster(out, 7, 8), 5);
  EXPECT_EQ(GetOutputLinkMaster(out, 5, 8), 5);
}

TEST(ChannelRules, LinkMaskBitsBeyondTheModelsChannelsAreIgnored) {
  // A four-output unit: bits 4..7 name no output of it. Such a mask never makes output 2
  // follow output 0 or a channel the unit does not have.
  NerexOutputSection out;
  out.linkMasks[2] = 0x34;
  EXPECT_EQ(GetOutputLinkMaster(out, 2, 4), 2);
  out.linkMasks[3] = 0x0A | 0x80;
  EXPECT_EQ(GetOutputLinkMaster(out, 3, 4), 1);
  // An input mask holding only bits above bit 3.
  NerexInputSection in;
  in.linkMasks[1] = 0xF0;
  EXPECT_EQ(GetInputLinkMaster(in, 1, 4), 1);
  // A two-input unit with input B linked to C and D that it does not have.
  in.linkMasks[1] = 0x0E;
  EXPECT_EQ(GetInputLinkMaster(in, 1, 2), 1);
  // Channels outside the model or the table are their own master.
  EXPECT_EQ(GetInputLinkMaster(in, 3, 2), 3);
  EXPECT_EQ(GetLinkMaster(in.linkMasks, 9, 4), 9);
  EXPECT_EQ(GetOutputLinkMaster(out, 0, 0), 0);
}

TEST(ChannelRules, LockTestsReadTheirOwnByte) {
  NerexOutputSection out;
  out.channelGroups[kGroupHighPassLock] = 0x01;
  out.channelGroups[kGroupLowPassLock] = 0x02;
  out.channelGroups[kGroupDelayLock] = 0x04;
  out.channelGroups[kGroupLimiterLock] = 0x08;
  out.channelGroups[kGroupPhaseLock] = 0x10;
  out.channelGroups[kGroupPeqBandLock + 8] = 0x20;
  EXPECT_TRUE(IsChannelInGroupA(out, 0));
  EXPECT_FALSE(IsChannelInGroupA(out, 1));
  EXPECT_TRUE(IsChannelInGroupB(out, 1));
  EXPECT_TRUE(IsChannelInGroupC(out, 2));
  EXPECT_TRUE(IsChannelInGroupD(out, 3));
  EXPECT_TRUE(IsChannelInGroupE(out, 4));
  EXPECT_FALSE(IsChannelInGroupE(out, 3));
  EXPECT_TRUE(TestDeviceBit(out, 5, 8));
  EXPECT_FALSE(TestDeviceBit(out, 5, 7));
  EXPECT_FALSE(TestDeviceBit(out, 5, 9));
  EXPECT_FALSE(IsChannelInGroupA(out, 8));
  for (int o = 0; o < 6; ++o) EXPECT_TRUE(IsChannelInAnyGroup(out, o)) << o;
  EXPECT_FALSE(IsChannelInAnyGroup(out, 6));
}

TEST(ChannelRules, AnyLockSeesTheFurtherByteButNotGainLockBOrThePerOutputBytes) {
  NerexOutputSection out;
  out.channelGroups[kGroupGainLockA] = 0x40;
  out.channelGroups[kGroupGainLockB] = 0x80;
  out.channelGroups[0] = 0x80;
  out.channelGroups[17] = 0x80;
  out.channelGroups[kGroupPerOutput + 7] = 0xFF;
  EXPECT_TRUE(IsChannelInAnyGroup(out, 6));
  EXPECT_FALSE(IsChannelInAnyGroup(out, 7));
}

TEST(ChannelRules, DynamicEqFilterKindMapsToRangeType) {
  NerexDeqBand band;
  const std::array<int, 5> expected{0, 13, 1, 2, 0};
  for (int kind = 0; kind < 5; ++kind) {
    band.filterKind = std::uint8_t(kind);
    EXPECT_EQ(GetFilterTypeCode(band), expected[kind]) << kind;
  }
}

TEST(ChannelRules, ReadBackIsCompleteOnlyWithEveryBlockTheModelNeeds) {
  EXPECT_EQ(GetRequiredBlocksMask(16), 0x1FBu);
  EXPECT_EQ(GetRequiredBlocksMask(121), 0xE7Fu);
  EXPECT_EQ(GetRequiredBlocksMask(118), 0x67Fu);
  EXPECT_EQ(GetRequiredBlocksMask(110), 0x67Bu);
  EXPECT_EQ(GetRequiredBlocksMask(112), 0x67Bu);
  // A Fennick with everything but reply 79; and one that never got the graphic EQ.
  EXPECT_FALSE(AllBlocksReceived(17, 0x1FB & ~kReceived79));
  EXPECT_TRUE(AllBlocksReceived(16, 0x1FB & ~kReceivedGeqBlock));
  EXPECT_TRUE(AllBlocksReceived(16, 0xFFF));
  EXPECT_FALSE(AllBlocksReceived(121, 0x67F));
  EXPECT_TRUE(AllBlocksReceived(121, 0x67F | kReceivedDeqBlock));
  EXPECT_FALSE(AllBlocksReceived(120, 0x67B));
}

TEST(ChannelRules, MergeMasksReplaceOnlyWritesOfTheSameSetting) {
  for (std::uint8_t c : {1, 2, 6, 7, 8, 12, 16, 22, 23, 24}) EXPECT_EQ(GetMessageMergeMask(c), 0x17Fu) << int(c);
  EXPECT_EQ(GetMessageMergeMask(39), 0x37Fu);
  EXPECT_EQ(GetMessageMergeMask(40), 0x57Fu);
  // Settings-block writes, names and general settings are never merged.
  for (std::uint8_t c : {17, 21, 26, 28, 30, 31, 35, 42, 43, 80}) EXPECT_EQ(GetMessageMergeMask(c), 0u) << int(c);
}

TEST(ChannelRules, PanelKindAndSizeByModel) {
  EXPECT_EQ(GetControlPanelKind(16, 0), ENerexPanelKind::Fennick);
  EXPECT_EQ(GetControlPanelKind(17, 0), ENerexPanelKind::ZelFennick);
  EXPECT_EQ(GetControlPanelKind(110, 0), ENerexPanelKind::Calder48);
  EXPECT_EQ(GetControlPanelKind(112, 0x1C4A21), ENerexPanelKind::Hollin2);
  EXPECT_EQ(GetControlPanelKind(112, 0x1C201C), ENerexPanelKind::Calder48);
  EXPECT_EQ(GetControlPanelKind(121, 0), ENerexPanelKind::Torvex);
  EXPECT_EQ(GetControlPanelKind(116, 0), ENerexPanelKind::Nerex);
  EXPECT_EQ(GetPanelSize(16, 435).width, 302);
  EXPECT_EQ(GetPanelSize(17, 435).height, 325);
  EXPECT_EQ(GetPanelSize(16, 59).width, 850);
  EXPECT_EQ(GetPanelSize(120, 435).height, 600);
}
