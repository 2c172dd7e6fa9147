// Panel, widget, image and folder records of a later version than this program reads refuse the
// whole file with the message of a file from a later program (a version no program wrote, as
// damage), and load nothing of it.
#include <gtest/gtest.h>

#include <algorithm>

#include "custom/CPData.h"
#include "core/file/ImageTree.h"
#include "custom/BitmapControl.h"
#include "custom/ButtonControl.h"
#include "custom/CustomControls.h"
#include "custom/FaderControl.h"
#include "custom/KnobControl.h"
#include "custom/TextControl.h"
#include "platform/Archive.h"
#include "tests/custom/CustomTestSupport.h"
#include "tests/support/RecordingUi.h"

namespace {

// Where in the stored file a record's version word lies.
enum class Record { Panel, WidgetBase, Bitmap, Led, Fader, Knob, Text, Button, Image, Folder };

class RecordVersionsTest : public ::testing::TestWithParam<Record> {
 protected:
  void SetUp() override { RegisterCustomControls(); }
};

std::size_t Find(const Bytes& file, const Bytes& part) {
  const auto at = std::search(file.begin(), file.end(), part.begin(), part.end());
  EXPECT_NE(at, file.end());
  return std::size_t(at - file.begin());
}

std::size_t Find(const Bytes& file, const CUuid& id) { return Find(file, Bytes(id.bytes.begin(), id.bytes.end())); }

TEST_P(RecordVersionsTest, LaterVersion_RefusesTheFileAsFromALaterVersion) {
  CSystem s;
  auto* folder = new CCCImageDirectory("Skins");
  auto* image = new CCCImage;
  image->m_format = kImageFormatPng;
  image->SetBitmap(CImage(2, 2));
  folder->AddChild(image);
  s.Images().GetFileImages().AddChild(folder);
  CCPData* panel = s.Panels().AddCustomPanel();
  auto* bitmap = new CCCBitmap(nullptr, CRect{0, 0, 10, 10});
  bitmap->m_pImage = image;
  auto* led = new CCCLED(nullptr, CRect{0, 20, 10, 30});
  auto* fader = new CCCFader(nullptr, CRect{0, 40, 10, 90});
  auto* knob = new CCCKnob(nullptr, CRect{0, 100, 30, 130});
  auto* text = new CCCTextControl(nullptr, "Arial", 10.0f, kTextDefaultFlags, CRect{0, 140, 40, 160});
  auto* button = new CCCButton(nullptr, CRect{0, 170, 40, 190});
  panel->m_widgets = {bitmap, led, fader, knob, text, button};

  CArchive out;
  ASSERT_TRUE(s.File().Serialize(out));
  Bytes file = out.TakeData();
  // A widget's record: its base record (60 bytes from its version word), then its kind's.
  auto widgetAt = [&](CCustomControlObject* widget) {
    CArchive alone;
    widget->Serialize(alone, CTestLookup{});
    return Find(file, alone.Data());
  };
  std::size_t at = 0;
  switch (GetParam()) {
    case Record::Panel: at = Find(file, panel->GetUuid()) - 4; break;
    case Record::WidgetBase: at = widgetAt(bitmap); break;
    case Record::Bitmap: at = widgetAt(bitmap) + 60; break;
    case Record::Led: at = widgetAt(led) + 60; break;
    case Record::Fader: at = widgetAt(fader) + 60; break;
    case Record::Knob: at = widgetAt(knob) + 60; break;
    case Record::Text: at = widgetAt(text) + 60; break;
    case Record::Button: at = widgetAt(button) + 60; break;
    case Record::Image: at = Find(file, image->GetId()) - 4; break;
    case Record::Folder: at = Find(file, folder->GetId()) - 4; break;
  }
  const std::uint32_t version = GetU32At(file, at);
  ASSERT_TRUE(version == 1 || version == 2) << at;

  // A later version, and a version word no program ever wrote (damage).
  for (std::uint32_t bad : {9u, 0u}) {
    PutU32At(file, at, bad);
    CSystem back;
    CRecordingUi ui;
    back.SetUiServices(&ui);
    CArchive in(file);
    EXPECT_FALSE(back.File().Serialize(in));
    ASSERT_EQ(ui.FileErrors().size(), 1u);
    if (bad == 9)
      EXPECT_EQ(ui.FileErrors()[0].first, "Cannot open file (probably created in a more recent version)");
    else
      EXPECT_EQ(ui.FileErrors()[0].first.rfind("Error opening file - the file is damaged or incomplete", 0), 0u);
    EXPECT_TRUE(back.GetCustomPanels().empty());
    EXPECT_TRUE(back.Images().GetFileImages().GetChildren().empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Records, RecordVersionsTest,
                         ::testing::Values(Record::Panel, Record::WidgetBase, Record::Bitmap, Record::Led,
                                           Record::Fader, Record::Knob, Record::Text, Record::Button,
                                           Record::Image, Record::Folder));

}  // namespace
