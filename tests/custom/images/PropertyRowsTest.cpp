// The picker rows of the properties grid and the custom panel's and widgets' grid rows, driven
// through the properties pane: a row's "..." button runs the installed picker, the grid then
// commits the row to its owner.
#include <gtest/gtest.h>

#include <QApplication>
#include <QColorDialog>
#include <QFontDialog>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdlib>
#include <memory>

#include "custom/CPData.h"
#include "core/draw/TextStyle.h"
#include "core/file/ImageTree.h"
#include "custom/PropertyPickers.h"
#include "core/system/System.h"
#include "custom/BitmapControl.h"
#include "custom/ButtonControl.h"
#include "custom/CustomControls.h"
#include "custom/FaderControl.h"
#include "custom/KnobControl.h"
#include "custom/TextControl.h"
#include "platform/WindowMessages.h"
#include "ui/images/ImageSelectDlg.h"
#include "ui/images/PropertyPickerDialogs.h"
#include "tests/support/DamagedPicture.h"
#include "tests/support/ModelChanges.h"
#include "tests/support/RecordingUi.h"
#include "tests/support/TestDevices.h"
#include "ui/DevicePropertiesPane.h"
#include "tests/ui/dialogs/DialogTestSupport.h"

namespace {

// UI services whose pickers answer with what the test set, counting the calls; or, given the
// real dialogs, run those.
class CFakePickers : public CRecordingUi {
 public:
  bool PickImage(IImageStore* images, CCCImageBase*& image) override {
    if (real) return real->PickImage(images, image);
    ++calls;
    if (ok) image = nextImage;
    return ok;
  }
  bool PickParameter(IZonedDevices*, CCustomControlObject* widget) override {
    ++calls;
    if (ok) {
      widget->m_pDevice = device;
      widget->m_parameterId = parameterId;
    }
    return ok;
  }
  bool PickColour(std::uint32_t& colour) override {
    ++calls;
    if (ok) colour = nextColour;
    return ok;
  }
  bool PickFont(CLogFont& font) override {
    if (real) return real->PickFont(font);
    ++calls;
    if (ok) font = nextFont;
    return ok;
  }
  bool ok = true;
  int calls = 0;
  CCCImageBase* nextImage = nullptr;
  std::uint32_t nextColour = 0;
  CLogFont nextFont;
  CQtPropertyPickers* real = nullptr;
  CDevice* device = nullptr;
  std::uint32_t parameterId = 0;
};

// Counts the grid's requests to be filled again.
class RecordingSink : public IMessageSink {
 public:
  bool Post(CPostedMessage) override {
    ++posted;
    return true;
  }
  int posted = 0;
};

// A panel view that hands out its panel's data and counts the rebuilds.
class CPanelView : public CTestCustomPanelView {
 public:
  CCPData* GetPanelData() const override { return panel; }
  void RebuildDisplay() override { ++rebuilds; }
  CCPData* panel = nullptr;
  int rebuilds = 0;
};

std::vector<std::string> RowNames(const CDevicePropertiesCtrl& grid) {
  std::vector<std::string> names;
  for (const auto& group : grid.GetGroups()) {
    names.push_back("[" + group->name + "]");
    for (const auto& row : group->rows) names.push_back(row->GetName());
  }
  return names;
}

struct ColourCase {
  std::uint32_t colorRef;
  const char* text;
};
class ColourRowText : public ::testing::TestWithParam<ColourCase> {};

TEST_P(ColourRowText, SixLowerCaseHexDigitsOfRedGreenBlue) {
  CColourPropertyCtrl row(nullptr, GetParam().colorRef, "Colour", 4, "");
  EXPECT_EQ(row.FormatProperty(), GetParam().text);
  EXPECT_EQ(row.GetValueText(), GetParam().text);
}
INSTANTIATE_TEST_SUITE_P(Colours, ColourRowText,
                         ::testing::Values(ColourCase{0x0000FF, "ff0000"}, ColourCase{0, "000000"},
                                           ColourCase{0x563412, "123456"}));

class PropertyRows : public ::testing::Test {
 protected:
  void SetUp() override {
    system.SetUiServices(&pickers);
    system.Panels().SetDesignMode(1);
    panel = new CCPData(&system);
    panel->m_name = "Stage";
    panel->m_pView = &view;
    view.panel = panel;
    system.Panels().AppendCustomPanel(panel);
    image = new CCCImage;
    image->m_name = "Backdrop";
    system.Images().GetFileImages().AddChild(image);
    pane.resize(320, 500);
    pane.show();
  }
  void TearDown() override { system.SetUiServices(nullptr); }
  CDevicePropertiesCtrl& Grid() { return pane.GetGrid(); }
  CDeviceProperty& Row(const char* name) { return *Grid().FindRow(name); }
  QString Shown(const char* name) { return Grid().ItemOf(&Row(name))->text(1); }
  void Click(const char* name) {
    ASSERT_TRUE(Grid().BeginEdit(&Row(name)));
    Grid().OnClickButton();
  }
  void Type(const char* name, const std::string& text) {
    ASSERT_TRUE(Grid().BeginEdit(&Row(name)));
    Row(name).SetEditText(text);
    Grid().EndEdit(true);
  }

  CFakePickers pickers;
  CSystem system;
  CPanelView view;
  CCPData* panel = nullptr;
  CCCImage* image = nullptr;
  CDevicePropertiesPane pane{"Properties"};
};

TEST_F(PropertyRows, APanelShowsItsRowsOnlyInDesignMode) {
  pane.ShowPanelProperties(false, &view);
  EXPECT_EQ(RowNames(Grid()), (std::vector<std::string>{"[General]", "Name", "Disable Close Panel", "Grid Pitch",
                                                        "[Background]", "Background Colour", "Background Image",
                                                        "Image Usage"}));
  EXPECT_EQ(Shown("Background Colour"), "000028");
  EXPECT_EQ(Shown("Background Image"), "No Image");
  EXPECT_EQ(Shown("Image Usage"), "Tile");
  EXPECT_EQ(Shown("Disable Close Panel"), "No");
  system.Panels().SetDesignMode(0);
  pane.ShowPanelProperties(true, &view);
  EXPECT_TRUE(Grid().GetGroups().empty());
}

TEST_F(PropertyRows, RefusedNameAndPitchKeepTheOldValueWithTheirMessages) {
  pane.ShowPanelProperties(false, &view);
  Type("Name", std::string(41, 'x'));
  EXPECT_EQ(Grid().GetErrorTipText(), "Panel name too long - 40 characters max");
  EXPECT_EQ(panel->m_name, "Stage");
  EXPECT_EQ(Shown("Name"), "Stage");
  Type("Grid Pitch", "21");
  EXPECT_EQ(Grid().GetErrorTipText(), "Window value must be between 2 and 20");
  Type("Grid Pitch", "1");
  EXPECT_EQ(panel->m_gridPitch, kDefaultGridPitch);
  EXPECT_EQ(Shown("Grid Pitch"), "5");
  EXPECT_FALSE(system.IsModified());
  EXPECT_EQ(view.rebuilds, 0);

  Type("Grid Pitch", "20");
  EXPECT_EQ(panel->m_gridPitch, 20);
  EXPECT_EQ(view.rebuilds, 1);
  EXPECT_TRUE(system.IsModified());
  Type("Name", std::string(40, 'y'));
  EXPECT_EQ(panel->m_name, std::string(40, 'y'));
  EXPECT_EQ(view.rebuilds, 1) << "a new name does not redraw the panel";
}

TEST_F(PropertyRows, ImageRowTakesTheChoiceKeepsItOnCancelAndClearsItOnRemove) {
  pane.ShowPanelProperties(false, &view);
  pickers.nextImage = image;
  Click("Background Image");
  EXPECT_EQ(panel->m_pBackgroundImage, image);
  EXPECT_EQ(Shown("Background Image"), "Backdrop");
  EXPECT_EQ(view.rebuilds, 1);
  EXPECT_TRUE(system.IsModified());

  system.SetModified(false);
  pickers.ok = false;
  Click("Background Image");
  EXPECT_EQ(panel->m_pBackgroundImage, image);
  EXPECT_EQ(Shown("Background Image"), "Backdrop");
  EXPECT_FALSE(system.IsModified());
  EXPECT_EQ(view.rebuilds, 2) << "a cancelled picker still commits the row";

  pickers.ok = true;
  pickers.nextImage = nullptr;
  Click("Background Image");
  EXPECT_EQ(panel->m_pBackgroundImage, nullptr);
  EXPECT_EQ(Shown("Background Image"), "No Image");
  EXPECT_EQ(pickers.calls, 3);
}

TEST_F(PropertyRows, ColourUsageAndCloseRowsApply) {
  pane.ShowPanelProperties(false, &view);
  pickers.nextColour = 0x0000FF;
  Click("Background Colour");
  EXPECT_EQ(panel->m_background.argb, 0xFFFF0000u);
  EXPECT_EQ(Shown("Background Colour"), "ff0000");
  ASSERT_TRUE(Grid().BeginEdit(&Row("Image Usage")));
  Grid().OnCloseCombo(2);
  EXPECT_EQ(panel->m_imageUsage & 0x7u, kImageUsageStretch);
  ASSERT_TRUE(Grid().BeginEdit(&Row("Disable Close Panel")));
  Grid().OnCloseCombo(1);
  EXPECT_TRUE(panel->m_disableClosePanel);
  EXPECT_EQ(view.rebuilds, 2) << "colour and usage redraw; the close setting does not";
}

TEST_F(PropertyRows, WidgetsShowTheSharedRowsAndTheParameterRowBindsThroughItsPicker) {
  auto* text = new CCCTextControl;
  text->m_rect = CRect{10, 20, 70, 45};
  text->m_pView = &view;
  auto* bitmap = new CCCBitmap;
  panel->m_widgets = {text, bitmap};
  pane.ShowControlProperties(false, bitmap);
  EXPECT_EQ(RowNames(Grid()),
            (std::vector<std::string>{"[General]", "Position", "Size", "[Image Appearance]", "Image"}));
  pane.ShowControlProperties(false, text);
  const std::vector<std::string> names = RowNames(Grid());
  ASSERT_GE(names.size(), 5u);
  EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 5),
            (std::vector<std::string>{"[General]", "Position", "Size", "[Parameter]", "Parameter"}));
  EXPECT_EQ(Shown("Position"), "10, 20");
  EXPECT_EQ(Shown("Size"), "60, 25");
  EXPECT_EQ(Shown("Parameter"), "No Parameter");
  EXPECT_EQ(Row("Parameter").GetDescription(), "The parameter that this control is linked to");

  auto* device = new CTestDevice(&system, 7);
  NameDevice(device, "Amp");
  system.AppendDevice(device);
  pickers.device = device;
  pickers.parameterId = 1;
  Click("Parameter");
  EXPECT_EQ(text->m_pDevice, device);
  EXPECT_EQ(Shown("Parameter").toStdString(), "Amp - " + device->GetParameterAt(1).name);
  EXPECT_TRUE(system.IsModified());
}

// An image row names a picture that did not decode and says it is damaged, on a widget and on
// the panel; a picture that decodes shows its name alone.
TEST_F(PropertyRows, AnImageRowSaysWhenItsPictureDidNotDecode) {
  auto* damaged = new CCCImage;
  LoadDamagedPicture(*damaged, "good");
  system.Images().GetFileImages().AddChild(damaged);
  auto* sound = new CCCImage;
  sound->m_name = "Stage photo";
  sound->SetBitmap(CImage(4, 4));
  system.Images().GetFileImages().AddChild(sound);
  auto* bitmap = new CCCBitmap;
  bitmap->m_pView = &view;
  panel->m_widgets = {bitmap};
  for (CCCImage* picture : {damaged, sound}) {
    bitmap->m_pImage = picture;
    panel->m_pBackgroundImage = picture;
    const std::string expected = picture == damaged ? "good (damaged)" : "Stage photo";
    pane.ShowControlProperties(false, bitmap);
    EXPECT_EQ(Shown("Image").toStdString(), expected);
    if (const char* dir = std::getenv("ORVAK_PANEL_PNG_DIR"))
      pane.grab().save(QString::fromLocal8Bit(dir) + (picture == damaged ? "/image-row-damaged.png" : "/image-row.png"));
    pane.ShowPanelProperties(false, &view);
    EXPECT_EQ(Shown("Background Image").toStdString(), expected);
  }
  // The row still holds the picture: choosing nothing else keeps it on the widget.
  bitmap->m_pImage = damaged;
  pane.ShowControlProperties(false, bitmap);
  pickers.ok = false;
  Click("Image");
  EXPECT_EQ(bitmap->m_pImage, damaged);
  EXPECT_EQ(Shown("Image").toStdString(), "good (damaged)");
}

TEST_F(PropertyRows, FontRowShowsOnlyTheFaceName) {
  CLogFont font;
  font.faceName = u"Arial";
  font.height = -24;
  font.weight = 700;
  CFontPropertyCtrl row(&system, font, "Font");
  EXPECT_EQ(row.GetValueText(), "Arial");
  pickers.nextFont.faceName = u"Courier";
  row.OnClickButton();
  EXPECT_EQ(row.GetValueText(), "Courier");
}

// The real image picker: the selection dialog runs modally and its choice reaches the row.
TEST_F(PropertyRows, TheImagePickerRunsTheSelectionDialog) {
  CQtPropertyPickers real(&Grid());
  pickers.real = &real;
  pane.ShowPanelProperties(false, &view);
  QTimer::singleShot(0, [this] {
    auto* dialog = dynamic_cast<CImageSelectDlg*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->GetTitle(), "Image Selection");
    dialog->Tree()->setCurrentItem(dialog->ItemOf(image));
    dialog->UseButton()->click();
    for (int i = 0; i < 100 && dialog->isVisible(); ++i) dialog->FadeStep();
  });
  Click("Background Image");
  EXPECT_EQ(panel->m_pBackgroundImage, image);
  EXPECT_EQ(Shown("Background Image"), "Backdrop");
}

TEST_F(PropertyRows, TheColourPickerPresetsTheColourAndReturnsTheChoice) {
  CQtPropertyPickers real(&Grid());
  std::uint32_t colour = 0x00FF00;
  QTimer::singleShot(0, [] {
    auto* dialog = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->currentColor(), QColor(0, 255, 0));
    dialog->setCurrentColor(QColor(1, 2, 3));
    dialog->accept();
  });
  EXPECT_TRUE(real.PickColour(colour));
  EXPECT_EQ(colour, 0x030201u);
}

// A font chosen with the real font dialog keeps its size, and so after the file is saved and
// opened again, whatever density the screen has.
class FontSizeAtDensity : public PropertyRows, public ::testing::WithParamInterface<int> {
 protected:
  void TearDown() override {
    SetScreenPixelsPerInch(96);
    PropertyRows::TearDown();
  }
};

TEST_P(FontSizeAtDensity, APickedFontComesBackAtItsSize) {
  SetScreenPixelsPerInch(GetParam());
  CQtPropertyPickers real(&Grid());
  pickers.real = &real;
  auto* text = new CCCTextControl;
  text->m_rect = CRect{0, 0, 100, 30};
  text->m_pView = &view;
  text->m_textStyle.Set("DejaVu Sans", 10.0f, CColour());
  panel->m_widgets = {text};
  pane.ShowControlProperties(false, text);
  int shownPoints = 0;
  for (int pick = 0; pick < 2; ++pick) {
    QTimer::singleShot(0, [&shownPoints] {
      auto* dialog = qobject_cast<QFontDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      shownPoints = dialog->currentFont().pointSize();
      dialog->accept();
    });
    Click("Font");
    EXPECT_EQ(shownPoints, 10) << "pick " << pick;
    EXPECT_EQ(text->m_textStyle.size, 1000) << "pick " << pick;
  }
  QTemporaryDir dir;
  const std::string path = dir.filePath(QStringLiteral("fonts.ovd")).toStdString();
  // Saved and opened twice over (without the fixture's picture, which holds no pixels).
  system.Images().DeleteImage(image, true);
  RegisterCustomControls();
  std::unique_ptr<CSystem> back;
  CSystem* source = &system;
  for (int round = 0; round < 2; ++round) {
    auto next = std::make_unique<CSystem>();
    ASSERT_TRUE(source->File().SaveFile(path));
    ASSERT_TRUE(next->File().OpenFile(path));
    auto* loaded = dynamic_cast<CCCTextControl*>(next->GetCustomPanels().at(0)->m_widgets.at(0));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->m_textStyle.size, 1000) << "round " << round;
    ASSERT_NE(loaded->m_textStyle.GetFont(), nullptr);
    EXPECT_NEAR(loaded->m_textStyle.GetFont()->emPixels, 13.333f, 0.01f);
    if (const QByteArray shots = qgetenv("ORVAK_SHOTS_DIR"); !shots.isEmpty() && round == 1) {
      loaded->m_caption = "Stage Left 10 pt";
      CImage canvas(120, 30);
      Graphics g(canvas);
      g.FillRectangle(CBrush(CColour::FromRgb(0, 0, 40)), CRectF{0, 0, 120, 30});
      loaded->m_rect = CRect{0, 0, 120, 30};
      loaded->Draw(g, CRect{0, 0, 120, 30}, false);
      canvas.SavePng(shots.toStdString() + "/panel-font-" + std::to_string(GetParam()) + "dpi.png");
    }
    back = std::move(next);
    source = back.get();
  }
}

INSTANTIATE_TEST_SUITE_P(DotsPerInch, FontSizeAtDensity, ::testing::Values(72, 96, 120, 144));

TEST_F(PropertyRows, TextWidgetRowsFollowTheOutlineSettingAndRefillTheGrid) {
  RecordingSink sink;
  Grid().SetMessageSink(&sink);
  auto* text = new CCCTextControl;
  text->m_rect = CRect{0, 0, 100, 30};
  text->m_pView = &view;
  panel->m_widgets = {text};
  pane.ShowControlProperties(false, text);
  EXPECT_EQ(RowNames(Grid()),
            (std::vector<std::string>{"[General]", "Position", "Size", "[Parameter]", "Parameter", "[Text Appearance]",
                                      "Horizontal Alignment", "Vertical Alignment", "Font", "Text Colour",
                                      "Text Outline", "Read Only"}));
  EXPECT_EQ(Shown("Horizontal Alignment"), "Centre");
  EXPECT_EQ(Shown("Vertical Alignment"), "Centre");
  EXPECT_EQ(Shown("Text Colour"), "ffffff");
  ASSERT_TRUE(Grid().BeginEdit(&Row("Text Outline")));
  Grid().OnCloseCombo(1);
  EXPECT_TRUE(text->m_flags & kTextOutline);
  EXPECT_TRUE(system.IsModified());
  EXPECT_EQ(sink.posted, 1) << "the grid is filled again";
  pane.ShowControlProperties(true, text);
  EXPECT_NE(Grid().FindRow("Outline Width"), nullptr);
  EXPECT_NE(Grid().FindRow("Corner Radius"), nullptr);
  EXPECT_NE(Grid().FindRow("Outline Colour"), nullptr);
  ASSERT_TRUE(Grid().BeginEdit(&Row("Horizontal Alignment")));
  Grid().OnCloseCombo(2);
  EXPECT_EQ(text->m_flags & (kTextAlignLeft | kTextAlignCentre | kTextAlignRight), std::uint32_t(kTextAlignRight));
}

TEST_F(PropertyRows, TextTypedIntoAnImageOrFontRowNeverReplacesTheShownName) {
  pane.ShowPanelProperties(false, &view);
  Type("Background Image", "abc");
  EXPECT_EQ(Shown("Background Image"), "No Image");
  EXPECT_EQ(Row("Background Image").GetValueText(), "No Image");
  EXPECT_EQ(panel->m_pBackgroundImage, nullptr);

  auto* text = new CCCTextControl;
  text->m_rect = CRect{0, 0, 100, 30};
  text->m_pView = &view;
  panel->m_widgets = {text};
  pane.ShowControlProperties(false, text);
  const QString face = Shown("Font");
  ASSERT_FALSE(face.isEmpty());
  Type("Font", "Mute B");
  EXPECT_EQ(Shown("Font"), face);
  pickers.nextFont.faceName = u"Courier";
  Click("Font");
  EXPECT_EQ(Shown("Font"), "Courier");
  Type("Font", "Mute B");
  EXPECT_EQ(Shown("Font"), "Courier");
}

// A panel view that fills the grid itself and takes a change only while told to.
class CPickyView : public CPanelView, public IPropertyGridOwner {
 public:
  void FillPropertiesPane(IDevicePropertyGrid& grid) override {
    auto group = std::make_unique<CDevicePropertyGroup>("Look");
    group->Add(std::make_unique<CColourPropertyCtrl>(system, 0x0000FF, "Colour", 1, ""));
    group->Add(std::make_unique<CImagePropertyCtrl>(system, nullptr, "Picture", 2, ""));
    grid.AddGroup(std::move(group));
  }
  bool OnPropertyChanged(CDeviceProperty& row) override {
    if (accept) return true;
    row.SetErrorText("Not now");
    return false;
  }
  bool accept = true;
  CSystem* system = nullptr;  // whose UI services run the pickers
};

TEST_F(PropertyRows, ARefusedPickPutsBackTheValueThePaneWasFilledWith) {
  CPickyView picky;
  picky.panel = panel;
  picky.system = &system;
  pane.ShowPanelProperties(false, &picky);
  auto& colour = dynamic_cast<CColourPropertyCtrl&>(Row("Colour"));
  pickers.nextColour = 0x00FF00;
  Click("Colour");
  EXPECT_EQ(Shown("Colour"), "00ff00");

  // Refused after an accepted pick: back to the value the pane was filled with, not the last.
  picky.accept = false;
  pickers.nextColour = 0x563412;
  Click("Colour");
  EXPECT_EQ(Grid().GetErrorTipText(), "Not now");
  EXPECT_EQ(Shown("Colour"), "ff0000");
  EXPECT_EQ(colour.m_colour, 0x0000FFu);

  pickers.nextImage = image;
  Click("Picture");
  EXPECT_EQ(Shown("Picture"), "No Image");
  EXPECT_EQ(dynamic_cast<CImagePropertyCtrl&>(Row("Picture")).GetImage(), nullptr);
}

struct SizeLimitCase {
  const char* row;
  const char* value;
  const char* message;
};
class TextSizeLimits : public PropertyRows, public ::testing::WithParamInterface<SizeLimitCase> {};

TEST_P(TextSizeLimits, BeyondHalfTheHeightOrWidthIsRefusedWithItsMessage) {
  auto* text = new CCCTextControl;
  text->m_rect = CRect{0, 0, 21, 41};  // half width 10, half height 20
  text->m_pView = &view;
  text->m_flags |= kTextOutline;
  panel->m_widgets = {text};
  pane.ShowControlProperties(false, text);
  const std::uint32_t width = text->m_outlineWidth;
  const std::uint32_t radius = text->m_cornerRadius;
  Type(GetParam().row, GetParam().value);
  EXPECT_EQ(Grid().GetErrorTipText(), GetParam().message);
  EXPECT_EQ(text->m_outlineWidth, width);
  EXPECT_EQ(text->m_cornerRadius, radius);
  Type(GetParam().row, "10");
  EXPECT_EQ(std::string(GetParam().row) == "Corner Radius" ? text->m_cornerRadius : text->m_outlineWidth, 10u);
}
INSTANTIATE_TEST_SUITE_P(
    Rows, TextSizeLimits,
    ::testing::Values(SizeLimitCase{"Corner Radius", "21", "Corner radius cannot be greater than half the height (20 pixels)"},
                      SizeLimitCase{"Corner Radius", "11", "Corner radius cannot be greater than half the width (10 pixels)"},
                      SizeLimitCase{"Outline Width", "21", "Outline width cannot be greater than half the height (20 pixels)"},
                      SizeLimitCase{"Outline Width", "11", "Outline width cannot be greater than half the width (10 pixels)"}));

// A button's halo switched on through the grid: applied, the file marked modified, the rows
// built again with the halo's own; a halo size beyond the limit is refused at the row.
TEST_F(PropertyRows, AButtonEditThroughTheGridAppliesMarksTheFileAndRebuildsTheRows) {
  RecordingSink sink;
  Grid().SetMessageSink(&sink);
  auto* button = new CCCButton(&view, CRect{10, 10, 90, 40});
  button->m_text = "Play";
  panel->m_widgets = {button};
  pane.ShowControlProperties(false, button);
  EXPECT_EQ(Grid().FindRow("Halo Size"), nullptr);
  ASSERT_TRUE(Grid().BeginEdit(&Row("Halo")));
  Grid().OnCloseCombo(1);
  EXPECT_TRUE(button->m_flags & kButtonHalo);
  EXPECT_TRUE(system.IsModified());
  EXPECT_EQ(sink.posted, 1);
  pane.ShowControlProperties(true, button);
  EXPECT_EQ(Shown("Halo"), "On");
  EXPECT_EQ(Shown("Halo Size"), "6");
  SaveShotIfAsked(pane, "widget-properties-button");
  Type("Halo Size", "25");
  EXPECT_EQ(Grid().GetErrorTipText(), "Halo size cannot be greater than 20 pixels");
  EXPECT_EQ(Shown("Halo Size"), "6");
  EXPECT_EQ(button->m_haloSize, 6);
  Type("Halo Size", "12");
  EXPECT_EQ(button->m_haloSize, 12);
  Type("Text", "Stop");
  EXPECT_EQ(button->m_text, "Stop");
  pickers.nextFont.faceName = u"Courier";
  pickers.nextFont.weight = 700;
  Click("Font");
  EXPECT_EQ(button->m_textStyle.face, "Courier");
  EXPECT_EQ(button->m_textStyle.weight, 700);
}

// Each colour row draws a swatch of its colour framed in black at the left of its value cell,
// and its text after the swatch; the open edit keeps the swatch in front of it.
TEST_F(PropertyRows, ColourRowsDrawTheirSwatch) {
  auto* knob = new CCCKnob(&view, CRect{0, 0, 40, 40});
  knob->m_knobColour = CColour::FromRgb(0, 0, 128);
  knob->m_notchColour = CColour::FromRgb(255, 255, 255);
  panel->m_widgets = {knob};
  pane.ShowControlProperties(false, knob);
  Grid().setCurrentItem(nullptr);
  const QImage shot = Grid().viewport()->grab().toImage();
  SaveShotIfAsked(pane, "widget-properties-knob");
  for (const auto& [name, rgb] : {std::pair{"Knob Colour", QColor(0, 0, 128)}, std::pair{"Notch Colour", QColor(255, 255, 255)}}) {
    auto* row = dynamic_cast<CColourPropertyCtrl*>(Grid().FindRow(name));
    ASSERT_NE(row, nullptr);
    const QRect item = Grid().visualItemRect(Grid().ItemOf(row));
    const CRect& s = row->m_swatch;
    const int left = Grid().columnWidth(0);
    EXPECT_EQ(s.left, left + 2) << name;
    EXPECT_EQ(s.top, item.top() + 2) << name;
    EXPECT_EQ(s.bottom, item.bottom() + 1 - 1) << name;
    EXPECT_EQ(s.right - s.left, s.bottom - s.top) << name;
    const int dpr = int(shot.devicePixelRatio());
    auto pixel = [&](int x, int y) { return shot.pixelColor(x * dpr, y * dpr); };
    EXPECT_EQ(pixel((s.left + s.right) / 2, (s.top + s.bottom) / 2), rgb) << name;
    EXPECT_EQ(pixel(s.left, s.top), QColor(Qt::black)) << name;
    EXPECT_EQ(pixel(s.right - 1, s.bottom - 1), QColor(Qt::black)) << name;
  }
  ASSERT_TRUE(Grid().BeginEdit(&Row("Knob Colour")));
  const QImage editing = Grid().viewport()->grab().toImage();
  SaveShotIfAsked(pane, "widget-properties-colour-edit");
  const CRect s = dynamic_cast<CColourPropertyCtrl&>(Row("Knob Colour")).m_swatch;
  const int dpr = int(editing.devicePixelRatio());
  EXPECT_EQ(editing.pixelColor((s.left + s.right) / 2 * dpr, (s.top + s.bottom) / 2 * dpr), QColor(0, 0, 128));
}

// A bound fader with its scale: the range rows show the parameter's value texts and refuse a
// maximum beyond the parameter's; the scale rows follow "Draw Scale".
TEST_F(PropertyRows, ABoundFadersRangeAndScaleRows) {
  RecordingSink sink;
  Grid().SetMessageSink(&sink);
  auto* device = new CTestDevice(&system, 7);
  NameDevice(device, "Amp");
  system.AppendDevice(device);
  CParamValue level;
  level.id = 1;
  level.kind = ParamKind::kLevel;
  device->values[1] = level;  // its description: 0 to 1
  auto* fader = new CCCFader(&view, CRect{0, 0, 15, 150});
  fader->m_pDevice = device;
  fader->m_parameterId = 1;
  fader->m_rangeMin = 0.0f;
  fader->m_rangeMax = 1.0f;
  fader->m_flags |= kFaderDrawScale;
  panel->m_widgets = {fader};
  pane.ShowControlProperties(false, fader);
  SaveShotIfAsked(pane, "widget-properties-fader");
  EXPECT_EQ(Shown("Range Max"), "1.0 dB");
  EXPECT_EQ(Shown("Range Min"), "0.0 dB");
  EXPECT_EQ(Shown("Draw Scale"), "Yes");
  EXPECT_EQ(Shown("Scale Location"), "Left");
  Type("Range Max", "1.5");
  EXPECT_EQ(Grid().GetErrorTipText(), "Maximum value cannot be greater than 1.0 for this parameter");
  EXPECT_EQ(Shown("Range Max"), "1.0 dB");
  Type("Range Max", "0.5");
  EXPECT_FLOAT_EQ(fader->m_rangeMax, 0.5f);
  EXPECT_EQ(sink.posted, 1);
  ASSERT_TRUE(Grid().BeginEdit(&Row("Draw Scale")));
  Grid().OnCloseCombo(1);
  EXPECT_FALSE(fader->IsScaleShown());
  pane.ShowControlProperties(true, fader);
  EXPECT_EQ(Grid().FindRow("Scale Location"), nullptr);
  EXPECT_TRUE(system.IsModified());
}

}  // namespace
