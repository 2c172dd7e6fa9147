// The Zel breakout box's settings images: system-file and stream records with their damaged
// forms, the snapshot, the clipboard record and its paste variants, the context-menu rule and
// the status hints.
#include <gtest/gtest.h>

#include <sstream>

#include "core/file/DataStream.h"
#include "core/model/DeviceMenu.h"
#include "core/model/Snapshot.h"
#include "core/support/SystemMessages.h"
#include "platform/Archive.h"
#include "platform/Clipboard.h"
#include "tests/devices/amplifier/ZelAmpFixture.h"
#include "tests/support/ModelChanges.h"

namespace {

class ZelBreakRecordsTest : public ZelAmpFixture {
 protected:
  void SetUp() override {
    ZelAmpFixture::SetUp();
    EmptyClipboard();
  }
  // A box with every setting away from its default.
  CZelBreakDevice* Configured(std::uint32_t type) {
    CZelBreakDevice* d = AddBox(type, 7);
    NameDevice(d, "Foyer Rack");
    Offline([&] {
      for (int c = 0; c < d->GetChannelCount(); ++c) {
        ModelChange(d, CParamValue(1 + c, -0.5f * float(c + 1), ParamKind::kLevel));
        ModelChange(d, MakeTextParamValue(33 + c, "In " + std::to_string(c + 1)));
      }
      ModelChange(d, MakeBoolParamValue(17 + 2, true));
      ModelChange(d, MakeIntParamValue(59, 0x40 + 2 + 7 * 8));
    });
    return d;
  }
  static std::vector<std::uint8_t> Store(CDevice& d) {
    CArchive out;
    d.Serialize(out);
    return out.TakeData();
  }
  static void Load(CDevice& d, const std::vector<std::uint8_t>& bytes) {
    CArchive in(bytes);
    d.Serialize(in);
  }
  std::size_t Hints(int hint) const {
    std::size_t n = 0;
    for (const auto& m : frame.Messages()) n += m.message == FrameMsg::kStatusEvent && m.lParam == hint;
    return n;
  }
  static void ExpectSameSettings(CZelBreakDevice& a, CZelBreakDevice& b) {
    EXPECT_EQ(a.GetName(), b.GetName());
    for (int c = 0; c < kBreakMaxChannels; ++c) {
      EXPECT_EQ(a.GetChannelName(c), b.GetChannelName(c)) << c;
      EXPECT_EQ(a.GetGain(c), b.GetGain(c)) << c;
    }
    EXPECT_EQ(a.GetMuteMask(), b.GetMuteMask());
    EXPECT_EQ(a.GetGpioByte(), b.GetGpioByte());
  }
};

TEST_F(ZelBreakRecordsTest, SystemFileRecordHoldsSixteenChannelsWhateverTheModel) {
  CZelBreakDevice* source = Configured(40);
  const std::vector<std::uint8_t> bytes = Store(*source);
  CZelBreakDevice* copy = AddBox(40, 8);
  Load(*copy, bytes);
  ExpectSameSettings(*source, *copy);
  EXPECT_EQ(copy->GetChannelName(9), "");
  EXPECT_EQ(copy->GetGpioOutputMode(), 7u);
  EXPECT_TRUE(copy->IsNetworkMasterPulse());

  // The box's own part after the base: version 1, the name, 16 x (name, gain), mask, GPIO.
  CArchive base;
  copy->CDevice::Serialize(base);
  CArchive in(bytes);
  std::vector<std::uint8_t> skip(base.TakeData().size());
  in.ReadBytes(skip.data(), skip.size());
  EXPECT_EQ(in.ReadU32(), 1u);
  EXPECT_EQ(in.ReadString(), "Foyer Rack");
  for (int c = 0; c < 16; ++c) {
    EXPECT_EQ(in.ReadString(), c < 8 ? "In " + std::to_string(c + 1) : "");
    EXPECT_EQ(in.ReadU8(), c < 8 ? c + 1 : 0);
  }
  EXPECT_EQ(in.ReadU32(), 0x04u);
  EXPECT_EQ(in.ReadU8(), 0x40 + 2 + 7 * 8);
}

TEST_F(ZelBreakRecordsTest, DamagedSystemFileRecordsLeaveTheSettings) {
  CZelBreakDevice* source = Configured(41);
  std::vector<std::uint8_t> bytes = Store(*source);
  CZelBreakDevice* target = AddBox(41, 8);
  // A later record version cannot be read past (the record has no length): the load stops
  // with that reason and the settings stay.
  CArchive base;
  target->CDevice::Serialize(base);
  std::vector<std::uint8_t> otherVersion = bytes;
  otherVersion[base.TakeData().size()] = 2;
  try {
    Load(*target, otherVersion);
    ADD_FAILURE() << "a later version was read";
  } catch (const CArchiveException& e) {
    EXPECT_EQ(e.GetCause(), CArchiveException::NewerVersion);
  }
  EXPECT_EQ(target->GetName(), "Box");
  // A record cut short throws to the file loader and changes nothing.
  bytes.resize(bytes.size() - 3);
  EXPECT_THROW(Load(*target, bytes), CArchiveException);
  EXPECT_EQ(target->GetName(), "Box");
  EXPECT_EQ(target->GetGain(0), 0);
}

TEST_F(ZelBreakRecordsTest, StreamRecordRoundTripAndEarlyEnd) {
  CZelBreakDevice* source = Configured(41);
  std::stringstream buffer;
  CDataStream out(static_cast<std::ostream&>(buffer));
  source->SerializeStream(out);
  const std::string bytes = buffer.str();
  CZelBreakDevice* copy = AddBox(41, 8);
  std::stringstream in(bytes);
  CDataStream load(static_cast<std::istream&>(in));
  copy->SerializeStream(load);
  ExpectSameSettings(*source, *copy);

  // A stream that ends inside the channels keeps the fields read up to there.
  CZelBreakDevice* partial = AddBox(41, 9);
  std::stringstream cut(bytes.substr(0, bytes.size() - 40));
  CDataStream loadCut(static_cast<std::istream&>(cut));
  partial->SerializeStream(loadCut);
  EXPECT_EQ(partial->GetName(), "Foyer Rack");
  EXPECT_EQ(partial->GetChannelName(0), "In 1");
  EXPECT_EQ(partial->GetMuteMask(), 0u);
}

TEST_F(ZelBreakRecordsTest, SnapshotCarriesMaskAndGainsAndSendsOnRecall) {
  CZelBreakDevice* d = Configured(40);
  std::unique_ptr<CSnapshotData> snapshot(d->CreateSnapshotData());
  ASSERT_EQ(snapshot->m_data.size(), 21u);
  EXPECT_EQ(snapshot->m_data[0], 1);
  EXPECT_EQ(Bytes(snapshot->m_data.begin() + 1, snapshot->m_data.begin() + 5), (Bytes{0x04, 0, 0, 0}));
  EXPECT_EQ(snapshot->m_data[5], 1);
  EXPECT_EQ(snapshot->m_data[12], 8);
  EXPECT_EQ(snapshot->m_data[13], 0);
  EXPECT_EQ(snapshot->GetUuid(), d->GetUuid());

  // Recalled on an 8-channel box: 8 gains, the whole mask, then gains, mutes and GPIO sent.
  Connect(*d);
  CSnapshotData other = *snapshot;
  other.m_data[1] = 0xFF;
  other.m_data[2] = 0xFF;
  for (int c = 0; c < 16; ++c) other.m_data[std::size_t(5 + c)] = 20;
  RecallImage(d, other);
  EXPECT_EQ(d->GetMuteMask(), 0xFFFFu);
  EXPECT_EQ(d->GetGain(7), 20);
  EXPECT_EQ(d->GetGain(8), 0);
  const auto queued = Queued(*d);
  ASSERT_EQ(queued.size(), 10u);
  EXPECT_EQ(queued[8][9], 9);
  EXPECT_EQ(queued[9][9], 37);

  // A block of another version, or too short for its layout, changes nothing but still sends.
  d->Queue().ClearQueue();
  other.m_data[0] = 2;
  other.m_data[5] = 33;
  RecallImage(d, other);
  EXPECT_EQ(d->GetGain(0), 20);
  EXPECT_EQ(Queued(*d).size(), 10u);
  d->Queue().ClearQueue();
  CSnapshotData shortBlock(d->GetUuid(), {1, 0, 0});
  RecallImage(d, shortBlock);
  EXPECT_EQ(d->GetMuteMask(), 0xFFFFu);
  EXPECT_EQ(Queued(*d).size(), 10u);
}

TEST_F(ZelBreakRecordsTest, ClipboardRecordLayout) {
  CZelBreakDevice* d = Configured(41);
  d->CopyToClipboard(0);
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(GetClipboardData(RegisterClipboardFormat("ZelBreakSettings"), bytes));
  ASSERT_EQ(bytes.size(), 28u);
  EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 4), (Bytes{41, 0, 0, 0}));
  for (int c = 0; c < 16; ++c) EXPECT_EQ(bytes[std::size_t(4 + c)], c + 1);
  EXPECT_EQ(Bytes(bytes.begin() + 20, bytes.begin() + 24), (Bytes{0x04, 0, 0, 0}));
  EXPECT_EQ(bytes[24], 0x40 + 2 + 7 * 8);
  EXPECT_EQ(Bytes(bytes.begin() + 25, bytes.end()), (Bytes{0, 0, 0}));
  EXPECT_TRUE(d->CanCopy(0));
}

struct PasteCase {
  const char* name;
  std::uint32_t sourceType, targetType, command;
  int gainsTaken;  // of the target
  bool mixer, gpio;
};

class ZelBreakPasteTest : public ZelBreakRecordsTest, public ::testing::WithParamInterface<PasteCase> {};

TEST_P(ZelBreakPasteTest, PasteTakesWhatItsCommandNames) {
  const PasteCase& p = GetParam();
  Configured(p.sourceType)->CopyToClipboard(0);
  CZelBreakDevice* target = AddBox(p.targetType, 20);
  Connect(*target);
  ModelChange(target, MakeBoolParamValue(17 + 12, true));
  target->Queue().ClearQueue();
  system.SetModified(false);
  target->PasteFromClipboard(p.command);

  const int sourceChannels = p.sourceType % 2 == 0 ? 8 : 16;
  for (int c = 0; c < 16; ++c)
    EXPECT_EQ(target->GetGain(c), p.mixer && c < sourceChannels ? c + 1 : 0) << c;
  EXPECT_EQ(target->GetMuteMask(), p.mixer ? 0x04u : 0x1000u);
  EXPECT_EQ(target->GetGpioByte(), p.gpio ? 0x40 + 2 + 7 * 8 : 0);
  EXPECT_EQ(Hints(kBreakHintMixer), p.mixer ? 1u : 0u);
  EXPECT_EQ(Hints(kBreakHintStatus), p.gpio ? 1u : 0u);
  EXPECT_EQ(frame.Count(FrameMsg::kSelectDevice), 1u);
  EXPECT_FALSE(target->IsPollGateSet());
  EXPECT_TRUE(system.IsModified());
  // Connected: the model goes to the unit, channel by channel, then mask and GPIO.
  EXPECT_EQ(Queued(*target).size(), std::size_t(target->GetChannelCount() + 2));
  (void)p.gainsTaken;
}

INSTANTIATE_TEST_SUITE_P(
    Variants, ZelBreakPasteTest,
    ::testing::Values(PasteCase{"all_16_into_8", 41, 40, 0, 16, true, true},
                      PasteCase{"all_8_into_16", 40, 41, 0, 8, true, true},
                      PasteCase{"controls_only", 41, 41, kAmpCmdPasteControls, 16, true, false},
                      PasteCase{"properties_only", 41, 41, kAmpCmdPasteProperties, 0, false, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ZelBreakRecordsTest, PasteWithoutARecordChangesNothing) {
  CZelBreakDevice* d = AddBox(41, 7);
  d->PasteFromClipboard(0);
  SetClipboardData(d->GetClipboardFormat(), std::vector<std::uint8_t>(27, 9));
  d->PasteFromClipboard(0);
  EXPECT_EQ(d->GetGain(0), 0);
  EXPECT_FALSE(system.IsModified());
  EXPECT_EQ(frame.Count(FrameMsg::kSelectDevice), 0u);

  // A record from an unknown model carries no gains; the mask and GPIO still come.
  std::vector<std::uint8_t> record(28, 0);
  record[0] = 60;
  record[4] = 9;
  record[20] = 0x01;
  SetClipboardData(d->GetClipboardFormat(), record);
  // Online the unit is away and takes no paste; offline the file takes it.
  d->PasteFromClipboard(0);
  EXPECT_EQ(d->GetMuteMask(), 0u);
  Offline([&] { d->PasteFromClipboard(0); });
  EXPECT_EQ(d->GetGain(0), 0);
  EXPECT_EQ(d->GetMuteMask(), 1u);
  EXPECT_TRUE(Queued(*d).empty());  // not connected: the model only
}

TEST_F(ZelBreakRecordsTest, ContextMenuRuleAndStatusHints) {
  CZelBreakDevice* d = AddBox(41, 7);
  CCmdUI paste(kAmpCmdPasteControls), ignore(kAmpCmdIgnoreDevice), other(57637);
  d->OnUpdateContextMenuCommand(paste);
  EXPECT_FALSE(paste.IsEnabled());
  d->CopyToClipboard(0);
  d->OnUpdateContextMenuCommand(paste);
  EXPECT_FALSE(paste.IsEnabled());  // online and not connected: the paste would reach the file only
  Connect(*d);
  d->OnUpdateContextMenuCommand(paste);
  EXPECT_TRUE(paste.IsEnabled());
  d->SetIgnored(true);
  d->OnUpdateContextMenuCommand(ignore);
  EXPECT_EQ(ignore.GetCheck(), 1);
  d->OnUpdateContextMenuCommand(other);
  EXPECT_TRUE(other.IsEnabled());
  EXPECT_EQ(other.GetCheck(), 0);

  // Hints hand current values to the base change path: no frame is queued by them.
  Connect(*d);
  for (int hint : {int(kBreakHintMixer), int(kBreakHintNames), int(kBreakHintStatus), 104}) d->OnStatusEvent(hint);
  EXPECT_TRUE(Queued(*d).empty());
}

}  // namespace
