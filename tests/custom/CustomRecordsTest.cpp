// Custom panel, widget and image records: exact bytes of each record, the versions read,
// damaged forms, stream records and clipboard copies.
#include <gtest/gtest.h>

#include <map>

#include "custom/CPData.h"
#include "core/file/DataStream.h"
#include "core/file/ImageTree.h"
#include "custom/BitmapControl.h"
#include "custom/ButtonControl.h"
#include "custom/CustomControls.h"
#include "custom/FaderControl.h"
#include "custom/KnobControl.h"
#include "custom/TextControl.h"
#include "platform/Archive.h"
#include "platform/Bitmap.h"
#include "tests/custom/CustomTestSupport.h"

namespace {

// The bytes of a widget's base record for rectangle r, unbound and without a panel.
Bytes BaseRecord(CRect r, std::uint32_t parameterId = 0, const CUuid& device = CUuid{}) {
  Bytes b;
  PutU32(b, 1);
  for (int v : {r.left, r.right, r.top, r.bottom}) PutU32(b, std::uint32_t(v));
  PutUuid(b, CUuid{});
  PutUuid(b, device);
  PutU32(b, parameterId);
  PutU32(b, 1);  // hit-test flag
  return b;
}

// The font record of the default text style at the given height.
void PutFont(Bytes& b, std::int32_t height) {
  for (std::int32_t v : {height, 0, 0, 0, 400}) PutU32(b, std::uint32_t(v));
  b.insert(b.end(), {0, 0, 0, 0, 0, 0, 5, 0});  // italic ... quality 5, pitch and family
  PutText(b, "Arial");
}

// The own part of a button or LED made for loading, with its default flags.
Bytes ButtonOwnPart(std::uint32_t flags) {
  Bytes b;
  PutU32(b, 2);
  PutU32(b, flags);
  PutText(b, "");
  PutU32(b, 7);
  for (std::uint32_t c : {0xFF00FF00u, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFF0000u}) PutU32(b, c);
  PutU32(b, 2);
  PutFont(b, -13);
  for (int i = 0; i < 3; ++i) PutUuid(b, CUuid{});
  return b;
}

struct KindCase {
  const char* name;
  std::uint32_t type;
  CCustomControlObject* (*make)();
  Bytes (*own)();  // the kind's own part for a widget made for loading
};

const KindCase kKinds[] = {
    {"Bitmap", kControlBitmap, [] { return static_cast<CCustomControlObject*>(new CCCBitmap); },
     [] {
       Bytes b;
       PutU32(b, 1);
       PutU32(b, 0x100);
       PutUuid(b, CUuid{});
       return b;
     }},
    {"Button", kControlButton, [] { return static_cast<CCustomControlObject*>(new CCCButton); },
     [] { return ButtonOwnPart(0x14920); }},
    {"Led", kControlLed, [] { return static_cast<CCustomControlObject*>(new CCCLED); },
     [] { return ButtonOwnPart(0x14A60); }},
    {"Fader", kControlFader, [] { return static_cast<CCustomControlObject*>(new CCCFader); },
     [] {
       Bytes b;
       for (std::uint32_t v : {1u, 0x128u, 0x42C80000u /* 100.0 */, 0u, 10u, 5u, 0xFFFF0000u, 0xFFFFFFFFu, 0xFFFFFFFFu})
         PutU32(b, v);
       PutUuid(b, CUuid{});
       PutFont(b, -11);
       return b;
     }},
    {"Knob", kControlKnob, [] { return static_cast<CCustomControlObject*>(new CCCKnob); },
     [] {
       Bytes b;
       for (std::uint32_t v : {1u, 0x120u, 0x41200000u /* 10.0 */, 0xC1200000u /* -10.0 */, 150u,
                               std::uint32_t(-150), 5u, 5u, 3u, 6u, 0xFF00FF00u, 0xFF000080u, 0xFFFFFFFFu, 0xFFFFFFFFu})
         PutU32(b, v);
       PutUuid(b, CUuid{});
       PutFont(b, -11);
       return b;
     }},
    {"Text", kControlText, [] { return static_cast<CCustomControlObject*>(new CCCTextControl); },
     [] {
       Bytes b;
       PutU32(b, 1);
       PutU32(b, 0x483120);
       PutText(b, "Text");
       for (std::uint32_t v : {5u, 0xFF000000u, 0xFFFFFFFFu, 0xFFFFFFFFu, 2u, 1u}) PutU32(b, v);
       PutFont(b, -13);
       return b;
     }},
};

class WidgetKindTest : public ::testing::TestWithParam<KindCase> {
 protected:
  void SetUp() override { RegisterCustomControls(); }
  CTestLookup m_lookup;
};

TEST_P(WidgetKindTest, Record_GoldenBytesAndRoundTrip) {
  const KindCase& k = GetParam();
  std::unique_ptr<CCustomControlObject> w(k.make());
  EXPECT_EQ(w->GetControlType(), k.type);
  w->SetRect(10, 20, 110, 70);
  CArchive out;
  w->Serialize(out, m_lookup);
  Bytes expected = BaseRecord(CRect{10, 20, 110, 70});
  const Bytes own = k.own();
  expected.insert(expected.end(), own.begin(), own.end());
  EXPECT_EQ(FirstDifference(out.Data(), expected), -1);

  std::unique_ptr<CCustomControlObject> back(CreateCustomControl(k.type));
  ASSERT_NE(back, nullptr);
  CArchive in(out.Data());
  back->Serialize(in, m_lookup);
  EXPECT_EQ(in.Remaining(), 0u);
  EXPECT_EQ(back->m_rect, (CRect{10, 20, 110, 70}));
  EXPECT_EQ(back->m_pDevice, nullptr);
  CArchive again;
  back->Serialize(again, m_lookup);
  EXPECT_EQ(again.Data(), out.Data());
}

TEST_P(WidgetKindTest, Damaged_UnknownVersionsAndShortRecordsFailTheRead) {
  const KindCase& k = GetParam();
  std::unique_ptr<CCustomControlObject> w(k.make());
  CArchive out;
  w->Serialize(out, m_lookup);
  const Bytes good = out.Data();
  const std::size_t ownVersion = BaseRecord(CRect{}).size();
  for (std::size_t offset : {std::size_t(0), ownVersion}) {
    Bytes bad = good;
    bad[offset] = 9;
    std::unique_ptr<CCustomControlObject> back(k.make());
    CArchive in(bad);
    EXPECT_THROW(back->Serialize(in, m_lookup), CArchiveException) << offset;
  }
  for (std::size_t cut = 0; cut < good.size(); cut += 7) {
    std::unique_ptr<CCustomControlObject> back(k.make());
    CArchive in(Bytes(good.begin(), good.begin() + std::ptrdiff_t(cut)));
    EXPECT_THROW(back->Serialize(in, m_lookup), CArchiveException) << cut;
  }
}

TEST_P(WidgetKindTest, StreamAndClipboardCopy_KeepTheKindsFieldsButNotTheBinding) {
  const KindCase& k = GetParam();
  std::unique_ptr<CCustomControlObject> w(k.make());
  w->SetRect(1, 2, 30, 40);
  w->m_hitTest = false;
  w->m_pDevice = reinterpret_cast<CDevice*>(0x10);  // never touched: the copy drops it
  w->m_parameterId = 7;
  w->m_lastInactive = 0;
  std::unique_ptr<CCustomControlObject> copy(CopyCustomControl(*w));
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->GetControlType(), k.type);
  EXPECT_EQ(copy->m_rect, w->m_rect);
  EXPECT_FALSE(copy->m_hitTest);
  EXPECT_EQ(copy->m_pDevice, nullptr);
  EXPECT_EQ(copy->m_parameterId, 0u);
  EXPECT_EQ(copy->m_lastInactive, 1);
  // The copy is another widget to posted messages: a message about it never reaches w.
  EXPECT_NE(copy->GetHandle(), w->GetHandle());
  w->m_pDevice = nullptr;

  // The kind's own stream record reads back into a fresh widget and writes the same bytes.
  std::stringstream stored;
  CDataStream out(static_cast<std::ostream&>(stored));
  w->CCustomControlObject::SerializeStream(out, m_lookup);
  w->SerializeStream(out, m_lookup);
  std::unique_ptr<CCustomControlObject> back(CreateCustomControl(k.type));
  std::stringstream in(stored.str());
  CDataStream load(static_cast<std::istream&>(in));
  back->CCustomControlObject::SerializeStream(load, m_lookup);
  back->SerializeStream(load, m_lookup);
  EXPECT_EQ(back->m_rect, w->m_rect);
  EXPECT_FALSE(back->m_hitTest);
  std::stringstream again;
  CDataStream out2(static_cast<std::ostream&>(again));
  back->CCustomControlObject::SerializeStream(out2, m_lookup);
  back->SerializeStream(out2, m_lookup);
  EXPECT_EQ(again.str(), stored.str());
}

INSTANTIATE_TEST_SUITE_P(Kinds, WidgetKindTest, ::testing::ValuesIn(kKinds),
                         [](const auto& info) { return std::string(info.param.name); });

class CustomRecordsTest : public ::testing::Test {
 protected:
  void SetUp() override { RegisterCustomControls(); }
  CTestLookup m_lookup;
};

TEST_F(CustomRecordsTest, BaseRecord_BindsByIdAndLeavesUnknownIdsUnbound) {
  CSystem s;
  auto* device = new CFileTestDevice(&s, CFileTestDevice::kImagingType, 3, nullptr, 0);
  s.AppendDevice(device);
  m_lookup.devices[device->GetUuid()] = device;
  CCCBitmap w;
  w.m_pDevice = device;
  w.m_parameterId = 42;
  CArchive out;
  w.Serialize(out, m_lookup);
  const Bytes base = BaseRecord(CRect{}, 42, device->GetUuid());
  EXPECT_EQ(FirstDifference(Bytes(out.Data().begin(), out.Data().begin() + std::ptrdiff_t(base.size())), base), -1);

  CCCBitmap bound;
  CArchive in(out.Data());
  bound.Serialize(in, m_lookup);
  EXPECT_EQ(bound.m_pDevice, device);
  EXPECT_EQ(bound.m_parameterId, 42u);

  const CTestLookup empty;
  CCCBitmap unbound;
  CArchive in2(out.Data());
  unbound.Serialize(in2, empty);
  EXPECT_EQ(unbound.m_pDevice, nullptr);
  EXPECT_EQ(unbound.m_parameterId, 42u);
}

TEST_F(CustomRecordsTest, Button_Version1LoadsAsModifyParameterWithNilTargets) {
  CCCButton source;
  source.m_flags = kButtonLaunchPanel | kButtonOutline;
  source.m_text = "Go ▶";
  source.m_panelId = MakeUuid();
  CArchive out;
  source.Serialize(out, m_lookup);
  // Version 1 is the same record without the panel and snapshot ids.
  Bytes v1 = out.Data();
  v1.resize(v1.size() - 32);
  const std::size_t versionAt = BaseRecord(CRect{}).size();
  v1[versionAt] = 1;
  CCCButton back;
  back.m_panelId = MakeUuid();
  CArchive in(v1);
  back.Serialize(in, m_lookup);
  EXPECT_EQ(in.Remaining(), 0u);
  EXPECT_EQ(back.m_flags, kButtonLaunchPanel | kButtonOutline | kButtonModifyParameter);
  EXPECT_EQ(back.m_text, "Go ▶");
  EXPECT_TRUE(back.m_panelId.IsNil());
  EXPECT_TRUE(back.m_snapshotId.IsNil());
}

TEST_F(CustomRecordsTest, FontRecord_ReadFromAnotherWriterIsWrittenBackUnchanged) {
  CCCTextControl source;
  CArchive out;
  source.Serialize(out, m_lookup);
  Bytes file = out.Data();
  // Height -14, width 6, charset 1, quality 3 and a 40-character face: fields the style
  // itself does not keep.
  const std::size_t font = file.size() - (20 + 8 + 4 + 10);
  PutU32At(file, font, std::uint32_t(-14));
  PutU32At(file, font + 4, 6);
  file[font + 20 + 3] = 1;
  file[font + 20 + 6] = 3;
  file.resize(font + 28);
  PutText(file, std::string(40, 'F'));
  CCCTextControl back;
  CArchive in(file);
  back.Serialize(in, m_lookup);
  EXPECT_EQ(back.m_textStyle.face, std::string(31, 'F'));
  CArchive again;
  back.Serialize(again, m_lookup);
  Bytes expected(file.begin(), file.begin() + std::ptrdiff_t(font + 28));
  PutText(expected, std::string(31, 'F'));
  EXPECT_EQ(FirstDifference(again.Data(), expected), -1);

  // An empty face is a record too: written back as it was read.
  Bytes noFace(file.begin(), file.begin() + std::ptrdiff_t(font + 28));
  PutText(noFace, "");
  CCCTextControl faceless;
  CArchive inNoFace(noFace);
  faceless.Serialize(inNoFace, m_lookup);
  CArchive outNoFace;
  faceless.Serialize(outNoFace, m_lookup);
  EXPECT_EQ(FirstDifference(outNoFace.Data(), noFace), -1);

  // A changed style writes its own record.
  back.m_textStyle.size = 2000;
  CArchive changed;
  back.Serialize(changed, m_lookup);
  EXPECT_EQ(GetU32At(changed.Data(), font), std::uint32_t(-27));
  EXPECT_EQ(changed.Data()[font + 20 + 6], 5);
}

TEST_F(CustomRecordsTest, Knob_StreamKeepsNegativeRangeBounds) {
  CCCKnob knob;
  knob.m_rangeMin = -80.5f;
  knob.m_rangeMax = 1e9f;  // beyond the scaled word: kept at its largest value
  std::stringstream stored;
  CDataStream out(static_cast<std::ostream&>(stored));
  knob.SerializeStream(out, m_lookup);
  CCCKnob back;
  std::stringstream in(stored.str());
  CDataStream load(static_cast<std::istream&>(in));
  back.SerializeStream(load, m_lookup);
  EXPECT_FLOAT_EQ(back.m_rangeMin, -80.5f);
  EXPECT_FLOAT_EQ(back.m_rangeMax, 2147483647.0f / 100000.0f);
}

TEST_F(CustomRecordsTest, SizingRules_MinimumSizeAndTheBitmapsAspectRatio) {
  CCCKnob knob;
  EXPECT_EQ(knob.AdjustSizingRect(CRect{0, 0, 4, 3}, 8), (CRect{0, 0, 10, 10}));
  EXPECT_EQ(knob.AdjustSizingRect(CRect{0, 0, 4, 3}, 5), (CRect{-6, -7, 4, 3}));
  EXPECT_EQ(knob.AdjustSizingRect(CRect{0, 0, 4, 3}, 9), (CRect{0, 0, 4, 3}));

  CCCImage image;
  image.SetBitmap(CImage(200, 100));
  CCCBitmap bitmap;
  bitmap.m_pImage = &image;
  bitmap.m_imageUse = kImageUseAspectRatio;
  EXPECT_EQ(bitmap.AdjustSizingRect(CRect{0, 0, 150, 10}, 2), (CRect{0, 0, 150, 75}));
  EXPECT_EQ(bitmap.AdjustSizingRect(CRect{0, 0, 10, 40}, 4), (CRect{0, 0, 80, 40}));
  EXPECT_EQ(bitmap.GetSizingMode(), 3u);
  bitmap.m_imageUse = kImageUseFixToImage;
  EXPECT_EQ(bitmap.GetSizingMode(), 0u);

  CCCFader fader;
  EXPECT_EQ(fader.GetSizingMode(), 3u);
  fader.m_pKnobImage = &image;
  EXPECT_EQ(fader.GetSizingMode(), 2u);
  fader.m_flags |= kFaderHorizontal;
  EXPECT_EQ(fader.GetSizingMode(), 1u);
}

TEST_F(CustomRecordsTest, ButtonState_FollowsOnOffValuesOnlyForModifyParameter) {
  CCCButton button;
  button.SetRect(10, 10, 60, 30);
  button.m_lastInactive = 0;  // as drawn with an unbound parameter
  EXPECT_EQ(button.OnParameterUpdate(MakeBoolParamValue(1, true)), (CRect{10, 10, 60, 30}));
  EXPECT_TRUE(button.m_state);
  EXPECT_EQ(button.OnParameterUpdate(MakeBoolParamValue(1, true)), CRect{});
  EXPECT_EQ(button.OnParameterUpdate(CParamValue(1, 3.0f, ParamKind::kLevel)), CRect{});
  button.m_flags = (button.m_flags & ~kButtonActions) | kButtonLaunchPanel;
  EXPECT_EQ(button.OnParameterUpdate(MakeBoolParamValue(1, false)), CRect{});
  EXPECT_TRUE(button.m_state);
  button.m_flags |= kButtonHalo;
  EXPECT_EQ(button.GetBoundsRect(), (CRect{4, 4, 66, 36}));
  button.m_flags |= kButtonOffset;
  EXPECT_EQ(button.GetBoundsRect(), (CRect{10, 10, 61, 31}));
}

}  // namespace
