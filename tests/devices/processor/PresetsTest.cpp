// Preset lists, the delay budget, gain clamps and the filter fix-ups of some Calder units.
#include <gtest/gtest.h>

#include "devices/processor/NerexParamIds.h"
#include "devices/processor/NerexPresets.h"

TEST(PresetList, GrowsWithNumberedDefaultMemories) {
  CNerexMemoryList list;
  ResizePresetList(list, kNerexDefaultPresetCount);
  ASSERT_EQ(list.size(), 20u);
  EXPECT_EQ(list[0]->name, "Preset 1");
  EXPECT_EQ(list[19]->name, "Preset 20");
  list[4]->name = "Stage";
  ResizePresetList(list, 22);
  ASSERT_EQ(list.size(), 22u);
  EXPECT_EQ(list[20]->name, "Preset 21");
  EXPECT_EQ(list[21]->name, "Preset 22");
  EXPECT_EQ(list[4]->name, "Stage");
  // A new memory is empty and carries its ids, crossovers and names.
  const CNerexSeriesMemory& m = *list[21];
  EXPECT_FALSE(m.HoldsAnySection());
  EXPECT_EQ(m.inputs.PeqIds(0, 0).frequencyId, 508u);
  EXPECT_EQ(m.outputs.lowPass[7].frequency, 433);
  EXPECT_EQ(m.outputs.names[0], MakeChannelName("Ch 1"));
}

TEST(PresetList, ShrinksFromTheEndKeepingTheRest) {
  CNerexMemoryList list;
  ResizePresetList(list, 20);
  const CNerexSeriesMemory* third = list[2].get();
  list[17]->name = "Late Show";
  ResizePresetList(list, 18);
  ASSERT_EQ(list.size(), 18u);
  EXPECT_EQ(list[2].get(), third);
  EXPECT_EQ(list[17]->name, "Late Show");
  ResizeXoverPresetList(list, 0);
  EXPECT_TRUE(list.empty());
  ResizeXoverPresetList(list, 1);
  EXPECT_EQ(list[0]->name, "Preset 1");
}

namespace {
CNerexSeriesMemory UnroutedImage() {
  CNerexSeriesMemory m;
  m.outputs.routingMasks.fill(0);
  return m;
}
}  // namespace

TEST(DelayLimit, InputDelayIsLimitedByTheOutputsItFeeds) {
  CNerexSeriesMemory m = UnroutedImage();
  m.outputs.routingMasks[2] = 0x01;  // input A feeds output 3
  m.outputs.delays[2] = 1000;
  m.outputs.delays[5] = 5000;  // not fed by input A
  EXPECT_EQ(GetDelayValue(m, 120, kParamInputDelay, 0x79E000), 0x79E000u - 1000);
  EXPECT_EQ(GetDelayValue(m, 120, kParamInputDelay, 100), 100u);
  // An input routed nowhere keeps the limit itself.
  EXPECT_EQ(GetDelayValue(m, 120, kParamInputDelay + 1, 0xFFFFFFFF), 0x79E000u);
}

TEST(DelayLimit, InputDelayUsesItsLinkMastersRouting) {
  CNerexSeriesMemory m = UnroutedImage();
  m.inputs.linkMasks[1] = 0x03;  // input B follows input A
  m.outputs.routingMasks[0] = 0x01;
  m.outputs.delays[0] = 0x79E000 - 10;
  EXPECT_EQ(GetDelayValue(m, 120, kParamInputDelay + 1, 500), 10u);
}

TEST(DelayLimit, OutputDelayIsLimitedByTheInputsRoutedToItsMaster) {
  CNerexSeriesMemory m = UnroutedImage();
  m.outputs.linkMasks[3] = 0x0C;  // outputs 3 and 4, master output 3
  m.outputs.linkMasks[2] = 0x0C;
  m.outputs.routingMasks[2] = 0x06;  // inputs B and C
  m.outputs.routingMasks[3] = 0x08;  // not looked at: output 4 is not the master
  m.inputs.delays = {7000000, 300000, 400000, 7900000};
  EXPECT_EQ(GetDelayValue(m, 120, kParamOutputDelay + 3, 0x79E000), 0x79E000u - 400000);
}

TEST(DelayLimit, StoredDelaysBeyondTheLimitLeaveNoBudgetInsteadOfWrapping) {
  CNerexSeriesMemory m = UnroutedImage();
  m.outputs.routingMasks[0] = 0x01;
  m.outputs.delays[0] = 0x00FFFFFF;  // beyond the limit, as a damaged file could hold
  EXPECT_EQ(GetDelayValue(m, 120, kParamInputDelay, 5000), 0u);
  m.outputs.delays[0] = 0xFFFFFFFF;
  EXPECT_EQ(GetDelayValue(m, 120, kParamInputDelay, 5000), 0u);
  m.outputs.delays[0] = 0x79E000;
  EXPECT_EQ(GetDelayValue(m, 120, kParamInputDelay, 5000), 0u);
}

TEST(DelayLimit, OnlyTheModelsChannelsCount) {
  // A Nerex24 (2 inputs, 4 outputs): output 6 and input D do not exist on it.
  CNerexSeriesMemory m = UnroutedImage();
  m.outputs.routingMasks[5] = 0x01;
  m.outputs.delays[5] = 0x79E000;
  EXPECT_EQ(GetDelayValue(m, 114, kParamInputDelay, 1234), 1234u);
  m.outputs.routingMasks[1] = 0x08;
  m.inputs.delays[3] = 0x79E000;
  EXPECT_EQ(GetDelayValue(m, 114, kParamOutputDelay + 1, 1234), 1234u);
  EXPECT_EQ(GetDelayValue(m, 120, kParamOutputDelay + 1, 1234), 0u);
}

TEST(DelayLimit, OtherParametersOnlyTakeTheLimit) {
  const CNerexSeriesMemory m;
  EXPECT_EQ(GetDelayValue(m, 120, kParamInputGain, 0x80000000), 0x79E000u);
  EXPECT_EQ(GetDelayValue(m, 120, kParamOutputDelay + 8, 42), 42u);
}

TEST(GainClamps, InputLimitsDependOnTheModelOutputsDoNot) {
  CNerexSeriesMemory nerex44;
  nerex44.inputs.gains = {100, 61, 60, -401};
  nerex44.outputs.gains = {200, 151, 150, -400, -401, -32768, 32767, 0};
  ClampGains(nerex44, 116);
  EXPECT_EQ(nerex44.inputs.gains, (std::array<std::int16_t, 4>{60, 60, 60, -400}));
  EXPECT_EQ(nerex44.outputs.gains, (std::array<std::int16_t, 8>{150, 150, 150, -400, -400, -400, 150, 0}));

  CNerexSeriesMemory fennick;
  fennick.inputs.gains = {100, 151, -500, 150};
  ClampGains(fennick, 16);
  EXPECT_EQ(fennick.inputs.gains, (std::array<std::int16_t, 4>{100, 150, -400, 150}));

  CNerexSeriesMemory torvex;
  torvex.inputs.gains = {100, 0, 0, 0};
  ClampGains(torvex, 121);
  EXPECT_EQ(torvex.inputs.gains[0], 60);

  CNerexSeriesMemory generic;  // 113: only the lower bound
  generic.inputs.gains = {300, -500, 0, 0};
  ClampGains(generic, 113);
  EXPECT_EQ(generic.inputs.gains[0], 300);
  EXPECT_EQ(generic.inputs.gains[1], -400);
}

TEST(HardwareFixups, ReducedCalderUnitsLoseTheirMissingFilterTypes) {
  CNerexSeriesMemory m;
  m.inputs.PeqBand(0, 0).CopyValues(NerexEqBand{0x85, 50, 300, -60});  // bypassed allpass
  m.inputs.PeqBand(3, 7).CopyValues(NerexEqBand{12, 72, 300, 30});
  m.outputs.PeqBand(7, 8).CopyValues(NerexEqBand{8, 10, 300, 30});
  m.outputs.PeqBand(0, 1).CopyValues(NerexEqBand{9, 70, 300, 30});  // kept
  m.outputs.PeqBand(0, 2).CopyValues(NerexEqBand{2, 90, 300, 30});  // kept
  CNerexSeriesMemory reduced = m;
  ApplyHardwareVariantFixups(reduced, 112, 0x1C4A21);
  EXPECT_EQ(reduced.inputs.PeqBand(0, 0), (NerexEqBand{0x80, 50, 300, 0}));
  EXPECT_EQ(reduced.inputs.PeqBand(3, 7), (NerexEqBand{0, 72, 300, 0}));
  EXPECT_EQ(reduced.outputs.PeqBand(7, 8), (NerexEqBand{0, 10, 300, 0}));
  EXPECT_EQ(reduced.outputs.PeqBand(0, 1), m.outputs.PeqBand(0, 1));
  EXPECT_EQ(reduced.outputs.PeqBand(0, 2), m.outputs.PeqBand(0, 2));

  CNerexSeriesMemory calder26 = m;
  ApplyHardwareVariantFixups(calder26, 110, 0x1A1F7C);
  EXPECT_EQ(calder26.outputs.PeqBand(7, 8).type, 0);

  // A Calder48 with its own hardware code, and other models, keep every type.
  for (auto [model, code] : {std::pair{112, 0x1C201Cu}, std::pair{120, 0x1C4A21u}, std::pair{110, 0u}}) {
    CNerexSeriesMemory kept = m;
    ApplyHardwareVariantFixups(kept, model, code);
    EXPECT_EQ(kept, m) << model;
  }
}
