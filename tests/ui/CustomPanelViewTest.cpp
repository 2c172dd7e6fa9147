// The custom panel view: drawing and hit tests by pixels and messages, the design editor's
// sequences checked against the resulting rectangles, the commands and the widget clipboard,
// and a widget bound to a device parameter in operate mode.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <functional>
#include <memory>
#include <vector>

#include "core/comms/CommsWorker.h"
#include "custom/CPData.h"
#include "core/file/ImageTree.h"
#include "core/system/System.h"
#include "custom/BitmapControl.h"
#include "custom/ButtonControl.h"
#include "custom/CustomControls.h"
#include "custom/FaderControl.h"
#include "custom/KnobControl.h"
#include "custom/TextControl.h"
#include "core/protocol/ControlMessage.h"
#include "core/system/Zone.h"
#include "devices/amplifier/AmplifierFamilies.h"
#include "devices/amplifier/ZelBreakDevice.h"
#include "devices/amplifier/ZelSeriesDevice.h"
#include "devices/processor/NerexParamIds.h"
#include "devices/processor/ProcessorFamily.h"
#include "platform/Graphics.h"
#include "platform/Image.h"
#include "platform/MouseMessages.h"
#include "platform/SerialPortMemory.h"
#include "tests/support/TestDevices.h"
#include "ui/CustomControlPanelWnd.h"
#include "widgets/ErrorTip.h"
#include "tests/support/ModelChanges.h"

namespace {

// A widget that fills its rectangle with one colour, records the mouse messages it gets and,
// when told to, takes the mouse on a press and lets it go on the release. A click in operate
// mode writes its value + 1 to the bound parameter.
class CSwatch : public CCustomControlObject {
 public:
  CSwatch(CRect rect, CColour colour, std::uint32_t sizing = 3) : m_colour(colour), m_sizing(sizing) { m_rect = rect; }
  std::uint32_t GetControlType() const override { return 99; }
  std::uint32_t GetSizingMode() const override { return m_sizing; }
  void Draw(Graphics& g, const CRect& clip, bool designMode) override {
    (void)clip, (void)designMode;
    g.FillRectangle(CBrush(m_colour), CRectF::FromRect(m_rect));
  }
  void OnMouseMessage(std::uint32_t message, std::uint32_t flags, bool designMode, CPoint point,
                      CRect& redraw) override {
    (void)designMode;
    messages.push_back(message);
    points.push_back(point);
    flagWords.push_back(flags);
    if (takesMouse && message == WM_LBUTTONDOWN) m_pView->SetActiveControl(this);
    if (takesMouse && message == WM_LBUTTONUP) m_pView->SetActiveControl(nullptr);
    if (message == WM_LBUTTONDOWN && IsLinked()) {
      CParamValue value = GetParameterValue();
      value.value += 1.0f;
      ModelChange(m_pDevice, value);
    }
    redraw = m_rect;
  }
  CRect OnParameterUpdate(const CParamValue& value) override {
    if (!IsLinked()) return CRect{};
    shown = value.value;
    m_colour = CColour::FromRgb(0, std::uint8_t(std::min(255.0f, 100.0f + 40.0f * value.value)), 0);
    return m_rect;
  }
  void Deactivate() override { ++deactivated; }

  CColour m_colour;
  std::uint32_t m_sizing;
  bool takesMouse = false;
  std::vector<std::uint32_t> messages;
  std::vector<CPoint> points;
  std::vector<std::uint32_t> flagWords;
  float shown = -1.0f;
  int deactivated = 0;
};

// A view whose mouse pointer the test places.
class CTestView : public CCustomControlPanelWnd {
 public:
  using CCustomControlPanelWnd::CCustomControlPanelWnd;
  CPoint pointer{-100, -100};

 protected:
  CPoint PointerPosition() const override { return pointer; }
};

constexpr CColour kRed = CColour::FromRgb(220, 0, 0);
constexpr CColour kBlue = CColour::FromRgb(0, 0, 220);
constexpr CColour kBackground = CColour::FromRgb(0, 0, 40);

}  // namespace

class CustomPanelViewTest : public ::testing::Test {
 public:
  void SetUp() override {
    data = new CCPData(&system);
    data->m_background = kBackground;
    data->m_gridPitch = 10;
    system.Panels().AppendCustomPanel(data);
    system.Panels().SetDesignMode(1);
    view = std::make_unique<CTestView>(system);
    view->resize(300, 200);
    view->SetPropertiesHandlers([this](CCustomControlPanel& shown, bool) { sent.push_back({&shown, nullptr}); },
                                [this](CCustomControlObject* widget, bool) { sent.push_back({nullptr, widget}); });
  }
  void TearDown() override { view.reset(); }

  CSwatch* Add(CRect rect, CColour colour, std::uint32_t sizing = 3) {
    auto* widget = new CSwatch(rect, colour, sizing);
    data->m_widgets.push_back(widget);
    return widget;
  }
  void Open() {
    view->SetPanelData(data);
    view->RebuildDisplay();
    system.SetModified(false);
  }
  CColour Pixel(int x, int y) const { return view->GetBackBuffer()->GetPixel(x, y); }
  // The system saved to a file and opened again.
  std::unique_ptr<CSystem> Reopened() {
    RegisterCustomControls();
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("panel.ovd")).toStdString();
    auto back = std::make_unique<CSystem>();
    EXPECT_TRUE(system.File().SaveFile(path));
    EXPECT_TRUE(back->File().OpenFile(path));
    return back;
  }
  void Drag(CPoint from, CPoint to, std::uint32_t flags = 0) {
    view->OnLButtonDown(flags, from);
    view->OnMouseMove(MK_LBUTTON, to);
    view->OnLButtonUp(0, to);
  }

  // What the view asked the main window to show: its own properties (panel set) or a widget's.
  struct Sent {
    CCustomControlPanel* panel;
    CCustomControlObject* widget;
  };
  CSystem system;
  CCPData* data = nullptr;
  std::unique_ptr<CTestView> view;
  std::vector<Sent> sent;
};

TEST_F(CustomPanelViewTest, DrawsBackgroundGridInDesignModeAndWidgetsInArrayOrder) {
  Add(CRect{20, 20, 80, 80}, kRed);
  Add(CRect{50, 50, 110, 110}, kBlue);
  Open();
  EXPECT_EQ(Pixel(30, 30), kRed);
  EXPECT_EQ(Pixel(60, 60), kBlue);  // the later widget covers the earlier one
  EXPECT_EQ(Pixel(200, 150), CColour::FromRgb(255, 255, 255));  // a grid dot
  EXPECT_EQ(Pixel(205, 150), kBackground);

  system.Panels().SetDesignMode(0);
  view->RebuildDisplay();
  EXPECT_EQ(Pixel(200, 150), kBackground);  // no grid in operate mode
}

// A tiled background picture lies side by side from the panel's top-left corner, pixel for
// pixel, in a whole redraw and in a redraw of part of the panel alike; a clear pixel of it shows
// the background colour, and the design grid's dots lie over it.
TEST_F(CustomPanelViewTest, TiledBackgroundCoversThePanelFromItsCornerPixelForPixel) {
  const std::vector<CColour> cells{CColour::FromRgb(250, 0, 0), CColour::FromRgb(0, 250, 0),
                                   CColour::FromRgb(0, 0, 250), CColour::FromRgb(250, 250, 0),
                                   CColour::FromRgb(0, 250, 250), CColour{0x00000000u}};
  CImage pixels(3, 2);
  for (int i = 0; i < 6; ++i) pixels.SetPixel(i % 3, i / 3, cells[std::size_t(i)]);
  auto* picture = new CCCImage;
  picture->SetBitmap(pixels);
  system.Images().GetFileImages().AddChild(picture);
  data->m_pBackgroundImage = picture;
  data->m_imageUsage = kImageUsageTile;
  data->m_showGrid = false;
  Open();
  auto expected = [&](int x, int y) {
    const CColour cell = cells[std::size_t((y % 2) * 3 + x % 3)];
    return cell.argb == 0 ? kBackground : cell;
  };
  for (const CPoint p : {CPoint{0, 0}, CPoint{1, 0}, CPoint{2, 1}, CPoint{5, 1}, CPoint{157, 88}, CPoint{299, 199}})
    EXPECT_EQ(Pixel(p.x, p.y), expected(p.x, p.y)) << p.x << "," << p.y;
  view->GetBackBuffer()->Fill(CColour::FromRgb(9, 9, 9));
  view->RedrawRect(CRect{101, 51, 150, 90});
  for (int y = 51; y < 90; ++y)
    for (int x = 101; x < 150; ++x) ASSERT_EQ(Pixel(x, y), expected(x, y)) << x << "," << y;
  EXPECT_EQ(Pixel(100, 51), CColour::FromRgb(9, 9, 9));  // outside the part: untouched
  EXPECT_EQ(Pixel(150, 60), CColour::FromRgb(9, 9, 9));

  data->m_showGrid = true;
  view->RebuildDisplay();
  EXPECT_EQ(Pixel(200, 150), CColour::FromRgb(255, 255, 255));
  EXPECT_EQ(Pixel(0, 0), CColour::FromRgb(255, 255, 255));
  EXPECT_EQ(Pixel(201, 150), expected(201, 150));
  data->m_pBackgroundImage = nullptr;
}

// A repaint of part of the panel stays inside that part whatever the widgets drawn before do
// with the clip: a widget beyond it that lies under one above it must not cover that one.
TEST_F(CustomPanelViewTest, PartialRedrawKeepsTheStackingOrderAfterTextBitmapAndKnobWidgets) {
  const std::function<CCustomControlObject*()> kinds[] = {
      [] {
        auto* text = new CCCTextControl(nullptr, "Arial", 10.0f, kTextDefaultFlags, CRect{5, 5, 45, 25});
        text->m_caption = "Level";
        return text;
      },
      [] { return new CCCBitmap(nullptr, CRect{5, 30, 45, 60}); },
      [] { return new CCCKnob(nullptr, CRect{5, 65, 45, 105}); },
  };
  for (const auto& make : kinds) {
    DeleteCustomControlObjects(data->m_widgets);
    data->m_widgets.push_back(make());
    SCOPED_TRACE(data->m_widgets[0]->GetControlType());
    Add(CRect{50, 50, 100, 100}, kRed);
    Add(CRect{90, 50, 140, 100}, kBlue);
    Open();
    ASSERT_EQ(Pixel(95, 75), kBlue);
    // Meets the first widget and the red swatch, not the blue one on top of the red one.
    view->RedrawRect(CRect{0, 0, 85, 120}, true, true);
    EXPECT_EQ(Pixel(95, 75), kBlue);
    EXPECT_EQ(Pixel(70, 75), kRed);
  }
}

// A picture deleted from the file while it is the background of an open panel leaves the
// panel at once: the panel shows its background colour again.
TEST_F(CustomPanelViewTest, DeletingTheBackgroundImageRepaintsTheOpenPanel) {
  auto* picture = new CCCImage;
  CImage pixels(4, 4);
  pixels.Fill(CColour::FromRgb(200, 120, 0));
  picture->SetBitmap(pixels);
  system.Images().GetFileImages().AddChild(picture);
  data->m_pBackgroundImage = picture;
  Open();
  system.Panels().SetDesignMode(0);
  view->RebuildDisplay();
  ASSERT_EQ(Pixel(150, 101), CColour::FromRgb(200, 120, 0));
  system.Images().DeleteImage(picture, true);
  EXPECT_EQ(data->m_pBackgroundImage, nullptr);
  EXPECT_EQ(Pixel(150, 101), kBackground);
  EXPECT_EQ(Pixel(0, 0), kBackground);
}

// An open panel keeps its picture decoded while other pictures come and go through a budget
// too small for both; once the window is gone, the budget may let go of it.
TEST_F(CustomPanelViewTest, AnOpenPanelKeepsItsBackgroundDecodedUntilItCloses) {
  QTemporaryDir dir;
  auto pictureFile = [&](const char* name, QColor colour) {
    QImage pixels(40, 30, QImage::Format_RGB32);
    pixels.fill(colour);
    const QString path = dir.filePath(name);
    EXPECT_TRUE(pixels.save(path, "PNG"));
    auto* image = new CCCImage;
    EXPECT_TRUE(image->LoadFromFile(path.toStdString(), kImageFormatPng));
    system.Images().GetFileImages().AddChild(image);
    return image;
  };
  CCCImage* back = pictureFile("back.png", QColor(200, 120, 0));
  std::vector<CCCImage*> others;
  for (int i = 0; i < 4; ++i) others.push_back(pictureFile(("other" + std::to_string(i) + ".png").c_str(), Qt::blue));
  data->m_pBackgroundImage = back;
  data->m_imageUsage = kImageUsageTile;
  SetDecodedPictureLimit(40 * 30 * 4);
  Open();
  for (CCCImage* other : others) EXPECT_FALSE(other->GetBitmap().IsNull());
  EXPECT_TRUE(back->IsDecoded());
  EXPECT_FALSE(others[0]->IsDecoded());
  view->RedrawRect(CRect{100, 100, 120, 120});
  EXPECT_EQ(Pixel(113, 114), CColour::FromRgb(200, 120, 0));
  view.reset();
  others[0]->GetBitmap();
  EXPECT_FALSE(back->IsDecoded());
  SetDecodedPictureLimit(kDefaultDecodedPictureLimit);
}

TEST_F(CustomPanelViewTest, SelectionFrameAndHandlesFollowTheSizingMode) {
  CSwatch* fixed = Add(CRect{40, 40, 80, 80}, kRed, 0);
  CSwatch* wide = Add(CRect{150, 40, 190, 80}, kRed, 1);
  Open();
  view->Designer().AddToSelection(fixed);
  view->Designer().AddToSelection(wide);
  view->RebuildDisplay();
  // The frame fills the band around each widget; only the wide one has handles, left and right.
  EXPECT_NE(Pixel(37, 60), kBackground);
  EXPECT_EQ(Pixel(146, 59), CColour::FromRgb(255, 255, 255));  // left handle of the wide one
  EXPECT_NE(Pixel(170, 35), CColour::FromRgb(255, 255, 255));  // no top handle
  EXPECT_EQ(CCustomPanelDesigner::HitTestHandle(fixed, 35, 60), 0);
  EXPECT_EQ(CCustomPanelDesigner::HitTestHandle(wide, 145, 58), 1);
  EXPECT_EQ(CCustomPanelDesigner::HitTestHandle(wide, 170, 35), 0);
}

TEST_F(CustomPanelViewTest, HitTestIsInclusiveTopmostFirstAndSkipsWidgetsWithoutHitTest) {
  CSwatch* lower = Add(CRect{10, 10, 50, 50}, kRed);
  CSwatch* upper = Add(CRect{30, 30, 70, 70}, kBlue);
  CSwatch* ghost = Add(CRect{100, 100, 120, 120}, kBlue);
  ghost->m_hitTest = false;
  Open();
  EXPECT_EQ(view->HitTest(CPoint{50, 50}), upper);
  EXPECT_EQ(view->HitTest(CPoint{10, 10}), lower);
  EXPECT_EQ(view->HitTest(CPoint{70, 70}), upper);  // right and bottom edges hit
  EXPECT_EQ(view->HitTest(CPoint{110, 110}), nullptr);

  system.Panels().SetDesignMode(0);
  view->OnLButtonDown(MK_LBUTTON, CPoint{40, 40});
  view->OnLButtonDown(MK_LBUTTON, CPoint{110, 110});
  EXPECT_EQ(upper->messages, (std::vector<std::uint32_t>{WM_LBUTTONDOWN}));
  EXPECT_TRUE(lower->messages.empty());
  EXPECT_TRUE(ghost->messages.empty());
}

TEST_F(CustomPanelViewTest, ActiveWidgetGetsTheMouseAndOnReleaseTheTopmostGetsItAgain) {
  CSwatch* knob = Add(CRect{10, 10, 50, 50}, kRed);
  knob->takesMouse = true;
  Open();
  system.Panels().SetDesignMode(0);
  view->OnLButtonDown(MK_LBUTTON, CPoint{20, 20});
  EXPECT_EQ(view->GetActiveControl(), knob);
  view->OnMouseMove(MK_LBUTTON, CPoint{200, 150});  // outside, still its drag
  view->OnLButtonUp(0, CPoint{30, 30});
  EXPECT_EQ(view->GetActiveControl(), nullptr);
  EXPECT_EQ(knob->messages, (std::vector<std::uint32_t>{WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP, WM_LBUTTONUP}));
  view->DispatchMouseMessage(WM_MOUSEWHEEL, std::uint32_t(-120), 25, 25);
  EXPECT_EQ(knob->messages.back(), WM_MOUSEWHEEL);
}

TEST_F(CustomPanelViewTest, SnapToGridRoundsHalfDown) {
  Open();
  data->m_snapToGrid = true;
  EXPECT_EQ(view->Designer().SnapToGrid(CPoint{14, 15}), (CPoint{10, 10}));
  EXPECT_EQ(view->Designer().SnapToGrid(CPoint{16, 16}), (CPoint{20, 20}));
  data->m_snapToGrid = false;
  EXPECT_EQ(view->Designer().SnapToGrid(CPoint{16, 16}), (CPoint{16, 16}));
}

TEST_F(CustomPanelViewTest, MoveSnapsTheLastSelectedAndCarriesTheOthers) {
  CSwatch* other = Add(CRect{100, 100, 120, 120}, kRed);
  CSwatch* anchor = Add(CRect{23, 47, 43, 67}, kBlue);
  Open();
  data->m_snapToGrid = true;
  view->OnLButtonDown(0, CPoint{110, 110});
  view->OnLButtonUp(0, CPoint{110, 110});
  EXPECT_FALSE(system.IsModified());  // a click only selects
  Drag(CPoint{30, 50}, CPoint{35, 55}, MK_CONTROL);
  EXPECT_EQ(anchor->m_rect, (CRect{30, 50, 50, 70}));
  EXPECT_EQ(other->m_rect, (CRect{107, 103, 127, 123}));
  EXPECT_TRUE(system.IsModified());

  // Pressed, moved on the spot and released: only the snap correction.
  data->m_snapToGrid = true;
  other->SetRect(101, 102, 121, 122);
  Drag(CPoint{110, 110}, CPoint{110, 110});
  EXPECT_EQ(other->m_rect, (CRect{100, 100, 120, 120}));
}

TEST_F(CustomPanelViewTest, HandleResizeKeepsTheMinimumAndEscCancels) {
  CSwatch* widget = Add(CRect{50, 50, 90, 90}, kRed);
  Open();
  view->OnLButtonDown(0, CPoint{60, 60});
  view->OnLButtonUp(0, CPoint{60, 60});
  // Bottom-right handle: drag it 20 right and 10 down.
  Drag(CPoint{93, 93}, CPoint{113, 103});
  EXPECT_EQ(widget->m_rect, (CRect{50, 50, 110, 100}));
  // Close to the opposite corner: the widget keeps 10 pixels.
  Drag(CPoint{113, 103}, CPoint{55, 55});
  EXPECT_EQ(widget->m_rect.Width(), 10);
  EXPECT_EQ(widget->m_rect.Height(), 10);

  const CRect before = widget->m_rect;
  const int right = CCustomPanelDesigner::GetHandleRect(widget, 2).left + 2;
  const int midY = CCustomPanelDesigner::GetHandleRect(widget, 2).top + 2;
  view->OnLButtonDown(0, CPoint{right, midY});
  view->OnMouseMove(MK_LBUTTON, CPoint{right + 40, midY});
  system.SetModified(false);
  view->OnKeyDown(VK_ESCAPE);
  view->OnLButtonUp(0, CPoint{right + 40, midY});
  EXPECT_EQ(widget->m_rect, before);
  EXPECT_TRUE(system.IsModified());
}

TEST_F(CustomPanelViewTest, BandSelectsWhollyEnclosedWidgetsOnly) {
  CSwatch* a = Add(CRect{20, 20, 40, 40}, kRed);
  CSwatch* b = Add(CRect{60, 20, 80, 40}, kRed);
  Add(CRect{90, 90, 150, 150}, kRed);
  Open();
  view->OnLButtonDown(0, CPoint{10, 10});
  EXPECT_EQ(sent.back().panel, view.get());
  view->OnMouseMove(MK_LBUTTON, CPoint{100, 100});
  EXPECT_EQ(view->Designer().GetSelection(), (std::vector<CCustomControlObject*>{b, a}));
  view->OnMouseMove(MK_LBUTTON, CPoint{50, 50});  // shrinking drops b again
  view->OnLButtonUp(0, CPoint{50, 50});
  EXPECT_EQ(view->Designer().GetSelection(), (std::vector<CCustomControlObject*>{a}));
  EXPECT_FALSE(system.IsModified());
}

TEST_F(CustomPanelViewTest, KeysNudgeDeleteAndStopAtTheEdge) {
  CSwatch* widget = Add(CRect{0, 30, 20, 50}, kRed);
  Add(CRect{100, 100, 120, 120}, kBlue);
  Open();
  view->OnLButtonDown(0, CPoint{5, 35});
  view->OnLButtonUp(0, CPoint{5, 35});
  view->OnKeyDown(VK_LEFT);
  EXPECT_EQ(widget->m_rect, (CRect{0, 30, 20, 50}));
  EXPECT_TRUE(system.IsModified());
  data->m_snapToGrid = true;
  view->OnKeyDown(VK_DOWN);
  EXPECT_EQ(widget->m_rect, (CRect{0, 40, 20, 60}));
  view->OnKeyDown(0x2E);
  EXPECT_EQ(data->m_widgets.size(), 1u);
  EXPECT_TRUE(view->Designer().GetSelection().empty());
}

TEST_F(CustomPanelViewTest, PlacingAPendingWidgetAndEscapeDeletingIt) {
  Open();
  view->OnCommand(kCmdAddKnob);
  view->OnCommand(kCmdAddKnob);  // replaces the first
  bool ticked = false;
  view->IsCommandEnabled(kCmdAddKnob, &ticked);
  EXPECT_TRUE(ticked);
  view->OnKeyDown(VK_ESCAPE);
  EXPECT_EQ(view->Designer().GetPendingControl(), nullptr);
  EXPECT_EQ(view->Designer().GetTool(), kToolSelect);
  EXPECT_TRUE(data->m_widgets.empty());

  view->OnCommand(kCmdAddFader);
  view->OnMouseMove(0, CPoint{33, 44});
  view->OnLButtonDown(0, CPoint{33, 44});
  ASSERT_EQ(data->m_widgets.size(), 1u);
  EXPECT_EQ(data->m_widgets[0]->m_rect, (CRect{33, 44, 48, 194}));
  EXPECT_EQ(view->Designer().GetSelection(), data->m_widgets);
  EXPECT_EQ(view->Designer().GetTool(), kToolSelect);
  EXPECT_TRUE(system.IsModified());
}

TEST_F(CustomPanelViewTest, CommandsEnableBySelectionAndMoveInZOrder) {
  CSwatch* a = Add(CRect{10, 10, 30, 30}, kRed);
  CSwatch* b = Add(CRect{40, 10, 60, 30}, kRed);
  CSwatch* c = Add(CRect{70, 10, 90, 30}, kRed);
  Open();
  EXPECT_FALSE(view->IsCommandEnabled(kCmdDeleteControl));
  EXPECT_FALSE(view->IsCommandEnabled(kCmdRaise));
  view->Designer().AddToSelection(a);
  EXPECT_TRUE(view->IsCommandEnabled(kCmdRaise));
  view->OnCommand(kCmdLower);  // already at the bottom
  EXPECT_EQ(data->m_widgets, (std::vector<CCustomControlObject*>{a, b, c}));
  view->OnCommand(kCmdRaise);
  EXPECT_EQ(data->m_widgets, (std::vector<CCustomControlObject*>{b, a, c}));
  view->OnCommand(kCmdRaiseToTop);
  EXPECT_EQ(data->m_widgets, (std::vector<CCustomControlObject*>{b, c, a}));
  view->OnCommand(kCmdLowerToBottom);
  EXPECT_EQ(data->m_widgets, (std::vector<CCustomControlObject*>{a, b, c}));
  view->Designer().AddToSelection(c);
  EXPECT_TRUE(view->IsCommandEnabled(kCmdDeleteControl));
  EXPECT_FALSE(view->IsCommandEnabled(kCmdRaise));
  view->OnCommand(kCmdShowGrid);
  EXPECT_FALSE(data->m_showGrid);

  QMenu menu;
  menu.addAction(QStringLiteral("Properties"));
  menu.addSeparator();
  view->Designer().UpdateContextMenu(menu);
  EXPECT_EQ(menu.actions().size(), 7);  // Properties, sep, Delete Control, sep, Copy, Paste, sep
  EXPECT_EQ(menu.actions().at(2)->text(), QStringLiteral("Delete Control"));
  view->Designer().ClearSelection();
  view->Designer().UpdateContextMenu(menu);
  EXPECT_EQ(menu.actions().size(), 2);
}

// Show Grid and Snap To Grid are kept in the panel's record: each toggle is a change of the
// file, and the file keeps it.
class GridCommandTest : public CustomPanelViewTest, public ::testing::WithParamInterface<std::uint32_t> {};

TEST_P(GridCommandTest, EachToggleMarksTheFileAndComesBackFromIt) {
  Open();
  const bool grid = data->m_showGrid, snap = data->m_snapToGrid;
  view->OnCommand(GetParam());
  EXPECT_TRUE(system.IsModified());
  EXPECT_EQ(data->m_showGrid, GetParam() == kCmdShowGrid ? !grid : grid);
  EXPECT_EQ(data->m_snapToGrid, GetParam() == kCmdSnapToGrid ? !snap : snap);
  const std::unique_ptr<CSystem> back = Reopened();
  ASSERT_EQ(back->GetCustomPanels().size(), 1u);
  EXPECT_EQ(back->GetCustomPanels()[0]->m_showGrid, data->m_showGrid);
  EXPECT_EQ(back->GetCustomPanels()[0]->m_snapToGrid, data->m_snapToGrid);
}

INSTANTIATE_TEST_SUITE_P(Commands, GridCommandTest, ::testing::Values(kCmdShowGrid, kCmdSnapToGrid));

TEST_F(CustomPanelViewTest, PasteOffsetsBesideTheGroupOrAtThePointer) {
  auto* knob = new CCCKnob(nullptr, CRect{10, 20, 50, 60});
  auto* led = new CCCLED(nullptr, CRect{60, 20, 80, 40});
  CTestDevice device(&system, 1);
  knob->m_pDevice = &device;
  knob->m_parameterId = kTestGain;
  data->m_widgets = {knob, led};
  Open();
  view->Designer().AddToSelection(knob);
  view->Designer().AddToSelection(led);
  view->CopySelection();
  ASSERT_EQ(system.GetCopiedWidgets().size(), 2u);

  view->PasteControls();  // group 10..80 wide 70: one width to the right
  view->PasteControls();
  ASSERT_EQ(data->m_widgets.size(), 6u);
  EXPECT_EQ(data->m_widgets[2]->m_rect, (CRect{80, 20, 120, 60}));
  EXPECT_EQ(data->m_widgets[5]->m_rect, (CRect{200, 20, 220, 40}));
  EXPECT_EQ(data->m_widgets[2]->m_pDevice, nullptr);  // pasted widgets are not linked
  EXPECT_EQ(knob->m_pDevice, &device);
  EXPECT_EQ(view->Designer().GetSelection().size(), 2u);
  EXPECT_TRUE(system.IsModified());

  view->pointer = CPoint{100, 150};
  view->PasteControls();
  EXPECT_EQ(data->m_widgets[6]->m_rect, (CRect{100, 150, 140, 190}));
  EXPECT_EQ(view->Designer().GetPasteCounter(), 2);
  view->CopySelection();  // resets the counter
  EXPECT_EQ(view->Designer().GetPasteCounter(), 0);
  data->m_widgets.erase(data->m_widgets.begin());  // the knob goes before the device
  delete knob;
  DeleteCustomControlObjects(system.Panels().GetCopiedWidgets());
}

// Pasted from the menu again and again, every copy lands inside the window, and each comes
// back from the file as it was pasted.
TEST_F(CustomPanelViewTest, PastesFromTheMenuLandInTheWindowAndComeBackFromTheFile) {
  data->m_widgets = {new CCCKnob(nullptr, CRect{10, 20, 50, 60}), new CCCLED(nullptr, CRect{60, 20, 80, 40})};
  Open();
  view->Designer().AddToSelection(data->m_widgets[0]);
  view->Designer().AddToSelection(data->m_widgets[1]);
  view->CopySelection();
  for (int i = 0; i < 250; ++i) view->PasteControls();
  ASSERT_EQ(data->m_widgets.size(), 502u);
  const CRect window{0, 0, view->width(), view->height()};
  std::vector<CRect> pasted;
  for (const CCustomControlObject* widget : data->m_widgets) {
    pasted.push_back(widget->m_rect);
    const CRect& r = widget->m_rect;
    EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= window.right && r.bottom <= window.bottom)
        << r.left << ", " << r.top;
  }
  // The first ones still walk right along the group's row.
  EXPECT_EQ(data->m_widgets[2]->m_rect, (CRect{80, 20, 120, 60}));
  EXPECT_EQ(data->m_widgets[7]->m_rect, (CRect{270, 20, 290, 40}));
  DeleteCustomControlObjects(system.Panels().GetCopiedWidgets());
  const std::unique_ptr<CSystem> back = Reopened();
  ASSERT_EQ(back->GetCustomPanels().size(), 1u);
  std::vector<CRect> read;
  for (const CCustomControlObject* widget : back->GetCustomPanels()[0]->m_widgets) read.push_back(widget->m_rect);
  EXPECT_EQ(read, pasted);
}

// A picture widget that keeps a thin picture's aspect ratio grows no wider than the largest
// panel when it is made taller, and comes back from the file with the same shape.
TEST_F(CustomPanelViewTest, AnAspectRatioPictureStaysWithinTheLargestPanel) {
  auto* picture = new CCCImage;
  picture->m_name = "banner";
  picture->SetBitmap(CImage(8000, 1));
  system.Images().GetFileImages().AddChild(picture);
  auto* bitmap = new CCCBitmap;
  bitmap->m_rect = CRect{10, 10, 70, 70};
  bitmap->m_pImage = picture;
  bitmap->m_imageUse = kImageUseAspectRatio;
  data->m_widgets = {bitmap};
  Open();
  view->OnLButtonDown(0, CPoint{40, 40});
  view->OnLButtonUp(0, CPoint{40, 40});
  const CRect handle = CCustomPanelDesigner::GetHandleRect(bitmap, 4);  // the bottom one
  const CPoint at{(handle.left + handle.right) / 2, (handle.top + handle.bottom) / 2};
  Drag(at, CPoint{at.x, at.y + 20});
  EXPECT_LE(bitmap->m_rect.Width(), kPanelSizeLimit);
  EXPECT_EQ(bitmap->m_rect.left, 10);
  EXPECT_EQ(bitmap->m_rect.top, 10);
  const CRect shaped = bitmap->m_rect;
  const std::unique_ptr<CSystem> back = Reopened();
  ASSERT_EQ(back->GetCustomPanels().size(), 1u);
  EXPECT_EQ(back->GetCustomPanels()[0]->m_widgets.at(0)->m_rect, shaped);
}

// A command over many widgets redraws the panel once, not once per widget: each widget is asked
// for its bounds a few times in all, however many widgets the command takes. A Paste, a Delete,
// a band drawn over every widget and a click that drops a large selection; 300 swatches (which
// count the asking) and 100 LEDs, 8 pixels wide on a 10-pixel grid.
struct ManyWidgetsCase {
  const char* name;
  std::function<void(CustomPanelViewTest&)> ready;
  std::function<void(CustomPanelViewTest&)> run;
  std::size_t widgetsAfter;
  std::size_t selectedAfter;
  friend void PrintTo(const ManyWidgetsCase& c, std::ostream* os) { *os << c.name; }
};

class ManyWidgetsTest : public CustomPanelViewTest, public ::testing::WithParamInterface<ManyWidgetsCase> {
 public:
  static constexpr int kSwatches = 300;
  static constexpr int kLeds = 100;
  std::vector<CCustomControlObject*> leds;
};

namespace {
// A swatch that counts how often the view asks for its bounds.
class CCountedSwatch : public CSwatch {
 public:
  CCountedSwatch(CRect rect, int& asked) : CSwatch(rect, kRed), m_asked(asked) {}
  CRect GetBoundsRect() const override {
    ++m_asked;
    return m_rect;
  }

 private:
  int& m_asked;
};

void SelectAll(CustomPanelViewTest& t) {
  for (CCustomControlObject* widget : t.data->m_widgets) t.view->Designer().AddToSelection(widget);
}
}  // namespace

TEST_P(ManyWidgetsTest, RedrawsOnceAndAsksEachWidgetAFewTimes) {
  int asked = 0;
  for (int i = 0; i < kSwatches + kLeds; ++i) {
    const int x = (i % 30) * 10, y = (i / 30) * 10;
    const CRect rect{x + 1, y + 1, x + 9, y + 9};
    if (i < kSwatches) {
      data->m_widgets.push_back(new CCountedSwatch(rect, asked));
    } else {
      leds.push_back(new CCCLED(nullptr, rect));
      data->m_widgets.push_back(leds.back());
    }
  }
  Open();
  GetParam().ready(*this);
  asked = 0;
  GetParam().run(*this);
  EXPECT_LE(asked, 4 * kSwatches);
  EXPECT_EQ(data->m_widgets.size(), GetParam().widgetsAfter);
  EXPECT_EQ(view->Designer().GetSelection().size(), GetParam().selectedAfter);
  DeleteCustomControlObjects(system.Panels().GetCopiedWidgets());
}

INSTANTIATE_TEST_SUITE_P(
    Commands, ManyWidgetsTest,
    ::testing::Values(
        ManyWidgetsCase{"PasteOfTheLeds",
                        [](CustomPanelViewTest& t) {
                          for (CCustomControlObject* led : static_cast<ManyWidgetsTest&>(t).leds)
                            t.view->Designer().AddToSelection(led);
                          t.view->CopySelection();
                        },
                        [](CustomPanelViewTest& t) { t.view->PasteControls(); }, 500, 100},
        ManyWidgetsCase{"DeleteOfEveryWidget", SelectAll, [](CustomPanelViewTest& t) { t.view->OnKeyDown(VK_DELETE); },
                        0, 0},
        ManyWidgetsCase{"BandOverEveryWidget", [](CustomPanelViewTest& t) { t.view->OnLButtonDown(0, CPoint{0, 0}); },
                        [](CustomPanelViewTest& t) { t.view->OnMouseMove(MK_LBUTTON, CPoint{299, 199}); }, 400, 400},
        ManyWidgetsCase{"ClickBesideASelectionOfEveryWidget", SelectAll,
                        [](CustomPanelViewTest& t) { t.view->OnLButtonDown(0, CPoint{150, 180}); }, 400, 0}),
    [](const ::testing::TestParamInfo<ManyWidgetsCase>& info) { return std::string(info.param.name); });

TEST_F(CustomPanelViewTest, OperateModeClickChangesTheBoundParameterAndEveryPanelShowsIt) {
  auto* device = new CTestDevice(&system, 1);
  system.AppendDevice(device);
  device->values[kTestGain] = CParamValue(kTestGain, 2.0f, ParamKind::kLevel);
  CSwatch* fader = Add(CRect{10, 10, 40, 150}, kRed);
  fader->m_pDevice = device;
  fader->m_parameterId = kTestGain;
  Open();
  EXPECT_EQ(fader->shown, 2.0f);  // read when the panel opened

  system.Panels().SetDesignMode(0);
  view->OnLButtonDown(MK_LBUTTON, CPoint{20, 20});
  ASSERT_EQ(device->applied.size(), 1u);
  EXPECT_EQ(device->applied[0].value, 3.0f);
  EXPECT_EQ(fader->shown, 3.0f);  // the broadcast came back to the widget
  EXPECT_EQ(Pixel(20, 20), CColour::FromRgb(0, 220, 0));
  fader->m_pDevice = nullptr;
}

// A widget bound to a unit that is away while the system is online shows the parameter
// inactive in operate mode, where it would change the unit: it takes no input and is drawn
// whole but dimmed, so that the panel still shows every widget and which of them wait for
// their unit. In design mode, where it changes nothing, it is drawn as it is offline, so that
// the person sees what they place.
struct AwayWidgetCase {
  const char* name;
  std::function<CCustomControlObject*()> make;
};

class AwayUnitWidgetTest : public CustomPanelViewTest, public ::testing::WithParamInterface<AwayWidgetCase> {};

TEST_P(AwayUnitWidgetTest, IsDrawnWholeInDesignModeAndDimmedInOperateMode) {
  auto* device = new CTestDevice(&system, 1);
  system.AppendDevice(device);
  device->values[kTestGain] = CParamValue(kTestGain, -3.0f, ParamKind::kLevel);
  CCustomControlObject* widget = GetParam().make();
  widget->m_pDevice = device;
  widget->m_parameterId = kTestGain;
  data->m_widgets.push_back(widget);
  const CRect r{widget->m_rect.left - 8, widget->m_rect.top - 8, widget->m_rect.right + 8, widget->m_rect.bottom + 8};
  auto drawn = [&](std::int32_t designMode) {
    system.Panels().SetDesignMode(designMode);
    Open();
    std::vector<CColour> pixels;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) pixels.push_back(Pixel(x, y));
    return pixels;
  };
  // The pixels the widget covers, and how far they stand from the panel's colour on average.
  struct Ink {
    int covered = 0;
    double strength = 0.0;
  };
  auto ink = [](const std::vector<CColour>& pixels) {
    Ink out;
    for (const CColour c : pixels) {
      const int distance = std::abs(c.R() - kBackground.R()) + std::abs(c.G() - kBackground.G()) +
                           std::abs(c.B() - kBackground.B());
      if (distance == 0) continue;
      ++out.covered;
      out.strength += distance;
    }
    if (out.covered) out.strength /= out.covered;
    return out;
  };
  const QString folder = qEnvironmentVariable("ORVAK_TEST_PICTURES");
  auto keep = [&](const char* look) {
    if (!folder.isEmpty())
      view->GetBackBuffer()->SavePng((folder + "/" + look + "-" + GetParam().name + ".png").toStdString());
  };
  const std::vector<CColour> design = drawn(1), operate = drawn(0);
  keep("active");
  const Ink active = ink(operate);
  ASSERT_GT(active.covered, 20);

  // Online on a line nobody serves: the unit never answers.
  system.GetComms().GetTransport().SetPort(std::make_unique<CMemorySerialPort>(std::make_shared<CSerialLine>()));
  ASSERT_TRUE(system.GetComms().SetOnline(true));
  ASSERT_TRUE(device->HeldValues().IsAwayOnline());
  EXPECT_TRUE(drawn(1) == design);
  EXPECT_EQ(widget->GetParameterInfo().inactive, 0);
  const std::vector<CColour> away = drawn(0);
  EXPECT_EQ(widget->GetParameterInfo().inactive, 1);
  keep("away");
  const Ink dimmed = ink(away);
  EXPECT_GE(dimmed.covered, active.covered * 8 / 10) << "the widget is still there";
  EXPECT_LT(dimmed.strength, active.strength * 0.8) << "and dimmed";
  system.GetComms().SetOnline(false);
  EXPECT_TRUE(drawn(0) == operate);
  widget->m_pDevice = nullptr;
}

CCCButton* ModifyingButton(CCCButton* button) {
  button->m_flags = (button->m_flags & ~kButtonActions) | kButtonModifyParameter | kButtonFill;
  button->m_text = "Mute";
  return button;
}

INSTANTIATE_TEST_SUITE_P(
    Widgets, AwayUnitWidgetTest,
    ::testing::Values(AwayWidgetCase{"Knob", [] { return new CCCKnob(nullptr, CRect{20, 20, 80, 80}); }},
                      AwayWidgetCase{"Fader", [] { return new CCCFader(nullptr, CRect{20, 20, 40, 180}); }},
                      AwayWidgetCase{"Text",
                                     [] {
                                       return new CCCTextControl(nullptr, "Arial", 10.0f, kTextDefaultFlags,
                                                                 CRect{20, 20, 90, 40});
                                     }},
                      AwayWidgetCase{"Button",
                                     [] { return ModifyingButton(new CCCButton(nullptr, CRect{20, 20, 90, 44})); }},
                      AwayWidgetCase{"Led", [] { return new CCCLED(nullptr, CRect{20, 20, 40, 40}); }},
                      AwayWidgetCase{"BitmapButton",
                                     [] {
                                       static CCCImage picture;
                                       CImage bitmap(40, 24);
                                       bitmap.Fill(CColour::FromRgb(230, 160, 30));
                                       picture.SetBitmap(std::move(bitmap));
                                       CCCButton* button = ModifyingButton(new CCCButton(nullptr, CRect{20, 20, 60, 44}));
                                       button->m_pImage = &picture;
                                       return button;
                                     }}),
    [](const ::testing::TestParamInfo<AwayWidgetCase>& info) { return std::string(info.param.name); });

// --- The text widgets' edit box in the window ---

class CustomPanelEditorTest : public CustomPanelViewTest {
 protected:
  void SetUp() override {
    CustomPanelViewTest::SetUp();
    device = new CTestDevice(&system, 1);
    system.AppendDevice(device);
    device->values[kTestGain] = CParamValue(kTestGain, -3.0f, ParamKind::kLevel);
    text = new CCCTextControl(nullptr, "Arial", 10.0f, kTextDefaultFlags, CRect{20, 20, 90, 40});
    text->m_pDevice = device;
    text->m_parameterId = kTestGain;
    data->m_widgets.push_back(text);
    Open();
    system.Panels().SetDesignMode(0);
  }
  void DoubleClick(int x, int y) {
    QMouseEvent press(QEvent::MouseButtonDblClick, QPointF(x, y), view->mapToGlobal(QPointF(x, y)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.get(), &press);
  }
  QLineEdit* Box() const { return view->GetTextEditorBox(); }
  void Key(int key, const QString& typed = {}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, typed);
    QApplication::sendEvent(Box(), &press);
  }
  void FocusOut(Qt::FocusReason reason) {
    QFocusEvent out(QEvent::FocusOut, reason);
    QApplication::sendEvent(Box(), &out);
  }

  CTestDevice* device = nullptr;
  CCCTextControl* text = nullptr;
};

TEST_F(CustomPanelEditorTest, DoubleClickOpensTheBoxOverTheWidgetAndEnterSendsTheFilteredValueOnce) {
  EXPECT_EQ(text->GetText(), "-3.0 dB");
  DoubleClick(5, 5);  // beside the widget
  EXPECT_EQ(Box(), nullptr);
  DoubleClick(30, 30);
  ASSERT_NE(Box(), nullptr);
  EXPECT_EQ(Box()->parentWidget(), view.get());
  EXPECT_EQ(Box()->geometry(), QRect(19, 19, 72, 22));
  EXPECT_EQ(Box()->text().toStdString(), "-3.0 dB");
  EXPECT_EQ(Box()->selectedText(), Box()->text());
  EXPECT_EQ(Box()->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
  EXPECT_EQ(Box()->font().pointSizeF(), 10.0);
  DoubleClick(30, 30);  // one box at a time
  EXPECT_EQ(view->findChildren<QLineEdit*>().size(), 1);

  // A gain takes digits, the point, the minus sign and dB; other letters are dropped.
  Box()->clear();
  for (const char ch : std::string("-6k.5x"))
    Key(ch == '-' ? Qt::Key_Minus : ch == '.' ? Qt::Key_Period : Qt::Key_A, QString(QChar(ch)));
  EXPECT_EQ(Box()->text().toStdString(), "-6.5");
  Key(Qt::Key_Return);
  EXPECT_EQ(Box(), nullptr);
  ASSERT_EQ(device->applied.size(), 1u);
  EXPECT_FLOAT_EQ(device->applied[0].value, -6.5f);
  EXPECT_EQ(text->GetText(), "-6.5 dB");  // the device's value, shown back
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(view->findChildren<QLineEdit*>().empty());
}

TEST_F(CustomPanelEditorTest, EscapeKeepsEverythingAndAClickElsewhereCommitsButTheBoxMenuDoesNot) {
  DoubleClick(30, 30);
  Box()->setText("5");
  Key(Qt::Key_Escape);
  EXPECT_EQ(Box(), nullptr);
  EXPECT_TRUE(device->applied.empty());
  EXPECT_EQ(text->GetText(), "-3.0 dB");

  DoubleClick(30, 30);
  Box()->setText("4");
  FocusOut(Qt::PopupFocusReason);  // the box's own context menu
  ASSERT_NE(Box(), nullptr);
  FocusOut(Qt::MouseFocusReason);
  EXPECT_EQ(Box(), nullptr);
  ASSERT_EQ(device->applied.size(), 1u);
  EXPECT_FLOAT_EQ(device->applied[0].value, 4.0f);
}

// Text that reads as a number without a finite value ("nan", "inf", or beyond the range of a
// value), pasted or set in the box, is refused: the unit keeps its value and the widget shows
// that value again.
TEST_F(CustomPanelEditorTest, NumbersThatAreNotFiniteNeverReachTheUnit) {
  RegisterProcessorFamily();
  CDevice* processor = system.CreateDevice(2, 114, 0);
  ASSERT_NE(processor, nullptr);
  system.AppendDevice(processor);
  const std::pair<std::int32_t, ParamKind> parameters[] = {{kParamInputGain, ParamKind::kLevel},
                                                          {kParamInputPeqFrequency, ParamKind::kFrequency},
                                                          {kParamInputPeqQ, ParamKind::kQ},
                                                          {kParamInputDelay, ParamKind::kDelay}};
  for (const auto& [id, kind] : parameters) {
    SCOPED_TRACE(id);
    text->m_pDevice = processor;
    text->m_parameterId = std::uint32_t(id);
    text->RefreshState();
    const CParamValue before = processor->GetCurrentValue(id);
    ASSERT_EQ(before.kind, kind);
    const std::string shown = text->GetText();
    for (const char* typed : {"nan", "NaN dB", "inf", "-inf", "1e40", "-1e39ms"}) {
      SCOPED_TRACE(typed);
      DoubleClick(30, 30);
      ASSERT_NE(Box(), nullptr);
      Box()->setText(typed);
      Key(Qt::Key_Return);
      EXPECT_EQ(processor->GetCurrentValue(id).value, before.value);
      EXPECT_EQ(text->GetText(), shown);
    }
  }
  text->m_pDevice = nullptr;
}

// A text widget bound to a unit's name takes no more than the properties pane does: a longer
// name is refused, the unit's device keeps its name and the widget shows it; the longest one
// taken comes back from the file.
struct BoundName {
  const char* name;
  std::uint32_t type;
  std::int32_t parameter;
  int limit;
};

void PrintTo(const BoundName& c, std::ostream* os) { *os << c.name; }

class TextWidgetNameTest : public CustomPanelEditorTest, public ::testing::WithParamInterface<BoundName> {};

TEST_P(TextWidgetNameTest, TakesNoLongerNameThanThePane) {
  const BoundName& c = GetParam();
  RegisterProcessorFamily();
  RegisterAmplifierFamilies();
  CDevice* unit = system.CreateDevice(7, c.type, 0);
  ASSERT_NE(unit, nullptr);
  system.AppendDevice(unit);
  system.GetZones()[0]->AppendDevice(unit);
  text->m_pDevice = unit;
  text->m_parameterId = std::uint32_t(c.parameter);
  const std::string before = unit->GetCurrentValue(c.parameter).GetText();
  text->RefreshState();
  for (const int length : {c.limit + 1, 303}) {
    DoubleClick(30, 30);
    ASSERT_NE(Box(), nullptr);
    Box()->setText(QString(length, QLatin1Char('N')));
    Key(Qt::Key_Return);
    EXPECT_EQ(unit->GetCurrentValue(c.parameter).GetText(), before) << length;
    EXPECT_EQ(text->GetText(), before) << length;
  }
  const std::string longest(std::size_t(c.limit), 'L');
  DoubleClick(30, 30);
  ASSERT_NE(Box(), nullptr);
  Box()->setText(QString::fromStdString(longest));
  Key(Qt::Key_Return);
  EXPECT_EQ(unit->GetCurrentValue(c.parameter).GetText(), longest);
  // Saved without the test device, which the file cannot keep.
  ASSERT_TRUE(system.DeleteDevice(system.GetDeviceIndex(device)));
  device = nullptr;
  const std::unique_ptr<CSystem> back = Reopened();
  ASSERT_EQ(back->GetDeviceCount(), 1);
  EXPECT_EQ(back->GetDevice(0)->GetCurrentValue(c.parameter).GetText(), longest);
}

INSTANTIATE_TEST_SUITE_P(Names, TextWidgetNameTest,
                         ::testing::Values(BoundName{"ZelAmplifierName", 52, kZelParamAmpName, 40},
                                           BoundName{"ZelChannelName", 52, kZelParamChannelName + 1, 16},
                                           BoundName{"ProcessorName", 120, kParamDeviceName, 40}),
                         [](const ::testing::TestParamInfo<BoundName>& info) { return std::string(info.param.name); });

// A text widget bound to a unit of the system, online on a port open on a line nobody serves:
// what is queued for a connected unit stays queued.
class CustomPanelUnitTest : public CustomPanelEditorTest {
 protected:
  void TearDown() override {
    text->m_pDevice = nullptr;
    system.GetComms().SetOnline(false);
    CustomPanelEditorTest::TearDown();
  }
  // A unit of the type at ID 2, connected; the device holds before first (when given). Null
  // when it could not be made.
  CDevice* ConnectedUnit(std::uint32_t type, const CParamValue& before = {}) {
    RegisterProcessorFamily();
    RegisterAmplifierFamilies();
    system.GetComms().GetTransport().SetPort(std::make_unique<CMemorySerialPort>(std::make_shared<CSerialLine>()));
    if (!system.GetComms().SetOnline(true)) return nullptr;
    CDevice* unit = system.CreateDevice(2, type, 0);
    if (!unit) return nullptr;
    system.AppendDevice(unit);
    if (before.kind != ParamKind::kNone) ModelChange(unit, before);
    unit->SetNeedsInitialisation(false);
    for (int i = 0; i < 3; ++i) unit->UpdateCommsState(true);
    return unit->IsConnected() ? unit : nullptr;
  }
};

// A name typed into a text widget that the unit would not keep as typed (a character beyond
// ASCII, a tab or line end pasted from a spreadsheet, more than the unit keeps) is refused with
// the device's own words under the widget: nothing is queued for the unit, the device keeps its
// name and the widget shows it.
struct RefusedName {
  const char* name;
  std::uint32_t type;
  std::int32_t parameter;
  const char* typed;
};

void PrintTo(const RefusedName& c, std::ostream* os) { *os << c.name; }

class TextWidgetRefusedNameTest : public CustomPanelUnitTest, public ::testing::WithParamInterface<RefusedName> {};

TEST_P(TextWidgetRefusedNameTest, SaysWhyUnderTheWidgetAndKeepsTheName) {
  const RefusedName& c = GetParam();
  CDevice* unit = ConnectedUnit(c.type);
  ASSERT_NE(unit, nullptr);
  text->m_pDevice = unit;
  text->m_parameterId = std::uint32_t(c.parameter);
  text->RefreshState();
  const std::string before = unit->GetCurrentValue(c.parameter).GetText();
  const std::string why = unit->ControlChangeRefusal(MakeTextParamValue(c.parameter, c.typed));
  ASSERT_FALSE(why.empty());
  unit->Queue().ClearQueue();
  view->show();
  EXPECT_EQ(view->GetRefusalTip(), nullptr);

  DoubleClick(30, 30);
  ASSERT_NE(Box(), nullptr);
  Box()->setText(QString::fromUtf8(c.typed));  // pasted
  Key(Qt::Key_Return);
  ASSERT_EQ(Box(), nullptr);
  EXPECT_EQ(unit->Queue().GetQueueSize(), 0u);
  EXPECT_EQ(unit->GetCurrentValue(c.parameter).GetText(), before);
  EXPECT_EQ(text->GetText(), before);
  const CErrorTip* tip = view->GetRefusalTip();
  ASSERT_NE(tip, nullptr) << "refused without a word";
  EXPECT_TRUE(tip->isVisible());
  EXPECT_EQ(tip->Message().toStdString(), why);
  // Under the widget, over the panel.
  const QPoint corner = view->mapFromGlobal(tip->pos());
  EXPECT_GE(corner.y(), text->m_rect.bottom);
  EXPECT_LE(corner.x(), text->m_rect.left);
  if (const QString folder = qEnvironmentVariable("ORVAK_TEST_PICTURES"); !folder.isEmpty()) {
    QImage shot(view->size(), QImage::Format_ARGB32);
    shot.fill(Qt::white);
    QPainter painter(&shot);
    view->render(&painter);
    const_cast<CErrorTip*>(tip)->render(&painter, corner);
    painter.end();
    shot.save(folder + "/custom-name-refused-" + QString::fromLatin1(c.name) + ".png");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Names, TextWidgetRefusedNameTest,
    ::testing::Values(RefusedName{"ZelAmplifierNameBeyondAscii", 52, kZelParamAmpName, "B\u00FChne"},
                      RefusedName{"ZelChannelNameWithATab", 52, kZelParamChannelName + 1, "Kick\tSnare"},
                      RefusedName{"BoxChannelNameWithALineEnd", 41, kBreakParamChannelName + 2, "Kick\r\n"},
                      RefusedName{"ProcessorNameBeyondAscii", 120, kParamDeviceName, "\u00DCn\u00EF"},
                      RefusedName{"ZelChannelNameTooLong", 52, kZelParamChannelName, "Seventeen letters"}),
    [](const ::testing::TestParamInfo<RefusedName>& info) { return std::string(info.param.name); });

// A box bound to a unit's parameter, emptied or left with no number in it ("-", ".", "dB",
// "ms", a number beyond any value) and then left with Enter or a click elsewhere, changes
// nothing: nothing is queued for the unit, the file keeps its value and the widget shows it
// again. A number is sent, and decoded here, as typed.
struct UnitEditCase {
  const char* name;
  bool amplifier;       // a Zel-2's channel 1 gain at -36 dB, else a processor parameter
  CParamValue before;   // the processor's parameter and its value
  const char* typed;    // typed after Backspace emptied the box; pasted when it has an 'e'
  bool enter;           // left with Enter, else with a click elsewhere
  std::vector<std::uint8_t> sent;  // the Zel write's command and payload; empty: nothing sent
};

class CustomPanelUnitEditTest : public CustomPanelUnitTest, public ::testing::WithParamInterface<UnitEditCase> {};

TEST_P(CustomPanelUnitEditTest, ABoxWithoutANumberChangesNothingOnTheUnit) {
  const UnitEditCase& c = GetParam();
  const CParamValue before = c.amplifier ? CParamValue(kZelParamGain, -36.0f, ParamKind::kLevel) : c.before;
  CDevice* unit = ConnectedUnit(c.amplifier ? 51 : 114, before);
  ASSERT_NE(unit, nullptr);
  text->m_pDevice = unit;
  text->m_parameterId = std::uint32_t(before.id);
  text->RefreshState();
  const std::string shown = text->GetText();
  const float held = unit->GetCurrentValue(before.id).value;
  unit->Queue().ClearQueue();

  DoubleClick(30, 30);
  ASSERT_NE(Box(), nullptr);
  EXPECT_EQ(Box()->text().toStdString(), shown);
  Key(Qt::Key_Backspace);  // the caption was all selected
  EXPECT_TRUE(Box()->text().isEmpty());
  const std::string typed = c.typed;
  if (typed.find('e') != std::string::npos) {
    Box()->setText(QString::fromStdString(typed));  // pasted: no filter
  } else {
    for (char ch : typed) Key(Qt::Key_unknown, QString(QChar(ch)));
  }
  ASSERT_EQ(Box()->text().toStdString(), typed);
  if (c.enter) Key(Qt::Key_Return);
  else FocusOut(Qt::MouseFocusReason);
  ASSERT_EQ(Box(), nullptr);

  std::vector<std::vector<std::uint8_t>> queued;
  CControlMessage m;
  for (std::size_t i = 0; unit->Queue().PeekQueuedMessage(i, m); ++i) queued.emplace_back(m.frame + 9, m.frame + m.frameLength - 1);
  if (c.sent.empty()) {
    EXPECT_TRUE(queued.empty());
    EXPECT_EQ(unit->GetCurrentValue(before.id).value, held);
    EXPECT_EQ(text->GetText(), shown);
  } else {
    EXPECT_EQ(queued, std::vector<std::vector<std::uint8_t>>{c.sent});
    EXPECT_NE(text->GetText(), shown);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, CustomPanelUnitEditTest,
    ::testing::Values(
        UnitEditCase{"ZelGainEmptiedThenEnter", true, {}, "", true, {}},
        UnitEditCase{"ZelGainSignThenClick", true, {}, "-", false, {}},
        UnitEditCase{"ZelGainPointThenEnter", true, {}, ".", true, {}},
        UnitEditCase{"ZelGainUnitOnlyThenClick", true, {}, "dB", false, {}},
        UnitEditCase{"ZelGainBeyondAValue", true, {}, "1e999", true, {}},
        UnitEditCase{"ZelGainNumberIsSent", true, {}, "-20", true, {0x08, 0x00, 16}},  // step 16
        UnitEditCase{"ProcessorGainEmptiedThenClick", false, CParamValue(kParamInputGain, 3.0f, ParamKind::kLevel),
                     "", false, {}},
        UnitEditCase{"ProcessorDelayUnitOnlyThenEnter", false,
                     CParamValue(kParamInputDelay, 10.0f, ParamKind::kDelay), "ms", true, {}},
        UnitEditCase{"ProcessorQSignThenEnter", false, CParamValue(kParamInputPeqQ, 2.0f, ParamKind::kQ), "-", true,
                     {}}),
    [](const ::testing::TestParamInfo<UnitEditCase>& info) { return std::string(info.param.name); });

// Characters that reach the box other than as one typed character each, from an input method
// or as a character beyond 16 bits, go through the same filter.
TEST_F(CustomPanelEditorTest, InputMethodTextAndWideCharactersAreFilteredLikeTypedOnes) {
  DoubleClick(30, 30);
  ASSERT_NE(Box(), nullptr);
  Box()->clear();
  QInputMethodEvent composed;
  composed.setCommitString(QStringLiteral("-1x2.5dBk"));
  QApplication::sendEvent(Box(), &composed);
  EXPECT_EQ(Box()->text().toStdString(), "-12.5dB");
  Key(Qt::Key_unknown, QString::fromUcs4(U"\U0001D7D9"));  // a mathematical digit one
  EXPECT_EQ(Box()->text().toStdString(), "-12.5dB");
  Key(Qt::Key_unknown, QStringLiteral("7x"));
  EXPECT_EQ(Box()->text().toStdString(), "-12.5dB7");
  Key(Qt::Key_Escape);
}

TEST_F(CustomPanelEditorTest, DeletingTheWidgetOrTheViewWhileEditingEndsTheEditWithoutACommit) {
  DoubleClick(30, 30);
  Box()->setText("2");
  // The widget goes (design mode's Delete) while its box is open.
  system.Panels().SetDesignMode(1);
  view->Designer().AddToSelection(text);
  view->OnCommand(kCmdDeleteControl);
  EXPECT_EQ(Box(), nullptr);
  EXPECT_TRUE(device->applied.empty());
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

  // The view goes while a second widget is edited: the widget lives on and edits again later.
  auto* other = new CCCTextControl(nullptr, "Arial", 10.0f, kTextDefaultFlags, CRect{20, 60, 90, 80});
  other->m_pDevice = device;
  other->m_parameterId = kTestGain;
  data->m_widgets.push_back(other);
  view->SetPanelData(data);
  DoubleClick(30, 70);
  ASSERT_NE(Box(), nullptr);
  view.reset();
  EXPECT_FALSE(other->m_editor.IsOpen());
  EXPECT_TRUE(device->applied.empty());
  view = std::make_unique<CTestView>(system);
  view->resize(300, 200);
  Open();
  system.Panels().SetDesignMode(0);
  DoubleClick(30, 70);
  ASSERT_NE(Box(), nullptr);
  Box()->setText("1");
  Key(Qt::Key_Enter);
  ASSERT_EQ(device->applied.size(), 1u);
  EXPECT_FLOAT_EQ(device->applied[0].value, 1.0f);
}

// --- The wheel ---

TEST_F(CustomPanelViewTest, WheelReachesTheWidgetUnderThePointerWithItsDeltaAndMovesNoValue) {
  auto* device = new CTestDevice(&system, 1);
  system.AppendDevice(device);
  device->values[kTestGain] = CParamValue(kTestGain, 0.0f, ParamKind::kLevel);
  CSwatch* swatch = Add(CRect{200, 100, 260, 160}, kRed);
  auto* fader = new CCCFader(nullptr, CRect{10, 10, 25, 160});
  auto* knob = new CCCKnob(nullptr, CRect{40, 10, 80, 50});
  auto* text = new CCCTextControl(nullptr, "Arial", 10.0f, kTextDefaultFlags, CRect{100, 10, 150, 30});
  for (CCustomControlObject* widget : std::initializer_list<CCustomControlObject*>{fader, knob, text}) {
    widget->m_pDevice = device;
    widget->m_parameterId = kTestGain;
    data->m_widgets.push_back(widget);
  }
  view->move(500, 300);  // the window's screen position differs from its client origin
  Open();
  auto wheel = [this](QPoint at, int delta) {
    QWheelEvent event(QPointF(at), view->mapToGlobal(QPointF(at)), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view.get(), &event);
  };
  for (const int mode : {0, 1}) {
    system.Panels().SetDesignMode(mode);
    swatch->messages.clear();
    wheel(QPoint(230, 120), -240);
    ASSERT_EQ(swatch->messages, std::vector<std::uint32_t>{WM_MOUSEWHEEL});
    EXPECT_EQ(swatch->points[0], (CPoint{230, 120}));
    EXPECT_EQ(std::int32_t(swatch->flagWords[0]), -240);
    for (const QPoint at : {QPoint(17, 80), QPoint(60, 30), QPoint(120, 20)}) {
      wheel(at, 120);
      wheel(at, -120);
    }
  }
  EXPECT_TRUE(device->applied.empty());
  for (CCustomControlObject* widget : std::initializer_list<CCustomControlObject*>{fader, knob, text})
    widget->m_pDevice = nullptr;
  swatch->m_pDevice = nullptr;
}
