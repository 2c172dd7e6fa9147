// The Zel breakout box's poll schedule and replies: the security probe, the read-out order of
// every model, the network-master list, the steady status reads, each reply with its notices,
// damaged replies, the firmware check and the tooltip.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include "core/support/SystemMessages.h"
#include "tests/devices/amplifier/ZelAmpFixture.h"
#include "tests/support/FirmwareTableFile.h"
#include "tests/support/ModelChanges.h"

namespace {

using Request = std::pair<std::uint32_t, std::uint32_t>;  // command, first argument

class ZelBreakProtocolTest : public ZelAmpFixture {
 protected:
  // The reply a quiet unit gives to the request, for the system as it is.
  Bytes Answer(CZelBreakDevice& d, const CControlMessage& m) {
    switch (m.command) {
      case 0xB0: {
        Bytes identity(24, 0);
        identity[0] = 0xB8;
        identity[2] = 0x17;
        for (int i = 0; i < 4; ++i) identity[std::size_t(19 + i)] = std::uint8_t(firmware[std::size_t(i)]);
        return identity;
      }
      case 59: return ZelReply(d, 59, 33, Bytes(19, 0), true);
      case 60: return ZelReply(d, 60, 51, Bytes(40, ' '));
      case 63: return ZelReply(d, 63, 12, {0x01});
      case 67: return ZelReply(d, 67, 27, Bytes(16, 'a'));
      case 70: {
        std::vector<std::uint32_t> types, ids;
        system.CollectZelDeviceIds(types, ids);
        return ZelReply(d, 70, 12, {std::uint8_t(types.size() - 1)});
      }
      default: return {};
    }
  }
  // Runs turns of the scheduler, answering each request, and returns what was asked.
  std::vector<Request> Run(CZelBreakDevice& d, int turns, bool answer = true) {
    std::vector<Request> out;
    for (int t = 0; t < turns; ++t) {
      CControlMessage m;
      if (!d.GetNextPollMessage(m)) continue;
      out.emplace_back(m.command, m.argument);
      if (answer) Deliver(d, m.command, Answer(d, m), m.argument);
    }
    return out;
  }
  std::size_t Hints(int hint) const {
    std::size_t n = 0;
    for (const auto& m : frame.Messages()) n += m.message == FrameMsg::kStatusEvent && m.lParam == hint;
    return n;
  }
  std::string firmware = "1.00";
};

class ZelBreakReadOutTest : public ZelBreakProtocolTest, public ::testing::WithParamInterface<std::uint32_t> {};

TEST_P(ZelBreakReadOutTest, ReadOutInOrderThenAStatusReadEveryEleventhTurn) {
  CZelBreakDevice* d = AddBox(GetParam(), 9);
  Connect(*d);
  const int channels = GetParam() % 2 == 0 ? 8 : 16;
  std::vector<Request> expected{{0xB0, 0}, {59, 0}, {63, 0}, {70, 0}, {60, 0}};
  for (int c = 0; c < channels; ++c) expected.emplace_back(67, c);
  EXPECT_EQ(Run(*d, int(expected.size())), expected);
  EXPECT_TRUE(d->IsReadOutComplete());
  EXPECT_EQ(d->GetWarningBits(), 0u);
  EXPECT_EQ(d->GetChannelName(channels - 1), "aaaaaaaaaaaaaaaa");
  EXPECT_GE(frame.Count(FrameMsg::kRefreshRack), 1u);

  // Steady: counter values 0, 11, ... 198 send the status read; past 200 it starts again.
  d->SetPollCounter(0);
  std::vector<Request> steady = Run(*d, 202);
  EXPECT_EQ(steady.size(), 19u);
  EXPECT_EQ(d->GetPollCounter(), 0u);
  for (const Request& r : steady) EXPECT_EQ(r.first, 63u);
  EXPECT_EQ(Run(*d, 1).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(EveryModel, ZelBreakReadOutTest, ::testing::Range(34u, 48u));

TEST_F(ZelBreakProtocolTest, PendingSecurityProbesWithTheStatusReadEveryTwelfthTurn) {
  CZelBreakDevice* d = AddBox(41, 7);
  Connect(*d);
  ModelChange(d, CParamValue(1, -1.0f, ParamKind::kLevel));  // waits for the security step
  d->SetNeedsInitialisation(true);
  d->SetPollCounter(0);
  for (int round = 0; round < 2; ++round) {
    for (int t = 0; t < 11; ++t) {
      CControlMessage m;
      EXPECT_FALSE(d->GetNextPollMessage(m));
    }
    CControlMessage m;
    ASSERT_TRUE(d->GetNextPollMessage(m));
    EXPECT_EQ(FrameOf(m), (Bytes{0xF0, 0x00, 0x0A, 0x29, 0x00, 0x00, 0x00, 0x07, 0x00, 0x3F, 0x69}));
    EXPECT_EQ(m.expectedLength, 12u);
  }
  EXPECT_EQ(d->Queue().GetQueueSize(), 1u);
  // Ignored or gated, nothing at all.
  d->SetNeedsInitialisation(false);
  d->GetPollGate()->Set();
  CControlMessage m;
  EXPECT_FALSE(d->GetNextPollMessage(m));
  d->GetPollGate()->Reset();
  d->SetIgnored(true);
  EXPECT_FALSE(d->GetNextPollMessage(m));
  d->SetIgnored(false);
  // Then queued writes go before the read-out.
  ASSERT_TRUE(d->GetNextPollMessage(m));
  EXPECT_EQ(m.command, 8u);
}

TEST_F(ZelBreakProtocolTest, NetworkListCarriesEveryZelUnitAndCompletesOnTheRightCount) {
  CZelBreakDevice* box = AddBox(41, 7);
  AddBox(34, 0x01020304);
  Add(51, 5);
  Connect(*box);
  box->SetBlockReceivedWord(0xFFFFFFFF & ~kBreakReadNetworkList);
  CControlMessage m;
  ASSERT_TRUE(box->GetNextPollMessage(m));
  EXPECT_EQ(FrameOf(m), (Bytes{0xF0, 0x00, 0x19, 0x29, 0x00, 0x00, 0x00, 0x07, 0x00, 0x46, 0x29, 0x00, 0x00,
                               0x00, 0x07, 0x22, 0x01, 0x02, 0x03, 0x04, 0x33, 0x00, 0x00, 0x00, 0x05, 0x13}));
  EXPECT_EQ(m.expectedLength, 12u);
  Deliver(*box, 70, ZelReply(*box, 70, 12, {1}));
  EXPECT_FALSE(box->GetHaveRead() & kBreakReadNetworkList);
  ASSERT_TRUE(box->GetNextPollMessage(m));
  EXPECT_EQ(m.command, 70u);
  Deliver(*box, 70, ZelReply(*box, 70, 12, {2}));
  EXPECT_TRUE(box->GetHaveRead() & kBreakReadNetworkList);
  EXPECT_TRUE(box->IsReadOutComplete());
}

TEST_F(ZelBreakProtocolTest, SettingsReplyUpdatesTheMixerAndHintsOnlyOnChange) {
  CZelBreakDevice* d = AddBox(41, 7);
  Bytes settings(19, 0);
  settings[0] = 10;
  settings[16] = 0x01;  // channel 9
  settings[18] = 0x0D;  // input 5 is beyond the texts; output 1
  Deliver(*d, 59, ZelReply(*d, 59, 33, settings, true));
  EXPECT_EQ(d->GetGain(0), 10);
  EXPECT_EQ(d->GetMuteMask(), 0x100u);
  EXPECT_EQ(d->GetGpioInputMode(), 5u);
  EXPECT_EQ(Hints(kBreakHintMixer), 1u);
  EXPECT_EQ(frame.Count(FrameMsg::kShowDeviceProps), 1u);
  Deliver(*d, 59, ZelReply(*d, 59, 33, settings, true));
  EXPECT_EQ(Hints(kBreakHintMixer), 1u);
  EXPECT_EQ(frame.Count(FrameMsg::kShowDeviceProps), 2u);
  // A unit's gain beyond the range is held to -24 dB.
  settings[1] = 0x7F;
  Deliver(*d, 59, ZelReply(*d, 59, 33, settings, true));
  EXPECT_EQ(d->GetGain(1), 48);
}

TEST_F(ZelBreakProtocolTest, NameStatusAndChannelNameReplies) {
  CZelBreakDevice* d = AddBox(40, 7);
  Bytes name(40, ' ');
  const std::string text = "Stage Left  Box";
  std::copy(text.begin(), text.end(), name.begin());
  Deliver(*d, 60, ZelReply(*d, 60, 51, name));
  EXPECT_EQ(d->GetName(), "Stage Left  Box");
  EXPECT_EQ(Hints(kBreakHintNames), 1u);
  EXPECT_EQ(frame.Count(FrameMsg::kPanelCaption, 0, false), 1u);  // no panel open: the panel word is 0

  Deliver(*d, 63, ZelReply(*d, 63, 12, {0x03}));
  EXPECT_TRUE(d->IsNetworkActive());
  EXPECT_TRUE(d->IsAlarmActive());
  EXPECT_EQ(d->HasWarnings(), 1u);

  Bytes channel(16, ' ');
  channel[0] = 'V';
  channel[1] = 'x';
  Deliver(*d, 67, ZelReply(*d, 67, 27, channel), 3);
  EXPECT_EQ(d->GetChannelName(3), "Vx");
  EXPECT_EQ(Hints(kBreakHintNames), 1u);  // not the last channel
  Deliver(*d, 67, ZelReply(*d, 67, 27, channel), 7);
  EXPECT_EQ(Hints(kBreakHintNames), 2u);
  // Each byte is one character code 0 to 255: 0xE9 is é, 0xB0 the degree sign, kept as UTF-8.
  channel = Bytes(16, ' ');
  for (std::size_t i = 0; i < 5; ++i) channel[i] = Bytes{'C', 0xE9, 'l', 'l', 0xB0}[i];
  Deliver(*d, 67, ZelReply(*d, 67, 27, channel), 2);
  EXPECT_EQ(d->GetChannelName(2), "C\xC3\xA9ll\xC2\xB0");
  // The box name's bytes are character codes 0 to 255 as well, never '?'.
  name[5] = 0xE9;
  name[6] = 0xB0;
  Deliver(*d, 60, ZelReply(*d, 60, 51, name));
  EXPECT_EQ(d->GetName(), "Stage\xC3\xA9\xC2\xB0" "eft  Box");
  // A channel index the box cannot have is refused.
  Deliver(*d, 67, ZelReply(*d, 67, 27, channel), 16);
  EXPECT_EQ(d->GetRefusedReplyCount(), 1u);
}

// Every change of the status byte goes to the panel and the bound widgets (status hint); an
// alarm edge is a log line and a warning notice as well, and the alarm counts as a warning.
TEST_F(ZelBreakProtocolTest, StatusChangesHintThePanelAndAlarmEdgesLogAndWarn) {
  CZelBreakDevice* d = AddBox(40, 7);
  Connect(*d);
  ReadOutBox(*d);  // its status: network active, no alarm
  ASSERT_TRUE(d->IsReadOutComplete());
  EXPECT_EQ(Hints(kBreakHintStatus), 1u);  // the first status is news to the panel
  struct Step {
    std::uint8_t status;  // bit 0 network active, bit 1 alarm
    std::size_t hints, warnings, raised, cleared;  // counted from the read-out
  };
  const Step steps[] = {
      {0x01, 0, 0, 0, 0},  // the same again: nothing
      {0x02, 1, 1, 1, 0},  // network lost, alarm
      {0x02, 1, 1, 1, 0},
      {0x03, 2, 1, 1, 0},  // the network back, the alarm still on
      {0x01, 3, 2, 1, 1},  // the alarm over
      {0x00, 4, 2, 1, 1},  // the network lost without an alarm
  };
  const std::size_t hints = Hints(kBreakHintStatus), warnings = frame.Count(FrameMsg::kPropagateWarning);
  auto logged = [&](const std::string& line) {
    const auto lines = frame.LogLines();
    return std::size_t(std::count(lines.begin(), lines.end(), line));
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(int(step.status));
    Deliver(*d, 63, ZelReply(*d, 63, 12, {step.status}));
    EXPECT_EQ(Hints(kBreakHintStatus) - hints, step.hints);
    EXPECT_EQ(frame.Count(FrameMsg::kPropagateWarning) - warnings, step.warnings);
    EXPECT_EQ(logged("Breakout Box ID 7 Alarm Active\n"), step.raised);
    EXPECT_EQ(logged("Breakout Box ID 7 Alarm Cleared\n"), step.cleared);
    EXPECT_EQ(d->GetCurrentValue(kBreakParamWarnings).flag != 0, (step.status & 0x02) != 0);
  }
}

TEST_F(ZelBreakProtocolTest, ShortAndMisframedRepliesChangeNothing) {
  CZelBreakDevice* d = AddBox(41, 7);
  Deliver(*d, 59, ZelReply(*d, 59, 20, Bytes(8, 5), true));
  EXPECT_EQ(d->GetGain(0), 0);
  Deliver(*d, 60, ZelReply(*d, 60, 30, Bytes(20, 'x')));
  EXPECT_EQ(d->GetName(), "Box");
  Bytes identity(24, 0);
  identity[0] = 0xB8;
  identity[2] = 0x16;
  Deliver(*d, 0xB0, identity);
  EXPECT_FALSE(d->GetHaveRead() & kBreakReadIdentity);
  EXPECT_EQ(d->GetRefusedReplyCount(), 3u);
}

TEST_F(ZelBreakProtocolTest, IncompleteReadOutIsReportedThroughTheFrame) {
  CZelBreakDevice* d = AddBox(41, 7);
  Deliver(*d, 63, ZelReply(*d, 63, 12, {0x01}));
  EXPECT_EQ(d->GetWarningBits() & kBreakWarnNotInitialised, kBreakWarnNotInitialised);
  // Widgets bound to "Warnings Active" follow on the UI thread when the frame takes the post.
  EXPECT_EQ(frame.CountFor(FrameMsg::kPropagateWarning, d), 1u);
  EXPECT_NE(d->GetStatusText().find("\nNot Initialised"), std::string::npos);
}

TEST_F(ZelBreakProtocolTest, AChannelNameNeverAnsweredIsAskedForAgain) {
  CZelBreakDevice* d = AddBox(41, 7);
  Connect(*d);
  d->SetBlockReceivedWord(0xFFFFFFFF & ~(kBreakReadChannel0 << 9));
  for (int t = 0; t < 3; ++t) {
    CControlMessage m;
    ASSERT_TRUE(d->GetNextPollMessage(m));
    EXPECT_EQ(FrameOf(m), (Bytes{0xF0, 0x00, 0x0B, 0x29, 0x00, 0x00, 0x00, 0x07, 0x00, 0x43, 0x09, 0x77}));
    EXPECT_EQ(m.argument, 9u);
  }
  Deliver(*d, 63, ZelReply(*d, 63, 12, {0x01}));
  EXPECT_NE(d->GetStatusText().find("\nNot Initialised"), std::string::npos);
}

TEST_F(ZelBreakProtocolTest, FirmwareMismatchLogsOnceAndShowsInTheTooltip) {
  CZelBreakDevice* d = AddBox(41, 7);
  Connect(*d);
  firmware = "0.97";
  CControlMessage identity;
  identity.command = 0xB0;
  Deliver(*d, 0xB0, Answer(*d, identity));
  EXPECT_EQ(d->GetFirmwareVersion(), "0.97");
  EXPECT_TRUE(d->GetWarningBits() & kBreakWarnFirmware);
  EXPECT_EQ(frame.LogLines().back(), "Firmware Version = v0.97 should be v1.00\n");
  EXPECT_NE(d->GetStatusText().find("\nFirmware Version Warning - currently v0.97 should be v1.00"),
            std::string::npos);
  const std::size_t lines = frame.LogLines().size();
  firmware = "1.00";
  Deliver(*d, 0xB0, Answer(*d, identity));
  EXPECT_EQ(frame.LogLines().size(), lines);
  d->SetIgnored(true);
  EXPECT_EQ(d->GetStatusText(), "\nDevice Ignored");
}

TEST_F(ZelBreakProtocolTest, WithoutAVersionInTheTableNoBoxIsWarnedAbout) {
  CZelBaseDevice::SetFirmwareTableReader(&CFirmwareTableFile::Read);
  firmware = "0.97";
  const std::size_t lines = frame.LogLines().size();
  for (const char* table : {static_cast<const char*>(nullptr), "ZEL_SERIES=1.00\nFennick=3.01\n"}) {
    const CFirmwareTableFile file(table);
    CZelBreakDevice* d = AddBox(41, 7);
    Connect(*d);
    Run(*d, 22);
    ASSERT_TRUE(d->IsReadOutComplete());
    EXPECT_EQ(d->GetFirmwareVersion(), "0.97");
    EXPECT_EQ(d->GetWarningBits(), 0u);
    EXPECT_FALSE(d->HasWarnings());
    EXPECT_EQ(d->GetStatusText(), "");
  }
  for (std::size_t i = lines; i < frame.LogLines().size(); ++i)
    EXPECT_EQ(frame.LogLines()[i].find("Firmware Version"), std::string::npos) << frame.LogLines()[i];
  CZelBaseDevice::SetFirmwareTableReader(nullptr);
}

TEST_F(ZelBreakProtocolTest, ReplyHoldOffPausesTheSteadyReads) {
  CZelBreakDevice* d = AddBox(41, 7);
  Connect(*d);
  ReadOutBox(*d);
  ASSERT_TRUE(d->IsReadOutComplete());
  d->SetPollCounter(0);
  d->ReplyTimer().StartReplyTimer();
  CControlMessage m;
  EXPECT_FALSE(d->GetNextPollMessage(m));
  EXPECT_EQ(d->GetPollCounter(), 0u);
}

}  // namespace
