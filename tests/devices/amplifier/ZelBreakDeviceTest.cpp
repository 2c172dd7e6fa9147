// The Zel breakout box's model: the parameter table by model, current values, the lists that
// widgets and links use, and the exact write frames of every change.
#include <gtest/gtest.h>

#include "core/comms/CommsWorker.h"
#include "core/support/SystemMessages.h"
#include "tests/devices/amplifier/ZelAmpFixture.h"
#include "tests/support/ModelChanges.h"

namespace {

using ZelBreakModelTest = ZelAmpFixture;

std::vector<int> Ids(const std::vector<CParamInfo>& list) {
  std::vector<int> out;
  for (const CParamInfo& info : list) out.push_back(info.id);
  return out;
}

std::vector<int> Range(int first, int count) {
  std::vector<int> out;
  for (int i = 0; i < count; ++i) out.push_back(first + i);
  return out;
}

std::vector<int> Join(std::initializer_list<std::vector<int>> parts) {
  std::vector<int> out;
  for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

TEST_F(ZelBreakModelTest, EveryTypeCodeMakesABoxWithItsChannelsAndNames) {
  for (std::uint32_t type = 34; type <= 47; ++type) {
    CZelBreakDevice* d = AddBox(type, type);
    const int channels = type % 2 == 0 ? 8 : 16;
    EXPECT_EQ(d->GetChannelCount(), channels) << type;
    EXPECT_EQ(d->GetChannelName(channels - 1), "Ch " + std::to_string(channels)) << type;
    EXPECT_EQ(d->GetChannelName(channels), "") << type;
    EXPECT_EQ(d->GetPanelSize(), (CSize{887, 124}));
    EXPECT_STREQ(d->GetControlPanelClass(), "CZelBreakControlPanel");
  }
  EXPECT_EQ(AddBox(38, 90)->GetModelName(), "FennickXB8");
  EXPECT_EQ(AddBox(43, 91)->GetModelName(), "XB-16");
  EXPECT_EQ(AddBox(47, 92)->GetModelName(), "QuillXB16");
}

TEST_F(ZelBreakModelTest, ParameterTableFollowsTheChannelCount) {
  CZelBreakDevice* eight = AddBox(34, 1);
  CZelBreakDevice* sixteen = AddBox(35, 2);
  const CParamInfo gain = eight->GetParameterAt(8);
  EXPECT_EQ(gain.name, "Gain Channel 8");
  EXPECT_EQ(gain.kind, ParamKind::kLevel);
  EXPECT_EQ(gain.maximum, 0.0f);
  EXPECT_EQ(gain.minimum, -24.0f);
  EXPECT_EQ(eight->GetParameterAt(9).name, "NULL");
  EXPECT_EQ(eight->GetParameterAt(17).name, "Mute Channel 1");
  EXPECT_EQ(eight->GetParameterAt(25).name, "NULL");
  EXPECT_EQ(eight->GetParameterAt(41).name, "NULL");
  EXPECT_EQ(sixteen->GetParameterAt(16).name, "Gain Channel 16");
  EXPECT_EQ(sixteen->GetParameterAt(48).name, "Channel Name 16");
  EXPECT_EQ(sixteen->GetParameterAt(48).textLimit, 16u);
  EXPECT_EQ(sixteen->GetParameterAt(49).name, "Breakout Box Name");
  EXPECT_EQ(sixteen->GetParameterAt(49).textLimit, 40u);
  EXPECT_EQ(sixteen->GetParameterAt(50).options, 5u);
  EXPECT_EQ(sixteen->GetParameterAt(51).name, "Network Active");
  EXPECT_EQ(sixteen->GetParameterAt(59).name, "NULL");  // GPIO is reached from the property rows only
  EXPECT_EQ(sixteen->GetParameterAt(60).options, 12u);
  EXPECT_EQ(sixteen->GetParameterAt(75).name, "Warnings Active");
  EXPECT_EQ(sixteen->GetParameterAt(76).name, "NULL");
  for (int id = 0; id < 80; ++id) EXPECT_EQ(sixteen->GetParameterAt(id).inactive, 0) << id;
}

TEST_F(ZelBreakModelTest, ListsForWidgetsAndLinks) {
  CZelBreakDevice* d = AddBox(36, 1);
  auto list = [&](int kind) {
    std::vector<CParamInfo> out;
    d->ListParameters(kind, out);
    return Ids(out);
  };
  EXPECT_EQ(list(2), Join({{73, 74, 75, 50, 51}, Range(17, 8)}));
  EXPECT_EQ(list(3), Range(1, 8));
  EXPECT_EQ(list(4), Range(1, 8));
  EXPECT_EQ(list(5), Join({{49}, Range(33, 8), Range(1, 8)}));
  EXPECT_EQ(list(8), Join({Range(17, 8), {60}}));
  EXPECT_TRUE(list(1).empty());

  // Link matching walks ids 0 to 63: a gain matches the gains, a mute the mutes (not the
  // indications), the "NULL" entry everything in the walk.
  std::vector<CParamInfo> out;
  d->ListMatchingParameters(d->GetParameterAt(1), out);
  EXPECT_EQ(Ids(out), Range(1, 8));
  out.clear();
  d->ListMatchingParameters(d->GetParameterAt(17), out);
  EXPECT_EQ(Ids(out), Range(17, 8));
  out.clear();
  d->ListMatchingParameters(d->GetParameterAt(200), out);
  EXPECT_EQ(Ids(out), Join({Range(1, 8), Range(17, 8), Range(33, 8), {49, 50, 51, 60}}));
  EXPECT_EQ(d->FindParameter(d->GetParameterAt(33)).name, "Channel Name 1");
  EXPECT_EQ(d->FindParameter(d->GetParameterAt(73)).name, "NULL");
}

TEST_F(ZelBreakModelTest, CurrentValuesFollowTheModel) {
  CZelBreakDevice* d = AddBox(41, 7);
  Deliver(*d, 59,
          ZelReply(*d, 59, 33, {12, 48, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0x80, 0x02, 0x4B}, true));
  EXPECT_FLOAT_EQ(d->GetCurrentValue(1).value, -6.0f);
  EXPECT_FLOAT_EQ(d->GetCurrentValue(2).value, -24.0f);
  EXPECT_FLOAT_EQ(d->GetCurrentValue(16).value, -0.5f);
  EXPECT_TRUE(d->GetCurrentValue(17 + 1).flag);
  EXPECT_TRUE(d->GetCurrentValue(17 + 15).flag);
  EXPECT_FALSE(d->GetCurrentValue(17).flag);
  EXPECT_EQ(d->GetCurrentValue(33).text, "Ch 1");
  EXPECT_EQ(d->GetCurrentValue(49).text, "Box");
  EXPECT_EQ(d->GetGpioInputMode(), 3u);
  EXPECT_EQ(d->GetGpioOutputMode(), 1u);
  EXPECT_TRUE(d->IsNetworkMasterPulse());
  EXPECT_FALSE(d->GetCurrentValue(50).flag);
  EXPECT_TRUE(d->GetCurrentValue(74).flag);
  EXPECT_TRUE(d->GetCurrentValue(60).flag);
  EXPECT_EQ(d->GetCurrentValue(59).kind, ParamKind::kNone);
  // Network active needs the connection as well as the unit's word.
  d->SetStatusForTests(true, false);
  EXPECT_FALSE(d->GetCurrentValue(51).flag);
  Connect(*d);
  EXPECT_TRUE(d->GetCurrentValue(51).flag);
  EXPECT_TRUE(d->GetCurrentValue(50).flag);
  EXPECT_TRUE(d->GetCurrentValue(73).flag);
}

// --- Writes ---

struct GainCase {
  float dB;
  std::uint8_t step;
  float readBack;
};

class ZelBreakGainTest : public ZelAmpFixture, public ::testing::WithParamInterface<GainCase> {};

TEST_P(ZelBreakGainTest, GainChangeQueuesTheStepAndReadsItBack) {
  CZelBreakDevice* d = AddBox(41, 7);
  Connect(*d);
  ModelChange(d, CParamValue(3, GetParam().dB, ParamKind::kLevel));
  const auto queued = Queued(*d);
  ASSERT_EQ(queued.size(), 1u);
  Bytes expected{0xF1, 0x00, 0x0C, 0x29, 0x00, 0x00, 0x00, 0x07, 0x00, 0x08, 0x02, GetParam().step, 0};
  std::uint32_t sum = expected[0];
  for (std::size_t i = 2; i < 12; ++i) sum += expected[i];
  expected[12] = std::uint8_t(sum & 0x7F);
  EXPECT_EQ(queued[0], expected);
  EXPECT_EQ(d->GetGain(2), GetParam().step);
  EXPECT_FLOAT_EQ(d->GetCurrentValue(3).value, GetParam().readBack);
  EXPECT_TRUE(system.IsModified());
}

INSTANTIATE_TEST_SUITE_P(Steps, ZelBreakGainTest,
                         ::testing::Values(GainCase{-6.3f, 12, -6.0f}, GainCase{3.0f, 0, 0.0f},
                                           GainCase{-30.0f, 48, -24.0f}, GainCase{-0.4f, 0, 0.0f},
                                           GainCase{-23.5f, 47, -23.5f}));

TEST_F(ZelBreakModelTest, GoldenWriteFramesOfEveryChange) {
  CZelBreakDevice* d = AddBox(41, 7);
  Connect(*d);
  ModelChange(d, CParamValue(3, -6.3f, ParamKind::kLevel));
  ModelChange(d, MakeBoolParamValue(17 + 15, true));
  ModelChange(d, MakeTextParamValue(33, "Kick"));
  ModelChange(d, MakeIntParamValue(59, 0x40 + 3 + 5 * 8));
  ModelChange(d, MakeTextParamValue(49, ""));
  const auto queued = Queued(*d);
  ASSERT_EQ(queued.size(), 5u);
  EXPECT_EQ(queued[0], (Bytes{0xF1, 0x00, 0x0C, 0x29, 0x00, 0x00, 0x00, 0x07, 0x00, 0x08, 0x02, 0x0C, 0x43}));
  EXPECT_EQ(queued[1], (Bytes{0xF1, 0x00, 0x0D, 0x29, 0x00, 0x00, 0x00, 0x07, 0x00, 0x09, 0x02, 0x00, 0x00, 0x39}));
  EXPECT_EQ(queued[2], (Bytes{0xF1, 0x00, 0x1B, 0x29, 0x00, 0x00, 0x00, 0x07, 0x00, 0x21, 0x00, 0x4B, 0x69, 0x63,
                              0x6B, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x5F}));
  EXPECT_EQ(queued[3], (Bytes{0xF1, 0x00, 0x0B, 0x29, 0x00, 0x00, 0x00, 0x07, 0x00, 0x25, 0x6B, 0x3C}));
  Bytes boxName(51, 0x20);
  const Bytes header{0xF1, 0x00, 0x32, 0x29, 0x00, 0x00, 0x00, 0x07, 0x00, 0x11};
  std::copy(header.begin(), header.end(), boxName.begin());
  boxName[50] = 0x64;
  EXPECT_EQ(queued[4], boxName);

  EXPECT_EQ(d->GetMuteMask(), 0x8000u);
  EXPECT_EQ(d->GetChannelName(0), "Kick");
  EXPECT_EQ(d->GetGpioInputMode(), 3u);
  EXPECT_EQ(d->GetGpioOutputMode(), 5u);
  EXPECT_TRUE(d->IsNetworkMasterPulse());
  EXPECT_EQ(d->GetName(), "");
  // A box name change redraws the rack, the panel caption and the monitor strip.
  EXPECT_GE(frame.Count(FrameMsg::kRefreshRack), 1u);
  EXPECT_GE(frame.Count(FrameMsg::kPanelCaption), 1u);
}

TEST_F(ZelBreakModelTest, MuteOfChannelEightAndMergedGainFrames) {
  CZelBreakDevice* d = AddBox(41, 7);
  Connect(*d);
  ModelChange(d, MakeBoolParamValue(17 + 7, true));
  EXPECT_EQ(Queued(*d).back(),
            (Bytes{0xF1, 0x00, 0x0D, 0x29, 0x00, 0x00, 0x00, 0x07, 0x00, 0x09, 0x00, 0x01, 0x00, 0x38}));
  d->Queue().ClearQueue();
  // Two changes to one channel before the worker sends leave the newer; another channel stays.
  ModelChange(d, CParamValue(1, -1.0f, ParamKind::kLevel));
  ModelChange(d, CParamValue(2, -1.0f, ParamKind::kLevel));
  ModelChange(d, CParamValue(1, -2.0f, ParamKind::kLevel));
  const auto queued = Queued(*d);
  ASSERT_EQ(queued.size(), 2u);
  EXPECT_EQ(queued[0][10], 1);
  EXPECT_EQ(queued[1][10], 0);
  EXPECT_EQ(queued[1][11], 4);
  // Names are never merged.
  d->Queue().ClearQueue();
  ModelChange(d, MakeTextParamValue(33, "A"));
  ModelChange(d, MakeTextParamValue(33, "B"));
  EXPECT_EQ(Queued(*d).size(), 2u);
}

TEST_F(ZelBreakModelTest, AnAmplifierSoloSendsTheBoxNothing) {
  CZelBreakDevice* d = AddBox(41, 7);
  CZelSeriesDevice* amp = Add(51, 5);
  Connect(*d);
  Connect(*amp);
  ModelChange(amp, MakeBoolParamValue(kZelParamSolo, true));
  EXPECT_TRUE(Queued(*d).empty());
}

TEST_F(ZelBreakModelTest, IdentifyQueuesTheRawQueryOnlyWhileConnected) {
  CZelBreakDevice* d = AddBox(41, 0x01020304);
  ModelChange(d, MakeBoolParamValue(60, true));
  EXPECT_TRUE(Queued(*d).empty());
  Connect(*d);
  system.SetModified(false);
  ModelChange(d, MakeBoolParamValue(60, true));
  const auto queued = Queued(*d);
  ASSERT_EQ(queued.size(), 1u);
  EXPECT_EQ(queued[0], (Bytes{0xB0, 0x01, 0x02, 0x03, 0x04}));
  CControlMessage m;
  ASSERT_TRUE(d->Queue().PeekQueuedMessage(0, m));
  EXPECT_EQ(m.expectedLength, 24u);
  EXPECT_FALSE(system.IsModified());
}

TEST_F(ZelBreakModelTest, OfflineWritesKeepTheModelAndSendAllSettingsIsForced) {
  CZelBreakDevice* d = AddBox(40, 7);  // 8 channels
  ASSERT_TRUE(system.GetComms().SetOnline(false));
  ModelChange(d, CParamValue(2, -3.0f, ParamKind::kLevel));
  ModelChange(d, MakeBoolParamValue(17, true));
  ModelChange(d, MakeIntParamValue(59, 0x0A));
  EXPECT_TRUE(Queued(*d).empty());
  EXPECT_EQ(d->GetGain(1), 6);
  CDeviceTestAccess::SendAllSettings(static_cast<CZelBaseDevice&>(*d));
  const auto queued = Queued(*d);
  ASSERT_EQ(queued.size(), 10u);
  for (std::size_t c = 0; c < 8; ++c) {
    EXPECT_EQ(queued[c][9], 8);
    EXPECT_EQ(queued[c][10], c);
    EXPECT_EQ(queued[c][11], c == 1 ? 6 : 0);
  }
  EXPECT_EQ(Bytes(queued[8].begin() + 9, queued[8].end() - 1), (Bytes{9, 0, 0, 1}));
  EXPECT_EQ(Bytes(queued[9].begin() + 9, queued[9].end() - 1), (Bytes{37, 0x0A}));
  // Re-initialising with "send" pushes the same, and sends the box through its read-out.
  d->Queue().ClearQueue();
  d->SetBlockReceivedWord(0xFFFFFFFF);
  d->Reinitialise(1);
  EXPECT_EQ(Queued(*d).size(), 10u);
  EXPECT_EQ(d->GetHaveRead(), 0u);
  EXPECT_TRUE(d->NeedsInitialisation());
}

TEST_F(ZelBreakModelTest, DisconnectDropsTheAlarmAndAsksForAStatusRefresh) {
  CZelBreakDevice* d = AddBox(41, 7);
  Connect(*d);
  d->SetStatusForTests(true, true);
  EXPECT_EQ(d->HasWarnings(), 1u);
  d->OnDisconnected(false);
  EXPECT_FALSE(d->IsAlarmActive());
  EXPECT_EQ(d->HasWarnings(), 0u);
  bool hinted = false;
  for (const auto& m : frame.Messages())
    hinted = hinted || (m.message == FrameMsg::kStatusEvent && m.lParam == kBreakHintStatus);
  EXPECT_TRUE(hinted);
}

}  // namespace
