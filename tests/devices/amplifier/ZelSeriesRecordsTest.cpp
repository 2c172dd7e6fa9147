// The Zel amplifier's model (channels, parameters, values, lists) and its settings images:
// system-file and stream records with their damaged forms, the snapshot, the clipboard record
// and its paste, the context menu and the status hints.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <algorithm>
#include <functional>
#include <map>
#include <sstream>

#include "core/file/DataStream.h"
#include "core/model/DeviceMenu.h"
#include "core/model/Snapshot.h"
#include "core/system/SystemFile.h"
#include "core/system/Zone.h"
#include "core/support/SystemMessages.h"
#include "platform/Archive.h"
#include "platform/Clipboard.h"
#include "core/model/Link.h"
#include "tests/devices/amplifier/ZelAmpFixture.h"
#include "tests/support/TestDevices.h"
#include "tests/support/RecordingUi.h"
#include "tests/support/ModelChanges.h"

namespace {

using ZelModelTest = ZelAmpFixture;
using ZelRecordsTest = ZelAmpFixture;

// --- Model ---

TEST_F(ZelModelTest, ChannelsNamesAndParametersByModel) {
  CZelSeriesDevice* six = Add(55, 1);
  CZelSeriesDevice* two = Add(56, 2);
  EXPECT_EQ(six->GetChannelCount(), 4);
  EXPECT_EQ(two->GetChannelCount(), 2);
  EXPECT_EQ(six->GetChannelName(3), "Ch 4");
  EXPECT_EQ(two->GetChannelName(1), "Ch 2");
  EXPECT_EQ(two->GetChannelName(2), "");
  EXPECT_EQ(two->GetModelName(), "Zel-1");
  EXPECT_EQ(six->GetPanelSize(), (CSize{887, 189}));

  const CParamInfo gain = six->GetParameterAt(8);
  EXPECT_EQ(gain.name, "Ch 4 : Gain");
  EXPECT_EQ(gain.kind, ParamKind::kLevel);
  EXPECT_EQ(gain.maximum, 0.0f);
  EXPECT_EQ(gain.minimum, -60.0f);
  EXPECT_EQ(two->GetParameterAt(7).name, "NULL");
  EXPECT_EQ(two->GetParameterAt(22).textLimit, 16u);
  EXPECT_EQ(two->GetParameterAt(25).name, "Amplifier Name");
  EXPECT_EQ(two->GetParameterAt(25).textLimit, 40u);
  EXPECT_EQ(two->GetParameterAt(36).options, 5u);
  EXPECT_EQ(two->GetParameterAt(39).options, 12u);
  EXPECT_EQ(two->GetParameterAt(13).name, "NULL");  // solos are not offered
  EXPECT_EQ(two->GetParameterAt(90).name, "Warnings Active");
  EXPECT_EQ(two->GetParameterAt(91).name, "NULL");
}

TEST_F(ZelModelTest, CurrentValuesFollowTheModel) {
  CZelSeriesDevice* d = Add(51, 1);
  Deliver(*d, 0x3B, ZelReply(*d, 0x3B, 26, {13, 32, 0, 0, 10, 0, 0, 0, 0, 0, 0, 0x02, 0x01}, true));
  EXPECT_FLOAT_EQ(d->GetCurrentValue(5).value, -14.0f);
  EXPECT_FLOAT_EQ(d->GetCurrentValue(6).value, -60.0f);
  EXPECT_FALSE(d->GetCurrentValue(9).flag);
  EXPECT_TRUE(d->GetCurrentValue(10).flag);
  EXPECT_TRUE(d->GetCurrentValue(kZelParamStandby).flag);
  EXPECT_TRUE(d->GetCurrentValue(kZelParamStandbyLed).flag);
  EXPECT_FALSE(d->GetCurrentValue(kZelParamActiveLed).flag);
  EXPECT_TRUE(d->GetCurrentValue(kZelParamStereoLed).flag);
  EXPECT_TRUE(d->GetCurrentValue(kZelParamOffline).flag);
  EXPECT_FALSE(d->GetCurrentValue(kZelParamLimit).flag);  // offline and in standby
  EXPECT_EQ(d->GetCurrentValue(21).text, "Ch 1");
  EXPECT_EQ(d->GetCurrentValue(25).text, "Amp");
  EXPECT_EQ(d->GetCurrentValue(39).kind, ParamKind::kNone);
  EXPECT_EQ(d->GetCurrentValue(7).kind, ParamKind::kNone);

  // Load predicates: a window of 0 switches the channel's monitoring off.
  ZelSeriesMeters meters;
  meters.loadFaultBits = 0x03;
  d->SetMetersForTests(meters);
  EXPECT_TRUE(d->GetCurrentValue(kZelParamCheck).flag);
  EXPECT_FALSE(d->GetCurrentValue(kZelParamCheck + 1).flag);
  EXPECT_FALSE(d->GetCurrentValue(kZelParamOk + 1).flag);
  EXPECT_FALSE(d->GetChannelLoad(4).faultReported);
}

TEST_F(ZelModelTest, ListsAndLinkMatching) {
  CZelSeriesDevice* d = Add(51, 1);
  auto ids = [](const std::vector<CParamInfo>& list) {
    std::vector<int> out;
    for (const auto& info : list) out.push_back(info.id);
    return out;
  };
  std::vector<CParamInfo> leds, knobs, texts, buttons, none;
  d->ListParameters(2, leds);
  d->ListParameters(4, knobs);
  d->ListParameters(5, texts);
  d->ListParameters(8, buttons);
  d->ListParameters(1, none);
  EXPECT_EQ(ids(leds), (std::vector<int>{88, 89, 90, 9, 10, 30, 31, 41, 42, 45, 46, 27, 28, 29, 34, 36, 35}));
  EXPECT_EQ(ids(knobs), (std::vector<int>{5, 6}));
  EXPECT_EQ(ids(texts), (std::vector<int>{25, 21, 22, 5, 6}));
  EXPECT_EQ(ids(buttons), (std::vector<int>{40, 9, 10, 51}));
  EXPECT_TRUE(none.empty());

  std::vector<CParamInfo> all, mutes;
  CParamInfo null;
  null.name = "NULL";
  d->ListMatchingParameters(null, all);
  EXPECT_EQ(all.size(), 22u);  // every entry from 0 to 73 of a two-channel model
  // A mute links with mutes and standby, never with indications or command buttons.
  d->ListMatchingParameters(d->GetParameterAt(9), mutes);
  EXPECT_EQ(ids(mutes), (std::vector<int>{9, 10, 40}));
  EXPECT_EQ(d->FindParameter(d->GetParameterAt(22)).id, 22);
  CParamInfo renamed = d->GetParameterAt(22);
  renamed.name = "Other";
  EXPECT_EQ(d->FindParameter(renamed).name, "NULL");
}

TEST_F(ZelModelTest, DisconnectKeepsStandbyAndPotsAndHasWarningsCountsTheAmplifiersFlag) {
  CZelSeriesDevice* d = Add(51, 1);
  Connect(*d);
  Deliver(*d, 0x3B, ZelReply(*d, 0x3B, 26, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF}, true));
  EXPECT_NE(d->HasWarnings(), 0u);
  d->OnDisconnected(false);
  EXPECT_EQ(d->GetStatusFlags(), 0x03);
  EXPECT_EQ(d->GetCommsLevel(), 0);
}

// --- Records ---

TEST_F(ZelRecordsTest, FileRecordRoundTripKeepsSettingsAndDropsMonitoredValues) {
  CZelSeriesDevice* d = Add(55, 7);
  Connect(*d);
  Deliver(*d, 0x3B, ZelReply(*d, 0x3B, 26, {1, 2, 3, 32, 50, 60, 70, 80, 9, 95, 0x1A, 0x05, 0x2A}, true));
  Deliver(*d, 0x45, ZelReply(*d, 0x45, 21, {0, 80, 0, 80, 0, 80, 0, 80}, true));
  ModelChange(d, MakeTextParamValue(23, "Fill"));
  ModelChange(d, MakeBoolParamValue(kZelParamSolo + 1, true));
  ModelChange(d, MakeBoolParamValue(kZelParamPanelPage, true));
  SendQueued(*d);
  Deliver(*d, 0x3F, ZelReply(*d, 0x3F, 12, {0x7F}));

  CArchive out;
  d->Serialize(out);
  CZelSeriesDevice copy(&system, nullptr, 55, 7);
  CArchive in(out.TakeData());
  copy.Serialize(in);
  EXPECT_EQ(copy.GetUuid(), d->GetUuid());
  EXPECT_EQ(copy.GetName(), "Amp");
  EXPECT_EQ(copy.GetChannelName(2), "Fill");
  EXPECT_EQ(copy.GetMuteOverride(), 0);  // the solo is the running units' state, not the file's
  EXPECT_EQ(copy.GetDisplayPage(), 1u);
  EXPECT_EQ(copy.GetMuteMask(), 0x05);
  EXPECT_EQ(copy.GetPowerOnDelay(), 9);
  EXPECT_EQ(copy.GetAlarmTemperature(), 95);
  EXPECT_EQ(copy.GetGainIndex(3), 32);
  EXPECT_EQ(copy.GetStatusFlags(), 0x2A);
  EXPECT_EQ(copy.GetGpio().Byte(), 0x1A);
  EXPECT_EQ(copy.GetMode(), 3u);
  EXPECT_EQ(copy.GetImpedanceWindow(0), 0);
  EXPECT_EQ(copy.GetReferenceImpedance(0), 0.0f);
}

TEST_F(ZelRecordsTest, DamagedFileRecordsThrowAStepBeyondTheTableIsHeldAndANewerVersionIsRefused) {
  CZelSeriesDevice* d = Add(51, 7);
  CArchive out;
  d->Serialize(out);
  const Bytes good = out.TakeData();
  // Cut short anywhere in the family's block: the archive reports the end of the data.
  for (std::size_t cut : {good.size() - 1, good.size() - 5, good.size() - 20}) {
    CZelSeriesDevice copy(&system, nullptr, 51, 7);
    CArchive in(Bytes(good.begin(), good.begin() + std::ptrdiff_t(cut)));
    EXPECT_THROW(copy.Serialize(in), CArchiveException) << cut;
  }
  // A gain step beyond the table is held to its last step (-60 dB), as a settings reply's is.
  Bytes beyond = good;
  beyond[beyond.size() - 10] = 0x40;  // the first gain step: gains, flags, GPIO and the u32 mode end the record
  beyond[beyond.size() - 9] = 33;
  CZelSeriesDevice held(&system, nullptr, 51, 7);
  CArchive beyondIn(beyond);
  held.Serialize(beyondIn);
  EXPECT_EQ(held.GetGainIndex(0), 32);
  EXPECT_EQ(held.GetGainIndex(1), 32);
  EXPECT_EQ(held.GetCurrentValue(kZelParamGain).value, -60.0f);

  // The family's version word is right after the base block: a later version cannot be read
  // past (the record has no length), so the load stops with that reason; so does version 0.
  CArchive base;
  CZelSeriesDevice plain(&system, nullptr, 51, 7);
  plain.CDevice::Serialize(base);
  for (std::uint8_t version : {std::uint8_t(2), std::uint8_t(0)}) {
    Bytes other = good;
    other[base.Data().size()] = version;
    CZelSeriesDevice fresh(&system, nullptr, 51, 7);
    CArchive otherIn(other);
    try {
      fresh.Serialize(otherIn);
      ADD_FAILURE() << "version " << int(version) << " was read";
    } catch (const CArchiveException& e) {
      EXPECT_EQ(e.GetCause(), version == 2 ? CArchiveException::NewerVersion : CArchiveException::BadFormat);
    }
  }
}

class CFileErrors : public CRecordingUi {
 public:
  void ShowFileError(const std::string& text, const std::string& caption) override {
    texts.push_back(caption + ": " + text);
  }
  std::vector<std::string> texts;
};

TEST_F(ZelRecordsTest, SystemFileKeepsTheAmplifierHoldsAStepBeyondTheTableAndRefusesANewerRecord) {
  CSystem source;
  auto* amp = static_cast<CZelSeriesDevice*>(source.CreateDevice(4, 54, 0));
  source.AppendDevice(amp);
  source.GetZones()[0]->AppendDevice(amp);
  NameDevice(amp, "Porch");
  // Gain steps 31, 30, 29, 28 mark the record in the file.
  const Bytes u{31, 30, 29, 28, 0, 0, 0, 0, 12, 88, 0x21, 0x06, 0x00};
  Deliver(*amp, 0x3B, ZelReply(*amp, 0x3B, 26, u, true));
  CArchive out;
  ASSERT_TRUE(source.File().Serialize(out));
  const Bytes file = out.TakeData();

  CSystem loaded;
  CArchive in(file);
  ASSERT_TRUE(loaded.File().Serialize(in));
  ASSERT_EQ(loaded.GetDeviceCount(), 1);
  auto* copy = dynamic_cast<CZelSeriesDevice*>(loaded.GetDevice(0));
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->GetModelName(), "Zel-5");
  EXPECT_EQ(copy->GetName(), "Porch");
  EXPECT_EQ(copy->GetGainIndex(3), 28);
  EXPECT_EQ(copy->GetPowerOnDelay(), 12);
  EXPECT_EQ(copy->GetMuteMask(), 0x06);

  const Bytes marker{31, 30, 29, 28};
  const auto at = std::search(file.begin(), file.end(), marker.begin(), marker.end());
  ASSERT_NE(at, file.end());
  const std::size_t gains = std::size_t(at - file.begin());
  // A step beyond the table opens the file with that gain at -60 dB.
  Bytes beyond = file;
  beyond[gains] = 0x60;
  CFileErrors errors;
  CSystem held;
  held.SetUiServices(&errors);
  CArchive beyondIn(beyond);
  ASSERT_TRUE(held.File().Serialize(beyondIn));
  EXPECT_TRUE(errors.texts.empty());
  auto* heldAmp = dynamic_cast<CZelSeriesDevice*>(held.GetDevice(0));
  ASSERT_NE(heldAmp, nullptr);
  EXPECT_EQ(heldAmp->GetGainIndex(0), 32);
  EXPECT_EQ(heldAmp->GetGainIndex(1), 30);
  held.SetUiServices(nullptr);

  // A device record of a later version, in its base part or in the family's: the load says so
  // and the open system stays. The base version follows the type, ID and model words; the
  // family's stands just before the name "Porch" (FF FE FF, length, UTF-16LE).
  const Bytes entry{54, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0};
  const auto entryAt = std::search(file.begin(), file.end(), entry.begin(), entry.end());
  ASSERT_NE(entryAt, file.end());
  const Bytes porch{0xFF, 0xFE, 0xFF, 5, 'P', 0, 'o', 0, 'r', 0, 'c', 0, 'h', 0};
  const auto nameAt = std::search(file.begin(), file.end(), porch.begin(), porch.end());
  ASSERT_NE(nameAt, file.end());
  loaded.SetUiServices(&errors);
  for (std::size_t versionAt : {std::size_t(entryAt - file.begin()) + 12, std::size_t(nameAt - file.begin()) - 4}) {
    errors.texts.clear();
    Bytes newer = file;
    newer[versionAt] = 3;
    CArchive bad(newer);
    EXPECT_FALSE(loaded.File().Serialize(bad));
    ASSERT_EQ(errors.texts.size(), 1u);
    EXPECT_EQ(errors.texts[0], std::string("File Error: ") + kFileTooNewText);
    ASSERT_EQ(loaded.GetDeviceCount(), 1);
    EXPECT_EQ(loaded.GetDevice(0), copy);
    EXPECT_EQ(copy->GetGainIndex(3), 28);
  }
  loaded.SetUiServices(nullptr);
}

TEST_F(ZelRecordsTest, StreamRecordRoundTripAndACutStreamChangesNothing) {
  CZelSeriesDevice* d = Add(51, 7);
  Deliver(*d, 0x3B, ZelReply(*d, 0x3B, 26, {4, 8, 0, 0, 0, 0, 0, 0, 3, 77, 0x0B, 0x02, 0x08}, true));
  std::ostringstream os;
  CDataStream store(os);
  d->SerializeStream(store);
  const std::string bytes = os.str();

  CZelSeriesDevice copy(&system, nullptr, 51, 7);
  std::istringstream is(bytes);
  CDataStream load(is);
  copy.SerializeStream(load);
  EXPECT_EQ(copy.GetName(), "Amp");
  EXPECT_EQ(copy.GetGainIndex(1), 8);
  EXPECT_EQ(copy.GetAlarmTemperature(), 77);
  EXPECT_EQ(copy.GetGpio().Byte(), 0x0B);
  EXPECT_EQ(copy.GetMuteMask(), 0x02);

  CZelSeriesDevice cut(&system, nullptr, 51, 7);
  std::istringstream shortIs(bytes.substr(0, bytes.size() - 3));
  CDataStream shortLoad(shortIs);
  cut.SerializeStream(shortLoad);
  EXPECT_EQ(cut.GetGainIndex(1), 0);
  EXPECT_EQ(cut.GetName(), "");
}

TEST_F(ZelRecordsTest, SnapshotRecordAndRecall) {
  CZelSeriesDevice* d = Add(51, 7);
  Connect(*d);
  Deliver(*d, 0x3B, ZelReply(*d, 0x3B, 26, {4, 8, 0, 0, 0, 0, 0, 0, 0, 90, 0, 0x02, 0x09}, true));
  std::unique_ptr<CSnapshotData> snap(d->CreateSnapshotData());
  EXPECT_EQ(snap->m_data, (Bytes{1, 0x02, 4, 8, 0, 0, 0x09}));
  EXPECT_EQ(snap->GetUuid(), d->GetUuid());

  // Recall onto a device out of standby with other gains: fields, all settings, standby on.
  Deliver(*d, 0x3B, ZelReply(*d, 0x3B, 26, {0, 0, 0, 0, 0, 0, 0, 0, 0, 90, 0, 0, 0}, true));
  d->Queue().ClearQueue();
  RecallImage(d, *snap);
  EXPECT_EQ(d->GetGainIndex(1), 8);
  EXPECT_EQ(d->GetMuteMask(), 0x02);
  EXPECT_TRUE(d->IsInStandby());
  const auto queued = Queued(*d);
  ASSERT_EQ(queued.size(), 13u);  // twelve settings of a two-channel model and the standby
  EXPECT_EQ(queued.back()[9], 0x12);
  EXPECT_EQ(queued.back()[10], 1);

  // A record of another version changes no field; a unit in standby is taken out of it.
  CSnapshotData other(d->GetUuid(), {2, 0x0F, 9, 9, 9, 9, 0});
  RecallImage(d, other);
  EXPECT_EQ(d->GetGainIndex(0), 4);
  EXPECT_FALSE(d->IsInStandby());
  CSnapshotData tooShort(d->GetUuid(), {1, 0x0F});
  RecallImage(d, tooShort);
  EXPECT_EQ(d->GetMuteMask(), 0x02);
}

TEST_F(ZelRecordsTest, ClipboardRecordLayout) {
  CZelSeriesDevice* d = Add(55, 7);
  Deliver(*d, 0x3B, ZelReply(*d, 0x3B, 26, {1, 2, 3, 4, 10, 20, 30, 40, 6, 99, 0x4A, 0x09, 0x1A}, true));
  Deliver(*d, 0x3F, ZelReply(*d, 0x3F, 12, {0x7F}));
  d->CopyToClipboard(0);
  Bytes bytes;
  ASSERT_TRUE(GetClipboardData(RegisterClipboardFormat("ZelSeriesSettings"), bytes));
  ASSERT_EQ(bytes.size(), 28u);
  EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 6), (Bytes{0x1A, 1, 2, 3, 4, 0x09}));
  EXPECT_EQ(Bytes(bytes.begin() + 8, bytes.begin() + 18), (Bytes{3, 0, 0, 0, 6, 0x4A, 10, 20, 30, 40}));
  EXPECT_EQ(Bytes(bytes.begin() + 20, bytes.begin() + 25), (Bytes{4, 0, 0, 0, 99}));
}

TEST_F(ZelRecordsTest, PasteControlsOnlyAndPropertiesOnlyKeepTheirOwnHalves) {
  CZelSeriesDevice* source = Add(51, 7);
  Deliver(*source, 0x3B, ZelReply(*source, 0x3B, 26, {5, 6, 0, 0, 11, 22, 0, 0, 30, 100, 0x13, 0x03, 0x39}, true));
  const auto record = source->MakeClipboardRecord();

  CZelSeriesDevice* controls = Add(51, 8);
  // Pasted controls are the person's change: an amplifier linked to the target follows.
  CZelSeriesDevice* follower = Add(51, 10);
  Connect(*follower);
  auto* link = new CLink("Ch 2");
  link->AddRef(new CLinkRef(controls->GetUuid(), kZelParamGain + 1));
  link->AddRef(new CLinkRef(follower->GetUuid(), kZelParamGain + 1));
  system.Links().AppendLink(link);
  PasteZelRecord(*controls, record, kZelCmdPasteControls);
  EXPECT_EQ(controls->GetGainIndex(1), 6);
  EXPECT_EQ(follower->GetGainIndex(1), 6);
  EXPECT_EQ(controls->GetMuteMask(), 0x03);
  EXPECT_TRUE(controls->IsInStandby());
  EXPECT_EQ(controls->GetPowerOnDelay(), 0);
  EXPECT_EQ(controls->GetGpio().Byte(), 0);
  EXPECT_EQ(controls->GetStatusFlags(), 0x01);  // no VCA bits
  EXPECT_EQ(controls->GetImpedanceWindow(0), 0);
  EXPECT_TRUE(system.IsModified());

  CZelSeriesDevice* properties = Add(51, 9);
  PasteZelRecord(*properties, record, kZelCmdPasteProperties);
  EXPECT_EQ(properties->GetGainIndex(1), 0);
  EXPECT_EQ(properties->GetMuteMask(), 0);
  EXPECT_FALSE(properties->IsInStandby());
  EXPECT_EQ(properties->GetPowerOnDelay(), 30);
  EXPECT_EQ(properties->GetAlarmTemperature(), 100);
  EXPECT_EQ(properties->GetGpio().Byte(), 0x13);
  EXPECT_EQ(properties->GetStatusFlags(), 0x38);
  EXPECT_EQ(properties->GetImpedanceWindow(1), 22);
  EXPECT_FALSE(properties->GetPollGate()->IsSet());
}

// A paste onto a connected amplifier is held to the target model's rows, whatever the source
// held: a threshold the unit does not take (a fresh unit's 0) and a mode the model does not
// offer (mono on the Zel-6) keep the target's own, a longer delay or a wider window are cut to
// the rows' limits; what goes to the unit is what the target then holds.
struct PasteCase {
  const char* name;
  std::uint32_t sourceType;
  std::function<void(ZelClipboardRecord&)> damage;  // applied to the copied record
  std::uint32_t command;
  std::uint8_t alarm, delay, window, mode;  // the target's afterwards
};

class ZelPasteTest : public ZelAmpFixture, public ::testing::WithParamInterface<PasteCase> {};

TEST_P(ZelPasteTest, APasteIsHeldToTheTargetsRows) {
  const PasteCase& c = GetParam();
  CZelSeriesDevice* source = Add(c.sourceType, 7);
  Connect(*source);  // online, a unit that is not connected takes no edit
  if (GetZelSeriesChannelCount(c.sourceType) == 2) {
    ASSERT_TRUE(Edit(*source, "Mode", {}, 0));  // "Mono"
  }
  ZelClipboardRecord record = source->MakeClipboardRecord();
  if (c.damage) c.damage(record);
  ASSERT_TRUE(SetClipboardData(RegisterClipboardFormat("ZelSeriesSettings"), Bytes(record.begin(), record.end())));

  CZelSeriesDevice* target = Add(55, 5);  // a Zel-6 read out from its unit: threshold 90, stereo
  Connect(*target);
  ReadOut(*target);
  Deliver(*target, 0x3F, ZelReply(*target, 0x3F, 12, {0x6F}));  // stereo, not in protect
  ASSERT_EQ(target->GetAlarmTemperature(), 90);
  ASSERT_EQ(target->GetMode(), 2u);
  target->Queue().ClearQueue();
  target->PasteFromClipboard(c.command);  // the rack menu's paste, whole or a half
  EXPECT_EQ(target->GetAlarmTemperature(), c.alarm);
  EXPECT_EQ(target->GetPowerOnDelay(), c.delay);
  EXPECT_EQ(target->GetImpedanceWindow(0), c.window);
  EXPECT_EQ(target->GetMode(), c.mode);
  std::map<int, Bytes> sent;
  for (const Bytes& f : Queued(*target))
    if (f[9] != kZelCmdWindow || f[10] == 0) sent[f[9]] = Bytes(f.begin() + 10, f.end() - 1);
  EXPECT_EQ(sent[kZelCmdAlarmTemperature], Bytes{c.alarm});
  EXPECT_EQ(sent[kZelCmdPowerOnDelay], Bytes{c.delay});
  EXPECT_EQ(sent[kZelCmdWindow], (Bytes{0, c.window}));
  EXPECT_EQ(sent[kZelCmdMode], (Bytes{0, c.mode}));
}

INSTANTIATE_TEST_SUITE_P(
    Records, ZelPasteTest,
    ::testing::Values(
        PasteCase{"PropertiesOfAFreshUnitKeepTheThreshold", 52, nullptr, kZelCmdPasteProperties, 90, 0, 0, 2},
        PasteCase{"ControlsOfAMonoZelTwoKeepTheStereo", 51, nullptr, kZelCmdPasteControls, 90, 0, 0, 2},
        PasteCase{"AllOfAMonoZelTwoWithAThresholdTakeIt", 51, [](ZelClipboardRecord& r) { r[24] = 75; }, 0, 75, 0, 0,
                  2},
        PasteCase{"ADamagedDelayAndWindowAreCutToTheRows", 55,
                  [](ZelClipboardRecord& r) {
                    r[12] = 200;
                    r[14] = 150;
                    r[8] = 3;  // bridge, which the Zel-6 offers
                  },
                  0, 90, 60, 100, 3}),
    [](const ::testing::TestParamInfo<PasteCase>& info) { return std::string(info.param.name); });

TEST_F(ZelRecordsTest, APasteFillsAsManyStoredEntriesAsTheRecordHasChannels) {
  // A Zel-6 record onto a two-channel amplifier: all four gains and windows are taken, and the
  // windows of channels C and D that go to the unit are the record's, not old ones.
  CZelSeriesDevice* d = Add(51, 7);
  Connect(*d);
  Deliver(*d, 0x3B, ZelReply(*d, 0x3B, 26, {1, 1, 1, 1, 5, 5, 5, 5, 0, 90, 0, 0, 0}, true));
  auto record = Add(55, 8)->MakeClipboardRecord();
  for (int n = 0; n < 4; ++n) {
    record[std::size_t(1 + n)] = std::uint8_t(10 + n);
    record[std::size_t(14 + n)] = std::uint8_t(20 + n);
  }
  d->Queue().ClearQueue();
  PasteZelRecord(*d, record, 0);
  for (int n = 0; n < 4; ++n) {
    EXPECT_EQ(d->GetGainIndex(n), 10 + n) << n;
    EXPECT_EQ(d->GetImpedanceWindow(n), 20 + n) << n;
  }
  std::vector<Bytes> windows;
  for (const Bytes& f : Queued(*d))
    if (f[9] == 0x27) windows.push_back(Bytes(f.begin() + 10, f.end() - 1));
  EXPECT_EQ(windows, (std::vector<Bytes>{{0, 20}, {1, 21}, {2, 22}, {3, 23}}));

  // A two-channel record leaves entries C and D; a damaged count stops at four.
  auto pair = Add(51, 9)->MakeClipboardRecord();
  pair[1] = 3;
  pair[3] = 31;
  PasteZelRecord(*d, pair, kZelCmdPasteControls);
  EXPECT_EQ(d->GetGainIndex(0), 3);
  EXPECT_EQ(d->GetGainIndex(2), 12);
  record[4] = 7;
  record[20] = 0xFF;
  record[21] = 0xFF;
  PasteZelRecord(*d, record, 0);
  EXPECT_EQ(d->GetGainIndex(3), 7);
}

TEST_F(ZelRecordsTest, StandbyLogLinesFollowTheUnitNotTheFile) {
  // Saved in standby: the first settings reply in standby is the unit going into it.
  CZelSeriesDevice* saved = Add(51, 9);
  Deliver(*saved, 0x3B, ZelReply(*saved, 0x3B, 26, {0, 0, 0, 0, 0, 0, 0, 0, 0, 90, 0, 0, 0x01}, true));
  ASSERT_TRUE(saved->IsInStandby());
  CArchive out;
  saved->Serialize(out);
  const Bytes record = out.TakeData();
  auto logged = [&](const std::string& line) {
    const auto lines = frame.LogLines();
    return std::size_t(std::count(lines.begin(), lines.end(), line));
  };
  const std::size_t going = logged("Amplifier ID 9 going into Standby Mode\n");
  const std::size_t coming = logged("Amplifier ID 9 coming out of Standby Mode\n");

  CZelSeriesDevice* inStandby = Add(51, 9);
  CArchive in(record);
  inStandby->Serialize(in);
  EXPECT_TRUE(inStandby->IsInStandby());
  Deliver(*inStandby, 0x3B, ZelReply(*inStandby, 0x3B, 26, {0, 0, 0, 0, 0, 0, 0, 0, 0, 90, 0, 0, 0x01}, true));
  EXPECT_EQ(logged("Amplifier ID 9 going into Standby Mode\n"), going + 1);

  // The same file while the unit is operating: no edge was seen, so nothing comes out.
  CZelSeriesDevice* operating = Add(51, 9);
  CArchive again(record);
  operating->Serialize(again);
  Deliver(*operating, 0x3B, ZelReply(*operating, 0x3B, 26, {0, 0, 0, 0, 0, 0, 0, 0, 0, 90, 0, 0, 0}, true));
  EXPECT_EQ(logged("Amplifier ID 9 coming out of Standby Mode\n"), coming);
}

TEST_F(ZelRecordsTest, PasteReleasesASoloAndSendsAllSettingsWhenConnected) {
  CZelSeriesDevice* d = Add(51, 7);
  CZelSeriesDevice* other = Add(51, 8);
  Connect(*d);
  Connect(*other);
  ModelChange(d, MakeBoolParamValue(kZelParamSolo, true));
  ASSERT_EQ(other->GetMuteOverride(), 0x20);
  d->CopyToClipboard(0);
  d->Queue().ClearQueue();
  d->PasteFromClipboard(0);
  EXPECT_EQ(d->GetMuteOverride(), 0);
  EXPECT_EQ(other->GetMuteOverride(), 0);
  EXPECT_EQ(Queued(*d).size(), 11u);  // every setting but the threshold that was never set
  EXPECT_EQ(frame.Count(FrameMsg::kSelectDevice), 1u);
}

// A file saved during a solo (or while another unit's solo mutes this one) opens with every
// amplifier showing its own mutes: no solo is shown, the mute buttons send, and what Send
// gives the units is what the panels show.
TEST_F(ZelRecordsTest, AFileSavedDuringASoloOpensWithEachAmplifiersOwnMutes) {
  CZelSeriesDevice* soloed = Add(51, 7);
  CZelSeriesDevice* other = Add(51, 8);
  Connect(*soloed);
  Connect(*other);
  ModelChange(other, MakeBoolParamValue(kZelParamMute, true));  // its own mask: channel 1
  ModelChange(soloed, MakeBoolParamValue(kZelParamSolo + 1, true));
  ASSERT_EQ(other->GetMuteOverride(), 0x20);
  ASSERT_TRUE(other->GetCurrentValue(kZelParamMute + 1).flag);
  QTemporaryDir dir;
  const std::string path = dir.filePath(QStringLiteral("solo.ovd")).toStdString();
  ASSERT_TRUE(system.File().SaveFile(path));

  ASSERT_TRUE(system.File().OpenFile(path));
  ASSERT_EQ(system.GetDeviceCount(), 2);
  auto* a = static_cast<CZelSeriesDevice*>(system.GetDevice(0));
  auto* b = static_cast<CZelSeriesDevice*>(system.GetDevice(1));
  for (CZelSeriesDevice* d : {a, b}) {
    EXPECT_EQ(d->GetMuteOverride(), 0) << d->GetDeviceId();
    for (int n = 0; n < 2; ++n) EXPECT_FALSE(d->GetCurrentValue(kZelParamSolo + n).flag) << d->GetDeviceId();
  }
  EXPECT_FALSE(a->GetCurrentValue(kZelParamMute).flag);
  EXPECT_FALSE(a->GetCurrentValue(kZelParamMute + 1).flag);
  EXPECT_TRUE(b->GetCurrentValue(kZelParamMute).flag);
  EXPECT_FALSE(b->GetCurrentValue(kZelParamMute + 1).flag);

  // Send gives each unit the mutes its panel shows.
  for (CZelSeriesDevice* d : {a, b}) {
    CDeviceTestAccess::SendAllSettings(static_cast<CZelBaseDevice&>(*d));
    const auto frames = Queued(*d);
    const auto mute = std::find_if(frames.begin(), frames.end(), [](const Bytes& f) { return f[9] == 0x09; });
    ASSERT_NE(mute, frames.end());
    EXPECT_EQ((*mute)[10], d == b ? 0x01 : 0x00) << d->GetDeviceId();
    d->Queue().ClearQueue();
  }
  // The mute buttons send.
  Connect(*b);
  ModelChange(b, MakeBoolParamValue(kZelParamMute, false));
  const auto frames = Queued(*b);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0][9], 0x09);
  EXPECT_EQ(frames[0][10], 0x00);
  EXPECT_FALSE(b->GetCurrentValue(kZelParamMute).flag);
}

TEST_F(ZelRecordsTest, CanPasteNeedsTheFormatTheRightToUseControlsAndTheUnit) {
  CZelSeriesDevice* d = Add(51, 7);
  EmptyClipboard();
  EXPECT_FALSE(d->CanPaste(0));
  d->CopyToClipboard(0);
  EXPECT_FALSE(d->CanPaste(0));  // online and not connected: it would change the file only
  Connect(*d);
  EXPECT_TRUE(d->CanPaste(0));
  system.Users().GetUsers()[0]->SetRestrictionMask(kRestrictUseDeviceControls);
  EXPECT_FALSE(d->CanPaste(0));
  system.Users().GetUsers()[0]->SetRestrictionMask(0);
  system.Users().SetCurrentUser(5);
  EXPECT_FALSE(d->CanPaste(0));
  system.Users().SetCurrentUser(0);
}

TEST_F(ZelRecordsTest, ContextMenuEntriesGoBelowPasteOrAfterTheFirstItem) {
  CZelSeriesDevice* d = Add(51, 7);
  CMenu menu;
  menu.AppendItem(57634, "Copy");
  menu.AppendItem(57637, "Paste");
  menu.AppendItem(33000, "Delete");
  d->BuildContextMenu(menu, 0);
  ASSERT_EQ(menu.GetItemCount(), 7);
  EXPECT_EQ(menu.GetItemId(2), kZelCmdPasteControls);
  EXPECT_EQ(menu.GetItem(2)->text, "Paste Controls Only");
  EXPECT_EQ(menu.GetItem(3)->text, "Paste Properties Only");
  EXPECT_TRUE(menu.GetItem(4)->separator);
  EXPECT_EQ(menu.GetItem(5)->text, "Ignore Device When Online");
  EXPECT_EQ(menu.GetItemId(6), 33000u);

  CMenu plain;
  plain.AppendItem(1, "First");
  plain.AppendItem(2, "Second");
  d->BuildContextMenu(plain, 0);
  EXPECT_EQ(plain.GetItemId(1), kZelCmdPasteControls);
  EXPECT_EQ(plain.GetItemId(5), 2u);

  Connect(*d);
  EXPECT_FALSE(d->OnContextMenuCommand(kZelCmdIgnoreDevice, 0));
  EXPECT_TRUE(d->IsIgnored());
  EXPECT_EQ(d->GetCommsLevel(), 0);
  EXPECT_FALSE(d->OnContextMenuCommand(kZelCmdIgnoreDevice, 0));
  EXPECT_FALSE(d->IsIgnored());
  EXPECT_TRUE(d->NeedsInitialisation());
  EXPECT_TRUE(d->OnContextMenuCommand(kZelCmdPasteControls, 0));
}

TEST_F(ZelRecordsTest, StatusHintsRefreshBoundParametersAndThePanel) {
  CZelSeriesDevice* d = Add(55, 7);
  CTestControlPanel panel;
  d->SetControlPanel(&panel);
  auto ids = [&](int hint) {
    panel.notified.clear();
    d->OnStatusEvent(hint);
    std::vector<int> out;
    for (const auto& v : panel.notified) out.push_back(v.id);
    return out;
  };
  EXPECT_EQ(ids(kZelHintControls), (std::vector<int>{5, 9, 13, 6, 10, 14, 7, 11, 15, 8, 12, 16, 40, 34, 35}));
  EXPECT_EQ(ids(kZelHintNames), (std::vector<int>{21, 22, 23, 24, 25}));
  EXPECT_EQ(ids(kZelHintStandby), (std::vector<int>{34, 35}));
  EXPECT_EQ(ids(kZelHintState).size(), 20u);
  EXPECT_TRUE(ids(kZelHintInfo).empty());
  EXPECT_TRUE(ids(109).empty());
  d->SetControlPanel(nullptr);
}

}  // namespace
