// The custom panel record, the image records and the system file with panels, widgets of
// every kind and nested image folders; the references that deleting objects clears.
#include <gtest/gtest.h>

#include <cstdlib>

#include "custom/CPData.h"
#include "core/model/Snapshot.h"
#include "core/system/SystemFile.h"
#include "core/system/Zone.h"
#include "custom/BitmapControl.h"
#include "custom/ButtonControl.h"
#include "custom/CustomControls.h"
#include "custom/FaderControl.h"
#include "custom/KnobControl.h"
#include "custom/TextControl.h"
#include "platform/Archive.h"
#include "platform/Bitmap.h"
#include "platform/Graphics.h"
#include "platform/Image.h"
#include "tests/custom/CustomTestSupport.h"
#include "tests/support/FixedTick.h"
#include "tests/support/RecordingUi.h"

namespace {

class CRecordingErrors : public CRecordingUi {
 public:
  void ShowFileError(const std::string& text, const std::string&) override { texts.push_back(text); }
  std::vector<std::string> texts;
};

// A picture whose every pixel differs, so that a decoded copy shows any mix-up.
CImage MakePicture(int w, int h) {
  CImage picture(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) picture.SetPixel(x, y, CColour::FromArgb(255, std::uint8_t(40 * x), std::uint8_t(60 * y), 7));
  return picture;
}

CCCImage* MakeImage(const std::string& name, std::int32_t format, int w = 3, int h = 2) {
  auto* image = new CCCImage;
  image->m_name = name;
  image->m_format = format;
  image->SetBitmap(MakePicture(w, h));
  return image;
}

// A 2 x 2 BMP file with 24 bits per pixel, rows bottom first and padded to 4 bytes.
Bytes Bmp24() {
  Bytes b = {'B', 'M'};
  PutU32(b, 14 + 40 + 16);
  PutU32(b, 0);
  PutU32(b, 14 + 40);
  for (std::uint32_t v : {40u, 2u, 2u}) PutU32(b, v);
  b.insert(b.end(), {1, 0, 24, 0});  // planes, bits per pixel
  for (int i = 0; i < 6; ++i) PutU32(b, 0);
  b.insert(b.end(), {0, 0, 255, 0, 255, 0, 0, 0});  // bottom row: red, green
  b.insert(b.end(), {255, 0, 0, 255, 255, 255, 0, 0});  // top row: blue, white
  return b;
}

// The bytes of an image record.
Bytes ImageRecord(const CUuid& id, const std::string& name, std::uint32_t format, const Bytes& data) {
  Bytes b;
  PutU32(b, 1);
  PutUuid(b, id);
  PutText(b, name);
  PutU32(b, format);
  PutU32(b, std::uint32_t(data.size()));
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

class PanelFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterCustomControls();
    RegisterFileTestDevices();
  }

  static Bytes Store(CSystem& s) {
    CArchive ar;
    EXPECT_TRUE(s.File().Serialize(ar));
    return ar.TakeData();
  }
  static bool Read(CSystem& s, const Bytes& file, CRecordingErrors* errors) {
    s.SetUiServices(errors);
    CArchive in(file);
    return s.File().Serialize(in);
  }
  // Offset of the file image root's record in a stored system without links or devices.
  static std::size_t ImageRootOffset(CSystem& empty) {
    const Bytes file = Store(empty);
    return file.size() - (4 + 16 + 4 + 4) - 4 - 4;
  }

  // A system with a device, nested image folders, two panels holding every widget kind, and
  // a snapshot that a button recalls.
  void Populate(CSystem& s) {
    device = new CFileTestDevice(&s, CFileTestDevice::kImagingType, 5, nullptr, 0);
    s.AppendDevice(device);
    s.GetZones()[0]->AppendDevice(device);
    auto* skins = new CCCImageDirectory("Skins");
    auto* inner = new CCCImageDirectory("Ünïcode Ордер");
    logo = MakeImage("logo", kImageFormatPng);
    cap = MakeImage("cap", kImageFormatBmp, 5, 4);
    skins->AddChild(logo);
    skins->AddChild(inner);
    inner->AddChild(cap);
    inner->AddChild(new CCCImageDirectory("empty"));
    s.Images().GetFileImages().AddChild(skins);
    s.Images().GetFileImages().m_name = "root";

    main = s.Panels().AddCustomPanel();
    main->m_name = "Main Ω";
    main->m_pBackgroundImage = logo;
    main->m_gridPitch = 12;
    main->m_showGrid = false;
    main->m_background = CColour::FromArgb(128, 1, 2, 3);
    main->m_placement = {2, 1, 5, 6, 7, 8, 10, 20, 300, 400};
    main->m_imageUsage = kImageUsageStretch;
    main->m_panelOrder = 2;
    other = s.Panels().AddCustomPanel();
    s.Snapshots().AddSnapshot("Show");

    auto* bitmap = new CCCBitmap(nullptr, CRect{0, 0, 60, 60});
    bitmap->m_pImage = cap;
    bitmap->m_imageUse = kImageUseAspectRatio;
    auto* led = new CCCLED(nullptr, CRect{1, 2, 21, 22});
    led->m_pDevice = device;
    led->m_parameterId = CFileTestDevice::kLevel;
    auto* fader = new CCCFader(nullptr, CRect{30, 0, 45, 150});
    fader->m_pKnobImage = logo;
    fader->m_pDevice = device;
    fader->m_parameterId = CFileTestDevice::kTrim;
    fader->m_rangeMin = -12.5f;
    fader->m_scaleStyle.face = "Courier";
    auto* knob = new CCCKnob(nullptr, CRect{50, 50, 90, 90});
    knob->m_pImage = cap;
    knob->m_flags |= kKnobDrawLeds | kKnobReversed;
    auto* text = new CCCTextControl(nullptr, "Arial", 12.0f, kTextDefaultFlags | kTextOutline, CRect{0, 100, 50, 120});
    text->m_caption = "Gain ±";
    text->m_hitTest = false;
    auto* button = new CCCButton(nullptr, CRect{0, 130, 50, 150});
    button->m_flags = (button->m_flags & ~kButtonActions) | kButtonLaunchPanel;
    button->m_panelId = other->GetUuid();
    button->m_snapshotId = s.GetSnapshots()[0]->GetUuid();
    button->m_pImage = logo;
    button->m_text = "Next";
    button->m_textStyle.weight = 700;
    main->m_widgets = {bitmap, led, fader, knob, text, button};
  }

  CFileTestDevice* device = nullptr;
  CCCImage* logo = nullptr;
  CCCImage* cap = nullptr;
  CCPData* main = nullptr;
  CCPData* other = nullptr;
  FixedTick m_tick{0x01020304};  // the users' scrambling key
};

TEST_F(PanelFileTest, NewPanel_GoldenBytesOfAClosedPanel) {
  CCPData panel;
  panel.m_name = "P";
  CArchive out;
  panel.Serialize(out, CTestLookup{});
  Bytes expected;
  PutU32(expected, 2);
  PutUuid(expected, panel.GetUuid());
  PutText(expected, "P");
  for (std::uint32_t v : {1u, 0u, 0u, 5u, 0xFF000028u}) PutU32(expected, v);
  PutUuid(expected, CUuid{});
  for (std::int32_t v : {44, 0, 3, -1, -1, -1, -1, -1, -1, 500, 500}) PutU32(expected, std::uint32_t(v));
  for (std::uint32_t v : {1u, 0u, 0u, 0u}) PutU32(expected, v);  // usage, open, order, widgets
  EXPECT_EQ(FirstDifference(out.Data(), expected), -1);
}

TEST_F(PanelFileTest, PanelRecord_Version1SwappedRectangleAndPitchOutOfRange) {
  CCPData panel;
  CArchive out;
  panel.Serialize(out, CTestLookup{});
  const Bytes v2 = out.Data();
  const std::size_t pitchAt = 4 + 16 + 4 + 12;  // version, id, name "" and three flags
  // In version 1: the colour, image id, length and six placement words come first.
  const std::size_t rectAt = pitchAt + 4 + 16 + 4 + 6 * 4;

  // Version 1 has no pitch word.
  Bytes v1 = v2;
  v1[0] = 1;
  v1.erase(v1.begin() + std::ptrdiff_t(pitchAt), v1.begin() + std::ptrdiff_t(pitchAt + 4));
  PutU32At(v1, rectAt, 600);
  PutU32At(v1, rectAt + 4, 400);
  PutU32At(v1, rectAt + 8, 100);
  PutU32At(v1, rectAt + 12, 50);
  CCPData back;
  back.m_gridPitch = 9;
  CArchive in(v1);
  back.Serialize(in, CTestLookup{});
  EXPECT_EQ(in.Remaining(), 0u);
  EXPECT_EQ(back.m_gridPitch, 9);
  EXPECT_EQ(back.GetUuid(), panel.GetUuid());
  EXPECT_EQ((std::array<int, 4>{back.m_placement[6], back.m_placement[7], back.m_placement[8], back.m_placement[9]}),
            (std::array<int, 4>{100, 50, 600, 400}));

  // A pitch no grid can have is clamped to the nearest one.
  for (auto [stored, kept] : {std::pair{0u, 2}, std::pair{1000u, 20}, std::pair{0xFFFFFFFFu, 2}}) {
    Bytes file = v2;
    PutU32At(file, pitchAt, stored);
    CCPData p;
    CArchive pin(file);
    p.Serialize(pin, CTestLookup{});
    EXPECT_EQ(p.m_gridPitch, kept) << stored;
  }
}

TEST_F(PanelFileTest, PanelRecord_DamagedFormsFailTheRead) {
  CCPData panel;
  panel.m_widgets.push_back(new CCCKnob);
  CArchive out;
  panel.Serialize(out, CTestLookup{});
  const Bytes good = out.Data();
  // Version, id, empty name, three flags, pitch, colour, image id, placement, usage, open
  // marker, order and count come before the first widget's type.
  const std::size_t typeAt = 4 + 16 + 4 + 12 + 4 + 4 + 16 + 44 + 12 + 4;
  ASSERT_EQ(GetU32At(good, typeAt), kControlKnob);
  struct Damage {
    std::size_t at;
    std::uint32_t value;
  };
  for (const Damage& d : {Damage{0, 3}, Damage{0, 0}, Damage{typeAt - 4, 2}, Damage{typeAt - 4, 0xFFFFFFFF},
                          Damage{typeAt, 6}, Damage{typeAt, 0}, Damage{typeAt + 4, 2}}) {
    Bytes bad = good;
    PutU32At(bad, d.at, d.value);
    CCPData back;
    CArchive in(bad);
    EXPECT_THROW(back.Serialize(in, CTestLookup{}), CArchiveException) << d.at << " " << d.value;
  }
}

TEST_F(PanelFileTest, SystemFile_EveryWidgetKindAndNestedFolders_RoundTripByteForByte) {
  CSystem s;
  Populate(s);
  const CUuid rootId = s.Images().GetFileImages().GetId();
  const Bytes file = Store(s);

  CSystem back;
  CRecordingErrors errors;
  ASSERT_TRUE(Read(back, file, &errors));
  EXPECT_TRUE(errors.texts.empty());
  EXPECT_EQ(FirstDifference(Store(back), file), -1);

  // The root keeps its id and name; folders, images and their order come back.
  EXPECT_EQ(back.Images().GetFileImages().GetId(), rootId);
  EXPECT_EQ(back.Images().GetFileImages().m_name, "root");
  ASSERT_EQ(back.Images().GetFileImages().GetChildren().size(), 1u);
  auto* skins = static_cast<CCCImageDirectory*>(back.Images().GetFileImages().GetChildren()[0]);
  ASSERT_EQ(skins->GetChildren().size(), 2u);
  auto* inner = static_cast<CCCImageDirectory*>(skins->GetChildren()[1]);
  EXPECT_EQ(inner->m_name, "Ünïcode Ордер");
  CCCImage* backLogo = back.Images().GetFileImages().FindImage(logo->GetId());
  CCCImage* backCap = back.Images().GetFileImages().FindImage(cap->GetId());
  ASSERT_TRUE(backLogo && backCap);
  EXPECT_EQ(backCap->m_format, kImageFormatBmp);
  EXPECT_EQ(backCap->GetPixelWidth(), 5);
  EXPECT_EQ(backCap->GetBitmap().GetPixel(4, 3), cap->GetBitmap().GetPixel(4, 3));

  // Panels in order with their widgets bound to the file's own device and images.
  ASSERT_EQ(back.GetCustomPanels().size(), 2u);
  CCPData* p = back.GetCustomPanels()[0];
  EXPECT_EQ(p->m_name, "Main Ω");
  EXPECT_EQ(p->GetOwner(), &back);
  EXPECT_EQ(p->m_pBackgroundImage, backLogo);
  EXPECT_EQ(p->m_gridPitch, 12);
  EXPECT_EQ(p->m_placement, main->m_placement);
  ASSERT_EQ(p->m_widgets.size(), 6u);
  const std::vector<std::uint32_t> types = {1, 2, 3, 4, 5, 8};
  for (std::size_t i = 0; i < types.size(); ++i) EXPECT_EQ(p->m_widgets[i]->GetControlType(), types[i]);
  EXPECT_EQ(static_cast<CCCBitmap*>(p->m_widgets[0])->m_pImage, backCap);
  EXPECT_EQ(p->m_widgets[1]->m_pDevice, back.GetDevice(0));
  EXPECT_EQ(static_cast<CCCFader*>(p->m_widgets[2])->m_pKnobImage, backLogo);
  EXPECT_FLOAT_EQ(static_cast<CCCFader*>(p->m_widgets[2])->m_rangeMin, -12.5f);
  EXPECT_EQ(static_cast<CCCFader*>(p->m_widgets[2])->m_scaleStyle.face, "Courier");
  EXPECT_EQ(static_cast<CCCTextControl*>(p->m_widgets[4])->m_caption, "Gain ±");
  EXPECT_FALSE(p->m_widgets[4]->m_hitTest);
  auto* button = static_cast<CCCButton*>(p->m_widgets[5]);
  EXPECT_EQ(button->m_panelId, back.GetCustomPanels()[1]->GetUuid());
  EXPECT_EQ(button->m_textStyle.weight, 700);
}

TEST_F(PanelFileTest, SystemFile_JpegPicturesAreEncodedAfreshAndReadBack) {
  CSystem s;
  s.Images().GetFileImages().AddChild(MakeImage("photo", kImageFormatJpeg, 16, 8));
  CSystem back;
  CRecordingErrors errors;
  ASSERT_TRUE(Read(back, Store(s), &errors));
  ASSERT_EQ(back.Images().GetFileImages().GetChildren().size(), 1u);
  auto* photo = static_cast<CCCImage*>(back.Images().GetFileImages().GetChildren()[0]);
  EXPECT_EQ(photo->m_format, kImageFormatJpeg);
  EXPECT_EQ(photo->GetPixelWidth(), 16);
  EXPECT_EQ(photo->GetPixelHeight(), 8);
}

TEST_F(PanelFileTest, ImageRecords_UndecodableBmp24AndFolderTags) {
  CSystem empty;
  const Bytes clean = Store(empty);
  const std::size_t rootAt = ImageRootOffset(empty);
  // A root with three children: picture bytes that are no picture, an empty record, a 24-bit
  // BMP, and a folder written with tag 2.
  const CUuid bad = MakeUuid(), none = MakeUuid(), bmp = MakeUuid();
  Bytes root;
  PutU32(root, 1);
  PutUuid(root, CUuid{});
  PutText(root, "");
  PutU32(root, 4);
  PutU32(root, 0);
  const Bytes junk = ImageRecord(bad, "junk", 3, Bytes{1, 2, 3, 4, 5});
  root.insert(root.end(), junk.begin(), junk.end());
  PutU32(root, 0);
  const Bytes zero = ImageRecord(none, "zero", 3, Bytes{});
  root.insert(root.end(), zero.begin(), zero.end());
  PutU32(root, 0);
  const Bytes bmp24 = ImageRecord(bmp, "tiles", 1, Bmp24());
  root.insert(root.end(), bmp24.begin(), bmp24.end());
  PutU32(root, 2);
  PutU32(root, 1);
  PutUuid(root, MakeUuid());
  PutText(root, "sub");
  PutU32(root, 0);
  Bytes file(clean.begin(), clean.begin() + std::ptrdiff_t(rootAt));
  file.insert(file.end(), root.begin(), root.end());
  file.insert(file.end(), clean.end() - 8, clean.end());  // panels, snapshots

  CSystem back;
  CRecordingErrors errors;
  ASSERT_TRUE(Read(back, file, &errors));
  // One notice for the pictures that do not decode, naming them.
  EXPECT_EQ(errors.texts, std::vector<std::string>{PicturesNotReadText(2, {"junk", "zero"}, false)});
  EXPECT_EQ(errors.texts[0],
            "Error loading image\n\n2 pictures of this file could not be read: \"junk\" and \"zero\".\n"
            "They are kept as they are and shown without a picture.");
  const auto& children = back.Images().GetFileImages().GetChildren();
  ASSERT_EQ(children.size(), 4u);
  auto* junkImage = static_cast<CCCImage*>(children[0]);
  EXPECT_EQ(junkImage->m_name, "junk");
  EXPECT_EQ(junkImage->GetId(), bad);
  EXPECT_FALSE(junkImage->HasBitmap());
  EXPECT_FALSE(static_cast<CCCImage*>(children[1])->HasBitmap());
  auto* tiles = static_cast<CCCImage*>(children[2]);
  ASSERT_TRUE(tiles->HasBitmap());
  EXPECT_EQ(tiles->GetBitmap().GetPixel(0, 0), CColour::FromRgb(0, 0, 255));
  EXPECT_EQ(tiles->GetBitmap().GetPixel(1, 1), CColour::FromRgb(0, 255, 0));
  EXPECT_TRUE(children[3]->IsDirectory());
  EXPECT_EQ(children[3]->m_name, "sub");

  // Stored again, the BMP goes through the BMP encoder; the images without a picture store
  // no bytes.
  const Bytes again = Store(back);
  CArchive in(Bytes(again.begin() + std::ptrdiff_t(rootAt), again.end()));
  CCCImageDirectory reread;
  CImageLoadReport report;
  reread.Serialize(in, &report);
  EXPECT_EQ(report.undecodedImages, 2);
  const std::size_t tilesData = std::size_t(std::search(again.begin(), again.end(), bmp.bytes.begin(), bmp.bytes.end()) -
                                            again.begin()) + 16 + 14 + 4 + 4;
  EXPECT_EQ(again[tilesData], 'B');
  EXPECT_EQ(again[tilesData + 1], 'M');
}

TEST_F(PanelFileTest, DamagedImageAndPanelRows_AreRefusedAsDamaged) {
  CSystem s;
  Populate(s);
  const Bytes good = Store(s);
  // An image length beyond the file, and a widget type no kind has.
  const std::size_t logoAt = std::size_t(std::search(good.begin(), good.end(), logo->m_id.bytes.begin(),
                                                     logo->m_id.bytes.end()) - good.begin());
  const std::size_t lengthAt = logoAt + 16 + 4 + 8 + 4;
  ASSERT_EQ(GetU32At(good, lengthAt - 4), std::uint32_t(kImageFormatPng));
  {
    Bytes bad = good;
    PutU32At(bad, lengthAt, 0x7FFFFFFFu);
    CSystem back;
    CRecordingErrors errors;
    EXPECT_FALSE(Read(back, bad, &errors));
    ASSERT_EQ(errors.texts.size(), 1u);
    EXPECT_EQ(errors.texts[0].rfind(kFileDamagedText, 0), 0u);
    EXPECT_TRUE(back.GetCustomPanels().empty());
  }

  // Without the widget kinds registered, a file with widgets is damaged too, never half read.
  RegisterCustomControl(kControlKnob, [] { return static_cast<CCustomControlObject*>(nullptr); });
  CSystem back;
  CRecordingErrors errors;
  EXPECT_FALSE(Read(back, good, &errors));
  EXPECT_TRUE(back.GetCustomPanels().empty());
  RegisterCustomControls();
}

TEST_F(PanelFileTest, TruncatedOrCorruptedAnywhere_FailsCleanlyOrReadsWhole) {
  CSystem s;
  Populate(s);
  const Bytes good = Store(s);
  for (std::size_t cut = 0; cut < good.size(); cut += 13) {
    CSystem back;
    CRecordingErrors errors;
    EXPECT_FALSE(Read(back, Bytes(good.begin(), good.begin() + std::ptrdiff_t(cut)), &errors)) << cut;
    EXPECT_TRUE(back.GetCustomPanels().empty());
  }
  // Any byte set to 0xFF: the file is refused or read, and what was read stores again.
  for (std::size_t at = 0; at < good.size(); at += 5) {
    Bytes bad = good;
    bad[at] = 0xFF;
    CSystem back;
    CRecordingErrors errors;
    if (Read(back, bad, &errors)) Store(back);
  }
}

TEST_F(PanelFileTest, DeeplyNestedFolders_AreRefusedWithoutExhaustingTheStack) {
  CCCImageDirectory root;
  Bytes deep;
  for (int i = 0; i < 100000; ++i) {
    PutU32(deep, 1);
    PutUuid(deep, CUuid{});
    PutText(deep, "");
    PutU32(deep, 1);
    PutU32(deep, 1);  // a folder
  }
  CArchive in(deep);
  EXPECT_THROW(root.Serialize(in), CArchiveException);
}

TEST_F(PanelFileTest, Deleting_DevicesImagesPanelsAndSnapshots_ClearsTheirReferences) {
  CSystem s;
  Populate(s);
  auto* copiedButton = new CCCButton(*static_cast<CCCButton*>(main->m_widgets[5]));
  s.Panels().GetCopiedWidgets().push_back(copiedButton);
  const auto& w = main->m_widgets;

  s.DeleteDevice(0);
  EXPECT_EQ(w[1]->m_pDevice, nullptr);
  EXPECT_EQ(w[1]->m_parameterId, std::uint32_t(CFileTestDevice::kLevel));
  EXPECT_EQ(w[2]->m_pDevice, nullptr);

  s.Images().DeleteImage(logo, true);
  EXPECT_EQ(main->m_pBackgroundImage, nullptr);
  EXPECT_EQ(static_cast<CCCFader*>(w[2])->m_pKnobImage, nullptr);
  EXPECT_EQ(static_cast<CCCButton*>(w[5])->m_pImage, nullptr);
  EXPECT_EQ(copiedButton->m_pImage, nullptr);
  EXPECT_EQ(static_cast<CCCBitmap*>(w[0])->m_pImage, cap);
  s.Images().DeleteImage(s.Images().GetFileImages().GetChildren()[0], true);  // the folder with cap
  EXPECT_EQ(static_cast<CCCBitmap*>(w[0])->m_pImage, nullptr);
  EXPECT_EQ(static_cast<CCCKnob*>(w[3])->m_pImage, nullptr);

  s.Panels().DeleteCustomPanel(1);
  EXPECT_TRUE(static_cast<CCCButton*>(w[5])->m_panelId.IsNil());
  EXPECT_TRUE(copiedButton->m_panelId.IsNil());
  s.Snapshots().DeleteSnapshot(0);
  EXPECT_TRUE(static_cast<CCCButton*>(w[5])->m_snapshotId.IsNil());

  // What is left still stores and reads back.
  CSystem back;
  CRecordingErrors errors;
  EXPECT_TRUE(Read(back, Store(s), &errors));
}

// --- Widgets past the coordinate limits ---

struct FarRect {
  CRect stored;
  CRect read;
};

class FarWidget : public PanelFileTest, public ::testing::WithParamInterface<FarRect> {};

// A widget past the limits (walked there by pastes, or dragged) is read back moved inside them
// with its size.
TEST_P(FarWidget, IsReadMovedWithItsSize) {
  CSystem s;
  auto* panel = new CCPData(&s);
  s.Panels().AppendCustomPanel(panel);
  auto* knob = new CCCKnob(nullptr, GetParam().stored);
  panel->m_widgets.push_back(knob);
  CSystem back;
  CRecordingErrors errors;
  ASSERT_TRUE(Read(back, Store(s), &errors));
  EXPECT_EQ(back.GetCustomPanels().at(0)->m_widgets.at(0)->m_rect, GetParam().read);
}

INSTANTIATE_TEST_SUITE_P(
    Rects, FarWidget,
    ::testing::Values(FarRect{CRect{18010, 20, 18050, 60}, CRect{16344, 20, 16384, 60}},
                      FarRect{CRect{-30015, -30030, -29975, -29990}, CRect{-16384, -16384, -16344, -16344}},
                      FarRect{CRect{100, 16400, 140, 16440}, CRect{100, 16344, 140, 16384}},
                      FarRect{CRect{16380, 10, 16300, 50}, CRect{16380, 10, 16300, 50}},
                      FarRect{CRect{-20000, 0, 20000, 30}, CRect{-16384, 0, 16384, 30}}));

// --- Sizes from damaged files ---

Bytes ReadDataFile(const std::string& name) {
  const char* root = std::getenv("ORVAK_TEST_DATA");
  Bytes bytes;
  EXPECT_TRUE(root && ReadWholeFile(std::string(root) + "/" + name, bytes, nullptr)) << name;
  return bytes;
}

bool WithinLimit(std::int64_t value) { return value >= -kPanelCoordinateLimit && value <= kPanelCoordinateLimit; }

// Files whose widget rectangles, panel placement, corner radius or outline width would have
// drawing ask for gigabytes or its arithmetic overflow: they open with every size held to
// what a panel can show, and every widget draws in both modes.
class DamagedSizes : public PanelFileTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(DamagedSizes, OpenWithSizesHeldToWhatAPanelCanShowAndDraw) {
  CSystem system;
  CRecordingErrors errors;
  ASSERT_TRUE(Read(system, ReadDataFile(std::string("fuzz/panel_file/") + GetParam()), &errors));
  ASSERT_FALSE(system.GetCustomPanels().empty());
  for (CCPData* panel : system.GetCustomPanels()) {
    const auto& p = panel->m_placement;
    for (std::size_t word = 2; word < p.size(); ++word) EXPECT_TRUE(WithinLimit(p[word])) << word << ": " << p[word];
    EXPECT_LE(std::int64_t(p[8]) - p[6], kPanelSizeLimit);
    EXPECT_LE(std::int64_t(p[9]) - p[7], kPanelSizeLimit);
    CImage canvas(640, 480);
    Graphics g(canvas);
    for (CCustomControlObject* w : panel->m_widgets) {
      SCOPED_TRACE(w->GetControlType());
      for (int edge : {w->m_rect.left, w->m_rect.top, w->m_rect.right, w->m_rect.bottom})
        EXPECT_TRUE(WithinLimit(edge));
      if (auto* button = dynamic_cast<CCCButton*>(w)) {
        EXPECT_TRUE(WithinLimit(button->m_cornerRadius) && button->m_cornerRadius >= 0);
        EXPECT_TRUE(WithinLimit(button->m_outlineWidth) && button->m_outlineWidth >= 0);
      }
      for (bool design : {false, true}) w->Draw(g, CRect{0, 0, 640, 480}, design);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Files, DamagedSizes,
                         ::testing::Values("huge-extreme.ovd", "huge-frame.ovd", "huge-knob.ovd", "ub-button.ovd",
                                           "panel-button-4GB-alloc.ovd", "panel-button-8.3GB-alloc.ovd",
                                           "panel-roundedbox-ub.ovd"));

// A knob larger than any kept drawing is drawn in place each time, not kept as an image of its
// whole size; it draws all the same.
TEST_F(PanelFileTest, DamagedSizes_AWidgetTooLargeToKeepIsDrawnInPlace) {
  CSystem system;
  CRecordingErrors errors;
  ASSERT_TRUE(Read(system, ReadDataFile("fuzz/panel_file/huge-knob.ovd"), &errors));
  auto* loaded = dynamic_cast<CCCKnob*>(system.GetCustomPanels().at(0)->m_widgets.at(0));
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->m_rect, (CRect{5, 5, 12005, 12005}));
  CCCKnob large(nullptr, CRect{10, 10, 710, 710});
  CCCKnob small(nullptr, CRect{10, 10, 70, 70});
  for (CCCKnob* knob : {loaded, &large, &small}) {
    CImage canvas(720, 720);
    Graphics g(canvas);
    g.Clear(CColour{0xFF000028u});
    knob->Draw(g, CRect{0, 0, 720, 720}, false);
    const CRect& r = knob->m_rect;
    if (knob != loaded) {
      EXPECT_GT(canvas.GetPixel((r.left + r.right) / 2, (r.top + r.bottom) / 2).argb & 0xFF, 100u);  // the blue body
    }
    EXPECT_EQ(knob->IsBodyKept(), knob == &small);
  }
}

// A range that is not a number would reach the unit as one: the file is refused as damaged and
// the open system stays as it was.
TEST_F(PanelFileTest, DamagedRanges_AWidgetRangeThatIsNotANumberRefusesTheFile) {
  CSystem system;
  system.Panels().AddCustomPanel();
  CRecordingErrors errors;
  EXPECT_FALSE(Read(system, ReadDataFile("fuzz/panel_file/ub-fader-nan.ovd"), &errors));
  ASSERT_EQ(errors.texts.size(), 1u);
  EXPECT_EQ(errors.texts[0].rfind(kFileDamagedText, 0), 0u) << errors.texts[0];
  EXPECT_EQ(system.GetCustomPanels().size(), 1u);
}

}  // namespace
