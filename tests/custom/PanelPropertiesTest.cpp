// The property lists of a custom panel and of the widget base: which entries appear, what an
// edit changes, and what is refused with which message.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/CPData.h"
#include "core/ImageTree.h"
#include "core/System.h"
#include "custom/BitmapControl.h"
#include "custom/ButtonControl.h"
#include "custom/CustomControls.h"
#include "custom/FaderControl.h"
#include "custom/KnobControl.h"
#include "custom/TextControl.h"
#include "tests/custom/CustomTestSupport.h"

namespace {

std::vector<std::string> NamesOf(const std::vector<CPropertyItem>& items) {
  std::vector<std::string> names;
  for (const CPropertyItem& item : items) names.push_back(item.name);
  return names;
}

class PanelPropertiesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_panel = m_system.AddCustomPanel();
    m_view.panel = m_panel;
    m_panel->m_pView = &m_view;
    m_system.SetDesignMode(1);
  }
  void TearDown() override { m_panel->m_pView = nullptr; }

  bool Edit(std::int32_t id, CNamedPropertyValue& value) {
    value.propertyId = id;
    return m_panel->ValidateProperty(value);
  }

  CSystem m_system;
  CCPData* m_panel = nullptr;
  CRecordingView m_view;
};

TEST_F(PanelPropertiesTest, Entries_OnlyInDesignModeAndImageUsageOnlyWithAnImage) {
  std::vector<CPropertyItem> items;
  m_panel->GetProperties(items);
  EXPECT_EQ(NamesOf(items),
            (std::vector<std::string>{"General", "Name", "Grid Pitch", "Background", "Background Colour", "Background Image"}));
  CCCImage image;
  m_panel->m_pBackgroundImage = &image;
  m_panel->m_imageUsage = kImageUsageCentre;
  items.clear();
  m_panel->GetProperties(items);
  ASSERT_EQ(items.size(), 7u);
  EXPECT_EQ(items[6].name, "Image Usage");
  EXPECT_EQ(items[6].value.GetOptions()->selected, 1u);
  m_panel->m_pBackgroundImage = nullptr;

  m_system.SetDesignMode(0);
  items.clear();
  m_panel->GetProperties(items);
  EXPECT_TRUE(items.empty());
}

TEST_F(PanelPropertiesTest, Edits_NameAndPitchLimitsColourImageAndUsage) {
  CNamedPropertyValue name;
  name.SetString(std::string(41, 'n'));
  EXPECT_FALSE(Edit(1, name));
  EXPECT_EQ(name.text, "Panel name too long - 40 characters max");
  name.SetString(std::string(40, 'n'));
  EXPECT_TRUE(Edit(1, name));
  EXPECT_EQ(m_panel->m_name, std::string(40, 'n'));
  EXPECT_EQ(m_view.title, m_panel->m_name);

  for (auto [pitch, accepted] : {std::pair{1, false}, std::pair{2, true}, std::pair{20, true}, std::pair{21, false}}) {
    CNamedPropertyValue value;
    value.SetNumber(pitch);
    EXPECT_EQ(Edit(3, value), accepted) << pitch;
    EXPECT_EQ(value.text, accepted ? "" : "Window value must be between 2 and 20");
  }
  EXPECT_EQ(m_panel->m_gridPitch, 20);

  m_system.SetModified(false);
  const int rebuilds = m_view.rebuilds;
  CNamedPropertyValue colour;
  colour.SetData(kPropColour, m_panel->m_background);
  EXPECT_TRUE(Edit(4, colour));
  EXPECT_EQ(m_view.rebuilds, rebuilds);  // the same colour changes nothing
  EXPECT_FALSE(m_system.IsModified());
  colour.SetData(kPropColour, CColour::FromArgb(10, 20, 30, 40));
  EXPECT_TRUE(Edit(4, colour));
  EXPECT_EQ(m_panel->m_background, CColour::FromArgb(10, 20, 30, 40));
  EXPECT_TRUE(m_system.IsModified());

  CCCImage image;
  CNamedPropertyValue background;
  background.SetData(kPropImage, &image);
  EXPECT_TRUE(Edit(5, background));
  EXPECT_EQ(m_panel->m_pBackgroundImage, &image);
  CPropertyOptions usage;
  usage.selected = 2;
  CNamedPropertyValue usageValue;
  usageValue.SetData(kPropOptions, usage);
  EXPECT_TRUE(Edit(6, usageValue));
  EXPECT_EQ(m_panel->m_imageUsage, kImageUsageStretch);
  usage.selected = std::uint32_t(-1);
  usageValue.SetData(kPropOptions, usage);
  EXPECT_TRUE(Edit(6, usageValue));
  EXPECT_EQ(m_panel->m_imageUsage, kImageUsageStretch);
  m_panel->m_pBackgroundImage = nullptr;

  CNamedPropertyValue other;
  EXPECT_FALSE(Edit(7, other));
}

TEST_F(PanelPropertiesTest, WidgetEntries_ParameterRowsForBoundKindsOnlyAndBinding) {
  RegisterCustomControls();
  for (std::uint32_t type : {kControlBitmap, kControlLed, kControlFader, kControlKnob, kControlText, kControlButton}) {
    std::unique_ptr<CCustomControlObject> w(CreateCustomControl(type));
    w->SetRect(5, 6, 25, 16);
    std::vector<CPropertyItem> items;
    w->GetProperties(items);
    ASSERT_GE(items.size(), 3u);
    EXPECT_EQ(items[1].value.GetString(), "5, 6");
    EXPECT_EQ(items[2].value.GetString(), "20, 10");
    const bool bindable = type != kControlBitmap && type != kControlButton;
    // The kind's own groups follow the shared entries.
    ASSERT_GE(items.size(), 5u);
    EXPECT_EQ(items[3].value.type == kPropGroup && items[4].name == "Parameter", bindable) << type;
  }

  CCCKnob knob;
  auto* device = new CFileTestDevice(&m_system, CFileTestDevice::kImagingType, 4, nullptr, 0);
  m_system.AppendDevice(device);
  CNamedPropertyValue value;
  value.propertyId = 3;
  value.SetData(kPropParameter, CParameterRef{&knob, device, 2});
  EXPECT_TRUE(knob.ValidateProperty(value));
  EXPECT_EQ(knob.m_pDevice, device);
  EXPECT_EQ(knob.m_parameterId, 2u);
  EXPECT_EQ(value.changed, 1);
  value.changed = 0;
  EXPECT_TRUE(knob.ValidateProperty(value));
  EXPECT_EQ(value.changed, 0);
  value.propertyId = 99;
  EXPECT_FALSE(knob.ValidateProperty(value));

  // The listed "Parameter" entry holds the binding; handed back unchanged it keeps it.
  for (std::uint32_t type : {kControlLed, kControlFader, kControlKnob, kControlText, kControlButton}) {
    SCOPED_TRACE(type);
    std::unique_ptr<CCustomControlObject> w(CreateCustomControl(type));
    w->m_pDevice = device;
    w->m_parameterId = 2;
    std::vector<CPropertyItem> items;
    w->GetProperties(items);
    const auto entry = std::find_if(items.begin(), items.end(), [](const CPropertyItem& i) {
      return i.value.propertyId == 3 && i.value.type == kPropParameter;
    });
    ASSERT_NE(entry, items.end());
    const CParameterRef shown = GetPropertyValue(entry->value);
    EXPECT_EQ(shown.control, w.get());
    EXPECT_EQ(shown.device, device);
    EXPECT_EQ(shown.parameterId, 2u);
    CNamedPropertyValue back = entry->value;
    EXPECT_TRUE(w->ValidateProperty(back));
    EXPECT_EQ(w->m_pDevice, device);
    EXPECT_EQ(w->m_parameterId, 2u);
    EXPECT_EQ(back.changed, 0);
  }
}

TEST_F(PanelPropertiesTest, Clipboard_OnlyWithAnOpenViewAndCopiedWidgets) {
  CCCLED led;
  EXPECT_FALSE(led.CanCopy(0));
  EXPECT_EQ(led.GetClipboardFormat(), 0u);
  led.m_pView = &m_view;
  EXPECT_NE(led.GetClipboardFormat(), 0u);
  EXPECT_FALSE(led.CanPaste(0));
  m_system.GetCopiedWidgets().push_back(new CCCLED);
  EXPECT_TRUE(led.CanPaste(0));
  m_panel->m_pView = nullptr;
  EXPECT_FALSE(m_panel->CanPaste(0));
  EXPECT_EQ(m_panel->GetClipboardFormat(), 0u);
}

}  // namespace
