// The property rows of a custom panel and of the widget base: which entries appear, what an
// edit changes, and what is refused with which message.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "custom/CPData.h"
#include "core/file/ImageTree.h"
#include "custom/PropertyPickers.h"
#include "core/system/System.h"
#include "custom/BitmapControl.h"
#include "custom/ButtonControl.h"
#include "custom/CustomControls.h"
#include "custom/FaderControl.h"
#include "custom/KnobControl.h"
#include "custom/TextControl.h"
#include "tests/custom/CustomTestSupport.h"

namespace {

class PanelPropertiesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_panel = m_system.Panels().AddCustomPanel();
    m_view.panel = m_panel;
    m_panel->m_pView = &m_view;
    m_system.Panels().SetDesignMode(1);
  }
  void TearDown() override { m_panel->m_pView = nullptr; }

  // Fills the grid from the panel and commits the row with that id after change.
  bool Commit(std::uint32_t id, const std::function<void(CDeviceProperty&)>& change) {
    m_grid.groups.clear();
    m_panel->FillPropertiesPane(m_grid);
    m_row = m_grid.Row(id);
    if (!m_row) {
      ADD_FAILURE() << "no row " << id;
      return false;
    }
    change(*m_row);
    return m_panel->OnPropertyChanged(*m_row);
  }
  bool Enter(std::uint32_t id, const std::string& text) {
    return Commit(id, [&text](CDeviceProperty& row) { Type(row, text); });
  }
  bool Choose(std::uint32_t id, int index) {
    return Commit(id, [index](CDeviceProperty& row) { row.SetComboSelection(index); });
  }

  CSystem m_system;
  CCPData* m_panel = nullptr;
  CRecordingView m_view;
  CCollectingGrid m_grid;
  CDeviceProperty* m_row = nullptr;
};

TEST_F(PanelPropertiesTest, Rows_OnlyInDesignMode) {
  m_panel->FillPropertiesPane(m_grid);
  EXPECT_EQ(m_grid.Names(), (std::vector<std::string>{"[General]", "Name", "Disable Close Panel", "Grid Pitch",
                                                      "[Background]", "Background Colour", "Background Image",
                                                      "Image Usage"}));
  CCCImage image;
  m_panel->m_pBackgroundImage = &image;
  m_panel->m_imageUsage = kImageUsageCentre;
  m_grid.groups.clear();
  m_panel->FillPropertiesPane(m_grid);
  EXPECT_EQ(m_grid.Row(6)->GetValueText(), "Centre");
  m_panel->m_pBackgroundImage = nullptr;

  m_system.Panels().SetDesignMode(0);
  m_grid.groups.clear();
  m_panel->FillPropertiesPane(m_grid);
  EXPECT_TRUE(m_grid.groups.empty());
}

TEST_F(PanelPropertiesTest, Edits_NameAndPitchLimitsColourImageAndUsage) {
  EXPECT_FALSE(Enter(1, std::string(41, 'n')));
  EXPECT_EQ(m_row->GetErrorText(), "Panel name too long - 40 characters max");
  // A line end would show the window's title and the panel list on two lines.
  EXPECT_FALSE(Enter(1, "Stage\nLeft"));
  EXPECT_EQ(m_row->GetErrorText(), "Panel name cannot contain control characters");
  EXPECT_TRUE(Enter(1, std::string(39, 'n') + "\xC3\xB6"));  // forty characters, one beyond ASCII
  EXPECT_TRUE(Enter(1, std::string(40, 'n')));
  EXPECT_EQ(m_panel->m_name, std::string(40, 'n'));
  EXPECT_EQ(m_view.title, m_panel->m_name);

  for (auto [pitch, accepted] : {std::pair{1, false}, std::pair{2, true}, std::pair{20, true}, std::pair{21, false}}) {
    EXPECT_EQ(Enter(3, std::to_string(pitch)), accepted) << pitch;
    EXPECT_EQ(m_row->GetErrorText(), accepted ? "" : "Window value must be between 2 and 20");
  }
  EXPECT_EQ(m_panel->m_gridPitch, 20);

  m_system.SetModified(false);
  const int rebuilds = m_view.rebuilds;
  const CColour same = m_panel->m_background;
  EXPECT_TRUE(Commit(4, [same](CDeviceProperty& row) {
    static_cast<CColourPropertyCtrl&>(row).m_colour = CColourPropertyCtrl::ToColorRef(same);
  }));
  EXPECT_FALSE(m_system.IsModified()) << "the same colour changes nothing";
  EXPECT_TRUE(Commit(4, [](CDeviceProperty& row) {
    static_cast<CColourPropertyCtrl&>(row).m_colour = CColourPropertyCtrl::ToColorRef(CColour::FromArgb(255, 20, 30, 40));
  }));
  EXPECT_EQ(m_panel->m_background, CColour::FromArgb(255, 20, 30, 40));
  EXPECT_TRUE(m_system.IsModified());
  EXPECT_GT(m_view.rebuilds, rebuilds);

  CCCImage image;
  EXPECT_TRUE(Commit(5, [&image](CDeviceProperty& row) { static_cast<CImagePropertyCtrl&>(row).SetImage(&image); }));
  EXPECT_EQ(m_panel->m_pBackgroundImage, &image);
  EXPECT_TRUE(Choose(6, 2));
  EXPECT_EQ(m_panel->m_imageUsage, kImageUsageStretch);
  EXPECT_TRUE(Choose(6, -1)) << "no choice: accepted, nothing changes";
  EXPECT_EQ(m_panel->m_imageUsage, kImageUsageStretch);
  EXPECT_TRUE(Choose(7, 1));
  EXPECT_TRUE(m_panel->m_disableClosePanel);
  m_panel->m_pBackgroundImage = nullptr;

  CDeviceProperty other("Other", std::string(), "", 8);
  EXPECT_FALSE(m_panel->OnPropertyChanged(other));
}

TEST_F(PanelPropertiesTest, WidgetRows_ParameterRowsForBoundKindsOnlyAndBinding) {
  RegisterCustomControls();
  for (std::uint32_t type : {kControlBitmap, kControlLed, kControlFader, kControlKnob, kControlText, kControlButton}) {
    SCOPED_TRACE(type);
    std::unique_ptr<CCustomControlObject> w(CreateCustomControl(type));
    w->SetRect(5, 6, 25, 16);
    CCollectingGrid grid;
    w->FillPropertiesPane(grid);
    ASSERT_NE(grid.Row(1), nullptr);
    EXPECT_EQ(grid.Row(1)->GetValueText(), "5, 6");
    EXPECT_EQ(grid.Row(2)->GetValueText(), "20, 10");
    const bool bindable = type != kControlBitmap && type != kControlButton;
    ASSERT_GE(grid.groups.size(), 2u);
    EXPECT_EQ(grid.groups[1]->name == "Parameter", bindable);
  }
}

TEST_F(PanelPropertiesTest, Clipboard_OnlyWithAnOpenViewAndCopiedWidgets) {
  CCCLED led;
  EXPECT_FALSE(led.CanCopy(0));
  EXPECT_EQ(led.GetClipboardFormat(), 0u);
  led.m_pView = &m_view;
  EXPECT_NE(led.GetClipboardFormat(), 0u);
  EXPECT_FALSE(led.CanPaste(0));
  m_system.Panels().GetCopiedWidgets().push_back(new CCCLED);
  EXPECT_TRUE(led.CanPaste(0));
  m_panel->m_pView = nullptr;
  EXPECT_FALSE(m_panel->CanPaste(0));
  EXPECT_EQ(m_panel->GetClipboardFormat(), 0u);
}

}  // namespace
