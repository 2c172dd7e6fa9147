// The processor's change path: the exact frame of each setting, link groups, locks, clamps and
// couplings, confirmations, the common frame (guard and exit), offline changes and merging,
// the panel calls, and one change of each group reaching simulated units end to end.
#include "tests/devices/processor/ProcessorTestSupport.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <stdexcept>

#include "core/model/Confirm.h"
#include "core/model/DeviceProperty.h"
#include "core/model/Link.h"
#include "core/support/SystemMessages.h"
#include "core/values/ValueCodes.h"
#include "devices/processor/NerexChange.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexParamIds.h"
#include "platform/Sync.h"
#include "tests/support/CollectingGrid.h"
#include "tests/support/ProcessorBus.h"
#include "tests/support/RecordingUi.h"
#include "tests/support/ModelChanges.h"

namespace {

CParamValue Float(int id, float v, ParamKind kind = ParamKind::kLevel) { return CParamValue(id, v, kind); }

// A write frame as the unit receives it, built here from the layout: header, payload (raw bytes
// 7-bit packed, or plain), checksum.
Bytes WriteFrame(int model, std::uint8_t deviceId, std::uint8_t command, const Bytes& raw, bool packed = true) {
  Bytes payload = raw;
  if (packed) {
    payload.assign(std::size_t(PackedLength7Bit(int(raw.size()))), 0);
    Pack7Bit(raw.data(), int(raw.size()), payload.data());
  }
  const std::size_t length = 8 + payload.size();
  Bytes f{0xF1, std::uint8_t((length - 1) >> 7), std::uint8_t((length - 1) & 0x7F), std::uint8_t(model), deviceId, 0,
          command};
  f.insert(f.end(), payload.begin(), payload.end());
  unsigned sum = f[0] + unsigned((length - 1) & 0xFF);
  for (std::size_t i = 3; i < f.size(); ++i) sum += f[i];
  f.push_back(std::uint8_t(sum & 0x7F));
  return f;
}

class NerexChangeTest : public ProcessorDeviceTest {
 protected:
  // The system lets go of the question box before it goes.
  ~NerexChangeTest() override { m_system.SetUiServices(nullptr); }
  void TearDown() override {
    if (m_device) m_device->SetControlPanel(nullptr);
  }
  // A device of the model whose unit answers, with the recording panel open.
  CNerexSeriesDevice& Online(int model) {
    CNerexSeriesDevice& d = Make(model);
    if (!m_system.IsPortOpen()) OpenPort();
    Connect();
    d.SetControlPanel(&panel);
    m_confirmUi.SetConfirmPrompt(&answer);
    m_system.SetUiServices(&m_confirmUi);
    m_system.SetModified(false);
    return d;
  }
  void Change(const CParamValue& v) { ModelChange(m_device, v); }
  // A person's change as a panel hands it in: its confirmation asked first.
  void Confirmed(const CParamValue& v) { ConfirmAndApplyUserChange(*m_device, v); }
  std::vector<std::uint32_t> Commands() const {
    std::vector<std::uint32_t> out;
    CControlMessage m;
    for (std::size_t i = 0; m_device->Queue().PeekQueuedMessage(i, m); ++i) out.push_back(m.command);
    return out;
  }
  bool Notified(int id) const { return std::count(panel.ids.begin(), panel.ids.end(), id) > 0; }
  bool Called(const std::string& call) const {
    return std::find(panel.calls.begin(), panel.calls.end(), call) != panel.calls.end();
  }
  CNerexSeriesMemory& Image() { return WritableSettings(*m_device); }
  std::uint8_t& Lock(int byte) { return Image().outputs.channelGroups[std::size_t(byte)]; }

  CRecordingNerexPanel panel;
  CAnswer answer;
  CRecordingUi m_confirmUi;  // asks answer; the panel and frame posts stay with m_sink
};

// --- Golden frames ---

struct FrameCase {
  const char* name;
  int model;
  CParamValue value;
  std::uint8_t command;
  Bytes raw;
  bool packed = true;
  std::function<void(CNerexSeriesMemory&)> setup = nullptr;
};

class NerexChangeFrameTest : public NerexChangeTest, public ::testing::WithParamInterface<FrameCase> {};

const FrameCase kFrameCases[] = {
    {"InputGainNerex44", 116, Float(13, 8.0f), 2, {1, 60, 0}},
    {"InputGainFennick", 16, Float(13, 8.0f), 2, {1, 80, 0}},
    {"InputGainFloor", 116, Float(13, -45.0f), 2, {1, 0x70, 0xFE}},
    {"InputGainCapOnTorvex", 121, Float(14, 12.0f), 2, {2, 60, 0}},
    {"OutputGain", 121, Float(17, 14.0f), 2, {5, 140, 0}},
    {"OutputTrim", 120, Float(17, -3.0f), 36, {5, 0xE2},
     true, [](CNerexSeriesMemory& m) { m.outputs.channelGroups[kGroupGainLockA] = 1; }},
    {"InputMuteCarriesBothMasks", 120, MakeBoolParamValue(26, true), 3, {2, 0x10},
     true, [](CNerexSeriesMemory& m) { m.outputs.muteMask = 0x10; }},
    {"OutputMute", 120, MakeBoolParamValue(30, true), 3, {0, 2}},
    {"Polarity", 120, MakeBoolParamValue(40, true), 25, {8}},
    {"InputDelayCoarse", 120, Float(249, SamplesToSeconds(1280), ParamKind::kDelay), 1, {1, 0x00, 0x05, 0}},
    {"OutputDelayFine", 120, Float(253, SamplesToSeconds(1000), ParamKind::kDelay), 1, {5, 0xE8, 0x03, 0}},
    {"LimiterLevelClamped", 120, Float(299, -15.0f), 24, {0, 5, 32, 17, 3, 12, 1}, false},
    {"LimiterClipLevel", 120, Float(307, 5.4f), 24, {0, 5, 0, 17, 3, 5, 1}, false},
    {"LimiterAttack", 120, MakeIntParamValue(315, 9), 24, {0, 5, 0, 9, 3, 12, 1}, false},
    {"MatrixRowTorvex", 121, Float(263, 0.0f), 21, {5, 37, 0x80, 0, 0, 0}},
    {"MatrixGainNearOff", 16, Float(264, -39.6f), 39, {1, 2, 0x70, 0xFE}},
    {"MatrixGainOff", 16, Float(263, -40.1f), 39, {1, 1, 0x6F, 0xFE}},
    {"HighPass", 120, Float(1100, 100.0f, ParamKind::kFrequency), 6, {5, 6, 132, 0}},
    {"LowPass", 120, Float(1109, 10000.0f, ParamKind::kFrequency), 7, {6, 6, 0x74, 1}},
    {"HighPassType", 120, MakeIntParamValue(1116, 9), 6, {5, 9, 12, 0}},
    {"OutputPeqQ", 120, Float(772 + 9 * 2 + 3, 2.0f, ParamKind::kQ), 11, {7, 0, 72, 252, 0, 0, 0}},
    {"InputPeqGain", 120, Float(572 + 8 + 2, 3.5f), 10, {2, 0, 60, 252, 0, 35, 0}},
    {"InputPeqBypass", 120, MakeBoolParamValue(636, true), 8, {1, 0x80, 60, 252, 0, 0, 0}},
    {"GeqBand", 120, Float(1200 + 28 + 5, -6.0f), 40, {2, 0, 5, 0xC4, 0xFF}},
    {"AutoLimitersSwitch", 120, MakeIntParamValue(422, 1), 33, {1}, false},
};

INSTANTIATE_TEST_SUITE_P(EachSetting, NerexChangeFrameTest, ::testing::ValuesIn(kFrameCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

TEST_P(NerexChangeFrameTest, QueuesExactlyTheSettingsFrame) {
  const FrameCase& c = GetParam();
  Online(c.model);
  if (c.setup) c.setup(Image());
  Change(c.value);
  const std::vector<Bytes> queued = Queued();
  ASSERT_EQ(queued.size(), 1u);
  EXPECT_EQ(queued[0], WriteFrame(c.model, 1, c.command, c.raw, c.packed));
  EXPECT_TRUE(m_system.IsModified());
}

TEST_F(NerexChangeTest, InputGainFrameByteForByte) {
  Online(116);
  Change(Float(13, 8.0f));
  EXPECT_EQ(Queued(), (std::vector<Bytes>{{0xF1, 0x00, 0x0B, 0x74, 0x01, 0x00, 0x02, 0x00, 0x01, 0x3C, 0x00, 0x30}}));
  EXPECT_EQ(Image().inputs.gains[0], 60);
}

// --- Link groups ---

TEST_F(NerexChangeTest, LinkedInputsGetOneFrameForTheMasterAndBothAreWritten) {
  Online(120);
  Image().inputs.linkMasks[0] = Image().inputs.linkMasks[1] = 0x03;
  Change(Float(14, 3.0f));
  EXPECT_EQ(Queued(), (std::vector<Bytes>{WriteFrame(120, 1, 2, {1, 30, 0})}));
  EXPECT_EQ(Image().inputs.gains[0], 30);
  EXPECT_EQ(Image().inputs.gains[1], 30);
  EXPECT_TRUE(Notified(13));
  EXPECT_TRUE(Notified(14));
  // A mute touches only its own channel.
  Change(MakeBoolParamValue(26, true));
  EXPECT_EQ(Image().inputs.muteMask, 0x02);
}

TEST_F(NerexChangeTest, LinkingCopiesTheMastersSettingsAndResendsTheSection) {
  CNerexSeriesDevice& d = Online(121);
  Image().inputs.gains[0] = -50;
  Image().inputs.PeqBand(0, 2).gain = 42;
  Change(MakeBoolParamValue(339 + 4 * 2 + 0, true));  // input C with input A
  EXPECT_EQ(Image().inputs.linkMasks[0], 0x05);
  EXPECT_EQ(Image().inputs.linkMasks[2], 0x05);
  EXPECT_EQ(Image().inputs.gains[2], -50);
  EXPECT_EQ(Image().inputs.PeqBand(2, 2).gain, 42);
  EXPECT_EQ(Commands(), (std::vector<std::uint32_t>{26, 42, 43}));
  EXPECT_TRUE(Called("DrawInputsSection"));

  d.Queue().ClearQueue();
  Change(MakeBoolParamValue(339 + 0 * 4 + 2, false));  // unlink C from A
  EXPECT_EQ(Image().inputs.linkMasks[0], 0x01);
  EXPECT_EQ(Image().inputs.linkMasks[2], 0x04);
  EXPECT_EQ(Commands(), (std::vector<std::uint32_t>{26, 42, 43}));

  // An output with any lock is never linked.
  d.Queue().ClearQueue();
  Lock(kGroupLimiterLock) = 1u << 5;
  Change(MakeBoolParamValue(355 + 8 * 3 + 5, true));
  EXPECT_EQ(Image().outputs.linkMasks[3], 0x08);
  EXPECT_TRUE(Queued().empty());
}

// --- Locks: nothing is written or sent, the widgets show the stored value ---

TEST_F(NerexChangeTest, LockedSettingsKeepTheirValueAndRefreshWithIt) {
  struct Case {
    int lockByte;
    CParamValue value;
  };
  const Case cases[] = {
      {kGroupGainLockB, Float(19, 6.0f)},          // with lock A: the gain is locked
      {kGroupDelayLock, Float(255, 0.01f, ParamKind::kDelay)},
      {kGroupLimiterLock, Float(301, -5.0f)},
      {kGroupPhaseLock, MakeBoolParamValue(39, true)},
      {kGroupHighPassLock, Float(1102, 300.0f, ParamKind::kFrequency)},
      {kGroupPeqBandLock + 4, Float(844 + 9 * 2 + 4, 6.0f)},
  };
  for (const Case& c : cases) {
    CNerexSeriesDevice& d = Online(120);
    Image().outputs.gains[2] = 25;
    Lock(kGroupGainLockA) = 1u << 2;  // trim state, unless lock B is set too
    Lock(c.lockByte) = 1u << 2;
    const CNerexSeriesMemory before = Image();
    CRecordingNerexPanel watcher;
    d.SetControlPanel(&watcher);
    Change(c.value);
    d.SetControlPanel(nullptr);
    EXPECT_TRUE(Queued().empty()) << c.value.id;
    EXPECT_TRUE(Image() == before) << c.value.id;
    EXPECT_TRUE(m_system.IsModified());
    ASSERT_FALSE(watcher.ids.empty()) << c.value.id;
    EXPECT_EQ(watcher.ids[0], c.value.id);
  }
  // The locked gain refreshes with the stored value, not the request.
  CNerexSeriesDevice& d = Online(120);
  Lock(kGroupGainLockA) = Lock(kGroupGainLockB) = 1u << 1;
  struct CValues : CRecordingNerexPanel {
    void NotifyParameterChanged(const CParamValue& v) override { values.push_back(v); }
    std::vector<CParamValue> values;
  } values;
  d.SetControlPanel(&values);
  Change(Float(18, 9.0f));
  d.SetControlPanel(nullptr);
  ASSERT_EQ(values.values.size(), 1u);
  EXPECT_EQ(values.values[0].value, 0.0f);
}

// A lock keeps this unit's setting and its widgets show the stored value, but a device whose
// parameter is linked to it follows what the user asked for, not the locked unit's value.
TEST_F(NerexChangeTest, ALockedSettingPassesTheRequestToLinkedDevices) {
  struct Case {
    int lockByte;
    CParamValue value;
    std::function<int(const CNerexSeriesMemory&)> stored;
    int requested;
  };
  const Case cases[] = {
      {kGroupGainLockB, Float(19, -12.5f), [](const CNerexSeriesMemory& m) { return int(m.outputs.gains[2]); }, -125},
      {kGroupDelayLock, Float(255, 10.0f, ParamKind::kDelay),
       [](const CNerexSeriesMemory& m) { return int(m.outputs.delays[2]); }, int(SecondsToSamples(false, 10.0f))},
      {kGroupLimiterLock, Float(301, -5.0f), [](const CNerexSeriesMemory& m) { return int(m.outputs.limiters[2].level); },
       27},
      {kGroupPhaseLock, MakeBoolParamValue(39, true), [](const CNerexSeriesMemory& m) { return int(m.outputs.phaseMask); },
       0x04},
      {kGroupHighPassLock, Float(1102, IndexToFreq(150), ParamKind::kFrequency),
       [](const CNerexSeriesMemory& m) { return int(m.outputs.highPass[2].frequency); }, 150},
      {kGroupPeqBandLock + 4, Float(844 + 9 * 2 + 4, 6.0f),
       [](const CNerexSeriesMemory& m) { return int(m.outputs.PeqBand(2, 4).gain); }, 60},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value.id);
    CNerexSeriesDevice& locked = Online(120);
    auto* follower = static_cast<CNerexSeriesDevice*>(CreateNerexSeriesDevice(&m_system, &m_sink, 120, 2, 0));
    m_system.AppendDevice(follower);
    for (int i = 0; i < 3; ++i) follower->UpdateCommsState(true);  // connected: it takes the change
    auto* link = new CLink("Output 3");
    link->AddRef(new CLinkRef(locked.GetUuid(), std::uint32_t(c.value.id)));
    link->AddRef(new CLinkRef(follower->GetUuid(), std::uint32_t(c.value.id)));
    m_system.Links().AppendLink(link);
    m_system.Links().SetLinksActive(true);
    Lock(kGroupGainLockA) = 1u << 2;
    Lock(c.lockByte) = 1u << 2;
    const CNerexSeriesMemory before = Image();
    struct CValues : CRecordingNerexPanel {
      void NotifyParameterChanged(const CParamValue& v) override { values.push_back(v); }
      std::vector<CParamValue> values;
    } shown;
    locked.SetControlPanel(&shown);
    Change(c.value);
    locked.SetControlPanel(nullptr);
    EXPECT_TRUE(Image() == before);
    ASSERT_FALSE(shown.values.empty());
    const CParamValue stored = locked.GetCurrentValue(c.value.id);
    EXPECT_EQ(shown.values[0].value, stored.value);
    EXPECT_EQ(shown.values[0].flag, stored.flag);
    EXPECT_EQ(c.stored(follower->GetCurrentSettings()), c.requested);
    m_system.Links().DeleteAllLinks();
    m_system.DeleteDevice(m_system.GetDeviceIndex(follower));
  }
}

// --- Clamps and couplings ---

// Whatever is typed or linked in, the code is clamped before any arithmetic on it: a limiter
// level of -9999999999 dB is the lowest level (it was the highest), a dynamic-EQ effect of
// -9999999999 dB the smallest effect.
TEST_F(NerexChangeTest, ValuesFarBeyondTheirRangesGiveTheNearerEndOfTheCodeRange) {
  struct Case {
    CParamValue value;
    std::function<int(const CNerexSeriesMemory&)> stored;
    int code;
  };
  auto limiterLevel = [](const CNerexSeriesMemory& m) { return int(m.outputs.limiters[1].level); };
  auto deqEffect = [](const CNerexSeriesMemory& m) { return int(m.DeqBand(1, 2).effect); };
  auto deqThreshold = [](const CNerexSeriesMemory& m) { return int(m.DeqBand(1, 2).threshold); };
  auto compThreshold = [](const CNerexSeriesMemory& m) { return int(m.outputs.compressors[1].threshold); };
  auto matrix = [](const CNerexSeriesMemory& m) { return int(m.outputs.matrixLevels[1][2]); };
  auto limiterAttack = [](const CNerexSeriesMemory& m) { return int(m.outputs.limiters[1].attack); };
  auto phaseQ = [](const CNerexSeriesMemory& m) { return int(m.outputs.PeqBand(1, 3).q); };
  const float nan = std::nanf("");
  const Case cases[] = {
      {Float(300, -9999999999.0f), limiterLevel, 32},
      {Float(300, 9999999999.0f), limiterLevel, 0},
      {Float(300, -1e20f), limiterLevel, 32},
      {Float(1542 + 5, -9999999999.0f), deqEffect, 0},
      {Float(1542 + 5, 9999999999.0f), deqEffect, 12},
      {Float(1446 + 5, -9999999999.0f), deqThreshold, 108},
      {Float(1446 + 5, 9999999999.0f), deqThreshold, 0},
      {Float(1364 + 1, -9999999999.0f), compThreshold, 44},
      {Float(1364 + 1, 9999999999.0f), compThreshold, 0},
      {Float(263 + 4 + 2, -9999999999.0f), matrix, 551},
      {Float(263 + 4 + 2, 9999999999.0f), matrix, 0},
      {MakeIntParamValue(315 + 1, 300), limiterAttack, 19},
      {Float(772 + 9 + 3, 9999999999.0f, ParamKind::kPhase), phaseQ, 89},
      {Float(772 + 9 + 3, nan, ParamKind::kPhase), phaseQ, 0},
      {MakeIntParamValue(916 + 9 + 4, 19), [](const CNerexSeriesMemory& m) { return m.outputs.PeqBand(1, 4).type & 0x7F; },
       12},
      {MakeIntParamValue(1124 + 1, 19), [](const CNerexSeriesMemory& m) { return int(m.outputs.lowPass[1].q); }, 11},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.value.id << " " << c.value.value << " " << c.value.integer);
    Online(121);
    Image().outputs.autoLimiters = 0;
    Image().outputs.PeqBand(1, 3).type = 8;  // phase: its Q travels as degrees
    Image().outputs.PeqBand(1, 3).q = 40;
    Change(c.value);
    EXPECT_EQ(c.stored(Image()), c.code);
  }
}

TEST_F(NerexChangeTest, CrossoverKeepsTheHighPassAtOrBelowTheLowPass) {
  Online(120);
  Image().outputs.lowPass[0].frequency = 300;
  Change(Float(1100, 20000.0f, ParamKind::kFrequency));  // above the high-pass range and above the low-pass
  EXPECT_EQ(Image().outputs.highPass[0].frequency, 300);
  Image().outputs.highPass[1].frequency = 200;
  Change(Float(1109, 20.0f, ParamKind::kFrequency));  // below the low-pass range and below the high-pass
  EXPECT_EQ(Image().outputs.lowPass[1].frequency, 200);
  // The high-pass moves the automatic limiter times.
  Image().outputs.lowPass[3].frequency = 433;
  Image().outputs.autoLimiters = 1;
  Change(Float(1103, IndexToFreq(100), ParamKind::kFrequency));
  EXPECT_EQ(Image().outputs.limiters[3].attack, 14);
}

TEST_F(NerexChangeTest, CompressorAttackAndReleaseKeepTheirDistance) {
  Online(121);
  NerexCompressor& c = Image().outputs.compressors[2];
  c.attack = 0;
  c.release = 10;
  Change(Float(1380 + 2, IndexToQuarterStep(51), ParamKind::kTime));
  EXPECT_EQ(c.attack, 51);
  EXPECT_EQ(c.release, 14);
  EXPECT_TRUE(Notified(1388 + 2));
  c.release = 20;
  c.attack = 10;
  Change(Float(1380 + 2, IndexToQuarterStep(51), ParamKind::kTime));
  EXPECT_EQ(c.release, 20);
  c.attack = 45;
  Change(Float(1388 + 2, IndexToQuarterStep(37), ParamKind::kTime));  // release code 0
  EXPECT_EQ(c.release, 0);
  EXPECT_EQ(c.attack, 37);
  // Threshold and ratio codes, each clamped; an unchanged code sends nothing.
  m_device->Queue().ClearQueue();
  Change(Float(1364 + 2, 30.0f));
  EXPECT_EQ(c.threshold, 0);
  EXPECT_TRUE(Queued().empty());
  Change(Float(1372 + 2, 4.0f, ParamKind::kRatio));
  EXPECT_EQ(c.ratio, 8);
  EXPECT_EQ(Commands(), (std::vector<std::uint32_t>{23}));
}

TEST_F(NerexChangeTest, DynamicEqClampsCouplesAndFollowsTheLinkingFlag) {
  Online(121);
  Image().inputs.linkMasks[2] = Image().inputs.linkMasks[3] = 0x0C;
  NerexDeqBand& band = Image().DeqBand(2, 1);
  band.release = 0;
  Change(Float(1470 + 3 * 2 + 1, IndexToQuarterStep(40), ParamKind::kTime));  // attack
  EXPECT_EQ(band.attack, 40);
  EXPECT_EQ(band.release, 11);
  EXPECT_EQ(Image().DeqBand(3, 1).attack, 40);  // channel links
  EXPECT_TRUE(Notified(1578 + 3 * 3 + 1));
  EXPECT_TRUE(Called("SelectDeqBand 1 outer"));

  // With dynamic-EQ linking a change writes the one input only.
  Image().deqLinking = 1;
  m_device->Queue().ClearQueue();
  Change(Float(1446 + 3 * 2 + 1, -10.0f));  // threshold: 44 + 20 = 64
  EXPECT_EQ(band.threshold, 64);
  EXPECT_NE(Image().DeqBand(3, 1).threshold, 64);
  ASSERT_EQ(Queued().size(), 1u);
  EXPECT_EQ(Queued()[0][6], 22);

  // A filter kind equal to the stored one does nothing at all.
  panel.ids.clear();
  m_device->Queue().ClearQueue();
  Change(MakeIntParamValue(1506 + 3 * 2 + 1, band.filterKind));
  EXPECT_TRUE(Queued().empty());
  EXPECT_TRUE(panel.ids.empty());
  // A low shelf limits the Q.
  band.q = 0;
  Change(MakeIntParamValue(1506 + 3 * 2 + 1, 2));
  EXPECT_EQ(band.filterKind, 2);
  EXPECT_EQ(band.q, 84);
}

// The output curve holds the high-pass as band 9 and the low-pass as band 10: a crossover
// change selects its band, so that the curve is recomputed and a drag of its handle goes on.
TEST_F(NerexChangeTest, CrossoverChangesSelectTheirBandOfTheOutputCurve) {
  Online(120);
  const std::pair<CParamValue, const char*> cases[] = {
      {Float(1100 + 2, 200.0f, ParamKind::kFrequency), "SelectOutputEqBand 9 outer"},
      {Float(1108 + 2, 5000.0f, ParamKind::kFrequency), "SelectOutputEqBand 10 outer"},
      {MakeIntParamValue(1116 + 2, 9), "SelectOutputEqBand 9 outer"},
      {MakeIntParamValue(1124 + 2, 4), "SelectOutputEqBand 10 outer"},
  };
  for (const auto& [value, call] : cases) {
    panel.calls.clear();
    Change(value);
    EXPECT_EQ(std::count(panel.calls.begin(), panel.calls.end(), std::string(call)), 1) << value.id;
  }
}

// The bypass byte keeps the filter type's four bits beside the bypass bit.
TEST_F(NerexChangeTest, PeqBypassKeepsOnlyTheTypeBitsBesideTheBypassBit) {
  Online(120);
  Image().inputs.PeqBand(0, 1).type = 0x32;  // bits 4-6 set by a unit, type 2
  Change(MakeBoolParamValue(636 + 1, true));
  EXPECT_EQ(Image().inputs.PeqBand(0, 1).type, 0x82);
  Change(MakeBoolParamValue(636 + 1, false));
  EXPECT_EQ(Image().inputs.PeqBand(0, 1).type, 0x02);
}

TEST_F(NerexChangeTest, ParametricTypeForcesTheRangesAndRenotifies) {
  Online(120);
  NerexEqBand& b = Image().outputs.PeqBand(1, 0);
  b.gain = 60;
  Change(MakeIntParamValue(916 + 9, 5));  // all-pass: no gain
  EXPECT_EQ(b.type, 5);
  EXPECT_EQ(b.gain, 0);
  EXPECT_TRUE(Notified(844 + 9));
  EXPECT_EQ(Commands(), (std::vector<std::uint32_t>{8}));
  // A frequency whose code rounds to 0 changes nothing on the unit.
  m_device->Queue().ClearQueue();
  Change(Float(508, 7.8125f, ParamKind::kFrequency));
  EXPECT_TRUE(Queued().empty());
  EXPECT_EQ(Image().inputs.PeqBand(0, 0).frequency, 252);
}

TEST_F(NerexChangeTest, GraphicEqFlattenIsConfirmedAndCoversTheLinkGroup) {
  Online(120);
  Image().inputs.linkMasks[0] = Image().inputs.linkMasks[1] = 0x03;
  Image().geq.bands[0][3] = 40;
  Image().geq.bands[1][7] = -20;
  answer.ok = false;
  Confirmed(MakeBoolParamValue(1321, true));
  EXPECT_EQ(answer.asked, 1);
  EXPECT_EQ(Image().geq.bands[0][3], 40);
  EXPECT_TRUE(Queued().empty());
  // Declined before it went in, nothing changed, in the file either.
  EXPECT_FALSE(m_system.IsModified());
  answer.ok = true;
  Confirmed(MakeBoolParamValue(1321, true));
  EXPECT_EQ(answer.asked, 2);
  EXPECT_EQ(Image().geq.bands[0][3], 0);
  EXPECT_EQ(Image().geq.bands[1][7], 0);
  EXPECT_EQ(Commands(), (std::vector<std::uint32_t>{42}));
  EXPECT_TRUE(Called("RefreshGeqSection"));
}

// --- Routing and the section actions ---

TEST_F(NerexChangeTest, RoutingDeclinedChangesNothingAcceptedMutesEveryOutput) {
  Online(118);  // six outputs
  answer.ok = false;
  Confirmed(MakeBoolParamValue(449, true));
  EXPECT_EQ(answer.asked, 1);
  EXPECT_EQ(Image().outputs.routingMasks[2], 0x01);
  EXPECT_EQ(Image().outputs.muteMask, 0);
  EXPECT_TRUE(Queued().empty());
  // The button shows the routing held again; declined before it went in, the file is unchanged.
  EXPECT_EQ(panel.ids, (std::vector<int>{449}));
  EXPECT_FALSE(m_system.IsModified());

  answer.ok = true;
  panel.ids.clear();
  Confirmed(MakeBoolParamValue(449, true));
  EXPECT_EQ(Image().outputs.routingMasks[2], 0x05);
  EXPECT_EQ(Image().outputs.muteMask, 0x3F);
  EXPECT_EQ(panel.ids, (std::vector<int>{29, 30, 31, 32, 33, 34}));
  EXPECT_EQ(Commands(), (std::vector<std::uint32_t>{31}));
}

TEST_F(NerexChangeTest, RoutingPutsAnInputDelayBackWithinTheBudget) {
  Online(120);
  Image().inputs.delays[2] = 5000000;
  Image().outputs.delays[1] = 4000000;
  Change(MakeBoolParamValue(439 + 4 * 1 + 2, true));
  EXPECT_EQ(Image().inputs.delays[2], kNerexDelayLimit - 4000000);
  EXPECT_EQ(Commands(), (std::vector<std::uint32_t>{31, 1}));
  EXPECT_TRUE(Notified(251));
}

TEST_F(NerexChangeTest, AutoLimitersSetTheTimesFromTheHighPassAndOffKeepsThem) {
  Online(120);
  Image().outputs.highPass[4].frequency = 100;
  Change(MakeIntParamValue(422, 1));
  EXPECT_EQ(Image().outputs.limiters[4], (NerexLimiter{0, 14, 3, 12, 1}));
  Image().outputs.limiters[4].attack = 5;
  panel.ids.clear();
  Change(MakeIntParamValue(422, 0));
  EXPECT_EQ(Image().outputs.limiters[4].attack, 5);
  EXPECT_EQ(Image().outputs.autoLimiters, 0);
  EXPECT_EQ(panel.ids.size(), 25u);
  EXPECT_EQ(panel.ids.back(), 422);
}

TEST_F(NerexChangeTest, MixingModeIsConfirmedAndSetsTheMatrixFromTheRouting) {
  Online(121);
  Image().outputs.routingMasks[0] = 0x03;
  Image().outputs.routingMasks[1] = 0x0F;
  Confirmed(MakeBoolParamValue(kParamMixerOn, true));
  EXPECT_EQ(Image().outputs.mixerFlag, 1);
  EXPECT_EQ(Image().outputs.matrixLevels[0], (std::array<std::uint16_t, 4>{210, 210, 551, 551}));
  EXPECT_EQ(Image().outputs.matrixLevels[1], (std::array<std::uint16_t, 4>{270, 270, 270, 270}));
  EXPECT_EQ(Commands(), (std::vector<std::uint32_t>{31}));
  EXPECT_TRUE(Called("SelectSideTab 295"));
  m_device->Queue().ClearQueue();
  Confirmed(MakeBoolParamValue(kParamMixerOn, true));  // unchanged
  EXPECT_TRUE(Queued().empty());
  Confirmed(MakeBoolParamValue(kParamMixerOff, true));
  EXPECT_EQ(Image().outputs.muteMask, 0xFF);
  EXPECT_EQ(answer.asked, 3);
}

// --- The common frame ---

TEST_F(NerexChangeTest, ACallForTheSameIdDuringItsOwnChangeReturnsAtOnce) {
  CNerexSeriesDevice& d = Online(120);
  struct CEcho : CRecordingNerexPanel {
    void NotifyParameterChanged(const CParamValue& v) override {
      ids.push_back(v.id);
      ModelChange(device, Float(v.id, -20.0f));
    }
    CNerexSeriesDevice* device = nullptr;
  } echo;
  echo.device = &d;
  d.SetControlPanel(&echo);
  Change(Float(17, 2.0f));
  d.SetControlPanel(nullptr);
  EXPECT_EQ(Image().outputs.gains[0], 20);
  EXPECT_EQ(Queued().size(), 1u);
  EXPECT_EQ(echo.ids, (std::vector<int>{17}));
}

TEST_F(NerexChangeTest, TheExitRunsWhenTheChangeIsThrownOutOf) {
  CNerexSeriesDevice& d = Online(120);
  struct CThrowing : CRecordingNerexPanel {
    void NotifyParameterChanged(const CParamValue&) override { throw std::runtime_error("panel"); }
  } throwing;
  d.SetControlPanel(&throwing);
  EXPECT_THROW(Change(Float(13, 1.0f)), std::runtime_error);
  d.SetControlPanel(&panel);
  EXPECT_TRUE(m_system.IsModified());
  EXPECT_TRUE(d.IsOutermostChange(13) == false);
  Change(Float(13, 2.0f));  // the id is free again
  EXPECT_EQ(Image().inputs.gains[0], 20);
  EXPECT_TRUE(Notified(13));
}

TEST_F(NerexChangeTest, OfflineChangesOnlyTheModelOnlineAFastDragLeavesOneFrame) {
  CNerexSeriesDevice& d = Make(120);
  Change(Float(15, -12.5f));
  EXPECT_EQ(d.GetCurrentSettings().inputs.gains[2], -125);
  EXPECT_EQ(d.Queue().GetQueueSize(), 0u);
  EXPECT_TRUE(m_system.IsModified());

  Online(120);
  for (int step = 0; step < 50; ++step) Change(Float(15, -20.0f + 0.5f * float(step)));
  Change(Float(16, 1.0f));
  EXPECT_EQ(Queued(), (std::vector<Bytes>{WriteFrame(120, 1, 2, {3, 0x2D, 0}), WriteFrame(120, 1, 2, {4, 10, 0})}));
}

TEST_F(NerexChangeTest, IdsWithoutActionOnlyMarkTheFileModified) {
  Online(120);
  const CNerexSeriesMemory before = Image();
  for (int id : {419, 430, 471, 494, 496, 1352}) {
    m_system.SetModified(false);
    Change(MakeBoolParamValue(id, true));
    EXPECT_TRUE(m_system.IsModified()) << id;
  }
  EXPECT_TRUE(Image() == before);
  EXPECT_TRUE(Queued().empty());
  EXPECT_TRUE(panel.ids.empty());
  EXPECT_TRUE(panel.calls.empty());
}

// --- Names and the panel's own ids ---

TEST_F(NerexChangeTest, NamesTheUnitKeepsAreSentAndTheFrameHearsOfTheDeviceName) {
  CNerexSeriesDevice& d = Online(120);
  const std::size_t before = m_sink.Messages().size();
  // A channel name the unit would not keep as given (a character beyond ASCII, a ninth
  // character, a tab) changes nothing, from whichever control it came.
  for (const char* refused : {"B\xC3\xBChne", "Kick Drum", "Kick\tDr"}) {
    Change(MakeTextParamValue(130, refused));
    EXPECT_EQ(std::string(Image().inputs.names[2].data(), 8), "Ch C    ") << refused;
  }
  EXPECT_TRUE(Queued().empty());
  Change(MakeTextParamValue(130, "B?hne Li"));
  EXPECT_EQ(std::string(Image().inputs.names[2].data(), 8), "B?hne Li");
  Change(MakeTextParamValue(58, "Stage Left"));
  EXPECT_EQ(d.GetName(), "Stage Left");
  const std::vector<Bytes> queued = Queued();
  ASSERT_EQ(queued.size(), 2u);
  EXPECT_EQ(queued[1].size(), 144u);
  EXPECT_EQ(std::string(queued[1].begin() + 7, queued[1].begin() + 17), "Stage Left");
  EXPECT_EQ(std::string(queued[1].begin() + 63, queued[1].begin() + 71), "B?hne Li");
  std::vector<std::uint32_t> posted;
  const auto messages = m_sink.Messages();
  for (std::size_t i = before; i < messages.size(); ++i) posted.push_back(messages[i].message);
  EXPECT_EQ(posted,
            (std::vector<std::uint32_t>{FrameMsg::kRefreshRack, FrameMsg::kPanelCaption, FrameMsg::kRedrawMeterEntry}));
  EXPECT_TRUE(Notified(58));
}

TEST_F(NerexChangeTest, PanelIdsMoveThePanelAndSendNothing) {
  CNerexSeriesDevice& d = Online(120);
  Image().inputs.linkMasks[2] = Image().inputs.linkMasks[3] = 0x0C;
  Change(MakeBoolParamValue(61, true));
  Change(MakeBoolParamValue(123, true));
  EXPECT_EQ(d.PanelView().GetPanelPage(), 61u);
  EXPECT_EQ(d.PanelView().GetSelectedInput(), 2u);
  Change(MakeBoolParamValue(243, true));
  EXPECT_EQ(d.PanelView().GetPanelPage(), 63u);
  EXPECT_EQ(d.PanelView().GetSelectedOutput(), 2u);
  Change(MakeBoolParamValue(296, true));
  Change(MakeIntParamValue(261, 2));
  Change(MakeIntParamValue(262, 100));
  Change(MakeIntParamValue(1594, 1));
  EXPECT_EQ(d.PanelView().GetSideTab(), 296u);
  EXPECT_EQ(d.HostOptions().GetDelayUnits(), 2u);
  EXPECT_EQ(d.HostOptions().GetDelayMultiplier(), 100u);
  EXPECT_EQ(d.HostOptions().GetGainNudge(), 1u);
  EXPECT_EQ(panel.calls, (std::vector<std::string>{"ShowPage 61", "ShowPageControls", "ShowPage 63", "SelectSideTab 296",
                                                   "ApplyDelayDisplay 1", "ApplyDelayDisplay 0", "ApplyGainNudge"}));
  EXPECT_TRUE(Queued().empty());
}

// --- End to end: one change of each group reaches the unit ---

class NerexChangeBusTest : public ::testing::TestWithParam<int> {};

TEST_P(NerexChangeBusTest, OneChangeOfEachGroupReachesTheUnitsImage) {
  const int model = GetParam();
  CProcessorBus bus;
  bus.DecideOnEvents();
  CSimProcessorUnit* unit = bus.AddUnit(model, 3);
  CNerexSeriesMemory start = unit->Current();
  start.outputs.channelGroups[kGroupGainLockA] = 1u << 6;  // output 7 takes a trim
  unit->SetCurrent(start);
  CNerexSeriesDevice* d = bus.AddDevice(model, 3);
  CAnswer answer;
  bus.Frame().SetConfirmPrompt(&answer);
  ASSERT_TRUE(bus.StartWorker(0));
  ASSERT_TRUE(bus.WaitFor([&] { return d->AllBlocksReceived() && d->IsConnected(); }));

  const bool torvex = model == kModelTorvex48;
  std::vector<CParamValue> changes = {
      MakeBoolParamValue(339 + 4 * 1 + 0, true),  // link inputs A and B
      Float(14, 4.5f),                            // input gain, sent for A, ganged on the unit
      Float(18, -7.0f),
      Float(23, -2.5f),
      MakeBoolParamValue(27, true),
      MakeBoolParamValue(41, true),
      Float(250, SamplesToSeconds(25600), ParamKind::kDelay),
      Float(254, SamplesToSeconds(400), ParamKind::kDelay),
      Float(300, 10.0f),
      MakeTextParamValue(133, "Sub"),
      MakeTextParamValue(58, "Front Fill"),
      Float(508 + 8 * 1 + 4, 2500.0f, ParamKind::kFrequency),
      Float(844 + 9 * 3 + 2, -4.5f),
      Float(1102, 80.0f, ParamKind::kFrequency),
      MakeIntParamValue(1127, 5),
      Float(1200 + 28 * 1 + 9, 3.0f),
      MakeIntParamValue(422, 0),
      MakeBoolParamValue(439 + 4 * 2 + 1, true),
  };
  if (torvex) {
    changes.push_back(Float(263 + 4 * 2 + 1, -6.0f));
    changes.push_back(Float(1364 + 5, 8.0f));
    changes.push_back(Float(1446 + 3 * 3 + 2, -12.0f));
    changes.push_back(MakeBoolParamValue(kParamMixerOn, true));
  }
  for (const CParamValue& v : changes) ModelChange(d, v);
  // The queue keeps the order of the changes: once the last one's frame is in, all are.
  ASSERT_TRUE(bus.WaitFor([&] { return unit->WritesOf(31).size() == (torvex ? 2u : 1u); }));

  CSingleLock lock(bus.System().GetLock());
  const CNerexSeriesMemory u = unit->Current();
  const CNerexSeriesMemory& m = d->GetCurrentSettings();
  EXPECT_EQ(u.inputs.linkMasks[1], 0x03);
  EXPECT_EQ(u.inputs.gains[0], 45);
  EXPECT_EQ(u.inputs.gains[1], 45);
  EXPECT_EQ(u.outputs.gains[1], -70);
  EXPECT_EQ(u.outputs.trims[6], -25);
  EXPECT_EQ(u.inputs.muteMask, m.inputs.muteMask);
  EXPECT_EQ(u.outputs.muteMask, m.outputs.muteMask);
  EXPECT_EQ(u.outputs.phaseMask, 0x10);
  EXPECT_EQ(u.inputs.delays[0], 25600u);
  EXPECT_EQ(u.outputs.delays[1], 400u);
  EXPECT_EQ(u.outputs.limiters[1], m.outputs.limiters[1]);
  EXPECT_EQ(u.outputs.limiters[1].level, 12);
  EXPECT_EQ(unit->DeviceName(), "Front Fill");
  EXPECT_EQ(std::string(u.outputs.names[1].data(), 8), "Sub     ");
  EXPECT_EQ(u.inputs.PeqBand(0, 4).frequency, FreqToIndex(2500.0f));
  EXPECT_EQ(u.inputs.PeqBand(1, 4).frequency, m.inputs.PeqBand(1, 4).frequency);
  EXPECT_EQ(u.outputs.PeqBand(3, 2).gain, -45);
  EXPECT_EQ(u.outputs.highPass[2].frequency, m.outputs.highPass[2].frequency);
  EXPECT_EQ(u.outputs.lowPass[3].q, 5);
  EXPECT_EQ(u.geq.bands[0][9], 30);
  EXPECT_EQ(u.geq.bands[1][9], 30);
  EXPECT_EQ(u.outputs.autoLimiters, 0);
  EXPECT_EQ(u.outputs.routingMasks[2], 0x03);
  if (torvex) {
    EXPECT_EQ(u.outputs.mixerFlag, 1);
    EXPECT_EQ(u.outputs.matrixLevels[2], (std::array<std::uint16_t, 4>{210, 210, 551, 551}));
    EXPECT_EQ(u.outputs.compressors[5], m.outputs.compressors[5]);
    EXPECT_EQ(u.outputs.compressors[5].threshold, 14);
    EXPECT_EQ(u.DeqBand(3, 2).threshold, 68);
  }
}

INSTANTIATE_TEST_SUITE_P(TwoModels, NerexChangeBusTest, ::testing::Values(120, 121),
                         [](const ::testing::TestParamInfo<int>& info) { return "Model" + std::to_string(info.param); });

// --- Property edits reach the device through the change path ---

TEST_F(NerexChangeTest, PropertyEditsOfNameAndDelayDisplayTakeEffect) {
  CNerexSeriesDevice& d = Online(120);
  // Sets the grid row with that id and commits it, as the properties pane does.
  auto edit = [&](std::uint32_t id, const std::function<void(CDeviceProperty&)>& set) {
    CCollectingGrid grid;
    d.FillPropertiesPane(grid);
    CDeviceProperty* row = grid.Row(id);
    if (!row) return false;
    set(*row);
    return CommitPropertyRow(d, *row);
  };
  EXPECT_TRUE(edit(58, [](CDeviceProperty& row) { row.SetValue(std::string("Main Hang")); }));
  EXPECT_EQ(d.GetName(), "Main Hang");
  EXPECT_EQ(Commands(), (std::vector<std::uint32_t>{35}));
  auto choose = [](int index) { return [index](CDeviceProperty& row) { row.SetComboSelection(index); }; };
  EXPECT_TRUE(edit(261, choose(1)));
  EXPECT_EQ(d.HostOptions().GetDelayUnits(), 1u);
  EXPECT_TRUE(edit(262, choose(6)));
  EXPECT_EQ(d.HostOptions().GetDelayMultiplier(), 1000000u);
  EXPECT_TRUE(Called("ApplyDelayDisplay 1"));
  EXPECT_TRUE(Called("ApplyDelayDisplay 0"));
  EXPECT_TRUE(m_system.IsModified());
}

// --- Delays and matrix codes at their edges ---

TEST_F(NerexChangeTest, DelaysKeepTheBudgetAndAZeroOnZeroSendsNothing) {
  Online(120);
  Change(Float(249, 0.0f, ParamKind::kDelay));
  EXPECT_TRUE(Queued().empty());
  EXPECT_TRUE(Notified(249));
  // Input A feeds every output; output 4's delay leaves it the remainder of the budget.
  Image().outputs.delays[3] = 7000000;
  Change(Float(249, SamplesToSeconds(2000000), ParamKind::kDelay));
  EXPECT_EQ(Image().inputs.delays[0], 987200u);
  EXPECT_EQ(Queued(), (std::vector<Bytes>{WriteFrame(120, 1, 1, {1, 0x40, 0x10, 0x0F})}));
}

TEST_F(NerexChangeTest, TorvexMatrixGainsBecomeAttenuationCodes) {
  Online(121);
  const std::uint16_t& stored = Image().outputs.matrixLevels[7][3];
  const std::pair<float, int> cases[] = {{0.0f, 150}, {-40.0f, 550}, {-60.0f, 551}, {15.0f, 0}, {-3.04f, 180}};
  for (const auto& [db, code] : cases) {
    Change(Float(263 + 4 * 7 + 3, db));
    EXPECT_EQ(stored, code) << db;
  }
  EXPECT_EQ(Commands(), std::vector<std::uint32_t>(5, 21));
  // Full level on a point that is already at full level is not sent again.
  Image().outputs.matrixLevels[7][3] = 0;
  m_device->Queue().ClearQueue();
  Change(Float(263 + 4 * 7 + 3, 20.0f));
  EXPECT_TRUE(Queued().empty());
}

TEST(NerexChangeSimulator, TrimMatrixCrossoverPolarityAndSwitchWritesReachTheImage) {
  CSimProcessorUnit unit(16, 1);
  for (const Bytes& frame : {WriteFrame(16, 1, 36, {7, 0xF6}), WriteFrame(16, 1, 39, {2, 3, 0x70, 0xFE}),
                             WriteFrame(16, 1, 7, {6, 11, 0x10, 1}), WriteFrame(16, 1, 25, {0x81}),
                             WriteFrame(16, 1, 33, {0}, false), WriteFrame(16, 1, 3, {0x05, 0x80})})
    EXPECT_FALSE(unit.Handle(frame).Wire().empty());
  const CNerexSeriesMemory image = unit.Current();
  EXPECT_EQ(image.outputs.trims[2], -10);
  EXPECT_EQ(image.inputs.matrixGains[1][2], -400);
  EXPECT_EQ(image.outputs.lowPass[1].q, 11);
  EXPECT_EQ(image.outputs.lowPass[1].frequency, 0x110);
  EXPECT_EQ(image.outputs.phaseMask, 0x81);
  EXPECT_EQ(image.outputs.autoLimiters, 0);
  EXPECT_EQ(image.inputs.muteMask, 0x05);
  EXPECT_EQ(image.outputs.muteMask, 0x80);
}
