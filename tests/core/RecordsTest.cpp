#include <gtest/gtest.h>
#include <functional>

#include <set>
#include <sstream>
#include <vector>

#include "core/support/AppSettings.h"
#include "core/file/DataStream.h"
#include "core/values/ParamRecords.h"
#include "core/file/TextConversion.h"
#include "core/file/Uuid.h"
#include "platform/Archive.h"
#include "platform/SettingsStore.h"

using Bytes = std::vector<std::uint8_t>;

namespace {
Bytes BytesOf(const std::ostringstream& out) {
  std::string s = out.str();
  return Bytes(s.begin(), s.end());
}
}  // namespace

TEST(ParamRecords, InfoEqualityCoversEveryField) {
  const CParamInfo a{"Gain", ParamKind::kLevel, 13, 0, 12.0f, -40.0f, 0, 0};
  const std::vector<std::function<void(CParamInfo&)>> changes = {
      [](CParamInfo& i) { i.name = "Gain2"; },       [](CParamInfo& i) { i.kind = ParamKind::kDelay; },
      [](CParamInfo& i) { i.id = 14; },              [](CParamInfo& i) { i.inactive = 1; },
      [](CParamInfo& i) { i.maximum = 12.5f; },      [](CParamInfo& i) { i.minimum = -40.5f; },
      [](CParamInfo& i) { i.textLimit = 8; },        [](CParamInfo& i) { i.options = kParamOptionReadOnly; },
  };
  EXPECT_EQ(a, CParamInfo(a));
  for (std::size_t n = 0; n < changes.size(); ++n) {
    CParamInfo b = a;
    changes[n](b);
    EXPECT_NE(a, b) << n;
    EXPECT_FALSE(a == b) << n;
  }
}

TEST(ParamRecords, ValueBuilders) {
  CParamValue i = MakeIntParamValue(3, 5);
  EXPECT_EQ(i.kind, ParamKind::kInteger);
  EXPECT_EQ(i.integer, 5);
  EXPECT_EQ(i.value, 0.0f);
  CParamValue b = MakeBoolParamValue(4, true);
  EXPECT_EQ(b.kind, ParamKind::kBool);
  EXPECT_EQ(b.flag, 1);
  CParamValue t = MakeTextParamValue(58, "Stage Left");
  EXPECT_EQ(t.GetText(), "Stage Left");
  CParamValue f(13, -3.5f, ParamKind::kLevel);
  EXPECT_EQ(f.kind, ParamKind::kLevel);
  EXPECT_EQ(f.value, -3.5f);
  CParamValue none = MakeNoParamValue();
  EXPECT_EQ(none.id, 0);
  EXPECT_EQ(none.kind, ParamKind::kNone);
}

TEST(Uuid, NilAndRandomVersion4) {
  CUuid nil = MakeUuid(true);
  EXPECT_TRUE(nil.IsNil());
  std::set<CUuid> seen;
  for (int i = 0; i < 50; ++i) {
    CUuid u = MakeUuid(false);
    EXPECT_EQ(u.bytes[6] >> 4, 4);
    EXPECT_EQ(u.bytes[8] & 0xC0, 0x80);
    seen.insert(u);
  }
  EXPECT_EQ(seen.size(), 50u);
  CUuid a = MakeUuid();
  CUuid b;
  AssignUuid(b, a);
  EXPECT_EQ(a, b);
  AssignUuid(a, a);
  EXPECT_EQ(a, b);
}

TEST(Uuid, ArchiveFormIsSixteenRawBytes) {
  CUuid u;
  for (int i = 0; i < 16; ++i) u.bytes[i] = std::uint8_t(i + 1);
  CArchive out;
  ArchiveUuid(out, u);
  ASSERT_EQ(out.Data().size(), 16u);
  EXPECT_EQ(out.Data()[0], 1);
  CArchive in(out.TakeData());
  CUuid back;
  ArchiveUuid(in, back);
  EXPECT_EQ(back, u);
}

TEST(DataStream, RectGoesLeftRightTopBottom) {
  std::ostringstream out;
  CDataStream ds(out);
  CRect r{1, 2, 3, 4};
  StreamRect(ds, r);
  EXPECT_EQ(BytesOf(out), (Bytes{1, 0, 0, 0, 1, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 4, 0, 0, 0}));
}

TEST(DataStream, EveryRecordRoundTrips) {
  std::ostringstream out;
  CDataStream ws(out);
  CUuid u = MakeUuid();
  CPoint p{-5, 7};
  CWindowPlacement wp{2, 3, {10, 11}, {-1, -1}, {4, 5, 600, 700}};
  std::string s = "Snapshot \xC3\xA9";
  CColour c = CColour::FromArgb(0x80, 0x10, 0x20, 0x30);
  StreamUuid(ws, u);
  StreamPoint(ws, p);
  StreamWindowPlacement(ws, wp);
  StreamString(ws, s);
  StreamColour(ws, c);

  std::istringstream in(out.str());
  CDataStream rs(in);
  CUuid u2;
  CPoint p2;
  CWindowPlacement wp2;
  std::string s2 = "old";
  CColour c2;
  StreamUuid(rs, u2);
  StreamPoint(rs, p2);
  StreamWindowPlacement(rs, wp2);
  StreamString(rs, s2);
  StreamColour(rs, c2);
  EXPECT_EQ(u2, u);
  EXPECT_EQ(p2, p);
  EXPECT_EQ(wp2, wp);
  EXPECT_EQ(s2, s);
  EXPECT_EQ(c2, c);
}

TEST(DataStream, ColourGoesAlphaRedGreenBlue) {
  std::ostringstream out;
  CDataStream ds(out);
  CColour c = CColour::FromArgb(0xFF, 0x11, 0x22, 0x33);
  StreamColour(ds, c);
  EXPECT_EQ(BytesOf(out), (Bytes{1, 0, 0, 0, 0xFF, 0x11, 0x22, 0x33}));
}

TEST(DataStream, WindowPlacementHasNestedVersionsAndNoLength) {
  std::ostringstream out;
  CDataStream ds(out);
  CWindowPlacement wp;
  StreamWindowPlacement(ds, wp);
  // version, flags, show, point(3 words), point(3 words), rect(5 words)
  EXPECT_EQ(out.str().size(), 4u * (3 + 3 + 3 + 5));
}

TEST(DataStream, UnknownVersionLeavesTargetUnchanged) {
  Bytes raw = {2, 0, 0, 0, 1, 0, 0, 0, 'x'};
  std::istringstream in(std::string(raw.begin(), raw.end()));
  CDataStream ds(in);
  std::string s = "keep";
  StreamString(ds, s);
  EXPECT_EQ(s, "keep");
}

TEST(DataStream, ShortStreamStopsSilentlyKeepingWhatWasRead) {
  Bytes raw = {1, 0, 0, 0, 9, 0, 0, 0};  // point x = 9, then nothing
  std::istringstream in(std::string(raw.begin(), raw.end()));
  CDataStream ds(in);
  CPoint p{1, 2};
  StreamPoint(ds, p);
  EXPECT_EQ(p.x, 9);
  EXPECT_EQ(p.y, 2);
}

TEST(DataStream, ModelessStreamDoesNothing) {
  CDataStream ds;
  std::string s = "same";
  StreamString(ds, s);
  EXPECT_EQ(s, "same");
}

TEST(TextConversion, Utf8AndWideRoundTripAndInvalidBytesSurvive) {
  std::string utf8 = "Caf\xC3\xA9 \xE2\x82\xAC";
  CWideString w = Utf8ToCString(utf8);
  EXPECT_EQ(w.size(), 6u);
  EXPECT_EQ(CStringToUtf8(w), utf8);
  CWideString bad = Utf8ToCString(std::string("a\xFF" "b"));
  EXPECT_EQ(bad.front(), u'a');
  EXPECT_EQ(bad.back(), u'b');
}

TEST(TextConversion, SharedBufferCutsAtCharacterBoundary) {
  CWideString longText(600, u'\u00E9');  // 1200 UTF-8 bytes
  std::string cut = WideToUtf8Buffer(longText);
  EXPECT_EQ(cut.size(), 1022u);
  EXPECT_EQ(Utf8ToCString(cut), CWideString(511, u'\u00E9'));
  EXPECT_STREQ(WideToUtf8Buffer(u"abc"), "abc");
}

TEST(TextConversion, EraseCharAndCharAtOrSpace) {
  std::string t = "a/b//c";
  EXPECT_EQ(EraseChar('/', t), 3u);
  EXPECT_EQ(t, "abc");
  EXPECT_EQ(CharAtOrSpace("AB", 5), ' ');
  EXPECT_EQ(CharAtOrSpace("AB", 1), 'B');
}

TEST(AppSettings, DefaultsWithAnEmptyStore) {
  CAppSettings s;
  s.Load();
  EXPECT_EQ(s.comPort, 1u);
  EXPECT_EQ(s.baudRate, 57600u);
  EXPECT_EQ(s.onGoOnline, kGoOnlineAsk);
  EXPECT_FALSE(s.loadLastFileOnStartup);
  EXPECT_EQ(s.autoSave, 0u);
  EXPECT_FALSE(s.logCommsErrors);
  EXPECT_EQ(s.commsTimeoutConstant, 0u);
  EXPECT_EQ(s.maxLogFileSizeKB, 100u);
  EXPECT_EQ(s.temperatureWarning, 70u);
  EXPECT_FALSE(s.superDebug);
  EXPECT_EQ(s.imageLibraryFilename, CAppSettings::DefaultImageLibraryFilename());
  EXPECT_NE(s.imageLibraryFilename.find("/Orvak/ImageLib.ovl"), std::string::npos);
  EXPECT_EQ(CAppSettings::GetConfirmDialogs(), 0xFFFFFFFFu);
  EXPECT_TRUE(CAppSettings::GetCheckForUpdates());
}

TEST(AppSettings, SettersPersistAndBoolsReadAsNonZero) {
  CAppSettings s;
  s.SetComPort(4);
  s.SetBaudRate(115200);
  s.SetOnGoOnline(kGoOnlineSend);
  s.SetAutoSave(5);
  s.SetTemperatureWarning(0);
  s.SetImageLibraryFilename("/data/lib.ovl");
  CAppSettings::SetConfirmDialogs(0x3FE);
  CAppSettings::SetCheckForUpdates(false);
  CSettingsStore::WriteInt("Settings", "SuperDebug", 7);

  CAppSettings t;
  t.Load();
  EXPECT_EQ(t.comPort, 4u);
  EXPECT_EQ(t.baudRate, 115200u);
  EXPECT_EQ(t.onGoOnline, kGoOnlineSend);
  EXPECT_EQ(t.autoSave, 5u);
  EXPECT_EQ(t.temperatureWarning, 0u);
  EXPECT_EQ(t.imageLibraryFilename, "/data/lib.ovl");
  EXPECT_TRUE(t.superDebug);
  EXPECT_EQ(CAppSettings::GetConfirmDialogs(), 0x3FEu);
  EXPECT_FALSE(CAppSettings::GetCheckForUpdates());
  CSettingsStore::WriteString("WinSparkle", "CheckForUpdates", "yes");
  EXPECT_FALSE(CAppSettings::GetCheckForUpdates());
}
