// Paste by section: what each command writes into the image, sends and announces.
#include <gtest/gtest.h>

#include <algorithm>

#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexPaste.h"
#include "devices/processor/NerexPresets.h"
#include "tests/devices/processor/TestImages.h"

namespace {

using W = ENerexPasteWrite;

// A record as it comes back from the clipboard.
NerexClipboardRecord Record(const CNerexSeriesMemory& image, int model, std::uint32_t command = 0,
                            std::uint32_t selected = 0, const NerexClipboardProperties& p = {}) {
  NerexClipboardRecord r;
  EXPECT_TRUE(LoadClipboardRecord(StoreClipboardRecord(MakeClipboardRecord(image, model, p, command, selected)), r));
  return r;
}

CNerexSeriesMemory DeviceImage(unsigned seed) {
  CNerexSeriesMemory m = MakeRandomImage(seed);
  InitMemoryDefaults(m);
  for (int o = 0; o < 8; ++o) m.outputs.linkMasks[o] = std::uint8_t(1u << o);
  m.outputs.channelGroups.fill(0);
  ClampGains(m, 120);  // gains every model keeps as they are
  return m;
}

struct Target {
  CNerexSeriesMemory image;
  std::array<std::uint8_t, 20> general{};
  bool autoRtc = true;
  std::uint32_t units = 0, multiplier = 10, nudge = 0;
  NerexPasteTarget t;

  Target(int model, const CNerexSeriesMemory& start, std::uint32_t selected = 0) : image(start) {
    t.image = &image;
    t.model = model;
    t.selectedChannel = selected;
    t.general = &general;
    t.autoRtcUpdate = &autoRtc;
    t.delayUnits = &units;
    t.delayMultiplier = &multiplier;
    t.gainNudge = &nudge;
  }
  NerexPasteResult Paste(std::uint32_t command, const NerexClipboardRecord& r) { return PasteRecord(command, r, t); }
};

bool Announces(const NerexPasteResult& r, std::int32_t id) {
  return std::find(r.announce.begin(), r.announce.end(), id) != r.announce.end();
}

// Input and output image of a clean source whose values differ from the targets'.
CNerexSeriesMemory SourceImage(unsigned seed) {
  CNerexSeriesMemory m = DeviceImage(seed);
  for (int i = 0; i < 4; ++i) m.inputs.gains[i] = std::int16_t(-100 - i);
  for (int o = 0; o < 8; ++o) m.outputs.gains[o] = std::int16_t(-200 - o);
  m.outputs.mixerFlag = 0;
  return m;
}

}  // namespace

TEST(PasteWhole, FromTorvexOntoFennickConvertsTheMixerAndLeavesEqBlocksAlone) {
  CNerexSeriesMemory source = SourceImage(1);
  source.outputs.matrixLevels[3][2] = 100;  // +5.0 dB as a gain
  source.outputs.matrixLevels[0][0] = 1000; // beyond the code range: clamped
  Target dev(16, DeviceImage(2));
  const NerexGeqBlock geqBefore = dev.image.geq;
  const auto deqBefore = dev.image.deqBands;
  const NerexPasteResult r = dev.Paste(0, Record(source, 121));
  EXPECT_EQ(dev.image.inputs.matrixGains[3][2], 50);
  EXPECT_EQ(dev.image.inputs.matrixGains[0][0], -401);
  EXPECT_EQ(dev.image.geq, geqBefore);
  EXPECT_EQ(dev.image.deqBands, deqBefore);
  EXPECT_EQ(r.writes, (std::vector<W>{W::InputBlock, W::OutputBlock}));
  // A Fennick device never mutes on a whole paste, and announces its matrix gains.
  EXPECT_EQ(dev.image.outputs.muteMask, source.outputs.muteMask);
  EXPECT_TRUE(Announces(r, 263 + 4 * 3 + 2));
  EXPECT_FALSE(Announces(r, 439));
  EXPECT_FALSE(Announces(r, 249));  // delays are announced only between delay-carrying models
  EXPECT_EQ(r.pages, (std::vector<std::uint32_t>{60, 61, 63, 64, 65}));
}

TEST(PasteWhole, ChangedRoutingOnANerexLeavesEveryOutputMutedAndAnnounced) {
  CNerexSeriesMemory source = SourceImage(3);
  source.outputs.routingMasks.fill(0x03);
  source.outputs.muteMask = 0;
  CNerexSeriesMemory start = DeviceImage(4);
  start.outputs.routingMasks.fill(0x01);
  Target dev(120, start);
  const NerexPasteResult r = dev.Paste(0, Record(source, 115));
  EXPECT_EQ(dev.image.outputs.muteMask, 0xFF);
  for (int o = 0; o < 8; ++o) EXPECT_TRUE(Announces(r, 29 + o)) << o;
  // Routing of the 6 source outputs is taken between two small-group models.
  EXPECT_EQ(dev.image.outputs.routingMasks[5], 0x03);
  EXPECT_EQ(dev.image.outputs.routingMasks[6], 0x01);

  // The same routing does not mute.
  Target same(120, start);
  source.outputs.routingMasks.fill(0x01);
  same.Paste(0, Record(source, 115));
  EXPECT_EQ(same.image.outputs.muteMask, 0);
}

TEST(PasteWhole, SmallerSourceChangesOnlyTheChannelsItCarries) {
  const CNerexSeriesMemory source = SourceImage(5);
  const CNerexSeriesMemory start = DeviceImage(6);
  Target dev(120, start);
  const NerexPasteResult r = dev.Paste(0, Record(source, 114));  // Nerex24: 2 inputs, 4 outputs
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(dev.image.inputs.gains[i], i < 2 ? source.inputs.gains[i] : start.inputs.gains[i]) << i;
    EXPECT_EQ(dev.image.inputs.PeqBand(i, 3).frequency,
              (i < 2 ? source : start).inputs.PeqBand(i, 3).frequency) << i;
  }
  for (int o = 0; o < 8; ++o) {
    EXPECT_EQ(dev.image.outputs.gains[o], o < 4 ? source.outputs.gains[o] : start.outputs.gains[o]) << o;
    EXPECT_EQ(dev.image.outputs.limiters[o], (o < 4 ? source : start).outputs.limiters[o]) << o;
  }
  EXPECT_EQ(dev.image.inputs.muteMask, source.inputs.muteMask);
  EXPECT_EQ(dev.image.outputs.phaseMask, source.outputs.phaseMask);
  EXPECT_EQ(dev.image.outputs.channelGroups, source.outputs.channelGroups);
  // Parameter ids of the device's image never change.
  EXPECT_EQ(dev.image.outputs.PeqIds(2, 4), start.outputs.PeqIds(2, 4));
  // Nerex48 and Nerex24 both carry a graphic EQ.
  EXPECT_EQ(r.writes, (std::vector<W>{W::InputBlock, W::OutputBlock, W::GeqBlock}));
  EXPECT_EQ(dev.image.geq.bands[1], source.geq.bands[1]);
  EXPECT_EQ(dev.image.geq.bands[2], start.geq.bands[2]);
}

TEST(PasteWhole, TorvexPairCarriesDynamicsMixerAndAllFourBlocks) {
  CNerexSeriesMemory source = SourceImage(7);
  source.outputs.mixerFlag = 1;
  Target dev(121, DeviceImage(8));
  dev.image.outputs.mixerFlag = 1;
  const NerexPasteResult r = dev.Paste(0, Record(source, 121));
  EXPECT_EQ(dev.image.outputs.compressors, source.outputs.compressors);
  EXPECT_EQ(dev.image.outputs.matrixLevels, source.outputs.matrixLevels);
  EXPECT_EQ(dev.image.deqBands[7].attack, source.deqBands[7].attack);
  EXPECT_EQ(r.writes, (std::vector<W>{W::InputBlock, W::OutputBlock, W::GeqBlock, W::DeqBlock}));
  EXPECT_EQ(r.announce.front(), 1590);
  EXPECT_TRUE(Announces(r, 1446 + 11));
  EXPECT_FALSE(Announces(r, 1506));  // option A is not announced
  EXPECT_EQ(r.pages.back(), 59u);
  // The gains were clamped to the model: inputs at most +6 dB.
  for (auto g : dev.image.inputs.gains) EXPECT_LE(g, 60);
}

TEST(PasteWhole, TorvexMixerFlagFollowsTheSourceFamily) {
  const CNerexSeriesMemory source = SourceImage(9);
  Target fromFennick(121, DeviceImage(10));
  fromFennick.Paste(0, Record(source, 16));
  EXPECT_EQ(fromFennick.image.outputs.mixerFlag, 1);
  EXPECT_EQ(fromFennick.image.outputs.matrixLevels[1][3], MatrixLevelFromGain(source.inputs.matrixGains[1][3]));
  Target fromNerex(121, DeviceImage(10));
  fromNerex.image.outputs.mixerFlag = 1;
  fromNerex.Paste(0, Record(source, 120));
  EXPECT_EQ(fromNerex.image.outputs.mixerFlag, 0);
  EXPECT_EQ(fromNerex.image.outputs.muteMask & 0xFF, 0xFF);  // mixer switched off: routing changed
}

TEST(PasteSections, AllInputsKeepsOutputsAndSendsOnlyTheInputBlocks) {
  const CNerexSeriesMemory source = SourceImage(11);
  const CNerexSeriesMemory start = DeviceImage(12);
  Target dev(116, start);
  const NerexPasteResult r = dev.Paste(33870, Record(source, 120));
  EXPECT_EQ(dev.image.inputs.gains[3], source.inputs.gains[3]);
  EXPECT_EQ(dev.image.inputs.delays[3], source.inputs.delays[3]);
  EXPECT_EQ(dev.image.outputs.gains, start.outputs.gains);
  EXPECT_EQ(r.writes, (std::vector<W>{W::InputBlock, W::GeqBlock}));
  EXPECT_EQ(r.pages, (std::vector<std::uint32_t>{60, 61}));
}

TEST(PasteSections, AllOutputsTakesLocksAndLimitersAndSendsBlockFive) {
  CNerexSeriesMemory source = SourceImage(13);
  source.outputs.channelGroups[4] = 0x11;
  const CNerexSeriesMemory start = DeviceImage(14);
  Target dev(118, start);  // 6 outputs
  const NerexPasteResult r = dev.Paste(33871, Record(source, 120));
  EXPECT_EQ(dev.image.outputs.limiters[7], source.outputs.limiters[7]);
  EXPECT_EQ(dev.image.outputs.channelGroups[4], 0x11);
  EXPECT_EQ(dev.image.inputs.gains, start.inputs.gains);
  EXPECT_EQ(r.writes, (std::vector<W>{W::OutputBlock}));
  EXPECT_EQ(r.announce.front(), 422);
  EXPECT_FALSE(Announces(r, 17 + 6));  // only the device's outputs are announced
}

TEST(PasteChannels, InputChannelFillsTheSelectedInputsLinkGroup) {
  CNerexSeriesMemory source = SourceImage(15);
  source.inputs.PeqBand(1, 5).CopyValues(NerexEqBand{2, 90, 100, 30});
  CNerexSeriesMemory start = DeviceImage(16);
  start.inputs.linkMasks = {0x05, 0x02, 0x05, 0x08};  // A linked with C
  Target dev(120, start, 1);
  const NerexPasteResult r = dev.Paste(33872, Record(source, 120, kCmdCopyChannel, 2));
  for (int i : {0, 2}) {
    EXPECT_EQ(dev.image.inputs.gains[i], source.inputs.gains[1]) << i;
    EXPECT_EQ(dev.image.inputs.delays[i], source.inputs.delays[1]) << i;
    EXPECT_EQ(dev.image.inputs.PeqBand(i, 5).q, 90) << i;
    EXPECT_EQ(dev.image.geq.bands[i], source.geq.bands[1]) << i;
  }
  for (int i : {1, 3}) {
    EXPECT_EQ(dev.image.inputs.gains[i], start.inputs.gains[i]) << i;
    EXPECT_EQ(dev.image.inputs.PeqBand(i, 5), start.inputs.PeqBand(i, 5)) << i;
  }
  EXPECT_EQ(r.writes, (std::vector<W>{W::InputBlock, W::GeqBlock}));
  EXPECT_TRUE(Announces(r, 13 + 2));
  EXPECT_TRUE(Announces(r, 249 + 2));
  EXPECT_FALSE(Announces(r, 13 + 1));

  // Filters only: no gain or delay.
  Target filters(120, start, 3);
  const NerexPasteResult f = filters.Paste(33873, Record(source, 120, kCmdCopyChannel, 2));
  EXPECT_EQ(filters.image.inputs.gains[2], start.inputs.gains[2]);
  EXPECT_EQ(filters.image.inputs.PeqBand(0, 5).q, 90);
  EXPECT_FALSE(Announces(f, 13));

  // No selected channel: nothing is written.
  Target none(120, start, 0);
  EXPECT_FALSE(none.Paste(33872, Record(source, 120, kCmdCopyChannel, 2)).applied);
  EXPECT_EQ(none.image, start);
}

TEST(PasteChannels, OutputChannelCopiesLocksOfTheSourceChannel) {
  CNerexSeriesMemory source = SourceImage(17);
  source.outputs.channelGroups[3] = 0x04;  // output 3's delay lock
  source.outputs.channelGroups[24 + 2] = 0x77;
  CNerexSeriesMemory start = DeviceImage(18);
  start.outputs.linkMasks[0] = 0x03;
  start.outputs.linkMasks[1] = 0x03;
  start.outputs.channelGroups[3] = 0x80;
  Target dev(120, start, 5);
  const NerexPasteResult r = dev.Paste(33874, Record(source, 120, kCmdCopyChannel, 7));
  for (int o : {0, 1}) {
    EXPECT_EQ(dev.image.outputs.gains[o], source.outputs.gains[2]);
    EXPECT_EQ(dev.image.outputs.limiters[o], source.outputs.limiters[2]);
    EXPECT_EQ(dev.image.outputs.channelGroups[24 + o], 0x77);
  }
  EXPECT_EQ(dev.image.outputs.channelGroups[3], 0x83);
  EXPECT_EQ(dev.image.outputs.gains[2], start.outputs.gains[2]);
  EXPECT_EQ(r.writes, (std::vector<W>{W::OutputBlock}));
  EXPECT_EQ(r.announce.front(), 422);
  EXPECT_TRUE(Announces(r, 355 + 8 * 7 + 7));  // link bits of every output
}

TEST(PasteChannels, OutputFiltersLeaveLevelsAndReapplyTheLimiterRules) {
  CNerexSeriesMemory source = SourceImage(19);
  source.outputs.highPass[4].frequency = 300;  // above 2 kHz
  source.outputs.PeqBand(4, 0).CopyValues(NerexEqBand{1, 100, 200, 50});
  CNerexSeriesMemory start = DeviceImage(20);
  start.outputs.autoLimiters = 1;
  start.outputs.compressorLimiters = 0;
  Target dev(120, start, 6);
  const NerexPasteResult r = dev.Paste(33875, Record(source, 120, kCmdCopyChannel, 9));
  EXPECT_EQ(dev.image.outputs.highPass[1].frequency, 300);
  EXPECT_EQ(dev.image.outputs.PeqBand(1, 0).gain, 50);
  EXPECT_EQ(dev.image.outputs.gains[1], start.outputs.gains[1]);
  EXPECT_EQ(dev.image.outputs.delays[1], start.outputs.delays[1]);
  EXPECT_EQ(dev.image.outputs.limiters[1].attack, GetAutoLimiterAttack(300));
  EXPECT_EQ(dev.image.outputs.limiters[1].level, start.outputs.limiters[1].level);
  EXPECT_EQ(dev.image.outputs.compressors, start.outputs.compressors);  // rule off: untouched
  EXPECT_TRUE(Announces(r, 1100 + 1));
  EXPECT_TRUE(Announces(r, 315 + 1));
  EXPECT_EQ(r.pages, (std::vector<std::uint32_t>{63}));
}

TEST(PasteSections, MatrixOnlyBetweenMatchingFamilies) {
  const CNerexSeriesMemory source = SourceImage(21);
  const CNerexSeriesMemory start = DeviceImage(22);
  Target fennick(17, start);
  NerexPasteResult r = fennick.Paste(33876, Record(source, 16));
  EXPECT_EQ(fennick.image.inputs.matrixGains, source.inputs.matrixGains);
  EXPECT_EQ(r.writes, (std::vector<W>{W::InputBlock}));
  EXPECT_EQ(r.announce.size(), 32u);
  Target torvex(121, start);
  r = torvex.Paste(33876, Record(source, 121));
  EXPECT_EQ(torvex.image.outputs.matrixLevels, source.outputs.matrixLevels);
  EXPECT_EQ(r.writes, (std::vector<W>{W::OutputBlock}));
  Target mixed(16, start);
  r = mixed.Paste(33876, Record(source, 121));
  EXPECT_FALSE(r.applied);
  EXPECT_TRUE(r.announce.empty());
  EXPECT_EQ(mixed.image, start);
}

TEST(PasteSections, MixerTakesLevelsButNoFilters) {
  const CNerexSeriesMemory source = SourceImage(23);
  const CNerexSeriesMemory start = DeviceImage(24);
  Target dev(16, start);
  const NerexPasteResult r = dev.Paste(33877, Record(source, 17));
  EXPECT_EQ(dev.image.inputs.matrixGains, source.inputs.matrixGains);
  EXPECT_EQ(dev.image.outputs.limiters, source.outputs.limiters);
  EXPECT_EQ(dev.image.outputs.PeqBand(3, 3), start.outputs.PeqBand(3, 3));
  EXPECT_EQ(dev.image.outputs.highPass[2], start.outputs.highPass[2]);
  EXPECT_EQ(dev.image.outputs.channelGroups[6], start.outputs.channelGroups[6]);
  EXPECT_EQ(r.writes, (std::vector<W>{W::InputBlock, W::OutputBlock}));
  EXPECT_TRUE(r.pages.empty());
}

TEST(PasteSections, DevicePropertiesAndChannelNames) {
  NerexClipboardProperties p;
  p.securityCode = 4321;
  p.lcdContrast = 3;
  p.delayMultiplier = 100;
  p.autoRtcUpdate = 0;
  CNerexSeriesMemory source = SourceImage(25);
  source.inputs.names[1] = MakeChannelName("Vox");
  source.outputs.names[5] = MakeChannelName("Fill");
  Target dev(120, DeviceImage(26));
  const CNerexSeriesMemory imageBefore = dev.image;
  NerexPasteResult r = dev.Paste(33878, Record(source, 16, 0, 0, p));
  EXPECT_EQ(dev.general[8] | dev.general[9] << 8, 4321);
  EXPECT_EQ(dev.general[15], 3);
  EXPECT_EQ(dev.multiplier, 100u);
  EXPECT_FALSE(dev.autoRtc);
  EXPECT_EQ(dev.image, imageBefore);
  EXPECT_EQ(r.writes, (std::vector<W>{W::GeneralSettings}));
  EXPECT_TRUE(r.propertiesChanged);
  EXPECT_TRUE(r.announce.empty());

  r = dev.Paste(33879, Record(source, 115));  // 2 inputs, 6 outputs
  EXPECT_EQ(dev.image.inputs.names[1], MakeChannelName("Vox"));
  EXPECT_EQ(dev.image.outputs.names[5], MakeChannelName("Fill"));
  EXPECT_EQ(dev.image.inputs.names[2], imageBefore.inputs.names[2]);
  EXPECT_EQ(dev.image.outputs.names[6], imageBefore.outputs.names[6]);
  EXPECT_EQ(r.writes, (std::vector<W>{W::Names}));
  EXPECT_EQ(r.announce, (std::vector<std::int32_t>{128, 129, 132, 133, 134, 135, 136, 137}));
  EXPECT_TRUE(r.linkedNames);
}

TEST(PasteSections, UnusedCommandChangesNothing) {
  const CNerexSeriesMemory start = DeviceImage(27);
  Target dev(120, start);
  EXPECT_FALSE(dev.Paste(33869, Record(SourceImage(28), 120)).applied);
  EXPECT_FALSE(dev.Paste(12345, Record(SourceImage(28), 120)).applied);
  EXPECT_EQ(dev.image, start);
}

TEST(PasteSections, PastedGainsAreClampedPerModel) {
  CNerexSeriesMemory source = SourceImage(29);
  source.inputs.gains[0] = 100;
  source.outputs.gains[0] = 200;
  Target nerex(116, DeviceImage(30));
  nerex.Paste(0, Record(source, 16));
  EXPECT_EQ(nerex.image.inputs.gains[0], 60);
  EXPECT_EQ(nerex.image.outputs.gains[0], 150);
  Target fennick(16, DeviceImage(30));
  fennick.Paste(0, Record(source, 16));
  EXPECT_EQ(fennick.image.inputs.gains[0], 100);
}
