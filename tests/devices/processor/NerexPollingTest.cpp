// The processor's polling schedule: probes before the security step, the paste gate, the order
// of the read-back against a simulated unit, the preset passes, and the meter and status
// counters once the device is initialised.
#include "core/support/SystemMessages.h"
#include "tests/devices/processor/ProcessorTestSupport.h"

#include "core/model/ControlPanel.h"
#include "devices/processor/NerexPresets.h"
#include "devices/processor/NerexValueRanges.h"
#include "devices/processor/NerexReadBack.h"

namespace {

class NerexPollingTest : public ProcessorDeviceTest {
 protected:
  // A device of the model, read in full from a unit with its defaults; the counter at 0.
  CNerexSeriesDevice& Initialised(int model, CSimProcessorUnit& unit) {
    CNerexSeriesDevice& d = Make(model, unit.DeviceId());
    d.SetNeedsInitialisation(false);
    CLoopback loop(m_system, d, unit);
    EXPECT_TRUE(loop.ReadInFull());
    d.SetPollCounter(0);
    return d;
  }

  // Runs one poll call per counter value from..to and gives the command built (0 for none).
  std::vector<std::uint32_t> PollRun(CNerexSeriesDevice& d, int calls) {
    std::vector<std::uint32_t> out;
    for (int i = 0; i < calls; ++i) {
      CControlMessage m;
      out.push_back(d.GetNextPollMessage(m) ? m.command : 0);
    }
    return out;
  }
};

}  // namespace

// A simulated unit reports every code within the range the change path writes, unless a test
// gives it other values: a new Torvex48 read back no longer shows a compressor release code of
// 51 ("311744ms").
TEST_F(NerexPollingTest, ASimulatedUnitReportsCodesWithinTheirWrittenRanges) {
  for (int model : {121, 120}) {
    SCOPED_TRACE(model);
    CSimProcessorUnit unit(model, 1);
    CNerexSeriesDevice& d = Initialised(model, unit);
    CNerexSeriesMemory image = d.GetCurrentSettings();
    EXPECT_EQ(CheckMemoryValues(image, model, false).count, 0);
    for (const NerexCompressor& c : image.outputs.compressors) {
      EXPECT_TRUE(kCompressorReleaseCodes.Holds(c.release)) << int(c.release);
      EXPECT_TRUE(kCompressorAttackCodes.Holds(c.attack)) << int(c.attack);
    }
    for (std::size_t n = 1; n <= 3; ++n)
      for (const NerexCompressor& c : unit.Preset(n).outputs.compressors)
        EXPECT_TRUE(kCompressorReleaseCodes.Holds(c.release)) << int(c.release);
  }
}

TEST_F(NerexPollingTest, DeviceAwaitingSecurityIsProbedOnceEveryTwelveTurns) {
  CNerexSeriesDevice& d = Make(120, 9);
  CControlMessage m;
  for (int i = 0; i < 11; ++i) EXPECT_FALSE(d.GetNextPollMessage(m)) << i;
  ASSERT_TRUE(d.GetNextPollMessage(m));
  EXPECT_EQ(m.command, 176u);
  EXPECT_EQ(FrameBytes(m), (Bytes{0xB0, 9}));
  EXPECT_EQ(m.expectedLength, 21u);
  EXPECT_EQ(m.replyStart, 0xB8);
  EXPECT_FALSE(m.write);
  EXPECT_EQ(d.GetPollCounter(), 0u);
  EXPECT_FALSE(d.GetNextPollMessage(m));
}

TEST_F(NerexPollingTest, PasteInProgressSendsNothingNotEvenQueuedChangesAndKeepsTheCounter) {
  CNerexSeriesDevice& d = Make(120);
  d.SetNeedsInitialisation(false);
  d.Reinitialise(1);  // queues forced writes
  d.SetNeedsInitialisation(false);
  d.SetPollCounter(5);
  d.PasteGate().BeginPaste();
  CControlMessage m;
  EXPECT_FALSE(d.GetNextPollMessage(m));
  EXPECT_EQ(d.GetPollCounter(), 5u);
  d.PasteGate().EndPaste();
  ASSERT_TRUE(d.GetNextPollMessage(m));
  EXPECT_EQ(m.command, 30u);  // the queued writes go first: memory 1 is empty
  d.SetIgnored(true);
  EXPECT_FALSE(d.GetNextPollMessage(m));
}

TEST_F(NerexPollingTest, TorvexReadBackAsksEveryBlockThenPresetsThenCrossoversThenNames) {
  OpenPort();
  CSimProcessorUnit unit(121, 3);
  unit.SetPresetCount(4);
  CNerexSeriesMemory used;
  used.sectionFlags = kSectionInputs | kSectionOutputs;
  unit.SetPreset(2, used);
  unit.SetXoverPresetCount(2);
  CNerexSeriesMemory xover;
  xover.sectionFlags = kSectionOutputs;
  unit.SetXoverPreset(1, xover);

  CNerexSeriesDevice& d = Make(121, 3);
  d.SetNeedsInitialisation(false);
  ResizePresetList(WritablePresets(d), 4);
  ResizeXoverPresetList(WritableXoverPresets(d), 2);
  CLoopback loop(m_system, d, unit);
  ASSERT_TRUE(loop.ReadInFull());
  EXPECT_EQ(loop.Trace(),
            (std::vector<std::string>{"176", "48/0", "50/0", "52/0", "54/0", "53/1", "53/2", "53/3", "53/4",
                                      "49/2", "48/2", "50/2", "52/2", "54/2", "53/257", "53/258", "49/258",
                                      "50/258", "51"}));
  EXPECT_EQ(CNerexReadBack(d).GetReceivedMask() & 0xE7F, 0xE7Fu);
  EXPECT_EQ(d.GetPresets()[1]->sectionFlags, used.sectionFlags);
  EXPECT_EQ(d.GetXoverPresets()[1]->sectionFlags, kSectionOutputs);
  EXPECT_EQ(loop.misses, 0);
  // The initialised edge: warning cleared and the frame told.
  EXPECT_EQ(d.GetWarningBits() & kNerexWarningNotInitialised, 0u);
  EXPECT_EQ(Posted(FrameMsg::kStatusEvent, 105), 1u);
}

TEST_F(NerexPollingTest, CalderNeverAsksForGraphicOrDynamicEqAndFennickReadsGeneralAndTimedPresets) {
  CSimProcessorUnit calderUnit(110, 1);
  CNerexSeriesDevice& calder = Make(110, 1);
  calder.SetNeedsInitialisation(false);
  CLoopback calderLoop(m_system, calder, calderUnit);
  ASSERT_TRUE(calderLoop.ReadInFull());
  for (const std::string& item : calderLoop.Trace()) {
    EXPECT_NE(item.substr(0, 2), "52");
    EXPECT_NE(item.substr(0, 2), "54");
    EXPECT_NE(item, "79");
    EXPECT_NE(item, "78");
  }
  EXPECT_EQ(calderLoop.Trace().back(), "51");

  CSimProcessorUnit fennickUnit(16, 1);
  CNerexSeriesDevice& fennick = Make(16, 1);
  fennick.SetNeedsInitialisation(false);
  CLoopback fennickLoop(m_system, fennick, fennickUnit);
  ASSERT_TRUE(fennickLoop.ReadInFull());
  const auto trace = fennickLoop.Trace();
  ASSERT_GE(trace.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(trace.end() - 3, trace.end()), (std::vector<std::string>{"51", "79", "78"}));
}

TEST_F(NerexPollingTest, PresetPassWithNoUsedMemoryEndsWithoutARequest) {
  CNerexSeriesDevice& d = Make(120);
  d.SetNeedsInitialisation(false);
  // Identification, blocks and every section-flags reply as if received, all memories empty.
  const std::uint32_t before = 0x40 | 0x01 | 0x02 | 0x04 | 0x20;
  CSimProcessorUnit unit(120, 1);
  CLoopback loop(m_system, d, unit);
  while ((CNerexReadBack(d).GetReceivedMask() & before) != before) ASSERT_TRUE(loop.Step());
  m_sink.Take();
  CControlMessage m;
  EXPECT_FALSE(d.GetNextPollMessage(m));
  EXPECT_EQ(CNerexReadBack(d).GetReceivedMask() & 0x610, 0x610u);
  EXPECT_EQ(Posted(FrameMsg::kStatusEvent, 107), 1u);
  ASSERT_TRUE(d.GetNextPollMessage(m));
  EXPECT_EQ(m.command, 51u);
}

TEST_F(NerexPollingTest, ShortenedPresetListEndsThePassesSafely) {
  CSimProcessorUnit unit(120, 1);
  CNerexSeriesDevice& d = Make(120, 1);
  d.SetNeedsInitialisation(false);
  CLoopback loop(m_system, d, unit);
  // Half-way through the section flags the list shrinks to 3 memories.
  for (int i = 0; i < 8; ++i) loop.Step();
  ASSERT_GT(CNerexReadBack(d).GetMemoryFlagsIndex(), 3u);
  ResizePresetList(WritablePresets(d), 3);
  ASSERT_TRUE(loop.ReadInFull(100));
}

TEST_F(NerexPollingTest, InitialisedNerexPollsMetersByMonitorPanelAndEveryTwentieth) {
  CSimProcessorUnit unit(120, 1);
  CNerexSeriesDevice& d = Initialised(120, unit);
  Connect();
  // Nothing shown: meters only on multiples of 20.
  std::vector<std::uint32_t> expected(21, 0);
  expected[0] = expected[20] = 62;
  EXPECT_EQ(PollRun(d, 21), expected);
  // The monitor pane shown: every turn.
  m_system.SetSystemMonitorVisible(true);
  d.SetPollCounter(1);
  EXPECT_EQ(PollRun(d, 3), (std::vector<std::uint32_t>{62, 62, 62}));
  // Past 200 the counter wraps with one empty turn.
  d.SetPollCounter(201);
  EXPECT_EQ(PollRun(d, 1), (std::vector<std::uint32_t>{0}));
  EXPECT_EQ(d.GetPollCounter(), 0u);
}

TEST_F(NerexPollingTest, DisconnectedInitialisedDevicePollsOnlyOnMultiplesOfTen) {
  CSimProcessorUnit unit(120, 1);
  CNerexSeriesDevice& d = Initialised(120, unit);
  d.OnDisconnected(false);
  m_system.SetSystemMonitorVisible(true);
  std::vector<std::uint32_t> expected(21, 0);
  expected[0] = expected[10] = expected[20] = 62;
  EXPECT_EQ(PollRun(d, 21), expected);
}

TEST_F(NerexPollingTest, FennickReadsGeneralSettingsEveryTwentiethTurnAndMetersOtherwise) {
  CSimProcessorUnit unit(16, 1);
  CNerexSeriesDevice& d = Initialised(16, unit);
  Connect();
  m_system.SetSystemMonitorVisible(true);
  const auto run = PollRun(d, 21);
  EXPECT_EQ(run[0], 79u);
  EXPECT_EQ(run[1], 62u);
  EXPECT_EQ(run[19], 62u);
  EXPECT_EQ(run[20], 79u);
}

TEST_F(NerexPollingTest, TorvexWithExtendedMetersAsksPage64OnEveryTwentiethTurnWhenNothingIsShown) {
  CSimProcessorUnit unit(121, 1);
  unit.SetFirmware(" 1.25");
  CNerexSeriesDevice& d = Initialised(121, unit);
  ASSERT_TRUE(CNerexReadBack(d).HasExtendedMeters());
  Connect();
  for (std::uint32_t c = 0; c <= 200; ++c) {
    CControlMessage m;
    const bool built = d.GetNextPollMessage(m);
    EXPECT_EQ(built, c % 20 == 0) << c;
    if (built) {
      EXPECT_EQ(m.command, 63u);
      EXPECT_EQ(m.frame[7], 64);
      EXPECT_EQ(m.frameLength, 9u);
      EXPECT_EQ(m.expectedLength, 40u);
    }
  }
}

TEST_F(NerexPollingTest, TorvexMeterPagesFollowThePanelPage) {
  CSimProcessorUnit unit(121, 1);
  unit.SetFirmware("1.20");
  CNerexSeriesDevice& d = Initialised(121, unit);
  ASSERT_FALSE(CNerexReadBack(d).HasExtendedMeters());
  Connect();
  class CPanel : public CControlPanel {
    void NotifyParameterChanged(const CParamValue&) override {}
    void DestroyPanelWindow() override {}
  } panel;
  d.SetControlPanel(&panel);
  auto pages = [&](int calls) {
    std::vector<int> out;
    for (int i = 0; i < calls; ++i) {
      CControlMessage m;
      out.push_back(d.GetNextPollMessage(m) ? int(m.frame[7]) : -1);
    }
    return out;
  };
  // Monitor shown, panel on the input dynamic-EQ page: page 0 on odd turns, 12 on even ones.
  m_system.SetSystemMonitorVisible(true);
  d.PanelView().SetPanelPage(64);
  EXPECT_EQ(pages(4), (std::vector<int>{12, 0, 12, 0}));
  d.PanelView().SetPanelPage(65);
  d.SetPollCounter(0);
  EXPECT_EQ(pages(2), (std::vector<int>{20, 0}));
  // Monitor hidden: the panel's page decides every turn; other pages only every 20th turn.
  m_system.SetSystemMonitorVisible(false);
  d.SetPollCounter(1);
  EXPECT_EQ(pages(2), (std::vector<int>{20, 20}));
  d.PanelView().SetPanelPage(59);
  EXPECT_EQ(pages(2), (std::vector<int>{0, 0}));
  d.PanelView().SetPanelPage(61);
  d.SetPollCounter(19);
  EXPECT_EQ(pages(2), (std::vector<int>{-1, 0}));
  d.SetControlPanel(nullptr);
}
